// Leaving a battle. The battle reaches the scenes that follow it through
// IBattleFlow, which the game flow (above the battle) implements: one
// operation per target, each with the block the target scene's load takes.
// LeaveBattle picks the target from the end code and the battle's facts.
//
// The battle hands no menu effect and no music to the next scene (the
// receiver starts its own), so the blocks leave them out. A block that
// carries the set-up hands it over: the receiver owns it from the call on,
// whether its load succeeds or not.
#pragma once

#include "engine/core/Types.h"
#include "game/battle/scene/BattleSetup.h"

#include <functional>
#include <memory>

class CBattleConsole;
class CCharacterBase;

namespace battle_flow {

// Title cursor entries the battle lands on.
enum TitleItem : u32 {
    kTitleStory = 0,
    kTitleAdventure = 1,
    kTitleBattle = 2,
    kTitleSurvival = 4,
    kTitleTutorial = 5,
    kTitleTraining = 6,
    kTitleReplay = 8,
};

struct TitleArgs {
    f32 curtain = 1.0f, alpha = 1.0f;
    u32 item = kTitleBattle;
};

struct SelectArgs {
    f32 curtain = 1.0f, alpha = 1.0f;
    std::unique_ptr<CBattleSetup> setup;
};

struct AdventureArgs {
    f32 curtain = 1.0f, alpha = 1.0f;
    u32 column = 0, halfRow = 1;   // the map cursor to come back to
    std::unique_ptr<CBattleSetup> setup;
};

// A loading scene that builds and loads a new battle with the set-up.
struct NextBattleArgs {
    std::unique_ptr<CBattleSetup> setup;
    u32 network = 0;
    // Entries whose ready word for this battle came before it was built.
    u32 readyEntries = 0;
};

struct SurvivalResultArgs {
    f32 curtain = 1.0f, alpha = 1.0f;
    u32 characterId = 0, wins = 0, timeScore = 0, lastDamageTaken = 0, killSum = 0, damageDealtSum = 0;
};

struct StoryArgs {
    f32 curtain = 1.0f, alpha = 1.0f;
    std::unique_ptr<CBattleSetup> setup;
};

// The replay list, on the row and page of the replay just watched.
struct ReplayListArgs {
    f32 curtain = 1.0f, alpha = 1.0f;
    u32 row = 0, page = 0;
};

}  // namespace battle_flow

// Each Go operation changes the scene (CGameApp::ChangeScene, or through
// the network scene where said) and returns what the change returns, which
// the battle's update returns; after it the battle touches nothing.
class IBattleFlow {
public:
    virtual ~IBattleFlow() = default;

    virtual i32 GoTitle(const battle_flow::TitleArgs& args) = 0;
    virtual i32 GoCharaSelect(battle_flow::SelectArgs args) = 0;
    virtual i32 GoAdventure(battle_flow::AdventureArgs args) = 0;
    virtual i32 GoNextBattle(battle_flow::NextBattleArgs args) = 0;
    virtual i32 GoSurvivalResult(const battle_flow::SurvivalResultArgs& args) = 0;
    virtual i32 GoStory(battle_flow::StoryArgs args) = 0;
    virtual i32 GoReplayList(const battle_flow::ReplayListArgs& args) = 0;

    // Network play, through the network scene.
    // A new character select as its child (mode 1).
    virtual i32 GoNetworkCharaSelect(battle_flow::SelectArgs args) = 0;
    // A loading scene with the rematch as its child (mode 3).
    virtual i32 GoNetworkNextBattle(battle_flow::NextBattleArgs args) = 0;
    // The network scene drops its child, the battle (back to the room).
    virtual i32 LeaveNetworkBattle() = 0;
    // The network scene leaves to the title (SetEndRequest 1).
    virtual i32 RequestNetworkEnd() = 0;
    // The lobby client's screen (read under its lock): 4 in a room, 3 in
    // the lobby, below 2 at the entrance and connect screens.
    virtual u32 GetLobbyState() = 0;

    // Run services the battle calls before handing the set-up on.
    // CStoryScene::AdvanceStory: the set-up moves to the story's next battle.
    virtual i32 AdvanceStory(CBattleSetup* setup) = 0;
    // CSurvivalScene::ChooseNextOpponents, from the battle just won.
    virtual i32 ChooseNextOpponents(CBattleSetup* setup, const CCharacterBase* firstCharacter,
                                    const CBattleConsole* firstConsole) = 0;
};

// End codes (message 42 or the host's 10004).
enum BattleExitCode : u32 {
    kExitTitle = 3,
    kExitSelect = 4,         // in adventure mode: the adventure map
    kExitNextBattle = 5,
    kExitSurvivalResult = 8,
    kExitStory = 9,
    kExitReplayList = 10,
    kExitNetworkRoom = 11,
};

// What the way out depends on.
struct BattleExitFacts {
    // The scene's own set-up; handed over (the member is left empty) to a
    // target that takes it.
    std::unique_ptr<CBattleSetup>* setup = nullptr;
    u32 localEntry = 0;
    u32 localCharacterId = 0;
    // The first fighter's statistics 0..2 and the first console's remaining
    // seconds: a survival run's totals.
    u32 firstCounters[3] = {};
    f32 firstRemaining = 0;
    // Handed to ChooseNextOpponents only.
    const CCharacterBase* firstCharacter = nullptr;
    const CBattleConsole* firstConsole = nullptr;
    // Stops every sound and marks them stopped; called before any target
    // that builds a scene.
    std::function<void()> stopSounds;
    // Ready words for a network rematch that came while this battle ended.
    u32 nextReadyEntries = 0;
};

// What LeaveBattle returns for a code that leads nowhere: the battle stays.
inline constexpr i32 kStayInBattle = 1;

// Takes the battle out by the end code; the mode flags come from the
// set-up (a battle without one is a free local battle).
i32 LeaveBattle(u32 endCode, BattleExitFacts& facts, IBattleFlow& flow);

// Replay n (1..30) sits on row (n - 1) mod 10 of page (n - 1) div 10;
// another number lands on the first row.
battle_flow::ReplayListArgs ReplayListPlace(u32 replayNumber);
u32 TitleItemFor(const CBattleSetup* setup);
