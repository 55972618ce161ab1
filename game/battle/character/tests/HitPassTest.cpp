#include "game/battle/character/tests/CharacterTestSupport.h"

#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletPasses.h"

#include <string>

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
    void Shoot(const CBulletParameter& record, ScriptedFighter& victim, ScriptedFighter& shooter, CBulletList& list)
    {
        auto* bullet = new CBullet(&record);
        BulletLaunchRecord launch;
        launch.position = {0, 0.2f, 0.6f};
        launch.direction = {0, 0, -1};
        launch.shooter = launch.firingObject = &shooter;
        ASSERT_EQ(bullet->Initialize(reinterpret_cast<intptr_t>(&launch)), 1);
        bullet->SetDirection({0, 0, -0.5f});
        list.Add(bullet);
        IBattleCharacter* fighters[] = {&shooter, &victim};
        RunBulletFirstPass(list, fighters, 2, 0);
        RunBulletSecondPass(list, fighters, 2, 0);
    }
};

// What a hit leaves on the victim and the bullet.
struct Outcome {
    i32 hp;
    u32 action, hits;   // hits 0 once the bullet is gone
    f32 knock, limit;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Outcome& x)
{
    return o << "hp " << x.hp << " action " << x.action << " hits " << x.hits << " knock " << x.knock << " limit "
             << x.limit;
}

TEST_F(HitPassTest, BulletKindsThroughTheSecondPass)
{
    // Victim at the origin (HP 800, body spheres there), shooter far off on
    // the other team; a STR 100 shot of radius 0.4 passes 0.6 in front.
    // Heal 40 a second over a quarter-second frame gives 10.
    struct Row { i32 kind, team, startHp, hitCount, before, type; Outcome want; } rows[] = {
        {0, 1, 800, 5, 0, 2, {700, kActionHitReaction, 1, 4, 3}},
        {6, 1, 800, 5, 0, 0, {700, kActionFrozen, 1, 4, 3}},
        {10, 1, 800, 5, 0, 2, {800, kActionNeutral, 0, 0, 0}},
        {13, 0, 500, 5, 0, 2, {510, kActionNeutral, 1, 0, 0}},
        {13, 1, 500, 5, 0, 2, {510, kActionNeutral, 1, 0, 0}},
        {21, 1, 800, 5, 0, 2, {700, kActionHitReaction, 0, 4, 3}},
        {2, 1, 800, 5, 0, 2, {800, kActionNeutral, 0, 0, 0}},       // shooter not casting: refused, ended
        {0, 1, 800, 3, 2, 2, {700, kActionHitReaction, 3, 8, 6}},   // third of three: the LAST values
        {0, 1, 800, 3, 3, 2, {800, kActionNeutral, 3, 0, 0}},       // used up
        {0, 0, 800, 5, 0, 2, {800, kActionNeutral, 0, 0, 0}},       // own side
    };
    for (const Row& r : rows) {
        auto record = std::make_unique<CBulletParameter>();
        CBulletValues& v = record->GetValues();
        v.hitType = r.kind, v.hitCount = r.hitCount, v.str = 100, v.hitRadius = 0.4f, v.recoverySpeed = 40;
        v.pow = 4, v.lastPow = 8, v.limit = 3, v.lastLimit = 6, v.damageType = r.type, v.lastDamageType = r.type;
        v.freezeTime = 2;
        auto victim = Fighter({0, 0, 0}, 1, r.team), shooter = Fighter({0, 0, 50}, 0, 0);
        victim->GetStatus()->hp = r.startHp, victim->GetStatus()->exactHp = f32(r.startHp);
        auto* bullet = new CBullet(record.get());
        BulletLaunchRecord launch;
        launch.position = {0, 0.2f, 0.6f};
        launch.direction = {0, 0, -1};
        launch.shooter = launch.firingObject = shooter.get();
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
        EXPECT_EQ((Outcome{s.hp, s.action, hits, s.knockPower, s.limitGauge}), r.want) << "kind " << r.kind;
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

}  // namespace
