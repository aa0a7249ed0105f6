// The host's render window as the X server sees it: whether it can be seen (it and every window above it mapped). A watch follows that on a thread of its own that
// sleeps on the X connection, so a window that never changes costs no wake-up.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace vidyoclient {

class WindowWatch {
public:
    using Changed = std::function<void(bool shown)>;

    WindowWatch() = default;
    ~WindowWatch() { stop(); }
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;

    // Calls changed on the watch's thread: once with the window's state, then on every change.
    // False when the window does not exist, the display cannot be opened or no thread starts.
    bool start(std::uintptr_t window, Changed changed);
    // Returns once the thread has ended: no call of changed runs after it.
    void stop();

private:
    void run(std::uintptr_t window, const Changed& changed);

    std::mutex mutex_;  // start and stop
    std::thread thread_;
    int wakeFd_ = -1;
};

}  // namespace vidyoclient
