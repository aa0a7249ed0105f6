#include "app/controllerpeers.h"

#include "app/fenwixdlg.h"
#include "logging/log4z.h"

namespace {

void missing(const char* what) {
    LOGD(what << ": its component is not part of this build");
}

}  // namespace

void ControllerPeers::reportAppStatus() {
    missing("reportAppStatus");
}

void ControllerPeers::reportDynamicInfo(const std::string&) {
    missing("reportDynamicInfo");
}

void ControllerPeers::reportCameraState() {
    missing("reportCameraState");
}

void ControllerPeers::registerDevice() {
    missing("registerDevice");
}

void ControllerPeers::requestPlanRoom() {
    missing("requestPlanRoom");
}

void ControllerPeers::requestGuestLogin() {
    missing("guest log-in");
}

void ControllerPeers::restoreMicVolume() {
    missing("restoreMicVolume");
}

void ControllerPeers::startScreenFix() {
    missing("startScreenFix");
}

void ControllerPeers::setScreenFixNeeded() {
    missing("screen-fix-needed flag");
}

void ControllerPeers::clearChatSenderUri() {
    missing("chat-sender uri");
}

void ControllerPeers::applyDriverNames() {
    missing("applyDriverNames");
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

void ControllerPeers::showMessage(const std::string&, bool) {
    missing("message bar");
}

void ControllerPeers::hideMessage() {
    missing("message bar");
}

void ControllerPeers::startCountdown() {
    missing("enter-class countdown");
}

void ControllerPeers::stopCountdown() {
    missing("enter-class countdown");
}

void ControllerPeers::setWindowVisible(Window, bool) {
    missing("screen, video, preview and tool bar windows");
}

void ControllerPeers::setScreenImage(const std::string&) {
    missing("screen window");
}

void ControllerPeers::startToolBarClock() {
    missing("tool bar clock");
}

void ControllerPeers::showDeviceMuted(int, bool) {
    missing("tool bar mute buttons");
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
