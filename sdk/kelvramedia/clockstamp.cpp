#include "sdk/kelvramedia/clockstamp.h"

#include <chrono>
#include <cstring>

namespace kelvramedia {

namespace {
constexpr std::uint8_t kWhite = 235;
constexpr std::uint8_t kBlack = 16;

void paintBlock(std::uint8_t* luma, int stride, int index, bool white) {
    for (int y = 0; y < kClockStampBlock; ++y) {
        std::memset(luma + y * stride + index * kClockStampBlock, white ? kWhite : kBlack,
                    kClockStampBlock);
    }
}

bool blockIsWhite(const std::uint8_t* luma, int stride, int index) {
    const int c = kClockStampBlock / 2;
    return luma[c * stride + index * kClockStampBlock + c] >= 128;
}
}  // namespace

std::uint32_t clockStampNow() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void paintClockStamp(std::uint8_t* luma, int stride, std::uint32_t ms) {
    paintBlock(luma, stride, 0, true);
    paintBlock(luma, stride, 1, false);
    for (int bit = 0; bit < kClockStampBits; ++bit) {
        paintBlock(luma, stride, kClockStampMarks + bit, ((ms >> bit) & 1u) != 0);
    }
}

std::optional<std::uint32_t> readClockStamp(const std::uint8_t* luma, int stride) {
    if (!blockIsWhite(luma, stride, 0) || blockIsWhite(luma, stride, 1)) {
        return std::nullopt;
    }
    std::uint32_t ms = 0;
    for (int bit = 0; bit < kClockStampBits; ++bit) {
        if (blockIsWhite(luma, stride, kClockStampMarks + bit)) {
            ms |= 1u << bit;
        }
    }
    return ms;
}

}  // namespace kelvramedia
