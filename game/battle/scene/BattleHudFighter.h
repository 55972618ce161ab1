// A fighter as the HUD consoles read it: the scene hands each console one
// of these per character, over the real fighter.
#pragma once

#include "game/battle/scene/HudFighter.h"

class CCharacter;

class CBattleHudFighter final : public HudFighter {
public:
    // characterId: 0..17, the id the fighter was built from.
    CBattleHudFighter(CCharacter& character, u32 characterId, u32 entryIndex, u32 radarType)
        : m_character(character), m_characterId(characterId), m_entryIndex(entryIndex), m_radarType(radarType)
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
    f32 GetTargetDownLimit() const override { return 0.0f; }

    u32 GetCharacterId() const override { return m_characterId; }
    i32 GetHp() const override;
    f32 GetShownHp() const override;
    f32 GetMaxHp() const override;
    f32 GetMaxSpark() const override;
    f32 GetMp() const override;
    f32 GetSparkGauge() const override;
    u32 GetTensionLevel() const override;
    u32 GetAction() const override;
    u32 IsHittable() const override;
    void GetCenter(CVector3* out) const override;
    f32 GetYaw() const override;
    u32 GetRadarType() const override { return m_radarType; }
    u32 CanUse(u32 kind) const override;

    CCharacter& GetCharacter() const { return m_character; }

private:
    CCharacter& m_character;
    u32 m_characterId;
    u32 m_entryIndex;
    u32 m_radarType;
};
