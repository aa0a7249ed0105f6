// What the terminal shows: the terminal status with the speaker rule, the curtain notice, the
// network state display and when the live push starts, against fake peers.
#include <gtest/gtest.h>

#include <QTimer>
#include <ostream>
#include <string>
#include <vector>

#include "support_classflow.h"
#include "ui/mystaticctrl.h"

namespace {

using Window = ClassFlowPeers::Window;
using StatusDisplay = ClassFlowTest;

const std::string kWait = "./images/main/wait.png";
const std::string kOffline = "./images/main/offline.png";

struct StatusCase {
    const char* name;
    bool netConnected;  // shown before
    bool fixSucceeded;  // last screen-fixing result
    int status;
    int appStatus;  // afterwards
    bool screenFixed;
    bool mainShown;
    std::vector<Window> shown;  // of screen, video, preview, tool bar
    std::string screenImage;
    bool speakerMuted;
    const char* log;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << c.name;
}

class TerminalStatus : public ClassFlowTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(TerminalStatus, ShowsOneScreenAndIsHeardOnlyWithTheVideo) {
    const auto& c = GetParam();
    notice(NOTICE_NETWORK_STATE, c.netConnected ? 1 : 0);
    event(WM_CONF_FIX_RESULT, c.fixSucceeded ? R"({"success":true,"mode":1})" : "no json");
    // Everything shown, the speaker on and values that each status must set.
    for (Window w : {Window::Screen, Window::Video, Window::Preview, Window::ToolBar}) {
        peers_.setWindowVisible(w, true);
    }
    peers_.speakerMuted = false;
    config()->setAppStatus(2);
    // The opposite of what the status must leave, except where it must leave the value alone.
    const bool keeps = c.status == 3 && !c.fixSucceeded;
    config()->setScreenFixed(keeps ? c.screenFixed : !c.screenFixed);
    config()->setGuestForced(1);
    config()->setIsGuest(true);
    config()->setPushedLogin(false);
    peers_.calls.clear();
    log_.clear();

    dlg_->ShowTerminalStatus(c.status);

    EXPECT_EQ(peers_.calls.front(), "hideMessage");
    EXPECT_EQ(peers_.calls.back(), "reportAppStatus");
    EXPECT_EQ(config()->getAppStatus(), c.appStatus);
    EXPECT_EQ(config()->getScreenFixed(), c.screenFixed);
    EXPECT_EQ(dlg_->isVisible(), c.mainShown);
    for (Window w : {Window::Screen, Window::Video, Window::Preview, Window::ToolBar}) {
        const bool expected = std::find(c.shown.begin(), c.shown.end(), w) != c.shown.end();
        EXPECT_EQ(peers_.shown(w), expected) << "window " << static_cast<int>(w);
    }
    EXPECT_EQ(peers_.screenImage, c.screenImage);
    EXPECT_EQ(peers_.speakerMuted, c.speakerMuted);
    EXPECT_TRUE(log_.contains("当前状态 : status = " + std::to_string(c.status)));
    if (c.log != nullptr) {
        EXPECT_TRUE(log_.contains(c.log));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, TerminalStatus,
    ::testing::Values(StatusCase{"start-up", true, true, 0, 0, false, false, {}, "", true, nullptr},
                      StatusCase{"idle", true, true, 1, 1, false, true, {}, "", true, nullptr},
                      StatusCase{"waiting online",
                                 true,
                                 true,
                                 2,
                                 3,
                                 false,
                                 false,
                                 {Window::Screen, Window::ToolBar},
                                 kWait,
                                 true,
                                 nullptr},
                      StatusCase{"waiting offline",
                                 false,
                                 true,
                                 2,
                                 3,
                                 false,
                                 false,
                                 {Window::Screen, Window::ToolBar},
                                 kOffline,
                                 true,
                                 nullptr},
                      StatusCase{"video",
                                 true,
                                 true,
                                 3,
                                 3,
                                 true,
                                 false,
                                 {Window::Video, Window::Preview, Window::ToolBar},
                                 "",
                                 false,
                                 "固屏成功，等待下次固屏"},
                      // The display stays as it was; only the speaker is muted.
                      StatusCase{"video after a failed fixing",
                                 true,
                                 false,
                                 3,
                                 2,
                                 true,
                                 true,
                                 {Window::Screen, Window::Video, Window::Preview, Window::ToolBar},
                                 "",
                                 true,
                                 "固屏失败，等待下次固屏"}));

TEST_F(StatusDisplay, IdleScreenResetsTheGuestStateAndKeepsTheMicrophoneVolume) {
    config()->setGuestForced(1);
    config()->setIsGuest(true);
    config()->setPushedLogin(false);
    peers_.micVolumeAnswer = 51234;
    dlg_->ShowTerminalStatus(1);
    EXPECT_EQ(config()->getGuestForced(), 0);
    EXPECT_FALSE(config()->getIsGuest());
    EXPECT_TRUE(config()->getPushedLogin());
    EXPECT_EQ(config()->getMicVolume(), 51234);
    EXPECT_EQ(config()->getPrevMicVolume(), 51234);
}

TEST_F(StatusDisplay, TheClassScreensDoNotEndTheMainWindowsModalRun) {
    bool stillRunning = false;
    QTimer::singleShot(0, dlg_.get(), [&] {
        dlg_->ShowTerminalStatus(2);
        QTimer::singleShot(100, dlg_.get(), [&] {
            stillRunning = true;
            dlg_->ShowTerminalStatus(1);
            dlg_->EndDialog(RESULT_OK);
        });
    });
    EXPECT_EQ(dlg_->exec(), RESULT_OK);
    EXPECT_TRUE(stillRunning);
}

TEST_F(StatusDisplay, TheTerminalCanBeClosedWhileAClassScreenShows) {
    bool rescued = false;
    QTimer::singleShot(0, dlg_.get(), [&] {
        dlg_->ShowTerminalStatus(2);
        QTimer::singleShot(50, dlg_.get(), [&] { dlg_->EndDialog(RESULT_CANCEL); });
    });
    // Should the close be lost, the test still ends, and says so.
    QTimer::singleShot(3000, dlg_.get(), [&] {
        rescued = true;
        dlg_->ShowTerminalStatus(1);
        dlg_->EndDialog(RESULT_OK);
    });
    EXPECT_EQ(dlg_->exec(), RESULT_CANCEL);
    EXPECT_FALSE(rescued);
}

struct CurtainCase {
    const char* name;
    int appStatus;
    std::intptr_t fixed;
    int shownStatus;  // -1: none
};

void PrintTo(const CurtainCase& c, std::ostream* os) {
    *os << c.name;
}

class Curtain : public ClassFlowTest, public ::testing::WithParamInterface<CurtainCase> {};

TEST_P(Curtain, ChangesTheScreenOnlyInClass) {
    const auto& c = GetParam();
    event(WM_CONF_FIX_RESULT, R"({"success":true,"mode":1})");
    config()->setAppStatus(c.appStatus);
    log_.clear();
    notice(NOTICE_CURTAIN, c.fixed);
    if (c.shownStatus < 0) {
        EXPECT_TRUE(peers_.calls.empty());
        EXPECT_FALSE(log_.contains("当前状态"));
    } else {
        EXPECT_TRUE(log_.contains("当前状态 : status = " + std::to_string(c.shownStatus)));
    }
}

INSTANTIATE_TEST_SUITE_P(Notices, Curtain,
                         ::testing::Values(CurtainCase{"down in class", 3, 1, 3},
                                           CurtainCase{"up in class", 3, 0, 2},
                                           CurtainCase{"idle", 1, 1, -1},
                                           CurtainCase{"entering", 2, 0, -1}));

TEST_F(StatusDisplay, LossOfTheFixedSourceShowsTheWaitingPicture) {
    event(WM_CONF_FIX_RESULT, R"({"success":true,"mode":1})");
    config()->setAppStatus(3);
    notice(NOTICE_CURTAIN, 1);
    ASSERT_TRUE(peers_.shown(Window::Video));
    peers_.calls.clear();
    event(WM_CONF_FIXED_SOURCE_LOST);
    EXPECT_TRUE(peers_.shown(Window::Screen));
    EXPECT_FALSE(peers_.shown(Window::Video));
    EXPECT_TRUE(peers_.speakerMuted);
    EXPECT_EQ(config()->getAppStatus(), 3);
    EXPECT_FALSE(config()->getScreenFixed());
    EXPECT_EQ(peers_.count("reportAppStatus"), 2);
}

// A sequence of heartbeat results from start-up, and what it shows.
struct NetworkCase {
    const char* name;
    int appStatus;
    std::vector<int> reports;  // 1 reachable
    bool connected;            // shown afterwards
    const char* icon;          // net_normal / net_error / "" when untouched
    int registrations;
    int lossesShown;  // "网络已断开" lines
    std::vector<ShownMessage> messages;
    bool offlineShown;
};

void PrintTo(const NetworkCase& c, std::ostream* os) {
    *os << c.name;
}

class NetworkDisplay : public ClassFlowTest, public ::testing::WithParamInterface<NetworkCase> {};

TEST_P(NetworkDisplay, ShowsChangesAtTheRightReport) {
    const auto& c = GetParam();
    config()->setAppStatus(c.appStatus);
    CMyStaticCtrl* netIcon = nullptr;
    for (auto* picture : dlg_->findChildren<CMyStaticCtrl*>()) {
        if (picture->image().contains(QStringLiteral("net_error"))) {
            netIcon = picture;  // the start-up picture
        }
    }
    ASSERT_NE(netIcon, nullptr);
    netIcon->SetImage(QString());
    for (int r : c.reports) {
        notice(NOTICE_NETWORK_STATE, r);
    }
    EXPECT_EQ(dlg_->netConnected(), c.connected);
    EXPECT_EQ(netIcon->image().toStdString(), std::string(c.icon));
    EXPECT_EQ(peers_.count("registerDevice"), c.registrations);
    EXPECT_EQ(log_.count("网络已断开"), static_cast<std::size_t>(c.lossesShown));
    EXPECT_EQ(peers_.messages, c.messages);
    EXPECT_EQ(peers_.offlineVisible, c.offlineShown);
    EXPECT_EQ(dlg_->isTimerActive(TIMER_HIDE_OFFLINE), c.offlineShown);
}

const char* const kNormal = "./images/main/net_normal.png";
const char* const kError = "./images/main/net_error.png";
const ShownMessage kNetTip{"网络连接失败，请检查网络是否连接", true};

INSTANTIATE_TEST_SUITE_P(
    Reports, NetworkDisplay,
    ::testing::Values(
        NetworkCase{"first reachable report registers", 1, {1}, true, kNormal, 1, 0, {}, false},
        NetworkCase{
            "reachable again changes nothing", 1, {1, 1, 1}, true, kNormal, 1, 0, {}, false},
        NetworkCase{"two losses at start-up show nothing", 1, {0, 0}, false, "", 0, 0, {}, false},
        NetworkCase{
            "third loss at start-up is shown", 1, {0, 0, 0}, false, kError, 0, 2, {kNetTip}, false},
        NetworkCase{"a reachable report between losses does not reset the count",
                    1,
                    {1, 0, 0, 1, 0},
                    false,
                    kError,
                    1,
                    2,
                    {kNetTip},
                    false},
        NetworkCase{
            "return is shown at once", 1, {1, 0, 0, 0, 1}, true, kNormal, 2, 2, {kNetTip}, false},
        NetworkCase{"losses after the loss was shown change nothing",
                    1,
                    {0, 0, 0, 0, 0},
                    false,
                    kError,
                    0,
                    2,
                    {kNetTip},
                    false},
        NetworkCase{
            "in class the offline notice shows", 3, {1, 0, 0, 0}, false, kError, 1, 2, {}, true},
        NetworkCase{"while entering only the icon changes",
                    2,
                    {1, 0, 0, 0},
                    false,
                    kError,
                    1,
                    1,
                    {},
                    false}));

TEST_F(StatusDisplay, OfflineNoticeHidesAfterItsTimerOrWhenTheNetworkReturns) {
    config()->setAppStatus(3);
    for (int r : {1, 0, 0, 0}) {
        notice(NOTICE_NETWORK_STATE, r);
    }
    ASSERT_TRUE(peers_.offlineVisible);
    EXPECT_TRUE(log_.contains("网络已断开，视频界面"));
    dlg_->OnTimer(TIMER_HIDE_OFFLINE);
    EXPECT_FALSE(peers_.offlineVisible);
    EXPECT_FALSE(dlg_->isTimerActive(TIMER_HIDE_OFFLINE));

    for (int r : {0, 0, 0}) {
        notice(NOTICE_NETWORK_STATE, r);  // already shown as lost: not shown again
    }
    peers_.offlineVisible = true;
    notice(NOTICE_NETWORK_STATE, 1);
    EXPECT_FALSE(peers_.offlineVisible);
}

TEST_F(StatusDisplay, LossInClassWithoutAnOfflineNoticeIsLogged) {
    peers_.offlineNoticeExists = false;
    config()->setAppStatus(3);
    for (int r : {1, 0, 0, 0}) {
        notice(NOTICE_NETWORK_STATE, r);
    }
    EXPECT_TRUE(log_.contains("网络已断开，视频界面 m_pOfflineDlg is NULL"));
    EXPECT_FALSE(dlg_->isTimerActive(TIMER_HIDE_OFFLINE));
}

TEST_F(StatusDisplay, RegisteredTerminalDoesNotRegisterAgainWhenTheNetworkReturns) {
    notice(NOTICE_REGISTERED, 1);
    notice(NOTICE_NETWORK_STATE, 1);
    EXPECT_EQ(peers_.count("registerDevice"), 0);
    EXPECT_TRUE(log_.contains("网络已连接"));
}

struct CameraCase {
    const char* name;
    int appStatus;
    std::vector<unsigned> notices;
    bool pushStartedBefore;
    int pushes;
    const char* log;
};

void PrintTo(const CameraCase& c, std::ostream* os) {
    *os << c.name;
}

class CameraState : public ClassFlowTest, public ::testing::WithParamInterface<CameraCase> {};

TEST_P(CameraState, StartsTheLivePushOncePerClass) {
    const auto& c = GetParam();
    config()->setAppStatus(c.appStatus);
    config()->setPushStarted(c.pushStartedBefore);
    for (unsigned n : c.notices) {
        notice(n);
    }
    EXPECT_EQ(peers_.count("startLive"), c.pushes);
    EXPECT_TRUE(log_.contains(c.log));
}

INSTANTIATE_TEST_SUITE_P(
    Notices, CameraState,
    ::testing::Values(
        CameraCase{"opened in class", 3, {NOTICE_CAMERA_OPENED}, false, 1, "开始推流"},
        CameraCase{"opened twice in class",
                   3,
                   {NOTICE_CAMERA_OPENED, NOTICE_CAMERA_OPENED},
                   false,
                   1,
                   "在会议室中，摄像头打开"},
        CameraCase{"already pushing", 3, {NOTICE_CAMERA_OPENED}, true, 0, "在会议室中，摄像头打开"},
        CameraCase{"opened while idle",
                   1,
                   {NOTICE_CAMERA_OPENED},
                   false,
                   0,
                   "不在会议室中，收到摄像头打开，不推流"},
        CameraCase{"failed", 3, {NOTICE_CAMERA_FAILED}, false, 0, "摄像头状态 = 2 麦克风状态 = 0"},
        CameraCase{
            "microphone only", 3, {NOTICE_MIC_OPENED}, false, 0, "摄像头状态 = 0 麦克风状态 = 1"}));

}  // namespace
