// The push channel of the real terminal under the test's X display against fenwix-sim: a volume
// command pushed through the sim's admin API reaches the conference and comes back in the
// reports; a sim that is stopped and started again gets a new push registration from the running
// terminal, which carries on polling, reporting and obeying commands without a restart.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/simprocess.h"
#include "support_terminalprocess.h"

namespace {

using namespace std::chrono_literals;
using e2e::TerminalProcess;
using e2e::TerminalSandbox;
using fenwixtest::SimProcess;

class BackendPush : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display";
        }
        ASSERT_TRUE(e2e::displayAnswers());
        sim_ = std::make_unique<SimProcess>(std::vector<std::string>{"--strict"});
        sandbox_ = std::make_unique<TerminalSandbox>();
        sandbox_->useBackend(sim_->baseUrl());
        setenv("FENWIX_VIRTUAL_CAMERA", "1", 1);
    }

    void TearDown() override {
        if (terminal_ != nullptr && terminal_->running()) {
            terminal_->signal(SIGTERM);
            terminal_->waitExit(40s);
        }
        if (HasFailure() && terminal_ != nullptr) {
            std::cerr << "---- terminal log ----\n"
                      << log() << "---- sim log ----\n"
                      << (sim_ ? sim_->log() : std::string());
        }
    }

    // Starts the terminal and waits until it registered and its push channel polls.
    void startRegistered() {
        terminal_ = std::make_unique<TerminalProcess>(*sandbox_);
        ASSERT_TRUE(
            e2e::waitUntil([&] { return !devices().empty() || !terminal_->running(); }, 30s))
            << "no registration reached the sim";
        ASSERT_TRUE(terminal_->running());
        const Json::Value device = devices()[0];
        deviceKey_ = device["deviceKey"].asString();
        ASSERT_GE(sim_->waitForRequests("/api/getData", 1, 20000).size(), 1u)
            << "the push channel never asked for data";
        // The push registration carries its parameters in the query, the user id last.
        const std::string query = sim_->requests("/api/register")[0]["query"].asString();
        pushKey_ = query.substr(query.find("userid=") + 7);
        ASSERT_EQ(pushKey_.rfind("UDSK_", 0), 0u) << pushKey_;
    }

    Json::Value devices() const { return sim_->admin("GET", "/admin/devices")["devices"]; }

    void pushVolume(const char* command, const std::string& volume) const {
        Json::Value body;
        body["userId"] = pushKey_;
        body["type"] = "desktopRoomCmd";
        body["data"]["fenwixcmd"] = command;
        body["data"]["volumn"] = volume;
        sim_->admin("POST", "/admin/push", body);
    }

    // A dynamic-information report with exactly this event text arrived.
    bool eventReported(const std::string& text) const {
        for (const Json::Value& r : sim_->requests("/api/business/app/reportConferenceInfo")) {
            if (fenwixtest::simFormValue(r, "str") == text) {
                return true;
            }
        }
        return false;
    }

    // The latest unified report says `name` = `value`.
    bool unifiedReportSays(const std::string& name, const std::string& value) const {
        const Json::Value reports = sim_->requests("/api/business/app/reportMsg");
        return !reports.empty() &&
               fenwixtest::simFormValue(reports[reports.size() - 1], name) == value;
    }

    std::string log() const {
        char pidText[16];
        std::snprintf(pidText, sizeof pidText, "_%06u_", static_cast<unsigned>(terminal_->pid()));
        for (const auto& file : sandbox_->logFiles()) {
            if (file.filename().string().find(pidText) != std::string::npos) {
                return e2e::readFile(file);
            }
        }
        return "";
    }

    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<TerminalSandbox> sandbox_;
    std::unique_ptr<TerminalProcess> terminal_;
    std::string deviceKey_;
    std::string pushKey_;
};

TEST_F(BackendPush, VolumeCommandsChangeTheConferenceVolumeAndAreReportedBack) {
    startRegistered();

    pushVolume("speakerVolumnChange", "40000");
    ASSERT_TRUE(e2e::waitUntil(
        [&] { return eventReported("[{\"from\":1,\"size\":\"40000\",\"type\":4}]\n"); }, 15s));
    EXPECT_TRUE(e2e::waitUntil([&] { return unifiedReportSays("speakerVolumn", "40000"); }, 10s));

    pushVolume("micVolumnChange", "321");
    ASSERT_TRUE(e2e::waitUntil(
        [&] { return eventReported("[{\"from\":1,\"size\":\"321\",\"type\":3}]\n"); }, 15s));
    EXPECT_TRUE(e2e::waitUntil([&] { return unifiedReportSays("micVolumn", "321"); }, 10s));

    const std::string text = log();
    EXPECT_NE(text.find("zorbel 设置扬声器音量: 40000"), std::string::npos);
    EXPECT_NE(text.find("zorbel 设置麦克风音量: 321"), std::string::npos);
    EXPECT_EQ(sim_->deviations().size(), 0u) << fenwixtest::simJsonText(sim_->deviations());
}

TEST_F(BackendPush, RestartedServiceGetsANewPushRegistrationAndTheChannelCarriesOn) {
    startRegistered();
    const int port = sim_->port();
    sim_->stop();
    // The terminal meets a dead service for a few polls.
    std::this_thread::sleep_for(5s);
    ASSERT_TRUE(terminal_->running());
    sim_ = std::make_unique<SimProcess>(
        std::vector<std::string>{"--strict", "--port", std::to_string(port)});

    // The new service knows no token: the terminal registers again and polls with the new one.
    ASSERT_GE(sim_->waitForRequests("/api/register", 1, 20000).size(), 1u);
    ASSERT_GE(sim_->waitForRequests("/api/getData", 1, 20000).size(), 1u);
    EXPECT_GE(sim_->waitForRequests("/api/business/app/reportMsg", 2, 20000).size(), 2u);

    pushVolume("speakerVolumnChange", "12345");
    EXPECT_TRUE(e2e::waitUntil([&] { return unifiedReportSays("speakerVolumn", "12345"); }, 20s));
    EXPECT_TRUE(terminal_->running());
    EXPECT_EQ(sim_->deviations().size(), 0u) << fenwixtest::simJsonText(sim_->deviations());
}

}  // namespace
