#include "platform/posix/procfs.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>

namespace fenwix::platform::posix {
namespace {

constexpr const char kDeletedMark[] = " (deleted)";

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A program file replaced or removed while it runs shows as "<path> (deleted)"; the process
// still carries the old name, so the mark goes, unless a file really is called that way.
std::string withoutDeletedMark(const std::string& target) {
    struct stat st {};
    if (!endsWith(target, kDeletedMark) || ::lstat(target.c_str(), &st) == 0) {
        return target;
    }
    return target.substr(0, target.size() - (sizeof(kDeletedMark) - 1));
}

std::string readExeLink(const std::string& procFolder) {
    std::string buf(4096, '\0');
    const std::string link = procFolder + "/exe";
    const ssize_t n = ::readlink(link.c_str(), buf.data(), buf.size());
    if (n <= 0 || static_cast<size_t>(n) >= buf.size()) {
        return {};
    }
    buf.resize(static_cast<size_t>(n));
    return baseName(withoutDeletedMark(buf));
}

std::string readComm(const std::string& procFolder) {
    std::ifstream in(procFolder + "/comm");
    std::string line;
    if (!in || !std::getline(in, line)) {
        return {};
    }
    return line;
}

// A pid folder name: digits only, not zero, within 32 bits.
bool parsePid(const char* name, std::uint32_t& pid) {
    std::uint64_t value = 0;
    if (*name == '\0') {
        return false;
    }
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(*p - '0');
        if (value > 0xFFFFFFFFull) {
            return false;
        }
    }
    pid = static_cast<std::uint32_t>(value);
    return pid != 0;
}

}  // namespace

std::string imageNameInProcFolder(const std::string& procFolder) {
    std::string name = readExeLink(procFolder);
    return name.empty() ? readComm(procFolder) : name;
}

std::vector<ProcessEntry> readProcessTable(const std::string& root) {
    std::vector<ProcessEntry> table;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(root.c_str()));
    if (!dir) {
        return table;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        std::uint32_t pid = 0;
        if (!parsePid(entry->d_name, pid)) {
            continue;
        }
        // A process may end between the listing and the read; it is simply left out.
        std::string name = imageNameInProcFolder(root + "/" + entry->d_name);
        if (!name.empty()) {
            table.push_back({pid, std::move(name)});
        }
    }
    // The directory order is the kernel's; the walk promises pid order.
    std::sort(table.begin(), table.end(),
              [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
    return table;
}

}  // namespace fenwix::platform::posix
