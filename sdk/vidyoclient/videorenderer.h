// Draws the conference video into the native window the library was started with: a moving test
// picture captioned with the room and the pinned participant. Without a display or a window it
// draws nothing and says so in the library's log. A started renderer runs a media pipeline with
// its own threads; the conference client starts it only while there is something to show.
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace vidyoclient {

class VideoRenderer {
public:
    // The picture source's name, and so the name of the pipeline's streaming thread.
    static constexpr const char* kStreamName = "confvideo";

    // True when window can be drawn into; logs why not otherwise.
    static bool canDrawInto(std::uintptr_t window);

    VideoRenderer() = default;
    ~VideoRenderer() { stop(); }
    VideoRenderer(const VideoRenderer&) = delete;
    VideoRenderer& operator=(const VideoRenderer&) = delete;

    // True when drawing started.
    bool start(std::uintptr_t window, int width, int height, const std::string& caption);
    void setCaption(const std::string& caption);
    bool drawing() const;
    // Frames handed to the window since the renderer was made; read for the statistics.
    std::uint64_t framesDrawn() const { return frames_.load(); }
    void stop();

private:
    mutable std::mutex mutex_;
    GstElement* pipeline_ = nullptr;
    GstElement* caption_ = nullptr;
    std::atomic<std::uint64_t> frames_{0};
};

}  // namespace vidyoclient
