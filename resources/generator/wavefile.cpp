#include "wavefile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint16_t kChannels = 2;
constexpr std::uint16_t kBits = 16;
constexpr double kSeconds = 3.0;
constexpr double kPi = 3.14159265358979323846;

void put16(std::vector<char>& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
}

void put32(std::vector<char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    }
}

void putTag(std::vector<char>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

// One note with a quick attack and an exponential decay, plus a quiet octave for warmth.
double note(double t, double start, double freq) {
    if (t < start) {
        return 0.0;
    }
    const double x = t - start;
    const double attack = std::min(1.0, x / 0.01);
    const double decay = std::exp(-x * 2.2);
    return attack * decay * (std::sin(2 * kPi * freq * x) + 0.25 * std::sin(4 * kPi * freq * x));
}

}  // namespace

bool writeChimeWave(const std::string& path) {
    const auto frames = static_cast<std::uint32_t>(kRate * kSeconds);
    const std::uint32_t dataBytes = frames * kChannels * (kBits / 8);
    std::vector<char> out;
    out.reserve(44 + dataBytes);
    putTag(out, "RIFF");
    put32(out, 36 + dataBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, 16);
    put16(out, 1);  // linear PCM
    put16(out, kChannels);
    put32(out, kRate);
    put32(out, kRate * kChannels * (kBits / 8));
    put16(out, kChannels * (kBits / 8));
    put16(out, kBits);
    putTag(out, "data");
    put32(out, dataBytes);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double fadeOut = std::min(1.0, (kSeconds - t) / 0.05);
        const double v = 0.32 * fadeOut * (note(t, 0.0, 659.25) + note(t, 0.45, 880.0));
        const auto sample =
            static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767));
        for (int c = 0; c < kChannels; ++c) {
            put16(out, static_cast<std::uint16_t>(sample));
        }
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}
