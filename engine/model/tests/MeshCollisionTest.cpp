// Segments and spheres against a model's triangles through its collision
// grid, with the answers worked out by hand.
//
// The model: one object whose grid has one cell across x and y and two
// along z (z below 1 and from 1 up). Triangle L lies in z = 0, triangle U
// in z = 2, both with legs of 4 along +x and +y from the origin's column
// and their fronts towards +z; a small triangle S lies in z = 1.5 outside
// the grid, at x from -3 to -1. Cell 0 holds L; cell 1 holds S then U, in
// two ranges, so U is triangle 1 of range 1 in its cell.
#include "engine/core/Matrix.h"
#include "engine/model/Mesh.h"
#include "engine/model/MeshCollision.h"
#include "engine/model/ModelObject.h"

#include <gtest/gtest.h>

#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

void AddCell(CModelObject& object, std::vector<u32> indices, std::vector<CPoint2> ranges)
{
    auto* cell = new CModelBlock(CBox(), object.GetVertexList(), object.GetIndexList(), object.GetMaterialList());
    cell->GetIndexList()->Indices.SetArray(indices.data(), u32(indices.size()));
    cell->GetIndexList()->Ranges.SetArray(ranges.data(), u32(ranges.size()));
    AppendElement(object.GetCollisionGrid()->Cells, cell);
}

class MeshCollisionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* object = new CModelObject();
        const CVector3 positions[] = {
            {0, 0, 0}, {4, 0, 0}, {0, 4, 0},         // L
            {0, 0, 2}, {4, 0, 2}, {0, 4, 2},         // U
            {-3, 0, 1.5f}, {-1, 0, 1.5f}, {-3, 2, 1.5f},   // S
        };
        CModelVertexList& v = *object->GetVertexList();
        v.Resize(9);
        v.FormatFlags = 1;
        v.Stride = 12;
        for (u32 i = 0; i < 9; ++i) v.GetAt(i)->Position = positions[i];
        CModelCollisionGrid& grid = *object->GetCollisionGrid();
        grid.Center.Set(2, 2, 1);
        grid.HalfSize.Set(2, 2, 1.5f);
        grid.CellsPerUnit.Set(0.25f, 0.25f, 1.0f / 1.5f);
        grid.CountX = grid.CountY = 1;
        grid.CountZ = 2;
        grid.Cells = new CResourceList();
        AddCell(*object, {0, 1, 2}, {{0, 3}});
        AddCell(*object, {6, 7, 8, 3, 4, 5}, {{0, 3}, {3, 3}});
        AppendElement(mesh_.GetModelObjects(), object);
    }

    CMesh mesh_;
};

struct Expect {
    u32 result;
    CVector3 hit;
    u32 triangle;
    u32 range;
};

void Check(u32 result, const CVector3& hit, const CVector3& normal, u32 triangle, u32 range, const Expect& e,
    const char* what)
{
    EXPECT_EQ(result, e.result) << what;
    if (!e.result || !result) return;
    EXPECT_NEAR(hit.x, e.hit.x, 1e-5f) << what;
    EXPECT_NEAR(hit.y, e.hit.y, 1e-5f) << what;
    EXPECT_NEAR(hit.z, e.hit.z, 1e-5f) << what;
    EXPECT_NEAR(normal.z, 1.0f, 1e-5f) << what;
    EXPECT_EQ(triangle, e.triangle) << what;
    EXPECT_EQ(range, e.range) << what;
}

}  // namespace

TEST_F(MeshCollisionTest, SegmentsReportTheHitNearestTheirStart)
{
    const struct {
        const char* what;
        CVector3 start, end;
        i32 mode;
        Expect expect;
    } cases[] = {
        {"down through both: U first", {1, 1, 5}, {1, 1, -5}, 1, {1, {1, 1, 2}, 1, 1}},
        {"up through both: L first", {1, 1, -5}, {1, 1, 5}, 1, {1, {1, 1, 0}, 0, 0}},
        {"past the long side of both", {3, 3, 5}, {3, 3, -5}, 1, {0, {}, 0, 0}},
        {"stopping short of U", {1, 1, 5}, {1, 1, 2.5f}, 1, {0, {}, 0, 0}},
        {"front to back only, going down", {1, 1, 5}, {1, 1, -5}, 0, {1, {1, 1, 2}, 1, 1}},
        {"back to front only, going down", {1, 1, 5}, {1, 1, -5}, 2, {0, {}, 0, 0}},
        // Outside the grid: the border cells are still searched.
        {"outside the grid, through S", {-2, 0.5f, 5}, {-2, 0.5f, -5}, 1, {1, {-2, 0.5f, 1.5f}, 0, 0}},
    };
    for (const auto& c : cases) {
        CVector3 hit, normal;
        u32 triangle = 99, range = 99;
        const u32 r = IntersectSegmentMesh(&c.start, &c.end, &mesh_, c.mode, &hit, &normal, &triangle, &range);
        Check(r, hit, normal, triangle, range, c.expect, c.what);
    }
}

TEST_F(MeshCollisionTest, SpheresReportTheNearestTouchedFace)
{
    const struct {
        const char* what;
        CVector3 centre;
        f32 radius;
        Expect expect;
    } cases[] = {
        {"just above U", {1, 1, 2.5f}, 1, {1, {1, 1, 2}, 1, 1}},
        // Its diameter along z reaches both; L is met first in the walk,
        // U is nearer the diameter's top and wins.
        {"between, large", {1, 1, 1}, 1.5f, {1, {1, 1, 2}, 1, 1}},
        {"just below L", {1, 1, -0.5f}, 1, {1, {1, 1, 0}, 0, 0}},
        {"far above, clamped to the top cell", {1, 1, 10}, 1, {0, {}, 0, 0}},
    };
    for (const auto& c : cases) {
        CVector3 hit, normal;
        u32 triangle = 99, range = 99;
        const u32 r = IntersectSphereMesh(&c.centre, c.radius, &mesh_, 1, &hit, &normal, &triangle, &range);
        Check(r, hit, normal, triangle, range, c.expect, c.what);
    }
}

TEST_F(MeshCollisionTest, WithoutAnOutHitTheFirstHitAnswers)
{
    const CVector3 start(1, 1, 5), end(1, 1, -5);
    u32 triangle = 99;
    EXPECT_EQ(IntersectSegmentMesh(&start, &end, &mesh_, 1, nullptr, nullptr, &triangle, nullptr), 1u);
    // The walk goes from the low cell: L is found first and ends it.
    EXPECT_EQ(triangle, 0u);
    EXPECT_EQ(IntersectSegmentMesh(nullptr, &end, &mesh_, 1, nullptr, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(IntersectSegmentMesh(&start, &end, nullptr, 1, nullptr, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(IntersectSphereMesh(nullptr, 1, &mesh_, 1, nullptr, nullptr, nullptr, nullptr), 0u);
}

TEST_F(MeshCollisionTest, AMovedModelIsHitWhereItStands)
{
    // Scaled by 2, then moved 10 along x: U stands at z = 4, x from 10 to 18.
    CMatrix scaledMoved;
    scaledMoved.m[0][0] = scaledMoved.m[1][1] = scaledMoved.m[2][2] = 2;
    scaledMoved.m[3][0] = 10;
    // Turned 90 degrees about z, then raised by 1: model (1, 1, 2) stands at
    // (-1, 1, 3).
    CMatrix turnedRaised;
    turnedRaised.RotationZ(90);
    turnedRaised.m[3][2] = 1;
    const struct {
        const char* what;
        const CMatrix* world;
        CVector3 start, end;
        Expect expect;
    } segments[] = {
        {"scaled and moved", &scaledMoved, {12, 2, 10}, {12, 2, -10}, {1, {12, 2, 4}, 1, 1}},
        {"where it stood before moving", &scaledMoved, {1, 1, 10}, {1, 1, -10}, {0, {}, 0, 0}},
        {"turned and raised", &turnedRaised, {-1, 1, 10}, {-1, 1, -10}, {1, {-1, 1, 3}, 1, 1}},
    };
    for (const auto& c : segments) {
        CVector3 hit, normal;
        u32 triangle = 99, range = 99;
        const u32 r =
            IntersectSegmentMeshAt(c.world, &c.start, &c.end, &mesh_, 1, &hit, &normal, &triangle, &range);
        Check(r, hit, normal, triangle, range, c.expect, c.what);
    }
    // A sphere of radius 2 at (12, 2, 5) is one of radius 1 at (1, 1, 2.5)
    // in the model: it touches U, at (12, 2, 4) in the world.
    CVector3 centre(12, 2, 5), hit, normal;
    u32 triangle = 99, range = 99;
    const u32 r = IntersectSphereMeshAt(&scaledMoved, &centre, 2, &mesh_, 1, &hit, &normal, &triangle, &range);
    Check(r, hit, normal, triangle, range, {1, {12, 2, 4}, 1, 1}, "sphere, scaled and moved");
    // A radius of 0.9 in the world is 0.45 in the model: short of U.
    EXPECT_EQ(IntersectSphereMeshAt(&scaledMoved, &centre, 0.9f, &mesh_, 1, &hit, nullptr, nullptr, nullptr), 0u);
    const CMatrix flat(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(IntersectSphereMeshAt(&flat, &centre, 1, &mesh_, 1, &hit, nullptr, nullptr, nullptr), 0u);
}

TEST_F(MeshCollisionTest, TrianglesNamingMissingVerticesAreSkipped)
{
    CModelObject& object = *mesh_.GetModelObject(0);
    // Cell 1 now also holds a triangle with an index past the nine vertices,
    // ahead of U.
    CModelBlock* cell = object.GetCollisionGrid()->GetCellAt(1);
    const u32 indices[] = {6, 7, 8, 3, 40, 5, 3, 4, 5};
    cell->GetIndexList()->Indices.SetArray(indices, 9);
    const CVector3 start(1, 1, 5), end(1, 1, 1);
    CVector3 hit;
    u32 triangle = 99;
    EXPECT_EQ(IntersectSegmentMesh(&start, &end, &mesh_, 1, &hit, nullptr, &triangle, nullptr), 1u);
    EXPECT_EQ(triangle, 2u);
    EXPECT_NEAR(hit.z, 2.0f, 1e-6f);
}

}  // namespace ORV_TEST_FILE_ID
