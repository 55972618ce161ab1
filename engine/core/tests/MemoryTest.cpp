#include "engine/core/Memory.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <malloc.h>

TEST(AlignedAlloc, BlocksAreZeroFilledAndAligned)
{
    for (u32 alignment : {1u, 2u, 8u, 16u, 64u, 4096u}) {
        for (u32 size : {0u, 1u, 3u, 17u, 1000u}) {
            SCOPED_TRACE(testing::Message() << size << " bytes aligned to " << alignment);
            auto* p = static_cast<unsigned char*>(AlignedAlloc(size, alignment));
            ASSERT_NE(p, nullptr);  // a zero size too
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignment, 0u);
            for (u32 i = 0; i < size; ++i) ASSERT_EQ(p[i], 0) << i;
            std::memset(p, 0xAB, size);  // the whole block is writable
            AlignedFree(p);
        }
    }
    AlignedFree(nullptr);
}

// The word before a block is the runtime's own block, with room for the word,
// the padding and the size, so AlignedFree hands back what malloc gave.
TEST(AlignedAlloc, TheWordBeforeABlockIsTheRawAllocation)
{
    for (u32 alignment : {1u, 4u, 16u, 64u}) {
        for (u32 size : {0u, 5u, 33u}) {
            SCOPED_TRACE(testing::Message() << size << " bytes aligned to " << alignment);
            auto* p = static_cast<unsigned char*>(AlignedAlloc(size, alignment));
            ASSERT_NE(p, nullptr);
            unsigned char* raw;
            std::memcpy(&raw, p - sizeof raw, sizeof raw);
            EXPECT_GE(p - raw, std::ptrdiff_t(sizeof raw));
            EXPECT_LT(p - raw, std::ptrdiff_t(sizeof raw + alignment));
            EXPECT_GE(malloc_usable_size(raw), size_t(p - raw) + size);
            for (unsigned char* q = raw; q < p - sizeof raw; ++q) EXPECT_EQ(*q, 0);   // padding zeroed too
            AlignedFree(p);
        }
    }
}
