// A main window for core tests: the channel's handler runs on a "UI" thread owned by the test,
// with the same queue as the terminal's window, so senders block exactly as they do there.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <utility>

#include "service/queuedmainwindowchannel.h"

class TestMainWindow : public QueuedMainWindowChannel {
public:
    explicit TestMainWindow(MainWindowHandler handler)
        : QueuedMainWindowChannel(std::move(handler)) {
        std::promise<void> started;
        auto ready = started.get_future();
        thread_ = std::thread([this, &started] {
            setUiThread(std::this_thread::get_id());
            started.set_value();
            loop();
        });
        ready.wait();
    }

    ~TestMainWindow() override {
        close();
        {
            std::lock_guard<std::mutex> lock(loopMutex_);
            stopping_ = true;
        }
        loopCv_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    // Runs fn on the UI thread and waits for it, e.g. to call waitPumping() or a nested send().
    void runOnUi(std::function<void()> fn) {
        std::promise<void> ran;
        auto finished = ran.get_future();
        {
            std::lock_guard<std::mutex> lock(loopMutex_);
            tasks_.emplace_back([&fn, &ran] {
                fn();
                ran.set_value();
            });
        }
        loopCv_.notify_all();
        finished.wait();
    }

    // Starts fn on the UI thread without waiting for it.
    void startOnUi(std::function<void()> fn) {
        {
            std::lock_guard<std::mutex> lock(loopMutex_);
            tasks_.push_back(std::move(fn));
        }
        loopCv_.notify_all();
    }

    std::thread::id uiThreadId() const { return thread_.get_id(); }

private:
    void wakeUiThread() override {
        {
            std::lock_guard<std::mutex> lock(loopMutex_);
            woken_ = true;
        }
        loopCv_.notify_all();
    }

    void loop() {
        for (;;) {
            std::deque<std::function<void()>> tasks;
            {
                std::unique_lock<std::mutex> lock(loopMutex_);
                loopCv_.wait(lock, [this] { return stopping_ || woken_ || !tasks_.empty(); });
                if (stopping_) {
                    return;
                }
                woken_ = false;
                tasks.swap(tasks_);
            }
            pump();
            for (auto& task : tasks) {
                task();
            }
        }
    }

    std::thread thread_;
    std::mutex loopMutex_;
    std::condition_variable loopCv_;
    std::deque<std::function<void()>> tasks_;
    bool woken_ = false;
    bool stopping_ = false;
};
