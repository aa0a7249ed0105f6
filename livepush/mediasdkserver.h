// The only caller of the live-streaming library: initialises it, keeps the capture device lists it
// reports, selects camera and microphone, places the preview, starts and stops preview and push,
// and routes the library's capture events to the live-push session through MediaSdkSink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "livepush/mediasdksink.h"
#include "sdk/kelvramedia/kelvramedia.h"

class MediaSdkServer : public KelvraMediaSdk::ICaptureCallback {
public:
    using DeviceInfo = KelvraMediaSdk::CaptureDeviceInfo;

    // Capture events of the library.
    enum CaptureEvent : int {
        kPreviewStarted = 1001,
        kPreviewStopped = 1002,
        kPushStarted = 1003,
        kPushStopped = 1004,
        kCameraListChanged = 1005,
        kMicrophoneListChanged = 1006,
        kCameraOpened = 1007,
        kMicrophoneOpened = 1008,
        kMicrophoneMutedInOs = 1016,
        kMicrophoneUnmutedInOs = 1017,
        kNetworkError = 2001,
        kNetworkRestored = 2002,
        kCameraOpenFailed = 2011,
        kMicrophoneOpenFailed = 2012,
    };

    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 720;
    static constexpr int kFps = 30;

    MediaSdkServer() = default;
    MediaSdkServer(const MediaSdkServer&) = delete;
    MediaSdkServer& operator=(const MediaSdkServer&) = delete;
    // The library owns the capture object; release() gives it back.
    ~MediaSdkServer() = default;

    // The process-wide receiver of capture events; set before init().
    static void setSink(MediaSdkSink* sink);
    static MediaSdkSink* sink();

    void init(const std::string& logPath);
    std::vector<DeviceInfo> getCameraList();
    std::vector<DeviceInfo> getMicrophoneList();
    // Selects the device at that index of the list as last filled; false for an index out of it.
    bool setLiveCamera(int index);
    bool setLiveMicrophone(int index);
    void setPreviewPos(std::uintptr_t window, int width, int height);
    int startPush(const std::string& url);
    void stopPreview();
    void stopPush();
    void release();

    // Bits per second for a bitrate factor: the factor's integer part times kBitrateUnit.
    static int pushBitrate(double factor);
    static constexpr int kBitrateUnit = 768000;

    // ICaptureCallback, on the library's thread.
    void OnCaptureEvent(int event, int value, const char* detail, void* context) override;

    // The text of a fixed-size field of a record, up to its first zero byte; a field that the
    // library filled to the end without one is cut there.
    template <std::size_t N>
    static std::string fieldText(const char (&field)[N]) {
        std::size_t length = 0;
        while (length < N && field[length] != '\0') {
            ++length;
        }
        return std::string(field, length);
    }

private:
    using DeviceCount = int (*)();
    using DeviceAt = int (*)(int, DeviceInfo*);
    std::vector<DeviceInfo> fillList(std::vector<DeviceInfo>& list, DeviceCount count, DeviceAt at,
                                     const char* itemLine, const char* sizeLine);
    static bool selectDevice(const std::vector<DeviceInfo>& list, int index, DeviceInfo& selected);

    KelvraMediaSdk::ILiveCapture* m_capture = nullptr;
    std::vector<DeviceInfo> m_cameras;
    std::vector<DeviceInfo> m_microphones;
    DeviceInfo m_selectedCamera{};
    DeviceInfo m_selectedMicrophone{};
};
