// The push-poll client without a push service: a closed port refuses every registration.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "service/zorbel.h"
#include "support/backendfixture.h"
#include "support/logcapture.h"

namespace {

using namespace std::chrono_literals;

class ZorbelOffline : public ::testing::Test {
protected:
    ZorbelOffline() : backend_("http://127.0.0.1:9") {}

    LogCapture log_;
    fenwixtest::BackendConfig backend_;
    std::atomic<int> reports_{0};
    CZorbel zorbel_{[this] { ++reports_; }};
};

TEST_F(ZorbelOffline, CloseRightAfterStartStopsTheThread) {
    ASSERT_TRUE(zorbel_.start());
    zorbel_.close();
    EXPECT_FALSE(zorbel_.isRunning());
    EXPECT_TRUE(log_.contains("开始启动ZORBEL"));
}

TEST_F(ZorbelOffline, RefusedRegistrationIsRetriedWithoutPollsOrReports) {
    ASSERT_TRUE(zorbel_.start());
    EXPECT_TRUE(zorbel_.start());  // a second start keeps the one thread
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (log_.count("zorbel net failed") < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_GE(log_.count("zorbel net failed"), 2u);
    EXPECT_TRUE(zorbel_.isRunning());
    zorbel_.close();
    EXPECT_FALSE(zorbel_.isRunning());
    EXPECT_TRUE(CZorbel::token().empty());
    EXPECT_EQ(reports_.load(), 0);
    EXPECT_EQ(log_.count("开始启动ZORBEL"), 1u);
}

TEST_F(ZorbelOffline, CloseWithoutStartAndTwiceIsHarmless) {
    zorbel_.close();
    ASSERT_TRUE(zorbel_.start());
    zorbel_.close();
    zorbel_.close();
    EXPECT_FALSE(zorbel_.isRunning());
}

}  // namespace
