#pragma once

#include "sim/businessface.h"
#include "sim/businessstate.h"
#include "sim/listener.h"
#include "sim/pushchannel.h"
#include "sim/simcore.h"

#include <functional>
#include <string>

namespace fenwixsim {

// JSON over HTTP under /admin/: canned replies and faults, recorded requests, down periods,
// push commands, business replies, devices and their reports, strict deviations, reset.
class AdminFace {
public:
    AdminFace(SimCore& core, Listener& listener, BusinessState& business,
              BusinessFace& businessFace, PushChannel& push, std::string helpText)
        : core_(core),
          listener_(listener),
          business_(business),
          businessFace_(businessFace),
          push_(push),
          helpText_(std::move(helpText)) {}

    void install(SimCore& core);
    // Runs on POST /admin/reset too (faces installed beside this one).
    void setExtraReset(std::function<void()> reset) { extraReset_ = std::move(reset); }

private:
    SimReply setReply(const SimRequest& request);
    SimReply down(const SimRequest& request);
    SimReply queuePush(const SimRequest& request);
    SimReply expirePush(const SimRequest& request);
    SimReply setBusiness(const SimRequest& request);
    SimReply getBusiness(const SimRequest& request);
    SimReply getDevice(const SimRequest& request);
    SimReply getReport(const SimRequest& request);
    SimReply setStrict(const SimRequest& request);
    SimReply settings(const SimRequest& request);
    SimReply reset(const SimRequest& request);

    SimCore& core_;
    Listener& listener_;
    BusinessState& business_;
    BusinessFace& businessFace_;
    PushChannel& push_;
    std::string helpText_;
    std::function<void()> extraReset_;
};

}  // namespace fenwixsim
