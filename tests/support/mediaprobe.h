// What ffprobe finds in a recorded media file: the first video and audio stream.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>

namespace fenwixtest {

struct MediaProbe {
    std::string videoCodec;
    int width = 0;
    int height = 0;
    double fps = 0;  // average frame rate
    std::string audioCodec;
    double duration = 0;  // seconds
    std::string raw;      // ffprobe's output, for failure messages
};

inline double ratio(const std::string& text) {
    const auto slash = text.find('/');
    try {
        if (slash == std::string::npos) {
            return std::stod(text);
        }
        const double den = std::stod(text.substr(slash + 1));
        return den == 0 ? 0 : std::stod(text.substr(0, slash)) / den;
    } catch (...) {
        return 0;
    }
}

inline MediaProbe probeMedia(const std::string& path) {
    MediaProbe probe;
    const std::string command =
        "ffprobe -v error -show_entries "
        "stream=codec_type,codec_name,width,height,avg_frame_rate:format=duration "
        "-of default=noprint_wrappers=1 '" +
        path + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return probe;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) {
        probe.raw += buffer;
    }
    ::pclose(pipe);
    std::istringstream lines(probe.raw);
    std::string line;
    std::string codec;
    std::string type;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "codec_name") {
            codec = value;
        } else if (key == "codec_type") {
            type = value;
            (type == "video" ? probe.videoCodec : probe.audioCodec) = codec;
        } else if (key == "width") {
            probe.width = std::atoi(value.c_str());
        } else if (key == "height") {
            probe.height = std::atoi(value.c_str());
        } else if (key == "avg_frame_rate" && type == "video") {
            probe.fps = ratio(value);
        } else if (key == "duration") {
            probe.duration = ratio(value);
        }
    }
    return probe;
}

}  // namespace fenwixtest
