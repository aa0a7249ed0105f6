#include "sdk/common/nativewindow.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include <unistd.h>

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

// The connections of DisplayConnection: their loss is left to them. Any other connection of
// the process (the media framework's video sinks open their own) ends the program, as Xlib
// would, but with _exit: exit() from a library thread runs the program's destructors under
// its still running threads (seen: a corrupted heap, a thread joining itself), where the host
// notices the same loss on its own connection and ends by itself.
std::mutex ownMutex;
std::set<Display*> ownDisplays;

int onIOError(Display* display) {
    {
        std::lock_guard<std::mutex> lock(ownMutex);
        if (ownDisplays.count(display) != 0) {
            return 0;  // the connection's exit handler marks it lost; its user logs that
        }
    }
    static const char kLine[] = "X display connection lost: the program ends\n";
    [[maybe_unused]] const auto written = ::write(2, kLine, sizeof kLine - 1);
    ::_exit(1);
}

void installIOErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] { XSetIOErrorHandler(onIOError); });
}

void own(Display* display) {
    installIOErrorHandler();
    std::lock_guard<std::mutex> lock(ownMutex);
    ownDisplays.insert(display);
}

void disown(Display* display) {
    std::lock_guard<std::mutex> lock(ownMutex);
    ownDisplays.erase(display);
}

}  // namespace

void installXErrorHandlers(const LogLine& log) {
    installIOErrorHandler();
    static std::once_flag once;
    std::call_once(once, [&] {
        xErrorLog = log;
        XSetErrorHandler(logXError);
    });
}

DisplayConnection::DisplayConnection() {
    constexpr int kAttempts = 10;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        display_ = XOpenDisplay(nullptr);
        if (display_ != nullptr) {
            XSetIOErrorExitHandler(display_, &DisplayConnection::onLost, this);
            own(display_);
            return;
        }
        if (attempt < kAttempts) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }
}

DisplayConnection::~DisplayConnection() {
    if (display_ != nullptr) {
        disown(display_);  // first: a new connection may get the same address
        XCloseDisplay(display_);
    }
}

void DisplayConnection::onLost(Display* /*display*/, void* self) {
    static_cast<DisplayConnection*>(self)->lost_.store(true);
}

std::optional<WindowSize> nativeWindowSize(std::uintptr_t window, const LogLine& log) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
        log("no display (DISPLAY unset)");
        return std::nullopt;
    }
    if (window == 0) {
        log("no window handle");
        return std::nullopt;
    }
    installXErrorHandlers(log);
    const DisplayConnection connection;
    Display* display = connection.get();
    if (display == nullptr) {
        log("cannot open the display");
        return std::nullopt;
    }
    XWindowAttributes attributes{};
    const int before = xErrors.load();
    const bool exists =
        XGetWindowAttributes(display, static_cast<Window>(window), &attributes) != 0;
    XSync(display, False);
    if (connection.lost()) {
        log("the display connection was lost");
        return std::nullopt;
    }
    if (!exists || xErrors.load() != before) {
        log("window " + std::to_string(window) + " does not exist");
        return std::nullopt;
    }
    return WindowSize{attributes.width, attributes.height};
}

bool nativeWindowExists(std::uintptr_t window, const LogLine& log) {
    return nativeWindowSize(window, log).has_value();
}

}  // namespace sdkcommon
