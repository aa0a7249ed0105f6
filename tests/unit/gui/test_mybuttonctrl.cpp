// The image button: which picture each state draws, its size, its background blend, its caption
// and the click it reports.
#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <memory>

#include "service/mainwindowevents.h"
#include "support_controlpictures.h"
#include "support_recordingchannel.h"
#include "ui/mybuttonctrl.h"

namespace {

const QColor kNormal(220, 30, 30);
const QColor kSecond(30, 30, 220);

class ImageButton : public ::testing::Test {
protected:
    void SetUp() override {
        normal_ = pictures_.write(QStringLiteral("images/normal.png"), 40, 30, kNormal);
        second_ = pictures_.write(QStringLiteral("images/second.png"), 40, 30, kSecond);
        parent_.resize(200, 200);
        parent_.show();
    }

    std::unique_ptr<CMyButtonCtrl> make(const QString& second, unsigned id = 3008) {
        return std::make_unique<CMyButtonCtrl>(&parent_, QRect(10, 20, 32, 40), normal_, second,
                                               QString(), id, &channel_);
    }

    PictureFolder pictures_;
    QString normal_;
    QString second_;
    QWidget parent_;
    RecordingChannel channel_;
};

struct StateCase {
    const char* name;
    int state;
    bool secondGiven;
    bool drawsSecond;
};

class ImageButtonState : public ImageButton, public ::testing::WithParamInterface<StateCase> {};

TEST_P(ImageButtonState, DrawsTheStatesPictureOrTheNormalOneWhenItsPathIsEmpty) {
    const StateCase& c = GetParam();
    auto button = make(c.secondGiven ? second_ : QString());
    button->SetState(c.state);
    EXPECT_EQ(button->currentImage(), c.drawsSecond ? second_ : normal_);
    EXPECT_TRUE(near(shownPixel(*button, 20, 15), c.drawsSecond ? kSecond : kNormal));
}

INSTANTIATE_TEST_SUITE_P(States, ImageButtonState,
                         ::testing::Values(StateCase{"NormalState", 0, true, false},
                                           StateCase{"SecondState", 1, true, true},
                                           StateCase{"SecondStateWithoutPicture", 1, false, false},
                                           StateCase{"NormalWithoutSecond", 0, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImageButton, TakesThePicturesSizeOrTheRectangleWhenThePictureIsMissing) {
    auto withPicture = make(second_);
    EXPECT_EQ(withPicture->geometry(), QRect(10, 20, 40, 30));
    CMyButtonCtrl missing(&parent_, QRect(10, 20, 32, 40), QStringLiteral("images/none.png"),
                          QString(), QString(), 3010, &channel_);
    EXPECT_EQ(missing.geometry(), QRect(10, 20, 32, 40));
    EXPECT_TRUE(missing.isVisible());
}

TEST_F(ImageButton, LeftReleaseSendsTheClickWithItsIdOtherButtonsSendNothing) {
    auto button = make(second_, 3008);
    QTest::mouseClick(button.get(), Qt::RightButton);
    QTest::mouseClick(button.get(), Qt::MiddleButton);
    EXPECT_TRUE(channel_.events.empty());
    QTest::mouseClick(button.get(), Qt::LeftButton);
    ASSERT_EQ(channel_.events.size(), 1U);
    EXPECT_EQ(channel_.events[0], (RecordedEvent{WM_CTRL_CLICKED, 3008, 0}));
    EXPECT_TRUE(channel_.posted.empty());
}

TEST_F(ImageButton, WithoutNotifyWindowAClickIsHarmless) {
    CMyButtonCtrl button(&parent_, QRect(0, 0, 32, 40), normal_, QString(), QString(), 3008,
                         nullptr);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(button.state(), 0);
}

TEST_F(ImageButton, HalfTransparentPictureBlendsOnceWithTheBackgroundColour) {
    const QString half =
        pictures_.write(QStringLiteral("images/half.png"), 40, 30, QColor(200, 0, 0, 128));
    CMyButtonCtrl button(&parent_, QRect(0, 0, 32, 40), half, QString(), QString(), 3003,
                         &channel_);
    button.SetBackground(QColor(240, 240, 240));
    EXPECT_TRUE(button.hasBackground());
    // 200 × 128/255 + 240 × (1 − 128/255): premultiplying twice would give far less red.
    const QColor expected(100 + 240 * 127 / 255, 240 * 127 / 255, 240 * 127 / 255);
    EXPECT_TRUE(near(shownPixel(button, 20, 15), expected, 3))
        << shownPixel(button, 20, 15).name().toStdString();
}

TEST_F(ImageButton, CaptionIsDrawnCentredOverThePicture) {
    const QString white = pictures_.write(QStringLiteral("images/white.png"), 120, 40, Qt::white);
    CMyButtonCtrl button(&parent_, QRect(0, 0, 120, 40), white, QString(), QString(), 3008,
                         &channel_);
    auto darkPixels = [&button](int x0, int x1) {
        const QImage shown = button.grab().toImage();
        int dark = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = x0; x < x1; ++x) {
                dark += qGray(shown.pixel(x, y)) < 128 ? 1 : 0;
            }
        }
        return dark;
    };
    EXPECT_EQ(darkPixels(0, 120), 0);
    button.setWindowTitle(QStringLiteral("II"));
    EXPECT_GT(darkPixels(50, 70), 0);   // the middle
    EXPECT_EQ(darkPixels(0, 30), 0);    // not at the left
    EXPECT_EQ(darkPixels(90, 120), 0);  // nor at the right
}

}  // namespace
