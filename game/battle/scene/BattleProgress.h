// What an adventure or survival run keeps in the battle set-up between its
// battles. The scenes of the run (above the battle) build these and store
// them in the set-up; the battle reads them at its end and hands them on
// with the set-up. They live down here because the battle must read them.
#pragma once

#include "engine/core/Types.h"
#include "game/battle/scene/BattleSetup.h"

#include <memory>

class CAdventureEventSetting;
template <class T>
class CStatusList;

// One adventure battle: a copy of the stage's event record (its rewards and
// their conditions), the stage's clear-flag index and the map cursor the
// adventure scene comes back to.
class CAdventureProgress : public CBattleProgress {
public:
    // Takes event over (null: no record, and the battle changes nothing).
    explicit CAdventureProgress(CAdventureEventSetting* event = nullptr, i32 clearFlag = 0, u32 column = 0,
                                u32 halfRow = 1);
    ~CAdventureProgress() override;

    // The clear-flag index of the stage at (column, halfRow): the sum of the
    // first `column` stage counts, plus (halfRow - 1) / 2. Counts past the
    // list count nothing.
    static i32 ClearFlagIndex(const CStatusList<i32>& stageCounts, u32 column, u32 halfRow);

    std::unique_ptr<CAdventureEventSetting> event;
    i32 clearFlag;
    u32 column, halfRow;
};

// A survival run: what the first fighter carries into the next battle, the
// opponents already met, and the totals of the run so far.
class CSurvivalProgress : public CBattleProgress {
public:
    static constexpr u32 kHistoryCount = 8;

    f32 carriedLife = 1.0f;        // the first fighter's life fraction at the start
    u32 carriedWord = 0;           // handed to the first fighter with it
    u32 history[kHistoryCount] = {};   // opponent keys, slot = wins mod 8
    u32 presetSkills = 0;          // computer opponents take preset skill sets
    // The six totals the result screen shows.
    u32 characterId = 0;
    u32 wins = 0;
    u32 timeScore = 0;             // whole seconds
    u32 lastDamageTaken = 0;       // statistic 2 of the last won battle
    u32 killSum = 0;               // statistic 0 over the won battles
    u32 damageDealtSum = 0;        // statistic 1 over the won battles
};
