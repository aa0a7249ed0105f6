// Polite termination requests become a readable descriptor while watched, and the default
// handling comes back afterwards.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>

#include "platform/terminationrequests.h"

namespace {

bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

bool defaultHandling(int sig) {
    struct sigaction current {};
    ::sigaction(sig, nullptr, &current);
    return current.sa_handler == SIG_DFL;
}

TEST(TerminationRequests, EachPoliteSignalIsReportedOnceAndTheDefaultsReturn) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        {
            fenwix::platform::TerminationRequests requests;
            ASSERT_GE(requests.descriptor(), 0);
            EXPECT_FALSE(readable(requests.descriptor()));
            EXPECT_FALSE(requests.take());

            ASSERT_EQ(::raise(sig), 0);  // the process goes on: the request is only noted
            ::raise(sig);                // two requests before anyone looks: still one report
            EXPECT_TRUE(readable(requests.descriptor()));
            EXPECT_TRUE(requests.take());
            EXPECT_FALSE(readable(requests.descriptor()));
            EXPECT_FALSE(requests.take());
        }
        EXPECT_TRUE(defaultHandling(sig));
    }
}

}  // namespace
