// A program run in the background until the object goes, or until the test ends it.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace fenwixtest {

// Started with fork and exec; ended with SIGTERM, then waited for. Descriptors without
// close-on-exec are handed on to the program.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv) {
        pid_ = ::fork();
        if (pid_ == 0) {
            std::vector<char*> args;
            for (const auto& a : argv) {
                args.push_back(const_cast<char*>(a.c_str()));
            }
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
    }
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // False once the program has ended (it is then reaped).
    bool running() {
        if (pid_ <= 0) {
            return false;
        }
        if (::waitpid(pid_, nullptr, WNOHANG) == 0) {
            return true;
        }
        pid_ = -1;
        return false;
    }

    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
};

}  // namespace fenwixtest
