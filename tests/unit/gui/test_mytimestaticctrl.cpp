// The class clock: its "hh:mm:ss" text of the time since StartClock (the time of day before it),
// its size from the icon, and that without an icon it shows nothing at all.
#include <gtest/gtest.h>

#include <QWidget>
#include <cstdint>
#include <memory>

#include "support_controlpictures.h"
#include "ui/mytimestaticctrl.h"

namespace {

struct ElapsedCase {
    const char* name;
    std::int64_t seconds;
    const char* text;
};

class ClockText : public ::testing::TestWithParam<ElapsedCase> {};

TEST_P(ClockText, FormatsHoursWithinTheDayMinutesAndSeconds) {
    EXPECT_EQ(CMyTimeStaticCtrl::formatElapsed(GetParam().seconds).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Seconds, ClockText,
                         ::testing::Values(ElapsedCase{"Zero", 0, "00:00:00"},
                                           ElapsedCase{"Minute", 59, "00:00:59"},
                                           ElapsedCase{"HourMinuteSecond", 3661, "01:01:01"},
                                           ElapsedCase{"EndOfDay", 86399, "23:59:59"},
                                           ElapsedCase{"NextDay", 86405, "00:00:05"}),
                         [](const auto& info) { return std::string(info.param.name); });

class ClockControl : public ::testing::Test {
protected:
    void SetUp() override {
        icon_ =
            pictures_.write(QStringLiteral("images/tool/time.png"), 72, 62, QColor(60, 80, 110));
        parent_.resize(400, 100);
        parent_.show();
    }

    PictureFolder pictures_;
    QString icon_;
    QWidget parent_;
    std::int64_t now_ = 1700000000;  // 22:13:20 UTC
};

TEST_F(ClockControl, BeforeStartShowsTheTimeOfDayAfterStartTheTimeSinceIt) {
    CMyTimeStaticCtrl clock(&parent_, QRect(0, 0, 72, 62), icon_, true, 65535);
    clock.setClockForTesting([this] { return now_; });
    EXPECT_EQ(clock.elapsedText(), QStringLiteral("22:13:20"));
    EXPECT_FALSE(clock.isRunning());
    clock.StartClock();
    EXPECT_TRUE(clock.isRunning());
    EXPECT_EQ(clock.elapsedText(), QStringLiteral("00:00:00"));
    now_ += 125;
    EXPECT_EQ(clock.elapsedText(), QStringLiteral("00:02:05"));
    clock.StartClock();  // a new class counts from zero again
    EXPECT_EQ(clock.elapsedText(), QStringLiteral("00:00:00"));
}

TEST_F(ClockControl, TicksOnlyWhileItCanBeSeen) {
    CMyTimeStaticCtrl clock(&parent_, QRect(0, 0, 72, 62), icon_, true, 65535);
    EXPECT_FALSE(clock.isTicking()) << "not started";
    clock.StartClock();
    EXPECT_TRUE(clock.isTicking());
    parent_.hide();  // the tool bar leaves with the class
    EXPECT_TRUE(clock.isRunning());
    EXPECT_FALSE(clock.isTicking());
    clock.StartClock();  // a class started while hidden
    EXPECT_FALSE(clock.isTicking());
    parent_.show();
    EXPECT_TRUE(clock.isTicking());
}

TEST_F(ClockControl, IsAHundredPixelsWiderThanItsIconOrTheRectangleWithoutOne) {
    CMyTimeStaticCtrl withIcon(&parent_, QRect(3, 4, 72, 62), icon_, true, 65535);
    EXPECT_EQ(withIcon.geometry(), QRect(3, 4, 172, 62));
    CMyTimeStaticCtrl without(&parent_, QRect(3, 4, 72, 62), QStringLiteral("images/none.png"),
                              true, 65535);
    EXPECT_EQ(without.geometry(), QRect(3, 4, 72, 62));
}

TEST_F(ClockControl, DrawsTheIconThenTheTimeBesideIt) {
    CMyTimeStaticCtrl clock(&parent_, QRect(0, 0, 72, 62), icon_, true, 65535);
    const QImage shown = clock.grab().toImage();
    EXPECT_EQ(shown.pixelColor(36, 31), QColor(60, 80, 110));
    int dark = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 72; x < shown.width(); ++x) {
            dark += qGray(shown.pixel(x, y)) < 100 ? 1 : 0;
        }
    }
    EXPECT_GT(dark, 0);
    EXPECT_EQ(shown.pixelColor(170, 2), QColor(240, 240, 240));
}

TEST_F(ClockControl, WithoutItsIconShowsNothingNotEvenTheTime) {
    // The path not kept: as if the icon were missing.
    CMyTimeStaticCtrl clock(&parent_, QRect(0, 0, 72, 62), icon_, false, 65535);
    clock.StartClock();
    const QImage shown = clock.grab().toImage();
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            ASSERT_EQ(shown.pixelColor(x, y), QColor(240, 240, 240)) << x << "," << y;
        }
    }
}

}  // namespace
