// What the fuzz targets of the backend client share, made once per process: a private
// configuration whose backend is a closed loopback port, every HTTP request sent through a closed
// loopback proxy (so a URL taken from the input never leaves the machine), and a published main
// window that reads every text an event carries, so that a text freed too early shows up under
// the address sanitizer.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

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

// Waits for the requests an input started (they fail fast against the closed port), so that the
// leak check after each input does not count a request still in flight as a leak.
inline void settle() {
    CHttpClient::waitForWorkers(std::chrono::seconds(5));
}

inline std::string text(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace fenwixfuzz
