// The fighter as the caster of its running spell card.
#include "game/battle/character/CharacterAction.h"

#include "engine/core/FloatMath.h"
#include "engine/model/AnimationController.h"
#include "game/battle/character/CharacterParameter.h"
#include "game/battle/object/ShotRecords.h"

namespace {

constexpr u16 kCardVibration = 0xC000;
// Buff n's status timer and the effect it shows, by n (1..3).
constexpr u32 kBuffTimers[4] = {0, kBuff1Timer, kBuff2Timer, kBuff3Timer};
constexpr const char* kBuffEffects[4] = {nullptr, "EFCBERSERK", "EFCARMOR", "EFCJAMMER"};

f32 YawToward(const CVector3& d) { return Atan2F(d.x, d.z) * kRadToDeg + 180.0f; }
f32 Wrapped(f32 v) { return v >= 360.0f ? v - 360.0f : v < 0.0f ? v + 360.0f : v; }

}  // namespace

// Odd participant slots stand on the right.
u32 CCharacterAction::GetSide() const { return m_status.participantSlot & 1; }

u32 CCharacterAction::GetSpellMotionBase() const
{
    const i32 motion = GetSpellMotion(m_status.spellSlot);
    return motion < 0 ? 0 : u32(motion);
}

// The motion slot whose animation the change track holds; 0 when none.
u32 CCharacterAction::GetMotion() const
{
    // The slot is asked, not its animation: a model's animations need not
    // be in motion-table order.
    for (u32 n = 0; n < kMotionCount; ++n)
        if (IsChangedAnimation(n)) return n;
    return 0;
}

f32 CCharacterAction::GetMotionLength(u32 motion) const
{
    const CAnimationController* controller = GetAnimationController();
    if (!controller || motion >= kMotionCount || m_status.motions[motion] < 0) return 0.0f;
    return controller->GetAnimationLength(u32(m_status.motions[motion]));
}

void CCharacterAction::ChangeMotion(u32 motion, u32 mode, f32 blend)
{
    if (motion >= kMotionCount || m_status.motions[motion] < 0) return;
    const f32 speed = m_parameter ? m_parameter->GetMotionSpeed(motion) : 1.0f;
    ChangeAnimation(u32(m_status.motions[motion]), speed, mode, 0, blend, 0);
}

// A card refills at the rate of the other reloads.
f32 CCharacterAction::GetTensionRate() const { return GetReloadRate(); }

f32 CCharacterAction::GetApproachSpeed() const { return m_parameter ? m_parameter->values.general.dashVelocity : 0.0f; }

f32 CCharacterAction::GetClimaxWaitFactor() const { return GetSkillFactor(SkillModifier::kClimaxWait); }

// A card's bullets hit with the skills' spell power on top of the strength.
void CCharacterAction::FillShooterRecord(ShooterRecord* record, u32) const
{
    record->factor[0] = GetStrengthFactor() * GetSkillFactor(SkillModifier::kSpellPer);
    record->factor[1] = GetBulletHomingFactor();
    record->factor[4] = GetBulletSpeedFactor();
    record->soundVolume = i32(m_status.seVolume);
}

CAnimationFrame* CCharacterAction::FindBone(const char* name) const
{
    CAnimationController* controller = GetAnimationController();
    return controller && name ? controller->GetFrameByName(name) : nullptr;
}

void CCharacterAction::Vibrate() { SetVibration(kCardVibration); }

void CCharacterAction::ClearSpellStatus()
{
    m_status.spellStep = 0;
    m_status.timers.spellCharge = 0.0f;
}

void CCharacterAction::PlayVoice(u32 index)
{
    const i32 first = GetSpellVoice(m_status.spellSlot);
    if (first >= 0) PlaySound(u32(first) + index);
}

f32 CCharacterBase::GetBuffTimer(u32 n) const
{
    return n >= 1 && n <= 3 ? m_status.timers.statusTimers[kBuffTimers[n]] : 0.0f;
}

// Buff n sets its own timer; its effect stays in the timer's slot until the
// timer runs out. A buff already shown keeps the effect it has. Buff 1 also
// bursts once at the fighter's centre as it comes on.
void CCharacterAction::StartBuff(u32 buff, f32 time)
{
    if (buff < 1 || buff > 3) return;
    const u32 timer = kBuffTimers[buff], slot = kStatusSlots[timer];
    m_status.timers.statusTimers[timer] = time;
    if (GetAttachedObject(slot)) return;
    const u32 effect = FindEffectKey(kBuffEffects[buff]);
    if (buff == 1) PlayEffectOnce(effect);
    StartEffect(slot, effect);
}

void CCharacterAction::PlayHitEffect() { PlayEffectOnce(FindEffectKey("EFCHITATTACK")); }

void CCharacterAction::StopMovement()
{
    m_status.velocity.SetZero();
    m_status.acceleration.SetZero();
    m_status.displacement.SetZero();
}

void CCharacterAction::SetCameraPoints(const CVector3& position)
{
    if (ICameraController* camera = GetCameraController()) camera->SetPoints(&position, &position);
}

void CCharacterAction::TurnToTarget()
{
    if (AimAtTarget()) TurnToView();
}

void CCharacterAction::TurnYawToward(const CVector3& direction)
{
    if (direction.LengthSquared() > 0.0f) m_status.targetAngles.y = Wrapped(YawToward(direction));
}

void CCharacterAction::AdvanceCardShortAttack()
{
    if (ISpellCardDriver* card = GetSpellCardDriver(m_status.spellSlot)) card->NextCardShortAttack();
}

void CCharacterAction::StartClimaxEffects() { PlayEffectOnce(FindEffectKey("EFCCLIMAXSTART")); }
