// CAdventureSetting: the adventure mode's list of stages ("Setting/
// Adventure.dat"). Each ADVENTURE value names one stage file, loaded as a
// CAdventureEventSetting once the list itself has loaded.
#pragma once

#include "engine/core/Types.h"
#include "game/data/AdventureEventSetting.h"
#include "game/data/SettingFile.h"
#include "game/data/SettingFileList.h"
#include "game/data/StatusList.h"

class CAdventureSetting : public CSettingFile {
public:
    CAdventureSetting() = default;
    CAdventureSetting(const CAdventureSetting& other) = default;
    ~CAdventureSetting() override;

    i32 RegisterKeys() override;
    // Loads every stage file in order; the first that fails fails the load.
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override;
    // Releases both lists, then the base's clear.
    i32 Clear() override;

    CIntList count;                                    // COUNT
    CSettingFileList<CAdventureEventSetting> stages;   // ADVENTURE
};
