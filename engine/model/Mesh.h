// CMesh, the data of a loaded model: its model objects, its bone hierarchy
// (bone 0 is always the implicit "root"), its named bone groups and its
// animation sets, as the engine model file holds them. The model file
// reader fills it (AnalysMesh.h) and the writer stores it (WriteMesh.h).
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"

class CModelObject;
class CModelBone;
class CModelAnimation;

class CMesh : public CResourceBase {
    ORV_VALUE_CLASS(CMesh)

public:
    // Four empty owning lists; resource type 2.
    CMesh();
    // The name and every element cloned; the copy's bones, bone groups and
    // animations point at the copy's own bones.
    CMesh(const CMesh& other);
    CMesh& operator=(const CMesh&) = delete;
    ~CMesh() override;

    // Deletes the four lists with their elements (each becomes null), then
    // the resource release.
    i32 Release() override;

    // Writes the mesh as an engine model file; 0 for a null path or when
    // the file cannot be written.
    i32 Write(const char* path) const;

    // Bone index's BoneSphere from the vertices its influences name:
    // centre = their mean position, radius = the largest distance from it.
    // Influences naming no object or vertex are left out; a bone with none
    // left gets its Position and radius 0. 0 for an index past the bones.
    i32 ComputeBoneSphere(u32 index);

    // Trades the four lists with other's (a reader's finished mesh).
    void SwapContents(CMesh& other);

    CResourceList* GetModelObjects() const { return m_objects; }
    CResourceList* GetBones() const { return m_bones; }
    // Each group a named CPointerList of CModelBone pointers (not owned).
    CResourceList* GetBoneGroups() const { return m_boneGroups; }
    CResourceList* GetAnimations() const { return m_animations; }

    u32 GetModelObjectCount() const { return m_objects ? m_objects->GetCount() : 0; }
    u32 GetBoneCount() const { return m_bones ? m_bones->GetCount() : 0; }
    CModelObject* GetModelObject(u32 i) const;
    CModelBone* GetBone(u32 i) const;
    CModelAnimation* GetAnimation(u32 i) const;

private:
    CResourceList* m_objects = nullptr;
    CResourceList* m_bones = nullptr;
    CResourceList* m_boneGroups = nullptr;
    CResourceList* m_animations = nullptr;
};

// The element of an owning resource list as the class it is known to be.
template <class T>
T* ListElement(const CResourceList* list, u32 i)
{
    if (!list || i >= list->GetCount()) return nullptr;
    return static_cast<T*>(static_cast<CValueBase*>(list->GetAt(i)));
}

// Appends object to list; 0 when the list cannot grow (object not added).
i32 AppendElement(CResourceList* list, CValueBase* object);
