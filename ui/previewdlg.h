// The camera preview window: a small area in the lower right corner where the live-push library
// draws the classroom camera. It has no behaviour of its own; the main controller places it.
#pragma once

#include <cstdint>

#include "ui/popupwindow.h"

class CNativeSurface;

class CPreviewDlg : public CPopupWindow {
    Q_OBJECT
public:
    explicit CPreviewDlg(QWidget* owner);

    // The native window the live-push library draws its preview into.
    std::uintptr_t renderHandle();
    CNativeSurface* surface() const { return m_surface; }

private:
    CNativeSurface* m_surface;
};
