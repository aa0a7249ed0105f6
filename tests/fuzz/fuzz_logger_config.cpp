// The logger's configuration text, split into sections and applied to a logger table.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "logging/logconfig.h"
#include "logging/loggertable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    log4z::detail::LoggerTable table;
    log4z::detail::applyConfig(table, log4z::detail::parseConfigText(text));
    return 0;
}
