// CShotPatternParameter: one stream of volleys inside a barrage, read from a
// shot pattern file: where and in which direction its shots leave, how a
// volley fans out and each further volley turns, how many and how often, and
// the bullet (BULLET, a bullet parameter file loaded with it), effect and
// sound of each volley.
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "game/battle/object/BulletParameter.h"
#include "game/data/SettingFile.h"

// The value block, in key order.
struct CShotPatternValues {
    CVector3 position;                     // POSITION
    CVector3 positionOffset;               // POSITIONOFFSET
    CVector3 positionAdd;                  // POSITIONADD: per volley
    CVector3 simultaneousPositionAdd;      // SIMULTANEOUSPOSITIONADD: per shot
    i32 positionType;                      // POSITIONTYPE
    CVector3 shootVector;                  // SHOOTVECTOR
    CVector3 shootVectorAdd;               // SHOOTVECTORADD
    CVector3 simultaneousShootVectorAdd;   // SIMULTANEOUSSHOOTVECTORADD
    CVector3 shootAngleAxis;               // SHOOTANGLEAXIS
    f32 shootAngle;                        // SHOOTANGLE
    f32 shootAngleAdd;                     // SHOOTANGLEADD
    f32 simultaneousShootAngleAdd;         // SIMULTANEOUSSHOOTANGLEADD
    f32 positionAngle;                     // POSITIONANGLE
    f32 positionAngleAdd;                  // POSITIONANGLEADD
    f32 simultaneousPositionAngleAdd;      // SIMULTANEOUSPOSITIONANGLEADD
    i32 shootAngleType;                    // SHOOTANGLETYPE
    i32 simultaneousShootCount;            // SIMULTANEOUSSHOOTCOUNT: read as unsigned
    i32 shootCount;                        // SHOOTCOUNT: 0 no limit, read as unsigned
    f32 shootWait;                         // SHOOTWAIT
    f32 patternWait;                       // PATTERNWAIT
    f32 shootRange;                        // SHOOTRANGE: 0 no limit
    f32 shootLimitAngle;                   // SHOOTLIMITANGLE
    i32 fixationFlg;                       // FIXATIONFLG
};
static_assert(sizeof(CShotPatternValues) == (8 * 3 + 15) * 4);

// BULLET: the file name and the set loaded from it.
struct CBulletLink {
    CString name;
    CBulletParameter parameter;
};

class CShotPatternParameter : public CSettingFile {
public:
    // NAME and the 50 keys of this class.
    static constexpr u32 kKeyCount = 51;

    CShotPatternParameter() = default;
    // Copies the values and names, and the bullet set whole.
    CShotPatternParameter(const CShotPatternParameter& other) = default;
    ~CShotPatternParameter() override;

    // 0 when any key could not be registered.
    i32 RegisterKeys() override;
    // Loads the BULLET set; its result is the load's.
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override;

    const CShotPatternValues& GetValues() const { return m_values; }
    CShotPatternValues& GetValues() { return m_values; }
    const CBulletLink& GetBulletLink() const { return m_bullet; }
    // Effect name index (only 0), or null.
    const CString* GetEffectName(u32 index) const { return index == 0 ? &m_effect : nullptr; }
    const CString& GetSoundName() const { return m_sound; }

private:
    CShotPatternValues m_values{};
    CBulletLink m_bullet;   // BULLET
    CString m_effect;       // EFCSHOOTSET
    CString m_sound;        // SOUND
};
