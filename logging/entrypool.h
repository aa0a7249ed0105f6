// The free list of log entries: entries are recycled instead of freed after each write. New
// entries come in large blocks, side by side, so a burst of lines touches few memory pages.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "logging/log4z.h"

namespace log4z::detail {

// Entries linked through LogData::next, oldest first; moving a whole chain is O(1), so no lock
// is held for longer than a few pointer writes.
struct EntryChain {
    LogData* first = nullptr;
    LogData* last = nullptr;
    std::size_t count = 0;

    bool empty() const { return first == nullptr; }
    void append(LogData* entry) {
        entry->next = nullptr;
        if (last == nullptr) {
            first = entry;
        } else {
            last->next = entry;
        }
        last = entry;
        ++count;
    }
    // Takes the chain, leaving this one empty.
    EntryChain release() {
        EntryChain taken = *this;
        *this = EntryChain();
        return taken;
    }
};

class EntryPool {
public:
    EntryPool() = default;
    EntryPool(const EntryPool&) = delete;
    EntryPool& operator=(const EntryPool&) = delete;
    ~EntryPool();

    // A recycled entry, or a new one when the list is empty.
    LogData* take();
    void give(LogData* entry);
    // Returns a whole chain at once.
    void giveAll(EntryChain chain);
    std::size_t size() const;

private:
    struct BlockFree {
        void operator()(void* block) const;
    };

    // Adds a block of new entries to the free list (called with the lock held).
    bool grow();

    mutable std::mutex mutex_;
    LogData* free_ = nullptr;  // top of the free list
    std::size_t freeCount_ = 0;
    std::vector<std::unique_ptr<void, BlockFree>> blocks_;
    std::vector<std::unique_ptr<LogData>> singles_;
};

}  // namespace log4z::detail
