// CBeginLoading: the first scene. Its loader thread runs the global resource load and
// then the next scene's Load (the logo); a button after the prompt hands
// the loaded scene over.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/LoadingScene.h"

#include <cstdint>

class CBeginLoading : public CSceneResource {
    ORV_VALUE_CLASS(CBeginLoading)

public:
    CBeginLoading();
    CBeginLoading(const CBeginLoading& other);
    CBeginLoading& operator=(const CBeginLoading&) = delete;
    ~CBeginLoading() override;

    i32 Release() override;
    // argument: a LoadingArgs* (its next scene owned from here on), or 0.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;
};
