#include "engine/platform/Input.h"

#include "engine/platform/FrameTime.h"
#include "host/kernel/FakeMessageBox.h"
#include "host/window/FakeWindow.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace {

using host::input::Axis;
using host::input::Call;
using host::input::FakeBackend;
using host::input::PadVibration;
using V = std::vector<u32>;
namespace key = host::input::key;
namespace bits = host::input::pad;

// The fake window service MainWindow installed.
host::window::FakeWindow* g_windows = nullptr;

// The game window, on a fake window service (g_windows).
host::window::Handle MainWindow()
{
    static host::window::Handle window = nullptr;
    if (!g_windows || !host::window::IsWindow(window)) {
        g_windows = &host::window::InstallFakeWindow();
        host::window::WindowDesc desc;
        desc.x = 100, desc.y = 50, desc.width = 640, desc.height = 480;
        window = host::window::CreateWindow(desc);
        // The cursor starts on the client area's corner.
        const host::window::Rect client = host::window::MapRect(window, nullptr, {0, 0, 0, 0});
        g_windows->SetCursorPos(client.left, client.top);
    }
    return window;
}

host::input::PadState Pad(u16 buttons, i16 lx = 0, i16 ly = 0, i16 rx = 0, i16 ry = 0, u8 rightTrigger = 0)
{
    host::input::PadState s = {};
    s.buttons = buttons;
    s.thumbLX = lx, s.thumbLY = ly, s.thumbRX = rx, s.thumbRY = ry;
    s.rightTrigger = rightTrigger;
    return s;
}

V OnInputs(const u32* padInputs)
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
    void Start() { ASSERT_EQ(input.Initialize(MainWindow()), 1u); }
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
    host::window::Handle window = MainWindow();
    FakeBackend fake;
    host::kernel::FakeMessageBox boxes;
    CInput input;
    host::input::JoystickState adjusted = {};
};

using InputDevices = InputTest;
using InputManager = InputTest;

TEST_F(InputDevices, InitFailuresShowTheirMessageAndFail)
{
    const struct {
        Call call;
        int device;
        const char* text;
    } cases[] = {
        {Call::CreateInput, FakeBackend::kAnyDevice, "DirectInput8オブジェクトの生成に失敗しました"},
        {Call::CreateDevice, FakeBackend::kKeyboard, "DirectInput8\nキーボードオブジェクトの生成に失敗しました"},
        {Call::SetDataFormat, FakeBackend::kKeyboard, "DirectInput8\nキーボードのデータ設定に失敗しました"},
        {Call::SetCooperativeLevel, FakeBackend::kKeyboard, "DirectInput8\nキーボードの協調設定に失敗しました"},
        {Call::CreateDevice, FakeBackend::kMouse, "DirectInput8\nマウスオブジェクトの生成に失敗しました"},
        {Call::SetDataFormat, FakeBackend::kMouse, "DirectInput8\nマウスのデータ設定に失敗しました"},
        {Call::SetCooperativeLevel, FakeBackend::kMouse, "DirectInput8\nマウスの協調設定に失敗しました"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        fake.ClearFailures();
        boxes.Clear();
        fake.Fail(c.call, c.device);
        EXPECT_EQ(input.Initialize(MainWindow()), 0u);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.Last().text, c.text);
        EXPECT_EQ(boxes.Last().caption, "Error");
        EXPECT_EQ(boxes.Last().type, host::kernel::kMbOk);
    }
    // A failed enumeration and a missing window fail without a box.
    fake.ClearFailures();
    boxes.Clear();
    fake.PlugJoystick();
    fake.Fail(Call::EnumJoysticks);
    EXPECT_EQ(input.Initialize(MainWindow()), 0u);
    EXPECT_EQ(input.GetJoystickCount(), 0u);
    EXPECT_EQ(input.Initialize(nullptr), 0u);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(InputDevices, ControllerSetUp)
{
    for (int i = 0; i < 17; ++i) fake.PlugJoystick({.name = "Pad " + std::to_string(i)});
    fake.Fail(Call::SetDataFormat, 1);
    Start();
    // Sixteen slots; a failed set-up empties its slot and keeps the count.
    EXPECT_EQ(input.GetJoystickCount(), 16u);
    EXPECT_EQ(input.GetJoystickState(1), nullptr);
    EXPECT_EQ(input.GetJoystickInfo(1), nullptr);
    EXPECT_STREQ(input.GetJoystickInfo(15)->instanceName, "Pad 15");
    EXPECT_EQ(fake.AxisRangeOf(0, Axis::Rz), std::make_pair(-1000, 1000));
    // A controller that cannot be created ends the enumeration.
    fake.ClearFailures();
    fake.Fail(Call::CreateDevice, 3);
    Start();
    EXPECT_EQ(input.GetJoystickCount(), 3u);
}

TEST_F(InputDevices, LostDevicesAreAcquiredAgainOnTheNextRead)
{
    const int stick = fake.PlugJoystick();
    Start();
    fake.SetKey(key::Z, true);
    fake.SetMouseButton(1, true);
    fake.SetAxis(stick, Axis::X, 700);
    Frame();
    EXPECT_EQ(input.IsKeyTriggered(key::Z), 1u);
    Frame();
    EXPECT_EQ(input.IsKeyTriggered(key::Z) + 2 * input.IsKeyDown(key::Z), 2u);   // held, not new
    // Keyboard and mouse read as all up, the controller keeps its state.
    for (int device : {FakeBackend::kKeyboard, FakeBackend::kMouse, stick}) fake.LoseAcquisition(device);
    fake.SetAxis(stick, Axis::X, -300);
    Frame();
    EXPECT_EQ(input.IsKeyDown(key::Z) + input.GetMouseState().buttons[1], 0u);
    EXPECT_EQ(input.GetJoystickState(0)->x, 700);
    Frame();
    EXPECT_EQ(input.IsKeyTriggered(key::Z) + input.GetMouseState().buttons[1], 2u);
    EXPECT_EQ(input.GetJoystickState(0)->x, -300);
    EXPECT_EQ(input.IsKeyDown(256), 0u);
}

TEST_F(InputDevices, ControllerPadInputs)
{
    const int stick = fake.PlugJoystick();
    Start();
    EXPECT_EQ(ReadController(), V{});   // POV centred
    fake.SetPov(stick, 0, 4500);
    EXPECT_EQ(ReadController(), (V{kPadDpUp, kPadDpRight}));
    fake.SetPov(stick, 0, 31499);
    for (int button : {4, 6, 11, 12}) fake.SetButton(stick, button, true);
    EXPECT_EQ(ReadController(), (V{kPadDpLeft, kPadRsPush, kPadButton7, kPadButton5, kPadButton13}));
    fake.SetPov(stick, 0, host::input::kPovCentred);
    for (int button : {4, 6, 11, 12}) fake.SetButton(stick, button, false);

    fake.SetAxis(stick, Axis::X, 500);
    fake.SetAxis(stick, Axis::Y, -99);
    EXPECT_EQ(ReadController(), V{});
    EXPECT_EQ(adjusted.y, 0);   // near the centre: zeroed
    fake.SetAxis(stick, Axis::X, -501);
    EXPECT_EQ(ReadController(), V{kPadLsLeft});

    // The right stick on Rx/Ry reads as Z/Rz, then the options.
    fake.SetAxis(stick, Axis::X, 0);
    fake.SetAxis(stick, Axis::Rx, 800);
    fake.SetAxis(stick, Axis::Ry, -600);
    EXPECT_EQ(ReadController(), (V{kPadRsUp, kPadRsRight}));
    EXPECT_EQ(ReadController(1, 0, 0), (V{kPadRsDown, kPadRsLeft}));
    EXPECT_EQ(ReadController(0, 1, 1), (V{kPadRsDown, kPadRsLeft}));
    // They work on a copy: a second slot on the same controller, or frames
    // whose reads fail, do not apply them again.
    fake.Fail(Call::GetState, stick);
    EXPECT_EQ(ReadController(0, 1, 0), (V{kPadRsDown, kPadRsRight}));
    EXPECT_EQ(ReadController(0, 1, 0), (V{kPadRsDown, kPadRsRight}));
    EXPECT_EQ(input.GetJoystickState(0)->rz, 0);
}

TEST_F(InputDevices, XInputPadInputs)
{
    fake.ConnectPad(0);
    CXInputPad pad;
    pad.Open(0);
    const auto read = [&](host::input::PadState s, u32 swap = 0, u32 invertV = 0) {
        fake.SetPad(0, s);
        EXPECT_EQ(pad.ReadState(), 1u);
        u32 inputs[kPadInputCount] = {};
        pad.ToPadInputs(inputs, swap, invertV, 0);
        return OnInputs(inputs);
    };
    EXPECT_EQ(read(Pad(bits::A | bits::Start | bits::LeftShoulder, 0, 0, 0, 0, 128)),
              (V{kPadButton1, kPadButton7, kPadButton6, kPadButton9}));
    EXPECT_EQ(read(Pad(0, -16382, 16383)), V{kPadLsUp});
    EXPECT_EQ(read(Pad(0, 16383, -16383)), (V{kPadLsDown, kPadLsRight}));
    EXPECT_EQ(read(Pad(0, 6000, -6001)), V{});
    EXPECT_EQ(pad.GetState().thumbLX, 0);
    // Right stick up is RS_UP, as on a controller; inverted, full scale up
    // becomes full scale down.
    EXPECT_EQ(read(Pad(0, 0, 0, 0, 20000)), V{kPadRsUp});
    EXPECT_EQ(read(Pad(0, 0, 0, 0, -32768), 0, 1), V{kPadRsUp});
    EXPECT_EQ(pad.GetState().thumbRY, 32767);
    EXPECT_EQ(read(Pad(0, 0, 0, 0, 20000), 1), V{kPadRsRight});
    fake.ConnectPad(0, false);
    EXPECT_EQ(pad.ReadState(), 0u);
}

TEST_F(InputManager, InitializeSetsEverySlotsDefaults)
{
    fake.PlugJoystick();
    Start();
    for (u32 p : {0u, 3u, 4u, 15u}) {
        SCOPED_TRACE(p);
        const InputState& s = Slot(p);
        // Only slot 0 has the controller; slots 0..3 take the XInput pads.
        EXPECT_EQ(s.sticksValid, p == 0 ? 1u : 0u);
        EXPECT_EQ(s.xinputPad, p < 4 ? 1u : 0u);
        EXPECT_EQ(s.joystickSlot, p);
        EXPECT_EQ(s.keyAssignment[0], 0xC8u);   // up arrow
        EXPECT_EQ(s.mouseThreshold + s.vibrationDecay, 20005.0f);
    }
    EXPECT_EQ(input.GetXInputPadCount(), 4u);
    EXPECT_EQ(input.GetInputState(16), nullptr);
    EXPECT_EQ(Slot(0).IsTriggered(56) + input.IsTriggered(16, 0), 0u);
}

TEST_F(InputManager, ButtonFlagsAndTimesFollowTheFrames)
{
    Start();
    // {triggered, held, released, hold time, free time} of code 22 (Z).
    const struct {
        bool down;
        u32 ms;
        std::array<u32, 5> flags;
    } frames[] = {
        {false, 16, {0, 0, 0, 0, 16}}, {true, 16, {1, 1, 0, 0, 0}},  {true, 17, {0, 1, 0, 17, 0}},
        {true, 15, {0, 1, 0, 32, 0}},  {false, 16, {0, 0, 1, 0, 0}}, {false, 16, {0, 0, 0, 0, 16}},
        {true, 16, {1, 1, 0, 0, 0}},   {false, 16, {0, 0, 1, 0, 0}},   // one frame down
    };
    for (const auto& f : frames) {
        fake.SetKey(key::Z, f.down);
        Frame(f.ms);
        const InputState& s = Slot(0);
        EXPECT_EQ((std::array<u32, 5>{s.triggered[22], s.held[22], s.released[22], s.holdTime[22], s.freeTime[22]}),
                  f.flags)
            << (&f - frames);
    }
}

TEST_F(InputManager, KeysOverrideControllerSticksAndControllerButtonsAdd)
{
    const int stick = fake.PlugJoystick();
    Start();
    fake.SetAxis(stick, Axis::X, 600);
    fake.SetAxis(stick, Axis::Y, -999);
    Frame();   // slot 0's XInput pad is absent: its controller serves
    EXPECT_FLOAT_EQ(Slot(0).stick1X, 0.6f);
    EXPECT_FLOAT_EQ(Slot(0).stick1Y, -0.99f);
    for (u8 k : {key::W, key::S, key::A}) fake.SetKey(k, true);
    Frame();
    EXPECT_EQ(Slot(0).stick1Y, -1.0f);   // W is tested first
    EXPECT_EQ(Slot(0).stick1X, -1.0f);
    EXPECT_EQ(Slot(0).raw[15], 1u);      // LS_RIGHT still adds as a button
    EXPECT_FLOAT_EQ(Slot(0).stick1Angle, 315.0f);
    fake.SetKey(key::A, false);
    fake.SetButton(stick, 0, true);
    Frame();
    EXPECT_FLOAT_EQ(Slot(0).stick1X, 0.6f);
    EXPECT_EQ(Slot(1).stick1X, 0.0f);   // no controller: keys only
    EXPECT_EQ(Slot(0).raw[22], 1u);     // BUTTON1

    // Saved assignments come from a file: numbers past their tables read off.
    InputState& s = Slot(0);
    s.keyAssignment[14] = 300;
    s.padAssignment[14] = kPadInputCount;
    s.mouseAssignment[0] = 8;
    fake.SetMouseButton(0, true);
    Frame();
    EXPECT_EQ(s.raw[22] + s.raw[0], 0u);
    s.joystickSlot = 200;
    Frame();
    EXPECT_EQ(s.sticksValid, 0u);
}

TEST(InputState, SticksAreQuantisedTowardZeroAndClamped)
{
    InputState s = {};
    const struct { f32 x, y, outX, outY, angle, magnitude; } cases[] = {
        {0.999f, -0.005f, 0.99f, 0, 90, 0.99f}, {1.7f, 1, 1, 1, 135, std::sqrt(2.0f)},
        {0, -1, 0, -1, 0, 1}, {0, 1, 0, 1, 180, 1}, {-1, 0, -1, 0, 270, 1}, {0, 0, 0, 0, 90, 0},
    };
    for (const auto& c : cases) {
        s.stick2X = c.x;
        s.stick2Y = c.y;
        UpdateInputSticks(&s);
        EXPECT_FLOAT_EQ(s.stick2X, c.outX);
        EXPECT_FLOAT_EQ(s.stick2Y, c.outY);
        EXPECT_FLOAT_EQ(s.stick2Angle, c.angle) << c.x << ", " << c.y;
        EXPECT_FLOAT_EQ(s.stick2Magnitude, c.magnitude);
    }
}

TEST_F(InputManager, WheelMouseButtonsAndMovement)
{
    Start();
    Slot(2).mouseAssignment[0] = 1;
    fake.TurnWheel(1);
    fake.SetMouseButton(1, true);
    Frame();
    EXPECT_EQ(Slot(0).wheel, 12.0f);
    EXPECT_EQ(input.IsTriggered(0, 44), 1u);
    EXPECT_EQ(Slot(0).raw[0] + 2 * Slot(0).raw[1] + 4 * Slot(2).raw[0], 6u);
    Frame();
    EXPECT_EQ(Slot(0).released[44], 1u);
    // Movement counts once the cursor is more than 5 pixels from the
    // reference, and is then the step from the last frame.
    const host::window::Rect client = host::window::MapRect(MainWindow(), nullptr, {0, 0, 0, 0});
    const struct { i32 x; f32 move; } steps[] = {{3, 0}, {6, 3}, {8, 0}, {9, 1}, {9, 0}};
    for (const auto& step : steps) {
        g_windows->SetCursorPos(client.left + step.x, client.top);
        Frame();
        EXPECT_EQ(Slot(0).mouseMoveX, step.move) << step.x;
    }
}

TEST_F(InputManager, XInputPadsGoToTheTakingSlotsAndVibrate)
{
    fake.PlugJoystick();
    fake.ConnectPad(1);
    fake.SetPad(1, Pad(bits::A, 32767, 0, 0, 20000));
    Start();
    Slot(1).xinputPadAssignment[15] = kPadButton1;   // A also on code 23
    Frame();
    // Pad 0 is absent, yet pad 1 still reaches slot 1.
    EXPECT_EQ(Slot(1).sticksValid, 1u);
    EXPECT_EQ(Slot(1).stick1X, 1.0f);
    EXPECT_FLOAT_EQ(Slot(1).stick2Y, -0.61f);   // pushed up
    EXPECT_EQ(Slot(1).raw[22] + Slot(1).raw[23] + Slot(1).raw[17], 3u);
    EXPECT_EQ(Slot(0).sticksValid, 1u);         // its controller
    EXPECT_EQ(fake.Calls(Call::GetPadState), 4u);   // slots 4..15 never ask
    EXPECT_EQ(fake.VibrationLog().back().vibration, (PadVibration{0, 0}));   // levels 0: told to stop

    // Levels are sent every frame, then lose 20000 a second: 320 in 16 ms,
    // and a level at most that stops.
    Slot(1).vibrationLeft = 1000;
    Slot(1).vibrationRight = 300;
    for (const PadVibration expected : {PadVibration{1000, 300}, {680, 0}, {360, 0}, {40, 0}, {0, 0}}) {
        Frame(16);
        EXPECT_EQ(fake.VibrationLog().back().vibration, expected);
    }
    EXPECT_EQ(fake.VibrationLog().size(), 6u);
    for (const auto& call : fake.VibrationLog()) EXPECT_EQ(call.user, 1u);

    // Unplugged, the slot falls back to a controller it does not have.
    fake.ConnectPad(1, false);
    Frame();
    EXPECT_EQ(Slot(1).sticksValid, 0u);
    EXPECT_EQ(Slot(1).stick1X + Slot(1).raw[22], 0.0f);
}

TEST_F(InputManager, AnyButtonSkipsDirectionsOnly)
{
    Start();
    for (u8 k : {key::W, key::A, key::S, key::D, key::Up, key::Down, key::Left, key::Right, key::Numpad2,
                 key::Numpad4, key::Numpad6, key::Numpad8})
        fake.SetKey(k, true);
    Frame();
    EXPECT_EQ(IsAnyButtonTriggered(&Slot(0)) + IsNoButtonHeld(&Slot(0)), 0u);
    for (u8 k : {key::T, key::F1, key::Digit0}) {
        fake.ReleaseKeys();
        Frame();
        EXPECT_EQ(IsNoButtonHeld(&Slot(0)), 1u);
        fake.SetKey(k, true);
        Frame();
        EXPECT_EQ(IsAnyButtonTriggered(&Slot(0)), 1u) << int(k);
    }
}

}  // namespace
