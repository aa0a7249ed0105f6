// The settings of the loggers. Writes take a lock; what every producer checks per line
// (enabled, level, fileline) is mirrored in atomics so that check takes none.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "logging/log4z.h"

namespace log4z::detail {

// A folder path ending in a separator; "./" for an empty one.
std::string normalisedPath(std::string path);

using SettingsArray = std::array<LoggerSettings, LOGGER_MAX>;

class LoggerTable {
public:
    LoggerTable();

    // The logger of a key, created (disabled, named after the key) when new.
    LoggerId create(const std::string& key);
    LoggerId find(const std::string& key) const;

    // Applies a change to one logger; false for an invalid id.
    bool update(LoggerId id, const std::function<void(LoggerSettings&)>& change);
    LoggerSettings get(LoggerId id) const;
    void reset();

    static bool validId(LoggerId id) { return id >= 0 && id < LOGGER_MAX; }
    bool passes(LoggerId id, int level) const;
    bool enabled(LoggerId id) const;
    bool fileline(LoggerId id) const;
    unsigned int activeCount() const;

    bool changedSince(std::uint64_t version) const {
        return version_.load(std::memory_order_acquire) != version;
    }
    // Copies all settings when they changed since `version`; returns whether it copied.
    bool snapshotIfChanged(SettingsArray& out, std::uint64_t& version) const;

private:
    void mirror(LoggerId id);
    static LoggerSettings defaults(LoggerId id);

    mutable std::mutex mutex_;
    SettingsArray settings_;
    int used_ = 1;
    std::array<std::atomic<bool>, LOGGER_MAX> enabled_{};
    std::array<std::atomic<int>, LOGGER_MAX> level_{};
    std::array<std::atomic<bool>, LOGGER_MAX> fileline_{};
    std::atomic<std::uint64_t> version_{1};
};

}  // namespace log4z::detail
