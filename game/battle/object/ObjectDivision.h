// CObjectDivision, the base of every object that takes part in a battle:
// fighters, bullets, barrages, spell cards, weapons and the stage.
//
// On top of the placed object it gives each battle object:
// - a registry id (drawn in the constructor, dropped in Release) and a
//   broadcast group, so objects reach each other by numbered messages and
//   never hold pointers to each other;
// - one main resource (a model or an effect definition, never owned), an
//   optional attached effect played from it, and a skeletal animation
//   controller with two tracks: the change track (the body's action) and
//   the play track (an overlay, e.g. the arms while shooting);
// - the virtual queries through which battle objects read each other
//   without knowing each other's classes;
// - HashState, the fold of its simulation state that replays and lockstep
//   peers compare frame by frame.
//
// The engine handler (message target 0) is the battle scene; what it answers
// is listed with the message ids below. Main thread only.
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/ObjectRegistry.h"
#include "engine/core/StateHash.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

#include <cstdint>

class CAnimationController;
class CEffect;
class CEffectContainer;
class CEffectController;
class CMesh;
class CResourceController;
class CSoundBuffer;
class CTexture;

// Broadcast groups.
enum BattleGroup : i32 {
    kGroupFighter = 1,
    kGroupStage = 2,
    kGroupBarrage = 4,
    kGroupBullet = 8,
    kGroupWeapon = 16,
    kGroupSpellCard = 32,
};

// Object messages. Those to id 0 are answered by the battle scene.
enum ObjectMessage : u32 {
    kMsgNewBullet = 0,             // to 0: the parameter is a new bullet for the bullet list
    kMsgFighterReset = 1,          // to group 8: a fighter reset its states
    kMsgKill = 4,                  // to group 1: const i32* the winning attacker's team
    kMsgDefeated = 5,              // to group 1: const i32* the defeated fighter's team
    kMsgLockedOn = 6,              // to the locked fighter: that fighter
    kMsgStageMoveTest = 9,         // to group 2: in/out displacement vector
    kMsgStageMoveHit = 10,         // from the stage to the mover: CMeshHitRecord*
    kMsgStageBoxTest = 11,         // to group 2
    kMsgStageSegmentHit = 12,      // from the stage: CMeshHitRecord*
    kMsgStageSphereHit = 13,       // from the stage: CMeshHitRecord*
    kMsgOutsideStageBox = 14,      // from the stage: const StageParameters*
    kMsgInputManager = 15,         // to 0: out CInput*, null when none
    kMsgResourceController = 16,   // to 0: out CResourceController*
    kMsgEffectManager = 17,        // to 0: out CEffectController*
    kMsgCharacterList = 18,        // to 0: out character list
    kMsgSkillList = 19,            // to 0: out const CSkillList*
    kMsgSharedGroupBullets = 21,   // to 0: may two bullets of one shooter group meet
    kMsgTeamLives = 22,            // to 0: in/out i32, the team in, the lives it has left out
    kMsgTeamResult = 23,              // to 0: in team, out u32 result: 1 won, 2 lost, 3 draw
    kMsgRemainingTime = 25,          // to 0: out u32, the battle's remaining whole seconds (a defeat's time)
    kMsgBattleOver = 26,             // to 0: out u32, non-zero once the battle is over
    kMsgCloudEffect = 27,          // to group 2: out CEffectContainer*
    kMsgTraceCloudEffect = 28,     // to group 2: out CEffectContainer* (the camera-front effect)
    kMsgCloudInterval = 29,        // to group 2: out f32
    kMsgCloudPositionOffset = 30,  // to group 2: out CVector3
    kMsgTraceCloudPositionOffset = 31,   // to group 2: out CVector3 (the camera-front offset)
    kMsgHighTensionFieldEffect = 32,     // to group 2: out CEffectContainer*
    kMsgClimaxFieldEffect = 33,    // to group 2: out CEffectContainer*
    kMsgViewCamera = 34,           // to a fighter: out camera
    kMsgLocalEntry = 35,            // to 0: out u32, the local entry index
    kMsgTargetSlot = 36,           // to a fighter: out u32 slot 0..3
    kMsgScreenShakeOption = 38,    // to 0: in/out u32
    kMsgViewedSlot = 39,           // to 0: out i32, the slot whose view is drawn (-1 when none)
    kMsgSmallShake = 43,           // to group 2: const u32* fighter slot
    kMsgLargeShake = 44,           // to group 2: const u32* fighter slot
    kMsgStageDarkening = 46,       // to group 2: the value 0 or 1, for the sender's slot (0 at a fighter's reset)
    kMsgDarkLimit = 47,            // to group 2: const f32*, for the sender's slot
    kMsgComputerLevel = 48,        // broadcast by the scene: const u32* the new level
    kMsgWeaponShown = 50,          // to a weapon: pointer to u32
};

class CObjectDivision : public CMessageObject {
    ORV_ABSTRACT_CLASS(CObjectDivision)

public:
    // Resource types of the main resource.
    static constexpr u8 kModelResource = 2;
    static constexpr u8 kEffectResource = 8;

    // Group 0 (the concrete class sets it), no resource, no effect, no
    // controller, animation fields zero. Registers under a fresh id,
    // creating the global registry (without handler) when there is none.
    CObjectDivision();
    // The placed object, the group and the resource; its own new id, no
    // attached effect, no controller, animation fields zero.
    CObjectDivision(const CObjectDivision& other);
    CObjectDivision& operator=(const CObjectDivision&) = delete;
    ~CObjectDivision() override;

    // Releases the attached effect, destroys the controller, leaves the
    // registry, then frees the name. 1. Safe to call twice.
    i32 Release() override;

    // -- Virtual operations, in their fixed order. --

    virtual i32 LoadResource(CResourceController* controller) = 0;
    // Resource getters: found by file name (folders ignored) in the
    // controller's list of the kind, else loaded from path and added to it;
    // without a controller loaded and handed over uncached (the caller owns
    // it). 1 with out set; 0 with out untouched for a missing path or out,
    // a failed load or a list that cannot grow. Effects are also found by
    // their stored name, the file name less its extension; one loaded here
    // without a stored name takes that name. An empty path or "Non Name"
    // (an unset name) gives 0 without a look; a path that failed to load is
    // remembered by the controller and not looked for again.
    virtual u32 GetTexture(CResourceController* controller, const char* path, CTexture** out);
    virtual u32 GetModel(CResourceController* controller, const char* path, CMesh** out);
    virtual u32 GetSound(CResourceController* controller, const char* path, u32 count, u32 flags,
        CSoundBuffer** out);
    virtual u32 GetEffectContainer(CResourceController* controller, const char* path, CEffectContainer** out);
    // Messages to this object's id or broadcast to its group.
    virtual u32 OnMessage(u32 message, CMessageObject* sender, intptr_t parameter) = 0;
    virtual u32 IsChangedAnimation(u32 id) const { return m_changedAnimation == id; }
    virtual u32 IsPlayedAnimation(u32 id) const { return m_playedAnimation == id; }
    virtual u32 IsChangedAnimationEnded() const { return m_changeTime >= m_changeLength && m_changeLoop == 0; }
    virtual u32 IsPlayedAnimationEnded() const { return m_playTime >= m_playLength && m_playLoop == 0; }
    virtual u32 IsTargetable() const { return 1; }
    virtual u32 IsAttacking() const { return 0; }
    virtual u32 IsHittableBy(i32 /*group*/) const { return 1; }
    using CObjectBase::GetPosition;
    using CObjectBase::GetRotation;
    virtual void GetPosition(CVector3* out) const { *out = m_position; }
    virtual void GetMatrix(CMatrix* out) const { *out = m_world; }
    virtual void GetRotation(CVector3* out) const { *out = m_rotation; }
    virtual f32 GetRadius() const { return m_sphereRadius; }
    virtual void GetDirection(CVector3* out) const { *out = CVector3(); }
    virtual i32 GetShooterGroup() const { return -1; }
    // Folds the simulation state in a fixed order: id, group, position,
    // rotation, scaling, world matrix, bounding radius, whether there is an
    // animation controller, then the thirteen animation fields. Colour, the
    // shown flag, draw order and the attached effect are drawing only and
    // stay out. Derived classes fold this first, then their own fields.
    virtual void HashState(CStateHash& hash) const;

    u32 HandleMessage(u32 message, CMessageObject* sender, intptr_t parameter) final
    {
        return OnMessage(message, sender, parameter);
    }

    // -- Effects and animation. --

    // Plays the effect resource attached to this object (following its
    // position, rotation and scaling) with the effect manager the battle
    // scene gives on message 17; any previous attached effect is released
    // first. 0 when the resource is not an effect or nothing could play.
    i32 CreateAttachedEffect();
    // Updates the attached effect; 0 without one.
    i32 UpdateAttachedEffect();
    // A controller for the model resource, playing set 0 looping from time
    // 0 and posed. 0 without a model resource (or when the controller cannot
    // be made); 1 without a controller for a model without animations.
    i32 CreateAnimationController();

    // Start set id on the play track or the change track. 0 without a
    // controller, when the track already holds id and force is 0, or when
    // the controller has no such set; the fields stay as they were.
    // Modes between tracks: 0 plays on free bones, 1 plays and holds them,
    // 2 overrides held bones and frees them, 3 overrides and holds.
    i32 PlayAnimation(u32 id, f32 speed, u32 loop, u32 mode, f32 blend, u32 force);
    i32 ChangeAnimation(u32 id, f32 speed, u32 loop, u32 mode, f32 blend, u32 force);
    // The changed animation again from its current time with a new mode and
    // blend. 0 without a controller or when the controller refuses.
    i32 ResumeAnimation(u32 mode, f32 blend);
    // Both tracks on by the frame time x scale. 0 without a controller.
    i32 AdvanceAnimation(f32 scale);

    // The battle scene's effect manager (message 17); null when unanswered.
    CEffectController* GetEffectManager();

    CResourceBase* GetResource() const { return m_resource; }
    void SetResource(CResourceBase* resource) { m_resource = resource; }
    CEffect* GetAttachedEffect() const { return m_attachedEffect; }
    CAnimationController* GetAnimationController() const { return m_controller; }

    u32 GetPreviousChangedAnimation() const { return m_previousChangedAnimation; }
    u32 GetChangedAnimation() const { return m_changedAnimation; }
    u32 GetPlayedAnimation() const { return m_playedAnimation; }
    u32 GetPlayMode() const { return m_playMode; }
    f32 GetBlendTime() const { return m_blendTime; }
    u32 GetChangeLoop() const { return m_changeLoop; }
    f32 GetChangeTime() const { return m_changeTime; }
    f32 GetChangeSpeed() const { return m_changeSpeed; }
    f32 GetChangeLength() const { return m_changeLength; }
    u32 GetPlayLoop() const { return m_playLoop; }
    f32 GetPlayTime() const { return m_playTime; }
    f32 GetPlaySpeed() const { return m_playSpeed; }
    f32 GetPlayLength() const { return m_playLength; }

private:
    void Register();
    void ReleaseAttachedEffect();
    void DestroyAnimationController();
    // The play track after a change-track start in mode.
    void PlayTrackFollows(u32 mode);

protected:
    CResourceBase* m_resource = nullptr;
    CEffect* m_attachedEffect = nullptr;
    CAnimationController* m_controller = nullptr;
    u32 m_previousChangedAnimation = 0;
    u32 m_changedAnimation = 0;
    u32 m_playedAnimation = 0;
    u32 m_playMode = 0;
    f32 m_blendTime = 0.0f;
    u32 m_changeLoop = 0;
    f32 m_changeTime = 0.0f;
    f32 m_changeSpeed = 0.0f;
    f32 m_changeLength = 0.0f;
    u32 m_playLoop = 0;
    f32 m_playTime = 0.0f;
    f32 m_playSpeed = 0.0f;
    f32 m_playLength = 0.0f;
};

// dynamic_cast<CObjectDivision*>(object), with the answer for the object's
// class remembered (per thread, the last class asked about): the battle
// looks up owners and targets by id many times a frame, nearly always of
// one or two classes.
CObjectDivision* AsObjectDivision(CMessageObject* object);
