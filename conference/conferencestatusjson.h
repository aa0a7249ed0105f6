// The conference state document the backend receives in its periodic report: the statistics
// record plus the terminal's identity and conference values.
#pragma once

#include <string>

#include "conference/conferencestatusbean.h"

// The values beside the statistics record that go into the document.
struct ConferenceStatusContext {
    int d3dWidth = 0;
    int d3dHeight = 0;
    std::string roomKey;    // of the session's current user
    std::string portal;     // 8-bit text
    std::string route;      // 8-bit text
    std::string deviceKey;  // 8-bit text
    std::string participantId;
    bool isGuest = false;
    std::string fixTargetUri;  // address of the participant the screen is fixed on; may be empty
};

// One compact JSON line (sorted keys, UTF-8 kept as delivered, a line feed at the end).
// `participantRateArray` holds the rate entries whose uri is the screen-fix target, in list order;
// it is an empty array, never null, when none matches.
std::string buildConferenceStatusJson(const ConferenceStatusBean& status,
                                      const ConferenceStatusContext& context);
