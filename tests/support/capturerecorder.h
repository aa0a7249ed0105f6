// A capture callback for tests of the live-streaming library: records every event with the
// thread it arrived on and waits for events with a deadline.
#pragma once

#include "sdk/kelvramedia/kelvramedia.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fenwixtest {

class CaptureRecorder : public KelvraMediaSdk::ICaptureCallback {
public:
    struct Event {
        int code;
        int value;
        std::string detail;
        std::thread::id thread;
        void* context;
    };

    void OnCaptureEvent(int event, int value, const char* detail, void* context) override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({event, value, detail != nullptr ? detail : "(null)",
                           std::this_thread::get_id(), context});
        changed_.notify_all();
    }

    // True when `count` events of the code arrived before the deadline.
    bool waitFor(int code, std::chrono::milliseconds timeout, int count = 1) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return countLocked(code) >= count; });
    }

    int count(int code) {
        std::lock_guard<std::mutex> lock(mutex_);
        return countLocked(code);
    }

    std::vector<Event> events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

    // The codes in order of arrival, for failure messages.
    std::string codes() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string out;
        for (const auto& e : events_) {
            out += std::to_string(e.code) + "(" + std::to_string(e.value) + ") " + e.detail + "; ";
        }
        return out;
    }

private:
    int countLocked(int code) const {
        return static_cast<int>(std::count_if(events_.begin(), events_.end(),
                                              [&](const Event& e) { return e.code == code; }));
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
};

}  // namespace fenwixtest
