#include "logging/entrypool.h"

#include <new>

#include "platform/largeblock.h"

namespace log4z::detail {
namespace {

// Brings the start of the entry the next line will take into this core's cache for writing,
// so formatting that line does not wait for memory. Most lines fit these bytes.
void warm(const LogData* entry) {
#if defined(__GNUC__)
    const char* bytes = reinterpret_cast<const char*>(entry);
    for (size_t offset = 0; offset < 256; offset += 64) {
        __builtin_prefetch(bytes + offset, 1, 3);
    }
#else
    (void)entry;
#endif
}

}  // namespace

void EntryPool::BlockFree::operator()(void* block) const {
    fenwix::platform::freeLargeBlock(block);
}

// Entries still queued or in a producer's hands when the pool goes live in its blocks too;
// the pool is destroyed only with the logger, after its writer ended.
EntryPool::~EntryPool() = default;

bool EntryPool::grow() {
    constexpr std::size_t kPerBlock = fenwix::platform::kLargeBlockSize / sizeof(LogData);
    void* block = fenwix::platform::allocateLargeBlock(kPerBlock * sizeof(LogData));
    if (block == nullptr) {
        return false;
    }
    blocks_.emplace_back(block);
    auto* entries = static_cast<LogData*>(block);
    free_.reserve(free_.size() + kPerBlock);
    // Highest address first, so entries are taken in address order.
    for (std::size_t i = kPerBlock; i > 0; --i) {
        free_.push_back(new (&entries[i - 1]) LogData);
    }
    return true;
}

LogData* EntryPool::take() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (free_.empty()) {
            grow();
        }
        if (!free_.empty()) {
            LogData* entry = free_.back();
            free_.pop_back();
            if (!free_.empty()) {
                warm(free_.back());
            }
            return entry;
        }
    }
    // No memory for a whole block: one entry on its own, kept like the others.
    auto single = std::make_unique<LogData>();
    LogData* entry = single.get();
    const std::lock_guard<std::mutex> lock(mutex_);
    singles_.push_back(std::move(single));
    return entry;
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
