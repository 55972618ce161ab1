// A battle of the two test fighters loads from the game data set through
// the loading screen, and runs; a battle loads for every character of the
// roster and on every stage, through the game's own file seams.
#include "game/battle/character/Character.h"
#include "game/battle/character/CharacterParameter.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/StageSetting.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/testdata/BattleData.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/tests/GameDriver.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

namespace {

std::string Text(const CString& s) { return s.GetText() ? s.GetText() : ""; }

// The title, reached from the start-up screen: every archive registered.
// The start-up loader runs on a real thread, so its frames (each waits a
// little real time) count apart from the 400 presses after it: a loaded
// machine may take many more of them.
void ToTitle(game_test::GameDriver& game)
{
    ASSERT_TRUE(game.Started());
    u32 presses = 0, loadingFrames = 0;
    while (game.CurrentScene() != "CTitleScene" && presses < 400 && loadingFrames < 10000) {
        const std::string scene = game.CurrentScene();
        if (scene == "CBeginLoading" || scene == "CLoadingScene") ++loadingFrames;
        else ++presses;
        game.Press(menu::kDecide);
        game.Frame();
    }
    ASSERT_EQ(game.CurrentScene(), "CTitleScene") << game.Describe();
}

// A player against a computer.
CBattleSetup* Duel(game_test::GameDriver& game, u32 player, u32 rival, u32 stage)
{
    auto* setup = new CBattleSetup(game.App().GetSaveConfig());
    setup->recordReplay = 0;
    setup->entries[0].kind = 0;
    setup->entries[0].character = player;
    setup->entries[0].team = 0;
    setup->entries[1].kind = CBattleEntry::kKindComputer;
    setup->entries[1].character = rival;
    setup->entries[1].team = 1;
    for (u32 i = 2; i < CBattleSetup::kEntryCount; ++i) setup->entries[i].kind = CBattleEntry::kKindNone;
    setup->option.stage = stage;
    setup->option.music = 0;
    return setup;
}

TEST(SceneDataBattle, TheTwoFightersFightOnTheSet)
{
    game_test::GameDriver game;
    ToTitle(game);
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    CBattleSetup* setup = Duel(game, 0, 1, 0);   // Talve against Derona
    LoadingArgs args{new CBattleScene(game.App().BattleApp()), reinterpret_cast<intptr_t>(setup), 0};
    ASSERT_EQ(game.App().ChangeScene(new CLoadingScene(), reinterpret_cast<intptr_t>(&args)), 0) << game.Describe();
    ASSERT_TRUE(game.RunUntil("CBattleScene", 200));
    game.Frames(60);
    EXPECT_EQ(game.CurrentScene(), "CBattleScene") << game.Describe();
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
}

// Survival and the tutorial draw any character and stage, story and
// adventure name theirs: each stage once, each character twice, every one
// of them found by the file the game names for its id, with its models and
// face file.
TEST(SceneDataBattle, EveryCharacterAndEveryStageLoads)
{
    game_test::GameDriver game;
    ToTitle(game);
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    const u32 half = battle_data::kFighterCount / 2;
    for (u32 stage = 0; stage < battle_data::kStageCount; ++stage) {
        const u32 ids[2] = {stage % battle_data::kFighterCount, (stage + half) % battle_data::kFighterCount};
        SCOPED_TRACE(battle_data::StageName(stage) + " " + battle_data::kFighterNames[ids[0]] + " " +
            battle_data::kFighterNames[ids[1]]);
        CBattleScene battle(game.App().BattleApp());
        ASSERT_EQ(battle.Load(Duel(game, ids[0], ids[1], stage)), 1u) << game.Describe();
        const CStage* room = battle.GetStage();
        ASSERT_NE(room, nullptr);
        EXPECT_EQ(Text(room->GetSettings()->hit), battle_data::StageRoomModel(stage));
        EXPECT_NE(room->GetHitModel(), nullptr);
        EXPECT_NE(room->GetWallModel(0), nullptr);
        ASSERT_EQ(battle.GetCharacterCount(), 2u);
        for (u32 i = 0; i < 2; ++i) {
            const CCharacter* fighter = battle.GetCharacter(i);
            EXPECT_EQ(Text(fighter->GetParameter()->GetName()), battle_data::kFighterNames[ids[i]]);
            EXPECT_EQ(fighter->GetParameter()->GetFaceError(), FaceFileError::kNone) << i;
            EXPECT_NE(fighter->GetMesh(), nullptr) << i;
        }
    }
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
