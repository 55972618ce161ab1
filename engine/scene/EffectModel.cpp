#include "engine/scene/EffectModel.h"

#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelMaterial.h"
#include "engine/model/ModelObject.h"

namespace effect_model {

namespace {

void SetTextureOffsets(CMesh* mesh, const CVector3& uv)
{
    for (u32 i = 0; i < mesh->GetModelObjectCount(); ++i) {
        CModelObject* object = mesh->GetModelObject(i);
        CMaterialList* materials = object ? object->GetMaterialList() : nullptr;
        for (u32 m = 0; materials && m < materials->GetCount(); ++m) {
            auto* material = static_cast<CModelMaterial*>(materials->GetAt(m));
            if (!material) continue;
            material->AddUV[0] = uv.x;
            material->AddUV[1] = uv.y;
        }
    }
}

}  // namespace

CAnimationController* CreateController(const CMesh* mesh)
{
    if (!mesh || mesh->GetBoneCount() == 0 || !mesh->GetAnimations() || mesh->GetAnimations()->GetCount() == 0)
        return nullptr;
    CAnimationController* controller = mesh->CreateAnimationController();
    if (controller) controller->ResetModelPose();
    return controller;
}

void DestroyController(CAnimationController* controller)
{
    if (controller) controller->Destroy();
}

void SetAnimation(CAnimationController* controller, i32 index, f32 blend)
{
    if (controller && index >= 0) controller->SetAnimationSimple(u32(index), blend, 0, 0);
}

void Advance(CAnimationController* controller, f32 seconds)
{
    if (controller) controller->AdvanceTime(seconds);
}

i32 Draw(CMesh* mesh, const CMatrix& world, const CVector4& colour, CAnimationController* controller,
    const CVector3& uv)
{
    if (!mesh) return 0;
    SetTextureOffsets(mesh, uv);
    if (controller) controller->UpdateMatrices(&world);
    return mesh->Draw(&world, &colour, controller);
}

bool FrameMatrix(const CAnimationFrame* frame, CMatrix* out)
{
    if (!frame || !out) return false;
    // The bone as the controller last posed it: its own matrix on its
    // parent's (row vectors: own x parent), under the root the model was
    // placed with, with whatever bends or swings the bone. The bone's
    // CombinedMatrix is a fixed turn of its bind pose, not a pose.
    *out = frame->WorldMatrix;
    return true;
}

}  // namespace effect_model
