// The main-window channel on the Qt event loop: sends from workers are handled by the UI
// thread's loop (also inside a nested, modal loop), in order, and released when the window goes.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "app/qtmainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "support_spin.h"

namespace {

using namespace std::chrono_literals;

TEST(QtMainWindowChannel, WorkerSendRunsOnTheUiThreadWhileTheWorkerWaits) {
    const auto uiThread = std::this_thread::get_id();
    std::thread::id handledOn;
    std::atomic<bool> handlerDone{false};
    QtMainWindowChannel channel([&](unsigned, std::uintptr_t, std::intptr_t l) -> std::intptr_t {
        handledOn = std::this_thread::get_id();
        const auto* text = reinterpret_cast<const std::string*>(l);
        handlerDone = true;
        return static_cast<std::intptr_t>(text->size());
    });
    std::atomic<bool> senderBack{false};
    std::intptr_t result = 0;
    bool doneWhenBack = false;
    std::thread worker([&] {
        const std::string payload = "网络连接失败";
        result = channel.send(WM_NOTICE, NOTICE_MESSAGE, reinterpret_cast<std::intptr_t>(&payload));
        doneWhenBack = handlerDone.load();
        senderBack = true;
    });
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(senderBack.load());  // nothing handles it until the loop runs
    EXPECT_TRUE(spinUntil([&] { return senderBack.load(); }));
    worker.join();
    EXPECT_TRUE(doneWhenBack);
    EXPECT_EQ(result, 18);
    EXPECT_EQ(handledOn, uiThread);
}

TEST(QtMainWindowChannel, EventsAreServedInsideANestedModalLoopInOrder) {
    std::vector<std::string> seen;
    QtMainWindowChannel* self = nullptr;
    std::thread worker;
    QtMainWindowChannel channel(
        [&](unsigned msg, std::uintptr_t w, std::intptr_t) -> std::intptr_t {
            seen.push_back(std::to_string(msg) + ":" + std::to_string(w));
            if (msg == WM_CTRL_CLICKED) {
                // Like a modal window run by a handler: a nested loop that must keep serving sends.
                QEventLoop modal;
                worker = std::thread([&] {
                    self->post(WM_NOTICE, NOTICE_CAMERA_OPENED, 0);
                    self->send(WM_NOTICE, NOTICE_MIC_OPENED, 0);
                    QMetaObject::invokeMethod(&modal, "quit", Qt::QueuedConnection);
                });
                QTimer::singleShot(5000, &modal, &QEventLoop::quit);
                modal.exec();
                seen.push_back("modal ends");
            }
            return 0;
        });
    self = &channel;
    channel.send(WM_CTRL_CLICKED, ID_TOOL_SETTINGS, 0);
    worker.join();
    EXPECT_EQ(seen, (std::vector<std::string>{"1026:3006", "1030:26", "1030:28", "modal ends"}));
}

TEST(QtMainWindowChannel, ShutdownReleasesWaitingSendersAndDropsTheirEvents) {
    std::atomic<int> handled{0};
    QtMainWindowChannel channel([&](unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t {
        ++handled;
        return 3;
    });
    std::vector<std::future<std::intptr_t>> senders;
    for (int i = 0; i < 3; ++i) {
        senders.push_back(std::async(std::launch::async, [&] { return channel.send(3000, 0, 0); }));
    }
    for (auto& s : senders) {
        EXPECT_EQ(s.wait_for(50ms), std::future_status::timeout);
    }
    channel.shutdown();  // the window is gone; no event loop ran in between
    for (auto& s : senders) {
        ASSERT_EQ(s.wait_for(5s), std::future_status::ready);
        EXPECT_EQ(s.get(), 0);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(handled.load(), 0);
    EXPECT_EQ(channel.send(3000, 0, 0), 0);
    EXPECT_FALSE(channel.post(3000, 0, 0));
}

TEST(QtMainWindowChannel, WaitPumpingLetsAWorkerBlockedInSendFinish) {
    std::atomic<int> handled{0};
    QtMainWindowChannel channel([&](unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t {
        ++handled;
        return 0;
    });
    std::atomic<bool> running{true};
    std::thread worker([&] {
        for (int i = 0; i < 5; ++i) {
            channel.send(WM_NOTICE, NOTICE_NETWORK_STATE, 0);
        }
        running = false;
    });
    EXPECT_TRUE(channel.waitPumping([&] { return !running.load(); }, 5s));
    worker.join();
    EXPECT_EQ(handled.load(), 5);
}

}  // namespace
