#include "sim/requestlog.h"

#include "sim/jsonutil.h"

namespace fenwixsim {

Json::Value formToJson(const Form& form) {
    Json::Value out(Json::arrayValue);
    for (const auto& field : form) {
        Json::Value f;
        f["name"] = sanitizeUtf8(field.name);
        f["value"] = sanitizeUtf8(field.value);
        out.append(f);
    }
    return out;
}

Json::Value requestToJson(const SimRequest& request) {
    Json::Value r;
    r["seq"] = static_cast<Json::Int64>(request.seq);
    r["method"] = request.method;
    r["path"] = sanitizeUtf8(request.path);
    r["query"] = sanitizeUtf8(request.query);
    Json::Value headers(Json::objectValue);
    for (const auto& h : request.headers) {
        headers[h.first] = sanitizeUtf8(h.second);
    }
    r["headers"] = headers;
    r["body"] = sanitizeUtf8(request.body);
    r["bodyBase64"] = base64Encode(request.body);
    r["bodyLength"] = static_cast<Json::UInt64>(request.body.size());
    r["form"] = formToJson(request.method == "POST" ? request.form : request.queryForm);
    r["arrivedUs"] = static_cast<Json::Int64>(request.arrivedUs);
    r["repliedUs"] = static_cast<Json::Int64>(request.repliedUs);
    return r;
}

long long RequestLog::add(const SimRequest& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(request);
    entries_.back().seq = nextSeq_;
    if (entries_.size() > capacity_) {
        entries_.pop_front();
    }
    return nextSeq_++;
}

void RequestLog::markReplied(long long seq, long long repliedUs) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Recent requests are at the back; a long poll may have been overtaken by a few others.
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (it->seq == seq) {
            it->repliedUs = repliedUs;
            return;
        }
    }
}

Json::Value RequestLog::toJson(const std::string& path) const {
    Json::Value list(Json::arrayValue);
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& entry : entries_) {
        if (path.empty() || entry.path == path) {
            list.append(requestToJson(entry));
        }
    }
    Json::Value out;
    out["requests"] = list;
    return out;
}

void RequestLog::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
}

}  // namespace fenwixsim
