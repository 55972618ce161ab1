#include "engine/scene/Effect.h"

#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectMath.h"
#include "engine/scene/EffectModel.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/Particle.h"

#include <cmath>
#include <cstring>
#include <limits>

using effect_math::MaxNumber;

namespace {

// Keys further apart than this are emitted once each.
constexpr f32 kKeyStep = 0.01f;
// Keys one update may pass; a clock far ahead of the cursor catches up over
// several updates instead of in one.
constexpr u32 kMaxKeysPerUpdate = 1024;

// Stack walks over nodes: visit(node) runs on this node and on everything
// it pushes (child, next), pre-order.
template <class Visit>
void WalkNodes(CEffectController* controller, CEffect* start, Visit visit)
{
    auto& stack = controller->NodeStack();
    const size_t base = stack.size();
    PushStep(stack, {start});
    while (stack.size() > base) {
        CEffect* node = stack.back().node;
        stack.pop_back();
        if (!visit(node, stack)) {
            stack.resize(base);
            return;
        }
    }
}

}  // namespace

// ------------------------------------------------------------------ key rules

namespace effect_keys {

namespace {

f32 TimeAt(const void* keys, u32 stride, u32 i)
{
    f32 t;
    std::memcpy(&t, static_cast<const u8*>(keys) + size_t(i) * stride, 4);
    return t;
}

}  // namespace

f32 EndTime(const void* keys, u32 count, u32 stride, u32 loop, f32 x, u32 m)
{
    if (!keys || count == 0) return 0.0f;
    const f32 first = TimeAt(keys, stride, 0), last = TimeAt(keys, stride, count - 1);
    if (!(x > last) || !loop || m == 2) return last;
    // A repetition of no length never ends one: its end is the last key.
    if (m == 1) {
        const f32 span = last - first;
        if (span == 0.0f) return last;
        return span * (std::trunc(x / span) + 1.0f) + last;
    }
    if (last == 0.0f) return last;
    return (std::trunc(x / last) + 1.0f) * last;
}

i32 FindKey(const void* keys, u32 count, u32 stride, u32 loop, f32 x, u32 m)
{
    if (!keys || count == 0 || std::isnan(x)) return -1;
    const f32 first = TimeAt(keys, stride, 0), last = TimeAt(keys, stride, count - 1);
    if (x > last) {
        if (!loop || m == 2) return -1;
        if (m == 1) {
            const f32 span = last - first;
            if (span == 0.0f) return -1;
            const f32 d = x - last;
            x = first + (d - span * std::trunc(d / span));
        } else {
            if (last == 0.0f) return -1;
            x = x - std::trunc(x / last) * last;
        }
        if (std::isnan(x)) return -1;
    }
    if (first >= x) return 0;
    for (u32 i = 1; i < count; ++i) {
        const f32 t = TimeAt(keys, stride, i);
        if (t == x) return i + 1 < count ? i32(i + 1) : -1;
        if (t > x) return i32(i);
    }
    return -1;
}

}  // namespace effect_keys

// ------------------------------------------------------------------ node

CEffect::CEffect() { SetType(kResourceType); }

i32 CEffect::Setup(CEffectObject* definition, CEffectController* controller, const EffectPlayParams* params)
{
    m_definition = definition;
    m_controller = controller;
    m_params = params ? *params : EffectPlayParams();
    m_time = 0.0f;
    return 1;
}

bool CEffect::IsActive() const
{
    const f32 life = m_definition ? m_definition->GetNodeSettings().life : 0.0f;
    return !(life > 0.0f) || m_time < life;
}

i32 CEffect::Update(u32)
{
    if (!m_controller) return 1;
    const f32 dt = GetFrameTime();
    i32 result = 1;
    WalkNodes(m_controller, this, [&](CEffect* node, auto& stack) {
        node->m_time += dt;
        if (node->m_next) PushStep(stack, {node->m_next});
        if (node->IsActive()) {
            if (!node->Step()) result = 0;
            if (node->m_child) PushStep(stack, {node->m_child});
        }
        return true;
    });
    return result;
}

bool CEffect::Step()
{
    if (!m_definition) return true;
    Evaluate();
    bool emitted = true;
    if (m_definition->GetResourceKind() == kEffectKindSound) WalkSoundKeys();
    else emitted = WalkParticleKeys();
    if (m_firstParticle) CParticle::UpdateChain(m_firstParticle, this);
    return emitted;
}

void CEffect::Evaluate()
{
    if (!m_definition) return;
    const CEffectObject& d = *m_definition;
    const u32 m = d.GetNodeSettings().loopMode;
    const f32 t = m_time;
    // A time the tracks cannot read keeps their defaults.
    CSegment curve = *d.GetPositionTrack().GetDefaultValue();
    CVector3 rotation = *d.GetRotationTrack().GetDefaultValue();
    CVector3 scaling = *d.GetScalingTrack().GetDefaultValue();
    m_placeColor = *d.GetColorTrack().GetDefaultValue();
    u32 animation = *d.GetAnimationTrack().GetDefaultValue();
    d.GetPositionTrack().Evaluate(t, &curve, m);
    d.GetRotationTrack().Evaluate(t, &rotation, m);
    d.GetScalingTrack().Evaluate(t, &scaling, m);
    d.GetColorTrack().Evaluate(t, &m_placeColor, m);
    d.GetUVTrack().Evaluate(t, &m_uv, m);
    d.GetRectTrack().Evaluate(t, &m_rect, m);
    d.GetAnimationTrack().Evaluate(t, &animation, m);
    m_animation = i32(animation);

    Place();
    if (m_parent) {
        m_placement = m_placement * *m_parent->GetWorldMatrix();
        m_placeColor *= *m_parent->GetColor();
    }
    m_position = curve.end;
    m_rotation = rotation;
    m_scaling = scaling;
    m_color = m_placeColor;
    m_world = m_rotationCache.Get(m_rotation, d.GetNodeSettings().rotationOrder);
    MatrixScaleRows(&m_world, &m_scaling);
    MatrixTranslate(&m_world, &m_position);
    m_world = m_world * m_placement;
}

void CEffect::Place()
{
    EffectPlayParams& p = m_params;
    const u32 flags = m_definition->GetNodeSettings().flags;
    if (p.attached) {
        m_placePosition = *p.attached->GetPosition();
        m_placeRotation = *p.attached->GetRotation();
        m_placeScaling = *p.attached->GetScaling();
        m_placeColor *= *p.attached->GetColor();
    } else if (p.linkFrame) {
        if (p.followPosition) p.position = *p.followPosition;
        if (p.followRotation) p.rotation = *p.followRotation;
        if (p.followScaling) p.scaling = *p.followScaling;
        if (p.followColor) p.color = *p.followColor;
        CMatrix frame;
        effect_model::FrameMatrix(p.linkFrame, &frame);
        p.position.TransformedCoord(&m_placePosition, frame);
        if (flags & kPlaceAlongBone) {
            CVector3 d;
            CVector3(0.0f, 0.0f, -1.0f).TransformNormalInto(frame.RotationPart(), &d);
            const f32 yaw = Atan2F(d.x, d.z) * kRadToDeg + 180.0f;
            const f32 pitch = Atan2F(d.y, SqrtF(d.x * d.x + d.z * d.z)) * kRadToDeg;
            m_placeRotation.Set(pitch, yaw, 0.0f);
        } else {
            m_placeRotation = p.rotation;
        }
        m_placeScaling = p.scaling;
        m_placeColor *= p.color;
    } else {
        if (p.followPosition) m_placePosition = *p.followPosition;
        if (p.followRotation) m_placeRotation = *p.followRotation;
        if (p.followScaling) m_placeScaling = *p.followScaling;
        m_placeColor *= p.followColor ? *p.followColor : p.color;
    }
    m_rotationMatrix.SetIdentity();
    // Order 0 is the Euler order.
    if (!(flags & kPlaceNoRotation)) m_rotationMatrix = m_placeRotationCache.Get(m_placeRotation, 0);
    m_scalingMatrix.SetScaling(&m_placeScaling);
    m_translation = CMatrix(&m_placePosition);
    m_placement = m_scalingMatrix * m_rotationMatrix * m_translation;
    m_identityMatrices = u8((m_translation.IsIdentity() ? kIdentityTranslation : 0) |
                            (m_rotationMatrix.IsIdentity() ? kIdentityRotation : 0) |
                            (m_scalingMatrix.IsIdentity() ? kIdentityScaling : 0));
}

// ------------------------------------------------------------------ keys

bool CEffect::WalkParticleKeys()
{
    if (m_endFlag) return true;
    const CKeyFrameTrack& track = m_definition->GetParticleTrack();
    const u32 n = track.GetCount();
    const CKeyFrameTrack::Key* keys = track.GetData();
    if (!n || !keys) return true;
    const u32 m = m_definition->GetNodeSettings().loopMode;
    const u32 loop = track.GetLoop();
    const f32 first = keys[0].time, last = keys[n - 1].time, span = last - first;
    // A full pool ends the emission of one key, not the walk: the keys
    // after it are passed in this update as they would be otherwise.
    bool emitted = true;
    for (u32 passed = 0; passed < kMaxKeysPerUpdate; ++passed) {
        const i32 k = effect_keys::FindKey(keys, n, sizeof *keys, loop, m_particleCursor, m);
        if (k < 0) break;
        f32 kt = keys[k].time;
        if (loop && last <= m_particleCursor && span != 0.0f)
            kt += span * std::trunc((m_particleCursor - first) / span);
        if (!(kt <= m_time) || kt < m_particleCursor) break;
        // A cursor so large that the step is lost would find this key again
        // and again.
        const f32 next = kt + kKeyStep;
        if (!(next > m_particleCursor)) break;
        m_particleCursor = next;
        if (loop && u32(k) == n - 1) {
            emitted = Emit(keys[n - 1].value, kt) && emitted;
            emitted = Emit(keys[0].value, kt) && emitted;
        } else {
            emitted = Emit(keys[k].value, kt) && emitted;
        }
    }
    return emitted;
}

void CEffect::WalkSoundKeys()
{
    if (m_endFlag) return;
    const CKeyFrameList<f32>& track = m_definition->GetPlayTrack();
    const u32 n = track.GetCount();
    const CKeyFrameList<f32>::Key* keys = track.GetData();
    if (!n || !keys) return;
    const u32 m = m_definition->GetNodeSettings().loopMode;
    const u32 loop = track.GetLoop();
    const i32 k = effect_keys::FindKey(keys, n, sizeof *keys, loop, m_soundCursor, m);
    if (k < 0) return;
    const f32 first = keys[0].time, last = keys[n - 1].time, span = last - first;
    f32 kt = keys[k].time;
    if (loop && last <= m_soundCursor && span != 0.0f) kt += span * std::trunc((m_soundCursor - first) / span);
    if (!(kt <= m_time) || kt < m_soundCursor) return;
    const f32 next = kt + kKeyStep;
    if (!(next > m_soundCursor)) return;
    m_soundCursor = next;
    if (loop && u32(k) == n - 1) {
        StartSound(keys[n - 1].value);
        StartSound(keys[0].value);
    } else {
        StartSound(keys[k].value);
    }
}

bool CEffect::Emit(u32 count, f32 keyTime)
{
    CParticle* tail = m_firstParticle;
    while (tail && tail->GetNext()) tail = tail->GetNext();
    const bool hang = tail && m_definition->GetParticleSettings().linked;
    CParticle* walker = tail;   // the old particle the next new one hangs off
    CParticle* last = tail;     // where appended particles go
    CEffectContainer* nested =
        m_definition->GetResourceKind() == kEffectKindEffect ? m_definition->GetEffect() : nullptr;
    for (u32 i = 0; i < count; ++i) {
        CParticle* particle = m_controller->TakeParticle();
        if (!particle) return false;
        particle->Init(m_definition, m_controller, this, keyTime);
        if (hang && walker) {
            walker->HangOff(particle);
            walker = walker->GetPrev();
        } else {
            if (last) last->InsertAfter(particle);
            else m_firstParticle = particle;
            last = particle;
        }
        if (nested && m_nestLevel + 1 < kMaxNestLevel)
            particle->SetNested(nested->PlayNested(m_controller, particle, m_nestLevel + 1));
    }
    return true;
}

void CEffect::StartSound(f32 value)
{
    CSoundBuffer* sound = m_definition->GetSound();
    const EffectSoundSettings& settings = *m_controller->GetSoundSetting();
    if (!sound || !(value > 0.0f) || settings.masterVolume < -9999) return;
    const u32 voice = sound->Play(0, 0.0f, 1);
    if (voice == CSoundBuffer::kNoVoice) return;
    // The sum of two stored words can leave the 32-bit range; the buffer
    // clamps what it gets anyway.
    i64 volume = i64(settings.masterVolume) + m_definition->GetNodeSettings().volumeOffset;
    if (volume < -10000) volume = -10000;
    if (volume > 0) volume = 0;
    sound->SetVolume(voice, i32(volume));
    CVector3 at;
    m_world.GetTranslation(&at);
    sound->SetPosition3D(voice, &at, settings.minDistance, 0);
    sound->UpdateVoiceAt(voice, 0);
}

// ------------------------------------------------------------------ draw

i32 CEffect::Draw(u32) { return Draw(static_cast<CRenderList*>(nullptr)); }

i32 CEffect::Draw(CRenderList* renderList)
{
    if (!m_controller) return 1;
    WalkNodes(m_controller, this, [&](CEffect* node, auto& stack) {
        if (node->m_next) PushStep(stack, {node->m_next});
        if (node->IsActive()) {
            if (node->m_firstParticle) CParticle::SubmitChain(node->m_firstParticle, node, renderList);
            if (node->m_child) PushStep(stack, {node->m_child});
        }
        return true;
    });
    return 1;
}

// ------------------------------------------------------------------ end

f32 CEffect::OwnLength() const
{
    if (!m_definition) return 0.0f;
    const CEffectObject& d = *m_definition;
    const u32 m = d.GetNodeSettings().loopMode;
    f32 length = 0.0f;
    auto track = [&](const auto& list) {
        const auto* keys = list.GetData();
        length = MaxNumber(length,
            effect_keys::EndTime(keys, keys ? list.GetCount() : 0, sizeof *keys, list.GetLoop(), m_time, m));
    };
    track(d.GetPositionTrack());
    track(d.GetRotationTrack());
    track(d.GetScalingTrack());
    track(d.GetColorTrack());
    track(d.GetUVTrack());
    track(d.GetRectTrack());
    track(d.GetAnimationTrack());
    if (m_firstParticle) length = MaxNumber(length, CParticle::ChainLength(m_firstParticle));
    return length;
}

f32 CEffect::GetLength()
{
    if (!m_controller) return OwnLength();
    f32 length = 0.0f;
    WalkNodes(m_controller, this, [&](CEffect* node, auto& stack) {
        length = MaxNumber(length, node->OwnLength());
        if (node->m_next) PushStep(stack, {node->m_next});
        if (node->m_child) PushStep(stack, {node->m_child});
        return true;
    });
    return length;
}

bool CEffect::IsFinished()
{
    // One node's own answer: true, false, or "when the nodes below and
    // after it are" (its life has run out).
    enum { kNo, kYes, kBelow };
    auto own = [](const CEffect* n) {
        const f32 life = n->m_definition ? n->m_definition->GetNodeSettings().life : 0.0f;
        if (life > 0.0f && life < n->m_time) return kBelow;
        // An end time that is no number, or a clock that is none, could
        // never be reached: the effect ends rather than hold its nodes.
        if (std::isnan(n->m_time) || std::isnan(n->m_endTime)) return kYes;
        if (n->m_endTime > 0.0f && n->m_endTime < n->m_time) return kYes;
        if (n->m_definition && n->m_definition->GetResourceKind() == kEffectKindSound) return kYes;
        return kNo;
    };
    if (!m_controller) return own(this) != kNo;
    bool finished = true;
    WalkNodes(m_controller, this, [&](CEffect* node, auto& stack) {
        const int answer = own(node);
        if (answer == kNo) return finished = false;
        if (answer == kBelow) {
            if (node->m_next) PushStep(stack, {node->m_next});
            if (node->m_child) PushStep(stack, {node->m_child});
        }
        return true;
    });
    return finished;
}

void CEffect::SetEndFlag(u32 flag)
{
    m_endFlag = flag;
    if (!m_child) return;
    if (!m_controller) return;
    WalkNodes(m_controller, m_child, [&](CEffect* node, auto& stack) {
        node->m_endFlag = flag;
        if (node->m_next) PushStep(stack, {node->m_next});
        if (node->m_child) PushStep(stack, {node->m_child});
        return true;
    });
}

void CEffect::Finish()
{
    // An end time of 0 means none: an instance with nothing left to show
    // (length 0) ends at the smallest time after 0 instead of never.
    const f32 length = GetLength();
    SetEndTime(length > 0.0f ? length : std::numeric_limits<f32>::min());
    SetEndFlag(1);
}

// ------------------------------------------------------------------ links

void CEffect::InsertNext(CEffect* node)
{
    if (!node || node == this) return;
    // The old next goes after node by the same rule, and so on down both
    // chains: the two interleave, this, node, next, node's next, ...
    CEffect* at = this;
    CEffect* in = node;
    while (in && in != at) {
        CEffect* rest = at->m_next;
        at->m_next = in;
        at = in;
        in = rest;
    }
}

void CEffect::InsertChild(CEffect* node)
{
    if (!node || node == this) return;
    CEffect* tail = node;
    for (;; tail = tail->m_next) {
        tail->m_parent = this;
        if (!tail->m_next) break;
    }
    tail->m_next = m_child;
    m_child = node;
}

void CEffect::DetachFromParent()
{
    if (!m_parent) return;
    if (m_parent->m_child == this) {
        m_parent->m_child = nullptr;
        return;
    }
    for (CEffect* c = m_parent->m_child; c; c = c->m_next) {
        if (c->m_next == this) {
            c->m_next = nullptr;
            return;
        }
    }
}

i32 CEffect::Release()
{
    DetachFromParent();
    CEffectController* controller = m_controller;
    if (!controller) return CObjectBase::Release();
    WalkNodes(controller, this, [&](CEffect* node, auto& stack) {
        if (node->m_firstParticle) CParticle::ReleaseChain(node->m_firstParticle);
        node->m_firstParticle = nullptr;
        if (node->m_next) PushStep(stack, {node->m_next});
        if (node->m_child) PushStep(stack, {node->m_child});
        controller->Unregister(node);
        node->CObjectBase::Release();
        controller->GetNodePool().Free(node);
        return true;
    });
    return 1;
}
