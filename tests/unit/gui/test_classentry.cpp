// Entering a class: the local start, the user-mode attempt, the one fallback to a guest attempt
// on failure or time-out, joining, leaving and the device mute states, against fake peers.
#include <gtest/gtest.h>

#include <QTest>
#include <ostream>
#include <string>
#include <vector>

#include "support_classflow.h"

namespace {

const std::string kEntering = "正在进入教室，请耐心等待";
const std::string kRetrying = "现在网络较差，已重新进入，请耐心等待";
const std::string kTimedOutRetrying = "现在网络较差，进入失败，正在重新进入";
const std::string kGaveUp = "网络较差，入会失败，请重新进入或咨询客服小二";

using ClassEntry = ClassFlowTest;

TEST_F(ClassEntry, EnterButtonAsksForThePlannedRoomOnceUntilTheBackendAnswers) {
    config()->setCheckAudioOut(true);
    dlg_->channel().send(WM_CTRL_CLICKED, ID_ENTER_CLASS, 0);
    EXPECT_TRUE(dlg_->isEntering());
    EXPECT_EQ(config()->getAppStatus(), 2);
    EXPECT_EQ(peers_.calls,
              (std::vector<std::string>{"clearChatSenderUri", "applyDriverNames", "showMessage",
                                        "reportAppStatus", "requestPlanRoom"}));
    EXPECT_EQ(peers_.messages, (std::vector<ShownMessage>{{kEntering, false}}));
    EXPECT_EQ(sleeps_, std::vector<int>{100});

    peers_.calls.clear();
    dlg_->channel().send(WM_CTRL_CLICKED, ID_ENTER_CLASS, 0);
    EXPECT_TRUE(peers_.calls.empty());
    EXPECT_EQ(log_.count("clicked enter plan room again"), 1u);
    EXPECT_EQ(log_.count("first clicked enter plan room"), 1u);

    // The backend's answer (reply or failure) lets the next click through; with no log-in
    // following, the terminal stays "entering".
    notice(NOTICE_ENTER_ROOM_DONE);
    EXPECT_FALSE(dlg_->isEntering());
    EXPECT_TRUE(log_.contains("clicked enter plan room finish"));
    EXPECT_EQ(config()->getAppStatus(), 2);
    dlg_->channel().send(WM_CTRL_CLICKED, ID_ENTER_CLASS, 0);
    EXPECT_EQ(peers_.count("requestPlanRoom"), 1);
    EXPECT_EQ(log_.count("first clicked enter plan room"), 2u);
}

TEST_F(ClassEntry, AltEStartsTheSameEntryWithoutDriverNamesWhenNotConfigured) {
    config()->setCheckAudioOut(false);
    QTest::keyClick(dlg_.get(), Qt::Key_E, Qt::AltModifier);
    EXPECT_TRUE(dlg_->isEntering());
    EXPECT_EQ(peers_.count("requestPlanRoom"), 1);
    EXPECT_EQ(peers_.count("applyDriverNames"), 0);
}

TEST_F(ClassEntry, PushedLogInShowsTheEnteringTextUntilSomethingHidesIt) {
    notice(NOTICE_LOGIN_BEGINS);
    notice(NOTICE_ENTERING_CLASS);
    EXPECT_EQ(dlg_->loginPhase(), 1);
    EXPECT_TRUE(peers_.countdownRunning);
    EXPECT_FALSE(config()->getLoginIdle());
    EXPECT_EQ(peers_.messages, (std::vector<ShownMessage>{{kEntering, false}}));
    EXPECT_TRUE(log_.contains("收到登录消息，开始用户模式登录"));
}

// One log-in from its start (notice 4) through a sequence of outcomes.
struct LoginCase {
    const char* name;
    std::vector<unsigned> events;  // WM_CONF_* numbers, or the notice codes 4 and 20
    int phase;                     // afterwards
    bool loginIdle;
    int guestForced;
    bool countdownRunning;
    int guestRequests;
    std::vector<ShownMessage> messages;
    std::vector<int> sleeps;
    std::vector<std::string> logs;  // in this order
};

void PrintTo(const LoginCase& c, std::ostream* os) {
    *os << c.name;
}

class LoginOutcomes : public ClassFlowTest, public ::testing::WithParamInterface<LoginCase> {};

constexpr unsigned kBegin = NOTICE_LOGIN_BEGINS;
constexpr unsigned kTimeout = NOTICE_ENTER_TIMEOUT;
constexpr unsigned kJoined = WM_CONF_JOINED;
constexpr unsigned kLoginFailed = WM_CONF_LOGIN_FAILED;
constexpr unsigned kJoinFailed = WM_CONF_JOIN_FAILED;

TEST_P(LoginOutcomes, FallBackToAGuestOnceThenGiveUp) {
    const auto& c = GetParam();
    for (unsigned e : c.events) {
        if (e == kBegin || e == kTimeout) {
            notice(e);
        } else {
            event(e);
        }
    }
    EXPECT_EQ(dlg_->loginPhase(), c.phase);
    EXPECT_EQ(config()->getLoginIdle(), c.loginIdle);
    EXPECT_EQ(config()->getGuestForced(), c.guestForced);
    EXPECT_EQ(peers_.countdownRunning, c.countdownRunning);
    EXPECT_EQ(peers_.count("requestGuestLogin"), c.guestRequests);
    EXPECT_EQ(peers_.messages, c.messages);
    EXPECT_EQ(sleeps_, c.sleeps);
    EXPECT_TRUE(loggedInOrder(c.logs));
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, LoginOutcomes,
    ::testing::Values(
        LoginCase{"user joins",
                  {kBegin, kJoined},
                  0,
                  true,
                  0,
                  false,
                  0,
                  {},
                  {},
                  {"收到登录消息，开始用户模式登录", "用户模式登录成功"}},
        LoginCase{"user log-in fails, guest joins after settling",
                  {kBegin, kLoginFailed, kJoined},
                  0,
                  true,
                  1,
                  false,
                  1,
                  {{kRetrying, true}},
                  {2000},
                  {"用户模式登录失败", "用户模式登录失败，游客模式开始登录", "用户模式登录成功"}},
        LoginCase{"user join fails, guest starts two seconds later",
                  {kBegin, kJoinFailed},
                  2,
                  false,
                  1,
                  true,
                  1,
                  {{kRetrying, true}},
                  {2000},
                  {"用户模式登录成功，入会失败", "用户模式入会失败，游客模式开始登录"}},
        LoginCase{"user times out, guest joins",
                  {kBegin, kTimeout, kJoined},
                  0,
                  true,
                  1,
                  false,
                  1,
                  {{kTimedOutRetrying, true}},
                  {2000},
                  {"用户模式登录超时", "用户模式登录超时，游客模式开始登录", "用户模式登录成功"}},
        LoginCase{"guest log-in fails too",
                  {kBegin, kLoginFailed, kLoginFailed},
                  2,
                  true,
                  0,
                  false,
                  1,
                  {{kRetrying, true}, {kGaveUp, true}},
                  {},
                  {"用户模式登录失败", "游客模式登录失败"}},
        LoginCase{"guest join fails too",
                  {kBegin, kJoinFailed, kJoinFailed},
                  2,
                  true,
                  0,
                  false,
                  1,
                  {{kRetrying, true}, {kGaveUp, true}},
                  {2000},
                  {"用户模式登录成功，入会失败", "游客模式入会失败"}},
        LoginCase{"guest times out too",
                  {kBegin, kTimeout, kTimeout},
                  0,
                  true,
                  0,
                  false,
                  1,
                  {{kTimedOutRetrying, true}, {kGaveUp, true}},
                  {},
                  {"用户模式登录超时", "游客模式登录超时"}},
        LoginCase{"guest after a failure times out",
                  {kBegin, kLoginFailed, kTimeout},
                  0,
                  true,
                  0,
                  false,
                  1,
                  {{kRetrying, true}, {kGaveUp, true}},
                  {},
                  {"用户模式登录失败，游客模式开始登录", "游客模式登录超时"}},
        LoginCase{"a stray time-out after the guest gave up ends the phase",
                  {kBegin, kLoginFailed, kLoginFailed, kTimeout},
                  0,
                  true,
                  0,
                  false,
                  1,
                  {{kRetrying, true}, {kGaveUp, true}, {kGaveUp, true}},
                  {},
                  {"游客模式登录失败", "游客模式登录超时"}},
        LoginCase{"time-out with nothing running", {kTimeout}, 0, true, 0, false, 0, {}, {}, {}},
        LoginCase{"the next log-in falls back to a guest again",
                  {kBegin, kLoginFailed, kLoginFailed, kBegin, kLoginFailed},
                  2,
                  false,
                  1,
                  true,
                  2,
                  {{kRetrying, true}, {kGaveUp, true}, {kRetrying, true}},
                  {},
                  {"游客模式登录失败", "收到登录消息，开始用户模式登录", "用户模式登录失败"}}));

TEST_F(ClassEntry, JoiningSetsUpTheClassInOrder) {
    peers_.routerName = std::string(600, 'r');  // the library hands over at most 511 bytes
    config()->setIsPull(false);
    config()->setScreenFixed(false);
    notice(NOTICE_LOGIN_BEGINS);
    peers_.calls.clear();
    event(WM_CONF_JOINED);
    EXPECT_EQ(config()->getAppStatus(), 3);
    EXPECT_EQ(config()->getRoute(), std::string(511, 'r'));
    EXPECT_TRUE(dlg_->isTimerActive(TIMER_START_FIX));
    EXPECT_TRUE(config()->getLoginIdle());
    // The curtain is down: the waiting picture, and the conference is not heard.
    EXPECT_TRUE(peers_.shown(ClassFlowPeers::Window::Screen));
    EXPECT_TRUE(peers_.speakerMuted);
    const std::vector<std::string> expected{
        "setLayout 1",    "reportAppStatus", "startToolBarClock", "hideMessage",
        "muteSpeaker on", "reportAppStatus", "restoreMicVolume",  "stopCountdown"};
    EXPECT_EQ(peers_.calls, expected);
}

struct PushJoinCase {
    const char* name;
    bool pullDeviceOk;
    std::vector<std::string> tail;  // calls after restoreMicVolume
    const char* log;
};

void PrintTo(const PushJoinCase& c, std::ostream* os) {
    *os << c.name;
}

class PushingTerminalJoins : public ClassFlowTest,
                             public ::testing::WithParamInterface<PushJoinCase> {};

TEST_P(PushingTerminalJoins, HandsTheDevicesToTheLivePushAndStartsItsPreview) {
    const auto& c = GetParam();
    config()->setIsPull(true);
    config()->setPushStarted(true);  // left over from an earlier class
    config()->setPreviewStarted(true);
    notice(NOTICE_CAMERA_OPENED);
    notice(NOTICE_MIC_FAILED);
    peers_.pullDeviceOk = c.pullDeviceOk;
    peers_.calls.clear();
    event(WM_CONF_JOINED);
    EXPECT_EQ(dlg_->cameraState(), 0);
    EXPECT_EQ(dlg_->micState(), 0);
    EXPECT_FALSE(config()->getPushStarted());
    EXPECT_EQ(config()->getPreviewStarted(), c.pullDeviceOk);
    auto it = std::find(peers_.calls.begin(), peers_.calls.end(), "restoreMicVolume");
    ASSERT_NE(it, peers_.calls.end());
    EXPECT_EQ(std::vector<std::string>(it + 1, peers_.calls.end()), c.tail);
    EXPECT_TRUE(log_.contains(c.log));
}

INSTANTIATE_TEST_SUITE_P(Devices, PushingTerminalJoins,
                         ::testing::Values(PushJoinCase{"handed over",
                                                        true,
                                                        {"setPullDeviceByVidyo", "startLivePreview",
                                                         "stopCountdown"},
                                                        "检测直播云驱动"},
                                           PushJoinCase{"hand-over failed",
                                                        false,
                                                        {"setPullDeviceByVidyo", "stopCountdown"},
                                                        "setPullDeviceByVidyo failed"}));

struct LogoutCase {
    const char* name;
    bool pushes;
    bool pushStarted;
    std::vector<std::string> tail;  // calls after clearing the chat sender
};

void PrintTo(const LogoutCase& c, std::ostream* os) {
    *os << c.name;
}

class LoggedOut : public ClassFlowTest, public ::testing::WithParamInterface<LogoutCase> {};

TEST_P(LoggedOut, ReturnsToTheIdleScreenAndStopsTheLivePush) {
    const auto& c = GetParam();
    dlg_->ShowTerminalStatus(2);  // in class, waiting picture
    ASSERT_FALSE(dlg_->isVisible());
    config()->setIsPull(c.pushes);
    config()->setPushStarted(c.pushStarted);
    config()->setScreenFixed(true);
    config()->setGuestForced(1);
    config()->setIsGuest(true);
    config()->setPushedLogin(false);
    peers_.calls.clear();
    event(WM_CONF_LOGGED_OUT);
    EXPECT_EQ(config()->getAppStatus(), 1);
    EXPECT_FALSE(config()->getScreenFixed());
    EXPECT_EQ(config()->getGuestForced(), 0);
    EXPECT_FALSE(config()->getIsGuest());
    EXPECT_TRUE(config()->getPushedLogin());
    EXPECT_TRUE(dlg_->isVisible());
    for (auto w : {ClassFlowPeers::Window::Screen, ClassFlowPeers::Window::Video,
                   ClassFlowPeers::Window::Preview, ClassFlowPeers::Window::ToolBar}) {
        EXPECT_FALSE(peers_.shown(w));
    }
    auto it = std::find(peers_.calls.begin(), peers_.calls.end(), "setScreenFixNeeded");
    ASSERT_NE(it, peers_.calls.end());
    std::vector<std::string> expected{"setScreenFixNeeded", "reportAppStatus",
                                      "clearChatSenderUri"};
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(std::vector<std::string>(it, peers_.calls.end()), expected);
    EXPECT_TRUE(log_.contains("OnAnalyzeLogoutSuccess"));
}

INSTANTIATE_TEST_SUITE_P(
    LivePush, LoggedOut,
    ::testing::Values(LogoutCase{"not pushing", false, true, {}},
                      LogoutCase{"preview only", true, false, {"stopPreview"}},
                      LogoutCase{"pushing", true, true, {"stopPreview", "stopPush"}}));

TEST_F(ClassEntry, LoggedOutWithMoreQueuedStopsOnlyARunningPush) {
    config()->setIsPull(false);
    event(WM_CONF_LOGGED_OUT_QUEUED);
    EXPECT_EQ(peers_.count("stopPush"), 0);
    config()->setIsPull(true);
    event(WM_CONF_LOGGED_OUT_QUEUED);
    EXPECT_EQ(peers_.count("stopPush"), 1);
    EXPECT_EQ(log_.count("OnAnalyzeLogoutSuccessBack"), 2u);
}

TEST_F(ClassEntry, QuitLeavesTheConference) {
    config()->setScreenFixed(true);
    dlg_->channel().send(WM_CTRL_CLICKED, ID_TOOL_QUIT, 0);
    EXPECT_EQ(peers_.calls, (std::vector<std::string>{"exitConference", "reportAppStatus"}));
    EXPECT_FALSE(config()->getScreenFixed());
}

struct MuteCase {
    const char* name;
    std::string record;
    bool microphoneAnswer;  // the session's view of the microphone
    int device;             // -1: nothing changes
    bool muted;
    std::string report;
};

void PrintTo(const MuteCase& c, std::ostream* os) {
    *os << c.name;
}

class DeviceMute : public ClassFlowTest, public ::testing::WithParamInterface<MuteCase> {};

TEST_P(DeviceMute, ShowsAndReportsTheState) {
    const auto& c = GetParam();
    config()->setPushedLogin(false);
    peers_.microphoneMutedAnswer = c.microphoneAnswer;
    event(WM_CONF_DEVICE_MUTE, c.record);
    if (c.device < 0) {
        EXPECT_TRUE(peers_.calls.empty());
        EXPECT_TRUE(peers_.deviceButtons.empty());
        return;
    }
    EXPECT_EQ(peers_.deviceButtons, (std::map<int, bool>{{c.device, c.muted}}));
    const bool configured[] = {config()->getCameraMuted(), config()->getMicMuted(),
                               config()->getSpeakerMuted()};
    EXPECT_EQ(configured[c.device], c.muted);
    EXPECT_EQ(peers_.dynamicReports, std::vector<std::string>{c.report});
}

INSTANTIATE_TEST_SUITE_P(
    Records, DeviceMute,
    ::testing::Values(MuteCase{"camera muted", R"({"device":0,"mute":true,"from":0,"error":0})",
                               false, 0, true, "[{\"from\":0,\"status\":false,\"type\":0}]\n"},
                      MuteCase{"speaker unmuted by the server",
                               R"({"device":2,"mute":false,"from":1,"error":0})", true, 2, false,
                               "[{\"from\":1,\"status\":true,\"type\":2}]\n"},
                      MuteCase{"microphone: the session's view wins over the record",
                               R"({"device":1,"mute":false,"from":0,"error":0})", true, 1, true,
                               "[{\"from\":0,\"status\":false,\"type\":1}]\n"},
                      MuteCase{"microphone unmuted although the record says muted",
                               R"({"device":1,"mute":true,"from":0,"error":0})", false, 1, false,
                               "[{\"from\":0,\"status\":true,\"type\":1}]\n"},
                      MuteCase{"unknown device", R"({"device":5,"mute":true,"from":0,"error":0})",
                               false, -1, false, ""},
                      MuteCase{"not JSON", "{device:", false, -1, false, ""},
                      MuteCase{"not an object", "[0,true,0,0]", false, -1, false, ""}));

TEST_F(ClassEntry, TheServersFirstMicrophoneMuteSwitchesTheLocalMuteOffOnce) {
    const std::string serverMute = R"({"device":1,"mute":true,"from":1,"error":0})";
    config()->setPushedLogin(true);
    config()->setChangeMuteMicFromServer(true);
    peers_.microphoneMutedAnswer = true;
    event(WM_CONF_DEVICE_MUTE, serverMute);
    EXPECT_EQ(peers_.count("muteMicrophone off"), 1);
    EXPECT_FALSE(config()->getPushedLogin());
    EXPECT_FALSE(config()->getChangeMuteMicFromServer());
    EXPECT_TRUE(log_.contains("第一次由服务器关闭麦克风，本地麦克风开关开启"));
    EXPECT_TRUE(log_.contains("麦克风 实际状态: 1"));
    // The local switch is changed after the state was reported.
    EXPECT_EQ(peers_.calls.back(), "muteMicrophone off");

    event(WM_CONF_DEVICE_MUTE, serverMute);
    EXPECT_EQ(peers_.count("muteMicrophone off"), 1);

    // A local mute, or one while no pushed log-in or idle screen came first, leaves it alone.
    config()->setPushedLogin(true);
    event(WM_CONF_DEVICE_MUTE, R"({"device":1,"mute":true,"from":0,"error":0})");
    EXPECT_EQ(peers_.count("muteMicrophone off"), 1);
}

}  // namespace
