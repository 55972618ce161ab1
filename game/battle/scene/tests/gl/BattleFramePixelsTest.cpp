// One frame of a running battle on real OpenGL: four computer fighters on
// the battle data set, some seconds into the fight, drawn at 1024 x 768 and
// read back. The frame is written to the build folder as BattleFrame.png to
// look at; the test checks that the 3D view is not black and that the HUD
// lies over it.
#include "engine/core/Crc32.h"
#include "engine/core/ObjectRegistry.h"
#include "engine/core/PackFile.h"
#include "engine/graphics/Camera.h"
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
#include "game/battle/testdata/BattleData.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/sound/Sound.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace render = host::render;

namespace {

constexpr u32 kWidth = 1024, kHeight = 768;
constexpr u32 kFrames = 300;   // 5.4 s: past the start fade, fighters on the move

// A PNG of stored (uncompressed) deflate blocks: large, but needs no codec.
std::string Png(const std::vector<u32>& argb, u32 width, u32 height)
{
    const auto crcOf = [](const std::string& bytes) {
        u32 c = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        return ~c;
    };
    const auto be = [](u32 v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    const auto chunk = [&](const char* type, const std::string& data) {
        const std::string body = type + data;
        return be(u32(data.size())) + body + be(crcOf(body));
    };
    std::string raw;
    for (u32 y = 0; y < height; ++y) {
        raw += '\0';
        for (u32 x = 0; x < width; ++x) {
            const u32 p = argb[y * width + x];
            raw += {char(p >> 16), char(p >> 8), char(p)};
        }
    }
    std::string z = "\x78\x01";
    for (size_t at = 0; at < raw.size(); at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z += char(at + n == raw.size() ? 1 : 0);
        z += {char(n), char(n >> 8), char(~n), char(~n >> 8)};
        z += raw.substr(at, n);
    }
    u32 a = 1, b = 0;
    for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
    z += be(b << 16 | a);
    const std::string header = be(width) + be(height) + std::string{8, 2, 0, 0, 0};
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", z) + chunk("IEND", "");
}

class GlBattleApp : public scene_test::FakeBattleApp {
public:
    u32 GetScreenWidth() override { return kWidth; }
    u32 GetScreenHeight() override { return kHeight; }
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
        ASSERT_EQ(gl_test::CreateGlWindow(system_, "battle", kWidth, kHeight), 1);
        ASSERT_EQ(device_.Create(&system_), 1) << "no OpenGL 3.3 device";
        host::sound::SetNullOutput(&null_);
        ASSERT_EQ(sound_.Initialize(&system_), 1);
        ASSERT_TRUE(host::kernel::SetCurrentDirectory(battle_data::ResourceFolder(root_ / "data")));
        for (const battle_data::Archive& a : battle_data::kArchives)
            ASSERT_EQ(resources_.LoadScrambledPack(a.path, Crc32String(a.packName), a.key, 1), 1u) << a.path;
        ASSERT_EQ(resources_.Load(battle_data::kResourceList, 1), 1u);
        ASSERT_EQ(effects_.Create(&device_, 1024, 1024), 1);

        CqelPackFile pack;
        const battle_data::Archive& a = battle_data::kBattleMusicArchive;
        ASSERT_EQ(pack.OpenScrambled(a.path, Crc32String(a.packName), a.key), 1u);
        CSoundBuffer music;
        ASSERT_EQ(music.LoadFromPack(&pack, battle_data::kMusicEntry, 1, 0), 1u);
        CString report;
        ASSERT_EQ(tension_.LoadFromPack(&music, battle_data::kTensionEntry, &pack, &report), 1);

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
        std::vector<u32> frame(kWidth * kHeight);
        const render::Rect all{0, 0, i32(kWidth), i32(kHeight)};
        EXPECT_EQ(device_.GetBackBuffer()->ReadPixels(&all, frame.data()), render::Result::Ok);
        return frame;
    }

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
    ASSERT_EQ(scene.Load(scene_test::CpuSetup()), 1u);
    ASSERT_EQ(scene.IsSplitScreen(), 0u);
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
    const std::vector<u32> world = ReadFrame();
    ASSERT_EQ(device_.EndScene(), 1);
    ASSERT_EQ(device_.BeginScene(), 1);
    ASSERT_EQ(scene.Draw(0), 1);
    const std::vector<u32> frame = ReadFrame();
    ASSERT_EQ(device_.EndScene(), 1);

    const std::string png = Png(frame, kWidth, kHeight);
    const std::string out = std::string(ORV_TEST_BUILD_DIR) + "/BattleFrame.png";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(out, png.data(), png.size()));

    // The arena: each quarter of the screen holds picture, not the clear colour.
    for (u32 q = 0; q < 4; ++q) {
        SCOPED_TRACE(q);
        const u32 x0 = q % 2 * kWidth / 2, y0 = q / 2 * kHeight / 2;
        u32 lit = 0;
        for (u32 y = y0; y < y0 + kHeight / 2; ++y)
            for (u32 x = x0; x < x0 + kWidth / 2; ++x) lit += (frame[y * kWidth + x] & 0xFFFFFF) != 0;
        EXPECT_GT(lit, kWidth * kHeight / 16) << "see " << out;
    }
    // The HUD: the tension strips across the upper left (the data set's
    // layout), and nothing of it beyond a small share of the screen.
    const auto differs = [&](u32 x0, u32 y0, u32 x1, u32 y1) {
        u32 n = 0;
        for (u32 y = y0; y < y1; ++y)
            for (u32 x = x0; x < x1; ++x) n += (frame[y * kWidth + x] & 0xFFFFFF) != (world[y * kWidth + x] & 0xFFFFFF);
        return n;
    };
    EXPECT_GT(differs(100, 198, 610, 242), 500u * 6) << "no tension strips; see " << out;
    const u32 hud = differs(0, 0, kWidth, kHeight);
    EXPECT_GT(hud, kWidth * kHeight / 100) << "see " << out;
    EXPECT_LT(hud, kWidth * kHeight / 10) << "the HUD hides the arena; see " << out;
}
