#include "sim/simcore.h"

#include "sim/jsonutil.h"

#include <chrono>
#include <thread>

namespace fenwixsim {

std::string envelope(bool success, const Json::Value& payload, const std::string& message) {
    Json::Value v;
    v["success"] = success;
    v["payload"] = payload;
    v["message"] = message;
    return writeJson(v);
}

bool SimCore::isControlPath(const std::string& path) {
    return path == "/admin" || path.compare(0, 7, "/admin/") == 0 || path == "/console" ||
           path == "/";
}

void SimCore::route(const std::string& method, const std::string& path, SimHandler handler) {
    routes_[{method, path}] = std::move(handler);
}

SimReply SimCore::dispatch(const SimRequest& request) const {
    auto it = routes_.find({request.method, request.path});
    if (it == routes_.end()) {
        it = routes_.find({"*", request.path});
    }
    if (it == routes_.end() && request.method == "HEAD") {
        it = routes_.find({"GET", request.path});
    }
    if (it == routes_.end()) {
        return jsonReply(envelope(false, Json::Value(), "unknown path " + request.path), 404);
    }
    return it->second(request);
}

SimReply SimCore::handle(SimRequest request) {
    request.queryForm = parseForm(request.query);
    if (request.method == "POST") {
        request.form = parseForm(stripOneTrailingNul(request.body));
    } else {
        request.form = request.queryForm;
    }
    if (isControlPath(request.path)) {
        return dispatch(request);
    }
    request.seq = requests_.add(request);
    strict_.check(request);
    if (auto canned = replies_.take(request.path)) {
        if (canned->delayMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(canned->delayMs));
        }
        if (!canned->passThrough) {
            SimReply reply;
            reply.status = canned->status;
            reply.body = canned->body;
            reply.contentType = canned->contentType;
            reply.headers = canned->headers;
            reply.closeWithoutReply = canned->closeConnection;
            return reply;
        }
    }
    return dispatch(request);
}

}  // namespace fenwixsim
