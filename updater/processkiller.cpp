#include "updater/processkiller.h"

namespace fenwix::updater {

std::optional<std::uint32_t> ProcessKiller::findFirst(const std::string& imageName) {
    for (const platform::ProcessEntry& entry : system_.processSnapshot()) {
        system_.debugTrace(entry.imageName + "\n");
        // Ending itself would leave the installer unopened.
        if (entry.pid != system_.ownProcessId() &&
            platform::imageNameMatches(entry.imageName, imageName)) {
            return entry.pid;
        }
    }
    return std::nullopt;
}

bool ProcessKiller::killByImageName(const std::string& imageName) {
    const std::optional<std::uint32_t> pid = findFirst(imageName);
    if (!pid) {
        return false;
    }
    if (system_.terminateProcess(*pid)) {
        return true;
    }
    if (extraAttempts_ == kMaxExtraAttempts) {
        extraAttempts_ = 0;
        return false;
    }
    ++extraAttempts_;
    killByImageName(imageName);
    return false;
}

}  // namespace fenwix::updater
