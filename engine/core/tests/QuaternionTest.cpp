#include "engine/core/Quaternion.h"
#include "engine/core/tests/MathExpect.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const CMatrix kIdentity;

// The same rotation has two quaternions, q and -q; compare with w >= 0.
CQuaternion Canonical(CQuaternion q)
{
    return q.w < 0.0f ? q * -1.0f : q;
}

CQuaternion AxisAngle(f32 degrees, CVector3 axis)
{
    axis.Normalize();
    return CQuaternion().FromAxisAngle(degrees, &axis);
}

CMatrix ToMatrix(const CQuaternion& q)
{
    CMatrix m;
    q.ToMatrix(&m);
    return m;
}

CQuaternion ToQuaternion(const CMatrix& m)
{
    CQuaternion q;
    m.ToQuaternion(&q);
    return q;
}

}  // namespace

TEST(Quaternion, DefaultIsZeroAndItsMatrixIsTheIdentity)
{
    const CQuaternion q;
    EXPECT_TRUE(Near(q, {0, 0, 0, 0}, 0));
    EXPECT_EQ(ToMatrix(q), kIdentity);
    EXPECT_EQ(ToMatrix({0, 0, 0, 1}), kIdentity);
    q.ToMatrix(nullptr);
}

TEST(Quaternion, ArithmeticAndNormalization)
{
    const CQuaternion a(1, 2, 3, 4), b(0.5f, 0, -1, 2);
    EXPECT_TRUE(Near(a + b, {1.5f, 2, 2, 6}, 0));
    EXPECT_TRUE(Near(a - b, {0.5f, 2, 4, 2}, 0));
    EXPECT_TRUE(Near(a * 0.5f, {0.5f, 1, 1.5f, 2}, 0));
    CQuaternion n;
    EXPECT_EQ(CQuaternion(0, 3, 0, 4).Normalized(&n), &n);
    EXPECT_TRUE(Near(n, {0, 0.6f, 0, 0.8f}));
    CQuaternion(0, 0, 0, 0).Normalized(&n);
    EXPECT_TRUE(Near(n, {0, 0, 0, 0}, 0));
    EXPECT_EQ(a.Normalized(nullptr), nullptr);
}

TEST(Quaternion, FromAxisAngleTakesTheAxisAsGiven)
{
    const CVector3 axis(0, 0, 2);
    CQuaternion q;
    q.FromAxisAngle(60, &axis);
    EXPECT_TRUE(Near(q, {0, 0, 2 * std::sin(30 * kDegToRad), std::cos(30 * kDegToRad)}, 1e-6f));
    q.FromAxisAngle(10, nullptr);
    EXPECT_TRUE(Near(q, {0, 0, 2 * std::sin(30 * kDegToRad), std::cos(30 * kDegToRad)}, 1e-6f));
}

TEST(Quaternion, MatrixTurnsOppositeToTheElementaryRotations)
{
    const CVector3 zAxis(0, 0, 1), yAxis(0, 1, 0);
    for (f32 a : {-75.0f, 30.0f, 90.0f, 170.0f}) {
        EXPECT_TRUE(Near(CMatrix().RotationAxis(a, &zAxis), CMatrix().RotationZ(-a), 1e-6f)) << a;
        EXPECT_TRUE(Near(CMatrix().RotationAxis(a, &yAxis), CMatrix().RotationY(-a), 1e-6f)) << a;
    }
    // The animated camera's case: eye (0, 0, 10) swung by 90
    // degrees about y goes to (-10, 0, 0).
    EXPECT_TRUE(Near(Transformed({0, 0, 10}, CMatrix().RotationAxis(90, &yAxis)), {-10, 0, 0}, 1e-5f));
    // The length of the axis does not change the angle turned.
    const CVector3 longZ(0, 0, 5);
    EXPECT_TRUE(Near(CMatrix().RotationAxis(40, &longZ), CMatrix().RotationZ(-40), 1e-6f));
    const CMatrix before(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    CMatrix m = before;
    m.RotationAxis(30, nullptr);
    EXPECT_EQ(m, before);
}

TEST(Quaternion, MatrixRoundTripsThroughEveryBranch)
{
    const CQuaternion cases[] = {
        AxisAngle(40, {1, 2, 3}),      // trace branch
        AxisAngle(-100, {0.2f, -1, 0.5f}),
        AxisAngle(180, {1, 0, 0}),     // R00 largest
        AxisAngle(180, {0, 1, 0}),     // R11 largest
        AxisAngle(180, {0, 0, 1}),     // R22 largest
        AxisAngle(180, {0, 1, 1}),     // R11 and R22 tie
        AxisAngle(170, {0.9f, 0.1f, -0.3f}),
        AxisAngle(150, {-0.1f, 0.3f, 0.95f}),
    };
    for (const CQuaternion& q : cases) {
        EXPECT_TRUE(Near(Canonical(ToQuaternion(ToMatrix(q))), Canonical(q), 2e-6f))
            << q.x << " " << q.y << " " << q.z << " " << q.w;
    }
    EXPECT_TRUE(Near(ToQuaternion(kIdentity), {0, 0, 0, 1}, 0));

    // Scaling and translation do not disturb the rotation that is read.
    CMatrix m = ToMatrix(cases[0]);
    const CVector3 s(2, 3, 4), t(5, 6, 7);
    MatrixScaleRows(&m, &s);
    MatrixTranslate(&m, &t);
    EXPECT_TRUE(Near(ToQuaternion(m), cases[0], 2e-6f));

    // Matrix -> quaternion -> matrix.
    const CVector3 deg(30, 45, 60);
    const CMatrix euler = CMatrix().RotationEuler(&deg);
    EXPECT_TRUE(Near(ToMatrix(ToQuaternion(euler)), euler, 2e-6f));
}

TEST(Quaternion, SlerpEndpointsMidpointAndShortWay)
{
    const CQuaternion a(0, 0, 0, 1), b = AxisAngle(90, {0, 0, 1});
    CQuaternion q;
    EXPECT_TRUE(Near(q.Slerp(&a, &b, 0), a, 0));
    EXPECT_TRUE(Near(q.Slerp(&a, &b, 1), b, 1e-7f));
    EXPECT_TRUE(Near(q.Slerp(&a, &b, 0.5f), AxisAngle(45, {0, 0, 1}), 1e-6f));
    EXPECT_TRUE(Near(q.Slerp(&a, &b, 0.25f), AxisAngle(22.5f, {0, 0, 1}), 1e-6f));

    // With its own negation: the short way gives the quaternion, not zero.
    const CQuaternion c = AxisAngle(70, {1, 2, 3});
    const CQuaternion negated = c * -1.0f;
    EXPECT_TRUE(Near(q.Slerp(&c, &negated, 0.5f), c, 1e-7f));
    // b negated is the same rotation: the blend is the same.
    const CQuaternion bNegated = b * -1.0f;
    EXPECT_TRUE(Near(q.Slerp(&a, &bNegated, 0.5f), AxisAngle(45, {0, 0, 1}), 1e-6f));

    // this may be an argument; a null one leaves this unchanged.
    CQuaternion self = a;
    self.Slerp(&self, &b, 0.5f);
    EXPECT_TRUE(Near(self, AxisAngle(45, {0, 0, 1}), 1e-6f));
    self.Slerp(nullptr, &b, 0.5f);
    self.Slerp(&a, nullptr, 0.5f);
    EXPECT_TRUE(Near(self, AxisAngle(45, {0, 0, 1}), 1e-6f));
}

TEST(Quaternion, SlerpUsesSineWeightsOnlyAboveTheThreshold)
{
    // 1 - cos is a multiple of 2^-24 here, so 0.001 itself cannot occur: the
    // nearest values below and above decide the strict comparison.
    const f32 atOrBelow = 1.0f - 16777.0f / 16777216.0f;  // 1 - cos = 0.000999987
    const f32 above = 1.0f - 16778.0f / 16777216.0f;      // 1 - cos = 0.001000047
    const CQuaternion a(0, 0, 0, 1);
    CQuaternion q;

    const CQuaternion nearB(0.04f, 0, 0, atOrBelow);
    q.Slerp(&a, &nearB, 0.5f);
    EXPECT_EQ(q.x, 0.5f * 0.04f);  // linear weights 0.5 and 0.5
    EXPECT_EQ(q.w, 0.5f + 0.5f * atOrBelow);

    const CQuaternion farB(0.04f, 0, 0, above);
    q.Slerp(&a, &farB, 0.5f);
    const f32 theta = std::acos(above);
    EXPECT_EQ(q.x, std::sin(0.5f * theta) / std::sin(theta) * 0.04f);
    EXPECT_GT(q.x, 0.5f * 0.04f * 1.0001f);  // measurably not the linear weight
}

TEST(Quaternion, FromArcIsTheShortestRotation)
{
    const CVector3 z(0, 0, 1), x(1, 0, 0), minusX(-1, 0, 0), y(0, 2, 0);
    CQuaternion q;
    EXPECT_TRUE(Near(q.FromArc(&z, &z), {0, 0, 0, 1}, 0));
    EXPECT_TRUE(Near(q.FromArc(&x, &minusX), {0, 1, 0, 0}, 0));  // half-turn about y
    EXPECT_TRUE(Near(q.FromArc(&x, &y), AxisAngle(90, {0, 0, 1}), 1e-6f));
    EXPECT_TRUE(Near(q.FromArc(nullptr, &y), {0, 0, 0, 1}, 0));
    EXPECT_TRUE(Near(q.FromArc(&x, nullptr), {0, 0, 0, 1}, 0));
}

TEST(Quaternion, FromArcOfOppositesStaysDefinedWhenRoundingOvershoots)
{
    // Normalized, these give na.nb + 1 < 0 in single precision; the plain
    // square root would be NaN. They take the half-turn like exact opposites.
    const CVector3 a(1, 2, 0.3f), b(-1, -2, -0.3f);
    CQuaternion q;
    q.FromArc(&a, &b);
    CVector3 p;
    a.Perpendicular(&p, nullptr);
    EXPECT_TRUE(Near(q, {p.x, p.y, p.z, 0}, 0));
    CVector3 na;
    a.GetNormalized(&na);
    CVector3 turned;
    na.TransformNormalInto(ToMatrix(q), &turned);
    EXPECT_TRUE(Near(turned, -na, 1e-6f));
}

TEST(Quaternion, DecompositionRebuildsTheMatrix)
{
    const CVector3 deg(-20, 130, 75), s(2, 0.5f, 3), t(-4, 5, 6);
    CMatrix m;
    m.RotationEuler(&deg);
    MatrixScaleRows(&m, &s);
    MatrixTranslate(&m, &t);

    EXPECT_TRUE(Near(m.ScalingPart(), s, 1e-6f));
    const CMatrix rotation = m.RotationPart();
    EXPECT_TRUE(Near(rotation, CMatrix().RotationEuler(&deg), 1e-6f));
    EXPECT_EQ(rotation.m[0][3], 0.0f);
    EXPECT_EQ(rotation.m[3][3], 1.0f);
    EXPECT_EQ(rotation.m[3][0], 0.0f);

    // Scaling x rotation x translation from the parts gives m back.
    CVector3 scaling, translation;
    m.GetScaling(&scaling);
    m.GetTranslation(&translation);
    CMatrix rebuilt = ToMatrix(ToQuaternion(m));
    MatrixScaleRows(&rebuilt, &scaling);
    MatrixTranslate(&rebuilt, &translation);
    EXPECT_TRUE(Near(rebuilt, m, 1e-5f));

    m.GetScaling(nullptr);
    m.GetRotationPart(nullptr);
    m.ToQuaternion(nullptr);
}

TEST(Quaternion, InterpolateBlendsTranslationScalingAndRotation)
{
    const CVector3 degA(10, 20, 30), degB(50, -40, 100), sA(1, 2, 3), sB(3, 2, 1), tA(0, 0, 0), tB(2, 4, -6);
    CMatrix a, b;
    a.RotationEuler(&degA);
    MatrixScaleRows(&a, &sA);
    MatrixTranslate(&a, &tA);
    b.RotationEuler(&degB);
    MatrixScaleRows(&b, &sB);
    MatrixTranslate(&b, &tB);

    // The ends come back bit for bit.
    CMatrix out;
    a.Interpolate(&b, 0.0f, &out);
    EXPECT_EQ(out, a);
    a.Interpolate(&b, -1.0f, &out);
    EXPECT_EQ(out, a);
    a.Interpolate(&b, 1.0f, &out);
    EXPECT_EQ(out, b);

    a.Interpolate(&b, 0.5f, &out);
    EXPECT_TRUE(Near(out.ScalingPart(), {2, 2, 2}, 1e-5f));
    CVector3 t;
    out.GetTranslation(&t);
    EXPECT_TRUE(Near(t, {1, 2, -3}, 0));
    CQuaternion qa, qb, mid;
    a.ToQuaternion(&qa);
    b.ToQuaternion(&qb);
    mid.Slerp(&qa, &qb, 0.5f);
    EXPECT_TRUE(Near(Canonical(ToQuaternion(out)), Canonical(mid), 1e-5f));
    EXPECT_EQ(out.m[3][3], 1.0f);

    // Pure translations (0, 0, 0) and (2, 0, 0): halfway is (1, 0, 0).
    const CVector3 two(2, 0, 0), one(1, 0, 0);
    const CMatrix p0, p2(&two);
    p0.Interpolate(&p2, 0.5f, &out);
    EXPECT_TRUE(Near(out, CMatrix(&one), 1e-7f));

    // out may be an argument; null b or out does nothing.
    CMatrix self = a;
    self.Interpolate(&b, 1.0f, &self);
    EXPECT_EQ(self, b);
    CMatrix untouched = a;
    a.Interpolate(nullptr, 0.5f, &untouched);
    EXPECT_EQ(untouched, a);
    a.Interpolate(&b, 0.5f, nullptr);
}
