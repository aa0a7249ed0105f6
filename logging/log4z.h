// The process-wide logger: producers format a line into a recycled entry and queue it; one writer
// thread writes the queued lines to dated log files, so a producer never waits for the disk.
//
//   LOGI("http请求异常: " << status << " requestType:" << type);
//
// Each macro tests the level, makes an entry, appends the text and pushes the entry with the
// source file and line. Logger 0 ("Main") is enabled by default; start() must have been called
// for anything to be written.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace log4z {

using LoggerId = int;

constexpr LoggerId LOG4Z_MAIN_LOGGER_ID = 0;
constexpr LoggerId LOG4Z_INVALID_LOGGER_ID = -1;
constexpr int LOGGER_MAX = 20;
constexpr const char* LOG4Z_MAIN_LOGGER_KEY = "Main";
constexpr std::size_t LOG_BUF_SIZE = 8192;
// Past this many waiting entries producers are slowed down (never dropped).
constexpr std::size_t LOG4Z_QUEUE_SOFT_LIMIT = 20000;

enum LogLevel : int {
    LOG_LEVEL_TRACE = 0,
    LOG_LEVEL_DEBUG = 1,
    LOG_LEVEL_INFO = 2,
    LOG_LEVEL_WARN = 3,
    LOG_LEVEL_ERROR = 4,
    LOG_LEVEL_ALARM = 5,
    LOG_LEVEL_FATAL = 6,
};

// One queued line. `content` holds the whole line, head included; `len` bytes are used and the
// text is always NUL-terminated.
struct LogData {
    LoggerId id = 0;
    int level = 0;
    std::uint32_t threadId = 0;
    std::int64_t sec = 0;
    unsigned int ms = 0;
    int len = 0;
    LogData* next = nullptr;  // link in the queue or the free list
    char content[LOG_BUF_SIZE];
};

// Settings of one logger, as plain data.
struct LoggerSettings {
    std::string key;
    std::string name;
    std::string path = "./log/";
    int level = LOG_LEVEL_DEBUG;
    bool display = true;
    bool outfile = true;
    bool monthdir = false;
    unsigned int limitsize = 100;  // MiB
    bool enable = false;
    bool fileline = true;
    std::int64_t reserve = 0;  // seconds; 0 keeps every file
};

using TimePoint = std::chrono::system_clock::time_point;

// Replaces the wall clock used for new lines and for rolling files; an empty function restores
// the real clock. Lets tests cross midnight without waiting for it.
void setClockForTesting(std::function<TimePoint()> clock);
TimePoint now();

// Receives everything the logger prints to the console (level, text); an empty function
// restores standard output.
using ConsoleSink = std::function<void(int level, std::string_view text)>;
void setConsoleSink(ConsoleSink sink);

// Appends message text to an entry, cutting it so the finished line still fits the buffer.
class LogStream {
public:
    explicit LogStream(LogData* data) : data_(data) {}

    LogStream& operator<<(const char* text);
    LogStream& operator<<(char* text) { return *this << static_cast<const char*>(text); }
    LogStream& operator<<(const std::string& text) { return write(text.data(), text.size()); }
    LogStream& operator<<(std::string_view text) { return write(text.data(), text.size()); }
    LogStream& operator<<(char c) { return write(&c, 1); }
    LogStream& operator<<(bool value) { return write(value ? "1" : "0", 1); }
    LogStream& operator<<(float value) { return writeDouble(value); }
    LogStream& operator<<(double value) { return writeDouble(value); }
    LogStream& operator<<(long double value) { return writeDouble(static_cast<double>(value)); }
    LogStream& operator<<(const void* pointer);
    LogStream& operator<<(std::nullptr_t) { return *this << static_cast<const void*>(nullptr); }

    template <
        typename T,
        typename std::enable_if_t<
            std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>, int> = 0>
    LogStream& operator<<(T value) {
        if constexpr (std::is_signed_v<T>) {
            return writeSigned(static_cast<long long>(value));
        } else {
            return writeUnsigned(static_cast<unsigned long long>(value));
        }
    }

    template <typename T, typename std::enable_if_t<std::is_enum_v<T>, int> = 0>
    LogStream& operator<<(T value) {
        return *this << static_cast<std::underlying_type_t<T>>(value);
    }

    template <typename T>
    LogStream& operator<<(T* pointer) {
        return *this << static_cast<const void*>(pointer);
    }

    LogStream& write(const char* text, std::size_t size);

private:
    LogStream& writeSigned(long long value);
    LogStream& writeUnsigned(unsigned long long value);
    LogStream& writeDouble(double value);

    LogData* data_;
};

class LogWriter;

class Log4zManager {
public:
    static Log4zManager& instance();

    Log4zManager(const Log4zManager&) = delete;
    Log4zManager& operator=(const Log4zManager&) = delete;

    // Starts the writer thread and returns once it has run its start-up; false if it already
    // runs or cannot be created.
    bool start();
    // Lets the writer write every queued line, close its files and end; waits for it.
    bool stop();
    bool isRunning() const;

    // Waits until every line pushed before the call is written and flushed (false when the
    // writer does not run or does not get there within the time-out).
    bool flush(std::chrono::milliseconds timeout = std::chrono::seconds(30));

    // Configuration from a file or a text of key=value lines with [logger] sections.
    bool config(const std::string& configPath);
    bool configFromString(const std::string& text);

    // Creates (or finds) the logger of a key; LOG4Z_INVALID_LOGGER_ID when all are used.
    LoggerId createLogger(const std::string& key);
    LoggerId findLogger(const std::string& key) const;

    bool enableLogger(LoggerId id, bool enable);
    bool setLoggerName(LoggerId id, const std::string& name);
    bool setLoggerPath(LoggerId id, const std::string& path);
    bool setLoggerLevel(LoggerId id, int level);
    bool setLoggerFileLine(LoggerId id, bool enable);
    bool setLoggerDisplay(LoggerId id, bool enable);
    bool setLoggerOutFile(LoggerId id, bool enable);
    bool setLoggerLimitsize(LoggerId id, unsigned int limitsizeMiB);
    bool setLoggerMonthdir(LoggerId id, bool enable);
    bool setLoggerReserveTime(LoggerId id, std::int64_t seconds);
    LoggerSettings loggerSettings(LoggerId id) const;

    // Returns every logger to its defaults and forgets the keys; only while stopped. Lets a
    // program (or a test) start over with a clean logger table.
    bool resetLoggers();

    // The four steps of a log line.
    bool prePushLog(LoggerId id, int level);
    LogData* makeLogData(LoggerId id, int level);
    void pushLog(LogData* data, const char* file = nullptr, int line = 0);

    bool isLoggerEnable(LoggerId id) const;

    // Status counters.
    unsigned long long getStatusTotalWriteCount() const;
    unsigned long long getStatusTotalWriteBytes() const;
    unsigned long long getStatusTotalPushQueue() const;
    unsigned long long getStatusTotalPopQueue() const;
    unsigned int getStatusActiveLoggers() const;
    std::size_t getStatusWaitingCount() const;
    std::size_t getStatusFreeCount() const;

private:
    Log4zManager();
    ~Log4zManager();

    std::unique_ptr<LogWriter> writer_;
};

}  // namespace log4z

#define LOG_STREAM(id, level, log)                                                       \
    do {                                                                                 \
        ::log4z::Log4zManager& log4zManager_ = ::log4z::Log4zManager::instance();        \
        if (log4zManager_.prePushLog((id), (level))) {                                   \
            ::log4z::LogData* log4zData_ = log4zManager_.makeLogData((id), (level));     \
            ::log4z::LogStream log4zStream_(log4zData_);                                 \
            log4zStream_ << log; /* NOLINT(bugprone-macro-parentheses): a chain of << */ \
            log4zManager_.pushLog(log4zData_, __FILE__, __LINE__);                       \
        }                                                                                \
    } while (0)

#define LOG_TRACE(id, log) LOG_STREAM(id, ::log4z::LOG_LEVEL_TRACE, log)
#define LOG_DEBUG(id, log) LOG_STREAM(id, ::log4z::LOG_LEVEL_DEBUG, log)
#define LOG_INFO(id, log) LOG_STREAM(id, ::log4z::LOG_LEVEL_INFO, log)
#define LOG_WARN(id, log) LOG_STREAM(id, ::log4z::LOG_LEVEL_WARN, log)
#define LOG_ERROR(id, log) LOG_STREAM(id, ::log4z::LOG_LEVEL_ERROR, log)
#define LOG_ALARM(id, log) LOG_STREAM(id, ::log4z::LOG_LEVEL_ALARM, log)
#define LOG_FATAL(id, log) LOG_STREAM(id, ::log4z::LOG_LEVEL_FATAL, log)

#define LOGT(log) LOG_TRACE(::log4z::LOG4Z_MAIN_LOGGER_ID, log)
#define LOGD(log) LOG_DEBUG(::log4z::LOG4Z_MAIN_LOGGER_ID, log)
#define LOGI(log) LOG_INFO(::log4z::LOG4Z_MAIN_LOGGER_ID, log)
#define LOGW(log) LOG_WARN(::log4z::LOG4Z_MAIN_LOGGER_ID, log)
#define LOGE(log) LOG_ERROR(::log4z::LOG4Z_MAIN_LOGGER_ID, log)
#define LOGA(log) LOG_ALARM(::log4z::LOG4Z_MAIN_LOGGER_ID, log)
#define LOGF(log) LOG_FATAL(::log4z::LOG4Z_MAIN_LOGGER_ID, log)
