// Fakes for the class flow's peers and a fixture that runs the real controller against them in
// a working folder of its own. The fakes record every call in order and keep the state a real
// peer would show (countdown running, windows shown, speaker muted).
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/classflowpeers.h"
#include "app/fenwixdlg.h"
#include "service/commonutil.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "support/logcapture.h"

struct ShownMessage {
    std::string text;
    bool autoHide;
    bool operator==(const ShownMessage& o) const {
        return text == o.text && autoHide == o.autoHide;
    }
};

inline void PrintTo(const ShownMessage& m, std::ostream* os) {
    *os << "\"" << m.text << "\"" << (m.autoHide ? " (3 s)" : " (stays)");
}

class FakeClassPeers : public ClassFlowPeers {
public:
    // What the fakes answer.
    bool microphoneMutedAnswer = false;
    std::string routerName = "router-7";
    bool pullDeviceOk = true;
    int micVolumeAnswer = 40000;
    bool offlineNoticeExists = true;

    // What they saw.
    std::vector<std::string> calls;
    std::vector<ShownMessage> messages;
    std::vector<std::string> dynamicReports;
    std::map<Window, bool> windows;
    std::string screenImage;
    bool countdownRunning = false;
    bool speakerMuted = false;
    bool offlineVisible = false;
    int speakerVolume = -1;
    std::map<int, bool> deviceButtons;

    int count(const std::string& call) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }
    bool shown(Window w) const {
        auto it = windows.find(w);
        return it != windows.end() && it->second;
    }

    void reportAppStatus() override { calls.push_back("reportAppStatus"); }
    void reportDynamicInfo(const std::string& json) override {
        calls.push_back("reportDynamicInfo");
        dynamicReports.push_back(json);
    }
    void reportCameraState() override { calls.push_back("reportCameraState"); }
    void registerDevice() override { calls.push_back("registerDevice"); }
    void requestPlanRoom() override { calls.push_back("requestPlanRoom"); }
    void requestGuestLogin() override {
        calls.push_back("requestGuestLogin");
        CComConfig::getInstance()->setGuestForced(1);  // as the backend client does
    }
    void restoreMicVolume() override { calls.push_back("restoreMicVolume"); }
    void startScreenFix() override { calls.push_back("startScreenFix"); }
    void setScreenFixNeeded() override { calls.push_back("setScreenFixNeeded"); }
    void clearChatSenderUri() override { calls.push_back("clearChatSenderUri"); }
    void applyDriverNames() override { calls.push_back("applyDriverNames"); }
    bool setPullDeviceByVidyo() override {
        calls.push_back("setPullDeviceByVidyo");
        return pullDeviceOk;
    }
    void exitConference() override { calls.push_back("exitConference"); }
    bool isMicrophoneMuted() override { return microphoneMutedAnswer; }
    void setLayout(int layout) override { calls.push_back("setLayout " + std::to_string(layout)); }
    std::string getRouterName() override { return routerName; }
    void muteSpeaker(bool mute) override {
        calls.push_back(mute ? "muteSpeaker on" : "muteSpeaker off");
        speakerMuted = mute;
    }
    void muteMicrophone(bool mute) override {
        calls.push_back(mute ? "muteMicrophone on" : "muteMicrophone off");
    }
    void muteCamera(bool mute) override {
        calls.push_back(mute ? "muteCamera on" : "muteCamera off");
    }
    int getMicVolume() override { return micVolumeAnswer; }
    void setSpeakerVolume(int volume) override {
        calls.push_back("setSpeakerVolume " + std::to_string(volume));
        speakerVolume = volume;
    }
    void startLive() override { calls.push_back("startLive"); }
    void stopPreview() override { calls.push_back("stopPreview"); }
    void stopPush() override { calls.push_back("stopPush"); }
    void startLivePreview() override { calls.push_back("startLivePreview"); }
    void showMessage(const std::string& text, bool autoHide) override {
        calls.push_back("showMessage");
        messages.push_back({text, autoHide});
    }
    void hideMessage() override { calls.push_back("hideMessage"); }
    void startCountdown() override {
        calls.push_back("startCountdown");
        countdownRunning = true;
    }
    void stopCountdown() override {
        calls.push_back("stopCountdown");
        countdownRunning = false;
    }
    void setWindowVisible(Window window, bool visible) override { windows[window] = visible; }
    void setScreenImage(const std::string& path) override { screenImage = path; }
    void startToolBarClock() override { calls.push_back("startToolBarClock"); }
    void showDeviceMuted(int device, bool muted) override { deviceButtons[device] = muted; }
    bool hasOfflineNotice() override { return offlineNoticeExists; }
    bool isOfflineNoticeVisible() override { return offlineNoticeExists && offlineVisible; }
    void setOfflineNoticeVisible(bool visible) override {
        calls.push_back(visible ? "offline shown" : "offline hidden");
        offlineVisible = visible;
    }
};

// The real controller in a working folder with the idle screen's pictures, its class-flow peers
// replaced by fakes and its pauses recorded instead of slept.
class ClassFlowTest : public ::testing::Test {
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
        ini.close();
        for (const char* name : {"bg1.png", "student.png", "net_error.png"}) {
            QImage image(40, 40, QImage::Format_ARGB32);
            image.fill(QColor(40, 120, 200));
            ASSERT_TRUE(image.save(QStringLiteral("images/main/") + QString::fromLatin1(name)));
        }
        dlg_ = std::make_unique<CFenwixDlg>();
        dlg_->setClassPeersForTesting(&peers_);
        dlg_->setSleepForTesting([this](int ms) { sleeps_.push_back(ms); });
        dlg_->StartUp();
        peers_ = FakeClassPeers();  // what start-up did is not what the tests look at
        log_.clear();
    }

    void TearDown() override {
        dlg_.reset();
        qunsetenv("FENWIX_INI_DIR");
        QDir::setCurrent(previous_);
    }

    CComConfig* config() { return CComConfig::getInstance(); }
    void notice(unsigned code, std::intptr_t lParam = 0) {
        dlg_->channel().send(WM_NOTICE, code, lParam);
    }
    void event(unsigned msg) { dlg_->channel().send(msg, 0, 0); }
    void event(unsigned msg, const std::string& text) {
        dlg_->channel().send(msg, 0, reinterpret_cast<std::intptr_t>(&text));
    }
    // Whether log lines holding each text appear in the order given.
    bool loggedInOrder(const std::vector<std::string>& texts) {
        const auto lines = log_.lines();
        std::size_t from = 0;
        for (const auto& text : texts) {
            auto it = std::find_if(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end(),
                                   [&](const std::string& l) { return l.find(text) != l.npos; });
            if (it == lines.end()) {
                return false;
            }
            from = static_cast<std::size_t>(it - lines.begin()) + 1;
        }
        return true;
    }

    QTemporaryDir dir_;
    QString previous_;
    LogCapture log_;
    FakeClassPeers peers_;
    std::vector<int> sleeps_;
    std::unique_ptr<CFenwixDlg> dlg_;
};
