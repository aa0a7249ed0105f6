// The screen-fixing result record from the conference session.
#include <cstddef>
#include <cstdint>
#include <string>

#include "conference/sessionrecords.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    readScreenFixResult(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
