// Screen fixing: pinning the teacher's video source three seconds after joining, judging each
// result (one retry, leaving the class after the second failure in a row) and the loss of the
// fixed source.

#include <string>

#include "app/classflowpeers.h"
#include "app/fenwixdlg.h"
#include "conference/sessionrecords.h"
#include "logging/log4z.h"
#include "service/commonutil.h"
#include "service/mainwindowevents.h"

namespace {

// The conference speaker volume set once the class has settled.
constexpr int kClassSpeakerVolume = 0x8000;
constexpr int kFailuresBeforeLeaving = 2;

}  // namespace

void CFenwixDlg::OnStartFixTimer() {
    KillMainTimer(TIMER_START_FIX);
    CComConfig* config = CComConfig::getInstance();
    if (config->getAppStatus() != 3) {
        return;
    }
    ClassFlowPeers& peers = classPeers();
    config->setChangeMuteMicFromServer(true);
    peers.reportCameraState();
    peers.setSpeakerVolume(kClassSpeakerVolume);
    config->setSpeakerVolume(kClassSpeakerVolume);
    peers.startScreenFix();
}

void CFenwixDlg::OnFixResult(const std::string* text) {
    ++m_nFixAttempts;
    const ScreenFixResult result =
        text != nullptr ? readScreenFixResult(*text) : ScreenFixResult::Unreadable;
    if (result == ScreenFixResult::Unreadable) {
        m_bFixSucceeded = 0;
        LOGW("screen fixing result is not a JSON object, counted as a failed attempt: "
             << (text != nullptr ? *text : std::string("(none)")));
        return;
    }
    m_bFixSucceeded = result == ScreenFixResult::Succeeded ? 1 : 0;
    if (m_bFixSucceeded != 0) {
        m_nFixAttempts = 0;
        return;
    }
    if (m_nFixAttempts >= kFailuresBeforeLeaving) {
        m_nFixAttempts = 0;
        LOGI("2次固屏失败 退出登录");
        classPeers().exitConference();
        return;
    }
    classPeers().setScreenFixNeeded();
    LOGI("固屏失败，重新固屏");
    classPeers().startScreenFix();
}

void CFenwixDlg::OnFixedSourceLost() {
    ShowTerminalStatus(2);
    CComConfig::getInstance()->setAppStatus(3);
    classPeers().reportAppStatus();
}
