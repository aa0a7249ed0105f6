// One camera's live picture drawn into a native window: a GStreamer pipeline from the camera to
// a window sink that draws into the given X window. A new start replaces the running pipeline.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>
#include <vector>

namespace capturevideo {

// A camera of the preview: the video capture devices by card name and device node, then the
// virtual test camera (no node) when it is switched on, the order all stand-ins list them in.
struct Camera {
    std::string name;
    std::string path;  // empty for the virtual camera
};

std::vector<Camera> listCameras();

// The library's lines go to standard error, prefixed with its name.
void logLine(const std::string& text);

class PreviewPipeline {
public:
    PreviewPipeline() = default;
    ~PreviewPipeline() { stop(); }
    PreviewPipeline(const PreviewPipeline&) = delete;
    PreviewPipeline& operator=(const PreviewPipeline&) = delete;

    bool start(const Camera& camera, std::uintptr_t window);
    void stop();

private:
    GstElement* pipeline_ = nullptr;
};

}  // namespace capturevideo
