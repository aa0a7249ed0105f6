#include "platform/singleinstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/process.h"

namespace fenwix::platform {

namespace {

// A lock name becomes one file name: separators would point elsewhere.
std::string fileNameOf(const std::string& name) {
    std::string file = name.empty() ? std::string("instance") : name;
    for (char& c : file) {
        if (c == '/' || c == '\\') {
            c = '_';
        }
    }
    return file + ".lock";
}

}  // namespace

std::string instanceLockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        std::string folder = runtime;
        if (folder.back() != '/') {
            folder += '/';
        }
        return folder;
    }
    return tempFolder();
}

SingleInstanceLock::SingleInstanceLock(const std::string& name)
    : SingleInstanceLock(name, instanceLockFolder()) {}

SingleInstanceLock::SingleInstanceLock(const std::string& name, const std::string& folder) {
    path_ = folder;
    if (!path_.empty() && path_.back() != '/') {
        path_ += '/';
    }
    path_ += fileNameOf(name);
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    int rc = 0;
    do {
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        state_ = InstanceLockState::Acquired;
        return;
    }
    const int lockError = errno;
    ::close(fd_);
    fd_ = -1;
    if (lockError == EWOULDBLOCK) {
        state_ = InstanceLockState::HeldElsewhere;
    } else {
        error_ = lockError;
    }
}

SingleInstanceLock::~SingleInstanceLock() {
    // Closing the only descriptor releases the lock. The file stays: removing it here would let a
    // third process lock a fresh file while a second one still waits on the old one.
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

}  // namespace fenwix::platform
