#include "ui/videodlg.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/controlimage.h"
#include "ui/nativesurface.h"

CVideoDlg::CVideoDlg(QWidget* owner)
    : CPopupWindow(owner, false), m_surface(new CNativeSurface(this)) {
    resize(dialogUnitsToPixels(335, 170));
    maximiseOnScreen();
    fillWith(this, m_surface);
    watchKeysOf(m_surface);
}

std::uintptr_t CVideoDlg::renderHandle() {
    return m_surface->handle();
}

void CVideoDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}

void CVideoDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_pLinked != nullptr) {
        m_pLinked->raise();  // on top again, where and as big as it was
        return;
    }
    CPopupWindow::mouseReleaseEvent(event);
}
