// The controller's own class-flow peers: each operation forwards to the component of CFenwixDlg
// that carries it out.
#pragma once

#include "app/classflowpeers.h"

class CFenwixDlg;
class FenwixStudentServer;

class ControllerPeers : public ClassFlowPeers {
public:
    explicit ControllerPeers(CFenwixDlg& dlg) : m_dlg(dlg) {}

    void reportAppStatus() override;
    void reportDynamicInfo(const std::string& jsonArray) override;
    void reportCameraState() override;
    void registerDevice() override;
    void requestPlanRoom() override;
    void requestGuestLogin() override;
    void restoreMicVolume() override;
    void startScreenFix() override;
    void setScreenFixNeeded() override;
    void clearChatSenderUri() override;
    void applyDriverNames() override;
    bool setPullDeviceByVidyo() override;

    void exitConference() override;
    bool isMicrophoneMuted() override;
    void setLayout(int layout) override;
    std::string getRouterName() override;
    void muteSpeaker(bool mute) override;
    void muteMicrophone(bool mute) override;
    void muteCamera(bool mute) override;
    int getMicVolume() override;
    void setSpeakerVolume(int volume) override;

    void startLive() override;
    void stopPreview() override;
    void stopPush() override;
    void startLivePreview() override;

    void showMessage(const std::string& text, bool autoHide) override;
    void hideMessage() override;
    void startCountdown() override;
    void stopCountdown() override;
    void setWindowVisible(Window window, bool visible) override;
    void setScreenImage(const std::string& path) override;
    void startToolBarClock() override;
    void showDeviceMuted(int device, bool muted) override;
    bool hasOfflineNotice() override;
    bool isOfflineNoticeVisible() override;
    void setOfflineNoticeVisible(bool visible) override;

private:
    FenwixStudentServer& server();

    CFenwixDlg& m_dlg;
};
