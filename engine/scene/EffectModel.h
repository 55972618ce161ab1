// What effects need of models and their animation: model particles draw a
// mesh posed by an animation controller of their own, and effects played on
// a bone frame read the frame's matrices. Kept in one place so that the
// rest of the effect code does not depend on how animation is built.
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"

class CAnimationController;
class CMesh;
struct CAnimationFrame;

namespace effect_model {

// A controller for mesh when it has bones and animations; null otherwise.
CAnimationController* CreateController(const CMesh* mesh);
void DestroyController(CAnimationController* controller);
// Switches to animation index, blending over blend seconds.
void SetAnimation(CAnimationController* controller, i32 index, f32 blend);
void Advance(CAnimationController* controller, f32 seconds);
// Sets every material's texture offset to uv (x, y), poses the controller
// (when there is one) under world and draws mesh with colour. 1 when drawn.
i32 Draw(CMesh* mesh, const CMatrix& world, const CVector4& colour, CAnimationController* controller,
    const CVector3& uv);
// The matrix that places an effect on frame: the frame's own matrix on its
// parent's combined one, as the controller's last UpdateMatrices posed it
// (the model's root placement and the bone's bends included). False (out
// untouched) without a frame.
bool FrameMatrix(const CAnimationFrame* frame, CMatrix* out);

}  // namespace effect_model
