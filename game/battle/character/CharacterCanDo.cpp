// What a fighter may do now, and the rates that follow its tension level
// and skills. Nothing here changes the fighter.
#include "game/battle/character/CharacterAction.h"

#include "game/battle/object/Weapon.h"

namespace {

using namespace character_actions;

constexpr SkillFlagBit kNoGuardFlag{SkillFlagWord::kFlag2, 3};
constexpr SkillFlagBit kGuardThroughFlag{SkillFlagWord::kFlag2, 4};
constexpr SkillFlagBit kBit11Flag{SkillFlagWord::kFlag2, 11};
constexpr SkillFlagBit kCombinationFlag{SkillFlagWord::kFlag2, 12};
constexpr SkillFlagBit kMirageCancelFlag{SkillFlagWord::kFlag2, 17};
constexpr SkillFlagBit kNoSparkFlag{SkillFlagWord::kFlag2, 19};
constexpr SkillFlagBit kNoSlideFlag{SkillFlagWord::kFlag2, 21};
constexpr SkillFlagBit kIdleCardFlag{SkillFlagWord::kFlag2, 25};
constexpr SkillFlagBit kMpScrapeFlag{SkillFlagWord::kFlag2, 27};

constexpr u32 kExceptionSlot = 4, kHiTensionSlot = 5, kClimaxSlot = 6;

}  // namespace

// -- Shared conditions. --
namespace {

struct Conditions {
    const CCharacterBase& c;
    const CharacterStatus& s = *c.GetStatus();

    bool HitStun() const { return s.timers.stun > 0; }
    bool AttackStun() const { return s.timers.secondStun > 0; }
    bool Stun() const { return HitStun() || AttackStun(); }
    bool Result() const { return s.action == kActionResult || s.queuedAction == kActionResult; }
    bool Out() const { return c.IsOut() != 0; }
    bool SpellCharging() const { return s.timers.spellCharge > 0; }
    // The current short attack's cool-down has reached its RELOAD.
    bool CooledDown() const
    {
        const CCharacterParameter* p = c.GetParameter();
        if (!p) return true;
        const u32 i = s.comboIndex < kShortAttackCount ? s.comboIndex : 0;
        return s.timers.shortAttackCooldown >= p->values.shortAttacks[i].reload;
    }
    const ShotRecord* Shot() const
    {
        const CCharacterParameter* p = c.GetParameter();
        return p && s.barrageSlot < kShotSlotCount ? &p->values.shots[s.barrageSlot] : nullptr;
    }
    // The weapon of the current shot record is thrown and not back yet.
    bool WeaponBusy() const
    {
        const ShotRecord* shot = Shot();
        return shot && shot->weaponNo >= 0 && c.HasWeapon(u32(shot->weaponNo)) && !c.GetSubObject(u32(shot->weaponNo));
    }
    bool ClimaxUnderWay() const { return c.IsClimaxCardUnderWay() != 0; }
    bool CardLetsMove() const
    {
        const ISpellCardState* card = c.GetSpellCardState(s.spellSlot);
        return card && card->LetsUserMove();
    }
    const CharacterGeneral* General() const { return c.GetParameter() ? &c.GetParameter()->values.general : nullptr; }
};

}  // namespace

u32 CCharacterBase::CanGuard() const
{
    const Conditions k{*this};
    const CharacterStatus& s = m_status;
    if (k.HitStun() || k.Out() || !m_parameter) return 0;
    if (s.timers.guardReload < m_parameter->values.guard.reload || s.guardBreak) return 0;
    if (k.Result() || s.action == kActionHitReaction || k.SpellCharging() || IsBerserk()) return 0;
    return IsGuardable();
}

u32 CCharacterBase::CanShortAttack(u32 comboCount) const
{
    const Conditions k{*this};
    if (k.Stun() || k.Out() || k.Result()) return 0;
    if (m_status.action != kActionShortAttack) return k.CooledDown();
    const CharacterGeneral* g = k.General();
    if (!g) return 0;
    const i32 limit = m_status.tension == 3   ? g->climaxTensionAttackCount
                      : m_status.tension == 2 ? g->hiTensionAttackCount
                                              : g->normalAttackCount;
    return i32(comboCount) <= limit;
}

u32 CCharacterBase::CanShoot() const
{
    const Conditions k{*this};
    const CharacterStatus& s = m_status;
    if (k.Stun() || k.Out() || s.ammunition == 0 || k.Result() || m_meeting.shootRestrict != 0) return 0;
    if (s.action == kActionDoubleSlideShoot || s.action == kActionDoubleSlide) {
        if (!IsChangedAnimation(30) && !IsChangedAnimation(32)) return 0;
    } else if (const ShotRecord* shot = k.Shot(); shot && shot->shootObjectType == 4) {
        if (shot->weaponNo < 0 || !GetSubObject(u32(shot->weaponNo))) return 0;
    }
    // The restriction status (status timer 4) holds the tension low but does
    // not stop shooting: only the shoot restriction word of message 51 does.
    return 1;
}

// The selected card is spell A or B, whatever card was cast last.
u32 CCharacterBase::CanCastSpell() const
{
    const Conditions k{*this};
    return GetSpellStock(GetSelectedSet()) && !k.Stun() && !k.Out() && !k.Result();
}

u32 CCharacterBase::CanCastExceptionSpell() const
{
    const Conditions k{*this};
    return GetSpellStock(kExceptionSlot) && !k.Stun() && !(m_status.timers.cardStun > 0) && !k.Out() &&
           !k.SpellCharging() && !k.Result();
}

u32 CCharacterBase::CanCastHiTensionSpell() const
{
    const Conditions k{*this};
    return GetSpellStock(kHiTensionSlot) && m_status.tension >= 2 && !k.Stun() && !k.Out() && !k.SpellCharging() &&
           !k.Result();
}

u32 CCharacterBase::CanCastClimaxSpell() const
{
    const Conditions k{*this};
    return GetSpellStock(kClimaxSlot) && m_status.tension == 3 && !k.Stun() && !k.Out() && !k.SpellCharging() &&
           !k.Result();
}

u32 CCharacterBase::CanShootFromState() const
{
    const Conditions k{*this};
    const u32 a = m_status.action;
    if (!CanShoot() || In(a, {21, 22, 24, 25, 26}) || k.Result()) return 0;
    if (IsShootAction(a) && (m_status.barrageSlot == 2 || m_status.barrageSlot == 3) && k.WeaponBusy()) return 0;
    return !k.ClimaxUnderWay();
}

u32 CCharacterBase::CanCastFromState() const
{
    const Conditions k{*this};
    if (!GetSpellStock(GetSelectedSet()) || k.Stun() || k.Out()) return 0;
    if (In(m_status.action, {21, 22, 24, 25, 26}) || k.Result()) return 0;
    return !k.ClimaxUnderWay();
}

u32 CCharacterBase::CanSlide() const
{
    const Conditions k{*this};
    const u32 a = m_status.action;
    const CharacterGeneral* g = k.General();
    if (k.HitStun() || k.Out() || !g || m_status.mp < g->slideMp) return 0;
    if (a == kActionDefeated) return 1;
    if (In(a, {2, 3, 4, 7, 8, 11, 12, 13, 14, 15, 17, 18, 19, 20, 21, 24, 25, 26}) || k.Result()) return 0;
    if (IsSpellAction(a) && !k.CardLetsMove()) return 0;
    if (IsShootAction(a) && k.WeaponBusy()) return 0;
    return !AnySkillHas(GetSkillPlaces(), kNoSlideFlag);
}

u32 CCharacterBase::CanDoubleSlide() const
{
    const Conditions k{*this};
    const u32 a = m_status.action;
    const CharacterGeneral* g = k.General();
    if (k.HitStun() || k.Out() || !g || m_status.mp < g->doubleSlideMp) return 0;
    if (a == kActionDefeated) return 1;
    if (k.Result()) return 0;
    if (IsSpellAction(a) && !k.CardLetsMove()) return 0;
    return !(IsShootAction(a) && k.WeaponBusy());
}

u32 CCharacterBase::CanDash() const
{
    const Conditions k{*this};
    const CharacterGeneral* g = k.General();
    return !k.HitStun() && !k.Out() && g && m_status.mp >= g->dashStartMp && m_status.tension != 0 && !k.Result();
}

u32 CCharacterBase::CanMirageSlide() const
{
    const Conditions k{*this};
    const CharacterGeneral* g = k.General();
    return !k.HitStun() && !k.Out() && g && m_status.mp >= g->mirageSlideMp && m_status.tension != 0 &&
           !k.Result() && m_status.lockedTargetId != 0;
}

u32 CCharacterBase::IsAttackReady() const
{
    const Conditions k{*this};
    return !k.Stun() && !k.Out() && k.CooledDown() && !k.Result();
}

i32 CCharacterBase::SparkHpCost(const SparkRecord& record) const
{
    return m_parameter ? SaturateToI32(f32(m_parameter->values.general.hp) * record.hp) : 0;
}

u32 CCharacterBase::CanSpark() const
{
    const Conditions k{*this};
    const CharacterStatus& s = m_status;
    if (k.HitStun() || !m_parameter || k.Out()) return 0;
    const SparkBlock& spark = m_parameter->values.spark;
    if (s.sparkGauge < spark.maxSparkGauge || s.timers.sparkLock > 0 || s.timers.secondStun > 0) return 0;
    // The record the spark would start with now: the reversal spark from a hit reaction.
    const SparkRecord& kind = spark.records[s.action == kActionHitReaction ? 1 : 0];
    // A last resort: only a fighter down to its record's share of HP may
    // spark. The price may leave it at 0 or below; the next lethal hit
    // defeats it then.
    if (s.mp < kind.mp || s.hp > SparkHpCost(kind)) return 0;
    return !AnySkillHas(GetSkillPlaces(), kNoSparkFlag);
}

// -- Skill queries. --

u32 CCharacterBase::IsGuardable() const { return !AnySkillHas(GetSkillPlaces(), kNoGuardFlag); }

u32 CCharacterBase::HasSkillGuardThrough() const { return AnySkillHas(GetSkillPlaces(), kGuardThroughFlag); }

u32 CCharacterBase::HasSkillMirageCancel() const
{
    return m_parameter && m_status.mp >= m_parameter->values.general.mirageSlideCancelMp &&
           AnySkillHas(GetSkillPlaces(), kMirageCancelFlag);
}

u32 CCharacterBase::HasSkillAutoSlide() const
{
    const u32 a = m_status.action;
    if (IsSpellAction(a) || a == kActionDefeated || a == kActionBound) return 0;
    return AnySkillHas(GetSkillPlaces(), kAutoSlideFlag);
}

u32 CCharacterBase::HasSkillIdleCardBonus() const
{
    const ISpellCardState* card = GetSpellCardState(m_status.spellSlot);
    if (m_status.spellSlot >= 4 || !card || !card->IsIdle()) return 0;
    return AnySkillHas(GetSkillPlaces(), kIdleCardFlag);
}

u32 CCharacterBase::HasSkillReversalBarrage() const
{
    return m_status.sparkKind == 0 || AnySkillHas(GetSkillPlaces(), kReversalBarrageFlag);
}

u32 CCharacterBase::HasNoSkillBit11() const { return !AnySkillHas(GetSkillPlaces(), kBit11Flag); }

u32 CCharacterBase::CanScrapeMp() const
{
    if (IsSpellAction(m_status.action) && m_parameter && m_status.spellSlot < kSpellSlotCount) {
        const i32 type = m_parameter->GetSpellCard(m_status.spellSlot).GetValues().spellType;
        if (type == 4 || type == 5 || type == 6) return 1;
    }
    return AnySkillHas(GetSkillPlaces(), kMpScrapeFlag);
}

u32 CCharacterBase::HasSkillCombination() const { return AnySkillHas(GetSkillPlaces(), kCombinationFlag); }

f32 CCharacterBase::GetSkillFactor(SkillModifier modifier) const
{
    f32 product = 1.0f;
    for (const CSkill* skill : m_skills) product *= GetSkillModifier(skill, modifier, m_status.lockedByCount);
    return product;
}

// -- Tension-dependent rates. --

const TensionBonus* CCharacterBase::GetTensionBonus() const
{
    return m_parameter && m_status.tension < kTensionLevelCount ? &m_parameter->values.bonuses[m_status.tension]
                                                                : nullptr;
}

f32 CCharacterBase::GetMotionSpeedRate() const
{
    const CharacterStatus& s = m_status;
    const TensionBonus* bonus = GetTensionBonus();
    if (!bonus || s.action == kActionFrozen || s.timers.freezeTime > 0 || s.timers.sparkLock > 0) return 0.0f;
    if (s.action == kActionSpellCard && s.spellSlot > 4) return m_parameter->values.bonuses[1].motionSpeed;
    return bonus->motionSpeed;
}

u32 CCharacterBase::IsClimaxCardUnderWay() const
{
    const ISpellCardState* card = GetSpellCardState(kClimaxSlot);
    return m_status.action == kActionSpellCard && m_status.spellSlot == kClimaxSlot && card && card->IsLocked();
}

u32 CCharacterBase::IsClimaxCardRunning() const
{
    const ISpellCardState* card = GetSpellCardState(kClimaxSlot);
    return m_status.action == kActionSpellCard && m_status.spellSlot == kClimaxSlot && card && !card->IsIdle();
}

u32 CCharacterBase::RunsAtCardPace() const
{
    return (m_status.action == kActionSpellCard && m_status.spellSlot == kHiTensionSlot) || IsClimaxCardUnderWay();
}

f32 CCharacterBase::GetBulletSpeedFactor() const
{
    const TensionBonus* bonus = GetTensionBonus();
    return !bonus || RunsAtCardPace() ? 1.0f : bonus->bulletSpeedRevise;
}

f32 CCharacterBase::GetBulletHomingFactor() const
{
    const TensionBonus* bonus = GetTensionBonus();
    return !bonus || RunsAtCardPace() ? 1.0f : bonus->bulletHomingRevise;
}

f32 CCharacterBase::GetStrengthFactor() const
{
    const TensionBonus* bonus = GetTensionBonus();
    if (!bonus) return 1.0f;
    f32 factor = bonus->strRevise * GetSkillFactor(SkillModifier::kTensionStr) *
                 GetSkillFactor(SkillModifier::kBaseStr) * GetSkillFactor(SkillModifier::kMultiLockStr);
    const CSpellCardValues& exception = m_parameter->GetSpellCard(kExceptionSlot).GetValues();
    if (IsBerserk()) factor *= exception.berserkStrRevise;
    if (IsArmored()) factor *= exception.armorStrRevise;
    return factor;
}

f32 CCharacterBase::GetSparkGaugeFactor() const
{
    const TensionBonus* bonus = GetTensionBonus();
    if (!bonus || m_status.action == kActionBound || m_status.timers.sparkLock > 0) return 1.0f;
    f32 factor = bonus->sparkGaugeRevise * GetSkillFactor(SkillModifier::kSparkGaugeRate);
    if (IsArmored()) factor *= m_parameter->GetSpellCard(kExceptionSlot).GetValues().armorSparkGuageRate;
    return factor;
}

f32 CCharacterBase::GetReloadRate() const
{
    const TensionBonus* bonus = GetTensionBonus();
    return bonus ? bonus->reloadRevise * m_status.reloadFactor : 0.0f;
}

f32 CCharacterBase::GetShortAttackReloadRate() const
{
    const TensionBonus* bonus = GetTensionBonus();
    return bonus ? bonus->shortAttackReloadRevise * m_status.reloadFactor : 0.0f;
}

f32 CCharacterBase::GetMpRecoveryRate() const
{
    const TensionBonus* bonus = GetTensionBonus();
    return bonus ? bonus->mpRecoverRevise * m_status.mpFactor * GetSkillFactor(SkillModifier::kMultiLockMpRecover)
                 : 0.0f;
}

i32 CCharacterBase::GetSpellMotion(u32 slot)
{
    static constexpr i32 kMotions[kSpellSlotCount] = {106, 112, 109, 115, 118, 133, 136};
    return slot < kSpellSlotCount ? kMotions[slot] : -1;
}

i32 CCharacterBase::GetSpellVoice(u32 slot)
{
    // Voice 44 belongs to no card.
    static constexpr i32 kVoices[kSpellSlotCount] = {38, 39, 40, 41, 42, 43, 45};
    return slot < kSpellSlotCount ? kVoices[slot] : -1;
}

f32 CCharacterBase::GetDistanceTo(const CVector3& point) const
{
    CVector3 center;
    GetCenter(&center);
    return (point - center).Length();
}
