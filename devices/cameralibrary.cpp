#include "devices/cameralibrary.h"

#include "sdk/capturevideo/capturevideo.h"

namespace {

void appendName(void* list, const char* name) {
    static_cast<std::vector<std::string>*>(list)->emplace_back(name != nullptr ? name : "");
}

class LinkedCameraLibrary : public CameraLibrary {
public:
    std::vector<std::string> CaptureVideoEnumDevices() override {
        std::vector<std::string> names;
        CaptureVideoStringList list{&names, appendName};
        ::CaptureVideoEnumDevices(&list);
        return names;
    }

    // The results are not looked at: a camera that cannot be opened leaves the area black.
    void CaptureVideoInit(int index, std::uintptr_t window) override {
        ::CaptureVideoInit(index, window);
    }

    void CaptureVideoUnInit() override { ::CaptureVideoUnInit(); }
};

}  // namespace

std::unique_ptr<CameraLibrary> linkedCameraLibrary() {
    return std::make_unique<LinkedCameraLibrary>();
}
