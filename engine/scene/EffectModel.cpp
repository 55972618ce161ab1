#include "engine/scene/EffectModel.h"

#include "engine/graphics/GraphicDevice.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelMaterial.h"
#include "engine/model/ModelObject.h"

// Skinned animation comes with the animation controller; where the engine
// is built without it, model particles show their meshes in the rest pose
// and effects on bone frames stay where they were played.
#if __has_include("engine/model/AnimationController.h")
#include "engine/model/AnimationController.h"
#define ORV_EFFECT_ANIMATION 1
#else
#define ORV_EFFECT_ANIMATION 0
#endif

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

#if ORV_EFFECT_ANIMATION

bool HasAnimation() { return true; }

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
    const CMatrix* parent = frame->Parent ? frame->Parent->GetCombinedMatrix() : nullptr;
    *out = parent ? *parent * frame->LocalMatrix : frame->LocalMatrix;
    return true;
}

#else

bool HasAnimation() { return false; }
CAnimationController* CreateController(const CMesh*) { return nullptr; }
void DestroyController(CAnimationController*) {}
void SetAnimation(CAnimationController*, i32, f32) {}
void Advance(CAnimationController*, f32) {}

i32 Draw(CMesh* mesh, const CMatrix& world, const CVector4& colour, CAnimationController*, const CVector3& uv)
{
    if (!mesh) return 0;
    SetTextureOffsets(mesh, uv);
    i32 drawn = 1;
    for (u32 i = 0; i < mesh->GetModelObjectCount(); ++i) {
        CModelObject* object = mesh->GetModelObject(i);
        if (object && !object->Draw(&world, &colour, nullptr, 0, nullptr)) drawn = 0;
    }
    return drawn;
}

bool FrameMatrix(const CAnimationFrame*, CMatrix*) { return false; }

#endif

}  // namespace effect_model
