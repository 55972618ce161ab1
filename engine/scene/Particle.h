// CParticle: every visible part of an effect. A sprite, a model with its
// own animation, or a nested effect instance, born at a key of its node's
// Particle track, moving by its effect object's particle settings and dying
// after its life; it may draw ribbon trails, one per trace entry.
//
// The particles of a node form a chain in birth order. With the linking
// setting, new particles hang off the previous generation instead: each
// particle may carry a chain of linked particles that follow it.
//
// Particles live in the effect controller's pool; the only heap they use is
// made at birth (the trail lists and a model's animation controller).
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/ObjectBase.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"
#include "engine/scene/EffectMath.h"

#include <cstdint>

class CAnimationController;
class CEffect;
class CEffectController;
class CEffectObject;
class CRenderList;

class CParticle : public CObjectBase {
    ORV_VALUE_CLASS(CParticle)

public:
    // The most vertices a trail's buffer holds: a trace entry asking for
    // more draws its newest points only, so no file can make a particle's
    // birth allocate without bound.
    static constexpr u32 kMaxTrailVertices = 4096;

    CParticle() = default;
    // Every field copied; the trail list and the animation controller
    // stay the source's (the pools never copy a live particle).
    CParticle(const CParticle&) = default;
    CParticle& operator=(const CParticle&) = default;
    // Frees the trail list and the animation controller.
    ~CParticle() override;

    // Sets the particle up at its birth time; the random draws of its
    // spreads come from the global generator in a fixed order. 1.
    i32 Init(CEffectObject* definition, CEffectController* controller, CEffect* node, f32 birthTime);

    i32 Initialize(intptr_t) override { return 1; }
    // This particle's own step with owner: motion, matrices, animation, the
    // nested effect and the trails (the chain walks are UpdateChain's).
    i32 Update(u32 argument) override;
    i32 UpdateWith(CObjectBase* owner);
    // Draws the sprite or model (the render list calls it for sorted ones).
    i32 Draw(u32 argument) override;
    // Takes this particle out of its chain, then frees it with the particles
    // linked to it. 1.
    i32 Release() override;

    // Updates the chain from head with owner (each linked chain with its
    // particle), then releases the particles whose life has run out, each
    // with what hangs off it (the particles after it stay). 1.
    static i32 UpdateChain(CParticle* head, CObjectBase* owner);
    // The draw walk of a chain: particles that sort go to renderList
    // (without one they draw at once). Ends at the first particle not yet
    // born.
    static void SubmitChain(CParticle* head, CObjectBase* owner, CRenderList* renderList);
    // Frees the whole chain from head, linked particles included.
    static void ReleaseChain(CParticle* head);
    // The latest death (birth + life) over the chain and its linked
    // particles; 0 for none. NaNs are left out.
    static f32 ChainLength(CParticle* head);

    // Appends particle after this one.
    void InsertAfter(CParticle* particle);
    // Puts particle in front of this particle's linked chain.
    void HangOff(CParticle* particle);
    // Takes this particle out of the chain it is in (its linked particles
    // stay with it).
    void Detach();

    CParticle* GetNext() const { return m_next; }
    CParticle* GetPrev() const { return m_prev; }
    CParticle* GetLinked() const { return m_linked; }
    CParticle* GetHangOwner() const { return m_hangOwner; }
    CEffect* GetNode() const { return m_node; }
    CEffect* GetNested() const { return m_nested; }
    // The nested instance the particle holds and releases.
    void SetNested(CEffect* instance) { m_nested = instance; }
    CObjectBase* GetOwner() const { return m_owner; }
    f32 GetBirthTime() const { return m_birth; }
    f32 GetLife() const { return m_life; }
    bool IsDead() const;
    const CVector3& GetStartOffset() const { return m_startOffset; }
    const CVector3& GetVelocity() const { return m_velocity; }
    const CVector3& GetRotationOffset() const { return m_rotationOffset; }
    const CVector3& GetScalingStart() const { return m_scalingStart; }
    const CVector4& GetColorStart() const { return m_colorStart; }
    const CVector3& GetLocalPosition() const { return m_localPosition; }
    CResourceList* GetTrails() const { return m_trails; }
    CAnimationController* GetAnimationController() const { return m_animationController; }
    // The draw matrix of the last Draw (world turned by the billboard).
    const CMatrix& GetDrawMatrix() const { return m_drawMatrix; }
    // World turned by the billboard for the current camera.
    CMatrix MakeDrawMatrix() const;

private:
    void Motion(f32 age);
    void Matrices();
    void Animate();
    void UpdateTrails();
    void DrawTrails(CRenderList* renderList);
    void MakeTrails();
    CMatrix Billboard() const;
    // Frees this particle (nested instance, trails, controller) into the
    // pool; its links are not touched.
    void Free();

    CVector3 m_startOffset;
    CVector3 m_displacement;
    CVector3 m_localPosition;
    CVector3 m_rotationOffset;
    effect_math::RotationCache m_rotationCache;
    CVector3 m_scalingStart{1.0f, 1.0f, 1.0f};
    CVector3 m_velocity;
    CVector4 m_colorStart{1.0f, 1.0f, 1.0f, 1.0f};
    i32 m_animationIndex = 0;
    f32 m_birth = 0.0f;
    f32 m_animationStamp = 0.0f;
    f32 m_life = 0.0f;
    CAnimationController* m_animationController = nullptr;

    // The emitting node at birth.
    CVector3 m_originPosition;
    CVector3 m_originRotation;
    CVector3 m_originScaling{1.0f, 1.0f, 1.0f};
    CVector4 m_originColor{1.0f, 1.0f, 1.0f, 1.0f};
    CMatrix m_originTranslation;
    CMatrix m_originRotationMatrix;
    CMatrix m_originScalingMatrix;
    CMatrix m_originWorld;
    CMatrix m_drawMatrix;
    u8 m_originIdentity = 0;   // CEffect::GetIdentityMatrices of the node at birth

    CEffectObject* m_definition = nullptr;
    CEffectController* m_controller = nullptr;
    CEffect* m_node = nullptr;
    CEffect* m_nested = nullptr;
    CResourceList* m_trails = nullptr;   // CPrimitiveList per trace entry
    CParticle* m_linked = nullptr;       // first of the chain hanging off this one
    CParticle* m_prev = nullptr;
    CParticle* m_next = nullptr;
    CParticle* m_hangOwner = nullptr;    // for a linked chain's first: the particle it hangs off
    CObjectBase* m_owner = nullptr;
};
