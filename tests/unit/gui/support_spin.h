// Runs the Qt event loop of the test's UI thread until a condition holds or a bound passes.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

inline bool spinUntil(const std::function<bool()>& condition, int boundMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > boundMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}
