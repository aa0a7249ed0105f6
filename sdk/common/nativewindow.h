// Checks on the native (X11) window a host hands a stand-in library to draw into.
#pragma once

#include "sdk/common/capturedevices.h"

#include <atomic>
#include <cstdint>
#include <optional>

struct _XDisplay;  // Xlib's Display, without Xlib's macros in every includer

namespace sdkcommon {

// A connection to the display named by DISPLAY, tried again for two seconds: a busy display
// server can refuse one for a moment, and a refusal at start would leave the video undrawn for
// the whole session. Losing it (the display server ends) ends only the work on it: Xlib's own
// answer would end the whole program from whichever library thread noticed, racing the host's
// own shutdown.
class DisplayConnection {
public:
    DisplayConnection();
    ~DisplayConnection();
    DisplayConnection(const DisplayConnection&) = delete;
    DisplayConnection& operator=(const DisplayConnection&) = delete;

    // Null when no connection could be made.
    _XDisplay* get() const { return display_; }
    // True once the connection broke; every later call on it does nothing.
    bool lost() const { return lost_.load(); }

private:
    static void onLost(_XDisplay* display, void* self);

    _XDisplay* display_ = nullptr;
    std::atomic<bool> lost_{false};
};

// Installs, once per process, X error handlers that log instead of ending the program (the
// window belongs to the host, which may destroy it before stopping the library), and end the
// program at once, without running its destructors from a library thread, when a connection
// that is not a DisplayConnection is lost.
void installXErrorHandlers(const LogLine& log);

struct WindowSize {
    int width = 0;
    int height = 0;
};

// The window's size when a display is reachable and the window exists on it; logs why not
// otherwise. Installs the handlers above.
std::optional<WindowSize> nativeWindowSize(std::uintptr_t window, const LogLine& log);

// True when nativeWindowSize finds the window.
bool nativeWindowExists(std::uintptr_t window, const LogLine& log);

}  // namespace sdkcommon
