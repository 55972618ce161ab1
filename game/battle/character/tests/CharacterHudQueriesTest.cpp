// The weapon panel's queries: each row sets a fresh fighter's gauges, its
// parameter copy and its cards, then reads one action kind.
#include "game/battle/character/tests/CharacterTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace character_test {
namespace ORV_TEST_FILE_ID {

namespace {

struct Env {
    CharacterStatus& s;
    CharacterValues& v;
    CCharacterParameter& p;
    FakeSpellCard* card[7];

    CSpellCardValues& Settings(u32 c) { return p.GetSpellCard(c).GetValues(); }
};

class HudQueries : public ScriptedFighterTest {
protected:
    Env Fresh()
    {
        MakeFighter();
        CCharacterParameter& p = *c_->GetParameter();
        Env env{S(), p.values, p, {}};
        for (u32 c = 0; c < 7; ++c) {
            env.card[c] = static_cast<FakeSpellCard*>(c_->GetSpellCards().at(c).get());
            env.Settings(c).ammunition = 2, env.Settings(c).reload = 8.0f, env.Settings(c).chargeTime = 2.0f;
        }
        env.v.guard.guardTime = 2.0f;
        env.v.shots[0].ammunition = 30, env.v.shots[1].ammunition = 12;
        env.v.shots[0].reload = 2.0f, env.v.shots[1].reload = 3.0f;
        env.v.shots[2].chargeTime = 2.0f, env.v.shots[3].chargeTime = 4.0f;
        env.v.shortAttacks[0].reload = 2.0f;
        env.s.timers.ammoReloadDuration = 2.0f;   // as a shot of set A leaves it
        return env;
    }
};

struct GaugeRow {
    const char* what;
    void (*set)(Env&);
    u32 kind;
    f32 fill;
};

const GaugeRow kGaugeRows[] = {
    {"a fresh guard is full", [](Env&) {}, 0, 1.0f},
    {"half the guard used", [](Env& e) { e.s.guardGauge = 1.0f; }, 0, 0.5f},
    {"a guard used past its time shows empty", [](Env& e) { e.s.guardGauge = 3.0f; }, 0, 0.0f},
    {"a guard of no length is empty", [](Env& e) { e.v.guard.guardTime = 0.0f; }, 0, 0.0f},
    {"close attack half reloaded", [](Env& e) { e.s.timers.shortAttackCooldown = 1.0f; }, 1, 0.5f},
    {"close attack past its reload", [](Env& e) { e.s.timers.shortAttackCooldown = 5.0f; }, 1, 1.0f},
    {"the next hit's reload counts",
     [](Env& e) { e.s.comboIndex = 1, e.v.shortAttacks[1].reload = 4.0f, e.s.timers.shortAttackCooldown = 1.0f; }, 1,
     0.25f},
    {"set A's magazine half full", [](Env& e) { e.s.ammunition = 15; }, 2, 0.5f},
    {"set B's magazine", [](Env& e) { e.s.selectedBarrage = 1, e.s.ammunition = 3; }, 2, 0.25f},
    {"an empty magazine shows its reload",
     [](Env& e) { e.s.ammunition = 0, e.s.timers.ammoReload = 0.5f, e.s.timers.ammoReloadDuration = 2.0f; }, 2, 0.25f},
    {"a set without ammunition is ready", [](Env& e) { e.s.ammunition = 0, e.v.shots[0].ammunition = 0; }, 2, 1.0f},
    {"a shot that stored no reload is ready with rounds spent",
     [](Env& e) { e.s.ammunition = 29, e.s.timers.ammoReloadDuration = 0; }, 2, 1.0f},
    {"the stored reload decides, not set A's RELOAD",
     [](Env& e) { e.s.ammunition = 15, e.s.timers.ammoReloadDuration = 2.0f, e.v.shots[0].reload = 0; }, 2, 0.5f},
    {"nor set B's", [](Env& e) { e.s.selectedBarrage = 1, e.s.ammunition = 3, e.v.shots[1].reload = 0; }, 2, 0.25f},
    {"set A's charge", [](Env& e) { e.s.timers.shotCharge = 1.0f; }, 3, 0.5f},
    {"set B charges against its own record", [](Env& e) { e.s.selectedBarrage = 1, e.s.timers.shotCharge = 1.0f; }, 3,
     0.25f},
    {"card A's stock", [](Env& e) { e.card[0]->stock = 1; }, 4, 0.5f},
    {"card B's stock", [](Env& e) { e.s.selectedBarrage = 1, e.card[0]->stock = 2, e.card[1]->stock = 1; }, 4, 0.5f},
    {"an empty card shows its reload", [](Env& e) { e.card[0]->reloadTimer = 4.0f; }, 4, 0.5f},
    {"a card without AMMUNITION is ready", [](Env& e) { e.Settings(0).ammunition = 0; }, 4, 1.0f},
    {"the charged card's charge", [](Env& e) { e.s.timers.spellCharge = 0.5f; }, 5, 0.25f},
    {"the exception card's reload", [](Env& e) { e.card[4]->reloadTimer = 2.0f; }, 6, 0.25f},
    {"the high-tension card reads its reload alone", [](Env& e) { e.card[5]->stock = 1, e.card[5]->reloadTimer = 6.0f; }, 7,
     0.75f},
    {"the climax card reloaded past its time", [](Env& e) { e.card[6]->reloadTimer = 9.0f; }, 8, 1.0f},
    {"a climax card without RELOAD is ready", [](Env& e) { e.Settings(6).reload = 0.0f; }, 8, 1.0f},
    {"no tenth kind", [](Env&) {}, 9, 0.0f},
};

TEST_F(HudQueries, GaugeFillByKind)
{
    for (const GaugeRow& row : kGaugeRows) {
        Env env = Fresh();
        row.set(env);
        EXPECT_EQ(c_->GetActionGauge(row.kind), row.fill) << row.what;
    }
}

// Ammunition for the shots, stocks for the cards of the set and the
// exception card; nothing for the other kinds.
TEST_F(HudQueries, CountAndCapacityByKind)
{
    const struct {
        u32 selected;
        u32 count[9], capacity[9];
    } rows[] = {
        {0, {0, 0, 7, 7, 1, 1, 3, 0, 0}, {0, 0, 30, 30, 2, 2, 5, 0, 0}},
        {1, {0, 0, 7, 7, 2, 2, 3, 0, 0}, {0, 0, 12, 12, 4, 4, 5, 0, 0}},
    };
    for (const auto& row : rows) {
        Env env = Fresh();
        env.s.selectedBarrage = row.selected, env.s.ammunition = 7;
        env.card[0]->stock = 1, env.card[1]->stock = 2, env.card[4]->stock = 3, env.card[5]->stock = env.card[6]->stock = 1;
        env.Settings(1).ammunition = 4, env.Settings(4).ammunition = 5;
        for (u32 kind = 0; kind < 9; ++kind) {
            EXPECT_EQ(c_->GetActionCount(kind), row.count[kind]) << row.selected << " kind " << kind;
            EXPECT_EQ(c_->GetActionCapacity(kind), row.capacity[kind]) << row.selected << " kind " << kind;
        }
        EXPECT_EQ(c_->GetActionCount(9), 0u);
        EXPECT_EQ(c_->GetActionCapacity(9), 0u);
    }
}

// The last round starts the reload of the shot's RELOAD from 0: the magazine
// stays empty, its gauge rising, until that time has passed outside the shot.
TEST_F(HudQueries, TheLastRoundReloadsOverTheShotsReload)
{
    Env env = Fresh();
    c_->InitActionTable();
    env.s.tension = 1, env.s.reloadFactor = 1.0f, env.s.ammunition = 1;
    env.v.shots[0].reload = 1.0f;
    const f32 revise = c_->GetTensionBonus()->reloadRevise;
    ASSERT_EQ(revise, 1.0f);
    ASSERT_EQ(c_->StartShoot(), 1u);
    EXPECT_EQ(env.s.ammunition, 0u);
    EXPECT_EQ(c_->GetActionGauge(2), 0.0f);
    env.s.action = kActionNeutral;
    for (f32 fill : {0.25f, 0.5f, 0.75f}) {
        c_->UpdateTimers(0);   // a quarter second
        EXPECT_EQ(env.s.ammunition, 0u);
        EXPECT_EQ(c_->GetActionGauge(2), fill);
    }
    c_->UpdateTimers(0);
    EXPECT_EQ(env.s.ammunition, 30u);
    EXPECT_EQ(c_->GetActionGauge(2), 1.0f);
}

// A charged shot that empties the magazine stores its own RELOAD (2 s), and
// the gauge fills over it, though the plain shot of the set has none.
TEST_F(HudQueries, AChargedShotsReloadFillsTheGaugeOverItsOwnTime)
{
    Env env = Fresh();
    c_->InitActionTable();
    env.s.tension = 1, env.s.reloadFactor = 1.0f, env.s.ammunition = 1;
    env.v.shots[0].reload = 0.0f, env.v.shots[2].reload = 2.0f;
    env.s.timers.shotCharge = env.v.shots[2].chargeTime;
    ASSERT_EQ(c_->StartShoot(), 1u);
    ASSERT_EQ(env.s.barrageSlot, 2u);
    EXPECT_EQ(env.s.ammunition, 0u);
    EXPECT_EQ(c_->GetActionGauge(2), 0.0f);
    env.s.action = kActionNeutral;
    std::vector<f32> fills;
    for (u32 frame = 0; frame < 8; ++frame) {
        c_->UpdateTimers(0);   // a quarter second
        fills.push_back(c_->GetActionGauge(2));
    }
    EXPECT_EQ(fills, (std::vector<f32>{0.125f, 0.25f, 0.375f, 0.5f, 0.625f, 0.75f, 0.875f, 1.0f}));
    EXPECT_EQ(env.s.ammunition, 30u);
}

// A shot without RELOAD is always ready: its gauge stays full as rounds go.
TEST_F(HudQueries, AShotWithoutReloadStaysFullAsItFires)
{
    for (const f32 reload : {0.0f, 1.0f}) {
        Env env = Fresh();
        c_->InitActionTable();
        env.s.tension = 1, env.s.reloadFactor = 1.0f, env.s.ammunition = 30;
        env.v.shots[0].reload = reload;
        ASSERT_EQ(c_->StartShoot(), 1u);
        EXPECT_EQ(env.s.ammunition, 29u);
        EXPECT_EQ(c_->GetActionGauge(2), reload > 0 ? 29.0f / 30.0f : 1.0f) << reload;
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace character_test
