// What core code asks of the user interface beyond numbered events: a few window operations that
// must run on the UI thread. The app implements it and hands it over at start-up, next to the sink;
// tests supply their own. Calls from another thread wait until the UI thread has done the work.
#pragma once

#include <cstdint>

class TerminalUi {
public:
    virtual ~TerminalUi() = default;

    // Shows the device tip ("芬维提示", asking to switch on microphone and speakers) modally and
    // returns when it has been closed, by the person on site or by closeTipWindows().
    virtual void showDeviceTip() = 0;

    // Closes every window captioned "芬维提示"; a modal showing of one of them returns.
    virtual void closeTipWindows() = 0;

    // The native handle of the main window, for the libraries that draw into or parent to it;
    // 0 when there is none.
    virtual std::uintptr_t mainWindowHandle() const = 0;
};
