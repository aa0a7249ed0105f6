// The only caller of the conference library: turns each conference operation into numbered
// requests and in-events with fixed-size records, and routes the library's out-events to the
// conference session through VidyoServerSink.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "conference/conferencestatusbean.h"
#include "conference/vidyoserversink.h"

struct VidyoClientApi;

// The window the library draws the conference into: its native handle and its current size.
struct VideoWindow {
    std::uintptr_t handle = 0;
    int width = 0;
    int height = 0;
};

// The library's device lists (names as delivered, UTF-8) and the index in use in each.
struct VidyoDeviceLists {
    std::vector<std::string> cameras;
    std::vector<std::string> microphones;
    std::vector<std::string> speakers;
    int curCamera = -1;
    int curMicrophone = -1;
    int curSpeaker = -1;
};

class VidyoServer {
public:
    // The process-wide target of out-events; set once, before initSdk().
    static void setSink(VidyoServerSink* sink);
    static VidyoServerSink* sink();

    bool initSdk();
    bool startSdk(const VideoWindow& window);
    void applyStartConfiguration();

    // Commands whose outcome arrives as an out-event; true when the library accepted them.
    bool login(const std::string& portal, const std::string& userName, const std::string& password);
    bool linkRoom(const std::string& portal, const std::string& roomKey,
                  const std::string& displayName);
    bool leaveConference();
    bool logout();

    VidyoDeviceLists getDeviceLists();
    void setCamera(int index);
    void setMicrophone(int index);
    void setSpeaker(int index);
    // Byte-for-byte comparison with each stored name; no equal name changes nothing.
    void setMicrophoneByName(const std::string& name);
    void setSpeakerByName(const std::string& name);

    void muteMicrophone(bool on);
    void muteSpeaker(bool on);
    void muteCamera(bool on);

    int getMicVolume();
    int getSpeakerVolume();
    bool setMicVolume(int volume);
    bool setSpeakerVolume(int volume);

    bool isMicMutedLocally();
    bool isMicMutedByServer();
    bool isCameraMutedLocally();
    bool isCameraMutedByServer();

    void setPreviewMode(bool on);
    void pinParticipant(const std::string& name, bool on);
    void setLayout(int value);

    std::string getEndpointId();
    std::string getRouterName();
    // The own participant's identifier, or "-1" when the own name is not in the list.
    std::string getParticipantId();
    void getConferenceStatistics(ConferenceStatusBean& record);

    bool stopSdk();
    void uninitSdk();

    // The callback registered with the library; runs on the library's thread.
    static void outEventHandler(unsigned int event, void* param, unsigned int paramSize,
                                void* data);

private:
    static void routeOutEvent(unsigned int event, const void* param, unsigned int paramSize);
    static void routeMuteEvent(unsigned int event, const void* param, unsigned int paramSize);
};
