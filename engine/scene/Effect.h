// CEffect: one live node of a playing effect instance. It runs the tracks
// of one effect object on its own time line, places itself in the world,
// emits particles at the keys of its Particle track, starts its sound at the
// keys of its Play track, and carries its first child and its next sibling.
// Nodes come from the effect controller's pool and go back there on
// release.
//
// The first node of an instance stands for the instance: Update, Draw,
// IsFinished, GetLength and Release take the whole tree under it and the
// siblings after it.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/Matrix.h"
#include "engine/core/ObjectBase.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"
#include "engine/scene/EffectMath.h"

#include <cstdint>

class CEffectController;
class CEffectObject;
class CParticle;
class CRenderList;
struct CAnimationFrame;

// The play parameters copied into every node of an instance.
struct EffectPlayParams {
    CVector3 position;
    CVector3 rotation;                           // degrees
    CVector3 scaling{1.0f, 1.0f, 1.0f};
    CVector4 color{1.0f, 1.0f, 1.0f, 1.0f};
    const CVector3* followPosition = nullptr;    // read every frame
    const CVector3* followRotation = nullptr;
    const CVector3* followScaling = nullptr;
    const CVector4* followColor = nullptr;
    CObjectBase* attached = nullptr;             // its placement taken every frame
    CAnimationFrame* linkFrame = nullptr;        // the bone frame the instance rides on
};

class CEffect : public CObjectBase {
    ORV_VALUE_CLASS(CEffect)

public:
    // Resource type of a node.
    static constexpr u8 kResourceType = 16;
    // Nested effects (an effect per particle) stop this many levels down,
    // so a definition that nests itself cannot fill the stack.
    static constexpr u32 kMaxNestLevel = 8;

    CEffect();
    CEffect(const CEffect&) = default;
    CEffect& operator=(const CEffect&) = default;
    ~CEffect() override = default;

    // Definition, controller and a copy of params (null: the defaults of
    // EffectPlayParams); time 0. 1.
    i32 Setup(CEffectObject* definition, CEffectController* controller, const EffectPlayParams* params);

    i32 Initialize(intptr_t) override { return 1; }
    // Adds the frame time to this node, its children and its next siblings
    // and runs them. 1, or 0 when a particle could not be emitted.
    i32 Update(u32 argument) override;
    // Draws the particles of this node, its children and next siblings at
    // once (no render list). 1.
    i32 Draw(u32 argument) override;
    // The same, sorted particles going to renderList.
    i32 Draw(CRenderList* renderList);
    // Releases the particles, the children and the next siblings, takes the
    // node out of the live chain and gives every node back to the pool. 1.
    i32 Release() override;

    // The largest end time of this node's tracks at its current time, its
    // particles' deaths, its children and next siblings; 0 or more, never
    // a NaN.
    f32 GetLength();
    // Whether the instance from this node on has finished (the controller
    // then releases it).
    bool IsFinished();
    void SetEndTime(f32 seconds) { m_endTime = seconds; }
    f32 GetEndTime() const { return m_endTime; }
    // Sets the end flag (no more particles or sounds) on this node and the
    // nodes below it.
    void SetEndFlag(u32 flag);
    u32 GetEndFlag() const { return m_endFlag; }
    // What an owner does to end an effect that has no end of its own: the
    // end time becomes the length, the end flag is set.
    void Finish();

    // Puts node after this one. A next sibling this node had is first put
    // after node by the same rule, so the two chains interleave: this,
    // node, the old next, node's old next, the old next's next, ...
    void InsertNext(CEffect* node);
    // Puts node (and the siblings after it) in front of this node's
    // children, every one of them with this node as parent.
    void InsertChild(CEffect* node);

    CEffect* GetNext() const { return m_next; }
    CEffect* GetParent() const { return m_parent; }
    CEffect* GetChild() const { return m_child; }
    CEffect* GetNextLive() const { return m_nextLive; }
    CEffect* GetPrevLive() const { return m_prevLive; }
    void SetNextLive(CEffect* node) { m_nextLive = node; }
    void SetPrevLive(CEffect* node) { m_prevLive = node; }
    CEffectObject* GetDefinition() const { return m_definition; }
    CEffectController* GetController() const { return m_controller; }
    const EffectPlayParams& GetParams() const { return m_params; }
    CParticle* GetFirstParticle() const { return m_firstParticle; }
    void SetFirstParticle(CParticle* particle) { m_firstParticle = particle; }
    f32 GetTime() const { return m_time; }
    void SetTime(f32 time) { m_time = time; }
    u32 GetNestLevel() const { return m_nestLevel; }
    void SetNestLevel(u32 level) { m_nestLevel = level; }
    // Whether its life has not run out.
    bool IsActive() const;

    // The placement.
    CVector3* GetPlacePosition() { return &m_placePosition; }
    CVector3* GetPlaceRotation() { return &m_placeRotation; }
    CVector3* GetPlaceScaling() { return &m_placeScaling; }
    const CVector4& GetPlaceColor() const { return m_placeColor; }
    const CVector3& GetUV() const { return m_uv; }
    const CRect4& GetRect() const { return m_rect; }
    i32 GetAnimation() const { return m_animation; }
    const CMatrix& GetTranslationMatrix() const { return m_translation; }
    const CMatrix& GetRotationMatrix() const { return m_rotationMatrix; }
    const CMatrix& GetScalingMatrix() const { return m_scalingMatrix; }
    const CMatrix& GetPlacementMatrix() const { return m_placement; }
    // Which of the translation, rotation and scaling matrices are the
    // identity bit for bit (kIdentityTranslation and so on), as of the last
    // placement.
    static constexpr u8 kIdentityTranslation = 1, kIdentityRotation = 2, kIdentityScaling = 4;
    u8 GetIdentityMatrices() const { return m_identityMatrices; }
    f32 GetParticleCursor() const { return m_particleCursor; }
    f32 GetSoundCursor() const { return m_soundCursor; }

    // One node's own step (time already added): evaluation, its keys and
    // its particles. False when a particle could not be emitted.
    bool Step();
    // The tracks at the current time and the placement from them.
    void Evaluate();

private:
    bool WalkParticleKeys();
    void WalkSoundKeys();
    bool Emit(u32 count, f32 keyTime);
    void StartSound(f32 value);
    void Place();
    // This node's own length, without children and siblings.
    f32 OwnLength() const;
    // Takes the subtree from this node on out of its parent's children.
    void DetachFromParent();

    // Placement.
    CVector3 m_placePosition;
    CVector3 m_placeRotation;
    CVector3 m_placeScaling{1.0f, 1.0f, 1.0f};
    CVector4 m_placeColor{1.0f, 1.0f, 1.0f, 1.0f};
    CVector3 m_uv;
    CRect4 m_rect;
    CMatrix m_translation;
    CMatrix m_rotationMatrix;
    effect_math::RotationCache m_rotationCache, m_placeRotationCache;
    CMatrix m_scalingMatrix;
    CMatrix m_placement;
    u8 m_identityMatrices = kIdentityTranslation | kIdentityRotation | kIdentityScaling;
    i32 m_animation = 0;
    f32 m_particleCursor = 0.0f;
    f32 m_soundCursor = 0.0f;
    f32 m_endTime = 0.0f;
    u32 m_endFlag = 0;

    CEffectObject* m_definition = nullptr;
    EffectPlayParams m_params;
    CEffectController* m_controller = nullptr;
    f32 m_time = 0.0f;
    CParticle* m_firstParticle = nullptr;
    CEffect* m_parent = nullptr;
    CEffect* m_child = nullptr;
    CEffect* m_next = nullptr;
    CEffect* m_prevLive = nullptr;
    CEffect* m_nextLive = nullptr;
    u32 m_nestLevel = 0;
};

// -- Track rules shared by nodes. --

namespace effect_keys {

// A track's end time at time x with loop mode m: 0 without keys; past the
// last key of a looping track (m not 2) the end of the current repetition;
// else the last key's time. A repetition of zero length does not repeat.
f32 EndTime(const void* keys, u32 count, u32 stride, u32 loop, f32 x, u32 m);
// The index of the key at or after x in a track of 12-byte keys, time moved
// back into the key range past the last key of a looping track (m not 2);
// -1 for none (no keys, past the end of a track that does not repeat, or a
// time that is no number).
i32 FindKey(const void* keys, u32 count, u32 stride, u32 loop, f32 x, u32 m);

}  // namespace effect_keys
