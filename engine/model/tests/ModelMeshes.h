// Meshes built in code that the model tests and the fuzz seeds write with
// CWriteMesh: the rigid and skinned models of the golden files, and a mesh
// that uses every part of the format.
#pragma once

#include "engine/graphics/Shader.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/ModelMaterial.h"
#include "engine/model/ModelObject.h"
#include "engine/model/tests/ModelGolden.h"

#include <initializer_list>

namespace model_test {

inline CModelObject* NewObject(const char* name, u32 format, u32 vertexCount)
{
    auto* object = new CModelObject();
    object->SetName(name);
    CModelVertexList& v = *object->GetVertexList();
    v.Resize(vertexCount);
    v.FormatFlags = format;
    v.Stride = CModelVertexFormat::GetStride(format);
    return object;
}

inline void SetIndices(CModelIndexList& list, std::initializer_list<u32> indices, std::initializer_list<CPoint2> ranges)
{
    list.Indices.SetArray(indices.begin(), u32(indices.size()));
    list.Ranges.SetArray(ranges.begin(), u32(ranges.size()));
}

inline void BuildRigid(CMesh& mesh)
{
    CModelObject* box = NewObject("Box", 0x5, 3);
    CModelVertexList& v = *box->GetVertexList();
    v.GetAt(1)->Position.Set(1, 0, 0);
    v.GetAt(1)->TexCoord0[0] = 1;
    v.GetAt(2)->Position.Set(0, 1, 0);
    v.GetAt(2)->TexCoord0[1] = 1;
    SetIndices(*box->GetIndexList(), {0, 1, 2}, {{0, 3}});
    auto* material = new CModelMaterial();
    material->SetName("Mat");
    material->Diffuse = CVector4(1, 0.5f, 0.25f, 1);
    material->Emissive = CVector4(0.125f, 0, 0, 1);
    material->BlendMode = 2;
    material->Values[0] = 7;
    material->Values[1] = 9;
    material->Power = 8;
    const CResourceBase wood("Wood.bmp");
    material->AddTexture(&wood);
    void* slot = material;
    box->GetMaterialList()->Add(&slot);
    CModelCollisionGrid& grid = *box->GetCollisionGrid();
    grid.Center.Set(0.5f, 0.5f, 0);
    grid.HalfSize.Set(0.5f, 0.5f, 0.5f);
    grid.CellsPerUnit.Set(1, 1, 1);
    grid.CellSize.Set(1, 1, 1);
    grid.CountX = grid.CountY = grid.CountZ = 1;
    grid.Cells = new CResourceList();
    auto* cell = new CModelBlock(CBox({0, 0, -0.5f}, {1, 1, 0.5f}), box->GetVertexList(), box->GetIndexList(),
        box->GetMaterialList());
    cell->SetName("Cell");
    SetIndices(*cell->GetIndexList(), {0, 1, 2}, {{0, 3}});
    AppendElement(grid.Cells, cell);
    AppendElement(mesh.GetModelObjects(), box);
}

inline CModelBone* NewBone(CMesh& mesh, const char* name, const char* parent)
{
    auto* bone = new CModelBone();
    bone->SetName(name);
    bone->SetParentName(parent);
    AppendElement(mesh.GetBones(), bone);
    return bone;
}

inline void BuildSkinned(CMesh& mesh)
{
    CModelObject* body = NewObject("Body", 0x3, 2);
    CModelVertexList& v = *body->GetVertexList();
    v.GetAt(0)->Normal.Set(0, 1, 0);
    v.GetAt(1)->Position.Set(0, 2, 0);
    v.GetAt(1)->Normal.Set(1, 0, 0);
    SetIndices(*body->GetIndexList(), {0, 1, 1}, {{0, 3}});
    AppendElement(mesh.GetModelObjects(), body);

    NewBone(mesh, "root", nullptr);
    CModelBone* hip = NewBone(mesh, "Hip", "root");
    hip->FrameMatrix.m[3][1] = -1;
    const CBoneInfluence hipInfluences[] = {{0, 0, 1.0f}, {0, 1, 0.5f}};
    hip->Influences.SetArray(hipInfluences, 2);
    CModelBone* knee = NewBone(mesh, "Knee", "Hip");
    knee->Transform.m[3][1] = 2;
    knee->FrameMatrix.m[3][1] = -2;
    const CBoneInfluence kneeInfluence{0, 1, 0.5f};
    knee->Influences.SetArray(&kneeInfluence, 1);
    knee->LinkValues[0] = 1;
    knee->LinkValues[1] = 0x3F000000;   // 0.5f
    knee->LinkValues[2] = 0x3E800000;   // 0.25f

    auto* legs = new CPointerList();
    legs->SetName("Legs");
    for (CModelBone* bone : {hip, knee}) {
        void* slot = static_cast<CValueBase*>(bone);
        legs->Add(&slot);
    }
    AppendElement(mesh.GetBoneGroups(), legs);

    auto* walk = new CModelAnimation();
    walk->SetName("Walk");
    walk->Length = 4800;
    auto* keys = new CModelBoneAnimation();
    keys->Bone = knee;
    keys->BoneName = ModelCopyText("Knee");
    keys->MakeRotation()->AddKey(0, CQuaternion(0, 0, 0, 1));
    keys->MakeRotation()->AddKey(4800, CQuaternion(0, 0, kHalfRoot2, kHalfRoot2), 0.5f);
    keys->MakePosition()->AddKey(2400, CVector3(0, 2, 0.5f));
    void* slot = keys;
    walk->Tracks.Add(&slot);
    // A key set without a bone is left out of the file.
    auto* orphan = new CModelBoneAnimation();
    orphan->BoneName = ModelCopyText("Tail");
    orphan->MakePosition()->AddKey(0, CVector3(9, 9, 9));
    slot = orphan;
    walk->Tracks.Add(&slot);
    AppendElement(mesh.GetAnimations(), walk);
}

inline CModelObject* NewFilledObject(const char* name, u32 format, u32 vertexCount)
{
    CModelObject* object = NewObject(name, format, vertexCount);
    CModelVertexList& v = *object->GetVertexList();
    for (u32 i = 0; i < vertexCount; ++i) {
        CModelVertex& x = *v.GetAt(i);
        const f32 f = f32(i);
        x.Position.Set(f, f + 0.5f, -f);
        x.Normal.Set(0, 0, 1);
        for (u32 n = 0; n < 4; ++n) {
            x.TexCoord(n)[0] = f / 8 + f32(n);
            x.TexCoord(n)[1] = 1 - f / 8;
        }
        x.Color = CVector4(0.25f, 0.5f, 0.75f, 1);
        x.Tangent.Set(1, 0, 0);
        x.Binormal.Set(0, 1, 0);
    }
    return object;
}

// A mesh that uses every part of the format.
inline void BuildFull(CMesh& mesh)
{
    CModelObject* hull = NewFilledObject("Hull", 0x3EF, 4);   // every field but the skin data
    const u32 indices[] = {0, 1, 2, 2, 1, 3};
    hull->GetIndexList()->Indices.SetArray(indices, 6);
    const CPoint2 ranges[] = {{0, 3}, {3, 3}};
    hull->GetIndexList()->Ranges.SetArray(ranges, 2);
    auto* painted = new CModelMaterial();
    painted->SetName("Paint");
    const CResourceBase a("Textures\\Hull.dds"), b("Decal.dds");
    painted->AddTexture(&a);
    painted->AddTexture(&b);
    painted->Shader = new CShader();
    painted->Shader->SetName("Toon.shd");
    painted->ShaderName = ModelCopyText("Outline");
    auto* unnamed = new CModelMaterial();   // written as "Material_2"
    unnamed->BlendMode = 0;
    for (CModelMaterial* m : {painted, unnamed}) {
        void* slot = m;
        hull->GetMaterialList()->Add(&slot);
    }
    CModelCollisionGrid& grid = *hull->GetCollisionGrid();
    grid.Center.Set(1, 1, 0);
    grid.HalfSize.Set(1, 1, 1);
    grid.CellsPerUnit.Set(1, 0.5f, 0.5f);
    grid.CellSize.Set(1, 2, 2);
    grid.CountX = 2;
    grid.CountY = grid.CountZ = 1;
    grid.Cells = new CResourceList();
    for (u32 c = 0; c < 2; ++c) {
        auto* cell = new CModelBlock(CBox({f32(c), 0, -1}, {f32(c + 1), 2, 1}), hull->GetVertexList(),
            hull->GetIndexList(), hull->GetMaterialList());
        cell->GetIndexList()->Indices.SetArray(indices + 3 * c, 3);
        const CPoint2 range{0, 3};
        cell->GetIndexList()->Ranges.SetArray(&range, 1);
        AppendElement(grid.Cells, cell);
    }
    for (f32 value : {0.5f, 0.25f}) {
        auto* low = new CLowModelObject();
        low->SetName(value == 0.5f ? "Half" : "Quarter");
        low->SetValue(value);
        low->GetVertexList()->Resize(3);
        low->GetVertexList()->FormatFlags = 0x1;
        low->GetVertexList()->Stride = 12;
        low->GetVertexList()->GetAt(2)->Position.Set(0, value, 0);
        low->GetIndexList()->Indices.SetArray(indices, 3);
        AppendElement(hull->GetLowModels(), low);
    }
    AppendElement(mesh.GetModelObjects(), hull);
    AppendElement(mesh.GetModelObjects(), NewFilledObject("Empty", 0x1, 0));

    NewBone(mesh, "root", nullptr);
    CModelBone* mast = NewBone(mesh, "Mast", "root");
    mast->Transform.m[3][2] = 4;
    mast->LinkValues[0] = 2;

    auto* sway = new CModelAnimation();
    sway->SetName("Sway");
    sway->Length = 9600;
    auto* keys = new CModelBoneAnimation();
    keys->Bone = mast;
    keys->BoneName = ModelCopyText("Mast");
    keys->MakeScaling()->AddKey(0, CVector3(1, 1, 1));
    keys->MakeScaling()->AddKey(9600, CVector3(2, 1, 1), 0.25f);
    void* slot = keys;
    sway->Tracks.Add(&slot);
    AppendElement(mesh.GetAnimations(), sway);
}

}  // namespace model_test
