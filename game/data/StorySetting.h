// CStorySetting: one chapter of a character's story, starting from
// "Setting/Story_" + character name + "_Prologue.dat"; each chapter names the
// next (NEXT).
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "game/data/SettingFile.h"

// The numbers of a chapter, in key order.
struct StoryValues {
    i32 chara;      // CHARA: the opponent
    i32 barrage;    // BARRAGE
    i32 stage;      // STAGE
    i32 bgm;        // BGM
    i32 cpu;        // CPU
    i32 skill01;    // SKILL01
    i32 skill02;    // SKILL02
    i32 skill03;    // SKILL03
    i32 time;       // TIME
    f32 endTime;    // ENDTIME
    f32 speed;      // SPEED
    i32 lastFlag;   // LASTFLAG
    i32 getSkill;   // GETSKILL
};
static_assert(sizeof(StoryValues) == 52);

class CStorySetting : public CSettingFile {
public:
    CStorySetting() = default;
    CStorySetting(const CStorySetting& other) = default;
    ~CStorySetting() override;

    i32 RegisterKeys() override;
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override;
    // Empties the name and TEXT, then the base's clear.
    i32 Clear() override;

    CString text;   // TEXT
    CString next;   // NEXT: the next chapter's file
    StoryValues values{};
};
