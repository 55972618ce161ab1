// One effect frame on real OpenGL, read back pixel by pixel: two sprite
// nodes played through the effect controller, seen by a fixed camera from
// the side, so that only a billboard turns their quads to face it. Each
// lands where the camera's projection puts it, the additive node adds onto
// the clear colour, and the alpha-blended one, sorted through the render
// list as the game's scenes draw, shows the colour its track gives at the
// frame's time.
#include "engine/core/Random.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Texture.h"
#include "engine/model/RenderList.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/System.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectObject.h"
#include "host/render/GlRender.h"
#include "host/window/Window.h"
#include "engine/graphics/tests/gl/GlWindowSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace ORV_TEST_FILE_ID {

namespace render = host::render;

namespace {

constexpr i32 kWidth = 128, kHeight = 96;
// The clear colour the additive node adds onto.
constexpr u32 kClear = 0xFF203040;
// The sprites' texture: red and blue pass, green is dropped.
constexpr u32 kMagenta = 0xFFFF00FF;

std::string Hex(u32 v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

// Each colour channel within one step: the card may round a blend either way.
bool Near(u32 a, u32 b)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(i32((a >> shift) & 0xFF) - i32((b >> shift) & 0xFF)) > 1) return false;
    return true;
}

class EffectPixels : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(gl_test::CreateGlWindow(system_, "effects", kWidth, kHeight), 1);
        ASSERT_EQ(device_.Create(&system_), 1) << "no OpenGL 3.3 device";
        ASSERT_EQ(controller_.Create(&device_, 16, 16), 1);
        controller_.SeedRandom(1234);
        ASSERT_EQ(texture_.Create(8, 8, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
        ASSERT_EQ(texture_.FillColor(kMagenta), 1);

        // From x = 3 towards the origin, 90 degrees high, 4:3: the plane
        // x = 0 lies 3 units in front, where one unit is 16 pixels. Screen
        // right is world +z: pixel x = 64 + 16 z, pixel y = 48 - 16 y.
        const CVector3 eye(3, 0, 0), target(0, 0, 0), up(0, 1, 0);
        camera_.SetLookAt(&eye, &target, &up);
        camera_.SetPerspective(90.0f, 4.0f / 3.0f, 0.5f, 100.0f);
        camera_.SetViewport(0, 0, 0, 0);
        ASSERT_EQ(camera_.Apply(), 1);
    }

    void TearDown() override
    {
        controller_.Release();
        texture_.Release();
        device_.Release();
        render::InstallBackend(nullptr);
        SetFrameTime(0);
    }

    // A sprite node emitting one particle at time 0 from its Position key
    // point, turned to the camera by the inverse of its view.
    CEffectObject* Sprite(const char* name, const CVector3& at, u32 blendMode)
    {
        auto* o = new CEffectObject();
        o->SetName(name);
        o->SetResource("spark.png", &texture_);
        o->GetPositionTrack().AddKey(0.0f, CSegment(at, at));
        o->GetParticleTrack().AddKey(0.0f, 1);
        o->GetNodeSettings().billboard = 1;
        o->GetNodeSettings().blendMode = blendMode;
        EXPECT_EQ(container_.AddObject(o), 1u);
        return o;
    }

    // One frame as a scene draws it: cleared, every live effect drawn, the
    // sorted particles through the render list after the rest. sorted gets
    // how many went to the list.
    void DrawFrame(u32* sorted = nullptr)
    {
        CRenderList list("描画リスト", 16, &device_);
        ASSERT_EQ(device_.BeginScene(), 1);
        ASSERT_EQ(device_.GetDevice()->Clear(render::kClearTarget | render::kClearZBuffer, kClear, 1.0f, 0),
            render::Result::Ok);
        ASSERT_EQ(controller_.DrawAll(0, &list), 1);
        if (sorted) *sorted = list.GetUsedCount();
        ASSERT_EQ(list.Draw(), 1);
        ASSERT_EQ(device_.EndScene(), 1);
    }

    u32 At(i32 x, i32 y)
    {
        const render::Rect rect{x, y, x + 1, y + 1};
        u32 argb = 0;
        EXPECT_EQ(device_.GetBackBuffer()->ReadPixels(&rect, &argb), render::Result::Ok);
        return argb;
    }

    CSystem system_;
    CGraphicDevice device_;
    CEffectController controller_;
    CTexture texture_;
    CEffectContainer container_;
    CCamera camera_;
};

}  // namespace

TEST_F(EffectPixels, OneFrameLandsWhereTheCameraSaysInItsBlendAndTrackColour)
{
    // Played at (0, 1, 0). "glow" sits 1 lower and 1.5 to the left: world
    // (0, 0, -1.5), its unit quad on pixels x 32-48, y 40-56. Additive
    // (mode 2: source times its alpha, plus the target), (1, 1, 0.5, 0.5):
    // bytes FF FF 7F, alpha 7F; the texture keeps FF 00 7F, times 127 / 255
    // that is 127, 0, 63.25, added onto 20 30 40 gives 9F 30 7F. Plain
    // adding (mode 4) would give FF 30 BF, alpha blending 8F 18 5F.
    CEffectObject* glow = Sprite("glow", CVector3(0, -1, -1.5f), 2);
    glow->GetColorTrack().AddKey(0.0f, CVector4(1.0f, 1.0f, 0.5f, 0.5f));
    // "fade" at world (0, 1, 1.5): pixels x 80-96, y 24-40. Alpha-blended
    // (mode 1), its colour blended over one second from (1, 0, 0.25, 0.25)
    // to (0, 0, 0.75, 0.75): at 0.5 s (0.5, 0, 0.5, 0.5), bytes 7F 00 7F,
    // alpha 7F. Over 20 30 40: red (127 x 127 + 32 x 128) / 255 = 79.3,
    // green 48 x 128 / 255 = 24.1, blue (127 x 127 + 64 x 128) / 255 = 95.4,
    // so 4F 18 5F. A stepped track (key 0: 57 24 40) or the last key
    // (08 0C 9F) would show otherwise.
    CEffectObject* fade = Sprite("fade", CVector3(0, 0, 1.5f), 1);
    fade->GetColorTrack().AddKey(0.0f, CVector4(1.0f, 0.0f, 0.25f, 0.25f));
    fade->GetColorTrack().AddKey(1.0f, CVector4(0.0f, 0.0f, 0.75f, 0.75f));
    fade->GetColorTrack().SetInterpolate(1);
    fade->GetNodeSettings().sorted = 1;

    const CVector3 at(0, 1, 0);
    CEffect* effect = container_.PlayAtPosition(&controller_, &at, 1, nullptr);
    ASSERT_NE(effect, nullptr);
    SetFrameTime(250);
    for (int frame = 0; frame < 2; ++frame) ASSERT_EQ(controller_.UpdateAll(0), 1);
    ASSERT_EQ(effect->GetTime(), 0.5f);
    ASSERT_NE(effect->GetFirstParticle(), nullptr);

    u32 sorted = 0;
    DrawFrame(&sorted);
    EXPECT_EQ(sorted, 1u);
    const u32 glowColour = 0xFF9F307F, fadeColour = 0xFF4F185F;
    struct Probe {
        const char* where;
        i32 x, y;
        u32 want;
    } probes[] = {
        {"glow centre", 40, 48, glowColour},
        {"glow, 2 in from its top left", 34, 42, glowColour},
        {"glow, 2 in from its bottom right", 45, 53, glowColour},
        {"left of glow", 29, 48, kClear},
        {"above glow", 40, 37, kClear},
        {"below glow", 40, 59, kClear},
        {"fade centre", 88, 32, fadeColour},
        {"fade, 2 in from its top left", 82, 26, fadeColour},
        {"fade, 2 in from its bottom right", 93, 37, fadeColour},
        {"right of fade", 99, 32, kClear},
        {"below fade", 88, 43, kClear},
        {"between them", 64, 40, kClear},
    };
    for (const Probe& p : probes) EXPECT_PRED2(Near, At(p.x, p.y), p.want) << p.where << ": " << Hex(At(p.x, p.y));

    // Without their billboard the quads keep facing along z and are seen
    // at a slant from the side, narrower: a quad point at world (x, y, z)
    // lands on pixel x 64 + 48 z / (3 - x), and x runs over -0.5..0.5, so
    // glow covers x 35-43 at most and fade 85-93. The pixels 2 in from
    // where the faced quads' left edges were stay clear.
    glow->GetNodeSettings().billboard = 0;
    fade->GetNodeSettings().billboard = 0;
    DrawFrame();
    EXPECT_PRED2(Near, At(34, 42), kClear) << Hex(At(34, 42));
    EXPECT_PRED2(Near, At(82, 26), kClear) << Hex(At(82, 26));
}

}  // namespace ORV_TEST_FILE_ID
