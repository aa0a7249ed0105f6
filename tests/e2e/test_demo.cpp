// The demo class of `fenwix-sim --demo` against the real terminal under the test's X display,
// and the sim's web console in a real headless browser while the demo runs.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "support/simprocess.h"
#include "support_checks.h"
#include "support_terminalprocess.h"
#include "support_webdriver.h"

namespace {

using namespace std::chrono_literals;
using e2e::TerminalProcess;
using e2e::TerminalSandbox;
using fenwixtest::SimProcess;

class DemoClass : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2e::haveDisplay()) {
            GTEST_SKIP() << "needs an X display";
        }
        ASSERT_TRUE(e2e::displayAnswers());
        sim_ = std::make_unique<SimProcess>(std::vector<std::string>{"--demo"});
        sandbox_ = std::make_unique<TerminalSandbox>();
        sandbox_->useBackend(sim_->baseUrl());
        setenv("FENWIX_VIRTUAL_CAMERA", "1", 1);
        terminal_ = std::make_unique<TerminalProcess>(*sandbox_);
        ASSERT_TRUE(
            e2e::waitUntil([&] { return !registered().empty() || !terminal_->running(); }, 30s))
            << "no registration reached the sim";
        ASSERT_TRUE(terminal_->running());
        deviceKey_ = registered();
    }

    // The device key of the terminal's registration: the record that carries its push key (a
    // ping before the registration may have named the machine differently).
    std::string registered() const {
        const Json::Value reply = sim_->admin("GET", "/admin/devices");
        for (const Json::Value& d : reply["devices"]) {
            if (!d["pushKey"].asString().empty()) {
                return d["deviceKey"].asString();
            }
        }
        return "";
    }

    void TearDown() override {
        if (terminal_ != nullptr && terminal_->running()) {
            terminal_->signal(SIGTERM);
            terminal_->waitExit(40s);
        }
        if (HasFailure() && terminal_ != nullptr) {
            std::cerr << "---- terminal log ----\n"
                      << e2e::terminalLog(*sandbox_, terminal_->pid()) << "---- sim log ----\n"
                      << sim_->log();
        }
    }

    Json::Value device() const { return sim_->device(deviceKey_); }

    // The demo's steps for this terminal in one loop, in order.
    std::vector<std::string> stepsOfLoop(int loop) const {
        std::vector<std::string> out;
        const Json::Value reply = sim_->admin("GET", "/admin/demo");
        for (const Json::Value& s : reply["steps"]) {
            if (s["deviceKey"].asString() == deviceKey_ && s["loop"].asInt() == loop) {
                out.push_back(s["step"].asString());
            }
        }
        return out;
    }

    bool waitStep(const std::string& step, int loop, std::chrono::milliseconds bound) const {
        return e2e::waitUntil(
            [&] {
                for (const std::string& s : stepsOfLoop(loop)) {
                    if (s == step) {
                        return true;
                    }
                }
                return false;
            },
            bound);
    }

    bool reportSays(const char* field, const std::string& value) const {
        return device()["lastReport"][field].asString() == value;
    }

    // The application status of every status event the terminal reported, in order.
    std::vector<int> appStatusEvents() const {
        std::vector<int> out;
        const Json::Value record = device();
        for (const auto& event : record["events"]) {
            for (const auto& entry : event["str"]) {
                if (entry["type"].asInt() == 5) {
                    out.push_back(entry["appStatus"].asInt());
                }
            }
        }
        return out;
    }

    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<TerminalSandbox> sandbox_;
    std::unique_ptr<TerminalProcess> terminal_;
    std::string deviceKey_;
};

TEST_F(DemoClass, OneLoopShowsTheWaitingPictureTheTeacherAndTheIdleScreenAgain) {
    ASSERT_TRUE(waitStep("vLogin", 1, 20s)) << sim_->log();
    ASSERT_TRUE(waitStep("joined", 1, 60s));
    EXPECT_FALSE(e2e::mainWindowShown(terminal_->pid())) << "the class screen covers the idle one";
    std::this_thread::sleep_for(1s);  // let the picture settle for the eye
    e2e::keepScreenshot("demo-waiting.png");

    ASSERT_TRUE(waitStep("video", 1, 40s)) << "steps so far: " << stepsOfLoop(1).size();
    std::this_thread::sleep_for(1s);
    e2e::keepScreenshot("demo-video.png");

    ASSERT_TRUE(waitStep("volume", 1, 30s));
    EXPECT_TRUE(e2e::waitUntil([&] { return reportSays("speakerVolumn", "40000"); }, 15s))
        << device()["lastReport"];

    ASSERT_TRUE(waitStep("idle", 1, 60s));
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::mainWindowShown(terminal_->pid()); }, 10s));
    std::this_thread::sleep_for(1s);
    e2e::keepScreenshot("demo-idle.png");

    const std::vector<std::string> expected{"vLogin", "joined",      "curtainUp", "video", "chat",
                                            "volume", "curtainDown", "vLogout",   "idle"};
    std::vector<std::string> steps;
    for (const std::string& s : stepsOfLoop(1)) {
        // A repeated curtain-up attempt counts once; where to watch the live push is shown only
        // when the push has started by then.
        if (s != "live" && (s != "curtainUp" || steps.empty() || steps.back() != "curtainUp")) {
            steps.push_back(s);
        }
    }
    EXPECT_EQ(steps, expected);

    // The backend saw the class begin and end: in class (3), then idle (1) again.
    const std::vector<int> events = appStatusEvents();
    bool inClass = false;
    bool idleAfter = false;
    for (int status : events) {
        inClass = inClass || status == 3;
        idleAfter = idleAfter || (inClass && status == 1);
    }
    EXPECT_TRUE(inClass && idleAfter) << device()["events"];
    EXPECT_EQ(e2e::countIn(e2e::terminalLog(*sandbox_, terminal_->pid()), "用户模式登录成功"), 1);
}

TEST_F(DemoClass, TheConsoleInABrowserShowsTheTerminalAndPushesACommandToIt) {
    e2e::WebBrowser browser;
    if (!browser.available()) {
        GTEST_SKIP() << browser.why();
    }
    ASSERT_TRUE(browser.open(sim_->baseUrl() + "/console"));

    const Json::Value key(deviceKey_);
    Json::Value args(Json::arrayValue);
    args.append(key);
    // The reports column of this terminal's row; -1 while the row is not there.
    const std::string reportsCell =
        "for (const tr of document.querySelectorAll('#devices tbody tr'))"
        "  if (tr.cells[0].textContent === arguments[0]) return Number(tr.cells[9].textContent);"
        "return -1;";
    ASSERT_TRUE(e2e::waitUntil([&] { return browser.script(reportsCell, args).asInt() >= 0; }, 15s))
        << "the console never listed " << deviceKey_;
    const int firstCount = browser.script(reportsCell, args).asInt();
    EXPECT_TRUE(
        e2e::waitUntil([&] { return browser.script(reportsCell, args).asInt() > firstCount; }, 15s))
        << "the terminal's latest report did not update on the page";
    EXPECT_TRUE(e2e::waitUntil(
        [&] {
            return browser
                .script(
                    "const s = document.getElementById('demoSection');"
                    "return !s.hidden && s.textContent.includes(arguments[0]);",
                    args)
                .asBool();
        },
        15s))
        << "the demo's steps for this terminal are not shown";

    // A person queues a microphone volume command for this terminal from the page.
    ASSERT_TRUE(browser.type("#pushTo", deviceKey_)) << browser.why();
    browser.script(
        "document.getElementById('pushType').value = 'desktopRoomCmd'; showPushFields();"
        "document.getElementById('c-fenwixcmd').value = 'micVolumnChange';");
    ASSERT_TRUE(browser.type("#c-volumn", "321")) << browser.why();
    ASSERT_TRUE(browser.click("button[onclick='sendPush()']")) << browser.why();
    EXPECT_TRUE(e2e::waitUntil([&] { return reportSays("micVolumn", "321"); }, 20s))
        << device()["lastReport"];
    const std::string micCell =
        "for (const tr of document.querySelectorAll('#devices tbody tr'))"
        "  if (tr.cells[0].textContent === arguments[0]) return tr.cells[5].textContent;"
        "return '';";
    EXPECT_TRUE(e2e::waitUntil(
        [&] { return browser.script(micCell, args).asString().rfind("321 /", 0) == 0; }, 10s))
        << browser.script(micCell, args);

    if (const char* artifacts = std::getenv("FENWIX_ARTIFACTS")) {
        EXPECT_TRUE(browser.screenshot(std::string(artifacts) + "/console.png"));
    }
}

}  // namespace
