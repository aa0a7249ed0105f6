// The class flow with the real controls and windows of the controller (countdown button, message
// bar, screen, video, preview and tool bar windows); the backend, conference and live push stay
// fakes.
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <string>

#include "app/controllerpeers.h"
#include "support_classflow.h"
#include "support_spin.h"
#include "ui/mymsgtipctrl.h"
#include "ui/mytimerbuttonctrl.h"
#include "ui/offlinedlg.h"
#include "ui/previewdlg.h"
#include "ui/screendlg.h"
#include "ui/tooldlg.h"
#include "ui/videodlg.h"

namespace {

// Fakes for the backend, conference and live push; the controller's own windows and controls.
class RealControlPeers : public FakeClassPeers {
public:
    explicit RealControlPeers(CFenwixDlg& dlg) : m_real(dlg) {}

    void showMessage(const std::string& text, bool autoHide) override {
        FakeClassPeers::showMessage(text, autoHide);
        m_real.showMessage(text, autoHide);
    }
    void hideMessage() override { m_real.hideMessage(); }
    void startCountdown() override {
        FakeClassPeers::startCountdown();
        m_real.startCountdown();
    }
    void stopCountdown() override {
        FakeClassPeers::stopCountdown();
        m_real.stopCountdown();
    }
    void setWindowVisible(Window window, bool visible) override {
        m_real.setWindowVisible(window, visible);
    }
    void setScreenImage(const std::string& path) override { m_real.setScreenImage(path); }
    void startToolBarClock() override { m_real.startToolBarClock(); }
    void showDeviceMuted(int device, bool muted) override { m_real.showDeviceMuted(device, muted); }
    bool hasOfflineNotice() override { return m_real.hasOfflineNotice(); }
    bool isOfflineNoticeVisible() override { return m_real.isOfflineNoticeVisible(); }
    void setOfflineNoticeVisible(bool visible) override { m_real.setOfflineNoticeVisible(visible); }

private:
    ControllerPeers m_real;
};

class ClassEntryControls : public ClassFlowTest {
protected:
    void SetUp() override {
        ClassFlowTest::SetUp();
        real_ = std::make_unique<RealControlPeers>(*dlg_);
        dlg_->setClassPeersForTesting(real_.get());
    }
    void TearDown() override {
        dlg_->setClassPeersForTesting(nullptr);
        ClassFlowTest::TearDown();
    }

    CMyTimerButtonCtrl* button() { return dlg_->enterClassButton(); }
    QString tip() { return dlg_->messageBar()->text(); }

    std::unique_ptr<RealControlPeers> real_;
};

TEST_F(ClassEntryControls, TheCountdownRunsSixtySecondsAndReportsItsEndHalfASecondLater) {
    ASSERT_NE(button(), nullptr);
    EXPECT_EQ(button()->tickPeriodMs(), 1000);
    EXPECT_EQ(button()->endDelayMs(), 500);
    EXPECT_EQ(button()->counter(), 60);
}

TEST_F(ClassEntryControls, HangingAttemptsFallBackToAGuestAndThenGiveUp) {
    button()->setPeriodsForTesting(2, 10);
    notice(NOTICE_LOGIN_BEGINS);
    notice(NOTICE_ENTERING_CLASS);
    EXPECT_TRUE(button()->isCountingDown());
    EXPECT_EQ(tip(), QString::fromUtf8("正在进入教室，请耐心等待"));
    EXPECT_TRUE(dlg_->messageBar()->isVisible());

    // A click while counting down is not a new entry.
    QTest::mouseClick(button(), Qt::LeftButton);
    EXPECT_EQ(real_->count("requestPlanRoom"), 0);

    ASSERT_TRUE(spinUntil([&] { return dlg_->loginPhase() == 2; }));
    EXPECT_EQ(real_->count("requestGuestLogin"), 1);
    EXPECT_TRUE(button()->isCountingDown());  // the guest attempt has its own countdown
    EXPECT_EQ(tip(), QString::fromUtf8("现在网络较差，进入失败，正在重新进入"));
    EXPECT_TRUE(dlg_->messageBar()->isHideTimerActive());

    ASSERT_TRUE(spinUntil([&] { return dlg_->loginPhase() == 0; }));
    EXPECT_FALSE(button()->isCountingDown());
    EXPECT_EQ(button()->caption(), QString::fromUtf8("进入课程"));
    EXPECT_EQ(tip(), QString::fromUtf8("网络较差，入会失败，请重新进入或咨询客服小二"));
    EXPECT_TRUE(config()->getLoginIdle());
    EXPECT_EQ(config()->getGuestForced(), 0);
    EXPECT_EQ(real_->count("requestGuestLogin"), 1);
    EXPECT_TRUE(log_.contains("用户模式登录超时，游客模式开始登录"));
    EXPECT_TRUE(log_.contains("游客模式登录超时"));
}

TEST_F(ClassEntryControls, JoiningStopsTheCountdownSoItNeverTimesOut) {
    button()->setPeriodsForTesting(2, 10);
    notice(NOTICE_LOGIN_BEGINS);
    event(WM_CONF_JOINED);
    EXPECT_FALSE(button()->isCountingDown());
    QTest::qWait(300);  // far beyond 61 ticks and the end delay
    EXPECT_FALSE(log_.contains("登录超时"));
    EXPECT_EQ(real_->count("requestGuestLogin"), 0);
}

TEST_F(ClassEntryControls, TheStatusDisplayMovesBetweenTheRealWindows) {
    auto* screen = dlg_->screenWindow();
    auto* video = dlg_->videoWindow();
    ASSERT_NE(screen, nullptr);
    ASSERT_NE(video, nullptr);
    notice(NOTICE_ENTERING_CLASS);
    notice(NOTICE_NETWORK_STATE, 1);

    event(WM_CONF_JOINED);  // curtain up: the waiting picture
    EXPECT_TRUE(screen->isVisible());
    EXPECT_EQ(screen->image(), QStringLiteral("./images/main/wait.png"));
    EXPECT_FALSE(video->isVisible());
    EXPECT_FALSE(dlg_->isVisible());
    EXPECT_FALSE(dlg_->messageBar()->isVisible());  // the entering text is gone

    event(WM_CONF_FIX_RESULT, R"({"success":true,"mode":1})");
    notice(NOTICE_CURTAIN, 1);
    EXPECT_TRUE(video->isVisible());
    EXPECT_FALSE(screen->isVisible());

    event(WM_CONF_DEVICE_MUTE, R"({"device":2,"mute":true,"from":0,"error":0})");
    event(WM_CONF_LOGGED_OUT);
    EXPECT_TRUE(dlg_->isVisible());
    EXPECT_FALSE(video->isVisible());
    EXPECT_FALSE(screen->isVisible());
    EXPECT_FALSE(dlg_->previewWindow()->isVisible());
    EXPECT_FALSE(dlg_->toolBar()->isVisible());
}

TEST_F(ClassEntryControls, ANetworkLossInClassShowsTheOfflineNoticeForItsTimer) {
    auto* offline = dlg_->offlineNotice();
    ASSERT_NE(offline, nullptr);
    EXPECT_EQ(offline->text(), QString::fromUtf8("当前网络异常，请检查网络是否连接"));
    EXPECT_FALSE(offline->isVisible());
    config()->setAppStatus(3);
    for (int r : {1, 0, 0, 0}) {
        notice(NOTICE_NETWORK_STATE, r);
    }
    EXPECT_TRUE(offline->isVisible());
    EXPECT_TRUE(dlg_->isTimerActive(TIMER_HIDE_OFFLINE));
    EXPECT_FALSE(log_.contains("m_pOfflineDlg is NULL"));
    dlg_->OnTimer(TIMER_HIDE_OFFLINE);
    EXPECT_FALSE(offline->isVisible());
}

}  // namespace
