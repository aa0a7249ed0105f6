// The open log file of one logger, owned by the writer thread: opening, rolling by local day
// and by size, the per-month folder and the deletion of old files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "logging/log4z.h"

namespace log4z::detail {

// Who writes: the parts of the file name that do not change while the process runs.
struct ProcessIdentity {
    std::string name;     // executable name without the part from its last dot
    std::string pidText;  // "%06u"
};

ProcessIdentity currentProcessIdentity();

// "%s_%s_%04d%02d%02d%02d%02d_%s_%03u.log" of the local time of `seconds`.
std::string logFileName(const ProcessIdentity& who, const std::string& loggerName,
                        std::int64_t seconds, unsigned int index);

// The folder of the files of a logger at `seconds`, with "YYYY_MM/" when monthdir is on.
std::string logFolder(const LoggerSettings& settings, std::int64_t seconds);

class LogFile {
public:
    // Makes sure the file for a line at `seconds` is open, rolling to a new one on a new local
    // day or past the size limit. False when no file can be opened; `failedPath` names it.
    bool prepare(const LoggerSettings& settings, const ProcessIdentity& who, std::int64_t seconds,
                 std::string& failedPath);
    void write(const char* text, std::size_t size);
    void flush();
    void close();
    bool isOpen() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    bool needsNewFile(const LoggerSettings& settings, std::int64_t seconds) const;
    void forgetOldFiles(const LoggerSettings& settings, std::int64_t seconds);

    std::unique_ptr<std::FILE, FileCloser> file_;
    std::string path_;
    std::uint64_t written_ = 0;
    std::int64_t dayStart_ = 0;
    std::int64_t nextDayStart_ = 0;
    unsigned int index_ = 0;
    bool needsFlush_ = false;
    std::deque<std::pair<std::int64_t, std::string>> history_;
};

// Local midnight that starts the day of `seconds`, and the one that ends it.
std::pair<std::int64_t, std::int64_t> localDayBounds(std::int64_t seconds);

}  // namespace log4z::detail
