#include "sdk/vidyoclient/windowwatch.h"

#include "sdk/vidyoclient/clientlog.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <system_error>

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>

namespace vidyoclient {

namespace {
// The host may destroy its window while it is drawn into or watched, so X errors are counted
// and logged instead.
std::atomic<int> xErrors{0};

int logXError(Display* /*display*/, XErrorEvent* error) {
    if (xErrors.fetch_add(1) < 5) {
        clientLog().line("video: X error " + std::to_string(error->error_code) + " on resource " +
                         std::to_string(error->resourceid) + " (ignored)");
    }
    return 0;
}

bool viewable(Display* display, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

// Hiding any window above it hides the render window without an event on the window itself, so
// the whole line up to the root is watched. Called again when the line changes (a window
// manager puts a frame around the top-level window).
void selectAncestors(Display* display, Window window) {
    Window current = window;
    while (current != 0) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, current, &root, &parent, &children, &count) == 0) {
            return;
        }
        if (children != nullptr) {
            XFree(children);
        }
        if (current == root) {
            return;
        }
        XSelectInput(display, current, StructureNotifyMask);
        current = parent;
    }
}
}  // namespace

void installXErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] { XSetErrorHandler(logXError); });
}

bool windowExists(std::uintptr_t window) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        clientLog().line("video: cannot open the display");
        return false;
    }
    XWindowAttributes attributes{};
    const int before = xErrors.load();
    const bool exists =
        XGetWindowAttributes(display, static_cast<Window>(window), &attributes) != 0;
    XSync(display, False);
    XCloseDisplay(display);
    return exists && xErrors.load() == before;
}

bool WindowWatch::start(std::uintptr_t window, Changed changed) {
    stop();
    std::lock_guard<std::mutex> lock(mutex_);
    installXErrorHandler();
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        clientLog().line("video: no wake-up handle for the window watch");
        return false;
    }
    try {
        thread_ =
            std::thread([this, window, changed = std::move(changed)] { run(window, changed); });
    } catch (const std::system_error& e) {
        clientLog().line(std::string("video: the window watch does not start: ") + e.what());
        ::close(wakeFd_);
        wakeFd_ = -1;
        return false;
    }
    return true;
}

void WindowWatch::stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        if (::write(wakeFd_, &one, sizeof(one)) < 0) {
            clientLog().line("video: cannot wake the window watch");
        }
        thread_.join();
    }
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
        wakeFd_ = -1;
    }
}

void WindowWatch::run(std::uintptr_t handle, const Changed& changed) {
    prctl(PR_SET_NAME, "vc-window", 0, 0, 0);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        clientLog().line("video: cannot open the display to watch the window");
        return;
    }
    const auto window = static_cast<Window>(handle);
    selectAncestors(display, window);
    bool shown = viewable(display, window);
    changed(shown);
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    for (;;) {
        bool recheck = false;
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ReparentNotify) {
                selectAncestors(display, window);
            }
            recheck = recheck || event.type == MapNotify || event.type == UnmapNotify ||
                      event.type == ReparentNotify || event.type == DestroyNotify;
        }
        if (recheck) {
            const bool now = viewable(display, window);
            if (now != shown) {
                shown = now;
                changed(shown);
            }
            continue;  // the check itself may have queued events
        }
        fds[0].revents = fds[1].revents = 0;
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            clientLog().line("video: the window watch cannot wait on the display");
            break;
        }
        if (fds[1].revents != 0 || (fds[0].revents & (POLLERR | POLLHUP)) != 0) {
            break;
        }
    }
    XCloseDisplay(display);
}

}  // namespace vidyoclient
