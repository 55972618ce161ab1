#include "engine/core/Geometry.h"

#include "engine/core/FloatMath.h"

u32 IntersectBox(const CBox* a, const CBox* b)
{
    if (!a || !b) return 0;
    if (!(b->min.x <= a->max.x && b->max.x >= a->min.x)) return 0;
    if (!(b->min.y <= a->max.y && b->max.y >= a->min.y)) return 0;
    if (!(b->min.z <= a->max.z && b->max.z >= a->min.z)) return 0;
    return 1;
}

static bool SideAllowed(i32 mode, f32 dn)
{
    switch (mode) {
    case 0: return dn > 0.0f;
    case 1: return dn != 0.0f;
    case 2: return dn < 0.0f;
    default: return false;
    }
}

u32 IntersectSegmentPlane(const CVector3* start, const CVector3* end, const CVector3* point,
    const CVector3* normal, i32 mode, CVector3* hit)
{
    if (!start || !end || !point || !normal) return 0;
    const CVector3& n = *normal;
    const f32 d = -n.Dot(*point);
    const f32 e = end->Dot(n) + d;
    const CVector3 D = *start - *end;
    const f32 dn = D.Dot(n);
    if (!SideAllowed(mode, dn)) return 0;
    const f32 t = -e / dn;
    if (!(t >= 0.0f && t <= 1.0f)) return 0;
    if (hit) *hit = *end + D * t;
    return 1;
}

// Steps 2-5 of the triangle test, shared by the segment and sphere forms.
static u32 SegmentThroughTriangle(const CVector3& start, const CVector3& end, const CVector3& p0,
    const CVector3& p1, const CVector3& p2, const CVector3& n, const CVector3 (&edges)[3], i32 mode,
    CVector3* hit, CVector3* normal, f32* best)
{
    CVector3 h;
    if (!IntersectSegmentPlane(&start, &end, &p0, &n, mode, &h)) return 0;
    const CVector3* origins[3] = {&p0, &p1, &p2};
    for (int i = 0; i < 3; ++i)
        if (n.Dot(edges[i].Cross(h - *origins[i])) < 0.0f) return 0;
    if (best) {
        const f32 q = (h - start).LengthSquared();
        if (*best <= q) return 0;
        *best = q;
    }
    if (hit) *hit = h;
    if (normal) *normal = n;
    return 1;
}

// Edges e0 = p1 - p0, e1 = p2 - p1, e2 = p0 - p2 and n = normalize(e0 x e1).
static CVector3 TriangleFrame(const CVector3& p0, const CVector3& p1, const CVector3& p2, CVector3 (&edges)[3])
{
    edges[0] = p1 - p0;
    edges[1] = p2 - p1;
    edges[2] = p0 - p2;
    CVector3 n;
    edges[0].Cross(edges[1]).GetNormalized(&n);
    return n;
}

u32 IntersectSegmentTriangle(const CVector3* start, const CVector3* end, const CVector3* p0,
    const CVector3* p1, const CVector3* p2, i32 mode, CVector3* hit, CVector3* normal, f32* best)
{
    if (!start || !end || !p0 || !p1 || !p2) return 0;
    CVector3 edges[3];
    const CVector3 n = TriangleFrame(*p0, *p1, *p2, edges);
    return SegmentThroughTriangle(*start, *end, *p0, *p1, *p2, n, edges, mode, hit, normal, best);
}

u32 IntersectSphereTriangle(const CVector3* centre, f32 radius, const CVector3* p0, const CVector3* p1,
    const CVector3* p2, i32 mode, CVector3* hit, CVector3* normal, f32* best)
{
    if (!centre || !p0 || !p1 || !p2) return 0;
    CVector3 edges[3];
    const CVector3 n = TriangleFrame(*p0, *p1, *p2, edges);
    const CVector3 a = *centre + n * radius;
    const CVector3 b = *centre - n * radius;
    return SegmentThroughTriangle(a, b, *p0, *p1, *p2, n, edges, mode, hit, normal, best);
}

// a + normalize(b - a) (ra - (|b - a| - R) / 2): on the line of centres,
// halfway through the overlap.
static CVector3 ContactPoint(const CVector3& a, const CVector3& b, f32 ra, f32 R)
{
    const CVector3 d = b - a;
    CVector3 dir;
    d.GetNormalized(&dir);
    return a + dir * (ra - (d.Length() - R) / 2.0f);
}

u32 IntersectMovingSpheres(f32* a, f32* b, const CVector3* va, const CVector3* vb, CVector3* contact, u32 move)
{
    if (!a || !b || !va || !vb) return 0;
    const CVector3 ca(a), cb(b);
    const f32 ra = a[3], R = ra + b[3];
    const CVector3 d = cb - ca;
    const f32 dd = d.LengthSquared();
    if (dd <= R * R) {
        if (contact) *contact = ContactPoint(ca, cb, ra, R);
        return 1;
    }
    const CVector3 w = *vb - *va;
    const f32 ww = w.LengthSquared();
    if (ww == 0.0f) return 0;
    const f32 k = d.Dot(w);
    const f32 disc = k * k - (dd - R * R) * ww;
    if (disc < 0.0f) return 0;
    const f32 root = SqrtF(disc);
    const f32 t1 = (-k + root) / ww;
    const f32 t2 = (-k - root) / ww;
    const auto inStep = [](f32 t) { return t >= 0.0f && t <= 1.0f; };
    if (!inStep(t1) && !inStep(t2)) return 0;

    const CVector3 movedA = ca + *va * t2;
    const CVector3 movedB = cb + *vb * t2;
    if (move) {
        a[0] = movedA.x; a[1] = movedA.y; a[2] = movedA.z;
        b[0] = movedB.x; b[1] = movedB.y; b[2] = movedB.z;
    }
    if (contact) *contact = ContactPoint(movedA, movedB, ra, R);
    return 1;
}
