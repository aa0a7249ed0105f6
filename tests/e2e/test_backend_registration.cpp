// The real terminal under the test's X display against fenwix-sim in strict mode: it registers
// when its heartbeat first finds the backend, takes the application id, checks for an update,
// keeps the backend informed (unified report about every 2 s, ping every 3 s), tells the backend
// when it ends, and registers with the same identity after a restart.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "support/simprocess.h"
#include "support_terminalprocess.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using e2e::TerminalProcess;
using e2e::TerminalSandbox;
using fenwixtest::SimProcess;

long long msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
}

class BackendRegistration : public ::testing::Test {
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
        stopTerminal();
        if (HasFailure() && !lastLog_.empty()) {
            std::cerr << "---- terminal log ----\n"
                      << lastLog_ << "---- sim log ----\n"
                      << (sim_ ? sim_->log() : std::string());
        }
    }

    void startTerminal() {
        terminal_ = std::make_unique<TerminalProcess>(*sandbox_);
        pid_ = terminal_->pid();
    }

    // Ends the terminal through its own exit path (the system's termination request).
    void stopTerminal() {
        if (terminal_ != nullptr && terminal_->running()) {
            terminal_->signal(SIGTERM);
            EXPECT_TRUE(terminal_->waitExit(40s).has_value());
        }
        if (terminal_ != nullptr) {
            lastLog_ = log();
        }
        terminal_.reset();
    }

    std::string log() const {
        char pidText[16];
        std::snprintf(pidText, sizeof pidText, "_%06u_", static_cast<unsigned>(pid_));
        for (const auto& file : sandbox_->logFiles()) {
            if (file.filename().string().find(pidText) != std::string::npos) {
                return e2e::readFile(file);
            }
        }
        return "";
    }

    // Arrival times of the next `count` requests to `path`, seen by polling the sim.
    std::vector<Clock::time_point> arrivals(const std::string& path, std::size_t count,
                                            std::chrono::seconds bound) const {
        std::vector<Clock::time_point> out;
        Json::ArrayIndex seen = sim_->requests(path).size();
        const auto deadline = Clock::now() + bound;
        while (out.size() < count && Clock::now() < deadline) {
            const Json::ArrayIndex now = sim_->requests(path).size();
            for (; seen < now; ++seen) {
                out.push_back(Clock::now());
            }
            std::this_thread::sleep_for(20ms);
        }
        return out;
    }

    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<TerminalSandbox> sandbox_;
    std::unique_ptr<TerminalProcess> terminal_;
    pid_t pid_ = -1;
    std::string lastLog_;
};

TEST_F(BackendRegistration, RegistersOnTheFirstReachablePingAndKeepsTheBackendInformed) {
    startTerminal();
    const Json::Value registrations = sim_->waitForRequests("/api/business/app/register", 1, 30000);
    ASSERT_EQ(registrations.size(), 1u) << "no registration reached the sim";
    const Json::Value pings = sim_->requests("/api/business/desktop/ping");
    ASSERT_FALSE(pings.empty());
    EXPECT_LT(pings[0]["seq"].asInt64(), registrations[0]["seq"].asInt64())
        << "the heartbeat finds the backend first";
    const std::string deviceKey = fenwixtest::simFormValue(registrations[0], "devicekey");
    EXPECT_EQ(deviceKey.rfind("DSK_", 0), 0u);
    EXPECT_EQ(fenwixtest::simFormValue(registrations[0], "isfirst"), "true");

    // The reply's application id is taken and the update check follows the first registration.
    const Json::Value checks = sim_->waitForRequests("/api/business/app/updateVersion", 1, 15000);
    ASSERT_EQ(checks.size(), 1u) << "no update check after registration";
    EXPECT_EQ(fenwixtest::simFormValue(checks[0], "uniqueno"),
              fenwixtest::simFormValue(registrations[0], "uniqueno"));
    const std::string applicationId = sim_->device(deviceKey)["applicationId"].asString();
    ASSERT_FALSE(applicationId.empty());
    EXPECT_TRUE(e2e::waitUntil(
        [&] { return log().find("读取服务器配置后 ，设置信息") != std::string::npos; }, 5s));

    // Reports about every 2 s behind the push channel, pings every 3 s.
    const auto reports = arrivals("/api/business/app/reportMsg", 4, 20s);
    ASSERT_EQ(reports.size(), 4u) << "unified reports stopped";
    for (std::size_t i = 1; i < reports.size(); ++i) {
        const long long gap = msBetween(reports[i - 1], reports[i]);
        EXPECT_GE(gap, 1400) << i;
        EXPECT_LE(gap, 3000) << i;
    }
    const auto beats = arrivals("/api/business/desktop/ping", 3, 20s);
    ASSERT_EQ(beats.size(), 3u) << "pings stopped";
    for (std::size_t i = 1; i < beats.size(); ++i) {
        const long long gap = msBetween(beats[i - 1], beats[i]);
        EXPECT_GE(gap, 2700) << i;
        EXPECT_LE(gap, 4200) << i;
    }
    const Json::Value report = sim_->requests("/api/business/app/reportMsg")[0];
    EXPECT_EQ(fenwixtest::simFormValue(report, "deviceKey"), deviceKey);
    EXPECT_EQ(fenwixtest::simFormValue(report, "appStatus"), "1");
    EXPECT_EQ(sim_->requests("/api/business/app/register").size(), 1u)
        << "registered once while the backend stays reachable";

    // Ending the terminal sends the exit report and the last status event.
    stopTerminal();
    const Json::Value exits = sim_->requests("/api/business/app/destroy");
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(fenwixtest::simFormValue(exits[0], "deviceKey"), deviceKey);
    const Json::Value events = sim_->requests("/api/business/app/reportConferenceInfo");
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(fenwixtest::simFormValue(events[events.size() - 1], "str"),
              "[{\"appStatus\":0,\"from\":0,\"type\":5,\"videoStatus\":\"fixScreened\"}]\n");
    EXPECT_EQ(sim_->deviations().size(), 0u) << fenwixtest::simJsonText(sim_->deviations());
}

TEST_F(BackendRegistration, IdentityIssuedByTheBackendIsKeptForTheNextStart) {
    Json::Value spec;
    spec["path"] = "register";
    spec["merge"] = true;
    spec["payload"]["uniqueno"] = "E2E-SRV-1";
    sim_->setBusiness(spec);

    startTerminal();
    ASSERT_EQ(sim_->waitForRequests("/api/business/app/register", 1, 30000).size(), 1u);
    // The push channel registers with the identity adopted from the reply.
    ASSERT_GE(sim_->waitForRequests("/api/register", 1, 20000).size(), 1u);
    const std::string pushQuery = sim_->requests("/api/register")[0]["query"].asString();
    EXPECT_NE(pushQuery.find("userid=UDSK_E2E-SRV-1"), std::string::npos) << pushQuery;
    stopTerminal();

    sim_->clearRequests();
    startTerminal();
    const Json::Value again = sim_->waitForRequests("/api/business/app/register", 1, 30000);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(fenwixtest::simFormValue(again[0], "uniqueno"), "E2E-SRV-1");
    EXPECT_EQ(fenwixtest::simFormValue(again[0], "devicekey"), "DSK_E2E-SRV-1");
    EXPECT_EQ(fenwixtest::simFormValue(again[0], "isfirst"), "false");
    EXPECT_EQ(sim_->deviations().size(), 0u) << fenwixtest::simJsonText(sim_->deviations());
}

// A backend whose pings succeed while it refuses registration gets the request again at the
// heartbeat's pace, not as fast as the failures come back, and the terminal registers once it is
// accepted.
TEST_F(BackendRegistration, RefusedRegistrationIsSentAgainAtTheHeartbeatPace) {
    Json::Value reply;
    reply["path"] = "/api/business/app/register";
    reply["status"] = 500;
    reply["body"] = "busy";
    reply["times"] = 2;
    sim_->setReply(reply);

    startTerminal();
    const auto attempts = arrivals("/api/business/app/register", 3, 40s);
    ASSERT_EQ(attempts.size(), 3u) << "registration was not tried again";
    for (std::size_t i = 1; i < attempts.size(); ++i) {
        EXPECT_GE(msBetween(attempts[i - 1], attempts[i]), 2500) << i;
    }
    EXPECT_EQ(sim_->waitForRequests("/api/business/app/updateVersion", 1, 15000).size(), 1u)
        << "the accepted registration completes";
    EXPECT_EQ(sim_->requests("/api/business/app/register").size(), 3u);
    EXPECT_EQ(sim_->deviations().size(), 0u) << fenwixtest::simJsonText(sim_->deviations());
}

}  // namespace
