#include "sdk/capturevideo/previewpipeline.h"

#include <gst/video/videooverlay.h>

#include "sdk/common/capturedevices.h"
#include "sdk/common/mediaframework.h"
#include "sdk/common/nativewindow.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace capturevideo {

namespace {

// A low rate, and the picture made the size of the window: the window sink draws the picture as
// it comes, cutting off what does not fit (the camera's name at the bottom, the right side).
std::string pipelineText(const Camera& camera, sdkcommon::WindowSize window) {
    const std::string size =
        "width=" + std::to_string(window.width) + ",height=" + std::to_string(window.height);
    const std::string tail = " ! videoconvert ! videoscale ! video/x-raw," + size +
                             " ! ximagesink name=sink sync=false force-aspect-ratio=false";
    if (camera.path.empty()) {
        return "videotestsrc is-live=true pattern=ball background-color=0xff203860 ! "
               "video/x-raw,width=320,height=180,"
               "framerate=15/1 ! textoverlay text=\"" +
               camera.name + "\" valignment=bottom font-desc=\"Sans 12\"" + tail;
    }
    return "v4l2src device=" + camera.path + " ! videorate ! video/x-raw,framerate=15/1" + tail;
}

// The picture's size for a window: the window's own, within bounds that keep the cost low
// (the preview is a small area of a dialog; a huge window is drawn as much as fits).
sdkcommon::WindowSize pictureSize(sdkcommon::WindowSize window) {
    constexpr int kMaxWidth = 1280;
    constexpr int kMaxHeight = 720;
    return {std::clamp(window.width, 2, kMaxWidth), std::clamp(window.height, 2, kMaxHeight)};
}

// Waits briefly for the pipeline to start or fail, so a camera that cannot be opened is
// reported to the caller instead of leaving a silent black window.
bool started(GstElement* pipeline) {
    GstState state = GST_STATE_NULL;
    const GstStateChangeReturn result =
        gst_element_get_state(pipeline, &state, nullptr, 3 * GST_SECOND);
    return result != GST_STATE_CHANGE_FAILURE;
}

}  // namespace

std::vector<Camera> listCameras() {
    std::vector<Camera> cameras;
    for (const auto& device : sdkcommon::listVideoCaptureDevices()) {
        cameras.push_back({device.name, device.path});
    }
    if (sdkcommon::virtualCameraOn()) {
        cameras.push_back({sdkcommon::kVirtualCamera, std::string()});
    }
    return cameras;
}

void logLine(const std::string& text) {
    std::fprintf(stderr, "CaptureVideo: %s\n", text.c_str());
}

bool PreviewPipeline::start(const Camera& camera, std::uintptr_t window) {
    stop();
    sdkcommon::installXErrorHandlers(logLine);  // before the sink opens its connection
    const std::optional<sdkcommon::WindowSize> size =
        sdkcommon::nativeWindowSize(window, [&camera](const std::string& why) {
            logLine(why + ", the preview of " + camera.name + " is not drawn");
        });
    if (!size) {
        return false;
    }
    if (!sdkcommon::mediaFrameworkReady(logLine)) {
        return false;
    }
    GError* error = nullptr;
    GstElement* pipeline =
        gst_parse_launch(pipelineText(camera, pictureSize(*size)).c_str(), &error);
    if (pipeline == nullptr || error != nullptr) {
        logLine(std::string("cannot build the preview of ") + camera.name + ": " +
                (error != nullptr ? error->message : "unknown"));
        g_clear_error(&error);
        if (pipeline != nullptr) {
            gst_object_unref(pipeline);
        }
        return false;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink), static_cast<guintptr>(window));
    gst_object_unref(sink);
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ||
        !started(pipeline)) {
        logLine("the camera " + camera.name + " cannot be opened");
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        return false;
    }
    pipeline_ = pipeline;
    logLine("preview of " + camera.name + " in window " + std::to_string(window));
    return true;
}

void PreviewPipeline::stop() {
    if (pipeline_ == nullptr) {
        return;
    }
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_object_unref(pipeline_);
    pipeline_ = nullptr;
}

}  // namespace capturevideo
