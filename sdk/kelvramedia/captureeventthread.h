// The library's callback thread: capture events are queued by any thread and delivered one at a
// time, in order, to the callback set on the capture object. Blocked while there is nothing to
// deliver.
#pragma once

#include "sdk/kelvramedia/kelvramedia.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kelvramedia {

class CaptureEventThread {
public:
    CaptureEventThread();
    ~CaptureEventThread() { stop(); }
    CaptureEventThread(const CaptureEventThread&) = delete;
    CaptureEventThread& operator=(const CaptureEventThread&) = delete;

    // Where events go from now on; null drops them.
    void setCallback(KelvraMediaSdk::ICaptureCallback* callback, void* context);
    void post(int event, int value, std::string detail);
    // Stops delivering and waits for a callback in progress, unless called from inside one.
    // Events not yet delivered are dropped.
    void stop();

private:
    // Shared with the thread, which may outlive this object when it is ended from a callback.
    struct Shared;
    static void run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace kelvramedia
