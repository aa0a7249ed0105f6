#include "platform/singleinstance.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "support/tempfolder.h"

extern char** environ;

namespace fenwix::platform {
namespace {

// Another process that takes the lock with this code and holds it until told to end.
class LockHolder {
public:
    LockHolder(const std::string& name, const std::string& folder) {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const SingleInstanceLock lock(name, folder);
            const char state = lock.acquired() ? 'A' : 'N';
            (void)::write(ready[1], &state, 1);
            char ignored;
            (void)::read(release[0], &ignored, 1);  // returns when the parent closes its end
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char state = 0;
        if (::read(ready[0], &state, 1) == 1) {
            acquired_ = state == 'A';
        }
        ::close(ready[0]);
    }
    ~LockHolder() { end(); }

    bool acquired() const { return acquired_; }

    // Lets the holder exit and waits for it.
    void end() {
        if (release_ >= 0) {
            ::close(release_);
            release_ = -1;
        }
        if (pid_ > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool acquired_ = false;
};

class SingleInstanceLockTest : public ::testing::Test {
protected:
    TempFolder folder;
};

TEST_F(SingleInstanceLockTest, SecondProcessIsRefusedUntilTheFirstEnds) {
    LockHolder first("FenwixStudent", folder.path());
    ASSERT_TRUE(first.acquired());
    {
        const SingleInstanceLock second("FenwixStudent", folder.path());
        EXPECT_EQ(second.state(), InstanceLockState::HeldElsewhere);
        EXPECT_FALSE(second.acquired());
        EXPECT_EQ(second.error(), 0);
    }
    first.end();
    const SingleInstanceLock afterExit("FenwixStudent", folder.path());
    EXPECT_EQ(afterExit.state(), InstanceLockState::Acquired);
}

TEST_F(SingleInstanceLockTest, HeldUntilTheObjectGoesAway) {
    {
        const SingleInstanceLock mine("FenwixStudent", folder.path());
        ASSERT_TRUE(mine.acquired());
        EXPECT_EQ(mine.path(), folder.path() + "FenwixStudent.lock");
        LockHolder other("FenwixStudent", folder.path());
        EXPECT_FALSE(other.acquired());
        const SingleInstanceLock sameProcess("FenwixStudent", folder.path());
        EXPECT_EQ(sameProcess.state(), InstanceLockState::HeldElsewhere);
        const SingleInstanceLock otherName("FenwixTeacher", folder.path());
        EXPECT_TRUE(otherName.acquired());
    }
    LockHolder later("FenwixStudent", folder.path());
    EXPECT_TRUE(later.acquired());
}

TEST_F(SingleInstanceLockTest, ProgramsStartedByTheHolderDoNotKeepTheLock) {
    pid_t child = -1;
    {
        const SingleInstanceLock mine("FenwixStudent", folder.path());
        ASSERT_TRUE(mine.acquired());
        char sleepPath[] = "/bin/sleep";
        char seconds[] = "30";
        char* argv[] = {sleepPath, seconds, nullptr};
        ASSERT_EQ(::posix_spawn(&child, sleepPath, nullptr, nullptr, argv, environ), 0);
    }
    // The started program still runs, yet the lock is free again.
    const SingleInstanceLock next("FenwixStudent", folder.path());
    EXPECT_TRUE(next.acquired());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

TEST_F(SingleInstanceLockTest, ReportsWhenNoLockCanBeMade) {
    const SingleInstanceLock lock("FenwixStudent", folder.file("no/such/folder"));
    EXPECT_EQ(lock.state(), InstanceLockState::CouldNotCreate);
    EXPECT_FALSE(lock.acquired());
    EXPECT_EQ(lock.error(), ENOENT);
}

TEST_F(SingleInstanceLockTest, NameNeverLeavesTheFolder) {
    const SingleInstanceLock lock("../escape/x", folder.path());
    EXPECT_TRUE(lock.acquired());
    EXPECT_EQ(lock.path(), folder.path() + ".._escape_x.lock");
}

TEST(InstanceLockFolder, UsesTheRuntimeFolderElseTemporaryFiles) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedValue = saved != nullptr ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(instanceLockFolder(), "/run/user/4242/");
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(instanceLockFolder(), "/var/tmp/");
    ::unsetenv("TMPDIR");
    if (saved != nullptr) {
        ::setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    }
}

}  // namespace
}  // namespace fenwix::platform
