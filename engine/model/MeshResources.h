// The two resource classes kept beside CMesh: CXMesh, a device mesh with
// its attribute data and sub-objects, and CCubeTexture, a cube texture with
// its six face surfaces. Nothing in the engine fills either yet; they hold
// and give back their references, and copies share them.
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/Types.h"
#include "host/render/Render.h"

class CXMesh : public CResourceBase {
    ORV_VALUE_CLASS(CXMesh)

public:
    CXMesh() = default;
    // Shares the device mesh (one more reference); the arrays stay with the
    // source, which owns them.
    CXMesh(const CXMesh& other);
    CXMesh& operator=(const CXMesh&) = delete;
    ~CXMesh() override;

    // Releases the device mesh, frees Data, deletes every object of Objects
    // and frees the array, then the resource release.
    i32 Release() override;

    host::render::Ref<host::render::Object> Mesh;
    void* Data = nullptr;             // AlignedAlloc'd, owned
    CValueBase** Objects = nullptr;   // AlignedAlloc'd array of owned objects
    u32 ObjectCount = 0;
};

class CCubeTexture : public CResourceBase {
    ORV_VALUE_CLASS(CCubeTexture)

public:
    static constexpr u32 kFaces = 6;

    // Empty; resource type 1.
    CCubeTexture();
    // Everything copied; the cube texture and each present face gain a
    // reference.
    CCubeTexture(const CCubeTexture& other) = default;
    CCubeTexture& operator=(const CCubeTexture&) = delete;
    ~CCubeTexture() override;

    // Releases each present face (0 to 5), then the cube texture, then the
    // resource release.
    i32 Release() override;

    host::render::Ref<host::render::Texture> Cube;
    host::render::Ref<host::render::Surface> Faces[kFaces];
    u32 Values[4] = {};
};
