// The conference statistics record: this terminal's load, own video and bandwidths, and the
// receive rates of every participant, as the conference library reports them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Receive statistics of one participant.
struct ConferenceStatusRateBean {
    std::string name;  // UTF-8, as delivered
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t videoKBitsPerSecRecv = 0;
    std::int32_t audioKBitsPerSecRecv = 0;
    std::int32_t videoFrameRate = 0;
    std::int32_t videoDecodedFrameRate = 0;
    std::int32_t videoDisplayedFrameRate = 0;
    std::string uri;  // the participant's conference address
};

struct ConferenceStatusBean {
    std::int32_t cpu = 0;
    std::int32_t videoWidth = 0;
    std::int32_t videoHeight = 0;
    std::int32_t videoCapture = 0;
    std::int32_t videoSend = 0;
    std::int32_t availSendBwMax = 0;
    std::int32_t actualSendBwMax = 0;
    std::int32_t actualSendBwVideo = 0;
    std::int32_t actualSendBwAudio = 0;
    std::int32_t actualSendBwApplication = 0;
    std::int32_t availRecvBwMax = 0;
    std::int32_t actualRecvBwMax = 0;
    std::int32_t actualRecvBwVideo = 0;
    std::int32_t actualRecvBwAudio = 0;
    std::int32_t actualRecvBwApplication = 0;
    std::vector<ConferenceStatusRateBean> rateList;  // in participant-list order
};
