// The battle set-up through a replay file: restored whole, or refused
// without a change when a stored value lies past its tables.
#include "game/battle/scene/ReplaySetup.h"
#include "game/data/TensionFile.h"
#include "game/data/tests/ReplayTestSupport.h"
#include "game/data/tests/SaveTestSupport.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

class ReplaySetupTest : public ::testing::Test {
protected:
    // A replay of the set-up record with one frame; its path. The first
    // fighter is human, the others computers.
    std::string Recorded(const IReplaySetup& record, u32 fighterCount)
    {
        const u32 slot = ChooseReplaySlot(user_.Saves(), ConfigReplay{1, {}});
        CReplay recorder;
        EXPECT_EQ(recorder.Begin(), 1);
        recorder.WriteHeader("Stage", "Chr", 0);
        recorder.WriteRecord(record);
        CTensionFile tension;
        std::vector<replay_test::FakeFighter> fighters;
        std::vector<IReplayFighter*> list;
        for (u32 i = 0; i < fighterCount; ++i) recorder.WriteTrack(tension), fighters.emplace_back(i > 0);
        for (auto& f : fighters) list.push_back(&f);
        recorder.WriteStateList({});
        recorder.RecordFrame(list, 16);
        EXPECT_EQ(recorder.SaveToSlot(ConfigReplay{1, {}}), 1);
        return ReplaySlotPath(user_.Saves(), slot);
    }
    std::string Recorded(CBattleSetup& setup) { return Recorded(CReplaySetupRecord(setup), setup.count); }

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
    // Values no option row gives are still the battle's: lives past the
    // rule's five, a computer's music slot past the table.
    setup.option.extraLives = 0x7FFFFFFF;
    setup.GetEntry(1)->ownMusic = 60;
    const std::string path = Recorded(setup);

    CReplay player;
    CBattleSetup restored;
    CReplaySetupRecord record(restored);
    ASSERT_EQ(player.Open(path.c_str(), record), 1);
    EXPECT_EQ(player.GetFighterCount(), 4u);
    EXPECT_EQ(player.GetHumanCount(), 1u);
    ASSERT_EQ(player.ReadRecord(record), 1);
    EXPECT_EQ(WriteBattleSetup(restored), WriteBattleSetup(setup));
}

TEST_F(ReplaySetupTest, ASetupTheBattleRefusesDoesNotOpen)
{
    // Each is sound in the replay's own form (one entry is allowed there);
    // only the battle's reader refuses it. With a set-up that takes any
    // record, the same file opens and plays.
    CBattleSetup base;
    base.option.stage = 7;
    u8 entry[kBattleEntryBytes], option[kBattleOptionBytes];
    WriteBattleEntry(*base.GetEntry(0), entry);
    WriteBattleOption(base.option, option);
    replay_test::FakeSetup oneEntry;
    oneEntry.record = std::string("\1\0\0\0\0\0\0\0", 8) + std::string(reinterpret_cast<char*>(entry), sizeof entry) +
        std::string(reinterpret_cast<char*>(option), sizeof option);
    CBattleSetup pastTable;
    pastTable.option.stage = 40;
    const struct {
        const char* name;
        std::string path;
        u32 fighters;
    } rows[] = {
        {"one entry", Recorded(oneEntry, 1), 1},
        {"stage past the table", Recorded(pastTable), 4},
    };
    for (const auto& r : rows) {
        CBattleSetup restored;
        restored.option.stage = 3;
        const std::string before = WriteBattleSetup(restored);
        CReplaySetupRecord record(restored);
        CReplay player;
        EXPECT_EQ(player.Open(r.path.c_str(), record), 0) << r.name;
        EXPECT_EQ(player.GetError(), ReplayError::kSetupRefused) << r.name;
        EXPECT_EQ(player.ReadRecord(record), 0) << r.name;
        EXPECT_EQ(WriteBattleSetup(restored), before) << r.name;

        replay_test::FakeSetup anything;
        ASSERT_EQ(player.Open(r.path.c_str(), anything), 1) << r.name;
        EXPECT_EQ(player.GetFighterCount(), r.fighters) << r.name;
        replay_test::FakeTarget target;
        replay_test::FakeFighter human;
        IReplayFighter* list[] = {&human};
        ASSERT_EQ(player.ReadStateList(target), 1) << r.name;
        if (r.fighters == 1) {
            EXPECT_EQ(player.PlayFrame(list), 1) << r.name;
        }
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
