// The two animation tracks of a battle object on the two-bone arm: force,
// loop and ended, and the modes between the change and the play track.
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/platform/FrameTime.h"
#include "game/battle/object/tests/TestDoubles.h"

namespace ORV_TEST_FILE_ID {

using battle_test::BattleObjectTest;
using battle_test::FakeFighter;

namespace {

// The arm's sets: 0 Bend (Lower, 2 s), 1 Straighten (Lower, one key), 2
// Lift (Upper, 1 s).
constexpr u32 kBend = 0, kStraighten = 1, kLift = 2;

class AnimationTrackTest : public BattleObjectTest {
protected:
    void SetUp() override
    {
        BattleObjectTest::SetUp();
        ASSERT_EQ(model_test::ReadInto(model_test::ArmModel(), mesh_), 1);
        fighter_.SetResource(&mesh_);
        ASSERT_EQ(fighter_.Initialize(0), 1);
        ASSERT_NE(fighter_.GetAnimationController(), nullptr);
        lower_ = fighter_.GetAnimationController()->GetFrameByName("Lower");
        ASSERT_NE(lower_, nullptr);
        SetFrameTime(500);
    }
    void TearDown() override
    {
        SetFrameTime(0);
        BattleObjectTest::TearDown();
    }
    // Whether the Lower bone plays the track of set.
    bool LowerPlays(u32 set) const
    {
        return lower_->BoneAnimation == mesh_.GetAnimation(set)->Tracks.GetAt(0);
    }

    CMesh mesh_;
    FakeFighter fighter_;
    CAnimationFrame* lower_ = nullptr;
};

}  // namespace

TEST_F(AnimationTrackTest, TheSameSetStartsAgainOnlyWhenForced)
{
    ASSERT_EQ(fighter_.ChangeAnimation(kLift, 1.0f, 0, 0, 0.0f, 0), 1);
    fighter_.AdvanceAnimation(1.0f);
    EXPECT_EQ(fighter_.ChangeAnimation(kLift, 2.0f, 1, 0, 0.0f, 0), 0);
    EXPECT_EQ(fighter_.PlayAnimation(kLift, 2.0f, 1, 0, 0.0f, 0), 0);   // the play track followed
    EXPECT_FLOAT_EQ(fighter_.GetChangeTime(), 0.5f);
    ASSERT_EQ(fighter_.ChangeAnimation(kLift, 2.0f, 1, 0, 0.25f, 1), 1);
    EXPECT_EQ(fighter_.GetChangeTime(), 0.0f);
    EXPECT_EQ(fighter_.GetChangeSpeed() + fighter_.GetBlendTime(), 2.25f);
    EXPECT_EQ(fighter_.GetPreviousChangedAnimation(), kLift);
    // A set the model lacks is refused and claims nothing.
    EXPECT_EQ(fighter_.ChangeAnimation(7, 1.0f, 1, 0, 0.0f, 1) + fighter_.PlayAnimation(7, 1.0f, 1, 0, 0.0f, 1), 0);
    EXPECT_EQ(fighter_.GetChangedAnimation() + fighter_.GetPlayedAnimation(), 2 * kLift);
}

TEST_F(AnimationTrackTest, OnlyANonLoopingTrackEndsAndItsTimeIgnoresTheSpeed)
{
    const struct {
        u32 loop;
        f32 speed, scale;
        bool endedAfterOne, endedAfterTwo;
    } cases[] = {
        {0, 1.0f, 1.0f, false, true},    // 0.5 s, then exactly the 1 s length
        {0, 4.0f, 1.0f, false, true},    // the speed acts in the controller only
        {0, 1.0f, 2.0f, true, true},     // the scale does count
        {1, 1.0f, 4.0f, false, false},   // looping: never ended
    };
    for (const auto& c : cases) {
        ASSERT_EQ(fighter_.ChangeAnimation(kLift, c.speed, c.loop, 0, 0.0f, 1), 1);
        ASSERT_EQ(fighter_.PlayAnimation(kLift, c.speed, c.loop, 0, 0.0f, 1), 1);
        EXPECT_EQ(fighter_.GetChangeLength(), 1.0f);
        fighter_.AdvanceAnimation(c.scale);
        EXPECT_EQ(fighter_.IsChangedAnimationEnded() != 0, c.endedAfterOne) << c.speed << " " << c.scale;
        EXPECT_EQ(fighter_.IsPlayedAnimationEnded() != 0, c.endedAfterOne);
        fighter_.AdvanceAnimation(c.scale);
        EXPECT_EQ(fighter_.IsChangedAnimationEnded() != 0, c.endedAfterTwo) << c.speed << " " << c.scale;
        EXPECT_EQ(fighter_.IsPlayedAnimationEnded() != 0, c.endedAfterTwo);
    }
}

TEST_F(AnimationTrackTest, TheChangeModeDecidesOverBonesAndThePlayTrackThatHoldsThem)
{
    const struct {
        u32 playMode, changeMode;
        bool lowerChanges, lowerHeld, playFollows;
    } cases[] = {
        {0, 0, true, false, true},
        {0, 1, true, true, true},
        {1, 0, false, true, false},   // held bones are skipped, the play track stays
        {1, 1, false, true, false},
        {1, 2, true, false, true},    // overrides and frees
        {1, 3, true, true, true},     // overrides and holds
        {3, 0, false, true, false},
        {2, 0, true, false, true},    // mode 2 frees what it plays
    };
    for (const auto& c : cases) {
        ASSERT_EQ(fighter_.ChangeAnimation(kLift, 1.0f, 1, 2, 0.0f, 1), 1);
        ASSERT_EQ(fighter_.PlayAnimation(kBend, 1.0f, 1, c.playMode, 0.0f, 1), 1);
        ASSERT_EQ(fighter_.ChangeAnimation(kStraighten, 1.0f, 1, c.changeMode, 0.0f, 1), 1);
        const char* what = "play mode / change mode";
        EXPECT_EQ(LowerPlays(kStraighten), c.lowerChanges) << what << c.playMode << " " << c.changeMode;
        EXPECT_EQ(lower_->Lock != 0, c.lowerHeld) << what << c.playMode << " " << c.changeMode;
        EXPECT_EQ(fighter_.IsChangedAnimation(kStraighten), 1u);
        EXPECT_EQ(fighter_.IsPlayedAnimation(kStraighten) != 0, c.playFollows) << c.playMode << " " << c.changeMode;
        EXPECT_EQ(fighter_.GetPlayMode(), c.playFollows ? 0u : c.playMode);
        // Release the bone for the next case.
        fighter_.GetAnimationController()->SetLoopMode(2);
    }
}

TEST_F(AnimationTrackTest, ResumeStartsTheChangedSetAgainFromItsTime)
{
    ASSERT_EQ(fighter_.ChangeAnimation(kBend, 1.0f, 0, 0, 0.0f, 1), 1);
    fighter_.AdvanceAnimation(1.0f);
    ASSERT_EQ(fighter_.PlayAnimation(kStraighten, 1.0f, 1, 1, 0.0f, 1), 1);
    EXPECT_TRUE(LowerPlays(kStraighten));
    ASSERT_EQ(fighter_.ResumeAnimation(0, 0.1f), 1);   // the held bone stays
    EXPECT_TRUE(LowerPlays(kStraighten));
    EXPECT_EQ(fighter_.IsPlayedAnimation(kStraighten), 1u);
    ASSERT_EQ(fighter_.ResumeAnimation(2, 0.2f), 1);
    EXPECT_TRUE(LowerPlays(kBend));
    EXPECT_FLOAT_EQ(lower_->Time, 0.5f * CAnimationController::kTicksPerSecond);
    EXPECT_EQ(fighter_.GetBlendTime(), 0.2f);
    EXPECT_EQ(fighter_.IsPlayedAnimation(kBend), 1u);
    EXPECT_FLOAT_EQ(fighter_.GetChangeTime(), 0.5f);
}

TEST_F(BattleObjectTest, ControllersComeOnlyFromModelsWithAnimations)
{
    CMesh still;
    model_test::BuildArm(still);
    CMesh animated;
    ASSERT_EQ(model_test::ReadInto(model_test::ArmModel(), animated), 1);
    CResourceBase other;

    FakeFighter f;
    EXPECT_EQ(f.CreateAnimationController(), 0);   // no resource
    f.SetResource(&other);
    EXPECT_EQ(f.CreateAnimationController(), 0);
    f.SetResource(&still);
    EXPECT_EQ(f.CreateAnimationController(), 1);
    EXPECT_EQ(f.GetAnimationController(), nullptr);
    EXPECT_EQ(f.PlayAnimation(1, 1, 1, 0, 0, 1) + f.ChangeAnimation(1, 1, 1, 0, 0, 1) + f.ResumeAnimation(0, 0)
            + f.AdvanceAnimation(1), 0);
    EXPECT_EQ(f.GetChangedAnimation(), 0u);

    // Sets on a model without bones play nothing, and no track claims them.
    CMesh boneless;
    void* set = new CModelAnimation();
    ASSERT_TRUE(boneless.GetAnimations()->Add(&set));
    f.SetResource(&boneless);
    ASSERT_EQ(f.CreateAnimationController(), 1);
    ASSERT_NE(f.GetAnimationController(), nullptr);
    EXPECT_EQ(f.ChangeAnimation(0, 1, 1, 0, 0, 1) + f.PlayAnimation(0, 1, 1, 0, 0, 1) + f.ResumeAnimation(0, 0), 0);
    EXPECT_EQ(f.GetChangeLength() + f.GetPlayLength(), 0.0f);

    f.SetResource(&animated);
    ASSERT_EQ(f.CreateAnimationController(), 1);
    ASSERT_NE(f.GetAnimationController(), nullptr);
    // A copy shares the model but gets no controller and no track state.
    ASSERT_EQ(f.ChangeAnimation(kLift, 1, 1, 0, 0, 0), 1);
    const FakeFighter copy(f);
    EXPECT_EQ(copy.GetResource(), &animated);
    EXPECT_EQ(copy.GetAnimationController(), nullptr);
    EXPECT_EQ(copy.GetChangedAnimation(), 0u);
}

}  // namespace ORV_TEST_FILE_ID
