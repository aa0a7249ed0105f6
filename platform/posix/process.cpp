#include "platform/process.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace fenwix::platform {

std::string executablePath() {
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) {
        return {};
    }
    return std::string(buf.data(), static_cast<size_t>(n));
}

std::string programFolder() {
    const std::string exe = executablePath();
    const auto slash = exe.rfind('/');
    if (slash == std::string::npos) {
        return "./";
    }
    return exe.substr(0, slash + 1);
}

std::string executableName() {
    const std::string exe = executablePath();
    const auto slash = exe.rfind('/');
    return slash == std::string::npos ? exe : exe.substr(slash + 1);
}

std::string tempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    if (dir.back() != '/') {
        dir += '/';
    }
    return dir;
}

std::uint32_t currentProcessId() {
    return static_cast<std::uint32_t>(::getpid());
}

std::uint32_t currentThreadId() {
    return static_cast<std::uint32_t>(::syscall(SYS_gettid));
}

}  // namespace fenwix::platform
