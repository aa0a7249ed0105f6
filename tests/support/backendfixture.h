// A fresh process configuration for one backend-client test, in private folders: the unique
// number store, desktop.ini (optionally pointing at a backend) and the hardware serial. Also a
// published main window whose handler records every event, copying the texts that events carry
// by pointer while the sender still holds them.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "service/commonutil.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "support/tempfolder.h"
#include "support/testmainwindow.h"

namespace fenwixtest {

// One event as the main window saw it.
struct SeenEvent {
    unsigned msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::string text;  // the text behind lParam for the notices that carry one
    std::chrono::steady_clock::time_point at;  // when the main window handled it
};

inline bool noticeCarriesText(unsigned code) {
    return code == NOTICE_ROOM_UNAVAILABLE || code == NOTICE_MESSAGE ||
           code == NOTICE_UPDATE_OFFERED;
}

// Records events on its own "UI" thread, published as the process's main window.
class EventRecorder {
public:
    EventRecorder()
        : window_(std::make_shared<TestMainWindow>(
              [this](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
                  record(msg, wParam, lParam);
                  return std::intptr_t{0};
              })) {
        publishMainWindow(window_);
    }
    ~EventRecorder() {
        window_->close();
        publishMainWindow(nullptr);
    }
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    TestMainWindow& window() { return *window_; }

    std::vector<SeenEvent> events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    std::vector<SeenEvent> notices(unsigned code) const {
        std::vector<SeenEvent> out;
        for (const SeenEvent& e : events()) {
            if (e.msg == WM_NOTICE && e.wParam == code) {
                out.push_back(e);
            }
        }
        return out;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
    }
    // Waits until `count` notices of `code` have been seen; returns them (maybe fewer).
    std::vector<SeenEvent> waitForNotices(unsigned code, std::size_t count,
                                          std::chrono::milliseconds timeout) const {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto enough = [&] {
            std::size_t n = 0;
            for (const SeenEvent& e : events_) {
                n += e.msg == WM_NOTICE && e.wParam == code ? 1 : 0;
            }
            return n >= count;
        };
        cv_.wait_for(lock, timeout, enough);
        lock.unlock();
        return notices(code);
    }

    // Also called for each event, on the UI thread, after it has been recorded.
    void onEvent(std::function<void(const SeenEvent&)> hook) {
        std::lock_guard<std::mutex> lock(mutex_);
        hook_ = std::move(hook);
    }

private:
    void record(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
        SeenEvent e{msg, wParam, lParam, {}, std::chrono::steady_clock::now()};
        if (msg == WM_NOTICE && noticeCarriesText(static_cast<unsigned>(wParam)) && lParam != 0) {
            e.text = *reinterpret_cast<const std::string*>(lParam);
        }
        std::function<void(const SeenEvent&)> hook;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back(e);
            hook = hook_;
        }
        cv_.notify_all();
        if (hook) {
            hook(e);
        }
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::vector<SeenEvent> events_;
    std::function<void(const SeenEvent&)> hook_;
    std::shared_ptr<TestMainWindow> window_;
};

// The process configuration rebuilt from private folders; restores the environment afterwards.
class BackendConfig {
public:
    // `apiBaseUrl` empty: desktop.ini names no backend (the built-in endpoints apply).
    explicit BackendConfig(const std::string& apiBaseUrl = "", const std::string& extraIni = "") {
        set("XDG_CONFIG_HOME", folder.file("config"));
        set("FENWIX_HARDWARE_SERIAL_SOURCES", folder.write("uuid", "BACKEND-TEST-SERIAL\n"));
        set("FENWIX_INI_DIR", folder.file("ini"));
        std::string ini = "[CONFIG]\n";
        if (!apiBaseUrl.empty()) {
            ini += "apibaseurl=" + apiBaseUrl + "\npushbaseurl=" + apiBaseUrl + "\n";
        }
        ini += extraIni;
        folder.write("ini/desktop.ini", ini);
        reload();
    }
    ~BackendConfig() {
        CComConfig::releaseInstance();
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                ::unsetenv(it->first.c_str());
            }
        }
    }
    BackendConfig(const BackendConfig&) = delete;
    BackendConfig& operator=(const BackendConfig&) = delete;

    // A new start of the process: the configuration is made afresh from the same folders.
    CComConfig& reload() {
        CComConfig::releaseInstance();
        CComConfig* config = CComConfig::getInstance();
        config->loadLocalConfig();
        return *config;
    }
    CComConfig& config() const { return *CComConfig::getInstance(); }

    // The stored unique number file's content, empty when none.
    std::string storedIdentityFile() const { return folder.read("config/Fenwix/allApp"); }

    TempFolder folder;

private:
    void set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace fenwixtest
