// The engine behind Log4zManager: the queue of waiting entries, the free list, the settings
// table and the writer thread that owns the files.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "logging/entrypool.h"
#include "logging/log4z.h"
#include "logging/logfile.h"
#include "logging/loggertable.h"

namespace log4z {

class LogWriter {
public:
    LogWriter();
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    bool start();
    bool stop();
    bool running() const { return running_.load(std::memory_order_acquire); }
    bool flush(std::chrono::milliseconds timeout);

    bool prePush(LoggerId id, int level);
    LogData* make(LoggerId id, int level);
    void push(LogData* data, const char* file, int line);

    detail::LoggerTable& table() { return table_; }
    const detail::LoggerTable& table() const { return table_; }

    unsigned long long writeCount() const { return writeCount_.load(std::memory_order_relaxed); }
    unsigned long long writeBytes() const { return writeBytes_.load(std::memory_order_relaxed); }
    unsigned long long pushedCount() const;
    unsigned long long poppedCount() const;
    std::size_t waitingCount() const { return waiting_.load(std::memory_order_relaxed); }
    std::size_t freeCount() const { return pool_.size(); }

private:
    // What only the writer thread touches.
    struct WriterState {
        detail::SettingsArray settings;
        std::uint64_t version = 0;
        std::array<detail::LogFile, LOGGER_MAX> files;
        bool displayed = false;
    };

    void run(std::promise<void>* started);
    void logStartup();
    bool takeBatch(detail::EntryChain& batch, bool linger);
    void refreshSettings(WriterState& state);
    void writeEntry(WriterState& state, const LogData& entry);
    void writeToFile(WriterState& state, const LogData& entry);
    void finishRound(WriterState& state, std::size_t count);
    void applyBackPressure();

    detail::LoggerTable table_;
    detail::EntryPool pool_;
    const detail::ProcessIdentity who_;

    mutable std::mutex queueMutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    detail::EntryChain queue_;
    bool writerWaiting_ = false;    // idle: the next line wakes it
    bool writerLingering_ = false;  // collecting a batch: only a large queue wakes it
    int flushWaiters_ = 0;
    bool stopRequested_ = false;
    bool accepting_ = false;
    unsigned long long pushed_ = 0;
    unsigned long long popped_ = 0;
    std::atomic<std::size_t> waiting_{0};

    std::atomic<bool> running_{false};
    std::atomic<unsigned long long> writeCount_{0};
    std::atomic<unsigned long long> writeBytes_{0};

    std::mutex controlMutex_;
    std::thread thread_;
};

}  // namespace log4z
