// The capture and playback devices of this machine as the stand-in libraries list them: sound
// server sources and sinks by description, video capture devices by card name, and the virtual
// test camera when FENWIX_VIRTUAL_CAMERA=1. Every library lists the same names, so the terminal
// can match a device across libraries by name.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace sdkcommon {

extern const char kVirtualCamera[];

struct SoundDevice {
    std::string name;         // the sound server's name (what a stream is opened on)
    std::string description;  // the friendly name shown and compared
};

struct SoundDevices {
    std::vector<SoundDevice> sources;  // recording devices, monitors of outputs left out
    std::vector<SoundDevice> sinks;
    std::string defaultSource;
    std::string defaultSink;
};

struct VideoDevice {
    std::string path;  // the device node
    std::string name;  // the card name
};

using LogLine = std::function<void(const std::string&)>;

// In the server's order; empty lists when no sound server answers within two seconds.
SoundDevices listSoundDevices(const LogLine& log);

// Video capture devices in the order of their device nodes.
std::vector<VideoDevice> listVideoCaptureDevices();

bool virtualCameraOn();

}  // namespace sdkcommon
