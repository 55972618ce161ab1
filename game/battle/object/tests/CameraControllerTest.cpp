// The battle camera: where each mode puts the eye and the look-at point
// after a few frames of chasing a fighter double, worked out by hand; the
// blend between mode rows; the hash of its state.
#include "game/battle/object/CameraController.h"

#include "engine/graphics/Camera.h"
#include "engine/platform/FrameTime.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "game/battle/object/tests/StateHashProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace ORV_TEST_FILE_ID {

using battle_test::BattleObjectTest;
using battle_test::FakeFighter;

namespace {

constexpr f32 kNoTurn = 1e9f;

void ExpectNear(const CVector3& got, const CVector3& want, const char* what)
{
    EXPECT_LT((got - want).Length(), 2e-4f) << what << " " << got.x << ", " << got.y << ", " << got.z;
}

// Columns: DISTANCE OFFSETX OFFSETY TARGETOFFSETX TARGETOFFSETY VMIN VMAX
// LENGTHMAX TRACELENGTHMAX RETURNLENGTH FOV MOVEVELOCITY MOVEACCELERATION
// EXCESSVELOCITY ROTATIONVELOCITY CHANGETIME.
struct ModeCase {
    const char* name;
    u8 mode;
    u8 side;
    f32 row[16];
    CVector3 fighter;     // eye and target object
    CVector3 anchors;
    f32 yaw, pitch;       // SetAngles
    f32 targetYaw;        // written into the record, kNoTurn for none
    bool lockOn;          // LookAtObject(opponent) before each update
    CVector3 opponent;
    int jumpBeforeFrame;  // 0 for none
    CVector3 eye, target;
};

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

// Three frames of 0.1 s each.
const ModeCase kModes[] = {
    // Starts still: steps 0, 0.1, 0.2 along -z as the speed ramps up.
    {"NormalRampsUpTheChase", kCameraNormal, 1, {4, 1, 2, 0.5f, 1, -30, 30, 6, 0.5f, 0, 60, 10, 1, 3, 360, 0},
     {0, 0, -3}, {0, 0, 0}, 0, 0, kNoTurn, false, {}, 0, {-1, 2, 3.7f}, {-0.5f, 1, -10.3f}},
    // Target yaw -45 = 315 turns by -10 a frame through 0 to 330; the pitch
    // of 35.3 is clamped to 20 (0 in the first frame, before the row is in).
    {"LockTurnsTowardTheOpponent", kCameraLock, 1, {2, 0, 1, 0, 0, -20, 20, 5, 0.5f, 0, 50, 1, 1, 1, 100, 0},
     {0, 0, 0}, {0, 0, 0}, 0, 0, kNoTurn, true, {10, -10, -10}, 0,
     {-0.9396926f, 1.6840403f, 1.6275953f}, {4.698463f, -3.420201f, -8.137977f}},
    // 20 behind: tracing from frame 1, then steps of 1 + 0.1 x 0.1 x 17.5 and
    // 1 + 0.1 x 0.2 x 16.325 toward the goal 2.5 short; side 0 mirrors.
    {"NearTracesARunawayFighter", kCameraNear, 0, {3, 1, 0.5f, 2, 0, -30, 30, 5, 0.5f, 0, 45, 10, 10, 1, 360, 0},
     {0, 0, -20}, {0, 0, 0}, 0, 0, kNoTurn, false, {}, 0, {1, 0.5f, 0.4985f}, {2, 0, -12.5015f}},
    // The same chase, but the jump puts both anchors on the goal at -17.5.
    {"ShootOutJumpsToTheTraceGoal", kCameraShootOut, 1, {1, 0, 0, 0, 0, -30, 30, 5, 0.5f, 0, 70, 10, 10, 1, 360, 0},
     {0, 0, -20}, {0, 0, 0}, 0, 0, kNoTurn, false, {}, 3, {0, 0, -16.5f}, {0, 0, -27.5f}},
    // No speed: the anchors stay at (1, 2, 3); yaw 350 turns by +20 to 10.
    {"SlideAttackHoldsTheAnchors", kCameraSlideAttack, 1, {5, 0, 0, 0, 0, -30, 30, 5, 0.5f, 0, 80, 0, 1, 0, 100, 0},
     {50, 0, 0}, {1, 2, 3}, 350, -10, 10, false, {}, 1,
     {1.8550504f, 2.868241f, 7.8492316f}, {-0.710101f, 0.263518f, -6.698463f}},
    // DISTANCE 0: the eye is on the anchor, the pitch still swings the
    // look-at point and OFFSETX still goes sideways (+z at yaw 90).
    {"ResultWithNoDistance", kCameraResult, 1, {0, 1, 3, 0, 0, -30, 30, 5, 0.5f, 0, 90, 1, 1, 0, 360, 0},
     {0, 0, 0}, {0, 0, 0}, 90, -30, kNoTurn, false, {}, 0, {0, 3, 1}, {-8.660254f, -5, 0}},
    // DISTANCE -4: the eye sits ahead, but the pitch axis and the offsets'
    // side are those of +4, (-1, 0, 0) at yaw 0: the eye stays above the
    // look-at point.
    {"NegativeDistanceTurnsAsAPositiveOne", kCameraNormal, 1, {-4, 1, 0, 0.5f, 0, -90, 90, 5, 0.5f, 0, 60, 1, 1, 1, 360, 0},
     {0, 0, 0}, {0, 0, 0}, 0, -30, kNoTurn, false, {}, 0, {-1, -2, -3.4641016f}, {-0.5f, -5, -8.660254f}},
};

class CameraModeTest : public BattleObjectTest, public ::testing::WithParamInterface<ModeCase> {
protected:
    void SetUp() override
    {
        BattleObjectTest::SetUp();
        SetFrameTime(100);
    }
    void TearDown() override
    {
        SetFrameTime(0);
        BattleObjectTest::TearDown();
    }
};

TEST_P(CameraModeTest, PlacesEyeAndTargetAfterThreeFrames)
{
    const ModeCase& c = GetParam();
    auto* parameter = new CCameraParameter();
    for (u32 i = 0; i < 16; ++i) parameter->values[c.mode * 16 + i] = c.row[i];
    CCameraController camera(parameter);
    FakeFighter fighter(c.fighter);
    FakeFighter opponent(c.opponent);
    camera.SetPoints(&c.anchors, &c.anchors);
    camera.SetAngles(c.yaw, c.pitch);
    camera.SetEyeObject(&fighter);
    camera.SetTargetObject(&fighter);
    camera.SetSide(c.side);
    camera.SetMode(c.mode, 0.0f);
    if (c.targetYaw != kNoTurn) camera.GetState().targetYaw = c.targetYaw;

    for (int frame = 1; frame <= 3; ++frame) {
        if (frame == c.jumpBeforeFrame) camera.GetState().jump = 1;
        if (c.lockOn) camera.LookAtObject(&opponent);
        ASSERT_EQ(camera.Update(), 1);
    }
    const CCamera* view = camera.GetCamera();
    ExpectNear(view->GetEye(), c.eye, "eye");
    ExpectNear(view->GetTarget(), c.target, "target");
    ExpectNear(camera.GetState().viewDirection, c.target - c.eye, "view direction");
    EXPECT_EQ(view->GetProjectionParams()->fov, c.row[kCameraFov]);
    // The jump is spent by a moving update and kept by a still one.
    EXPECT_EQ(camera.GetState().jump, c.jumpBeforeFrame && c.row[kCameraMoveVelocity] <= 0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Modes, CameraModeTest, ::testing::ValuesIn(kModes),
    [](const auto& info) { return std::string(info.param.name); });

class CameraTest : public CameraModeTest {};

// Row m column c of a parameter set filled with 100 m + c.
CCameraParameter* NumberedRows()
{
    auto* parameter = new CCameraParameter();
    for (u32 i = 0; i < CCameraParameter::kValueCount; ++i) parameter->values[i] = f32(100 * (i / 16) + i % 16);
    return parameter;
}

TEST_F(CameraTest, ModeChangesBlendFromTheStoredRowOfTheModeLeft)
{
    CCameraController camera(NumberedRows());
    const CCameraState& s = camera.GetState();
    auto value = [&](u32 column) { return s.values[column]; };

    struct Step {
        int setMode;    // -1: none
        f32 blendTime;
        f32 distance, fov, changeTime;   // current DISTANCE, FOV, CHANGETIME after the update
        u32 blending;
    };
    // CHANGETIME and RETURNLENGTH are not blended: they keep the last row's.
    const Step steps[] = {
        {-1, 0, 0, 10, 15, 0},
        {kCameraLock, 0.4f, 25, 35, 15, 1},     // w 0.25 from NORMAL
        {-1, 0, 50, 60, 15, 1},                 // w 0.5
        {kCameraLock, 9.0f, 75, 85, 15, 1},     // the current mode: nothing restarts
        {kCameraNear, 0.2f, 150, 160, 15, 1},   // from LOCK's row, not from the 75 shown
        {-1, 0, 200, 210, 15, 1},               // w 1, the elapsed time on the blend time
        {-1, 0, 200, 210, 15, 0},               // past it: the blend ends on NEAR's row
        {-1, 0, 200, 210, 215, 0},              // then the whole row
        {kCameraResult, 0.0f, 500, 510, 515, 0},
    };
    for (const Step& step : steps) {
        if (step.setMode >= 0) camera.SetMode(u8(step.setMode), step.blendTime);
        camera.Update();
        EXPECT_NEAR(value(kCameraDistance), step.distance, 1e-3f) << step.setMode;
        EXPECT_NEAR(value(kCameraFov), step.fov, 1e-3f) << step.setMode;
        EXPECT_EQ(value(kCameraChangeTime), step.changeTime) << step.setMode;
        EXPECT_EQ(s.blending, step.blending) << step.setMode;
    }
    EXPECT_EQ(s.previousMode, kCameraNear);

    // The fighter may write the record itself: a blend of time 0 lands on
    // the row instead of dividing by it.
    camera.GetState().previousMode = kCameraNormal;
    camera.GetState().blending = 1;
    camera.GetState().blendTime = 0;
    camera.Update();
    EXPECT_EQ(value(kCameraDistance), 500.0f);
    EXPECT_EQ(s.blending, 0u);
    // No row for mode 6.
    camera.SetMode(6, 0);
    EXPECT_EQ(s.mode, kCameraResult);
}

TEST_F(CameraTest, AnAnchorOnItsObjectStartsTheNextChaseSlowly)
{
    auto* parameter = new CCameraParameter();
    const f32 row[16] = {1, 0, 0, 0, 0, -30, 30, 6, 0.5f, 0, 60, 10, 1, 0, 360, 0};
    std::copy(row, row + 16, parameter->values);
    CCameraController camera(parameter);
    FakeFighter fighter(CVector3(0, 0, -0.5f));
    camera.SetEyeObject(&fighter);
    const CCameraState& s = camera.GetState();
    for (int i = 0; i < 12; ++i) camera.Update();
    // Reached within a few frames; the frame that finds it there resets the ramp.
    EXPECT_EQ(s.eyeAnchor.z, -0.5f);
    EXPECT_EQ(s.eye.tracing, 0u);
    EXPECT_EQ(s.eye.accelerationTime, 0.0f);
    fighter.GetPosition()->z = -3.0f;
    camera.Update();
    camera.Update();
    EXPECT_NEAR(s.eyeAnchor.z, -0.6f, 1e-5f);   // steps 0, then 0.1
}

TEST_F(CameraTest, AFollowedFighterThatIsDeletedIsNoLongerRead)
{
    auto* parameter = new CCameraParameter();
    parameter->values[kCameraMoveVelocity] = 10;
    parameter->values[kCameraMoveAcceleration] = 10;
    CCameraController camera(parameter);
    auto fighter = std::make_unique<FakeFighter>(CVector3(0, 0, -4));
    camera.SetEyeObject(fighter.get());
    camera.SetTargetObject(fighter.get());
    camera.Update();
    camera.Update();
    const CVector3 held = camera.GetState().eyeAnchor;
    EXPECT_NE(held.z, 0.0f);
    fighter.reset();
    camera.Update();
    ExpectNear(camera.GetState().eyeAnchor, held, "held");
    // Null objects and points change nothing.
    EXPECT_EQ(camera.LookAt(nullptr), 0);
    EXPECT_EQ(camera.LookAtObject(nullptr), 0);
}

// A fighter hands its ids: the eye chases the owner, the target the
// followed object, and an id the registry does not hold follows nothing.
TEST_F(CameraTest, OwnerAndFollowedAreFoundByTheirIds)
{
    FakeFighter owner(CVector3(0, 0, -4)), followed(CVector3(4, 0, 0));
    auto* parameter = new CCameraParameter();
    parameter->values[kCameraMoveVelocity] = 100;
    parameter->values[kCameraMoveAcceleration] = 100;
    CCameraController camera(parameter);
    struct {
        u32 owner, followed;
        f32 eyeZ, targetX;
    } const rows[] = {
        {owner.GetId(), followed.GetId(), -4, 4},
        {owner.GetId() + followed.GetId() + 100, 0, 0, 0},
    };
    const CVector3 origin;
    for (const auto& r : rows) {
        camera.SetPoints(&origin, &origin);
        camera.SetOwner(r.owner, r.followed);
        for (int frame = 0; frame < 10; ++frame) camera.Update();
        EXPECT_NEAR(camera.GetState().eyeAnchor.z, r.eyeZ, 1e-4f) << r.owner;
        EXPECT_NEAR(camera.GetState().targetAnchor.x, r.targetX, 1e-4f) << r.owner;
    }
    // The view in the fighter's terms: pitch up, then yaw.
    camera.SetAngles(30, 15);
    CVector3 eye, angles;
    camera.GetView(&eye, &angles);
    ExpectNear(angles, CVector3(15, 30, 0), "angles");
    std::unique_ptr<ICameraController> copy(camera.Clone());
    CVector3 forward, copied;
    camera.GetForward(&forward);
    copy->GetForward(&copied);
    ExpectNear(copied, forward, "copy");
}

// The yaw is kept as given; the pitch is negated and wrapped into
// [-180, 180): 180 either way comes out as -180.
TEST_F(CameraTest, TheNegatedPitchWrapsIntoTheHalfOpenRange)
{
    const struct { f32 pitch, want; } rows[] = {
        {10, -10}, {350, 10}, {180, -180}, {-180, -180}, {190, 170}, {-190, -170}, {0, 0}, {540, -180}, {-10.25f, 10.25f},
    };
    for (const auto& r : rows) {
        CCameraController camera(new CCameraParameter());
        camera.SetAngles(30.0f, r.pitch);
        EXPECT_EQ(camera.GetState().pitch, r.want) << "pitch " << r.pitch;
        EXPECT_EQ(camera.GetState().targetPitch, r.want) << "pitch " << r.pitch;
        EXPECT_EQ(camera.GetState().yaw, 30.0f);
    }
}

TEST_F(CameraTest, ForwardFollowsYawAndPitch)
{
    CCameraController camera(new CCameraParameter());
    camera.SetAngles(90, -30);   // stored pitch 30: looking down
    CVector3 forward;
    camera.GetForward(&forward);
    ExpectNear(forward, CVector3(-0.8660254f, -0.5f, 0), "forward");
}

TEST_F(CameraTest, StateHashFollowsTheSimulationAndItsCopy)
{
    FakeFighter fighter(CVector3(1, 2, -8));
    auto hashOf = [](const CCameraController& c) {
        CStateHash h;
        c.HashState(h);
        return h.Value();
    };
    auto* parameter = new CCameraParameter();
    parameter->values[kCameraMoveVelocity] = 5;
    parameter->values[kCameraMoveAcceleration] = 5;
    CCameraController a(parameter);
    a.SetEyeObject(&fighter);
    a.Update();
    CCameraController b(a);
    EXPECT_EQ(hashOf(a), hashOf(b));
    a.Update();
    b.Update();
    EXPECT_EQ(hashOf(a), hashOf(b));
    const u64 before = hashOf(b);
    b.SetSide(1);
    EXPECT_NE(hashOf(b), before);
    b.SetSide(0);
    b.SetParticipantSlot(3);
    EXPECT_NE(hashOf(b), before);
    b.SetParticipantSlot(0);
    b.Update();
    EXPECT_NE(hashOf(b), hashOf(a));
    // What is drawn only (the camera's projection) stays out.
    const u64 drawn = hashOf(a);
    a.GetCamera()->SetPerspective(10, 1, 1, 2);
    EXPECT_EQ(hashOf(a), drawn);
}


// Each field of the camera's state and of its parameter set alone; the
// followed objects by id; the participant slot.
TEST_F(CameraTest, StateHashFollowsEachFieldOfTheCamera)
{
    auto* parameter = new CCameraParameter();
    parameter->values[kCameraMoveVelocity] = 5;
    CCameraController camera(parameter);
    FakeFighter fighter(CVector3(1, 2, -8));
    camera.SetEyeObject(&fighter);
    camera.Update();
    CCameraState& s = camera.GetState();
    HashedFields fields;
    fields.bytes = {&s.previousMode, &s.mode, &s.side};
    fields.vectors = {&s.eyeAnchor, &s.targetAnchor, &s.viewDirection, &s.eye.direction, &s.target.direction};
    fields.floats = {&s.eye.accelerationTime, &s.eye.traceTime, &s.target.accelerationTime, &s.target.traceTime,
        &s.yaw, &s.targetYaw, &s.pitch, &s.targetPitch, &s.blendTime, &s.blendElapsed};
    for (f32& value : s.values) fields.floats.push_back(&value);
    for (f32& value : const_cast<CCameraParameter*>(camera.GetParameter())->values) fields.floats.push_back(&value);
    fields.words = {&s.eye.tracing, &s.target.tracing, &s.blending, &s.jump};
    ExpectEachChangesHash(camera, fields, "camera");
    const auto hash = [&camera] {
        CStateHash h;
        camera.HashState(h);
        return h.Value();
    };
    FakeFighter other;
    const std::function<void()> changes[] = {
        [&] { camera.SetEyeObject(&other); },
        [&] { camera.SetTargetObject(&other); },
        [&] { camera.SetParticipantSlot(2); },
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        const u64 before = hash();
        changes[i]();
        EXPECT_NE(hash(), before) << i;
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
