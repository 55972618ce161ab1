#include "game/data/AdventureEventSetting.h"

#include <cstdio>

CAdventureEventSetting::CAdventureEventSetting(const CAdventureEventSetting& other)
    : CSettingFile(other),
      text(other.text),
      nextCondition(other.nextCondition),
      skillCondition(other.skillCondition),
      values(other.values)
{
}

CAdventureEventSetting::~CAdventureEventSetting() { CAdventureEventSetting::Clear(); }

i32 CAdventureEventSetting::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    const CString none("---");
    RegisterKey("TEXT", &text, CString("Non Name"));
    RegisterKey("NEXTCONDITION", &nextCondition, none);
    RegisterKey("SKILLCONDITION", &skillCondition, none);
    RegisterKey("TIMECONDITION", &timeCondition, none);
    RegisterKey("CPUCONDITION", &cpuCondition, none);
    RegisterKey("ENEMYCONDITION", &enemyCondition, none);
    RegisterKey("RULECONDITION", &ruleCondition, none);

    for (int n = 0; n < 3; ++n) {
        AdventureParticipant& chara = values.chara[n];
        const struct {
            const char* field;
            i32* member;
            i32 defaultValue;
        } fields[] = {
            {"TYPE", &chara.type, -1},        {"BARRAGE", &chara.barrage, 0}, {"CPU", &chara.cpu, 0},
            {"HANDICAP", &chara.handicap, 0}, {"SKILL01", &chara.skill01, 0}, {"SKILL02", &chara.skill02, 0},
            {"SKILL03", &chara.skill03, 0},
        };
        for (const auto& field : fields) {
            char key[32];
            std::snprintf(key, sizeof key, "CHARA%02d%s", n, field.field);
            RegisterKey(key, field.member, field.defaultValue);
        }
    }

    RegisterKey("STAGE", &values.stage, 0);
    RegisterKey("BGM", &values.bgm, 0);
    RegisterKey("TIME", &values.time, 0);
    RegisterKey("FRIEND", &values.friendChara, 0);
    RegisterKey("GETSKILL", &values.getSkill, 0);
    RegisterKey("NEXTOPEN", &values.nextOpen, 0);
    RegisterKey("NEXTCONDITIONOPEN", &values.nextConditionOpen, 0);
    RegisterKey("NEXTCONDITIONFLAG", &values.nextConditionFlag, 0);
    RegisterKey("NEXTCONDITIONPARAMETER", &values.nextConditionParameter, 0);
    RegisterKey("SKILLCONDITIONFLAG", &values.skillConditionFlag, 0);
    RegisterKey("SKILLCONDITIONPARAMETER", &values.skillConditionParameter, 0);
    return 1;
}

i32 CAdventureEventSetting::OnLoaded(const CStatusKeyMap*) { return 1; }

i32 CAdventureEventSetting::Clear()
{
    text.Free();
    nextCondition.Free();
    skillCondition.Free();
    return CSettingFile::Clear();
}
