// The controller's side of entering a class: the local start (enter-class button, Alt+E), the
// user-mode attempt with its countdown, the single fallback to a guest attempt, the outcome
// events of the conference session and what joining and leaving a class change.
#include <json/json.h>

#include <memory>
#include <string>

#include "app/classflowpeers.h"
#include "app/fenwixdlg.h"
#include "jsontext/jsontext.h"
#include "logging/log4z.h"
#include "service/commonutil.h"
#include "service/mainwindowevents.h"

namespace {

const char* const kEntering = "正在进入教室，请耐心等待";
const char* const kRetrying = "现在网络较差，已重新进入，请耐心等待";
const char* const kTimedOutRetrying = "现在网络较差，进入失败，正在重新进入";
const char* const kGaveUp = "网络较差，入会失败，请重新进入或咨询客服小二";

constexpr int kClickSettleMs = 100;
constexpr int kGuestAfterJoinFailureMs = 2000;
constexpr int kGuestJoinSettleMs = 2000;
constexpr int kStartFixDelayMs = 3000;

}  // namespace

void CFenwixDlg::OnEnterClassClicked() {
    Sleep(kClickSettleMs);
    if (m_bEntering) {
        LOGI("clicked enter plan room again");
        return;
    }
    m_bEntering = true;
    LOGI("first clicked enter plan room");
    ClassFlowPeers& peers = classPeers();
    peers.clearChatSenderUri();
    CComConfig* config = CComConfig::getInstance();
    if (config->getCheckAudioOut()) {
        peers.applyDriverNames();
    }
    peers.showMessage(kEntering, false);
    config->setAppStatus(2);
    peers.reportAppStatus();
    peers.requestPlanRoom();
}

void CFenwixDlg::OnEnterRoomDone() {
    LOGI("clicked enter plan room finish");
    m_bEntering = false;
}

void CFenwixDlg::OnLoginBegins() {
    LOGI("收到登录消息，开始用户模式登录");
    m_nLoginPhase = 1;
    classPeers().startCountdown();
    CComConfig::getInstance()->setLoginIdle(false);
}

void CFenwixDlg::OnEnteringClass() {
    classPeers().showMessage(kEntering, false);
}

void CFenwixDlg::StartGuestAttempt(const char* why) {
    m_nLoginPhase = 2;
    ClassFlowPeers& peers = classPeers();
    peers.requestGuestLogin();
    LOGI(why);
    peers.startCountdown();
    CComConfig::getInstance()->setLoginIdle(false);
}

void CFenwixDlg::GiveUpGuestAttempt() {
    CComConfig* config = CComConfig::getInstance();
    config->setGuestForced(0);
    ClassFlowPeers& peers = classPeers();
    peers.stopCountdown();
    config->setLoginIdle(true);
    peers.showMessage(kGaveUp, true);
}

bool CFenwixDlg::UserAttemptRunning() const {
    return CComConfig::getInstance()->getGuestForced() == 0 && m_nLoginPhase != 2;
}

void CFenwixDlg::OnClassJoined() {
    CComConfig* config = CComConfig::getInstance();
    ClassFlowPeers& peers = classPeers();
    if (config->getGuestForced() != 0) {
        Sleep(kGuestJoinSettleMs);
    }
    peers.setLayout(1);
    config->setAppStatus(3);
    peers.reportAppStatus();
    peers.startToolBarClock();
    SendNotice(NOTICE_CURTAIN, config->getScreenFixed() ? 1 : 0);
    // The library fills at most 512 bytes of router name.
    std::string route = peers.getRouterName();
    if (route.size() > 511) {
        route.resize(511);
    }
    config->setRoute(route);
    peers.restoreMicVolume();
    // Failures are counted per class: a retry left unanswered by the last class must not make
    // this class's first failure its last.
    m_nFixAttempts = 0;
    SetMainTimer(TIMER_START_FIX, kStartFixDelayMs);
    if (config->getIsPull()) {
        m_nMicState = 0;
        m_nCameraState = 0;
        config->setPushStarted(false);
        config->setPreviewStarted(false);
        if (peers.setPullDeviceByVidyo()) {
            CheckLivePreview();
        } else {
            LOGE("setPullDeviceByVidyo failed");
        }
    }
    LOGI("用户模式登录成功");
    m_nLoginPhase = 0;
    peers.stopCountdown();
    config->setLoginIdle(true);
}

void CFenwixDlg::OnLoginFailed() {
    if (UserAttemptRunning()) {
        LOGI("用户模式登录失败");
        classPeers().stopCountdown();
        classPeers().showMessage(kRetrying, true);
        StartGuestAttempt("用户模式登录失败，游客模式开始登录");
        return;
    }
    LOGI("游客模式登录失败");
    GiveUpGuestAttempt();
}

void CFenwixDlg::OnJoinFailed() {
    CComConfig::getInstance()->setAppStatus(1);
    classPeers().reportAppStatus();
    if (UserAttemptRunning()) {
        LOGI("用户模式登录成功，入会失败");
        classPeers().stopCountdown();
        classPeers().showMessage(kRetrying, true);
        Sleep(kGuestAfterJoinFailureMs);
        StartGuestAttempt("用户模式入会失败，游客模式开始登录");
        return;
    }
    LOGI("游客模式入会失败");
    GiveUpGuestAttempt();
}

void CFenwixDlg::OnEnterTimeout() {
    CComConfig* config = CComConfig::getInstance();
    config->setLoginIdle(true);
    if (m_nLoginPhase == 1) {
        LOGI("用户模式登录超时");
        classPeers().showMessage(kTimedOutRetrying, true);
        StartGuestAttempt("用户模式登录超时，游客模式开始登录");
    } else if (m_nLoginPhase == 2) {
        LOGI("游客模式登录超时");
        config->setGuestForced(0);
        classPeers().showMessage(kGaveUp, true);
        m_nLoginPhase = 0;
        classPeers().stopCountdown();
        config->setLoginIdle(true);
    }
}

void CFenwixDlg::OnAnalyzeLogoutSuccess() {
    LOGI("OnAnalyzeLogoutSuccess");
    ShowTerminalStatus(1);
    CComConfig* config = CComConfig::getInstance();
    ClassFlowPeers& peers = classPeers();
    config->setAppStatus(1);
    peers.reportAppStatus();
    peers.setScreenFixNeeded();
    config->setScreenFixed(false);
    peers.reportAppStatus();
    peers.clearChatSenderUri();
    if (config->getIsPull()) {
        peers.stopPreview();
        if (config->getPushStarted()) {
            peers.stopPush();
        }
    }
}

void CFenwixDlg::OnAnalyzeLogoutSuccessBack() {
    LOGI("OnAnalyzeLogoutSuccessBack");
    if (CComConfig::getInstance()->getIsPull()) {
        classPeers().stopPush();
    }
}

void CFenwixDlg::OnDeviceMuteChanged(const std::string* text) {
    Json::Value record;
    if (text == nullptr || !jsontext::parseJson(*text, record) || !record.isObject()) {
        return;
    }
    const int device = record["device"].isInt() ? record["device"].asInt() : -1;
    const bool reportedMute = record["mute"].isBool() && record["mute"].asBool();
    const int from = record["from"].isInt() ? record["from"].asInt() : 0;
    CComConfig* config = CComConfig::getInstance();
    ClassFlowPeers& peers = classPeers();
    bool muted = reportedMute;
    switch (device) {
        case 0:
            config->setCameraMuted(muted);
            break;
        case 1:
            muted = peers.isMicrophoneMuted();
            LOGI("麦克风 实际状态: " << (muted ? 1 : 0));
            config->setMicMuted(muted);
            break;
        case 2:
            config->setSpeakerMuted(muted);
            break;
        default:
            return;
    }
    peers.showDeviceMuted(device, muted);
    Json::Value entry(Json::objectValue);
    entry["type"] = device;
    entry["status"] = !muted;
    entry["from"] = from;
    Json::Value list(Json::arrayValue);
    list.append(entry);
    peers.reportDynamicInfo(jsontext::compactJsonLine(list));
    if (device == 1 && from == 1 && reportedMute && config->getPushedLogin()) {
        LOGI("第一次由服务器关闭麦克风，本地麦克风开关开启");
        config->setPushedLogin(false);
        config->setChangeMuteMicFromServer(false);
        peers.muteMicrophone(false);
    }
}

void CFenwixDlg::OnLeaveClassClicked() {
    classPeers().exitConference();
    CComConfig::getInstance()->setScreenFixed(false);
    classPeers().reportAppStatus();
}
