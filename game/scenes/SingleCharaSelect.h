// CSingleCharaSelect: player 1's character, colour and orbs before the
// story, adventure or survival mode.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/MenuScene.h"

#include <cstdint>

class CSingleCharaSelect : public CSceneResource {
    ORV_VALUE_CLASS(CSingleCharaSelect)

public:
    CSingleCharaSelect();
    CSingleCharaSelect(const CSingleCharaSelect& other);
    CSingleCharaSelect& operator=(const CSingleCharaSelect&) = delete;
    ~CSingleCharaSelect() override;

    i32 Release() override;
    // argument: a MenuSetupArgs* (its set-up owned from here on), or 0.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;
};
