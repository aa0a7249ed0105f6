// Lets only one copy of the terminal run per user session: the first process takes a named lock
// and keeps it until it ends (the system drops it then, even after a crash); any later process
// finds it taken.
//
// Here the lock is an exclusive flock on "<name>.lock" in $XDG_RUNTIME_DIR (else the temporary
// folder). The descriptor is not inherited by programs the terminal starts.
#pragma once

#include <string>

namespace fenwix::platform {

enum class InstanceLockState {
    Acquired,        // this process now holds the lock
    HeldElsewhere,   // another process holds it: this is a second instance
    CouldNotCreate,  // the lock file could not be made or locked at all
};

class SingleInstanceLock {
public:
    // Tries once, without waiting, to take the lock `name` in instanceLockFolder().
    explicit SingleInstanceLock(const std::string& name);
    // The same in a chosen folder.
    SingleInstanceLock(const std::string& name, const std::string& folder);
    ~SingleInstanceLock();

    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    InstanceLockState state() const { return state_; }
    bool acquired() const { return state_ == InstanceLockState::Acquired; }
    // errno of the failure when state() is CouldNotCreate, else 0.
    int error() const { return error_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
    int error_ = 0;
    InstanceLockState state_ = InstanceLockState::CouldNotCreate;
};

// Where the lock files live, with a trailing '/'.
std::string instanceLockFolder();

}  // namespace fenwix::platform
