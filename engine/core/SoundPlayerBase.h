// CSoundPlayerBase: what the scene base needs of a loaded sound, and the
// process-wide list of loaded sounds.
//
// CScene::SoundStep mutes, restores and services every sound of
// the global resource controller's sound list. Both the sound
// buffer (CSoundBuffer, engine/platform) and the resource controller
// (engine/scene) sit above the core, so the core sees them through this
// seam: CSoundBuffer derives from CSoundPlayerBase, and the resource
// controller registers its sound list here when it is created and clears it
// (null) when it goes away.
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"

class CSoundPlayerBase : public CResourceBase {
    ORV_ABSTRACT_CLASS(CSoundPlayerBase)

public:
    CSoundPlayerBase() = default;
    explicit CSoundPlayerBase(const char* name) : CResourceBase(name) {}
    CSoundPlayerBase(const CSoundPlayerBase&) = default;

    // Mutes every voice (mute non-zero) or gives each back its stored volume
    // (CSoundBuffer::SetMuteAll).
    virtual i32 SetMuteAll(u32 mute) = 0;
    // Per-frame service of every voice: fades, polled streaming, 3D
    // placement (CSoundBuffer::Update).
    virtual i32 Update() = 0;
};

// The sound list that scenes service: a list of CSoundPlayerBase objects, or
// null when no resource controller exists. Main thread only.
void SetSoundPlayerList(CResourceList* list);
CResourceList* GetSoundPlayerList();
