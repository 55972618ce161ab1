#include "game/battle/scene/BattleHudFighter.h"

#include "game/battle/character/Character.h"
#include "game/battle/object/CameraController.h"

u32 CBattleHudFighter::GetTeam() const { return u32(m_character.GetTeam()); }

const char* CBattleHudFighter::GetPlayerName() const { return m_character.GetStatus()->name; }

const char* CBattleHudFighter::GetCharacterName() const
{
    const CCharacterParameter* p = m_character.GetParameter();
    return p && p->GetName().GetText() ? p->GetName().GetText() : "";
}

void CBattleHudFighter::GetPosition(CVector3* out) const { *out = *m_character.GetPosition(); }

CCamera* CBattleHudFighter::GetBattleCamera() const
{
    auto* camera = dynamic_cast<CCameraController*>(m_character.GetCameraController());
    return camera ? camera->GetCamera() : nullptr;
}

u32 CBattleHudFighter::GetDefeatCount() const { return m_character.GetDefeatCount(); }

u32 CBattleHudFighter::GetKillCount() const { return m_character.GetStatus()->moveHit.kills; }

u32 CBattleHudFighter::IsComputer() const { return m_character.IsComputerPlayer(); }

const CTensionFile* CBattleHudFighter::GetTensionFile() const { return m_character.GetTensionFile(); }

u32 CBattleHudFighter::GetFixedTension() const
{
    const i32 fixed = m_character.GetStatus()->fixedTension;
    return fixed > 0 ? u32(fixed) : 0;
}

f32 CBattleHudFighter::GetMusicTime() const { return m_character.GetStatus()->lastMusicTime; }

void CBattleHudFighter::ClearDamage()
{
    CharacterMoveHitState& m = m_character.GetStatus()->moveHit;
    m.damageTaken = 0;
    for (i32& d : m.lastTaken) d = 0;
}

void CBattleHudFighter::FillSparkGauge()
{
    CharacterStatus& s = *m_character.GetStatus();
    if (const CCharacterParameter* p = m_character.GetParameter()) s.sparkGauge = p->values.spark.maxSparkGauge;
}

i32 CBattleHudFighter::GetTotalDamage() const { return m_character.GetStatus()->moveHit.damageTaken; }

i32 CBattleHudFighter::GetHitDamage(u32 i) const { return i < 5 ? m_character.GetStatus()->moveHit.lastTaken[i] : 0; }

i32 CBattleHudFighter::GetHp() const { return m_character.GetStatus()->hp; }

f32 CBattleHudFighter::GetShownHp() const { return m_character.GetStatus()->shownHp; }

f32 CBattleHudFighter::GetMaxHp() const
{
    const CCharacterParameter* p = m_character.GetParameter();
    return p ? f32(p->values.general.hp) : 0.0f;
}

f32 CBattleHudFighter::GetMaxSpark() const
{
    const CCharacterParameter* p = m_character.GetParameter();
    return p ? p->values.spark.maxSparkGauge : 0.0f;
}

f32 CBattleHudFighter::GetMp() const { return m_character.GetStatus()->mp; }

f32 CBattleHudFighter::GetSparkGauge() const { return m_character.GetStatus()->sparkGauge; }

u32 CBattleHudFighter::GetTensionLevel() const { return m_character.GetStatus()->tension; }

u32 CBattleHudFighter::GetAction() const { return m_character.GetStatus()->action; }

u32 CBattleHudFighter::IsHittable() const { return m_character.IsHittable(); }

void CBattleHudFighter::GetCenter(CVector3* out) const { m_character.GetCenter(out); }

f32 CBattleHudFighter::GetYaw() const { return m_character.GetRotation()->y; }

u32 CBattleHudFighter::CanUse(u32 kind) const { return m_character.CanUse(kind); }
