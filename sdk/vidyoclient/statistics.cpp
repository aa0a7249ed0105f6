#include "sdk/vidyoclient/statistics.h"

#include <algorithm>

namespace vidyoclient {

namespace {
// The stand-in sends a fixed camera picture and a fixed audio stream while it may send.
constexpr std::uint32_t kOwnVideoKbps = 1024;
constexpr std::uint32_t kOwnAudioKbps = 48;
constexpr std::uint32_t kOwnWidth = 1280;
constexpr std::uint32_t kOwnHeight = 720;
constexpr std::uint32_t kOwnFrameRate = 30;
constexpr std::uint32_t kAvailSendKbps = 4096;
constexpr std::uint32_t kAvailRecvKbps = 8192;
// Shorter windows would turn one frame more or less into a large jump.
constexpr long long kMinSampleMs = 500;

std::uint32_t positive(std::int32_t value) {
    return static_cast<std::uint32_t>(std::max(0, value));
}
}  // namespace

std::uint32_t FrameRateMeter::sample(std::uint64_t frames, long long nowMs) {
    if (frames < lastFrames_ || lastMs_ == 0) {
        lastFrames_ = frames;
        lastMs_ = nowMs;
        rate_ = 0;
        return rate_;
    }
    const long long elapsed = nowMs - lastMs_;
    if (elapsed < kMinSampleMs) {
        return rate_;  // the records of one statistics round are asked for together
    }
    rate_ = static_cast<std::uint32_t>(((frames - lastFrames_) * 1000 + elapsed / 2) / elapsed);
    lastFrames_ = frames;
    lastMs_ = nowMs;
    return rate_;
}

VidyoClientBandwidthInfo bandwidthInfo(const StatisticsState& state,
                                       const std::vector<Participant>& participants) {
    VidyoClientBandwidthInfo info{};
    info.actualSendBwVideo = state.sendingVideo ? kOwnVideoKbps : 0;
    info.actualSendBwAudio = state.sendingAudio ? kOwnAudioKbps : 0;
    info.actualSendBwMax = info.actualSendBwVideo + info.actualSendBwAudio;
    info.availSendBwMax = state.inRoom ? kAvailSendKbps : 0;
    if (state.inRoom) {
        for (const Participant& p : participants) {
            if (p.uri != state.ownUri) {
                info.actualRecvBwVideo += positive(p.videoKbps);
                info.actualRecvBwAudio += positive(p.audioKbps);
            }
        }
    }
    info.actualRecvBwMax = info.actualRecvBwVideo + info.actualRecvBwAudio;
    info.availRecvBwMax = state.inRoom ? std::max(kAvailRecvKbps, info.actualRecvBwMax) : 0;
    return info;
}

VidyoClientLocalVideoInfo localVideoInfo(const StatisticsState& state) {
    VidyoClientLocalVideoInfo info{};
    info.width = state.sendingVideo ? kOwnWidth : 0;
    info.height = state.sendingVideo ? kOwnHeight : 0;
    return info;
}

VidyoClientFrameRateInfo frameRateInfo(const StatisticsState& state) {
    VidyoClientFrameRateInfo info{};
    info.captureFrameRate = state.sendingVideo ? kOwnFrameRate : 0;
    info.sendFrameRate = state.sendingVideo ? kOwnFrameRate : 0;
    return info;
}

Participant shownRates(const StatisticsState& state, Participant participant) {
    const bool onScreen = !state.pinned.empty() && participant.uri == state.pinned;
    participant.displayedFrameRate =
        onScreen ? static_cast<std::int32_t>(
                       std::min(state.drawnRate, positive(participant.decodedFrameRate)))
                 : 0;
    return participant;
}

}  // namespace vidyoclient
