#include "game/battle/scene/BattleProgress.h"

#include "game/data/AdventureEventSetting.h"
#include "game/data/StatusList.h"

CAdventureProgress::CAdventureProgress(CAdventureEventSetting* event, i32 clearFlag, u32 column, u32 halfRow)
    : event(event), clearFlag(clearFlag), column(column), halfRow(halfRow)
{
}

CAdventureProgress::~CAdventureProgress() = default;

i32 CAdventureProgress::ClearFlagIndex(const CStatusList<i32>& stageCounts, u32 column, u32 halfRow)
{
    i64 index = 0;
    for (u32 i = 0; i < column && i < stageCounts.GetCount(); ++i) index += *stageCounts.GetAt(i);
    index += (i64(halfRow) - 1) / 2;
    // An index past the flag tables sets nothing (the save data refuses it).
    return index < 0 || index > 0x7FFFFFFF ? -1 : i32(index);
}
