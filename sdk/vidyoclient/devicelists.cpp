#include "sdk/vidyoclient/devicelists.h"

#include "sdk/cameras/cameralist.h"
#include "sdk/vidyoclient/clientlog.h"

#include <pulse/pulseaudio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace vidyoclient {

const char kSameAsSystem[] = "Same as system";
const char kVirtualCamera[] = "Fenwix Virtual Camera";

namespace {
constexpr auto kSoundServerWait = std::chrono::milliseconds(2000);

struct SoundQuery {
    std::vector<std::string> sources;
    std::vector<std::string> sinks;
    int pending = 0;
};

void onSource(pa_context*, const pa_source_info* info, int eol, void* data) {
    auto* q = static_cast<SoundQuery*>(data);
    if (eol != 0) {
        --q->pending;
        return;
    }
    // Monitors of outputs are not microphones.
    if (info != nullptr && info->monitor_of_sink == PA_INVALID_INDEX) {
        q->sources.emplace_back(info->description ? info->description : info->name);
    }
}

void onSink(pa_context*, const pa_sink_info* info, int eol, void* data) {
    auto* q = static_cast<SoundQuery*>(data);
    if (eol != 0) {
        --q->pending;
        return;
    }
    if (info != nullptr) {
        q->sinks.emplace_back(info->description ? info->description : info->name);
    }
}

// Sources and sinks of the sound server; nothing when none answers in time.
SoundQuery soundDevices() {
    SoundQuery q;
    pa_mainloop* loop = pa_mainloop_new();
    if (loop == nullptr) {
        return q;
    }
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "VidyoClient");
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
                q.pending = 2;
                pa_operation_unref(pa_context_get_source_info_list(context, onSource, &q));
                pa_operation_unref(pa_context_get_sink_info_list(context, onSink, &q));
            }
            if (asked && q.pending <= 0) {
                break;
            }
            pa_mainloop_iterate(loop, 0, nullptr);
            usleep(2000);
        }
        if (asked && q.pending > 0) {
            clientLog().line("sound server answered only in part; device lists may be short");
        }
        pa_context_disconnect(context);
    } else {
        clientLog().line("no sound server: only the system default audio devices are listed");
    }
    if (context != nullptr) {
        pa_context_unref(context);
    }
    pa_mainloop_free(loop);
    return q;
}

}  // namespace

DeviceNames enumerateDevices() {
    DeviceNames names;
    SoundQuery sound = soundDevices();
    names.microphones.emplace_back(kSameAsSystem);
    names.microphones.insert(names.microphones.end(), sound.sources.begin(), sound.sources.end());
    names.speakers.emplace_back(kSameAsSystem);
    names.speakers.insert(names.speakers.end(), sound.sinks.begin(), sound.sinks.end());
    for (const auto& camera : fenwixsdk::listCameras()) {
        names.cameras.push_back(camera.name);
    }
    return names;
}

}  // namespace vidyoclient
