// What the microphone and the speaker test share: the borrowed level meter, fed under a lock
// that its owner also takes to clear it before the meter goes; and the test's thread with its
// running flag and the stream it waits on, so that a stop wakes that wait at once.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "devices/levelmeter.h"
#include "devices/soundstreams.h"

namespace fenwix::devices {

class MeterFeed {
public:
    void set(LevelMeter* meter) {
        std::lock_guard<std::mutex> lock(lock_);
        meter_ = meter;
    }
    void feed(const unsigned char* bytes, std::size_t length) {
        std::lock_guard<std::mutex> lock(lock_);
        if (meter_ != nullptr) {
            meter_->Feed(bytes, length);
        }
    }
    void clear() {
        std::lock_guard<std::mutex> lock(lock_);
        if (meter_ != nullptr) {
            meter_->Clear();
        }
    }

private:
    std::mutex lock_;
    LevelMeter* meter_ = nullptr;
};

class SoundTestThread {
public:
    SoundTestThread() = default;
    ~SoundTestThread() { stop(); }
    SoundTestThread(const SoundTestThread&) = delete;
    SoundTestThread& operator=(const SoundTestThread&) = delete;

    // The flag is set before the thread starts, so a stop right after a start waits for it.
    void start(std::function<void()> body) {
        running_ = true;
        thread_ = std::thread(std::move(body));
    }
    bool running() const { return running_; }

    // On the thread: the stream it waits on from now on (null when it has let it go), and the
    // end of the thread's own accord.
    void setStream(std::shared_ptr<SoundStream> stream) {
        std::lock_guard<std::mutex> lock(lock_);
        stream_ = std::move(stream);
    }
    void finished() { running_ = false; }

    // Clears the flag, wakes the stream's wait and waits for the thread, if one was started.
    void stop() {
        if (!thread_.joinable()) {
            return;
        }
        running_ = false;
        {
            std::lock_guard<std::mutex> lock(lock_);
            if (stream_ != nullptr) {
                stream_->requestStop();
            }
        }
        thread_.join();
    }

private:
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::mutex lock_;
    std::shared_ptr<SoundStream> stream_;
};

// A device list from the server, or an empty one when no server answered.
inline std::vector<SoundDeviceEntry> devicesOrNone(
    std::optional<std::vector<SoundDeviceEntry>> devices) {
    return devices ? std::move(*devices) : std::vector<SoundDeviceEntry>();
}

}  // namespace fenwix::devices
