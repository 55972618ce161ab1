// Model parts on the fake device: buffers, declarations, 32-bit indices
// where 16 bits do not reach, software skinning and failed device calls.
#include "engine/core/Endian.h"
#include "engine/model/AnalysMesh.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelObject.h"
#include "engine/model/tests/ModelDeviceTest.h"
#include "engine/model/tests/ModelGolden.h"
#include "host/render/FakeRender.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace render = host::render;

namespace {

class ModelBufferTest : public model_test::ModelDeviceTest {
protected:
    void SetUp() override { fake_->ClearFailures(); }

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
    static f32 FloatAt(const std::vector<u8>& bytes, size_t at) { return std::bit_cast<f32>(GetLe32(&bytes[at])); }
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

// The declaration follows the layout (whose offsets and packed bytes are
// ModelDataTest's): skin data moves the normal back to offset 32.
TEST_F(ModelBufferTest, FinalizeMakesThePackedBuffersAndTheDeclaration)
{
    using Elements = std::vector<std::pair<u32, u32>>;
    const struct { u32 flags, stride; Elements declared; } cases[] = {
        {0x7, 32, {{render::kUsagePosition, 0}, {render::kUsageNormal, 12}, {render::kUsageTexCoord, 24}}},
        {0x17, 52, {{render::kUsagePosition, 0}, {render::kUsageBlendWeight, 12}, {render::kUsageBlendIndices, 28},
                       {render::kUsageNormal, 32}, {render::kUsageTexCoord, 44}}},
    };
    for (const auto& c : cases) {
        CModelObject object;
        Fill(object, 3, c.flags);
        SetIndices(object, {0, 1, 2}, {{0, 3}});
        ASSERT_EQ(object.Finalize(), 1);
        EXPECT_EQ(Declared(object), c.declared);
        const std::vector<u8> v = Contents(object.GetVertexBuffer());
        ASSERT_EQ(v.size(), 3 * c.stride);
        EXPECT_EQ(FloatAt(v, 2 * c.stride + 4), 4.0f);   // vertex 2's y
    }
}

TEST_F(ModelBufferTest, IndicesPast16BitsGetA32BitBuffer)
{
    CModelObject object;
    Fill(object, 70000, 0x1);
    SetIndices(object, {0, 65536, 69999}, {{0, 3}});
    ASSERT_EQ(object.Finalize(), 1);
    EXPECT_EQ(object.GetIndexFormat(), render::kFormatIndex32);
    EXPECT_EQ(GetLe32(&Contents(object.GetIndexBuffer())[4]), 65536u);

    CModelObject small;   // exactly 65535 still fits 16 bits
    Fill(small, 65536, 0x1);
    SetIndices(small, {0, 1, 65535});
    ASSERT_EQ(small.Finalize(), 1);
    EXPECT_EQ(small.GetIndexFormat(), render::kFormatIndex16);
    EXPECT_EQ(GetLe16(&Contents(small.GetIndexBuffer())[4]), 65535u);

    // Which lists fit: ModelDataTest's table of IsValid; here that Finalize asks.
    SetIndices(small, {0, 1, 65536});
    EXPECT_EQ(small.Finalize(), 0);
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
        // Vertex 1 half on each bone, 2 on a bone past the palette only, 3 on
        // one past it and one within.
        const struct { u8 count, bones[2]; f32 weights[2]; } skins[] = {{2, {0, 1}, {0.5f, 0.5f}}, {1, {7, 0}, {1, 0}},
            {2, {200, 0}, {1, 1}}};
        for (u32 i = 1; i < 4; ++i) {
            CModelVertex& x = *object.GetVertexList()->GetAt(i);
            x.InfluenceCount = skins[i - 1].count;
            for (u32 b = 0; b < 2; ++b) x.BoneIndex[b] = skins[i - 1].bones[b], x.Weight[b] = skins[i - 1].weights[b];
        }
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
    // Vertex 1 at (1, 2, 3): 0.5 (11, 2, 3) + 0.5 (-2, 1, 3) = (4.5, 1.5, 3);
    // its normal (0, 1, 0): 0.5 (0, 1, 0) + 0.5 (-1, 0, 0), no translation.
    for (auto [at, want] : {std::pair{44, 4.5f}, {48, 1.5f}, {76, -0.5f}, {80, 0.5f}}) {
        EXPECT_NEAR(FloatAt(v, at), want, 1e-5f) << at;
    }
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

// A cell's index buffer is made over the object's vertices (the golden file
// below); a cell whose indices pass them fails alone, not the object.
TEST_F(ModelBufferTest, BlocksMakeIndexBuffersOverTheObjectsVertices)
{
    CModelObject object;
    Fill(object, 4, 0x1);
    SetIndices(object, {0, 1, 2, 2, 1, 3}, {{0, 6}});
    CModelCollisionGrid& grid = *object.GetCollisionGrid();
    grid.CountX = grid.CountY = grid.CountZ = 1;
    grid.Cells = new CResourceList();
    auto* block = new CModelBlock(CBox(), object.GetVertexList(), object.GetIndexList(), object.GetMaterialList());
    SetIndices(*block, {0, 1, 4});
    AppendElement(grid.Cells, block);
    ASSERT_EQ(object.Finalize(), 1);
    EXPECT_EQ(block->CreateBuffers(), 0);
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

TEST_F(ModelBufferTest, ReadModelFinalizesOrLeavesTheMeshAlone)
{
    CAnalysMesh reader;
    const std::string golden = model_test::RigidGolden();
    ASSERT_EQ(reader.LoadFromMemory(golden.data(), u32(golden.size())), 1u);
    CMesh mesh;
    ASSERT_EQ(reader.ReadModel(&mesh, "Box", nullptr, nullptr, nullptr), 1);
    EXPECT_NE(mesh.GetModelObject(0)->GetCollisionGrid()->GetCellAt(0)->GetIndexBuffer(), nullptr);

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

}  // namespace ORV_TEST_FILE_ID
