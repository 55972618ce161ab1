#include "game/battle/character/CharacterBase.h"
#include "game/battle/character/StatisticCounters.h"

#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/scene/Effect.h"
#include "game/battle/object/Weapon.h"
#include "game/data/Skill.h"
#include "game/data/TensionFile.h"

#include <cstring>

CCharacterBase::CCharacterBase(CCharacterParameter* parameter, CTensionFile* tension)
    : m_parameter(parameter), m_tensionFile(tension)
{
    SetGroup(kGroupFighter);
    m_status = CharacterStatus{};
}

CCharacterBase::CCharacterBase(const CCharacterBase& other)
    : CObjectDivision(other), m_meeting(other.m_meeting), m_status(other.m_status), m_dot(other.m_dot),
      m_regeneration(other.m_regeneration), m_readyClock(other.m_readyClock), m_hitSphereBones(other.m_hitSphereBones),
      m_trailBones(other.m_trailBones), m_weapons(other.m_weapons), m_textures(other.m_textures),
      m_trailRibbons(other.m_trailRibbons)
{
    // Effects are owned by the source; bone frames belong to its animation
    // controller, which the copy does not share.
    std::memset(m_status.attached, 0, sizeof m_status.attached);
    std::memset(m_status.transient, 0, sizeof m_status.transient);
    m_status.neck.frame = m_status.body.frame = m_status.arm.frame = nullptr;
    for (CAnimationFrame*& bone : m_hitSphereBones) bone = nullptr;
    for (CAnimationFrame*& bone : m_trailBones) bone = nullptr;
    if (other.m_camera) m_camera.reset(other.m_camera->Clone());
    if (other.m_parameter) m_parameter = new CCharacterParameter(*other.m_parameter);
    if (other.m_tensionFile) m_tensionFile = new CTensionFile(*other.m_tensionFile);
    for (const auto& barrage : other.m_barrages)
        m_barrages.emplace_back(barrage ? static_cast<CObjectDivision*>(barrage->Clone()) : nullptr);
    for (const auto& card : other.m_spellCards)
        m_spellCards.emplace_back(card ? static_cast<CObjectDivision*>(card->Clone()) : nullptr);
    CopyAfterimages(other);
    for (u32 s = 0; s < kSkillSlotCount; ++s) m_skills[s] = other.m_skills[s] ? new CSkill(*other.m_skills[s]) : nullptr;
}

CCharacterBase::~CCharacterBase() { CCharacterBase::Release(); }

void CCharacterBase::ReleaseObjects(CEffect** slots, u32 count)
{
    for (u32 i = 0; i < count; ++i) {
        if (!slots[i]) continue;
        slots[i]->Release();
        slots[i] = nullptr;
    }
}

i32 CCharacterBase::Release()
{
    ReleaseObjects(m_status.attached, kAttachedObjectCount);
    ReleaseObjects(m_status.transient, kTransientObjectCount);
    for (auto& group : m_textures) group.clear();
    m_afterimages.clear();
    for (CSkill*& skill : m_skills) {
        delete skill;
        skill = nullptr;
    }
    delete m_parameter;
    m_parameter = nullptr;
    m_camera.reset();
    m_hitSphereBones.clear();
    m_trailBones.clear();
    m_weapons.Release();
    m_barrages.clear();
    m_spellCards.clear();
    delete m_tensionFile;
    m_tensionFile = nullptr;
    m_trailRibbons.Release();
    m_status.neck.frame = m_status.body.frame = m_status.arm.frame = nullptr;
    return CObjectDivision::Release();
}

CMesh* CCharacterBase::GetMesh() const
{
    CResourceBase* resource = GetResource();
    return resource && resource->GetType() == kModelResource ? static_cast<CMesh*>(resource) : nullptr;
}

u32 CCharacterBase::IsChangedAnimation(u32 n) const
{
    // A missing motion is never the one playing.
    return HasMotion(n) && GetChangedAnimation() == u32(m_status.motions[n]);
}

u32 CCharacterBase::IsPlayedAnimation(u32 n) const
{
    return HasMotion(n) && GetPlayedAnimation() == u32(m_status.motions[n]);
}

namespace {

void Timers(CStateHash& hash, const CharacterTimers& t)
{
    // Every member is an f32, in declaration order. The voice timer follows
    // the player's voice setting: two peers may differ in it.
    static_assert(sizeof(CharacterTimers) % sizeof(f32) == 0);
    CharacterTimers folded = t;
    folded.longestVoice = 0.0f;
    f32 values[sizeof(CharacterTimers) / sizeof(f32)];
    std::memcpy(values, &folded, sizeof values);
    for (f32 v : values) hash.F32(v);
}

void Aim(CStateHash& hash, const BoneAim& aim) { hash.Vector(aim.rotation); }

}  // namespace

void CCharacterBase::HashState(CStateHash& hash) const
{
    CObjectDivision::HashState(hash);
    const CharacterStatus& s = m_status;
    hash.Vector(s.displacement).Vector(s.velocity).Vector(s.acceleration);
    hash.Vector(s.targetAngles).Vector(s.viewAngles).Vector(s.center);
    hash.F32(s.dashTurnAngle).F32(s.dashAngle).U32(s.moveEffect).F32(s.slideAngle).F32(s.moveAngle);
    hash.U32(s.action).U32(s.queuedAction);
    Timers(hash, s.timers);
    hash.I32(s.hp).F32(s.exactHp).F32(s.mp).F32(s.guardGauge).U32(s.guardBreak).F32(s.sparkGauge);
    hash.F32(s.limitGauge).F32(s.knockPower).U32(s.ammunition);
    hash.U32(s.tension).F32(s.lastMusicTime).U32(s.finale);
    Aim(hash, s.neck);
    Aim(hash, s.body);
    Aim(hash, s.arm);
    hash.I32(s.team).U32(s.defeatCount).U32(s.lockedTargetId).U32(s.lockedByCount);
    hash.U32(s.damageMotion).U32(s.damageType).Vector(s.hitDirection).U32(s.lastAttackerId).U32(s.slideMotion);
    hash.U32(s.comboIndex).F32(s.attackClocks[0]).F32(s.attackClocks[1]).U32(s.barrageSlot).U32(s.turnShoot);
    hash.U32(s.freezeKind).U32(s.previousFreezeKind).U32(s.spellSlot).U32(s.spellStep).U32(s.spellWord);
    hash.U32(s.order).U32(s.followed).U32(s.savedFollowed);
    hash.U32(s.exceptionUses).U32(s.hiTensionUses).U32(s.climaxUses).U32(s.finaleClimaxes);
    hash.U32(s.revival).U32(s.attackHitMask).U32(s.sparkKind);
    const CharacterMoveHitState& m = s.moveHit;
    hash.U32(m.rollCount).U32(m.dashFlag).U32(m.mirageReached);
    hash.F32(m.doubleAttackWindow).U32(m.doubleAttackFlag).F32(m.doubleAttackTimer);
    hash.U32(m.friendlyFire).U32(m.noDefeat).I32(m.damageTaken).I32(m.damageDealt).U32(m.escapePresses);
    // The results read the statistics: two runs must agree on them too.
    for (u32 n = 0; n < kStatisticCounterCount; ++n) hash.U32(GetStatisticCounter(n));
    hash.U32(m_camera ? 1 : 0);
    HashMeeting(hash);
    hash.F32(m_dot.duration).F32(m_dot.interval).F32(m_dot.clock).F32(m_dot.damage).F32(m_dot.gauge);
    hash.F32(m_dot.causeGauge).U32(m_dot.damageType).U32(m_dot.sourceId);
    hash.U32(m_regeneration).F32(m_readyClock);
    if (m_camera) m_camera->HashState(hash);
    // The objects the fighter owns, each folding its own timers, stock and
    // shown flags. The fade a card lays on the fighter's colour is drawing only.
    auto owned = [&hash](const CObjectDivision* object) {
        hash.U32(object ? 1 : 0);
        if (object) object->HashState(hash);
    };
    hash.U32(u32(m_barrages.size()));
    for (const auto& barrage : m_barrages) owned(barrage.get());
    hash.U32(u32(m_spellCards.size()));
    for (const auto& card : m_spellCards) owned(card.get());
    hash.U32(m_weapons.GetCount());
    for (u32 i = 0; i < m_weapons.GetCount(); ++i) owned(static_cast<const CWeapon*>(m_weapons.GetAt(i)));
}

void CCharacterBase::StartDamageOverTime(const DotState& dot)
{
    m_dot = dot;
    m_dot.clock = 0.0f;
}
