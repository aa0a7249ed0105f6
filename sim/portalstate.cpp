#include "sim/portalstate.h"

#include "sim/jsonutil.h"

#include <chrono>

namespace fenwixsim {

namespace {
const char kDefaultTeacher[] = "张老师";

std::string text(const Json::Value& spec, const char* key) {
    return spec[key].isString() ? spec[key].asString() : std::string();
}

PortalAnswer refused(int error, const std::string& message) {
    PortalAnswer a;
    a.body["ok"] = false;
    a.body["error"] = error;
    a.body["message"] = message;
    return a;
}

PortalAnswer fault(const std::string& kind) {
    PortalAnswer a;
    a.kind = kind == "hang" ? PortalAnswer::Kind::Hang : PortalAnswer::Kind::BadJson;
    return a;
}

Json::Value participantJson(const PortalParticipant& p) {
    Json::Value v;
    v["name"] = p.name;
    v["uri"] = p.uri;
    v["participantId"] = p.participantId;
    v["width"] = p.rates.width;
    v["height"] = p.rates.height;
    v["videoKBitsPerSecRecv"] = p.rates.videoKBitsPerSecRecv;
    v["audioKBitsPerSecRecv"] = p.rates.audioKBitsPerSecRecv;
    v["videoFrameRate"] = p.rates.videoFrameRate;
    v["videoDecodedFrameRate"] = p.rates.videoDecodedFrameRate;
    v["videoDisplayedFrameRate"] = p.rates.videoDisplayedFrameRate;
    return v;
}

bool readRates(const Json::Value& spec, PortalRates& rates, std::string& error) {
    const std::pair<const char*, int*> fields[] = {
        {"width", &rates.width},
        {"height", &rates.height},
        {"videoKBitsPerSecRecv", &rates.videoKBitsPerSecRecv},
        {"audioKBitsPerSecRecv", &rates.audioKBitsPerSecRecv},
        {"videoFrameRate", &rates.videoFrameRate},
        {"videoDecodedFrameRate", &rates.videoDecodedFrameRate},
        {"videoDisplayedFrameRate", &rates.videoDisplayedFrameRate}};
    for (const auto& [key, target] : fields) {
        if (spec.isMember(key)) {
            if (!spec[key].isInt()) {
                error = std::string(key) + " must be a whole number";
                return false;
            }
            *target = spec[key].asInt();
        }
    }
    return true;
}
}  // namespace

PortalState::PortalState() {
    resetLocked();
}

void PortalState::resetLocked() {
    accounts_.clear();
    accountNames_.clear();
    rooms_.clear();
    sessions_.clear();
    faults_ = PortalFaults();
    openAccounts_ = true;
    openRooms_ = true;
    teacherName_ = kDefaultTeacher;
    ++generation_;
}

void PortalState::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    resetLocked();
    changed_.notify_all();
}

void PortalState::interruptWaiters() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
    changed_.notify_all();
}

PortalRoom& PortalState::roomLocked(const std::string& key) {
    auto it = rooms_.find(key);
    if (it != rooms_.end()) {
        return it->second;
    }
    PortalRoom& room = rooms_[key];
    room.key = key;
    PortalParticipant teacher;
    teacher.name = teacherName_;
    teacher.uri = "teacher." + key + "@fenwix-sim";
    teacher.participantId = "T-" + key;
    room.others.push_back(teacher);
    return room;
}

PortalSession* PortalState::sessionLocked(const std::string& id) {
    auto it = sessions_.find(id);
    return it == sessions_.end() ? nullptr : &it->second;
}

void PortalState::queueLocked(PortalSession& session, const Json::Value& event) {
    session.events.push_back(event);
    changed_.notify_all();
}

void PortalState::notifyRoomLocked(const std::string& roomKey, const std::string& except) {
    Json::Value event;
    event["type"] = "participantsChanged";
    for (auto& [id, s] : sessions_) {
        if (s.room == roomKey && id != except) {
            queueLocked(s, event);
        }
    }
}

Json::Value PortalState::participantsLocked(const std::string& roomKey) const {
    Json::Value list(Json::arrayValue);
    auto room = rooms_.find(roomKey);
    if (room == rooms_.end()) {
        return list;
    }
    for (const auto& p : room->second.others) {
        list.append(participantJson(p));
    }
    for (const auto& [id, s] : sessions_) {
        if (s.room == roomKey) {
            PortalParticipant p;
            p.name = s.displayName;
            p.uri = s.uri;
            p.participantId = s.participantId;
            p.rates = PortalRates{640, 360, 512, 32, 15, 15, 15};
            list.append(participantJson(p));
        }
    }
    return list;
}

PortalAnswer PortalState::login(const Json::Value& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!faults_.login.empty() && faults_.login != "refuse") {
        return fault(faults_.login);
    }
    const std::string user = text(request, "user");
    const std::string password = text(request, "password");
    if (faults_.login == "refuse") {
        return refused(faults_.loginError, "log-in refused on request of the admin API");
    }
    if (user.empty()) {
        return refused(5, "no user name");
    }
    auto account = accounts_.find(user);
    if (account == accounts_.end() ? !openAccounts_ : account->second != password) {
        return refused(5, "wrong user name or password");
    }
    PortalSession session;
    session.id = "S" + std::to_string(nextId_++);
    session.user = user;
    session.endpointId = text(request, "endpointId");
    session.loggedIn = true;
    auto name = accountNames_.find(user);
    session.displayName = name == accountNames_.end() ? user : name->second;
    sessions_[session.id] = session;
    PortalAnswer a;
    a.body["ok"] = true;
    a.body["session"] = session.id;
    a.body["displayName"] = session.displayName;
    return a;
}

PortalAnswer PortalState::link(const Json::Value& request) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (faults_.link == "hold") {
        // Held until the faults change, then answered as they say then (a late success or failure).
        const unsigned long long generation = generation_;
        changed_.wait_for(lock, std::chrono::minutes(10),
                          [&] { return generation_ != generation; });
    }
    if (faults_.link == "hold") {
        return refused(faults_.linkError, "held room link never released");
    }
    if (!faults_.link.empty() && faults_.link != "fail") {
        return fault(faults_.link);
    }
    if (faults_.link == "fail") {
        return refused(faults_.linkError, "room link refused on request of the admin API");
    }
    const std::string roomKey = text(request, "roomKey");
    if (roomKey.empty()) {
        return refused(5, "no room key");
    }
    if (!openRooms_ && rooms_.count(roomKey) == 0) {
        return refused(5, "no such room");
    }
    PortalSession* session = sessionLocked(text(request, "session"));
    if (session == nullptr || !session->loggedIn) {
        PortalSession guest;
        guest.id = "S" + std::to_string(nextId_++);
        guest.endpointId = text(request, "endpointId");
        session = &(sessions_[guest.id] = guest);
    }
    if (!session->room.empty()) {
        leaveRoomLocked(*session);
    }
    roomLocked(roomKey);
    const std::string displayName = text(request, "displayName");
    if (!displayName.empty()) {
        session->displayName = displayName;
    }
    const std::string who = session->user.empty() ? "guest" + session->id : session->user;
    session->room = roomKey;
    session->uri = who + "." + session->id + "@" + roomKey;
    session->participantId = "P" + session->id.substr(1);
    notifyRoomLocked(roomKey, session->id);
    PortalAnswer a;
    a.body["ok"] = true;
    a.body["session"] = session->id;
    a.body["uri"] = session->uri;
    a.body["participantId"] = session->participantId;
    a.body["displayName"] = session->displayName;
    a.body["room"] = roomKey;
    return a;
}

void PortalState::leaveRoomLocked(PortalSession& session) {
    const std::string room = session.room;
    session.room.clear();
    if (!room.empty()) {
        notifyRoomLocked(room, session.id);
    }
}

PortalAnswer PortalState::leave(const Json::Value& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    PortalAnswer a;
    a.body["ok"] = true;
    PortalSession* session = sessionLocked(text(request, "session"));
    a.body["known"] = session != nullptr;
    if (session != nullptr) {
        leaveRoomLocked(*session);
        if (!session->loggedIn) {
            sessions_.erase(session->id);
        }
    }
    return a;
}

PortalAnswer PortalState::logout(const Json::Value& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    PortalAnswer a;
    a.body["ok"] = true;
    PortalSession* session = sessionLocked(text(request, "session"));
    a.body["known"] = session != nullptr;
    if (session != nullptr) {
        leaveRoomLocked(*session);
        sessions_.erase(session->id);
    }
    return a;
}

PortalAnswer PortalState::pin(const Json::Value& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    PortalSession* session = sessionLocked(text(request, "session"));
    const std::string who = text(request, "participant");
    const int mode = request["mode"].isInt() ? request["mode"].asInt() : 2;
    bool present = false;
    if (session != nullptr && !session->room.empty()) {
        for (const auto& p : participantsLocked(session->room)) {
            present = present || p["uri"].asString() == who || p["name"].asString() == who;
        }
    }
    PortalAnswer a;
    a.body["ok"] = true;
    if (mode != 2) {
        a.body["videoMode"] = 1;
        a.body["isSet"] = 1;
    } else {
        a.body["videoMode"] = faults_.pinVideoMode;
        a.body["isSet"] = present && !faults_.pinFails ? 1 : 0;
    }
    return a;
}

PortalAnswer PortalState::events(const std::string& id, int waitMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    const unsigned long long generation = generation_;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    changed_.wait_until(lock, deadline, [&] {
        const PortalSession* s = sessionLocked(id);
        return s == nullptr || !s->events.empty() || generation_ != generation;
    });
    PortalSession* session = sessionLocked(id);
    if (session == nullptr) {
        PortalAnswer a = refused(404, "unknown session " + id);
        a.status = 404;
        return a;
    }
    PortalAnswer a;
    a.body["ok"] = true;
    a.body["events"] = Json::Value(Json::arrayValue);
    while (!session->events.empty()) {
        a.body["events"].append(session->events.front());
        session->events.pop_front();
    }
    a.body["inRoom"] = !session->room.empty();
    a.body["participants"] = participantsLocked(session->room);
    return a;
}

void PortalState::hang(int maxMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    const unsigned long long generation = generation_;
    changed_.wait_for(lock, std::chrono::milliseconds(maxMs),
                      [&] { return generation_ != generation; });
}

namespace {
// The optional "open" switch of an account or room setting: whether unknown names are accepted.
bool readOpenSwitch(const Json::Value& spec, bool& flag, std::string& error) {
    if (!spec.isMember("open")) {
        return true;
    }
    if (!spec["open"].isBool()) {
        error = "open must be a boolean";
        return false;
    }
    flag = spec["open"].asBool();
    return true;
}
}  // namespace

bool PortalState::setAccount(const Json::Value& spec, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!readOpenSwitch(spec, openAccounts_, error)) {
        return false;
    }
    const std::string user = text(spec, "user");
    if (user.empty()) {
        if (!spec.isMember("open")) {
            error = "user (text) or open (boolean) required";
            return false;
        }
        return true;
    }
    accounts_[user] = text(spec, "password");
    accountNames_[user] = spec["displayName"].isString() ? spec["displayName"].asString() : user;
    return true;
}

bool PortalState::setRoom(const Json::Value& spec, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!readOpenSwitch(spec, openRooms_, error)) {
        return false;
    }
    const std::string key = text(spec, "roomKey");
    if (key.empty()) {
        if (!spec.isMember("open")) {
            error = "roomKey (text) or open (boolean) required";
            return false;
        }
        return true;
    }
    PortalRoom& room = roomLocked(key);
    if (spec["teacherName"].isString()) {
        room.others.front().name = spec["teacherName"].asString();
    }
    if (spec["teacherUri"].isString()) {
        room.others.front().uri = spec["teacherUri"].asString();
    }
    return true;
}

bool PortalState::setFaults(const Json::Value& spec, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto pick = [&](const char* key, std::initializer_list<const char*> allowed,
                          std::string& target) {
        if (!spec.isMember(key)) {
            return true;
        }
        const std::string value = spec[key].isNull() ? "" : text(spec, key);
        for (const char* a : allowed) {
            if (value == a) {
                target = value;
                return true;
            }
        }
        error = std::string(key) + " must be one of the listed faults or null";
        return false;
    };
    PortalFaults next = faults_;
    if (!pick("login", {"", "refuse", "hang", "badjson"}, next.login) ||
        !pick("link", {"", "fail", "hang", "hold", "badjson"}, next.link)) {
        return false;
    }
    const std::pair<const char*, int*> numbers[] = {{"loginError", &next.loginError},
                                                    {"linkError", &next.linkError},
                                                    {"pinVideoMode", &next.pinVideoMode}};
    for (const auto& [key, target] : numbers) {
        if (spec.isMember(key)) {
            if (!spec[key].isInt() || spec[key].asInt() == 0) {
                error = std::string(key) + " must be a nonzero whole number";
                return false;
            }
            *target = spec[key].asInt();
        }
    }
    if (spec.isMember("pin")) {
        const std::string pin = text(spec, "pin");
        if (pin != "success" && pin != "fail") {
            error = "pin must be \"success\" or \"fail\"";
            return false;
        }
        next.pinFails = pin == "fail";
    }
    faults_ = next;
    ++generation_;  // a cleared "hang" releases the held requests
    changed_.notify_all();
    return true;
}

std::vector<PortalSession*> PortalState::targetsLocked(const Json::Value& spec,
                                                       std::string& error) {
    std::vector<PortalSession*> out;
    const std::string id = text(spec, "session");
    const std::string room = text(spec, "roomKey");
    if (!id.empty()) {
        PortalSession* s = sessionLocked(id);
        if (s == nullptr) {
            error = "unknown session " + id;
        } else {
            out.push_back(s);
        }
        return out;
    }
    for (auto& [sid, s] : sessions_) {
        if (!s.room.empty() && (room.empty() || s.room == room)) {
            out.push_back(&s);
        }
    }
    return out;
}

int PortalState::broadcast(const Json::Value& spec, const Json::Value& event, std::string& error) {
    int n = 0;
    for (PortalSession* s : targetsLocked(spec, error)) {
        queueLocked(*s, event);
        ++n;
    }
    return n;
}

bool PortalState::chat(const Json::Value& spec, int& delivered, std::string& error) {
    if (!spec.isMember("message")) {
        error = "message (text or JSON) required";
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    error.clear();
    const std::string message =
        spec["message"].isString() ? spec["message"].asString() : writeJson(spec["message"]);
    const bool isPrivate = spec["private"].isBool() && spec["private"].asBool();
    int n = 0;
    for (PortalSession* s : targetsLocked(spec, error)) {
        if (s->room.empty()) {
            continue;  // chat reaches only participants of a room
        }
        // The sender defaults to the teacher of the receiver's room.
        const PortalParticipant& teacher = roomLocked(s->room).others[0];
        Json::Value event;
        event["type"] = "chat";
        event["uri"] = spec["fromUri"].isString() ? spec["fromUri"].asString() : teacher.uri;
        event["displayName"] =
            spec["fromName"].isString() ? spec["fromName"].asString() : teacher.name;
        event["message"] = message;
        event["private"] = isPrivate;
        queueLocked(*s, event);
        ++n;
    }
    delivered = n;
    return error.empty();
}

bool PortalState::curtain(const Json::Value& spec, int& delivered, std::string& error) {
    if (!spec["status"].isInt()) {
        error = "status (0 or 1) required";
        return false;
    }
    Json::Value chatSpec = spec;
    Json::Value command;
    command["status"] = spec["status"].asInt();
    chatSpec["message"] = writeJson(command);
    return chat(chatSpec, delivered, error);
}

bool PortalState::sourceRemoved(const Json::Value& spec, int& delivered, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    error.clear();
    int n = 0;
    for (PortalSession* s : targetsLocked(spec, error)) {
        if (s->room.empty()) {
            continue;
        }
        Json::Value event;
        event["type"] = "sourceRemoved";
        event["uri"] =
            spec["uri"].isString() ? spec["uri"].asString() : roomLocked(s->room).others[0].uri;
        queueLocked(*s, event);
        ++n;
    }
    delivered = n;
    return error.empty();
}

bool PortalState::dropCall(const Json::Value& spec, int& delivered, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    error.clear();
    Json::Value event;
    event["type"] = "callState";
    event["state"] = 0;
    int n = 0;
    for (PortalSession* s : targetsLocked(spec, error)) {
        leaveRoomLocked(*s);
        queueLocked(*s, event);
        ++n;
    }
    delivered = n;
    return error.empty();
}

bool PortalState::serverMute(const Json::Value& spec, int& delivered, std::string& error) {
    const std::string device = text(spec, "device");
    if ((device != "microphone" && device != "camera") || !spec["muted"].isBool()) {
        error = "device (\"microphone\" or \"camera\") and muted (boolean) required";
        return false;
    }
    Json::Value event;
    event["type"] = "mute";
    event["device"] = device;
    event["muted"] = spec["muted"];
    std::lock_guard<std::mutex> lock(mutex_);
    error.clear();
    delivered = broadcast(spec, event, error);
    return error.empty();
}

bool PortalState::notice(const Json::Value& spec, int& delivered, std::string& error) {
    Json::Value event;
    event["type"] = "notice";
    std::lock_guard<std::mutex> lock(mutex_);
    error.clear();
    delivered = broadcast(spec, event, error);
    return error.empty();
}

bool PortalState::setRates(const Json::Value& spec, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto room = rooms_.find(text(spec, "roomKey"));
    if (room == rooms_.end()) {
        error = "unknown roomKey";
        return false;
    }
    const std::string uri = text(spec, "uri");
    for (auto& p : room->second.others) {
        if (uri.empty() || p.uri == uri) {
            return readRates(spec, p.rates, error);
        }
    }
    error = "no participant " + uri + " of the sim in that room";
    return false;
}

bool PortalState::addParticipant(const Json::Value& spec, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string key = text(spec, "roomKey");
    const std::string name = text(spec, "name");
    if (key.empty() || name.empty()) {
        error = "roomKey and name required";
        return false;
    }
    PortalParticipant p;
    p.name = name;
    p.uri = spec["uri"].isString() ? spec["uri"].asString()
                                   : "p" + std::to_string(nextId_++) + "@" + key;
    p.participantId = "X" + std::to_string(nextId_++);
    if (!readRates(spec, p.rates, error)) {
        return false;
    }
    roomLocked(key).others.push_back(p);
    notifyRoomLocked(key, "");
    return true;
}

bool PortalState::removeParticipant(const Json::Value& spec, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto room = rooms_.find(text(spec, "roomKey"));
    const std::string uri = text(spec, "uri");
    if (room == rooms_.end()) {
        error = "unknown roomKey";
        return false;
    }
    auto& others = room->second.others;
    for (auto it = others.begin() + 1; it != others.end(); ++it) {
        if (it->uri == uri) {
            others.erase(it);
            notifyRoomLocked(room->first, "");
            return true;
        }
    }
    error = "no added participant " + uri + " (the teacher stays)";
    return false;
}

Json::Value PortalState::toJson() const {
    std::lock_guard<std::mutex> lock(mutex_);
    Json::Value out;
    out["openAccounts"] = openAccounts_;
    out["openRooms"] = openRooms_;
    Json::Value accounts(Json::arrayValue);
    for (const auto& [user, password] : accounts_) {
        Json::Value a;
        a["user"] = user;
        a["password"] = password;
        a["displayName"] = accountNames_.at(user);
        accounts.append(a);
    }
    out["accounts"] = accounts;
    Json::Value rooms(Json::objectValue);
    for (const auto& [key, room] : rooms_) {
        rooms[key]["participants"] = participantsLocked(key);
    }
    out["rooms"] = rooms;
    Json::Value sessions(Json::arrayValue);
    for (const auto& [id, s] : sessions_) {
        Json::Value v;
        v["session"] = id;
        v["user"] = s.user;
        v["guest"] = !s.loggedIn;
        v["displayName"] = s.displayName;
        v["endpointId"] = s.endpointId;
        v["roomKey"] = s.room;
        v["uri"] = s.uri;
        v["pendingEvents"] = static_cast<Json::UInt64>(s.events.size());
        sessions.append(v);
    }
    out["sessions"] = sessions;
    Json::Value f;
    f["login"] = faults_.login;
    f["loginError"] = faults_.loginError;
    f["link"] = faults_.link;
    f["linkError"] = faults_.linkError;
    f["pin"] = faults_.pinFails ? "fail" : "success";
    f["pinVideoMode"] = faults_.pinVideoMode;
    out["faults"] = f;
    return out;
}

}  // namespace fenwixsim
