// The level meter: the level formula over 16-bit blocks, the bar it draws, and feeding from a
// capture thread, which must only hand the repaint to the UI thread.
#include <gtest/gtest.h>

#include <QEvent>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "support_controlpictures.h"
#include "support_spin.h"
#include "ui/myscreenctrl.h"
#include "ui/myspectrumctrl.h"

namespace {

std::vector<unsigned char> block(const std::vector<std::int16_t>& samples) {
    std::vector<unsigned char> bytes;
    for (std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        bytes.push_back(static_cast<unsigned char>(u & 0xff));
        bytes.push_back(static_cast<unsigned char>(u >> 8));
    }
    return bytes;
}

std::vector<std::int16_t> repeated(std::vector<std::int16_t> pattern, int times) {
    std::vector<std::int16_t> out;
    for (int i = 0; i < times; ++i) {
        out.insert(out.end(), pattern.begin(), pattern.end());
    }
    return out;
}

// `periods` whole periods of a sine, `perPeriod` samples each.
std::vector<std::int16_t> sine(double amplitude, int perPeriod, int periods) {
    std::vector<std::int16_t> out;
    for (int i = 0; i < perPeriod * periods; ++i) {
        out.push_back(static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * M_PI * i / perPeriod))));
    }
    return out;
}

struct LevelCase {
    const char* name;
    std::vector<unsigned char> bytes;
    int level;
};

class SpectrumLevel : public ::testing::TestWithParam<LevelCase> {};

TEST_P(SpectrumLevel, IsTwentyLog10OfTheMeanMagnitudeTruncated) {
    const LevelCase& c = GetParam();
    EXPECT_EQ(CMySpectrumCtrl::levelOf(c.bytes.data(), c.bytes.size()), c.level);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, SpectrumLevel,
    ::testing::Values(
        LevelCase{"Silence", block(repeated({0, 0}, 100)), 0},
        LevelCase{"FullScaleSquare", block(repeated({32767, -32768}, 100)), 90},
        LevelCase{"MostNegativeCountsAsItsMagnitude", block(repeated({-32768}, 10)), 90},
        LevelCase{"MeanOfOne", block(repeated({1, -1}, 10)), 0},
        LevelCase{"BelowOneIsNegative", block(repeated({0, 1}, 10)), -6},
        LevelCase{"FortyFive", block(repeated({178, -178}, 50)), 45},
        // A sine of amplitude A has the mean magnitude 2A/pi: 20 log10(20000/pi) = 76.08.
        LevelCase{"SineOfAmplitude10000", block(sine(10000, 100, 8)), 76},
        LevelCase{"OddTrailingByteIgnored", std::vector<unsigned char>{0x10, 0x00, 0xff}, 24},
        LevelCase{"Empty", std::vector<unsigned char>{}, 0},
        LevelCase{"SingleByte", std::vector<unsigned char>{0x7f}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SpectrumLevel, NullBlockIsSilence) {
    EXPECT_EQ(CMySpectrumCtrl::levelOf(nullptr, 64), 0);
}

class LevelMeter : public ::testing::Test {
protected:
    void SetUp() override {
        parent_.resize(300, 100);
        parent_.show();
        meter_ = std::make_unique<CMySpectrumCtrl>(&parent_, QRect(10, 10, 200, 20), 1000);
    }

    QWidget parent_;
    std::unique_ptr<CMySpectrumCtrl> meter_;
};

TEST_F(LevelMeter, SilenceShowsAnEmptyWhiteBoxWithABlackFrame) {
    const auto silence = block(repeated({0, 0}, 64));
    meter_->Feed(silence.data(), silence.size());
    const QImage shown = meter_->grab().toImage();
    EXPECT_EQ(meter_->windowTitle(), QString::fromUtf8("频谱"));
    EXPECT_EQ(shown.pixelColor(0, 10), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(199, 10), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(100, 0), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(5, 10), QColor(Qt::white));
    EXPECT_EQ(shown.pixelColor(150, 10), QColor(Qt::white));
}

TEST_F(LevelMeter, LevelFortyFiveFillsFortyFivePercentFromTheLeft) {
    const auto sound = block(repeated({178, -178}, 64));
    meter_->Feed(sound.data(), sound.size());
    EXPECT_EQ(meter_->level(), 45);
    const QImage shown = meter_->grab().toImage();
    const QColor green(0, 157, 20);
    EXPECT_EQ(shown.pixelColor(0, 10), green);
    EXPECT_EQ(shown.pixelColor(89, 10), green);  // 45 % of 200 is 90 pixels
    EXPECT_EQ(shown.pixelColor(90, 10), QColor(Qt::white));
}

TEST_F(LevelMeter, NegativeLevelDrawsNoBarAndClearKeepsTheLevel) {
    const auto faint = block(repeated({0, 1}, 64));
    meter_->Feed(faint.data(), faint.size());
    EXPECT_LT(meter_->level(), 0);
    EXPECT_EQ(meter_->grab().toImage().pixelColor(2, 10), QColor(Qt::white));
    const auto loud = block(repeated({178, -178}, 64));
    meter_->Feed(loud.data(), loud.size());
    meter_->Clear();
    EXPECT_EQ(meter_->level(), 45);
}

// Records which thread paints the meter.
class PaintWatch : public QObject {
public:
    std::atomic<int> paints{0};
    std::atomic<bool> offUiThread{false};

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            offUiThread = offUiThread || QThread::currentThread() != qApp->thread();
        }
        return false;
    }
};

TEST_F(LevelMeter, FeedFromACaptureThreadRepaintsOnTheUiThread) {
    PaintWatch watch;
    meter_->installEventFilter(&watch);
    QCoreApplication::processEvents();
    watch.paints = 0;
    std::thread capture([this] {
        const auto sound = block(repeated({178, -178}, 5512));
        for (int i = 0; i < 50; ++i) {
            meter_->Feed(sound.data(), sound.size());
            meter_->Clear();
        }
    });
    capture.join();
    ASSERT_TRUE(spinUntil([&watch] { return watch.paints > 0; }));
    EXPECT_FALSE(watch.offUiThread);
    EXPECT_EQ(meter_->level(), 45);
}

TEST(ScreenImage, IsSizedToItsPictureAndDrawsIt) {
    PictureFolder pictures;
    const QString path =
        pictures.write(QStringLiteral("images/main/pic.png"), 30, 20, QColor(10, 200, 30));
    QWidget parent;
    parent.resize(100, 100);
    parent.show();
    CMyScreenCtrl picture(&parent, path, 7);
    EXPECT_EQ(picture.size(), QSize(30, 20));
    EXPECT_EQ(picture.image(), path);
    EXPECT_TRUE(near(shownPixel(picture, 15, 10), QColor(10, 200, 30)));
}

}  // namespace
