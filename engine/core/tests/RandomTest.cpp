#include "engine/core/Random.h"

#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"

#include <gtest/gtest.h>

#include <cmath>

// Expected values were worked out independently from the xorshift128 algorithm.

TEST(Random, FreshGeneratorFollowsXorshift128FromTheInitialState)
{
    CRandom r;
    EXPECT_EQ(r.x, 123456789u);
    EXPECT_EQ(r.y, 362436069u);
    EXPECT_EQ(r.z, 521288629u);
    EXPECT_EQ(r.w, 88675123u);
    const u32 expected[] = {3701687786u, 458299110u, 2500872618u, 3633119408u, 516391518u};
    for (u32 e : expected) EXPECT_EQ(r.Next(), e);
}

TEST(Random, GlobalGeneratorBeforeSeedingMatchesAFreshObject)
{
    g_randomState = kRandomInitialState;  // the state a process starts with
    CRandom r;
    EXPECT_EQ(RandomNext(), 3701687786u);
    EXPECT_EQ(r.Next(), 3701687786u);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(RandomNext(), r.Next());
}

TEST(Random, SeedPutsTheFirstDerivedWordIntoW)
{
    SeedRandom(0);
    EXPECT_EQ(g_randomState.w, 1u);
    EXPECT_EQ(g_randomState.x, 1812433254u);
    EXPECT_EQ(g_randomState.y, 3713160356u);
    EXPECT_EQ(g_randomState.z, 626640100u);
    EXPECT_EQ(RandomNext(), 1344075230u);
    EXPECT_EQ(RandomNext(), 530873357u);
    EXPECT_EQ(RandomNext(), 4096910841u);

    SeedRandom(12345);
    EXPECT_EQ(RandomNext(), 3705275392u);
    EXPECT_EQ(RandomNext(), 931307841u);
    EXPECT_EQ(RandomNext(), 2243904521u);
}

TEST(Random, SameSeedGivesTheSameSequenceAndGeneratorsStayInStep)
{
    SeedRandom(987654321u);
    u32 first[50];
    for (u32& v : first) v = RandomNext();
    SeedRandom(987654321u);
    for (u32 v : first) ASSERT_EQ(RandomNext(), v);

    CRandom a, b;
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(a.Next(), b.Next());
    // A generator's state is independent of the global one.
    SeedRandom(1);
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

// Random ranges of the vectors: the draw order matters because
// all peers share the global generator.
TEST(RandomRange, Vector4DrawsNothingForZeroComponents)
{
    SeedRandom(0);
    CVector4 out(9, 9, 9, 9);
    CVector4().RandomRange(&out, 100);
    EXPECT_EQ(out.x, 0.0f);
    EXPECT_EQ(out.y, 0.0f);
    EXPECT_EQ(out.z, 0.0f);
    EXPECT_EQ(out.w, 0.0f);
    EXPECT_EQ(RandomNext(), 1344075230u);  // still the first value
}

TEST(RandomRange, Vector4OneComponentDrawsOnceInStepsOfTheHundredth)
{
    SeedRandom(0);
    CVector4 out;
    CVector4(1, 0, 0, 0).RandomRange(&out, 100);
    // 1344075230 mod 200 = 30: 30 / 100 - 1.
    EXPECT_EQ(out.x, 30.0f / 100.0f - 1.0f);
    EXPECT_EQ(out.y, 0.0f);
    EXPECT_EQ(RandomNext(), 530873357u);  // exactly one draw was made

    for (int i = 0; i < 500; ++i) {
        CVector4(1, 0, 0, 0).RandomRange(&out, 100);
        ASSERT_GE(out.x, -1.0f);
        ASSERT_LT(out.x, 1.0f);
        const f32 hundredths = (out.x + 1.0f) * 100.0f;
        ASSERT_NEAR(hundredths, std::round(hundredths), 1e-3f);
    }
}

TEST(RandomRange, Vector3DrawsZThenYThenX)
{
    SeedRandom(0);
    CVector3 out;
    CVector3(1, 2, 3).RandomRange(&out, 10);
    // Draws 1344075230, 530873357, 4096910841 go to z (mod 60), y (mod 40),
    // x (mod 20): remainders 50, 37, 1.
    EXPECT_FLOAT_EQ(out.z, 50.0f / 10.0f - 3.0f);
    EXPECT_FLOAT_EQ(out.y, 37.0f / 10.0f - 2.0f);
    EXPECT_FLOAT_EQ(out.x, 1.0f / 10.0f - 1.0f);
}

TEST(RandomRange, Vector4DrawsWFirst)
{
    SeedRandom(0);
    CVector4 out;
    CVector4(0, 0, 1, 3).RandomRange(&out, 10);
    EXPECT_FLOAT_EQ(out.w, 50.0f / 10.0f - 3.0f);  // first draw, mod 60
    EXPECT_FLOAT_EQ(out.z, 17.0f / 10.0f - 1.0f);  // 530873357 mod 20
}

TEST(RandomRange, SpanBelowOneStepStillDrawsAndGivesMinusC)
{
    SeedRandom(0);
    CVector3 out;
    CVector3(0.001f, 0, 0).RandomRange(&out, 100);  // trunc(0.2) = 0
    EXPECT_EQ(out.x, -0.001f);
    EXPECT_EQ(RandomNext(), 530873357u);
}
