// The demo class: with --demo the sim plays the backend and the teacher of a whole class, in a
// loop, against every terminal that registers, so a newcomer sees the product at work without
// learning the admin API. Each step is printed and kept for the console.
#pragma once

#include <json/json.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace fenwixsim {

class BusinessState;
class PushChannel;
class PortalState;
class SimCore;

// How long each part of one loop lasts; the defaults keep a loop under 90 s.
struct DemoTimings {
    std::chrono::milliseconds joinBound{40000};  // vLogin until the terminal reports the class
    std::chrono::milliseconds fixDelay{4000};    // the terminal fixes its screen 3 s after joining
    std::chrono::milliseconds fixBound{4000};    // one curtain-up attempt until the video shows
    int fixAttempts = 4;
    std::chrono::milliseconds videoHold{16000};    // video shown; chat and volume in its middle
    std::chrono::milliseconds waitingHold{8000};   // curtain down: the waiting picture
    std::chrono::milliseconds logoutBound{20000};  // vLogout until the terminal reports idle
    std::chrono::milliseconds pause{10000};        // idle screen before the next loop
};

// One step of the demo as it is printed and listed.
struct DemoStep {
    long long seq = 0;
    long long at = 0;  // ms since 1970
    std::string deviceKey;
    int loop = 0;
    std::string step;  // short name: vLogin, joined, curtainUp, video, chat, volume, ...
    std::string text;  // what a newcomer should look at
};

class DemoScript {
public:
    using PortalUrl = std::function<std::string()>;

    DemoScript(BusinessState& business, PushChannel& push, PortalState& portal, PortalUrl portalUrl,
               DemoTimings timings = DemoTimings());
    ~DemoScript();  // stops every loop and waits for it
    DemoScript(const DemoScript&) = delete;
    DemoScript& operator=(const DemoScript&) = delete;

    // Starts watching for registered terminals; each gets its own loop.
    void start();
    void stop();

    // GET /admin/demo: whether the demo runs and its latest steps.
    void install(SimCore& core);
    Json::Value toJson() const;

private:
    struct TerminalState {
        int appStatus = -1;
        std::string videoStatus;
    };

    void watch();
    void runLoops(const std::string& deviceKey);
    bool oneLoop(const std::string& deviceKey, int loop);
    bool showVideo(const std::string& deviceKey, const std::string& room, int loop);

    void sayLiveStream(const std::string& deviceKey, int loop);
    bool pushCommand(const std::string& deviceKey, const Json::Value& payload);
    void curtain(const std::string& room, int status);
    TerminalState stateOf(const std::string& deviceKey) const;
    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds bound);
    bool pauseFor(std::chrono::milliseconds span);  // false when stopping
    void say(const std::string& deviceKey, int loop, const std::string& step,
             const std::string& text);

    BusinessState& business_;
    PushChannel& push_;
    PortalState& portal_;
    PortalUrl portalUrl_;
    DemoTimings timings_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool running_ = false;
    std::atomic<bool> stopping_{false};  // read by the loops between their waits
    std::thread watcher_;
    std::map<std::string, std::thread> loops_;  // device key -> its loop
    std::deque<DemoStep> steps_;
    long long nextSeq_ = 1;
};

// The application status and video status of the newest status event in a device record.
// appStatus is -1 while the terminal has reported none.
void latestStatusEvent(const Json::Value& device, int& appStatus, std::string& videoStatus);

}  // namespace fenwixsim
