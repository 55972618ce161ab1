// Bullet hits: the per-target bookkeeping the fighters read, the two
// bullet-against-bullet callbacks of the interaction passes and the stage's
// contact messages.
#include "engine/core/Geometry.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/Effect.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletMath.h"
#include "game/battle/object/BulletParameter.h"

namespace {

bool Breakable(i32 releaseType) { return releaseType == 0 || releaseType == 1 || releaseType == 3; }
bool IsFreezer(i32 hitType) { return hitType == 6 || hitType == 7; }

}  // namespace

u32 CBullet::CanHitTarget(u32 slot) const { return slot < 4 && i64(m_state.hitCount[slot]) < i64(Values().hitCount); }

u32 CBullet::IsHitIntervalElapsed(u32 slot) const
{
    return slot < 4 && m_state.hitTimer[slot] >= Values().hitInterval;
}

u32 CBullet::IsHitEffectIntervalElapsed(u32 slot) const
{
    return slot < 4 && m_state.hitEffectTimer[slot] >= Values().hitEffectInterval;
}

i32 CBullet::CountHit(u32 slot, u32 flag)
{
    if (slot >= 4) return 0;
    m_state.hitTimer[slot] = 0.0f;
    const i32 moveType = Values().moveType;
    const bool singleHitBeam = moveType >= 16 && moveType <= 19 && Values().hitCount == 1;
    if (!(flag && singleHitBeam)) ++m_state.hitCount[slot];
    return 1;
}

void CBullet::ResetHitEffectTimer(u32 slot)
{
    if (slot < 4) m_state.hitEffectTimer[slot] = 0.0f;
}

void CBullet::GetHitSphere(CVector3* centre, f32* radius) const
{
    if (centre) *centre = m_hitCentre;
    if (radius) *radius = m_hitRadius;
}

void CBullet::GetHitVector(const CVector3& targetPosition, CVector3* out) const
{
    const CBulletValues& v = Values();
    if (v.hitType == 16) {
        *out = m_state.step;
        if (m_state.counterB == 1) out->y = -out->y;
    } else if (IsDirectionType()) {
        *out = m_state.step;
    } else if (v.traceHitVecFlg) {
        m_state.velocity.GetNormalized(out);
    } else {
        (targetPosition - m_position).GetNormalized(out);
    }
}

u32 CBullet::SurvivesAgainst(const CBullet* other) const
{
    if (!other) return 0;
    if (Breakable(Values().hitReleaseType) && Breakable(other->Values().hitReleaseType)) return m_state.strength > 0.0f;
    return other->Values().per < Values().per;
}

i32 CBullet::CutBeamAt(const CBullet* other, const CVector3& point)
{
    if (!Values().bulletHitFlg) return 0;
    if (IsDirectionType() && !SurvivesAgainst(other)) {
        const CVector3 d = point - m_hitCentre;
        CVector3 unit;
        d.GetNormalized(&unit);
        m_state.step = unit * (d.Length() + 0.01f);
        m_state.endPoint = m_position + m_state.step;
        // The beam model ends near the cut.
        m_scaling = CVector3(1.0f, 1.0f, 1.0f) - TurnedInverse(m_state.step, m_rotation);
        ++m_state.counterA;
    }
    return 1;
}

i32 CBullet::CheckProximity(CObjectDivision* target)
{
    if (!target) return 0;
    const CVector3 tp = PositionOf(target);
    const f32 range = Values().shootRange;
    if ((tp - m_position).LengthSquared() > range * range) return 0;
    if (m_effects[kEfcBulletHit]) {
        PlayOnce(kEfcBulletHit, tp, nullptr);
        ReleaseOnHit();
    }
    return 1;
}

void CBullet::GetSuctionVector(CObjectDivision* target, CVector3* out)
{
    *out = CVector3();
    if (!target || CheckProximity(target)) return;
    const f32 r = m_hitRadius;
    // A zero radius sucks nothing in rather than dividing by it.
    if (r <= 0.0f) return;
    const CVector3 d = m_position - PositionOf(target);
    CVector3 unit;
    d.GetNormalized(&unit);
    *out = unit * (Values().suckingPow * Dt() * (r - d.Length()) / r);
}

void CBullet::GetBoxOverlap(const CVector3& cube, f32 half, CVector3* out) const
{
    *out = CVector3();
    const CVector3& c = m_hitCentre;
    const f32 r = m_hitRadius;
    const CVector3& through = m_state.throughVector;
    // Axis a overlaps when the cube sticks out on a and its centre is inside
    // on one of the two others (with the through vector off the far face).
    for (int a = 0; a < 3; ++a) {
        const int b = (a + 1) % 3;
        const int e = (a + 2) % 3;
        const bool sticksOut = c[a] + r < cube[a] + half || cube[a] - half <= c[a] - r;
        const bool inside = cube[b] < c[b] + r - through[b] || cube[e] < c[e] + r - through[e];
        if (!sticksOut || !inside) continue;
        (*out)[a] = cube[a] <= c[a] ? (cube[a] - half) - (c[a] - r) : (cube[a] + half) - (c[a] + r);
    }
}

i32 CBullet::GetAbsorbAmount(const CBullet* absorber) const
{
    CObjectDivision* owner = absorber ? absorber->GetOwner() : nullptr;
    if (!owner) return 0;
    const u32 slot = SlotOf(owner, const_cast<CBullet*>(absorber));
    if (!CanHitTarget(slot) || !IsHitIntervalElapsed(slot)) return 0;
    if (m_state.shooterGroup == absorber->m_state.shooterGroup) return 0;
    return SaturateToI32(CeilF(f32(Values().str) * absorber->Values().absorbingPow));
}

u32 CBullet::PairGate(CBullet* other, bool secondPass)
{
    const CBulletValues& a = Values();
    const CBulletValues& b = other->Values();
    if (!CanHit() || a.bulletThroughFlg || b.bulletThroughFlg) return 0;
    if (secondPass) {
        const auto eraserSkip = [](const CBulletValues& e, const CBulletValues& o) {
            return e.hitType == 1 && (o.damageType != 0 || o.hitType == 2);
        };
        if (eraserSkip(a, b) || eraserSkip(b, a)) return 0;
        if (IsFreezer(a.hitType) && IsFreezer(b.hitType) && a.freezeType == b.freezeType) return 0;
    }
    if (m_state.ownerId == other->m_state.ownerId) return 0;
    if (m_state.shooterGroup == other->m_state.shooterGroup) {
        u32 meet = 0;
        SendObjectMessage(kMsgSharedGroupBullets, CObjectRegistry::kHandlerId, -1, reinterpret_cast<intptr_t>(&meet));
        if (!meet) return 0;
    }
    const i32* p = m_gridBox;
    const i32* q = other->m_gridBox;
    for (int i = 0; i < 3; ++i)
        if (p[i] > q[3 + i] || q[i] > p[3 + i]) return 0;
    f32 sa[4] = {m_hitCentre.x, m_hitCentre.y, m_hitCentre.z, m_hitRadius};
    f32 sb[4] = {other->m_hitCentre.x, other->m_hitCentre.y, other->m_hitCentre.z, other->m_hitRadius};
    return IntersectMovingSpheres(sa, sb, &m_state.step, &other->m_state.step, &m_contact, 0);
}

i32 CBullet::HitTestBullet(CBullet* other)
{
    if (!m_record || !other || !other->m_record || !PairGate(other, false)) return 1;
    const CVector3 point = m_contact;
    if (Values().beamStopFlg || other->Values().beamStopFlg || (IsDirectionType() && other->IsDirectionType())) {
        CutBeamAt(other, point);
        other->CutBeamAt(this, point);
    }
    const auto stopAt = [&point](CBullet* b, const CBullet* against) {
        if (!b->Values().bulletHitFlg || b->SurvivesAgainst(against) || b->Values().hitType == 3 ||
            b->m_state.releaseType == 4)
            return;
        const CVector3 d = point - b->m_hitCentre;
        CVector3 unit;
        d.GetNormalized(&unit);
        b->m_state.step = unit * (d.Length() - b->m_hitRadius + 0.1f);
    };
    stopAt(this, other);
    stopAt(other, this);
    return 1;
}

void CBullet::ExchangeStrength(CBullet* other)
{
    const f32 mine = m_state.strength;
    const f32 theirs = other->m_state.strength;
    if (Breakable(Values().hitReleaseType)) {
        m_state.strength -= theirs;
        if (!SurvivesAgainst(other)) m_state.releaseType = 0;
    }
    if (Breakable(other->Values().hitReleaseType)) {
        other->m_state.strength -= mine;
        if (!other->SurvivesAgainst(this)) other->m_state.releaseType = 0;
    }
}

bool CBullet::HitEraser(CBullet* eraser, CBullet* erased)
{
    if (eraser->Values().hitType != 1 || !erased->Values().bulletHitFlg) return false;
    CObjectDivision* owner = eraser->GetOwner();
    if (!owner) return true;
    const u32 slot = SlotOf(owner, eraser);
    if (eraser->IsHitEffectIntervalElapsed(slot)) eraser->PlayOnce(kEfcBulletHit, m_contact, nullptr);
    erased->ReleaseOnHit();
    erased->CountHit(slot, 0);
    eraser->ResetHitEffectTimer(slot);
    return true;
}

bool CBullet::HitAbsorber(CBullet* absorber, CBullet* absorbed)
{
    if (absorber->Values().hitType != 8 || absorbed->Values().hitType == 8) return false;
    if (IsFreezer(absorbed->Values().hitType) && absorbed->Values().str < 1) return false;
    CObjectDivision* owner = absorber->GetOwner();
    if (!owner) return true;
    const u32 slot = SlotOf(owner, absorber);
    if (!absorbed->CanHitTarget(slot) || !absorbed->IsHitIntervalElapsed(slot)) return true;
    i32 amount = absorbed->GetAbsorbAmount(absorber);
    if (amount > 0) {
        owner->HandleMessage(kMsgAbsorb, absorber, reinterpret_cast<intptr_t>(&amount));
        if (absorbed->Values().moveType == 11) absorbed->m_state.releaseType = 0;
        absorber->PlayOnce(kEfcBulletHit, m_contact, nullptr);
    }
    absorbed->CountHit(slot, 0);
    absorbed->ReleaseOnHit();
    return true;
}

bool CBullet::HitReflector(CBullet* counter, CBullet* incoming)
{
    if (counter->Values().hitType != 11) return false;
    CObjectDivision* owner = counter->GetOwner();
    if (!owner) return true;
    const u32 slot = SlotOf(owner, counter);
    if (!incoming->CanHitTarget(slot) || !incoming->IsHitIntervalElapsed(slot)) return true;
    if (incoming->Values().moveType == 11) {
        incoming->m_state.releaseType = 0;
        return true;
    }
    counter->FireChildBarrage();
    counter->m_state.firing = 1;
    counter->m_state.endPoint = m_contact;
    (m_contact - counter->m_position).GetNormalized(&counter->m_state.offset);
    counter->m_state.targetId = incoming->m_state.ownerId;
    counter->PlayOnce(kEfcBulletHit, m_contact, nullptr);
    incoming->CountHit(slot, 0);
    incoming->ReleaseOnHit();
    return true;
}

i32 CBullet::HitFreezer(const CBullet* freezer)
{
    if (!Values().bulletHitFlg) return 0;
    CBulletState& s = m_state;
    const bool wasStopped = IsStopped();
    s.previousFreezeKind = s.freezeKind;
    s.freezeKind = freezer->Values().freezeType & 1;   // two kinds: 0 ice, 1 time
    s.stopTimer = 0.0f;
    s.releaseType = freezer->Values().hitReleaseType;
    const bool changed = s.freezeKind != s.previousFreezeKind;
    if (wasStopped && changed) {
        ReleaseSlot(3 + u32(s.previousFreezeKind));
        PlayOnce(s.previousFreezeKind == 0 ? kEfcIceFreezeEnd : kEfcTimeFreezeEnd, m_position, nullptr);
    }
    if (!wasStopped || changed)
        PlayIntoSlot(3 + u32(s.freezeKind), s.freezeKind == 0 ? kEfcIceFreeze : kEfcTimeFreeze, &m_position,
            &m_rotation);
    s.stopDuration = freezer->Values().freezeTime;
    return 1;
}

void CBullet::HitReturning(CBullet* other)
{
    for (CBullet* b : {this, other}) {
        CBullet* against = b == this ? other : this;
        if (b->m_state.releaseType != 4 || b->SurvivesAgainst(against)) continue;
        if (b->m_state.shotObjectId == b->m_state.targetId) continue;
        // Turns back with the whole angle, with or without a target.
        if (const CObjectDivision* shot = b->GetShotObject()) b->TurnWhole(PositionOf(shot));
        b->m_state.targetId = b->m_state.shotObjectId;
        b->m_state.markTime = 0.0f;
        b->m_state.age = 0.0f;
        b->PlayOnce(kEfcBulletHit, m_contact, nullptr);
    }
}

i32 CBullet::HitBullet(CBullet* other)
{
    if (!m_record || !other || !other->m_record || !PairGate(other, true)) return 1;
    const CBulletValues& a = Values();
    const CBulletValues& b = other->Values();
    ExchangeStrength(other);
    other->m_contact = m_contact;
    if ((a.hitType == 11 || b.hitType == 11) && a.hitType != 2 && b.hitType != 2) {
        if (a.bulletHitFlg && b.bulletHitFlg && !HitReflector(this, other)) HitReflector(other, this);
    } else if ((a.hitType == 8 || b.hitType == 8) && a.hitType != 2 && b.hitType != 2) {
        if (a.bulletHitFlg && b.bulletHitFlg && !HitAbsorber(this, other)) HitAbsorber(other, this);
    } else if (IsFreezer(a.hitType) && b.hitType != 3 && b.hitType != 2) {
        other->HitFreezer(this);
    } else if (a.beamStopFlg || b.beamStopFlg || (IsDirectionType() && other->IsDirectionType())) {
        CutBeamAt(other, m_contact);
        other->CutBeamAt(this, m_contact);
    } else if (a.hitType == 1 || b.hitType == 1) {
        if (!HitEraser(this, other)) HitEraser(other, this);
    }
    if (m_state.releaseType == 4 || other->m_state.releaseType == 4) HitReturning(other);
    if (Breakable(a.hitReleaseType) || Breakable(b.hitReleaseType)) {
        for (CBullet* x : {this, other}) {
            CBullet* partner = x == this ? other : this;
            if (!x->Values().bulletHitFlg || partner->Values().hitType == 1 || x->Values().hitEffectType == 1)
                continue;
            if (x->m_state.releaseType == 0) x->PlayOnce(kEfcBulletHit, m_contact, nullptr);
            if (!x->SurvivesAgainst(partner)) x->ReleaseOnHit();
        }
    }
    return 1;
}

void CBullet::UpdateStopped()
{
    CBulletState& s = m_state;
    s.stopTimer += Dt();
    if (s.stopTimer < s.stopDuration) return;
    ReleaseSlot(3 + u32(s.freezeKind & 1));
    const i32 moveType = Values().moveType;
    if (s.releaseType == 6 || moveType == 12 || moveType == 13 || moveType == 14) {
        PlayOnce(s.freezeKind == 0 ? kEfcIceFreezeEnd : kEfcTimeFreezeEnd, m_position, nullptr);
        s.hitEnded = 1;
    }
    s.stopTimer = 0.0f;
    s.stopDuration = 0.0f;
    s.releaseType = Values().hitReleaseType;
}

void CBullet::UpdateRecovery()
{
    const CBulletValues& v = Values();
    CObjectDivision* owner = GetOwner();
    if (v.hitType != 13 || !owner) return;
    const u32 slot = SlotOf(owner, this);
    if (!CanHitTarget(slot) || !IsHitIntervalElapsed(slot)) return;
    f32 speed = v.recoverySpeed;
    if (!owner->HandleMessage(kMsgRecovery, this, reinterpret_cast<intptr_t>(&speed))) return;
    if (IsHitEffectIntervalElapsed(slot)) {
        PlayOnce(kEfcBulletHit, PositionOf(owner), nullptr);
        ResetHitEffectTimer(slot);
    }
    CountHit(slot, 0);
}

void CBullet::OnStageContact(const CVector3& point)
{
    if (!m_state.stageHitEnabled) return;
    const i32 release = m_state.releaseType;
    if (release == 0 || (release == 4 && m_state.targetId != m_state.shotObjectId)) m_state.step = point - m_hitCentre;
    else if (IsDirectionType()) CutBeamAt(nullptr, point);
}

void CBullet::OnStageHit(const CVector3& point)
{
    if (!m_state.stageHitEnabled) return;
    CBulletState& s = m_state;
    if (s.releaseType == 4) {
        if (s.targetId == s.shotObjectId) return;   // on its way back: walls do not matter
        if (const CObjectDivision* shot = GetShotObject()) TurnWhole(PositionOf(shot));
        s.targetId = s.shotObjectId;
        s.markTime = 0.0f;
        s.age = 0.0f;
        for (u32 i = 0; i < 4; ++i) CountHit(i, 0);
        PlayOnce(kEfcBulletHit, point, nullptr);
        return;
    }
    if (IsDirectionType()) {
        CutBeamAt(nullptr, point);
        return;
    }
    if (Values().hitEffectType == 0 && m_effects[kEfcBulletHit]) {
        PlayOnce(kEfcBulletHit, point, nullptr);
        s.hitEnded = 1;
    } else {
        s.ended = 1;
    }
    BroadcastEnd(kMsgShotObjectEventEnd);
}
