// The SDL backend, headless: conversions, start-up without devices, and
// SDL's virtual controllers standing in for plugged-in hardware.
#include "host/input/Input.h"
#include "host/input/SdlMapping.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace host::input {
namespace {

constexpr uint32_t kLevel = kNonExclusive | kBackground;

TEST(SdlConversion, AxesSpanTheWholeRange) {
    EXPECT_EQ(sdl::ScaleAxis(-32768, -1000, 1000), -1000);
    EXPECT_EQ(sdl::ScaleAxis(32767, -1000, 1000), 1000);
    EXPECT_EQ(sdl::ScaleAxis(0, -1000, 1000), 0);
    EXPECT_EQ(sdl::ScaleAxis(-1, -1000, 1000), 0);
    EXPECT_EQ(sdl::ScaleAxis(-32768, 0, 65535), 0);
    EXPECT_EQ(sdl::ScaleAxis(1234, 0, 65535), 1234 + 32768);
    EXPECT_EQ(sdl::ScaleAxis(40000, -1000, 1000), 1000);
    EXPECT_EQ(sdl::ScaleAxis(32767, INT32_MIN, INT32_MAX), INT32_MAX);
    int32_t last = -1001;
    for (int raw = -32768; raw <= 32767; raw += 97) {
        int32_t v = sdl::ScaleAxis(raw, -1000, 1000);
        EXPECT_GE(v, last);
        last = v;
    }
}

TEST(SdlConversion, HatsBecomeHundredthsOfADegree) {
    EXPECT_EQ(sdl::PovFromHat(SDL_HAT_CENTERED), kPovCentred);
    EXPECT_EQ(sdl::PovFromHat(SDL_HAT_UP), 0u);
    EXPECT_EQ(sdl::PovFromHat(SDL_HAT_RIGHTUP), 4500u);
    EXPECT_EQ(sdl::PovFromHat(SDL_HAT_RIGHT), 9000u);
    EXPECT_EQ(sdl::PovFromHat(SDL_HAT_RIGHTDOWN), 13500u);
    EXPECT_EQ(sdl::PovFromHat(SDL_HAT_DOWN), 18000u);
    EXPECT_EQ(sdl::PovFromHat(SDL_HAT_LEFTDOWN), 22500u);
    EXPECT_EQ(sdl::PovFromHat(SDL_HAT_LEFT), 27000u);
    EXPECT_EQ(sdl::PovFromHat(SDL_HAT_LEFTUP), 31500u);
    EXPECT_EQ(sdl::PovFromHat(SDL_HAT_UP | SDL_HAT_DOWN), kPovCentred);
}

TEST(SdlConversion, PadValues) {
    EXPECT_EQ(sdl::TriggerFromAxis(0), 0);
    EXPECT_EQ(sdl::TriggerFromAxis(-5), 0);
    EXPECT_EQ(sdl::TriggerFromAxis(32767), 255);
    EXPECT_EQ(sdl::TriggerFromAxis(16384), 128);
    EXPECT_EQ(sdl::UpwardThumb(-32768), 32767);
    EXPECT_EQ(sdl::UpwardThumb(32767), -32767);
    EXPECT_EQ(sdl::UpwardThumb(0), 0);
}

// Runs each test on the real backend and leaves SDL as it found it.
class SdlInput : public ::testing::Test {
protected:
    void SetUp() override {
        SetBackend(nullptr);
        ASSERT_EQ(CreateInput(input), Result::Ok);
    }

    std::unique_ptr<Device> Ready(std::unique_ptr<Device> d, DataFormat format) {
        EXPECT_EQ(d->SetDataFormat(format), Result::Ok);
        EXPECT_EQ(d->SetCooperativeLevel(kLevel), Result::Ok);
        EXPECT_EQ(d->Acquire(), Result::Ok);
        return d;
    }

    // The joystick of that name, set up as the engine does it.
    std::unique_ptr<Device> Open(const std::string& name, DeviceInfo* info = nullptr) {
        std::unique_ptr<Device> found;
        input->EnumJoysticks([&](const DeviceInfo& i) {
            if (name != i.productName)
                return true;
            if (info)
                *info = i;
            EXPECT_EQ(input->CreateJoystick(i.instance, found), Result::Ok);
            return false;
        });
        if (!found)
            return nullptr;
        found = Ready(std::move(found), DataFormat::Joystick);
        found->EnumAxes([&](Axis a) { return found->SetAxisRange(a, -1000, 1000) == Result::Ok; });
        return found;
    }

    int IndexOf(const char* name) {
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (std::string(SDL_JoystickNameForIndex(i)) == name)
                return i;
        }
        return -1;
    }

    std::unique_ptr<Input> input;
};

TEST_F(SdlInput, StartsHeadlessWithWhateverIsPluggedIn) {
    std::unique_ptr<Device> keyboard, mouse;
    ASSERT_EQ(input->CreateKeyboard(keyboard), Result::Ok);
    ASSERT_EQ(input->CreateMouse(mouse), Result::Ok);
    keyboard = Ready(std::move(keyboard), DataFormat::Keyboard);
    mouse = Ready(std::move(mouse), DataFormat::Mouse);
    KeyboardState keys;
    MouseState m;
    EXPECT_EQ(keyboard->GetState(keys), Result::Ok);
    EXPECT_EQ(mouse->GetState(m), Result::Ok);

    int count = 0;
    ASSERT_EQ(input->EnumJoysticks([&](const DeviceInfo& info) {
        std::unique_ptr<Device> d;
        EXPECT_EQ(input->CreateJoystick(info.instance, d), Result::Ok);
        if (d) {
            d = Ready(std::move(d), DataFormat::Joystick);
            JoystickState s;
            EXPECT_EQ(d->Poll(), Result::Ok);
            EXPECT_EQ(d->GetState(s), Result::Ok);
        }
        return ++count < 16;
    }), Result::Ok);
    EXPECT_GE(count, 0);

    PadState pad;
    for (uint32_t user = 0; user < kPadCount; ++user) {
        Result r = GetPadState(user, pad);
        EXPECT_TRUE(r == Result::Ok || r == Result::NotConnected) << ResultName(r);
    }
    EXPECT_EQ(GetPadState(kPadCount, pad), Result::InvalidArgument);
    EXPECT_EQ(SetPadVibration(99, {1, 1}), Result::InvalidArgument);
}

TEST_F(SdlInput, KeysReadIdleWithoutAnyVideo) {
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    EXPECT_NE(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    std::unique_ptr<Device> keyboard;
    ASSERT_EQ(input->CreateKeyboard(keyboard), Result::Ok);
    keyboard = Ready(std::move(keyboard), DataFormat::Keyboard);
    KeyboardState keys;
    ASSERT_EQ(keyboard->GetState(keys), Result::Ok);
    for (uint8_t k : keys.keys)
        EXPECT_EQ(k, 0);
}

TEST_F(SdlInput, WheelNotchesAreCountedFromEvents) {
    std::unique_ptr<Device> mouse;
    ASSERT_EQ(input->CreateMouse(mouse), Result::Ok);
    mouse = Ready(std::move(mouse), DataFormat::Mouse);
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = 1;
    e.wheel.preciseY = 1.0f;
    SDL_PushEvent(&e);
    SDL_PushEvent(&e);
    e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    e.wheel.preciseY = 0.5f;
    SDL_PushEvent(&e);
    MouseState m;
    ASSERT_EQ(mouse->GetState(m), Result::Ok);
    EXPECT_EQ(m.z, 2 * 120 - 60);
    ASSERT_EQ(mouse->GetState(m), Result::Ok);
    EXPECT_EQ(m.z, 0);
    SDL_FlushEvent(SDL_MOUSEWHEEL);
}

TEST_F(SdlInput, UnpluggedJoystickIsLostUntilItComesBack) {
    const char* name = "Orv Test Stick";
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_FLIGHT_STICK;
    desc.naxes = 6;
    desc.nbuttons = 32;
    desc.nhats = 1;
    desc.name = name;
    ASSERT_GE(SDL_JoystickAttachVirtualEx(&desc), 0) << SDL_GetError();
    DeviceInfo info;
    auto stick = Open(name, &info);
    ASSERT_NE(stick, nullptr);
    EXPECT_STREQ(info.instanceName, name);

    SDL_Joystick* raw = SDL_JoystickOpen(IndexOf(name));
    SDL_JoystickSetVirtualAxis(raw, 0, -32768);
    SDL_JoystickSetVirtualAxis(raw, 5, 32767);
    SDL_JoystickSetVirtualHat(raw, 0, SDL_HAT_RIGHTUP);
    SDL_JoystickSetVirtualButton(raw, 31, 1);
    JoystickState s;
    ASSERT_EQ(stick->Poll(), Result::Ok);
    ASSERT_EQ(stick->GetState(s), Result::Ok);
    EXPECT_EQ(s.x, -1000);
    EXPECT_EQ(s.y, 0);
    EXPECT_EQ(s.rz, 1000);
    EXPECT_EQ(s.sliders[0], 0);   // absent
    EXPECT_EQ(s.povs[0], 4500u);
    EXPECT_EQ(s.povs[1], kPovCentred);
    EXPECT_EQ(s.buttons[31], kDown);
    SDL_JoystickClose(raw);

    ASSERT_EQ(SDL_JoystickDetachVirtual(IndexOf(name)), 0);
    EXPECT_EQ(stick->Poll(), Result::InputLost);
    EXPECT_EQ(stick->Poll(), Result::NotAcquired);
    EXPECT_EQ(stick->Acquire(), Result::NotConnected);

    ASSERT_GE(SDL_JoystickAttachVirtualEx(&desc), 0);
    EXPECT_EQ(stick->Acquire(), Result::Ok);
    ASSERT_EQ(stick->Poll(), Result::Ok);
    ASSERT_EQ(stick->GetState(s), Result::Ok);
    EXPECT_EQ(s.buttons[31], 0);   // a fresh device
    DeviceInfo again;
    ASSERT_EQ(stick->GetInfo(again), Result::Ok);
    EXPECT_EQ(again.instance, info.instance);
    SDL_JoystickDetachVirtual(IndexOf(name));
}

int g_low = -1, g_high = -1;
int SDLCALL RecordRumble(void*, Uint16 low, Uint16 high) {
    g_low = low;
    g_high = high;
    return 0;
}

TEST_F(SdlInput, GameControllersAreAlsoPads) {
    const char* name = "Orv Test Pad";
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = name;
    desc.Rumble = RecordRumble;
    ASSERT_GE(SDL_JoystickAttachVirtualEx(&desc), 0) << SDL_GetError();
    DeviceInfo info;
    auto stick = Open(name, &info);
    ASSERT_NE(stick, nullptr);
    EXPECT_STREQ(info.instanceName, kPadControllerName);

    SDL_Joystick* raw = SDL_JoystickOpen(IndexOf(name));
    SDL_JoystickSetVirtualButton(raw, SDL_CONTROLLER_BUTTON_B, 1);
    SDL_JoystickSetVirtualButton(raw, SDL_CONTROLLER_BUTTON_START, 1);
    SDL_JoystickSetVirtualButton(raw, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
    SDL_JoystickSetVirtualAxis(raw, SDL_CONTROLLER_AXIS_LEFTY, -32768);
    SDL_JoystickSetVirtualAxis(raw, SDL_CONTROLLER_AXIS_RIGHTY, 32767);
    SDL_JoystickSetVirtualAxis(raw, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);

    // As a joystick: the layout the game reads a pad in.
    JoystickState s;
    ASSERT_EQ(stick->Poll(), Result::Ok);
    ASSERT_EQ(stick->GetState(s), Result::Ok);
    EXPECT_EQ(s.buttons[1], kDown);   // B
    EXPECT_EQ(s.buttons[4], kDown);   // left trigger
    EXPECT_EQ(s.buttons[5], 0);
    EXPECT_EQ(s.buttons[8], kDown);   // start
    EXPECT_EQ(s.y, -1000);
    EXPECT_EQ(s.rz, 1000);            // right stick vertical
    EXPECT_EQ(s.sliders[0], 1000);
    EXPECT_EQ(s.sliders[1], -1000);
    EXPECT_EQ(s.povs[0], 27000u);

    // As a pad: the user that has it reads the same.
    PadState pad{};
    uint32_t user = kPadCount;
    for (uint32_t u = 0; u < kPadCount; ++u) {
        if (GetPadState(u, pad) == Result::Ok && (pad.buttons & pad::Start) && (pad.buttons & pad::B))
            user = u;
    }
    ASSERT_LT(user, kPadCount);
    ASSERT_EQ(GetPadState(user, pad), Result::Ok);
    EXPECT_EQ(pad.buttons, pad::B | pad::Start | pad::DpadLeft);
    EXPECT_EQ(pad.thumbLY, 32767);
    EXPECT_EQ(pad.thumbRY, -32767);
    EXPECT_EQ(pad.leftTrigger, 255);
    EXPECT_EQ(pad.rightTrigger, 0);
    uint32_t packet = pad.packet;
    ASSERT_EQ(GetPadState(user, pad), Result::Ok);
    EXPECT_EQ(pad.packet, packet);

    EXPECT_EQ(SetPadVibration(user, {1000, 2000}), Result::Ok);
    EXPECT_EQ(g_low, 1000);
    EXPECT_EQ(g_high, 2000);
    SDL_JoystickClose(raw);

    SDL_JoystickDetachVirtual(IndexOf(name));
    EXPECT_EQ(GetPadState(user, pad), Result::NotConnected);
    EXPECT_EQ(SetPadVibration(user, {1, 1}), Result::NotConnected);
    EXPECT_EQ(stick->Poll(), Result::InputLost);
}

TEST(SdlBackend, PadsAreAbsentWithoutAnInputObject) {
    SetBackend(nullptr);
    PadState pad;
    EXPECT_EQ(GetPadState(0, pad), Result::NotConnected);
    EXPECT_EQ(SetPadVibration(0, {1, 1}), Result::NotConnected);
}

}  // namespace
}  // namespace host::input
