#pragma once

#include "sim/simtypes.h"

#include <json/json.h>

#include <deque>
#include <mutex>
#include <string>

namespace fenwixsim {

// Every request the backend faces received, oldest first. Bounded so that a sim left running
// for days against a terminal does not grow without end; sequence numbers keep counting.
class RequestLog {
public:
    explicit RequestLog(size_t capacity = 20000) : capacity_(capacity) {}

    // Stores a copy and returns its sequence number (1, 2, ...).
    long long add(const SimRequest& request);
    // Notes when the reply to request seq was ready (a long poll's reply leaves much later).
    void markReplied(long long seq, long long repliedUs);

    // The stored requests as JSON; only those with that exact path when path is not empty.
    Json::Value toJson(const std::string& path) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::deque<SimRequest> entries_;
    long long nextSeq_ = 1;
    size_t capacity_;
};

// The JSON shape of one request: seq, method, path, query, headers, body, bodyBase64,
// bodyLength, form, arrivedUs, repliedUs.
Json::Value requestToJson(const SimRequest& request);
Json::Value formToJson(const Form& form);

}  // namespace fenwixsim
