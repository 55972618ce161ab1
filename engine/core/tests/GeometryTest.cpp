#include "engine/core/Geometry.h"
#include "engine/core/tests/MathExpect.h"

#include <gtest/gtest.h>

TEST(GeometryTypes, ConstructionAndRectangleArgumentOrder)
{
    const CSegment empty;
    EXPECT_TRUE(Near(empty.start, {}, 0));
    const f32 s[] = {1, 2, 3};
    const CSegment half(s, nullptr);
    EXPECT_TRUE(Near(half.start, {1, 2, 3}, 0));
    EXPECT_TRUE(Near(half.end, {}, 0));
    const CSegment copy = CSegment(CVector3(1, 1, 1), CVector3(2, 2, 2));
    EXPECT_TRUE(Near(copy.end, {2, 2, 2}, 0));

    CRect4 r;
    EXPECT_EQ(r.right, 0.0f);
    r.Set(1, 2, 3, 4);  // left, right, top, bottom
    EXPECT_EQ(r.left, 1.0f);
    EXPECT_EQ(r.top, 3.0f);
    EXPECT_EQ(r.right, 2.0f);
    EXPECT_EQ(r.bottom, 4.0f);
    CRect4 o;
    o.Assign(r);
    EXPECT_EQ(o.bottom, 4.0f);
}

TEST(IntersectBox, TouchingBoxesOverlapSeparatedOnesDoNot)
{
    const CBox a({0, 0, 0}, {1, 1, 1});
    const CBox sharesFace({1, 0, 0}, {2, 1, 1});
    const CBox inside({0.2f, 0.2f, 0.2f}, {0.4f, 0.4f, 0.4f});
    EXPECT_EQ(IntersectBox(&a, &sharesFace), 1u);
    EXPECT_EQ(IntersectBox(&sharesFace, &a), 1u);
    EXPECT_EQ(IntersectBox(&a, &inside), 1u);
    for (const CBox& gap : {CBox({1.001f, 0, 0}, {2, 1, 1}), CBox({0, -2, 0}, {1, -0.001f, 1}),
             CBox({0, 0, 1.5f}, {1, 1, 2})})
        EXPECT_EQ(IntersectBox(&a, &gap), 0u);
    EXPECT_EQ(IntersectBox(&a, nullptr), 0u);
    EXPECT_EQ(IntersectBox(nullptr, &a), 0u);
}

TEST(IntersectSegmentPlane, SideModesAndTheHitPoint)
{
    const CVector3 point(0, 0, 0), up(0, 1, 0);
    const CVector3 above(1, 2, 3), below(1, -2, 3);
    CVector3 hit;
    // Mode 0 accepts front to back only, 2 back to front only, 1 both.
    EXPECT_EQ(IntersectSegmentPlane(&above, &below, &point, &up, 0, &hit), 1u);
    EXPECT_TRUE(Near(hit, {1, 0, 3}, 0));
    EXPECT_EQ(IntersectSegmentPlane(&below, &above, &point, &up, 0, &hit), 0u);
    EXPECT_EQ(IntersectSegmentPlane(&below, &above, &point, &up, 1, &hit), 1u);
    EXPECT_EQ(IntersectSegmentPlane(&below, &above, &point, &up, 2, &hit), 1u);
    EXPECT_EQ(IntersectSegmentPlane(&above, &below, &point, &up, 2, &hit), 0u);
    EXPECT_EQ(IntersectSegmentPlane(&above, &below, &point, &up, 3, &hit), 0u);
    EXPECT_EQ(IntersectSegmentPlane(&above, &below, &point, &up, -1, &hit), 0u);

    // The hit is end + t (start - end).
    const CVector3 p(0, 1, 0), from(0, 4, 0), to(2, 0, 2);
    EXPECT_EQ(IntersectSegmentPlane(&from, &to, &p, &up, 0, &hit), 1u);
    EXPECT_TRUE(Near(hit, {1.5f, 1, 1.5f}, 0));
    EXPECT_EQ(IntersectSegmentPlane(&from, &to, &p, &up, 0, nullptr), 1u);
}

TEST(IntersectSegmentPlane, EndOnThePlaneHitsSegmentInThePlaneNeverDoes)
{
    const CVector3 point(0, 0, 0), up(0, 1, 0);
    const CVector3 start(0, 1, 0), onPlane(5, 0, 0);
    CVector3 hit(9, 9, 9);
    EXPECT_EQ(IntersectSegmentPlane(&start, &onPlane, &point, &up, 0, &hit), 1u);  // t = 0
    EXPECT_TRUE(Near(hit, onPlane, 0));
    // Also when start lies on the plane (t = 1).
    const CVector3 end(0, -1, 0);
    EXPECT_EQ(IntersectSegmentPlane(&onPlane, &end, &point, &up, 1, &hit), 1u);
    EXPECT_TRUE(Near(hit, onPlane, 0));

    const CVector3 a(-1, 0, 0), b(1, 0, 2);
    for (i32 mode : {0, 1, 2}) EXPECT_EQ(IntersectSegmentPlane(&a, &b, &point, &up, mode, &hit), 0u);
    // A zero-length segment has D = 0: it never hits, even lying on the plane.
    for (i32 mode : {0, 1, 2}) EXPECT_EQ(IntersectSegmentPlane(&a, &a, &point, &up, mode, &hit), 0u);

    // A segment short of the plane misses (t outside [0, 1]).
    const CVector3 high(0, 3, 0), low(0, 1, 0);
    EXPECT_EQ(IntersectSegmentPlane(&high, &low, &point, &up, 1, &hit), 0u);
    EXPECT_EQ(IntersectSegmentPlane(nullptr, &low, &point, &up, 1, &hit), 0u);
}

namespace {

// A triangle in the plane y = 0 whose front faces +y: (p1 - p0) x (p2 - p1)
// points up.
const CVector3 kP0(0, 0, 0), kP1(0, 0, 4), kP2(4, 0, 0);

}  // namespace

TEST(IntersectSegmentTriangle, FrontFacingHitWithNormal)
{
    const CVector3 from(1, 5, 1), to(1, -5, 1);
    CVector3 hit, normal;
    EXPECT_EQ(IntersectSegmentTriangle(&from, &to, &kP0, &kP1, &kP2, 0, &hit, &normal, nullptr), 1u);
    EXPECT_TRUE(Near(hit, {1, 0, 1}, 0));
    EXPECT_TRUE(Near(normal, {0, 1, 0}, 0));
    // Mode 0 ignores the crossing from back to front; mode 1 reports it.
    EXPECT_EQ(IntersectSegmentTriangle(&to, &from, &kP0, &kP1, &kP2, 0, &hit, &normal, nullptr), 0u);
    EXPECT_EQ(IntersectSegmentTriangle(&to, &from, &kP0, &kP1, &kP2, 1, &hit, &normal, nullptr), 1u);
    EXPECT_EQ(IntersectSegmentTriangle(&to, &from, &kP0, &kP1, &kP2, 2, nullptr, nullptr, nullptr), 1u);
}

TEST(IntersectSegmentTriangle, EdgesAndVerticesCountAsInside)
{
    CVector3 hit;
    for (const CVector3& target : {kP0, kP1, kP2, CVector3(2, 0, 2) /* on the hypotenuse */, CVector3(0, 0, 2)}) {
        const CVector3 from = target + CVector3(0, 1, 0), to = target - CVector3(0, 1, 0);
        EXPECT_EQ(IntersectSegmentTriangle(&from, &to, &kP0, &kP1, &kP2, 0, &hit, nullptr, nullptr), 1u)
            << target.x << "," << target.z;
        EXPECT_TRUE(Near(hit, target, 0));
    }
    // Just outside each edge misses.
    for (const CVector3& target : {CVector3(-0.01f, 0, 1), CVector3(1, 0, -0.01f), CVector3(2.01f, 0, 2.01f)}) {
        const CVector3 from = target + CVector3(0, 1, 0), to = target - CVector3(0, 1, 0);
        EXPECT_EQ(IntersectSegmentTriangle(&from, &to, &kP0, &kP1, &kP2, 1, &hit, nullptr, nullptr), 0u);
    }
}

TEST(IntersectSegmentTriangle, OnlyNearerHitsCountAgainstTheBest)
{
    const CVector3 from(1, 5, 1), to(1, -5, 1);
    CVector3 hit(9, 9, 9);
    f32 best = 30.0f;
    EXPECT_EQ(IntersectSegmentTriangle(&from, &to, &kP0, &kP1, &kP2, 0, &hit, nullptr, &best), 1u);
    EXPECT_EQ(best, 25.0f);  // |hit - start|^2
    // Equal distance is no nearer; the outs stay as they were.
    hit.Set(9, 9, 9);
    EXPECT_EQ(IntersectSegmentTriangle(&from, &to, &kP0, &kP1, &kP2, 0, &hit, nullptr, &best), 0u);
    EXPECT_TRUE(Near(hit, {9, 9, 9}, 0));
    EXPECT_EQ(best, 25.0f);
    // A nearer triangle (y = 2) wins.
    const CVector3 q0(0, 2, 0), q1(0, 2, 4), q2(4, 2, 0);
    EXPECT_EQ(IntersectSegmentTriangle(&from, &to, &q0, &q1, &q2, 0, &hit, nullptr, &best), 1u);
    EXPECT_EQ(best, 9.0f);
    EXPECT_TRUE(Near(hit, {1, 2, 1}, 0));
}

TEST(IntersectSegmentTriangle, DegenerateInputsMiss)
{
    CVector3 hit;
    const CVector3 from(1, 5, 1), to(1, -5, 1), point(1, 0, 1);
    // Zero-length segment, even when it lies on the triangle.
    EXPECT_EQ(IntersectSegmentTriangle(&point, &point, &kP0, &kP1, &kP2, 1, &hit, nullptr, nullptr), 0u);
    // A segment lying in the triangle's plane.
    const CVector3 a(0.5f, 0, 0.5f), b(1.5f, 0, 1.5f);
    EXPECT_EQ(IntersectSegmentTriangle(&a, &b, &kP0, &kP1, &kP2, 1, &hit, nullptr, nullptr), 0u);
    // A triangle without area has no normal.
    const CVector3 c0(0, 0, 0), c1(1, 0, 1), c2(2, 0, 2);
    EXPECT_EQ(IntersectSegmentTriangle(&from, &to, &c0, &c1, &c2, 1, &hit, nullptr, nullptr), 0u);
    EXPECT_EQ(IntersectSegmentTriangle(&from, &to, &kP0, nullptr, &kP2, 1, &hit, nullptr, nullptr), 0u);
}

TEST(IntersectSphereTriangle, FaceContactOnly)
{
    CVector3 hit, normal;
    // Centre 0.5 above the face, radius 1: the diameter crosses the face.
    const CVector3 c(1, 0.5f, 1);
    f32 best = 4.0f;  // (2r)^2, as the model tests start
    EXPECT_EQ(IntersectSphereTriangle(&c, 1.0f, &kP0, &kP1, &kP2, 0, &hit, &normal, &best), 1u);
    EXPECT_TRUE(Near(hit, {1, 0, 1}, 0));
    EXPECT_TRUE(Near(normal, {0, 1, 0}, 0));
    EXPECT_EQ(best, 2.25f);  // measured from c + r n = (1, 1.5, 1)

    // Tangent from above: the diameter ends on the face (t = 0).
    const CVector3 tangent(1, 1, 1);
    EXPECT_EQ(IntersectSphereTriangle(&tangent, 1.0f, &kP0, &kP1, &kP2, 0, &hit, nullptr, nullptr), 1u);
    EXPECT_TRUE(Near(hit, {1, 0, 1}, 0));
    // Too far from the plane.
    const CVector3 far(1, 1.01f, 1);
    EXPECT_EQ(IntersectSphereTriangle(&far, 1.0f, &kP0, &kP1, &kP2, 0, &hit, nullptr, nullptr), 0u);
    // Touching only a corner with the centre's projection outside: no hit.
    const CVector3 byCorner(-0.5f, 0.1f, -0.5f);
    EXPECT_EQ(IntersectSphereTriangle(&byCorner, 1.0f, &kP0, &kP1, &kP2, 1, &hit, nullptr, nullptr), 0u);
    // The diameter always runs against the normal: mode 2 never sees it.
    EXPECT_EQ(IntersectSphereTriangle(&c, 1.0f, &kP0, &kP1, &kP2, 2, &hit, nullptr, nullptr), 0u);
    // A zero radius is a zero-length segment.
    const CVector3 onFace(1, 0, 1);
    EXPECT_EQ(IntersectSphereTriangle(&onFace, 0.0f, &kP0, &kP1, &kP2, 1, &hit, nullptr, nullptr), 0u);
    EXPECT_EQ(IntersectSphereTriangle(nullptr, 1.0f, &kP0, &kP1, &kP2, 1, &hit, nullptr, nullptr), 0u);
}

TEST(IntersectMovingSpheres, ContactWithinTheStep)
{
    // Unit spheres 3 apart, the second moving by (-2, 0, 0): contact at t2 = 0.5.
    f32 a[4] = {0, 0, 0, 1}, b[4] = {3, 0, 0, 1};
    const CVector3 still, left(-2, 0, 0);
    CVector3 contact;
    EXPECT_EQ(IntersectMovingSpheres(a, b, &still, &left, &contact, 0), 1u);
    EXPECT_TRUE(Near(contact, {1, 0, 0}, 0));
    EXPECT_EQ(b[0], 3.0f);  // without the move flag the caller's spheres stay

    EXPECT_EQ(IntersectMovingSpheres(a, b, &still, &left, &contact, 1), 1u);
    EXPECT_EQ(b[0], 2.0f);  // moved to the moment of contact
    EXPECT_EQ(a[0], 0.0f);
    EXPECT_TRUE(Near(contact, {1, 0, 0}, 0));  // a's surface facing b

    // Both moving towards each other: they meet halfway.
    f32 c[4] = {0, 0, 0, 1}, d[4] = {6, 0, 0, 1};
    const CVector3 right(2, 0, 0);
    EXPECT_EQ(IntersectMovingSpheres(c, d, &right, &left, &contact, 1), 1u);
    EXPECT_EQ(c[0], 2.0f);
    EXPECT_EQ(d[0], 4.0f);
    EXPECT_TRUE(Near(contact, {3, 0, 0}, 0));
}

TEST(IntersectMovingSpheres, TouchingNowAndMisses)
{
    // Overlapping now by 0.5: the formula puts the contact half the
    // overlap beyond a's surface, 1 + 0.25 (not 0.75, the overlap's middle).
    f32 a[4] = {0, 0, 0, 1}, b[4] = {1.5f, 0, 0, 1};
    const CVector3 still, away(5, 0, 0), left(-2, 0, 0), sideways(0, 0, 10);
    CVector3 contact;
    EXPECT_EQ(IntersectMovingSpheres(a, b, &still, &away, &contact, 1), 1u);
    EXPECT_TRUE(Near(contact, {1.25f, 0, 0}, 0));
    EXPECT_EQ(b[0], 1.5f);
    // Exactly touching: contact on a's surface.
    f32 t[4] = {2, 0, 0, 1};
    EXPECT_EQ(IntersectMovingSpheres(a, t, &still, &still, &contact, 0), 1u);
    EXPECT_TRUE(Near(contact, {1, 0, 0}, 0));

    f32 far[4] = {5, 0, 0, 1};
    // The same displacement for both: no relative motion.
    EXPECT_EQ(IntersectMovingSpheres(a, far, &left, &left, &contact, 1), 0u);
    // Moving apart, passing by, or stopping short.
    EXPECT_EQ(IntersectMovingSpheres(a, far, &still, &away, &contact, 1), 0u);
    EXPECT_EQ(IntersectMovingSpheres(a, far, &still, &sideways, &contact, 1), 0u);
    EXPECT_EQ(IntersectMovingSpheres(a, far, &still, &left, &contact, 1), 0u);  // gap 3, moves 2
    EXPECT_EQ(far[0], 5.0f);
    EXPECT_EQ(IntersectMovingSpheres(a, far, nullptr, &left, &contact, 1), 0u);
    // Contact out pointer may be null.
    EXPECT_EQ(IntersectMovingSpheres(a, t, &still, &still, nullptr, 0), 1u);
    // Coincident centres: no direction, the contact is a's centre.
    f32 same[4] = {0, 0, 0, 0.5f};
    EXPECT_EQ(IntersectMovingSpheres(a, same, &still, &still, &contact, 0), 1u);
    EXPECT_TRUE(Near(contact, {0, 0, 0}, 0));
}
