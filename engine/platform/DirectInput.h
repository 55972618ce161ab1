// `CDirectInput`: the raw devices, read once per frame. It owns the input
// service's keyboard, mouse and up to 16 game controllers, keeps each
// device's state of this frame and of the frame before, and names keys and
// pad inputs for the key-configuration screens. The game input manager
// (`CInput`) derives from it.
//
// Controllers of both kinds (these devices and the XInput pads of
// `CXInputPad`) are turned into the same list of 48 on/off pad inputs, so a
// saved pad assignment means the same button on either.
#pragma once

#include "engine/core/Types.h"
#include "host/input/Input.h"
#include "host/window/Window.h"

#include <functional>
#include <memory>

inline constexpr u32 kMaxJoysticks = 16;
inline constexpr u32 kKeyCount = 256;

// Axes of every controller are set to this range at start-up.
inline constexpr i32 kJoystickAxisRange = 1000;

// The pad-input list: index of each on/off input.
enum PadInput : u32 {
    kPadDpUp, kPadDpDown, kPadDpLeft, kPadDpRight,
    kPadLsUp, kPadLsDown, kPadLsLeft, kPadLsRight, kPadLsPush,
    kPadRsUp, kPadRsDown, kPadRsLeft, kPadRsRight, kPadRsPush,
    kPadButton1, kPadButton2, kPadButton3, kPadButton4,
    kPadButton7, kPadButton5, kPadButton8, kPadButton6, kPadButton9, kPadButton10,
    kPadButton13,   // BUTTON13..BUTTON36 follow: controller buttons 12..35
    kPadInputCount = 48,
};

class CDirectInput {
public:
    CDirectInput();
    ~CDirectInput();
    CDirectInput(const CDirectInput&) = delete;
    CDirectInput& operator=(const CDirectInput&) = delete;

    // Creates and acquires keyboard, mouse and controllers for the main
    // window. 1, or 0 when the window is null or a step fails; every
    // failure but the controller enumeration's shows its message box.
    u32 Init(host::window::Handle window);
    // Unacquires and releases every device, then the service object.
    void Release();

    // A device that lost acquisition is acquired again on a failed read;
    // until then keyboard and mouse read as all up and a controller keeps
    // its last state.
    void UpdateKeyboard();
    void UpdateMouse();
    void UpdateJoysticks();

    // 1 while the key is down; 0 for codes from 256 on.
    u32 IsKeyDown(u32 code) const;
    // 1 on the first frame of a press only.
    u32 IsKeyTriggered(u32 code) const;
    // Movement and wheel of this frame; buttons 1 down, 0 up.
    const host::input::MouseState& GetMouseState() const { return m_mouseState; }
    // The cursor in the main window's client pixels; a null output is skipped.
    void GetCursorClientPos(f32* x, f32* y) const;

    u32 GetJoystickCount() const { return m_joystickCount; }
    // This frame's state (buttons 1/0, axes -1000..1000); null for a slot
    // from 16 on or an empty one.
    const host::input::JoystickState* GetJoystickState(u32 slot) const;
    // The state of the frame before, null as for GetJoystickState. After a
    // failed read both hold the last good state.
    const host::input::JoystickState* GetPreviousJoystickState(u32 slot) const;
    // 0 also for an empty slot or a button from 32 on.
    u8 GetJoystickButton(u32 slot, u32 button) const;
    const host::input::DeviceInfo* GetJoystickInfo(u32 slot) const;

protected:
    bool HasJoystick(u32 slot) const { return slot < kMaxJoysticks && m_joysticks[slot]; }

private:
    u32 CreateJoysticks();
    void SetUpJoystick(u32 slot);

    std::unique_ptr<host::input::Input> m_directInput;
    std::unique_ptr<host::input::Device> m_keyboard;
    std::unique_ptr<host::input::Device> m_mouse;
    // In enumeration order; a slot below the count is empty when its set-up failed.
    std::unique_ptr<host::input::Device> m_joysticks[kMaxJoysticks];
    u8 m_joystickCount = 0;
    u8 m_previousKeys[kKeyCount] = {};
    u8 m_keys[kKeyCount] = {};
    host::input::MouseState m_mouseState = {};
    host::input::JoystickState m_previousJoystickStates[kMaxJoysticks] = {};
    host::input::JoystickState m_joystickStates[kMaxJoysticks] = {};
    host::input::DeviceInfo m_joystickInfos[kMaxJoysticks] = {};
    host::window::Handle m_window = nullptr;
};

// The key's name ("ESCAPE", "NUMPAD2", "UP"); empty for codes that name no key.
const char* GetKeyName(u32 code);
// The name of pad input 0..63 ("DP_UP", "BUTTON7"); empty past the table.
const char* GetPadButtonName(u32 index);
