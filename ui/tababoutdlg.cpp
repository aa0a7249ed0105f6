#include "ui/tababoutdlg.h"

#include <QPainter>

#include "service/commonutil.h"
#include "ui/controlimage.h"
#include "ui/dialogunits.h"

namespace {

const char* const kLogoImage = "./images/main/logo.png";
const char* const kProductImage = "./images/main/tarnix.png";
constexpr int kLogoTop = 50;
constexpr int kProductGap = 50;
const QSize kProductSize(500, 100);
constexpr int kTextGap = 140;
const QSize kTextSize(530, 50);

int centredX(int pageWidth, int width) {
    return (pageWidth - width) / 2;
}

}  // namespace

CTabAboutDlg::CTabAboutDlg(QWidget* parent) : QWidget(parent) {
    QFont font(QStringLiteral("MS Shell Dlg"));
    font.setPointSize(8);
    resize(dialogUnitsToPixels(font, 338, 205));
}

QString CTabAboutDlg::VersionLine() {
    return QStringLiteral("芬维学生端 V") +
           QString::fromStdString(CComConfig::getInstance()->getVersion());
}

void CTabAboutDlg::paintEvent(QPaintEvent* /*event*/) {
    // Read at each paint, so a picture delivered later shows at the next paint.
    const QImage logo = loadControlImage(QString::fromLatin1(kLogoImage));
    if (logo.isNull()) {
        return;
    }
    QPainter painter(this);
    const QRect logoRect(QPoint(centredX(width(), logo.width()), kLogoTop), logo.size());
    painter.drawImage(logoRect.topLeft(), logo);

    const QImage product = loadControlImage(QString::fromLatin1(kProductImage));
    if (product.isNull()) {
        return;
    }
    const QRect productRect(
        QPoint(centredX(width(), kProductSize.width()), logoRect.bottom() + 1 + kProductGap),
        kProductSize);
    painter.drawImage(productRect, product);

    QFont font(QStringLiteral("宋体"));
    font.setPointSize(16);
    painter.setFont(font);
    const QRect textRect(QPoint(centredX(width(), kTextSize.width()), productRect.top() + kTextGap),
                         kTextSize);
    painter.drawText(textRect, Qt::AlignCenter, VersionLine());
}
