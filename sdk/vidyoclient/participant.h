// One participant of the room as the portal reports it, with the receive rates it measured.
#pragma once

#include <cstdint>
#include <string>

namespace vidyoclient {

struct Participant {
    std::string uri;
    std::string name;  // UTF-8
    std::string participantId;
    std::int32_t width = 0, height = 0, videoKbps = 0, audioKbps = 0;
    std::int32_t frameRate = 0, decodedFrameRate = 0, displayedFrameRate = 0;
};

}  // namespace vidyoclient
