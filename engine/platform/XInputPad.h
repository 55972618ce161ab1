// `CXInputPad`: one XInput user's pad: its last state, the vibration last
// sent, and the conversion of that state into the pad-input list that the
// controllers of `CDirectInput` share.
#pragma once

#include "engine/core/Types.h"
#include "host/input/Input.h"

// Thumb values nearer the centre than this read as 0.
inline constexpr i32 kXInputDeadZone = 6001;

class CXInputPad {
public:
    CXInputPad() = default;
    ~CXInputPad() = default;

    // Takes a user; it does not ask whether a pad is there. 1.
    u32 Open(u32 userIndex);
    // 1 when the pad's state could be read.
    u32 ReadState();
    // Sends both speeds. 1.
    u32 SetVibration(u16 left, u16 right);
    // Sends 0, 0. 1.
    u32 StopVibration();
    // Fills padInputs (kPadInputCount entries, cleared by the caller) from
    // the last state read. Applies the dead zone and the right-stick
    // options to the stored state, from which the sticks are then read.
    void ToPadInputs(u32* padInputs, u32 swap, u32 invertVertical, u32 invertHorizontal);

    u32 GetUserIndex() const { return m_userIndex; }
    const host::input::PadState& GetState() const { return m_state; }
    const host::input::PadVibration& GetVibration() const { return m_vibration; }

private:
    u32 m_userIndex = 0;
    host::input::PadState m_state = {};
    host::input::PadVibration m_vibration = {};
};
