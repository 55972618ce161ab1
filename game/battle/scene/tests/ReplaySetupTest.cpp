// The battle set-up through a replay file: stored whole, restored whole, and
// a stored set-up with a value past its tables refused without a change.
#include "game/battle/scene/ReplaySetup.h"
#include "game/data/TensionFile.h"
#include "game/data/tests/ReplayTestSupport.h"
#include "game/data/tests/SaveTestSupport.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class ReplaySetupTest : public ::testing::Test {
protected:
    // A replay of setup with one frame; its path.
    std::string Recorded(CBattleSetup& setup)
    {
        CReplay recorder;
        EXPECT_EQ(recorder.Begin(), 1);
        recorder.WriteHeader("Stage", "Chr", 0);
        recorder.WriteRecord(CReplaySetupRecord(setup));
        CTensionFile tension;
        for (u32 i = 0; i < setup.count; ++i) recorder.WriteTrack(tension);
        replay_test::FakeFighter fighters[4] = {replay_test::FakeFighter(false), replay_test::FakeFighter(true),
            replay_test::FakeFighter(true), replay_test::FakeFighter(true)};
        IReplayFighter* list[4] = {&fighters[0], &fighters[1], &fighters[2], &fighters[3]};
        recorder.WriteStateList({});
        recorder.RecordFrame(list, 16);
        EXPECT_EQ(recorder.SaveToSlot(ConfigReplay{1, {}}), 1);
        return ReplaySlotPath(user_.Saves(), 1);
    }

    save_test::UserFolder user_;
    host::kernel::FakeClock clock_{0x1234};
    host::kernel::ScopedClock scoped_{clock_};
};

TEST_F(ReplaySetupTest, TheSetupComesBackWhole)
{
    CBattleSetup setup;
    setup.localEntry = 0;
    setup.option.randomSeed = 987654;
    setup.option.stage = 7;
    setup.GetEntry(2)->character = 11;
    std::strcpy(setup.GetEntry(3)->name, "Cpu");
    const std::string path = Recorded(setup);

    CReplay player;
    ASSERT_EQ(player.Open(path.c_str()), 1);
    EXPECT_EQ(player.GetFighterCount(), 4u);
    EXPECT_EQ(player.GetHumanCount(), 1u);
    CBattleSetup restored;
    CReplaySetupRecord record(restored);
    ASSERT_EQ(player.ReadRecord(record), 1);
    EXPECT_EQ(WriteBattleSetup(restored), WriteBattleSetup(setup));
}

TEST_F(ReplaySetupTest, AStoredSetupPastItsTablesChangesNothing)
{
    CBattleSetup setup;
    setup.option.stage = 40;   // no such stage
    const std::string path = Recorded(setup);

    CReplay player;
    ASSERT_EQ(player.Open(path.c_str()), 1);
    CBattleSetup target;
    target.option.randomSeed = 5;
    const std::string before = WriteBattleSetup(target);
    CReplaySetupRecord record(target);
    EXPECT_EQ(player.ReadRecord(record), 0);
    EXPECT_EQ(WriteBattleSetup(target), before);
}

}  // namespace
