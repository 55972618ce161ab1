// The game on real OpenGL for a frame read back: the fixture's data set
// (ORV_GAME_DATA), a TEMP of the test's own with the screen size saved, the
// real window under Xvfb, a scripted keyboard, null sound, a fake clock and
// answered message boxes.
//
//   class MyFrame : public gl_test::GlGame { ... };
//   TEST_F(MyFrame, X) { ASSERT_TRUE(Start(2)); Frame(17); auto f = ReadFrame(); }
#pragma once

#include "engine/graphics/GraphicDevice.h"
#include "game/data/SaveConfig.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/tests/MenuRun.h"
#include "host/input/Input.h"
#include "host/kernel/FakeMessageBox.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/render/GlRender.h"
#include "host/sound/Sound.h"
#include "host/window/Window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gl_test {

inline host::window::LResult GameProcedure(host::window::Handle window, u32 message, host::window::WParam w,
                                           host::window::LParam l)
{
    if (CGameApp* app = GetGameApp()) return app->WindowProc(window, message, w, l);
    return host::window::DefWindowProc(window, message, w, l);
}

// The layout's own size (screen size 2), where layout pixels are screen pixels.
inline constexpr u32 kLayoutWidth = 1024, kLayoutHeight = 768;
inline constexpr u32 kLayoutSizeIndex = 2;

class GlGame : public ::testing::Test {
protected:
    // Saves the screen size (and what configure changes), then brings the
    // game up on OpenGL; startScene, when given, replaces the start-up screen.
    ::testing::AssertionResult Start(u32 sizeIndex, const std::function<void(CSaveConfig&)>& configure = {},
                                     std::function<CScene*()> startScene = {})
    {
        const char* root = std::getenv("ORV_GAME_DATA");
        if (!root) return ::testing::AssertionFailure() << "the game_data fixture sets ORV_GAME_DATA";
        root_ = root;
        setenv("TEMP", (temp_.Path() + "Temp/").c_str(), 1);
        if (!host::kernel::CreateDirectories(temp_.Path() + "Temp")) return ::testing::AssertionFailure() << "no TEMP";
        CSaveConfig config;
        if (config.Load() != 1) return ::testing::AssertionFailure() << "no configuration";
        config.GetGraphicsSettings()->screenSize = sizeIndex;
        if (configure) configure(config);
        if (config.Save() != 1) return ::testing::AssertionFailure() << "configuration not saved";

        host::window::UseRealBackend();
        host::render::InstallGlRender();
        boxes_.emplace();   // after the window service, which takes the boxes over
        host::input::SetBackend(&input_);
        host::sound::SetNullOutput(&sound_);
        if (!host::kernel::SetCurrentDirectory(root_ + "/one")) return ::testing::AssertionFailure() << "no data";
        app_ = std::make_unique<CGameApp>(DataFolders{root_ + "/one", root_ + "/two"});
        if (startScene) app_->SetStartScene(std::move(startScene));
        if (app_->Init(GetModuleInstance(), &GameProcedure) != 1)
            return ::testing::AssertionFailure() << "no OpenGL 3.3 device";
        return ::testing::AssertionSuccess();
    }

    // The game at the layout's size on a scene that does nothing, its
    // resources loaded: where the menus' frame tests start.
    ::testing::AssertionResult StartIdle()
    {
        if (auto r = Start(kLayoutSizeIndex, {}, [] { return new menu_run::CIdleScene(); }); !r) return r;
        if (app_->GetClientWidth() != i32(kLayoutWidth))
            return ::testing::AssertionFailure() << "client width " << app_->GetClientWidth();
        if (!app_->LoadResources()) return ::testing::AssertionFailure() << "resources not loaded";
        return ::testing::AssertionSuccess();
    }

    // A file of the build folder, where the frames read are written.
    static std::string Out(const std::string& name) { return std::string(ORV_TEST_BUILD_DIR) + "/" + name; }

    void TearDown() override
    {
        app_.reset();
        host::sound::SetNullOutput(nullptr);
        host::input::SetBackend(nullptr);
        host::render::InstallBackend(nullptr);
        host::kernel::SetCurrentDirectory(cwd_);
    }

    // The clock on by ms, the window messages, the app's Update and Draw.
    void Frame(u32 ms)
    {
        clock_.Advance(ms);
        host::window::Message message;
        while (host::window::PeekMessage(message)) {
            host::window::TranslateMessage(message);
            host::window::DispatchMessage(message);
        }
        app_->Update();
        app_->Draw();
    }

    // The frame as CGameApp::Draw makes it, read back before it is shown.
    std::vector<u32> ReadFrame(u32 width, u32 height)
    {
        CGraphicDevice* device = app_->GetDevice();
        std::vector<u32> frame(width * height);
        EXPECT_EQ(device->BeginScene(), 1);
        app_->DrawSideBars();
        app_->GetScene()->Draw(0);
        const host::render::Rect all{0, 0, i32(width), i32(height)};
        EXPECT_EQ(device->GetBackBuffer()->ReadPixels(&all, frame.data()), host::render::Result::Ok);
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
    std::optional<host::kernel::FakeMessageBox> boxes_;
    std::unique_ptr<CGameApp> app_;
};

}  // namespace gl_test
