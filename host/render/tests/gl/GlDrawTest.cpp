// Draws on real OpenGL: pretransformed fills and sprites, blending,
// stencil, depth, the fixed-function stage, alpha test, lighting and fog of
// the built-in programs, indexed draws, and resources from another thread.
#include "GlTestSupport.h"

#include <cmath>
#include <cstring>
#include <thread>

namespace host::render::testing {
namespace ORV_TEST_FILE_ID {

namespace {

Matrix Perspective(float zn, float zf) {
    Matrix m{};
    m.m[0][0] = 1.0f;
    m.m[1][1] = 1.0f;
    m.m[2][2] = zf / (zf - zn);
    m.m[2][3] = 1.0f;
    m.m[3][2] = -zn * zf / (zf - zn);
    return m;
}

class GlDraw : public GlTest {
protected:
    void Begin(uint32_t clear = kBlack) {
        ASSERT_EQ(device->BeginScene(), Result::Ok);
        ASSERT_EQ(device->Clear(kClearTarget | kClearZBuffer | kClearStencil, clear, 1.0f, 0), Result::Ok);
    }
    void End() { ASSERT_EQ(device->EndScene(), Result::Ok); }
    uint32_t At(int32_t x, int32_t y) { return Pixel(backBuffer.Get(), x, y); }
};

// Integer-aligned quads cover exactly their pixels: no edge ties.
TEST_F(GlDraw, A0x44FillCoversExactlyItsPixels) {
    Begin();
    ASSERT_EQ(Fill(10, 20, 30, 25, 0xFF336699), Result::Ok);
    End();
    for (int32_t y = 18; y < 28; ++y)
        for (int32_t x = 8; x < 32; ++x) {
            const bool inside = x >= 10 && x < 30 && y >= 20 && y < 25;
            ASSERT_EQ(Hex{At(x, y)}.v, inside ? 0xFF336699 : kBlack) << x << "," << y;
        }
}

TEST_F(GlDraw, APointSampledSpriteShowsEachTexelAsABlock) {
    const uint32_t texels[4] = {kRed, kGreen, kBlue, 0xFFFFFF00};
    Ref<Texture> t = MakeTexture(2, 2, [&](uint32_t x, uint32_t y) { return texels[y * 2 + x]; });
    Begin();
    ASSERT_EQ(device->SetTexture(0, t.Get()), Result::Ok);
    ASSERT_EQ(Sprite(8, 8, 16, 16), Result::Ok);    // each texel 4 x 4 pixels
    ASSERT_EQ(Sprite(40, 8, 42, 10), Result::Ok);   // 1:1
    End();
    for (int32_t y = 8; y < 16; ++y)
        for (int32_t x = 8; x < 16; ++x)
            ASSERT_EQ(Hex{At(x, y)}.v, texels[(y - 8) / 4 * 2 + (x - 8) / 4]) << x << "," << y;
    for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(Hex{At(40 + i % 2, 8 + i / 2)}.v, texels[i]) << i;
    EXPECT_EQ(Hex{At(16, 8)}.v, kBlack);
}

TEST_F(GlDraw, LinearFilteringBlendsNeighbouringTexels) {
    Ref<Texture> t = MakeTexture(2, 1, [](uint32_t x, uint32_t) { return x ? 0xFFFFFFFF : kBlack; });
    Begin();
    ASSERT_EQ(device->SetSamplerState(0, kSampMagFilter, kFilterLinear), Result::Ok);
    ASSERT_EQ(device->SetTexture(0, t.Get()), Result::Ok);
    // One texel per 8 pixels: the middle pixels fall between the two texels.
    ASSERT_EQ(Sprite(0, 0, 16, 4, 0xFFFFFFFF, 0, 0, 1, 1), Result::Ok);
    End();
    const uint32_t middle = At(7, 1);
    EXPECT_GT(Channel(middle, 0), 0x60);
    EXPECT_LT(Channel(middle, 0), 0xA0);
}

// Blend mode 1: source alpha over inverse source alpha.
TEST_F(GlDraw, HalfAlphaBlendsHalfOfTheSpriteOverTheTarget) {
    Ref<Texture> t = MakeTexture(1, 1, [](uint32_t, uint32_t) { return kRed; });
    Begin(kBlue);
    SetBlend(kBlendSrcAlpha, kBlendInvSrcAlpha);
    ASSERT_EQ(device->SetTexture(0, t.Get()), Result::Ok);
    ASSERT_EQ(device->SetTextureStageState(0, kTssAlphaOp, kTopModulate), Result::Ok);
    ASSERT_EQ(device->SetTextureStageState(0, kTssAlphaArg2, kTaDiffuse), Result::Ok);
    ASSERT_EQ(Sprite(0, 0, 32, 32, 0x80FFFFFF), Result::Ok);
    End();
    // 0x80 of red, 0x7F of the blue under it.
    EXPECT_TRUE(Near(At(16, 16), 0xFF80007F)) << Hex{At(16, 16)};
    EXPECT_EQ(Hex{At(40, 16)}.v, kBlue);
}

TEST_F(GlDraw, StencilClipsAFillToADisc) {
    Begin();
    constexpr int kSegments = 64;
    constexpr float cx = 64, cy = 48, radius = 30;
    std::vector<ColorVertex> disc{{cx, cy, 0, 1, kRed}};
    for (int i = 0; i <= kSegments; ++i) {
        const float a = float(i) * 6.2831853f / kSegments;
        disc.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a), 0, 1, kRed});
    }
    ASSERT_EQ(device->SetRenderState(kRsCullMode, kCullNone), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsStencilEnable, 1), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsStencilFunc, kCmpAlways), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsStencilPass, kStencilOpReplace), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsStencilRef, 1), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsColorWriteEnable, 0), Result::Ok);
    ASSERT_EQ(device->SetFVF(0x44), Result::Ok);
    ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, kSegments, disc.data(), sizeof(ColorVertex)), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsColorWriteEnable, 15), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsStencilFunc, kCmpEqual), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsStencilPass, kStencilOpKeep), Result::Ok);
    ASSERT_EQ(Fill(64, 0, 128, 96, kGreen), Result::Ok);   // the right half only
    End();
    struct Case {
        int32_t x, y;
        uint32_t want;
    };
    const Case cases[] = {
        {70, 48, kGreen}, {90, 48, kGreen}, {64, 20, kGreen}, {80, 70, kGreen},   // right half of the disc
        {97, 48, kBlack}, {64, 15, kBlack}, {127, 0, kBlack}, {127, 95, kBlack},  // outside it
        {50, 48, kBlack}, {40, 40, kBlack},                                       // the disc itself wrote no colour
    };
    for (const Case& c : cases) EXPECT_EQ(Hex{At(c.x, c.y)}.v, c.want) << c.x << "," << c.y;
}

// A second pass over the same geometry with z EQUAL must find every depth
// the first wrote: both passes compute positions identically.
TEST_F(GlDraw, ASecondPassWithDepthEqualCoversTheFirst) {
    Begin();
    ASSERT_EQ(device->SetTransform(kTransformProjection, Perspective(1.0f, 100.0f)), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsLighting, 0), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsCullMode, kCullNone), Result::Ok);
    ASSERT_EQ(device->SetFVF(0x42), Result::Ok);
    auto quad = [&](uint32_t color, float dz) {
        const WorldVertex v[4] = {{-1, 1, 4 + dz, color}, {1, 1, 5 + dz, color}, {1, -1, 6 + dz, color},
                                  {-1, -1, 5 + dz, color}};
        return device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, v, sizeof(WorldVertex));
    };
    ASSERT_EQ(quad(kRed, 0), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsZFunc, kCmpEqual), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsZWriteEnable, 0), Result::Ok);
    ASSERT_EQ(quad(kGreen, 0), Result::Ok);
    ASSERT_EQ(quad(kBlue, 0.01f), Result::Ok);   // another depth: nowhere equal
    End();
    int red = 0, green = 0, blue = 0;
    for (uint32_t c : Pixels(backBuffer.Get())) red += c == kRed, green += c == kGreen, blue += c == kBlue;
    EXPECT_EQ(red, 0);
    EXPECT_GT(green, 200);
    EXPECT_EQ(blue, 0);
    EXPECT_EQ(Hex{At(64, 48)}.v, kGreen);
    EXPECT_EQ(Hex{At(5, 5)}.v, kBlack);
}

TEST_F(GlDraw, DepthTestHidesFartherGeometryAndCullingFollowsTheWinding) {
    Begin();
    ASSERT_EQ(device->SetTransform(kTransformProjection, Perspective(1.0f, 100.0f)), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsLighting, 0), Result::Ok);
    ASSERT_EQ(device->SetFVF(0x42), Result::Ok);
    // Clockwise on screen (x right, y down): kept by the default CCW culling.
    auto quad = [&](float x0, float x1, float z, uint32_t color, bool clockwise) {
        WorldVertex v[4] = {{x0, 1, z, color}, {x1, 1, z, color}, {x1, -1, z, color}, {x0, -1, z, color}};
        if (!clockwise) std::swap(v[1], v[3]);
        return device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, v, sizeof(WorldVertex));
    };
    ASSERT_EQ(quad(-1, 1, 5, kRed, true), Result::Ok);
    ASSERT_EQ(quad(-1, 1, 6, kGreen, true), Result::Ok);    // behind: hidden
    ASSERT_EQ(quad(-1, 1, 4, kBlue, false), Result::Ok);    // in front, but culled
    End();
    EXPECT_EQ(Hex{At(64, 48)}.v, kRed);
}

TEST_F(GlDraw, StageZeroOpsAndTheAlphaTest) {
    Ref<Texture> t = MakeTexture(1, 1, [](uint32_t, uint32_t) { return 0xFF808080; });
    Begin();
    ASSERT_EQ(device->SetTexture(0, t.Get()), Result::Ok);
    ASSERT_EQ(Sprite(0, 0, 8, 8, 0xFFFF0000), Result::Ok);   // modulate: 0x80 red
    ASSERT_EQ(device->SetTextureStageState(0, kTssColorOp, kTopSelectArg2), Result::Ok);
    ASSERT_EQ(device->SetTextureStageState(0, kTssColorArg2, kTaDiffuse), Result::Ok);
    ASSERT_EQ(Sprite(8, 0, 16, 8, 0xFF00FF00), Result::Ok);  // the diffuse colour alone
    ASSERT_EQ(device->SetTextureStageState(0, kTssColorOp, kTopSelectArg1), Result::Ok);
    ASSERT_EQ(Sprite(16, 0, 24, 8, 0xFF00FF00), Result::Ok); // the texture alone
    ASSERT_EQ(device->SetTextureStageState(0, kTssAlphaOp, kTopSelectArg2), Result::Ok);
    ASSERT_EQ(device->SetTextureStageState(0, kTssAlphaArg2, kTaDiffuse), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsAlphaTestEnable, 1), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsAlphaFunc, kCmpGreater), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsAlphaRef, 0x80), Result::Ok);
    ASSERT_EQ(Sprite(24, 0, 32, 8, 0x80FFFFFF), Result::Ok); // 0x80 > 0x80 fails: discarded
    ASSERT_EQ(Sprite(32, 0, 40, 8, 0x81FFFFFF), Result::Ok); // drawn
    ASSERT_EQ(device->SetTexture(0, nullptr), Result::Ok);   // no texture samples white
    ASSERT_EQ(Sprite(40, 0, 48, 8, 0xFFFFFFFF), Result::Ok);
    End();
    EXPECT_TRUE(Near(At(4, 4), 0xFF800000)) << Hex{At(4, 4)};
    EXPECT_EQ(Hex{At(12, 4)}.v, kGreen);
    EXPECT_EQ(Hex{At(20, 4)}.v, 0xFF808080);
    EXPECT_EQ(Hex{At(28, 4)}.v, kBlack);
    EXPECT_EQ(Hex{At(36, 4)}.v, 0xFF808080);
    EXPECT_EQ(Hex{At(44, 4)}.v, 0xFFFFFFFF);
}

// No light is ever set: a lit vertex is emissive plus the ambient light
// times the material's ambient; unlit, it keeps its own colour.
TEST_F(GlDraw, LightingWithoutLightsIsEmissivePlusAmbient) {
    Begin();
    ASSERT_EQ(device->SetTransform(kTransformProjection, Perspective(1.0f, 100.0f)), Result::Ok);
    ASSERT_EQ(device->SetFVF(0x42), Result::Ok);
    Material m;
    m.emissive = {0.25f, 0, 0, 1};
    m.ambient = {0, 1, 0, 1};
    m.diffuse = {1, 1, 1, 1};
    ASSERT_EQ(device->SetMaterial(m), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsAmbient, 0xFF808080), Result::Ok);
    const WorldVertex lit[4] = {{-1, 1, 5, kBlue}, {0, 1, 5, kBlue}, {0, -1, 5, kBlue}, {-1, -1, 5, kBlue}};
    ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, lit, sizeof(WorldVertex)), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsLighting, 0), Result::Ok);
    const WorldVertex unlit[4] = {{0, 1, 5, kBlue}, {1, 1, 5, kBlue}, {1, -1, 5, kBlue}, {0, -1, 5, kBlue}};
    ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, unlit, sizeof(WorldVertex)), Result::Ok);
    End();
    EXPECT_TRUE(Near(At(60, 48), 0xFF408000)) << Hex{At(60, 48)};
    EXPECT_EQ(Hex{At(68, 48)}.v, kBlue);
}

TEST_F(GlDraw, LinearVertexFogMovesDistantPixelsToTheFogColour) {
    Begin();
    ASSERT_EQ(device->SetTransform(kTransformProjection, Perspective(1.0f, 100.0f)), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsLighting, 0), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsFogEnable, 1), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsFogVertexMode, kFogLinear), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsFogColor, kGreen), Result::Ok);
    const float start = 4.0f, end = 8.0f;
    uint32_t bits;
    std::memcpy(&bits, &start, 4);
    ASSERT_EQ(device->SetRenderState(kRsFogStart, bits), Result::Ok);
    std::memcpy(&bits, &end, 4);
    ASSERT_EQ(device->SetRenderState(kRsFogEnd, bits), Result::Ok);
    ASSERT_EQ(device->SetFVF(0x42), Result::Ok);
    auto quad = [&](float x0, float x1, float z) {
        const WorldVertex v[4] = {{x0, z / 5, z, kRed}, {x1, z / 5, z, kRed}, {x1, -z / 5, z, kRed},
                                  {x0, -z / 5, z, kRed}};
        return device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, v, sizeof(WorldVertex));
    };
    ASSERT_EQ(quad(-3, -1, 3), Result::Ok);    // nearer than the start: no fog
    ASSERT_EQ(quad(-0.5f, 0.5f, 6), Result::Ok);  // half way
    ASSERT_EQ(quad(2, 5, 10), Result::Ok);     // past the end: all fog
    End();
    EXPECT_EQ(Hex{At(30, 48)}.v, kRed);
    EXPECT_TRUE(Near(At(64, 48), 0xFF808000, 2)) << Hex{At(64, 48)};
    EXPECT_EQ(Hex{At(90, 48)}.v, kGreen);
}

TEST_F(GlDraw, IndexedDrawsReadTheBoundBuffersFromTheBaseVertex) {
    Ref<VertexBuffer> vb;
    ASSERT_EQ(device->CreateVertexBuffer(8 * sizeof(ColorVertex), 0, 0x44, kPoolManaged, vb.Put()), Result::Ok);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), Result::Ok);
    auto* v = static_cast<ColorVertex*>(data);
    for (int q = 0; q < 2; ++q) {
        const float x = q ? 40.0f : 0.0f;
        const uint32_t c = q ? kGreen : kRed;
        v[q * 4 + 0] = {x, 0, 0, 1, c};
        v[q * 4 + 1] = {x + 10, 0, 0, 1, c};
        v[q * 4 + 2] = {x + 10, 10, 0, 1, c};
        v[q * 4 + 3] = {x, 10, 0, 1, c};
    }
    ASSERT_EQ(vb->Unlock(), Result::Ok);
    Ref<IndexBuffer> ib = QuadIndices();
    Begin();
    ASSERT_EQ(device->SetFVF(0x44), Result::Ok);
    ASSERT_EQ(device->SetStreamSource(0, vb.Get(), 0, sizeof(ColorVertex)), Result::Ok);
    ASSERT_EQ(device->SetIndices(ib.Get()), Result::Ok);
    ASSERT_EQ(device->DrawIndexedPrimitive(kPrimitiveTriangleList, 4, 0, 4, 0, 2), Result::Ok);
    // Past the end of the vertex buffer: refused, not read.
    EXPECT_EQ(device->DrawIndexedPrimitive(kPrimitiveTriangleList, 5, 0, 4, 0, 2), Result::InvalidCall);
    EXPECT_EQ(device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, 4, 1, 2), Result::InvalidCall);
    End();
    EXPECT_EQ(Hex{At(45, 5)}.v, kGreen);
    EXPECT_EQ(Hex{At(5, 5)}.v, kBlack);
}

// A lock between two draws of the same texture: the first draw keeps the
// old texels even though both draws could share a batch.
TEST_F(GlDraw, DrawsBeforeALockSeeTheOldTexels) {
    Ref<Texture> t = MakeTexture(1, 1, [](uint32_t, uint32_t) { return kRed; });
    Begin();
    ASSERT_EQ(device->SetTexture(0, t.Get()), Result::Ok);
    ASSERT_EQ(Sprite(0, 0, 8, 8), Result::Ok);
    LockedRect r;
    ASSERT_EQ(t->LockRect(0, r, nullptr, 0), Result::Ok);
    const uint32_t green = kGreen;
    std::memcpy(r.bits, &green, 4);
    ASSERT_EQ(t->UnlockRect(0), Result::Ok);
    ASSERT_EQ(Sprite(8, 0, 16, 8), Result::Ok);
    End();
    EXPECT_EQ(Hex{At(4, 4)}.v, kRed);
    EXPECT_EQ(Hex{At(12, 4)}.v, kGreen);
}

// Overlapping sprites switching textures and blend modes every draw land
// in the order they were drawn.
TEST_F(GlDraw, AlternatingStatesKeepTheDrawOrder) {
    Ref<Texture> red = MakeTexture(1, 1, [](uint32_t, uint32_t) { return kRed; });
    Ref<Texture> green = MakeTexture(1, 1, [](uint32_t, uint32_t) { return kGreen; });
    Begin();
    ASSERT_EQ(device->SetRenderState(kRsAlphaBlendEnable, 1), Result::Ok);
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(device->SetTexture(0, i % 2 ? green.Get() : red.Get()), Result::Ok);
        const bool add = (i / 2) % 2;
        ASSERT_EQ(device->SetRenderState(kRsSrcBlend, add ? kBlendOne : kBlendSrcAlpha), Result::Ok);
        ASSERT_EQ(device->SetRenderState(kRsDestBlend, add ? kBlendOne : kBlendInvSrcAlpha), Result::Ok);
        ASSERT_EQ(Sprite(float(i), 0, float(i) + 8, 8), Result::Ok);
    }
    End();
    // Sprite i covers [i, i + 8) with texture i % 2, alpha-blended for an
    // even i / 2 and added for an odd one.
    struct Case {
        int32_t x;
        uint32_t want;
    };
    const Case cases[] = {
        {46, kGreen},       // 39 alone: green added to black
        {38, 0xFFFFFF00},   // 37 green, 38 adds red, 39 adds green
        {37, kGreen},       // 36 red, 37 green over it
        {36, kRed},         // 35 adds green, 36 red over it
        {35, 0xFFFFFF00},   // 33 green, 34 adds red, 35 adds green
    };
    for (const Case& c : cases) EXPECT_EQ(Hex{At(c.x, 4)}.v, c.want) << c.x;
}

TEST_F(GlDraw, ALineStripDrawsAlongPixelCentres) {
    Begin();
    const ColorVertex line[3] = {{2, 10.5f, 0, 1, kRed}, {30, 10.5f, 0, 1, kRed}, {30, 40.5f, 0, 1, kRed}};
    ASSERT_EQ(device->SetFVF(0x44), Result::Ok);
    ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveLineStrip, 2, line, sizeof(ColorVertex)), Result::Ok);
    End();
    EXPECT_EQ(Hex{At(15, 10)}.v, kRed);
    EXPECT_EQ(Hex{At(15, 11)}.v, kBlack);
    EXPECT_EQ(Hex{At(15, 9)}.v, kBlack);
}

TEST_F(GlDraw, DrawsAreRefusedOutsideAScene) {
    EXPECT_EQ(Fill(0, 0, 4, 4, kRed), Result::InvalidCall);
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    EXPECT_EQ(device->BeginScene(), Result::InvalidCall);
    const ColorVertex v[3]{};
    EXPECT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleList, 1, v, 24), Result::InvalidCall);   // stride
    EXPECT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleList, 0, v, 20), Result::InvalidCall);
    EXPECT_EQ(device->DrawPrimitiveUP(5, 1, v, 20), Result::InvalidCall);
    ASSERT_EQ(device->EndScene(), Result::Ok);
    EXPECT_EQ(device->EndScene(), Result::InvalidCall);
}

// Loader threads create and fill textures, render targets included; the GL
// work waits for the context's thread.
TEST_F(GlDraw, TexturesMadeOnAnotherThreadDrawOnTheContextThread) {
    Ref<Texture> managed, target, released;
    std::thread loader([&] {
        ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, kFormatA8R8G8B8, kPoolManaged, managed.Put()), Result::Ok);
        LockedRect r;
        ASSERT_EQ(managed->LockRect(0, r, nullptr, 0), Result::Ok);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) static_cast<uint32_t*>(r.bits)[y * r.pitch / 4 + x] = kGreen;
        ASSERT_EQ(managed->UnlockRect(0), Result::Ok);
        ASSERT_EQ(device->CreateTexture(8, 8, 1, kUsageRenderTarget, kFormatA8R8G8B8, kPoolDefault, target.Put()),
                  Result::Ok);
        ASSERT_EQ(FillTexture(target.Get(), kBlue), Result::Ok);
        ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, kFormatA8R8G8B8, kPoolManaged, released.Put()), Result::Ok);
    });
    loader.join();
    ASSERT_TRUE(managed && target && released);
    Begin();
    ASSERT_EQ(device->SetTexture(0, released.Get()), Result::Ok);
    ASSERT_EQ(Sprite(100, 0, 104, 4), Result::Ok);
    ASSERT_EQ(device->SetTexture(0, managed.Get()), Result::Ok);
    ASSERT_EQ(Sprite(0, 0, 16, 16), Result::Ok);
    ASSERT_EQ(device->SetTexture(0, target.Get()), Result::Ok);
    ASSERT_EQ(Sprite(16, 0, 32, 16), Result::Ok);
    End();
    // Released on another thread while the device still draws with others.
    std::thread([&] { released.Reset(); }).join();
    EXPECT_EQ(Hex{At(8, 8)}.v, kGreen);
    EXPECT_EQ(Hex{At(24, 8)}.v, kBlue);
    ASSERT_EQ(device->Present(), Result::Ok);
    Begin();
    ASSERT_EQ(device->SetTexture(0, nullptr), Result::Ok);
    ASSERT_EQ(Fill(0, 0, 4, 4, kRed), Result::Ok);
    End();
    EXPECT_EQ(Hex{At(1, 1)}.v, kRed);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render::testing
