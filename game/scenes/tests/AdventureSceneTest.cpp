#include "game/scenes/AdventureScene.h"

#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/scene/EffectController.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleProgress.h"
#include "game/battle/scene/BattleResults.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/MenuConsole.h"
#include "game/data/AdventureSetting.h"
#include "game/data/SaveConfig.h"
#include "game/data/SaveData.h"
#include "game/data/Skill.h"
#include "game/data/tests/SettingTestSupport.h"
#include "game/data/tests/SettingWriter.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/SingleCharaSelect.h"
#include "game/scenes/tests/DrawnSprites.h"
#include "game/scenes/tests/MenuRun.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace adventure_scene_test {

namespace ORV_TEST_FILE_ID {

namespace {

using namespace adventure;
using game_test::GameDriver;

// -- The map's shape. --

TEST(AdventureMapTest, NodeIndexCountsTheColumnsBefore)
{
    const Map map{{1, 2, 3}};
    const struct {
        u32 column, halfRow;
        i32 node;
    } cases[] = {{0, 0, 0}, {0, 1, 0}, {0, 2, 0}, {1, 1, 1}, {1, 4, 2}, {2, 5, 5}, {2, 6, 5},
        {0, 3, -1}, {1, 5, -1}, {3, 1, -1}, {0xFFFFFFFFu, 1, -1}, {2, 0xFFFFFFFFu, -1}};
    for (const auto& c : cases) EXPECT_EQ(map.NodeIndex(c.column, c.halfRow), c.node) << c.column << "," << c.halfRow;
}

// Columns of 1, 2 and 3 nodes (and 2 beside 2): up and down need the node
// they lead to open, left only from a node, right only where the parities
// let the half-rows meet; the last column has no branch points to use.
TEST(AdventureMapTest, MovesByHalfRowAndParity)
{
    const std::set<i32> all = {0, 1, 2, 3, 4, 5, 6, 7};
    const struct {
        std::vector<u32> counts;
        Cursor from;
        Move move;
        std::set<i32> open;
        Cursor to;
    } cases[] = {
        {{1, 2, 3}, {0, 1}, Move::kUp, all, {0, 0}},
        {{1, 2, 3}, {0, 1}, Move::kUp, {0, 2}, {0, 1}},        // node 1 (next column, top) locked
        {{1, 2, 3}, {0, 1}, Move::kDown, {0, 1}, {0, 1}},      // node 2 locked
        {{1, 2, 3}, {0, 1}, Move::kDown, {0, 2}, {0, 2}},
        {{1, 2, 3}, {0, 1}, Move::kRight, all, {0, 1}},        // odd beside even: from a branch point only
        {{1, 2, 3}, {0, 0}, Move::kRight, all, {1, 1}},
        {{1, 2, 3}, {0, 2}, Move::kRight, all, {1, 3}},
        {{1, 2, 3}, {0, 0}, Move::kDown, {1}, {0, 0}},         // back to node 0, locked
        {{1, 2, 3}, {0, 0}, Move::kDown, {0}, {0, 1}},
        {{1, 2, 3}, {0, 0}, Move::kUp, all, {0, 0}},
        {{1, 2, 3}, {1, 1}, Move::kLeft, all, {0, 0}},
        {{1, 2, 3}, {1, 2}, Move::kLeft, all, {1, 2}},         // a branch point: no left
        {{1, 2, 3}, {0, 1}, Move::kLeft, all, {0, 1}},
        {{1, 2, 3}, {1, 4}, Move::kDown, all, {1, 4}},
        {{1, 2, 3}, {2, 3}, Move::kUp, all, {2, 3}},           // last column
        {{1, 2, 3}, {2, 3}, Move::kRight, all, {2, 3}},
        {{2, 2}, {0, 3}, Move::kRight, all, {1, 3}},           // same parity: node to node
        {{2, 2}, {0, 2}, Move::kRight, all, {0, 2}},
        {{3, 2}, {0, 0}, Move::kRight, all, {0, 0}},           // would land above the column
        {{3, 2}, {0, 6}, Move::kRight, all, {0, 6}},           // and below it
        {{3, 1}, {0, 5}, Move::kDown, all, {0, 5}},            // the node it leads to is not there
        {{1, 2}, {0, 9}, Move::kUp, all, {0, 9}},              // off the map: stays
    };
    for (const auto& c : cases) {
        const Map map{c.counts};
        const Cursor to = StepCursor(map, c.from, c.move, [&](i32 node) { return c.open.count(node) > 0; });
        EXPECT_EQ(to, c.to) << "from " << c.from.column << "," << c.from.halfRow << " move " << int(c.move);
    }
}

// -- The list checked. --

// Three skills, the third's picture past the 45.
void WriteSkills()
{
    setting_test::SettingWriter list;
    for (i32 i = 1; i <= 3; ++i) {
        const std::string file = "Sk" + std::to_string(i) + ".txt";
        list.Set("SKILL", file);
        ASSERT_TRUE(setting_test::SettingWriter().Set("NAME", file).Set("IMAGEID", i == 3 ? 45 : 44).Save(file));
    }
    ASSERT_TRUE(list.Save("Skill.txt"));
}

// The list written in a fresh folder with its events (A.txt a stage, B.txt
// empty, C.txt as given) and checked against the skills.
MapCheck CheckWritten(const std::string& listText, const std::string& c, Map* map)
{
    setting_test::WorkFolder folder;
    WriteSkills();
    setting_test::WriteBytes("A.txt", "STAGE=1;");
    setting_test::WriteBytes("B.txt", "");
    setting_test::WriteBytes("C.txt", c);
    setting_test::WriteBytes("Adventure.txt", listText);
    CSkillList skills;
    EXPECT_EQ(skills.LoadFile("Skill.txt"), 1);
    CAdventureSetting list;
    EXPECT_EQ(list.LoadFile("Adventure.txt"), 1) << listText;
    return CheckMap(list, &skills, map);
}

TEST(AdventureMapTest, DamagedListsAreRefusedNamingWhere)
{
    const std::string good = "COUNT=1;COUNT=2;ADVENTURE=A.txt;ADVENTURE=B.txt;ADVENTURE=C.txt;";
    // At every bound, and a row without opponent whose values are not read.
    const std::string event =
        "CHARA00TYPE=1;STAGE=18;BGM=17;TIME=6;GETSKILL=2;NEXTOPEN=3;CHARA01TYPE=-7;CHARA01CPU=99;";
    const struct {
        std::string list, c;
        MapError error;
        u32 where;
    } cases[] = {
        {good, event, MapError::kNone, 0},
        {"ADVENTURE=A.txt;", event, MapError::kNoColumns, 0},
        {"COUNT=3;COUNT=0;ADVENTURE=A.txt;ADVENTURE=B.txt;ADVENTURE=C.txt;", event, MapError::kCountBelowOne, 1},
        {"COUNT=4;COUNT=-1;ADVENTURE=A.txt;ADVENTURE=B.txt;ADVENTURE=C.txt;", event, MapError::kCountBelowOne, 1},
        {good, "CHARA02TYPE=18;", MapError::kOpponent, 2},
        {good, "CHARA00TYPE=0;CHARA00BARRAGE=2;", MapError::kOpponentValue, 2},
        {good, "CHARA00TYPE=0;CHARA00HANDICAP=5;", MapError::kOpponentValue, 2},
        {good, "CHARA00TYPE=0;CHARA00CPU=-1;", MapError::kOpponentValue, 2},
        {good, "CHARA00TYPE=0;CHARA00CPU=11;", MapError::kOpponentValue, 2},
        // Skills past the list or below 0 are none, as the battle reads them.
        {good, "CHARA01TYPE=0;CHARA01SKILL02=4;CHARA00TYPE=0;CHARA00SKILL03=-1;", MapError::kNone, 0},
        {good, "STAGE=20;", MapError::kStage, 2},
        {good, "STAGE=-1;", MapError::kStage, 2},
        {good, "BGM=18;", MapError::kMusic, 2},
        {good, "TIME=7;", MapError::kTime, 2},
        {good, "GETSKILL=4;", MapError::kOrb, 2},
        {good, "GETSKILL=3;", MapError::kOrbImage, 2},
        // 0 and below award and open nothing; a target past the nodes sets a
        // flag no node reads.
        {good, "GETSKILL=-1;NEXTOPEN=-1;NEXTCONDITIONOPEN=-1;", MapError::kNone, 0},
        {good, "NEXTOPEN=4;NEXTCONDITIONOPEN=256;", MapError::kNone, 0},
        {good, "NEXTCONDITIONOPEN=-2;NEXTOPEN=257;", MapError::kNone, 0},
    };
    for (const auto& c : cases) {
        Map map;
        const MapCheck check = CheckWritten(c.list, c.c, &map);
        EXPECT_EQ(check.error, c.error) << c.list << " | " << c.c << ": " << DescribeMapError(check);
        EXPECT_EQ(check.where, c.where) << c.c;
        EXPECT_EQ(map.Columns(), c.error == MapError::kNone ? 2u : 0u);
    }
}

// Counts and event files that differ still make a map: a node past the
// event files has none (NEXTOPEN may still name it), and an event file no
// column reaches is never read, however damaged.
TEST(AdventureMapTest, CountsAndEventFilesNeedNotAgree)
{
    const struct {
        std::string list, c;
        std::vector<u32> counts;
    } cases[] = {
        {"COUNT=1;COUNT=2;COUNT=1;ADVENTURE=A.txt;ADVENTURE=B.txt;ADVENTURE=C.txt;", "NEXTOPEN=4;", {1, 2, 1}},
        {"COUNT=1;ADVENTURE=A.txt;ADVENTURE=A.txt;", "", {1}},
        {"COUNT=1;COUNT=1;ADVENTURE=A.txt;ADVENTURE=B.txt;ADVENTURE=C.txt;", "STAGE=19;NEXTOPEN=99;", {1, 1}},
        {"COUNT=2;", "", {2}},
    };
    for (const auto& c : cases) {
        Map map;
        const MapCheck check = CheckWritten(c.list, c.c, &map);
        EXPECT_EQ(check.error, MapError::kNone) << c.list << ": " << DescribeMapError(check);
        EXPECT_EQ(map.counts, c.counts) << c.list;
    }
    // Past the nodes the map has is taken too: it opens nothing on the map.
    Map map;
    EXPECT_EQ(CheckWritten("COUNT=1;COUNT=2;COUNT=1;ADVENTURE=A.txt;ADVENTURE=B.txt;ADVENTURE=C.txt;", "NEXTOPEN=5;",
                  &map).error,
        MapError::kNone);
}

// Past the window's labels a map is still a map: eleven columns, a column
// of eleven nodes, STAGE 19 (random) and the training levels 5 to 10; a
// count far past the event files costs nothing and indexes no node.
TEST(AdventureMapTest, MapsPastTheLabelsAreTaken)
{
    std::string events, columns;
    for (u32 i = 0; i < 11; ++i) events += "ADVENTURE=A.txt;";
    for (u32 c = 0; c < 11; ++c) columns += "COUNT=1;";
    const struct {
        std::string list, c;
        std::vector<u32> counts;
    } cases[] = {
        {"COUNT=10;" + events, "", {10}},
        {"COUNT=11;" + events, "", {11}},
        {columns + events, "", std::vector<u32>(11, 1)},
        {"COUNT=1;COUNT=2;ADVENTURE=A.txt;ADVENTURE=B.txt;ADVENTURE=C.txt;", "STAGE=19;", {1, 2}},
        {"COUNT=3;ADVENTURE=A.txt;ADVENTURE=B.txt;ADVENTURE=C.txt;", "CHARA00TYPE=2;CHARA00CPU=5;", {3}},
        {"COUNT=3;ADVENTURE=A.txt;ADVENTURE=B.txt;ADVENTURE=C.txt;", "CHARA02TYPE=2;CHARA02CPU=10;", {3}},
        {"COUNT=2147483647;COUNT=2147483647;COUNT=2;ADVENTURE=A.txt;ADVENTURE=C.txt;", "", {2147483647, 2147483647, 2}},
    };
    for (const auto& c : cases) {
        Map map;
        const MapCheck check = CheckWritten(c.list, c.c, &map);
        EXPECT_EQ(check.error, MapError::kNone) << c.list << " | " << c.c << ": " << DescribeMapError(check);
        EXPECT_EQ(map.counts, c.counts) << c.list;
    }
    const Map huge{{2147483647u, 2147483647u, 2}};
    EXPECT_EQ(huge.Nodes(), 2ull * 2147483647u + 2u);
    EXPECT_EQ(huge.NodeIndex(1, 1), 2147483647);
    EXPECT_EQ(huge.NodeIndex(2, 1), -1);   // past what an index holds: not node 0 again
}

// -- The battle's set-up. --

TEST(AdventureSetupTest, FillsOpponentsAndOptions)
{
    AdventureEventValues v{};
    v.chara[0] = {0, 1, 2, 3, 4, 5, 6};   // Talve, as the player
    v.chara[1] = {-1, 1, 1, 1, 1, 1, 1};
    v.chara[2] = {1, 0, 4, 2, 0, 0, 45};
    v.stage = 7, v.bgm = 12, v.time = 5;
    CBattleSetup setup;
    setup.entries[0].character = 0;
    CAdventureScene::FillBattleSetup(setup, v);
    const struct {
        u32 kind, character, variant, factor, cpu, colour, team, orb2;
    } expected[3] = {{4, 0, 1, 2, 3, 1, 1, 6}, {5, 18, 0, 4, 0, 0, 2, 0}, {4, 1, 0, 4, 2, 0, 1, 45}};
    for (u32 i = 0; i < 3; ++i) {
        const CBattleEntry& e = setup.entries[i + 1];
        const auto& x = expected[i];
        EXPECT_EQ((std::vector<u32>{e.kind, e.character, e.variant, e.factorLevel, e.characterWords[1],
                      e.characterWords[0], e.team, e.orbs[2]}),
                  (std::vector<u32>{x.kind, x.character, x.variant, x.factor, x.cpu, x.colour, x.team, x.orb2}))
            << "entry " << i + 1;
    }
    EXPECT_EQ(setup.option.stage, 7u);
    EXPECT_EQ(setup.option.music, 15u);
    EXPECT_EQ(setup.option.timeSetting, 5u);
    EXPECT_EQ(setup.option.computerLevel, 3u);
    EXPECT_EQ(setup.option.ownTension, 0u);
    EXPECT_EQ(setup.recordReplay, 0u);

    // No opponent at all: every entry none, CPU level 0.
    for (AdventureParticipant& row : v.chara) row.type = -1;
    CBattleSetup empty;
    CAdventureScene::FillBattleSetup(empty, v);
    for (u32 i = 1; i < 4; ++i) EXPECT_EQ(empty.entries[i].kind, CBattleEntry::kKindNone);
    EXPECT_EQ(empty.option.computerLevel, 0u);
}

// -- The scene on the data set: columns of 1, 2 and 3 nodes; node 0 opens
// node 1 and gives orb 3; node 2 gives nothing; node 5 has no opponent. --

CAdventureScene* Scene(GameDriver& game) { return dynamic_cast<CAdventureScene*>(game.App().GetScene()); }

// Every node cleared and every orb obtained, all of it already shown: the
// save the completion card waits for.
void CompleteEverything(CSaveData* save)
{
    for (i32 i = 0; i < 45; ++i) save->SetUnlockFlag(i, 1);
    for (i32 n = 0; n < 6; ++n) save->SetAdventureClearFlag(n, 1), save->SetAdventureRewardFlag(n, 1);
    save->MarkUnlockFlagsShown();
    save->MarkAdventureRewardFlagsShown();
}

CAdventureScene* Show(GameDriver& game, u32 column = 0, u32 halfRow = 1, u32 character = 1)
{
    CAdventureSceneArgs args;
    args.curtain = 0.0f;
    args.setup = new CBattleSetup(game.App().GetSaveConfig());
    args.setup->adventureMode = 1;
    args.setup->entries[0].character = character;
    args.column = column;
    args.halfRow = halfRow;
    game.App().ChangeScene(new CAdventureScene, reinterpret_cast<intptr_t>(&args));
    return Scene(game);
}

TEST(AdventureSceneRun, FreshSaveEntersOnlyOpenNodes)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CAdventureScene* scene = Show(game);
    ASSERT_NE(scene, nullptr) << game.Describe();
    EXPECT_EQ(scene->GetMap().counts, (std::vector<u32>{1, 2, 3}));
    // A fresh save opens node 0 unshown: the first visit flips it open.
    EXPECT_TRUE(scene->IsOpenAnimationPending());
    EXPECT_FALSE(scene->IsCardShown());
    menu_run::FadeIn(game);
    game.Frames(60);
    EXPECT_FALSE(scene->IsOpenAnimationPending());
    const struct {
        u32 key;
        Cursor at;
        bool info;
    } steps[] = {
        {menu::kUp, {0, 1}, false},      // node 1 locked
        {menu::kDown, {0, 1}, false},    // node 2 locked
        {menu::kRight, {0, 1}, false},
        {menu::kDecide, {0, 1}, true},   // node 0 is open
        {menu::kLeft, {0, 1}, true},     // the window holds the cursor
        {menu::kCancel, {0, 1}, false},
    };
    for (const auto& s : steps) {
        game.Press(s.key);
        game.Frames(20);
        EXPECT_EQ(scene->GetCursor(), s.at) << s.key;
        EXPECT_EQ(scene->IsInfoOpen(), s.info) << s.key;
    }
    // With node 1 open: up to the branch point, right onto node 1, where
    // decide shows its window; node 2 stays closed.
    game.App().GetSaveData()->SetAdventureRewardFlag(1, 1);
    for (u32 key : {u32(menu::kStickUp), u32(menu::kStickRight)}) {
        game.Press(key);
        game.Frames(20);
    }
    EXPECT_EQ(scene->GetCursor(), (Cursor{1, 1}));
    game.Press(menu::kDown);
    game.Frames(20);
    EXPECT_EQ(scene->GetCursor(), (Cursor{1, 1}));   // node 3 locked
    game.Press(menu::kDecide);
    game.Frame();
    const std::vector<std::string> drawn =
        menu_run::DrawnLayers(game, LayerNames(), scene->FindLayer("Base")->GetTexture());
    for (const char* layer : {"Window", "sk_1", "sk_a", "ico_cha2"})
        EXPECT_NE(std::find(drawn.begin(), drawn.end(), layer), drawn.end()) << layer;
    game.Press(menu::kCancel);
    game.Frame();
    game.Press(menu::kCancel);
    EXPECT_TRUE(scene->IsLeaving());
    ASSERT_TRUE(game.RunUntil("CSingleCharaSelect", 80));
    const auto* select = dynamic_cast<const CSingleCharaSelect*>(game.App().GetScene());
    EXPECT_EQ(select->GetMode(), single_select::kAdventure);
}

// Up with a side key at once: the side move that cannot go leaves the up
// in place; one that can go wins, as it is handled after.
TEST(AdventureSceneRun, DiagonalKeepsTheVerticalMoveWhenTheSideCannotGo)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    game.App().GetSaveData()->SetAdventureRewardFlag(1, 1);
    game.App().GetSaveData()->SetAdventureRewardFlag(2, 1);
    const struct {
        u32 start, vertical, side;
        Cursor at;
    } cases[] = {
        {1, menu::kUp, menu::kLeft, {0, 0}},     // column 0 has no left
        {1, menu::kUp, menu::kRight, {0, 0}},    // a node's row leads right only from a branch point
        {1, menu::kDown, menu::kLeft, {0, 2}},
        {0, menu::kDown, menu::kRight, {1, 1}},  // from the branch point right can go: it wins
    };
    for (const auto& c : cases) {
        CAdventureScene* scene = Show(game, 0, c.start);
        ASSERT_NE(scene, nullptr) << game.Describe();
        menu_run::FadeIn(game);
        game.Frames(60);
        ASSERT_EQ(scene->GetCursor(), (Cursor{0, c.start}));
        game.Hold(c.vertical, true);
        game.Hold(c.side, true);
        game.Frame();
        game.Hold(c.vertical, false);
        game.Hold(c.side, false);
        game.Frames(20);
        EXPECT_EQ(scene->GetCursor(), c.at) << c.vertical << "+" << c.side << " from " << c.start;
    }
}

// A cursor handed back off the map (the map changed) starts on node 0.
TEST(AdventureSceneRun, CursorOffTheMapStartsOnTheFirstNode)
{
    const struct {
        u32 column, halfRow;
        Cursor at;
    } cases[] = {{2, 5, {2, 5}}, {1, 4, {1, 4}}, {3, 1, {0, 1}}, {1, 5, {0, 1}}, {0xFFFFFFFFu, 0xFFFFFFFFu, {0, 1}}};
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    for (const auto& c : cases) {
        CAdventureScene* scene = Show(game, c.column, c.halfRow);
        ASSERT_NE(scene, nullptr) << game.Describe();
        EXPECT_EQ(scene->GetCursor(), c.at) << c.column << "," << c.halfRow;
    }
}

// What a won node 0 leaves: its clear flag, node 1 open, orb 3 obtained.
// The map flips node 1 open for a second and marks it shown, then names
// the orb until decide; node 0 gets the silver medal (node 2 not open).
// A second orb won with it is marked shown with it, unnamed.
TEST(AdventureSceneRun, NewFlagsAnimateThenShowTheOrb)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CSaveData* save = game.App().GetSaveData();
    save->SetAdventureClearFlag(0, 1);
    save->SetAdventureRewardFlag(1, 1);
    save->SetUnlockFlag(2, 1);
    save->SetUnlockFlag(6, 1);   // two at once: the message names the lower
    CAdventureScene* scene = Show(game);
    ASSERT_NE(scene, nullptr) << game.Describe();
    EXPECT_TRUE(scene->IsOpenAnimationPending());
    EXPECT_TRUE(scene->IsOrbMessagePending());
    game.Frames(40);   // fade in, the flip under way
    EXPECT_TRUE(scene->IsOpenAnimationPending());
    EXPECT_FALSE(save->GetShownAdventureRewardFlag(1));
    game.Press(menu::kDecide);   // not read during the flip
    game.Frames(60);
    EXPECT_FALSE(scene->IsOpenAnimationPending());
    EXPECT_TRUE(save->GetShownAdventureRewardFlag(1));
    EXPECT_TRUE(scene->IsOrbMessagePending());
    game.Press(menu::kUp);   // nor the map under the message
    EXPECT_EQ(scene->GetTarget(), (Cursor{0, 1}));
    const auto frame = scene->FindLayer("Base")->GetTexture();
    scene_data::CSceneDataSet set;
    scene_data::AddAdventureData(set);
    const std::vector<std::string> drawn =
        menu_run::DrawnLayers(game, LayerNames(), frame, set.layoutSheets[kLayout]);   // the frame is a sheet
    for (const char* layer : {"stg1", "sk_gin", "cha2_m", "AD_line1", "ico_cha2", "Base", "SkillGet", "rei_geki2"})
        EXPECT_NE(std::find(drawn.begin(), drawn.end(), layer), drawn.end()) << layer;
    for (const char* layer : {"sk_kin", "rei_geki6"})
        EXPECT_EQ(std::find(drawn.begin(), drawn.end(), layer), drawn.end()) << layer;
    game.Press(menu::kDecide);
    EXPECT_FALSE(scene->IsOrbMessagePending());
    EXPECT_TRUE(save->GetShownUnlockFlag(2) && save->GetShownUnlockFlag(6));
    EXPECT_FALSE(scene->IsInfoOpen());
}

// Every node cleared and every orb obtained: the card once, until a button
// after a second; the next visit shows the map.
TEST(AdventureSceneRun, CompletionCardShowsOnce)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CSaveData* save = game.App().GetSaveData();
    CompleteEverything(save);
    CAdventureScene* scene = Show(game);
    ASSERT_NE(scene, nullptr) << game.Describe();
    EXPECT_TRUE(scene->IsCardShown());
    EXPECT_TRUE(save->IsAdventureCompleteShown());
    game.Press(menu::kDecide);   // too early
    EXPECT_TRUE(scene->IsCardShown());
    game.Frames(60);
    game.Press(menu::kDecide);
    EXPECT_FALSE(scene->IsCardShown());
    EXPECT_FALSE(Show(game)->IsCardShown());
}

// The windows the card and the open effect are checked on: 4:3, and a
// wider one where the layout stands a side bar in.
struct Screen {
    u32 size;   // the configuration's screen size
    u32 width, height;
};
constexpr Screen kScreens[] = {{2, 1024, 768}, {7, 1280, 720}};

game_test::DriverOptions ScreenOptions(const Screen& screen)
{
    return menu_run::Options([size = screen.size](CSaveConfig& config) {
        config.GetGraphicsSettings()->screenSize = u8(size);
    });
}

// Brings the game to the idle menu and checks it runs on the screen's window.
void EnterIdleOn(GameDriver& game, const Screen& screen)
{
    ASSERT_TRUE(menu_run::EnterIdle(game));
    ASSERT_EQ(game.App().GetClientWidth(), screen.width);
    ASSERT_EQ(game.App().GetClientHeight(), screen.height);
}

// The card's three parts stand centred in the layout area, on a 4:3 window
// and on a wider one where the layout stands a side bar in: the picture
// fills it, the band and the title (slid home) lie across it at its
// middle.
TEST(AdventureSceneRun, CompletionCardIsCentredOnEveryWindow)
{
    for (const Screen& screen : kScreens) {
        SCOPED_TRACE(screen.width);
        GameDriver game(game_test::GameDataRoot(), ScreenOptions(screen));
        ASSERT_NO_FATAL_FAILURE(EnterIdleOn(game, screen));
        CSaveData* save = game.App().GetSaveData();
        CompleteEverything(save);
        CAdventureScene* scene = Show(game);
        ASSERT_NE(scene, nullptr) << game.Describe();
        ASSERT_TRUE(scene->IsCardShown());
        game.Frames(60);   // past 0.9 s: every part in place
        ASSERT_TRUE(scene->IsCardShown());
        const f32 s = f32(screen.height) / 768.0f;
        const f32 margin = (f32(screen.width) - 1024.0f * s) * 0.5f;
        const struct {
            const char* what;
            f32 texels, middle;   // source height; layout height of its middle
        } parts[] = {{"picture", 768.0f, 384.0f}, {"band", 76.0f, 386.0f}, {"title", 72.0f, 384.0f}};
        const std::vector<drawn_sprites::Sprite> sprites = drawn_sprites::Sprites(game, {}, nullptr);
        for (const auto& part : parts) {
            const auto it = std::find_if(sprites.begin(), sprites.end(), [&](const drawn_sprites::Sprite& d) {
                return std::abs(d.w - 1024.0f * s) < 0.5f && std::abs(d.h - part.texels * s) < 0.5f;
            });
            ASSERT_NE(it, sprites.end()) << part.what;
            EXPECT_NEAR(it->x, margin, 0.5f) << part.what;
            EXPECT_NEAR(it->y + it->h * 0.5f, part.middle * s, 0.5f) << part.what;
        }
    }
}

// A fresh save opens node 0: after the flip its effect plays on the
// controller's chain, which updates and draws it, and stands on the
// node's picture, on a 4:3 window and on a wider one with side bars. Left,
// the scene gives every node of the effect pool back.
TEST(AdventureSceneRun, OpenEffectLivesOnTheNodeItOpens)
{
    for (const Screen& screen : kScreens) {
        SCOPED_TRACE(screen.width);
        GameDriver game(game_test::GameDataRoot(), ScreenOptions(screen));
        ASSERT_NO_FATAL_FAILURE(EnterIdleOn(game, screen));
        CEffectController* effects = game.App().GetEffectController();
        ASSERT_NE(effects, nullptr);
        const u32 nodesBefore = effects->GetNodePool().GetLiveCount();
        CAdventureScene* scene = Show(game);
        ASSERT_NE(scene, nullptr) << game.Describe();
        ASSERT_TRUE(scene->IsOpenAnimationPending());
        for (u32 i = 0; i < 200 && scene->IsOpenAnimationPending(); ++i) game.Frame();
        ASSERT_FALSE(scene->IsOpenAnimationPending());
        CEffect* effect = effects->GetFirstEffect();
        ASSERT_NE(effect, nullptr) << "the open effect is not on the controller's chain";
        EXPECT_EQ(effect->GetNextLive(), nullptr);   // node 0 alone is new
        const f32 born = effect->GetTime();
        game.Frames(10);
        ASSERT_EQ(effects->GetFirstEffect(), effect);
        EXPECT_GT(effect->GetTime(), born);
        // Its particles are drawn with the frame.
        const CTexture* particle = menu::FindTexture(scene_data::kParticleTexture);
        ASSERT_NE(particle, nullptr);
        const u64 particleId = game.Render().IdOf(particle->GetTexture());
        const auto& log = game.RenderLog();
        EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const host::render::Call& call) {
            return call.op.rfind("Draw", 0) == 0 && u64(call.Number("texture")) == particleId;
        }));
        // On the node: its place seen through the camera lies on node 0's
        // picture (both in the window's pixels), near its middle.
        const std::vector<drawn_sprites::Sprite> sprites =
            drawn_sprites::Sprites(game, LayerNames(), scene->FindLayer("Base")->GetTexture());
        const std::vector<drawn_sprites::Sprite> node = drawn_sprites::Named(sprites, "stg1");
        ASSERT_EQ(node.size(), 1u);
        f32 x = 0.0f, y = 0.0f;
        scene->GetCamera()->WorldToScreen(effect->GetPlacePosition(), &x, &y, nullptr);
        EXPECT_NEAR(x, node[0].x + node[0].w * 0.5f, node[0].w * 0.25f);
        EXPECT_NEAR(y, node[0].y + node[0].h * 0.5f, node[0].h * 0.25f);
        // The scene's release deletes what it played: the pool is as before.
        game.App().ChangeScene(new menu_run::CIdleScene, 0);
        EXPECT_EQ(effects->GetNodePool().GetLiveCount(), nodesBefore);
    }
}

// Decide in node 0's window: the loading screen loads the battle on the
// set-up the event filled, with the progress to come back to.
TEST(AdventureSceneRun, StartBattleHandsTheFilledSetupOn)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CAdventureScene* scene = Show(game, 0, 1, 0);
    ASSERT_NE(scene, nullptr) << game.Describe();
    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    game.Frames(2);
    game.Press(menu::kDecide);
    EXPECT_TRUE(scene->IsLeaving());
    ASSERT_TRUE(game.RunUntil("CLoadingScene", 80));
    ASSERT_TRUE(game.RunUntil("CBattleScene", 400));
    const auto* battle = dynamic_cast<const CBattleScene*>(game.App().GetScene());
    ASSERT_NE(battle, nullptr);
    const CBattleSetup& setup = *battle->GetSetup();
    EXPECT_EQ((std::vector<u32>{setup.entries[1].kind, setup.entries[1].character, setup.entries[1].characterWords[1],
                  setup.entries[1].team, setup.entries[2].kind, setup.entries[3].kind}),
              (std::vector<u32>{4, 1, 1, 1, 5, 5}));
    EXPECT_EQ(setup.option.UsedStage(), 0u);
    EXPECT_EQ(setup.option.music, kMusicTable[3]);
    EXPECT_EQ(setup.option.computerLevel, 1u);
    EXPECT_EQ(setup.recordReplay, 0u);
    const auto* progress = dynamic_cast<const CAdventureProgress*>(setup.GetProgress());
    ASSERT_NE(progress, nullptr);
    ASSERT_NE(progress->event, nullptr);
    EXPECT_EQ(progress->event->values.getSkill, 3);
    // The battle's copy of node 0's stage: its name, next and skill texts;
    // the other four condition texts start empty.
    const auto text = [](const CString& s) { return std::string(s.GetText() ? s.GetText() : ""); };
    const CAdventureEventSetting& copy = *progress->event;
    EXPECT_EQ((std::vector<std::string>{text(copy.text), text(copy.nextCondition), text(copy.skillCondition)}),
              (std::vector<std::string>{"First", "Win with 999 s left", "Win"}));
    EXPECT_EQ((std::vector<std::string>{text(copy.timeCondition), text(copy.cpuCondition),
                  text(copy.enemyCondition), text(copy.ruleCondition)}),
              (std::vector<std::string>(4, "")));
    EXPECT_EQ((std::vector<u32>{u32(progress->clearFlag), progress->column, progress->halfRow}),
              (std::vector<u32>{0, 0, 1}));
}

// Leaving, back or to the battle: frames of 18 ms take the alpha from 1 to
// 0 in 28 frames, the black fade starts in that same frame and is full
// after 28 of them; the frame after changes the scene.
TEST(AdventureSceneRun, LeavingFadesToBlackFromTheFrameTheAlphaReachesZero)
{
    for (const bool toBattle : {false, true}) {
        SCOPED_TRACE(toBattle ? "to the battle" : "back");
        GameDriver game(game_test::GameDataRoot(), menu_run::Options());
        ASSERT_TRUE(menu_run::EnterIdle(game));
        CAdventureScene* scene = Show(game, 0, 1, 0);
        ASSERT_NE(scene, nullptr) << game.Describe();
        menu_run::FadeIn(game);
        if (toBattle) {
            game.Press(menu::kDecide);
            game.Frames(2);
            game.Press(menu::kDecide);
        } else {
            game.Press(menu::kCancel);
        }
        ASSERT_TRUE(scene->IsLeaving());
        u32 frames = 0, alphaGone = 0;
        f32 curtainThen = 0.0f;
        while (game.CurrentScene() == "CAdventureScene" && frames < 100) {
            game.Frame();
            ++frames;
            if (game.CurrentScene() != "CAdventureScene") break;
            if (!alphaGone && scene->GetSceneState().colour.w <= 0.0f) {
                alphaGone = frames;
                curtainThen = scene->GetCurtain();
            }
        }
        EXPECT_EQ(alphaGone, 28u);
        EXPECT_NEAR(curtainThen, 0.036f, 1e-4f);
        EXPECT_EQ(frames, 56u);
        EXPECT_EQ(game.CurrentScene(), toBattle ? "CLoadingScene" : "CSingleCharaSelect");
    }
}

// Without its map the scene does not load: a box names the file.
TEST(AdventureSceneRun, WithoutItsMapTheSceneFailsNamingIt)
{
    host::kernel::testing::TempFolder folder;
    const std::string root = folder.Path() + "set";
    scene_data::Faults faults;
    for (const char* side : {"one", "two"})
        for (const char* file : {"Adventure.txt", "Setting/Adventure.dat"})
            faults.files.insert(std::string(side) + "/Resource/" + file);
    std::string error;
    ASSERT_TRUE(scene_data::WriteSceneData(root, &error, faults)) << error;
    GameDriver game(root, menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    EXPECT_EQ(Show(game), nullptr);
    ASSERT_FALSE(game.Boxes().empty());
    EXPECT_EQ(game.Boxes()[0].find(kAdventureFile), 0u) << game.Boxes()[0];
}

// The data set's map with a fourth node in the last column and no event
// file for it (node 6), open in the save: the scene loads, draws nothing
// for it, and decide on it opens no window and starts no battle. The
// completion card does not wait for it to be won.
TEST(AdventureSceneRun, ANodeWithoutAnEventIsNothingToEnter)
{
    host::kernel::testing::TempFolder folder;
    const std::string root = folder.Path() + "set";
    std::string error;
    ASSERT_TRUE(scene_data::WriteSceneData(root, &error)) << error;
    auto texts = scene_data::AdventureTexts();
    ASSERT_EQ(texts[0].first, "Adventure.txt");
    setting_test::SettingWriter list;
    for (i32 count : {1, 2, 4}) list.Set("COUNT", count);
    for (u32 n = 1; n <= 6; ++n) list.Set("ADVENTURE", "Adv_node" + std::to_string(n) + ".txt");
    texts[0].second = list.Text();
    const auto files = scene_data::AdventureFiles(texts, error);
    ASSERT_FALSE(files.empty()) << error;
    for (const char* side : {"/one/Resource/", "/two/Resource/"})
        for (const auto& [path, bytes] : files)
            ASSERT_TRUE(host::kernel::WriteFileAtomic(root + side + path, bytes.data(), bytes.size())) << path;

    const struct {
        bool complete;   // every event node won, every orb obtained
    } cases[] = {{false}, {true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.complete);
        GameDriver game(root, menu_run::Options());
        ASSERT_TRUE(menu_run::EnterIdle(game));
        CSaveData* save = game.App().GetSaveData();
        for (i32 n = 0; n < 7; ++n) save->SetAdventureRewardFlag(n, 1);
        save->MarkAdventureRewardFlagsShown();
        if (c.complete) {
            for (i32 i = 0; i < 45; ++i) save->SetUnlockFlag(i, 1);
            for (i32 n = 0; n < 6; ++n) save->SetAdventureClearFlag(n, 1);
            save->MarkUnlockFlagsShown();
        }
        CAdventureScene* scene = Show(game, 2, 7);
        ASSERT_NE(scene, nullptr) << game.Describe();
        EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
        EXPECT_EQ(scene->GetMap().counts, (std::vector<u32>{1, 2, 4}));
        EXPECT_EQ(scene->GetCursor(), (Cursor{2, 7}));
        EXPECT_EQ(scene->IsCardShown(), c.complete);
        if (c.complete) {
            game.Frames(60);
            game.Press(menu::kDecide);
            ASSERT_FALSE(scene->IsCardShown());
        }
        menu_run::FadeIn(game);
        game.Frames(2);
        // Six stage pictures for seven nodes: node 6 shows not even the
        // picture of a node not open.
        const std::vector<drawn_sprites::Sprite> sprites =
            drawn_sprites::Sprites(game, LayerNames(), scene->FindLayer("Base")->GetTexture());
        EXPECT_EQ(drawn_sprites::Named(sprites, StageLayerName(0)).size(), 6u);
        EXPECT_TRUE(drawn_sprites::Named(sprites, StageLayerName(kStages - 1)).empty());
        for (u32 press = 0; press < 2; ++press) {
            game.Press(menu::kDecide);
            game.Frames(20);
            EXPECT_FALSE(scene->IsInfoOpen()) << press;
            EXPECT_FALSE(scene->IsLeaving()) << press;
        }
        EXPECT_EQ(game.CurrentScene(), "CAdventureScene");
        EXPECT_FALSE(save->GetAdventureClearFlag(6));
    }
}

// The battle of node 0 from its window, run to its end (menu_run::
// FightBattle). A won battle hands back to the map by itself; the end page
// of another takes its "back" item. The map is current after.
::testing::AssertionResult FightNodeZero(GameDriver& game, bool shoot, u32* result)
{
    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    game.Frames(2);
    game.Press(menu::kDecide);
    if (!game.RunUntil("CBattleScene", 200)) return ::testing::AssertionFailure() << "no battle" << game.Describe();
    if (auto r = menu_run::FightBattle(game, shoot, result); !r) return r;
    if (const MenuPage* page = menu_run::EndPage(menu_run::Battle(game))) {
        if (CMenuConsole::ActionOf(page->id, 1) != kMenuSelect) return ::testing::AssertionFailure() << "no back item";
        menu_run::Step(game, menu::kDown, 1);
        game.Press(menu::kDecide);
    }
    return game.RunUntil("CAdventureScene", 200);
}

// Node 0 won by Talve's shots (more life left at the time-out): its clear
// flag, node 1 open (node 2's condition, 999 s left, not met), orb 3.
// Back on node 0 the map flips node 1 open, then names the orb; node 0
// wears the silver medal while node 2 stays closed.
TEST(AdventureSceneRun, NodeZeroWonOpensTheNextAndGivesTheOrb)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::BattleOptions());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CSaveData* save = game.App().GetSaveData();
    save->MarkAdventureRewardFlagsShown();
    ASSERT_NE(Show(game, 0, 1, 0), nullptr) << game.Describe();
    u32 result = 0;
    ASSERT_TRUE(FightNodeZero(game, true, &result));
    EXPECT_EQ(result, kResultWin);
    CAdventureScene* scene = Scene(game);
    EXPECT_EQ(scene->GetCursor(), (Cursor{0, 1}));
    EXPECT_TRUE(save->GetAdventureClearFlag(0));
    EXPECT_EQ((std::vector<u32>{save->GetAdventureRewardFlag(1), save->GetAdventureRewardFlag(2)}),
              (std::vector<u32>{1, 0}));
    EXPECT_TRUE(save->GetUnlockFlag(2));
    EXPECT_TRUE(scene->IsOpenAnimationPending());
    EXPECT_TRUE(scene->IsOrbMessagePending());
    game.Frames(130);
    EXPECT_FALSE(scene->IsOpenAnimationPending());
    EXPECT_TRUE(save->GetShownAdventureRewardFlag(1));
    const std::vector<std::string> drawn =
        menu_run::DrawnLayers(game, LayerNames(), scene->FindLayer("Base")->GetTexture());
    for (const char* layer : {"sk_gin", "SkillGet", "rei_geki2"})
        EXPECT_NE(std::find(drawn.begin(), drawn.end(), layer), drawn.end()) << layer;
    game.Press(menu::kDecide);
    EXPECT_FALSE(scene->IsOrbMessagePending());
    EXPECT_TRUE(save->GetShownUnlockFlag(2));
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
    const std::vector<std::string> trail = {"CIdleScene", "CAdventureScene", "CLoadingScene", "CBattleScene",
        "CAdventureScene"};
    EXPECT_EQ(menu_run::Scenes(game.Trail()), trail);
}

// Node 0 fought by nobody: the computer's Derona wins or the time runs
// out. No flag changes; the end page's "back" brings the map on node 0.
TEST(AdventureSceneRun, ANodeNotWonChangesNoFlagAndComesBackToIt)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::BattleOptions());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CSaveData* save = game.App().GetSaveData();
    save->MarkAdventureRewardFlagsShown();
    ASSERT_NE(Show(game, 0, 1, 0), nullptr) << game.Describe();
    u32 result = 0;
    ASSERT_TRUE(FightNodeZero(game, false, &result));
    EXPECT_NE(result, kResultWin) << "an idle player won";
    CAdventureScene* scene = Scene(game);
    EXPECT_EQ(scene->GetCursor(), (Cursor{0, 1}));
    EXPECT_FALSE(scene->IsOpenAnimationPending());
    EXPECT_FALSE(scene->IsOrbMessagePending());
    EXPECT_FALSE(save->GetAdventureClearFlag(0));
    for (i32 n = 1; n < 6; ++n) EXPECT_FALSE(save->GetAdventureRewardFlag(n)) << n;
    EXPECT_FALSE(save->GetUnlockFlag(2));
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
    const std::vector<std::string> trail = {"CIdleScene", "CAdventureScene", "CLoadingScene", "CBattleScene",
        "CAdventureScene"};
    EXPECT_EQ(menu_run::Scenes(game.Trail()), trail);
}

// The orb message and the window's texts start at their points: the
// leftmost glyph of each row at its x, their tops at its y.
TEST(AdventureSceneRun, TextsStartAtTheirPoints)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CSaveData* save = game.App().GetSaveData();
    save->SetUnlockFlag(2, 1);
    CAdventureScene* scene = Show(game);
    ASSERT_NE(scene, nullptr) << game.Describe();
    game.Frames(100);   // fade in, the flip over
    ASSERT_FALSE(scene->IsOpenAnimationPending());
    ASSERT_TRUE(scene->IsOrbMessagePending());
    const u64 font = game.Render().IdOf(menu::MenuFont()->GetTexture());
    // The leftmost glyph at or right of from, on the row whose top is y.
    const auto startOf = [&](f32 y, f32 from) {
        f32 left = 1e9f;
        for (const drawn_sprites::Sprite& glyph : drawn_sprites::Sprites(game, {}, nullptr))
            if (glyph.texture == font && std::abs(glyph.y - y) < 1.5f && glyph.x >= from - 1.5f)
                left = std::min(left, glyph.x);
        return left;
    };
    EXPECT_NEAR(startOf(340.0f, 0.0f), 360.0f, 1.5f);   // the orb message
    game.Press(menu::kDecide);
    game.Frames(2);
    ASSERT_FALSE(scene->IsOrbMessagePending());
    game.Press(menu::kDecide);
    game.Frame();
    ASSERT_TRUE(scene->IsInfoOpen());
    const struct {
        f32 x, y;
    } texts[] = {{240, 240}, {400, 240}, {240, 276}, {400, 276}, {240, 312}, {252, 528}};
    for (const auto& t : texts) EXPECT_NEAR(startOf(t.y, t.x), t.x, 1.5f) << t.x << ", " << t.y;
}

// The data set with the adventure list given, its event files those of
// the data set it names and the extra ones.
std::string MapRoot(const host::kernel::testing::TempFolder& folder, const std::string& list,
                    const std::vector<std::pair<std::string, std::string>>& extra)
{
    const std::string root = folder.Path() + "set";
    std::string error;
    if (!scene_data::WriteSceneData(root, &error)) {
        ADD_FAILURE() << error;
        return {};
    }
    // The data set's event files the list names, and the extra ones.
    std::vector<std::pair<std::string, std::string>> texts = {{"Adventure.txt", list}};
    for (const auto& text : scene_data::AdventureTexts())
        if (text.first != "Adventure.txt" && list.find(text.first) != std::string::npos) texts.push_back(text);
    texts.insert(texts.end(), extra.begin(), extra.end());
    const auto files = scene_data::AdventureFiles(texts, error);
    if (files.empty()) ADD_FAILURE() << error;
    for (const char* side : {"/one/Resource/", "/two/Resource/"})
        for (const auto& [path, bytes] : files)
            if (!host::kernel::WriteFileAtomic(root + side + path, bytes.data(), bytes.size())) ADD_FAILURE() << path;
    return root;
}

// A map of eleven columns whose first holds eleven nodes, every node open:
// it loads, and a node's window shows the labels the layout has, none past
// them. Node 10 (the eleventh of column 0) is a STAGE 19 battle against a
// level-10 opponent: decide, decide hands both to the battle's set-up.
TEST(AdventureSceneRun, AMapPastTheLabelsLoadsAndFightsItsTrainingLevels)
{
    host::kernel::testing::TempFolder folder;
    setting_test::SettingWriter list;
    list.Set("COUNT", 11);
    for (u32 c = 1; c < 11; ++c) list.Set("COUNT", 1);
    for (u32 n = 0; n < 21; ++n) list.Set("ADVENTURE", n == 10 ? "Adv_far.txt" : "Adv_node6.txt");
    const std::string far = "TEXT = Far;\nSTAGE = 19; BGM = 2;\nCHARA00TYPE = 1; CHARA00CPU = 10;\n";
    const std::string root = MapRoot(folder, list.Text(), {{"Adv_far.txt", far}});
    ASSERT_FALSE(root.empty());
    const struct {
        u32 column, halfRow;
        const char* columnLabel;   // null: none drawn
        const char* nodeLabel;
    } cases[] = {
        {0, 1, "sk_0", "sk_a"},
        {0, 19, "sk_0", "sk_j"},
        {0, 21, "sk_0", nullptr},
        {9, 1, "sk_9", "sk_a"},
        {10, 1, nullptr, "sk_a"},
    };
    std::vector<std::string> labels;
    for (u32 c = 0; c < kColumnLabels; ++c) labels.push_back("sk_" + std::to_string(c));
    for (u32 n = 0; n < kNodeLabels; ++n) labels.push_back(std::string("sk_") + char('a' + n));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.column << ", " << c.halfRow);
        GameDriver game(root, menu_run::Options());
        ASSERT_TRUE(menu_run::EnterIdle(game));
        CSaveData* save = game.App().GetSaveData();
        for (i32 n = 0; n < 21; ++n) save->SetAdventureRewardFlag(n, 1);
        save->MarkAdventureRewardFlagsShown();
        CAdventureScene* scene = Show(game, c.column, c.halfRow);
        ASSERT_NE(scene, nullptr) << game.Describe();
        EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
        EXPECT_EQ(scene->GetCursor(), (Cursor{c.column, c.halfRow}));
        menu_run::FadeIn(game);
        game.Press(menu::kDecide);
        game.Frames(2);
        ASSERT_TRUE(scene->IsInfoOpen());
        const std::vector<std::string> drawn =
            menu_run::DrawnLayers(game, LayerNames(), scene->FindLayer("Base")->GetTexture());
        std::vector<std::string> shown, expected;
        for (const std::string& name : drawn)
            if (std::find(labels.begin(), labels.end(), name) != labels.end()) shown.push_back(name);
        for (const char* label : {c.columnLabel, c.nodeLabel})
            if (label) expected.push_back(label);
        EXPECT_EQ(shown, expected);
        if (c.halfRow != 21) continue;
        game.Press(menu::kDecide);
        ASSERT_TRUE(game.RunUntil("CBattleScene", 400));
        const auto* battle = dynamic_cast<const CBattleScene*>(game.App().GetScene());
        ASSERT_NE(battle, nullptr);
        const CBattleSetup& setup = *battle->GetSetup();
        EXPECT_EQ((std::vector<u32>{setup.entries[1].kind, setup.entries[1].character,
                      setup.entries[1].characterWords[1], setup.option.computerLevel, setup.option.stage}),
                  (std::vector<u32>{4, 1, 10, 10, 19}));
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace adventure_scene_test
