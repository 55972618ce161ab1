#include "game/battle/character/tests/CharacterTestSupport.h"

#include "engine/graphics/Camera.h"
#include "game/battle/object/MeshHitRecord.h"
#include "game/battle/object/StageSetting.h"

#include <cmath>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace character_test;

class CharacterMeetTest : public ScriptedFighterTest {
protected:
    std::unique_ptr<ScriptedFighter> Fighter(CVector3 at, u32 slot, i32 team)
    {
        auto f = NewFighter<ScriptedFighter>();
        f->Create(nullptr);
        CharacterBody& body = f->GetParameter()->values.body;
        body.radius = 1.0f, body.height = 2.0f;
        f->GetParameter()->values.guard.radius = 1.5f, f->GetParameter()->values.guard.angle = 60.0f;
        f->GetParameter()->values.general.hp = 100;
        f->SetPosition(&at);
        f->GetStatus()->participantSlot = slot, f->GetStatus()->team = team;
        return f;
    }
    CVector3 Pos(const CCharacterBase& f) { return *f.CCharacterBase::GetPosition(); }
    // A shot of record launched at from along the unit direction, speed
    // units a frame; its resources bound when given. The caller deletes it.
    static CBullet* Shot(CBulletParameter* record, CObjectDivision* shooter, const CVector3& at,
                         const CVector3& direction, f32 speed, CResourceController* resources = nullptr)
    {
        auto* bullet = new CBullet(record);
        if (resources) {
            EXPECT_EQ(bullet->LoadResource(resources), 1);
        }
        BulletLaunchRecord launch;
        launch.position = at;
        launch.direction = direction;
        launch.shooter = launch.firingObject = shooter;
        EXPECT_EQ(bullet->Initialize(reinterpret_cast<intptr_t>(&launch)), 1);
        bullet->SetDirection(direction * speed);
        return bullet;
    }
    // A shot from 3 units along z on side toward the origin, two units a frame.
    static CBullet* ShotFrom(CBulletParameter* record, CObjectDivision* shooter, f32 side,
                             CResourceController* resources = nullptr)
    {
        return Shot(record, shooter, {0, 1, 3 * side}, {0, 0, -side}, 2, resources);
    }
};

TEST_F(CharacterMeetTest, SweepsStopAtContact)
{
    // Radii 1: spheres touch at 2 apart. Head-on at 6 each over 10 closes in
    // 2/3 of the frame; a chaser at 12 behind one at 2 stops 2 short of it.
    struct Case { CVector3 ma, mb, wantA, wantB; } cases[] = {
        {{6, 0, 0}, {-6, 0, 0}, {4, 0, 0}, {-4, 0, 0}},
        {{12, 0, 0}, {2, 0, 0}, {10, 0, 0}, {2, 0, 0}},
        {{0, 0, 0}, {-12, 0, -0}, {0, 0, 0}, {-12, 0, 0}},   // still A: B's own move is not cut
    };
    for (const Case& c : cases) {
        auto a = Fighter({0, 0, 0}, 0, 0), b = Fighter({10, 0, 0}, 1, 1);
        a->GetStatus()->displacement = c.ma, b->GetStatus()->displacement = c.mb;
        EXPECT_EQ(a->CollideCharacter(b.get(), 0), 1);
        for (auto [got, want] : {std::pair{a->GetStatus()->displacement, c.wantA}, {b->GetStatus()->displacement, c.wantB}}) {
            EXPECT_NEAR(got.x, want.x, 1e-4f);
            EXPECT_NEAR(got.z, want.z, 1e-4f);
        }
    }
}

TEST_F(CharacterMeetTest, PushApartSeparatesOverlappingAndCoincidentFighters)
{
    struct Case { CVector3 b; f32 wantAx, wantBx; } cases[] = {
        {{1, 0, 0}, -0.55f, 1.55f},   // overlap 1.1, half each
        {{0, 0, 0}, -1.05f, 1.05f},   // one place: apart along x by 2.1, no NaN
    };
    for (const Case& c : cases) {
        auto a = Fighter({0, 0, 0}, 0, 0), b = Fighter(c.b, 1, 0);
        EXPECT_EQ(a->PushApart(b.get(), 0), 1);
        EXPECT_NEAR(Pos(*a).x, c.wantAx, 1e-5f);
        EXPECT_NEAR(Pos(*b).x, c.wantBx, 1e-5f);
        EXPECT_FALSE(std::isnan(Pos(*a).y) || std::isnan(Pos(*b).z));
    }
    // Only the movable one moves, by the whole overlap.
    auto a = Fighter({0, 0, 0}, 0, 0), b = Fighter({1, 0, 0}, 1, 0);
    b->GetStatus()->action = kActionBound;
    a->PushApart(b.get(), 0);
    EXPECT_NEAR(Pos(*a).x, -1.1f, 1e-5f);
    EXPECT_EQ(Pos(*b).x, 1.0f);
}

TEST_F(CharacterMeetTest, ChargingFoesClashFriendsDoNot)
{
    for (i32 team : {1, 0}) {
        auto a = Fighter({0, 0, 0}, 0, 0), b = Fighter({1, 0, 0}, 1, team);
        a->GetStatus()->action = kActionDash, b->GetStatus()->action = kActionMirageSlide;
        a->CollideCharacter2(b.get(), 0);
        EXPECT_EQ(a->GetMeeting().clashes + b->GetMeeting().clashes, team ? 2u : 0u);
    }
}

TEST_F(CharacterMeetTest, GuardStopsBulletsFromTheFrontOnly)
{
    auto bulletRecord = std::make_unique<CBulletParameter>();
    CBulletValues& v = bulletRecord->GetValues();
    v.hitCount = 1, v.hitRadius = 0.5f, v.vibrationType = 4, v.mpScrape = 5;
    // Yaw 0 faces -z: a shot from -z meets the guard, one from +z the back.
    for (f32 side : {-1.0f, 1.0f}) {
        auto c = Fighter({0, 0, 0}, 1, 1);
        auto shooter = Fighter({0, 0, 50}, 0, 0);
        c->GetStatus()->action = kActionGuard;
        c->GetStatus()->mp = 50;
        CBullet* bullet = ShotFrom(bulletRecord.get(), shooter.get(), side);
        EXPECT_EQ(c->GuardBullet(bullet, 0), side < 0 ? 1u : 0u);
        EXPECT_EQ(c->GetMeeting().guardedHits, side < 0 ? 1u : 0u);
        EXPECT_EQ(c->GetStatus()->mp, side < 0 ? 45.0f : 50.0f);
        delete bullet;
    }
}

// A guarded shot outside the just-guard window holds the guard for its
// GUARDSTIFFENTIME once the button is let go (frames of 0.25 s); inside the
// window (guard gauge below JUSTGUARDTIME) it holds nothing.
TEST_F(CharacterMeetTest, AGuardedShotHoldsTheGuardForItsStiffenTime)
{
    auto record = std::make_unique<CBulletParameter>();
    CBulletValues& v = record->GetValues();
    v.hitCount = 1, v.hitRadius = 0.5f;
    const struct {
        f32 stiffen, gauge;
        u32 frames;   // in the guard without the button
    } rows[] = {{0.5f, 1.0f, 2}, {0.0f, 1.0f, 0}, {0.5f, 0.1f, 0}};
    for (const auto& r : rows) {
        v.guardStiffenTime = r.stiffen;
        auto c = Fighter({0, 0, 0}, 1, 1);
        auto shooter = Fighter({0, 0, 50}, 0, 0);
        c->GetParameter()->values.guard.justGuardTime = 0.2f;
        ASSERT_EQ(c->StartGuard(-1), 1u);
        c->GetStatus()->guardGauge = r.gauge, c->GetStatus()->mp = 10;   // no MP breaks the guard
        CBullet* bullet = ShotFrom(record.get(), shooter.get(), -1);
        EXPECT_EQ(c->GuardBullet(bullet, 0), 1u);
        delete bullet;
        EXPECT_EQ(c->GetStatus()->timers.guardHold, r.gauge < 0.2f ? 0.0f : r.stiffen) << r.stiffen << " " << r.gauge;
        u32 frames = 0;
        const InputPacket none = Pad({});
        for (u32 f = 0; f < 4; ++f) {
            c->ApplyInputPacket(&none);
            c->Update(0);
            if (c->GetStatus()->action == kActionGuard) ++frames;
        }
        EXPECT_EQ(frames, r.frames) << r.stiffen << " " << r.gauge;
    }
}

// A guarded shot shows its hit effect where the guard stopped it; a shot
// that misses the guard shows none here.
TEST_F(CharacterMeetTest, AGuardedShotPlaysItsHitEffectAtTheGuard)
{
    auto* hit = new CEffectContainer();
    hit->SetName("Spark");
    auto* object = new CEffectObject();
    object->SetName("glow");
    ASSERT_EQ(hit->AddObject(object), 1u);
    void* slot = hit;
    resources_.GetEffectList()->Add(&slot);
    setting_test::SettingWriter().Set("NAME", "shot").Set("HITRADIUS", 0.5f).Set("EFCBULLETHIT", "Spark.efc")
        .Save("Shot.txt");
    CBulletParameter record;
    ASSERT_EQ(record.LoadFile("Shot.txt"), 1);
    for (f32 side : {-1.0f, 1.0f}) {
        auto c = Fighter({0, 0, 0}, 1, 1);
        auto shooter = Fighter({0, 0, 50}, 0, 0);
        c->GetStatus()->action = kActionGuard;
        CBullet* bullet = ShotFrom(&record, shooter.get(), side, &resources_);
        ASSERT_NE(bullet->GetHitEffect(), nullptr);
        effects_.Release();
        ASSERT_EQ(effects_.Create(nullptr, 256, 256), 1);
        EXPECT_EQ(c->GuardBullet(bullet, 0), side < 0 ? 1u : 0u);
        const CEffect* played = effects_.GetFirstEffect();
        EXPECT_EQ(played != nullptr, side < 0) << side;
        if (played) {
            EXPECT_NEAR(const_cast<CEffect*>(played)->GetPlacePosition()->z, -1.5f, 0.6f);
        }
        delete bullet;
    }
}

// A solid shot (CHRACTORHITVECFLG) stops the fighter's step short of it,
// stops the shot at the fighter, and raises the camera's collision flag; a
// shot without the flag passes through the first pass untouched.
TEST_F(CharacterMeetTest, ASolidShotStopsTheFighterAndRaisesTheCameraCollision)
{
    auto record = std::make_unique<CBulletParameter>();
    CBulletValues& v = record->GetValues();
    v.hitCount = 1, v.hitRadius = 0.5f;
    for (const i32 solid : {1, 0}) {
        v.chractorHitVecFlg = solid;
        auto c = Fighter({0, 0, 0}, 1, 1);
        auto shooter = Fighter({0, 0, 50}, 0, 0);
        c->UpdateMatrix();
        c->GetAnimationController()->UpdateMatrices(c->GetWorldMatrix());
        CVector3 body;
        c->GetAnimationController()->GetFrameByName("Body")->CombinedMatrix.GetTranslation(&body);
        CBullet* bullet = Shot(record.get(), shooter.get(), body + CVector3(0, 0, -3), {0, 0, 1}, 4);
        c->GetStatus()->displacement = {0, 0, -2};
        EXPECT_EQ(c->HitTestBullet(bullet, 0), 1);
        auto& camera = *static_cast<FakeCamera*>(c->GetCameraController());
        EXPECT_EQ(camera.collision, u32(solid)) << solid;
        CVector3 step;
        bullet->GetDirection(&step);
        if (solid) {
            EXPECT_LT(c->GetStatus()->displacement.Length(), 2.0f);
            EXPECT_LT(step.Length(), 4.0f);
        } else {
            EXPECT_EQ(c->GetStatus()->displacement.z, -2.0f);
            EXPECT_EQ(step.z, 4.0f);
        }
        delete bullet;
    }
}

// Each body sphere a solid shot meets cuts it in list order, against the step
// the spheres before it left. The shot starts at z -5 with a step of 4 and
// radius 0.5; the far sphere (r 0.5 at z -1) is met at z -1.5, 3.5 along,
// the near one (r 0.3 at z -3) at z -3.3, 1.7 along. A sphere cuts the
// fighter's step (2 toward -z) to its radius less 0.99, turning it round.
TEST_F(CharacterMeetTest, EveryBodySphereASolidShotMeetsCutsIt)
{
    auto record = std::make_unique<CBulletParameter>();
    CBulletValues& v = record->GetValues();
    v.hitCount = 1, v.hitRadius = 0.5f, v.chractorHitVecFlg = 1;
    const struct {
        const char* what;
        CVector3 first, second;
        f32 firstRadius, secondRadius;
        f32 step, displacement;
    } rows[] = {
        // The far sphere, then the near one the shorter step still reaches.
        {"far then near", {0, 1, -1}, {0, 1, -3}, 0.5f, 0.3f, 1.8f, -0.69f},
        // The near one first: the far one is out of the step it leaves.
        {"near then far", {0, 1, -3}, {0, 1, -1}, 0.3f, 0.5f, 1.8f, 0.69f},
        // Out of the shot's way, the second sphere cuts nothing.
        {"far, then one aside", {0, 1, -1}, {4, 1, -3}, 0.5f, 0.3f, 3.6f, 0.49f},
    };
    for (const auto& r : rows) {
        auto c = NewFighter<ScriptedFighter>();
        CharacterBody& body = c->GetParameter()->values.body;
        body.radius = 1.0f, body.height = 2.0f;
        ASSERT_EQ(body.hitSphere.GetCount(), 2u);
        // Spheres on no bone stand where the fighter's world puts them.
        const CVector3 centres[2] = {r.first, r.second};
        const f32 radii[2] = {r.firstRadius, r.secondRadius};
        for (u32 i = 0; i < 2; ++i) {
            CHitSphereRecord& sphere = *body.hitSphere.GetAt(i);
            sphere.bone = CString("Non Name"), sphere.position = centres[i], sphere.radius = radii[i], sphere.type = 0;
        }
        c->Create(nullptr);
        c->GetStatus()->participantSlot = 1, c->GetStatus()->team = 1;
        c->UpdateMatrix();
        auto shooter = Fighter({0, 0, 50}, 0, 0);
        CBullet* bullet = Shot(record.get(), shooter.get(), {0, 1, -5}, {0, 0, 1}, 4);
        c->GetStatus()->displacement = {0, 0, -2};
        EXPECT_EQ(c->HitTestBullet(bullet, 0), 1);
        CVector3 step;
        bullet->GetDirection(&step);
        EXPECT_NEAR(step.z, r.step, 1e-5f) << r.what;
        EXPECT_NEAR(c->GetStatus()->displacement.z, r.displacement, 1e-5f) << r.what;
        EXPECT_EQ(step.x, 0.0f) << r.what;
        EXPECT_EQ(c->GetStatus()->displacement.x, 0.0f) << r.what;
        delete bullet;
    }
}

TEST_F(CharacterMeetTest, AnswersMessages)
{
    auto c = Fighter({0, 0, 0}, 3, 1);
    c->GetParameter()->values.body.largePadVibrationPow = 900;
    CharacterStatus& s = *c->GetStatus();
    s.hp = 90;
    i32 heal = 50, restrict = 7;
    CMeshHitRecord wall{{4, 1, 0}, {-1, 0, 0}};
    StageParameters stage{};
    stage.box = CBox({-10, 0, -10}, {10, 10, 10});
    u32 slot = 0;
    struct Case { u32 message; intptr_t parameter; u32 result; } cases[] = {
        {7, intptr_t(&heal), 1}, {36, intptr_t(&slot), 1}, {37, 0, 0}, {41, 0, 1}, {45, 1, 1},
        {51, intptr_t(&restrict), 7}, {12, intptr_t(&wall), 1}, {3, 0, 1}, {52, 0, 1},
    };
    for (const Case& k : cases) EXPECT_EQ(c->HandleCharacterMessage(k.message, nullptr, k.parameter), k.result) << k.message;
    EXPECT_EQ(s.hp, 100);   // capped at HP
    EXPECT_EQ(slot, 3u);
    EXPECT_EQ(c->GetInput().vibrationRight, 900u);
    EXPECT_EQ(c->CanShoot(), 0u);   // restricted
    EXPECT_NEAR(s.displacement.x, 3.0f, 1e-5f);   // to touch the point at 4
    const CVector3 out(12, -1, 0);
    c->SetPosition(&out);
    c->HandleCharacterMessage(14, nullptr, intptr_t(&stage));
    EXPECT_EQ(Pos(*c).x, 9.0f);
    EXPECT_EQ(Pos(*c).y, 0.0f);

    // The view camera: the one its controller owns, or the word left alone.
    CCamera view;
    for (CCamera* owned : {&view, static_cast<CCamera*>(nullptr)}) {
        static_cast<FakeCamera*>(c->GetCameraController())->camera = owned;
        CCamera* got = nullptr;
        EXPECT_EQ(c->HandleCharacterMessage(kMsgViewCamera, nullptr, intptr_t(&got)), 1u);
        EXPECT_EQ(got, owned);
    }
    EXPECT_EQ(c->HandleCharacterMessage(kMsgViewCamera, nullptr, 0), 1u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
