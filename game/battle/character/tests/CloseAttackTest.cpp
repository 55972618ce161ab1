// Close attacks between two fighters of the test data through the second
// pass: a short attack that lands, the last hit of a combo, a clash of two
// attacks, and teammates who never hit each other.
#include "game/battle/character/tests/CharacterTestSupport.h"

#include "engine/model/AnimationController.h"
#include "engine/scene/Effect.h"
#include "game/battle/character/CharacterSlots.h"
#include "game/battle/object/SpellCard.h"
#include "game/data/TensionFile.h"

#include <cstring>

namespace close_attack_test {

namespace ORV_TEST_FILE_ID {

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
    std::unique_ptr<ScriptedFighter> Posed(f32 z, f32 yaw, u32 slot, i32 team, CTensionFile* tension = nullptr)
    {
        auto f = NewFighter<ScriptedFighter>(tension);
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

TEST_F(CloseAttackTest, TheHitSweepsBothFightersOverTheFrame)
{
    // D stands 2.0 off, out of reach of A's fist (0.4 + 0.5 < 1.2); moving
    // 0.5 toward A this frame it runs into the fist; moving away it does not.
    for (f32 step : {0.5f, -0.5f, 0.0f}) {
        auto a = Posed(0, 0, 0, 0), d = Posed(-2.0f, 180, 1, 1);
        Attack(*a, kActionShortAttack, 0, 1);
        d->GetStatus()->displacement = CVector3(0, 0, step);
        a->CollideCharacter2(d.get(), 0);
        EXPECT_EQ(d->GetStatus()->hp, step > 0 ? 700 : 800) << step;
        for (CEffect* e = effects_.GetFirstEffect(); e; e = effects_.GetFirstEffect()) e->Release();
    }
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

// Whole frames of two real fighters of the full model: A attacks D, who
// stands within reach of the fist. Each hit knocks nothing (POW 0), so D
// stays where it is.
class CloseFrameTest : public CloseAttackTest {
protected:
    void SetUp() override
    {
        CloseAttackTest::SetUp();
        AddFullFighter([](setting_test::SettingWriter& w) {
            w.Set("HITSPHERE", "radius:0.4 type:1 z:-0.8 bone:\"Body\"").Set("RADIUS", 0.3f);
        });
        SetFrameTime(50);
    }
    std::unique_ptr<CPlayerCharacter> Full(f32 z, f32 yaw, u32 slot, i32 team)
    {
        auto* parameter = new CCharacterParameter();
        EXPECT_EQ(parameter->LoadFile("Chr_Full.txt"), 1);
        auto f = std::make_unique<CPlayerCharacter>(parameter, nullptr);
        EXPECT_EQ(f->LoadResource(&resources_), 1);
        f->Create(nullptr);
        for (ShortAttackRecord& r : f->GetParameter()->values.shortAttacks) {
            r.start = 0, r.end = 100, r.hitType = 1, r.str = 100, r.pow = r.lastPow = 0;
            r.acceleration = 0, r.hitStopTime = 0;
        }
        const CVector3 at(0, 0, z);
        f->SetPosition(&at);
        f->GetRotation()->y = yaw;
        f->GetStatus()->targetAngles.y = yaw;
        CharacterStatus& s = *f->GetStatus();
        s.participantSlot = slot, s.team = team, s.tension = 1;
        s.timers.shortAttackCooldown = 100;
        return f;
    }
};

// At normal tension the combo runs hits 0, 1 and 2 (NORMALATTACKCOUNT 2):
// each is an attack of its own and lands once.
TEST_F(CloseFrameTest, EachHitOfAComboLandsOnce)
{
    auto a = Full(0, 0, 0, 0), d = Full(-1.4f, 180, 1, 1);
    CCharacter* const fighters[] = {a.get(), d.get()};
    const CharacterStatus &sa = *a->GetStatus(), &sd = *d->GetStatus();
    // The combo index of A on each frame D lost HP, and D's HP after it.
    std::vector<std::pair<u32, i32>> hits;
    bool last = false;
    for (u32 frame = 0; frame < 200 && !(last && sa.action == kActionNeutral); ++frame) {
        last = last || (sa.action == kActionShortAttack && sa.comboIndex == 2);
        // 25 pressed each other frame until the last hit has started.
        const InputPacket p = frame % 2 == 0 && !last ? Pad({25}) : Pad({});
        a->ApplyInputPacket(&p);
        const i32 before = sd.hp;
        RunBattleFrame(scene_, fighters);
        if (sd.hp != before) hits.emplace_back(sa.comboIndex, sd.hp);
    }
    ASSERT_TRUE(last);
    EXPECT_EQ(sa.action, kActionNeutral);
    const std::vector<std::pair<u32, i32>> want = {{0, 700}, {1, 600}, {2, 500}};
    EXPECT_EQ(hits, want);
    EXPECT_EQ(sd.moveHit.damageTaken, 300);
    EXPECT_EQ(sa.moveHit.attacks, 3u);
}

// A guarded hit holds the guard for the attack's GUARDSTIFFENTIME after
// the guard button is let go; without it the guard ends at once. D holds
// 23 from the start (outside the just-guard window: no counter), A attacks
// on frame 2, D lets go from frame 3.
TEST_F(CloseFrameTest, AGuardedHitHoldsTheGuardForItsStiffenTime)
{
    for (const f32 stiffen : {0.0f, 0.5f}) {
        auto a = Full(0, 0, 0, 0), d = Full(-1.4f, 180, 1, 1);
        for (ShortAttackRecord& r : a->GetParameter()->values.shortAttacks) r.guardStiffenTime = stiffen;
        d->GetParameter()->values.guard.justGuardTime = 0;
        static_cast<FakeCamera*>(d->GetCameraController())->angles.y = 180;   // the guard faces the view's way
        CCharacter* const fighters[] = {a.get(), d.get()};
        const CharacterStatus& sd = *d->GetStatus();
        u32 held = 0;   // frames in the guard after the button was let go
        for (u32 frame = 0; frame < 20; ++frame) {
            const InputPacket pa = frame == 2 ? Pad({25}) : Pad({}), pd = frame < 3 ? Pad({23}) : Pad({});
            a->ApplyInputPacket(&pa);
            d->ApplyInputPacket(&pd);
            RunBattleFrame(scene_, fighters);
            if (frame < 3) {
                ASSERT_EQ(sd.action, kActionGuard) << stiffen << " frame " << frame;
            } else if (sd.action == kActionGuard) {
                ++held;
            }
        }
        EXPECT_EQ(sd.hp, 800) << stiffen;
        EXPECT_EQ(d->GetMeeting().guardedHits, 1u) << stiffen;
        // 0.5 s is ten frames of 50 ms; the last may fall either side of 0.
        EXPECT_TRUE(stiffen == 0 ? held == 0 : held >= 10 && held <= 11) << stiffen << ": " << held;
        EXPECT_EQ(sd.action, kActionNeutral) << stiffen;
    }
}

// A guard counter knocks the attacker back along the line between the two
// positions: level between fighters on one level, however tall each is.
// D guards from frame 0, inside its just-guard window when A's fist comes.
TEST_F(CloseFrameTest, AGuardCounterPushesTheAttackerAlongTheLineBetweenTheirPositions)
{
    for (const f32 height : {2.0f, 3.0f, 1.0f}) {
        auto a = Full(0, 0, 0, 0), d = Full(-1.4f, 180, 1, 1);
        a->GetParameter()->values.body.height = height;
        d->GetParameter()->values.guard.justGuardTime = 1.0f;
        static_cast<FakeCamera*>(d->GetCameraController())->angles.y = 180;
        CCharacter* const fighters[] = {a.get(), d.get()};
        for (u32 frame = 0; frame < 4 && !d->GetMeeting().guardCounters; ++frame) {
            const InputPacket pa = frame == 2 ? Pad({25}) : Pad({}), pd = Pad({23});
            a->ApplyInputPacket(&pa);
            d->ApplyInputPacket(&pd);
            RunBattleFrame(scene_, fighters);
        }
        ASSERT_EQ(d->GetMeeting().guardCounters, 1u) << height;
        const CharacterStatus& sa = *a->GetStatus();
        EXPECT_EQ(sa.action, kActionHitReaction) << height;
        EXPECT_EQ(sa.damageType, 4u) << height;
        EXPECT_EQ(sa.hitDirection.x, 0.0f) << height;
        EXPECT_EQ(sa.hitDirection.y, 0.0f) << height;
        EXPECT_EQ(sa.hitDirection.z, 1.0f) << height;
    }
}

// The battle's own cards (the default factory), all read from Spell.txt.
// The fist carries two attack spheres: hit type 1 for the short attacks,
// 10 for a close card.
class SpellSphereTest : public CloseAttackTest {
protected:
    void SetUp() override
    {
        CloseAttackTest::SetUp();
        fighter_test::FighterParameter("Test")
            .Set("HITSPHERE", "radius:0.4 type:1 z:-0.8 bone:\"Body\"")
            .Set("HITSPHERE", "radius:0.4 type:10 z:-0.8 bone:\"Body\"")
            .Save("Chr_Test.txt");
        auto* object = new CEffectObject();
        object->SetName("spellhit");
        auto* hit = new CEffectContainer();
        hit->SetName("Efc_SpellHit");
        ASSERT_EQ(hit->AddObject(object), 1u);
        void* slot = hit;
        resources_.GetEffectList()->Add(&slot);
        SetCharacterObjectFactory(nullptr);
    }
    // A short-attack card: STR 50, POW 3, LIMIT 2, damage type 2, its
    // window open from 0 to 5 seconds, EFCSPELLHITATTACK "Efc_SpellHit".
    static setting_test::SettingWriter Card()
    {
        setting_test::SettingWriter w;
        w.Set("NAME", "spell").Set("SPELLTYPE", 4).Set("SHORTATTACKHITTYPE", 10).Set("SHORTATTACKSTR", 50);
        w.Set("SHORTATTACKPOW", 3.0f).Set("SHORTATTACKLIMIT", 2.0f).Set("SHORTATTACKDAMAGETYPE", 2);
        w.Set("SHORTATTACKSTART", 0.0f).Set("SHORTATTACKEND", 5.0f).Set("EFCSPELLHITATTACK", "Efc_SpellHit");
        return w;
    }
    // f casts its card `slot` at normal tension: running, clock 0.
    static void Cast(ScriptedFighter& f, u32 slot)
    {
        CharacterStatus& s = *f.GetStatus();
        s.action = kActionSpellCard, s.spellSlot = slot, s.tension = 1;
        auto* card = dynamic_cast<CSpellCard*>(f.GetSpellCards().at(slot).get());
        ASSERT_NE(card, nullptr);
        ASSERT_EQ(card->Activate(&f), 1);
    }
    static CEffect* PlayedNamed(const std::vector<CEffect*>& played, const char* name)
    {
        for (CEffect* e : played) {
            if (!std::strcmp(e->GetDefinition()->GetName(), name)) return e;
        }
        return nullptr;
    }
};

TEST_F(SpellSphereTest, TheCardsSphereHitsWithItsValuesAndMayRestrictItsVictim)
{
    // SHORTATTACKBUFFERTYPE set restricts for BUFFERTIME: the victim's
    // restriction timer and EFCRESTRICTION in slot 24, and its tension
    // (held high, option 3) drops to low while it lasts.
    const u32 restriction = FindEffectKey("EFCRESTRICTION");
    struct Row {
        const char* name;
        i32 bufferType;
        f32 bufferTime, before, after;
        u32 tension;
    } const rows[] = {
        {"restricting", 1, 4, 0, 4, 0},
        {"not restricting", 0, 4, 0, 0, 2},
        {"restricting for no time", 1, 0, 0, 0, 2},
        {"restricted already", 1, 4, 1, 4, 0},
    };
    for (const Row& r : rows) {
        ASSERT_TRUE(
            Card().Set("SHORTATTACKBUFFERTYPE", r.bufferType).Set("BUFFERTIME", r.bufferTime).Save("Spell.txt"));
        auto a = Posed(0, 0, 0, 0), d = Posed(-1.4f, 180, 1, 1, new CTensionFile());
        CharacterStatus &sd = *d->GetStatus();
        sd.fixedTension = 3;
        sd.effects[restriction] = &container_;
        if (r.before > 0) {
            sd.timers.statusTimers[4] = r.before;
            ASSERT_EQ(d->StartEffect(24, restriction), 1u);
        }
        const CEffect* held = d->GetAttachedObject(24);
        Cast(*a, 0);
        a->CollideCharacter2(d.get(), 0);
        EXPECT_EQ(sd.hp, 750) << r.name;
        EXPECT_EQ(sd.action, kActionHitReaction) << r.name;
        EXPECT_EQ(sd.damageType, 2u) << r.name;
        EXPECT_EQ(sd.knockPower, 3.0f) << r.name;
        EXPECT_EQ(sd.limitGauge, 2.0f) << r.name;
        EXPECT_EQ(a->GetStatus()->attackHitMask, 2u) << r.name;
        CEffect* hit = PlayedNamed(Played(), "spellhit");
        ASSERT_NE(hit, nullptr) << r.name;
        EXPECT_NEAR(hit->GetPlacePosition()->z, -1.35f, 1e-5f) << r.name;
        EXPECT_EQ(sd.timers.statusTimers[4], r.after) << r.name;
        EXPECT_EQ(d->GetAttachedObject(24) != nullptr, r.after > 0) << r.name;
        if (held) {
            EXPECT_EQ(d->GetAttachedObject(24), held) << r.name;   // not started again
        }
        d->UpdateTension(0);
        EXPECT_EQ(sd.tension, r.tension) << r.name;
        for (CEffect* e = effects_.GetFirstEffect(); e; e = effects_.GetFirstEffect()) e->Release();
    }
}

// A card's close hit lands once on a fighter; the next cast, or the next
// short attack a guard counter moves the card on to, may land again.
TEST_F(SpellSphereTest, EachCloseHitOfACardLandsOnce)
{
    ASSERT_TRUE(Card().Save("Spell.txt"));
    const struct {
        const char* name;
        void (*between)(ScriptedFighter&);
        i32 hp;
    } rows[] = {
        {"the same hit", [](ScriptedFighter&) {}, 750},
        {"cast again", [](ScriptedFighter& a) { Cast(a, 0); }, 700},
        {"the next short attack", [](ScriptedFighter& a) { a.AdvanceCardShortAttack(); }, 700},
    };
    for (const auto& r : rows) {
        auto a = Posed(0, 0, 0, 0), d = Posed(-1.4f, 180, 1, 1);
        Cast(*a, 0);
        a->CollideCharacter2(d.get(), 0);
        ASSERT_EQ(d->GetStatus()->hp, 750) << r.name;
        r.between(*a);
        a->CollideCharacter2(d.get(), 0);
        EXPECT_EQ(d->GetStatus()->hp, r.hp) << r.name;
        EXPECT_EQ(a->GetStatus()->attackHitMask, 2u) << r.name;
        for (CEffect* e = effects_.GetFirstEffect(); e; e = effects_.GetFirstEffect()) e->Release();
    }
}

// A guarded close hit sets the guard's hold to the attack's stiffen time:
// the short attack's record, or the card's.
TEST_F(SpellSphereTest, AGuardedHitSetsTheGuardsHoldFromItsAttack)
{
    ASSERT_TRUE(Card().Set("SHORTATTACKGUARD", 1).Set("SHORTATTACKGUARDSTIFFEN", 0.75f).Save("Spell.txt"));
    for (const bool card : {false, true}) {
        auto a = Posed(0, 0, 0, 0), d = Posed(-1.4f, 180, 1, 1);
        a->GetParameter()->values.shortAttacks[0].guardStiffenTime = 0.4f;
        d->GetParameter()->values.guard.justGuardTime = 0;
        d->GetStatus()->action = kActionGuard;
        if (card) Cast(*a, 0);
        else Attack(*a, kActionShortAttack, 0, 1);
        a->CollideCharacter2(d.get(), 0);
        EXPECT_EQ(d->GetStatus()->hp, 800) << card;
        EXPECT_EQ(d->GetMeeting().guardedHits, 1u) << card;
        EXPECT_EQ(d->GetStatus()->timers.guardHold, card ? 0.75f : 0.4f) << card;
    }
}

TEST_F(SpellSphereTest, TheKindOfTheHitFollowsTheCard)
{
    // The kind shows on the attacker as the kind of its last kill: the
    // victim has 10 HP left. The climax card's hit is kind 11 on the flag
    // that turns its barrages to 11.
    ASSERT_TRUE(Card().Save("Spell.txt"));
    struct Row { u32 slot, finale, kind; } const rows[] = {
        {0, 0, 6}, {1, 0, 6}, {2, 0, 7}, {3, 0, 7}, {4, 0, 8}, {5, 0, 9}, {6, 0, 10}, {6, 1, 11},
    };
    for (const Row& r : rows) {
        auto a = Posed(0, 0, 0, 0), d = Posed(-1.4f, 180, 1, 1);
        d->GetStatus()->hp = 10, d->GetStatus()->exactHp = 10;
        Cast(*a, r.slot);
        a->GetStatus()->finale = r.finale;
        a->CollideCharacter2(d.get(), 0);
        EXPECT_EQ(d->GetStatus()->action, kActionDefeated) << r.slot << " " << r.finale;
        EXPECT_EQ(a->GetStatus()->moveHit.lastKillKind, r.kind) << r.slot << " " << r.finale;
    }
}

TEST_F(SpellSphereTest, AHitSoundsTheAttackersShownWeapon)
{
    // The shown weapon's SOUNDTYPE 1 cuts, 0 strikes; damage type 1 is
    // light, others heavy. Played on the attacker's sound effects.
    using namespace character_slots;
    struct Row {
        const char* name;
        bool card, shown;
        i32 soundType, damageType;
        u32 effects;
    } const rows[] = {
        {"cut, heavy", false, true, 1, 2, 1u << kSeSlashLargeDamage},
        {"strike, light", false, true, 0, 1, 1u << kSeStrikeSmallDamage},
        {"cut, light", false, true, 1, 1, 1u << kSeSlashSmallDamage},
        {"no weapon shown", false, false, 1, 2, 0},
        {"a card, cut, light", true, true, 1, 1, 1u << kSeSlashSmallDamage},
        {"a card, strike, heavy", true, true, 0, 3, 1u << kSeStrikeLargeDamage},
        {"a card, no weapon shown", true, false, 0, 3, 0},
    };
    for (const Row& r : rows) {
        ASSERT_TRUE(setting_test::SettingWriter().Set("BONE", "Arm").Set("RESOURCE", "Non Name").Set("SHOWFLG", 1)
                        .Set("SOUNDTYPE", r.soundType).Save("Staff.txt"));
        ASSERT_TRUE(Card().Set("SHORTATTACKDAMAGETYPE", r.damageType).Save("Spell.txt"));
        auto a = Posed(0, 0, 0, 0), d = Posed(-1.4f, 180, 1, 1);
        VoiceBench sounds;
        sounds.GiveSoundEffects(*a->GetStatus());
        if (r.card) {
            Cast(*a, 0);
        } else {
            a->GetParameter()->values.shortAttacks[0].damageType = r.damageType;
            Attack(*a, kActionShortAttack, 0, 1);
        }
        if (r.shown) a->ShowWeapon(0, 1);
        a->CollideCharacter2(d.get(), 0);
        EXPECT_EQ(d->GetStatus()->hp, r.card ? 750 : 700) << r.name;
        EXPECT_EQ(sounds.PlayingEffects(), r.effects) << r.name;
        for (CEffect* e = effects_.GetFirstEffect(); e; e = effects_.GetFirstEffect()) e->Release();
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace close_attack_test
