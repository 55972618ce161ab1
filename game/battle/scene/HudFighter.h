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
    // The fighter's entry in the battle set-up, which quick messages name
    // their sender by: an empty entry makes no fighter, so past one the
    // entry and the list place differ. kNoEntry for none.
    virtual u32 GetEntryIndex() const = 0;

    // Tension: the script (null for none), the fixed level of the skills
    // (1..5, 0 for none) and the music's play time in seconds.
    virtual const CTensionFile* GetTensionFile() const = 0;
    virtual u32 GetFixedTension() const = 0;
    virtual f32 GetMusicTime() const = 0;

    // Training damage keys and panel.
    virtual void ClearDamage() = 0;
    virtual void FillSparkGauge() = 0;
    // The damage the fighter's hits dealt: the total and the last five.
    virtual i32 GetTotalDamage() const = 0;
    // 0 the newest.
    virtual i32 GetHitDamage(u32 i) const = 0;
    // The down limit of the locked opponent, percent; 0 without one.
    virtual f32 GetTargetDownLimit() const = 0;

    // -- Gauges, marks and markers. A fighter that does not answer one of
    // these shows an empty gauge or no mark. --

    // 0..17 in character order; anything else has no per-character elements.
    virtual u32 GetCharacterId() const { return kNoCharacter; }
    virtual i32 GetHp() const { return 0; }
    virtual f32 GetShownHp() const { return 0.0f; }
    // The parameters HP and MAXSPARKGUAGE.
    virtual f32 GetMaxHp() const { return 0.0f; }
    virtual f32 GetMaxSpark() const { return 0.0f; }
    virtual f32 GetMp() const { return 0.0f; }
    virtual f32 GetSparkGauge() const { return 0.0f; }
    // 0 low, 1 normal, 2 high, 3 climax.
    virtual u32 GetTensionLevel() const { return 0; }
    // The order given to the computer team mates, 0..3: button 31 cycles it.
    virtual u32 GetTargetMode() const { return 0; }
    // IMAGEID of skill slot i (0..44), -1 for an empty slot; its FLAG2.
    virtual i32 GetSkillImage(u32) const { return -1; }
    virtual u32 GetSkillFlags2(u32) const { return 0; }
    virtual u32 GetWeaponSet() const { return 0; }
    // Current action (14 down, 21 button mashing, 22 defeated) and down kind.
    virtual u32 GetAction() const { return 0; }
    virtual u32 GetDownKind() const { return 0; }
    // Bit d: danger from direction d (0..3).
    virtual u32 GetDangerMask() const { return 0; }
    virtual u32 GetPartnerAttack() const { return 0; }
    virtual f32 GetPartnerAttackTime() const { return 0.0f; }
    // Per action kind 0..8: the gauge fill 0..1, remaining uses, capacity
    // and whether the kind can be used now.
    virtual f32 GetActionGauge(u32) const { return 0.0f; }
    virtual u32 GetActionCount(u32) const { return 0; }
    virtual u32 GetActionCapacity(u32) const { return 0; }
    virtual u32 CanUse(u32) const { return 0; }
    // Above 0 while the concealing spell-card buff runs.
    virtual f32 GetBuffTimer3() const { return 0.0f; }
    // Null without one.
    virtual const HudFighter* GetLockOnTarget() const { return nullptr; }
    virtual u32 IsHittable() const { return 0; }
    // The position raised by HEIGHT x 0.5; the parameters HEIGHT and
    // NEARRADIUS.
    virtual void GetCenter(CVector3* out) const { GetPosition(out); }
    virtual f32 GetHeight() const { return 0.0f; }
    virtual f32 GetNearRadius() const { return 0.0f; }
    // Degrees: the fighter's heading, and its battle camera's.
    virtual f32 GetYaw() const { return 0.0f; }
    virtual f32 GetCameraYaw() const { return 0.0f; }
    // The radar type of its entry: 1 turns the radar with the camera.
    virtual u32 GetRadarType() const { return 0; }

    static constexpr u32 kNoCharacter = 0xFFFFFFFFu;
    static constexpr u32 kNoEntry = 0xFFFFFFFFu;
    static constexpr u32 kActionDown = 14, kActionMash = 21, kActionDefeated = 22;
};

// The battle's fighters in character-list order; an entry may be null.
using HudFighterList = std::vector<HudFighter*>;
