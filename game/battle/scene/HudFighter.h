// What the HUD consoles read of a fighter. The fighter classes implement it
// (a fighter hands out one view of itself); the consoles never see more of
// a fighter than this, so they are tested with small doubles.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

#include <vector>

class CCamera;
class CTensionFile;

class HudFighter {
public:
    virtual ~HudFighter() = default;

    virtual u32 GetTeam() const = 0;
    // The player's name; empty for none.
    virtual const char* GetPlayerName() const = 0;
    // NAME of the character parameter set.
    virtual const char* GetCharacterName() const = 0;
    virtual void GetPosition(CVector3* out) const = 0;
    // Null when the fighter has no battle camera.
    virtual CCamera* GetBattleCamera() const = 0;
    // Times this fighter was defeated, and opponents it defeated.
    virtual u32 GetDefeatCount() const = 0;
    virtual u32 GetKillCount() const = 0;
    virtual u32 IsComputer() const = 0;

    // Tension: the script (null for none), the fixed level of the skills
    // (1..5, 0 for none) and the music's play time in seconds.
    virtual const CTensionFile* GetTensionFile() const = 0;
    virtual u32 GetFixedTension() const = 0;
    virtual f32 GetMusicTime() const = 0;

    // Training damage keys and panel.
    virtual void ClearDamage() = 0;
    virtual void FillSparkGauge() = 0;
    virtual i32 GetTotalDamage() const = 0;
    // The last five hits, 0 the newest.
    virtual i32 GetHitDamage(u32 i) const = 0;
    // The down limit of the locked opponent, percent; 0 without one.
    virtual f32 GetTargetDownLimit() const = 0;
};

// The battle's fighters in character-list order; an entry may be null.
using HudFighterList = std::vector<HudFighter*>;
