#include "engine/core/Memory.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <malloc.h>

namespace ORV_TEST_FILE_ID {

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

}  // namespace ORV_TEST_FILE_ID
