// The state hash tests change every hashed field of an object on its own
// and expect the hash to move. StateHashProbe reaches the fields the
// objects keep private (they befriend it); ExpectEachChangesHash runs one
// object's table.
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/StateHash.h"
#include "engine/core/Vector3.h"
#include "game/battle/object/Barrage.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/SpellCard.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/Weapon.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

// Pointers to one object's hashed fields, by type.
struct HashedFields {
    std::vector<f32*> floats;
    std::vector<u32*> words;
    std::vector<i32*> ints;
    std::vector<u16*> shorts;
    std::vector<u8*> bytes;
    std::vector<CVector3*> vectors;
    std::vector<CMatrix*> matrices;
};

struct StateHashProbe {
    static HashedFields Fields(CBullet& b)
    {
        CBulletState& s = b.m_state;
        HashedFields f;
        f.floats = {&s.damageScale, &s.power, &s.strength, &s.speed, &s.speedFactor, &s.turnRate, &s.turnFactor,
            &s.markTime, &s.age, &s.stopTimer, &s.stopDuration, &b.m_hitRadius};
        for (u32 i = 0; i < 4; ++i) f.floats.insert(f.floats.end(), {&s.hitTimer[i], &s.hitEffectTimer[i]});
        f.ints = {&s.motionType, &s.damage, &s.dotDamage, &s.releaseType, &s.shooterGroup, &s.soundVolume,
            &s.freezeKind, &s.previousFreezeKind};
        for (i32& cell : b.m_gridBox) f.ints.push_back(&cell);
        f.words = {&s.attackKind, &s.counterA, &s.counterB, &s.stageHitEnabled, &s.characterHitEnabled, &s.firing,
            &s.ended, &s.hitEnded};
        for (u32& count : s.hitCount) f.words.push_back(&count);
        f.vectors = {&s.step, &s.velocity, &s.axis, &s.swingOffset, &s.offset, &s.endPoint, &s.throughVector,
            &b.m_hitCentre};
        return f;
    }
    static CBulletState& State(CBullet& b) { return b.m_state; }
    static IChildBarrage*& Child(CBullet& b) { return b.m_child; }

    static HashedFields Fields(CBarrage& b)
    {
        HashedFields f;
        f.floats = {&b.m_clock};
        for (BarrageState& s : b.m_states) {
            f.words.push_back(&s.volleyCount);
            f.floats.push_back(&s.timer);
            f.matrices.insert(f.matrices.end(), {&s.frameMatrix, &s.frameRotation});
            f.vectors.insert(f.vectors.end(), {&s.firingRotation, &s.targetAngles, &s.targetVector});
        }
        return f;
    }
    static std::vector<BarrageState>& States(CBarrage& b) { return b.m_states; }

    static HashedFields Fields(CSpellCard& c)
    {
        HashedFields f;
        f.floats = {&c.m_fireWaitTimer, &c.m_shotTimer, &c.m_stepTimer, &c.m_voiceTimer, &c.m_reloadTimer,
            &c.m_weaponShowTimer, &c.m_weaponShowEnd, &c.m_fadeClock, &c.m_phaseTimer, &c.m_phaseTime,
            &c.m_phaseDelay, &c.m_movingTimer, &c.m_movingFalseEnd};
        f.words = {&c.m_climaxLevel, &c.m_climaxStartPending, &c.m_active, &c.m_firing, &c.m_baseAnimation,
            &c.m_step, &c.m_voiceIndex, &c.m_fadingOut, &c.m_teleported, &c.m_shortAttackCount, &c.m_movable,
            &c.m_variation};
        f.shorts = {&c.m_ammunition};
        f.vectors = {&c.m_shotDirection};
        return f;
    }
    static CEffect** Attached(CSpellCard& c) { return c.m_attached; }
    static CEventCamera*& Camera(CSpellCard& c, u32 side) { return c.m_cameras[side]; }

    static HashedFields Fields(CStage& s)
    {
        HashedFields f;
        for (u32 i = 0; i < CStage::kSlotCount; ++i) {
            f.words.push_back(&s.m_darkFlag[i]);
            f.floats.insert(f.floats.end(),
                {&s.m_darkness[i], &s.m_darkLimit[i], &s.m_shakeAmplitude[i], &s.m_shakeTimer[i]});
        }
        return f;
    }

    static HashedFields Fields(CWeapon& w)
    {
        HashedFields f;
        f.words = {&w.m_weaponShown, &w.m_boneIndex};
        return f;
    }
    static void SetOwner(CWeapon& w, CObjectDivision* owner)
    {
        w.m_owner = owner;
        w.m_ownerId = owner ? owner->GetId() : 0;
    }
};

// Field by field: each changed alone (a float at +0 to -0, so only exact
// bits tell; a vector one component at a time; a matrix in its rotation
// and its translation) must move the hash, and is put back before the next.
template <class T>
void ExpectEachChangesHash(const T& object, const HashedFields& fields, const std::string& what)
{
    const auto hash = [&object] {
        CStateHash h;
        object.HashState(h);
        return h.Value();
    };
    const auto change = [&](auto* field, auto changed, const std::string& name) {
        const auto kept = *field;
        const u64 before = hash();
        *field = changed;
        EXPECT_NE(hash(), before) << what << " " << name;
        *field = kept;
    };
    const auto nudge = [](f32 x) { return x == 0.0f && !std::signbit(x) ? -0.0f : x + 1.0f; };
    for (size_t i = 0; i < fields.floats.size(); ++i)
        change(fields.floats[i], nudge(*fields.floats[i]), "float " + std::to_string(i));
    for (size_t i = 0; i < fields.words.size(); ++i)
        change(fields.words[i], *fields.words[i] + 1, "word " + std::to_string(i));
    for (size_t i = 0; i < fields.ints.size(); ++i)
        change(fields.ints[i], *fields.ints[i] + 1, "int " + std::to_string(i));
    for (size_t i = 0; i < fields.shorts.size(); ++i)
        change(fields.shorts[i], u16(*fields.shorts[i] + 1), "short " + std::to_string(i));
    for (size_t i = 0; i < fields.bytes.size(); ++i)
        change(fields.bytes[i], u8(*fields.bytes[i] + 1), "byte " + std::to_string(i));
    for (size_t i = 0; i < fields.vectors.size(); ++i)
        for (int a = 0; a < 3; ++a) {
            CVector3 v = *fields.vectors[i];
            v[a] = nudge(v[a]);
            change(fields.vectors[i], v, "vector " + std::to_string(i) + "." + std::to_string(a));
        }
    for (size_t i = 0; i < fields.matrices.size(); ++i)
        for (int r : {1, 3}) {
            CMatrix m = *fields.matrices[i];
            m.m[r][r == 1 ? 2 : 0] = nudge(m.m[r][r == 1 ? 2 : 0]);
            change(fields.matrices[i], m, "matrix " + std::to_string(i) + " row " + std::to_string(r));
        }
}
