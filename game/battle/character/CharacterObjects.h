// What a fighter builds at creation that the battle objects provide: its
// camera controller, its barrages and its spell cards. The character asks a
// factory for them, so it never depends on how they are made; tests install
// doubles. Without one it takes the battle's (CBattleObjectFactory).
#pragma once

#include "engine/core/Types.h"
#include "game/battle/object/CameraController.h"

class CCameraParameter;
class CObjectDivision;
class CPatternListParameter;
class CSpellCardSetting;

class ICharacterObjectFactory {
public:
    virtual ~ICharacterObjectFactory() = default;
    // Each returns a new object the caller owns, or null when it cannot.
    virtual ICameraController* CreateCameraController(const CCameraParameter& camera) = 0;
    virtual CObjectDivision* CreateBarrage(const CPatternListParameter& barrage) = 0;
    virtual CObjectDivision* CreateSpellCard(const CSpellCardSetting& settings, u32 ownerWord) = 0;
};

// The factory characters use: the one set, or the battle's when none is
// (setting null puts the battle's back). Never null.
ICharacterObjectFactory* GetCharacterObjectFactory();
void SetCharacterObjectFactory(ICharacterObjectFactory* factory);
