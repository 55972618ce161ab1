#include "engine/platform/DirectInput.h"

#include "host/kernel/Kernel.h"

#include <array>
#include <cstring>
#include <utility>

namespace {

using host::input::Axis;
using host::input::DataFormat;
using host::input::Device;
using host::input::DeviceInfo;
using InputResult = host::input::Result;
using host::input::Succeeded;

constexpr u32 kCooperativeLevel = host::input::kNonExclusive | host::input::kBackground;

void ShowError(const char* text) { host::kernel::MessageBox(text, "Error", host::kernel::kMbOk); }

u8 DownBit(u8 value) { return (value & host::input::kDown) ? 1 : 0; }

// The three set-up steps' failure texts of one system device.
struct SystemDeviceTexts {
    const char* create;
    const char* format;
    const char* level;
};

constexpr SystemDeviceTexts kKeyboardTexts{
    "DirectInput8\nキーボードオブジェクトの生成に失敗しました",
    "DirectInput8\nキーボードのデータ設定に失敗しました",
    "DirectInput8\nキーボードの協調設定に失敗しました",
};

constexpr SystemDeviceTexts kMouseTexts{
    "DirectInput8\nマウスオブジェクトの生成に失敗しました",
    "DirectInput8\nマウスのデータ設定に失敗しました",
    "DirectInput8\nマウスの協調設定に失敗しました",
};

// Data format, cooperative level, then acquire; the acquisition may fail
// (no focus yet) and is retried by the first read.
bool SetUpSystemDevice(InputResult created, Device* device, DataFormat format, const SystemDeviceTexts& texts)
{
    if (!Succeeded(created) || !device) {
        ShowError(texts.create);
        return false;
    }
    if (!Succeeded(device->SetDataFormat(format))) {
        ShowError(texts.format);
        return false;
    }
    if (!Succeeded(device->SetCooperativeLevel(kCooperativeLevel))) {
        ShowError(texts.level);
        return false;
    }
    device->Acquire();
    return true;
}

void ReleaseDevice(std::unique_ptr<Device>& device)
{
    if (!device) return;
    device->Unacquire();
    device.reset();
}

}  // namespace

CDirectInput::CDirectInput() = default;

CDirectInput::~CDirectInput() { Release(); }

u32 CDirectInput::Init(host::window::Handle window)
{
    if (!window) return 0;
    // A second Init starts again from nothing.
    Release();
    m_window = window;

    if (!Succeeded(host::input::CreateInput(m_directInput)) || !m_directInput) {
        ShowError("DirectInput8オブジェクトの生成に失敗しました");
        return 0;
    }
    InputResult r = m_directInput->CreateKeyboard(m_keyboard);
    if (!SetUpSystemDevice(r, m_keyboard.get(), DataFormat::Keyboard, kKeyboardTexts)) return 0;
    r = m_directInput->CreateMouse(m_mouse);
    if (!SetUpSystemDevice(r, m_mouse.get(), DataFormat::Mouse, kMouseTexts)) return 0;
    return CreateJoysticks();
}

u32 CDirectInput::CreateJoysticks()
{
    // A controller that cannot be created ends the enumeration.
    const InputResult r = m_directInput->EnumJoysticks([this](const DeviceInfo& info) {
        if (!Succeeded(m_directInput->CreateJoystick(info.instance, m_joysticks[m_joystickCount]))) {
            m_joysticks[m_joystickCount].reset();
            return false;
        }
        return ++m_joystickCount < kMaxJoysticks;
    });
    if (!Succeeded(r)) {
        for (auto& joystick : m_joysticks) ReleaseDevice(joystick);
        m_joystickCount = 0;
        return 0;
    }
    for (u32 slot = 0; slot < m_joystickCount; ++slot) SetUpJoystick(slot);
    return 1;
}

void CDirectInput::SetUpJoystick(u32 slot)
{
    std::unique_ptr<Device>& device = m_joysticks[slot];
    const auto setRange = [&device](Axis axis) {
        return Succeeded(device->SetAxisRange(axis, -kJoystickAxisRange, kJoystickAxisRange));
    };
    // A range that cannot be set only ends the axis walk; the count stays
    // as it was when a slot is emptied.
    if (!Succeeded(device->SetDataFormat(DataFormat::Joystick)) ||
        !Succeeded(device->SetCooperativeLevel(kCooperativeLevel)) || !Succeeded(device->EnumAxes(setRange))) {
        ReleaseDevice(device);
        return;
    }
    // Without its description the controller stays unacquired until the
    // first read acquires it.
    if (Succeeded(device->GetInfo(m_joystickInfos[slot]))) device->Acquire();
}

void CDirectInput::Release()
{
    ReleaseDevice(m_keyboard);
    ReleaseDevice(m_mouse);
    for (u32 slot = 0; slot < m_joystickCount; ++slot) ReleaseDevice(m_joysticks[slot]);
    m_joystickCount = 0;
    m_directInput.reset();
    std::memset(m_previousJoystickStates, 0, sizeof m_previousJoystickStates);
    std::memset(m_joystickStates, 0, sizeof m_joystickStates);
    std::memset(m_joystickInfos, 0, sizeof m_joystickInfos);
}

void CDirectInput::UpdateKeyboard()
{
    std::memcpy(m_previousKeys, m_keys, kKeyCount);
    host::input::KeyboardState state;
    if (m_keyboard && Succeeded(m_keyboard->GetState(state))) {
        for (u32 i = 0; i < kKeyCount; ++i) m_keys[i] = DownBit(state.keys[i]);
        return;
    }
    if (m_keyboard) m_keyboard->Acquire();
    std::memset(m_keys, 0, kKeyCount);
}

void CDirectInput::UpdateMouse()
{
    if (m_mouse && Succeeded(m_mouse->GetState(m_mouseState))) {
        for (u8& button : m_mouseState.buttons) button = DownBit(button);
        return;
    }
    if (m_mouse) m_mouse->Acquire();
    m_mouseState = {};
}

void CDirectInput::UpdateJoysticks()
{
    for (u32 slot = 0; slot < m_joystickCount; ++slot) {
        Device* device = m_joysticks[slot].get();
        if (!device) continue;
        device->Poll();
        host::input::JoystickState& state = m_joystickStates[slot];
        m_previousJoystickStates[slot] = state;
        if (Succeeded(device->GetState(state))) {
            for (u8& button : state.buttons) button = DownBit(button);
        } else {
            device->Acquire();
        }
    }
}

u32 CDirectInput::IsKeyDown(u32 code) const { return code < kKeyCount ? m_keys[code] : 0; }

u32 CDirectInput::IsKeyTriggered(u32 code) const
{
    if (code >= kKeyCount || m_previousKeys[code]) return 0;
    return m_keys[code];
}

void CDirectInput::GetCursorClientPos(f32* x, f32* y) const
{
    i32 cx = 0, cy = 0;
    if (!host::window::GetCursorClientPos(m_window, cx, cy)) cx = cy = 0;
    if (x) *x = f32(cx);
    if (y) *y = f32(cy);
}

const host::input::JoystickState* CDirectInput::GetJoystickState(u32 slot) const
{
    return HasJoystick(slot) ? &m_joystickStates[slot] : nullptr;
}

const host::input::JoystickState* CDirectInput::GetPreviousJoystickState(u32 slot) const
{
    return HasJoystick(slot) ? &m_previousJoystickStates[slot] : nullptr;
}

u8 CDirectInput::GetJoystickButton(u32 slot, u32 button) const
{
    if (!HasJoystick(slot) || button >= u32(host::input::kJoystickButtons)) return 0;
    return m_joystickStates[slot].buttons[button];
}

const DeviceInfo* CDirectInput::GetJoystickInfo(u32 slot) const
{
    return HasJoystick(slot) ? &m_joystickInfos[slot] : nullptr;
}

// ---------------------------------------------------------------- names

namespace {

struct KeyName {
    u8 code;
    const char* name;
};

// The key codes' own names; every other code has none.
constexpr KeyName kKeyNames[] = {
    {0x01, "ESCAPE"}, {0x02, "1"}, {0x03, "2"}, {0x04, "3"}, {0x05, "4"}, {0x06, "5"}, {0x07, "6"},
    {0x08, "7"}, {0x09, "8"}, {0x0A, "9"}, {0x0B, "0"}, {0x0C, "MINUS"}, {0x0D, "EQUALS"}, {0x0E, "BACK"},
    {0x0F, "TAB"}, {0x10, "Q"}, {0x11, "W"}, {0x12, "E"}, {0x13, "R"}, {0x14, "T"}, {0x15, "Y"},
    {0x16, "U"}, {0x17, "I"}, {0x18, "O"}, {0x19, "P"}, {0x1A, "LBRACKET"}, {0x1B, "RBRACKET"},
    {0x1C, "RETURN"}, {0x1D, "LCONTROL"}, {0x1E, "A"}, {0x1F, "S"}, {0x20, "D"}, {0x21, "F"}, {0x22, "G"},
    {0x23, "H"}, {0x24, "J"}, {0x25, "K"}, {0x26, "L"}, {0x27, "SEMICOLON"}, {0x28, "APOSTROPHE"},
    {0x29, "GRAVE"}, {0x2A, "LSHIFT"}, {0x2B, "BACKSLASH"}, {0x2C, "Z"}, {0x2D, "X"}, {0x2E, "C"},
    {0x2F, "V"}, {0x30, "B"}, {0x31, "N"}, {0x32, "M"}, {0x33, "COMMA"}, {0x34, "PERIOD"}, {0x35, "SLASH"},
    {0x36, "RSHIFT"}, {0x37, "MULTIPLY"}, {0x38, "LMENU"}, {0x39, "SPACE"}, {0x3A, "CAPITAL"},
    {0x3B, "F1"}, {0x3C, "F2"}, {0x3D, "F3"}, {0x3E, "F4"}, {0x3F, "F5"}, {0x40, "F6"}, {0x41, "F7"},
    {0x42, "F8"}, {0x43, "F9"}, {0x44, "F10"}, {0x45, "NUMLOCK"}, {0x46, "SCROLL"}, {0x47, "NUMPAD7"},
    {0x48, "NUMPAD8"}, {0x49, "NUMPAD9"}, {0x4A, "SUBTRACT"}, {0x4B, "NUMPAD4"}, {0x4C, "NUMPAD5"},
    {0x4D, "NUMPAD6"}, {0x4E, "ADD"}, {0x4F, "NUMPAD1"}, {0x50, "NUMPAD2"}, {0x51, "NUMPAD3"},
    {0x52, "NUMPAD0"}, {0x53, "DECIMAL"}, {0x56, "OEM_102"}, {0x57, "F11"}, {0x58, "F12"}, {0x64, "F13"},
    {0x65, "F14"}, {0x66, "F15"}, {0x70, "KANA"}, {0x73, "ABNT_C1"}, {0x79, "CONVERT"},
    {0x7B, "NOCONVERT"}, {0x7D, "YEN"}, {0x7E, "ABNT_C2"}, {0x8D, "NUMPADEQUALS"}, {0x90, "PREVTRACK"},
    {0x91, "AT"}, {0x92, "COLON"}, {0x93, "UNDERLINE"}, {0x94, "KANJI"}, {0x95, "STOP"}, {0x96, "AX"},
    {0x97, "UNLABELED"}, {0x99, "NEXTTRACK"}, {0x9C, "NUMPADENTER"}, {0x9D, "RCONTROL"}, {0xA0, "MUTE"},
    {0xA1, "CALCULATOR"}, {0xA2, "PLAYPAUSE"}, {0xA4, "MEDIASTOP"}, {0xAE, "VOLUMEDOWN"},
    {0xB0, "VOLUMEUP"}, {0xB2, "WEBHOME"}, {0xB3, "NUMPADCOMMA"}, {0xB5, "DIVIDE"}, {0xB7, "SYSRQ"},
    {0xB8, "RMENU"}, {0xC5, "PAUSE"}, {0xC7, "HOME"}, {0xC8, "UP"}, {0xC9, "PRIOR"}, {0xCB, "LEFT"},
    {0xCD, "RIGHT"}, {0xCF, "END"}, {0xD0, "DOWN"}, {0xD1, "NEXT"}, {0xD2, "INSERT"}, {0xD3, "DELETE"},
    {0xDB, "LWIN"}, {0xDC, "RWIN"}, {0xDD, "APPS"}, {0xDE, "POWER"}, {0xDF, "SLEEP"}, {0xE3, "WAKE"},
    {0xE5, "WEBSEARCH"}, {0xE6, "WEBFAVORITES"}, {0xE7, "WEBREFRESH"}, {0xE8, "WEBSTOP"},
    {0xE9, "WEBFORWARD"}, {0xEA, "WEBBACK"}, {0xEB, "MYCOMPUTER"}, {0xEC, "MAIL"}, {0xED, "MEDIASELECT"},
};

constexpr std::array<const char*, kKeyCount> MakeKeyNameTable()
{
    std::array<const char*, kKeyCount> table{};
    for (const char*& name : table) name = "";
    for (const KeyName& key : kKeyNames) table[key.code] = key.name;
    return table;
}

constexpr std::array<const char*, kKeyCount> kKeyNameTable = MakeKeyNameTable();

constexpr const char* kPadButtonNames[] = {
    "DP_UP", "DP_DOWN", "DP_LEFT", "DP_RIGHT", "LS_UP", "LS_DOWN", "LS_LEFT", "LS_RIGHT", "LS_PUSH",
    "RS_UP", "RS_DOWN", "RS_LEFT", "RS_RIGHT", "RS_PUSH", "BUTTON1", "BUTTON2", "BUTTON3", "BUTTON4",
    "BUTTON7", "BUTTON5", "BUTTON8", "BUTTON6", "BUTTON9", "BUTTON10",
    "BUTTON13", "BUTTON14", "BUTTON15", "BUTTON16", "BUTTON17", "BUTTON18", "BUTTON19", "BUTTON20",
    "BUTTON21", "BUTTON22", "BUTTON23", "BUTTON24", "BUTTON25", "BUTTON26", "BUTTON27", "BUTTON28",
    "BUTTON29", "BUTTON30", "BUTTON31", "BUTTON32", "BUTTON33", "BUTTON34", "BUTTON35", "BUTTON36",
    "BUTTON37", "BUTTON38", "BUTTON39", "BUTTON40", "BUTTON41", "BUTTON42", "BUTTON43", "BUTTON44",
    "BUTTON45", "BUTTON46", "BUTTON47", "BUTTON48", "BUTTON49", "BUTTON50", "BUTTON51", "BUTTON52",
};
static_assert(std::size(kPadButtonNames) == 64);

}  // namespace

const char* GetKeyName(u32 code) { return code < kKeyCount ? kKeyNameTable[code] : ""; }

const char* GetPadButtonName(u32 index)
{
    return index < std::size(kPadButtonNames) ? kPadButtonNames[index] : "";
}
