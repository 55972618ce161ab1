// Stand-ins for what the battle objects talk to before it exists: the
// battle scene as the registry's engine handler, and a fighter answering
// the messages objects send it. Each test gets a registry of its own.
#pragma once

#include "engine/core/ObjectRegistry.h"
#include "engine/core/Scene.h"
#include "game/battle/object/ObjectDivision.h"

#include <gtest/gtest.h>

#include <vector>

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
        messages.push_back(message);
        switch (message) {
        case kMsgResourceController: *reinterpret_cast<CResourceController**>(parameter) = resources; return 1;
        case kMsgEffectManager: *reinterpret_cast<CEffectController**>(parameter) = effects; return 1;
        case kMsgViewedSlot: *reinterpret_cast<i32*>(parameter) = viewedSlot; return 1;
        default: return 0;
        }
    }

    CResourceController* resources = nullptr;
    CEffectController* effects = nullptr;
    i32 viewedSlot = -1;
    std::vector<u32> messages;
};

// A fighter: group 1, answers its slot to message 36 and `answer` to the
// rest, and remembers what it was sent.
class FakeFighter : public CObjectDivision {
    ORV_VALUE_CLASS(FakeFighter)

public:
    FakeFighter() { SetGroup(kGroupFighter); }
    FakeFighter(const FakeFighter&) = default;

    i32 Initialize(intptr_t) override { return CreateAnimationController(); }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    i32 LoadResource(CResourceController*) override { return 1; }
    u32 OnMessage(u32 message, CMessageObject* sender, intptr_t parameter) override
    {
        received.push_back({message, sender, parameter});
        if (message == kMsgTargetSlot) *reinterpret_cast<u32*>(parameter) = slot;
        return answer;
    }

    struct Message {
        u32 message;
        CMessageObject* sender;
        intptr_t parameter;
    };
    u32 slot = 0;
    u32 answer = 1;
    std::vector<Message> received;
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
