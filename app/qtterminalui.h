// The terminal's window operations for core code, on Qt: the device tip, closing the "芬维提示"
// windows and the main window's handle. Every operation runs on the UI thread; from another
// thread the call travels as one main-window event and waits for it, so it is served wherever
// the UI thread serves main-window events (its event loop, modal loops, waits for threads), and
// returns at once without effect when the main window is gone: it never deadlocks at shutdown.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "service/terminalui.h"

class MainWindowChannel;

class QtTerminalUi : public TerminalUi {
public:
    // The main-window event that carries a call; lParam points at a std::function<void()>.
    // The main window's handler passes it to RunCall.
    static constexpr unsigned kCallEvent = 3100;

    // Caption of the windows that remote commands close before they act.
    static QString tipCaption();

    // channel: the main window's events; owner: the main window (parent of the tip, source of
    // the handle), may be null. Construct on the UI thread.
    QtTerminalUi(MainWindowChannel& channel, QWidget* owner);

    void showDeviceTip() override;
    void closeTipWindows() override;
    std::uintptr_t mainWindowHandle() const override;

    // Handler of kCallEvent on the UI thread. Returns 1 when a call ran.
    static std::intptr_t RunCall(std::intptr_t lParam);

private:
    // Runs work on the UI thread and waits for it; false when it could not run (window gone).
    bool onUiThread(const std::function<void()>& work) const;

    MainWindowChannel& m_channel;
    QPointer<QWidget> m_owner;
};
