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

u32 CRandom::Int(u32 n)
{
    const u32 r = Next();
    return n ? r % n : 0u;
}

void CRandom::Seed(u32 seed)
{
    const RandomState s = SeededRandomState(seed);
    x = s.x, y = s.y, z = s.z, w = s.w;
}

RandomState SeededRandomState(u32 seed)
{
    const auto f = [](u32 a) { return (a ^ (a >> 30)) * 1812433253u + 1u; };
    // The first derived word goes into w, the last-used word of a step.
    RandomState s;
    s.w = f(seed);
    s.x = f(s.w);
    s.y = f(s.x);
    s.z = f(s.y);
    return s;
}

void SeedRandom(u32 seed) { g_randomState = SeededRandomState(seed); }

u32 RandomInt(u32 n)
{
    const u32 r = RandomNext();
    return n ? r % n : 0u;
}
