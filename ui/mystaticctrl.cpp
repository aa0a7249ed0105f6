#include "ui/mystaticctrl.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"

CMyStaticCtrl::CMyStaticCtrl(QWidget* parent, const QRect& rect, const QString& imagePath,
                             bool keepPath, unsigned id, MainWindowChannel* notify)
    : QWidget(parent), m_path(keepPath ? imagePath : QString()), m_id(id), m_notify(notify) {
    const QImage image(imagePath);
    setGeometry(image.isNull() ? rect : QRect(rect.topLeft(), image.size()));
    setAttribute(Qt::WA_TranslucentBackground);
    show();
}

void CMyStaticCtrl::SetImage(const QString& path) {
    m_path = path;
    update();
}

void CMyStaticCtrl::paintEvent(QPaintEvent*) {
    if (m_path.isEmpty()) {
        return;
    }
    const QImage image(m_path);
    if (image.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, image);
}

void CMyStaticCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_notify != nullptr) {
        m_notify->send(WM_PICTURE_CLICKED, m_id, 0);
        return;
    }
    QWidget::mouseReleaseEvent(event);
}
