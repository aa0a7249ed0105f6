// What the class entry flow, screen fixing and the status display ask of the components the
// controller owns: the backend client, the conference session inside it, the live-push session
// and the windows. One interface so the flow runs the same against the real components and
// against a test's fakes; the controller's default implementation forwards to its members.
#pragma once

#include <cstdint>
#include <string>

class ClassFlowPeers {
public:
    virtual ~ClassFlowPeers() = default;

    // ---- backend client ----
    virtual void reportAppStatus() = 0;
    virtual void reportDynamicInfo(const std::string& jsonArray) = 0;  // asynchronous
    virtual void reportCameraState() = 0;
    virtual void registerDevice() = 0;
    virtual void requestPlanRoom() = 0;
    // Sets guestForced and has the conference session enter again with the same account as a
    // guest.
    virtual void requestGuestLogin() = 0;
    virtual void restoreMicVolume() = 0;
    virtual void startScreenFix() = 0;
    virtual void setScreenFixNeeded() = 0;
    virtual void clearChatSenderUri() = 0;
    virtual void applyDriverNames() = 0;
    // Hands the conference devices to the live-push library; false when that failed.
    virtual bool setPullDeviceByVidyo() = 0;

    // ---- conference session and client ----
    virtual void exitConference() = 0;
    virtual bool isMicrophoneMuted() = 0;  // muted locally or by the server
    virtual void setLayout(int layout) = 0;
    virtual std::string getRouterName() = 0;
    virtual void muteSpeaker(bool mute) = 0;
    virtual void muteMicrophone(bool mute) = 0;
    virtual void muteCamera(bool mute) = 0;
    virtual int getMicVolume() = 0;
    virtual void setSpeakerVolume(int volume) = 0;

    // ---- live-push session ----
    virtual void startLive() = 0;
    virtual void stopPreview() = 0;
    virtual void stopPush() = 0;
    // Places the live-push preview in the camera preview window.
    virtual void startLivePreview() = 0;

    // ---- windows and controls beside the main window ----
    enum class Window { Screen, Video, Preview, ToolBar };
    virtual void showMessage(const std::string& text, bool autoHide) = 0;
    virtual void hideMessage() = 0;
    virtual void startCountdown() = 0;
    virtual void stopCountdown() = 0;
    virtual void setWindowVisible(Window window, bool visible) = 0;
    virtual void setScreenImage(const std::string& path) = 0;
    virtual void startToolBarClock() = 0;
    // Device codes: 0 camera, 1 microphone, 2 speaker.
    virtual void showDeviceMuted(int device, bool muted) = 0;
    virtual bool hasOfflineNotice() = 0;
    virtual bool isOfflineNoticeVisible() = 0;
    // Shown topmost without moving or resizing it, or hidden.
    virtual void setOfflineNoticeVisible(bool visible) = 0;
};
