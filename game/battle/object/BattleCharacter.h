// What the battle objects need of a fighter, which lives in the library
// above this one: the character implements it, bullets and the bullet passes
// reach it by casting an object to it.
#pragma once

#include "engine/core/Types.h"

class CBullet;
class CObjectDivision;

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

// The battle scene's answer to message 18: its fighters in slot order.
struct BattleCharacterList {
    CObjectDivision* const* characters = nullptr;
    u32 count = 0;
};

// The character behind an object, or null for any other object.
const IBattleCharacter* AsBattleCharacter(const CObjectDivision* object);
IBattleCharacter* AsBattleCharacter(CObjectDivision* object);
