#include "engine/core/Random.h"

#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"
#include "engine/core/tests/MathExpect.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

// Expected values were worked out independently from the xorshift128 algorithm.

TEST(Random, FreshAndUnseededGeneratorsFollowXorshift128FromTheInitialState)
{
    CRandom r;
    for (u32 e : {3701687786u, 458299110u, 2500872618u, 3633119408u, 516391518u}) EXPECT_EQ(r.Next(), e);

    g_randomState = kRandomInitialState;  // the state a process starts with
    CRandom fresh;
    for (int i = 0; i < 100; ++i) ASSERT_EQ(RandomNext(), fresh.Next()) << i;
}

TEST(Random, SeedPutsTheFirstDerivedWordIntoW)
{
    SeedRandom(0);
    for (u32 e : {1344075230u, 530873357u, 4096910841u}) EXPECT_EQ(RandomNext(), e);
    SeedRandom(12345);
    for (u32 e : {3705275392u, 931307841u, 2243904521u}) EXPECT_EQ(RandomNext(), e);

    // A generator's state is independent of the global one.
    CRandom c;
    EXPECT_EQ(c.Next(), 3701687786u);
}

TEST(Random, IntIsTheRemainderOfTheNextValue)
{
    SeedRandom(0);
    EXPECT_EQ(RandomInt(3600), 1344075230u % 3600u);
    // n = 0 is outside the contract: still one draw (the sequence stays in
    // step), result 0.
    EXPECT_EQ(RandomInt(0), 0u);
    EXPECT_EQ(RandomNext(), 4096910841u);
    EXPECT_EQ(RandomInt(1), 0u);
}

// Random ranges of the vectors: the draw order matters because all peers
// share the global generator. After SeedRandom(0) the draws are 1344075230,
// 530873357 and 4096910841; the next value shows how many were taken.
TEST(RandomRange, DrawsOncePerNonZeroComponentFromTheLast)
{
    SeedRandom(0);
    CVector4 four(9, 9, 9, 9);
    CVector4().RandomRange(&four, 100);
    EXPECT_TRUE(Near(four, {0, 0, 0, 0}, 0));
    EXPECT_EQ(RandomNext(), 1344075230u);  // nothing drawn

    SeedRandom(0);
    CVector4(1, 0, 0, 0).RandomRange(&four, 100);
    EXPECT_EQ(four.x, 30.0f / 100.0f - 1.0f);  // 1344075230 mod 200 = 30
    EXPECT_EQ(four.y, 0.0f);
    EXPECT_EQ(RandomNext(), 530873357u);

    SeedRandom(0);
    CVector4(0, 0, 1, 3).RandomRange(&four, 10);
    EXPECT_FLOAT_EQ(four.w, 50.0f / 10.0f - 3.0f);  // w first, mod 60
    EXPECT_FLOAT_EQ(four.z, 17.0f / 10.0f - 1.0f);  // mod 20

    SeedRandom(0);
    CVector3 three;
    CVector3(1, 2, 3).RandomRange(&three, 10);
    EXPECT_FLOAT_EQ(three.z, 50.0f / 10.0f - 3.0f);  // z, y, x: mod 60, 40, 20
    EXPECT_FLOAT_EQ(three.y, 37.0f / 10.0f - 2.0f);
    EXPECT_FLOAT_EQ(three.x, 1.0f / 10.0f - 1.0f);

    SeedRandom(0);
    CVector3(0.001f, 0, 0).RandomRange(&three, 100);  // a span below one step: trunc(0.2) = 0
    EXPECT_EQ(three.x, -0.001f);
    EXPECT_EQ(RandomNext(), 530873357u);  // still drawn
}

// Generators of their own (the effects' particles) draw as the global one
// would from the same seed, and leave the global one where it was.
TEST(RandomRange, AGeneratorOfItsOwnDrawsTheSameNumbersAndLeavesTheGlobalOneAlone)
{
    CRandom own;
    own.Seed(0);
    SeedRandom(12345);
    CVector3 three;
    CVector3(1, 2, 3).RandomRange(&three, 10, &own);
    EXPECT_FLOAT_EQ(three.z, 50.0f / 10.0f - 3.0f);  // as from the global generator seeded with 0
    EXPECT_FLOAT_EQ(three.y, 37.0f / 10.0f - 2.0f);
    EXPECT_FLOAT_EQ(three.x, 1.0f / 10.0f - 1.0f);
    CVector4 four;
    own.Seed(0);
    CVector4(0, 0, 1, 3).RandomRange(&four, 10, &own);
    EXPECT_FLOAT_EQ(four.w, 50.0f / 10.0f - 3.0f);
    EXPECT_EQ(own.Int(3600), 4096910841u % 3600u);   // the third number of seed 0
    EXPECT_EQ(own.Int(0), 0u);
    EXPECT_EQ(RandomNext(), 3705275392u);   // the global sequence of 12345 untouched
}

}  // namespace ORV_TEST_FILE_ID
