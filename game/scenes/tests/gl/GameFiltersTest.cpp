// The game's own filters on real OpenGL: with an HDR level saved, the game
// makes its filters at start-up, and a white sprite drawn through the game's
// render list into the glow target comes out of the blur as a bright patch
// with a halo, as the glow should.
#include "engine/core/ObjectBase.h"
#include "engine/core/Scene.h"
#include "engine/graphics/Filter.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Texture.h"
#include "engine/model/RenderList.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/tests/MenuRun.h"
#include "game/scenes/tests/gl/GlGame.h"

#include <gtest/gtest.h>

#include <vector>

namespace game_filters_test {

namespace ORV_TEST_FILE_ID {

namespace {

constexpr u32 kSizeIndex = 2;   // 1024 x 768

// A 32 x 32 white sprite at (x, y) on screen, drawn into filter target 1
// (the glow).
class CGlowSprite : public CObjectBase {
    ORV_VALUE_CLASS(CGlowSprite)

public:
    CGlowSprite() = default;
    CGlowSprite(CTexture* texture, f32 x, f32 y) : m_texture(texture), m_x(x), m_y(y)
    {
        m_position.Set(0.0f, 0.0f, 1.0f);
        SetUserWord(1);
    }
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override
    {
        return m_texture->DrawSpriteTopLeft(m_x, m_y, nullptr, 1.0f, 1.0f, 0xFFFFFFFFu, kOrientNormal, 0, 0);
    }

private:
    CTexture* m_texture = nullptr;
    f32 m_x = 0.0f, m_y = 0.0f;
};

u32 Red(u32 argb) { return (argb >> 16) & 0xFF; }

// At the lowest and the highest HDR level of the options.
class GameFilters : public gl_test::GlGame, public ::testing::WithParamInterface<u8> {
protected:
    void SetUp() override
    {
        const u8 level = GetParam();
        ASSERT_TRUE(Start(
            kSizeIndex, [level](CSaveConfig& c) { c.GetGraphicsSettings()->hdrLevel = level; },
            [] { return new menu_run::CIdleScene; }));
        ASSERT_TRUE(app_->LoadResources());
    }

    static u32 Pixel(host::render::Surface* s, i32 x, i32 y)
    {
        u32 argb = 0;
        const host::render::Rect r{x, y, x + 1, y + 1};
        EXPECT_EQ(s->ReadPixels(&r, &argb), host::render::Result::Ok);
        return argb;
    }
};

TEST_P(GameFilters, AWhiteSpriteInTheGlowTargetGlowsOnTheScreen)
{
    CGraphicDevice* device = app_->GetDevice();
    auto* hdr = dynamic_cast<CHDRFilter*>(app_->GetHdrFilter());
    ASSERT_NE(hdr, nullptr);
    EXPECT_EQ(hdr->GetPassCount(), GetParam() + 1u);
    ASSERT_NE(app_->GetBasicFilter(), nullptr);
    // Both take the device's colour format.
    EXPECT_EQ(hdr->GetTarget(0)->GetFormat(), device->GetColorFormat());
    EXPECT_EQ(app_->GetBasicFilter()->GetTarget(0)->GetFormat(), device->GetColorFormat());

    std::vector<u32> white(32 * 32, 0xFFFFFFFFu);
    CTexture texture;
    ASSERT_EQ(texture.Create(32, 32, 0, host::render::kFormatA8R8G8B8, host::render::kPoolManaged), 1);
    ASSERT_EQ(texture.SetPixels(32, 32, white.data(), 4), 1);
    CGlowSprite sprite(&texture, 100.0f, 100.0f);

    CRenderList* list = app_->GetRenderList();
    ASSERT_EQ(list->GetFilter(), hdr);
    ASSERT_EQ(device->BeginScene(), 1);
    list->Clear();
    device->Clear(host::render::kClearTarget);
    device->SetState2D();
    list->Add(&sprite, 0);
    ASSERT_EQ(list->GetUsedCount(), 1u);
    list->Draw();
    list->Present();

    // The blur target (half size) holds the glow about the sprite's centre,
    // the screen a halo beyond the sprite's edge, and far from it the
    // cleared scene.
    host::render::Surface* screen = device->GetBackBuffer();
    const u32 blur = Pixel(hdr->GetTarget(3)->GetSurface(), 58, 58);
    EXPECT_EQ(blur >> 24, 0xFFu);
    EXPECT_GE(Red(blur), 0x20u) << std::hex << blur;
    EXPECT_EQ(Pixel(screen, 116, 116), 0xFFFFFFFFu);
    const u32 halo = Pixel(screen, 140, 116);
    EXPECT_GE(Red(halo), 0x10u) << std::hex << halo;
    EXPECT_LT(Red(halo), Red(Pixel(screen, 134, 116)));
    EXPECT_EQ(Pixel(screen, 600, 500), 0xFF000000u);
    EXPECT_EQ(device->EndScene(), 1);
}

INSTANTIATE_TEST_SUITE_P(HdrLevels, GameFilters, ::testing::Values(u8(1), u8(4)));

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace game_filters_test
