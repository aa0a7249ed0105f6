// The update progress window: its look, the progress rule, and how an attempt ends (complete,
// failed, cancelled) as seen by the main window; and the updater's command line.
#include "app/updatedlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/qtmainwindowchannel.h"
#include "app/updatehandover.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "support_spin.h"
#include "support_updateserver.h"

namespace {

std::vector<QString> labelTexts(const QWidget& window) {
    std::vector<QString> texts;
    for (const auto* label : window.findChildren<QLabel*>()) {
        texts.push_back(label->text());
    }
    return texts;
}

bool contains(const std::vector<QString>& texts, const char* text) {
    for (const auto& t : texts) {
        if (t == QString::fromUtf8(text)) {
            return true;
        }
    }
    return false;
}

TEST(UpdateDlgLook, CarriesItsTextsAndAFullRangeBar) {
    CUpdateDlg dlg;
    const auto texts = labelTexts(dlg);
    EXPECT_TRUE(contains(texts, "系统升级"));
    EXPECT_TRUE(contains(texts, "正在进行系统升级，请稍等..."));
    EXPECT_EQ(dlg.percentText(), QStringLiteral("0"));
    EXPECT_EQ(dlg.cancelButton()->text(), QString::fromUtf8("取消升级"));
    EXPECT_TRUE(dlg.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(dlg.parentWidget(), nullptr);
}

struct ProgressCase {
    const char* name;
    double fraction;
    const char* text;
    int position;  // one more than the share of the range
    int value;     // what the bar shows
};

void PrintTo(const ProgressCase& c, std::ostream* os) {
    *os << c.name;
}

class UpdateDlgProgress : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(UpdateDlgProgress, ShowsOneDecimalAndThePositionPastTheShare) {
    const auto& c = GetParam();
    CUpdateDlg dlg;
    dlg.findChild<QProgressBar*>()->setRange(0, 100);
    dlg.SetProgress(c.fraction);
    EXPECT_EQ(dlg.percentText(), QString::fromUtf8(c.text));
    EXPECT_EQ(dlg.progressPosition(), c.position);
    EXPECT_EQ(dlg.progressValue(), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Fractions, UpdateDlgProgress,
    ::testing::Values(ProgressCase{"Nothing", 0.0, "0.0%", 1, 1},
                      ProgressCase{"ThreeEighths", 0.375, "37.5%", 38, 38},
                      ProgressCase{"Half", 0.5, "50.0%", 51, 51},
                      ProgressCase{"AlmostAll", 0.999, "99.9%", 100, 100},
                      // One past the end: the bar is drawn full, not left where it was.
                      ProgressCase{"All", 1.0, "100.0%", 101, 100}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- attempts, with the main window's notices recorded ----

class UpdateDlgAttempt : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        channel_ = std::make_shared<QtMainWindowChannel>(
            [this](unsigned msg, std::uintptr_t wParam, std::intptr_t) -> std::intptr_t {
                if (msg == WM_NOTICE) {
                    notices_.push_back(static_cast<unsigned>(wParam));
                    if (onNotice_) {
                        onNotice_(static_cast<unsigned>(wParam));
                    }
                }
                return 0;
            });
        publishMainWindow(channel_);
        path_ = (folder_.path() + QStringLiteral("/setup")).toStdString();
    }
    void TearDown() override {
        dlg_.reset();
        channel_->shutdown();
        publishMainWindow(nullptr);
    }

    // Runs the window modally; `whileOpen` runs inside its loop once the window shows.
    void runModal(const std::string& url, std::function<void()> whileOpen = {}) {
        dlg_->SetUrlAndPath(url, path_);
        if (whileOpen) {
            QTimer::singleShot(0, dlg_.get(), whileOpen);
        }
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            timedOut_ = true;
            dlg_->reject();
        });
        watchdog.start(15000);
        dlg_->DoModal();
        ASSERT_FALSE(timedOut_) << "the window did not close by itself";
    }

    QTemporaryDir folder_;
    std::string path_;
    std::shared_ptr<QtMainWindowChannel> channel_;
    std::unique_ptr<CUpdateDlg> dlg_ = std::make_unique<CUpdateDlg>();
    std::vector<unsigned> notices_;
    std::function<void(unsigned)> onNotice_;
    bool timedOut_ = false;
};

TEST_F(UpdateDlgAttempt, CompleteDownloadAsksForTheHandOverAndCloses) {
    const std::string body(3 * UpdateDownload::kBlockBytes + 5, 'i');
    UpdateTestServer server(UpdateTestServer::okReply(body));
    bool openDuringHandOver = false;
    onNotice_ = [&](unsigned code) {
        if (code == NOTICE_UPDATE_DOWNLOADED) {
            openDuringHandOver = dlg_->isVisible();
        }
    };
    runModal(server.url());
    EXPECT_EQ(notices_, std::vector<unsigned>{NOTICE_UPDATE_DOWNLOADED});
    EXPECT_TRUE(openDuringHandOver);
    EXPECT_FALSE(dlg_->isVisible());
    QFile file(QString::fromStdString(path_));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), body);
    // The progress the thread reported has reached the window.
    spinUntil([&] { return dlg_->percentText() == QStringLiteral("100.0%"); }, 2000);
    EXPECT_EQ(dlg_->percentText(), QStringLiteral("100.0%"));
}

TEST_F(UpdateDlgAttempt, RefusedConnectionReportsTheFailureAndCloses) {
    runModal("http://127.0.0.1:" + std::to_string(UpdateTestServer::closedPort()) + "/setup.bin");
    EXPECT_EQ(notices_, std::vector<unsigned>{NOTICE_UPDATE_FAILED});
    EXPECT_FALSE(dlg_->isDownloadRunning());
}

TEST_F(UpdateDlgAttempt, RedirectClosesWithoutNotice) {
    UpdateTestServer server(
        "HTTP/1.1 302 Found\r\nLocation: /other.bin\r\nContent-Length: 0\r\n\r\n");
    runModal(server.url());
    EXPECT_TRUE(notices_.empty());
    EXPECT_EQ(server.requests(), 1);
}

TEST_F(UpdateDlgAttempt, CancelDuringTheTransferClosesWithoutTipOrHandOver) {
    // Part of the body, then the server stops sending.
    UpdateTestServer server(
        "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(10000, 'p'), true);
    runModal(server.url(), [this] {
        // Three whole blocks arrive, the fourth never completes.
        spinUntil([this] { return dlg_->percentText() == QStringLiteral("9.2%"); });
        dlg_->cancelButton()->click();
    });
    EXPECT_TRUE(notices_.empty());
    EXPECT_FALSE(dlg_->isDownloadRunning());
    EXPECT_EQ(dlg_->percentText(), QStringLiteral("9.2%"));
}

TEST_F(UpdateDlgAttempt, EveryShowingStartsFromTheInitialLook) {
    UpdateTestServer held(
        "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(10000, 'p'), true);
    runModal(held.url(), [this] {
        spinUntil([this] { return dlg_->percentText() != QStringLiteral("0"); });
        dlg_->cancelButton()->click();
    });
    QString shownAtStart;
    int valueAtStart = -1;
    runModal("http://127.0.0.1:" + std::to_string(UpdateTestServer::closedPort()) + "/x", [&] {
        shownAtStart = dlg_->percentText();
        valueAtStart = dlg_->progressValue();
    });
    EXPECT_EQ(shownAtStart, QStringLiteral("0"));
    EXPECT_EQ(valueAtStart, 0);
}

// ---- the updater's command line ----

struct HandOverCase {
    const char* name;
    const char* executable;
    const char* installer;
    const char* parameters;
};

void PrintTo(const HandOverCase& c, std::ostream* os) {
    *os << c.name;
}

class UpdateHandOverText : public ::testing::TestWithParam<HandOverCase> {};

TEST_P(UpdateHandOverText, QuotesTheImageNameThenTheInstaller) {
    const auto& c = GetParam();
    const UpdateHandOver handOver =
        makeUpdateHandOver("/tmp/FenwixUpdate", c.executable, c.installer);
    EXPECT_EQ(handOver.program, "/tmp/FenwixUpdate");
    EXPECT_EQ(handOver.parameterText(), c.parameters);
    ASSERT_EQ(handOver.arguments.size(), 2u);
    EXPECT_EQ(handOver.arguments[1], c.installer);
}

INSTANTIATE_TEST_SUITE_P(
    Executables, UpdateHandOverText,
    ::testing::Values(
        HandOverCase{"WindowsName", "FenwixStuDesktop.exe", "C:\\T\\FenwixStuDesktopupdate.exe",
                     "\"FenwixStuDesktop.exe\" \"C:\\T\\FenwixStuDesktopupdate.exe\""},
        HandOverCase{"ProgramFileWithoutExtension", "FenwixStuDesktop",
                     "/tmp/FenwixStuDesktopupdate",
                     "\"FenwixStuDesktop.exe\" \"/tmp/FenwixStuDesktopupdate\""},
        HandOverCase{"BlanksInThePath", "FenwixStuDesktop", "/tmp/my files/setup",
                     "\"FenwixStuDesktop.exe\" \"/tmp/my files/setup\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateFileNames, InstallerAndUpdaterFilesFollowTheImageNames) {
    EXPECT_EQ(installerImageName("FenwixStuDesktop.exe"), "FenwixStuDesktopupdate.exe");
    EXPECT_EQ(installerImageName("FenwixStuDesktop"), "FenwixStuDesktopupdate.exe");
    // Program files carry no extension here.
    EXPECT_EQ(programFileOfImage("FenwixUpdate.exe"), "FenwixUpdate");
    EXPECT_EQ(programFileOfImage("FenwixUpdate.EXE"), "FenwixUpdate");
    EXPECT_EQ(programFileOfImage("FenwixStuDesktopupdate.exe"), "FenwixStuDesktopupdate");
    EXPECT_EQ(programFileOfImage("FenwixUpdate"), "FenwixUpdate");
}

TEST(UpdateFileNames, CountsUtf16UnitsOfTheCommandLine) {
    EXPECT_EQ(utf16Units("abc"), 3u);
    EXPECT_EQ(utf16Units("系统"), 2u);              // three bytes each, one unit each
    EXPECT_EQ(utf16Units("\xF0\x9F\x98\x80"), 2u);  // a surrogate pair
}

}  // namespace
