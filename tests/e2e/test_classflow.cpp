// One class, end to end: the real terminal under the test's X display against fenwix-sim (the
// business API, the push channel and the conference portal). The sim pushes the commands and plays
// the teacher; the terminal's log and the reports the sim recorded show what the terminal did.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/privatedisplay.h"
#include "support/scopedenv.h"
#include "support/simprocess.h"
#include "support_checks.h"
#include "support_terminalprocess.h"

namespace {

using namespace std::chrono_literals;
using e2e::TerminalProcess;
using e2e::TerminalSandbox;
using fenwixtest::SimProcess;

Json::Value object(std::initializer_list<std::pair<const char*, Json::Value>> members) {
    Json::Value v(Json::objectValue);
    for (const auto& [key, value] : members) {
        v[key] = value;
    }
    return v;
}

// A terminal that the sim has registered and whose push channel is polling, in a sandbox whose
// desktop.ini points at the sim.
class ClassFlow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2e::haveDisplay()) {
            GTEST_SKIP() << "needs an X display";
        }
        ASSERT_TRUE(e2e::displayAnswers());
        sim_ = std::make_unique<SimProcess>();
        sandbox_ = std::make_unique<TerminalSandbox>();
        sandbox_->useBackend(sim_->baseUrl());
        setenv("FENWIX_VIRTUAL_CAMERA", "1", 1);
        // These classes are about entering and leaving; the live push has tests of its own.
        Json::Value noPush;
        noPush["path"] = "register";
        noPush["merge"] = true;
        noPush["payload"]["setting"]["ispull"] = 0;
        sim_->setBusiness(noPush);
    }

    void TearDown() override {
        unsetenv("VIDYO_CLIENT_PORTAL_TIMEOUT_MS");
        if (terminal_ != nullptr && terminal_->running()) {
            terminal_->signal(SIGTERM);
            terminal_->waitExit(40s);
        }
        if (HasFailure() && terminal_ != nullptr) {
            std::cerr << "---- terminal log ----\n"
                      << log() << "---- sim log ----\n"
                      << sim_->log();
        }
    }

    // Starts the terminal and waits until it registered and its push channel asks for data.
    void startRegistered() {
        terminal_ = std::make_unique<TerminalProcess>(*sandbox_);
        ASSERT_TRUE(
            e2e::waitUntil([&] { return !devices().empty() || !terminal_->running(); }, 30s))
            << "no registration reached the sim";
        ASSERT_TRUE(terminal_->running());
        deviceKey_ = devices()[0]["deviceKey"].asString();
        ASSERT_FALSE(deviceKey_.empty());
        ASSERT_GE(sim_->waitForRequests("/api/getData", 1, 20000).size(), 1u)
            << "the push channel never asked for data";
    }

    Json::Value devices() const { return sim_->admin("GET", "/admin/devices")["devices"]; }
    Json::Value device() const { return sim_->device(deviceKey_); }

    void push(const std::string& type, const Json::Value& data = Json::Value()) const {
        Json::Value body = object({{"deviceKey", deviceKey_}, {"type", type}});
        if (!data.isNull()) {
            body["data"] = data;
        }
        sim_->admin("POST", "/admin/push", body);
    }

    void pushLogIn() const {
        push("vLogin", object({{"roomId", "R-1001"},
                               {"username", "classroom01"},
                               {"password", "secret"},
                               {"roomKey", kRoom},
                               {"displayName", "一号教室"}}));
    }

    void portal(const std::string& what, const Json::Value& body) const {
        sim_->admin("POST", "/admin/portal/" + what, body);
    }

    std::string log() const { return e2e::terminalLog(*sandbox_, terminal_->pid()); }

    bool waitLogged(const std::string& text, std::chrono::milliseconds bound, int times = 1) {
        return e2e::waitUntil([&] { return e2e::countIn(log(), text) >= times; }, bound);
    }

    // The application status events the terminal reported, in order: (appStatus, videoStatus).
    std::vector<std::pair<int, std::string>> statusEvents() const {
        std::vector<std::pair<int, std::string>> out;
        const Json::Value record = device();
        for (const auto& event : record["events"]) {
            for (const auto& entry : event["str"]) {
                if (entry["type"].asInt() == 5) {
                    out.emplace_back(entry["appStatus"].asInt(), entry["videoStatus"].asString());
                }
            }
        }
        return out;
    }

    bool reported(int appStatus, const std::string& videoStatus = "") const {
        for (const auto& [status, video] : statusEvents()) {
            if (status == appStatus && (videoStatus.empty() || video == videoStatus)) {
                return true;
            }
        }
        return false;
    }

    // The teacher lowers the curtain until the terminal shows the video: the first command may
    // come before the screen is fixed on the teacher, as in a real class.
    bool lowerCurtainUntilVideo() {
        for (int attempt = 0; attempt < 5; ++attempt) {
            portal("curtain", object({{"roomKey", kRoom}, {"status", 1}}));
            if (waitLogged("固屏成功，等待下次固屏", 3s)) {
                return true;
            }
            portal("curtain", object({{"roomKey", kRoom}, {"status", 0}}));
            waitLogged("当前状态 : status = 2", 2s, 2 + attempt);
        }
        return false;
    }

    static constexpr const char* kRoom = "room-7";
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<TerminalSandbox> sandbox_;
    std::unique_ptr<TerminalProcess> terminal_;
    std::string deviceKey_;
};

TEST_F(ClassFlow, PushedLogInJoinsAsAUserShowsTheTeacherAndLeavesOnLogOut) {
    ASSERT_NO_FATAL_FAILURE(startRegistered());
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::mainWindowShown(terminal_->pid()); }, 10s));
    e2e::keepScreenshot("class-idle.png");

    pushLogIn();
    ASSERT_TRUE(waitLogged("用户模式登录成功", 40s));
    EXPECT_EQ(e2e::countIn(log(), "游客模式"), 0) << "a user log-in needs no guest attempt";
    ASSERT_TRUE(waitLogged("当前状态 : status = 2", 5s));  // curtain up: the waiting picture
    EXPECT_TRUE(e2e::waitUntil([&] { return reported(3, "fixScreened"); }, 10s));
    EXPECT_TRUE(reported(1));
    EXPECT_FALSE(e2e::mainWindowShown(terminal_->pid()));
    std::this_thread::sleep_for(1s);
    e2e::keepScreenshot("class-waiting.png");

    ASSERT_TRUE(lowerCurtainUntilVideo());
    EXPECT_TRUE(e2e::waitUntil([&] { return reported(3, "fixed"); }, 10s));
    // The conference is heard only while the video shows.
    EXPECT_TRUE(e2e::waitUntil(
        [&] { return device()["lastReport"]["speakerIsOpen"].asString() == "1"; }, 10s))
        << device()["lastReport"];
    std::this_thread::sleep_for(1s);
    e2e::keepScreenshot("class-video.png");

    const int waitingBefore = e2e::countIn(log(), "当前状态 : status = 2");
    portal("curtain", object({{"roomKey", kRoom}, {"status", 0}}));
    EXPECT_TRUE(waitLogged("当前状态 : status = 2", 10s, waitingBefore + 1));

    push("vLogout");
    ASSERT_TRUE(waitLogged("OnAnalyzeLogoutSuccess", 20s));
    EXPECT_TRUE(waitLogged("当前状态 : status = 1", 5s));
    EXPECT_TRUE(e2e::waitUntil([&] { return e2e::mainWindowShown(terminal_->pid()); }, 10s));
    const auto events = statusEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().first, 1);
}

TEST_F(ClassFlow, EnterButtonAsksForThePlannedRoomAndJoins) {
    portal("planroom", object({{"roomKey", kRoom},
                               {"username", "classroom02"},
                               {"password", "secret"},
                               {"displayName", "二号教室"},
                               {"roomId", "R-1002"}}));
    ASSERT_NO_FATAL_FAILURE(startRegistered());
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::mainWindowShown(terminal_->pid()); }, 10s));
    auto [status, window] = e2e::run("xdotool search --onlyvisible --pid " +
                                     std::to_string(terminal_->pid()) + " --name '^芬维学生端$'");
    ASSERT_EQ(status, 0);
    window = window.substr(0, window.find('\n'));
    EXPECT_EQ(
        e2e::run("xdotool windowfocus --sync " + window + " key --clearmodifiers alt+e").first, 0);
    ASSERT_TRUE(waitLogged("first clicked enter plan room", 10s));
    ASSERT_TRUE(waitLogged("用户模式登录成功", 40s));
    EXPECT_TRUE(e2e::waitUntil([&] { return reported(3); }, 10s));
    // Idle, entering, in class, in this order.
    const auto events = statusEvents();
    std::vector<int> order;
    for (const auto& [appStatus, video] : events) {
        if (order.empty() || order.back() != appStatus) {
            order.push_back(appStatus);
        }
    }
    const std::vector<int> expected{1, 2, 3};
    EXPECT_TRUE(std::search(order.begin(), order.end(), expected.begin(), expected.end()) !=
                order.end());

    // Ended during the class, it shuts down as from the idle screen.
    terminal_->signal(SIGTERM);
    EXPECT_EQ(terminal_->waitExit(20s), 0);
    EXPECT_EQ(e2e::countIn(log(), "CFenwixDlg::~CFenwixDlg()"), 1);
}

TEST_F(ClassFlow, RefusedUserLogInFallsBackToAGuestThatJoins) {
    ASSERT_NO_FATAL_FAILURE(startRegistered());
    portal("faults", object({{"login", "refuse"}}));
    pushLogIn();
    ASSERT_TRUE(waitLogged("用户模式登录失败，游客模式开始登录", 40s));
    EXPECT_TRUE(waitLogged("用户模式登录成功", 40s));
    EXPECT_TRUE(e2e::waitUntil([&] { return reported(3); }, 10s));
}

TEST_F(ClassFlow, FailingGuestGivesUpAndTheTerminalStaysIdle) {
    ASSERT_NO_FATAL_FAILURE(startRegistered());
    portal("faults", object({{"login", "refuse"}, {"link", "fail"}}));
    pushLogIn();
    ASSERT_TRUE(waitLogged("用户模式登录失败，游客模式开始登录", 40s));
    ASSERT_TRUE(e2e::waitUntil(
        [&] {
            const std::string l = log();
            return e2e::countIn(l, "游客模式登录失败") + e2e::countIn(l, "游客模式入会失败") > 0;
        },
        40s));
    std::this_thread::sleep_for(500ms);
    e2e::keepScreenshot("class-guest-failed.png");  // the message bar reads the give-up text
    EXPECT_EQ(e2e::countIn(log(), "用户模式登录成功"), 0);
    EXPECT_TRUE(e2e::mainWindowShown(terminal_->pid()));
    EXPECT_FALSE(reported(3));
}

TEST_F(ClassFlow, ALogInThatNeverAnswersIsReplacedByAGuestAfterSixtyOneAndAHalfSeconds) {
    // The conference library would give up on the portal itself after ten seconds.
    setenv("VIDYO_CLIENT_PORTAL_TIMEOUT_MS", "120000", 1);
    ASSERT_NO_FATAL_FAILURE(startRegistered());
    portal("faults", object({{"login", "hang"}}));
    pushLogIn();
    ASSERT_TRUE(waitLogged("开始登录", 20s));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitLogged("用户模式登录超时", 75s));
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GE(took, 60s);
    EXPECT_LE(took, 63s);
    EXPECT_TRUE(waitLogged("用户模式登录超时，游客模式开始登录", 5s));
    // The library carries out one portal call at a time: released, the held log-in makes way
    // for the guest's room link.
    portal("faults", object({{"login", Json::Value()}}));
    EXPECT_TRUE(waitLogged("用户模式登录成功", 30s));
}

TEST_F(ClassFlow, TwoFailedScreenFixesLeaveTheClass) {
    ASSERT_NO_FATAL_FAILURE(startRegistered());
    portal("faults", object({{"pin", "fail"}}));
    pushLogIn();
    ASSERT_TRUE(waitLogged("用户模式登录成功", 40s));
    portal("curtain", object({{"roomKey", kRoom}, {"status", 1}}));
    ASSERT_TRUE(waitLogged("固屏失败，重新固屏", 15s));
    ASSERT_TRUE(waitLogged("2次固屏失败 退出登录", 15s));
    EXPECT_TRUE(waitLogged("OnAnalyzeLogoutSuccess", 20s));
    EXPECT_TRUE(e2e::waitUntil([&] { return e2e::mainWindowShown(terminal_->pid()); }, 10s));
}

TEST_F(ClassFlow, BackendGoingAwayInClassShowsTheOfflineNoticeAndTheClassGoesOn) {
    ASSERT_NO_FATAL_FAILURE(startRegistered());
    pushLogIn();
    ASSERT_TRUE(waitLogged("用户模式登录成功", 40s));
    ASSERT_TRUE(waitLogged("网络已连接", 10s));
    sim_->down(15000);
    ASSERT_TRUE(waitLogged("网络已断开，视频界面", 20s));
    EXPECT_EQ(e2e::countIn(log(), "m_pOfflineDlg is NULL"), 0);
    std::this_thread::sleep_for(500ms);
    e2e::keepScreenshot("class-offline.png");
    // Gone again after its three seconds; the class was never left.
    EXPECT_TRUE(waitLogged("网络已连接", 30s, 2));
    EXPECT_EQ(e2e::countIn(log(), "OnAnalyzeLogoutSuccess"), 0);
    EXPECT_TRUE(terminal_->running());
}

}  // namespace

namespace {

// The visible windows of a process, as X window ids.
std::vector<std::string> visibleWindows(pid_t pid) {
    std::vector<std::string> out;
    std::istringstream ids(
        e2e::run("xdotool search --onlyvisible --pid " + std::to_string(pid) + " --name ''")
            .second);
    for (std::string id; std::getline(ids, id);) {
        if (!id.empty()) {
            out.push_back(id);
        }
    }
    return out;
}

int windowWidth(const std::string& window) {
    std::istringstream shell(e2e::run("xdotool getwindowgeometry --shell " + window).second);
    for (std::string line; std::getline(shell, line);) {
        if (line.rfind("WIDTH=", 0) == 0) {
            return std::atoi(line.c_str() + 6);
        }
    }
    return 0;
}

bool settingsShown(pid_t pid) {
    return e2e::run("xdotool search --onlyvisible --pid " + std::to_string(pid) +
                    " --name '^设置$' >/dev/null 2>&1")
               .first == 0;
}

TEST_F(ClassFlow, AltSInTheScreenWindowOpensTheSettingsWindow) {
    ASSERT_NO_FATAL_FAILURE(startRegistered());
    pushLogIn();
    ASSERT_TRUE(waitLogged("用户模式登录成功", 40s));
    ASSERT_TRUE(waitLogged("当前状态 : status = 2", 5s));  // the screen window is up
    std::string screen;
    ASSERT_TRUE(e2e::waitUntil(
        [&] {
            for (const std::string& w : visibleWindows(terminal_->pid())) {
                if (windowWidth(w) >= 1900) {  // the screen window fills the display
                    screen = w;
                }
            }
            return !screen.empty();
        },
        10s));
    EXPECT_EQ(
        e2e::run("xdotool windowfocus --sync " + screen + " key --clearmodifiers alt+s").first, 0);
    ASSERT_TRUE(e2e::waitUntil([&] { return settingsShown(terminal_->pid()); }, 10s))
        << "no settings window";
    std::this_thread::sleep_for(1s);  // a few statistics refreshes
    e2e::keepScreenshot("class-settings.png");
    EXPECT_EQ(e2e::countIn(log(), "has no handler in this build"), 0);
    ASSERT_TRUE(terminal_->running());

    // Ended while the window is open, it shuts down as usual.
    terminal_->signal(SIGTERM);
    EXPECT_EQ(terminal_->waitExit(20s), 0);
    EXPECT_EQ(e2e::countIn(log(), "CFenwixDlg::~CFenwixDlg()"), 1);
}

// The session ends during a class: the terminal is asked to end and its display server ends
// with it. The terminal ends, neither crashing (a crash counts towards the safe mode) nor
// hanging (a copy that never ends turns every new start away).
TEST_F(ClassFlow, TheSessionEndingInClassEndsTheTerminalWithoutACrash) {
    fenwixtest::PrivateDisplay display;
    ASSERT_FALSE(display.name().empty()) << "no private X server";
    bool inClass = false;
    {
        const fenwixtest::ScopedEnv privateDisplay("DISPLAY", display.name().c_str());
        ASSERT_NO_FATAL_FAILURE(startRegistered());
        pushLogIn();
        inClass = waitLogged("用户模式登录成功", 40s) && lowerCurtainUntilVideo();
    }
    ASSERT_TRUE(inClass);

    terminal_->signal(SIGTERM);
    ASSERT_TRUE(waitLogged("termination requested by the system", 10s));
    display.end();
    const std::optional<int> code = terminal_->waitExit(60s);
    ASSERT_FALSE(terminal_->running()) << "the terminal did not end without its display";
    EXPECT_TRUE(code.has_value()) << "ended by a signal: a crash";
}

}  // namespace
