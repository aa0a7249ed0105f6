#include "sdk/kelvramedia/pipelinetext.h"

#include "sdk/kelvramedia/devicecatalog.h"

#include <algorithm>

namespace kelvramedia {

const char kCameraSourceName[] = "camera";
const char kMicrophoneSourceName[] = "microphone";
const char kPreviewSinkName[] = "preview";
const char kPushSinkName[] = "push";

namespace {
std::string rawCaps(const VideoFormat& f) {
    return "video/x-raw,format=I420,width=" + std::to_string(f.width) +
           ",height=" + std::to_string(f.height) + ",framerate=" + std::to_string(f.fps) + "/1";
}

// A property value in double quotes for the pipeline parser.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

std::string cameraSource(const MediaSettings& s) {
    if (virtualCameraChosen(s)) {
        return std::string("videotestsrc is-live=true pattern=smpte name=") + kCameraSourceName +
               " ! " + rawCaps(s.capture);
    }
    return std::string("v4l2src device=") + quoted(fieldText(s.camera->deviceId)) +
           " name=" + kCameraSourceName +
           " ! decodebin ! videoconvert ! videoscale ! videorate ! " + rawCaps(s.capture);
}

std::string microphoneSource(const MediaSettings& s, bool silent) {
    if (silent) {
        return std::string("audiotestsrc is-live=true wave=silence name=") + kMicrophoneSourceName;
    }
    std::string text = "pulsesrc";
    if (s.microphone) {
        text += " device=" + quoted(fieldText(s.microphone->deviceId));
    }
    return text + " name=" + kMicrophoneSourceName;
}

std::string previewBranch(const MediaSettings& s) {
    if (s.preview.window == 0) {
        // No window to draw into: the camera still runs, so its opening is told.
        return "t. ! queue leaky=downstream max-size-buffers=2 ! fakesink sync=false";
    }
    return std::string(
               "t. ! queue leaky=downstream max-size-buffers=2 ! videoscale ! "
               "video/x-raw,width=") +
           std::to_string(std::max(2, s.preview.width & ~1)) +
           ",height=" + std::to_string(std::max(2, s.preview.height & ~1)) +
           " ! videoconvert ! ximagesink name=" + kPreviewSinkName +
           " sync=false force-aspect-ratio=false";
}

std::string pushBranch(const MediaSettings& s, bool silentMicrophone) {
    const int kbps = std::max(1, s.bitrate / 1000);
    const int keyInterval = std::max(1, 2 * s.push.fps);  // a key frame at least every 2 s
    return std::string(
               "t. ! queue leaky=downstream max-size-buffers=4 ! videoscale ! videorate ! ") +
           rawCaps(s.push) +
           " ! x264enc tune=zerolatency speed-preset=ultrafast bitrate=" + std::to_string(kbps) +
           " key-int-max=" + std::to_string(keyInterval) +
           " ! h264parse ! queue ! flvmux name=mux streamable=true ! rtmp2sink name=" +
           kPushSinkName + " location=" + quoted(s.url) + " " +
           microphoneSource(s, silentMicrophone) +
           " ! audioconvert ! audioresample ! audio/x-raw,rate=44100,channels=2 ! "
           "voaacenc bitrate=64000 ! queue ! mux.";
}
}  // namespace

bool virtualCameraChosen(const MediaSettings& settings) {
    return settings.camera && fieldText(settings.camera->deviceId) == kVirtualCameraId;
}

std::string pipelineText(const MediaSettings& settings, const PipelinePlan& plan) {
    std::string text = cameraSource(settings) + " ! tee name=t";
    if (plan.preview) {
        text += " " + previewBranch(settings);
    }
    if (plan.push) {
        text += " " + pushBranch(settings, plan.silentMicrophone);
    }
    return text;
}

bool usableRtmpUrl(const std::string& url) {
    const std::string scheme = "rtmp://";
    if (url.compare(0, scheme.size(), scheme) != 0) {
        return false;
    }
    const std::size_t hostEnd = url.find('/', scheme.size());
    if (hostEnd == std::string::npos || hostEnd == scheme.size()) {
        return false;  // no host, or no application
    }
    const std::string host = url.substr(scheme.size(), hostEnd - scheme.size());
    if (host.front() == ':' || url.size() == hostEnd + 1) {
        return false;
    }
    // Blanks and quotes never belong in an address and would confuse the pipeline parser.
    return url.find_first_of(" \t\r\n\"\\") == std::string::npos;
}

}  // namespace kelvramedia
