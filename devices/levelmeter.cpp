#include "devices/levelmeter.h"

#include <cmath>
#include <cstdint>

namespace fenwix::devices {

int levelOf(const unsigned char* bytes, std::size_t length) {
    const std::size_t samples = length / 2;
    if (bytes == nullptr || samples == 0) {
        return 0;  // nothing to measure: no division by zero
    }
    double sum = 0.0;
    for (std::size_t i = 0; i < samples; ++i) {
        const auto value = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
        sum += std::fabs(static_cast<double>(value));
    }
    const double mean = sum / static_cast<double>(samples);
    return mean > 0 ? static_cast<int>(20.0 * std::log10(mean)) : 0;
}

}  // namespace fenwix::devices
