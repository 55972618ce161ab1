#include "engine/model/MeshResources.h"

#include "engine/core/Memory.h"

CXMesh::CXMesh(const CXMesh& other) : CResourceBase(other), Mesh(other.Mesh) {}

CXMesh::~CXMesh() { CXMesh::Release(); }

i32 CXMesh::Release()
{
    Mesh.Reset();
    AlignedFree(Data);
    Data = nullptr;
    for (u32 i = 0; Objects && i < ObjectCount; ++i) delete Objects[i];
    AlignedFree(Objects);
    Objects = nullptr;
    ObjectCount = 0;
    return CResourceBase::Release();
}

CCubeTexture::CCubeTexture() { SetType(1); }

CCubeTexture::~CCubeTexture() { CCubeTexture::Release(); }

i32 CCubeTexture::Release()
{
    for (auto& face : Faces) face.Reset();
    Cube.Reset();
    return CResourceBase::Release();
}
