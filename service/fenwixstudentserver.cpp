#include "service/fenwixstudentserver.h"

#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <sstream>

#include "devices/audiodevicefunc.h"
#include "jsontext/jsontext.h"
#include "logging/log4z.h"
#include "platform/process.h"
#include "platform/textcodec.h"
#include "service/commonutil.h"
#include "service/fenwixstudentsink.h"
#include "service/formdata.h"
#include "service/httpclient.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "service/terminalui.h"

namespace {

// The controller that hears every request's outcome. Completions hold the lock shared while they
// call it, so replacing the sink waits for calls in progress.
std::shared_mutex g_sinkMutex;
FenwixStudentSink* g_sink = nullptr;

}  // namespace

void FenwixStudentServer::setSink(FenwixStudentSink* sink) {
    std::unique_lock<std::shared_mutex> lock(g_sinkMutex);
    g_sink = sink;
}

bool FenwixStudentServer::hasSink() {
    std::shared_lock<std::shared_mutex> lock(g_sinkMutex);
    return g_sink != nullptr;
}

void FenwixStudentServer::onRequestDone(bool ok, const std::string& reply, int type) {
    std::shared_lock<std::shared_mutex> lock(g_sinkMutex);
    if (g_sink == nullptr) {
        return;
    }
    if (ok) {
        g_sink->httpBack(reply, type);
    } else {
        g_sink->httpFail(type);
    }
}

void FenwixStudentServer::onDownloadDone(bool ok, int type) {
    if (!ok) {
        LOGE("DownLoading failed");
    }
    std::shared_lock<std::shared_mutex> lock(g_sinkMutex);
    if (g_sink == nullptr) {
        return;
    }
    if (ok) {
        g_sink->downloadBack(type);
    } else {
        g_sink->httpFail(type);
    }
}

void FenwixStudentServer::setChatSenderUri(const std::string& uri) {
    m_strChatSenderUri = uri.substr(0, kMaxChatSenderUri);
}

// ---- Registration and server-issued settings ----

namespace {

using jsontext::Field;

const char* deviceKeySourceNote(int source) {
    switch (source) {
        case CComConfig::kFromRegistry:
            return "  devicekey：注册表";
        case CComConfig::kFromHardwareSerial:
            return "  devicekey：序列号";
        default:
            return "  devicekey：随机生成";
    }
}

void logIgnoredKey(const Json::Value& object, const char* key, const char* expected) {
    const Json::Value* value = jsontext::member(object, key);
    LOGW("注册返回 " << key << " 类型错误(" << (value ? jsontext::typeName(*value) : "null")
                     << ", 应为" << expected << ")，已忽略");
}

// Reads a text key; a value of another type counts as missing (empty), with a log line.
std::string textOrEmpty(const Json::Value& object, const char* key) {
    std::string text;
    if (jsontext::readText(object, key, text) == Field::WrongType) {
        logIgnoredKey(object, key, "string");
    }
    return text;
}

// "video", "audioin", "audioout": -1 keeps the mode, a missing key counts as 0.
void applyMode(const Json::Value& setting, const char* key, void (CComConfig::*set)(int),
               CComConfig& config) {
    int mode = 0;
    const Field found = jsontext::readInt(setting, key, mode);
    if (found == Field::WrongType) {
        logIgnoredKey(setting, key, "int");
        return;
    }
    if (mode != -1) {
        (config.*set)(mode);
    }
}

// "checkaudioindriver", "checkaudiooutdriver": a missing key counts as false.
void applyFlag(const Json::Value& setting, const char* key, void (CComConfig::*set)(bool),
               CComConfig& config) {
    bool flag = false;
    if (jsontext::readBool(setting, key, flag) == Field::WrongType) {
        logIgnoredKey(setting, key, "boolean");
        return;
    }
    (config.*set)(flag);
}

// The name lists: a missing key gives an empty list; texts of a list with other elements in it
// are still taken.
void applyNames(const Json::Value& setting, const char* key,
                void (CComConfig::*set)(const std::vector<std::string>&), CComConfig& config) {
    std::vector<std::string> names;
    const Field found = jsontext::readTextList(setting, key, names);
    if (found == Field::WrongType) {
        logIgnoredKey(setting, key, "array of string");
        const Json::Value* value = jsontext::member(setting, key);
        if (value == nullptr || !value->isArray()) {
            return;
        }
    }
    (config.*set)(names);
}

void applyMicVolumes(const Json::Value& setting, CComConfig& config) {
    LOGI("本地设置 ，MicMaxVolume = " << config.getMaxMicVolume()
                                      << " MicDefVolume=" << config.getDefMicVolume());
    int maxVolume = 0;
    const Field maxFound = jsontext::readInt(setting, "maxmicvolume", maxVolume);
    if (maxFound == Field::WrongType) {
        logIgnoredKey(setting, "maxmicvolume", "int");
    }
    if (maxFound != Field::Ok) {
        return;
    }
    int defVolume = 0;
    const Field defFound = jsontext::readInt(setting, "defmicvolume", defVolume);
    config.setMaxMicVolume(maxVolume);
    if (defFound == Field::WrongType) {
        logIgnoredKey(setting, "defmicvolume", "int");
    } else {
        config.setDefMicVolume(defVolume);
    }
    LOGI("读取服务器配置后 ，MicMaxVolumn = " << config.getMaxMicVolume()
                                              << " MicDefVolumn=" << config.getDefMicVolume());
}

// The backend may switch the live push off, never on.
void applyIsPull(const Json::Value& setting, CComConfig& config) {
    if (!config.getIsPull()) {
        return;
    }
    int isPull = 0;
    const Field found = jsontext::readInt(setting, "ispull", isPull);
    if (found == Field::WrongType) {
        logIgnoredKey(setting, "ispull", "int");
    }
    if (found != Field::Ok) {
        return;
    }
    config.setIsPull(isPull != 0);
    LOGI("网络指令本机是否推流=" << (config.getIsPull() ? 1 : 0));
}

void applySetting(const Json::Value& setting, CComConfig& config) {
    applyMode(setting, "video", &CComConfig::setVideoMode, config);
    applyMode(setting, "audioin", &CComConfig::setAudioInMode, config);
    applyMode(setting, "audioout", &CComConfig::setAudioOutMode, config);
    // videomute, audioinmute and audiooutmute are carried by the reply but not acted upon.
    applyFlag(setting, "checkaudioindriver", &CComConfig::setCheckAudioIn, config);
    applyFlag(setting, "checkaudiooutdriver", &CComConfig::setCheckAudioOut, config);
    applyNames(setting, "checkaudioindrivernames", &CComConfig::setAudioInNames, config);
    applyNames(setting, "checkaudiooutdrivernames", &CComConfig::setAudioOutNames, config);
    bool previewOpen = false;
    const Field previewFound = jsontext::readBool(setting, "previewopen", previewOpen);
    if (previewFound == Field::Ok) {
        config.setPreviewOpen(previewOpen);
    } else if (previewFound == Field::WrongType) {
        logIgnoredKey(setting, "previewopen", "boolean");
    }
    applyMicVolumes(setting, config);
    applyIsPull(setting, config);
}

// The six values both settings log lines begin with.
std::string modeSummary(const CComConfig& config) {
    std::ostringstream text;
    text << config.getVideoMode() << " videoMute=" << (config.getCameraMuted() ? 1 : 0)
         << "   audioIn=" << config.getAudioInMode()
         << " audioInMute=" << (config.getMicMuted() ? 1 : 0)
         << "   audioOut=" << config.getAudioOutMode()
         << " audioOutMute=" << (config.getSpeakerMuted() ? 1 : 0);
    return text.str();
}

void logSettingsAfterReply(const CComConfig& config) {
    const DeviceSettings devices = config.getDeviceSettings();
    LOGI("读取服务器配置后 ，设置信息: video = "
         << modeSummary(config) << "   checkaudioindriver=" << (devices.checkAudioIn ? 1 : 0)
         << "   checkaudiooutdriver=" << (devices.checkAudioOut ? 1 : 0)
         << "   checkaudioindrivernames=" << devices.audioInNames.size()
         << "   checkaudiooutdrivernames=" << devices.audioOutNames.size()
         << "   previewopen=" << (devices.previewOpen ? 1 : 0));
}

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// Device name fragments match without regard to case. Letters outside ASCII keep their case:
// their UTF-8 bytes never equal an ASCII letter, so a match is never split inside a character.
// The device name comes from the conference library (UTF-8), the fragment from the settings.
bool nameContains(const std::string& deviceName, const std::string& fragment) {
    const std::string name = lowerAscii(fenwix::platform::utf8ToWide(deviceName));
    const std::string part = lowerAscii(fenwix::platform::localToWide(fragment));
    return name.find(part) != std::string::npos;
}

}  // namespace

std::string FenwixStudentServer::logoFilePath() {
    return fenwix::platform::programFolder() + "images/main/logo.png";
}

void FenwixStudentServer::registerDevice() {
    CComConfig& config = *CComConfig::getInstance();
    const std::string url = config.getApiBaseUrl() + ServicePath::kRegister;
    config.setEid(fenwix::platform::cutToChars(queryEndpointId(), kMaxEndpointIdChars));
    const auto localTime = static_cast<std::int32_t>(CComConfig::currentTimeMs32());
    const std::string form = FormData()
                                 .add("appkey", config.getAppKey())
                                 .add("devicekey", config.getDeviceKey())
                                 .add("uniqueno", config.getUniqueNo())
                                 .add("clientversion", config.getClientVersion())
                                 .add("pushkey", config.getPushKey())
                                 .add("pushType", config.getPushType())
                                 .add("eid", config.getEid())
                                 .add("localTime", localTime)
                                 .add("isfirst", config.getIsFirst() ? "true" : "false")
                                 .formText();
    LOGI("向服务器注册 uri: " << url << "   data: " << form
                              << deviceKeySourceNote(config.getDeviceKeySource())
                              << "  type:" << REQUEST_REGISTER);
    CHttpClient().postAsync(url, form, onRequestDone, REQUEST_REGISTER);
}

void FenwixStudentServer::onRegisterReply(const Json::Value& payload) {
    CComConfig& config = *CComConfig::getInstance();
    if (!payload.isObject()) {
        LOGW("注册返回 payload 类型错误(" << jsontext::typeName(payload) << ")");
    }
    const std::string applicationId = textOrEmpty(payload, "applicationId");
    const std::string logoUrl = textOrEmpty(payload, "logoUrl");
    if (!logoUrl.empty()) {
        LOGI("下载logo");
        CHttpClient().download(fenwix::platform::utf8ToLocal(logoUrl), logoFilePath(),
                               onDownloadDone, REQUEST_LOGO_DOWNLOAD);
    }
    const std::string uniqueNo = textOrEmpty(payload, "uniqueno");
    if (!uniqueNo.empty()) {
        config.setUniqueNo(uniqueNo);
    }
    config.storeUniqueNo();  // a failure is logged there; the next start registers as first
    config.setApplicationId(applicationId);

    LOGI("读取配置文件后 ，设置信息: video = " << modeSummary(config));
    if (const Json::Value* setting = jsontext::member(payload, "setting")) {
        if (setting->isObject()) {
            applySetting(*setting, config);
        } else {
            logIgnoredKey(payload, "setting", "object");
        }
    }
    logSettingsAfterReply(config);
    sendToMainWindow(WM_NOTICE, NOTICE_REGISTERED, logoUrl.empty() ? 1 : 0);
}

void FenwixStudentServer::checkUpdate() {
    CComConfig& config = *CComConfig::getInstance();
    const std::string url = config.getApiBaseUrl() + ServicePath::kUpdateVersion;
    const std::string form = FormData()
                                 .add("appkey", config.getAppKey())
                                 .add("clientversion", config.getClientVersion())
                                 .add("uniqueno", config.getUniqueNo())
                                 .formText();
    LOGI("更新检测 uri: " << url << "   data: " << form << "  type:" << REQUEST_UPDATE_CHECK);
    CHttpClient().postAsync(url, form, onRequestDone, REQUEST_UPDATE_CHECK);
}

void FenwixStudentServer::onUpdateReply(const Json::Value& payload) {
    bool isUpdate = false;
    if (jsontext::readBool(payload, "isupdate", isUpdate) == Field::WrongType) {
        LOGW("更新检测返回 isupdate 类型错误，视为无更新");
    }
    if (!isUpdate) {
        return;
    }
    std::string installUrl;
    if (jsontext::readText(payload, "installUrl", installUrl) != Field::Ok || installUrl.empty()) {
        // An offer without an address cannot be downloaded: the update flow would only fail.
        LOGW("更新检测返回没有可用的 installUrl，忽略更新");
        return;
    }
    std::string sha256;
    if (jsontext::readText(payload, "sha256", sha256) == Field::WrongType) {
        // A digest that cannot be read cannot vouch for the installer.
        LOGW("更新检测返回 sha256 类型错误，忽略更新");
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_offerLock);
        m_offeredSha256 = sha256;
    }
    sendToMainWindow(WM_NOTICE, NOTICE_UPDATE_OFFERED,
                     reinterpret_cast<std::intptr_t>(&installUrl));
}

std::string FenwixStudentServer::offeredInstallerSha256() const {
    std::lock_guard<std::mutex> lock(m_offerLock);
    return m_offeredSha256;
}

void FenwixStudentServer::applyDriverNames() {
    CComConfig& config = *CComConfig::getInstance();
    const DeviceSettings devices = config.getDeviceSettings();
    bool micMatched = false;
    const std::vector<std::string> microphones = queryMicrophoneNames();
    for (const std::string& fragment : devices.audioInNames) {
        for (const std::string& name : microphones) {
            if (nameContains(name, fragment)) {
                selectMicrophoneByName(name);
                micMatched = true;
            }
        }
    }
    bool speakerMatched = false;
    const std::vector<std::string> speakers = querySpeakerNames();
    for (const std::string& fragment : devices.audioOutNames) {
        for (const std::string& name : speakers) {
            if (nameContains(name, fragment)) {
                selectSpeakerByName(name);
                speakerMatched = true;
                EnsureSpeakerVolume(name);
            }
        }
    }
    if ((!micMatched || !speakerMatched) && m_pTerminalUi != nullptr) {
        m_pTerminalUi->showDeviceTip();
    }
}

bool FenwixStudentServer::EnsureSpeakerVolume(const std::string& speakerName) {
    return audiodevicefunc::EnsureSpeakerVolume(speakerName);
}

// ---- What the backend client asks of the conference session ----

std::string FenwixStudentServer::queryEndpointId() {
    return getEndpointId();
}

std::vector<std::string> FenwixStudentServer::queryMicrophoneNames() {
    return getDeviceLists().microphones;
}

std::vector<std::string> FenwixStudentServer::querySpeakerNames() {
    return getDeviceLists().speakers;
}

void FenwixStudentServer::selectMicrophoneByName(const std::string& name) {
    setMicrophoneByName(name);
}

void FenwixStudentServer::selectSpeakerByName(const std::string& name) {
    setSpeakerByName(name);
}

bool FenwixStudentServer::queryCameraMutedLocally() {
    return isCameraMutedLocally();
}

bool FenwixStudentServer::queryCameraMutedByServer() {
    return isCameraMutedByServer();
}

std::string FenwixStudentServer::queryConferenceStatusJson() {
    return buildConferenceStatusJson(m_strChatSenderUri);
}
