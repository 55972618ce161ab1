#include "game/battle/character/ReplayFighter.h"

#include <cstring>

namespace {

// The stick ApplyInputPacket leaves for a packet value.
f32 HeldStick(i32 value)
{
    InputState state{};
    state.stick1X = f32(double(value) * double(0.01f));
    UpdateInputSticks(&state);
    return state.stick1X;
}

i8 PacketAxis(f32 held)
{
    const double scaled = double(held) * 100.0;
    if (!(scaled == scaled)) return 0;
    const i32 near = scaled >= 100.0 ? 100 : scaled <= -100.0 ? -100 : i32(scaled < 0.0 ? scaled - 0.5 : scaled + 0.5);
    for (i32 step : {0, 1, -1, 2, -2}) {
        const i32 value = near + step;
        if (value >= -100 && value <= 100 && HeldStick(value) == held) return i8(value);
    }
    return i8(near);
}

}  // namespace

void CReplayFighter::GetInputPacket(u8 (&packet)[kReplayInputBytes]) const
{
    InputPacket p;
    m_character.GetInputPacket(&p);
    p.stickX = PacketAxis(m_character.GetInput().stick1X);
    p.stickY = PacketAxis(m_character.GetInput().stick1Y);
    std::memcpy(packet, &p, sizeof p);
}

void CReplayFighter::ApplyInputPacket(const u8 (&packet)[kReplayInputBytes])
{
    InputPacket p;
    std::memcpy(&p, packet, sizeof p);
    m_character.ApplyInputPacket(&p);
}
