// The enter-class countdown button: the captions of a whole countdown, the end notice half a
// period after the button returns to rest, clicks ignored while counting, the colours, and the
// real periods.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEvent>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <vector>

#include "service/mainwindowevents.h"
#include "support/logcapture.h"
#include "support_controlpictures.h"
#include "support_recordingchannel.h"
#include "support_spin.h"
#include "ui/mytimerbuttonctrl.h"

namespace {

const QString kRest = QString::fromUtf8("进入课程");

QString counting(int n) {
    return QString::fromUtf8("%1秒后可重新进入").arg(n);
}

// Records the caption at every paint, i.e. what a person saw.
class CaptionRecorder : public QObject {
public:
    std::vector<QString> seen;
    CMyTimerButtonCtrl* button = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched == button) {
            if (seen.empty() || seen.back() != button->caption()) {
                seen.push_back(button->caption());
            }
        }
        return false;
    }
};

class CountdownButton : public ::testing::Test {
protected:
    void SetUp() override {
        parent_.resize(300, 100);
        button_ =
            std::make_unique<CMyTimerButtonCtrl>(&parent_, QRect(10, 10, 230, 65), 3011, &channel_);
        parent_.show();
        recorder_.button = button_.get();
        button_->installEventFilter(&recorder_);
    }

    std::size_t timeouts() const {
        std::size_t n = 0;
        for (const auto& e : channel_.events) {
            n += e == RecordedEvent{WM_NOTICE, NOTICE_ENTER_TIMEOUT, 0} ? 1 : 0;
        }
        return n;
    }

    LogCapture log_;
    QWidget parent_;
    RecordingChannel channel_;
    std::unique_ptr<CMyTimerButtonCtrl> button_;
    CaptionRecorder recorder_;
};

TEST_F(CountdownButton, RunsFromSixtyToOneThenRestsAndReportsTheEndHalfAPeriodLater) {
    constexpr int kTick = 10;
    constexpr int kEnd = 150;  // long enough to see the rest caption before the notice
    button_->setPeriodsForTesting(kTick, kEnd);
    QString captionAtNotice;
    bool runningAtNotice = true;
    channel_.onSend = [&](unsigned msg, std::uintptr_t, std::intptr_t) {
        if (msg == WM_NOTICE) {
            captionAtNotice = button_->caption();
            runningAtNotice = button_->isCountingDown();
        }
    };
    QElapsedTimer clock;
    clock.start();
    button_->StartCountdown();
    EXPECT_TRUE(button_->isCountingDown());
    EXPECT_EQ(button_->caption(), kRest);  // the first step comes one period later
    ASSERT_TRUE(spinUntil([this] { return timeouts() > 0; }, 10000));
    // 60 steps showing 60..1, a 61st that stops, then the end delay.
    EXPECT_GE(clock.elapsed(), 61 * kTick + kEnd);
    std::vector<QString> expected;
    expected.push_back(kRest);
    for (int n = 60; n >= 1; --n) {
        expected.push_back(counting(n));
    }
    expected.push_back(kRest);
    EXPECT_EQ(recorder_.seen, expected);
    EXPECT_EQ(captionAtNotice, kRest);
    EXPECT_FALSE(runningAtNotice);
    EXPECT_EQ(button_->counter(), CMyTimerButtonCtrl::kStartValue);
    // The notice is sent once, and nothing else.
    QTest::qWait(5 * kTick);
    EXPECT_EQ(channel_.events.size(), 1U);
    EXPECT_EQ(timeouts(), 1U);
    EXPECT_FALSE(button_->isTimerActive(CMyTimerButtonCtrl::TIMER_TICK));
    EXPECT_FALSE(button_->isTimerActive(CMyTimerButtonCtrl::TIMER_END));
    EXPECT_EQ(log_.count("开始登录"), 1U);
    EXPECT_EQ(log_.count("停止登录"), 1U);
}

TEST_F(CountdownButton, StoppedCountdownRestsAndNeverReportsAnEnd) {
    button_->setPeriodsForTesting(10, 10);
    button_->StartCountdown();
    ASSERT_TRUE(spinUntil([this] { return button_->counter() <= 55; }));
    button_->StopCountdown();
    EXPECT_FALSE(button_->isCountingDown());
    EXPECT_EQ(button_->caption(), kRest);
    EXPECT_EQ(button_->counter(), 60);
    QTest::qWait(100);
    EXPECT_EQ(button_->caption(), kRest);
    EXPECT_EQ(timeouts(), 0U);
    EXPECT_TRUE(log_.contains("停止登录"));
}

TEST_F(CountdownButton, StartingAgainCountsFromSixtyAgain) {
    button_->setPeriodsForTesting(10, 10);
    button_->StartCountdown();
    ASSERT_TRUE(spinUntil([this] { return button_->counter() <= 50; }));
    button_->StartCountdown();
    EXPECT_EQ(button_->counter(), 60);
    recorder_.seen.clear();
    auto sawSixty = [this] {
        return std::find(recorder_.seen.begin(), recorder_.seen.end(), counting(60)) !=
               recorder_.seen.end();
    };
    ASSERT_TRUE(spinUntil(sawSixty));
    EXPECT_EQ(timeouts(), 0U);
}

TEST_F(CountdownButton, CountdownStartedDuringTheEndDelayIsNotEndedByTheOldNotice) {
    button_->setPeriodsForTesting(5, 300);
    button_->StartCountdown();
    ASSERT_TRUE(
        spinUntil([this] { return button_->isTimerActive(CMyTimerButtonCtrl::TIMER_END); }));
    button_->setPeriodsForTesting(1000, 300);  // the new countdown runs long
    button_->StartCountdown();
    QTest::qWait(500);
    EXPECT_EQ(timeouts(), 0U);
    EXPECT_TRUE(button_->isCountingDown());
    button_->StopCountdown();
}

TEST_F(CountdownButton, ClickAtRestIsReportedClickWhileCountingIsIgnored) {
    QTest::mouseClick(button_.get(), Qt::LeftButton);
    ASSERT_EQ(channel_.events.size(), 1U);
    EXPECT_EQ(channel_.events[0], (RecordedEvent{WM_CTRL_CLICKED, 3011, 0}));
    button_->StartCountdown();
    QTest::mouseClick(button_.get(), Qt::LeftButton);
    EXPECT_EQ(channel_.events.size(), 1U);
    button_->StopCountdown();
    QTest::mouseClick(button_.get(), Qt::RightButton);
    EXPECT_EQ(channel_.events.size(), 1U);
    QTest::mouseClick(button_.get(), Qt::LeftButton);
    EXPECT_EQ(channel_.events.size(), 2U);
}

TEST_F(CountdownButton, GreenAtRestLightGreenWhileCountingRoundedCorners) {
    // Left edge, half way down: inside the rounded rectangle, away from the caption.
    EXPECT_TRUE(near(shownPixel(*button_, 4, 32), QColor(177, 213, 9)));
    EXPECT_FALSE(near(shownPixel(*button_, 0, 0), QColor(177, 213, 9), 40));  // corner cut off
    button_->StartCountdown();
    EXPECT_TRUE(near(shownPixel(*button_, 4, 32), QColor(216, 233, 147)));
    button_->StopCountdown();
    EXPECT_TRUE(near(shownPixel(*button_, 4, 32), QColor(177, 213, 9)));
}

TEST_F(CountdownButton, RealPeriodsAreOneSecondStepsAndAHalfSecondEnd) {
    EXPECT_EQ(button_->tickPeriodMs(), 1000);
    EXPECT_EQ(button_->endDelayMs(), 500);
    QElapsedTimer clock;
    clock.start();
    button_->StartCountdown();
    ASSERT_TRUE(spinUntil([this] { return button_->caption() == counting(60); }, 3000));
    EXPECT_GE(clock.elapsed(), 990);
    EXPECT_EQ(button_->counter(), 59);
    button_->StopCountdown();
}

}  // namespace
