// The library's callback thread: out-events are queued by any thread and delivered one at a
// time, in order, to the callback the library was started with.
#pragma once

#include "sdk/vidyoclient/vidyoclient.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vidyoclient {

class OutEventQueue {
public:
    OutEventQueue(VidyoClientOutEventCallback callback, void* data);
    ~OutEventQueue();
    OutEventQueue(const OutEventQueue&) = delete;
    OutEventQueue& operator=(const OutEventQueue&) = delete;

    void post(unsigned int event, std::vector<std::uint8_t> record = {});
    template <typename Record>
    void post(unsigned int event, const Record& record) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
        post(event, std::vector<std::uint8_t>(bytes, bytes + sizeof(Record)));
    }

    // Stops delivering; events not yet delivered are dropped. A callback still running after
    // waitMs (its receiver is blocked) is left to finish on its own.
    void stop(int waitMs);

private:
    struct Shared;
    static void run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace vidyoclient
