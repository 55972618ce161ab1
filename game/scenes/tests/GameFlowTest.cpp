// The game run headless from its start-up screen to the End item, as a
// player would go: the logo and its movie, the title, the options (the music
// made quieter), the record paged through, and out. What must hold at the
// end: every scene came in its turn, no message box, the quit, and the new
// volume in GameConfig.dat once the application has exited.
#include "game/data/SaveConfig.h"
#include "game/scenes/LogoScene.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/tests/MenuRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using game_test::GameDriver;

using menu_run::Scenes;
using menu_run::Steps;

constexpr u32 kSettle = 90;   // frames: every fade of a menu is over

TEST(GameFlow, FromStartUpThroughTheMenusToTheEnd)
{
    GameDriver game;
    ASSERT_TRUE(game.Started()) << game.Describe();
    ASSERT_TRUE(game.RunUntil("CBeginLoading", 1)) << game.Describe();
    // The prompt comes once the global load and the logo's are done.
    for (u32 i = 0; i < 2000 && game.CurrentScene() == "CBeginLoading"; ++i) {
        game.Frame();
        game.Press(menu::kDecide);
    }
    ASSERT_TRUE(game.RunUntil("CLogoScene", 60)) << game.Describe();
    // Logo in, held, out, then the opening movie to its end (no key skips it).
    u32 movieFrames = 0;
    for (u32 i = 0; i < 60 * 30 && game.CurrentScene() == "CLogoScene"; ++i) {
        movieFrames += static_cast<const CLogoScene*>(game.App().GetScene())->IsMoviePlaying();
        game.Frame();
    }
    EXPECT_GT(movieFrames, 60u) << "the movie lasts seconds";
    ASSERT_TRUE(game.RunUntil("CTitleScene", 1)) << game.Describe();
    game.Frames(kSettle);

    // Option is two up from Story (Story, End, Option).
    Steps(game, menu::kUp, 2);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CGameOption", kSettle)) << game.Describe();
    game.Frames(kSettle);
    Steps(game, menu::kDown, 4);   // the music volume
    Steps(game, menu::kLeft, 3);   // three steps of 30 down
    game.Press(menu::kStart);
    ASSERT_TRUE(game.RunUntil("CTitleScene", kSettle)) << game.Describe();
    game.Frames(kSettle);

    // Back on Option; Record is two up.
    Steps(game, menu::kUp, 2);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CRecordScene", kSettle * 2)) << game.Describe();
    game.Frames(kSettle);
    // The totals, then each of the 18 characters; forward on the last leaves.
    Steps(game, menu::kRight, 19);
    ASSERT_TRUE(game.RunUntil("CTitleScene", kSettle)) << game.Describe();
    game.Frames(kSettle);

    // Back on Record; End is three down.
    Steps(game, menu::kDown, 3);
    game.Press(menu::kDecide);
    game.Frame();
    EXPECT_TRUE(game.QuitPosted()) << game.Describe();

    const std::vector<std::string> expected = {"CBeginLoading", "CLogoScene", "CTitleScene", "CGameOption",
        "CTitleScene", "CRecordScene", "CTitleScene"};
    EXPECT_EQ(Scenes(game.Trail()), expected) << game.Describe();
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();

    // Exit writes the saves; the driver's folder is still there to read.
    game.App().Exit();
    CSaveConfig saved;
    ASSERT_EQ(saved.Load(), 1);
    EXPECT_EQ(saved.GetGameSettings()->bgmVolume, -90);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
