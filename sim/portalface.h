#pragma once

#include "sim/businessstate.h"
#include "sim/portalstate.h"
#include "sim/simcore.h"

#include <functional>
#include <string>

namespace fenwixsim {

// The conference portal the conference client library talks to (JSON over HTTP under
// /portal/), and its admin calls under /admin/portal/: accounts, rooms, the teacher's chat and
// curtain commands, screen-fix answers, source removal, call drops, server mutes, receive
// statistics and fault injection.
class PortalFace {
public:
    // ownAddress gives "http://127.0.0.1:<port>", the portal address the sim hands out.
    PortalFace(PortalState& state, BusinessState& business, std::function<std::string()> ownAddress)
        : state_(state), business_(business), ownAddress_(std::move(ownAddress)) {}

    void install(SimCore& core);

    // Longest time a long poll for events is held, and a "never answering" request.
    static constexpr int kMaxEventWaitMs = 25000;
    static constexpr int kMaxHangMs = 600000;

private:
    SimReply answer(const PortalAnswer& a);
    SimReply portalCall(const SimRequest& request,
                        PortalAnswer (PortalState::*call)(const Json::Value&));
    SimReply events(const SimRequest& request);
    SimReply planRoom(const SimRequest& request);

    PortalState& state_;
    BusinessState& business_;
    std::function<std::string()> ownAddress_;
};

}  // namespace fenwixsim
