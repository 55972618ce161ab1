// Single-precision scalar helpers and the angle constants of the maths kit.
// Battles replay bit for bit on every machine (x86-64, AArch64, any C
// library), so everything here computes in f32 and the transcendentals come
// from SLEEF's deterministic no-FMA scalar functions, never the C library,
// whose last bits differ between versions and architectures. Engine and game
// code call these, not <cmath>'s (a CTest scan holds that).
#pragma once

#include "engine/core/Types.h"

#include <cmath>

#if defined(__FAST_MATH__)
#error "fast-math breaks bit-exact replays"
#endif

// Degrees to radians: pi/180 rounded to single precision (0.0174532924).
inline constexpr f32 kDegToRad = 0.0174532924f;
// Half an angle in degrees to radians: pi/360 in single precision.
inline constexpr f32 kHalfDegToRad = 0.008726646192371845f;
// Radians to degrees: 180 / 3.1415927 (pi rounded to single precision).
inline constexpr f32 kRadToDeg = 180.0f / 3.1415927f;

// Within 1 ulp, the same bits everywhere (FloatMath.cpp).
f32 SinF(f32 radians);
f32 CosF(f32 radians);
// SinF of four angles at once (one call where a blend needs several).
void SinF4(const f32 radians[4], f32 out[4]);
f32 TanF(f32 radians);
f32 AsinF(f32 v);
f32 AcosF(f32 v);
// AcosF of four values at once.
void AcosF4(const f32 v[4], f32 out[4]);
f32 AtanF(f32 v);
f32 Atan2F(f32 y, f32 x);
// Atan2F of four pairs at once, lane by lane.
void Atan2F4(const f32 y[4], const f32 x[4], f32 out[4]);
f32 ExpF(f32 v);
f32 LogF(f32 v);
f32 PowF(f32 base, f32 exponent);

// IEEE defines these exactly (sqrt correctly rounded, the rest exact), so
// every conforming C library gives the same bits: they may stay on it.
inline f32 SqrtF(f32 v) { return std::sqrt(v); }
inline f32 FmodF(f32 x, f32 y) { return std::fmod(x, y); }
inline f32 AbsF(f32 v) { return std::fabs(v); }
inline f32 CeilF(f32 v) { return std::ceil(v); }
inline f32 FloorF(f32 v) { return std::floor(v); }

// f32 to integer, truncated toward zero and held at the type's ends; NaN
// gives 0. A plain cast of NaN or of a value out of range is undefined and
// differs between machines (x86-64 gives INT_MIN, AArch64 saturates), and
// the sanitizer build lets it pass: simulation values (damage, life,
// gauges) convert through these.
inline constexpr i32 SaturateToI32(f32 v)
{
    if (!(v == v)) return 0;
    if (v >= 2147483648.0f) return 2147483647;
    if (v <= -2147483648.0f) return -2147483647 - 1;
    return i32(v);
}
inline constexpr u32 SaturateToU32(f32 v)
{
    if (!(v > 0.0f)) return 0u;   // NaN and -0.x too
    if (v >= 4294967296.0f) return 0xFFFFFFFFu;
    return u32(v);
}
inline constexpr u16 SaturateToU16(f32 v)
{
    if (!(v > 0.0f)) return 0u;
    if (v >= 65536.0f) return 0xFFFFu;
    return u16(v);
}

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
