// A free battle or a training whose first human plays a card other than
// the first, left by its pause menu for the character select: the select
// takes the set-up back as it handed it over, so player 1's card stays the
// local one (its cursor, its saved orbs), not the card the battle played.
// A rematch on the way plays the same entry.
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/MenuConsole.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/tests/MenuRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using game_test::GameDriver;

// The battle's pause page, once the menu button has opened it.
const MenuPage* PausePage(const CBattleScene& battle)
{
    for (u32 i = 0; i < battle.GetCharacterCount(); ++i) {
        if (battle.GetEntryOf(i) != battle.GetLocalEntry()) continue;
        const CBattleConsole* console = battle.GetConsole(i);
        const CMenuConsole* menu = console ? console->GetMenu() : nullptr;
        return menu && menu->GetPage(0).open ? &menu->GetPage(0) : nullptr;
    }
    return nullptr;
}

TEST(SelectAfterBattle, TheSelectKeepsPlayerOnesCardLocal)
{
    const struct {
        u32 human;      // the entry of the one human
        u32 training;
    } rows[] = {{1, 0}, {2, 1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "human on card " << r.human << " training " << r.training);
        GameDriver game(game_test::GameDataRoot(), menu_run::BattleOptions());
        ASSERT_TRUE(menu_run::EnterIdle(game));
        auto* setup = new CBattleSetup(game.App().GetSaveConfig());
        for (u32 e = 0; e < CBattleSetup::kEntryCount; ++e) {
            CBattleEntry& entry = setup->entries[e];
            entry.kind = e == r.human ? 0 : e == 0 ? CBattleEntry::kKindComputer : CBattleEntry::kKindNone;
            entry.character = e % 2;
            entry.team = e == r.human ? 1 : 0;
        }
        setup->trainingMode = r.training;
        setup->option.stage = 0, setup->option.music = 0, setup->option.timeSetting = 0;
        setup->localEntry = 0;
        LoadingArgs args{new CBattleScene(game.App().BattleApp()), reinterpret_cast<intptr_t>(setup), 0};
        game.App().ChangeScene(new CLoadingScene, reinterpret_cast<intptr_t>(&args));
        // Fought again (the rematch), then left for the select.
        for (const u32 action : {u32(kMenuRetry), u32(kMenuSelect)}) {
            SCOPED_TRACE(action);
            ASSERT_TRUE(game.RunUntil("CBattleScene", 120)) << game.Describe();
            const CBattleScene* battle = menu_run::Battle(game);
            ASSERT_TRUE(battle && battle->GetSetup());
            // The battle plays the first human's entry; the set-up keeps its word.
            EXPECT_EQ(battle->GetLocalEntry(), r.human);
            EXPECT_EQ(battle->GetSetup()->localEntry, 0u);

            game.Frames(300);   // past the countdown
            game.Press(menu::kStart);
            game.Frames(2);
            const MenuPage* page = PausePage(*battle);
            ASSERT_TRUE(page) << "no pause page";
            while (CMenuConsole::ActionOf(page->id, page->selection) != action && page->selection + 1 < i32(page->count))
                menu_run::Step(game, menu::kDown);
            ASSERT_EQ(CMenuConsole::ActionOf(page->id, page->selection), action);
            game.Press(menu::kDecide);
            // The battle fades out before the next scene comes.
            if (action == kMenuRetry) {
                ASSERT_TRUE(game.RunUntil("CLoadingScene", 120)) << game.Describe();
            }
        }
        ASSERT_TRUE(game.RunUntil("CCharaSelect", 120)) << game.Describe();

        const CCharaSelect* select = menu_run::Select(game);
        ASSERT_TRUE(select && select->GetSetup());
        EXPECT_EQ(select->GetSetup()->localEntry, 0u);
        EXPECT_EQ(select->GetLocalSlot(), 0u);
        EXPECT_EQ(select->GetCursor(), 0u);
        // Only card 0 looks its orbs up in player 1's saved sets.
        for (u32 i = 0; i < CBattleSetup::kEntryCount; ++i)
            EXPECT_EQ(select->GetCard(i)->Word(select_card::kLocal), i == 0 ? 1u : 0u) << "card " << i;
        const std::vector<std::string> trail = {"CIdleScene", "CLoadingScene", "CBattleScene", "CLoadingScene",
            "CBattleScene", "CCharaSelect"};
        EXPECT_EQ(menu_run::Scenes(game.Trail()), trail);
        EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
