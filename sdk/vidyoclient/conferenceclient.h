// The state behind the six library functions: device configuration, volumes and mutes, the
// portal session and its room, the participant list; a worker thread that carries out the
// in-events against the portal and polls it for events; the callback thread; the renderer, run
// only while a room's video can be seen.
#pragma once

#include "sdk/vidyoclient/outeventqueue.h"
#include "sdk/vidyoclient/participant.h"
#include "sdk/vidyoclient/portalconnection.h"
#include "sdk/vidyoclient/statistics.h"
#include "sdk/vidyoclient/videorenderer.h"
#include "sdk/vidyoclient/vidyoclient.h"
#include "sdk/vidyoclient/windowwatch.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vidyoclient {

class ConferenceClient {
public:
    ConferenceClient();
    ~ConferenceClient();
    ConferenceClient(const ConferenceClient&) = delete;
    ConferenceClient& operator=(const ConferenceClient&) = delete;

    bool start(VidyoClientOutEventCallback callback, void* data, VidyoClientWindowHandle window,
               const VidyoClientRect* rect);
    bool stop();
    bool started() const { return started_; }

    int request(unsigned int code, void* param, unsigned int size);
    int event(unsigned int code, const void* param, unsigned int size);

private:
    struct Command {
        unsigned int code = 0;
        std::vector<std::uint8_t> record;
    };

    // Requests, answered from local state.
    bool answerRequest(unsigned int code, void* param, unsigned int size);
    void fillStatistics(unsigned int code, void* param);
    StatisticsState statisticsStateLocked();
    void refreshDevices();

    // Worker thread.
    void work();
    bool takeCommand(Command& command);
    void run(const Command& command);
    void doLogin(const VidyoClientLogin& record);
    void doLink(const VidyoClientRoomLink& record);
    void doLeave();
    void doLogout();
    void doPin(const VidyoClientPinParticipant& record);
    void poll();
    void handlePortalEvent(const Json::Value& event);
    void takeParticipants(const Json::Value& list);
    void dropCall(const std::string& why);
    PortalReply portalCall(const std::string& base, const std::string& path,
                           const Json::Value& body, long timeoutMs);
    static int errorOf(const PortalReply& reply);
    std::string captionText() const;
    void updateCaption();
    // The picture is drawn only in a room while the render window can be seen.
    void startDrawing();
    void stopDrawing();
    void showVideo(bool shown);
    void post(unsigned int event, std::vector<std::uint8_t> record = {});
    template <typename Record>
    void post(unsigned int event, const Record& record) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
        post(event, std::vector<std::uint8_t>(bytes, bytes + sizeof(Record)));
    }

    mutable std::mutex mutex_;  // every value below
    VidyoClientConfiguration config_{};
    std::uint32_t micVolume_ = 52428;
    std::uint32_t speakerVolume_ = 52428;
    bool micMuted_ = false, speakerMuted_ = false, cameraMuted_ = false;
    bool serverMicMuted_ = false, serverCameraMuted_ = false;
    std::string endpointId_;
    std::string portalBase_;  // of the current session
    std::string session_;
    bool loggedIn_ = false;
    std::string loginName_;
    std::string room_;
    bool roomHeld_ = false;  // linked and not yet left; a dropped call still holds it
    std::string ownUri_;
    std::string ownName_;
    std::string ownParticipantId_;
    std::vector<Participant> participants_;
    std::string pinned_;
    int layout_ = 0;
    int previewMode_ = 0;
    long long pollFailingSinceMs_ = 0;
    long long cpuWallUs_ = 0, cpuUsedUs_ = 0;
    std::uint32_t cpuPercent_ = 0;
    FrameRateMeter drawnRate_;

    std::atomic<bool> started_{false};
    std::atomic<bool> stopping_{false};
    std::condition_variable commandsChanged_;
    std::deque<Command> commands_;
    std::thread worker_;
    std::unique_ptr<OutEventQueue> outEvents_;
    VideoRenderer renderer_;
    WindowWatch windowWatch_;
    std::uintptr_t window_ = 0;  // 0: nothing is drawn
    int windowWidth_ = 0, windowHeight_ = 0;
    long timeoutMs_;
};

}  // namespace vidyoclient
