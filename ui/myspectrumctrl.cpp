#include "ui/myspectrumctrl.h"

#include <QMetaObject>
#include <QPainter>

CMySpectrumCtrl::CMySpectrumCtrl(QWidget* parent, const QRect& rect, unsigned /*id*/)
    : QWidget(parent) {
    setWindowTitle(QString::fromUtf8("频谱"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(rect);
    show();
}

int CMySpectrumCtrl::levelOf(const unsigned char* bytes, std::size_t length) {
    return fenwix::devices::levelOf(bytes, length);
}

void CMySpectrumCtrl::Feed(const unsigned char* bytes, std::size_t length) {
    const int level = levelOf(bytes, length);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_nLevel = level;
    }
    requestRepaint();
}

void CMySpectrumCtrl::Clear() {
    requestRepaint();
}

int CMySpectrumCtrl::level() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nLevel;
}

void CMySpectrumCtrl::requestRepaint() {
    // Widgets belong to the UI thread: the repaint is queued to it, and dropped if the meter is
    // gone by then.
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

void CMySpectrumCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(240, 240, 240));
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    painter.setBrush(Qt::white);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const int current = level();
    if (current <= 0) {
        return;
    }
    const int barWidth = current >= 100 ? width() : static_cast<int>(current / 100.0 * width());
    painter.fillRect(QRect(0, 0, barWidth, height()), QColor(0, 157, 20));
}
