#include "engine/scene/Particle.h"

#include <cstring>

#include "engine/core/Random.h"
#include "engine/core/RandomRange.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/model/Mesh.h"
#include "engine/model/PrimitiveList.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectMath.h"
#include "engine/scene/EffectModel.h"
#include "engine/scene/EffectObject.h"

#include <algorithm>
#include <cmath>

namespace {

// Vertices of a trail: position, colour, one texture coordinate pair.
constexpr u32 kTrailStride = 24;
constexpr u32 kTrailFvf = 0x142;

// Stack walks over particle chains, pre-order: visit(particle, owner,
// stack) pushes what it wants walked after it.
template <class Visit>
void WalkParticles(CEffectController* controller, CParticle* head, CObjectBase* owner, Visit visit)
{
    auto& stack = controller->ParticleStack();
    const size_t base = stack.size();
    PushStep(stack, {head, owner});
    while (stack.size() > base) {
        const CEffectController::ParticleStep step = stack.back();
        stack.pop_back();
        visit(step.particle, step.owner, stack);
    }
}

// A turn matrix whose rows 0..2 turn nothing (ones on the diagonal, zeros
// of either sign off it) and whose row 3 is +0: TransformCoord by it sums
// each component with zeros and a +0 last, which for finite components
// leaves every one as it is but a -0, which becomes +0.
bool IsPlainTurn(const CMatrix& m)
{
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (m.m[r][c] != (r == c ? 1.0f : 0.0f)) return false;
        }
    }
    const f32 zero = 0.0f;
    return std::memcmp(m.m[3], &zero, sizeof zero) == 0 && std::memcmp(m.m[3] + 1, &zero, sizeof zero) == 0 &&
           std::memcmp(m.m[3] + 2, &zero, sizeof zero) == 0;
}

bool IsFinite(const CVector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// What TransformCoord by a plain turn gives for a finite vector.
CVector3 Unturned(const CVector3& v)
{
    return CVector3(v.x == 0.0f ? 0.0f : v.x, v.y == 0.0f ? 0.0f : v.y, v.z == 0.0f ? 0.0f : v.z);
}

CVector4 Clamp01(const CVector4& c)
{
    CVector4 out = c;
    for (int i = 0; i < 4; ++i) {
        if (out[i] < 0.0f) out[i] = 0.0f;
        if (out[i] > 1.0f) out[i] = 1.0f;
    }
    return out;
}

}  // namespace

CParticle::~CParticle()
{
    delete m_trails;
    m_trails = nullptr;
    effect_model::DestroyController(m_animationController);
    m_animationController = nullptr;
}

// ------------------------------------------------------------------ birth

i32 CParticle::Init(CEffectObject* definition, CEffectController* controller, CEffect* node, f32 birthTime)
{
    m_definition = definition;
    m_controller = controller;
    m_node = node;
    const EffectParticleSettings& s = definition->GetParticleSettings();
    const EffectNodeSettings& ns = definition->GetNodeSettings();

    // The draws below, from the controller's generator (never the
    // simulation's), come in this order, each only when its setting is not
    // zero: turn angles x, y, z; the turn's spread; offset, rotation, speed
    // and direction spreads; scaling and colour spreads.
    CRandom* random = &controller->GetRandom();
    f32 rx = 0.0f, ry = 0.0f, rz = 0.0f;
    if (s.offset.z != 0.0f) rx = f32(random->Int(360));
    if (s.offset.x != 0.0f) ry = f32(random->Int(360));
    if (s.offset.y != 0.0f) rz = f32(random->Int(360));
    CVector3 turn;
    CVector3(rx, ry, rz).RandomRange(&turn, 100, random);
    CMatrix turnMatrix;
    turnMatrix.RotationEuler(&turn);
    s.offset.TransformedCoord(&m_startOffset, turnMatrix);
    CVector3 spread;
    s.offsetSpread.RandomRange(&spread, 100, random);
    m_startOffset += spread;

    s.rotationSpread.RandomRange(&m_rotationOffset, 100, random);

    f32 speed = s.speed;
    if (s.speedSpread != 0.0f) speed += RandomSpread(s.speedSpread, 100, random);

    CVector3 direction, unit, heading;
    s.directionSpread.RandomRange(&direction, 1000, random);
    direction.GetNormalized(&unit);
    (s.direction + unit).GetNormalized(&heading);
    m_velocity = heading * speed;
    if (ns.flags & kPlaceTowardOrigin) m_velocity -= m_startOffset * speed;

    CVector3 scaling;
    s.scalingSpread.RandomRange(&scaling, 100, random);
    m_scalingStart = CVector3(1.0f, 1.0f, 1.0f) + scaling;
    CVector4 colour;
    s.colorSpread.RandomRange(&colour, 100, random);
    m_colorStart = CVector4(1.0f, 1.0f, 1.0f, 1.0f) + colour;

    m_birth = birthTime;
    m_life = s.life;
    m_shown = ns.blendMode;
    m_drawPriority = i32(ns.drawLayer);
    m_userWord = i32(ns.userWord);
    m_depthSorted = ns.sorted;

    m_originPosition = *node->GetPosition();
    m_originRotation = *node->GetRotation();
    m_originScaling = *node->GetScaling();
    m_originColor = *node->GetColor();
    m_originTranslation = node->GetTranslationMatrix();
    m_originRotationMatrix = node->GetRotationMatrix();
    m_originScalingMatrix = node->GetScalingMatrix();
    m_originWorld = *node->GetWorldMatrix();
    m_originIdentity = node->GetIdentityMatrices();

    if (ns.resourceKind == kEffectKindModel && definition->GetModel())
        m_animationController = effect_model::CreateController(definition->GetModel());
    MakeTrails();
    return 1;
}

void CParticle::MakeTrails()
{
    const u32 count = m_definition->GetTraceCount();
    if (!count || !GetGraphicDevice()) return;
    m_trails = new CResourceList();
    if (!m_trails) return;
    for (u32 i = 0; i < count; ++i) {
        const CEffectTrace* trace = m_definition->GetTrace(i);
        // One slot per entry, empty where a trail cannot show (fewer than
        // two points) or cannot be made.
        CPrimitiveList* list = nullptr;
        const u32 points = std::min(trace->vertexCount, kMaxTrailVertices) / 2;
        if (points >= 2) {
            list = new CPrimitiveList();
            if (list && !list->Create(2, points, kTrailStride, kTrailFvf, 2)) {
                delete list;
                list = nullptr;
            }
        }
        if (list) {
            list->SetTexture(trace->texture);
            list->SetDepthSorted(m_depthSorted);
            list->SetBlendMode(m_shown);
            list->SetUserWord(u32(m_userWord));
        }
        void* slot = list;
        if (!m_trails->Add(&slot)) {
            delete list;
            return;
        }
    }
}

// ------------------------------------------------------------------ update

void CParticle::Motion(f32 age)
{
    const EffectParticleSettings& s = m_definition->GetParticleSettings();
    const u32 flags = m_definition->GetNodeSettings().flags;
    const bool released = flags & kPlaceReleased;
    // Most particles do not spin: their turn is the same matrix every frame.
    static const CVector3 kNoTurn(0.0f, 0.0f, 0.0f);
    static const CMatrix kNoSpin = CMatrix().RotationEuler(&kNoTurn);
    static const bool kNoSpinIsPlain = IsPlainTurn(kNoSpin);
    const CVector3 spun = s.spin * age;
    const bool spins = std::memcmp(&spun, &kNoTurn, sizeof spun) != 0;
    // Order 0: RotationEuler.
    const CMatrix& spin = spins ? effect_math::SharedRotation(effect_math::RotationSlot::kSpin, spun, 0) : kNoSpin;

    const bool freePosition = released || (flags & kPlaceReleasePosition);
    if (freePosition || m_owner) {
        m_displacement = m_startOffset + m_velocity * age;
        m_displacement.y += age * age * s.acceleration * 0.5f;
        if (spins) m_displacement.TransformCoord(spin);
        else if (kNoSpinIsPlain && IsFinite(m_displacement)) m_displacement = Unturned(m_displacement);
        else m_displacement.TransformCoord(kNoSpin);
        m_localPosition = m_displacement + (freePosition ? m_originPosition : *m_owner->GetPosition());
    }
    if (released || (flags & kPlaceReleaseRotation)) m_rotation = m_originRotation + m_rotationOffset;
    else if (m_owner) m_rotation = *m_owner->GetRotation() + m_rotationOffset;

    const CVector3 grown = m_scalingStart - s.scalingDecrease * age;
    if (released || (flags & kPlaceReleaseScaling)) m_scaling = m_originScaling.Modulate(grown);
    else if (m_owner) m_scaling = m_owner->GetScaling()->Modulate(grown);

    const CVector4 faded = m_colorStart - s.colorDecrease * age;
    if (released || (flags & kPlaceReleaseColor)) m_color = Clamp01(m_originColor.Modulate(faded));
    else if (m_owner) m_color = Clamp01(m_owner->GetColor()->Modulate(faded));
}

void CParticle::Matrices()
{
    const EffectNodeSettings& ns = m_definition->GetNodeSettings();
    const u32 flags = ns.flags;
    const bool released = flags & kPlaceReleased;
    const bool noRotation = flags & kPlaceNoOwnRotation;
    const bool keepRotation = released || (flags & kPlaceReleaseRotation);
    const CMatrix& nodeRotation = keepRotation ? m_originRotationMatrix : m_node->GetRotationMatrix();

    CMatrix world;
    if (noRotation) {
        world.SetIdentity();
    } else if ((flags & kPlaceFaceAway) && m_owner) {
        const CVector3 d = m_localPosition - *m_owner->GetPosition();
        const f32 pitch = -Atan2F(d.y, SqrtF(d.x * d.x + d.z * d.z)) * kRadToDeg;
        const f32 yaw = Atan2F(d.x, d.z) * kRadToDeg;
        world.RotationYawPitchRoll(pitch, yaw, 0.0f);
    } else {
        world = m_rotationCache.Get(m_rotation, ns.rotationOrder);
    }
    MatrixScaleRows(&world, &m_scaling);
    CVector3 at = m_localPosition;
    if (noRotation) m_localPosition.TransformedCoord(&at, nodeRotation);
    MatrixTranslate(&world, &at);

    const bool keepScaling = released || (flags & kPlaceReleaseScaling);
    const bool keepPosition = released || (flags & kPlaceReleasePosition);
    // A particle only shows: a product with the identity (the common
    // unscaled, unturned node) is left out, which changes at most the sign
    // of a zero.
    // The node's matrices say whether they are the identity, so only the
    // particle's own is compared (an identity a gives b, whichever the test
    // finds first, as both are then the same bits). A first element other
    // than 1 settles the comparison at once.
    const auto isIdentity = [](const CMatrix& m) { return m.m[0][0] == 1.0f && m.IsIdentity(); };
    const auto nodeTimes = [&](const CMatrix& a, bool aIdentity, const CMatrix& b) {
        return aIdentity ? b : isIdentity(b) ? a : a * b;
    };
    const auto timesNode = [&](const CMatrix& a, const CMatrix& b, bool bIdentity) {
        return bIdentity ? a : isIdentity(a) ? b : a * b;
    };
    const u8 nodeIdentity = m_node->GetIdentityMatrices();
    const auto identity = [&](bool kept, u8 bit) { return ((kept ? m_originIdentity : nodeIdentity) & bit) != 0; };
    world = nodeTimes(keepScaling ? m_originScalingMatrix : m_node->GetScalingMatrix(),
        identity(keepScaling, CEffect::kIdentityScaling), world);
    if (!noRotation) world = timesNode(world, nodeRotation, identity(keepRotation, CEffect::kIdentityRotation));
    world = timesNode(world, keepPosition ? m_originTranslation : m_node->GetTranslationMatrix(),
        identity(keepPosition, CEffect::kIdentityTranslation));
    m_world = world;
    m_world.GetTranslation(&m_position);
    if (ns.radiusFactor != 0.0f) m_sphereRadius = ns.radiusFactor * m_world.ScalingPart().MaxAbsComponent();
}

void CParticle::Animate()
{
    if (!m_animationController) return;
    const i32 animation = m_node->GetAnimation();
    if (animation != m_animationIndex) {
        effect_model::SetAnimation(m_animationController, animation, 0.1f);
        m_animationIndex = animation;
    }
    effect_model::Advance(m_animationController, m_node->GetTime() - m_animationStamp);
    m_animationStamp = m_node->GetTime();
}

void CParticle::UpdateTrails()
{
    if (!m_trails) return;
    for (u32 i = 0; i < m_trails->GetCount(); ++i) {
        auto* list = static_cast<CPrimitiveList*>(static_cast<CValueBase*>(m_trails->GetAt(i)));
        const CEffectTrace* trace = m_definition->GetTrace(i);
        if (!list || !trace) continue;
        const u32 points = std::min(trace->vertexCount / 2, list->GetRows());
        if (points < 2) continue;
        const f32 du = 1.0f / f32(trace->vertexCount);
        const f32 keep = 1.0f - trace->widthFactor;
        for (u32 p = points - 1; p >= 1; --p) {
            CModelVertex& a = *list->GetVertex(2 * p);
            CModelVertex& b = *list->GetVertex(2 * p + 1);
            a = *list->GetVertex(2 * p - 2);
            b = *list->GetVertex(2 * p - 1);
            for (CModelVertex* v : {&a, &b}) {
                v->TexCoord0[0] += du;
                v->Color.w -= trace->alphaDecrease;
            }
            b.Position = a.Position + (b.Position - a.Position) * keep;
        }
        CModelVertex& first = *list->GetVertex(0);
        CModelVertex& second = *list->GetVertex(1);
        trace->edge0.Modulate(m_scaling).TransformedCoord(&first.Position, m_world);
        trace->edge1.Modulate(m_scaling).TransformedCoord(&second.Position, m_world);
        first.Color = second.Color = m_color;
        first.TexCoord0[0] = 0.0f, first.TexCoord0[1] = 1.0f;
        second.TexCoord0[0] = 0.0f, second.TexCoord0[1] = 0.0f;
        list->SetPosition(&first.Position);
        list->SetVertexCount(std::min(list->GetVertexCount() + 2, 2 * points));
    }
}

i32 CParticle::Update(u32) { return UpdateWith(m_owner); }

i32 CParticle::UpdateWith(CObjectBase* owner)
{
    m_owner = owner;
    if (!m_node || !m_definition) return 1;
    Motion(m_node->GetTime() - m_birth);
    Matrices();
    Animate();
    if (m_nested) m_nested->Update(0);
    UpdateTrails();
    return 1;
}

bool CParticle::IsDead() const
{
    return m_node && m_life > 0.0f && m_life <= m_node->GetTime() - m_birth;
}

i32 CParticle::UpdateChain(CParticle* head, CObjectBase* owner)
{
    if (!head || !head->m_controller) return 1;
    CEffectController* controller = head->m_controller;
    // Everything moves first (each particle after the one it follows)...
    WalkParticles(controller, head, owner, [](CParticle* p, CObjectBase* o, auto& stack) {
        p->UpdateWith(o);
        if (p->m_next) PushStep(stack, {p->m_next, o});
        if (p->m_linked) PushStep(stack, {p->m_linked, p});
    });
    // ...then those whose life has run out leave their chains, with what
    // hangs off them; the particles after them stay.
    WalkParticles(controller, head, owner, [](CParticle* p, CObjectBase*, auto& stack) {
        for (CParticle* q = p; q;) {
            CParticle* next = q->m_next;
            if (q->IsDead()) q->Release();
            else if (q->m_linked) PushStep(stack, {q->m_linked, q});
            q = next;
        }
    });
    return 1;
}

// ------------------------------------------------------------------ release

void CParticle::Free()
{
    if (m_nested) m_nested->Release();
    m_nested = nullptr;
    delete m_trails;
    m_trails = nullptr;
    effect_model::DestroyController(m_animationController);
    m_animationController = nullptr;
    CObjectBase::Release();
    if (m_controller) m_controller->GetParticlePool().Free(this);
}

void CParticle::ReleaseChain(CParticle* head)
{
    if (!head) return;
    if (!head->m_controller) {
        for (CParticle* q = head; q;) {
            CParticle* next = q->m_next;
            ReleaseChain(q->m_linked);
            q->Free();
            q = next;
        }
        return;
    }
    WalkParticles(head->m_controller, head, nullptr, [](CParticle* p, CObjectBase*, auto& stack) {
        for (CParticle* q = p; q;) {
            CParticle* next = q->m_next;
            if (q->m_linked) PushStep(stack, {q->m_linked, q});
            q->Free();
            q = next;
        }
    });
}

i32 CParticle::Release()
{
    Detach();
    CParticle* linked = m_linked;
    m_linked = nullptr;
    Free();
    ReleaseChain(linked);
    return 1;
}

f32 CParticle::ChainLength(CParticle* head)
{
    if (!head || !head->m_controller) return 0.0f;
    f32 length = 0.0f;
    WalkParticles(head->m_controller, head, nullptr, [&](CParticle* p, CObjectBase*, auto& stack) {
        for (CParticle* q = p; q; q = q->m_next) {
            length = effect_math::MaxNumber(length, q->m_birth + q->m_life);
            if (q->m_linked) PushStep(stack, {q->m_linked, q});
        }
    });
    return length;
}

// ------------------------------------------------------------------ links

void CParticle::InsertAfter(CParticle* particle)
{
    particle->m_prev = this;
    particle->m_next = m_next;
    particle->m_hangOwner = nullptr;
    if (m_next) m_next->m_prev = particle;
    m_next = particle;
}

void CParticle::HangOff(CParticle* particle)
{
    particle->m_prev = nullptr;
    particle->m_next = m_linked;
    particle->m_hangOwner = this;
    if (m_linked) {
        m_linked->m_prev = particle;
        m_linked->m_hangOwner = nullptr;
    }
    m_linked = particle;
}

void CParticle::Detach()
{
    if (m_prev) m_prev->m_next = m_next;
    else if (m_hangOwner) m_hangOwner->m_linked = m_next;
    else if (m_node && m_node->GetFirstParticle() == this) m_node->SetFirstParticle(m_next);
    if (m_next) {
        m_next->m_prev = m_prev;
        if (!m_prev) m_next->m_hangOwner = m_hangOwner;
    }
    m_prev = m_next = m_hangOwner = nullptr;
}
