// The records of the firing chain: what an owner hands its barrage each
// frame (ShooterRecord) and what the barrage hands each bullet it launches
// (BulletLaunchRecord); and IChildBarrage, what a bullet needs of the
// barrage it carries, so bullets build before barrages do.
#pragma once

#include "engine/core/StateHash.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

#include <cstdint>

class CObjectDivision;
class CPatternListParameter;
class CResourceController;

struct ShooterRecord {
    // Passed to every bullet, never read by the barrage. A fighter fills the
    // first with its attack power factor, the third and fourth with 1.
    f32 factor[5] = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    u32 attackKind = 0;
    i32 shooterGroup = 0;
    i32 soundVolume = 0;   // hundredths of a decibel, -10000..0
    CObjectDivision* shooter = nullptr;
    CObjectDivision* firingObject = nullptr;   // never null when a volley fires
    CObjectDivision* target = nullptr;
};

struct BulletLaunchRecord {
    CVector3 position;
    CVector3 direction;   // not normalised
    f32 damageScale = 1.0f;     // the shooter record's first factor
    f32 powerScale = 1.0f;      // third
    f32 strengthScale = 1.0f;   // fourth
    f32 turnFactor = 1.0f;      // second
    f32 speedFactor = 1.0f;     // fifth
    u32 attackKind = 0;
    i32 shooterGroup = 0;
    i32 soundVolume = 0;
    CObjectDivision* shooter = nullptr;
    CObjectDivision* firingObject = nullptr;
    CObjectDivision* target = nullptr;
};

// A launch record for one shot of a volley, the factors reordered as the
// bullet reads them.
inline BulletLaunchRecord MakeLaunchRecord(const ShooterRecord& r, const CVector3& position,
    const CVector3& direction, CObjectDivision* target)
{
    BulletLaunchRecord l;
    l.position = position;
    l.direction = direction;
    l.damageScale = r.factor[0];
    l.powerScale = r.factor[2];
    l.strengthScale = r.factor[3];
    l.turnFactor = r.factor[1];
    l.speedFactor = r.factor[4];
    l.attackKind = r.attackKind;
    l.shooterGroup = r.shooterGroup;
    l.soundVolume = r.soundVolume;
    l.shooter = r.shooter;
    l.firingObject = r.firingObject;
    l.target = target;
    return l;
}

// The barrage a bullet carries (its BARRAGE pattern list). CBarrage
// implements it and is the maker bullets use (SetChildBarrageFactory).
class IChildBarrage {
public:
    virtual ~IChildBarrage() = default;
    virtual i32 LoadResource(CResourceController* controller) = 0;
    // The launch record of the carrying bullet.
    virtual i32 Initialize(intptr_t launchRecord) = 0;
    // One frame of firing for the shooter.
    virtual i32 UpdateShooter(const ShooterRecord* record) = 0;
    virtual u32 IsFinished() const = 0;
    virtual i32 Restart(f32 time) = 0;
    // An independent copy for a copied bullet; null on failure.
    virtual IChildBarrage* CloneChild() const = 0;
    virtual void HashState(CStateHash& hash) const = 0;
};

using ChildBarrageFactory = IChildBarrage* (*)(const CPatternListParameter* definition);
// CBarrage's maker unless set otherwise; null: bullets carry no barrage.
void SetChildBarrageFactory(ChildBarrageFactory factory);
ChildBarrageFactory GetChildBarrageFactory();
