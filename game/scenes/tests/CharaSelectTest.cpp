#include "game/scenes/CharaSelect.h"

#include "engine/graphics/FontTexture.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleFlow.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/data/SaveData.h"
#include "game/scenes/tests/DrawnSprites.h"
#include "game/scenes/tests/MenuRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace chara_select_test {

namespace ORV_TEST_FILE_ID {

namespace {

using namespace chara_select;
using namespace select_card;

TEST(CharaSelectTest, RowStepsSkipWhatTheCardDoesNotOffer)
{
    constexpr u32 kHuman = 0, kCpu = kKindComputer, kTalve = 0;
    const struct {
        u32 row;
        i32 step;
        u32 kind, character, expected;
    } cases[] = {
        {kRowColour, 1, kHuman, kTalve, kRowType}, {kRowType, 1, kHuman, kTalve, kRowCustom},
        {kRowCustom, 1, kHuman, kTalve, kRowHand}, {kRowHand, -1, kHuman, kTalve, kRowCustom},
        {kRowHand, 1, kHuman, kTalve, kRowPlayer}, {kRowPlayer, -1, kHuman, kTalve, kRowHand},
        {kRowColour, 1, kHuman, kRandom, kRowHand}, {kRowHand, -1, kHuman, kRandom, kRowColour},
        {kRowColour, 1, kCpu, kRandom, kRowCpuSkill}, {kRowHand, -1, kCpu, kRandom, kRowCpuSkill},
        {kRowCpuSkill, -1, kCpu, kRandom, kRowColour}, {kRowCpuSkill, 1, kCpu, kRandom, kRowHand},
        {kRowCustom, 1, kCpu, kTalve, kRowHand}, {kRowHand, -1, kCpu, kTalve, kRowCustom},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << " step " << c.step << " kind " << c.kind);
        EXPECT_EQ(StepRow(c.row, c.step, c.kind, c.character), c.expected);
    }
}

TEST(CharaSelectTest, StartNeedsTwoPlayersInTwoTeams)
{
    const struct {
        u32 kinds[4], teams[4];
        bool start;
    } cases[] = {
        {{0, 4, 5, 5}, {0, 1, 0, 0}, true},
        {{0, 4, 5, 5}, {0, 0, 1, 2}, false},   // the others are out
        {{0, 5, 5, 5}, {0, 1, 2, 3}, false},
        {{0, 4, 4, 4}, {2, 2, 2, 2}, false},
        {{5, 5, 4, 4}, {0, 0, 3, 1}, true},
        {{0, 4, 5, 5}, {0, 9, 0, 0}, false},   // a team out of range counts for none
    };
    for (const auto& c : cases) EXPECT_EQ(CanStartWith(c.kinds, c.teams), c.start);
}

// Without a held track the slot stays; with some, the draw is one of them.
TEST(CharaSelectTest, MusicSlotIsDrawnAmongHeldTracksOnly)
{
    EXPECT_EQ(DrawMusicSlot(7, [](u32) { return false; }), 7u);
    std::set<u32> drawn;
    for (u32 i = 0; i < 40; ++i) drawn.insert(DrawMusicSlot(7, [](u32 s) { return s == 3 || s == 50; }));
    EXPECT_EQ(drawn, (std::set<u32>{3, 50}));
}

TEST(CharaSelectTest, SkillCursorCyclesUnlockedSkillsAndTheEmptyChoice)
{
    KindSkills kind;
    kind.positions = {16, 17, 18, 19};
    kind.unlocked = {true, false, true, false};
    const struct {
        bool next;
        u32 from, to;
    } cases[] = {
        {true, 4, 0}, {true, 0, 2}, {true, 2, 4}, {false, 4, 2}, {false, 2, 0}, {false, 0, 4}, {false, 9, 2},
    };
    for (const auto& c : cases) EXPECT_EQ(c.next ? kind.Next(c.from) : kind.Prev(c.from), c.to) << c.from;
    EXPECT_EQ(kind.IndexOf(18), 2u);
    EXPECT_EQ(kind.IndexOf(17), 4u);   // locked
    EXPECT_EQ(kind.IndexOf(0), 4u);
    EXPECT_EQ(kind.IndexOf(99), 4u);   // beyond the list
    KindSkills none;
    none.positions = {1};
    none.unlocked = {false};
    EXPECT_EQ(none.Next(1), 1u);
    EXPECT_EQ(none.Prev(1), 1u);
}

}  // namespace

// ---------------------------------------------------------------- in the game

namespace {

using game_test::GameDriver;

using menu_run::FromTitle;
using menu_run::Select;
using menu_run::SaveOptions;
using menu_run::Step;

// Battle on the title: card 1 a player on Talve with orbs from the panel,
// card 2 the computer on Derona in another team, cards 3 and 4 out; then
// start hands the cards to the option select.
TEST(CharaSelectRun, CardsEditedFromTheTitleGoToTheSetup)
{
    GameDriver game(game_test::GameDataRoot(), SaveOptions());
    ASSERT_TRUE(FromTitle(game, title::kBattle));
    CCharaSelect* scene = Select(game);
    ASSERT_TRUE(scene);
    EXPECT_FALSE(scene->GetSetup()->trainingMode);
    EXPECT_EQ(scene->GetCursor(), 0u);

    menu_run::EditTalveAgainstDerona(game);

    scene->WriteSetupEntries();
    for (u32 i = 0; i < 4; ++i)
        EXPECT_EQ(std::memcmp(scene->GetSetup()->GetEntry(i), scene->GetCard(i)->GetRecord(), 104), 0) << i;

    // Start: the option select is asked for (it names its layout while it
    // cannot load).
    game.Press(menu::kStart);
    EXPECT_TRUE(scene->IsProceeding());
    game.Frames(40);
    bool asked = game.CurrentScene() == "COptionSelect";
    for (const std::string& box : game.Boxes()) asked = asked || box.find("OptionSelect.sce") != std::string::npos;
    EXPECT_TRUE(asked) << game.Describe();
}

TEST(CharaSelectRun, StartIsRefusedUntilTwoTeamsPlay)
{
    GameDriver game(game_test::GameDataRoot(), SaveOptions());
    ASSERT_TRUE(FromTitle(game, title::kBattle));
    CCharaSelect* scene = Select(game);
    ASSERT_TRUE(scene);
    EXPECT_TRUE(scene->CanStart());   // four teams by default
    for (u32 i = 1; i < 4; ++i) scene->GetCard(i)->SetKind(kKindNone);
    EXPECT_FALSE(scene->CanStart());
    game.Press(menu::kStart);
    EXPECT_FALSE(scene->IsProceeding());
    scene->GetCard(1)->SetKind(kKindComputer);
    scene->GetCard(1)->SetTeam(0);
    EXPECT_FALSE(scene->CanStart());
    scene->GetCard(1)->SetTeam(3);
    EXPECT_TRUE(scene->CanStart());
}

// Cancel goes back to the title on the mode that was chosen.
TEST(CharaSelectRun, CancelReturnsToTheTitleItem)
{
    for (u32 item : {u32(title::kBattle), u32(title::kTraining)}) {
        SCOPED_TRACE(item);
        GameDriver game(game_test::GameDataRoot(), SaveOptions());
        ASSERT_TRUE(FromTitle(game, item));
        EXPECT_EQ(Select(game)->GetSetup()->trainingMode, item == title::kTraining ? 1u : 0u);
        game.Press(menu::kCancel);
        EXPECT_TRUE(game.RunUntil("CTitleScene", 60));
        EXPECT_TRUE(menu_run::BackOnTitleAt(game, item));
        EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
    }
}

// A random computer card shows "CpuSkill" and draws a set at start; a
// random card never lands on "Type" or "Custom".
TEST(CharaSelectRun, RandomComputerCardPicksItsSkillsAtStart)
{
    GameDriver game(game_test::GameDataRoot(), SaveOptions());
    ASSERT_TRUE(FromTitle(game, title::kBattle));
    CCharaSelect* scene = Select(game);
    CSelectCard* card = scene->GetCard(1);
    ASSERT_TRUE(card->IsRandomComputer());
    EXPECT_EQ(card->Word(kCpuSkill), 1u);
    EXPECT_TRUE(card->Element("rei_nazo")->GetSettings().visible);
    card->PickCpuSkills();
    bool listed = false;
    for (const auto& set : kCpuSkillTable)
        listed = listed || std::equal(set, set + 3, card->GetRecord() + kSkill0);
    EXPECT_TRUE(listed);
    card->Increase(kRowCpuSkill);
    EXPECT_EQ(card->Word(kCpuSkill), 0u);
    EXPECT_TRUE(card->Element("reig_off")->GetSettings().visible);
    EXPECT_FALSE(card->Element("reig_on")->GetSettings().visible);
    card->PickCpuSkills();
    for (u32 k = 0; k < 3; ++k) EXPECT_EQ(card->Word(kSkill0 + k), 0u);
    // The arrow bounces out and back within 0.3 s.
    game.Frames(5);
    EXPECT_GT(card->ArrowOffset(kRowCpuSkill), 0.0f);
    game.Frames(20);
    EXPECT_EQ(card->ArrowOffset(kRowCpuSkill), 0.0f);
}

// The select as the flow brings it back after a battle on setup, shown.
CCharaSelect* SelectAfterABattle(GameDriver& game, std::unique_ptr<CBattleSetup> setup)
{
    if (!menu_run::Enter(game, new menu_run::CIdleScene)) return nullptr;
    battle_flow::SelectArgs args;
    args.curtain = 1.0f;
    args.alpha = 1.0f;
    args.setup = std::move(setup);
    game.App().Flow()->GoCharaSelect(std::move(args));
    return Select(game);
}

// After a battle the select comes back on the set-up the battle played,
// under the cover, with its own crowd and music.
TEST(CharaSelectRun, BattleReturnsToTheSelectWithItsSetup)
{
    GameDriver game(game_test::GameDataRoot(), SaveOptions());
    auto played = std::make_unique<CBattleSetup>();
    played->trainingMode = 1;
    played->entries[2].kind = kKindNone;
    CBattleSetup* setup = played.get();
    CCharaSelect* scene = SelectAfterABattle(game, std::move(played));
    ASSERT_TRUE(scene) << game.Describe();
    EXPECT_EQ(scene->GetSetup(), setup);
    EXPECT_EQ(scene->GetCard(2)->Word(kKind), kKindNone);
    EXPECT_TRUE(menu_run::Playing(kMusicFile));
    game.Frames(70);
    game.Press(menu::kCancel);
    EXPECT_TRUE(game.RunUntil("CTitleScene", 60));
    EXPECT_TRUE(menu_run::BackOnTitleAt(game, title::kTraining));
}

// Row 0 of the card in slot 2: a card of another side in network play
// never becomes a player again.
TEST(CharaSelectRun, PlayerRowCyclesKinds)
{
    GameDriver game(game_test::GameDataRoot(), SaveOptions());
    ASSERT_TRUE(FromTitle(game, title::kBattle));
    CSelectCard* card = Select(game)->GetCard(2);
    const struct {
        u32 kind, network;
        bool up;
        u32 expected;
    } cases[] = {
        {kKindComputer, 0, true, kKindNone}, {kKindNone, 0, true, 2}, {2, 0, true, kKindComputer},
        {kKindNone, 1, true, kKindComputer}, {kKindComputer, 0, false, 2}, {kKindComputer, 1, false, kKindNone},
        {2, 0, false, kKindNone}, {kKindNone, 0, false, kKindComputer},
    };
    const char* marks[6] = {"1P", "2P", "3P", "4P", "cpu", "-"};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << (c.up ? " up" : " down") << " network " << c.network);
        card->SetKind(c.kind);
        card->SetNetwork(c.network);
        c.up ? card->Increase(kRowPlayer) : card->Decrease(kRowPlayer);
        EXPECT_EQ(card->Word(kKind), c.expected);
        for (u32 m = 0; m < 6; ++m) EXPECT_EQ(card->Element(marks[m])->GetSettings().visible, m == c.expected ? 1u : 0u);
        EXPECT_EQ(card->Element("Ckara")->GetSettings().visible, c.expected == kKindNone ? 1u : 0u);
    }
}

// A card takes another's record whole and shows it; its slot stays.
TEST(CharaSelectRun, ApplyReproducesACard)
{
    GameDriver game(game_test::GameDataRoot(), SaveOptions());
    ASSERT_TRUE(FromTitle(game, title::kBattle));
    CCharaSelect* scene = Select(game);
    CSelectCard* from = scene->GetCard(1);
    from->SetCharacter(1, true);
    from->SetType(1);
    from->SetColour(2);
    from->SetTeam(3);
    CSelectCard* to = scene->GetCard(3);
    to->Apply(from->GetRecord());
    EXPECT_EQ(std::memcmp(to->GetRecord(), from->GetRecord(), kEntryWords * 4), 0);
    EXPECT_EQ(to->Word(kSlot), 3u);
    for (const char* shown : {"cpu", "d", "color_c", "WDeronaB", "name_der"})
        EXPECT_TRUE(to->Element(shown)->GetSettings().visible) << shown;
    for (const char* hidden : {"WDeronaA", "WTalveB", "color_a", "a"})
        EXPECT_FALSE(to->Element(hidden)->GetSettings().visible) << hidden;
    // The same character again starts no new pop.
    game.Frames(20);
    const f32 pop = to->GetPopTime();
    to->SetCharacter(1, true);
    EXPECT_EQ(to->GetPopTime(), pop);
    to->SetCharacter(2, true);
    EXPECT_EQ(to->GetPopTime(), 0.0f);
}

// Each card draws its hand value's items; a hand of 0 draws none.
TEST(CharaSelectRun, HandItemsFollowTheHandValue)
{
    GameDriver game(game_test::GameDataRoot(), SaveOptions());
    ASSERT_TRUE(FromTitle(game, title::kBattle));
    CCharaSelect* scene = Select(game);
    const u32 hands[4] = {0, 2, 4, 3};
    for (u32 i = 0; i < 4; ++i) scene->GetCard(i)->SetHand(hands[i]);
    scene->GetCard(3)->SetKind(kKindNone);   // an empty card shows no hand
    game.Frame();
    const std::vector<std::string> drawn = menu_run::DrawnLayers(
        game, scene_data::CharaSelectLayers(), menu::FindTexture(scene_data::kCharaSelectTexture));
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), "Chara/HandItem"), 6);
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), "Chara/Hand/HandTitle"), 3);
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), "Title"), 1);
}

// Each card draws, in each of its rows, the one value its record holds:
// drawing a row draws the marks its group holds that are shown. An empty
// card draws its kind and portrait only.
TEST(CharaSelectRun, CardsDrawTheValuesTheyHold)
{
    GameDriver game(game_test::GameDataRoot(), SaveOptions());
    ASSERT_TRUE(FromTitle(game, title::kBattle));
    CCharaSelect* scene = Select(game);
    ASSERT_NE(scene, nullptr) << game.Describe();
    const struct {
        u32 kind, character, type, team, colour;
    } cards[4] = {{0, 0, 1, 1, 3}, {kKindComputer, 2, 0, 2, 0}, {1, 5, 1, 3, 1}, {kKindNone, 7, 0, 0, 2}};
    for (u32 i = 0; i < 4; ++i) {
        CSelectCard* card = scene->GetCard(i);
        card->SetCharacter(cards[i].character, true);
        card->SetType(cards[i].type);
        card->SetKind(cards[i].kind);
        card->SetTeam(cards[i].team);
        card->SetColour(cards[i].colour);
    }
    game.Frames(30);   // past the names' pop
    const std::vector<std::string> drawn = menu_run::DrawnLayers(
        game, scene_data::CharaSelectLayers(), menu::FindTexture(scene_data::kCharaSelectTexture));
    const std::pair<const char*, long> counts[] = {
        {"Chara/Player/1P", 1}, {"Chara/Player/cpu", 1}, {"Chara/Player/2P", 1}, {"Chara/Player/-", 1},
        {"Chara/Player/PlayerTitle", 4}, {"Chara/Team/TeamTitle", 3}, {"Chara/Team/b", 1}, {"Chara/Team/c", 1},
        {"Chara/Team/d", 1}, {"Chara/Team/a", 0}, {"Chara/Color/color_d", 1}, {"Chara/Color/color_a", 1},
        {"Chara/Color/color_b", 1}, {"Chara/Color/color_c", 0}, {"Chara/Name/name_tal", 1},
        {"Chara/Name/name_pel", 1}, {"Chara/Name/name_ezm", 1}, {"Chara/Type/WTalveB", 1},
        {"Chara/Type/WPelluA", 1}, {"Chara/Type/WEzmelB", 1}, {"Chara/Type/WTalveA", 0},
        {"Chara/Image/Ckara", 1}, {"Chara/Image/Ctal", 1}, {"Chara/Image/Cker", 0}, {"Chara/Name/name_ker", 0},
    };
    for (const auto& [layer, count] : counts) EXPECT_EQ(std::count(drawn.begin(), drawn.end(), layer), count) << layer;
}

// Cards loaded from set-up entries holding the highest hand keep it and
// draw all four items; a hand of 0 draws none.
TEST(CharaSelectRun, CardsLoadedWithHandFourDrawFourItems)
{
    GameDriver game(game_test::GameDataRoot(), SaveOptions());
    auto setup = std::make_unique<CBattleSetup>();
    const u32 hands[4] = {0, 4, 0, 4};
    for (u32 i = 0; i < 4; ++i) setup->entries[i].factorLevel = hands[i];
    CCharaSelect* scene = SelectAfterABattle(game, std::move(setup));
    ASSERT_TRUE(scene) << game.Describe();
    for (u32 i = 0; i < 4; ++i) EXPECT_EQ(scene->GetCard(i)->Word(kHand), hands[i]) << i;
    game.Frame();
    const std::vector<std::string> drawn = menu_run::DrawnLayers(
        game, scene_data::CharaSelectLayers(), menu::FindTexture(scene_data::kCharaSelectTexture));
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), "Chara/HandItem"), 8);
}

// Decide ends editing with the card ready, cancel without; the help line
// follows the mode.
TEST(CharaSelectRun, EditingEndsReadyOnlyOnDecide)
{
    const struct {
        u32 code, ready;
    } cases[] = {{menu::kDecide, 1}, {menu::kStart, 1}, {menu::kCancel, 0}};
    GameDriver game(game_test::GameDataRoot(), SaveOptions());
    ASSERT_TRUE(FromTitle(game, title::kBattle));
    CCharaSelect* scene = Select(game);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        Step(game, menu::kDecide);
        ASSERT_TRUE(scene->IsEditing());
        EXPECT_EQ(scene->GetHelpText(), 1u);
        EXPECT_EQ(scene->GetCard(0)->Word(kReady), 0u);
        Step(game, menu::kDown);
        Step(game, c.code);
        EXPECT_FALSE(scene->IsEditing());
        EXPECT_EQ(scene->GetRow(), 0u);
        EXPECT_EQ(scene->GetHelpText(), 0u);
        EXPECT_EQ(scene->GetCard(0)->Word(kReady), c.ready);
        EXPECT_FALSE(scene->IsProceeding());
    }
}

// Left or right on "Custom" opens the orb panel, and the frame's other keys
// still take their steps: the row the card's cursor moves to is where
// editing goes on once the panel closes.
TEST(CharaSelectRun, OpeningTheOrbPanelKeepsTheFramesOtherKeys)
{
    const struct {
        u32 turn, move, row;
    } cases[] = {{menu::kRight, menu::kDown, kRowHand}, {menu::kLeft, menu::kUp, kRowType}};
    GameDriver game(game_test::GameDataRoot(), SaveOptions());
    ASSERT_TRUE(FromTitle(game, title::kBattle));
    CCharaSelect* scene = Select(game);
    ASSERT_TRUE(scene);
    Step(game, menu::kDecide);
    ASSERT_TRUE(scene->IsEditing());
    Step(game, menu::kDown);
    Step(game, menu::kDown);
    Step(game, menu::kRight);   // a named fighter: every row is offered
    ASSERT_NE(scene->GetCard(0)->Word(kCharacter), kRandom);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        for (u32 i = 0; i < kRowCount && scene->GetRow() != kRowCustom; ++i) Step(game, menu::kDown);
        ASSERT_EQ(scene->GetRow(), u32(kRowCustom));
        game.Hold(c.turn, true);
        game.Hold(c.move, true);
        game.Frame();
        game.Hold(c.turn, false);
        game.Hold(c.move, false);
        game.Frames(30);   // the row slides, then the panel opens
        EXPECT_TRUE(scene->IsPanelOpen());
        EXPECT_EQ(scene->GetTargetRow(), c.row);
        Step(game, menu::kCancel, 30);   // the panel closes
        ASSERT_FALSE(scene->IsPanelOpen());
        EXPECT_TRUE(scene->IsEditing());
        EXPECT_EQ(scene->GetRow(), c.row);
    }
}

// The cards' cursor: keys pressed in one frame each take their step, a
// move first (a decide opens the card moved to) and a start refused still
// lets a cancel leave.
TEST(CharaSelectRun, KeysOfOneFrameEachTakeTheirStepOnTheCards)
{
    const struct {
        const char* what;
        std::vector<u32> together;
        bool oneAlone;   // cards 1 to 3 out: start is refused
        u32 cursor;
        bool editing, proceeding, leaving;
    } cases[] = {
        {"right and decide", {menu::kRight, menu::kDecide}, false, 1, true, false, false},
        {"left and start", {menu::kLeft, menu::kStart}, false, 3, false, true, false},
        {"right and cancel", {menu::kStickRight, menu::kCancel}, false, 1, false, false, true},
        {"decide and start", {menu::kDecide, menu::kStart}, false, 0, true, true, false},
        {"decide and cancel", {menu::kDecide, menu::kCancel}, false, 0, true, false, true},
        {"start refused and cancel", {menu::kStart, menu::kCancel}, true, 0, false, false, true},
        {"left and right go left", {menu::kLeft, menu::kRight}, false, 3, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        GameDriver game(game_test::GameDataRoot(), SaveOptions());
        ASSERT_TRUE(FromTitle(game, title::kBattle));
        CCharaSelect* scene = Select(game);
        ASSERT_TRUE(scene);
        if (c.oneAlone)
            for (u32 i = 1; i < 4; ++i) scene->GetCard(i)->SetKind(kKindNone);
        for (u32 code : c.together) game.Hold(code, true);
        game.Frame();
        for (u32 code : c.together) game.Hold(code, false);
        EXPECT_EQ(scene->GetCursor(), c.cursor);
        EXPECT_EQ(scene->IsEditing(), c.editing);
        EXPECT_EQ(scene->GetHelpText(), c.editing ? 1u : 0u);
        EXPECT_EQ(scene->IsProceeding(), c.proceeding);
        EXPECT_EQ(scene->IsLeaving(), c.leaving);
    }
}

// The help ticker's offset places its text's end: the text comes in from
// the window's right edge and its end crosses the whole window, at the
// first frame and later on.
TEST(CharaSelectRun, HelpTickerEndsAtItsOffset)
{
    GameDriver game(game_test::GameDataRoot(), SaveOptions());
    ASSERT_TRUE(FromTitle(game, title::kBattle));
    CCharaSelect* scene = Select(game);
    ASSERT_TRUE(scene);
    const u64 font = game.Render().IdOf(menu::MenuFont()->GetTexture());
    for (u32 frames : {1u, 400u}) {
        game.Frames(frames);
        const f32 end = 580.0f + scene->GetHelpOffset();
        f32 left = 1e9f, right = -1e9f;
        for (const drawn_sprites::Sprite& glyph : drawn_sprites::Sprites(game, {}, nullptr)) {
            if (glyph.texture != font || glyph.y < 14.0f || glyph.y >= 64.0f) continue;
            left = std::min(left, glyph.x);
            right = std::max(right, glyph.x + glyph.w);
        }
        SCOPED_TRACE(end);
        EXPECT_NEAR(right, end, 3.0f);
        EXPECT_LT(left, end - 900.0f);   // the whole text before it
    }
}

// Up and down in one frame of editing each take their step: the row
// cursor goes up and comes back.
TEST(CharaSelectRun, UpAndDownInOneFrameOfEditingBothMove)
{
    GameDriver game(game_test::GameDataRoot(), SaveOptions());
    ASSERT_TRUE(FromTitle(game, title::kBattle));
    CCharaSelect* scene = Select(game);
    ASSERT_TRUE(scene);
    Step(game, menu::kDecide);
    Step(game, menu::kDown);
    ASSERT_TRUE(scene->IsEditing());
    ASSERT_EQ(scene->GetRow(), 1u);
    game.Hold(menu::kUp, true);
    game.Hold(menu::kDown, true);
    game.Frame();
    game.Hold(menu::kUp, false);
    game.Hold(menu::kDown, false);
    EXPECT_EQ(scene->GetTargetRow(), 1u);
    game.Frames(12);
    EXPECT_EQ(scene->GetRow(), 1u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace chara_select_test
