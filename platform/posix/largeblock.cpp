#include "platform/largeblock.h"

#include <sys/mman.h>

#include <cstdlib>

namespace fenwix::platform {

void* allocateLargeBlock(std::size_t size) {
    const std::size_t rounded = (size + kLargeBlockSize - 1) / kLargeBlockSize * kLargeBlockSize;
    void* block = std::aligned_alloc(kLargeBlockSize, rounded);
    if (block != nullptr) {
        // Only advice: without huge pages the block works the same.
        ::madvise(block, rounded, MADV_HUGEPAGE);
    }
    return block;
}

void freeLargeBlock(void* block) {
    std::free(block);
}

}  // namespace fenwix::platform
