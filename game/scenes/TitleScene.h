// CTitleScene: the main menu of 11 items over the crowd effect and the
// title music; a decide builds the chosen mode's scene.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/MenuScene.h"

#include <cstdint>

// The title's block: what MenuArgs hands over, and the item the cursor
// starts on (0 Story .. 10 End).
struct TitleArgs : MenuArgs {
    u32 item = 0;
};

class CTitleScene : public CSceneResource {
    ORV_VALUE_CLASS(CTitleScene)

public:
    CTitleScene();
    CTitleScene(const CTitleScene& other);
    CTitleScene& operator=(const CTitleScene&) = delete;
    ~CTitleScene() override;

    i32 Release() override;
    // argument: a TitleArgs*, or 0 for the defaults.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;
};
