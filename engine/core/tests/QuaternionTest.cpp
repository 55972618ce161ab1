#include "engine/core/Quaternion.h"
#include "engine/core/tests/MathExpect.h"

#include <cmath>
#include <cstring>
#include <iterator>

namespace ORV_TEST_FILE_ID {

namespace {

const CMatrix kIdentity;

// The same rotation has two quaternions, q and -q; compare with w >= 0.
CQuaternion Canonical(CQuaternion q) { return q.w < 0.0f ? q * -1.0f : q; }

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

// Scaling x RotationEuler(degrees) x translation.
CMatrix Placed(const CVector3& degrees, const CVector3& scaling, const CVector3& translation)
{
    CMatrix m;
    m.RotationEuler(&degrees);
    MatrixScaleRows(&m, &scaling);
    MatrixTranslate(&m, &translation);
    return m;
}

}  // namespace

TEST(Quaternion, AxisAngleTakesTheAxisAsGivenAndNormalizedLeavesZeroAlone)
{
    const CVector3 axis(0, 0, 2);
    CQuaternion q;
    q.FromAxisAngle(60, &axis);
    const CQuaternion expected(0, 0, 2 * std::sin(30 * kDegToRad), std::cos(30 * kDegToRad));
    EXPECT_TRUE(Near(q, expected, 1e-6f));
    q.FromAxisAngle(10, nullptr);
    EXPECT_TRUE(Near(q, expected, 1e-6f));
    EXPECT_TRUE(Near(CQuaternion(1, 2, 3, 4) + CQuaternion(0.5f, 0, -1, 2) - CQuaternion(1, 1, 1, 1), {0.5f, 1, 1, 5}, 0));
    EXPECT_EQ(CQuaternion(0, 3, 0, 4).Normalized(&q), &q);
    EXPECT_TRUE(Near(q, {0, 0.6f, 0, 0.8f}));
    CQuaternion(0, 0, 0, 0).Normalized(&q);
    EXPECT_TRUE(Near(q, {0, 0, 0, 0}, 0));
    EXPECT_EQ(q.Normalized(nullptr), nullptr);
}

TEST(Quaternion, MatrixTurnsOppositeToTheElementaryRotations)
{
    const CVector3 zAxis(0, 0, 1), yAxis(0, 1, 0);
    for (f32 a : {-75.0f, 30.0f, 90.0f, 170.0f}) {
        EXPECT_TRUE(Near(CMatrix().RotationAxis(a, &zAxis), CMatrix().RotationZ(-a), 1e-6f)) << a;
        EXPECT_TRUE(Near(CMatrix().RotationAxis(a, &yAxis), CMatrix().RotationY(-a), 1e-6f)) << a;
    }
    // The axis is taken as given: its length changes the angle to
    // 2 atan(length tan(a / 2)).
    const struct {
        f32 a, length, turned;
    } lengths[] = {{30, 2, 56.373571f}, {90, 2, 126.869898f}, {-75, 0.5f, -41.979970f}};
    for (const auto& c : lengths) {
        const CVector3 axis(0, 0, c.length);
        EXPECT_TRUE(Near(CMatrix().RotationAxis(c.a, &axis), CMatrix().RotationZ(-c.turned), 1e-5f)) << c.a;
    }
    CMatrix m = kIdentity;
    m.RotationAxis(30, nullptr);
    EXPECT_EQ(m, kIdentity);
}

TEST(Quaternion, MatrixRoundTripsThroughEveryBranch)
{
    EXPECT_EQ(ToMatrix({0, 0, 0, 1}), kIdentity);
    EXPECT_TRUE(Near(ToQuaternion(kIdentity), {0, 0, 0, 1}, 0));
    const CQuaternion cases[] = {
        AxisAngle(40, {1, 2, 3}),  // trace branch
        AxisAngle(-100, {0.2f, -1, 0.5f}),
        AxisAngle(180, {1, 0, 0}),  // R00 largest
        AxisAngle(180, {0, 1, 0}),  // R11 largest
        AxisAngle(180, {0, 0, 1}),  // R22 largest
        AxisAngle(180, {0, 1, 1}),  // R11 and R22 tie
        AxisAngle(170, {0.9f, 0.1f, -0.3f}),
        AxisAngle(150, {-0.1f, 0.3f, 0.95f}),
    };
    for (const CQuaternion& q : cases) {
        EXPECT_TRUE(Near(Canonical(ToQuaternion(ToMatrix(q))), Canonical(q), 2e-6f))
            << q.x << " " << q.y << " " << q.z << " " << q.w;
    }
    const CVector3 deg(30, 45, 60);
    const CMatrix euler = CMatrix().RotationEuler(&deg);
    EXPECT_TRUE(Near(ToMatrix(ToQuaternion(euler)), euler, 2e-6f));
}

TEST(Quaternion, DecompositionRebuildsTheMatrix)
{
    const CVector3 deg(-20, 130, 75), s(2, 0.5f, 3);
    const CMatrix m = Placed(deg, s, {-4, 5, 6});
    EXPECT_TRUE(Near(m.ScalingPart(), s, 1e-6f));
    EXPECT_TRUE(Near(m.RotationPart(), CMatrix().RotationEuler(&deg), 1e-6f));  // no translation either
    // Scaling and translation do not disturb the rotation that is read.
    EXPECT_TRUE(Near(ToMatrix(ToQuaternion(m)), CMatrix().RotationEuler(&deg), 2e-6f));
    CVector3 scaling, translation;
    m.GetScaling(&scaling);
    m.GetTranslation(&translation);
    EXPECT_TRUE(Near(Placed(deg, scaling, translation), m, 1e-5f));
    m.GetScaling(nullptr);
    m.GetRotationPart(nullptr);
    m.ToQuaternion(nullptr);
}

TEST(Quaternion, SlerpEndpointsMidpointAndShortWay)
{
    const CQuaternion a(0, 0, 0, 1), b = AxisAngle(90, {0, 0, 1}), half = AxisAngle(45, {0, 0, 1});
    CQuaternion q;
    EXPECT_TRUE(Near(q.Slerp(&a, &b, 0.25f), AxisAngle(22.5f, {0, 0, 1}), 1e-6f));
    // Against its own negation the short way gives the quaternion, not zero;
    // b negated is the same rotation and gives the same blend.
    const CQuaternion c = AxisAngle(70, {1, 2, 3}), negated = c * -1.0f, bNegated = b * -1.0f;
    EXPECT_TRUE(Near(q.Slerp(&c, &negated, 0.5f), c, 1e-7f));
    EXPECT_TRUE(Near(q.Slerp(&a, &bNegated, 0.5f), half, 1e-6f));
    // this may be an argument; a null one leaves this unchanged.
    CQuaternion self = a;
    self.Slerp(&self, &b, 0.5f);
    self.Slerp(nullptr, &b, 0.5f);
    self.Slerp(&a, nullptr, 0.5f);
    EXPECT_TRUE(Near(self, half, 1e-6f));
}

TEST(Quaternion, SlerpUsesSineWeightsOnlyAboveTheThreshold)
{
    // 1 - cos is a multiple of 2^-24 here, so 0.001 itself cannot occur: the
    // nearest values below and above decide the strict comparison.
    const f32 atOrBelow = 1.0f - 16777.0f / 16777216.0f;  // 1 - cos = 0.000999987
    const f32 above = 1.0f - 16778.0f / 16777216.0f;      // 1 - cos = 0.001000047
    const CQuaternion a(0, 0, 0, 1), nearB(0.04f, 0, 0, atOrBelow), farB(0.04f, 0, 0, above);
    CQuaternion q;
    q.Slerp(&a, &nearB, 0.5f);
    EXPECT_EQ(q.x, 0.5f * 0.04f);  // linear weights 0.5 and 0.5
    EXPECT_EQ(q.w, 0.5f + 0.5f * atOrBelow);
    q.Slerp(&a, &farB, 0.5f);
    const f32 theta = AcosF(above);
    EXPECT_EQ(q.x, SinF(0.5f * theta) / SinF(theta) * 0.04f);
}

// Four slerps at once give each Slerp's bits: pairs above and at the
// linear threshold, on the long way round (negative dot), at t 0, 1 and
// between, in batches of one to four, and with out the lane's own a or b.
TEST(Quaternion, FourSlerpsAtOnceAreEachSlerp)
{
    const f32 nearW = 1.0f - 16777.0f / 16777216.0f, farW = 1.0f - 16778.0f / 16777216.0f;
    struct Pair {
        CQuaternion a, b;
        f32 t;
    };
    const Pair pairs[] = {
        {AxisAngle(10.0f, {0, 0.6f, 0.8f}), AxisAngle(75.0f, {0, 0.6f, 0.8f}), 0.3f},
        {AxisAngle(40.0f, {1, 2, 3}), AxisAngle(-130.0f, {3, -1, 2}) * -1.0f, 0.75f},   // dot < 0
        {CQuaternion(0, 0, 0, 1), CQuaternion(0.04f, 0, 0, nearW), 0.5f},              // linear weights
        {CQuaternion(0, 0, 0, 1), CQuaternion(0.04f, 0, 0, farW), 0.5f},               // sine weights
        {AxisAngle(33.0f, {1, 0, 0}), AxisAngle(34.0f, {0, 1, 0}), 0.0f},
        {AxisAngle(33.0f, {1, 0, 0}), AxisAngle(34.0f, {0, 1, 0}), 1.0f},
        {AxisAngle(90.0f, {0, 0, 1}), AxisAngle(90.0f, {0, 0, 1}), 0.6f},              // the same rotation
        {AxisAngle(170.0f, {1, 1, 0}), AxisAngle(-170.0f, {1, 1, 0}), 0.125f},
    };
    constexpr u32 kPairs = u32(std::size(pairs));
    auto same = [](const CQuaternion& p, const CQuaternion& q) {
        return std::memcmp(&p, &q, sizeof p) == 0;
    };
    for (u32 n = 1; n <= 4; ++n) {
        for (u32 start = 0; start < kPairs; ++start) {
            const CQuaternion* a[4];
            const CQuaternion* b[4];
            f32 t[4];
            CQuaternion got[4], in[4];
            CQuaternion* out[4];
            for (u32 i = 0; i < n; ++i) {
                const Pair& p = pairs[(start + i * 3) % kPairs];
                a[i] = &p.a, b[i] = &p.b, t[i] = p.t;
                out[i] = &got[i];
            }
            // The last lane writes over its own a.
            in[n - 1] = *a[n - 1];
            a[n - 1] = out[n - 1] = &in[n - 1];
            const CQuaternion lastA = in[n - 1];
            CQuaternion::SlerpFour(a, b, t, out, n);
            for (u32 i = 0; i < n; ++i) {
                CQuaternion want;
                want.Slerp(i == n - 1 ? &lastA : a[i], b[i], t[i]);
                EXPECT_TRUE(same(*out[i], want)) << "n " << n << ", start " << start << ", lane " << i;
            }
        }
    }
}

// At a dot of exactly 0 both ways are equally long: b is taken as it is, not
// negated, in both slerps: a quarter of the way from 1 to i turns 45 degrees about +x.
TEST(Quaternion, DotOfExactlyZeroKeepsTheSignOfB)
{
    const CQuaternion a(0, 0, 0, 1), b(1, 0, 0, 0);
    ASSERT_EQ(a.Dot(b), 0.0f);
    const CQuaternion want = AxisAngle(45.0f, {1, 0, 0});
    CQuaternion one;
    EXPECT_TRUE(Near(one.Slerp(&a, &b, 0.25f), want, 1e-6f));
    const CQuaternion* as[4] = {&a, &a, &a, &a};
    const CQuaternion* bs[4] = {&b, &b, &b, &b};
    const f32 t[4] = {0.25f, 0.25f, 0.25f, 0.25f};
    CQuaternion got[4];
    CQuaternion* out[4] = {&got[0], &got[1], &got[2], &got[3]};
    for (u32 n = 1; n <= 4; ++n) {
        CQuaternion::SlerpFour(as, bs, t, out, n);
        for (u32 i = 0; i < n; ++i) EXPECT_TRUE(Near(got[i], want, 1e-6f)) << "n " << n << ", lane " << i;
    }
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

    // Normalized, these give na.nb + 1 < 0 in single precision; the plain
    // square root would be NaN. They take the half-turn like exact opposites.
    const CVector3 a(1, 2, 0.3f), b(-1, -2, -0.3f);
    q.FromArc(&a, &b);
    CVector3 p, na, turned;
    a.Perpendicular(&p, nullptr);
    EXPECT_TRUE(Near(q, {p.x, p.y, p.z, 0}, 0));
    a.GetNormalized(&na);
    na.TransformNormalInto(ToMatrix(q), &turned);
    EXPECT_TRUE(Near(turned, -na, 1e-6f));
}

TEST(Quaternion, InterpolateBlendsTranslationScalingAndRotation)
{
    const CMatrix a = Placed({10, 20, 30}, {1, 2, 3}, {0, 0, 0}), b = Placed({50, -40, 100}, {3, 2, 1}, {2, 4, -6});
    CMatrix out;
    for (f32 w : {0.0f, -1.0f, 1.0f}) {  // the ends come back bit for bit
        a.Interpolate(&b, w, &out);
        EXPECT_EQ(out, w < 1.0f ? a : b) << w;
    }
    a.Interpolate(&b, 0.5f, &out);
    EXPECT_TRUE(Near(out.ScalingPart(), {2, 2, 2}, 1e-5f));
    CVector3 t;
    out.GetTranslation(&t);
    EXPECT_TRUE(Near(t, {1, 2, -3}, 0));
    CQuaternion mid;
    const CQuaternion qa = ToQuaternion(a), qb = ToQuaternion(b);
    mid.Slerp(&qa, &qb, 0.5f);
    EXPECT_TRUE(Near(Canonical(ToQuaternion(out)), Canonical(mid), 1e-5f));
    EXPECT_EQ(out.m[3][3], 1.0f);

    // out may be an argument; null b or out does nothing.
    CMatrix self = a;
    self.Interpolate(&b, 1.0f, &self);
    EXPECT_EQ(self, b);
    a.Interpolate(nullptr, 0.5f, &self);
    a.Interpolate(&b, 0.5f, nullptr);
    EXPECT_EQ(self, b);
}

}  // namespace ORV_TEST_FILE_ID
