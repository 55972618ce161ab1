// The battle set-up through a replay file: restored whole, or refused
// without a change when a stored value lies past its tables.
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
        const u32 slot = ChooseReplaySlot(user_.Saves(), ConfigReplay{1, {}});
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
        return ReplaySlotPath(user_.Saves(), slot);
    }

    save_test::UserFolder user_;
    host::kernel::FakeClock clock_{0x1234};
    host::kernel::ScopedClock scoped_{clock_};
};

TEST_F(ReplaySetupTest, TheSetupComesBackWholeOrNotAtAll)
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

    // A stored stage past the table is refused and changes nothing.
    setup.option.stage = 40;
    CReplay damaged;
    ASSERT_EQ(damaged.Open(Recorded(setup).c_str()), 1);
    EXPECT_EQ(damaged.ReadRecord(record), 0);
    setup.option.stage = 7;
    EXPECT_EQ(WriteBattleSetup(restored), WriteBattleSetup(setup));
}

}  // namespace
