#include "ui/nativesurface.h"

#include <QPainter>

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
