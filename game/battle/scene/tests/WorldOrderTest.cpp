// What one view of the battle shows: the local fighter's camera and HUD
// whatever its colour, the 3D console drawn right after the walls, and the
// stage's ambient effect drawn through the render list.
#include "game/battle/scene/tests/BattleSceneTestSupport.h"

#include "engine/graphics/Camera.h"
#include "engine/model/RenderList.h"
#include "engine/platform/Input.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/Particle.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/StageEnclosure.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/Console3D.h"

#include <algorithm>
#include <vector>

namespace world_order_test {

namespace ORV_TEST_FILE_ID {

inline namespace ORV_TEST_FILE_ID {

using namespace scene_test;

class WorldOrderTest : public BattleSceneTest {
protected:
    void SetUp() override
    {
        BattleSceneTest::SetUp();
        app_.input = &input_;
    }
    void DrawFrame(CBattleScene& scene)
    {
        ASSERT_EQ(device_->BeginScene(), 1);
        ASSERT_EQ(scene.Draw(0), 1);
        ASSERT_EQ(device_->EndScene(), 1);
    }
    // Frames with player 1's buttons held.
    void Frames(CBattleScene& scene, u32 n, std::initializer_list<u32> held = {})
    {
        for (u32 f = 0; f < n; ++f) {
            InputState& pad = *input_.GetInputState(0);
            std::fill(std::begin(pad.held), std::end(pad.held), 0u);
            for (u32 code : held) pad.held[code] = 1;
            ASSERT_EQ(scene.Update(0), 1);
        }
    }
    CInput input_;
};

// The render list after the draw, in the order it drew.
std::vector<CObjectBase*> Drawn(CBattleScene& scene)
{
    std::vector<CObjectBase*> order;
    CRenderList* list = scene.GetRenderList();
    for (u32 i = 0; i < list->GetCount(); ++i) order.push_back(static_cast<CObjectBase*>(list->GetAt(i)));
    return order;
}

// Player 1 on colour 2 of four fighters: the one view, the HUD drawn and the
// counter on it are player 1's own, and the counter moves when it shoots.
TEST_F(WorldOrderTest, TheLocalFightersColourLeavesItsViewAndHudItsOwn)
{
    CBattleSetup* setup = OneViewSetup();
    setup->entries[0].characterWords[0] = 2;
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(setup), 1u);
    ASSERT_EQ(scene.GetCharacterCount(), 4u);
    ASSERT_EQ(scene.GetLocalCharacter(), scene.GetCharacter(0));
    EXPECT_EQ(scene.GetCharacter(0)->GetStatus()->followed, 0u);
    Frames(scene, 300);   // past the countdown
    ASSERT_FALSE(HasFatalFailure());
    DrawFrame(scene);
    EXPECT_EQ(scene.GetViewedCharacter(0), 0u);
    EXPECT_EQ(scene.GetDrawnEntry(), scene.GetLocalEntry());
    const CBattleConsole* console = scene.GetConsole(scene.GetViewedCharacter(0));
    ASSERT_NE(console, nullptr);
    const ConsoleSetup& hud = console->GetSetup();
    ASSERT_TRUE(hud.characters && hud.ownIndex < hud.characters->size());
    const HudFighter& own = *(*hud.characters)[hud.ownIndex];
    EXPECT_EQ(own.GetEntryIndex(), scene.GetLocalEntry());
    const u32 shots = own.GetActionCount(2);
    ASSERT_GT(shots, 0u);
    Frames(scene, 6, {24});
    Frames(scene, 30);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_LT(own.GetActionCount(2), shots);
}

// The console's sphere is the enclosure's, one unit smaller: far to near,
// it draws right after the walls.
TEST_F(WorldOrderTest, TheConsoleDrawsRightAfterTheWalls)
{
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(OneViewSetup()), 1u);
    Frames(scene, 10);
    ASSERT_FALSE(HasFatalFailure());
    CStage* stage = scene.GetStage();
    ASSERT_TRUE(stage && stage->GetEnclosure());
    const CStageEnclosure* walls = stage->GetEnclosure();
    const CConsole3D* view = scene.GetConsole(0)->GetView();
    ASSERT_NE(view, nullptr);
    EXPECT_FLOAT_EQ(view->GetBoundingRadius(), walls->GetBoundingRadius() - 1.0f);
    CObjectBase& w = const_cast<CStageEnclosure&>(*walls);
    CObjectBase& v = const_cast<CConsole3D&>(*view);
    EXPECT_EQ(v.GetPosition()->x, w.GetPosition()->x);
    EXPECT_EQ(v.GetPosition()->y, w.GetPosition()->y);
    EXPECT_EQ(v.GetPosition()->z, w.GetPosition()->z);
    DrawFrame(scene);
    const std::vector<CObjectBase*> order = Drawn(scene);
    const auto at = [&](const CObjectBase* o) { return std::find(order.begin(), order.end(), o) - order.begin(); };
    ASSERT_LT(size_t(at(walls)), order.size());
    EXPECT_EQ(at(view), at(walls) + 1);
}

// The stage's ambient effect draws into the view's render list: its
// depth-sorted particle, set in front of the view, is among the list's
// entries, sorted with the rest.
TEST_F(WorldOrderTest, TheStagesAmbientEffectDrawsThroughTheList)
{
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(OneViewSetup()), 1u);
    Frames(scene, 10);
    ASSERT_FALSE(HasFatalFailure());
    CStage* stage = scene.GetStage();
    ASSERT_NE(stage, nullptr);
    CEffectContainer ambient;
    auto* glow = new CEffectObject();
    glow->SetName("glow");
    glow->GetParticleTrack().AddKey(0.0f, 1u);
    glow->GetNodeSettings().sorted = 1;
    ambient.AddObject(glow);
    CResourceBase* look = stage->GetResource();
    stage->SetResource(&ambient);
    ASSERT_EQ(stage->CreateAttachedEffect(), 1);
    stage->SetResource(look);
    ASSERT_EQ(stage->UpdateAttachedEffect(), 1);
    const CCamera* view = scene.GetCharacter(scene.GetViewedCharacter(0))->GetCameraController()->GetCamera();
    ASSERT_NE(view, nullptr);
    const CVector3 ahead = view->GetEye() + (view->GetTarget() - view->GetEye()).Normalized() * 5.0f;
    const CVector3 home = *stage->GetPosition();
    stage->SetPosition(&ahead);
    ASSERT_EQ(stage->UpdateAttachedEffect(), 1);
    DrawFrame(scene);
    stage->SetPosition(&home);
    u32 particles = 0;
    for (CObjectBase* o : Drawn(scene)) {
        const auto* p = dynamic_cast<const CParticle*>(o);
        if (p && p->GetNode() == stage->GetAttachedEffect()) ++particles;
    }
    EXPECT_EQ(particles, 1u);
}

}  // inline namespace ORV_TEST_FILE_ID

}  // namespace ORV_TEST_FILE_ID

}  // namespace world_order_test
