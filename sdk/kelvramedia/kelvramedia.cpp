// The library's functions: set-up, the device lists and the capture objects.
#include "sdk/kelvramedia/kelvramedia.h"

#include "sdk/common/mediaframework.h"

#include "sdk/kelvramedia/devicecatalog.h"
#include "sdk/kelvramedia/livecapture.h"
#include "sdk/kelvramedia/medialog.h"

#include <gst/gst.h>

#include <cstring>
#include <mutex>
#include <vector>

namespace KelvraMediaSdk {

namespace {
struct Library {
    std::mutex mutex;
    bool initialised = false;
    std::vector<CaptureDeviceInfo> cameras;      // as last counted
    std::vector<CaptureDeviceInfo> microphones;  // as last counted
};

Library& library() {
    static Library lib;
    return lib;
}

int copyEntry(const std::vector<CaptureDeviceInfo>& list, int index, CaptureDeviceInfo* info,
              const char* what) {
    if (info == nullptr) {
        kelvramedia::logLine(std::string(what) + ": no record given");
        return 0;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) {
        std::memset(info, 0, sizeof(*info));
        kelvramedia::logLine(std::string(what) + ": index " + std::to_string(index) +
                             " outside the list of " + std::to_string(list.size()));
        return 0;
    }
    *info = list[static_cast<std::size_t>(index)];
    return 1;
}
}  // namespace

int InitMediaSdk() {
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    if (!lib.initialised) {
        sdkcommon::mediaFrameworkReady(kelvramedia::logLine);
        lib.initialised = true;
        kelvramedia::logLine("library initialised");
    }
    return 1;
}

void SetMediaSdkLogPath(const char* folder) {
    kelvramedia::mediaLog().open(folder != nullptr ? folder : "");
}

ILiveCapture* CreateLiveCapture() {
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    if (!lib.initialised) {
        kelvramedia::logLine("CreateLiveCapture before InitMediaSdk: refused");
        return nullptr;
    }
    kelvramedia::logLine("capture object created");
    return new kelvramedia::LiveCapture();
}

int GetCameraDeviceCount() {
    auto cameras = kelvramedia::listCameras();
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    lib.cameras = std::move(cameras);
    return static_cast<int>(lib.cameras.size());
}

int GetCameraDevice(int index, CaptureDeviceInfo* info) {
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    return copyEntry(lib.cameras, index, info, "GetCameraDevice");
}

int GetMicrophoneCount() {
    auto microphones = kelvramedia::listMicrophones();
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    lib.microphones = std::move(microphones);
    return static_cast<int>(lib.microphones.size());
}

int GetMicrophone(int index, CaptureDeviceInfo* info) {
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    return copyEntry(lib.microphones, index, info, "GetMicrophone");
}

void UnInitMediaSdk() {
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    lib.initialised = false;
    lib.cameras.clear();
    lib.microphones.clear();
    kelvramedia::logLine("library ended");
    kelvramedia::mediaLog().close();
}

}  // namespace KelvraMediaSdk
