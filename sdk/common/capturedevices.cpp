#include "sdk/common/capturedevices.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <pulse/pulseaudio.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace sdkcommon {

const char kVirtualCamera[] = "Fenwix Virtual Camera";

namespace {
constexpr auto kSoundServerWait = std::chrono::milliseconds(2000);

struct SoundQuery {
    SoundDevices devices;
    int pending = 0;
};

SoundDevice soundDevice(const char* name, const char* description) {
    return {name != nullptr ? name : "", description != nullptr ? description : name};
}

void onSource(pa_context*, const pa_source_info* info, int eol, void* data) {
    auto* q = static_cast<SoundQuery*>(data);
    if (eol != 0) {
        --q->pending;
        return;
    }
    // Monitors of outputs are not microphones.
    if (info != nullptr && info->monitor_of_sink == PA_INVALID_INDEX) {
        q->devices.sources.push_back(soundDevice(info->name, info->description));
    }
}

void onSink(pa_context*, const pa_sink_info* info, int eol, void* data) {
    auto* q = static_cast<SoundQuery*>(data);
    if (eol != 0) {
        --q->pending;
        return;
    }
    if (info != nullptr) {
        q->devices.sinks.push_back(soundDevice(info->name, info->description));
    }
}

void onServer(pa_context*, const pa_server_info* info, void* data) {
    auto* q = static_cast<SoundQuery*>(data);
    --q->pending;
    if (info != nullptr) {
        q->devices.defaultSource = info->default_source_name ? info->default_source_name : "";
        q->devices.defaultSink = info->default_sink_name ? info->default_sink_name : "";
    }
}
}  // namespace

SoundDevices listSoundDevices(const LogLine& log) {
    SoundQuery q;
    pa_mainloop* loop = pa_mainloop_new();
    if (loop == nullptr) {
        return q.devices;
    }
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "FenwixDeviceList");
    const auto deadline = std::chrono::steady_clock::now() + kSoundServerWait;
    bool asked = false;
    if (context != nullptr &&
        pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        while (std::chrono::steady_clock::now() < deadline) {
            const pa_context_state_t state = pa_context_get_state(context);
            if (!PA_CONTEXT_IS_GOOD(state)) {
                break;
            }
            if (state == PA_CONTEXT_READY && !asked) {
                asked = true;
                q.pending = 3;
                pa_operation_unref(pa_context_get_source_info_list(context, onSource, &q));
                pa_operation_unref(pa_context_get_sink_info_list(context, onSink, &q));
                pa_operation_unref(pa_context_get_server_info(context, onServer, &q));
            }
            if (asked && q.pending <= 0) {
                break;
            }
            pa_mainloop_iterate(loop, 0, nullptr);
            usleep(2000);
        }
        if (asked && q.pending > 0) {
            log("sound server answered only in part; device lists may be short");
        }
        pa_context_disconnect(context);
    } else {
        log("no sound server: no sound devices are listed");
    }
    if (context != nullptr) {
        pa_context_unref(context);
    }
    pa_mainloop_free(loop);
    return q.devices;
}

std::vector<VideoDevice> listVideoCaptureDevices() {
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
    std::vector<VideoDevice> devices;
    for (const auto& path : paths) {
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
                devices.push_back({path, std::string(card, strnlen(card, sizeof(cap.card)))});
            }
        }
        ::close(fd);
    }
    return devices;
}

bool virtualCameraOn() {
    const char* value = std::getenv("FENWIX_VIRTUAL_CAMERA");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace sdkcommon
