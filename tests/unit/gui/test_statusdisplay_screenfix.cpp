// Screen fixing: the start three seconds after joining, the results with one retry and the leave
// after two failures in a row, against fake peers.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support_classflow.h"

namespace {

using ScreenFixing = ClassFlowTest;

const std::string kOk = R"({"success":true,"mode":1})";
const std::string kFailed = R"({"success":false})";

struct FixCase {
    const char* name;
    std::vector<std::string> results;
    bool succeeded;  // afterwards
    int attempts;
    int retries;
    int leaves;
};

void PrintTo(const FixCase& c, std::ostream* os) {
    *os << c.name;
}

class FixResults : public ClassFlowTest, public ::testing::WithParamInterface<FixCase> {};

TEST_P(FixResults, RetryOnceThenLeave) {
    const auto& c = GetParam();
    for (const auto& r : c.results) {
        event(WM_CONF_FIX_RESULT, r);
    }
    EXPECT_EQ(dlg_->fixSucceeded(), c.succeeded);
    EXPECT_EQ(dlg_->fixAttempts(), c.attempts);
    EXPECT_EQ(peers_.count("startScreenFix"), c.retries);
    EXPECT_EQ(peers_.count("setScreenFixNeeded"), c.retries);
    EXPECT_EQ(log_.count("固屏失败，重新固屏"), static_cast<std::size_t>(c.retries));
    EXPECT_EQ(peers_.count("exitConference"), c.leaves);
    EXPECT_EQ(log_.count("2次固屏失败 退出登录"), static_cast<std::size_t>(c.leaves));
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, FixResults,
    ::testing::Values(
        FixCase{"success", {kOk}, true, 0, 0, 0},
        FixCase{"one failure then a successful retry", {kFailed, kOk}, true, 0, 1, 0},
        FixCase{"two failures leave the class", {kFailed, kFailed}, false, 0, 1, 1},
        FixCase{"a success in between resets the count", {kFailed, kOk, kFailed}, false, 1, 2, 0},
        FixCase{"not JSON counts but starts no retry", {"<html>"}, false, 1, 0, 0},
        FixCase{"not JSON, then a failure leaves", {"", kFailed}, false, 0, 0, 1},
        FixCase{"without success it failed", {R"({"mode":1})"}, false, 1, 1, 0},
        FixCase{"success that is not a boolean failed", {R"({"success":"true"})"}, false, 1, 1, 0},
        // Results that never parsed must not carry the count past the leave.
        FixCase{"a count past two still leaves", {"x", "y", kFailed}, false, 0, 0, 1},
        FixCase{
            "after a leave the count starts anew", {kFailed, kFailed, kFailed}, false, 1, 2, 1}));

TEST_F(ScreenFixing, StartsThreeSecondsAfterJoiningWhileStillInClass) {
    event(WM_CONF_JOINED);
    ASSERT_TRUE(dlg_->isTimerActive(TIMER_START_FIX));
    peers_.calls.clear();
    config()->setChangeMuteMicFromServer(false);
    dlg_->OnTimer(TIMER_START_FIX);
    EXPECT_FALSE(dlg_->isTimerActive(TIMER_START_FIX));
    EXPECT_TRUE(config()->getChangeMuteMicFromServer());
    EXPECT_EQ(config()->getSpeakerVolume(), 32768);
    EXPECT_EQ(peers_.calls, (std::vector<std::string>{"reportCameraState", "setSpeakerVolume 32768",
                                                      "startScreenFix"}));
}

TEST_F(ScreenFixing, DoesNotStartAfterTheClassWasLeft) {
    event(WM_CONF_JOINED);
    event(WM_CONF_LOGGED_OUT);
    peers_.calls.clear();
    dlg_->OnTimer(TIMER_START_FIX);
    EXPECT_FALSE(dlg_->isTimerActive(TIMER_START_FIX));
    EXPECT_TRUE(peers_.calls.empty());
}

TEST_F(ScreenFixing, AFailureLeftFromTheLastClassDoesNotCountInTheNext) {
    event(WM_CONF_JOINED);
    event(WM_CONF_FIX_RESULT, kFailed);  // its retry never answered
    event(WM_CONF_LOGGED_OUT);
    event(WM_CONF_JOINED);
    event(WM_CONF_FIX_RESULT, kFailed);
    EXPECT_EQ(peers_.count("exitConference"), 0);
    EXPECT_EQ(peers_.count("startScreenFix"), 2);
}

}  // namespace
