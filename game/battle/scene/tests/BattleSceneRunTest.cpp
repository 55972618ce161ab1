// Whole battles from set-up to result, and a recorded battle played back
// from its replay, compared by their state hashes frame by frame.
#include "game/battle/scene/tests/BattleSceneTestSupport.h"

#include "engine/platform/Input.h"
#include "game/battle/character/CpuCharacter.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleStateConsole.h"
#include "game/data/Replay.h"

#include <algorithm>

namespace {

using namespace scene_test;

// The final state of the four-computer battle below. It changes whenever
// the simulation does on purpose (a fighter, bullet, stage or console rule):
// run the test, check that the battle still plays out as asserted, and put
// the hash it prints here. Both the normal and the sanitizer build must
// give it.
constexpr u64 kCpuBattleFinalHash = 0xb26266eb1da754f3;

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

TEST_F(BattleSceneTest, ComputerBattleRunsFromSetUpToItsResult)
{
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(CpuSetup()), 1u);
    ASSERT_EQ(scene.GetCharacterCount(), 4u);
    const BattleRun run = RunBattle(scene, 120, 7000);

    // It ends within the time limit of 100 s (plus the start second).
    ASSERT_NE(run.frameOver, 0u);
    EXPECT_LE(run.frameOver, 5700u);
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
    }
    // Bullets went with the end.
    EXPECT_EQ(scene.GetBullets().GetCount(), 0u);
    EXPECT_EQ(run.hashes.back().Value(), kCpuBattleFinalHash)
        << std::hex << "final hash 0x" << run.hashes.back().Value() << std::dec << " after " << run.hashes.size()
        << " frames, over at " << run.frameOver << ", HP lost " << HpLost(scene) << ", results " << r0 << " " << r1;
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
        CBattleSetup* setup = CpuSetup();
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
        const BattleRun run = RunBattle(scene, kFrames, kFrames, [&](u32 f) { Script(*input, f); });
        EXPECT_GT(run.mostBullets, 0u);
        EXPECT_GT(HpLost(scene), 0);
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

}  // namespace
