#include <fstream>
#include <sstream>

#include "logging/console.h"
#include "logging/log4z.h"
#include "logging/logconfig.h"
#include "logging/logwriter.h"

namespace log4z {

Log4zManager& Log4zManager::instance() {
    static Log4zManager manager;
    return manager;
}

Log4zManager::Log4zManager() : writer_(std::make_unique<LogWriter>()) {
    // Make the clock and console state outlive the manager's destructor, which still logs.
    now();
    detail::consoleInit();
}

Log4zManager::~Log4zManager() = default;

bool Log4zManager::start() {
    return writer_->start();
}
bool Log4zManager::stop() {
    return writer_->stop();
}
bool Log4zManager::isRunning() const {
    return writer_->running();
}
bool Log4zManager::flush(std::chrono::milliseconds timeout) {
    return writer_->flush(timeout);
}

bool Log4zManager::config(const std::string& configPath) {
    std::ifstream in(configPath, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return configFromString(text.str());
}

bool Log4zManager::configFromString(const std::string& text) {
    detail::applyConfig(writer_->table(), detail::parseConfigText(text));
    return true;
}

LoggerId Log4zManager::createLogger(const std::string& key) {
    return writer_->table().create(key);
}

LoggerId Log4zManager::findLogger(const std::string& key) const {
    return writer_->table().find(key);
}

bool Log4zManager::enableLogger(LoggerId id, bool enable) {
    return writer_->table().update(id, [&](LoggerSettings& s) { s.enable = enable; });
}

bool Log4zManager::setLoggerName(LoggerId id, const std::string& name) {
    return writer_->table().update(id, [&](LoggerSettings& s) { s.name = name; });
}

bool Log4zManager::setLoggerPath(LoggerId id, const std::string& path) {
    return writer_->table().update(
        id, [&](LoggerSettings& s) { s.path = detail::normalisedPath(path); });
}

bool Log4zManager::setLoggerLevel(LoggerId id, int level) {
    if (level < LOG_LEVEL_TRACE || level > LOG_LEVEL_FATAL) {
        return false;
    }
    return writer_->table().update(id, [&](LoggerSettings& s) { s.level = level; });
}

bool Log4zManager::setLoggerFileLine(LoggerId id, bool enable) {
    return writer_->table().update(id, [&](LoggerSettings& s) { s.fileline = enable; });
}

bool Log4zManager::setLoggerDisplay(LoggerId id, bool enable) {
    return writer_->table().update(id, [&](LoggerSettings& s) { s.display = enable; });
}

bool Log4zManager::setLoggerOutFile(LoggerId id, bool enable) {
    return writer_->table().update(id, [&](LoggerSettings& s) { s.outfile = enable; });
}

bool Log4zManager::setLoggerLimitsize(LoggerId id, unsigned int limitsizeMiB) {
    // Zero would roll to a new file after every line.
    const unsigned int limit = limitsizeMiB == 0 ? 1 : limitsizeMiB;
    return writer_->table().update(id, [&](LoggerSettings& s) { s.limitsize = limit; });
}

bool Log4zManager::setLoggerMonthdir(LoggerId id, bool enable) {
    return writer_->table().update(id, [&](LoggerSettings& s) { s.monthdir = enable; });
}

bool Log4zManager::setLoggerReserveTime(LoggerId id, std::int64_t seconds) {
    if (seconds < 0) {
        return false;
    }
    return writer_->table().update(id, [&](LoggerSettings& s) { s.reserve = seconds; });
}

LoggerSettings Log4zManager::loggerSettings(LoggerId id) const {
    return writer_->table().get(id);
}

bool Log4zManager::resetLoggers() {
    if (writer_->running()) {
        return false;
    }
    writer_->table().reset();
    return true;
}

bool Log4zManager::prePushLog(LoggerId id, int level) {
    return writer_->prePush(id, level);
}

LogData* Log4zManager::makeLogData(LoggerId id, int level) {
    return writer_->make(id, level);
}

void Log4zManager::pushLog(LogData* data, const char* file, int line) {
    writer_->push(data, file, line);
}

bool Log4zManager::isLoggerEnable(LoggerId id) const {
    return writer_->table().enabled(id);
}

unsigned long long Log4zManager::getStatusTotalWriteCount() const {
    return writer_->writeCount();
}
unsigned long long Log4zManager::getStatusTotalWriteBytes() const {
    return writer_->writeBytes();
}
unsigned long long Log4zManager::getStatusTotalPushQueue() const {
    return writer_->pushedCount();
}
unsigned long long Log4zManager::getStatusTotalPopQueue() const {
    return writer_->poppedCount();
}
unsigned int Log4zManager::getStatusActiveLoggers() const {
    return writer_->table().activeCount();
}
std::size_t Log4zManager::getStatusWaitingCount() const {
    return writer_->waitingCount();
}
std::size_t Log4zManager::getStatusFreeCount() const {
    return writer_->freeCount();
}

}  // namespace log4z
