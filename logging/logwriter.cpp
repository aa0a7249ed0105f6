#include "logging/logwriter.h"

#include <algorithm>
#include <random>
#include <string>
#include <system_error>

#include "logging/console.h"
#include "logging/linehead.h"
#include "platform/process.h"
#include "platform/threadname.h"

namespace log4z {
namespace {

// While lines keep coming the writer collects them for this long before a round, so a busy
// program gets one write and flush per round, not per line; an idle writer waits without a
// time-out. A queue this long ends the wait early.
constexpr auto kLinger = std::chrono::milliseconds(50);
constexpr std::size_t kWakeBatch = 1024;

constexpr std::string_view kBang = "!!!!!!!!!!!!!!!!!!!!!!!!!! \r\n";

std::uint32_t cachedThreadId() {
    thread_local const std::uint32_t tid = fenwix::platform::currentThreadId();
    return tid;
}

int backPressurePercent(std::size_t waiting) {
    const std::size_t over = waiting - LOG4Z_QUEUE_SOFT_LIMIT;
    return static_cast<int>(std::min<std::size_t>(100, over * 100 / LOG4Z_QUEUE_SOFT_LIMIT));
}

}  // namespace

LogWriter::LogWriter() : who_(detail::currentProcessIdentity()) {}

LogWriter::~LogWriter() {
    stop();
}

bool LogWriter::start() {
    const std::lock_guard<std::mutex> control(controlMutex_);
    if (thread_.joinable()) {
        detail::consolePrint(detail::kPlainText, "log4z already start \r\n");
        return false;
    }
    {
        const std::lock_guard<std::mutex> lock(queueMutex_);
        stopRequested_ = false;
        accepting_ = true;
    }
    std::promise<void> started;
    std::future<void> ready = started.get_future();
    try {
        thread_ = std::thread(&LogWriter::run, this, &started);
    } catch (const std::system_error&) {
        detail::consolePrint(detail::kPlainText, "log4z: create log4z thread error! \r\n");
        const std::lock_guard<std::mutex> lock(queueMutex_);
        accepting_ = false;
        return false;
    }
    ready.wait();
    return true;
}

bool LogWriter::stop() {
    const std::lock_guard<std::mutex> control(controlMutex_);
    if (!thread_.joinable()) {
        return false;
    }
    running_.store(false, std::memory_order_release);
    detail::consolePrint(detail::kPlainText, "log4z stopping \r\n");
    {
        const std::lock_guard<std::mutex> lock(queueMutex_);
        stopRequested_ = true;
    }
    wake_.notify_one();
    thread_.join();
    return true;
}

bool LogWriter::flush(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(queueMutex_);
    if (!accepting_) {
        return false;
    }
    const unsigned long long target = pushed_;
    ++flushWaiters_;
    wake_.notify_one();
    done_.wait_for(lock, timeout, [&] { return popped_ >= target || !accepting_; });
    --flushWaiters_;
    return popped_ >= target;
}

unsigned long long LogWriter::pushedCount() const {
    const std::lock_guard<std::mutex> lock(queueMutex_);
    return pushed_;
}

unsigned long long LogWriter::poppedCount() const {
    const std::lock_guard<std::mutex> lock(queueMutex_);
    return popped_;
}

bool LogWriter::prePush(LoggerId id, int level) {
    if (!table_.passes(id, level) || !running()) {
        return false;
    }
    if (waiting_.load(std::memory_order_relaxed) > LOG4Z_QUEUE_SOFT_LIMIT) {
        applyBackPressure();
    }
    return true;
}

void LogWriter::applyBackPressure() {
    const std::size_t waiting = waiting_.load(std::memory_order_relaxed);
    if (waiting <= LOG4Z_QUEUE_SOFT_LIMIT) {
        return;
    }
    const int percent = backPressurePercent(waiting);
    thread_local std::minstd_rand random(cachedThreadId());
    if (static_cast<int>(random() % 100) >= percent) {
        return;
    }
    if (percent > 50) {
        const std::lock_guard<std::mutex> lock(queueMutex_);
        if (queue_.count <= LOG4Z_QUEUE_SOFT_LIMIT) {
            return;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(percent));
}

LogData* LogWriter::make(LoggerId id, int level) {
    LogData* entry = pool_.take();
    entry->id = id;
    entry->level = level;
    entry->threadId = cachedThreadId();
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::milliseconds>(now().time_since_epoch()).count();
    // Floor division keeps the milliseconds in 0..999 for times before 1970 too.
    std::int64_t sec = sinceEpoch / 1000;
    std::int64_t ms = sinceEpoch % 1000;
    if (ms < 0) {
        ms += 1000;
        sec -= 1;
    }
    entry->sec = sec;
    entry->ms = static_cast<unsigned int>(ms);
    detail::writeHead(*entry);
    return entry;
}

void LogWriter::push(LogData* data, const char* file, int line) {
    if (data == nullptr) {
        return;
    }
    detail::finishLine(*data, table_.fileline(data->id) ? file : nullptr, line);
    bool wake = false;
    {
        const std::lock_guard<std::mutex> lock(queueMutex_);
        if (accepting_) {
            queue_.append(data);
            ++pushed_;
            waiting_.store(queue_.count, std::memory_order_relaxed);
            wake = writerWaiting_ || (writerLingering_ && queue_.count == kWakeBatch);
            writerWaiting_ = false;
            data = nullptr;
        }
    }
    if (data != nullptr) {
        pool_.give(data);  // the writer has finished for good: nothing will write it
        return;
    }
    if (wake) {
        wake_.notify_one();
    }
}

void LogWriter::run(std::promise<void>* started) {
    fenwix::platform::nameThisThread("fw-log");
    running_.store(true, std::memory_order_release);
    logStartup();
    started->set_value();
    WriterState state;
    detail::EntryChain batch;
    bool busy = false;
    while (takeBatch(batch, busy)) {
        busy = true;
        refreshSettings(state);
        for (const LogData* entry = batch.first; entry != nullptr; entry = entry->next) {
            writeEntry(state, *entry);
        }
        const std::size_t count = batch.count;
        pool_.giveAll(batch.release());
        finishRound(state, count);
    }
    for (detail::LogFile& file : state.files) {
        file.close();
    }
}

void LogWriter::logStartup() {
    LOG_ALARM(LOG4Z_MAIN_LOGGER_ID,
              "-----------------  log4z thread started!   ----------------------------");
    for (LoggerId id = 0; id < LOGGER_MAX; ++id) {
        const LoggerSettings settings = table_.get(id);
        if (!settings.enable) {
            continue;
        }
        LOG_ALARM(LOG4Z_MAIN_LOGGER_ID,
                  "logger id=" << id << " key=" << settings.key << " name=" << settings.name
                               << " path=" << settings.path << " level=" << settings.level
                               << " display=" << settings.display);
    }
}

bool LogWriter::takeBatch(detail::EntryChain& batch, bool linger) {
    std::unique_lock<std::mutex> lock(queueMutex_);
    if (linger) {
        writerLingering_ = true;
        wake_.wait_for(lock, kLinger, [&] {
            return stopRequested_ || flushWaiters_ > 0 || queue_.count >= kWakeBatch;
        });
        writerLingering_ = false;
    }
    // No timed polling once idle: the writer sleeps until a line or the stop request arrives.
    while (queue_.empty() && !stopRequested_) {
        writerWaiting_ = true;
        wake_.wait(lock);
    }
    writerWaiting_ = false;
    if (queue_.empty()) {
        accepting_ = false;
        done_.notify_all();
        return false;
    }
    batch = queue_.release();
    waiting_.store(0, std::memory_order_relaxed);
    return true;
}

void LogWriter::refreshSettings(WriterState& state) {
    if (!table_.changedSince(state.version)) {
        return;
    }
    const detail::SettingsArray before = state.settings;
    table_.snapshotIfChanged(state.settings, state.version);
    for (size_t i = 0; i < state.files.size(); ++i) {
        const LoggerSettings& was = before[i];
        const LoggerSettings& is = state.settings[i];
        // A file in the old place is not written again once its logger moved or stopped.
        if (!is.enable || !is.outfile || was.path != is.path || was.name != is.name ||
            was.monthdir != is.monthdir) {
            state.files[i].close();
        }
    }
}

void LogWriter::writeEntry(WriterState& state, const LogData& entry) {
    if (!detail::LoggerTable::validId(entry.id)) {
        return;
    }
    const LoggerSettings& settings = state.settings[static_cast<size_t>(entry.id)];
    if (!settings.enable || entry.level < settings.level) {
        return;
    }
    if (settings.display) {
        detail::consolePrint(entry.level,
                             std::string_view(entry.content, static_cast<size_t>(entry.len)));
        state.displayed = true;
    }
    if (settings.outfile) {
        writeToFile(state, entry);
    }
    writeCount_.fetch_add(1, std::memory_order_relaxed);
    writeBytes_.fetch_add(static_cast<unsigned long long>(entry.len), std::memory_order_relaxed);
}

void LogWriter::writeToFile(WriterState& state, const LogData& entry) {
    const auto index = static_cast<size_t>(entry.id);
    LoggerSettings& settings = state.settings[index];
    detail::LogFile& file = state.files[index];
    std::string failedPath;
    if (!file.prepare(settings, who_, entry.sec, failedPath)) {
        detail::consolePrint(LOG_LEVEL_FATAL, kBang);
        detail::consolePrint(LOG_LEVEL_FATAL,
                             "log4z: can not open log file " + failedPath + ". \r\n");
        detail::consolePrint(LOG_LEVEL_FATAL, kBang);
        // Later lines of this logger go to the console only.
        settings.outfile = false;
        table_.update(entry.id, [](LoggerSettings& s) { s.outfile = false; });
        return;
    }
    file.write(entry.content, static_cast<size_t>(entry.len));
}

void LogWriter::finishRound(WriterState& state, std::size_t count) {
    for (size_t i = 0; i < state.files.size(); ++i) {
        if (state.settings[i].enable) {
            state.files[i].flush();
        } else {
            state.files[i].close();
        }
    }
    if (state.displayed) {
        detail::consoleFlush();
        state.displayed = false;
    }
    const std::lock_guard<std::mutex> lock(queueMutex_);
    popped_ += count;
    done_.notify_all();
}

}  // namespace log4z
