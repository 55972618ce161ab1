// The game run headless, as the entry runs it, frame by frame: fake window
// (focused), fake render, scripted keyboard, null sound output, a fake
// clock, message boxes answered and recorded, and a fresh TEMP and HOME
// (so the saves land in a folder of the test's own); fonts are the fake
// glyph boxes.
//
//   GameDriver game;                          // the fixture's data set
//   ASSERT_TRUE(game.Started());
//   ASSERT_TRUE(game.RunUntil("CBeginLoading", 10));
//   game.Press(menu::kDecide);
//   EXPECT_TRUE(game.RunUntil("CTitleScene", 600));
//
// Each Frame moves the clock to the frame timer's next tick (16 or 17 ms),
// runs the window messages, the app's Update and Draw, and keeps the render
// calls of that frame (outside battles unless asked). A loading screen's loader runs on a real thread: while
// one is current each frame also waits a little real time, and RunUntil
// counts those frames against a real-time bound instead of its budget.
#pragma once

#include "engine/core/Scene.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/app/Entry.h"
#include "game/data/SaveConfig.h"
#include "game/scenes/GameApp.h"
#include "host/input/Input.h"
#include "host/kernel/FakeMessageBox.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/render/FakeRender.h"
#include "host/render/RenderBackend.h"
#include "host/sound/Sound.h"
#include "host/text/FakeText.h"
#include "host/text/Text.h"
#include "host/window/FakeWindow.h"
#include "host/window/Window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace game_test {

// The data set of the CTest fixture (ORV_GAME_DATA); empty when unset.
inline std::string GameDataRoot()
{
    const char* root = std::getenv("ORV_GAME_DATA");
    return root ? root : "";
}

// Why the fixture's data set cannot be read ("" when it can): a test binary
// run on its own has no ORV_GAME_DATA, or names a set not written yet.
inline std::string GameDataMissing(const std::string& root)
{
    if (root.empty())
        return "no game data set: ORV_GAME_DATA is not set (ctest sets it and writes the set first, "
               "in its test game_data)";
    if (!std::filesystem::is_directory(root + "/one") || !std::filesystem::is_directory(root + "/two"))
        return "no game data set in " + root + " (ORV_GAME_DATA): ctest's test game_data writes it";
    return "";
}

struct DriverOptions {
    // Made current by Init instead of the start-up screen (loaded with 0).
    std::function<CScene*()> startScene;
    // Runs before Init with the user folder ready (to write saves).
    std::function<void(const std::string& userFolder)> beforeInit;
    // The desktop the device reads.
    u32 desktopWidth = 1920, desktopHeight = 1080;
    // Real milliseconds RunUntil gives loading screens in all.
    u32 loaderWaitMs = 20000;
    // Keep the render calls of battle frames too: thousands a battle, which
    // few tests read, and recording them is much of a battle frame's cost.
    bool battleCalls = false;
    // The clock when Init runs.
    u32 startMs = 100000;
    // Start through the program's entry, as the game does: only for a start
    // that fails (one that starts would run the entry's loop for good). The
    // entry deletes the application (App is then not to be used);
    // EntryStatus has its answer.
    bool throughEntry = false;
};

class GameDriver {
public:
    explicit GameDriver(const std::string& dataRoot = GameDataRoot(), DriverOptions options = {})
        : options_(std::move(options))
    {
        // The fixture's set missing stops the test here, named: the game
        // run on nothing ends in failures that do not say why, or a crash.
        // A root of a test's own may be missing on purpose.
        if (dataRoot == GameDataRoot()) {
            if (const std::string why = GameDataMissing(dataRoot); !why.empty()) throw std::runtime_error(why);
        }
        setenv("TEMP", (temp_.Path() + "Temp/").c_str(), 1);
        host::kernel::CreateDirectories(temp_.Path() + "Temp");
        if (const char* home = std::getenv("HOME")) oldHome_ = home;
        setenv("HOME", (temp_.Path() + "home").c_str(), 1);
        host::kernel::CreateDirectories(temp_.Path() + "home");
        host::input::SetBackend(&input_);
        host::sound::SetNullOutput(&sound_);
        host::render::DisplayMode desktop;
        desktop.width = options_.desktopWidth;
        desktop.height = options_.desktopHeight;
        desktop.format = host::render::kFormatX8R8G8B8;
        render_.SetDesktopMode(desktop);
        if (options_.beforeInit) options_.beforeInit(UserFolder());
        clock_.Set(options_.startMs);

        host::kernel::SetCurrentDirectory(dataRoot + "/one");
        app_ = std::make_unique<CGameApp>(DataFolders{dataRoot + "/one", dataRoot + "/two"});
        if (options_.startScene) app_->SetStartScene(options_.startScene);
        if (options_.throughEntry) {
            // The entry's factory takes no arguments: the application waits here.
            static CGameApp* made = nullptr;
            made = app_.release();
            entryStatus_ = WinMain([]() -> CApplicationMain* { return std::exchange(made, nullptr); },
                                   GetModuleInstance());
            return;
        }
        started_ = app_->Init(GetModuleInstance(), &Procedure) != 0;
        if (app_->GetSystem()) window_.Activate(app_->GetSystem()->GetWindowHandle());
        Pump();
        NoteScene();
    }

    ~GameDriver()
    {
        app_.reset();   // Exit: the scene, the saves, the rest
        host::sound::SetNullOutput(nullptr);
        host::input::SetBackend(nullptr);
        host::render::InstallBackend(nullptr);
        host::text::UseRealGlyphs();
        host::text::UseRealIme();
        host::kernel::SetCurrentDirectory(cwd_);
        if (oldHome_) setenv("HOME", oldHome_->c_str(), 1);
        else unsetenv("HOME");
    }
    GameDriver(const GameDriver&) = delete;
    GameDriver& operator=(const GameDriver&) = delete;

    bool Started() const { return started_; }
    i32 EntryStatus() const { return entryStatus_; }
    CGameApp& App() { return *app_; }
    // "<parent of TEMP>/Vantorel/ORV/": GameConfig.dat and the others.
    std::string UserFolder() const { return temp_.Path() + kUserDataRootName + "/" + kSaveFolderName + "/"; }

    host::kernel::FakeClock& Clock() { return clock_; }
    host::render::FakeRender& Render() { return render_; }
    host::input::FakeBackend& Input() { return input_; }
    host::window::FakeWindow& Window() { return window_; }
    host::text::FakeGlyphs& Glyphs() { return glyphs_; }
    host::text::FakeIme& Ime() { return ime_; }

    // One frame, as the entry's loop runs it; nothing once the quit
    // message was posted.
    void Frame()
    {
        if (quit_ || !started_) return;
        if (IsLoadingScreen()) RealSleep(2);
        clock_.Set(NextFrameTick(clock_.Milliseconds()));
        render_.SetLogging(options_.battleCalls || CurrentScene() != "CBattleScene");
        const size_t mark = render_.CallCount();
        app_->Update();
        app_->Draw();
        for (u8 key : releaseAfterFrame_) input_.SetKey(key, false);
        releaseAfterFrame_.clear();
        lastFrame_ = render_.TakeLog(mark);
        ++frame_;
        Pump();
        NoteScene();
    }
    void Frames(u32 count)
    {
        for (u32 i = 0; i < count; ++i) Frame();
    }

    // Player 1's button code 8..31 down through its saved keyboard key for
    // one frame (run here), up again from the next.
    void Press(u32 code)
    {
        const std::optional<u8> key = KeyOf(code);
        if (!key) return;
        input_.SetKey(*key, true);
        releaseAfterFrame_.push_back(*key);
        Frame();
    }
    void Hold(u32 code, bool down)
    {
        if (const std::optional<u8> key = KeyOf(code)) input_.SetKey(*key, down);
    }

    // Frames until the current scene's class is sceneClass; fails past the
    // budget (loading frames aside, see above) with the scene trail and the
    // boxes shown.
    ::testing::AssertionResult RunUntil(const char* sceneClass, u32 frameBudget)
    {
        u32 frames = 0, loadingWaits = 0;
        while (CurrentScene() != sceneClass && !quit_ && started_) {
            if (IsLoadingScreen()) {
                if (++loadingWaits * 2 > options_.loaderWaitMs) break;
            } else if (++frames > frameBudget) {
                break;
            }
            Frame();
        }
        if (CurrentScene() == sceneClass) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no " << sceneClass << " by frame " << frame_ << Describe();
    }

    // The current scene's class name, or "".
    std::string CurrentScene() const
    {
        const CScene* scene = app_ ? app_->GetScene() : nullptr;
        return scene ? scene->GetClassName() : "";
    }
    // Every scene that became current: "CLogoScene@123" (class @ frame).
    const std::vector<std::string>& Trail() const { return trail_; }
    // The texts of the message boxes shown so far (code page 932).
    std::vector<std::string> Boxes() const
    {
        std::vector<std::string> texts;
        for (const auto& box : boxes_.Boxes()) texts.push_back(box.text);
        return texts;
    }
    // Their captions, in the same order.
    std::vector<std::string> Captions() const
    {
        std::vector<std::string> captions;
        for (const auto& box : boxes_.Boxes()) captions.push_back(box.caption);
        return captions;
    }
    // The loop would end: the quit message was posted.
    bool QuitPosted() const { return quit_; }
    // The status the quit message carries: what the program would end with.
    i32 QuitCode() const { return quitCode_; }
    // The render calls of the last frame (none in a battle unless battleCalls).
    const std::vector<host::render::Call>& RenderLog() const { return lastFrame_; }
    u32 FrameCount() const { return frame_; }

    // The trail and the boxes, for failure messages.
    std::string Describe() const
    {
        std::string text = "\n  trail:";
        for (const std::string& step : trail_) text += " " + step;
        for (const std::string& box : Boxes()) text += "\n  box: " + host::kernel::Cp932ToUtf8(box);
        return text;
    }

private:
    static host::window::LResult Procedure(host::window::Handle window, u32 message, host::window::WParam wParam,
                                           host::window::LParam lParam)
    {
        if (message == host::window::kWmDestroy) {
            host::window::PostQuitMessage(0);
            return 0;
        }
        if (CGameApp* app = GetGameApp()) return app->WindowProc(window, message, wParam, lParam);
        return host::window::DefWindowProc(window, message, wParam, lParam);
    }

    static void RealSleep(u32 ms)
    {
        host::kernel::Event never(true, false);
        never.Wait(ms);
    }

    bool IsLoadingScreen() const
    {
        const std::string scene = CurrentScene();
        return scene == "CBeginLoading" || scene == "CLoadingScene";
    }

    // The window messages waiting, as the loop takes them.
    void Pump()
    {
        host::window::Message message;
        while (host::window::PeekMessage(message)) {
            if (message.message == host::window::kWmQuit) {
                quit_ = true;
                quitCode_ = i32(message.wParam);
                continue;
            }
            host::window::TranslateMessage(message);
            host::window::DispatchMessage(message);
        }
    }

    void NoteScene()
    {
        const std::string scene = CurrentScene();
        if (scene != lastScene_) trail_.push_back((scene.empty() ? "none" : scene) + "@" + std::to_string(frame_));
        lastScene_ = scene;
    }

    std::optional<u8> KeyOf(u32 code)
    {
        const CSaveConfig* config = app_ ? app_->GetSaveConfig() : nullptr;
        if (!config || code < 8 || code >= 8 + kKeyActionCount) {
            ADD_FAILURE() << "no key for button code " << code;
            return std::nullopt;
        }
        return u8(const_cast<CSaveConfig*>(config)->GetKeyConfigSection()->keyboard[code - 8]);
    }

    DriverOptions options_;
    std::string cwd_ = host::kernel::GetCurrentDirectory();
    host::kernel::testing::TempFolder temp_;
    std::optional<std::string> oldHome_;
    host::window::FakeWindow& window_ = host::window::InstallFakeWindow();
    // After the window service, which takes the boxes over when installed.
    host::kernel::FakeMessageBox boxes_;
    host::render::FakeRender& render_ = host::render::InstallFakeRender();
    // Fonts as boxes: no system font is looked up.
    host::text::FakeGlyphs& glyphs_ = host::text::InstallFakeGlyphs();
    host::text::FakeIme& ime_ = host::text::InstallFakeIme();
    host::input::FakeBackend input_;
    host::sound::NullOutput sound_;
    host::kernel::FakeClock clock_{100000};
    host::kernel::ScopedClock scopedClock_{clock_};
    std::unique_ptr<CGameApp> app_;
    i32 entryStatus_ = 0;
    bool started_ = false;
    bool quit_ = false;
    i32 quitCode_ = 0;
    u32 frame_ = 0;
    std::vector<u8> releaseAfterFrame_;
    std::vector<host::render::Call> lastFrame_;
    std::vector<std::string> trail_;
    std::string lastScene_;
};

}  // namespace game_test
