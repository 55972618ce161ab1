#include "engine/model/Mesh.h"

#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shader.h"
#include "engine/model/AnalysMesh.h"
#include "engine/model/AnimationController.h"
#include "engine/model/ModelBone.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"

#include <utility>

i32 AppendElement(CResourceList* list, CValueBase* object)
{
    if (!list || !object) return 0;
    void* slot = object;
    return list->Add(&slot);
}

namespace {

CResourceList* CopyList(const CResourceList* list) { return list ? new CResourceList(*list) : nullptr; }

}  // namespace

CMesh::CMesh()
{
    SetType(2);
    m_objects = new CResourceList();
    m_bones = new CResourceList();
    m_boneGroups = new CResourceList();
    m_animations = new CResourceList();
}

CMesh::CMesh(const CMesh& other)
    : CResourceBase(other),
      m_objects(CopyList(other.m_objects)),
      m_bones(CopyList(other.m_bones)),
      m_boneGroups(CopyList(other.m_boneGroups)),
      m_animations(CopyList(other.m_animations))
{
    SetType(2);
    LinkBoneHierarchy(m_bones);
    const CModelBoneIndex index(m_bones);
    for (u32 i = 0; m_animations && i < m_animations->GetCount(); ++i) {
        if (CModelAnimation* animation = GetAnimation(i)) animation->RebindBones(m_bones, index);
    }
    // The groups' pointers are the source's bones: find the copy's by name.
    for (u32 g = 0; m_boneGroups && g < m_boneGroups->GetCount(); ++g) {
        auto* group = ListElement<CPointerList>(m_boneGroups, g);
        for (u32 i = 0; group && i < group->GetCount(); ++i) {
            auto* old = static_cast<CModelBone*>(static_cast<CValueBase*>(group->GetAt(i)));
            CResourceBase* bone = old ? index.FindBone(m_bones, old->GetName()) : nullptr;
            group->GetData()[i] = static_cast<CValueBase*>(bone);
        }
    }
    m_controller = CreateAnimationController();
}

CMesh::~CMesh() { CMesh::Release(); }

i32 CMesh::Release()
{
    // Groups and animations point at bones: they go first.
    delete m_boneGroups;
    delete m_animations;
    delete m_objects;
    delete m_bones;
    m_boneGroups = m_animations = m_objects = m_bones = nullptr;
    if (m_controller) m_controller->Destroy();
    m_controller = nullptr;
    return CResourceBase::Release();
}

i32 CMesh::Write(const char* path) const
{
    if (!path) return 0;
    CWriteMesh writer;
    return writer.Write(this, path);
}

CModelObject* CMesh::GetModelObject(u32 i) const { return ListElement<CModelObject>(m_objects, i); }
CModelBone* CMesh::GetBone(u32 i) const { return ListElement<CModelBone>(m_bones, i); }
CModelAnimation* CMesh::GetAnimation(u32 i) const { return ListElement<CModelAnimation>(m_animations, i); }

i32 CMesh::ComputeBoneSphere(u32 index)
{
    CModelBone* bone = GetBone(index);
    if (!bone) return 0;
    // The positions the influences name, skipping those that name nothing.
    auto position = [this](const CBoneInfluence& influence) -> const CVector3* {
        CModelObject* object = GetModelObject(influence.objectIndex);
        CModelVertexList* vertices = object ? object->GetVertexList() : nullptr;
        const CModelVertex* vertex = vertices ? vertices->GetAt(influence.vertexIndex) : nullptr;
        return vertex ? &vertex->Position : nullptr;
    };
    const CList<CBoneInfluence>& influences = bone->Influences;
    CVector3 sum;
    u32 used = 0;
    for (u32 i = 0; i < influences.GetCount(); ++i) {
        if (const CVector3* p = position(*influences.GetAt(i))) {
            sum += *p;
            ++used;
        }
    }
    if (used == 0) {
        bone->BoneSphere.centre = bone->Position;
        bone->BoneSphere.radius = 0.0f;
        return 1;
    }
    const CVector3 centre(sum.x / f32(used), sum.y / f32(used), sum.z / f32(used));
    f32 radius = 0.0f;
    for (u32 i = 0; i < influences.GetCount(); ++i) {
        if (const CVector3* p = position(*influences.GetAt(i))) {
            const f32 d = (*p - centre).Length();
            if (d > radius) radius = d;
        }
    }
    bone->BoneSphere.centre = centre;
    bone->BoneSphere.radius = radius;
    return 1;
}

void CMesh::SwapContents(CMesh& other)
{
    std::swap(m_objects, other.m_objects);
    std::swap(m_bones, other.m_bones);
    std::swap(m_boneGroups, other.m_boneGroups);
    std::swap(m_animations, other.m_animations);
    std::swap(m_controller, other.m_controller);
}

// ------------------------------------------------------------ loading

i32 CMesh::Load(const char* path, CResourceList* textures, CResourceList* shaders, CqelPackFile* pack)
{
    if (!path || !GetGraphicDevice()) return 0;
    CAnalysMesh reader;
    if (!reader.LoadFromFile(path)) return 0;
    return Take(reader, path, textures, shaders, pack);
}

i32 CMesh::LoadFromMemory(const void* data, const char* name, u32 size, CResourceList* textures,
    CResourceList* shaders, CqelPackFile* pack)
{
    if (!data || !name || size == 0 || !GetGraphicDevice()) return 0;
    CAnalysMesh reader;
    if (!reader.LoadFromMemory(data, size)) return 0;
    return Take(reader, name, textures, shaders, pack);
}

i32 CMesh::Take(CAnalysMesh& reader, const char* name, CResourceList* textures, CResourceList* shaders,
    CqelPackFile* pack)
{
    if (!reader.ReadModel(this, name, textures, shaders, pack)) return 0;
    reader.Release();
    SetName(name);
    // The controller the old lists had went with them.
    if (m_controller) m_controller->Destroy();
    m_controller = CreateAnimationController();
    if (m_controller) m_controller->ResetModelPose();
    for (u32 i = 0; i < GetBoneCount(); ++i) ComputeBoneSphere(i);
    return 1;
}

CAnimationController* CMesh::CreateAnimationController() const
{
    return new CAnimationController(m_bones, m_animations);
}

// ------------------------------------------------------------ drawing

CShader* CMesh::ShaderForBones() const
{
    return GetBoneCount() <= CAnimationController::kShaderPaletteSize ? GetDefaultShader() : nullptr;
}

i32 CMesh::Draw(const CMatrix* world, const CVector4* colour, CAnimationController* controller)
{
    if (!controller) return DrawObjects(world, colour);
    // The palette goes to the default effect whatever the bone count (its array keeps the first 75); the
    // objects of a mesh past that draw without it.
    controller->UploadMatrices(GetDefaultShader());
    CShader* shader = ShaderForBones();
    for (u32 i = 0; i < GetModelObjectCount(); ++i) {
        CModelObject* object = GetModelObject(i);
        if (!object || !object->Draw(world, colour, controller, shader)) return 0;
    }
    return 1;
}

i32 CMesh::DrawObjects(const CMatrix* world, const CVector4* colour)
{
    CShader* shader = ShaderForBones();
    for (u32 i = 0; i < GetModelObjectCount(); ++i) {
        CModelObject* object = GetModelObject(i);
        if (!object || !object->Draw(world, colour, nullptr, 0, shader)) return 0;
    }
    return 1;
}
