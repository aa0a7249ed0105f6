#include "platform/debugtrace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace fenwix::platform {

// Looked up on every call so that a developer (or a test) can switch it at run time.
bool debugTraceEnabled() {
    const char* value = std::getenv("FENWIX_DEBUG_TRACE");
    return value != nullptr && *value != '\0';
}

void debugTrace(const std::string& text) {
    if (!debugTraceEnabled()) {
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void debugTracef(const char* format, ...) {
    if (!debugTraceEnabled() || format == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    va_list sizing;
    va_copy(sizing, args);
    const int needed = std::vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    if (needed > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        debugTrace(std::string(buffer.data(), static_cast<std::size_t>(needed)));
    }
    va_end(args);
}

}  // namespace fenwix::platform
