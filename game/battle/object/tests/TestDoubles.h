// Stand-ins for what the battle objects talk to before it exists: the
// battle scene as the registry's engine handler, and a fighter answering
// the messages objects send it. Each test gets a registry of its own.
#pragma once

#include "engine/core/ObjectRegistry.h"
#include "engine/core/Scene.h"
#include "game/battle/object/BattleCharacter.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletPasses.h"
#include "game/battle/object/MeshHitRecord.h"
#include "game/battle/object/ObjectDivision.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class CInput;
class CSkillList;
class CCamera;

namespace battle_test {

// Answers the engine queries the objects make of the battle scene.
class FakeBattleScene : public CScene {
    ORV_VALUE_CLASS(FakeBattleScene)

public:
    FakeBattleScene() = default;
    // The answers, not the bullets.
    FakeBattleScene(const FakeBattleScene& other)
        : CScene(other),
          resources(other.resources),
          effects(other.effects),
          sharedGroupsMeet(other.sharedGroupsMeet),
          characters(other.characters),
          skills(other.skills),
          input(other.input),
          localSlot(other.localSlot),
          asked(other.asked)
    {
    }

    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    u32 OnMessage(u32 message, intptr_t parameter) override
    {
        asked.push_back(message);
        switch (message) {
        case kMsgResourceController: *reinterpret_cast<CResourceController**>(parameter) = resources; return 1;
        case kMsgEffectManager: *reinterpret_cast<CEffectController**>(parameter) = effects; return 1;
        case kMsgNewBullet: return bullets.Add(reinterpret_cast<CBullet*>(parameter));
        case kMsgSharedGroupBullets: *reinterpret_cast<u32*>(parameter) = sharedGroupsMeet; return 1;
        case kMsgCharacterList:
            if (!characters.count) return 0;
            *reinterpret_cast<const BattleCharacterList**>(parameter) = &characters;
            return 1;
        case kMsgSkillList: *reinterpret_cast<const CSkillList**>(parameter) = skills; return 1;
        case kMsgInputManager: *reinterpret_cast<CInput**>(parameter) = input; return 1;
        case kMsgLocalEntry: *reinterpret_cast<u32*>(parameter) = localSlot; return 1;
        case kMsgScreenShakeOption: *reinterpret_cast<u32*>(parameter) = shakeEnabled; return 1;
        case kMsgViewedSlot: *reinterpret_cast<i32*>(parameter) = viewedSlot; return 1;
        case kMsgTeamResult: {
            u32& word = *reinterpret_cast<u32*>(parameter);
            word = word == wonTeam ? 1 : 2;   // the scene answers 2 for a loss
            return 1;
        }
        case kMsgTeamLives: *reinterpret_cast<i32*>(parameter) = teamLives; return 1;
        default: return 0;
        }
    }

    CResourceController* resources = nullptr;
    CEffectController* effects = nullptr;
    CBulletList bullets;
    u32 sharedGroupsMeet = 0;   // answer to message 21
    BattleCharacterList characters;
    const CSkillList* skills = nullptr;
    CInput* input = nullptr;
    u32 localSlot = 0;
    u32 wonTeam = ~0u;        // the team that won, none by default
    i32 teamLives = 1;
    std::vector<u32> asked;   // every query, in order
    u32 shakeEnabled = 1;   // the game option behind message 38
    i32 viewedSlot = -1;    // the slot whose view is being drawn
};

// A fighter: group 1. Writes its slot on message 36 (when it has one) and
// its view camera on 34 (when it has one), takes absorbed amounts (7) and
// recoveries (8), says whether it is down (37), keeps every message it was
// sent (with a copy of the stage's hit records), and answers `answer` to the
// rest. As a bullet target it takes the bullet's damage whenever the
// bullet's per-slot rules allow a hit and the spheres meet. As a spell card's
// owner it answers from its fields and logs what the card makes it do.
class FakeFighter : public CObjectDivision, public IBattleCharacter, public ISpellCardOwner {
    ORV_VALUE_CLASS(FakeFighter)

public:
    struct Received {
        u32 message;
        intptr_t parameter;   // or the i32 it points at (7, 51)
        CMeshHitRecord hit;   // for the stage's hit messages
    };

    FakeFighter() { SetGroup(kGroupFighter); }
    FakeFighter(const FakeFighter&) = default;
    // Standing at a known place, for what follows or aims at a fighter.
    explicit FakeFighter(const CVector3& at) : FakeFighter() { SetPosition(&at); }

    i32 Initialize(intptr_t) override { return CreateAnimationController(); }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    i32 LoadResource(CResourceController*) override { return 1; }
    u32 OnMessage(u32 message, CMessageObject*, intptr_t parameter) override
    {
        Received r{message, parameter, {}};
        const bool pointer = message == kMsgAbsorb || message == kMsgShootRestrict;
        if (pointer && parameter) r.parameter = intptr_t(*reinterpret_cast<i32*>(parameter));
        if (message == kMsgStageMoveHit || message == kMsgStageSegmentHit || message == kMsgStageSphereHit)
            r.hit = *reinterpret_cast<const CMeshHitRecord*>(parameter);
        received.push_back(r);
        switch (message) {
        case kMsgTargetSlot:
            if (slot < 0) return answer;
            *reinterpret_cast<u32*>(parameter) = u32(slot);
            return 1;
        case kMsgViewCamera:
            if (!camera) return answer;
            *reinterpret_cast<CCamera**>(parameter) = camera;
            return 1;
        case kMsgAbsorb: absorbed += *reinterpret_cast<i32*>(parameter); return 1;
        case kMsgRecovery: recovered += *reinterpret_cast<f32*>(parameter); return acceptRecovery;
        case kMsgIsDefeated: return defeated;
        default: return answer;
        }
    }
    void GetDirection(CVector3* out) const override { *out = direction; }
    i32 GetShooterGroup() const override { return team; }
    std::vector<u32> Heard() const
    {
        std::vector<u32> ids;
        for (const Received& m : received) ids.push_back(m.message);
        return ids;
    }
    u32 Count(u32 message) const
    {
        u32 n = 0;
        for (const Received& m : received) n += m.message == message;
        return n;
    }

    u32 IsHittable() const override { return hittable; }
    u32 IsInScreenshotSpell() const override { return screenshotSpell; }
    i32 HitTestBullet(CBullet*, u32) override
    {
        ++firstPassCalls;
        return 1;
    }
    i32 HitBullet(CBullet* bullet, u32) override
    {
        ++secondPassCalls;
        if (bullet->GetOwner() == this || !hittable || !bullet->CanHit() || bullet->IsStopped()) return 1;
        if (!bullet->CanHitTarget(slot) || !bullet->IsHitIntervalElapsed(slot)) return 1;
        CVector3 centre;
        f32 r = 0.0f;
        bullet->GetHitSphere(&centre, &r);
        const f32 reach = r + radius;
        if ((centre - m_position).LengthSquared() > reach * reach) return 1;
        damage += bullet->GetState().damage;
        ++hits;
        bullet->CountHit(slot, 1);
        bullet->ReleaseOnHit();
        return 1;
    }

    // -- ISpellCardOwner. --
    void GetCenter(CVector3* out) const override { *out = m_position + centerOffset; }
    CObjectDivision* GetTarget() const override { return target; }
    u32 GetSide() const override { return side; }
    u32 GetSpellSlot() const override { return spellSlot; }
    u32 GetSpellMotionBase() const override { return 100; }
    u32 GetMotion() const override { return motion; }
    f32 GetMotionLength(u32) const override { return motionLength; }
    void ChangeMotion(u32 m, u32, f32) override { motion = m; }
    f32 GetTimeScale() const override { return 1.0f; }
    f32 GetTensionRate() const override { return tensionRate; }
    u32 HasClimaxFlag() const override { return climaxFlag; }
    f32 GetApproachSpeed() const override { return approachSpeed; }
    f32 GetClimaxWaitFactor() const override { return 1.0f; }
    void FillShooterRecord(ShooterRecord*, u32 hitType) const override { hitTypes |= 1u << hitType; }
    CAnimationFrame* FindBone(const char*) const override { return nullptr; }
    void ShowWeapon(i32 weapon, u32 shown) override { Log(shown ? "W" : "w", weapon); }
    void Vibrate() override { log += "V"; }
    void ClearSpellStatus() override {}
    void ExtendInvincibility(f32 time) override { invincibility = time; }
    void PlayVoice(u32 index) override { Log("S", i32(index)); }
    void StartBuff(u32 buff, f32) override { Log("B", i32(buff)); }
    void PlayHitEffect() override { log += "H"; }
    void BeginCloseHit() override { ++closeHits; }
    void AddVelocity(const CVector3& v) override { velocity += v; }
    void StopMovement() override { velocity = CVector3(); }
    void SetCameraPoints(const CVector3&) override {}
    void TurnToTarget() override {}
    void FaceTarget() override {}
    void TurnYawToward(const CVector3&) override {}
    void StartClimaxEffects() override {}
    void EndAttachedEffect(u32) override {}
    void Log(const char* what, i32 n) { log += what + std::to_string(n); }

    CObjectDivision* target = nullptr;
    u32 side = 0, spellSlot = 0, motion = 0, climaxFlag = 0;
    mutable u32 hitTypes = 0;   // bit per hit type the cards fired with
    u32 closeHits = 0;          // close hits the cards began
    f32 motionLength = 1.0f, tensionRate = 1.0f, approachSpeed = 10.0f, invincibility = 0.0f;
    CVector3 velocity;
    CVector3 centerOffset;   // the centre above the feet
    std::string log;

    u32 answer = 1;
    i32 slot = 0;   // -1: gives none
    i32 team = 0;
    f32 radius = 1.0f;
    u32 hittable = 1;
    u32 screenshotSpell = 0;
    u32 defeated = 0;
    u32 acceptRecovery = 1;
    i32 absorbed = 0;
    f32 recovered = 0.0f;
    i32 damage = 0;
    u32 hits = 0;
    u32 firstPassCalls = 0;
    u32 secondPassCalls = 0;
    CCamera* camera = nullptr;
    CVector3 direction;
    std::vector<Received> received;
};

// The stage: group 2, hands out its effects and the camera-front offset.
class FakeStage : public CObjectDivision {
    ORV_VALUE_CLASS(FakeStage)

public:
    FakeStage() { SetGroup(kGroupStage); }
    FakeStage(const FakeStage&) = default;

    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    i32 LoadResource(CResourceController*) override { return 1; }
    u32 OnMessage(u32 message, CMessageObject*, intptr_t parameter) override
    {
        CEffectContainer* container = nullptr;
        switch (message) {
        case kMsgTraceCloudEffect: container = cameraFront; break;
        case kMsgHighTensionFieldEffect: container = hiTension; break;
        case kMsgClimaxFieldEffect: container = climax; break;
        case kMsgTraceCloudPositionOffset: *reinterpret_cast<CVector3*>(parameter) = cameraFrontOffset; return 1;
        case kMsgCloudEffect: container = cloud; break;
        case kMsgCloudPositionOffset: *reinterpret_cast<CVector3*>(parameter) = cloudOffset; return 1;
        case kMsgCloudInterval:
            if (cloudInterval >= 0) *reinterpret_cast<f32*>(parameter) = cloudInterval;
            return 1;
        case kMsgStageMoveTest: return moveHit;
        case kMsgStageBoxTest: return outside;
        case kMsgSmallShake: shakes.push_back(*reinterpret_cast<const u32*>(parameter)); return 1;
        default: return 0;
        }
        *reinterpret_cast<CEffectContainer**>(parameter) = container;
        return 1;
    }

    CEffectContainer *cameraFront = nullptr, *hiTension = nullptr, *climax = nullptr, *cloud = nullptr;
    CVector3 cameraFrontOffset, cloudOffset;
    f32 cloudInterval = -1;   // below 0: left unanswered
    u32 moveHit = 0, outside = 0;   // answers to the move and box tests
    std::vector<u32> shakes;        // the fighter slot of each message 43
};

// A registry of the test's own with a fake scene as handler; the global one
// comes back afterwards.
class BattleObjectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = GetObjectRegistry();
        registry_.SetHandler(&scene_);
        SetObjectRegistry(&registry_);
    }
    void TearDown() override
    {
        scene_.bullets.DeleteAll();
        SetObjectRegistry(saved_);
    }

    FakeBattleScene scene_;
    CObjectRegistry registry_;

private:
    CObjectRegistry* saved_ = nullptr;
};

}  // namespace battle_test
