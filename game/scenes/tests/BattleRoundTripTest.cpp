// One battle played the way a player goes through the game, headless: the
// title's Battle, the cards, the options, the loading screen, the battle
// fought by the computer to its result, its end menu back to the character
// select, cancel to the title and End. What must hold: the scenes in their
// turn, the battle built from what was chosen, the replay kept, the play
// record counting the battle after the application's exit, no message box.
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/MenuConsole.h"
#include "game/battle/scene/ReplaySetup.h"
#include "game/data/Replay.h"
#include "game/data/SaveRecord.h"
#include "game/scenes/OptionSelect.h"
#include "game/scenes/tests/MenuRun.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using game_test::GameDriver;
using menu_run::Step;
using menu_run::Steps;

// The battle's frames: 100 s of the shortest time limit, the start, the
// result's seconds, with room.
constexpr u32 kBattleFrames = 60 * 115;

// What a player set on a card (the select draws the music anew).
constexpr u32 kPlayerSetWords[] = {select_card::kKind, select_card::kCharacter, select_card::kTeam, select_card::kType,
    select_card::kHand, select_card::kColour, select_card::kSkill0, select_card::kSkill0 + 1, select_card::kSkill0 + 2,
    select_card::kCpuSkill};

const CBattleScene* Battle(GameDriver& game) { return dynamic_cast<const CBattleScene*>(game.App().GetScene()); }

// The end page of the local player's console, once it is open.
const MenuPage* OpenEndPage(const CBattleScene& battle)
{
    const CBattleConsole* console = battle.GetConsole(battle.GetLocalEntry());
    const CMenuConsole* menu = console ? console->GetMenu() : nullptr;
    return menu && menu->GetPage(2).open ? &menu->GetPage(2) : nullptr;
}

// The set-up the battle received: Talve for player 1 with the panel's
// orbs against the computer on Derona, the last two out; the options chosen.
void ExpectChosenSetup(const CBattleSetup& setup)
{
    const CBattleEntry& talve = setup.entries[0];
    EXPECT_EQ(talve.kind, 0u);
    EXPECT_EQ(talve.character, 0u);
    for (u32 k = 0; k < 3; ++k) EXPECT_EQ(talve.orbs[k], menu_run::kTalveOrbs[k]) << "orb " << k;
    EXPECT_EQ(talve.ownMusic, 3u);
    const CBattleEntry& derona = setup.entries[1];
    EXPECT_EQ(derona.kind, CBattleEntry::kKindComputer);
    EXPECT_EQ(derona.character, 1u);
    EXPECT_NE(derona.team, talve.team);
    EXPECT_EQ(setup.entries[2].kind, CBattleEntry::kKindNone);
    EXPECT_EQ(setup.entries[3].kind, CBattleEntry::kKindNone);
    const CBattleOption& o = setup.option;
    EXPECT_EQ(o.timeSetting, 0u);
    EXPECT_EQ(o.stage, 0u);
    EXPECT_EQ(o.music, 3u);
    EXPECT_EQ(o.livesRule, 0u);   // Init's
}

// On the option select: Init (seven rows down), the shortest time (four up,
// one right wraps 1000 s to 100 s) and music 3 (two up, three right).
void ChooseOptions(GameDriver& game)
{
    auto* scene = dynamic_cast<COptionSelect*>(game.App().GetScene());
    ASSERT_TRUE(scene);
    scene->SetTime(3);   // Init must bring it back
    Steps(game, menu::kDown, 7);
    ASSERT_EQ(scene->GetRow(), option_select::kInit);
    Step(game, menu::kDecide);
    EXPECT_EQ(scene->GetOption().timeSetting, 6u);
    Steps(game, menu::kUp, 4);
    ASSERT_EQ(scene->GetRow(), option_select::kTime);
    Step(game, menu::kRight);
    Steps(game, menu::kUp, 2);
    ASSERT_EQ(scene->GetRow(), option_select::kBgm);
    Steps(game, menu::kRight, 3);
    EXPECT_EQ(scene->GetOption().timeSetting, 0u);
    EXPECT_EQ(scene->GetOption().music, 3u);
}

TEST(BattleRoundTrip, FromTheTitleThroughABattleBackToTheSelectAndOut)
{
    // No glow and the smallest screen: the headless device works its pixels
    // on the CPU, and the battle runs some 6,400 frames.
    GameDriver game(game_test::GameDataRoot(), menu_run::SaveOptions([](CSaveConfig& config) {
        config.GetGraphicsSettings()->hdrLevel = 0;
        config.GetGraphicsSettings()->screenSize = 0;
    }));
    ASSERT_TRUE(menu_run::FromTitle(game, title::kBattle));
    menu_run::EditTalveAgainstDerona(game);
    ASSERT_FALSE(HasFatalFailure());
    std::vector<std::vector<u32>> cards;
    for (u32 i = 0; i < CBattleSetup::kEntryCount; ++i) {
        const u32* record = menu_run::Select(game)->GetCard(i)->GetRecord();
        cards.emplace_back(record, record + select_card::kEntryWords);
    }
    game.Press(menu::kStart);
    ASSERT_TRUE(game.RunUntil("COptionSelect", 90));
    menu_run::FadeIn(game);
    ChooseOptions(game);
    ASSERT_FALSE(HasFatalFailure());

    game.Press(menu::kStart);
    ASSERT_TRUE(game.RunUntil("CBattleScene", 120));
    const CBattleScene* battle = Battle(game);
    ASSERT_TRUE(battle && battle->GetSetup());
    ExpectChosenSetup(*battle->GetSetup());
    const std::string battleSetup = WriteBattleSetup(*battle->GetSetup());
    const CBattleOption option = battle->GetSetup()->option;
    EXPECT_EQ(battle->GetLocalEntry(), 0u);
    EXPECT_EQ(battle->GetCharacterCount(), 2u);

    // Nobody steers Talve: the computer fights until a side falls or the
    // time runs out, then the result shows and the end page opens.
    u32 frames = 0;
    for (; frames < kBattleFrames && Battle(game) && !OpenEndPage(*Battle(game)); ++frames) game.Frame();
    ASSERT_TRUE(Battle(game)) << game.Describe();
    ASSERT_TRUE(battle->IsOver()) << "after " << frames << " frames";
    const MenuPage* page = OpenEndPage(*battle);
    ASSERT_TRUE(page) << "no end page after " << frames << " frames";
    EXPECT_EQ(page->selection, 0);
    EXPECT_EQ(CMenuConsole::ActionOf(page->id, 1), u32(kMenuSelect));
    // Down to "character select", decided.
    Step(game, menu::kDown, 1);
    EXPECT_EQ(page->selection, 1);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CCharaSelect", 120));   // the battle fades out in a second

    // The same cards, on the set-up the battle played.
    CCharaSelect* select = menu_run::Select(game);
    ASSERT_TRUE(select);
    EXPECT_EQ(std::memcmp(&select->GetSetup()->option, &option, sizeof option), 0);
    EXPECT_EQ(game.App().GetMenuLayoutFlag(), 1u);
    for (u32 i = 0; i < CBattleSetup::kEntryCount; ++i) {
        for (u32 w : kPlayerSetWords)
            EXPECT_EQ(select->GetCard(i)->Word(w), cards[i][w]) << "card " << i << " word " << w;
    }
    menu_run::FadeIn(game);
    game.Press(menu::kCancel);
    ASSERT_TRUE(game.RunUntil("CTitleScene", 60));
    EXPECT_TRUE(menu_run::BackOnTitleAt(game, title::kBattle));
    menu_run::FadeIn(game);
    // Up past Story wraps to End.
    const auto* title = dynamic_cast<const CTitleScene*>(game.App().GetScene());
    for (u32 i = 0; i < title::kItemCount && title->GetCurrentItem() != title::kEnd; ++i) Step(game, menu::kUp);
    ASSERT_EQ(title->GetCurrentItem(), u32(title::kEnd));
    game.Press(menu::kDecide);
    game.Frame();
    EXPECT_TRUE(game.QuitPosted()) << game.Describe();

    const std::vector<std::string> expected = {"CIdleScene", "CTitleScene", "CCharaSelect", "COptionSelect",
        "CLoadingScene", "CBattleScene", "CCharaSelect", "CTitleScene"};
    EXPECT_EQ(menu_run::Scenes(game.Trail()), expected) << game.Describe();
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();

    // The replay kept holds the battle's set-up.
    CBattleSetup replayed;
    CReplaySetupRecord record(replayed);
    CReplay replay;
    ASSERT_EQ(replay.Open(ReplaySlotPath(game.UserFolder(), 1).c_str(), record), 1)
        << DescribeReplayError(replay.GetError());
    EXPECT_EQ(replay.GetHumanCount(), 1u);
    EXPECT_GT(replay.GetFrameCount(), 60u);
    ASSERT_EQ(replay.ReadRecord(record), 1);
    EXPECT_EQ(WriteBattleSetup(replayed), battleSetup);

    // Exit writes the play record: Talve fought one battle.
    game.App().Exit();
    CSaveRecord saved;
    ASSERT_EQ(saved.Load(), 1);
    ASSERT_TRUE(saved.GetRecord(0));
    EXPECT_EQ(saved.GetRecord(0)->word[kPlayRecordBattles], 1u);
    ASSERT_TRUE(saved.GetRecord(1));
    EXPECT_EQ(saved.GetRecord(1)->word[kPlayRecordBattles], 0u) << "the computer's battles are not counted";
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
