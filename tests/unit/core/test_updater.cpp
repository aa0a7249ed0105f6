#include "updater/updater.h"

#include <gtest/gtest.h>

#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include "updater/processkiller.h"

namespace fenwix::updater {
namespace {

// A system that records every call in order and answers from scripted values.
class FakeSystem : public UpdaterSystem {
public:
    std::vector<platform::ProcessEntry> processes;
    std::deque<std::vector<platform::ProcessEntry>> snapshots;  // used first, then processes
    std::deque<bool> terminateResults;  // front is used first; empty means success
    std::vector<std::string> calls;
    std::string trace;

    std::vector<platform::ProcessEntry> processSnapshot() override {
        calls.push_back("snapshot");
        if (snapshots.empty()) {
            return processes;
        }
        std::vector<platform::ProcessEntry> next = snapshots.front();
        snapshots.pop_front();
        return next;
    }
    bool terminateProcess(std::uint32_t pid) override {
        calls.push_back("terminate " + std::to_string(pid));
        if (terminateResults.empty()) {
            return true;
        }
        const bool ok = terminateResults.front();
        terminateResults.pop_front();
        return ok;
    }
    bool openFile(const std::string& path) override {
        calls.push_back("open " + path);
        return true;
    }
    void sleepMs(int ms) override { calls.push_back("sleep " + std::to_string(ms)); }
    void debugTrace(const std::string& text) override { trace += text; }
    std::uint32_t ownProcessId() override { return ownPid; }
    std::uint32_t ownPid = 1;

    int count(const std::string& prefix) const {
        int n = 0;
        for (const std::string& c : calls) {
            n += c.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return n;
    }
};

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
};

RunResult run(const std::vector<std::string>& args, FakeSystem& system) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = runUpdater(args, system, out, err);
    return {code, out.str(), err.str()};
}

std::string repeat(const std::string& unit, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) {
        text += unit;
    }
    return text;
}

// --- argument checks -------------------------------------------------------------------------

class WrongArgumentCount : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(WrongArgumentCount, ExitsMinusOneSilentlyAndTouchesNothing) {
    FakeSystem system;
    system.processes = {{10, "FenwixStuDesktop"}};
    const RunResult result = run(GetParam(), system);
    EXPECT_EQ(result.exitCode, -1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(system.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Counts, WrongArgumentCount,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"FenwixStuDesktop.exe"},
                      std::vector<std::string>{"FenwixStuDesktop.exe", "/tmp/setup", "extra"}));

struct LengthCase {
    const char* name;
    std::string imageName;
    std::string installerPath;
    int exitCode;
};

class ArgumentLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(ArgumentLength, LimitIsCountedInUtf16Units) {
    FakeSystem system;
    const LengthCase& c = GetParam();
    const RunResult result = run({c.imageName, c.installerPath}, system);
    EXPECT_EQ(result.exitCode, c.exitCode);
    if (c.exitCode == kExitArgumentTooLong) {
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("longer than 511"), std::string::npos) << result.err;
        EXPECT_TRUE(system.calls.empty());
    } else {
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(system.count("open "), 1);
    }
}

const std::string kCjk = "\xE5\xAE\x89";        // one unit, three bytes
const std::string kEmoji = "\xF0\x9F\x98\x80";  // two units (a surrogate pair), four bytes
const std::string kStrayByte = "\x80";          // malformed: counts as one unit

INSTANTIATE_TEST_SUITE_P(
    Limits, ArgumentLength,
    ::testing::Values(
        LengthCase{"AsciiAtLimit", repeat("a", 511), "/tmp/setup", kExitDone},
        LengthCase{"AsciiOverLimit", repeat("a", 512), "/tmp/setup", kExitArgumentTooLong},
        LengthCase{"PathOverLimit", "abc.exe", "/" + repeat("p", 511), kExitArgumentTooLong},
        LengthCase{"CjkAtLimitIsManyMoreBytes", "abc.exe", repeat(kCjk, 511), kExitDone},
        LengthCase{"CjkOverLimit", "abc.exe", repeat(kCjk, 512), kExitArgumentTooLong},
        LengthCase{"SurrogatePairsAtLimit", repeat(kEmoji, 255) + "a", "/x", kExitDone},
        LengthCase{"SurrogatePairsOverLimit", repeat(kEmoji, 256), "/x", kExitArgumentTooLong},
        LengthCase{"MalformedBytesCountEach", repeat(kStrayByte, 512), "/x", kExitArgumentTooLong},
        LengthCase{"TruncatedSequenceAtEnd", repeat("a", 510) + "\xE5\xAE", "/x",
                   kExitArgumentTooLong}),
    [](const ::testing::TestParamInfo<LengthCase>& info) { return std::string(info.param.name); });

// --- main sequence ---------------------------------------------------------------------------

TEST(UpdaterSequence, PrintsEndsSleepsPrintsOpensSleepsInThatOrder) {
    FakeSystem system;
    system.processes = {{7, "bash"}, {42, "FenwixStuDesktop"}};
    const RunResult result = run({"FenwixStuDesktop.exe", "/tmp/FenwixStuDesktopupdate"}, system);

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "kill exe name FenwixStuDesktop.exe\nstart exe path /tmp/FenwixStuDesktopupdate\n");
    EXPECT_EQ(result.err, "");
    const std::vector<std::string> expected = {"snapshot", "terminate 42", "sleep 500",
                                               "open /tmp/FenwixStuDesktopupdate", "sleep 500"};
    EXPECT_EQ(system.calls, expected);
}

TEST(UpdaterSequence, OpensInstallerWhenNothingMatches) {
    FakeSystem system;
    system.processes = {{7, "bash"}, {9, "FenwixStuDesktopX"}};
    const RunResult result = run({"FenwixStuDesktop.exe", "/tmp/setup"}, system);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(system.count("terminate"), 0);
    EXPECT_EQ(system.count("open /tmp/setup"), 1);
}

TEST(UpdaterSequence, OpensInstallerWhenTerminationKeepsFailing) {
    FakeSystem system;
    system.processes = {{42, "FenwixStuDesktop"}};
    system.terminateResults = {false, false, false, false, false, false};
    const RunResult result = run({"fenwixstudesktop.exe", "/tmp/setup"}, system);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(system.count("open /tmp/setup"), 1);
}

// --- choosing and ending the process ---------------------------------------------------------

TEST(ProcessKiller, EndsFirstCaseInsensitiveMatchAndStopsTheWalkThere) {
    FakeSystem system;
    system.processes = {{3, "init"}, {50, "abc"}, {60, "ABC"}, {70, "zsh"}};
    ProcessKiller killer(system);
    EXPECT_TRUE(killer.killByImageName("ABC.EXE"));
    const std::vector<std::string> expected = {"snapshot", "terminate 50"};
    EXPECT_EQ(system.calls, expected);
    // Every name up to the match goes to the debug output, one per line, and none after it.
    EXPECT_EQ(system.trace, "init\nabc\n");
}

TEST(ProcessKiller, NeverEndsItsOwnProcess) {
    FakeSystem system;
    system.ownPid = 5;
    system.processes = {{5, "FenwixUpdate"}, {9, "FenwixUpdate"}};
    ProcessKiller killer(system);
    EXPECT_TRUE(killer.killByImageName("FenwixUpdate.exe"));
    const std::vector<std::string> expected = {"snapshot", "terminate 9"};
    EXPECT_EQ(system.calls, expected);

    FakeSystem alone;
    alone.ownPid = 5;
    alone.processes = {{5, "FenwixUpdate"}};
    EXPECT_FALSE(ProcessKiller(alone).killByImageName("FenwixUpdate.exe"));
    EXPECT_EQ(alone.count("terminate"), 0);
}

TEST(ProcessKiller, NoMatchOrEmptySnapshotReportsFailureWithoutTerminating) {
    for (const auto& processes : {std::vector<platform::ProcessEntry>{},
                                  std::vector<platform::ProcessEntry>{{1, "abcd"}, {2, "ab"}}}) {
        FakeSystem system;
        system.processes = processes;
        ProcessKiller killer(system);
        EXPECT_FALSE(killer.killByImageName("abc.exe"));
        EXPECT_EQ(system.count("terminate"), 0);
    }
}

struct RetryCase {
    const char* name;
    std::deque<bool> terminateResults;
    int expectedAttempts;
    bool expectedResult;
};

class KillRetries : public ::testing::TestWithParam<RetryCase> {};

TEST_P(KillRetries, AtMostThreeExtraAttemptsAfterAFailedTermination) {
    FakeSystem system;
    system.processes = {{42, "abc"}};
    system.terminateResults = GetParam().terminateResults;
    ProcessKiller killer(system);
    EXPECT_EQ(killer.killByImageName("abc"), GetParam().expectedResult);
    EXPECT_EQ(system.count("terminate"), GetParam().expectedAttempts);
    EXPECT_EQ(system.count("snapshot"), GetParam().expectedAttempts);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, KillRetries,
    ::testing::Values(RetryCase{"FirstAttemptSucceeds", {true}, 1, true},
                      RetryCase{"SecondAttemptSucceedsButReportsFailure", {false, true}, 2, false},
                      RetryCase{"LastExtraAttemptSucceeds", {false, false, false, true}, 4, false},
                      RetryCase{"AllFail", {false, false, false, false, false, false}, 4, false}),
    [](const ::testing::TestParamInfo<RetryCase>& info) { return std::string(info.param.name); });

TEST(ProcessKiller, RetryCounterCarriesOverBetweenCallsUntilItIsExhausted) {
    FakeSystem system;
    ProcessKiller killer(system);
    system.terminateResults = std::deque<bool>(20, false);

    // A failed termination, then the process is gone: one extra attempt is used up.
    system.snapshots = {{{42, "abc"}}, {}};
    EXPECT_FALSE(killer.killByImageName("abc"));
    EXPECT_EQ(system.count("terminate"), 1);

    // Only two extra attempts remain, after which the counter starts again.
    system.processes = {{42, "abc"}};
    system.calls.clear();
    EXPECT_FALSE(killer.killByImageName("abc"));
    EXPECT_EQ(system.count("terminate"), 3);

    system.calls.clear();
    EXPECT_FALSE(killer.killByImageName("abc"));
    EXPECT_EQ(system.count("terminate"), 4);
}

}  // namespace
}  // namespace fenwix::updater
