#include "sdk/vidyoclient/windowwatch.h"

#include "sdk/common/nativewindow.h"
#include "sdk/vidyoclient/clientlog.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <string>
#include <system_error>

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>

namespace vidyoclient {

namespace {
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

bool WindowWatch::start(std::uintptr_t window, Changed changed) {
    stop();
    // Also installs the process's X error handler, which logs instead of ending the program:
    // the host may destroy its window while it is watched.
    if (!sdkcommon::nativeWindowExists(window, [](const std::string& why) {
            clientLog().line("video: " + why + ", the window is not watched");
        })) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
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
    const sdkcommon::DisplayConnection connection;
    Display* display = connection.get();
    if (display == nullptr) {
        clientLog().line("video: cannot open the display to watch the window");
        return;
    }
    const auto window = static_cast<Window>(handle);
    selectAncestors(display, window);
    bool shown = viewable(display, window);
    if (!connection.lost()) {
        changed(shown);
    }
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    for (;;) {
        if (connection.lost()) {
            // Nothing more will be drawn on this display: the host decides what comes next.
            clientLog().line(
                "video: the display connection was lost, the window is no longer watched");
            return;
        }
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
            if (connection.lost()) {
                continue;  // not a hidden window: nothing is left to tell
            }
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
}

}  // namespace vidyoclient
