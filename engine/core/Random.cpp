#include "engine/core/Random.h"

RandomState g_randomState = kRandomInitialState;

CRandom::CRandom()
    : x(kRandomInitialState.x), y(kRandomInitialState.y), z(kRandomInitialState.z), w(kRandomInitialState.w)
{
}

CRandom::~CRandom() = default;

u32 CRandom::Next()
{
    RandomState s{x, y, z, w};
    const u32 r = XorShift128(s);
    x = s.x;
    y = s.y;
    z = s.z;
    w = s.w;
    return r;
}

u32 RandomNext()
{
    return XorShift128(g_randomState);
}

void SeedRandom(u32 seed)
{
    const auto f = [](u32 a) { return (a ^ (a >> 30)) * 1812433253u + 1u; };
    // The first derived word goes into w, the last-used word of a step.
    g_randomState.w = f(seed);
    g_randomState.x = f(g_randomState.w);
    g_randomState.y = f(g_randomState.x);
    g_randomState.z = f(g_randomState.y);
}

u32 RandomInt(u32 n)
{
    const u32 r = RandomNext();
    return n ? r % n : 0u;
}
