#include "sim/pushface.h"

namespace fenwixsim {

void PushFace::install(SimCore& core) {
    core.route("*", "/api/register", [this](const SimRequest& r) { return onRegister(r); });
    core.route("*", "/api/getData", [this](const SimRequest& r) { return onGetData(r); });
}

// The terminal sends its parameters in the query, whatever the method.
SimReply PushFace::onRegister(const SimRequest& request) {
    const std::string appKey = formValueOr(request.queryForm, "appkey", "");
    const std::string appSecret = formValueOr(request.queryForm, "appsecret", "");
    const std::string userId = formValueOr(request.queryForm, "userid", "");
    if (appKey != kAppKey || appSecret != kAppSecret) {
        return jsonReply(envelope(false, Json::Value(), "appkey or appsecret refused"));
    }
    if (userId.empty()) {
        return jsonReply(envelope(false, Json::Value(), "userid missing"));
    }
    Json::Value payload;
    payload["token"] = channel_.issueToken(userId);
    return jsonReply(envelope(true, payload, ""));
}

SimReply PushFace::onGetData(const SimRequest& request) {
    const std::string token = formValueOr(request.queryForm, "token", "");
    const std::string userId = formValueOr(request.queryForm, "userid", "");
    if (!channel_.tokenValid(token, userId)) {
        return jsonReply(envelope(false, Json::Value(), "token invalid"));
    }
    Json::Value message;
    switch (channel_.waitForMessage(userId, message)) {
        case PushChannel::WaitResult::Message:
            return jsonReply(envelope(true, message, ""));
        case PushChannel::WaitResult::Interrupted:
            if (isDown_ && isDown_()) {
                SimReply gone;
                gone.closeWithoutReply = true;
                return gone;
            }
            break;
        case PushChannel::WaitResult::Timeout:
            break;
    }
    return jsonReply(envelope(true, Json::Value(Json::objectValue), ""));
}

}  // namespace fenwixsim
