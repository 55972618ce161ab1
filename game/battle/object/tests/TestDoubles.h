// Stand-ins for what the battle objects talk to before it exists: the
// battle scene as the registry's engine handler, and a fighter answering
// the messages objects send it. Each test gets a registry of its own.
#pragma once

#include "engine/core/ObjectRegistry.h"
#include "engine/core/Scene.h"
#include "game/battle/object/ObjectDivision.h"

#include <gtest/gtest.h>

#include <vector>

class CInput;
class CSkillList;

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
        case kMsgTeamLives: *reinterpret_cast<i32*>(parameter) = teamLives; return 1;
        default: return 0;
        }
    }

    CResourceController* resources = nullptr;
    CEffectController* effects = nullptr;
    const CSkillList* skills = nullptr;
    CInput* input = nullptr;
    u32 localSlot = 0;
    i32 teamLives = 1;
    std::vector<u32> asked;   // every query, in order
};

// A fighter: group 1, answers `answer` to every message.
class FakeFighter : public CObjectDivision {
    ORV_VALUE_CLASS(FakeFighter)

public:
    FakeFighter() { SetGroup(kGroupFighter); }
    FakeFighter(const FakeFighter&) = default;

    i32 Initialize(intptr_t) override { return CreateAnimationController(); }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    i32 LoadResource(CResourceController*) override { return 1; }
    u32 OnMessage(u32 message, CMessageObject*, intptr_t) override
    {
        heard.push_back(message);
        return answer;
    }

    u32 answer = 1;
    std::vector<u32> heard;   // every message, in order
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
