// The input handlers: per action, which buttons of the fighter's own input
// state start what. They read only the derived flags (held, triggered,
// released, hold and free time) and the stick angle, so a pad, a replay, a
// peer and the computer opponent all drive a fighter the same way.
#include "game/battle/character/Character.h"
#include "game/battle/character/CharacterSlots.h"

#include "engine/core/FloatMath.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "game/battle/object/Barrage.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/SpellCardSetting.h"

namespace {

inline constexpr u32 kSlide = 22, kGuard = 23, kShot = 24, kAttack = 25, kTrigger = 28;
inline constexpr u32 kUp = 27, kDown = 29;
inline constexpr f32 kStraightUp = -2.0f, kStraightDown = -3.0f, kNoAngle = -1.0f;
inline constexpr u32 kMirageLoopSlot = 3, kDashSlots[] = {2, 9};
// The shot clock: the time since the last shot started.
inline constexpr u32 kShotClock = 1;

}  // namespace

void CCharacter::InitInputTable()
{
    using C = CCharacter;
    const InputHandler table[kActionCount] = {
        &C::IdleInput, &C::TediumInput, &C::ComboInput, &C::NoInput, &C::NoInput, &C::ShootInput,
        &C::SlideShootInput, &C::SlideShootInput, &C::TripleSlideShootInput, &C::SpellInput, &C::SpellCancelInput,
        &C::SpellCancelInput, &C::SpellCancelInput, &C::GuardInput, &C::SparkChordInput, &C::DashInput,
        &C::SlideInput, &C::SlideInput, &C::SlideInput, &C::MirageSlideInput, &C::NoInput, &C::ShootOutInput,
        nullptr, nullptr, nullptr, &C::SparkChordInput, nullptr,
    };
    for (u32 i = 0; i < kActionCount; ++i) m_inputHandlers[i] = table[i];
}

u32 CCharacter::DispatchInput(u32 argument)
{
    const InputHandler handler = GetInputHandler(m_status.action);
    return handler ? (this->*handler)(argument) : 1;
}

// -- Shared rules. --

u32 CCharacter::HeldChord() const
{
    const u32 n = Held(kSlide) + Held(kGuard) + Held(kShot) + Held(kAttack);
    return n >= 3 ? 1 : 0;
}

u32 CCharacter::ReleaseWaitingBullets()
{
    return SendObjectMessage(kMsgRetarget, CObjectRegistry::kBroadcastId, kGroupBullet,
                             reinterpret_cast<intptr_t>(GetLockedTarget()));
}

bool CCharacter::SlideAngle(f32* angle) const
{
    if (Counts(kUp)) return *angle = kStraightUp, true;
    if (Counts(kDown)) return *angle = kStraightDown, true;
    if (AnyDirectionHeld()) *angle = m_input.stick1Angle;
    else if (Counts(12) || Counts(13) || Counts(14) || Counts(15)) *angle = m_status.moveAngle;
    else return false;
    if (!GetLockedTarget() && m_camera) {
        CVector3 eye, view;
        m_camera->GetView(&eye, &view);
        *angle += view.y - m_rotation.y;
    }
    return true;
}

const ShotRecord* CCharacter::CurrentShot() const
{
    return m_parameter && m_status.barrageSlot < kShotSlotCount ? &m_parameter->values.shots[m_status.barrageSlot]
                                                                 : nullptr;
}

u32 CCharacter::CurrentBarrageFinished() const
{
    // The barrage's own clock, as the firing step reads it: a shot is not
    // over while its volleys still fall due. A slot without a barrage has
    // nothing left to fire.
    const CBarrage* barrage = GetCurrentBarrage();
    return !barrage || barrage->IsFinished() ? 1 : 0;
}

bool CCharacter::ShotIntervalPassed() const
{
    const ShotRecord* shot = CurrentShot();
    return !shot || m_status.attackClocks[kShotClock] >= shot->interval;
}

bool CCharacter::ShotWaitPassed() const
{
    const ShotRecord* shot = CurrentShot();
    return !shot || m_status.attackClocks[kShotClock] >= shot->wait;
}

f32 CCharacter::DirectionOrNone() const { return AnyDirectionHeld() ? m_input.stick1Angle : kNoAngle; }

u32 CCharacter::StartNextSlide(u32 level)
{
    f32 angle;
    if (!SlideAngle(&angle)) return 1;
    if (level == 1) StartSlide(angle);
    else if (level == 2) StartDoubleSlide(angle);
    else StartTripleSlide(angle);
    return 1;
}

// -- Handlers. --

u32 CCharacter::IdleInput(u32)
{
    if (HeldChord()) return StartSpark(), 1;
    if (Held(kTrigger)) {
        if (Released(kShot)) return ReleaseWaitingBullets() ? StartSpellCard(), 1 : 1;
        if (Triggered(kGuard)) return StartExceptionSpell(), 1;
        if (Triggered(kAttack)) return StartHiTensionSpell(), 1;
        if (Triggered(kSlide)) return StartClimaxSpell(), 1;
    }
    if (Released(kSlide)) return StartNextSlide(1);
    const f32 dashStart = m_parameter ? m_parameter->values.general.dashStartTime : 0.0f;
    if (Held(kSlide) && HoldSeconds(kSlide) >= dashStart) {
        if (StartDash(DirectionOrNone())) m_memory.ignoreDashRelease = 1;
        return 1;
    }
    if (Held(kTrigger) && !Held(kShot)) {
        if (Triggered(kUp)) return StartMirageSlide(0.0f), 1;
        if (Triggered(kDown)) return StartMirageSlide(180.0f), 1;
    }
    if (Triggered(kAttack)) return StartShortAttack(0), 1;
    if (Released(kShot)) return StartShoot(), 1;
    if (Held(kGuard)) StartGuard(DirectionOrNone());
    return 1;
}

u32 CCharacter::TediumInput(u32)
{
    if (!IsNoButtonHeld(&m_input)) SetAction(kActionNeutral);
    return 1;
}

u32 CCharacter::ComboInput(u32)
{
    const u32 n = m_status.comboIndex;
    const f32 preceding = m_parameter && n < kShortAttackCount ? m_parameter->values.shortAttacks[n].precedingTime : 0.0f;
    if (m_status.timers.shortAttackTime >= preceding && Triggered(kAttack) && CanShortAttack(n + 1)) {
        SetNextAction(kActionShortAttack);
        return 1;
    }
    if (!IsChangedAnimation(character_actions::AttackMotion(n, true))) return 1;
    if (Held(kTrigger) && Released(kShot)) return StartSpellCard(), 1;
    if (Held(kTrigger) && Triggered(kGuard)) return StartExceptionSpell(), 1;
    if (Triggered(kAttack)) StartShortAttack(n + 1);
    return 1;
}

u32 CCharacter::ShootInput(u32)
{
    const bool interval = ShotIntervalPassed();
    if (Held(kTrigger)) {
        const bool release = Released(kShot), exception = Triggered(kGuard), hi = Triggered(kAttack),
                   climax = Triggered(kSlide);
        if (release || exception || hi || climax) {
            if (!interval) return 1;
            if (release) return ReleaseWaitingBullets() ? StartSpellCard(), 1 : 1;
            if (exception) return StartExceptionSpell(), 1;
            if (hi) return StartHiTensionSpell(), 1;
            return StartClimaxSpell(), 1;
        }
    }
    if (Triggered(kAttack)) return interval ? StartShortAttack(0), 1 : 1;
    if (Released(kShot) && CurrentBarrageFinished()) return interval ? StartShoot(), 1 : 1;
    if (Held(kGuard)) return ShotWaitPassed() ? StartGuard(DirectionOrNone()), 1 : 1;
    if (Released(kSlide)) return StartNextSlide(1);
    return 1;
}

u32 CCharacter::SlideShootInput(u32)
{
    if (Released(kShot) && CurrentBarrageFinished()) return ShotIntervalPassed() ? StartShoot(), 1 : 1;
    if (Released(kSlide)) return StartNextSlide(m_status.action == kActionSlideShoot ? 2 : 3);
    return 1;
}

u32 CCharacter::TripleSlideShootInput(u32)
{
    if (Released(kShot) && CurrentBarrageFinished() && ShotIntervalPassed()) StartShoot();
    return 1;
}

u32 CCharacter::SlideInput(u32)
{
    const u32 a = m_status.action;
    if (Held(kTrigger) && Released(kShot)) return ReleaseWaitingBullets() ? StartSpellCard(), 1 : 1;
    if (Held(kTrigger) && Triggered(kGuard)) return StartExceptionSpell(), 1;
    if (Released(kShot)) return StartShoot(), 1;
    if (a == kActionSlide && Triggered(kAttack) && HasSkillAutoSlide()) return StartSlideAttack(), 1;
    const f32 fast = m_parameter ? m_parameter->values.general.slideFastTime : 0.0f;
    if (m_status.timers.slideTime < fast) return 1;
    if (HeldChord()) return StartSpark(), 1;
    if (a != kActionTripleSlide && Released(kSlide)) return StartNextSlide(a == kActionSlide ? 2 : 3);
    if (Triggered(kAttack)) StartSlideAttack();
    return 1;
}

bool CCharacter::CanCancelSpell() const
{
    const ISpellCardState* card = GetSpellCardState(m_status.spellSlot);
    return m_status.spellSlot < 4 && card && !card->IsLocked() && HasSkillCombination();
}

u32 CCharacter::SpellInput(u32)
{
    // The first item that fires ends the handler: the trigger press of a
    // type-1 card must not also cancel it.
    if (Held(kTrigger) && Released(kShot)) return ReleaseWaitingBullets(), 1;
    if (IsSubObjectKind(m_status.spellSlot, 1) && !m_status.spellStep && Held(kTrigger) && Triggered(kGuard))
        return AdvanceCardStep(), 1;
    if (CanCancelSpell() && Triggered(kGuard)) return CancelSpellCard(), 1;
    if (CardLetsUserSteer() && AnyDirectionHeld()) {
        // Steering: the stick's side turns the yaw, its forward part the pitch.
        const f32 a = m_input.stick1Angle;
        f32 d = 90.0f - FmodF(a, 180.0f);
        if (a >= 180.0f) d = -d;
        m_status.targetAngles.x = m_rotation.x + d;
        m_status.targetAngles.y = m_rotation.y + a;
    }
    return 1;
}

u32 CCharacter::SpellCancelInput(u32)
{
    if (CanCancelSpell() && Triggered(kGuard)) CancelSpellCard();
    return 1;
}

u32 CCharacter::GuardInput(u32)
{
    if (Held(kGuard) || m_status.timers.guardHold > 0.0f) return 1;
    SetAction(kActionNeutral);
    ShowWeaponsOfFlag(character_slots::kGuardWeapons, 0);
    ResetStates(character_slots::kResetKeepLoopsButFlight);
    return 1;
}

u32 CCharacter::SparkChordInput(u32)
{
    if (HeldChord()) StartSpark();
    return 1;
}

u32 CCharacter::DashInput(u32)
{
    const u32 start = FindMotionKey("DASHSTART"), stop = FindMotionKey("DASHSTOP");
    if (Released(kSlide)) {
        if (m_memory.ignoreDashRelease) {
            m_memory.ignoreDashRelease = 0;
        } else if (!IsChangedAnimation(start) && !IsChangedAnimation(stop)) {
            // The stop is this frame's input: nothing else starts with it.
            ChangeMotion(stop, 0);
            for (u32 slot : kDashSlots) EndAttachedObject(slot);
            PlayEffectOnce(FindEffectKey("EFCDASHSTOP"));
            return 1;
        }
    }
    if (IsChangedAnimation(start)) return 1;
    if (Held(kTrigger) && Released(kShot)) return StartSpellCard(), 1;
    if (Held(kTrigger) && Triggered(kGuard)) return StartExceptionSpell(), 1;
    if (Triggered(kAttack)) return StartShortAttack(0), 1;
    if (Released(kShot)) return StartShoot(), 1;
    if (IsChangedAnimation(stop)) return 1;

    bool steered = false;
    const f32 rate = m_parameter ? m_parameter->values.general.dashRotationVelocity * GetFrameTime() : 0.0f;
    // The dash pitch is the body's, which the dash pushes along. The turn
    // step wraps it into [0, 360): a dive stops at 300, that is -60.
    f32 pitch = m_rotation.x;
    if (Held(12)) {
        pitch += rate;
        if (pitch >= 60.0f && pitch < 180.0f) pitch = 60.0f;
        m_status.dashTurnAngle = 0.0f, steered = true;
    } else if (Held(13)) {
        pitch -= rate;
        if (pitch < -60.0f) pitch = -60.0f;
        if (pitch >= 180.0f && pitch < 300.0f) pitch = 300.0f;
        m_status.dashTurnAngle = 0.0f, steered = true;
    }
    // Wanted too, or the turn step would pull it back.
    if (steered) m_rotation.x = m_status.targetAngles.x = pitch;
    if (AnyDirectionHeld()) {
        const f32 dashStart = m_parameter ? m_parameter->values.general.dashStartTime : 0.0f;
        if (!m_memory.ignoreDashRelease && HoldSeconds(kSlide) >= dashStart && Held(kSlide)) {
            if (StartDash(m_input.stick1Angle)) m_memory.ignoreDashRelease = 1;
        }
        if (Held(14) || Held(15)) m_status.dashTurnAngle = m_input.stick1Angle, steered = true;
    }
    if (!steered) m_status.dashTurnAngle = kNoAngle;
    return 1;
}

u32 CCharacter::MirageSlideInput(u32)
{
    const f32 cost = m_parameter ? m_parameter->values.general.mirageSlideCancelMp : 0.0f;
    if (m_status.mp >= cost && HasSkillMirageCancel() && Triggered(kGuard)) {
        m_status.mp -= cost;
        EndAttachedObject(kMirageLoopSlot);
        SetAction(kActionNeutral);
    } else if (Triggered(kAttack)) {
        m_status.velocity = CVector3();
        StartMirageSlideAttack();
    }
    return 1;
}

u32 CCharacter::ShootOutInput(u32)
{
    EscapeShootOut(Released(kSlide) || Released(kGuard) || Released(kShot) || Released(kAttack));
    return 1;
}

// -- The spell-card cancel: the card's phase reset, then idle. --

u32 CCharacter::CancelSpellCard()
{
    CharacterStatus& s = m_status;
    // The card's voice stops with the card.
    const i32 first = GetSpellVoice(s.spellSlot);
    if (first >= 0 && s.lastVoice >= u32(first) && s.lastVoice < u32(first + kSpellVoiceCount) &&
        s.lastVoice < kVoiceCount && s.voices[s.lastVoice])
        s.voices[s.lastVoice]->StopVoiceAt(s.voiceIndex, 1);
    // Every card idle with its effects gone, the fighter's states reset.
    ResetStates(character_slots::kResetKeepLoopsButFlight);
    ClearSpellStatus();
    StopUpperMotion();
    return SetAction(kActionNeutral);
}
