#pragma once

#include "sim/businessstate.h"
#include "sim/simcore.h"

#include <string>
#include <vector>

namespace fenwixsim {

// The business API under /api/business/: one handler per path, replies in the envelope, each
// payload built in and replaceable per device or for all through the admin API.
class BusinessFace {
public:
    explicit BusinessFace(BusinessState& state) : state_(state) {}

    void install(SimCore& core);

    // Every business path; `name` is its last segment, accepted by the admin API as a short form.
    static const std::vector<std::string>& paths();
    // Full path for a full path or a short name; empty when neither.
    static std::string resolvePath(const std::string& pathOrName);

    // The payload this face would send for that path and device before any override.
    Json::Value builtInPayload(const std::string& path, const std::string& deviceKey);

private:
    SimReply answer(const std::string& path, const std::string& deviceKey,
                    const Json::Value& builtIn);
    SimReply onRegister(const SimRequest& request);
    SimReply onEnterRoom(const SimRequest& request);
    SimReply onReportMsg(const SimRequest& request);
    SimReply onOptionAudio(const SimRequest& request);
    SimReply onUpdateVersion(const SimRequest& request);
    SimReply onConferenceInfo(const SimRequest& request);
    SimReply onLogsInfo(const SimRequest& request);
    SimReply onDestroy(const SimRequest& request);
    SimReply onPing(const SimRequest& request);
    SimReply onStartLive(const SimRequest& request);
    SimReply onStopLive(const SimRequest& request);

    BusinessState& state_;
};

// The form as a JSON object (later duplicates win), for showing a report.
Json::Value formToObject(const Form& form);

}  // namespace fenwixsim
