// Whole battles from set-up to result, and a recorded battle played back
// from its replay, compared by their state hashes frame by frame.
#include "game/battle/scene/tests/BattleSceneTestSupport.h"

#include "engine/model/AnimationController.h"
#include "engine/platform/Input.h"
#include "game/battle/character/CpuCharacter.h"
#include "game/battle/character/StatisticCounters.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/CameraController.h"
#include "game/battle/object/Weapon.h"
#include "game/battle/object/WeaponSetting.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleStateConsole.h"
#include "game/battle/scene/ReplaySetup.h"
#include "game/data/Replay.h"
#include "game/data/TensionFile.h"

#include <algorithm>
#include <memory>
#include <set>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace scene_test;

// The final state of the four-computer battle below. It changes whenever
// the simulation does on purpose (a fighter, bullet, stage or console rule,
// the battle data set): run the test, check that the battle still plays out
// as asserted, put the hash it prints here, and name the change in the
// commit message. Every build (normal, sanitizer, clang, AArch64) must give
// it. Tests that compare two runs hold their first against a stored hash
// too: a change that alters both runs alike (fused multiply-add switched on,
// another library's sine) passes their comparison and must fail here.
constexpr u64 kCpuBattleFinalHash = 0x4b4e53c47cfbd0c4;
// The battle's seed. The computer casts its climax card only at an open
// rival with the right draw, its high-tension card only at a far one, and
// dashes only on two lucky draws; a defeat and a knock-down need the right
// hits to land. Few seeds bring all about (once the close attacks lunged
// along their pitch, seeds 1 to 165 tried: 50, 83, 92, 116, 134, 141 and 149
// did; once the stage took fighters' spheres at their centres, 50 cast no
// climax or high-tension card, and of 51 to 81 only 55 did all; once a close
// attack waited its cool-down after the last, of 40 to 140 only 76 did all;
// once a solid shot was cut by every body sphere it met, of 1 to 200 only
// 151 did all, the others casting no high-tension card above all; once a
// shot waited for its barrage to finish, and the spell chord for the
// selected card, 151 cast no tension card and of 1 to 240 only 34 and 235
// did all; once the locked-on move turned about the camera's up, a shot met
// the bounding sphere at the position and facing the target turned at the
// rotation speed, 34 cast no climax card and of 1 to 240 only 83 did all;
// once a guard kept the facing it starts with, and so faced its rival's
// way, 83 and most others cast no high-tension card; once, besides, a
// combo landed every hit and a guarded hit held the guard, of 1 to 420
// only 84 and 166 did all).
// When a change of behaviour leaves a counter at 0, try the next seeds
// before suspecting it.
constexpr u32 kCpuBattleSeed = 84;

// The state after the 2,000 recorded frames of the replay test below, held
// for the same reason and renewed the same way: a change that alters the
// recording and its playback alike goes unseen by their comparison.
constexpr u64 kRecordedBattleHash = 0x4c8f5e124c85b189;
// Its seed: one with which a computer's hit throws player 1 into a hit
// reaction (once a shot waited for its barrage to finish and the spell
// chord for the selected card, the former default seed brought none; of 1
// to 60, 54 and 57 did; once facing the target turned at the rotation speed
// and the locked-on move about the camera's up, 54 brought none; of 1 to 54,
// 3, 10, 21, 35 and 36 did; once guards held for their stiffen time and
// combos landed every hit, 3 brought none; of 1 to 60, 1, 4, 10, 20, 25,
// 40, 54 and 56 did).
constexpr u32 kRecordedBattleSeed = 1;

// What a battle did, frame by frame.
struct BattleRun {
    std::vector<BattleStateHash> hashes;
    u32 mostBullets = 0;
    u32 frameOver = 0;   // the frame the end test passed, 0 when it did not
};

// Runs scene until its battle is over and then `after` frames more (the
// fighters play their result actions), at most `limit` frames; script, when
// given, sets the pads before each frame.
BattleRun RunBattle(CBattleScene& scene, u32 after, u32 limit, const std::function<void(u32)>& script = {})
{
    BattleRun run;
    for (u32 f = 0; f < limit; ++f) {
        if (script) script(f);
        EXPECT_EQ(scene.Update(0), 1) << "frame " << f;
        run.hashes.push_back(scene.HashState());
        run.mostBullets = std::max(run.mostBullets, scene.GetBullets().GetCount());
        if (scene.IsOver() && !run.frameOver) run.frameOver = f + 1;
        if (run.frameOver && f + 1 >= run.frameOver + after) break;
    }
    return run;
}

// What the fighters of a battle did that their counters do not keep,
// watched frame by frame: lock-on switches, bullets of their barrages in
// flight, how far each camera's eye moved and strayed, how far a weapon
// strayed from its bone and a bone from its fighter.
struct FighterWatch {
    u32 lastTarget = 0, lockSwitches = 0, bulletFrames = 0;
    CVector3 firstEye;
    f32 eyeMoved = 0, eyeAway = 0, weaponOffBone = 0, boneAway = 0;
};

// The frames before this one are the start fade: cameras settle.
constexpr u32 kWatchFrom = 60;

void Watch(CBattleScene& scene, u32 frame, std::vector<FighterWatch>& watch)
{
    watch.resize(scene.GetCharacterCount());
    for (u32 i = 0; i < watch.size(); ++i) {
        const CCharacter* c = scene.GetCharacter(i);
        FighterWatch& w = watch[i];
        const u32 target = c->GetStatus()->lockedTargetId;
        if (target && w.lastTarget && target != w.lastTarget) ++w.lockSwitches;
        if (target) w.lastTarget = target;
        for (const CBullet* b = scene.GetBullets().First(); b; b = b->GetNext())
            if (b->GetOwner() == c) ++w.bulletFrames;
        CVector3 eye, angles;
        c->GetCameraController()->GetView(&eye, &angles);
        if (frame == kWatchFrom) w.firstEye = eye;
        if (frame > kWatchFrom) {
            w.eyeMoved = std::max(w.eyeMoved, (eye - w.firstEye).Length());
            w.eyeAway = std::max(w.eyeAway, (eye - *c->GetPosition()).Length());
        }
        for (u32 n = 0; n < c->GetWeapons().GetCount(); ++n) {
            const auto* weapon = static_cast<const CWeapon*>(c->GetWeapons().GetAt(n));
            if (!weapon->GetBone()) continue;
            CVector3 bone;
            weapon->GetBone()->WorldMatrix.GetTranslation(&bone);
            const f32 offset = weapon->GetSettings()->values.offsetPosition.Length();
            w.weaponOffBone = std::max(w.weaponOffBone, (*weapon->GetPosition() - bone).Length() - offset);
            w.boneAway = std::max(w.boneAway, (bone - *c->GetPosition()).Length());
        }
    }
}

// The music plays on as the application's loop would run it: each frame
// the sound output mixes the frame's time and the scene services its
// sounds, so the fighters follow the music's tension script.
void PlayFrameOfSound(CBattleScene& scene, host::sound::NullOutput& output, u32 frame)
{
    constexpr u64 kRate = 44100;
    std::vector<i16> mixed(2 * 1000);
    const u64 frames = u64(frame + 1) * kRate * kFrameMs / 1000 - u64(frame) * kRate * kFrameMs / 1000;
    output.MixFrames(u32(frames), mixed.data());
    scene.SoundStep(0, nullptr);
}

u32 Sum(const CBattleScene& scene, u32 counter)
{
    u32 sum = 0;
    for (u32 i = 0; i < scene.GetCharacterCount(); ++i) sum += scene.GetCharacter(i)->GetStatisticCounter(counter);
    return sum;
}

TEST_F(BattleSceneTest, ComputerBattleRunsFromSetUpToItsResult)
{
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(CpuSetup(kCpuBattleSeed)), 1u);
    ASSERT_EQ(scene.GetCharacterCount(), 4u);
    std::vector<FighterWatch> watch;
    f32 music = 0;
    const BattleRun run = RunBattle(scene, 120, 7000, [&](u32 f) {
        if (f) PlayFrameOfSound(scene, null_, f - 1), Watch(scene, f - 1, watch);
        music = std::max(music, scene.GetMusicTime());
    });
    ASSERT_EQ(watch.size(), 4u);

    // It ends within the time limit of 100 s (plus the start second).
    ASSERT_NE(run.frameOver, 0u);
    EXPECT_LE(run.frameOver, 5700u);
    EXPECT_GT(music, 90.0f) << "the music did not play along";
    // The fighters fought: shots flew and HP was lost.
    EXPECT_GT(run.mostBullets, 0u);
    EXPECT_GT(HpLost(scene), 0);
    // A team won, or the time ran out; every console shows the result.
    const u32 r0 = scene.GetResult(0), r1 = scene.GetResult(1);
    const bool timeOut = scene.GetConsole(0)->GetRemainingTime() <= 0.0f;
    EXPECT_TRUE((r0 == kResultWin && r1 == kResultLoss) || (r1 == kResultWin && r0 == kResultLoss) || timeOut);
    for (u32 i = 0; i < 4; ++i) {
        EXPECT_EQ(scene.GetConsole(i)->GetState()->GetResult(), scene.GetResult(i % 2)) << i;
        // Two seconds on, every fighter still standing plays its result: a
        // queued one starts once the action it waits behind ends.
        const CharacterStatus& s = *scene.GetCharacter(i)->GetStatus();
        EXPECT_TRUE(s.action == kActionResult || s.action == kActionDefeated)
            << i << " in action " << s.action << " queued " << s.queuedAction;
        // The ready clock ran only once the battle was over and settled
        // (message 24), within the two seconds after it.
        const f32 ready = scene.GetCharacter(i)->GetReadyClock();
        EXPECT_GT(ready, 0.0f) << i;
        EXPECT_LE(ready, 120 * kFrameMs * 0.001f + 1e-3f) << i;
    }

    // What every fighter did: shots and the bullets of its barrage, a card.
    for (u32 i = 0; i < 4; ++i) {
        const CCharacter* c = scene.GetCharacter(i);
        EXPECT_GT(c->GetStatisticCounter(kStatShots), 0u) << "shots of fighter " << i;
        EXPECT_GT(watch[i].bulletFrames, 0u) << "barrage bullets of fighter " << i;
        u32 cards = 0;
        for (u32 n : {kStatSpells, kStatExceptionSpells, kStatHiTensionSpells, kStatClimaxSpells})
            cards += c->GetStatisticCounter(n);
        EXPECT_GT(cards, 0u) << "spell cards of fighter " << i;
        // The camera followed its fighter and stayed near it; weapons hung
        // on their bones, the bones on the fighter.
        EXPECT_GT(watch[i].eyeMoved, 5.0f) << "camera eye movement of fighter " << i;
        EXPECT_LT(watch[i].eyeAway, 20.0f) << "camera eye distance of fighter " << i;
        EXPECT_LT(watch[i].weaponOffBone, 0.1f) << "weapon off its bone, fighter " << i;
        EXPECT_LT(watch[i].boneAway, 3.0f) << "weapon bone away from fighter " << i;
    }
    // What the battle as a whole did.
    u32 shotHits = 0, lockSwitches = 0;
    for (u32 i = 0; i < 4; ++i) {
        shotHits += scene.GetCharacter(i)->GetMeeting().shotHits;
        lockSwitches += watch[i].lockSwitches;
    }
    EXPECT_GT(Sum(scene, kStatClimaxSpells), 0u) << "climax cards";
    EXPECT_GT(shotHits, 0u) << "bullet hits";
    EXPECT_GT(Sum(scene, kStatGuards), 0u) << "guards";
    EXPECT_GT(Sum(scene, kStatGuardedHits), 0u) << "guarded hits";
    EXPECT_GT(lockSwitches, 0u) << "lock-on switches";
    EXPECT_GT(Sum(scene, kStatDashes), 0u) << "dashes";
    EXPECT_GT(Sum(scene, kStatSlides), 0u) << "slides";
    EXPECT_GT(Sum(scene, kStatHiTensionSpells), 0u) << "high-tension cards";
    // Hits hurt: a fighter fell, the tension cards knocked fighters down,
    // and both sides lost life by many hits' worth.
    EXPECT_GT(Sum(scene, kStatDefeats), 0u) << "defeats";
    EXPECT_GT(Sum(scene, kStatDownsSuffered), 0u) << "downs";
    EXPECT_EQ(Sum(scene, kStatDownsSuffered), Sum(scene, kStatDownsDealt));
    i32 lost[2] = {};
    for (u32 i = 0; i < 4; ++i) {
        const CCharacter* c = scene.GetCharacter(i);
        lost[c->GetStatus()->team & 1] += c->GetParameter()->values.general.hp - c->GetStatus()->hp;
    }
    EXPECT_GE(lost[0], 400) << "HP lost by team 0";
    EXPECT_GE(lost[1], 400) << "HP lost by team 1";

    // Bullets went with the end.
    EXPECT_EQ(scene.GetBullets().GetCount(), 0u);
    EXPECT_EQ(run.hashes.back().Value(), kCpuBattleFinalHash)
        << std::hex << "final hash 0x" << run.hashes.back().Value() << std::dec << " after " << run.hashes.size()
        << " frames, over at " << run.frameOver << ", HP lost " << HpLost(scene) << ", results " << r0 << " " << r1;
}

// Effects only show: the battle above runs the same with them as without
// them (the application handing no effect controller), frame by frame.
// Particles draw from the controller's own generator, so one peer drawing
// other effects cannot part from another.
TEST_F(BattleSceneTest, ComputerBattleIsTheSameWithEffectsAndWithout)
{
    u32 mostParticles = 0, mostNodes = 0;
    std::vector<BattleStateHash> shown;
    {
        CBattleScene scene(&app_);
        ASSERT_EQ(scene.Load(CpuSetup(kCpuBattleSeed)), 1u);
        shown = RunBattle(scene, 120, 7000, [&](u32 f) {
            if (f) PlayFrameOfSound(scene, null_, f - 1);
            mostParticles = std::max(mostParticles, effects_->GetParticlePool().GetLiveCount());
            mostNodes = std::max(mostNodes, effects_->GetNodePool().GetLiveCount());
        }).hashes;
    }
    // Effects did play, and particles were born from their generator.
    EXPECT_GT(mostNodes, 0u);
    EXPECT_GT(mostParticles, 0u);
    CRandom seeded;
    seeded.Seed(kCpuBattleSeed);
    EXPECT_NE(effects_->GetRandom().Next(), seeded.Next());

    FreshRegistry();
    app_.effects = nullptr;
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(CpuSetup(kCpuBattleSeed)), 1u);
    const BattleRun hidden = RunBattle(scene, 120, 7000, [&](u32 f) {
        if (f) PlayFrameOfSound(scene, null_, f - 1);
    });
    EXPECT_EQ(FirstDifference(shown, hidden.hashes), "");
    EXPECT_EQ(hidden.hashes.back().Value(), kCpuBattleFinalHash)
        << std::hex << "final hash 0x" << hidden.hashes.back().Value();
}

// The battle above with player 1 in place of the first computer, recorded
// for its first 2,000 frames (the sanitizer build runs a frame ten times
// slower) and played back from the replay file.
TEST_F(BattleSceneTest, ReplayGivesTheRecordedStateAtEveryFrame)
{
    constexpr u32 kFrames = 2000;
    auto input = std::make_unique<CInput>();
    app_.input = input.get();
    auto humanSetup = [] {
        CBattleSetup* setup = CpuSetup(kRecordedBattleSeed);
        setup->entries[0].kind = 0;
        return setup;
    };
    std::vector<BattleStateHash> recorded;
    {
        CBattleScene scene(&app_);
        CBattleSetup* setup = humanSetup();
        setup->recordReplay = 1;
        ASSERT_EQ(scene.Load(setup), 1u);
        ASSERT_NE(scene.GetReplay(), nullptr);
        std::set<u32> actions;
        const BattleRun run = RunBattle(scene, kFrames, kFrames, [&](u32 f) {
            Script(*input, f);
            actions.insert(scene.GetCharacter(0)->GetStatus()->action);
        });
        EXPECT_GT(run.mostBullets, 0u);
        // Hits did real damage, not one point each.
        EXPECT_GE(HpLost(scene), 300);
        // Player 1 was let go at the start, then shot and guarded, and a hit
        // threw it into a hit reaction.
        EXPECT_EQ(actions,
            (std::set<u32>{kActionNeutral, kActionShoot, kActionGuard, kActionHitReaction, kActionUnblocked}));
        EXPECT_EQ(run.hashes.back().Value(), kRecordedBattleHash)
            << std::hex << "final hash 0x" << run.hashes.back().Value() << std::dec << ", HP lost " << HpLost(scene);
        recorded = run.hashes;
        ASSERT_EQ(scene.GetReplay()->Finish(ReplaySlotPath(folder_.Path(), 3)), 1);
    }
    input = std::make_unique<CInput>();   // the pads play no part now
    app_.input = input.get();
    CBattleScene scene(&app_);
    CBattleSetup* setup = humanSetup();
    setup->replayMode = 1;
    setup->replayNumber = 3;
    setup->option.randomSeed = 1;   // the replay's own set-up replaces it
    ASSERT_EQ(scene.Load(setup), 1u);
    const BattleRun played = RunBattle(scene, kFrames, kFrames);
    EXPECT_EQ(FirstDifference(recorded, played.hashes), "");

    // A playback that parts from the recording is named by its first frame
    // and object: here a radio chat line reaches the consoles at frame 300.
    FreshRegistry();
    CBattleScene changed(&app_);
    setup = humanSetup();
    setup->replayMode = 1;
    setup->replayNumber = 3;
    ASSERT_EQ(changed.Load(setup), 1u);
    const BattleRun parted = RunBattle(changed, 400, 400, [&](u32 f) {
        const u8 line[kRadioChatBytes] = {'H', 'i'};
        if (f == 300) changed.OnSideMessage(kRadioChatId, line, kRadioChatBytes);
    });
    recorded.resize(parted.hashes.size());
    EXPECT_EQ(FirstDifference(recorded, parted.hashes), "frame 300, console 0");
}

// A stall mid-battle (a frame of 5,001 ms, a machine suspended) is stepped
// as the longest frame a replay holds, 5,000 ms: the recording is saved and
// plays back the battle as it was fought, the long frame with it.
TEST_F(BattleSceneTest, AStalledFrameIsRecordedAsItRanAndPlaysBack)
{
    constexpr u32 kFrames = 90, kStall = 40;
    std::vector<BattleStateHash> recorded;
    {
        CBattleScene scene(&app_);
        CBattleSetup* setup = CpuSetup();
        setup->recordReplay = 1;
        ASSERT_EQ(scene.Load(setup), 1u);
        ASSERT_NE(scene.GetReplay(), nullptr);
        for (u32 f = 0; f < kFrames; ++f) {
            SetFrameTime(f == kStall ? kReplayMaxFrameMs + 1 : kFrameMs);
            ASSERT_EQ(scene.Update(0), 1) << f;
            EXPECT_EQ(GetFrameTimeMs(), f == kStall ? kReplayMaxFrameMs : kFrameMs) << f;
            recorded.push_back(scene.HashState());
        }
        EXPECT_NE(recorded[kStall].Value(), recorded[kStall - 1].Value());
        ASSERT_EQ(scene.GetReplay()->Finish(ReplaySlotPath(folder_.Path(), 6)), 1);
    }
    FreshRegistry();
    CBattleScene scene(&app_);
    CBattleSetup* setup = CpuSetup(1);   // the replay's own set-up replaces it
    setup->replayMode = 1;
    setup->replayNumber = 6;
    ASSERT_EQ(scene.Load(setup), 1u);
    std::vector<BattleStateHash> played;
    for (u32 f = 0; f < kFrames; ++f) {
        SetFrameTime(kFrameMs);
        ASSERT_EQ(scene.Update(0), 1) << f;
        EXPECT_EQ(GetFrameTimeMs(), f == kStall ? kReplayMaxFrameMs : kFrameMs) << f;
        played.push_back(scene.HashState());
    }
    EXPECT_EQ(FirstDifference(recorded, played), "");
}

// A computer whose own music has no tension script keeps the level it
// starts with, in the battle and in its replay alike; the others follow
// their scripts. The replay says the fighter had none.
TEST_F(BattleSceneTest, AFighterWithoutATensionScriptKeepsItsLevelInItsReplay)
{
    constexpr u32 kFrames = 90, kSlot = 5;
    // Fighter 1 plays to music slot 5, which has no script (only slot 0 has).
    auto withoutScript = [] {
        CBattleSetup* setup = CpuSetup();
        setup->option.ownTension = 1;
        setup->entries[1].ownMusic = 5;
        return setup;
    };
    // The tension level of every fighter after each frame, then the hashes.
    auto run = [&](CBattleScene& scene, std::vector<BattleStateHash>& hashes) {
        std::vector<std::vector<u32>> levels(scene.GetCharacterCount());
        for (u32 f = 0; f < kFrames; ++f) {
            SetFrameTime(kFrameMs);
            EXPECT_EQ(scene.Update(0), 1) << f;
            hashes.push_back(scene.HashState());
            for (u32 i = 0; i < levels.size(); ++i) levels[i].push_back(scene.GetCharacter(i)->GetStatus()->tension);
        }
        return levels;
    };
    const std::vector<u32> low(kFrames, kTensionLow);
    std::vector<BattleStateHash> recorded;
    {
        CBattleScene scene(&app_);
        CBattleSetup* setup = withoutScript();
        setup->recordReplay = 1;
        ASSERT_EQ(scene.Load(setup), 1u);
        ASSERT_NE(scene.GetReplay(), nullptr);
        EXPECT_EQ(scene.GetCharacter(1)->GetTensionFile(), nullptr);
        const auto levels = run(scene, recorded);
        EXPECT_EQ(levels[1], low);
        // The others follow the music's script, which leaves the low level.
        EXPECT_NE(levels[0], low);
        ASSERT_EQ(scene.GetReplay()->Finish(ReplaySlotPath(folder_.Path(), kSlot)), 1);
    }
    {
        // One track a fighter; fighter 1's says it had none.
        CReplay player;
        CBattleSetup restored;
        CReplaySetupRecord record(restored);
        ASSERT_EQ(player.Open(ReplaySlotPath(folder_.Path(), kSlot).c_str(), record), 1)
            << DescribeReplayError(player.GetError());
        for (u32 i = 0; i < 4; ++i) {
            std::unique_ptr<CTensionFile> track;
            ASSERT_EQ(player.ReadTensionTrack(&track), 1) << i;
            EXPECT_EQ(track == nullptr, i == 1) << i;
        }
    }
    FreshRegistry();
    CBattleScene scene(&app_);
    CBattleSetup* setup = CpuSetup(1);   // the replay's own set-up replaces it
    setup->replayMode = 1;
    setup->replayNumber = kSlot;
    ASSERT_EQ(scene.Load(setup), 1u);
    EXPECT_EQ(scene.GetCharacter(1)->GetTensionFile(), nullptr);
    EXPECT_NE(scene.GetCharacter(0)->GetTensionFile(), nullptr);
    std::vector<BattleStateHash> played;
    EXPECT_EQ(run(scene, played)[1], low);
    EXPECT_EQ(FirstDifference(recorded, played), "");
}

// Fells fighter i of scene with one hit no HP survives.
void Fell(CBattleScene& scene, u32 i)
{
    CCharacter* c = scene.GetCharacter(i);
    CCharacterAction::Hit hit{};
    hit.damage = 1e7f;
    hit.damageType = 1;
    hit.canKill = 1;
    hit.sourceDirection = CVector3(0, 0, 1);
    ASSERT_EQ(static_cast<CCharacterAction*>(c)->TakeHit(hit), 1) << i;
    ASSERT_EQ(c->GetStatus()->action, u32(kActionDefeated)) << i;
    EXPECT_EQ(c->GetStatus()->hp, 0) << i;
}

// Fighters felled together between two frames: the end test of the next
// frame sees them all down at once. When no team is left standing every team
// draws (3): the rule's plain reading would hand team 0 the win only because
// its index comes first, which no fighter earned. When one team still stands
// it wins, so the draw is not what any end gives.
TEST_F(BattleSceneTest, FightersFallingInOneFrameEndTheBattleAsItsResultSays)
{
    const struct {
        const char* name;
        std::vector<u32> fall;   // fighters felled (teams: index % 2)
        u32 over;
        u32 results[2];          // of teams 0 and 1
    } rows[] = {
        {"every fighter of both teams", {0, 1, 2, 3}, 1, {kResultDraw, kResultDraw}},
        {"every fighter of team 1", {1, 3}, 1, {kResultWin, kResultLoss}},
        {"every fighter of team 0", {0, 2}, 1, {kResultLoss, kResultWin}},
        {"one of each team", {0, 1}, 0, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        FreshRegistry();
        CBattleScene scene(&app_);
        ASSERT_EQ(scene.Load(CpuSetup()), 1u);
        ASSERT_EQ(scene.GetCharacterCount(), 4u);
        for (u32 f = 0; f < 200 && scene.GetTimer() > 0.0f; ++f) ASSERT_EQ(scene.Update(0), 1);
        ASSERT_LE(scene.GetTimer(), 0.0f) << "still fading in";
        ASSERT_EQ(scene.IsOver(), 0u);
        for (u32 i : r.fall) Fell(scene, i);
        EXPECT_EQ(scene.IsOver(), 0u);   // decided by the next frame's end test
        ASSERT_EQ(scene.Update(0), 1);
        EXPECT_EQ(scene.IsOver(), r.over);
        if (!r.over) continue;
        for (u32 team = 0; team < 2; ++team) EXPECT_EQ(scene.GetResult(team), r.results[team]) << "team " << team;
        // Two seconds on, every console shows its fighter's team's result.
        for (u32 f = 0; f < 120; ++f) ASSERT_EQ(scene.Update(0), 1);
        for (u32 i = 0; i < 4; ++i) EXPECT_EQ(scene.GetConsole(i)->GetState()->GetResult(), r.results[i % 2]) << i;
    }
}


// The lives rule through the battle scene: fighter 1 (team 1) falls, then
// fighter 3, its teammate. Under the rule each defeat spends a life of
// team 1 and the fallen fighter gets up while the team has one left; the
// battle ends when team 1's lives are spent. Without it lives are never
// spent, nobody gets up, and the battle ends when team 1 has nobody
// standing. The same extra life on both sides of the rule.
TEST_F(BattleSceneTest, UnderTheLivesRuleDefeatsSpendLivesAndFightersGetUpWhileSomeAreLeft)
{
    const struct {
        const char* name;
        u32 livesRule, extraLives;
        u32 defeats;             // counted by each fighter's fall
        i32 livesAfterFirst[2];  // of teams 0 and 1
        u32 overAfterFirst;
        u32 revives;             // fighter 1 gets up
        i32 livesAtEnd[2];
    } rows[] = {
        {"no lives rule", 0, 1, 0, {2, 2}, 0, 0, {2, 2}},
        {"lives rule, no extra life", 1, 0, 1, {1, 0}, 1, 0, {1, 0}},
        {"lives rule, one extra life", 1, 1, 1, {2, 1}, 0, 1, {2, 0}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        FreshRegistry();
        CBattleSetup* setup = CpuSetup();
        setup->option.livesRule = r.livesRule;
        setup->option.extraLives = r.extraLives;
        CBattleScene scene(&app_);
        ASSERT_EQ(scene.Load(setup), 1u);
        ASSERT_EQ(scene.GetCharacterCount(), 4u);
        for (u32 i = 0; i < 4; ++i) EXPECT_EQ(scene.GetCharacter(i)->GetStatus()->revival, r.livesRule) << i;
        // Past the fade and the start stun: the fighters are free.
        for (u32 f = 0; f < 250; ++f) ASSERT_EQ(scene.Update(0), 1);
        ASSERT_LE(scene.GetTimer(), 0.0f);
        ASSERT_EQ(scene.IsOver(), 0u);
        for (u32 team = 0; team < 2; ++team) ASSERT_EQ(scene.GetTeamLives(team), i32(r.extraLives) + 1) << team;

        CCharacter* first = scene.GetCharacter(1);
        Fell(scene, 1);
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(first->GetDefeatCount(), r.defeats);
        ASSERT_EQ(scene.Update(0), 1);
        for (u32 team = 0; team < 2; ++team) EXPECT_EQ(scene.GetTeamLives(team), r.livesAfterFirst[team]) << team;
        EXPECT_EQ(scene.IsOver(), r.overAfterFirst);
        const CharacterStatus& s = *first->GetStatus();
        const CharacterValues& v = first->GetParameter()->values;
        if (r.revives) {
            // Down while its HP refills at ADDHPSPEED, one frame of it so
            // far; up (the data's models have no down motions, so on the
            // frame the refill passes HP) with its whole HP, invincible for
            // a while.
            EXPECT_EQ(s.action, u32(kActionDefeated));
            EXPECT_EQ(s.hp, i32(GetFrameTime() * v.body.addHpSpeed));
            EXPECT_GT(s.hp, 0);
            const u32 least = u32(f32(v.general.hp) / (GetFrameTime() * v.body.addHpSpeed)) - 1;
            u32 frames = 1;
            for (; frames < 4 * least && s.action == kActionDefeated; ++frames) {
                EXPECT_LT(s.hp, v.general.hp) << frames;
                ASSERT_EQ(scene.Update(0), 1);
            }
            EXPECT_GE(frames, least);
            EXPECT_LE(frames, least + 3);
            EXPECT_EQ(s.action, u32(kActionNeutral));
            EXPECT_EQ(s.hp, v.general.hp);
            EXPECT_GT(s.timers.invincibility, 0.0f);
            EXPECT_EQ(scene.IsOver(), 0u);
        } else {
            EXPECT_EQ(s.action, u32(kActionDefeated));
            EXPECT_EQ(s.hp, 0);
        }
        // A second on: the defeat was spent once; a fighter that stayed down
        // stays down.
        for (u32 f = 0; f < 55; ++f) ASSERT_EQ(scene.Update(0), 1);
        EXPECT_EQ(first->GetDefeatCount(), r.defeats);
        EXPECT_EQ(scene.GetTeamLives(1), r.livesAfterFirst[1]);
        EXPECT_EQ(s.action == kActionDefeated, !r.revives);

        if (!scene.IsOver()) {
            Fell(scene, 3);
            ASSERT_FALSE(HasFatalFailure());
            EXPECT_EQ(scene.GetCharacter(3)->GetDefeatCount(), r.defeats);
            ASSERT_EQ(scene.Update(0), 1);
        }
        EXPECT_EQ(scene.IsOver(), 1u);
        for (u32 team = 0; team < 2; ++team) EXPECT_EQ(scene.GetTeamLives(team), r.livesAtEnd[team]) << team;
        EXPECT_EQ(scene.GetResult(0), kResultWin);
        EXPECT_EQ(scene.GetResult(1), kResultLoss);
        // Team 1 is spent: whoever of it lies down stays down.
        for (u32 f = 0; f < 60; ++f) ASSERT_EQ(scene.Update(0), 1);
        if (!r.revives) {
            EXPECT_EQ(s.action, u32(kActionDefeated));
        }
        if (!r.overAfterFirst) {
            EXPECT_EQ(scene.GetCharacter(3)->GetStatus()->action, u32(kActionDefeated));
        }
        for (u32 i = 0; i < 4; ++i)
            EXPECT_EQ(scene.GetConsole(i)->GetState()->GetResult(), i % 2 ? kResultLoss : kResultWin) << i;
    }
}

}  // namespace

namespace {

using namespace scene_test;

// An all-computer battle: what the replay of one must give again.
struct ComputerReplayCase {
    const char* name;
    bool script;   // whether the music has a tension script
    // The recorded battle, as it played out.
    u32 frameOver;
    u32 shots[4], defeats[4];
    u32 results[2];
    u64 finalHash;   // held and renewed as kCpuBattleFinalHash above
};

void PrintTo(const ComputerReplayCase& c, std::ostream* os) { *os << c.name; }

// With this seed the battles with and without the music's script both end
// by time, with the script with one fighter of team 0 fallen (they part on
// the way: their final states differ).
constexpr u32 kComputerReplaySeed = 12;

class ComputerReplayTest : public BattleSceneTest, public testing::WithParamInterface<ComputerReplayCase> {
protected:
    // Runs the battle to its end and two seconds on, the music playing.
    BattleRun Run(CBattleScene& scene)
    {
        return RunBattle(scene, 120, 7000, [&](u32 f) {
            if (f) PlayFrameOfSound(scene, null_, f - 1);
        });
    }

    static std::vector<u32> Counters(const CBattleScene& scene, u32 counter)
    {
        std::vector<u32> values;
        for (u32 i = 0; i < scene.GetCharacterCount(); ++i)
            values.push_back(scene.GetCharacter(i)->GetStatisticCounter(counter));
        return values;
    }
};

// No computer's input is stored: the playback makes every choice of every
// fighter again from the set-up, the seed, the tension scripts and the
// recorded music times, and must come to the recorded state at every frame,
// the same shots, the same fallen fighters and the same end. A music
// without a script gives the fighters none: they keep the low level they
// start with, and their replay says they had none.
TEST_P(ComputerReplayTest, PlaybackGivesTheRecordedBattle)
{
    const ComputerReplayCase& c = GetParam();
    if (!c.script) app_.musicTension = nullptr;
    BattleRun recorded;
    {
        CBattleScene scene(&app_);
        CBattleSetup* setup = CpuSetup(kComputerReplaySeed);
        setup->recordReplay = 1;
        ASSERT_EQ(scene.Load(setup), 1u);
        ASSERT_NE(scene.GetReplay(), nullptr);
        recorded = Run(scene);
        const std::vector<u32> shots = Counters(scene, kStatShots), defeats = Counters(scene, kStatDefeats);
        // It ran to the end of its 100 s, and fell out as it did.
        EXPECT_EQ(recorded.frameOver, c.frameOver);
        EXPECT_EQ(shots, std::vector<u32>(std::begin(c.shots), std::end(c.shots)));
        EXPECT_EQ(defeats, std::vector<u32>(std::begin(c.defeats), std::end(c.defeats)));
        EXPECT_EQ(scene.GetResult(0), c.results[0]);
        EXPECT_EQ(scene.GetResult(1), c.results[1]);
        EXPECT_EQ(recorded.hashes.back().Value(), c.finalHash)
            << std::hex << "final hash 0x" << recorded.hashes.back().Value();
        ASSERT_EQ(scene.GetReplay()->Finish(ReplaySlotPath(folder_.Path(), 4)), 1);
    }

    // The application now offers the other script: the replay's own holds.
    app_.musicTension = c.script ? nullptr : &tension_;
    CBattleScene scene(&app_);
    CBattleSetup* setup = CpuSetup(1);   // the replay's own set-up replaces it
    setup->replayMode = 1;
    setup->replayNumber = 4;
    ASSERT_EQ(scene.Load(setup), 1u);
    const BattleRun played = Run(scene);
    EXPECT_EQ(FirstDifference(recorded.hashes, played.hashes), "");
    EXPECT_EQ(played.frameOver, c.frameOver);
    EXPECT_EQ(Counters(scene, kStatShots), std::vector<u32>(std::begin(c.shots), std::end(c.shots)));
    EXPECT_EQ(Counters(scene, kStatDefeats), std::vector<u32>(std::begin(c.defeats), std::end(c.defeats)));
    EXPECT_EQ(scene.GetResult(0), c.results[0]);
    EXPECT_EQ(scene.GetResult(1), c.results[1]);
}

INSTANTIATE_TEST_SUITE_P(Music, ComputerReplayTest,
    testing::Values(
        ComputerReplayCase{"WithItsScript", true, 5556, {20, 22, 11, 10}, {0, 0, 1, 0}, {kResultLoss, kResultWin},
            0x15c5295581b93482},
        ComputerReplayCase{"WithoutAScript", false, 5556, {28, 21, 7, 1}, {0, 0, 0, 0}, {kResultWin, kResultLoss},
            0x8ac8a46b825d9342}),
    [](const testing::TestParamInfo<ComputerReplayCase>& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace ORV_TEST_FILE_ID
