// What the conference adapter reports from the conference library's out-events. Called on the
// library's callback thread; implementations hand results to the UI thread themselves.
#pragma once

#include <string>

class VidyoServerSink {
public:
    virtual void onLoginSuccess() = 0;
    virtual void onLoginFailed() = 0;
    virtual void onLogoutSuccess() = 0;
    virtual void onJoinSuccess() = 0;
    virtual void onJoinFailed() = 0;
    virtual void onLeaveSuccess() = 0;
    // type: 1 for a message to everyone, 0 for a private one.
    virtual void onChatMessage(const std::string& address, const std::string& message,
                               const std::string& displayName, int type) = 0;
    // device: 0 camera, 1 microphone, 2 speaker; origin: 0 local, 1 server.
    virtual void onDeviceMuteState(int device, bool muted, int origin, int error) = 0;
    virtual void onScreenFixFailed() = 0;
    virtual void onScreenFixSuccess(int videoMode) = 0;
    virtual void onSourceRemoved(const std::string& address) = 0;
    virtual void onParticipantsChanged() = 0;
    virtual void onConferenceNotice() = 0;
    virtual void onReserved() = 0;
    virtual void onCallStateChanged(int callState) = 0;
    // Raw media frames are never passed on; the slots keep the interface's shape.
    virtual void onRawAudioFrame(const void* frame) = 0;
    virtual void onRawVideoFrame(const void* frame) = 0;

protected:
    // Not deleted through the interface: the seventeen operations stay alone in the table.
    ~VidyoServerSink() = default;
};
