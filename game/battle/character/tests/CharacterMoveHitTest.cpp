// Movement costs and invincibility, the slide direction table, the damage
// formula, the roll and limit rules, defeat and the guard's window edges,
// with figures worked out by hand.
#include "CharacterTestSupport.h"
#include "game/battle/character/CharacterSlots.h"
#include "game/battle/character/StatisticCounters.h"
#include "game/battle/object/SpellCard.h"
#include "game/battle/object/SpellCardSetting.h"
#include "game/battle/object/StageSetting.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "game/data/tests/SettingWriter.h"

#include "engine/core/Random.h"
#include "engine/scene/Effect.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <set>

namespace ORV_TEST_FILE_ID {

using namespace character_test;

namespace {

class MoveHit : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        Fresh();
    }
    // A new fighter with round figures.
    void Fresh()
    {
        MakeFighter();
        CharacterValues& v = c_->GetParameter()->values;
        v.general.slideMp = 2, v.general.doubleSlideMp = 3, v.general.dashStartMp = 1.5f;
        v.general.slideInvincibilityTime = 0.3f, v.general.doubleSlideInvincibilityTime = 0.4f;
        v.limit = {3, 100.0f, 2.0f, 7.0f, 0};   // ROLLDAMAGECOUNT 3, MAXLIMIT 100
        for (TensionBonus& b : v.bonuses) b.damageRevise = 1.5f;
        S().mp = 10, S().tension = 1, S().hp = 800, S().exactHp = 800;
    }
    CharacterStatus& S() { return *c_->GetStatus(); }
    CCharacterAction::Hit HitOf(f32 damage, u32 type, u32 kind = 0, u32 canKill = 1)
    {
        return {damage, 1.0f, 10.0f, 0, 0, CVector3(0, 0, 1), type, kind, canKill, 0, nullptr};
    }
};

}  // namespace

TEST_F(MoveHit, StartsPayTheirCostAndGrantTheirInvincibility)
{
    struct Row {
        u32 (CCharacterAction::*start)(f32);
        u32 before, after;
        f32 mp, invincibility;
    } const rows[] = {
        {&CCharacterAction::StartSlide, kActionNeutral, kActionSlide, 8.0f, 0.3f},
        {&CCharacterAction::StartSlide, kActionShoot, kActionSlideShoot, 8.0f, 0.3f},
        {&CCharacterAction::StartDoubleSlide, kActionSlide, kActionDoubleSlide, 7.0f, 0.4f},
        {&CCharacterAction::StartDoubleSlide, kActionSlideShoot, kActionDoubleSlideShoot, 7.0f, 0.4f},
        {&CCharacterAction::StartDash, kActionNeutral, kActionDash, 8.5f, 0.0f},
        // No skill grants the triple slide: refused with MP to spare.
        {&CCharacterAction::StartTripleSlide, kActionDoubleSlide, kActionDoubleSlide, 10.0f, 0.0f},
    };
    for (const Row& r : rows) {
        S().mp = 10, S().action = r.before, S().timers.invincibility = 0;
        (c_.get()->*r.start)(0.0f);
        EXPECT_EQ(std::make_tuple(S().action, S().mp, S().timers.invincibility),
                  std::make_tuple(r.after, r.mp, r.invincibility)) << r.after;
    }
}

TEST_F(MoveHit, SlideAnglesPickTheirMotion)
{
    const std::pair<f32, const char*> rows[] = {{45, "SLIDEFRONT"}, {45.5f, "SLIDERIGHT"}, {135, "SLIDERIGHT"},
        {225, "SLIDEBACK"}, {226, "SLIDELEFT"}, {315, "SLIDEFRONT"}, {-45, "SLIDEFRONT"}, {-90, "SLIDELEFT"},
        {360, "SLIDEFRONT"}, {-2, "SLIDEUP"}, {-3, "SLIDEDOWN"}};
    for (const auto& [angle, key] : rows) {
        EXPECT_EQ(CCharacterAction::SlideMotionFor(angle, false), FindMotionKey(key)) << angle;
        EXPECT_EQ(CCharacterAction::SlideMotionFor(angle, true), FindMotionKey((std::string("DOUBLE") + key).c_str()));
    }
}

// A bullet near a fighter with the automatic-slide skill slides it at the
// end of its frame, the way its recent input points: climb or descend (held,
// or let go within RESERVETIME) go up; no direction at all picks a side at
// random; else the move angle, turned by the camera's yaw (90 here) only
// when no target is locked.
TEST_F(MoveHit, TheAutomaticSlideGoesTheWayTheInputPoints)
{
    ASSERT_TRUE(setting_test::SettingWriter().Set("FLAG2", 1 << 23).Save("AutoSlide.txt"));
    ASSERT_TRUE(setting_test::SettingWriter().Set("SKILL", "AutoSlide.txt").Save("Skill.txt"));
    ASSERT_EQ(skills_.LoadFile("Skill.txt"), 1);
    battle_test::FakeFighter target(CVector3(0, 0, -10));
    constexpr u32 kNone = 99;
    struct Row { u32 code; u32 freeMs; f32 moveAngle; bool locked; const char* motion; } rows[] = {
        {27, 0, 0, true, "SLIDEUP"}, {29, 0, 0, true, "SLIDEUP"}, {27, 200, 0, true, "SLIDEUP"},
        {15, 0, 90, true, "SLIDERIGHT"}, {12, 200, 180, true, "SLIDEBACK"}, {15, 0, 90, false, "SLIDEBACK"},
        {27, 250, 180, true, nullptr},   // let go RESERVETIME ago: no direction
        {kNone, 0, 180, true, nullptr},
    };
    std::set<u32> sides;
    for (u32 n = 0; n < 16; ++n) {
        const Row& r = rows[std::min<u32>(n, std::size(rows) - 1)];
        SCOPED_TRACE(testing::Message() << "row " << n);
        auto f = NewFighter<ScriptedFighter>();
        CharacterCreateRecord record;
        record.skills[0] = 1;
        ASSERT_EQ(f->Create(&record), 1);
        ASSERT_EQ(f->HasSkillAutoSlide(), 1u);
        CharacterStatus& s = *f->GetStatus();
        s.mp = 100, s.action = kActionNeutral, s.moveAngle = r.moveAngle, s.lockedTargetId = r.locked ? target.GetId() : 0;
        static_cast<FakeCamera*>(f->GetCameraController())->angles = CVector3(0, 90, 0);
        InputState& in = f->GetInput();
        for (u32 code : {12u, 13u, 14u, 15u, 27u, 29u}) in.held[code] = 0, in.free[code] = 1, in.freeTime[code] = 100000;
        if (r.code != kNone) in.held[r.code] = r.freeMs == 0, in.free[r.code] = r.freeMs != 0, in.freeTime[r.code] = r.freeMs;
        f->GetMeeting().autoSlide = 1;
        f->LateUpdate(0);
        ASSERT_EQ(s.action, u32(kActionSlide));
        if (r.motion) {
            EXPECT_EQ(s.slideMotion, FindMotionKey(r.motion));
        } else {
            const bool side = s.slideMotion == FindMotionKey("SLIDERIGHT") || s.slideMotion == FindMotionKey("SLIDELEFT");
            EXPECT_TRUE(side) << "slide motion " << s.slideMotion;
            sides.insert(s.slideMotion);
        }
    }
    EXPECT_EQ(sides.size(), 2u) << "both sides come up";
}

TEST_F(MoveHit, DamageFormulaAcrossKindsAndTypes)
{
    struct Row {
        f32 damage;
        u32 type, kind, canKill, friendly;
        i32 hp;
        u32 action;
    } const rows[] = {
        {10, 2, 0, 1, 0, 785, kActionHitReaction},   // 10 x DAMAGEREVISE 1.5
        {10, 2, 10, 1, 0, 790, kActionHitReaction},  // climax hits ignore the factors
        {10, 2, 0, 1, 1, 793, kActionHitReaction},   // a teammate's, halved: 7.5 -> 7
        {0.6f, 1, 0, 1, 0, 800, kActionHitReaction}, // 0.9 takes no HP
        {0, 0, 0, 1, 0, 800, kActionNeutral},        // nothing at all
        {900, 3, 0, 0, 0, 1, kActionHitReaction},    // cannot kill: left at 1
        {900, 3, 0, 1, 0, 0, kActionDefeated},
        // Damage from data and peers converts alike on every machine: NaN
        // takes nothing, beyond i32 holds its end, and life stops at its top.
        {NAN, 2, 0, 1, 0, 800, kActionHitReaction},
        {3e9f, 3, 0, 0, 0, 1, kActionHitReaction},
        {3e9f, 3, 0, 1, 0, 0, kActionDefeated},
        // A negative damage heals no higher than the full HP.
        {-3e9f, 2, 0, 1, 0, 800, kActionHitReaction},
        {-1e30f, 2, 0, 1, 0, 800, kActionHitReaction},
        {-INFINITY, 2, 0, 1, 0, 800, kActionHitReaction},
    };
    for (const Row& r : rows) {
        Fresh();
        S().moveHit.friendlyFire = r.friendly;
        CCharacterAction::Hit hit = HitOf(r.damage, r.type, r.kind, r.canKill);
        ScriptedFighter mate(nullptr);
        if (r.friendly) hit.attacker = &mate;   // both on team 0
        EXPECT_EQ(c_->TakeHit(hit), 1);
        EXPECT_EQ(std::make_tuple(S().hp, S().exactHp, S().action), std::make_tuple(r.hp, f32(r.hp), r.action))
            << r.damage << " " << r.kind;
    }
}

TEST_F(MoveHit, ANegativeDamageHealsUpToTheFullHp)
{
    // DAMAGEREVISE 1.5 scales the heal as it scales a hit.
    S().hp = 700, S().exactHp = 700;
    const std::pair<f32, i32> steps[] = {{-50, 775}, {-16, 799}, {-2, 800}, {-1, 800}, {10, 785}};
    for (const auto& [damage, hp] : steps) {
        EXPECT_EQ(c_->TakeHit(HitOf(damage, 1)), 1);
        EXPECT_EQ(std::pair(S().hp, S().exactHp), std::pair(hp, f32(hp))) << damage;
    }
}

// The stage's box pushes a fighter back inside; only a blow-off or fall-off
// flight bounces off its wall into a down, and a downed fighter pressed
// against the wall is not downed again.
TEST_F(MoveHit, OnlyBlowOffAndFallOffFlightsBounceOffTheStage)
{
    StageParameters stage{};
    stage.box = CBox({-10, 0, -10}, {10, 10, 10});
    struct Row {
        u32 action, type;
        u32 downs, typeAfter;
    } const rows[] = {
        {kActionHitReaction, 8, 1, 10}, {kActionHitReaction, 9, 1, 10}, {kActionHitReaction, 10, 0, 10},
        {kActionHitReaction, 3, 0, 3},  {kActionHitReaction, 7, 0, 7},  {kActionNeutral, 8, 0, 8},
    };
    for (const Row& r : rows) {
        Fresh();
        S().action = r.action, S().damageType = r.type, S().hitDirection = CVector3(-1, 0, 0);
        c_->GetPosition()->Set(-11, 1, 0);   // through the wall at min.x, flying on
        c_->OnMessage(kMsgOutsideStageBox, nullptr, reinterpret_cast<intptr_t>(&stage));
        EXPECT_EQ(c_->GetPosition()->x, -10.0f + c_->GetParameter()->values.body.radius) << r.type;
        EXPECT_EQ(std::pair(S().moveHit.downs, S().damageType), std::pair(r.downs, r.typeAfter)) << r.type;
        // Pressed against the wall again the next frame: no second down.
        c_->GetPosition()->Set(-11, 1, 0);
        S().hitDirection = CVector3(-1, 0, 0);
        c_->OnMessage(kMsgOutsideStageBox, nullptr, reinterpret_cast<intptr_t>(&stage));
        EXPECT_EQ(S().moveHit.downs, r.downs) << r.type;
    }
}

// The test model has no damage motions: the reaction ends once its
// knock-back has run out instead of waiting for a motion that never plays.
TEST_F(MoveHit, AReactionWithoutItsMotionEndsAfterTheKnockBack)
{
    S().timers.hitReaction = 0;
    ASSERT_EQ(c_->TakeHit(HitOf(10, 3)), 1);
    ASSERT_EQ(S().action, u32(kActionHitReaction));
    std::vector<u32> actions;
    for (u32 frame = 0; frame < 12; ++frame) c_->Update(0), actions.push_back(S().action);
    // Knock power 1 at POWATTENUATION 1 a second: four quarter-second frames.
    EXPECT_EQ(actions[3], u32(kActionHitReaction));
    EXPECT_EQ(actions.back(), u32(kActionNeutral));
    EXPECT_EQ(S().damageType, 0u);
}

TEST_F(MoveHit, RollsForceTheLimitAndALimitOverSpinsDown)
{
    // Same type twice: the second roll forces MAXLIMIT; alternating types
    // only on the third (ROLLDAMAGECOUNT) roll.
    const std::vector<std::vector<u32>> rolls = {{5, 5}, {5, 6, 5}};
    for (const auto& types : rolls) {
        Fresh();
        std::vector<f32> limits;
        for (u32 t : types) {
            c_->TakeHit(HitOf(1, t));
            limits.push_back(S().limitGauge);
        }
        std::vector<f32> expected(types.size(), 0.0f);
        for (u32 i = 0; i + 1 < types.size(); ++i) expected[i] = 10.0f * f32(i + 1);
        expected.back() = 100.0f;
        EXPECT_EQ(limits, expected);
    }
    // At MAXLIMIT the next hit spins the fighter down with LIMITDOWNPOW.
    c_->TakeHit(HitOf(1, 2));
    EXPECT_EQ(std::make_tuple(S().damageType, S().damageMotion, S().knockPower),
              std::make_tuple(7u, FindMotionKey("DAMAGESPIN"), 7.0f));
}

// A fighter spinning down keeps its spin effect while it charges a shot:
// the charge effect comes at CHARGEEFFECTSTARTTIME beside it, goes at
// CHARGETIME, and the clean-up of a charge let go leaves the spin's alone.
TEST_F(MoveHit, TheChargeEffectLeavesTheSpinEffectAlone)
{
    S().effects[FindEffectKey("EFCDAMAGESPINE")] = &container_;
    S().effects[FindEffectKey("EFCCHARGE")] = &container_;
    c_->GetParameter()->values.general.chargeEffectStartTime = 0.2f;
    c_->GetParameter()->values.shots[0].chargeTime = 1.0f;
    S().limitGauge = 100, S().ammunition = 5;
    c_->TakeHit(HitOf(1, 2));
    ASSERT_EQ(S().damageType, 7u);
    const CEffect* spin = c_->GetAttachedObject(5);
    ASSERT_NE(spin, nullptr);
    // Held for four quarter-second frames, then let go.
    const std::pair<bool, u32> frames[] = {{true, 1}, {true, 1}, {true, 1}, {true, 0}, {false, 0}};
    for (u32 f = 0; f < std::size(frames); ++f) {
        c_->GetInput().held[24] = frames[f].first;
        c_->Update(0);
        ASSERT_EQ(S().action, u32(kActionHitReaction)) << f;
        u32 others = 0;
        bool spinning = false;
        for (u32 i = 0; i < kAttachedObjectCount; ++i) {
            if (c_->GetAttachedObject(i) == spin) spinning = true;
            else if (c_->GetAttachedObject(i)) ++others;
        }
        EXPECT_TRUE(spinning) << f;
        EXPECT_EQ(others, frames[f].second) << f;
    }
}

TEST_F(MoveHit, ADownFromTheFrontFallsBackButADefeatFallsForward)
{
    // The hit travels along +Z: from in front of a fighter facing -Z.
    CCharacterAction::Hit hit = HitOf(10, 10);
    c_->TakeHit(hit);
    EXPECT_EQ(S().damageMotion, FindMotionKey("DAMAGEDOWNBACKSTART"));
    hit.damage = 900;
    c_->TakeHit(hit);
    EXPECT_EQ(std::make_tuple(S().action, S().damageMotion, S().hp),
              std::make_tuple(u32(kActionDefeated), FindMotionKey("DAMAGEDOWNFRONTSTART"), 0));
    // Revival: the team has lives, the HP refills past HP and is held there.
    S().revival = 1, S().exactHp = 799.5f;
    c_->GetParameter()->values.body.addHpSpeed = 100;
    c_->DefeatedStep(0);
    EXPECT_EQ(S().hp, 800);
}

// Through the real frame: a defeated fighter in a battle with revival gets
// up with a full magazine (FULLCHARGEFLG 1 by default), or with none under
// the empty-start skill, which then reloads it from the start (RELOAD 1 s).
TEST_F(MoveHit, ARevivedFighterComesBackReloadedUnlessASkillStartsItEmpty)
{
    setting_test::SettingWriter().Set("FLAG1", 1 << 19).Save("Empty.txt");
    setting_test::SettingWriter().Set("SKILL", "Empty.txt").Save("Skill.txt");
    ASSERT_EQ(skills_.LoadFile("Skill.txt"), 1);
    // Without FULLCHARGEFLG the fighter keeps what it had; the skill's
    // empty start holds either way. What refills, and the reload started,
    // are those of the selected shot slot (slot 1: 12 rounds, 0.5 s).
    struct Row {
        bool empty;
        i32 fullCharge;
        u32 slot;
        u32 revived;
    } const rows[] = {{false, 1, 0, 30}, {true, 1, 0, 0}, {false, 0, 0, 3}, {true, 0, 0, 0},
                      {false, 1, 1, 12}, {true, 1, 1, 0}, {false, 0, 1, 3}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "empty " << r.empty << ", full charge " << r.fullCharge << ", slot " << r.slot);
        c_ = NewFighter<ScriptedFighter>();
        CharacterCreateRecord record;
        record.skills[0] = r.empty ? 1 : 0;
        ASSERT_EQ(c_->Create(&record), 1);
        c_->GetParameter()->values.body.addHpSpeed = 4000;   // full again within a frame
        c_->GetParameter()->values.limit.fullChargeFlg = r.fullCharge;
        c_->GetParameter()->values.shots[1].ammunition = 12;
        c_->GetParameter()->values.shots[1].reload = 0.5f;
        const f32 reload = c_->GetParameter()->values.shots[r.slot].reload;
        S().revival = 1, S().ammunition = 3, S().selectedBarrage = r.slot;
        c_->TakeHit(HitOf(5000, 3));
        ASSERT_EQ(S().action, u32(kActionDefeated));
        u32 frames = 0;
        while (frames < 40 && S().action == kActionDefeated) c_->Update(0), ++frames;
        ASSERT_EQ(S().action, u32(kActionNeutral));
        EXPECT_EQ(S().hp, 800);
        EXPECT_EQ(S().selectedBarrage, r.slot);
        EXPECT_EQ(S().ammunition, r.revived);
        if (!r.empty) continue;
        EXPECT_EQ(S().timers.ammoReloadDuration, reload);
        // Four quarter-second frames of reload later the empty one is full.
        for (u32 f = 0; f < 4; ++f) c_->Update(0);
        EXPECT_EQ(S().ammunition, r.slot == 1 ? 12u : 30u);
    }
}

// Revived in a battle with lives, a fighter stays down while its HP refills
// at ADDHPSPEED (60 a second: 15 a quarter-second frame) and gets up only
// once the refill has passed HP: 800 HP take 54 frames. A fighter with every
// motion holds its down motion until then and is back once its recover
// motion has played; one without them is back on that frame.
TEST_F(MoveHit, ARevivedFighterStaysDownUntilItsHpIsRefilled)
{
    AddFullFighter();
    for (const char* file : {"Chr_Test.txt", "Chr_Full.txt"}) {
        SCOPED_TRACE(file);
        auto* parameter = new CCharacterParameter();
        ASSERT_EQ(parameter->LoadFile(file), 1);
        c_ = std::make_unique<ScriptedFighter>(parameter, nullptr);
        ASSERT_EQ(c_->LoadResource(&resources_), 1);
        ASSERT_EQ(c_->Create(nullptr), 1);
        ASSERT_EQ(c_->GetParameter()->values.body.addHpSpeed, 60.0f);
        ASSERT_EQ(c_->GetParameter()->values.general.hp, 800);
        S().revival = 1;
        c_->TakeHit(HitOf(5000, 3));
        ASSERT_EQ(S().action, u32(kActionDefeated));
        const u32 recover = S().damageMotion + 2;
        const bool motions = c_->HasMotion(recover) != 0;
        u32 frame = 1, refilled = 0, up = 0;
        for (; frame <= 200 && !up; ++frame) {
            const bool recovering = c_->IsChangedAnimation(recover) != 0;
            c_->Update(0);
            if (S().action != kActionDefeated) up = frame;
            if (!refilled && S().exactHp > 800.0f) refilled = frame;
            if (refilled) {
                EXPECT_EQ(S().hp, 800) << frame;
            } else {
                EXPECT_EQ(S().hp, i32(15 * frame)) << frame;
                EXPECT_EQ(c_->IsChangedAnimation(recover), 0u) << frame;
            }
            if (up) {
                EXPECT_EQ(recovering, motions) << "back once the recover motion has played";
            }
        }
        EXPECT_EQ(refilled, 54u);
        EXPECT_EQ(up > 54, motions) << up;
        if (!motions) {
            EXPECT_EQ(up, 54u);
        }
        EXPECT_EQ(S().action, u32(kActionNeutral));
        EXPECT_EQ(S().hp, 800);
    }
}

// With FULLCHARGEFLG every card comes back full too: its stock at its own
// AMMUNITION, and the tension cards (5 and 6), shown by their reload alone,
// with their reload clock at RELOAD. Each card has its own figures, and
// reloads far slower than the fighter gets up.
TEST_F(MoveHit, ARevivalWithFullChargeRefillsEveryCard)
{
    factory_.realSpellCards = true;
    for (i32 fullCharge : {1, 0}) {
        SCOPED_TRACE(testing::Message() << "full charge " << fullCharge);
        c_ = NewFighter<ScriptedFighter>();
        ASSERT_EQ(c_->Create(nullptr), 1);
        c_->GetParameter()->values.body.addHpSpeed = 4000;
        c_->GetParameter()->values.limit.fullChargeFlg = fullCharge;
        std::vector<CSpellCard*> cards;
        for (const auto& object : c_->GetSpellCards()) {
            auto* card = dynamic_cast<CSpellCard*>(object.get());
            ASSERT_NE(card, nullptr);
            // The card's own copy and the fighter's, which the panel reads.
            for (CSpellCardSetting* settings : {const_cast<CSpellCardSetting*>(card->GetSettings()),
                     &c_->GetParameter()->GetSpellCard(u32(cards.size()))}) {
                CSpellCardValues& v = settings->GetValues();
                v.ammunition = u16(2 + cards.size()), v.reload = 100.0f + f32(cards.size());
            }
            cards.push_back(card);
        }
        ASSERT_EQ(cards.size(), 7u);
        // Every card's clock part-way, the close attack's at 0.
        for (CSpellCard* card : cards) card->UpdateCardReload(c_.get());
        const std::vector<f32> clocks = [&] {
            std::vector<f32> v;
            for (CSpellCard* card : cards) v.push_back(card->GetReloadTimer());
            return v;
        }();
        c_->GetParameter()->values.shortAttacks[0].reload = 7.5f;
        S().comboIndex = 0, S().timers.shortAttackCooldown = 0.0f;
        S().revival = 1;
        c_->TakeHit(HitOf(5000, 3));
        ASSERT_EQ(S().action, u32(kActionDefeated));
        u32 frames = 0;
        while (frames < 40 && S().action == kActionDefeated) c_->Update(0), ++frames;
        ASSERT_EQ(S().action, u32(kActionNeutral));
        for (u32 i = 0; i < cards.size(); ++i) {
            EXPECT_EQ(cards[i]->GetStock(), fullCharge ? 2 + i : 0u) << "card " << i;
            // Cards 0 to 4 keep their clocks running as they were.
            if (i < 5) {
                EXPECT_LT(cards[i]->GetReloadTimer(), 20.0f) << "card " << i;
                EXPECT_GE(cards[i]->GetReloadTimer(), clocks[i]) << "card " << i;
                continue;
            }
            if (fullCharge) EXPECT_EQ(cards[i]->GetReloadTimer(), 100.0f + f32(i)) << "card " << i;
            else EXPECT_LT(cards[i]->GetReloadTimer(), 20.0f) << "card " << i;
        }
        // The close attack is ready at once, or only as its clock ran.
        if (fullCharge) EXPECT_EQ(S().timers.shortAttackCooldown, 7.5f);
        else EXPECT_LT(S().timers.shortAttackCooldown, 7.5f);
        // What the weapon panel shows of them: spell, exception and both
        // tension cards full, or barely begun.
        for (u32 kind : {4u, 6u, 7u, 8u}) {
            if (fullCharge) EXPECT_EQ(c_->GetActionGauge(kind), 1.0f) << "kind " << kind;
            else EXPECT_LT(c_->GetActionGauge(kind), 0.2f) << "kind " << kind;
        }
    }
}

TEST_F(MoveHit, EachDamageTypeFallsAtItsOwnRate)
{
    // The test fighter's FALLVELOCITY is 0.5 + 0.25 x type: one quarter-
    // second step of a level knock pulls down by that rate, never up, and
    // by no other type's.
    for (u32 type = 1; type < kDamageTypeCount; ++type) {
        Fresh();
        ASSERT_EQ(c_->GetParameter()->values.damages[type].fallVelocity, 0.5f + 0.25f * f32(type));
        S().action = kActionHitReaction, S().damageType = type, S().knockPower = 1;
        S().damageMotion = FindMotionKey("DAMAGESMALLFRONT");
        S().hitDirection = CVector3(0, 0, 1), S().acceleration = CVector3();
        c_->HitReactionStep(0);
        EXPECT_FLOAT_EQ(S().acceleration.y, -(0.5f + 0.25f * f32(type)) * 0.25f) << type;
    }
}

TEST_F(MoveHit, HitReactionRunsOutAndOpensTheJustGuardWindow)
{
    DamageReaction& r = c_->GetParameter()->values.damages[2];
    r = {4.0f, 0, 1.0f, 0, 0.7f, 0.2f};
    c_->TakeHit(HitOf(1, 2));   // knock power 1, lost at 4 a second: one quarter-second frame
    S().timers.hitReaction = 0.5f;
    c_->HitReactionStep(0);
    EXPECT_LE(S().knockPower, 0.0f);
    S().timers.actionClocks[2] = 0.5f;   // the damage clock at the reaction time: still running
    EXPECT_EQ(c_->HitReactionStep(0), 0u);
    S().timers.actionClocks[2] = 0.51f;
    EXPECT_EQ(c_->HitReactionStep(0), 1u);
    EXPECT_EQ(std::make_tuple(S().timers.justGuardWindow, S().timers.invincibility, S().timers.limitTimer),
              std::make_tuple(0.2f, 0.7f, 2.0f));
}

TEST_F(MoveHit, GuardEndsAtGuardTimeAndJustGuardsBelowItsTime)
{
    GuardRecord& g = c_->GetParameter()->values.guard;
    g.guardTime = 2.0f, g.justGuardTime = 0.25f;
    S().timers.guardReload = 5;
    ASSERT_EQ(c_->StartGuard(-1), 1u);
    const std::tuple<f32, u32, u32> rows[] = {{0.2499f, kActionGuard, 1}, {0.25f, kActionGuard, 0},
                                             {0.2501f, kActionGuard, 0}, {1.9999f, kActionGuard, 0},
                                             {2.0f, kActionNeutral, 0},  {2.0001f, kActionNeutral, 0}};
    for (const auto& [gauge, action, just] : rows) {
        S().guardGauge = gauge, S().action = kActionGuard;
        c_->GuardStep(0);
        EXPECT_EQ(std::make_pair(S().action, c_->IsInJustGuardWindow()), std::make_pair(action, just)) << gauge;
    }
    EXPECT_EQ(S().guardBreak, 1u);
    // A guard crash reaches the fighter as a hit of the crash's type.
    ScriptedFighter attacker(nullptr);
    g.crashDamagePow = 1, g.crashDamageType = 3;
    S().guardBreak = 0;
    c_->AddGuardLoad(1.0f, c_.get());
    EXPECT_EQ(std::make_pair(S().action, S().damageType), std::make_pair(u32(kActionHitReaction), 3u));
}

// The difference of two angles in degrees, within (-180, 180].
f32 AngleOff(f32 a, f32 b)
{
    f32 d = std::fmod(a - b, 360.0f);
    return d > 180.0f ? d - 360.0f : d <= -180.0f ? d + 360.0f : d;
}

// The guard turns to the view's yaw plus the stick's angle (the camera
// looks along 30), or to the view's yaw without a direction, and keeps
// that facing while it is held: the turn step does not take it back round.
TEST_F(MoveHit, TheGuardKeepsTheFacingItStartsWith)
{
    const struct {
        InputPacket pad;
        f32 yaw;
    } rows[] = {{Pad({23, 12}, 100, 0), 120}, {Pad({23}), 30}};
    for (const auto& r : rows) {
        Fresh();
        static_cast<FakeCamera*>(c_->GetCameraController())->angles.y = 30;
        S().timers.guardReload = 5;
        for (u32 f = 0; f < 3; ++f) {
            c_->ApplyInputPacket(&r.pad);
            c_->Update(0);
            ASSERT_EQ(S().action, u32(kActionGuard)) << r.yaw;
            EXPECT_NEAR(AngleOff(c_->GetRotation()->y, r.yaw), 0.0f, 0.5f) << r.yaw << " frame " << f;
            EXPECT_NEAR(AngleOff(S().targetAngles.y, r.yaw), 0.0f, 0.5f) << r.yaw << " frame " << f;
        }
    }
}

// The guard's angle is measured from the front turned by the whole
// rotation: pitched up 90 the front is straight up.
TEST_F(MoveHit, TheGuardAngleIsMeasuredFromThePitchedFront)
{
    const struct {
        f32 pitch, yaw;
        CVector3 toward;
        f32 angle;
    } rows[] = {
        {0, 0, {0, 0, -1}, 0}, {0, 0, {0, 1, 0}, 90}, {90, 0, {0, 1, 0}, 0}, {90, 0, {0, 0, -1}, 90},
        {-45, 90, {-1, -1, 0}, 0}, {45, 180, {0, 0, 1}, 45}, {45, 180, {0, -1, 0}, 135},
    };
    for (const auto& r : rows) {
        c_->GetRotation()->x = r.pitch, c_->GetRotation()->y = r.yaw;
        CVector3 centre;
        c_->GetCenter(&centre);
        EXPECT_NEAR(c_->GetGuardAngle(centre + r.toward * 5.0f), r.angle, 1e-2f) << r.pitch << " " << r.yaw;
    }
}

// A spin turns the body along its knock-back, yaw and pitch, and the turn
// step leaves it there: the wanted facing follows.
TEST_F(MoveHit, ASpinFacesAlongItsKnockBack)
{
    c_->GetParameter()->values.damages[character_slots::kDamageSpin].velocity = 2.0f;
    for (const CVector3 direction : {CVector3(1, 0, 0), CVector3(0, 0, 1)}) {
        Fresh();
        S().action = kActionHitReaction, S().damageType = character_slots::kDamageSpin;
        S().damageMotion = FindMotionKey("DAMAGESPIN"), S().knockPower = 5, S().hitDirection = direction;
        const InputPacket none = Pad({});
        c_->ApplyInputPacket(&none);
        c_->Update(0);
        ASSERT_EQ(S().action, u32(kActionHitReaction));
        const CVector3 a = S().acceleration.Normalized();
        const f32 yaw = std::atan2(a.x, a.z) * 57.29578f + 180.0f, pitch = (a.y - 1.0f) * 90.0f;
        EXPECT_NEAR(AngleOff(c_->GetRotation()->y, yaw), 0.0f, 1e-3f) << direction.x;
        EXPECT_NEAR(AngleOff(c_->GetRotation()->x, pitch), 0.0f, 1e-3f) << direction.x;
        EXPECT_LT(pitch, -45.0f);   // a turn of 45 a frame would not reach it
    }
}

// The guard effect is one instance standing at the guard centre,
// GUARDCENTERPOS turned and moved by the fighter's world matrix, and it
// stays there as the fighter is pushed and turned frame after frame: each
// guard step places the centre on the fighter as it stands.
TEST_F(MoveHit, TheGuardEffectStandsAtTheGuardCentreAndMovesWithTheFighter)
{
    const CVector3 centre(0.25f, 1.0f, -0.5f);
    c_->GetParameter()->values.guard.center = centre;
    c_->GetParameter()->values.guard.guardTime = 100.0f;
    S().effects[FindEffectKey("EFCGUARD")] = &container_;
    S().timers.guardReload = 5;
    InputPacket guard = {};
    for (u32 bit = 0; bit < kInputPacketBitCount; ++bit)
        if (kInputPacketCodes[bit] == 23) guard.buttons[bit / 8] |= u8(1u << (bit % 8));
    std::vector<CVector3> seen;
    for (u32 f = 0; f < 5; ++f) {
        const CMatrix world = *c_->GetWorldMatrix();
        c_->ApplyInputPacket(&guard);
        c_->Update(0);
        ASSERT_EQ(S().action, u32(kActionGuard)) << f;
        // Pushed and turned, as the meeting passes may do, before the
        // frame's end.
        const CVector3 pushed = *c_->GetPosition() + CVector3(0.5f, 0.25f * f32(f), -0.75f);
        c_->SetPosition(&pushed);
        c_->GetRotation()->y += 30.0f;
        c_->PostUpdate(0);
        c_->LateUpdate(0);
        CVector3 expected = centre;
        expected.TransformCoord(world);
        const CEffect* effect = c_->GetAttachedObject(10);
        ASSERT_NE(effect, nullptr) << f;
        EXPECT_EQ(effect->GetNext(), nullptr) << f << ": one instance, not one per effect bone";
        EXPECT_EQ(effect->GetParams().linkFrame, nullptr) << f;
        const CVector3 at = *const_cast<CEffect*>(effect)->GetPlacePosition();
        EXPECT_NEAR(at.x, expected.x, 1e-5f) << f;
        EXPECT_NEAR(at.y, expected.y, 1e-5f) << f;
        EXPECT_NEAR(at.z, expected.z, 1e-5f) << f;
        const CVector3 turn = *const_cast<CEffect*>(effect)->GetPlaceRotation();
        EXPECT_EQ(std::make_tuple(turn.x, turn.y, turn.z),
                  std::make_tuple(c_->GetRotation()->x, c_->GetRotation()->y, c_->GetRotation()->z)) << f;
        seen.push_back(at);
    }
    // It went along with the fighter: no two frames at one place.
    for (size_t f = 1; f < seen.size(); ++f) EXPECT_GT((seen[f] - seen[f - 1]).Length(), 0.5f) << f;
}

// A small hit draws its start motion again while the draw equals the
// current damage motion, however long that takes: eight equal draws in a
// row, then a different one, which is the motion taken.
TEST_F(MoveHit, ASmallHitDrawsItsMotionUntilItDiffers)
{
    // A hit from the front: draws 0 and 1 give DAMAGESMALLFRONTSTART, the
    // motion running.
    const char* const starts[] = {"DAMAGESMALLFRONTSTART", "DAMAGESMALLFRONTSTART", "DAMAGESMALLLEFTSTART",
                                  "DAMAGESMALLRIGHTSTART", "DAMAGESMALLUPSTART", "DAMAGESMALLDOWNSTART"};
    u32 seed = 0, last = 0;
    for (bool found = false; !found; ++seed) {
        ASSERT_LT(seed, 10000000u);
        CRandom draws;
        draws.Seed(seed);
        u32 equal = 0;
        while (equal < 8 && draws.Int(6) < 2) ++equal;
        if (equal < 8) continue;
        last = draws.Int(6);
        found = last >= 2;
    }
    --seed;
    S().action = kActionHitReaction, S().damageMotion = FindMotionKey("DAMAGESMALLFRONTSTART");
    SeedRandom(seed);
    ASSERT_EQ(c_->TakeHit(HitOf(1, 1)), 1u);
    EXPECT_EQ(S().damageMotion, FindMotionKey(starts[last]));
    // Nine draws, not more.
    CRandom nine;
    nine.Seed(seed);
    for (u32 i = 0; i < 9; ++i) nine.Next();
    EXPECT_EQ(std::make_tuple(g_randomState.x, g_randomState.y, g_randomState.z, g_randomState.w),
              std::make_tuple(nine.x, nine.y, nine.z, nine.w));
}

// Count-downs end on the frame they reach 0 and count-ups pass on the frame
// they reach their limit: 0.25 s in frames of 0.125 s, one frame before, at
// and after.
TEST_F(MoveHit, TimersEndOnTheFrameTheyReachTheirLimit)
{
    struct Row {
        const char* name;
        void (*set)(CharacterStatus&);
        u32 (*query)(ScriptedFighter&);
    };
    const Row rows[] = {
        {"invincibility", [](CharacterStatus& s) { s.timers.invincibility = 0.25f; },
         [](ScriptedFighter& c) { return c.IsHittable(); }},
        {"guard hold", [](CharacterStatus& s) { s.timers.guardHold = 0.25f, s.guardGauge = 0; },
         [](ScriptedFighter& c) { return c.IsInJustGuardWindow(); }},
        {"action-blocking stun", [](CharacterStatus& s) { s.timers.stun = 0.25f; },
         [](ScriptedFighter& c) { return c.CanShortAttack(0); }},
        {"guard reload", [](CharacterStatus& s) { s.timers.guardReload = 0; },
         [](ScriptedFighter& c) { return c.CanGuard(); }},
    };
    for (const Row& r : rows) {
        Fresh();
        SetFrameTime(125);
        CharacterValues& v = c_->GetParameter()->values;
        v.guard.reload = 0.25f, v.guard.justGuardTime = 0.2f;
        S().reloadFactor = 1, S().timers.shortAttackCooldown = S().timers.guardReload = 100;
        r.set(S());
        std::string seen;
        for (int frame = 0; frame < 3; ++frame) c_->UpdateTimers(0), seen += char('0' + r.query(*c_));
        EXPECT_EQ(seen, "011") << r.name;
    }
}

TEST_F(MoveHit, HitsRaiseTheNumberedStatisticsOfBothSides)
{
    auto attacker = NewFighter<ScriptedFighter>();
    attacker->Create(nullptr);
    auto hitBy = [&](f32 damage, u32 type, u32 kind) {
        CCharacterAction::Hit hit = HitOf(damage, type, kind);
        hit.attacker = attacker.get();
        c_->TakeHit(hit);
    };
    EXPECT_EQ(attacker->GetStatisticCounter(kStatLastKillKind), kNoKillKind) << "no kill yet is no attack kind";
    hitBy(1, 5, 0);    // a roll
    hitBy(1, 10, 0);   // a down
    hitBy(1, 2, 10);   // a climax-card hit
    hitBy(900, 2, 7);  // defeated by a charged spell card
    struct Row {
        StatisticCounter n;
        u32 attacker, victim;
    } const rows[] = {
        {kStatKills, 1, 0},          {kStatDefeats, 0, 1},        {kStatRollsDealt, 1, 0},
        {kStatRollsSuffered, 0, 1},  {kStatDownsDealt, 1, 0},     {kStatDownsSuffered, 0, 1},
        {kStatClimaxHits, 1, 0},     {kStatSpellKills, 1, 0},     {kStatChargedSpellKills, 1, 0},
        {kStatExceptionKills, 0, 0}, {kStatLastKillKind, 7, kNoKillKind},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(attacker->GetStatisticCounter(r.n), r.attacker) << r.n;
        EXPECT_EQ(c_->GetStatisticCounter(r.n), r.victim) << r.n;
    }
    // Damage sums: 1.5 x 3 hits, then the rest of the HP (800 less the three).
    EXPECT_EQ(c_->GetStatisticCounter(kStatDamageTaken), attacker->GetStatisticCounter(kStatDamageDealt));
    EXPECT_GT(c_->GetStatisticCounter(kStatDamageTaken), 800u);
    EXPECT_EQ(c_->GetStatisticCounter(kStatisticCounterCount), 0u);
    EXPECT_EQ(c_->GetStatisticCounter(0xFFFFFFFFu), 0u);
}

TEST_F(MoveHit, ActionStartsCountTheirStatistics)
{
    c_->StartDash(0.0f);
    S().action = kActionNeutral, S().mp = 10;
    c_->StartSlide(0.0f);
    S().action = kActionNeutral;
    c_->StartGuard(-1.0f);
    EXPECT_EQ(std::make_tuple(c_->GetStatisticCounter(kStatDashes), c_->GetStatisticCounter(kStatSlides),
                              c_->GetStatisticCounter(kStatGuards)),
              std::make_tuple(1u, 1u, 1u));
}

}  // namespace ORV_TEST_FILE_ID
