#include "game/battle/scene/BattleFlow.h"

#include "engine/core/FloatMath.h"
#include "game/battle/scene/BattleProgress.h"

using namespace battle_flow;

u32 TitleItemFor(const CBattleSetup* setup)
{
    if (!setup) return kTitleBattle;
    if (setup->adventureMode) return kTitleAdventure;
    if (setup->storyMode) return kTitleStory;
    if (setup->survivalMode) return kTitleSurvival;
    if (setup->replayMode) return kTitleReplay;
    if (setup->tutorialMode) return kTitleTutorial;
    if (setup->trainingMode) return kTitleTraining;
    return kTitleBattle;
}

ReplayListArgs ReplayListPlace(u32 replayNumber)
{
    ReplayListArgs args;
    // Replay 0 would wrap to row 5 of page 429496729.
    if (replayNumber < 1 || replayNumber > 30) return args;
    args.row = (replayNumber - 1) % 10;
    args.page = (replayNumber - 1) / 10;
    return args;
}

namespace {

std::unique_ptr<CBattleSetup> TakeSetup(BattleExitFacts& facts)
{
    return facts.setup ? std::move(*facts.setup) : nullptr;
}

void StopSounds(BattleExitFacts& facts)
{
    if (facts.stopSounds) facts.stopSounds();
}

SurvivalResultArgs SurvivalTotals(const BattleExitFacts& facts, const CBattleSetup* setup)
{
    const auto* run = setup ? dynamic_cast<const CSurvivalProgress*>(setup->GetProgress()) : nullptr;
    const CSurvivalProgress none;
    const CSurvivalProgress& p = run ? *run : none;
    SurvivalResultArgs args;
    args.characterId = facts.localCharacterId;
    args.wins = p.wins;
    args.timeScore = p.timeScore + SaturateToU32(facts.firstRemaining);
    args.lastDamageTaken = facts.firstCounters[2];
    args.killSum = p.killSum + facts.firstCounters[0];
    args.damageDealtSum = p.damageDealtSum + facts.firstCounters[1];
    return args;
}

i32 GoSelectOrAdventure(BattleExitFacts& facts, IBattleFlow& flow, bool adventure, bool network)
{
    StopSounds(facts);
    if (adventure) {
        AdventureArgs args;
        const CBattleSetup* setup = facts.setup ? facts.setup->get() : nullptr;
        if (const auto* run = setup ? dynamic_cast<const CAdventureProgress*>(setup->GetProgress()) : nullptr)
            args.column = run->column, args.halfRow = run->halfRow;
        args.setup = TakeSetup(facts);
        return flow.GoAdventure(std::move(args));
    }
    SelectArgs args;
    args.setup = TakeSetup(facts);
    return network ? flow.GoNetworkCharaSelect(std::move(args)) : flow.GoCharaSelect(std::move(args));
}

i32 GoNextBattle(BattleExitFacts& facts, IBattleFlow& flow, const CBattleSetup& setup)
{
    const bool network = setup.networkMode != 0;
    // Every peer loads the same set-up again; a host whose lobby client is
    // back at its entrance or connect screens (no room any more) leaves.
    if (network && facts.localEntry == 0 && flow.GetLobbyState() < 2) return flow.LeaveNetworkBattle();
    if (setup.survivalMode)
        flow.ChooseNextOpponents(facts.setup->get(), facts.firstCharacter, facts.firstConsole);
    StopSounds(facts);
    NextBattleArgs args;
    args.network = network ? 1 : 0;
    args.readyEntries = network ? facts.nextReadyEntries : 0;
    args.setup = TakeSetup(facts);
    return network ? flow.GoNetworkNextBattle(std::move(args)) : flow.GoNextBattle(std::move(args));
}

}  // namespace

i32 LeaveBattle(u32 endCode, BattleExitFacts& facts, IBattleFlow& flow)
{
    const CBattleSetup* held = facts.setup ? facts.setup->get() : nullptr;
    const bool network = held && held->networkMode;
    switch (endCode) {
    case kExitTitle: {
        if (network) return flow.RequestNetworkEnd();
        StopSounds(facts);
        TitleArgs args;
        args.item = TitleItemFor(held);
        return flow.GoTitle(args);
    }
    case kExitSelect: return GoSelectOrAdventure(facts, flow, held && held->adventureMode, network);
    case kExitNextBattle:
        // Without a set-up there is no battle to start again.
        if (!held) return kStayInBattle;
        return GoNextBattle(facts, flow, *held);
    case kExitSurvivalResult: {
        StopSounds(facts);
        return flow.GoSurvivalResult(SurvivalTotals(facts, held));
    }
    case kExitStory: {
        if (held) flow.AdvanceStory(facts.setup->get());
        StopSounds(facts);
        StoryArgs args;
        args.setup = TakeSetup(facts);
        return flow.GoStory(std::move(args));
    }
    case kExitReplayList: {
        StopSounds(facts);
        return flow.GoReplayList(ReplayListPlace(held ? held->replayNumber : 0));
    }
    case kExitNetworkRoom:
        // Only a network battle has a room to go back to.
        return network ? flow.LeaveNetworkBattle() : kStayInBattle;
    default: return kStayInBattle;
    }
}
