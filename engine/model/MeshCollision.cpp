#include "engine/model/MeshCollision.h"

#include "engine/core/Geometry.h"
#include "engine/core/Matrix.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelObject.h"

namespace {

struct Query {
    // The triangle test for one triangle, with the shared best distance.
    virtual u32 Test(const CVector3& p0, const CVector3& p1, const CVector3& p2, CVector3* hit, CVector3* normal,
        f32* best) const = 0;
    CBox box;
    i32 mode = 0;

protected:
    ~Query() = default;
};

struct SphereQuery final : Query {
    CVector3 centre;
    f32 radius = 0.0f;
    u32 Test(const CVector3& p0, const CVector3& p1, const CVector3& p2, CVector3* hit, CVector3* normal,
        f32* best) const override
    {
        return IntersectSphereTriangle(&centre, radius, &p0, &p1, &p2, mode, hit, normal, best);
    }
};

struct SegmentQuery final : Query {
    CVector3 start, end;
    u32 Test(const CVector3& p0, const CVector3& p1, const CVector3& p2, CVector3* hit, CVector3* normal,
        f32* best) const override
    {
        return IntersectSegmentTriangle(&start, &end, &p0, &p1, &p2, mode, hit, normal, best);
    }
};

// Tests the triangles of one cell; true when the walk should stop.
bool TestCell(const Query& q, const CModelBlock& block, const CModelVertexList& vertices, CVector3* hit,
    CVector3* normal, u32* triangle, u32* range, f32* best, u32* found)
{
    const CModelIndexList* indices = block.GetIndexList();
    if (!indices) return false;
    const u32 count = indices->Indices.GetCount() / 3 * 3;
    const u32* index = indices->Indices.GetData();
    for (u32 i = 0; i < count; i += 3) {
        const CModelVertex* a = vertices.GetAt(index[i]);
        const CModelVertex* b = vertices.GetAt(index[i + 1]);
        const CModelVertex* c = vertices.GetAt(index[i + 2]);
        if (!a || !b || !c) continue;
        CBox box;
        Vector3MinMax3(a->Position, b->Position, c->Position, &box.min, &box.max);
        if (!IntersectBox(&box, &q.box)) continue;
        if (!q.Test(a->Position, b->Position, c->Position, hit, normal, best)) continue;
        *found = 1;
        if (triangle) *triangle = i / 3;
        if (range) *range = block.FindRange(i);
        if (!hit) return true;
    }
    return false;
}

u32 Walk(const Query& q, const CMesh& model, CVector3* hit, CVector3* normal, u32* triangle, u32* range, f32 best)
{
    u32 found = 0;
    for (u32 o = 0; o < model.GetModelObjectCount(); ++o) {
        const CModelObject* object = model.GetModelObject(o);
        const CModelCollisionGrid* grid = object ? object->GetCollisionGrid() : nullptr;
        const CModelVertexList* vertices = object ? object->GetVertexList() : nullptr;
        if (!grid || !grid->Cells || !vertices) continue;
        u32 lo[3], hi[3];
        for (u32 axis = 0; axis < 3; ++axis) {
            lo[axis] = grid->CellCoordinate(q.box.min, axis);
            hi[axis] = grid->CellCoordinate(q.box.max, axis);
        }
        for (u32 x = lo[0]; x <= hi[0]; ++x) {
            for (u32 y = lo[1]; y <= hi[1]; ++y) {
                for (u32 z = lo[2]; z <= hi[2]; ++z) {
                    const CModelBlock* block = grid->GetCellAt(grid->CellIndex(x, y, z));
                    if (block && TestCell(q, *block, *vertices, hit, normal, triangle, range, &best, &found)) {
                        return 1;
                    }
                }
            }
        }
    }
    return found;
}

// Takes a model-space hit and normal back into the world.
void ToWorld(const CMatrix& world, CVector3* hit, CVector3* normal)
{
    if (hit) hit->TransformCoord(world);
    if (normal) {
        CVector3 n;
        normal->TransformNormalInto(world, &n);
        n.Normalize(normal);
    }
}

// The largest scaling of world's three axes: a uniformly scaled model
// scales spheres by it.
f32 WorldScale(const CMatrix& world)
{
    CVector3 s;
    world.GetScaling(&s);
    return s.MaxAbsComponent();
}

}  // namespace

u32 IntersectSphereMesh(const CVector3* centre, f32 radius, const CMesh* model, i32 mode, CVector3* hit,
    CVector3* normal, u32* triangle, u32* range)
{
    if (!centre || !model) return 0;
    SphereQuery q;
    q.centre = *centre;
    q.radius = radius;
    q.mode = mode;
    q.box = CBox(*centre - radius, *centre + radius);
    return Walk(q, *model, hit, normal, triangle, range, (2.0f * radius) * (2.0f * radius));
}

u32 IntersectSegmentMesh(const CVector3* start, const CVector3* end, const CMesh* model, i32 mode, CVector3* hit,
    CVector3* normal, u32* triangle, u32* range)
{
    if (!start || !end || !model) return 0;
    SegmentQuery q;
    q.start = *start;
    q.end = *end;
    q.mode = mode;
    Vector3MinMax(*start, *end, &q.box.min, &q.box.max);
    return Walk(q, *model, hit, normal, triangle, range, (*end - *start).LengthSquared());
}

u32 IntersectSphereMeshAt(const CMatrix* world, const CVector3* centre, f32 radius, const CMesh* model, i32 mode,
    CVector3* hit, CVector3* normal, u32* triangle, u32* range)
{
    if (!world || !centre || !model) return 0;
    const f32 scale = WorldScale(*world);
    if (world->Determinant() == 0.0f || scale == 0.0f) return 0;
    const CMatrix inverse = world->GetInverse();
    CVector3 local;
    centre->TransformedCoord(&local, inverse);
    if (!IntersectSphereMesh(&local, radius / scale, model, mode, hit, normal, triangle, range)) return 0;
    ToWorld(*world, hit, normal);
    return 1;
}

u32 IntersectSegmentMeshAt(const CMatrix* world, const CVector3* start, const CVector3* end, const CMesh* model,
    i32 mode, CVector3* hit, CVector3* normal, u32* triangle, u32* range)
{
    if (!world || !start || !end || !model) return 0;
    if (world->Determinant() == 0.0f) return 0;
    const CMatrix inverse = world->GetInverse();
    CVector3 a, b;
    start->TransformedCoord(&a, inverse);
    end->TransformedCoord(&b, inverse);
    if (!IntersectSegmentMesh(&a, &b, model, mode, hit, normal, triangle, range)) return 0;
    ToWorld(*world, hit, normal);
    return 1;
}
