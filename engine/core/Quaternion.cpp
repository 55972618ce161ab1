// CQuaternion and the CMatrix operations that go through quaternions:
// rotation about an axis, decomposition and blending.
#include "engine/core/Quaternion.h"

#include "engine/core/FloatMath.h"

void CQuaternion::ToMatrix(CMatrix* out) const
{
    if (!out) return;
    *out = CMatrix(1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y - z * w), 2.0f * (x * z + y * w), 0.0f,
        2.0f * (x * y + z * w), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z - x * w), 0.0f,
        2.0f * (x * z - y * w), 2.0f * (y * z + x * w), 1.0f - 2.0f * (x * x + y * y), 0.0f,
        0.0f, 0.0f, 0.0f, 1.0f);
}

CQuaternion& CQuaternion::FromAxisAngle(f32 degrees, const CVector3* axis)
{
    if (!axis) return *this;
    const f32 h = degrees * kHalfDegToRad;
    const f32 s = SinF(h);
    x = axis->x * s;
    y = axis->y * s;
    z = axis->z * s;
    w = CosF(h);
    return *this;
}

CQuaternion& CQuaternion::Slerp(const CQuaternion* pa, const CQuaternion* pb, f32 t)
{
    if (!pa || !pb) return *this;
    const CQuaternion a = *pa, b = *pb;
    f32 c = a.Dot(b);
    f32 sign = 1.0f;
    if (c < 0.0f) {
        sign = -1.0f;
        c = -c;
    }
    f32 wa, wb;
    if (1.0f - c > 0.001f) {
        const f32 theta = AcosF(c);
        const f32 angles[4] = {theta, (1.0f - t) * theta, t * theta, 0.0f};
        f32 sines[4];
        SinF4(angles, sines);
        wa = sines[1] / sines[0];
        wb = sines[2] / sines[0];
    } else {
        wa = 1.0f - t;
        wb = t;
    }
    wb = sign * wb;
    x = wa * a.x + wb * b.x;
    y = wa * a.y + wb * b.y;
    z = wa * a.z + wb * b.z;
    w = wa * a.w + wb * b.w;
    return *this;
}

void CQuaternion::SlerpFour(const CQuaternion* const a[4], const CQuaternion* const b[4], const f32 t[4],
    CQuaternion* const out[4], u32 n)
{
    if (n == 0) return;
    // Slerp's steps lane by lane; a lane without a pair takes the cosine 1.
    f32 c[4] = {1.0f, 1.0f, 1.0f, 1.0f}, sign[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    bool arc[4] = {};
    for (u32 i = 0; i < n && i < 4; ++i) {
        c[i] = a[i]->Dot(*b[i]);
        if (c[i] < 0.0f) {
            sign[i] = -1.0f;
            c[i] = -c[i];
        }
        arc[i] = 1.0f - c[i] > 0.001f;
    }
    f32 theta[4], whole[4], before[4], after[4];
    AcosF4(c, theta);
    f32 angles[3][4];
    for (u32 i = 0; i < 4; ++i) {
        angles[0][i] = theta[i];
        angles[1][i] = (1.0f - t[i < n ? i : 0]) * theta[i];
        angles[2][i] = t[i < n ? i : 0] * theta[i];
    }
    SinF4(angles[0], whole);
    SinF4(angles[1], before);
    SinF4(angles[2], after);
    for (u32 i = 0; i < n && i < 4; ++i) {
        const CQuaternion qa = *a[i], qb = *b[i];
        f32 wa, wb;
        if (arc[i]) {
            wa = before[i] / whole[i];
            wb = after[i] / whole[i];
        } else {
            wa = 1.0f - t[i];
            wb = t[i];
        }
        wb = sign[i] * wb;
        CQuaternion& q = *out[i];
        q.x = wa * qa.x + wb * qb.x;
        q.y = wa * qa.y + wb * qb.y;
        q.z = wa * qa.z + wb * qb.z;
        q.w = wa * qa.w + wb * qb.w;
    }
}

CQuaternion* CQuaternion::Normalized(CQuaternion* out) const
{
    if (!out) return out;
    const f32 len = SqrtF(Dot(*this));
    if (len == 0.0f) *out = CQuaternion();
    else *out = CQuaternion(x / len, y / len, z / len, w / len);
    return out;
}

CQuaternion& CQuaternion::FromArc(const CVector3* a, const CVector3* b)
{
    if (!a || !b) {
        *this = CQuaternion(0.0f, 0.0f, 0.0f, 1.0f);
        return *this;
    }
    CVector3 na, nb;
    a->GetNormalized(&na);
    b->GetNormalized(&nb);
    const CVector3 c = na.Cross(nb);
    // s = sqrt(2 (na.nb + 1)), and the half-turn where s is 0; rounding can
    // put the sum just below 0 for opposite directions, where the square
    // root would give NaN. Those take the half-turn too.
    const f32 h = 2.0f * (na.Dot(nb) + 1.0f);
    if (h > 0.0f) {
        const f32 s = SqrtF(h);
        *this = CQuaternion(c.x / s, c.y / s, c.z / s, s / 2.0f);
    } else {
        CVector3 p;
        a->Perpendicular(&p, nullptr);
        *this = CQuaternion(p.x, p.y, p.z, 0.0f);
    }
    return *this;
}

CMatrix& CMatrix::RotationAxis(f32 degrees, const CVector3* axis)
{
    if (!axis) return *this;
    // The axis is taken as given, not made unit: once the quaternion is
    // normalized a long axis turns further than degrees, a short one less.
    CQuaternion q, n;
    q.FromAxisAngle(degrees, axis).Normalized(&n);
    n.ToMatrix(this);
    return *this;
}

void CMatrix::GetScaling(CVector3* out) const
{
    if (!out) return;
    out->Set(CVector3(m[0][0], m[0][1], m[0][2]).Length(), CVector3(m[1][0], m[1][1], m[1][2]).Length(),
        CVector3(m[2][0], m[2][1], m[2][2]).Length());
}

CVector3 CMatrix::ScalingPart() const
{
    CVector3 r;
    GetScaling(&r);
    return r;
}

void CMatrix::GetRotationPart(CMatrix* out) const
{
    if (!out) return;
    CMatrix r;
    for (int i = 0; i < 3; ++i) {
        CVector3 row(m[i][0], m[i][1], m[i][2]);
        row.Normalize();
        r.m[i][0] = row.x;
        r.m[i][1] = row.y;
        r.m[i][2] = row.z;
        r.m[i][3] = 0.0f;
    }
    *out = r;  // r's row 3 is the identity's (0, 0, 0, 1)
}

CMatrix CMatrix::RotationPart() const
{
    CMatrix r;
    GetRotationPart(&r);
    return r;
}

void CMatrix::ToQuaternion(CQuaternion* out) const
{
    if (!out) return;
    CMatrix rot;
    GetRotationPart(&rot);
    const auto& R = rot.m;
    const f32 trace = R[0][0] + R[1][1] + R[2][2] + 1.0f;
    CQuaternion q;
    if (trace > 1.0f) {
        const f32 s = 0.5f / SqrtF(trace);
        q.w = 0.25f / s;
        q.x = (R[2][1] - R[1][2]) * s;
        q.y = (R[0][2] - R[2][0]) * s;
        q.z = (R[1][0] - R[0][1]) * s;
    } else {
        const f32 largest = R[2][2] < R[1][1] ? R[1][1] : R[2][2];
        if (R[0][0] > largest) {
            const f32 S = SqrtF(R[0][0] - R[1][1] - R[2][2] + 1.0f);
            q.x = S / 2.0f;
            const f32 k = 0.5f / S;
            q.y = (R[0][1] + R[1][0]) * k;
            q.z = (R[2][0] + R[0][2]) * k;
            q.w = (R[2][1] - R[1][2]) * k;
        } else if (R[1][1] == largest) {
            const f32 S = SqrtF(R[1][1] - R[2][2] - R[0][0] + 1.0f);
            q.y = S / 2.0f;
            const f32 k = 0.5f / S;
            q.x = (R[0][1] + R[1][0]) * k;
            q.z = (R[1][2] + R[2][1]) * k;
            q.w = (R[0][2] - R[2][0]) * k;
        } else {
            const f32 S = SqrtF(R[2][2] - R[0][0] - R[1][1] + 1.0f);
            q.z = S / 2.0f;
            const f32 k = 0.5f / S;
            q.x = (R[2][0] + R[0][2]) * k;
            q.y = (R[1][2] + R[2][1]) * k;
            q.w = (R[1][0] - R[0][1]) * k;
        }
    }
    *out = q;
}

void CMatrix::Interpolate(const CMatrix* b, f32 t, CMatrix* out) const
{
    if (!b || !out) return;
    if (t <= 0.0f) {
        *out = *this;
        return;
    }
    if (t >= 1.0f) {
        *out = *b;
        return;
    }
    const CVector3 p1(m[3][0], m[3][1], m[3][2]), p2(b->m[3][0], b->m[3][1], b->m[3][2]);
    const CVector3 k1 = ScalingPart(), k2 = b->ScalingPart();
    CQuaternion q1, q2, q;
    ToQuaternion(&q1);
    b->ToQuaternion(&q2);

    const CVector3 p = p1 + (p2 - p1) * t;
    const CVector3 k = k1 + (k2 - k1) * t;
    q.Slerp(&q1, &q2, t);

    CMatrix r;
    q.ToMatrix(&r);
    MatrixScaleRows(&r, &k);
    MatrixTranslate(&r, &p);
    *out = r;
}
