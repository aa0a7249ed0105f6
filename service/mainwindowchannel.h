// How background threads reach the main window: numbered events that the UI thread handles one
// at a time. No window-system header here; the app supplies the implementation.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// The main window's handler of one event; the result goes back to a synchronous sender.
using MainWindowHandler = std::function<std::intptr_t(unsigned, std::uintptr_t, std::intptr_t)>;

class MainWindowChannel {
public:
    virtual ~MainWindowChannel() = default;

    // On the UI thread the handler runs at once, nested in the caller. From any other thread the
    // event is queued to the UI thread and the caller waits until the handler has returned, so a
    // pointer in lParam stays valid while it runs. Once the window is gone: 0 at once.
    virtual std::intptr_t send(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;

    // Queued behind the events already waiting; never blocks. Must never carry a pointer: the
    // caller does not wait for the handler. False once the window is gone.
    virtual bool post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;

    // For the UI thread: wait until done() holds or the timeout has passed, handling queued
    // events meanwhile, so a worker blocked in send() can finish and be joined. Returns the last
    // value of done(). Off the UI thread it only waits.
    virtual bool waitPumping(const std::function<bool()>& done,
                             std::chrono::milliseconds timeout) = 0;

    virtual bool isUiThread() const = 0;

    // The window is gone: events are no longer delivered.
    virtual bool isClosed() const = 0;
};

// The process-wide published main window. Published once by the start-up sequence; background
// threads fetch it for every event, so a channel replaced or closed later is never used dangling.
void publishMainWindow(std::shared_ptr<MainWindowChannel> channel);
std::shared_ptr<MainWindowChannel> mainWindow();

// Shorthands for background threads: 0 / false when no main window is published or it is gone.
std::intptr_t sendToMainWindow(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
bool postToMainWindow(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

// Waits until done() holds or `bound` has passed: on the UI thread of a live main window while
// serving its queued events (so a worker blocked in a send can finish), elsewhere on `wake`,
// which the worker notifies under `lock` when done() turns true. Returns the last done().
bool waitForWorker(const std::function<bool()>& done, std::mutex& lock,
                   std::condition_variable& wake, std::chrono::milliseconds bound);
