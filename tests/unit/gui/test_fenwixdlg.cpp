// The main controller on its idle screen: keys, quick clicks, notices, timers, the sink's
// routing through the published main window, and the layout of the pictures.
#include <gtest/gtest.h>

#include <ostream>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "app/fenwixdlg.h"
#include "service/commonutil.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "support_spin.h"
#include "ui/mystaticctrl.h"

namespace {

// A working directory with the pictures the idle screen loads (the panel is 438 pixels wide)
// and its own desktop.ini.
class IdleScreen : public ::testing::Test {
protected:
    // No conference library runs here, so the choice of devices by name would find nothing and
    // hold the test in the modal device tip: it is switched off.
    void SetUp() override { start("[CONFIG]\ncheckaudioout=0\n"); }

    void start(const char* desktopIni) {
        ASSERT_TRUE(dir_.isValid());
        previous_ = QDir::currentPath();
        QDir(dir_.path()).mkpath(QStringLiteral("images/main"));
        QDir(dir_.path()).mkpath(QStringLiteral("ini"));
        ASSERT_TRUE(QDir::setCurrent(dir_.path()));
        qputenv("FENWIX_INI_DIR", (dir_.path() + QStringLiteral("/ini")).toLocal8Bit());
        QFile ini(QStringLiteral("ini/desktop.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(desktopIni);
        ini.close();
        writeImage("bg1.png", 438, 470);
        writeImage("student.png", 95, 117);
        writeImage("net_error.png", 46, 46);
        dlg_ = std::make_unique<CFenwixDlg>();
        dlg_->StartUp();
    }

    void TearDown() override {
        dlg_.reset();
        qunsetenv("FENWIX_INI_DIR");
        QDir::setCurrent(previous_);
    }

    static void writeImage(const char* name, int w, int h) {
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(QColor(40, 120, 200, 200));
        ASSERT_TRUE(image.save(QStringLiteral("images/main/") + QString::fromLatin1(name)));
    }

    bool isOpen() const { return dlg_->isVisible(); }

    QTemporaryDir dir_;
    QString previous_;
    std::unique_ptr<CFenwixDlg> dlg_;
};

TEST_F(IdleScreen, ShowsABorderlessTitledWindowWithThePanelPlacedByItsSize) {
    EXPECT_EQ(dlg_->windowTitle(), QString::fromUtf8("芬维学生端"));
    EXPECT_TRUE(dlg_->windowFlags().testFlag(Qt::FramelessWindowHint));
    const int w = dlg_->width();
    const int h = dlg_->height();
    const QPoint corner(static_cast<int>((w - 438) * 0.5), static_cast<int>((h - 470) * 0.45));
    EXPECT_EQ(dlg_->panelCorner(), corner);
    EXPECT_EQ(dlg_->studentPicture()->geometry(), QRect(corner + QPoint(436, 185), QSize(95, 117)));
    EXPECT_EQ(dlg_->idText(), QString::fromUtf8("ID："));
    EXPECT_EQ(mainWindow().get(), &dlg_->channel());  // published for background threads
}

struct VersionCase {
    const char* name;
    const char* desktopIni;
    bool marked;
};

// Readable parameter names in test listings.
void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << c.name;
}

class VersionFooter : public IdleScreen, public ::testing::WithParamInterface<VersionCase> {
protected:
    void SetUp() override {}
};

TEST_P(VersionFooter, MarksTestBuildsOnly) {
    const auto& c = GetParam();
    start(c.desktopIni);
    const QString text = dlg_->versionText();
    EXPECT_TRUE(text.contains(QStringLiteral(FENWIX_VERSION))) << text.toStdString();
    EXPECT_EQ(text.endsWith(QStringLiteral(" (test)")), c.marked) << c.name;
}

INSTANTIATE_TEST_SUITE_P(TestMode, VersionFooter,
                         ::testing::Values(VersionCase{"no desktop.ini keys", "", false},
                                           VersionCase{"test=1", "[CONFIG]\ntest=1\n", true},
                                           VersionCase{"test=0", "[CONFIG]\ntest=0\n", false},
                                           VersionCase{"test in another section",
                                                       "[OTHER]\ntest=1\n", false}));

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool staysOpen;
};

// Readable parameter names in test listings.
void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

class MainWindowKeyPresses : public IdleScreen, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(MainWindowKeyPresses, OnlyAltQClosesAndOnlyWithOk) {
    const auto& c = GetParam();
    // Alt+T runs the device check window modally: it is closed as a person would, so that what
    // the key did to the main window can be seen.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [this] {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (modal != nullptr && modal != dlg_.get()) {
            modal->reject();
        }
    });
    closer.start(50);
    // Keys aimed at the window itself and at one of its controls take the same way.
    QTest::keyClick(dlg_->studentPicture(), c.key, c.modifiers);
    QTest::keyClick(dlg_.get(), c.key, c.modifiers);
    EXPECT_EQ(isOpen(), c.staysOpen) << c.name;
    if (!c.staysOpen) {
        EXPECT_EQ(dlg_->result(), RESULT_OK);
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, MainWindowKeyPresses,
                         ::testing::Values(KeyCase{"Escape", Qt::Key_Escape, Qt::NoModifier, true},
                                           KeyCase{"Enter", Qt::Key_Return, Qt::NoModifier, true},
                                           KeyCase{"Alt+F4", Qt::Key_F4, Qt::AltModifier, true},
                                           KeyCase{"Alt+E", Qt::Key_E, Qt::AltModifier, true},
                                           KeyCase{"Alt+T", Qt::Key_T, Qt::AltModifier, true},
                                           KeyCase{"Alt+Q", Qt::Key_Q, Qt::AltModifier, false}));

TEST_F(IdleScreen, TheWindowManagersCloseRequestIsRefused) {
    dlg_->close();
    EXPECT_TRUE(isOpen());
}

TEST_F(IdleScreen, FiveQuickClicksOnTheStudentPictureCloseWithOk) {
    std::int64_t now = 1'765'000'000'000;
    dlg_->setWallClockForTesting([&] { return now; });
    for (int i = 0; i < 4; ++i) {
        QTest::mouseClick(dlg_->studentPicture(), Qt::LeftButton);
        now += 300;
    }
    EXPECT_TRUE(isOpen());
    QTest::mouseClick(dlg_->studentPicture(), Qt::LeftButton);
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(dlg_->result(), RESULT_OK);
}

TEST_F(IdleScreen, ClicksWithAPauseOrOnAnotherPictureDoNotClose) {
    std::int64_t now = 1'765'000'000'000;
    dlg_->setWallClockForTesting([&] { return now; });
    const std::int64_t gaps[] = {100, 100, 1000, 100, 100};  // the third gap is a pause
    for (std::int64_t gap : gaps) {
        QTest::mouseClick(dlg_->studentPicture(), Qt::LeftButton);
        now += gap;
    }
    EXPECT_TRUE(isOpen());
    // The same event with another control id never counts.
    for (int i = 0; i < 6; ++i) {
        dlg_->channel().send(WM_PICTURE_CLICKED, ID_NONE, 0);
    }
    EXPECT_TRUE(isOpen());
}

struct NoticeCase {
    const char* name;
    unsigned code;
    int timer;        // the timer the notice starts, 0 for none
    int cameraState;  // afterwards
    int micState;
};

// Readable parameter names in test listings.
void PrintTo(const NoticeCase& c, std::ostream* os) {
    *os << c.name;
}

class Notices : public IdleScreen, public ::testing::WithParamInterface<NoticeCase> {};

TEST_P(Notices, DispatchByCode) {
    const auto& c = GetParam();
    dlg_->channel().send(WM_NOTICE, c.code, 0);
    for (int timer : {TIMER_CALL_DROPPED, TIMER_START_FIX, TIMER_CONF_STATE, TIMER_HIDE_OFFLINE,
                      TIMER_HIDE_TOOLBAR}) {
        EXPECT_EQ(dlg_->isTimerActive(timer), timer == c.timer) << c.name << ", timer " << timer;
    }
    EXPECT_EQ(dlg_->cameraState(), c.cameraState) << c.name;
    EXPECT_EQ(dlg_->micState(), c.micState) << c.name;
    EXPECT_FALSE(dlg_->isRegistered()) << c.name;
    EXPECT_TRUE(isOpen()) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Notices,
    ::testing::Values(
        NoticeCase{"conference logs on", 16, TIMER_CONF_STATE, 0, 0},
        NoticeCase{"tool bar shown", 18, TIMER_HIDE_TOOLBAR, 0, 0},
        NoticeCase{"camera opened", 26, 0, 1, 0}, NoticeCase{"camera failed", 27, 0, 2, 0},
        NoticeCase{"microphone opened", 28, 0, 0, 1}, NoticeCase{"microphone failed", 29, 0, 0, 2},
        NoticeCase{"unused 2", 2, 0, 0, 0}, NoticeCase{"unused 3", 3, 0, 0, 0},
        NoticeCase{"unused 17", 17, 0, 0, 0}, NoticeCase{"live push network restored", 22, 0, 0, 0},
        NoticeCase{"live push network error", 23, 0, 0, 0},
        NoticeCase{"live push request failed", 24, 0, 0, 0}, NoticeCase{"unused 25", 25, 0, 0, 0},
        NoticeCase{"30", 30, 0, 0, 0}, NoticeCase{"far outside", 4000000000u, 0, 0, 0}));

TEST_F(IdleScreen, FirstRegistrationShowsTheIdOnceAndLaterOnesChangeNothing) {
    CComConfig::getInstance()->setApplicationId("A-1024");
    dlg_->channel().send(WM_NOTICE, NOTICE_REGISTERED, 0);
    EXPECT_EQ(dlg_->idText(), QString::fromUtf8("ID：A-1024"));
    EXPECT_TRUE(dlg_->isRegistered());
    EXPECT_EQ(CComConfig::getInstance()->getVideoMode(), 2);
    EXPECT_EQ(CComConfig::getInstance()->getAudioInMode(), 2);
    EXPECT_EQ(CComConfig::getInstance()->getAudioOutMode(), 2);

    CComConfig::getInstance()->setApplicationId("B-2048");
    dlg_->channel().send(WM_NOTICE, NOTICE_REGISTERED, 0);
    EXPECT_EQ(dlg_->idText(), QString::fromUtf8("ID：A-1024"));
}

TEST_F(IdleScreen, LogoReloadCentresTheLogoOnThePanel) {
    EXPECT_FALSE(dlg_->ReloadLogo());  // no logo.png yet: the logo stays empty
    EXPECT_TRUE(dlg_->logoPicture()->image().isEmpty());

    writeImage("logo.png", 128, 128);
    dlg_->channel().send(WM_NOTICE, NOTICE_LOGO_RELOAD, 0);
    EXPECT_EQ(dlg_->logoPicture()->geometry(),
              QRect(dlg_->panelCorner() + QPoint(155, 100), QSize(128, 128)));
    EXPECT_FALSE(dlg_->logoPicture()->image().isEmpty());

    writeImage("logo.png", 200, 60);  // a downloaded logo of another size is centred too
    EXPECT_TRUE(dlg_->ReloadLogo());
    EXPECT_EQ(dlg_->logoPicture()->geometry(),
              QRect(dlg_->panelCorner() + QPoint(119, 100), QSize(200, 60)));
}

TEST_F(IdleScreen, CallDropTimerTicksAtMostFourTimes) {
    CComConfig::getInstance()->setNetOk(false);
    for (int round = 0; round < 2; ++round) {  // the tick count starts again each time
        dlg_->channel().send(WM_CALL_DROPPED, 0, 0);
        for (int tick = 1; tick <= 3; ++tick) {
            dlg_->OnTimer(TIMER_CALL_DROPPED);
            EXPECT_TRUE(dlg_->isTimerActive(TIMER_CALL_DROPPED)) << "tick " << tick;
        }
        dlg_->OnTimer(TIMER_CALL_DROPPED);
        EXPECT_FALSE(dlg_->isTimerActive(TIMER_CALL_DROPPED));
    }
}

TEST_F(IdleScreen, CallDropTimerStopsAtItsFirstTickWhenTheNetworkIsUp) {
    CComConfig::getInstance()->setNetOk(false);
    dlg_->channel().send(WM_CALL_DROPPED, 0, 0);
    dlg_->OnTimer(TIMER_CALL_DROPPED);
    CComConfig::getInstance()->setNetOk(true);
    dlg_->OnTimer(TIMER_CALL_DROPPED);
    EXPECT_FALSE(dlg_->isTimerActive(TIMER_CALL_DROPPED));
    // And the count was reset: four ticks are allowed again next time.
    CComConfig::getInstance()->setNetOk(false);
    dlg_->channel().send(WM_CALL_DROPPED, 0, 0);
    for (int tick = 1; tick <= 3; ++tick) {
        dlg_->OnTimer(TIMER_CALL_DROPPED);
    }
    EXPECT_TRUE(dlg_->isTimerActive(TIMER_CALL_DROPPED));
}

TEST_F(IdleScreen, OneTickTimersStopThemselves) {
    for (unsigned code : {16u, 18u}) {
        dlg_->channel().send(WM_NOTICE, code, 0);
    }
    CComConfig::getInstance()->setConfLogsEnabled(false);
    dlg_->OnTimer(TIMER_CONF_STATE);  // conference logs off: the report timer stops
    dlg_->OnTimer(TIMER_HIDE_TOOLBAR);
    EXPECT_FALSE(dlg_->isTimerActive(TIMER_CONF_STATE));
    EXPECT_FALSE(dlg_->isTimerActive(TIMER_HIDE_TOOLBAR));
}

// The sink runs on HTTP worker threads and reaches the window through the published channel.
// Completions that lead to a logo reload show in the logo picture.
struct SinkCase {
    const char* name;
    bool failure;  // httpFail, else downloadBack
    int type;
    bool reloadsLogo;
};

// Readable parameter names in test listings.
void PrintTo(const SinkCase& c, std::ostream* os) {
    *os << c.name;
}

class SinkRouting : public IdleScreen, public ::testing::WithParamInterface<SinkCase> {};

TEST_P(SinkRouting, ReachesTheUiThreadByRequestType) {
    const auto& c = GetParam();
    writeImage("logo.png", 128, 128);
    std::atomic<bool> back{false};
    std::thread worker([&] {
        if (c.failure) {
            dlg_->httpFail(c.type);
        } else {
            dlg_->downloadBack(c.type);
        }
        back = true;
    });
    ASSERT_TRUE(spinUntil([&] { return back.load(); })) << c.name;
    worker.join();
    EXPECT_EQ(!dlg_->logoPicture()->image().isEmpty(), c.reloadsLogo) << c.name;
    EXPECT_TRUE(isOpen());
}

INSTANTIATE_TEST_SUITE_P(Completions, SinkRouting,
                         ::testing::Values(SinkCase{"registration failed", true, 1, true},
                                           SinkCase{"plan room failed", true, 3, false},
                                           SinkCase{"report failed", true, 4, false},
                                           SinkCase{"logo download failed", true, 15, true},
                                           SinkCase{"logo downloaded", false, 15, true},
                                           SinkCase{"other download finished", false, 9, false}));

TEST_F(IdleScreen, BadRepliesFromTheBackendAreHandledWithoutHarm) {
    const char* replies[] = {
        "",
        "not json",
        "[1,2,3]",
        "\"text\"",
        "{\"payload\":{}}",
        "{\"success\":null}",
        "{\"success\":\"yes\",\"message\":42}",
        "{\"success\":false,\"message\":{\"nested\":true}}",
        "{\"success\":true,\"payload\":\"odd\"}",
    };
    for (int type : {1, 3, 4, 8, 9, 10, 13, 14, 15, 99}) {
        for (const char* reply : replies) {
            std::atomic<bool> back{false};
            std::thread worker([&] {
                dlg_->httpBack(reply, type);
                dlg_->httpFail(type);
                back = true;
            });
            ASSERT_TRUE(spinUntil([&] { return back.load(); })) << reply << " type " << type;
            worker.join();
        }
    }
    EXPECT_TRUE(isOpen());
}

TEST_F(IdleScreen, ShutdownWaitsForARunningLivePushToConfirmItsStop) {
    CComConfig* config = CComConfig::getInstance();
    config->setIsPull(true);
    config->setLivePushRunning(true);
    config->setLiveStopConfirmed(false);
    std::thread confirmer([config] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        config->setLiveStopConfirmed(true);
    });
    QElapsedTimer elapsed;
    elapsed.start();
    dlg_.reset();  // the shutdown sequence runs here
    const auto took = elapsed.elapsed();
    confirmer.join();
    EXPECT_GE(took, 1500);
    EXPECT_LT(took, 10000);  // it stopped waiting once confirmed, long before its bound
}

TEST_F(IdleScreen, ShutdownDoesNotWaitWhenThisMachineDoesNotPush) {
    CComConfig* config = CComConfig::getInstance();
    config->setIsPull(false);
    config->setLivePushRunning(true);
    config->setLiveStopConfirmed(false);
    QElapsedTimer elapsed;
    elapsed.start();
    dlg_.reset();
    EXPECT_LT(elapsed.elapsed(), 1000);
}

}  // namespace
