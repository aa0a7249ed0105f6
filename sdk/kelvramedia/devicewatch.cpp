#include "sdk/kelvramedia/devicewatch.h"

#include "sdk/kelvramedia/devicecatalog.h"
#include "sdk/kelvramedia/medialog.h"

#include <gst/gst.h>
#include <pulse/pulseaudio.h>

#include <atomic>

namespace kelvramedia {

using namespace KelvraMediaSdk;

// The sound server side: a subscription to source changes on a loop thread of libpulse.
struct DeviceWatch::Sound {
    EventSink sink;
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    // Touched on the loop thread or under the loop's lock.
    std::string microphone;
    int sources = -1;  // microphones counted last; -1 before the first count
    int muted = -1;    // the microphone's mute state last seen; -1 unknown

    std::string target() const { return microphone.empty() ? "@DEFAULT_SOURCE@" : microphone; }

    static void onSourceCount(pa_context*, const pa_source_info* info, int eol, void* data);
    static void onMute(pa_context*, const pa_source_info* info, int eol, void* data);
    static void onEvent(pa_context* c, pa_subscription_event_type_t type, uint32_t, void* data);
    static void onState(pa_context* c, void* data);

    void countSources();
    void readMute() {
        pa_operation_unref(
            pa_context_get_source_info_by_name(context, target().c_str(), onMute, this));
    }
};

namespace {
struct SourceCount {
    DeviceWatch::Sound* self;
    int n;
};
}  // namespace

void DeviceWatch::Sound::countSources() {
    pa_operation_unref(
        pa_context_get_source_info_list(context, onSourceCount, new SourceCount{this, 0}));
}

void DeviceWatch::Sound::onSourceCount(pa_context*, const pa_source_info* info, int eol,
                                       void* data) {
    auto* count = static_cast<SourceCount*>(data);
    if (eol == 0) {
        if (info != nullptr && info->monitor_of_sink == PA_INVALID_INDEX) {
            ++count->n;
        }
        return;
    }
    Sound* self = count->self;
    const int n = count->n;
    delete count;
    if (eol < 0) {
        return;
    }
    if (self->sources >= 0 && n != self->sources) {
        self->sink(kEventMicrophoneListChanged, n,
                   "microphone list changed: " + std::to_string(n) + " microphone(s)");
    }
    self->sources = n;
}

void DeviceWatch::Sound::onMute(pa_context*, const pa_source_info* info, int eol, void* data) {
    auto* self = static_cast<Sound*>(data);
    if (eol != 0 || info == nullptr) {
        return;
    }
    const int muted = info->mute ? 1 : 0;
    if (self->muted >= 0 && muted != self->muted) {
        const std::string name = info->description ? info->description : info->name;
        self->sink(muted ? kEventMicrophoneMuted : kEventMicrophoneUnmuted, 0,
                   std::string("microphone ") + name + (muted ? " muted" : " unmuted"));
    }
    self->muted = muted;
}

void DeviceWatch::Sound::onEvent(pa_context*, pa_subscription_event_type_t type, uint32_t,
                                 void* data) {
    auto* self = static_cast<Sound*>(data);
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SOURCE) {
        if (kind != PA_SUBSCRIPTION_EVENT_CHANGE) {
            self->countSources();
        }
        self->readMute();
    } else if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
        self->readMute();  // the default source may be another one now
    }
}

void DeviceWatch::Sound::onState(pa_context* c, void* data) {
    auto* self = static_cast<Sound*>(data);
    switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY:
            pa_context_set_subscribe_callback(c, onEvent, self);
            pa_operation_unref(pa_context_subscribe(
                c,
                static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE |
                                                    PA_SUBSCRIPTION_MASK_SERVER),
                nullptr, nullptr));
            self->countSources();
            self->readMute();
            break;
        case PA_CONTEXT_FAILED:
            logLine(std::string("device watch: sound server connection failed: ") +
                    pa_strerror(pa_context_errno(c)) + "; microphone changes are not told");
            break;
        case PA_CONTEXT_TERMINATED:
        default:
            break;
    }
}

// The video side: the media framework's device monitor, which tells added and removed capture
// devices from its providers' own threads.
struct DeviceWatch::Video {
    EventSink sink;
    GstDeviceMonitor* monitor = nullptr;
    std::atomic<bool> started{false};

    static GstBusSyncReply onMessage(GstBus*, GstMessage* message, gpointer data) {
        auto* self = static_cast<Video*>(data);
        const auto type = GST_MESSAGE_TYPE(message);
        if (self->started &&
            (type == GST_MESSAGE_DEVICE_ADDED || type == GST_MESSAGE_DEVICE_REMOVED)) {
            const int n = static_cast<int>(listCameras().size());
            self->sink(kEventCameraListChanged, n,
                       "camera list changed: " + std::to_string(n) + " camera(s)");
        }
        gst_message_unref(message);
        return GST_BUS_DROP;
    }
};

DeviceWatch::DeviceWatch(EventSink sink)
    : sound_(std::make_unique<Sound>()), video_(std::make_unique<Video>()) {
    sound_->sink = sink;
    sound_->loop = pa_threaded_mainloop_new();
    if (sound_->loop != nullptr) {
        sound_->context = pa_context_new(pa_threaded_mainloop_get_api(sound_->loop), "KelvraMedia");
        pa_context_set_state_callback(sound_->context, Sound::onState, sound_.get());
        if (pa_context_connect(sound_->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            logLine("device watch: no sound server; microphone changes are not told");
        }
        pa_threaded_mainloop_start(sound_->loop);
    }

    video_->sink = std::move(sink);
    video_->monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(video_->monitor, "Video/Source", nullptr);
    GstBus* bus = gst_device_monitor_get_bus(video_->monitor);
    gst_bus_set_sync_handler(bus, Video::onMessage, video_.get(), nullptr);
    gst_object_unref(bus);
    if (!gst_device_monitor_start(video_->monitor)) {
        logLine("device watch: no video device monitor; camera changes are not told");
    }
    video_->started = true;
}

DeviceWatch::~DeviceWatch() {
    video_->started = false;
    gst_device_monitor_stop(video_->monitor);
    GstBus* bus = gst_device_monitor_get_bus(video_->monitor);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(video_->monitor);

    if (sound_->loop != nullptr) {
        pa_threaded_mainloop_lock(sound_->loop);
        pa_context_set_subscribe_callback(sound_->context, nullptr, nullptr);
        pa_context_set_state_callback(sound_->context, nullptr, nullptr);
        pa_context_disconnect(sound_->context);
        pa_context_unref(sound_->context);
        pa_threaded_mainloop_unlock(sound_->loop);
        pa_threaded_mainloop_stop(sound_->loop);
        pa_threaded_mainloop_free(sound_->loop);
    }
}

void DeviceWatch::setMicrophone(const std::string& sourceName) {
    if (sound_->loop == nullptr) {
        return;
    }
    pa_threaded_mainloop_lock(sound_->loop);
    sound_->microphone = sourceName;
    sound_->muted = -1;  // a new baseline: choosing a device is no mute change
    if (pa_context_get_state(sound_->context) == PA_CONTEXT_READY) {
        sound_->readMute();
    }
    pa_threaded_mainloop_unlock(sound_->loop);
}

}  // namespace kelvramedia
