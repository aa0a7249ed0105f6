#include "ui/endtrackslider.h"

#include <QKeyEvent>
#include <QMouseEvent>

CEndTrackSlider::CEndTrackSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::NoTicks);
    // A drag of the handle ends with the handle let go.
    connect(this, &QSlider::sliderReleased, this, &CEndTrackSlider::endTrack);
}

void CEndTrackSlider::mouseReleaseEvent(QMouseEvent* event) {
    const bool dragging = isSliderDown();
    QSlider::mouseReleaseEvent(event);  // a drag's end is reported through sliderReleased
    if (!dragging && event->button() == Qt::LeftButton) {
        emit endTrack();  // a click on the groove moved it by a page
    }
}

void CEndTrackSlider::keyReleaseEvent(QKeyEvent* event) {
    QSlider::keyReleaseEvent(event);
    if (event->isAutoRepeat()) {
        return;
    }
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            emit endTrack();
            break;
        default:
            break;
    }
}
