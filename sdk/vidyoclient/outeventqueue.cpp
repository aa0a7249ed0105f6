#include "sdk/vidyoclient/outeventqueue.h"

#include "sdk/vidyoclient/clientlog.h"

#include <sys/prctl.h>

#include <chrono>

namespace vidyoclient {

struct OutEventQueue::Shared {
    VidyoClientOutEventCallback callback = nullptr;
    void* data = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<unsigned int, std::vector<std::uint8_t>>> events;
    bool stopping = false;
    bool finished = false;
};

OutEventQueue::OutEventQueue(VidyoClientOutEventCallback callback, void* data)
    : shared_(std::make_shared<Shared>()) {
    shared_->callback = callback;
    shared_->data = data;
    thread_ = std::thread(run, shared_);
}

OutEventQueue::~OutEventQueue() {
    stop(3000);
}

void OutEventQueue::post(unsigned int event, std::vector<std::uint8_t> record) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (!shared_->stopping) {
        shared_->events.emplace_back(event, std::move(record));
        shared_->changed.notify_all();
    }
}

void OutEventQueue::run(std::shared_ptr<Shared> shared) {
    prctl(PR_SET_NAME, "vc-callbacks", 0, 0, 0);
    std::unique_lock<std::mutex> lock(shared->mutex);
    while (true) {
        shared->changed.wait(lock, [&] { return shared->stopping || !shared->events.empty(); });
        if (shared->stopping) {
            break;
        }
        auto [event, record] = std::move(shared->events.front());
        shared->events.pop_front();
        lock.unlock();
        if (shared->callback != nullptr) {
            shared->callback(event, record.empty() ? nullptr : record.data(),
                             static_cast<unsigned int>(record.size()), shared->data);
        }
        lock.lock();
    }
    shared->finished = true;
    shared->changed.notify_all();
}

void OutEventQueue::stop(int waitMs) {
    if (!thread_.joinable()) {
        return;
    }
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->stopping = true;
    shared_->events.clear();
    shared_->changed.notify_all();
    if (thread_.get_id() == std::this_thread::get_id()) {
        lock.unlock();
        thread_.detach();  // stopped from inside a callback: the thread ends when it returns
        return;
    }
    const bool done = shared_->changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                                                [&] { return shared_->finished; });
    lock.unlock();
    if (done) {
        thread_.join();
    } else {
        clientLog().line("callback thread still inside a callback at stop; left to finish");
        thread_.detach();
    }
}

}  // namespace vidyoclient
