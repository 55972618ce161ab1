// FloatMath's transcendentals must give the same bits on every machine and
// every build: another SLEEF, a C library call slipped back in, or fused
// multiply-add turned on changes a bit here. The expected bits came from
// SLEEF once; the checks against the C library's long double functions show
// that they are also right to 1 ulp.
#include "engine/core/FloatMath.h"
#include "engine/core/StateHash.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

constexpr f32 kNaN = __builtin_nanf("");
constexpr f32 kInf = __builtin_inff();

// NaN sign and payload from arithmetic differ between x86-64 and AArch64;
// every NaN counts as one.
u32 Bits(f32 v) { return std::isnan(v) ? 0x7FC00000u : std::bit_cast<u32>(v); }

// Distance in representable floats; NaN only matches NaN.
u32 Ulps(f32 a, f32 b)
{
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) ? 0 : ~0u;
    auto ordered = [](f32 v) {
        const u32 u = std::bit_cast<u32>(v);
        return u & 0x80000000u ? i64(0x80000000u) - i64(u) : i64(u) + 0x80000000ll;
    };
    const i64 d = ordered(a) - ordered(b);
    return u32(d < 0 ? -d : d);
}

// Half the spread is random bit patterns (huge, tiny, denormal, NaN, inf),
// half is scaled into [lo, hi), all from a fixed xorshift sequence.
std::vector<f32> Spread(f32 lo, f32 hi, u32 seed)
{
    std::vector<f32> out;
    for (int i = 0; i < 2048; ++i) {
        seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
        out.push_back(i < 1024 ? std::bit_cast<f32>(seed) : lo + (hi - lo) * (f32(seed >> 8) * 0x1p-24f));
    }
    return out;
}

using Unary = f32 (*)(f32);
using Binary = f32 (*)(f32, f32);

struct UnaryCase {
    const char* name;
    Unary f;
    long double (*reference)(long double);
    f32 lo, hi;
    u64 hash;
};
struct BinaryCase {
    const char* name;
    Binary f;
    long double (*reference)(long double, long double);
    f32 lo, hi;
    u64 hash;
    u32 tolerance;
};

const UnaryCase kUnary[] = {
    {"SinF", SinF, sinl, -20.0f, 20.0f, 0x456715EED276707Eull},
    {"CosF", CosF, cosl, -20.0f, 20.0f, 0x6727CEDF75770FAFull},
    {"TanF", TanF, tanl, -20.0f, 20.0f, 0x2EEDE8D013DFDDCEull},
    {"AsinF", AsinF, asinl, -1.0f, 1.0f, 0x4832CDE3E3136D10ull},
    {"AcosF", AcosF, acosl, -1.0f, 1.0f, 0xED3AD3E8402CA2D1ull},
    {"AtanF", AtanF, atanl, -50.0f, 50.0f, 0x3B93F5DCC52F94C8ull},
    {"ExpF", ExpF, expl, -110.0f, 90.0f, 0xB64C4FDAD43CCE41ull},
    {"LogF", LogF, logl, 0.0f, 1000.0f, 0x895BEC80CDDA0AD6ull},
};
// Square root and remainder are exact in IEEE: no ulp of slack.
const BinaryCase kBinary[] = {
    {"Atan2F", Atan2F, atan2l, -10.0f, 10.0f, 0x32E152D9872820D2ull, 1},
    {"PowF", PowF, powl, -10.0f, 10.0f, 0x0B1DF146733DCDAFull, 1},
    {"FmodF", FmodF, fmodl, -100.0f, 100.0f, 0x681C12B42F88B5BEull, 0},
    {"SqrtF", [](f32 x, f32) { return SqrtF(x); }, [](long double x, long double) { return sqrtl(x); }, 0.0f,
     1e6f, 0xD1E2C48BE68858B6ull, 0},
};

// The inputs that are easiest to get wrong, with the exact output of each
// function in the order of kUnary.
const struct {
    f32 x;
    u32 out[8];
} kUnarySpecial[] = {
    {0.0f, {0x00000000, 0x3F800000, 0x00000000, 0x00000000, 0x3FC90FDB, 0x00000000, 0x3F800000, 0xFF800000}},
    {-0.0f, {0x80000000, 0x3F800000, 0x80000000, 0x80000000, 0x3FC90FDB, 0x80000000, 0x3F800000, 0xFF800000}},
    {0x1.921fb6p0f, {0x3F800000, 0xB33BBD2E, 0xCBAE8A4A, 0x7FC00000, 0x7FC00000, 0x3F807F4C, 0x4099EF6F, 0x3EE735DA}},
    {-0x1.921fb6p0f, {0xBF800000, 0xB33BBD2E, 0x4BAE8A4A, 0x7FC00000, 0x7FC00000, 0xBF807F4C, 0x3E54DE62, 0x7FC00000}},
    {0x1.921fb6p1f, {0xB3BBBD2E, 0xBF800000, 0x33BBBD2E, 0x7FC00000, 0x7FC00000, 0x3FA19DC5, 0x41B92024, 0x3F928683}},
    {-0x1.921fb6p1f, {0x33BBBD2E, 0xBF800000, 0xB3BBBD2E, 0x7FC00000, 0x7FC00000, 0xBFA19DC5, 0x3D310113, 0x7FC00000}},
    {0x1.921fb6p2f, {0x343BBD2E, 0x3F800000, 0x343BBD2E, 0x7FC00000, 0x7FC00000, 0x3FB4DC0B, 0x4405DF79, 0x3FEB3F8E}},
    {-0x1.921fb6p2f, {0xB43BBD2E, 0x3F800000, 0xB43BBD2E, 0x7FC00000, 0x7FC00000, 0xBFB4DC0B, 0x3AF4C4F8, 0x7FC00000}},
    {0x1.921fb6p2f * 100, {0x37455799, 0x3F800000, 0x37455799, 0x7FC00000, 0x7FC00000, 0x3FC8DBB4, 0x7F800000, 0x40CE2D71}},
    {0x1.921fb6p2f * 100000, {0x3D022847, 0x3F7FDEE7, 0x3D02391C, 0x7FC00000, 0x7FC00000, 0x3FC90FCD, 0x7F800000, 0x41559CE3}},
    {0.5f, {0x3EF57744, 0x3F60A940, 0x3F0BDA7B, 0x3F060A92, 0x3F860A92, 0x3EED6338, 0x3FD3094C, 0xBF317218}},
    {-1.0f, {0xBF576AA4, 0x3F0A5141, 0xBFC75923, 0xBFC90FDB, 0x40490FDB, 0xBF490FDA, 0x3EBC5AB2, 0x7FC00000}},
    {1.0f, {0x3F576AA4, 0x3F0A5141, 0x3FC75923, 0x3FC90FDB, 0x00000000, 0x3F490FDA, 0x402DF854, 0x00000000}},
    {100.0f, {0xBF01A12E, 0x3F5CC0EE, 0xBF1653A7, 0x7FC00000, 0x7FC00000, 0x3FC7C82F, 0x7F800000, 0x40935D8E}},
    {-100.0f, {0x3F01A12E, 0x3F5CC0EE, 0x3F1653A7, 0x7FC00000, 0x7FC00000, 0xBFC7C82F, 0x0000001B, 0x7FC00000}},
    {1e30f, {0xBF4A89B0, 0xBF1C9222, 0x3FA5943A, 0x7FC00000, 0x7FC00000, 0x3FC90FDB, 0x7F800000, 0x428A27B5}},
    {-3.4028235e38f, {0x3F0599B3, 0x3F5A5F96, 0x3F1C9ECA, 0x7FC00000, 0x7FC00000, 0xBFC90FDB, 0x00000000, 0x7FC00000}},
    {1e-30f, {0x0DA24260, 0x3F800000, 0x0DA24260, 0x0DA24260, 0x3FC90FDB, 0x0DA24260, 0x3F800000, 0xC28A27B5}},
    {1e-40f, {0x000116C2, 0x3F800000, 0x000116C2, 0x000116C2, 0x3FC90FDB, 0x000116C2, 0x3F800000, 0xC2B834F2}},
    {0x1p-149f, {0x00000001, 0x3F800000, 0x00000001, 0x00000001, 0x3FC90FDB, 0x00000001, 0x3F800000, 0xC2CE8ED0}},
    {kNaN, {0x7FC00000, 0x7FC00000, 0x7FC00000, 0x7FC00000, 0x7FC00000, 0x7FC00000, 0x7FC00000, 0x7FC00000}},
    {kInf, {0x7FC00000, 0x7FC00000, 0x7FC00000, 0x7FC00000, 0x7FC00000, 0x3FC90FDB, 0x7F800000, 0x7F800000}},
    {-kInf, {0x7FC00000, 0x7FC00000, 0x7FC00000, 0x7FC00000, 0x7FC00000, 0xBFC90FDB, 0x00000000, 0x7FC00000}},
};
// (a, b) pairs; outputs of Atan2F(a, b), PowF(a, b), FmodF(a, b).
const struct {
    f32 a, b;
    u32 out[3];
} kBinarySpecial[] = {
    {0.0f, 0.0f, {0x00000000, 0x3F800000, 0x7FC00000}},
    {-0.0f, 0.0f, {0x80000000, 0x3F800000, 0x7FC00000}},
    {0.0f, -0.0f, {0x40490FDB, 0x3F800000, 0x7FC00000}},
    {-0.0f, -0.0f, {0xC0490FDB, 0x3F800000, 0x7FC00000}},
    {1.0f, 0.0f, {0x3FC90FDB, 0x3F800000, 0x7FC00000}},
    {-1.0f, -0.0f, {0xBFC90FDB, 0x3F800000, 0x7FC00000}},
    {0.0f, -1.0f, {0x40490FDB, 0x7F800000, 0x00000000}},
    {-0.0f, -1.0f, {0xC0490FDB, 0xFF800000, 0x80000000}},
    {kInf, kInf, {0x3F490FDB, 0x7F800000, 0x7FC00000}},
    {-kInf, -kInf, {0xC016CBE4, 0x00000000, 0x7FC00000}},
    {kInf, -1.0f, {0x3FC90FDB, 0x00000000, 0x7FC00000}},
    {1.0f, kInf, {0x00000000, 0x3F800000, 0x3F800000}},
    {-1.0f, kInf, {0x80000000, 0x3F800000, 0xBF800000}},
    {kNaN, 1.0f, {0x7FC00000, 0x7FC00000, 0x7FC00000}},
    {1.0f, kNaN, {0x7FC00000, 0x3F800000, 0x7FC00000}},
    {kNaN, 0.0f, {0x7FC00000, 0x3F800000, 0x7FC00000}},
    {-8.0f, 1.0f / 3.0f, {0xBFC3BB4F, 0x7FC00000, 0xBEAAAAA3}},
    {-2.0f, 3.0f, {0xBF168757, 0xC1000000, 0xC0000000}},
    {2.0f, 0.5f, {0x3FA9B465, 0x3FB504F3, 0x00000000}},
    {2.0f, 128.0f, {0x3C7FFAAB, 0x7F800000, 0x40000000}},
    {2.0f, -150.0f, {0x4048356A, 0x00000000, 0x40000000}},
    {1e30f, 1e-30f, {0x3FC90FDB, 0x3F800000, 0x0D8483A0}},
    {-5.5f, 2.0f, {0xBF9C6B53, 0x41F20000, 0xBFC00000}},
    {1e30f, 3.0f, {0x3FC90FDB, 0x7F800000, 0x00000000}},
};

}  // namespace

TEST(FloatMath, SpreadFoldsToTheRecordedBitsAndStaysWithinAnUlpOfTheCLibrary)
{
    u32 seed = 0x9E3779B9u;
    for (const UnaryCase& c : kUnary) {
        CStateHash hash;
        for (f32 x : Spread(c.lo, c.hi, seed++)) {
            const f32 got = c.f(x);
            hash.U32(Bits(got));
            ASSERT_LE(Ulps(got, f32(c.reference(x))), 1u) << c.name << "(" << std::hexfloat << x << ")";
        }
        EXPECT_EQ(hash.Value(), c.hash) << c.name << std::hex << " folds to 0x" << hash.Value();
    }
    for (const BinaryCase& c : kBinary) {
        const std::vector<f32> a = Spread(c.lo, c.hi, seed++), b = Spread(c.lo, c.hi, seed++);
        CStateHash hash;
        for (size_t i = 0; i < a.size(); ++i) {
            const f32 got = c.f(a[i], b[i]);
            hash.U32(Bits(got));
            ASSERT_LE(Ulps(got, f32(c.reference(a[i], b[i]))), c.tolerance)
                << c.name << "(" << std::hexfloat << a[i] << ", " << b[i] << ")";
        }
        EXPECT_EQ(hash.Value(), c.hash) << c.name << std::hex << " folds to 0x" << hash.Value();
    }
}

TEST(FloatMath, SpecialInputsGiveTheirExactBits)
{
    for (const auto& row : kUnarySpecial)
        for (size_t f = 0; f < std::size(kUnary); ++f) {
            const f32 got = kUnary[f].f(row.x);
            EXPECT_EQ(Bits(got), row.out[f]) << kUnary[f].name << "(" << std::hexfloat << row.x << ") gives "
                                             << std::hex << "0x" << Bits(got);
            EXPECT_LE(Ulps(got, f32(kUnary[f].reference(row.x))), 1u) << kUnary[f].name << "(" << row.x << ")";
        }
    for (const auto& row : kBinarySpecial)
        for (size_t f = 0; f < std::size(row.out); ++f) {
            const f32 got = kBinary[f].f(row.a, row.b);
            EXPECT_EQ(Bits(got), row.out[f]) << kBinary[f].name << "(" << std::hexfloat << row.a << ", " << row.b
                                             << ") gives " << std::hex << "0x" << Bits(got);
            EXPECT_LE(Ulps(got, f32(kBinary[f].reference(row.a, row.b))), kBinary[f].tolerance)
                << kBinary[f].name << "(" << row.a << ", " << row.b << ")";
        }
}

TEST(FloatMath, MultiplyAddIsNotFused)
{
    // (1 + 2^-12)^2 = 1 + 2^-11 + 2^-24 rounds to 1 + 2^-11; fused, the
    // 2^-24 would survive the subtraction.
    volatile f32 a = 1.0f + 0x1p-12f, c = -(1.0f + 0x1p-11f);
    const f32 x = a, z = c;
    EXPECT_EQ(x * x + z, 0.0f);
}

// The conversions of simulation values: truncation inside the range, the
// type's ends beyond it, 0 for NaN. The values next to 2^31 are the floats
// either side of it (2^31 - 128 is the largest below).
TEST(FloatMath, SaturatingConversionsHoldTheEndsAndTakeNaNToZero)
{
    const struct {
        f32 v;
        i32 i;
        u32 u;
        u16 h;
    } cases[] = {
        {kNaN, 0, 0u, 0},
        {-kNaN, 0, 0u, 0},
        {kInf, 2147483647, 0xFFFFFFFFu, 0xFFFF},
        {-kInf, -2147483647 - 1, 0u, 0},
        {0.5f, 0, 0u, 0},
        {-0.5f, 0, 0u, 0},
        {-0.0f, 0, 0u, 0},
        {1.0f, 1, 1u, 1},
        {-1.0f, -1, 0u, 0},
        {99.99f, 99, 99u, 99},
        {-99.99f, -99, 0u, 0},
        {65535.0f, 65535, 65535u, 0xFFFF},
        {65535.5f, 65535, 65535u, 0xFFFF},
        {65536.0f, 65536, 65536u, 0xFFFF},
        {2147483520.0f, 2147483520, 2147483520u, 0xFFFF},
        {2147483648.0f, 2147483647, 2147483648u, 0xFFFF},
        {2147483904.0f, 2147483647, 2147483904u, 0xFFFF},
        {-2147483520.0f, -2147483520, 0u, 0},
        {-2147483648.0f, -2147483647 - 1, 0u, 0},
        {-2147483904.0f, -2147483647 - 1, 0u, 0},
        {4294967040.0f, 2147483647, 4294967040u, 0xFFFF},
        {4294967296.0f, 2147483647, 0xFFFFFFFFu, 0xFFFF},
        {3.0e38f, 2147483647, 0xFFFFFFFFu, 0xFFFF},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SaturateToI32(c.v), c.i) << c.v;
        EXPECT_EQ(SaturateToU32(c.v), c.u) << c.v;
        EXPECT_EQ(SaturateToU16(c.v), c.h) << c.v;
    }
    // A value the compiler folds gives what the machine gives.
    static_assert(SaturateToI32(-7.9f) == -7 && SaturateToU16(70000.0f) == 0xFFFF);
}

// The four-lane sine is the one-lane sine bit for bit, NaNs aside: over a
// sweep of every 3001st float below 1e4 in size, both signs, the spread, and
// the special inputs, with each value in every lane.
TEST(FloatMath, FourSinesAtOnceAreEachSinF)
{
    std::vector<f32> inputs = Spread(-20.0f, 20.0f, 0x51F4);
    for (u32 bits = 0; bits < std::bit_cast<u32>(1e4f); bits += 3001) {
        inputs.push_back(std::bit_cast<f32>(bits));
        inputs.push_back(-std::bit_cast<f32>(bits));
    }
    for (const auto& special : kUnarySpecial) inputs.push_back(special.x);
    u32 mismatches = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        f32 in[4], out[4];
        for (int lane = 0; lane < 4; ++lane) in[lane] = inputs[(i + size_t(lane) * 7919) % inputs.size()];
        SinF4(in, out);
        for (int lane = 0; lane < 4; ++lane) {
            if (Bits(out[lane]) != Bits(SinF(in[lane])) && ++mismatches < 5) {
                ADD_FAILURE() << std::hexfloat << in[lane] << " in lane " << lane;
            }
        }
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_GT(inputs.size(), 700000u);
}

// The four-lane arc cosine is the one-lane one bit for bit: every 997th float
// of [-1, 1] (both signs), the spread, the special inputs and the edges,
// with each value in every lane.
TEST(FloatMath, FourArcCosinesAtOnceAreEachAcosF)
{
    std::vector<f32> inputs = Spread(-1.0f, 1.0f, 0xAC05);
    for (u32 bits = 0; bits <= std::bit_cast<u32>(1.0f); bits += 997) {
        inputs.push_back(std::bit_cast<f32>(bits));
        inputs.push_back(-std::bit_cast<f32>(bits));
    }
    for (const f32 edge : {1.0f, -1.0f, std::nextafter(1.0f, 2.0f), std::nextafter(1.0f, 0.0f), 0.999f, 2.0f})
        inputs.push_back(edge);
    for (const auto& special : kUnarySpecial) inputs.push_back(special.x);
    u32 mismatches = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        f32 in[4], out[4];
        for (int lane = 0; lane < 4; ++lane) in[lane] = inputs[(i + size_t(lane) * 7919) % inputs.size()];
        AcosF4(in, out);
        for (int lane = 0; lane < 4; ++lane) {
            if (Bits(out[lane]) != Bits(AcosF(in[lane])) && ++mismatches < 5) {
                ADD_FAILURE() << std::hexfloat << in[lane] << " in lane " << lane;
            }
        }
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_GT(inputs.size(), 2000000u);
}

// The four-lane arc tangent of two is the one-lane one bit for bit: pairs
// from every 4999th float (both signs) against the spread, the special pairs
// both ways round, zeros and infinities of both signs on either side, with
// each pair in every lane.
TEST(FloatMath, FourArcTangentsOfTwoAtOnceAreEachAtan2F)
{
    std::vector<f32> ys = Spread(-10.0f, 10.0f, 0xA7A2), xs = Spread(-10.0f, 10.0f, 0x2A7A);
    for (u32 bits = 0; bits < 0x7F800000u; bits += 4999) {
        ys.push_back(std::bit_cast<f32>(bits));
        xs.push_back(-xs[ys.size() % 2048]);
        ys.push_back(-ys[ys.size() % 2048]);
        xs.push_back(std::bit_cast<f32>(bits));
    }
    for (const auto& row : kBinarySpecial) {
        ys.push_back(row.a), xs.push_back(row.b);
        ys.push_back(row.b), xs.push_back(row.a);
    }
    for (const f32 y : {0.0f, -0.0f, kInf, -kInf, 1.0f})
        for (const f32 x : {0.0f, -0.0f, kInf, -kInf, -1.0f}) ys.push_back(y), xs.push_back(x);
    u32 mismatches = 0;
    for (size_t i = 0; i < ys.size(); ++i) {
        f32 y[4], x[4], out[4];
        for (int lane = 0; lane < 4; ++lane) {
            const size_t at = (i + size_t(lane) * 7919) % ys.size();
            y[lane] = ys[at];
            x[lane] = xs[at];
        }
        Atan2F4(y, x, out);
        for (int lane = 0; lane < 4; ++lane) {
            if (Bits(out[lane]) != Bits(Atan2F(y[lane], x[lane])) && ++mismatches < 5) {
                ADD_FAILURE() << std::hexfloat << "(" << y[lane] << ", " << x[lane] << ") in lane " << lane;
            }
        }
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_GT(ys.size(), 800000u);
}

}  // namespace ORV_TEST_FILE_ID
