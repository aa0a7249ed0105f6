// The media work of one capture object over GStreamer: the camera pipeline (preview into the
// window, pictures for the push) and the push pipeline (H.264 + AAC in FLV to the RTMP address),
// with the reconnection after a lost connection. Runs its pipelines' messages and timers on a
// thread of its own, which exists only while a preview or a push runs.
#pragma once

#include "sdk/kelvramedia/mediasettings.h"

#include <functional>
#include <memory>
#include <string>

namespace kelvramedia {

class MediaEngine {
public:
    // Receives the capture events; called from the engine's threads.
    using EventSink = std::function<void(int event, int value, const std::string& detail)>;

    explicit MediaEngine(EventSink sink);
    // Ends preview and push without events.
    ~MediaEngine();
    MediaEngine(const MediaEngine&) = delete;
    MediaEngine& operator=(const MediaEngine&) = delete;

    // Both return false when it already runs.
    bool startPreview(const MediaSettings& settings);
    void stopPreview();
    // A KelvraMediaSdk::StartPushResult.
    int startPush(const MediaSettings& settings);
    void stopPush();

    bool previewing() const;
    bool pushing() const;

    // What the engine's threads share; defined in the source.
    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace kelvramedia
