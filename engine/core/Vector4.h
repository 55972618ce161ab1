// CVector4: four floats, also the engine's RGBA colour (x = red, y = green,
// z = blue, w = alpha, each 0..1). Argument
// convention as in Vector3.h.
#pragma once

#include "engine/core/FloatMath.h"
#include "engine/core/Types.h"

class CMatrix;
class CRandom;

class CVector4 {
public:
    f32 x, y, z, w;

    CVector4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    CVector4(f32 vx, f32 vy, f32 vz, f32 vw) : x(vx), y(vy), z(vz), w(vw) {}
    // Four floats; a null pointer gives (0, 0, 0, 0).
    explicit CVector4(const f32* v) : CVector4()
    {
        if (v) { x = v[0]; y = v[1]; z = v[2]; w = v[3]; }
    }
    CVector4(const CVector4&) = default;
    CVector4& operator=(const CVector4&) = default;

    f32& operator[](int i) { return i == 0 ? x : i == 1 ? y : i == 2 ? z : w; }
    f32 operator[](int i) const { return i == 0 ? x : i == 1 ? y : i == 2 ? z : w; }

    CVector4 operator+(const CVector4& b) const { return {x + b.x, y + b.y, z + b.z, w + b.w}; }
    CVector4 operator-(const CVector4& b) const { return {x - b.x, y - b.y, z - b.z, w - b.w}; }
    CVector4 operator*(f32 s) const { return {x * s, y * s, z * s, w * s}; }
    // Component-wise product in place (colour modulation).
    CVector4& operator*=(const CVector4& b)
    {
        x *= b.x; y *= b.y; z *= b.z; w *= b.w;
        return *this;
    }
    // Component-wise product, by value.
    CVector4 Modulate(const CVector4& b) const { return {x * b.x, y * b.y, z * b.z, w * b.w}; }

    f32 Dot(const CVector4& b) const { return x * b.x + y * b.y + z * b.z + w * b.w; }
    f32 LengthSquared() const { return x * x + y * y + z * z + w * w; }

    // this = (x, y, z, w) x M, in place.
    void Transform(const CMatrix& m);

    // Four-dimensional cross product of this, b and c into out;
    // nothing is written when any pointer is null. Returns out.
    CVector4* Cross4(const CVector4* b, const CVector4* c, CVector4* out) const;

    // Sets this from 0xAARRGGBB: each byte divided by 255. Returns this.
    CVector4& FromARGB(u32 argb);
    // Packs into 0xAARRGGBB: each component times 255, truncated toward zero,
    // low byte taken. Values whose truncation leaves the 64-bit integer range
    // (and NaN) give byte 0, the same on every machine, so colours in saved
    // files and replays match bit for bit.
    u32 ToARGB() const;

    // As CVector3::RandomRange, the draws in the order w, z, y, x.
    void RandomRange(CVector4* out, i32 steps, CRandom* generator = nullptr) const;
};

// sqrt(x^2 + y^2 + z^2 + w^2), the sum rounded to single precision first.
inline f32 Length4(const CVector4& v) { return SqrtF(v.LengthSquared()); }
