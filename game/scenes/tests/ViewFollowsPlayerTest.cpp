// A battle started from the character select with player 1 on colour 2:
// the view and the HUD are player 1's own, not those of the fighter in the
// place the colour names, and the HUD's shot counter moves when it shoots.
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/HudFighter.h"
#include "game/scenes/tests/MenuRun.h"

#include <gtest/gtest.h>

namespace view_follows_player_test {

namespace ORV_TEST_FILE_ID {

inline namespace ORV_TEST_FILE_ID {

using game_test::GameDriver;
using menu_run::Step;

TEST(ViewFollowsPlayer, ColourTwoOnPlayerOnesCardKeepsItsViewAndHud)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::SaveOptions([](CSaveConfig& config) {
        config.GetGraphicsSettings()->hdrLevel = 0;
        config.GetGraphicsSettings()->screenSize = 0;
    }));
    ASSERT_TRUE(menu_run::FromTitle(game, title::kBattle));
    CCharaSelect* select = menu_run::Select(game);
    ASSERT_TRUE(select);
    // Card 0: down to Colour, two steps right, decided.
    Step(game, menu::kDecide);
    ASSERT_TRUE(select->IsEditing());
    for (u32 i = 0; i < 3; ++i) Step(game, menu::kDown);
    ASSERT_EQ(select->GetRow(), u32(select_card::kRowColour));
    Step(game, menu::kRight);
    Step(game, menu::kRight);
    Step(game, menu::kDecide);
    EXPECT_FALSE(select->IsEditing());
    ASSERT_EQ(select->GetCard(0)->Word(select_card::kColour), 2u);
    ASSERT_TRUE(select->CanStart());
    game.Press(menu::kStart);
    ASSERT_TRUE(game.RunUntil("COptionSelect", 90));
    menu_run::FadeIn(game);
    game.Press(menu::kStart);
    ASSERT_TRUE(game.RunUntil("CBattleScene", 120));
    const CBattleScene* battle = menu_run::Battle(game);
    ASSERT_TRUE(battle && battle->GetSetup());
    ASSERT_EQ(battle->GetSetup()->entries[0].characterWords[0], 2u);
    ASSERT_GT(battle->GetCharacterCount(), 2u);
    ASSERT_EQ(battle->GetLocalEntry(), 0u);
    ASSERT_EQ(battle->GetLocalCharacter(), battle->GetCharacter(0));

    game.Frames(300);   // past the countdown
    ASSERT_EQ(menu_run::Battle(game), battle);
    EXPECT_EQ(battle->GetViewedCharacter(0), 0u);
    EXPECT_EQ(battle->GetDrawnEntry(), battle->GetLocalEntry());
    const CBattleConsole* console = battle->GetConsole(battle->GetViewedCharacter(0));
    ASSERT_TRUE(console);
    const ConsoleSetup& hud = console->GetSetup();
    ASSERT_TRUE(hud.characters && hud.ownIndex < hud.characters->size());
    const HudFighter& own = *(*hud.characters)[hud.ownIndex];
    EXPECT_EQ(own.GetEntryIndex(), 0u);
    const u32 shots = own.GetActionCount(2);
    ASSERT_GT(shots, 0u);
    game.Hold(menu_run::kShotButton, true);
    game.Frames(6);
    game.Hold(menu_run::kShotButton, false);
    game.Frames(30);
    EXPECT_LT(own.GetActionCount(2), shots);
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
}

}  // inline namespace ORV_TEST_FILE_ID

}  // namespace ORV_TEST_FILE_ID

}  // namespace view_follows_player_test
