#include "platform/processes.h"

#include <signal.h>
#include <sys/types.h>

#include <cctype>

#include "platform/posix/procfs.h"

namespace fenwix::platform {
namespace {

constexpr const char kExeExtension[] = ".exe";
constexpr size_t kExeExtensionLength = sizeof(kExeExtension) - 1;

bool equalNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool hasExeExtension(const std::string& name) {
    return name.size() > kExeExtensionLength &&
           equalNoCase(name.substr(name.size() - kExeExtensionLength), kExeExtension);
}

}  // namespace

std::vector<ProcessEntry> processSnapshot() {
    return posix::readProcessTable("/proc");
}

// Linux program files carry no extension, so the image name is the file name itself.
std::string imageNameOf(const std::string& programName) {
    return programName;
}

bool imageNameMatches(const std::string& listedName, const std::string& wantedName) {
    if (listedName.empty()) {
        return false;
    }
    if (equalNoCase(listedName, wantedName)) {
        return true;
    }
    return hasExeExtension(wantedName) &&
           equalNoCase(listedName, wantedName.substr(0, wantedName.size() - kExeExtensionLength));
}

bool terminateProcess(std::uint32_t pid) {
    // pid 0 or one beyond pid_t would address a process group or every process.
    if (pid == 0 || pid > 0x7FFFFFFFu) {
        return false;
    }
    return ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

}  // namespace fenwix::platform
