// Small pieces of maths that effect nodes and particles share.
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

#include <cmath>
#include <cstring>

namespace effect_math {

// The rotation of degrees in the order the node settings' rotation order
// flags choose: the lowest set bit of 1 Z-X-Y, 2 X-Y-Z, 4 Y-Z-X, 8 Z-Y-X,
// 16 X-Z-Y, 32 Y-X-Z; none of them Z-X-Y.
inline CMatrix RotationByOrder(const CVector3& degrees, u32 order)
{
    CMatrix m;
    switch (order & (0u - order)) {
    case 2: m.RotationXYZ(&degrees); break;
    case 4: m.RotationYZX(&degrees); break;
    case 8: m.RotationZYX(&degrees); break;
    case 16: m.RotationXZY(&degrees); break;
    case 32: m.RotationYXZ(&degrees); break;
    default: m.RotationEuler(&degrees); break;
    }
    return m;
}

// Where the last rotation this thread built is kept, one place per kind
// of caller, so callers that take turns do not push out each other's.
enum class RotationSlot : u32 { kPlacement, kSpin, kCount };

// RotationByOrder, taken from the last one built for slot when the angles
// and order are the same bits: the particles a node emits at one key turn
// alike, and the nodes of one effect often do too.
inline const CMatrix& SharedRotation(RotationSlot slot, const CVector3& degrees, u32 order)
{
    struct Built {
        CVector3 degrees;
        u32 order = ~0u;   // no order: the first call builds
        CMatrix matrix;
    };
    thread_local Built built[u32(RotationSlot::kCount)];
    Built& b = built[u32(slot)];
    if (order != b.order || std::memcmp(&degrees, &b.degrees, sizeof degrees) != 0) {
        b.degrees = degrees, b.order = order;
        b.matrix = RotationByOrder(degrees, order);
    }
    return b.matrix;
}

// The last rotation built and the angles and order it was built from: most
// particles and nodes keep their angles frame after frame, and the same
// bits in give the same matrix out.
struct RotationCache {
    const CMatrix& Get(const CVector3& degrees, u32 order)
    {
        if (order != m_order || std::memcmp(&degrees, &m_degrees, sizeof degrees) != 0) {
            m_degrees = degrees, m_order = order;
            m_matrix = SharedRotation(RotationSlot::kPlacement, degrees, order);
        }
        return m_matrix;
    }

private:
    CVector3 m_degrees;
    u32 m_order = ~0u;   // no order: the first call builds
    CMatrix m_matrix;
};

// The larger of a and b where b is a number; a NaN b leaves a.
inline f32 MaxNumber(f32 a, f32 b) { return b > a ? b : a; }

}  // namespace effect_math
