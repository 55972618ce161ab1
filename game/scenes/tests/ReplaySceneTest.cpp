#include "game/scenes/ReplayScene.h"

#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleFlow.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/MenuConsole.h"
#include "game/battle/scene/ReplaySetup.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/MenuRun.h"
#include "game/scenes/tests/ReplayFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using replay_list::RowText;
using replay_test::Header;

std::string TextAt(const std::vector<RowText>& texts, f32 x)
{
    for (const RowText& t : texts)
        if (t.x == x) return t.text;
    return "";
}

// The fields are read as 32 bytes whatever they hold: never past them, and
// never ending inside a two-byte character.
TEST(ReplayListTest, NameFieldsStayInsideTheirBytes)
{
    const struct {
        std::string bytes;   // up to 32, the rest zero
        std::string text;
    } cases[] = {
        {"Talve", "Talve"},
        {std::string(32, 'A'), std::string(32, 'A')},
        {std::string(31, 'B') + "\x82", std::string(31, 'B')},   // a lead byte cut off
        {std::string("Ta\0lve", 6), "Ta"},
        {"\x83\x5E\x83\x8B", "\x83\x5E\x83\x8B"},
    };
    for (const auto& c : cases) {
        ReplayHeader header = Header("", "");
        std::memcpy(header.characterName, c.bytes.data(), c.bytes.size());
        std::memcpy(header.stageName, c.bytes.data(), c.bytes.size());
        // The bytes after each field: a name read past its end shows them.
        header.playType = 'X';
        const auto texts = replay_list::RowTexts(header, 0, 0);
        EXPECT_EQ(TextAt(texts, 136), c.text) << c.bytes;
        EXPECT_EQ(TextAt(texts, 368), c.text) << c.bytes;
    }
}

TEST(ReplayListTest, EachKindOfSlotHasItsTexts)
{
    ReplayHeader foreign = Header("Stage01", "Talve");
    foreign.version = kReplayVersion + 1;
    ReplayHeader network = Header("Stage01", "Derona", 1, 2026, 3, 4);
    ReplayHeader damaged = Header("Stage01", "Talve", 7);
    const struct {
        ReplayHeader header;
        std::vector<std::pair<f32, std::string>> texts;   // relative to the row's x
    } cases[] = {
        {ReplayHeader{}, {{136, "--------"}}},
        {foreign, {{136, "バージョンが違います"}}},
        {Header("Stage01", "Talve", 0, 2025, 12, 31),
            {{136, "Talve"}, {336, "/"}, {368, "Stage01"}, {548, "/"}, {580, "ローカル"}, {740, "/"},
                {772, "2025.12.31"}}},
        {network, {{136, "Derona"}, {580, "ネットワーク"}, {772, "2026.03.04"}}},
        {damaged, {{136, "Talve"}, {580, "?"}}},   // never past the two-entry table
    };
    for (const auto& c : cases) {
        const auto texts = replay_list::RowTexts(c.header, 100, 48);
        if (c.header.version != kReplayVersion) {
            EXPECT_EQ(texts.size(), 1u);
        }
        for (const auto& [x, text] : c.texts) EXPECT_EQ(TextAt(texts, 100 + x), text) << x;
        for (const RowText& t : texts) EXPECT_EQ(t.y, 48 + 138);
    }
}

TEST(ReplayListTest, RowsSlideOutAndInRowByRow)
{
    const struct {
        u32 row;
        f32 t;
        bool incoming, backward;
        f32 x;
    } cases[] = {
        {9, 0.0f, false, false, 0.0f},    {0, 0.5f, false, false, -512.0f}, {0, 0.5f, false, true, 512.0f},
        {5, 0.5f, false, false, 0.0f},    {9, 2.7f, false, true, 1024.0f},  {0, 0.5f, true, false, 512.0f},
        {9, 2.2f, true, false, 0.0f},     {0, -0.5f, true, true, -1536.0f},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(replay_list::RowSlide(c.row, c.t, c.incoming, c.backward), c.x, 0.01f)
            << c.row << " at " << c.t << (c.incoming ? " in" : " out") << (c.backward ? " back" : "");
}

}  // namespace

// ---------------------------------------------------------------- in the game

namespace {

using game_test::GameDriver;

CReplayScene* List(GameDriver& game) { return dynamic_cast<CReplayScene*>(game.App().GetScene()); }

// Slot 1 playable (a header over no body), 2 of another version, 3 empty,
// 4 cut inside its header, 12 playable on the second page.
game_test::DriverOptions MixedSlots()
{
    game_test::DriverOptions options = menu_run::Options();
    options.beforeInit = [](const std::string& folder) {
        host::kernel::CreateDirectories(folder);
        ReplayHeader foreign = Header("Stage01", "Derona");
        foreign.version = 0x11000000;
        replay_test::WriteHeaderFile(folder, 1, Header("Stage01", "Talve"), "recorder");
        replay_test::WriteHeaderFile(folder, 2, foreign);
        replay_test::WriteCut(folder, 4, Header("Stage01", "Talve"), 40);
        replay_test::WriteHeaderFile(folder, 12, Header("Stage01", "Derona", 1));
    };
    return options;
}

::testing::AssertionResult EnterList(GameDriver& game, i32 row = 0, i32 page = 0)
{
    CReplaySceneArgs args{nullptr, nullptr, 0.0f, 1.0f, row, page};
    auto entered = menu_run::Enter(game, new CReplayScene(), reinterpret_cast<intptr_t>(&args));
    if (entered) game.Frame();
    return entered;
}

void Silence()
{
    for (const char* sound : replay_list::kSounds)
        if (CSoundBuffer* buffer = menu::FindSound(sound)) buffer->StopAll(1);
}

// Every slot's header is read; decide takes a playable slot only, and an
// empty, foreign or cut one says nothing.
TEST(ReplaySceneRun, DecideOnlyOnAPlayableSlot)
{
    const struct {
        u32 row;
        u32 version;
        bool plays;
    } cases[] = {{0, kReplayVersion, true}, {1, 0x11000000, false}, {2, 0, false}, {3, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row);
        GameDriver game(game_test::GameDataRoot(), MixedSlots());
        ASSERT_TRUE(EnterList(game, i32(c.row)));
        EXPECT_EQ(List(game)->GetHeader(c.row).version, c.version);
        EXPECT_STREQ(List(game)->GetHeader(11).characterName, "Derona");
        Silence();
        game.Press(menu::kDecide);
        EXPECT_EQ(List(game)->IsPlaying(), c.plays);
        EXPECT_EQ(menu_run::Playing(replay_list::kSounds[replay_list::kSetSound]), c.plays);
    }
}

TEST(ReplaySceneRun, RowsWrapAndPagesStopAtTheEnds)
{
    GameDriver game(game_test::GameDataRoot(), MixedSlots());
    ASSERT_TRUE(EnterList(game));
    CReplayScene* list = List(game);
    game.Press(menu::kUp);
    EXPECT_EQ(list->GetRow(), 9u);
    game.Frame();
    game.Press(menu::kStickDown);
    EXPECT_EQ(list->GetRow(), 0u);
    game.Frame();
    Silence();
    game.Press(menu::kLeft);   // page 0: nothing, no sound
    EXPECT_EQ(list->GetTargetPage(), 0u);
    EXPECT_FALSE(menu_run::Playing(replay_list::kSounds[replay_list::kSelectSound]));

    // A turn lasts 91 updates, whatever the frame time.
    for (u32 page = 1; page < replay_list::kPages; ++page) {
        game.Frame();
        game.Press(menu::kRight);
        ASSERT_EQ(list->GetTargetPage(), page);
        EXPECT_TRUE(menu_run::Playing(replay_list::kSounds[replay_list::kSelectSound]));
        game.Press(menu::kDown);   // no key is read while it turns
        EXPECT_EQ(list->GetRow(), 0u);
        game.Frames(89);
        EXPECT_EQ(list->GetPage(), page - 1);
        game.Frame();
        EXPECT_EQ(list->GetPage(), page);
        EXPECT_EQ(list->GetPageTurn(), 0.0f);
    }
    game.Frame();
    Silence();
    game.Press(menu::kStickRight);   // page 2: nothing
    EXPECT_EQ(list->GetTargetPage(), 2u);
    EXPECT_FALSE(menu_run::Playing(replay_list::kSounds[replay_list::kSelectSound]));
}

// Each row's number is drawn from the digit layers' own cells, on every
// page: the display layers are digit layers themselves.
TEST(ReplaySceneRun, SlotNumbersReadOneToThirty)
{
    const std::vector<std::string> layers = scene_data::ReplayLayers();
    scene_data::CSceneDataSet set;
    scene_data::AddReplayData(set);
    const std::vector<scene_data::LayerSheet> sheets = set.layoutSheets[replay_list::kLayout];   // the frame's
    for (u32 page = 0; page < replay_list::kPages; ++page) {
        GameDriver game(game_test::GameDataRoot(), MixedSlots());
        ASSERT_TRUE(EnterList(game, 3, i32(page)));
        game.Frame();
        std::vector<std::string> expected = {"Base", "rep_bg"};
        for (u32 n = page * 10 + 1; n <= page * 10 + 10; ++n) {
            expected.push_back(replay_list::kDigitLayers[n / 10]);
            expected.push_back(replay_list::kDigitLayers[n % 10]);
        }
        expected.push_back("Bt_pre1");
        expected.push_back("Bt_nex1");
        EXPECT_EQ(menu_run::DrawnLayers(game, layers, menu::FindTexture(replay_list::kTexture), sheets), expected)
            << "page " << page;
    }
}

// The battle hands back the slot it played: replay 17 is row 6 of page 1.
TEST(ReplaySceneRun, TheBattleReturnsToItsSlot)
{
    GameDriver game(game_test::GameDataRoot(), MixedSlots());
    ASSERT_TRUE(game.Started() && game.App().LoadResources());
    const struct {
        u32 replay, row, page;
    } cases[] = {{17, 6, 1}, {1, 0, 0}, {30, 9, 2}, {0, 0, 0}, {31, 0, 0}};
    for (const auto& c : cases) {
        ASSERT_EQ(game.App().Flow()->GoReplayList(ReplayListPlace(c.replay)), 0) << game.Describe();
        const CReplayScene* list = List(game);
        ASSERT_TRUE(list) << game.Describe();
        EXPECT_EQ(list->GetRow(), c.row) << c.replay;
        EXPECT_EQ(list->GetPage(), c.page) << c.replay;
        EXPECT_EQ(list->GetCover(), 1.0f);
    }
    // A row or page past the list, from any other caller.
    CReplaySceneArgs args{nullptr, nullptr, 1.0f, 1.0f, 12, 1};
    ASSERT_TRUE(menu_run::Enter(game, new CReplayScene(), reinterpret_cast<intptr_t>(&args)));
    EXPECT_EQ(List(game)->CurrentSlot(), 1u);
}

// From the title's Replay the crowd and the music run on; cancel hands
// them back to the title, on Replay.
TEST(ReplaySceneRun, CancelGoesBackToTheTitleOnReplay)
{
    GameDriver game(game_test::GameDataRoot(), MixedSlots());
    TitleArgs title;
    title.item = title::kReplay;
    ASSERT_TRUE(menu_run::Enter(game, new CTitleScene, reinterpret_cast<intptr_t>(&title)));
    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CReplayScene", 40));
    EXPECT_EQ(List(game)->GetCover(), 0.0f);
    EXPECT_LT(List(game)->GetSceneState().colour.w, 1.0f);
    EXPECT_TRUE(menu_run::Playing(menu::kTitleMusic[0]) || menu_run::Playing(menu::kTitleMusic[1]) ||
                menu_run::Playing(menu::kTitleMusic[2]));
    menu_run::FadeIn(game);
    game.Press(menu::kCancel);
    EXPECT_TRUE(List(game)->IsGoingBack());
    game.Press(menu::kDecide);   // the fade-out takes no keys
    EXPECT_FALSE(List(game)->IsPlaying());
    ASSERT_TRUE(game.RunUntil("CTitleScene", 40));
    EXPECT_TRUE(menu_run::BackOnTitleAt(game, title::kReplay));
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
}

// A header that reads well over a body that does not: the battle's Load
// refuses it and the loading screen's failure path takes over, a message
// and the title on Replay.
TEST(ReplaySceneRun, ADamagedBodyFailsTheBattlesLoad)
{
    GameDriver game(game_test::GameDataRoot(), MixedSlots());
    ASSERT_TRUE(EnterList(game));
    game.Press(menu::kStart);
    ASSERT_TRUE(List(game)->IsPlaying());
    ASSERT_TRUE(game.RunUntil("CLoadingScene", 40));
    ASSERT_TRUE(game.RunUntil("CTitleScene", 200));
    EXPECT_TRUE(menu_run::BackOnTitleAt(game, title::kReplay));
    EXPECT_EQ(game.Boxes().size(), 1u) << game.Describe();
    EXPECT_EQ(menu_run::Scenes(game.Trail()),
        (std::vector<std::string>{"CIdleScene", "CReplayScene", "CLoadingScene", "CTitleScene"}));
}

}  // namespace

// ---------------------------------------------------------------- the run

namespace {

using game_test::GameDriver;

// 100 s of the shortest time limit, the start, the result's seconds.
constexpr u32 kBattleFrames = 60 * 115;

CBattleScene* Battle(GameDriver& game) { return dynamic_cast<CBattleScene*>(game.App().GetScene()); }

const MenuPage* OpenEndPage(const CBattleScene& battle)
{
    const CBattleConsole* console = battle.GetConsole(battle.GetLocalEntry());
    const CMenuConsole* menu = console ? console->GetMenu() : nullptr;
    return menu && menu->GetPage(2).open ? &menu->GetPage(2) : nullptr;
}

// The battle's state after each of its frames, until its end page opens.
std::vector<u64> RunBattle(GameDriver& game)
{
    std::vector<u64> hashes;
    for (u32 f = 0; f < kBattleFrames && Battle(game) && !OpenEndPage(*Battle(game)); ++f) {
        game.Frame();
        if (Battle(game)) hashes.push_back(Battle(game)->HashState().Value());
    }
    return hashes;
}

// Talve, played by nobody, against the computer on Derona, 100 s.
CBattleSetup* FreeBattle(CGameApp& app)
{
    auto* setup = new CBattleSetup(app.GetSaveConfig());
    setup->entries[0].kind = 0;
    setup->entries[0].character = 0;
    setup->entries[1].kind = CBattleEntry::kKindComputer;
    setup->entries[1].character = 1;
    setup->entries[2].kind = setup->entries[3].kind = CBattleEntry::kKindNone;
    setup->option.timeSetting = 0;
    setup->option.stage = 0;
    setup->option.music = 3;
    return setup;
}

// A free battle recorded, then played from the list: the same state at
// every recorded frame; its end menu back to the list on its slot, and
// cancel to the title on Replay.
TEST(ReplayRun, AFreeBattlePlaysBackFromTheList)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::SaveOptions([](CSaveConfig& config) {
        config.GetGraphicsSettings()->hdrLevel = 0;
        config.GetGraphicsSettings()->screenSize = 0;
    }));
    ASSERT_TRUE(game.Started() && game.App().LoadResources());
    LoadingArgs loading{new CBattleScene(game.App().BattleApp()),
        reinterpret_cast<intptr_t>(FreeBattle(game.App())), 0};
    game.App().ChangeScene(new CLoadingScene, reinterpret_cast<intptr_t>(&loading));
    ASSERT_TRUE(game.RunUntil("CBattleScene", 10)) << game.Describe();
    const std::vector<u64> recorded = RunBattle(game);
    ASSERT_TRUE(Battle(game) && OpenEndPage(*Battle(game))) << game.Describe();
    // The end page's title: the replay is stored as the battle leaves.
    menu_run::Step(game, menu::kDown, 1);
    menu_run::Step(game, menu::kDown, 1);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CTitleScene", 120)) << game.Describe();
    ASSERT_TRUE(menu_run::BackOnTitleAt(game, title::kBattle));
    CReplay stored;
    CBattleSetup probe;
    ASSERT_EQ(stored.Open(ReplaySlotPath(game.UserFolder(), 1).c_str(), CReplaySetupRecord(probe)), 1);
    const u32 frames = stored.GetFrameCount();
    // The idle fighter falls in the battle's second minute.
    ASSERT_GT(frames, 60u * 60u);
    ASSERT_GE(recorded.size(), frames);
    // The battle moves: a hash that stood still would compare nothing.
    EXPECT_GT(std::set<u64>(recorded.begin(), recorded.end()).size(), frames / 2);

    // The title's Replay, six down from Battle; the slot on the list.
    menu_run::FadeIn(game);
    menu_run::Steps(game, menu::kDown, 6);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CReplayScene", 40)) << game.Describe();
    menu_run::FadeIn(game);
    const CReplayScene* list = List(game);
    EXPECT_STREQ(list->GetHeader(0).characterName, "Talve");
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CBattleScene", 40)) << game.Describe();
    ASSERT_TRUE(Battle(game)->IsReplay());
    const std::vector<u64> played = RunBattle(game);
    ASSERT_TRUE(Battle(game) && OpenEndPage(*Battle(game))) << game.Describe();
    ASSERT_GE(played.size(), frames);
    for (u32 f = 0; f < frames; ++f) ASSERT_EQ(played[f], recorded[f]) << "frame " << f;

    // The replay's end page: down to the list, decided.
    menu_run::Step(game, menu::kDown, 1);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CReplayScene", 120)) << game.Describe();
    EXPECT_EQ(List(game)->CurrentSlot(), 1u);
    menu_run::FadeIn(game);
    game.Press(menu::kCancel);
    ASSERT_TRUE(game.RunUntil("CTitleScene", 40));
    EXPECT_TRUE(menu_run::BackOnTitleAt(game, title::kReplay));
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
    const std::vector<std::string> expected = {"CIdleScene", "CLoadingScene", "CBattleScene", "CTitleScene",
        "CReplayScene", "CLoadingScene", "CBattleScene", "CReplayScene", "CTitleScene"};
    EXPECT_EQ(menu_run::Scenes(game.Trail()), expected);

    // A copy of it cut inside its last frame, in slot 2: the list plays it,
    // the frames before the cut as they were recorded.
    std::string bytes;
    ASSERT_TRUE(host::kernel::ReadWholeFile(ReplaySlotPath(game.UserFolder(), 1), bytes));
    ASSERT_TRUE(replay_test::WriteSlot(game.UserFolder(), 2, bytes.substr(0, bytes.size() - 1)));
    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CReplayScene", 40)) << game.Describe();
    menu_run::FadeIn(game);
    menu_run::Step(game, menu::kDown, 1);
    EXPECT_EQ(List(game)->CurrentSlot(), 2u);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CBattleScene", 40)) << game.Describe();
    ASSERT_TRUE(Battle(game)->IsReplay() && Battle(game)->GetReplay());
    EXPECT_EQ(Battle(game)->GetReplay()->GetFrameCount(), frames - 1);
    for (u32 f = 0; f < 120; ++f) {
        game.Frame();
        ASSERT_TRUE(Battle(game));
        ASSERT_EQ(Battle(game)->HashState().Value(), recorded[f]) << "cut copy, frame " << f;
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
