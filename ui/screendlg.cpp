#include "ui/screendlg.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/controlimage.h"
#include "ui/tooldlg.h"

CScreenDlg::CScreenDlg(QWidget* owner)
    : CPopupWindow(owner, true), m_strImage(QStringLiteral("./images/main/screenbg.jpg")) {
    resize(dialogUnitsToPixels(330, 195));
    maximiseOnScreen();
}

void CScreenDlg::SetImage(const QString& path) {
    m_strImage = path;
    update();
}

void CScreenDlg::paintEvent(QPaintEvent*) {
    const QImage image = loadControlImage(m_strImage);
    if (image.isNull()) {
        return;  // a missing picture leaves the window unpainted
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), image);
}

void CScreenDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_pToolBar != nullptr) {
        m_pToolBar->ShowToolBar();
        return;
    }
    CPopupWindow::mouseReleaseEvent(event);
}

void CScreenDlg::OnCommandKey(unsigned id) {
    // The tool bar forwards the command to the main window as if its button was clicked.
    if (m_pToolBar != nullptr) {
        m_pToolBar->SendCommand(id);
    }
}
