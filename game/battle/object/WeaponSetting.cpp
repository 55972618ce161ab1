#include "game/battle/object/WeaponSetting.h"

#include <string>
#include <utility>

i32 CWeaponSetting::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    i32 ok = 1;
    ok &= RegisterKey("RESOURCE", &resource, CString("Non Name"));
    ok &= RegisterKey("BONE", &bone, CString("Non Name"));
    // A component key and its vector key share the floats: the value read
    // last wins.
    for (auto [key, vector] : {std::pair{"OFFSETPOSITION", &values.offsetPosition},
             std::pair{"OFFSETANGLE", &values.offsetAngle}}) {
        ok &= RegisterKey(key, vector, CVector3());
        const std::string name = key;
        ok &= RegisterKey((name + "X").c_str(), &vector->x, 0.0f);
        ok &= RegisterKey((name + "Y").c_str(), &vector->y, 0.0f);
        ok &= RegisterKey((name + "Z").c_str(), &vector->z, 0.0f);
    }
    ok &= RegisterKey("EQUIPFLAG", &values.equipFlag, 0);
    ok &= RegisterKey("SOUNDTYPE", &values.soundType, 0);
    ok &= RegisterKey("SHOWFLG", &values.showFlag, 0);
    ok &= RegisterKey("CHANGEEFFECTFLG", &values.changeEffectFlag, 1);
    if (!ok) CSettingFile::Clear();
    return ok;
}

i32 CWeaponSetting::OnLoaded(const CStatusKeyMap*) { return 1; }
