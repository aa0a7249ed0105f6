#include "sim/portalface.h"

#include "sim/adminreply.h"
#include "sim/businessface.h"
#include "sim/jsonutil.h"

#include <algorithm>
#include <cstdlib>

namespace fenwixsim {

namespace {
bool bodyObject(const SimRequest& request, Json::Value& out) {
    if (stripOneTrailingNul(request.body).empty()) {
        out = Json::Value(Json::objectValue);
        return true;
    }
    return parseJson(stripOneTrailingNul(request.body), out) && out.isObject();
}

using EventCall = bool (PortalState::*)(const Json::Value&, int&, std::string&);
using SetCall = bool (PortalState::*)(const Json::Value&, std::string&);
}  // namespace

SimReply PortalFace::answer(const PortalAnswer& a) {
    switch (a.kind) {
        case PortalAnswer::Kind::Hang:
            state_.hang(kMaxHangMs);
            return fail("held request released", 503);
        case PortalAnswer::Kind::BadJson:
            return textReply("{\"ok\": tru", 200, "application/json; charset=utf-8");
        case PortalAnswer::Kind::Json:
            break;
    }
    return jsonReply(writeJson(a.body), a.status);
}

SimReply PortalFace::portalCall(const SimRequest& request,
                                PortalAnswer (PortalState::*call)(const Json::Value&)) {
    Json::Value body;
    if (!bodyObject(request, body)) {
        return fail("the body must be a JSON object");
    }
    return answer((state_.*call)(body));
}

SimReply PortalFace::events(const SimRequest& request) {
    const std::string session = formValueOr(request.queryForm, "session", "");
    const long asked =
        std::strtol(formValueOr(request.queryForm, "waitMs", "0").c_str(), nullptr, 10);
    const int wait = static_cast<int>(std::clamp<long>(asked, 0, kMaxEventWaitMs));
    return answer(state_.events(session, wait));
}

SimReply PortalFace::planRoom(const SimRequest& request) {
    Json::Value spec;
    if (!bodyObject(request, spec)) {
        return fail("the body must be a JSON object");
    }
    const auto textOr = [&spec](const char* key, const std::string& fallback) {
        return spec[key].isString() ? spec[key].asString() : fallback;
    };
    Json::Value data;
    data["roomId"] = textOr("roomId", "1001");
    data["portal"] = textOr("portal", ownAddress_());
    data["username"] = textOr("username", "student01");
    data["password"] = textOr("password", "123456");
    data["roomKey"] = textOr("roomKey", "room1001");
    data["displayName"] = textOr("displayName", "一号教室");
    data["gDisplayName"] = textOr("gDisplayName", "一号教室(访客)");
    data["logintype"] = spec["guest"].isBool() && spec["guest"].asBool() ? 2 : 1;
    ReplyOverride o;
    o.hasPayload = true;
    o.payload["valid"] = true;
    o.payload["data"] = data;
    business_.setOverride(BusinessFace::resolvePath("enterRoom"), textOr("deviceKey", ""), o);
    Json::Value out;
    out["payload"] = o.payload;
    return ok(out);
}

void PortalFace::install(SimCore& core) {
    const std::pair<const char*, PortalAnswer (PortalState::*)(const Json::Value&)> calls[] = {
        {"/portal/login", &PortalState::login},
        {"/portal/link", &PortalState::link},
        {"/portal/leave", &PortalState::leave},
        {"/portal/logout", &PortalState::logout},
        {"/portal/pin", &PortalState::pin}};
    for (const auto& [path, call] : calls) {
        core.route("POST", path,
                   [this, call = call](const SimRequest& r) { return portalCall(r, call); });
    }
    core.route("GET", "/portal/events", [this](const SimRequest& r) { return events(r); });

    core.route("GET", "/admin/portal", [this](const SimRequest&) {
        Json::Value out;
        out["portal"] = state_.toJson();
        out["address"] = ownAddress_();
        return ok(out);
    });
    core.route("DELETE", "/admin/portal", [this](const SimRequest&) {
        state_.reset();
        return ok();
    });
    core.route("POST", "/admin/portal/planroom",
               [this](const SimRequest& r) { return planRoom(r); });

    const std::pair<const char*, SetCall> sets[] = {
        {"/admin/portal/accounts", &PortalState::setAccount},
        {"/admin/portal/rooms", &PortalState::setRoom},
        {"/admin/portal/faults", &PortalState::setFaults},
        {"/admin/portal/rates", &PortalState::setRates},
        {"/admin/portal/participants", &PortalState::addParticipant}};
    for (const auto& [path, call] : sets) {
        core.route("POST", path, [this, call = call](const SimRequest& r) {
            Json::Value spec;
            std::string error;
            if (!bodyObject(r, spec)) {
                return fail("the body must be a JSON object");
            }
            return (state_.*call)(spec, error) ? ok() : fail(error);
        });
    }
    core.route("DELETE", "/admin/portal/participants", [this](const SimRequest& r) {
        Json::Value spec;
        spec["roomKey"] = formValueOr(r.queryForm, "roomKey", "");
        spec["uri"] = formValueOr(r.queryForm, "uri", "");
        std::string error;
        return state_.removeParticipant(spec, error) ? ok() : fail(error);
    });

    const std::pair<const char*, EventCall> sends[] = {
        {"/admin/portal/chat", &PortalState::chat},
        {"/admin/portal/curtain", &PortalState::curtain},
        {"/admin/portal/source-removed", &PortalState::sourceRemoved},
        {"/admin/portal/drop", &PortalState::dropCall},
        {"/admin/portal/mute", &PortalState::serverMute},
        {"/admin/portal/notice", &PortalState::notice}};
    for (const auto& [path, call] : sends) {
        core.route("POST", path, [this, call = call](const SimRequest& r) {
            Json::Value spec;
            std::string error;
            int delivered = 0;
            if (!bodyObject(r, spec)) {
                return fail("the body must be a JSON object");
            }
            if (!(state_.*call)(spec, delivered, error)) {
                return fail(error);
            }
            Json::Value out;
            out["delivered"] = delivered;
            return ok(out);
        });
    }
}

}  // namespace fenwixsim
