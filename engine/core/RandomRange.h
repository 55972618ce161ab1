// One component of the vectors' random ranges, shared by
// CVector3::RandomRange and CVector4::RandomRange. Internal to engine/core.
#pragma once

#include "engine/core/Random.h"
#include "engine/core/Types.h"

#include <cmath>

// 0 for c == 0 without a draw; otherwise (drawn mod m) / steps - c with
// m = the u32 value of trunc(2 c steps). The truncation goes through 64 bits
// and keeps the low word, so a span past the u32 range wraps alike on every
// machine and battles replay bit for bit; a span of 0 (2 c steps below 1)
// gives -c rather than dividing by 0.
// The number comes from generator, or from the global one when it is null.
inline f32 RandomSpread(f32 c, i32 steps, CRandom* generator = nullptr)
{
    if (c == 0.0f) return 0.0f;
    const f32 span = 2.0f * c * f32(steps);
    const u32 m = std::fabs(span) < 9.2e18f ? u32(i64(span)) : 0u;
    const u32 drawn = generator ? generator->Next() : RandomNext();
    const u32 n = m ? drawn % m : 0u;
    return f32(n) / f32(steps) - c;
}
