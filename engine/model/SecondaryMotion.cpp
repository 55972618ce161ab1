// The swing of linked bones (hair, cloth, tails): each keeps an offset of
// its tip in its bind space that gravity, the wind direction and its
// parent's motion push and that decays by itself; the bone turns about its
// root point towards tip + offset, and is kept outside the collision
// spheres of the other bones.
#include "engine/model/AnimationController.h"

#include "engine/core/FloatMath.h"
#include "engine/model/ModelBone.h"
#include "engine/platform/FrameTime.h"

#include <bit>
#include <cmath>

namespace {

const CMatrix kIdentity;

// Rounds over the spheres, for a tip pushed from one into another.
constexpr u32 kCollisionPasses = 4;

u32 LinkType(const CModelBone* bone) { return bone ? bone->LinkValues[0] : 0; }

// The second and third link values are floats; anything else counts 0.
f32 LinkFloat(const CModelBone* bone, int i)
{
    const f32 v = std::bit_cast<f32>(bone->LinkValues[i]);
    return std::isfinite(v) ? v : 0.0f;
}

CVector3 Point(const CVector3& p, const CMatrix& m)
{
    CVector3 r;
    p.TransformedCoord(&r, m);
    return r;
}

CVector3 Turn(const CVector3& v, const CMatrix& m)
{
    CVector3 r;
    v.TransformNormalInto(m, &r);
    return r;
}

CVector3 Unit(const CVector3& v)
{
    CVector3 r;
    v.GetNormalized(&r);
    return r;
}

}  // namespace

CVector3 CAnimationController::SwingVelocity(const CAnimationFrame& frame, const CMatrix& skin, f32 t,
    f32 weight) const
{
    // Forces in world space, turned into the bone's bind space.
    const CModelBone* bone = frame.Bone;
    const CVector3& centre = bone->BoneSphere.centre;
    const CVector3 dir = Unit(Point(centre, skin) - Point(bone->Position, skin));
    const CMatrix toBind = skin.RotationPart().GetInverse();
    CVector3 velocity;
    if (!frame.Parent || LinkType(frame.Parent->Bone) == 0) {
        const CVector3 up(0.0f, 1.0f, 0.0f);
        const CVector3 force = up * (m_gravity * (1.0f - AbsF(dir.Dot(up)))) +
                               m_direction * ((1.0f - AbsF(dir.Dot(Unit(m_direction)))) * weight);
        velocity += Turn(force * t, toBind);
    }
    if (frame.Parent) {
        // The tip lags behind where the parent carries it.
        const CVector3 move = Point(centre, frame.Parent->PrevSkinMatrix) - Point(centre, frame.Parent->SkinMatrix);
        velocity += Turn(move * ((1.0f - AbsF(dir.Dot(Unit(move)))) * weight), toBind);
    }
    return velocity;
}

bool CAnimationController::KeepOutOfSpheres(const CAnimationFrame& frame, const CMatrix& bind, f32 scale,
    CVector3& to) const
{
    // The tip turns on a sphere about the joint. Where that meets a
    // collision sphere, the tip is turned (in the plane of the joint, the
    // tip and the sphere's centre) onto the circle where the two meet.
    const CModelBone* bone = frame.Bone;
    const f32 length = (bone->BoneSphere.centre - bone->Position).Length();
    const CVector3 joint = Point(bone->Position, bind);
    const CVector3 tip = Point(bone->Position + Unit(to) * length, bind);
    const f32 reachLength = (tip - joint).Length();
    if (!(reachLength > 0.0f)) return false;
    CVector3 u = Unit(tip - joint);
    const f32 ownRadius = LinkFloat(bone, 2) > 0.0f ? LinkFloat(bone, 2) * scale : 0.0f;
    bool pushed = false;
    for (u32 pass = 0; pass < kCollisionPasses; ++pass) {
        bool moved = false;
        for (u32 c = 0; c < m_colliders.GetCount(); ++c) {
            const auto* other = static_cast<const CAnimationFrame*>(m_colliders.GetAt(c));
            if (other == &frame) continue;
            const f32 reach = ownRadius + LinkFloat(other->Bone, 2) * other->SkinMatrix.ScalingPart().x;
            const CVector3 apart = Point(other->Bone->BoneSphere.centre, other->SkinMatrix) - joint;
            const f32 distance = apart.Length();
            if (!(distance > 0.0f)) continue;
            const CVector3 toward = apart * (1.0f / distance);
            // The largest cosine to the centre that keeps the tip out.
            const f32 limit =
                (reachLength * reachLength + distance * distance - reach * reach) / (2.0f * reachLength * distance);
            const f32 along = u.Dot(toward);
            // Never touching, already out, or no way out at all.
            if (!(limit < 1.0f) || along <= limit || limit < -1.0f) continue;
            CVector3 side = u - toward * along;
            if (side.LengthSquared() == 0.0f) toward.Perpendicular(&side, nullptr);
            u = toward * limit + Unit(side) * SqrtF(1.0f - limit * limit);
            moved = pushed = true;
        }
        if (!moved) break;
    }
    if (pushed) to = Point(joint + u * reachLength, bind.GetInverse()) - bone->Position;
    return pushed;
}

void CAnimationController::UpdateLinked(CAnimationFrame& frame, const CMatrix* parentWorld)
{
    CModelBone* bone = frame.Bone;
    const CMatrix combined = parentWorld ? frame.LocalMatrix * *parentWorld : frame.LocalMatrix;
    frame.CombinedMatrix = combined;
    auto place = [&](const CMatrix& swing) {
        CMatrix world = swing * combined;
        if (!(frame.Adjust[1] == kIdentity)) world = TurnInPlace(world, frame.Adjust[1]);
        return world;
    };
    frame.SwingVelocity.SetZero();
    if (m_resetting) {
        frame.SwingOffset.SetZero();
        frame.Adjust[0] = kIdentity;
        frame.WorldMatrix = place(kIdentity);
        StoreSkin(frame, bone->FrameMatrix * frame.WorldMatrix);
        return;
    }
    const CMatrix skin = bone->FrameMatrix * place(frame.Adjust[0]);
    const f32 t = GetFrameTime();
    const f32 factor = LinkFloat(bone, 1) > 0.0f ? LinkFloat(bone, 1) : 0.0f;

    CVector3& offset = frame.SwingOffset;
    const f32 d = t * factor;
    if (d * d <= offset.LengthSquared()) {
        offset -= offset * d;
    } else {
        offset.SetZero();
    }
    frame.SwingVelocity = SwingVelocity(frame, skin, t, factor > 0.0f ? 1.0f / factor : 1.0f);
    const f32 scale = skin.ScalingPart().x;
    CVector3 step = frame.SwingVelocity;
    step.DivideScalar(scale);
    offset += step;

    const CVector3& centre = bone->BoneSphere.centre;
    const CVector3 from = centre - bone->Position;
    const f32 length = from.Length();
    CVector3 to = from + offset;
    // The offset follows a tip pushed out of a sphere.
    if (length > 0.0f && m_colliders.GetCount() > 0 &&
        KeepOutOfSpheres(frame, bone->FrameMatrix * place(kIdentity), scale, to)) {
        offset = bone->Position + Unit(to) * length - centre;
    }

    // The turn from the bind direction to the swung one, in the bone's own
    // frame. The conjugate: with row vectors ToMatrix turns the other way.
    CQuaternion arc;
    arc.FromArc(&from, &to);
    arc = CQuaternion(-arc.x, -arc.y, -arc.z, arc.w);
    CMatrix turn;
    arc.ToMatrix(&turn);
    const CMatrix& c = bone->CombinedMatrix;
    frame.Adjust[0] = length > 0.0f ? c.GetInverse() * turn * c : kIdentity;
    frame.WorldMatrix = place(frame.Adjust[0]);
    StoreSkin(frame, bone->FrameMatrix * frame.WorldMatrix);
}
