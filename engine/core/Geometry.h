// Small geometric value types and the intersection tests that
// the battle's collision handling and the camera rely on. Every test returns
// 1 for a hit and 0 otherwise; a null input gives 0, null outs are skipped.
//
// Side modes of the plane, segment and sphere tests, with n the unit plane
// normal and D = start - end: 0 accepts D.n > 0 (front to back, against the
// normal), 1 accepts D.n != 0 (either way), 2 accepts D.n < 0 (back to
// front); any other mode gives 0.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

class CSegment {
public:
    CVector3 start, end;

    CSegment() = default;
    CSegment(const CVector3& s, const CVector3& e) : start(s), end(e) {}
    // Three floats for each end; a null pointer leaves that end zero.
    CSegment(const f32* s, const f32* e) : start(s), end(e) {}
};

// Axis-aligned box, min <= max per axis.
class CBox {
public:
    CVector3 min, max;

    CBox() = default;
    CBox(const CVector3& lo, const CVector3& hi) : min(lo), max(hi) {}
};

class CRect4 {
public:
    f32 left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;

    CRect4() = default;
    // Note the argument order: left, right, top, bottom.
    void Set(f32 l, f32 r, f32 t, f32 b)
    {
        left = l; top = t; right = r; bottom = b;
    }
    void Assign(const CRect4& o) { *this = o; }
    // Into an integer rectangle {left, top, right, bottom} (the render
    // service's Rect), each value truncated toward zero; values beyond the
    // 32-bit range stop at its ends and NaN gives 0.
    template <class IntRect>
    IntRect ToRect() const
    {
        IntRect r;
        r.left = SaturateToI32(left);
        r.top = SaturateToI32(top);
        r.right = SaturateToI32(right);
        r.bottom = SaturateToI32(bottom);
        return r;
    }
};

// The boxes overlap or touch on every axis (checked x, y, z).
u32 IntersectBox(const CBox* a, const CBox* b);

// The segment crosses the plane through point with unit normal n on the
// side the mode allows; hit = end + t (start - end) with t in [0, 1].
u32 IntersectSegmentPlane(const CVector3* start, const CVector3* end, const CVector3* point,
    const CVector3* normal, i32 mode, CVector3* hit);

// The segment crosses the triangle (edges and vertices count as inside). The
// front is the side from which p0, p1, p2 run with (p1 - p0) x (p2 - p1)
// towards the viewer. With best given, only a hit whose squared distance
// from start is below *best counts, and *best becomes that distance.
u32 IntersectSegmentTriangle(const CVector3* start, const CVector3* end, const CVector3* p0,
    const CVector3* p1, const CVector3* p2, i32 mode, CVector3* hit, CVector3* normal, f32* best);

// The sphere touches the triangle's face: its diameter along the triangle
// normal, from c + r n to c - r n, is tested as a segment (best measured from
// c + r n). Contact with only an edge or a corner is no hit.
u32 IntersectSphereTriangle(const CVector3* centre, f32 radius, const CVector3* p0, const CVector3* p1,
    const CVector3* p2, i32 mode, CVector3* hit, CVector3* normal, f32* best);

// Spheres a and b (x, y, z, radius) touch now or within this step, a moving
// by va and b by vb. contact = a + unit(b - a) (ra - (|b - a| - R) / 2) on the
// line of centres, R = ra + rb: a's surface point facing b when the spheres
// just touch (always so for a contact within the step). Spheres that already
// overlap by o get the point o / 2 beyond a's surface ("halfway through the
// overlap" would be o / 2 inside); the battle's hit handling measures from
// that point and battles must replay bit for bit, so the formula stays.
// With move set the caller's centres are moved to the moment of contact
// (only for a contact within the step, never when touching already).
u32 IntersectMovingSpheres(f32* a, f32* b, const CVector3* va, const CVector3* vb, CVector3* contact,
    u32 move);
