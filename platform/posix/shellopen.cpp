#include "platform/shellopen.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <vector>

extern char** environ;

namespace fenwix::platform {
namespace {

// Adds an execute bit wherever a read bit is set, and always for the owner: what a downloaded
// installer needs before it can run.
bool makeExecutable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    mode_t mode = st.st_mode & 07777;
    mode |= S_IXUSR;
    if ((mode & S_IRGRP) != 0) {
        mode |= S_IXGRP;
    }
    if ((mode & S_IROTH) != 0) {
        mode |= S_IXOTH;
    }
    // A file we may run but not change (another owner) can still be started.
    return mode == (st.st_mode & 07777) || ::chmod(path.c_str(), mode) == 0 || errno == EPERM;
}

class SpawnAttributes {
public:
    SpawnAttributes() {
        ::posix_spawnattr_init(&attr_);
        sigset_t none;
        sigemptyset(&none);
        sigset_t all;
        sigfillset(&all);
        ::posix_spawnattr_setsigmask(&attr_, &none);
        ::posix_spawnattr_setsigdefault(&attr_, &all);
        ::posix_spawnattr_setflags(
            &attr_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&attr_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    const posix_spawnattr_t* get() const { return &attr_; }

private:
    posix_spawnattr_t attr_{};
};

class NullStdio {
public:
    NullStdio() {
        ::posix_spawn_file_actions_init(&actions_);
        ::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        ::posix_spawn_file_actions_addopen(&actions_, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    ~NullStdio() { ::posix_spawn_file_actions_destroy(&actions_); }
    NullStdio(const NullStdio&) = delete;
    NullStdio& operator=(const NullStdio&) = delete;
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
};

// The started program outlives interest in it; collecting its exit status keeps a long-running
// caller free of zombies without touching the process-wide SIGCHLD handling.
void reapInBackground(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

}  // namespace

bool shellOpen(const std::string& path, const std::vector<std::string>& arguments) {
    if (path.empty() || !makeExecutable(path)) {
        return false;
    }
    const SpawnAttributes attributes;
    const NullStdio stdio;
    // argv wants writable strings; the copies live until the spawn has returned.
    std::vector<std::string> words = {path};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    // posix_spawn, not posix_spawnp: the path is taken as it is, never looked up on PATH.
    if (::posix_spawn(&pid, path.c_str(), stdio.get(), attributes.get(), argv.data(), environ) !=
        0) {
        return false;
    }
    reapInBackground(pid);
    return true;
}

}  // namespace fenwix::platform
