#include "engine/core/Vector4.h"

#include "engine/core/Matrix.h"
#include "engine/core/RandomRange.h"

#include <cmath>

void CVector4::Transform(const CMatrix& m)
{
    const f32 rx = x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + w * m.m[3][0];
    const f32 ry = x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + w * m.m[3][1];
    const f32 rz = x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + w * m.m[3][2];
    const f32 rw = x * m.m[0][3] + y * m.m[1][3] + z * m.m[2][3] + w * m.m[3][3];
    x = rx; y = ry; z = rz; w = rw;
}

CVector4* CVector4::Cross4(const CVector4* pb, const CVector4* pc, CVector4* out) const
{
    if (!pb || !pc || !out) return out;
    const CVector4& a = *this;
    const CVector4& b = *pb;
    const CVector4& c = *pc;
    CVector4 r;
    r.x = (b.z * c.w - c.z * b.w) * a.y - (b.y * c.w - c.y * b.w) * a.z + (b.y * c.z - b.z * c.y) * a.w;
    r.y = -((b.z * c.w - c.z * b.w) * a.x - (b.x * c.w - c.x * b.w) * a.z + (b.x * c.z - c.x * b.z) * a.w);
    r.z = (b.y * c.w - c.y * b.w) * a.x - (b.x * c.w - c.x * b.w) * a.y + (b.x * c.y - c.x * b.y) * a.w;
    r.w = -((b.y * c.z - c.y * b.z) * a.x - (b.x * c.z - c.x * b.z) * a.y + (b.x * c.y - c.x * b.y) * a.z);
    *out = r;
    return out;
}

CVector4& CVector4::FromARGB(u32 argb)
{
    x = f32((argb >> 16) & 0xFFu) / 255.0f;
    y = f32((argb >> 8) & 0xFFu) / 255.0f;
    z = f32(argb & 0xFFu) / 255.0f;
    w = f32(argb >> 24) / 255.0f;
    return *this;
}

static u32 ColourByte(f32 v)
{
    const f32 scaled = v * 255.0f;
    if (!(std::fabs(scaled) < 9.2e18f)) return 0u;
    return u32(i64(scaled)) & 0xFFu;
}

u32 CVector4::ToARGB() const
{
    return (ColourByte(w) << 24) | (ColourByte(x) << 16) | (ColourByte(y) << 8) | ColourByte(z);
}

void CVector4::RandomRange(CVector4* out, i32 steps, CRandom* generator) const
{
    CVector4 r;
    r.w = RandomSpread(w, steps, generator);
    r.z = RandomSpread(z, steps, generator);
    r.y = RandomSpread(y, steps, generator);
    r.x = RandomSpread(x, steps, generator);
    if (out) *out = r;
}
