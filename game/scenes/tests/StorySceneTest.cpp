#include "game/scenes/StoryScene.h"

#include "engine/graphics/Camera.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/Movie.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleFlow.h"
#include "game/battle/scene/BattleResults.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/data/SaveData.h"
#include "game/data/StorySetting.h"
#include "game/data/tests/SettingWriter.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/testdata/StoryData.h"
#include "game/scenes/tests/DrawnSprites.h"
#include "game/scenes/tests/MenuRun.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using game_test::GameDriver;
using setting_test::SettingWriter;
using story::Fault;
using story_data::Chapter;

// -- The chapter checks. --

StoryValues GoodBattle()
{
    StoryValues v{};
    v.chara = 17, v.barrage = 1, v.stage = 18, v.bgm = 17, v.time = 6, v.skill01 = 45;
    v.endTime = 30.0f, v.speed = 30.0f;
    return v;
}

TEST(StoryChapter, ValuesThatIndexTablesAreChecked)
{
    const struct {
        const char* what;
        void (*edit)(StoryValues&);
        bool battle;
        Fault fault;
    } cases[] = {
        {"the last of every table", [](StoryValues&) {}, true, Fault::kNone},
        {"CHARA 18", [](StoryValues& v) { v.chara = 18; }, true, Fault::kOpponent},
        {"CHARA -1", [](StoryValues& v) { v.chara = -1; }, true, Fault::kOpponent},
        {"BARRAGE 2", [](StoryValues& v) { v.barrage = 2; }, true, Fault::kBarrage},
        {"STAGE 19", [](StoryValues& v) { v.stage = 19; }, true, Fault::kStage},
        {"BGM 18", [](StoryValues& v) { v.bgm = 18; }, true, Fault::kMusic},
        {"BGM -1", [](StoryValues& v) { v.bgm = -1; }, true, Fault::kMusic},
        {"TIME 7", [](StoryValues& v) { v.time = 7; }, true, Fault::kTime},
        // Skills past the list are none, as the battle reads them.
        {"SKILL03 past the list", [](StoryValues& v) { v.skill03 = 46; }, true, Fault::kNone},
        {"SKILL02 negative", [](StoryValues& v) { v.skill02 = -1; }, true, Fault::kNone},
        {"ENDTIME not a number", [](StoryValues& v) { v.endTime = __builtin_nanf(""); }, false, Fault::kTiming},
        {"SPEED infinite", [](StoryValues& v) { v.speed = __builtin_inff(); }, false, Fault::kTiming},
        // The ending's GETSKILL is a flag of the 256, the skill list's or
        // not; past them, or 0 and below, it sets nothing.
        {"GETSKILL the last orb", [](StoryValues& v) { v.getSkill = 45; }, false, Fault::kNone},
        {"GETSKILL past the list", [](StoryValues& v) { v.getSkill = 46; }, false, Fault::kNone},
        {"GETSKILL the last flag", [](StoryValues& v) { v.getSkill = 256; }, false, Fault::kNone},
        {"GETSKILL past the flags", [](StoryValues& v) { v.getSkill = 257; }, false, Fault::kNone},
        {"GETSKILL negative", [](StoryValues& v) { v.getSkill = -1; }, false, Fault::kNone},
        {"a battle's GETSKILL", [](StoryValues& v) { v.getSkill = 999; }, true, Fault::kNone},
        // A prologue's battle values are never fought.
        {"prologue's CHARA", [](StoryValues& v) { v.chara = 99; }, false, Fault::kNone},
    };
    for (const auto& c : cases) {
        StoryValues v = GoodBattle();
        c.edit(v);
        EXPECT_EQ(story::CheckChapter(v, c.battle), c.fault) << c.what;
    }
}

TEST(StoryChapter, CounterFitsTheTenNumberSlotsAndLevelIsClamped)
{
    const struct {
        i32 counter;
        bool final;
        Fault fault;
    } counters[] = {{0, false, Fault::kNone}, {8, false, Fault::kNone}, {9, false, Fault::kTooLong},
        {9, true, Fault::kNone}, {10, true, Fault::kTooLong}, {-1, false, Fault::kTooLong}};
    for (const auto& c : counters) EXPECT_EQ(story::CheckCounter(c.counter, c.final), c.fault) << c.counter;

    const struct {
        i32 cpu;
        u32 difficulty, level;
    } levels[] = {{0, 0, 0}, {2, 0, 1}, {2, 1, 2}, {2, 2, 3}, {2, 3, 4}, {1, 3, 4}, {INT_MAX, 3, 4}, {INT_MIN, 0, 0}};
    for (const auto& c : levels) EXPECT_EQ(story::ComputerLevel(c.cpu, c.difficulty), c.level) << c.cpu;
}

TEST(StoryChapter, NamesOfTheElementsAndFiles)
{
    EXPECT_EQ(story::PrologueFile(0), "Setting/Story_Talve_Prologue.dat");
    EXPECT_EQ(story::PrologueFile(17), "Setting/Story_Vek_Prologue.dat");
    EXPECT_EQ(story::PrologueFile(18), "");
    EXPECT_EQ(story::PictureName(2, 7), "2_kre");
    EXPECT_EQ(story::PictureName(2, 16), "2_sir");
    EXPECT_EQ(story::PictureName(0, 16), "e_sirl");
    EXPECT_EQ(story::TitleName(1, false), "tit_dero");
    EXPECT_EQ(story::TitleName(1, true), "ftit_dero");
    EXPECT_EQ(story::NumberName(0), "bat_1");
    EXPECT_EQ(story::NumberName(9), "bat_f");
    EXPECT_EQ(story::NumberName(10), "");
    EXPECT_EQ(story::StageName(18), "");   // stage 18 has no picture
    EXPECT_EQ(story::SlotName(1, 1, true), "na_wen");
}

TEST(StoryChapter, SlideInsEaseFromOffTheScreen)
{
    const struct {
        f32 elapsed, expected;
    } cases[] = {{0.0f, -1024.0f}, {0.2f, -1024.0f}, {0.35f, -768.0f}, {0.5f, 0.0f}, {9.0f, 0.0f}};
    for (const auto& c : cases) EXPECT_FLOAT_EQ(story::SlideOffset(c.elapsed, 0.2f, 0.3f), c.expected) << c.elapsed;
}

// -- AdvanceStory over chains written in a folder of the test's own (no
// game application: arcade difficulty 1, no skill list, no save). --

std::string Prologue(const std::string& next)
{
    SettingWriter w;
    w.Set("NAME", "Prologue").Set("TEXT", "Once.");
    if (!next.empty()) w.Set("NEXT", next);
    return w.Text();
}

// A battle chapter, every value apart, edits appended (the later wins).
std::string Battle(const std::string& next, bool last = false, const std::string& edits = "")
{
    SettingWriter w;
    w.Set("CHARA", 5).Set("BARRAGE", 1).Set("STAGE", 3).Set("BGM", 9).Set("CPU", 2).Set("TIME", 4);
    w.Set("LASTFLAG", last ? 1 : 0);
    if (!next.empty()) w.Set("NEXT", next);
    return w.Text() + edits;
}

std::string Ending(const std::string& edits = "") { return "TEXT=The end.;\n" + edits; }

struct ChainFolder {
    host::kernel::testing::TempFolder folder;
    std::string previous = host::kernel::GetCurrentDirectory();
    explicit ChainFolder(const std::vector<Chapter>& chapters)
    {
        host::kernel::SetCurrentDirectory(folder.Path());
        ok = story_data::WriteChapters(chapters);
    }
    ~ChainFolder() { host::kernel::SetCurrentDirectory(previous); }
    bool ok = false;
};

// Talve's prologue, n battles named Story_Talve_01.. (the last final when
// final), the ending.
std::vector<Chapter> Chain(u32 battles, bool final)
{
    auto name = [](u32 i) { return "Story_Talve_" + std::to_string(i); };
    std::vector<Chapter> chain = {{"Story_Talve_Prologue", Prologue(name(1) + ".txt")}};
    for (u32 i = 1; i <= battles; ++i)
        chain.push_back({name(i), Battle(i == battles ? "Story_Talve_End.txt" : name(i + 1) + ".txt", final && i == battles)});
    chain.push_back({"Story_Talve_End", Ending()});
    return chain;
}

struct Advance {
    CBattleSetup setup;
    i32 successes = 0;
    // Advances until the first refusal (at most limit times).
    CStoryProgress* Run(u32 limit)
    {
        setup.entries[0].character = 0;
        for (u32 i = 0; i < limit && CStoryScene::AdvanceStory(&setup); ++i) ++successes;
        return dynamic_cast<CStoryProgress*>(setup.GetProgress());
    }
};

TEST(AdvanceStory, ChainsGoodLoopingTooLongAndDamaged)
{
    const struct {
        const char* what;
        std::vector<Chapter> chain;
        i32 successes;
        Fault fault;
        const char* file;   // named by the refusal
    } cases[] = {
        {"prologue, two battles, ending", Chain(2, true), 4, Fault::kEnded, ""},
        {"nine battles and the final", Chain(10, true), 12, Fault::kEnded, ""},
        {"ten numbered battles", Chain(10, false), 10, Fault::kTooLong, "Setting/Story_Talve_10.dat"},
        {"a chapter naming itself",
            {{"Story_Talve_Prologue", Prologue("Story_Talve_1.txt")}, {"Story_Talve_1", Battle("Story_Talve_1.txt")}},
            2, Fault::kLoop, "Setting/Story_Talve_1.dat"},
        {"back to the prologue",
            {{"Story_Talve_Prologue", Prologue("Story_Talve_1.txt")},
                {"Story_Talve_1", Battle("Story_Talve_Prologue.txt")}},
            2, Fault::kLoop, "Setting/Story_Talve_Prologue.dat"},
        {"a missing chapter", {{"Story_Talve_Prologue", Prologue("Story_Talve_9.txt")}}, 1, Fault::kMissing,
            "Setting/Story_Talve_9.dat"},
        {"a prologue naming nothing", {{"Story_Talve_Prologue", Prologue("")}}, 0, Fault::kNoNext,
            "Setting/Story_Talve_Prologue.dat"},
        {"a name outside the folder", {{"Story_Talve_Prologue", Prologue("../../Story_x.txt")}}, 1,
            Fault::kUnsafeName, "Setting/../../Story_x.dat"},
        {"a leading slash", {{"Story_Talve_Prologue", Prologue("/Story_x.txt")}}, 1, Fault::kUnsafeName,
            "Setting//Story_x.dat"},
        {"a leading backslash", {{"Story_Talve_Prologue", Prologue("\\Story_x.txt")}}, 1, Fault::kUnsafeName,
            "Setting/\\Story_x.dat"},
        {"a drive letter", {{"Story_Talve_Prologue", Prologue("C:Story_x.txt")}}, 1, Fault::kUnsafeName,
            "Setting/C:Story_x.dat"},
        {"a bad opponent",
            {{"Story_Talve_Prologue", Prologue("Story_Talve_1.txt")}, {"Story_Talve_1", Battle("Story_Talve_End.txt", false, "CHARA=18;")}},
            1, Fault::kOpponent, "Setting/Story_Talve_1.dat"},
        {"a bad stage",
            {{"Story_Talve_Prologue", Prologue("Story_Talve_1.txt")}, {"Story_Talve_1", Battle("Story_Talve_End.txt", false, "STAGE=40;")}},
            1, Fault::kStage, "Setting/Story_Talve_1.dat"},
        // Without a skill list an orb is none: the chain goes on to its end.
        {"an orb without a skill list",
            {{"Story_Talve_Prologue", Prologue("Story_Talve_1.txt")}, {"Story_Talve_1", Battle("Story_Talve_End.txt", false, "SKILL01=1;")}},
            2, Fault::kMissing, "Setting/Story_Talve_End.dat"},
        {"a bad time", {{"Story_Talve_Prologue", Prologue("Story_Talve_1.txt")}, {"Story_Talve_1", Battle("Story_Talve_End.txt", false, "TIME=9;")}},
            1, Fault::kTime, "Setting/Story_Talve_1.dat"},
    };
    for (const auto& c : cases) {
        ChainFolder folder(c.chain);
        ASSERT_TRUE(folder.ok) << c.what;
        Advance run;
        CStoryProgress* progress = run.Run(20);
        ASSERT_NE(progress, nullptr) << c.what;
        EXPECT_EQ(run.successes, c.successes) << c.what;
        EXPECT_EQ(progress->fault, c.fault) << c.what;
        EXPECT_EQ(progress->faultFile, c.file) << c.what;
        EXPECT_FALSE(progress->FaultText().empty()) << c.what;
        // No battle numbers past the slots (the ending is never numbered).
        EXPECT_TRUE(progress->counter <= i32(story::kFinalSlot) || progress->ended) << c.what;
    }
}

TEST(AdvanceStory, BattleIsCopiedAndARefusalChangesNothing)
{
    ChainFolder folder({{"Story_Talve_Prologue", Prologue("Story_Talve_1.txt")},
        {"Story_Talve_1", Battle("Story_Talve_2.txt")}, {"Story_Talve_2", Battle("Story_Talve_End.txt", false, "BGM=18;")}});
    ASSERT_TRUE(folder.ok);
    Advance run;
    CStoryProgress* progress = run.Run(1);
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->first, 1);
    EXPECT_EQ(run.setup.storyMode, 1u);
    EXPECT_EQ(run.setup.recordReplay, 0u);
    ASSERT_EQ(CStoryScene::AdvanceStory(&run.setup), 1);
    EXPECT_EQ(progress->first, 0);
    EXPECT_EQ(progress->counter, 0);
    const CBattleSetup& s = run.setup;
    EXPECT_EQ(s.option.stage, 3u);
    EXPECT_EQ(s.option.music, story::kMusicMap[9]);
    EXPECT_EQ(s.option.computerLevel, 2u);   // difficulty 1: no offset
    EXPECT_EQ(s.option.timeSetting, 4u);
    EXPECT_EQ(s.option.ownTension, 0u);
    EXPECT_EQ(s.entries[1].kind, CBattleEntry::kKindComputer);
    EXPECT_EQ(s.entries[1].character, 5u);
    EXPECT_EQ(s.entries[1].variant, 1u);
    EXPECT_EQ(s.entries[1].characterWords[1], 2u);
    EXPECT_EQ(s.entries[2].kind, CBattleEntry::kKindNone);
    EXPECT_EQ(s.entries[3].kind, CBattleEntry::kKindNone);

    const CStorySetting* chapter = progress->chapter.get();
    EXPECT_EQ(CStoryScene::AdvanceStory(&run.setup), 0);
    EXPECT_EQ(progress->fault, Fault::kMusic);
    // The old chapter and counter stay; nothing of the refused one came in.
    EXPECT_EQ(progress->chapter.get(), chapter);
    EXPECT_EQ(progress->counter, 0);
    EXPECT_EQ(s.option.music, story::kMusicMap[9]);
}

TEST(AdvanceStory, PlayerWithoutAStory)
{
    host::kernel::testing::TempFolder folder;
    const std::string previous = host::kernel::GetCurrentDirectory();
    host::kernel::SetCurrentDirectory(folder.Path());
    const struct {
        u32 character;
        Fault fault;
        const char* file;
    } cases[] = {{2, Fault::kMissing, "Setting/Story_Pellu_Prologue.dat"}, {99, Fault::kCharacter, ""}};
    for (const auto& c : cases) {
        CBattleSetup setup;
        setup.entries[0].character = c.character;
        EXPECT_EQ(CStoryScene::AdvanceStory(&setup), 0);
        const auto* progress = dynamic_cast<CStoryProgress*>(setup.GetProgress());
        ASSERT_TRUE(progress);
        EXPECT_EQ(progress->fault, c.fault);
        EXPECT_EQ(progress->faultFile, c.file);
    }
    EXPECT_EQ(CStoryScene::AdvanceStory(nullptr), 0);
    host::kernel::SetCurrentDirectory(previous);
}

// -- The scene on the data set. --

CStoryScene* Story(GameDriver& game) { return dynamic_cast<CStoryScene*>(game.App().GetScene()); }

// A set-up of character advanced n times.
CBattleSetup* StorySetup(GameDriver& game, u32 character, u32 advances)
{
    auto* setup = new CBattleSetup(game.App().GetSaveConfig());
    setup->entries[0].character = character;
    for (u32 i = 0; i < advances; ++i) EXPECT_EQ(CStoryScene::AdvanceStory(setup), 1) << i;
    return setup;
}

CStoryScene* Show(GameDriver& game, CBattleSetup* setup, f32 curtain = 1.0f, f32 alpha = 0.0f)
{
    MenuSetupArgs args;
    args.curtain = curtain;
    args.alpha = alpha;
    args.setup = setup;
    game.App().ChangeScene(new CStoryScene, reinterpret_cast<intptr_t>(&args));
    return Story(game);
}

// Frames while the preview's loader runs (real time, bounded).
u32 WaitForLoader(GameDriver& game)
{
    host::kernel::Event never(true, false);
    for (u32 i = 0; i < 2000; ++i) {
        CStoryScene* scene = Story(game);
        if (!scene || scene->GetLoadState() >= loading::kLoaded) break;
        never.Wait(10);
        game.Frame();
    }
    CStoryScene* scene = Story(game);
    return scene ? scene->GetLoadState() : 0;
}

bool Visible(CStoryScene* scene, const std::string& name)
{
    CSceneObject* layer = scene->Element(name.c_str());
    return layer && layer->GetSettings().visible;
}

// Every character of the roster has its chain in the data set: prologue,
// two battles, the ending.
TEST(StoryScene, EveryCharacterHasAChainToItsEnding)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    for (u32 character = 0; character < story::kCharacters; ++character) {
        SCOPED_TRACE(story::kCharacterNames[character]);
        std::unique_ptr<CBattleSetup> setup(StorySetup(game, character, 4));
        const auto* progress = dynamic_cast<const CStoryProgress*>(setup->GetProgress());
        ASSERT_NE(progress, nullptr);
        EXPECT_TRUE(progress->ended);
        EXPECT_EQ(progress->counter, 2);
    }
}

TEST(StoryScene, PrologueThenPreviewThenTheLoadedBattle)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CStoryScene* scene = Show(game, StorySetup(game, 0, 1));
    ASSERT_NE(scene, nullptr) << game.Describe();
    EXPECT_EQ(scene->GetScreen(), CStoryScene::kPrologue);
    EXPECT_NE(scene->GetEffect(), nullptr);
    ASSERT_NE(scene->GetMusic(), nullptr);
    EXPECT_TRUE(scene->GetMusic()->IsPlaying(0));
    // Buttons wait for the fades; then a press leaves the roll at once.
    game.Press(menu::kDecide);
    EXPECT_FALSE(scene->IsLeaving());
    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    EXPECT_TRUE(scene->IsLeaving());
    game.Frames(30);
    ASSERT_EQ(Story(game), scene);
    EXPECT_EQ(scene->GetScreen(), CStoryScene::kPreview);
    // The crowd was released: nothing updates or draws it again.
    EXPECT_EQ(scene->GetEffect(), nullptr);
    // The battle's Load took the set-up.
    EXPECT_EQ(scene->GetSetup(), nullptr);
    EXPECT_TRUE(Visible(scene, "bat_1"));
    EXPECT_FALSE(Visible(scene, "bat_f"));
    EXPECT_TRUE(Visible(scene, "tit_dero"));
    EXPECT_FALSE(Visible(scene, "ftit_dero"));
    EXPECT_TRUE(Visible(scene, "bgm_00"));
    EXPECT_TRUE(Visible(scene, "st_00"));
    EXPECT_FALSE(Visible(scene, "st_01"));

    // Presses before the load are ignored; after it one fades out to the battle.
    ASSERT_EQ(WaitForLoader(game), u32(loading::kLoaded)) << game.Describe();
    game.Frames(5);
    EXPECT_FALSE(scene->IsLeaving());
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CBattleScene", 40));
    const auto* battle = dynamic_cast<CBattleScene*>(game.App().GetScene());
    const CBattleSetup* setup = battle->GetSetup();
    ASSERT_TRUE(setup);
    EXPECT_EQ(setup->storyMode, 1u);
    EXPECT_EQ(setup->entries[1].character, 1u);
    EXPECT_EQ(setup->option.music, story::kMusicMap[0]);
    EXPECT_EQ(setup->option.computerLevel, 1u);
}

// A copy of the scene has its own copies of the layout's texture (on its
// layers), the camera and the music; the original keeps its own.
TEST(StoryScene, ACopyHoldsItsOwnTextureCameraAndMusic)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CStoryScene* scene = Show(game, StorySetup(game, 0, 1));
    ASSERT_NE(scene, nullptr) << game.Describe();
    const CTexture* texture = scene->Element("Story")->GetTexture();
    ASSERT_NE(texture, nullptr);
    ASSERT_NE(scene->GetCamera(), nullptr);
    ASSERT_NE(scene->GetMusic(), nullptr);
    {
        CStoryScene copy(*scene);
        for (const char* layer : {"Story", "pro"}) {
            SCOPED_TRACE(layer);
            const CTexture* copied = copy.Element(layer)->GetTexture();
            ASSERT_NE(copied, nullptr);
            EXPECT_NE(copied, texture);
            EXPECT_EQ((std::vector<u32>{copied->GetWidth(), copied->GetHeight()}),
                      (std::vector<u32>{texture->GetWidth(), texture->GetHeight()}));
        }
        ASSERT_NE(copy.GetCamera(), nullptr);
        EXPECT_NE(copy.GetCamera(), scene->GetCamera());
        const auto xyz = [](const CVector3& v) { return std::vector<f32>{v.x, v.y, v.z}; };
        EXPECT_EQ(xyz(copy.GetCamera()->GetEye()), xyz(scene->GetCamera()->GetEye()));
        EXPECT_EQ(xyz(copy.GetCamera()->GetTarget()), xyz(scene->GetCamera()->GetTarget()));
        ASSERT_NE(copy.GetMusic(), nullptr);
        EXPECT_NE(copy.GetMusic(), scene->GetMusic());
        EXPECT_EQ(copy.GetMusic()->GetVoiceCount(), scene->GetMusic()->GetVoiceCount());
    }
    // The copy gone, the original draws on with its own.
    EXPECT_EQ(scene->Element("Story")->GetTexture(), texture);
    EXPECT_TRUE(scene->GetMusic()->IsPlaying(0));
    game.Frame();
    EXPECT_EQ(Story(game), scene);
}

TEST(StoryScene, FinalBattlePreviewShowsTheFinalElements)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CStoryScene* scene = Show(game, StorySetup(game, 1, 3), 0.0f, 1.0f);
    ASSERT_NE(scene, nullptr) << game.Describe();
    EXPECT_EQ(scene->GetScreen(), CStoryScene::kPreview);
    EXPECT_TRUE(Visible(scene, "bat_f"));
    EXPECT_TRUE(Visible(scene, "bat"));
    EXPECT_FALSE(Visible(scene, "bat_2"));
    EXPECT_TRUE(Visible(scene, "ftit_tal"));
    EXPECT_FALSE(Visible(scene, "tit_tal"));
    EXPECT_TRUE(Visible(scene, "bgm_01"));
    EXPECT_EQ(WaitForLoader(game), u32(loading::kLoaded)) << game.Describe();
}

// The preview's panel stands under the pictures, on the screen, and holds
// what it shows: the battle's caption and number, the opponent's title,
// the music and the stage, and the chapter's line the scene writes on it.
TEST(StoryScene, PreviewPanelHoldsWhatItShows)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    for (const u32 player : {0u, 12u}) {
        SCOPED_TRACE(story::kCharacterNames[player]);
        const bool second = player >= 8;
        CStoryScene* scene = Show(game, StorySetup(game, player, 2), 0.0f, 1.0f);
        ASSERT_NE(scene, nullptr) << game.Describe();
        ASSERT_EQ(scene->GetScreen(), CStoryScene::kPreview);
        game.Frames(130);   // slid in, the panel faded in
        const CTexture* texture = scene->Element("Base")->GetTexture();
        const u64 layoutTexture = game.Render().IdOf(texture->GetTexture());
        const std::vector<drawn_sprites::Sprite> sprites =
            drawn_sprites::Sprites(game, story::LayerNames(second), texture, scene_data::StorySheets());
        const std::vector<drawn_sprites::Sprite> panel = drawn_sprites::Named(sprites, "Base");
        ASSERT_EQ(panel.size(), 1u);
        const drawn_sprites::Sprite& p = panel[0];
        const f32 screenW = f32(game.App().GetClientWidth()), screenH = f32(game.App().GetClientHeight());
        EXPECT_GE(p.x, 0.0f);
        EXPECT_LE(p.x + p.w, screenW);
        EXPECT_LE(p.y + p.h, screenH);
        EXPECT_GE(p.w, screenW / 2);   // a panel, not a tile
        const auto inside = [&](const drawn_sprites::Sprite& s) {
            return s.x >= p.x && s.y >= p.y && s.x + s.w <= p.x + p.w + 0.01f && s.y + s.h <= p.y + p.h + 0.01f;
        };
        std::vector<std::string> onPanel;
        u32 glyphs = 0;
        for (const drawn_sprites::Sprite& s : sprites) {
            if (s.layer.rfind("1P/", 0) == 0 || s.layer.rfind("2P/", 0) == 0) {
                EXPECT_LE(s.y + s.h, p.y) << s.layer;
            }
            if (s.layer.rfind("Base/", 0) == 0) {
                onPanel.push_back(s.layer);
                EXPECT_TRUE(inside(s)) << s.layer << " at " << s.x << "," << s.y;
            }
            if (s.layer.empty() && s.texture != layoutTexture) {
                ++glyphs;
                EXPECT_TRUE(inside(s)) << "a letter of the chapter's line at " << s.x << "," << s.y;
            }
        }
        EXPECT_GT(glyphs, 0u);
        // The caption, the number, the title, the music and the stage.
        EXPECT_EQ(onPanel.size(), 5u) << ::testing::PrintToString(onPanel);
        EXPECT_EQ(WaitForLoader(game), u32(loading::kLoaded)) << game.Describe();
    }
}

// The layer of the layout's list of that name ("e_tal" is "1P/e_tal").
std::string PathOf(const std::vector<std::string>& layers, const std::string& name)
{
    for (const std::string& path : layers)
        if (path == name || (path.size() > name.size() && path.compare(path.size() - name.size() - 1, std::string::npos,
                                                                       "/" + name) == 0))
            return path;
    return name;
}

// The preview's slots show each side's own character: drawn group by
// group, the player's three pictures in the "1P" slots, then the
// opponent's in the "2P" slots, each where its slot stands. The first
// group's player slots are Talve's pictures, the second group's Ovu's: a
// player of either group against Talve (the data's opponent of all but
// Talve), Talve against Derona. The sides stand apart on the screen, the
// player's on the left, the opponent's on the right.
TEST(StoryScene, PreviewShowsEachSidesPicturesInItsSlots)
{
    const u32 players[] = {1, 7, 0, 12, 13};
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    for (const u32 player : players) {
        SCOPED_TRACE(story::kCharacterNames[player]);
        const u32 sides[2] = {player, player == 0 ? 1u : 0u};
        const bool second = player >= 8;
        CStoryScene* scene = Show(game, StorySetup(game, player, 2), 0.0f, 1.0f);
        ASSERT_NE(scene, nullptr) << game.Describe();
        ASSERT_EQ(scene->GetScreen(), CStoryScene::kPreview);
        game.Frames(130);   // slid in, the panel shown
        const CSceneObject* base = scene->Element("Base");
        const std::vector<std::string> layers = story::LayerNames(second);
        std::vector<std::string> pictures;
        for (u32 kind = 0; kind < 3; ++kind)
            for (u32 c = 0; c < story::kCharacters; ++c) pictures.push_back(PathOf(layers, story::PictureName(kind, c)));
        const std::vector<drawn_sprites::Sprite> sprites =
            drawn_sprites::Sprites(game, layers, base->GetTexture(), scene_data::StorySheets());
        const std::vector<drawn_sprites::Sprite> panel = drawn_sprites::Named(sprites, "Base");
        ASSERT_EQ(panel.size(), 1u);
        const f32 marginX = panel[0].x - base->GetScreenState().position.x;
        const f32 marginY = panel[0].y - base->GetScreenState().position.y;
        std::vector<drawn_sprites::Sprite> shown;
        for (const auto& sprite : sprites)
            if (std::find(pictures.begin(), pictures.end(), sprite.layer) != pictures.end()) shown.push_back(sprite);
        ASSERT_EQ(shown.size(), 6u);
        for (u32 side = 0; side < 2; ++side) {
            for (u32 kind = 0; kind < 3; ++kind) {
                const std::string slot = story::SlotName(kind, side, second);
                const drawn_sprites::Sprite& drawn = shown[side * 3 + kind];
                EXPECT_EQ(drawn.layer, PathOf(layers, story::PictureName(kind, sides[side])))
                    << (side ? "2P/" : "1P/") << slot;
                const CVector3& at = scene->Element(slot.c_str())->GetScreenState().position;
                EXPECT_NEAR(drawn.x, at.x + marginX, 0.01f) << slot;
                EXPECT_NEAR(drawn.y, at.y + marginY, 0.01f) << slot;
            }
        }
        // Slid in, the two sides stand apart: the player's pictures left of
        // the layout's middle, the opponent's right of it, the versus mark
        // between them, no two pictures of a side at one place.
        const f32 middle = marginX + 512.0f * base->GetScreenState().scaleX;
        const std::vector<drawn_sprites::Sprite> v = drawn_sprites::Named(sprites, "v");
        const std::vector<drawn_sprites::Sprite> s = drawn_sprites::Named(sprites, "s");
        ASSERT_EQ(v.size(), 1u);
        ASSERT_EQ(s.size(), 1u);
        EXPECT_LE(v[0].x + v[0].w, s[0].x + 0.01f);
        for (u32 kind = 0; kind < 3; ++kind) {
            const drawn_sprites::Sprite& left = shown[kind];
            const drawn_sprites::Sprite& right = shown[3 + kind];
            SCOPED_TRACE(story::SlotName(kind, 0, second));
            EXPECT_GT(left.w, 0.0f);
            EXPECT_LE(left.x + left.w, middle);
            EXPECT_GE(right.x, middle);
            EXPECT_LE(left.x + left.w, v[0].x + 0.01f);
            EXPECT_GE(right.x + 0.01f, s[0].x + s[0].w);
            for (u32 other = 0; other < kind; ++other) {
                EXPECT_FALSE(drawn_sprites::AnyAt({shown[other]}, left.x, left.y)) << "the player's";
                EXPECT_FALSE(drawn_sprites::AnyAt({shown[3 + other]}, right.x, right.y)) << "the opponent's";
            }
        }
        EXPECT_EQ(WaitForLoader(game), u32(loading::kLoaded)) << game.Describe();
    }
}

// A battle that fails to load used to leave the preview loading for ever,
// and its release deleted the set-up the battle had already taken.
TEST(StoryScene, FailedBattleLoadGoesToTheTitleOnStory)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CBattleSetup* setup = StorySetup(game, 0, 2);
    setup->option.stage = 5;
    // The stage's settings cannot be read (on the loader's thread too).
    struct RefuseStage : host::kernel::FileWatch {
        RefuseStage() { host::kernel::SetFileWatch(this); }
        ~RefuseStage() override { host::kernel::SetFileWatch(nullptr); }
        bool Allow(host::kernel::FileStep step, const std::string& path, size_t&) override
        {
            return step != host::kernel::FileStep::Read || !path.ends_with("Stage06.dat");
        }
    } refuse;
    ASSERT_NE(Show(game, setup, 0.0f, 1.0f), nullptr);
    const size_t boxes = game.Boxes().size();
    for (u32 i = 0; i < 400 && game.CurrentScene() == "CStoryScene"; ++i) WaitForLoader(game), game.Frame();
    ASSERT_TRUE(menu_run::BackOnTitleAt(game, title::kStory)) << game.Describe();
    EXPECT_GT(game.Boxes().size(), boxes);
}

TEST(StoryScene, EndingRollsThenTheMovieThenTheTitleWithTheOrb)
{
    const struct {
        const char* what;
        u32 pressAt;   // frame of a press, 0 none
        bool movie;    // the movie started
    } cases[] = {{"no input", 0, true}, {"a press in the roll", 80, false}, {"a press in the movie", 200, true}};
    for (const auto& c : cases) {
        GameDriver game(game_test::GameDataRoot(), menu_run::Options());
        ASSERT_TRUE(menu_run::EnterIdle(game));
        CSaveData* save = game.App().GetSaveData();
        const i32 orb = story_data::kGetSkill[0] - 1;
        save->SetUnlockFlag(orb, 0);
        save->MarkUnlockFlagsShown();
        CStoryScene* scene = Show(game, StorySetup(game, 0, 4), 1.0f, 1.0f);
        ASSERT_NE(scene, nullptr) << game.Describe();
        EXPECT_EQ(scene->GetScreen(), CStoryScene::kEnding);
        EXPECT_EQ(save->GetUnlockFlag(orb), 1u);
        ASSERT_NE(scene->GetMovieTexture(), nullptr);
        // Default pool: given up around a device reset, made again after.
        scene->OnDeviceLost();
        EXPECT_EQ(scene->GetMovieTexture(), nullptr);
        scene->OnDeviceReset();
        EXPECT_NE(scene->GetMovieTexture(), nullptr);
        bool movie = false;
        for (u32 frame = 1; frame < 900 && game.CurrentScene() == "CStoryScene"; ++frame) {
            if (frame == c.pressAt) game.Press(menu::kDecide);
            else game.Frame();
            if (Story(game)) movie = movie || Story(game)->IsMoviePlaying();
        }
        EXPECT_EQ(movie, c.movie) << c.what;
        EXPECT_TRUE(menu_run::BackOnTitleAt(game, title::kStory)) << c.what;
        EXPECT_TRUE(save->HasUnshownUnlockFlags()) << c.what;
    }
}

// An ending whose GETSKILL lies past the skill list (45 orbs) still ends
// the story and sets that unlock flag; past the save's 256 flags it is
// refused and sets none. Talve's chain of the data set, its ending edited.
TEST(StoryScene, EndingFlagsPastTheSkillListEndTheStory)
{
    host::kernel::testing::TempFolder folder;
    const std::string root = folder.Path() + "set";
    std::string error;
    ASSERT_TRUE(scene_data::WriteSceneData(root, &error)) << error;
    const struct {
        i32 getSkill;
        bool ends;
    } cases[] = {{46, true}, {256, true}, {257, true}, {-1, true}, {0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.getSkill);
        std::vector<Chapter> chain = story_data::DataChain(0);
        chain.back().text = SettingWriter().Set("TEXT", "The end.").Set("GETSKILL", c.getSkill).Text();
        const auto files = story_data::ChapterFiles(chain, &error);
        ASSERT_FALSE(files.empty()) << error;
        for (const char* side : {"/one/Resource/", "/two/Resource/"})
            for (const auto& [path, bytes] : files)
                ASSERT_TRUE(host::kernel::WriteFileAtomic(root + side + path, bytes.data(), bytes.size())) << path;
        GameDriver game(root, menu_run::Options());
        ASSERT_TRUE(menu_run::EnterIdle(game));
        CSaveData* save = game.App().GetSaveData();
        CBattleSetup setup(game.App().GetSaveConfig());
        setup.entries[0].character = 0;
        for (u32 i = 0; i < 3; ++i) ASSERT_EQ(CStoryScene::AdvanceStory(&setup), 1) << i;
        const u32 before = save->GetUnlockFlag(255);
        u32 set = 0;
        for (u32 f = 0; f < 256; ++f) set += save->GetUnlockFlag(i32(f)) ? 1 : 0;
        EXPECT_EQ(CStoryScene::AdvanceStory(&setup), c.ends ? 1 : 0);
        const auto* progress = dynamic_cast<const CStoryProgress*>(setup.GetProgress());
        ASSERT_NE(progress, nullptr);
        EXPECT_EQ(progress->ended, c.ends ? 1 : 0);
        EXPECT_EQ(progress->fault, Fault::kNone);
        u32 after = 0;
        for (u32 f = 0; f < 256; ++f) after += save->GetUnlockFlag(i32(f)) ? 1 : 0;
        // A flag of the 256 is set; any other GETSKILL sets none.
        if (c.getSkill >= 1 && c.getSkill <= 256) {
            EXPECT_EQ(save->GetUnlockFlag(c.getSkill - 1), 1u);
        } else {
            EXPECT_EQ(after, set);
            EXPECT_EQ(save->GetUnlockFlag(255), before);
        }
    }
}

// Each group's ending opens its own folder's movie (the two differ in
// length).
TEST(StoryScene, EachGroupsEndingPlaysItsOwnFoldersMovie)
{
    const struct {
        u32 character;
        f32 seconds;
    } cases[] = {{0, scene_data::kFirstEndingSeconds}, {8, scene_data::kSecondEndingSeconds}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.character);
        GameDriver game(game_test::GameDataRoot(), menu_run::Options());
        ASSERT_TRUE(menu_run::EnterIdle(game));
        ASSERT_EQ(story::SecondGroup(c.character), c.character == 8);
        CStoryScene* scene = Show(game, StorySetup(game, c.character, 4), 1.0f, 1.0f);
        ASSERT_NE(scene, nullptr) << game.Describe();
        ASSERT_EQ(scene->GetScreen(), CStoryScene::kEnding);
        ASSERT_NE(scene->GetMovie(), nullptr);
        EXPECT_NEAR(scene->GetMovie()->GetStopTime(), c.seconds, 0.2);
    }
}

// The prologue's next chapter refused at the roll's end: said, naming the
// file, and the title on Story instead of a preview of nothing.
TEST(StoryScene, PrologueEndingOnAMissingChapterGoesToTheTitle)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CBattleSetup* setup = StorySetup(game, 0, 1);
    dynamic_cast<CStoryProgress*>(setup->GetProgress())->chapter->next = CString("Setting/Story_Nobody.dat");
    ASSERT_NE(Show(game, setup), nullptr) << game.Describe();
    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CTitleScene", 60));
    EXPECT_TRUE(menu_run::BackOnTitleAt(game, title::kStory));
    ASSERT_EQ(game.Boxes().size(), 1u);
    EXPECT_EQ(game.Boxes()[0].find("Setting/Story_Nobody.dat"), 0u);
}

TEST(StoryScene, LoadWithoutABlockStartsTalvesPrologue)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::Enter(game, new CStoryScene));
    EXPECT_EQ(Story(game)->GetScreen(), CStoryScene::kPrologue);
    EXPECT_FLOAT_EQ(Story(game)->GetOverlay(), 1.0f);
}

// The battle's way out after a won story battle (code 9), as the battle
// takes it: AdvanceStory, then GoStory with the set-up.
i32 LeaveWon(GameDriver& game, std::unique_ptr<CBattleSetup>& setup)
{
    BattleExitFacts facts;
    facts.setup = &setup;
    return LeaveBattle(kExitStory, facts, *game.App().Flow());
}

// The battle's code 9 and the refusals on the way into the story.
TEST(StoryScene, RefusedChapterIsSaidThenTheTitleOnStory)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options([](CSaveConfig& c) {
        c.GetGameSettings()->arcadeDifficulty = 7;
    }));
    ASSERT_TRUE(menu_run::EnterIdle(game));
    // A damaged difficulty refuses the first battle: the battle's code 9
    // must not bring the old chapter back.
    auto setup = std::unique_ptr<CBattleSetup>(StorySetup(game, 0, 1));
    const size_t boxes = game.Boxes().size();
    EXPECT_EQ(LeaveWon(game, setup), 0);
    EXPECT_TRUE(menu_run::BackOnTitleAt(game, title::kStory)) << game.Describe();
    ASSERT_EQ(game.Boxes().size(), boxes + 1);
    EXPECT_NE(game.Boxes().back().find(story::DescribeFault(Fault::kDifficulty)), std::string::npos);
}

TEST(StoryScene, BattleCodeNineBringsTheNextPreview)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options([](CSaveConfig& c) {
        c.GetGameSettings()->arcadeDifficulty = 3;
    }));
    ASSERT_TRUE(menu_run::EnterIdle(game));
    auto setup = std::unique_ptr<CBattleSetup>(StorySetup(game, 0, 2));
    LeaveWon(game, setup);
    ASSERT_NE(Story(game), nullptr) << game.Describe();
    EXPECT_EQ(Story(game)->GetScreen(), CStoryScene::kPreview);
    EXPECT_TRUE(Visible(Story(game), "bat_f"));
    ASSERT_EQ(WaitForLoader(game), u32(loading::kLoaded)) << game.Describe();
    game.Frames(3);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CBattleScene", 60));
    const CBattleSetup* battle = dynamic_cast<CBattleScene*>(game.App().GetScene())->GetSetup();
    EXPECT_EQ(battle->option.computerLevel, 4u);   // CPU 1 and Expert's +3
    EXPECT_EQ(battle->entries[1].characterWords[1], 4u);
    EXPECT_EQ(battle->entries[1].variant, 1u);   // the final chapter's BARRAGE
}

}  // namespace

namespace {

// The orb the data set's Talve ending gives (a skill-list position).
constexpr i32 kEndingOrb = story_data::kGetSkill[0] - 1;

// The run's save: the ending's orb not won yet and every flag shown, so the
// title names that orb alone after the ending.
game_test::DriverOptions RunOptions()
{
    game_test::DriverOptions options = menu_run::BattleOptions();
    options.beforeInit = [config = options.beforeInit](const std::string& folder) {
        CSaveData save;
        save.Load();
        save.SetUnlockFlag(kEndingOrb, 0);
        save.MarkUnlockFlagsShown();
        ASSERT_EQ(save.Save(), 1);
        config(folder);
    };
    return options;
}

// A battle of the run from its preview: the preview's number and title,
// the battle loaded on the chapter (TIME 0: 100 s), fought by Talve's shots
// to a win, after which the battle hands back to the story by itself.
void WinFromPreview(GameDriver& game, const char* number, i32 counter, bool final)
{
    CStoryScene* scene = Story(game);
    ASSERT_NE(scene, nullptr) << game.Describe();
    ASSERT_EQ(scene->GetScreen(), CStoryScene::kPreview);
    EXPECT_TRUE(Visible(scene, number)) << number;
    EXPECT_EQ(Visible(scene, "ftit_dero"), final);
    EXPECT_EQ(Visible(scene, "tit_dero"), !final);
    ASSERT_EQ(WaitForLoader(game), u32(loading::kLoaded)) << game.Describe();
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CBattleScene", 60));
    const CBattleSetup* setup = menu_run::Battle(game)->GetSetup();
    ASSERT_TRUE(setup);
    const auto* progress = dynamic_cast<const CStoryProgress*>(setup->GetProgress());
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->counter, counter);
    EXPECT_EQ(progress->chapter->values.lastFlag != 0, final);
    EXPECT_EQ(setup->storyMode, 1u);
    EXPECT_EQ(setup->recordReplay, 0u);
    EXPECT_EQ(setup->option.timeSetting, 0u);
    EXPECT_EQ(setup->entries[0].character, 0u);
    EXPECT_EQ(setup->entries[1].character, 1u);
    EXPECT_EQ(setup->entries[1].variant, final ? 1u : 0u);   // BARRAGE
    u32 result = 0;
    ASSERT_TRUE(menu_run::FightBattle(game, true, &result));
    EXPECT_EQ(result, kResultWin);
    ASSERT_TRUE(game.RunUntil("CStoryScene", 60));
}

// The story as a player runs it: the title's Story, Talve in the single
// select, the prologue skipped, the preview, the first battle won, the
// final battle's preview, the final battle won, the ending rolling by
// itself into the movie, the movie to its end, and the title on Story
// naming the orb the ending gave.
TEST(StoryRun, TwoBattlesWonTheEndingTheMovieAndTheOrbOnTheTitle)
{
    GameDriver game(game_test::GameDataRoot(), RunOptions());
    TitleArgs args;
    args.item = title::kStory;
    ASSERT_TRUE(menu_run::Enter(game, new CTitleScene, reinterpret_cast<intptr_t>(&args)));
    CSaveData* save = game.App().GetSaveData();
    ASSERT_FALSE(save->GetUnlockFlag(kEndingOrb));
    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CSingleCharaSelect", 120));
    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CStoryScene", 120));
    CStoryScene* scene = Story(game);
    EXPECT_EQ(scene->GetScreen(), CStoryScene::kPrologue);
    menu_run::FadeIn(game);
    game.Press(menu::kDecide);
    EXPECT_TRUE(scene->IsLeaving());
    for (u32 i = 0; i < 60 && Story(game) == scene && scene->GetScreen() == CStoryScene::kPrologue; ++i) game.Frame();

    ASSERT_NO_FATAL_FAILURE(WinFromPreview(game, "bat_1", 0, false));
    ASSERT_NO_FATAL_FAILURE(WinFromPreview(game, "bat_f", 1, true));

    scene = Story(game);
    ASSERT_NE(scene, nullptr) << game.Describe();
    EXPECT_EQ(scene->GetScreen(), CStoryScene::kEnding);
    EXPECT_TRUE(save->GetUnlockFlag(kEndingOrb));
    // No input: the roll runs its time, the movie starts and plays to its end.
    u32 rollFrames = 0, movieFrames = 0;
    for (u32 i = 0; i < 900 && Story(game); ++i) {
        (Story(game)->IsMoviePlaying() ? movieFrames : rollFrames) += 1;
        game.Frame();
    }
    // ENDTIME 2 s at the scene's 18 ms a frame; the movie's 3 s at the
    // clock's 16 or 17 ms a frame.
    EXPECT_GE(rollFrames, 2000u / CStoryScene::kFrameMs);
    EXPECT_GE(movieFrames, 3000u / 17u);
    ASSERT_TRUE(menu_run::BackOnTitleAt(game, title::kStory)) << game.Describe();
    const auto* title = dynamic_cast<const CTitleScene*>(game.App().GetScene());
    ASSERT_TRUE(title->IsOrbNoticeShown());
    char name[8];
    std::snprintf(name, sizeof name, "Orb%02d", kEndingOrb);
    EXPECT_EQ(title->GetOrbNoticeText(), title::OrbNoticeText({name}));
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
    const std::vector<std::string> scenes = menu_run::Scenes(game.Trail());
    const std::vector<std::string> run = {"CIdleScene", "CTitleScene", "CSingleCharaSelect", "CStoryScene",
        "CBattleScene", "CStoryScene", "CBattleScene", "CStoryScene", "CTitleScene"};
    EXPECT_EQ(scenes, run);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
