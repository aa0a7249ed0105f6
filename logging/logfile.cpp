#include "logging/logfile.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/localtime.h"
#include "platform/process.h"

namespace log4z::detail {
namespace {

constexpr std::uint64_t kMiB = 1048576;
// Old files are only deleted while more than this many are remembered.
constexpr std::size_t kKeptFiles = 7;
constexpr std::size_t kFileBuffer = std::size_t{256} * 1024;

std::tm localTm(std::int64_t seconds) {
    std::tm tm{};
    if (!fenwix::platform::toLocalTime(seconds, tm)) {
        tm = std::tm{};
        tm.tm_year = 70;
        tm.tm_mday = 1;
    }
    return tm;
}

std::int64_t secondsIntoDay(const std::tm& tm) {
    return tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
}

bool sameDate(const std::tm& a, const std::tm& b) {
    return a.tm_mday == b.tm_mday && a.tm_mon == b.tm_mon && a.tm_year == b.tm_year;
}

}  // namespace

ProcessIdentity currentProcessIdentity() {
    ProcessIdentity who;
    who.name = fenwix::platform::executableName();
    const size_t dot = who.name.rfind('.');
    if (dot != std::string::npos) {
        who.name.erase(dot);
    }
    if (who.name.empty()) {
        who.name = "process";
    }
    char pid[16];
    std::snprintf(pid, sizeof pid, "%06u", fenwix::platform::currentProcessId());
    who.pidText = pid;
    return who;
}

std::string logFileName(const ProcessIdentity& who, const std::string& loggerName,
                        std::int64_t seconds, unsigned int index) {
    const std::tm tm = localTm(seconds);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min);
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%03u", index);
    return who.name + "_" + loggerName + "_" + stamp + "_" + who.pidText + "_" + suffix + ".log";
}

std::string logFolder(const LoggerSettings& settings, std::int64_t seconds) {
    std::string folder = settings.path;
    if (settings.monthdir) {
        const std::tm tm = localTm(seconds);
        char month[64];
        std::snprintf(month, sizeof month, "%04d_%02d/", tm.tm_year + 1900, tm.tm_mon + 1);
        folder += month;
    }
    return folder;
}

std::pair<std::int64_t, std::int64_t> localDayBounds(std::int64_t seconds) {
    // Stepping back by the time of day, or on by 24 hours, lands on a midnight except on the
    // days of a clock change, where it lands an hour off; the time of day found there says
    // which way and how far.
    const std::tm today = localTm(seconds);
    const std::int64_t startGuess = seconds - secondsIntoDay(today);
    const std::tm atStart = localTm(startGuess);
    const std::int64_t start = sameDate(atStart, today)
                                   ? startGuess - secondsIntoDay(atStart)
                                   : startGuess + 86400 - secondsIntoDay(atStart);
    const std::int64_t endGuess = start + 86400;
    const std::tm atEnd = localTm(endGuess);
    const std::int64_t end = sameDate(atEnd, today) ? endGuess + 86400 - secondsIntoDay(atEnd)
                                                    : endGuess - secondsIntoDay(atEnd);
    if (start > seconds || end <= seconds) {
        return {seconds - secondsIntoDay(today), seconds - secondsIntoDay(today) + 86400};
    }
    return {start, end};
}

bool LogFile::needsNewFile(const LoggerSettings& settings, std::int64_t seconds) const {
    if (!file_) {
        return true;
    }
    if (seconds >= nextDayStart_ || seconds < dayStart_) {
        return true;
    }
    const std::uint64_t limit = static_cast<std::uint64_t>(settings.limitsize) * kMiB;
    return written_ > limit;
}

bool LogFile::prepare(const LoggerSettings& settings, const ProcessIdentity& who,
                      std::int64_t seconds, std::string& failedPath) {
    if (!needsNewFile(settings, seconds)) {
        return true;
    }
    const bool inDay = seconds >= dayStart_ && seconds < nextDayStart_;
    if (inDay && file_) {
        ++index_;  // past the size limit
    } else if (!inDay) {
        const auto bounds = localDayBounds(seconds);
        if (bounds.first != dayStart_) {
            index_ = 0;
        }
        dayStart_ = bounds.first;
        nextDayStart_ = bounds.second;
    }
    close();
    const std::string folder = logFolder(settings, seconds);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string path = folder + logFileName(who, settings.name, seconds, index_);
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        failedPath = path;
        return false;
    }
    std::setvbuf(file, nullptr, _IOFBF, kFileBuffer);
    file_.reset(file);
    path_ = path;
    written_ = 0;
    if (settings.reserve > 0) {
        forgetOldFiles(settings, seconds);
    }
    return true;
}

void LogFile::forgetOldFiles(const LoggerSettings& settings, std::int64_t seconds) {
    while (history_.size() > kKeptFiles && seconds - history_.front().first > settings.reserve) {
        if (history_.front().second != path_) {
            std::error_code ec;
            std::filesystem::remove(history_.front().second, ec);
        }
        history_.pop_front();
    }
    if (history_.empty() || history_.back().second != path_) {
        history_.emplace_back(seconds, path_);
    }
}

void LogFile::write(const char* text, std::size_t size) {
    if (!file_) {
        return;
    }
    written_ += std::fwrite(text, 1, size, file_.get());
    needsFlush_ = true;
}

void LogFile::flush() {
    if (file_ && needsFlush_) {
        std::fflush(file_.get());
    }
    needsFlush_ = false;
}

void LogFile::close() {
    file_.reset();
    needsFlush_ = false;
}

}  // namespace log4z::detail
