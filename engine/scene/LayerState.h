// CLayerState: where and how a 2D layer is drawn. Scene layers keep several
// of them (their fixed offsets, the animated values, what is drawn) and a
// scene keeps one that places and tints its whole layer tree.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"

class CLayerState {
public:
    // Screen pixels of the design layout; z goes to the sprite draw.
    CVector3 position;
    f32 scaleX = 1.0f;
    f32 scaleY = 1.0f;
    // Degrees.
    f32 rotation = 0.0f;
    // r, g, b, a in 0..1.
    CVector4 colour{1.0f, 1.0f, 1.0f, 1.0f};
    // Source rectangle in texture pixels.
    CRect4 rect;

    CLayerState() = default;
    CLayerState(const CLayerState&) = default;
    CLayerState& operator=(const CLayerState&) = default;
};
static_assert(sizeof(CLayerState) == 56, "stored as 14 little-endian floats");
