// xorshift128 generators: the global generator behind RandomNext, which
// the battle simulation and the menus share, and CRandom objects that own
// their state. Battles reseed the global generator from the shared seed, so
// every peer and replay draws the same sequence; what only shows (effect
// particles) draws from a CRandom of its own, so that a peer drawing other
// effects, or none, stays in step.
#pragma once

#include "engine/core/Types.h"

// Four state words, advanced in this order by one xorshift128 step.
struct RandomState {
    u32 x, y, z, w;
};

// The state of a new CRandom and of the global generator before seeding.
inline constexpr RandomState kRandomInitialState{123456789u, 362436069u, 521288629u, 88675123u};

// One xorshift128 step; returns the new w.
inline u32 XorShift128(RandomState& s)
{
    const u32 t = s.x ^ (s.x << 11);
    s.x = s.y;
    s.y = s.z;
    s.z = s.w;
    s.w = s.w ^ (s.w >> 19) ^ t ^ (t >> 8);
    return s.w;
}

// The global generator's state; main thread only. Changed by RandomNext,
// RandomInt, the random ranges of the vectors and SeedRandom.
extern RandomState g_randomState;

// A generator with its own state (the object registry's ids, network play,
// the effects' particles). Its only virtual operation is the destructor.
class CRandom {
public:
    CRandom();
    virtual ~CRandom();

    // One step on this object's state; returns the new w.
    u32 Next();
    // Next() mod n, as RandomInt.
    u32 Int(u32 n);
    // This object's state as SeedRandom(seed) makes the global one.
    void Seed(u32 seed);

    u32 x, y, z, w;
};

// One step of the global generator; returns the new w.
u32 RandomNext();

// The state SeedRandom(seed) gives.
RandomState SeededRandomState(u32 seed);

// Replaces the global state: with f(a) = (a ^ (a >> 30)) * 1812433253 + 1,
// w = f(seed), x = f(w), y = f(x), z = f(y).
void SeedRandom(u32 seed);

// RandomNext() mod n, in 0..n-1. Callers never pass 0; if one does, a
// number is still drawn (the sequence stays in step) and 0 is returned.
u32 RandomInt(u32 n);
