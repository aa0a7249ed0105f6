// A stand-in for the live-streaming library at the media adapter's seam: device lists to report,
// a capture object that records every virtual call with its slot number and arguments, and a way
// to deliver capture events to the callback the adapter registered. One instance at a time; it
// replaces the seam while it lives.
#pragma once

#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "livepush/kelvramediaapi.h"

namespace fenwixtest {

using KelvraMediaSdk::CaptureDeviceInfo;

inline CaptureDeviceInfo deviceRecord(const std::string& id, const std::string& name,
                                      unsigned char flag = 0) {
    CaptureDeviceInfo info{};
    std::strncpy(info.deviceId, id.c_str(), sizeof(info.deviceId) - 1);
    std::strncpy(info.deviceName, name.c_str(), sizeof(info.deviceName) - 1);
    info.flags = flag;
    return info;
}

// One call as the library saw it. Library functions have slot -1 and a name.
struct FakeMediaCall {
    int slot = -1;
    std::string function;
    std::vector<long long> ints;
    std::string text;
    const void* pointer = nullptr;
    std::vector<unsigned char> record;  // the device record a pointer argument pointed at
};

class FakeLiveCapture : public KelvraMediaSdk::ILiveCapture {
public:
    void release() override { record(0); }
    void setMicrophone(const CaptureDeviceInfo* device) override { recordDevice(1, device); }
    void reserved2() override { record(2); }
    void setPushVideoFormat(int w, int h, int fps) override { record(3, {w, h, fps}); }
    void setVideoBitrate(int bitrate) override { record(4, {bitrate}); }
    void reserved5() override { record(5); }
    std::uint8_t setPreviewWindow(KelvraMediaSdk::WindowHandle window, int x, int y, int w,
                                  int h) override {
        push(call(6, {static_cast<long long>(window), x, y, w, h}));
        return previewPlaced ? 1 : 0;
    }
    void reserved7() override { record(7); }
    void reserved8() override { record(8); }
    void reserved9() override { record(9); }
    void reserved10() override { record(10); }
    void reserved11() override { record(11); }
    void reserved12() override { record(12); }
    void reserved13() override { record(13); }
    void startPreview() override { record(14); }
    void stopPreview() override { record(15); }
    int startPush() override {
        record(16);
        return startPushResult;
    }
    void stopPush() override { record(17); }
    void setCallback(KelvraMediaSdk::ICaptureCallback* cb, void* context) override {
        FakeMediaCall c = call(18, {});
        c.pointer = context;
        push(c);
        std::lock_guard<std::mutex> lock(mutex_);
        callback_ = cb;
        context_ = context;
    }
    void reserved19() override { record(19); }
    void reserved20() override { record(20); }
    void reserved21() override { record(21); }
    void setPushUrl(const char* url) override { recordText(22, url, {}); }
    void reserved23() override { record(23); }
    void enablePushOutput() override { record(24); }
    void reserved25() override { record(25); }
    void reserved26() override { record(26); }
    void setLocalRecord(const char* name, int on) override { recordText(27, name, {on}); }
    void reserved28() override { record(28); }
    void reserved29() override { record(29); }
    void reserved30() override { record(30); }
    void reserved31() override { record(31); }
    void reserved32() override { record(32); }
    void reserved33() override { record(33); }
    void setCamera(const CaptureDeviceInfo* device) override { recordDevice(34, device); }
    void setCaptureFormat(int w, int h, int fps) override { record(35, {w, h, fps}); }

    bool previewPlaced = true;
    int startPushResult = 1;

    std::vector<FakeMediaCall> calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    // Slot numbers of the calls so far, in order.
    std::vector<int> slots() const {
        std::vector<int> out;
        for (const auto& c : calls()) {
            out.push_back(c.slot);
        }
        return out;
    }
    void clearCalls() {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
    }
    void* context() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return context_;
    }
    KelvraMediaSdk::ICaptureCallback* callback() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return callback_;
    }
    // Delivers a capture event the way the library does: through the registered callback.
    void deliver(int event, int value = 0) {
        if (KelvraMediaSdk::ICaptureCallback* cb = callback()) {
            cb->OnCaptureEvent(event, value, "", context());
        }
    }

private:
    static FakeMediaCall call(int slot, std::vector<long long> ints) {
        FakeMediaCall c;
        c.slot = slot;
        c.ints = std::move(ints);
        return c;
    }
    void push(const FakeMediaCall& c) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(c);
    }
    void record(int slot, std::vector<long long> ints = {}) { push(call(slot, std::move(ints))); }
    void recordText(int slot, const char* text, std::vector<long long> ints) {
        FakeMediaCall c = call(slot, std::move(ints));
        c.text = text == nullptr ? "<null>" : text;
        push(c);
    }
    void recordDevice(int slot, const CaptureDeviceInfo* device) {
        FakeMediaCall c = call(slot, {});
        c.pointer = device;
        if (device != nullptr) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(device);
            c.record.assign(bytes, bytes + sizeof(CaptureDeviceInfo));
        }
        push(c);
    }

    mutable std::mutex mutex_;
    std::vector<FakeMediaCall> calls_;
    KelvraMediaSdk::ICaptureCallback* callback_ = nullptr;
    void* context_ = nullptr;
};

class FakeKelvraMedia {
public:
    FakeKelvraMedia() : scope_(table()) { current() = this; }
    ~FakeKelvraMedia() { current() = nullptr; }
    FakeKelvraMedia(const FakeKelvraMedia&) = delete;
    FakeKelvraMedia& operator=(const FakeKelvraMedia&) = delete;

    std::vector<CaptureDeviceInfo> cameras;
    std::vector<CaptureDeviceInfo> microphones;
    bool giveCapture = true;
    FakeLiveCapture capture;

    // Library functions called so far, by name, in order.
    std::vector<std::string> functions() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return functions_;
    }
    std::string logPath() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return logPath_;
    }

private:
    static FakeKelvraMedia*& current() {
        static FakeKelvraMedia* instance = nullptr;
        return instance;
    }
    static void note(const char* name) {
        std::lock_guard<std::mutex> lock(current()->mutex_);
        current()->functions_.emplace_back(name);
    }
    static int copyAt(const std::vector<CaptureDeviceInfo>& list, int index,
                      CaptureDeviceInfo* info) {
        if (index < 0 || static_cast<size_t>(index) >= list.size() || info == nullptr) {
            return -1;
        }
        *info = list[static_cast<size_t>(index)];
        return 0;
    }
    static KelvraMediaApi table() {
        KelvraMediaApi api;
        api.initMediaSdk = [] {
            note("InitMediaSdk");
            return 0;
        };
        api.setLogPath = [](const char* path) {
            note("SetMediaSdkLogPath");
            std::lock_guard<std::mutex> lock(current()->mutex_);
            current()->logPath_ = path == nullptr ? "<null>" : path;
        };
        api.createLiveCapture = []() -> KelvraMediaSdk::ILiveCapture* {
            note("CreateLiveCapture");
            return current()->giveCapture ? &current()->capture : nullptr;
        };
        api.getCameraDeviceCount = [] {
            note("GetCameraDeviceCount");
            return static_cast<int>(current()->cameras.size());
        };
        api.getMicrophoneCount = [] {
            note("GetMicrophoneCount");
            return static_cast<int>(current()->microphones.size());
        };
        api.getCameraDevice = [](int i, CaptureDeviceInfo* info) {
            note("GetCameraDevice");
            return copyAt(current()->cameras, i, info);
        };
        api.getMicrophone = [](int i, CaptureDeviceInfo* info) {
            note("GetMicrophone");
            return copyAt(current()->microphones, i, info);
        };
        api.unInitMediaSdk = [] { note("UnInitMediaSdk"); };
        return api;
    }

    ScopedKelvraMediaApi scope_;
    mutable std::mutex mutex_;
    std::vector<std::string> functions_;
    std::string logPath_;
};

}  // namespace fenwixtest
