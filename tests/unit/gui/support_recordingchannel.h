// A main window for control tests: records every event sent or posted to it, on the test's UI
// thread, and answers 0.
#pragma once

#include <QCoreApplication>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "service/mainwindowchannel.h"

struct RecordedEvent {
    unsigned msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const RecordedEvent& other) const {
        return msg == other.msg && wParam == other.wParam && lParam == other.lParam;
    }
};

class RecordingChannel : public MainWindowChannel {
public:
    std::intptr_t send(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        events.push_back({msg, wParam, lParam});
        if (onSend) {
            onSend(msg, wParam, lParam);
        }
        return 0;
    }
    bool post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        posted.push_back({msg, wParam, lParam});
        return true;
    }
    bool waitPumping(const std::function<bool()>& done, std::chrono::milliseconds) override {
        QCoreApplication::processEvents();
        return done();
    }
    bool isUiThread() const override { return true; }
    bool isClosed() const override { return false; }

    std::vector<RecordedEvent> events;  // sent, in order
    std::vector<RecordedEvent> posted;  // must stay empty: controls send
    std::function<void(unsigned, std::uintptr_t, std::intptr_t)> onSend;
};

inline void PrintTo(const RecordedEvent& e, std::ostream* os) {
    *os << "{" << e.msg << ", " << e.wParam << ", " << e.lParam << "}";
}
