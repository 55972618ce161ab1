#include "game/data/AdventureSetting.h"

CAdventureSetting::~CAdventureSetting() { CAdventureSetting::Clear(); }

i32 CAdventureSetting::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    RegisterKey("COUNT", &count, CIntList());
    RegisterKey("ADVENTURE", &stages, CSettingFileList<CAdventureEventSetting>());
    return 1;
}

i32 CAdventureSetting::OnLoaded(const CStatusKeyMap* aliasTable) { return stages.Load(aliasTable); }

i32 CAdventureSetting::Clear()
{
    count.Release();
    stages.Release();
    return CSettingFile::Clear();
}
