// CCharacterBase: the bottom of the fighter chain CObjectDivision ->
// CCharacterBase -> CCharacterAction -> CCharacter -> CPlayerCharacter /
// CCpuCharacter. It holds what a fighter is made of (its own copy of the
// parameter set, model, motions, voices, effects, sound effects, camera,
// weapons, barrages, spell cards, skills, tension file) and the character
// block of every per-fighter value. The later classes add behaviour, not
// fields: the whole block is declared here so its layout and the order of
// its state hash are fixed once.
#pragma once

#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"
#include "game/battle/character/CharacterObjects.h"
#include "game/battle/character/CharacterParameter.h"
#include "game/battle/character/CharacterTrace.h"
#include "game/battle/character/SkillModifiers.h"
#include "game/battle/character/SpellCardState.h"
#include "game/battle/object/ObjectDivision.h"
#include "game/battle/object/ShotRecords.h"

#include <array>
#include <memory>
#include <vector>

class CBarrage;
class CEffect;
class CModelMaterial;
class CRenderList;
class CSkill;
class CTensionFile;
struct CSpellCardValues;
struct CAnimationFrame;

inline constexpr u32 kAttachedObjectCount = 25;
inline constexpr u32 kTransientObjectCount = 50;
inline constexpr u32 kSkillSlotCount = 3;
inline constexpr u32 kCharacterNameBytes = 32;

// What the battle scene hands a fighter's Create: the participant's values,
// the battle's options and the player's settings. Some words only ride
// along: the fighter keeps them, nothing reads them yet.
struct CharacterCreateRecord {
    CVector3 position, rotation;
    char name[kCharacterNameBytes] = {};
    i32 team = 0;
    u32 initialWords[2] = {};   // [0] the card's colour
    f32 stunTime = 0;
    u32 characterId = 0;
    f32 hpFactor = 1, mpFactor = 1, reloadFactor = 1;
    u32 barrageSlot = 0;             // the selected shoot record, 0 (A) or 1 (B)
    u32 skills[kSkillSlotCount] = {};   // 1-based numbers in the skill list, 0 none
    // Option word 9: 1 low, 2 normal, 3 high, 4 climax, 5 climax with the
    // finale always on; anything else follows the music.
    i32 fixedTension = 0;
    u32 seVolume = 100, voiceVolume = 100, voiceEnabled = 1;
    u32 participantSlot = 0;         // the place in the character list
    // The set-up entry the fighter plays: what the local entry (message 35),
    // the lockstep and the replays name.
    u32 entryIndex = 0;
    u32 characterCount = 0;          // fighters in the battle
    u32 network = 0;                 // a network battle
    u32 training = 0;
    u32 padInput = 1;                // the pad drives this fighter
    u32 lockOnType = 0, computerLevel = 0;
    u32 livesRule = 0, sharedGroupBullets = 0;   // option words 4, 8
    // 1: a defeat spends a life of the team, and the fighter gets up again
    // while its team has lives left; 0: a defeat is final.
    u32 revival = 0;
    u8 radarType = 0;                // 0 fixed, 1 rotating (the HUD's)
    u8 cameraSide = 0;               // the camera's side: 1 right, else left
    u8 guardCorrection = 0;
    u32 screenshot = 0;              // the player's screenshot setting
    // Survival: the share of its HP the first fighter starts with, (0, 1],
    // and the word the run carries with it.
    f32 carriedLife = 1;
    u32 carriedWord = 0;
    u32 afterimageQuality = 0;       // 0..4
    u32 trailSamples = 0;            // per frame
    u32 cameraWord = 0;              // handed to the camera controller
};

// One bone aim: the rotation laid on the bone (degrees) and its frame.
struct BoneAim {
    CVector3 rotation;
    CAnimationFrame* frame;
};

// The status timers, by index, and the attached slots their effects live in.
inline constexpr u32 kBuff1Timer = 0, kDisorderTimer = 1, kBuff2Timer = 2, kBuff3Timer = 3, kRestrictionTimer = 4;
inline constexpr u32 kStatusSlots[5] = {19, 20, 22, 23, 24};

// The action clocks, by index. Each action that times itself has its own,
// so a hit that keeps the action running (the damage clock) restarts no
// spark or shoot-out.
inline constexpr u32 kFreezeClock = 0, kResultClock = 1, kDamageClock = 2, kShootOutShotTimer = 3, kSparkClock = 4,
                     kShootOutClock = 5, kActionClockCount = 6;

// Per-fighter clocks (seconds): count-downs run out at <= 0.
struct CharacterTimers {
    f32 hitStopDelay, hitStopTime, justGuardWindow, guardHold, invincibility;
    f32 stun, sparkLock, secondStun;
    // The longest voice playing: set by PlaySound, which the player's voice
    // setting decides, so it stays out of the state hash and gates voices only.
    f32 longestVoice;
    f32 voiceCooldowns[10];   // LOCKONVOICETIME .. SHOOTVOICETIME
    f32 shortAttackTime, slideTime, slideClocks[2], actionClocks[kActionClockCount];
    f32 afterAttackEnd, sinceBarrageFinished, shortAttackCooldown, limitTimer;
    // Each runs an effect in its attached slot (kStatusSlots) that ends with it:
    // 19 buff 1 (berserk), 20 disorder, 22 buff 2 (armour), 23 buff 3 (jamming), 24 restriction.
    f32 statusTimers[5];
    f32 boredom, overTensionEffect, stageEffect, guardReload, ammoReload, ammoReloadDuration;
    f32 shotCharge, spellCharge, turnShootClock, hitReaction, freezeTime;
    f32 cardStun, doubleAttackCooldown;
};

// What the movement actions, hits, guard and defeat keep between frames,
// with the play-record counters they raise.
struct CharacterMoveHitState {
    u32 rollCount;
    u32 dashFlag, mirageReached;
    CVector3 guardCenter;
    f32 doubleAttackWindow;     // the partner's window, seconds
    u32 doubleAttackFlag;
    f32 doubleAttackTimer;
    u32 friendlyFire;           // the battle's rule word: 1 halves a teammate's hits
    u32 noDefeat;
    i32 damageTaken, lastTaken[5];   // newest first
    i32 damageDealt, lastDealt[5];
    u32 dashes, slides, doubleSlides, mirageSlides, guards, spins, spinsCaused, rolls, downs;
    u32 doubleAttacks, doubleAttacksReceived, kills, killCounts[9], lastKillKind, defeatAnswer;
    u32 escapePresses, escapes;
    // Statistics the results read (StatisticCounters.h).
    u32 defeats, sparks, shootOuts, attacks, shots, chargedShots, spells, chargedSpells;
    u32 rollsCaused, downsCaused, climaxHits;
};

// The character block: zeroed as a whole at construction.
struct CharacterStatus {
    char name[kCharacterNameBytes];
    i32 hp;                 // integer HP
    f32 exactHp;            // the exact HP that hits and refills change
    f32 shownHp;            // the HUD's eased HP, following exactHp
    f32 mp;
    i32 expression;
    u32 creationWord;
    u32 tension;            // 0 low, 1 normal, 2 high, 3 climax
    i32 team;
    u32 defeatCount;
    u32 lastVoiceStamp;     // wall clock: picks voices, never state
    f32 expressionClock;
    f32 lastMusicTime;
    CharacterTimers timers;
    u32 finale;
    u32 lockedTargetId;     // registry id, 0 none
    u32 lockedByCount;
    i32 motions[kMotionCount];   // animation index in the model, -1 none
    BoneAim neck, body, arm;
    CSoundBuffer* voices[kVoiceCount];
    CEffectContainer* effects[kEffectCount];
    CEffect* attached[kAttachedObjectCount];     // owned
    CEffect* transient[kTransientObjectCount];   // owned
    // Where the stage's camera-front effect plays and how it turns: the
    // camera's eye plus the turned offset, and the camera's angles; both
    // refreshed every frame, the effect following them.
    CVector3 cameraFrontEffectPosition, cameraFrontEffectAngles;
    CSoundBuffer* soundEffects[kSoundEffectCount];
    i32 shownWeapon;        // -1 none
    u32 materialTextures[4];
    f32 materialScroll[2];
    u32 action, queuedAction;
    // Movement.
    CVector3 displacement, velocity, acceleration;
    CVector3 targetAngles;  // pitch, yaw, roll
    CVector3 center;
    CVector3 viewAngles;
    f32 dashTurnAngle, dashAngle;
    u32 moveEffect;
    f32 slideAngle;
    f32 moveAngle;          // the stick's angle while a direction is held
    // Damage and limit.
    u32 damageMotion, damageType;
    CVector3 hitDirection;
    u32 lastAttackerId;
    f32 knockPower, limitGauge;
    u32 slideMotion;
    // Guard, attacks, shots.
    f32 afterimageClock;
    f32 guardGauge;
    u32 guardBreak;
    u32 comboIndex;
    f32 attackClocks[2];
    u32 barrageSlot;        // the current barrage slot 0..6
    u32 turnShoot;
    u16 ammunition;
    f32 sparkGauge;
    u32 freezeKind, previousFreezeKind;
    u32 spellSlot;          // 0..6
    u32 spellStep, spellWord;
    u32 lastVoice, voiceIndex;   // the voice timer is timers.longestVoice
    // Creation values.
    f32 hpFactor, mpFactor, reloadFactor;
    u32 selectedBarrage;
    u32 skillNumbers[kSkillSlotCount];
    i32 fixedTension;
    u32 seVolume, voiceVolume, voiceEnabled;
    u32 participantSlot;
    u32 afterimageQuality, trailSamples;
    u32 lockOnType, computerLevel, cameraWord;
    u32 entryIndex, characterId, characterCount, training;
    u32 livesRule, sharedGroupBullets, screenshot, carriedWord;
    u8 radarType, cameraSide, guardCorrection;
    u32 order, followed, savedFollowed;
    // Read by the queries.
    u32 revival;            // the battle's revival flag
    u32 attackHitMask;      // bit (participant slot % 32) of each fighter this attack has hit
    u32 sparkKind;          // 0 SPARKA, 1 SPARKB
    // Card uses.
    u32 exceptionUses, hiTensionUses, climaxUses, finaleClimaxes;
    CharacterMoveHitState moveHit;
};

class CCharacterBase : public CObjectDivision {
    ORV_ABSTRACT_CLASS(CCharacterBase)

public:
    // Takes both over (either may be null): group 1, block zeroed.
    CCharacterBase(CCharacterParameter* parameter = nullptr, CTensionFile* tension = nullptr);
    // Deep copy (every owned object cloned); its own registry id.
    CCharacterBase(const CCharacterBase& other);
    ~CCharacterBase() override;

    // Releases everything the character holds, then the base. Twice is harmless.
    i32 Release() override;

    // -- Virtual operations, in their fixed order. --
    i32 Draw(u32 argument) override;
    // Textures, model, voices, effects, sound effects, motions from the
    // holder. 0 without a parameter set or model.
    i32 LoadResource(CResourceController* holder) override { return CreateSubObjects(holder); }
    // Whether the track holds the animation of motion slot n.
    u32 IsChangedAnimation(u32 n) const override;
    // Whether the model has an animation for motion slot n.
    u32 HasMotion(u32 n) const { return n < kMotionCount && m_status.motions[n] >= 0; }
    u32 IsPlayedAnimation(u32 n) const override;
    u32 IsHittableBy(i32) const override { return 1; }
    // The position raised by half of HEIGHT.
    virtual void GetCenter(CVector3* out) const;
    using CObjectDivision::GetPosition;
    // Where a fighter answers it is: its centre. The stage's tests take the
    // fighter's sphere (and its moves) from here, so that they meet what the
    // fighter's answers measure from; the position field stays its feet.
    void GetPosition(CVector3* out) const override { GetCenter(out); }
    using CObjectDivision::GetRotation;
    // The rotation with the arm and body aims added.
    void GetRotation(CVector3* out) const override;
    // The world matrix turned by the rotation of arm aim + body aim in the
    // fighter's own frame: what its barrages place their shots in.
    void GetMatrix(CMatrix* out) const override;
    f32 GetRadius() const override;
    // What the stage's segment test sweeps: this frame's displacement, from
    // the centre.
    void GetDirection(CVector3* out) const override { *out = m_status.displacement; }
    // The team: bullets of this fighter's cards and options choose by it.
    i32 GetShooterGroup() const override { return m_status.team; }
    virtual void GetMovement(CVector3* out) const { *out = m_status.displacement; }
    virtual i32 GetTeam() const { return m_status.team; }
    virtual i32 AutoSlide(u32 argument) = 0;
    virtual i32 TakeHit(CObjectDivision* attacker, u32 kind, intptr_t record) = 0;
    virtual u32 IsComputerPlayer() const { return 0; }
    // State queries, answered by the action machine from the current and
    // queued action, the running spell card and a few timers.
    virtual u32 IsActive() const = 0;
    virtual u32 IsAttackWindow() const = 0;
    virtual u32 IsFree() const = 0;
    virtual u32 CanMoveInSpell() const = 0;
    virtual u32 KeepsRotationAsView() const = 0;
    virtual u32 LevelsView() const = 0;
    virtual u32 CanAimHead() const = 0;
    virtual u32 CanAimBody() const = 0;
    virtual u32 CanAimArm() const = 0;
    virtual u32 IsShooting() const = 0;
    virtual u32 CanChangeTarget() const = 0;
    virtual u32 IsKnockedOut() const = 0;
    virtual u32 CanChangeTension() const = 0;
    virtual u32 IsHostile(const CCharacterBase* other) const = 0;
    virtual u32 IsDefeated() const = 0;
    virtual u32 IsOut() const = 0;
    virtual u32 IsHittable() const = 0;
    virtual u32 IsSolid() const = 0;
    virtual u32 HasHitTarget(const CCharacterBase* other) const = 0;
    virtual u32 IsGuarding() const = 0;
    virtual u32 IsInJustGuardWindow() const = 0;
    virtual u32 CanClashWith(const CCharacterBase* other) const = 0;
    virtual u32 IsAttackHitType(i32 type) const = 0;
    virtual u32 IsLastComboHit() const = 0;
    virtual u32 IsCloseAttacking() const = 0;
    virtual u32 IsSliding() const = 0;
    virtual u32 IsRolling() const = 0;
    virtual u32 IsInCameraView(const CCharacterBase* other) const = 0;
    virtual u32 IsLineClear(const CCharacterBase* other) = 0;
    virtual u32 CanSpeak() const = 0;
    virtual u32 IsDashing() const = 0;
    virtual u32 ShowsAfterimages() const = 0;
    virtual u32 CanUse(u32 kind) const = 0;
    virtual u32 ShowsCameraFrontEffect() const = 0;
    virtual u32 ShowsHiTensionStage() const = 0;
    virtual u32 ShowsClimaxStage() const = 0;
    virtual u32 IsOverTensionEffectDue() const = 0;
    virtual u32 CanGiveOrders() const = 0;
    virtual u32 IsFrozen() const = 0;
    virtual u32 IsCloseAttackCard() const = 0;
    virtual u32 IsCounterCard() const = 0;
    virtual u32 CanEndAtOnce() const = 0;
    virtual u32 IsClimaxLocked() const = 0;
    virtual u32 SetAction(u32 action) = 0;
    virtual u32 SetNextAction(u32 action) = 0;
    virtual u32 GetDefeatCount() const { return m_status.defeatCount; }
    // Battle statistic n (StatisticCounters.h); 0 past the table.
    u32 GetStatisticCounter(u32 n) const;
    // -- Gauges: damage over time, regeneration, the ready clock. --
    // The running damage-over-time record a type-15 hit leaves; the
    // source is kept by registry id, never by pointer.
    struct DotState {
        f32 duration, interval, clock;
        f32 damage, gauge, causeGauge;
        u32 damageType, sourceId;
    };
    void StartDamageOverTime(const DotState& dot);
    const DotState& GetDamageOverTime() const { return m_dot; }
    void SetRegeneration(u32 on) { m_regeneration = on; }
    f32 GetReadyClock() const { return m_readyClock; }
    // In a hit's end motion or a finished slide attack: the after-attack clock runs.
    bool AttackEnding(u32 action) const;
    // Folds CObjectDivision's state, then the character's in a fixed order.
    void HashState(CStateHash& hash) const override;

    // -- Accessors of the object interface. --
    u32 HasWeapon(u32 i) const { return i < m_weapons.GetCount() ? 1 : 0; }
    // Whether weapon i is back in hand; 0 for an invalid index.
    u32 GetSubObject(u32 i) const;
    // Whether spell card i's SPELLTYPE is type.
    u32 IsSubObjectKind(u32 i, i32 type) const;
    // The running state of spell card slot s; null when there is none.
    const ISpellCardState* GetSpellCardState(u32 s) const;
    ISpellCardState* GetSpellCardState(u32 s);
    // Card s's stock, 0 without the card.
    u32 GetSpellStock(u32 s) const;

    // -- Can-do tests and tension-dependent rates. --
    u32 CanGuard() const;
    u32 CanShortAttack(u32 comboCount) const;
    u32 CanShoot() const;
    u32 CanCastSpell() const;
    u32 CanCastExceptionSpell() const;
    u32 CanCastHiTensionSpell() const;
    u32 CanCastClimaxSpell() const;
    u32 CanShootFromState() const;
    u32 CanCastFromState() const;
    u32 CanSlide() const;
    u32 CanDoubleSlide() const;
    u32 CanDash() const;
    u32 CanMirageSlide() const;
    u32 IsAttackReady() const;
    u32 CanSpark() const;
    // The HP a spark of this record takes: its share of the full HP, truncated.
    i32 SparkHpCost(const SparkRecord& record) const;
    // Skill queries over the three places.
    u32 IsGuardable() const;
    u32 HasSkillGuardThrough() const;        // FLAG2 bit 4
    u32 HasSkillMirageCancel() const;        // FLAG2 bit 17
    u32 HasSkillAutoSlide() const;           // FLAG2 bit 23
    u32 HasSkillIdleCardBonus() const;       // FLAG2 bit 25
    u32 HasSkillReversalBarrage() const;     // FLAG1 bit 30
    u32 HasNoSkillBit11() const;
    u32 CanScrapeMp() const;
    u32 HasSkillCombination() const;
    // The product over the places of the modifier through its rule.
    f32 GetSkillFactor(SkillModifier modifier) const;
    // The tension row of the current level.
    const TensionBonus* GetTensionBonus() const;
    f32 GetMotionSpeedRate() const;
    f32 GetBulletSpeedFactor() const;
    f32 GetBulletHomingFactor() const;
    f32 GetStrengthFactor() const;
    f32 GetSparkGaugeFactor() const;
    // RELOADREVISE x the reload factor: ammunition, guard and card reloads.
    f32 GetReloadRate() const;
    f32 GetShortAttackReloadRate() const;
    f32 GetMpRecoveryRate() const;
    // In action 9 with the climax card past its bind: its climax level is
    // 1 or more (the bind shot before it does not count).
    u32 IsClimaxCardUnderWay() const;
    // In action 9 with the climax card active, from its start to its end.
    u32 IsClimaxCardRunning() const;
    // The high-tension card, or the climax card under way: the card sets
    // the pace and the tension's revise factors stay out (they read 1).
    u32 RunsAtCardPace() const;
    // Buff n (1..3) of the spell cards runs on status timer n; 0 for any other n.
    f32 GetBuffTimer(u32 n) const;
    u32 IsBerserk() const { return GetBuffTimer(1) > 0 ? 1 : 0; }
    u32 IsArmored() const { return GetBuffTimer(2) > 0 ? 1 : 0; }
    u32 IsJamming() const { return GetBuffTimer(3) > 0 ? 1 : 0; }
    // The card motion and voice of spell slot s; -1 outside 0..6.
    static i32 GetSpellMotion(u32 slot);
    static i32 GetSpellVoice(u32 slot);
    // The distance from the centre to point.
    f32 GetDistanceTo(const CVector3& point) const;

    // -- Effects, voices and gauge services. --
    // Effect container n on the EFFECTBONENAME bones into attached slot.
    u32 StartEffect(u32 slot, u32 n);
    // Replaces the slot's object (releasing the old one); takes object over.
    // 0 for a slot past the table (the object is released).
    u32 SetAttachedObject(u32 slot, CEffect* object);
    // Lets the slot's effect run out; it stays in the slot.
    u32 EndAttachedObject(u32 slot);
    CEffect* GetAttachedObject(u32 slot) const { return slot < kAttachedObjectCount ? m_status.attached[slot] : nullptr; }
    u32 AddTransientObject(CEffect* object);
    u32 PlaySound(u32 n);
    u32 PlaySoundEffect(u32 n);
    // The point voices and sound effects play at and follow: the camera's
    // reference point, or the fighter's position without one.
    const CVector3* GetSoundPoint() const;
    // Voices and sound effects that follow the camera's reference point
    // follow the fighter instead: the camera is about to be replaced. (At the
    // fighter's end the camera goes with it, as its position does.)
    void UnfollowCamera();
    u32 PlayHitSound(u32 weight, u32 cut);
    // Plays effect container n once at the centre (not kept). 0 when empty.
    u32 PlayEffectOnce(u32 n);
    // Effect n once at position, turned by rotation (degrees); registered.
    u32 PlayEffectAt(u32 n, const CVector3& position, const CVector3& rotation);
    // Effect n once on the model's bone of that name, offset in the bone's
    // frame; at the centre when the model lacks the bone. Registered; 0 when empty.
    u32 PlayEffectOnBone(u32 n, const char* bone, const CVector3& offset);
    // Container once on each EFFECTBONENAME bone, registered; the count played.
    u32 PlayOnBones(const CEffectContainer& container);
    u32 ResetStates(u32 mask);
    u32 AddSparkGauge(f32 amount);
    u32 RecoverHP(f32 rate);
    // The hit a guard crash deals through TakeHit (kind 5).
    struct GuardCrashHit {
        i32 damage;
        f32 power, limit;
        CVector3 direction;
        i32 damageType;
    };
    static constexpr u32 kGuardCrashHitKind = 5;
    u32 GuardBreak(CCharacterBase* attacker);
    u32 PayGuardMP(f32 amount, CCharacterBase* attacker);
    u32 AddGuardLoad(f32 amount, CCharacterBase* attacker);
    // out: centre (x, y, z) and radius (w) of HITSPHERE record i.
    u32 GetHitSphere(u32 i, CVector4* out) const;
    u32 CanDoubleAttack() const;

    // -- Movement actions, hits, guard and defeat. --
    // Raises the invincibility timer to at least t.
    void ExtendInvincibility(f32 t);
    // What the slides' MP costs are multiplied by (1 unless skills change it).
    virtual f32 GetMpCostFactor() const;
    // The fighter's own damage scale; the spark factor of its gauges.
    virtual f32 GetDamageScale() const { return 1.0f; }
    virtual f32 GetSparkFactor() const { return GetSparkGaugeFactor(); }
    u32 CanTripleSlide() const;

    // -- Creation steps, in the order CCharacter::Create runs them. --
    i32 CreateSubObjects(CResourceController* holder);
    i32 CreateCameraController();
    i32 ApplySkills(const CharacterCreateRecord* entry);
    i32 CreateWeapons(const CharacterCreateRecord* entry);
    i32 CreateBarrages(const CharacterCreateRecord* entry);
    i32 CreateSpellCards(const CharacterCreateRecord* entry);
    i32 BindBones();
    // -- What the fighter keeps of meeting other fighters and bullets:
    // statistics, escape flags and the shoot restriction (folded into the
    // state hash after the block). --
    struct MeetingState {
        u32 friendlyFire;    // team equality no longer protects
        u32 dangerFlags;     // 1 left, 2 right, 4 down, 8 up: where to escape on screen
        u32 autoSlide;       // a bullet came within AUTOSLIDERADIUS
        f32 autoSlideAngle;  // the slide angle an auto-slide takes
        i32 shootRestrict;   // a bullet's SHOOTRESTRICT; CanShoot refuses while not 0
        u32 guardedHits, guardCounters, blockedAttacks, shotsGuarded, binds, clashes;
        u32 shotHits;        // hits this fighter's bullets landed on others
        u32 boundBy;         // the id of the fighter whose card bound this one last
    };
    MeetingState& GetMeeting() { return m_meeting; }
    const MeetingState& GetMeeting() const { return m_meeting; }
    void HashMeeting(CStateHash& hash) const;

protected:
    MeetingState m_meeting{};

public:
    i32 CreateAfterimages();
    i32 CreateTrails();
    // The creation values of entry into the block (null: nothing).
    void TakeCreationValues(const CharacterCreateRecord* entry);

    // -- Drawing, afterimages and trails (CharacterDraw.cpp): drawing only,
    // never simulation state nor the battle's random generator. --
    // The draw with a render list: afterimage objects and ribbons queue
    // there; without one they draw at once. 0 without a model.
    i32 Draw(CRenderList* renderList);
    // Late-update steps: the past poses and the ribbons follow this frame.
    i32 UpdateAfterimages(u32 argument);
    i32 UpdateTrails(u32 argument);
    // Afterimage index in its faded colour (the traces call this).
    i32 DrawAfterimage(u32 index);
    i32 ApplyMaterialScroll();
    // Older afterimages turn red and are gone at half their age.
    CVector4 GetAfterimageColor(u32 index) const;
    const std::vector<AfterimageRecord>& GetAfterimages() const { return m_afterimages; }
    const CResourceList& GetTrailRibbons() const { return m_trailRibbons; }

private:
    // The model's materials, every model object's in turn.
    std::vector<CModelMaterial*> Materials() const;
    // The first texture of the first four materials from the face lists.
    void SetMaterialTextures();
    void RestoreMaterialTextures();
    // Steps of Draw: the effects this view shows, the past poses.
    void DrawAttachedObjects(CRenderList* renderList);
    void DrawAfterimages(CRenderList* renderList);
    void CopyAfterimages(const CCharacterBase& other);
    // One per trail: the bone's matrix of the last update.
    std::vector<CMatrix> m_trailMatrices;

public:
    // -- What the player console's weapon panel reads (CharacterHudQueries.cpp). --
    // Action kinds: guard, close attack, shot, charged shot, spell, charged
    // spell, exception, high tension, climax.
    static constexpr u32 kActionKindCount = 9;
    // The kind's fill 0..1 (0 outside 0..8); full means ready.
    f32 GetActionGauge(u32 kind) const;
    // Uses left and capacity: the ammunition and AMMUNITION of the selected
    // shot set (kinds 2, 3), the stock and AMMUNITION of the selected set's
    // spell card (4, 5) and of the exception card (6); 0 for other kinds.
    u32 GetActionCount(u32 kind) const;
    u32 GetActionCapacity(u32 kind) const;
    // The rate the spell cards' reload timers run at.
    virtual f32 GetTensionRate() const = 0;
    // The nine fills before clamping, in kind order.
    f32 GetGuardFill() const;
    f32 GetCloseAttackFill() const;
    f32 GetShotFill() const;
    f32 GetChargedShotFill() const;
    f32 GetSpellFill() const;
    f32 GetChargedSpellFill() const;
    f32 GetExceptionFill() const;
    f32 GetHiTensionFill() const;
    f32 GetClimaxFill() const;
    // The selected shot set and spell card: 0 (A) or 1 (B). Not the card
    // cast last, which a special card leaves at 4, 5 or 6.
    u32 GetSelectedSet() const;

private:
    const CSpellCardValues* GetCardValues(u32 card) const;
    f32 GetCardFill(u32 card) const;
    f32 GetTensionCardFill(u32 card) const;

public:
    // -- Weapons, barrages, spell cards and the firing step (CharacterFire.cpp). --
    // The current slot's shot record; null without a parameter set.
    const ShotRecord* GetShotRecord() const;
    // Weapon WEAPONNO for a weapon-fired slot (SHOOTOBJECTTYPE 4) when it
    // exists, else the character.
    CObjectDivision* GetShotOrigin();
    // The barrage of the current slot; null when it is not a CBarrage.
    CBarrage* GetCurrentBarrage() const;
    // This frame's fire request for the current slot.
    ShooterRecord MakeShooterRecord();
    // Stand-in for the power factor of a power level until the rates give
    // it: the tension strength factor for every level.
    f32 GetAttackPowerFactor(u32) const { return GetStrengthFactor(); }
    // Shows or hides weapon index (none when out of range) and keeps it as
    // the shown weapon. withEffect: a weapon whose CHANGEEFFECTFLG is set
    // and that really appears or goes plays the weapon-change effect where
    // it is.
    void ShowWeapon(i32 index, u32 shown, u32 withEffect = 0);
    // Every weapon whose SHOWFLG has a bit of flag shown or hidden as asked;
    // the others are left as they are.
    void ShowWeaponsOfFlag(u32 flag, u32 shown);
    // The weapons of flag shown and every other weapon hidden (the result).
    void ShowOnlyWeaponsOfFlag(u32 flag);

public:

    // -- Movement, turning and bone aims (CharacterMove.cpp). --
    // Velocity from this frame's acceleration within the action's limits,
    // the frame displacement and the view angles. 1.
    i32 UpdateMovement(u32 argument);
    // Pitch and yaw toward the target view angles at the action's rate. 1.
    i32 TurnToView();
    // 0 without the animation controller or the bone's frame, else 1.
    i32 AimBodyBone(u32 argument);
    i32 AimNeckBone(u32 argument);
    i32 AimArmBone(u32 argument);
    // 1 when the locked target lies at least ESCAPEANGLELIMIT off the yaw.
    u32 IsTargetBehind() const;
    // Applies the displacement and settles the wanted view. 1.
    i32 PostUpdate(u32 argument);
    // The end-of-frame services (CharacterLateUpdate.cpp). 1.
    i32 LateUpdate(u32 argument);
    // Blends the camera to mode over that mode's CHANGETIME; nothing
    // without a camera.
    void SwitchCamera(u32 mode);
    // Lock-on and near views by the distance to the locked target.
    void UpdateCameraDistanceMode();
    // The others still fighting that lock on this one.
    u32 CountLockers();
    // The locked target found by its id; null when none or gone.
    CObjectDivision* GetLockedTarget() const;
    // The action's movement figures (per second); the state machine
    // answers by its action, the base with the plain movement's.
    virtual f32 GetMaxSpeed() const;
    virtual f32 GetDeceleration() const;
    virtual f32 GetRotationSpeed() const;
    virtual f32 GetSpeedFactor() const;

    // -- Tension from the music, the stage's effects (CharacterTension.cpp). --
    // Follows the music time through the tension file. 1.
    i32 UpdateTension(f32 musicTime);
    // Restarts the stage's high-tension and climax effects. 1.
    i32 UpdateTensionStage();
    // Creation step: 0 when the stage has no camera-front effect.
    i32 StartCameraFrontEffect();
    // 0 while attached slot 18 is empty.
    i32 UpdateCameraFrontEffect(u32 argument);

protected:
    // Whether the running card is turning its user; 0 until the spell
    // cards tell it.
    u32 QueryCardRotates() const { return 0; }

public:
    CCharacterParameter* GetParameter() const { return m_parameter; }
    CharacterStatus* GetStatus() { return &m_status; }
    const CharacterStatus* GetStatus() const { return &m_status; }
    ICameraController* GetCameraController() const { return m_camera.get(); }
    CTensionFile* GetTensionFile() const { return m_tensionFile; }
    CMesh* GetMesh() const;
    const CResourceList& GetWeapons() const { return m_weapons; }
    const std::vector<std::unique_ptr<CObjectDivision>>& GetBarrages() const { return m_barrages; }
    const std::vector<std::unique_ptr<CObjectDivision>>& GetSpellCards() const { return m_spellCards; }
    const CSkill* GetSkill(u32 s) const { return s < kSkillSlotCount ? m_skills[s] : nullptr; }
    SkillPlaces GetSkillPlaces() const { return {m_skills[0], m_skills[1], m_skills[2]}; }
    const std::vector<CAnimationFrame*>& GetHitSphereBones() const { return m_hitSphereBones; }
    const std::vector<CTexture*>& GetTextures(u32 group) const { return m_textures[group]; }

protected:
    CharacterStatus m_status;
    DotState m_dot{};
    u32 m_regeneration = 0;
    f32 m_readyClock = 0.0f;
    CCharacterParameter* m_parameter = nullptr;
    std::unique_ptr<ICameraController> m_camera;
    std::vector<CAnimationFrame*> m_hitSphereBones;
    std::vector<CAnimationFrame*> m_trailBones;            // filled with the trails
    std::vector<AfterimageRecord> m_afterimages;           // filled with the afterimages
    CResourceList m_weapons;
    std::vector<std::unique_ptr<CObjectDivision>> m_barrages;
    std::vector<std::unique_ptr<CObjectDivision>> m_spellCards;
    CTensionFile* m_tensionFile = nullptr;
    CSkill* m_skills[kSkillSlotCount] = {};
    std::array<std::vector<CTexture*>, kFaceGroupCount> m_textures;   // not owned
    CResourceList m_trailRibbons;                          // filled with the trails

private:
    void ReleaseObjects(CEffect** slots, u32 count);
};
