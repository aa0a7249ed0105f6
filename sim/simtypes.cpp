#include "sim/simtypes.h"

#include <strings.h>

namespace fenwixsim {

std::string SimRequest::header(const std::string& name) const {
    for (const auto& h : headers) {
        if (strcasecmp(h.first.c_str(), name.c_str()) == 0) {
            return h.second;
        }
    }
    return std::string();
}

SimReply jsonReply(const std::string& jsonText, int status) {
    SimReply reply;
    reply.status = status;
    reply.body = jsonText;
    return reply;
}

SimReply textReply(const std::string& text, int status, const std::string& contentType) {
    SimReply reply;
    reply.status = status;
    reply.body = text;
    reply.contentType = contentType;
    return reply;
}

}  // namespace fenwixsim
