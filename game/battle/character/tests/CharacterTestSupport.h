// A fighter made from the test data: the fake battle scene answers its
// queries, a factory of doubles builds its camera, barrages and spell cards
// and logs what was asked of it, in order.
#pragma once

#include "game/battle/character/PlayerCharacter.h"
#include "game/battle/character/tests/FighterData.h"
#include "game/battle/object/Barrage.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "game/data/Skill.h"
#include "engine/scene/ResourceController.h"

#include <memory>
#include <string>
#include <vector>

namespace character_test {

using Log = std::vector<std::string>;

class FakeCamera : public ICameraController {
public:
    ICameraController* Clone() const override { return new FakeCamera(*this); }
    void SetPoints(const CVector3* a, const CVector3* b) override { points[0] = *a, points[1] = *b; }
    void SetAngles(f32 y, f32 x) override { yaw = y, pitch = x; }
    void SetOwner(u32 o, u32 f) override { owner = o, followed = f; }
    void SetParticipantSlot(u32 s) override { slot = s; }
    void HashState(CStateHash& hash) const override { hash.F32(yaw).F32(pitch); }

    CVector3 points[2];
    f32 yaw = 0, pitch = 0;
    u32 owner = 0, followed = 0, slot = 0;
};

// A barrage or spell card: loads and creates, nothing more.
class FakeSlotObject : public CObjectDivision {
    ORV_VALUE_CLASS(FakeSlotObject)

public:
    FakeSlotObject() = default;
    FakeSlotObject(const FakeSlotObject&) = default;
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    i32 LoadResource(CResourceController*) override { return loads; }
    u32 OnMessage(u32, CMessageObject*, intptr_t) override { return 0; }

    u32 word = 0;
    i32 loads = 1;
};

class FakeFactory : public ICharacterObjectFactory {
public:
    ICameraController* CreateCameraController(const CCameraParameter&) override
    {
        log.push_back("camera");
        return new FakeCamera();
    }
    CObjectDivision* CreateBarrage(const CPatternListParameter& definition) override
    {
        log.push_back("barrage");
        if (realBarrages) return new CBarrage(&definition);
        return new FakeSlotObject();
    }
    CObjectDivision* CreateSpellCard(const CSpellCardSetting&, u32 word) override
    {
        log.push_back("spell");
        auto* card = new FakeSlotObject();
        card->word = word;
        return card;
    }
    Log log;
    bool realBarrages = false;   // CBarrage of the definition, as the battle makes them
};

// The fighter written, its parameter set and skill list loaded, its model in
// the resource holder, the factory installed.
class CharacterTest : public battle_test::BattleObjectTest {
protected:
    void SetUp() override
    {
        BattleObjectTest::SetUp();
        fighter_test::WriteFighter();
        ASSERT_EQ(skills_.LoadFile("Skill.txt"), 1);
        auto* model = new CMesh();
        ASSERT_EQ(model_test::ReadInto(setting_test::ReadBytes("Fighter.mdl"), *model), 1);
        model->SetName("Data/Fighter.mdl");
        void* slot = model;
        resources_.GetModelList()->Add(&slot);
        scene_.resources = &resources_;
        scene_.skills = &skills_;
        SetCharacterObjectFactory(&factory_);
    }
    void TearDown() override
    {
        SetCharacterObjectFactory(nullptr);
        BattleObjectTest::TearDown();
    }

    // A player character loaded from the test data, resources bound.
    std::unique_ptr<CPlayerCharacter> NewFighter()
    {
        auto* parameter = new CCharacterParameter();
        EXPECT_EQ(parameter->LoadFile("Chr_Test.txt"), 1);
        auto character = std::make_unique<CPlayerCharacter>(parameter);
        EXPECT_EQ(character->LoadResource(&resources_), 1);
        return character;
    }

    setting_test::WorkFolder folder_;
    CResourceController resources_;
    CSkillList skills_;
    FakeFactory factory_;
};

}  // namespace character_test
