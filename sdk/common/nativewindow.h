// Checks on the native (X11) window a host hands a stand-in library to draw into.
#pragma once

#include "sdk/common/capturedevices.h"

#include <cstdint>

struct _XDisplay;  // Xlib's Display, without Xlib's macros in every includer

namespace sdkcommon {

// A connection to the display named by DISPLAY, tried again for two seconds: a busy display
// server can refuse one for a moment, and a refusal at start would leave the video undrawn for
// the whole session. Null when none could be made.
_XDisplay* openDisplay();

// True when a display is reachable and the window exists on it; logs why not otherwise.
// Installs, once per process, an X error handler that logs instead of ending the program: the
// window belongs to the host, which may destroy it before stopping the library.
bool nativeWindowExists(std::uintptr_t window, const LogLine& log);

}  // namespace sdkcommon
