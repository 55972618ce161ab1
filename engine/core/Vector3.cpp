#include "engine/core/Vector3.h"

#include "engine/core/Matrix.h"
#include "engine/core/RandomRange.h"

void CVector3::TransformCoord(const CMatrix& m)
{
    TransformedCoord(this, m);
}

void CVector3::TransformNormalInto(const CMatrix& m, CVector3* out) const
{
    if (!out) return;
    const f32 rx = x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0];
    const f32 ry = x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1];
    const f32 rz = x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2];
    out->Set(rx, ry, rz);
}

void CVector3::TransformProject(const CMatrix& m, CVector3* out) const
{
    if (!out) return;
    const f32 w = x * m.m[0][3] + y * m.m[1][3] + z * m.m[2][3] + m.m[3][3];
    CVector3 r;
    TransformedCoord(&r, m);
    out->Set(r.x / w, r.y / w, r.z / w);
}

f32 CVector3::Angle(const CVector3* b) const
{
    if (!b) return 0.0f;
    const f32 p = Length() * b->Length();
    if (p <= 0.0f) return 0.0f;
    f32 c = Dot(*b) / p;
    if (c < -1.0f) c = -1.0f;
    if (c > 1.0f) c = 1.0f;
    return AcosF(c) * kRadToDeg;
}

void CVector3::Perpendicular(CVector3* out1, CVector3* out2) const
{
    if (!out1) return;
    const f32 yz = y * y + z * z;
    const f32 xy = x * x + y * y;
    CVector3 a, b;
    if (z > 0.70710678f || (xy == 0.0f && yz != 0.0f)) {
        const f32 k = 1.0f / SqrtF(yz);
        a.Set(0.0f, -z * k, y * k);
        b.Set(yz * k, -x * a.z, x * a.y);
    } else if (xy != 0.0f) {
        const f32 k = 1.0f / SqrtF(xy);
        a.Set(-y * k, x * k, 0.0f);
        b.Set(-z * a.y, z * a.x, xy * k);
    } else {
        a.Set(1.0f, 0.0f, 0.0f);
        b.Set(0.0f, 1.0f, 0.0f);
    }
    *out1 = a;
    if (out2) *out2 = b;
}

void CVector3::RandomRange(CVector3* out, i32 steps, CRandom* generator) const
{
    CVector3 r;
    r.z = RandomSpread(z, steps, generator);
    r.y = RandomSpread(y, steps, generator);
    r.x = RandomSpread(x, steps, generator);
    if (out) *out = r;
}
