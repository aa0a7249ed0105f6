// The windows and class controls of the real controller: created at start-up and placed on the
// screen, the message bar for notices 6 and 10, the tool bar for notice 18 and timer 1070, the
// re-arranged tool bar after registration, clicks that reach the controller, and the windows
// gone after shutdown.
#include <gtest/gtest.h>

#include <QPointer>
#include <QTest>
#include <string>
#include <thread>

#include "service/mainwindowevents.h"
#include "support_classflow.h"
#include "support_spin.h"
#include "ui/mybuttonctrl.h"
#include "ui/mymsgtipctrl.h"
#include "ui/mytimerbuttonctrl.h"
#include "ui/previewdlg.h"
#include "ui/screendlg.h"
#include "ui/tooldlg.h"
#include "ui/videodlg.h"

namespace {

class MainWindowControls : public ClassFlowTest {};

TEST_F(MainWindowControls, StartUpCreatesTheWindowsHiddenLinkedAndPlaced) {
    CToolDlg* bar = dlg_->toolBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(dlg_->screenWindow(), nullptr);
    ASSERT_NE(dlg_->videoWindow(), nullptr);
    ASSERT_NE(dlg_->previewWindow(), nullptr);
    for (QWidget* window : {static_cast<QWidget*>(bar), static_cast<QWidget*>(dlg_->screenWindow()),
                            static_cast<QWidget*>(dlg_->videoWindow()),
                            static_cast<QWidget*>(dlg_->previewWindow())}) {
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(window->parentWidget(), dlg_.get());
        EXPECT_TRUE(window->isWindow());
    }
    EXPECT_EQ(dlg_->screenWindow()->toolBar(), bar);
    EXPECT_EQ(dlg_->videoWindow()->linkedWindow(), dlg_->previewWindow());
    const int w = dlg_->width();
    const int h = dlg_->height();
    EXPECT_EQ(dlg_->previewWindow()->geometry(),
              QRect(static_cast<int>(3 * w / 4.0), static_cast<int>(3 * h / 4.0), w / 4, h / 4));
    EXPECT_EQ(bar->pos(), QPoint((w - bar->width()) / 2, static_cast<int>(0.75 * h) + 10));
}

TEST_F(MainWindowControls, ClassControlsSitOnThePanel) {
    const QPoint corner = dlg_->panelCorner();
    ASSERT_NE(dlg_->messageBar(), nullptr);
    EXPECT_EQ(dlg_->messageBar()->geometry(), QRect(corner + QPoint(0, 490), QSize(540, 50)));
    EXPECT_FALSE(dlg_->messageBar()->isVisible());
    EXPECT_EQ(dlg_->messageBar()->id(), ID_MSG_TIP);
    ASSERT_NE(dlg_->deviceCheckButton(), nullptr);
    EXPECT_EQ(dlg_->deviceCheckButton()->geometry(), QRect(corner + QPoint(0, 300), QSize(32, 40)));
    ASSERT_NE(dlg_->enterClassButton(), nullptr);
    // The 40-pixel panel of the fixture: (40 - 230) / 2 truncates toward zero to -95.
    EXPECT_EQ(dlg_->enterClassButton()->geometry(),
              QRect(corner + QPoint(-95, 315), QSize(230, 65)));
    EXPECT_EQ(dlg_->enterClassButton()->caption(), QString::fromUtf8("进入课程"));
}

struct TipCase {
    const char* name;
    unsigned code;
};

class MessageNotice : public MainWindowControls, public ::testing::WithParamInterface<TipCase> {};

TEST_P(MessageNotice, ShowsTheTextInTheMessageBarAndHidesItAfterItsPeriod) {
    CMyMsgTipCtrl* bar = dlg_->messageBar();
    EXPECT_EQ(bar->hidePeriodMs(), 3000);
    bar->setHidePeriodForTesting(50);
    const std::string text = "房间暂不可用";
    notice(GetParam().code, reinterpret_cast<std::intptr_t>(&text));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->text(), QString::fromUtf8("房间暂不可用"));
    EXPECT_TRUE(bar->isHideTimerActive());
    ASSERT_TRUE(spinUntil([bar] { return !bar->isVisible(); }, 2000));
}

TEST_P(MessageNotice, WithoutItsTextShowsNothing) {
    notice(GetParam().code, 0);
    EXPECT_FALSE(dlg_->messageBar()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Codes, MessageNotice,
                         ::testing::Values(TipCase{"RoomUnavailable", NOTICE_ROOM_UNAVAILABLE},
                                           TipCase{"Message", NOTICE_MESSAGE}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowControls, MessageFromAWorkerThreadIsShownOnTheUiThread) {
    CMyMsgTipCtrl* bar = dlg_->messageBar();
    std::thread worker([this] {
        const std::string text = "网络连接失败，请检查网络是否连接";
        dlg_->channel().send(WM_NOTICE, NOTICE_MESSAGE, reinterpret_cast<std::intptr_t>(&text));
    });
    ASSERT_TRUE(spinUntil([bar] { return bar->isVisible(); }));
    worker.join();
    EXPECT_EQ(bar->text(), QString::fromUtf8("网络连接失败，请检查网络是否连接"));
}

TEST_F(MainWindowControls, ConferenceNoticeShowsTheToolBarUntilTimer1070) {
    CToolDlg* bar = dlg_->toolBar();
    const QPoint placed = bar->pos();
    notice(NOTICE_CONF_TOOLBAR);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->pos(), placed);
    EXPECT_TRUE(dlg_->isTimerActive(TIMER_HIDE_TOOLBAR));
    dlg_->OnTimer(TIMER_HIDE_TOOLBAR);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(dlg_->isTimerActive(TIMER_HIDE_TOOLBAR));
}

TEST_F(MainWindowControls, RegistrationRearrangesTheToolBarLowerOnTheScreen) {
    config()->setVideoMode(1);
    config()->setAudioInMode(1);
    config()->setAudioOutMode(1);
    dlg_->toolBar()->ArrangeButtons(false);
    EXPECT_FALSE(dlg_->toolBar()->button(ID_TOOL_CAMERA)->isHidden());
    notice(NOTICE_REGISTERED, 1);
    CToolDlg* bar = dlg_->toolBar();
    // The modes are back to 2: settings, clock and quit only.
    EXPECT_TRUE(bar->button(ID_TOOL_CAMERA)->isHidden());
    EXPECT_TRUE(bar->button(ID_TOOL_MIC)->isHidden());
    EXPECT_TRUE(bar->button(ID_TOOL_SPEAKER)->isHidden());
    EXPECT_EQ(bar->button(ID_TOOL_QUIT)->x(), 210);
    EXPECT_EQ(bar->pos(),
              QPoint((dlg_->width() - bar->width()) / 2, static_cast<int>(0.79 * dlg_->height())));
}

TEST_F(MainWindowControls, ToolBarAndScreenCommandsReachTheController) {
    CToolDlg* bar = dlg_->toolBar();
    dlg_->screenWindow()->show();
    QTest::mouseClick(dlg_->screenWindow(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_TRUE(bar->isVisible());
    QTest::mouseClick(bar->button(ID_TOOL_QUIT), Qt::LeftButton);
    EXPECT_EQ(peers_.count("exitConference"), 1);
    QTest::keyClick(dlg_->screenWindow(), Qt::Key_D, Qt::AltModifier);
    EXPECT_EQ(peers_.count("exitConference"), 2);
    QTest::keyClick(dlg_->screenWindow(), Qt::Key_Escape);
    EXPECT_TRUE(dlg_->screenWindow()->isVisible());
    EXPECT_TRUE(dlg_->isVisible());
}

TEST_F(MainWindowControls, EnterClassButtonClickStartsTheEntry) {
    QTest::mouseClick(dlg_->enterClassButton(), Qt::LeftButton);
    EXPECT_EQ(peers_.count("requestPlanRoom"), 1);
}

TEST_F(MainWindowControls, ShutdownDestroysTheWindows) {
    QPointer<QWidget> bar = dlg_->toolBar();
    QPointer<QWidget> screen = dlg_->screenWindow();
    QPointer<QWidget> video = dlg_->videoWindow();
    QPointer<QWidget> preview = dlg_->previewWindow();
    dlg_.reset();
    EXPECT_TRUE(bar.isNull());
    EXPECT_TRUE(screen.isNull());
    EXPECT_TRUE(video.isNull());
    EXPECT_TRUE(preview.isNull());
}

}  // namespace
