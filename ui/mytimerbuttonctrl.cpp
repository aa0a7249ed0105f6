#include "ui/mytimerbuttonctrl.h"

#include <QFont>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "logging/log4z.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"

namespace {

const QColor kCountingColour(216, 233, 147);
const QColor kRestColour(177, 213, 9);
const QColor kTextColour(20, 20, 20);

QString restCaption() {
    return QString::fromUtf8("进入课程");
}

}  // namespace

CMyTimerButtonCtrl::CMyTimerButtonCtrl(QWidget* parent, const QRect& rect, unsigned id,
                                       MainWindowChannel* notify)
    : QWidget(parent),
      m_caption(restCaption()),
      m_id(id),
      m_notify(notify),
      m_tickTimer(new QTimer(this)),
      m_endTimer(new QTimer(this)) {
    // A countdown of a minute must not drift by the coarse timers' few percent.
    m_tickTimer->setTimerType(Qt::PreciseTimer);
    m_endTimer->setTimerType(Qt::PreciseTimer);
    connect(m_tickTimer, &QTimer::timeout, this, &CMyTimerButtonCtrl::OnTick);
    connect(m_endTimer, &QTimer::timeout, this, &CMyTimerButtonCtrl::OnEnd);
    setGeometry(rect);
    setFocusPolicy(Qt::NoFocus);
    show();
}

void CMyTimerButtonCtrl::setPeriodsForTesting(int tickMs, int endDelayMs) {
    m_tickMs = tickMs;
    m_endDelayMs = endDelayMs;
}

bool CMyTimerButtonCtrl::isTimerActive(int id) const {
    if (id == TIMER_TICK) {
        return m_tickTimer->isActive();
    }
    if (id == TIMER_END) {
        return m_endTimer->isActive();
    }
    return false;
}

void CMyTimerButtonCtrl::StartCountdown() {
    m_tickTimer->stop();
    // The end of an earlier countdown, still half a second away, must not end this new one.
    m_endTimer->stop();
    m_nCounter = m_nStart;
    m_tickTimer->start(m_tickMs);
    m_bRunning = true;
    LOGI("开始登录");
    update();  // the lighter colour shows at once, not only with the first step
}

void CMyTimerButtonCtrl::StopCountdown() {
    m_tickTimer->stop();
    m_nCounter = m_nStart;
    m_caption = restCaption();
    m_bRunning = false;
    LOGI("停止登录");
    repaint();
}

void CMyTimerButtonCtrl::OnTick() {
    if (m_nCounter == 0) {
        StopCountdown();
        m_endTimer->start(m_endDelayMs);
    } else if (m_nCounter == -1) {
        m_nCounter = m_nStart;
    } else {
        m_caption = QString::fromUtf8("%1秒后可重新进入").arg(m_nCounter);
        --m_nCounter;
        repaint();
    }
}

void CMyTimerButtonCtrl::OnEnd() {
    m_endTimer->stop();
    if (m_notify != nullptr) {
        m_notify->send(WM_NOTICE, NOTICE_ENTER_TIMEOUT, 0);
    }
}

void CMyTimerButtonCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = m_bRunning ? kCountingColour : kRestColour;
    painter.setPen(colour);
    painter.setBrush(colour);
    // The corner ellipse is 30 × 30, so each corner radius is 15.
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 15, 15);
    QFont font(QString::fromUtf8("宋体"));
    font.setPointSize(16);
    painter.setFont(font);
    painter.setPen(kTextColour);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, m_caption);
}

void CMyTimerButtonCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (m_bRunning) {
        return;
    }
    repaint();
    if (m_notify != nullptr) {
        m_notify->send(WM_CTRL_CLICKED, m_id, 0);
    }
}
