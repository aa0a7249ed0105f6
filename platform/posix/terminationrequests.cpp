#include "platform/terminationrequests.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace fenwix::platform {

namespace {

std::atomic<int> g_writeEnd{-1};

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void onTerminationSignal(int) {
    const int saved = errno;
    const int fd = g_writeEnd.load();
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

void setHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals) {
        ::sigaction(sig, &action, nullptr);
    }
}

}  // namespace

TerminationRequests::TerminationRequests() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    readEnd_ = fds[0];
    writeEnd_ = fds[1];
    g_writeEnd = writeEnd_;
    setHandler(onTerminationSignal);
}

TerminationRequests::~TerminationRequests() {
    if (readEnd_ < 0) {
        return;
    }
    setHandler(SIG_DFL);
    g_writeEnd = -1;
    ::close(readEnd_);
    ::close(writeEnd_);
}

int TerminationRequests::descriptor() const {
    return readEnd_;
}

bool TerminationRequests::take() {
    if (readEnd_ < 0) {
        return false;
    }
    bool any = false;
    char buffer[64];
    while (::read(readEnd_, buffer, sizeof buffer) > 0) {
        any = true;
    }
    return any;
}

}  // namespace fenwix::platform
