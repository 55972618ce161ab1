// One battle frame of bullets: Update on live bullets of mixed motion types,
// then both interaction passes against 4 fighters, as the battle scene's
// frame runs them, with a fiftieth of the bullets ending and as many fired
// anew each frame (so the object registry takes its share). 250, 1,000 and
// 4,000 bullets spread over a floor that grows with their number (the same
// crowd everywhere), each found in pairs by the broad phase and by the
// all-pairs walk; 16,000 by the broad phase alone. BM_BulletPasses times the two passes alone.
#include "engine/core/FloatMath.h"
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

constexpr u32 kFighters = 4;
// Each bullet lives this many frames, so the crowd keeps the same age.
constexpr u32 kLifeFrames = 50;

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
    explicit Battle(u32 count) : count(count)
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
        // 200 x 200 for 1,000 bullets.
        half = 100.0f * SqrtF(f32(count) / 1000.0f);
        for (u32 i = 0; i < kFighters; ++i) {
            fighters[i] = std::make_unique<Fighter>();
            fighters[i]->slot = i;
            const f32 at = half * 0.6f;
            const CVector3 position(i & 1 ? at : -at, 0.0f, i & 2 ? at : -at);
            fighters[i]->SetPosition(&position);
            callbacks[i] = fighters[i].get();
        }
        for (u32 i = 0; i < count; ++i) Fire();
    }

    void Fire()
    {
        const auto coordinate = [this] { return (f32(RandomInt(2000)) * 0.001f - 1.0f) * half; };
        auto* b = new CBullet(records[fired % records.size()].get());
        Fighter* owner = fighters[fired % kFighters].get();
        BulletLaunchRecord launch;
        launch.position = CVector3(coordinate(), coordinate() * 0.2f * 100.0f / half, coordinate());
        launch.direction = CVector3(1.0f, 0.0f, 0.0f);
        launch.shooter = owner;
        launch.shooterGroup = i32(owner->slot);
        launch.firingObject = owner;
        launch.target = fighters[(fired + 1) % kFighters].get();
        b->Initialize(reinterpret_cast<intptr_t>(&launch));
        bullets.Add(b);
        ++fired;
    }

    // The oldest bullets end, as many are fired.
    void Renew()
    {
        for (u32 i = 0; i < count / kLifeFrames; ++i) {
            delete bullets.First();
            Fire();
        }
    }

    ~Battle()
    {
        bullets.DeleteAll();
        SetObjectRegistry(saved);
    }

    void Passes(BulletPassCounts* counts, BulletPairWalk walk)
    {
        RunBulletFirstPass(bullets, callbacks, kFighters, 0, counts, walk);
        RunBulletSecondPass(bullets, callbacks, kFighters, 0, counts, walk);
    }

    u32 count = 0;
    u32 fired = 0;
    f32 half = 0.0f;
    Handler handler;
    CObjectRegistry registry;
    CObjectRegistry* saved = nullptr;
    std::vector<std::unique_ptr<CBulletParameter>> records;
    std::unique_ptr<Fighter> fighters[kFighters];
    IBattleCharacter* callbacks[kFighters] = {};
    CBulletList bullets;
};

void Report(benchmark::State& state, const Battle& battle, const BulletPassCounts& counts, u64 frames)
{
    const f64 perFrame = frames ? 1.0 / f64(frames) : 0.0;
    state.counters["bullets"] = f64(battle.bullets.GetCount());
    state.counters["bullet_pairs"] = f64(counts.bulletPairs) * perFrame;
    state.counters["gated_pairs"] = f64(counts.gatedPairs) * perFrame;
    state.counters["fighter_pairs"] = f64(counts.fighterPairs) * perFrame;
    state.counters["per_bullet"] = benchmark::Counter(
        f64(frames) * battle.count, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel(state.range(1) ? "all pairs" : "broad phase");
}

BulletPairWalk WalkOf(const benchmark::State& state)
{
    return state.range(1) ? BulletPairWalk::kAllPairs : BulletPairWalk::kBroadPhase;
}

// Bullets fired and ended, Update, both passes.
void BM_BulletFrame(benchmark::State& state)
{
    Battle battle(u32(state.range(0)));
    const BulletPairWalk walk = WalkOf(state);
    BulletPassCounts counts;
    u64 frames = 0;
    for (auto _ : state) {
        battle.Renew();
        UpdateBullets(battle.bullets, 0);
        battle.Passes(&counts, walk);
        ++frames;
    }
    Report(state, battle, counts, frames);
}

// The two passes alone: firing, ending and Update run untimed.
void BM_BulletPasses(benchmark::State& state)
{
    Battle battle(u32(state.range(0)));
    const BulletPairWalk walk = WalkOf(state);
    BulletPassCounts counts;
    u64 frames = 0;
    for (auto _ : state) {
        state.PauseTiming();
        battle.Renew();
        UpdateBullets(battle.bullets, 0);
        state.ResumeTiming();
        battle.Passes(&counts, walk);
        ++frames;
    }
    Report(state, battle, counts, frames);
}

void Sizes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"bullets", "all_pairs"});
    for (i64 n : {250, 1000, 4000})
        for (i64 all : {0, 1}) b->Args({n, all});
    // Growth past the sizes the all-pairs walk can still be timed at.
    b->Args({16000, 0});
    b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_BulletFrame)->Apply(Sizes);
BENCHMARK(BM_BulletPasses)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
