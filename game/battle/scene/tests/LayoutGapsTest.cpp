// A layout that lacks every element a console looks up: each loads, runs
// and draws nothing.
#include "engine/platform/FrameTime.h"
#include "engine/graphics/Camera.h"
#include "game/battle/scene/BattleStateConsole.h"
#include "game/battle/scene/EnemyConsole.h"
#include "game/battle/scene/MapConsole.h"
#include "game/battle/scene/PlayerConsole.h"
#include "game/battle/scene/MenuConsole.h"
#include "game/battle/scene/TensionConsole.h"
#include "game/battle/scene/tests/ConsoleTestSupport.h"
#include "game/data/TensionFile.h"

namespace ORV_TEST_FILE_ID {

namespace {
using namespace console_test;
using LayoutGapsTest = ConsoleTest;
}  // namespace

TEST_F(LayoutGapsTest, ConsolesOnALayoutWithoutTheirElementsDrawNothing)
{
    std::set<std::string> all;
    for (const Element& e : ConsoleElements()) all.insert(e.name);
    LoadLayout(all);
    for (const char* n : {"Se_gameopt_select.ogg", "Se_gameopt_set.ogg", "Se_cancel.ogg"}) ListSound(n);

    CTensionFile tension;
    auto* track = new CTensionTrack("Tension", 1, 0);
    track->AddKey(0.0f, 0);
    track->AddKey(10.0f, 3);
    tension.SetTrack(track);
    FakeHudFighter fighter, other;
    fighter.tension = other.tension = &tension;
    HudFighterList list{&fighter, &other};
    ConsoleSetup setup;
    setup.characters = &list;
    setup.livesRule = setup.training = setup.tutorial = setup.survival = setup.damagePanel = 1;

    CBattleStateConsole state(&scene_);
    ASSERT_EQ(state.Load(&setup, &layout_), 1u);
    CTensionConsole strips(&scene_);
    ASSERT_EQ(strips.Load(&fighter, &list, &layout_), 1u);
    CMenuConsole menu(&scene_);
    ASSERT_EQ(menu.Load(&layout_, kMenuKindTraining), 1u);
    menu.OpenEndMenu();
    QuickMessageRecord line{};
    state.AddQuickMessage(line);
    CPlayerConsole gauges(&scene_);
    ASSERT_EQ(gauges.Load(&fighter, &list, &layout_), 1u);
    // Without "EState" and "Target" a panel cannot be made: refused, and
    // still safe to run.
    CEnemyConsole panel(&scene_);
    EXPECT_EQ(panel.Load(&other, &fighter, &list, &layout_), 0u);
    CResourceList stages;
    CMapConsole radar(&scene_);
    ASSERT_EQ(radar.Load(&stages, &fighter, &list, &layout_), 1u);
    CCamera camera;
    fighter.camera = &camera;
    fighter.lockOn = &other;
    fighter.mp = 3;
    fighter.danger = 15;
    fighter.partnerAttack = 1;
    fighter.action = HudFighter::kActionMash;

    SetFrameTime(700);
    for (int frame = 0; frame < 12; ++frame) {
        for (CConsoleBase* c : std::initializer_list<CConsoleBase*>{&state, &strips, &menu, &gauges, &panel, &radar}) {
            c->Update(0);
            c->Draw(0);
        }
        panel.DrawTag(0);
        panel.DrawReticle(0);
    }
    SetFrameTime(0);
    EXPECT_EQ(Draws(), 0u);
}

}  // namespace ORV_TEST_FILE_ID
