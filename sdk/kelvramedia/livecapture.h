// The capture object behind ILiveCapture: keeps what the caller set (devices, formats, window,
// address) and runs preview and push through the media engine.
#pragma once

#include "sdk/kelvramedia/captureeventthread.h"
#include "sdk/kelvramedia/kelvramedia.h"
#include "sdk/kelvramedia/mediasettings.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace kelvramedia {

class DeviceWatch;
class MediaEngine;

class LiveCapture final : public KelvraMediaSdk::ILiveCapture {
public:
    LiveCapture();
    ~LiveCapture();
    LiveCapture(const LiveCapture&) = delete;
    LiveCapture& operator=(const LiveCapture&) = delete;

    void release() override;
    void setMicrophone(const KelvraMediaSdk::CaptureDeviceInfo* device) override;
    void setPushVideoFormat(int width, int height, int fps) override;
    void setVideoBitrate(int bitsPerSecond) override;
    std::uint8_t setPreviewWindow(KelvraMediaSdk::WindowHandle window, int x, int y, int width,
                                  int height) override;
    void startPreview() override;
    void stopPreview() override;
    int startPush() override;
    void stopPush() override;
    void setCallback(KelvraMediaSdk::ICaptureCallback* callback, void* context) override;
    void setPushUrl(const char* url) override;
    void enablePushOutput() override;
    void setLocalRecord(const char* fileName, int enabled) override;
    void setCamera(const KelvraMediaSdk::CaptureDeviceInfo* device) override;
    void setCaptureFormat(int width, int height, int fps) override;

    void reserved2() override { unusedSlot(2); }
    void reserved5() override { unusedSlot(5); }
    void reserved7() override { unusedSlot(7); }
    void reserved8() override { unusedSlot(8); }
    void reserved9() override { unusedSlot(9); }
    void reserved10() override { unusedSlot(10); }
    void reserved11() override { unusedSlot(11); }
    void reserved12() override { unusedSlot(12); }
    void reserved13() override { unusedSlot(13); }
    void reserved19() override { unusedSlot(19); }
    void reserved20() override { unusedSlot(20); }
    void reserved21() override { unusedSlot(21); }
    void reserved23() override { unusedSlot(23); }
    void reserved25() override { unusedSlot(25); }
    void reserved26() override { unusedSlot(26); }
    void reserved28() override { unusedSlot(28); }
    void reserved29() override { unusedSlot(29); }
    void reserved30() override { unusedSlot(30); }
    void reserved31() override { unusedSlot(31); }
    void reserved32() override { unusedSlot(32); }
    void reserved33() override { unusedSlot(33); }

    // Ends preview and push without events (library shutdown).
    void shutdown();

private:
    static void unusedSlot(int slot);
    // Where the engine and the device watch send their events: the callback thread.
    std::function<void(int, int, const std::string&)> eventSink();

    std::mutex mutex_;  // serialises the operations
    MediaSettings settings_;
    CaptureEventThread events_;
    std::unique_ptr<MediaEngine> engine_;
    std::unique_ptr<DeviceWatch> watch_;  // from the first callback on: changes need a receiver
};

}  // namespace kelvramedia
