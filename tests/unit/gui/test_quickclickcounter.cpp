// The five-quick-clicks rule of the student picture, driven with explicit wall-clock times.
#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <vector>

#include "app/quickclickcounter.h"

namespace {

struct ClickCase {
    const char* name;
    std::vector<std::int64_t> times;  // wall clock of each click, ms
    int closingClick;                 // 1-based index of the click that closes; 0: none
};

// Readable parameter names in test listings.
void PrintTo(const ClickCase& c, std::ostream* os) {
    *os << c.name;
}

class QuickClicks : public ::testing::TestWithParam<ClickCase> {};

TEST_P(QuickClicks, CloseOnlyOnTheFifthQuickClick) {
    const auto& c = GetParam();
    CQuickClickCounter counter;
    int closedAt = 0;
    for (std::size_t i = 0; i < c.times.size(); ++i) {
        if (counter.click(c.times[i]) && closedAt == 0) {
            closedAt = static_cast<int>(i) + 1;
        }
    }
    EXPECT_EQ(closedAt, c.closingClick) << c.name;
}

const std::int64_t t0 = 1'765'000'000'000;  // a realistic wall-clock value

INSTANTIATE_TEST_SUITE_P(
    Table, QuickClicks,
    ::testing::Values(
        ClickCase{"five clicks 200 ms apart", {t0, t0 + 200, t0 + 400, t0 + 600, t0 + 800}, 5},
        ClickCase{"four clicks are not enough", {t0, t0 + 100, t0 + 200, t0 + 300}, 0},
        ClickCase{"999 ms gaps still count", {t0, t0 + 999, t0 + 1998, t0 + 2997, t0 + 3996}, 5},
        ClickCase{
            "a 1000 ms gap resets the count", {t0, t0 + 100, t0 + 200, t0 + 300, t0 + 1300}, 0},
        // The click after the pause only resets; five more quick clicks are needed.
        ClickCase{"the count starts again after a pause",
                  {t0, t0 + 100, t0 + 1200, t0 + 1300, t0 + 1400, t0 + 1500, t0 + 1600, t0 + 1700},
                  8},
        ClickCase{"the elapsed time is measured from the previous click, not the first",
                  {t0, t0 + 900, t0 + 1800, t0 + 2700, t0 + 3600},
                  5},
        ClickCase{"after closing the count starts from zero",
                  {t0, t0 + 10, t0 + 20, t0 + 30, t0 + 40, t0 + 50, t0 + 60},
                  5}));

TEST(QuickClickCounter, CountsAgainFromZeroAfterClosing) {
    CQuickClickCounter counter;
    std::int64_t t = t0;
    for (int i = 0; i < 5; ++i) {
        counter.click(t += 50);
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(counter.click(t += 50));
    }
    EXPECT_TRUE(counter.click(t += 50));
}

}  // namespace
