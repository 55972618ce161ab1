// The game on real OpenGL in a 16:9 window (1280 x 720), run from its
// start-up screen to the title and read back. The frame is written to the
// build folder as TitleFrame.png to look at; the test checks flat regions:
// the side bars' squares, the background layer, and the selected item's
// label moved left of its place.
#include "engine/core/Scene.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/FrameTime.h"
#include "game/battle/scene/tests/gl/Png.h"
#include "game/data/SaveConfig.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/testdata/SceneData.h"
#include "host/input/Input.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/render/GlRender.h"
#include "host/sound/Sound.h"
#include "host/window/Window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace render = host::render;

namespace {

constexpr u32 kWidth = 1280, kHeight = 720;
constexpr u32 kSizeIndex = 7;   // 1280 x 720

host::window::LResult Procedure(host::window::Handle window, u32 message, host::window::WParam w,
                                host::window::LParam l)
{
    if (CGameApp* app = GetGameApp()) return app->WindowProc(window, message, w, l);
    return host::window::DefWindowProc(window, message, w, l);
}

class TitleFramePixels : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* root = std::getenv("ORV_GAME_DATA");
        ASSERT_NE(root, nullptr) << "the game_data fixture sets ORV_GAME_DATA";
        root_ = root;
        setenv("TEMP", (temp_.Path() + "Temp/").c_str(), 1);
        ASSERT_TRUE(host::kernel::CreateDirectories(temp_.Path() + "Temp"));
        // A 16:9 size and no opening movie, so the title comes soon.
        CSaveConfig config;
        ASSERT_EQ(config.Load(), 1);
        config.GetGraphicsSettings()->screenSize = kSizeIndex;
        config.GetGraphicsSettings()->movieDisplay = 0;
        ASSERT_EQ(config.Save(), 1);

        host::window::UseRealBackend();
        render::InstallGlRender();
        host::input::SetBackend(&input_);
        host::sound::SetNullOutput(&sound_);
        ASSERT_TRUE(host::kernel::SetCurrentDirectory(root_ + "/one"));
        app_ = std::make_unique<CGameApp>(DataFolders{root_ + "/one", root_ + "/two"});
        ASSERT_EQ(app_->Init(GetModuleInstance(), &Procedure), 1) << "no OpenGL 3.3 device";
        ASSERT_EQ(app_->GetClientWidth(), i32(kWidth));
        ASSERT_EQ(app_->GetClientHeight(), i32(kHeight));
    }

    void TearDown() override
    {
        app_.reset();
        host::sound::SetNullOutput(nullptr);
        host::input::SetBackend(nullptr);
        render::InstallBackend(nullptr);
        host::kernel::SetCurrentDirectory(cwd_);
    }

    void Frame()
    {
        clock_.Advance(17);
        host::window::Message message;
        while (host::window::PeekMessage(message)) {
            host::window::TranslateMessage(message);
            host::window::DispatchMessage(message);
        }
        app_->Update();
        app_->Draw();
        for (u8 key : pressed_) input_.SetKey(key, false);
        pressed_.clear();
    }

    std::string Scene() const { return app_->GetScene() ? app_->GetScene()->GetClassName() : ""; }

    void Press(u32 code)
    {
        const u8 key = u8(app_->GetSaveConfig()->GetKeyConfigSection()->keyboard[code - 8]);
        input_.SetKey(key, true);
        pressed_.push_back(key);
    }

    // The frame as CGameApp::Draw makes it, read back before it is shown.
    std::vector<u32> ReadFrame()
    {
        CGraphicDevice* device = app_->GetDevice();
        std::vector<u32> frame(kWidth * kHeight);
        EXPECT_EQ(device->BeginScene(), 1);
        app_->DrawSideBars();
        app_->GetScene()->Draw(0);
        const render::Rect all{0, 0, i32(kWidth), i32(kHeight)};
        EXPECT_EQ(device->GetBackBuffer()->ReadPixels(&all, frame.data()), render::Result::Ok);
        EXPECT_EQ(device->EndScene(), 1);
        return frame;
    }

    std::string root_;
    std::string cwd_ = host::kernel::GetCurrentDirectory();
    host::kernel::testing::TempFolder temp_;
    host::input::FakeBackend input_;
    host::sound::NullOutput sound_;
    host::kernel::FakeClock clock_{100000};
    host::kernel::ScopedClock scoped_{clock_};
    std::vector<u8> pressed_;
    std::unique_ptr<CGameApp> app_;
};

TEST_F(TitleFramePixels, TheTitleInAWideWindowHasSideBarsAndItsSelectedLabelMovedLeft)
{
    // Start-up: wait for the loader (real time), press for the prompt.
    for (u32 i = 0; i < 3000 && Scene() == "CBeginLoading"; ++i) {
        host::kernel::Event never(true, false);
        never.Wait(2);
        // Every other frame: a key down on consecutive polls is held, not
        // pressed again.
        if (i % 2 == 0) Press(menu::kDecide);
        Frame();
    }
    for (u32 i = 0; i < 600 && Scene() != "CTitleScene"; ++i) Frame();
    ASSERT_EQ(Scene(), "CTitleScene");
    for (u32 i = 0; i < 90; ++i) Frame();   // the curtain lifts, the menu fades in

    const std::vector<u32> frame = ReadFrame();
    const std::string png = gl_test::Png(frame, kWidth, kHeight);
    const std::string out = std::string(ORV_TEST_BUILD_DIR) + "/TitleFrame.png";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(out, png.data(), png.size()));
    const auto at = [&](f32 x, f32 y) { return frame[u32(y) * kWidth + u32(x)] & 0xFFFFFFu; };

    // The side bars: 16-pixel squares, dark and grey in turn, left of the
    // 4:3 area (960 wide, from 160) and right of it.
    const f32 margin = (kWidth - kHeight / 0.75f) * 0.5f;
    for (const auto& [x, y, colour] : {std::tuple{8.0f, 8.0f, 0x000000u}, {24.0f, 8.0f, 0x484848u},
             {8.0f, 24.0f, 0x484848u}, {24.0f, 24.0f, 0x000000u}, {kWidth - margin + 8, 8.0f, 0x000000u},
             {kWidth - margin + 24, 8.0f, 0x484848u}}) {
        EXPECT_EQ(at(x, y), colour) << x << ", " << y << "; see " << out;
    }

    // Layers stand on a grid of the layout, each showing its own cell's
    // colour; the title gives them all the background texture.
    // A copy: the set built here is gone after this line.
    const std::vector<std::string> layers = scene_data::BuildSceneData().layouts.at("Scene\\TitleSceneM.sce");
    const f32 s = kHeight / 768.0f;
    const auto centre = [&](size_t i, f32 dx) {
        const f32 x = margin + (f32(i % 32 * 32) + dx + 12.0f) * s, y = (f32(i / 32 % 24 * 32) + 12.0f) * s;
        return at(x, y);
    };
    const auto index = [&](const char* name) {
        return size_t(std::find(layers.begin(), layers.end(), name) - layers.begin());
    };
    const auto cellColour = [](size_t i) {
        return (0xFF000000u | (uint32_t(i * 2654435761u >> 8) & 0xFF7FFFu) | 0x200020u) & 0xFFFFFFu;
    };
    const size_t base = index("Base"), story = index("Story"), adventure = index("Adventure");
    ASSERT_LT(story, layers.size());
    EXPECT_EQ(centre(base, 0), cellColour(base)) << "background; see " << out;
    // Story is selected: its label is drawn 68 layout pixels to the left;
    // Adventure stays in place.
    EXPECT_EQ(centre(story, -68.0f), cellColour(story)) << "selected label; see " << out;
    EXPECT_EQ(centre(adventure, 0), cellColour(adventure)) << "other label; see " << out;
}

}  // namespace
