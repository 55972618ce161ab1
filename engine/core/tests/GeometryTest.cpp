#include "engine/core/Geometry.h"
#include "engine/core/tests/MathExpect.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ORV_TEST_FILE_ID {

namespace {

// A segment sweep and what it should meet. Mode 0 accepts crossings from
// the front to the back only, 2 from the back to the front only, 1 both.
struct Sweep {
    CVector3 from, to;
    i32 mode;
    bool hits;
    CVector3 at;
};

// A triangle in the plane y = 0 whose front faces +y.
const CVector3 kP0(0, 0, 0), kP1(0, 0, 4), kP2(4, 0, 0);

}  // namespace

TEST(IntersectBox, TouchingBoxesOverlapSeparatedOnesDoNot)
{
    const CBox a({0, 0, 0}, {1, 1, 1});
    for (const CBox& touching : {CBox({1, 0, 0}, {2, 1, 1}), CBox({0.2f, 0.2f, 0.2f}, {0.4f, 0.4f, 0.4f})}) {
        EXPECT_EQ(IntersectBox(&a, &touching), 1u);
        EXPECT_EQ(IntersectBox(&touching, &a), 1u);
    }
    for (const CBox& gap : {CBox({1.001f, 0, 0}, {2, 1, 1}), CBox({0, -2, 0}, {1, -0.001f, 1}),
             CBox({0, 0, 1.5f}, {1, 1, 2})})
        EXPECT_EQ(IntersectBox(&a, &gap), 0u);
    EXPECT_EQ(IntersectBox(&a, nullptr), 0u);
    EXPECT_EQ(IntersectBox(nullptr, &a), 0u);
}

TEST(IntersectSegmentPlane, SideModesEndsOnThePlaneAndDegenerateSegments)
{
    const CVector3 point(0, 0, 0), up(0, 1, 0), above(1, 2, 3), below(1, -2, 3), inPlane(-1, 0, 0);
    const Sweep sweeps[] = {
        {above, below, 0, true, {1, 0, 3}},
        {below, above, 0, false, {}},
        {below, above, 1, true, {1, 0, 3}},
        {below, above, 2, true, {1, 0, 3}},
        {above, below, 2, false, {}},
        {above, below, 3, false, {}},
        {{0, 1, 0}, {5, 0, 0}, 0, true, {5, 0, 0}},         // end on the plane: t = 0
        {{5, 0, 0}, {0, -1, 0}, 1, true, {5, 0, 0}},        // start on the plane: t = 1
        {{0, 3, 0}, {0, 1, 0}, 1, false, {}},               // stops short
        // A segment in the plane, or of no length, never hits: mode 1 would divide by 0.
        {inPlane, {1, 0, 2}, 1, false, {}},
        {inPlane, inPlane, 1, false, {}},
    };
    for (const Sweep& s : sweeps) {
        SCOPED_TRACE(testing::Message() << "from y " << s.from.y << " to y " << s.to.y << " mode " << s.mode);
        CVector3 hit(9, 9, 9);
        ASSERT_EQ(IntersectSegmentPlane(&s.from, &s.to, &point, &up, s.mode, &hit), u32(s.hits));
        if (s.hits) {
            EXPECT_TRUE(Near(hit, s.at, 0));
        }
    }
    // The hit is end + t (start - end), on a plane through (0, 1, 0).
    const CVector3 raised(0, 1, 0), from(0, 4, 0), to(2, 0, 2);
    CVector3 hit;
    EXPECT_EQ(IntersectSegmentPlane(&from, &to, &raised, &up, 0, &hit), 1u);
    EXPECT_TRUE(Near(hit, {1.5f, 1, 1.5f}, 0));
    EXPECT_EQ(IntersectSegmentPlane(&from, &to, &raised, &up, 0, nullptr), 1u);
    EXPECT_EQ(IntersectSegmentPlane(nullptr, &below, &point, &up, 1, nullptr), 0u);
}

TEST(IntersectSegmentTriangle, FacingEdgesAndDegenerateSegments)
{
    const CVector3 top(1, 5, 1), bottom(1, -5, 1), up(0, 1, 0);
    const Sweep sweeps[] = {
        {top, bottom, 0, true, {1, 0, 1}},
        {bottom, top, 0, false, {}},  // mode 0 ignores the back face
        {bottom, top, 1, true, {1, 0, 1}},
        {bottom, top, 2, true, {1, 0, 1}},
        // Vertices and edges count as inside; just outside an edge misses.
        {kP1 + up, kP1 - up, 0, true, kP1},
        {{2, 1, 2}, {2, -1, 2}, 0, true, {2, 0, 2}},  // the hypotenuse
        {{0, 1, 2}, {0, -1, 2}, 0, true, {0, 0, 2}},
        {{-0.01f, 1, 1}, {-0.01f, -1, 1}, 1, false, {}},
        {{1, 1, -0.01f}, {1, -1, -0.01f}, 1, false, {}},
        {{2.01f, 1, 2.01f}, {2.01f, -1, 2.01f}, 1, false, {}},
        {{1, 0, 1}, {1, 0, 1}, 1, false, {}},              // no length, even on the face
        {{0.5f, 0, 0.5f}, {1.5f, 0, 1.5f}, 1, false, {}},  // in the plane
    };
    for (const Sweep& s : sweeps) {
        SCOPED_TRACE(testing::Message() << "to " << s.to.x << "," << s.to.y << "," << s.to.z << " mode " << s.mode);
        CVector3 hit(9, 9, 9);
        ASSERT_EQ(IntersectSegmentTriangle(&s.from, &s.to, &kP0, &kP1, &kP2, s.mode, &hit, nullptr, nullptr),
                  u32(s.hits));
        if (s.hits) {
            EXPECT_TRUE(Near(hit, s.at, 0));
        }
    }
    CVector3 normal;
    EXPECT_EQ(IntersectSegmentTriangle(&top, &bottom, &kP0, &kP1, &kP2, 0, nullptr, &normal, nullptr), 1u);
    EXPECT_TRUE(Near(normal, up, 0));
    // A triangle without area has no normal.
    const CVector3 c0(0, 0, 0), c1(1, 0, 1), c2(2, 0, 2);
    EXPECT_EQ(IntersectSegmentTriangle(&top, &bottom, &c0, &c1, &c2, 1, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(IntersectSegmentTriangle(&top, &bottom, &kP0, nullptr, &kP2, 1, nullptr, nullptr, nullptr), 0u);
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
    const CVector3 q0(0, 2, 0), q1(0, 2, 4), q2(4, 2, 0);
    EXPECT_EQ(IntersectSegmentTriangle(&from, &to, &q0, &q1, &q2, 0, &hit, nullptr, &best), 1u);
    EXPECT_EQ(best, 9.0f);
    EXPECT_TRUE(Near(hit, {1, 2, 1}, 0));
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

    const CVector3 tangent(1, 1, 1), far(1, 1.01f, 1), byCorner(-0.5f, 0.1f, -0.5f), onFace(1, 0, 1);
    EXPECT_EQ(IntersectSphereTriangle(&tangent, 1.0f, &kP0, &kP1, &kP2, 0, &hit, nullptr, nullptr), 1u);
    EXPECT_TRUE(Near(hit, {1, 0, 1}, 0));
    EXPECT_EQ(IntersectSphereTriangle(&far, 1.0f, &kP0, &kP1, &kP2, 0, &hit, nullptr, nullptr), 0u);
    // Touching only a corner, the centre's projection outside: no hit.
    EXPECT_EQ(IntersectSphereTriangle(&byCorner, 1.0f, &kP0, &kP1, &kP2, 1, &hit, nullptr, nullptr), 0u);
    // The diameter always runs against the normal: mode 2 never sees it.
    EXPECT_EQ(IntersectSphereTriangle(&c, 1.0f, &kP0, &kP1, &kP2, 2, &hit, nullptr, nullptr), 0u);
    EXPECT_EQ(IntersectSphereTriangle(&onFace, 0.0f, &kP0, &kP1, &kP2, 1, &hit, nullptr, nullptr), 0u);
    EXPECT_EQ(IntersectSphereTriangle(nullptr, 1.0f, &kP0, &kP1, &kP2, 1, &hit, nullptr, nullptr), 0u);
}

TEST(IntersectMovingSpheres, ContactMovesAndMisses)
{
    const CVector3 still, left(-2, 0, 0), right(2, 0, 0), away(5, 0, 0), sideways(0, 0, 10);
    // Spheres are (centre x, radius); centres lie on the x axis.
    const struct { f32 ax, ar, bx, br; CVector3 va, vb; u32 move, hits; f32 contactX, aAfter, bAfter; } cases[] = {
        {0, 1, 3, 1, still, left, 0, 1, 1, 0, 3},        // contact at t = 0.5; without the flag nothing moves
        {0, 1, 3, 1, still, left, 1, 1, 1, 0, 2},        // moved to the moment of contact
        {0, 1, 6, 1, right, left, 1, 1, 3, 2, 4},        // meet halfway
        {0, 1, 1.5f, 1, still, away, 1, 1, 1.25f, 0, 1.5f},  // overlapping now: half the overlap past a's surface
        {0, 1, 2, 1, still, still, 0, 1, 1, 0, 2},       // touching
        {0, 1, 0, 0.5f, still, still, 0, 1, 0, 0, 0},    // same centre: no direction, a's centre
        {0, 1, 5, 1, left, left, 1, 0, 0, 0, 5},         // no relative motion
        {0, 1, 5, 1, still, away, 1, 0, 0, 0, 5},
        {0, 1, 5, 1, still, sideways, 1, 0, 0, 0, 5},
        {0, 1, 5, 1, still, left, 1, 0, 0, 0, 5},        // stops short: gap 3, moves 2
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "b at " << c.bx << " moving " << c.vb.x << "," << c.vb.z);
        f32 a[4] = {c.ax, 0, 0, c.ar}, b[4] = {c.bx, 0, 0, c.br};
        CVector3 contact(9, 9, 9);
        ASSERT_EQ(IntersectMovingSpheres(a, b, &c.va, &c.vb, &contact, c.move), c.hits);
        if (c.hits) {
            EXPECT_TRUE(Near(contact, {c.contactX, 0, 0}, 0));
        }
        EXPECT_EQ(a[0], c.aAfter);
        EXPECT_EQ(b[0], c.bAfter);
    }
    f32 a[4] = {0, 0, 0, 1}, b[4] = {2, 0, 0, 1};
    EXPECT_EQ(IntersectMovingSpheres(a, b, &still, &still, nullptr, 0), 1u);
    EXPECT_EQ(IntersectMovingSpheres(a, b, nullptr, &left, nullptr, 1), 0u);
}

TEST(Rect4, ToRectTruncatesTowardZeroAndStaysInRange)
{
    struct IntRect {
        i32 left, top, right, bottom;
    };
    CRect4 rect;
    rect.Set(10.9f, -3.7f, -0.5f, 767.99f);   // left, right, top, bottom
    const IntRect r = rect.ToRect<IntRect>();
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, -3);
    EXPECT_EQ(r.bottom, 767);

    rect.Set(3e9f, -3e9f, std::nanf(""), 2147483520.0f);
    const IntRect wide = rect.ToRect<IntRect>();
    EXPECT_EQ(wide.left, 0x7FFFFFFF);
    EXPECT_EQ(wide.right, i32(-0x7FFFFFFF - 1));
    EXPECT_EQ(wide.top, 0);
    EXPECT_EQ(wide.bottom, 2147483520);
}

}  // namespace ORV_TEST_FILE_ID
