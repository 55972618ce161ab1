#include "game/battle/character/CharacterParameter.h"
#include "game/battle/character/SkillModifiers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>

namespace ORV_TEST_FILE_ID {

namespace {

using M = SkillModifier;

// A skill with every modifier at value and the given flag words.
CSkill MakeSkill(u32 flag1, u32 flag2, f32 value = 2.5f)
{
    auto* record = new CSkillSetting();
    record->values.flag1 = i32(flag1);
    record->values.flag2 = i32(flag2);
    for (f32& m : record->values.modifiers) m = value;
    record->values.baseAttackCount = 3;
    return CSkill(record);
}

u32 Bit(u8 bit) { return 1u << bit; }

CCharacterParameter Defaults()
{
    CCharacterParameter p;
    p.RegisterKeys();
    p.ApplyDefaults();
    return p;
}

}  // namespace

// Each bit means one thing: the modifiers' rules, the flag-only rules, the
// bits the character's can-do tests read and the one the opponents' consoles
// read never share a bit. The one exception is the climax skill's FLAG2
// bit 4, which gives both its climax wait and its high-tension card guard.
TEST(SkillModifiers, EveryRuleHasABitOfItsOwn)
{
    std::set<std::pair<int, int>> used;
    for (u32 i = 0; i < kSkillModifierCount; ++i) {
        const SkillModifierRule& rule = kSkillModifierRules[i];
        EXPECT_EQ(u32(rule.modifier), i);
        EXPECT_LT(rule.bit, 32);
        EXPECT_TRUE(used.insert({int(rule.word), rule.bit}).second) << kSkillModifierKeys[i];
    }
    const SkillFlagBit others[] = {
        kTripleSlideFlag, kEmptyStartFlag, kReversalBarrageFlag, kBaseAttackCountFlag, kAutoSlideFlag,
        kHiddenStatusFlag,
        // Read by the can-do tests: guard, mirage cancel, spark, slide, card
        // reload, MP scrape, combination, one more rule.
        {SkillFlagWord::kFlag2, 3}, {SkillFlagWord::kFlag2, 17}, {SkillFlagWord::kFlag2, 19},
        {SkillFlagWord::kFlag2, 21}, {SkillFlagWord::kFlag2, 25}, {SkillFlagWord::kFlag2, 27},
        {SkillFlagWord::kFlag2, 12}, {SkillFlagWord::kFlag2, 11}};
    for (const SkillFlagBit& flag : others)
        EXPECT_TRUE(used.insert({int(flag.word), flag.bit}).second) << int(flag.word) << " bit " << int(flag.bit);
    EXPECT_FALSE(used.insert({int(SkillFlagWord::kFlag2), 4}).second);
}

// The bits the spell cards and the consoles read through the skills.
TEST(SkillModifiers, CardAndConsoleBitsAreWhereTheCardsReadThem)
{
    struct {
        M modifier;
        u8 bit;
    } const rows[] = {{M::kClimaxWait, 4}, {M::kSpellPer, 22}};
    for (const auto& row : rows) {
        const SkillModifierRule& rule = kSkillModifierRules[u32(row.modifier)];
        EXPECT_EQ(std::pair(int(rule.word), int(rule.bit)), std::pair(int(SkillFlagWord::kFlag2), int(row.bit)))
            << kSkillModifierKeys[u32(row.modifier)];
    }
    const CSkill hidden = MakeSkill(0, 0x100000u);
    EXPECT_TRUE(HasSkillFlag(&hidden, kHiddenStatusFlag));
    EXPECT_EQ(GetSkillModifier(&hidden, M::kSpellPer), 1.0f);
}

// Through its own bit a modifier gives its value; with every other bit set
// it gives its neutral value; the multi-lock ones need two locks.
TEST(SkillModifiers, ModifiersCountOnlyThroughTheirBit)
{
    for (const SkillModifierRule& rule : kSkillModifierRules) {
        const char* key = kSkillModifierKeys[u32(rule.modifier)];
        const bool first = rule.word == SkillFlagWord::kFlag1;
        const CSkill own = MakeSkill(first ? Bit(rule.bit) : 0, first ? 0 : Bit(rule.bit));
        const CSkill rest = MakeSkill(first ? ~Bit(rule.bit) : ~0u, first ? ~0u : ~Bit(rule.bit));
        EXPECT_EQ(GetSkillModifier(&own, rule.modifier, 2), 2.5f) << key;
        EXPECT_EQ(GetSkillModifier(&own, rule.modifier, 1), rule.multiLock ? rule.neutral : 2.5f) << key;
        EXPECT_EQ(GetSkillModifier(&rest, rule.modifier, 2), rule.neutral) << key;
        EXPECT_EQ(GetSkillModifier(nullptr, rule.modifier, 2), rule.neutral) << key;
    }
    // A dash-start cost is multiplied: without its bit it stays as it is.
    EXPECT_EQ(kSkillModifierRules[u32(M::kDashStartMp)].neutral, 1.0f);
    // Added amounts are neutral at 0.
    for (M added : {M::kDashKeepMp, M::kSlideMp, M::kSparkMp, M::kGuardAngle, M::kDashStartMotionTime})
        EXPECT_EQ(kSkillModifierRules[u32(added)].neutral, 0.0f) << kSkillModifierKeys[u32(added)];

    const CSkill count = MakeSkill(0, Bit(kBaseAttackCountFlag.bit));
    EXPECT_EQ(GetSkillBaseAttackCount(&count), 3);
    EXPECT_EQ(GetSkillBaseAttackCount(nullptr), 0);
    const CSkill none = MakeSkill(~0u, ~Bit(kBaseAttackCountFlag.bit));
    EXPECT_EQ(GetSkillBaseAttackCount(&none), 0);
}

TEST(SkillModifiers, ProductsAndTestsOverThePlaces)
{
    const CSkill damage = MakeSkill(Bit(5), Bit(30) | Bit(29), 2.0f);   // BASEDAMAGE, MULTILOCKDAMAGE, DOWNLIMIT
    const CSkill power = MakeSkill(Bit(26) | Bit(7), Bit(5), 3.0f);     // MULTILOCKPOW, triple slide, HITENSIONRELOAD
    const SkillPlaces places = {&damage, nullptr, &power};
    EXPECT_EQ(GetSkillDamageFactor(places, 1), 2.0f);
    EXPECT_EQ(GetSkillDamageFactor(places, 2), 4.0f);
    EXPECT_EQ(GetSkillLimitFactor(places), 2.0f);
    EXPECT_EQ(GetSkillHiTensionReload(places), 3.0f);
    EXPECT_EQ(GetSkillPowerFactor(places, 1), 1.0f);
    EXPECT_EQ(GetSkillPowerFactor(places, 3), 3.0f);
    EXPECT_EQ(GetSkillDamageFactor({&damage, &damage, nullptr}, 2), 16.0f);
    EXPECT_EQ(GetSkillDamageFactor({}, 2), 1.0f);

    EXPECT_TRUE(AnySkillHas(places, kTripleSlideFlag));
    for (SkillFlagBit flag : {kAutoSlideFlag, kReversalBarrageFlag, kEmptyStartFlag})
        EXPECT_FALSE(AnySkillHas(places, flag));
    EXPECT_TRUE(AnySkillHas({nullptr, nullptr, &damage}, {SkillFlagWord::kFlag2, 29}));
}

// What a skill does to the parameter copy at the start of a battle.
TEST(SkillModifiers, BattleStartAdjustments)
{
    CCharacterParameter p = Defaults();
    const CCharacterParameter before = Defaults();
    const CSkill idle = MakeSkill(0, 0, 7.0f);
    for (auto apply : {&ApplySkillShotAmmunition, &ApplySkillShotChargeTime, &ApplySkillShortAttackStr,
                       &ApplySkillShortAttackReload, &ApplySkillSpark}) {
        EXPECT_EQ(apply(&idle, p), 1);
        EXPECT_EQ(apply(nullptr, p), 0);
    }
    // Flags clear: nothing changes, whatever the modifiers say.
    EXPECT_EQ(std::memcmp(p.values.shots, before.values.shots, sizeof p.values.shots), 0);
    EXPECT_EQ(std::memcmp(p.values.shortAttacks, before.values.shortAttacks, sizeof p.values.shortAttacks), 0);
    EXPECT_EQ(std::memcmp(&p.values.spark, &before.values.spark, sizeof p.values.spark), 0);

    // Truncated toward zero after each factor: 999 x 0.5 = 499, then x 0.5 = 249.
    const CSkill half = MakeSkill(~0u, ~0u, 0.5f);
    ApplySkillShotAmmunition(&half, p);
    ApplySkillShotAmmunition(&half, p);
    EXPECT_EQ(p.values.shots[6].ammunition, 249);
    const CSkill big = MakeSkill(0, Bit(8) | Bit(26), 1000.0f);
    ApplySkillShotAmmunition(&big, p);
    EXPECT_EQ(p.values.shots[0].ammunition, 65535);   // held within 16 bits
    p.values.shortAttacks[4].str = 3;
    const CSkill str = MakeSkill(0, Bit(26), 1.9f);
    ApplySkillShortAttackStr(&str, p);
    EXPECT_EQ(p.values.shortAttacks[4].str, 5);
    EXPECT_EQ(p.values.shortAttacks[0].str, 1);

    const CSkill spark = MakeSkill(Bit(20) | Bit(21) | Bit(22) | Bit(23) | Bit(31), Bit(9) | Bit(13) | Bit(1), 2.0f);
    ApplySkillSpark(&spark, p);
    ApplySkillShotChargeTime(&spark, p);
    ApplySkillShortAttackReload(&spark, p);
    const SparkRecord& b = p.values.spark.records[1];
    EXPECT_EQ((std::vector<f32>{b.hp, b.mp, b.time, b.invincibilityTime}), (std::vector<f32>{0.4f, 12.0f, 2.0f, 2.5f}));
    EXPECT_EQ(p.values.shots[3].chargeTime, 2.0f);
    EXPECT_EQ(p.values.shortAttacks[8].reload, 2.0f);
    for (u32 i = 0; i < kSpellSlotCount; ++i) p.GetSpellCard(i).GetValues().reload = 2.0f;
    EXPECT_EQ(ApplySkillSpellReload(&spark, p), 1);
    for (u32 i = 0; i < kSpellSlotCount; ++i) EXPECT_EQ(p.GetSpellCard(i).GetValues().reload, i < 5 ? 4.0f : 2.0f) << i;
    f32 reload = 1.5f;
    EXPECT_EQ(ApplySkillSpellReload(&spark, reload), 1);
    EXPECT_EQ(reload, 3.0f);
    EXPECT_EQ(ApplySkillSpellReload(&idle, reload), 1);
    EXPECT_EQ(reload, 3.0f);
}

}  // namespace ORV_TEST_FILE_ID
