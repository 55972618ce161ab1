// CEffectContainer: an effect definition, read from an effect file (.efc):
//
//   u32 N, N bytes    container name with its NUL (N = 0: no name)
//   u32 C             object count, then C effect object records
//
// The resource controller owns the loaded definitions in its effect list,
// finds them by name and binds them to its media lists.
//
// This is the seam the effect playback builds on. What is held here is the
// container's name: the effect objects (nodes with their tracks, settings
// blocks and trace entries), binding them and playing them belong to the
// playback, and until their records can be read a file that holds objects
// is refused.
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"

class CEffectContainer : public CResourceBase {
    ORV_VALUE_CLASS(CEffectContainer)

public:
    static constexpr u8 kResourceType = 8;

    CEffectContainer();
    CEffectContainer(const CEffectContainer& other);
    CEffectContainer& operator=(const CEffectContainer&) = delete;
    ~CEffectContainer() override;

    // Reads path (null: the container's name + ".efc"); the stored name
    // replaces the container's. 1, or 0 when the file cannot be read or is
    // refused, the container then unchanged.
    u32 Load(const char* path);
    // Writes the file at path (null: the name + ".efc"), replacing it whole.
    // 1, or 0 when it cannot.
    u32 Save(const char* path) const;
    // Looks up every object's resource in the controller's lists. 1.
    u32 BindResources(CResourceList* models, CResourceList* textures, CResourceList* sounds, CResourceList* effects);
};
