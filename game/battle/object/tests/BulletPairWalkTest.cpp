// The broad phase against the all-pairs walk: the same fights, frame by
// frame, must leave the same state whichever walk finds the bullet pairs.
#include "engine/core/Random.h"
#include "engine/core/StateHash.h"
#include "engine/platform/FrameTime.h"
#include "game/battle/object/Barrage.h"
#include "game/battle/object/BulletMath.h"
#include "game/battle/object/BulletPairGrid.h"
#include "game/battle/object/BulletParameter.h"
#include "game/battle/object/BulletPasses.h"
#include "game/battle/object/PatternListParameter.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "game/data/tests/SettingTestSupport.h"
#include "game/data/tests/SettingWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using battle_test::FakeBattleScene;
using battle_test::FakeFighter;
using setting_test::SettingWriter;

constexpr u32 kFighters = 4;
constexpr u32 kFrames = 80;

// Fires a spark at its target whenever it is fed by an absorber: a bullet
// joining the list in the middle of the second pass's pair walk.
class SparkingFighter : public FakeFighter {
    ORV_VALUE_CLASS(SparkingFighter)

public:
    SparkingFighter() = default;
    SparkingFighter(const SparkingFighter&) = default;
    u32 OnMessage(u32 message, CMessageObject* sender, intptr_t parameter) override
    {
        const u32 answer = FakeFighter::OnMessage(message, sender, parameter);
        if (message != kMsgAbsorb || !spark || sparks >= 40) return answer;
        auto* b = new CBullet(spark);
        BulletLaunchRecord launch;
        launch.position = m_position;
        launch.direction = *target->GetPosition() - m_position;
        launch.shooter = this;
        launch.shooterGroup = team;
        launch.firingObject = this;
        launch.target = target;
        b->Initialize(reinterpret_cast<intptr_t>(&launch));
        b->SendObjectMessage(kMsgNewBullet, CObjectRegistry::kHandlerId, -1, reinterpret_cast<intptr_t>(b));
        ++sparks;
        return answer;
    }
    const CBulletParameter* spark = nullptr;
    u32 sparks = 0;
};

// A bullet with keys on top of a common base: flying, short-lived, meeting
// other bullets.
SettingWriter Shot(f32 velocity)
{
    return SettingWriter().Set("MOVETYPE", 0).Set("VELOCITY", velocity).Set("EXISTENCETIME", 2.2f)
        .Set("HITRADIUS", 1.0f).Set("STAGEHITFLG", 0).Set("BULLETHITFLG", 1).Set("HITCOUNT", 3);
}

struct Kind {
    const char* name;
    SettingWriter bullet;
    u32 perVolley;
    f32 wait;
};

// Per fighter, the bullets its barrages fire at the one across.
std::vector<std::vector<Kind>> Arsenal()
{
    return {
        {{"breakable3", Shot(14).Set("HITRELEASETYPE", 0).Set("STR", 3), 7, 0.2f},
            {"eraser", Shot(12).Set("HITTYPE", 1), 3, 0.3f},
            {"absorber", Shot(6).Set("HITTYPE", 8).Set("HITRADIUS", 16.0f).Set("ABSORBINGPOW", 1.0f)
                .Set("HITRELEASETYPE", 2).Set("HITCOUNT", 100), 1, 1.0f}},
        {{"breakable2", Shot(15).Set("HITRELEASETYPE", 0).Set("STR", 2), 7, 0.2f},
            {"freezer", Shot(10).Set("HITTYPE", 6).Set("FREEZETYPE", 0).Set("FREEZETIME", 0.3f)
                .Set("HITRELEASETYPE", 6), 3, 0.35f},
            {"counter", Shot(11).Set("HITTYPE", 11).Set("HITRELEASETYPE", 2), 2, 0.4f},
            {"returning", Shot(13).Set("HITRELEASETYPE", 4).Set("PER", 0.5f), 3, 0.3f}},
        {{"beam", Shot(16).Set("HITTYPE", 3).Set("BEAMSTOPFLG", 1).Set("HITRELEASETYPE", 1).Set("STR", 5), 3, 0.3f},
            {"through", Shot(14).Set("BULLETTHROUGHFLG", 1), 4, 0.25f},
            {"seventeen", Shot(13).Set("HITTYPE", 17).Set("HITRELEASETYPE", 0), 4, 0.25f},
            {"breakable4", Shot(12).Set("HITRELEASETYPE", 3).Set("STR", 4), 6, 0.2f}},
        {{"no hits", Shot(14).Set("HITCOUNT", 0), 5, 0.3f},
            {"breakable1", Shot(13).Set("HITRELEASETYPE", 0).Set("STR", 1), 7, 0.2f},
            {"eraser2", Shot(12).Set("HITTYPE", 1).Set("HITRELEASETYPE", 0), 3, 0.3f},
            {"time freezer", Shot(9).Set("HITTYPE", 7).Set("FREEZETYPE", 1).Set("FREEZETIME", 0.2f), 2, 0.45f}},
    };
}

struct FightLog {
    std::vector<u64> hashes;   // after each frame
    BulletPassCounts counts;
    u32 mostBullets = 0;
    u32 struck = 0;     // bullets weakened by another, summed over frames
    u32 frozen = 0;     // bullets standing frozen, summed over frames
    u32 erasing = 0;    // erasers that erased in the frame, summed
    i32 absorbed = 0;
    u32 sparks = 0;
};

// Four fighters of three teams (0 and 2 share one, and the scene lets such
// bullets meet) firing fans at each other; everything hashed every frame.
FightLog Fight(BulletPairWalk walk)
{
    FightLog log;
    FakeBattleScene scene;
    scene.sharedGroupsMeet = 1;
    CObjectRegistry registry;
    registry.SetHandler(&scene);
    CObjectRegistry* saved = GetObjectRegistry();
    SetObjectRegistry(&registry);
    SeedRandom(11);
    const CVector3 places[kFighters] = {{-16, 0, 0}, {16, 0, 0}, {0, 1, -16}, {0, -1, 16}};
    const u32 across[kFighters] = {1, 0, 3, 2};
    const i32 teams[kFighters] = {0, 1, 0, 2};
    auto spark = std::make_unique<CBulletParameter>();
    spark->GetValues().velocity = 10.0f;
    spark->GetValues().hitRadius = 1.5f;
    spark->GetValues().hitReleaseType = 0;
    spark->GetValues().existenceTime = 1.0f;
    std::unique_ptr<SparkingFighter> fighters[kFighters];
    for (u32 f = 0; f < kFighters; ++f) {
        fighters[f] = std::make_unique<SparkingFighter>();
        fighters[f]->SetPosition(&places[f]);
        fighters[f]->UpdateMatrix();
        fighters[f]->slot = i32(f);
        fighters[f]->team = teams[f];
        fighters[f]->radius = 2.0f;
        fighters[f]->spark = spark.get();
    }
    for (u32 f = 0; f < kFighters; ++f) fighters[f]->target = fighters[across[f]].get();
    std::vector<std::unique_ptr<CPatternListParameter>> definitions;
    std::vector<std::unique_ptr<CBarrage>> barrages;
    std::vector<u32> shooterOf;
    const auto arsenal = Arsenal();
    for (u32 f = 0; f < kFighters; ++f) {
        for (const Kind& k : arsenal[f]) {
            const std::string name = std::to_string(f) + k.name;
            EXPECT_TRUE(k.bullet.Save(name + "Bullet.txt"));
            CVector3 aim;
            (places[across[f]] - places[f]).GetNormalized(&aim);
            EXPECT_TRUE(SettingWriter().Set("BULLET", name + "Bullet.txt").Set("SHOOTANGLETYPE", 0)
                .Set("SHOOTVECTOR", aim).Set("SIMULTANEOUSSHOOTCOUNT", i32(k.perVolley))
                .Set("SIMULTANEOUSSHOOTANGLEADD", 7.0f).Set("SHOOTWAIT", k.wait).Save(name + "Pattern.txt"));
            EXPECT_TRUE(SettingWriter().Set("PATTERN", name + "Pattern.txt").Save(name + "Barrage.txt"));
            definitions.push_back(std::make_unique<CPatternListParameter>());
            EXPECT_EQ(definitions.back()->LoadFile((name + "Barrage.txt").c_str()), 1) << name;
            barrages.push_back(std::make_unique<CBarrage>(definitions.back().get()));
            EXPECT_EQ(barrages.back()->LoadResource(nullptr), 1);
            shooterOf.push_back(f);
        }
    }
    IBattleCharacter* callbacks[kFighters];
    for (u32 f = 0; f < kFighters; ++f) callbacks[f] = fighters[f].get();
    for (u32 frame = 0; frame < kFrames; ++frame) {
        for (size_t i = 0; i < barrages.size(); ++i) {
            SparkingFighter* shooter = fighters[shooterOf[i]].get();
            ShooterRecord r;
            r.shooter = shooter;
            r.firingObject = shooter;
            r.target = shooter->target;
            r.shooterGroup = shooter->team;
            r.soundVolume = -500;
            barrages[i]->Update(&r);
        }
        UpdateBullets(scene.bullets, frame);
        RunBulletFirstPass(scene.bullets, callbacks, kFighters, frame, &log.counts, walk);
        RunBulletSecondPass(scene.bullets, callbacks, kFighters, frame, &log.counts, walk);
        scene.asked.clear();

        CStateHash hash;
        scene.bullets.HashState(hash);
        for (const auto& b : barrages) b->HashState(hash);
        for (const auto& f : fighters) hash.I32(f->damage).I32(f->absorbed).U32(f->hits).U32(f->sparks);
        log.hashes.push_back(hash.Value());
        log.mostBullets = std::max(log.mostBullets, scene.bullets.GetCount());
        for (const CBullet* b = scene.bullets.First(); b; b = b->GetNext()) {
            const CBulletValues& v = b->Values();
            log.struck += b->GetState().strength < f32(v.str);
            log.frozen += b->IsStopped();
            const auto* owner = dynamic_cast<const FakeFighter*>(b->GetOwner());
            const u32 slot = owner ? u32(owner->slot) : 0;
            log.erasing += v.hitType == 1 && b->GetState().hitEffectTimer[slot] == 0.0f && b->GetState().age > 0.0f;
        }
    }
    for (const auto& f : fighters) {
        log.absorbed += f->absorbed;
        log.sparks += f->sparks;
    }
    scene.bullets.DeleteAll();
    barrages.clear();
    SetObjectRegistry(saved);
    return log;
}

}  // namespace

TEST(BulletPairWalk, BroadPhaseLeavesEveryFrameAsTheAllPairsWalkDoes)
{
    setting_test::WorkFolder folder;
    const u32 savedFrame = GetFrameTimeMs();
    SetFrameTime(50);
    const FightLog all = Fight(BulletPairWalk::kAllPairs);
    const FightLog broad = Fight(BulletPairWalk::kBroadPhase);
    SetFrameTime(savedFrame);

    ASSERT_EQ(all.hashes.size(), kFrames);
    ASSERT_EQ(broad.hashes.size(), kFrames);
    for (u32 f = 0; f < kFrames; ++f) ASSERT_EQ(broad.hashes[f], all.hashes[f]) << "first apart after frame " << f;
    EXPECT_EQ(broad.counts.bulletPairs, all.counts.bulletPairs);
    EXPECT_EQ(broad.counts.fighterPairs, all.counts.fighterPairs);

    // A fight worth the name: hundreds of bullets, each kind of meeting seen,
    // bullets fired inside the walks, and the broad phase skipping most pairs.
    EXPECT_GE(all.mostBullets, 300u);
    EXPECT_GT(all.struck, 0u);
    EXPECT_GT(all.frozen, 0u);
    EXPECT_GT(all.erasing, 0u);
    EXPECT_GT(all.absorbed, 0);
    EXPECT_GT(all.sparks, 0u);
    EXPECT_GT(broad.counts.gatedPairs, 0u);
    EXPECT_LT(broad.counts.gatedPairs * 4, all.counts.gatedPairs);
}

namespace {

struct Placement {
    CVector3 at;
    f32 radius;
    u32 owner;
    i32 hitType;
    i32 hitCount;
    i32 through;
};

// strengths: each bullet's PER, its strength against bullets, in order
// (the parameter's own when empty).
u64 FewBulletsHash(const std::vector<Placement>& placements, BulletPairWalk walk, BulletPassCounts* counts,
    const std::vector<i32>& strengths = {})
{
    FakeBattleScene scene;
    CObjectRegistry registry;
    registry.SetHandler(&scene);
    CObjectRegistry* saved = GetObjectRegistry();
    SetObjectRegistry(&registry);
    FakeFighter owners[3];
    for (u32 i = 0; i < 3; ++i) {
        owners[i].slot = i32(i);
        owners[i].team = i32(i);
    }
    std::vector<std::unique_ptr<CBulletParameter>> records;
    for (const Placement& p : placements) {
        records.push_back(std::make_unique<CBulletParameter>());
        CBulletValues& v = records.back()->GetValues();
        v.velocity = 4.0f;
        v.hitRadius = p.radius;
        v.hitType = p.hitType;
        v.hitCount = p.hitCount;
        v.bulletThroughFlg = p.through;
        v.bulletHitFlg = 1;
        v.hitReleaseType = 0;
        v.str = 2;
        if (!strengths.empty()) v.per = f32(strengths[records.size() - 1]);
        auto* b = new CBullet(records.back().get());
        BulletLaunchRecord launch;
        launch.position = p.at;
        launch.direction = CVector3(1, 0, 0);
        launch.shooter = &owners[p.owner];
        launch.shooterGroup = i32(p.owner);
        launch.firingObject = &owners[p.owner];
        b->Initialize(reinterpret_cast<intptr_t>(&launch));
        scene.bullets.Add(b);
    }
    CStateHash hash;
    for (u32 frame = 0; frame < 3; ++frame) {
        UpdateBullets(scene.bullets, frame);
        RunBulletFirstPass(scene.bullets, nullptr, 0, frame, counts, walk);
        RunBulletSecondPass(scene.bullets, nullptr, 0, frame, counts, walk);
        scene.bullets.HashState(hash);
    }
    scene.bullets.DeleteAll();
    SetObjectRegistry(saved);
    return hash.Value();
}

}  // namespace

// Boxes the grid cannot hold (wider than it takes, out at the clamped
// cells), boxes across the cells around 0, and pairs the gate refuses.
TEST(BulletPairWalk, EdgesOfTheGridMeetAsInTheAllPairsWalk)
{
    const f32 far = 1.0e12f;
    const std::vector<std::pair<const char*, std::vector<Placement>>> cases = {
        {"far out, clamped cells", {{{far, 0, 0}, 1, 0, 0, 1, 0}, {{far, 0, 0}, 1, 1, 0, 1, 0},
                                       {{far, far, -far}, 1, 2, 0, 1, 0}, {{-far, 0, 0}, 1, 1, 0, 1, 0}}},
        {"wider than the grid", {{{0, 0, 0}, 1.0e10f, 0, 1, 5, 0}, {{500, 3, 0}, 1, 1, 0, 1, 0},
                                    {{-9.5f, 0, 0}, 0.3f, 2, 0, 1, 0}, {{0, 0, 0}, 60, 1, 8, 5, 0}}},
        {"around the origin", {{{-0.4f, 0, 0}, 0.5f, 0, 0, 1, 0}, {{0.4f, 0, 0}, 0.5f, 1, 0, 1, 0},
                                  {{-10.2f, 0, 0}, 0.5f, 2, 0, 1, 0}, {{9.9f, -0.1f, 0}, 0.5f, 0, 0, 1, 0}}},
        {"refused by the gate", {{{0, 0, 0}, 2, 0, 17, 1, 0}, {{0, 0, 0}, 2, 1, 0, 0, 0}, {{0, 0, 0}, 2, 2, 0, 1, 1},
                                    {{0, 0, 0}, 2, 0, 0, 1, 0}, {{1, 0, 0}, 2, 1, 0, 1, 0}}},
    };
    for (const auto& [name, placements] : cases) {
        BulletPassCounts all, broad;
        EXPECT_EQ(FewBulletsHash(placements, BulletPairWalk::kBroadPhase, &broad),
            FewBulletsHash(placements, BulletPairWalk::kAllPairs, &all))
            << name;
        EXPECT_EQ(broad.bulletPairs, all.bulletPairs) << name;
        EXPECT_LE(broad.gatedPairs, all.gatedPairs) << name;
    }
}

// Exact counts where a box is too wide for the grid: two such boxes meet
// once, not once from each side. And a bullet meeting two later ones, one
// found in the grid and one too wide for it, of strengths that make the
// order tell: the rows still come in list order.
TEST(BulletPairWalk, WideBoxesPairOnceAndRowsKeepListOrder)
{
    const struct {
        const char* name;
        std::vector<Placement> placements;
        std::vector<i32> strengths;
        u64 gatedPairs;   // by the broad phase: each pair once a pass, in the first frame (none is left after)
    } cases[] = {
        {"two boxes wider than the grid", {{{35, 64, -83}, 30, 0, 0, 5, 0}, {{40, 64, -83}, 30, 1, 0, 5, 0}}, {}, 2},
        {"one meets a grid partner and a wide one", {{{35, 64, -83}, 0.6f, 0, 0, 5, 0},
            {{35, 64, -83}, 30, 1, 0, 5, 0}, {{35.5f, 64, -83}, 0.6f, 1, 0, 5, 0}}, {3, 2, 2}, 4},
    };
    for (const auto& c : cases) {
        BulletPassCounts all, broad;
        EXPECT_EQ(FewBulletsHash(c.placements, BulletPairWalk::kBroadPhase, &broad, c.strengths),
            FewBulletsHash(c.placements, BulletPairWalk::kAllPairs, &all, c.strengths))
            << c.name;
        EXPECT_EQ(broad.bulletPairs, all.bulletPairs) << c.name;
        EXPECT_EQ(broad.gatedPairs, c.gatedPairs) << c.name;
    }
}

// Far from the origin, two overlapping shots of different owners whose
// boxes share cells unevenly on each axis (one across a cell wall on y, the
// other on z, then the same turned to x, and a box the grid holds apart):
// both walks find the pair. Near
// the origin every box is cell 0 and a crossed axis in the box test hides.
TEST(BulletPairWalk, OverlappingShotsMeetAcrossCellWallsOnEveryAxis)
{
    const std::vector<std::pair<const char*, std::vector<Placement>>> cases = {
        {"walls on y and z", {{{35, 60.3f, -80.3f}, 0.6f, 0, 0, 1, 0}, {{35.5f, 60.8f, -80.8f}, 0.6f, 1, 0, 1, 0}}},
        {"walls on x and z", {{{60.3f, 35, -80.3f}, 0.6f, 0, 0, 1, 0}, {{60.8f, 35.5f, -80.8f}, 0.6f, 1, 0, 1, 0}}},
        {"walls on x and y", {{{-80.3f, 60.3f, 35}, 0.6f, 0, 0, 1, 0}, {{-80.8f, 60.8f, 35.5f}, 0.6f, 1, 0, 1, 0}}},
        // A box too wide for the grid (cells 1..6, 3..8, -10..-5) against one
        // at its y and z edges (7..8, -6..-6).
        {"a box too wide for the grid", {{{35, 64, -83}, 25, 0, 0, 1, 0}, {{35, 80, -66}, 0.6f, 1, 0, 1, 0}}},
    };
    for (const auto& [name, placements] : cases) {
        BulletPassCounts all, broad;
        EXPECT_EQ(FewBulletsHash(placements, BulletPairWalk::kBroadPhase, &broad),
            FewBulletsHash(placements, BulletPairWalk::kAllPairs, &all))
            << name;
        EXPECT_GT(all.bulletPairs, 0u) << name;
        EXPECT_EQ(broad.bulletPairs, all.bulletPairs) << name;
    }
}

namespace {

// Two shots of different owners flying along x at the given speeds; one
// frame's Update and first pass (which moves them to where they stop), then
// a further pair walk. The gated pairs of the first pass and of that walk,
// the grid of the first pass kept or (fresh) built anew after a walk over
// another list.
std::pair<u64, u64> WalkAfterTheFirstPass(const CVector3& a, f32 speedA, const CVector3& b, f32 speedB, bool fresh)
{
    FakeBattleScene scene;
    CObjectRegistry registry;
    registry.SetHandler(&scene);
    CObjectRegistry* saved = GetObjectRegistry();
    SetObjectRegistry(&registry);
    FakeFighter owners[2];
    std::vector<std::unique_ptr<CBulletParameter>> records;
    const std::pair<CVector3, f32> shots[] = {{a, speedA}, {b, speedB}};
    for (u32 i = 0; i < 2; ++i) {
        owners[i].slot = owners[i].team = i32(i);
        records.push_back(std::make_unique<CBulletParameter>());
        CBulletValues& v = records.back()->GetValues();
        v.velocity = shots[i].second;
        v.hitRadius = 1.0f;
        v.hitCount = 3;
        v.bulletHitFlg = 0;   // passes through: the first pass cuts no step short
        auto* bullet = new CBullet(records.back().get());
        BulletLaunchRecord launch;
        launch.position = shots[i].first;
        launch.direction = CVector3(1, 0, 0);
        launch.shooter = launch.firingObject = &owners[i];
        launch.shooterGroup = i32(i);
        bullet->Initialize(reinterpret_cast<intptr_t>(&launch));
        scene.bullets.Add(bullet);
    }
    UpdateBullets(scene.bullets, 0);
    BulletPassCounts first, counts;
    RunBulletFirstPass(scene.bullets, nullptr, 0, 0, &first);
    if (fresh) {
        CBulletList other;
        RunBulletPairTests(other);
    }
    RunBulletPairTests(scene.bullets, &counts);
    scene.bullets.DeleteAll();
    SetObjectRegistry(saved);
    return {first.gatedPairs, counts.gatedPairs};
}

}  // namespace

// The walk after the first pass keeps the first pass's grid while every box
// only shrank: it must hand on the pairs a grid built anew would, no more
// (boxes that met while swept and no longer do) and no fewer.
TEST(BulletPairWalk, AGridKeptForShrunkBoxesFindsWhatANewOneWould)
{
    const u32 savedFrame = GetFrameTimeMs();
    SetFrameTime(50);
    const struct {
        const char* name;
        CVector3 a;
        f32 speedA;
        CVector3 b;
        f32 speedB;
        u64 swept, stopped;   // gated pairs of the first pass and of the walk after
    } cases[] = {
        // 200 a second: 10 units a frame. The mover's box crosses from cell
        // 0 into cell 1 while the other stands in cell 0.
        {"apart once stopped", {5, 5, 5}, 200.0f, {3, 5, 5}, 0.0f, 1, 0},
        {"still side by side", {5, 5, 5}, 20.0f, {5.5f, 5, 5}, 20.0f, 1, 1},
        {"both standing", {5, 5, 5}, 0.0f, {6, 5, 5}, 0.0f, 1, 1},
        {"standing apart", {5, 5, 5}, 0.0f, {45, 5, 5}, 0.0f, 0, 0},
    };
    for (const auto& c : cases) {
        for (bool fresh : {false, true}) {
            const auto [swept, stopped] = WalkAfterTheFirstPass(c.a, c.speedA, c.b, c.speedB, fresh);
            EXPECT_EQ(swept, c.swept) << c.name << " fresh " << fresh;
            EXPECT_EQ(stopped, c.stopped) << c.name << " fresh " << fresh;
        }
    }
    SetFrameTime(savedFrame);
}

namespace {

using Rows = std::vector<std::vector<u32>>;

Rows RowsOf(const BulletPairGrid& grid, const std::vector<BulletPairKey>& keys)
{
    Rows rows(keys.size());
    for (u32 i = 0; i < keys.size(); ++i) {
        if (!keys[i].partner) continue;
        grid.ForEachPartner(i, keys, [&](u32 j) { rows[i].push_back(j); });
    }
    return rows;
}

// Every later partner of another owner whose box meets, in list order.
Rows RowsByTesting(const std::vector<BulletPairKey>& keys)
{
    Rows rows(keys.size());
    for (u32 i = 0; i < keys.size(); ++i) {
        for (u32 j = i + 1; j < keys.size() && keys[i].partner; ++j) {
            if (keys[j].partner && keys[j].owner != keys[i].owner && BoxesMeet(keys[i].box, keys[j].box))
                rows[i].push_back(j);
        }
    }
    return rows;
}

// Boxes crowd three corners of the grid: around the origin and at both
// ends of the cell range. Most are one to three cells a side; some too
// wide for the grid and some turned inside out.
struct BoxMaker {
    explicit BoxMaker(u32 seed) { random.Seed(seed); }
    CRandom random;
    i32 Pick(u32 n) { return i32(random.Next() % n); }
    void Make(i32* box)
    {
        static const i32 corners[] = {0, 2000000000 - 4, -2000000000};
        const i32 corner = corners[Pick(3)];
        const u32 kind = u32(Pick(10));
        for (int a = 0; a < 3; ++a) {
            box[a] = corner + Pick(5);
            box[3 + a] = std::min(box[a] + (kind == 0 ? Pick(6) : Pick(3)), 2000000000);
        }
        if (kind == 1) box[4] = box[1] - 1;
    }
    // A box inside the given one, or a new one elsewhere.
    void Move(i32* box)
    {
        if (Pick(4) == 0) return Make(box);
        for (int a = 0; a < 3; ++a) {
            if (box[a] >= box[3 + a]) continue;
            if (Pick(2)) ++box[a];
            if (Pick(2) && box[a] < box[3 + a]) --box[3 + a];
        }
    }
};

}  // namespace

// The walks' grid, patched from the boxes it was built from, must hold the
// rows a grid built anew would (and every later partner whose box meets),
// in the same order, frame after frame as bullets come, go and move.
TEST(BulletPairGrid, PatchedRowsAreTheRowsOfANewGrid)
{
    for (u32 seed = 1; seed <= 20; ++seed) {
        BoxMaker maker(seed);
        std::vector<BulletPairKey> keys(20 + seed * 10), built;
        for (BulletPairKey& k : keys) {
            maker.Make(k.box);
            k.owner = u32(maker.Pick(4));
            k.partner = maker.Pick(8) ? 1u : 0u;
        }
        BulletPairGrid grid, fresh;
        u32 patched = 0, rebuilt = 0;
        for (u32 step = 0; step < 12; ++step) {
            // Every third step a bullet goes and another comes.
            if (step % 3 == 2) {
                keys.erase(keys.begin() + maker.Pick(u32(keys.size())));
                BulletPairKey k{};
                maker.Make(k.box);
                k.owner = u32(maker.Pick(4));
                k.partner = 1;
                keys.push_back(k);
            } else if (step) {
                for (BulletPairKey& k : keys)
                    if (maker.Pick(3) == 0) maker.Move(k.box);
            }
            const u32 cap = step % 4 == 3 ? 0 : u32(keys.size());
            if (grid.Patch(built, keys, cap)) {
                ++patched;
            } else {
                grid.Build(keys);
                built = keys;
                ++rebuilt;
            }
            fresh.Build(keys);
            const Rows rows = RowsOf(grid, keys);
            ASSERT_EQ(rows, RowsOf(fresh, keys)) << "seed " << seed << " step " << step;
            ASSERT_EQ(rows, RowsByTesting(keys)) << "seed " << seed << " step " << step;
        }
        EXPECT_GE(patched, 4u) << seed;
        EXPECT_GE(rebuilt, 4u) << seed;
    }
}

// A patch that cannot apply leaves the grid as it was built.
TEST(BulletPairGrid, APatchRefusedLeavesTheBuiltRows)
{
    auto key = [](i32 x, u32 owner, u32 partner) {
        return BulletPairKey{nullptr, {x, 0, 0, x + 1, 0, 0}, owner, partner};
    };
    const std::vector<BulletPairKey> built = {key(0, 1, 1), key(1, 2, 1), key(2, 3, 1)};
    const Rows before = {{1}, {2}, {}};
    const struct {
        const char* name;
        std::vector<BulletPairKey> keys;
        u32 cap;
    } cases[] = {
        {"one bullet more", {key(0, 1, 1), key(1, 2, 1), key(2, 3, 1), key(3, 4, 1)}, 4},
        {"another owner", {key(0, 1, 1), key(1, 1, 1), key(2, 3, 1)}, 4},
        {"no longer a partner", {key(0, 1, 1), key(1, 2, 0), key(2, 3, 1)}, 4},
        {"more leavers than allowed", {key(3, 1, 1), key(9, 2, 1), key(2, 3, 1)}, 1},
    };
    for (const auto& c : cases) {
        BulletPairGrid grid;
        grid.Build(built);
        EXPECT_FALSE(grid.Patch(built, c.keys, c.cap)) << c.name;
        EXPECT_EQ(RowsOf(grid, built), before) << c.name;
    }
    // At the cap's own value the patch applies.
    BulletPairGrid grid;
    grid.Build(built);
    const std::vector<BulletPairKey> moved = {key(3, 1, 1), key(9, 2, 1), key(2, 3, 1)};
    ASSERT_TRUE(grid.Patch(built, moved, 2));
    EXPECT_EQ(RowsOf(grid, moved), (Rows{{2}, {}, {}}));
}

namespace {

// The swept box one axis at a time, as the comparisons read.
void SweptCellBoxByAxis(const CVector3& p, const CVector3& step, f32 radius, f32 cellSize, i32* box)
{
    for (int a = 0; a < 3; ++a) {
        const f32 from = p[a];
        const f32 to = p[a] + step[a];
        const f32 lo = from < to ? from : to;
        const f32 hi = from < to ? to : from;
        box[a] = TruncateCell((lo - radius) / cellSize);
        box[3 + a] = TruncateCell((hi + radius) / cellSize);
    }
}

}  // namespace

TEST(BulletGridBox, AllAxesAtOnceGiveTheCellsOfOneAxisAtATime)
{
    const f32 inf = std::numeric_limits<f32>::infinity();
    const f32 nan = std::numeric_limits<f32>::quiet_NaN();
    const struct {
        const char* name;
        CVector3 p, step;
        f32 radius;
        i32 box[6];
    } cases[] = {
        {"forward and back", {5, -5, 15}, {10, -10, 0}, 1.0f, {0, -1, 1, 1, 0, 1}},
        {"zeros of both signs", {-0.0f, 0.0f, -0.0f}, {0.0f, -0.0f, -0.0f}, 0.0f, {0, 0, 0, 0, 0, 0}},
        {"negative radius turns it inside out", {0, 0, 0}, {0, 0, 0}, -15.0f, {1, 1, 1, -1, -1, -1}},
        {"at the top of the range and past it", {2.0e10f, 2.1e10f, inf}, {0, 0, 0}, 0.0f,
            {2000000000, 2000000000, 2000000000, 2000000000, 2000000000, 2000000000}},
        {"at the bottom of the range and past it", {-2.0e10f, -2.1e10f, -inf}, {0, 0, 0}, 0.0f,
            {-2000000000, -2000000000, -2000000000, -2000000000, -2000000000, -2000000000}},
        {"inside the range", {1.0e10f, -1.0e10f, 0}, {0, 0, 0}, 0.0f,
            {1000000000, -1000000000, 0, 1000000000, -1000000000, 0}},
        {"not a number", {nan, 15, 5}, {1, nan, 0}, 0.0f, {0, 0, 0, 0, 1, 0}},
        {"an infinite step", {5, 5, 5}, {inf, -inf, 0}, 0.0f, {0, -2000000000, 0, 2000000000, 0, 0}},
    };
    for (const auto& c : cases) {
        i32 box[6], byAxis[6];
        SweptCellBox(c.p, c.step, c.radius, 10.0f, box);
        SweptCellBoxByAxis(c.p, c.step, c.radius, 10.0f, byAxis);
        for (int a = 0; a < 6; ++a) {
            EXPECT_EQ(box[a], c.box[a]) << c.name << " " << a;
            EXPECT_EQ(box[a], byAxis[a]) << c.name << " " << a;
        }
    }
    // Random coordinates of every size, signs and steps.
    CRandom random;
    random.Seed(49);
    auto any = [&] {
        const f32 mantissa = f32(random.Next() % 2000001) / 1000000.0f - 1.0f;
        return mantissa * std::pow(10.0f, f32(random.Next() % 12) - 2.0f);
    };
    for (u32 i = 0; i < 20000; ++i) {
        const CVector3 p(any(), any(), any()), step(any(), any(), any());
        const f32 radius = any();
        i32 box[6], byAxis[6];
        SweptCellBox(p, step, radius, 10.0f, box);
        SweptCellBoxByAxis(p, step, radius, 10.0f, byAxis);
        for (int a = 0; a < 6; ++a) ASSERT_EQ(box[a], byAxis[a]) << i << " " << a;
    }
}

}  // namespace ORV_TEST_FILE_ID
