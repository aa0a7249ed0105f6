// The capture devices the library offers, as CaptureDeviceInfo records: cameras (video capture
// devices, then the virtual test camera when switched on) and microphones (the sound server's
// recording devices in its order).
#pragma once

#include "sdk/kelvramedia/kelvramedia.h"

#include <string>
#include <vector>

namespace kelvramedia {

// deviceId of the virtual test camera.
extern const char kVirtualCameraId[];

std::vector<KelvraMediaSdk::CaptureDeviceInfo> listCameras();
std::vector<KelvraMediaSdk::CaptureDeviceInfo> listMicrophones();

KelvraMediaSdk::CaptureDeviceInfo makeDeviceInfo(const std::string& id, const std::string& name,
                                                 std::uint8_t flags);
// A record's text field up to its NUL (or its whole width when it has none).
std::string fieldText(const char* field);

}  // namespace kelvramedia
