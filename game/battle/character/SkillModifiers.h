// What a character's skills do to it. A skill changes a character through
// its two flag words and its modifiers: a modifier counts only while its
// flag bit is set, and gives its neutral value otherwise (1.0 for a factor,
// 0.0 for an amount that is added). A character carries up to three skills;
// an empty place contributes the neutral value.
#pragma once

#include "engine/core/Types.h"
#include "game/data/Skill.h"

#include <array>

class CCharacterParameter;

enum class SkillFlagWord : u8 { kFlag1, kFlag2 };

// Which bit gates a modifier, what it gives while the bit is clear, and
// whether it counts only while two or more opponents lock on.
struct SkillModifierRule {
    SkillModifier modifier;
    SkillFlagWord word;
    u8 bit;
    f32 neutral;
    bool multiLock;
};
// One rule for each modifier, in SkillModifier order (SkillModifiers.cpp
// says which bits were chosen where the skill data gave none).
extern const SkillModifierRule kSkillModifierRules[kSkillModifierCount];

// Bits that gate a rule rather than a modifier.
struct SkillFlagBit {
    SkillFlagWord word;
    u8 bit;
};
constexpr SkillFlagBit kTripleSlideFlag{SkillFlagWord::kFlag1, 7};
constexpr SkillFlagBit kEmptyStartFlag{SkillFlagWord::kFlag1, 19};      // revived with no ammunition
constexpr SkillFlagBit kReversalBarrageFlag{SkillFlagWord::kFlag1, 30};
constexpr SkillFlagBit kBaseAttackCountFlag{SkillFlagWord::kFlag2, 18};
constexpr SkillFlagBit kAutoSlideFlag{SkillFlagWord::kFlag2, 23};
// Opponents' consoles hide the fighter's status and skills (0x100000).
constexpr SkillFlagBit kHiddenStatusFlag{SkillFlagWord::kFlag2, 20};

// Whether skill's record has the bit; false for null.
bool HasSkillFlag(const CSkill* skill, SkillFlagBit flag);
// The modifier through its rule; lockCount is the number of opponents
// locked on the character. The neutral value for null.
f32 GetSkillModifier(const CSkill* skill, SkillModifier modifier, u32 lockCount = 0);
// BASEATTACKCOUNT through its flag, else 0.
i32 GetSkillBaseAttackCount(const CSkill* skill);

// The three places of a character; null for an empty one.
using SkillPlaces = std::array<const CSkill*, 3>;

// Products over the places.
f32 GetSkillDamageFactor(const SkillPlaces& skills, u32 lockCount);   // BASEDAMAGE x MULTILOCKDAMAGE
f32 GetSkillLimitFactor(const SkillPlaces& skills);                   // DOWNLIMIT
f32 GetSkillHiTensionReload(const SkillPlaces& skills);               // HITENSIONRELOAD
f32 GetSkillPowerFactor(const SkillPlaces& skills, u32 lockCount);    // MULTILOCKPOW
// True when any place has the bit.
bool AnySkillHas(const SkillPlaces& skills, SkillFlagBit flag);

// Battle-start adjustments of a character's own parameter copy, one skill
// at a time. Each returns 0 for a null skill (nothing changed), else 1.
// Integer results are truncated toward zero and held within their type.
i32 ApplySkillShotAmmunition(const CSkill* skill, CCharacterParameter& parameter);   // 7 barrage slots
i32 ApplySkillShotChargeTime(const CSkill* skill, CCharacterParameter& parameter);
i32 ApplySkillShortAttackStr(const CSkill* skill, CCharacterParameter& parameter);   // 9 close attacks
i32 ApplySkillShortAttackReload(const CSkill* skill, CCharacterParameter& parameter);
// One spell card's reload.
i32 ApplySkillSpellReload(const CSkill* skill, f32& reload);
// RELOAD of spell cards 0 to 4 (not the high-tension and climax cards).
i32 ApplySkillSpellReload(const CSkill* skill, CCharacterParameter& parameter);
i32 ApplySkillSpark(const CSkill* skill, CCharacterParameter& parameter);   // SPARKA and SPARKB
