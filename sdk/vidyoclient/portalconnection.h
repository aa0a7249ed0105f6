// One JSON call to the conference portal over HTTP, with bounded time and a way out when the
// library stops. Never throws.
#pragma once

#include <json/json.h>

#include <atomic>
#include <string>

namespace vidyoclient {

struct PortalReply {
    enum class Outcome { Ok, Unreachable, Timeout, BadReply, Cancelled } outcome = Outcome::Ok;
    int status = 0;
    Json::Value body;    // a JSON object when outcome is Ok
    std::string detail;  // for the log
};

class PortalConnection {
public:
    // Base address as the terminal gives it ("http://host:port"); a missing scheme means http.
    static std::string baseUrl(const std::string& portal);

    // POST with a JSON body (or GET when body is null). timeoutMs bounds the whole call.
    static PortalReply call(const std::string& url, const Json::Value& body, long timeoutMs,
                            const std::atomic<bool>& cancel);

    // The answer of a call that got through: Ok with the body when it is a JSON object.
    static PortalReply readReply(long status, const std::string& received);
};

// Compact JSON text.
std::string jsonText(const Json::Value& value);

}  // namespace vidyoclient
