// What the updater needs from the operating system, behind one interface so that its rules
// (which process, how many attempts, what is printed) can be checked without real processes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace fenwix::updater {

class UpdaterSystem {
public:
    virtual ~UpdaterSystem() = default;
    virtual std::vector<platform::ProcessEntry> processSnapshot() = 0;
    virtual bool terminateProcess(std::uint32_t pid) = 0;
    virtual bool openFile(const std::string& path) = 0;
    virtual void sleepMs(int milliseconds) = 0;
    virtual void debugTrace(const std::string& text) = 0;
    virtual std::uint32_t ownProcessId() = 0;
};

}  // namespace fenwix::updater
