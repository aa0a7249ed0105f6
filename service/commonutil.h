// The shared configuration of the terminal: service constants, backend endpoints, the identity of
// this classroom machine, the local configuration from desktop.ini, the settings the backend issues
// at registration, and the runtime values several components share.
//
// One instance per process (getInstance / releaseInstance). It is read and written from the UI
// thread, HTTP workers, the push-poll and heartbeat threads and the media libraries' callbacks:
// numbers and flags are atomics, text members sit behind one mutex and come back as copies.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/registrystore.h"
#include "service/inifile.h"

// Paths of the backend's services; a request URL is the base URL followed directly by the path.
namespace ServicePath {
// Business API
inline constexpr char kRegister[] = "/api/business/app/register";
inline constexpr char kEnterRoom[] = "/api/business/desktop/enterRoom";
inline constexpr char kReportMsg[] = "/api/business/app/reportMsg";
inline constexpr char kOptionAudio[] = "/api/business/desktop/optionAudio";
inline constexpr char kUpdateVersion[] = "/api/business/app/updateVersion";
inline constexpr char kReportConferenceInfo[] = "/api/business/app/reportConferenceInfo";
inline constexpr char kReportLogsInfo[] = "/api/business/app/reportLogsInfo";
inline constexpr char kDestroy[] = "/api/business/app/destroy";
inline constexpr char kPing[] = "/api/business/desktop/ping";
inline constexpr char kStartConferenceLive[] = "/api/business/desktop/startConferenceLive";
inline constexpr char kStopConferenceLive[] = "/api/business/desktop/stopConferenceLive";
// Push-poll service
inline constexpr char kPushRegister[] = "/api/register";
inline constexpr char kPushGetData[] = "/api/getData";
}  // namespace ServicePath

// Microphone and speaker choice, from desktop.ini and then from the backend's settings.
struct DeviceSettings {
    bool checkAudioIn = false;               // only logged
    bool checkAudioOut = false;              // choose microphone and speaker by the name lists
    std::vector<std::string> audioInNames;   // fragments of microphone names (local code page)
    std::vector<std::string> audioOutNames;  // fragments of speaker names (local code page)
    bool previewOpen = false;                // only logged
};

// Where the configuration comes from. standard() is what the terminal uses; tests point the parts
// at their own folders and files.
struct ConfigSources {
    fenwix::platform::RegistryStore registry;  // holds the stored unique number
    std::vector<std::string> serialSources;    // files that may hold the hardware serial
    std::string iniFolder;                     // folder of desktop.ini, created when missing

    // The user's store, the machine's serial files, and the "ini" folder beside the executable
    // (or $FENWIX_INI_DIR when set, so a development build can keep its desktop.ini elsewhere).
    static ConfigSources standard();
};

class CComConfig {
public:
    // Where the unique number is kept between runs.
    static constexpr char kRegistryKey[] = "Software\\Fenwix\\allApp";
    static constexpr char kRegistryValue[] = "uniqueno";
    static constexpr std::size_t kRegistryMaxChars = 255;
    static constexpr char kIniSection[] = "CONFIG";

    // Where the unique number came from at start-up.
    enum DeviceKeySource { kFromRegistry = 0, kFromHardwareSerial = 1, kRandom = 2 };

    // The process's instance, made on the first call (creation is serialised; later calls take
    // no lock). Never null until releaseInstance().
    static CComConfig* getInstance();
    // Unpublishes the instance: the next getInstance() makes a fresh one. A thread still holding
    // the old pointer keeps working on valid memory. Called once at shutdown.
    static void releaseInstance();

    // Builds a configuration with its device identity from `sources`. The terminal itself only
    // uses getInstance(); separate instances serve tests that need several "starts".
    explicit CComConfig(ConfigSources sources);
    ~CComConfig() = default;
    CComConfig(const CComConfig&) = delete;
    CComConfig& operator=(const CComConfig&) = delete;

    // Milliseconds since 1970-01-01 UTC, low 32 bits.
    static std::uint32_t currentTimeMs32();

    // Reads desktop.ini: test mode and endpoints, bitrate, live push, tool bar buttons, device
    // choice. Missing keys keep their defaults. Called once at start-up.
    void loadLocalConfig();
    std::string getIniFilePath() const;

    // Constants.
    std::string getVersion() const { return "2.3.2.28"; }
    std::string getClientVersion() const { return "20190128"; }
    std::string getAppKey() const { return "3f1c9a7e52b04d6c8e2a1f0b7d9c4e65"; }
    std::string getPushType() const { return "zorbel"; }
    std::string getPingPath() const { return ServicePath::kPing; }

    // Endpoints, settled by loadLocalConfig().
    // The pairs built into this program: the test pair when `testMode`, else the production pair.
    static std::string builtInApiBaseUrl(bool testMode);
    static std::string builtInPushBaseUrl(bool testMode);
    std::string getApiBaseUrl() const;
    std::string getPushBaseUrl() const;

    // Identity.
    std::string getUniqueNo() const;
    std::string getDeviceKey() const;
    std::string getPushKey() const;
    // Sets the unique number and derives deviceKey ("DSK_" + u) and pushKey ("UDSK_" + u + clock).
    void setUniqueNo(const std::string& uniqueNo);
    // Keeps the current unique number for the next start. False if it could not be stored.
    bool storeUniqueNo();
    std::string getEid() const;
    void setEid(const std::string& eid);
    int getDeviceKeySource() const { return deviceKeySource_; }
    bool getIsFirst() const { return isFirst_; }

    // Local configuration (some of it overridden by the registration reply).
    bool getTestMode() const { return testMode_; }
    double getBitrate() const { return bitrate_; }
    bool getIsPull() const { return isPull_; }
    void setIsPull(bool value) { isPull_ = value; }
    int getVideoMode() const { return videoMode_; }
    void setVideoMode(int value) { videoMode_ = value; }
    int getAudioInMode() const { return audioInMode_; }
    void setAudioInMode(int value) { audioInMode_ = value; }
    int getAudioOutMode() const { return audioOutMode_; }
    void setAudioOutMode(int value) { audioOutMode_ = value; }

    DeviceSettings getDeviceSettings() const;
    void setDeviceSettings(const DeviceSettings& settings);
    bool getCheckAudioIn() const;
    void setCheckAudioIn(bool value);
    bool getCheckAudioOut() const;
    void setCheckAudioOut(bool value);
    std::vector<std::string> getAudioInNames() const;
    void setAudioInNames(const std::vector<std::string>& names);
    std::vector<std::string> getAudioOutNames() const;
    void setAudioOutNames(const std::vector<std::string>& names);
    bool getPreviewOpen() const;
    void setPreviewOpen(bool value);

    // Issued by the backend at registration.
    std::string getApplicationId() const;
    void setApplicationId(const std::string& id);
    int getMaxMicVolume() const { return maxMicVolume_; }
    void setMaxMicVolume(int value) { maxMicVolume_ = value; }
    int getDefMicVolume() const { return defMicVolume_; }
    void setDefMicVolume(int value) { defMicVolume_ = value; }

    // Shared runtime state.
    int getAppStatus() const { return appStatus_; }
    void setAppStatus(int value) { appStatus_ = value; }
    bool getScreenFixed() const { return screenFixed_; }
    void setScreenFixed(bool value) { screenFixed_ = value; }
    bool getCameraMuted() const { return cameraMuted_; }
    void setCameraMuted(bool value) { cameraMuted_ = value; }
    bool getMicMuted() const { return micMuted_; }
    void setMicMuted(bool value) { micMuted_ = value; }
    bool getSpeakerMuted() const { return speakerMuted_; }
    void setSpeakerMuted(bool value) { speakerMuted_ = value; }
    int getMicVolume() const { return micVolume_; }
    void setMicVolume(int value) { micVolume_ = value; }
    int getSpeakerVolume() const { return speakerVolume_; }
    void setSpeakerVolume(int value) { speakerVolume_ = value; }
    int getPrevMicVolume() const { return prevMicVolume_; }
    void setPrevMicVolume(int value) { prevMicVolume_ = value; }
    std::string getRoomId() const;
    void setRoomId(const std::string& value);
    std::string getPortal() const;
    void setPortal(const std::string& value);
    std::string getRoute() const;
    void setRoute(const std::string& value);
    bool getIsGuest() const { return isGuest_; }
    void setIsGuest(bool value) { isGuest_ = value; }
    std::string getParticipantId() const;
    void setParticipantId(const std::string& value);
    bool getChangeMuteMicFromServer() const { return changeMuteMicFromServer_; }
    void setChangeMuteMicFromServer(bool value) { changeMuteMicFromServer_ = value; }
    bool getConferenceJoined() const { return conferenceJoined_; }
    void setConferenceJoined(bool value) { conferenceJoined_ = value; }
    bool getInConference() const { return inConference_; }
    void setInConference(bool value) { inConference_ = value; }
    bool getLoginIdle() const { return loginIdle_; }
    void setLoginIdle(bool value) { loginIdle_ = value; }
    bool getPushedLogin() const { return pushedLogin_; }
    void setPushedLogin(bool value) { pushedLogin_ = value; }
    bool getNetOk() const { return netOk_; }
    void setNetOk(bool value) { netOk_ = value; }
    bool getConfLogsEnabled() const { return confLogsEnabled_; }
    void setConfLogsEnabled(bool value) { confLogsEnabled_ = value; }
    int getD3dWidth() const { return d3dWidth_; }
    int getD3dHeight() const { return d3dHeight_; }

    // Class entry flow and live push.
    int getGuestForced() const { return guestForced_; }
    void setGuestForced(int value) { guestForced_ = value; }
    bool getPushStarted() const { return pushStarted_; }
    void setPushStarted(bool value) { pushStarted_ = value; }
    bool getPreviewStarted() const { return previewStarted_; }
    void setPreviewStarted(bool value) { previewStarted_ = value; }
    bool getLivePushRunning() const { return livePushRunning_; }
    void setLivePushRunning(bool value) { livePushRunning_ = value; }
    bool getLiveStopConfirmed() const { return liveStopConfirmed_; }
    void setLiveStopConfirmed(bool value) { liveStopConfirmed_ = value; }

private:
    void loadIdentity();
    void chooseEndpoints(const CIniFile& ini);
    void readBitrate(const CIniFile& ini);

    ConfigSources sources_;
    mutable std::mutex textMutex_;  // guards every std::string / DeviceSettings member below

    std::string apiBaseUrl_;
    std::string pushBaseUrl_;
    std::string uniqueNo_;
    std::string deviceKey_;
    std::string pushKey_;
    std::string eid_;
    std::string applicationId_;
    std::string roomId_;
    std::string portal_;
    std::string route_;
    std::string participantId_ = "-1";
    DeviceSettings deviceSettings_;

    std::atomic<int> deviceKeySource_{kFromRegistry};
    std::atomic<bool> isFirst_{false};
    std::atomic<bool> testMode_{false};
    std::atomic<double> bitrate_{1.0};
    std::atomic<bool> isPull_{false};
    std::atomic<int> videoMode_{2};
    std::atomic<int> audioInMode_{2};
    std::atomic<int> audioOutMode_{2};
    std::atomic<int> maxMicVolume_{1310};
    std::atomic<int> defMicVolume_{655};
    std::atomic<int> appStatus_{0};
    std::atomic<bool> screenFixed_{false};
    std::atomic<bool> cameraMuted_{false};
    std::atomic<bool> micMuted_{false};
    std::atomic<bool> speakerMuted_{false};
    std::atomic<int> micVolume_{0};
    std::atomic<int> speakerVolume_{0};
    std::atomic<int> prevMicVolume_{655};
    std::atomic<bool> isGuest_{false};
    std::atomic<bool> changeMuteMicFromServer_{false};
    std::atomic<bool> conferenceJoined_{false};
    std::atomic<bool> inConference_{true};
    std::atomic<bool> loginIdle_{true};
    std::atomic<bool> pushedLogin_{true};
    std::atomic<bool> netOk_{false};
    std::atomic<bool> confLogsEnabled_{false};
    std::atomic<int> d3dWidth_{0};
    std::atomic<int> d3dHeight_{0};
    std::atomic<int> guestForced_{0};
    std::atomic<bool> pushStarted_{false};
    std::atomic<bool> previewStarted_{false};
    std::atomic<bool> livePushRunning_{false};
    std::atomic<bool> liveStopConfirmed_{false};
};
