// Drawing particles: the draw walk of a chain, billboards, sprites, models
// and trails.
#include "engine/core/FloatMath.h"
#include "engine/core/Quaternion.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Texture.h"
#include "engine/model/PrimitiveList.h"
#include "engine/model/RenderList.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectModel.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/Particle.h"

#include <cmath>

namespace {

// Particles fainter than this are not drawn.
constexpr f32 kMinAlpha = 0.001f;

// The inverse of the last view matrix asked for: every camera-facing
// particle of a frame turns by the same one.
const CMatrix& InverseView(const CMatrix& view)
{
    static CMatrix lastView(CMatrix::kUnset), inverse(CMatrix::kUnset);
    static bool made = false;
    if (!made || lastView != view) {
        lastView = view;
        inverse = view.GetInverse();
        made = true;
    }
    return inverse;
}

}  // namespace

void CParticle::SubmitChain(CParticle* head, CObjectBase* owner, CRenderList* renderList)
{
    if (!head || !head->m_controller || !head->m_definition) return;
    if (head->m_definition->GetResourceKind() == kEffectKindSound) return;
    const bool sorted = head->m_definition->GetNodeSettings().sorted != 0;
    auto& stack = head->m_controller->ParticleStack();
    const size_t base = stack.size();
    PushStep(stack, {head, owner});
    while (stack.size() > base) {
        const CEffectController::ParticleStep step = stack.back();
        stack.pop_back();
        CParticle* p = step.particle;
        // Particles are in birth order: one not yet born ends its chain.
        if (!p->m_node || p->m_birth > p->m_node->GetTime()) continue;
        if (p->m_next) PushStep(stack, {p->m_next, step.owner});
        if (p->m_nested) {
            p->m_nested->Draw(renderList);
        } else if (p->m_color.w > kMinAlpha) {
            if (sorted && renderList) {
                renderList->Add(p, 0);
                p->DrawTrails(renderList);
            } else {
                p->Draw(0u);
                if (sorted) p->DrawTrails(nullptr);
            }
        }
        if (p->m_linked) PushStep(stack, {p->m_linked, p});
    }
}

void CParticle::DrawTrails(CRenderList* renderList)
{
    if (!m_trails) return;
    for (u32 i = 0; i < m_trails->GetCount(); ++i) {
        auto* list = static_cast<CPrimitiveList*>(static_cast<CValueBase*>(m_trails->GetAt(i)));
        if (list) list->Draw(renderList);
    }
}

CMatrix CParticle::Billboard() const
{
    CMatrix b;
    const CGraphicDevice* device = GetGraphicDevice();
    const CCamera* camera = device ? device->GetCurrentCamera() : nullptr;
    if (!camera || !m_definition) return b;
    const EffectNodeSettings& ns = m_definition->GetNodeSettings();
    switch (ns.billboard) {
    case 0:
        return b;
    case 1:
        return InverseView(*camera->GetViewMatrix());
    case 2:
        return camera->GetOrientation();
    case 3: {
        CVector3 e;
        camera->GetViewDirection(&e);
        const f32 halfTurn = 3.1415927f / 2.0f;
        if (e.x > 0.0f) b.RotationY((-AtanF(e.z / e.x) + halfTurn) * kRadToDeg);
        else if (e.x < 0.0f) b.RotationY((-AtanF(e.z / e.x) - halfTurn) * kRadToDeg);
        return b;
    }
    default: {
        if (!m_owner) return b;
        CVector3 a;
        ns.axisWeights.TransformNormalInto(m_owner->GetWorldMatrix()->RotationPart(), &a);
        CMatrix tilt;
        tilt.RotationX(90.0f * a.z);
        CVector3 facing;
        CVector3(0.0f, 0.0f, -1.0f).TransformNormalInto(tilt, &facing);
        CVector3 v;
        camera->GetViewDirection(&v);
        v = -v;
        CVector3 weights = a;
        weights.Abs();
        v = v - v.Modulate(weights);
        // Looking straight along the locked axes leaves nothing to face.
        if (v.LengthSquared() == 0.0f) return b;
        CQuaternion turn;
        turn.FromArc(&v, &facing);
        turn.ToMatrix(&b);
        return b;
    }
    }
}

CMatrix CParticle::MakeDrawMatrix() const
{
    CMatrix turned = m_world;
    turned.m[3][0] = turned.m[3][1] = turned.m[3][2] = 0.0f;
    turned = turned * Billboard();
    for (int c = 0; c < 4; ++c) turned.m[3][c] = m_world.m[3][c];
    return turned;
}

i32 CParticle::Draw(u32)
{
    if (!m_definition || !m_node) return 1;
    CTexture* texture = m_definition->GetTexture();
    CMesh* model = m_definition->GetModel();
    if (!texture && !model) return 1;
    CGraphicDevice* device = GetGraphicDevice();
    if (!device) return 0;
    const EffectNodeSettings& ns = m_definition->GetNodeSettings();
    device->SetBlendMode(m_shown);
    const u32 fog = device->GetRenderStates()->fogEnable;
    const bool fogOff = ns.flags & kPlaceFogOff;
    if (fogOff) device->SetFogEnable(0);
    m_drawMatrix = MakeDrawMatrix();
    if (!ns.sorted) DrawTrails(nullptr);
    i32 drawn;
    if (texture) drawn = texture->DrawQuad3D(&m_drawMatrix, &m_node->GetRect(), m_color.ToARGB());
    else drawn = effect_model::Draw(model, m_drawMatrix, m_color, m_animationController, m_node->GetUV());
    if (fogOff) device->SetFogEnable(fog);
    return drawn;
}
