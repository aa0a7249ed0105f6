#include "ui/tip1dlg.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogunits.h"

CTip1Dlg::CTip1Dlg(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    // Without a caption bar the title is only what the task switcher shows.
    setWindowTitle(QStringLiteral("系统升级"));
    setFont(dialogFont());
    setFixedSize(dialogUnitsToPixels(font(), kWidthUnits, kHeightUnits));

    m_staticTitle = new QLabel(QStringLiteral("系统升级"), this);
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSize(titleFont.pointSize() + 2);
    m_staticTitle->setFont(titleFont);
    m_staticTitle->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_staticText = new QLabel(QStringLiteral("系统升级失败，请检测网络后，重新更新"), this);
    m_staticText->setAlignment(Qt::AlignCenter);
    m_staticText->setWordWrap(true);
    m_btnClose = new QPushButton(QStringLiteral("关闭"), this);
    m_btnClose->setDefault(true);
    connect(m_btnClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_staticTitle);
    layout->addWidget(m_staticText, 1);
    layout->addWidget(m_btnClose, 0, Qt::AlignHCenter);
}

void CTip1Dlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // With no frame from the window manager the edge is drawn here.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
