#include "sdk/cameras/cameralist.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace fenwixsdk {

const char kVirtualCameraName[] = "Fenwix Virtual Camera";

namespace {

std::vector<std::string> videoNodes() {
    std::vector<std::string> paths;
    if (DIR* dir = opendir("/dev")) {
        while (dirent* entry = readdir(dir)) {
            if (std::strncmp(entry->d_name, "video", 5) == 0) {
                paths.push_back(std::string("/dev/") + entry->d_name);
            }
        }
        closedir(dir);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool virtualCameraOn() {
    const char* value = std::getenv("FENWIX_VIRTUAL_CAMERA");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace

std::vector<CameraDevice> listCameras() {
    std::vector<CameraDevice> cameras;
    for (const auto& path : videoNodes()) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        v4l2_capability cap{};
        if (ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0) {
            const unsigned caps =
                (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
            if (caps & V4L2_CAP_VIDEO_CAPTURE) {
                const auto* card = reinterpret_cast<const char*>(cap.card);
                cameras.push_back({std::string(card, strnlen(card, sizeof(cap.card))), path});
            }
        }
        ::close(fd);
    }
    if (virtualCameraOn()) {
        cameras.push_back({kVirtualCameraName, std::string()});
    }
    return cameras;
}

}  // namespace fenwixsdk
