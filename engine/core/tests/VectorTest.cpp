#include "engine/core/FloatMath.h"
#include "engine/core/Matrix.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"
#include "engine/core/tests/MathExpect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(FloatMath, ConstantsAreTheSinglePrecisionValues)
{
    EXPECT_EQ(kDegToRad, 0.01745329238474369f);
    EXPECT_EQ(double(kHalfDegToRad), 0.008726646192371845);
    EXPECT_EQ(kRadToDeg, 57.2957763671875f);
}

TEST(FloatMath, PowIntSquaresAndMultiplies)
{
    EXPECT_EQ(PowIntF(2.0f, 10), 1024.0f);
    EXPECT_EQ(PowIntF(2.0f, -2), 0.25f);
    EXPECT_EQ(PowIntF(5.0f, 0), 1.0f);
    EXPECT_EQ(PowIntF(-3.0f, 3), -27.0f);
    EXPECT_EQ(PowIntF(2.0f, std::numeric_limits<i32>::min()), 0.0f);  // 1 / inf
}

TEST(Vector3, ConstructionFromFloatsAndNull)
{
    const f32 v[] = {1, 2, 3};
    EXPECT_TRUE(Near(CVector3(v), CVector3(1, 2, 3), 0));
    EXPECT_TRUE(Near(CVector3(static_cast<const f32*>(nullptr)), CVector3(), 0));
    CVector3 a(4, 5, 6);
    a = static_cast<const f32*>(nullptr);
    EXPECT_TRUE(Near(a, CVector3(4, 5, 6), 0));
    a = v;
    EXPECT_TRUE(Near(a, CVector3(1, 2, 3), 0));
    a[2] = 7;
    EXPECT_EQ(a.z, 7.0f);
}

TEST(Vector3, ArithmeticAndProducts)
{
    const CVector3 a(1, 2, 3), b(4, 5, 6);
    EXPECT_TRUE(Near(a + b, {5, 7, 9}, 0));
    EXPECT_TRUE(Near(b - a, {3, 3, 3}, 0));
    EXPECT_TRUE(Near(a * 2.0f, {2, 4, 6}, 0));
    EXPECT_TRUE(Near(a + 1.0f, {2, 3, 4}, 0));
    EXPECT_TRUE(Near(-a, {-1, -2, -3}, 0));
    EXPECT_TRUE(Near(a.Modulate(b), {4, 10, 18}, 0));
    EXPECT_EQ(a.Dot(b), 32.0f);
    EXPECT_EQ(a.Dot(nullptr), 0.0f);
    // Left-handed basis: x cross y = z.
    EXPECT_TRUE(Near(CVector3(1, 0, 0).Cross({0, 1, 0}), {0, 0, 1}, 0));
    EXPECT_TRUE(Near(a.Cross(b), {-3, 6, -3}, 0));
    EXPECT_EQ(CVector3(2, 3, 6).Length(), 7.0f);
    EXPECT_EQ(CVector3(-2, 7, -9).MaxAbsComponent(), 9.0f);

    CVector3 c(1, -2, 3);
    c -= CVector3(1, 1, 1);
    c *= 2.0f;
    EXPECT_TRUE(Near(c, {0, -6, 4}, 0));
    c.Abs();
    EXPECT_TRUE(Near(c, {0, 6, 4}, 0));
    c.DivideScalar(0.0f);  // a zero scale leaves the vector unchanged
    EXPECT_TRUE(Near(c, {0, 6, 4}, 0));
    c.DivideScalar(2.0f);
    EXPECT_TRUE(Near(c, {0, 3, 2}, 0));
}

TEST(Vector3, NormalizeGivesUnitLengthAndZeroForZero)
{
    CVector3 out(9, 9, 9);
    EXPECT_EQ(CVector3(0, 3, 4).GetNormalized(&out), &out);
    EXPECT_TRUE(Near(out, {0, 0.6f, 0.8f}));
    CVector3().GetNormalized(&out);
    EXPECT_TRUE(Near(out, {0, 0, 0}, 0));
    CVector3 self(0, 0, -5);
    self.Normalize(&self);  // out may be this
    EXPECT_TRUE(Near(self, {0, 0, -1}, 0));
    self.Normalize(nullptr);
    EXPECT_EQ(self.GetNormalized(nullptr), nullptr);
}

TEST(Vector3, AngleInDegreesClampsTheCosine)
{
    EXPECT_NEAR(CVector3(1, 0, 0).Angle(CVector3(0, 2, 0)), 90.0f, 1e-4f);
    EXPECT_NEAR(CVector3(1, 0, 0).Angle(CVector3(1, 1, 0)), 45.0f, 1e-4f);
    // Rounding makes these cosines 1.0000001 and -1.0000001 in single
    // precision; the clamp keeps acos defined.
    const CVector3 a(1, 1, 1), b(3, 3, 3);
    ASSERT_GT(a.Dot(b) / (a.Length() * b.Length()), 1.0f);
    EXPECT_EQ(a.Angle(b), 0.0f);
    const CVector3 c(1, 1, 5), d(-1, -1, -5);
    ASSERT_LT(c.Dot(d) / (c.Length() * d.Length()), -1.0f);
    EXPECT_EQ(c.Angle(d), AcosF(-1.0f) * kRadToDeg);
    EXPECT_NEAR(c.Angle(d), 180.0f, 1e-4f);
    // A zero vector or a null one gives 0.
    EXPECT_EQ(CVector3().Angle(a), 0.0f);
    EXPECT_EQ(a.Angle(CVector3()), 0.0f);
    EXPECT_EQ(a.Angle(nullptr), 0.0f);
}

TEST(Vector3, TransformsByRowVectorConvention)
{
    // Rows: x axis -> (0, 1, 0), y axis -> (-1, 0, 0), z kept, translation (10, 20, 30).
    const CMatrix m(0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1);
    CVector3 p(1, 2, 3);
    CVector3 out;
    EXPECT_EQ(p.TransformedCoord(&out, m), &out);
    EXPECT_TRUE(Near(out, {8, 21, 33}, 0));
    EXPECT_TRUE(Near(p, {1, 2, 3}, 0));
    p.TransformCoord(m);
    EXPECT_TRUE(Near(p, {8, 21, 33}, 0));
    CVector3(1, 2, 3).TransformNormalInto(m, &out);
    EXPECT_TRUE(Near(out, {-2, 1, 3}, 0));

    // TransformProject divides by w' = x m03 + y m13 + z m23 + m33.
    const CMatrix proj(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 1);
    CVector3(2, 4, 3).TransformProject(proj, &out);
    EXPECT_TRUE(Near(out, {0.5f, 1.0f, 0.75f}, 0));
    // No division in TransformCoord even when column 3 is not (0, 0, 0, 1).
    EXPECT_TRUE(Near(Transformed({2, 4, 3}, proj), {2, 4, 3}, 0));
}

TEST(Vector3, PerpendicularCompletesAFrame)
{
    for (const CVector3 v : {CVector3(0, 0, 1), CVector3(0.3f, -0.2f, 0.9f), CVector3(1, 0, 0),
             CVector3(0.5f, 0.5f, 0.70710678f), CVector3(2, -3, -4)}) {
        CVector3 a, b;
        v.Perpendicular(&a, &b);
        EXPECT_NEAR(v.Dot(a), 0.0f, 1e-5f) << v.x << "," << v.y << "," << v.z;
        EXPECT_NEAR(v.Dot(b), 0.0f, 1e-5f);
        EXPECT_NEAR(a.Dot(b), 0.0f, 1e-5f);
        EXPECT_NEAR(a.Length(), 1.0f, 1e-6f);
    }
    // Branch 1 (z > 0.70710678): out1 in the y-z plane.
    CVector3 a, b;
    CVector3(0, 0, 1).Perpendicular(&a, &b);
    EXPECT_TRUE(Near(a, {0, -1, 0}, 0));
    EXPECT_TRUE(Near(b, {1, 0, 0}, 0));
    // Branch 2: out1 in the x-y plane.
    CVector3(1, 0, 0).Perpendicular(&a, &b);
    EXPECT_TRUE(Near(a, {0, 1, 0}, 0));
    EXPECT_TRUE(Near(b, {0, 0, 1}, 0));
    // The branch switches strictly above z = 0.70710678.
    CVector3(0.6f, 0, 0.8f).Perpendicular(&a, &b);
    EXPECT_TRUE(Near(a, {0, -1, 0}, 1e-6f));
    CVector3(0.70710678f, 0, 0.70710678f).Perpendicular(&a, &b);
    EXPECT_TRUE(Near(a, {0, 1, 0}, 1e-6f));
    // A null out2 writes only out1; a null out1 writes nothing.
    CVector3 untouched(7, 7, 7);
    CVector3(1, 0, 0).Perpendicular(&a, nullptr);
    CVector3(1, 0, 0).Perpendicular(nullptr, &untouched);
    EXPECT_TRUE(Near(untouched, {7, 7, 7}, 0));
}

TEST(Vector3, PerpendicularOfAxisAlignedVectorsWithoutXYStaysFinite)
{
    // The plain formula divides by |(x, y)| = 0 here (left to the implementer).
    CVector3 a, b;
    CVector3(0, 0, -1).Perpendicular(&a, &b);
    EXPECT_TRUE(Near(a, {0, 1, 0}, 0));
    EXPECT_NEAR(CVector3(0, 0, -1).Dot(b), 0.0f, 0);
    EXPECT_NEAR(a.Dot(b), 0.0f, 0);
    CVector3().Perpendicular(&a, &b);
    EXPECT_TRUE(Near(a, {1, 0, 0}, 0));
    EXPECT_TRUE(Near(b, {0, 1, 0}, 0));
}

TEST(Vector3, MinMaxPerComponent)
{
    CVector3 lo, hi;
    Vector3MinMax({1, 5, -2}, {3, -1, -2}, &lo, &hi);
    EXPECT_TRUE(Near(lo, {1, -1, -2}, 0));
    EXPECT_TRUE(Near(hi, {3, 5, -2}, 0));
    Vector3MinMax3({1, 5, -2}, {3, -1, 0}, {2, 2, 9}, &lo, &hi);
    EXPECT_TRUE(Near(lo, {1, -1, -2}, 0));
    EXPECT_TRUE(Near(hi, {3, 5, 9}, 0));
}

TEST(Vector4, ArithmeticTransformAndLength)
{
    const CVector4 a(1, 2, 3, 4), b(0.5f, 0.5f, 2, 0);
    EXPECT_TRUE(Near(a + b, {1.5f, 2.5f, 5, 4}, 0));
    EXPECT_TRUE(Near(a - b, {0.5f, 1.5f, 1, 4}, 0));
    EXPECT_TRUE(Near(a * 2.0f, {2, 4, 6, 8}, 0));
    EXPECT_TRUE(Near(a.Modulate(b), {0.5f, 1, 6, 0}, 0));
    CVector4 c = a;
    EXPECT_EQ(&(c *= b), &c);
    EXPECT_TRUE(Near(c, {0.5f, 1, 6, 0}, 0));
    EXPECT_EQ(Length4({1, 2, 2, 4}), 5.0f);

    CVector4 v(1, 2, 3, 2);
    v.Transform(CMatrix(0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1));
    EXPECT_TRUE(Near(v, {18, 41, 63, 2}, 0));
}

TEST(Vector4, Cross4IsOrthogonalToItsThreeArguments)
{
    const CVector4 a(1, 2, 3, 4), b(-2, 0, 1, 5), c(3, 1, -1, 2);
    CVector4 out;
    EXPECT_EQ(a.Cross4(&b, &c, &out), &out);
    EXPECT_EQ(out.Dot(a), 0.0f);
    EXPECT_EQ(out.Dot(b), 0.0f);
    EXPECT_EQ(out.Dot(c), 0.0f);
    // The unit basis: e0, e1, e2 give -e3 with the original signs (the
    // determinant takes the negated dot product).
    const CVector4 e1(0, 1, 0, 0), e2(0, 0, 1, 0);
    CVector4(1, 0, 0, 0).Cross4(&e1, &e2, &out);
    EXPECT_TRUE(Near(out, {0, 0, 0, -1}, 0));
    CVector4 untouched(7, 7, 7, 7);
    a.Cross4(nullptr, &c, &untouched);
    a.Cross4(&b, nullptr, &untouched);
    EXPECT_TRUE(Near(untouched, {7, 7, 7, 7}, 0));
}

TEST(Vector4, PacksAndUnpacksARGB)
{
    // 0.5 x 255 = 127.5 truncates to 127.
    EXPECT_EQ(CVector4(1, 0.5f, 0, 1).ToARGB(), 0xFFFF7F00u);
    EXPECT_EQ(CVector4(0.25f, 0.75f, 1, 0).ToARGB(), 0x003FBFFFu);
    // Out-of-range values keep the low byte of the truncation.
    EXPECT_EQ(CVector4(2, 0, 0, 1).ToARGB(), 0xFFFE0000u);  // 510 = 0x1FE
    EXPECT_EQ(CVector4(-1, 0, 0, 1).ToARGB(), 0xFF010000u); // -255 = ...FF01
    EXPECT_EQ(CVector4(std::nanf(""), 0, 0, 1).ToARGB(), 0xFF000000u);

    CVector4 c;
    EXPECT_EQ(&c.FromARGB(0x80FF4000u), &c);
    EXPECT_EQ(c.x, 1.0f);
    EXPECT_EQ(c.y, 64.0f / 255.0f);
    EXPECT_EQ(c.z, 0.0f);
    EXPECT_EQ(c.w, 128.0f / 255.0f);
    for (u32 argb : {0x00000000u, 0xFFFFFFFFu, 0x12345678u, 0x80FF4001u, 0xDEADBEEFu})
        EXPECT_EQ(CVector4().FromARGB(argb).ToARGB(), argb) << std::hex << argb;
}
