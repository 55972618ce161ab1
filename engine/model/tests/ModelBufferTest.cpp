// Model parts on the fake render device: buffers, their packed contents,
// the declaration, 32-bit indices where 16 bits do not reach, indices
// checked against the vertices, software skinning and failed device calls.
#include "engine/core/Endian.h"
#include "engine/model/AnalysMesh.h"
#include "engine/model/tests/ModelDeviceTest.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelObject.h"
#include "engine/model/tests/ModelGolden.h"
#include "host/render/FakeRender.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace render = host::render;

namespace {

class ModelBufferTest : public model_test::ModelDeviceTest {
protected:
    void SetUp() override
    {
        ASSERT_NE(GetGraphicDevice(), nullptr);
        fake_->ClearFailures();
        fake_->ClearLog();
    }

    // A part of n vertices at (i, 2i, 3i) with normal (0, 1, 0).
    static void Fill(CModelBase& part, u32 n, u32 flags)
    {
        CModelVertexList& v = *part.GetVertexList();
        v.Resize(n);
        v.FormatFlags = flags;
        v.Stride = CModelVertexFormat::GetStride(flags) + ((flags & kVertexSkin) ? kVertexSkinBytes : 0);
        for (u32 i = 0; i < n; ++i) {
            v.GetAt(i)->Position.Set(f32(i), f32(2 * i), f32(3 * i));
            v.GetAt(i)->Normal.Set(0, 1, 0);
            v.GetAt(i)->TexCoord0[0] = 0.5f;
        }
    }
    static void SetIndices(CModelBase& part, std::vector<u32> indices, std::vector<CPoint2> ranges = {})
    {
        part.GetIndexList()->Indices.SetArray(indices.data(), u32(indices.size()));
        part.GetIndexList()->Ranges.SetArray(ranges.data(), u32(ranges.size()));
    }

    template <class Buffer>
    static std::vector<u8> Contents(Buffer* buffer)
    {
        render::BufferDesc desc;
        if (!buffer || buffer->GetDesc(desc) != render::Result::Ok) return {};
        void* data = nullptr;
        if (buffer->Lock(0, 0, &data, render::kLockReadOnly) != render::Result::Ok) return {};
        std::vector<u8> bytes(static_cast<u8*>(data), static_cast<u8*>(data) + desc.bytes);
        buffer->Unlock();
        return bytes;
    }
    // The object's reference count, seen through AddRef.
    static u32 Refs(render::Object* object)
    {
        const u32 count = object->AddRef();
        object->Release();
        return count - 1;
    }
    static f32 FloatAt(const std::vector<u8>& bytes, size_t at)
    {
        f32 f;
        const u32 bits = GetLe32(&bytes[at]);
        std::memcpy(&f, &bits, 4);
        return f;
    }

};

}  // namespace

// The declaration's elements as (usage, offset) pairs.
std::vector<std::pair<u32, u32>> Declared(const CModelObject& object)
{
    render::VertexElement elements[16];
    const u32 count = object.GetVertexDeclaration()->GetElementCount();
    object.GetVertexDeclaration()->GetElements(elements, 16);
    std::vector<std::pair<u32, u32>> out;
    for (u32 i = 0; i < count && i < 16; ++i) out.emplace_back(u32(elements[i].usage), u32(elements[i].offset));
    return out;
}

TEST_F(ModelBufferTest, FinalizeMakesThePackedBuffersAndTheDeclaration)
{
    CModelObject object;
    Fill(object, 3, 0x1 | 0x2 | 0x4);
    SetIndices(object, {0, 1, 2}, {{0, 3}});
    ASSERT_EQ(object.Finalize(), 1);
    const std::vector<u8> v = Contents(object.GetVertexBuffer());
    ASSERT_EQ(v.size(), 96u);
    EXPECT_EQ(FloatAt(v, 32 * 2 + 4), 4.0f);    // vertex 2's y
    EXPECT_EQ(FloatAt(v, 32 * 2 + 24), 0.5f);   // its u
    EXPECT_EQ(object.GetIndexFormat(), render::kFormatIndex16);
    EXPECT_EQ(GetLe16(&Contents(object.GetIndexBuffer())[4]), 2u);
    EXPECT_EQ(Declared(object), (std::vector<std::pair<u32, u32>>{
        {render::kUsagePosition, 0}, {render::kUsageNormal, 12}, {render::kUsageTexCoord, 24}}));
}

TEST_F(ModelBufferTest, SkinDataMovesTheNormalBackToOffset32)
{
    CModelObject object;
    Fill(object, 2, 0x1 | 0x2 | 0x4 | 0x10);
    object.GetVertexList()->GetAt(1)->BoneIndex[0] = 3;
    object.GetVertexList()->GetAt(1)->BoneIndex[3] = 1;
    object.GetVertexList()->GetAt(1)->Weight[0] = 0.75f;
    SetIndices(object, {0, 1, 1}, {{0, 3}});
    ASSERT_EQ(object.Finalize(), 1);
    EXPECT_EQ(Declared(object), (std::vector<std::pair<u32, u32>>{{render::kUsagePosition, 0},
        {render::kUsageBlendWeight, 12}, {render::kUsageBlendIndices, 28}, {render::kUsageNormal, 32},
        {render::kUsageTexCoord, 44}}));
    const std::vector<u8> v = Contents(object.GetVertexBuffer());
    ASSERT_EQ(v.size(), 104u);
    EXPECT_EQ(FloatAt(v, 52 + 12), 0.75f);
    EXPECT_EQ(GetLe32(&v[52 + 28]), 0x01000003u);
    EXPECT_EQ(FloatAt(v, 52 + 36), 1.0f);
}

TEST_F(ModelBufferTest, IndicesPast16BitsGetA32BitBuffer)
{
    CModelObject object;
    Fill(object, 70000, 0x1);
    SetIndices(object, {0, 65536, 69999}, {{0, 3}});
    ASSERT_EQ(object.Finalize(), 1);
    EXPECT_EQ(object.GetIndexFormat(), render::kFormatIndex32);
    const std::vector<u8> i = Contents(object.GetIndexBuffer());
    ASSERT_EQ(i.size(), 12u);
    EXPECT_EQ(GetLe32(&i[4]), 65536u);

    // Exactly 65535 still fits 16 bits.
    CModelObject small;
    Fill(small, 65536, 0x1);
    SetIndices(small, {0, 1, 65535});
    ASSERT_EQ(small.Finalize(), 1);
    EXPECT_EQ(small.GetIndexFormat(), render::kFormatIndex16);
    EXPECT_EQ(GetLe16(&Contents(small.GetIndexBuffer())[4]), 65535u);
}

TEST_F(ModelBufferTest, IndicesAndRangesPastTheirListsAreRefused)
{
    const struct {
        const char* what;
        std::vector<u32> indices;
        std::vector<CPoint2> ranges;
        i32 result;
    } cases[] = {
        {"all within", {0, 1, 2}, {{0, 3}}, 1},
        {"an index at the vertex count", {0, 1, 3}, {{0, 3}}, 0},
        {"a range past the indices", {0, 1, 2}, {{0, 3}, {3, 3}}, 0},
        {"no indices at all", {}, {}, 0},
    };
    for (const auto& c : cases) {
        CModelObject object;
        Fill(object, 3, 0x1);
        SetIndices(object, c.indices, c.ranges);
        EXPECT_EQ(object.Finalize(), c.result) << c.what;
    }
    CModelObject empty;
    Fill(empty, 0, 0x1);
    SetIndices(empty, {0, 0, 0});
    EXPECT_EQ(empty.Finalize(), 0);
}

TEST_F(ModelBufferTest, AStrideThatDoesNotMatchTheFormatIsNeverPacked)
{
    CModelObject object;
    Fill(object, 3, 0x1 | 0x2);
    object.GetVertexList()->Stride = 12;   // the normal would run into the next vertex
    SetIndices(object, {0, 1, 2});
    ASSERT_EQ(object.CreateVertexBuffer(), 1);
    EXPECT_EQ(object.UpdateVertexBuffer(), 0);
    EXPECT_EQ(object.SkinVertices(nullptr, 0), 0);
}

TEST_F(ModelBufferTest, SkinningWritesWhereTheFormatPutsEachElement)
{
    CMatrix palette[2];
    palette[0].m[3][0] = 10;                  // bone 0 moves by +10 x
    palette[1].RotationZ(90);                 // bone 1 turns about z
    const auto skin = [&palette](u32 flags) {
        CModelObject object;
        Fill(object, 4, flags);
        CModelVertexList& v = *object.GetVertexList();
        v.GetAt(1)->InfluenceCount = 2;       // half of each
        v.GetAt(1)->BoneIndex[1] = 1;
        v.GetAt(1)->Weight[0] = 0.5f;
        v.GetAt(1)->Weight[1] = 0.5f;
        v.GetAt(2)->InfluenceCount = 1;       // a bone past the palette only
        v.GetAt(2)->BoneIndex[0] = 7;
        v.GetAt(2)->Weight[0] = 1.0f;
        v.GetAt(3)->InfluenceCount = 2;       // one bone past it, one within
        v.GetAt(3)->BoneIndex[0] = 200;
        v.GetAt(3)->BoneIndex[1] = 0;
        v.GetAt(3)->Weight[0] = 1.0f;
        v.GetAt(3)->Weight[1] = 1.0f;
        SetIndices(object, {0, 1, 2, 1, 2, 3});
        EXPECT_EQ(object.Finalize(), 1);
        EXPECT_EQ(object.SkinVertices(palette, 2), 1);
        return Contents(object.GetVertexBuffer());
    };

    // With normals (0x13): position at 0, normal at 32, stride 44.
    std::vector<u8> v = skin(0x13);
    ASSERT_EQ(v.size(), 4u * 44);
    // Vertex 0 has no influence: its bind pose stays, not the origin.
    EXPECT_EQ(FloatAt(v, 0), 0.0f);
    // Vertex 1 at (1, 2, 3): 0.5 (11, 2, 3) + 0.5 (-2, 1, 3) = (4.5, 1.5, 3).
    EXPECT_NEAR(FloatAt(v, 44), 4.5f, 1e-5f);
    EXPECT_NEAR(FloatAt(v, 44 + 4), 1.5f, 1e-5f);
    // Its normal (0, 1, 0): 0.5 (0, 1, 0) + 0.5 (-1, 0, 0); translation left out.
    EXPECT_NEAR(FloatAt(v, 44 + 32), -0.5f, 1e-6f);
    EXPECT_NEAR(FloatAt(v, 44 + 36), 0.5f, 1e-6f);
    // Vertex 2's only bone is past the palette: it stays where it was.
    EXPECT_EQ(FloatAt(v, 88 + 4), 4.0f);
    // Vertex 3 keeps the bone it can use: (3, 6, 9) + 10 x.
    EXPECT_EQ(FloatAt(v, 132), 13.0f);

    // Without normals (0x11, texture coordinates at 32): nothing is written
    // over the texture coordinates or past the last vertex.
    v = skin(0x11 | 0x4);
    ASSERT_EQ(v.size(), 4u * 40);
    EXPECT_NEAR(FloatAt(v, 40), 4.5f, 1e-5f);
    for (u32 i = 0; i < 4; ++i) EXPECT_EQ(FloatAt(v, 40 * i + 32), 0.5f) << "vertex " << i;
}

TEST_F(ModelBufferTest, BlocksMakeIndexBuffersOverTheObjectsVertices)
{
    CModelObject object;
    Fill(object, 4, 0x1);
    SetIndices(object, {0, 1, 2, 2, 1, 3}, {{0, 6}});
    CModelCollisionGrid& grid = *object.GetCollisionGrid();
    grid.CountX = 3;
    grid.CountY = grid.CountZ = 1;
    grid.Cells = new CResourceList();
    for (std::vector<u32> cell : {std::vector<u32>{2, 1, 3}, std::vector<u32>{}, std::vector<u32>{0, 1, 4}}) {
        auto* block = new CModelBlock(CBox(), object.GetVertexList(), object.GetIndexList(), object.GetMaterialList());
        SetIndices(*block, cell);
        AppendElement(grid.Cells, block);
    }
    // A cell's failure does not fail the object.
    ASSERT_EQ(object.Finalize(), 1);
    EXPECT_EQ(GetLe16(&Contents(grid.GetCellAt(0)->GetIndexBuffer())[4]), 3u);
    EXPECT_EQ(grid.GetCellAt(0)->GetVertexBuffer(), nullptr);
    EXPECT_EQ(grid.GetCellAt(1)->CreateBuffers(), 1);   // no indices, nothing to make
    EXPECT_EQ(grid.GetCellAt(1)->GetIndexBuffer(), nullptr);
    // Index 4 is past the object's four vertices.
    EXPECT_EQ(grid.GetCellAt(2)->CreateBuffers(), 0);
}

TEST_F(ModelBufferTest, AFailedDeviceCallStopsTheFinishing)
{
    for (const char* op : {"CreateVertexBuffer", "CreateVertexDeclaration", "CreateIndexBuffer"}) {
        CLowModelObject low;
        Fill(low, 3, 0x1);
        SetIndices(low, {0, 1, 2});
        fake_->FailCall(op, 1, render::Result::OutOfMemory);
        EXPECT_EQ(low.Finalize(), 0) << op;
        fake_->ClearFailures();
        EXPECT_EQ(low.Finalize(), 1) << op;
    }
}

TEST_F(ModelBufferTest, CopiesShareTheDeviceObjects)
{
    CModelObject object;
    Fill(object, 3, 0x1);
    SetIndices(object, {0, 1, 2});
    ASSERT_EQ(object.Finalize(), 1);
    const u32 before = Refs(object.GetVertexBuffer());
    {
        CModelObject copy(object);
        EXPECT_EQ(copy.GetIndexBuffer(), object.GetIndexBuffer());
        EXPECT_EQ(Refs(object.GetVertexBuffer()), before + 1);
    }
    EXPECT_EQ(Refs(object.GetVertexBuffer()), before);
    object.Release();
    EXPECT_EQ(fake_->LastDevice()->LiveResources(render::kPoolManaged), 0u);
}

TEST_F(ModelBufferTest, BindBuffersGoesThroughTheDeviceCaches)
{
    CModelObject object;
    Fill(object, 3, 0x1 | 0x2);
    SetIndices(object, {0, 1, 2});
    ASSERT_EQ(object.Finalize(), 1);
    EXPECT_EQ(object.BindBuffers(), 1);
    render::FakeDevice& d = *fake_->LastDevice();
    EXPECT_EQ(d.StreamSource().buffer, object.GetVertexBuffer());
    EXPECT_EQ(d.StreamSource().stride, 24u);
    EXPECT_EQ(d.BoundIndices(), object.GetIndexBuffer());
    EXPECT_EQ(d.BoundDeclaration(), object.GetVertexDeclaration());
}

TEST_F(ModelBufferTest, ReadModelFinalizesOrLeavesTheMeshAlone)
{
    CAnalysMesh reader;
    const std::string golden = model_test::RigidGolden();
    ASSERT_EQ(reader.LoadFromMemory(golden.data(), u32(golden.size())), 1u);
    CMesh mesh;
    ASSERT_EQ(reader.ReadModel(&mesh, "Box", nullptr, nullptr, nullptr), 1);
    const CModelObject& box = *mesh.GetModelObject(0);
    EXPECT_NE(box.GetCollisionGrid()->GetCellAt(0)->GetIndexBuffer(), nullptr);

    // The same file with the object's index 2 pointing past its vertices.
    std::string damaged = golden;
    const size_t lastIndex = 23 + 8 + 4 + 80 + 8 + 4 + 8;
    ASSERT_EQ(GetLe32(&damaged[lastIndex]), 2u);
    PutLe32(&damaged[lastIndex], 3);
    CAnalysMesh second;
    ASSERT_EQ(second.LoadFromMemory(damaged.data(), u32(damaged.size())), 1u);
    EXPECT_EQ(second.ReadModel(&mesh, "Box", nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(mesh.GetModelObjectCount(), 1u);
    EXPECT_EQ(mesh.GetModelObject(0)->GetIndexList()->Indices.GetData()[2], 2u);
}

TEST(ModelBufferWithoutDevice, NothingIsMadeWithoutADevice)
{
    CModelObject object;
    object.GetVertexList()->Resize(3);
    object.GetVertexList()->FormatFlags = 1;
    object.GetVertexList()->Stride = 12;
    const u32 tri[3] = {0, 1, 2};
    object.GetIndexList()->Indices.SetArray(tri, 3);
    EXPECT_EQ(object.Finalize(), 0);
    EXPECT_EQ(object.BindBuffers(), 0);
}
