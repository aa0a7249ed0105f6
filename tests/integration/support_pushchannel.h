// A terminal configuration pointed at a fenwix-sim of the test's own: private configuration
// folders, desktop.ini naming the sim as business and push service, and a fresh process-wide
// CComConfig built from them. Everything is put back when the object goes.
#pragma once

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "service/commonutil.h"
#include "support/tempfolder.h"

class SimTerminalConfig {
public:
    explicit SimTerminalConfig(const std::string& simBaseUrl) {
        set("XDG_CONFIG_HOME", folder_.file("config"));
        set("FENWIX_INI_DIR", folder_.file("ini"));
        set("FENWIX_HARDWARE_SERIAL_SOURCES", folder_.write("uuid", "PUSH-TEST-SERIAL\n"));
        folder_.write("ini/desktop.ini",
                      "[CONFIG]\napibaseurl=" + simBaseUrl + "\npushbaseurl=" + simBaseUrl + "\n");
        CComConfig::releaseInstance();
        CComConfig::getInstance()->loadLocalConfig();
    }

    ~SimTerminalConfig() {
        CComConfig::releaseInstance();
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                ::unsetenv(it->first.c_str());
            }
        }
    }

    SimTerminalConfig(const SimTerminalConfig&) = delete;
    SimTerminalConfig& operator=(const SimTerminalConfig&) = delete;

    CComConfig& config() const { return *CComConfig::getInstance(); }

private:
    void set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }

    TempFolder folder_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Polls `condition` until it holds or `timeout` has passed; its last value.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
