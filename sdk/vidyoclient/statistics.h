// The statistics records the library answers with, worked out from what it is doing: whether it
// is in a room and sending, what the portal says the others send, and how fast the renderer
// actually draws the participant on screen.
#pragma once

#include "sdk/vidyoclient/participant.h"
#include "sdk/vidyoclient/vidyoclient.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vidyoclient {

// Frames per second from a running frame counter, sampled whenever statistics are asked for.
// The rate is that of the frames drawn since the previous sample at least half a second ago; a
// counter that went back (the renderer restarted) starts over.
class FrameRateMeter {
public:
    std::uint32_t sample(std::uint64_t frames, long long nowMs);

private:
    std::uint64_t lastFrames_ = 0;
    long long lastMs_ = 0;
    std::uint32_t rate_ = 0;
};

struct StatisticsState {
    bool inRoom = false;
    bool sendingVideo = false;
    bool sendingAudio = false;
    std::string ownUri;
    std::string pinned;           // uri of the participant drawn on screen; empty when none
    std::uint32_t drawnRate = 0;  // frames per second the renderer draws; 0 when not drawing
};

VidyoClientBandwidthInfo bandwidthInfo(const StatisticsState& state,
                                       const std::vector<Participant>& participants);
VidyoClientLocalVideoInfo localVideoInfo(const StatisticsState& state);
VidyoClientFrameRateInfo frameRateInfo(const StatisticsState& state);

// The participant's rates as this library shows them: decoded as the portal reports, displayed
// as fast as the renderer draws the pinned participant (never more than decoded), and nothing
// displayed for a participant that is not on screen.
Participant shownRates(const StatisticsState& state, Participant participant);

}  // namespace vidyoclient
