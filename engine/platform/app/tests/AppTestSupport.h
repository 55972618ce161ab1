// An application on fake services: the fake window and render backends, the
// fake input backend, the null sound output and a fake clock; and a test
// application that records what the entry and the window procedure make it
// do.
#pragma once

#include "engine/platform/app/ApplicationMain.h"
#include "engine/platform/app/Entry.h"

#include "host/input/Input.h"
#include "host/kernel/FakeMessageBox.h"
#include "host/kernel/Kernel.h"
#include "host/render/FakeRender.h"
#include "host/render/RenderBackend.h"
#include "host/sound/Sound.h"
#include "host/window/FakeWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace app_test {

namespace win = host::window;

// What the running test application did, kept past its deletion.
struct Record {
    std::string log;   // U update, D draw, L device lost, R device reset, X exit, ~ deleted
    int frames = 0;
    std::function<void(int frame)> onUpdate;   // after the base's Update
};

inline Record g_record;

class TestApp : public CApplicationMain {
public:
    // Subclasses run their own Exit once more before the base destructor,
    // unless the start-up failed.
    ~TestApp() override
    {
        if (!StartUpFailed()) Exit();
        g_record.log += '~';
    }
    i32 Update() override
    {
        CApplicationMain::Update();
        g_record.log += 'U';
        ++g_record.frames;
        if (g_record.onUpdate) g_record.onUpdate(g_record.frames);
        return 1;
    }
    i32 Draw() override
    {
        g_record.log += 'D';
        return CApplicationMain::Draw();
    }
    i32 OnDeviceLost() override
    {
        g_record.log += 'L';
        return 1;
    }
    i32 OnDeviceReset() override
    {
        g_record.log += 'R';
        return 1;
    }
    i32 Exit() override
    {
        g_record.log += 'X';
        return CApplicationMain::Exit();
    }

    static CApplicationMain* Make() { return new TestApp(); }
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_record = Record{};
        host::input::SetBackend(&input_);
        host::sound::SetNullOutput(&sound_);
    }
    void TearDown() override
    {
        g_record = Record{};
        host::sound::SetNullOutput(nullptr);
        host::input::SetBackend(nullptr);
        host::render::InstallBackend(nullptr);
        host::kernel::SetCurrentDirectory(cwd_);
    }

    // Takes every waiting message; true when kWmQuit was among them.
    static bool DrainForQuit()
    {
        bool quit = false;
        win::Message m;
        while (win::PeekMessage(m)) {
            if (m.message == win::kWmQuit) quit = true;
        }
        return quit;
    }

    std::string cwd_ = host::kernel::GetCurrentDirectory();
    win::FakeWindow& window_ = win::InstallFakeWindow();
    // After the window service, which takes the boxes over when installed.
    host::kernel::FakeMessageBox boxes_;
    host::render::FakeRender& render_ = host::render::InstallFakeRender();
    host::input::FakeBackend input_;
    host::sound::NullOutput sound_;
    host::kernel::FakeClock clock_{10000};
    host::kernel::ScopedClock scopedClock_{clock_};
};

}  // namespace app_test
