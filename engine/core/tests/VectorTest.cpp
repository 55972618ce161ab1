#include "engine/core/FloatMath.h"
#include "engine/core/tests/MathExpect.h"

#include <limits>

namespace ORV_TEST_FILE_ID {

TEST(FloatMath, ConstantsAndIntegerPowers)
{
    EXPECT_EQ(kDegToRad, 0.01745329238474369f);
    EXPECT_EQ(double(kHalfDegToRad), 0.008726646192371845);
    EXPECT_EQ(kRadToDeg, 57.2957763671875f);
    EXPECT_EQ(PowIntF(2.0f, 10), 1024.0f);
    EXPECT_EQ(PowIntF(2.0f, -2), 0.25f);
    EXPECT_EQ(PowIntF(-3.0f, 3), -27.0f);
    EXPECT_EQ(PowIntF(2.0f, std::numeric_limits<i32>::min()), 0.0f);  // 1 / inf
}

TEST(Vector3, ProductsNormalizingAndGuards)
{
    const CVector3 a(1, 2, 3), b(4, 5, 6);
    // Dot, Cross, + and - are pinned by the geometry sweeps.
    EXPECT_TRUE(Near(a.Modulate(b), {4, 10, 18}, 0));
    EXPECT_EQ(a.Dot(nullptr), 0.0f);
    EXPECT_EQ(CVector3(-2, 7, -9).MaxAbsComponent(), 9.0f);
    EXPECT_TRUE(Near(-a * 2.0f + 1.0f - 0.5f, {-1.5f, -3.5f, -5.5f}, 0));
    CVector3 c(1, -2, 3);
    c -= CVector3(1, 4, -1);
    c += CVector3(0, 2, 0);
    c *= 2.0f;
    c.Abs();
    c.DivideScalar(0.0f);  // a zero scale leaves the vector unchanged
    c.DivideScalar(4.0f);
    c = static_cast<const f32*>(nullptr);
    EXPECT_TRUE(Near(c, {0, 2, 2}, 0));

    CVector3 out(9, 9, 9);
    EXPECT_EQ(CVector3(0, 3, 4).GetNormalized(&out), &out);
    EXPECT_TRUE(Near(out, {0, 0.6f, 0.8f}));
    CVector3().GetNormalized(&out);
    EXPECT_TRUE(Near(out, {0, 0, 0}, 0));
    out.Set(0, 0, -5);
    out.Normalize(&out);  // out may be this
    EXPECT_TRUE(Near(out, {0, 0, -1}, 0));
    EXPECT_EQ(out.GetNormalized(nullptr), nullptr);
}

TEST(Vector3, AngleInDegreesClampsTheCosine)
{
    EXPECT_NEAR(CVector3(1, 0, 0).Angle(CVector3(1, 1, 0)), 45.0f, 1e-4f);
    // Rounding makes these cosines 1.0000001 and -1.0000001 in single
    // precision; the clamp keeps acos defined.
    const CVector3 a(1, 1, 1), b(3, 3, 3), c(1, 1, 5), d(-1, -1, -5);
    ASSERT_GT(a.Dot(b) / (a.Length() * b.Length()), 1.0f);
    EXPECT_EQ(a.Angle(b), 0.0f);
    ASSERT_LT(c.Dot(d) / (c.Length() * d.Length()), -1.0f);
    EXPECT_EQ(c.Angle(d), AcosF(-1.0f) * kRadToDeg);
    EXPECT_EQ(CVector3().Angle(a), 0.0f);  // a zero or null vector gives 0
    EXPECT_EQ(a.Angle(nullptr), 0.0f);
}

TEST(Vector3, TransformsByRowVectorConvention)
{
    // Rows: x axis -> (0, 1, 0), y axis -> (-1, 0, 0), z kept, translation (10, 20, 30).
    const CMatrix m(0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1);
    CVector3 p(1, 2, 3), out;
    EXPECT_EQ(p.TransformedCoord(&out, m), &out);
    p.TransformCoord(m);
    EXPECT_TRUE(Near(p, {8, 21, 33}, 0));
    EXPECT_TRUE(Near(out, {8, 21, 33}, 0));
    CVector3(1, 2, 3).TransformNormalInto(m, &out);
    EXPECT_TRUE(Near(out, {-2, 1, 3}, 0));
    CVector4 v(1, 2, 3, 2);
    v.Transform(m);
    EXPECT_TRUE(Near(v, {18, 41, 63, 2}, 0));
    // TransformProject divides by w' = x m03 + y m13 + z m23 + m33; TransformCoord never does.
    const CMatrix proj(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 1);
    CVector3(2, 4, 3).TransformProject(proj, &out);
    EXPECT_TRUE(Near(out, {0.5f, 1.0f, 0.75f}, 0));
    EXPECT_TRUE(Near(Transformed({2, 4, 3}, proj), {2, 4, 3}, 0));
}

TEST(Vector3, PerpendicularCompletesAFrame)
{
    // Above z = 0.70710678 (strictly) out1 lies in the y-z plane, else in the x-y plane.
    const struct { CVector3 v, out1; } cases[] = {
        {{0, 0, 1}, {0, -1, 0}},
        {{0.70710678f, 0, 0.70710678f}, {0, 1, 0}},
        {{1, 0, 0}, {0, 1, 0}},
        {{0, 0, -1}, {0, 1, 0}},  // |(x, y)| = 0: the plain formula would divide by it
        {{0.3f, -0.2f, 0.9f}, {}},
        {{2, -3, -4}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.v.x << "," << c.v.y << "," << c.v.z);
        CVector3 a, b;
        c.v.Perpendicular(&a, &b);
        EXPECT_NEAR(c.v.Dot(a), 0.0f, 1e-5f);
        EXPECT_NEAR(c.v.Dot(b), 0.0f, 1e-5f);
        EXPECT_NEAR(a.Dot(b), 0.0f, 1e-5f);
        EXPECT_NEAR(a.Length(), 1.0f, 1e-6f);
        if (c.out1.Length() > 0) {
            EXPECT_TRUE(Near(a, c.out1, 1e-6f));
        }
    }
    CVector3 a, b(7, 7, 7);
    CVector3().Perpendicular(&a, nullptr);
    EXPECT_TRUE(Near(a, {1, 0, 0}, 0));
    CVector3(1, 0, 0).Perpendicular(nullptr, &b);  // a null out1 writes nothing
    EXPECT_TRUE(Near(b, {7, 7, 7}, 0));
}

TEST(Vector4, ArithmeticAndCross4)
{
    EXPECT_EQ(Length4({1, 2, 2, 4}), 5.0f);
    CVector4 m(1, 2, 3, 4);
    const CVector4 n(0.5f, 0.5f, 2, 0);
    EXPECT_TRUE(Near((m + n) * 2.0f - n, {2.5f, 4.5f, 8, 8}, 0));
    EXPECT_EQ(&(m *= n), &m);
    EXPECT_TRUE(Near(m, {0.5f, 1, 6, 0}, 0));
    EXPECT_TRUE(Near(CVector4(1, 2, 3, 4).Modulate(n), {0.5f, 1, 6, 0}, 0));
    const CVector4 a(1, 2, 3, 4), b(-2, 0, 1, 5), c(3, 1, -1, 2), e1(0, 1, 0, 0), e2(0, 0, 1, 0);
    CVector4 out;
    EXPECT_EQ(a.Cross4(&b, &c, &out), &out);
    EXPECT_EQ(out.Dot(a), 0.0f);
    EXPECT_EQ(out.Dot(b), 0.0f);
    EXPECT_EQ(out.Dot(c), 0.0f);
    // e0, e1, e2 give -e3: the determinant takes the negated dot product.
    CVector4(1, 0, 0, 0).Cross4(&e1, &e2, &out);
    EXPECT_TRUE(Near(out, {0, 0, 0, -1}, 0));
    a.Cross4(nullptr, &c, &out);
    a.Cross4(&b, nullptr, &out);
    EXPECT_TRUE(Near(out, {0, 0, 0, -1}, 0));
}

TEST(Vector4, PacksAndUnpacksARGB)
{
    const struct { CVector4 colour; u32 argb; } packs[] = {
        {{1, 0.5f, 0, 1}, 0xFFFF7F00u},  // 0.5 x 255 = 127.5 truncates to 127
        {{0.25f, 0.75f, 1, 0}, 0x003FBFFFu},
        {{2, 0, 0, 1}, 0xFFFE0000u},   // out of range keeps the low byte: 510 = 0x1FE
        {{-1, 0, 0, 1}, 0xFF010000u},  // -255 = ...FF01
        {{std::nanf(""), 0, 0, 1}, 0xFF000000u},
    };
    for (const auto& p : packs) EXPECT_EQ(p.colour.ToARGB(), p.argb) << std::hex << p.argb;
    CVector4 c;
    EXPECT_EQ(&c.FromARGB(0x80FF4000u), &c);
    EXPECT_TRUE(Near(c, {1.0f, 64.0f / 255.0f, 0.0f, 128.0f / 255.0f}, 0));
    for (u32 argb : {0x00000000u, 0xFFFFFFFFu, 0x12345678u, 0xDEADBEEFu})
        EXPECT_EQ(CVector4().FromARGB(argb).ToARGB(), argb) << std::hex << argb;
}

}  // namespace ORV_TEST_FILE_ID
