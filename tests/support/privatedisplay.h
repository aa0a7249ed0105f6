// An X server of the test's own (Xvfb), and a test environment that gives a whole test program
// one, so that programs run side by side (ctest -j) never draw on each other's screen: a
// screenshot of the root window then shows this program's windows only.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "support/childprocess.h"
#include "support/scopedenv.h"

namespace fenwixtest {

class PrivateDisplay {
public:
    // A server that starts while another starts or ends can take a display number that is not
    // free yet (-displayfd picks the lowest one it can lock), and the ending server then takes
    // the socket away with its own: the servers of all tests start and end one at a time, and
    // a display counts only when this server still runs and answers on it.
    PrivateDisplay() {
        const ServerLock oneAtATime;
        constexpr int kAttempts = 5;
        for (int attempt = 0; attempt < kAttempts && name_.empty(); ++attempt) {
            start();
            if (!name_.empty() && !(answers(name_) && server_->running())) {
                server_.reset();
                name_.clear();
            }
        }
    }
    ~PrivateDisplay() { end(); }
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    // Empty when no server could be started.
    const std::string& name() const { return name_; }
    void end() {
        if (server_) {
            const ServerLock oneAtATime;
            server_.reset();
        }
    }

private:
    class ServerLock {
    public:
        ServerLock()
            : fd_(::open("/tmp/fenwix-test-xvfb.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
            if (fd_ >= 0) {
                ::flock(fd_, LOCK_EX);
            }
        }
        ~ServerLock() {
            if (fd_ >= 0) {
                ::close(fd_);
            }
        }
        ServerLock(const ServerLock&) = delete;
        ServerLock& operator=(const ServerLock&) = delete;

    private:
        int fd_;
    };

    void start() {
        int fds[2] = {-1, -1};
        if (::pipe(fds) != 0) {
            return;
        }
        server_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                     "1920x1080x24", "-nolisten", "tcp"});
        ::close(fds[1]);
        // The server writes its display number once it accepts clients; nothing if it failed.
        std::string number;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        ::close(fds[0]);
        if (!number.empty()) {
            name_ = ":" + number;
        }
    }

    static bool answers(const std::string& name) {
        return std::system(("xdpyinfo -display " + name + " >/dev/null 2>&1").c_str()) == 0;
    }

    std::unique_ptr<ChildProcess> server_;
    std::string name_;
};

// Where the program was given a display (DISPLAY set), its tests run on a private one instead;
// without a display they stay without one. Register it before anything that opens the display.
class PrivateDisplayEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const char* given = std::getenv("DISPLAY");
        if (given == nullptr || *given == '\0') {
            return;
        }
        display_ = std::make_unique<PrivateDisplay>();
        if (display_->name().empty()) {
            std::cerr << "no private X server could be started (Xvfb); the tests share display "
                      << given << "\n";
            display_.reset();
            return;
        }
        env_ = std::make_unique<ScopedEnv>("DISPLAY", display_->name().c_str());
    }
    void TearDown() override {
        env_.reset();
        display_.reset();
    }

private:
    std::unique_ptr<PrivateDisplay> display_;
    std::unique_ptr<ScopedEnv> env_;
};

}  // namespace fenwixtest
