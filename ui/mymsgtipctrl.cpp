#include "ui/mymsgtipctrl.h"

#include <QFont>
#include <QPainter>
#include <QTimer>

CMyMsgTipCtrl::CMyMsgTipCtrl(QWidget* parent, const QRect& rect, unsigned id)
    : QWidget(parent), m_id(id), m_hideTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("MyMsgTopCtrl"));
    m_hideTimer->setTimerType(Qt::PreciseTimer);
    connect(m_hideTimer, &QTimer::timeout, this, &CMyMsgTipCtrl::OnHideTimer);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(rect);
    hide();
}

bool CMyMsgTipCtrl::isHideTimerActive() const {
    return m_hideTimer->isActive();
}

void CMyMsgTipCtrl::ShowMessage(const QString& text, bool autoHide) {
    m_text = text;
    update();
    m_hideTimer->stop();
    if (autoHide) {
        m_hideTimer->start(m_hideMs);
    }
    show();
    raise();  // over the pictures of the idle screen created after it
}

void CMyMsgTipCtrl::OnHideTimer() {
    hide();
    m_hideTimer->stop();
}

void CMyMsgTipCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    QFont font(QString::fromUtf8("宋体"));
    font.setPointSize(15);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(rect().adjusted(20, 0, -20, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_text);
}
