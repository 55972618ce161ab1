// The configuration tool on fakes: windows, dialogs, input and sound that a
// test drives, a per-user folder of its own, and the tool started on them
// with a window procedure that does what the program's entry's does.
#pragma once

#include "tool/config/ConfigTemplates.h"
#include "tool/config/ConfigToolApp.h"

#include "engine/platform/Input.h"
#include "engine/platform/System.h"
#include "game/data/SaveConfig.h"
#include "game/data/tests/SaveTestSupport.h"
#include "host/dialog/FakeDialog.h"
#include "host/input/Input.h"
#include "host/kernel/Kernel.h"
#include "host/sound/Sound.h"
#include "host/window/FakeWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tool_test {

using namespace config_ids;
using host::window::Handle;
using host::window::LParam;
using host::window::LResult;
using host::window::WParam;

inline CConfigToolApp* g_app = nullptr;

// The program's window procedure: destroying a window ends the loop, the
// rest goes to the application.
inline LResult ToolWindowProc(Handle window, uint32_t message, WParam wParam, LParam lParam)
{
    if (message == host::window::kWmDestroy) {
        host::window::PostQuitMessage(0);
        return 0;
    }
    return g_app ? g_app->WindowProc(window, message, wParam, lParam)
                 : host::window::DefWindowProc(window, message, wParam, lParam);
}

class ToolTest : public ::testing::Test {
protected:
    ToolTest()
    {
        host::input::SetBackend(&input);
        host::sound::SetNullOutput(&sound);
    }
    ~ToolTest() override
    {
        g_app = nullptr;
        app.reset();
        host::sound::SetNullOutput(nullptr);
        host::input::SetBackend(nullptr);
        host::kernel::SetCurrentDirectory(cwd);
    }

    // The configuration file the tool will find, written by the store.
    void WriteConfig(const std::function<void(CSaveConfig&)>& edit)
    {
        CSaveConfig config;
        EXPECT_EQ(config.Load(), 1);
        edit(config);
        EXPECT_EQ(config.Save(), 1);
    }
    std::string ConfigBytes() const { return save_test::ReadBytes(folder.Save(CSaveConfig::kFileName)).value_or(""); }
    // The file as the store would write it after edit on what is there now;
    // the file itself is left as it was.
    std::string ExpectedBytes(const std::function<void(CSaveConfig&)>& edit)
    {
        const std::string before = ConfigBytes();
        WriteConfig(edit);
        const std::string after = ConfigBytes();
        save_test::WriteBytes(folder.Save(CSaveConfig::kFileName), before);
        return after;
    }

    // Starts the tool; false when Init fails.
    bool Start()
    {
        app = std::make_unique<CConfigToolApp>();
        g_app = app.get();
        return app->Init(GetModuleInstance(), ToolWindowProc) == 1;
    }

    // Brings tab i (and key sub page j) to the front as the user would.
    void ShowTab(i32 index) { ASSERT_TRUE(dialogs.Choose(host::dialog::GetDlgItem(app->GetMainWindow(), kTab), index)); }
    void ShowKeyTab(i32 index)
    {
        ShowTab(i32(CConfigToolApp::kKeyConfigPageIndex));
        ASSERT_TRUE(dialogs.Choose(Item(CConfigToolApp::kKeyConfigPageIndex, kKeyTab), index));
    }
    Handle Item(u32 page, i32 id) const { return host::dialog::GetDlgItem(app->GetPage(page), id); }
    Handle KeyItem(u32 keyPage, i32 id) const { return host::dialog::GetDlgItem(app->GetKeyPage(keyPage), id); }
    std::string Text(Handle window) const { return host::window::GetWindowText(window); }

    // Saves through the save button, answering the question after it.
    void Save(int answer = host::kernel::kIdNo)
    {
        TakeBoxes();
        windows.AnswerBoxes({answer});
        ASSERT_TRUE(dialogs.Click(host::dialog::GetDlgItem(app->GetMainWindow(), kSave)));
        const auto boxes = TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "保存されました\nコンフィグツールを閉じますか？");
    }
    // The boxes shown since the last call.
    std::vector<host::window::FakeWindow::Box> TakeBoxes()
    {
        std::vector<host::window::FakeWindow::Box> all = windows.Boxes();
        std::vector<host::window::FakeWindow::Box> fresh(all.begin() + long(seenBoxes), all.end());
        seenBoxes = all.size();
        return fresh;
    }
    void Frame() { app->Update(); }   // the tool's idle step
    void Pump()   // what the user's actions queued
    {
        for (host::window::Message m; host::window::PeekMessage(m);) host::window::DispatchMessage(m);
    }

    std::string cwd = host::kernel::GetCurrentDirectory();
    save_test::UserFolder folder;
    host::kernel::FakeClock clock{1000};
    host::kernel::ScopedClock scopedClock{clock};
    host::window::FakeWindow& windows = host::window::InstallFakeWindow();
    host::dialog::FakeDialogs& dialogs = host::dialog::InstallFakeDialogs();
    host::input::FakeBackend input;
    host::sound::NullOutput sound;
    std::unique_ptr<CConfigToolApp> app;
    size_t seenBoxes = 0;
};

}  // namespace tool_test
