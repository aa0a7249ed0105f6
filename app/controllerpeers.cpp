#include "app/controllerpeers.h"

#include <QString>
#include <QWidget>

#include "app/fenwixdlg.h"
#include "service/commonutil.h"
#include "service/fenwixstudentserver.h"
#include "ui/mymsgtipctrl.h"
#include "ui/mytimerbuttonctrl.h"
#include "ui/offlinedlg.h"
#include "ui/previewdlg.h"
#include "ui/screendlg.h"
#include "ui/tooldlg.h"
#include "ui/videodlg.h"

FenwixStudentServer& ControllerPeers::server() {
    return m_dlg.m_studentServer;
}

void ControllerPeers::reportAppStatus() {
    server().reportAppStatus();
}

void ControllerPeers::reportDynamicInfo(const std::string& jsonArray) {
    server().reportDynamicInfo(jsonArray);
}

void ControllerPeers::reportCameraState() {
    server().reportCameraState();
}

void ControllerPeers::registerDevice() {
    server().registerDevice();
}

void ControllerPeers::requestPlanRoom() {
    server().requestPlanRoom();
}

void ControllerPeers::requestGuestLogin() {
    CComConfig::getInstance()->setGuestForced(1);
    server().forceGuestLogin();
}

void ControllerPeers::restoreMicVolume() {
    server().restoreMicVolume();
}

void ControllerPeers::startScreenFix() {
    server().startScreenFix();
}

void ControllerPeers::setScreenFixNeeded() {
    server().setScreenFixNeeded(true);
}

void ControllerPeers::clearChatSenderUri() {
    server().setChatSenderUri(std::string());
}

void ControllerPeers::applyDriverNames() {
    server().applyDriverNames();
}

bool ControllerPeers::setPullDeviceByVidyo() {
    return server().setPullDeviceByVidyo();
}

void ControllerPeers::exitConference() {
    server().exitConference();
}

bool ControllerPeers::isMicrophoneMuted() {
    return server().isMicrophoneMuted();
}

void ControllerPeers::setLayout(int layout) {
    server().setLayout(layout);
}

std::string ControllerPeers::getRouterName() {
    return server().getRouterName();
}

void ControllerPeers::muteSpeaker(bool mute) {
    server().muteSpeaker(mute);
}

void ControllerPeers::muteMicrophone(bool mute) {
    server().muteMicrophone(mute);
}

void ControllerPeers::muteCamera(bool mute) {
    server().muteCamera(mute);
}

int ControllerPeers::getMicVolume() {
    return server().getMicVolume();
}

void ControllerPeers::setSpeakerVolume(int volume) {
    server().setSpeakerVolume(volume);
}

void ControllerPeers::startLive() {
    server().mediaBiz().startLive();
}

void ControllerPeers::stopPreview() {
    server().mediaBiz().stopPreview();
}

void ControllerPeers::stopPush() {
    server().mediaBiz().stopPush();
}

void ControllerPeers::startLivePreview() {
    CPreviewDlg* preview = m_dlg.m_pPreviewDlg;
    if (preview == nullptr) {
        return;
    }
    server().mediaBiz().setPreviewPos(preview->renderHandle(), preview->width(), preview->height());
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
    return m_dlg.m_pOfflineDlg != nullptr;
}

bool ControllerPeers::isOfflineNoticeVisible() {
    return m_dlg.m_pOfflineDlg != nullptr && m_dlg.m_pOfflineDlg->isVisible();
}

void ControllerPeers::setOfflineNoticeVisible(bool visible) {
    if (m_dlg.m_pOfflineDlg == nullptr) {
        return;
    }
    if (visible) {
        m_dlg.m_pOfflineDlg->show();
        m_dlg.m_pOfflineDlg->raise();  // on top, where it was placed, at its size
    } else {
        m_dlg.m_pOfflineDlg->hide();
    }
}
