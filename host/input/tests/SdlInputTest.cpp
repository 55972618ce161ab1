// The SDL backend, headless; SDL's virtual controllers stand in for hardware.
#include "host/input/Input.h"
#include "host/input/tests/InputTestLevel.h"
#include "host/input/SdlMapping.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace host::input {
namespace ORV_TEST_FILE_ID {

namespace {

using input_test::kLevel;

TEST(SdlConversion, AxesHatsTriggersAndThumbs) {
    const struct { int32_t raw, min, max, expected; } axes[] = {
        {-32768, -1000, 1000, -1000}, {32767, -1000, 1000, 1000}, {0, -1000, 1000, 0}, {-1, -1000, 1000, 0},
        {-32768, 0, 65535, 0}, {1234, 0, 65535, 1234 + 32768}, {40000, -1000, 1000, 1000},
        {32767, INT32_MIN, INT32_MAX, INT32_MAX}};
    for (const auto& a : axes) EXPECT_EQ(sdl::ScaleAxis(a.raw, a.min, a.max), a.expected) << a.raw << " " << a.max;
    int32_t last = -1001;
    for (int raw = -32768; raw <= 32767; raw += 97) {
        EXPECT_GE(sdl::ScaleAxis(raw, -1000, 1000), last) << raw;
        last = sdl::ScaleAxis(raw, -1000, 1000);
    }
    const std::pair<uint8_t, uint32_t> hats[] = {
        {SDL_HAT_CENTERED, kPovCentred}, {SDL_HAT_UP, 0}, {SDL_HAT_RIGHTUP, 4500}, {SDL_HAT_RIGHT, 9000},
        {SDL_HAT_RIGHTDOWN, 13500}, {SDL_HAT_DOWN, 18000}, {SDL_HAT_LEFTDOWN, 22500}, {SDL_HAT_LEFT, 27000},
        {SDL_HAT_LEFTUP, 31500}, {SDL_HAT_UP | SDL_HAT_DOWN, kPovCentred}};
    for (auto [hat, pov] : hats) EXPECT_EQ(sdl::PovFromHat(hat), pov) << int(hat);
    // Rounded to the nearest level, a half upward.
    for (auto [axis, trigger] : {std::pair{0, 0}, {-5, 0}, {32767, 255}, {16384, 128}, {16383, 127}, {16512, 129}})
        EXPECT_EQ(sdl::TriggerFromAxis(int16_t(axis)), trigger) << axis;
    for (auto [axis, thumb] : {std::pair{-32768, 32767}, {32767, -32767}, {0, 0}})
        EXPECT_EQ(sdl::UpwardThumb(int16_t(axis)), thumb) << axis;
}

TEST(SdlBackend, PadsAreAbsentWithoutAnInputObject) {
    SetBackend(nullptr);
    PadState pad;
    EXPECT_EQ(GetPadState(0, pad), Result::NotConnected);
    EXPECT_EQ(SetPadVibration(0, {1, 1}), Result::NotConnected);
}

// Each test runs on the real backend.
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
    std::unique_ptr<Device> Open(const std::string& name, DeviceInfo& info) {
        std::unique_ptr<Device> found;
        input->EnumJoysticks([&](const DeviceInfo& i) {
            if (name != i.productName) return true;
            info = i;
            EXPECT_EQ(input->CreateJoystick(i.instance, found), Result::Ok);
            return false;
        });
        if (!found) return nullptr;
        found = Ready(std::move(found), DataFormat::Joystick);
        found->EnumAxes([&](Axis a) { return found->SetAxisRange(a, -1000, 1000) == Result::Ok; });
        return found;
    }

    static int IndexOf(const char* name) {
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (std::string(SDL_JoystickNameForIndex(i)) == name) return i;
        return -1;
    }

    std::unique_ptr<Input> input;
};

TEST_F(SdlInput, StartsHeadlessWithWhateverIsPluggedInAndNoVideo) {
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    EXPECT_NE(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    std::unique_ptr<Device> keyboard, mouse;
    ASSERT_EQ(input->CreateKeyboard(keyboard), Result::Ok);
    ASSERT_EQ(input->CreateMouse(mouse), Result::Ok);
    keyboard = Ready(std::move(keyboard), DataFormat::Keyboard);
    mouse = Ready(std::move(mouse), DataFormat::Mouse);
    KeyboardState keys;
    MouseState m;
    ASSERT_EQ(keyboard->GetState(keys), Result::Ok);
    EXPECT_EQ(std::count(std::begin(keys.keys), std::end(keys.keys), 0), 256);   // idle
    EXPECT_EQ(mouse->GetState(m), Result::Ok);

    ASSERT_EQ(input->EnumJoysticks([&](const DeviceInfo& info) {
        std::unique_ptr<Device> d;
        return input->CreateJoystick(info.instance, d) == Result::Ok;
    }), Result::Ok);
    PadState pad;
    for (uint32_t user = 0; user < kPadCount; ++user) {
        const Result r = GetPadState(user, pad);
        EXPECT_TRUE(r == Result::Ok || r == Result::NotConnected) << ResultName(r);
    }
    EXPECT_EQ(GetPadState(kPadCount, pad), Result::InvalidArgument);
    EXPECT_EQ(SetPadVibration(99, {1, 1}), Result::InvalidArgument);
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
    e.wheel.which = SDL_TOUCH_MOUSEID;   // a touch screen's scroll is no wheel
    e.wheel.preciseY = 3.0f;
    SDL_PushEvent(&e);
    MouseState m;
    ASSERT_EQ(mouse->GetState(m), Result::Ok);
    EXPECT_EQ(m.z, 2 * kWheelNotch - kWheelNotch / 2);
    ASSERT_EQ(mouse->GetState(m), Result::Ok);
    EXPECT_EQ(m.z, 0);
    SDL_FlushEvent(SDL_MOUSEWHEEL);
}

int g_low = -1, g_high = -1;
int SDLCALL RecordRumble(void*, Uint16 low, Uint16 high) {
    g_low = low;
    g_high = high;
    return 0;
}

TEST_F(SdlInput, VirtualControllersReadAsJoysticksAndPadsUntilUnplugged) {
    SDL_VirtualJoystickDesc stickDesc{}, padDesc{};
    stickDesc.version = padDesc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    stickDesc.type = SDL_JOYSTICK_TYPE_FLIGHT_STICK;
    stickDesc.naxes = 6;
    stickDesc.nbuttons = 32;
    stickDesc.nhats = 1;
    stickDesc.name = "Orv Test Stick";
    padDesc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    padDesc.naxes = SDL_CONTROLLER_AXIS_MAX;
    padDesc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    padDesc.name = "Orv Test Pad";
    padDesc.Rumble = RecordRumble;
    ASSERT_GE(SDL_JoystickAttachVirtualEx(&stickDesc), 0) << SDL_GetError();
    ASSERT_GE(SDL_JoystickAttachVirtualEx(&padDesc), 0) << SDL_GetError();
    DeviceInfo stickInfo, padInfo;
    auto stick = Open(stickDesc.name, stickInfo), padStick = Open(padDesc.name, padInfo);
    ASSERT_TRUE(stick && padStick);
    EXPECT_STREQ(stickInfo.instanceName, stickDesc.name);
    EXPECT_STREQ(padInfo.instanceName, kPadControllerName);   // how the game recognises pads

    SDL_Joystick* raw = SDL_JoystickOpen(IndexOf(stickDesc.name));
    SDL_JoystickSetVirtualAxis(raw, 0, -32768);
    SDL_JoystickSetVirtualAxis(raw, 5, 32767);
    SDL_JoystickSetVirtualHat(raw, 0, SDL_HAT_RIGHTUP);
    SDL_JoystickSetVirtualButton(raw, 31, 1);
    SDL_JoystickClose(raw);
    raw = SDL_JoystickOpen(IndexOf(padDesc.name));
    for (int b : {SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_DPAD_LEFT})
        SDL_JoystickSetVirtualButton(raw, b, 1);
    SDL_JoystickSetVirtualAxis(raw, SDL_CONTROLLER_AXIS_LEFTY, -32768);
    SDL_JoystickSetVirtualAxis(raw, SDL_CONTROLLER_AXIS_RIGHTY, 32767);
    SDL_JoystickSetVirtualAxis(raw, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
    SDL_JoystickClose(raw);

    JoystickState s;
    ASSERT_EQ(stick->Poll(), Result::Ok);
    ASSERT_EQ(stick->GetState(s), Result::Ok);
    EXPECT_EQ((std::vector<int>{s.x, s.y, s.rz, s.sliders[0]}), (std::vector<int>{-1000, 0, 1000, 0}));
    EXPECT_EQ(s.povs[0], 4500u);
    EXPECT_EQ(s.povs[1], kPovCentred);
    EXPECT_EQ(s.buttons[31], kDown);

    // A pad read as a joystick has the layout the game expects of one.
    ASSERT_EQ(padStick->Poll(), Result::Ok);
    ASSERT_EQ(padStick->GetState(s), Result::Ok);
    EXPECT_EQ((std::vector<int>{s.buttons[1], s.buttons[4], s.buttons[5], s.buttons[8]}),
              (std::vector<int>{kDown, kDown, 0, kDown}));   // B, left trigger, right trigger, start
    EXPECT_EQ((std::vector<int>{s.y, s.rz, s.sliders[0], s.sliders[1]}), (std::vector<int>{-1000, 1000, 1000, -1000}));
    EXPECT_EQ(s.povs[0], 27000u);

    PadState pad{};
    uint32_t user = kPadCount;
    for (uint32_t u = 0; u < kPadCount; ++u)
        if (GetPadState(u, pad) == Result::Ok && (pad.buttons & pad::Start) && (pad.buttons & pad::B)) user = u;
    ASSERT_LT(user, kPadCount);
    int users = 0;
    for (uint32_t u = 0; u < kPadCount; ++u)
        users += GetPadState(u, pad) == Result::Ok && (pad.buttons & pad::Start) && (pad.buttons & pad::B);
    EXPECT_EQ(users, 1);   // a pad keeps its one user number
    ASSERT_EQ(GetPadState(user, pad), Result::Ok);
    EXPECT_EQ(pad.buttons, pad::B | pad::Start | pad::DpadLeft);
    EXPECT_EQ((std::vector<int>{pad.thumbLY, pad.thumbRY, pad.leftTrigger, pad.rightTrigger}),
              (std::vector<int>{32767, -32767, 255, 0}));
    const uint32_t packet = pad.packet;
    ASSERT_EQ(GetPadState(user, pad), Result::Ok);
    EXPECT_EQ(pad.packet, packet);
    EXPECT_EQ(SetPadVibration(user, {1000, 2000}), Result::Ok);
    EXPECT_EQ(std::make_pair(g_low, g_high), std::make_pair(1000, 2000));

    ASSERT_EQ(SDL_JoystickDetachVirtual(IndexOf(padDesc.name)), 0);
    ASSERT_EQ(SDL_JoystickDetachVirtual(IndexOf(stickDesc.name)), 0);
    EXPECT_EQ(GetPadState(user, pad), Result::NotConnected);
    EXPECT_EQ(SetPadVibration(user, {1, 1}), Result::NotConnected);
    EXPECT_EQ(padStick->Poll(), Result::InputLost);
    EXPECT_EQ(stick->Poll(), Result::InputLost);
    EXPECT_EQ(stick->Poll(), Result::NotAcquired);
    EXPECT_EQ(stick->Acquire(), Result::NotConnected);

    // Plugged in again: the same instance, read afresh.
    ASSERT_GE(SDL_JoystickAttachVirtualEx(&stickDesc), 0);
    EXPECT_EQ(stick->Acquire(), Result::Ok);
    ASSERT_EQ(stick->Poll(), Result::Ok);
    ASSERT_EQ(stick->GetState(s), Result::Ok);
    EXPECT_EQ(s.buttons[31], 0);
    DeviceInfo again;
    ASSERT_EQ(stick->GetInfo(again), Result::Ok);
    EXPECT_EQ(again.instance, stickInfo.instance);
    SDL_JoystickDetachVirtual(IndexOf(stickDesc.name));
}

// Two controllers of one product are two devices; a pad is told to stop
// when the last input object goes.
TEST_F(SdlInput, TwinControllersHaveTheirOwnInstancesAndPadsStopWhenReleased) {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "Orv Twin Pad";
    desc.Rumble = RecordRumble;
    ASSERT_GE(SDL_JoystickAttachVirtualEx(&desc), 0) << SDL_GetError();
    ASSERT_GE(SDL_JoystickAttachVirtualEx(&desc), 0) << SDL_GetError();
    std::vector<DeviceInfo> twins;
    input->EnumJoysticks([&](const DeviceInfo& i) {
        if (std::string(i.productName) == desc.name) twins.push_back(i);
        return true;
    });
    ASSERT_EQ(twins.size(), 2u);
    EXPECT_EQ(twins[0].product, twins[1].product);
    EXPECT_FALSE(twins[0].instance == twins[1].instance);
    EXPECT_FALSE(twins[0].instance == twins[0].product);
    EXPECT_FALSE(twins[1].instance == twins[1].product);

    PadState pad;
    uint32_t user = kPadCount;
    for (uint32_t u = 0; u < kPadCount && user == kPadCount; ++u)
        if (GetPadState(u, pad) == Result::Ok) user = u;
    ASSERT_LT(user, kPadCount);
    ASSERT_EQ(SetPadVibration(user, {300, 400}), Result::Ok);
    EXPECT_EQ(std::make_pair(g_low, g_high), std::make_pair(300, 400));
    input.reset();
    EXPECT_EQ(std::make_pair(g_low, g_high), std::make_pair(0, 0));
    while (IndexOf(desc.name) >= 0) SDL_JoystickDetachVirtual(IndexOf(desc.name));
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::input
