#include "game/battle/character/tests/CharacterTestSupport.h"

#include "game/battle/character/StatisticCounters.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletPasses.h"
#include "engine/model/AnimationController.h"
#include "engine/scene/Effect.h"

#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace character_test;

class HitPassTest : public ScriptedFighterTest {
protected:
    std::unique_ptr<ScriptedFighter> Fighter(CVector3 at, u32 slot, i32 team)
    {
        auto f = NewFighter<ScriptedFighter>();
        f->Create(nullptr);
        f->SetPosition(&at);
        f->GetStatus()->participantSlot = slot, f->GetStatus()->team = team;
        return f;
    }
    // A shot of the record from 0.6 in front of the victim (slot 1) through
    // both passes; the shooter is slot 0 far off. The list keeps the bullet.
    void Shoot(const CBulletParameter& record, ScriptedFighter& victim, ScriptedFighter& shooter, CBulletList& list,
        CVector3 step = {0, 0, -0.5f})
    {
        CBullet* bullet = nullptr;
        ASSERT_NO_FATAL_FAILURE(LaunchBullet(record, &shooter, step, bullet));
        list.Add(bullet);
        IBattleCharacter* fighters[] = {&shooter, &victim};
        RunBulletFirstPass(list, fighters, 2, 0);
        RunBulletSecondPass(list, fighters, 2, 0);
    }
};

// What a hit leaves on the victim, the bullet and the shooter.
struct Outcome {
    i32 hp;
    u32 action, hits;   // hits 0 once the bullet is gone
    f32 knock, limit;
    f32 disorder = 0, dot = 0;   // the disorder timer, the damage-over-time duration
    u32 killKind = kNoKillKind;  // the shooter's last kill
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Outcome& x)
{
    return o << "hp " << x.hp << " action " << x.action << " hits " << x.hits << " knock " << x.knock << " limit "
             << x.limit << " disorder " << x.disorder << " dot " << x.dot << " kill " << x.killKind;
}

TEST_F(HitPassTest, BulletKindsThroughTheSecondPass)
{
    // Every row of the kind table. Victim at the origin (HP 800, body
    // spheres there, its centre at half its height), shooter far off on
    // the other team; a STR 100 shot of radius 0.4 passes 0.6 in front at
    // height 0.2. Heal 40 a second over a quarter-second frame gives 10.
    // "aimed": the shot's own target is the victim. Height 0.4 puts the
    // victim's centre level with the shot, 0.2 below it.
    enum Shooter { kIdle, kCasting, kClimax };
    struct Row {
        i32 kind, team, startHp, hitCount, before, type;
        Outcome want;
        bool aimed = false;
        f32 height = 0, range = 0;
        Shooter shooter = kIdle;
    } rows[] = {
        {0, 1, 800, 5, 0, 2, {700, kActionHitReaction, 1, 4, 3}},
        {6, 1, 800, 5, 0, 0, {700, kActionFrozen, 1, 4, 3}},
        {10, 1, 800, 5, 0, 2, {800, kActionNeutral, 0, 0, 0}},
        {13, 0, 500, 5, 0, 2, {510, kActionNeutral, 1, 0, 0}},
        {13, 1, 500, 5, 0, 2, {510, kActionNeutral, 1, 0, 0}},
        {21, 1, 800, 5, 0, 2, {700, kActionHitReaction, 0, 4, 3}},
        {2, 1, 800, 5, 0, 2, {800, kActionNeutral, 0, 0, 0}},       // shooter not casting: refused, ended
        {2, 1, 800, 5, 0, 2, {800, kActionBound, 1, 0, 0}, false, 0, 0, kCasting},
        {0, 1, 800, 3, 2, 2, {700, kActionHitReaction, 0, 8, 6}},   // third of three: the LAST values, then gone
        {0, 1, 800, 3, 3, 2, {800, kActionNeutral, 3, 0, 0}},       // used up
        {0, 0, 800, 5, 0, 2, {800, kActionNeutral, 0, 0, 0}},       // own side
        // Not above the fighter: level with its centre hits, above it does not.
        {5, 1, 800, 5, 0, 2, {700, kActionHitReaction, 1, 4, 3}, false, 0.4f},
        {5, 1, 800, 5, 0, 2, {800, kActionNeutral, 0, 0, 0}, false, 0.2f},
        {19, 1, 800, 5, 0, 2, {700, kActionHitReaction, 1, 4, 3}, false, 0.4f},
        {19, 1, 800, 5, 0, 2, {800, kActionNeutral, 0, 0, 0}, true, 0.2f},
        // Proximity: only within SHOOTRANGE of the victim's position; after its
        // step the shot is 0.224 from it.
        {9, 1, 800, 5, 0, 2, {700, kActionHitReaction, 1, 4, 3}, false, 0, 0.23f},
        {9, 1, 800, 5, 0, 2, {800, kActionNeutral, 0, 0, 0}, false, 0, 0.22f},
        // Disorder and damage over time: DISORDERTIME 2.5 either way.
        {14, 1, 800, 5, 0, 2, {700, kActionHitReaction, 1, 4, 3, 2.5f, 0}},
        {15, 1, 800, 5, 0, 2, {700, kActionHitReaction, 1, 4, 3, 0, 2.5f}},
        // On its own target: past the hit count and the team, and 17 to 19
        // never kill and keep the victim's action.
        {17, 0, 50, 3, 3, 2, {1, kActionNeutral, 0, 8, 6}, true},
        {18, 1, 50, 5, 0, 2, {1, kActionNeutral, 1, 4, 3}, true},
        {19, 0, 800, 5, 0, 2, {700, kActionNeutral, 1, 4, 3}, true, 0.4f},
        {17, 1, 50, 5, 0, 2, {0, kActionDefeated, 1, 0, 0, 0, 0, 0}},   // not aimed: a plain hit
        {20, 0, 50, 5, 0, 2, {0, kActionDefeated, 1, 0, 0, 0, 0, 10}, true},
        {20, 0, 50, 5, 0, 2, {0, kActionDefeated, 1, 0, 0, 0, 0, 11}, true, 0, 0, kClimax},
        {20, 1, 50, 5, 0, 2, {0, kActionDefeated, 1, 0, 0, 0, 0, 0}},    // not aimed: the shot's kind 0
    };
    for (const Row& r : rows) {
        auto record = std::make_unique<CBulletParameter>();
        CBulletValues& v = record->GetValues();
        v.hitType = r.kind, v.hitCount = r.hitCount, v.str = 100, v.hitRadius = 0.4f, v.recoverySpeed = 40;
        v.pow = 4, v.lastPow = 8, v.limit = 3, v.lastLimit = 6, v.damageType = r.type, v.lastDamageType = r.type;
        v.freezeTime = 2, v.disorderTime = 2.5f, v.dotDamageInterval = 0.5f, v.shootRange = r.range;
        auto victim = Fighter({0, 0, 0}, 1, r.team), shooter = Fighter({0, 0, 50}, 0, 0);
        victim->GetStatus()->hp = r.startHp, victim->GetStatus()->exactHp = f32(r.startHp);
        if (r.height > 0) victim->GetParameter()->values.body.height = r.height;
        if (r.shooter != kIdle) shooter->GetStatus()->action = kActionSpellCard;
        shooter->GetStatus()->finale = r.shooter == kClimax;
        auto* bullet = new CBullet(record.get());
        BulletLaunchRecord launch;
        launch.position = {0, 0.2f, 0.6f};
        launch.direction = {0, 0, -1};
        launch.shooter = launch.firingObject = shooter.get();
        if (r.aimed) launch.target = victim.get();
        ASSERT_EQ(bullet->Initialize(reinterpret_cast<intptr_t>(&launch)), 1);
        bullet->SetDirection({0, 0, -0.5f});
        for (i32 i = 0; i < r.before; ++i) bullet->CountHit(1, 1);
        CBulletList list;
        list.Add(bullet);
        IBattleCharacter* fighters[] = {shooter.get(), victim.get()};
        RunBulletFirstPass(list, fighters, 2, 0);
        RunBulletSecondPass(list, fighters, 2, 0);
        const CharacterStatus& s = *victim->GetStatus();
        const u32 hits = list.GetCount() ? list.First()->GetState().hitCount[1] : 0;
        const Outcome got{s.hp, s.action, hits, s.knockPower, s.limitGauge, s.timers.statusTimers[1],
            victim->GetDamageOverTime().duration, shooter->GetStatisticCounter(kStatLastKillKind)};
        EXPECT_EQ(got, r.want) << "kind " << r.kind << (r.aimed ? " aimed" : "") << " height " << r.height;
    }
}

TEST_F(HitPassTest, EveryAttackKindRaisesItsKillCounters)
{
    // Counters A..I (statistics 30..38) by the kind of the killing hit; 3
    // (shoot-out), 4 (damage over time), 5 (guard crash) and kinds past 11
    // raise none, but every kill counts and keeps its kind.
    const struct { u32 kind; std::vector<u32> counters; } rows[] = {
        {0, {0}}, {1, {1}}, {2, {1, 2}}, {3, {}}, {4, {}}, {5, {}}, {6, {3}}, {7, {3, 4}}, {8, {5}}, {9, {6}},
        {10, {7}}, {11, {7, 8}}, {12, {}},
    };
    for (const auto& r : rows) {
        auto victim = Fighter({0, 0, 0}, 1, 1), attacker = Fighter({0, 0, 5}, 0, 0);
        victim->GetStatus()->hp = 10, victim->GetStatus()->exactHp = 10;
        ASSERT_EQ(victim->TakeHit(CCharacterAction::Hit{100, 0, 0, 0, 0, CVector3(0, 0, -1), 2, r.kind, 1, 0,
                      attacker.get()}), 1);
        ASSERT_EQ(victim->GetStatus()->action, kActionDefeated) << r.kind;
        std::vector<u32> raised;
        for (u32 c = 0; c < 9; ++c) {
            const u32 n = attacker->GetStatisticCounter(kStatKillsByKind + c);
            EXPECT_LE(n, 1u) << r.kind;
            if (n) raised.push_back(c);
        }
        EXPECT_EQ(raised, r.counters) << "kind " << r.kind;
        EXPECT_EQ(attacker->GetStatisticCounter(kStatKills), 1u) << r.kind;
        EXPECT_EQ(attacker->GetStatisticCounter(kStatLastKillKind), r.kind);
    }
}

TEST_F(HitPassTest, AFreezingShotFreezesWhateverItsDamageType)
{
    // STR 100, limit 3 a hit, MAXLIMIT 10. The hit's damage type never
    // throws the frozen fighter into a hit reaction; only an ice freeze
    // pushed over the limit breaks into the spin (type 7).
    struct Row { i32 freezeKind, type; f32 startLimit; u32 action, damageType; bool frozen; } rows[] = {
        {0, 0, 0, kActionFrozen, 0, true},
        {0, 2, 0, kActionFrozen, 0, true},
        {1, 3, 0, kActionFrozen, 0, true},
        {0, 2, 20, kActionHitReaction, 7, false},
        {1, 2, 20, kActionFrozen, 0, true},
    };
    for (const Row& r : rows) {
        auto record = std::make_unique<CBulletParameter>();
        CBulletValues& v = record->GetValues();
        v.hitType = 6, v.hitCount = 1, v.str = 100, v.hitRadius = 0.4f, v.pow = 4, v.limit = 3;
        v.damageType = r.type, v.freezeType = r.freezeKind, v.freezeTime = 2;
        auto victim = Fighter({0, 0, 0}, 1, 1), shooter = Fighter({0, 0, 50}, 0, 0);
        victim->GetParameter()->values.limit.maxLimit = 10;
        victim->GetStatus()->limitGauge = r.startLimit;
        CBulletList list;
        Shoot(*record, *victim, *shooter, list);
        const CharacterStatus& s = *victim->GetStatus();
        const std::string at = std::to_string(r.freezeKind) + " type " + std::to_string(r.type);
        EXPECT_EQ(s.hp, 700) << at;
        EXPECT_EQ(s.action, r.action) << at;
        EXPECT_EQ(s.damageType, r.damageType) << at;
        EXPECT_EQ(s.timers.freezeTime > 0, r.frozen) << at;
        EXPECT_EQ(s.limitGauge, r.startLimit + 3) << at;
    }
}

// A targeted shot (hit types 17 to 19) leaves the victim's action alone.
// With damage type 0 on an ice-frozen fighter over MAXLIMIT the hit is
// taken: HP falls, the freeze, its motion and the damage type stay.
TEST_F(HitPassTest, ATargetedTypeZeroShotOnAFrozenFighterOverTheLimit)
{
    // HP falls either way; only an accepted hit turns the hit direction
    // toward the shot (it comes from +z).
    struct Row { i32 hitType; u32 freezeKind; f32 startLimit; bool accepted; } rows[] = {
        {17, 0, 20, true}, {19, 0, 20, true},
        {17, 0, 10, false},   // at the limit, not above it
        {17, 1, 20, false},   // not ice
    };
    for (const Row& r : rows) {
        const std::string at = "hit type " + std::to_string(r.hitType) + " kind " + std::to_string(r.freezeKind) +
                               " limit " + std::to_string(r.startLimit);
        auto record = std::make_unique<CBulletParameter>();
        CBulletValues& v = record->GetValues();
        v.hitType = r.hitType, v.hitCount = 1, v.str = 100, v.hitRadius = 0.4f, v.pow = 4, v.damageType = 0;
        auto victim = Fighter({0, 0, 0}, 1, 1), shooter = Fighter({0, 0, 50}, 0, 0);
        victim->GetParameter()->values.limit.maxLimit = 10;
        CharacterStatus& s = *victim->GetStatus();
        s.action = kActionFrozen, s.freezeKind = r.freezeKind, s.timers.freezeTime = 1.0f, s.limitGauge = r.startLimit;
        s.damageMotion = FindMotionKey("DAMAGEMEDIUMFRONTSTART");
        s.hitDirection = CVector3(1, 0, 0);
        auto* bullet = new CBullet(record.get());
        BulletLaunchRecord launch;
        launch.position = {0, 0.2f, 0.6f};
        launch.direction = {0, 0, -1};
        launch.shooter = launch.firingObject = shooter.get();
        launch.target = victim.get();
        ASSERT_EQ(bullet->Initialize(reinterpret_cast<intptr_t>(&launch)), 1) << at;
        bullet->SetDirection({0, 0, -0.5f});
        CBulletList list;
        list.Add(bullet);
        IBattleCharacter* fighters[] = {shooter.get(), victim.get()};
        RunBulletFirstPass(list, fighters, 2, 0);
        RunBulletSecondPass(list, fighters, 2, 0);
        EXPECT_EQ(s.hp, 700) << at;
        EXPECT_EQ(s.hitDirection.x, r.accepted ? 0.0f : 1.0f) << at;
        EXPECT_EQ(s.action, u32(kActionFrozen)) << at;
        EXPECT_EQ(s.damageMotion, FindMotionKey("DAMAGEMEDIUMFRONTSTART")) << at;
        EXPECT_EQ(s.damageType, 0u) << at;
        EXPECT_GT(s.timers.freezeTime, 0.0f) << at;
    }
}

// A shot is first tested against the bounding sphere at the fighter's
// position (RADIUS 1; HEIGHT 2 puts the centre 1 above it); only a shot
// that meets it goes on to the body spheres. The second body sphere (its
// bone absent: placed by the world matrix) is moved to where the shot
// (radius 0.4) passes.
TEST_F(HitPassTest, AShotMeetsTheBoundingSphereAtThePosition)
{
    const struct { f32 shotY; i32 hp; } rows[] = {
        {1.9f, 800},    // beside the centre, 1.9 above the position: missed
        {-0.9f, 700},   // 1.9 below the centre, 0.9 below the position: hit
    };
    for (const auto& r : rows) {
        auto record = std::make_unique<CBulletParameter>();
        CBulletValues& v = record->GetValues();
        v.hitType = 0, v.hitCount = 5, v.str = 100, v.hitRadius = 0.4f, v.pow = 4, v.damageType = 2;
        auto victim = Fighter({0, 0, 0}, 1, 1), shooter = Fighter({0, 0, 50}, 0, 0);
        victim->GetParameter()->values.body.height = 2.0f;
        ASSERT_EQ(victim->GetParameter()->values.body.radius, 1.0f);
        auto* sphere = victim->GetParameter()->values.body.hitSphere.GetAt(1);
        ASSERT_EQ(sphere->type, 0);
        sphere->position = {0, r.shotY - 0.1f, 0}, sphere->radius = 0.5f;
        CVector4 placed;
        ASSERT_EQ(victim->GetHitSphere(1, &placed), 1u);
        ASSERT_NEAR(placed.y, r.shotY - 0.1f, 1e-4f);
        auto* bullet = new CBullet(record.get());
        BulletLaunchRecord launch;
        launch.position = {0, r.shotY, 0.6f};
        launch.direction = {0, 0, -1};
        launch.shooter = launch.firingObject = shooter.get();
        ASSERT_EQ(bullet->Initialize(reinterpret_cast<intptr_t>(&launch)), 1);
        bullet->SetDirection({0, 0, -0.5f});
        CBulletList list;
        list.Add(bullet);
        IBattleCharacter* fighters[] = {shooter.get(), victim.get()};
        RunBulletFirstPass(list, fighters, 2, 0);
        RunBulletSecondPass(list, fighters, 2, 0);
        EXPECT_EQ(victim->GetStatus()->hp, r.hp) << "shot at " << r.shotY;
    }
}

TEST_F(HitPassTest, BulletHitEffectsPlayWhereTheShotMeetsTheFighter)
{
    // The shot's EFCBULLETHIT is "Efc_Hit". A damage hit plays it at the
    // contact of the body sphere (r 0.5 at the origin) with the shot (r 0.4
    // at (0, 0.2, 0.6), a = 0.632 apart): half the overlap beyond the body's
    // surface, (0, 0.2, 0.6) x (0.5 + (0.9 - a) / 2) / a. A heal plays it
    // on each effect bone (Body, Arm); freezes, limit breaks, full-HP
    // heals and HITEFFECTTYPE 2 play nothing.
    auto* hitEffect = new CEffectContainer();
    hitEffect->SetName("Efc_Hit");
    auto* object = new CEffectObject();
    object->SetName("spark");
    ASSERT_EQ(hitEffect->AddObject(object), 1u);
    void* slot = hitEffect;
    resources_.GetEffectList()->Add(&slot);
    ASSERT_TRUE(setting_test::SettingWriter().Set("EFCBULLETHIT", "Efc_Hit").Save("HitShot.txt"));
    struct Row { i32 kind, effectType, startHp; u32 played; bool onBones; } rows[] = {
        {0, 0, 800, 1, false}, {0, 1, 800, 1, false}, {0, 2, 800, 0, false}, {14, 0, 800, 1, false},
        {13, 0, 500, 2, true}, {13, 0, 800, 0, false}, {6, 0, 800, 0, false}, {21, 0, 800, 0, false},
        {13, 0, 799, 0, false},   // raised, but held at HP 800
    };
    for (const Row& r : rows) {
        auto record = std::make_unique<CBulletParameter>();
        ASSERT_EQ(record->LoadFile("HitShot.txt"), 1);
        CBulletValues& v = record->GetValues();
        v.hitType = r.kind, v.hitEffectType = r.effectType, v.hitCount = 5, v.str = 100, v.hitRadius = 0.4f;
        v.recoverySpeed = 40, v.damageType = 2, v.pow = 1;
        auto victim = Fighter({0, 0, 0}, 1, 1), shooter = Fighter({0, 0, 50}, 0, 0);
        victim->GetStatus()->hp = r.startHp, victim->GetStatus()->exactHp = f32(r.startHp);
        CBulletList list;
        Shoot(*record, *victim, *shooter, list, CVector3());   // standing still: the contact stays put
        std::vector<CEffect*> played;
        for (CEffect* e = effects_.GetFirstEffect(); e; e = e->GetNextLive()) played.push_back(e);
        ASSERT_EQ(played.size(), r.played) << r.kind << " " << r.effectType;
        if (r.onBones) {
            CAnimationController* bones = victim->GetAnimationController();
            EXPECT_EQ(played[1]->GetParams().linkFrame, bones->GetFrameByName("Body"));
            EXPECT_EQ(played[0]->GetParams().linkFrame, bones->GetFrameByName("Arm"));
        } else if (r.played) {
            const CVector3& at = *played[0]->GetPlacePosition();
            EXPECT_NEAR(at.x, 0.0f, 1e-5f) << r.kind;
            EXPECT_NEAR(at.y, 0.200418f, 1e-5f) << r.kind;
            EXPECT_NEAR(at.z, 0.601253f, 1e-5f) << r.kind;
        }
        for (CEffect* e : played) e->Release();
    }
}

// A heal counts only when it raised HP: at full HP, or held there, the
// one-hit healing shot flies on, uncounted, to a mate it can heal.
TEST_F(HitPassTest, AHealHeldAtFullHpLeavesTheShotFlying)
{
    const struct {
        i32 startHp, hp;
        u32 shots, hits;
    } rows[] = {{800, 800, 1, 0}, {799, 800, 1, 0}, {500, 510, 0, 0}};
    for (const auto& r : rows) {
        auto record = std::make_unique<CBulletParameter>();
        CBulletValues& v = record->GetValues();
        v.hitType = 13, v.hitCount = 1, v.hitRadius = 0.4f, v.recoverySpeed = 40;
        auto mate = Fighter({0, 0, 0}, 1, 0), shooter = Fighter({0, 0, 50}, 0, 0);
        mate->GetStatus()->hp = r.startHp, mate->GetStatus()->exactHp = f32(r.startHp);
        CBulletList list;
        Shoot(*record, *mate, *shooter, list);
        EXPECT_EQ(mate->GetStatus()->hp, r.hp) << r.startHp;
        ASSERT_EQ(list.GetCount(), r.shots) << r.startHp;
        if (r.shots) {
            EXPECT_EQ(list.First()->GetState().hitCount[1], r.hits) << r.startHp;
        }
    }
}

// A suction shot pulls once for each body sphere inside it: the fighter's
// two (Body and Tail) are, so it is pulled twice.
TEST_F(HitPassTest, SuctionPullsForEachBodySphereInside)
{
    auto record = std::make_unique<CBulletParameter>();
    CBulletValues& v = record->GetValues();
    v.hitType = 9, v.hitCount = 5, v.hitRadius = 3.0f, v.suckingPow = 10.0f;
    auto victim = Fighter({0, 0, 0}, 1, 1), shooter = Fighter({0, 0, 50}, 0, 0);
    ASSERT_EQ(victim->GetParameter()->values.body.hitSphere.GetCount(), 2u);
    CBulletList list;
    Shoot(*record, *victim, *shooter, list, CVector3());
    ASSERT_EQ(list.GetCount(), 1u);
    CVector3 pull;
    list.First()->GetSuctionVector(victim.get(), &pull);
    ASSERT_GT(pull.Length(), 0.1f);
    const CVector3& moved = victim->GetStatus()->displacement;
    EXPECT_NEAR(moved.x, 2 * pull.x, 1e-5f);
    EXPECT_NEAR(moved.y, 2 * pull.y, 1e-5f);
    EXPECT_NEAR(moved.z, 2 * pull.z, 1e-5f);
}

TEST_F(HitPassTest, DisorderAndLimitBreakingShots)
{
    // A disorder shot (14) starts EFCDESTRUCTIONSTART where the shot is,
    // (0, 0.2, 0.6), not at the contact; a limit breaker (21) empties the
    // limit gauge and its clock before its own limit 3 lands.
    constexpr u32 kDestructionStart = 50;
    for (i32 kind : {14, 21}) {
        auto record = std::make_unique<CBulletParameter>();
        CBulletValues& v = record->GetValues();
        v.hitType = kind, v.hitCount = 5, v.str = 100, v.hitRadius = 0.4f, v.pow = 4, v.limit = 3;
        v.damageType = 2, v.disorderTime = 2;
        auto victim = Fighter({0, 0, 0}, 1, 1), shooter = Fighter({0, 0, 50}, 0, 0);
        CharacterStatus& s = *victim->GetStatus();
        s.effects[kDestructionStart] = &container_;
        s.limitGauge = 5, s.timers.limitTimer = 3;
        CBulletList list;
        Shoot(*record, *victim, *shooter, list, CVector3());
        EXPECT_EQ(s.hp, 700) << kind;
        EXPECT_EQ(s.limitGauge, kind == 21 ? 3.0f : 8.0f) << kind;
        EXPECT_EQ(s.timers.limitTimer, kind == 21 ? 0.0f : 3.0f) << kind;
        std::vector<CEffect*> played;
        for (CEffect* e = effects_.GetFirstEffect(); e; e = e->GetNextLive()) played.push_back(e);
        ASSERT_EQ(played.size(), kind == 14 ? 1u : 0u) << kind;
        if (kind == 14) {
            const CVector3& at = *played[0]->GetPlacePosition();
            EXPECT_NEAR(at.y, 0.2f, 1e-6f);
            EXPECT_NEAR(at.z, 0.6f, 1e-6f);
        }
        for (CEffect* e : played) e->Release();
    }
}

TEST_F(HitPassTest, ABindHoldsTheVictimInTheBindMotion)
{
    // The shooter casts a card: the victim is bound and locks on it, the
    // shooter on the victim; the bound step keeps CLIMAXBIND.
    auto record = std::make_unique<CBulletParameter>();
    CBulletValues& v = record->GetValues();
    v.hitType = 2, v.hitCount = 5, v.str = 100, v.hitRadius = 0.4f;
    auto victim = Fighter({0, 0, 0}, 1, 1), shooter = Fighter({0, 0, 50}, 0, 0);
    CharacterStatus& s = *victim->GetStatus();
    s.damageMotion = FindMotionKey("DAMAGESPIN");
    s.velocity = CVector3(1, 0, 0);
    shooter->GetStatus()->action = kActionSpellCard;
    CBulletList list;
    Shoot(*record, *victim, *shooter, list);
    EXPECT_EQ(s.action, kActionBound);
    EXPECT_EQ(s.damageMotion, FindMotionKey("CLIMAXBIND"));
    EXPECT_EQ(s.velocity.x, 0.0f);
    EXPECT_EQ(s.hp, 800);
    EXPECT_EQ(victim->GetLockedTarget(), shooter.get());
    EXPECT_EQ(shooter->GetLockedTarget(), victim.get());
    EXPECT_EQ(shooter->GetMeeting().binds, 1u);
    ASSERT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(list.First()->GetState().hitCount[1], 1u);
}

TEST_F(HitPassTest, TheLastHitOnAFighterEndsTheShotUnlessItsReleaseTypeKeepsIt)
{
    struct Row { i32 hitCount, releaseType; u32 left; } const rows[] = {{1, 0, 0}, {1, 2, 1}, {2, 0, 1}};
    for (const Row& r : rows) {
        auto record = std::make_unique<CBulletParameter>();
        CBulletValues& v = record->GetValues();
        v.hitType = 0, v.hitCount = r.hitCount, v.hitReleaseType = r.releaseType, v.str = 100, v.hitRadius = 0.4f;
        v.damageType = 2;
        auto victim = Fighter({0, 0, 0}, 1, 1), shooter = Fighter({0, 0, 50}, 0, 0);
        CBulletList list;
        Shoot(*record, *victim, *shooter, list);
        EXPECT_EQ(victim->GetStatus()->hp, 700) << r.hitCount << " " << r.releaseType;
        EXPECT_EQ(list.GetCount(), r.left) << r.hitCount << " " << r.releaseType;
    }
}

}  // namespace

// A shot's DAMAGESTIFFENTIME holds its victim in the hit reaction once the
// knock-back (one quarter-second frame here) has run out, until the damage
// clock passes it; without one the reaction waits for its motion, which the
// test model lacks, and ends at once. The end clears it for the next hit.
TEST_F(HitPassTest, AShotsStiffenTimeHoldsTheHitReaction)
{
    const std::pair<f32, u32> rows[] = {{0.0f, 2}, {0.9f, 5}, {1.0f, 6}, {1.1f, 6}};
    for (const auto& [stiffen, frames] : rows) {
        auto record = std::make_unique<CBulletParameter>();
        CBulletValues& v = record->GetValues();
        v.hitCount = 1, v.str = 100, v.hitRadius = 0.4f, v.pow = 1, v.damageType = 2, v.damageStiffenTime = stiffen;
        auto victim = Fighter({0, 0, 0}, 1, 1), shooter = Fighter({0, 0, 50}, 0, 0);
        victim->GetParameter()->values.damages[2] = {4.0f, 0, 1.0f, 0, 0, 0};
        CBulletList list;
        Shoot(*record, *victim, *shooter, list);
        const CharacterStatus& s = *victim->GetStatus();
        ASSERT_EQ(s.action, u32(kActionHitReaction)) << stiffen;
        EXPECT_EQ(s.timers.hitReaction, stiffen);
        u32 frame = 0;
        while (s.action == kActionHitReaction && frame < 20) victim->Update(0), ++frame;
        EXPECT_EQ(frame, frames) << stiffen;
        EXPECT_EQ(s.timers.hitReaction, 0.0f) << stiffen;
    }
}

TEST_F(HitPassTest, DangerLastsOnlyTheFramesABulletComesAtTheFighter)
{
    // A shot 5.6 in front of the victim, within DANGERRADIUS and
    // AUTOSLIDERADIUS: each second pass that finds it coming lights the
    // arrows and the auto-slide; the end of the fighter's frame puts them
    // out, and once the shot has passed the fighter it lights nothing more.
    auto record = std::make_unique<CBulletParameter>();
    record->GetValues().hitRadius = 0.1f, record->GetValues().hitCount = 5, record->GetValues().velocity = 1;
    auto victim = Fighter({0, 0, -5}, 1, 1), shooter = Fighter({0, 0, 50}, 0, 0);
    const CharacterBody& body = victim->GetParameter()->values.body;
    ASSERT_GT(body.dangerRadius, 6.0f);
    ASSERT_GT(body.autoSlideRadius, 6.0f);
    CBulletList list;
    Shoot(*record, *victim, *shooter, list);
    IBattleCharacter* fighters[] = {shooter.get(), victim.get()};
    const auto& meeting = victim->GetMeeting();
    std::string seen;
    const auto look = [&] { seen += meeting.dangerFlags ? 'd' : '-', seen += meeting.autoSlide ? 'a' : '-'; };
    look();
    victim->UpdateTimers(0);
    look();
    RunBulletSecondPass(list, fighters, 2, 0);
    look();
    victim->UpdateTimers(0);
    const CVector3 behind(0, 0, 5);
    victim->SetPosition(&behind);
    RunBulletSecondPass(list, fighters, 2, 0);
    look();
    EXPECT_EQ(seen, "da--da--");
    EXPECT_EQ(victim->GetStatus()->hp, victim->GetParameter()->values.general.hp);
}

// The danger arrows are where the shot comes from as the camera sees it: a
// shot coming along -Z at a fighter 5.6 ahead of it lies behind the fighter
// for a camera looking along -Z (yaw 0), before it at yaw 180, and off one
// side or the other at yaw 90 and 270. A mirage slide under way dodges by
// them on its next frame (down first, then left, right, up).
TEST_F(HitPassTest, DangerIsJudgedInTheCamerasFrame)
{
    AddFullFighter();
    struct Row {
        f32 yaw;
        u32 flags;
        const char* dodge;
    } const rows[] = {{0, 8, "SLIDEUP"}, {90, 2 | 8, "SLIDERIGHT"}, {180, 4, "SLIDEDOWN"}, {270, 1 | 8, "SLIDELEFT"}};
    for (const Row& r : rows) {
        auto* parameter = new CCharacterParameter();
        ASSERT_EQ(parameter->LoadFile("Chr_Full.txt"), 1);
        auto victim = std::make_unique<ScriptedFighter>(parameter, nullptr);
        ASSERT_EQ(victim->LoadResource(&resources_), 1);
        victim->Create(nullptr);
        const CVector3 at(0, 0, -5);
        victim->SetPosition(&at);
        CharacterStatus& s = *victim->GetStatus();
        s.participantSlot = 1, s.team = 1, s.tension = 1, s.mp = 100;
        ASSERT_GT(parameter->values.body.dangerRadius, 6.0f);
        static_cast<FakeCamera*>(victim->GetCameraController())->angles = CVector3(0, r.yaw, 0);
        auto shooter = Fighter({0, 0, 50}, 0, 0);
        s.lockedTargetId = shooter->GetId();
        ASSERT_EQ(victim->StartMirageSlide(0.0f), 1u);
        auto record = std::make_unique<CBulletParameter>();
        record->GetValues().hitRadius = 0.1f, record->GetValues().hitCount = 5, record->GetValues().velocity = 1;
        CBulletList list;
        Shoot(*record, *victim, *shooter, list);
        EXPECT_EQ(victim->GetMeeting().dangerFlags, r.flags) << r.yaw;
        victim->Update(0);
        ASSERT_EQ(s.action, u32(kActionMirageSlide)) << r.yaw;
        EXPECT_TRUE(victim->IsChangedAnimation(FindMotionKey(r.dodge))) << r.yaw;
    }
}

}  // namespace ORV_TEST_FILE_ID
