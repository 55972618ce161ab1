// Stand-ins for what the battle objects talk to before it exists: the
// battle scene as the registry's engine handler, and a fighter answering
// the messages objects send it. Each test gets a registry of its own.
#pragma once

#include "engine/core/ObjectRegistry.h"
#include "engine/core/Scene.h"
#include "game/battle/object/MeshHitRecord.h"
#include "game/battle/object/ObjectDivision.h"

#include <gtest/gtest.h>

#include <vector>

class CInput;
class CSkillList;
class CCamera;

namespace battle_test {

// Answers the engine queries the objects make of the battle scene.
class FakeBattleScene : public CScene {
    ORV_VALUE_CLASS(FakeBattleScene)

public:
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    u32 OnMessage(u32 message, intptr_t parameter) override
    {
        asked.push_back(message);
        switch (message) {
        case kMsgResourceController: *reinterpret_cast<CResourceController**>(parameter) = resources; return 1;
        case kMsgEffectManager: *reinterpret_cast<CEffectController**>(parameter) = effects; return 1;
        case kMsgSkillList: *reinterpret_cast<const CSkillList**>(parameter) = skills; return 1;
        case kMsgInputManager: *reinterpret_cast<CInput**>(parameter) = input; return 1;
        case kMsgLocalSlot: *reinterpret_cast<u32*>(parameter) = localSlot; return 1;
        case kMsgScreenShakeOption: *reinterpret_cast<u32*>(parameter) = shakeEnabled; return 1;
        case kMsgViewedSlot: *reinterpret_cast<i32*>(parameter) = viewedSlot; return 1;
        default: return 0;
        }
    }

    CResourceController* resources = nullptr;
    CEffectController* effects = nullptr;
    const CSkillList* skills = nullptr;
    CInput* input = nullptr;
    u32 localSlot = 0;
    std::vector<u32> asked;   // every query, in order
    u32 shakeEnabled = 1;   // the game option behind message 38
    i32 viewedSlot = -1;    // the slot whose view is being drawn
};

// A fighter: group 1, answers `answer` to every message. It gives its slot
// (message 36) when it has one and its view camera (34) when it has one,
// and keeps what it was told.
class FakeFighter : public CObjectDivision {
    ORV_VALUE_CLASS(FakeFighter)

public:
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
        if (message == kMsgTargetSlot && slot >= 0) *reinterpret_cast<u32*>(parameter) = u32(slot);
        if (message == kMsgViewCamera && camera) *reinterpret_cast<CCamera**>(parameter) = camera;
        if (message == kMsgStageMoveHit || message == kMsgStageSegmentHit || message == kMsgStageSphereHit) {
            r.hit = *reinterpret_cast<const CMeshHitRecord*>(parameter);
        }
        received.push_back(r);
        return answer;
    }
    void GetDirection(CVector3* out) const override { *out = direction; }

    struct Received {
        u32 message;
        intptr_t parameter;
        CMeshHitRecord hit;   // for the stage's hit messages
    };

    u32 answer = 1;
    i32 slot = -1;
    CCamera* camera = nullptr;
    CVector3 direction;
    std::vector<Received> received;
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
    void TearDown() override { SetObjectRegistry(saved_); }

    FakeBattleScene scene_;
    CObjectRegistry registry_;

private:
    CObjectRegistry* saved_ = nullptr;
};

}  // namespace battle_test
