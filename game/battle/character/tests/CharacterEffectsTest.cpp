// Effects into their slots through the effect controller, the reset by
// mask, the gauges at and past their limits, hit spheres and the double
// attack.
#include "CharacterTestSupport.h"

#include "engine/model/AnimationController.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectObject.h"
#include "game/battle/character/CharacterSlots.h"
#include "game/battle/object/Weapon.h"
#include "game/data/tests/SettingWriter.h"

namespace ORV_TEST_FILE_ID {

using namespace character_test;
using namespace character_slots;

namespace {

// Records the hits it takes instead of reacting.
class HitRecorder : public CPlayerCharacter {
public:
    using CPlayerCharacter::CPlayerCharacter;
    i32 TakeHit(CObjectDivision* attacker, u32 kind, intptr_t record) override
    {
        hits.push_back({attacker, kind, *reinterpret_cast<const GuardCrashHit*>(record)});
        return 1;
    }
    struct Hit {
        CObjectDivision* attacker;
        u32 kind;
        GuardCrashHit hit;
    };
    std::vector<Hit> hits;
};

class Effects : public CharacterTest {
protected:
    void SetUp() override
    {
        CharacterTest::SetUp();
        ASSERT_EQ(controller_.Create(nullptr, 256, 16), 1);
        scene_.effects = &controller_;
        container_.AddObject(new CEffectObject());
        fighter_ = New();
    }
    void TearDown() override
    {
        fighter_.reset();
        controller_.Release();
        CharacterTest::TearDown();
    }
    std::unique_ptr<HitRecorder> New()
    {
        auto* parameter = new CCharacterParameter();
        EXPECT_EQ(parameter->LoadFile("Chr_Test.txt"), 1);
        auto c = std::make_unique<HitRecorder>(parameter);
        EXPECT_EQ(c->LoadResource(&resources_), 1);
        EXPECT_EQ(c->Create(nullptr), 1);
        return c;
    }
    u32 LiveNodes() { return controller_.GetNodePool().GetLiveCount(); }
    CEffect* Node() { return container_.PlayInScene(&controller_, 0, nullptr); }
    u32 Registered()
    {
        u32 n = 0;
        for (CEffect* e = controller_.GetFirstEffect(); e; e = e->GetNextLive()) ++n;
        return n;
    }

    CEffectController controller_;
    CEffectContainer container_;
    std::unique_ptr<HitRecorder> fighter_;
};

TEST_F(Effects, StartEffectPlaysOnEveryBoneChainedAfterTheHead)
{
    CharacterStatus& s = *fighter_->GetStatus();
    s.effects[5] = &container_;
    ASSERT_EQ(fighter_->StartEffect(3, 5), 1u);
    // The head on the first bone, then one on each bone (Body, Arm).
    CAnimationController* bones = fighter_->GetAnimationController();
    std::vector<CAnimationFrame*> frames;
    for (CEffect* e = fighter_->GetAttachedObject(3); e; e = e->GetNext()) frames.push_back(e->GetParams().linkFrame);
    EXPECT_EQ(frames, (std::vector<CAnimationFrame*>{bones->GetFrameByName("Body"), bones->GetFrameByName("Body"),
                                                    bones->GetFrameByName("Arm")}));
    EXPECT_EQ(LiveNodes(), 3u);
    EXPECT_EQ(Registered(), 0u);   // the slot owns it

    // A new effect replaces the old one, which goes back to the pool.
    ASSERT_EQ(fighter_->StartEffect(3, 5), 1u);
    EXPECT_EQ(LiveNodes(), 3u);
    EXPECT_EQ(fighter_->EndAttachedObject(3), 1u);
    EXPECT_EQ(fighter_->GetAttachedObject(3)->GetEndFlag(), 1u);

    // Refused: an empty container, one past the table, a slot past the table.
    EXPECT_EQ(fighter_->StartEffect(4, 6), 0u);
    EXPECT_EQ(fighter_->StartEffect(4, kEffectCount), 0u);
    EXPECT_EQ(fighter_->StartEffect(kAttachedObjectCount, 5), 0u);
    EXPECT_EQ(fighter_->EndAttachedObject(4), 0u);
    EXPECT_EQ(LiveNodes(), 3u);
    fighter_->GetParameter()->values.body.effectBoneName.Release();
    EXPECT_EQ(fighter_->StartEffect(4, 5), 0u);
}

TEST_F(Effects, AFullTransientTableReleasesTheNewObject)
{
    for (u32 i = 0; i < kTransientObjectCount; ++i) ASSERT_EQ(fighter_->AddTransientObject(Node()), 1u) << i;
    EXPECT_EQ(LiveNodes(), kTransientObjectCount);
    EXPECT_EQ(fighter_->AddTransientObject(Node()), 0u);
    EXPECT_EQ(LiveNodes(), kTransientObjectCount);
    fighter_.reset();
    EXPECT_EQ(LiveNodes(), 0u);
}

TEST_F(Effects, ResetStatesKeepsTheSlotsOfItsMask)
{
    battle_test::FakeFighter bullet, stage;
    bullet.SetGroup(kGroupBullet);
    stage.SetGroup(kGroupStage);
    CharacterStatus& s = *fighter_->GetStatus();
    s.effects[kEffectIceFreezeEnd] = &container_;
    struct {
        u32 mask;
        u32 turnShoot, frozen, stageTold;
    } const rows[] = {
        {kResetKeepLoops, 1, 0, 1},
        {kResetKeepLoopsButFlight, 0, 0, 1},
        {(1u << 26) | (1u << 17) | (1u << 16) | (1u << 2) | 1u, 0, 1, 0},   // freeze kept, stage not told
    };
    for (const auto& r : rows) {
        for (u32 i = 0; i < kAttachedObjectCount; ++i) fighter_->SetAttachedObject(i, Node());
        s.turnShoot = 1, s.timers.freezeTime = 2, s.freezeKind = 0;
        fighter_->GetColor()->w = 0.25f;
        bullet.received.clear(), stage.received.clear();
        const u32 registered = Registered();
        ASSERT_EQ(fighter_->ResetStates(r.mask), 1u);
        for (u32 i = 0; i < kAttachedObjectCount; ++i)
            EXPECT_EQ(fighter_->GetAttachedObject(i) != nullptr, bool(r.mask >> i & 1)) << std::hex << r.mask << " " << i;
        EXPECT_EQ(s.turnShoot, r.turnShoot) << std::hex << r.mask;
        EXPECT_EQ(s.timers.freezeTime > 0, bool(r.frozen)) << std::hex << r.mask;
        // The ice-freeze end plays once at the fighter when the freeze ends.
        EXPECT_EQ(Registered() - registered, r.frozen ? 0u : 1u) << std::hex << r.mask;
        EXPECT_EQ(stage.Heard().size(), r.stageTold) << std::hex << r.mask;
        EXPECT_EQ(bullet.Heard(), std::vector<u32>{kMsgFighterReset});
        EXPECT_EQ(fighter_->GetColor()->w, 1.0f);
    }
    for (u32 i = 0; i < kSpellSlotCount; ++i)
        EXPECT_EQ(static_cast<FakeSpellCard*>(fighter_->GetSpellCards()[i].get())->cleared, 3u);
}

// A reset puts away the weapon that was shown with the weapon-change effect
// where the weapon is, unless the weapon asks for none, is already away or
// is always shown; a plain hide plays nothing.
TEST_F(Effects, AResetPutsAwayTheShownWeaponWithTheChangeEffect)
{
    struct {
        const char* name;
        i32 changeEffect, showFlag;
        bool thrown;     // away already (message 50) when the reset comes
        u32 mask;
        bool plainHide;  // hidden by a plain ShowWeapon instead of the reset
        u32 played;
        u32 shownAfter;
    } const rows[] = {
        {"put away", 1, 2, false, kResetKeepLoops, false, 1, 0},
        {"no change effect", 0, 2, false, kResetKeepLoops, false, 0, 0},
        {"already away", 1, 2, true, kResetKeepLoops, false, 0, 0},
        {"always shown", 1, 1 | 2, false, kResetKeepLoops, false, 0, 1},
        {"weapons kept", 1, 2, false, kResetKeepLoops | 1u << 27, false, 0, 1},
        {"plain hide", 1, 2, false, 0, true, 0, 0},
    };
    const CVector3 at(1.0f, 2.0f, 3.0f);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_TRUE(setting_test::SettingWriter().Set("BONE", "Arm").Set("RESOURCE", "Non Name")
                        .Set("SHOWFLG", r.showFlag).Set("CHANGEEFFECTFLG", r.changeEffect).Save("Staff.txt"));
        auto f = New();
        f->GetStatus()->effects[kEffectWeaponChange] = &container_;
        auto* staff = static_cast<CWeapon*>(f->GetWeapons().GetAt(0));
        ASSERT_NE(staff, nullptr);
        staff->SetPosition(&at);
        f->ShowWeapon(0, 1);
        if (r.thrown) {
            const u32 away = 0;
            staff->OnMessage(kMsgWeaponShown, nullptr, reinterpret_cast<intptr_t>(&away));
        }
        for (CEffect* e = controller_.GetFirstEffect(); e; e = controller_.GetFirstEffect()) e->Release();
        if (r.plainHide) f->ShowWeapon(0, 0);
        else ASSERT_EQ(f->ResetStates(r.mask), 1u);
        u32 played = 0;
        for (CEffect* e = controller_.GetFirstEffect(); e; e = e->GetNextLive()) {
            ++played;
            EXPECT_EQ(e->GetPlacePosition()->x, at.x);
            EXPECT_EQ(e->GetPlacePosition()->y, at.y);
            EXPECT_EQ(e->GetPlacePosition()->z, at.z);
        }
        EXPECT_EQ(played, r.played);
        EXPECT_EQ(staff->HasReturned(), r.shownAfter);
        for (CEffect* e = controller_.GetFirstEffect(); e; e = controller_.GetFirstEffect()) e->Release();
    }
}

TEST_F(Effects, GaugesAtAndPastTheirLimits)
{
    CharacterStatus& s = *fighter_->GetStatus();
    CharacterValues& v = fighter_->GetParameter()->values;
    v.spark.maxSparkGauge = 5;
    struct {
        f32 from, add, to;
    } const spark[] = {{4, 3, 5}, {4, 1, 5}, {1, -10, -9}};
    for (const auto& r : spark) {
        s.sparkGauge = r.from;
        fighter_->AddSparkGauge(r.add);
        EXPECT_EQ(s.sparkGauge, r.to) << r.from << " " << r.add;
    }

    SetFrameTime(10);
    struct {
        f32 from;
        u32 result;
        i32 hp;
        f32 exact;
    } const refill[] = {{700, 1, 701, 701}, {799.5f, 0, 800, 800.5f}, {800, 0, 800, 801}};
    for (const auto& r : refill) {
        s.exactHp = r.from;
        EXPECT_EQ(fighter_->RecoverHP(100), r.result) << r.from;
        EXPECT_EQ(s.hp, r.hp) << r.from;
        EXPECT_EQ(s.exactHp, r.exact) << r.from;
    }
    SetFrameTime(0);

    // MP 3 paying 5: MP 0 and the guard broken.
    s.mp = 3;
    fighter_->PayGuardMP(5, nullptr);
    EXPECT_EQ(s.mp, 0.0f);
    EXPECT_EQ(s.guardBreak, 1u);
    EXPECT_EQ(s.guardGauge, v.guard.guardTime);

    // Half a guard twice breaks it exactly at the second.
    s.guardBreak = 0, s.guardGauge = 0;
    fighter_->AddGuardLoad(0.5f, nullptr);
    EXPECT_EQ(s.guardBreak, 0u);
    fighter_->AddGuardLoad(0.5f, nullptr);
    EXPECT_EQ(s.guardBreak, 1u);
    EXPECT_EQ(s.guardGauge, 2.0f);
}

TEST_F(Effects, AGuardCrashHitsWithTheAttackersFigures)
{
    auto attacker = New();
    GuardRecord& crash = attacker->GetParameter()->values.guard;
    crash.crashDamagePow = 3, crash.crashDamageLimit = 4, crash.crashDamageType = 6;
    fighter_->GetStatus()->effects[kEffectGuardBreak] = &container_;
    ASSERT_EQ(fighter_->GuardBreak(attacker.get()), 1u);
    ASSERT_EQ(fighter_->hits.size(), 1u);
    const auto& h = fighter_->hits[0];
    EXPECT_EQ(h.attacker, attacker.get());
    EXPECT_EQ(h.kind, CCharacterBase::kGuardCrashHitKind);
    EXPECT_EQ(h.hit.damage, 0);
    EXPECT_EQ(h.hit.power, 3.0f);
    EXPECT_EQ(h.hit.limit, 4.0f);
    EXPECT_EQ(h.hit.direction.z, -1.0f);
    EXPECT_EQ(h.hit.damageType, 6);
    EXPECT_EQ(Registered(), 1u);
}

TEST_F(Effects, HitSpheresFollowTheirBonesOrTheWorld)
{
    const CVector3 at(4, 5, 6);
    fighter_->SetPosition(&at);
    fighter_->UpdateMatrix();
    CVector4 sphere;
    ASSERT_EQ(fighter_->GetHitSphere(0, &sphere), 1u);
    const CMatrix& body = fighter_->GetAnimationController()->GetFrameByName("Body")->CombinedMatrix;
    EXPECT_EQ(sphere.x, body.m[3][0]);
    EXPECT_EQ(sphere.y, body.m[3][1]);
    EXPECT_EQ(sphere.w, 0.5f);
    // "Tail" is no bone of the model: the world matrix places it.
    ASSERT_EQ(fighter_->GetHitSphere(1, &sphere), 1u);
    EXPECT_EQ(sphere.x, 4.0f);
    EXPECT_EQ(sphere.z, 6.0f);
    EXPECT_EQ(sphere.w, 0.3f);
    EXPECT_EQ(fighter_->GetHitSphere(2, &sphere), 0u);
}

TEST_F(Effects, ADoubleAttackNeedsATeamMateOnTheSameTarget)
{
    auto mate = New();
    CharacterStatus& me = *fighter_->GetStatus();
    CharacterStatus& them = *mate->GetStatus();
    struct {
        const char* what;
        i32 team;
        u32 target, action;
        f32 cooldown;
        u32 expected;
    } const rows[] = {
        {"a mate on the target", 1, 9, 0, 0, 1},
        {"another target", 1, 8, 0, 0, 0},
        {"another team", 2, 9, 0, 0, 0},
        {"a bound mate", 1, 9, kActionBound, 0, 0},
        {"cooling down", 1, 9, 0, 0.5f, 0},
    };
    // The mates come from the battle's character list (message 18).
    CObjectDivision* both[] = {fighter_.get(), mate.get()};
    scene_.characters = {both, 2};
    for (const auto& r : rows) {
        me.team = 1, me.lockedTargetId = 9, me.timers.doubleAttackCooldown = r.cooldown;
        them.team = r.team, them.lockedTargetId = r.target, them.action = r.action;
        EXPECT_EQ(fighter_->CanDoubleAttack(), r.expected) << r.what;
    }
    // A mate the list does not hold does not count, registered or not.
    them.team = 1, them.lockedTargetId = 9, them.action = 0, me.timers.doubleAttackCooldown = 0;
    scene_.characters = {both, 1};
    EXPECT_EQ(fighter_->CanDoubleAttack(), 0u);
    scene_.characters = {};
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
