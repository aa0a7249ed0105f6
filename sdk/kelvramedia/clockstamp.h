// The virtual camera's capture clock: the wall-clock time of each picture, painted as a row of
// black and white blocks into the top of its luma plane, so that a receiver decoding the stream
// can tell how old the picture is.
#pragma once

#include <cstdint>
#include <optional>

namespace kelvramedia {

// Milliseconds of the wall clock, cut to 32 bits (what the stamp carries).
std::uint32_t clockStampNow();

// Paints the stamp into an 8-bit luma plane of at least kClockStampWidth x kClockStampHeight.
void paintClockStamp(std::uint8_t* luma, int stride, std::uint32_t ms);

// The stamp of a decoded luma plane, or nullopt when the picture carries none.
std::optional<std::uint32_t> readClockStamp(const std::uint8_t* luma, int stride);

constexpr int kClockStampBlock = 24;  // big enough to survive a low bitrate
constexpr int kClockStampBits = 32;
constexpr int kClockStampMarks = 2;  // a white and a black block before the bits
constexpr int kClockStampWidth = (kClockStampBits + kClockStampMarks) * kClockStampBlock;
constexpr int kClockStampHeight = kClockStampBlock;

}  // namespace kelvramedia
