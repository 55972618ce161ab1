// Triangle lists on the fake device: made to a size, indices inserted into
// their ranges, triangles split at a point and along planes (every piece
// wound as its triangle), vertices welded, lists merged, and drawn.
#include "engine/core/Matrix.h"
#include "engine/graphics/Shader.h"
#include "engine/model/TriangleList.h"
#include "engine/model/tests/ModelDeviceTest.h"
#include "host/render/FakeRender.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace render = host::render;

// Ranges compared as (start, count) pairs.
static bool operator==(const CPoint2& a, const CPoint2& b) { return a.first == b.first && a.second == b.second; }

namespace {

std::vector<u32> Indices(const CModelBase& part)
{
    const CList<u32>& list = part.GetIndexList()->Indices;
    return std::vector<u32>(list.GetData(), list.GetData() + list.GetCount());
}

std::vector<CPoint2> Ranges(const CModelBase& part)
{
    const CList<CPoint2>& list = part.GetIndexList()->Ranges;
    return std::vector<CPoint2>(list.GetData(), list.GetData() + list.GetCount());
}

CModelVertex& Vertex(const CModelBase& part, u32 i) { return *part.GetVertexList()->GetAt(i); }

// z of the face normal of triangle t: its winding seen from +z.
f32 Winding(const CModelBase& part, u32 t)
{
    const u32* i = part.GetIndexList()->Indices.GetData() + 3 * t;
    const CVector3 a = Vertex(part, i[0]).Position, b = Vertex(part, i[1]).Position, c = Vertex(part, i[2]).Position;
    return (b - a).Cross(c - b).z;
}

f32 Area(const CModelBase& part, u32 t) { return std::fabs(Winding(part, t)) / 2; }

class TriangleListTest : public model_test::ModelDeviceTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(device_->BeginScene(), 1);
        fake_->ClearLog();
    }
    void TearDown() override { device_->EndScene(); }

    // The right triangle a (0,0), b (2,0), c (0,2) facing +z, one range,
    // one material.
    static void MakeTriangle(CTriangleList& list, u32 flags = kVertexPosition | kVertexNormal)
    {
        ASSERT_EQ(list.Create(1, 3, 1, flags), 1);
        const f32 xy[3][2] = {{0, 0}, {2, 0}, {0, 2}};
        for (u32 i = 0; i < 3; ++i) {
            Vertex(list, i).Position.Set(xy[i][0], xy[i][1], 0);
            Vertex(list, i).Normal.Set(0, 0, 1);
        }
        const u32 tri[3] = {0, 1, 2};
        list.GetIndexList()->Indices.SetArray(tri, 3);
    }

};

}  // namespace

TEST_F(TriangleListTest, CreateMakesZeroedListsAndTheirBuffers)
{
    CTriangleList list;
    ASSERT_EQ(list.Create(2, 4, 3, kVertexPosition | kVertexNormal), 1);
    EXPECT_EQ(Indices(list), std::vector<u32>(6, 0));
    EXPECT_EQ(Ranges(list), (std::vector<CPoint2>{{0, 6}, {0, 0}, {0, 0}}));
    ASSERT_EQ(list.GetMaterialList()->GetCount(), 3u);
    EXPECT_TRUE(list.BuffersHoldLists());

    // Skin data takes its 20 bytes in the stride too, so the buffer packs.
    ASSERT_EQ(list.Create(1, 3, 1, kVertexPosition | kVertexSkin), 1);
    EXPECT_EQ(list.GetVertexList()->Stride, 32u);
    EXPECT_EQ(list.CreateBuffers(), 1);

    fake_->FailCall("CreateVertexBuffer", 1, render::Result::OutOfMemory);
    EXPECT_EQ(list.Create(1, 3, 1, kVertexPosition), 0);
    fake_->ClearFailures();
}

TEST_F(TriangleListTest, InsertedIndicesLandReversedInTheRangeThatHoldsThem)
{
    const struct {
        u32 position;
        std::vector<u32> indices;
        std::vector<CPoint2> ranges;
    } cases[] = {
        {0, {7, 8, 9, 0, 1, 2, 3, 4, 5}, {{0, 6}, {6, 3}}},   // before range 0
        {3, {0, 1, 2, 7, 8, 9, 3, 4, 5}, {{0, 3}, {3, 6}}},   // at range 1's start
        {4, {0, 1, 2, 3, 7, 8, 9, 4, 5}, {{0, 3}, {3, 6}}},   // inside range 1
        {6, {0, 1, 2, 3, 4, 5, 7, 8, 9}, {{0, 3}, {3, 6}}},   // after the last: it grows
    };
    for (const auto& k : cases) {
        CTriangleList list;
        ASSERT_EQ(list.Create(2, 10, 2, kVertexPosition), 1);
        const u32 start[6] = {0, 1, 2, 3, 4, 5};
        list.GetIndexList()->Indices.SetArray(start, 6);
        const CPoint2 ranges[2] = {{0, 3}, {3, 3}};
        list.GetIndexList()->Ranges.SetArray(ranges, 2);
        const u32 added[3] = {9, 8, 7};
        ASSERT_EQ(list.AddIndices(3, k.position, added), 1);
        EXPECT_EQ(Indices(list), k.indices) << k.position;
        EXPECT_EQ(Ranges(list), k.ranges) << k.position;
    }
}

TEST_F(TriangleListTest, ASplitVertexBlendsAlongItsEdge)
{
    CTriangleList list;
    ASSERT_EQ(list.Create(0, 0, 0, kVertexPosition), 1);
    CModelVertex a, b;
    a.Position.Set(0, 0, 0);
    b.Position.Set(4, 0, 0);
    a.Color = CVector4(1, 0, 0, 1);
    b.Color = CVector4(0, 0, 1, 1);
    a.Normal.Set(0, 0, 1);
    b.Normal.Set(1, 0, 0);
    a.TexCoord2[1] = 1;
    a.BoneIndex[0] = 3;
    b.BoneIndex[0] = 5;
    ASSERT_EQ(list.AddSplitVertex(a, b, CVector3(1, 0, 0)), 1);
    const CModelVertex& v = Vertex(list, 0);
    EXPECT_EQ(v.Position.x, 1.0f);
    EXPECT_EQ(v.Color.z, 0.25f);
    EXPECT_EQ(v.Normal.x, 0.25f);   // blended, not made unit again
    EXPECT_EQ(v.Normal.z, 0.75f);
    EXPECT_EQ(v.TexCoord2[1], 0.75f);
    EXPECT_EQ(v.BoneIndex[0], 3);
    // An edge of no length: the copy of a, moved.
    ASSERT_EQ(list.AddSplitVertex(a, a, CVector3(0, 1, 0)), 1);
    EXPECT_EQ(Vertex(list, 1).Color.x, 1.0f);
    EXPECT_EQ(Vertex(list, 1).Position.y, 1.0f);
}

TEST_F(TriangleListTest, SplittingAtAPointMakesThreeTrianglesWoundAsTheOne)
{
    CTriangleList list;
    MakeTriangle(list);
    Vertex(list, 0).Color = CVector4(0.5f, 0.5f, 0.5f, 1);
    Vertex(list, 0).TexCoord0[0] = 0.25f;
    ASSERT_EQ(list.SplitTriangleAtPoint(0, CVector3(0.5f, 0.5f, 0)), 1);
    EXPECT_EQ(Indices(list), (std::vector<u32>{1, 2, 3, 2, 0, 3, 0, 1, 3}));
    EXPECT_EQ(Ranges(list), (std::vector<CPoint2>{{0, 9}}));
    const CModelVertex& n = Vertex(list, 3);
    EXPECT_EQ(n.Position.x, 0.5f);
    EXPECT_EQ(n.TexCoord0[0], 0.25f);
    f32 area = 0;
    for (u32 t = 0; t < 3; ++t) {
        EXPECT_GT(Winding(list, t), 0.0f) << t;
        area += Area(list, t);
    }
    EXPECT_FLOAT_EQ(area, 2.0f);
    EXPECT_TRUE(list.BuffersHoldLists());   // made again for the new sizes

    EXPECT_EQ(list.SplitTriangleAtPoint(3, CVector3()), 0);   // past the list
    list.GetIndexList()->Indices.GetData()[0] = 9;              // names no vertex
    EXPECT_EQ(list.SplitTriangleAtPoint(0, CVector3()), 0);
    EXPECT_EQ(list.GetVertexCount(), 4u);
}

TEST_F(TriangleListTest, APlaneCutsTrianglesIntoPiecesOnEitherSide)
{
    const f32 r = 0.70710678f;
    const struct {
        const char* name;
        CVector3 normal, point;
        std::vector<u32> indices;
        std::vector<CVector3> added;
    } cases[] = {
        // x = 1 crosses a-b at u (1,0) and b-c at w (1,1).
        {"ab bc", {1, 0, 0}, {1, 0, 0}, {3, 1, 4, 3, 4, 2, 0, 3, 2}, {{1, 0, 0}, {1, 1, 0}}},
        // y = 1 crosses b-c at u (1,1) and c-a at w (0,1).
        {"bc ca", {0, 1, 0}, {0, 1, 0}, {1, 3, 4, 3, 2, 4, 0, 1, 4}, {{1, 1, 0}, {0, 1, 0}}},
        // x + y = 0.5 crosses a-b at u (0.5,0) and c-a at w (0,0.5).
        {"ca ab", {r, r, 0}, {0.5f, 0, 0}, {3, 2, 4, 0, 3, 4, 3, 1, 2}, {{0.5f, 0, 0}, {0, 0.5f, 0}}},
        // Clear of the triangle.
        {"apart", {1, 0, 0}, {3, 0, 0}, {0, 1, 2}, {}},
    };
    for (const auto& k : cases) {
        CTriangleList list;
        MakeTriangle(list);
        ASSERT_EQ(list.SplitByPlane(&k.normal, &k.point), 1) << k.name;
        EXPECT_EQ(Indices(list), k.indices) << k.name;
        ASSERT_EQ(list.GetVertexCount(), 3 + k.added.size()) << k.name;
        for (size_t v = 0; v < k.added.size(); ++v) {
            EXPECT_NEAR(Vertex(list, u32(3 + v)).Position.x, k.added[v].x, 1e-6f) << k.name;
            EXPECT_NEAR(Vertex(list, u32(3 + v)).Position.y, k.added[v].y, 1e-6f) << k.name;
        }
        f32 area = 0;
        for (u32 t = 0; t < list.GetIndexList()->Indices.GetCount() / 3; ++t) {
            EXPECT_GT(Winding(list, t), 0.0f) << k.name << " " << t;
            area += Area(list, t);
        }
        EXPECT_NEAR(area, 2.0f, 1e-5f) << k.name;
        EXPECT_EQ(Ranges(list)[0].second, list.GetIndexList()->Indices.GetCount()) << k.name;
    }
    CTriangleList list;
    MakeTriangle(list);
    EXPECT_EQ(list.SplitByPlane(nullptr, &Vertex(list, 0).Position), 0);
}

TEST_F(TriangleListTest, WeldingMergesOnlyVerticesAlikeInEveryWay)
{
    const struct {
        const char* name;
        void (*change)(CModelVertex&);
        bool merged;
    } cases[] = {
        {"alike", [](CModelVertex&) {}, true},
        {"far", [](CModelVertex& v) { v.Position.x += 0.5f; }, false},
        {"uv", [](CModelVertex& v) { v.TexCoord3[0] = 0.001f; }, false},
        {"normal", [](CModelVertex& v) { v.Normal.Set(0, 1, 1); }, false},
        {"colour", [](CModelVertex& v) { v.Color.w = 0; }, false},
        {"bones", [](CModelVertex& v) { v.Weight[1] = 0.5f; }, false},
    };
    for (const auto& k : cases) {
        CTriangleList list;
        ASSERT_EQ(list.Create(2, 4, 1, kVertexPosition), 1);
        for (u32 i = 0; i < 4; ++i) {
            Vertex(list, i).Position.Set(f32(i), 0, 0);
            Vertex(list, i).Normal.Set(0, 0, 1);
            Vertex(list, i).Color = CVector4(1, 1, 1, 1);
        }
        // Vertex 3 lies 0.01 from vertex 1.
        Vertex(list, 3).Position.Set(1.01f, 0, 0);
        k.change(Vertex(list, 3));
        const u32 tri[6] = {0, 1, 2, 2, 3, 0};
        list.GetIndexList()->Indices.SetArray(tri, 6);
        ASSERT_EQ(list.WeldVertices(0.1f, 10.0f, 0.5f), 1);
        if (!k.merged) {
            EXPECT_EQ(list.GetVertexCount(), 4u) << k.name;
            continue;
        }
        ASSERT_EQ(list.GetVertexCount(), 3u) << k.name;
        EXPECT_FLOAT_EQ(Vertex(list, 1).Position.x, 1.005f);
        EXPECT_EQ(Indices(list), (std::vector<u32>{0, 1, 2, 2, 1, 0}));
    }
}

TEST_F(TriangleListTest, MergingKeepsTheWindingOfTheOtherList)
{
    for (bool into : {true, false}) {
        CTriangleList list, other;
        MakeTriangle(list);
        MakeTriangle(other);
        // The other list: two ranges, the second with a textured-looking
        // material of its own.
        const u32 two[6] = {0, 1, 2, 2, 1, 0};
        other.GetIndexList()->Indices.SetArray(two, 6);
        const CPoint2 ranges[2] = {{0, 3}, {3, 3}};
        other.GetIndexList()->Ranges.SetArray(ranges, 2);
        auto* blend = new CModelMaterial();
        blend->BlendMode = 4;
        void* slot = blend;
        other.GetMaterialList()->Add(&slot);
        ASSERT_EQ(list.Merge(other, into), 1);
        EXPECT_EQ(list.GetVertexCount(), 6u);
        const std::vector<CPoint2> merged = Ranges(list);
        if (into) {
            // Range 0 takes the first triangle, as wound, in front of its
            // own; the second becomes a range of its own.
            EXPECT_EQ(Indices(list), (std::vector<u32>{3, 4, 5, 0, 1, 2, 5, 4, 3}));
            EXPECT_EQ(merged, (std::vector<CPoint2>{{0, 6}, {6, 3}}));
        } else {
            EXPECT_EQ(Indices(list), (std::vector<u32>{0, 1, 2, 3, 4, 5, 5, 4, 3}));
            EXPECT_EQ(merged, (std::vector<CPoint2>{{0, 3}, {3, 3}, {6, 3}}));
        }
        const CMaterialList& materials = *list.GetMaterialList();
        ASSERT_EQ(materials.GetCount(), merged.size());
        auto* copied = static_cast<CModelMaterial*>(materials.GetAt(materials.GetCount() - 1));
        EXPECT_EQ(copied->BlendMode, 4u);
        EXPECT_NE(copied, blend);
        EXPECT_GT(Winding(list, 0), 0.0f);
    }
}

TEST_F(TriangleListTest, MergeRefusesIndicesNamingNoVertexAndTakesItself)
{
    CTriangleList list, bad;
    MakeTriangle(list);
    MakeTriangle(bad);
    bad.GetIndexList()->Indices.GetData()[2] = 3;
    EXPECT_EQ(list.Merge(bad, true), 0);
    EXPECT_EQ(list.GetVertexCount(), 3u);

    ASSERT_EQ(list.Merge(list, true), 1);
    EXPECT_EQ(list.GetVertexCount(), 6u);
    EXPECT_EQ(Indices(list), (std::vector<u32>{3, 4, 5, 0, 1, 2}));
}

TEST_F(TriangleListTest, DrawingThroughTheFixedPipelineAndAnEffect)
{
    CTriangleList list;
    MakeTriangle(list, kVertexPosition);   // no normals: drawn unlit
    ASSERT_EQ(list.CreateBuffers(), 1);
    CModelMaterial& material = *static_cast<CModelMaterial*>(list.GetMaterialList()->GetAt(0));
    material.BlendMode = 3;
    device_->SetLighting(1);
    CMatrix world;
    world.m[3][0] = 4;
    const CVector4 colour(0.5f, 1, 1, 1);
    ASSERT_EQ(list.Draw(&world, &colour, false), 1);
    EXPECT_TRUE(fake_->HasSequence({render::CallMatch("SetRenderState").With("state", render::kRsLighting).With("value", 0),
        render::CallMatch("DrawIndexedPrimitive"),
        render::CallMatch("SetRenderState").With("state", render::kRsLighting).With("value", 1)}));
    EXPECT_EQ(fake_->LastDevice()->Transform(render::kTransformWorld).m[3][0], 4.0f);
    EXPECT_EQ(fake_->LastDevice()->CurrentMaterial().diffuse.r, 0.5f);
    EXPECT_EQ(device_->GetRenderStates()->blendMode, 1u);   // put back

    // Through the list's effect, skinned.
    fake_->ClearLog();
    list.SetShader(GetDefaultShader());
    ASSERT_EQ(list.Draw(&world, nullptr, true), 1);
    render::FakeEffect* effect = render::FakeRender::AsFake(GetDefaultShader()->GetEffect());
    EXPECT_EQ(effect->CurrentTechniqueName(), "SkinningNonTextureVersion_20");

    // Lists edited since the buffers were made are not drawn; nor are lists
    // without buffers.
    ASSERT_EQ(list.SplitByPlane(&Vertex(list, 1).Normal, &Vertex(list, 0).Position), 1);   // nothing cut
    list.GetIndexList()->Indices.SetAt(0, 3);
    EXPECT_EQ(list.Draw(&world, nullptr, false), 0);
    CTriangleList empty;
    EXPECT_EQ(empty.Draw(&world, nullptr, false), 0);
}
