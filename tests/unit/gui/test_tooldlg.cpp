// The tool bar: the row its buttons form for each mix of device modes, the commands its buttons
// and keys hand to the main window, its three-second showing after a click, the clock and the
// mute pictures.
#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <vector>

#include "service/commonutil.h"
#include "service/mainwindowevents.h"
#include "support_controlpictures.h"
#include "support_recordingchannel.h"
#include "support_spin.h"
#include "ui/mybuttonctrl.h"
#include "ui/mytimestaticctrl.h"
#include "ui/tooldlg.h"

namespace {

// The pictures the bar loads: 62 × 62 buttons and the 72 × 62 clock icon.
void writeToolPictures(PictureFolder& pictures) {
    for (const char* name :
         {"preview_normal", "camera_normal", "speaker_nromal", "mic_normal", "camera_mute",
          "speaker_mute", "mic_mute", "tool_normal", "quit_normal"}) {
        pictures.write(QStringLiteral("images/tool/%1.png").arg(QLatin1String(name)), 62, 62,
                       QColor(45, 127, 224));
    }
    pictures.write(QStringLiteral("images/tool/time.png"), 72, 62, QColor(61, 79, 110));
}

class ToolBar : public ::testing::Test {
protected:
    void SetUp() override {
        writeToolPictures(pictures_);
        setModes(2, 2, 2);
        owner_.resize(800, 600);
    }
    void TearDown() override {
        bar_.reset();
        setModes(2, 2, 2);
    }

    static void setModes(int video, int audioIn, int audioOut) {
        CComConfig* config = CComConfig::getInstance();
        config->setVideoMode(video);
        config->setAudioInMode(audioIn);
        config->setAudioOutMode(audioOut);
    }

    CToolDlg& makeBar(MainWindowChannel* channel) {
        bar_ = std::make_unique<CToolDlg>(&owner_, channel);
        return *bar_;
    }

    // x of every shown control, in the bar's order.
    std::vector<int> shownX() const {
        std::vector<int> xs;
        for (unsigned id :
             {ID_TOOL_PREVIEW, ID_TOOL_CAMERA, ID_TOOL_SPEAKER, ID_TOOL_MIC, ID_TOOL_SETTINGS}) {
            if (!bar_->button(id)->isHidden()) {
                xs.push_back(bar_->button(id)->x());
            }
        }
        if (!bar_->clock()->isHidden()) {
            xs.push_back(bar_->clock()->x());
        }
        if (!bar_->button(ID_TOOL_QUIT)->isHidden()) {
            xs.push_back(bar_->button(ID_TOOL_QUIT)->x());
        }
        return xs;
    }

    PictureFolder pictures_;
    QWidget owner_;
    RecordingChannel channel_;
    std::unique_ptr<CToolDlg> bar_;
};

struct RowCase {
    const char* name;
    int video;
    int audioIn;
    int audioOut;
    std::vector<int> xs;  // shown controls, preview to quit
    int width;
};

class ToolBarRow : public ToolBar, public ::testing::WithParamInterface<RowCase> {};

TEST_P(ToolBarRow, ShownControlsSitInARowAndTheBarFitsThem) {
    const RowCase& c = GetParam();
    setModes(c.video, c.audioIn, c.audioOut);
    CToolDlg& bar = makeBar(&channel_);
    EXPECT_EQ(shownX(), c.xs);
    EXPECT_EQ(bar.size(), QSize(c.width, 67));
    EXPECT_TRUE(bar.button(ID_TOOL_PREVIEW)->isHidden());
    for (unsigned id : {ID_TOOL_SETTINGS, ID_TOOL_QUIT}) {
        EXPECT_EQ(bar.button(id)->y(), 5);
        EXPECT_EQ(bar.button(id)->size(), QSize(62, 62));
    }
    EXPECT_EQ(bar.clock()->size(), QSize(172, 62));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ToolBarRow,
    ::testing::Values(RowCase{"AllDevices", 1, 1, 1, {5, 75, 145, 215, 285, 420}, 495},
                      RowCase{"CameraOnly", 1, 2, 2, {5, 75, 145, 280}, 355},
                      RowCase{"NoDevices", 2, 2, 2, {5, 75, 210}, 285},
                      RowCase{"MicrophoneOnly", 2, 1, 2, {5, 75, 145, 280}, 355},
                      RowCase{"SpeakerAndMicrophone", 2, 1, 1, {5, 75, 145, 215, 350}, 425}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ToolBar, ArrangingAgainFollowsChangedModesAndKeepsThePosition) {
    CToolDlg& bar = makeBar(&channel_);
    bar.move(40, 50);
    setModes(1, 1, 1);
    bar.ArrangeButtons(false);
    EXPECT_EQ(shownX(), (std::vector<int>{5, 75, 145, 215, 285, 420}));
    EXPECT_EQ(bar.geometry(), QRect(40, 50, 495, 67));
    setModes(2, 2, 2);
    bar.ArrangeButtons(false);
    EXPECT_EQ(shownX(), (std::vector<int>{5, 75, 210}));
    EXPECT_TRUE(bar.button(ID_TOOL_CAMERA)->isHidden());
}

TEST_F(ToolBar, OpeningAgainMakesNoSecondSetOfButtons) {
    CToolDlg& bar = makeBar(&channel_);
    const auto before = bar.findChildren<CMyButtonCtrl*>().size();
    bar.ArrangeButtons(true);
    EXPECT_EQ(bar.findChildren<CMyButtonCtrl*>().size(), before);
    EXPECT_EQ(bar.findChildren<CMyTimeStaticCtrl*>().size(), 1);
    EXPECT_EQ(shownX(), (std::vector<int>{5, 75, 210}));
}

TEST_F(ToolBar, ButtonClicksReachTheMainWindowWithTheirIds) {
    setModes(1, 1, 1);
    CToolDlg& bar = makeBar(&channel_);
    bar.show();
    const std::vector<unsigned> ids = {ID_TOOL_CAMERA, ID_TOOL_SPEAKER, ID_TOOL_MIC,
                                       ID_TOOL_SETTINGS, ID_TOOL_QUIT};
    for (unsigned id : ids) {
        QTest::mouseClick(bar.button(id), Qt::LeftButton);
    }
    std::vector<RecordedEvent> expected;
    for (unsigned id : ids) {
        expected.push_back({WM_CTRL_CLICKED, id, 0});
    }
    EXPECT_EQ(channel_.events, expected);
    EXPECT_TRUE(channel_.posted.empty());
}

TEST_F(ToolBar, WithoutTheMainWindowCommandsGoNowhere) {
    CToolDlg& bar = makeBar(nullptr);
    bar.show();
    QTest::mouseClick(bar.button(ID_TOOL_QUIT), Qt::LeftButton);
    QTest::keyClick(&bar, Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(bar.isVisible());
}

struct KeyCase {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    unsigned command;  // 0: nothing is sent
};

class ToolBarKey : public ToolBar, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ToolBarKey, KeysOfTheBarAndItsButtonsCloseNothingAndAltDSAreCommands) {
    const KeyCase& c = GetParam();
    CToolDlg& bar = makeBar(&channel_);
    bar.show();
    for (QWidget* target :
         {static_cast<QWidget*>(&bar), static_cast<QWidget*>(bar.button(ID_TOOL_SETTINGS))}) {
        channel_.events.clear();
        QTest::keyClick(target, static_cast<Qt::Key>(c.key), c.modifiers);
        EXPECT_TRUE(bar.isVisible());
        if (c.command == 0) {
            EXPECT_TRUE(channel_.events.empty());
        } else {
            EXPECT_EQ(channel_.events,
                      (std::vector<RecordedEvent>{{WM_CTRL_CLICKED, c.command, 0}}));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ToolBarKey,
    ::testing::Values(KeyCase{"Escape", Qt::Key_Escape, Qt::NoModifier, 0},
                      KeyCase{"Enter", Qt::Key_Return, Qt::NoModifier, 0},
                      KeyCase{"AltF4", Qt::Key_F4, Qt::AltModifier, 0},
                      KeyCase{"AltD", Qt::Key_D, Qt::AltModifier, ID_TOOL_QUIT},
                      KeyCase{"AltS", Qt::Key_S, Qt::AltModifier, ID_TOOL_SETTINGS},
                      KeyCase{"PlainD", Qt::Key_D, Qt::NoModifier, 0},
                      KeyCase{"CtrlAltS", Qt::Key_S, Qt::AltModifier | Qt::ControlModifier, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ToolBar, AWindowSystemCloseIsRefused) {
    CToolDlg& bar = makeBar(&channel_);
    bar.show();
    EXPECT_FALSE(bar.close());
    EXPECT_TRUE(bar.isVisible());
}

TEST_F(ToolBar, ShowsForItsPeriodAfterTheFirstOfSeveralShowings) {
    CToolDlg& bar = makeBar(&channel_);
    bar.setAutoHidePeriodForTesting(1000);
    EXPECT_FALSE(bar.isVisible());
    EXPECT_TRUE(bar.isHiddenByTimer());
    QElapsedTimer clock;
    clock.start();
    bar.ShowToolBar();
    EXPECT_TRUE(bar.isVisible());
    EXPECT_FALSE(bar.isHiddenByTimer());
    QTest::qWait(300);
    bar.ShowToolBar();  // a second click does not restart the period
    ASSERT_TRUE(spinUntil([&bar] { return !bar.isVisible(); }, 3000));
    EXPECT_LT(clock.elapsed(), 1250);  // a restart would hide it 1300 ms after the start
    EXPECT_TRUE(bar.isHiddenByTimer());
    EXPECT_FALSE(bar.isAutoHideActive());
    bar.ShowToolBar();  // and the next click after that shows it again
    EXPECT_TRUE(bar.isVisible());
    EXPECT_TRUE(bar.isAutoHideActive());
}

TEST_F(ToolBar, RealShowingPeriodIsThreeSeconds) {
    CToolDlg& bar = makeBar(&channel_);
    EXPECT_EQ(bar.autoHidePeriodMs(), 3000);
    bar.ShowToolBar();
    QTest::qWait(2500);
    EXPECT_TRUE(bar.isVisible());
    ASSERT_TRUE(spinUntil([&bar] { return !bar.isVisible(); }, 2000));
}

TEST_F(ToolBar, StartClockCountsTheClassFromZero) {
    CToolDlg& bar = makeBar(&channel_);
    std::int64_t now = 1000;
    bar.clock()->setClockForTesting([&now] { return now; });
    EXPECT_FALSE(bar.clock()->isRunning());
    bar.StartClock();
    now += 3725;
    EXPECT_TRUE(bar.clock()->isRunning());
    EXPECT_EQ(bar.clock()->elapsedText(), QStringLiteral("01:02:05"));
}

struct MuteCase {
    const char* name;
    int device;
    unsigned button;
    const char* mutedPicture;
};

class ToolBarMute : public ToolBar, public ::testing::WithParamInterface<MuteCase> {};

TEST_P(ToolBarMute, MuteStateShowsTheMutedPictureOnTheDevicesButton) {
    const MuteCase& c = GetParam();
    setModes(1, 1, 1);
    CToolDlg& bar = makeBar(&channel_);
    const QString normal = bar.button(c.button)->currentImage();
    bar.ShowMuteState(c.device, true);
    EXPECT_EQ(bar.button(c.button)->state(), 1);
    EXPECT_EQ(bar.button(c.button)->currentImage(), QString::fromLatin1(c.mutedPicture));
    for (unsigned other : {ID_TOOL_CAMERA, ID_TOOL_SPEAKER, ID_TOOL_MIC}) {
        if (other != c.button) {
            EXPECT_EQ(bar.button(other)->state(), 0);
        }
    }
    bar.ShowMuteState(c.device, false);
    EXPECT_EQ(bar.button(c.button)->currentImage(), normal);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, ToolBarMute,
    ::testing::Values(MuteCase{"Camera", 0, ID_TOOL_CAMERA, "./images/tool/camera_mute.png"},
                      MuteCase{"Microphone", 1, ID_TOOL_MIC, "./images/tool/mic_mute.png"},
                      MuteCase{"Speaker", 2, ID_TOOL_SPEAKER, "./images/tool/speaker_mute.png"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ToolBar, UnknownDeviceChangesNoButton) {
    CToolDlg& bar = makeBar(&channel_);
    bar.ShowMuteState(7, true);
    for (unsigned id : {ID_TOOL_CAMERA, ID_TOOL_SPEAKER, ID_TOOL_MIC}) {
        EXPECT_EQ(bar.button(id)->state(), 0);
    }
}

}  // namespace
