// What the caller set on a capture object: the values preview and push are built from.
#pragma once

#include "sdk/kelvramedia/kelvramedia.h"

#include <optional>
#include <string>

namespace kelvramedia {

struct VideoFormat {
    int width = 1280;
    int height = 720;
    int fps = 30;
};

struct PreviewArea {
    KelvraMediaSdk::WindowHandle window = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct MediaSettings {
    std::optional<KelvraMediaSdk::CaptureDeviceInfo> camera;
    std::optional<KelvraMediaSdk::CaptureDeviceInfo> microphone;
    VideoFormat capture;
    VideoFormat push;
    int bitrate = 768000;  // bit/s
    std::string url;
    PreviewArea preview;
};

// A format from caller values, or nullopt when they make no picture.
std::optional<VideoFormat> checkedFormat(int width, int height, int fps);

}  // namespace kelvramedia
