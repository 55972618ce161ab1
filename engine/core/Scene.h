// CScene, the base of every scene: menus, lobby, title, battle.
// It defines the scene's per-frame operations and provides the one that is
// the same everywhere, the sound step.
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/Types.h"

#include <cstdint>

class CScene : public CResourceBase {
    ORV_ABSTRACT_CLASS(CScene)

public:
    CScene() = default;
    CScene(const CScene&) = default;

    // Virtual operations appended after CResourceBase's, in their fixed order.

    // Loads the scene. The argument is a parameter block pointer for the
    // scenes that take one (hence pointer-sized), 0 otherwise.
    virtual i32 Initialize(intptr_t argument) = 0;
    // Once a frame; the application passes 0.
    virtual i32 Update(u32 argument) = 0;
    // When inactive differs from *lastInactive: mutes (inactive non-zero) or
    // restores every player of the sound list, in list order, and stores
    // inactive in *lastInactive. Then, every call, services every player.
    // Without a registered sound list only the flag is stored. A null
    // lastInactive skips the mute step. Returns 1.
    virtual i32 SoundStep(u32 inactive, u32* lastInactive);
    // The object messages sent to id 0 when the scene is the registry's
    // handler; the parameter usually points to data.
    virtual u32 OnMessage(u32 message, intptr_t parameter) = 0;
    virtual i32 Draw(u32 argument) = 0;
};
