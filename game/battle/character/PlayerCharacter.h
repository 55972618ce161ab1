// CPlayerCharacter: the fighter a local pad, a network peer or a replay
// drives. Each frame a local pad becomes an InputPacket applied to the
// character, so a pad passes exactly what a replay or a peer would.
#pragma once

#include "game/battle/character/Character.h"

class CPlayerCharacter : public CCharacter {
    ORV_VALUE_CLASS_NAMED(CPlayerCharacter, "CCharacter")

public:
    using CCharacter::CCharacter;
    using CCharacter::Create;
    CPlayerCharacter(const CPlayerCharacter& other) = default;
    ~CPlayerCharacter() override { Cleanup(); }

    // Pad to packet through the battle's input manager, vibration back to
    // the pad, then the character's update.
    i32 Update(u32 argument) override;
    i32 Cleanup() { return CCharacterBase::Release(); }
};
