#include "game/battle/character/SkillModifiers.h"

#include "game/battle/character/CharacterParameter.h"

namespace {

using M = SkillModifier;
constexpr SkillFlagWord F1 = SkillFlagWord::kFlag1;
constexpr SkillFlagWord F2 = SkillFlagWord::kFlag2;

}  // namespace

// Bits marked "chosen" gate modifiers for which the skill data named no bit;
// they take bits no other rule or flag uses, next to their neighbours where
// one was free. FLAG2 bit 4 is the climax skill: the same bit that gives its
// climax wait keeps its user untouchable in the high-tension card. DASHSTARTMP multiplies the character's dash cost, so its
// neutral is 1.0: with 0.0 every skill without the flag would make dashes
// free.
const SkillModifierRule kSkillModifierRules[kSkillModifierCount] = {
    {M::kTensionStr, F1, 0, 1.0f, false},
    {M::kTensionMove, F1, 1, 1.0f, false},   // chosen
    {M::kBaseStr, F1, 2, 1.0f, false},
    {M::kBaseMove, F1, 3, 1.0f, false},   // chosen
    {M::kBaseHp, F1, 4, 1.0f, false},
    {M::kBaseDamage, F1, 5, 1.0f, false},
    {M::kMultiLockMove, F1, 6, 1.0f, true},   // chosen
    {M::kDashStartMp, F1, 8, 1.0f, false},
    {M::kDashKeepMp, F1, 9, 0.0f, false},
    {M::kDashStartMotionTime, F1, 10, 0.0f, false},
    {M::kSlideMp, F1, 11, 0.0f, false},
    {M::kDoubleSlideMp, F1, 12, 0.0f, false},
    {M::kTripleSlideMp, F1, 13, 0.0f, false},
    {M::kMirageSlideMp, F2, 14, 0.0f, false},
    {M::kMirageSlideAttackMp, F2, 15, 0.0f, false},
    {M::kSlideMpRevise, F1, 28, 1.0f, false},
    {M::kDoubleSlideMpRevise, F1, 29, 1.0f, false},
    {M::kJustGuardTime, F1, 14, 1.0f, false},
    {M::kGuardTime, F1, 15, 1.0f, false},
    {M::kGuardReload, F1, 16, 1.0f, false},
    {M::kGuardAngle, F1, 17, 0.0f, false},
    {M::kAddHpSpeed, F1, 18, 1.0f, false},
    {M::kSparkHp, F1, 20, 1.0f, false},
    {M::kSparkMp, F1, 21, 0.0f, false},
    {M::kSparkInvincibilityTime, F1, 22, 1.0f, false},
    {M::kSparkReload, F1, 23, 1.0f, false},
    {M::kSparkReactionTime, F1, 31, 1.0f, false},
    {M::kSparkGaugeRate, F1, 25, 1.0f, false},   // chosen
    {M::kShortAttackStr, F2, 26, 1.0f, false},
    {M::kShortAttackReload, F2, 13, 1.0f, false},
    {M::kSpellStr, F2, 0, 1.0f, false},
    {M::kSpellReload, F2, 1, 1.0f, false},
    {M::kSpellPer, F2, 22, 1.0f, false},
    {M::kSpellHoming, F2, 24, 1.0f, false},   // chosen
    {M::kClimaxWait, F2, 4, 1.0f, false},
    {M::kHiTensionReload, F2, 5, 1.0f, false},
    {M::kDoubleAttackDamage, F2, 6, 1.0f, false},
    {M::kDoubleAttackTime, F2, 7, 1.0f, false},
    {M::kShotAmmunition, F2, 8, 1.0f, false},
    {M::kShotChargeTime, F2, 9, 1.0f, false},
    {M::kMultiLockStr, F2, 10, 1.0f, true},
    {M::kSlideInvincibilityTime, F1, 24, 1.0f, false},
    {M::kMultiLockSlideMp, F1, 27, 1.0f, true},   // chosen
    {M::kMirageSlideRange, F2, 16, 1.0f, false},
    {M::kMultiLockPow, F1, 26, 1.0f, true},
    {M::kMultiLockMpRecover, F2, 2, 1.0f, true},   // chosen
    {M::kDownLimit, F2, 29, 1.0f, false},
    {M::kMultiLockDamage, F2, 30, 1.0f, true},
};

bool HasSkillFlag(const CSkill* skill, SkillFlagBit flag)
{
    const CSkillSetting* record = skill ? skill->GetRecord() : nullptr;
    if (!record) return false;
    const u32 word = u32(flag.word == F1 ? record->values.flag1 : record->values.flag2);
    return (word >> flag.bit) & 1u;
}

f32 GetSkillModifier(const CSkill* skill, SkillModifier modifier, u32 lockCount)
{
    const SkillModifierRule& rule = kSkillModifierRules[u32(modifier)];
    if (!HasSkillFlag(skill, {rule.word, rule.bit}) || (rule.multiLock && lockCount < 2)) return rule.neutral;
    return skill->GetRecord()->GetModifier(modifier);
}

i32 GetSkillBaseAttackCount(const CSkill* skill)
{
    return HasSkillFlag(skill, kBaseAttackCountFlag) ? skill->GetRecord()->values.baseAttackCount : 0;
}

namespace {

template <class Factor>
f32 Product(const SkillPlaces& skills, Factor factor)
{
    f32 product = 1.0f;
    for (const CSkill* skill : skills) {
        if (skill) product *= factor(skill);
    }
    return product;
}

}  // namespace

f32 GetSkillDamageFactor(const SkillPlaces& skills, u32 lockCount)
{
    return Product(skills, [&](const CSkill* s) {
        return GetSkillModifier(s, M::kBaseDamage) * GetSkillModifier(s, M::kMultiLockDamage, lockCount);
    });
}

f32 GetSkillLimitFactor(const SkillPlaces& skills)
{
    return Product(skills, [](const CSkill* s) { return GetSkillModifier(s, M::kDownLimit); });
}

f32 GetSkillHiTensionReload(const SkillPlaces& skills)
{
    return Product(skills, [](const CSkill* s) { return GetSkillModifier(s, M::kHiTensionReload); });
}

f32 GetSkillPowerFactor(const SkillPlaces& skills, u32 lockCount)
{
    return Product(skills, [&](const CSkill* s) { return GetSkillModifier(s, M::kMultiLockPow, lockCount); });
}

bool AnySkillHas(const SkillPlaces& skills, SkillFlagBit flag)
{
    for (const CSkill* skill : skills) {
        if (HasSkillFlag(skill, flag)) return true;
    }
    return false;
}

i32 ApplySkillShotAmmunition(const CSkill* skill, CCharacterParameter& parameter)
{
    if (!skill) return 0;
    const f32 factor = GetSkillModifier(skill, M::kShotAmmunition);
    for (ShotRecord& shot : parameter.values.shots)
        shot.ammunition = SaturateToU16(factor * f32(shot.ammunition));
    return 1;
}

i32 ApplySkillShotChargeTime(const CSkill* skill, CCharacterParameter& parameter)
{
    if (!skill) return 0;
    const f32 factor = GetSkillModifier(skill, M::kShotChargeTime);
    for (ShotRecord& shot : parameter.values.shots) shot.chargeTime = factor * shot.chargeTime;
    return 1;
}

i32 ApplySkillShortAttackStr(const CSkill* skill, CCharacterParameter& parameter)
{
    if (!skill) return 0;
    const f32 factor = GetSkillModifier(skill, M::kShortAttackStr);
    for (ShortAttackRecord& attack : parameter.values.shortAttacks)
        attack.str = SaturateToI32(factor * f32(attack.str));
    return 1;
}

i32 ApplySkillShortAttackReload(const CSkill* skill, CCharacterParameter& parameter)
{
    if (!skill) return 0;
    const f32 factor = GetSkillModifier(skill, M::kShortAttackReload);
    for (ShortAttackRecord& attack : parameter.values.shortAttacks) attack.reload = factor * attack.reload;
    return 1;
}

i32 ApplySkillSpellReload(const CSkill* skill, f32& reload)
{
    if (!skill) return 0;
    reload = GetSkillModifier(skill, M::kSpellReload) * reload;
    return 1;
}

i32 ApplySkillSpellReload(const CSkill* skill, CCharacterParameter& parameter)
{
    if (!skill) return 0;
    for (u32 i = 0; i < 5; ++i) ApplySkillSpellReload(skill, parameter.GetSpellCard(i).GetValues().reload);
    return 1;
}

i32 ApplySkillSpark(const CSkill* skill, CCharacterParameter& parameter)
{
    if (!skill) return 0;
    for (SparkRecord& spark : parameter.values.spark.records) {
        spark.hp = GetSkillModifier(skill, M::kSparkHp) * spark.hp;
        spark.mp = spark.mp + GetSkillModifier(skill, M::kSparkMp);
        spark.invincibilityTime = GetSkillModifier(skill, M::kSparkInvincibilityTime) * spark.invincibilityTime;
        spark.interval = GetSkillModifier(skill, M::kSparkReload) * spark.interval;
        spark.reactionTime = GetSkillModifier(skill, M::kSparkReactionTime) * spark.reactionTime;
    }
    return 1;
}
