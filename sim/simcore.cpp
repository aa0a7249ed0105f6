#include "sim/simcore.h"

#include "sim/jsonutil.h"

#include <chrono>

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

void SimCore::routePrefix(const std::string& method, const std::string& prefix,
                          SimHandler handler) {
    prefixRoutes_[{method, prefix}] = std::move(handler);
}

const SimHandler* SimCore::findPrefix(const std::string& method, const std::string& path) const {
    const SimHandler* best = nullptr;
    size_t bestLength = 0;
    for (const auto& [key, handler] : prefixRoutes_) {
        const bool methodMatches = key.first == "*" || key.first == method;
        if (methodMatches && path.compare(0, key.second.size(), key.second) == 0 &&
            (best == nullptr || key.second.size() > bestLength)) {
            best = &handler;
            bestLength = key.second.size();
        }
    }
    return best;
}

SimReply SimCore::dispatch(const SimRequest& request) const {
    // HEAD is answered like GET (the HTTP library drops the body).
    const std::string method = request.method == "HEAD" ? "GET" : request.method;
    auto it = routes_.find({method, request.path});
    if (it == routes_.end()) {
        it = routes_.find({"*", request.path});
    }
    if (it != routes_.end()) {
        return it->second(request);
    }
    if (const SimHandler* handler = findPrefix(method, request.path)) {
        return (*handler)(request);
    }
    return jsonReply(envelope(false, Json::Value(), "unknown path " + request.path), 404);
}

void SimCore::delay(int ms) {
    if (ms <= 0) {
        return;
    }
    std::unique_lock<std::mutex> lock(delayMutex_);
    delayWake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return delaysInterrupted_; });
}

void SimCore::interruptDelays() {
    {
        std::lock_guard<std::mutex> lock(delayMutex_);
        delaysInterrupted_ = true;
    }
    delayWake_.notify_all();
}

namespace {
long long steadyMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

SimReply SimCore::handle(SimRequest request) {
    request.arrivedUs = steadyMicros();
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
        delay(canned->delayMs);
        if (!canned->passThrough) {
            SimReply reply;
            reply.status = canned->status;
            reply.body = canned->body;
            reply.contentType = canned->contentType;
            reply.headers = canned->headers;
            reply.closeWithoutReply = canned->closeConnection;
            requests_.markReplied(request.seq, steadyMicros());
            return reply;
        }
    }
    SimReply reply = dispatch(request);
    requests_.markReplied(request.seq, steadyMicros());
    return reply;
}

}  // namespace fenwixsim
