// The terminal's conference session: runs queued user operations (log in and join as a user,
// join as a guest, leave and log out) one at a time on top of VidyoServer, and turns the
// conference events that matter into main-window events.
//
// Entry points run on the UI thread, the event handlers on the conference library's thread; the
// queue and the current user are guarded by one lock, never held while an event is sent to the
// main window.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "conference/conferencestatusbean.h"
#include "conference/userbean.h"
#include "conference/vidyoserver.h"
#include "conference/vidyoserversink.h"

class CComConfig;

class FenwixBaseServer : public VidyoServerSink {
public:
    // `config` null: the process-wide configuration, fetched at each use.
    explicit FenwixBaseServer(CComConfig* config = nullptr);
    virtual ~FenwixBaseServer();

    FenwixBaseServer(const FenwixBaseServer&) = delete;
    FenwixBaseServer& operator=(const FenwixBaseServer&) = delete;

    // Start-up: becomes the adapter's sink, initialises and starts the library.
    bool initVidyo(const VideoWindow& window);
    // Shutdown: stops the library and, when that worked, uninitialises it.
    bool destroyVidyo();

    // Queues a filled record (state reset to idle) and starts it when the session is free.
    // A null record is logged and ignored.
    void pushUser(std::unique_ptr<UserBean> record);
    // Turns the current user into a guest (guest display name) and enters again at once.
    void forceGuestLogin();
    // Leaves the conference and drops every queued record; -1 when nothing is under way,
    // else 1 / 0 for the leave command accepted or not.
    int exitConference();
    // Locally or by the server.
    bool isMicrophoneMuted();

    // A copy of the current user and the number of queued records (for status and tests).
    UserBean currentUser() const;
    std::size_t pendingCount() const;

    // The conference state document with fresh statistics; `fixTargetUri` is the address of the
    // participant the screen is fixed on.
    std::string buildConferenceStatusJson(const std::string& fixTargetUri);

    // Adapter operations passed through unchanged.
    VidyoDeviceLists getDeviceLists() { return vidyo_.getDeviceLists(); }
    void setCamera(int index) { vidyo_.setCamera(index); }
    void setMicrophone(int index) { vidyo_.setMicrophone(index); }
    void setSpeaker(int index) { vidyo_.setSpeaker(index); }
    void setMicrophoneByName(const std::string& name) { vidyo_.setMicrophoneByName(name); }
    void setSpeakerByName(const std::string& name) { vidyo_.setSpeakerByName(name); }
    void muteMicrophone(bool on) { vidyo_.muteMicrophone(on); }
    void muteSpeaker(bool on) { vidyo_.muteSpeaker(on); }
    void muteCamera(bool on) { vidyo_.muteCamera(on); }
    int getMicVolume() { return vidyo_.getMicVolume(); }
    int getSpeakerVolume() { return vidyo_.getSpeakerVolume(); }
    bool setMicVolume(int volume) { return vidyo_.setMicVolume(volume); }
    bool setSpeakerVolume(int volume) { return vidyo_.setSpeakerVolume(volume); }
    bool isCameraMutedLocally() { return vidyo_.isCameraMutedLocally(); }
    bool isCameraMutedByServer() { return vidyo_.isCameraMutedByServer(); }
    std::string getEndpointId() { return vidyo_.getEndpointId(); }
    std::string getRouterName() { return vidyo_.getRouterName(); }
    std::string getParticipantId() { return vidyo_.getParticipantId(); }
    void getConferenceStatistics(ConferenceStatusBean& record) {
        vidyo_.getConferenceStatistics(record);
    }
    void pinParticipant(const std::string& name, bool on) { vidyo_.pinParticipant(name, on); }
    void setLayout(int value) { vidyo_.setLayout(value); }

    // VidyoServerSink, on the library's thread.
    void onLoginSuccess() override;
    void onLoginFailed() override;
    void onLogoutSuccess() override;
    void onJoinSuccess() override;
    void onJoinFailed() override;
    void onLeaveSuccess() override;
    void onChatMessage(const std::string& address, const std::string& message,
                       const std::string& displayName, int type) override;
    void onDeviceMuteState(int device, bool muted, int origin, int error) override;
    void onScreenFixFailed() override;
    void onScreenFixSuccess(int videoMode) override;
    void onSourceRemoved(const std::string& address) override;
    void onParticipantsChanged() override;
    void onConferenceNotice() override;
    void onReserved() override;
    void onCallStateChanged(int callState) override;
    void onRawAudioFrame(const void* frame) override;
    void onRawVideoFrame(const void* frame) override;

protected:
    VidyoServer& vidyo() { return vidyo_; }
    CComConfig& config() const;

private:
    // Each *Locked function expects mutex_ to be held.
    void checkPendingUsersLocked();
    void startLoginLocked();
    void startLinkLocked();
    bool startLeaveLocked();
    void startLogoutLocked();
    // Idle again; starts the next queued record, or returns true when the caller is to report
    // the log-out.
    bool becomeIdleLocked();

    VidyoServer vidyo_;
    // Recursive: a library that reports an outcome from inside the command call must not
    // deadlock the session.
    mutable std::recursive_mutex mutex_;
    std::deque<std::unique_ptr<UserBean>> pending_;
    std::unique_ptr<UserBean> current_;
    CComConfig* config_;
};
