// One battle frame of bullets: Update on 1,000 live bullets of mixed motion
// types, then both interaction passes against 4 fighters, as the battle
// scene's frame runs them.
#include "engine/core/ObjectRegistry.h"
#include "engine/core/Random.h"
#include "engine/core/Scene.h"
#include "engine/platform/FrameTime.h"
#include "game/battle/object/BattleCharacter.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletParameter.h"
#include "game/battle/object/BulletPasses.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr u32 kBullets = 1000;
constexpr u32 kFighters = 4;

class Handler : public CScene {
    ORV_VALUE_CLASS(Handler)

public:
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    u32 OnMessage(u32 message, intptr_t parameter) override
    {
        if (message == kMsgSharedGroupBullets) *reinterpret_cast<u32*>(parameter) = 1;
        return 0;
    }
};

// Takes a bullet's damage when its per-slot rules and the spheres allow.
class Fighter : public CObjectDivision, public IBattleCharacter {
    ORV_VALUE_CLASS(Fighter)

public:
    Fighter() { SetGroup(kGroupFighter); }
    Fighter(const Fighter&) = default;
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    i32 LoadResource(CResourceController*) override { return 1; }
    u32 OnMessage(u32 message, CMessageObject*, intptr_t parameter) override
    {
        if (message == kMsgTargetSlot) *reinterpret_cast<u32*>(parameter) = slot;
        return message == kMsgIsDefeated ? 0 : 1;
    }
    i32 GetShooterGroup() const override { return i32(slot); }
    u32 IsHittable() const override { return 1; }
    u32 IsInScreenshotSpell() const override { return 0; }
    i32 HitTestBullet(CBullet* bullet, u32) override { return bullet->CanHit(); }
    i32 HitBullet(CBullet* b, u32) override
    {
        if (b->GetOwner() == this || !b->CanHit() || !b->CanHitTarget(slot) || !b->IsHitIntervalElapsed(slot)) return 1;
        CVector3 centre;
        f32 r = 0.0f;
        b->GetHitSphere(&centre, &r);
        if ((centre - m_position).LengthSquared() > (r + 2.0f) * (r + 2.0f)) return 1;
        damage += b->GetState().damage;
        b->CountHit(slot, 1);
        return 1;
    }
    u32 slot = 0;
    i64 damage = 0;
};

struct Battle {
    Battle()
    {
        saved = GetObjectRegistry();
        registry.SetHandler(&handler);
        SetObjectRegistry(&registry);
        SetFrameTime(16);
        SeedRandom(1);
        const i32 motions[] = {0, 2, 3, 4, 5, 6, 7, 8, 14, 18, 21, 25};
        for (i32 m : motions) {
            auto r = std::make_unique<CBulletParameter>();
            CBulletValues& v = r->GetValues();
            v.moveType = m;
            v.velocity = 30.0f;
            v.hitCount = 1000;
            v.hitInterval = 0.1f;
            v.hitRadius = 1.5f;
            v.hitReleaseType = 2;   // lives on through its hits
            v.bulletHitFlg = 1;
            v.per = 1.0f;
            v.str = 5;
            v.vibrationType = 4;
            v.pursuitAngle = 90.0f;
            v.pursuitAngleLimit = 180.0f;
            v.pursuitAngleAttenuation = 1.0f;
            v.breakTime = 0.5f;
            v.stopTime = 0.2f;
            v.optionLength = 3.0f;
            v.optionVelocity = 90.0f;
            v.shootRange = 20.0f;
            v.scalePow = CVector3(0, 0, 5);
            v.swingVec = CVector3(1, 0, 0);
            v.swingAngle = 2.0f;
            v.swingSpeed = 180.0f;
            v.swingRange = 10.0f;
            records.push_back(std::move(r));
        }
        for (u32 i = 0; i < kFighters; ++i) {
            fighters[i] = std::make_unique<Fighter>();
            fighters[i]->slot = i;
            const CVector3 at(i & 1 ? 60.0f : -60.0f, 0.0f, i & 2 ? 60.0f : -60.0f);
            fighters[i]->SetPosition(&at);
            callbacks[i] = fighters[i].get();
        }
        const auto coordinate = [] { return f32(RandomInt(2000)) * 0.1f - 100.0f; };
        for (u32 i = 0; i < kBullets; ++i) {
            auto* b = new CBullet(records[i % records.size()].get());
            Fighter* owner = fighters[i % kFighters].get();
            BulletLaunchRecord launch;
            launch.position = CVector3(coordinate(), coordinate() * 0.2f, coordinate());
            launch.direction = CVector3(1.0f, 0.0f, 0.0f);
            launch.shooter = owner;
            launch.shooterGroup = i32(owner->slot);
            launch.firingObject = owner;
            launch.target = fighters[(i + 1) % kFighters].get();
            b->Initialize(reinterpret_cast<intptr_t>(&launch));
            bullets.Add(b);
        }
    }
    ~Battle()
    {
        bullets.DeleteAll();
        SetObjectRegistry(saved);
    }

    void Frame(BulletPassCounts* counts)
    {
        UpdateBullets(bullets, 0);
        RunBulletFirstPass(bullets, callbacks, kFighters, 0, counts);
        RunBulletSecondPass(bullets, callbacks, kFighters, 0, counts);
    }

    Handler handler;
    CObjectRegistry registry;
    CObjectRegistry* saved = nullptr;
    std::vector<std::unique_ptr<CBulletParameter>> records;
    std::unique_ptr<Fighter> fighters[kFighters];
    IBattleCharacter* callbacks[kFighters] = {};
    CBulletList bullets;
};

void BM_BulletFrame(benchmark::State& state)
{
    Battle battle;
    BulletPassCounts counts;
    u64 frames = 0;
    for (auto _ : state) {
        battle.Frame(&counts);
        ++frames;
    }
    const f64 perFrame = frames ? 1.0 / f64(frames) : 0.0;
    state.counters["bullets"] = f64(battle.bullets.GetCount());
    state.counters["bullet_pairs"] = f64(counts.bulletPairs) * perFrame;
    state.counters["gated_pairs"] = f64(counts.gatedPairs) * perFrame;
    state.counters["fighter_pairs"] = f64(counts.fighterPairs) * perFrame;
    state.counters["bullet_steps"] = f64(counts.bulletSteps) * perFrame;
    state.counters["per_bullet"] =
        benchmark::Counter(f64(frames) * kBullets, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BulletFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
