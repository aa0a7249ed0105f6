// Large memory blocks for pools that live long: backed by huge pages where the system offers
// them, so touching many objects spread over the block costs few address-translation misses.
#pragma once

#include <cstddef>

namespace fenwix::platform {

// Block size that suits the system's huge pages; blocks are best made in multiples of it.
constexpr std::size_t kLargeBlockSize = std::size_t{2} * 1024 * 1024;

// A block of `size` bytes aligned to kLargeBlockSize; nullptr when memory is short.
void* allocateLargeBlock(std::size_t size);
void freeLargeBlock(void* block);

}  // namespace fenwix::platform
