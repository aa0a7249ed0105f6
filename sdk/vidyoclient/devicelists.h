// The devices the library offers: "Same as system" first for microphones and speakers, then the
// sound server's sources and sinks, and the video capture devices (plus the virtual test camera
// when FENWIX_VIRTUAL_CAMERA=1).
#pragma once

#include "sdk/common/capturedevices.h"

#include <string>
#include <vector>

namespace vidyoclient {

struct DeviceNames {
    std::vector<std::string> microphones;
    std::vector<std::string> speakers;
    std::vector<std::string> cameras;
};

extern const char kSameAsSystem[];
using sdkcommon::kVirtualCamera;

DeviceNames enumerateDevices();

}  // namespace vidyoclient
