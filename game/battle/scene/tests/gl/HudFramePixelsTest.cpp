// One whole HUD frame of a two-fighter split-screen battle on real OpenGL:
// both fighters' consoles loaded from the layout on disk, each scaled into
// its view cell as the battle places it, drawn with the radar's stencil,
// read back and compared with the stored frame. The frame is also written
// to the build folder as HudFrame.png to look at.
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Texture.h"
#include "engine/graphics/tests/gl/GlWindowSupport.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/StageSetting.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/tests/ConsoleTestSupport.h"
#include "game/battle/scene/tests/gl/Png.h"
#include "host/image/Image.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace render = host::render;

namespace {

using namespace console_test;

constexpr u32 kFrameWidth = 256, kFrameHeight = 192;   // a quarter of the screen

class HudFramePixels : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(gl_test::CreateGlWindow(system_, "hud", kFrameWidth, kFrameHeight), 1);
        ASSERT_EQ(device_.Create(&system_), 1) << "no OpenGL 3.3 device";
        ASSERT_TRUE(host::kernel::SetCurrentDirectory(folder_.Path()));
        ASSERT_TRUE(WriteConsoleData(".", {}, ConsolePlacement::kSpread));

        // Each element's cell one flat colour, so filtering at the cells'
        // edges is all a card may round differently.
        auto* texture = new CTexture();
        ASSERT_EQ(texture->Create(kTextureSide, kTextureSide, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
        std::vector<u32> texels(kTextureSide * kTextureSide);
        for (u32 y = 0; y < kTextureSide; ++y) {
            for (u32 x = 0; x < kTextureSide; ++x) {
                const u32 cell = y / kCell * (kTextureSide / kCell) + x / kCell;
                texels[y * kTextureSide + x] = 0xFF000000u | (cell * 2654435761u >> 8 | 0x404040u);
            }
        }
        ASSERT_EQ(texture->SetPixels(kTextureSide, kTextureSide, texels.data(), 4), 1);
        texture->SetName("Console_01.dds");
        void* slot = static_cast<CValueBase*>(texture);
        resources_.GetTextureList()->Add(&slot);
        scene_.resources = &resources_;

        auto* setting = new CStageSetting();
        setting->GetParameters()->box.min = CVector3(-100, -10, -100);
        setting->GetParameters()->box.max = CVector3(100, 10, 100);
        void* stage = static_cast<CValueBase*>(new CStage(setting));
        stages_.Add(&stage);
    }

    void TearDown() override
    {
        resources_.Release();
        device_.Release();
        render::InstallBackend(nullptr);
        host::kernel::SetCurrentDirectory(cwd_);
        SetFrameTime(0);
    }

    std::string cwd_ = host::kernel::GetCurrentDirectory();
    host::kernel::testing::TempFolder folder_;
    CSystem system_;
    CGraphicDevice device_;
    CResourceController resources_;
    FakeConsoleScene scene_;
    CResourceList stages_;
};

}  // namespace

TEST_F(HudFramePixels, SplitScreenHudFrameMatchesTheStoredOne)
{
    FakeHudFighter a, b;
    a.team = 0, b.team = 1;
    b.characterId = 1;
    a.hp = 600, b.hp = 250;
    a.shownHp = 800;
    a.mp = 3, b.mp = 1;
    a.spark = 50;
    a.tensionLevel = 2;
    a.gauges[2] = 0.5f, a.gauges[4] = 1.0f;
    a.usable[4] = 1;
    a.counts[4] = 7, a.capacities[4] = 12;
    a.skillImages[0] = 0;
    b.position = CVector3(60, 0, 40);
    b.yaw = 45;
    HudFighterList list{&a, &b};

    // Two fighters: a 2 x 2 grid of cells, f = 1/2, the views side by side.
    const f32 f = 0.5f;
    CBattleConsole consoles[2];
    for (u32 i = 0; i < 2; ++i) {
        ConsoleSetup setup;
        setup.ownIndex = i;
        setup.timeSetting = 1;
        setup.characters = &list;
        setup.stageObjects = &stages_;
        setup.owner = &scene_;
        ASSERT_EQ(consoles[i].Load(&setup), 1u);
        consoles[i].GetSceneState().position = CVector3(f32(i) * kFrameWidth * f, 0.0f, 0.0f);
        consoles[i].SetScale(f32(kFrameWidth) / 1024.0f * f, f32(kFrameHeight) / 768.0f * f);
    }
    SetFrameTime(16);
    ASSERT_EQ(device_.BeginScene(), 1);
    for (CBattleConsole& c : consoles) {
        c.Update(0);
        ASSERT_EQ(c.Draw(0), 1);
    }
    std::vector<u32> frame(kFrameWidth * kFrameHeight);
    const render::Rect all{0, 0, i32(kFrameWidth), i32(kFrameHeight)};
    ASSERT_EQ(device_.GetBackBuffer()->ReadPixels(&all, frame.data()), render::Result::Ok);
    ASSERT_EQ(device_.EndScene(), 1);

    const std::string png = gl_test::Png(frame, kFrameWidth, kFrameHeight);
    const std::string out = std::string(ORV_TEST_BUILD_DIR) + "/HudFrame.png";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(out, png.data(), png.size()));

    u32 drawn = 0;
    for (u32 p : frame) drawn += (p & 0xFFFFFF) != 0;
    EXPECT_GT(drawn, 400u) << "an empty frame";

    const std::string reference = ORV_TEST_REFERENCE;
    host::image::Image stored;
    host::image::DecodeOptions options;
    options.powerOfTwo = false;
    if (!host::image::DecodeFile(reference, options, stored)) {
        ASSERT_TRUE(host::kernel::WriteFileAtomic(reference, png.data(), png.size()));
        GTEST_SKIP() << "no stored frame: wrote " << reference;
    }
    ASSERT_EQ(stored.width, kFrameWidth);
    ASSERT_EQ(stored.height, kFrameHeight);
    // Within 6 per channel, and at most 0.5% of the pixels further off (a
    // rasteriser may place an edge half a pixel differently).
    u32 off = 0;
    for (u32 y = 0; y < kFrameHeight; ++y) {
        for (u32 x = 0; x < kFrameWidth; ++x) {
            const u32 want = stored.pixels[size_t(y) * kFrameWidth + x], got = frame[y * kFrameWidth + x];
            for (int shift = 0; shift < 24; shift += 8) {
                if (std::abs(i32((want >> shift) & 0xFF) - i32((got >> shift) & 0xFF)) > 6) {
                    ++off;
                    break;
                }
            }
        }
    }
    EXPECT_LE(off, kFrameWidth * kFrameHeight / 200) << "see " << out;
}

}  // namespace ORV_TEST_FILE_ID
