#include "engine/core/FloatMath.h"
#include "engine/platform/FrameTime.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletMath.h"
#include "game/battle/object/BulletParameter.h"
#include "game/battle/object/BulletPasses.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "game/battle/object/tests/StateHashProbe.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <memory>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using battle_test::BattleObjectTest;
using battle_test::FakeFighter;

// A record of a plain bullet: no hits on anything, lives for ever, ends
// on a hit (release type 0).
std::unique_ptr<CBulletParameter> Record(i32 moveType)
{
    auto r = std::make_unique<CBulletParameter>();
    CBulletValues& v = r->GetValues();
    v.moveType = moveType;
    v.velocity = 4.0f;
    v.vibrationType = 4;
    v.pursuitAngleAttenuation = 1.0f;
    return r;
}

class BulletTest : public BattleObjectTest {
protected:
    void SetUp() override
    {
        BattleObjectTest::SetUp();
        // Made after the test's registry is in place, so ids find them.
        ownerPtr_ = std::make_unique<FakeFighter>();
        enemyPtr_ = std::make_unique<FakeFighter>();
        owner_ = ownerPtr_.get();
        enemy_ = enemyPtr_.get();
        savedFrame_ = GetFrameTimeMs();
        SetFrameTime(250);   // dt 0.25 s, exact in binary
        owner_->slot = 0;
        owner_->team = 0;
        enemy_->slot = 2;
        enemy_->team = 1;
        // Out of the way unless a test brings them in.
        const CVector3 far1(0.0f, 1000.0f, 0.0f), far2(0.0f, -1000.0f, 0.0f);
        owner_->SetPosition(&far1);
        enemy_->SetPosition(&far2);
    }
    void TearDown() override
    {
        SetFrameTime(savedFrame_);
        scene_.bullets.DeleteAll();
        ownerPtr_.reset();
        enemyPtr_.reset();
        BattleObjectTest::TearDown();
    }

    // Launched by owner_ (also its shot object unless given) into the
    // scene's list.
    CBullet* Launch(const CBulletParameter& record, CVector3 position, CVector3 direction,
        CObjectDivision* target = nullptr, CObjectDivision* shot = nullptr, f32 damageScale = 1.0f)
    {
        auto* bullet = new CBullet(&record);
        BulletLaunchRecord launch;
        launch.position = position;
        launch.direction = direction;
        launch.damageScale = damageScale;
        launch.shooter = owner_;
        launch.shooterGroup = owner_->team;
        launch.firingObject = shot ? shot : owner_;
        launch.target = target;
        EXPECT_EQ(bullet->Initialize(reinterpret_cast<intptr_t>(&launch)), 1);
        bullet->SendObjectMessage(kMsgNewBullet, CObjectRegistry::kHandlerId, -1, reinterpret_cast<intptr_t>(bullet));
        return bullet;
    }

    void Frame()
    {
        IBattleCharacter* fighters[] = {owner_, enemy_};
        UpdateBullets(scene_.bullets, 0);
        RunBulletFirstPass(scene_.bullets, fighters, 2, 0, &counts_);
        RunBulletSecondPass(scene_.bullets, fighters, 2, 0, &counts_);
    }

    bool InList(const CBullet* b) const
    {
        for (const CBullet* x = scene_.bullets.First(); x; x = x->GetNext())
            if (x == b) return true;
        return false;
    }

    std::unique_ptr<FakeFighter> ownerPtr_, enemyPtr_;
    FakeFighter* owner_ = nullptr;
    FakeFighter* enemy_ = nullptr;
    BulletPassCounts counts_;

private:
    u32 savedFrame_ = 0;
};

void ExpectNear(const CVector3& got, const CVector3& want, const char* what, int frame)
{
    EXPECT_NEAR(got.x, want.x, 1e-4f) << what << " frame " << frame;
    EXPECT_NEAR(got.y, want.y, 1e-4f) << what << " frame " << frame;
    EXPECT_NEAR(got.z, want.z, 1e-4f) << what << " frame " << frame;
}

// Positions after each frame, worked out by hand with dt 0.25 and speed 4
// (one unit a frame), launched at the origin along +x, the target at
// (0, 0, -10).
struct MotionCase {
    const char* name;
    i32 moveType;
    f32 pursuitAngle;   // degrees per second
    f32 breakTime;
    f32 stopTime;
    bool withTarget;
    std::vector<CVector3> positions;
};

TEST_F(BulletTest, PositionsAfterEachFrameMatchHandWorkedPaths)
{
    const f32 h = 0.70710678f;
    const MotionCase cases[] = {
        {"straight", 0, 0.0f, 0.0f, 0.0f, false, {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}}},
        // Aims at launch: straight at the target.
        {"aimed straight", 1, 0.0f, 0.0f, 0.0f, true, {{0, 0, -1}, {0, 0, -2}, {0, 0, -3}}},
        // 360 deg/s: 90 degrees a frame, the whole turn at once.
        {"homing, full turn", 3, 360.0f, 0.0f, 0.0f, true, {{0, 0, -1}, {0, 0, -2}, {0, 0, -3}}},
        // 180 deg/s: 45 a frame. 90 -> 45 off, then 49.4 -> 45 (now along
        // -z), then 4.87 turned whole toward the target.
        {"homing, 45 a frame", 7, 180.0f, 0.0f, 0.0f, true,
            {{h, 0, -h}, {h, 0, -1 - h}, {h - 0.084959f, 0, -2.703495f}}},
        // No target: homing flies straight.
        {"homing without target", 3, 180.0f, 0.0f, 0.0f, false, {{1, 0, 0}, {2, 0, 0}}},
        // Brakes to rest at age 2 from twice its speed (steps 1.75, 1.5,
        // ... 0.25), waits out STOPTIME 0.5 aiming at no one, then goes on.
        {"brake, pause, go", 5, 0.0f, 2.0f, 0.5f, false,
            {{1.75f, 0, 0}, {3.25f, 0, 0}, {4.5f, 0, 0}, {5.5f, 0, 0}, {6.25f, 0, 0}, {6.75f, 0, 0}, {7, 0, 0},
                {7, 0, 0}, {7, 0, 0}, {8, 0, 0}}},
    };
    for (const MotionCase& c : cases) {
        FakeFighter target;
        const CVector3 at(0.0f, 0.0f, -10.0f);
        target.SetPosition(&at);
        auto record = Record(c.moveType);
        record->GetValues().pursuitAngle = c.pursuitAngle;
        record->GetValues().pursuitAngleLimit = 180.0f;
        record->GetValues().breakTime = c.breakTime;
        record->GetValues().stopTime = c.stopTime;
        CBullet* b = Launch(*record, CVector3(), CVector3(1, 0, 0), c.withTarget ? &target : nullptr);
        for (size_t f = 0; f < c.positions.size(); ++f) {
            Frame();
            ExpectNear(*b->GetPosition(), c.positions[f], c.name, int(f) + 1);
        }
        scene_.bullets.DeleteAll();
    }
}

// Positions (and beam ends) after each frame for the motion types the paths
// above leave out, worked out by hand from the motion rules with dt 0.25 and
// speed 4. The owner, and the shot object unless the gun is, stands at
// (20, 30, 40) turned (10, 30, 0); the gun at (25, 35, 45) turned
// (20, -40, 0); the target, when there is one, at (20, 30, 30). Beams grow
// 2 along z a frame; a beam's end lies |scale - 1| + 1 along its front.
struct MotionRow {
    const char* name;
    i32 moveType;
    i32 hitType;
    void (*set)(CBulletValues&);
    CVector3 from, direction;
    CVector3 target;   // kNone: none
    bool fromGun;
    i32 counterB;      // after the last frame; -1 unchecked
    f32 hitRadius;     // after the last frame; NaN unchecked
    std::vector<CVector3> positions;
    std::vector<CVector3> endPoints;
};

TEST_F(BulletTest, EveryOtherMotionTypeFollowsItsHandWorkedPath)
{
    const CVector3 kNone(-1e9f, 0, 0), kTarget(20, 30, 30), kOwner(20, 30, 40);
    const MotionRow rows[] = {
        {"homing with volleys", 4, 0, [](CBulletValues& v) { v.pursuitAngle = 180.0f, v.pursuitAngleLimit = 180.0f, v.shootFlg = 1, v.rushCount = 2, v.rushInterval = 0.5f; },
            {20, 30, 40}, {1, 0, 0}, kTarget, false, 1, NAN, {{20.70711f, 30, 39.29289f}, {20.70711f, 30, 38.29289f}, {20.62215f, 30, 37.29651f}}, {}},
        {"turning brake, pause, go", 6, 0, [](CBulletValues& v) { v.pursuitAngle = 180.0f, v.pursuitAngleLimit = 100.0f, v.breakTime = 1.0f, v.stopTime = 0.25f; },
            {20, 30, 40}, {1, 0, 0}, kTarget, false, -1, NAN, {{20.53033f, 30, 39.46967f}, {20.53033f, 30, 38.96967f}, {20.51557f, 30, 38.72011f}, {20.51557f, 30, 38.72011f}, {20.45655f, 30, 37.72185f}}, {}},
        {"sharp turn", 8, 0, [](CBulletValues& v) { v.pursuitAngleLimit = 180.0f, v.rushInterval = 0.5f, v.rushCount = 1, v.shootRange = 100.0f; },
            {20, 30, 40}, {1, 0, 0}, CVector3(24, 30, 30), false, 1, NAN, {{21, 30, 40}, {22, 30, 40}, {22.28735f, 30, 39.04217f}, {22.5747f, 30, 38.08435f}}, {}},
        {"closes in, then orbits", 9, 0, [](CBulletValues& v) { v.optionLength = 5.5f, v.optionTime = 10.0f, v.revolveAngle = CVector3(10, 20, 30), v.axisVec = CVector3(0, 1, 0), v.optionVelocity = 120.0f; },
            {23.6f, 30, 34.8f}, {-0.6f, 0, -0.8f}, kTarget, false, -1, NAN, {{23, 30, 34}, {23, 30, 34}, {24.56769f, 29.30541f, 31.91147f}, {24.83665f, 28.98404f, 29.24193f}, {22.52823f, 28.98404f, 25.80764f}}, {}},
        {"option with targeting", 12, 0, [](CBulletValues& v) { v.breakTime = 1.0f, v.revolveAngle = CVector3(10, 20, 30), v.axisVec = CVector3(0, 1, 0), v.optionVelocity = 120.0f, v.positionOffset = CVector3(0.5f, 1.5f, -0.5f); },
            kOwner, {0.6f, 0, 0.8f}, kNone, false, -1, NAN, {{20.375f, 30, 40.5f}, {21.2f, 30, 41.6f}, {22.025f, 30, 42.7f}, {23.78597f, 31.80567f, 41.52606f}, {24.31564f, 31.45871f, 39.53707f}}, {}},
        {"option spreading", 13, 0, [](CBulletValues& v) { v.breakTime = 0.5f, v.revolveAngle = CVector3(15, 25, 35), v.axisVec = CVector3(1, 0, 0), v.optionVelocity = 60.0f, v.positionOffset = CVector3(-1, 0.5f, 2); },
            kOwner, {0, 0.6f, -0.8f}, kNone, false, -1, NAN, {{20, 30.6f, 39.2f}, {19.80929f, 31.92446f, 41.43869f}, {19.19765f, 31.89689f, 42.2508f}, {19.39625f, 31.7904f, 43.12137f}}, {}},
        {"option revolving", 14, 0, [](CBulletValues& v) { v.breakTime = 0.5f, v.revolveAngle = CVector3(5, 10, 15), v.axisVec = CVector3(0, 0, 1), v.optionVelocity = 80.0f, v.positionOffset = CVector3(1, -0.5f, 0.25f); },
            kOwner, {0.8f, 0.6f, 0}, kNone, false, -1, NAN, {{22.0607f, 31.12258f, 39.71894f}, {21.46961f, 31.37406f, 39.91716f}, {20.86118f, 31.38088f, 40.20294f}}, {}},
        {"option revolving backwards", 15, 0, [](CBulletValues& v) { v.breakTime = 0.75f, v.revolveAngle = CVector3(12, 8, 4), v.axisVec = CVector3(1, 1, 0), v.optionVelocity = -100.0f, v.positionOffset = CVector3(0.25f, 0.75f, -1.5f); },
            kOwner, {0, 0.8f, 0.6f}, kNone, false, -1, NAN, {{18.66427f, 33.69927f, 39.67636f}, {18.28449f, 33.72232f, 38.70189f}, {18.01545f, 33.32205f, 37.58139f}}, {}},
        {"beam held by the owner, sweeping", 16, 3, [](CBulletValues& v) { v.scalePow = CVector3(0, 0, 8), v.shootRange = 100.0f, v.rotationAngle = CVector3(0, 40, 0), v.positionOffset = CVector3(0.5f, 1.5f, -0.5f); },
            kOwner, {1, 0, 0}, kNone, false, -1, NAN, {{20.31705f, 31.56404f, 39.54914f}, {20.31705f, 31.56404f, 39.54914f}, {20.31705f, 31.56404f, 39.54914f}},
            {{23.16767f, 32.33953f, 39.02707f}, {24.84481f, 32.85652f, 37.86723f}, {26.15073f, 33.37352f, 36.1295f}}},
        {"beam held by the gun up to its range", 17, 3, [](CBulletValues& v) { v.scalePow = CVector3(0, 0, 8), v.shootRange = 5.0f, v.positionOffset = CVector3(1, -0.5f, 0.75f); },
            kOwner, {1, 0, 0}, kNone, true, -1, NAN, {{25.42295f, 34.27364f, 46.05167f}, {25.42295f, 34.27364f, 46.05167f}, {25.42295f, 34.27364f, 46.05167f}},
            {{27.23502f, 35.2997f, 43.89213f}, {28.44306f, 35.98374f, 42.45244f}, {28.44306f, 35.98374f, 42.45244f}}},
        {"beam growing along its own aim", 18, 3, [](CBulletValues& v) { v.scalePow = CVector3(0, 0, 8), v.shootRange = 100.0f, v.effectRotationFlg = 1; },
            {20, 30, 40}, {1 / 1.5f, 0.5f / 1.5f, -1 / 1.5f}, kNone, false, -1, NAN, {{20, 30, 40}, {20, 30, 40}, {20, 30, 40}},
            {{22, 31, 38}, {23.33333f, 31.66667f, 36.66667f}, {24.66667f, 32.33333f, 35.33333f}}},
        {"beam growing and shrinking", 19, 3, [](CBulletValues& v) { v.scalePow = CVector3(0, 0, 8), v.shootRange = 5.0f, v.shootMinRange = 2.0f, v.positionOffset = CVector3(1, -0.5f, 0.75f); },
            kOwner, {1, 0, 0}, kNone, true, 1, NAN, {{25.42295f, 34.27364f, 46.05167f}, {25.42295f, 34.27364f, 46.05167f}, {25.42295f, 34.27364f, 46.05167f}, {25.42295f, 34.27364f, 46.05167f}, {25.42295f, 34.27364f, 46.05167f}},
            {{27.23502f, 35.2997f, 43.89213f}, {28.44306f, 35.98374f, 42.45244f}, {27.23502f, 35.2997f, 43.89213f}, {25.42295f, 34.27364f, 46.05167f}, {25.42295f, 34.27364f, 46.05167f}}},
        {"homing until it stops to fire", 21, 0, [](CBulletValues& v) { v.pursuitAngle = 180.0f, v.pursuitAngleLimit = 180.0f, v.stopTime = 0.5f; },
            {20, 30, 40}, {1, 0, 0}, kTarget, false, -1, NAN, {{20.70711f, 30, 39.29289f}, {20.70711f, 30, 39.29289f}, {20.70711f, 30, 39.29289f}}, {}},
        {"stops to fire with a growing sphere", 22, 0, [](CBulletValues& v) { v.stopTime = 0.75f, v.hitRadius = 1.0f, v.hitRadiusAdd = 2.0f, v.shootMinRange = 1.2f, v.shootRange = 2.2f; },
            {20, 30, 40}, {0.6f, 0, -0.8f}, kNone, false, -1, 2.2f, {{20.6f, 30, 39.2f}, {21.2f, 30, 38.4f}, {21.2f, 30, 38.4f}, {21.2f, 30, 38.4f}}, {}},
        {"held by the gun until it fires", 23, 0, [](CBulletValues& v) { v.velocity = 0.0f, v.stopTime = 0.5f, v.positionOffset = CVector3(-0.5f, 2, 1); },
            kOwner, {1, 0, 0}, kTarget, true, -1, NAN, {{23.57326f, 36.53737f, 45.92246f}, {23.57326f, 36.53737f, 45.92246f}}, {}},
        {"returning blade", 24, 0, [](CBulletValues& v) { v.breakTime = 0.5f, v.optionLength = 0.5f, v.rushInterval = 0.5f; },
            {17, 32, 34}, {-3 / 7.0f, 2 / 7.0f, -6 / 7.0f}, kNone, false, -1, NAN, {{16.57143f, 32.28571f, 33.14286f}, {17, 32, 34}, {17.42857f, 31.71429f, 34.85714f}, {17.86786f, 31.42143f, 35.73571f}, {18.30714f, 31.12857f, 36.61429f}}, {}},
        {"swing without a target", 25, 0, [](CBulletValues& v) { v.swingVec = CVector3(0, 1, 0.5f), v.swingAngle = 2.0f, v.swingSpeed = 3.0f, v.swingRange = 300.0f, v.swingMinRange = 0.2f, v.existenceTime = 50.0f; },
            {20, 30, 40}, {0.6f, 0, -0.8f}, kNone, false, -1, NAN, {{20.43375f, 31.08429f, 39.53249f}, {20.95857f, 31.58019f, 38.88383f}, {21.61312f, 31.22748f, 37.97527f}}, {}},
    };
    FakeFighter gun(CVector3(25, 35, 45));
    *gun.GetRotation() = CVector3(20, -40, 0);
    owner_->SetPosition(&kOwner);
    *owner_->GetRotation() = CVector3(10, 30, 0);
    for (const MotionRow& row : rows) {
        FakeFighter target(row.target);
        auto record = Record(row.moveType);
        record->GetValues().hitType = row.hitType;
        row.set(record->GetValues());
        CBullet* b = Launch(*record, row.from, row.direction, row.target.x == kNone.x ? nullptr : &target,
            row.fromGun ? &gun : nullptr);
        for (size_t f = 0; f < row.positions.size(); ++f) {
            Frame();
            ExpectNear(*b->GetPosition(), row.positions[f], row.name, int(f) + 1);
            if (f < row.endPoints.size())
                ExpectNear(b->GetState().endPoint, row.endPoints[f], row.name, int(f) + 1);
        }
        if (row.counterB >= 0) {
            EXPECT_EQ(b->GetState().counterB, u32(row.counterB)) << row.name;
        }
        if (!std::isnan(row.hitRadius)) {
            f32 radius = 0.0f;
            b->GetHitSphere(nullptr, &radius);
            EXPECT_FLOAT_EQ(radius, row.hitRadius) << row.name;
        }
        scene_.bullets.DeleteAll();
    }
}

TEST_F(BulletTest, GridBoxCoversTheSweptSphereInTenUnitCells)
{
    // Straight shots of 10 units a frame. Away from the origin every axis
    // lands in its own cells, so a swapped axis or a swapped end shows;
    // near it, -0.8 and 0.8 share cell 0 (truncation toward zero).
    const struct {
        CVector3 at, direction;
        f32 radius;
        std::array<i32, 6> box;   // minimum x, y, z, maximum x, y, z
    } rows[] = {
        {{35, -47, 123}, {1, 0, 0}, 2, {3, -4, 12, 4, -4, 12}},
        {{-35, 62, -27}, {0, -1, 0}, 1, {-3, 5, -2, -3, 6, -2}},
        {{-5, 5, -0.5f}, {0, 0, -1}, 3, {0, 0, -1, 0, 0, 0}},
        {{-12, 31, 58}, {0, 0, 1}, 0.5f, {-1, 3, 5, -1, 3, 6}},
    };
    for (const auto& r : rows) {
        auto record = Record(0);
        record->GetValues().velocity = 40.0f;
        record->GetValues().hitRadius = r.radius;
        CBullet* b = Launch(*record, r.at, r.direction);
        UpdateBullets(scene_.bullets, 0);
        ExpectNear(b->GetState().step, r.direction * 10.0f, "step", 0);
        std::array<i32, 6> box;
        std::copy(b->GetGridBox(), b->GetGridBox() + 6, box.begin());
        EXPECT_EQ(box, r.box)
            << r.at.x << ", " << r.at.y << ", " << r.at.z;
        scene_.bullets.DeleteAll();
    }
}

TEST_F(BulletTest, TypeTwoLosesItsTargetForGoodAndNineAndElevenStartAsTwo)
{
    FakeFighter target;
    const CVector3 behind(-10.0f, 0.0f, 0.0f);
    target.SetPosition(&behind);
    auto record = Record(2);
    record->GetValues().pursuitAngle = 360.0f;
    record->GetValues().pursuitAngleLimit = 60.0f;
    CBullet* b = Launch(*record, CVector3(), CVector3(1, 0, 0), &target);
    Frame();
    EXPECT_EQ(b->GetState().motionType, 0);
    // In front again: no matter.
    const CVector3 ahead(10.0f, 0.0f, 0.0f);
    target.SetPosition(&ahead);
    Frame();
    Frame();
    EXPECT_EQ(b->GetState().motionType, 0);
    EXPECT_FLOAT_EQ(b->GetPosition()->x, 2.0f);   // the lost frame took no step

    for (i32 type : {9, 11}) {
        auto r = Record(type);
        r->GetValues().optionLength = 1.0f;
        CBullet* x = Launch(*r, CVector3(), CVector3(1, 0, 0));
        EXPECT_EQ(x->GetState().motionType, 2) << type;
    }
}

// A motion step turns the bullet toward its new way only with
// EFFECTROTATIONFLG; without it the rotation after each Update is none. Two
// frames of each turning step, the target off every axis.
TEST_F(BulletTest, MotionStepsTurnTheBulletOnlyWithEffectRotation)
{
    FakeFighter target;
    const CVector3 at(5.0f, 3.0f, -10.0f);
    target.SetPosition(&at);
    const struct {
        i32 moveType;
        i32 flag;
    } cases[] = {{2, 0}, {2, 1}, {4, 0}, {4, 1}, {6, 0}, {6, 1}};
    for (const auto& c : cases) {
        auto record = Record(c.moveType);
        record->GetValues().pursuitAngle = 90.0f;
        record->GetValues().pursuitAngleLimit = 180.0f;
        record->GetValues().effectRotationFlg = c.flag;
        CBullet* b = Launch(*record, CVector3(), CVector3(1, 0, 0), &target);
        CVector3 launched = b->GetState().velocity;
        for (int frame = 0; frame < 2; ++frame) {
            Frame();
            const CVector3 velocity = b->GetState().velocity;
            EXPECT_NE(velocity.z, launched.z) << c.moveType << " did not turn in frame " << frame;
            launched = velocity;
            CVector3 rotation;
            b->GetRotation(&rotation);
            const CVector3 want = c.flag ? RotationToward(velocity) : CVector3();
            EXPECT_EQ(std::bit_cast<u32>(rotation.x), std::bit_cast<u32>(want.x)) << c.moveType << "/" << c.flag;
            EXPECT_EQ(std::bit_cast<u32>(rotation.y), std::bit_cast<u32>(want.y)) << c.moveType << "/" << c.flag;
            EXPECT_EQ(rotation.z, 0.0f) << c.moveType << "/" << c.flag;
        }
        delete b;
    }
}

// A bullet turned on all three axes (toward a slanting launch, and a roll
// of ZROTATIONFLG) is drawn by the objects' Euler order: any other order
// gives another matrix once two axes turn.
TEST_F(BulletTest, ABulletTurnedOnSeveralAxesIsPlacedInTheEulerOrder)
{
    auto record = Record(0);
    record->GetValues().effectRotationFlg = 1;
    record->GetValues().zRotationFlg = 1;
    CBullet* b = Launch(*record, CVector3(1, 2, 3), CVector3(0.6f, 0.48f, -0.64f));
    Frame();
    CVector3 rotation;
    b->GetRotation(&rotation);
    ASSERT_NE(rotation.x, 0.0f);
    ASSERT_NE(rotation.y, 0.0f);
    ASSERT_NE(rotation.z, 0.0f);
    CMatrix turned;
    turned.RotationEuler(&rotation);
    MatrixScaleRows(&turned, b->GetScaling());
    MatrixTranslate(&turned, b->GetPosition());
    const CMatrix& world = *b->GetWorldMatrix();
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(world.m[i / 4][i % 4], turned.m[i / 4][i % 4], 1e-5f) << i;
    delete b;
}

TEST_F(BulletTest, MotionTypeFromDataOutsideTheTableRunsNoStep)
{
    for (i32 type : {-1, 26, 1000, -2147483647}) {
        auto record = Record(type);
        CBullet* b = Launch(*record, CVector3(1, 2, 3), CVector3(1, 0, 0));
        Frame();
        ExpectNear(*b->GetPosition(), CVector3(1, 2, 3), "out of the table", type);
        scene_.bullets.DeleteAll();
    }
}

// A bullet resting on the enemy, HITCOUNT 3 at 0.5 s intervals, dt 0.25:
// the first hit comes at once (timers start at their interval), then every
// second frame, then none.
TEST_F(BulletTest, FighterPassesCountHitsAndDamageBySlotAndInterval)
{
    auto record = Record(0);
    CBulletValues& v = record->GetValues();
    v.velocity = 0.0f;
    v.hitCount = 3;
    v.hitInterval = 0.5f;
    v.hitRadius = 1.0f;
    v.str = 10;
    v.hitReleaseType = 2;   // not ended by a hit
    const CVector3 at(5.0f, 0.0f, 0.0f);
    enemy_->SetPosition(&at);
    CBullet* b = Launch(*record, at, CVector3(1, 0, 0), enemy_, nullptr, 1.5f);
    const u32 hitsAfter[] = {1, 1, 2, 2, 3, 3, 3, 3};
    for (int f = 0; f < 8; ++f) {
        Frame();
        EXPECT_EQ(enemy_->hits, hitsAfter[f]) << "frame " << f + 1;
    }
    EXPECT_EQ(enemy_->damage, 45);   // truncate(10 x 1.5) a hit
    EXPECT_EQ(b->GetState().hitCount[2], 3u);
    EXPECT_EQ(b->GetState().hitCount[0] + b->GetState().hitCount[1] + b->GetState().hitCount[3], 0u);
    EXPECT_EQ(owner_->hits, 0u);   // never its own shooter
    EXPECT_EQ(enemy_->firstPassCalls, 8u);
    EXPECT_EQ(enemy_->secondPassCalls, 8u);
    EXPECT_TRUE(InList(b));
}

// Slots run 0..3. A healing shot whose owner answers 4 counts its hit in
// the last slot; a slot of 4 asked directly is no slot at all: never
// hittable, nothing counted.
TEST_F(BulletTest, ASlotAnswerOfFourCountsInTheLastSlot)
{
    auto record = Record(0);
    CBulletValues& v = record->GetValues();
    v.velocity = 0.0f, v.hitType = 13, v.hitCount = 3, v.recoverySpeed = 10.0f, v.hitReleaseType = 2;
    for (i32 slot : {3, 4}) {
        owner_->slot = slot;
        CBullet* b = Launch(*record, CVector3(5, 0, 0), CVector3(1, 0, 0));
        Frame();
        const auto& hits = b->GetState().hitCount;
        EXPECT_EQ(std::vector<u32>(hits, hits + 4), (std::vector<u32>{0, 0, 0, 1})) << slot;
        EXPECT_EQ(b->CanHitTarget(4), 0u);
        EXPECT_EQ(b->IsHitIntervalElapsed(4), 0u);
        EXPECT_EQ(b->IsHitEffectIntervalElapsed(4), 0u);
        EXPECT_EQ(b->CountHit(4, 0), 0);
        EXPECT_EQ(std::vector<u32>(hits, hits + 4), (std::vector<u32>{0, 0, 0, 1})) << slot;
        scene_.bullets.DeleteAll();
    }
}

TEST_F(BulletTest, HitEndedBulletIsDeletedOnlyByItsFrameStep)
{
    auto record = Record(0);
    record->GetValues().velocity = 0.0f;
    record->GetValues().hitCount = 1;
    record->GetValues().hitRadius = 1.0f;
    CBullet* b = Launch(*record, CVector3(), CVector3(1, 0, 0));
    // Hit through the bullet's accessors, as a fighter would mid-pass.
    EXPECT_EQ(b->ReleaseOnHit(), 1);
    EXPECT_TRUE(InList(b));
    IBattleCharacter* none[] = {nullptr};
    RunBulletFirstPass(scene_.bullets, none, 1, 0);
    EXPECT_TRUE(InList(b));
    RunBulletSecondPass(scene_.bullets, none, 1, 0);
    EXPECT_EQ(scene_.bullets.GetCount(), 0u);
}

TEST_F(BulletTest, LifetimeEndsByAgeInTheFrameItRunsOut)
{
    auto record = Record(0);
    record->GetValues().existenceTime = 0.5f;
    auto forever = Record(0);
    forever->GetValues().existenceTime = 0.0f;
    CBullet* b = Launch(*record, CVector3(), CVector3(1, 0, 0));
    Launch(*forever, CVector3(), CVector3(1, 0, 0));
    Frame();
    EXPECT_TRUE(InList(b));
    UpdateBullets(scene_.bullets, 0);
    EXPECT_TRUE(b->IsEnded());
    RunBulletFirstPass(scene_.bullets, nullptr, 0, 0);
    EXPECT_TRUE(InList(b));
    RunBulletSecondPass(scene_.bullets, nullptr, 0, 0);
    EXPECT_EQ(scene_.bullets.GetCount(), 1u);
    for (int f = 0; f < 100; ++f) Frame();
    EXPECT_EQ(scene_.bullets.GetCount(), 1u);
}

// Every bullet of the list ends in one frame: the deleting walk must take
// each next bullet before it deletes the one in hand.
TEST_F(BulletTest, AllBulletsEndingTogetherAreDeletedInOneWalk)
{
    auto record = Record(0);
    record->GetValues().existenceTime = 0.25f;
    for (int i = 0; i < 5; ++i) Launch(*record, CVector3(f32(i) * 30.0f, 0, 0), CVector3(1, 0, 0));
    Frame();
    EXPECT_EQ(scene_.bullets.GetCount(), 0u);
    EXPECT_EQ(registry_.Find(owner_->GetId()), owner_);
}

// A carrier's end reaches the bullets it launched with EVENTENDFLG, and
// theirs; one without the flag flies on.
TEST_F(BulletTest, EndOfTheShotObjectTravelsDownToFlaggedChildren)
{
    auto parentRecord = Record(0);
    parentRecord->GetValues().existenceTime = 0.5f;
    auto flagged = Record(0);
    flagged->GetValues().eventEndFlg = 1;
    auto plain = Record(0);
    CBullet* parent = Launch(*parentRecord, CVector3(), CVector3(1, 0, 0));
    CBullet* child = Launch(*flagged, CVector3(), CVector3(1, 0, 0), nullptr, parent);
    CBullet* grandchild = Launch(*flagged, CVector3(), CVector3(1, 0, 0), nullptr, child);
    CBullet* loner = Launch(*plain, CVector3(), CVector3(1, 0, 0), nullptr, parent);
    (void)grandchild;
    Frame();
    Frame();
    EXPECT_EQ(scene_.bullets.GetCount(), 1u);
    EXPECT_EQ(scene_.bullets.First(), loner);
    EXPECT_EQ(loner->GetShotObject(), nullptr);
}

// Children outliving their shot object: every motion that reads it must
// find it gone, never freed memory (the sanitizer build checks).
TEST_F(BulletTest, ChildrenOutliveTheirDeletedParent)
{
    struct Case {
        i32 moveType;
        i32 traceType;
        i32 releaseType;
    };
    const Case cases[] = {{0, 1, 0}, {0, 3, 0}, {17, 0, 0}, {19, 0, 0}, {23, 0, 0}, {24, 0, 4}, {12, 0, 0}};
    for (const Case& c : cases) {
        auto parentRecord = Record(0);
        parentRecord->GetValues().existenceTime = 0.25f;
        auto childRecord = Record(c.moveType);
        CBulletValues& v = childRecord->GetValues();
        v.traceType = c.traceType;
        v.hitReleaseType = c.releaseType;
        v.breakTime = 0.25f;
        v.stopTime = 0.25f;
        v.shootRange = 5.0f;
        v.scalePow = CVector3(0, 0, 1);
        v.hitCount = 1;
        v.bulletHitFlg = 1;
        v.revolveAngle = CVector3(1, 1, 1);
        CBullet* parent = Launch(*parentRecord, CVector3(), CVector3(1, 0, 0));
        CBullet* child = Launch(*childRecord, CVector3(), CVector3(0, 0, -1), parent, parent);
        // A returning blade meets a bullet while its parent is gone.
        auto blocker = Record(0);
        blocker->GetValues().velocity = 0.0f;
        blocker->GetValues().hitCount = 1;
        blocker->GetValues().hitRadius = 50.0f;
        blocker->GetValues().bulletHitFlg = 1;
        blocker->GetValues().per = 10.0f;
        FakeFighter other;
        other.team = 7;
        auto* block = new CBullet(blocker.get());
        BulletLaunchRecord launch;
        launch.shooter = &other;
        launch.shooterGroup = 7;
        launch.firingObject = &other;
        launch.direction = CVector3(1, 0, 0);
        block->Initialize(reinterpret_cast<intptr_t>(&launch));
        Frame();
        EXPECT_FALSE(InList(parent)) << c.moveType;
        EXPECT_EQ(child->GetShotObject(), nullptr) << c.moveType;
        scene_.bullets.Add(block);
        for (int f = 0; f < 6; ++f) Frame();
        for (const CBullet* b = scene_.bullets.First(); b; b = b->GetNext()) {
            EXPECT_TRUE(std::isfinite(b->GetPosition()->x)) << c.moveType;
            EXPECT_EQ(b->GetTarget(), nullptr) << c.moveType;
        }
        scene_.bullets.DeleteAll();
    }
}

TEST_F(BulletTest, CopyOwnsItsRecordAndSharesNoPlayingEffects)
{
    auto record = Record(3);
    record->GetValues().hitCount = 2;
    CBullet* original = Launch(*record, CVector3(1, 2, 3), CVector3(1, 0, 0), enemy_);
    std::unique_ptr<CBullet> copy(static_cast<CBullet*>(original->Clone()));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->GetRecord(), original->GetRecord());
    EXPECT_EQ(copy->GetState().targetId, original->GetState().targetId);
    EXPECT_EQ(copy->GetList(), nullptr);
    scene_.bullets.DeleteAll();
    record.reset();   // the copy reads its own record from here on
    scene_.bullets.Add(copy.get());
    Frame();
    EXPECT_EQ(copy->GetRecord()->GetValues().hitCount, 2);
    scene_.bullets.Remove(copy.get());
}

u64 HashOf(const CBulletList& list)
{
    CStateHash hash;
    list.HashState(hash);
    return hash.Value();
}

TEST_F(BulletTest, StateHashFoldsBulletsInListOrderAndRepeatsAcrossRuns)
{
    auto fast = Record(0);
    auto slow = Record(0);
    slow->GetValues().velocity = 1.0f;
    // Two runs from fresh registries with the same seeds: equal ids, equal
    // hashes; the addresses of the objects play no part.
    u64 runs[2] = {};
    for (u64& run : runs) {
        CObjectRegistry registry;
        registry.SetHandler(&scene_);
        SetObjectRegistry(&registry);
        auto shooter = std::make_unique<FakeFighter>();
        auto* a = new CBullet(fast.get());
        auto* b = new CBullet(slow.get());
        BulletLaunchRecord launch;
        launch.shooter = shooter.get();
        launch.firingObject = shooter.get();
        launch.direction = CVector3(0, 1, 0);
        a->Initialize(reinterpret_cast<intptr_t>(&launch));
        b->Initialize(reinterpret_cast<intptr_t>(&launch));
        CBulletList list;
        list.Add(a);
        list.Add(b);
        UpdateBullets(list, 0);
        RunBulletFirstPass(list, nullptr, 0, 0);
        run = HashOf(list);
        // The other order is another state.
        list.Remove(a);
        list.Add(a);
        EXPECT_NE(HashOf(list), run);
        list.DeleteAll();
        SetObjectRegistry(&registry_);
    }
    EXPECT_EQ(runs[0], runs[1]);
}

// A new bullet goes first; removal mends both neighbours and both ends.
TEST_F(BulletTest, ListPutsANewBulletFirstAndMendsItsNeighboursOnRemoval)
{
    auto record = Record(0);
    CBulletList list;
    CBullet* b[4] = {new CBullet(record.get()), new CBullet(record.get()), new CBullet(record.get()),
        new CBullet(record.get())};
    const auto order = [&] {
        std::vector<CBullet*> seen;
        for (CBullet* x = list.First(); x; x = x->GetNext()) seen.push_back(x);
        return seen;
    };
    for (CBullet* x : {b[0], b[1], b[2]}) EXPECT_EQ(list.Add(x), 1);
    EXPECT_EQ(list.Add(b[1]), 0);   // already in
    EXPECT_EQ(order(), (std::vector<CBullet*>{b[2], b[1], b[0]}));
    EXPECT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(list.Remove(b[1]), 1);   // the middle
    EXPECT_EQ(order(), (std::vector<CBullet*>{b[2], b[0]}));
    EXPECT_EQ(list.Remove(b[1]), 0);
    EXPECT_EQ(list.Remove(b[0]), 1);   // the last: the one before ends the list
    EXPECT_EQ(b[2]->GetNext(), nullptr);
    EXPECT_EQ(list.Add(b[3]), 1);
    EXPECT_EQ(list.Add(b[0]), 1);
    EXPECT_EQ(order(), (std::vector<CBullet*>{b[0], b[3], b[2]}));
    EXPECT_EQ(list.Remove(b[0]), 1);   // the first
    EXPECT_EQ(order(), (std::vector<CBullet*>{b[3], b[2]}));
    EXPECT_EQ(list.GetCount(), 2u);
    delete b[0];
    delete b[1];
    list.DeleteAll();
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.First(), nullptr);
}

// Divisions by values from the data: each zero gives finite results.
TEST_F(BulletTest, ZeroDivisorsFromDataGiveFiniteResults)
{
    FakeFighter target;
    const CVector3 near(0.0f, 0.0f, -2.0f);
    target.SetPosition(&near);
    struct Case {
        const char* name;
        i32 moveType;
        f32 velocity;
        f32 hitRadius;
        f32 swingRange;
    };
    const Case cases[] = {
        {"speed 0 in a pass through the target", 11, 0.0f, 1.0f, 1.0f},
        {"swing range 0", 25, 4.0f, 1.0f, 0.0f},
        {"hit radius 0", 0, 4.0f, 0.0f, 1.0f},
    };
    for (const Case& c : cases) {
        auto record = Record(c.moveType);
        CBulletValues& v = record->GetValues();
        v.velocity = c.velocity;
        v.hitRadius = c.hitRadius;
        v.swingRange = c.swingRange;
        v.swingAngle = 2.0f;
        v.swingSpeed = 90.0f;
        v.swingVec = CVector3(1, 0, 0);
        v.optionLength = 5.0f;
        v.rushCount = 3;
        v.suckingPow = 3.0f;
        v.shootRange = 0.5f;
        v.existenceTime = 10.0f;
        CBullet* b = Launch(*record, CVector3(), CVector3(0, 0, -1), &target);
        for (int f = 0; f < 6; ++f) Frame();
        CVector3 suction;
        b->GetSuctionVector(&target, &suction);
        for (f32 x : {b->GetPosition()->x, b->GetPosition()->y, b->GetPosition()->z, suction.x, suction.y, suction.z})
            EXPECT_TRUE(std::isfinite(x)) << c.name;
        scene_.bullets.DeleteAll();
    }
}

// Damage from the launch's scale, which data and skills multiply: NaN and
// values beyond i32 convert the same on every machine.
TEST_F(BulletTest, DamageBeyondTheIntegerRangeHoldsItsEndsAndNaNGivesNone)
{
    const struct {
        f32 scale;
        i32 damage, dotDamage;
    } cases[] = {
        {1.5f, 15, 4},
        {NAN, 0, 0},
        {1e30f, 2147483647, 2147483647},
        {-1e30f, -2147483647 - 1, -2147483647 - 1},
    };
    for (const auto& c : cases) {
        auto record = Record(0);
        record->GetValues().str = 10;
        record->GetValues().dotStr = 3;
        const CBullet* b = Launch(*record, CVector3(), CVector3(0, 0, -1), nullptr, nullptr, c.scale);
        EXPECT_EQ(std::pair(b->GetState().damage, b->GetState().dotDamage), std::pair(c.damage, c.dotDamage))
            << c.scale;
        scene_.bullets.DeleteAll();
    }
}

// Passing through the target: it follows a target whose squared distance
// from the end point stays below one frame's reach (dt x speed, 10 here),
// and gives up past it, well within the reach itself.
TEST_F(BulletTest, PassThroughFollowsATargetWithinOneFramesReach)
{
    FakeFighter target;
    CVector3 at(0.0f, 0.0f, -3.0f);
    target.SetPosition(&at);
    auto record = Record(11);
    CBulletValues& v = record->GetValues();
    v.velocity = 40.0f;   // 10 units a frame
    v.optionLength = 5.0f;
    v.rushInterval = 1.0f;
    v.rushCount = 100;
    v.existenceTime = 0.0f;
    CBullet* b = Launch(*record, CVector3(), CVector3(0, 0, -1), &target);
    Frame();
    ASSERT_EQ(b->GetState().motionType, 11);
    for (int f = 0; f < 4; ++f) {
        at.x += 3.0f;   // 9, inside 10
        target.SetPosition(&at);
        Frame();
        EXPECT_EQ(b->GetState().motionType, 11) << f;
        ExpectNear(b->GetState().endPoint, at, "end point", f);
    }
    const CVector3 held = b->GetState().endPoint;
    at.x += 3.2f;   // 10.24: past 10, though 3.2 is a third of the reach
    target.SetPosition(&at);
    Frame();
    EXPECT_EQ(b->GetState().motionType, 2);
    ExpectNear(b->GetState().endPoint, held, "end point left", 0);
    EXPECT_NEAR(b->GetState().velocity.Length(), 40.0f, 1e-3f);
}

// Two bullets head on, one unit apart, one unit a frame each.
struct PairCase {
    const char* name;
    i32 hitTypeA, hitTypeB;
    f32 perA, perB;
    i32 releaseA, releaseB;
    bool sameOwner;
    bool sameGroup;
    u32 sceneLetsGroupsMeet;
    bool aliveA, aliveB;
    f32 strengthA;   // after the frame; NaN: not checked
};

TEST_F(BulletTest, BulletPairsExchangeStrengthEraseAndRespectOwnersAndGroups)
{
    const PairCase cases[] = {
        {"strength 3 against 2", 0, 0, 3.0f, 2.0f, 0, 0, false, false, 0, true, false, 1.0f},
        {"strength 2 against 3", 0, 0, 2.0f, 3.0f, 0, 0, false, false, 0, false, true, NAN},
        {"same owner never meets", 0, 0, 3.0f, 2.0f, 0, 0, true, true, 1, true, true, 3.0f},
        {"same group, scene says no", 0, 0, 3.0f, 2.0f, 0, 0, false, true, 0, true, true, 3.0f},
        {"same group, scene says yes", 0, 0, 3.0f, 2.0f, 0, 0, false, true, 1, true, false, 1.0f},
        {"eraser first", 1, 0, 1.0f, 5.0f, 2, 0, false, false, 0, true, false, 1.0f},
        {"eraser second", 0, 1, 5.0f, 1.0f, 0, 2, false, false, 0, false, true, NAN},
    };
    for (const PairCase& c : cases) {
        scene_.sharedGroupsMeet = c.sceneLetsGroupsMeet;
        auto ra = Record(0);
        auto rb = Record(0);
        for (auto* r : {ra.get(), rb.get()}) {
            r->GetValues().hitCount = 1;
            r->GetValues().hitRadius = 0.5f;
            r->GetValues().bulletHitFlg = 1;
            r->GetValues().existenceTime = 10.0f;
        }
        ra->GetValues().hitType = c.hitTypeA;
        rb->GetValues().hitType = c.hitTypeB;
        ra->GetValues().per = c.perA;
        rb->GetValues().per = c.perB;
        ra->GetValues().hitReleaseType = c.releaseA;
        rb->GetValues().hitReleaseType = c.releaseB;
        CBullet* a = Launch(*ra, CVector3(-1, 0, 0), CVector3(1, 0, 0));
        auto* b = new CBullet(rb.get());
        BulletLaunchRecord launch;
        launch.position = CVector3(1, 0, 0);
        launch.direction = CVector3(-1, 0, 0);
        launch.shooter = c.sameOwner ? owner_ : enemy_;
        launch.shooterGroup = c.sameGroup ? owner_->team : enemy_->team;
        launch.firingObject = launch.shooter;
        b->Initialize(reinterpret_cast<intptr_t>(&launch));
        scene_.bullets.Add(b);
        // The grid boxes only come with the first update.
        Frame();
        EXPECT_EQ(InList(a), c.aliveA) << c.name;
        EXPECT_EQ(InList(b), c.aliveB) << c.name;
        if (!std::isnan(c.strengthA) && InList(a)) {
            EXPECT_FLOAT_EQ(a->GetState().strength, c.strengthA) << c.name;
        }
        scene_.bullets.DeleteAll();
    }
}

TEST_F(BulletTest, FreezerFreezesOnlyBulletsAfterItAndAbsorberFeedsItsOwner)
{
    auto freezer = Record(0);
    auto victim = Record(0);
    for (auto* r : {freezer.get(), victim.get()}) {
        r->GetValues().hitCount = 1;
        r->GetValues().hitRadius = 0.5f;
        r->GetValues().bulletHitFlg = 1;
        r->GetValues().hitReleaseType = 2;
        r->GetValues().velocity = 0.0f;
    }
    freezer->GetValues().hitType = 6;
    freezer->GetValues().freezeTime = 0.75f;
    freezer->GetValues().hitReleaseType = 6;   // destroys what it froze
    freezer->GetValues().hitTime = 0.3f;       // freezes in the first frame only
    // The freezer after its victim in the list: nothing.
    auto place = [&](const CBulletParameter& r, CObjectDivision* shooter, i32 group) {
        auto* b = new CBullet(&r);
        BulletLaunchRecord launch;
        launch.shooter = shooter;
        launch.shooterGroup = group;
        launch.firingObject = shooter;
        launch.direction = CVector3(1, 0, 0);
        b->Initialize(reinterpret_cast<intptr_t>(&launch));
        scene_.bullets.Add(b);
        return b;
    };
    // A new bullet goes first: the one placed last leads the list.
    place(*freezer, owner_, 0);
    CBullet* v1 = place(*victim, enemy_, 1);
    Frame();
    EXPECT_FALSE(v1->IsStopped());
    scene_.bullets.DeleteAll();

    CBullet* v2 = place(*victim, enemy_, 1);
    place(*freezer, owner_, 0);
    Frame();
    EXPECT_TRUE(v2->IsStopped());
    const f32 age = v2->GetState().age;
    Frame();
    EXPECT_EQ(v2->GetState().age, age);   // a frozen bullet does not age
    Frame();
    EXPECT_FALSE(InList(v2));   // 0.75 s: frozen out by release type 6
    scene_.bullets.DeleteAll();

    auto absorber = Record(0);
    absorber->GetValues() = victim->GetValues();
    absorber->GetValues().hitType = 8;
    absorber->GetValues().absorbingPow = 0.25f;
    victim->GetValues().str = 10;
    victim->GetValues().hitReleaseType = 0;
    place(*absorber, owner_, 0);
    CBullet* food = place(*victim, enemy_, 1);
    Frame();
    EXPECT_FALSE(InList(food));
    EXPECT_EQ(owner_->absorbed, 3);   // ceil(10 x 0.25)
}

TEST_F(BulletTest, BulletWithoutHitCountNeverStartsAPair)
{
    auto silent = Record(0);
    auto breakable = Record(0);
    for (auto* r : {silent.get(), breakable.get()}) {
        r->GetValues().hitRadius = 0.5f;
        r->GetValues().bulletHitFlg = 1;
        r->GetValues().velocity = 0.0f;
        r->GetValues().per = 1.0f;
    }
    breakable->GetValues().hitCount = 1;
    auto* a = new CBullet(silent.get());
    BulletLaunchRecord launch;
    launch.shooter = owner_;
    launch.firingObject = owner_;
    a->Initialize(reinterpret_cast<intptr_t>(&launch));
    launch.shooter = enemy_;
    launch.shooterGroup = 1;
    auto* b = new CBullet(breakable.get());
    b->Initialize(reinterpret_cast<intptr_t>(&launch));
    // The silent one first in the list: added last.
    scene_.bullets.Add(b);
    scene_.bullets.Add(a);
    Frame();
    EXPECT_TRUE(InList(a));
    EXPECT_TRUE(InList(b));
}

TEST_F(BulletTest, VibrationAndRestrictMessagesGoToTheOwner)
{
    struct Case {
        i32 vibration;
        u32 padMessagesAfterTwoFrames;
    };
    for (const Case& c : {Case{4, 0}, Case{0, 1}, Case{1, 1}, Case{2, 3}, Case{3, 3}}) {
        owner_->received.clear();
        auto record = Record(0);
        record->GetValues().vibrationType = c.vibration;
        record->GetValues().shootRestrict = c.vibration == 0 ? 5 : 0;
        Launch(*record, CVector3(), CVector3(1, 0, 0));
        Frame();
        Frame();
        EXPECT_EQ(owner_->Count(kMsgPadVibration), c.padMessagesAfterTwoFrames) << c.vibration;
        if (c.vibration == 0) {
            ASSERT_EQ(owner_->Count(kMsgShootRestrict), 1u);
        }
        scene_.bullets.DeleteAll();
    }
}


// Swing, SWINGSPEED 2 radians a second, SWINGVEC (2, 0.5, 0), SWINGANGLE 3,
// SWINGMINRANGE 1.3: flying one unit a frame from (20, 30, 40) straight at
// a target 20 ahead, the offset is SWINGVEC x sin(age x 2) x amplitude
// beside the straight path. SWINGRANGE 40: the amplitude 3 x distance / 40
// shrinks 1.5, 1.425, 1.35, then stops at the floor 1.3; SWINGRANGE 10:
// every distance is beyond it, the full 3.
TEST_F(BulletTest, SwingFollowsTheSineOfAgeWithinItsAmplitudeClamp)
{
    struct Case {
        f32 swingRange;
        CVector3 positions[4];
    };
    const Case cases[] = {
        {40.0f, {{21.438277f, 30.359569f, 39}, {22.398192f, 30.599548f, 38}, {22.693236f, 30.673309f, 37},
                    {22.364173f, 30.591043f, 36}}},
        {10.0f, {{22.876553f, 30.719138f, 39}, {25.048826f, 31.262206f, 38}, {25.984970f, 31.496242f, 37},
                    {25.455785f, 31.363946f, 36}}},
    };
    FakeFighter target(CVector3(20.0f, 30.0f, 20.0f));
    for (const Case& c : cases) {
        auto record = Record(25);
        CBulletValues& v = record->GetValues();
        v.swingVec = CVector3(2.0f, 0.5f, 0.0f);
        v.swingSpeed = 2.0f;
        v.swingAngle = 3.0f;
        v.swingMinRange = 1.3f;
        v.swingRange = c.swingRange;
        CBullet* b = Launch(*record, CVector3(20, 30, 40), CVector3(0, 0, -1), &target);
        for (int f = 0; f < 4; ++f) {
            Frame();
            ExpectNear(*b->GetPosition(), c.positions[f], "swing", f + 1);
        }
        scene_.bullets.DeleteAll();
    }
}

// A parent that has already ended by age (passing on message 1) still
// passes on its shot object's death to children that end only on it.
TEST_F(BulletTest, DeathOfTheShotObjectReachesChildrenOfAnEndedParent)
{
    auto parentRecord = Record(0);
    parentRecord->GetValues().existenceTime = 0.25f;
    parentRecord->GetValues().eventDeadEndFlg = 1;
    auto deadOnly = Record(0);
    deadOnly->GetValues().eventDeadEndFlg = 1;
    auto endOnly = Record(0);
    endOnly->GetValues().eventEndFlg = 1;
    CBullet* parent = Launch(*parentRecord, CVector3(10, 20, 30), CVector3(1, 0, 0));
    CBullet* onDeath = Launch(*deadOnly, CVector3(10, 20, 30), CVector3(1, 0, 0), nullptr, parent);
    CBullet* grandchild = Launch(*deadOnly, CVector3(10, 20, 30), CVector3(1, 0, 0), nullptr, onDeath);
    CBullet* onEnd = Launch(*endOnly, CVector3(10, 20, 30), CVector3(1, 0, 0), nullptr, onDeath);
    UpdateBullets(scene_.bullets, 0);
    ASSERT_TRUE(parent->IsEnded());
    EXPECT_FALSE(onDeath->IsEnded());
    owner_->SendObjectMessage(kMsgShotObjectDeadEnd, CObjectRegistry::kBroadcastId, kGroupBullet, 0);
    EXPECT_TRUE(onDeath->IsEnded());
    EXPECT_TRUE(grandchild->IsEnded());
    EXPECT_FALSE(onEnd->IsEnded());   // message 2 is not message 1
}


// The bullet's cube: centre (20, 30, 40), half size 2 (the hit radius),
// through vector (0.5, 0.25, 0.75) off the far faces.
TEST_F(BulletTest, BoxOverlapPushesOutOnlyAlongAxesWhereTheCubeSticksOut)
{
    struct Case {
        CVector3 cube;
        f32 half;
        CVector3 overlap;
    };
    const Case cases[] = {
        {{20.5f, 33, 40.2f}, 1.5f, {0, 2.5f, 0}},        // above: its top 34.5 over 32
        {{17.5f, 29, 40.5f}, 1, {-1.5f, 0, 0}},          // left: bottom 16.5 under 18; y flush
        {{21.6f, 33, 41.5f}, 1, {0, 0, 0}},              // beyond the through faces on x and z
        {{21.4f, 33, 41.5f}, 1, {0, 2, 0.5f}},           // just inside on x
        {{19, 27.5f, 36.5f}, 0.75f, {0, -1.25f, -2.25f}},  // below and in front
    };
    auto record = Record(0);
    record->GetValues().velocity = 0.0f;
    record->GetValues().hitRadius = 2.0f;
    record->GetValues().hitThroughVec = CVector3(0.5f, 0.25f, 0.75f);
    CBullet* b = Launch(*record, CVector3(20, 30, 40), CVector3(1, 0, 0));
    for (const Case& c : cases) {
        CVector3 out;
        b->GetBoxOverlap(c.cube, c.half, &out);
        ExpectNear(out, c.overlap, "overlap", int(&c - cases));
    }
}

// An incoming bullet flies at a counter bullet (HITTYPE 11) along
// (-3, 4, -12) / 13: the counter turns to face where it was struck, yaw
// atan2(3, 12) + 180 and pitch atan2(-4, sqrt(153)), its front toward the
// incoming, and aims at the incoming's owner.
TEST_F(BulletTest, CounterBulletFacesWhereItWasStruck)
{
    auto counter = Record(0);
    auto incoming = Record(0);
    for (auto* r : {counter.get(), incoming.get()}) {
        r->GetValues().hitCount = 1;
        r->GetValues().hitRadius = 1.0f;
        r->GetValues().bulletHitFlg = 1;
    }
    counter->GetValues().velocity = 0.0f;
    counter->GetValues().hitType = 11;
    counter->GetValues().hitReleaseType = 2;
    counter->GetValues().per = 5.0f;
    incoming->GetValues().per = 1.0f;
    const CVector3 at(20, 30, 40), from(3 / 13.0f, -4 / 13.0f, 12 / 13.0f);
    CBullet* c = Launch(*counter, at, CVector3(1, 0, 0));
    auto* in = new CBullet(incoming.get());
    BulletLaunchRecord launch;
    launch.position = at + from * 3.0f;
    launch.direction = -from;
    launch.shooter = enemy_;
    launch.shooterGroup = enemy_->team;
    launch.firingObject = enemy_;
    in->Initialize(reinterpret_cast<intptr_t>(&launch));
    scene_.bullets.Add(in);
    for (int f = 0; f < 3 && InList(in); ++f) Frame();
    ASSERT_FALSE(InList(in));
    EXPECT_EQ(c->GetTarget(), enemy_);
    CVector3 rotation;
    c->GetRotation(&rotation);
    EXPECT_NEAR(rotation.y, 194.036243f, 1e-3f);
    EXPECT_NEAR(rotation.x, -17.920250f, 1e-3f);
    EXPECT_EQ(rotation.z, 0.0f);
    CMatrix m;
    c->GetMatrix(&m);
    CVector3 front;
    CVector3(0, 0, -1).TransformNormalInto(m, &front);
    ExpectNear(front, from, "front", 0);
    ExpectNear(CVector3(m.m[3][0], m.m[3][1], m.m[3][2]), at, "placed", 0);
}

// Frozen for 0.5 s by a freezer that does not destroy (HITRELEASETYPE 2):
// options (MOVETYPE 12 to 14) end when the freeze runs out, the rest fly on
// with their own release type back.
TEST_F(BulletTest, OnlyOptionsEndWhenTheirFreezeRunsOut)
{
    const CVector3 at(20, 30, 40);
    enemy_->SetPosition(&at);
    for (i32 moveType : {12, 13, 14, 15, 0}) {
        auto freezer = Record(0);
        freezer->GetValues().velocity = 0.0f;
        freezer->GetValues().hitCount = 1;
        freezer->GetValues().hitRadius = 1.0f;
        freezer->GetValues().hitType = 6;
        freezer->GetValues().freezeTime = 0.5f;
        freezer->GetValues().hitReleaseType = 2;
        freezer->GetValues().hitTime = 0.3f;   // one freeze only
        auto victim = Record(moveType);
        victim->GetValues().velocity = 0.0f;
        victim->GetValues().hitRadius = 1.0f;
        victim->GetValues().bulletHitFlg = 1;
        victim->GetValues().per = 1.0f;
        auto* b = new CBullet(victim.get());
        BulletLaunchRecord launch;
        launch.position = at;
        launch.direction = CVector3(1, 0, 0);
        launch.shooter = enemy_;
        launch.shooterGroup = enemy_->team;
        launch.firingObject = enemy_;
        b->Initialize(reinterpret_cast<intptr_t>(&launch));
        scene_.bullets.Add(b);
        Launch(*freezer, at, CVector3(1, 0, 0));   // added last: first in the list
        Frame();
        EXPECT_TRUE(b->IsStopped()) << moveType;
        EXPECT_EQ(b->GetState().releaseType, 2) << moveType;
        Frame();   // the freezing frame counted 0.25 already
        const bool option = moveType >= 12 && moveType <= 14;
        EXPECT_EQ(InList(b), !option) << moveType;
        if (!option) {
            EXPECT_FALSE(b->IsStopped()) << moveType;
            EXPECT_EQ(b->GetState().releaseType, 0) << moveType;
        }
        scene_.bullets.DeleteAll();
    }
}

// The knock-back direction. The gun's growing beam of the motion table
// (MOVETYPE 19) is (1.81207, 1.02606, -2.15954) after one frame and after
// three (shrinking, counter B 1); HITTYPE 16 turns its y over in the
// shrinking phase. The others stand at (20, 30, 40), the target at
// (23, 34, 52).
TEST_F(BulletTest, HitVectorByHitType)
{
    struct Case {
        const char* name;
        i32 moveType, hitType, traceHitVec, frames;
        CVector3 want;
    };
    const Case cases[] = {
        {"beam 16 growing", 19, 16, 0, 1, {1.81207f, 1.02606f, -2.15954f}},
        {"beam 16 shrinking", 19, 16, 0, 3, {1.81207f, -1.02606f, -2.15954f}},
        {"beam 3 shrinking", 19, 3, 0, 3, {1.81207f, 1.02606f, -2.15954f}},
        {"traced", 0, 0, 1, 1, {0.6f, 0, -0.8f}},
        {"toward the target", 0, 0, 0, 1, {3 / 13.0f, 4 / 13.0f, 12 / 13.0f}},
    };
    FakeFighter gun(CVector3(25, 35, 45));
    *gun.GetRotation() = CVector3(20, -40, 0);
    for (const Case& c : cases) {
        auto record = Record(c.moveType);
        CBulletValues& v = record->GetValues();
        v.hitType = c.hitType;
        v.traceHitVecFlg = c.traceHitVec;
        v.scalePow = CVector3(0, 0, 8);
        v.shootRange = 5.0f;
        v.shootMinRange = 2.0f;
        v.positionOffset = CVector3(1, -0.5f, 0.75f);
        if (c.moveType == 0) v.velocity = 0.0f;
        CBullet* b = Launch(*record, CVector3(20, 30, 40), CVector3(0.6f, 0, -0.8f), nullptr,
            c.moveType == 19 ? &gun : nullptr);
        if (c.traceHitVec) const_cast<CBulletState&>(b->GetState()).velocity = CVector3(2.4f, 0, -3.2f);
        for (int f = 0; f < c.frames; ++f) Frame();
        CVector3 out;
        b->GetHitVector(CVector3(23, 34, 52), &out);
        ExpectNear(out, c.want, c.name, c.frames);
        scene_.bullets.DeleteAll();
    }
}

// Suction toward a bullet at (20, 30, 40) of hit radius 26 from a target
// 13 away at (23, 34, 52): unit(-3, -4, -12) x SUCKINGPOW 8 x dt 0.25 x
// (26 - 13) / 26. Within SHOOTRANGE the bullet has reached it: nothing.
TEST_F(BulletTest, SuctionPullsTheTargetTowardTheBullet)
{
    struct Case {
        f32 shootRange;
        CVector3 want;
    };
    for (const Case& c : {Case{5.0f, {-3 / 13.0f, -4 / 13.0f, -12 / 13.0f}}, Case{20.0f, {0, 0, 0}}}) {
        auto record = Record(0);
        record->GetValues().velocity = 0.0f;
        record->GetValues().hitRadius = 26.0f;
        record->GetValues().suckingPow = 8.0f;
        record->GetValues().shootRange = c.shootRange;
        CBullet* b = Launch(*record, CVector3(20, 30, 40), CVector3(1, 0, 0));
        FakeFighter target(CVector3(23, 34, 52));
        CVector3 out;
        b->GetSuctionVector(&target, &out);
        ExpectNear(out, c.want, "suction", int(c.shootRange));
        EXPECT_FALSE(b->IsHitEnded());   // no effect loaded: it flies on
        scene_.bullets.DeleteAll();
    }
}

// HITTYPE 17 cannot be hit by the stage or by bullets: it never starts a
// pair, so only the other bullet taking it as second meets it.
TEST_F(BulletTest, HitTypeSeventeenMeetsBulletsOnlyAsSecondOfAPair)
{
    auto ghost = Record(0);
    ghost->GetValues().hitType = 17;
    auto plain = Record(0);
    for (auto* r : {ghost.get(), plain.get()}) {
        r->GetValues().velocity = 0.0f;
        r->GetValues().hitCount = 1;
        r->GetValues().hitRadius = 1.0f;
        r->GetValues().bulletHitFlg = 1;
        r->GetValues().per = 1.0f;
    }
    plain->GetValues().per = 3.0f;
    {
        CBullet g(ghost.get());
        BulletLaunchRecord launch;
        launch.shooter = launch.firingObject = owner_;
        ASSERT_EQ(g.Initialize(reinterpret_cast<intptr_t>(&launch)), 1);
        for (i32 group : {kGroupStage, kGroupBullet}) EXPECT_EQ(g.IsHittableBy(group), 0u) << group;
        for (i32 group : {kGroupFighter, kGroupSpellCard}) EXPECT_EQ(g.IsHittableBy(group), 1u) << group;
    }
    for (bool ghostFirst : {true, false}) {
        const CVector3 at(20, 30, 40);
        auto place = [&](const CBulletParameter& r, FakeFighter* shooter) {
            auto* b = new CBullet(&r);
            BulletLaunchRecord launch;
            launch.position = at;
            launch.direction = CVector3(1, 0, 0);
            launch.shooter = launch.firingObject = shooter;
            launch.shooterGroup = shooter->team;
            b->Initialize(reinterpret_cast<intptr_t>(&launch));
            scene_.bullets.Add(b);
            return b;
        };
        // Placed last, first in the list.
        CBullet* second = place(ghostFirst ? *plain : *ghost, enemy_);
        CBullet* first = place(ghostFirst ? *ghost : *plain, owner_);
        CBullet* g = ghostFirst ? first : second;
        Frame();
        EXPECT_EQ(InList(g), ghostFirst) << ghostFirst;   // strength 1 against 3 breaks it
        scene_.bullets.DeleteAll();
    }
}

// HITTYPE 18 is a beam: its step is the beam, never a move, and a cut
// shortens it to the cut point plus 0.01.
TEST_F(BulletTest, HitTypeEighteenHoldsItsPlaceAndIsCutLikeABeam)
{
    auto record = Record(0);
    record->GetValues().hitType = 18;
    record->GetValues().bulletHitFlg = 1;
    CBullet* b = Launch(*record, CVector3(20, 30, 40), CVector3(0.6f, 0, -0.8f));
    Frame();
    ExpectNear(*b->GetPosition(), CVector3(20, 30, 40), "held", 1);
    CVector3 hit;
    b->GetHitVector(CVector3(0, 0, 0), &hit);
    ExpectNear(hit, b->GetState().step, "hit vector", 1);
    Frame();   // the straight step ran again: one unit of beam
    ExpectNear(b->GetState().step, CVector3(0.6f, 0, -0.8f), "beam", 2);
    EXPECT_EQ(b->CutBeamAt(nullptr, CVector3(23, 34, 52)), 1);
    const f32 k = 13.01f / 13.0f;
    ExpectNear(b->GetState().step, CVector3(3 * k, 4 * k, 12 * k), "cut", 2);
    ExpectNear(b->GetState().endPoint, CVector3(20 + 3 * k, 30 + 4 * k, 40 + 12 * k), "end", 2);
    EXPECT_EQ(b->GetState().counterA, 1u);
}


u64 HashOf(const CObjectDivision& object)
{
    CStateHash hash;
    object.HashState(hash);
    return hash.Value();
}

// Every field of the state block, the grid box and the hit sphere alone;
// the linked objects by id, each moved to another live object; the carried
// barrage.
TEST_F(BulletTest, StateHashFollowsEachFieldOfTheBullet)
{
    FakeFighter other;
    auto record = Record(0);
    CBullet* b = Launch(*record, CVector3(20, 30, 40), CVector3(0.6f, 0, -0.8f), enemy_);
    Frame();
    ExpectEachChangesHash(*b, StateHashProbe::Fields(*b), "bullet");
    CBulletState& s = StateHashProbe::State(*b);
    for (u32* id : {&s.ownerId, &s.shotObjectId, &s.targetId}) {
        const u32 kept = *id;
        const u64 before = HashOf(*b);
        *id = other.GetId();
        EXPECT_NE(HashOf(*b), before) << "linked object " << (id - &s.ownerId);
        *id = kept;
    }
    const u64 before = HashOf(*b);
    StateHashProbe::Child(*b) = new CBarrage();
    EXPECT_NE(HashOf(*b), before);
}


// The stage's contact point (message 12) at (22, 31, 38), three units from
// a resting bullet at (20, 30, 40): breakable bullets and outbound blades
// stop there (step (2, 1, -2)), beams are cut there (0.01 beyond), the rest
// and bullets that ignore the stage fly on.
TEST_F(BulletTest, StageContactStopsOrCutsByReleaseType)
{
    struct Case {
        const char* name;
        i32 stageHit, releaseType, hitType;
        bool backHome;   // the target is the shot object
        CVector3 step;
        u32 cuts;
    };
    const f32 k = 3.01f / 3.0f;
    const Case cases[] = {
        {"breakable", 1, 0, 0, false, {2, 1, -2}, 0},
        {"blade outbound", 1, 4, 0, false, {2, 1, -2}, 0},
        {"blade on its way back", 1, 4, 0, true, {0, 0, 0}, 0},
        {"beam", 1, 2, 3, false, {2 * k, k, -2 * k}, 1},
        {"unbreakable", 1, 2, 0, false, {0, 0, 0}, 0},
        {"ignores the stage", 0, 0, 0, false, {0, 0, 0}, 0},
    };
    for (const Case& c : cases) {
        auto record = Record(0);
        CBulletValues& v = record->GetValues();
        v.velocity = 0.0f;
        v.stageHitFlg = c.stageHit;
        v.hitReleaseType = c.releaseType;
        v.hitType = c.hitType;
        v.bulletHitFlg = 1;
        CBullet* b = Launch(*record, CVector3(20, 30, 40), CVector3(1, 0, 0), c.backHome ? owner_ : enemy_);
        CMeshHitRecord hit;
        hit.point = CVector3(22, 31, 38);
        EXPECT_EQ(b->HandleMessage(kMsgStageSegmentHit, nullptr, reinterpret_cast<intptr_t>(&hit)), 1u) << c.name;
        ExpectNear(b->GetState().step, c.step, c.name, 0);
        EXPECT_EQ(b->GetState().counterA, c.cuts) << c.name;
        scene_.bullets.DeleteAll();
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
