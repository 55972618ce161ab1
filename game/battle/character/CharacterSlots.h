// Fixed slots of the character's resource tables that its code names:
// motion, effect, voice and sound-effect keys by index, damage types and
// attached-object slots. CharacterSlotsTest holds each against its key.
#pragma once

#include "engine/core/Types.h"

namespace character_slots {

enum MotionSlot : u32 {
    kMotionDashStart = 8,
    kMotionMoveUp = 12,
    kMotionMoveDown = 13,
    kMotionSlideFront = 14,
    kMotionSlideUp = 22,
    kMotionSlideDown = 24,
    // The double and triple slides' motions: the twelve slide motions again,
    // each kDoubleSlideOffset further on.
    kMotionDoubleSlideFront = 26,
    kMotionDoubleSlideLast = 37,
    kMotionDamageSpin = 70,
    kMotionSlideAttackSet = 104,
};

inline constexpr u32 kDoubleSlideOffset = kMotionDoubleSlideFront - kMotionSlideFront;

enum EffectSlot : u32 {
    kEffectFlyLoop = 1,
    kEffectWeaponChange = 9,
    kEffectGuardBreak = 35,
    kEffectIceFreezeEnd = 47,
    kEffectTimeFreezeEnd = 48,
};

enum VoiceSlot : u32 { kVoiceStart = 0, kVoiceWin = 30, kVoiceLose = 31 };

enum SoundEffectSlot : u32 {
    kSeLockOn = 0,
    kSeStrikeSmallDamage = 1,
    kSeStrikeLargeDamage = 2,
    kSeSlashSmallDamage = 3,
    kSeSlashLargeDamage = 4,
    kSeDown = 5,
    kSeBeat = 6,
};

enum DamageType : u32 { kDamageSpin = 7, kDamageBlowOff = 8, kDamageFallOff = 9, kDamageDown = 10 };

// Attached-object slots.
enum AttachedSlot : u32 { kAttachedFlyLoop = 0 };

// ResetStates masks of the action code: both keep the loops (0, 6, 7, 8),
// the tension stage effects (14, 15), the camera-front effect (18) and the
// status effects (19-24); the first also keeps the turn-and-shoot flag.
inline constexpr u32 kResetKeepLoops = 0x1fcc1c1;
inline constexpr u32 kResetKeepLoopsButFlight = 0x1fcc1c0;

// The SHOWFLG bit of the weapons the guard holds up.
inline constexpr u32 kGuardWeapons = 8;

}  // namespace character_slots
