// The free list of log entries: entries are recycled instead of freed after each write. New
// entries come in large blocks, side by side, so a burst of lines touches few memory pages.
#pragma once

#include <cstddef>
#include <memory>
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
    struct BlockFree {
        void operator()(void* block) const;
    };

    // Adds a block of new entries to the free list (called with the lock held).
    bool grow();

    mutable std::mutex mutex_;
    std::vector<LogData*> free_;
    std::vector<std::unique_ptr<void, BlockFree>> blocks_;
    std::vector<std::unique_ptr<LogData>> singles_;
};

}  // namespace log4z::detail
