#include "sdk/kelvramedia/livecapture.h"

#include "sdk/common/nativewindow.h"
#include "sdk/kelvramedia/devicecatalog.h"
#include "sdk/kelvramedia/devicewatch.h"
#include "sdk/kelvramedia/mediaengine.h"
#include "sdk/kelvramedia/medialog.h"

namespace kelvramedia {

using KelvraMediaSdk::CaptureDeviceInfo;

LiveCapture::LiveCapture()
    : engine_(
          std::make_unique<MediaEngine>([this](int event, int value, const std::string& detail) {
              events_.post(event, value, detail);
          })) {}

LiveCapture::~LiveCapture() {
    shutdown();
}

void LiveCapture::shutdown() {
    // The engine first: its threads post events until it is gone.
    std::lock_guard<std::mutex> lock(mutex_);
    engine_.reset();
    watch_.reset();
    events_.stop();
}

void LiveCapture::release() {
    logLine("capture object released");
    delete this;
}

void LiveCapture::unusedSlot(int slot) {
    logLine("unused operation (slot " + std::to_string(slot) + ") called; nothing done");
}

namespace {
// Keeps a copy of the caller's record; false (and the old choice kept) without one.
bool choose(std::optional<CaptureDeviceInfo>& target, const CaptureDeviceInfo* device,
            const char* what) {
    if (device == nullptr) {
        logLine(std::string(what) + ": no record; the choice stays as it was");
        return false;
    }
    target = *device;
    logLine(std::string(what) + ": " + fieldText(device->deviceName) + " (" +
            fieldText(device->deviceId) + ")");
    return true;
}
}  // namespace

void LiveCapture::setMicrophone(const CaptureDeviceInfo* device) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (choose(settings_.microphone, device, "microphone") && watch_) {
        watch_->setMicrophone(fieldText(device->deviceId));
    }
}

void LiveCapture::setCamera(const CaptureDeviceInfo* device) {
    std::lock_guard<std::mutex> lock(mutex_);
    choose(settings_.camera, device, "camera");
}

namespace {
void setFormat(VideoFormat& target, const char* what, int width, int height, int fps) {
    const auto format = checkedFormat(width, height, fps);
    if (!format) {
        logLine(std::string(what) + ": refused " + std::to_string(width) + "x" +
                std::to_string(height) + "@" + std::to_string(fps) + "; keeps " +
                std::to_string(target.width) + "x" + std::to_string(target.height) + "@" +
                std::to_string(target.fps));
        return;
    }
    target = *format;
    logLine(std::string(what) + ": " + std::to_string(target.width) + "x" +
            std::to_string(target.height) + "@" + std::to_string(target.fps));
}
}  // namespace

void LiveCapture::setPushVideoFormat(int width, int height, int fps) {
    std::lock_guard<std::mutex> lock(mutex_);
    setFormat(settings_.push, "push format", width, height, fps);
}

void LiveCapture::setCaptureFormat(int width, int height, int fps) {
    std::lock_guard<std::mutex> lock(mutex_);
    setFormat(settings_.capture, "capture format", width, height, fps);
}

void LiveCapture::setVideoBitrate(int bitsPerSecond) {
    std::lock_guard<std::mutex> lock(mutex_);
    // The encoder takes whole kbit/s; below 16 kbit/s no picture survives.
    if (bitsPerSecond < 16000 || bitsPerSecond > 100000000) {
        logLine("bitrate: refused " + std::to_string(bitsPerSecond) + "; keeps " +
                std::to_string(settings_.bitrate));
        return;
    }
    settings_.bitrate = bitsPerSecond;
    logLine("bitrate: " + std::to_string(bitsPerSecond));
}

std::uint8_t LiveCapture::setPreviewWindow(KelvraMediaSdk::WindowHandle window, int x, int y,
                                           int width, int height) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (width <= 0 || height <= 0) {
        logLine("preview window " + std::to_string(window) + ": empty area " +
                std::to_string(width) + "x" + std::to_string(height) + " refused");
        return 0;
    }
    const bool usable = sdkcommon::nativeWindowExists(
        window, [](const std::string& why) { logLine("preview window refused: " + why); });
    if (!usable) {
        return 0;
    }
    settings_.preview = {window, x, y, width, height};
    logLine("preview window " + std::to_string(window) + " at " + std::to_string(x) + "," +
            std::to_string(y) + " " + std::to_string(width) + "x" + std::to_string(height));
    return 1;
}

void LiveCapture::startPreview() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!engine_->startPreview(settings_)) {
        logLine("startPreview: the preview already runs");
    }
}

void LiveCapture::stopPreview() {
    std::lock_guard<std::mutex> lock(mutex_);
    engine_->stopPreview();
}

int LiveCapture::startPush() {
    std::lock_guard<std::mutex> lock(mutex_);
    return engine_->startPush(settings_);
}

void LiveCapture::stopPush() {
    std::lock_guard<std::mutex> lock(mutex_);
    engine_->stopPush();
}

void LiveCapture::setCallback(KelvraMediaSdk::ICaptureCallback* callback, void* context) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.setCallback(callback, context);
    if (callback != nullptr && !watch_) {
        watch_ =
            std::make_unique<DeviceWatch>([this](int event, int value, const std::string& detail) {
                events_.post(event, value, detail);
            });
        if (settings_.microphone) {
            watch_->setMicrophone(fieldText(settings_.microphone->deviceId));
        }
    }
    logLine(callback != nullptr ? "callback set" : "callback cleared");
}

void LiveCapture::setPushUrl(const char* url) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_.url = url != nullptr ? url : "";
    logLine("push address: " + settings_.url);
}

void LiveCapture::enablePushOutput() {
    logLine("output: push to the RTMP address");
}

void LiveCapture::setLocalRecord(const char* fileName, int enabled) {
    const std::string name = fileName != nullptr ? fileName : "";
    if (enabled != 0) {
        logLine("local recording into " + name + " is not offered; nothing is recorded");
    } else {
        logLine("local recording off (" + name + ")");
    }
}

}  // namespace kelvramedia
