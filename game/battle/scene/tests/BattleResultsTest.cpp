// The end of a battle over hand-made fighters: the end test and the team
// results worked out by hand, every adventure condition holding and
// failing, the rewards on the save data, the lobby report and the play
// record.
#include "game/battle/scene/BattleProgress.h"
#include "game/battle/scene/BattleResults.h"
#include "game/data/AdventureEventSetting.h"
#include "game/data/SaveData.h"
#include "game/data/SaveRecord.h"
#include "game/data/StatusList.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

constexpr u32 kDown = BattleFighter::kActionDown;

BattleFighter F(i32 team, i32 hp, bool down = false, u32 defeats = 0, i32 fullHp = 1000)
{
    BattleFighter f;
    f.team = team, f.hp = hp, f.action = down ? kDown : 0, f.defeatCount = defeats, f.fullHp = fullHp;
    return f;
}

struct EndCase {
    const char* name;
    BattleRules rules;
    std::vector<BattleFighter> fighters;
    f32 remaining;
    bool over;
    std::vector<u32> results;   // teams 0, 1, ...
};

}  // namespace

TEST(BattleResults, EndTestAndTeamResultsWorkedByHand)
{
    const BattleRules plain{0, 2}, lives{1, 1};   // lives: two per team
    const EndCase cases[] = {
        {"two against one, the one down", plain, {F(0, 10), F(0, 0, true), F(1, 0, true)}, 100, true, {1, 2}},
        {"two against one, one of the two down", plain, {F(0, 10), F(0, 0, true), F(1, 900)}, 100, false, {2, 1}},
        {"time out, equal HP", plain, {F(0, 500), F(1, 200), F(1, 300)}, 0, true, {3, 3}},
        {"time out, more HP wins", plain, {F(0, 501), F(1, 200), F(1, 300)}, -0.5f, true, {1, 2}},
        {"down fighters count no HP", plain, {F(0, 400), F(0, 900, true), F(1, 500)}, 0, true, {2, 1}},
        {"lives spent whatever the time", lives, {F(0, 10), F(1, 1000, false, 2)}, 100, true, {1, 2}},
        {"a life left keeps the team in", lives, {F(0, 10), F(1, 0, true, 1)}, 100, false, {1, 2}},
        {"time out, more lives first", lives, {F(0, 10), F(1, 1000, false, 1)}, 0, true, {1, 2}},
        {"time out, a down fighter with lives counts full HP", lives,
         {F(0, 0, true, 1, 1000), F(1, 900, false, 1)}, 0, true, {1, 2}},
        {"a team out of lives is out with HP left", BattleRules{1, 0},
         {F(0, 0, true, 1, 1000), F(0, 300), F(1, 400), F(2, 200)}, 0, true, {2, 1, 2}},
        {"everyone down in one frame is a draw for all", plain, {F(0, 0, true), F(1, 0, true)}, 50, true, {3, 3}},
        {"every team out of lives is a draw for all", lives, {F(0, 0, true, 2), F(1, 0, true, 3)}, 50, true, {3, 3}},
        {"a draw is a draw for a team beaten earlier", plain,
         {F(0, 300), F(1, 300), F(2, 0, true)}, 0, true, {3, 3, 3}},
        {"a draw is a draw for a lower team", plain,
         {F(0, 100), F(1, 300), F(2, 300)}, 0, true, {3, 3, 3}},
        {"a tie below the best is no draw", plain,
         {F(0, 100), F(1, 300), F(2, 100)}, 0, true, {2, 1, 2}},
        {"a later team beating a tie", plain,
         {F(0, 100), F(1, 100), F(2, 300)}, 0, true, {2, 2, 1}},
        {"no-team fighters neither stand nor count", plain, {F(0, 100), F(4, 900), F(7, 900)}, 100, true, {1, 2}},
    };
    for (const EndCase& c : cases) {
        EXPECT_EQ(IsBattleOver(c.fighters, c.rules, c.remaining), c.over) << c.name;
        for (u32 team = 0; team < c.results.size(); ++team)
            EXPECT_EQ(GetResult(c.fighters, c.rules, team), c.results[team]) << c.name << ", team " << team;
    }
}

TEST(BattleResults, TeamLivesFollowTheRuleOnly)
{
    const std::vector<BattleFighter> fighters = {F(0, 0, true, 2), F(0, 10, false, 1), F(1, 10, false, 0), F(5, 0, true, 9)};
    // Without the rule every team has extra + 1, whatever the defeats.
    EXPECT_EQ(GetTeamLives(fighters, {0, 2}, 0), 3);
    EXPECT_EQ(GetTeamLives(fighters, {0, 2}, 3), 3);
    EXPECT_EQ(GetTeamLives(fighters, {1, 2}, 0), 0);
    EXPECT_EQ(GetTeamLives(fighters, {1, 2}, 1), 3);
    EXPECT_EQ(GetTeamLives(fighters, {1, 0}, 0), -2);
    // 0xFFFFFFFF extra lives do not wrap to none.
    EXPECT_GT(GetTeamLives(fighters, {1, 0xFFFFFFFFu}, 1), 0);
}

TEST(BattleResults, SettledActionsAreTheRestingOnes)
{
    std::vector<BattleFighter> fighters = {F(0, 1), F(1, 1)};
    for (u32 a : {0u, 1u, 13u, 15u, 19u, 21u, 22u, 24u, 25u}) {
        fighters[1].action = a;
        EXPECT_TRUE(AreFightersSettled(fighters)) << a;
    }
    for (u32 a : {2u, 9u, 14u, 16u, 20u, 23u, 26u}) {
        fighters[1].action = a;
        EXPECT_FALSE(AreFightersSettled(fighters)) << a;
    }
}

// -- Adventure. --

namespace {

struct ConditionRow {
    i32 type, p;
    std::function<void(BattleFighter&, AdventureFacts&)> holds, fails;
};

// The statistic each counting condition reads, as the conditions table
// gives it: type, counter, at least p (else 0 or less).
struct CounterRow {
    i32 type;
    u32 counter;
    bool atLeast;
};
const CounterRow kCounterRows[] = {
    {7, 15, true},  {8, 9, true},   {9, 29, true},  {10, 7, false}, {11, 6, false}, {12, 11, false},
    {13, 13, false}, {14, 10, false}, {15, 23, false}, {16, 24, false}, {17, 25, false}, {18, 26, false},
    {19, 27, false}, {20, 28, false}, {22, 33, true}, {23, 34, true}, {24, 35, true}, {25, 36, true},
    {26, 37, true}, {27, 38, true}, {28, 19, true}, {29, 21, true}, {30, 20, true}, {31, 22, true},
    {32, 40, false}, {33, 42, false}, {34, 41, false}, {35, 43, false},
};

}  // namespace

TEST(BattleResults, EveryAdventureConditionHoldsAndFails)
{
    using B = BattleFighter;
    using A = AdventureFacts;
    auto nothing = [](B&, A&) {};
    std::vector<ConditionRow> rows = {
        {0, 0, nothing, nullptr},
        {36, 5, nothing, nullptr},
        {-1, 5, nothing, nullptr},
        {1, 50, [](B& f, A&) { f.hp = 500; }, [](B& f, A&) { f.hp = 499; }},
        {1, 1, [](B& f, A&) { f.hp = 1000; }, [](B& f, A&) { f.fullHp = 0; }},
        {2, 30, [](B&, A& a) { a.remainingTime = 30.0f; }, [](B&, A& a) { a.remainingTime = 29.9f; }},
        // Kill order: defeat times (remaining seconds) fall from the time limit.
        {3, 0, [](B&, A& a) { a.timeLimit = 100; },
         [](B&, A& a) { a.timeLimit = 50; }},
        {4, 0, nothing, [](B& f, A&) { f.skills[2] = 9; }},
        {5, 1, [](B& f, A&) { f.skills[0] = 4; }, [](B& f, A&) { f.skills[1] = 4; }},
        {5, 3, [](B& f, A&) { f.skills[0] = f.skills[1] = f.skills[2] = 4; }, nullptr},
        {6, 12, [](B& f, A&) { f.skills[1] = 12; }, [](B& f, A&) { f.skills[1] = 13; }},
        {6, 0, nullptr, nothing},   // an empty slot is no skill 0
        {21, 7, [](B& f, A&) { f.counters[5] = 7; }, [](B& f, A&) { f.counters[5] = 6; }},
        {21, 0, [](B& f, A&) { f.counters[5] = 0; }, [](B& f, A&) { f.counters[5] = kNoKillKind; }},
        {21, -1, nullptr, [](B& f, A&) { f.counters[5] = kNoKillKind; }},
    };
    for (const CounterRow& r : kCounterRows) {
        const u32 n = r.counter;
        if (r.atLeast)
            rows.push_back({r.type, 3, [n](B& f, A&) { f.counters[n] = 3; }, [n](B& f, A&) { f.counters[n] = 2; }});
        else
            rows.push_back({r.type, 0, nothing, [n](B& f, A&) { f.counters[n] = 1; }});
    }
    // The kill order reads fighters from the second on.
    std::vector<BattleFighter> fighters = {F(0, 1), F(1, 0, true), F(2, 0, true)};
    fighters[1].counters[kStatDefeatTime] = 80;
    fighters[2].counters[kStatDefeatTime] = 60;
    for (const ConditionRow& row : rows) {
        for (bool expect : {true, false}) {
            const auto& change = expect ? row.holds : row.fails;
            if (!change) continue;
            BattleFighter local = F(0, 1000);
            AdventureFacts facts{fighters, 0, 0};
            change(local, facts);
            EXPECT_EQ(CheckAdventureCondition(local, row.type, row.p, facts), expect)
                << "type " << row.type << " p " << row.p;
        }
    }
    // Out of order: a later fighter fell earlier (more time left).
    fighters[2].counters[kStatDefeatTime] = 81;
    EXPECT_FALSE(CheckAdventureCondition(F(0, 1), 3, 0, AdventureFacts{fighters, 0, 100}));
}

namespace {

struct RewardCase {
    const char* name;
    u32 result;
    bool withProgress;
    u32 dashes, shootOutWins;
    std::vector<u32> clear, rewards, unlocks;
};

}  // namespace

TEST(BattleResults, AdventureRewardsOnTheSaveData)
{
    // Stage 6: reward 2 for any win (NEXTOPEN 3), reward 4 without a dash
    // (NEXTCONDITIONOPEN 5, NONEDASH), skill 6 for two shoot-out wins
    // (GETSKILL 7, SHOOTOUTWIN 2).
    const RewardCase cases[] = {
        {"won, both conditions", 1, true, 0, 2, {6}, {2, 4}, {6}},
        {"won, neither condition", 1, true, 1, 1, {6}, {2}, {}},
        {"lost", 2, true, 0, 2, {}, {}, {}},
        {"drawn", 3, true, 0, 2, {}, {}, {}},
        {"no progress", 1, false, 0, 2, {}, {}, {}},
    };
    for (const RewardCase& c : cases) {
        auto* event = new CAdventureEventSetting();
        AdventureEventValues& v = event->values;
        v.nextOpen = 3, v.nextConditionOpen = 5, v.nextConditionFlag = 11, v.nextConditionParameter = 0;
        v.getSkill = 7, v.skillConditionFlag = 7, v.skillConditionParameter = 2;
        CAdventureProgress progress(event, 6, 2, 3);
        std::vector<BattleFighter> fighters = {F(1, 1000), F(0, 1000)};
        fighters[0].entryIndex = 1;   // the local fighter
        fighters[1].entryIndex = 0;
        fighters[1].counters[kStatDashes] = 5;   // another fighter's dashes do not count
        fighters[0].counters[kStatDashes] = c.dashes;
        fighters[0].counters[kStatShootOutWins] = c.shootOutWins;
        CSaveData save;
        const AdventureFacts facts{fighters, 10, 100};
        ApplyAdventureRewards(c.result, c.withProgress ? &progress : nullptr, 1, facts, &save);
        std::vector<u32> clear, rewards, unlocks;
        for (i32 i = 0; i < 256; ++i) {
            if (save.GetAdventureClearFlag(i)) clear.push_back(u32(i));
            if (save.GetAdventureRewardFlag(i)) rewards.push_back(u32(i));
            if (save.GetUnlockFlag(i)) unlocks.push_back(u32(i));
        }
        EXPECT_EQ(clear, c.clear) << c.name;
        EXPECT_EQ(rewards, c.rewards) << c.name;
        EXPECT_EQ(unlocks, c.unlocks) << c.name;
    }
}

TEST(BattleResults, ClearFlagIndexSumsTheColumnsBefore)
{
    CIntList counts;
    for (const char* n : {"3", "4", "5"}) StatusSetValue(counts, n);
    EXPECT_EQ(CAdventureProgress::ClearFlagIndex(counts, 0, 1), 0);
    EXPECT_EQ(CAdventureProgress::ClearFlagIndex(counts, 2, 5), 3 + 4 + 2);
    EXPECT_EQ(CAdventureProgress::ClearFlagIndex(counts, 9, 1), 12);   // past the list: what there is
}

// -- The end step and the play record. --

namespace {

class RecordingLobby : public ILobbyResultReport {
public:
    i32 ReportBattleResult(u32 outcome) override { return reports.push_back(outcome), 1; }
    std::vector<u32> reports;
};

}  // namespace

TEST(BattleResults, SettlingReportsToTheLobbyOnlyForANetworkPlayer)
{
    struct Row {
        u32 network, localEntry;
        std::vector<BattleFighter> fighters;
        u32 result;
        std::vector<u32> reports;
    };
    auto at = [](BattleFighter f, u32 entry) { return f.entryIndex = entry, f; };
    const Row rows[] = {
        {1, 1, {at(F(0, 1), 0), at(F(1, 0, true), 1)}, 2, {1}},
        {1, 0, {at(F(0, 5), 0), at(F(1, 5), 1)}, 3, {2}},   // time already out
        {1, 2, {at(F(0, 5), 0), at(F(1, 5), 1), at(F(2, 0, true), 2)}, 3, {2}},   // beaten, yet drawn
        {1, 3, {at(F(0, 1), 0), at(F(1, 0, true), 1)}, 1, {}},   // nobody plays entry 3: the first's team
        {0, 0, {at(F(0, 1), 0), at(F(1, 0, true), 1)}, 1, {}},
    };
    for (const Row& r : rows) {
        RecordingLobby lobby;
        BattleSettlement s;
        s.networkMode = r.network, s.localEntry = r.localEntry, s.lobby = &lobby;
        EXPECT_EQ(SettleBattle(r.fighters, s), r.result);
        EXPECT_EQ(lobby.reports, r.reports);
    }
}

TEST(BattleResults, SettlingAnAdventureWinSetsItsClearFlag)
{
    CSaveData save;
    CAdventureProgress progress(new CAdventureEventSetting(), 17);
    BattleSettlement s;
    s.adventureMode = 1, s.progress = &progress, s.saveData = &save;
    const std::vector<BattleFighter> fighters = {F(0, 1), F(1, 0, true)};
    EXPECT_EQ(SettleBattle(fighters, s), kResultWin);
    EXPECT_EQ(save.GetAdventureClearFlag(17), 1u);
    s.adventureMode = 0;
    CSaveData untouched;
    s.saveData = &untouched;
    SettleBattle(fighters, s);
    EXPECT_EQ(untouched.GetAdventureClearFlag(17), 0u);
}

TEST(BattleResults, PlayRecordTakesTheLocalHumanFightersBattle)
{
    struct Row {
        const char* name;
        u32 replay, network, computer, localEntry, result;
        std::vector<u32> words;   // the 16 words of character 5 after it
    };
    const Row rows[] = {
        {"offline win", 0, 0, 0, 2, 1, {1, 1, 0, 0, 30, 40, 10, 20, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"network loss", 0, 1, 0, 2, 2, {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 30, 40, 10, 20}},
        {"draw", 0, 0, 0, 2, 3, {1, 0, 0, 1, 30, 40, 10, 20, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"no result shown", 0, 0, 0, 2, 0, {1, 0, 0, 0, 30, 40, 10, 20, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"a replay", 1, 0, 0, 2, 1, std::vector<u32>(16, 0)},
        {"a computer", 0, 0, 1, 2, 1, std::vector<u32>(16, 0)},
        {"nobody local", 0, 0, 0, 3, 1, std::vector<u32>(16, 0)},
    };
    for (const Row& r : rows) {
        CSaveRecord record;
        record.SetDefaults();
        BattleFighter local = F(0, 1);
        local.characterId = 5, local.entryIndex = 2, local.computer = r.computer;
        local.counters[0] = 10, local.counters[1] = 20, local.counters[2] = 30, local.counters[3] = 40;
        BattleFighter other = F(1, 1);
        other.characterId = 6, other.entryIndex = 0;
        const std::vector<BattleFighter> fighters = {other, local};
        UpdatePlayRecord(&record, fighters, r.localEntry, r.replay, r.network, r.result);
        const PlayRecordEntry& e = *record.GetRecord(5);
        EXPECT_EQ(std::vector<u32>(e.word, e.word + 16), r.words) << r.name;
        EXPECT_EQ(record.GetRecord(6)->word[0] + record.GetRecord(6)->word[8], 0u) << r.name;
    }
}

}  // namespace ORV_TEST_FILE_ID
