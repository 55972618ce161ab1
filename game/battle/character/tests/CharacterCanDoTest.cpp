// Can-do tests and the rates that follow the tension level and the skills.
#include "CharacterTestSupport.h"

#include <functional>

namespace ORV_TEST_FILE_ID {

using namespace character_test;

namespace {

class CanDo : public CharacterTest {
protected:
    void SetUp() override
    {
        CharacterTest::SetUp();
        fighter_ = NewFighter();
    }
    void Create(u32 skill = 0)
    {
        CharacterCreateRecord record;
        record.skills[0] = skill;
        ASSERT_EQ(fighter_->Create(&record), 1);
        for (u32 i = 0; i < kSpellSlotCount; ++i) Card(i).stock = 1;
    }
    FakeSpellCard& Card(u32 slot) { return *static_cast<FakeSpellCard*>(fighter_->GetSpellCards()[slot].get()); }

    // A state in which every test passes.
    void Ready()
    {
        CharacterStatus& s = *fighter_->GetStatus();
        CharacterValues& v = fighter_->GetParameter()->values;
        s.tension = 3, s.ammunition = 5, s.mp = 100, s.lockedTargetId = 9;
        s.timers.guardReload = 10, s.timers.shortAttackCooldown = 10;
        v.spark.maxSparkGauge = 5, s.sparkGauge = 5;
        v.spark.records[0].hp = 1.0f, v.spark.records[0].mp = 0;   // HP within the spark's share
    }

    std::unique_ptr<CPlayerCharacter> fighter_;
};

using Test = std::function<u32(const CCharacterBase&)>;
struct Named {
    const char* name;
    Test test;
    bool result;   // refused with the result action queued
};
const Named kTests[] = {
    {"guard", [](auto& c) { return c.CanGuard(); }, true},
    {"short attack", [](auto& c) { return c.CanShortAttack(0); }, true},
    {"shoot", [](auto& c) { return c.CanShoot(); }, true},
    {"cast", [](auto& c) { return c.CanCastSpell(); }, true},
    {"exception", [](auto& c) { return c.CanCastExceptionSpell(); }, true},
    {"high tension", [](auto& c) { return c.CanCastHiTensionSpell(); }, true},
    {"climax", [](auto& c) { return c.CanCastClimaxSpell(); }, true},
    {"shoot from state", [](auto& c) { return c.CanShootFromState(); }, true},
    {"cast from state", [](auto& c) { return c.CanCastFromState(); }, true},
    {"slide", [](auto& c) { return c.CanSlide(); }, true},
    {"double slide", [](auto& c) { return c.CanDoubleSlide(); }, true},
    {"dash", [](auto& c) { return c.CanDash(); }, true},
    {"mirage slide", [](auto& c) { return c.CanMirageSlide(); }, true},
    {"attack ready", [](auto& c) { return c.IsAttackReady(); }, true},
    {"spark", [](auto& c) { return c.CanSpark(); }, false},
};

TEST_F(CanDo, EveryTestRefusesWhileOutStunnedOrAtTheResult)
{
    Create();
    const CharacterStatus ready = (Ready(), *fighter_->GetStatus());
    for (const Named& t : kTests) EXPECT_EQ(t.test(*fighter_), 1u) << t.name;

    struct {
        const char* what;
        void (*set)(CharacterStatus&, battle_test::FakeBattleScene&);
    } const blockers[] = {
        {"out", [](CharacterStatus& s, battle_test::FakeBattleScene& scene) { s.revival = 1, scene.teamLives = 0; }},
        {"stunned", [](CharacterStatus& s, battle_test::FakeBattleScene&) { s.timers.stun = 0.5f; }},
        {"result queued", [](CharacterStatus& s, battle_test::FakeBattleScene&) { s.queuedAction = kActionResult; }},
    };
    for (const auto& b : blockers) {
        *fighter_->GetStatus() = ready;
        scene_.teamLives = 1;
        b.set(*fighter_->GetStatus(), scene_);
        for (const Named& t : kTests) {
            if (std::string(b.what) == "result queued" && !t.result) continue;
            EXPECT_EQ(t.test(*fighter_), 0u) << b.what << ": " << t.name;
        }
    }
}

TEST_F(CanDo, TensionLevelsOpenTheCardsAndSetTheRates)
{
    Create();
    Ready();
    CharacterStatus& s = *fighter_->GetStatus();
    TensionBonus* rows = fighter_->GetParameter()->values.bonuses;
    for (u32 t = 0; t < 4; ++t) {
        const f32 f = f32(t);
        rows[t].motionSpeed = 1 + f, rows[t].strRevise = 10 + f, rows[t].sparkGaugeRevise = 20 + f;
        rows[t].shortAttackReloadRevise = 30 + f, rows[t].mpRecoverRevise = 40 + f;
        rows[t].bulletSpeedRevise = 50 + f, rows[t].bulletHomingRevise = 60 + f;
    }
    s.reloadFactor = 2, s.mpFactor = 3;
    struct {
        u32 dash, hiTension, climax, fourthHit;
    } const levels[] = {{0, 0, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 1}, {1, 1, 1, 1}};
    for (u32 t = 0; t < 4; ++t) {
        const f32 f = f32(t);
        s.tension = t, s.action = 0;
        EXPECT_EQ(fighter_->CanDash(), levels[t].dash) << t;
        EXPECT_EQ(fighter_->CanCastHiTensionSpell(), levels[t].hiTension) << t;
        EXPECT_EQ(fighter_->CanCastClimaxSpell(), levels[t].climax) << t;
        s.action = kActionShortAttack;
        EXPECT_EQ(fighter_->CanShortAttack(4), levels[t].fourthHit) << t;
        EXPECT_EQ(fighter_->GetMotionSpeedRate(), 1 + f) << t;
        EXPECT_EQ(fighter_->GetStrengthFactor(), 10 + f) << t;
        EXPECT_EQ(fighter_->GetSparkGaugeFactor(), 20 + f) << t;
        EXPECT_EQ(fighter_->GetShortAttackReloadRate(), (30 + f) * 2) << t;
        EXPECT_EQ(fighter_->GetMpRecoveryRate(), (40 + f) * 3) << t;
        EXPECT_EQ(fighter_->GetBulletSpeedFactor(), 50 + f) << t;
        EXPECT_EQ(fighter_->GetBulletHomingFactor(), 60 + f) << t;
    }
    // The high-tension card keeps its own pace; motion at the normal row.
    s.tension = 3, s.action = kActionSpellCard, s.spellSlot = 5;
    EXPECT_EQ(fighter_->GetBulletSpeedFactor(), 1.0f);
    EXPECT_EQ(fighter_->GetMotionSpeedRate(), 2.0f);
    s.spellSlot = 6;
    EXPECT_EQ(fighter_->GetBulletHomingFactor(), 63.0f);   // the climax card is idle
    Card(6).idle = 0;
    EXPECT_EQ(fighter_->GetBulletHomingFactor(), 63.0f);   // started, its bind not yet hit
    Card(6).locked = 1;
    EXPECT_EQ(fighter_->GetBulletHomingFactor(), 1.0f);
    s.timers.freezeTime = 0.1f;
    EXPECT_EQ(fighter_->GetMotionSpeedRate(), 0.0f);
}

TEST_F(CanDo, SkillsChangeTheRulesOnlyThroughTheirFlags)
{
    // An empty place blocks nothing and gives factor 1.
    Create();
    Ready();
    EXPECT_EQ(fighter_->IsGuardable(), 1u);
    EXPECT_EQ(fighter_->GetSkillFactor(SkillModifier::kBaseStr), 1.0f);

    setting_test::SettingWriter()
        .Set("FLAG1", (1 << 0) | (1 << 2))
        .Set("FLAG2", (1 << 3) | (1 << 10) | (1 << 21))
        .Set("TENSIONSTR", 2.0f)
        .Set("BASESTR", 3.0f)
        .Set("MULTILOCKSTR", 5.0f)
        .Save("NoGuard.txt");
    setting_test::SettingWriter().Set("SKILL", "NoGuard.txt").Save("Skills2.txt");
    CSkillList skills;
    ASSERT_EQ(skills.LoadFile("Skills2.txt"), 1);
    scene_.skills = &skills;
    fighter_ = NewFighter();
    Create(1);
    Ready();
    CharacterStatus& s = *fighter_->GetStatus();
    fighter_->GetParameter()->values.bonuses[3].strRevise = 1;
    EXPECT_EQ(fighter_->CanGuard(), 0u);
    EXPECT_EQ(fighter_->CanSlide(), 0u);
    EXPECT_EQ(fighter_->CanDoubleSlide(), 1u);
    // MULTILOCKSTR counts only while two or more lock on.
    EXPECT_EQ(fighter_->GetStrengthFactor(), 6.0f);
    s.lockedByCount = 2;
    EXPECT_EQ(fighter_->GetStrengthFactor(), 30.0f);
    fighter_->GetParameter()->GetSpellCard(4).GetValues().berserkStrRevise = 0.5f;
    s.timers.statusTimers[kBuff1Timer] = 1;
    EXPECT_EQ(fighter_->GetStrengthFactor(), 15.0f);
}

TEST_F(CanDo, MultiLockFactorsStartAtExactlyTwoLocks)
{
    // Every lock-count modifier at its own value; each counts from the
    // second opponent that locks on, as a ratio to the factor unlocked.
    setting_test::SettingWriter()
        .Set("FLAG1", (1 << 6) | (1 << 26) | (1 << 27))
        .Set("FLAG2", (1 << 2) | (1 << 10) | (1 << 30))
        .Set("MULTILOCKMOVE", 2.0f)
        .Set("MULTILOCKSTR", 3.0f)
        .Set("MULTILOCKDAMAGE", 5.0f)
        .Set("MULTILOCKPOW", 7.0f)
        .Set("MULTILOCKSLIDEMP", 11.0f)
        .Set("MULTILOCKMPECOVER", 13.0f)
        .Save("MultiLock.txt");
    setting_test::SettingWriter().Set("SKILL", "MultiLock.txt").Save("Skills3.txt");
    CSkillList skills;
    ASSERT_EQ(skills.LoadFile("Skills3.txt"), 1);
    scene_.skills = &skills;
    fighter_ = NewFighter();
    Create(1);
    Ready();
    CharacterStatus& s = *fighter_->GetStatus();
    s.tension = 1;
    const f32 str = fighter_->GetStrengthFactor(), damage = fighter_->GetDamageFactor(0),
              speed = fighter_->GetSpeedFactor();
    for (u32 locks : {0u, 1u, 2u, 3u}) {
        s.lockedByCount = locks;
        const bool counts = locks >= 2;
        EXPECT_EQ(fighter_->GetStrengthFactor(), str * (counts ? 3.0f : 1.0f)) << locks;
        EXPECT_EQ(fighter_->GetDamageFactor(0), damage * (counts ? 5.0f : 1.0f)) << locks;
        EXPECT_EQ(fighter_->GetSpeedFactor(), speed * (counts ? 2.0f : 1.0f)) << locks;
        EXPECT_EQ(fighter_->GetSkillFactor(SkillModifier::kMultiLockPow), counts ? 7.0f : 1.0f) << locks;
        EXPECT_EQ(fighter_->GetSkillFactor(SkillModifier::kMultiLockSlideMp), counts ? 11.0f : 1.0f) << locks;
        EXPECT_EQ(fighter_->GetSkillFactor(SkillModifier::kMultiLockMpRecover), counts ? 13.0f : 1.0f) << locks;
    }
}

TEST(SpellTables, MotionAndVoiceBySlot)
{
    const i32 motions[] = {106, 112, 109, 115, 118, 133, 136, -1, -1};
    const i32 voices[] = {38, 39, 40, 41, 42, 43, 45, -1, -1};
    for (u32 slot = 0; slot < 9; ++slot) {
        EXPECT_EQ(CCharacterBase::GetSpellMotion(slot), motions[slot]) << slot;
        EXPECT_EQ(CCharacterBase::GetSpellVoice(slot), voices[slot]) << slot;
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
