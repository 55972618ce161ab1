#include "game/data/Skill.h"

#include <new>

const char* const kSkillModifierKeys[kSkillModifierCount] = {
    "TENSIONSTR", "TENSIONMOVE", "BASESTR", "BASEMOVE", "BASEHP", "BASEDAMAGE", "MULTILOCKMOVE", "DASHSTARTMP",
    "DASHKEEPMP", "DASHSTARTMOTIONTIME", "SLIDEMP", "DOUBLESLIDEMP", "TRIPLESLIDEMP", "MIRAGESLIDEMP",
    "MIRAGESLIDEATTACKMP", "SLIDEMPREVISE", "DOUBLESLIDEMPREVISE", "JUSTGUARDTIME", "GUARDTIME", "GUARDRELOAD",
    "GUARDANGLE", "ADDHPSPEED", "SPARKHP", "SPARKMP", "SPARKINVINCIBILITYTIME", "SPARKRELOAD", "SPARKREACTIONTIME",
    "SPARKGUAGERATE", "SHORTATTACKSTR", "SHORTATTACKRELOAD", "SPELLSTR", "SPELLRELOAD", "SPELLPER", "SPELLHOMING",
    "CLIMAXWAIT", "HITENSIONRELOAD", "DOUBLEATTACKDAMAGE", "DOUBLEATTACKTIME", "SHOTAMMUNITION", "SHOTCHARGETIME",
    "MULTILOCKSTR", "SLIDEINVINCIBILITYTIME", "MULTILOCKSLIDEMP", "MIRAGESLIDERANGE", "MULTILOCKPOW",
    "MULTILOCKMPECOVER", "DOWNLIMIT", "MULTILOCKDAMAGE",
};

CSkillSetting::CSkillSetting(const CSkillSetting& other) : CSettingFile(other), values(other.values) {}

CSkillSetting::~CSkillSetting() { CSkillSetting::Clear(); }

i32 CSkillSetting::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    RegisterKey("EXPLANATION", &explanation, CString("Non Explanation"));
    RegisterKey("IMAGEID", &values.imageId, 0);
    RegisterKey("TYPE", &values.type, 0);
    RegisterKey("FLAG1", &values.flag1, 0);
    RegisterKey("FLAG2", &values.flag2, 0);
    RegisterKey("COMBINATION", &values.combination, 0);
    for (u32 i = 0; i < kSkillModifierCount; ++i) RegisterKey(kSkillModifierKeys[i], &values.modifiers[i], 1.0f);
    RegisterKey("BASEATTACKCOUNT", &values.baseAttackCount, 0);
    return 1;
}

CSkillList::~CSkillList() { CSkillList::Clear(); }

i32 CSkillList::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    RegisterKey("SKILL", &skills, CSettingFileList<CSkillSetting>());
    return 1;
}

i32 CSkillList::Clear()
{
    skills.Release();
    return CSettingFile::Clear();
}

CSkill::CSkill(const CSkill& other)
    : CResourceBase(other), m_record(other.m_record ? new (std::nothrow) CSkillSetting(*other.m_record) : nullptr)
{
}

CSkill::~CSkill() { CSkill::Release(); }

i32 CSkill::Release()
{
    delete m_record;
    m_record = nullptr;
    return CResourceBase::Release();
}
