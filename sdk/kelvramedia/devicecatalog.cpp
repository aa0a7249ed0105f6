#include "sdk/kelvramedia/devicecatalog.h"

#include "sdk/common/capturedevices.h"
#include "sdk/kelvramedia/medialog.h"

#include <cstring>

namespace kelvramedia {

using KelvraMediaSdk::CaptureDeviceInfo;

const char kVirtualCameraId[] = "virtual:camera";

namespace {
void copyField(char* field, const std::string& text) {
    // Longer texts are cut so that the field always ends in a NUL.
    const std::size_t n = std::min(text.size(), KelvraMediaSdk::kDeviceTextSize - 1);
    std::memcpy(field, text.data(), n);
}
}  // namespace

CaptureDeviceInfo makeDeviceInfo(const std::string& id, const std::string& name,
                                 std::uint8_t flags) {
    CaptureDeviceInfo info;
    std::memset(&info, 0, sizeof(info));
    copyField(info.deviceId, id);
    copyField(info.deviceName, name);
    info.flags = flags;
    return info;
}

std::string fieldText(const char* field) {
    return std::string(field, strnlen(field, KelvraMediaSdk::kDeviceTextSize));
}

std::vector<CaptureDeviceInfo> listCameras() {
    std::vector<CaptureDeviceInfo> out;
    for (const auto& device : sdkcommon::listVideoCaptureDevices()) {
        out.push_back(makeDeviceInfo(device.path, device.name, 0));
    }
    if (sdkcommon::virtualCameraOn()) {
        out.push_back(makeDeviceInfo(kVirtualCameraId, sdkcommon::kVirtualCamera,
                                     KelvraMediaSdk::kDeviceIsVirtual));
    }
    return out;
}

std::vector<CaptureDeviceInfo> listMicrophones() {
    const sdkcommon::SoundDevices sound = sdkcommon::listSoundDevices(logLine);
    std::vector<CaptureDeviceInfo> out;
    for (const auto& source : sound.sources) {
        const std::uint8_t flags =
            source.name == sound.defaultSource ? KelvraMediaSdk::kDeviceIsDefault : 0;
        out.push_back(makeDeviceInfo(source.name, source.description, flags));
    }
    return out;
}

}  // namespace kelvramedia
