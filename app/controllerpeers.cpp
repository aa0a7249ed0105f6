#include "app/controllerpeers.h"

#include <QString>
#include <QWidget>

#include "app/fenwixdlg.h"
#include "logging/log4z.h"
#include "ui/mymsgtipctrl.h"
#include "ui/mytimerbuttonctrl.h"
#include "ui/previewdlg.h"
#include "ui/screendlg.h"
#include "ui/tooldlg.h"
#include "ui/videodlg.h"

namespace {

void missing(const char* what) {
    LOGD(what << ": its component is not part of this build");
}

}  // namespace

void ControllerPeers::reportAppStatus() {
    m_dlg.m_studentServer.reportAppStatus();
}

void ControllerPeers::reportDynamicInfo(const std::string& jsonArray) {
    m_dlg.m_studentServer.reportDynamicInfo(jsonArray);
}

void ControllerPeers::reportCameraState() {
    m_dlg.m_studentServer.reportCameraState();
}

void ControllerPeers::registerDevice() {
    m_dlg.m_studentServer.registerDevice();
}

void ControllerPeers::requestPlanRoom() {
    m_dlg.m_studentServer.requestPlanRoom();
}

void ControllerPeers::requestGuestLogin() {
    missing("guest log-in");
}

void ControllerPeers::restoreMicVolume() {
    m_dlg.m_studentServer.restoreMicVolume();
}

void ControllerPeers::startScreenFix() {
    m_dlg.m_studentServer.startScreenFix();
}

void ControllerPeers::setScreenFixNeeded() {
    m_dlg.m_studentServer.setScreenFixNeeded(true);
}

void ControllerPeers::clearChatSenderUri() {
    m_dlg.m_studentServer.setChatSenderUri(std::string());
}

void ControllerPeers::applyDriverNames() {
    m_dlg.m_studentServer.applyDriverNames();
}

bool ControllerPeers::setPullDeviceByVidyo() {
    missing("setPullDeviceByVidyo");
    return false;
}

void ControllerPeers::exitConference() {
    missing("exitConference");
}

bool ControllerPeers::isMicrophoneMuted() {
    missing("isMicrophoneMuted");
    return false;
}

void ControllerPeers::setLayout(int) {
    missing("setLayout");
}

std::string ControllerPeers::getRouterName() {
    missing("getRouterName");
    return {};
}

void ControllerPeers::muteSpeaker(bool) {
    missing("muteSpeaker");
}

void ControllerPeers::muteMicrophone(bool) {
    missing("muteMicrophone");
}

int ControllerPeers::getMicVolume() {
    missing("getMicVolume");
    return 0;
}

void ControllerPeers::setSpeakerVolume(int) {
    missing("setSpeakerVolume");
}

void ControllerPeers::startLive() {
    missing("startLive");
}

void ControllerPeers::stopPreview() {
    missing("stopPreview");
}

void ControllerPeers::stopPush() {
    missing("stopPush");
}

void ControllerPeers::startLivePreview() {
    missing("setPreviewPos");
}

void ControllerPeers::showMessage(const std::string& text, bool autoHide) {
    m_dlg.ShowTip(QString::fromStdString(text), autoHide);
}

void ControllerPeers::hideMessage() {
    if (m_dlg.m_msgTip != nullptr) {
        m_dlg.m_msgTip->hide();
    }
}

void ControllerPeers::startCountdown() {
    if (m_dlg.m_btnEnterClass != nullptr) {
        m_dlg.m_btnEnterClass->StartCountdown();
    }
}

void ControllerPeers::stopCountdown() {
    if (m_dlg.m_btnEnterClass != nullptr) {
        m_dlg.m_btnEnterClass->StopCountdown();
    }
}

void ControllerPeers::setWindowVisible(Window window, bool visible) {
    QWidget* widget = nullptr;
    switch (window) {
        case Window::Screen:
            widget = m_dlg.m_pScreenDlg;
            break;
        case Window::Video:
            widget = m_dlg.m_pVideoDlg;
            break;
        case Window::Preview:
            widget = m_dlg.m_pPreviewDlg;
            break;
        case Window::ToolBar:
            widget = m_dlg.m_pToolDlg;
            break;
    }
    if (widget != nullptr) {
        widget->setVisible(visible);
    }
}

void ControllerPeers::setScreenImage(const std::string& path) {
    if (m_dlg.m_pScreenDlg != nullptr) {
        m_dlg.m_pScreenDlg->SetImage(QString::fromStdString(path));
    }
}

void ControllerPeers::startToolBarClock() {
    if (m_dlg.m_pToolDlg != nullptr) {
        m_dlg.m_pToolDlg->StartClock();
    }
}

void ControllerPeers::showDeviceMuted(int device, bool muted) {
    if (m_dlg.m_pToolDlg != nullptr) {
        m_dlg.m_pToolDlg->ShowMuteState(device, muted);
    }
}

bool ControllerPeers::hasOfflineNotice() {
    return false;
}

bool ControllerPeers::isOfflineNoticeVisible() {
    return false;
}

void ControllerPeers::setOfflineNoticeVisible(bool) {
    missing("offline notice window");
}
