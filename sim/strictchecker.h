#pragma once

#include "sim/simtypes.h"

#include <json/json.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace fenwixsim {

// One way in which a request differs from what the terminal must send.
struct Deviation {
    long long seq = 0;
    std::string path;
    std::string expected;
    std::string got;
};

// Compares each request to the exact formats the terminal uses (method, framing, parameter
// names and order, value shapes) and keeps what differs.
class StrictChecker {
public:
    explicit StrictChecker(bool enabled) : enabled_(enabled) {}

    bool enabled() const { return enabled_; }
    void setEnabled(bool on) { enabled_ = on; }

    // Returns the deviations found in this request (also stored and written to stderr).
    std::vector<Deviation> check(const SimRequest& request);

    Json::Value toJson() const;
    void clear();

    // The checks themselves, without storing anything; empty for a request that is exact.
    static std::vector<Deviation> inspect(const SimRequest& request);

private:
    std::atomic<bool> enabled_;
    mutable std::mutex mutex_;
    std::deque<Deviation> deviations_;
};

}  // namespace fenwixsim
