// Vector helpers of the bullets' motion and hits. Angles in degrees; a
// rotation triple is applied as RotationEuler (Rz x Rx x Ry) on row vectors.
#pragma once

#include "engine/core/FloatMath.h"
#include "engine/core/Matrix.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "game/battle/object/ObjectDivision.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The rotation that turns the front (0, 0, -1) toward v: pitch
// Atan2F(v.y, |v.xz|), yaw Atan2F(v.x, v.z) + 180, both in one call.
inline CVector3 RotationToward(const CVector3& v)
{
    const f32 y[4] = {v.y, v.x, 0.0f, 0.0f};
    const f32 x[4] = {SqrtF(v.x * v.x + v.z * v.z), v.z, 1.0f, 1.0f};
    f32 angle[4];
    Atan2F4(y, x, angle);
    return CVector3(angle[0] * kRadToDeg, angle[1] * kRadToDeg + 180.0f, 0.0f);
}

inline CVector3 Turned(const CVector3& v, const CVector3& rotation)
{
    CMatrix m;
    m.RotationEuler(&rotation);
    CVector3 out;
    v.TransformNormalInto(m, &out);
    return out;
}

// v taken into the frame of rotation (the transpose undoes a rotation).
inline CVector3 TurnedInverse(const CVector3& v, const CVector3& rotation)
{
    CMatrix m;
    m.RotationEuler(&rotation);
    return CVector3(v.x * m.m[0][0] + v.y * m.m[0][1] + v.z * m.m[0][2],
        v.x * m.m[1][0] + v.y * m.m[1][1] + v.z * m.m[1][2], v.x * m.m[2][0] + v.y * m.m[2][1] + v.z * m.m[2][2]);
}

// Into 0..360 by one step.
inline f32 WrapOnce360(f32 a) { return a >= 360.0f ? a - 360.0f : a < 0.0f ? a + 360.0f : a; }

// Toward zero, kept inside the i32 range for coordinates far off.
inline i32 TruncateCell(f32 v)
{
    if (!(v > -2.0e9f)) return v != v ? 0 : -2000000000;
    if (v > 2.0e9f) return 2000000000;
    return i32(v);
}

#if defined(__SSE2__)
// TruncateCell on four lanes: the same clamp and the same truncation.
inline __m128i TruncateCells(__m128 v)
{
    const __m128i inRange = _mm_cvttps_epi32(v);
    const __m128i above = _mm_castps_si128(_mm_cmpgt_ps(v, _mm_set1_ps(2.0e9f)));
    const __m128i number = _mm_castps_si128(_mm_cmpord_ps(v, v));
    const __m128i low = _mm_and_si128(_mm_castps_si128(_mm_cmpngt_ps(v, _mm_set1_ps(-2.0e9f))), number);
    const __m128i nan = _mm_andnot_si128(number, _mm_set1_epi32(-1));
    const __m128i r = _mm_andnot_si128(_mm_or_si128(_mm_or_si128(above, low), nan), inRange);
    return _mm_or_si128(_mm_or_si128(r, _mm_and_si128(above, _mm_set1_epi32(2000000000))),
        _mm_and_si128(low, _mm_set1_epi32(-2000000000)));
}
#endif

// The cells, lowest corner then highest, of the box swept by a sphere of
// the radius from p over step.
inline void SweptCellBox(const CVector3& p, const CVector3& step, f32 radius, f32 cellSize, i32* box)
{
#if defined(__SSE2__)
    // The three axes side by side (a fourth lane unused): the same IEEE
    // operations as one axis at a time. min(from, to) and max(to, from)
    // take the lanes the comparisons below do, NaN and zeros included.
    const __m128 from = _mm_set_ps(0.0f, p.z, p.y, p.x);
    const __m128 to = _mm_add_ps(from, _mm_set_ps(0.0f, step.z, step.y, step.x));
    const __m128 r = _mm_set1_ps(radius);
    const __m128 cell = _mm_set1_ps(cellSize);
    i32 cells[8];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cells),
        TruncateCells(_mm_div_ps(_mm_sub_ps(_mm_min_ps(from, to), r), cell)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cells + 4),
        TruncateCells(_mm_div_ps(_mm_add_ps(_mm_max_ps(to, from), r), cell)));
    for (int a = 0; a < 3; ++a) {
        box[a] = cells[a];
        box[3 + a] = cells[4 + a];
    }
#else
    for (int a = 0; a < 3; ++a) {
        const f32 from = p[a];
        const f32 to = p[a] + step[a];
        const f32 lo = from < to ? from : to;
        const f32 hi = from < to ? to : from;
        box[a] = TruncateCell((lo - radius) / cellSize);
        box[3 + a] = TruncateCell((hi + radius) / cellSize);
    }
#endif
}

// v turned by degrees about axis (right-handed); a zero axis leaves v.
inline CVector3 RotateAboutAxis(const CVector3& v, const CVector3& axis, f32 degrees)
{
    CVector3 k;
    axis.GetNormalized(&k);
    if (k.LengthSquared() == 0.0f) return v;
    const f32 c = CosF(degrees * kDegToRad);
    const f32 s = SinF(degrees * kDegToRad);
    return v * c + k.Cross(v) * s + k * (k.Dot(v) * (1.0f - c));
}

// v turned toward direction by at most limit degrees in the plane of both,
// keeping its length, where angle is v.Angle(direction), already taken.
// Either vector zero leaves v.
inline CVector3 TurnVectorToward(const CVector3& v, const CVector3& direction, f32 angle, f32 limit)
{
    if (angle == 0.0f) return v;
    const f32 turn = angle < limit ? angle : limit;
    if (turn >= angle) {
        CVector3 unit;
        direction.GetNormalized(&unit);
        return unit * v.Length();
    }
    CVector3 axis = v.Cross(direction);
    if (axis.LengthSquared() == 0.0f) {
        // Straight behind: any axis across v will do.
        CVector3 across;
        v.Perpendicular(&across, nullptr);
        axis = across;
    }
    return RotateAboutAxis(v, axis, turn);
}

inline CVector3 TurnVectorToward(const CVector3& v, const CVector3& direction, f32 limit)
{
    return TurnVectorToward(v, direction, v.Angle(direction), limit);
}

inline f32 Smoothstep(f32 t)
{
    t = t < 0.0f ? 0.0f : t > 1.0f ? 1.0f : t;
    return 3.0f * t * t - 2.0f * t * t * t;
}

// Where an object stands: its position field (a fighter's feet, not the
// centre it answers the stage with).
inline CVector3 PositionOf(const CObjectDivision* object) { return *object->GetPosition(); }

inline CVector3 RotationOf(const CObjectDivision* object)
{
    CVector3 r;
    object->GetRotation(&r);
    return r;
}
