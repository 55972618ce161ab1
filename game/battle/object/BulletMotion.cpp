// The bullets' motion steps, one per motion type, and the first pass's
// MoveStep that applies them.
#include "engine/model/AnimationController.h"
#include "game/battle/object/BattleCharacter.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletMath.h"
#include "game/battle/object/BulletParameter.h"

namespace {

bool IsHittable(const CObjectDivision* object)
{
    const IBattleCharacter* character = AsBattleCharacter(object);
    return !character || character->IsHittable();
}

}  // namespace

void CBullet::BuildMotionTable()
{
    static constexpr MotionStep kTable[kMotionCount] = {
        &CBullet::Straight, &CBullet::Straight, &CBullet::Homing, &CBullet::Homing,
        &CBullet::HomingVolley, &CBullet::BrakeGo, &CBullet::TurnBrakeGo, &CBullet::Homing,
        &CBullet::SharpHoming, nullptr, &CBullet::Orbit, &CBullet::PassThrough,
        &CBullet::OptionTargeting, &CBullet::OptionSpread, &CBullet::OptionRevolve, &CBullet::OptionRevolve,
        &CBullet::BeamOwner, &CBullet::BeamShotObject, &CBullet::BeamGrow, &CBullet::BeamShotObject,
        &CBullet::Carrier, &CBullet::StopAndFire, &CBullet::GrowingStopAndFire, &CBullet::StopAndFire,
        &CBullet::ReturningBlade, &CBullet::Swing,
    };
    for (i32 i = 0; i < kMotionCount; ++i) m_motionTable[i] = kTable[i];
}

u32 CBullet::IsDirectionType() const
{
    const i32 t = Values().hitType;
    return t == 3 || t == 4 || t == 16 || t == 18;
}

void CBullet::RefreshBone()
{
    m_bone = nullptr;
    if (!m_usesBone) return;
    CObjectDivision* owner = GetOwner();
    CAnimationController* controller = owner ? owner->GetAnimationController() : nullptr;
    if (controller) m_bone = controller->GetFrameByName(m_record->GetBone().GetText());
}

void CBullet::FollowBone()
{
    RefreshBone();
    if (!m_bone) return;
    m_bone->WorldMatrix.GetTranslation(&m_position);
    if (IsDirectionType()) RebuildBeam();
}

void CBullet::FollowShootObject()
{
    const CObjectDivision* shot = GetShotObject();
    const i32 trace = Values().traceType;
    if (!shot || trace == 0) return;
    if (trace == 1 || trace == 3) m_rotation = RotationOf(shot);
    if (trace == 1 || trace == 2) m_position = PositionOf(shot) + Turned(Values().positionOffset, m_rotation);
}

// Only the motion steps turn a bullet toward its way. Without
// EFFECTROTATIONFLG, Update clears the rotation right after the step and
// nothing reads it in between (a firing carrier takes its own turn before
// its barrage reads it): the turn, two arc tangents, is not taken at all.
void CBullet::RotateToward(const CVector3& v)
{
    if (Values().effectRotationFlg) m_rotation = RotationToward(v);
}

void CBullet::TurnToward(const CVector3& point, f32 limit)
{
    m_state.velocity = TurnVectorToward(m_state.velocity, point - m_position, limit);
}

void CBullet::TurnWhole(const CVector3& point) { TurnToward(point, 180.0f); }

void CBullet::VolleyRule()
{
    const CBulletValues& v = Values();
    CBulletState& s = m_state;
    if (v.shootFlg && i32(s.counterB) < v.rushCount && !s.firing && s.age >= s.markTime + v.rushInterval) {
        ++s.counterB;
        s.firing = 1;
        s.markTime = s.age;
        FireChildBarrage();
    }
}

void CBullet::PlaceAtShotObject()
{
    if (const CObjectDivision* shot = GetShotObject())
        m_position = PositionOf(shot) + Turned(m_state.offset, RotationOf(shot));
}

void CBullet::Revolve()
{
    m_state.offset = RotateAboutAxis(m_state.offset, m_state.axis, Values().optionVelocity * Dt());
    if (const CObjectDivision* shot = GetShotObject())
        m_position = PositionOf(shot) + Turned(Values().positionOffset + m_state.offset, RotationOf(shot));
}

void CBullet::OffsetTilt()
{
    // Per frame, not per second: the tilt follows the frame rate.
    const CVector3 a(AbsF(m_state.offset.x), AbsF(m_state.offset.y), AbsF(m_state.offset.z));
    const CVector3& angles = Values().revolveAngle;
    if (a.x <= a.y && a.x <= a.z) m_state.offset = RotateAboutAxis(m_state.offset, CVector3(0, 0, 1), angles.z);
    else if (a.y <= a.z) m_state.offset = RotateAboutAxis(m_state.offset, CVector3(1, 0, 0), angles.x);
    else m_state.offset = RotateAboutAxis(m_state.offset, CVector3(0, 1, 0), angles.y);
}

i32 CBullet::Straight(u32)
{
    m_state.step = m_state.velocity * Dt();
    FollowShootObject();
    return 1;
}

i32 CBullet::Homing(u32 frame)
{
    const CBulletValues& v = Values();
    CBulletState& s = m_state;
    CObjectDivision* target = GetTarget();
    if (!target) return Straight(frame);
    const CVector3 tp = PositionOf(target);
    const CVector3 toTarget = tp - m_position;
    const f32 d2 = toTarget.LengthSquared();
    if (d2 <= v.optionLength * v.optionLength) {
        if (v.moveType == 9 && IsHittable(target)) {
            s.motionType = 10;
            s.releaseType = 0;
            s.axis = v.axisVec;
            s.offset = m_position - tp;
            s.strength = 1.0f;
            s.age = 0.0f;
            s.stageHitEnabled = 0;
            s.characterHitEnabled = 0;
            return 1;
        }
        if (v.moveType == 11 && IsHittable(target)) {
            s.motionType = 11;
            CVector3 away;
            (m_position - tp).GetNormalized(&away);
            s.offset = away * v.optionLength;
            s.endPoint = tp;
            const f32 d = SqrtF(d2);
            if (s.counterB != 0 || d2 - v.optionLength * v.optionLength >= -v.optionFitLength || s.speed <= 0.0f)
                s.age = s.markTime;
            else
                s.age = s.markTime + v.rushInterval + (v.optionLength - d) / s.speed;
            return 1;
        }
        if (v.moveType == 20) {
            if (s.markTime == 0.0f) s.markTime = s.age;
            else if (s.age >= s.markTime + v.stopTime) s.firing = 1;
            return 1;
        }
    }
    const f32 angle = s.velocity.Angle(toTarget);
    if (v.moveType == 2 && angle >= v.pursuitAngleLimit) {
        s.motionType = 0;   // lost for good
        return 1;
    }
    f32 limit = Dt() * s.turnRate;
    if (GetShotObject() != target && !IsHittable(target)) limit *= v.pursuitAngleAttenuation;
    // TurnToward(tp, limit), with the angle to the target taken above.
    s.velocity = TurnVectorToward(s.velocity, toTarget, angle, limit);
    s.step = s.velocity * Dt();
    RotateToward(s.velocity);
    return 1;
}

i32 CBullet::HomingVolley(u32 frame)
{
    Homing(frame);
    VolleyRule();
    return 1;
}

void CBullet::BrakeSteps(bool aim)
{
    const CBulletValues& v = Values();
    CBulletState& s = m_state;
    if (s.age < v.breakTime) {
        s.step = s.velocity * (Dt() * (v.breakTime - s.age));
    } else if (s.age < v.breakTime + v.stopTime) {
        if (const CObjectDivision* target = aim ? GetTarget() : nullptr) {
            CVector3 unit;
            (PositionOf(target) - m_position).GetNormalized(&unit);
            s.velocity = unit * s.speed;
        }
    } else {
        s.step = s.velocity * Dt();
    }
}

i32 CBullet::BrakeGo(u32)
{
    BrakeSteps(true);
    return 1;
}

i32 CBullet::TurnBrakeGo(u32)
{
    const CBulletValues& v = Values();
    if (const CObjectDivision* target = GetTarget()) {
        const CVector3 toTarget = PositionOf(target) - m_position;
        const f32 angle = m_state.velocity.Angle(toTarget);
        if (angle < v.pursuitAngleLimit) {
            f32 limit = Dt() * m_state.turnRate;
            if (!IsHittable(target)) limit *= v.pursuitAngleAttenuation;
            m_state.velocity = TurnVectorToward(m_state.velocity, toTarget, angle, limit);
        }
    }
    BrakeSteps(false);
    RotateToward(m_state.velocity);
    return 1;
}

i32 CBullet::SharpHoming(u32 frame)
{
    Homing(frame);
    const CBulletValues& v = Values();
    CBulletState& s = m_state;
    const CObjectDivision* target = GetTarget();
    if (!target) return 1;
    const CVector3 to = PositionOf(target) - m_position;
    if (i32(s.counterB) < v.rushCount && s.age >= s.markTime + v.rushInterval &&
        to.LengthSquared() <= v.shootRange * v.shootRange && s.velocity.Angle(to) <= v.pursuitAngleLimit) {
        TurnWhole(PositionOf(target));
        ++s.counterB;
        s.markTime = s.age;
    }
    return 1;
}

i32 CBullet::Orbit(u32)
{
    const CBulletValues& v = Values();
    CBulletState& s = m_state;
    const CObjectDivision* target = GetTarget();
    const CVector3 tp = target ? PositionOf(target) : m_position;
    if (s.age >= v.optionTime) {
        s.motionType = 0;
        CVector3 away;
        (m_position - tp).GetNormalized(&away);
        s.velocity = away * s.speed;
        s.stageHitEnabled = s.characterHitEnabled = 1;
        s.releaseType = 0;
        return 1;
    }
    const f32 reach = Dt() * s.speed + v.optionLength;
    if (target && (tp - m_position).LengthSquared() <= reach * reach) {
        OffsetTilt();
        s.offset = RotateAboutAxis(s.offset, s.axis, v.optionVelocity * Dt());
        m_position = tp + s.offset;
        RotateToward(tp - m_position);
        VolleyRule();
        return 1;
    }
    s.motionType = 2;
    if (target) {
        CVector3 unit;
        (tp - m_position).GetNormalized(&unit);
        s.velocity = unit * s.speed;
    }
    s.stageHitEnabled = s.characterHitEnabled = 1;
    s.releaseType = 2;
    return 1;
}

i32 CBullet::PassThrough(u32)
{
    const CBulletValues& v = Values();
    CBulletState& s = m_state;
    OffsetTilt();
    s.offset = RotateAboutAxis(s.offset, s.axis, v.optionVelocity * Dt());
    // A speed of 0 crosses at once instead of dividing by it.
    const f32 h = s.speed > 0.0f ? v.optionLength / s.speed : 0.0f;
    const f32 period = v.rushInterval + 2.0f * h;
    const f32 start = f32(s.counterB) * period;
    const CObjectDivision* target = GetTarget();
    const f32 reach = Dt() * s.speed;
    // The squared distance against one frame's reach, unsquared: bullet
    // files are tuned to this threshold.
    if (target && (PositionOf(target) - s.endPoint).LengthSquared() < reach) {
        s.endPoint = PositionOf(target);
        if (s.age < start + period) {
            const f32 into = s.age - start - v.rushInterval;
            f32 f = h > 0.0f ? 1.0f - into / h : (into >= 0.0f ? -1.0f : 1.0f);
            f = f < -1.0f ? -1.0f : f > 1.0f ? 1.0f : f;
            m_position = s.endPoint + s.offset * f;
        } else {
            ++s.counterB;
            s.offset = -s.offset;
            m_position = s.endPoint + s.offset;
            if (i32(s.counterB) >= v.rushCount) s.releaseType = 0;
        }
        return 1;
    }
    s.motionType = 2;
    if (target) {
        CVector3 unit;
        (PositionOf(target) - m_position).GetNormalized(&unit);
        s.velocity = unit * s.speed;
    }
    s.markTime = start + period;
    ++s.counterB;
    s.age = 0.0f;
    return 1;
}

void CBullet::OptionApproach()
{
    const CBulletValues& v = Values();
    if (const CObjectDivision* owner = GetOwner())
        m_position = PositionOf(owner) +
                     Turned(m_state.offset, RotationOf(owner)) * Smoothstep(m_state.age / v.breakTime);
    m_state.markTime = v.rushInterval;
}

i32 CBullet::OptionTargeting(u32)
{
    const CBulletValues& v = Values();
    CBulletState& s = m_state;
    if (s.age < v.breakTime) {
        OptionApproach();
        return 1;
    }
    OffsetTilt();
    Revolve();
    const BattleCharacterList* list = nullptr;
    SendObjectMessage(kMsgCharacterList, CObjectRegistry::kHandlerId, -1, reinterpret_cast<intptr_t>(&list));
    if (!list) return 1;
    s.firing = 0;
    CObjectDivision* owner = GetOwner();
    if (owner) m_rotation = RotationOf(owner);
    const CVector3 from = owner ? PositionOf(owner) : m_position;
    CObjectDivision* nearest = nullptr;
    f32 best = v.shootRange * v.shootRange;
    for (u32 i = 0; i < list->count; ++i) {
        CObjectDivision* c = list->characters[i];
        if (!c || c == owner || c->GetShooterGroup() == s.shooterGroup) continue;
        if (c->HandleMessage(kMsgIsDefeated, this, 0) != 0) continue;
        const f32 d2 = (PositionOf(c) - from).LengthSquared();
        if (d2 <= best) {
            best = d2;
            nearest = c;
        }
    }
    if (!nearest) {
        if (owner) {
            CVector3 back;
            owner->GetBackVector(&back);
            (-back).GetNormalized(&s.velocity);
        }
        return 1;
    }
    if (s.age >= s.markTime + v.rushInterval) {
        SetTargetId(s, nearest);
        s.markTime = s.age;
        s.firing = 1;
        FireChildBarrage();
    }
    return 1;
}

i32 CBullet::OptionSpread(u32)
{
    if (m_state.age < Values().breakTime) {
        OptionApproach();
        return 1;
    }
    OffsetTilt();
    Revolve();
    return 1;
}

i32 CBullet::OptionRevolve(u32)
{
    OffsetTilt();
    Revolve();
    if (const CObjectDivision* owner = GetOwner()) m_rotation = RotationOf(owner);
    VolleyRule();
    return 1;
}

void CBullet::GrowBeam(bool twoPhase)
{
    const CBulletValues& v = Values();
    CBulletState& s = m_state;
    const CVector3 grow = v.scalePow * Dt();
    if (twoPhase && s.counterB == 1) {
        if (m_scaling.Length() > v.shootMinRange) m_scaling -= grow;
        return;
    }
    if (m_scaling.Length() < v.shootRange && s.counterA == 0) m_scaling += grow;
    if (twoPhase && m_scaling.Length() > v.shootRange) {
        s.counterB = 1;
        for (u32 i = 0; i < 4; ++i)
            if (s.hitCount[i] > 0) s.hitTimer[i] = 2.0f * (v.hitInterval - s.hitTimer[i]);
    }
}

void CBullet::RebuildBeam()
{
    const CVector3 along = m_scaling - CVector3(1.0f, 1.0f, 1.0f);
    CVector3 unit;
    along.GetNormalized(&unit);
    m_state.step = -Turned(along + unit, m_rotation);
    m_state.endPoint = m_position + m_state.step;
}

i32 CBullet::BeamOwner(u32)
{
    GrowBeam(false);
    if (const CObjectDivision* owner = GetOwner()) {
        m_rotation = RotationOf(owner);
        m_position = PositionOf(owner) + Turned(m_state.offset, m_rotation);
    }
    m_rotation += m_state.axis + Values().rotationAngle * m_state.age;
    RebuildBeam();
    return 1;
}

i32 CBullet::BeamShotObject(u32)
{
    const i32 moveType = Values().moveType;
    GrowBeam(m_state.motionType == 19);
    const CObjectDivision* shot = GetShotObject();
    if (shot && (moveType == 16 || moveType == 17 || moveType == 19 || moveType == 23)) {
        m_rotation = RotationOf(shot);
        m_position = PositionOf(shot) + Turned(m_state.offset, m_rotation);
    }
    if (shot && IsDirectionType()) RebuildBeam();
    return 1;
}

i32 CBullet::BeamGrow(u32)
{
    GrowBeam(false);
    if (GetShotObject() && IsDirectionType()) RebuildBeam();
    return 1;
}

i32 CBullet::Carrier(u32 frame)
{
    if (!m_state.firing) return Homing(frame);
    if (!m_child || m_child->IsFinished()) {
        m_state.releaseType = 0;
        ReleaseOnBreak();
    }
    return 1;
}

i32 CBullet::StopAndFire(u32 frame)
{
    CBulletState& s = m_state;
    if (!s.firing) {
        if (s.age < Values().stopTime) {
            if (s.speed > 0.0f) Homing(frame);
        } else {
            s.firing = 1;
        }
    }
    if (Values().moveType == 23) PlaceAtShotObject();
    return 1;
}

i32 CBullet::GrowingStopAndFire(u32 frame)
{
    StopAndFire(frame);
    const CBulletValues& v = Values();
    const f32 grow = v.hitRadiusAdd * Dt();
    const auto clamp = [](f32 x, f32 lo, f32 hi) { return x < lo ? lo : x > hi ? hi : x; };
    m_hitRadius = clamp(m_hitRadius + grow, v.shootMinRange, v.shootRange);
    m_state.throughVector.x = clamp(m_state.throughVector.x + grow, 0.0f, v.shootRange);
    m_state.throughVector.z = clamp(m_state.throughVector.z + grow, 0.0f, v.shootRange);
    return 1;
}

void CBullet::TurnBack()
{
    const CBulletValues& v = Values();
    CBulletState& s = m_state;
    const CObjectDivision* shot = GetShotObject();
    const CObjectDivision* target = GetTarget();
    if (shot) {
        const CVector3 sp = PositionOf(shot);
        if ((sp - m_position).LengthSquared() <= v.shootRange * v.shootRange || !target || v.aimingFlg)
            TurnWhole(sp);
    }
    s.targetId = s.shotObjectId;
    s.markTime = 0.0f;
    s.age = 0.0f;
}

i32 CBullet::ReturningBlade(u32 frame)
{
    const CBulletValues& v = Values();
    CBulletState& s = m_state;
    CObjectDivision* shot = GetShotObject();
    CObjectDivision* target = GetTarget();
    const bool outbound = !shot || target != shot;
    if (outbound) {
        bool back = s.age >= v.breakTime;
        if (target && !back) {
            const u32 slot = SlotOf(target, this);
            back = i32(s.hitCount[slot]) >= v.hitCount ||
                   (PositionOf(target) - m_position).LengthSquared() <= v.optionLength * v.optionLength;
        }
        if (back) TurnBack();
    } else {
        s.markTime += Dt();
        if (s.markTime >= v.rushInterval) {
            s.markTime = 0.0f;
            s.turnRate += v.pursuitAngleAdd;
            CVector3 unit;
            s.velocity.GetNormalized(&unit);
            s.velocity += unit * 0.1f;
        }
        if ((PositionOf(shot) - m_position).LengthSquared() <= v.optionLength * v.optionLength) {
            s.age = v.existenceTime;
            CObjectDivision* owner = GetOwner();
            if (owner && v.shootRestrict != 0) {
                i32 none = 0;
                owner->HandleMessage(kMsgShootRestrict, this, reinterpret_cast<intptr_t>(&none));
            }
        }
    }
    return Homing(frame);
}

i32 CBullet::Swing(u32 frame)
{
    const CBulletValues& v = Values();
    CBulletState& s = m_state;
    m_position -= s.swingOffset;
    Homing(frame);
    const CObjectDivision* target = GetTarget();
    const CVector3 p = target ? PositionOf(target) : s.velocity * v.existenceTime;
    const CVector3 d = p - m_position;
    // A SWINGRANGE of 0 swings at full amplitude at every distance.
    f32 reach = v.swingRange > 0.0f ? d.Length() / v.swingRange : 1.0f;
    if (reach > 1.0f) reach = 1.0f;
    f32 amplitude = v.swingAngle * reach;
    if (amplitude < v.swingMinRange) amplitude = v.swingMinRange;
    // SWINGSPEED is in radians per second of age.
    s.swingOffset = Turned(v.swingVec * (SinF(s.age * v.swingSpeed) * amplitude), RotationToward(d));
    m_position += s.swingOffset;
    return 1;
}

i32 CBullet::MoveStep()
{
    if (!m_record || IsStopped()) return 0;
    const CBulletValues& v = Values();
    if (v.moveType != 22) m_hitRadius = v.hitRadius;
    if (!IsDirectionType()) {
        m_position += m_state.step;
        m_state.step = CVector3();
        if (m_state.motionType == 17) m_hitRadius = m_scaling.Length();
    }
    m_hitCentre = m_position;
    ComputeGridBox(m_position, m_state.step, m_hitRadius);
    FollowBone();
    UpdateWorld();
    return 1;
}

u32 CBullet::OnRetarget(CMessageObject* sender, CObjectDivision* newTarget)
{
    const CBulletValues& v = Values();
    CBulletState& s = m_state;
    if (!sender || sender->GetId() != s.ownerId || !newTarget || (v.moveType != 7 && v.moveType != 15)) return 1;
    if (i32(s.counterA) >= v.curveCount) return 1;
    if (s.age < v.rushInterval) return 0;
    SetTargetId(s, newTarget);
    if (v.shootFlg) {
        FireChildBarrage();
        s.firing = 1;
        if (v.moveType == 7) ReleaseOnHit();
    }
    TurnToward(PositionOf(newTarget), v.pursuitAngleLimit);
    ++s.counterA;
    return 0;
}
