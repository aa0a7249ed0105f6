#pragma once

#include "sim/cannedreplies.h"
#include "sim/requestlog.h"
#include "sim/simtypes.h"
#include "sim/strictchecker.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace fenwixsim {

// The request pipeline shared by every face: record, check, canned reply or fault, then the
// face's own handler. Admin and console paths skip the first three steps.
class SimCore {
public:
    explicit SimCore(bool strict) : strict_(strict) {}

    // method "*" matches any method. Exact paths win over prefixes; the longest prefix wins.
    // A new face adds its paths here from its install(core).
    void route(const std::string& method, const std::string& path, SimHandler handler);
    void routePrefix(const std::string& method, const std::string& prefix, SimHandler handler);

    // Turns the raw parts of a request into a SimRequest and answers it.
    SimReply handle(SimRequest request);

    RequestLog& requests() { return requests_; }
    CannedReplies& replies() { return replies_; }
    StrictChecker& strict() { return strict_; }

    static bool isControlPath(const std::string& path);

    // Ends every injected delay at once (the sim is shutting down).
    void interruptDelays();

private:
    SimReply dispatch(const SimRequest& request) const;
    void delay(int ms);

    const SimHandler* findPrefix(const std::string& method, const std::string& path) const;

    std::map<std::pair<std::string, std::string>, SimHandler> routes_;
    std::map<std::pair<std::string, std::string>, SimHandler> prefixRoutes_;
    RequestLog requests_;
    CannedReplies replies_;
    StrictChecker strict_;
    std::mutex delayMutex_;
    std::condition_variable delayWake_;
    bool delaysInterrupted_ = false;
};

// The envelope every business and push reply uses.
std::string envelope(bool success, const Json::Value& payload, const std::string& message);

}  // namespace fenwixsim
