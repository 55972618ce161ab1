// The last step of a fighter's frame: every clock advances by the frame
// time and the slow gauges (shown HP, MP, guard, ammunition, charges)
// recover or drain at their per-second rates.
#include "game/battle/character/Character.h"

#include "engine/core/Matrix.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "host/kernel/Kernel.h"

#include <algorithm>

namespace {

// Where the charge effect is kept while it plays: a slot of its own, as its
// clean-up empties the slot whenever nothing charges.
inline constexpr u32 kChargeSlot = 16;
inline constexpr u32 kDotSlot = 21, kDotHitKind = 4;
inline constexpr u32 kMsgAllReady = 24;
// How long a double attack stays announced (the console's notice and its burst).
inline constexpr f32 kDoubleAttackShown = 0.65f;

void CountDown(f32& clock, f32 dt) { clock -= dt; }

// The window a roll opens for a teammate closes; the flag of a double
// attack lasts as long as its notice.
void UpdateDoubleAttack(CharacterMoveHitState& m, f32 dt)
{
    if (m.doubleAttackWindow > 0.0f) CountDown(m.doubleAttackWindow, dt);
    if (!m.doubleAttackFlag) return;
    m.doubleAttackTimer += dt;
    if (m.doubleAttackTimer >= kDoubleAttackShown) m.doubleAttackFlag = 0;
}

}  // namespace

void CCharacter::UpdateCharge(bool spell, bool allowed, f32 limit)
{
    f32& charge = spell ? m_status.timers.spellCharge : m_status.timers.shotCharge;
    if (!allowed) {
        charge = 0.0f;
        return;
    }
    if (charge >= limit) return;
    charge += GetFrameTime();
    const f32 start = m_parameter ? m_parameter->values.general.chargeEffectStartTime : 0.0f;
    if (charge >= start && !GetAttachedObject(kChargeSlot)) StartEffect(kChargeSlot, FindEffectKey("EFCCHARGE"));
    if (charge >= limit) {
        SetAttachedObject(kChargeSlot, nullptr);
        PlayEffectOnce(FindEffectKey("EFCCHARGEMAX"));
        charge = limit;
    }
}

bool CCharacterBase::AttackEnding(u32 action) const
{
    if (action == kActionShortAttack) return IsChangedAnimation(character_actions::AttackMotion(m_status.comboIndex, true)) != 0;
    if (action != kActionSlideAttack && action != kActionMirageSlideAttack) return false;
    return IsChangedAnimation(FindMotionKey("SLIDEATTACK")) && IsChangedAnimationEnded();
}

u32 CCharacter::UpdateTimers(u32)
{
    CharacterStatus& s = m_status;
    CharacterTimers& t = s.timers;
    const f32 dt = GetFrameTime();
    const u32 a = s.action;
    const CharacterValues* v = m_parameter ? &m_parameter->values : nullptr;

    // 1. Plain clocks and count-downs.
    CountDown(t.hitStopDelay, dt);
    if (t.hitStopDelay <= 0.0f) CountDown(t.hitStopTime, dt);
    CountDown(t.justGuardWindow, dt);
    CountDown(t.guardHold, dt);
    CountDown(t.invincibility, dt);
    CountDown(t.longestVoice, dt);
    for (f32& cooldown : t.voiceCooldowns) CountDown(cooldown, dt);
    t.shortAttackTime += dt;
    t.slideTime += dt;
    for (f32& clock : t.slideClocks) clock += dt;
    for (f32& clock : s.attackClocks) clock += dt;
    // The clocks the actions start and read; this step alone advances them.
    for (u32 clock : {kDamageClock, kShootOutShotTimer, kSparkClock, kShootOutClock}) t.actionClocks[clock] += dt;
    t.turnShootClock += dt;
    m_status.afterimageClock += dt;
    UpdateDoubleAttack(s.moveHit, dt);
    if (AttackEnding(a)) t.afterAttackEnd += dt;
    if (CurrentBarrageFinished()) t.sinceBarrageFinished += dt;
    if (t.limitTimer > 0.0f && a != kActionHitReaction && a != kActionBound) {
        CountDown(t.limitTimer, dt);
        if (t.limitTimer <= 0.0f) s.limitGauge = 0.0f;
    }
    for (u32 i = 0; i < 5; ++i) {
        if (t.statusTimers[i] <= 0.0f) continue;
        CountDown(t.statusTimers[i], dt);
        if (t.statusTimers[i] > 0.0f) continue;
        if (i == kBuff3Timer) PlayEffectOnce(FindEffectKey("EFCJAMMEREND"));
        SetAttachedObject(kStatusSlots[i], nullptr);
    }

    // 2. Ammunition refills once the reload duration has passed.
    const f32 reloadRate = GetReloadRate();
    const u32 selected = s.selectedBarrage < kShotSlotCount ? s.selectedBarrage : 0;
    if (s.ammunition == 0 && a != kActionShoot) {
        t.ammoReload += dt * reloadRate;
        if (t.ammoReloadDuration <= t.ammoReload && v) s.ammunition = v->shots[selected].ammunition;
    }
    // 3.
    if (!character_actions::IsCloseAttackAction(a)) t.shortAttackCooldown += dt * GetShortAttackReloadRate();

    // 4. Guard gauge: fills while guarding, drains once reloaded.
    if (v) {
        const GuardRecord& g = v->guard;
        if (a == kActionGuard) {
            s.guardGauge += dt;
            // The break only raises the flag: the guard step ends the guard
            // next frame with its own clean-up (effect, weapons, states).
            if (s.guardGauge >= g.guardTime) s.guardBreak = 1;
        } else {
            if (s.guardGauge > 0.0f && t.guardReload >= g.reload) {
                s.guardGauge -= dt * (s.guardBreak ? g.cooldownRecover : g.recover);
                if (s.guardGauge <= 0.0f) s.guardGauge = 0.0f, s.guardBreak = 0;
            }
            t.guardReload += dt * reloadRate;
        }
    }

    // 5. Every card refills on its own clock, idle or not selected.
    for (u32 i = 0; i < m_spellCards.size(); ++i)
        if (ISpellCardDriver* card = GetSpellCardDriver(i)) card->UpdateCardReload(this);

    // 6, 7. Charges: the shot on 24 alone, the spell on 28 with 24.
    const bool shotHeld = Held(24) != 0, trigger = Held(28) != 0;
    // Either stun holds a charge: the hit's, or the attack's (a spark's
    // reaction time).
    const bool stunned = t.stun > 0.0f || t.secondStun > 0.0f;
    const bool blocked = stunned || a == kActionDefeated || a == kActionResult || a == kActionFrozen ||
                         a == kActionBound || s.queuedAction == kActionResult || a == kActionShootOut;
    const f32 shotLimit = v ? v->shots[selected].chargeTime : 0.0f;
    // Only a charged shot under way stops the next charge: its slot stays
    // current after it ends, and must not block charging from then on.
    const bool chargedShot = character_actions::IsShootAction(a) && s.barrageSlot >= 2;
    UpdateCharge(false, !trigger && shotHeld && !blocked && s.ammunition > 0 && !chargedShot, shotLimit);
    // The spell charge fills toward the selected card (A or B), not the card
    // cast last: that one may be a special card that never charges.
    const ISpellCardState* card = GetSpellCardState(GetSelectedSet());
    const f32 spellLimit = v ? m_parameter->GetSpellCard(GetSelectedSet()).GetValues().chargeTime : 0.0f;
    UpdateCharge(true, trigger && shotHeld && card && card->GetStock() && !stunned && a != kActionShootOut &&
                           !IsClimaxLocked(),
                 spellLimit);
    if (t.shotCharge == 0.0f && t.spellCharge == 0.0f && GetAttachedObject(kChargeSlot))
        SetAttachedObject(kChargeSlot, nullptr);

    // 8. The frozen action's own step advances its clock. 9. Boredom.
    if (a == kActionNeutral && IsNoButtonHeld(&m_input)) {
        t.boredom += dt;
        if (v && t.boredom >= v->general.tediumTime) StartTedium();
    } else {
        t.boredom = 0.0f;
    }

    // 10. The action-blocking stun ends through Unblocked.
    if (t.stun > 0.0f) {
        CountDown(t.stun, dt);
        if (t.stun <= 0.0f) EnterUnblocked();
    }
    if (t.sparkLock > 0.0f) CountDown(t.sparkLock, dt);
    if (t.secondStun > 0.0f) CountDown(t.secondStun, dt);

    // 11. The ready clock runs while every fighter passes its ready test:
    // the scene's answer to message 24, 1 once the battle is over and every
    // fighter rests in a settled action (the scene's message table rules).
    u32 ready = 0;
    if (SendObjectMessage(kMsgAllReady, 0, 0, reinterpret_cast<intptr_t>(&ready)) && ready == 1) {
        m_readyClock += dt;
        s.followed = s.savedFollowed;
    }

    // 12.
    UpdateStageEffects();

    // 13. Damage over time: ticks through the hit path but never defeat.
    if (m_dot.duration > 0.0f) {
        CountDown(m_dot.duration, dt);
        m_dot.clock += dt;
        if (m_dot.interval <= m_dot.clock) {
            m_dot.clock = 0.0f;
            const CObjectRegistry* registry = GetObjectRegistry();
            auto* source = registry ? dynamic_cast<CCharacterBase*>(registry->Find(m_dot.sourceId)) : nullptr;
            TakeHit(Hit{m_dot.damage, -1.0f, 0.0f, m_dot.gauge, m_dot.causeGauge, CVector3(0, 0, 0), m_dot.damageType,
                        kDotHitKind, 0, 0, source});
        }
        if (m_dot.duration <= 0.0f) SetAttachedObject(kDotSlot, nullptr);
    }

    // 14. Shown HP eases down; a heal shows at once.
    if (s.shownHp > f32(s.hp)) {
        s.shownHp -= (v ? v->body.subHpSpeed : 0.0f) * dt;
    } else {
        const i32 full = v ? v->general.hp : 0;
        if (m_regeneration && s.hp < full) {
            s.exactHp += v->body.addHpSpeed * dt;
            if (s.exactHp > f32(full)) s.exactHp = f32(full);
            s.hp = SaturateToI32(s.exactHp);
        }
        s.shownHp = f32(s.hp);
    }

    // 15. MP.
    if (v) {
        s.mp += dt * v->general.mpRecover * GetMpRecoveryRate();
        if (!(s.mp >= 0.0f)) s.mp = 0.0f;
        if (s.mp > v->general.mpMax) s.mp = v->general.mpMax;
    }

    // 16, 17.
    UpdateFace();

    // 18. The bullet passes raise the two per-frame flags again each frame:
    // kept, an escape would be lit (and dodged) long after the bullet passed.
    m_meeting.dangerFlags = 0;
    m_meeting.autoSlide = 0;
    if (v) {
        s.materialScroll[0] += dt * v->material.scrollX;
        s.materialScroll[1] += dt * v->material.scrollY;
    }
    return 1;
}

void CCharacter::UpdateStageEffects()
{
    CharacterTimers& t = m_status.timers;
    const f32 dt = GetFrameTime();
    t.stageEffect += dt;
    t.overTensionEffect += dt;
    CVector3 offset, eye, angles;
    SendObjectMessage(kMsgCloudPositionOffset, CObjectRegistry::kBroadcastId, kGroupStage,
                      reinterpret_cast<intptr_t>(&offset));
    if (m_camera) m_camera->GetView(&eye, &angles);
    CMatrix turn;
    turn.RotationEuler(&angles);
    CVector3 placement;
    offset.TransformNormalInto(turn, &placement);
    placement += eye;
    CEffectController* manager = GetEffectManager();
    const auto play = [&](const CEffectContainer* container) {
        if (container) AddTransientObject(container->PlayAtPosition(manager, &placement, 0, nullptr));
    };
    if (!ShowsStageEffects()) return;
    // Without a stage nothing answers the interval and its clock runs on.
    f32 interval = -1.0f;
    SendObjectMessage(kMsgCloudInterval, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(&interval));
    if (interval >= 0.0f && interval <= t.stageEffect) {
        CEffectContainer* container = nullptr;
        SendObjectMessage(kMsgCloudEffect, CObjectRegistry::kBroadcastId, kGroupStage,
                          reinterpret_cast<intptr_t>(&container));
        play(container);
        t.stageEffect = 0.0f;
    }
    if (IsOverTensionEffectDue()) {
        const u32 n = FindEffectKey(m_status.tension == 3 ? "EFCCLIMAXSTAGE" : "EFCHITENSIONSTAGE");
        play(n < kEffectCount ? m_status.effects[n] : nullptr);
        t.overTensionEffect = 0.0f;
    }
}

void CCharacter::UpdateFace()
{
    CharacterStatus& s = m_status;
    const u32 now = host::kernel::TimeGetTime();
    const u32 elapsed = m_faceStamped ? now - m_faceStamp : 0;
    m_faceStamp = now, m_faceStamped = true;
    if (!(s.action == kActionFrozen && IsFrozen())) s.expressionClock += f32(elapsed) * 0.001f;
    if (!m_parameter) return;
    const FaceKey* faces = m_parameter->values.faces;
    const std::vector<CNamedArray>& list = m_parameter->GetExpressions();
    const auto within = [&list](i32 e) { return e >= 0 && u32(e) < list.size(); };
    if (s.action == kActionDefeated) {
        if (within(faces[kDeadFace].index)) s.expression = faces[kDeadFace].index;
        return;
    }
    const auto playing = [this](const char* a, const char* b) {
        return IsChangedAnimation(FindMotionKey(a)) || IsChangedAnimation(FindMotionKey(b));
    };
    const u32 key = playing("WIN", "WINLOOP")              ? kSmileFace
                    : playing("LOSE", "LOSELOOP")          ? kSorrowFace
                    : s.action == kActionTedium            ? kTediumFace
                    : s.action == kActionHitReaction       ? kDamageFace
                                                           : kDefaultFace;
    const i32 wanted = faces[key].index;
    if (!within(wanted)) return;
    // The face showing now plays to its end first; the same face then
    // starts over.
    f32 length = 0.0f;
    if (within(s.expression)) {
        const CNamedArray& face = list[u32(s.expression)];
        for (u32 i = 0; i < face.GetCount(); ++i) length = std::max(length, face.GetItem(i)->GetEndTime());
    }
    if (!(length < s.expressionClock)) return;
    s.expression = wanted;
    s.expressionClock = 0.0f;
}
