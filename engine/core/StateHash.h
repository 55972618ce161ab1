// CStateHash: a 64-bit FNV-1a fold of a battle's simulation state.
// Replays and lockstep peers compare it frame by frame, so every value goes
// in as its exact bits, little-endian, in the order the caller adds it.
// Never fold pointers, wall-clock values or drawing-only state.
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

#include <bit>

class CStateHash {
public:
    static constexpr u64 kOffset = 0xCBF29CE484222325ull;
    static constexpr u64 kPrime = 0x100000001B3ull;

    u64 Value() const { return m_value; }

    CStateHash& Bytes(const void* data, size_t size)
    {
        const u8* p = static_cast<const u8*>(data);
        for (size_t i = 0; i < size; ++i) {
            m_value ^= p[i];
            m_value *= kPrime;
        }
        return *this;
    }
    CStateHash& U32(u32 v)
    {
        for (int i = 0; i < 4; ++i) Byte(u8(v >> (8 * i)));
        return *this;
    }
    CStateHash& U64(u64 v) { return U32(u32(v)).U32(u32(v >> 32)); }
    CStateHash& I32(i32 v) { return U32(u32(v)); }
    // A NaN's sign and payload differ between architectures for the same
    // arithmetic, so every NaN folds as one value.
    CStateHash& F32(f32 v) { return U32(v != v ? 0x7FC00000u : std::bit_cast<u32>(v)); }
    CStateHash& Vector(const CVector3& v) { return F32(v.x).F32(v.y).F32(v.z); }
    CStateHash& Matrix(const CMatrix& m)
    {
        for (const auto& row : m.m)
            for (f32 v : row) F32(v);
        return *this;
    }

private:
    void Byte(u8 b)
    {
        m_value ^= b;
        m_value *= kPrime;
    }

    u64 m_value = kOffset;
};
