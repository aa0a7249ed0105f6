#include "ui/myscreenctrl.h"

#include <QPainter>

#include "ui/controlimage.h"

CMyScreenCtrl::CMyScreenCtrl(QWidget* parent, const QString& imagePath, unsigned /*id*/)
    : QWidget(parent), m_path(imagePath) {
    setWindowTitle(QStringLiteral("MyScreenStatic"));
    resize(QImage(imagePath).size());
    show();
}

void CMyScreenCtrl::paintEvent(QPaintEvent*) {
    const QImage image = loadControlImage(m_path);
    if (!image.isNull()) {
        QPainter(this).drawImage(0, 0, image);
    }
}
