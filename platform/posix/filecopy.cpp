#include "platform/filecopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"

namespace fenwix::platform {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// Removes the half-made copy unless it was renamed into place.
class PartialFile {
public:
    explicit PartialFile(std::string path) : path_(std::move(path)) {}
    ~PartialFile() {
        if (!kept_) {
            ::unlink(path_.c_str());
        }
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;
    const std::string& path() const { return path_; }
    void keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool copyContent(int from, int to) {
    constexpr std::size_t kChunkBytes = 65536;
    std::vector<char> buffer(kChunkBytes);
    for (;;) {
        const ssize_t n = ::read(from, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (!writeAll(to, buffer.data(), static_cast<std::size_t>(n))) {
            return false;
        }
    }
}

}  // namespace

bool copyFileReplacing(const std::string& source, const std::string& target) {
    if (source.empty() || target.empty()) {
        return false;
    }
    Descriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!in.valid() || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    // Regular file: reads never block, so the non-blocking open only spared a FIFO from hanging.
    const int flags = ::fcntl(in.get(), F_GETFL);
    if (flags >= 0) {
        ::fcntl(in.get(), F_SETFL, flags & ~O_NONBLOCK);
    }
    std::string pattern =
        parentFolder(target) + "." + target.substr(parentFolder(target).size()) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    Descriptor out(::mkostemp(name.data(), O_CLOEXEC));
    if (!out.valid()) {
        return false;
    }
    PartialFile partial(name.data());
    const bool written = copyContent(in.get(), out.get()) &&
                         ::fchmod(out.get(), st.st_mode & 07777) == 0 && out.close();
    if (!written || ::rename(partial.path().c_str(), target.c_str()) != 0) {
        return false;
    }
    partial.keep();
    return true;
}

}  // namespace fenwix::platform
