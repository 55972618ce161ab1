#include "engine/core/StateHash.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

TEST(StateHash, FoldsKnownFnv1aValues)
{
    EXPECT_EQ(CStateHash().Value(), 0xCBF29CE484222325ull);
    EXPECT_EQ(CStateHash().Bytes("a", 1).Value(), 0xAF63DC4C8601EC8Cull);
    EXPECT_EQ(CStateHash().Bytes("foobar", 6).Value(), 0x85944171F73967E8ull);
}

TEST(StateHash, FoldsValuesLittleEndianByExactBits)
{
    EXPECT_EQ(CStateHash().U32(0x64636261u).Value(), CStateHash().Bytes("abcd", 4).Value());
    EXPECT_EQ(CStateHash().U64(0x6867666564636261ull).Value(), CStateHash().Bytes("abcdefgh", 8).Value());
    // -0 and +0 compare equal but are different states.
    EXPECT_NE(CStateHash().F32(0.0f).Value(), CStateHash().F32(-0.0f).Value());
    EXPECT_EQ(CStateHash().F32(std::bit_cast<f32>(0xFFC00001u)).Value(),
        CStateHash().F32(std::bit_cast<f32>(0x7FC00000u)).Value());
    // Order matters.
    EXPECT_NE(CStateHash().Vector({1, 2, 3}).Value(), CStateHash().Vector({3, 2, 1}).Value());
}

}  // namespace ORV_TEST_FILE_ID
