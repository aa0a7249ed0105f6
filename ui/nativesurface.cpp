#include "ui/nativesurface.h"

#include <QPainter>
#include <QVBoxLayout>

CNativeSurface::CNativeSurface(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NativeWindow);
    // Its siblings must not be made native along with it.
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

std::uintptr_t CNativeSurface::handle() {
    return static_cast<std::uintptr_t>(winId());
}

void CNativeSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}

void fillWith(QWidget* window, CNativeSurface* surface) {
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(surface);
}
