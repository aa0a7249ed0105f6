#pragma once

#include "sim/simtypes.h"

#include <json/json.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace fenwixsim {

// A reply set through the admin API that replaces the built-in handler of one exact path.
struct CannedReply {
    int status = 200;
    std::string body;
    std::string contentType = "application/json; charset=utf-8";
    HeaderList headers;
    int delayMs = 0;
    int times = -1;  // remaining uses; -1 = until cleared
    bool closeConnection = false;
    bool passThrough = false;  // wait delayMs, then let the built-in handler answer
};

class CannedReplies {
public:
    // Reads the admin JSON; false with a reason when it is not usable.
    static bool fromJson(const Json::Value& json, std::string& path, CannedReply& reply,
                         std::string& error);

    void set(const std::string& path, const CannedReply& reply);
    // Takes one use of the reply for that path, if any.
    std::optional<CannedReply> take(const std::string& path);
    void clear();
    Json::Value toJson() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, CannedReply> replies_;
};

}  // namespace fenwixsim
