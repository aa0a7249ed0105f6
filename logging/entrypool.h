// The free list of log entries: entries are recycled instead of freed after each write.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "logging/log4z.h"

namespace log4z::detail {

class EntryPool {
public:
    EntryPool() = default;
    EntryPool(const EntryPool&) = delete;
    EntryPool& operator=(const EntryPool&) = delete;
    ~EntryPool();

    // A recycled entry, or a new one when the list is empty.
    LogData* take();
    void give(LogData* entry);
    // Returns a whole batch under one lock; the vector is left empty.
    void giveAll(std::vector<LogData*>& entries);
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::vector<LogData*> free_;
};

}  // namespace log4z::detail
