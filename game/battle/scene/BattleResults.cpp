#include "game/battle/scene/BattleResults.h"

#include "game/battle/character/CharacterBase.h"
#include "game/battle/scene/BattleProgress.h"
#include "game/data/AdventureEventSetting.h"
#include "game/data/SaveData.h"
#include "game/data/SaveRecord.h"

#include <algorithm>
#include <limits>

BattleFighter ReadBattleFighter(const CCharacterBase& character, u32 characterId, u32 entryIndex)
{
    const CharacterStatus& s = *character.GetStatus();
    BattleFighter f;
    f.team = character.GetTeam();
    f.defeatCount = character.GetDefeatCount();
    f.action = s.action;
    f.hp = s.hp;
    f.fullHp = character.GetParameter() ? character.GetParameter()->values.general.hp : 0;
    f.characterId = characterId;
    f.entryIndex = entryIndex;
    f.computer = character.IsComputerPlayer();
    for (u32 i = 0; i < 3; ++i) f.skills[i] = character.GetSkill(i) ? s.skillNumbers[i] : 0;
    for (u32 n = 0; n < kStatisticCounterCount; ++n) f.counters[n] = character.GetStatisticCounter(n);
    return f;
}

// -- Standing teams. --

namespace {

bool InTeam(const BattleFighter& f) { return f.team >= 0 && u32(f.team) < kTeamSlots; }

// Lives and HP of every team, and whether it stands.
struct TeamTable {
    i64 lives[kTeamSlots];
    i64 hp[kTeamSlots] = {};
    bool standing[kTeamSlots] = {};
    u32 standingCount = 0;
};

TeamTable CountTeams(BattleFighters fighters, const BattleRules& rules)
{
    TeamTable t;
    std::fill(std::begin(t.lives), std::end(t.lives), i64(rules.extraLives) + 1);
    if (rules.livesRule) {
        // Only a team with fighters stands: an empty team's lives are never spent.
        bool present[kTeamSlots] = {};
        for (const BattleFighter& f : fighters)
            if (InTeam(f)) t.lives[f.team] -= f.defeatCount, present[f.team] = true;
        for (u32 team = 0; team < kTeamSlots; ++team) t.standing[team] = present[team] && t.lives[team] > 0;
    } else {
        for (const BattleFighter& f : fighters)
            if (InTeam(f) && !f.IsDown()) t.standing[f.team] = true;
    }
    for (const BattleFighter& f : fighters) {
        if (!InTeam(f)) continue;
        if (!rules.livesRule) {
            if (!f.IsDown()) t.hp[f.team] += f.hp;
        } else {
            // A team with lives left will get its fallen fighter back whole.
            t.hp[f.team] += f.IsDown() && t.lives[f.team] > 0 ? f.fullHp : f.hp;
        }
    }
    for (bool s : t.standing) t.standingCount += s ? 1 : 0;
    return t;
}

}  // namespace

i32 GetTeamLives(BattleFighters fighters, const BattleRules& rules, u32 team)
{
    if (team >= kTeamSlots) return i32(std::min<i64>(i64(rules.extraLives) + 1, std::numeric_limits<i32>::max()));
    const i64 lives = CountTeams(fighters, rules).lives[team];
    return i32(std::clamp<i64>(lives, std::numeric_limits<i32>::min(), std::numeric_limits<i32>::max()));
}

bool IsBattleOver(BattleFighters fighters, const BattleRules& rules, f32 localRemainingTime)
{
    return CountTeams(fighters, rules).standingCount < 2 || localRemainingTime <= 0;
}

u32 GetResult(BattleFighters fighters, const BattleRules& rules, u32 team)
{
    const TeamTable t = CountTeams(fighters, rules);
    // Nobody left standing: everyone fell together.
    if (t.standingCount == 0) return kResultDraw;
    if (t.standingCount == 1) return team < kTeamSlots && t.standing[team] ? kResultWin : kResultLoss;
    // Most lives, then most HP. Two teams sharing the top place make the
    // battle a draw, and a drawn battle is drawn for every team, a lower or
    // beaten one too.
    i32 best = -1;
    bool tied = false;
    for (u32 i = 0; i < kTeamSlots; ++i) {
        if (!t.standing[i]) continue;
        if (best >= 0 && t.lives[i] == t.lives[best] && t.hp[i] == t.hp[best]) {
            tied = true;
        } else if (best < 0 || t.lives[i] > t.lives[best] || (t.lives[i] == t.lives[best] && t.hp[i] > t.hp[best])) {
            best = i32(i);
            tied = false;
        }
    }
    if (tied) return kResultDraw;
    return team < kTeamSlots && i32(team) == best ? kResultWin : kResultLoss;
}

bool IsSettledAction(u32 action)
{
    switch (action) {
    case 0: case 1: case 13: case 15: case 19: case 21: case 22: case 24: case 25: return true;
    default: return false;
    }
}

bool AreFightersSettled(BattleFighters fighters)
{
    return std::all_of(fighters.begin(), fighters.end(), [](const BattleFighter& f) { return IsSettledAction(f.action); });
}

const BattleFighter* FindLocalFighter(BattleFighters fighters, u32 localEntry)
{
    for (const BattleFighter& f : fighters)
        if (f.entryIndex == localEntry) return &f;
    return nullptr;
}

// -- Adventure. --

namespace {

bool AtLeast(u32 counter, i32 p) { return i64(counter) >= i64(p); }
bool None(u32 counter) { return counter == 0; }

// Opponents fell in list order: each one's defeat time (remaining seconds)
// is no later than the one before it, starting from the time limit.
bool KilledInOrder(const AdventureFacts& facts)
{
    f64 previous = facts.timeLimit;
    for (size_t i = 1; i < facts.fighters.size(); ++i) {
        const f64 time = facts.fighters[i].Counter(kStatDefeatTime);
        if (time > previous) return false;
        previous = time;
    }
    return true;
}

// Types 7..35 that compare one statistic: the counter, and whether it must
// reach p (else it must stay 0). Indexed by type - 7.
struct CounterCondition {
    StatisticCounter counter;
    bool atLeast;
};
constexpr CounterCondition kCounterConditions[] = {
    {kStatShootOutWins, true},        {kStatJustGuards, true},        {kStatClimaxHits, true},
    {kStatGuards, false},             {kStatDashes, false},           {kStatSlides, false},
    {kStatMirageSlides, false},       {kStatSparks, false},           {kStatSpells, false},
    {kStatChargedSpells, false},      {kStatExceptionSpells, false},  {kStatHiTensionSpells, false},
    {kStatClimaxSpells, false},       {kStatFinaleClimaxes, false},
    {kStatLastKillKind, true},   // 21: an equality, handled before the table
    {kStatSpellKills, true},          {kStatChargedSpellKills, true}, {kStatExceptionKills, true},
    {kStatHiTensionKills, true},      {kStatClimaxKills, true},       {kStatFinaleKills, true},
    {kStatDoubleAttacks, true},       {kStatRollsDealt, true},        {kStatSpinsDealt, true},
    {kStatDownsDealt, true},          {kStatDoubleAttacksSuffered, false},
    {kStatRollsSuffered, false},      {kStatSpinsSuffered, false},    {kStatDownsSuffered, false},
};
static_assert(std::size(kCounterConditions) == 35 - 7 + 1);

}  // namespace

bool CheckAdventureCondition(const BattleFighter& local, i32 type, i32 p, const AdventureFacts& facts)
{
    switch (type) {
    case 1: {
        // Without a full HP there is no share of it to keep.
        const f32 percent = local.fullHp > 0 ? f32(local.hp) / f32(local.fullHp) * 100.0f : 0.0f;
        return percent >= f32(p);
    }
    case 2: return facts.remainingTime >= f32(p);
    case 3: return KilledInOrder(facts);
    case 4: return local.skills[0] == 0 && local.skills[1] == 0 && local.skills[2] == 0;
    case 5: return p < 0 || p > 2 || local.skills[p] == 0;
    case 6:
        return p > 0 && std::find(std::begin(local.skills), std::end(local.skills), u32(p)) != std::end(local.skills);
    case 21: return i64(local.Counter(kStatLastKillKind)) == i64(p);
    default: break;
    }
    if (type < 7 || type > 35) return true;
    const CounterCondition& c = kCounterConditions[type - 7];
    const u32 value = local.Counter(c.counter);
    return c.atLeast ? AtLeast(value, p) : None(value);
}

u32 ApplyAdventureRewards(u32 result, const CBattleProgress* progress, u32 localEntry, const AdventureFacts& facts,
                          CSaveData* saveData)
{
    const auto* adventure = dynamic_cast<const CAdventureProgress*>(progress);
    const BattleFighter* local = FindLocalFighter(facts.fighters, localEntry);
    if (result != kResultWin || !adventure || !adventure->event || !local || !saveData) return 0;
    const AdventureEventValues& v = adventure->event->values;
    u32 set = 0;
    set += saveData->SetAdventureClearFlag(adventure->clearFlag, 1) ? 1 : 0;
    if (v.nextOpen > 0) set += saveData->SetAdventureRewardFlag(v.nextOpen - 1, 1) ? 1 : 0;
    if (v.nextConditionOpen > 0 && CheckAdventureCondition(*local, v.nextConditionFlag, v.nextConditionParameter, facts))
        set += saveData->SetAdventureRewardFlag(v.nextConditionOpen - 1, 1) ? 1 : 0;
    if (v.getSkill >= 1 && CheckAdventureCondition(*local, v.skillConditionFlag, v.skillConditionParameter, facts))
        set += saveData->SetUnlockFlag(v.getSkill - 1, 1) ? 1 : 0;
    return set;
}

// -- The end step and the play record. --

u32 SettleBattle(BattleFighters fighters, const BattleSettlement& settlement)
{
    const BattleFighter* local = FindLocalFighter(fighters, settlement.localEntry);
    const BattleFighter* own = local ? local : (fighters.empty() ? nullptr : &fighters.front());
    const u32 result = own ? GetResult(fighters, settlement.rules, u32(own->team)) : kResultLoss;
    if (settlement.adventureMode) {
        const AdventureFacts facts{fighters, settlement.remainingTime, settlement.timeLimit};
        ApplyAdventureRewards(result, settlement.progress, settlement.localEntry, facts, settlement.saveData);
    }
    if (settlement.networkMode && local && settlement.lobby) settlement.lobby->ReportBattleResult(result - 1);
    return result;
}

i32 UpdatePlayRecord(CSaveRecord* record, BattleFighters fighters, u32 localEntry, u32 replayMode, u32 networkMode,
                     u32 localResult)
{
    const BattleFighter* local = FindLocalFighter(fighters, localEntry);
    if (!record || replayMode || !local || local->computer) return 0;
    const u32 stats[4] = {local->Counter(0), local->Counter(1), local->Counter(2), local->Counter(3)};
    return record->AddBattle(local->characterId, networkMode != 0, localResult, stats);
}
