// Ends the first process, in snapshot order, whose image name is the wanted one; the updater's
// own process is never chosen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "updater/updatersystem.h"

namespace fenwix::updater {

class ProcessKiller {
public:
    // After a failed termination the whole attempt is repeated, at most this many times.
    static constexpr int kMaxExtraAttempts = 3;

    explicit ProcessKiller(UpdaterSystem& system) : system_(system) {}

    // True only when the first attempt ended a process: an ending that needed a repeat
    // still reports failure.
    bool killByImageName(const std::string& imageName);

private:
    std::optional<std::uint32_t> findFirst(const std::string& imageName);

    UpdaterSystem& system_;
    int extraAttempts_ = 0;  // counts across calls for the life of the killer
};

}  // namespace fenwix::updater
