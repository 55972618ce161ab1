// The end of a battle: when it is over, who won, and what a finished battle
// changes in the saved data (adventure flags, play record) and reports to
// the lobby. The battle scene reads each fighter into a BattleFighter (a
// plain copy of what these rules look at) and calls these; they never see
// the scene, so they are tested over hand-made fighters.
//
// Results: 1 win, 2 loss, 3 draw. A draw (two teams sharing the best place)
// is a draw for every team. One fix over the plain rules: when no team is
// left standing (the last fighters beaten in the same frame) every team
// draws; nobody is given a win.
#pragma once

#include "engine/core/Types.h"
#include "game/battle/character/StatisticCounters.h"
#include "game/battle/scene/BattleSetup.h"

#include <span>

class CCharacterBase;
class CSaveData;
class CSaveRecord;

inline constexpr u32 kResultWin = 1, kResultLoss = 2, kResultDraw = 3;
inline constexpr u32 kTeamSlots = 4;   // teams 0..3; 4 or more is no team

// What the results read of one fighter.
struct BattleFighter {
    i32 team = 0;
    u32 defeatCount = 0;
    u32 action = 0;
    i32 hp = 0;
    i32 fullHp = 0;                // the parameter HP
    u32 characterId = 0;
    u32 entryIndex = 0;            // the CBattleEntry it plays
    u32 computer = 0;
    u32 skills[3] = {};            // skill numbers, 0 for an empty slot
    u32 counters[kStatisticCounterCount] = {};

    static constexpr u32 kActionDown = 22;
    bool IsDown() const { return action == kActionDown; }
    u32 Counter(u32 n) const { return n < kStatisticCounterCount ? counters[n] : 0; }
};

// A fighter as the results see it; the scene knows which entry it plays and
// its character id.
BattleFighter ReadBattleFighter(const CCharacterBase& character, u32 characterId, u32 entryIndex);

// Option words 4 and 5.
struct BattleRules {
    u32 livesRule = 0;    // nonzero: a team is beaten when its lives are spent
    u32 extraLives = 0;   // a team has this many lives plus one
};
inline BattleRules RulesOf(const CBattleOption& option) { return {option.livesRule, option.extraLives}; }

using BattleFighters = std::span<const BattleFighter>;

// Query 22: extra lives + 1, less every defeat of the team's fighters under
// the lives rule.
i32 GetTeamLives(BattleFighters fighters, const BattleRules& rules, u32 team);
// The end test: fewer than two teams standing, or the local console's
// remaining time at 0 or below.
bool IsBattleOver(BattleFighters fighters, const BattleRules& rules, f32 localRemainingTime);
// Query 23: the result of a team.
u32 GetResult(BattleFighters fighters, const BattleRules& rules, u32 team);
// Query 24 reads this of every fighter (with the battle-over flag).
bool IsSettledAction(u32 action);
bool AreFightersSettled(BattleFighters fighters);

// The fighter that plays the local entry; null when none does.
const BattleFighter* FindLocalFighter(BattleFighters fighters, u32 localEntry);

// -- Adventure. --

// What the conditions read besides the local fighter: the first console's
// clock, and every fighter for the kill order.
struct AdventureFacts {
    BattleFighters fighters;
    f32 remainingTime = 0;   // of the first console
    f32 timeLimit = 0;
};
// Condition type (0..35, "ADVENTURECONDITION_*") with parameter p on the
// local fighter; types outside 1..35 hold.
bool CheckAdventureCondition(const BattleFighter& local, i32 type, i32 p, const AdventureFacts& facts);

// A won adventure battle: the stage's clear flag, its reward (NEXTOPEN), its
// conditional reward (NEXTCONDITIONOPEN) and its skill unlock (GETSKILL).
// Nothing without result 1, an adventure progress with its event record,
// a local fighter or the save data. Returns the flags set.
u32 ApplyAdventureRewards(u32 result, const CBattleProgress* progress, u32 localEntry, const AdventureFacts& facts,
                          CSaveData* saveData);

// -- The lobby report. --

// The lobby client's report of a network battle (CLobbyClient::ReportBattleResult).
class ILobbyResultReport {
public:
    virtual ~ILobbyResultReport() = default;
    // 0 win, 1 loss, 2 draw.
    virtual i32 ReportBattleResult(u32 outcome) = 0;
};

// -- The end step, once, on the frame the end test first passes (after
// the fighters' OnBattleEnd and the consoles' SetResult). --

struct BattleSettlement {
    BattleRules rules;
    u32 localEntry = 0;
    u32 adventureMode = 0;
    u32 networkMode = 0;
    const CBattleProgress* progress = nullptr;
    CSaveData* saveData = nullptr;
    ILobbyResultReport* lobby = nullptr;
    f32 remainingTime = 0;   // of the first console
    f32 timeLimit = 0;
};
// Works out the local fighter's team result (the first fighter's when none
// plays the local entry), applies the adventure rewards in adventure mode
// and, in network play with a local fighter, reports result - 1 to the
// lobby. Returns the result: 1 plays the win jingle, anything else the lose
// jingle.
u32 SettleBattle(BattleFighters fighters, const BattleSettlement& settlement);

// -- The play record, when the battle is released. --

// Outside replays, when a human fighter plays the local entry: one battle,
// the local console's result (1..3; other codes count no result) and the
// statistics 0..3 into its character's record, in the network half for a
// network battle. Returns 1 when the record changed.
i32 UpdatePlayRecord(CSaveRecord* record, BattleFighters fighters, u32 localEntry, u32 replayMode, u32 networkMode,
                     u32 localResult);
