#include "game/data/TraceRecord.h"

#include "game/data/SettingText.h"

i32 CTraceRecord::ReadText(const char* text)
{
    if (!text) return 0;
    ReadRecordInt(text, "count", &count);
    ReadRecordFloat(text, "AlphaAttenuation", &AlphaAttenuation);
    ReadRecordInt(text, "type", &type);
    ReadRecordFloat(text, "startx", &start.x);
    ReadRecordFloat(text, "starty", &start.y);
    ReadRecordFloat(text, "startz", &start.z);
    ReadRecordFloat(text, "endx", &end.x);
    ReadRecordFloat(text, "endy", &end.y);
    ReadRecordFloat(text, "endz", &end.z);
    ReadRecordString(text, "bone", &bone);
    ReadRecordString(text, "texture", &texture);
    return 1;
}
