// CWeaponSetting: one weapon a fighter carries: what to show, the bone it
// follows and the offset from that bone. A fighter's parameter set holds
// one per weapon and each CWeapon owns a copy.
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "game/data/SettingFile.h"

struct WeaponValues {
    CVector3 offsetPosition;   // OFFSETPOSITION (and ...X, Y, Z): in the bone's space
    CVector3 offsetAngle;      // OFFSETANGLE (and ...X, Y, Z): degrees
    i32 equipFlag;             // EQUIPFLAG: kept, read by nothing
    i32 soundType;             // SOUNDTYPE: hit sound of attacks made with it
    i32 showFlag;              // SHOWFLG: show groups; bit 0 = shown from the start
    i32 changeEffectFlag;      // CHANGEEFFECTFLG: the owner plays its change effect
};

class CWeaponSetting : public CSettingFile {
public:
    // NAME and the weapon's keys.
    static constexpr u32 kKeyCount = 1 + 2 + 8 + 4;

    CWeaponSetting() = default;
    CWeaponSetting(const CWeaponSetting& other) = default;

    // 0 when the key map cannot be built or a key is refused.
    i32 RegisterKeys() override;
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override;

    CString resource;   // RESOURCE: a model (".mdl") or an effect definition
    CString bone;       // BONE: the owner's bone to follow
    WeaponValues values{};
};
