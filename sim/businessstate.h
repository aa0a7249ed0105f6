#pragma once

#include <json/json.h>

#include <map>
#include <mutex>
#include <string>

namespace fenwixsim {

// What the business face knows about one terminal, keyed by its device key.
struct DeviceRecord {
    std::string deviceKey;
    std::string uniqueNo;
    std::string pushKey;
    std::string applicationId;
    Json::Value registration;  // last registration form, as an object
    long long registrations = 0;
    Json::Value lastReport;  // last unified report form, as an object
    long long lastReportAt = 0;
    long long reports = 0;
    Json::Value events{Json::arrayValue};  // latest dynamic-information events, newest last
    Json::Value lastLogs;                  // latest conference state document
    long long lastLogsAt = 0;
    Json::Value lastMicOption;
    long long planRoomRequests = 0;
    long long updateChecks = 0;
    int liveId = -1;  // of the latest start reply; -1 when none
    long long liveStarts = 0;
    long long liveStops = 0;
    // The live push as the backend sees it: "" none asked for, "refused" (the start reply said no
    // push), "pushing" (a start reply allowed one), "stopped" (a stop request came after it).
    std::string liveState;
    std::string liveUrl;                       // of the latest start reply that allowed a push
    Json::Value lastLiveStart;                 // form of the latest start request
    Json::Value lastLiveStop;                  // form of the latest stop request
    Json::Value stopLiveIds{Json::arrayValue};  // liveId of every stop request, as sent
    bool exited = false;
    long long lastSeenAt = 0;
};

// A reply the admin API set for one business path, for one device or for all.
struct ReplyOverride {
    bool success = true;
    bool hasPayload = false;
    bool merge = false;  // merge objects into the built-in payload instead of replacing it
    Json::Value payload;
    std::string message;
};

// Per-device records and the configured replies, behind one lock.
class BusinessState {
public:
    // Runs fn on the record of that device (created when new) under the lock. A request
    // without a device key gets a scratch record that is not kept.
    template <typename Fn>
    auto withDevice(const std::string& deviceKey, Fn fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (deviceKey.empty()) {
            DeviceRecord scratch;
            return fn(scratch);
        }
        DeviceRecord& record = deviceLocked(deviceKey);
        return fn(record);
    }

    // The envelope parts for `path` and `deviceKey`: the device's override, else the global
    // one, else success with the built-in payload.
    void resolve(const std::string& path, const std::string& deviceKey, const Json::Value& builtIn,
                 bool& success, Json::Value& payload, std::string& message) const;

    void setOverride(const std::string& path, const std::string& deviceKey,
                     const ReplyOverride& reply);
    // Empty path or device key = any.
    void clearOverrides(const std::string& path, const std::string& deviceKey);

    // The device key of the latest registration that carried this push key.
    std::string deviceForPushKey(const std::string& pushKey) const;
    std::string pushKeyForDevice(const std::string& deviceKey) const;

    std::string nextApplicationId();
    int nextLiveId();

    Json::Value devicesJson() const;
    Json::Value deviceJson(const std::string& deviceKey) const;  // null when unknown
    Json::Value overridesJson() const;
    void reset();

private:
    DeviceRecord& deviceLocked(const std::string& deviceKey);

    mutable std::mutex mutex_;
    std::map<std::string, DeviceRecord> devices_;
    // path -> device key ("" = every device) -> reply
    std::map<std::string, std::map<std::string, ReplyOverride>> overrides_;
    int nextApplication_ = 100001;
    int nextLive_ = 5001;
};

Json::Value deviceToJson(const DeviceRecord& record);
// Deep merge: members of `patch` replace or (for objects) merge into `base`.
Json::Value mergeJson(const Json::Value& base, const Json::Value& patch);
long long nowMs();

}  // namespace fenwixsim
