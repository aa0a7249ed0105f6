// The debug output stream: text meant for a developer watching the process, not for the log.
// It is silent unless the environment variable FENWIX_DEBUG_TRACE is set (to anything but an
// empty text); then every trace goes to the standard error stream as it is, without a line end
// of its own.
#pragma once

#include <string>

namespace fenwix::platform {

void debugTrace(const std::string& text);

// printf-style form of debugTrace. Formatting is skipped while tracing is off.
void debugTracef(const char* format, ...) __attribute__((format(printf, 1, 2)));

bool debugTraceEnabled();

}  // namespace fenwix::platform
