// Triangle lists on the fake device: triangles split at a point and along
// planes (every piece wound as its triangle; the inserted indices and
// vertices seen in the lists), vertices welded, lists merged, and drawn.
#include "engine/core/Matrix.h"
#include "engine/graphics/Shader.h"
#include "engine/model/TriangleList.h"
#include "engine/model/tests/ModelDeviceTest.h"
#include "host/render/FakeRender.h"

#include <gtest/gtest.h>

#include <vector>

namespace ORV_TEST_FILE_ID {

namespace render = host::render;

}  // namespace ORV_TEST_FILE_ID

// Ranges compared as (start, count) pairs.
static bool operator==(const CPoint2& a, const CPoint2& b) { return a.first == b.first && a.second == b.second; }

namespace ORV_TEST_FILE_ID {

namespace {

template <class T>
std::vector<T> All(const CList<T>& list) { return std::vector<T>(list.GetData(), list.GetData() + list.GetCount()); }
std::vector<u32> Indices(const CModelBase& part) { return All(part.GetIndexList()->Indices); }
std::vector<CPoint2> Ranges(const CModelBase& part) { return All(part.GetIndexList()->Ranges); }

CModelVertex& Vertex(const CModelBase& part, u32 i) { return *part.GetVertexList()->GetAt(i); }

// z of the face normal of triangle t: its winding seen from +z.
f32 Winding(const CModelBase& part, u32 t)
{
    const u32* i = part.GetIndexList()->Indices.GetData() + 3 * t;
    const CVector3 a = Vertex(part, i[0]).Position, b = Vertex(part, i[1]).Position, c = Vertex(part, i[2]).Position;
    return (b - a).Cross(c - b).z;
}

class TriangleListTest : public model_test::ModelDeviceTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(device_->BeginScene(), 1);
        fake_->ClearLog();
    }
    void TearDown() override { device_->EndScene(); }

    // The right triangle a (0,0), b (2,0), c (0,2) facing +z, one range.
    static void MakeTriangle(CTriangleList& list, u32 flags = kVertexPosition | kVertexNormal)
    {
        ASSERT_EQ(list.Create(1, 3, 1, flags), 1);
        for (u32 i = 0; i < 3; ++i) {
            Vertex(list, i).Position.Set(i == 1 ? 2 : 0, i == 2 ? 2 : 0, 0);
            Vertex(list, i).Normal.Set(0, 0, 1);
        }
        const u32 tri[3] = {0, 1, 2};
        list.GetIndexList()->Indices.SetArray(tri, 3);
    }
    // Every triangle faces +z and together they cover the triangle's area 2.
    static void ExpectCover(const CTriangleList& list, const char* what)
    {
        f32 area = 0;
        for (u32 t = 0; t < list.GetIndexList()->Indices.GetCount() / 3; ++t) {
            EXPECT_GT(Winding(list, t), 0.0f) << what << " " << t;
            area += Winding(list, t) / 2;
        }
        EXPECT_NEAR(area, 2.0f, 1e-5f) << what;
    }
};

}  // namespace

TEST_F(TriangleListTest, CreateMakesZeroedListsAndTheirBuffers)
{
    CTriangleList list;
    ASSERT_EQ(list.Create(2, 4, 3, kVertexPosition | kVertexNormal), 1);
    EXPECT_EQ(Ranges(list), (std::vector<CPoint2>{{0, 6}, {0, 0}, {0, 0}}));
    // Skin data takes its 20 bytes in the stride too, so the buffer packs.
    ASSERT_EQ(list.Create(1, 3, 1, kVertexPosition | kVertexSkin), 1);
    EXPECT_EQ(list.GetVertexList()->Stride, 32u);
    EXPECT_EQ(list.CreateBuffers(), 1);

    fake_->FailCall("CreateVertexBuffer", 1, render::Result::OutOfMemory);
    EXPECT_EQ(list.Create(1, 3, 1, kVertexPosition), 0);
    fake_->ClearFailures();
}

TEST_F(TriangleListTest, SplittingAtAPointMakesThreeTrianglesWoundAsTheOne)
{
    CTriangleList list;
    MakeTriangle(list);
    Vertex(list, 0).TexCoord0[0] = 0.25f;
    ASSERT_EQ(list.SplitTriangleAtPoint(0, CVector3(0.5f, 0.5f, 0)), 1);
    EXPECT_EQ(Indices(list), (std::vector<u32>{1, 2, 3, 2, 0, 3, 0, 1, 3}));
    EXPECT_EQ(Ranges(list), (std::vector<CPoint2>{{0, 9}}));
    EXPECT_EQ(Vertex(list, 3).TexCoord0[0], 0.25f);
    ExpectCover(list, "at a point");
    EXPECT_TRUE(list.BuffersHoldLists());   // made again for the new sizes

    EXPECT_EQ(list.SplitTriangleAtPoint(3, CVector3()), 0);   // past the list
    list.GetIndexList()->Indices.GetData()[0] = 9;              // names no vertex
    EXPECT_EQ(list.SplitTriangleAtPoint(0, CVector3()), 0);
    EXPECT_EQ(list.GetVertexCount(), 4u);
}

TEST_F(TriangleListTest, APlaneCutsTrianglesIntoPiecesOnEitherSide)
{
    const f32 r = 0.70710678f;
    // Which edges the plane crosses, at u and w.
    const struct { const char* name; CVector3 normal, point; std::vector<u32> indices; std::vector<CVector3> added; } cases[] = {
        {"x = 1: ab bc", {1, 0, 0}, {1, 0, 0}, {3, 1, 4, 3, 4, 2, 0, 3, 2}, {{1, 0, 0}, {1, 1, 0}}},
        {"y = 1: bc ca", {0, 1, 0}, {0, 1, 0}, {1, 3, 4, 3, 2, 4, 0, 1, 4}, {{1, 1, 0}, {0, 1, 0}}},
        {"x + y = 0.5: ca ab", {r, r, 0}, {0.5f, 0, 0}, {3, 2, 4, 0, 3, 4, 3, 1, 2}, {{0.5f, 0, 0}, {0, 0.5f, 0}}},
        {"apart", {1, 0, 0}, {3, 0, 0}, {0, 1, 2}, {}},
    };
    for (const auto& k : cases) {
        CTriangleList list;
        MakeTriangle(list);
        ASSERT_EQ(list.SplitByPlane(&k.normal, &k.point), 1) << k.name;
        EXPECT_EQ(Indices(list), k.indices) << k.name;
        ASSERT_EQ(list.GetVertexCount(), 3 + k.added.size()) << k.name;
        for (size_t v = 0; v < k.added.size(); ++v) {
            EXPECT_NEAR((Vertex(list, u32(3 + v)).Position - k.added[v]).Length(), 0.0f, 1e-6f) << k.name;
        }
        ExpectCover(list, k.name);
        EXPECT_EQ(Ranges(list)[0].second, list.GetIndexList()->Indices.GetCount()) << k.name;
    }
    CTriangleList list;
    MakeTriangle(list);
    EXPECT_EQ(list.SplitByPlane(nullptr, &Vertex(list, 0).Position), 0);
}

TEST_F(TriangleListTest, WeldingMergesOnlyVerticesAlikeInEveryWay)
{
    const struct { const char* name; void (*change)(CModelVertex&); bool merged; } cases[] = {
        {"alike", [](CModelVertex&) {}, true},
        {"far", [](CModelVertex& v) { v.Position.x += 0.5f; }, false},
        {"uv", [](CModelVertex& v) { v.TexCoord3[0] = 0.001f; }, false},
        {"normal", [](CModelVertex& v) { v.Normal.Set(0, 1, 1); }, false},
        {"bones", [](CModelVertex& v) { v.Weight[1] = 0.5f; }, false},
    };
    for (const auto& k : cases) {
        CTriangleList list;
        ASSERT_EQ(list.Create(2, 4, 1, kVertexPosition), 1);
        // Vertex 3 lies 0.01 from vertex 1.
        for (u32 i = 0; i < 4; ++i) {
            Vertex(list, i).Position.Set(i == 3 ? 1.01f : f32(i), 0, 0);
            Vertex(list, i).Normal.Set(0, 0, 1);
        }
        k.change(Vertex(list, 3));
        const u32 tri[6] = {0, 1, 2, 2, 3, 0};
        list.GetIndexList()->Indices.SetArray(tri, 6);
        ASSERT_EQ(list.WeldVertices(0.1f, 10.0f, 0.5f), 1);
        ASSERT_EQ(list.GetVertexCount(), k.merged ? 3u : 4u) << k.name;
        if (!k.merged) continue;
        EXPECT_FLOAT_EQ(Vertex(list, 1).Position.x, 1.005f);
        EXPECT_EQ(Indices(list), (std::vector<u32>{0, 1, 2, 2, 1, 0}));
    }
}

// Indices join the range holding their position, else the one they extend,
// else the first range ending past it, else range 0; the block lands
// reversed, and the ranges after the one that grew move past it in order.
TEST_F(TriangleListTest, AddedIndicesJoinTheirRangeAndLaterRangesMove)
{
    const u32 block[3] = {7, 8, 9};
    const struct {
        const char* what;
        std::vector<u32> indices;
        std::vector<CPoint2> ranges;
        u32 position;
        std::vector<u32> indicesAfter;
        std::vector<CPoint2> rangesAfter;
    } rows[] = {
        {"only range empty", {}, {{0, 0}}, 0, {9, 8, 7}, {{0, 3}}},
        {"all ranges empty", {}, {{0, 0}, {0, 0}}, 0, {9, 8, 7}, {{0, 3}, {3, 0}}},
        {"an empty range before", {1, 2, 3, 4, 5, 6}, {{0, 3}, {3, 0}, {3, 3}}, 3, {1, 2, 3, 9, 8, 7, 4, 5, 6},
            {{0, 3}, {3, 0}, {3, 6}}},
        {"appended to a range", {1, 2, 3}, {{0, 3}, {3, 0}}, 3, {1, 2, 3, 9, 8, 7}, {{0, 6}, {6, 0}}},
        {"inside the second", {1, 2, 3, 4, 5, 6}, {{0, 3}, {3, 3}}, 3, {1, 2, 3, 9, 8, 7, 4, 5, 6}, {{0, 3}, {3, 6}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        CTriangleList list;
        ASSERT_EQ(list.Create(0, 10, u32(row.ranges.size()), kVertexPosition), 1);
        list.GetIndexList()->Indices.SetArray(row.indices.data(), u32(row.indices.size()));
        list.GetIndexList()->Ranges.SetArray(row.ranges.data(), u32(row.ranges.size()));
        ASSERT_EQ(list.AddIndices(3, row.position, block), 1);
        EXPECT_EQ(Indices(list), row.indicesAfter);
        EXPECT_EQ(Ranges(list), row.rangesAfter);
    }
}

TEST_F(TriangleListTest, MergingKeepsTheWindingOfTheOtherList)
{
    const struct { bool into; std::vector<u32> indices; std::vector<CPoint2> ranges; } cases[] = {
        {true, {3, 4, 5, 0, 1, 2, 5, 4, 3}, {{0, 6}, {6, 3}}},   // range 0 takes the first in front of its own
        {false, {0, 1, 2, 3, 4, 5, 5, 4, 3}, {{0, 3}, {3, 3}, {6, 3}}},
    };
    for (const auto& k : cases) {
        CTriangleList list, other;
        MakeTriangle(list);
        MakeTriangle(other);
        // The other list: two ranges, the second with a material of its own.
        const u32 two[6] = {0, 1, 2, 2, 1, 0};
        other.GetIndexList()->Indices.SetArray(two, 6);
        const CPoint2 ranges[2] = {{0, 3}, {3, 3}};
        other.GetIndexList()->Ranges.SetArray(ranges, 2);
        void* blend = new CModelMaterial();
        static_cast<CModelMaterial*>(blend)->BlendMode = 4;
        other.GetMaterialList()->Add(&blend);
        ASSERT_EQ(list.Merge(other, k.into), 1);
        EXPECT_EQ(list.GetVertexCount(), 6u);
        EXPECT_EQ(Indices(list), k.indices);
        EXPECT_EQ(Ranges(list), k.ranges);
        const CMaterialList& materials = *list.GetMaterialList();
        ASSERT_EQ(materials.GetCount(), k.ranges.size());
        EXPECT_EQ(static_cast<CModelMaterial*>(materials.GetAt(materials.GetCount() - 1))->BlendMode, 4u);
    }
    // A list whose indices name no vertex is refused; a list takes itself.
    CTriangleList list, bad;
    MakeTriangle(list);
    MakeTriangle(bad);
    bad.GetIndexList()->Indices.GetData()[2] = 3;
    EXPECT_EQ(list.Merge(bad, true), 0);
    ASSERT_EQ(list.Merge(list, true), 1);
    EXPECT_EQ(Indices(list), (std::vector<u32>{3, 4, 5, 0, 1, 2}));
}

TEST_F(TriangleListTest, DrawingThroughTheFixedPipelineAndAnEffect)
{
    CTriangleList list;
    MakeTriangle(list, kVertexPosition);   // no normals: drawn unlit
    ASSERT_EQ(list.CreateBuffers(), 1);
    device_->SetLighting(1);
    const CMatrix world;
    // World, material and blend mode: as for model objects (ModelDrawTest).
    ASSERT_EQ(list.Draw(&world, nullptr, false), 1);
    EXPECT_TRUE(fake_->HasSequence({render::CallMatch("SetRenderState").With("state", render::kRsLighting).With("value", 0),
        render::CallMatch("DrawIndexedPrimitive"),
        render::CallMatch("SetRenderState").With("state", render::kRsLighting).With("value", 1)}));
    // Through the list's effect, skinned.
    list.SetShader(GetDefaultShader());
    ASSERT_EQ(list.Draw(&world, nullptr, true), 1);
    EXPECT_EQ(render::FakeRender::AsFake(GetDefaultShader()->GetEffect())->CurrentTechniqueName(),
        "SkinningNonTextureVersion_20");
    // Lists edited since the buffers were made are not drawn; nor are lists
    // without buffers.
    ASSERT_EQ(list.SplitByPlane(&Vertex(list, 1).Normal, &Vertex(list, 0).Position), 1);   // nothing cut
    list.GetIndexList()->Indices.SetAt(0, 3);
    EXPECT_EQ(list.Draw(&world, nullptr, false), 0);
    CTriangleList empty;
    EXPECT_EQ(empty.Draw(&world, nullptr, false), 0);
}

}  // namespace ORV_TEST_FILE_ID
