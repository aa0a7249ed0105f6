#include "sdk/vidyoclient/videorenderer.h"

#include "sdk/common/mediaframework.h"
#include "sdk/common/nativewindow.h"
#include "sdk/vidyoclient/clientlog.h"
#include "sdk/vidyoclient/windowwatch.h"

#include <gst/gst.h>
#include <gst/video/videooverlay.h>

namespace vidyoclient {

namespace {
GstPadProbeReturn countFrame(GstPad* /*pad*/, GstPadProbeInfo* /*info*/, gpointer frames) {
    static_cast<std::atomic<std::uint64_t>*>(frames)->fetch_add(1);
    return GST_PAD_PROBE_OK;
}

std::string pipelineText(int width, int height) {
    // A fixed picture size keeps the cost low; the window sink scales it to the window. The
    // source's name is its streaming thread's name, which shows whether a picture is drawn.
    const int w = width > 0 ? std::min(width, 1280) : 640;
    const int h = height > 0 ? std::min(height, 720) : 360;
    return "videotestsrc name=" + std::string(VideoRenderer::kStreamName) +
           " is-live=true pattern=smpte ! video/x-raw,width=" + std::to_string(w) +
           ",height=" + std::to_string(h) +
           ",framerate=15/1 ! textoverlay name=caption font-desc=\"Sans 28\" valignment=center "
           "halignment=center shaded-background=true ! videoconvert ! ximagesink name=sink "
           "sync=false force-aspect-ratio=false";
}
}  // namespace

bool VideoRenderer::canDrawInto(std::uintptr_t window) {
    return sdkcommon::nativeWindowExists(window, [](const std::string& why) {
        clientLog().line("video: " + why + ", the conference video is not drawn");
    });
}

bool VideoRenderer::start(std::uintptr_t window, int width, int height,
                          const std::string& caption) {
    stop();
    if (!canDrawInto(window)) {
        return false;
    }
    if (!sdkcommon::mediaFrameworkReady(
            [](const std::string& why) { clientLog().line("video: " + why); })) {
        return false;
    }
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(pipelineText(width, height).c_str(), &error);
    if (pipeline == nullptr || error != nullptr) {
        clientLog().line(std::string("video: cannot build the drawing pipeline: ") +
                         (error != nullptr ? error->message : "unknown"));
        g_clear_error(&error);
        if (pipeline != nullptr) {
            gst_object_unref(pipeline);
        }
        return false;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstElement* text = gst_bin_get_by_name(GST_BIN(pipeline), "caption");
    gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink), static_cast<guintptr>(window));
    GstPad* drawn = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(drawn, GST_PAD_PROBE_TYPE_BUFFER, countFrame, &frames_, nullptr);
    gst_object_unref(drawn);
    gst_object_unref(sink);
    g_object_set(text, "text", caption.c_str(), nullptr);
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        clientLog().line("video: the drawing pipeline does not start (window " +
                         std::to_string(window) + ")");
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(text);
        gst_object_unref(pipeline);
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    pipeline_ = pipeline;
    caption_ = text;
    clientLog().line("video: drawing into window " + std::to_string(window));
    return true;
}

void VideoRenderer::setCaption(const std::string& caption) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (caption_ != nullptr) {
        g_object_set(caption_, "text", caption.c_str(), nullptr);
    }
}

bool VideoRenderer::drawing() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pipeline_ != nullptr;
}

void VideoRenderer::stop() {
    GstElement* pipeline = nullptr;
    GstElement* caption = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::swap(pipeline, pipeline_);
        std::swap(caption, caption_);
    }
    if (pipeline == nullptr) {
        return;
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(caption);
    gst_object_unref(pipeline);
    clientLog().line("video: drawing stopped");
}

}  // namespace vidyoclient
