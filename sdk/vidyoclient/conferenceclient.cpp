#include "sdk/vidyoclient/conferenceclient.h"

#include "sdk/vidyoclient/clientlog.h"
#include "sdk/vidyoclient/devicelists.h"

#include <curl/curl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>

namespace vidyoclient {

namespace {
constexpr long kDefaultTimeoutMs = 10000;
constexpr int kPollWaitMs = 300;
constexpr int kCallbackStopWaitMs = 3000;
constexpr std::uint32_t kCallActive = 2;

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Copies text into a fixed field, cut at a character boundary, always NUL-terminated.
void putText(char* field, size_t width, const std::string& text) {
    std::memset(field, 0, width);
    size_t n = std::min(text.size(), width - 1);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
        --n;
    }
    std::copy_n(text.data(), n, field);
}

std::string getText(const char* field, size_t width) {
    return std::string(field, strnlen(field, width));
}

// Members of portal answers, read without trusting their types (a wrong type reads as empty).
std::string textOf(const Json::Value& object, const char* key) {
    const Json::Value& v = object.isObject() ? object[key] : Json::Value::nullSingleton();
    return v.isString() ? v.asString() : std::string();
}

int intOf(const Json::Value& object, const char* key, int fallback = 0) {
    const Json::Value& v = object.isObject() ? object[key] : Json::Value::nullSingleton();
    return v.isInt() ? v.asInt() : fallback;
}

template <typename Record>
bool readRecord(const void* param, unsigned int size, Record& out) {
    if (param == nullptr || size < sizeof(Record)) {
        return false;
    }
    std::memcpy(&out, param, sizeof(Record));
    return true;
}

long timeoutFromEnvironment() {
    const char* value = std::getenv("VIDYO_CLIENT_PORTAL_TIMEOUT_MS");
    const long ms = value != nullptr ? std::strtol(value, nullptr, 10) : 0;
    return ms > 0 ? ms : kDefaultTimeoutMs;
}

std::string newEndpointId() {
    std::random_device device;
    std::mt19937_64 random(device());
    char buffer[40];
    std::snprintf(buffer, sizeof(buffer), "FWX%016llX", static_cast<unsigned long long>(random()));
    return buffer;
}

std::string urlEncode(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof(hex), "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

void fillNames(char (*slots)[VIDYO_CLIENT_DEVICE_NAME_SIZE], std::uint32_t& count,
               std::uint32_t& current, const std::vector<std::string>& names) {
    // Keep the device in use when it is still there; otherwise fall back to the first.
    std::string inUse;
    if (current < count && current < VIDYO_CLIENT_MAX_DEVICES) {
        inUse = getText(slots[current], VIDYO_CLIENT_DEVICE_NAME_SIZE);
    }
    const size_t n = std::min<size_t>(names.size(), VIDYO_CLIENT_MAX_DEVICES);
    std::memset(slots, 0, sizeof(char[VIDYO_CLIENT_MAX_DEVICES][VIDYO_CLIENT_DEVICE_NAME_SIZE]));
    std::uint32_t found = 0;
    for (size_t i = 0; i < n; ++i) {
        putText(slots[i], VIDYO_CLIENT_DEVICE_NAME_SIZE, names[i]);
        if (!inUse.empty() && names[i] == inUse && found == 0) {
            found = static_cast<std::uint32_t>(i);
        }
    }
    count = static_cast<std::uint32_t>(n);
    current = found;
}

const char* outcomeText(PortalReply::Outcome outcome) {
    switch (outcome) {
        case PortalReply::Outcome::Ok:
            return "ok";
        case PortalReply::Outcome::Unreachable:
            return "unreachable";
        case PortalReply::Outcome::Timeout:
            return "no answer in time";
        case PortalReply::Outcome::BadReply:
            return "unreadable answer";
        case PortalReply::Outcome::Cancelled:
            return "cancelled";
    }
    return "?";
}
}  // namespace

ConferenceClient::ConferenceClient()
    : endpointId_(newEndpointId()), timeoutMs_(timeoutFromEnvironment()) {
    refreshDevices();
}

ConferenceClient::~ConferenceClient() {
    stop();
}

void ConferenceClient::refreshDevices() {
    const DeviceNames names = enumerateDevices();
    std::lock_guard<std::mutex> lock(mutex_);
    fillNames(config_.microphones, config_.numberMicrophones, config_.currentMicrophone,
              names.microphones);
    fillNames(config_.speakers, config_.numberSpeakers, config_.currentSpeaker, names.speakers);
    fillNames(config_.cameras, config_.numberCameras, config_.currentCamera, names.cameras);
}

bool ConferenceClient::start(VidyoClientOutEventCallback callback, void* data,
                             VidyoClientWindowHandle window, const VidyoClientRect* rect) {
    if (started_) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
        commands_.clear();  // nothing sent before a stop survives into the next start
    }
    window_ = VideoRenderer::canDrawInto(window) ? window : 0;
    windowWidth_ = rect != nullptr ? rect->width : 0;
    windowHeight_ = rect != nullptr ? rect->height : 0;
    outEvents_ = std::make_unique<OutEventQueue>(callback, data);
    worker_ = std::thread([this] { work(); });
    started_ = true;
    clientLog().line("started; portal time-out " + std::to_string(timeoutMs_) + " ms");
    return true;
}

bool ConferenceClient::stop() {
    if (!started_) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        commands_.clear();
        commandsChanged_.notify_all();
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    outEvents_->stop(kCallbackStopWaitMs);
    stopDrawing();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        session_.clear();
        loggedIn_ = false;
        room_.clear();
        roomHeld_ = false;
        participants_.clear();
        pinned_.clear();
    }
    started_ = false;
    clientLog().line("stopped");
    return true;
}

void ConferenceClient::post(unsigned int event, std::vector<std::uint8_t> record) {
    clientLog().line("out-event " + std::to_string(event));
    if (outEvents_) {
        outEvents_->post(event, std::move(record));
    }
}

// ---- requests ---------------------------------------------------------------------------------

int ConferenceClient::request(unsigned int code, void* param, unsigned int size) {
    if (code == VIDYO_CLIENT_REQUEST_GET_CONFIGURATION) {
        refreshDevices();  // outside the lock: the sound server may take a moment
    }
    return answerRequest(code, param, size) ? VIDYO_CLIENT_OK : VIDYO_CLIENT_FAILED;
}

bool ConferenceClient::answerRequest(unsigned int code, void* param, unsigned int size) {
    const auto fits = [&](size_t needed) { return param != nullptr && size >= needed; };
    std::lock_guard<std::mutex> lock(mutex_);
    switch (code) {
        case VIDYO_CLIENT_REQUEST_GET_CONFIGURATION:
            if (!fits(sizeof(config_))) {
                return false;
            }
            std::memcpy(param, &config_, sizeof(config_));
            return true;
        case VIDYO_CLIENT_REQUEST_SET_CONFIGURATION: {
            VidyoClientConfiguration next;
            if (!readRecord(param, size, next)) {
                return false;
            }
            // The device names are ours; everything else is the caller's to keep.
            std::memcpy(next.microphones, config_.microphones, sizeof(next.microphones));
            std::memcpy(next.speakers, config_.speakers, sizeof(next.speakers));
            std::memcpy(next.cameras, config_.cameras, sizeof(next.cameras));
            next.numberMicrophones = config_.numberMicrophones;
            next.numberSpeakers = config_.numberSpeakers;
            next.numberCameras = config_.numberCameras;
            const std::pair<std::uint32_t, std::uint32_t> indexes[] = {
                {next.currentMicrophone, next.numberMicrophones},
                {next.currentSpeaker, next.numberSpeakers},
                {next.currentCamera, next.numberCameras}};
            for (const auto& [index, count] : indexes) {
                if (index >= count && count > 0) {
                    clientLog().line("configuration refused: device index " +
                                     std::to_string(index) + " of " + std::to_string(count));
                    return false;
                }
            }
            config_ = next;
            return true;
        }
        case VIDYO_CLIENT_REQUEST_GET_ENDPOINT_ID:
            if (!fits(sizeof(VidyoClientEndpointId))) {
                return false;
            }
            putText(static_cast<char*>(param), sizeof(VidyoClientEndpointId), endpointId_);
            return true;
        case VIDYO_CLIENT_REQUEST_GET_VOLUME_AUDIO_IN:
        case VIDYO_CLIENT_REQUEST_GET_VOLUME_AUDIO_OUT:
        case VIDYO_CLIENT_REQUEST_SET_VOLUME_AUDIO_IN:
        case VIDYO_CLIENT_REQUEST_SET_VOLUME_AUDIO_OUT: {
            if (!fits(sizeof(VidyoClientVolume))) {
                return false;
            }
            const bool input = code == VIDYO_CLIENT_REQUEST_GET_VOLUME_AUDIO_IN ||
                               code == VIDYO_CLIENT_REQUEST_SET_VOLUME_AUDIO_IN;
            std::uint32_t& volume = input ? micVolume_ : speakerVolume_;
            auto* record = static_cast<VidyoClientVolume*>(param);
            if (code == VIDYO_CLIENT_REQUEST_SET_VOLUME_AUDIO_IN ||
                code == VIDYO_CLIENT_REQUEST_SET_VOLUME_AUDIO_OUT) {
                volume = std::min<std::uint32_t>(record->volume, 65535);
            } else {
                record->volume = volume;
            }
            return true;
        }
        case VIDYO_CLIENT_REQUEST_GET_MUTED_AUDIO_IN:
        case VIDYO_CLIENT_REQUEST_GET_MUTED_AUDIO_OUT:
        case VIDYO_CLIENT_REQUEST_GET_MUTED_VIDEO:
        case VIDYO_CLIENT_REQUEST_GET_MUTED_SERVER_AUDIO_IN:
        case VIDYO_CLIENT_REQUEST_GET_MUTED_SERVER_VIDEO: {
            if (!fits(sizeof(VidyoClientMuteState))) {
                return false;
            }
            const bool muted = code == VIDYO_CLIENT_REQUEST_GET_MUTED_AUDIO_IN    ? micMuted_
                               : code == VIDYO_CLIENT_REQUEST_GET_MUTED_AUDIO_OUT ? speakerMuted_
                               : code == VIDYO_CLIENT_REQUEST_GET_MUTED_VIDEO     ? cameraMuted_
                               : code == VIDYO_CLIENT_REQUEST_GET_MUTED_SERVER_AUDIO_IN
                                   ? serverMicMuted_
                                   : serverCameraMuted_;
            static_cast<VidyoClientMuteState*>(param)->muted = muted ? 1 : 0;
            return true;
        }
        case VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_INFO: {
            if (!fits(sizeof(VidyoClientOwnParticipant))) {
                return false;
            }
            VidyoClientOwnParticipant own{};
            putText(own.uri, sizeof(own.uri), ownUri_);
            putText(own.name, sizeof(own.name), room_.empty() ? loginName_ : ownName_);
            std::memcpy(param, &own, sizeof(own));
            return true;
        }
        case VIDYO_CLIENT_REQUEST_GET_ROUTER_NAME:
            if (!fits(sizeof(VidyoClientRouterName))) {
                return false;
            }
            putText(static_cast<char*>(param), sizeof(VidyoClientRouterName),
                    portalBase_.empty()
                        ? std::string()
                        : "router@" + portalBase_.substr(portalBase_.find("://") + 3));
            return true;
        case VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_LIST: {
            if (!fits(sizeof(VidyoClientParticipantList))) {
                return false;
            }
            auto list = std::make_unique<VidyoClientParticipantList>();
            std::memset(list.get(), 0, sizeof(*list));
            const size_t n = std::min<size_t>(participants_.size(), VIDYO_CLIENT_MAX_PARTICIPANTS);
            list->numberParticipants = static_cast<std::uint32_t>(n);
            const StatisticsState state = statisticsStateLocked();
            for (size_t i = 0; i < n; ++i) {
                const Participant p = shownRates(state, participants_[i]);
                VidyoClientParticipantEntry& e = list->entries[i];
                putText(e.uri, sizeof(e.uri), p.uri);
                putText(e.name, sizeof(e.name), p.name);
                e.width = p.width;
                e.height = p.height;
                e.videoKBitsPerSecRecv = p.videoKbps;
                e.audioKBitsPerSecRecv = p.audioKbps;
                e.videoFrameRate = p.frameRate;
                e.videoDecodedFrameRate = p.decodedFrameRate;
                e.videoDisplayedFrameRate = p.displayedFrameRate;
            }
            std::memcpy(param, list.get(), sizeof(*list));
            return true;
        }
        case VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_DETAIL: {
            VidyoClientParticipantDetail detail;
            if (!readRecord(param, size, detail) || detail.index >= participants_.size()) {
                return false;
            }
            const Participant& p = participants_[detail.index];
            std::memset(&detail, 0, sizeof(detail));
            detail.index = static_cast<const VidyoClientParticipantDetail*>(param)->index;
            putText(detail.uri, sizeof(detail.uri), p.uri);
            putText(detail.name, sizeof(detail.name), p.name);
            putText(detail.participantId, sizeof(detail.participantId), p.participantId);
            std::memcpy(param, &detail, sizeof(detail));
            return true;
        }
        case VIDYO_CLIENT_REQUEST_GET_BANDWIDTH_INFO:
        case VIDYO_CLIENT_REQUEST_GET_LOCAL_VIDEO_INFO:
        case VIDYO_CLIENT_REQUEST_GET_FRAME_RATE_INFO:
        case VIDYO_CLIENT_REQUEST_GET_CPU_USAGE: {
            const size_t needed = code == VIDYO_CLIENT_REQUEST_GET_BANDWIDTH_INFO
                                      ? sizeof(VidyoClientBandwidthInfo)
                                  : code == VIDYO_CLIENT_REQUEST_GET_LOCAL_VIDEO_INFO
                                      ? sizeof(VidyoClientLocalVideoInfo)
                                  : code == VIDYO_CLIENT_REQUEST_GET_FRAME_RATE_INFO
                                      ? sizeof(VidyoClientFrameRateInfo)
                                      : sizeof(VidyoClientCpuUsage);
            if (!fits(needed)) {
                return false;
            }
            fillStatistics(code, param);
            return true;
        }
        default:
            return false;
    }
}

StatisticsState ConferenceClient::statisticsStateLocked() {
    // Own video is sent only while in a room with the camera on.
    StatisticsState state;
    state.inRoom = !room_.empty();
    state.sendingVideo = state.inRoom && !cameraMuted_ && !serverCameraMuted_;
    state.sendingAudio = state.inRoom && !micMuted_ && !serverMicMuted_;
    state.ownUri = ownUri_;
    state.pinned = pinned_;
    state.drawnRate = drawnRate_.sample(renderer_.framesDrawn(), nowMs());
    return state;
}

void ConferenceClient::fillStatistics(unsigned int code, void* param) {
    switch (code) {
        case VIDYO_CLIENT_REQUEST_GET_CPU_USAGE: {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            const long long used = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL +
                                   usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
            const long long wall = nowMs() * 1000;
            const long cores = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
            if (cpuWallUs_ != 0 && wall > cpuWallUs_) {
                cpuPercent_ = static_cast<std::uint32_t>(std::clamp<long long>(
                    (used - cpuUsedUs_) * 100 / ((wall - cpuWallUs_) * cores), 0, 100));
            }
            cpuWallUs_ = wall;
            cpuUsedUs_ = used;
            static_cast<VidyoClientCpuUsage*>(param)->percent = cpuPercent_;
            return;
        }
        case VIDYO_CLIENT_REQUEST_GET_LOCAL_VIDEO_INFO: {
            const VidyoClientLocalVideoInfo info = localVideoInfo(statisticsStateLocked());
            std::memcpy(param, &info, sizeof(info));
            return;
        }
        case VIDYO_CLIENT_REQUEST_GET_FRAME_RATE_INFO: {
            const VidyoClientFrameRateInfo info = frameRateInfo(statisticsStateLocked());
            std::memcpy(param, &info, sizeof(info));
            return;
        }
        default:
            break;
    }
    const VidyoClientBandwidthInfo info = bandwidthInfo(statisticsStateLocked(), participants_);
    std::memcpy(param, &info, sizeof(info));
}

// ---- in-events --------------------------------------------------------------------------------

int ConferenceClient::event(unsigned int code, const void* param, unsigned int size) {
    if (!started_) {
        return VIDYO_CLIENT_FAILED;
    }
    size_t needed = 0;
    switch (code) {
        case VIDYO_CLIENT_IN_EVENT_LEAVE:
        case VIDYO_CLIENT_IN_EVENT_SIGNOFF:
        case VIDYO_CLIENT_IN_EVENT_SIGNOFF_CONFIRM:
            break;
        case VIDYO_CLIENT_IN_EVENT_LOGIN:
            needed = sizeof(VidyoClientLogin);
            break;
        case VIDYO_CLIENT_IN_EVENT_ROOM_LINK:
            needed = sizeof(VidyoClientRoomLink);
            break;
        case VIDYO_CLIENT_IN_EVENT_PIN_PARTICIPANT:
            needed = sizeof(VidyoClientPinParticipant);
            break;
        case VIDYO_CLIENT_IN_EVENT_LAYOUT:
            needed = sizeof(VidyoClientLayout);
            break;
        case VIDYO_CLIENT_IN_EVENT_PREVIEW:
            needed = sizeof(VidyoClientPreview);
            break;
        case VIDYO_CLIENT_IN_EVENT_MUTE_AUDIO_IN:
        case VIDYO_CLIENT_IN_EVENT_MUTE_AUDIO_OUT:
        case VIDYO_CLIENT_IN_EVENT_MUTE_VIDEO:
            needed = sizeof(VidyoClientMuteFlag);
            break;
        default:
            clientLog().line("unknown in-event " + std::to_string(code) + " refused");
            return VIDYO_CLIENT_FAILED;
    }
    if (needed > 0 && (param == nullptr || size < needed)) {
        clientLog().line("in-event " + std::to_string(code) + " refused: record of " +
                         std::to_string(size) + " bytes");
        return VIDYO_CLIENT_FAILED;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(param);
    Command command{code, std::vector<std::uint8_t>(bytes, bytes + needed)};
    switch (code) {
        case VIDYO_CLIENT_IN_EVENT_LAYOUT: {
            std::lock_guard<std::mutex> lock(mutex_);
            std::memcpy(&layout_, bytes, sizeof(layout_));
            return VIDYO_CLIENT_OK;
        }
        case VIDYO_CLIENT_IN_EVENT_PREVIEW: {
            std::lock_guard<std::mutex> lock(mutex_);
            std::memcpy(&previewMode_, bytes, sizeof(previewMode_));
            return VIDYO_CLIENT_OK;
        }
        case VIDYO_CLIENT_IN_EVENT_SIGNOFF_CONFIRM:
            return VIDYO_CLIENT_OK;
        case VIDYO_CLIENT_IN_EVENT_MUTE_AUDIO_IN:
        case VIDYO_CLIENT_IN_EVENT_MUTE_AUDIO_OUT:
        case VIDYO_CLIENT_IN_EVENT_MUTE_VIDEO: {
            const bool mute = bytes[0] != 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                (code == VIDYO_CLIENT_IN_EVENT_MUTE_AUDIO_IN    ? micMuted_
                 : code == VIDYO_CLIENT_IN_EVENT_MUTE_AUDIO_OUT ? speakerMuted_
                                                                : cameraMuted_) = mute;
            }
            VidyoClientOutMuted out{};
            out.muted = mute ? 1 : 0;
            post(code == VIDYO_CLIENT_IN_EVENT_MUTE_AUDIO_IN ? VIDYO_CLIENT_OUT_EVENT_MUTED_AUDIO_IN
                 : code == VIDYO_CLIENT_IN_EVENT_MUTE_AUDIO_OUT
                     ? VIDYO_CLIENT_OUT_EVENT_MUTED_AUDIO_OUT
                     : VIDYO_CLIENT_OUT_EVENT_MUTED_VIDEO,
                 out);
            return VIDYO_CLIENT_OK;
        }
        default:
            break;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    // A leave without a room and a log-out without a session are errors, not silent no-ops:
    // a caller that sends them has lost track of where it is.
    const char* refusal =
        code == VIDYO_CLIENT_IN_EVENT_LEAVE && !roomHeld_     ? "leave refused: in no room"
        : code == VIDYO_CLIENT_IN_EVENT_SIGNOFF && !loggedIn_ ? "log-out refused: no session"
                                                              : nullptr;
    if (refusal != nullptr) {
        lock.unlock();
        clientLog().line(refusal);
        return VIDYO_CLIENT_FAILED;
    }
    commands_.push_back(std::move(command));
    commandsChanged_.notify_all();
    return VIDYO_CLIENT_OK;
}

// ---- worker -----------------------------------------------------------------------------------

void ConferenceClient::work() {
    prctl(PR_SET_NAME, "vc-portal", 0, 0, 0);
    while (!stopping_) {
        Command command;
        if (takeCommand(command)) {
            run(command);
            continue;
        }
        bool haveSession = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            haveSession = !session_.empty();
        }
        if (haveSession) {
            poll();
        } else {
            // Without a session there is nothing to poll: sleep until a command or the stop.
            std::unique_lock<std::mutex> lock(mutex_);
            commandsChanged_.wait(lock, [this] { return stopping_ || !commands_.empty(); });
        }
    }
}

bool ConferenceClient::takeCommand(Command& command) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (commands_.empty() || stopping_) {
        return false;
    }
    command = std::move(commands_.front());
    commands_.pop_front();
    return true;
}

void ConferenceClient::run(const Command& command) {
    switch (command.code) {
        case VIDYO_CLIENT_IN_EVENT_LOGIN: {
            VidyoClientLogin record;
            std::memcpy(&record, command.record.data(), sizeof(record));
            doLogin(record);
            break;
        }
        case VIDYO_CLIENT_IN_EVENT_ROOM_LINK: {
            VidyoClientRoomLink record;
            std::memcpy(&record, command.record.data(), sizeof(record));
            doLink(record);
            break;
        }
        case VIDYO_CLIENT_IN_EVENT_PIN_PARTICIPANT: {
            VidyoClientPinParticipant record;
            std::memcpy(&record, command.record.data(), sizeof(record));
            doPin(record);
            break;
        }
        case VIDYO_CLIENT_IN_EVENT_LEAVE:
            doLeave();
            break;
        case VIDYO_CLIENT_IN_EVENT_SIGNOFF:
            doLogout();
            break;
        default:
            break;
    }
}

PortalReply ConferenceClient::portalCall(const std::string& base, const std::string& path,
                                         const Json::Value& body, long timeoutMs) {
    PortalReply reply = PortalConnection::call(base + path, body, timeoutMs, stopping_);
    if (reply.outcome != PortalReply::Outcome::Ok) {
        clientLog().line("portal " + path + ": " + outcomeText(reply.outcome) + " (" +
                         reply.detail + ")");
    }
    return reply;
}

int ConferenceClient::errorOf(const PortalReply& reply) {
    switch (reply.outcome) {
        case PortalReply::Outcome::Ok:
            break;
        case PortalReply::Outcome::Timeout:
            return VIDYO_CLIENT_ERROR_TIMEOUT;
        case PortalReply::Outcome::BadReply:
            return VIDYO_CLIENT_ERROR_BAD_REPLY;
        default:
            return VIDYO_CLIENT_ERROR_UNREACHABLE;
    }
    if (reply.body["ok"].isBool() && reply.body["ok"].asBool()) {
        return VIDYO_CLIENT_ERROR_NONE;
    }
    const int error = intOf(reply.body, "error");
    return error != 0 ? error : VIDYO_CLIENT_ERROR_REFUSED;
}

void ConferenceClient::doLogin(const VidyoClientLogin& record) {
    const std::string portal = getText(record.portalUri, sizeof(record.portalUri));
    const std::string user = getText(record.userName, sizeof(record.userName));
    const std::string base = PortalConnection::baseUrl(portal);
    clientLog().line("log-in of " + user + " at " + base);
    Json::Value body;
    body["user"] = user;
    body["password"] = getText(record.password, sizeof(record.password));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        body["endpointId"] = endpointId_;
    }
    const PortalReply reply = portalCall(base, "/portal/login", body, timeoutMs_);
    if (reply.outcome == PortalReply::Outcome::Cancelled) {
        return;
    }
    const int error = errorOf(reply);
    const std::string session =
        reply.body["session"].isString() ? reply.body["session"].asString() : "";
    const bool ok = error == 0 && !session.empty();
    VidyoClientOutLoginProgress progress{};
    progress.error =
        static_cast<std::uint32_t>(ok ? 0 : (error != 0 ? error : VIDYO_CLIENT_ERROR_BAD_REPLY));
    putText(progress.portalUri, sizeof(progress.portalUri), portal);
    putText(progress.userName, sizeof(progress.userName), user);
    post(VIDYO_CLIENT_OUT_EVENT_LOGIN_PROGRESS, progress);
    if (!ok) {
        clientLog().line("log-in failed, error " + std::to_string(progress.error));
        VidyoClientOutSignedOut out{};
        out.error = progress.error;
        post(VIDYO_CLIENT_OUT_EVENT_SIGNED_OUT, out);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        portalBase_ = base;
        session_ = session;
        loggedIn_ = true;
        loginName_ =
            reply.body["displayName"].isString() ? reply.body["displayName"].asString() : user;
        pollFailingSinceMs_ = 0;
    }
    clientLog().line("logged in, session " + session);
    post(VIDYO_CLIENT_OUT_EVENT_SIGNED_IN);
}

void ConferenceClient::doLink(const VidyoClientRoomLink& record) {
    const std::string portal = getText(record.portalUri, sizeof(record.portalUri));
    const std::string roomKey = getText(record.roomKey, sizeof(record.roomKey));
    const std::string base = PortalConnection::baseUrl(portal);
    Json::Value body;
    body["roomKey"] = roomKey;
    body["displayName"] = getText(record.displayName, sizeof(record.displayName));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        body["endpointId"] = endpointId_;
        if (loggedIn_ && portalBase_ == base) {
            body["session"] = session_;
        }
    }
    clientLog().line("room link to " + roomKey + " at " + base +
                     (body.isMember("session") ? " as a user" : " as a guest"));
    const PortalReply reply = portalCall(base, "/portal/link", body, timeoutMs_);
    if (reply.outcome == PortalReply::Outcome::Cancelled) {
        return;
    }
    int error = errorOf(reply);
    const std::string session =
        reply.body["session"].isString() ? reply.body["session"].asString() : "";
    if (error == 0 && session.empty()) {
        error = VIDYO_CLIENT_ERROR_BAD_REPLY;
    }
    VidyoClientOutError linked{};
    linked.error = static_cast<std::uint32_t>(error);
    post(VIDYO_CLIENT_OUT_EVENT_LINKED, linked);
    if (error != 0) {
        clientLog().line("room link failed, error " + std::to_string(error));
        post(VIDYO_CLIENT_OUT_EVENT_JOIN_PROGRESS, linked);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        portalBase_ = base;
        session_ = session;
        room_ = roomKey;
        roomHeld_ = true;
        ownUri_ = textOf(reply.body, "uri");
        ownName_ = textOf(reply.body, "displayName");
        ownParticipantId_ = textOf(reply.body, "participantId");
        pinned_.clear();
        participants_.clear();
        pollFailingSinceMs_ = 0;
    }
    clientLog().line("in room " + roomKey + " as " + ownUri_);
    startDrawing();
    VidyoClientOutValue call{};
    call.value = kCallActive;
    post(VIDYO_CLIENT_OUT_EVENT_CALL_STATE, call);
    post(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ACTIVE);
}

void ConferenceClient::doLeave() {
    std::string base, session, room;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        base = portalBase_;
        session = session_;
        room = room_;
        room_.clear();
        roomHeld_ = false;
        participants_.clear();
        pinned_.clear();
        if (!loggedIn_) {
            session_.clear();  // a guest's session ends with its room
        }
    }
    if (!session.empty()) {
        Json::Value body;
        body["session"] = session;
        portalCall(base, "/portal/leave", body, timeoutMs_);  // left locally whatever it says
    }
    clientLog().line(room.empty() ? "left the dropped call" : "left room " + room);
    stopDrawing();
    post(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ENDED);
}

void ConferenceClient::doLogout() {
    std::string base, session;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        base = portalBase_;
        session = session_;
        session_.clear();
        loggedIn_ = false;
        loginName_.clear();
        room_.clear();
        roomHeld_ = false;
        participants_.clear();
        pinned_.clear();
    }
    if (!session.empty()) {
        Json::Value body;
        body["session"] = session;
        portalCall(base, "/portal/logout", body, timeoutMs_);
    }
    clientLog().line("logged out");
    stopDrawing();
    post(VIDYO_CLIENT_OUT_EVENT_SIGNED_OUT, VidyoClientOutSignedOut{});
}

void ConferenceClient::doPin(const VidyoClientPinParticipant& record) {
    const std::string who = getText(record.participant, sizeof(record.participant));
    std::string base, session;
    bool inRoom = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        base = portalBase_;
        session = session_;
        inRoom = !room_.empty();
    }
    VidyoClientOutPinResult result{};
    result.source = record.source;
    putText(result.participant, sizeof(result.participant), who);
    result.videoMode = record.mode == VIDYO_CLIENT_PIN_MODE_PIN ? 2 : 1;
    result.isSet = 0;
    if (inRoom) {
        Json::Value body;
        body["session"] = session;
        body["participant"] = who;
        body["mode"] = static_cast<int>(record.mode);
        const PortalReply reply = portalCall(base, "/portal/pin", body, timeoutMs_);
        if (reply.outcome == PortalReply::Outcome::Cancelled) {
            return;
        }
        if (errorOf(reply) == 0) {
            result.videoMode = static_cast<std::uint32_t>(intOf(reply.body, "videoMode"));
            result.isSet = intOf(reply.body, "isSet") == 1 ? 1 : 0;
        }
    }
    clientLog().line("pin " + who + " mode " + std::to_string(record.mode) + ": videoMode=" +
                     std::to_string(result.videoMode) + " isSet=" + std::to_string(result.isSet));
    if (result.isSet == 1) {
        std::lock_guard<std::mutex> lock(mutex_);
        pinned_ = record.mode == VIDYO_CLIENT_PIN_MODE_PIN ? who : std::string();
    }
    updateCaption();
    post(VIDYO_CLIENT_OUT_EVENT_PIN_RESULT, result);
}

void ConferenceClient::poll() {
    std::string base, session;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        base = portalBase_;
        session = session_;
    }
    const std::string path =
        "/portal/events?session=" + urlEncode(session) + "&waitMs=" + std::to_string(kPollWaitMs);
    const PortalReply reply = portalCall(base, path, Json::Value(), kPollWaitMs + timeoutMs_);
    if (reply.outcome == PortalReply::Outcome::Cancelled) {
        return;
    }
    if (reply.outcome == PortalReply::Outcome::Ok && reply.status == 404) {
        clientLog().line("the portal no longer knows session " + session);
        bool inRoom = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            inRoom = !room_.empty();
            session_.clear();
            loggedIn_ = false;
        }
        if (inRoom) {
            dropCall("session ended by the portal");
        }
        return;
    }
    if (errorOf(reply) != 0) {
        bool drop = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (pollFailingSinceMs_ == 0) {
                pollFailingSinceMs_ = nowMs();
            }
            drop = !room_.empty() && nowMs() - pollFailingSinceMs_ >= timeoutMs_;
        }
        if (drop) {
            dropCall("portal unreachable");
        } else {
            // Do not spin against a portal that refuses connections at once.
            std::unique_lock<std::mutex> lock(mutex_);
            commandsChanged_.wait_for(lock, std::chrono::milliseconds(kPollWaitMs),
                                      [this] { return stopping_ || !commands_.empty(); });
        }
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pollFailingSinceMs_ = 0;
    }
    takeParticipants(reply.body["participants"]);
    bool sawDrop = false;
    for (const Json::Value& event : reply.body["events"]) {
        sawDrop = sawDrop || (textOf(event, "type") == "callState" && intOf(event, "state") == 0);
        handlePortalEvent(event);
    }
    bool inRoom = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        inRoom = !room_.empty();
    }
    if (inRoom && !sawDrop && reply.body["inRoom"].isBool() && !reply.body["inRoom"].asBool()) {
        dropCall("the portal has this session in no room");
    }
}

void ConferenceClient::takeParticipants(const Json::Value& list) {
    if (!list.isArray()) {
        return;
    }
    std::vector<Participant> next;
    for (const Json::Value& p : list) {
        if (!p.isObject()) {
            continue;
        }
        Participant entry;
        entry.uri = p["uri"].isString() ? p["uri"].asString() : "";
        entry.name = p["name"].isString() ? p["name"].asString() : "";
        entry.participantId = p["participantId"].isString() ? p["participantId"].asString() : "";
        const std::pair<const char*, std::int32_t*> numbers[] = {
            {"width", &entry.width},
            {"height", &entry.height},
            {"videoKBitsPerSecRecv", &entry.videoKbps},
            {"audioKBitsPerSecRecv", &entry.audioKbps},
            {"videoFrameRate", &entry.frameRate},
            {"videoDecodedFrameRate", &entry.decodedFrameRate},
            {"videoDisplayedFrameRate", &entry.displayedFrameRate}};
        for (const auto& [key, target] : numbers) {
            *target = p[key].isInt() ? p[key].asInt() : 0;
        }
        next.push_back(std::move(entry));
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!room_.empty()) {
            participants_ = std::move(next);
        }
    }
    updateCaption();  // the pinned participant's name may have arrived
}

void ConferenceClient::handlePortalEvent(const Json::Value& event) {
    if (!event.isObject() || !event["type"].isString()) {
        clientLog().line("portal event without a type ignored");
        return;
    }
    const std::string type = event["type"].asString();
    const auto field = [&event](const char* key) {
        return event[key].isString() ? event[key].asString() : std::string();
    };
    if (type == "chat") {
        auto chat = std::make_unique<VidyoClientOutChat>();
        std::memset(chat.get(), 0, sizeof(*chat));
        putText(chat->uri, sizeof(chat->uri), field("uri"));
        putText(chat->displayName, sizeof(chat->displayName), field("displayName"));
        putText(chat->message, sizeof(chat->message), field("message"));
        const bool isPrivate = event["private"].isBool() && event["private"].asBool();
        post(isPrivate ? VIDYO_CLIENT_OUT_EVENT_PRIVATE_CHAT : VIDYO_CLIENT_OUT_EVENT_GROUP_CHAT,
             *chat);
    } else if (type == "sourceRemoved") {
        VidyoClientOutSourceRemoved removed{};
        putText(removed.uri, sizeof(removed.uri), field("uri"));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (pinned_ == field("uri")) {
                pinned_.clear();
            }
        }
        updateCaption();
        post(VIDYO_CLIENT_OUT_EVENT_REMOTE_SOURCE_REMOVED, removed);
    } else if (type == "callState") {
        const int state = event["state"].isInt() ? event["state"].asInt() : 0;
        if (state == 0) {
            dropCall("the portal ended the call");
        } else {
            VidyoClientOutValue call{};
            call.value = static_cast<std::uint32_t>(state);
            post(VIDYO_CLIENT_OUT_EVENT_CALL_STATE, call);
        }
    } else if (type == "mute") {
        const bool camera = field("device") == "camera";
        const bool muted = event["muted"].isBool() && event["muted"].asBool();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            (camera ? serverCameraMuted_ : serverMicMuted_) = muted;
        }
        VidyoClientOutMuted out{};
        out.muted = muted ? 1 : 0;
        post(camera ? VIDYO_CLIENT_OUT_EVENT_MUTED_SERVER_VIDEO
                    : VIDYO_CLIENT_OUT_EVENT_MUTED_SERVER_AUDIO_IN,
             out);
    } else if (type == "notice") {
        post(VIDYO_CLIENT_OUT_EVENT_CONFERENCE_NOTICE);
    } else if (type == "participantsChanged") {
        post(VIDYO_CLIENT_OUT_EVENT_PARTICIPANTS_CHANGED);
    } else {
        clientLog().line("portal event " + type + " ignored");
    }
}

void ConferenceClient::dropCall(const std::string& why) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        room_.clear();
        participants_.clear();
        pinned_.clear();
        if (!loggedIn_) {
            session_.clear();
        }
    }
    clientLog().line("call dropped: " + why);
    stopDrawing();
    post(VIDYO_CLIENT_OUT_EVENT_CALL_STATE, VidyoClientOutValue{});
}

std::string ConferenceClient::captionText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (room_.empty()) {
        return "Fenwix 课堂 - 未入会";
    }
    if (pinned_.empty()) {
        return "课堂 " + room_;
    }
    std::string name = pinned_;
    for (const Participant& p : participants_) {
        if (p.uri == pinned_ && !p.name.empty()) {
            name = p.name;
        }
    }
    return "课堂 " + room_ + "\n" + name;
}

void ConferenceClient::updateCaption() {
    renderer_.setCaption(captionText());
}

void ConferenceClient::startDrawing() {
    if (window_ == 0) {
        return;
    }
    stopDrawing();
    if (!windowWatch_.start(window_, [this](bool shown) { showVideo(shown); })) {
        showVideo(true);  // cannot tell when it is hidden: draw as long as in the room
    }
}

void ConferenceClient::stopDrawing() {
    windowWatch_.stop();
    renderer_.stop();
}

void ConferenceClient::showVideo(bool shown) {
    clientLog().line(std::string("video: render window ") + (shown ? "shown" : "hidden"));
    if (!shown) {
        renderer_.stop();
        return;
    }
    // The pipeline's threads take their name from this one: call them what they do.
    prctl(PR_SET_NAME, "vc-video", 0, 0, 0);
    renderer_.start(window_, windowWidth_, windowHeight_, captionText());
    prctl(PR_SET_NAME, "vc-window", 0, 0, 0);
    updateCaption();  // a pin may have landed while the pipeline was being built
}

}  // namespace vidyoclient
