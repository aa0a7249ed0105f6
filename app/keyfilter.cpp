#include "app/keyfilter.h"

MainKeyAction classifyMainWindowKey(int key, Qt::KeyboardModifiers modifiers) {
    if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
        return MainKeyAction::Swallow;
    }
    // Alt combinations, as the system-key presses they are on other platforms; Ctrl+Alt is AltGr
    // on many layouts and types characters instead.
    const bool alt =
        modifiers.testFlag(Qt::AltModifier) && !modifiers.testFlag(Qt::ControlModifier);
    if (!alt) {
        return MainKeyAction::PassOn;
    }
    switch (key) {
        case Qt::Key_F4:
            return MainKeyAction::Swallow;
        case Qt::Key_Q:
            return MainKeyAction::Close;
        case Qt::Key_E:
            return MainKeyAction::EnterClass;
        case Qt::Key_T:
            return MainKeyAction::DeviceCheck;
        default:
            return MainKeyAction::PassOn;
    }
}
