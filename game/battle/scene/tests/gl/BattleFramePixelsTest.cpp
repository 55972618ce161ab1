// One frame of a running battle on real OpenGL: four computer fighters on
// the battle data set, some seconds into the fight, drawn at 1024 x 768 and
// read back. The frame is written to the build folder as BattleFrame.png to
// look at; the test checks that the 3D view is not black and that the HUD
// lies over it where the layout puts it.
#include "engine/core/Crc32.h"
#include "engine/core/ObjectRegistry.h"
#include "engine/core/PackFile.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/Filter.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/tests/gl/GlWindowSupport.h"
#include "engine/model/RenderList.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Sound.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/character/Character.h"
#include "game/battle/object/CameraController.h"
#include "game/battle/scene/BattleApp.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/tests/BattleSceneTestSupport.h"
#include "game/battle/scene/tests/gl/Png.h"
#include "game/battle/scene/tests/gl/ScreenSize.h"
#include "game/battle/testdata/BattleData.h"
#include "host/image/Image.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/sound/Sound.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace render = host::render;

namespace {

using gl_test::kScreenHeight;
using gl_test::kScreenWidth;
constexpr u32 kFrames = 300;   // 5.4 s: past the start fade, fighters on the move

class GlBattleApp : public scene_test::FakeBattleApp {
public:
    CFilter* GetBasicFilter() override { return basic; }
    CFilter* basic = nullptr;
    u32 GetScreenWidth() override { return width; }
    u32 GetScreenHeight() override { return height; }
    u32 width = kScreenWidth, height = kScreenHeight;
};

// The view without its 2D part, to tell the HUD from the picture under it.
class FrameScene : public CBattleScene {
public:
    using CBattleScene::CBattleScene;
    void DrawWorldOnly()
    {
        const i32 local = FindLocalCharacter();
        CCharacter* viewer = GetCharacter(GetViewedCharacter(local >= 0 ? u32(local) : 0));
        auto* controller = dynamic_cast<CCameraController*>(viewer->GetCameraController());
        GetGraphicDevice()->SetState3D();
        if (controller && controller->GetCamera()) controller->GetCamera()->Apply();
        CRenderList* list = GetRenderList();
        DrawWorld(viewer, list, nullptr);
        list->Present();
    }
};

class BattleFramePixels : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(battle_data::WriteBattleData(root_ / "data", &error_)) << error_;
        ASSERT_EQ(gl_test::CreateGlWindow(system_, "battle", i32(width_), i32(height_)), 1);
        host::kernel::SetClock(&clock_);   // the window put the real one back
        ASSERT_EQ(device_.Create(&system_), 1) << "no OpenGL 3.3 device";
        host::sound::SetNullOutput(&null_);
        ASSERT_EQ(sound_.Initialize(&system_), 1);
        ASSERT_TRUE(host::kernel::SetCurrentDirectory(battle_data::ResourceFolder(root_ / "data")));
        for (const battle_data::Archive& a : battle_data::kArchives)
            ASSERT_EQ(resources_.LoadScrambledPack(a.path, Crc32String(a.packName), a.key, 1), 1u) << a.path;
        ASSERT_EQ(resources_.Load(battle_data::kResourceList, 1), 1u);
        ASSERT_EQ(effects_.Create(&device_, 1024, 1024), 1);

        std::string error;
        ASSERT_TRUE(battle_data::LoadMusicTension(tension_, &error)) << error;

        app_.width = width_;
        app_.height = height_;
        app_.resources = &resources_;
        app_.effects = &effects_;
        app_.sound = &sound_;
        app_.musicTension = &tension_;
        app_.userFolder = root_.Path();
        saved_ = GetObjectRegistry();
        SetObjectRegistry(&registry_);
        SetFrameTime(scene_test::kFrameMs);
    }

    void TearDown() override
    {
        SetFrameTime(0);
        SetObjectRegistry(saved_);
        effects_.DeleteAll();
        resources_.Release();
        host::kernel::SetCurrentDirectory(cwd_);
        device_.Release();
        render::InstallBackend(nullptr);
        host::sound::SetNullOutput(nullptr);
    }

    std::vector<u32> ReadFrame()
    {
        std::vector<u32> frame(width_ * height_);
        const render::Rect all{0, 0, i32(width_), i32(height_)};
        EXPECT_EQ(device_.GetBackBuffer()->ReadPixels(&all, frame.data()), render::Result::Ok);
        return frame;
    }

    // Runs the loaded battle past its start fade, then draws the view
    // without its 2D part (world) and the whole frame, and saves the frame
    // as name in the build folder; the saved path in out.
    void RunAndDraw(FrameScene& scene, const char* name, std::vector<u32>& world, std::vector<u32>& frame, std::string& out)
    {
        for (u32 f = 0; f < kFrames && !scene.IsOver(); ++f) {
            ASSERT_EQ(scene.Update(0), 1);
            // The fighters do not run their cameras' update in their late
            // update yet; the test runs it, as they will.
            for (u32 i = 0; i < scene.GetCharacterCount(); ++i) {
                if (auto* c = dynamic_cast<CCameraController*>(scene.GetCharacter(i)->GetCameraController())) c->Update(0);
            }
        }
        ASSERT_LE(scene.GetTimer(), 0.0f) << "still fading in";

        ASSERT_EQ(device_.BeginScene(), 1);
        scene.DrawWorldOnly();
        world = ReadFrame();
        ASSERT_EQ(device_.EndScene(), 1);
        ASSERT_EQ(device_.BeginScene(), 1);
        ASSERT_EQ(scene.Draw(0), 1);
        frame = ReadFrame();
        ASSERT_EQ(device_.EndScene(), 1);

        const std::string png = gl_test::Png(frame, width_, height_);
        out = std::string(ORV_TEST_BUILD_DIR) + "/" + name;
        ASSERT_TRUE(host::kernel::WriteFileAtomic(out, png.data(), png.size()));
    }

    // Pixels of the rectangle [x0, x1) x [y0, y1) where the frame differs
    // from the world under it: what the HUD covers there.
    static u32 Differs(const std::vector<u32>& frame, const std::vector<u32>& world, u32 width, u32 x0, u32 y0, u32 x1,
        u32 y1)
    {
        u32 n = 0;
        for (u32 y = y0; y < y1; ++y)
            for (u32 x = x0; x < x1; ++x) n += (frame[y * width + x] & 0xFFFFFF) != (world[y * width + x] & 0xFFFFFF);
        return n;
    }

    // The window and the view; a fixture of another size sets them first.
    u32 width_ = kScreenWidth, height_ = kScreenHeight;

    host::kernel::testing::TempFolder root_;
    std::string error_;
    std::string cwd_ = host::kernel::GetCurrentDirectory();
    CSystem system_;
    CGraphicDevice device_;
    host::sound::NullOutput null_;
    CSound sound_;
    CResourceController resources_;
    CEffectController effects_;
    CTensionFile tension_;
    GlBattleApp app_;
    host::kernel::FakeClock clock_{1000};
    host::kernel::ScopedClock scoped_{clock_};
    CObjectRegistry registry_;
    CObjectRegistry* saved_ = nullptr;
};

}  // namespace

TEST_F(BattleFramePixels, ARunningBattleFrameShowsTheArenaUnderTheHud)
{
    FrameScene scene(&app_);
    ASSERT_EQ(scene.Load(scene_test::OneViewSetup()), 1u);
    ASSERT_EQ(scene.IsSplitScreen(), 0u);
    std::vector<u32> world, frame;
    std::string out;
    ASSERT_NO_FATAL_FAILURE(RunAndDraw(scene, "BattleFrame.png", world, frame, out));

    // The arena: each quarter of the screen holds picture, not the clear colour.
    for (u32 q = 0; q < 4; ++q) {
        SCOPED_TRACE(q);
        const u32 x0 = q % 2 * kScreenWidth / 2, y0 = q / 2 * kScreenHeight / 2;
        u32 lit = 0;
        for (u32 y = y0; y < y0 + kScreenHeight / 2; ++y)
            for (u32 x = x0; x < x0 + kScreenWidth / 2; ++x) lit += (frame[y * kScreenWidth + x] & 0xFFFFFF) != 0;
        EXPECT_GT(lit, kScreenWidth * kScreenHeight / 16) << "see " << out;
    }
    // The HUD of the data set's layout: the own panel at the lower left and
    // the radar at the lower right cover the picture; a band of the screen
    // between them and the top rows shows the arena as it is.
    const auto differs = [&](u32 x0, u32 y0, u32 x1, u32 y1) { return Differs(frame, world, kScreenWidth, x0, y0, x1, y1); };
    EXPECT_GT(differs(20, 610, 400, 750), 380u * 140 / 2) << "no own panel; see " << out;
    EXPECT_GT(differs(820, 560, 1000, 740), 180u * 180 / 4) << "no radar; see " << out;
    EXPECT_LT(differs(150, 150, 280, 550), 130u * 400 / 20) << "the arena is covered; see " << out;
    EXPECT_LT(differs(0, 0, kScreenWidth, kScreenHeight), kScreenWidth * kScreenHeight / 3) << "see " << out;
}

TEST_F(BattleFramePixels, ScreenshotOfTheViewIsSavedAtTheChosenSize)
{
    CFilter basic;
    ASSERT_EQ(basic.Create(2048, 2048, device_.GetColorFormat(), render::kFormatD24S8, 1), 1);
    app_.basic = &basic;
    app_.config.GetGameSettings()->screenshotSize = 5;   // 720 x 480
    clock_.SetLocalTime({2026, 12, 1, 7, 8, 30, 15, 0});
    FrameScene scene(&app_);
    ASSERT_EQ(scene.Load(scene_test::OneViewSetup()), 1u);
    for (u32 f = 0; f < kFrames; ++f) {
        ASSERT_EQ(scene.Update(0), 1);
        for (u32 i = 0; i < scene.GetCharacterCount(); ++i) {
            if (auto* c = dynamic_cast<CCameraController*>(scene.GetCharacter(i)->GetCameraController())) c->Update(0);
        }
    }
    ASSERT_EQ(device_.BeginScene(), 1);
    ASSERT_EQ(scene.Draw(0), 1);
    ASSERT_EQ(scene.TakeScreenshot(0), 1);
    ASSERT_EQ(device_.EndScene(), 1);
    host::image::Image shot;
    host::image::DecodeOptions options;
    options.powerOfTwo = false;
    ASSERT_TRUE(host::image::DecodeFile(root_.Path() + "1207_083015.bmp", options, shot));
    ASSERT_EQ(shot.width, 720u);
    ASSERT_EQ(shot.height, 480u);
    const std::string png = gl_test::Png(shot.pixels, shot.width, shot.height);
    ASSERT_TRUE(host::kernel::WriteFileAtomic(std::string(ORV_TEST_BUILD_DIR) + "/BattleShot.png", png.data(), png.size()));
    u32 lit = 0;
    for (u32 p : shot.pixels) lit += (p & 0xFFFFFF) != 0;
    EXPECT_GT(lit, 720u * 480u / 2) << "a black picture";
    scene.Release();
    app_.basic = nullptr;
}


namespace {

// The same battle in a window of 640 x 480: the HUD is laid out for
// 1024 x 768 and drawn scaled down by 480 / 768 = 0.625.
class SmallBattleFramePixels : public BattleFramePixels {
protected:
    SmallBattleFramePixels()
    {
        width_ = 640;
        height_ = 480;
    }
};

}  // namespace

TEST_F(SmallBattleFramePixels, TheHudIsDrawnScaledDownToASmallerWindow)
{
    FrameScene scene(&app_);
    ASSERT_EQ(scene.Load(scene_test::OneViewSetup()), 1u);
    std::vector<u32> world, frame;
    std::string out;
    ASSERT_NO_FATAL_FAILURE(RunAndDraw(scene, "BattleFrameSmall.png", world, frame, out));
    ASSERT_EQ(frame.size(), 640u * 480u);

    const auto differs = [&](u32 x0, u32 y0, u32 x1, u32 y1) { return Differs(frame, world, 640, x0, y0, x1, y1); };
    // The full-size frame's own panel (20-400, 610-750), radar (820-1000,
    // 560-740) and clock (448-576, 13-61), each corner times 0.625; the band
    // between them uncovered.
    EXPECT_GT(differs(13, 382, 250, 468), 237u * 86 / 2) << "no own panel where the scaled layout puts it; see " << out;
    EXPECT_GT(differs(513, 350, 625, 462), 112u * 112 / 4) << "no radar where the scaled layout puts it; see " << out;
    EXPECT_GT(differs(280, 8, 360, 38), 80u * 30 / 2) << "no clock where the scaled layout puts it; see " << out;
    EXPECT_LT(differs(94, 94, 175, 343), 81u * 249 / 20) << "the arena is covered; see " << out;
    EXPECT_LT(differs(0, 0, 640, 480), 640u * 480 / 3) << "see " << out;
}

}  // namespace ORV_TEST_FILE_ID
