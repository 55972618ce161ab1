#include "engine/platform/XInputPad.h"

#include "engine/platform/DirectInput.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

namespace pad = host::input::pad;

constexpr i32 kThumbPushed = 16383;
constexpr u8 kTriggerPushed = 128;

i32 DeadZone(i32 value) { return std::abs(value) < kXInputDeadZone ? 0 : value; }

// -32768 has no positive twin in 16 bits; it inverts to full scale.
i16 ToThumb(i32 value) { return i16(std::clamp(value, -32768, 32767)); }

}  // namespace

u32 CXInputPad::Open(u32 userIndex)
{
    m_userIndex = userIndex;
    m_state = {};
    m_vibration = {};
    return 1;
}

u32 CXInputPad::ReadState() { return host::input::Succeeded(host::input::GetPadState(m_userIndex, m_state)) ? 1 : 0; }

u32 CXInputPad::SetVibration(u16 left, u16 right)
{
    m_vibration = {left, right};
    host::input::SetPadVibration(m_userIndex, m_vibration);
    return 1;
}

u32 CXInputPad::StopVibration()
{
    m_vibration = {0, 0};
    host::input::SetPadVibration(m_userIndex, m_vibration);
    return 1;
}

void CXInputPad::ToPadInputs(u32* padInputs, u32 swap, u32 invertVertical, u32 invertHorizontal)
{
    const u16 buttons = m_state.buttons;
    const auto bit = [buttons](u16 mask) { return (buttons & mask) ? 1u : 0u; };
    padInputs[kPadDpUp] = bit(pad::DpadUp);
    padInputs[kPadDpDown] = bit(pad::DpadDown);
    padInputs[kPadDpLeft] = bit(pad::DpadLeft);
    padInputs[kPadDpRight] = bit(pad::DpadRight);
    padInputs[kPadLsPush] = bit(pad::LeftThumb);
    padInputs[kPadRsPush] = bit(pad::RightThumb);
    padInputs[kPadButton1] = bit(pad::A);
    padInputs[kPadButton2] = bit(pad::B);
    padInputs[kPadButton3] = bit(pad::X);
    padInputs[kPadButton4] = bit(pad::Y);
    padInputs[kPadButton7] = bit(pad::LeftShoulder);
    padInputs[kPadButton5] = m_state.leftTrigger >= kTriggerPushed;
    padInputs[kPadButton8] = bit(pad::RightShoulder);
    padInputs[kPadButton6] = m_state.rightTrigger >= kTriggerPushed;
    padInputs[kPadButton9] = bit(pad::Start);
    padInputs[kPadButton10] = bit(pad::Back);

    // Thumb Y grows upward.
    m_state.thumbLY = i16(DeadZone(m_state.thumbLY));
    m_state.thumbLX = i16(DeadZone(m_state.thumbLX));
    padInputs[kPadLsUp] = m_state.thumbLY >= kThumbPushed;
    padInputs[kPadLsDown] = m_state.thumbLY <= -kThumbPushed;
    padInputs[kPadLsLeft] = m_state.thumbLX <= -kThumbPushed;
    padInputs[kPadLsRight] = m_state.thumbLX >= kThumbPushed;

    i32 rx = m_state.thumbRX, ry = m_state.thumbRY;
    if (swap) std::swap(rx, ry);
    if (invertVertical) ry = -ry;
    if (invertHorizontal) rx = -rx;
    m_state.thumbRY = ToThumb(DeadZone(ry));
    m_state.thumbRX = ToThumb(DeadZone(rx));
    // Upward like the left stick, so RS_UP means the same push as on the
    // other controllers.
    padInputs[kPadRsUp] = m_state.thumbRY >= kThumbPushed;
    padInputs[kPadRsDown] = m_state.thumbRY <= -kThumbPushed;
    padInputs[kPadRsLeft] = m_state.thumbRX <= -kThumbPushed;
    padInputs[kPadRsRight] = m_state.thumbRX >= kThumbPushed;
}
