#include "engine/platform/Input.h"

#include "engine/core/FloatMath.h"
#include "engine/platform/FrameTime.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

namespace key = host::input::key;
using host::input::JoystickState;

// Default keys of codes 8..31.
constexpr u8 kDefaultKeys[kAssignableCount] = {
    key::Up, key::Down, key::Left, key::Right, key::W, key::S, key::A, key::D,
    key::T, key::Numpad2, key::Numpad8, key::Numpad4, key::Numpad6, key::LeftControl,
    key::Z, key::X, key::C, key::V, key::Q, key::E, key::LeftShift, key::R, key::Tab, key::Return,
};

// Fixed keys of codes 32..43 and 46..55.
constexpr u8 kFunctionKeys[12] = {key::F1, key::F2, key::F3, key::F4,  key::F5,  key::F6,
                                  key::F7, key::F8, key::F9, key::F10, key::F11, key::F12};
constexpr u8 kDigitKeys[10] = {key::Digit1, key::Digit2, key::Digit3, key::Digit4, key::Digit5,
                               key::Digit6, key::Digit7, key::Digit8, key::Digit9, key::Digit0};

// Assignable codes with a stick meaning.
constexpr u32 kCodeMoveUp = 12, kCodeMoveDown = 13, kCodeMoveLeft = 14, kCodeMoveRight = 15;
constexpr u32 kCodeStick2Up = 17, kCodeStick2Down = 18, kCodeStick2Left = 19, kCodeStick2Right = 20;

constexpr f32 kWheelScale = 0.1f;
constexpr f32 kWheelThreshold = 0.6f;
constexpr f32 kDirectInputStickScale = 0.001f;
constexpr f32 kXInputStickScale = 32767.0f;
constexpr i32 kAxisPushed = 500;
constexpr i32 kAxisDeadZone = 100;
constexpr u32 kPovUpTo = 4500, kPovRightTo = 13500, kPovDownTo = 22500, kPovLeftTo = 31500, kPovCentred = 65535;

// Controller buttons behind pad inputs 14..23 (BUTTON1-4, 7, 5, 8, 6, 9, 10).
constexpr u32 kButtonOfPadInput[10] = {0, 1, 2, 3, 6, 4, 7, 5, 8, 9};
constexpr u32 kFirstHighButton = 12;   // BUTTON13 onwards

// The push of an axis: -1 below -500, +1 above 500, else 0; a value close
// to the centre is zeroed.
i32 AxisPush(i32& value)
{
    if (value < -kAxisPushed) return -1;
    if (value > kAxisPushed) return 1;
    if (std::abs(value) < kAxisDeadZone) value = 0;
    return 0;
}

// An assignment is a saved number, so one past its table reads as off.
u32 Lookup(const u32* table, u32 size, u32 index) { return index < size ? table[index] : 0; }
u32 Lookup(const u8* table, u32 size, u32 index) { return index < size ? table[index] : 0; }

f32 QuantiseStick(f32 value)
{
    // Clamping before truncating gives the same result and keeps the
    // conversion to an integer in range whatever a copy holds.
    if (std::isnan(value)) return 0.0f;
    value = std::clamp(value, -1.0f, 1.0f);
    return f32(i32(value * 100.0f)) * 0.01f;
}

void DeriveStick(f32 x, f32 y, f32& angle, f32& magnitude)
{
    constexpr f32 kPi = 3.14159265358979f;
    magnitude = std::sqrt(x * x + y * y);
    angle = Atan2F(y, x) * 180.0f / kPi + 90.0f;
    if (angle >= 360.0f)
        angle -= 360.0f;
    else if (angle < 0.0f)
        angle += 360.0f;
}

void DecayVibration(u16& level, f32 amount)
{
    if (level == 0) return;
    level = f32(level) <= amount ? 0 : u16(level - u32(amount));
}

// A key of the pair wins over the other and over the controller.
f32 DirectionOf(const InputState& state, u32 minusCode, u32 plusCode, f32 controller)
{
    if (state.raw[minusCode]) return -1.0f;
    if (state.raw[plusCode]) return 1.0f;
    return state.sticksValid ? controller : 0.0f;
}

}  // namespace

// ---------------------------------------------------------------- InputState

u32 IsNoButtonHeld(const InputState* state)
{
    if (!state) return 0;
    for (u32 code = 0; code < kInputCodeCount; ++code)
        if (state->held[code]) return 0;
    return 1;
}

u32 IsAnyButtonTriggered(const InputState* state)
{
    if (!state) return 0;
    for (u32 code = 0; code < kInputCodeCount; ++code) {
        const bool direction = (code >= 8 && code <= 15) || (code >= 17 && code <= 20);
        if (!direction && state->triggered[code]) return 1;
    }
    return 0;
}

void UpdateInputButtons(InputState* state)
{
    if (!state) return;
    const u32 ms = GetFrameTimeMs();
    const f32 decay = f32(state->vibrationDecay) * f32(ms) * 0.001f;
    DecayVibration(state->vibrationRight, decay);
    DecayVibration(state->vibrationLeft, decay);

    for (u32 code = 0; code < kInputCodeCount; ++code) {
        state->triggered[code] = 0;
        state->released[code] = 0;
        const bool wasDown = state->previousRaw[code] != 0;
        if (state->raw[code]) {
            state->held[code] = 1;
            state->free[code] = 0;
            state->freeTime[code] = 0;
            if (wasDown)
                state->holdTime[code] += ms;
            else
                state->triggered[code] = 1;
        } else {
            state->held[code] = 0;
            state->free[code] = 1;
            state->holdTime[code] = 0;
            if (wasDown)
                state->released[code] = 1;
            else
                state->freeTime[code] += ms;
        }
    }
}

void UpdateInputSticks(InputState* state)
{
    if (!state) return;
    state->stick1X = QuantiseStick(state->stick1X);
    state->stick1Y = QuantiseStick(state->stick1Y);
    state->stick2X = QuantiseStick(state->stick2X);
    state->stick2Y = QuantiseStick(state->stick2Y);
    DeriveStick(state->stick1X, state->stick1Y, state->stick1Angle, state->stick1Magnitude);
    DeriveStick(state->stick2X, state->stick2Y, state->stick2Angle, state->stick2Magnitude);
}

// ---------------------------------------------------------------- CInput

u32 CInput::Initialize(host::window::Handle window)
{
    if (!window || !Init(window)) return 0;
    for (u32 p = 0; p < kInputSlotCount; ++p) {
        InputState& s = m_states[p];
        s = {};
        s.sticksValid = HasJoystick(p) ? 1 : 0;
        for (u32 i = 0; i < kMouseCodeCount; ++i) s.mouseAssignment[i] = i;
        for (u32 i = 0; i < kAssignableCount; ++i) {
            s.keyAssignment[i] = kDefaultKeys[i];
            s.padAssignment[i] = i;
            s.xinputPadAssignment[i] = i;
        }
        s.mouseThreshold = 5.0f;
        s.vibrationDecay = 20000;
        s.joystickSlot = u8(p);
        s.vibrationEnabled = 1;
    }
    m_xinputPadCount = 0;
    for (u32 i = 0; i < kXInputPadCount; ++i) {
        m_xinputPads[i].Open(i);
        m_states[i].xinputPad = 1;
        ++m_xinputPadCount;
    }
    return 1;
}

InputState* CInput::GetInputState(u32 slot) { return slot < kInputSlotCount ? &m_states[slot] : nullptr; }

u32 CInput::IsTriggered(u32 slot, u32 code) const
{
    return slot < kInputSlotCount ? m_states[slot].IsTriggered(code) : 0;
}

void CInput::Update()
{
    UpdateJoysticks();
    UpdateKeyboard();
    UpdateMouse();
    // Read once: every slot sees the same cursor.
    f32 cursorX = 0.0f, cursorY = 0.0f;
    GetCursorClientPos(&cursorX, &cursorY);
    u32 nextPad = 0;
    for (InputState& state : m_states) UpdateSlot(state, nextPad, cursorX, cursorY);
}

void CInput::ReadMouse(InputState& s, f32 x, f32 y) const
{
    const host::input::MouseState& mouse = GetMouseState();
    for (u32 code = 0; code < kMouseCodeCount; ++code)
        s.raw[code] = Lookup(mouse.buttons, kMouseCodeCount, s.mouseAssignment[code]);

    s.wheel = f32(mouse.z) * kWheelScale;
    s.raw[kInputCodeWheelUp] = s.wheel >= kWheelThreshold;
    s.raw[kInputCodeWheelDown] = s.wheel <= -kWheelThreshold;

    // Movement counts once the cursor has left the threshold around the
    // reference; then it is this frame's step.
    if (std::fabs(x - s.mouseReferenceX) > s.mouseThreshold || std::fabs(y - s.mouseReferenceY) > s.mouseThreshold) {
        s.mouseReferenceX = s.mouseLastX;
        s.mouseReferenceY = s.mouseLastY;
        s.mouseMoveX = x - s.mouseReferenceX;
        s.mouseMoveY = y - s.mouseReferenceY;
    } else {
        s.mouseMoveX = 0.0f;
        s.mouseMoveY = 0.0f;
    }
    s.mouseLastX = x;
    s.mouseLastY = y;
}

void CInput::UpdateSlot(InputState& s, u32& nextPad, f32 cursorX, f32 cursorY)
{
    std::memcpy(s.previousRaw, s.raw, sizeof s.raw);
    std::memset(s.raw, 0, sizeof s.raw);
    u32 padInputs[kPadInputCount] = {};

    ReadMouse(s, cursorX, cursorY);

    // Controller: the next XInput pad when the slot takes one and it
    // answers, else the slot's own controller. The counter moves on only
    // when the pad answers, so a missing pad is asked again by the next
    // taking slot and the slots after it keep their own controllers.
    const u32 swap = s.stickOptions[kStickSwapRight];
    const u32 invertVertical = s.stickOptions[kStickInvertRightVertical];
    const u32 invertHorizontal = s.stickOptions[kStickInvertRightHorizontal];
    f32 stick1X = 0.0f, stick1Y = 0.0f, stick2X = 0.0f, stick2Y = 0.0f;
    bool fromXInput = false;
    if (s.xinputPad && nextPad < kXInputPadCount) {
        CXInputPad& pad = m_xinputPads[nextPad];
        if (pad.ReadState()) {
            ++nextPad;
            fromXInput = true;
            pad.ToPadInputs(padInputs, swap, invertVertical, invertHorizontal);
            // The levels stay as the game set them; only the motors obey
            // the setting, so a battle runs the same whatever it is.
            if (!s.vibrationEnabled || (s.vibrationLeft == 0 && s.vibrationRight == 0))
                pad.StopVibration();
            else
                pad.SetVibration(s.vibrationLeft, s.vibrationRight);
            const host::input::PadState& p = pad.GetState();
            stick1X = f32(p.thumbLX) / kXInputStickScale;
            stick1Y = -f32(p.thumbLY) / kXInputStickScale;
            stick2X = f32(p.thumbRX) / kXInputStickScale;
            stick2Y = -f32(p.thumbRY) / kXInputStickScale;
            s.sticksValid = 1;
        }
    }
    bool fromDirectInput = false;
    if (!fromXInput) {
        JoystickState axes = {};
        fromDirectInput = ReadDirectInputPad(s.joystickSlot, padInputs, swap, invertVertical, invertHorizontal, &axes);
        // Once a slot has lost its sticks they are not read again.
        if (s.sticksValid) {
            if (fromDirectInput) {
                stick1X = f32(axes.x) * kDirectInputStickScale;
                stick1Y = f32(axes.y) * kDirectInputStickScale;
                stick2X = f32(axes.z) * kDirectInputStickScale;
                stick2Y = f32(axes.rz) * kDirectInputStickScale;
            } else {
                s.sticksValid = 0;
            }
        }
    }

    for (u32 i = 0; i < kAssignableCount; ++i)
        s.raw[kInputCodeAssignable + i] = IsKeyDown(s.keyAssignment[i]);

    // Keys override the controller's sticks, each axis on its own; the
    // controller's buttons below only add to the keys.
    s.stick1X = DirectionOf(s, kCodeMoveLeft, kCodeMoveRight, stick1X);
    s.stick1Y = DirectionOf(s, kCodeMoveUp, kCodeMoveDown, stick1Y);
    s.stick2X = DirectionOf(s, kCodeStick2Left, kCodeStick2Right, stick2X);
    s.stick2Y = DirectionOf(s, kCodeStick2Up, kCodeStick2Down, stick2Y);

    if (fromXInput || fromDirectInput) {
        const u32* assignment = fromXInput ? s.xinputPadAssignment : s.padAssignment;
        for (u32 i = 0; i < kAssignableCount; ++i)
            s.raw[kInputCodeAssignable + i] |= Lookup(padInputs, kPadInputCount, assignment[i]);
    }

    for (u32 i = 0; i < 12; ++i) s.raw[kInputCodeF1 + i] = IsKeyDown(kFunctionKeys[i]);
    for (u32 i = 0; i < 10; ++i) s.raw[kInputCodeDigit1 + i] = IsKeyDown(kDigitKeys[i]);

    UpdateInputSticks(&s);
    UpdateInputButtons(&s);
}

u32 CInput::ReadDirectInputPad(u32 joystickSlot, u32* padInputs, u32 swap, u32 invertVertical,
                               u32 invertHorizontal, JoystickState* adjusted) const
{
    const JoystickState* stored = GetJoystickState(joystickSlot);
    if (!stored || !padInputs) return 0;
    // Adjusted on a copy: the stored state is kept as read, so a slot that
    // shares the controller, or a frame whose read failed, does not apply
    // the options a second time.
    JoystickState s = *stored;

    const u32 pov = s.povs[0];
    if (pov < kPovCentred) {
        padInputs[kPadDpUp] = pov <= kPovUpTo || pov >= kPovLeftTo;
        padInputs[kPadDpRight] = pov >= kPovUpTo && pov <= kPovRightTo;
        padInputs[kPadDpDown] = pov >= kPovRightTo && pov <= kPovDownTo;
        padInputs[kPadDpLeft] = pov >= kPovDownTo && pov <= kPovLeftTo;
    }
    padInputs[kPadLsPush] = s.buttons[10];
    padInputs[kPadRsPush] = s.buttons[11];
    for (u32 i = 0; i < 10; ++i) padInputs[kPadButton1 + i] = s.buttons[kButtonOfPadInput[i]];
    for (u32 i = 0; i < kPadInputCount - kPadButton13; ++i) {
        const u32 button = kFirstHighButton + i;
        padInputs[kPadButton13 + i] = button < u32(host::input::kJoystickButtons) ? s.buttons[button] : 0;
    }

    const i32 y = AxisPush(s.y), x = AxisPush(s.x);
    padInputs[kPadLsUp] = y < 0;
    padInputs[kPadLsDown] = y > 0;
    padInputs[kPadLsLeft] = x < 0;
    padInputs[kPadLsRight] = x > 0;

    // The right stick is Z (horizontal) and Rz (vertical); controllers that
    // report it on Rx and Ry are read the same way.
    if (std::abs(s.rz) < std::abs(s.ry)) s.rz = s.ry;
    if (std::abs(s.z) < std::abs(s.rx)) s.z = s.rx;
    if (swap) std::swap(s.rz, s.z);
    if (invertVertical) s.rz = -s.rz;
    if (invertHorizontal) s.z = -s.z;
    const i32 ry = AxisPush(s.rz), rx = AxisPush(s.z);
    padInputs[kPadRsUp] = ry < 0;
    padInputs[kPadRsDown] = ry > 0;
    padInputs[kPadRsLeft] = rx < 0;
    padInputs[kPadRsRight] = rx > 0;

    if (adjusted) *adjusted = s;
    return 1;
}
