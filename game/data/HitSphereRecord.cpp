#include "game/data/HitSphereRecord.h"

#include "game/data/SettingText.h"

i32 CHitSphereRecord::ReadText(const char* text)
{
    if (!text) return 0;
    ReadRecordFloat(text, "radius", &radius);
    ReadRecordInt(text, "type", &type);
    ReadRecordFloat(text, "x", &position.x);
    ReadRecordFloat(text, "y", &position.y);
    ReadRecordFloat(text, "z", &position.z);
    ReadRecordString(text, "bone", &bone);
    return 1;
}
