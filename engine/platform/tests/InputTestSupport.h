// The input tests' fixture: a fresh fake window and input service per test.
#pragma once

#include "engine/platform/Input.h"

#include "engine/platform/FrameTime.h"
#include "host/kernel/FakeMessageBox.h"
#include "host/window/FakeWindow.h"

#include <gtest/gtest.h>

#include <vector>

namespace input_test {

using host::input::Axis;
using host::input::Call;
using host::input::FakeBackend;
using host::input::PadVibration;
namespace key = host::input::key;
namespace bits = host::input::pad;

using V = std::vector<u32>;

// The fake window service of the running test.
inline host::window::FakeWindow* g_windows = nullptr;

// The game window on a fresh fake window service (g_windows), the cursor on
// its client area's corner: nothing carries over from an earlier test.
inline host::window::Handle NewMainWindow()
{
    g_windows = &host::window::InstallFakeWindow();
    host::window::WindowDesc desc;
    desc.x = 100, desc.y = 50, desc.width = 640, desc.height = 480;
    const host::window::Handle window = host::window::CreateWindow(desc);
    const host::window::Rect client = host::window::MapRect(window, nullptr, {0, 0, 0, 0});
    g_windows->SetCursorPos(client.left, client.top);
    return window;
}

inline host::input::PadState Pad(u16 buttons, i16 lx = 0, i16 ly = 0, i16 rx = 0, i16 ry = 0, u8 rightTrigger = 0)
{
    host::input::PadState s = {};
    s.buttons = buttons;
    s.thumbLX = lx, s.thumbLY = ly, s.thumbRX = rx, s.thumbRY = ry;
    s.rightTrigger = rightTrigger;
    return s;
}

inline V OnInputs(const u32* padInputs)
{
    V on;
    for (u32 i = 0; i < kPadInputCount; ++i)
        if (padInputs[i]) on.push_back(i);
    return on;
}

class InputTest : public ::testing::Test {
protected:
    InputTest() { host::input::SetBackend(&fake); }
    ~InputTest() override { host::input::SetBackend(nullptr); }
    void Start() { ASSERT_EQ(input.Initialize(window), 1u); }
    void Frame(u32 ms = 16)
    {
        SetFrameTime(ms);
        input.Update();
    }
    InputState& Slot(u32 p) { return *input.GetInputState(p); }
    // Controller slot 0's pad inputs with the given options.
    V ReadController(u32 swap = 0, u32 invertV = 0, u32 invertH = 0)
    {
        input.UpdateJoysticks();
        u32 pad[kPadInputCount] = {};
        EXPECT_EQ(input.ReadDirectInputPad(0, pad, swap, invertV, invertH, &adjusted), 1u);
        return OnInputs(pad);
    }

    // The window comes before the boxes: installing its service takes over
    // the message boxes.
    host::window::Handle window = NewMainWindow();
    host::input::FakeBackend fake;
    host::kernel::FakeMessageBox boxes;
    CInput input;
    host::input::JoystickState adjusted = {};
};

}  // namespace input_test
