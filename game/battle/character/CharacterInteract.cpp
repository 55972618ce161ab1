// The fighter's side of the two interaction passes: swept spheres that keep
// it from passing through bullets and other fighters within a frame, the
// push-apart and clash of overlapping fighters, and the guard and danger
// tests the second-pass hits ask before any damage.
#include "game/battle/character/CharacterAction.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Geometry.h"
#include "engine/scene/EffectContainer.h"
#include "game/battle/object/Bullet.h"

#include <cfloat>

namespace {

using namespace character_actions;

constexpr u32 kEffectHitGuard = 15;   // EFCHITGUARD: the attacker's guard-hit effect
constexpr u32 kGuardCounterDamage = 4;

// Spheres a and b moving by va and vb; with move the centres go to the
// moment of contact.
bool Sweep(CVector3* a, f32 ra, const CVector3& va, CVector3* b, f32 rb, const CVector3& vb, CVector3* contact,
    bool move)
{
    f32 sa[4] = {a->x, a->y, a->z, ra}, sb[4] = {b->x, b->y, b->z, rb};
    CVector3 at;
    if (!IntersectMovingSpheres(sa, sb, &va, &vb, contact ? contact : &at, move ? 1 : 0)) return false;
    *a = {sa[0], sa[1], sa[2]};
    *b = {sb[0], sb[1], sb[2]};
    return true;
}

CVector3 WithLength(const CVector3& v, f32 length)
{
    const f32 l = v.Length();
    return l > 0.0f ? v * (length / l) : CVector3();
}

const CBulletValues& Values(const CBullet* b) { return b->Values(); }
i32 Kind(const CBullet* b) { return Values(b).hitType; }

bool IsCloseAttackType(i32 type) { return type == 4 || type == 5 || type == 6; }

// The settings of the card in the selected slot, null without one.
const CSpellCardValues* CardValues(const CCharacterBase& c)
{
    const CCharacterParameter* p = c.GetParameter();
    const u32 slot = c.GetStatus()->spellSlot;
    return p && slot < kSpellSlotCount ? &p->GetSpellCard(slot).GetValues() : nullptr;
}

const ShortAttackRecord* CurrentShortAttack(const CCharacterBase& c)
{
    const CCharacterParameter* p = c.GetParameter();
    const u32 i = c.GetStatus()->comboIndex;
    return p && i < kShortAttackCount ? &p->values.shortAttacks[i] : nullptr;
}

void PlayAt(CCharacterBase& c, u32 effect, const CVector3& at, const CVector3* rotation = nullptr)
{
    const CEffectContainer* container = effect < kEffectCount ? c.GetStatus()->effects[effect] : nullptr;
    if (!container) return;
    CVector3 r;
    if (!rotation) c.GetRotation(&r), rotation = &r;
    container->PlayAt(c.GetEffectManager(), &at, rotation, nullptr, 0.0f, 1, 0, nullptr);
}

}  // namespace

i32 CCharacterAction::AlignCapsulePoints(CVector3* a, CVector3* b, f32 ha, f32 hb)
{
    const f32 dy = a->y - b->y;
    if (AbsF(dy) <= ha + hb) a->y = b->y;
    else if (dy < 0) a->y += ha, b->y -= hb;
    else a->y -= ha, b->y += hb;
    return 1;
}

u32 CCharacterAction::IsMovable() const
{
    const u32 a = m_status.action;
    if (a == kActionBound || a == kActionShootOut) return 0;
    return !IsSpellAction(a) || CanMoveInSpell();
}

i32 CCharacterAction::HitTestBullet(CBullet* bullet, u32)
{
    if (!bullet || bullet->GetOwner() == this || !IsHittable() || !bullet->CanHit()) return 1;
    if (!m_meeting.friendlyFire && m_status.team == bullet->GetShooterGroup()) return 1;
    const u32 slot = m_status.participantSlot;
    if (!bullet->CanHitTarget(slot) || !bullet->IsHitIntervalElapsed(slot)) return 1;
    CVector3 centre, bulletCentre, step;
    GetCenter(&centre);
    f32 bulletRadius = 0;
    bullet->GetHitSphere(&bulletCentre, &bulletRadius);
    bullet->GetDirection(&step);
    const i32 kind = Kind(bullet);
    if ((kind == 5 || kind == 19) && bulletCentre.y > centre.y) return 1;
    if (bullet->IsStopped() || !m_parameter) return 1;
    const f32 radius = m_parameter->values.body.radius;
    CVector3 a = centre, b = bulletCentre;
    if (!Sweep(&a, radius, m_status.displacement, &b, bulletRadius, step, nullptr, false)) return 1;
    if (kind == 10) {
        CVector3 push;
        bullet->GetBoxOverlap(centre + m_status.displacement, radius, &push);
        m_status.displacement = m_status.displacement - push;
    }
    // Every body sphere the shot meets cuts it, each against the step the
    // spheres before it left.
    const auto& spheres = m_parameter->values.body.hitSphere;
    for (u32 i = 0; i < spheres.GetCount(); ++i) {
        CVector4 s;
        if (spheres.GetAt(i)->type != 0 || !GetHitSphere(i, &s)) continue;
        bullet->GetDirection(&step);
        CVector3 sphere(s.x, s.y, s.z), other = bulletCentre, contact;
        if (!Sweep(&sphere, s.w, CVector3(), &other, bulletRadius, step, &contact, false)) continue;
        if (kind == 9) {
            // Every body sphere inside the pull is pulled.
            if (IsMovable()) {
                CVector3 pull;
                bullet->GetSuctionVector(this, &pull);
                m_status.displacement = m_status.displacement + pull;
            }
        } else if (!bullet->IsDirectionType() && kind != 10 && !Values(bullet).traceHitVecFlg &&
                   Values(bullet).chractorHitVecFlg) {
            // Solid shots: the fighter stops at the shot, the shot at the fighter.
            const CVector3 sphereCentre(s.x, s.y, s.z);
            m_status.displacement =
                WithLength(m_status.displacement, (contact - sphereCentre).Length() - (radius - 0.01f));
            bullet->SetDirection(WithLength(step, (contact - bulletCentre).Length() + 0.1f));
            if (m_camera) m_camera->SetCollisionFlag(1);
        }
    }
    return 1;
}

i32 CCharacterAction::CollideCharacter(CCharacterAction* other, u32)
{
    if (!other || !IsSolid() || !other->IsSolid() || !m_parameter || !other->m_parameter) return 0;
    CVector3 a, b;
    GetCenter(&a);
    other->GetCenter(&b);
    const CharacterBody &ba = m_parameter->values.body, &bb = other->m_parameter->values.body;
    AlignCapsulePoints(&a, &b, ba.height * 0.5f, bb.height * 0.5f);
    const CVector3 d = b - a;
    if (d.LengthSquared() <= ba.radius * ba.radius + bb.radius * bb.radius) return 1;
    CVector3& ma = m_status.displacement;
    CVector3& mb = other->m_status.displacement;
    const bool aToward = ma.Dot(d) > 0, bToward = mb.Dot(-d) > 0;
    const CVector3 startA = a, startB = b;
    if (aToward && bToward) {
        if (Sweep(&a, ba.radius, ma, &b, bb.radius, mb, nullptr, true)) ma = a - startA, mb = b - startB;
    } else if (aToward && ma.Dot(mb) > 0 && mb.LengthSquared() < ma.LengthSquared()) {
        b = b + mb;
        if (Sweep(&a, ba.radius, ma, &b, bb.radius, CVector3(), nullptr, true)) ma = a - startA;
    } else if (bToward && ma.Dot(mb) > 0 && ma.LengthSquared() < mb.LengthSquared()) {
        a = a + ma;
        if (Sweep(&b, bb.radius, mb, &a, ba.radius, CVector3(), nullptr, true)) mb = b - startB;
    }
    return 1;
}

i32 CCharacterAction::PushApart(CCharacterAction* other, u32)
{
    if (!other || !IsSolid() || !other->IsSolid() || !m_parameter || !other->m_parameter) return 0;
    CVector3 a, b;
    GetCenter(&a);
    other->GetCenter(&b);
    const CharacterBody &ba = m_parameter->values.body, &bb = other->m_parameter->values.body;
    if ((a - b).LengthSquared() > ba.height * ba.height + bb.height * bb.height) return 1;
    AlignCapsulePoints(&a, &b, ba.height * 0.5f, bb.height * 0.5f);
    const CVector3 d = b - a;
    const f32 length = d.Length();
    const f32 least = ba.radius + bb.radius + 0.1f;
    if (length < least) {
        CVector3 n, shift;
        f32 overlap = least - length;
        if (length >= 0.1f) {
            n = d * (1.0f / length);
        } else {
            // Points (nearly) on top of each other give no direction: part
            // along the positions' horizontal offset, or along x when they
            // coincide, by the whole distance.
            const CVector3 flat(b.x - a.x, 0.0f, b.z - a.z);
            n = flat.LengthSquared() > 0.0f ? flat.Normalized() : CVector3(1, 0, 0);
            overlap = least;
        }
        const bool moveA = IsMovable(), moveB = other->IsMovable();
        const f32 share = moveA && moveB ? 0.5f : 1.0f;
        if (moveA) shift = m_position - n * (overlap * share), SetPosition(&shift);
        if (moveB) shift = other->m_position + n * (overlap * share), other->SetPosition(&shift);
    }
    if (!m_meeting.friendlyFire && m_status.team == other->m_status.team) return 1;
    auto charging = [](u32 action) { return In(action, {kActionMirageSlideAttack, kActionDash, kActionMirageSlide}); };
    if (charging(m_status.action) && charging(other->m_status.action)) {
        ReactToClash();
        other->ReactToClash();
    }
    return 1;
}

u32 CCharacterAction::TestAutoSlideDanger(CBullet* bullet, u32)
{
    if (!bullet || !m_parameter || m_status.action == kActionShootOut) return 0;
    if (!bullet->CanHitTarget(m_status.participantSlot)) return 0;
    CVector3 centre, bulletCentre, step;
    GetCenter(&centre);
    f32 r = 0;
    bullet->GetHitSphere(&bulletCentre, &r);
    bullet->GetDirection(&step);
    const CVector3 v = centre - bulletCentre;
    const f32 q = v.LengthSquared() - step.LengthSquared();
    const CharacterBody& body = m_parameter->values.body;
    const CVector3 motion = bullet->IsDirectionType() ? step : bullet->GetState().velocity;
    const f32 along = v.Dot(motion);
    if (q <= body.autoSlideRadius * body.autoSlideRadius && along > 0) m_meeting.autoSlide = 1;
    if (q <= body.dangerRadius * body.dangerRadius) {
        if (along < 0) return 0;
        CVector3 eye, angles;
        if (m_camera) m_camera->GetView(&eye, &angles);
        // Into the camera's frame: undo its yaw (a turn by -yaw the way the
        // camera's own turn goes), then its pitch.
        const f32 yaw = angles.y * kDegToRad, pitch = -angles.x * kDegToRad;
        const f32 cy = CosF(yaw), sy = SinF(yaw), cp = CosF(pitch), sp = SinF(pitch);
        const CVector3 t(v.x * cy - v.z * sy, v.y, v.x * sy + v.z * cy);
        const CVector3 local = (CVector3(t.x, t.y * cp - t.z * sp, t.y * sp + t.z * cp)).Normalized();
        if (local.x < -0.65f) m_meeting.dangerFlags |= 1;
        if (local.x > 0.65f) m_meeting.dangerFlags |= 2;
        if (local.y > 0.6f || local.z < 0.1f) m_meeting.dangerFlags |= 8;
        else if (local.y < -0.6f || local.z > 0.1f) m_meeting.dangerFlags |= 4;
    }
    return 1;
}

f32 CCharacterAction::GetGuardAngle(const CVector3& point) const
{
    CVector3 centre, back;
    GetCenter(&centre);
    // Models face -Z: the front turned by the whole rotation, pitch and all.
    GetBackVector(&back);
    const CVector3 front = back * -1.0f;
    const CVector3 to = point - centre;
    const f32 length = to.Length();
    if (!(length > 0.0f)) return 0.0f;
    f32 c = front.Dot(to) / length;
    c = c > 1.0f ? 1.0f : (c < -1.0f ? -1.0f : c);
    return AcosF(c) * kRadToDeg;
}

u32 CCharacterAction::GuardBullet(CBullet* bullet, u32)
{
    if (!bullet || !m_parameter || !IsGuarding()) return 0;
    const CBulletValues& v = Values(bullet);
    CVector3 centre, bulletCentre, step;
    GetCenter(&centre);
    f32 bulletRadius = 0;
    bullet->GetHitSphere(&bulletCentre, &bulletRadius);
    bullet->GetDirection(&step);
    if (v.hitType == 5 && bulletCentre.y > centre.y) return 1;
    CObjectDivision* shooter = bullet->GetOwner();
    if (v.hitType == 2 && shooter && !shooter->HandleMessage(41, this, 0)) return 0;
    const GuardRecord& guard = m_parameter->values.guard;
    if (GetGuardAngle(bulletCentre) > guard.angle) return 0;
    CVector3 a = bulletCentre, b = centre, contact;
    if (!Sweep(&a, bulletRadius, step, &b, guard.radius, CVector3(), &contact, false)) return 0;
    // The shot ends at the guard.
    bullet->SetDirection(WithLength(step, (contact - bulletCentre).Length()));
    if (bullet->IsDirectionType() && v.hitType == 3) bullet->CutBeamAt(nullptr, contact);
    const u32 slot = m_status.participantSlot;
    if (bullet->CanHitTarget(slot) && bullet->IsHitIntervalElapsed(slot)) {
        ++m_meeting.guardedHits;
        auto* owner = dynamic_cast<CCharacterAction*>(shooter);
        if (owner) ++owner->m_meeting.shotsGuarded;
        const bool last = v.hitCount > 1 && bullet->GetState().hitCount[slot % 4] + 1 >= u32(v.hitCount);
        if (m_status.action == kActionGuard) {
            if (!IsInJustGuardWindow()) {
                // The guard holds for the shot's stiffen time.
                m_status.timers.guardHold = v.guardStiffenTime;
                AddGuardLoad(v.guardScrape, owner);
            } else {
                m_status.guardGauge -= v.guardScrape * guard.guardTime;
                if (m_status.guardGauge < 0) m_status.guardGauge = 0;
            }
            if (owner && owner->m_parameter)
                owner->AddSparkGauge(owner->m_parameter->values.guard.gaugeMagnification * (last ? v.lastGauge : v.gauge));
            AddSparkGauge(guard.gaugeMagnification * (last ? v.lastCauseGauge : v.causeGauge));
        }
        PayGuardMP(v.mpScrape, owner);
        // The shot shows its hit where the guard stopped it.
        if (const CEffectContainer* e = bullet->GetHitEffect())
            e->PlayAtMatrix(GetEffectManager(), &contact, nullptr, nullptr, 1, nullptr);
        bullet->CountHit(slot, 1);
        bullet->ReleaseOnHit();
    }
    return 1;
}

f32 CCharacterAction::GetCardShortAttackRadius(u32 slot) const
{
    if (!m_parameter || slot >= kSpellSlotCount) return 0;
    const f32 r = m_parameter->GetSpellCard(slot).GetValues().shortAttackRadius;
    return r == FLT_MAX ? 0.0f : r;
}

f32 CCharacterAction::GetAttackGuardStiffen() const
{
    if (IsCloseAttackAction(m_status.action)) {
        const ShortAttackRecord* r = CurrentShortAttack(*this);
        return r ? r->guardStiffenTime : 0;
    }
    const CSpellCardValues* card = IsSpellAction(m_status.action) ? CardValues(*this) : nullptr;
    return card ? card->shortAttackGuardStiffen : 0;
}

f32 CCharacterAction::GetAttackGuardGauge() const
{
    const f32 k = m_parameter ? m_parameter->values.guard.gaugeMagnification : 0;
    const bool last = IsLastComboHit();
    if (IsCloseAttackAction(m_status.action)) {
        const ShortAttackRecord* r = CurrentShortAttack(*this);
        return r ? (last ? r->lastGauge : r->gauge) * k : 0;
    }
    const CSpellCardValues* card = IsSpellAction(m_status.action) ? CardValues(*this) : nullptr;
    return card ? (last ? card->shortAttackLastGauge : card->shortAttackGauge) * k : 0;
}

f32 CCharacterAction::GetAttackCauseGauge() const
{
    const f32 k = m_parameter ? m_parameter->values.guard.gaugeMagnification : 0;
    const bool last = IsLastComboHit();
    if (IsCloseAttackAction(m_status.action)) {
        const ShortAttackRecord* r = CurrentShortAttack(*this);
        return r ? (last ? r->lastCauseGauge : r->causeGauge) * k : 0;
    }
    const CSpellCardValues* card = IsSpellAction(m_status.action) ? CardValues(*this) : nullptr;
    return card ? (last ? card->shortAttackLastCauseGauge : card->shortAttackCauseGauge) * k : 0;
}

f32 CCharacterAction::GetAttackMpScrape() const
{
    if (IsCloseAttackAction(m_status.action)) {
        const ShortAttackRecord* r = CurrentShortAttack(*this);
        return r ? r->mpScrape : 0;
    }
    const CSpellCardValues* card = IsSpellAction(m_status.action) ? CardValues(*this) : nullptr;
    return card ? card->shortAttackMpScrape : 0;
}

u32 CCharacterAction::MarkAttackHit(const CCharacterBase* target, u32 flag)
{
    if (target) m_status.attackHitMask |= flag << (target->GetStatus()->participantSlot % 32);
    return 1;
}

u32 CCharacterAction::GuardShortAttack(CCharacterAction* d, u32)
{
    if (!d || !d->m_parameter || !d->IsGuarding()) return 0;
    if (HasHitTarget(d)) return 1;
    const bool spell = IsSpellAction(m_status.action);
    const CSpellCardValues* card = spell ? CardValues(*this) : nullptr;
    if (spell && (!card || !card->shortAttackGuard)) return 0;
    CVector3 mine, theirs;
    GetCenter(&mine);
    d->GetCenter(&theirs);
    const GuardRecord& guard = d->m_parameter->values.guard;
    if (d->GetGuardAngle(mine) > guard.angle) return 0;
    f32 guardRadius = guard.radius;
    const CSpellCardValues* defenderCard = IsSpellAction(d->m_status.action) ? CardValues(*d) : nullptr;
    if (defenderCard && defenderCard->spellType == 6) guardRadius = d->GetCardShortAttackRadius(d->m_status.spellSlot);
    const ShortAttackRecord* record = spell ? nullptr : CurrentShortAttack(*this);
    const i32 hitType = card ? card->shortAttackHitType : (record ? record->hitType : -1);
    const auto& spheres = m_parameter->values.body.hitSphere;
    for (u32 i = 0; i < spheres.GetCount(); ++i) {
        CVector4 s;
        if (spheres.GetAt(i)->type != hitType || !GetHitSphere(i, &s)) continue;
        CVector3 sphere(s.x, s.y, s.z), g = theirs, contact;
        if (!Sweep(&sphere, s.w, m_status.displacement, &g, guardRadius, CVector3(), &contact, false)) continue;
        ++m_meeting.blockedAttacks;
        ++d->m_meeting.guardedHits;
        const bool counter = d->IsInJustGuardWindow() &&
                             (!spell || (IsCloseAttackType(card->spellType) && m_status.spellSlot < 5 && defenderCard &&
                                         defenderCard->spellType == 6));
        if (!counter) {
            MarkAttackHit(d, 1);
        } else {
            ++d->m_meeting.guardCounters;
            // Pushed along the line between the positions, not the centres:
            // fighters of different heights on one level stay level.
            Damage(m_position - d->m_position, kGuardCounterDamage, 0, d);
            if (defenderCard && defenderCard->spellType == 6) d->AdvanceCardShortAttack();
        }
        // Turned to face along the contact direction.
        const CVector3 dir = contact - mine;
        const f32 flat = SqrtF(dir.x * dir.x + dir.z * dir.z);
        const CVector3 facing(Atan2F(dir.y, flat) * kRadToDeg, Atan2F(dir.x, dir.z) * kRadToDeg + 180.0f, 0.0f);
        PlayAt(*this, kEffectHitGuard, contact, &facing);
        if (d->m_status.action == kActionGuard) {
            d->m_status.timers.guardHold = GetAttackGuardStiffen();
            if (CanScrapeMp()) d->PayGuardMP(GetAttackMpScrape(), this);
            d->AddSparkGauge(GetAttackCauseGauge());
            d->AddSparkGauge(GetAttackGuardGauge());
        }
        return 1;
    }
    return 0;
}
