#include "service/commonutil.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "logging/log4z.h"
#include "platform/debugtrace.h"
#include "platform/files.h"
#include "platform/hardwareserial.h"
#include "platform/process.h"
#include "platform/textcodec.h"

#if !defined(FENWIX_PROD_API_BASE_URL) || !defined(FENWIX_PROD_PUSH_BASE_URL) || \
    !defined(FENWIX_TEST_API_BASE_URL) || !defined(FENWIX_TEST_PUSH_BASE_URL)
#error "the four endpoint base URLs must be given by the build"
#endif

namespace {

std::mutex gCreationMutex;
std::atomic<CComConfig*> gInstance{nullptr};

constexpr std::size_t kRandomLetters = 10;

// Ten lowercase letters followed by the 32-bit millisecond clock.
std::string randomUniqueNo() {
    std::mt19937 generator(std::random_device{}());
    std::uniform_int_distribution<int> letter(0, 25);
    std::string text;
    for (std::size_t i = 0; i < kRandomLetters; ++i) {
        text += static_cast<char>('a' + letter(generator));
    }
    return text + std::to_string(CComConfig::currentTimeMs32());
}

// A base URL is joined directly with paths that begin with '/'.
std::string withoutTrailingSlashes(std::string url) {
    while (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    return url;
}

int asFlag(bool value) {
    return value ? 1 : 0;
}

}  // namespace

ConfigSources ConfigSources::standard() {
    ConfigSources sources;
    sources.serialSources = fenwix::platform::hardwareSerialSources();
    const char* iniDir = std::getenv("FENWIX_INI_DIR");
    if (iniDir != nullptr && *iniDir != '\0') {
        sources.iniFolder = iniDir;
    } else {
        sources.iniFolder = fenwix::platform::programFolder() + "ini";
    }
    return sources;
}

CComConfig* CComConfig::getInstance() {
    CComConfig* instance = gInstance.load(std::memory_order_acquire);
    if (instance != nullptr) {
        return instance;
    }
    std::lock_guard<std::mutex> lock(gCreationMutex);
    instance = gInstance.load(std::memory_order_acquire);
    if (instance == nullptr) {
        instance = new CComConfig(ConfigSources::standard());
        gInstance.store(instance, std::memory_order_release);
    }
    return instance;
}

void CComConfig::releaseInstance() {
    fenwix::platform::debugTrace("CComConfig::releaseInstance()\n");
    std::lock_guard<std::mutex> lock(gCreationMutex);
    CComConfig* released = gInstance.exchange(nullptr, std::memory_order_acq_rel);
    if (released == nullptr) {
        return;
    }
    // Detached HTTP workers may still hold the pointer and set netOk while the process ends; the
    // released object is kept, unreachable through getInstance(), until the process is gone.
    static auto* retired = new std::vector<std::unique_ptr<CComConfig>>();
    retired->emplace_back(released);
}

CComConfig::CComConfig(ConfigSources sources)
    : sources_(std::move(sources)),
      apiBaseUrl_(FENWIX_PROD_API_BASE_URL),
      pushBaseUrl_(FENWIX_PROD_PUSH_BASE_URL) {
    loadIdentity();
}

std::uint32_t CComConfig::currentTimeMs32() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

// Registry first, then the hardware serial, then a random number. Nothing is written here: the
// number is stored only once a registration has succeeded (storeUniqueNo).
void CComConfig::loadIdentity() {
    std::string uniqueNo;
    const bool stored =
        sources_.registry.readString(kRegistryKey, kRegistryValue, uniqueNo, kRegistryMaxChars) &&
        !uniqueNo.empty();
    isFirst_ = !stored;
    deviceKeySource_ = kFromRegistry;
    if (!stored) {
        uniqueNo = fenwix::platform::readHardwareSerial(sources_.serialSources);
        deviceKeySource_ = kFromHardwareSerial;
    }
    if (uniqueNo.empty()) {
        uniqueNo = randomUniqueNo();
        deviceKeySource_ = kRandom;
    }
    setUniqueNo(uniqueNo);
}

void CComConfig::setUniqueNo(const std::string& uniqueNo) {
    const std::string pushKey = "UDSK_" + uniqueNo + std::to_string(currentTimeMs32());
    std::lock_guard<std::mutex> lock(textMutex_);
    uniqueNo_ = uniqueNo;
    deviceKey_ = "DSK_" + uniqueNo;
    pushKey_ = pushKey;
}

bool CComConfig::storeUniqueNo() {
    const std::string uniqueNo = getUniqueNo();
    if (uniqueNo.empty() ||
        !sources_.registry.writeString(kRegistryKey, kRegistryValue, uniqueNo)) {
        LOGW("保存uniqueno失败: " << uniqueNo
                                  << " file:" << sources_.registry.filePathOf(kRegistryKey));
        return false;
    }
    return true;
}

std::string CComConfig::getIniFilePath() const {
    std::string folder = sources_.iniFolder;
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder + "desktop.ini";
}

std::string CComConfig::builtInApiBaseUrl(bool testMode) {
    return testMode ? FENWIX_TEST_API_BASE_URL : FENWIX_PROD_API_BASE_URL;
}

std::string CComConfig::builtInPushBaseUrl(bool testMode) {
    return testMode ? FENWIX_TEST_PUSH_BASE_URL : FENWIX_PROD_PUSH_BASE_URL;
}

void CComConfig::chooseEndpoints(const CIniFile& ini) {
    std::string api = builtInApiBaseUrl(testMode_);
    std::string push = builtInPushBaseUrl(testMode_);
    // A deployment (or the simulator) may name its own hosts.
    const std::string apiOverride =
        withoutTrailingSlashes(ini.readString(kIniSection, "apibaseurl"));
    const std::string pushOverride =
        withoutTrailingSlashes(ini.readString(kIniSection, "pushbaseurl"));
    if (!apiOverride.empty()) {
        api = apiOverride;
    }
    if (!pushOverride.empty()) {
        push = pushOverride;
    }
    if (!apiOverride.empty() || !pushOverride.empty()) {
        LOGI("本地配置服务地址 api=" << api << " push=" << push);
    }
    std::lock_guard<std::mutex> lock(textMutex_);
    apiBaseUrl_ = api;
    pushBaseUrl_ = push;
}

// The factor scales the live-push bit rate; zero, negative or non-numbers would make the push
// useless, so they fall back to the default.
void CComConfig::readBitrate(const CIniFile& ini) {
    if (!ini.hasValue(kIniSection, "bitrate")) {
        bitrate_ = 1.0;
        return;
    }
    const double value = ini.readDouble(kIniSection, "bitrate");
    if (!std::isfinite(value) || value <= 0.0) {
        LOGW("desktop.ini bitrate无效: " << ini.readString(kIniSection, "bitrate") << " 使用1.0");
        bitrate_ = 1.0;
        return;
    }
    bitrate_ = value;
}

void CComConfig::loadLocalConfig() {
    if (!fenwix::platform::isDirectory(sources_.iniFolder)) {
        fenwix::platform::makeDirectories(sources_.iniFolder);  // failure: every key is missing
    }
    const CIniFile ini(getIniFilePath());
    if (ini.state() == CIniFile::FileState::Unreadable) {
        LOGW("desktop.ini 无法读取, 使用默认配置: " << ini.path());
    }
    testMode_ = ini.readBool(kIniSection, "test");
    chooseEndpoints(ini);
    readBitrate(ini);
    if (ini.hasValue(kIniSection, "ispull")) {
        isPull_ = ini.readInt(kIniSection, "ispull") != 0;
    }
    LOGI("本地指令本机是否推流=" << asFlag(isPull_));
    if (ini.hasValue(kIniSection, "video")) {
        videoMode_ = ini.readInt(kIniSection, "video");
    }
    if (ini.hasValue(kIniSection, "audioin")) {
        audioInMode_ = ini.readInt(kIniSection, "audioin");
    }
    if (ini.hasValue(kIniSection, "audioout")) {
        audioOutMode_ = ini.readInt(kIniSection, "audioout");
    }
    const bool checkIn =
        !ini.hasValue(kIniSection, "checkaudioin") || ini.readInt(kIniSection, "checkaudioin") != 0;
    const bool checkOut = !ini.hasValue(kIniSection, "checkaudioout") ||
                          ini.readInt(kIniSection, "checkaudioout") != 0;
    const std::string inName =
        fenwix::platform::wideToLocal(ini.readString(kIniSection, "audioinname"));
    const std::string outName =
        fenwix::platform::wideToLocal(ini.readString(kIniSection, "audiooutname"));
    LOGI("读取配置文件后 check audioin=" << asFlag(checkIn) << " name=" << inName
                                         << " check audioout=" << asFlag(checkOut)
                                         << " name=" << outName);
    std::lock_guard<std::mutex> lock(textMutex_);
    deviceSettings_.checkAudioIn = checkIn;
    deviceSettings_.checkAudioOut = checkOut;
    deviceSettings_.audioInNames = {inName};
    deviceSettings_.audioOutNames = {outName};
}

// Text members: one lock, copies out.
namespace {

template <typename T>
T copyUnder(std::mutex& mutex, const T& member) {
    std::lock_guard<std::mutex> lock(mutex);
    return member;
}

template <typename T>
void assignUnder(std::mutex& mutex, T& member, const T& value) {
    std::lock_guard<std::mutex> lock(mutex);
    member = value;
}

}  // namespace

std::string CComConfig::getApiBaseUrl() const {
    return copyUnder(textMutex_, apiBaseUrl_);
}
std::string CComConfig::getPushBaseUrl() const {
    return copyUnder(textMutex_, pushBaseUrl_);
}
std::string CComConfig::getUniqueNo() const {
    return copyUnder(textMutex_, uniqueNo_);
}
std::string CComConfig::getDeviceKey() const {
    return copyUnder(textMutex_, deviceKey_);
}
std::string CComConfig::getPushKey() const {
    return copyUnder(textMutex_, pushKey_);
}
std::string CComConfig::getEid() const {
    return copyUnder(textMutex_, eid_);
}
void CComConfig::setEid(const std::string& eid) {
    assignUnder(textMutex_, eid_, eid);
}
std::string CComConfig::getApplicationId() const {
    return copyUnder(textMutex_, applicationId_);
}
void CComConfig::setApplicationId(const std::string& id) {
    assignUnder(textMutex_, applicationId_, id);
}
std::string CComConfig::getRoomId() const {
    return copyUnder(textMutex_, roomId_);
}
void CComConfig::setRoomId(const std::string& value) {
    assignUnder(textMutex_, roomId_, value);
}
std::string CComConfig::getPortal() const {
    return copyUnder(textMutex_, portal_);
}
void CComConfig::setPortal(const std::string& value) {
    assignUnder(textMutex_, portal_, value);
}
std::string CComConfig::getRoute() const {
    return copyUnder(textMutex_, route_);
}
void CComConfig::setRoute(const std::string& value) {
    assignUnder(textMutex_, route_, value);
}
std::string CComConfig::getParticipantId() const {
    return copyUnder(textMutex_, participantId_);
}
void CComConfig::setParticipantId(const std::string& value) {
    assignUnder(textMutex_, participantId_, value);
}

DeviceSettings CComConfig::getDeviceSettings() const {
    return copyUnder(textMutex_, deviceSettings_);
}
void CComConfig::setDeviceSettings(const DeviceSettings& settings) {
    assignUnder(textMutex_, deviceSettings_, settings);
}
bool CComConfig::getCheckAudioIn() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    return deviceSettings_.checkAudioIn;
}
void CComConfig::setCheckAudioIn(bool value) {
    std::lock_guard<std::mutex> lock(textMutex_);
    deviceSettings_.checkAudioIn = value;
}
bool CComConfig::getCheckAudioOut() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    return deviceSettings_.checkAudioOut;
}
void CComConfig::setCheckAudioOut(bool value) {
    std::lock_guard<std::mutex> lock(textMutex_);
    deviceSettings_.checkAudioOut = value;
}
std::vector<std::string> CComConfig::getAudioInNames() const {
    return copyUnder(textMutex_, deviceSettings_.audioInNames);
}
void CComConfig::setAudioInNames(const std::vector<std::string>& names) {
    assignUnder(textMutex_, deviceSettings_.audioInNames, names);
}
std::vector<std::string> CComConfig::getAudioOutNames() const {
    return copyUnder(textMutex_, deviceSettings_.audioOutNames);
}
void CComConfig::setAudioOutNames(const std::vector<std::string>& names) {
    assignUnder(textMutex_, deviceSettings_.audioOutNames, names);
}
bool CComConfig::getPreviewOpen() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    return deviceSettings_.previewOpen;
}
void CComConfig::setPreviewOpen(bool value) {
    std::lock_guard<std::mutex> lock(textMutex_);
    deviceSettings_.previewOpen = value;
}
