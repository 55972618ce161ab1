// CBullet: one shot in flight, launched from a BulletLaunchRecord by a
// barrage or a parent bullet. Everything it is comes from its
// CBulletParameter: how it moves (one of 26 motion steps), whom it hits and
// how often, what it does to other bullets, its effects and lifetime, and
// the barrage it may carry.
//
// Bullets live in the battle scene's CBulletList. Each frame the scene calls
// Update on every bullet, then the two interaction passes (BulletPasses.h):
// MoveStep ends the first, FrameStep the second. A bullet ends by its flags
// (ended, hit-ended) and deletes itself in FrameStep only, never during the
// pair walks.
//
// Owner, shot object and target are held by registry id: a launcher that
// goes away (a parent bullet deleted before its children) simply reads as
// gone instead of leaving a dangling pointer.
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/scene/EffectMath.h"
#include "game/battle/object/BulletParameter.h"
#include "game/battle/object/ObjectDivision.h"
#include "game/battle/object/ShotRecords.h"

#include <cstdint>

class CBulletList;
class CRenderList;
struct CAnimationFrame;

enum BulletMessage : u32 {
    kMsgShotObjectEventEnd = 1,   // broadcast to group 8: the shot object's event ended
    kMsgShotObjectDeadEnd = 2,    // broadcast to group 8: the shot object died
    kMsgAbsorb = 7,               // to the owner: address of an i32 amount
    kMsgRecovery = 8,             // to the owner: address of RECOVERYSPEED
    kMsgIsDefeated = 37,          // to a fighter: non-zero while down
    kMsgPadVibration = 45,        // to the owner: strength 0 or 1
    kMsgShootRestrict = 51,       // to the owner: address of an i32
    kMsgRetarget = 52,            // to group 8: the new target object
};

struct CBulletState {
    i32 motionType;
    CVector3 step;
    // Beside the step: what the pair walks read of both bullets.
    f32 age;
    i32 releaseType;
    i32 shooterGroup;
    u32 ownerId;
    CVector3 velocity;
    CVector3 axis;
    CVector3 swingOffset;
    CVector3 offset;
    CVector3 endPoint;
    u32 hitCount[4];
    CVector3 throughVector;
    i32 damage;
    i32 dotDamage;
    f32 damageScale;
    f32 power;
    f32 strength;
    f32 speed;
    f32 speedFactor;
    u32 attackKind;
    f32 turnRate;
    f32 turnFactor;
    u32 counterA;   // beam cuts, retargets
    u32 counterB;   // volleys fired, beam phase, passes
    u32 stageHitEnabled;
    u32 characterHitEnabled;
    u32 firing;
    f32 hitTimer[4];
    f32 hitEffectTimer[4];
    f32 markTime;
    u32 ended;
    u32 hitEnded;
    i32 soundVolume;
    u32 shotObjectId;
    u32 targetId;
    i32 freezeKind;
    i32 previousFreezeKind;
    f32 stopTimer;
    f32 stopDuration;
};

class CBullet : public CObjectDivision {
    ORV_VALUE_CLASS(CBullet)

public:
    static constexpr u32 kEffectCount = 10;
    static constexpr u32 kSlotCount = 5;
    static constexpr i32 kMotionCount = 26;
    static constexpr f32 kCellSize = 10.0f;

    // Effect names in record order.
    enum Effect : u32 {
        kEfcShootSet, kEfcBulletHit, kEfcFireLoop, kEfcBeamHead, kEfcBeamFlash,
        kEfcTimeEnd, kEfcIceFreeze, kEfcTimeFreeze, kEfcIceFreezeEnd, kEfcTimeFreezeEnd,
    };

    CBullet();
    // Reads record for its whole life; the parameter file outlives bullets.
    explicit CBullet(const CBulletParameter* record);
    // The state and its own copy of the record and of the carried barrage;
    // no playing effects (they stay the original's) and an empty hit sphere.
    CBullet(const CBullet& other);
    ~CBullet() override;

    i32 Release() override;
    i32 LoadResource(CResourceController* controller) override;
    // The argument is the address of a BulletLaunchRecord. 1.
    i32 Initialize(intptr_t launchRecord) override;
    i32 Update(u32 frame) override;
    // Nothing while the owner's screenshot card hides this bullet; else the
    // look and each playing effect slot, their sorted particles into
    // renderList (drawn at once with none). 1.
    i32 Draw(CRenderList* renderList);
    // Draw without a render list.
    i32 Draw(u32 pass) override;
    u32 OnMessage(u32 message, CMessageObject* sender, intptr_t parameter) override;
    u32 IsHittableBy(i32 group) const override;
    void GetMatrix(CMatrix* out) const override;
    using CObjectBase::GetRotation;
    void GetRotation(CVector3* out) const override;
    f32 GetRadius() const override;
    void GetDirection(CVector3* out) const override { *out = m_state.step; }
    i32 GetShooterGroup() const override { return m_state.shooterGroup; }
    // The base's fields, then the state block (ids, never pointers), the
    // hit sphere, the grid box and the carried barrage.
    void HashState(CStateHash& hash) const override;
    virtual void BuildMotionTable();

    // -- Interaction passes (BulletPasses.h). --

    // First pass, after the hit tests: applies the step.
    i32 MoveStep();
    // Second pass, the last call on this bullet in a frame: may delete it.
    i32 FrameStep();
    i32 HitTestBullet(CBullet* other);
    i32 HitBullet(CBullet* other);

    // -- For the fighters' hit handling. --

    u32 CanHit() const
    {
        const CBulletValues& v = Values();
        return v.hitCount != 0 && (v.hitTime == 0.0f || m_state.age < v.hitTime);
    }
    u32 CanHitTarget(u32 slot) const;
    u32 IsHitIntervalElapsed(u32 slot) const;
    u32 IsHitEffectIntervalElapsed(u32 slot) const;
    i32 CountHit(u32 slot, u32 flag);
    void ResetHitEffectTimer(u32 slot);
    // EFCBULLETHIT, null when not loaded: the fighter hit plays it.
    const CEffectContainer* GetHitEffect() const { return m_effects[kEfcBulletHit]; }
    i32 ReleaseOnHit();
    i32 ReleaseOnBreak();
    void GetHitSphere(CVector3* centre, f32* radius) const;
    const i32* GetGridBox() const { return m_gridBox; }
    u32 IsStopped() const { return m_state.stopDuration > 0.0f; }
    u32 IsDirectionType() const;
    void GetHitVector(const CVector3& targetPosition, CVector3* out) const;
    i32 CutBeamAt(const CBullet* other, const CVector3& point);
    i32 CheckProximity(CObjectDivision* target);
    void GetSuctionVector(CObjectDivision* target, CVector3* out);
    // The fighters shorten a shot that meets them or their guard.
    void SetDirection(const CVector3& step) { m_state.step = step; }
    void GetBoxOverlap(const CVector3& cubeCentre, f32 cubeHalf, CVector3* out) const;
    u32 SurvivesAgainst(const CBullet* other) const;
    i32 GetAbsorbAmount(const CBullet* absorber) const;
    // The object that launches the carried barrage, by SHOOTOBJECTTYPE.
    CObjectDivision* GetShootObject();
    u32 FireChildBarrage();

    // -- Reading. --

    const CBulletParameter* GetRecord() const { return m_record; }
    const CBulletValues& Values() const { return m_record->GetValues(); }
    const CBulletState& GetState() const { return m_state; }
    // The live owner, shot object and target (null once gone).
    CObjectDivision* GetOwner() const { return Live(m_state.ownerId); }
    CObjectDivision* GetShotObject() const { return Live(m_state.shotObjectId); }
    CObjectDivision* GetTarget() const { return Live(m_state.targetId); }
    u32 IsEnded() const { return m_state.ended; }
    u32 IsHitEnded() const { return m_state.hitEnded; }
    const IChildBarrage* GetChildBarrage() const { return m_child; }

    // The list this bullet is in (CBulletList keeps these).
    CBullet* GetNext() const { return m_next; }
    // Asks the cache ahead for what the list walks read of a bullet: its
    // first line (the class), the fields of the pair tests and the link.
    void PrefetchForWalks() const
    {
        __builtin_prefetch(this);
        __builtin_prefetch(&m_hitCentre);
        __builtin_prefetch(&m_state.ownerId);
        __builtin_prefetch(&m_next);
    }
    CBulletList* GetList() const { return m_list; }

protected:
    using MotionStep = i32 (CBullet::*)(u32 frame);
    MotionStep m_motionTable[kMotionCount] = {};

private:
    friend struct StateHashProbe;   // the state hash tests change each field
    friend class CBulletList;

    static CObjectDivision* Live(u32 id);
    static void SetTargetId(CBulletState& s, CObjectDivision* object) { s.targetId = object ? object->GetId() : 0; }
    f32 Dt() const;
    u32 SlotOf(CObjectDivision* fighter, CMessageObject* sender) const;
    void PlayOnce(u32 effect, const CVector3& position, const CVector3* rotation);
    void PlayIntoSlot(u32 slot, u32 effect, CVector3* position, CVector3* rotation);
    void ReleaseSlot(u32 slot);
    void BroadcastEnd(u32 message);
    void Remove();
    // UpdateMatrix with the turn kept while the angles stay bit for bit.
    void UpdateWorld();

    // Life.
    void UpdateTimers();
    i32 SendVibration();
    void SpawnBarrage(const BulletLaunchRecord& launch);
    i32 UpdateChildBarrage();
    void UpdateAttachedEffects(u32 frame);
    void ComputeGridBox(const CVector3& position, const CVector3& step, f32 radius);

    // Motion (BulletMotion.cpp).
    void FollowShootObject();
    void FollowBone();
    void RefreshBone();
    void RotateToward(const CVector3& v);
    void TurnToward(const CVector3& point, f32 limit);
    void TurnWhole(const CVector3& point);
    void VolleyRule();
    void Revolve();
    void OffsetTilt();
    void GrowBeam(bool shrinking);
    void RebuildBeam();
    u32 OnRetarget(CMessageObject* sender, CObjectDivision* newTarget);
    void PlaceAtShotObject();
    i32 Straight(u32 frame);
    i32 Homing(u32 frame);
    i32 HomingVolley(u32 frame);
    i32 BrakeGo(u32 frame);
    i32 TurnBrakeGo(u32 frame);
    i32 SharpHoming(u32 frame);
    i32 Orbit(u32 frame);
    i32 PassThrough(u32 frame);
    i32 OptionTargeting(u32 frame);
    i32 OptionSpread(u32 frame);
    i32 OptionRevolve(u32 frame);
    i32 BeamOwner(u32 frame);
    i32 BeamShotObject(u32 frame);
    i32 BeamGrow(u32 frame);
    i32 Carrier(u32 frame);
    i32 StopAndFire(u32 frame);
    i32 GrowingStopAndFire(u32 frame);
    i32 ReturningBlade(u32 frame);
    i32 Swing(u32 frame);
    void BrakeSteps(bool aim);
    void OptionApproach();

    // Hits (BulletHit.cpp).
    u32 PairGate(CBullet* other, bool secondPass);
    void ExchangeStrength(CBullet* other);
    bool HitEraser(CBullet* eraser, CBullet* erased);
    bool HitAbsorber(CBullet* absorber, CBullet* absorbed);
    bool HitReflector(CBullet* counter, CBullet* incoming);
    i32 HitFreezer(const CBullet* freezer);
    void HitReturning(CBullet* other);
    void TurnBack();
    void UpdateStopped();
    void UpdateRecovery();
    void OnStageContact(const CVector3& point);
    void OnStageHit(const CVector3& point);

    // What the pair walks read of both bullets of a pair, side by side.
    CVector3 m_hitCentre;
    f32 m_hitRadius = 0.0f;
    const CBulletParameter* m_record = nullptr;
    CVector3 m_contact;   // the pass's contact point
    i32 m_gridBox[6] = {};
    CBulletState m_state{};
    CEffectContainer* m_effects[kEffectCount] = {};
    effect_math::RotationCache m_turn;
    CEffect* m_slots[kSlotCount] = {};
    // Looked up afresh from the live owner, never kept across frames.
    CAnimationFrame* m_bone = nullptr;
    bool m_usesBone = false;
    CBulletParameter* m_ownedRecord = nullptr;   // a copy's own record
    IChildBarrage* m_child = nullptr;

    CBulletList* m_list = nullptr;
    CBullet* m_prev = nullptr;
    CBullet* m_next = nullptr;
};
