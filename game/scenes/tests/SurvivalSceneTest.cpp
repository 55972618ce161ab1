#include "game/scenes/SurvivalScene.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Random.h"
#include "game/battle/character/Character.h"
#include "game/battle/character/CharacterParameter.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleApp.h"
#include "game/battle/scene/BattleFlow.h"
#include "game/battle/scene/BattleProgress.h"
#include "game/battle/scene/BattleResults.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/testdata/BattleData.h"
#include "game/battle/testdata/Fighter.h"
#include "game/data/SaveData.h"
#include "game/scenes/SelectCard.h"
#include "game/scenes/SingleCharaSelect.h"
#include "game/scenes/tests/MenuRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

namespace survival_scene_test {

namespace ORV_TEST_FILE_ID {

namespace {

using namespace survival;

bool AllHeld(u32) { return true; }

u32 Computers(const CBattleSetup& setup)
{
    u32 n = 0;
    for (u32 i = 1; i < CBattleSetup::kEntryCount; ++i) n += setup.entries[i].kind == CBattleEntry::kKindComputer;
    return n;
}

TEST(SurvivalTest, EachBlockOfEightWinsUnlocksItsReward)
{
    const struct {
        u32 winsAfter;
        i32 flag;
    } cases[] = {{0, -1}, {7, -1}, {8, 18}, {15, 18}, {16, 25}, {24, 40}, {31, 40}, {32, -1}, {0xFFFFFFFFu, -1}};
    for (const auto& c : cases) EXPECT_EQ(RewardFlag(c.winsAfter), c.flag) << c.winsAfter;
}

// A zero maximum or time limit would divide into NaN or infinity, which
// the next battle would carry into its state: the fighter starts whole.
TEST(SurvivalTest, LifeFractionIsCappedAndNeverDividesByZero)
{
    const f32 nan = std::nanf("");
    const struct {
        i32 life, maxLife;
        f32 elapsed, limit, fraction;
    } cases[] = {{500, 1000, 0, 300, 0.5f}, {500, 1000, 150, 300, 0.6f}, {900, 1000, 300, 300, 1.0f},
        {500, 0, 150, 300, 1.0f}, {0, 0, 0, 300, 1.0f}, {500, 1000, 150, 0, 1.0f}, {500, -5, 1, 300, 1.0f},
        {500, 1000, nan, 300, 1.0f}, {500, 1000, 10, nan, 1.0f}};
    for (const auto& c : cases) {
        const f32 f = LifeFraction(c.life, c.maxLife, c.elapsed, c.limit);
        EXPECT_TRUE(std::isfinite(f)) << c.life << "/" << c.maxLife;
        EXPECT_FLOAT_EQ(f, c.fraction) << c.life << "/" << c.maxLife << " " << c.elapsed << "/" << c.limit;
    }
}

// The draw repeats until a held slot; with few or none held it ends too.
TEST(SurvivalTest, MusicDrawEndsOnAHeldSlot)
{
    const struct {
        const char* name;
        HeldSlot held;
        u32 only;   // the one slot it may give; kMusicSlots: any held
    } cases[] = {{"all", AllHeld, kMusicSlots}, {"one", [](u32 s) { return s == 50; }, 50},
        {"none", [](u32) { return false; }, 0}, {"no predicate", HeldSlot(), 0}};
    for (const auto& c : cases) {
        for (u32 seed = 1; seed < 20; ++seed) {
            SeedRandom(seed);
            const u32 slot = DrawMusicSlot(c.held);
            EXPECT_LT(slot, kMusicSlots) << c.name;
            if (c.only != kMusicSlots) {
                EXPECT_EQ(slot, c.only) << c.name;
            }
        }
    }
}

TEST(SurvivalTest, KeyPacksTheOpponentsAndLeavesEmptyEntriesZero)
{
    CBattleSetup setup;
    const u32 kinds[3] = {4, 5, 4}, characters[3] = {3, 9, 17};
    for (u32 i = 0; i < 3; ++i) setup.entries[i + 1].kind = kinds[i], setup.entries[i + 1].character = characters[i];
    EXPECT_EQ(OpponentKey(setup), 3u | 17u << 16);
}

TEST(SurvivalTest, FirstBattleIsOneComputerAtLevelZero)
{
    for (u32 preset : {0u, 1u}) {
        SeedRandom(3);
        CBattleSetup setup;
        ProgressOf(setup).presetSkills = preset;
        SetupFirstBattle(setup, [](u32 s) { return s % 5 == 1; });
        EXPECT_EQ(setup.survivalMode, 1u);
        EXPECT_EQ(setup.recordReplay, 0u);
        EXPECT_EQ(setup.entries[1].kind, CBattleEntry::kKindComputer);
        EXPECT_EQ(Computers(setup), 1u);
        EXPECT_EQ(setup.option.music % 5, 1u);
        EXPECT_EQ(setup.option.computerLevel, 0u);
        for (u32 i = 1; i < 4; ++i) {
            const CBattleEntry& e = setup.entries[i];
            EXPECT_EQ(e.ownMusic % 5, 1u);
            const bool row = std::any_of(std::begin(select_card::kCpuSkillTable), std::end(select_card::kCpuSkillTable),
                [&](const u32* r) { return std::equal(r, r + 3, e.orbs); });
            EXPECT_TRUE(preset ? row : (e.orbs[0] | e.orbs[1] | e.orbs[2]) == 0) << i;
        }
    }
}

// Forty wins in a row: each next battle's line-up, level, rewards and the
// run's totals.
TEST(SurvivalTest, ARunOfWinsGrowsTheOpponentsAndScores)
{
    SeedRandom(11);
    CBattleSetup setup;
    SetupFirstBattle(setup, AllHeld);
    CSaveData save;
    ASSERT_EQ(save.SetDefaults(), 1);
    for (i32 flag : {18, 25, 40}) save.SetUnlockFlag(flag, 0);
    WonBattle won;
    won.counters[0] = 2, won.counters[1] = 300, won.counters[2] = 7;
    won.remaining = 99.9f, won.elapsed = 200.1f, won.limit = 300;
    won.life = 400, won.maxLife = 1000;
    std::set<u32> counts;
    for (u32 k = 1; k <= 40; ++k) {
        SCOPED_TRACE(testing::Message() << "after win " << k);
        const u32 justWon = OpponentKey(setup);
        ChooseNextOpponents(setup, won, AllHeld, &save);
        const CSurvivalProgress& p = ProgressOf(setup);
        const u32 slot = (k - 1) % 8;
        EXPECT_EQ(p.history[slot], justWon);
        for (u32 s = 0; s <= slot; ++s) EXPECT_NE(OpponentKey(setup), p.history[s]) << s;
        const u32 computers = Computers(setup);
        if (k < 24) {
            EXPECT_EQ(computers, k / 8 + 1);
        }
        counts.insert(computers);
        const u32 level = k < 16 ? (k - 1) % 8 / 2 : 4;
        EXPECT_EQ(setup.option.computerLevel, level);
        std::set<u32> characters;
        for (u32 i = 1; i < 4; ++i) {
            EXPECT_EQ(setup.entries[i].team, 1u);
            EXPECT_EQ(setup.entries[i].characterWords[1], level);
            characters.insert(setup.entries[i].character);
        }
        EXPECT_EQ(characters.size(), 3u);
        EXPECT_EQ(save.GetUnlockFlag(18), u32(k >= 8));
        EXPECT_EQ(save.GetUnlockFlag(25), u32(k >= 16));
        EXPECT_EQ(save.GetUnlockFlag(40), u32(k >= 24));
        EXPECT_EQ(p.wins, k);
        EXPECT_EQ(p.timeScore, 99 * k) << "each battle's remaining time, truncated";
        EXPECT_EQ(p.killSum, 2 * k);
        EXPECT_EQ(p.damageDealtSum, 300 * k);
        EXPECT_EQ(p.lastDamageTaken, 7u);
        EXPECT_FLOAT_EQ(p.carriedLife, 0.4f + 0.2f * 200.1f / 300.0f);
    }
    EXPECT_EQ(counts, (std::set<u32>{1, 2, 3}));
}

}  // namespace

// ---------------------------------------------------------------- in the game

namespace {

using game_test::GameDriver;

CSurvivalScene* Result(GameDriver& game) { return dynamic_cast<CSurvivalScene*>(game.App().GetScene()); }

SurvivalArgs RunValues(u32 character)
{
    SurvivalArgs args;
    args.curtain = 0.5f;
    args.alpha = 0.0f;
    args.character = character;
    args.wins = 12, args.timeScore = 1234, args.lastCounter = 3, args.firstSum = 25, args.secondSum = 4800;
    return args;
}

// The values in their rows; the player's picture under the frame, none for
// a character past the pictures.
TEST(SurvivalSceneRun, ShowsTheRunAndThePlayersPicture)
{
    scene_data::CSceneDataSet set;
    scene_data::AddSurvivalData(set);
    const std::vector<std::string>& layers = set.layouts[kLayout];
    const struct {
        u32 character;
        std::vector<std::string> drawn;
    } cases[] = {{0, {"cha_ta", "Base"}}, {17, {"cha_ve", "Base"}}, {18, {"Base"}}, {0xFFFFFFFFu, {"Base"}}};
    for (const auto& c : cases) {
        GameDriver game(game_test::GameDataRoot(), menu_run::Options());
        SurvivalArgs args = RunValues(c.character);
        ASSERT_TRUE(menu_run::Enter(game, new CSurvivalScene, reinterpret_cast<intptr_t>(&args)));
        menu_run::FadeIn(game);
        const CTexture* frame = Result(game)->FindLayer("Base")->GetTexture();
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(menu_run::DrawnLayers(game, layers, frame), c.drawn) << c.character;
        const auto texts = Result(game)->Texts();
        const std::pair<f32, const char*> rows[] = {
            {400, "12"}, {464, "3"}, {528, "1234"}, {592, "4800"}, {656, "25"}};
        for (u32 i = 0; i < 5; ++i) {
            EXPECT_EQ(texts[i].y, rows[i].first);
            EXPECT_EQ(texts[i].text, rows[i].second);
        }
    }
}

// Presses wait for the cover and the fade-in; decide or start leaves once,
// with the decide sound, for the title on "Survival".
TEST(SurvivalSceneRun, DecideOrStartLeavesForTheTitleOnSurvival)
{
    for (u32 code : {u32(menu::kDecide), u32(menu::kStart)}) {
        GameDriver game(game_test::GameDataRoot(), menu_run::Options());
        SurvivalArgs args = RunValues(1);
        ASSERT_TRUE(menu_run::Enter(game, new CSurvivalScene, reinterpret_cast<intptr_t>(&args)));
        EXPECT_TRUE(menu_run::Playing(kMusic));
        game.Press(code);   // under the cover
        game.Frames(20);
        game.Press(code);   // while the values fade in
        EXPECT_FALSE(Result(game)->IsLeaving());
        game.Frames(40);
        game.Press(menu::kCancel);
        EXPECT_FALSE(Result(game)->IsLeaving());
        game.Press(code);
        ASSERT_TRUE(Result(game)->IsLeaving());
        EXPECT_TRUE(menu_run::Playing(kDecideSound));
        ASSERT_TRUE(game.RunUntil("CTitleScene", 40));
        EXPECT_TRUE(menu_run::BackOnTitleAt(game, kTitleItem));
        EXPECT_FALSE(menu_run::Playing(kMusic));
        EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
    }
}

TEST(SurvivalSceneRun, WithoutItsFrameTheResultFailsNamingIt)
{
    host::kernel::testing::TempFolder folder;
    const std::string root = folder.Path() + "set";
    scene_data::Faults faults;
    faults.entries = {kFrameTexture};
    std::string error;
    ASSERT_TRUE(scene_data::WriteSceneData(root, &error, faults)) << error;
    GameDriver game(root, menu_run::Options());
    ASSERT_FALSE(menu_run::Enter(game, new CSurvivalScene));
    ASSERT_FALSE(game.Boxes().empty());
    EXPECT_EQ(game.Boxes()[0], "Arcade_01.ddsが読み込めません");
}

// The battle's seam to the next opponents: drawn on the application's music,
// the reward in its save data. (The run below takes the seam to the result.)
TEST(SurvivalSceneRun, BattleSeamDrawsOnTheApplicationsData)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::Enter(game, new menu_run::CIdleScene));
    IBattleFlow* flow = game.App().BattleApp()->GetFlow();
    ASSERT_NE(flow, nullptr);

    CBattleSetup setup;
    CSurvivalProgress& p = ProgressOf(setup);
    p.wins = 7;
    game.App().GetSaveData()->SetUnlockFlag(18, 0);
    EXPECT_EQ(flow->ChooseNextOpponents(&setup, nullptr, nullptr), 1);
    EXPECT_EQ(p.wins, 8u);
    EXPECT_EQ(p.carriedLife, 1.0f);   // no fighter, no console: nothing to divide by
    EXPECT_EQ(game.App().GetSaveData()->GetUnlockFlag(18), 1u);
    EXPECT_NE(game.App().GetTensionFile(setup.option.music), nullptr);
    EXPECT_EQ(Computers(setup), 2u);
}

}  // namespace

// ---------------------------------------------------------------- the run

namespace {

const CBattleScene* Battle(GameDriver& game) { return dynamic_cast<const CBattleScene*>(game.App().GetScene()); }

// From the title's Survival through the single select into the first
// battle, where the computer defeats an idle pad before the time-out; the
// result shows what the battle reached, and decide goes back to the title
// on Survival.
TEST(SurvivalRun, FirstBattleNotWonShowsTheRunAndReturnsToTheTitle)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::SaveOptions([](CSaveConfig& config) {
        config.GetGraphicsSettings()->hdrLevel = 0;
        config.GetGraphicsSettings()->screenSize = 0;
    }));
    TitleArgs title;
    title.item = title::kSurvival;
    ASSERT_TRUE(menu_run::Enter(game, new CTitleScene, reinterpret_cast<intptr_t>(&title)));
    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CSingleCharaSelect", 120));
    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CBattleScene", 200));
    const CBattleScene* battle = Battle(game);
    ASSERT_TRUE(battle && battle->GetSetup());
    EXPECT_LT(battle->GetSetup()->option.stage, CBattleOption::kRandomStage);
    EXPECT_EQ(battle->GetCharacterCount(), 2u);
    EXPECT_EQ(battle->GetSetup()->recordReplay, 0u);

    // The first fighter's counters and the first console's time, as the
    // battle leaves them.
    u32 counters[3] = {};
    f32 remaining = 0;
    u32 result = 0;
    for (u32 frame = 0; frame < 60 * 330 && Battle(game); ++frame) {
        if (const CCharacter* first = battle->GetCharacter(0))
            for (u32 n = 0; n < 3; ++n) counters[n] = first->GetStatisticCounter(n);
        if (const CBattleConsole* console = battle->GetConsole(0)) remaining = console->GetRemainingTime();
        result = battle->GetResult(battle->GetSetup() ? battle->GetSetup()->entries[0].team : 0);
        game.Frame();
    }
    ASSERT_NE(Result(game), nullptr) << "battle result " << result << game.Describe();
    const SurvivalArgs& v = Result(game)->GetValues();
    // The idle pad falls to the computer's hits before the time-out: the
    // score is the time left then, not the time used.
    EXPECT_GT(remaining, 1.0f);
    EXPECT_LT(remaining, 299.0f);
    EXPECT_GT(counters[2], 0u) << "damage taken";
    EXPECT_EQ(v.character, 0u);
    EXPECT_EQ(v.wins, 0u);
    EXPECT_EQ(v.timeScore, SaturateToU32(remaining));
    EXPECT_EQ(v.lastCounter, counters[2]);
    EXPECT_EQ(v.firstSum, counters[0]);
    EXPECT_EQ(v.secondSum, counters[1]);

    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CTitleScene", 60));
    EXPECT_TRUE(menu_run::BackOnTitleAt(game, title::kSurvival));
    const std::vector<std::string> expected = {"CIdleScene", "CTitleScene", "CSingleCharaSelect", "CLoadingScene",
        "CBattleScene", "CSurvivalScene", "CTitleScene"};
    EXPECT_EQ(menu_run::Scenes(game.Trail()), expected) << game.Describe();
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
}

}  // namespace

namespace {

// The seed under which the first battle's draw puts character against the
// player, the music drawn on the application's held slots as the select's
// hand-over does it; 0 when none of the first thousand does.
u32 SeedForFirstOpponent(GameDriver& game, u32 character)
{
    const HeldSlot held = [&game](u32 slot) { return game.App().GetTensionFile(slot) != nullptr; };
    for (u32 seed = 1; seed < 1000; ++seed) {
        CBattleSetup setup;
        SeedRandom(seed);
        SetupFirstBattle(setup, held);
        if (setup.entries[1].character == character) return seed;
    }
    return 0;
}

// What a battle showed last for the player: the first fighter's counters
// and the first console's time left.
struct Seen {
    u32 counters[3] = {};
    f32 remaining = -1;
};

std::function<void(const CBattleScene&)> Watch(Seen& seen)
{
    return [&seen](const CBattleScene& battle) {
        if (const CCharacter* first = battle.GetCharacter(0))
            for (u32 n = 0; n < 3; ++n) seen.counters[n] = first->GetStatisticCounter(n);
        if (const CBattleConsole* console = battle.GetConsole(0)) seen.remaining = console->GetRemainingTime();
    };
}

// The player takes Vek, who has little life, and the draw puts Vek against
// him: the shots win the first battle long before the time-out. The next
// opponent has full life and beats the idle player; the result shows the
// run (one win, its time left plus the lost battle's) and decide goes back
// to the title on Survival.
TEST(SurvivalRun, FirstBattleWonTheNextLostShowsTheRunAndReturnsToTheTitle)
{
    const u32 vek = battle_data::kLittleLifeFighter;
    GameDriver game(game_test::GameDataRoot(), menu_run::BattleOptions());
    TitleArgs title;
    title.item = title::kSurvival;
    ASSERT_TRUE(menu_run::Enter(game, new CTitleScene, reinterpret_cast<intptr_t>(&title)));
    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CSingleCharaSelect", 120));
    menu_run::FadeIn(game);
    menu_run::Steps(game, menu::kLeft, 2);   // past the random entry to the last
    const auto* select = dynamic_cast<const CSingleCharaSelect*>(game.App().GetScene());
    ASSERT_TRUE(select);
    ASSERT_EQ(select->GetCursor(), vek);
    const u32 seed = SeedForFirstOpponent(game, vek);
    ASSERT_NE(seed, 0u);
    SeedRandom(seed);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CBattleScene", 200));
    const CBattleScene* battle = Battle(game);
    ASSERT_TRUE(battle && battle->GetSetup());
    ASSERT_EQ(battle->GetSetup()->entries[0].character, vek);
    ASSERT_EQ(battle->GetSetup()->entries[1].character, vek);
    EXPECT_EQ(battle->GetCharacterCount(), 2u);

    Seen first, second;
    u32 result = 0;
    ASSERT_TRUE(menu_run::FightBattle(game, true, &result, Watch(first)));
    EXPECT_EQ(result, kResultWin);
    EXPECT_GT(first.remaining, 200.0f) << "won long before the time-out";

    // The next battle carries the scored win.
    ASSERT_TRUE(game.RunUntil("CBattleScene", 200));
    battle = Battle(game);
    ASSERT_TRUE(battle && battle->GetSetup());
    const auto* run = dynamic_cast<const CSurvivalProgress*>(battle->GetSetup()->GetProgress());
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->wins, 1u);
    EXPECT_EQ(run->timeScore, SaturateToU32(first.remaining));
    EXPECT_EQ(run->killSum, first.counters[0]);
    EXPECT_EQ(run->damageDealtSum, first.counters[1]);
    EXPECT_EQ(battle->GetSetup()->entries[0].character, vek);
    EXPECT_EQ(Computers(*battle->GetSetup()), 1u);
    EXPECT_EQ(battle->GetSetup()->option.computerLevel, 0u);
    ASSERT_TRUE(battle->GetCharacter(1) && battle->GetCharacter(1)->GetParameter());
    EXPECT_EQ(battle->GetCharacter(1)->GetParameter()->values.general.hp, fighter_test::kFighterLife);
    ASSERT_TRUE(menu_run::FightBattle(game, false, &result, Watch(second)));
    EXPECT_EQ(result, kResultLoss);
    EXPECT_GT(second.remaining, 0.0f) << "lost before the time-out";

    ASSERT_NE(Result(game), nullptr) << game.Describe();
    const SurvivalArgs& v = Result(game)->GetValues();
    EXPECT_EQ(v.character, vek);
    EXPECT_EQ(v.wins, 1u);
    EXPECT_EQ(v.timeScore, SaturateToU32(first.remaining) + SaturateToU32(second.remaining));
    EXPECT_EQ(v.lastCounter, second.counters[2]);
    EXPECT_EQ(v.firstSum, first.counters[0] + second.counters[0]);
    EXPECT_EQ(v.secondSum, first.counters[1] + second.counters[1]);
    EXPECT_GT(first.counters[1], 0u) << "the shots dealt damage";

    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CTitleScene", 60));
    EXPECT_TRUE(menu_run::BackOnTitleAt(game, title::kSurvival));
    const std::vector<std::string> expected = {"CIdleScene", "CTitleScene", "CSingleCharaSelect", "CLoadingScene",
        "CBattleScene", "CLoadingScene", "CBattleScene", "CSurvivalScene", "CTitleScene"};
    EXPECT_EQ(menu_run::Scenes(game.Trail()), expected) << game.Describe();
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace survival_scene_test
