// The live-streaming library's functions as one table, so the adapter calls the library only
// through it and tests can stand in for the library at this seam.
#pragma once

#include "sdk/kelvramedia/kelvramedia.h"

struct KelvraMediaApi {
    decltype(&KelvraMediaSdk::InitMediaSdk) initMediaSdk = nullptr;
    decltype(&KelvraMediaSdk::SetMediaSdkLogPath) setLogPath = nullptr;
    decltype(&KelvraMediaSdk::CreateLiveCapture) createLiveCapture = nullptr;
    decltype(&KelvraMediaSdk::GetCameraDeviceCount) getCameraDeviceCount = nullptr;
    decltype(&KelvraMediaSdk::GetMicrophoneCount) getMicrophoneCount = nullptr;
    decltype(&KelvraMediaSdk::GetCameraDevice) getCameraDevice = nullptr;
    decltype(&KelvraMediaSdk::GetMicrophone) getMicrophone = nullptr;
    decltype(&KelvraMediaSdk::UnInitMediaSdk) unInitMediaSdk = nullptr;

    // Bound to the linked library.
    static KelvraMediaApi library();
    // Every function present.
    bool complete() const;
};

// The table the adapter uses: the library's, unless a ScopedKelvraMediaApi replaces it.
const KelvraMediaApi& kelvraMediaApi();

// Replaces the table for its lifetime and restores the previous one afterwards. Meant for tests;
// not to be used while the library's callback thread is running.
class ScopedKelvraMediaApi {
public:
    explicit ScopedKelvraMediaApi(const KelvraMediaApi& api);
    ~ScopedKelvraMediaApi();
    ScopedKelvraMediaApi(const ScopedKelvraMediaApi&) = delete;
    ScopedKelvraMediaApi& operator=(const ScopedKelvraMediaApi&) = delete;

private:
    KelvraMediaApi previous_;
};
