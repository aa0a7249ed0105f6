#pragma once

#include <json/json.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace fenwixsim {

// Receive statistics the portal reports for one participant.
struct PortalRates {
    int width = 1280;
    int height = 720;
    int videoKBitsPerSecRecv = 1024;
    int audioKBitsPerSecRecv = 48;
    int videoFrameRate = 30;
    int videoDecodedFrameRate = 30;
    int videoDisplayedFrameRate = 30;
};

struct PortalParticipant {
    std::string name;  // UTF-8
    std::string uri;
    std::string participantId;
    std::string session;  // empty for the sim's own participants (the teacher)
    PortalRates rates;
};

struct PortalRoom {
    std::string key;
    std::vector<PortalParticipant> others;  // the teacher first, then added participants
};

struct PortalSession {
    std::string id;
    std::string user;  // empty for a guest
    std::string displayName;
    std::string endpointId;
    std::string room;  // room key while in a room
    std::string uri;
    std::string participantId;
    bool loggedIn = false;
    std::deque<Json::Value> events;
};

// How the portal misbehaves on purpose; cleared by the admin API or a reset.
struct PortalFaults {
    std::string login;  // "", "refuse", "hang", "badjson"
    int loginError = 5;
    std::string link;  // "", "fail", "hang", "badjson"
    int linkError = 5;
    bool pinFails = false;
    int pinVideoMode = 2;
};

// A portal answer: a JSON object, or a fault to act out.
struct PortalAnswer {
    enum class Kind { Json, Hang, BadJson } kind = Kind::Json;
    int status = 200;
    Json::Value body{Json::objectValue};
};

// Accounts, rooms, sessions and their pending events, behind one lock. Long polls for events
// and held ("never answering") requests wait on one condition.
class PortalState {
public:
    PortalState();

    PortalAnswer login(const Json::Value& request);
    PortalAnswer link(const Json::Value& request);
    PortalAnswer leave(const Json::Value& request);
    PortalAnswer logout(const Json::Value& request);
    PortalAnswer pin(const Json::Value& request);
    // Waits up to waitMs for an event of the session, then answers with every pending one and
    // the room's participants.
    PortalAnswer events(const std::string& session, int waitMs);
    // Holds a request that must never be answered until the fault is cleared, a reset or
    // shutdown (bounded by maxMs).
    void hang(int maxMs);

    // Admin side. Each returns false with a reason when the input is not usable.
    bool setAccount(const Json::Value& spec, std::string& error);
    bool setRoom(const Json::Value& spec, std::string& error);
    bool setFaults(const Json::Value& spec, std::string& error);
    // Sends an event to the sessions in a room (or one session); returns how many got it.
    bool chat(const Json::Value& spec, int& delivered, std::string& error);
    bool curtain(const Json::Value& spec, int& delivered, std::string& error);
    bool sourceRemoved(const Json::Value& spec, int& delivered, std::string& error);
    bool dropCall(const Json::Value& spec, int& delivered, std::string& error);
    bool serverMute(const Json::Value& spec, int& delivered, std::string& error);
    bool notice(const Json::Value& spec, int& delivered, std::string& error);
    bool setRates(const Json::Value& spec, std::string& error);
    bool addParticipant(const Json::Value& spec, std::string& error);
    bool removeParticipant(const Json::Value& spec, std::string& error);

    Json::Value toJson() const;
    void reset();
    // Releases every held request and long poll (shutdown or a down period).
    void interruptWaiters();

private:
    PortalRoom& roomLocked(const std::string& key);
    PortalSession* sessionLocked(const std::string& id);
    std::vector<PortalSession*> targetsLocked(const Json::Value& spec, std::string& error);
    Json::Value participantsLocked(const std::string& roomKey) const;
    void queueLocked(PortalSession& session, const Json::Value& event);
    void notifyRoomLocked(const std::string& roomKey, const std::string& except);
    int broadcast(const Json::Value& spec, const Json::Value& event, std::string& error);
    void leaveRoomLocked(PortalSession& session);
    void resetLocked();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, std::string> accounts_;  // user -> password
    std::map<std::string, std::string> accountNames_;
    std::map<std::string, PortalRoom> rooms_;
    std::map<std::string, PortalSession> sessions_;
    PortalFaults faults_;
    bool openAccounts_ = true;  // unknown users may log in
    bool openRooms_ = true;     // unknown room keys are created on first link
    std::string teacherName_;
    unsigned long long nextId_ = 1;
    unsigned long long generation_ = 0;  // bumped by interruptWaiters, resets and fault changes
};

}  // namespace fenwixsim
