#include "service/queuedmainwindowchannel.h"

#include <algorithm>
#include <utility>

namespace {

// Bounds each sleep of waitPumping, because done() cannot wake us up by itself.
constexpr std::chrono::milliseconds kPumpSlice{5};

}  // namespace

QueuedMainWindowChannel::QueuedMainWindowChannel(MainWindowHandler handler)
    : handler_(std::move(handler)), uiThread_(std::this_thread::get_id()) {}

QueuedMainWindowChannel::~QueuedMainWindowChannel() {
    close();
}

void QueuedMainWindowChannel::setUiThread(std::thread::id id) {
    uiThread_ = id;
}

bool QueuedMainWindowChannel::isUiThread() const {
    return std::this_thread::get_id() == uiThread_.load();
}

bool QueuedMainWindowChannel::isClosed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

bool QueuedMainWindowChannel::enqueue(const std::shared_ptr<Pending>& item) {
    if (closed_) {
        return false;
    }
    queue_.push_back(item);
    wakeUiThread();
    queued_.notify_all();
    return true;
}

std::intptr_t QueuedMainWindowChannel::send(unsigned msg, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
    if (isUiThread()) {
        if (isClosed() || !handler_) {
            return 0;
        }
        return handler_(msg, wParam, lParam);
    }
    auto item = std::make_shared<Pending>();
    item->msg = msg;
    item->wParam = wParam;
    item->lParam = lParam;
    item->synchronous = true;
    std::unique_lock<std::mutex> lock(mutex_);
    if (!enqueue(item)) {
        return 0;
    }
    // A handler already running for us keeps the pointer in use: wait for it even when closing.
    finished_.wait(lock, [&] { return item->done || (closed_ && !item->running); });
    return item->done ? item->result : 0;
}

bool QueuedMainWindowChannel::post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    auto item = std::make_shared<Pending>();
    item->msg = msg;
    item->wParam = wParam;
    item->lParam = lParam;
    std::lock_guard<std::mutex> lock(mutex_);
    return enqueue(item);
}

std::shared_ptr<QueuedMainWindowChannel::Pending> QueuedMainWindowChannel::takeNext() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || queue_.empty()) {
        return nullptr;
    }
    auto item = queue_.front();
    queue_.pop_front();
    item->running = true;
    return item;
}

void QueuedMainWindowChannel::runHandler(const std::shared_ptr<Pending>& item) {
    // Releases the sender even if the handler throws.
    struct Release {
        QueuedMainWindowChannel& self;
        const std::shared_ptr<Pending>& item;
        std::intptr_t result = 0;
        ~Release() {
            {
                std::lock_guard<std::mutex> lock(self.mutex_);
                item->running = false;
                item->done = true;
                item->result = result;
            }
            self.finished_.notify_all();
        }
    } release{*this, item};
    if (handler_) {
        release.result = handler_(item->msg, item->wParam, item->lParam);
    }
}

std::size_t QueuedMainWindowChannel::pump() {
    std::size_t handled = 0;
    while (auto item = takeNext()) {
        runHandler(item);
        ++handled;
    }
    return handled;
}

bool QueuedMainWindowChannel::waitPumping(const std::function<bool()>& done,
                                          std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const bool pumping = isUiThread();
    for (;;) {
        if (pumping) {
            pump();
        }
        if (done()) {
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return false;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        queued_.wait_until(lock, std::min(deadline, now + kPumpSlice),
                           [&] { return pumping && !queue_.empty(); });
    }
}

void QueuedMainWindowChannel::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) {
            return;
        }
        closed_ = true;
        queue_.clear();
    }
    finished_.notify_all();
    queued_.notify_all();
}
