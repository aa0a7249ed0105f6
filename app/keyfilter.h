// What a key press does when it is about to reach the main window or one of its controls.
#pragma once

#include <Qt>

enum class MainKeyAction {
    PassOn,       // normal handling
    Swallow,      // Escape, Enter and Alt+F4 never close the terminal
    Close,        // Alt+Q: close with the OK result
    EnterClass,   // Alt+E: as the enter-class button
    DeviceCheck,  // Alt+T: as the device check button
};

MainKeyAction classifyMainWindowKey(int key, Qt::KeyboardModifiers modifiers);
