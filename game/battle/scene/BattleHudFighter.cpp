#include "game/battle/scene/BattleHudFighter.h"

#include "game/battle/character/Character.h"
#include "game/battle/object/CameraController.h"
#include "game/data/Skill.h"

namespace {

constexpr u32 kDangerDirections = 0xFu;

const CSkillSetting* SkillRecord(const CCharacter& c, u32 slot)
{
    const CSkill* skill = c.GetSkill(slot);
    return skill ? skill->GetRecord() : nullptr;
}

}  // namespace

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

f32 CBattleHudFighter::GetTargetDownLimit() const
{
    const CBattleHudFighter* target = LockedView();
    return target ? target->m_character.GetStatus()->limitGauge : 0.0f;
}

const CBattleHudFighter* CBattleHudFighter::LockedView() const
{
    const u32 id = m_character.GetStatus()->lockedTargetId;
    if (!id || !m_fighters) return nullptr;
    for (const HudFighter* f : *m_fighters) {
        const auto* view = dynamic_cast<const CBattleHudFighter*>(f);
        if (view && view != this && view->m_character.GetId() == id) return view;
    }
    return nullptr;
}

f32 CBattleHudFighter::GetMusicTime() const { return m_character.GetStatus()->lastMusicTime; }

// The training panel measures the own fighter's hits (beside its target's
// down limit), so it shows and clears the damage dealt.
void CBattleHudFighter::ClearDamage()
{
    CharacterMoveHitState& m = m_character.GetStatus()->moveHit;
    m.damageDealt = 0;
    for (i32& d : m.lastDealt) d = 0;
}

void CBattleHudFighter::FillSparkGauge()
{
    CharacterStatus& s = *m_character.GetStatus();
    if (const CCharacterParameter* p = m_character.GetParameter()) s.sparkGauge = p->values.spark.maxSparkGauge;
}

i32 CBattleHudFighter::GetTotalDamage() const { return m_character.GetStatus()->moveHit.damageDealt; }

i32 CBattleHudFighter::GetHitDamage(u32 i) const { return i < 5 ? m_character.GetStatus()->moveHit.lastDealt[i] : 0; }

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

// The lock-on rule the player chose: 0 front, 1 distance, 2 camera, 3 in turn.
u32 CBattleHudFighter::GetTargetMode() const { return m_character.GetStatus()->order; }

i32 CBattleHudFighter::GetSkillImage(u32 slot) const
{
    const CSkillSetting* record = SkillRecord(m_character, slot);
    return record ? record->values.imageId : -1;
}

u32 CBattleHudFighter::GetSkillFlags2(u32 slot) const
{
    const CSkillSetting* record = SkillRecord(m_character, slot);
    return record ? u32(record->values.flag2) : 0;
}

// As the fighter reads it: anything but B is A.
u32 CBattleHudFighter::GetWeaponSet() const { return m_character.GetStatus()->selectedBarrage == 1 ? 1 : 0; }

u32 CBattleHudFighter::GetAction() const { return m_character.GetStatus()->action; }

// The type of the hit reaction running: 5 and 6 are the rolls.
u32 CBattleHudFighter::GetDownKind() const { return m_character.GetStatus()->damageType; }

// The fighter keeps 1 left, 2 right, 4 down, 8 up: the arrows' order.
u32 CBattleHudFighter::GetDangerMask() const { return m_character.GetMeeting().dangerFlags & kDangerDirections; }

u32 CBattleHudFighter::GetPartnerAttack() const { return m_character.GetStatus()->moveHit.doubleAttackFlag; }

f32 CBattleHudFighter::GetPartnerAttackTime() const { return m_character.GetStatus()->moveHit.doubleAttackTimer; }

f32 CBattleHudFighter::GetActionGauge(u32 kind) const { return m_character.GetActionGauge(kind); }

u32 CBattleHudFighter::GetActionCount(u32 kind) const { return m_character.GetActionCount(kind); }

u32 CBattleHudFighter::GetActionCapacity(u32 kind) const { return m_character.GetActionCapacity(kind); }

f32 CBattleHudFighter::GetBuffTimer3() const { return m_character.GetBuffTimer(3); }

u32 CBattleHudFighter::IsHittable() const { return m_character.IsHittable(); }

void CBattleHudFighter::GetCenter(CVector3* out) const { m_character.GetCenter(out); }

f32 CBattleHudFighter::GetHeight() const
{
    const CCharacterParameter* p = m_character.GetParameter();
    return p ? p->values.body.height : 0.0f;
}

f32 CBattleHudFighter::GetNearRadius() const
{
    const CCharacterParameter* p = m_character.GetParameter();
    return p ? p->values.body.nearRadius : 0.0f;
}

f32 CBattleHudFighter::GetYaw() const { return m_character.GetRotation()->y; }

f32 CBattleHudFighter::GetCameraYaw() const
{
    const ICameraController* camera = m_character.GetCameraController();
    if (!camera) return 0.0f;
    CVector3 eye, angles;
    camera->GetView(&eye, &angles);
    return angles.y;
}

u32 CBattleHudFighter::CanUse(u32 kind) const { return m_character.CanUse(kind); }
