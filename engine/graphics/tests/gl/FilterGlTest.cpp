// Filters on real OpenGL, read back pixel by pixel: one blur pass spreads a
// dot by the weights the filter set, the glow brightens what was drawn into
// the glow target and leaves the rest of the scene as it was, and a capture
// of the back buffer drawn back changes nothing; and a sprite scaled unevenly
// under the default alpha test.
#include "engine/graphics/Filter.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/System.h"
#include "host/render/GlRender.h"
#include "host/window/Window.h"
#include "engine/graphics/tests/gl/GlWindowSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

namespace render = host::render;

constexpr i32 kWidth = 256, kHeight = 192;

CRect4 Rect(f32 left, f32 top, f32 right, f32 bottom)
{
    CRect4 r;
    r.Set(left, right, top, bottom);
    return r;
}

u32 Red(u32 argb) { return (argb >> 16) & 0xFF; }

class FilterGl : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(gl_test::CreateGlWindow(system_, "filters", kWidth, kHeight), 1);
        ASSERT_EQ(device_.Create(&system_), 1) << "no OpenGL 3.3 device";
        ASSERT_EQ(device_.GetBackBufferWidth(), u32(kWidth));
        ASSERT_EQ(device_.BeginScene(), 1);
        device_.SetState2D();
    }

    void TearDown() override
    {
        if (device_.GetDevice()) device_.EndScene();
        device_.Release();
        render::InstallBackend(nullptr);
    }

    // Clears the (x, y, w, h) region of the current colour target to argb.
    void Paint(u32 x, u32 y, u32 w, u32 h, u32 argb)
    {
        render::Viewport v{x, y, w, h, 0.0f, 1.0f};
        ASSERT_EQ(device_.GetDevice()->SetViewport(v), render::Result::Ok);
        ASSERT_EQ(device_.GetDevice()->Clear(render::kClearTarget, argb, 1.0f, 0), render::Result::Ok);
    }

    static std::vector<u32> Row(render::Surface* s, i32 y, i32 width)
    {
        std::vector<u32> out(size_t(width), 0);
        const render::Rect r{0, y, width, y + 1};
        EXPECT_EQ(s->ReadPixels(&r, out.data()), render::Result::Ok);
        return out;
    }

    static u32 Pixel(render::Surface* s, i32 x, i32 y)
    {
        u32 argb = 0;
        const render::Rect r{x, y, x + 1, y + 1};
        EXPECT_EQ(s->ReadPixels(&r, &argb), render::Result::Ok);
        return argb;
    }

    void PointSampling()
    {
        device_.GetDevice()->SetSamplerState(0, render::kSampMinFilter, render::kFilterPoint);
        device_.GetDevice()->SetSamplerState(0, render::kSampMagFilter, render::kFilterPoint);
    }

    CSystem system_;
    CGraphicDevice device_;
};

TEST_F(FilterGl, OneBlurPassSpreadsADotByTheFiltersWeights)
{
    CHDRFilter filter;
    ASSERT_EQ(filter.Create(64, 64, device_.GetColorFormat(), render::kFormatD24S8), 1);
    // The scene region read one to one, so each tap lands on a texel centre.
    const CRect4 region = Rect(0, 0, 48, 48);
    filter.SetScreenRect1(&region);
    filter.SetScreenRect2(&region);
    filter.SetAfterglow(0);
    filter.SetPassCount(1);
    ASSERT_EQ(filter.Begin(0), 1);
    ASSERT_EQ(filter.SetTarget(1), 1);
    Paint(24, 24, 1, 1, 0xFFFFFFFFu);
    ASSERT_EQ(device_.RestoreColorTarget(), 1);
    ASSERT_EQ(filter.Apply(0), 1);

    // Target 2 holds the pass along x: weight i at 2 (i + 1) texels on either
    // side of the dot, nothing at the dot itself or off its row.
    f32 weights[8];
    GaussWeights(filter.GetDispersion(), weights);
    std::vector<i32> want(48, 0);
    for (int i = 0; i < 8; ++i) {
        const i32 level = i32(std::lround(weights[i] * 255.0f));
        want[size_t(24 - 2 * (i + 1))] = want[size_t(24 + 2 * (i + 1))] = level;
    }
    render::Surface* pass = filter.GetTarget(2)->GetSurface();
    const std::vector<u32> row = Row(pass, 24, 48);
    for (i32 x = 0; x < 48; ++x) EXPECT_NEAR(i32(Red(row[size_t(x)])), want[size_t(x)], 1) << "x " << x;
    EXPECT_EQ(want[22], 40);
    for (u32 argb : Row(pass, 23, 48)) EXPECT_EQ(Red(argb), 0u);

    // Target 3 holds the pass along y over it: the product of two weights.
    render::Surface* both = filter.GetTarget(3)->GetSurface();
    EXPECT_NEAR(i32(Red(Pixel(both, 22, 22))), i32(std::lround(40 * weights[0])), 1);
    EXPECT_NEAR(i32(Red(Pixel(both, 20, 26))), i32(std::lround(std::lround(weights[1] * 255.0f) * weights[0])), 1);
    for (u32 argb : Row(both, 24, 48)) EXPECT_EQ(Red(argb), 0u);
}

TEST_F(FilterGl, TheGlowBrightensWhatWasDrawnIntoItAndLeavesTheRestOfTheScene)
{
    CHDRFilter filter;
    ASSERT_EQ(filter.Create(512, 512, device_.GetColorFormat(), render::kFormatD24S8), 1);
    filter.SetPassCount(2);
    ASSERT_EQ(filter.Begin(0), 1);
    // The scene grey all over; a patch drawn into the glow target.
    ASSERT_EQ(filter.SetTarget(0), 1);
    Paint(0, 0, kWidth, kHeight, 0xFF404040u);
    ASSERT_EQ(filter.SetTarget(1), 1);
    Paint(32, 32, 32, 32, 0xFF606060u);
    ASSERT_EQ(device_.RestoreColorTarget(), 1);
    ASSERT_EQ(filter.Apply(0), 1);

    render::Surface* screen = device_.GetBackBuffer();
    // Out of the blur's reach the scene is exactly what it was.
    for (auto [x, y] : {std::pair{200, 150}, {250, 10}, {5, 185}, {180, 40}})
        EXPECT_EQ(Pixel(screen, x, y), 0xFF404040u) << x << "," << y;
    // On the patch: scene, glow and blur added.
    const u32 inside = Red(Pixel(screen, 48, 48));
    EXPECT_GT(inside, 0x40u + 0x60u + 8u);
    // Beside it the blur alone: a halo brighter than the scene, dimmer than
    // the patch.
    const u32 halo = Red(Pixel(screen, 70, 48));
    EXPECT_GT(halo, 0x40u + 4u);
    EXPECT_LT(halo, inside);
}

TEST_F(FilterGl, ACapturedBackBufferDrawnBackIsUnchanged)
{
    // A pattern in which no two neighbours are alike.
    std::vector<u32> texels(size_t(kWidth) * kHeight);
    for (i32 y = 0; y < kHeight; ++y)
        for (i32 x = 0; x < kWidth; ++x)
            texels[size_t(y) * kWidth + x] = 0xFF000000u | u32(x) << 16 | u32(y) << 8 | u32((x * 7 + y * 13) & 0xFF);
    CTexture pattern;
    ASSERT_EQ(pattern.Create(kWidth, kHeight, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
    ASSERT_EQ(pattern.SetPixels(kWidth, kHeight, texels.data(), 4), 1);
    PointSampling();
    ASSERT_EQ(pattern.DrawRect(nullptr, nullptr, 0xFFFFFFFFu, kOrientNormal), 1);
    render::Surface* screen = device_.GetBackBuffer();
    std::vector<u32> before(texels.size());
    ASSERT_EQ(screen->ReadPixels(nullptr, before.data()), render::Result::Ok);
    ASSERT_EQ(before, texels);

    CFilter filter;
    ASSERT_EQ(filter.Create(512, 256, device_.GetColorFormat(), render::kFormatD24S8, 1), 1);
    ASSERT_EQ(filter.CaptureToTarget(nullptr, nullptr, 0), 1);
    device_.Clear(render::kClearTarget);
    ASSERT_EQ(Pixel(screen, 100, 100), 0xFF000000u);
    PointSampling();
    ASSERT_EQ(filter.DrawTarget(nullptr, nullptr, 0xFFFFFFFFu, 0), 1);
    std::vector<u32> after(texels.size());
    ASSERT_EQ(screen->ReadPixels(nullptr, after.data()), render::Result::Ok);
    size_t differing = 0;
    for (size_t i = 0; i < after.size(); ++i) differing += after[i] != before[i];
    EXPECT_EQ(differing, 0u);
}

TEST_F(FilterGl, AnUnevenlyScaledSpriteKeepsOnlyTexelsAboveTheAlphaReference)
{
    // The default alpha test passes alpha > 5: a texel of exactly 5 is cut.
    const u32 texels[4] = {0x05FF0000u, 0x0600FF00u, 0xFF0000FFu, 0xFFFFFF00u};
    CTexture sprite;
    ASSERT_EQ(sprite.Create(2, 2, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
    ASSERT_EQ(sprite.SetPixels(2, 2, texels, 4), 1);
    PointSampling();
    device_.SetBlendMode(0);  // copied as they are, alpha aside
    // 2 x 2 texels scaled 8 across and 4 down: 16 x 8 pixels from (10, 10).
    ASSERT_EQ(sprite.DrawSprite(10, 10, 0, nullptr, 8, 4, 0xFFFFFFFFu, kOrientNormal, 0, 0, 1 | 16), 1);
    render::Surface* screen = device_.GetBackBuffer();
    const struct {
        i32 x, y;
        u32 rgb;
    } pixels[] = {
        {12, 12, 0x000000}, {20, 12, 0x00FF00}, {25, 13, 0x00FF00}, {26, 12, 0x000000},
        {12, 14, 0x0000FF}, {17, 17, 0x0000FF}, {18, 17, 0xFFFF00}, {12, 18, 0x000000},
    };
    for (const auto& p : pixels) EXPECT_EQ(Pixel(screen, p.x, p.y) & 0xFFFFFFu, p.rgb) << p.x << "," << p.y;
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
