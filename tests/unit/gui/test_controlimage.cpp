// Pictures of the controls: 32-bit pictures are premultiplied once, with integer arithmetic, so
// they blend with what is behind them; others are drawn as they are.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include "ui/controlimage.h"

namespace {

struct PremultiplyCase {
    const char* name;
    QRgb straight;
    QRgb expected;  // as stored in the premultiplied image
};

class Premultiply : public ::testing::TestWithParam<PremultiplyCase> {};

TEST_P(Premultiply, EachColourValueBecomesValueTimesAlphaOver255) {
    const PremultiplyCase& c = GetParam();
    QImage image(2, 2, QImage::Format_ARGB32);
    image.fill(c.straight);
    const QImage result = premultiplied(image);
    EXPECT_EQ(result.format(), QImage::Format_ARGB32_Premultiplied);
    const QRgb pixel = reinterpret_cast<const QRgb*>(result.constScanLine(1))[1];
    EXPECT_EQ(qRed(pixel), qRed(c.expected));
    EXPECT_EQ(qGreen(pixel), qGreen(c.expected));
    EXPECT_EQ(qBlue(pixel), qBlue(c.expected));
    EXPECT_EQ(qAlpha(pixel), qAlpha(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Pixels, Premultiply,
    ::testing::Values(PremultiplyCase{"Half", qRgba(200, 100, 50, 128), qRgba(100, 50, 25, 128)},
                      // 255 × 254 / 255 = 254, 1 × 254 / 255 truncates to 0
                      PremultiplyCase{"Truncates", qRgba(255, 1, 128, 254),
                                      qRgba(254, 0, 127, 254)},
                      PremultiplyCase{"Opaque", qRgba(12, 34, 56, 255), qRgba(12, 34, 56, 255)},
                      PremultiplyCase{"Clear", qRgba(255, 255, 255, 0), qRgba(0, 0, 0, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ControlImage, PicturesWithoutAlphaAreDrawnAsRead) {
    QImage image(3, 3, QImage::Format_RGB32);
    image.fill(QColor(10, 20, 30));
    const QImage result = premultiplied(image);
    EXPECT_EQ(result.format(), QImage::Format_RGB32);
    EXPECT_EQ(result.pixel(1, 1), image.pixel(1, 1));
}

TEST(ControlImage, LoadsFromFileAndGivesNothingForMissingOrEmptyPaths) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(qRgba(200, 100, 50, 128));
    const QString file = dir.filePath(QStringLiteral("half.png"));
    ASSERT_TRUE(image.save(file));
    const QImage loaded = loadControlImage(file);
    ASSERT_FALSE(loaded.isNull());
    EXPECT_EQ(loaded.size(), QSize(4, 3));
    EXPECT_EQ(qRed(reinterpret_cast<const QRgb*>(loaded.constScanLine(0))[0]), 100);
    EXPECT_TRUE(loadControlImage(dir.filePath(QStringLiteral("missing.png"))).isNull());
    EXPECT_TRUE(loadControlImage(QString()).isNull());
}

}  // namespace
