// What the terminal shows: the terminal status (start-up, idle screen, waiting picture, class
// video) with the rule that the conference is heard only while the video shows, the network
// state (icon, tip, offline notice), and when the live push and its preview start.
#include <string>

#include "app/classflowpeers.h"
#include "app/fenwixdlg.h"
#include "logging/log4z.h"
#include "service/commonutil.h"
#include "service/mainwindowevents.h"
#include "ui/mystaticctrl.h"
#include "ui/offlinedlg.h"

namespace {

const char* const kImageWait = "./images/main/wait.png";
const char* const kImageOffline = "./images/main/offline.png";
const char* const kImageNetNormal = "./images/main/net_normal.png";
const char* const kImageNetError = "./images/main/net_error.png";
const char* const kNetworkFailed = "网络连接失败，请检查网络是否连接";
const char* const kOfflineText = "当前网络异常，请检查网络是否连接";

// A loss is shown at this many unreachable reports counted since the last change shown.
constexpr int kDisconnectsShown = 3;
constexpr int kOfflineNoticeMs = 3000;

}  // namespace

void CFenwixDlg::SetMainWindowVisible(bool visible) {
    // The base class's own hiding would end the modal loop, and with it the terminal: the idle
    // screen only steps aside while a class shows.
    QWidget::setVisible(visible);  // NOLINT(bugprone-parent-virtual-call): on purpose
}

void CFenwixDlg::ShowTerminalStatus(int status) {
    ClassFlowPeers& peers = classPeers();
    peers.hideMessage();
    peers.muteSpeaker(true);
    LOGI("当前状态 : status = " << status);
    CComConfig* config = CComConfig::getInstance();
    using Window = ClassFlowPeers::Window;
    switch (status) {
        case 0:
            config->setAppStatus(0);
            config->setScreenFixed(false);
            SetMainWindowVisible(false);
            for (Window w : {Window::Screen, Window::Video, Window::Preview, Window::ToolBar}) {
                peers.setWindowVisible(w, false);
            }
            break;
        case 1: {
            config->setAppStatus(1);
            config->setScreenFixed(false);
            config->setPushedLogin(true);
            const int volume = peers.getMicVolume();
            config->setMicVolume(volume);
            config->setPrevMicVolume(volume);
            SetMainWindowVisible(true);
            for (Window w : {Window::Screen, Window::Video, Window::Preview, Window::ToolBar}) {
                peers.setWindowVisible(w, false);
            }
            config->setGuestForced(0);
            config->setIsGuest(false);
            break;
        }
        case 2:
            config->setAppStatus(3);
            config->setScreenFixed(false);
            peers.setScreenImage(m_bNetConnected ? kImageWait : kImageOffline);
            peers.setWindowVisible(Window::Screen, true);
            SetMainWindowVisible(false);
            peers.setWindowVisible(Window::Video, false);
            peers.setWindowVisible(Window::Preview, false);
            break;
        case 3:
            if (m_bFixSucceeded != 0) {
                LOGI("固屏成功，等待下次固屏");
                config->setAppStatus(3);
                config->setScreenFixed(true);
                peers.muteSpeaker(false);
                peers.setWindowVisible(Window::Video, true);
                SetMainWindowVisible(false);
                peers.setWindowVisible(Window::Screen, false);
            } else {
                LOGI("固屏失败，等待下次固屏");
            }
            break;
        default:
            break;
    }
    peers.reportAppStatus();
}

void CFenwixDlg::OnCurtain(std::intptr_t fixed) {
    if (CComConfig::getInstance()->getAppStatus() == 3) {
        ShowTerminalStatus(fixed != 0 ? 3 : 2);
    }
}

void CFenwixDlg::OnNetworkState(bool reachable) {
    if (reachable == m_bNetConnected && !m_bFirstNetReport) {
        return;
    }
    if (reachable) {
        ShowNetIcon(kImageNetNormal);
        if (m_bRegistered == 0) {
            classPeers().registerDevice();
        }
        m_nDisconnects = 0;
        m_bNetConnected = true;
        LOGI("网络已连接");
        if (classPeers().isOfflineNoticeVisible()) {
            classPeers().setOfflineNoticeVisible(false);
        }
        m_bFirstNetReport = false;
        return;
    }
    if (++m_nDisconnects < kDisconnectsShown) {
        return;
    }
    ShowNetIcon(kImageNetError);
    const int appStatus = CComConfig::getInstance()->getAppStatus();
    if (appStatus == 1) {
        classPeers().showMessage(kNetworkFailed, true);
        LOGI("网络已断开，二维码界面");
    } else if (appStatus == 3) {
        if (classPeers().hasOfflineNotice()) {
            classPeers().setOfflineNoticeVisible(true);
            SetMainTimer(TIMER_HIDE_OFFLINE, kOfflineNoticeMs);
            LOGI("网络已断开，视频界面");
        } else {
            LOGE("网络已断开，视频界面 m_pOfflineDlg is NULL");
        }
    }
    m_nDisconnects = 0;
    m_bNetConnected = false;
    LOGI("网络已断开");
    m_bFirstNetReport = false;
}

void CFenwixDlg::ShowNetIcon(const char* path) {
    if (m_picNet != nullptr) {
        m_picNet->SetImage(QString::fromUtf8(path));
    }
}

void CFenwixDlg::CreateOfflineNotice() {
    m_pOfflineDlg = new COfflineDlg(this);
    m_pOfflineDlg->SetText(QString::fromUtf8(kOfflineText));
    m_pOfflineDlg->hide();
}

void CFenwixDlg::PlaceOfflineNotice() {
    if (m_pOfflineDlg != nullptr) {
        m_pOfflineDlg->move((width() - m_pOfflineDlg->width()) / 2,
                            static_cast<int>(0.75 * height()));
    }
}

void CFenwixDlg::DestroyOfflineNotice() {
    delete m_pOfflineDlg;
    m_pOfflineDlg = nullptr;
}

void CFenwixDlg::OnHideOfflineTimer() {
    KillMainTimer(TIMER_HIDE_OFFLINE);
    if (classPeers().hasOfflineNotice()) {
        classPeers().setOfflineNoticeVisible(false);
    }
}

void CFenwixDlg::EvaluateCameraState() {
    LOGI("摄像头状态 = " << m_nCameraState << " 麦克风状态 = " << m_nMicState);
    if (m_nCameraState != 1) {
        return;
    }
    CComConfig* config = CComConfig::getInstance();
    if (config->getAppStatus() != 3) {
        LOGI("不在会议室中，收到摄像头打开，不推流");
        return;
    }
    LOGI("在会议室中，摄像头打开");
    if (!config->getPushStarted()) {
        LOGI("开始推流");
        config->setPushStarted(true);
        classPeers().startLive();
    }
}

void CFenwixDlg::CheckLivePreview() {
    CComConfig* config = CComConfig::getInstance();
    if (config->getPreviewStarted()) {
        LOGI("直播云已经Preview");
        return;
    }
    config->setPreviewStarted(true);
    LOGI("检测直播云驱动");
    classPeers().startLivePreview();
}
