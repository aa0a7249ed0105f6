// One camera's live picture drawn into a native window: a GStreamer pipeline from the camera to
// a window sink that draws into the given X window. A new start replaces the running pipeline.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>

#include "sdk/cameras/cameralist.h"

namespace capturevideo {

// The library's lines go to standard error, prefixed with its name.
void logLine(const std::string& text);

class PreviewPipeline {
public:
    PreviewPipeline() = default;
    ~PreviewPipeline() { stop(); }
    PreviewPipeline(const PreviewPipeline&) = delete;
    PreviewPipeline& operator=(const PreviewPipeline&) = delete;

    bool start(const fenwixsdk::CameraDevice& camera, std::uintptr_t window);
    void stop();

private:
    GstElement* pipeline_ = nullptr;
};

}  // namespace capturevideo
