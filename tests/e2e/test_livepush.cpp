// The live push end to end: the real terminal (ispull=1, the virtual test camera, a private
// sound server) joins a class through fenwix-sim, opens the camera, asks the sim for a push
// address and pushes to a real RTMP receiver, which records the stream; log-out stops the push
// and the sim sees the stop with the stored live id. Closing waits for an unconfirmed stop.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <json/json.h>

#include "support/mediaprobe.h"
#include "support/pulsedaemon.h"
#include "support/rtmpserver.h"
#include "support/simprocess.h"
#include "support_checks.h"
#include "support_terminalprocess.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using e2e::TerminalProcess;
using e2e::TerminalSandbox;
using fenwixtest::SimProcess;

constexpr const char* kStream = "classroom";
constexpr const char* kRoom = "room-live";

class LivePush : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display";
        }
        ASSERT_TRUE(e2e::displayAnswers());
        mic_ = pulse_.addSource("Classroom Mic");
        pulse_.setDefaultSource(mic_);
        sim_ = std::make_unique<SimProcess>();
        Json::Value start;
        start["path"] = "startConferenceLive";
        start["merge"] = true;
        start["payload"]["url"] = rtmp_.url(kStream);
        sim_->setBusiness(start);
        sandbox_ = std::make_unique<TerminalSandbox>();
        sandbox_->useBackend(sim_->baseUrl());
        std::ofstream(sandbox_->root() / "ini" / "desktop.ini", std::ios::app) << "ispull=1\n";
        setenv("FENWIX_VIRTUAL_CAMERA", "1", 1);
    }

    void TearDown() override {
        if (terminal_ != nullptr && terminal_->running()) {
            terminal_->signal(SIGTERM);
            terminal_->waitExit(60s);
        }
        if (HasFailure() && terminal_ != nullptr) {
            std::cerr << "---- terminal log ----\n"
                      << log() << "---- sim log ----\n"
                      << sim_->log() << "---- receiver log ----\n"
                      << rtmp_.log();
        }
    }

    std::string log() const { return e2e::terminalLog(*sandbox_, terminal_->pid()); }
    bool logged(const std::string& text) const { return log().find(text) != std::string::npos; }
    bool waitLogged(const std::string& text, std::chrono::milliseconds bound) const {
        return e2e::waitUntil([&] { return logged(text); }, bound);
    }
    Json::Value device() const { return sim_->device(deviceKey_); }

    void push(const std::string& type, const Json::Value& data = Json::Value()) const {
        Json::Value body;
        body["deviceKey"] = deviceKey_;
        body["type"] = type;
        if (!data.isNull()) {
            body["data"] = data;
        }
        sim_->admin("POST", "/admin/push", body);
    }

    // Starts the terminal, lets it register and enter the class; returns once the push has
    // been asked for and the receiver records it.
    void joinAndPush() {
        terminal_ = std::make_unique<TerminalProcess>(*sandbox_);
        ASSERT_TRUE(e2e::waitUntil(
            [&] {
                const Json::Value list = sim_->admin("GET", "/admin/devices")["devices"];
                if (!list.empty()) {
                    deviceKey_ = list[0]["deviceKey"].asString();
                }
                return !deviceKey_.empty() || !terminal_->running();
            },
            30s));
        ASSERT_FALSE(deviceKey_.empty()) << "no registration reached the sim";
        ASSERT_GE(sim_->waitForRequests("/api/getData", 1, 20000).size(), 1u);
        Json::Value login;
        login["roomId"] = "R-2001";
        login["username"] = "classroom03";
        login["password"] = "secret";
        login["roomKey"] = kRoom;
        login["displayName"] = "三号教室";
        push("vLogin", login);
        ASSERT_TRUE(waitLogged("用户模式登录成功", 40s));
        ASSERT_TRUE(waitLogged("pull prepare to set device", 5s)) << "devices were not matched";
        ASSERT_TRUE(waitLogged("开始推流", 20s)) << "the camera never opened in class";
        ASSERT_TRUE(e2e::waitUntil([&] { return device()["liveState"] == "pushing"; }, 10s));
        ASSERT_TRUE(rtmp_.waitForBytes(kStream, 200000, 30s)) << "the receiver got no stream";
    }

    // Log-out; returns once the sim has seen the stop request.
    void logOutUntilStopped() {
        push("vLogout");
        ASSERT_TRUE(waitLogged("OnAnalyzeLogoutSuccess", 20s));
        ASSERT_TRUE(e2e::waitUntil([&] { return device()["liveStops"].asInt() >= 1; }, 20s))
            << device();
    }

    // Seconds from SIGTERM to the end of the process.
    double closeSeconds() {
        const auto from = Clock::now();
        terminal_->signal(SIGTERM);
        EXPECT_EQ(terminal_->waitExit(90s), 0);
        return std::chrono::duration<double>(Clock::now() - from).count();
    }

    fenwixtest::PulseDaemon pulse_;
    std::string mic_;
    fenwixtest::RtmpServer rtmp_;
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<TerminalSandbox> sandbox_;
    std::unique_ptr<TerminalProcess> terminal_;
    std::string deviceKey_;
};

TEST_F(LivePush, TheClassCameraIsPushedAndStoppedWithItsLiveIdOnLogOut) {
    ASSERT_NO_FATAL_FAILURE(joinAndPush());
    const int liveId = device()["liveId"].asInt();
    EXPECT_TRUE(logged("camera name=Fenwix Virtual Camera"));
    EXPECT_TRUE(logged("实际系统默认麦克风设备为 Classroom Mic"));
    // A few seconds of stream, then the recording is probed.
    ASSERT_TRUE(rtmp_.waitForBytes(kStream, 600000, 30s));
    ASSERT_NO_FATAL_FAILURE(logOutUntilStopped());
    Json::Value ids(Json::arrayValue);
    ids.append(std::to_string(liveId));
    EXPECT_EQ(device()["stopLiveIds"], ids);
    EXPECT_EQ(device()["lastLiveStop"]["name"], "");
    const auto files = rtmp_.recordings(kStream);
    ASSERT_FALSE(files.empty());
    const fenwixtest::MediaProbe p = fenwixtest::probeMedia(files.back());
    EXPECT_EQ(p.videoCodec, "h264") << p.raw;
    EXPECT_EQ(p.width, 1280);
    EXPECT_EQ(p.height, 720);
    EXPECT_NEAR(p.fps, 30.0, 1.5) << p.raw;
    EXPECT_EQ(p.audioCodec, "aac") << p.raw;
    // A confirmed stop: the terminal closes without waiting for the live push.
    EXPECT_LT(closeSeconds(), 12.0);
}

TEST_F(LivePush, ClosingWaitsForAStopTheBackendNeverConfirms) {
    Json::Value refuse;
    refuse["path"] = "stopConferenceLive";
    refuse["success"] = false;
    refuse["message"] = "not now";
    sim_->setBusiness(refuse);
    ASSERT_NO_FATAL_FAILURE(joinAndPush());
    ASSERT_NO_FATAL_FAILURE(logOutUntilStopped());
    const double seconds = closeSeconds();
    // 21 one-second waits beside the normal shutdown; generous for slow builds.
    EXPECT_GE(seconds, 20.0);
    EXPECT_LT(seconds, 60.0);
    EXPECT_EQ(sim_->device(deviceKey_)["liveStops"].asInt(), 1);  // the stop is not repeated
}

}  // namespace
