// The other fighters' panels and screen markers, and the radar: which
// elements draw, where, in which colour, and what the radar leaves of the
// device's stencil states.
#include "engine/graphics/Camera.h"
#include "engine/graphics/GraphicDevice.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/StageSetting.h"
#include "game/battle/scene/EnemyConsole.h"
#include "game/battle/scene/MapConsole.h"
#include "game/battle/scene/tests/ConsoleTestSupport.h"

#include <algorithm>
#include <cmath>

namespace ORV_TEST_FILE_ID {

namespace render = host::render;

namespace {

using namespace console_test;

class MarkerTest : public ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        // From the origin along +z, 90 degrees high: a point straight ahead
        // lands on the viewport's centre.
        const CVector3 eye(0, 0, 0), target(0, 0, 1), up(0, 1, 0);
        camera_.SetLookAt(&eye, &target, &up);
        camera_.SetPerspective(90.0f, 4.0f / 3.0f, 1.0f, 1000.0f);
        camera_.SetViewport(0, 0, 1024, 768);
        viewer_.camera = &camera_;
        viewer_.team = 0;
        enemy_.team = 1;
        enemy_.characterId = 0;
        mate_.team = 0;
    }

    std::vector<Sprite> Draw(bool panel)
    {
        CEnemyConsole console(&scene_);
        EXPECT_EQ(console.Load(&enemy_, &viewer_, &list_, &layout_), 1u);
        console.Update(0);
        Place();
        if (panel) {
            console.Draw(0);
        } else {
            console.DrawTag(0);
            console.DrawReticle(0);
        }
        return Sprites();
    }

    static const Sprite* Named(const std::vector<Sprite>& s, const char* name)
    {
        const auto it = std::find_if(s.begin(), s.end(), [&](const Sprite& x) { return x.name == name; });
        return it == s.end() ? nullptr : &*it;
    }

    CCamera camera_;
    FakeHudFighter viewer_, enemy_, mate_;
    HudFighterList list_{&viewer_, &enemy_, &mate_};
};

CStage* AddStage(CResourceList& list, f32 halfX, f32 halfZ)
{
    auto* setting = new CStageSetting();
    setting->GetParameters()->box.min = CVector3(-halfX, -10, -halfZ);
    setting->GetParameters()->box.max = CVector3(halfX, 10, halfZ);
    auto* stage = new CStage(setting);
    void* slot = static_cast<CValueBase*>(stage);
    list.Add(&slot);
    return stage;
}

}  // namespace

TEST_F(MarkerTest, ReticleFadesWithDistanceAndTakesTheHitColour)
{
    viewer_.lockOn = &enemy_;
    enemy_.nearRadius = 10.0f;
    const struct {
        f32 z;
        u32 hittable;
        bool drawn;
        u32 colour;
    } cases[] = {
        {140.0f, 1, true, 0xFFFF0000u},
        {143.34f, 0, true, 0x00FFF600u},
        {5.0f, 1, true, 0x00FF0000u},     // inside the near radius
        {-50.0f, 1, false, 0},           // behind the camera
    };
    for (const auto& c : cases) {
        enemy_.position = CVector3(0, 0, c.z);
        enemy_.hittable = c.hittable;
        const std::vector<Sprite> s = Draw(false);
        const Sprite* reticle = Named(s, "TarWak");
        ASSERT_EQ(reticle != nullptr, c.drawn) << c.z;
        if (reticle) {
            EXPECT_EQ(reticle->colour, c.colour) << c.z;
            EXPECT_FLOAT_EQ(reticle->x, kElementX + 512.0f) << c.z;
        }
        fake_->ClearLog();
    }
}

TEST_F(MarkerTest, ATeamMateOnTheSameTargetSharesTheReticle)
{
    enemy_.position = CVector3(0, 0, 50);
    viewer_.lockOn = &enemy_;
    const struct {
        const HudFighter* mateTarget;
        u32 mateTeam;
        const char* reticle;
    } cases[] = {{&enemy_, 0, "TarWak2"}, {&enemy_, 2, "TarWak"}, {nullptr, 0, "TarWak"}};
    for (const auto& c : cases) {
        mate_.lockOn = c.mateTarget;
        mate_.team = c.mateTeam;
        const std::vector<Sprite> s = Draw(false);
        EXPECT_NE(Named(s, c.reticle), nullptr) << c.reticle;
        EXPECT_EQ(Named(s, c.reticle[6] ? "TarWak" : "TarWak2"), nullptr);
        fake_->ClearLog();
    }
}

TEST_F(MarkerTest, TagShowsTeamHpAndNameUnlessConcealed)
{
    enemy_.position = CVector3(0, 0, 10);
    enemy_.hp = 250;
    enemy_.maxHp = 1000;
    std::vector<Sprite> s = Draw(false);
    for (const char* n : {"TarEnCbl", "TarHpWk", "TarHp", "TarNta"}) EXPECT_NE(Named(s, n), nullptr) << n;
    ASSERT_NE(Named(s, "TarHp"), nullptr);
    EXPECT_FLOAT_EQ(Named(s, "TarHp")->w, 2.0f);
    EXPECT_EQ(Named(s, "TarWak"), nullptr);   // not locked
    fake_->ClearLog();

    enemy_.buff3 = 1.0f;
    s = Draw(false);
    EXPECT_TRUE(s.empty());
}

TEST_F(MarkerTest, PanelShowsWhatTheFighterStateAllows)
{
    const struct {
        const char* what;
        f32 buff3;
        u32 flags2, action, downKind, team;
        bool enemyLocksViewer, viewerLocksEnemy;
        std::vector<std::string> shown, hidden;
    } cases[] = {
        {"plain", 0, 0, 0, 0, 1, false, false, {"En_Gwk", "En_Ghp", "EnCbu", "En_ta", "EnNta", "Enspin", "EnTlo",
            "rei_empA_m"}, {"lb_??", "lb_unkno", "EnCha", "EnPin", "EnLed", "EnLock"}},
        {"concealed", 1, 0, 0, 0, 1, true, true, {"lb_unkno", "EnLed", "EnLock"}, {"En_Ghp", "EnNta", "Enspin"}},
        {"hidden skills", 0, 0x100000, 14, 5, 1, false, false, {"lb_??", "En_Ghp"}, {"Enspin", "EnCha"}},
        {"opponent down", 0, 0, 14, 6, 1, false, false, {"EnCha"}, {"EnPin"}},
        {"mate down", 0, 0, 14, 5, 0, false, false, {"EnPin", "EnCre"}, {"EnCha"}},
        {"other down kind", 0, 0, 14, 4, 1, false, false, {}, {"EnCha", "EnPin"}},
    };
    for (const auto& c : cases) {
        enemy_.buff3 = c.buff3;
        enemy_.skillFlags2[1] = c.flags2;
        enemy_.action = c.action;
        enemy_.downKind = c.downKind;
        enemy_.team = c.team;
        enemy_.lockOn = c.enemyLocksViewer ? &viewer_ : nullptr;
        viewer_.lockOn = c.viewerLocksEnemy ? &enemy_ : nullptr;
        const std::vector<Sprite> s = Draw(true);
        for (const std::string& n : c.shown) EXPECT_NE(Named(s, n.c_str()), nullptr) << c.what << ": " << n;
        for (const std::string& n : c.hidden) EXPECT_EQ(Named(s, n.c_str()), nullptr) << c.what << ": " << n;
        fake_->ClearLog();
    }
}

class MapTest : public MarkerTest {
protected:
    std::vector<Sprite> DrawMap()
    {
        CMapConsole map(&scene_);
        EXPECT_EQ(map.Load(&stages_, &viewer_, &list_, &layout_), 1u);
        fake_->ClearLog();
        map.Draw(0);
        return Sprites();
    }

    std::vector<Sprite> Markers(const std::vector<Sprite>& s)
    {
        std::vector<Sprite> out;
        std::copy_if(s.begin(), s.end(), std::back_inserter(out), [](const Sprite& x) { return x.name == "mapsk"; });
        return out;
    }

    CResourceList stages_;
};

TEST_F(MapTest, MarkersLieByTheirOffsetFromTheOwnFighter)
{
    // Arena half extents 100 in x and 50 in z over two stage objects; the
    // map is 8 x 8 with its centre at (104, 204).
    AddStage(stages_, 100, 10);
    AddStage(stages_, 20, 50);
    const f32 cx = kElementX + 4, cy = kElementY + 4;
    const struct {
        const char* what;
        u32 radar;
        f32 cameraYaw, mateYaw;
        CVector3 mate;
        f32 x, y;
    } cases[] = {
        {"fixed, larger x: left", 0, 0, 0, CVector3(100, 0, 0), cx - 4, cy},
        {"fixed, larger z: lower", 0, 0, 0, CVector3(0, 0, 25), cx, cy + 2},
        {"turning a quarter", 1, 90, 90, CVector3(100, 0, 0), cx, cy + 4},
    };
    for (const auto& c : cases) {
        viewer_.radarType = c.radar;
        viewer_.cameraYaw = c.cameraYaw;
        mate_.position = c.mate;
        mate_.yaw = c.mateYaw;
        enemy_.position = CVector3(0, 0, 0);
        enemy_.yaw = viewer_.yaw = c.cameraYaw;
        const std::vector<Sprite> m = Markers(DrawMap());
        ASSERT_EQ(m.size(), 3u) << c.what;
        EXPECT_FLOAT_EQ(m[0].x, cx) << c.what;   // the owner at the centre
        EXPECT_FLOAT_EQ(m[0].y, cy) << c.what;
        EXPECT_EQ(m[0].colour, 0xFFFF0000u);
        EXPECT_NEAR(m[2].x, c.x, 1e-4) << c.what;
        EXPECT_NEAR(m[2].y, c.y, 1e-4) << c.what;
        fake_->ClearLog();
    }
}

TEST_F(MapTest, MarkerColourIsTheTeamsGreyWhenDefeatedWhiteWithoutTeam)
{
    AddStage(stages_, 100, 100);
    enemy_.action = HudFighter::kActionDefeated;
    mate_.team = 7;
    const std::vector<Sprite> m = Markers(DrawMap());
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[1].colour, 0xFF808080u);
    EXPECT_EQ(m[2].colour, 0xFFFFFFFFu);
}

TEST_F(MapTest, FlatOrMissingArenaKeepsMarkersFinite)
{
    mate_.position = CVector3(30, 0, -30);
    for (const bool flat : {true, false}) {
        if (flat) AddStage(stages_, 0, 0);
        const std::vector<Sprite> s = DrawMap();
        ASSERT_FALSE(s.empty());
        for (const Sprite& x : s) EXPECT_TRUE(std::isfinite(x.x) && std::isfinite(x.y)) << x.name;
        fake_->ClearLog();
        stages_.Release();
    }
}

TEST_F(MapTest, StencilClipsToTheDiscAndIsLeftAsFound)
{
    AddStage(stages_, 100, 100);
    render::Device* device = GetGraphicDevice()->GetDevice();
    const u32 states[] = {render::kRsStencilEnable, render::kRsStencilFunc, render::kRsStencilRef,
        render::kRsStencilPass, render::kRsStencilZFail, render::kRsStencilMask};
    const u32 before[] = {1, render::kCmpLess, 7, render::kStencilOpIncr, render::kStencilOpZero, 0x0F};
    for (u32 i = 0; i < 6; ++i) ASSERT_EQ(device->SetRenderState(states[i], before[i]), render::Result::Ok);
    DrawMap();
    EXPECT_TRUE(fake_->HasSequence({
        render::CallMatch("SetRenderState").With("state", render::kRsStencilFunc).With("value", render::kCmpAlways),
        render::CallMatch("DrawPrimitiveUP"),
        render::CallMatch("SetRenderState").With("state", render::kRsStencilFunc).With("value", render::kCmpEqual),
        render::CallMatch("DrawPrimitiveUP"),
    }));
    for (u32 i = 0; i < 6; ++i) {
        u32 value = 0;
        device->GetRenderState(states[i], value);
        EXPECT_EQ(value, before[i]) << states[i];
    }
    EXPECT_EQ(GetGraphicDevice()->GetRenderStates()->colorWriteEnable, 0xFu);
}

}  // namespace ORV_TEST_FILE_ID
