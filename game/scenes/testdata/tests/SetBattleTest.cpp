// A battle of the two test fighters loads from the game data set through
// the loading screen, and runs.
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/tests/GameDriver.h"

#include <gtest/gtest.h>

namespace {

TEST(SceneDataBattle, TheTwoFightersFightOnTheSet)
{
    game_test::GameDriver game;
    ASSERT_TRUE(game.Started());
    for (u32 i = 0; i < 400 && game.CurrentScene() != "CTitleScene"; ++i) {
        game.Press(menu::kDecide);
        game.Frame();
    }
    ASSERT_EQ(game.CurrentScene(), "CTitleScene") << game.Describe();
    auto* setup = new CBattleSetup(game.App().GetSaveConfig());
    setup->recordReplay = 0;
    setup->entries[0].kind = 0;
    setup->entries[0].character = 0;   // Talve
    setup->entries[0].team = 0;
    setup->entries[1].kind = CBattleEntry::kKindComputer;
    setup->entries[1].character = 1;   // Derona
    setup->entries[1].team = 1;
    for (u32 i = 2; i < CBattleSetup::kEntryCount; ++i) setup->entries[i].kind = CBattleEntry::kKindNone;
    setup->option.stage = 0;
    setup->option.music = 0;
    LoadingArgs args{new CBattleScene(game.App().BattleApp()), reinterpret_cast<intptr_t>(setup), 0};
    ASSERT_EQ(game.App().ChangeScene(new CLoadingScene(), reinterpret_cast<intptr_t>(&args)), 0) << game.Describe();
    ASSERT_TRUE(game.RunUntil("CBattleScene", 200));
    game.Frames(60);
    EXPECT_EQ(game.CurrentScene(), "CBattleScene") << game.Describe();
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
}

}  // namespace
