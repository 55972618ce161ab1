// What the results read of a real fighter made from the test data.
#include "game/battle/character/tests/CharacterTestSupport.h"
#include "game/battle/scene/BattleResults.h"

namespace ORV_TEST_FILE_ID {

using namespace character_test;

TEST_F(ScriptedFighterTest, ResultsReadTheFighterAsItStands)
{
    MakeFighter();
    CharacterStatus& s = S();
    s.team = 2, s.hp = 345, s.defeatCount = 1, s.action = BattleFighter::kActionDown;
    s.moveHit.kills = 2, s.moveHit.dashes = 6, s.moveHit.doubleAttacksReceived = 4;
    const BattleFighter f = ReadBattleFighter(*c_, 9, 3);
    EXPECT_EQ(std::make_tuple(f.team, f.hp, f.defeatCount, f.IsDown(), f.characterId, f.entryIndex, f.computer),
              std::make_tuple(2, 345, 1u, true, 9u, 3u, 0u));
    EXPECT_EQ(f.fullHp, c_->GetParameter()->values.general.hp);
    EXPECT_GT(f.fullHp, 0);
    for (u32 n = 0; n < kStatisticCounterCount; ++n) EXPECT_EQ(f.counters[n], c_->GetStatisticCounter(n)) << n;
    EXPECT_EQ(std::make_tuple(f.counters[kStatKills], f.counters[kStatDashes], f.counters[kStatDoubleAttacksSuffered]),
              std::make_tuple(2u, 6u, 4u));
    EXPECT_EQ(std::vector<u32>(f.skills, f.skills + 3), std::vector<u32>(3, 0));
}

}  // namespace ORV_TEST_FILE_ID
