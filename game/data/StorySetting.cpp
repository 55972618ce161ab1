#include "game/data/StorySetting.h"

CStorySetting::~CStorySetting() { CStorySetting::Clear(); }

i32 CStorySetting::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    RegisterKey("TEXT", &text, CString("Non Name"));
    RegisterFileKey("NEXT", &next, CString("Non Name"));
    RegisterKey("CHARA", &values.chara, 0);
    RegisterKey("BARRAGE", &values.barrage, 0);
    RegisterKey("STAGE", &values.stage, 0);
    RegisterKey("BGM", &values.bgm, 0);
    RegisterKey("CPU", &values.cpu, 0);
    RegisterKey("SKILL01", &values.skill01, 0);
    RegisterKey("SKILL02", &values.skill02, 0);
    RegisterKey("SKILL03", &values.skill03, 0);
    RegisterKey("TIME", &values.time, 0);
    RegisterKey("ENDTIME", &values.endTime, 30.0f);
    RegisterKey("SPEED", &values.speed, 30.0f);
    RegisterKey("LASTFLAG", &values.lastFlag, 0);
    RegisterKey("GETSKILL", &values.getSkill, 0);
    return 1;
}

i32 CStorySetting::OnLoaded(const CStatusKeyMap*) { return 1; }

i32 CStorySetting::Clear()
{
    m_name.Free();
    text.Free();
    return CSettingFile::Clear();
}
