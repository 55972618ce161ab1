// CPatternListParameter: a barrage definition ("Barrage.txt" and the like),
// the shot pattern files (PATTERN, one line each, in firing order) that one
// barrage fires together, each loaded with its bullet. Patterns are reached
// by index; record i was loaded from name i. Records are read-only and
// shared with every other list naming the same file in the load.
//
// A list loads whatever it names; what a barrage fires of it is bounded
// where the bullets are made (CBarrage::Update), so a short file cannot
// flood a battle: only the first kMaxPatterns patterns fire; one update
// makes at most kMaxShotsPerRound shots; and at most kMaxShotsSetOff
// counting, for every shot, one round of its bullet's own BARRAGE list.
// The bounds sit well above any barrage written by hand (thousands of
// shots, hundreds of patterns); past them the shots are not made.
#pragma once

#include "engine/core/Types.h"
#include "game/battle/object/ShotPatternParameter.h"
#include "game/data/SettingFile.h"
#include "game/data/SettingFileList.h"

class CPatternListParameter : public CSettingFile {
public:
    // NAME and PATTERN.
    static constexpr u32 kKeyCount = 2;
    static constexpr u32 kMaxPatterns = 4096;
    static constexpr u32 kMaxShotsPerRound = 16384;
    static constexpr u32 kMaxShotsSetOff = 65536;

    CPatternListParameter() = default;
    // Copies every name and every pattern record.
    CPatternListParameter(const CPatternListParameter& other) = default;
    ~CPatternListParameter() override;

    // 0 when any key could not be registered.
    i32 RegisterKeys() override;
    // Loads the patterns in order; the first failure fails the load.
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override;
    // Releases the names and the patterns, then the base's clear.
    i32 Clear() override;

    const CSettingFileList<CShotPatternParameter>& GetPatterns() const { return m_patterns; }
    u32 GetPatternCount() const { return m_patterns.GetNameCount(); }
    // Loaded pattern index, or null past the end.
    const CShotPatternParameter* GetPattern(u32 index) const { return m_patterns.GetAt(index); }
    // Shots one round of the fired patterns makes, each counted with one
    // round of its bullet's list; kMaxShotsSetOff + 1 for any sum past it.
    u32 GetShotsSetOff() const { return m_shotsSetOff; }

private:
    CSettingFileList<CShotPatternParameter> m_patterns;   // PATTERN
    u32 m_shotsSetOff = 0;
};
