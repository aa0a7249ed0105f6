// The main-window channel: nested and blocking sends, post order, release at shutdown and
// waiting with pumping, on a test-owned UI thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "support/testmainwindow.h"

namespace {

using namespace std::chrono_literals;

// Records the events in the order the UI thread handled them.
struct EventLog {
    std::mutex mutex;
    std::vector<std::string> entries;
    void add(std::string entry) {
        std::lock_guard<std::mutex> lock(mutex);
        entries.push_back(std::move(entry));
    }
    std::vector<std::string> snapshot() {
        std::lock_guard<std::mutex> lock(mutex);
        return entries;
    }
};

// A latch the UI thread can be parked on, so events pile up behind it.
struct Gate {
    std::promise<void> open;
    std::shared_future<void> opened{open.get_future().share()};

    // Returns once the UI thread is really parked.
    void park(TestMainWindow& window) {
        auto parked = std::make_shared<std::promise<void>>();
        auto isParked = parked->get_future();
        window.startOnUi([parked, f = opened] {
            parked->set_value();
            f.wait();
        });
        isParked.wait();
    }
};

TEST(MainWindowChannel, NestedSendOnTheUiThreadRunsAtOnceInsideTheOuterHandler) {
    EventLog log;
    TestMainWindow* self = nullptr;
    TestMainWindow window([&](unsigned msg, std::uintptr_t w, std::intptr_t) -> std::intptr_t {
        if (msg == WM_CONF_JOINED) {
            log.add("joined begins");
            const auto inner = self->send(WM_NOTICE, NOTICE_CURTAIN, 0);
            log.add("joined ends, inner returned " + std::to_string(inner));
            return 1;
        }
        log.add("notice " + std::to_string(w));
        return 42;
    });
    self = &window;

    EXPECT_EQ(window.send(WM_CONF_JOINED, 0, 0), 1);
    EXPECT_EQ(log.snapshot(), (std::vector<std::string>{"joined begins", "notice 7",
                                                        "joined ends, inner returned 42"}));
}

TEST(MainWindowChannel, SendFromAnotherThreadWaitsForTheHandlerSoItsPointerStaysValid) {
    std::atomic<bool> handlerDone{false};
    std::thread::id handledOn;
    TestMainWindow window([&](unsigned, std::uintptr_t, std::intptr_t l) -> std::intptr_t {
        handledOn = std::this_thread::get_id();
        std::this_thread::sleep_for(50ms);  // the sender must still be waiting now
        const auto* text = reinterpret_cast<const std::string*>(l);
        const auto size = static_cast<std::intptr_t>(text->size());
        handlerDone = true;
        return size;
    });

    std::intptr_t result = 0;
    bool doneWhenReturned = false;
    std::thread sender([&] {
        auto payload = std::make_unique<std::string>(R"({"type":"vLogin"})");
        result = window.send(WM_PUSH_MESSAGE, 0, reinterpret_cast<std::intptr_t>(payload.get()));
        doneWhenReturned = handlerDone.load();
        payload.reset();  // freed only after the handler returned
    });
    sender.join();

    EXPECT_TRUE(doneWhenReturned);
    EXPECT_EQ(result, 17);
    EXPECT_EQ(handledOn, window.uiThreadId());
}

TEST(MainWindowChannel, PostNeverBlocksAndEventsKeepTheirOrder) {
    EventLog log;
    TestMainWindow window([&](unsigned msg, std::uintptr_t w, std::intptr_t) -> std::intptr_t {
        log.add(std::to_string(msg) + ":" + std::to_string(w));
        return 0;
    });
    Gate gate;
    gate.park(window);  // the UI thread is busy

    // With the UI thread busy, posts return at once and queue up in order.
    EXPECT_TRUE(window.post(WM_NOTICE, NOTICE_CAMERA_OPENED, 0));
    EXPECT_TRUE(window.post(WM_NOTICE, NOTICE_MIC_OPENED, 0));
    EXPECT_TRUE(window.post(WM_NOTICE, NOTICE_CAMERA_FAILED, 0));
    EXPECT_TRUE(log.snapshot().empty());

    gate.open.set_value();
    // A send from this thread is handled after everything posted before it.
    window.send(WM_CALL_DROPPED, 0, 0);
    EXPECT_EQ(log.snapshot(),
              (std::vector<std::string>{"1030:26", "1030:28", "1030:27", "1028:0"}));
}

TEST(MainWindowChannel, ClosingReleasesWaitingSendersWithZeroAndRefusesNewEvents) {
    std::atomic<int> handled{0};
    TestMainWindow window([&](unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t {
        ++handled;
        return 7;
    });
    Gate gate;
    gate.park(window);  // UI stuck: nobody serves the queue

    std::vector<std::future<std::intptr_t>> senders;
    for (int i = 0; i < 3; ++i) {
        senders.push_back(std::async(std::launch::async, [&] { return window.send(3000, 0, 0); }));
    }
    EXPECT_TRUE(window.post(WM_NOTICE, NOTICE_MESSAGE, 0));
    for (auto& s : senders) {
        EXPECT_EQ(s.wait_for(50ms), std::future_status::timeout);  // really blocked
    }

    window.close();
    for (auto& s : senders) {
        ASSERT_EQ(s.wait_for(5s), std::future_status::ready);
        EXPECT_EQ(s.get(), 0);
    }
    gate.open.set_value();
    window.runOnUi([] {});
    EXPECT_EQ(handled.load(), 0);  // the queued events were dropped, not delivered late
    EXPECT_TRUE(window.isClosed());
}

TEST(MainWindowChannel, AfterCloseEveryEventReturnsAtOnce) {
    struct Case {
        const char* name;
        bool fromUiThread;
        bool viaPost;
    };
    const Case cases[] = {
        {"send from a worker", false, false},
        {"post from a worker", false, true},
        {"send on the UI thread", true, false},
        {"post on the UI thread", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<int> handled{0};
        TestMainWindow window([&](unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t {
            ++handled;
            return 5;
        });
        window.close();
        std::intptr_t result = -1;
        auto act = [&] {
            result = c.viaPost ? window.post(WM_CALL_DROPPED, 0, 0) : window.send(3000, 0, 0);
        };
        if (c.fromUiThread) {
            window.runOnUi(act);
        } else {
            std::thread(act).join();
        }
        EXPECT_EQ(result, 0);
        EXPECT_EQ(handled.load(), 0);
    }
}

TEST(MainWindowChannel, CloseDuringAHandlerStillWaitsForThatHandlerBeforeReleasingItsSender) {
    std::promise<void> entered;
    std::atomic<bool> handlerDone{false};
    TestMainWindow window([&](unsigned, std::uintptr_t, std::intptr_t l) -> std::intptr_t {
        entered.set_value();
        std::this_thread::sleep_for(100ms);
        const auto* text = reinterpret_cast<const std::string*>(l);
        handlerDone = !text->empty();
        return 1;
    });
    std::atomic<bool> doneWhenReturned{false};
    std::thread sender([&] {
        std::string text = "uri";
        window.send(WM_CONF_SOURCE_REMOVED, 0, reinterpret_cast<std::intptr_t>(&text));
        doneWhenReturned = handlerDone.load();
    });
    entered.get_future().wait();
    window.close();
    sender.join();
    EXPECT_TRUE(doneWhenReturned);
}

TEST(MainWindowChannel, WaitPumpingServesAWorkerBlockedInSendSoItCanBeJoined) {
    std::atomic<int> handled{0};
    TestMainWindow window([&](unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t {
        ++handled;
        return 0;
    });
    bool finished = false;
    bool joined = false;
    window.runOnUi([&] {
        std::atomic<bool> running{true};
        std::thread worker([&] {
            for (int i = 0; i < 3; ++i) {
                window.send(WM_NOTICE, NOTICE_NETWORK_STATE, 1);  // blocks on the UI thread
            }
            running = false;
        });
        finished = window.waitPumping([&] { return !running.load(); }, 5s);
        worker.join();
        joined = true;
    });
    EXPECT_TRUE(finished);
    EXPECT_TRUE(joined);
    EXPECT_EQ(handled.load(), 3);
}

TEST(MainWindowChannel, WaitPumpingGivesUpAtItsBound) {
    TestMainWindow window(
        [](unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t { return 0; });
    bool result = true;
    const auto start = std::chrono::steady_clock::now();
    window.runOnUi([&] { result = window.waitPumping([] { return false; }, 60ms); });
    EXPECT_FALSE(result);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);
}

TEST(PublishedMainWindow, EventsGoToThePublishedWindowAndAreLostWithoutOne) {
    publishMainWindow(nullptr);
    EXPECT_EQ(sendToMainWindow(WM_CALL_DROPPED, 0, 0), 0);
    EXPECT_FALSE(postToMainWindow(WM_CALL_DROPPED, 0, 0));

    std::atomic<int> handled{0};
    auto window = std::make_shared<TestMainWindow>(
        [&](unsigned msg, std::uintptr_t, std::intptr_t) -> std::intptr_t {
            ++handled;
            return msg == WM_CALL_DROPPED ? 9 : 0;
        });
    publishMainWindow(window);
    EXPECT_EQ(sendToMainWindow(WM_CALL_DROPPED, 0, 0), 9);

    window->close();  // the window is gone, the handle stays published
    EXPECT_EQ(sendToMainWindow(WM_CALL_DROPPED, 0, 0), 0);
    EXPECT_FALSE(postToMainWindow(WM_CALL_DROPPED, 0, 0));
    EXPECT_EQ(handled.load(), 1);
    publishMainWindow(nullptr);
}

}  // namespace
