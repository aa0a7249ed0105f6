#include "sim/demoscript.h"

#include <iostream>

#include "sim/adminreply.h"
#include "sim/businessstate.h"
#include "sim/portalstate.h"
#include "sim/pushchannel.h"
#include "sim/simcore.h"

namespace fenwixsim {

namespace {

constexpr size_t kStepsKept = 200;
constexpr std::chrono::milliseconds kWatchPeriod{1000};
constexpr std::chrono::milliseconds kStatePeriod{200};

constexpr int kIdle = 1;
constexpr int kInClass = 3;

Json::Value stepJson(const DemoStep& s) {
    Json::Value v;
    v["seq"] = static_cast<Json::Int64>(s.seq);
    v["at"] = static_cast<Json::Int64>(s.at);
    v["deviceKey"] = s.deviceKey;
    v["loop"] = s.loop;
    v["step"] = s.step;
    v["text"] = s.text;
    return v;
}

}  // namespace

void latestStatusEvent(const Json::Value& device, int& appStatus, std::string& videoStatus) {
    appStatus = -1;
    videoStatus.clear();
    const Json::Value& events = device["events"];
    if (!events.isArray()) {
        return;
    }
    for (Json::ArrayIndex i = events.size(); i-- > 0;) {
        const Json::Value& entries = events[i]["str"];
        if (!entries.isArray()) {
            continue;
        }
        for (Json::ArrayIndex j = entries.size(); j-- > 0;) {
            const Json::Value& entry = entries[j];
            if (entry.isObject() && entry["type"].isInt() && entry["type"].asInt() == 5 &&
                entry["appStatus"].isInt()) {
                appStatus = entry["appStatus"].asInt();
                videoStatus =
                    entry["videoStatus"].isString() ? entry["videoStatus"].asString() : "";
                return;
            }
        }
    }
}

DemoScript::DemoScript(BusinessState& business, PushChannel& push, PortalState& portal,
                       PortalUrl portalUrl, DemoTimings timings)
    : business_(business),
      push_(push),
      portal_(portal),
      portalUrl_(std::move(portalUrl)),
      timings_(timings) {}

DemoScript::~DemoScript() {
    stop();
}

void DemoScript::start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) {
        return;
    }
    running_ = true;
    stopping_ = false;
    watcher_ = std::thread([this] { watch(); });
}

void DemoScript::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_) {
            return;
        }
        stopping_ = true;
    }
    wake_.notify_all();
    if (watcher_.joinable()) {
        watcher_.join();
    }
    // The watcher no longer adds loops now.
    for (auto& [key, loop] : loops_) {
        if (loop.joinable()) {
            loop.join();
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    loops_.clear();
    running_ = false;
}

void DemoScript::install(SimCore& core) {
    core.route("GET", "/admin/demo", [this](const SimRequest&) { return ok(toJson()); });
}

Json::Value DemoScript::toJson() const {
    std::lock_guard<std::mutex> lock(mutex_);
    Json::Value out;
    out["enabled"] = running_;
    Json::Value steps(Json::arrayValue);
    for (const DemoStep& s : steps_) {
        steps.append(stepJson(s));
    }
    out["steps"] = steps;
    return out;
}

// Every terminal that has registered with a push key gets its own loop, once.
void DemoScript::watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        const Json::Value devices = business_.devicesJson()["devices"];
        lock.lock();
        for (const Json::Value& d : devices) {
            const std::string key = d["deviceKey"].asString();
            if (key.empty() || d["pushKey"].asString().empty() || loops_.count(key) != 0) {
                continue;
            }
            loops_.emplace(key, std::thread([this, key] { runLoops(key); }));
        }
        wake_.wait_for(lock, kWatchPeriod, [this] { return stopping_.load(); });
    }
}

void DemoScript::runLoops(const std::string& deviceKey) {
    say(deviceKey, 0, "registered", "a terminal registered: the demo class starts for it");
    for (int loop = 1; oneLoop(deviceKey, loop); ++loop) {
    }
}

// One class: log-in, the teacher's video, a chat line, a volume change, the waiting picture,
// log-out, a pause. False when the demo is stopping.
bool DemoScript::oneLoop(const std::string& deviceKey, int loop) {
    const std::string room =
        "demo-room-" + deviceKey.substr(deviceKey.size() > 6 ? deviceKey.size() - 6 : 0);
    Json::Value login;
    login["type"] = "vLogin";
    login["data"]["roomId"] = "D-" + std::to_string(loop);
    login["data"]["username"] = "demo-classroom";
    login["data"]["password"] = "demo";
    login["data"]["roomKey"] = room;
    login["data"]["displayName"] = "演示教室";
    login["data"]["portal"] = portalUrl_();
    if (pushCommand(deviceKey, login)) {
        say(deviceKey, loop, "vLogin",
            "the backend sends the terminal into class " + room +
                ": the message bar reads 正在进入教室，请耐心等待");
    }
    if (!waitFor([&] { return stateOf(deviceKey).appStatus == kInClass; }, timings_.joinBound)) {
        if (stopping_) {
            return false;
        }
        say(deviceKey, loop, "noClass", "the terminal did not report the class (appStatus 3)");
    } else {
        say(deviceKey, loop, "joined", "in class (appStatus 3): the waiting picture shows");
        if (!pauseFor(timings_.fixDelay) || !showVideo(deviceKey, room, loop)) {
            return false;
        }
        curtain(room, 0);
        say(deviceKey, loop, "curtainDown",
            "the teacher's curtain comes down (status 0): the waiting picture");
        if (!pauseFor(timings_.waitingHold)) {
            return false;
        }
    }
    Json::Value logout;
    logout["type"] = "vLogout";
    if (pushCommand(deviceKey, logout)) {
        say(deviceKey, loop, "vLogout", "the backend ends the class");
    }
    if (waitFor([&] { return stateOf(deviceKey).appStatus == kIdle; }, timings_.logoutBound)) {
        say(deviceKey, loop, "idle", "back on the idle screen (appStatus 1); next class soon");
    } else if (stopping_) {
        return false;
    }
    return pauseFor(timings_.pause);
}

// The teacher raises the curtain until the terminal shows the video (the first command may
// come before the screen is fixed on the teacher, as in a real class), then chats and the
// backend changes the volume while the video shows.
bool DemoScript::showVideo(const std::string& deviceKey, const std::string& room, int loop) {
    bool shown = false;
    for (int attempt = 0; attempt < timings_.fixAttempts && !shown; ++attempt) {
        if (attempt > 0) {
            curtain(room, 0);
        }
        curtain(room, 1);
        say(deviceKey, loop, "curtainUp",
            "the teacher's curtain goes up (status 1): the teacher's video");
        shown =
            waitFor([&] { return stateOf(deviceKey).videoStatus == "fixed"; }, timings_.fixBound);
        if (stopping_) {
            return false;
        }
    }
    say(deviceKey, loop, shown ? "video" : "noVideo",
        shown ? "the teacher's video fills the screen (videoStatus fixed)"
              : "the screen was not fixed on the teacher");
    sayLiveStream(deviceKey, loop);
    const auto third = timings_.videoHold / 3;
    if (!pauseFor(third)) {
        return false;
    }
    Json::Value chat;
    chat["roomKey"] = room;
    chat["message"] = "同学们好，我们开始上课。";
    int delivered = 0;
    std::string error;
    portal_.chat(chat, delivered, error);
    say(deviceKey, loop, "chat", "the teacher writes in the chat: 同学们好，我们开始上课。");
    if (!pauseFor(third)) {
        return false;
    }
    Json::Value volume;
    volume["type"] = "desktopRoomCmd";
    volume["data"]["fenwixcmd"] = "speakerVolumnChange";
    volume["data"]["volumn"] = loop % 2 == 0 ? "50000" : "40000";
    if (pushCommand(deviceKey, volume)) {
        say(deviceKey, loop, "volume",
            "the backend sets the speaker volume to " + volume["data"]["volumn"].asString() +
                " (speakerVolumn in the next report)");
    }
    return pauseFor(timings_.videoHold - 2 * third);
}

// A terminal that pushes its camera (ispull=1) has asked for a push address by now.
void DemoScript::sayLiveStream(const std::string& deviceKey, int loop) {
    const Json::Value record = business_.deviceJson(deviceKey);
    const std::string url = record["liveUrl"].isString() ? record["liveUrl"].asString() : "";
    if (record["liveState"].asString() == "pushing" && !url.empty()) {
        say(deviceKey, loop, "live",
            "the classroom camera is pushed live: watch with  ffplay " + url);
    }
}

bool DemoScript::pushCommand(const std::string& deviceKey, const Json::Value& payload) {
    const std::string userId = business_.pushKeyForDevice(deviceKey);
    if (userId.empty()) {
        say(deviceKey, 0, "noPushKey", "no push key is known for this terminal");
        return false;
    }
    push_.queue(userId, payload);
    return true;
}

void DemoScript::curtain(const std::string& room, int status) {
    Json::Value spec;
    spec["roomKey"] = room;
    spec["status"] = status;
    int delivered = 0;
    std::string error;
    portal_.curtain(spec, delivered, error);
}

DemoScript::TerminalState DemoScript::stateOf(const std::string& deviceKey) const {
    TerminalState state;
    latestStatusEvent(business_.deviceJson(deviceKey), state.appStatus, state.videoStatus);
    return state;
}

bool DemoScript::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        if (condition()) {
            return true;
        }
        lock.lock();
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        wake_.wait_for(lock, kStatePeriod, [this] { return stopping_.load(); });
    }
    return false;
}

bool DemoScript::pauseFor(std::chrono::milliseconds span) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !wake_.wait_for(lock, span, [this] { return stopping_.load(); });
}

void DemoScript::say(const std::string& deviceKey, int loop, const std::string& step,
                     const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    DemoStep s;
    s.seq = nextSeq_++;
    s.at = nowMs();
    s.deviceKey = deviceKey;
    s.loop = loop;
    s.step = step;
    s.text = text;
    std::cout << "demo " << deviceKey << " loop " << loop << ": " << step << " - " << text
              << std::endl;
    steps_.push_back(std::move(s));
    if (steps_.size() > kStepsKept) {
        steps_.pop_front();
    }
}

}  // namespace fenwixsim
