#include "game/battle/character/CharacterAction.h"
#include "game/battle/character/CharacterSlots.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Random.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/Effect.h"
#include "game/battle/object/CameraParameter.h"

namespace {

using namespace character_actions;
using character_slots::kResetKeepLoopsButFlight;

inline constexpr f32 kMotionBlend = 0.1f;
// The attached slot of the freeze effect: one of the slots no other effect
// uses.
inline constexpr u32 kFreezeSlot = 13;
// The SHOWFLG groups of the weapons a winner and a loser hold up.
inline constexpr u32 kWinWeapons = 2, kLoseWeapons = 4;

}  // namespace

u32 CCharacterAction::SetAction(u32 action)
{
    if (action >= kActionCount) return 0;
    m_status.action = action;
    return 1;
}

u32 CCharacterAction::SetNextAction(u32 action)
{
    if (action >= kActionCount) return 0;
    m_status.queuedAction = action;
    return 1;
}

void CCharacterAction::InitActionTable()
{
    using C = CCharacterAction;
    const ActionHandler composite = &C::CompositeStep;
    const ActionHandler table[kActionCount] = {
        nullptr,          &C::TediumStep, &C::ShortAttackStep, &C::SlideAttackStep, &C::SlideAttackStep,
        &C::ShootStep,    composite,      composite, composite, &C::SpellStep, composite, composite, composite,
        &C::GuardStep,    &C::HitReactionStep, &C::DashStep, &C::SlideStep, &C::SlideStep, &C::SlideStep,
        &C::MirageSlideStep, &C::SparkStep, &C::ShootOutStep, &C::DefeatedStep,
        &C::UnblockedStep, &C::ResultStep, &C::FrozenStep, &C::BoundStep,
    };
    for (u32 i = 0; i < kActionCount; ++i) m_actions[i] = table[i];
}

u32 CCharacterAction::DispatchAction(u32 argument)
{
    CharacterStatus& s = m_status;
    u32 finished = 0;
    if (const ActionHandler handler = m_actions[s.action < kActionCount ? s.action : 0])
        finished = (this->*handler)(argument);
    else if (IsOut())
        EnterOut(argument);
    if (!finished) return 1;
    // A queued action that may not follow leaves the finished action's id
    // standing; the queue is cleared all the same.
    if (!s.queuedAction) SetAction(kActionNeutral);
    else if (IsQueuedActionValid()) SetAction(s.queuedAction);
    if (!IsClimaxLocked()) SetNextAction(kActionNeutral);
    if (IsOut()) EnterOut(argument);
    return 1;
}

u32 CCharacterAction::IsQueuedActionValid() const
{
    const CharacterStatus& s = m_status;
    if (s.queuedAction == kActionResult) return IsClimaxLocked() ? 0 : 1;
    if (s.queuedAction != kActionShortAttack) return 1;
    // The next hit of the combo, within the short-attack records.
    const u32 next = s.comboIndex + 1;
    return s.action == kActionShortAttack && next < kShortAttackCount && CanShortAttack(next) ? 1 : 0;
}

u32 CCharacterAction::CompositeStep(u32 argument)
{
    CharacterStatus& s = m_status;
    const bool spell = IsSpellAction(s.action);
    const u32 level = s.action - (spell ? kActionSlideSpellCard : kActionSlideShoot);   // 0..2
    const u32 slide = kActionSlide + level, single = spell ? kActionSpellCard : kActionShoot;
    const u32 slideDone = m_actions[slide] ? (this->*m_actions[slide])(argument) : 0;
    const u32 otherDone = m_actions[single] ? (this->*m_actions[single])(argument) : 0;
    if (slideDone && otherDone) return 1;
    // The part that goes on keeps running as the plain action. A card going
    // on alone takes its upper-body motion back in the same frame.
    if (otherDone) {
        s.action = slide;
    } else if (slideDone) {
        s.action = single;
        const ISpellCardDriver* card = spell ? GetSpellCardDriver(s.spellSlot) : nullptr;
        const i32 motion = card ? card->GetCardMotion() : -1;
        if (motion >= 0 && HasMotion(u32(motion))) PlayUpperMotion(u32(motion));
    }
    return 0;
}

void CCharacterAction::ChangeMotion(u32 n, u32 loop)
{
    if (n >= kMotionCount || m_status.motions[n] < 0) return;
    const f32 speed = m_parameter ? m_parameter->GetMotionSpeed(n) : 1.0f;
    ChangeAnimation(u32(m_status.motions[n]), speed, loop, 0, kMotionBlend, 0);
}

// The changed motion again over the whole body: the upper-body track lets go.
void CCharacterAction::StopUpperMotion() { ResumeAnimation(2, kMotionBlend); }

void CCharacterAction::ClearMotionState()
{
    CharacterStatus& s = m_status;
    s.velocity.SetZero();
    s.acceleration.SetZero();
    s.displacement.SetZero();
}

u32 CCharacterAction::StartTedium()
{
    m_status.timers.boredom = 0.0f;
    ChangeMotion(FindMotionKey("TEDIUM"), 0);
    SetAction(kActionTedium);
    PlaySound(FindVoiceKey("VOICETEDIUM"));
    return 1;
}

u32 CCharacterAction::TediumStep(u32)
{
    if (IsChangedAnimation(FindMotionKey("TEDIUM")) && IsChangedAnimationEnded())
        ChangeMotion(FindMotionKey("TEDIUMLOOP"), 1);
    return m_status.queuedAction == kActionResult ? 1 : 0;
}

u32 CCharacterAction::EnterUnblocked()
{
    SetAction(kActionUnblocked);
    u32 caller = ~0u;
    SendObjectMessage(kMsgLocalEntry, 0, 0, reinterpret_cast<intptr_t>(&caller));
    // The local player's fighter calls the start: the answer is an entry.
    if (caller == m_status.entryIndex) PlaySound(FindVoiceKey("VOICESTART"));
    return 1;
}

u32 CCharacterAction::OnBattleEnd()
{
    CharacterStatus& s = m_status;
    if (s.action == kActionDefeated || IsClimaxLocked()) {
        SetNextAction(kActionResult);
        return 1;
    }
    if (CanEndAtOnce()) SetAction(kActionResult);
    else SetNextAction(kActionResult);
    s.timers.actionClocks[kResultClock] = 0.0f;
    ClearMotionState();
    s.targetAngles = m_rotation;
    ResetStates(kResetKeepLoopsButFlight);
    return 1;
}

u32 CCharacterAction::ResultStep(u32)
{
    CharacterStatus& s = m_status;
    f32& clock = s.timers.actionClocks[kResultClock];
    const f32 start = m_parameter ? m_parameter->values.general.resultStartTime : 0.0f;
    if (clock < start) {
        clock += GetFrameTime();
        const u32 wait = FindMotionKey("WAIT");
        if (!IsPlayedAnimation(wait)) {
            StopUpperMotion();
            ChangeMotion(wait, 1);
        }
        return 0;
    }
    // The scene answers the team's result: 1 win, 2 loss, 3 draw.
    u32 result = u32(s.team);
    if (!SendObjectMessage(kMsgTeamResult, 0, 0, reinterpret_cast<intptr_t>(&result))) result = 0;
    const bool won = result == 1;
    const u32 motion = FindMotionKey(won ? "WIN" : "LOSE"), loop = FindMotionKey(won ? "WINLOOP" : "LOSELOOP");
    if (!IsChangedAnimation(motion) && !IsChangedAnimation(loop)) {
        ChangeMotion(motion, 0);
        PlaySound(FindVoiceKey(won ? "VOICEWIN" : "VOICELOSE"));
        ShowOnlyWeaponsOfFlag(won ? kWinWeapons : kLoseWeapons);
        ClearMotionState();
        s.viewAngles = s.targetAngles = m_rotation;
        // The result view from behind the fighter.
        if (ICameraController* camera = GetCameraController()) camera->SetAngles(m_rotation.y, m_rotation.x);
        SwitchCamera(kCameraResult);
    } else if (IsChangedAnimation(motion) && IsChangedAnimationEnded()) {
        ChangeMotion(loop, 1);
    }
    return 0;
}

u32 CCharacterAction::StartFrozen()
{
    CharacterStatus& s = m_status;
    s.timers.actionClocks[kFreezeClock] = 0.0f;
    const bool frozen = s.action == kActionFrozen;
    if (!frozen || s.freezeKind != s.previousFreezeKind) {
        if (frozen) {
            const u32 previous = s.previousFreezeKind ? 1 : 0;
            SetAttachedObject(kFreezeSlot, nullptr);
            PlayEffectOnce(FindEffectKey(previous ? "EFCTIMEFREEZEEND" : "EFCICEFREEZEEND"));
        }
        ResetStates(0x9FFC1C0);
        const u32 kind = s.freezeKind ? 1 : 0;
        StartEffect(kFreezeSlot, FindEffectKey(kind ? "EFCTIMEFREEZE" : "EFCICEFREEZE"));
    }
    s.damageType = 0;
    s.knockPower = 0.0f;
    s.moveHit.rollCount = 0;
    ClearMotionState();
    SetAction(kActionFrozen);
    return 1;
}

u32 CCharacterAction::FrozenStep(u32)
{
    CharacterStatus& s = m_status;
    f32& clock = s.timers.actionClocks[kFreezeClock];
    if (clock < s.timers.freezeTime) {
        clock += GetFrameTime();
        return 0;
    }
    StopUpperMotion();
    s.limitGauge = 0.0f;
    ResetStates(kResetKeepLoopsButFlight);
    PlayEffectOnce(FindEffectKey(s.freezeKind ? "EFCTIMEFREEZEEND" : "EFCICEFREEZEEND"));
    return 1;
}

u32 CCharacterAction::StartBound(u32 bindMotion)
{
    CharacterStatus& s = m_status;
    s.damageMotion = bindMotion;
    ChangeMotion(bindMotion, 1);
    ClearMotionState();
    s.timers.boredom = 0.0f;
    SetAttachedObject(22, nullptr);
    SetAction(kActionBound);
    SwitchCamera(kCameraLock);
    ResetStates(0x5FCC1C0);
    const u32 climax = bindMotion == FindMotionKey("CLIMAXBIND");
    StartEffect(climax ? 12 : 11, FindEffectKey("EFCBIND"));
    return 1;
}

u32 CCharacterAction::BoundStep(u32)
{
    CharacterStatus& s = m_status;
    FaceLockedTarget(true);
    if (!IsChangedAnimation(s.damageMotion) && IsChangedAnimationEnded()) ChangeMotion(s.damageMotion, 1);
    return 0;
}

// -- Movement figures by action. --

f32 CCharacterAction::GetMaxSpeed() const
{
    if (!m_parameter) return 0.0f;
    const CharacterStatus& s = m_status;
    const CharacterGeneral& g = m_parameter->values.general;
    const bool locked = GetLockedTarget() != nullptr;
    switch (s.action) {
    case kActionDash:
        if (s.dashAngle == -1.0f && s.dashTurnAngle == -1.0f && locked) return g.traceDashVelocity;
        return locked && !IsTargetBehind() ? g.dashVelocity : g.backDashVelocity;
    case kActionSlideAttack: case kActionMirageSlideAttack: case kActionSlideShoot: case kActionDoubleSlideShoot:
    case kActionTripleSlideShoot: case kActionSlideSpellCard: case kActionDoubleSlideSpellCard:
    case kActionTripleSlideSpellCard: case kActionSlide: case kActionDoubleSlide: case kActionTripleSlide:
        return g.slideVelocity;
    case kActionMirageSlide: return g.mirageSlideVelocity;
    case kActionSpellCard: {
        // The whole climax card, its bind shot too, flies at slide speed.
        if (IsClimaxCardRunning()) return g.slideVelocity;
        if (s.spellSlot >= kSpellSlotCount) return g.moveVelocity;
        const CSpellCardValues& card = m_parameter->GetSpellCard(s.spellSlot).GetValues();
        return card.spellType == 4 || card.directMove ? card.shortAttackVelocity : g.moveVelocity;
    }
    case kActionHitReaction:
        return s.damageType < kDamageTypeCount ? m_parameter->values.damages[s.damageType].velocity * s.knockPower
                                               : 0.0f;
    default: return CCharacterBase::GetMaxSpeed();
    }
}

f32 CCharacterAction::GetDeceleration() const
{
    if (!m_parameter) return 0.0f;
    const CharacterStatus& s = m_status;
    const CharacterGeneral& g = m_parameter->values.general;
    const u32 a = s.action;
    if (a >= kActionShortAttack && a <= kActionMirageSlideAttack) {
        const CObjectDivision* target = GetLockedTarget();
        const f32 near = m_parameter->values.body.nearRadius;
        if (target && s.comboIndex < kShortAttackCount &&
            (*target->GetPosition() - m_position).LengthSquared() <= near * near)
            return m_parameter->values.shortAttacks[s.comboIndex].deceleration;
        return g.moveDeceleration;
    }
    if (a == kActionDash) return g.dashDeceleration;
    if (a == kActionMirageSlide) return g.mirageSlideDeceleration;
    if (IsSpellAction(a) && s.spellSlot < kSpellSlotCount) {
        const CSpellCardValues& card = m_parameter->GetSpellCard(s.spellSlot).GetValues();
        if (card.spellType == 4 || card.directMove) return card.shortAttackDeceleration;
    }
    return g.moveDeceleration;
}

f32 CCharacterAction::GetRotationSpeed() const
{
    if (!m_parameter) return 0.0f;
    const CharacterStatus& s = m_status;
    const CharacterGeneral& g = m_parameter->values.general;
    if (s.action == kActionDash) {
        if (IsChangedAnimation(FindMotionKey("DASHSTART"))) return g.rotationVelocity;
        return s.dashAngle == -1.0f && s.dashTurnAngle == -1.0f && GetLockedTarget() ? g.rotationVelocity
                                                                                        : g.dashRotationVelocity;
    }
    if (IsSpellAction(s.action) && s.spellSlot < kSpellSlotCount) {
        const CSpellCardValues& card = m_parameter->GetSpellCard(s.spellSlot).GetValues();
        if (IsCloseAttackCard()) return card.shortAttackRotationVelocity;
        if (card.rotationFlg && QueryCardRotates()) return card.rotationVelocity;
    }
    return s.action == kActionMirageSlide ? g.mirageSlideRotationVelocity : g.rotationVelocity;
}

u32 CCharacterAction::Counts(u32 code) const
{
    const f32 reserve = m_parameter ? m_parameter->values.general.reserveTime : 0.0f;
    return m_input.held[code] || f32(m_input.freeTime[code]) * 0.001f < reserve ? 1 : 0;
}

f32 CCharacterAction::GetSlideDirection()
{
    if (Counts(27) || Counts(29)) return -2.0f;
    if (!Counts(12) && !Counts(13) && !Counts(14) && !Counts(15)) return RandomInt(2) ? 270.0f : 90.0f;
    f32 angle = m_status.moveAngle;
    if (!GetLockedTarget() && m_camera) {
        CVector3 eye, view;
        m_camera->GetView(&eye, &view);
        angle += view.y - m_rotation.y;
    }
    return angle;
}

f32 CCharacterAction::GetSpeedFactor() const
{
    const CharacterStatus& s = m_status;
    if (RunsAtCardPace() || !m_parameter || s.tension >= kTensionLevelCount) return 1.0f;
    f32 f = m_parameter->values.bonuses[s.tension].moveSpeedRevise, k = 1.0f;
    for (const CSkill* skill : GetSkillPlaces()) {
        if (!skill) continue;
        k *= GetSkillModifier(skill, SkillModifier::kBaseMove) *
             GetSkillModifier(skill, SkillModifier::kMultiLockMove, s.lockedByCount);
        // A revise of 0 or below stays as it is: a power of it has no sound
        // value for every exponent.
        if (f > 0.0f) f = PowF(f, GetSkillModifier(skill, SkillModifier::kTensionMove));
    }
    return f * k;
}
