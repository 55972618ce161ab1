// CVector3: three floats, the engine's point and direction type.
// Row vectors: a point is transformed as v x M.
//
// Argument convention of the maths kit: where an operation defines a behaviour for a
// null argument (out values, "null leaves this unchanged") the argument is a
// pointer; everything else is a const reference. Every stored result is an
// f32 computed in single precision, left to right as the formulas are written.
#pragma once

#include "engine/core/FloatMath.h"
#include "engine/core/Types.h"

class CMatrix;
class CRandom;

class CVector3 {
public:
    f32 x, y, z;

    CVector3() : x(0.0f), y(0.0f), z(0.0f) {}
    CVector3(f32 vx, f32 vy, f32 vz) : x(vx), y(vy), z(vz) {}
    // Three floats; a null pointer gives (0, 0, 0).
    explicit CVector3(const f32* v) : CVector3() { *this = v; }
    CVector3(const CVector3&) = default;
    CVector3& operator=(const CVector3&) = default;
    // Copies three floats; a null pointer leaves the value unchanged.
    CVector3& operator=(const f32* v)
    {
        if (v) { x = v[0]; y = v[1]; z = v[2]; }
        return *this;
    }

    f32& operator[](int i) { return i == 0 ? x : i == 1 ? y : z; }
    f32 operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }

    void Set(f32 vx, f32 vy, f32 vz) { x = vx; y = vy; z = vz; }
    void SetZero() { x = y = z = 0.0f; }
    // Each component replaced by its absolute value, in place.
    void Abs() { x = AbsF(x); y = AbsF(y); z = AbsF(z); }

    CVector3 operator+(const CVector3& b) const { return {x + b.x, y + b.y, z + b.z}; }
    CVector3 operator-(const CVector3& b) const { return {x - b.x, y - b.y, z - b.z}; }
    CVector3 operator*(f32 s) const { return {x * s, y * s, z * s}; }
    CVector3 operator+(f32 s) const { return {x + s, y + s, z + s}; }
    CVector3 operator-(f32 s) const { return {x - s, y - s, z - s}; }
    CVector3 operator-() const { return {-x, -y, -z}; }
    CVector3& operator+=(const CVector3& b) { x += b.x; y += b.y; z += b.z; return *this; }
    CVector3& operator-=(const CVector3& b) { x -= b.x; y -= b.y; z -= b.z; return *this; }
    CVector3& operator*=(f32 s) { x *= s; y *= s; z *= s; return *this; }
    // Component-wise product, by value.
    CVector3 Modulate(const CVector3& b) const { return {x * b.x, y * b.y, z * b.z}; }
    // Divides in place; a zero s leaves the vector unchanged.
    CVector3& DivideScalar(f32 s)
    {
        if (s != 0.0f) { x /= s; y /= s; z /= s; }
        return *this;
    }

    f32 Dot(const CVector3& b) const { return x * b.x + y * b.y + z * b.z; }
    // A null b gives 0.
    f32 Dot(const CVector3* b) const { return b ? Dot(*b) : 0.0f; }
    // a x b = (a.y b.z - a.z b.y, a.z b.x - a.x b.z, a.x b.y - a.y b.x).
    CVector3 Cross(const CVector3& b) const
    {
        return {y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x};
    }
    f32 LengthSquared() const { return x * x + y * y + z * z; }
    f32 Length() const { return SqrtF(LengthSquared()); }
    // The largest of |x|, |y|, |z|.
    f32 MaxAbsComponent() const
    {
        f32 m = AbsF(x);
        if (AbsF(y) > m) m = AbsF(y);
        if (AbsF(z) > m) m = AbsF(z);
        return m;
    }

    // this / length into out, returns out; a length of 0 or less gives
    // (0, 0, 0). A null out is returned untouched.
    CVector3* GetNormalized(CVector3* out) const
    {
        if (!out) return out;
        const f32 len = Length();
        if (len <= 0.0f) out->SetZero();
        else out->Set(x / len, y / len, z / len);
        return out;
    }
    // The same, by value.
    CVector3 Normalized() const
    {
        CVector3 n;
        GetNormalized(&n);
        return n;
    }
    // The same; nothing written when out is null; out may be this.
    void Normalize(CVector3* out) const { GetNormalized(out); }
    void Normalize() { GetNormalized(this); }

    // this = (x, y, z, 1) x M without division by w, in place.
    void TransformCoord(const CMatrix& m);
    // The same into out (this unchanged); returns out, null is returned as is.
    // Defined in Matrix.h.
    inline CVector3* TransformedCoord(CVector3* out, const CMatrix& m) const;
    // (x, y, z) x the upper 3x3 of M; nothing written when out is null.
    void TransformNormalInto(const CMatrix& m, CVector3* out) const;
    // ((x, y, z, 1) x M).xyz / w' with w' = x m03 + y m13 + z m23 + m33.
    void TransformProject(const CMatrix& m, CVector3* out) const;

    // Angle between this and b in degrees, 0..180; 0 when b is null or either
    // length is 0. The cosine is clamped to [-1, 1] before the arc cosine.
    f32 Angle(const CVector3* b) const;
    f32 Angle(const CVector3& b) const { return Angle(&b); }

    // Two vectors that complete a frame with this one. A null
    // out1 writes nothing, a null out2 only out1. Where the plain formula
    // divides by zero (x = y = 0 with z <= 0.70710678) the y-z plane is used
    // instead, and the zero vector gives (1, 0, 0) and (0, 1, 0).
    void Perpendicular(CVector3* out1, CVector3* out2) const;

    // Random vector within +-this, drawn from generator (null: the global
    // one) in the order z, y, x, one draw per non-zero component: a
    // component c gives (drawn mod trunc(2 c steps)) / steps - c, or 0 when
    // c == 0. A span that truncates to 0 gives -c (still one draw). The
    // draws are made even when out is null.
    void RandomRange(CVector3* out, i32 steps, CRandom* generator = nullptr) const;
};

// Component-wise minimum and maximum of two vectors; null outs are skipped.
inline void Vector3MinMax(const CVector3& a, const CVector3& b, CVector3* outMin, CVector3* outMax)
{
    if (outMin) outMin->Set(a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z);
    if (outMax) outMax->Set(a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z);
}

// The same over three points.
inline void Vector3MinMax3(const CVector3& a, const CVector3& b, const CVector3& c, CVector3* outMin,
    CVector3* outMax)
{
    CVector3 lo, hi;
    Vector3MinMax(a, b, &lo, &hi);
    Vector3MinMax(lo, c, outMin, nullptr);
    Vector3MinMax(hi, c, nullptr, outMax);
}
