#include "engine/platform/tests/InputTestSupport.h"

#include <array>
#include <cstdio>
#include <cmath>
#include <string>
#include <tuple>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace input_test;

using InputDevices = InputTest;

TEST_F(InputDevices, InitFailuresShowTheirMessageAndFail)
{
    const struct { Call call; int device; const char* text; } cases[] = {
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
        EXPECT_EQ(input.Initialize(window), 0u);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.Last().text + "|" + boxes.Last().caption, c.text + std::string("|Error"));
    }
    // A failed enumeration and a missing window fail without a box.
    fake.ClearFailures();
    boxes.Clear();
    fake.PlugJoystick();
    fake.Fail(Call::EnumJoysticks);
    EXPECT_EQ(input.Initialize(window), 0u);
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
    // A controller that cannot be created ends the enumeration; one that
    // cannot describe itself keeps no description from before.
    fake.ClearFailures();
    fake.Fail(Call::CreateDevice, 3);
    fake.Fail(Call::GetInfo, 2);
    Start();
    EXPECT_EQ(input.GetJoystickCount(), 3u);
    EXPECT_STREQ(input.GetJoystickInfo(2)->instanceName, "");
    EXPECT_STREQ(input.GetJoystickInfo(0)->instanceName, "Pad 0");
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

TEST_F(InputDevices, ControllersKeepTheStateOfTheFrameBefore)
{
    const int first = fake.PlugJoystick(), second = fake.PlugJoystick();
    Start();
    fake.SetAxis(second, Axis::X, -50);
    const auto frame = [&](i32 x, bool button) {
        fake.SetAxis(first, Axis::X, x);
        fake.SetButton(first, 3, button);
        input.UpdateJoysticks();
    };
    const auto x = [&](const host::input::JoystickState* s) { return s ? s->x : 9999; };
    frame(100, true);
    frame(200, false);
    EXPECT_EQ(x(input.GetPreviousJoystickState(0)), 100);
    EXPECT_EQ(input.GetPreviousJoystickState(0)->buttons[3], 1u);
    EXPECT_EQ(x(input.GetJoystickState(0)), 200);
    EXPECT_EQ(x(input.GetPreviousJoystickState(1)), -50);   // each slot its own
    EXPECT_EQ(input.GetPreviousJoystickState(2), nullptr);
    // Set up again, nothing of the old states remains before the first read.
    Start();
    EXPECT_EQ(x(input.GetJoystickState(0)) * 10000 + x(input.GetPreviousJoystickState(0)), 0);
    EXPECT_EQ(input.GetJoystickState(0)->buttons[3], 0u);
}

// Each controller button alone reaches its own pad input; buttons from 32 on
// do not exist, so the last pad inputs stay off.
TEST_F(InputDevices, ControllerButtonsEachReachTheirOwnPadInput)
{
    const int stick = fake.PlugJoystick();
    Start();
    const u32 low[12] = {kPadButton1, kPadButton2, kPadButton3, kPadButton4, kPadButton5, kPadButton6,
                         kPadButton7, kPadButton8, kPadButton9, kPadButton10, kPadLsPush, kPadRsPush};
    for (int button = 0; button < host::input::kJoystickButtons; ++button) {
        fake.SetButton(stick, button, true);
        const u32 expected = button < 12 ? low[button] : kPadButton13 + u32(button - 12);
        EXPECT_EQ(ReadController(), V{expected}) << button;
        fake.SetButton(stick, button, false);
    }
}

TEST_F(InputDevices, ControllerPovAndAxesAtTheirLimits)
{
    const int stick = fake.PlugJoystick();
    Start();
    const struct { u32 pov; V on; } povs[] = {
        {0, {kPadDpUp}}, {4499, {kPadDpUp}}, {4500, {kPadDpUp, kPadDpRight}}, {4501, {kPadDpRight}},
        {13500, {kPadDpDown, kPadDpRight}}, {13501, {kPadDpDown}}, {22500, {kPadDpDown, kPadDpLeft}},
        {22501, {kPadDpLeft}}, {31499, {kPadDpLeft}}, {31500, {kPadDpUp, kPadDpLeft}}, {35999, {kPadDpUp}},
        {65534, {kPadDpUp}}, {65535, {}}, {host::input::kPovCentred, {}}};
    for (const auto& p : povs) {
        fake.SetPov(stick, 0, p.pov);
        EXPECT_EQ(ReadController(), p.on) << p.pov;
    }
    fake.SetPov(stick, 0, host::input::kPovCentred);

    // Pushed past 500 either way; nearer the centre than 100, zeroed. Every
    // limit on X; on the others a push each way and the dead zone.
    const struct { Axis axis; i32 value; V on; i32 adjusted; } axes[] = {
        {Axis::X, -501, {kPadLsLeft}, -501}, {Axis::X, -500, {}, -500}, {Axis::X, 500, {}, 500},
        {Axis::X, 501, {kPadLsRight}, 501}, {Axis::X, -100, {}, -100}, {Axis::X, -99, {}, 0},
        {Axis::X, 99, {}, 0}, {Axis::X, 100, {}, 100},
        {Axis::Y, -501, {kPadLsUp}, -501}, {Axis::Y, 501, {kPadLsDown}, 501}, {Axis::Y, -99, {}, 0},
        {Axis::Rz, -501, {kPadRsUp}, -501}, {Axis::Rz, 501, {kPadRsDown}, 501}, {Axis::Rz, 99, {}, 0},
        {Axis::Z, -501, {kPadRsLeft}, -501}, {Axis::Z, 501, {kPadRsRight}, 501}, {Axis::Z, -99, {}, 0}};
    for (const auto& a : axes) {
        SCOPED_TRACE(testing::Message() << int(a.axis) << " at " << a.value);
        fake.SetAxis(stick, a.axis, a.value);
        EXPECT_EQ(ReadController(), a.on);
        EXPECT_EQ(adjusted.At(a.axis), a.adjusted);
        fake.SetAxis(stick, a.axis, 0);
    }
    EXPECT_EQ(input.GetJoystickState(0)->x, 0);   // the stored state is kept as read
}

// The right stick on Rx/Ry reads as Z/Rz.
TEST_F(InputDevices, ControllerRightStickSourceAndOptionsOnACopy)
{
    const int stick = fake.PlugJoystick();
    Start();
    // Rx/Ry stand in only when larger; an equal Rz or Z keeps its own value.
    fake.SetAxis(stick, Axis::Rx, 800);
    fake.SetAxis(stick, Axis::Ry, -600);
    EXPECT_EQ(ReadController(), (V{kPadRsUp, kPadRsRight}));
    EXPECT_EQ(std::make_pair(adjusted.z, adjusted.rz), std::make_pair(800, -600));
    fake.SetAxis(stick, Axis::Z, -800);
    fake.SetAxis(stick, Axis::Rz, 600);
    EXPECT_EQ(ReadController(), (V{kPadRsDown, kPadRsLeft}));
    EXPECT_EQ(std::make_pair(adjusted.z, adjusted.rz), std::make_pair(-800, 600));

    // The options work on a copy: a second slot on the same controller, or
    // frames whose reads fail, do not apply them again. Their order is
    // shown through the input manager.
    fake.SetAxis(stick, Axis::Rx, 0);
    fake.SetAxis(stick, Axis::Ry, 0);
    fake.SetAxis(stick, Axis::Z, 800);
    fake.SetAxis(stick, Axis::Rz, -600);
    EXPECT_EQ(ReadController(0, 1, 0), (V{kPadRsDown, kPadRsRight}));
    fake.Fail(Call::GetState, stick);
    EXPECT_EQ(ReadController(0, 1, 0), (V{kPadRsDown, kPadRsRight}));
    EXPECT_EQ(ReadController(0, 1, 0), (V{kPadRsDown, kPadRsRight}));
    EXPECT_EQ(input.GetJoystickState(0)->rz, -600);
    u32 none[kPadInputCount] = {};
    EXPECT_EQ(input.ReadDirectInputPad(1, none, 0, 0, 0), 0u);   // an empty slot
    EXPECT_EQ(input.ReadDirectInputPad(0, nullptr, 0, 0, 0), 0u);
}

class XInputPadTest : public InputTest {
protected:
    XInputPadTest()
    {
        fake.ConnectPad(2);
        pad.Open(2);
    }
    V Read(host::input::PadState s, u32 swap = 0, u32 invertV = 0, u32 invertH = 0)
    {
        fake.SetPad(2, s);
        EXPECT_EQ(pad.ReadState(), 1u);
        u32 inputs[kPadInputCount] = {};
        pad.ToPadInputs(inputs, swap, invertV, invertH);
        return OnInputs(inputs);
    }
    CXInputPad pad;
};

TEST_F(XInputPadTest, ButtonsAndTriggersEachReachTheirOwnPadInput)
{
    const std::pair<u16, u32> buttons[] = {
        {bits::DpadUp, kPadDpUp}, {bits::DpadDown, kPadDpDown}, {bits::DpadLeft, kPadDpLeft},
        {bits::DpadRight, kPadDpRight}, {bits::Start, kPadButton9}, {bits::Back, kPadButton10},
        {bits::LeftThumb, kPadLsPush}, {bits::RightThumb, kPadRsPush}, {bits::LeftShoulder, kPadButton7},
        {bits::RightShoulder, kPadButton8}, {bits::A, kPadButton1}, {bits::B, kPadButton2},
        {bits::X, kPadButton3}, {bits::Y, kPadButton4}};
    for (const auto& [bit, input] : buttons) EXPECT_EQ(Read(Pad(bit)), V{input}) << bit;
    host::input::PadState s = Pad(0);
    for (const auto& [left, right, on] : {std::tuple{127, 0, V{}}, {128, 0, V{kPadButton5}}, {0, 127, V{}},
                                          {0, 128, V{kPadButton6}}, {255, 255, V{kPadButton5, kPadButton6}}}) {
        s.leftTrigger = u8(left);
        s.rightTrigger = u8(right);
        EXPECT_EQ(Read(s), on) << left << " " << right;
    }
}

// Thumb Y grows upward on both sticks; pushed from 16383 either way, zeroed
// nearer the centre than 6001: every limit on one axis, on the others a push
// each way and the dead zone.
TEST_F(XInputPadTest, ThumbsAtTheirLimitsOnEachAxisAndSide)
{
    const struct { int axis; i16 value; V on; i16 stored; } cases[] = {
        {0, 16383, {kPadLsRight}, 16383}, {0, 16382, {}, 16382}, {0, -16383, {kPadLsLeft}, -16383},
        {0, -16382, {}, -16382}, {0, 6001, {}, 6001}, {0, 6000, {}, 0}, {0, -6001, {}, -6001}, {0, -6000, {}, 0},
        {1, 16383, {kPadLsUp}, 16383}, {1, -16383, {kPadLsDown}, -16383}, {1, -6000, {}, 0},
        {2, 16383, {kPadRsRight}, 16383}, {2, -16383, {kPadRsLeft}, -16383}, {2, 6000, {}, 0},
        {3, 16383, {kPadRsUp}, 16383}, {3, -16383, {kPadRsDown}, -16383}, {3, -6000, {}, 0},
        {3, -32768, {kPadRsDown}, -32768}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "axis " << c.axis << " at " << c.value);
        i16 thumbs[4] = {};
        thumbs[c.axis] = c.value;
        EXPECT_EQ(Read(Pad(0, thumbs[0], thumbs[1], thumbs[2], thumbs[3])), c.on);
        const host::input::PadState& s = pad.GetState();
        const i16 stored[4] = {s.thumbLX, s.thumbLY, s.thumbRX, s.thumbRY};
        EXPECT_EQ(stored[c.axis], c.stored);
    }
}

// Full scale down inverts to full scale up; the options come before the
// dead zone. Their order is shown through the input manager.
TEST_F(XInputPadTest, RightThumbOptionsAtTheirLimits)
{
    EXPECT_EQ(Read(Pad(0, 0, 0, -32768, -32768), 0, 1, 1), (V{kPadRsUp, kPadRsRight}));
    EXPECT_EQ(std::make_pair(pad.GetState().thumbRX, pad.GetState().thumbRY), std::make_pair(i16(32767), i16(32767)));
    // Options and dead zone in that order: swapped in, a small value is zeroed.
    EXPECT_EQ(Read(Pad(0, 0, 0, 5000, 20000), 1), V{kPadRsRight});
    EXPECT_EQ(pad.GetState().thumbRY, 0);
}

TEST_F(XInputPadTest, VibrationIsSentAndAnAbsentPadReadsNothing)
{
    EXPECT_EQ(pad.SetVibration(1000, 2000), 1u);
    EXPECT_EQ(fake.Vibration(2), (PadVibration{1000, 2000}));
    EXPECT_EQ(pad.StopVibration(), 1u);
    EXPECT_EQ(fake.Vibration(2), (PadVibration{0, 0}));
    fake.ConnectPad(2, false);
    EXPECT_EQ(pad.ReadState(), 0u);
    EXPECT_EQ(pad.Open(3), 1u);
    EXPECT_EQ(pad.GetUserIndex(), 3u);
    EXPECT_EQ(pad.GetVibration(), (PadVibration{0, 0}));
}

// The key-configuration screens show these names; saved assignments hold
// the codes, so a name that slips to the next code misleads the player.
TEST(InputNames, KeysAndPadInputsAreNamedByTheirCodes)
{
    // Every code with its name, in code order; the others have none.
    std::string names;
    for (u32 code = 0; code < 256; ++code) {
        if (GetKeyName(code)[0] == 0) continue;
        char number[4];
        std::snprintf(number, sizeof number, "%02X ", code);
        names += std::string(number) + GetKeyName(code) + ",";
    }
    EXPECT_EQ(names,
        "01 ESCAPE,02 1,03 2,04 3,05 4,06 5,07 6,08 7,09 8,0A 9,0B 0,0C MINUS,0D EQUALS,0E BACK,0F TAB,10 "
        "Q,11 W,12 E,13 R,14 T,15 Y,16 U,17 I,18 O,19 P,1A LBRACKET,1B RBRACKET,1C RETURN,1D LCONTROL,1E "
        "A,1F S,20 D,21 F,22 G,23 H,24 J,25 K,26 L,27 SEMICOLON,28 APOSTROPHE,29 GRAVE,2A LSHIFT,2B "
        "BACKSLASH,2C Z,2D X,2E C,2F V,30 B,31 N,32 M,33 COMMA,34 PERIOD,35 SLASH,36 RSHIFT,37 MULTIPLY,38 "
        "LMENU,39 SPACE,3A CAPITAL,3B F1,3C F2,3D F3,3E F4,3F F5,40 F6,41 F7,42 F8,43 F9,44 F10,45 "
        "NUMLOCK,46 SCROLL,47 NUMPAD7,48 NUMPAD8,49 NUMPAD9,4A SUBTRACT,4B NUMPAD4,4C NUMPAD5,4D NUMPAD6,4E "
        "ADD,4F NUMPAD1,50 NUMPAD2,51 NUMPAD3,52 NUMPAD0,53 DECIMAL,56 OEM_102,57 F11,58 F12,64 F13,65 "
        "F14,66 F15,70 KANA,73 ABNT_C1,79 CONVERT,7B NOCONVERT,7D YEN,7E ABNT_C2,8D NUMPADEQUALS,90 "
        "PREVTRACK,91 AT,92 COLON,93 UNDERLINE,94 KANJI,95 STOP,96 AX,97 UNLABELED,99 NEXTTRACK,9C "
        "NUMPADENTER,9D RCONTROL,A0 MUTE,A1 CALCULATOR,A2 PLAYPAUSE,A4 MEDIASTOP,AE VOLUMEDOWN,B0 "
        "VOLUMEUP,B2 WEBHOME,B3 NUMPADCOMMA,B5 DIVIDE,B7 SYSRQ,B8 RMENU,C5 PAUSE,C7 HOME,C8 UP,C9 PRIOR,CB "
        "LEFT,CD RIGHT,CF END,D0 DOWN,D1 NEXT,D2 INSERT,D3 DELETE,DB LWIN,DC RWIN,DD APPS,DE POWER,DF "
        "SLEEP,E3 WAKE,E5 WEBSEARCH,E6 WEBFAVORITES,E7 WEBREFRESH,E8 WEBSTOP,E9 WEBFORWARD,EA WEBBACK,EB "
        "MYCOMPUTER,EC MAIL,ED MEDIASELECT,");
    for (u32 code : {0x100u, 0xFFFFFFFFu}) EXPECT_STREQ(GetKeyName(code), "") << code;

    const std::pair<u32, const char*> pads[] = {
        {kPadDpUp, "DP_UP"}, {kPadDpRight, "DP_RIGHT"}, {kPadLsUp, "LS_UP"}, {kPadLsPush, "LS_PUSH"},
        {kPadRsUp, "RS_UP"}, {kPadRsRight, "RS_RIGHT"}, {kPadRsPush, "RS_PUSH"}, {kPadButton1, "BUTTON1"},
        {kPadButton4, "BUTTON4"}, {kPadButton7, "BUTTON7"}, {kPadButton5, "BUTTON5"}, {kPadButton8, "BUTTON8"},
        {kPadButton6, "BUTTON6"}, {kPadButton9, "BUTTON9"}, {kPadButton10, "BUTTON10"},
        {kPadButton13, "BUTTON13"}, {kPadInputCount - 1, "BUTTON36"}, {kPadInputCount, "BUTTON37"},
        {63, "BUTTON52"}, {64, ""}, {0xFFFFFFFF, ""}};
    for (const auto& [index, name] : pads) EXPECT_STREQ(GetPadButtonName(index), name) << index;
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
