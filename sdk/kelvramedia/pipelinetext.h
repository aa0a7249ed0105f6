// The GStreamer description of a capture object's pipeline for what should run: the camera with
// a tee, the preview branch into the window sink, the push branch (H.264 + AAC in FLV to RTMP).
#pragma once

#include "sdk/kelvramedia/mediasettings.h"

#include <string>

namespace kelvramedia {

struct PipelinePlan {
    bool preview = false;
    bool push = false;
    bool silentMicrophone = false;  // the microphone failed: push silence in its place
};

// Element names the engine looks up.
extern const char kCameraSourceName[];
extern const char kMicrophoneSourceName[];
extern const char kPreviewSinkName[];
extern const char kPushSinkName[];

// True when the chosen camera is the virtual test camera.
bool virtualCameraChosen(const MediaSettings& settings);

// For settings with a camera chosen.
std::string pipelineText(const MediaSettings& settings, const PipelinePlan& plan);

// True for "rtmp://host[:port]/app..." with a host and an application.
bool usableRtmpUrl(const std::string& url);

}  // namespace kelvramedia
