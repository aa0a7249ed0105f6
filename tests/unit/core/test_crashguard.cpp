// How earlier runs ended decides whether a start is in safe mode: a table of run histories,
// each run ended one way, then the start under test.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "service/crashguard.h"
#include "support/tempfolder.h"

namespace {

struct History {
    const char* name;
    // One letter per earlier run: k killed or crashed, h ended by the update hand-over,
    // q deliberate exit, c killed after its clean-run timer fired, u killed after an update to
    // another version, w killed after waiting longer than the crash window.
    const char* runs;
    int crashes;  // counted by the start under test
    bool safeMode;
};

class CrashGuardHistory : public ::testing::TestWithParam<History> {
protected:
    CrashGuard start(const std::string& version) {
        CrashGuard guard(folder_.path() + "ini", version, [this] { return now_; });
        guard.begin();
        return guard;
    }

    TempFolder folder_;
    std::int64_t now_ = 1'800'000'000;
};

TEST_P(CrashGuardHistory, StartAfterTheseRuns) {
    std::string version = "1";
    for (const char* run = GetParam().runs; *run != '\0'; ++run) {
        CrashGuard guard = start(version);
        now_ += 20;
        switch (*run) {
            case 'h':
                guard.markHandOver();
                break;
            case 'q':
                guard.markDeliberateExit();
                break;
            case 'c':
                guard.markCleanRun();
                break;
            case 'u':
                version += "+";
                break;
            case 'w':
                now_ += CrashGuard::kCrashWindowSeconds;
                break;
            default:
                break;  // killed: the record still says running
        }
    }
    const CrashGuard guard = start(version);
    EXPECT_EQ(guard.recentCrashes(), GetParam().crashes);
    EXPECT_EQ(guard.safeMode(), GetParam().safeMode);
}

INSTANTIATE_TEST_SUITE_P(Runs, CrashGuardHistory,
                         ::testing::Values(History{"FirstStart", "", 0, false},
                                           History{"TwoCrashes", "kk", 2, false},
                                           History{"ThreeCrashes", "kkk", 3, true},
                                           History{"HandOversAreNoCrashes", "hhhh", 0, false},
                                           History{"DeliberateExitsAreNoCrashes", "qqq", 0, false},
                                           History{"ExitBetweenCrashesKeepsThem", "kqkk", 3, true},
                                           History{"CrashWindowPasses", "kkwk", 2, false},
                                           History{"CleanRunForgetsCrashes", "kkck", 2, false},
                                           History{"UpdateForgetsCrashes", "kkuk", 1, false},
                                           History{"SafeModeKeepsCrashing", "kkkk", 4, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CrashGuard, DamagedRecordMakesNoCrashUp) {
    TempFolder folder;
    folder.write("ini/runstate", std::string("state=run\0\xff\ncrashes=x,,12a\n", 27));
    CrashGuard guard(folder.path() + "ini", "1", [] { return std::int64_t{100}; });
    guard.begin();
    EXPECT_EQ(guard.recentCrashes(), 0);
    EXPECT_FALSE(guard.safeMode());
}

TEST(CrashGuard, EnvironmentForcesSafeMode) {
    TempFolder folder;
    ::setenv(CrashGuard::kSafeModeVariable, "1", 1);
    CrashGuard guard(folder.path() + "ini", "1", [] { return std::int64_t{100}; });
    guard.begin();
    ::unsetenv(CrashGuard::kSafeModeVariable);
    EXPECT_TRUE(guard.safeMode());
    EXPECT_EQ(guard.recentCrashes(), 0);
}

}  // namespace
