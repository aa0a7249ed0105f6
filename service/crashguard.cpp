#include "service/crashguard.h"

#include <cstdlib>
#include <sstream>

#include "logging/log4z.h"
#include "platform/files.h"

namespace {

constexpr std::size_t kRecordMaxBytes = 4096;
const char* const kRunning = "running";

struct Record {
    std::string state;
    std::string version;
    std::vector<std::int64_t> crashes;
};

std::vector<std::int64_t> parseTimes(const std::string& text) {
    std::vector<std::int64_t> times;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        char* end = nullptr;
        const long long value = std::strtoll(item.c_str(), &end, 10);
        if (!item.empty() && end != nullptr && *end == '\0') {
            times.push_back(value);
        }
    }
    return times;
}

// A missing or damaged record reads as "no earlier run": it never makes a crash up.
Record readRecord(const std::string& path) {
    Record record;
    std::string content;
    if (fenwix::platform::readFileHead(path, kRecordMaxBytes, content) !=
        fenwix::platform::FileReadStatus::Ok) {
        return record;
    }
    std::stringstream in(content);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "state") {
            record.state = value;
        } else if (key == "version") {
            record.version = value;
        } else if (key == "crashes") {
            record.crashes = parseTimes(value);
        }
    }
    return record;
}

}  // namespace

CrashGuard::CrashGuard(std::string recordFolder, std::string version,
                       std::function<std::int64_t()> nowSeconds)
    : path_(std::move(recordFolder)), version_(std::move(version)), now_(std::move(nowSeconds)) {
    if (!path_.empty() && path_.back() != '/') {
        path_ += '/';
    }
    fenwix::platform::makeDirectories(path_);
    path_ += kRecordFileName;
}

void CrashGuard::begin() {
    const Record previous = readRecord(path_);
    const std::int64_t now = now_();
    if (previous.version == version_) {
        for (const std::int64_t at : previous.crashes) {
            if (at <= now && now - at < kCrashWindowSeconds) {
                crashes_.push_back(at);
            }
        }
        if (previous.state == kRunning) {
            LOGW("the previous run did not end by itself (crash or killed)");
            crashes_.push_back(now);
        }
    } else if (!previous.version.empty()) {
        LOGI("version " << previous.version << " -> " << version_ << ", crash history cleared");
    }
    const char* forced = std::getenv(kSafeModeVariable);
    safeMode_ = (forced != nullptr && std::string(forced) == "1") ||
                static_cast<int>(crashes_.size()) >= kCrashesForSafeMode;
    if (safeMode_) {
        LOGW("safe mode: " << crashes_.size() << " crashes within " << kCrashWindowSeconds
                           << " s; the conference and the live push stay off");
    }
    write(kRunning);
}

void CrashGuard::markCleanRun() {
    if (!crashes_.empty()) {
        LOGI("clean run, crash history cleared");
    }
    crashes_.clear();
    write(kRunning);
}

void CrashGuard::markHandOver() {
    write("handover");
}

void CrashGuard::markRunning() {
    write(kRunning);
}

void CrashGuard::markDeliberateExit() {
    write("clean");
}

void CrashGuard::write(const std::string& state) {
    std::ostringstream out;
    out << "state=" << state << "\nversion=" << version_ << "\ncrashes=";
    for (std::size_t i = 0; i < crashes_.size(); ++i) {
        out << (i == 0 ? "" : ",") << crashes_[i];
    }
    out << "\n";
    if (!fenwix::platform::replaceFileAtomically(path_, out.str())) {
        LOGE("crash record cannot be written: " << path_);
    }
}
