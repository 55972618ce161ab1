// The stage against a box room whose triangles are known: moves, segments
// and spheres that touch, cross and miss it; the stage box; the shake and
// darkening of single views; the enclosure's walls fading in; the hash.
// Fighters are test doubles; drawing is read from the fake device's log.
#include "engine/core/StateHash.h"
#include "engine/graphics/Camera.h"
#include "engine/model/ModelMaterial.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ModelDeviceTest.h"
#include "engine/model/tests/ModelMeshes.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/StageEnclosure.h"
#include "game/battle/object/StageSetting.h"
#include "game/data/tests/SettingWriter.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "game/battle/object/tests/StateHashProbe.h"
#include "game/battle/testdata/StageRoom.h"
#include "game/data/tests/SettingWriter.h"
#include "host/kernel/tests/TempFolder.h"

#include <bit>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using battle_test::FakeFighter;
using stage_test::RoomModel;
using stage_test::WallModel;
using setting_test::Xyz;
using setting_test::SettingWriter;
namespace render = host::render;

namespace {

constexpr f32 kNear = 1e-4f;

// The room the collision cases are worked out in.
const CBox kRoom({-10, 0, -10}, {10, 10, 10});

class StageTest : public model_test::ModelDeviceTest {
protected:
    void SetUp() override
    {
        saved_ = GetObjectRegistry();
        registry_.SetHandler(&scene_);
        SetObjectRegistry(&registry_);
        SetFrameTime(0);
        for (const auto& [name, bytes] : {std::pair{"Room.mdl", RoomModel(kRoom)}, {"Wall.mdl", WallModel()}}) {
            const std::string path = folder_ / name;
            ASSERT_TRUE(host::kernel::WriteFileAtomic(path, bytes.data(), bytes.size()));
        }
    }
    void TearDown() override
    {
        stage_.reset();
        fighters_.clear();
        SetObjectRegistry(saved_);
        SetFrameTime(0);
    }

    // The writer with the room as HIT model.
    SettingWriter RoomStage() const
    {
        SettingWriter text;
        text.Set("HIT", (folder_ / "Room.mdl").c_str());
        return text;
    }

    // A stage from the text, loaded and initialised.
    CStage& MakeStage(const SettingWriter& text)
    {
        auto* settings = new CStageSetting();
        EXPECT_EQ(settings->ParseText("Stage.txt", text.Text().c_str(), '=', ';', nullptr, 0), 1);
        stage_ = std::make_unique<CStage>(settings);
        EXPECT_EQ(stage_->LoadResource(&resources_), 1);
        EXPECT_EQ(stage_->Initialize(0), 1);
        return *stage_;
    }

    FakeFighter& Fighter(const CVector3& at, f32 radius = 0.0f, i32 slot = -1)
    {
        fighters_.push_back(std::make_unique<FakeFighter>());
        FakeFighter& f = *fighters_.back();
        f.SetPosition(&at);
        f.SetBoundingRadius(radius);
        f.slot = slot;
        return f;
    }

    static const FakeFighter::Received* Last(const FakeFighter& f, u32 message)
    {
        for (auto it = f.received.rbegin(); it != f.received.rend(); ++it)
            if (it->message == message) return &*it;
        return nullptr;
    }

    // Sends as from, to the stage's group.
    static u32 ToStage(FakeFighter& from, u32 message, intptr_t parameter)
    {
        return from.SendObjectMessage(message, CObjectRegistry::kBroadcastId, kGroupStage, parameter);
    }

    host::kernel::testing::TempFolder folder_;
    battle_test::FakeBattleScene scene_;
    CObjectRegistry registry_;
    CResourceController resources_;
    std::unique_ptr<CStage> stage_;
    std::vector<std::unique_ptr<FakeFighter>> fighters_;

private:
    CObjectRegistry* saved_ = nullptr;
};


// Darkness and shake of each view slot, field by field.
TEST_F(StageTest, TheHashFollowsEachFieldOfEverySlot)
{
    CStage& stage = MakeStage(SettingWriter());
    ExpectEachChangesHash(stage, StateHashProbe::Fields(stage), "stage");
}

}  // namespace

TEST_F(StageTest, SegmentsAndSpheresAgainstTheRoom)
{
    CStage& stage = MakeStage(RoomStage());
    ASSERT_NE(stage.GetHitModel(), nullptr);
    const struct {
        const char* what;
        CVector3 at;
        CVector3 along;   // a segment's direction; (radius, 0, 0) for a sphere
        bool sphere;
        CVector3 point;   // the hit; a miss has no normal
        CVector3 normal;
        u32 triangle, subset;
    } cases[] = {
        // x = 10 at y 2 of 10, z 10 of 20: u 0.2 < w 0.5, the second half.
        {"out through +X", {5, 2, 0}, {10, 0, 0}, false, {10, 2, 0}, {-1, 0, 0}, 7, 1},
        // y = 0 at z 4 of 20, x 13 of 20: the floor's second half, range 0.
        {"down through the floor", {3, 4, -6}, {0, -8, 0}, false, {3, 0, -6}, {0, 1, 0}, 1, 0},
        // Leaving from the ceiling itself: met at the start (z 0.6 > x 0.5).
        {"starts on the ceiling, going up", {0, 10, 2}, {0, 2, 0}, false, {0, 10, 2}, {0, -1, 0}, 2, 1},
        // A step that stops on a face has not crossed it yet.
        {"ends on the ceiling", {0, 5, 2}, {0, 5, 0}, false, {}, {}, 0, 0},
        {"stays inside", {0, 5, 0}, {3, 1, 2}, false, {}, {}, 0, 0},
        // The faces look inwards: coming in from outside meets nothing.
        {"in through +X from outside", {15, 2, 0}, {-10, 0, 0}, false, {}, {}, 0, 0},
        // Floor at z 13 of 20, x 12 of 20: u 0.65 >= w 0.6, the first half.
        {"sphere into the floor", {2, 0.5f, 3}, {1, 0, 0}, true, {2, 0, 3}, {0, 1, 0}, 0, 0},
        // -Z at x 14 of 20, y 6 of 10: u 0.7 >= w 0.6.
        {"sphere into -Z", {4, 6, -9.5f}, {1, 0, 0}, true, {4, 6, -10}, {0, 0, 1}, 8, 1},
        {"sphere touching -Z", {4, 6, -9}, {1, 0, 0}, true, {}, {}, 0, 0},
        // The floor is reached 1.5 from the diameter's top, +X 1.4: +X wins.
        {"sphere into a floor corner", {9.6f, 0.5f, 0}, {1, 0, 0}, true, {10, 0.5f, 0}, {-1, 0, 0}, 7, 1},
        {"sphere in the middle", {0, 5, 0}, {2, 0, 0}, true, {}, {}, 0, 0},
        {"sphere beyond +X", {12, 5, 0}, {1, 0, 0}, true, {}, {}, 0, 0},
    };
    for (const auto& c : cases) {
        FakeFighter& f = Fighter(c.at, c.sphere ? c.along.x : 0.0f);
        f.direction = c.along;
        const bool hit = c.normal.LengthSquared() > 0.0f;
        EXPECT_EQ(c.sphere ? stage.CollideSphere(&f) : stage.CollideSegment(&f), hit ? 1u : 0u) << c.what;
        const FakeFighter::Received* r = Last(f, c.sphere ? kMsgStageSphereHit : kMsgStageSegmentHit);
        ASSERT_EQ(r != nullptr, hit) << c.what;
        if (!r) continue;
        for (int axis = 0; axis < 3; ++axis) EXPECT_NEAR(r->hit.point[axis], c.point[axis], kNear) << c.what;
        EXPECT_EQ(Xyz(r->hit.normal), Xyz(c.normal)) << c.what;
        EXPECT_EQ(r->hit.triangle, c.triangle) << c.what;
        EXPECT_EQ(r->hit.subset, c.subset) << c.what;
    }
}

TEST_F(StageTest, AMoveStopsAtTheHitPoint)
{
    MakeStage(RoomStage());
    FakeFighter& mover = Fighter({5, 2, 0});
    CVector3 move(10, 0, 0);
    EXPECT_EQ(ToStage(mover, kMsgStageMoveTest, reinterpret_cast<intptr_t>(&move)), 1u);
    EXPECT_EQ(Xyz(move), Xyz(5, 0, 0));
    ASSERT_NE(Last(mover, kMsgStageMoveHit), nullptr);
    EXPECT_EQ(Xyz(Last(mover, kMsgStageMoveHit)->hit.point), Xyz(10, 2, 0));

    CVector3 short_(2, 0, 0);
    EXPECT_EQ(ToStage(mover, kMsgStageMoveTest, reinterpret_cast<intptr_t>(&short_)), 0u);
    EXPECT_EQ(Xyz(short_), Xyz(2, 0, 0));

    // Without a hit model every move "hits" and nothing is cut.
    MakeStage(SettingWriter());
    CVector3 free(50, 0, 0);
    EXPECT_EQ(ToStage(mover, kMsgStageMoveTest, reinterpret_cast<intptr_t>(&free)), 1u);
    EXPECT_EQ(Xyz(free), Xyz(50, 0, 0));
    EXPECT_EQ(stage_->CollideSegment(&mover), 1u);
    EXPECT_EQ(stage_->CollideSphere(&mover), 1u);
}

TEST_F(StageTest, TheBoxReportsWhoeverTouchesItsFaces)
{
    CStage& stage = MakeStage(SettingWriter());
    const struct {
        CVector3 at;
        f32 radius;
        u32 outside;
    } cases[] = {
        {{98.9f, 0, 0}, 1, 0},
        {{99, 0, 0}, 1, 1},
        {{-99, 0, 0}, 1, 1},   // touching counts as outside
        {{0, 98.5f, -98.5f}, 1, 0},
        {{0, 0, -99.5f}, 1, 1},
        {{0, 0, 0}, 100, 1},
        {{NAN, 0, 0}, 1, 1},
    };
    for (const auto& c : cases) {
        FakeFighter& f = Fighter(c.at, c.radius);
        EXPECT_EQ(ToStage(f, kMsgStageBoxTest, 0), c.outside) << c.at.x << " " << c.at.y << " " << c.at.z;
        const FakeFighter::Received* r = Last(f, kMsgOutsideStageBox);
        ASSERT_EQ(r != nullptr, c.outside == 1u);
        if (r) {
            EXPECT_EQ(r->parameter, reinterpret_cast<intptr_t>(stage.GetSettings()->GetParameters()));
        }
    }
}

TEST_F(StageTest, ShakeDecaysPerSlotAfterItsTime)
{
    CStage& stage = MakeStage(SettingWriter());
    FakeFighter& sender = Fighter({});
    const u32 one = 1, two = 2, beyond = 7;
    ToStage(sender, kMsgSmallShake, reinterpret_cast<intptr_t>(&one));
    ToStage(sender, kMsgLargeShake, reinterpret_cast<intptr_t>(&two));
    ToStage(sender, kMsgLargeShake, reinterpret_cast<intptr_t>(&beyond));
    // 5.0 and 7.5 held for VIBRATETIME 1 s, then lost at 10 a second.
    SetFrameTime(250);
    const f32 small[] = {5, 5, 5, 2.5f, 0, 0};
    const f32 large[] = {7.5f, 7.5f, 7.5f, 5, 2.5f, 0};
    for (int frame = 0; frame < 6; ++frame) {
        stage.Update(0);
        EXPECT_EQ(stage.GetShakeAmplitude(1), small[frame]) << frame;
        EXPECT_EQ(stage.GetShakeAmplitude(2), large[frame]) << frame;
        EXPECT_EQ(stage.GetShakeAmplitude(0), 0.0f);
    }
    // A new shake starts over.
    ToStage(sender, kMsgSmallShake, reinterpret_cast<intptr_t>(&one));
    EXPECT_EQ(stage.GetShakeAmplitude(1), 5.0f);
    EXPECT_EQ(stage.GetShakeTimer(1), 0.0f);
}

TEST_F(StageTest, ASlotOfFourIsNoViewSlotAndChangesNothing)
{
    // Views run 0..3: a shake for slot 4, or darkening from a fighter that
    // answers 4, leaves every slot as it was; slot 3 still takes them.
    CStage& stage = MakeStage(SettingWriter());
    FakeFighter& four = Fighter({}, 0, 4);
    FakeFighter& three = Fighter({}, 0, 3);
    CCamera camera;
    const CVector3 eye, target(0, 0, 10), up(0, 1, 0);
    camera.SetLookAt(&eye, &target, &up);
    four.camera = &camera;
    const auto hash = [&] {
        CStateHash h;
        stage.HashState(h);
        return h.Value();
    };
    const u64 before = hash();
    const u32 slot4 = 4, slot3 = 3;
    const f32 half = 0.5f;
    ToStage(four, kMsgSmallShake, reinterpret_cast<intptr_t>(&slot4));
    ToStage(four, kMsgLargeShake, reinterpret_cast<intptr_t>(&slot4));
    ToStage(four, kMsgStageDarkening, 1);
    ToStage(four, kMsgDarkLimit, reinterpret_cast<intptr_t>(&half));
    stage.Update(0);
    EXPECT_EQ(hash(), before);
    EXPECT_EQ(stage.ShakeViewCamera(&four), 1u);
    EXPECT_EQ(Xyz(camera.GetTarget()), Xyz(target));
    EXPECT_EQ(stage.DrawDarkening(&four), 0u);

    ToStage(three, kMsgSmallShake, reinterpret_cast<intptr_t>(&slot3));
    ToStage(three, kMsgStageDarkening, 1);
    EXPECT_EQ(stage.GetShakeAmplitude(3), 5.0f);
    EXPECT_NE(hash(), before);
}

TEST_F(StageTest, ShakeTurnsOnlyTheShakenViewsCameraByFrameTime)
{
    // The phase is the stage's frame-time clock t in ms: angle t degrees
    // x VIBRATESPEED, the offset's form by t mod 4, amplitude 5.
    const struct {
        u32 t;
        u32 enabled;       // the game option
        CVector3 target;   // eye at 0, looking 10 along +z
    } cases[] = {
        {60, 1, {4.330127f, 4.330127f, 10}},   // 0: (sin, sin, 0) x 5 x 0.1 x 10
        {61, 1, {2.424048f, 2.424048f, 10}},   // 1: (cos, cos, 0)
        {90, 1, {5, 0, 10}},                   // 2: (sin, 0, 0)
        {63, 1, {0, 4.455032f, 10}},           // 3: (0, sin, 0)
        {90, 0, {0, 0, 10}},
    };
    for (const auto& c : cases) {
        CStage& stage = MakeStage(SettingWriter());
        CCamera shaken, steady;
        const CVector3 eye, target(0, 0, 10), up(0, 1, 0);
        shaken.SetLookAt(&eye, &target, &up);
        steady.SetLookAt(&eye, &target, &up);
        FakeFighter& a = Fighter({}, 0, 1);
        FakeFighter& b = Fighter({}, 0, 0);
        a.camera = &shaken;
        b.camera = &steady;
        const u32 slot = 1;
        ToStage(a, kMsgSmallShake, reinterpret_cast<intptr_t>(&slot));
        SetFrameTime(c.t);
        stage.Update(0);
        scene_.shakeEnabled = c.enabled;
        EXPECT_EQ(stage.ShakeViewCamera(&a), 1u);
        EXPECT_EQ(stage.ShakeViewCamera(&b), 1u);
        EXPECT_EQ(Xyz(shaken.GetEye()), Xyz(0, 0, 0));
        EXPECT_NEAR(shaken.GetTarget().x, c.target.x, kNear) << c.t;
        EXPECT_NEAR(shaken.GetTarget().y, c.target.y, kNear) << c.t;
        EXPECT_NEAR(shaken.GetTarget().z, c.target.z, kNear) << c.t;
        EXPECT_EQ(Xyz(steady.GetTarget()), Xyz(target));
    }
}

TEST_F(StageTest, DarkeningFollowsTheSendersSlotAndFillsItsViewOnly)
{
    CStage& stage = MakeStage(SettingWriter());
    FakeFighter& a = Fighter({}, 0, 2);
    FakeFighter& b = Fighter({}, 0, 1);
    FakeFighter& silent = Fighter({});   // answers no slot: taken as 0
    EXPECT_EQ(ToStage(a, kMsgStageDarkening, 1), 1u);
    const f32 half = 0.5f, huge = 5.0f;
    ToStage(b, kMsgDarkLimit, reinterpret_cast<intptr_t>(&half));
    ToStage(b, kMsgStageDarkening, 1);
    ToStage(silent, kMsgStageDarkening, 1);
    ToStage(silent, kMsgDarkLimit, reinterpret_cast<intptr_t>(&huge));
    for (int frame = 0; frame < 12; ++frame) stage.Update(0);
    EXPECT_EQ(stage.GetDarkness(2), 1.0f);
    EXPECT_EQ(stage.GetDarkness(1), 0.5f);
    EXPECT_EQ(stage.GetDarkness(3), 0.0f);

    ASSERT_EQ(device_->BeginScene(), 1);
    // Alpha: trunc(darkness x 76); a darkness of 5 would wrap past 255.
    FakeFighter& clear = Fighter({}, 0, 3);
    const struct {
        FakeFighter* viewer;
        u32 alpha;   // 0: not drawn
    } views[] = {{&a, 76}, {&b, 38}, {&silent, 255}, {&clear, 0}, {nullptr, 0}};
    for (int frame = 0; frame < 40; ++frame) stage.Update(0);
    for (const auto& v : views) {
        fake_->ClearLog();
        EXPECT_EQ(stage.DrawDarkening(v.viewer), v.alpha ? 1u : 0u);
        const std::vector<render::Call> fills = fake_->Find(render::CallMatch("DrawPrimitiveUP"));
        ASSERT_EQ(fills.size(), v.alpha ? 1u : 0u);
        for (const auto& fill : fills) EXPECT_EQ(fill.U32At(16), v.alpha << 24);
        EXPECT_EQ(stage.DrawDarkMesh(v.viewer), v.alpha ? 1u : 0u);
    }
    device_->EndScene();

    // Off: back to 0 the next frame.
    ToStage(a, kMsgStageDarkening, 0);
    stage.Update(0);
    EXPECT_EQ(stage.GetDarkness(2), 0.0f);
    EXPECT_EQ(stage.GetDarkness(1), 0.5f);
}

TEST_F(StageTest, DrawSetsLinearFogFromTheSettings)
{
    SettingWriter text;
    text.Set("FOGSTART", 20.5f).Set("FOGEND", 400.0f).Set("FOGCOLORR", 0).Set("FOGCOLORG", 128);
    CStage& stage = MakeStage(text);
    fake_->ClearLog();
    device_->SetFogEnable(0);
    EXPECT_EQ(stage.Draw(0u), 1);
    const auto state = [](u32 s) { return render::CallMatch("SetRenderState").With("state", s); };
    EXPECT_TRUE(fake_->HasSequence({state(render::kRsFogStart).With("value", std::bit_cast<u32>(20.5f)),
        state(render::kRsFogEnd).With("value", std::bit_cast<u32>(400.0f)),
        state(render::kRsFogColor).With("value", 0xFF0080FFu),
        state(render::kRsFogVertexMode).With("value", render::kFogLinear),
        state(render::kRsFogEnable).With("value", 1)}));
    render::FakeEffect* effect = render::FakeRender::AsFake(GetDefaultShader()->GetEffect());
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->Value("g_FogStart"), std::vector<float>{20.5f});
    EXPECT_EQ(effect->Value("g_FogEnd"), std::vector<float>{400.0f});
}

TEST_F(StageTest, WallsFadeInByTheViewersDistance)
{
    const std::string wall = folder_ / "Wall.mdl";
    SettingWriter all;
    all.Set("ENCLOSUREXP", wall.c_str()).Set("ENCLOSUREXM", wall.c_str()).Set("ENCLOSUREZP", wall.c_str());
    SettingWriter threeWalls = all;
    all.Set("ENCLOSUREZM", wall.c_str());
    // Default box +-100, MINVISIBLE 2, MAXVISIBLE 10; walls +X, -X, +Z, -Z.
    const struct {
        const SettingWriter* text;
        CVector3 at;
        std::vector<f32> alphas;
    } cases[] = {
        {&all, {98, 0, 0}, {1}},
        {&all, {93, 0, 0}, {0.5f}},
        {&all, {88, 0, 0}, {}},
        {&all, {0, 0, 0}, {}},
        {&all, {95, 0, -97}, {0.7f, 0.9f}},   // a corner: each wall by its own distance
        {&threeWalls, {95, 0, -97}, {0.7f}},  // -Z named "Non Name"
        {&all, {-150, 0, 0}, {}},             // far outside
        {&all, {-99.5f, 0, 0}, {1}},
    };
    ASSERT_EQ(device_->BeginScene(), 1);
    for (const auto& c : cases) {
        CStage& stage = MakeStage(*c.text);
        FakeFighter& viewer = Fighter(c.at);
        fake_->ClearLog();
        EXPECT_EQ(stage.GetEnclosure()->Draw(viewer.GetId()), 1);
        std::vector<f32> alphas;
        for (const auto& call : fake_->Find(render::CallMatch("Effect.SetVector").WithText("name", "g_MaterialDiffuse")))
            alphas.push_back(call.FloatAt(12));
        ASSERT_EQ(alphas.size(), c.alphas.size()) << c.at.x << " " << c.at.z;
        for (size_t i = 0; i < alphas.size(); ++i) EXPECT_NEAR(alphas[i], c.alphas[i], kNear) << c.at.x;
        // Drawn unfogged and unlit; both back on afterwards, blend mode 1 kept.
        EXPECT_EQ(fake_->LastDevice()->RenderState(render::kRsFogEnable), 1u);
        EXPECT_EQ(fake_->LastDevice()->RenderState(render::kRsLighting), 1u);
        EXPECT_EQ(fake_->LastDevice()->RenderState(render::kRsSrcBlend), render::kBlendSrcAlpha);
    }
    EXPECT_EQ(stage_->DrawEnclosure(nullptr), 0u);
    device_->EndScene();
}

TEST_F(StageTest, TheEnclosureHoldsTheWholeBoxWhereverItIs)
{
    const struct {
        CBox box;
        CVector3 centre;
        f32 radius;
        CVector3 half;   // what the HUD divides by
    } cases[] = {
        {{{-100, -100, -100}, {100, 100, 100}}, {0, 0, 0}, 173.20508f, {100, 100, 100}},
        // Per-axis min(|MAX|, |MIN|) would give about 70.7 about the
        // origin and cull walls in plain view.
        {{{-50, 0, -50}, {150, 100, 150}}, {50, 50, 50}, 150.0f, {100, 50, 100}},
        {{{20, 0, 20}, {20, 0, 20}}, {20, 0, 20}, 0.0f, {1, 1, 1}},
        {{{5, 5, 5}, {-5, -5, -5}}, {0, 0, 0}, 0.0f, {1, 1, 1}},
    };
    for (const auto& c : cases) {
        SettingWriter text;
        text.Set("STAGEMINX", c.box.min.x).Set("STAGEMINY", c.box.min.y).Set("STAGEMINZ", c.box.min.z);
        text.Set("STAGEMAXX", c.box.max.x).Set("STAGEMAXY", c.box.max.y).Set("STAGEMAXZ", c.box.max.z);
        CStage& stage = MakeStage(text);
        const CStageEnclosure& enclosure = *stage.GetEnclosure();
        EXPECT_EQ(enclosure.IsDepthSorted(), 1u);
        EXPECT_EQ(Xyz(*enclosure.GetPosition()), Xyz(c.centre));
        EXPECT_NEAR(enclosure.GetBoundingRadius(), c.radius, kNear);
        EXPECT_EQ(Xyz(stage.GetHalfExtent()), Xyz(c.half));
    }
}

TEST_F(StageTest, ACopyDrawsForItselfAndOutlivesItsSource)
{
    SettingWriter text;
    text.Set("FOGEND", 321.0f);
    MakeStage(text);
    const u32 slot = 2;
    FakeFighter& f = Fighter({}, 0, 2);
    ToStage(f, kMsgSmallShake, reinterpret_cast<intptr_t>(&slot));
    auto copy = std::unique_ptr<CStage>(stage_->Clone());
    EXPECT_NE(copy->GetId(), stage_->GetId());
    EXPECT_EQ(copy->GetShakeAmplitude(2), 5.0f);
    EXPECT_NE(copy->GetSettings(), stage_->GetSettings());
    EXPECT_EQ(copy->GetEnclosure()->GetStage(), copy.get());
    stage_.reset();
    EXPECT_EQ(copy->GetSettings()->GetParameters()->fogEnd, 321.0f);
    EXPECT_EQ(copy->GetEnclosure()->Draw(f.GetId()), 1);
    // An enclosure whose stage is gone draws nothing.
    const CStageEnclosure orphan(*copy->GetEnclosure());
    copy.reset();
    EXPECT_EQ(const_cast<CStageEnclosure&>(orphan).Draw(f.GetId()), 0);
}

TEST_F(StageTest, LoadingNeedsSettingsAndAController)
{
    CStage bare;
    EXPECT_EQ(bare.LoadResource(&resources_), 0);
    // What the getters load without a controller would have no owner.
    CStage unmanaged(new CStageSetting());
    EXPECT_EQ(unmanaged.LoadResource(nullptr), 0);
    FakeFighter& f = Fighter({500, 0, 0});
    EXPECT_EQ(bare.IsOutsideStageBox(&f), 0u);
}

TEST_F(StageTest, TheHashFollowsTheSimulationNotTheView)
{
    CStage& stage = MakeStage(SettingWriter());
    const auto hash = [&stage] {
        CStateHash h;
        stage.HashState(h);
        return h.Value();
    };
    CCamera camera;
    FakeFighter& f = Fighter({}, 0, 0);
    f.camera = &camera;
    u64 last = hash();
    const u32 slot = 0;
    ToStage(f, kMsgSmallShake, reinterpret_cast<intptr_t>(&slot));
    EXPECT_NE(hash(), last);
    last = hash();
    stage.ShakeViewCamera(&f);   // drawing only
    EXPECT_EQ(hash(), last);
    ToStage(f, kMsgStageDarkening, 1);
    EXPECT_NE(hash(), last);
    last = hash();
    SetFrameTime(16);
    stage.Update(0);
    EXPECT_NE(hash(), last);
}

}  // namespace ORV_TEST_FILE_ID
