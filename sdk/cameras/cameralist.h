// The cameras the stand-in libraries offer, in one order for all of them so that a name chosen
// in one library finds the same camera in another: the video capture devices of the system
// (V4L2, by device path), then the virtual test camera when FENWIX_VIRTUAL_CAMERA=1.
#pragma once

#include <string>
#include <vector>

namespace fenwixsdk {

struct CameraDevice {
    std::string name;  // the card name the driver reports, or kVirtualCameraName
    std::string path;  // the device node; empty for the virtual camera
};

extern const char kVirtualCameraName[];

std::vector<CameraDevice> listCameras();

}  // namespace fenwixsdk
