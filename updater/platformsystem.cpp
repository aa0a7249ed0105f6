#include "updater/platformsystem.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

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

// The debug output stream: silent unless FENWIX_DEBUG_TRACE is set, then the error stream.
void PlatformSystem::debugTrace(const std::string& text) {
    const char* enabled = std::getenv("FENWIX_DEBUG_TRACE");
    if (enabled != nullptr && *enabled != '\0') {
        std::cerr << text << std::flush;
    }
}

std::uint32_t PlatformSystem::ownProcessId() {
    return platform::currentProcessId();
}

}  // namespace fenwix::updater
