// The about page draws what it can find: the logo, then the product picture and the version
// line below it; a missing picture leaves the rest blank instead of failing.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include "ui/tababoutdlg.h"

namespace {

struct AboutCase {
    const char* name;
    bool logo;
    bool product;
    bool logoDrawn, productDrawn, textDrawn;
};

class AboutPage : public ::testing::TestWithParam<AboutCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        previous_ = QDir::currentPath();
        ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("images/main")));
        ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    }
    void TearDown() override { QDir::setCurrent(previous_); }

    static void picture(const char* path, QSize size, QColor colour) {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(QString::fromLatin1(path)));
    }

    // Whether the region holds any pixel unlike the page's top-left corner (the background).
    static bool drawnIn(const QImage& page, QRect region) {
        const QRgb background = page.pixel(0, 0);
        for (int y = region.top(); y <= region.bottom(); ++y) {
            for (int x = region.left(); x <= region.right(); ++x) {
                if (page.pixel(x, y) != background) {
                    return true;
                }
            }
        }
        return false;
    }

    QTemporaryDir dir_;
    QString previous_;
};

TEST_P(AboutPage, DrawsTheLogoThenTheProductPictureAndTheVersionLine) {
    const AboutCase& c = GetParam();
    if (c.logo) {
        picture("images/main/logo.png", {100, 40}, QColor(200, 30, 30));
    }
    if (c.product) {
        picture("images/main/tarnix.png", {50, 10}, QColor(30, 30, 200, 255));
    }
    CTabAboutDlg page;
    page.resize(800, 500);
    const QImage shot = page.grab().toImage();
    // Logo: 100 x 40 centred at top 50; product: 500 x 100 from 50 below it; text: 140 below.
    EXPECT_EQ(drawnIn(shot, {350, 50, 100, 40}), c.logoDrawn);
    EXPECT_EQ(drawnIn(shot, {150, 140, 500, 100}), c.productDrawn);
    EXPECT_EQ(drawnIn(shot, {135, 280, 530, 50}), c.textDrawn);
}

INSTANTIATE_TEST_SUITE_P(Pictures, AboutPage,
                         ::testing::Values(AboutCase{"Both", true, true, true, true, true},
                                           AboutCase{"NoProduct", true, false, true, false, false},
                                           AboutCase{"NoLogo", false, true, false, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
