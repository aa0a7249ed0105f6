#pragma once

#include "sim/pushchannel.h"
#include "sim/simcore.h"

#include <functional>

namespace fenwixsim {

// The push-poll service: token registration and the long-polled data request.
class PushFace {
public:
    static constexpr const char* kAppKey = "C7a2e49d0b15c46f3a8e92d5b01c7f6e4";
    static constexpr const char* kAppSecret = "C5d8b13f06e2a4c97b1f3e8a20d6c5b91";

    PushFace(PushChannel& channel, std::function<bool()> isDown)
        : channel_(channel), isDown_(std::move(isDown)) {}

    void install(SimCore& core);

private:
    SimReply onRegister(const SimRequest& request);
    SimReply onGetData(const SimRequest& request);

    PushChannel& channel_;
    std::function<bool()> isDown_;
};

}  // namespace fenwixsim
