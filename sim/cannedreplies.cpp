#include "sim/cannedreplies.h"

#include "sim/jsonutil.h"

namespace fenwixsim {

namespace {
// Largest body the admin API will make: big enough for every oversize test, small enough
// that a typo cannot exhaust memory.
constexpr Json::UInt64 kMaxSize = 256ull * 1024 * 1024;

std::string repeatedDigits(size_t size) {
    static const std::string kPattern = "0123456789";
    std::string out;
    out.reserve(size);
    while (out.size() < size) {
        out.append(kPattern, 0, std::min(kPattern.size(), size - out.size()));
    }
    return out;
}

bool readBody(const Json::Value& json, CannedReply& reply, std::string& error) {
    if (json.isMember("size")) {
        if (!json["size"].isUInt64() || json["size"].asUInt64() > kMaxSize) {
            error = "size must be a whole number of bytes up to 268435456";
            return false;
        }
        reply.body = repeatedDigits(static_cast<size_t>(json["size"].asUInt64()));
    } else if (json.isMember("bodyBase64")) {
        if (!json["bodyBase64"].isString() ||
            !base64Decode(json["bodyBase64"].asString(), reply.body)) {
            error = "bodyBase64 is not base64";
            return false;
        }
    } else if (json.isMember("body")) {
        if (!json["body"].isString()) {
            error = "body must be a string";
            return false;
        }
        reply.body = json["body"].asString();
    }
    return true;
}

bool readInt(const Json::Value& json, const char* key, int minimum, int& out, std::string& error) {
    if (!json.isMember(key)) {
        return true;
    }
    if (!json[key].isInt() || json[key].asInt() < minimum) {
        error = std::string(key) + " must be an integer >= " + std::to_string(minimum);
        return false;
    }
    out = json[key].asInt();
    return true;
}
}  // namespace

bool CannedReplies::fromJson(const Json::Value& json, std::string& path, CannedReply& reply,
                             std::string& error) {
    if (!json.isObject() || !json["path"].isString() || json["path"].asString().empty() ||
        json["path"].asString()[0] != '/') {
        error = "path must be a string beginning with /";
        return false;
    }
    path = json["path"].asString();
    if (path.compare(0, 7, "/admin/") == 0 || path == "/admin") {
        error = "admin paths cannot be replaced";
        return false;
    }
    if (!readInt(json, "status", 100, reply.status, error) ||
        !readInt(json, "delayMs", 0, reply.delayMs, error) ||
        !readInt(json, "times", 1, reply.times, error) || !readBody(json, reply, error)) {
        return false;
    }
    if (reply.status > 999) {
        error = "status must be below 1000";
        return false;
    }
    if (json["contentType"].isString()) {
        reply.contentType = json["contentType"].asString();
    }
    if (json.isMember("headers")) {
        if (!json["headers"].isObject()) {
            error = "headers must be an object of strings";
            return false;
        }
        for (const auto& name : json["headers"].getMemberNames()) {
            if (!json["headers"][name].isString()) {
                error = "headers must be an object of strings";
                return false;
            }
            reply.headers.emplace_back(name, json["headers"][name].asString());
        }
    }
    reply.closeConnection = json["close"].isBool() && json["close"].asBool();
    reply.passThrough = json["passThrough"].isBool() && json["passThrough"].asBool();
    return true;
}

void CannedReplies::set(const std::string& path, const CannedReply& reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[path] = reply;
}

std::optional<CannedReply> CannedReplies::take(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = replies_.find(path);
    if (it == replies_.end()) {
        return std::nullopt;
    }
    CannedReply reply = it->second;
    if (it->second.times > 0 && --it->second.times == 0) {
        replies_.erase(it);
    }
    return reply;
}

void CannedReplies::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.clear();
}

Json::Value CannedReplies::toJson() const {
    Json::Value list(Json::arrayValue);
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [path, reply] : replies_) {
        Json::Value r;
        r["path"] = path;
        r["status"] = reply.status;
        r["bodyLength"] = static_cast<Json::UInt64>(reply.body.size());
        r["bodyPreview"] = sanitizeUtf8(reply.body.substr(0, 200));
        r["delayMs"] = reply.delayMs;
        r["times"] = reply.times;
        r["close"] = reply.closeConnection;
        r["passThrough"] = reply.passThrough;
        Json::Value headers(Json::objectValue);
        for (const auto& h : reply.headers) {
            headers[h.first] = h.second;
        }
        r["headers"] = headers;
        list.append(r);
    }
    Json::Value out;
    out["replies"] = list;
    return out;
}

}  // namespace fenwixsim
