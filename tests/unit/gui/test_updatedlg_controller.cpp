// The controller's self-update on the idle screen: the offer shows the update button and badge
// and downloads at once; a complete download hands over to the updater copied into the temporary
// folder; failures show the tip; a class that begins stops the download; the button retries.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/fenwixdlg.h"
#include "app/updatehandover.h"
#include "platform/process.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "support/logcapture.h"
#include "support_spin.h"
#include "support_updateserver.h"
#include "ui/mybuttonctrl.h"
#include "ui/mystaticctrl.h"

namespace {

const char* const kTipText = "系统升级失败，请检测网络后，重新更新";

std::string readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

bool showsText(QWidget* window, const char* text) {
    for (const auto* label : window->findChildren<QLabel*>()) {
        if (label->text() == QString::fromUtf8(text)) {
            return true;
        }
    }
    return false;
}

class ControllerUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        previous_ = QDir::currentPath();
        QDir root(dir_.path());
        root.mkpath(QStringLiteral("images/main"));
        root.mkpath(QStringLiteral("ini"));
        root.mkpath(QStringLiteral("tmp"));
        root.mkpath(QStringLiteral("program"));
        ASSERT_TRUE(QDir::setCurrent(dir_.path()));
        qputenv("FENWIX_INI_DIR", (dir_.path() + QStringLiteral("/ini")).toLocal8Bit());
        previousTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", (dir_.path() + QStringLiteral("/tmp")).toLocal8Bit());
        writeImage("bg1.png", 438, 470);
        writeImage("devicecheck_normal.png", 40, 50);
        writeImage("update_normal.png", 36, 44);
        writeImage("new.png", 30, 16);
        QFile updater(dir_.path() + QStringLiteral("/program/FenwixUpdate"));
        ASSERT_TRUE(updater.open(QIODevice::WriteOnly));
        updater.write("the updater program");
        updater.close();

        dlg_ = std::make_unique<CFenwixDlg>();
        dlg_->StartUp();
        dlg_->setUpdateHandOverForTesting((dir_.path() + QStringLiteral("/program/")).toStdString(),
                                          [this](const UpdateHandOver& handOver) {
                                              handOvers_.push_back(handOver);
                                              return true;
                                          },
                                          [this](const std::string& name) {
                                              killed_.push_back(name);
                                              return false;
                                          });
        // Closes the failure tip whenever it shows, as a person would.
        QObject::connect(&tipCloser_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && showsText(modal, kTipText)) {
                ++tipsShown_;
                if (whileTipOpen_) {
                    whileTipOpen_();
                }
                modal->close();
            }
        });
        tipCloser_.start(20);
    }

    void TearDown() override {
        tipCloser_.stop();
        dlg_.reset();
        qunsetenv("FENWIX_INI_DIR");
        qputenv("TMPDIR", previousTmp_);
        QDir::setCurrent(previous_);
    }

    static void writeImage(const char* name, int w, int h) {
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(QColor(40, 120, 200, 200));
        ASSERT_TRUE(image.save(QStringLiteral("images/main/") + QString::fromLatin1(name)));
    }

    // The offer as the backend client sends it; returns once the download window has closed.
    void offer(const std::string& url) {
        dlg_->channel().send(WM_NOTICE, NOTICE_UPDATE_OFFERED,
                             reinterpret_cast<std::intptr_t>(&url));
    }

    // Runs `action` inside the download window's loop once the window shows.
    void whileDownloading(std::function<void()> action) {
        QTimer::singleShot(0, dlg_.get(), [this, action] {
            spinUntil([this] { return dlg_->updateDialog().isVisible(); });
            action();
        });
    }

    QString tmp(const char* name) const {
        return dir_.path() + QStringLiteral("/tmp/") + QString::fromUtf8(name);
    }

    QTemporaryDir dir_;
    QString previous_;
    QByteArray previousTmp_;
    std::unique_ptr<CFenwixDlg> dlg_;
    std::vector<UpdateHandOver> handOvers_;
    std::vector<std::string> killed_;
    QTimer tipCloser_;
    int tipsShown_ = 0;
    std::function<void()> whileTipOpen_;
};

TEST_F(ControllerUpdate, ButtonAndBadgeWaitHiddenBelowTheDeviceCheckButton) {
    const QRect check = dlg_->deviceCheckButton()->geometry();
    const QRect button = dlg_->updateButton()->geometry();
    const QRect badge = dlg_->newVersionBadge()->geometry();
    EXPECT_FALSE(dlg_->updateButton()->isVisible());
    EXPECT_FALSE(dlg_->newVersionBadge()->isVisible());
    EXPECT_EQ(button, QRect(check.left(), check.top() + check.height(), 36, 44));
    EXPECT_EQ(badge, QRect(button.left() + button.width() + 2, button.top() + 12, 30, 16));
    EXPECT_EQ(dlg_->updateButton()->id(), ID_UPDATE);
}

TEST_F(ControllerUpdate, OfferDownloadsAndHandsOverToTheUpdaterCopy) {
    const std::string body(5 * 3072 + 99, 'I');
    UpdateTestServer server(UpdateTestServer::okReply(body));
    offer(server.url("/files/setup?v=3"));

    EXPECT_TRUE(dlg_->updateButton()->isVisible());
    EXPECT_TRUE(dlg_->newVersionBadge()->isVisible());
    EXPECT_EQ(dlg_->installUrl(), server.url("/files/setup?v=3"));
    const std::string exe = fenwix::platform::executableName();
    const std::string installer = tmp("").toStdString() + exe + "update";
    EXPECT_EQ(dlg_->installerPath(), installer);
    EXPECT_EQ(readFile(QString::fromStdString(installer)), body);
    // An old installer and an old updater are ended first, by their image names.
    ASSERT_EQ(killed_.size(), 2u);
    EXPECT_EQ(killed_[0], exe + "update.exe");
    EXPECT_EQ(killed_[1], "FenwixUpdate.exe");

    ASSERT_EQ(handOvers_.size(), 1u);
    EXPECT_EQ(handOvers_[0].program, tmp("FenwixUpdate").toStdString());
    EXPECT_EQ(handOvers_[0].arguments, (std::vector<std::string>{exe + ".exe", installer}));
    EXPECT_EQ(readFile(tmp("FenwixUpdate")), "the updater program");
    EXPECT_FALSE(dlg_->updateDialog().isVisible());
    EXPECT_EQ(tipsShown_, 0);
}

TEST_F(ControllerUpdate, RefusedDownloadShowsTheTipAndKeepsTheButton) {
    offer("http://127.0.0.1:" + std::to_string(UpdateTestServer::closedPort()) + "/setup");
    EXPECT_EQ(tipsShown_, 1);
    EXPECT_TRUE(handOvers_.empty());
    EXPECT_TRUE(dlg_->updateButton()->isVisible());
    EXPECT_FALSE(dlg_->updateDialog().isVisible());
}

TEST_F(ControllerUpdate, ClassBeginningWhileTheFailureTipIsOpenDoesNotHang) {
    // The download thread waits for the tip to close; the stop runs inside the tip's loop.
    bool stopReturned = false;
    whileTipOpen_ = [&] {
        dlg_->channel().send(WM_NOTICE, NOTICE_UPDATE_STOPPED, 0);
        stopReturned = true;
    };
    offer("http://127.0.0.1:" + std::to_string(UpdateTestServer::closedPort()) + "/setup");
    EXPECT_TRUE(stopReturned);
    EXPECT_EQ(tipsShown_, 1);
    EXPECT_TRUE(spinUntil([this] { return !dlg_->updateDialog().isVisible(); }));
    EXPECT_FALSE(dlg_->updateDialog().isDownloadRunning());
    EXPECT_TRUE(handOvers_.empty());
}

TEST_F(ControllerUpdate, UpdateButtonRetriesWithTheStoredAddress) {
    UpdateTestServer server("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    offer(server.url());
    EXPECT_EQ(server.requests(), 1);
    EXPECT_EQ(tipsShown_, 0);  // a refused installer is no network failure
    dlg_->channel().send(WM_CTRL_CLICKED, ID_UPDATE, 0);
    EXPECT_EQ(server.requests(), 2);
    EXPECT_TRUE(handOvers_.empty());
}

TEST_F(ControllerUpdate, SecondOfferDuringADownloadOnlyLogsAndAClassStopsTheDownload) {
    LogCapture log;
    UpdateTestServer held(
        "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(5000, 'h'), true);
    UpdateTestServer other(UpdateTestServer::okReply("other installer"));
    bool stillOpenAfterSecondOffer = false;
    whileDownloading([&] {
        offer(other.url());
        stillOpenAfterSecondOffer = dlg_->updateDialog().isVisible();
        // A pushed log-in stops the update before the class begins.
        dlg_->channel().send(WM_NOTICE, NOTICE_UPDATE_STOPPED, 0);
    });
    offer(held.url());

    EXPECT_TRUE(stillOpenAfterSecondOffer);
    EXPECT_EQ(other.requests(), 0);
    EXPECT_EQ(dlg_->installUrl(), other.url());  // kept for the next attempt
    EXPECT_FALSE(dlg_->updateDialog().isVisible());
    EXPECT_TRUE(handOvers_.empty());
    EXPECT_EQ(tipsShown_, 0);
    EXPECT_TRUE(log.contains("m_UpdateDlg is not null"));
    EXPECT_TRUE(log.contains("updateStop"));
}

TEST_F(ControllerUpdate, StopWithoutADownloadChangesNothing) {
    dlg_->channel().send(WM_NOTICE, NOTICE_UPDATE_STOPPED, 0);
    EXPECT_FALSE(dlg_->updateDialog().isVisible());
    EXPECT_FALSE(dlg_->updateButton()->isVisible());
}

TEST_F(ControllerUpdate, MissingUpdaterStopsTheHandOver) {
    LogCapture log;
    QFile::remove(dir_.path() + QStringLiteral("/program/FenwixUpdate"));
    dlg_->channel().send(WM_NOTICE, NOTICE_UPDATE_DOWNLOADED, 0);
    EXPECT_TRUE(handOvers_.empty());
    EXPECT_FALSE(QFile::exists(tmp("FenwixUpdate")));
    EXPECT_TRUE(log.contains("copy FenwixUpdate.exe to system temp failed"));
}

TEST_F(ControllerUpdate, OverlongCommandLineIsRefused) {
    LogCapture log;
    // A temporary folder deep enough that the two quoted arguments exceed the command buffer.
    const QString segment(200, QLatin1Char('n'));
    const QString deep = tmp("") + segment + QLatin1Char('/') + segment + QLatin1Char('/') +
                         segment + QLatin1Char('/');
    ASSERT_TRUE(QDir().mkpath(deep));
    qputenv("TMPDIR", deep.toLocal8Bit());
    UpdateTestServer server(UpdateTestServer::okReply("installer"));
    offer(server.url());
    EXPECT_TRUE(handOvers_.empty());
    EXPECT_TRUE(log.contains("update hand-over refused"));
}

}  // namespace
