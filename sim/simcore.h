#pragma once

#include "sim/cannedreplies.h"
#include "sim/requestlog.h"
#include "sim/simtypes.h"
#include "sim/strictchecker.h"

#include <map>
#include <string>
#include <utility>

namespace fenwixsim {

// The request pipeline shared by every face: record, check, canned reply or fault, then the
// face's own handler. Admin and console paths skip the first three steps.
class SimCore {
public:
    explicit SimCore(bool strict) : strict_(strict) {}

    // method "*" matches any method; exact paths only.
    void route(const std::string& method, const std::string& path, SimHandler handler);

    // Turns the raw parts of a request into a SimRequest and answers it.
    SimReply handle(SimRequest request);

    RequestLog& requests() { return requests_; }
    CannedReplies& replies() { return replies_; }
    StrictChecker& strict() { return strict_; }

    static bool isControlPath(const std::string& path);

private:
    SimReply dispatch(const SimRequest& request) const;

    std::map<std::pair<std::string, std::string>, SimHandler> routes_;
    RequestLog requests_;
    CannedReplies replies_;
    StrictChecker strict_;
};

// The envelope every business and push reply uses.
std::string envelope(bool success, const Json::Value& payload, const std::string& message);

}  // namespace fenwixsim
