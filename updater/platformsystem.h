// The updater's system interface on the real operating system.
#pragma once

#include "updater/updatersystem.h"

namespace fenwix::updater {

class PlatformSystem final : public UpdaterSystem {
public:
    std::vector<platform::ProcessEntry> processSnapshot() override;
    bool terminateProcess(std::uint32_t pid) override;
    bool openFile(const std::string& path) override;
    void sleepMs(int milliseconds) override;
    void debugTrace(const std::string& text) override;
    std::uint32_t ownProcessId() override;
};

}  // namespace fenwix::updater
