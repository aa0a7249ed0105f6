#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace fenwix::platform {

namespace {

// Closes a descriptor when it leaves scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close itself succeeded (it can report a late write error).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
};

bool writeAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string temporarySibling(const std::string& path) {
    const std::string folder = parentFolder(path);
    const std::string name = path.substr(folder.size());
    return folder + "." + name + ".XXXXXX";
}

}  // namespace

FileReadStatus readFileHead(const std::string& path, std::size_t maxBytes, std::string& content) {
    content.clear();
    // O_NONBLOCK: opening a FIFO someone placed at the path must not wait for a writer.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) {
        return (errno == ENOENT || errno == ENOTDIR) ? FileReadStatus::Missing
                                                     : FileReadStatus::Failed;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return FileReadStatus::Failed;
    }
    if (!S_ISREG(info.st_mode)) {
        return FileReadStatus::NotRegular;
    }
    // Grown as data arrives: callers pass generous limits, files are usually small.
    constexpr std::size_t kChunk = 4096;
    while (content.size() < maxBytes) {
        const std::size_t want = std::min(kChunk, maxBytes - content.size());
        const std::size_t had = content.size();
        content.resize(had + want);
        const ssize_t n = ::read(fd.get(), content.data() + had, want);
        if (n < 0 && errno == EINTR) {
            content.resize(had);
            continue;
        }
        if (n < 0) {
            content.clear();
            return FileReadStatus::Failed;
        }
        content.resize(had + static_cast<std::size_t>(n));
        if (n == 0) {
            break;
        }
    }
    return FileReadStatus::Ok;
}

bool replaceFileAtomically(const std::string& path, const std::string& content, unsigned int mode) {
    if (path.empty() || path.back() == '/') {
        return false;
    }
    std::string temp = temporarySibling(path);
    FileDescriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.valid()) {
        return false;
    }
    struct stat existing {};
    mode_t wanted = static_cast<mode_t>(mode);
    if (::stat(path.c_str(), &existing) == 0) {
        wanted = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        wanted &= ~mask;
    }
    const bool written =
        ::fchmod(fd.get(), wanted) == 0 && writeAll(fd.get(), content) && ::fsync(fd.get()) == 0;
    if (!fd.close() || !written || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool makeDirectories(const std::string& path, unsigned int mode) {
    if (path.empty()) {
        return false;
    }
    if (isDirectory(path)) {
        return true;
    }
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        const std::string prefix = path.substr(0, pos);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), static_cast<mode_t>(mode)) != 0 &&
            errno != EEXIST) {
            return false;
        }
    }
    return isDirectory(path);
}

std::string parentFolder(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace fenwix::platform
