#include "platform/heaplimits.h"

#include <malloc.h>

namespace fenwix::platform {

void returnLargeBlocksWhenFreed() {
    // A fixed threshold also turns off the allocator's raising of it.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

}  // namespace fenwix::platform
