// The controller's part of the push commands and the teacher's conference events: event 1027
// hands a parsed copy of the push payload to the backend client, 3001 the chat envelope, 3004
// the uri of a removed source (which may end in 3009 when it is the fixed one).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <string>

#include "app/fenwixdlg.h"
#include "service/commonutil.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"

namespace {

class ControllerPush : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        previous_ = QDir::currentPath();
        QDir(dir_.path()).mkpath(QStringLiteral("images/main"));
        QDir(dir_.path()).mkpath(QStringLiteral("ini"));
        ASSERT_TRUE(QDir::setCurrent(dir_.path()));
        qputenv("FENWIX_INI_DIR", (dir_.path() + QStringLiteral("/ini")).toLocal8Bit());
        QFile ini(QStringLiteral("ini/desktop.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        // Nothing answers here: requests fail at once.
        ini.write(
            "[CONFIG]\ncheckaudioout=0\napibaseurl=http://127.0.0.1:9\n"
            "pushbaseurl=http://127.0.0.1:9\n");
        ini.close();
        dlg_ = std::make_unique<CFenwixDlg>();
        dlg_->StartUp();
    }

    void TearDown() override {
        dlg_.reset();
        qunsetenv("FENWIX_INI_DIR");
        QDir::setCurrent(previous_);
    }

    // Sends an event carrying a text, as the push client and the conference session do.
    void sendText(unsigned msg, const std::string& text) {
        dlg_->channel().send(msg, 0, reinterpret_cast<std::intptr_t>(&text));
    }

    CComConfig& config() { return *CComConfig::getInstance(); }

    QTemporaryDir dir_;
    QString previous_;
    std::unique_ptr<CFenwixDlg> dlg_;
};

TEST_F(ControllerPush, PushPayloadReachesThePushHandler) {
    config().setSpeakerVolume(1);
    sendText(
        WM_PUSH_MESSAGE,
        R"({"type":"desktopRoomCmd","data":{"fenwixcmd":"speakerVolumnChange","volumn":"777"}})");
    EXPECT_EQ(config().getSpeakerVolume(), 777);
}

TEST_F(ControllerPush, PushPayloadThatIsNoJsonIsIgnored) {
    config().setSpeakerVolume(1);
    sendText(WM_PUSH_MESSAGE, "{\"type\":\"desktopRoomCmd\",");
    dlg_->channel().send(WM_PUSH_MESSAGE, 0, 0);
    EXPECT_EQ(config().getSpeakerVolume(), 1);
}

TEST_F(ControllerPush, ChatEnvelopeRecordsItsSender) {
    sendText(WM_CONF_CHAT, R"({"uri":"teacher@room","msg":"hi","displayName":"T","type":1})");
    EXPECT_EQ(dlg_->studentServer().chatSenderUri(), "teacher@room");
}

TEST_F(ControllerPush, RemovedFixedSourceAsksForANewFixAndKeepsTheClass) {
    dlg_->studentServer().setChatSenderUri("teacher@room");
    dlg_->studentServer().setScreenFixNeeded(false);
    config().setInConference(true);
    config().setAppStatus(1);

    sendText(WM_CONF_SOURCE_REMOVED, R"({"uri":"pupil@room"})");
    sendText(WM_CONF_SOURCE_REMOVED, "not json");
    EXPECT_FALSE(dlg_->studentServer().screenFixNeeded());
    EXPECT_EQ(config().getAppStatus(), 1);

    sendText(WM_CONF_SOURCE_REMOVED, R"({"uri":"teacher@room"})");
    EXPECT_TRUE(dlg_->studentServer().screenFixNeeded());
    EXPECT_EQ(config().getAppStatus(), 3);  // the handler of 3009 ran
}

}  // namespace
