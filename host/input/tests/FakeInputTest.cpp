#include "host/input/Input.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace host::input {
namespace {

constexpr uint32_t kLevel = kNonExclusive | kBackground;

std::unique_ptr<Input> MakeInput(FakeBackend& fake) {
    std::unique_ptr<Input> input;
    EXPECT_EQ(fake.CreateInput(input), Result::Ok);
    return input;
}

// A device set up the way the engine does it.
std::unique_ptr<Device> Ready(std::unique_ptr<Device> device, DataFormat format) {
    EXPECT_EQ(device->SetDataFormat(format), Result::Ok);
    EXPECT_EQ(device->SetCooperativeLevel(kLevel), Result::Ok);
    EXPECT_EQ(device->Acquire(), Result::Ok);
    return device;
}

std::unique_ptr<Device> Keyboard(Input& input) {
    std::unique_ptr<Device> d;
    EXPECT_EQ(input.CreateKeyboard(d), Result::Ok);
    return Ready(std::move(d), DataFormat::Keyboard);
}

std::unique_ptr<Device> Joystick(Input& input, int nth) {
    std::vector<Guid> found;
    input.EnumJoysticks([&](const DeviceInfo& info) { found.push_back(info.instance); return true; });
    std::unique_ptr<Device> d;
    EXPECT_EQ(input.CreateJoystick(found.at(nth), d), Result::Ok);
    return Ready(std::move(d), DataFormat::Joystick);
}

TEST(FakeInput, MouseMovementAddsUpUntilRead) {
    FakeBackend fake;
    auto input = MakeInput(fake);
    std::unique_ptr<Device> mouse;
    ASSERT_EQ(input->CreateMouse(mouse), Result::Ok);
    mouse = Ready(std::move(mouse), DataFormat::Mouse);
    fake.MoveMouse(3, -4);
    fake.MoveMouse(2, 1);
    fake.TurnWheel(-1);
    EXPECT_TRUE(fake.SetMouseButton(1, true));
    EXPECT_FALSE(fake.SetMouseButton(8, true));
    MouseState m;
    ASSERT_EQ(mouse->GetState(m), Result::Ok);
    EXPECT_EQ(m.x, 5);
    EXPECT_EQ(m.y, -3);
    EXPECT_EQ(m.z, -120);
    ASSERT_EQ(mouse->GetState(m), Result::Ok);
    EXPECT_EQ(m.x, 0);
    EXPECT_EQ(m.z, 0);
    EXPECT_EQ(m.buttons[1], kDown);   // buttons stay down
}

TEST(DeviceRules, CallsOutOfOrderAreRefused) {
    FakeBackend fake;
    auto input = MakeInput(fake);
    std::unique_ptr<Device> d;
    ASSERT_EQ(input->CreateKeyboard(d), Result::Ok);
    KeyboardState keys;
    EXPECT_EQ(d->GetState(keys), Result::NotAcquired);
    EXPECT_EQ(d->Acquire(), Result::InvalidArgument);   // no data format yet
    EXPECT_EQ(d->SetDataFormat(DataFormat::Mouse), Result::InvalidArgument);
    EXPECT_EQ(d->SetCooperativeLevel(0), Result::InvalidArgument);
    EXPECT_EQ(d->SetCooperativeLevel(kExclusive | kNonExclusive | kBackground), Result::InvalidArgument);
    EXPECT_EQ(d->SetCooperativeLevel(kNonExclusive | 0x100), Result::InvalidArgument);
    d = Ready(std::move(d), DataFormat::Keyboard);
    EXPECT_EQ(d->SetDataFormat(DataFormat::Keyboard), Result::InvalidArgument);   // while acquired
    MouseState m;
    EXPECT_EQ(d->GetState(m), Result::InvalidArgument);
    EXPECT_EQ(d->SetAxisRange(Axis::X, -1000, 1000), Result::InvalidArgument);
    EXPECT_EQ(d->Poll(), Result::Ok);
    EXPECT_EQ(d->Unacquire(), Result::Ok);
    EXPECT_EQ(d->Poll(), Result::NotAcquired);
}

TEST(DeviceRules, LostAcquisitionReadsLostOnceUntilAcquiredAgain) {
    FakeBackend fake;
    auto input = MakeInput(fake);
    auto keyboard = Keyboard(*input);
    fake.SetKey(key::Space, true);
    KeyboardState keys;
    std::memset(&keys, 0x55, sizeof keys);

    fake.LoseAcquisition(FakeBackend::kKeyboard);
    EXPECT_EQ(keyboard->GetState(keys), Result::InputLost);
    EXPECT_EQ(keyboard->GetState(keys), Result::NotAcquired);
    EXPECT_EQ(keyboard->Poll(), Result::NotAcquired);
    EXPECT_EQ(keys.keys[0x39], 0x55);   // a failed read leaves the record alone

    EXPECT_EQ(keyboard->Acquire(), Result::Ok);
    ASSERT_EQ(keyboard->GetState(keys), Result::Ok);
    EXPECT_EQ(keys.keys[0x39], kDown);
}

TEST(DeviceRules, UnpluggedJoystickIsAcquiredOnlyOnceBack) {
    FakeBackend fake;
    int stick = fake.PlugJoystick();
    auto input = MakeInput(fake);
    auto joystick = Joystick(*input, 0);
    fake.SetButton(stick, 2, true);

    ASSERT_TRUE(fake.Unplug(stick));
    EXPECT_EQ(joystick->Poll(), Result::InputLost);
    EXPECT_EQ(joystick->Acquire(), Result::NotConnected);
    JoystickState s;
    EXPECT_EQ(joystick->GetState(s), Result::NotAcquired);
    int enumerated = 0;
    input->EnumJoysticks([&](const DeviceInfo&) { return ++enumerated, true; });
    EXPECT_EQ(enumerated, 0);

    ASSERT_TRUE(fake.Replug(stick));
    EXPECT_EQ(joystick->Acquire(), Result::Ok);
    EXPECT_EQ(joystick->Poll(), Result::Ok);
    ASSERT_EQ(joystick->GetState(s), Result::Ok);
    EXPECT_EQ(s.buttons[2], kDown);
    EXPECT_FALSE(fake.Unplug(1));
}

TEST(FakeInput, JoystickAxesTakeTheRangeTheyAreGiven) {
    FakeBackend fake;
    FakeJoystickSpec spec;
    spec.axes = (1u << int(Axis::X)) | (1u << int(Axis::Y)) | (1u << int(Axis::Rz));
    spec.buttons = 12;
    int stick = fake.PlugJoystick(spec);
    auto input = MakeInput(fake);
    auto joystick = Joystick(*input, 0);

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
    EXPECT_EQ(joystick->SetAxisRange(static_cast<Axis>(200), -1, 1), Result::InvalidArgument);

    fake.SetAxis(stick, Axis::X, -501);
    fake.SetAxis(stick, Axis::Y, 5000);
    fake.SetAxis(stick, Axis::Z, 300);
    fake.SetPov(stick, 0, 4500);
    fake.SetButton(stick, 11, true);
    fake.SetButton(stick, 12, true);   // past the stick's buttons
    EXPECT_FALSE(fake.SetButton(stick, 32, true));
    EXPECT_FALSE(fake.SetPov(stick, 4, 0));
    EXPECT_FALSE(fake.SetAxis(7, Axis::X, 0));
    JoystickState s;
    ASSERT_EQ(joystick->Poll(), Result::Ok);
    ASSERT_EQ(joystick->GetState(s), Result::Ok);
    EXPECT_EQ(s.x, -501);
    EXPECT_EQ(s.y, 1000);
    EXPECT_EQ(s.z, 0);
    EXPECT_EQ(s.povs[0], 4500u);
    EXPECT_EQ(s.povs[1], kPovCentred);
    EXPECT_EQ(s.buttons[11], kDown);
    EXPECT_EQ(s.buttons[12], 0);
}

TEST(FakeInput, EnumerationListsAttachedJoysticksInOrder) {
    FakeBackend fake;
    for (int i = 0; i < 17; ++i) {
        FakeJoystickSpec spec;
        spec.name = "Pad " + std::to_string(i);
        fake.PlugJoystick(spec);
    }
    fake.Unplug(3);
    auto input = MakeInput(fake);
    // The engine's way: create each in the callback, stop at 16.
    std::vector<std::unique_ptr<Device>> slots;
    std::vector<std::string> names;
    ASSERT_EQ(input->EnumJoysticks([&](const DeviceInfo& info) {
        names.push_back(info.instanceName);
        std::unique_ptr<Device> d;
        if (input->CreateJoystick(info.instance, d) != Result::Ok)
            return false;
        slots.push_back(std::move(d));
        return slots.size() < 16;
    }), Result::Ok);
    ASSERT_EQ(slots.size(), 16u);
    EXPECT_EQ(names[2], "Pad 2");
    EXPECT_EQ(names[3], "Pad 4");
    EXPECT_EQ(names[15], "Pad 16");
    EXPECT_EQ(input->EnumJoysticks(nullptr), Result::InvalidArgument);
    std::unique_ptr<Device> none;
    EXPECT_EQ(input->CreateJoystick(Guid{}, none), Result::NotConnected);
    EXPECT_EQ(none, nullptr);
}

TEST(FakeInput, LongNamesAreCutBetweenCharacters) {
    FakeBackend fake;
    FakeJoystickSpec spec;
    spec.name.clear();
    for (int i = 0; i < 200; ++i)
        spec.name += "ア";   // two bytes each
    fake.PlugJoystick(spec);
    spec.name = "x" + spec.name;
    fake.PlugJoystick(spec);
    auto input = MakeInput(fake);
    std::vector<std::string> names;
    input->EnumJoysticks([&](const DeviceInfo& info) { names.push_back(info.productName); return true; });
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].size(), 258u);
    EXPECT_EQ(names[1].size(), 259u);
    EXPECT_EQ(names[1].substr(names[1].size() - 2), "ア");
}

TEST(FakeInput, EveryWindowsFailureCanBeScripted) {
    FakeBackend fake;
    fake.PlugJoystick();
    std::unique_ptr<Input> input;
    fake.Fail(Call::CreateInput, FakeBackend::kAnyDevice, Result::Failed, 1);
    EXPECT_EQ(fake.CreateInput(input), Result::Failed);
    EXPECT_EQ(input, nullptr);
    ASSERT_EQ(fake.CreateInput(input), Result::Ok);

    std::unique_ptr<Device> keyboard, mouse;
    fake.Fail(Call::CreateDevice, FakeBackend::kMouse);
    EXPECT_EQ(input->CreateKeyboard(keyboard), Result::Ok);
    EXPECT_EQ(input->CreateMouse(mouse), Result::Failed);
    fake.ClearFailures();
    EXPECT_EQ(input->CreateMouse(mouse), Result::Ok);

    fake.Fail(Call::SetDataFormat, FakeBackend::kKeyboard, Result::Failed, 1);
    fake.Fail(Call::SetCooperativeLevel, FakeBackend::kMouse, Result::InvalidArgument, 1);
    EXPECT_EQ(keyboard->SetDataFormat(DataFormat::Keyboard), Result::Failed);
    EXPECT_EQ(mouse->SetDataFormat(DataFormat::Mouse), Result::Ok);
    EXPECT_EQ(mouse->SetCooperativeLevel(kLevel), Result::InvalidArgument);

    fake.Fail(Call::EnumJoysticks, FakeBackend::kAnyDevice, Result::Failed, 1);
    int seen = 0;
    EXPECT_EQ(input->EnumJoysticks([&](const DeviceInfo&) { return ++seen, true; }), Result::Failed);
    EXPECT_EQ(seen, 0);

    fake.Fail(Call::CreateDevice, 0, Result::Failed, 1);
    std::unique_ptr<Device> failed;
    input->EnumJoysticks([&](const DeviceInfo& info) {
        EXPECT_EQ(input->CreateJoystick(info.instance, failed), Result::Failed);
        return false;
    });
    auto joystick = Joystick(*input, 0);
    fake.Fail(Call::SetAxisRange, 0, Result::Failed, 1);
    EXPECT_EQ(joystick->SetAxisRange(Axis::X, -1000, 1000), Result::Failed);
    fake.Fail(Call::GetInfo, 0, Result::Failed, 1);
    DeviceInfo info;
    EXPECT_EQ(joystick->GetInfo(info), Result::Failed);
    EXPECT_EQ(joystick->GetInfo(info), Result::Ok);
    EXPECT_STREQ(info.instanceName, "Fake Joystick");

    fake.Fail(Call::Acquire, 0, Result::NotConnected, 2);
    fake.Fail(Call::Poll, 0, Result::InputLost, 1);
    EXPECT_EQ(joystick->Poll(), Result::InputLost);
    EXPECT_EQ(joystick->Acquire(), Result::NotConnected);
    EXPECT_EQ(joystick->Acquire(), Result::NotConnected);
    EXPECT_EQ(joystick->Acquire(), Result::Ok);
    EXPECT_EQ(fake.Calls(Call::Acquire), 4u);   // the set-up's and three here
    EXPECT_EQ(fake.Calls(Call::CreateInput), 2u);
}

TEST(FakePads, ConnectReadAndDisconnect) {
    FakeBackend fake;
    PadState s;
    EXPECT_EQ(fake.GetPadState(0, s), Result::NotConnected);
    EXPECT_EQ(fake.GetPadState(4, s), Result::InvalidArgument);
    EXPECT_EQ(fake.GetPadState(0xFFFFFFFFu, s), Result::InvalidArgument);
    EXPECT_FALSE(fake.ConnectPad(4));

    ASSERT_TRUE(fake.ConnectPad(1));
    PadState pressed{};
    pressed.buttons = pad::A | pad::DpadUp;
    pressed.thumbLY = 32767;
    fake.SetPad(1, pressed);
    ASSERT_EQ(fake.GetPadState(1, s), Result::Ok);
    EXPECT_EQ(s.buttons, pad::A | pad::DpadUp);
    EXPECT_EQ(s.thumbLY, 32767);
    uint32_t packet = s.packet;
    fake.SetPad(1, pressed);
    fake.GetPadState(1, s);
    EXPECT_EQ(s.packet, packet);   // the same state, the same packet
    pressed.thumbLY = 0;
    fake.SetPad(1, pressed);
    fake.GetPadState(1, s);
    EXPECT_NE(s.packet, packet);

    fake.ConnectPad(1, false);
    EXPECT_EQ(fake.GetPadState(1, s), Result::NotConnected);
}

TEST(FakePads, VibrationIsRecorded) {
    FakeBackend fake;
    fake.ConnectPad(0);
    fake.ConnectPad(2);
    EXPECT_EQ(fake.SetPadVibration(0, {65535, 100}), Result::Ok);
    EXPECT_EQ(fake.SetPadVibration(2, {0, 0}), Result::Ok);
    EXPECT_EQ(fake.SetPadVibration(1, {5, 5}), Result::NotConnected);
    EXPECT_EQ(fake.SetPadVibration(9, {5, 5}), Result::InvalidArgument);
    EXPECT_EQ(fake.Vibration(0), (PadVibration{65535, 100}));
    ASSERT_EQ(fake.VibrationLog().size(), 2u);
    EXPECT_EQ(fake.VibrationLog()[1].user, 2u);

    fake.Fail(Call::SetPadVibration, 0, Result::NotConnected, 1);
    EXPECT_EQ(fake.SetPadVibration(0, {1, 1}), Result::NotConnected);
    EXPECT_EQ(fake.Vibration(0), (PadVibration{65535, 100}));
    fake.ConnectPad(0, false);
    EXPECT_EQ(fake.Vibration(0), (PadVibration{0, 0}));
    fake.ClearVibrationLog();
    EXPECT_TRUE(fake.VibrationLog().empty());
}

TEST(Backends, TheInstalledBackendAnswers) {
    FakeBackend fake;
    fake.ConnectPad(3);
    SetBackend(&fake);
    std::unique_ptr<Input> input;
    EXPECT_EQ(CreateInput(input), Result::Ok);
    PadState s;
    EXPECT_EQ(GetPadState(3, s), Result::Ok);
    EXPECT_EQ(SetPadVibration(3, {7, 8}), Result::Ok);
    EXPECT_EQ(fake.Vibration(3), (PadVibration{7, 8}));
    EXPECT_EQ(fake.Calls(Call::CreateInput), 1u);
    SetBackend(nullptr);
    EXPECT_EQ(GetPadState(7, s), Result::InvalidArgument);
    EXPECT_EQ(fake.Calls(Call::GetPadState), 1u);
}

TEST(Backends, DevicesOutliveTheirBackend) {
    std::unique_ptr<Device> keyboard;
    {
        FakeBackend fake;
        auto input = MakeInput(fake);
        keyboard = Keyboard(*input);
        fake.SetKey(key::Escape, true);
    }
    KeyboardState keys;
    ASSERT_EQ(keyboard->GetState(keys), Result::Ok);
    EXPECT_EQ(keys.keys[0x01], kDown);
}

}  // namespace
}  // namespace host::input
