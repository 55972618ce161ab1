// The movement actions: dash, slides, the mirage slide and the skill's
// automatic slide.
#include "game/battle/character/CharacterAction.h"

#include "engine/core/FloatMath.h"
#include "engine/platform/FrameTime.h"

namespace {

using namespace character_actions;

// Attached slots the movement actions keep their effects in.
inline constexpr u32 kSlotFly = 0, kSlotDashCharge = 1, kSlotDashLoop = 2, kSlotSlideLoop = 3, kSlotOrbit = 9;
inline constexpr u32 kSlideVoiceTimer = 7, kDoubleSlideVoiceTimer = 8;
inline constexpr u32 kHighTension = 2;

u32 M(const char* key) { return FindMotionKey(key); }
u32 E(const char* key) { return FindEffectKey(key); }

// The fighter's axes from its pitch (x) and yaw (y); the model faces -Z.
struct Axes {
    CVector3 front, right, up;
};
Axes AxesOf(const CVector3& rotation)
{
    const f32 sy = SinF(rotation.y * kDegToRad), cy = CosF(rotation.y * kDegToRad);
    const f32 sx = SinF(rotation.x * kDegToRad), cx = CosF(rotation.x * kDegToRad);
    return {CVector3(-sy * cx, sx, -cy * cx), CVector3(-cy, 0, sy), CVector3(sy * sx, cx, cy * sx)};
}

}  // namespace

CVector3 character_actions::PitchedFront(const CVector3& rotation) { return AxesOf(rotation).front; }

namespace {

f32 WrapAngle(f32 a)
{
    if (a < 0) a += 360.0f;
    else if (a >= 360.0f) a -= 360.0f;
    return a;
}

}  // namespace

u32 CCharacterAction::SlideMotionFor(f32 angle, bool doubled)
{
    const char* const plain[] = {"SLIDEFRONT", "SLIDERIGHT", "SLIDEBACK", "SLIDELEFT", "SLIDEUP", "SLIDEDOWN"};
    const char* const twice[] = {"DOUBLESLIDEFRONT", "DOUBLESLIDERIGHT", "DOUBLESLIDEBACK", "DOUBLESLIDELEFT",
                                 "DOUBLESLIDEUP", "DOUBLESLIDEDOWN"};
    u32 i = 0;
    if (angle == -2.0f) i = 4;
    else if (angle == -3.0f) i = 5;
    else {
        const f32 a = WrapAngle(angle);
        i = a >= 315.0f || a <= 45.0f ? 0 : a <= 135.0f ? 1 : a <= 225.0f ? 2 : 3;
    }
    return M(doubled ? twice[i] : plain[i]);
}

void CCharacterBase::ExtendInvincibility(f32 t)
{
    if (m_status.timers.invincibility < t) m_status.timers.invincibility = t;
}

f32 CCharacterBase::GetMpCostFactor() const
{
    f32 k = 1.0f;
    for (const CSkill* skill : GetSkillPlaces())
        if (skill) k *= GetSkillModifier(skill, SkillModifier::kMultiLockSlideMp, m_status.lockedByCount);
    return k;
}

u32 CCharacterBase::CanTripleSlide() const
{
    const CharacterStatus& s = m_status;
    if (!m_parameter || s.timers.stun > 0 || IsOut() || s.mp < m_parameter->values.general.tripleSlideMp) return 0;
    if (s.action == kActionDefeated || s.action == kActionFrozen) return 1;
    if (s.action == kActionResult || s.queuedAction == kActionResult) return 0;
    if (IsSpellAction(s.action) && !CanMoveInSpell()) return 0;
    if (IsShootAction(s.action) && s.turnShoot) return 0;
    return AnySkillHas(GetSkillPlaces(), kTripleSlideFlag) ? 1 : 0;
}

void CCharacterAction::FaceLockedTarget(bool pitch, bool atOnce)
{
    const CObjectDivision* target = GetLockedTarget();
    if (!target) return;
    const CVector3 d = *target->GetPosition() - m_position;
    if (d.x == 0 && d.z == 0 && d.y == 0) return;
    FaceYaw(WrapAngle(Atan2F(d.x, d.z) * kRadToDeg + 180.0f), atOnce);
    if (!pitch) return;
    m_status.targetAngles.x = Atan2F(d.y, SqrtF(d.x * d.x + d.z * d.z)) * kRadToDeg;
    if (atOnce) m_rotation.x = m_status.targetAngles.x;
}

void CCharacterAction::FaceYaw(f32 yaw, bool atOnce)
{
    // Both, or the turn would pull a body turned at once back toward last
    // frame's wanted angles.
    m_status.targetAngles.y = yaw;
    if (atOnce) m_rotation.y = yaw;
}

void CCharacterAction::BeginSlide(f32 angle, u32 level)
{
    CharacterStatus& s = m_status;
    const CharacterGeneral& g = m_parameter->values.general;
    s.timers.slideTime = 0;
    s.timers.slideClocks[0] = 0;
    const f32 cost = level == 0 ? GetMpCostFactor() * g.slideMp
                   : level == 1 ? GetMpCostFactor() * g.doubleSlideMp : g.tripleSlideMp;
    s.mp -= cost;
    ExtendInvincibility(level == 0 ? g.slideInvincibilityTime
                        : level == 1 ? g.doubleSlideInvincibilityTime : g.tripleSlideInvincibilityTime);
    if (angle >= 0) FaceLockedTarget(false, true);
    s.slideMotion = SlideMotionFor(angle, level > 0);
    ChangeMotion(s.slideMotion, 0);
    s.slideAngle = angle;
    const bool shooting = s.action == kActionShoot || s.action == kActionSlideShoot ||
                          (level == 2 && s.action == kActionDoubleSlideShoot);
    SetAction(shooting ? kActionSlideShoot + level : kActionSlide + level);
    EndAttachedObject(kSlotFly);
    PlaySlideStart(angle);
    ++s.moveHit.slides;
    f32& voice = s.timers.voiceCooldowns[level ? kDoubleSlideVoiceTimer : kSlideVoiceTimer];
    if (level == 0) {
        StartEffect(kSlotSlideLoop, E("EFCSLIDELOOP"));
        if (s.tension >= kHighTension) {
            PlayEffectOnce(E("EFCOVERTENSIONDIFFUSIONSTARTSMALL"));
            StartEffect(kSlotOrbit, E("EFCOVERTENSIONORBITLOOP"));
        }
    } else if (level == 1) {
        ++s.moveHit.doubleSlides;
    }
    if (voice <= 0) {
        PlaySound(FindVoiceKey(level ? "VOICEDOUBLESLIDE" : "VOICESLIDE"));
        voice = level ? g.doubleSlideVoiceTime : g.slideVoiceTime;
    }
}

void CCharacterAction::PlaySlideStart(f32 angle)
{
    // Turned the way the slide goes: the yaw by the angle, or the pitch
    // straight up (marker -2) or down (-3).
    CVector3 centre, turn = m_rotation;
    GetCenter(&centre);
    if (angle == -2.0f) turn.x = 90.0f;
    else if (angle == -3.0f) turn.x = -90.0f;
    else turn.y = WrapAngle(WrapAngle(turn.y + angle));   // a camera-turned angle may pass a turn itself
    PlayEffectAt(E("EFCSLIDESTART"), centre, turn);
}

u32 CCharacterAction::StartSlide(f32 angle)
{
    if (!m_parameter || !CanSlide()) return 0;
    BeginSlide(angle, 0);
    return 1;
}

u32 CCharacterAction::StartDoubleSlide(f32 angle)
{
    if (!m_parameter || !CanDoubleSlide()) return 0;
    BeginSlide(angle, 1);
    return 1;
}

u32 CCharacterAction::StartTripleSlide(f32 angle)
{
    if (!m_parameter || !CanTripleSlide()) return 0;
    BeginSlide(angle, 2);
    return 1;
}

u32 CCharacterAction::SlideStep(u32)
{
    CharacterStatus& s = m_status;
    if (!m_parameter) return 1;
    const CharacterGeneral& g = m_parameter->values.general;
    // The slide waits for whatever motion plays to finish: a card cast
    // during it plays its own. A slide motion the model lacks, or, in the
    // plain slide, another action's looping motion (the card's, left when
    // the card finished first) would never finish: the slide ends instead.
    const bool sliding = IsChangedAnimation(s.slideMotion), stopping = IsChangedAnimation(s.slideMotion + 1);
    const bool plain = s.action >= kActionSlide && s.action <= kActionTripleSlide;
    const bool held = !sliding && !stopping && plain && GetChangeLoop() != 0;
    if (IsChangedAnimationEnded() || held || !HasMotion(s.slideMotion)) {
        if (!sliding || !HasMotion(s.slideMotion + 1)) {
            EndAttachedObject(kSlotSlideLoop);
            EndAttachedObject(kSlotOrbit);
            return 1;
        }
        ChangeMotion(s.slideMotion + 1, 0);
    }
    // The push goes by the slide's own motion, so it goes on under a card's
    // motion; only the stop motion glides.
    if (!IsChangedAnimation(s.slideMotion + 1)) {
        const f32 a = g.slideAcceleration * GetFrameTime();
        const u32 m = s.slideMotion;
        if (m == M("SLIDEUP") || m == M("DOUBLESLIDEUP")) {
            s.acceleration.y += a;
        } else if (m == M("SLIDEDOWN") || m == M("DOUBLESLIDEDOWN")) {
            s.acceleration.y -= a;
        } else {
            const bool front = m == M("SLIDEFRONT") || m == M("DOUBLESLIDEFRONT");
            FaceLockedTarget(front);
            const Axes axes = AxesOf(m_rotation);
            const bool back = m == M("SLIDEBACK") || m == M("DOUBLESLIDEBACK");
            const bool right = m == M("SLIDERIGHT") || m == M("DOUBLESLIDERIGHT");
            const CVector3 dir = front ? axes.front : back ? -axes.front : right ? axes.right : -axes.right;
            s.acceleration += dir * a;
        }
    }
    const u32 square = E("EFCSLIDEMAGICSQUARE");
    if (square < kEffectCount && s.effects[square] && s.timers.slideClocks[0] >= g.slideMagicSquarePlayInterval) {
        PlayEffectOnce(square);
        s.timers.slideClocks[0] = 0;
    }
    return 0;
}

i32 CCharacterAction::AutoSlide(u32)
{
    CharacterStatus& s = m_status;
    if (!HasSkillAutoSlide() || s.action == kActionDefeated || s.action == kActionBound ||
        IsSpellAction(s.action) || !m_meeting.autoSlide)
        return 0;
    const f32 angle = m_meeting.autoSlideAngle = GetSlideDirection();
    if (In(s.action, {kActionSlide, kActionSlideShoot, kActionSlideSpellCard}) && CanDoubleSlide())
        StartDoubleSlide(angle);
    else if (In(s.action, {kActionDoubleSlide, kActionDoubleSlideShoot, kActionDoubleSlideSpellCard}) &&
             CanTripleSlide())
        StartTripleSlide(angle);
    else if (CanSlide())
        StartSlide(angle);
    return 1;
}

u32 CCharacterAction::StartDash(f32 angle)
{
    if (!m_parameter || !CanDash()) return 0;
    CharacterStatus& s = m_status;
    if (angle == -1.0f) {
        FaceLockedTarget(true, true);
    } else {
        CVector3 eye, view;
        if (m_camera) m_camera->GetView(&eye, &view);
        FaceYaw(WrapAngle(view.y + angle), true);
    }
    s.dashAngle = angle;
    s.moveHit.dashFlag = 1;
    s.mp -= m_parameter->values.general.dashStartMp;
    SetAttachedObject(kSlotFly, nullptr);
    StartEffect(kSlotDashCharge, E("EFCDASHCHARGE"));
    ChangeMotion(M("DASHSTART"), 0);
    SetAction(kActionDash);
    ++s.moveHit.dashes;
    PlaySound(FindVoiceKey("VOICEDASH"));
    return 1;
}

u32 CCharacterAction::DashStep(u32)
{
    CharacterStatus& s = m_status;
    if (!m_parameter) return 1;
    const CharacterGeneral& g = m_parameter->values.general;
    if (IsChangedAnimation(M("DASHSTART"))) {
        if (GetChangeTime() < g.dashStartMotionTime) return 0;
        ChangeMotion(M("DASH"), 0);
        SetAttachedObject(kSlotDashCharge, nullptr);
        PlayEffectOnce(E("EFCDASHSTART"));
        StartEffect(kSlotDashLoop, E("EFCDASHLOOP"));
        if (s.tension >= kHighTension) {
            PlayEffectOnce(E("EFCOVERTENSIONDIFFUSIONSTARTLARGE"));
            StartEffect(kSlotOrbit, E("EFCOVERTENSIONORBITLOOP"));
        }
        const u32 slot = s.participantSlot;
        SendObjectMessage(kMsgSmallShake, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(&slot));
        SetVibration(m_parameter->values.body.smallPadVibrationPow);
        return 0;
    }
    if (IsChangedAnimation(M("DASHSTOP"))) return IsChangedAnimationEnded();
    if (IsChangedAnimation(M("DASH")) && IsChangedAnimationEnded()) ChangeMotion(M("DASHLOOP"), 1);
    bool stop = false;
    s.mp -= GetFrameTime() * g.dashKeepMp;
    if (s.mp <= 0) stop = true;
    f32 speed = g.dashAcceleration;
    const CObjectDivision* target = GetLockedTarget();
    if (!stop && s.dashTurnAngle == -1.0f && s.dashAngle == -1.0f && target) {
        speed = g.traceDashAcceleration;
        FaceLockedTarget(true);
        if (GetDistanceTo(*target->GetPosition()) <= m_parameter->values.body.dashEndRadius) stop = true;
    } else if (!stop && s.dashTurnAngle != -1.0f) {
        CVector3 eye, view;
        if (m_camera) m_camera->GetView(&eye, &view);
        FaceYaw(WrapAngle(view.y + s.dashTurnAngle), false);
    }
    if (stop) {
        ChangeMotion(M("DASHSTOP"), 0);
        EndAttachedObject(kSlotDashLoop);
        EndAttachedObject(kSlotOrbit);
        PlayEffectOnce(E("EFCDASHSTOP"));
        // Without a stop motion there is nothing to wait for.
        return HasMotion(M("DASHSTOP")) ? 0 : 1;
    }
    s.acceleration += AxesOf(m_rotation).front * (speed * GetFrameTime());
    return 0;
}

u32 CCharacterAction::StartMirageSlide(f32 angle)
{
    if (!m_parameter || !CanMirageSlide()) return 0;
    CharacterStatus& s = m_status;
    s.timers.slideClocks[1] = 0;
    s.moveHit.mirageReached = 0;
    s.mp -= m_parameter->values.general.mirageSlideMp;
    ChangeMotion(M("SLIDEFRONT"), 0);
    const f32 a = WrapAngle(angle);
    s.slideMotion = a > 45.0f && a < 315.0f ? M("SLIDEBACK") : M("SLIDEFRONT");
    SetAction(kActionMirageSlide);
    EndAttachedObject(kSlotFly);
    PlaySlideStart(angle);
    StartEffect(kSlotSlideLoop, E("EFCSLIDELOOP"));
    if (s.tension >= kHighTension) PlayEffectOnce(E("EFCOVERTENSIONDIFFUSIONSTARTSMALL"));
    ++s.moveHit.mirageSlides;
    PlaySound(FindVoiceKey("VOICEMIRAGESLIDE"));
    return 1;
}

u32 CCharacterAction::MirageSlideStep(u32)
{
    CharacterStatus& s = m_status;
    const CObjectDivision* target = GetLockedTarget();
    if (!target || !m_parameter) {
        EndAttachedObject(kSlotSlideLoop);
        return 1;
    }
    const CharacterGeneral& g = m_parameter->values.general;
    FaceLockedTarget(true);
    const f32 a = g.mirageSlideAcceleration * GetFrameTime();
    const Axes axes = AxesOf(m_rotation);
    s.acceleration += axes.front * a;
    const f32 clock = s.timers.slideClocks[1];
    const bool plainFront = IsChangedAnimation(M("SLIDEFRONT")), doubleFront = IsChangedAnimation(M("DOUBLESLIDEFRONT"));
    if (!plainFront && !doubleFront) {
        auto is = [&](const char* a1, const char* a2) { return IsChangedAnimation(M(a1)) || IsChangedAnimation(M(a2)); };
        CVector3 side;
        if (is("SLIDELEFT", "DOUBLESLIDELEFT")) side = -axes.right;
        else if (is("SLIDERIGHT", "DOUBLESLIDERIGHT")) side = axes.right;
        else if (is("SLIDEUP", "DOUBLESLIDEUP")) side = axes.up;
        else if (is("SLIDEDOWN", "DOUBLESLIDEDOWN")) side = -axes.up;
        s.acceleration += (axes.front + side) * a;
    } else if (clock >= g.mirageSlideTime) {
        ChangeMotion(M(plainFront ? "SLIDESTOPFRONT" : "DOUBLESLIDESTOPFRONT"), 0);
    } else if (IsChangedAnimationEnded()) {
        ChangeMotion(M(plainFront ? "DOUBLESLIDEFRONT" : "SLIDEFRONT"), 0);
    }
    const f32 radius = m_parameter->values.body.mirageSlideEndRadius;
    if (GetDistanceTo(*target->GetPosition()) > radius) {
        const u32 danger = m_meeting.dangerFlags & 15u;
        if (danger && clock < g.mirageSlideTime &&
            (IsChangedAnimation(M("SLIDEFRONT")) || s.timers.invincibility <= 0)) {
            const char* dodge = danger & 4 ? "SLIDEDOWN" : danger & 1 ? "SLIDELEFT" : danger & 2 ? "SLIDERIGHT" : "SLIDEUP";
            ChangeMotion(M(dodge), 0);
            ExtendInvincibility(g.doubleSlideInvincibilityTime);
        }
    } else {
        s.moveHit.mirageReached = 1;
        if (s.slideMotion == M("SLIDEFRONT")) {
            ChangeMotion(M(IsChangedAnimation(M("SLIDEFRONT")) ? "SLIDESTOPFRONT" : "DOUBLESLIDESTOPFRONT"), 0);
        } else if (s.slideMotion == M("SLIDEBACK")) {
            // Pass the target on the side it lies off the front.
            const CVector3 away = m_position - *target->GetPosition();
            const CVector3 f = AxesOf(m_rotation).front;
            const bool left = f.z * away.x - f.x * away.z > 0;
            s.slideMotion = M(left ? "SLIDELEFT" : "SLIDERIGHT");
            if (!IsChangedAnimation(s.slideMotion)) ChangeMotion(M(left ? "DOUBLESLIDELEFT" : "DOUBLESLIDERIGHT"), 0);
        }
    }
    if (s.moveHit.mirageReached) s.acceleration.SetZero();
    if (IsChangedAnimationEnded()) {
        const u32 current = GetChangedAnimation();
        const bool stopMotion = current == u32(s.motions[M("SLIDESTOPFRONT")]) ||
                                current == u32(s.motions[M("DOUBLESLIDESTOPFRONT")]);
        if (s.slideMotion == M("SLIDELEFT") || s.slideMotion == M("SLIDERIGHT") || stopMotion) {
            EndAttachedObject(kSlotSlideLoop);
            return 1;
        }
        ChangeMotion(M("SLIDEFRONT"), 0);
    }
    return 0;
}
