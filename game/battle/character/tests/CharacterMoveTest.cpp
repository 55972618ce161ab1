#include "CharacterTestSupport.h"

#include "engine/core/FloatMath.h"
#include "engine/graphics/Camera.h"
#include "engine/model/AnimationController.h"
#include "engine/platform/FrameTime.h"

#include <algorithm>
#include <string>

namespace ORV_TEST_FILE_ID {

using namespace character_test;

namespace {

// Frames of a quarter second; a target placed by its yaw from the fighter
// (which faces -Z at yaw 0) at distance 10.
class MoveTest : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        MakeFighter();
        target_ = std::make_unique<battle_test::FakeFighter>();   // in the test's registry
        CharacterGeneral& g = G();
        g.moveDeceleration = 8;
        g.excessDeceleration = 8;
        g.backMoveVelocity = 10;
        g.rotationVelocity = 80;
        g.boneRotationVelocity = 180;
        c_->GetParameter()->values.bonuses[0].moveSpeedRevise = 1;
    }
    void TearDown() override
    {
        c_.reset();
        target_.reset();
        ScriptedFighterTest::TearDown();
    }
    CharacterGeneral& G() { return c_->GetParameter()->values.general; }
    void PlaceTarget(f32 yaw)
    {
        const f32 r = (yaw - 180.0f) * kDegToRad;
        const CVector3 place(10.0f * SinF(r), 0, 10.0f * CosF(r));
        target_->SetPosition(&place);
        S().lockedTargetId = target_->GetId();
    }

    std::unique_ptr<battle_test::FakeFighter> target_;
};

}  // namespace

TEST_F(MoveTest, DecelerationStopsAtZeroAndNeverOvershoots)
{
    S().velocity = CVector3(10, 0, -3);
    const f32 wantX[] = {8, 6, 4, 2, 0, 0};
    const f32 wantZ[] = {-1, 0, 0, 0, 0, 0};
    for (int frame = 0; frame < 6; ++frame) {
        c_->UpdateMovement(0);
        EXPECT_EQ(S().velocity.x, wantX[frame]) << frame;
        EXPECT_EQ(S().velocity.z, wantZ[frame]) << frame;
        EXPECT_EQ(S().displacement.x, wantX[frame] * 0.25f) << frame;
    }
}

TEST_F(MoveTest, PushAndSpeedCap)
{
    struct Case {
        const char* what;
        f32 deceleration, v, a, revise, want;
    } cases[] = {
        {"push along the motion is not slowed", 8, 5, 1, 1, 6},
        {"push against the motion slows, then adds", 8, 5, -1, 1, 2},
        {"far over the cap: EXCESSDECELERATION per second", 0, 20, 0, 1, 18},
        {"just over the cap: held at it", 0, 11, 0, 1, 10},
        {"at the cap with a push: never below cap less push", 0, 10, 3, 1, 10},
        {"the tension's MOVESPEEDREVISE scales the cap", 0, 16, 0, 1.5f, 15},
        {"a zero revise: cap 0, the excess still slows", 8, 4, 0, 0, 2},
    };
    for (const Case& k : cases) {
        G().moveDeceleration = k.deceleration;
        c_->GetParameter()->values.bonuses[0].moveSpeedRevise = k.revise;
        S().velocity = CVector3(k.v, 0, 0);
        S().acceleration = CVector3(k.a, 0, 0);
        c_->UpdateMovement(0);
        EXPECT_EQ(S().velocity.x, k.want) << k.what;
        EXPECT_EQ(S().velocity.y, 0.0f) << k.what;
    }
}

TEST_F(MoveTest, MaximumSpeedAndRotationByAction)
{
    CharacterGeneral& g = G();
    g.moveVelocity = 11, g.dashVelocity = 20, g.traceDashVelocity = 21, g.backDashVelocity = 22;
    g.slideVelocity = 30, g.mirageSlideVelocity = 31, g.dashRotationVelocity = 40, g.mirageSlideRotationVelocity = 41;
    g.escapeAngleLimit = 105;
    struct Case {
        u32 action;
        f32 targetYaw;   // -1: none locked
        f32 dash;        // dash and turn angle
        f32 speed, rotation;
    } cases[] = {
        {kActionNeutral, -1, 0, 10, 80},     {kActionNeutral, 100, 0, 11, 80},
        {kActionNeutral, 110, 0, 10, 80},    {kActionDash, 0, -1, 21, 80},
        {kActionDash, 0, 0, 20, 40},         {kActionDash, 180, 0, 22, 40},
        {kActionDash, -1, -1, 22, 40},       {kActionTripleSlide, -1, 0, 30, 80},
        {kActionSlideSpellCard, -1, 0, 30, 80}, {kActionMirageSlide, -1, 0, 31, 41},
    };
    for (const Case& k : cases) {
        S().lockedTargetId = 0;
        if (k.targetYaw >= 0) PlaceTarget(k.targetYaw);
        S().action = k.action;
        S().dashAngle = S().dashTurnAngle = k.dash;
        EXPECT_EQ(c_->GetMaxSpeed(), k.speed) << k.action << " " << k.targetYaw;
        EXPECT_EQ(c_->GetRotationSpeed(), k.rotation) << k.action << " " << k.targetYaw;
    }
    S().action = kActionHitReaction;
    S().damageType = 3;
    S().knockPower = 2;
    c_->GetParameter()->values.damages[3].velocity = 6;
    EXPECT_EQ(c_->GetMaxSpeed(), 12.0f);
    S().damageType = 99;
    EXPECT_EQ(c_->GetMaxSpeed(), 0.0f);
}

// Locked on, the stick turns the camera controller's forward about the
// camera's own up by -a the engine's way (RotationAxis), which is where the
// free move's +a about the vertical goes: the same stick pushes to the same
// side of the screen, locked or not. A camera pitched 30 degrees down has
// its up tilted with it: sideways pushes stay level, back climbs; the free
// move stays level and pushes the same way across the ground.
// MOVEACCELERATION 10 in a quarter-second frame is a push of 2.5.
TEST_F(MoveTest, LockedOnTheStickTurnsAboutTheCameraUp)
{
    G().moveAcceleration = 10;
    const f32 k = 2.5f, h = 0.5f * k, d = 0.8660254f * k;
    struct Row { f32 yaw, pitch, a; CVector3 locked; } rows[] = {
        {0, 30, 0, {0, -h, -d}}, {0, 30, 90, {-k, 0, 0}}, {0, 30, 180, {0, h, d}}, {0, 30, 270, {k, 0, 0}},
        {0, 0, 90, {-k, 0, 0}},  {0, 0, 180, {0, 0, k}},  {0, 0, 45, {-0.7071068f * k, 0, -0.7071068f * k}},
        {90, 0, 90, {0, 0, k}},  {90, 30, 90, {0, 0, k}}, {90, 30, 0, {-d, -h, 0}}, {270, 30, 90, {0, 0, -k}},
    };
    for (const Row& r : rows) {
        const f32 p = r.pitch * kDegToRad, y = r.yaw * kDegToRad;
        const CVector3 eye(0, 0, 0), at(-SinF(y) * CosF(p), -SinF(p), -CosF(y) * CosF(p)), up(0, 1, 0);
        CCamera camera;
        camera.SetLookAt(&eye, &at, &up);
        auto* fake = static_cast<FakeCamera*>(c_->GetCameraController());
        fake->forward = at, fake->camera = &camera, fake->angles = CVector3(-r.pitch, r.yaw, 0);
        InputState& in = c_->GetInput();
        in.held[15] = 1, in.stick1Angle = r.a;
        const auto push = [&](bool lock) {
            if (lock) PlaceTarget(0);
            else S().lockedTargetId = 0;
            S().action = kActionNeutral, S().timers.stun = 0, S().acceleration = CVector3();
            EXPECT_EQ(c_->UpdateMoveInput(0), 1u);
            return S().acceleration;
        };
        const std::string what = "yaw " + std::to_string(r.yaw) + " pitch " + std::to_string(r.pitch) + " a " +
                                 std::to_string(r.a);
        const CVector3 locked = push(true), free = push(false);
        EXPECT_NEAR(locked.x, r.locked.x, 1e-4f) << what;
        EXPECT_NEAR(locked.y, r.locked.y, 1e-4f) << what;
        EXPECT_NEAR(locked.z, r.locked.z, 1e-4f) << what;
        // Unlocked: the level part of the locked push, at full length.
        const CVector3 level = CVector3(r.locked.x, 0, r.locked.z).Normalized() * k;
        EXPECT_NEAR(free.x, level.x, 1e-4f) << what;
        EXPECT_EQ(free.y, 0.0f) << what;
        EXPECT_NEAR(free.z, level.z, 1e-4f) << what;
        fake->camera = nullptr;
    }
}

// 12 held in a running dash raises its pitch at DASHROTATIONVELOCITY (60 a
// second, 15 a quarter-second frame) and stops at 60; 13 lowers it and stops
// at 300 (-60). The dash pushes along its pitched front in the same frame
// (DASHACCELERATION 10: 2.5 a frame), and the turn does not pull it back.
TEST_F(MoveTest, ASteeredDashClimbsOrDivesAlongItsPitch)
{
    G().dashRotationVelocity = 60, G().dashAcceleration = 10, G().dashKeepMp = 0;
    struct Row { u32 code; i8 y; f32 pitches[6]; } rows[] = {
        {12, -100, {15, 30, 45, 60, 60, 60}},
        {13, 100, {345, 330, 315, 300, 300, 300}},
    };
    for (const Row& r : rows) {
        *c_->GetRotation() = CVector3(), S().targetAngles = CVector3(), S().velocity = CVector3();
        S().action = kActionNeutral, S().mp = 100, S().tension = 1;
        ASSERT_EQ(c_->StartDash(0.0f), 1u);
        const InputPacket none = Pad({});
        for (u32 start = 0; start < 8 && c_->IsChangedAnimation(FindMotionKey("DASHSTART")); ++start)
            c_->ApplyInputPacket(&none), c_->Update(0), c_->PostUpdate(0);
        ASSERT_EQ(c_->GetRotation()->x, 0.0f);
        for (u32 frame = 0; frame < 6; ++frame) {
            const InputPacket p = Pad({r.code}, 0, r.y);
            c_->ApplyInputPacket(&p);
            c_->Update(0);
            ASSERT_EQ(S().action, u32(kActionDash)) << r.code << " frame " << frame;
            const f32 pitch = r.pitches[frame];
            EXPECT_EQ(c_->GetRotation()->x, pitch) << r.code << " frame " << frame;
            EXPECT_NEAR(S().acceleration.y, 2.5f * SinF(pitch * kDegToRad), 1e-4f) << r.code << " frame " << frame;
            EXPECT_NEAR(S().acceleration.z, -2.5f * CosF(pitch * kDegToRad), 1e-4f) << r.code << " frame " << frame;
            c_->PostUpdate(0);
        }
    }
    // Let go, the dash keeps the pitch it was steered to.
    const InputPacket none = Pad({});
    c_->ApplyInputPacket(&none);
    c_->Update(0);
    EXPECT_EQ(c_->GetRotation()->x, 300.0f);
}

// Facing the target each frame is wanting its angles: the body turns
// toward them at the action's rotation speed (the mirage slide's 60 a
// second, 15 a quarter-second frame; no push, so the target stays at 90)
// and, once there, ends each frame facing it. A start that turns at once
// is not pulled back by the turn.
TEST_F(MoveTest, FacingTheTargetTurnsAtTheActionsRotationSpeed)
{
    G().mirageSlideRotationVelocity = 60, G().mirageSlideAcceleration = 0;
    S().tension = 1, S().mp = 100;
    PlaceTarget(90);
    const auto wantedYaw = [&] {
        const CVector3 d = *target_->GetPosition() - *c_->GetPosition();
        return Atan2F(d.x, d.z) * kRadToDeg + 180.0f;
    };
    ASSERT_EQ(c_->StartMirageSlide(0.0f), 1u);
    for (int frame = 1; frame <= 8; ++frame) {
        c_->Update(0);
        ASSERT_EQ(S().action, u32(kActionMirageSlide)) << frame;
        EXPECT_NEAR(c_->GetRotation()->y, std::min(15.0f * f32(frame), 90.0f), 1e-3f) << frame;
        c_->PostUpdate(0);
    }
    struct Row { const char* what; u32 (CCharacterAction::*start)(f32); f32 angle; u32 action; } rows[] = {
        {"slide right", &CCharacterAction::StartSlide, 90.0f, kActionSlide},
        {"homing dash", &CCharacterAction::StartDash, -1.0f, kActionDash},
    };
    for (const Row& r : rows) {
        const CVector3 origin;
        c_->SetPosition(&origin);
        *c_->GetRotation() = CVector3();
        S().targetAngles = CVector3(), S().velocity = CVector3(), S().action = kActionNeutral, S().mp = 100;
        PlaceTarget(90);
        ASSERT_EQ((c_.get()->*r.start)(r.angle), 1u) << r.what;
        EXPECT_NEAR(c_->GetRotation()->y, 90.0f, 1e-3f) << r.what;
        c_->Update(0);
        ASSERT_EQ(S().action, r.action) << r.what;
        EXPECT_NEAR(c_->GetRotation()->y, wantedYaw(), 1e-3f) << r.what << ": not turned back (ROTATIONVELOCITY 80)";
        c_->PostUpdate(0);
    }
}

TEST_F(MoveTest, TurningTakesTheShortWayRound)
{
    struct Case {
        f32 from, to, want;
    } cases[] = {
        {350, 10, 10},     // through 0, not -340
        {10, 350, 350},
        {0, 180, 20},      // +180 exactly: the positive way
        {0, -10, 350},     // the target wraps first
        {100, 110, 110},   // within the step: reached exactly
        {200, 10, 220},
    };
    for (const Case& k : cases) {
        const CVector3 start(k.from, k.from, 7);
        *c_->GetRotation() = start;
        S().targetAngles = CVector3(k.to, k.to, 0);
        c_->TurnToView();
        EXPECT_NEAR(c_->GetRotation()->y, k.want, 1e-4f) << k.from << " -> " << k.to;
        EXPECT_NEAR(c_->GetRotation()->x, k.want, 1e-4f) << k.from << " -> " << k.to;
        EXPECT_EQ(c_->GetRotation()->z, 7.0f);
    }
}

TEST_F(MoveTest, BoneAimsReachTheirLimitsAndReturnOutOfReach)
{
    G().bodyBoneRotationYLimit = 20;
    G().boneRotationYLimit = 105;
    PlaceTarget(30);
    c_->AimBodyBone(0);
    c_->AimNeckBone(0);
    c_->AimArmBone(0);
    // Body clamped to 20; the neck's range is [60, 60] by default, less
    // the body's turn; the arm reaches arm + body limits (80).
    EXPECT_NEAR(S().body.rotation.y, 20.0f, 1e-3f);
    EXPECT_NEAR(S().neck.rotation.y, 40.0f, 1e-3f);
    EXPECT_NEAR(S().arm.rotation.y, 10.0f, 1e-3f);
    // Outside a shot the arm is shown unaimed; in one it shows its aim.
    EXPECT_EQ(S().arm.frame->Adjust[0].m[0][0], 1.0f);
    S().action = kActionShoot;
    c_->GetParameter()->values.shots[0].movingFlg = 1;
    c_->AimArmBone(0);
    EXPECT_NEAR(S().arm.rotation.y, 10.0f, 1e-3f);
    EXPECT_NEAR(S().arm.frame->Adjust[0].m[0][0], CosF(10.0f * kDegToRad), 1e-5f);

    // 110 degrees off: out of reach, back toward rest at 45 a frame.
    S().action = kActionNeutral;
    PlaceTarget(110);
    S().neck.rotation = CVector3(0, 100, 0);
    S().body.rotation = CVector3();
    c_->AimNeckBone(0);
    EXPECT_NEAR(S().neck.rotation.y, 55.0f, 1e-3f);
    c_->AimNeckBone(0);
    c_->AimNeckBone(0);
    EXPECT_NEAR(S().neck.rotation.y, 0.0f, 1e-3f);

    // A guard does not aim; a missing bone answers 0.
    S().action = kActionGuard;
    S().body.rotation = CVector3(0, 20, 0);
    PlaceTarget(10);
    c_->AimBodyBone(0);
    EXPECT_NEAR(S().body.rotation.y, 0.0f, 1e-3f);
    S().neck.frame = nullptr;
    EXPECT_EQ(c_->AimNeckBone(0), 0);
}

TEST_F(MoveTest, TargetBehindAtTheEscapeAngle)
{
    G().escapeAngleLimit = 105;
    EXPECT_EQ(c_->IsTargetBehind(), 0u);
    for (auto [yaw, behind] : {std::pair{100.0f, 0u}, {106.0f, 1u}, {254.0f, 1u}, {260.0f, 0u}}) {
        PlaceTarget(yaw);
        EXPECT_EQ(c_->IsTargetBehind(), behind) << yaw;
    }
}

TEST_F(MoveTest, PostUpdateAppliesTheDisplacementAndSettlesTheView)
{
    S().displacement = CVector3(1, 2, 3);
    S().acceleration = CVector3(4, 0, 0);
    const CVector3 turned(15, 30, 0);
    *c_->GetRotation() = turned;
    c_->PostUpdate(0);
    EXPECT_EQ(c_->GetPosition()->y, 2.0f);
    EXPECT_EQ(S().displacement.Length() + S().acceleration.Length(), 0.0f);
    // Kept as the view, levelled: pitch 0.
    EXPECT_EQ(S().targetAngles.y, 30.0f);
    EXPECT_EQ(S().targetAngles.x, 0.0f);
    EXPECT_EQ(c_->GetWorldMatrix()->m[3][1], 2.0f);
}

TEST_F(MoveTest, SlidingViewFollowsTheSlideAngle)
{
    S().targetAngles = CVector3(5, 40, 0);
    const CVector3 rotation(1, 2, 3);
    *c_->GetRotation() = rotation;
    struct Case {
        u32 action;
        f32 slideAngle, wantX, wantY;
    } cases[] = {{kActionNeutral, 90, 1, 2}, {kActionSlide, 90, 5, 130}, {kActionSlide, -2, 90, 130},
                 {kActionSlide, -3, -90, 130}};
    for (const Case& k : cases) {
        S().action = k.action;
        S().slideAngle = k.slideAngle;
        c_->UpdateMovement(0);
        EXPECT_EQ(S().viewAngles.x, k.wantX) << k.slideAngle;
        EXPECT_EQ(S().viewAngles.y, k.wantY) << k.slideAngle;
    }
}

}  // namespace ORV_TEST_FILE_ID
