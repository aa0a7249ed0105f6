#include "sdk/vidyoclient/devicelists.h"

#include "sdk/common/capturedevices.h"
#include "sdk/vidyoclient/clientlog.h"

namespace vidyoclient {

const char kSameAsSystem[] = "Same as system";

DeviceNames enumerateDevices() {
    DeviceNames names;
    const sdkcommon::SoundDevices sound =
        sdkcommon::listSoundDevices([](const std::string& text) { clientLog().line(text); });
    names.microphones.emplace_back(kSameAsSystem);
    for (const auto& source : sound.sources) {
        names.microphones.push_back(source.description);
    }
    names.speakers.emplace_back(kSameAsSystem);
    for (const auto& sink : sound.sinks) {
        names.speakers.push_back(sink.description);
    }
    for (const auto& camera : sdkcommon::listVideoCaptureDevices()) {
        names.cameras.push_back(camera.name);
    }
    if (sdkcommon::virtualCameraOn()) {
        names.cameras.emplace_back(kVirtualCamera);
    }
    return names;
}

}  // namespace vidyoclient
