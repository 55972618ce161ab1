// A two-bone arm made in code and passed through the model file writer:
// "Upper" at the root, "Lower" jointed at x = 1 (frame matrix moves the
// joint to the origin). Vertices along x: (0,0,0) and (0.5,0,0) on Upper,
// (2,0,0) on Lower, (1.5,0,0) half on each. Animations:
//   0 "Bend"       Lower turns from none to 90 degrees about z (keys 0, 9600)
//   1 "Straighten" Lower unturned (one key) and lifted to (1, 1, 0)
//   2 "Lift"       Upper moves from (0,0,0) to (0,2,0) (keys 0, 4800)
#pragma once

#include "engine/model/AnalysMesh.h"
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ModelMeshes.h"

#include <memory>
#include <string>

namespace model_test {

constexpr f32 kSin45 = 0.70710678f;

struct Destroyer {
    void operator()(CAnimationController* c) const { c->Destroy(); }
};
using Controller = std::unique_ptr<CAnimationController, Destroyer>;

inline CModelBoneAnimation* AddKeys(CModelAnimation& animation, const char* bone)
{
    auto* keys = new CModelBoneAnimation();
    keys->BoneName = ModelCopyText(bone);
    void* slot = keys;
    animation.Tracks.Add(&slot);
    return keys;
}

inline CModelAnimation* AddAnimation(CMesh& mesh, const char* name)
{
    auto* animation = new CModelAnimation();
    animation->SetName(name);
    AppendElement(mesh.GetAnimations(), animation);
    return animation;
}

// The arm's object and bones, without animations.
inline void BuildArm(CMesh& mesh)
{
    auto* arm = new CModelObject();
    arm->SetName("Arm");
    CModelVertexList& v = *arm->GetVertexList();
    v.Resize(4);
    v.FormatFlags = kVertexPosition | kVertexNormal;
    v.Stride = 24;
    const f32 xs[4] = {0.0f, 0.5f, 2.0f, 1.5f};
    for (u32 i = 0; i < 4; ++i) {
        v.GetAt(i)->Position.Set(xs[i], 0, 0);
        v.GetAt(i)->Normal.Set(0, 1, 0);
    }
    const u32 indices[6] = {0, 1, 3, 1, 2, 3};
    arm->GetIndexList()->Indices.SetArray(indices, 6);
    const CPoint2 range{0, 6};
    arm->GetIndexList()->Ranges.SetArray(&range, 1);
    void* material = new CModelMaterial();
    arm->GetMaterialList()->Add(&material);
    AppendElement(mesh.GetModelObjects(), arm);

    NewBone(mesh, "root", nullptr);
    CModelBone* upper = NewBone(mesh, "Upper", "root");
    CModelBone* lower = NewBone(mesh, "Lower", "Upper");
    lower->Transform.m[3][0] = 1;
    lower->FrameMatrix.m[3][0] = -1;
    for (const CBoneInfluence& i : {CBoneInfluence{0, 0, 1.0f}, CBoneInfluence{0, 1, 1.0f},
             CBoneInfluence{0, 3, 0.5f}}) {
        upper->Influences.Add(&i);
    }
    for (const CBoneInfluence& i : {CBoneInfluence{0, 2, 1.0f}, CBoneInfluence{0, 3, 0.5f}}) {
        lower->Influences.Add(&i);
    }
}

inline std::string ArmModel()
{
    CMesh mesh;
    BuildArm(mesh);
    CModelBoneAnimation* bend = AddKeys(*AddAnimation(mesh, "Bend"), "Lower");
    bend->MakeRotation()->AddKey(0, CQuaternion(0, 0, 0, 1));
    bend->MakeRotation()->AddKey(9600, CQuaternion(0, 0, kSin45, kSin45));
    CModelBoneAnimation* straighten = AddKeys(*AddAnimation(mesh, "Straighten"), "Lower");
    straighten->MakeRotation()->AddKey(0, CQuaternion(0, 0, 0, 1));
    straighten->MakePosition()->AddKey(0, CVector3(1, 1, 0));
    CModelBoneAnimation* lift = AddKeys(*AddAnimation(mesh, "Lift"), "Upper");
    lift->MakePosition()->AddKey(0, CVector3(0, 0, 0));
    lift->MakePosition()->AddKey(4800, CVector3(0, 2, 0));
    for (u32 i = 0; i < 3; ++i) mesh.GetAnimation(i)->RebindBones(mesh.GetBones());
    return CWriteMesh::Build(mesh);
}

// The bytes read into mesh without device buffers. 1 or 0.
inline i32 ReadInto(const std::string& bytes, CMesh& mesh)
{
    CAnalysMesh reader;
    if (!reader.LoadFromMemory(bytes.data(), u32(bytes.size()))) return 0;
    return reader.ReadChunks(&mesh);
}

}  // namespace model_test
