// Movement integration, turning toward the wanted view and the bone aims.
// All angles are degrees; every rate is per second times the frame time.
#include "game/battle/character/CharacterAction.h"

#include "engine/core/FloatMath.h"
#include "engine/model/AnimationController.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/Effect.h"

#include <algorithm>

namespace {

// One step only: the values come from a single frame's turn.
f32 Wrap360(f32 v) { return v >= 360.0f ? v - 360.0f : v < 0.0f ? v + 360.0f : v; }
f32 Wrap180(f32 d) { return d > 180.0f ? d - 360.0f : d < -180.0f ? d + 360.0f : d; }
f32 Clamp(f32 v, f32 lo, f32 hi) { return std::min(std::max(v, lo), hi); }

f32 YawOf(const CVector3& d) { return Atan2F(d.x, d.z) * kRadToDeg + 180.0f; }
f32 PitchOf(const CVector3& d) { return Atan2F(d.y, SqrtF(d.x * d.x + d.z * d.z)) * kRadToDeg; }

}  // namespace

CObjectDivision* CCharacterBase::GetLockedTarget() const
{
    CObjectRegistry* registry = GetObjectRegistry();
    if (!m_status.lockedTargetId || !registry) return nullptr;
    return dynamic_cast<CObjectDivision*>(registry->Find(m_status.lockedTargetId));
}

u32 CCharacterBase::IsTargetBehind() const
{
    const CObjectDivision* target = GetLockedTarget();
    if (!target || !m_parameter) return 0;
    const f32 yaw = YawOf(*target->GetPosition() - m_position);
    return AbsF(Wrap180(yaw - m_rotation.y)) >= m_parameter->values.general.escapeAngleLimit ? 1 : 0;
}

f32 CCharacterBase::GetMaxSpeed() const
{
    if (!m_parameter) return 0.0f;
    const CharacterGeneral& g = m_parameter->values.general;
    return !GetLockedTarget() || IsTargetBehind() ? g.backMoveVelocity : g.moveVelocity;
}

f32 CCharacterBase::GetDeceleration() const { return m_parameter ? m_parameter->values.general.moveDeceleration : 0.0f; }
f32 CCharacterBase::GetRotationSpeed() const { return m_parameter ? m_parameter->values.general.rotationVelocity : 0.0f; }
f32 CCharacterBase::GetSpeedFactor() const { return 1.0f; }

i32 CCharacterBase::UpdateMovement(u32)
{
    CharacterStatus& s = m_status;
    const f32 dt = GetFrameTime();
    CVector3& v = s.velocity;
    const CVector3& a = s.acceleration;
    const f32 factor = GetSpeedFactor();
    for (int i = 0; i < 3; ++i) {
        if ((v[i] >= 0.0f && a[i] > 0.0f) || (v[i] <= 0.0f && a[i] < 0.0f)) continue;
        const f32 step = dt * GetDeceleration() * factor;
        if (step < AbsF(v[i])) v[i] += v[i] > 0.0f ? -step : step;
        else v[i] = 0.0f;
    }
    const f32 speed = v.Length(), push = a.Length();
    const f32 cap = GetMaxSpeed() * factor;
    if (cap <= speed + push) {
        const f32 excess = dt * (m_parameter ? m_parameter->values.general.excessDeceleration : 0.0f);
        CVector3 unit;
        v.GetNormalized(&unit);
        v = unit * (cap <= speed - excess - push ? speed - excess - push : cap - push);
    }
    v += a;
    CEffect* flight = s.attached[0];
    if (v.Length() <= 0.0f && push <= 0.0f && flight && !flight->GetEndFlag()) flight->Finish();
    if (!s.attached[0]) s.moveEffect = 0;
    s.displacement = v * dt;

    if (IsChangedAnimation(FindMotionKey("MOVEUP")) || IsChangedAnimation(FindMotionKey("MOVEDOWN")))
        s.viewAngles.Set(PitchOf(v), YawOf(v), 0.0f);
    else if (!IsSliding())
        s.viewAngles = m_rotation;
    else if (s.slideAngle == -2.0f)
        s.viewAngles.x = 90.0f;
    else if (s.slideAngle == -3.0f)
        s.viewAngles.x = -90.0f;
    else {
        s.viewAngles = s.targetAngles;
        s.viewAngles.y += s.slideAngle;
    }
    return 1;
}

i32 CCharacterBase::TurnToView()
{
    CVector3& t = m_status.targetAngles;
    t.x = Wrap360(t.x);
    t.y = Wrap360(t.y);
    const f32 r = GetRotationSpeed() * GetFrameTime();
    m_rotation.x = Wrap360(m_rotation.x + Clamp(Wrap180(t.x - m_rotation.x), -r, r));
    m_rotation.y = Wrap360(m_rotation.y + Clamp(Wrap180(t.y - m_rotation.y), -r, r));
    return 1;
}

namespace {

enum class Bone { kBody, kNeck, kArm };

}  // namespace

// The common bone aim: the wanted turn toward the target within the bone's
// reach, approached at BONEROTATIONVELOCITY.
static i32 AimBone(CCharacterBase& self, BoneAim& aim, Bone bone, bool canAim, bool showArm)
{
    const CCharacterParameter* parameter = self.GetParameter();
    if (!self.GetAnimationController() || !aim.frame || !parameter) return 0;
    const CharacterGeneral& g = parameter->values.general;
    const CharacterStatus& s = *self.GetStatus();
    const CVector3& rotation = *self.GetRotation();
    CVector3 w;
    const CObjectDivision* target = self.GetLockedTarget();
    if (canAim && target) {
        const CVector3 d = *target->GetPosition() - *self.GetPosition();
        w.Set(Wrap180(PitchOf(d) - rotation.x), Wrap180(YawOf(d) - rotation.y), 0.0f - rotation.z);
        if (AbsF(w.y) >= g.boneRotationYLimit) {
            w.SetZero();
        } else if (bone == Bone::kBody) {
            w.x = Clamp(w.x, -g.bodyBoneRotationXLimit, g.bodyBoneRotationXLimit);
            w.y = Clamp(w.y, -g.bodyBoneRotationYLimit, g.bodyBoneRotationYLimit);
        } else if (bone == Bone::kNeck) {
            w.x = Clamp(w.x, -g.neckBoneRotationXLimit, g.neckBoneRotationXLimit);
            w.y = Clamp(w.y, g.neckBoneRotationYMinusLimit, g.neckBoneRotationYPlusLimit);
        } else {
            const f32 reach = g.armBoneRotationYLimit + g.bodyBoneRotationYLimit;
            w.x = Clamp(w.x, -g.armBoneRotationXLimit, g.armBoneRotationXLimit);
            w.y = Clamp(w.y, -reach, reach);
        }
    }
    w.x = Wrap360(w.x);
    w.y = Wrap360(w.y);
    CVector3 e = w - aim.rotation;
    if (bone != Bone::kBody) e -= s.body.rotation;
    const f32 r = g.boneRotationVelocity * GetFrameTime();
    aim.rotation.x = Wrap360(aim.rotation.x + Clamp(Wrap180(e.x), -r, r));
    aim.rotation.y = Wrap360(aim.rotation.y + Clamp(Wrap180(e.y), -r, r));
    const CVector3 shown = showArm ? aim.rotation : CVector3();
    aim.frame->Adjust[0].RotationEuler(&shown);
    return 1;
}

i32 CCharacterBase::AimBodyBone(u32)
{
    return AimBone(*this, m_status.body, Bone::kBody, CanAimBody() != 0, true);
}

i32 CCharacterBase::AimNeckBone(u32)
{
    return AimBone(*this, m_status.neck, Bone::kNeck, CanAimHead() != 0, true);
}

i32 CCharacterBase::AimArmBone(u32)
{
    return AimBone(*this, m_status.arm, Bone::kArm, CanAimArm() != 0, IsShooting() != 0);
}

i32 CCharacterBase::PostUpdate(u32)
{
    CharacterStatus& s = m_status;
    m_position += s.displacement;
    s.displacement.SetZero();
    s.acceleration.SetZero();
    if (KeepsRotationAsView()) s.targetAngles = m_rotation;
    if (LevelsView()) s.targetAngles.x = 0.0f;
    UpdateMatrix();
    if (CAnimationController* controller = GetAnimationController()) controller->UpdateMatrices(&m_world);
    return 1;
}
