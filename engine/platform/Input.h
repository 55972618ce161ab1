// `CInput`, the game input manager: it turns the raw devices into 16
// player input slots. Each slot is an `InputState` that maps keyboard keys,
// mouse buttons and controller inputs onto 56 button codes through its own
// assignment tables, and keeps per code the held, triggered and released
// flags and the hold and free times, plus two sticks, the wheel, the mouse
// movement and two vibration levels.
//
// `InputState` is also a plain value: battle characters keep their own copy
// and run UpdateInputSticks and UpdateInputButtons on it, so it holds no
// pointers and its layout is fixed.
#pragma once

#include "engine/core/Types.h"
#include "engine/platform/DirectInput.h"
#include "engine/platform/XInputPad.h"

inline constexpr u32 kInputSlotCount = 16;
inline constexpr u32 kInputCodeCount = 56;
inline constexpr u32 kMouseCodeCount = 8;
inline constexpr u32 kAssignableCount = 24;
inline constexpr u32 kXInputPadCount = 4;

// Button codes.
inline constexpr u32 kInputCodeAssignable = 8;   // 8..31 the 24 assignable buttons
inline constexpr u32 kInputCodeF1 = 32;          // 32..43 F1..F12
inline constexpr u32 kInputCodeWheelUp = 44;
inline constexpr u32 kInputCodeWheelDown = 45;
inline constexpr u32 kInputCodeDigit1 = 46;      // 46..55 keys 1..9, 0

// Indices of InputState::stickOptions.
inline constexpr u32 kStickSwapRight = 0;
inline constexpr u32 kStickInvertRightVertical = 1;
inline constexpr u32 kStickInvertRightHorizontal = 2;

struct InputState {
    // Sticks: angle in degrees [0, 360), 0 up and 90 right (also when
    // centred); x right and y down, each -1..1.
    f32 stick1Angle, stick1Magnitude, stick1X, stick1Y;
    f32 stick2Angle, stick2Magnitude, stick2X, stick2Y;
    f32 wheel;                          // this frame's wheel movement x 0.1
    f32 mouseMoveX, mouseMoveY;         // cursor movement counted this frame
    f32 mouseReferenceX, mouseReferenceY;
    f32 mouseLastX, mouseLastY;         // last frame's cursor, client pixels
    u16 vibrationLeft, vibrationRight;  // 0..65535, decaying
    u32 xinputPad;                      // 1: takes the next XInput pad
    u32 sticksValid;                    // 1: the sticks come from a controller
    u32 previousRaw[kInputCodeCount];
    u32 raw[kInputCodeCount];           // nonzero = down
    u32 triggered[kInputCodeCount];
    u32 released[kInputCodeCount];
    u32 held[kInputCodeCount];
    u32 holdTime[kInputCodeCount];      // ms, counted from the second frame
    u32 free[kInputCodeCount];
    u32 freeTime[kInputCodeCount];      // ms, from the second frame after release
    u32 keyAssignment[kAssignableCount];      // key codes of codes 8..31
    u32 mouseAssignment[kMouseCodeCount];     // mouse buttons of codes 0..7
    u32 padAssignment[kAssignableCount];      // pad inputs of codes 8..31, controllers
    u32 xinputPadAssignment[kAssignableCount];// the same for XInput pads
    f32 mouseThreshold;                 // pixels before movement counts
    u16 vibrationDecay;                 // levels per second
    u32 stickOptions[3];                // kStickSwapRight ...
    u8 joystickSlot;                    // controller slot this slot reads
    // The player's pad vibration setting: 0 keeps the motors still whatever
    // the levels say. It sits in the tail padding, so the size stays fixed.
    u8 vibrationEnabled;

    // The flags of one code; 0 for codes from 56 on.
    u32 IsTriggered(u32 code) const { return code < kInputCodeCount ? triggered[code] : 0; }
    u32 IsHeld(u32 code) const { return code < kInputCodeCount ? held[code] : 0; }
};
static_assert(sizeof(InputState) == 2208);

// 1 when no code is held; 0 for a null state.
u32 IsNoButtonHeld(const InputState* state);
// 1 when a code was triggered this frame, directions (8..15, 17..20) aside:
// any other key or button skips a screen.
u32 IsAnyButtonTriggered(const InputState* state);
// One frame of the buttons and vibration from the raw words, with the
// frame time; nothing for a null state.
void UpdateInputButtons(InputState* state);
// Quantises the sticks to hundredths toward zero, clamps them and derives
// magnitude and angle; nothing for a null state.
void UpdateInputSticks(InputState* state);

class CInput : public CDirectInput {
public:
    CInput() = default;
    ~CInput() = default;

    // Creates the devices and sets every slot's defaults; 0 when the window
    // is null or a device cannot be set up.
    u32 Initialize(host::window::Handle window);
    // Reads every device and evaluates the 16 slots; once per frame.
    void Update();

    // Null for a slot from 16 on.
    InputState* GetInputState(u32 slot);
    u32 IsTriggered(u32 slot, u32 code) const;
    CDirectInput* GetDirectInput() { return this; }
    u32 GetXInputPadCount() const { return m_xinputPadCount; }

    // Fills padInputs (kPadInputCount entries, cleared by the caller) from
    // controller slot joystickSlot with the stick options. The stored state
    // is left as read; the adjusted one (dead zones, right-stick source and
    // options applied) goes to adjusted when given. 0 for an empty slot.
    u32 ReadDirectInputPad(u32 joystickSlot, u32* padInputs, u32 swap, u32 invertVertical, u32 invertHorizontal,
                           host::input::JoystickState* adjusted = nullptr) const;

private:
    // cursorX, cursorY: this frame's cursor, client pixels.
    void UpdateSlot(InputState& state, u32& nextPad, f32 cursorX, f32 cursorY);
    void ReadMouse(InputState& state, f32 cursorX, f32 cursorY) const;

    CXInputPad m_xinputPads[kInputSlotCount];
    u32 m_xinputPadCount = 0;
    InputState m_states[kInputSlotCount] = {};
};
