// The attack actions: the short-attack combo, the slide attacks, shooting,
// spell cards, the spark and the shoot-out.
#include "game/battle/character/CharacterAction.h"

#include "engine/core/FloatMath.h"
#include "engine/platform/FrameTime.h"
#include "game/battle/object/Barrage.h"
#include "host/kernel/Kernel.h"

#include <cstdio>

namespace {

using namespace character_actions;

inline constexpr f32 kBlend = 0.1f;
inline constexpr u32 kResetAttack = 0x9FCC1C1, kResetShoot = 0x1FCC1C1, kResetSpark = 0x1FCC1C0;
inline constexpr u32 kSlideAttackRecord = 7, kMirageSlideAttackRecord = 8;
inline constexpr u32 kShootOutSlot = 4, kSparkSlot = 5;
inline constexpr u32 kTraceClock = 0, kShotClock = 1;
inline constexpr u32 kShootVoiceTimer = 9;

f32 Wrap360(f32 v) { return v >= 360.0f ? v - 360.0f : v < 0.0f ? v + 360.0f : v; }
f32 Wrap180(f32 d) { return d > 180.0f ? d - 360.0f : d < -180.0f ? d + 360.0f : d; }
f32 YawOf(const CVector3& d) { return Atan2F(d.x, d.z) * kRadToDeg + 180.0f; }
f32 PitchOf(const CVector3& d) { return Atan2F(d.y, SqrtF(d.x * d.x + d.z * d.z)) * kRadToDeg; }


CVector3 Front(const CVector3& rotation)
{
    // Models face their local -Z.
    const f32 yaw = rotation.y * kDegToRad;
    return CVector3(-SinF(yaw), 0.0f, -CosF(yaw));
}

}  // namespace

u32 character_actions::AttackMotion(u32 n, bool end)
{
    char key[32];
    std::snprintf(key, sizeof key, end ? "ATTACK%02uEND" : "ATTACK%02u", n + 1);
    return FindMotionKey(key);
}

// -- Shared pieces. --

u32 CCharacterAction::AimAtTarget()
{
    const CObjectDivision* target = GetLockedTarget();
    if (!target) return 0;
    const CVector3 d = *target->GetPosition() - m_position;
    m_status.targetAngles.x = PitchOf(d);
    m_status.targetAngles.y = Wrap360(YawOf(d));
    return 1;
}

u32 CCharacterAction::TurnYawToTarget()
{
    const CObjectDivision* target = GetLockedTarget();
    if (!target) return 0;
    m_status.targetAngles.y = Wrap360(YawOf(*target->GetPosition() - m_position));
    return 1;
}

void CCharacterAction::PlayUpperMotion(u32 n)
{
    if (n >= kMotionCount || m_status.motions[n] < 0 || IsPlayedAnimation(n)) return;
    const f32 speed = m_parameter ? m_parameter->GetMotionSpeed(n) : 1.0f;
    PlayAnimation(u32(m_status.motions[n]), speed, 1, 0, kBlend, 0);
}

void CCharacterAction::UpdateAttackTrail()
{
    const u32 i = m_status.comboIndex;
    if (!m_parameter || i >= kShortAttackCount) return;
    const ShortAttackRecord& r = m_parameter->values.shortAttacks[i];
    const CTraceRecordList& traces = m_parameter->values.body.trace;
    for (u32 t = 0; t < traces.GetCount(); ++t) {
        const CTraceRecord& trace = *traces.GetAt(t);
        if (trace.type != r.hitType) continue;
        // On the trail's bone, at the trail's first point (its offset from the bone).
        f32& clock = m_status.attackClocks[kTraceClock];
        if (clock >= r.traceTime && PlayEffectOnBone(FindEffectKey("EFCORBITATTACK"), trace.bone.GetText(), trace.start))
            clock = 0.0f;
        return;
    }
}

// -- Short attacks. --

u32 CCharacterAction::StartShortAttack(u32 n)
{
    CharacterStatus& s = m_status;
    if (n >= kMirageSlideAttackRecord || !m_parameter || !CanShortAttack(n)) return 0;
    const ShortAttackRecord& r = m_parameter->values.shortAttacks[n];
    s.comboIndex = n;
    s.timers.shortAttackTime = s.attackClocks[kTraceClock] = 0.0f;
    // The cool-down counts from 0 outside close attacks: RELOAD seconds lie
    // between this attack's end and the next one started afresh.
    s.timers.shortAttackCooldown = 0.0f;
    ShowWeapon(r.weaponNo, 1);
    ChangeMotion(AttackMotion(n, false), 0);
    ++s.moveHit.attacks;
    SetAction(kActionShortAttack);
    ResetStates(kResetAttack);
    const CharacterGeneral& g = m_parameter->values.general;
    const i32 count = s.tension == 3 ? g.climaxTensionAttackCount
                      : s.tension == 2 ? g.hiTensionAttackCount
                                       : g.normalAttackCount;
    const bool last = s.tension >= 1 && i32(n) == count;
    if (s.tension >= 2)
        PlayEffectOnce(FindEffectKey(last ? "EFCOVERTENSIONDIFFUSIONSTARTLARGE" : "EFCOVERTENSIONDIFFUSIONSTARTSMALL"));
    if (last) {
        PlaySound(FindVoiceKey("VOICEATTACKEND"));
        return 1;
    }
    // The wall clock only picks the voice.
    u32 pick = host::kernel::TimeGetTime() % 3;
    if (n == 0 && pick == 2) pick = 1;
    if (pick < 2) PlaySound(FindVoiceKey("VOICEATTACK01") + pick);
    return 1;
}

u32 CCharacterAction::ShortAttackStep(u32)
{
    CharacterStatus& s = m_status;
    const u32 n = s.comboIndex;
    if (!m_parameter || n >= kSlideAttackRecord) return 1;
    const ShortAttackRecord& r = m_parameter->values.shortAttacks[n];
    const u32 hit = AttackMotion(n, false), end = AttackMotion(n, true);
    // A motion the model lacks counts as played, so the combo never waits on it.
    const bool hitOver = !HasMotion(hit) || (IsChangedAnimation(hit) && IsChangedAnimationEnded());
    if (hitOver && HasMotion(end) && !IsChangedAnimation(end)) ChangeMotion(end, 0);
    if (s.timers.shortAttackTime < r.fast) {
        AimAtTarget();
        s.acceleration += PitchedFront(m_rotation) * (r.acceleration * GetFrameTime());
    }
    const bool ending = IsChangedAnimation(end) || (!HasMotion(end) && hitOver);
    if (ending && s.queuedAction == kActionShortAttack && CanShortAttack(n + 1)) return StartShortAttack(n + 1);
    if (ending && (!HasMotion(end) || IsChangedAnimationEnded())) {
        ShowWeapon(r.weaponNo, 0);
        s.timers.justGuardWindow = r.justGuardInterval;
        return 1;
    }
    UpdateAttackTrail();
    return 0;
}

// -- Slide attacks. --

void CCharacterAction::BeginSlideAttack(u32 record, u32 action)
{
    CharacterStatus& s = m_status;
    const ShortAttackRecord& r = m_parameter->values.shortAttacks[record];
    s.comboIndex = record;
    s.timers.shortAttackTime = s.attackClocks[kTraceClock] = 0.0f;
    s.timers.shortAttackCooldown = 0.0f;
    ShowWeapon(r.weaponNo, 1);
    ChangeMotion(FindMotionKey("SLIDEATTACKSET"), 1);
    ++s.moveHit.attacks;
    SetAction(action);
    ResetStates(kResetAttack);
}

u32 CCharacterAction::StartSlideAttack()
{
    if (!m_parameter || !CanShortAttack(kSlideAttackRecord)) return 0;
    BeginSlideAttack(kSlideAttackRecord, kActionSlideAttack);
    PlaySound(FindVoiceKey("VOICESLIDEATTACK"));
    return 1;
}

u32 CCharacterAction::StartMirageSlideAttack()
{
    CharacterStatus& s = m_status;
    if (!m_parameter || s.timers.stun > 0 || s.timers.secondStun > 0 || IsOut()) return 0;
    const f32 cost = m_parameter->values.general.mirageSlideAttackMp;
    if (s.mp < cost || s.action == kActionResult || s.queuedAction == kActionResult) return 0;
    BeginSlideAttack(kMirageSlideAttackRecord, kActionMirageSlideAttack);
    s.mp -= cost;
    return 1;
}

u32 CCharacterAction::SlideAttackStep(u32)
{
    CharacterStatus& s = m_status;
    if (!m_parameter || s.comboIndex >= kShortAttackCount) return 1;
    const ShortAttackRecord& r = m_parameter->values.shortAttacks[s.comboIndex];
    const u32 set = FindMotionKey("SLIDEATTACKSET"), attack = FindMotionKey("SLIDEATTACK");
    // Missing motions: no set pose waits, and a missing attack ends with its fast time.
    const bool attacking = IsChangedAnimation(attack) || (!HasMotion(attack) && s.timers.shortAttackTime >= r.fast);
    if (!attacking && (IsChangedAnimation(set) || !HasMotion(set))) {
        AimAtTarget();
        const f32 radius = m_parameter->values.general.slideAttackRadius;
        const CObjectDivision* target = GetLockedTarget();
        if (target && (*target->GetPosition() - m_position).LengthSquared() < radius * radius) {
            ChangeMotion(attack, 0);
            s.timers.shortAttackTime = r.fast;
        } else if (s.timers.shortAttackTime >= r.fast) {
            ChangeMotion(attack, 0);
        }
    } else if (attacking && (!HasMotion(attack) || IsChangedAnimationEnded())) {
        ShowWeapon(r.weaponNo, 0);
        s.timers.justGuardWindow = r.justGuardInterval;
        return 1;
    }
    if (s.timers.shortAttackTime < r.fast + r.reverbe)
        s.acceleration += PitchedFront(m_rotation) * (r.acceleration * GetFrameTime());
    if (IsChangedAnimation(attack)) UpdateAttackTrail();
    return 0;
}

// -- Shooting. --

u32 CCharacterAction::CheckTargetAngle()
{
    const ShotRecord* r = GetShotRecord();
    if (!r) return 0;
    if (r->movingFlg == 0) return 1;
    const CObjectDivision* target = GetLockedTarget();
    if (!target) return 0;
    const f32 d = Wrap180(Wrap360(YawOf(*target->GetPosition() - m_position)) - m_rotation.y);
    return AbsF(d) >= r->backShootAngle ? 1 : 0;
}

u32 CCharacterAction::StartShoot()
{
    CharacterStatus& s = m_status;
    if (!m_parameter || !CanUse(2)) {
        s.timers.shotCharge = 0.0f;
        return 0;
    }
    const u32 selected = s.selectedBarrage < 2 ? s.selectedBarrage : 0;
    const bool charged = m_parameter->values.shots[selected].chargeTime <= s.timers.shotCharge;
    s.barrageSlot = charged ? selected + 2 : selected;
    const ShotRecord& r = m_parameter->values.shots[s.barrageSlot];
    // The reload lasts the record's RELOAD, counted from 0 once the count runs out.
    s.timers.ammoReloadDuration = r.reload;
    s.timers.ammoReload = 0.0f;
    s.timers.turnShootClock = s.timers.sinceBarrageFinished = s.attackClocks[kShotClock] = 0.0f;
    s.timers.shotCharge = 0.0f;
    ++s.moveHit.shots;
    if (charged) ++s.moveHit.chargedShots;
    // An empty magazine stays empty rather than wrapping to 65535.
    if (s.ammunition > 0) --s.ammunition;
    if (CBarrage* barrage = GetCurrentBarrage()) barrage->Restart(0.0f);
    ResetStates(kResetShoot);
    if (CheckTargetAngle()) s.turnShoot = 1;
    // The upper body by what the legs do: standing, flying level, climbing
    // or diving. A turning shot leaves the upper body to the shoot step.
    const bool turning = s.turnShoot != 0;
    if (IsChangedAnimation(FindMotionKey("WAIT"))) {
        if (!turning) PlayUpperMotion(FindMotionKey("SHOOT"));
    } else if (IsChangedAnimation(FindMotionKey("MOVE"))) {
        if (!turning || !GetLockedTarget()) PlayUpperMotion(FindMotionKey("MOVEFRONTSHOOT"));
    } else if (IsChangedAnimation(FindMotionKey("MOVEUP")) || IsChangedAnimation(FindMotionKey("MOVEDOWN"))) {
        PlayUpperMotion(FindMotionKey("ACTIONSHOOT"));
    }
    const u32 a = s.action;
    if (a == kActionSlide || a == kActionSlideShoot) {
        SetAction(kActionSlideShoot);
        PlayUpperMotion(SlideShootMotion(true));
    } else if (a == kActionDoubleSlide || a == kActionDoubleSlideShoot) {
        SetAction(kActionDoubleSlideShoot);
        PlayUpperMotion(SlideShootMotion(true));
    } else {
        SetAction(kActionShoot);
    }
    if (s.tension >= 2)
        PlayEffectOnce(FindEffectKey(charged ? "EFCOVERTENSIONDIFFUSIONSTARTLARGE" : "EFCOVERTENSIONDIFFUSIONSTARTSMALL"));
    if (charged) {
        PlaySound(FindVoiceKey("VOICECHARGESHOOT"));
        u32 slot = s.participantSlot;
        SendObjectMessage(kMsgSmallShake, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(&slot));
        SetVibration(m_parameter->values.body.smallPadVibrationPow);
    } else if (s.timers.voiceCooldowns[kShootVoiceTimer] <= 0.0f) {
        PlaySound(FindVoiceKey("VOICESHOOT"));
        s.timers.voiceCooldowns[kShootVoiceTimer] = m_parameter->values.general.shootVoiceTime;
    }
    return 1;
}

u32 CCharacterAction::ShootStep(u32 argument)
{
    CharacterStatus& s = m_status;
    const ShotRecord* r = GetShotRecord();
    if (!r) return 1;
    u32 upper = kMotionCount;
    if (s.action == kActionShoot) {
        const CVector3& v = s.acceleration;
        const bool still = v.x == 0 && v.y == 0 && v.z == 0, vertical = v.x == 0 && v.z == 0;
        upper = FindMotionKey(still ? "SHOOT" : vertical ? "ACTIONSHOOT" : "MOVEFRONTSHOOT");
    } else {
        upper = SlideShootMotion(false);
    }
    if (HasMotion(upper) && !IsPlayedAnimation(upper)) {
        StopUpperMotion();
        PlayUpperMotion(upper);
    }
    CBarrage* barrage = GetCurrentBarrage();
    const bool firing = barrage && !barrage->IsFinished();
    if (s.action == kActionShoot || r->movingFlg == 0) {
        if (s.turnShoot && firing) EndAttachedObject(3), EndAttachedObject(9);
    } else {
        s.turnShoot = 0;
    }
    if (r->movingFlg == 0 && (r->gazeTime == 0 || s.attackClocks[kShotClock] <= r->gazeTime)) AimAtTarget();
    const CObjectDivision* target = GetLockedTarget();
    u32 done = 0;
    if (!s.turnShoot) {
        done = FireStep(argument);
    } else if (!target) {
        if (r->movingFlg == 0 && (done = FireStep(argument))) s.turnShoot = 0;
        if (r->movingFlg) s.turnShoot = 0;
    } else {
        // A moving shot turns about the vertical only: it keeps its pitch.
        if (r->movingFlg) TurnYawToTarget();
        const f32 d = Wrap360(YawOf(*target->GetPosition() - m_position) - m_rotation.y);
        const bool away = d > r->backShootAngle && d < 360.0f - r->backShootAngle;
        if (!(away && s.attackClocks[kShotClock] < r->backShootTime) && (done = FireStep(argument))) s.turnShoot = 0;
    }
    return done;
}

// The upper-body motion of a shot from a slide, by the slide's motion:
// kMotionCount when none plays. At the start a side slide shoots to its
// side; while it runs only the front slide keeps the front-shooting pose.
// Double slides shoot from the right and left ones only.
u32 CCharacterAction::SlideShootMotion(bool starting) const
{
    const u32 a = m_status.action, slide = m_status.slideMotion;
    if (a == kActionSlide || a == kActionSlideShoot) {
        if (slide == FindMotionKey("SLIDEFRONT")) return FindMotionKey("MOVEFRONTSHOOT");
        if (!starting) return FindMotionKey("ACTIONSHOOT");
        if (slide == FindMotionKey("SLIDEBACK")) return FindMotionKey("ACTIONSHOOT");
        if (slide == FindMotionKey("SLIDERIGHT")) return FindMotionKey("MOVERIGHTSHOOT");
        if (slide == FindMotionKey("SLIDELEFT")) return FindMotionKey("MOVELEFTSHOOT");
        return kMotionCount;
    }
    if (a == kActionDoubleSlide || a == kActionDoubleSlideShoot) {
        if (slide == FindMotionKey("DOUBLESLIDERIGHT") || slide == FindMotionKey("DOUBLESLIDELEFT"))
            return FindMotionKey("ACTIONSHOOT");
    }
    return kMotionCount;
}

// -- Spell cards. --

u32 CCharacterAction::StartSpellCard()
{
    CharacterStatus& s = m_status;
    if (!m_parameter || !CanUse(4)) return 0;
    const u32 selected = s.selectedBarrage < 2 ? s.selectedBarrage : 0;
    const bool charged = m_parameter->GetSpellCard(selected).GetValues().chargeTime <= s.timers.spellCharge;
    s.spellSlot = charged ? selected + 2 : selected;
    s.timers.spellCharge = 0.0f;
    ++s.moveHit.spells;
    if (charged) ++s.moveHit.chargedSpells;
    for (u32 slot : {selected, selected + 2}) {
        if (ISpellCardDriver* card = GetSpellCardDriver(slot)) card->UseStock();
    }
    if (ISpellCardDriver* card = GetSpellCardDriver(s.spellSlot)) card->ActivateCard(this);
    const u32 a = s.action;
    SetAction(In(a, {kActionSlide, kActionSlideSpellCard})               ? kActionSlideSpellCard
              : In(a, {kActionDoubleSlide, kActionDoubleSlideSpellCard}) ? kActionDoubleSlideSpellCard
              : In(a, {kActionTripleSlide, kActionTripleSlideSpellCard}) ? kActionTripleSlideSpellCard
                                                                         : kActionSpellCard);
    if (s.tension >= 2) PlayEffectOnce(FindEffectKey("EFCOVERTENSIONDIFFUSIONSTARTLARGE"));
    return 1;
}

u32 CCharacterAction::SpellStep(u32)
{
    ISpellCardDriver* card = GetSpellCardDriver(m_status.spellSlot);
    // A slot without a card has nothing to run.
    if (!card) return 1;
    const i32 motion = card->GetCardMotion();
    const bool changed = motion >= 0 && HasMotion(u32(motion)) && !IsPlayedAnimation(u32(motion));
    if (m_status.action == kActionSpellCard && changed) {
        // Moving, the body's motion takes back the bones the last card
        // motion held before the new one plays.
        const CVector3& a = m_status.acceleration;
        if (a.x != 0 || a.y != 0 || a.z != 0) StopUpperMotion();
        PlayUpperMotion(u32(motion));
    }
    return card->UpdateCard(this) ? 1 : 0;
}

// -- The spark. --

u32 CCharacterAction::StartSpark()
{
    CharacterStatus& s = m_status;
    if (!m_parameter || !CanSpark()) return 0;
    const u32 k = s.action == kActionHitReaction ? 1 : 0;
    const SparkRecord& r = m_parameter->values.spark.records[k];
    s.sparkKind = k;
    s.timers.actionClocks[kSparkClock] = 0.0f;
    s.sparkGauge = 0.0f;
    if (s.timers.invincibility < r.invincibilityTime) s.timers.invincibility = r.invincibilityTime;
    s.damageType = 0, s.knockPower = 0.0f, s.moveHit.rollCount = 0;
    s.barrageSlot = kSparkSlot + k;
    s.timers.turnShootClock = s.timers.sinceBarrageFinished = s.attackClocks[kShotClock] = 0.0f;
    // An empty magazine stays empty rather than wrapping to 65535.
    if (s.ammunition > 0) --s.ammunition;
    if (CBarrage* barrage = GetCurrentBarrage()) barrage->Restart(0.0f);
    s.limitGauge = 0.0f, s.timers.limitTimer = 0.0f;
    ChangeMotion(FindMotionKey("SPARK"), 0);
    SetAction(kActionSpark);
    ResetStates(kResetSpark);
    PlayEffectOnce(FindEffectKey(k ? "EFCREVERSALSPARK" : "EFCATTACKSPARK"));
    PlaySound(FindVoiceKey("VOICESPARK"));
    ++s.moveHit.sparks;
    s.mp -= r.mp;
    s.hp -= SparkHpCost(r);
    // The HUD's eased HP trails down to it in the timer step.
    s.exactHp = f32(s.hp);
    return 1;
}

u32 CCharacterAction::SparkStep(u32 argument)
{
    CharacterStatus& s = m_status;
    if (!m_parameter) return 1;
    const SparkRecord& r = m_parameter->values.spark.records[s.sparkKind ? 1 : 0];
    if (HasSkillReversalBarrage()) FireStep(argument);
    if (s.timers.actionClocks[kSparkClock] < r.time) return 0;
    const TensionBonus* bonus = GetTensionBonus();
    // The spark interval timer is the spark lock a freezing hit sets: one
    // count-down that keeps the next spark off, whichever set it.
    s.timers.sparkLock = (bonus ? bonus->sparkIntervalRevise : 1.0f) * r.interval;
    s.timers.secondStun = r.reactionTime;
    return 1;
}

// -- The shoot-out. The approach flag rides on the turn-and-shoot flag:
// the shoot-out never turns to shoot. --

u32 CCharacterAction::StartShootOut(CObjectDivision* target)
{
    CharacterStatus& s = m_status;
    if (!target || !m_parameter) return 0;
    s.barrageSlot = kShootOutSlot;
    s.timers.ammoReloadDuration = m_parameter->values.shots[kShootOutSlot].reload;
    s.timers.ammoReload = 0.0f;
    if (CBarrage* barrage = GetCurrentBarrage()) barrage->Restart(0.0f);
    s.timers.actionClocks[kShootOutClock] = s.timers.actionClocks[kShootOutShotTimer] = 0.0f;
    s.moveHit.escapePresses = 0;
    ResetStates(kResetShoot);
    s.lockedTargetId = target->GetId();
    ChangeMotion(FindMotionKey("SLIDEBACK"), 0);
    SetAction(kActionShootOut);
    ResetStates(kResetSpark);
    ++s.moveHit.shootOuts;
    // After the resets, which clear the turn flag.
    s.turnShoot = 1;
    return 1;
}

u32 CCharacterAction::ShootOutStep(u32 argument)
{
    CharacterStatus& s = m_status;
    CObjectDivision* target = GetLockedTarget();
    const auto* rival = dynamic_cast<CCharacterBase*>(target);
    if (!m_parameter) return 1;
    const ShootOutRecord& r = m_parameter->values.shootOut;
    f32& clock = s.timers.actionClocks[kShootOutClock];
    if (!(clock < r.time) || !rival || rival->GetStatus()->action != kActionShootOut) {
        // Back to the lock-on view from behind the fighter.
        SetCameraPoints(m_position);
        SwitchCamera(kCameraLock);
        return 1;
    }
    AimAtTarget();
    const CVector3 toTarget = *target->GetPosition() - m_position;
    const f32 distance = toTarget.Length();
    if (s.turnShoot) {
        const f32 step = m_parameter->values.general.slideAcceleration * GetFrameTime();
        const CVector3 toward = distance > 0.0f ? toTarget * (1.0f / distance) : CVector3();
        // The fighter as a sphere RADIUS + 0.1 round, led by its front point
        // over this frame's step: does the approach run into the stage?
        CVector3 wall;
        CVector3 reach = toward * (m_parameter->values.body.radius + 0.1f + step);
        const bool blocked = distance > 0.0f && ReachMeetsStage(&reach, &wall);
        const f32 gap = distance - r.radius;
        if (gap <= 0.0f || (gap <= step && !blocked)) {
            // Placed at the radius; a target on top of the character leaves
            // it along its own front.
            const CVector3 away = distance > 0.0f ? toward * -1.0f : Front(m_rotation) * -1.0f;
            const CVector3 placed = *target->GetPosition() + away * r.radius;
            // A move like any other: a wall behind the fighter stops it there,
            // and the stage's box takes it back in.
            CVector3 move = placed - m_position, face;
            if (ReachMeetsStage(&move, &face)) m_position += move;
            else m_position = placed;
            SendObjectMessage(kMsgStageBoxTest, CObjectRegistry::kBroadcastId, kGroupStage, 0);
            s.turnShoot = 0;
            s.velocity.SetZero(), s.acceleration.SetZero(), s.displacement.SetZero();
            EndAttachedObject(3);
            PlayUpperMotion(FindMotionKey("SHOOT"));
            SwitchCamera(kCameraShootOut);
        } else if (distance > 0.0f) {
            // A negative radius from the file can leave the target on top.
            CVector3 push = toTarget * (step / distance);
            // Against a wall the approach goes on as any movement does: the
            // stage takes away the part into the wall, the rest slides along it.
            if (blocked) push -= wall * push.Dot(wall);
            s.acceleration += push;
        }
        const u32 square = FindEffectKey("EFCSLIDEMAGICSQUARE");
        if (s.turnShoot && square < kEffectCount && s.effects[square] &&
            s.timers.slideClocks[0] >= m_parameter->values.general.slideMagicSquarePlayInterval) {
            PlayEffectOnce(square);
            s.timers.slideClocks[0] = 0.0f;
        }
    } else {
        // The view swings around the pair from their midpoint.
        if (m_camera) m_camera->FrameShootOut((m_position + *target->GetPosition()) * 0.5f, clock, r.verticalWidth);
        if (FireStep(argument))
            if (CBarrage* barrage = GetCurrentBarrage()) barrage->Restart(0.0f);
        f32& shot = s.timers.actionClocks[kShootOutShotTimer];
        if (shot >= r.shootTime) {
            shot = 0.0f;
            // The record-and-kind TakeHit knows only the guard crash: the
            // volley goes through the hit record.
            if (auto* defender = dynamic_cast<CCharacterAction*>(target))
                defender->TakeHit(Hit{f32(r.timeStr), 0, 0, r.gauge, r.causeGauge, CVector3(0, 0, -1), 0,
                                      kShootOutHitKind, 0, 0, this});   // never lethal
        }
    }
    u32 slot = s.participantSlot;
    SendObjectMessage(kMsgSmallShake, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(&slot));
    SetVibration(m_parameter->values.body.smallPadVibrationPow);
    return 0;
}
