// CReplayFighter: a battle character as the replay recorder and player see
// it. The recorder takes the packet the character was driven with this
// frame; the player drives it with the recorded one.
#pragma once

#include "game/battle/character/Character.h"
#include "game/data/Replay.h"

class CReplayFighter final : public IReplayFighter {
public:
    explicit CReplayFighter(CCharacter& character) : m_character(character) {}

    bool IsComputerControlled() const override { return m_character.IsComputerPlayer() != 0; }
    // A packet that drives the character to the input state it holds. The
    // state's sticks are not the packet's: the state truncates once more
    // after scaling, so a packet's 29 is held as 0.28 and 99 as 0.97; each
    // stick is the value whose application gives the held one again.
    void GetInputPacket(u8 (&packet)[kReplayInputBytes]) const override;
    void ApplyInputPacket(const u8 (&packet)[kReplayInputBytes]) override;
    void UpdateTension(f32 musicTime) override { m_character.UpdateTension(musicTime); }
    f32 GetMusicTime() const override { return m_character.GetStatus()->lastMusicTime; }

private:
    CCharacter& m_character;
};
