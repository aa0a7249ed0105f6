#include "sdk/common/nativewindow.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>

namespace sdkcommon {

namespace {
std::atomic<int> xErrors{0};
LogLine xErrorLog;

int logXError(Display* /*display*/, XErrorEvent* error) {
    if (xErrors.fetch_add(1) < 5 && xErrorLog) {
        xErrorLog("X error " + std::to_string(error->error_code) + " on resource " +
                  std::to_string(error->resourceid) + " (ignored)");
    }
    return 0;
}

void installXErrorHandler(const LogLine& log) {
    static std::once_flag once;
    std::call_once(once, [&] {
        xErrorLog = log;
        XSetErrorHandler(logXError);
    });
}
}  // namespace

Display* openDisplay() {
    constexpr int kAttempts = 10;
    for (int attempt = 1;; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr)) {
            return display;
        }
        if (attempt == kAttempts) {
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

bool nativeWindowExists(std::uintptr_t window, const LogLine& log) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
        log("no display (DISPLAY unset)");
        return false;
    }
    if (window == 0) {
        log("no window handle");
        return false;
    }
    installXErrorHandler(log);
    Display* display = openDisplay();
    if (display == nullptr) {
        log("cannot open the display");
        return false;
    }
    XWindowAttributes attributes{};
    const int before = xErrors.load();
    const bool exists =
        XGetWindowAttributes(display, static_cast<Window>(window), &attributes) != 0;
    XSync(display, False);
    XCloseDisplay(display);
    if (!exists || xErrors.load() != before) {
        log("window " + std::to_string(window) + " does not exist");
        return false;
    }
    return true;
}

}  // namespace sdkcommon
