// Single-precision scalar helpers and the angle constants of the maths kit
//. Everything here computes in f32 so that battles replay bit
// for bit: float overloads of the runtime functions only, never double.
#pragma once

#include "engine/core/Types.h"

#include <cmath>

// Degrees to radians: pi/180 rounded to single precision (0.0174532924).
inline constexpr f32 kDegToRad = 0.0174532924f;
// Half an angle in degrees to radians: pi/360 in single precision.
inline constexpr f32 kHalfDegToRad = 0.008726646192371845f;
// Radians to degrees: 180 / 3.1415927 (pi rounded to single precision).
inline constexpr f32 kRadToDeg = 180.0f / 3.1415927f;

inline f32 SqrtF(f32 v) { return std::sqrt(v); }
inline f32 SinF(f32 radians) { return std::sin(radians); }
inline f32 CosF(f32 radians) { return std::cos(radians); }
inline f32 AcosF(f32 v) { return std::acos(v); }
inline f32 Atan2F(f32 y, f32 x) { return std::atan2(y, x); }
inline f32 AbsF(f32 v) { return std::fabs(v); }
inline f32 CeilF(f32 v) { return std::ceil(v); }

// v raised to n by square-and-multiply over |n| starting from 1.0; a
// negative n gives 1 / result.
inline f32 PowIntF(f32 v, i32 n)
{
    u32 e = n < 0 ? 0u - u32(n) : u32(n);
    f32 result = 1.0f;
    f32 base = v;
    while (e) {
        if (e & 1u) result *= base;
        base *= base;
        e >>= 1;
    }
    return n < 0 ? 1.0f / result : result;
}
