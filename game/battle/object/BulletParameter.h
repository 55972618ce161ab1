// CBulletParameter: one kind of bullet, read from a bullet parameter file
// ("Bullet.txt" and the like): how it moves, hits and lives, the effects of
// its events, the shooter's bone it starts at, and an optional pattern list
// (BARRAGE) that it carries and fires. Shot patterns embed one; fired bullets
// read the one of their pattern.
//
// The set only stores, defaults and copies its values; the bullet gives them
// their meaning. Copies share the key map and the read-only child list.
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "game/data/SettingFile.h"

#include <memory>

class CPatternListParameter;

// The numeric record: 80 scalars and 7 vectors, in key order.
struct CBulletValues {
    i32 moveType;                 // MOVETYPE: motion type 0..25
    i32 str;                      // STR
    i32 dotStr;                   // DOTSTR
    f32 pow;                      // POW
    f32 lastPow;                  // LASTPOW: POW of the last hit when not 0
    f32 per;                      // PER
    f32 limit;                    // LIMIT
    f32 lastLimit;                // LASTLIMIT
    f32 gauge;                    // GAUGE
    f32 lastGauge;                // LASTGAUGE
    f32 causeGauge;               // CAUSEGAUGE
    f32 lastCauseGauge;           // LASTCAUSEGAUGE
    f32 dotGauge;                 // DOTGAUGE
    f32 mpScrape;                 // MPSCRAPE
    f32 guardScrape;              // GUARDSCRAPE
    i32 damageType;               // DAMAGETYPE
    i32 lastDamageType;           // LASTDAMAGETYPE
    i32 dotDamageType;            // DOTDAMAGETYPE
    i32 hitCount;                 // HITCOUNT: 0 never hits
    f32 velocity;                 // VELOCITY
    i32 hitType;                  // HITTYPE
    i32 hitReleaseType;           // HITRELEASETYPE
    i32 hitEffectType;            // HITEFFECTTYPE
    i32 vibrationType;            // VIBRATIONTYPE: 4 none
    i32 freezeType;               // FREEZETYPE
    i32 shootObjectType;          // SHOOTOBJECTTYPE: 4 a weapon's bullet
    i32 traceType;                // TRACETYPE
    f32 hitRadius;                // HITRADIUS
    f32 hitInterval;              // HITINTERVAL
    f32 hitRadiusAdd;             // HITRADIUSADD
    CVector3 hitThroughVec;       // HITTHROUGHVEC
    f32 hitEffectInterval;        // HITEFFECTINTERVAL
    f32 pursuitAngle;             // PURSUITANGLE
    f32 pursuitAngleLimit;        // PURSUITANGLELIMIT
    f32 pursuitAngleAdd;          // PURSUITANGLEADD
    f32 pursuitAngleAddRange;     // PURSUITANGLEADDRANGE: 0 turns the addition off
    f32 pursuitAngleAttenuation;  // PURSUITANGLEATTENUATION
    CVector3 axisVec;             // AXISVEC
    CVector3 rotationAngle;       // ROTATIONANGLE
    CVector3 revolveAngle;        // REVOLVEANGLE
    CVector3 positionOffset;      // POSITIONOFFSET
    f32 breakTime;                // BREAKTIME
    f32 stopTime;                 // STOPTIME
    f32 freezeTime;               // FREEZETIME
    f32 sparkInterval;            // SPARKINTERVAL
    f32 dotDamageInterval;        // DOTDAMAGEINTERVAL
    f32 hitTime;                  // HITTIME: 0 no limit
    i32 curveCount;               // CURVECOUNT
    f32 optionLength;             // OPTIONLENGTH
    f32 optionVelocity;           // OPTIONVELOCITY
    f32 optionTime;               // OPTIONTIME
    f32 optionFitLength;          // OPTIONFITLENGTH
    i32 rushCount;                // RUSHCOUNT
    f32 rushInterval;             // RUSHINTERVAL
    f32 shootRange;               // SHOOTRANGE
    f32 shootMinRange;            // SHOOTMINRANGE
    CVector3 scalePow;            // SCALEPOW
    f32 absorbingPow;             // ABSORBINGPOW
    f32 suckingPow;               // SUCKINGPOW
    f32 recoverySpeed;            // RECOVERYSPEED
    CVector3 swingVec;            // SWINGVEC
    f32 swingAngle;               // SWINGANGLE
    f32 swingSpeed;               // SWINGSPEED
    f32 swingRange;               // SWINGRANGE
    f32 swingMinRange;            // SWINGMINRANGE
    i32 aimingFlg;                // AIMINGFLG
    i32 zRotationFlg;             // ZROTATIONFLG
    i32 effectRotationFlg;        // EFFECTROTATIONFLG
    i32 beamHeadRotationFlg;      // BEAMHEADROTATIONFLG
    i32 beamStopFlg;              // BEAMSTOPFLG
    i32 stageHitFlg;              // STAGEHITFLG
    i32 chractorHitFlg;           // CHRACTORHITFLG (so spelled in the files)
    i32 chractorHitVecFlg;        // CHRACTORHITVECFLG
    i32 bulletHitFlg;             // BULLETHITFLG
    i32 bulletThroughFlg;         // BULLETTHROUGHFLG
    i32 eventEndFlg;              // EVENTENDFLG
    i32 eventDeadEndFlg;          // EVENTDEADENDFLG
    i32 traceHitVecFlg;           // TRACEHITVECFLG
    i32 shootFlg;                 // SHOOTFLG
    i32 shootRestrict;            // SHOOTRESTRICT
    i32 screenShotFlg;            // SCREENSHOTFLG
    f32 hitStopTime;              // HITSTOPTIME
    f32 hitStopDelayTime;         // HITSTOPDELAYTIME
    f32 disorderTime;             // DISORDERTIME
    f32 guardStiffenTime;         // GUARDSTIFFENTIME
    f32 damageStiffenTime;        // DAMAGESTIFFENTIME
    f32 existenceTime;            // EXISTENCETIME: 0 or less no limit
};
static_assert(sizeof(CBulletValues) == (80 + 7 * 3) * 4);

// BARRAGE: the name of a pattern list file and the list loaded from it (null
// until loaded and for "Non Name"). The list is read-only and shared with
// every other parent of the file in its load, and with copies.
struct CBarrageLink {
    void ReleaseChild() { child.reset(); }

    CString name;
    std::shared_ptr<const CPatternListParameter> child;
};

// The effects of a bullet's events; "Non Name" for none.
struct CBulletEffectNames {
    static constexpr u32 kCount = 10;
    CString names[kCount];   // EFCSHOOTSET .. EFCTIMEFREEZEEND
};

class CBulletParameter : public CSettingFile {
public:
    // Keys in the set: NAME and the 121 of this class.
    static constexpr u32 kKeyCount = 122;

    // Zeros and empty strings; no keys until the first load.
    CBulletParameter() = default;
    CBulletParameter(const CBulletParameter& other) = default;
    CBulletParameter& operator=(const CBulletParameter& other) = default;
    ~CBulletParameter() override;

    // 0 when any key could not be registered.
    i32 RegisterKeys() override;
    // Loads the BARRAGE child unless it is exactly "Non Name".
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override;
    // Drops the child, then the base's clear.
    i32 Clear() override;

    const CString& GetResource() const { return m_resource; }
    const CBulletValues& GetValues() const { return m_values; }
    CBulletValues& GetValues() { return m_values; }
    // Effect index 0..9 in key order; null past the end.
    const CString* GetEffectName(u32 index) const
    {
        return index < CBulletEffectNames::kCount ? &m_effects.names[index] : nullptr;
    }
    const CString& GetBone() const { return m_bone; }
    const CString& GetBarrageName() const { return m_barrage.name; }
    // The loaded BARRAGE list, or null.
    const CPatternListParameter* GetBarrage() const { return m_barrage.child.get(); }

private:
    CString m_resource;             // RESOURCE
    CBulletValues m_values{};
    CBarrageLink m_barrage;         // BARRAGE
    CBulletEffectNames m_effects;   // EFCSHOOTSET ..
    CString m_bone;                 // BONE
};
