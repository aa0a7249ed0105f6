// The three exported functions over one process-wide preview (the library's own state: callers
// see only the C functions).
#include "sdk/capturevideo/capturevideo.h"

#include <mutex>
#include <vector>

#include "sdk/capturevideo/previewpipeline.h"
#include "sdk/common/capturedevices.h"

namespace {

struct Library {
    std::mutex mutex;
    std::vector<capturevideo::Camera> cameras;
    bool enumerated = false;
    capturevideo::PreviewPipeline preview;
};

// Never destroyed at exit: exit() may come from any thread, and stopping a preview there
// waits on the very threads that may be the ones exiting.
Library& library() {
    static auto* instance = new Library();
    return *instance;
}

}  // namespace

extern "C" int CaptureVideoEnumDevices(CaptureVideoStringList* names) {
    if (names == nullptr || names->append == nullptr) {
        return -1;
    }
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    lib.cameras = capturevideo::listCameras();
    lib.enumerated = true;
    for (const auto& camera : lib.cameras) {
        names->append(names->list, camera.name.c_str());
    }
    return static_cast<int>(lib.cameras.size());
}

extern "C" int CaptureVideoInit(int index, uintptr_t window) {
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    if (!lib.enumerated) {
        lib.cameras = capturevideo::listCameras();
        lib.enumerated = true;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= lib.cameras.size()) {
        capturevideo::logLine("no camera " + std::to_string(index) + ", nothing to preview");
        lib.preview.stop();
        return -1;
    }
    return lib.preview.start(lib.cameras[static_cast<std::size_t>(index)], window) ? 0 : -1;
}

extern "C" void CaptureVideoUnInit(void) {
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    lib.preview.stop();
}
