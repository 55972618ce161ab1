// Untextured single-colour shapes in screen pixels: filled rectangles (fades,
// panels behind menus), filled discs and rectangle outlines. They set no
// render states, so the caller's blend mode applies and the colour's alpha
// makes them transparent. Positions are offset by the viewport origin;
// nothing is drawn while no device is registered.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/Types.h"

// Untextured screen vertex (x, y, z, rhw, colour).
struct ColorVertex {
    f32 x, y, z, rhw;
    u32 colour;
};
static_assert(sizeof(ColorVertex) == 20);
constexpr u32 kFvfColorVertex = 0x44;

// Rim points of a disc: 24 steps of 15 degrees, the last repeating the first.
constexpr u32 kDiscSegments = 24;

// A null rectangle is the main window's client area.
void FillScreenRect(const CRect4* rect, u32 colour);
// disc = {centre x, centre y, radius}; nothing for null. The rim starts right
// of the centre and runs clockwise on screen.
void FillScreenCircle(const f32* disc, u32 colour);
// The four sides as a line strip; nothing for null.
void DrawScreenRectOutline(const CRect4* rect, u32 colour);
