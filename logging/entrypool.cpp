#include "logging/entrypool.h"

namespace log4z::detail {

EntryPool::~EntryPool() {
    for (LogData* entry : free_) {
        delete entry;
    }
}

LogData* EntryPool::take() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!free_.empty()) {
            LogData* entry = free_.back();
            free_.pop_back();
            return entry;
        }
    }
    // Default-initialised: the 8 KiB buffer is not cleared, only the used part is written.
    return new LogData;
}

void EntryPool::give(LogData* entry) {
    if (entry == nullptr) {
        return;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    free_.push_back(entry);
}

void EntryPool::giveAll(std::vector<LogData*>& entries) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        free_.insert(free_.end(), entries.begin(), entries.end());
    }
    entries.clear();
}

std::size_t EntryPool::size() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return free_.size();
}

}  // namespace log4z::detail
