#include "game/battle/object/Bullet.h"
#include "game/battle/object/MeshHitRecord.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Random.h"
#include "engine/model/AnimationController.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "game/battle/object/Barrage.h"
#include "game/battle/object/BattleCharacter.h"
#include "game/battle/object/BulletMath.h"
#include "game/battle/object/BulletParameter.h"
#include "game/battle/object/BulletPasses.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <typeinfo>

namespace {

ChildBarrageFactory g_childBarrageFactory = &MakeChildBarrage;

bool IsNone(const CString& name)
{
    const char* text = name.GetText();
    return !text || !*text || std::strcmp(text, "Non Name") == 0;
}

}  // namespace

void SetChildBarrageFactory(ChildBarrageFactory factory) { g_childBarrageFactory = factory; }
ChildBarrageFactory GetChildBarrageFactory() { return g_childBarrageFactory; }

// The cast's answer depends on the object's class and on where the division
// part lies in the whole object: while both are the last ones seen, the
// character part lies at the same distance from the whole object's start.
// The homing bullets ask it of their targets every frame, and the cross
// cast is a walk of the class's bases each time.
const IBattleCharacter* AsBattleCharacter(const CObjectDivision* object)
{
    if (!object) return nullptr;
    struct Known {
        const std::type_info* type = nullptr;
        std::ptrdiff_t division = 0;    // the division part's place in the whole object
        std::ptrdiff_t character = -1;  // the character part's, -1 for none
    };
    thread_local Known known;
    const std::type_info* type = &typeid(*object);
    const char* whole = static_cast<const char*>(dynamic_cast<const void*>(object));
    const std::ptrdiff_t division = reinterpret_cast<const char*>(object) - whole;
    if (type != known.type || division != known.division) {
        const IBattleCharacter* character = dynamic_cast<const IBattleCharacter*>(object);
        known = {type, division, character ? reinterpret_cast<const char*>(character) - whole : -1};
    }
    return known.character < 0 ? nullptr : reinterpret_cast<const IBattleCharacter*>(whole + known.character);
}
IBattleCharacter* AsBattleCharacter(CObjectDivision* object)
{
    return const_cast<IBattleCharacter*>(AsBattleCharacter(static_cast<const CObjectDivision*>(object)));
}

CBullet::CBullet() { SetGroup(kGroupBullet); }

CBullet::CBullet(const CBulletParameter* record) : m_record(record) { SetGroup(kGroupBullet); }

CBullet::CBullet(const CBullet& other)
    : CObjectDivision(other),
      m_state(other.m_state),
      m_usesBone(other.m_usesBone),
      m_ownedRecord(other.m_record ? new (std::nothrow) CBulletParameter(*other.m_record) : nullptr)
{
    SetGroup(kGroupBullet);
    std::memcpy(m_gridBox, other.m_gridBox, sizeof m_gridBox);
    std::memcpy(m_effects, other.m_effects, sizeof m_effects);
    std::memcpy(m_motionTable, other.m_motionTable, sizeof m_motionTable);
    m_record = m_ownedRecord;
    m_child = other.m_child ? other.m_child->CloneChild() : nullptr;
}

CBullet::~CBullet() { CBullet::Release(); }

i32 CBullet::Release()
{
    if (m_list) m_list->Remove(this);
    delete m_child;
    m_child = nullptr;
    for (u32 i = 0; i < kSlotCount; ++i) ReleaseSlot(i);
    delete m_ownedRecord;
    m_ownedRecord = nullptr;
    m_record = nullptr;
    return CObjectDivision::Release();
}

CObjectDivision* CBullet::Live(u32 id)
{
    if (id == 0) return nullptr;
    const CObjectRegistry* registry = GetObjectRegistry();
    return registry ? AsObjectDivision(registry->Find(id)) : nullptr;
}

f32 CBullet::Dt() const { return GetFrameTime(); }

u32 CBullet::SlotOf(CObjectDivision* fighter, CMessageObject* sender) const
{
    u32 slot = 0;
    if (fighter) fighter->HandleMessage(kMsgTargetSlot, sender, reinterpret_cast<intptr_t>(&slot));
    return slot < 4 ? slot : 3;   // the per-target arrays have four entries
}

void CBullet::UpdateWorld()
{
    // Order 0 is the Euler order UpdateMatrix turns by.
    m_world = m_turn.Get(m_rotation, 0);
    MatrixScaleRows(&m_world, &m_scaling);
    MatrixTranslate(&m_world, &m_position);
}

i32 CBullet::LoadResource(CResourceController* controller)
{
    if (!m_record) return 0;
    if (!IsNone(m_record->GetResource())) {
        CEffectContainer* look = nullptr;
        if (GetEffectContainer(controller, m_record->GetResource().GetText(), &look)) m_resource = look;
    }
    for (u32 i = 0; i < kEffectCount; ++i) {
        m_effects[i] = nullptr;
        const CString* name = m_record->GetEffectName(i);
        if (name && !IsNone(*name)) GetEffectContainer(controller, name->GetText(), &m_effects[i]);
    }
    return 1;
}

void CBullet::PlayOnce(u32 effect, const CVector3& position, const CVector3* rotation)
{
    if (const CEffectContainer* container = m_effects[effect])
        container->PlayAtMatrix(GetEffectManager(), &position, rotation, nullptr, 1, nullptr);
}

void CBullet::PlayIntoSlot(u32 slot, u32 effect, CVector3* position, CVector3* rotation)
{
    ReleaseSlot(slot);
    if (const CEffectContainer* container = m_effects[effect])
        m_slots[slot] = container->PlayAt(GetEffectManager(), position, rotation, nullptr, 0.0f, 0, 1, nullptr);
}

void CBullet::ReleaseSlot(u32 slot)
{
    if (!m_slots[slot]) return;
    m_slots[slot]->Release();
    m_slots[slot] = nullptr;
}

void CBullet::BroadcastEnd(u32 message)
{
    SendObjectMessage(message, CObjectRegistry::kBroadcastId, kGroupBullet, 0);
}

i32 CBullet::Initialize(intptr_t argument)
{
    const auto* launch = reinterpret_cast<const BulletLaunchRecord*>(argument);
    if (!m_record || !launch) return 0;
    const CBulletValues& v = Values();
    CBulletState& s = m_state;

    s.motionType = (v.moveType == 9 || v.moveType == 11) ? 2 : v.moveType;
    s.releaseType = v.hitReleaseType;
    s.shooterGroup = launch->shooterGroup;
    s.soundVolume = launch->soundVolume;
    s.ownerId = launch->shooter ? launch->shooter->GetId() : 0;
    s.shotObjectId = launch->firingObject ? launch->firingObject->GetId() : 0;
    SetTargetId(s, launch->target);
    CObjectDivision* owner = GetOwner();
    CObjectDivision* target = GetTarget();

    m_usesBone = !IsNone(m_record->GetBone());
    RefreshBone();
    m_position = launch->position;
    if (m_bone) m_bone->WorldMatrix.GetTranslation(&m_position);

    s.speed = launch->speedFactor * v.velocity;
    s.speedFactor = launch->speedFactor;
    const bool aims = v.aimingFlg || v.moveType == 1 || v.moveType == 3;
    if (aims && target) {
        CVector3 toTarget = PositionOf(target) - m_position;
        toTarget.Normalize();
        s.velocity = toTarget * s.speed;
    } else {
        s.velocity = launch->direction * s.speed;
    }
    s.axis = v.axisVec;
    if (v.effectRotationFlg)
        m_rotation = RotationToward(s.velocity.LengthSquared() != 0.0f ? s.velocity : launch->direction);
    if (v.zRotationFlg) m_rotation.z = f32(RandomInt(3600)) * 0.1f;

    s.damage = SaturateToI32(f32(v.str) * launch->damageScale);
    s.dotDamage = SaturateToI32(f32(v.dotStr) * launch->damageScale);
    s.damageScale = launch->damageScale;
    s.power = launch->powerScale * v.pow;
    s.strength = launch->strengthScale * v.per;
    s.turnFactor = launch->turnFactor;
    s.attackKind = launch->attackKind;

    s.turnRate = s.turnFactor * v.pursuitAngle;
    if (target && v.pursuitAngleAdd > 0.0f) {
        const f32 d = (PositionOf(target) - m_position).Length();
        const f32 range = v.pursuitAngleAddRange;
        if (range != 0.0f && d <= range)
            s.turnRate = (v.pursuitAngle + (range - d) / range * v.pursuitAngleAdd) * s.turnFactor;
    }

    for (u32 i = 0; i < 4; ++i) {
        s.hitTimer[i] = v.hitInterval;
        s.hitEffectTimer[i] = v.hitEffectInterval;
    }
    m_hitRadius = v.hitRadius;
    s.throughVector = v.hitThroughVec;
    s.stageHitEnabled = u32(v.stageHitFlg);
    s.characterHitEnabled = u32(v.chractorHitFlg);

    if (owner && v.shootRestrict != 0) {
        i32 restrict = v.shootRestrict;
        owner->HandleMessage(kMsgShootRestrict, this, reinterpret_cast<intptr_t>(&restrict));
    }
    FollowShootObject();

    CObjectDivision* shot = GetShotObject();
    const bool beamMotion = v.moveType == 16 || v.moveType == 17 || v.moveType == 19 || v.moveType == 23;
    if (beamMotion && shot) {
        CVector3 beam;
        if (v.moveType != 16 && target) beam = RotationToward(PositionOf(target) - m_position);
        else shot->GetRotation(&beam);
        s.velocity = TurnedInverse(s.velocity, beam);
        s.axis = RotationToward(s.velocity);
        s.axis.x = WrapOnce360(s.axis.x);
        s.axis.y = WrapOnce360(s.axis.y);
        s.offset = v.positionOffset;
        shot->GetRotation(&m_rotation);
        m_position = PositionOf(shot) + Turned(v.positionOffset, m_rotation);
    } else if (shot) {
        CVector3 shotRotation;
        shot->GetRotation(&shotRotation);
        s.offset = TurnedInverse(s.velocity * v.breakTime, shotRotation);
    } else {
        s.offset = s.velocity * v.breakTime;
    }

    const CVector3 towardVelocity = RotationToward(s.velocity);
    PlayOnce(kEfcShootSet, m_position, v.effectRotationFlg ? &m_rotation : &towardVelocity);
    PlayIntoSlot(1, kEfcBeamHead, &s.endPoint, v.beamHeadRotationFlg ? &m_rotation : nullptr);
    PlayIntoSlot(2, kEfcBeamFlash, &m_position, &m_rotation);
    PlayIntoSlot(0, kEfcFireLoop, &m_position, &m_rotation);

    SendVibration();
    if (v.shootObjectType == 4 && shot) {
        u32 shown = 0;
        shot->HandleMessage(kMsgWeaponShown, this, reinterpret_cast<intptr_t>(&shown));
    }
    SpawnBarrage(*launch);
    CreateAnimationController();
    CreateAttachedEffect();
    m_hitCentre = m_position;
    BuildMotionTable();
    return 1;
}

i32 CBullet::SendVibration()
{
    if (!m_record) return 0;
    const i32 type = Values().vibrationType;
    CObjectDivision* owner = GetOwner();
    if (type == 4 || !owner) return 0;
    u32 slot = 0;
    owner->HandleMessage(kMsgTargetSlot, this, reinterpret_cast<intptr_t>(&slot));
    const u32 shake = (type == 0 || type == 2) ? u32(kMsgSmallShake) : (type == 1 || type == 3) ? u32(kMsgLargeShake) : 0u;
    if (shake) owner->SendObjectMessage(shake, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(&slot));
    const i32 strength = type >= 2 ? type - 2 : type;
    owner->HandleMessage(kMsgPadVibration, this, intptr_t(strength));
    return 1;
}

void CBullet::SpawnBarrage(const BulletLaunchRecord& launch)
{
    delete m_child;
    m_child = nullptr;
    CResourceController* resources = nullptr;
    SendObjectMessage(kMsgResourceController, CObjectRegistry::kHandlerId, -1, reinterpret_cast<intptr_t>(&resources));
    const CPatternListParameter* definition = m_record->GetBarrage();
    if (!definition || !g_childBarrageFactory) return;
    m_child = g_childBarrageFactory(definition);
    if (!m_child) return;
    m_child->LoadResource(resources);
    m_child->Initialize(reinterpret_cast<intptr_t>(&launch));
}

CObjectDivision* CBullet::GetShootObject()
{
    switch (m_record ? Values().shootObjectType : 0) {
    case 1: return this;
    case 2: return GetOwner();
    case 3: return GetTarget();
    default: return GetShotObject();
    }
}

i32 CBullet::UpdateChildBarrage()
{
    if (!m_child || !m_state.firing) return 0;
    if (m_child->IsFinished()) {
        // A carrier that has ended already is not released again: a bursting
        // one (HITTYPE 12) comes back here from its release.
        if (m_state.motionType == 20 && !m_state.ended) ReleaseOnBreak();
        m_state.firing = 0;
        return 1;
    }
    if (!Values().effectRotationFlg) {
        m_rotation = RotationToward(m_state.velocity);
        UpdateWorld();
    }
    ShooterRecord record;
    record.factor[0] = m_state.damageScale;
    record.factor[1] = m_state.turnFactor;
    record.factor[2] = 1.0f;
    record.factor[3] = 1.0f;
    record.factor[4] = m_state.speedFactor;
    record.attackKind = m_state.attackKind;
    record.shooterGroup = m_state.shooterGroup;
    record.soundVolume = m_state.soundVolume;
    record.shooter = GetOwner();
    record.firingObject = GetShootObject();
    record.target = GetTarget();
    // A shooter without a firing object has nothing to place shots on.
    if (!record.firingObject) return 1;
    m_child->UpdateShooter(&record);
    return 1;
}

u32 CBullet::FireChildBarrage()
{
    if (!m_child) return 0;
    m_child->Restart(0.0f);
    return 1;
}

void CBullet::UpdateTimers()
{
    const f32 dt = Dt();
    if (!IsStopped()) m_state.age += dt;
    for (u32 i = 0; i < 4; ++i) {
        m_state.hitTimer[i] += dt;
        m_state.hitEffectTimer[i] += dt;
    }
    const f32 life = Values().existenceTime;
    if (life > 0.0f && m_state.age >= life && !m_state.ended) {
        m_state.ended = 1;
        BroadcastEnd(kMsgShotObjectEventEnd);
    }
}

i32 CBullet::Update(u32 frame)
{
    if (!m_record) return 0;
    UpdateTimers();
    i32 result = 1;
    const i32 type = m_state.motionType;
    // The motion type comes from data: only a valid index reaches the table.
    if (type >= 0 && type < kMotionCount && m_motionTable[type] && !IsStopped())
        result = (this->*m_motionTable[type])(frame);
    UpdateChildBarrage();
    AdvanceAnimation(1.0f);
    if (!Values().effectRotationFlg) m_rotation = CVector3();
    const i32 vibration = Values().vibrationType;
    if (vibration == 2 || vibration == 3) SendVibration();
    ComputeGridBox(m_position, m_state.step, Values().hitRadius);
    return result;
}

void CBullet::ComputeGridBox(const CVector3& p, const CVector3& step, f32 radius)
{
    SweptCellBox(p, step, radius, kCellSize, m_gridBox);
}

i32 CBullet::Draw(u32) { return Draw(static_cast<CRenderList*>(nullptr)); }

i32 CBullet::Draw(CRenderList* renderList)
{
    if (m_record && Values().screenShotFlg) {
        const IBattleCharacter* owner = AsBattleCharacter(GetOwner());
        if (owner && owner->IsInScreenshotSpell()) return 1;
    }
    if (m_attachedEffect) m_attachedEffect->Draw(renderList);
    for (CEffect* slot : m_slots)
        if (slot) slot->Draw(renderList);
    return 1;
}

void CBullet::UpdateAttachedEffects(u32 frame)
{
    for (u32 i = 0; i < kSlotCount; ++i) {
        if (!m_slots[i] || (IsStopped() && i < 3)) continue;
        m_slots[i]->Update(frame);
        if (m_slots[i]->IsFinished()) ReleaseSlot(i);
    }
}

i32 CBullet::FrameStep()
{
    if (!m_record) return 1;
    if (!IsStopped()) {
        MoveStep();
        UpdateAttachedEffect();
    } else {
        UpdateStopped();
    }
    UpdateRecovery();
    UpdateAttachedEffects(0);
    if (m_state.hitEnded) {
        Remove();
        return 0;
    }
    if (m_state.ended) {
        PlayOnce(kEfcTimeEnd, m_position, &m_rotation);
        Remove();
        return 0;
    }
    return 1;
}

void CBullet::Remove()
{
    CObjectDivision* shot = GetShotObject();
    if (shot && Values().shootObjectType == 4) {
        u32 shown = 1;
        shot->HandleMessage(kMsgWeaponShown, this, reinterpret_cast<intptr_t>(&shown));
    }
    ReleaseSlot(1);
    ReleaseSlot(2);
    ReleaseSlot(0);
    delete this;
}

i32 CBullet::ReleaseOnBreak()
{
    if (m_state.releaseType != 0) return 0;
    m_state.ended = 1;
    if (Values().hitType == 12) {
        m_state.firing = 1;
        UpdateChildBarrage();
    }
    BroadcastEnd(kMsgShotObjectEventEnd);
    return 1;
}

i32 CBullet::ReleaseOnHit()
{
    if (m_state.releaseType != 0) return 0;
    m_state.hitEnded = 1;
    BroadcastEnd(kMsgShotObjectEventEnd);
    return 1;
}

u32 CBullet::OnMessage(u32 message, CMessageObject* sender, intptr_t parameter)
{
    if (!m_record) return 1;
    const bool fromShotObject = sender && m_state.shotObjectId != 0 && sender->GetId() == m_state.shotObjectId;
    switch (message) {
    case kMsgShotObjectEventEnd:
    case kMsgShotObjectDeadEnd: {
        const bool dead = message == kMsgShotObjectDeadEnd;
        if (!fromShotObject || !(dead ? Values().eventDeadEndFlg : Values().eventEndFlg)) return 1;
        // An ended bullet has passed on message 1, never 2: a death still
        // has to reach the children that end only on it.
        if (dead || !m_state.ended) BroadcastEnd(message);
        m_state.ended = 1;
        return 1;
    }
    case kMsgStageSegmentHit:
        if (parameter) OnStageContact(reinterpret_cast<const CMeshHitRecord*>(parameter)->point);
        return 1;
    case kMsgStageSphereHit:
        if (parameter) OnStageHit(reinterpret_cast<const CMeshHitRecord*>(parameter)->point);
        return 1;
    case kMsgRetarget: return OnRetarget(sender, reinterpret_cast<CObjectDivision*>(parameter));
    default: return 1;
    }
}

u32 CBullet::IsHittableBy(i32 group) const
{
    if ((group == kGroupStage || group == kGroupBullet) && m_record) return Values().hitType != 17;
    return 1;
}

f32 CBullet::GetRadius() const { return m_record ? Values().hitRadius : 0.0f; }

void CBullet::GetMatrix(CMatrix* out) const
{
    if (!m_record || Values().hitType != 11) {
        *out = m_world;
        return;
    }
    CVector3 rotation;
    GetRotation(&rotation);
    out->RotationEuler(&rotation);
    out->Set(3, 0, m_position.x);
    out->Set(3, 1, m_position.y);
    out->Set(3, 2, m_position.z);
}

void CBullet::GetRotation(CVector3* out) const
{
    if (!m_record || Values().hitType != 11) {
        *out = m_rotation;
        return;
    }
    const CVector3& o = m_state.offset;
    out->Set(Atan2F(o.y, SqrtF(o.x * o.x + o.z * o.z)) * kRadToDeg, Atan2F(o.x, o.z) * kRadToDeg + 180.0f, 0.0f);
}

void CBullet::HashState(CStateHash& hash) const
{
    CObjectDivision::HashState(hash);
    const CBulletState& s = m_state;
    for (i32 cell : m_gridBox) hash.I32(cell);
    hash.I32(s.motionType).Vector(s.step).Vector(s.velocity).Vector(s.axis).Vector(s.swingOffset);
    hash.Vector(s.offset).Vector(s.endPoint);
    for (u32 c : s.hitCount) hash.U32(c);
    hash.Vector(s.throughVector).I32(s.damage).I32(s.dotDamage).F32(s.damageScale);
    hash.F32(s.power).F32(s.strength).F32(s.speed).F32(s.speedFactor).U32(s.attackKind);
    hash.F32(s.turnRate).F32(s.turnFactor).U32(s.counterA).U32(s.counterB);
    hash.U32(s.stageHitEnabled).U32(s.characterHitEnabled).U32(s.firing);
    for (f32 t : s.hitTimer) hash.F32(t);
    for (f32 t : s.hitEffectTimer) hash.F32(t);
    hash.F32(s.markTime).F32(s.age).U32(s.ended).U32(s.hitEnded).I32(s.releaseType);
    hash.I32(s.shooterGroup).I32(s.soundVolume);
    // Ids of the linked objects, and only while they live.
    hash.U32(GetOwner() ? s.ownerId : 0).U32(GetShotObject() ? s.shotObjectId : 0).U32(GetTarget() ? s.targetId : 0);
    hash.I32(s.freezeKind).I32(s.previousFreezeKind).F32(s.stopTimer).F32(s.stopDuration);
    hash.Vector(m_hitCentre).F32(m_hitRadius);
    hash.U32(m_child ? 1 : 0);
    if (m_child) m_child->HashState(hash);
}
