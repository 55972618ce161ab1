// What the battle objects need of a fighter, which lives in the library
// above this one: the character implements it, bullets and the bullet passes
// reach it by casting an object to it.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

class CAnimationFrame;
class CBullet;
class CObjectDivision;
struct ShooterRecord;

class IBattleCharacter {
public:
    virtual ~IBattleCharacter() = default;
    // False while invincible or in an untouchable action.
    virtual u32 IsHittable() const = 0;
    // True while casting a spell card that hides bullets from screenshots.
    virtual u32 IsInScreenshotSpell() const = 0;
    // The first and second bullet-pass callbacks for one bullet.
    virtual i32 HitTestBullet(CBullet* bullet, u32 frame) = 0;
    virtual i32 HitBullet(CBullet* bullet, u32 frame) = 0;
};

// What a spell card needs of the fighter casting it, beyond the object
// queries and messages every battle object answers (position, rotation,
// radius, shooter group, slot on message 36, view camera on 34).
class ISpellCardOwner {
public:
    virtual ~ISpellCardOwner() = default;
    virtual void GetCenter(CVector3* out) const = 0;
    // The locked target, or null.
    virtual CObjectDivision* GetTarget() const = 0;
    // 0 left, 1 right: which of a card's two event cameras is the owner's.
    virtual u32 GetSide() const = 0;
    // The card slot 0..6 the owner is using.
    virtual u32 GetSpellSlot() const = 0;
    // The first motion of the owner's spell animations, the motion playing,
    // and a motion's length in seconds.
    virtual u32 GetSpellMotionBase() const = 0;
    virtual u32 GetMotion() const = 0;
    virtual f32 GetMotionLength(u32 motion) const = 0;
    virtual void ChangeMotion(u32 motion, u32 mode, f32 blend) = 0;
    virtual f32 GetTimeScale() const = 0;
    virtual f32 GetTensionRate() const = 0;
    virtual u32 HasClimaxFlag() const = 0;
    // Speed of the climax card's approach, per second.
    virtual f32 GetApproachSpeed() const = 0;
    // The equipped skills' climax wait factors multiplied (1 without any).
    virtual f32 GetClimaxWaitFactor() const = 0;
    // The owner's power and skill factors for hit type hitType; the card has
    // set the kind, shooter, target and group already.
    virtual void FillShooterRecord(ShooterRecord* record, u32 hitType) const = 0;
    // A bone of the owner's model, or null.
    virtual CAnimationFrame* FindBone(const char* name) const = 0;
    virtual void ShowWeapon(i32 weapon, u32 shown) = 0;
    virtual void Vibrate() = 0;
    virtual void ClearSpellStatus() = 0;
    // Invincible for at least time seconds.
    virtual void ExtendInvincibility(f32 time) = 0;
    // Voice index of the owner's spell voices.
    virtual void PlayVoice(u32 index) = 0;
    // Buff 1..3 for time seconds, its effects started when not yet shown.
    virtual void StartBuff(u32 buff, f32 time) = 0;
    virtual void PlayHitEffect() = 0;
    // A close hit of the card begins: nobody has been hit by it yet.
    virtual void BeginCloseHit() = 0;
    virtual void AddVelocity(const CVector3& v) = 0;
    virtual void StopMovement() = 0;
    // The battle camera's two reference points.
    virtual void SetCameraPoints(const CVector3& position) = 0;
    // With GAZEFLG: the owner's turn toward its target; else its face-target.
    virtual void TurnToTarget() = 0;
    virtual void FaceTarget() = 0;
    virtual void TurnYawToward(const CVector3& direction) = 0;
    virtual void StartClimaxEffects() = 0;
    virtual void EndAttachedEffect(u32 slot) = 0;
};

// The fighter behind an object that can cast spell cards, or null.
ISpellCardOwner* AsSpellCardOwner(CObjectDivision* object);

// The battle scene's answer to message 18: its fighters in slot order.
struct BattleCharacterList {
    CObjectDivision* const* characters = nullptr;
    u32 count = 0;
};

// The character behind an object, or null for any other object.
const IBattleCharacter* AsBattleCharacter(const CObjectDivision* object);
IBattleCharacter* AsBattleCharacter(CObjectDivision* object);
