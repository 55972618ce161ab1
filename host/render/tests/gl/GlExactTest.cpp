// Cases that hide a fault unless the data is sharp: every colour format with
// a different value in each channel, world and view matrices that differ, a
// buffer used at an offset, the window's own rows, compares at equality and
// sizes at the limit.
#include "GlTestSupport.h"

#include <SDL.h>

#include <cstring>

namespace host::render::testing {
namespace ORV_TEST_FILE_ID {

namespace {

constexpr uint32_t kDistinct = 0x40C08020;   // A, R, G, B all different

class GlExact : public GlTest {
protected:
    void Begin() {
        ASSERT_EQ(device->BeginScene(), Result::Ok);
        ASSERT_EQ(device->Clear(kClearTarget | kClearZBuffer, kBlack, 1.0f, 0), Result::Ok);
    }
    uint32_t At(int32_t x, int32_t y) { return Pixel(backBuffer.Get(), x, y); }
};

// Cleared, drawn into, copied to system memory and read back, in each format
// the device takes; the X formats read alpha as 0xFF.
TEST_F(GlExact, EveryColourFormatKeepsEachChannelInItsPlace) {
    const struct {
        uint32_t format;
        uint8_t memory[4];   // how the texel lies in a locked copy
    } formats[] = {
        {kFormatA8R8G8B8, {0x20, 0x80, 0xC0, 0x40}},
        {kFormatX8R8G8B8, {0x20, 0x80, 0xC0, 0xFF}},
        {kFormatA8B8G8R8, {0xC0, 0x80, 0x20, 0x40}},
        {kFormatX8B8G8R8, {0xC0, 0x80, 0x20, 0xFF}},
    };
    for (const auto& f : formats) {
        SCOPED_TRACE(f.format);
        const uint32_t want = f.memory[3] == 0xFF ? kDistinct | 0xFF000000u : kDistinct;
        Ref<Texture> target = MakeTarget(4, 2, f.format);
        Ref<Surface> level = Level0(target.Get());
        ASSERT_EQ(device->SetRenderTarget(0, level.Get()), Result::Ok);
        ASSERT_EQ(device->Clear(kClearTarget, kDistinct, 1.0f, 0), Result::Ok);
        EXPECT_EQ(Hex{Pixel(level.Get(), 0, 0)}.v, want) << "cleared";
        // A texture of the same format drawn point-sampled over the right half.
        Ref<Texture> texture = MakeTexture(1, 1, [](uint32_t, uint32_t) { return kDistinct; }, f.format);
        ASSERT_EQ(device->BeginScene(), Result::Ok);
        ASSERT_EQ(device->SetTexture(0, texture.Get()), Result::Ok);
        ASSERT_EQ(device->SetRenderState(kRsAlphaBlendEnable, 0), Result::Ok);
        ASSERT_EQ(Sprite(2, 0, 4, 2, 0xFFFFFFFF), Result::Ok);
        ASSERT_EQ(device->EndScene(), Result::Ok);
        EXPECT_EQ(Hex{Pixel(level.Get(), 3, 1)}.v, want) << "drawn";

        Ref<Texture> copy;
        ASSERT_EQ(device->CreateTexture(4, 2, 1, 0, f.format, kPoolSystemMem, copy.Put()), Result::Ok);
        ASSERT_EQ(device->GetRenderTargetData(level.Get(), Level0(copy.Get()).Get()), Result::Ok);
        LockedRect r;
        ASSERT_EQ(copy->LockRect(0, r, nullptr, kLockReadOnly), Result::Ok);
        for (uint32_t x : {0u, 3u})
            EXPECT_EQ(std::memcmp(static_cast<uint8_t*>(r.bits) + r.pitch + 4 * x, f.memory, 4), 0) << x;
        ASSERT_EQ(copy->UnlockRect(0), Result::Ok);
        ASSERT_EQ(device->SetRenderTarget(0, backBuffer.Get()), Result::Ok);
        ASSERT_EQ(device->SetTexture(0, nullptr), Result::Ok);
    }
}

// World and view both scale and move x, by different amounts (view also
// scales y): applied in the wrong order or one dropped, the quad moves.
TEST_F(GlExact, WorldThenViewThenProjection) {
    Matrix world = IdentityMatrix(), view = IdentityMatrix(), projection = IdentityMatrix();
    world.m[0][0] = 2.0f, world.m[3][0] = 0.25f;
    view.m[0][0] = 0.5f, view.m[3][0] = -0.25f, view.m[1][1] = 3.0f, view.m[3][1] = -0.5f;
    projection.m[0][0] = 0.5f;
    Begin();
    ASSERT_EQ(device->SetTransform(kTransformWorld, world), Result::Ok);
    ASSERT_EQ(device->SetTransform(kTransformView, view), Result::Ok);
    ASSERT_EQ(device->SetTransform(kTransformProjection, projection), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsLighting, 0), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsCullMode, kCullNone), Result::Ok);
    ASSERT_EQ(device->SetFVF(0x42), Result::Ok);
    // x 0..0.5 -> world 0.25..1.25 -> view -0.125..0.375 -> clip -0.0625..0.1875: pixels 60..76.
    // y 0..0.25 -> view -0.5..0.25: rows 36..72 (y grows downwards on screen).
    const WorldVertex v[4] = {{0, 0, 0.5f, kRed}, {0.5f, 0, 0.5f, kRed}, {0.5f, 0.25f, 0.5f, kRed}, {0, 0.25f, 0.5f, kRed}};
    ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, v, sizeof(WorldVertex)), Result::Ok);
    ASSERT_EQ(device->EndScene(), Result::Ok);
    const struct {
        int32_t x, y;
        uint32_t want;
    } probes[] = {{61, 37, kRed}, {75, 71, kRed}, {59, 50, kBlack}, {77, 50, kBlack}, {68, 35, kBlack}, {68, 73, kBlack}};
    for (const auto& p : probes) EXPECT_EQ(Hex{At(p.x, p.y)}.v, p.want) << p.x << ", " << p.y;
}

// Vertices locked into the second half of a buffer and drawn from there,
// once by the stream offset and once by the base vertex.
TEST_F(GlExact, ABufferLockedAndDrawnAtAnOffset) {
    Ref<VertexBuffer> vb;
    ASSERT_EQ(device->CreateVertexBuffer(8 * sizeof(ColorVertex), kUsageWriteOnly, 0x44, kPoolManaged, vb.Put()),
              Result::Ok);
    const ColorVertex junk = {0, 0, 0, 1, kRed};
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), Result::Ok);
    for (int i = 0; i < 8; ++i) std::memcpy(static_cast<ColorVertex*>(data) + i, &junk, sizeof junk);
    ASSERT_EQ(vb->Unlock(), Result::Ok);
    const ColorVertex quad[4] = {{10, 10, 0, 1, kGreen}, {20, 10, 0, 1, kGreen}, {20, 20, 0, 1, kGreen}, {10, 20, 0, 1, kGreen}};
    ASSERT_EQ(vb->Lock(4 * sizeof(ColorVertex), sizeof quad, &data, 0), Result::Ok);
    std::memcpy(data, quad, sizeof quad);
    ASSERT_EQ(vb->Unlock(), Result::Ok);
    Ref<IndexBuffer> ib = QuadIndices();
    for (int by = 0; by < 2; ++by) {
        SCOPED_TRACE(by ? "base vertex" : "stream offset");
        Begin();
        ASSERT_EQ(device->SetFVF(0x44), Result::Ok);
        ASSERT_EQ(device->SetIndices(ib.Get()), Result::Ok);
        ASSERT_EQ(device->SetStreamSource(0, vb.Get(), by ? 0 : 4 * sizeof(ColorVertex), sizeof(ColorVertex)),
                  Result::Ok);
        ASSERT_EQ(device->DrawIndexedPrimitive(kPrimitiveTriangleList, by ? 4 : 0, 0, 4, 0, 2), Result::Ok);
        ASSERT_EQ(device->EndScene(), Result::Ok);
        EXPECT_EQ(Hex{At(15, 15)}.v, kGreen);
        EXPECT_EQ(Hex{At(5, 5)}.v, kBlack);
    }
}

// What Present put in the window, read from the window's own framebuffer:
// the back buffer's top row is the window's top row.
TEST_F(GlExact, PresentKeepsTheTopRowAtTheTop) {
    ASSERT_EQ(device->Clear(kClearTarget, kGreen, 1.0f, 0), Result::Ok);
    ASSERT_EQ(device->SetViewport({0, 0, kWidth, 8, 0.0f, 1.0f}), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget, kRed, 1.0f, 0), Result::Ok);
    ASSERT_EQ(device->Present(), Result::Ok);
    using ReadPixels = void (*)(int, int, int, int, unsigned, unsigned, void*);
    using Binder = void (*)(unsigned, unsigned);
    using ReadBuffer = void (*)(unsigned);
    auto read = reinterpret_cast<ReadPixels>(SDL_GL_GetProcAddress("glReadPixels"));
    auto bind = reinterpret_cast<Binder>(SDL_GL_GetProcAddress("glBindFramebuffer"));
    auto buffer = reinterpret_cast<ReadBuffer>(SDL_GL_GetProcAddress("glReadBuffer"));
    ASSERT_TRUE(read && bind && buffer);
    bind(0x8CA8 /* GL_READ_FRAMEBUFFER */, 0);
    buffer(0x0404 /* GL_FRONT */);
    uint8_t top[4] = {}, bottom[4] = {};   // GL counts rows from the bottom
    read(4, int(kHeight) - 2, 1, 1, 0x1908 /* GL_RGBA */, 0x1401 /* GL_UNSIGNED_BYTE */, top);
    read(4, 1, 1, 1, 0x1908, 0x1401, bottom);
    EXPECT_EQ((std::vector<int>{top[0], top[1], top[2]}), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ((std::vector<int>{bottom[0], bottom[1], bottom[2]}), (std::vector<int>{0, 255, 0}));
}

// Alpha and depth at exactly the reference: each compare function passes or
// fails as its equality part says.
TEST_F(GlExact, ComparesAtEquality) {
    const struct {
        uint32_t func;
        bool passes;
    } funcs[] = {{kCmpNever, false}, {kCmpLess, false}, {kCmpEqual, true}, {kCmpLessEqual, true},
                 {kCmpGreater, false}, {kCmpNotEqual, false}, {kCmpGreaterEqual, true}, {kCmpAlways, true}};
    for (const auto& f : funcs) {
        SCOPED_TRACE(f.func);
        Begin();
        ASSERT_EQ(device->SetTextureStageState(0, kTssAlphaOp, kTopSelectArg2), Result::Ok);   // the diffuse alpha
        ASSERT_EQ(device->SetTextureStageState(0, kTssAlphaArg2, kTaDiffuse), Result::Ok);
        ASSERT_EQ(device->SetRenderState(kRsAlphaTestEnable, 1), Result::Ok);
        ASSERT_EQ(device->SetRenderState(kRsAlphaFunc, f.func), Result::Ok);
        ASSERT_EQ(device->SetRenderState(kRsAlphaRef, 0x7F), Result::Ok);
        ASSERT_EQ(Fill(0, 0, 8, 8, 0x7FFF0000), Result::Ok);
        ASSERT_EQ(device->SetRenderState(kRsAlphaTestEnable, 0), Result::Ok);
        // Depth: the same z twice, the second compared against the first.
        ASSERT_EQ(device->SetRenderState(kRsZFunc, kCmpAlways), Result::Ok);
        const ColorVertex first[4] = {{8, 0, 0.5f, 1, kRed}, {16, 0, 0.5f, 1, kRed}, {16, 8, 0.5f, 1, kRed}, {8, 8, 0.5f, 1, kRed}};
        ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, first, sizeof(ColorVertex)), Result::Ok);
        ASSERT_EQ(device->SetRenderState(kRsZFunc, f.func), Result::Ok);
        ColorVertex second[4];
        std::memcpy(second, first, sizeof first);
        for (ColorVertex& v : second) v.color = kGreen;
        ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, second, sizeof(ColorVertex)), Result::Ok);
        ASSERT_EQ(device->SetRenderState(kRsZFunc, kCmpLessEqual), Result::Ok);
        ASSERT_EQ(device->EndScene(), Result::Ok);
        EXPECT_EQ(Hex{At(4, 4)}.v, f.passes ? kRed : kBlack) << "alpha";
        EXPECT_EQ(Hex{At(12, 4)}.v, f.passes ? kGreen : kRed) << "depth";
    }
}

TEST_F(GlExact, TheLargestTextureIsAcceptedAndOnePastItIsNot) {
    Caps caps;
    ASSERT_EQ(device->GetDeviceCaps(caps), Result::Ok);
    Ref<Texture> t;
    EXPECT_EQ(device->CreateTexture(caps.maxTextureWidth, 1, 1, 0, kFormatA8R8G8B8, kPoolManaged, t.Put()), Result::Ok);
    EXPECT_EQ(device->CreateTexture(1, caps.maxTextureHeight, 1, 0, kFormatA8R8G8B8, kPoolManaged, t.Put()), Result::Ok);
    EXPECT_EQ(device->CreateTexture(caps.maxTextureWidth + 1, 1, 1, 0, kFormatA8R8G8B8, kPoolManaged, t.Put()),
              Result::InvalidCall);
    EXPECT_EQ(device->CreateTexture(1, caps.maxTextureHeight + 1, 1, 0, kFormatA8R8G8B8, kPoolManaged, t.Put()),
              Result::InvalidCall);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render::testing
