// What a fighter builds at creation that the battle objects provide: its
// camera controller, its barrages and its spell cards. The character asks a
// factory for them, so it never depends on how they are made; the battle
// objects install the real factory, tests install doubles.
#pragma once

#include "engine/core/StateHash.h"
#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"
#include "engine/core/Vector3.h"

class CCameraParameter;
class CObjectDivision;
class CPatternListParameter;
class CSpellCardSetting;

// The battle camera of one character.
class ICameraController {
public:
    virtual ~ICameraController() = default;
    virtual ICameraController* Clone() const = 0;
    // Each point is set only when given.
    virtual void SetPoints(const CVector3* a, const CVector3* b) = 0;
    // yaw as given, pitch negated and wrapped into [-180, 180).
    virtual void SetAngles(f32 yaw, f32 pitch) = 0;
    // Owner and followed object, by registry id (ids outlive nothing).
    virtual void SetOwner(u32 ownerId, u32 followedId) = 0;
    virtual void SetParticipantSlot(u32 slot) = 0;
    virtual void HashState(CStateHash& hash) const = 0;
    // The camera's eye and angles (degrees); zero until it has a camera.
    virtual void GetView(CVector3* eye, CVector3* angles) const { *eye = *angles = CVector3(); }
    // The forward direction and the settings' view angle limit (degrees).
    virtual void GetForward(CVector3* out) const = 0;
    virtual f32 GetViewAngleLimit() const = 0;
};

class ICharacterObjectFactory {
public:
    virtual ~ICharacterObjectFactory() = default;
    // Each returns a new object the caller owns, or null when it cannot.
    virtual ICameraController* CreateCameraController(const CCameraParameter& camera) = 0;
    virtual CObjectDivision* CreateBarrage(const CPatternListParameter& barrage) = 0;
    virtual CObjectDivision* CreateSpellCard(const CSpellCardSetting& settings, u32 ownerWord) = 0;
};

// The factory characters use; null (the default) builds none of the three.
ICharacterObjectFactory* GetCharacterObjectFactory();
void SetCharacterObjectFactory(ICharacterObjectFactory* factory);
