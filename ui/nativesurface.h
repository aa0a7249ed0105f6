// A child area with its own native window, for an outside library that draws video into a
// window handle. Black until something draws into it.
#pragma once

#include <QWidget>
#include <cstdint>

class CNativeSurface : public QWidget {
    Q_OBJECT
public:
    explicit CNativeSurface(QWidget* parent);

    // The native handle to give the library (creates the native window when needed).
    std::uintptr_t handle();

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Lays surface out over the whole of window, following its size.
void fillWith(QWidget* window, CNativeSurface* surface);
