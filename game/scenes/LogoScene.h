// CLogoScene: the studio logo on white with its voice, then the opening
// movie when the configuration shows movies, then the title.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"

#include <cstdint>

class CLogoScene : public CSceneResource {
    ORV_VALUE_CLASS(CLogoScene)

public:
    CLogoScene();
    CLogoScene(const CLogoScene& other);
    CLogoScene& operator=(const CLogoScene&) = delete;
    ~CLogoScene() override;

    i32 Release() override;
    // argument ignored.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;
};
