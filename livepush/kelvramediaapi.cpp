#include "livepush/kelvramediaapi.h"

namespace {

KelvraMediaApi& table() {
    static KelvraMediaApi api = KelvraMediaApi::library();
    return api;
}

}  // namespace

KelvraMediaApi KelvraMediaApi::library() {
    KelvraMediaApi api;
    api.initMediaSdk = &KelvraMediaSdk::InitMediaSdk;
    api.setLogPath = &KelvraMediaSdk::SetMediaSdkLogPath;
    api.createLiveCapture = &KelvraMediaSdk::CreateLiveCapture;
    api.getCameraDeviceCount = &KelvraMediaSdk::GetCameraDeviceCount;
    api.getMicrophoneCount = &KelvraMediaSdk::GetMicrophoneCount;
    api.getCameraDevice = &KelvraMediaSdk::GetCameraDevice;
    api.getMicrophone = &KelvraMediaSdk::GetMicrophone;
    api.unInitMediaSdk = &KelvraMediaSdk::UnInitMediaSdk;
    return api;
}

bool KelvraMediaApi::complete() const {
    return initMediaSdk != nullptr && setLogPath != nullptr && createLiveCapture != nullptr &&
           getCameraDeviceCount != nullptr && getMicrophoneCount != nullptr &&
           getCameraDevice != nullptr && getMicrophone != nullptr && unInitMediaSdk != nullptr;
}

const KelvraMediaApi& kelvraMediaApi() {
    return table();
}

ScopedKelvraMediaApi::ScopedKelvraMediaApi(const KelvraMediaApi& api) : previous_(table()) {
    table() = api;
}

ScopedKelvraMediaApi::~ScopedKelvraMediaApi() {
    table() = previous_;
}
