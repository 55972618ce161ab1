#include "game/battle/object/ShotPatternParameter.h"

#include "game/data/SettingLoad.h"
#include "game/battle/object/SettingKeyTable.h"

#include <cstddef>

namespace {

using K = SettingKeyKind;
#define F(field) offsetof(CShotPatternValues, field)

const SettingKeyRow kRows[] = {
    {"POSITION", K::kVector, F(position), 0, 0, 0},
    {"POSITIONOFFSET", K::kVector, F(positionOffset), 0, 0, 0},
    {"POSITIONADD", K::kVector, F(positionAdd), 0, 0, 0},
    {"SIMULTANEOUSPOSITIONADD", K::kVector, F(simultaneousPositionAdd), 0, 0, 0},
    {"POSITIONTYPE", K::kInt, F(positionType), 1, 0, 0},
    {"SHOOTVECTOR", K::kVector, F(shootVector), 0, 0, -1},
    {"SHOOTVECTORADD", K::kVector, F(shootVectorAdd), 0, 0, 0},
    {"SIMULTANEOUSSHOOTVECTORADD", K::kVector, F(simultaneousShootVectorAdd), 0, 0, 0},
    {"SHOOTANGLEAXIS", K::kVector, F(shootAngleAxis), 0, 1, 0},
    {"SHOOTANGLE", K::kFloat, F(shootAngle), 0, 0, 0},
    {"SHOOTANGLEADD", K::kFloat, F(shootAngleAdd), 0, 0, 0},
    {"SIMULTANEOUSSHOOTANGLEADD", K::kFloat, F(simultaneousShootAngleAdd), 0, 0, 0},
    {"POSITIONANGLE", K::kFloat, F(positionAngle), 0, 0, 0},
    {"POSITIONANGLEADD", K::kFloat, F(positionAngleAdd), 0, 0, 0},
    {"SIMULTANEOUSPOSITIONANGLEADD", K::kFloat, F(simultaneousPositionAngleAdd), 0, 0, 0},
    {"SHOOTANGLETYPE", K::kInt, F(shootAngleType), 1, 0, 0},
    {"SIMULTANEOUSSHOOTCOUNT", K::kInt, F(simultaneousShootCount), 1, 0, 0},
    {"SHOOTCOUNT", K::kInt, F(shootCount), 0, 0, 0},
    {"SHOOTWAIT", K::kFloat, F(shootWait), 1, 0, 0},
    {"PATTERNWAIT", K::kFloat, F(patternWait), 0, 0, 0},
    {"SHOOTRANGE", K::kFloat, F(shootRange), 0, 0, 0},
    {"SHOOTLIMITANGLE", K::kFloat, F(shootLimitAngle), 105, 0, 0},
    {"FIXATIONFLG", K::kInt, F(fixationFlg), 0, 0, 0},
};
#undef F

}  // namespace

CShotPatternParameter::~CShotPatternParameter() { CSettingFile::Clear(); }

i32 CShotPatternParameter::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    i32 ok = RegisterKeyRows(kRows, std::size(kRows), OffsetOf(&m_values), ORV_SETTING_BIND);
    ok &= RegisterKey("EFCSHOOTSET", &m_effect, CString("Non Name"));
    ok &= RegisterFileKey("BULLET", &m_bullet.name, CString("Bullet.txt"));
    ok &= RegisterKey("SOUND", &m_sound, CString("Non Name"));
    return ok;
}

i32 CShotPatternParameter::OnLoaded(const CStatusKeyMap* aliasTable)
{
    // Shared with every pattern of the load firing it; ours is a copy of its
    // values, sharing its read-only children.
    std::shared_ptr<const CBulletParameter> bullet =
        LoadSettingChild<CBulletParameter>(m_bullet.name.GetText(), aliasTable);
    if (!bullet) return 0;
    m_bullet.parameter = *bullet;
    return 1;
}
