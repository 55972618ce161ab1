// Close attacks between two fighters of the test data through the second
// pass: a short attack that lands, the last hit of a combo, a clash of two
// attacks, and teammates who never hit each other.
#include "game/battle/character/tests/CharacterTestSupport.h"

#include "engine/model/AnimationController.h"
#include "engine/scene/Effect.h"

namespace {

using namespace character_test;

constexpr u32 kEffectHitAttack = 12, kEffectHitAttackFinal = 13;   // EFCHITATTACK, EFCHITATTACKFINAL

// Each fighter has a fist: an attack sphere of hit type 1, radius 0.4,
// 0.8 in front of its body sphere (radius 0.5). A stands at the origin
// facing -z, D at z -1.4 facing A, so A's fist (z -0.8) reaches into D's
// body and D's fist (z -0.6) meets A's fist.
class CloseAttackTest : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        auto* object = new CEffectObject();
        object->SetName("final");
        ASSERT_EQ(final_.AddObject(object), 1u);
        fighter_test::FighterParameter("Test").Set("HITSPHERE", "radius:0.4 type:1 z:-0.8 bone:\"Body\"").Save("Chr_Test.txt");
    }

    // Placed and its bones posed there, as the late update leaves them.
    std::unique_ptr<ScriptedFighter> Posed(f32 z, f32 yaw, u32 slot, i32 team)
    {
        auto f = NewFighter<ScriptedFighter>();
        f->Create(nullptr);
        CharacterValues& v = f->GetParameter()->values;
        v.body.radius = 0.3f, v.body.height = 2.0f;   // apart already: no push
        for (ShortAttackRecord& r : v.shortAttacks) {
            r.start = 0.1f, r.end = 0.3f, r.hitType = 1, r.str = 100;
            r.pow = 4, r.lastPow = 8, r.limit = 3, r.lastLimit = 6, r.damageType = 2, r.lastDamageType = 3;
            r.hitStopTime = 0.2f, r.hitStopDelayTime = 0.05f;
        }
        const CVector3 at(0, 0, z);
        f->SetPosition(&at);
        f->GetRotation()->y = yaw;
        f->UpdateMatrix();
        f->GetAnimationController()->UpdateMatrices(f->GetWorldMatrix());
        CharacterStatus& s = *f->GetStatus();
        s.participantSlot = slot, s.team = team;
        s.effects[kEffectHitAttack] = &container_;
        s.effects[kEffectHitAttackFinal] = &final_;
        return f;
    }
    // Inside the hit window of combo hit `combo`.
    static void Attack(ScriptedFighter& f, u32 action, u32 combo, u32 tension)
    {
        CharacterStatus& s = *f.GetStatus();
        s.action = action, s.comboIndex = combo, s.tension = tension;
        s.timers.shortAttackTime = 0.2f;
    }
    // The effects played into the controller, newest first.
    std::vector<CEffect*> Played() const
    {
        std::vector<CEffect*> out;
        for (CEffect* e = effects_.GetFirstEffect(); e; e = e->GetNextLive()) out.push_back(e);
        return out;
    }

    CEffectContainer final_;
};

struct Row {
    const char* name;
    u32 action, combo, tension;
    i32 hp;
    u32 reaction, damageType;
    f32 knock;
    const char* effect;
};

TEST_F(CloseAttackTest, AShortAttackLandsOnceWithTheValuesOfItsHit)
{
    // Combo 2 at normal tension is the last hit (NORMALATTACKCOUNT 2); at
    // low tension no hit is the last.
    const Row rows[] = {
        {"first hit", kActionShortAttack, 0, 1, 700, kActionHitReaction, 2, 4, "glow"},
        {"last hit", kActionShortAttack, 2, 1, 700, kActionHitReaction, 3, 8, "final"},
        {"low tension", kActionShortAttack, 2, 0, 700, kActionHitReaction, 2, 4, "glow"},
        {"out of the window", kActionNeutral, 0, 1, 800, kActionNeutral, 0, 0, ""},
    };
    for (const Row& r : rows) {
        auto a = Posed(0, 0, 0, 0), d = Posed(-1.4f, 180, 1, 1);
        Attack(*a, r.action, r.combo, r.tension);
        const CharacterStatus &sa = *a->GetStatus(), &sd = *d->GetStatus();
        EXPECT_EQ(a->CollideCharacter2(d.get(), 0), 1) << r.name;
        EXPECT_EQ(sd.hp, r.hp) << r.name;
        EXPECT_EQ(sd.action, r.reaction) << r.name;
        EXPECT_EQ(sd.damageType, r.damageType) << r.name;
        EXPECT_EQ(sd.knockPower, r.knock) << r.name;
        const bool hit = r.hp < 800;
        EXPECT_EQ(sa.attackHitMask, hit ? 2u : 0u) << r.name;
        EXPECT_EQ(sd.moveHit.damageTaken, 800 - r.hp) << r.name;
        EXPECT_EQ(sd.moveHit.lastTaken[0], 800 - r.hp) << r.name;
        EXPECT_EQ(sa.moveHit.damageDealt, 800 - r.hp) << r.name;
        for (const CharacterStatus* s : {&sa, &sd}) EXPECT_EQ(s->timers.hitStopTime, hit ? 0.2f : 0.0f) << r.name;
        // The hit effect plays at the contact: the fist's point facing D's
        // body, half the overlap of 0.3 beyond the fist's surface.
        const auto played = Played();
        ASSERT_EQ(played.size(), hit ? 1u : 0u) << r.name;
        if (hit) {
            EXPECT_STREQ(played[0]->GetDefinition()->GetName(), r.effect) << r.name;
            EXPECT_NEAR(played[0]->GetPlacePosition()->z, -1.35f, 1e-5f) << r.name;
            EXPECT_NEAR(played[0]->GetPlacePosition()->x, 0.0f, 1e-5f) << r.name;
        }
        // The attack's hit mask keeps D from being hit again by it.
        a->CollideCharacter2(d.get(), 0);
        EXPECT_EQ(sd.hp, r.hp) << r.name;
        for (CEffect* e = effects_.GetFirstEffect(); e; e = effects_.GetFirstEffect()) e->Release();
    }
}

TEST_F(CloseAttackTest, AttacksThatMeetClashAndNeitherLands)
{
    // Attacks into each other: the fists meet, nobody is hit. Mirage-slide
    // attacks are not solid, so the push-apart's clash reaction (for
    // charging fighters) is not theirs.
    for (u32 action : {u32(kActionShortAttack), u32(kActionMirageSlideAttack)}) {
        auto a = Posed(0, 0, 0, 0), d = Posed(-1.4f, 180, 1, 1);
        Attack(*a, action, 0, 1);
        Attack(*d, action, 0, 1);
        a->CollideCharacter2(d.get(), 0);
        for (const ScriptedFighter* f : {a.get(), d.get()}) {
            EXPECT_EQ(f->GetStatus()->hp, 800) << action;
            EXPECT_EQ(f->GetStatus()->action, action) << action;
            EXPECT_EQ(f->GetStatus()->attackHitMask, 0u) << action;
            EXPECT_EQ(f->GetMeeting().clashes, 0u) << action;
        }
        EXPECT_TRUE(Played().empty()) << action;
    }
    // D's attack out of its window: A's lands.
    auto a = Posed(0, 0, 0, 0), d = Posed(-1.4f, 180, 1, 1);
    Attack(*a, kActionShortAttack, 0, 1);
    Attack(*d, kActionShortAttack, 0, 1);
    d->GetStatus()->timers.shortAttackTime = 0.35f;
    a->CollideCharacter2(d.get(), 0);
    EXPECT_EQ(d->GetStatus()->hp, 700);
    EXPECT_EQ(a->GetStatus()->hp, 800);
}

TEST_F(CloseAttackTest, TeammatesHitEachOtherOnlyWithFriendlyFire)
{
    for (u32 friendly : {0u, 1u}) {
        auto a = Posed(0, 0, 0, 0), d = Posed(-1.4f, 180, 1, 0);
        a->GetMeeting().friendlyFire = friendly;
        Attack(*a, kActionShortAttack, 0, 1);
        a->CollideCharacter2(d.get(), 0);
        EXPECT_EQ(d->GetStatus()->hp, friendly ? 700 : 800) << friendly;
    }
}

}  // namespace
