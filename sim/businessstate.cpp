#include "sim/businessstate.h"

#include <chrono>

namespace fenwixsim {

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

Json::Value mergeJson(const Json::Value& base, const Json::Value& patch) {
    if (!base.isObject() || !patch.isObject()) {
        return patch;
    }
    Json::Value out = base;
    for (const auto& name : patch.getMemberNames()) {
        out[name] = mergeJson(base[name], patch[name]);
    }
    return out;
}

Json::Value deviceToJson(const DeviceRecord& r) {
    Json::Value v;
    v["deviceKey"] = r.deviceKey;
    v["uniqueNo"] = r.uniqueNo;
    v["pushKey"] = r.pushKey;
    v["applicationId"] = r.applicationId;
    v["registration"] = r.registration;
    v["registrations"] = static_cast<Json::Int64>(r.registrations);
    v["lastReport"] = r.lastReport;
    v["lastReportAt"] = static_cast<Json::Int64>(r.lastReportAt);
    v["reports"] = static_cast<Json::Int64>(r.reports);
    v["events"] = r.events;
    v["lastLogs"] = r.lastLogs;
    v["lastLogsAt"] = static_cast<Json::Int64>(r.lastLogsAt);
    v["lastMicOption"] = r.lastMicOption;
    v["planRoomRequests"] = static_cast<Json::Int64>(r.planRoomRequests);
    v["updateChecks"] = static_cast<Json::Int64>(r.updateChecks);
    v["liveId"] = r.liveId;
    v["liveStarts"] = static_cast<Json::Int64>(r.liveStarts);
    v["liveStops"] = static_cast<Json::Int64>(r.liveStops);
    v["liveState"] = r.liveState;
    v["liveUrl"] = r.liveUrl;
    v["lastLiveStart"] = r.lastLiveStart;
    v["lastLiveStop"] = r.lastLiveStop;
    v["stopLiveIds"] = r.stopLiveIds;
    v["exited"] = r.exited;
    v["lastSeenAt"] = static_cast<Json::Int64>(r.lastSeenAt);
    return v;
}

DeviceRecord& BusinessState::deviceLocked(const std::string& deviceKey) {
    DeviceRecord& record = devices_[deviceKey];
    record.deviceKey = deviceKey;
    record.lastSeenAt = nowMs();
    return record;
}

void BusinessState::resolve(const std::string& path, const std::string& deviceKey,
                            const Json::Value& builtIn, bool& success, Json::Value& payload,
                            std::string& message) const {
    success = true;
    payload = builtIn;
    message.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    auto byPath = overrides_.find(path);
    if (byPath == overrides_.end()) {
        return;
    }
    auto it = byPath->second.find(deviceKey);
    if (it == byPath->second.end()) {
        it = byPath->second.find("");
    }
    if (it == byPath->second.end()) {
        return;
    }
    const ReplyOverride& o = it->second;
    success = o.success;
    message = o.message;
    if (o.hasPayload) {
        payload = o.merge ? mergeJson(builtIn, o.payload) : o.payload;
    }
}

void BusinessState::setOverride(const std::string& path, const std::string& deviceKey,
                                const ReplyOverride& reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    overrides_[path][deviceKey] = reply;
}

void BusinessState::clearOverrides(const std::string& path, const std::string& deviceKey) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = overrides_.begin(); it != overrides_.end();) {
        if (path.empty() || it->first == path) {
            if (deviceKey.empty()) {
                it->second.clear();
            } else {
                it->second.erase(deviceKey);
            }
        }
        it = it->second.empty() ? overrides_.erase(it) : std::next(it);
    }
}

std::string BusinessState::deviceForPushKey(const std::string& pushKey) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [key, record] : devices_) {
        if (record.pushKey == pushKey) {
            return key;
        }
    }
    return std::string();
}

std::string BusinessState::pushKeyForDevice(const std::string& deviceKey) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = devices_.find(deviceKey);
    return it == devices_.end() ? std::string() : it->second.pushKey;
}

std::string BusinessState::nextApplicationId() {
    std::lock_guard<std::mutex> lock(mutex_);
    return "FW" + std::to_string(nextApplication_++);
}

int BusinessState::nextLiveId() {
    std::lock_guard<std::mutex> lock(mutex_);
    return nextLive_++;
}

Json::Value BusinessState::devicesJson() const {
    Json::Value list(Json::arrayValue);
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& entry : devices_) {
        list.append(deviceToJson(entry.second));
    }
    Json::Value out;
    out["devices"] = list;
    return out;
}

Json::Value BusinessState::deviceJson(const std::string& deviceKey) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = devices_.find(deviceKey);
    return it == devices_.end() ? Json::Value() : deviceToJson(it->second);
}

Json::Value BusinessState::overridesJson() const {
    Json::Value list(Json::arrayValue);
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [path, byDevice] : overrides_) {
        for (const auto& [device, o] : byDevice) {
            Json::Value v;
            v["path"] = path;
            v["deviceKey"] = device;
            v["success"] = o.success;
            v["message"] = o.message;
            v["merge"] = o.merge;
            if (o.hasPayload) {
                v["payload"] = o.payload;
            }
            list.append(v);
        }
    }
    Json::Value out;
    out["overrides"] = list;
    return out;
}

void BusinessState::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    devices_.clear();
    overrides_.clear();
}

}  // namespace fenwixsim
