// CRecordScene: the play record, a page of totals and one per character.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/MenuScene.h"

#include <cstdint>

class CRecordScene : public CSceneResource {
    ORV_VALUE_CLASS(CRecordScene)

public:
    CRecordScene();
    CRecordScene(const CRecordScene& other);
    CRecordScene& operator=(const CRecordScene&) = delete;
    ~CRecordScene() override;

    i32 Release() override;
    // argument: a MenuArgs*, or 0 for the defaults.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;
};
