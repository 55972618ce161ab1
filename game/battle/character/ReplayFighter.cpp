#include "game/battle/character/ReplayFighter.h"

#include <cstring>

void CReplayFighter::GetInputPacket(u8 (&packet)[kReplayInputBytes]) const
{
    InputPacket p;
    m_character.GetInputPacket(&p);
    std::memcpy(packet, &p, sizeof p);
}

void CReplayFighter::ApplyInputPacket(const u8 (&packet)[kReplayInputBytes])
{
    InputPacket p;
    std::memcpy(&p, packet, sizeof p);
    m_character.ApplyInputPacket(&p);
}
