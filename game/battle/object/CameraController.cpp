#include "game/battle/object/CameraController.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Matrix.h"
#include "engine/core/ObjectRegistry.h"
#include "engine/graphics/Camera.h"
#include "engine/platform/FrameTime.h"
#include "game/battle/object/ObjectDivision.h"

namespace {

constexpr f32 kNear = 0.1f;
constexpr f32 kFar = 1500.0f;
constexpr f32 kLookAhead = 10.0f;   // the camera looks this far past the target anchor

// RETURNLENGTH and CHANGETIME are the two columns a blend leaves alone.
constexpr bool Blended(u32 column) { return column != kCameraReturnLength && column != kCameraChangeTime; }

f32 Clamp(f32 v, f32 low, f32 high)
{
    if (v < low) v = low;
    if (v > high) v = high;
    return v;
}

// One addition or subtraction of 360, as the turn needs no more.
f32 WrapDegrees(f32 a)
{
    if (a >= 360.0f) return a - 360.0f;
    if (a < 0.0f) return a + 360.0f;
    return a;
}

}  // namespace

CCameraController::CCameraController(CCameraParameter* parameter)
    : m_parameter(parameter), m_camera(new CCamera())
{
    if (m_camera) m_camera->SetViewport(0, 0, 0, 0);
}

CCameraController::CCameraController(const CCameraController& other)
    : m_state(other.m_state),
      m_collision(other.m_collision),
      m_parameter(other.m_parameter ? new CCameraParameter(*other.m_parameter) : nullptr),
      m_eyeObject(other.m_eyeObject),
      m_targetObject(other.m_targetObject),
      m_eyeObjectId(other.m_eyeObjectId),
      m_targetObjectId(other.m_targetObjectId),
      m_participantSlot(other.m_participantSlot),
      m_camera(other.m_camera ? new CCamera(*other.m_camera) : nullptr)
{
}

CCameraController::~CCameraController() { CCameraController::Release(); }

i32 CCameraController::Release()
{
    delete m_parameter;
    m_parameter = nullptr;
    delete m_camera;
    m_camera = nullptr;
    return 1;
}

void CCameraController::SetPoints(const CVector3* eye, const CVector3* target)
{
    if (eye) m_state.eyeAnchor = *eye;
    if (target) m_state.targetAnchor = *target;
}

void CCameraController::SetAngles(f32 yaw, f32 pitch)
{
    // Into [-180, 180): a pitch already inside stays exact.
    f32 p = -pitch;
    if (p >= 180.0f || p < -180.0f) {
        p = FmodF(p + 180.0f, 360.0f);
        if (p < 0.0f) p += 360.0f;
        p -= 180.0f;
    }
    m_state.targetYaw = m_state.yaw = yaw;
    m_state.targetPitch = m_state.pitch = p;
}

void CCameraController::SetEyeObject(CObjectDivision* object)
{
    m_eyeObject = object;
    m_eyeObjectId = object ? object->GetId() : 0;
}

void CCameraController::SetTargetObject(CObjectDivision* object)
{
    m_targetObject = object;
    m_targetObjectId = object ? object->GetId() : 0;
}

void CCameraController::SetOwner(u32 ownerId, u32 followedId)
{
    const CObjectRegistry* registry = GetObjectRegistry();
    auto find = [registry](u32 id) {
        return registry && id ? dynamic_cast<CObjectDivision*>(registry->Find(id)) : nullptr;
    };
    SetEyeObject(find(ownerId));
    SetTargetObject(find(followedId));
}

void CCameraController::SetMode(u8 mode, f32 blendTime)
{
    if (mode == m_state.mode || mode >= CCameraParameter::kModeCount) return;
    m_state.previousMode = m_state.mode;
    m_state.mode = mode;
    m_state.blendElapsed = 0.0f;
    m_state.blendTime = blendTime;
    m_state.blending = blendTime > 0.0f ? 1 : 0;
}

void CCameraController::FrameShootOut(const CVector3& midpoint, f32 clock, f32 verticalWidth)
{
    CCameraState& s = m_state;
    s.eyeAnchor = s.targetAnchor = midpoint;
    const f32 t = (SinF(clock * verticalWidth * kDegToRad) + 1.0f) * 0.5f;
    const f32 low = s.values[kCameraVerticalAngleMin], high = s.values[kCameraVerticalAngleMax];
    s.pitch = s.targetPitch = low + (high - low) * t;
    s.yaw = s.targetYaw = WrapDegrees(s.values[kCameraRotationVelocity] * clock);
}

i32 CCameraController::LookAt(const CVector3* point)
{
    if (!point) return 0;
    const CVector3 d = m_state.eyeAnchor - *point;
    m_state.targetYaw = Atan2F(d.x, d.z) * kRadToDeg;
    const f32 pitch = Atan2F(d.y, SqrtF(d.x * d.x + d.z * d.z)) * kRadToDeg;
    m_state.targetPitch = Clamp(pitch, m_state.values[kCameraVerticalAngleMin], m_state.values[kCameraVerticalAngleMax]);
    return 1;
}

i32 CCameraController::LookAtObject(const CObjectDivision* object)
{
    if (!object) return 0;
    return LookAt(object->GetPosition());
}

CObjectDivision* CCameraController::Live(CObjectDivision* object, u32 id) const
{
    if (!object) return nullptr;
    const CObjectRegistry* registry = GetObjectRegistry();
    return registry && registry->Find(id) == object ? object : nullptr;
}

void CCameraController::Follow(CVector3& anchor, CCameraFollower& f, const CObjectDivision* object, f32 dt)
{
    const f32* v = m_state.values;
    const CVector3 p = *object->GetPosition();
    const CVector3 toObject = p - anchor;
    toObject.Normalize(&f.direction);
    f32 d = toObject.Length();

    const f32 ramp = f.accelerationTime * v[kCameraMoveAcceleration];
    f32 step = dt * v[kCameraMoveVelocity] * (ramp < 1.0f ? ramp : 1.0f);

    CVector3 goal;
    if (f.tracing) {
        f.traceTime += dt;
        goal = p - f.direction * (v[kCameraLengthMax] * v[kCameraTraceLengthMax]);
        if (m_state.jump) {
            anchor = goal;
            return;
        }
        const f32 toGoal = (goal - anchor).Length();
        if (step < toGoal) {
            d = toGoal;
            step += dt * f.traceTime * v[kCameraExcessVelocity] * d;
        } else {
            f.tracing = 0;
            f.traceTime = 0.0f;
        }
    }

    if (f.tracing && step >= d) {
        anchor = goal;
    } else if (d > 0.0f) {
        anchor += f.direction * (step < d ? step : d);
        f.accelerationTime += dt;
        if (d > v[kCameraLengthMax] && !f.tracing) {
            f.tracing = 1;
            f.traceTime = 0.0f;
        }
    } else {
        f.accelerationTime = 0.0f;
    }
}

i32 CCameraController::Update(u32)
{
    const f32 dt = GetFrameTime();
    CCameraState& s = m_state;

    // 1. Parameters: a blend always starts from the previous mode's stored row.
    if (s.blending) {
        s.blendElapsed += dt;
        if (s.blendElapsed > s.blendTime) {
            s.blendElapsed = s.blendTime;
            s.blending = 0;
        }
        // The record is the fighter's to write too: a blend time of 0 or
        // less lands on the new row instead of dividing by it.
        const f32 w = s.blendTime > 0.0f ? s.blendElapsed / s.blendTime : 1.0f;
        for (u32 c = 0; c < CCameraParameter::kColumnCount; ++c) {
            if (Blended(c)) s.values[c] = Row(s.previousMode, c) * (1.0f - w) + Row(s.mode, c) * w;
        }
    } else {
        for (u32 c = 0; c < CCameraParameter::kColumnCount; ++c) s.values[c] = Row(s.mode, c);
    }

    // 2. Anchors.
    if (s.values[kCameraMoveVelocity] > 0.0f) {
        if (const CObjectDivision* o = Live(m_eyeObject, m_eyeObjectId)) Follow(s.eyeAnchor, s.eye, o, dt);
        if (const CObjectDivision* o = Live(m_targetObject, m_targetObjectId)) Follow(s.targetAnchor, s.target, o, dt);
        s.jump = 0;
    }

    // 3, 4. Turning; a negative rate holds the angles rather than turning away.
    f32 limit = dt * s.values[kCameraRotationVelocity];
    if (!(limit > 0.0f)) limit = 0.0f;
    s.targetYaw = WrapDegrees(s.targetYaw);
    f32 delta = s.targetYaw - s.yaw;
    if (delta > 180.0f) delta -= 360.0f;
    else if (delta < -180.0f) delta += 360.0f;
    s.yaw = WrapDegrees(s.yaw + Clamp(delta, -limit, limit));
    s.pitch += Clamp(s.targetPitch - s.pitch, -limit, limit);

    BuildView();
    return 1;
}

void CCameraController::BuildView()
{
    CCameraState& s = m_state;
    const f32* v = s.values;
    const CVector3 up(0.0f, 1.0f, 0.0f);

    CMatrix heading;
    heading.RotationY(s.yaw);
    CVector3 e(0.0f, 0.0f, v[kCameraDistance]);
    e.TransformCoord(heading);
    CVector3 t(0.0f, 0.0f, -kLookAhead);
    t.TransformCoord(heading);

    // The pitch axis comes from the eye offset, scaled by DISTANCE so that a
    // negative one turns the same way as a positive one; with DISTANCE 0
    // there is no offset, so the heading gives it (as for any other).
    CVector3 right;
    if (v[kCameraDistance] == 0.0f) {
        CVector3 forward(t.x, t.y, t.z);
        forward.Normalize();
        right = up.Cross(forward);
    } else {
        CVector3 away = -e;
        away.Normalize();
        right = up.Cross(away) * v[kCameraDistance];
    }
    right.Normalize();
    CMatrix pitch;
    pitch.RotationAxisDirect(s.pitch, &right);

    CVector3 eye = e;
    eye.TransformCoord(pitch);
    eye += s.eyeAnchor;
    CVector3 target = t;
    target.TransformCoord(pitch);
    target += s.targetAnchor;

    const f32 side = s.side == 1 ? 1.0f : -1.0f;
    eye += right * (v[kCameraOffsetX] * side);
    target += right * (v[kCameraTargetOffsetX] * side);
    eye.y += v[kCameraOffsetY];
    target.y += v[kCameraTargetOffsetY];
    s.viewDirection = target - eye;

    if (!m_camera) return;
    m_camera->SetPerspective(v[kCameraFov], -1.0f, kNear, kFar);
    m_camera->SetLookAt(&eye, &target, &up);
}

void CCameraController::GetForward(CVector3* out) const
{
    if (!out) return;
    CMatrix m;
    m.RotationYawPitchRoll(-m_state.pitch, m_state.yaw, 0.0f);
    out->Set(0.0f, 0.0f, -1.0f);
    out->TransformCoord(m);
}

void CCameraController::GetView(CVector3* eye, CVector3* angles) const
{
    *eye = m_camera ? m_camera->GetEye() : CVector3();
    angles->Set(-m_state.pitch, m_state.yaw, 0.0f);
}

void CCameraController::HashState(CStateHash& hash) const
{
    const CCameraState& s = m_state;
    hash.U32(s.previousMode).U32(s.mode).U32(s.side);
    hash.Vector(s.eyeAnchor).Vector(s.targetAnchor).Vector(s.viewDirection);
    for (const CCameraFollower* f : {&s.eye, &s.target})
        hash.F32(f->accelerationTime).U32(f->tracing).F32(f->traceTime).Vector(f->direction);
    hash.F32(s.yaw).F32(s.targetYaw).F32(s.pitch).F32(s.targetPitch);
    hash.F32(s.blendTime).F32(s.blendElapsed).U32(s.blending).U32(s.jump);
    for (f32 value : s.values) hash.F32(value);
    for (u32 i = 0; i < CCameraParameter::kValueCount; ++i) hash.F32(m_parameter ? m_parameter->values[i] : 0.0f);
    hash.U32(Live(m_eyeObject, m_eyeObjectId) ? m_eyeObjectId : 0);
    hash.U32(Live(m_targetObject, m_targetObjectId) ? m_targetObjectId : 0);
    hash.U32(m_participantSlot);
}
