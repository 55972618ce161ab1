// SLEEF's "cinz" functions are its deterministic ones: plain C, no fused
// multiply-add, the same bits on every architecture. Out of line so that
// sleef.h (and the vector intrinsics it pulls in) stays out of every file.
#include "engine/core/FloatMath.h"

#include <sleef.h>

// Most rotations the effects build each frame have zero angles: answer those
// at once (the same bits, -0 included) instead of in SLEEF's general path.
f32 SinF(f32 radians) { return radians == 0.0f ? radians : Sleef_cinz_sinf1_u10purec(radians); }
void SinF4(const f32 radians[4], f32 out[4])
{
#if defined(__SSE2__)
    // The four-lane form of the same deterministic function: the same bits.
    _mm_storeu_ps(out, Sleef_cinz_sinf4_u10sse2(_mm_loadu_ps(radians)));
    for (int i = 0; i < 4; ++i) {
        if (radians[i] == 0.0f) out[i] = radians[i];
    }
#else
    for (int i = 0; i < 4; ++i) out[i] = SinF(radians[i]);
#endif
}
void AcosF4(const f32 v[4], f32 out[4])
{
#if defined(__SSE2__)
    // The four-lane form of the same deterministic function: the same bits.
    _mm_storeu_ps(out, Sleef_cinz_acosf4_u10sse2(_mm_loadu_ps(v)));
#else
    for (int i = 0; i < 4; ++i) out[i] = AcosF(v[i]);
#endif
}
f32 CosF(f32 radians) { return radians == 0.0f ? 1.0f : Sleef_cinz_cosf1_u10purec(radians); }
f32 TanF(f32 radians) { return Sleef_cinz_tanf1_u10purec(radians); }
f32 AsinF(f32 v) { return Sleef_cinz_asinf1_u10purec(v); }
f32 AcosF(f32 v) { return Sleef_cinz_acosf1_u10purec(v); }
f32 AtanF(f32 v) { return Sleef_cinz_atanf1_u10purec(v); }
f32 Atan2F(f32 y, f32 x) { return Sleef_cinz_atan2f1_u10purec(y, x); }
void Atan2F4(const f32 y[4], const f32 x[4], f32 out[4])
{
#if defined(__SSE2__)
    // The four-lane form of the same deterministic function: the same bits.
    _mm_storeu_ps(out, Sleef_cinz_atan2f4_u10sse2(_mm_loadu_ps(y), _mm_loadu_ps(x)));
#else
    for (int i = 0; i < 4; ++i) out[i] = Atan2F(y[i], x[i]);
#endif
}
f32 ExpF(f32 v) { return Sleef_cinz_expf1_u10purec(v); }
f32 LogF(f32 v) { return Sleef_cinz_logf1_u10purec(v); }
f32 PowF(f32 base, f32 exponent) { return Sleef_cinz_powf1_u10purec(base, exponent); }
