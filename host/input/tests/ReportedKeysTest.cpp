// Keys reported by other windows reach every keyboard device.
#include "host/input/Input.h"

#include <gtest/gtest.h>

#include <linux/input-event-codes.h>

#include <vector>

namespace host::input {
namespace ORV_TEST_FILE_ID {

namespace {

std::unique_ptr<Device> Keyboard(FakeBackend& fake) {
    std::unique_ptr<Input> input;
    EXPECT_EQ(fake.CreateInput(input), Result::Ok);
    std::unique_ptr<Device> keyboard;
    EXPECT_EQ(input->CreateKeyboard(keyboard), Result::Ok);
    EXPECT_EQ(keyboard->SetDataFormat(DataFormat::Keyboard), Result::Ok);
    EXPECT_EQ(keyboard->SetCooperativeLevel(kNonExclusive | kBackground), Result::Ok);
    EXPECT_EQ(keyboard->Acquire(), Result::Ok);
    return keyboard;
}

std::vector<int> Down(Device& keyboard) {
    KeyboardState state;
    EXPECT_EQ(keyboard.GetState(state), Result::Ok);
    std::vector<int> down;
    for (int code = 0; code < 256; ++code)
        if (state.keys[code] == kDown) down.push_back(code);
    return down;
}

TEST(ReportedKeys, ReadDownAlongWithTheBackendsOwnKeys) {
    FakeBackend fake;
    auto keyboard = Keyboard(fake);
    fake.SetKey(key::Z, true);
    ReportKey(key::Return, true);
    EXPECT_EQ(Down(*keyboard), (std::vector<int>{key::Return, key::Z}));
    ReportKey(key::Return, true);   // the key repeating
    EXPECT_EQ(Down(*keyboard), (std::vector<int>{key::Return, key::Z}));
    ReportKey(key::Return, false);
    EXPECT_EQ(Down(*keyboard), (std::vector<int>{key::Z}));

    // Down and up between two reads: read down once.
    ReportKey(key::A, true);
    ReportKey(key::A, false);
    EXPECT_EQ(Down(*keyboard), (std::vector<int>{key::A, key::Z}));
    EXPECT_EQ(Down(*keyboard), (std::vector<int>{key::Z}));

    ReportKey(key::Up, true);
    ReportKey(key::F12, true);
    ReportKey(0, true);   // no key
    ReleaseReportedKeys();
    // Pressed since the last read, so still read once.
    EXPECT_EQ(Down(*keyboard), (std::vector<int>{key::Z, key::F12, key::Up}));
    EXPECT_EQ(Down(*keyboard), (std::vector<int>{key::Z}));
    fake.SetKey(key::Z, false);
    EXPECT_EQ(Down(*keyboard), (std::vector<int>{}));
}

TEST(ReportedKeys, LinuxKeyCodes) {
    const std::pair<uint32_t, int> cases[] = {
        {KEY_ESC, key::Escape}, {KEY_1, key::Digit1}, {KEY_Q, key::Q}, {KEY_ENTER, key::Return},
        {KEY_A, key::A}, {KEY_GRAVE, key::Grave}, {KEY_Z, key::Z}, {KEY_SPACE, key::Space}, {KEY_F1, key::F1},
        {KEY_F10, key::F10}, {KEY_KP7, key::Numpad7}, {KEY_KPDOT, key::NumpadPeriod}, {KEY_F11, key::F11},
        {KEY_F12, key::F12}, {KEY_RO, key::AbntC1}, {KEY_YEN, key::Yen}, {KEY_HENKAN, key::Convert},
        {KEY_MUHENKAN, key::NoConvert}, {KEY_KATAKANAHIRAGANA, key::Kana}, {KEY_KPENTER, key::NumpadEnter},
        {KEY_RIGHTCTRL, key::RightControl}, {KEY_UP, key::Up}, {KEY_DOWN, key::Down}, {KEY_LEFT, key::Left},
        {KEY_RIGHT, key::Right}, {KEY_DELETE, key::Delete}, {KEY_LEFTMETA, key::LeftWindows},
        {KEY_COMPOSE, key::Apps}, {KEY_F15, key::F15},
        // No key code.
        {0, 0}, {84, 0}, {KEY_MACRO, 0}, {255, 0}, {0xFFFFFFFFu, 0},
    };
    for (const auto& [code, expected] : cases) EXPECT_EQ(KeyFromLinuxKeycode(code), expected) << code;
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::input
