// CGameOption: the options screen; its values go back into the saved
// configuration when it leaves.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/MenuScene.h"

#include <cstdint>

class CGameOption : public CSceneResource {
    ORV_VALUE_CLASS(CGameOption)

public:
    CGameOption();
    CGameOption(const CGameOption& other);
    CGameOption& operator=(const CGameOption&) = delete;
    ~CGameOption() override;

    i32 Release() override;
    // argument: a MenuArgs*, or 0 for the defaults.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;
};
