// The screen, video and camera preview windows: the screen's picture and its click that brings
// the tool bar up, the keys each window turns into commands or swallows, the video window's
// native render area.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

#include "service/commonutil.h"
#include "service/mainwindowevents.h"
#include "support_controlpictures.h"
#include "support_recordingchannel.h"
#include "support_spin.h"
#include "ui/nativesurface.h"
#include "ui/previewdlg.h"
#include "ui/screendlg.h"
#include "ui/tooldlg.h"
#include "ui/videodlg.h"

namespace {

class AuxWindows : public ::testing::Test {
protected:
    void SetUp() override {
        owner_.resize(800, 600);
        bar_ = std::make_unique<CToolDlg>(&owner_, &channel_);
        screen_ = std::make_unique<CScreenDlg>(&owner_);
        screen_->SetToolBar(bar_.get());
    }
    void TearDown() override {
        screen_.reset();
        bar_.reset();
    }

    PictureFolder pictures_;
    QWidget owner_;
    RecordingChannel channel_;
    std::unique_ptr<CToolDlg> bar_;
    std::unique_ptr<CScreenDlg> screen_;
};

TEST_F(AuxWindows, ScreenFillsTheScreenAndStartsWithTheWelcomePicture) {
    EXPECT_EQ(screen_->image(), QStringLiteral("./images/main/screenbg.jpg"));
    EXPECT_EQ(screen_->geometry(), QGuiApplication::primaryScreen()->geometry());
    EXPECT_FALSE(screen_->isVisible());
}

TEST_F(AuxWindows, SetImageDrawsThePictureStretchedOverTheWholeWindow) {
    const QString wait =
        pictures_.write(QStringLiteral("images/main/wait.png"), 16, 9, QColor(255, 138, 61));
    screen_->show();
    screen_->SetImage(wait);
    EXPECT_EQ(screen_->image(), wait);
    const QImage shown = screen_->grab().toImage();
    for (const QPoint& p : {QPoint(1, 1), QPoint(shown.width() / 2, shown.height() / 2),
                            QPoint(shown.width() - 2, shown.height() - 2)}) {
        EXPECT_TRUE(near(shown.pixelColor(p), QColor(255, 138, 61))) << p.x() << "," << p.y();
    }
    const QString offline =
        pictures_.write(QStringLiteral("images/main/offline.png"), 16, 9, QColor(229, 72, 77));
    screen_->SetImage(offline);
    EXPECT_TRUE(near(shownPixel(*screen_, 5, 5), QColor(229, 72, 77)));
}

TEST_F(AuxWindows, ClickOnTheScreenShowsTheToolBarTwoClicksShowItOnce) {
    bar_->setAutoHidePeriodForTesting(1000);
    screen_->show();
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(screen_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    EXPECT_TRUE(bar_->isVisible());
    QTest::qWait(300);
    QTest::mouseClick(screen_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
    ASSERT_TRUE(spinUntil([this] { return !bar_->isVisible(); }, 3000));
    EXPECT_LT(clock.elapsed(), 1250);  // hidden a period after the first click, not the second
    QTest::mouseClick(screen_.get(), Qt::RightButton, Qt::NoModifier, QPoint(50, 50));
    EXPECT_FALSE(bar_->isVisible());
}

TEST_F(AuxWindows, ScreenWithoutToolBarIgnoresClicks) {
    CScreenDlg alone(&owner_);
    alone.show();
    QTest::mouseClick(&alone, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::keyClick(&alone, Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(channel_.events.empty());
    EXPECT_TRUE(alone.isVisible());
}

struct ScreenKeyCase {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    unsigned screenCommand;  // sent through the tool bar; 0 for none
};

class PopupKeys : public AuxWindows, public ::testing::WithParamInterface<ScreenKeyCase> {};

TEST_P(PopupKeys, ScreenKeysBecomeToolBarCommandsVideoAndPreviewKeysCloseNothing) {
    const ScreenKeyCase& c = GetParam();
    screen_->show();
    QTest::keyClick(screen_.get(), static_cast<Qt::Key>(c.key), c.modifiers);
    EXPECT_TRUE(screen_->isVisible());
    if (c.screenCommand == 0) {
        EXPECT_TRUE(channel_.events.empty());
    } else {
        EXPECT_EQ(channel_.events,
                  (std::vector<RecordedEvent>{{WM_CTRL_CLICKED, c.screenCommand, 0}}));
    }
    CPreviewDlg preview(&owner_);
    CVideoDlg video(&owner_);
    video.SetLinkedWindow(&preview);
    for (QWidget* target : {static_cast<QWidget*>(&video), static_cast<QWidget*>(video.surface()),
                            static_cast<QWidget*>(&preview)}) {
        target->window()->show();
        QTest::keyClick(target, static_cast<Qt::Key>(c.key), c.modifiers);
        EXPECT_TRUE(target->window()->isVisible());
    }
    EXPECT_LE(channel_.events.size(), 1U);  // the video and preview windows send nothing
}

INSTANTIATE_TEST_SUITE_P(
    Keys, PopupKeys,
    ::testing::Values(ScreenKeyCase{"Escape", Qt::Key_Escape, Qt::NoModifier, 0},
                      ScreenKeyCase{"Enter", Qt::Key_Enter, Qt::NoModifier, 0},
                      ScreenKeyCase{"AltF4", Qt::Key_F4, Qt::AltModifier, 0},
                      ScreenKeyCase{"AltD", Qt::Key_D, Qt::AltModifier, ID_TOOL_QUIT},
                      ScreenKeyCase{"AltS", Qt::Key_S, Qt::AltModifier, ID_TOOL_SETTINGS}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AuxWindows, WindowSystemClosesAreRefusedByEveryPopup) {
    CVideoDlg video(&owner_);
    CPreviewDlg preview(&owner_);
    for (QWidget* window : {static_cast<QWidget*>(screen_.get()), static_cast<QWidget*>(&video),
                            static_cast<QWidget*>(&preview)}) {
        window->show();
        EXPECT_FALSE(window->close());
        EXPECT_TRUE(window->isVisible());
    }
}

TEST_F(AuxWindows, VideoWindowIsBlackFullScreenWithANativeAreaForTheLibrary) {
    CVideoDlg video(&owner_);
    EXPECT_EQ(video.geometry(), QGuiApplication::primaryScreen()->geometry());
    video.show();
    const std::uintptr_t handle = video.renderHandle();
    EXPECT_NE(handle, 0U);
    EXPECT_EQ(handle, static_cast<std::uintptr_t>(video.surface()->winId()));
    EXPECT_TRUE(video.surface()->testAttribute(Qt::WA_NativeWindow));
    EXPECT_EQ(video.surface()->geometry(), video.rect());
    EXPECT_EQ(shownPixel(video, 10, 10), QColor(Qt::black));
    video.resize(320, 240);
    EXPECT_EQ(video.surface()->geometry(), QRect(0, 0, 320, 240));
}

TEST_F(AuxWindows, VideoClickKeepsTheLinkedPreviewWhereItIs) {
    CPreviewDlg preview(&owner_);
    preview.setGeometry(600, 450, 200, 150);
    preview.show();
    CVideoDlg video(&owner_);
    video.SetLinkedWindow(&preview);
    video.show();
    QTest::mouseClick(&video, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    QTest::mouseClick(video.surface(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    EXPECT_TRUE(preview.isVisible());
    EXPECT_EQ(preview.geometry(), QRect(600, 450, 200, 150));
    EXPECT_EQ(video.linkedWindow(), &preview);
}

TEST_F(AuxWindows, PreviewWindowStaysAboveAndOffersANativeArea) {
    CPreviewDlg preview(&owner_);
    EXPECT_TRUE(preview.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(preview.windowFlags().testFlag(Qt::FramelessWindowHint));
    preview.resize(200, 150);
    preview.show();
    EXPECT_NE(preview.renderHandle(), 0U);
    EXPECT_EQ(preview.surface()->geometry(), QRect(0, 0, 200, 150));
}

}  // namespace
