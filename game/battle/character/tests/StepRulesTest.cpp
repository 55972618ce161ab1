// Rules of a fighter's frame seen through CCharacter::Update and LateUpdate:
// the flight loop that comes back, the card motion while moving, the spark's
// HP share, the close-attack cool-down and the camera-front effect's turn.
#include "CharacterTestSupport.h"

#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"

#include <cmath>

namespace step_rules_test {

namespace ORV_TEST_FILE_ID {

inline namespace ORV_TEST_FILE_ID {

using namespace character_test;

InputPacket Pressing(const std::vector<u32>& codes, i8 x = 0)
{
    InputPacket p = {};
    for (u32 code : codes)
        for (u32 bit = 0; bit < kInputPacketBitCount; ++bit)
            if (u32(kInputPacketCodes[bit]) == code) p.buttons[bit / 8] |= u8(1u << (bit % 8));
    p.stickX = x;
    return p;
}

class FighterRules : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        SetFrameTime(50);
    }
    // One frame of the fighter as the battle runs it, with codes held.
    void Frame(const std::vector<u32>& codes = {}, i8 x = 0)
    {
        const InputPacket p = Pressing(codes, x);
        c_->ApplyInputPacket(&p);
        c_->Update(0);
        c_->LateUpdate(0);
    }
};

// A loop of one second (a position track from 0 to 1 s), so that an ended
// loop lives on for a while after the fighter stops.
CEffectContainer* SecondLongLoop()
{
    auto* container = new CEffectContainer();
    auto* object = new CEffectObject();
    object->SetName("loop");
    object->GetPositionTrack().AddKey(0.0f, CSegment(CVector3(), CVector3()));
    object->GetPositionTrack().AddKey(1.0f, CSegment(CVector3(), CVector3()));
    container->AddObject(object);
    return container;
}

// The fighter climbs, stops (its loop ends) and climbs on a frame later: the
// loop comes back from its start with no end time, and stays for the whole
// climb, with no second burst.
TEST_F(FighterRules, ARevivedFlightLoopLastsTheWholeClimb)
{
    MakeFighter();
    std::unique_ptr<CEffectContainer> loop(SecondLongLoop());
    S().effects[FindEffectKey("EFCFLYSET")] = &container_;
    S().effects[FindEffectKey("EFCFLYLOOP")] = loop.get();
    c_->GetParameter()->values.general.moveDeceleration = 1e6f;   // a stop in one frame
    for (int f = 0; f < 6; ++f) Frame({27});
    CEffect* looping = S().attached[0];
    ASSERT_NE(looping, nullptr);
    Frame();
    ASSERT_EQ(S().attached[0], looping);
    ASSERT_NE(looping->GetEndFlag(), 0u);
    ASSERT_GT(looping->GetEndTime(), 0.0f);
    Frame({27});
    ASSERT_EQ(S().attached[0], looping);
    EXPECT_EQ(looping->GetEndFlag(), 0u);
    EXPECT_EQ(looping->GetEndTime(), 0.0f);
    u32 gone = 0;
    for (int f = 0; f < 60; ++f) {
        Frame({27});
        gone += S().attached[0] != looping;
    }
    EXPECT_EQ(gone, 0u);
    EXPECT_EQ(S().moveEffect, 1u);
}

// A fighter whose card motions each turn one bone of their own: card part 0
// the arm, part 1 the neck; WAIT and MOVE turn the body, the neck and the arm.
class CardMotionRules : public FighterRules {
protected:
    // Turns about Y, in radians.
    static constexpr f32 kMoveArm = 0.6f, kCardArm = -1.2f, kCardNeck = 0.9f;

    void SetUp() override
    {
        FighterRules::SetUp();
        const i32 base = CCharacterBase::GetSpellMotion(0);
        ASSERT_GE(base, 0);
        first_ = u32(base), second_ = u32(base) + 1;
        CMesh mesh;
        auto* body = new CModelObject();
        body->SetName("Body");
        AppendElement(mesh.GetModelObjects(), body);
        model_test::NewBone(mesh, "root", nullptr);
        model_test::NewBone(mesh, "Body", "root");
        model_test::NewBone(mesh, "Neck", "Body");
        model_test::NewBone(mesh, "Arm", "Body");
        auto motion = [&](const char* name, std::initializer_list<std::pair<const char*, f32>> turns) {
            CModelAnimation* animation = model_test::AddAnimation(mesh, name);
            for (const auto& [bone, angle] : turns) {
                CModelBoneAnimation* keys = model_test::AddKeys(*animation, bone);
                const CQuaternion q(0, std::sin(angle * 0.5f), 0, std::cos(angle * 0.5f));
                keys->MakeRotation()->AddKey(0, q);
                keys->MakeRotation()->AddKey(4800, q);
            }
        };
        for (const char* key : {"WAIT", "MOVE"})
            motion(kMotionKeys[FindMotionKey(key)].value, {{"Body", 0.2f}, {"Neck", 0.2f}, {"Arm", kMoveArm}});
        motion(kMotionKeys[first_].value, {{"Arm", kCardArm}});
        motion(kMotionKeys[second_].value, {{"Neck", kCardNeck}});
        for (u32 i = 0; i < 4; ++i) mesh.GetAnimation(i)->RebindBones(mesh.GetBones());
        setting_test::WriteBytes("Split.mdl", CWriteMesh::Build(mesh));
        fighter_test::FighterFiles files = fighter_test::FighterFiles::Plain("Split");
        files.model = "Split.mdl";
        ASSERT_TRUE(fighter_test::FighterParameter(files).Save("Chr_Split.txt"));
        auto* model = new CMesh();
        ASSERT_EQ(model_test::ReadInto(setting_test::ReadBytes("Split.mdl").value_or(""), *model), 1);
        model->SetName("Data/Split.mdl");
        void* slot = model;
        resources_.GetModelList()->Add(&slot);
    }
    // The split fighter, in its first card's spell action (a card that lets
    // it move), on the card's part 0.
    void MakeSplitFighter()
    {
        auto* parameter = new CCharacterParameter();
        ASSERT_EQ(parameter->LoadFile("Chr_Split.txt"), 1);
        c_ = std::make_unique<ScriptedFighter>(parameter, nullptr);
        ASSERT_EQ(c_->LoadResource(&resources_), 1);
        c_->Create(nullptr);
        ASSERT_TRUE(c_->HasMotion(first_) && c_->HasMotion(second_) && c_->HasMotion(FindMotionKey("MOVE")));
        c_->GetParameter()->GetSpellCard(0).GetValues().movingFlg = 1;
        Card().letsMove = 1, Card().motion = i32(first_);
        S().action = kActionSpellCard, S().spellSlot = 0;
    }
    // The arm's turn about Y as the last update left it.
    f32 ArmTurn() const
    {
        const CAnimationFrame* arm = c_->GetAnimationController()->GetFrameByName("Arm");
        return arm ? 2.0f * std::atan2(arm->Rotation.y, arm->Rotation.w) : NAN;
    }
    FakeSpellCard& Card() { return *static_cast<FakeSpellCard*>(c_->GetSpellCards().at(0).get()); }

    u32 first_ = 0, second_ = 0;
};

// The card's part changes from the arm's motion to the neck's: moving, the
// body's motion takes the arm back; standing, the arm keeps the card's pose.
TEST_F(CardMotionRules, AMovingFighterLetsTheLastCardMotionGoBeforeTheNext)
{
    const struct {
        bool moving;
        f32 arm;
    } rows[] = {{true, kMoveArm}, {false, kCardArm}};
    for (const auto& row : rows) {
        MakeSplitFighter();
        const std::vector<u32> held = row.moving ? std::vector<u32>{14} : std::vector<u32>{};
        const i8 x = row.moving ? -100 : 0;
        for (int f = 0; f < 10; ++f) Frame(held, x);
        ASSERT_EQ(S().action, u32(kActionSpellCard));
        EXPECT_NEAR(ArmTurn(), kCardArm, 1e-3f) << row.moving;
        EXPECT_EQ(c_->IsChangedAnimation(FindMotionKey("MOVE")), row.moving ? 1u : 0u);
        Card().motion = i32(second_);
        for (int f = 0; f < 10; ++f) Frame(held, x);
        EXPECT_TRUE(c_->IsPlayedAnimation(second_)) << row.moving;
        EXPECT_NEAR(ArmTurn(), row.arm, 1e-3f) << row.moving;
    }
}

// The spark chord works at the record's share of HP and below, not above
// (HP 800, share 0.2: 160).
TEST_F(FighterRules, TheSparkNeedsHpDownToItsShare)
{
    const struct {
        i32 above;   // HP over the share
        bool sparks;
    } rows[] = {{1, false}, {0, true}, {-1, true}};
    for (const auto& row : rows) {
        MakeFighter();
        SetFrameTime(50);
        const CharacterValues& v = c_->GetParameter()->values;
        const i32 share = i32(f32(v.general.hp) * v.spark.records[0].hp);
        ASSERT_EQ(share, 160);
        S().sparkGauge = v.spark.maxSparkGauge, S().mp = 100, S().ammunition = 5, S().tension = 1;
        S().hp = share + row.above;
        Frame({23, 24, 25});
        EXPECT_EQ(S().action, row.sparks ? u32(kActionSpark) : u32(kActionNeutral)) << row.above;
        EXPECT_EQ(S().hp, row.sparks ? row.above : share + row.above) << row.above;
    }
}

// Between the end of a close attack and the next one started afresh RELOAD
// seconds pass: at RELOAD the next starts, a frame short it does not. (The
// test model has no ATTACK01: the attack ends in the frame it starts.)
TEST_F(FighterRules, AShortAttackWaitsItsReloadAfterTheLast)
{
    for (const u32 frames : {3u, 4u}) {
        MakeFighter();
        SetFrameTime(250);   // exact quarters: the clock reaches RELOAD exactly
        CharacterValues& v = c_->GetParameter()->values;
        v.shortAttacks[0].reload = 1.0f;
        for (TensionBonus& bonus : v.bonuses) bonus.shortAttackReloadRevise = 1.0f;
        S().tension = 1, S().reloadFactor = 1;
        S().timers.shortAttackCooldown = 100.0f;
        Frame({25});
        ASSERT_EQ(S().moveHit.attacks, 1u);
        u32 guard = 0;
        while (S().action == kActionShortAttack && ++guard < 200) Frame();
        ASSERT_EQ(S().action, u32(kActionNeutral));
        // The frame the attack ended counted a quarter already.
        EXPECT_EQ(S().timers.shortAttackCooldown, 0.25f);
        for (u32 f = 1; f < frames; ++f) Frame();
        EXPECT_EQ(S().timers.shortAttackCooldown, 0.25f * f32(frames)) << frames;
        Frame({25});
        EXPECT_EQ(S().moveHit.attacks, frames == 4 ? 2u : 1u) << frames;
    }
}

// The stage's effect in front of the camera turns with the camera, not with
// the fighter: camera angles (-20, 90, 0), fighter facing (0, 0, 0).
TEST_F(FighterRules, TheCameraFrontEffectTurnsWithTheCamera)
{
    battle_test::FakeStage stage;
    stage.cameraFront = &container_;
    stage.cameraFrontOffset = CVector3(0, 0, 5);
    MakeFighter();
    ASSERT_NE(S().attached[18], nullptr);
    auto* camera = dynamic_cast<FakeCamera*>(c_->GetCameraController());
    ASSERT_NE(camera, nullptr);
    camera->eye = CVector3(1, 2, 3);
    const CVector3 angles[] = {{-20, 90, 0}, {10, -45, 0}};
    for (const CVector3& a : angles) {
        camera->angles = a;
        Frame();
        CEffect* effect = S().attached[18];
        ASSERT_NE(effect, nullptr);
        EXPECT_EQ(S().viewAngles.x, 0.0f);
        const CVector3& turn = *effect->GetPlaceRotation();
        EXPECT_EQ(turn.x, a.x);
        EXPECT_EQ(turn.y, a.y);
        EXPECT_EQ(turn.z, a.z);
    }
}

}  // inline namespace ORV_TEST_FILE_ID

}  // namespace ORV_TEST_FILE_ID

}  // namespace step_rules_test
