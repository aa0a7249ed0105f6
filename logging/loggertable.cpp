#include "logging/loggertable.h"

#include "logging/console.h"

namespace log4z::detail {

std::string normalisedPath(std::string path) {
    if (path.empty()) {
        return "./";
    }
    if (path.back() != '/' && path.back() != '\\') {
        path += '/';
    }
    return path;
}

LoggerTable::LoggerTable() {
    reset();
}

LoggerSettings LoggerTable::defaults(LoggerId id) {
    LoggerSettings settings;
    if (id == LOG4Z_MAIN_LOGGER_ID) {
        settings.key = LOG4Z_MAIN_LOGGER_KEY;
        settings.name = LOG4Z_MAIN_LOGGER_KEY;
        settings.enable = true;
    }
    return settings;
}

void LoggerTable::reset() {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (LoggerId id = 0; id < LOGGER_MAX; ++id) {
        settings_[static_cast<size_t>(id)] = defaults(id);
        mirror(id);
    }
    used_ = 1;
    version_.fetch_add(1, std::memory_order_release);
}

LoggerId LoggerTable::create(const std::string& key) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (LoggerId id = 0; id < used_; ++id) {
        if (settings_[static_cast<size_t>(id)].key == key) {
            return id;
        }
    }
    if (used_ >= LOGGER_MAX) {
        consolePrint(kPlainText,
                     "log4z: CreateLogger can not create|writeover, because loggerid need < "
                     "LOGGER_MAX! \r\n");
        return LOG4Z_INVALID_LOGGER_ID;
    }
    const LoggerId id = used_++;
    LoggerSettings& settings = settings_[static_cast<size_t>(id)];
    settings = defaults(id);
    settings.key = key;
    settings.name = key;
    mirror(id);
    version_.fetch_add(1, std::memory_order_release);
    return id;
}

LoggerId LoggerTable::find(const std::string& key) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (LoggerId id = 0; id < used_; ++id) {
        if (settings_[static_cast<size_t>(id)].key == key) {
            return id;
        }
    }
    return LOG4Z_INVALID_LOGGER_ID;
}

bool LoggerTable::update(LoggerId id, const std::function<void(LoggerSettings&)>& change) {
    if (!validId(id)) {
        return false;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    change(settings_[static_cast<size_t>(id)]);
    mirror(id);
    version_.fetch_add(1, std::memory_order_release);
    return true;
}

LoggerSettings LoggerTable::get(LoggerId id) const {
    if (!validId(id)) {
        return {};
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    return settings_[static_cast<size_t>(id)];
}

void LoggerTable::mirror(LoggerId id) {
    const auto index = static_cast<size_t>(id);
    const LoggerSettings& settings = settings_[index];
    enabled_[index].store(settings.enable, std::memory_order_relaxed);
    level_[index].store(settings.level, std::memory_order_relaxed);
    fileline_[index].store(settings.fileline, std::memory_order_relaxed);
}

bool LoggerTable::passes(LoggerId id, int level) const {
    if (!validId(id)) {
        return false;
    }
    const auto index = static_cast<size_t>(id);
    return enabled_[index].load(std::memory_order_relaxed) &&
           level >= level_[index].load(std::memory_order_relaxed);
}

bool LoggerTable::enabled(LoggerId id) const {
    return validId(id) && enabled_[static_cast<size_t>(id)].load(std::memory_order_relaxed);
}

bool LoggerTable::fileline(LoggerId id) const {
    return validId(id) && fileline_[static_cast<size_t>(id)].load(std::memory_order_relaxed);
}

unsigned int LoggerTable::activeCount() const {
    unsigned int count = 0;
    for (const auto& flag : enabled_) {
        count += flag.load(std::memory_order_relaxed) ? 1U : 0U;
    }
    return count;
}

bool LoggerTable::snapshotIfChanged(SettingsArray& out, std::uint64_t& version) const {
    if (version_.load(std::memory_order_acquire) == version) {
        return false;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    out = settings_;
    version = version_.load(std::memory_order_relaxed);
    return true;
}

}  // namespace log4z::detail
