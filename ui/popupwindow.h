// Base of the caption-less popup windows that the main window owns (tool bar, screen, video,
// camera preview): no key closes them, and Alt+D / Alt+S can be turned into commands.
#pragma once

#include <QWidget>

enum class PopupKeyAction {
    PassOn,    // normal handling
    Swallow,   // Escape, Enter and Alt+F4 close nothing
    Quit,      // Alt+D: leave the class (command 3007)
    Settings,  // Alt+S: the settings window (command 3006)
};

// What a key press does in a popup window; without commandKeys Alt+D and Alt+S pass on.
PopupKeyAction classifyPopupKey(int key, Qt::KeyboardModifiers modifiers, bool commandKeys);

class CPopupWindow : public QWidget {
    Q_OBJECT
public:
    // A frameless window kept above owner; extraFlags add e.g. the stay-on-top hint.
    CPopupWindow(QWidget* owner, bool commandKeys, Qt::WindowFlags extraFlags = {});

    // Fills the owner's screen without showing the window (what "maximise on opening" means
    // for a frameless window, which no window manager may be around to maximise).
    void maximiseOnScreen();

    // Brings the window to the top without moving or sizing it.
    void bringToTop();

    // Keys of children reach the same filter.
    void watchKeysOf(QWidget* child);

protected:
    // Alt+D and Alt+S of a window with command keys: the command id.
    virtual void OnCommandKey(unsigned id);

    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool filterKey(QEvent* event);

    bool m_commandKeys;
};
