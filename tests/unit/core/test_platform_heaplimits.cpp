// Large blocks go back to the system when freed: a full-screen picture painted once must not
// stay in an idle terminal's heap.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

#include "platform/heaplimits.h"

namespace {

// The address and thread sanitizers bring allocators of their own: the C library's heap, whose
// behaviour this test checks, is then not the one in use.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define FENWIX_OWN_ALLOCATOR 1
#endif
#endif

constexpr size_t kPictureBytes = 1920 * 1080 * 4;

TEST(HeapLimits, ABlockLikeAPictureIsMappedAgainAfterAnEarlierOneWasFreed) {
#ifdef FENWIX_OWN_ALLOCATOR
    GTEST_SKIP() << "a sanitizer's allocator replaces the C library's heap";
#endif
    fenwix::platform::returnLargeBlocksWhenFreed();
    // Left to itself the allocator would raise its threshold on this free and put the next
    // block of the same size in the heap, where it stays after its own free.
    void* first = std::malloc(kPictureBytes);
    ASSERT_NE(first, nullptr);
    std::memset(first, 1, kPictureBytes);
    std::free(first);

    const size_t mappedBefore = mallinfo2().hblkhd;
    void* second = std::malloc(kPictureBytes);
    ASSERT_NE(second, nullptr);
    EXPECT_GE(mallinfo2().hblkhd, mappedBefore + kPictureBytes);
    std::free(second);
    EXPECT_EQ(mallinfo2().hblkhd, mappedBefore) << "freed straight back to the system";
}

}  // namespace
