// The camera preview library as the device check uses it: the camera names in the library's
// order, a preview of one of them drawn into a native window, and the end of the preview.
// Tests put their own behind it; the real one calls the library's C functions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CameraLibrary {
public:
    virtual ~CameraLibrary() = default;
    virtual std::vector<std::string> CaptureVideoEnumDevices() = 0;
    virtual void CaptureVideoInit(int index, std::uintptr_t window) = 0;
    virtual void CaptureVideoUnInit() = 0;
};

// The linked camera library (libCaptureVideo).
std::unique_ptr<CameraLibrary> linkedCameraLibrary();
