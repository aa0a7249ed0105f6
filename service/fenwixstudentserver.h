// The backend client: registration and server-issued settings, status and event reports, room
// requests, push commands and the chat commands of the teacher. It is the conference session
// extended by everything the terminal says to the business service.
//
// Requests go out asynchronously; their outcome comes back through the process-wide sink (the
// main controller), which routes successful replies by request type to the on...Reply handlers.
// The members are spread over files by role: fenwixstudentserver.cpp (sink, completions,
// registration, update check, driver names), statusreports.cpp (reports), pushcommands.cpp (push
// commands), roomrequests.cpp (plan room, chat commands, screen fixing, microphone).
#pragma once

#include <json/value.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "conference/fenwixbaseserver.h"
#include "livepush/mediabizserver.h"

class FenwixStudentSink;
class TerminalUi;

// Request types: which request an asynchronous outcome belongs to.
enum RequestType : int {
    REQUEST_SYNC = 0,
    REQUEST_REGISTER = 1,
    REQUEST_PLAN_ROOM = 3,
    REQUEST_UNIFIED_REPORT = 4,
    REQUEST_MIC_OPTION = 8,
    REQUEST_UPDATE_CHECK = 9,
    REQUEST_DYNAMIC_INFO = 10,
    REQUEST_CONFERENCE_STATE = 13,
    REQUEST_PUSH_DATA = 14,
    REQUEST_LOGO_DOWNLOAD = 15,
};

class FenwixStudentServer : public FenwixBaseServer {
public:
    // Longest chat-sender uri kept; longer ones are cut.
    static constexpr std::size_t kMaxChatSenderUri = 255;
    // Longest conference endpoint identifier sent at registration.
    static constexpr std::size_t kMaxEndpointIdChars = 128;

    FenwixStudentServer() = default;
    ~FenwixStudentServer() override = default;
    FenwixStudentServer(const FenwixStudentServer&) = delete;
    FenwixStudentServer& operator=(const FenwixStudentServer&) = delete;

    // ---- Sink and completions (shared by every request of the process) ----

    // The one process-wide sink; nullptr detaches it. Setting it waits until completions that
    // are calling the previous sink have returned, so the owner may be destroyed afterwards.
    static void setSink(FenwixStudentSink* sink);
    static bool hasSink();
    // Completion of every asynchronous business request: httpBack on success, httpFail on failure.
    static void onRequestDone(bool ok, const std::string& reply, int type);
    // Completion of downloads: downloadBack on success, httpFail (and a log line) on failure.
    static void onDownloadDone(bool ok, int type);

    // The user interface's window operations (device tip, closing tip windows); may be null.
    void setTerminalUi(TerminalUi* ui) { m_pTerminalUi = ui; }
    // In safe mode the conference is not started: pushed log-ins and the planned room are
    // refused with a log line instead of failing inside the conference library.
    void setClassesBlocked(bool blocked) { m_bClassesBlocked = blocked; }
    TerminalUi* terminalUi() const { return m_pTerminalUi; }

    // ---- Registration and server-issued settings ----

    void registerDevice();
    // Handles the payload of a successful registration reply (UI thread).
    void onRegisterReply(const Json::Value& payload);
    void checkUpdate();
    // Handles the payload of a successful update reply (HTTP worker thread).
    void onUpdateReply(const Json::Value& payload);
    // The SHA-256 (hex) that came with the latest update offer; empty when the reply had none.
    std::string offeredInstallerSha256() const;
    // Chooses microphone and speaker by the name fragments of the settings (UI thread).
    void applyDriverNames();
    // Raises the named speaker's volume to the floor and unmutes it (the system's audio
    // endpoints). Always true. Virtual so that tests need no sound server.
    virtual bool EnsureSpeakerVolume(const std::string& speakerName);

    // The logo file the registration reply's logoUrl is downloaded to.
    static std::string logoFilePath();

    // ---- Status and event reports ----

    void sendUnifiedReport();
    // Handles the payload of a successful unified report or microphone option reply.
    void onReportReply(const Json::Value& payload);
    void reportDynamicInfo(const std::string& text);
    void reportDynamicInfoSync(const std::string& text);
    void reportAppStatus();
    void reportCameraState();
    void reportConferenceState();
    void reportExit();

    // The text of a dynamic-information report: `event` as the only element of an array,
    // written compactly (sorted keys, UTF-8 kept) and ended with a line feed.
    static std::string eventText(const Json::Value& event);

    // ---- Push commands ----

    // Carries out one push message (UI thread).
    void onPushMessage(const Json::Value& message);

    // ---- Room requests and in-conference commands ----

    void requestPlanRoom();
    // Handles the payload of a successful plan room reply (HTTP worker thread).
    void onPlanRoomReply(const Json::Value& payload);
    // One chat message envelope of the conference (UI thread). The session's library-thread
    // handler of the same name stays reachable.
    using FenwixBaseServer::onChatMessage;
    void onChatMessage(const std::string& envelopeText);
    void startScreenFix();
    void onRemoteSourceRemoved(const std::string& uri);
    void restoreMicVolume();
    void sendMicOption(int audioStatus);

    // ---- Live push ----

    // The live-push session (the media library's adapter inside it).
    MediaBizServer& mediaBiz() { return m_mediaBiz; }
    // Looks up the conference's camera and microphone by name in the live-push library's lists
    // and selects the same devices there; false (nothing changed) when either is not found
    // (pulldevices.cpp).
    bool setPullDeviceByVidyo();

    // Screen-fix state, read by the controller and by tests.
    const std::string& chatSenderUri() const { return m_strChatSenderUri; }
    void setChatSenderUri(const std::string& uri);
    bool screenFixNeeded() const { return m_bScreenFixNeeded; }
    void setScreenFixNeeded(bool needed) { m_bScreenFixNeeded = needed; }

protected:
    // The name of the system's default recording device, or false when it cannot be named;
    // virtual so that tests can answer without a sound server.
    virtual bool queryDefaultCaptureName(std::string& name);
    // What the backend client asks of the conference session, as hooks so that tests can answer
    // without a conference library. Each passes straight through to the session.
    virtual std::string queryEndpointId();
    virtual std::vector<std::string> queryMicrophoneNames();
    virtual std::vector<std::string> querySpeakerNames();
    virtual void selectMicrophoneByName(const std::string& name);
    virtual void selectSpeakerByName(const std::string& name);
    virtual bool queryCameraMutedLocally();
    virtual bool queryCameraMutedByServer();
    virtual std::string queryConferenceStatusJson();
    // Hooks of the push commands and room requests (pushcommands.cpp, roomrequests.cpp), same
    // rule: each passes straight through to the session.
    virtual int queryMicVolume();
    virtual void applyMicVolume(int volume);
    virtual void applySpeakerVolume(int volume);
    virtual void queueUser(std::unique_ptr<UserBean> record);
    virtual void leaveConference();
    virtual void pinChatSender(const std::string& uri);
    virtual std::string queryParticipantId();

private:
    // The "vLogin" and "desktopRoomCmd" push commands with their `data`.
    void onPushedLogin(const Json::Value& data);
    void onPushedVolume(const Json::Value& data);

    MediaBizServer m_mediaBiz;
    TerminalUi* m_pTerminalUi = nullptr;
    bool m_bClassesBlocked = false;  // UI thread only
    mutable std::mutex m_offerLock;  // update replies complete on worker threads
    std::string m_offeredSha256;
    // Conference uri of the sender of the last chat message; the participant the screen is fixed
    // on. Empty when none.
    std::string m_strChatSenderUri;
    // The screen must (again) be fixed on the chat sender when possible. UI thread only.
    bool m_bScreenFixNeeded = false;
};
