// CPatternListParameter: a barrage definition ("Barrage.txt" and the like),
// the shot pattern files (PATTERN, one line each, in firing order) that one
// barrage fires together, each loaded with its bullet. Patterns are reached
// by index; record i was loaded from name i.
#pragma once

#include "engine/core/Types.h"
#include "game/battle/object/ShotPatternParameter.h"
#include "game/data/SettingFile.h"
#include "game/data/SettingFileList.h"

class CPatternListParameter : public CSettingFile {
public:
    // NAME and PATTERN.
    static constexpr u32 kKeyCount = 2;

    CPatternListParameter() = default;
    // Copies every name and every pattern record.
    CPatternListParameter(const CPatternListParameter& other) = default;
    ~CPatternListParameter() override;

    // Refuses unsafe names and cycles back to a file still loading.
    i32 LoadFile(const char* path, const CStatusKeyMap* aliasTable = nullptr) override;
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

private:
    CSettingFileList<CShotPatternParameter> m_patterns;   // PATTERN
};
