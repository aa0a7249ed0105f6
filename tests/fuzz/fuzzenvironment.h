// What the fuzz targets of the backend client share, made once per process: a private
// configuration whose backend is a closed loopback port, every HTTP request sent through a closed
// loopback proxy (so a URL taken from the input never leaves the machine), and a published main
// window that reads every text an event carries, so that a text freed too early shows up under
// the address sanitizer.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "service/fenwixstudentserver.h"
#include "service/httpclient.h"
#include "service/mainwindowchannel.h"
#include "service/mainwindowevents.h"
#include "support/backendfixture.h"
#include "support/hookedstudentserver.h"
#include "support/testmainwindow.h"

namespace fenwixfuzz {

inline const char* const kClosedPort = "http://127.0.0.1:9";

inline bool eventCarriesText(unsigned msg, std::uintptr_t wParam) {
    if (msg == WM_NOTICE) {
        return fenwixtest::noticeCarriesText(static_cast<unsigned>(wParam));
    }
    return msg == WM_PUSH_MESSAGE || (msg >= WM_CONF_CHAT && msg <= WM_CONF_SOURCE_REMOVED);
}

class FuzzEnvironment {
public:
    static FuzzEnvironment& instance() {
        static FuzzEnvironment* environment = new FuzzEnvironment();  // lives until exit
        return *environment;
    }

    TestMainWindow& window() { return *window_; }
    fenwixtest::HookedStudentServer& server() { return server_; }

private:
    FuzzEnvironment() {
        for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "ALL_PROXY"}) {
            ::setenv(name, kClosedPort, 1);
        }
        ::unsetenv("no_proxy");
        ::unsetenv("NO_PROXY");
        config_ = std::make_unique<fenwixtest::BackendConfig>(kClosedPort);
        window_ = std::make_shared<TestMainWindow>(
            [](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
                if (lParam != 0 && eventCarriesText(msg, wParam)) {
                    const std::string copy = *reinterpret_cast<const std::string*>(lParam);
                    return static_cast<std::intptr_t>(copy.size());
                }
                return std::intptr_t{0};
            });
        publishMainWindow(window_);
    }

    std::unique_ptr<fenwixtest::BackendConfig> config_;
    std::shared_ptr<TestMainWindow> window_;
    fenwixtest::HookedStudentServer server_;
};

// True while a thread of the HTTP client's ("fw-http") is still alive, even past the end of its
// request: what it frees on its way out (its own state) is freed then.
inline bool httpThreadAlive() {
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        if (std::getline(comm, name) && name == "fw-http") {
            return true;
        }
    }
    return false;
}

// Waits for the requests an input started (they fail fast against the closed port) and for their
// threads to be gone, and forgets the calls the server recorded, so that each input ends with
// the memory it began with. An input that ends holding more (a worker ended but not yet gone, a
// recorded call) makes libFuzzer run it again under a full leak scan: the long runs spent most
// of their time there.
inline void settle() {
    CHttpClient::waitForWorkers(std::chrono::seconds(5));
    FuzzEnvironment::instance().server().forgetCalls();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (httpThreadAlive() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
}

inline std::string text(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace fenwixfuzz
