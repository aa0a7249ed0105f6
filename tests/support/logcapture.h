// Captures the lines of the process-wide logger for one test: the logger prints to a sink
// instead of the console and writes no files while the capture lives.
#pragma once

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "logging/log4z.h"

class LogCapture {
public:
    LogCapture() {
        auto& manager = log4z::Log4zManager::instance();
        m_wasRunning = manager.isRunning();
        m_saved = manager.loggerSettings(log4z::LOG4Z_MAIN_LOGGER_ID);
        manager.setLoggerOutFile(log4z::LOG4Z_MAIN_LOGGER_ID, false);
        manager.setLoggerDisplay(log4z::LOG4Z_MAIN_LOGGER_ID, true);
        manager.setLoggerLevel(log4z::LOG4Z_MAIN_LOGGER_ID, log4z::LOG_LEVEL_DEBUG);
        log4z::setConsoleSink([this](int, std::string_view text) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_lines.emplace_back(text);
        });
        if (!m_wasRunning) {
            manager.start();
        }
    }

    ~LogCapture() {
        auto& manager = log4z::Log4zManager::instance();
        manager.flush(std::chrono::seconds(5));
        if (!m_wasRunning) {
            manager.stop();
        }
        log4z::setConsoleSink({});
        manager.setLoggerOutFile(log4z::LOG4Z_MAIN_LOGGER_ID, m_saved.outfile);
        manager.setLoggerDisplay(log4z::LOG4Z_MAIN_LOGGER_ID, m_saved.display);
        manager.setLoggerLevel(log4z::LOG4Z_MAIN_LOGGER_ID, m_saved.level);
    }

    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Every line logged so far (waits until the logger has printed them).
    std::vector<std::string> lines() {
        log4z::Log4zManager::instance().flush(std::chrono::seconds(5));
        std::lock_guard<std::mutex> lock(m_lock);
        return m_lines;
    }

    std::size_t count(const std::string& text) {
        const auto all = lines();
        return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [&](const auto& l) {
            return l.find(text) != std::string::npos;
        }));
    }

    bool contains(const std::string& text) { return count(text) > 0; }

    void clear() {
        log4z::Log4zManager::instance().flush(std::chrono::seconds(5));
        std::lock_guard<std::mutex> lock(m_lock);
        m_lines.clear();
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_lines;
    log4z::LoggerSettings m_saved;
    bool m_wasRunning = false;
};
