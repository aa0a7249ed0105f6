#include "ui/previewdlg.h"

#include "ui/controlimage.h"
#include "ui/nativesurface.h"

CPreviewDlg::CPreviewDlg(QWidget* owner)
    // Kept above the full-screen video window, which it sits on.
    : CPopupWindow(owner, false, Qt::WindowStaysOnTopHint), m_surface(new CNativeSurface(this)) {
    resize(dialogUnitsToPixels(338, 202));
    fillWith(this, m_surface);
    watchKeysOf(m_surface);
}

std::uintptr_t CPreviewDlg::renderHandle() {
    return m_surface->handle();
}
