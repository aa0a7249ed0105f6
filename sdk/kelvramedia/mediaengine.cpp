#include "sdk/kelvramedia/mediaengine.h"

#include "sdk/kelvramedia/medialog.h"

#include <mutex>

namespace kelvramedia {

// First cut: the engine records what runs; the media pipelines follow.
struct MediaEngine::State {
    EventSink sink;
    std::mutex mutex;
    bool preview = false;
    bool push = false;
};

MediaEngine::MediaEngine(EventSink sink) : state_(std::make_shared<State>()) {
    state_->sink = std::move(sink);
}

MediaEngine::~MediaEngine() = default;

bool MediaEngine::startPreview(const MediaSettings&) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->preview) {
        return false;
    }
    state_->preview = true;
    logLine("preview: media pipelines not built yet");
    return true;
}

void MediaEngine::stopPreview() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->preview = false;
}

int MediaEngine::startPush(const MediaSettings&) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->push) {
        return KelvraMediaSdk::kPushAlreadyRunning;
    }
    logLine("push: media pipelines not built yet");
    return KelvraMediaSdk::kPushFailed;
}

void MediaEngine::stopPush() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->push = false;
}

bool MediaEngine::previewing() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->preview;
}

bool MediaEngine::pushing() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->push;
}

}  // namespace kelvramedia
