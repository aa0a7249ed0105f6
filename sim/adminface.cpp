#include "sim/adminface.h"

#include "sim/adminreply.h"
#include "sim/jsonutil.h"

namespace fenwixsim {

namespace {
bool bodyJson(const SimRequest& request, Json::Value& out) {
    return parseJson(stripOneTrailingNul(request.body), out) && out.isObject();
}

std::string queryValue(const SimRequest& request, const char* name) {
    return formValueOr(request.queryForm, name, "");
}

const char kNotObject[] = "the body must be a JSON object";
}  // namespace

void AdminFace::install(SimCore& core) {
    auto bind = [this](SimReply (AdminFace::*member)(const SimRequest&)) {
        return [this, member](const SimRequest& r) { return (this->*member)(r); };
    };
    core.route("GET", "/admin", [this](const SimRequest&) { return textReply(helpText_, 200); });
    core.route("GET", "/admin/help",
               [this](const SimRequest&) { return textReply(helpText_, 200); });

    core.route("POST", "/admin/replies", bind(&AdminFace::setReply));
    core.route("GET", "/admin/replies",
               [this](const SimRequest&) { return ok(core_.replies().toJson()); });
    core.route("DELETE", "/admin/replies", [this](const SimRequest&) {
        core_.replies().clear();
        return ok();
    });

    core.route("GET", "/admin/requests", [this](const SimRequest& r) {
        return jsonReply(writeJson(core_.requests().toJson(queryValue(r, "path"))));
    });
    core.route("DELETE", "/admin/requests", [this](const SimRequest&) {
        core_.requests().clear();
        return ok();
    });

    core.route("POST", "/admin/down", bind(&AdminFace::down));

    core.route("POST", "/admin/push", bind(&AdminFace::queuePush));
    core.route("GET", "/admin/push", [this](const SimRequest&) { return ok(push_.toJson()); });
    core.route("DELETE", "/admin/push", [this](const SimRequest&) {
        push_.clearQueues();
        return ok();
    });
    core.route("POST", "/admin/push/expire", bind(&AdminFace::expirePush));

    core.route("POST", "/admin/business", bind(&AdminFace::setBusiness));
    core.route("GET", "/admin/business", bind(&AdminFace::getBusiness));
    core.route("DELETE", "/admin/business", [this](const SimRequest& r) {
        const std::string path = queryValue(r, "path");
        const std::string resolved = path.empty() ? path : BusinessFace::resolvePath(path);
        if (!path.empty() && resolved.empty()) {
            return fail("unknown business path " + path);
        }
        business_.clearOverrides(resolved, queryValue(r, "deviceKey"));
        return ok();
    });

    core.route("GET", "/admin/devices",
               [this](const SimRequest&) { return ok(business_.devicesJson()); });
    core.route("GET", "/admin/device", bind(&AdminFace::getDevice));
    core.route("GET", "/admin/report", bind(&AdminFace::getReport));

    core.route("GET", "/admin/strict",
               [this](const SimRequest&) { return ok(core_.strict().toJson()); });
    core.route("POST", "/admin/strict", bind(&AdminFace::setStrict));
    core.route("DELETE", "/admin/strict", [this](const SimRequest&) {
        core_.strict().clear();
        return ok();
    });

    core.routePrefix("*", "/admin/", [](const SimRequest& r) {
        return fail("no admin call " + r.method + " " + r.path + " (see /admin/help)", 404);
    });

    core.route("GET", "/admin/settings", bind(&AdminFace::settings));
    core.route("POST", "/admin/settings", bind(&AdminFace::settings));
    core.route("POST", "/admin/reset", bind(&AdminFace::reset));
}

SimReply AdminFace::setReply(const SimRequest& request) {
    Json::Value json;
    if (!bodyJson(request, json)) {
        return fail(kNotObject);
    }
    std::string path;
    CannedReply reply;
    std::string error;
    if (!CannedReplies::fromJson(json, path, reply, error)) {
        return fail(error);
    }
    core_.replies().set(path, reply);
    Json::Value out;
    out["path"] = path;
    out["bodyLength"] = static_cast<Json::UInt64>(reply.body.size());
    return ok(out);
}

SimReply AdminFace::down(const SimRequest& request) {
    Json::Value json;
    if (!bodyJson(request, json) || !json["ms"].isInt() || json["ms"].asInt() < 0) {
        return fail("expected {\"ms\": milliseconds}");
    }
    // The listener closes before this reply goes out on the already open connection, so a
    // caller that got the reply knows new connections are refused.
    listener_.goDown(json["ms"].asInt());
    Json::Value out;
    out["ms"] = json["ms"];
    return ok(out);
}

SimReply AdminFace::queuePush(const SimRequest& request) {
    Json::Value json;
    if (!bodyJson(request, json)) {
        return fail(kNotObject);
    }
    std::string userId = json["userId"].isString() ? json["userId"].asString() : "";
    if (userId.empty() && json["deviceKey"].isString()) {
        userId = business_.pushKeyForDevice(json["deviceKey"].asString());
        if (userId.empty()) {
            return fail("no registration with a push key for device " +
                        json["deviceKey"].asString());
        }
    }
    if (userId.empty()) {
        return fail("userId or deviceKey required");
    }
    Json::Value payload;
    if (json.isMember("payload")) {
        payload = json["payload"];
    } else if (json["type"].isString()) {
        payload["type"] = json["type"];
        if (json.isMember("data")) {
            payload["data"] = json["data"];
        }
        // A log-in without a portal goes to the conference portal of this sim.
        if (json["type"].asString() == "vLogin" &&
            (payload["data"].isNull() || payload["data"].isObject()) &&
            !payload["data"].isMember("portal")) {
            payload["data"]["portal"] = "http://127.0.0.1:" + std::to_string(listener_.port());
        }
    } else {
        return fail("type (text) or payload required");
    }
    push_.queue(userId, payload);
    Json::Value out;
    out["userId"] = userId;
    out["pending"] = static_cast<Json::UInt64>(push_.pending(userId));
    return ok(out);
}

SimReply AdminFace::expirePush(const SimRequest& request) {
    Json::Value json;
    if (!request.body.empty() && !bodyJson(request, json)) {
        return fail(kNotObject);
    }
    std::string userId = json["userId"].isString() ? json["userId"].asString() : "";
    if (userId.empty() && json["deviceKey"].isString()) {
        userId = business_.pushKeyForDevice(json["deviceKey"].asString());
        if (userId.empty()) {
            return fail("unknown device " + json["deviceKey"].asString());
        }
    }
    push_.revokeTokens(userId);
    return ok();
}

SimReply AdminFace::setBusiness(const SimRequest& request) {
    Json::Value json;
    if (!bodyJson(request, json)) {
        return fail(kNotObject);
    }
    const std::string path =
        json["path"].isString() ? BusinessFace::resolvePath(json["path"].asString()) : "";
    if (path.empty()) {
        return fail("path must name a business path, e.g. register or /api/business/app/register");
    }
    ReplyOverride o;
    if (json.isMember("success") && !json["success"].isBool()) {
        return fail("success must be a boolean");
    }
    o.success = !json.isMember("success") || json["success"].asBool();
    o.message = json["message"].isString() ? json["message"].asString() : "";
    o.hasPayload = json.isMember("payload");
    o.payload = json["payload"];
    o.merge = json["merge"].isBool() && json["merge"].asBool();
    const std::string device = json["deviceKey"].isString() ? json["deviceKey"].asString() : "";
    business_.setOverride(path, device, o);
    Json::Value out;
    out["path"] = path;
    out["deviceKey"] = device;
    return ok(out);
}

SimReply AdminFace::getBusiness(const SimRequest& request) {
    const std::string device = queryValue(request, "deviceKey");
    Json::Value out = business_.overridesJson();
    Json::Value effective(Json::objectValue);
    for (const auto& path : BusinessFace::paths()) {
        bool success = true;
        Json::Value payload;
        std::string message;
        business_.resolve(path, device, businessFace_.builtInPayload(path, device), success,
                          payload, message);
        Json::Value e;
        e["success"] = success;
        e["payload"] = payload;
        e["message"] = message;
        effective[path] = e;
    }
    out["deviceKey"] = device;
    out["effective"] = effective;
    return ok(out);
}

SimReply AdminFace::getDevice(const SimRequest& request) {
    const std::string device = queryValue(request, "deviceKey");
    Json::Value record = business_.deviceJson(device);
    if (record.isNull()) {
        return fail("unknown device " + device, 404);
    }
    Json::Value out;
    out["device"] = record;
    return ok(out);
}

SimReply AdminFace::getReport(const SimRequest& request) {
    const std::string device = queryValue(request, "deviceKey");
    Json::Value record = business_.deviceJson(device);
    if (record.isNull() || record["reports"].asInt64() == 0) {
        return fail("no unified report from " + device, 404);
    }
    Json::Value out;
    out["deviceKey"] = device;
    out["report"] = record["lastReport"];
    out["at"] = record["lastReportAt"];
    out["count"] = record["reports"];
    return ok(out);
}

SimReply AdminFace::setStrict(const SimRequest& request) {
    Json::Value json;
    if (!bodyJson(request, json) || !json["enabled"].isBool()) {
        return fail("expected {\"enabled\": true|false}");
    }
    core_.strict().setEnabled(json["enabled"].asBool());
    return ok(core_.strict().toJson());
}

SimReply AdminFace::settings(const SimRequest& request) {
    if (request.method == "POST") {
        Json::Value json;
        if (!bodyJson(request, json)) {
            return fail(kNotObject);
        }
        if (json.isMember("holdMs")) {
            if (!json["holdMs"].isInt() || json["holdMs"].asInt() < 0) {
                return fail("holdMs must be a whole number of milliseconds");
            }
            push_.setHoldMs(json["holdMs"].asInt());
        }
        if (json.isMember("strict")) {
            if (!json["strict"].isBool()) {
                return fail("strict must be a boolean");
            }
            core_.strict().setEnabled(json["strict"].asBool());
        }
    }
    Json::Value out;
    out["port"] = listener_.port();
    out["holdMs"] = push_.holdMs();
    out["strict"] = core_.strict().enabled();
    return ok(out);
}

SimReply AdminFace::reset(const SimRequest& /*request*/) {
    core_.replies().clear();
    core_.requests().clear();
    core_.strict().clear();
    business_.reset();
    push_.reset();
    if (extraReset_) {
        extraReset_();
    }
    return ok();
}

}  // namespace fenwixsim
