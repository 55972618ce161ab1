// CCharacterAction: the action state machine of a fighter. It adds the
// table of the 27 action handlers to the character base; the current and
// queued action ids and every value the actions use live in the base's
// character block.
#pragma once

#include "engine/platform/Input.h"
#include "game/battle/character/CharacterBase.h"
#include "game/battle/character/SpellCardDriver.h"
#include "game/battle/object/BattleCharacter.h"

#include <initializer_list>

struct CMeshHitRecord;

enum CharacterActionId : u32 {
    kActionNeutral, kActionTedium, kActionShortAttack, kActionSlideAttack, kActionMirageSlideAttack, kActionShoot,
    kActionSlideShoot, kActionDoubleSlideShoot, kActionTripleSlideShoot, kActionSpellCard, kActionSlideSpellCard,
    kActionDoubleSlideSpellCard, kActionTripleSlideSpellCard, kActionGuard, kActionHitReaction, kActionDash,
    kActionSlide, kActionDoubleSlide, kActionTripleSlide, kActionMirageSlide, kActionSpark, kActionShootOut,
    kActionDefeated, kActionUnblocked, kActionResult, kActionFrozen, kActionBound,
};
inline constexpr u32 kActionCount = 27;

// The groups of actions the rules name.
namespace character_actions {

inline bool In(u32 action, std::initializer_list<u32> ids)
{
    for (u32 id : ids) {
        if (action == id) return true;
    }
    return false;
}
inline bool IsSpellAction(u32 a) { return a >= kActionSpellCard && a <= kActionTripleSlideSpellCard; }
inline bool IsShootAction(u32 a) { return a >= kActionShoot && a <= kActionTripleSlideShoot; }
inline bool IsCloseAttackAction(u32 a) { return a >= kActionShortAttack && a <= kActionMirageSlideAttack; }
// The motion of combo hit n (0 for ATTACK01) or of its end (ATTACK01END);
// kMotionCount past the table.
u32 AttackMotion(u32 n, bool end);
// The way a fighter of rotation (pitch x, yaw y, degrees) faces, pitch
// included; models face their local -Z.
CVector3 PitchedFront(const CVector3& rotation);

}  // namespace character_actions

class CCharacterAction : public CCharacterBase, public IBattleCharacter, public ISpellCardOwner {
    ORV_ABSTRACT_CLASS(CCharacterAction)

public:
    // Runs the current action; non-zero when it has finished this frame.
    using ActionHandler = u32 (CCharacterAction::*)(u32 argument);

    CCharacterAction(CCharacterParameter* parameter = nullptr, CTensionFile* tension = nullptr)
        : CCharacterBase(parameter, tension)
    {
    }
    CCharacterAction(const CCharacterAction& other) = default;

    // Stores the id and nothing else: entering an action is the work of its
    // starting operation. An id from 27 on is refused (0).
    u32 SetAction(u32 action) override;
    u32 SetNextAction(u32 action) override;
    f32 GetMaxSpeed() const override;
    f32 GetDeceleration() const override;
    f32 GetRotationSpeed() const override;
    f32 GetSpeedFactor() const override;
    // The slide direction of the slide input (the automatic slide takes
    // it): -2 when climb or descend was used within RESERVETIME, a random
    // side (90 or 270) when no direction was, else the move angle, turned
    // by the camera's yaw when there is no target.
    f32 GetSlideDirection();
    // The running card lets its user steer: its MOVINGFLG is set and it is
    // not in its no-move window.
    u32 CardLetsUserSteer() const;

    // Runs the current action, then on its end takes the queued action or
    // returns to idle. 1.
    u32 DispatchAction(u32 argument);
    // The battle is decided: Result at once where the action may end at
    // once, else queued. 1.
    u32 OnBattleEnd();
    // Starting operations of the idle, unblocked, frozen and bound actions.
    u32 StartTedium();
    u32 EnterUnblocked();
    // The caller has set the freeze kind (the previous one kept beside it)
    // and the freeze time.
    u32 StartFrozen();
    // Binds with motion slot bindMotion (CLIMAXBIND or another bind).
    u32 StartBound(u32 bindMotion);

    // Installs the 27 handlers; the table starts empty. The last slot.
    virtual void InitActionTable();

    ActionHandler GetActionHandler(u32 action) const { return action < kActionCount ? m_actions[action] : nullptr; }

    // -- State queries. --
    // The object slots: targetable unless down, bound or in the locked
    // climax card; attacking in the window.
    u32 IsTargetable() const override;
    u32 IsAttacking() const override { return IsAttackWindow(); }
    u32 IsActive() const override;
    u32 IsAttackWindow() const override;
    u32 IsFree() const override;
    u32 CanMoveInSpell() const override;
    u32 KeepsRotationAsView() const override;
    u32 LevelsView() const override;
    u32 CanAimHead() const override;
    u32 CanAimBody() const override { return CanAimHead(); }
    u32 CanAimArm() const override;
    u32 IsShooting() const override;
    u32 CanChangeTarget() const override;
    u32 IsKnockedOut() const override;
    u32 CanChangeTension() const override;
    u32 IsHostile(const CCharacterBase* other) const override;
    u32 IsDefeated() const override;
    u32 IsOut() const override;
    u32 IsHittable() const override;
    u32 IsSolid() const override;
    u32 HasHitTarget(const CCharacterBase* other) const override;
    u32 IsGuarding() const override;
    u32 IsInJustGuardWindow() const override;
    u32 CanClashWith(const CCharacterBase* other) const override;
    u32 IsAttackHitType(i32 type) const override;
    u32 IsLastComboHit() const override;
    u32 IsCloseAttacking() const override;
    u32 IsSliding() const override;
    u32 IsRolling() const override;
    u32 IsInCameraView(const CCharacterBase* other) const override;
    u32 IsLineClear(const CCharacterBase* other) override;
    u32 CanSpeak() const override;
    u32 IsDashing() const override;
    u32 ShowsAfterimages() const override;
    u32 CanUse(u32 kind) const override;
    u32 ShowsCameraFrontEffect() const override;
    // The stage's effects: not defeated, and not in a card that hides them.
    u32 ShowsStageEffects() const;
    u32 ShowsHiTensionStage() const override;
    u32 ShowsClimaxStage() const override;
    u32 IsOverTensionEffectDue() const override;
    u32 CanGiveOrders() const override;
    u32 IsFrozen() const override;
    u32 IsCloseAttackCard() const override;
    u32 IsCounterCard() const override;
    u32 CanEndAtOnce() const override;
    u32 IsClimaxLocked() const override;

    // -- What a running spell card asks of its caster (CharacterSpellOwner.cpp). --
    void GetCenter(CVector3* out) const override { CCharacterBase::GetCenter(out); }
    CObjectDivision* GetTarget() const override { return GetLockedTarget(); }
    u32 GetSide() const override;
    u32 GetSpellSlot() const override { return m_status.spellSlot; }
    u32 GetSpellMotionBase() const override;
    u32 GetMotion() const override;
    f32 GetMotionLength(u32 motion) const override;
    void ChangeMotion(u32 motion, u32 mode, f32 blend) override;
    f32 GetTimeScale() const override { return GetMotionSpeedRate(); }
    f32 GetTensionRate() const override;
    u32 HasClimaxFlag() const override { return m_status.finale ? 1 : 0; }
    f32 GetApproachSpeed() const override;
    f32 GetClimaxWaitFactor() const override;
    void FillShooterRecord(ShooterRecord* record, u32 hitType) const override;
    CAnimationFrame* FindBone(const char* name) const override;
    void ShowWeapon(i32 weapon, u32 shown) override { CCharacterBase::ShowWeapon(weapon, shown); }
    void Vibrate() override;
    void ClearSpellStatus() override;
    void ExtendInvincibility(f32 time) override { CCharacterBase::ExtendInvincibility(time); }
    void PlayVoice(u32 index) override;
    void StartBuff(u32 buff, f32 time) override;
    void PlayHitEffect() override;
    void BeginCloseHit() override { m_status.attackHitMask = 0; }
    void AddVelocity(const CVector3& v) override { m_status.velocity += v; }
    void StopMovement() override;
    void SetCameraPoints(const CVector3& position) override;
    void TurnToTarget() override;
    void FaceTarget() override { AimAtTarget(); }
    void TurnYawToward(const CVector3& direction) override;
    void StartClimaxEffects() override;
    void EndAttachedEffect(u32 slot) override { EndAttachedObject(slot); }
    // Whether the queued action may follow the finished one now.
    u32 IsQueuedActionValid() const;

    // -- Movement actions (CharacterMoveActions.cpp): 1 when started, 0
    // when refused (nothing changes then). Angles in degrees from the
    // facing: 0 front, 90 right; -2 up, -3 down; the dash's -1 is homing. --
    u32 StartDash(f32 angle);
    u32 StartSlide(f32 angle);
    u32 StartDoubleSlide(f32 angle);
    u32 StartTripleSlide(f32 angle);
    u32 StartMirageSlide(f32 angle);
    // The skill's automatic slide: 1 when it got past the skill and request.
    i32 AutoSlide(u32 argument) override;
    u32 DashStep(u32 argument);
    u32 SlideStep(u32 argument);
    u32 MirageSlideStep(u32 argument);
    // The slide motion slot of angle; double for the double and triple forms.
    static u32 SlideMotionFor(f32 angle, bool doubled);

    // -- Hits, guard and defeat (CharacterHit.cpp). --
    // One hit, as every attack hands it over.
    struct Hit {
        f32 damage, power, limit, gauge, causeGauge;
        CVector3 sourceDirection;
        u32 damageType, attackKind, canKill, keepAction;
        CCharacterBase* attacker;
    };
    // 0 when refused, else 1.
    virtual i32 TakeHit(const Hit& hit);
    // The guard crash arrives as kind kGuardCrashHitKind with its record.
    i32 TakeHit(CObjectDivision* attacker, u32 kind, intptr_t record) override;
    u32 Damage(const CVector3& sourceDirection, u32 damageType, u32 keepAction, CCharacterBase* attacker);
    u32 Defeat(const CVector3& sourceDirection, u32 damageType, u32 attackKind, CCharacterBase* attacker);
    void EnterOut(u32 argument);
    u32 BounceDown(const CVector3& normal);
    // Only the flights of a blow-off or fall-off (damage types 8, 9) bounce
    // off the stage: the bounce turns them into a down (10), so a fighter
    // lying against a wall or the floor is not downed again every frame.
    bool BouncesOffWalls() const
    {
        return m_status.action == kActionHitReaction && (m_status.damageType == 8 || m_status.damageType == 9);
    }
    u32 StartGuard(f32 angle);
    u32 GuardStep(u32 argument);
    u32 HitReactionStep(u32 argument);
    u32 DefeatedStep(u32 argument);
    f32 GetDamageFactor(u32 attackKind) const;
    // The escape input of ShootOut: released is whether any escape code was
    // released this frame. 1 when the escape hit was dealt.
    u32 EscapeShootOut(u32 released);
    // Toward the locked target (none: nothing), the yaw and, with pitch, the
    // pitch: the wanted angles, which the turn reaches at the action's
    // rotation speed; at once also turns the body there (the starts).
    void FaceLockedTarget(bool pitch, bool atOnce = false);
    // The wanted yaw, and at once the body's.
    void FaceYaw(f32 yaw, bool atOnce);
    // level 0 slide, 1 double, 2 triple: cost, motion, action, effects, voice.
    void BeginSlide(f32 angle, u32 level);
    // Both motor values of the fighter's input state; a player's pad takes
    // them each frame.
    void SetVibration(u16 power) { m_input.vibrationLeft = m_input.vibrationRight = power; }
    // Locks on target (never null): the id and the target's lock-on message.
    void LockOnTo(CObjectDivision* target);

protected:
    // The steps of the actions, by the table.
    u32 TediumStep(u32 argument);
    u32 CompositeStep(u32 argument);
    u32 UnblockedStep(u32) { return 1; }
    u32 ResultStep(u32 argument);
    u32 FrozenStep(u32 argument);
    u32 BoundStep(u32 argument);

    // The motion of slot n on the change track (speed from its key).
    void ChangeMotion(u32 n, u32 loop);
    void ClearMotionState();
    void StopUpperMotion();

    ActionHandler m_actions[kActionCount] = {};

public:
    // -- Attack actions (CharacterAttack.cpp) and the firing step
    // (CharacterFire.cpp). Starts: 1 when started, 0 when refused. --
    u32 StartShortAttack(u32 n);
    u32 StartSlideAttack();
    u32 StartMirageSlideAttack();
    u32 StartShoot();
    u32 StartSpellCard();
    u32 StartSpark();
    u32 StartShootOut(CObjectDivision* target);
    u32 StartExceptionSpell() { return StartSpecialSpell(4, CanCastExceptionSpell(), m_status.exceptionUses); }
    u32 StartHiTensionSpell() { return StartSpecialSpell(5, CanCastHiTensionSpell(), m_status.hiTensionUses); }
    u32 StartClimaxSpell() { return StartSpecialSpell(6, CanCastClimaxSpell(), m_status.climaxUses); }
    // The climax phase of the climax card while it runs and has not begun
    // it yet: 1 when started.
    u32 StartClimaxCard();
    // Whether a shot must turn toward its target first.
    virtual u32 CheckTargetAngle();
    // Runs the current barrage; 1 once the shot is over.
    u32 FireStep(u32 argument);
    // The attack kind of each shoot-out volley's hit.
    static constexpr u32 kShootOutHitKind = 3;

protected:
    u32 ShortAttackStep(u32 argument);
    u32 SlideAttackStep(u32 argument);
    u32 ShootStep(u32 argument);
    u32 SpellStep(u32 argument);
    u32 SparkStep(u32 argument);
    u32 ShootOutStep(u32 argument);
    u32 StartSpecialSpell(u32 slot, u32 allowed, u32& uses);
    // The card of spell slot s as the attack actions drive it; null without.
    ISpellCardDriver* GetSpellCardDriver(u32 s);
    // Slide attacks share their start from record 7 or 8.
    void BeginSlideAttack(u32 record, u32 action);
    // Yaw and pitch toward the locked target; 0 without one.
    u32 AimAtTarget();
    // The yaw alone toward the locked target; 0 without one.
    u32 TurnYawToTarget();
    // The trail of the current attack record's HITTYPE: its orbit effect
    // each TRACETIME.
    void UpdateAttackTrail();
    // The upper-body shoot motion unless it already plays.
    void PlayUpperMotion(u32 n);
    // The upper-body motion of a shot during a slide or double slide, at the
    // shot's start or while it runs; kMotionCount for none.
    u32 SlideShootMotion(bool starting) const;
    // EFCSLIDESTART at the centre, turned the way a slide of angle goes.
    void PlaySlideStart(f32 angle);
    // Hands a reach from the fighter's position to the stage as a move
    // (message 9): true when it meets the stage's collision model, the reach
    // then cut at the face and the face's unit normal (from the stage's
    // message 10) in *normal, zero when the face has none.
    bool ReachMeetsStage(CVector3* reach, CVector3* normal);

public:
    // -- Meeting other objects: the messages the fighter answers
    // (CharacterMessages.cpp), the interaction passes (CharacterInteract.cpp)
    // and the second-pass hits (CharacterHitPass.cpp). --
    // The character's object messages; 1 for every id it does not answer.
    u32 HandleCharacterMessage(u32 message, CMessageObject* sender, intptr_t parameter);
    u32 IsInScreenshotSpell() const override;
    // First pass: keeps the fighter from passing through solid bullets. 1.
    i32 HitTestBullet(CBullet* bullet, u32 frame) override;
    // Second pass: whether the bullet hits, and what it does. 1, or 0 for a refused bind.
    i32 HitBullet(CBullet* bullet, u32 frame) override;
    // First pass between two fighters: swept spheres; 0 when either is not solid.
    i32 CollideCharacter(CCharacterAction* other, u32 frame);
    // Second pass between two fighters: push apart, then close attacks both ways. 1.
    i32 CollideCharacter2(CCharacterAction* other, u32 frame);
    // 0 when either is not solid.
    i32 PushApart(CCharacterAction* other, u32 frame);
    // Run on the attacker. 1.
    i32 TestCloseAttack(CCharacterAction* defender, u32 frame);
    i32 ApplyShortAttackHit(CCharacterAction* defender, const CVector3& contact, const CVector3& direction);
    i32 ApplySpellSphereHit(CCharacterAction* defender, const CVector3& contact, const CVector3& direction);
    i32 ApplyBulletHit(CBullet* bullet, const CVector3& direction, const CVector3& contact);
    u32 TestAutoSlideDanger(CBullet* bullet, u32 frame);
    // 1 when the guard stopped the bullet.
    u32 GuardBullet(CBullet* bullet, u32 frame);
    // Run on the attacker: 1 when the defender's guard stopped the attack
    // (or it has already hit the defender).
    u32 GuardShortAttack(CCharacterAction* defender, u32 frame);
    // Moves two centres onto the nearest heights of two vertical capsules. 1.
    static i32 AlignCapsulePoints(CVector3* a, CVector3* b, f32 halfHeightA, f32 halfHeightB);
    // Degrees between the front and the direction from the centre to point.
    f32 GetGuardAngle(const CVector3& point) const;
    // Values of the current close attack; 0 outside one.
    f32 GetAttackGuardStiffen() const;
    f32 GetAttackGuardGauge() const;
    f32 GetAttackCauseGauge() const;
    f32 GetAttackMpScrape() const;
    // The card's SHORTATTACKRADIUS, 0 for the largest float or no card.
    f32 GetCardShortAttackRadius(u32 slot) const;
    u32 MarkAttackHit(const CCharacterBase* target, u32 flag);
    // False while bound, in the shoot-out and in cards that pin their user.
    u32 IsMovable() const;

protected:
    // Two charging fighters met: nothing stops them yet, so a clash is only
    // counted.
    void ReactToClash() { ++m_meeting.clashes; }
    // A guard counter against a close-attack card moves the card in use on
    // to its next short attack.
    void AdvanceCardShortAttack();
    // The card's trigger step: the next step with its effect.
    void AdvanceCardStep();

    // Written by every input source; the vibration values go back to a pad.
    InputState m_input;
    // Code held now or let go less than RESERVETIME ago.
    u32 Counts(u32 code) const;

private:
    // Where the stage's answer to ReachMeetsStage goes while it asks; null
    // otherwise, so other movers' hits change nothing.
    CMeshHitRecord* m_reachHit = nullptr;
    bool m_reachMet = false;
};
