// CCharaSelect: the character select of free battle, training and network
// battle: four cards, one cursor, then the battle option select.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/MenuScene.h"

#include <cstdint>

class CCharaSelect : public CSceneResource {
    ORV_VALUE_CLASS(CCharaSelect)

public:
    CCharaSelect();
    CCharaSelect(const CCharaSelect& other);
    CCharaSelect& operator=(const CCharaSelect&) = delete;
    ~CCharaSelect() override;

    i32 Release() override;
    // argument: a MenuSetupArgs* (its set-up owned from here on), or 0.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;
};
