// CMesh, a loaded model: its model objects, its bone hierarchy (bone 0 is
// always the implicit "root"), its named bone groups and its animation
// sets, as the engine model file holds them, with an animation controller
// of its own. The model file reader fills it (AnalysMesh.h) and the writer
// stores it (WriteMesh.h). Drawing objects share a mesh and each own a
// controller made by CreateAnimationController.
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"

class CAnalysMesh;
class CAnimationController;
class CMatrix;
class CModelObject;
class CModelBone;
class CModelAnimation;
class CqelPackFile;
class CShader;
class CVector4;

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

    // Deletes the four lists with their elements (each becomes null) and
    // the controller, then the resource release.
    i32 Release() override;

    // Reads the model file at path (the mesh's name becomes the path), with
    // its device buffers, poses it in its bind pose and computes the bone
    // spheres. textures and shaders are the caller's caches (either may be
    // null); with a pack, textures load out of it. 0 for a null path,
    // without a device or for a file that cannot be read whole, with the
    // mesh as it was.
    i32 Load(const char* path, CResourceList* textures, CResourceList* shaders, CqelPackFile* pack);
    // The same from size bytes at data, under name.
    i32 LoadFromMemory(const void* data, const char* name, u32 size, CResourceList* textures,
        CResourceList* shaders, CqelPackFile* pack);

    // Draws every model object at world (null: where they are) tinted by
    // colour (null: as they are), posed by controller when one is given:
    // its palette goes to the default effect, or with more bones than the
    // effect's palette holds, or without an effect, to the device's world
    // matrices, and the objects are skinned in software. 1, or 0 at the
    // first object that fails (the later ones are not drawn).
    i32 Draw(const CMatrix* world, const CVector4* colour, CAnimationController* controller);
    // Draws without a controller.
    i32 DrawObjects(const CMatrix* world, const CVector4* colour);

    // A new controller for this mesh's bones and animations; null when it
    // cannot be allocated. The caller frees it with Destroy, and the mesh
    // must outlive it.
    CAnimationController* CreateAnimationController() const;
    // The mesh's own controller, made when it is loaded or copied.
    CAnimationController* GetAnimationController() const { return m_controller; }

    // Writes the mesh as an engine model file; 0 for a null path or when
    // the file cannot be written.
    i32 Write(const char* path) const;

    // Bone index's BoneSphere from the vertices its influences name:
    // centre = their mean position, radius = the largest distance from it.
    // Influences naming no object or vertex are left out; a bone with none
    // left gets its Position and radius 0. 0 for an index past the bones.
    i32 ComputeBoneSphere(u32 index);

    // Trades the four lists and the controller with other's (a reader's
    // finished mesh): a controller stays with the lists it points at.
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
    // The default effect while its palette holds every bone; else null.
    CShader* ShaderForBones() const;
    // Reads the loaded reader into this mesh and poses it.
    i32 Take(CAnalysMesh& reader, const char* name, CResourceList* textures, CResourceList* shaders,
        CqelPackFile* pack);

    CResourceList* m_objects = nullptr;
    CResourceList* m_bones = nullptr;
    CResourceList* m_boneGroups = nullptr;
    CResourceList* m_animations = nullptr;
    CAnimationController* m_controller = nullptr;
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
