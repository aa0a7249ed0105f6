// The notice windows: their fixed texts and captions, the offline notice's painting, and the
// tips' modal showing ended by their button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>

#include "ui/offlinedlg.h"
#include "ui/tip1dlg.h"
#include "ui/tipdlg.h"

namespace {

const QColor kDark(20, 20, 20);

// ---- the tips ----

struct TipCase {
    const char* label;
    std::function<std::unique_ptr<QDialog>()> make;
    const char* caption;
    bool frameless;
    std::vector<const char*> labels;  // texts of the static texts, top to bottom
};

class TipWindow : public ::testing::TestWithParam<TipCase> {};

TEST_P(TipWindow, ShowsItsTextsAndAClosingButtonInsideTheWindow) {
    const TipCase& c = GetParam();
    auto dialog = c.make();
    dialog->show();
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(c.caption));
    EXPECT_EQ(dialog->windowFlags().testFlag(Qt::FramelessWindowHint), c.frameless);

    const auto labels = dialog->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), static_cast<qsizetype>(c.labels.size()));
    int lastTop = -1;
    for (qsizetype i = 0; i < labels.size(); ++i) {
        EXPECT_EQ(labels[i]->text(), QString::fromUtf8(c.labels[i]));
        EXPECT_GT(labels[i]->geometry().top(), lastTop);
        EXPECT_TRUE(dialog->rect().contains(labels[i]->geometry())) << c.labels[i];
        lastTop = labels[i]->geometry().top();
    }
    const auto buttons = dialog->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text(), QStringLiteral("关闭"));
    EXPECT_TRUE(dialog->rect().contains(buttons[0]->geometry()));
    EXPECT_GT(buttons[0]->geometry().top(), lastTop);  // below the texts
}

TEST_P(TipWindow, ItsButtonEndsTheModalShowingAsOk) {
    auto dialog = GetParam().make();
    QTimer::singleShot(0, dialog.get(),
                       [&] { dialog->findChildren<QPushButton*>().at(0)->click(); });
    EXPECT_EQ(dialog->exec(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Tips, TipWindow,
                         ::testing::Values(TipCase{"device_tip",
                                                   [] { return std::make_unique<CTipDlg>(); },
                                                   "芬维提示",
                                                   false,
                                                   {"请打开您的麦克风和音响"}},
                                           TipCase{"update_failure_tip",
                                                   [] { return std::make_unique<CTip1Dlg>(); },
                                                   "系统升级",
                                                   true,
                                                   {"系统升级",
                                                    "系统升级失败，请检测网络后，重新更新"}}),
                         [](const auto& info) { return std::string(info.param.label); });

// ---- the offline notice ----

struct Painted {
    bool onlyDark = true;
    bool brightInMargins = false;
    QRect bright;  // bounding box of the near-white pixels
};

Painted paint(COfflineDlg& notice) {
    const QImage image = notice.grab().toImage().convertToFormat(QImage::Format_RGB32);
    Painted out;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c != kDark) {
                out.onlyDark = false;
            }
            if (c.red() > 200 && c.green() > 200 && c.blue() > 200) {
                out.bright = out.bright.united(QRect(x, y, 1, 1));
                if (x < COfflineDlg::kTextMargin || x >= image.width() - COfflineDlg::kTextMargin) {
                    out.brightInMargins = true;
                }
            }
        }
    }
    return out;
}

TEST(OfflineNotice, AnEmptyTextPaintsOnlyTheDarkBackground) {
    COfflineDlg notice(nullptr);
    EXPECT_TRUE(paint(notice).onlyDark);
    notice.SetText(QStringLiteral("网络已断开"));
    notice.SetText(QString());
    EXPECT_TRUE(paint(notice).onlyDark);  // the old text is gone again
}

TEST(OfflineNotice, TheTextIsWhiteOnOneLineCentredInTheWindow) {
    COfflineDlg notice(nullptr);
    notice.SetText(QStringLiteral("网络连接已断开，请检查网络"));
    EXPECT_EQ(notice.text(), QStringLiteral("网络连接已断开，请检查网络"));
    const Painted painted = paint(notice);
    ASSERT_FALSE(painted.bright.isEmpty());
    const QPoint middle = notice.rect().center();
    EXPECT_NEAR(painted.bright.center().x(), middle.x(), 3);
    EXPECT_NEAR(painted.bright.center().y(), middle.y(), 4);
    EXPECT_LT(painted.bright.height(), notice.height() / 2 + 8);  // one line of 16-point text
    EXPECT_FALSE(painted.brightInMargins);
}

TEST(OfflineNotice, ATooLongTextStaysOutOfTheMarginsOnOneLine) {
    COfflineDlg notice(nullptr);
    notice.SetText(QString(200, QChar(0x7F51)));  // far wider than the window
    const Painted painted = paint(notice);
    ASSERT_FALSE(painted.bright.isEmpty());
    EXPECT_FALSE(painted.brightInMargins);
    EXPECT_LT(painted.bright.height(), notice.height() / 2 + 8);
}

TEST(OfflineNotice, IsAFramelessWindowOfItsOwnAboveItsOwner) {
    QWidget owner;
    COfflineDlg notice(&owner);
    EXPECT_TRUE(notice.isWindow());
    EXPECT_EQ(notice.parentWidget(), &owner);
    EXPECT_TRUE(notice.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_GT(notice.width(), 5 * notice.height());  // a strip, as its 326 x 32 units say
}

}  // namespace
