// CLoadingScene: the loading screen between the menus and a battle. Its
// loader thread runs the next scene's Load behind a random background and
// hands the scene over when it is ready.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"

#include <cstdint>

class CScene;

// What the loading screens take: the scene to load next (theirs from the
// call on), the argument of its Load, and whether the screen runs as the
// network scene's child.
struct LoadingArgs {
    CScene* next = nullptr;
    intptr_t parameter = 0;
    u32 network = 0;
};

class CLoadingScene : public CSceneResource {
    ORV_VALUE_CLASS(CLoadingScene)

public:
    CLoadingScene();
    CLoadingScene(const CLoadingScene& other);
    CLoadingScene& operator=(const CLoadingScene&) = delete;
    ~CLoadingScene() override;

    i32 Release() override;
    // argument: a LoadingArgs* (its next scene owned from here on), or 0.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;
};
