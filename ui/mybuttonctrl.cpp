#include "ui/mybuttonctrl.h"

#include <QMouseEvent>
#include <QPainter>

#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "ui/controlimage.h"

CMyButtonCtrl::CMyButtonCtrl(QWidget* parent, const QRect& rect, const QString& normalPath,
                             const QString& secondPath, const QString& thirdPath, unsigned id,
                             MainWindowChannel* notify)
    : QWidget(parent),
      m_normal(normalPath),
      m_second(secondPath),
      m_third(thirdPath),
      m_id(id),
      m_notify(notify) {
    const QImage image(normalPath);
    setGeometry(image.isNull() ? rect : QRect(rect.topLeft(), image.size()));
    setFocusPolicy(Qt::NoFocus);
    show();
}

void CMyButtonCtrl::SetState(int state) {
    m_state = state;
    update();
}

void CMyButtonCtrl::SetBackground(const QColor& colour) {
    m_bBackground = true;
    m_background = colour;
    update();
}

QString CMyButtonCtrl::currentImage() const {
    const QString& chosen = m_state == 1 ? m_second : m_normal;
    return chosen.isEmpty() ? m_normal : chosen;
}

void CMyButtonCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_bBackground) {
        painter.fillRect(rect(), m_background);
    }
    const QImage image = loadControlImage(currentImage());
    if (!image.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), image);
    }
    const QString caption = windowTitle();
    if (!caption.isEmpty()) {
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, caption);
    }
}

void CMyButtonCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    repaint();
    if (m_notify != nullptr) {
        m_notify->send(WM_CTRL_CLICKED, m_id, 0);
    }
}
