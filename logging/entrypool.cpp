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
    // Linked in address order, so a burst of lines walks through memory forwards.
    for (std::size_t i = kPerBlock; i > 0; --i) {
        LogData* entry = new (&entries[i - 1]) LogData;
        entry->next = free_;
        free_ = entry;
    }
    freeCount_ += kPerBlock;
    return true;
}

LogData* EntryPool::take() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (free_ == nullptr) {
            grow();
        }
        if (free_ != nullptr) {
            LogData* entry = free_;
            free_ = entry->next;
            --freeCount_;
            if (free_ != nullptr) {
                warm(free_);
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
    entry->next = free_;
    free_ = entry;
    ++freeCount_;
}

void EntryPool::giveAll(EntryChain chain) {
    if (chain.empty()) {
        return;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    chain.last->next = free_;
    free_ = chain.first;
    freeCount_ += chain.count;
}

std::size_t EntryPool::size() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return freeCount_;
}

}  // namespace log4z::detail
