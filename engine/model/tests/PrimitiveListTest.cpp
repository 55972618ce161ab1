// Ribbons on the fake device: the index buffer that joins the rows, the
// vertex bytes packed per format, what a draw sets and how many triangles it
// asks for, and the queueing through the render list.
#include "engine/model/PrimitiveList.h"

#include "engine/graphics/Texture.h"
#include "engine/graphics/tests/DrawTestSupport.h"
#include "engine/model/RenderList.h"

#include <bit>
#include <cstring>
#include <vector>

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
        std::vector<u32> out;
        const u32 size = desc.format == render::kFormatIndex16 ? 2 : 4;
        for (size_t i = 0; i + size <= bytes.size(); i += size) {
            u32 v = 0;
            std::memcpy(&v, &bytes[i], size);
            out.push_back(v);
        }
        return out;
    }

    std::vector<render::Call> Draws() const { return fake_->Find(render::CallMatch("DrawIndexedPrimitive")); }
};

TEST_F(PrimitiveLists, TwoColumnsThreeRowsMakeOneRibbonOfTwoSegmentsInBothWindings)
{
    CPrimitiveList list;
    ASSERT_EQ(list.Create(2, 3, 24, kTrail, 2), 1);
    const std::vector<u32> want = {0, 2, 1, 2, 3, 1, 0, 1, 2, 2, 1, 3, 2, 4, 3, 4, 5, 3, 2, 3, 4, 4, 3, 5};
    EXPECT_EQ(Indices(list.GetIndexBuffer()), want);   // 16-bit
}

TEST_F(PrimitiveLists, FourByteIndicesAndTwoRibbonsSideBySide)
{
    CPrimitiveList list;
    ASSERT_EQ(list.Create(4, 2, 24, kTrail, 4), 1);
    const std::vector<u32> want = {0, 4, 1, 4, 5, 1, 0, 1, 4, 4, 1, 5, 2, 6, 3, 6, 7, 3, 2, 3, 6, 6, 3, 7};
    EXPECT_EQ(Indices(list.GetIndexBuffer()), want);
}

TEST_F(PrimitiveLists, CreateRefusesGridsItCannotDrawOrIndex)
{
    struct Case {
        const char* what;
        u32 columns, rows, stride, fvf, indexSize;
    };
    const Case cases[] = {
        {"one row", 2, 1, 24, kTrail, 2},
        {"no column", 0, 3, 24, kTrail, 2},
        {"stride shorter than the format", 2, 3, 20, kTrail, 2},
        {"pretransformed positions", 2, 3, 28, 0x144, 2},
        {"no position", 2, 3, 24, render::kFvfDiffuse | render::kFvfTex1, 2},
        {"16-bit indices past 65536 vertices", 2, 32769, 24, kTrail, 2},
        {"a vertex buffer past 4 GiB", 0x10000, 0x10000, 24, kTrail, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CPrimitiveList list;
        EXPECT_EQ(list.Create(c.columns, c.rows, c.stride, c.fvf, c.indexSize), 0);
        EXPECT_EQ(list.Draw(static_cast<CRenderList*>(nullptr)), 0);
    }
    // 65536 vertices still fit 16-bit indices.
    CPrimitiveList edge;
    EXPECT_EQ(edge.Create(2, 32768, 24, kTrail, 2), 1);
}

TEST_F(PrimitiveLists, OnlyWholeRowsAreDrawnAndFewerThanTwoDrawNothing)
{
    CPrimitiveList list;
    ASSERT_EQ(list.Create(2, 3, 24, kTrail, 2), 1);
    struct Case {
        u32 vertexCount;
        u32 triangles;   // 0: no draw
        u32 numVertices;
    };
    const Case cases[] = {
        {0, 0, 0}, {3, 0, 0},   // below two rows: nothing, and no wrap-around
        {4, 4, 4}, {5, 4, 5},
        {100, 8, 6},                                  // no more than the grid holds
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vertexCount);
        fake_->ClearLog();
        list.SetVertexCount(c.vertexCount);
        EXPECT_EQ(list.Draw(static_cast<CRenderList*>(nullptr)), 1);
        const auto draws = Draws();
        ASSERT_EQ(draws.size(), c.triangles ? 1u : 0u);
        if (!c.triangles) continue;
        EXPECT_EQ(draws[0].U32("count"), c.triangles);
        EXPECT_EQ(draws[0].U32("numVertices"), c.numVertices);
    }
}

TEST_F(PrimitiveLists, VerticesArePackedAsTheFormatSays)
{
    struct Case {
        u32 fvf, stride;
        std::vector<f32> first;   // the first vertex's words; the colour as its bits
    };
    // (1, 0.25, 0, 0.2) x 255, each truncated.
    const f32 colour = std::bit_cast<f32>(0x33FF3F00u);
    const Case cases[] = {
        {kTrail, 24, {1, 2, 3, colour, 0.5f, 0.75f}},
        {kTrail | render::kFvfNormal, 36, {1, 2, 3, 0, 0, -1, colour, 0.5f, 0.75f}},
        {render::kFvfXyz, 16, {1, 2, 3, 0}},   // a longer stride leaves its tail alone
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fvf);
        CPrimitiveList list;
        ASSERT_EQ(list.Create(2, 2, c.stride, c.fvf, 2), 1);
        for (u32 i = 0; i < 4; ++i) {
            CModelVertex* v = list.GetVertex(i);
            ASSERT_NE(v, nullptr);
            v->Position.Set(f32(i + 1), f32(i + 2), f32(i + 3));
            v->Normal.Set(0, 0, -1);
            v->Color = CVector4(1.0f, 0.25f, 0.0f, 0.2f);
            v->TexCoord0[0] = 0.5f;
            v->TexCoord0[1] = 0.75f;
        }
        EXPECT_EQ(list.GetVertex(4), nullptr);
        list.SetVertexCount(3);
        ASSERT_EQ(list.UpdateVertexBuffer(), 1);
        const std::vector<u8> bytes = Bytes(list.GetVertexBuffer());
        ASSERT_EQ(bytes.size(), c.stride * 4);
        // Compared as words, so the colour's bits count exactly.
        std::vector<u32> got(c.first.size()), want(c.first.size());
        std::memcpy(got.data(), bytes.data(), got.size() * 4);
        std::memcpy(want.data(), c.first.data(), want.size() * 4);
        EXPECT_EQ(got, want);
        // Vertex 2 starts one stride later; vertex 3 is not in use.
        f32 x2 = 0, x3 = 0;
        std::memcpy(&x2, &bytes[2 * c.stride], 4);
        std::memcpy(&x3, &bytes[3 * c.stride], 4);
        EXPECT_EQ(x2, 3.0f);
        EXPECT_EQ(x3, 0.0f);
    }
}

TEST_F(PrimitiveLists, ADrawSetsWorldBuffersBlendTextureAndFormatAndSparesLighting)
{
    CTexture texture;
    ASSERT_EQ(texture.Create(8, 8, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
    CPrimitiveList list;
    ASSERT_EQ(list.Create(2, 2, 24, kTrail, 2), 1);
    list.SetVertexCount(4);
    list.SetTexture(&texture);
    list.SetBlendMode(2);
    list.GetWorldMatrix()->m[3][0] = 7.0f;
    device_.SetLighting(1);
    device_.SetBlendMode(1);
    fake_->ClearLog();
    ASSERT_EQ(list.Draw(static_cast<CRenderList*>(nullptr)), 1);
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].Number("texture"), double(IdOf(texture.GetTexture())));
    EXPECT_EQ(Fake().Transform(render::TransformWorld(0)).m[3][0], 7.0f);
    EXPECT_EQ(Fake().RenderState(render::kRsDestBlend), render::kBlendOne);
    // Unlit for the draw, lit again after it.
    EXPECT_TRUE(fake_->HasSequence({render::CallMatch("SetRenderState").With("state", render::kRsLighting).With("value", 0),
                                    render::CallMatch("DrawIndexedPrimitive"),
                                    render::CallMatch("SetRenderState").With("state", render::kRsLighting).With("value", 1)}));
    EXPECT_EQ(device_.GetRenderStates()->lighting, 1u);

    // Lighting off stays off; normals leave it alone.
    device_.SetLighting(0);
    fake_->ClearLog();
    list.Draw(static_cast<CRenderList*>(nullptr));
    EXPECT_EQ(fake_->Count(render::CallMatch("SetRenderState").With("state", render::kRsLighting)), 0u);
    CPrimitiveList lit;
    ASSERT_EQ(lit.Create(2, 2, 36, kTrail | render::kFvfNormal, 2), 1);
    lit.SetVertexCount(4);
    device_.SetLighting(1);
    fake_->ClearLog();
    ASSERT_EQ(lit.Draw(static_cast<CRenderList*>(nullptr)), 1);
    EXPECT_EQ(fake_->Count(render::CallMatch("SetRenderState").With("state", render::kRsLighting)), 0u);
    EXPECT_EQ(Draws()[0].Number("texture"), 0.0);
}

TEST_F(PrimitiveLists, FailedLocksAndDrawsReportZero)
{
    CPrimitiveList list;
    ASSERT_EQ(list.Create(2, 2, 24, kTrail, 2), 1);
    list.SetVertexCount(4);
    device_.SetLighting(1);
    fake_->FailCall("VertexBuffer.Lock", 1, render::Result::InvalidCall);
    EXPECT_EQ(list.Draw(static_cast<CRenderList*>(nullptr)), 0);
    EXPECT_EQ(Draws().size(), 0u);
    fake_->FailCall("DrawIndexedPrimitive", 1, render::Result::InvalidCall);
    EXPECT_EQ(list.Draw(static_cast<CRenderList*>(nullptr)), 0);
    EXPECT_EQ(device_.GetRenderStates()->lighting, 1u);
}

TEST_F(PrimitiveLists, DepthSortedListsWaitForTheRenderListsPass)
{
    CRenderList renderList("list", 4, &device_);
    CPrimitiveList list;
    ASSERT_EQ(list.Create(2, 2, 24, kTrail, 2), 1);
    list.SetVertexCount(4);
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
    CPrimitiveList list;
    ASSERT_EQ(list.Create(2, 2, 24, kTrail, 2), 1);
    list.GetVertex(1)->Position.Set(1, 2, 3);
    list.SetVertexCount(4);
    CPrimitiveList* copy = list.Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetVertexBuffer(), list.GetVertexBuffer());
    EXPECT_NE(copy->GetVertexList(), list.GetVertexList());
    EXPECT_EQ(copy->GetVertex(1)->Position.z, 3.0f);
    delete copy;
    EXPECT_EQ(list.GetVertex(1)->Position.y, 2.0f);
    EXPECT_EQ(list.Draw(static_cast<CRenderList*>(nullptr)), 1);
}

}  // namespace
