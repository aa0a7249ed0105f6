// The main-window channel without a window system: a queue of events that the UI thread drains
// with pump(). A window-system implementation only has to make the UI thread call pump() soon
// after wakeUiThread().
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "service/mainwindowchannel.h"

class QueuedMainWindowChannel : public MainWindowChannel {
public:
    // The constructing thread is the UI thread unless a subclass says otherwise.
    explicit QueuedMainWindowChannel(MainWindowHandler handler);
    ~QueuedMainWindowChannel() override;

    QueuedMainWindowChannel(const QueuedMainWindowChannel&) = delete;
    QueuedMainWindowChannel& operator=(const QueuedMainWindowChannel&) = delete;

    std::intptr_t send(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    bool post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    bool waitPumping(const std::function<bool()>& done, std::chrono::milliseconds timeout) override;
    bool isUiThread() const override;
    bool isClosed() const override;

    // UI thread: handles the queued events in order until the queue is empty. Returns how many.
    std::size_t pump();

    // The window is gone: senders already waiting are released with 0 (once a handler that is
    // running for them has returned), queued posts are dropped, new events are refused.
    void close();

protected:
    void setUiThread(std::thread::id id);

    // Called with the queue locked right after an event was queued: arrange for the UI thread to
    // call pump(). Must not block and must not call back into this object. Never called after
    // close().
    virtual void wakeUiThread() {}

private:
    struct Pending {
        unsigned msg = 0;
        std::uintptr_t wParam = 0;
        std::intptr_t lParam = 0;
        bool synchronous = false;
        bool running = false;
        bool done = false;
        std::intptr_t result = 0;
    };

    std::shared_ptr<Pending> takeNext();
    void runHandler(const std::shared_ptr<Pending>& item);
    bool enqueue(const std::shared_ptr<Pending>& item);

    MainWindowHandler handler_;
    std::atomic<std::thread::id> uiThread_;
    mutable std::mutex mutex_;
    std::condition_variable queued_;    // an event arrived (waitPumping)
    std::condition_variable finished_;  // a handler returned or the channel closed (senders)
    std::deque<std::shared_ptr<Pending>> queue_;
    bool closed_ = false;
};
