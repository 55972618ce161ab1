#include "host/input/BasicDevice.h"
#include "host/input/Input.h"
#include "host/input/tests/InputTestLevel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace host::input {
namespace ORV_TEST_FILE_ID {

namespace {

using input_test::kLevel;

std::unique_ptr<Input> MakeInput(FakeBackend& fake) {
    std::unique_ptr<Input> input;
    EXPECT_EQ(fake.CreateInput(input), Result::Ok);
    return input;
}

// A device set up the way the engine does it; joysticks by enumeration order.
std::unique_ptr<Device> Ready(Input& input, DataFormat format, int joystick = 0) {
    std::unique_ptr<Device> d;
    if (format == DataFormat::Keyboard) {
        EXPECT_EQ(input.CreateKeyboard(d), Result::Ok);
    } else if (format == DataFormat::Mouse) {
        EXPECT_EQ(input.CreateMouse(d), Result::Ok);
    } else {
        std::vector<Guid> found;
        input.EnumJoysticks([&](const DeviceInfo& info) { return found.push_back(info.instance), true; });
        EXPECT_EQ(input.CreateJoystick(found.at(joystick), d), Result::Ok);
    }
    EXPECT_EQ(d->SetDataFormat(format), Result::Ok);
    EXPECT_EQ(d->SetCooperativeLevel(kLevel), Result::Ok);
    EXPECT_EQ(d->Acquire(), Result::Ok);
    return d;
}

TEST(FakeInput, MouseMovementAddsUpUntilReadButtonsStayDown) {
    FakeBackend fake;
    auto input = MakeInput(fake);
    auto mouse = Ready(*input, DataFormat::Mouse);
    fake.MoveMouse(3, -4);
    fake.MoveMouse(2, 1);
    fake.TurnWheel(-1);
    EXPECT_TRUE(fake.SetMouseButton(1, true));
    EXPECT_FALSE(fake.SetMouseButton(8, true));
    MouseState m;
    ASSERT_EQ(mouse->GetState(m), Result::Ok);
    EXPECT_EQ((std::vector<int>{m.x, m.y, m.z}), (std::vector<int>{5, -3, -kWheelNotch}));
    ASSERT_EQ(mouse->GetState(m), Result::Ok);
    EXPECT_EQ((std::vector<int>{m.x, m.y, m.z}), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(m.buttons[1], kDown);
}

TEST(InputDeviceRules, CallsOutOfOrderAreRefused) {
    FakeBackend fake;
    auto input = MakeInput(fake);
    std::unique_ptr<Device> d;
    ASSERT_EQ(input->CreateKeyboard(d), Result::Ok);
    KeyboardState keys;
    MouseState m;
    EXPECT_EQ(d->GetState(keys), Result::NotAcquired);
    EXPECT_EQ(d->Acquire(), Result::InvalidArgument);   // no data format yet
    EXPECT_EQ(d->SetDataFormat(DataFormat::Mouse), Result::InvalidArgument);
    for (uint32_t level : {0u, kExclusive | kNonExclusive | kBackground, kNonExclusive | 0x100})
        EXPECT_EQ(d->SetCooperativeLevel(level), Result::InvalidArgument) << level;
    ASSERT_EQ(d->SetDataFormat(DataFormat::Keyboard), Result::Ok);
    ASSERT_EQ(d->Acquire(), Result::Ok);
    EXPECT_EQ(d->SetDataFormat(DataFormat::Keyboard), Result::InvalidArgument);   // while acquired
    EXPECT_EQ(d->GetState(m), Result::InvalidArgument);
    EXPECT_EQ(d->SetAxisRange(Axis::X, -1000, 1000), Result::InvalidArgument);
    EXPECT_EQ(d->Poll(), Result::Ok);
    EXPECT_EQ(d->Unacquire(), Result::Ok);
    EXPECT_EQ(d->Poll(), Result::NotAcquired);
}

// Lost reads InputLost once, then NotAcquired; an unplugged stick acquires only once back.
TEST(InputDeviceRules, LostDevicesReadLostOnceUntilAcquiredAgain) {
    FakeBackend fake;
    const int stick = fake.PlugJoystick();
    auto input = MakeInput(fake);
    auto keyboard = Ready(*input, DataFormat::Keyboard);
    auto joystick = Ready(*input, DataFormat::Joystick);
    fake.SetKey(key::Space, true);
    fake.SetButton(stick, 2, true);

    KeyboardState keys;
    std::memset(&keys, 0x55, sizeof keys);
    fake.LoseAcquisition(FakeBackend::kKeyboard);
    EXPECT_EQ(keyboard->GetState(keys), Result::InputLost);
    EXPECT_EQ(keyboard->GetState(keys), Result::NotAcquired);
    EXPECT_EQ(keyboard->Poll(), Result::NotAcquired);
    EXPECT_EQ(keys.keys[key::Space], 0x55);   // a failed read leaves the record alone
    EXPECT_EQ(keyboard->Acquire(), Result::Ok);
    ASSERT_EQ(keyboard->GetState(keys), Result::Ok);
    EXPECT_EQ(keys.keys[key::Space], kDown);

    ASSERT_TRUE(fake.Unplug(stick));
    JoystickState s;
    EXPECT_EQ(joystick->Poll(), Result::InputLost);
    EXPECT_EQ(joystick->Acquire(), Result::NotConnected);
    EXPECT_EQ(joystick->GetState(s), Result::NotAcquired);
    int enumerated = 0;
    input->EnumJoysticks([&](const DeviceInfo&) { return ++enumerated, true; });
    EXPECT_EQ(enumerated, 0);
    ASSERT_TRUE(fake.Replug(stick));
    EXPECT_EQ(joystick->Acquire(), Result::Ok);
    EXPECT_EQ(joystick->Poll(), Result::Ok);
    ASSERT_EQ(joystick->GetState(s), Result::Ok);
    EXPECT_EQ(s.buttons[2], kDown);
}

// A device whose hardware side counts refreshes and reads nothing.
class QuietJoystick final : public BasicDevice {
public:
    QuietJoystick() : BasicDevice(DataFormat::Joystick) {}
    int refreshes = 0;

protected:
    void Refresh() override { ++refreshes; }
    uint32_t AxisMask() const override { return 1u << int(Axis::Rz); }
    void Describe(DeviceInfo& out) override { CopyName(out.instanceName, "Quiet"); }
};

// Only Poll brings the hardware view up to date; a read fills what the
// device does not report: axes 0, POVs centred, buttons up.
TEST(InputDeviceRules, PollRefreshesAndReadsStartFromNothing) {
    QuietJoystick d;
    ASSERT_EQ(d.SetDataFormat(DataFormat::Joystick), Result::Ok);
    ASSERT_EQ(d.Acquire(), Result::Ok);
    JoystickState s;
    std::memset(&s, 0x5A, sizeof s);
    ASSERT_EQ(d.GetState(s), Result::Ok);
    EXPECT_EQ(d.refreshes, 0);
    ASSERT_EQ(d.Poll(), Result::Ok);
    ASSERT_EQ(d.Poll(), Result::Ok);
    EXPECT_EQ(d.refreshes, 2);
    EXPECT_EQ((std::vector<int>{s.x, s.rz, s.sliders[1], s.buttons[0], s.buttons[31]}), (std::vector<int>(5, 0)));
    for (uint32_t pov : s.povs) EXPECT_EQ(pov, kPovCentred);
    // Axes not reported cannot be given a range; the one that is, can.
    EXPECT_EQ(d.SetAxisRange(Axis::X, -1, 1), Result::InvalidArgument);
    EXPECT_EQ(d.SetAxisRange(Axis::Rz, -1, 1), Result::Ok);
    EXPECT_EQ(d.SetAxisRange(static_cast<Axis>(kAxisCount), -1, 1), Result::InvalidArgument);
    DeviceInfo info;
    std::memset(&info, 0x5A, sizeof info);
    ASSERT_EQ(d.GetInfo(info), Result::Ok);
    EXPECT_STREQ(info.instanceName, "Quiet");
    EXPECT_EQ(info.productName[0], 0);
    EXPECT_EQ(info.instance, Guid{});
}

TEST(FakeInput, JoystickAxesTakeTheRangeTheyAreGiven) {
    FakeBackend fake;
    FakeJoystickSpec spec;
    spec.axes = (1u << int(Axis::X)) | (1u << int(Axis::Y)) | (1u << int(Axis::Rz));
    spec.buttons = 12;
    const int stick = fake.PlugJoystick(spec);
    auto input = MakeInput(fake);
    auto joystick = Ready(*input, DataFormat::Joystick);

    std::vector<Axis> axes;
    ASSERT_EQ(joystick->EnumAxes([&](Axis a) {
        axes.push_back(a);
        return joystick->SetAxisRange(a, -1000, 1000) == Result::Ok;
    }), Result::Ok);
    EXPECT_EQ(axes, (std::vector<Axis>{Axis::X, Axis::Y, Axis::Rz}));
    EXPECT_EQ(fake.AxisRangeOf(stick, Axis::Rz), std::make_pair(-1000, 1000));
    EXPECT_EQ(fake.AxisRangeOf(stick, Axis::Z), std::make_pair(0, 65535));
    EXPECT_EQ(joystick->SetAxisRange(Axis::Z, -1000, 1000), Result::InvalidArgument);   // absent
    EXPECT_EQ(joystick->SetAxisRange(Axis::X, 5, 5), Result::InvalidArgument);

    for (auto [axis, value] : {std::pair{Axis::X, -501}, {Axis::Y, 5000}, {Axis::Z, 300}}) fake.SetAxis(stick, axis, value);
    fake.SetPov(stick, 0, 4500);
    fake.SetButton(stick, 11, true);
    fake.SetButton(stick, 12, true);   // past the stick's buttons
    JoystickState s;
    ASSERT_EQ(joystick->Poll(), Result::Ok);
    ASSERT_EQ(joystick->GetState(s), Result::Ok);
    EXPECT_EQ((std::vector<int>{s.x, s.y, s.z}), (std::vector<int>{-501, 1000, 0}));   // clamped; absent 0
    EXPECT_EQ(s.povs[0], 4500u);
    EXPECT_EQ(s.povs[1], kPovCentred);
    EXPECT_EQ(s.buttons[11], kDown);
    EXPECT_EQ(s.buttons[12], 0);
}

// The engine creates each stick in the callback and stops at 16.
TEST(FakeInput, EnumerationListsAttachedJoysticksInOrder) {
    FakeBackend fake;
    for (int i = 0; i < 17; ++i) fake.PlugJoystick({"Pad " + std::to_string(i)});
    fake.Unplug(3);
    auto input = MakeInput(fake);
    std::vector<std::unique_ptr<Device>> slots;
    std::vector<std::string> names;
    ASSERT_EQ(input->EnumJoysticks([&](const DeviceInfo& info) {
        names.push_back(info.instanceName);
        std::unique_ptr<Device> d;
        if (input->CreateJoystick(info.instance, d) != Result::Ok) return false;
        slots.push_back(std::move(d));
        return slots.size() < 16;
    }), Result::Ok);
    ASSERT_EQ(slots.size(), 16u);
    EXPECT_EQ(names[2] + "," + names[3] + "," + names[15], "Pad 2,Pad 4,Pad 16");
    EXPECT_EQ(input->EnumJoysticks(nullptr), Result::InvalidArgument);
    std::unique_ptr<Device> none;
    EXPECT_EQ(input->CreateJoystick(Guid{}, none), Result::NotConnected);
}

TEST(FakeInput, LongNamesAreCutBetweenCharacters) {
    FakeBackend fake;
    std::string name;
    for (int i = 0; i < 200; ++i) name += "ア";   // two bytes each
    fake.PlugJoystick({name});
    fake.PlugJoystick({"x" + name});
    auto input = MakeInput(fake);
    std::vector<std::string> names;
    input->EnumJoysticks([&](const DeviceInfo& info) { return names.push_back(info.productName), true; });
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].size(), 258u);
    EXPECT_EQ(names[1].size(), 259u);
    EXPECT_EQ(names[1].substr(257), "ア");
}

TEST(FakeInput, WindowsFailuresCanBeScriptedPerCallDeviceAndCount) {
    FakeBackend fake;
    fake.PlugJoystick();
    std::unique_ptr<Input> input;
    fake.Fail(Call::CreateInput, FakeBackend::kAnyDevice, Result::Failed, 1);
    EXPECT_EQ(fake.CreateInput(input), Result::Failed);
    EXPECT_EQ(input, nullptr);
    ASSERT_EQ(fake.CreateInput(input), Result::Ok);

    std::unique_ptr<Device> keyboard, mouse;
    fake.Fail(Call::CreateDevice, FakeBackend::kMouse);   // until cleared
    EXPECT_EQ(input->CreateKeyboard(keyboard), Result::Ok);
    EXPECT_EQ(input->CreateMouse(mouse), Result::Failed);
    EXPECT_EQ(input->CreateMouse(mouse), Result::Failed);
    fake.ClearFailures();
    EXPECT_EQ(input->CreateMouse(mouse), Result::Ok);
    fake.Fail(Call::SetCooperativeLevel, FakeBackend::kMouse, Result::InvalidArgument, 1);
    EXPECT_EQ(keyboard->SetCooperativeLevel(kLevel), Result::Ok);
    EXPECT_EQ(mouse->SetCooperativeLevel(kLevel), Result::InvalidArgument);

    fake.Fail(Call::EnumJoysticks, FakeBackend::kAnyDevice, Result::Failed, 1);
    int seen = 0;
    EXPECT_EQ(input->EnumJoysticks([&](const DeviceInfo&) { return ++seen, true; }), Result::Failed);
    EXPECT_EQ(seen, 0);
    auto joystick = Ready(*input, DataFormat::Joystick);
    fake.Fail(Call::Acquire, 0, Result::NotConnected, 2);
    fake.Fail(Call::Poll, 0, Result::InputLost, 1);
    EXPECT_EQ(joystick->Poll(), Result::InputLost);
    EXPECT_EQ(joystick->Acquire(), Result::NotConnected);
    EXPECT_EQ(joystick->Acquire(), Result::NotConnected);
    EXPECT_EQ(joystick->Acquire(), Result::Ok);
    EXPECT_EQ(fake.Calls(Call::Acquire), 4u);   // failed calls count too
}

TEST(FakeInputPads, ReadVibrateAndDisconnect) {
    FakeBackend fake;
    PadState s;
    EXPECT_EQ(fake.GetPadState(0, s), Result::NotConnected);
    EXPECT_EQ(fake.GetPadState(kPadCount, s), Result::InvalidArgument);
    ASSERT_TRUE(fake.ConnectPad(1));
    PadState pressed{};
    pressed.buttons = pad::A | pad::DpadUp;
    fake.SetPad(1, pressed);
    ASSERT_EQ(fake.GetPadState(1, s), Result::Ok);
    EXPECT_EQ(s.buttons, pad::A | pad::DpadUp);
    const uint32_t packet = s.packet;
    fake.SetPad(1, pressed);
    fake.GetPadState(1, s);
    EXPECT_EQ(s.packet, packet);   // the same state, the same packet
    pressed.thumbLY = 1;
    fake.SetPad(1, pressed);
    fake.GetPadState(1, s);
    EXPECT_NE(s.packet, packet);

    EXPECT_EQ(fake.SetPadVibration(1, {65535, 100}), Result::Ok);
    fake.Fail(Call::SetPadVibration, 1, Result::NotConnected, 1);
    EXPECT_EQ(fake.SetPadVibration(1, {1, 1}), Result::NotConnected);
    EXPECT_EQ(fake.Vibration(1), (PadVibration{65535, 100}));
    EXPECT_EQ(fake.VibrationLog().size(), 1u);   // failed calls are not logged
    fake.ConnectPad(1, false);
    EXPECT_EQ(fake.GetPadState(1, s), Result::NotConnected);
    EXPECT_EQ(fake.Vibration(1), (PadVibration{0, 0}));
}

TEST(InputBackends, TheInstalledBackendAnswersAndDevicesOutliveIt) {
    std::unique_ptr<Device> keyboard;
    {
        FakeBackend fake;
        fake.ConnectPad(3);
        SetBackend(&fake);
        std::unique_ptr<Input> input;
        ASSERT_EQ(CreateInput(input), Result::Ok);
        keyboard = Ready(*input, DataFormat::Keyboard);
        fake.SetKey(key::Escape, true);
        EXPECT_EQ(SetPadVibration(3, {7, 8}), Result::Ok);
        EXPECT_EQ(fake.Vibration(3), (PadVibration{7, 8}));
        SetBackend(nullptr);
        PadState s;
        EXPECT_EQ(GetPadState(7, s), Result::InvalidArgument);   // the SDL backend's answer
        EXPECT_EQ(fake.Calls(Call::GetPadState), 0u);
    }
    KeyboardState keys;
    ASSERT_EQ(keyboard->GetState(keys), Result::Ok);
    EXPECT_EQ(keys.keys[key::Escape], kDown);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::input
