#include "sdk/common/sdklog.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace sdkcommon {

namespace {
constexpr size_t kMaxPending = 1000;

std::string stamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const long ms = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buffer[48];
    std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02d %02d:%02d:%02d.%03ld ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
    return buffer;
}

void makeFolders(const std::string& folder) {
    for (size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos == folder.size() || folder[pos] == '/') {
            mkdir(folder.substr(0, pos).c_str(), 0755);
        }
    }
}
}  // namespace

std::string nativePath(const std::string& path) {
    std::string out = path;
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

void SdkLog::open(const std::string& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_.is_open()) {
        file_.close();
    }
    std::string dir = nativePath(folder);
    if (dir.empty()) {
        return;
    }
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    makeFolders(dir);
    file_.open(dir + "/" + fileName_, std::ios::app);
    for (const auto& text : pending_) {
        file_ << text;
    }
    pending_.clear();
    file_.flush();
}

void SdkLog::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    file_.close();
}

void SdkLog::line(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string full = stamp() + text + "\n";
    if (file_.is_open()) {
        file_ << full;
        file_.flush();
    } else if (pending_.size() < kMaxPending) {
        pending_.push_back(std::move(full));
    }
}

}  // namespace sdkcommon
