#include "sim/businessface.h"

#include "sim/jsonutil.h"

#include <cstdlib>

namespace fenwixsim {

namespace {
constexpr Json::ArrayIndex kEventsKept = 50;

const char kRegister[] = "/api/business/app/register";
const char kEnterRoom[] = "/api/business/desktop/enterRoom";
const char kReportMsg[] = "/api/business/app/reportMsg";
const char kOptionAudio[] = "/api/business/desktop/optionAudio";
const char kUpdateVersion[] = "/api/business/app/updateVersion";
const char kConferenceInfo[] = "/api/business/app/reportConferenceInfo";
const char kLogsInfo[] = "/api/business/app/reportLogsInfo";
const char kDestroy[] = "/api/business/app/destroy";
const char kPing[] = "/api/business/desktop/ping";
const char kStartLive[] = "/api/business/desktop/startConferenceLive";
const char kStopLive[] = "/api/business/desktop/stopConferenceLive";

// Device key as either spelling of the form carries it.
std::string deviceKeyOf(const SimRequest& request) {
    if (auto v = formValue(request.form, "deviceKey")) {
        return *v;
    }
    return formValueOr(request.form, "devicekey", "");
}

Json::Value defaultSetting() {
    Json::Value s;
    s["video"] = 1;
    s["audioin"] = 1;
    s["audioout"] = 1;
    s["videomute"] = false;
    s["audioinmute"] = false;
    s["audiooutmute"] = false;
    s["checkaudioindriver"] = false;
    s["checkaudiooutdriver"] = false;
    s["checkaudioindrivernames"] = Json::Value(Json::arrayValue);
    s["checkaudiooutdrivernames"] = Json::Value(Json::arrayValue);
    s["previewopen"] = false;
    s["maxmicvolume"] = 1310;
    s["defmicvolume"] = 655;
    s["ispull"] = 1;
    return s;
}

// Sanitised first: the admin API writes texts as raw UTF-8, so no broken bytes may get in.
Json::Value parsedOrText(const std::string& text) {
    const std::string clean = sanitizeUtf8(text);
    Json::Value parsed;
    if (parseJson(clean, parsed)) {
        return parsed;
    }
    return Json::Value(clean);
}
}  // namespace

Json::Value formToObject(const Form& form) {
    Json::Value out(Json::objectValue);
    for (const auto& field : form) {
        out[sanitizeUtf8(field.name)] = sanitizeUtf8(field.value);
    }
    return out;
}

const std::vector<std::string>& BusinessFace::paths() {
    static const std::vector<std::string> all = {
        kRegister, kEnterRoom, kReportMsg, kOptionAudio, kUpdateVersion, kConferenceInfo,
        kLogsInfo, kDestroy,   kPing,      kStartLive,   kStopLive};
    return all;
}

std::string BusinessFace::resolvePath(const std::string& pathOrName) {
    for (const auto& path : paths()) {
        if (path == pathOrName || path.substr(path.rfind('/') + 1) == pathOrName) {
            return path;
        }
    }
    return std::string();
}

void BusinessFace::install(SimCore& core) {
    const std::pair<const char*, SimReply (BusinessFace::*)(const SimRequest&)> table[] = {
        {kRegister, &BusinessFace::onRegister},
        {kEnterRoom, &BusinessFace::onEnterRoom},
        {kReportMsg, &BusinessFace::onReportMsg},
        {kOptionAudio, &BusinessFace::onOptionAudio},
        {kUpdateVersion, &BusinessFace::onUpdateVersion},
        {kConferenceInfo, &BusinessFace::onConferenceInfo},
        {kLogsInfo, &BusinessFace::onLogsInfo},
        {kDestroy, &BusinessFace::onDestroy},
        {kPing, &BusinessFace::onPing},
        {kStartLive, &BusinessFace::onStartLive},
        {kStopLive, &BusinessFace::onStopLive},
    };
    for (const auto& [path, member] : table) {
        core.route("*", path,
                   [this, member = member](const SimRequest& r) { return (this->*member)(r); });
    }
}

Json::Value BusinessFace::builtInPayload(const std::string& path, const std::string& deviceKey) {
    Json::Value p;
    if (path == kRegister) {
        const Json::Value device = state_.deviceJson(deviceKey);
        p["applicationId"] = device.isNull() ? Json::Value("") : device["applicationId"];
        p["logoUrl"] = "";
        p["uniqueno"] = "";
        p["setting"] = defaultSetting();
    } else if (path == kEnterRoom) {
        p["valid"] = false;
        p["data"]["errorstring"] = "当前没有计划课程";
    } else if (path == kUpdateVersion) {
        p["isupdate"] = false;
        p["installUrl"] = "";
    } else if (path == kReportMsg || path == kOptionAudio) {
        p["conferenceLogs"] = true;
    } else if (path == kStartLive) {
        p["url"] = "rtmp://127.0.0.1:1935/live/" + deviceKey;
        p["liveStatus"] = 1;
        p["liveId"] = 0;  // filled with a fresh id when a start request is answered
        p["streamId"] = deviceKey;
        p["data"] = "";
    }
    return p;
}

SimReply BusinessFace::answer(const std::string& path, const std::string& deviceKey,
                              const Json::Value& builtIn) {
    bool success = true;
    Json::Value payload;
    std::string message;
    state_.resolve(path, deviceKey, builtIn, success, payload, message);
    return jsonReply(envelope(success, payload, message));
}

SimReply BusinessFace::onRegister(const SimRequest& request) {
    const std::string key = formValueOr(request.form, "devicekey", "");
    const std::string freshId = state_.nextApplicationId();
    state_.withDevice(key, [&](DeviceRecord& r) {
        if (r.applicationId.empty()) {
            r.applicationId = freshId;
        }
        r.uniqueNo = formValueOr(request.form, "uniqueno", "");
        r.pushKey = formValueOr(request.form, "pushkey", "");
        r.registration = formToObject(request.form);
        ++r.registrations;
        r.exited = false;
        return 0;
    });
    return answer(kRegister, key, builtInPayload(kRegister, key));
}

SimReply BusinessFace::onEnterRoom(const SimRequest& request) {
    const std::string key = deviceKeyOf(request);
    state_.withDevice(key, [](DeviceRecord& r) { return ++r.planRoomRequests; });
    return answer(kEnterRoom, key, builtInPayload(kEnterRoom, key));
}

SimReply BusinessFace::onReportMsg(const SimRequest& request) {
    const std::string key = deviceKeyOf(request);
    state_.withDevice(key, [&](DeviceRecord& r) {
        r.lastReport = formToObject(request.form);
        r.lastReportAt = nowMs();
        return ++r.reports;
    });
    return answer(kReportMsg, key, builtInPayload(kReportMsg, key));
}

SimReply BusinessFace::onOptionAudio(const SimRequest& request) {
    const std::string key = deviceKeyOf(request);
    state_.withDevice(key, [&](DeviceRecord& r) {
        r.lastMicOption = formToObject(request.form);
        return 0;
    });
    return answer(kOptionAudio, key, builtInPayload(kOptionAudio, key));
}

SimReply BusinessFace::onUpdateVersion(const SimRequest& request) {
    // The update check names the machine by its unique number only.
    const std::string unique = formValueOr(request.form, "uniqueno", "");
    const std::string key = unique.empty() ? std::string() : "DSK_" + unique;
    state_.withDevice(key, [](DeviceRecord& r) { return ++r.updateChecks; });
    return answer(kUpdateVersion, key, builtInPayload(kUpdateVersion, key));
}

SimReply BusinessFace::onConferenceInfo(const SimRequest& request) {
    const std::string key = deviceKeyOf(request);
    Json::Value event;
    event["at"] = static_cast<Json::Int64>(nowMs());
    event["str"] = parsedOrText(formValueOr(request.form, "str", ""));
    state_.withDevice(key, [&](DeviceRecord& r) {
        r.events.append(event);
        if (r.events.size() > kEventsKept) {
            Json::Value removed;
            r.events.removeIndex(0, &removed);
        }
        return 0;
    });
    return answer(kConferenceInfo, key, Json::Value());
}

SimReply BusinessFace::onLogsInfo(const SimRequest& request) {
    const std::string key = deviceKeyOf(request);
    state_.withDevice(key, [&](DeviceRecord& r) {
        r.lastLogs = parsedOrText(formValueOr(request.form, "logs", ""));
        r.lastLogsAt = nowMs();
        return 0;
    });
    return answer(kLogsInfo, key, Json::Value());
}

SimReply BusinessFace::onDestroy(const SimRequest& request) {
    const std::string key = deviceKeyOf(request);
    state_.withDevice(key, [](DeviceRecord& r) { return r.exited = true; });
    return answer(kDestroy, key, Json::Value());
}

SimReply BusinessFace::onPing(const SimRequest& /*request*/) {
    // The heartbeat carries no identity; only global replies apply to it.
    return answer(kPing, "", Json::Value());
}

SimReply BusinessFace::onStartLive(const SimRequest& request) {
    const std::string key = deviceKeyOf(request);
    Json::Value builtIn = builtInPayload(kStartLive, key);
    builtIn["liveId"] = state_.nextLiveId();
    bool success = true;
    Json::Value payload;
    std::string message;
    state_.resolve(kStartLive, key, builtIn, success, payload, message);
    state_.withDevice(key, [&](DeviceRecord& r) {
        r.lastLiveStart = formToObject(request.form);
        const bool allowed = success && payload.isObject() && payload["liveStatus"].isInt() &&
                             payload["liveStatus"].asInt() != 0;
        if (success && payload.isObject() && payload["liveId"].isInt()) {
            r.liveId = payload["liveId"].asInt();
        }
        r.liveState = allowed ? "pushing" : "refused";
        if (allowed && payload["url"].isString()) {
            r.liveUrl = payload["url"].asString();
        }
        return ++r.liveStarts;
    });
    return jsonReply(envelope(success, payload, message));
}

SimReply BusinessFace::onStopLive(const SimRequest& request) {
    const std::string key = deviceKeyOf(request);
    state_.withDevice(key, [&](DeviceRecord& r) {
        r.lastLiveStop = formToObject(request.form);
        r.stopLiveIds.append(formValueOr(request.form, "liveId", ""));
        r.liveState = "stopped";
        return ++r.liveStops;
    });
    return answer(kStopLive, key, Json::Value());
}

}  // namespace fenwixsim
