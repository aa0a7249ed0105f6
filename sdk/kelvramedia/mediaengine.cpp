#include "sdk/kelvramedia/mediaengine.h"

#include "sdk/kelvramedia/clockstamp.h"
#include "sdk/kelvramedia/medialog.h"
#include "sdk/kelvramedia/pipelinetext.h"

#include <gst/gst.h>
#include <gst/video/video.h>
#include <gst/video/videooverlay.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace kelvramedia {

using namespace KelvraMediaSdk;

namespace {
// Bytes the push connection must have carried before the stream counts as flowing (more than
// the handshake and the stream set-up).
constexpr guint64 kFlowingBytes = 16 * 1024;
constexpr guint kFlowCheckMs = 250;  // only while a push pipeline runs

// Waits before the reconnect attempts: short first, never more than 2 s, so a receiver that
// comes back is reached within a few seconds.
guint backoffMs(int attempt) {
    static const guint steps[] = {250, 500, 1000, 2000};
    return steps[std::min<int>(attempt, 3)];
}
}  // namespace

struct MediaEngine::State {
    EventSink sink;

    // Wanted by the caller; guarded by mutex.
    std::mutex mutex;
    bool preview = false;
    bool push = false;
    MediaSettings settings;

    // Work for the media thread, queued by any thread.
    std::mutex tasksMutex;
    std::deque<std::function<void()>> tasks;

    // The media thread and what only it touches.
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    std::thread thread;
    GstElement* pipeline = nullptr;
    GSource* busWatch = nullptr;
    GSource* retryTimer = nullptr;
    GSource* flowTimer = nullptr;
    PipelinePlan built;
    bool silentMicrophone = false;
    bool everFlowing = false;  // 1003 sent for this push
    bool lost = false;         // 2001 sent, 2002 not yet
    int attempt = 0;

    // Set from streaming threads.
    std::atomic<bool> cameraReported{false};
    std::atomic<bool> microphoneReported{false};

    void emit(int event, int value, const std::string& detail) { sink(event, value, detail); }
};

namespace {
using State = MediaEngine::State;

// The work goes through a queue under a mutex of ours rather than inside the main loop's own
// source: the loop hands sources over with locks that race checkers cannot see, ours they can.
// One queued task per invocation, taken in the order they were queued.
void runOnMediaThread(State* s, std::function<void()> work) {
    {
        std::lock_guard<std::mutex> lock(s->tasksMutex);
        s->tasks.push_back(std::move(work));
    }
    g_main_context_invoke(
        s->context,
        [](gpointer data) -> gboolean {
            State* state = static_cast<State*>(data);
            std::function<void()> task;
            {
                std::lock_guard<std::mutex> lock(state->tasksMutex);
                if (state->tasks.empty()) {
                    return G_SOURCE_REMOVE;
                }
                task = std::move(state->tasks.front());
                state->tasks.pop_front();
            }
            task();
            return G_SOURCE_REMOVE;
        },
        s);
}

void removeSource(GSource*& source) {
    if (source != nullptr) {
        g_source_destroy(source);
        g_source_unref(source);
        source = nullptr;
    }
}

GSource* addTimer(State* s, guint ms, GSourceFunc func) {
    GSource* source = g_timeout_source_new(ms);
    g_source_set_callback(source, func, s, nullptr);
    g_source_attach(source, s->context);
    return source;
}

void teardown(State* s) {
    removeSource(s->flowTimer);
    removeSource(s->busWatch);
    if (s->pipeline != nullptr) {
        gst_element_set_state(s->pipeline, GST_STATE_NULL);
        gst_object_unref(s->pipeline);
        s->pipeline = nullptr;
    }
    s->built = {};
}

void apply(State* s);

// The first buffer of a source tells that its device delivers.
void watchFirstBuffer(State* s, const char* name, std::atomic<bool>* reported, int event,
                      const char* what) {
    GstElement* element = gst_bin_get_by_name(GST_BIN(s->pipeline), name);
    if (element == nullptr) {
        return;
    }
    GstPad* pad = gst_element_get_static_pad(element, "src");
    struct Probe {
        State* s;
        std::atomic<bool>* reported;
        int event;
        const char* what;
    };
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer data) -> GstPadProbeReturn {
            auto* p = static_cast<Probe*>(data);
            if (!p->reported->exchange(true)) {
                p->s->emit(p->event, 0, std::string(p->what) + " delivers");
            }
            return GST_PAD_PROBE_REMOVE;
        },
        new Probe{s, reported, event, what},
        [](gpointer data) { delete static_cast<Probe*>(data); });
    gst_object_unref(pad);
    gst_object_unref(element);
}

// The virtual camera's pictures carry their capture time (see clockstamp.h).
void stampCaptureTime(GstElement* pipeline) {
    GstElement* camera = gst_bin_get_by_name(GST_BIN(pipeline), kCameraSourceName);
    GstPad* pad = gst_element_get_static_pad(camera, "src");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad* pad, GstPadProbeInfo* info, gpointer) -> GstPadProbeReturn {
            GstCaps* caps = gst_pad_get_current_caps(pad);
            GstVideoInfo video;
            const bool known = caps != nullptr && gst_video_info_from_caps(&video, caps);
            if (caps != nullptr) {
                gst_caps_unref(caps);
            }
            if (!known || GST_VIDEO_INFO_WIDTH(&video) < kClockStampWidth ||
                GST_VIDEO_INFO_HEIGHT(&video) < kClockStampHeight) {
                return GST_PAD_PROBE_OK;
            }
            GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
            GST_PAD_PROBE_INFO_DATA(info) = buffer;
            GstVideoFrame frame;
            if (gst_video_frame_map(&frame, &video, buffer, GST_MAP_WRITE)) {
                paintClockStamp(static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                                GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), clockStampNow());
                gst_video_frame_unmap(&frame);
            }
            return GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
    gst_object_unref(pad);
    gst_object_unref(camera);
}

bool fromElement(GstMessage* message, const char* name) {
    for (GstObject* o = GST_MESSAGE_SRC(message); o != nullptr; o = GST_OBJECT_PARENT(o)) {
        if (GST_IS_ELEMENT(o) && g_strcmp0(GST_OBJECT_NAME(o), name) == 0) {
            return true;
        }
    }
    return false;
}

void cameraFailed(State* s, const std::string& why) {
    teardown(s);
    removeSource(s->retryTimer);
    bool preview = false;
    bool push = false;
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        std::swap(preview, s->preview);
        std::swap(push, s->push);
    }
    s->cameraReported = false;
    s->emit(kEventCameraOpenFailed, 0, "camera cannot be opened: " + why);
    if (preview) {
        s->emit(kEventPreviewStopped, 0, "preview ended: no camera");
    }
    if (push) {
        s->emit(kEventPushStopped, 0, "push ended: no camera");
    }
}

void microphoneFailed(State* s, const std::string& why) {
    // The stream goes on with silence so the receiver keeps picture and sound track.
    s->silentMicrophone = true;
    s->emit(kEventMicrophoneOpenFailed, 0, "microphone cannot be used: " + why);
    logLine("push goes on with silence in place of the microphone");
    teardown(s);
    apply(s);
}

gboolean retryPush(gpointer data) {
    auto* s = static_cast<State*>(data);
    g_source_unref(s->retryTimer);
    s->retryTimer = nullptr;
    logLine("push: reconnecting (attempt " + std::to_string(s->attempt) + ")");
    apply(s);
    return G_SOURCE_REMOVE;
}

void connectionLost(State* s, const std::string& why) {
    teardown(s);
    if (!s->lost) {
        s->lost = true;
        s->emit(kEventNetworkLost, s->attempt, "push connection lost: " + why);
    } else {
        logLine("push: attempt " + std::to_string(s->attempt) + " failed: " + why);
    }
    const guint wait = backoffMs(s->attempt);
    ++s->attempt;
    removeSource(s->retryTimer);
    s->retryTimer = addTimer(s, wait, retryPush);
    apply(s);  // the preview goes on while the push waits
}

gboolean onBusMessage(GstBus*, GstMessage* message, gpointer data) {
    auto* s = static_cast<State*>(data);
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR) {
        return G_SOURCE_CONTINUE;
    }
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    const std::string why = error != nullptr ? error->message : "unknown error";
    logLine("pipeline error from " + std::string(GST_OBJECT_NAME(GST_MESSAGE_SRC(message))) + ": " +
            why + (debug != nullptr ? std::string(" (") + debug + ")" : ""));
    g_clear_error(&error);
    g_free(debug);
    const bool pushing = s->built.push;
    if (fromElement(message, kMicrophoneSourceName) && pushing) {
        microphoneFailed(s, why);
    } else if (fromElement(message, kPushSinkName) ||
               (pushing && !fromElement(message, kCameraSourceName) &&
                !fromElement(message, kPreviewSinkName))) {
        connectionLost(s, why);
    } else if (fromElement(message, kPreviewSinkName)) {
        // The window went away: the push (if any) goes on without the preview.
        {
            std::lock_guard<std::mutex> lock(s->mutex);
            s->preview = false;
        }
        s->emit(kEventPreviewStopped, 0, "preview ended: " + why);
        teardown(s);
        apply(s);
    } else {
        cameraFailed(s, why);
    }
    return G_SOURCE_REMOVE;  // the watch went with the pipeline
}

gboolean checkFlow(gpointer data) {
    auto* s = static_cast<State*>(data);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(s->pipeline), kPushSinkName);
    guint64 bytes = 0;
    if (sink != nullptr) {
        GstStructure* stats = nullptr;
        g_object_get(sink, "stats", &stats, nullptr);
        if (stats != nullptr) {
            gst_structure_get_uint64(stats, "out-bytes-total", &bytes);
            gst_structure_free(stats);
        }
        gst_object_unref(sink);
    }
    if (bytes < kFlowingBytes) {
        return G_SOURCE_CONTINUE;
    }
    if (!s->everFlowing) {
        s->everFlowing = true;
        s->emit(kEventPushStarted, 0, "push runs");
    }
    if (s->lost) {
        s->lost = false;
        s->emit(kEventNetworkRestored, s->attempt, "push connection back");
        s->attempt = 0;
    }
    g_source_unref(s->flowTimer);
    s->flowTimer = nullptr;
    return G_SOURCE_REMOVE;
}

bool build(State* s, const MediaSettings& settings, const PipelinePlan& plan) {
    const std::string text = pipelineText(settings, plan);
    logLine("pipeline: " + text);
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(text.c_str(), &error);
    if (pipeline == nullptr || error != nullptr) {
        logLine(std::string("pipeline cannot be built: ") +
                (error != nullptr ? error->message : "unknown"));
        g_clear_error(&error);
        if (pipeline != nullptr) {
            gst_object_unref(pipeline);
        }
        return false;
    }
    s->pipeline = pipeline;
    s->built = plan;
    if (plan.preview && settings.preview.window != 0) {
        GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), kPreviewSinkName);
        const PreviewArea& area = settings.preview;
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink), area.window);
        gst_video_overlay_set_render_rectangle(GST_VIDEO_OVERLAY(sink), area.x, area.y, area.width,
                                               area.height);
        gst_object_unref(sink);
    }
    GstBus* bus = gst_element_get_bus(pipeline);
    s->busWatch = gst_bus_create_watch(bus);
    g_source_set_callback(s->busWatch,
                          reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(onBusMessage)),
                          s, nullptr);
    g_source_attach(s->busWatch, s->context);
    gst_object_unref(bus);
    if (virtualCameraChosen(settings)) {
        stampCaptureTime(pipeline);
    }
    watchFirstBuffer(s, kCameraSourceName, &s->cameraReported, kEventCameraOpened, "camera");
    if (plan.push) {
        watchFirstBuffer(s, kMicrophoneSourceName, &s->microphoneReported, kEventMicrophoneOpened,
                         "microphone");
        s->flowTimer = addTimer(s, kFlowCheckMs, checkFlow);
    }
    // Errors of the state change arrive on the bus.
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    return true;
}

// Makes the pipeline match what is wanted; rebuilds it when that changed.
void apply(State* s) {
    PipelinePlan plan;
    MediaSettings settings;
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        plan.preview = s->preview;
        plan.push = s->push && s->retryTimer == nullptr;
        settings = s->settings;
    }
    plan.silentMicrophone = s->silentMicrophone;
    if (s->pipeline != nullptr && plan.preview == s->built.preview && plan.push == s->built.push &&
        plan.silentMicrophone == s->built.silentMicrophone) {
        return;
    }
    teardown(s);
    if (!plan.preview && !plan.push) {
        if (s->retryTimer == nullptr) {
            s->cameraReported = false;  // the camera is closed: the next open is told again
        }
        return;
    }
    if (!settings.camera) {
        cameraFailed(s, "no camera chosen");
    } else if (!build(s, settings, plan)) {
        cameraFailed(s, "the media pipeline cannot be built");
    }
}

void startThread(State* s) {
    if (s->thread.joinable()) {
        return;
    }
    s->context = g_main_context_new();
    s->loop = g_main_loop_new(s->context, FALSE);
    s->thread = std::thread([s] {
        g_main_context_push_thread_default(s->context);
        g_main_loop_run(s->loop);
        g_main_context_pop_thread_default(s->context);
    });
}
}  // namespace

MediaEngine::MediaEngine(EventSink sink) : state_(std::make_shared<State>()) {
    state_->sink = std::move(sink);
}

MediaEngine::~MediaEngine() {
    State* s = state_.get();
    if (!s->thread.joinable()) {
        return;
    }
    std::promise<void> done;
    runOnMediaThread(s, [s, &done] {
        {
            std::lock_guard<std::mutex> lock(s->mutex);
            s->preview = false;
            s->push = false;
        }
        removeSource(s->retryTimer);
        teardown(s);
        g_main_loop_quit(s->loop);
        done.set_value();
    });
    done.get_future().wait();
    s->thread.join();
    g_main_loop_unref(s->loop);
    g_main_context_unref(s->context);
}

bool MediaEngine::startPreview(const MediaSettings& settings) {
    State* s = state_.get();
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        if (s->preview) {
            return false;
        }
        if (settings.preview.window == 0) {
            logLine("startPreview: no usable preview window; the camera runs without drawing");
        }
        s->preview = true;
        s->settings = settings;
    }
    startThread(s);
    runOnMediaThread(s, [s] {
        apply(s);
        if (s->pipeline != nullptr && s->built.preview) {
            s->emit(kEventPreviewStarted, 0, "preview runs");
        }
    });
    return true;
}

void MediaEngine::stopPreview() {
    State* s = state_.get();
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        if (!s->preview) {
            logLine("stopPreview: no preview runs");
            return;
        }
        s->preview = false;
    }
    runOnMediaThread(s, [s] {
        apply(s);
        s->emit(kEventPreviewStopped, 0, "preview stopped");
    });
}

int MediaEngine::startPush(const MediaSettings& settings) {
    State* s = state_.get();
    if (!usableRtmpUrl(settings.url)) {
        // Told as a push that ended at once, so the caller closes what it opened for it.
        s->emit(kEventPushStopped, kPushNoUrl,
                "push refused: \"" + settings.url + "\" is no rtmp://host/app address");
        return kPushNoUrl;
    }
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        if (s->push) {
            logLine("startPush refused: a push already runs");
            return kPushAlreadyRunning;
        }
        s->push = true;
        s->settings = settings;
    }
    startThread(s);
    runOnMediaThread(s, [s] {
        s->silentMicrophone = false;
        s->everFlowing = false;
        s->lost = false;
        s->attempt = 0;
        s->microphoneReported = false;
        apply(s);
    });
    logLine("push to " + settings.url + " starting");
    return kPushStarting;
}

void MediaEngine::stopPush() {
    State* s = state_.get();
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        if (!s->push) {
            logLine("stopPush: no push runs");
            return;
        }
        s->push = false;
    }
    runOnMediaThread(s, [s] {
        removeSource(s->retryTimer);
        apply(s);
        s->emit(kEventPushStopped, 0, "push stopped");
    });
}

bool MediaEngine::previewing() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->preview;
}

bool MediaEngine::pushing() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->push;
}

}  // namespace kelvramedia
