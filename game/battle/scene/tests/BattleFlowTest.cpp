// The way out of a battle: each end code, in each mode, reaches the right
// scene with the right block, sounds stopped first where a scene is built,
// and the set-up handed over (the battle keeps none) where it goes along.
#include "game/battle/scene/BattleFlow.h"
#include "game/battle/scene/BattleProgress.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace battle_flow;

namespace {

// Logs every call with its block, in order.
class RecordingFlow : public IBattleFlow {
public:
    i32 GoTitle(const TitleArgs& a) override { return Log("title", a.curtain, a.alpha, "item", a.item); }
    i32 GoCharaSelect(SelectArgs a) override { return Take("select", a.curtain, a.alpha, a.setup); }
    i32 GoAdventure(AdventureArgs a) override
    {
        log << "adventure " << a.column << "," << a.halfRow << " ";
        return Take("", a.curtain, a.alpha, a.setup);
    }
    i32 GoNextBattle(NextBattleArgs a) override { return Next("loading", a); }
    i32 GoSurvivalResult(const SurvivalResultArgs& a) override
    {
        log << "survival " << a.curtain << " " << a.alpha << " " << a.characterId << " " << a.wins << " "
            << a.timeScore << " " << a.lastDamageTaken << " " << a.killSum << " " << a.damageDealtSum << ";";
        return 20;
    }
    i32 GoStory(StoryArgs a) override { return Take("story", a.curtain, a.alpha, a.setup); }
    i32 GoReplayList(const ReplayListArgs& a) override
    {
        log << "replays " << a.curtain << " " << a.alpha << " row " << a.row << " page " << a.page << ";";
        return 20;
    }
    i32 GoNetworkCharaSelect(SelectArgs a) override { return Take("net-select", a.curtain, a.alpha, a.setup); }
    i32 GoNetworkNextBattle(NextBattleArgs a) override { return Next("net-loading", a); }
    i32 LeaveNetworkBattle() override { return log << "leave;", 20; }
    i32 RequestNetworkEnd() override { return log << "end-request;", 20; }
    u32 GetLobbyState() override { return lobbyState; }
    i32 AdvanceStory(CBattleSetup* setup) override
    {
        log << "advance;";
        if (setup) setup->option.stage = 7;   // what the story's next battle would write
        return 1;
    }
    i32 ChooseNextOpponents(CBattleSetup* setup, const CCharacterBase*, const CBattleConsole*) override
    {
        log << "choose;";
        if (setup) setup->option.stage = 8;
        return 1;
    }

    std::ostringstream log;
    u32 lobbyState = 2;
    std::unique_ptr<CBattleSetup> received;

private:
    i32 Log(const char* name, f32 curtain, f32 alpha, const char* key, u32 value)
    {
        log << name << " " << curtain << " " << alpha << " " << key << " " << value << ";";
        return 20;
    }
    i32 Take(const char* name, f32 curtain, f32 alpha, std::unique_ptr<CBattleSetup>& setup)
    {
        log << name << (*name ? " " : "") << curtain << " " << alpha << " setup " << (setup ? "stage " : "none")
            << (setup ? std::to_string(setup->option.stage) : "") << ";";
        received = std::move(setup);
        return 20;
    }
    i32 Next(const char* name, NextBattleArgs& a)
    {
        log << name << " network " << a.network << " ";
        return Take("", 1, 1, a.setup);
    }
};

enum Mode : u32 { kFree, kAdventure, kStory, kSurvival, kReplay, kTutorial, kTraining, kNetwork };

std::unique_ptr<CBattleSetup> MakeSetup(std::initializer_list<Mode> modes, u32 replayNumber = 0)
{
    auto setup = std::make_unique<CBattleSetup>();
    setup->option.stage = 3;
    setup->replayNumber = replayNumber;
    for (Mode m : modes) {
        setup->adventureMode |= m == kAdventure;
        setup->storyMode |= m == kStory;
        setup->survivalMode |= m == kSurvival;
        setup->replayMode |= m == kReplay;
        setup->tutorialMode |= m == kTutorial;
        setup->trainingMode |= m == kTraining;
        setup->networkMode |= m == kNetwork;
    }
    return setup;
}

struct Case {
    const char* name;
    u32 code;
    std::initializer_list<Mode> modes;
    std::string log;
    bool keepsSetup = true;   // the battle still holds its set-up afterwards
    u32 localEntry = 0, lobbyState = 2, replayNumber = 0;
};

}  // namespace

TEST(BattleFlow, EachEndCodeReachesItsSceneWithItsBlock)
{
    const Case cases[] = {
        {"free battle to the title", 3, {kFree}, "stop;title 1 1 item 2;"},
        {"adventure before story", 3, {kAdventure, kStory, kTraining}, "stop;title 1 1 item 1;"},
        {"story", 3, {kStory, kSurvival}, "stop;title 1 1 item 0;"},
        {"survival", 3, {kSurvival, kReplay}, "stop;title 1 1 item 4;"},
        {"replay", 3, {kReplay, kTutorial}, "stop;title 1 1 item 8;"},
        {"tutorial", 3, {kTutorial, kTraining}, "stop;title 1 1 item 5;"},
        {"training", 3, {kTraining}, "stop;title 1 1 item 6;"},
        {"network title is the network scene's end", 3, {kNetwork}, "end-request;"},
        {"character select", 4, {kTraining}, "stop;select 1 1 setup stage 3;", false},
        {"network select through the network scene", 4, {kNetwork}, "stop;net-select 1 1 setup stage 3;", false},
        {"adventure map at the cursor", 4, {kAdventure}, "stop;adventure 2,5 1 1 setup stage 3;", false},
        {"rematch", 5, {kFree}, "stop;loading network 0 1 1 setup stage 3;", false},
        {"next survival battle draws first", 5, {kSurvival}, "choose;stop;loading network 0 1 1 setup stage 8;", false},
        // Network rematch: the same set-up through the network scene; only a
        // host whose lobby client has left its lobby (screens 0, 1) leaves.
        {"network rematch: the host in its room", 5, {kNetwork}, "stop;net-loading network 1 1 1 setup stage 3;",
            false, 0, 4},
        {"network rematch: the host at the login screen", 5, {kNetwork},
            "stop;net-loading network 1 1 1 setup stage 3;", false, 0, 2},
        {"network rematch: the host back at the connect screen", 5, {kNetwork}, "leave;", true, 0, 1},
        {"network rematch: the host without a lobby", 5, {kNetwork}, "leave;", true, 0, 0},
        {"network rematch: a member whatever its lobby", 5, {kNetwork},
            "stop;net-loading network 1 1 1 setup stage 3;", false, 1, 0},
        {"survival result", 8, {kSurvival}, "stop;survival 1 1 11 4 157 30 15 35;"},
        {"story after advancing", 9, {kStory}, "advance;stop;story 1 1 setup stage 7;", false},
        {"replay 1", 10, {kReplay}, "stop;replays 1 1 row 0 page 0;", true, 0, 2, 1},
        {"replay 10", 10, {kReplay}, "stop;replays 1 1 row 9 page 0;", true, 0, 2, 10},
        {"replay 30", 10, {kReplay}, "stop;replays 1 1 row 9 page 2;", true, 0, 2, 30},
        {"replay 0 lands on the first row", 10, {kReplay}, "stop;replays 1 1 row 0 page 0;", true, 0, 2, 0},
        {"back to the room", 11, {kNetwork}, "leave;"},
        {"no room outside network play", 11, {kFree}, ""},
        {"an unknown code stays", 6, {kFree}, ""},
    };
    for (const Case& c : cases) {
        RecordingFlow flow;
        flow.lobbyState = c.lobbyState;
        std::unique_ptr<CBattleSetup> setup = MakeSetup(c.modes, c.replayNumber);
        if (setup->adventureMode) setup->SetProgress(new CAdventureProgress(nullptr, 0, 2, 5));
        if (setup->survivalMode) {
            auto* run = new CSurvivalProgress();
            run->wins = 4, run->timeScore = 120, run->killSum = 10, run->damageDealtSum = 15;
            setup->SetProgress(run);
        }
        BattleExitFacts facts;
        facts.setup = &setup;
        facts.localEntry = c.localEntry;
        facts.localCharacterId = 11;
        facts.firstCounters[0] = 5, facts.firstCounters[1] = 20, facts.firstCounters[2] = 30;
        facts.firstRemaining = 37.9f;
        facts.stopSounds = [&flow] { flow.log << "stop;"; };
        const i32 r = LeaveBattle(c.code, facts, flow);
        EXPECT_EQ(flow.log.str(), c.log) << c.name;
        EXPECT_EQ(r, c.log.empty() ? kStayInBattle : 20) << c.name;
        EXPECT_EQ(setup != nullptr, c.keepsSetup) << c.name;
    }
}

TEST(BattleFlow, AWayOutWithoutASetUpHandsNoneOn)
{
    // A free battle's defaults: nothing to start again, a select without one.
    std::unique_ptr<CBattleSetup> none;
    const std::pair<u32, std::string> rows[] = {
        {3, "title 1 1 item 2;"},
        {4, "select 1 1 setup none;"},
        {5, ""},
        {8, "survival 1 1 0 0 0 0 0 0;"},
        {9, "story 1 1 setup none;"},
    };
    for (const auto& [code, log] : rows) {
        RecordingFlow flow;
        BattleExitFacts facts;
        facts.setup = &none;
        LeaveBattle(code, facts, flow);
        EXPECT_EQ(flow.log.str(), log) << code;
    }
}

}  // namespace ORV_TEST_FILE_ID
