// The state queries of the action machine: small rules over the current and
// queued action, the running spell card and a few timers.
#include "game/battle/character/CharacterAction.h"
#include "game/battle/character/CharacterSlots.h"

#include "engine/core/FloatMath.h"
#include "game/battle/object/MeshHitRecord.h"
#include "game/battle/object/Weapon.h"

#include <initializer_list>

namespace {

using namespace character_slots;
using namespace character_actions;

bool IsSlideShoot(u32 action) { return action >= kActionSlideShoot && action <= kActionTripleSlideShoot; }
bool IsSlide(u32 action) { return action >= kActionSlide && action <= kActionTripleSlide; }
bool IsCloseAttackType(i32 type) { return type == 4 || type == 5 || type == 6; }

// The card of the selected slot: its settings (null without a parameter
// set) and its running state (null without the card).
struct Card {
    const CSpellCardValues* values;
    const ISpellCardState* state;
    u32 slot;

    i32 Type() const { return values ? values->spellType : -1; }
    f32 Clock() const { return state ? state->GetClock() : 0.0f; }
};

Card CurrentCard(const CCharacterBase& c)
{
    const u32 slot = c.GetStatus()->spellSlot;
    const CCharacterParameter* p = c.GetParameter();
    return {p && slot < kSpellSlotCount ? &p->GetSpellCard(slot).GetValues() : nullptr, c.GetSpellCardState(slot),
            slot};
}

// The current short-attack record, null without a parameter set.
const ShortAttackRecord* ShortAttack(const CCharacterBase& c)
{
    const CCharacterParameter* p = c.GetParameter();
    const u32 i = c.GetStatus()->comboIndex;
    return p && i < kShortAttackCount ? &p->values.shortAttacks[i] : nullptr;
}

bool BarrageMoves(const CCharacterBase& c)
{
    const CCharacterParameter* p = c.GetParameter();
    const u32 slot = c.GetStatus()->barrageSlot;
    return p && slot < kShotSlotCount && p->values.shots[slot].movingFlg != 0;
}

// The slide motion, a double or triple slide's taken as the plain slide's
// of the same direction, is one of motions.
bool SlideMotionIs(const CCharacterBase& c, std::initializer_list<u32> motions)
{
    u32 m = c.GetStatus()->slideMotion;
    if (m >= kMotionDoubleSlideFront && m <= kMotionDoubleSlideLast) m -= kDoubleSlideOffset;
    return In(m, motions);
}

// A spell action whose card aims its bones: ROTATIONFLG clear,
// BONEROTATIONFLG set, GAZEFLG clear.
bool CardAimsBones(const Card& card)
{
    return card.values && !card.values->rotationFlg && card.values->boneRotationFlg && !card.values->gazeFlg;
}

bool InLockedClimax(const CCharacterBase& c)
{
    return c.GetStatus()->action == kActionSpellCard && c.IsClimaxLocked();
}

}  // namespace

u32 CCharacterAction::IsActive() const { return !IsDefeated() && !IsOut(); }

u32 CCharacterAction::IsAttackWindow() const
{
    const u32 a = m_status.action;
    if (IsCloseAttackAction(a)) {
        const ShortAttackRecord* r = ShortAttack(*this);
        const f32 t = m_status.timers.shortAttackTime;
        return r && r->start <= t && t < r->end;
    }
    if (IsSpellAction(a)) {
        const Card card = CurrentCard(*this);
        const f32 t = card.Clock();
        // An idle card keeps its last clock: only a running one hits.
        return IsCloseAttackType(card.Type()) && card.state && !card.state->IsIdle() &&
               card.values->shortAttackStart <= t && t < card.values->shortAttackEnd;
    }
    return 0;
}

u32 CCharacterAction::IsFree() const
{
    if (m_status.queuedAction == kActionResult) return 0;
    switch (m_status.action) {
    case kActionNeutral: return 1;
    case kActionShoot: return m_status.turnShoot == 0;
    case kActionSpellCard:
        // Once locked the climax card moves and animates its user itself:
        // the move input would cut its approach motion short.
        return CardLetsUserSteer() && !IsClimaxLocked();
    default: return 0;
    }
}

u32 CCharacterAction::CardLetsUserSteer() const
{
    const Card card = CurrentCard(*this);
    return card.values && card.values->movingFlg && card.state && card.state->LetsUserMove() ? 1 : 0;
}

u32 CCharacterAction::CanMoveInSpell() const
{
    const u32 a = m_status.action;
    if (a == kActionBound) return 0;
    if (!IsSpellAction(a)) return a != kActionShootOut;
    const Card card = CurrentCard(*this);
    return card.values && card.values->movingFlg && !card.values->gazeFlg && !IsClimaxLocked();
}

u32 CCharacterAction::KeepsRotationAsView() const
{
    return !IsChangedAnimation(kMotionDashStart) && m_status.action != kActionGuard;
}

u32 CCharacterAction::LevelsView() const
{
    const u32 a = m_status.action;
    if (IsCloseAttackAction(a) || a == kActionDash) return 0;
    if (IsShootAction(a) && !BarrageMoves(*this) && m_status.turnShoot) return 0;
    if ((IsSlideShoot(a) || IsSlide(a)) && SlideMotionIs(*this, {kMotionSlideFront})) return 0;
    if (IsSpellAction(a)) {
        const Card card = CurrentCard(*this);
        return !IsClimaxLocked() && card.values && !card.values->rotationFlg && !card.values->gazeFlg;
    }
    if (a == kActionHitReaction && m_status.damageType == kDamageSpin) return !IsChangedAnimation(kMotionDamageSpin);
    return 1;
}

u32 CCharacterAction::CanAimHead() const
{
    const u32 a = m_status.action;
    if (m_status.queuedAction == kActionResult) return 0;
    if (In(a, {1, 2, 3, 4, 13, 14, 15, 21, 22, 23, 24, 25})) return 0;
    if (IsShootAction(a) && !BarrageMoves(*this)) return 0;
    if (IsSpellAction(a)) return CardAimsBones(CurrentCard(*this));
    if (IsSlideShoot(a)) return !SlideMotionIs(*this, {kMotionSlideFront});
    if (IsSlide(a)) return !SlideMotionIs(*this, {kMotionSlideFront, kMotionSlideUp, kMotionSlideDown});
    if (a == kActionNeutral) return !IsChangedAnimation(kMotionMoveUp) && !IsChangedAnimation(kMotionMoveDown);
    return 1;
}

u32 CCharacterAction::CanAimArm() const
{
    const u32 a = m_status.action;
    if (m_status.queuedAction == kActionResult) return 0;
    if (In(a, {1, 2, 3, 4, 13, 22, 23, 24})) return 0;
    if (IsShootAction(a) && !BarrageMoves(*this)) return 0;
    if (IsSpellAction(a)) return CardAimsBones(CurrentCard(*this));
    if (In(a, {14, 15, 21, 25})) return 0;
    if (IsSlideShoot(a) || IsSlide(a)) return !SlideMotionIs(*this, {kMotionSlideFront});
    return 1;
}

u32 CCharacterAction::IsShooting() const { return IsShootAction(m_status.action); }

u32 CCharacterAction::CanChangeTarget() const
{
    if (IsDefeated() || m_status.queuedAction == kActionResult) return 0;
    const u32 a = m_status.action;
    return !IsCloseAttackAction(a) && !IsSpellAction(a) && !In(a, {21, 24, 26});
}

u32 CCharacterAction::IsKnockedOut() const { return (IsDefeated() && !m_status.revival) || IsOut(); }

u32 CCharacterAction::CanChangeTension() const
{
    const u32 a = m_status.action;
    if (IsDefeated() || a == kActionFrozen || a == kActionBound) return 0;
    return !(a == kActionSpellCard && (m_status.spellSlot == 5 || m_status.spellSlot == 6));
}

u32 CCharacterAction::IsHostile(const CCharacterBase* other) const
{
    return other && other != this && other->GetTeam() != GetTeam() && other->IsActive();
}

u32 CCharacterAction::IsDefeated() const { return m_status.action == kActionDefeated; }

u32 CCharacterAction::IsOut() const
{
    if (!m_status.revival) return 0;
    // In: the team; out: the lives it has left.
    i32 word = m_status.team;
    auto* self = const_cast<CCharacterAction*>(this);
    if (!self->SendObjectMessage(kMsgTeamLives, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&word)))
        return 0;
    return word < 1;
}

u32 CCharacterAction::IsHittable() const
{
    const u32 a = m_status.action;
    if (m_status.timers.invincibility > 0) return 0;
    if (In(a, {21, 22, 24, 26}) || m_status.queuedAction == kActionResult) return 0;
    if (a == kActionSpellCard) {
        if (IsClimaxLocked()) return 0;
        const ISpellCardState* card = GetSpellCardState(5);
        if (m_status.spellSlot == 5 && HasSkillGuardThrough() && card && card->GetCounter() > 1) return 0;
    }
    if (a == kActionHitReaction && (m_status.damageType == kDamageSpin || m_status.damageType == kDamageDown))
        return 0;
    return 1;
}

u32 CCharacterAction::IsSolid() const
{
    const u32 a = m_status.action;
    if (a == kActionSlideAttack || a == kActionMirageSlideAttack) return 0;
    if (!IsSpellAction(a)) return 1;
    return CurrentCard(*this).Type() != 4;
}

u32 CCharacterAction::HasHitTarget(const CCharacterBase* other) const
{
    return other && (m_status.attackHitMask >> (other->GetStatus()->participantSlot % 32) & 1u);
}

u32 CCharacterAction::IsGuarding() const
{
    const u32 a = m_status.action;
    if (a == kActionGuard) return 1;
    if (!IsSpellAction(a)) return 0;
    const Card card = CurrentCard(*this);
    if (card.Type() == 6) return card.Clock() < card.values->shortAttackFast;
    if (card.Type() == 1) return !(card.state && card.state->IsPhaseSet());
    return 0;
}

u32 CCharacterAction::IsInJustGuardWindow() const
{
    if (IsSpellAction(m_status.action)) return CurrentCard(*this).Type() == 6;
    return m_parameter && m_status.guardGauge < m_parameter->values.guard.justGuardTime &&
           m_status.timers.guardHold <= 0;
}

u32 CCharacterAction::CanClashWith(const CCharacterBase* other) const
{
    if (!IsSpellAction(m_status.action)) return 1;
    if (!other || !IsSpellAction(other->GetStatus()->action)) return 0;
    return CurrentCard(*other).Type() == 6 && IsCloseAttackType(CurrentCard(*this).Type()) && m_status.spellSlot < 5;
}

u32 CCharacterAction::IsAttackHitType(i32 type) const
{
    const u32 a = m_status.action;
    if (IsCloseAttackAction(a)) {
        const ShortAttackRecord* r = ShortAttack(*this);
        return r && r->hitType == type;
    }
    if (IsSpellAction(a)) {
        const Card card = CurrentCard(*this);
        return IsCloseAttackType(card.Type()) && card.values->shortAttackHitType == type;
    }
    return 0;
}

u32 CCharacterAction::IsLastComboHit() const
{
    if (!IsCloseAttackAction(m_status.action) || !m_parameter) return 0;
    const CharacterGeneral& g = m_parameter->values.general;
    const i32 combo = i32(m_status.comboIndex);
    switch (m_status.tension) {
    case 1: return combo == g.normalAttackCount;
    case 2: return combo == g.hiTensionAttackCount;
    case 3: return combo == g.climaxTensionAttackCount;
    default: return 0;
    }
}

u32 CCharacterAction::IsCloseAttacking() const { return IsCloseAttackAction(m_status.action); }

u32 CCharacterAction::IsSliding() const { return In(m_status.action, {3, 4, 6, 7, 8, 10, 11, 12, 16, 17, 18, 19}); }

u32 CCharacterAction::IsRolling() const
{
    return m_status.action == kActionHitReaction && (m_status.damageType == 5 || m_status.damageType == 6);
}

u32 CCharacterAction::IsInCameraView(const CCharacterBase* other) const
{
    if (!other || !m_camera) return 0;
    CVector3 from, to, forward;
    GetCenter(&from);
    other->GetCenter(&to);
    CVector3 toward = to - from;
    toward.Normalize();
    m_camera->GetForward(&forward);
    forward.Normalize();
    f32 cosine = forward.Dot(toward);
    if (cosine > 1.0f) cosine = 1.0f;
    if (cosine < -1.0f) cosine = -1.0f;
    return AcosF(cosine) * kRadToDeg <= m_camera->GetViewAngleLimit();
}

u32 CCharacterAction::IsLineClear(const CCharacterBase* other)
{
    if (!other) return 0;
    CVector3 from, to;
    GetCenter(&from);
    other->GetCenter(&to);
    CVector3 line = to - from;
    return SendObjectMessage(kMsgStageMoveTest, CObjectRegistry::kBroadcastId, kGroupStage,
                             reinterpret_cast<intptr_t>(&line)) == 0;
}

bool CCharacterAction::ReachMeetsStage(CVector3* reach, CVector3* normal)
{
    CMeshHitRecord record;
    m_reachHit = &record, m_reachMet = false;
    SendObjectMessage(kMsgStageMoveTest, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(reach));
    m_reachHit = nullptr;
    const bool met = m_reachMet;
    m_reachMet = false;
    // The face's normal as a unit, whichever side it faces; a face without
    // one (or with NaN in it) gives none.
    const f32 length = record.normal.Length();
    *normal = met && length > 0.0f && length < 3e38f ? record.normal * (1.0f / length) : CVector3();
    return met;
}

u32 CCharacterAction::CanSpeak() const
{
    const u32 a = m_status.action;
    return !IsSpellAction(a) && a != kActionBound && !(m_status.timers.longestVoice > 0);
}

u32 CCharacterAction::IsDashing() const { return m_status.action == kActionDash; }

u32 CCharacterAction::ShowsAfterimages() const
{
    const u32 a = m_status.action;
    if (In(a, {6, 7, 8, 10, 11, 12, 16, 17, 18, 19, 4})) return 1;
    if (a == kActionSlideAttack) return IsChangedAnimation(kMotionSlideAttackSet);
    if (a == kActionSpellCard) {
        const Card card = CurrentCard(*this);
        return card.Type() == 4 && card.Clock() != 0 && card.Clock() < card.values->shortAttackFast;
    }
    return 0;
}

u32 CCharacterAction::CanUse(u32 kind) const
{
    switch (kind) {
    case 0: return CanGuard();
    case 1: return CanShortAttack(m_status.comboIndex);
    case 2:
    case 3: return CanShoot();
    case 4:
    case 5: return CanCastSpell();
    case 6: return CanCastExceptionSpell();
    case 7: return CanCastHiTensionSpell();
    case 8: return CanCastClimaxSpell();
    default: return 0;
    }
}

u32 CCharacterAction::ShowsCameraFrontEffect() const
{
    return m_status.action != kActionBound && ShowsStageEffects();
}

u32 CCharacterAction::ShowsStageEffects() const
{
    const u32 a = m_status.action;
    if (a == kActionDefeated) return 0;
    if (!IsSpellAction(a)) return 1;
    const Card card = CurrentCard(*this);
    return card.values && !card.values->blackoutFlg;
}

u32 CCharacterAction::ShowsHiTensionStage() const
{
    return m_status.action != kActionDefeated && m_status.action != kActionResult &&
           m_status.queuedAction != kActionResult && m_status.tension == 2;
}

u32 CCharacterAction::ShowsClimaxStage() const
{
    return m_status.action != kActionDefeated && m_status.action != kActionResult &&
           m_status.queuedAction != kActionResult && m_status.tension == 3;
}

u32 CCharacterAction::IsOverTensionEffectDue() const
{
    return m_parameter && m_status.timers.overTensionEffect >= m_parameter->values.general.overTensionStageEffectInterval &&
           m_status.action != kActionDefeated && m_status.action != kActionResult &&
           m_status.queuedAction != kActionResult && (m_status.tension == 2 || m_status.tension == 3);
}

u32 CCharacterAction::CanGiveOrders() const
{
    if (In(m_status.action, {22, 23, 24, 26}) || m_status.queuedAction == kActionResult) return 0;
    return !InLockedClimax(*this);
}

u32 CCharacterAction::IsFrozen() const { return m_status.timers.freezeTime > 0; }

u32 CCharacterAction::IsCloseAttackCard() const
{
    return IsSpellAction(m_status.action) && IsCloseAttackType(CurrentCard(*this).Type());
}

u32 CCharacterAction::IsCounterCard() const
{
    return IsSpellAction(m_status.action) && CurrentCard(*this).Type() == 6;
}

u32 CCharacterAction::CanEndAtOnce() const { return In(m_status.action, {0, 1, 13, 15, 19, 21, 22, 24, 25}); }

u32 CCharacterAction::IsClimaxLocked() const
{
    if (!IsSpellAction(m_status.action) || m_status.spellSlot != 6) return 0;
    const ISpellCardState* card = GetSpellCardState(6);
    return card && card->IsLocked();
}

u32 CCharacterAction::IsTargetable() const
{
    return !IsDefeated() && m_status.action != kActionBound && !InLockedClimax(*this);
}

// -- Accessors of the object interface. --

void CCharacterBase::GetCenter(CVector3* out) const
{
    *out = m_position;
    if (m_parameter) out->y += m_parameter->values.body.height * 0.5f;
}

void CCharacterBase::GetRotation(CVector3* out) const
{
    *out = m_rotation + m_status.arm.rotation + m_status.body.rotation;
}

void CCharacterBase::GetMatrix(CMatrix* out) const
{
    const CVector3 aim = m_status.arm.rotation + m_status.body.rotation;
    CMatrix turn;
    turn.RotationEuler(&aim);
    *out = turn * m_world;
}

f32 CCharacterBase::GetRadius() const { return m_parameter ? m_parameter->values.body.radius : 0.0f; }

u32 CCharacterBase::GetSubObject(u32 i) const
{
    if (!HasWeapon(i)) return 0;
    const auto* weapon = static_cast<const CWeapon*>(m_weapons.GetAt(i));
    return weapon ? weapon->HasReturned() : 0;
}

u32 CCharacterBase::IsSubObjectKind(u32 i, i32 type) const
{
    return m_parameter && i < kSpellSlotCount && m_parameter->GetSpellCard(i).GetValues().spellType == type;
}

const ISpellCardState* CCharacterBase::GetSpellCardState(u32 s) const
{
    return s < m_spellCards.size() ? dynamic_cast<const ISpellCardState*>(m_spellCards[s].get()) : nullptr;
}

ISpellCardState* CCharacterBase::GetSpellCardState(u32 s)
{
    return s < m_spellCards.size() ? dynamic_cast<ISpellCardState*>(m_spellCards[s].get()) : nullptr;
}

u32 CCharacterBase::GetSpellStock(u32 s) const
{
    const ISpellCardState* card = GetSpellCardState(s);
    return card ? card->GetStock() : 0;
}
