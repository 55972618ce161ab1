// The factory the battle runs with: the real battle camera, barrages and
// spell cards. Characters fall back to it when no other factory is set.
#pragma once

#include "game/battle/character/CharacterObjects.h"

class CBattleObjectFactory : public ICharacterObjectFactory {
public:
    ICameraController* CreateCameraController(const CCameraParameter& camera) override;
    // The barrage borrows barrage: the character parameter outlives its slots.
    CObjectDivision* CreateBarrage(const CPatternListParameter& barrage) override;
    // The card owns a copy of settings; ownerWord picks its effect variation.
    CObjectDivision* CreateSpellCard(const CSpellCardSetting& settings, u32 ownerWord) override;
};
