// The second-pass callbacks that decide whether a close attack or a bullet
// actually hits a fighter, and what the bullet's hit kind makes of the hit.
#include "game/battle/character/CharacterAction.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Geometry.h"
#include "engine/scene/EffectContainer.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/SpellCard.h"
#include "game/battle/object/Weapon.h"

namespace {

using namespace character_actions;

enum : u32 {
    kEffectHitAttack = 12, kEffectHitAttackFinal = 13, kEffectHitSlideAttack = 14,
    kEffectDestructionStart = 50, kEffectDestruction = 51, kEffectDotDamage = 52,
    kAttachedDisorder = 20, kAttachedDot = 21, kAttachedRestriction = 24,
};

bool Meet(const CVector3& a, f32 ra, const CVector3& va, const CVector3& b, f32 rb, const CVector3& vb, CVector3* at)
{
    f32 sa[4] = {a.x, a.y, a.z, ra}, sb[4] = {b.x, b.y, b.z, rb};
    return IntersectMovingSpheres(sa, sb, &va, &vb, at, 0) != 0;
}

void PlayContainerAt(CCharacterBase& c, const CEffectContainer* container, const CVector3& at)
{
    CVector3 r;
    c.GetRotation(&r);
    if (container) container->PlayAt(c.GetEffectManager(), &at, &r, nullptr, 0.0f, 1, 0, nullptr);
}

void PlayAt(CCharacterBase& c, u32 effect, const CVector3& at)
{
    PlayContainerAt(c, c.GetStatus()->effects[effect], at);
}

// While the attacker shows a weapon, the hit sounds as that weapon's kind
// (SOUNDTYPE 1 cuts, anything else strikes) at the weight of the damage
// type (1 light, anything else heavy).
void PlayWeaponHitSound(CCharacterBase& attacker, u32 damageType)
{
    const i32 shown = attacker.GetStatus()->shownWeapon;
    if (shown < 0 || !attacker.HasWeapon(u32(shown))) return;
    const auto* weapon = static_cast<const CWeapon*>(attacker.GetWeapons().GetAt(u32(shown)));
    const CWeaponSetting* settings = weapon ? weapon->GetSettings() : nullptr;
    if (settings) attacker.PlayHitSound(damageType, u32(settings->values.soundType));
}

}  // namespace

i32 CCharacterAction::CollideCharacter2(CCharacterAction* other, u32 frame)
{
    if (!other) return 1;
    PushApart(other, frame);
    if (!m_meeting.friendlyFire && other->m_status.team == m_status.team) return 1;
    TestCloseAttack(other, frame);
    other->TestCloseAttack(this, frame);
    return 1;
}

i32 CCharacterAction::TestCloseAttack(CCharacterAction* d, u32 frame)
{
    if (!d || !m_parameter || !d->m_parameter || !d->IsHittable() || !IsAttackWindow() || HasHitTarget(d)) return 1;
    if (GuardShortAttack(d, frame)) return 1;
    const auto& mine = m_parameter->values.body.hitSphere;
    const auto& theirs = d->m_parameter->values.body.hitSphere;
    CVector3 from, to;
    GetCenter(&from);
    d->GetCenter(&to);
    for (u32 i = 0; i < mine.GetCount(); ++i) {
        const i32 type = mine.GetAt(i)->type;
        CVector4 a;
        if (type == 0 || !IsAttackHitType(type) || !GetHitSphere(i, &a)) continue;
        const CVector3 ac(a.x, a.y, a.z);
        // Two live attacks that meet cancel each other this frame.
        if (d->IsAttackWindow()) {
            for (u32 j = 0; j < theirs.GetCount(); ++j) {
                CVector4 b;
                const i32 t = theirs.GetAt(j)->type;
                if (t == 0 || !d->IsAttackHitType(t) || !d->GetHitSphere(j, &b)) continue;
                CVector3 at;
                if (Meet(ac, a.w, m_status.displacement, {b.x, b.y, b.z}, b.w, d->m_status.displacement, &at)) return 1;
            }
        }
        for (u32 j = 0; j < theirs.GetCount(); ++j) {
            CVector4 b;
            if (theirs.GetAt(j)->type != 0 || !d->GetHitSphere(j, &b)) continue;
            CVector3 at;
            // Both fighters move this frame: a defender running into the
            // attack is hit as surely as one the attack runs into.
            if (!Meet(ac, a.w, m_status.displacement, {b.x, b.y, b.z}, b.w, d->m_status.displacement, &at)) continue;
            const CVector3 direction = (to - from).Normalized();
            if (type < 10) ApplyShortAttackHit(d, at, direction);
            else ApplySpellSphereHit(d, at, direction);
            MarkAttackHit(d, 1);
            return 1;
        }
    }
    return 1;
}

i32 CCharacterAction::ApplyShortAttackHit(CCharacterAction* d, const CVector3& contact, const CVector3& direction)
{
    const u32 n = m_status.comboIndex;
    if (!m_parameter || n >= kShortAttackCount) return 1;
    const ShortAttackRecord& r = m_parameter->values.shortAttacks[n];
    const bool last = IsLastComboHit();
    PlayAt(*this, last ? kEffectHitAttackFinal : (n == 7 ? kEffectHitSlideAttack : kEffectHitAttack), contact);
    const u32 damageType = u32(last ? r.lastDamageType : r.damageType);
    d->TakeHit(Hit{f32(r.str) * GetStrengthFactor(), last ? r.lastPow : r.pow, last ? r.lastLimit : r.limit,
        last ? r.lastGauge : r.gauge, last ? r.lastCauseGauge : r.causeGauge, direction, damageType, 0, 1, 0, this});
    for (CharacterStatus* s : {&m_status, &d->m_status})
        s->timers.hitStopDelay = r.hitStopDelayTime, s->timers.hitStopTime = r.hitStopTime;
    PlayWeaponHitSound(*this, damageType);
    return 1;
}

i32 CCharacterAction::ApplySpellSphereHit(CCharacterAction* d, const CVector3& contact, const CVector3& direction)
{
    const u32 slot = m_status.spellSlot;
    if (!m_parameter || slot >= kSpellSlotCount) return 1;
    const CSpellCardValues& c = m_parameter->GetSpellCard(slot).GetValues();
    const bool last = IsLastComboHit();
    static constexpr u32 kKinds[kSpellSlotCount] = {6, 6, 7, 7, 8, 9, 10};
    // The same flag turns the climax card's barrages to kind 11.
    const u32 kind = slot == 6 && HasClimaxFlag() ? 11 : kKinds[slot];
    const auto* card = slot < m_spellCards.size() ? dynamic_cast<const CSpellCard*>(m_spellCards[slot].get()) : nullptr;
    if (card) PlayContainerAt(*this, card->GetEffect(CSpellCard::kHitEffectSlot), contact);
    const u32 damageType = u32(last ? c.shortAttackLastDamageType : c.shortAttackDamageType);
    const i32 taken = d->TakeHit(Hit{f32(c.shortAttackStr) * GetAttackPowerFactor(kind), c.shortAttackPow,
        last ? c.shortAttackLastLimit : c.shortAttackLimit, last ? c.shortAttackLastGauge : c.shortAttackGauge,
        last ? c.shortAttackLastCauseGauge : c.shortAttackCauseGauge, direction, damageType, kind, 1, 0, this});
    PlayWeaponHitSound(*this, damageType);
    // A restricting card (SHORTATTACKBUFFERTYPE set) holds its victim for
    // its BUFFERTIME; a victim that refused the hit (in another shoot-out)
    // is not held.
    if (taken && c.shortAttackBufferType != 0 && c.bufferTime > 0.0f) {
        d->m_status.timers.statusTimers[kRestrictionTimer] = c.bufferTime;
        if (!d->GetAttachedObject(kAttachedRestriction))
            d->StartEffect(kAttachedRestriction, FindEffectKey("EFCRESTRICTION"));
    }
    return 1;
}

i32 CCharacterAction::HitBullet(CBullet* bullet, u32 frame)
{
    if (!bullet || !m_parameter || bullet->GetOwner() == this || m_status.action == kActionDefeated) return 1;
    const CBulletValues& v = bullet->Values();
    const u32 slot = m_status.participantSlot;
    const bool targeted = bullet->GetTarget() == this && v.hitType >= 17 && v.hitType <= 20;
    if (!targeted) {
        if (!IsHittable() || !bullet->CanHitTarget(slot)) return 1;
        if (!m_meeting.friendlyFire && bullet->GetShooterGroup() == m_status.team && v.hitType != 13) return 1;
    }
    if (GuardBullet(bullet, frame)) return 1;
    if (!bullet->IsHitIntervalElapsed(slot) || !bullet->IsHitEffectIntervalElapsed(slot)) return 1;
    CVector3 centre, bc, step;
    GetCenter(&centre);
    f32 br = 0;
    bullet->GetHitSphere(&bc, &br);
    bullet->GetDirection(&step);
    if ((v.hitType == 5 || v.hitType == 19) && bc.y > centre.y) return 1;
    if (v.hitType == 10 || bullet->IsStopped()) return 1;
    TestAutoSlideDanger(bullet, frame);
    CVector3 at;
    // The bounding sphere stands at the position, not at the centre.
    if (!Meet(m_position, m_parameter->values.body.radius, CVector3(), bc, br, step, &at)) return 1;
    const auto& spheres = m_parameter->values.body.hitSphere;
    for (u32 i = 0; i < spheres.GetCount(); ++i) {
        CVector4 s;
        if (spheres.GetAt(i)->type != 0 || !GetHitSphere(i, &s)) continue;
        if (!Meet({s.x, s.y, s.z}, s.w, CVector3(), bc, br, step, &at)) continue;
        CVector3 direction;
        bullet->GetHitVector(centre, &direction);
        return ApplyBulletHit(bullet, direction, at);
    }
    return 1;
}

i32 CCharacterAction::ApplyBulletHit(CBullet* bullet, const CVector3& direction, const CVector3& contact)
{
    const CBulletValues& v = bullet->Values();
    const u32 slot = m_status.participantSlot;
    CObjectDivision* shooter = bullet->GetOwner();
    auto* owner = dynamic_cast<CCharacterAction*>(shooter);
    // The hit reaction holds for it once its knock-back has run out.
    m_status.timers.hitReaction = v.damageStiffenTime;
    const bool last = v.hitCount > 1 && bullet->GetState().hitCount[slot % 4] + 1 >= u32(v.hitCount);
    const bool targeted = bullet->GetTarget() == this && v.hitType >= 17 && v.hitType <= 20;
    Hit hit{f32(bullet->GetState().damage), last && v.lastPow != 0 ? v.lastPow : v.pow,
        last ? v.lastLimit : v.limit, last ? v.lastGauge : v.gauge, last ? v.lastCauseGauge : v.causeGauge,
        direction, u32(last ? v.lastDamageType : v.damageType), bullet->GetState().attackKind, 1, 0,
        dynamic_cast<CCharacterBase*>(shooter)};
    bool effect = true, counted = true;
    switch (v.hitType) {
    case 2:
        // A bind holds only while the shooter casts and neither side refuses.
        if (bullet->IsEnded() || !owner || owner->m_status.action != kActionSpellCard ||
            In(m_status.action, {kActionShootOut, kActionBound})) {
            bullet->ReleaseOnHit();
            return 0;
        }
        LockOnTo(owner);
        owner->LockOnTo(this);
        m_meeting.boundBy = owner->GetId();
        ++owner->m_meeting.binds;
        // Through the bind's own start: its motion (the one the bound step
        // keeps), still vectors, the reset and the bind effect.
        StartBound(FindMotionKey("CLIMAXBIND"));
        owner->StartClimaxCard();
        effect = false;
        break;
    case 6:
        m_status.previousFreezeKind = m_status.freezeKind;
        m_status.freezeKind = u32(v.freezeType);
        m_status.timers.freezeTime = v.freezeTime;
        m_status.timers.sparkLock = v.sparkInterval;
        StartFrozen();
        // The freeze is this hit's reaction. With its damage type the hit
        // reaction would start at once and its reset end the freeze in the
        // same frame, unseen; without one only an ice freeze pushed over
        // the limit breaks into the spin.
        hit.damageType = 0;
        TakeHit(hit);
        effect = false;
        break;
    case 9:
        effect = false;
        counted = bullet->CheckProximity(this) != 0;
        if (counted) TakeHit(hit);
        break;
    case 13:
        // A heal held at the HP maximum shows nothing and is not counted: the
        // shot flies on to a fighter it can heal.
        effect = counted = RecoverHP(v.recoverySpeed) != 0;
        break;
    case 14:
        m_status.timers.statusTimers[kDisorderTimer] = v.disorderTime;
        TakeHit(hit);
        if (!GetAttachedObject(kAttachedDisorder)) {
            CVector3 at;
            bullet->GetPosition(&at);
            PlayAt(*this, kEffectDestructionStart, at);
            StartEffect(kAttachedDisorder, kEffectDestruction);
        }
        break;
    case 15:
        // The timers' step runs the ticks.
        StartDamageOverTime({v.disorderTime, v.dotDamageInterval, 0.0f, f32(bullet->GetState().dotDamage), v.dotGauge,
                             hit.causeGauge, u32(v.dotDamageType), shooter ? shooter->GetId() : 0});
        TakeHit(hit);
        if (!GetAttachedObject(kAttachedDot)) StartEffect(kAttachedDot, kEffectDotDamage);
        break;
    case 21:
        // The limit starts over: the gauge and the clock that would empty it.
        m_status.limitGauge = 0;
        m_status.timers.limitTimer = 0;
        TakeHit(hit);
        effect = counted = false;
        break;
    default:
        if (targeted && v.hitType <= 19) hit.canKill = 0, hit.keepAction = 1;
        if (targeted && v.hitType == 20) {
            CVector3 centre, bc;
            f32 r = 0;
            GetCenter(&centre);
            bullet->GetHitSphere(&bc, &r);
            hit.sourceDirection = (centre - bc).Normalized();
            hit.attackKind = owner && owner->HasClimaxFlag() ? 11 : 10;
        }
        TakeHit(hit);
        break;
    }
    m_status.timers.hitStopDelay = v.hitStopDelayTime;
    m_status.timers.hitStopTime = v.hitStopTime;
    if (effect && bullet->IsHitEffectIntervalElapsed(slot) && v.hitEffectType != 2) {
        if (const CEffectContainer* e = bullet->GetHitEffect()) {
            if (v.hitType == 13) PlayOnBones(*e);
            else e->PlayAtMatrix(GetEffectManager(), &contact, nullptr, nullptr, 1, nullptr);
        }
        bullet->ResetHitEffectTimer(slot);
    }
    if (counted) {
        bullet->CountHit(slot, 1);
        if (owner) ++owner->m_meeting.shotHits;
        // Its last hit on this fighter ends the shot (unless its release
        // type keeps it flying).
        if (!bullet->CanHitTarget(slot) && !bullet->IsHitEnded()) bullet->ReleaseOnHit();
    }
    return 1;
}
