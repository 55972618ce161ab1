// COptionSelect: the battle option select after the character select; it
// hands the set-up with the chosen options to a loading screen.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/MenuScene.h"

#include <cstdint>

class COptionSelect : public CSceneResource {
    ORV_VALUE_CLASS(COptionSelect)

public:
    COptionSelect();
    COptionSelect(const COptionSelect& other);
    COptionSelect& operator=(const COptionSelect&) = delete;
    ~COptionSelect() override;

    i32 Release() override;
    // argument: a MenuSetupArgs* (its set-up owned from here on), or 0.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;
};
