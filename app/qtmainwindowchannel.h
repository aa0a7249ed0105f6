// The main-window channel on the Qt event loop: queued events are handled by the UI thread's
// event loop (also inside nested loops such as modal windows and menus).
#pragma once

#include <QObject>
#include <QPointer>

#include "service/queuedmainwindowchannel.h"

class QtMainWindowChannel : public QueuedMainWindowChannel {
public:
    // Construct on the UI thread.
    explicit QtMainWindowChannel(MainWindowHandler handler);
    ~QtMainWindowChannel() override;

    // UI thread: the window is gone. Releases waiting senders and drops what is still queued.
    void shutdown();

private:
    void wakeUiThread() override;

    QObject* receiver_;  // lives on the UI thread; its pending wake-ups die with it
};
