// Checks on the native (X11) window a host hands a stand-in library to draw into.
#pragma once

#include "sdk/common/capturedevices.h"

#include <cstdint>

namespace sdkcommon {

// True when a display is reachable and the window exists on it; logs why not otherwise.
// Installs, once per process, an X error handler that logs instead of ending the program: the
// window belongs to the host, which may destroy it before stopping the library.
bool nativeWindowExists(std::uintptr_t window, const LogLine& log);

}  // namespace sdkcommon
