#include "ui/offlinedlg.h"

#include <QColor>
#include <QFont>
#include <QPaintEvent>
#include <QPainter>

#include "ui/dialogunits.h"

COfflineDlg::COfflineDlg(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(dialogUnitsToPixels(dialogFont(), kWidthUnits, kHeightUnits));
}

void COfflineDlg::SetText(const QString& text) {
    m_strText = text;
    update();
}

void COfflineDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(20, 20, 20));
    if (m_strText.isEmpty()) {
        return;
    }
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(16);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QRect textRect = rect().adjusted(kTextMargin, 0, -kTextMargin, 0);
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, m_strText);
}
