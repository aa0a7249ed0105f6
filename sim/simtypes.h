#pragma once

#include "sim/formcodec.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace fenwixsim {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// One request as the faces see it: the raw bytes plus the decoded form. For a POST the form
// comes from the body (one trailing zero byte stripped), for any other method from the query.
struct SimRequest {
    long long seq = 0;
    std::string method;
    std::string version;  // e.g. "HTTP/1.1"
    std::string path;
    std::string query;  // raw, without '?'
    HeaderList headers;
    std::string body;  // raw bytes as received
    Form form;
    Form queryForm;
    // Steady-clock microseconds (the system-wide monotonic clock, so other processes on the
    // machine can compare): when the request arrived and when its reply was ready (0: not yet).
    long long arrivedUs = 0;
    long long repliedUs = 0;

    std::string header(const std::string& name) const;
};

struct SimReply {
    int status = 200;
    std::string body;
    std::string contentType = "application/json; charset=utf-8";
    HeaderList headers;
    bool closeWithoutReply = false;
};

using SimHandler = std::function<SimReply(const SimRequest&)>;

SimReply jsonReply(const std::string& jsonText, int status = 200);
SimReply textReply(const std::string& text, int status,
                   const std::string& contentType = "text/plain; charset=utf-8");

}  // namespace fenwixsim
