// The video window: the full-screen area the conference library draws the class video into. A
// click brings the linked window (the camera preview) back to the top.
#pragma once

#include <cstdint>

#include "ui/popupwindow.h"

class CNativeSurface;

class CVideoDlg : public CPopupWindow {
    Q_OBJECT
public:
    explicit CVideoDlg(QWidget* owner);

    void SetLinkedWindow(QWidget* window) { m_pLinked = window; }
    QWidget* linkedWindow() const { return m_pLinked; }

    // The native window the conference library renders into, and its size.
    std::uintptr_t renderHandle();
    CNativeSurface* surface() const { return m_surface; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QWidget* m_pLinked = nullptr;
    CNativeSurface* m_surface;
};
