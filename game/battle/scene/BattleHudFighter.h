// A fighter as the HUD consoles read it: the scene hands each console one
// of these per character, over the real fighter.
#pragma once

#include "game/battle/scene/HudFighter.h"

class CCharacter;

class CBattleHudFighter final : public HudFighter {
public:
    // characterId: 0..17, the id the fighter was built from. fighters: the
    // scene's list of these views, where the lock-on target is looked up
    // (null: no target is ever found); not owned, it must outlive the view.
    CBattleHudFighter(CCharacter& character, u32 characterId, u32 entryIndex, u32 radarType,
                      const HudFighterList* fighters = nullptr)
        : m_character(character), m_characterId(characterId), m_entryIndex(entryIndex), m_radarType(radarType),
          m_fighters(fighters)
    {
    }

    u32 GetTeam() const override;
    const char* GetPlayerName() const override;
    const char* GetCharacterName() const override;
    void GetPosition(CVector3* out) const override;
    CCamera* GetBattleCamera() const override;
    u32 GetDefeatCount() const override;
    u32 GetKillCount() const override;
    u32 IsComputer() const override;
    u32 GetEntryIndex() const override { return m_entryIndex; }
    const CTensionFile* GetTensionFile() const override;
    u32 GetFixedTension() const override;
    f32 GetMusicTime() const override;
    void ClearDamage() override;
    void FillSparkGauge() override;
    i32 GetTotalDamage() const override;
    i32 GetHitDamage(u32 i) const override;
    f32 GetTargetDownLimit() const override;

    u32 GetCharacterId() const override { return m_characterId; }
    i32 GetHp() const override;
    f32 GetShownHp() const override;
    f32 GetMaxHp() const override;
    f32 GetMaxSpark() const override;
    f32 GetMp() const override;
    f32 GetSparkGauge() const override;
    u32 GetTensionLevel() const override;
    u32 GetTargetMode() const override;
    i32 GetSkillImage(u32 slot) const override;
    u32 GetSkillFlags2(u32 slot) const override;
    u32 GetWeaponSet() const override;
    u32 GetAction() const override;
    u32 GetDownKind() const override;
    u32 GetDangerMask() const override;
    u32 GetPartnerAttack() const override;
    f32 GetPartnerAttackTime() const override;
    f32 GetActionGauge(u32 kind) const override;
    u32 GetActionCount(u32 kind) const override;
    u32 GetActionCapacity(u32 kind) const override;
    u32 CanUse(u32 kind) const override;
    f32 GetBuffTimer3() const override;
    const HudFighter* GetLockOnTarget() const override { return LockedView(); }
    u32 IsHittable() const override;
    void GetCenter(CVector3* out) const override;
    f32 GetHeight() const override;
    f32 GetNearRadius() const override;
    f32 GetYaw() const override;
    f32 GetCameraYaw() const override;
    u32 GetRadarType() const override { return m_radarType; }

    CCharacter& GetCharacter() const { return m_character; }

private:
    // The view in the list whose fighter this one is locked on; null for none.
    const CBattleHudFighter* LockedView() const;

    CCharacter& m_character;
    u32 m_characterId;
    u32 m_entryIndex;
    u32 m_radarType;
    const HudFighterList* m_fighters;
};
