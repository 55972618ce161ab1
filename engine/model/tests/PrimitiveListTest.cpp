// Ribbons on the fake device: the indices that join the rows, the vertex
// bytes per format, what a draw sets and asks for, the render list's queue.
#include "engine/model/PrimitiveList.h"

#include "engine/core/Endian.h"
#include "engine/graphics/Texture.h"
#include "engine/graphics/tests/DrawTestSupport.h"
#include "engine/model/RenderList.h"

#include <bit>
#include <cstring>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

namespace render = host::render;

constexpr u32 kTrail = render::kFvfXyz | render::kFvfDiffuse | render::kFvfTex1;   // 0x142

class PrimitiveLists : public draw_test::DrawTest {
protected:
    template <class Buffer>
    static std::vector<u8> Bytes(Buffer* buffer)
    {
        render::BufferDesc desc;
        buffer->GetDesc(desc);
        void* data = nullptr;
        if (buffer->Lock(0, 0, &data, render::kLockReadOnly) != render::Result::Ok) return {};
        std::vector<u8> out(static_cast<u8*>(data), static_cast<u8*>(data) + desc.bytes);
        buffer->Unlock();
        return out;
    }

    static std::vector<u32> Indices(render::IndexBuffer* buffer)
    {
        render::BufferDesc desc;
        buffer->GetDesc(desc);
        const std::vector<u8> bytes = Bytes(buffer);
        const bool narrow = desc.format == render::kFormatIndex16;
        std::vector<u32> out;
        for (size_t i = 0; i < bytes.size(); i += narrow ? 2 : 4) out.push_back(narrow ? GetLe16(&bytes[i]) : GetLe32(&bytes[i]));
        return out;
    }
    std::vector<render::Call> Draws() const { return fake_->Find(render::CallMatch("DrawIndexedPrimitive")); }

    // A ribbon of two by two, all four vertices in use, drawn at once.
    void SetUp() override
    {
        DrawTest::SetUp();
        ASSERT_EQ(list.Create(2, 2, 24, kTrail, 2), 1);
        list.SetVertexCount(4);
    }
    static i32 Draw(CPrimitiveList& ribbon) { return ribbon.Draw(static_cast<CRenderList*>(nullptr)); }

    CPrimitiveList list;
};

// Two columns by three rows: one ribbon of two segments, both windings, 16-bit;
// four columns by two rows, 32-bit: two ribbons side by side. Grids it cannot
// draw or index are refused; 65536 vertices still fit 16-bit indices.
TEST_F(PrimitiveLists, CreateJoinsTheRowsOrRefuses)
{
    const struct { const char* what; u32 columns, rows, stride, fvf, indexSize; bool made; std::vector<u32> indices; } cases[] = {
        {"2 x 3", 2, 3, 24, kTrail, 2, true, {0, 2, 1, 2, 3, 1, 0, 1, 2, 2, 1, 3, 2, 4, 3, 4, 5, 3, 2, 3, 4, 4, 3, 5}},
        {"4 x 2", 4, 2, 24, kTrail, 4, true, {0, 4, 1, 4, 5, 1, 0, 1, 4, 4, 1, 5, 2, 6, 3, 6, 7, 3, 2, 3, 6, 6, 3, 7}},
        {"65536 vertices", 2, 32768, 24, kTrail, 2, true, {}},
        {"one row", 2, 1, 24, kTrail, 2, false, {}},
        {"no column", 0, 3, 24, kTrail, 2, false, {}},
        {"stride shorter than the format", 2, 3, 20, kTrail, 2, false, {}},
        {"pretransformed positions", 2, 3, 28, 0x144, 2, false, {}},
        {"no position", 2, 3, 24, render::kFvfDiffuse | render::kFvfTex1, 2, false, {}},
        {"16-bit indices past 65536 vertices", 2, 32769, 24, kTrail, 2, false, {}},
        {"a vertex buffer past 4 GiB", 0x10000, 0x10000, 24, kTrail, 4, false, {}},
    };
    for (const auto& c : cases) {
        CPrimitiveList ribbon;
        EXPECT_EQ(ribbon.Create(c.columns, c.rows, c.stride, c.fvf, c.indexSize), c.made ? 1 : 0) << c.what;
        EXPECT_EQ(Draw(ribbon), c.made ? 1 : 0) << c.what;
        if (!c.indices.empty()) {
            EXPECT_EQ(Indices(ribbon.GetIndexBuffer()), c.indices) << c.what;
        }
    }
}

TEST_F(PrimitiveLists, OnlyWholeRowsAreDrawnAndFewerThanTwoDrawNothing)
{
    CPrimitiveList list;
    ASSERT_EQ(list.Create(2, 3, 24, kTrail, 2), 1);
    // Triangles (0: no draw) and vertices drawn. Below two rows: nothing, and
    // no wrap-around; no more than the grid holds.
    const struct { u32 vertexCount, triangles, numVertices; } cases[] = {{0, 0, 0}, {3, 0, 0}, {4, 4, 4}, {5, 4, 5}, {100, 8, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vertexCount);
        fake_->ClearLog();
        list.SetVertexCount(c.vertexCount);
        EXPECT_EQ(Draw(list), 1);
        const auto draws = Draws();
        ASSERT_EQ(draws.size(), c.triangles ? 1u : 0u);
        for (const auto& d : draws) {
            EXPECT_EQ(d.U32("count"), c.triangles);
            EXPECT_EQ(d.U32("numVertices"), c.numVertices);
        }
    }
}

TEST_F(PrimitiveLists, VerticesArePackedAsTheFormatSays)
{
    // The first vertex's words, the colour (1, 0.25, 0, 0.2) x 255 truncated as its bits.
    const f32 colour = std::bit_cast<f32>(0x33FF3F00u);
    const struct { u32 fvf, stride; std::vector<f32> first; } cases[] = {
        {kTrail, 24, {1, 2, 3, colour, 0.5f, 0.75f}},
        {kTrail | render::kFvfNormal, 36, {1, 2, 3, 0, 0, -1, colour, 0.5f, 0.75f}},
        {render::kFvfXyz, 16, {1, 2, 3, 0}},   // a longer stride leaves its tail alone
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fvf);
        CPrimitiveList list;
        ASSERT_EQ(list.Create(2, 2, c.stride, c.fvf, 2), 1);
        for (u32 i = 0; i < 4; ++i) {
            CModelVertex& v = *list.GetVertex(i);
            v.Position.Set(f32(i + 1), f32(i + 2), f32(i + 3));
            v.Normal.Set(0, 0, -1);
            v.Color = CVector4(1.0f, 0.25f, 0.0f, 0.2f);
            v.TexCoord0[0] = 0.5f, v.TexCoord0[1] = 0.75f;
        }
        EXPECT_EQ(list.GetVertex(4), nullptr);
        list.SetVertexCount(3);
        ASSERT_EQ(list.UpdateVertexBuffer(), 1);
        const std::vector<u8> bytes = Bytes(list.GetVertexBuffer());
        ASSERT_EQ(bytes.size(), c.stride * 4);
        const auto word = [&bytes](size_t at) { return GetLe32(&bytes[at]); };
        // Compared as words, so the colour's bits count exactly.
        for (size_t i = 0; i < c.first.size(); ++i) EXPECT_EQ(word(4 * i), std::bit_cast<u32>(c.first[i])) << i;
        EXPECT_EQ(word(2 * c.stride), std::bit_cast<u32>(3.0f));   // vertex 2 one stride on
        EXPECT_EQ(word(3 * c.stride), 0u);                         // vertex 3 not in use
    }
}

TEST_F(PrimitiveLists, ADrawSetsWorldBuffersBlendTextureAndFormatAndSparesLighting)
{
    CTexture texture;
    ASSERT_EQ(texture.Create(8, 8, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
    list.SetTexture(&texture);
    list.SetBlendMode(2);
    list.GetWorldMatrix()->m[3][0] = 7.0f;
    device_.SetLighting(1);
    device_.SetBlendMode(1);
    fake_->ClearLog();
    ASSERT_EQ(Draw(list), 1);
    EXPECT_EQ(Draws().at(0).Number("texture"), double(IdOf(texture.GetTexture())));
    EXPECT_EQ(Fake().Transform(render::TransformWorld(0)).m[3][0], 7.0f);
    EXPECT_EQ(Fake().RenderState(render::kRsDestBlend), render::kBlendOne);
    // Unlit for the draw, lit again after it.
    EXPECT_TRUE(fake_->HasSequence({render::CallMatch("SetRenderState").With("state", render::kRsLighting).With("value", 0),
                                    render::CallMatch("DrawIndexedPrimitive"),
                                    render::CallMatch("SetRenderState").With("state", render::kRsLighting).With("value", 1)}));
    EXPECT_EQ(device_.GetRenderStates()->lighting, 1u);

    // Lighting off stays off; normals leave it alone.
    CPrimitiveList lit;
    ASSERT_EQ(lit.Create(2, 2, 36, kTrail | render::kFvfNormal, 2), 1);
    lit.SetVertexCount(4);
    for (auto [ribbon, lighting] : {std::pair{&list, 0u}, {&lit, 1u}}) {
        device_.SetLighting(lighting);
        fake_->ClearLog();
        ASSERT_EQ(Draw(*ribbon), 1);
        EXPECT_EQ(fake_->Count(render::CallMatch("SetRenderState").With("state", render::kRsLighting)), 0u);
    }
    EXPECT_EQ(Draws()[0].Number("texture"), 0.0);
}

TEST_F(PrimitiveLists, FailedLocksAndDrawsReportZero)
{
    device_.SetLighting(1);
    fake_->FailCall("VertexBuffer.Lock", 1, render::Result::InvalidCall);
    EXPECT_EQ(Draw(list), 0);
    EXPECT_EQ(Draws().size(), 0u);
    fake_->FailCall("DrawIndexedPrimitive", 1, render::Result::InvalidCall);
    EXPECT_EQ(Draw(list), 0);
    EXPECT_EQ(device_.GetRenderStates()->lighting, 1u);
}

TEST_F(PrimitiveLists, DepthSortedListsWaitForTheRenderListsPass)
{
    CRenderList renderList("list", 4, &device_);
    list.SetDrawArgument(5);
    // Unmarked: drawn at once even with a render list.
    ASSERT_EQ(list.Draw(&renderList), 1);
    EXPECT_EQ(Draws().size(), 1u);
    EXPECT_EQ(renderList.GetUsedCount(), 0u);

    list.SetDepthSorted(1);
    fake_->ClearLog();
    ASSERT_EQ(list.Draw(&renderList), 1);
    EXPECT_EQ(Draws().size(), 0u);
    EXPECT_EQ(renderList.GetUsedCount(), 1u);
    EXPECT_EQ(list.GetDrawArgument(), 0u);
    renderList.Draw();
    EXPECT_EQ(Draws().size(), 1u);
}

TEST_F(PrimitiveLists, CopiesShareBuffersAndOwnTheirLists)
{
    list.GetVertex(1)->Position.Set(1, 2, 3);
    CPrimitiveList* copy = list.Clone();
    EXPECT_EQ(copy->GetVertexBuffer(), list.GetVertexBuffer());
    EXPECT_NE(copy->GetVertexList(), list.GetVertexList());
    EXPECT_EQ(copy->GetVertex(1)->Position.z, 3.0f);
    delete copy;
    EXPECT_EQ(list.GetVertex(1)->Position.y, 2.0f);
    EXPECT_EQ(Draw(list), 1);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
