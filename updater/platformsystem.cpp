#include "updater/platformsystem.h"

#include <chrono>
#include <thread>

#include "platform/debugtrace.h"
#include "platform/process.h"
#include "platform/shellopen.h"

namespace fenwix::updater {

std::vector<platform::ProcessEntry> PlatformSystem::processSnapshot() {
    return platform::processSnapshot();
}

bool PlatformSystem::terminateProcess(std::uint32_t pid) {
    return platform::terminateProcess(pid);
}

bool PlatformSystem::openFile(const std::string& path) {
    return platform::shellOpen(path);
}

void PlatformSystem::sleepMs(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void PlatformSystem::debugTrace(const std::string& text) {
    platform::debugTrace(text);
}

std::uint32_t PlatformSystem::ownProcessId() {
    return platform::currentProcessId();
}

}  // namespace fenwix::updater
