// The message bar: created hidden; shows a text; hides itself after its period only when asked
// to, a new message restarting the period; drawn as white text on black inset by 20 pixels.
#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <memory>

#include "support_controlpictures.h"
#include "support_spin.h"
#include "ui/mymsgtipctrl.h"

namespace {

class MessageBar : public ::testing::Test {
protected:
    void SetUp() override {
        parent_.resize(600, 200);
        parent_.show();
        bar_ = std::make_unique<CMyMsgTipCtrl>(&parent_, QRect(10, 100, 540, 50), 17);
    }

    QWidget parent_;
    std::unique_ptr<CMyMsgTipCtrl> bar_;
};

TEST_F(MessageBar, IsCreatedHiddenWithItsRectangle) {
    EXPECT_FALSE(bar_->isVisible());
    EXPECT_EQ(bar_->geometry(), QRect(10, 100, 540, 50));
    EXPECT_EQ(bar_->id(), 17U);
}

TEST_F(MessageBar, WithoutAutoHideStaysUntilHiddenFromOutside) {
    bar_->setHidePeriodForTesting(30);
    bar_->ShowMessage(QString::fromUtf8("正在进入教室，请耐心等待"), false);
    EXPECT_TRUE(bar_->isVisible());
    EXPECT_EQ(bar_->text(), QString::fromUtf8("正在进入教室，请耐心等待"));
    EXPECT_FALSE(bar_->isHideTimerActive());
    QTest::qWait(150);
    EXPECT_TRUE(bar_->isVisible());
    bar_->hide();
    EXPECT_FALSE(bar_->isVisible());
}

TEST_F(MessageBar, WithAutoHideHidesAfterThePeriodAndStopsItsTimer) {
    bar_->setHidePeriodForTesting(60);
    bar_->ShowMessage(QStringLiteral("a"), true);
    EXPECT_TRUE(bar_->isVisible());
    EXPECT_TRUE(bar_->isHideTimerActive());
    ASSERT_TRUE(spinUntil([this] { return !bar_->isVisible(); }, 2000));
    EXPECT_FALSE(bar_->isHideTimerActive());
}

TEST_F(MessageBar, NewMessageRestartsThePeriod) {
    bar_->setHidePeriodForTesting(300);
    QElapsedTimer clock;
    clock.start();
    bar_->ShowMessage(QStringLiteral("first"), true);
    QTest::qWait(200);
    bar_->ShowMessage(QStringLiteral("second"), true);
    const qint64 restartedAt = clock.elapsed();
    ASSERT_TRUE(spinUntil([this] { return !bar_->isVisible(); }, 3000));
    EXPECT_GE(clock.elapsed(), restartedAt + 290);
    EXPECT_EQ(bar_->text(), QStringLiteral("second"));
}

TEST_F(MessageBar, MessageWithoutAutoHideCancelsAPendingHide) {
    bar_->setHidePeriodForTesting(50);
    bar_->ShowMessage(QStringLiteral("brief"), true);
    bar_->ShowMessage(QStringLiteral("stays"), false);
    QTest::qWait(200);
    EXPECT_TRUE(bar_->isVisible());
}

TEST_F(MessageBar, RealPeriodIsThreeSeconds) {
    EXPECT_EQ(bar_->hidePeriodMs(), 3000);
    bar_->ShowMessage(QStringLiteral("x"), true);
    QTest::qWait(2500);
    EXPECT_TRUE(bar_->isVisible());
    ASSERT_TRUE(spinUntil([this] { return !bar_->isVisible(); }, 2000));
}

TEST_F(MessageBar, DrawsWhiteTextOnBlackInsetByTwentyPixels) {
    bar_->ShowMessage(QStringLiteral("MMMMMMMM"), false);
    const QImage shown = bar_->grab().toImage();
    auto lightPixels = [&shown](int x0, int x1) {
        int light = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = x0; x < x1; ++x) {
                light += qGray(shown.pixel(x, y)) > 128 ? 1 : 0;
            }
        }
        return light;
    };
    EXPECT_EQ(shown.pixelColor(5, 25), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(535, 2), QColor(Qt::black));
    EXPECT_EQ(lightPixels(0, 20), 0);
    EXPECT_GT(lightPixels(20, 60), 0);
    EXPECT_EQ(lightPixels(520, 540), 0);
    // Vertically centred: nothing in the top and bottom rows.
    int edgeLight = 0;
    for (int x = 0; x < shown.width(); ++x) {
        edgeLight += qGray(shown.pixel(x, 0)) > 128 ? 1 : 0;
        edgeLight += qGray(shown.pixel(x, shown.height() - 1)) > 128 ? 1 : 0;
    }
    EXPECT_EQ(edgeLight, 0);
}

}  // namespace
