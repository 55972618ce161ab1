#include "game/data/StatusList.h"

#include "engine/core/Number.h"
#include "game/data/SettingText.h"

#include <new>

i32 StatusSetValue(CStringList& target, const char* value)
{
    return target.Append(new (std::nothrow) CString(value));
}

i32 StatusSetValue(CIntList& target, const char* value)
{
    return target.Append(new (std::nothrow) i32(ParseInt(value)));
}

i32 StatusSetValue(CTraceRecordList& target, const char* value)
{
    auto* record = new (std::nothrow) CTraceRecord();
    if (record) record->ReadText(value);
    return target.Append(record);
}

i32 StatusSetValue(CHitSphereRecordList& target, const char* value)
{
    auto* record = new (std::nothrow) CHitSphereRecord();
    if (record) record->ReadText(value);
    return target.Append(record);
}
