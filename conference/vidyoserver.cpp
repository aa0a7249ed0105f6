#include "conference/vidyoserver.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "conference/vidyoclientapi.h"
#include "logging/log4z.h"
#include "platform/textcodec.h"
#include "service/commonutil.h"

namespace {

std::atomic<VidyoServerSink*> g_sink{nullptr};
// Handed to the library as its user data; the library only passes it back.
const char g_userData[] = "My conference";

void* userData() {
    return const_cast<char*>(g_userData);
}

// The records given at initialise and start; the library may keep their pointers, so they live
// as long as the process.
struct StartRecords {
    VidyoClientLogProperties logProperties{};
    VidyoClientStartParams startParams{};
    std::string version;
};

StartRecords& startRecords() {
    static StartRecords records = [] {
        StartRecords r;
        std::memset(&r.logProperties, 0, sizeof(r.logProperties));
        r.logProperties.levelsAndCategories = "debug@App debug@AppEvents";
        r.logProperties.maxLogFileSize = 5000000;
        r.logProperties.logFileDirectory = "./log";
        r.logProperties.logFileName = "Vidyo";
        r.logProperties.configDirectory = "./log";
        r.logProperties.reserved = "";
        r.version = fenwix::platform::wideToLocal(CComConfig::getInstance()->getVersion());
        std::memset(&r.startParams, 0, sizeof(r.startParams));
        r.startParams.pathToLogDir = "./VidyoLog/";
        r.startParams.reserved0 = "";
        r.startParams.applicationName = "FenwixDesktop";
        r.startParams.applicationVersion = r.version.c_str();
        r.startParams.pathToDumpDir = "./VidyoLog/";
        r.startParams.pathToConfigDir = "./VidyoLog/";
        r.startParams.pathToTempDir = "./VidyoLog/";
        r.startParams.pathToCacheDir = "./VidyoLog/";
        r.startParams.maxLogFileSize = 65000;
        r.startParams.reserved1 = 0;
        return r;
    }();
    return records;
}

// Copies text into a fixed field, NUL-terminated; a text too long is cut at a character
// boundary so the library never sees half a UTF-8 sequence.
void putText(char* field, std::size_t width, const std::string& text) {
    std::size_t n = std::min(text.size(), width - 1);
    if (n < text.size()) {
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
            --n;
        }
    }
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

// A text field of a record the library filled: up to the first NUL, never past the field.
std::string getText(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}

template <typename Record>
std::unique_ptr<Record> zeroed() {
    auto record = std::make_unique<Record>();
    std::memset(record.get(), 0, sizeof(Record));
    return record;
}

template <typename Record>
bool request(unsigned int code, Record& record) {
    return vidyoClientApi().sendRequest(code, &record, sizeof(Record)) == VIDYO_CLIENT_OK;
}

template <typename Record>
bool sendEvent(unsigned int code, Record& record) {
    return vidyoClientApi().sendEvent(code, &record, sizeof(Record)) == VIDYO_CLIENT_OK;
}

bool sendBareEvent(unsigned int code) {
    return vidyoClientApi().sendEvent(code, nullptr, 0) == VIDYO_CLIENT_OK;
}

std::unique_ptr<VidyoClientConfiguration> readConfiguration() {
    auto config = zeroed<VidyoClientConfiguration>();
    if (!request(VIDYO_CLIENT_REQUEST_GET_CONFIGURATION, *config)) {
        // Writing a zeroed record back would wipe the library's device choice and settings.
        LOGW("vidyo configuration could not be read; nothing is changed");
        return nullptr;
    }
    return config;
}

void writeConfiguration(VidyoClientConfiguration& config) {
    request(VIDYO_CLIENT_REQUEST_SET_CONFIGURATION, config);
}

std::vector<std::string> deviceNames(const char (*names)[VIDYO_CLIENT_DEVICE_NAME_SIZE],
                                     std::uint32_t count) {
    std::vector<std::string> out;
    const std::uint32_t n = std::min<std::uint32_t>(count, VIDYO_CLIENT_MAX_DEVICES);
    for (std::uint32_t i = 0; i < n; ++i) {
        out.push_back(getText(names[i], VIDYO_CLIENT_DEVICE_NAME_SIZE));
    }
    return out;
}

// Index of the first stored name equal byte for byte to `name`, or -1.
int findDevice(const char (*names)[VIDYO_CLIENT_DEVICE_NAME_SIZE], std::uint32_t count,
               const std::string& name) {
    const std::uint32_t n = std::min<std::uint32_t>(count, VIDYO_CLIENT_MAX_DEVICES);
    for (std::uint32_t i = 0; i < n; ++i) {
        if (getText(names[i], VIDYO_CLIENT_DEVICE_NAME_SIZE) == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int participantCount(const VidyoClientParticipantList& list) {
    return static_cast<int>(
        std::min<std::uint32_t>(list.numberParticipants, VIDYO_CLIENT_MAX_PARTICIPANTS));
}

// A record delivered with an out-event, read within the size the library gave.
class OutRecord {
public:
    OutRecord(const void* data, unsigned int size)
        : data_(static_cast<const unsigned char*>(data)), size_(data == nullptr ? 0 : size) {}

    bool has(std::size_t bytes) const { return size_ >= bytes; }

    std::uint32_t u32(std::size_t offset) const {
        std::uint32_t value = 0;
        std::memcpy(&value, data_ + offset, sizeof(value));
        return value;
    }
    unsigned char byte(std::size_t offset) const { return data_[offset]; }

    // Up to the first NUL, the field's width or the record's end, whichever comes first.
    std::string text(std::size_t offset, std::size_t width) const {
        if (offset >= size_) {
            return std::string();
        }
        const std::size_t room = std::min(width, size_ - offset);
        return getText(reinterpret_cast<const char*>(data_ + offset), room);
    }

private:
    const unsigned char* data_;
    std::size_t size_;
};

void logShortRecord(unsigned int event, unsigned int size) {
    LOGW("OutEvent " << event << " record too short: " << size << " bytes; ignored");
}

}  // namespace

// --- sink ----------------------------------------------------------------------------------

void VidyoServer::setSink(VidyoServerSink* sink) {
    g_sink.store(sink);
}

VidyoServerSink* VidyoServer::sink() {
    return g_sink.load();
}

// --- life cycle ----------------------------------------------------------------------------

bool VidyoServer::initSdk() {
    StartRecords& records = startRecords();
    const bool ok = vidyoClientApi().initialize(&VidyoServer::outEventHandler, userData(),
                                                &records.logProperties) == VIDYO_CLIENT_OK;
    LOGI((ok ? "初始化vidyo sdk成功 " : "初始化vidyo sdk失败 "));
    return ok;
}

bool VidyoServer::startSdk(const VideoWindow& window) {
    StartRecords& records = startRecords();
    VidyoClientRect rect{0, 0, window.width, window.height};
    const bool ok = vidyoClientApi().start(&VidyoServer::outEventHandler, userData(),
                                           &records.logProperties, window.handle, &rect, nullptr,
                                           &records.startParams, 0) == VIDYO_CLIENT_OK;
    LOGI((ok ? "启动vidyo sdk成功 " : "启动vidyo sdk失败 "));
    if (ok) {
        applyStartConfiguration();
    }
    return ok;
}

void VidyoServer::applyStartConfiguration() {
    auto config = readConfiguration();
    if (!config) {
        return;
    }
    config->startOptionA = 0;
    config->startOptionB = 1;
    writeConfiguration(*config);
}

bool VidyoServer::stopSdk() {
    return vidyoClientApi().stop() != 0;
}

void VidyoServer::uninitSdk() {
    vidyoClientApi().uninitialize();
}

// --- commands ------------------------------------------------------------------------------

bool VidyoServer::login(const std::string& portal, const std::string& userName,
                        const std::string& password) {
    auto record = zeroed<VidyoClientLogin>();
    putText(record->portalUri, sizeof(record->portalUri), portal);
    putText(record->userName, sizeof(record->userName), userName);
    putText(record->password, sizeof(record->password), password);
    LOGI("用户: " << userName << "开始登录");
    return sendEvent(VIDYO_CLIENT_IN_EVENT_LOGIN, *record);
}

bool VidyoServer::linkRoom(const std::string& portal, const std::string& roomKey,
                           const std::string& displayName) {
    auto record = zeroed<VidyoClientRoomLink>();
    putText(record->portalUri, sizeof(record->portalUri), portal);
    putText(record->roomKey, sizeof(record->roomKey), roomKey);
    putText(record->displayName, sizeof(record->displayName), displayName);
    LOGI("用户: " << displayName << "开始link会议");
    return sendEvent(VIDYO_CLIENT_IN_EVENT_ROOM_LINK, *record);
}

bool VidyoServer::leaveConference() {
    LOGI("开始退出会议");
    return sendBareEvent(VIDYO_CLIENT_IN_EVENT_LEAVE);
}

bool VidyoServer::logout() {
    LOGI("开始退出登录");
    return sendBareEvent(VIDYO_CLIENT_IN_EVENT_SIGNOFF);
}

// --- devices -------------------------------------------------------------------------------

VidyoDeviceLists VidyoServer::getDeviceLists() {
    VidyoDeviceLists lists;
    auto config = readConfiguration();
    if (!config) {
        return lists;
    }
    lists.cameras = deviceNames(config->cameras, config->numberCameras);
    lists.microphones = deviceNames(config->microphones, config->numberMicrophones);
    lists.speakers = deviceNames(config->speakers, config->numberSpeakers);
    lists.curCamera = static_cast<int>(config->currentCamera);
    lists.curMicrophone = static_cast<int>(config->currentMicrophone);
    lists.curSpeaker = static_cast<int>(config->currentSpeaker);
    return lists;
}

void VidyoServer::setCamera(int index) {
    LOGI("准备设置使用的摄像头: " << index);
    if (auto config = readConfiguration()) {
        config->currentCamera = static_cast<std::uint32_t>(index);
        writeConfiguration(*config);
    }
}

void VidyoServer::setMicrophone(int index) {
    LOGI("准备设置使用的麦克风: " << index);
    if (auto config = readConfiguration()) {
        config->currentMicrophone = static_cast<std::uint32_t>(index);
        writeConfiguration(*config);
    }
}

void VidyoServer::setSpeaker(int index) {
    LOGI("准备设置使用的扬声器: " << index);
    if (auto config = readConfiguration()) {
        config->currentSpeaker = static_cast<std::uint32_t>(index);
        writeConfiguration(*config);
    }
}

void VidyoServer::setMicrophoneByName(const std::string& name) {
    LOGI("准备设置使用的麦克风: " << name);
    auto config = readConfiguration();
    if (!config) {
        return;
    }
    const int index = findDevice(config->microphones, config->numberMicrophones, name);
    if (index < 0) {
        return;
    }
    LOGI("mic index = " << index);
    config->currentMicrophone = static_cast<std::uint32_t>(index);
    writeConfiguration(*config);
}

void VidyoServer::setSpeakerByName(const std::string& name) {
    LOGI("准备设置使用的扬声器: " << name);
    auto config = readConfiguration();
    if (!config) {
        return;
    }
    const int index = findDevice(config->speakers, config->numberSpeakers, name);
    if (index < 0) {
        return;
    }
    LOGI("speaker index = " << index);
    config->currentSpeaker = static_cast<std::uint32_t>(index);
    writeConfiguration(*config);
}

// --- mutes and volumes ---------------------------------------------------------------------

namespace {

void sendMute(unsigned int code, bool on) {
    VidyoClientMuteFlag flag{};
    flag.mute = on ? 1 : 0;
    sendEvent(code, flag);
}

int readVolume(unsigned int code) {
    VidyoClientVolume volume{};
    request(code, volume);
    return static_cast<int>(volume.volume);
}

bool writeVolume(unsigned int code, int value) {
    VidyoClientVolume volume{};
    volume.volume = static_cast<std::uint32_t>(value);
    return request(code, volume);
}

bool readMuted(unsigned int code) {
    VidyoClientMuteState state{};
    request(code, state);
    return state.muted != 0;
}

}  // namespace

void VidyoServer::muteMicrophone(bool on) {
    LOGI("准备设置麦克风关闭: " << (on ? 1 : 0));
    sendMute(VIDYO_CLIENT_IN_EVENT_MUTE_AUDIO_IN, on);
}

void VidyoServer::muteSpeaker(bool on) {
    LOGI("准备设置扬声器关闭: " << (on ? 1 : 0));
    sendMute(VIDYO_CLIENT_IN_EVENT_MUTE_AUDIO_OUT, on);
}

void VidyoServer::muteCamera(bool on) {
    LOGI("准备设置摄像头关闭: " << (on ? 1 : 0));
    sendMute(VIDYO_CLIENT_IN_EVENT_MUTE_VIDEO, on);
}

int VidyoServer::getMicVolume() {
    const int value = readVolume(VIDYO_CLIENT_REQUEST_GET_VOLUME_AUDIO_IN);
    LOGI("获取音频输入音量: " << value);
    return value;
}

int VidyoServer::getSpeakerVolume() {
    const int value = readVolume(VIDYO_CLIENT_REQUEST_GET_VOLUME_AUDIO_OUT);
    LOGI("获取音频输出音量: " << value);
    return value;
}

bool VidyoServer::setMicVolume(int volume) {
    LOGI("准备设置音频输入音量: " << volume);
    return writeVolume(VIDYO_CLIENT_REQUEST_SET_VOLUME_AUDIO_IN, volume);
}

bool VidyoServer::setSpeakerVolume(int volume) {
    LOGI("准备设置音频输出音量: " << volume);
    return writeVolume(VIDYO_CLIENT_REQUEST_SET_VOLUME_AUDIO_OUT, volume);
}

bool VidyoServer::isMicMutedLocally() {
    return readMuted(VIDYO_CLIENT_REQUEST_GET_MUTED_AUDIO_IN);
}

bool VidyoServer::isMicMutedByServer() {
    return readMuted(VIDYO_CLIENT_REQUEST_GET_MUTED_SERVER_AUDIO_IN);
}

bool VidyoServer::isCameraMutedLocally() {
    return readMuted(VIDYO_CLIENT_REQUEST_GET_MUTED_VIDEO);
}

bool VidyoServer::isCameraMutedByServer() {
    return readMuted(VIDYO_CLIENT_REQUEST_GET_MUTED_SERVER_VIDEO);
}

// --- view ----------------------------------------------------------------------------------

void VidyoServer::setPreviewMode(bool on) {
    LOGI("准备设置预览模式: " << (on ? 1 : 0));
    VidyoClientPreview preview{};
    preview.mode = on ? VIDYO_CLIENT_PREVIEW_ON : VIDYO_CLIENT_PREVIEW_OFF;
    sendEvent(VIDYO_CLIENT_IN_EVENT_PREVIEW, preview);
}

void VidyoServer::pinParticipant(const std::string& name, bool on) {
    auto pin = zeroed<VidyoClientPinParticipant>();
    pin->source = VIDYO_CLIENT_PIN_SOURCE;
    putText(pin->participant, sizeof(pin->participant), name);
    pin->mode = on ? VIDYO_CLIENT_PIN_MODE_PIN : VIDYO_CLIENT_PIN_MODE_RELEASE;
    sendEvent(VIDYO_CLIENT_IN_EVENT_PIN_PARTICIPANT, *pin);
    setLayout(on ? 1 : 8);
}

void VidyoServer::setLayout(int value) {
    VidyoClientLayout layout{};
    layout.layout = value;
    sendEvent(VIDYO_CLIENT_IN_EVENT_LAYOUT, layout);
}

// --- identity and statistics ---------------------------------------------------------------

std::string VidyoServer::getEndpointId() {
    VidyoClientEndpointId id{};
    request(VIDYO_CLIENT_REQUEST_GET_ENDPOINT_ID, id);
    return getText(id.id, sizeof(id.id));
}

std::string VidyoServer::getRouterName() {
    VidyoClientRouterName router{};
    request(VIDYO_CLIENT_REQUEST_GET_ROUTER_NAME, router);
    return getText(router.name, sizeof(router.name));
}

std::string VidyoServer::getParticipantId() {
    auto own = zeroed<VidyoClientOwnParticipant>();
    request(VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_INFO, *own);
    const std::string ownName =
        fenwix::platform::utf8ToLocal(getText(own->name, sizeof(own->name)));

    auto list = zeroed<VidyoClientParticipantList>();
    request(VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_LIST, *list);
    LOGI("STATISTICS_LIST 总人数= " << list->numberParticipants);

    const int count = participantCount(*list);
    for (int i = 0; i < count; ++i) {
        const auto& entry = list->entries[i];
        const std::string name =
            fenwix::platform::utf8ToLocal(getText(entry.name, sizeof(entry.name)));
        LOGI("用户=" << name << "  当前=" << ownName);
        if (name != ownName) {
            continue;
        }
        auto detail = zeroed<VidyoClientParticipantDetail>();
        detail->index = static_cast<std::uint32_t>(i);
        request(VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_DETAIL, *detail);
        std::string id = getText(detail->participantId, sizeof(detail->participantId));
        LOGI("用户=" << fenwix::platform::utf8ToLocal(getText(detail->name, sizeof(detail->name)))
                     << " participantID=" << id);
        return id;
    }
    return "-1";
}

void VidyoServer::getConferenceStatistics(ConferenceStatusBean& record) {
    VidyoClientCpuUsage cpu{};
    request(VIDYO_CLIENT_REQUEST_GET_CPU_USAGE, cpu);
    record.cpu = static_cast<std::int32_t>(cpu.percent);

    VidyoClientBandwidthInfo bw{};
    request(VIDYO_CLIENT_REQUEST_GET_BANDWIDTH_INFO, bw);
    record.availSendBwMax = static_cast<std::int32_t>(bw.availSendBwMax);
    record.actualSendBwMax = static_cast<std::int32_t>(bw.actualSendBwMax);
    record.actualSendBwVideo = static_cast<std::int32_t>(bw.actualSendBwVideo);
    record.actualSendBwAudio = static_cast<std::int32_t>(bw.actualSendBwAudio);
    record.actualSendBwApplication = static_cast<std::int32_t>(bw.actualSendBwApplication);
    record.availRecvBwMax = static_cast<std::int32_t>(bw.availRecvBwMax);
    record.actualRecvBwMax = static_cast<std::int32_t>(bw.actualRecvBwMax);
    record.actualRecvBwVideo = static_cast<std::int32_t>(bw.actualRecvBwVideo);
    record.actualRecvBwAudio = static_cast<std::int32_t>(bw.actualRecvBwAudio);
    record.actualRecvBwApplication = static_cast<std::int32_t>(bw.actualRecvBwApplication);

    VidyoClientLocalVideoInfo video{};
    request(VIDYO_CLIENT_REQUEST_GET_LOCAL_VIDEO_INFO, video);
    record.videoWidth = static_cast<std::int32_t>(video.width);
    record.videoHeight = static_cast<std::int32_t>(video.height);

    VidyoClientFrameRateInfo rates{};
    request(VIDYO_CLIENT_REQUEST_GET_FRAME_RATE_INFO, rates);
    record.videoCapture = static_cast<std::int32_t>(rates.captureFrameRate);
    record.videoSend = static_cast<std::int32_t>(rates.sendFrameRate);

    auto list = zeroed<VidyoClientParticipantList>();
    request(VIDYO_CLIENT_REQUEST_GET_PARTICIPANT_LIST, *list);
    record.rateList.clear();
    const int count = participantCount(*list);
    for (int i = 0; i < count; ++i) {
        const auto& entry = list->entries[i];
        ConferenceStatusRateBean bean;
        bean.name = getText(entry.name, sizeof(entry.name));
        bean.width = entry.width;
        bean.height = entry.height;
        bean.videoKBitsPerSecRecv = entry.videoKBitsPerSecRecv;
        bean.audioKBitsPerSecRecv = entry.audioKBitsPerSecRecv;
        bean.videoFrameRate = entry.videoFrameRate;
        bean.videoDecodedFrameRate = entry.videoDecodedFrameRate;
        bean.videoDisplayedFrameRate = entry.videoDisplayedFrameRate;
        bean.uri = getText(entry.uri, sizeof(entry.uri));
        record.rateList.push_back(std::move(bean));
    }
}

// --- out-events ----------------------------------------------------------------------------

void VidyoServer::outEventHandler(unsigned int event, void* param, unsigned int paramSize,
                                  void* /*data*/) {
    switch (event) {
        case VIDYO_CLIENT_OUT_EVENT_PARTICIPANTS_CHANGED:
        case VIDYO_CLIENT_OUT_EVENT_FLOATING_WINDOW:
        case VIDYO_CLIENT_OUT_EVENT_RAW_AUDIO_FRAME:
        case VIDYO_CLIENT_OUT_EVENT_RAW_VIDEO_FRAME:
        case VIDYO_CLIENT_OUT_EVENT_STATISTICS_TICK:
            break;  // frequent: not logged
        default:
            LOGI("OutEvent: " << event);
            break;
    }
    routeOutEvent(event, param, paramSize);
}

void VidyoServer::routeOutEvent(unsigned int event, const void* param, unsigned int paramSize) {
    const OutRecord record(param, paramSize);
    VidyoServerSink* const target = g_sink.load();
    switch (event) {
        case VIDYO_CLIENT_OUT_EVENT_SIGNOFF_PROMPT:
            if (!record.has(4)) {
                logShortRecord(event, paramSize);
            } else if (record.u32(0) == 0) {
                sendBareEvent(VIDYO_CLIENT_IN_EVENT_SIGNOFF_CONFIRM);
            }
            return;
        case VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ACTIVE:
            LOGI("加入会议操作成功 \n");
            if (target != nullptr) {
                target->onJoinSuccess();
            }
            return;
        case VIDYO_CLIENT_OUT_EVENT_CONFERENCE_ENDED:
            LOGI("退出会议操作成功 \n");
            if (target != nullptr) {
                target->onLeaveSuccess();
            }
            return;
        case VIDYO_CLIENT_OUT_EVENT_PARTICIPANTS_CHANGED:
        case VIDYO_CLIENT_OUT_EVENT_PARTICIPANTS_LIMIT:
            if (target != nullptr) {
                target->onParticipantsChanged();
            }
            return;
        case VIDYO_CLIENT_OUT_EVENT_REMOTE_SOURCE_REMOVED:
            if (!record.has(4)) {
                logShortRecord(event, paramSize);
            } else if (record.u32(0) == 0 && target != nullptr) {
                target->onSourceRemoved(record.text(4, VIDYO_CLIENT_URI_SIZE));
            }
            return;
        case VIDYO_CLIENT_OUT_EVENT_MUTED_AUDIO_IN:
        case VIDYO_CLIENT_OUT_EVENT_MUTED_AUDIO_OUT:
        case VIDYO_CLIENT_OUT_EVENT_MUTED_VIDEO:
        case VIDYO_CLIENT_OUT_EVENT_MUTED_SERVER_AUDIO_IN:
        case VIDYO_CLIENT_OUT_EVENT_MUTED_SERVER_VIDEO:
            routeMuteEvent(event, param, paramSize);
            return;
        case VIDYO_CLIENT_OUT_EVENT_CONFERENCE_NOTICE:
            if (target != nullptr) {
                target->onConferenceNotice();
            }
            return;
        case VIDYO_CLIENT_OUT_EVENT_PIN_RESULT: {
            if (!record.has(265)) {
                logShortRecord(event, paramSize);
                return;
            }
            const auto mode = static_cast<int>(record.u32(260));
            const int isSet = record.byte(264);
            LOGI("固屏反馈,videoMode=" << mode << " isSet=" << isSet);
            if (target == nullptr) {
                return;
            }
            if (isSet == 1 || mode != 2) {
                target->onScreenFixSuccess(mode);
            } else {
                target->onScreenFixFailed();
            }
            return;
        }
        case VIDYO_CLIENT_OUT_EVENT_LOGIN_PROGRESS:
            if (!record.has(4)) {
                logShortRecord(event, paramSize);
                return;
            }
            LOGI("登录PORTAL error=: " << record.u32(0)
                                       << " portalUri=" << record.text(4, VIDYO_CLIENT_URI_SIZE)
                                       << " userName=" << record.text(261, VIDYO_CLIENT_NAME_SIZE));
            return;
        case VIDYO_CLIENT_OUT_EVENT_LINKED:
            if (!record.has(4)) {
                logShortRecord(event, paramSize);
                return;
            }
            LOGI("link是否成功: error=: " << record.u32(0));
            return;
        case VIDYO_CLIENT_OUT_EVENT_SIGNED_IN:
            LOGI("登录成功");
            if (target != nullptr) {
                target->onLoginSuccess();
            }
            return;
        case VIDYO_CLIENT_OUT_EVENT_SIGNED_OUT: {
            if (!record.has(8)) {
                logShortRecord(event, paramSize);
                return;
            }
            const std::uint32_t error = record.u32(4);
            if (error != 0) {
                LOGI("登录失败: " << error);
                if (target != nullptr) {
                    target->onLoginFailed();
                }
            } else {
                LOGI("登出成功");
                if (target != nullptr) {
                    target->onLogoutSuccess();
                }
            }
            return;
        }
        case VIDYO_CLIENT_OUT_EVENT_JOIN_PROGRESS: {
            if (!record.has(4)) {
                logShortRecord(event, paramSize);
                return;
            }
            const std::uint32_t error = record.u32(0);
            if (error != 0) {
                LOGI("加入房间失败: " << error);
                if (target != nullptr) {
                    target->onJoinFailed();
                }
            }
            return;
        }
        case VIDYO_CLIENT_OUT_EVENT_CALL_STATE:
            if (!record.has(4)) {
                logShortRecord(event, paramSize);
            } else if (target != nullptr) {
                target->onCallStateChanged(static_cast<int>(record.u32(0)));
            }
            return;
        case VIDYO_CLIENT_OUT_EVENT_GROUP_CHAT:
        case VIDYO_CLIENT_OUT_EVENT_PRIVATE_CHAT:
            if (!record.has(385)) {
                logShortRecord(event, paramSize);
            } else if (target != nullptr) {
                target->onChatMessage(record.text(0, VIDYO_CLIENT_URI_SIZE),
                                      record.text(385, VIDYO_CLIENT_CHAT_MESSAGE_SIZE),
                                      record.text(257, VIDYO_CLIENT_NAME_SIZE),
                                      event == VIDYO_CLIENT_OUT_EVENT_GROUP_CHAT ? 1 : 0);
            }
            return;
        default:  // raw frames and everything else: the log line only
            return;
    }
}

void VidyoServer::routeMuteEvent(unsigned int event, const void* param, unsigned int paramSize) {
    const OutRecord record(param, paramSize);
    if (!record.has(8)) {
        logShortRecord(event, paramSize);
        return;
    }
    struct Route {
        unsigned int event;
        int device;
        int origin;
    };
    static constexpr Route kRoutes[] = {
        {VIDYO_CLIENT_OUT_EVENT_MUTED_AUDIO_IN, 1, 0},
        {VIDYO_CLIENT_OUT_EVENT_MUTED_AUDIO_OUT, 2, 0},
        {VIDYO_CLIENT_OUT_EVENT_MUTED_VIDEO, 0, 0},
        {VIDYO_CLIENT_OUT_EVENT_MUTED_SERVER_AUDIO_IN, 1, 1},
        {VIDYO_CLIENT_OUT_EVENT_MUTED_SERVER_VIDEO, 0, 1},
    };
    VidyoServerSink* const target = g_sink.load();
    for (const auto& route : kRoutes) {
        if (route.event == event && target != nullptr) {
            target->onDeviceMuteState(route.device, record.byte(0) != 0, route.origin,
                                      static_cast<int>(record.u32(4)));
        }
    }
}
