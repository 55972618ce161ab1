#include "engine/platform/tests/InputTestSupport.h"

#include <array>
#include <cmath>
#include <functional>
#include <string>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace input_test;

using InputManager = InputTest;

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
        EXPECT_EQ(s.vibrationEnabled, 1u);
    }
    std::string keys;
    for (u32 code : Slot(0).keyAssignment) keys += std::string(GetKeyName(code)) + " ";
    EXPECT_EQ(keys, "UP DOWN LEFT RIGHT W S A D T NUMPAD2 NUMPAD8 NUMPAD4 NUMPAD6 LCONTROL "
                    "Z X C V Q E LSHIFT R TAB RETURN ");
    EXPECT_EQ(input.GetXInputPadCount(), 4u);
    EXPECT_EQ(input.GetInputState(16), nullptr);
    EXPECT_EQ(Slot(0).IsTriggered(56) + input.IsTriggered(16, 0), 0u);
}

TEST_F(InputManager, ButtonFlagsAndTimesFollowTheFrames)
{
    Start();
    // {triggered, held, released, hold time, free time} of code 22 (Z).
    const struct { bool down; u32 ms; std::array<u32, 5> flags; } frames[] = {
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
    // reference on either axis, and is then the step from the last frame.
    const host::window::Rect client = host::window::MapRect(window, nullptr, {0, 0, 0, 0});
    const struct { i32 x, y; f32 moveX, moveY; } steps[] = {
        {3, 0, 0, 0}, {6, 0, 3, 0}, {8, 0, 0, 0}, {9, 0, 1, 0}, {9, 0, 0, 0},
        {9, 5, 0, 0}, {9, 6, 0, 1}, {3, 6, -6, 0}, {3, 1, 0, -5}, {3, 0, 0, -1}, {3, 4, 0, 0}};
    for (const auto& step : steps) {
        g_windows->SetCursorPos(client.left + step.x, client.top + step.y);
        Frame();
        EXPECT_EQ(std::make_pair(Slot(0).mouseMoveX, Slot(0).mouseMoveY), std::make_pair(step.moveX, step.moveY))
            << step.x << ", " << step.y;
        EXPECT_EQ(std::make_pair(Slot(15).mouseLastX, Slot(15).mouseLastY), std::make_pair(f32(step.x), f32(step.y)));
    }
    // Without a window to measure against, the cursor reads as the corner.
    host::window::DestroyWindow(window);
    Frame();
    EXPECT_EQ(std::make_pair(Slot(0).mouseLastX, Slot(0).mouseLastY), std::make_pair(0.0f, 0.0f));
}

// XInput thumbs grow upward and the sticks downward; a controller's axes
// are taken as they are. Each axis has its own value, so none can stand in
// for another.
TEST_F(InputManager, SticksTakeEachAxisWithItsSignFromEitherController)
{
    fake.PlugJoystick();
    const int second = fake.PlugJoystick();
    fake.ConnectPad(0);
    fake.SetPad(0, Pad(0, 16000, -8000, -12000, 24000));
    for (const auto& [axis, value] : {std::pair{Axis::X, 120}, {Axis::Y, -340}, {Axis::Z, 560}, {Axis::Rz, -780}})
        fake.SetAxis(second, axis, value);
    Start();
    const auto sticks = [&](u32 p) {
        const InputState& s = Slot(p);
        return std::array<i32, 4>{i32(std::lround(s.stick1X * 100)), i32(std::lround(s.stick1Y * 100)),
                                  i32(std::lround(s.stick2X * 100)), i32(std::lround(s.stick2Y * 100))};
    };
    Frame();
    EXPECT_EQ(sticks(0), (std::array<i32, 4>{48, 24, -36, -73}));   // pad 0
    EXPECT_EQ(sticks(1), (std::array<i32, 4>{12, -34, 56, -78}));   // pad 1 absent: controller 1
    // The stick options reach the sticks, swapped first and then inverted.
    Slot(0).stickOptions[kStickSwapRight] = 1;
    Slot(0).stickOptions[kStickInvertRightVertical] = 1;
    Slot(1).stickOptions[kStickSwapRight] = 1;
    Slot(1).stickOptions[kStickInvertRightHorizontal] = 1;
    Frame();
    EXPECT_EQ(sticks(0), (std::array<i32, 4>{48, 24, 73, -36}));
    EXPECT_EQ(sticks(1), (std::array<i32, 4>{12, -34, 78, 56}));
}

TEST_F(InputManager, XInputPadsGoToTheTakingSlotsAndVibrate)
{
    fake.PlugJoystick();
    const int second = fake.PlugJoystick();
    fake.SetAxis(second, Axis::X, 250);
    fake.ConnectPad(1);
    fake.SetPad(1, Pad(bits::A, 32767, 0, 0, 20000));
    Start();
    Slot(1).xinputPadAssignment[15] = kPadButton1;   // A also on code 23
    const auto fromPad1 = [&] { return Slot(1).raw[22] + Slot(1).raw[23] + Slot(1).raw[17]; };
    Frame();
    // Pad 0 is absent: each taking slot asks it in turn and falls back to
    // its own controller, so pad 1 is not reached.
    EXPECT_FLOAT_EQ(Slot(1).stick1X, 0.25f);
    EXPECT_EQ(fromPad1(), 0u);
    EXPECT_EQ(fake.Calls(Call::GetPadState), 4u);   // slots 4..15 never ask
    EXPECT_TRUE(fake.VibrationLog().empty());

    // With pad 0 answering, slot 0 takes it and slot 1 the next, pad 1;
    // slots 2 and 3 both ask pad 2.
    fake.ConnectPad(0);
    Frame();
    EXPECT_EQ(Slot(1).stick1X, 1.0f);
    EXPECT_EQ(fromPad1(), 3u);
    EXPECT_EQ(Slot(0).sticksValid, 1u);
    EXPECT_EQ(fake.Calls(Call::GetPadState), 8u);
    ASSERT_EQ(fake.VibrationLog().size(), 2u);   // levels 0: both told to stop
    EXPECT_EQ(fake.VibrationLog()[0].user, 0u);
    EXPECT_EQ(fake.VibrationLog()[1].user, 1u);
    EXPECT_EQ(fake.VibrationLog().back().vibration, (PadVibration{0, 0}));

    // Levels are sent every frame, then lose 20000 a second: 320 in 16 ms,
    // and a level at most that stops.
    fake.ClearVibrationLog();
    Slot(1).vibrationLeft = 1000;
    Slot(1).vibrationRight = 300;
    for (const PadVibration expected : {PadVibration{1000, 300}, {680, 0}, {360, 0}, {40, 0}, {0, 0}}) {
        Frame(16);
        ASSERT_EQ(fake.VibrationLog().back().user, 1u);
        EXPECT_EQ(fake.VibrationLog().back().vibration, expected);
    }
    EXPECT_EQ(fake.VibrationLog().size(), 10u);   // pad 0 is told to stop each frame

    // Pad 1 unplugged, slot 1 falls back to its own controller.
    fake.ConnectPad(1, false);
    Frame();
    EXPECT_FLOAT_EQ(Slot(1).stick1X, 0.25f);
    EXPECT_EQ(fromPad1(), 0u);
}

// The setting stills the motors while the levels run on as the game set
// them; turned back on, the next frame sends what is left.
TEST_F(InputManager, VibrationSettingOffKeepsThePadStill)
{
    fake.ConnectPad(0);
    Start();
    Slot(0).vibrationEnabled = 0;
    Slot(0).vibrationLeft = 1000;
    Slot(0).vibrationRight = 2000;
    Frame(16);
    EXPECT_EQ(fake.VibrationLog().back().vibration, (PadVibration{0, 0}));
    Frame(16);
    EXPECT_EQ(fake.VibrationLog().back().vibration, (PadVibration{0, 0}));
    EXPECT_EQ(Slot(0).vibrationRight, 2000u - 640u);   // decayed over both frames
    Slot(0).vibrationEnabled = 1;
    Frame(16);
    EXPECT_EQ(fake.VibrationLog().back().vibration, (PadVibration{360, 1360}));
}

TEST_F(InputManager, AnyButtonSkipsDirectionsOnly)
{
    Start();
    for (u8 k : {key::W, key::A, key::S, key::D, key::Up, key::Down, key::Left, key::Right, key::Numpad2,
                 key::Numpad4, key::Numpad6, key::Numpad8})
        fake.SetKey(k, true);
    Frame();
    EXPECT_EQ(IsAnyButtonTriggered(&Slot(0)) + IsNoButtonHeld(&Slot(0)), 0u);
    // The codes beside the skipped ranges (7, 16, 21) and the wheel count.
    const std::function<void(bool)> presses[] = {
        [&](bool down) { fake.SetMouseButton(7, down); },  [&](bool down) { fake.SetKey(key::T, down); },
        [&](bool down) { fake.SetKey(key::LeftControl, down); }, [&](bool down) { if (down) fake.TurnWheel(-1); }};
    for (const auto& press : presses) {
        fake.ReleaseKeys();
        Frame();
        EXPECT_EQ(IsNoButtonHeld(&Slot(0)), 1u);
        press(true);
        Frame();
        EXPECT_EQ(IsAnyButtonTriggered(&Slot(0)), 1u) << &press - presses;
        press(false);
    }
    EXPECT_EQ(IsAnyButtonTriggered(nullptr) + IsNoButtonHeld(nullptr), 0u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
