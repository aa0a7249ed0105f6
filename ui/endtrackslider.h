// A horizontal slider that says when a movement is finished: the handle let go after a drag, a
// click on the groove released, or a movement key released. Volumes are applied only then, so a
// drag does not flood the conference library and the backend with every step.
#pragma once

#include <QSlider>

class CEndTrackSlider : public QSlider {
    Q_OBJECT
public:
    explicit CEndTrackSlider(QWidget* parent = nullptr);

signals:
    void endTrack();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};
