#include "sdk/kelvramedia/captureeventthread.h"

#include "sdk/kelvramedia/medialog.h"

namespace kelvramedia {

struct CaptureEventThread::Shared {
    struct Event {
        int code;
        int value;
        std::string detail;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Event> events;
    KelvraMediaSdk::ICaptureCallback* callback = nullptr;
    void* context = nullptr;
    bool stopping = false;
};

CaptureEventThread::CaptureEventThread() : shared_(std::make_shared<Shared>()) {}

void CaptureEventThread::setCallback(KelvraMediaSdk::ICaptureCallback* callback, void* context) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->callback = callback;
    shared_->context = context;
    if (!thread_.joinable() && !shared_->stopping && callback != nullptr) {
        thread_ = std::thread(run, shared_);
    }
}

void CaptureEventThread::post(int event, int value, std::string detail) {
    logLine("event " + std::to_string(event) + " (" + std::to_string(value) + ") " + detail);
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->stopping || shared_->callback == nullptr) {
        return;
    }
    shared_->events.push_back({event, value, std::move(detail)});
    shared_->changed.notify_all();
}

void CaptureEventThread::run(std::shared_ptr<Shared> shared) {
    std::unique_lock<std::mutex> lock(shared->mutex);
    while (true) {
        shared->changed.wait(lock, [&] { return shared->stopping || !shared->events.empty(); });
        if (shared->stopping) {
            return;
        }
        Shared::Event event = std::move(shared->events.front());
        shared->events.pop_front();
        KelvraMediaSdk::ICaptureCallback* callback = shared->callback;
        void* context = shared->context;
        lock.unlock();
        if (callback != nullptr) {
            callback->OnCaptureEvent(event.code, event.value, event.detail.c_str(), context);
        }
        lock.lock();
    }
}

void CaptureEventThread::stop() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->stopping = true;
        shared_->events.clear();
        shared_->changed.notify_all();
    }
    if (!thread_.joinable()) {
        return;
    }
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();  // ended from inside a callback: the thread ends when it returns
    } else {
        thread_.join();
    }
}

}  // namespace kelvramedia
