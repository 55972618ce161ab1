// CAdventureEventSetting: one stage of the adventure mode, a battle with up
// to three participants, its stage, music and time, the conditions shown and
// checked, and what clearing it opens. Its files are named by the ADVENTURE
// keys of CAdventureSetting.
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "game/data/SettingFile.h"

// One participant, keys "CHARA%02dTYPE" and its siblings.
struct AdventureParticipant {
    i32 type;        // TYPE: character, -1 when the slot is unused
    i32 barrage;     // BARRAGE
    i32 handicap;    // HANDICAP
    i32 cpu;         // CPU
    i32 skill01;     // SKILL01
    i32 skill02;     // SKILL02
    i32 skill03;     // SKILL03
};
static_assert(sizeof(AdventureParticipant) == 28);

// The integer block of a stage, 32 words.
struct AdventureEventValues {
    AdventureParticipant chara[3];   // CHARA00, CHARA01, CHARA02
    i32 stage;                       // STAGE
    i32 bgm;                         // BGM
    i32 time;                        // TIME
    i32 friendChara;                 // FRIEND
    i32 getSkill;                    // GETSKILL
    i32 nextOpen;                    // NEXTOPEN
    i32 nextConditionOpen;           // NEXTCONDITIONOPEN
    i32 nextConditionFlag;           // NEXTCONDITIONFLAG
    i32 nextConditionParameter;      // NEXTCONDITIONPARAMETER
    i32 skillConditionFlag;          // SKILLCONDITIONFLAG
    i32 skillConditionParameter;     // SKILLCONDITIONPARAMETER
};
static_assert(sizeof(AdventureEventValues) == 32 * 4);

class CAdventureEventSetting : public CSettingFile {
public:
    CAdventureEventSetting() = default;
    // Copies the name, TEXT, NEXTCONDITION, SKILLCONDITION and the integer
    // block; a battle's copy needs no more, and its other four texts start
    // empty.
    CAdventureEventSetting(const CAdventureEventSetting& other);
    ~CAdventureEventSetting() override;

    i32 RegisterKeys() override;
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override;
    // Empties TEXT, NEXTCONDITION and SKILLCONDITION, then the base's clear.
    i32 Clear() override;

    CString text;              // TEXT
    CString nextCondition;     // NEXTCONDITION
    CString skillCondition;    // SKILLCONDITION
    CString timeCondition;     // TIMECONDITION
    CString cpuCondition;      // CPUCONDITION
    CString enemyCondition;    // ENEMYCONDITION
    CString ruleCondition;     // RULECONDITION
    AdventureEventValues values{};
};
