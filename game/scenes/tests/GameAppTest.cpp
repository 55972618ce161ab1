#include "game/scenes/GameApp.h"

#include "engine/core/Crc32.h"
#include "engine/platform/tests/SoundTestSupport.h"
#include "game/data/SaveConfig.h"
#include "game/scenes/tests/GameDataSet.h"
#include "host/kernel/FakeMessageBox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace ORV_TEST_FILE_ID {

namespace {

class GameAppTest : public sound_test::SoundFixture {
protected:
    void TearDown() override
    {
        host::kernel::SetCurrentDirectory(cwd_);
        SoundFixture::TearDown();
    }
};

// The configuration read at start-up names the user music the data loads.
TEST_F(GameAppTest, UserMusicComesFromTheLoadedConfiguration)
{
    const std::string root = temp_.Path() + "set";
    ASSERT_EQ(game_data_test::WriteGameData(root), "");
    // The user folder lies beside TEMP: both inside this test's folder.
    setenv("TEMP", (temp_.Path() + "Temp/").c_str(), 1);
    host::kernel::FakeMessageBox boxes;
    CGameApp app({root + "/one", root + "/two"});
    EXPECT_EQ(app.GetSaveConfig(), nullptr);
    ASSERT_EQ(app.LoadSaveConfig(), 1);
    ASSERT_NE(app.GetSaveConfig(), nullptr);

    ConfigBgmRow& row = app.GetSaveConfig()->GetBgmSection()->rows[5];
    std::strcpy(row.bgmPath, "gone.ogg");
    std::strcpy(row.tensionPath, "gone.txt");
    // The text waits for the main thread: no box from the load itself.
    EXPECT_EQ(app.LoadBgm(46, nullptr), nullptr);
    EXPECT_TRUE(boxes.Boxes().empty());

    const auto music = app.OpenPack(CGameData::kMusicArchive, Crc32String(CGameData::kMusicPackName), kPackKeyFirst);
    EXPECT_EQ(music->GetCount(), 1u);
    const std::unique_ptr<CSoundBuffer> track(app.LoadBgm(0, music.get()));
    EXPECT_NE(track, nullptr);
    EXPECT_EQ(app.GetTensionFile(0), nullptr);   // nothing measured before the load
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

// ------------------------------------------------------------ the application run headless

#include "engine/core/ObjectRegistry.h"
#include "engine/core/Random.h"
#include "engine/core/SoundPlayerBase.h"
#include "engine/graphics/Filter.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/Sound.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/scene/BattleApp.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/TitleScene.h"
#include "engine/platform/app/Entry.h"
#include "game/data/SaveData.h"
#include "game/data/SaveRecord.h"
#include "game/scenes/tests/GameDriver.h"

#include <filesystem>
#include <string>

namespace ORV_TEST_FILE_ID {

namespace {

using game_test::DriverOptions;
using game_test::GameDriver;

// A scene that loads (or fails naming its layout) and counts what it gets.
struct SceneLog {
    u32 updates = 0, draws = 0, deleted = 0, decides = 0;
};
SceneLog g_scenes;

class CTestScene : public CScene {
    ORV_VALUE_CLASS(CTestScene)

public:
    CTestScene() = default;
    explicit CTestScene(bool fail) : m_fail(fail) {}
    CTestScene(const CTestScene&) = default;
    ~CTestScene() override { ++g_scenes.deleted; }
    i32 Initialize(intptr_t) override { return m_fail ? menu::Missing("Scene\\Test.sce") : 1; }
    i32 Update(u32) override
    {
        g_scenes.decides += menu::Triggered(menu::kDecide) ? 1 : 0;
        return ++g_scenes.updates, 1;
    }
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32) override { return ++g_scenes.draws, 1; }

private:
    bool m_fail = false;
};

// The data set without any scene's files: every archive, the music.
class GameRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_scenes = {};
        ASSERT_EQ(game_data_test::WriteGameData(data_.Path() + "set"), "");
    }
    std::string Root() const { return data_.Path() + "set"; }
    DriverOptions WithTestScene() const
    {
        DriverOptions options;
        options.startScene = [] { return new CTestScene(); };
        return options;
    }

    host::kernel::testing::TempFolder data_;
};

// A configuration written before start-up, changed by edit.
std::function<void(const std::string&)> SavedConfig(std::function<void(CSaveConfig&)> edit)
{
    return [edit](const std::string&) {
        CSaveConfig config;
        ASSERT_EQ(config.Load(), 1);
        edit(config);
        ASSERT_EQ(config.Save(), 1);
    };
}

TEST_F(GameRunTest, ASaveThatCannotBeReadStopsStartUpBeforeAnyWindow)
{
    static const struct {
        const char* file;
        const char* box;
    } rows[] = {
        {"GameConfig.dat", "コンフィグファイルが読み込めません"},
        {"GameRecord.dat", "レコードファイルが読み込めません"},
        {"GameData.dat", "データファイルが読み込めません"},
    };
    for (const auto& row : rows) {
        DriverOptions options = WithTestScene();
        // A folder where the file should be: it cannot be read.
        options.beforeInit = [&row](const std::string& user) {
            ASSERT_TRUE(host::kernel::CreateDirectories(user + row.file + "/x"));
        };
        GameDriver game(Root(), options);
        EXPECT_FALSE(game.Started()) << row.file;
        EXPECT_EQ(game.App().GetSystem(), nullptr) << row.file;
        EXPECT_EQ(game.Boxes(), std::vector<std::string>{row.box}) << row.file;
        EXPECT_EQ(game.Captions(), std::vector<std::string>{""}) << row.file;   // the text alone
        EXPECT_EQ(GetGameApp(), nullptr);
    }
}

// A start that fails after the saves were read ends the entry with -1 and
// leaves the save files as they were: none is written back.
TEST_F(GameRunTest, AStartThatFailsWritesNoSaveBack)
{
    namespace fs = std::filesystem;
    const char* const files[] = {CSaveConfig::kFileName, CSaveRecord::kFileName, CSaveData::kFileName};
    const fs::file_time_type old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    DriverOptions options;
    options.startScene = [] { return new CTestScene(true); };   // its layout is missing
    options.throughEntry = true;
    std::string user;
    options.beforeInit = [&](const std::string& folder) {
        user = folder;
        CSaveConfig config;
        CSaveRecord record;
        CSaveData data;
        ASSERT_EQ(config.Load() + record.Load() + data.Load(), 3);   // each written with its defaults
        for (const char* file : files) fs::last_write_time(folder + file, old);
    };
    GameDriver game(Root(), options);
    EXPECT_EQ(game.EntryStatus(), -1);
    EXPECT_EQ(g_scenes.deleted, 1u);
    EXPECT_EQ(GetGameApp(), nullptr);
    EXPECT_EQ(GetApplication(), nullptr);
    for (const char* file : files) {
        ASSERT_TRUE(fs::exists(user + file)) << file;
        EXPECT_EQ(fs::last_write_time(user + file), old) << file;
    }
    // Only the missing layout was said: no box about saving.
    ASSERT_EQ(game.Boxes().size(), 1u);
    EXPECT_EQ(game.Boxes()[0].find("保存"), std::string::npos) << game.Boxes()[0];
}

TEST(GameAppSizes, TheLargestSizeFromTheIndexDownThatFitsTheDesktop)
{
    static const struct {
        i32 index, desktopWidth, desktopHeight, width, height;
    } rows[] = {
        {8, 1280, 1024, 1280, 720},    // 1920x1080 does not fit: 1280x720
        {2, 1920, 1080, 1024, 768},
        {0, 600, 400, 640, 480},       // nothing fits: the smallest all the same
        {11, 1920, 1200, 1920, 1200},
        {200, 1920, 1200, 1920, 1200}, // past the table: from its last entry
        {12, 1680, 1050, 1680, 1050},
        {-1, 1920, 1200, 640, 480},
    };
    for (const auto& row : rows) {
        const DisplaySize size = ChooseDisplaySize(row.index, row.desktopWidth, row.desktopHeight);
        EXPECT_EQ(size.width, row.width) << row.index;
        EXPECT_EQ(size.height, row.height) << row.index;
    }
}

TEST_F(GameRunTest, StartUpTakesTheConfiguredSizeThatFitsTheDesktop)
{
    static const struct {
        u8 index;
        u32 desktopWidth, desktopHeight;
        i32 width, height;
    } rows[] = {
        {8, 1280, 1024, 1280, 720},
        {200, 1920, 1080, 640, 480},   // a damaged byte reads negative: the smallest
        {1, 1920, 1080, 800, 600},
    };
    for (const auto& row : rows) {
        DriverOptions options = WithTestScene();
        options.desktopWidth = row.desktopWidth, options.desktopHeight = row.desktopHeight;
        options.beforeInit = SavedConfig([&row](CSaveConfig& c) { c.GetGraphicsSettings()->screenSize = row.index; });
        GameDriver game(Root(), options);
        ASSERT_TRUE(game.Started());
        EXPECT_EQ(game.App().GetClientWidth(), row.width) << int(row.index);
        EXPECT_EQ(game.App().GetClientHeight(), row.height) << int(row.index);
        EXPECT_EQ(game.App().GetSystem()->GetTitle(), std::string(CGameApp::kWindowTitle));
    }
}

TEST(GameAppPacing, DrawsAreSkippedWhileTheLagExceedsTheBudget)
{
    host::kernel::FakeClock clock(5000);
    host::kernel::ScopedClock scoped(clock);
    static const struct {
        u32 lag;
        i32 drawn;
    } rows[] = {{40, 0}, {19, 0}, {18, 1}, {17, 1}, {0, 1}};
    for (const auto& row : rows) {
        CGameApp app({"/nowhere", "/nowhere"});
        clock.Advance(row.lag);
        app.Update();
        EXPECT_EQ(app.Draw(), row.drawn) << row.lag;
    }

    // Ten skips at most; the draw after them returns 0, the next one 1.
    CGameApp app({"/nowhere", "/nowhere"});
    for (int i = 0; i < 10; ++i) {
        clock.Advance(1000);
        app.Update();
        EXPECT_EQ(app.Draw(), 0) << i;
    }
    clock.Advance(1000);
    app.Update();
    EXPECT_EQ(app.Draw(), 0);
    clock.Advance(5);   // the step waits for the timer's tick: under the budget
    app.Update();
    EXPECT_EQ(app.Draw(), 1);
}

TEST_F(GameRunTest, FramesRunTheSceneOncePerTickAndSetTheFrameTime)
{
    GameDriver game(Root(), WithTestScene());
    ASSERT_TRUE(game.Started());
    EXPECT_EQ(game.CurrentScene(), "CTestScene");
    const u32 start = game.Clock().Milliseconds();
    game.Frames(60);
    EXPECT_EQ(g_scenes.updates, 60u);
    EXPECT_EQ(g_scenes.draws, 60u);
    EXPECT_NEAR(double(game.Clock().Milliseconds() - start), 1000.0, 17.0);
    EXPECT_TRUE(GetFrameTimeMs() == 16 || GetFrameTimeMs() == 17) << GetFrameTimeMs();

    // Player 1's decide through the saved keyboard assignment, once.
    game.Press(menu::kDecide);
    game.Frames(2);
    EXPECT_EQ(g_scenes.decides, 1u);

    // Updates faster than the timer wait for its tick.
    const u32 before = game.Clock().Milliseconds();
    game.App().Update();
    game.App().Update();
    EXPECT_GE(game.Clock().Milliseconds() - before, 16u);
}

// The particles' generator is seeded from the clock at start-up: two
// launches at different times draw different sequences, neither the one a
// generator never seeded draws.
TEST_F(GameRunTest, StartUpSeedsTheParticlesFromTheStartTime)
{
    std::vector<u32> firsts;
    for (const u32 start : {100000u, 250000u}) {
        DriverOptions options = WithTestScene();
        options.startMs = start;
        GameDriver game(Root(), options);
        ASSERT_TRUE(game.Started());
        ASSERT_NE(game.App().GetEffectController(), nullptr);
        // Start-up takes its time from the clock as it goes.
        const u32 seed = game.App().GetStartTime();
        EXPECT_GE(seed, start);
        EXPECT_LE(seed, game.Clock().Milliseconds());
        CRandom seeded;
        seeded.Seed(seed);
        const u32 first = game.App().GetEffectController()->GetRandom().Next();
        EXPECT_EQ(first, seeded.Next()) << start;
        // The global generator was seeded from the same time.
        CRandom global;
        global.Seed(seed);
        EXPECT_EQ(RandomNext(), global.Next());
        EXPECT_NE(first, CRandom().Next()) << start;
        firsts.push_back(first);
    }
    EXPECT_NE(firsts[0], firsts[1]);
}

// Side bars: (client width, height) -> squares per row in each bar.
TEST_F(GameRunTest, SideBarsTileTheMarginsOutsideTheLayout)
{
    static const struct {
        i32 width, height;
        size_t fills;
        f32 leftEnd, rightEnd;   // right edge of the last square of each bar
    } rows[] = {
        {1024, 768, 0, 0, 0},              // 4:3: cleared, no square
        {1366, 768, 48 * 22, 171, 1371},   // margins of 171: the left one clipped
        {1280, 1024, 0, 0, 0},             // taller than 4:3: nothing at all
    };
    for (const auto& row : rows) {
        GameDriver game(Root(), WithTestScene());
        ASSERT_TRUE(game.Started());
        game.App().GetDevice()->ChangeDisplayMode(1, row.width, row.height);
        ASSERT_EQ(game.App().GetClientWidth(), row.width);
        game.Frame();
        std::vector<host::render::Call> fills;
        for (const auto& call : game.RenderLog())
            if (call.op == "DrawPrimitiveUP") fills.push_back(call);
        EXPECT_EQ(fills.size(), row.fills) << row.width;
        const bool cleared = std::any_of(game.RenderLog().begin(), game.RenderLog().end(),
                                         [](const auto& call) { return call.op == "Clear"; });
        EXPECT_TRUE(cleared || row.width * 3 != row.height * 4) << row.width;
        if (fills.empty()) continue;
        // Vertex i: x at 20i, y at 20i + 4, colour at 20i + 16; corners 0 and 2.
        auto left = [](const host::render::Call& c) { return c.FloatAt(0); };
        auto top = [](const host::render::Call& c) { return c.FloatAt(4); };
        auto right = [](const host::render::Call& c) { return c.FloatAt(40); };
        auto colour = [](const host::render::Call& c) { return c.U32At(16); };
        const size_t perBar = row.fills / 48 / 2;
        EXPECT_EQ(left(fills[0]), 0.0f);
        EXPECT_EQ(colour(fills[0]), 0xFF000000u);
        EXPECT_EQ(colour(fills[1]), 0xFF484848u);
        EXPECT_NEAR(right(fills[perBar - 1]), row.leftEnd, 0.01);
        EXPECT_NEAR(left(fills[perBar]), f32(row.width) - row.leftEnd, 0.01);   // the right bar's first
        EXPECT_EQ(colour(fills[perBar]), 0xFF000000u);
        EXPECT_NEAR(right(fills[2 * perBar - 1]), row.rightEnd, 0.01);
        EXPECT_EQ(top(fills[2 * perBar]), 16.0f);   // row 1 starts light
        EXPECT_EQ(colour(fills[2 * perBar]), 0xFF484848u);
    }
}

// A failed scene change: its box, then the title; the title's own failure
// (no data) ends the program, and a failed title is not tried again.
TEST_F(GameRunTest, AFailedLoadIsNamedAndTheTitleTakesOver)
{
    const std::string fixture = game_test::GameDataRoot();
    static const struct {
        bool fixture, title;   // the fixture's data (loaded); a title fails
        size_t boxes;
        const char* scene;
        bool quit;
    } rows[] = {
        {false, false, 2, "", true},
        {false, true, 1, "", true},
        {true, false, 1, "CTitleScene", false},
    };
    for (const auto& row : rows) {
        if (row.fixture && fixture.empty()) continue;
        g_scenes = {};
        GameDriver game(row.fixture ? fixture : Root(), WithTestScene());
        ASSERT_TRUE(game.Started());
        if (row.fixture) {
            ASSERT_EQ(game.App().LoadResources(), 1) << game.Describe();
        }
        CScene* failing = row.title ? static_cast<CScene*>(new CTitleScene) : new CTestScene(true);
        EXPECT_EQ(game.App().ChangeScene(failing, 0), 1);
        EXPECT_EQ(g_scenes.deleted, row.title ? 1u : 2u);   // the old scene, the failed one
        const std::vector<std::string> boxes = game.Boxes();
        EXPECT_EQ(boxes.size(), row.boxes) << game.Describe();
        EXPECT_TRUE(row.title || boxes.at(0) == "Scene\\Test.sceが読み込めません") << game.Describe();
        EXPECT_EQ(game.Captions(), std::vector<std::string>(boxes.size(), ""));
        EXPECT_EQ(game.CurrentScene(), row.scene);
        game.Frame();
        EXPECT_EQ(game.QuitPosted(), row.quit) << game.Describe();
        // Ended by data it could not read: a failure status.
        EXPECT_EQ(game.App().GetExitStatus(), row.quit ? 1 : 0);
    }
}

// Data that could not be read, then a normal quit (the title's end item
// asks for one the same way): the program still ends with the failure.
TEST_F(GameRunTest, ANormalQuitAfterADataFailureKeepsTheFailureStatus)
{
    static const struct {
        bool failure;
        i32 status;
    } rows[] = {{false, 0}, {true, 1}};
    for (const auto& row : rows) {
        GameDriver game(Root(), WithTestScene());
        ASSERT_TRUE(game.Started());
        // Without the scene data the title after the failed change fails too.
        if (row.failure) {
            EXPECT_EQ(game.App().ChangeScene(new CTestScene(true), 0), 1);
        }
        EXPECT_EQ(game.App().GetExitStatus(), row.status);
        game.App().Quit();
        game.Frame();
        EXPECT_TRUE(game.QuitPosted());
        EXPECT_EQ(game.QuitCode(), row.status) << game.Describe();
        EXPECT_EQ(game.App().GetExitStatus(), row.status);
    }
}

TEST_F(GameRunTest, TheSceneTraceListsEachSceneMadeCurrent)
{
    GameDriver game(Root(), WithTestScene());
    ASSERT_TRUE(game.Started());
    const std::string trace = data_.Path() + "trace.txt";
    game.App().SetSceneTrace(trace);
    EXPECT_EQ(game.App().ChangeScene(new CTestScene(), 0), 0);
    game.App().SetScene(new CTestScene());
    game.App().ChangeScene(new CTestScene(true), 0);   // not made current
    std::string text;
    ASSERT_TRUE(host::kernel::ReadWholeFile(trace, text));
    EXPECT_EQ(text, "CTestScene\nCTestScene\n");
}

TEST_F(GameRunTest, WithoutItsDataTheStartUpScreenEndsStartUp)
{
    GameDriver game(Root());
    EXPECT_FALSE(game.Started());
    ASSERT_EQ(game.Boxes().size(), 1u);
    EXPECT_NE(game.Boxes()[0].find("が読み込めません"), std::string::npos);
    EXPECT_EQ(game.App().GetScene(), nullptr);
}

// Fails the atomic replacement of the files whose names end so.
class RefuseWrites : public host::kernel::FileWatch {
public:
    explicit RefuseWrites(std::string name) : name_(std::move(name)) { host::kernel::SetFileWatch(this); }
    ~RefuseWrites() override { host::kernel::SetFileWatch(nullptr); }
    bool Allow(host::kernel::FileStep step, const std::string& native, size_t&) override
    {
        return step != host::kernel::FileStep::Rename || native.size() < name_.size() ||
               native.compare(native.size() - name_.size(), name_.size(), name_) != 0;
    }

private:
    std::string name_;
};

TEST_F(GameRunTest, ExitClearsThePointersWritesTheSavesAndIsSafeTwice)
{
    GameDriver game(Root(), WithTestScene());
    ASSERT_TRUE(game.Started());
    EXPECT_EQ(GetGameApp(), &game.App());
    EXPECT_NE(GetObjectRegistry(), nullptr);
    EXPECT_NE(GetSoundPlayerList(), nullptr);
    EXPECT_NE(GetSoundDeviceGlobal(), nullptr);
    host::kernel::DeleteFile(game.UserFolder() + "GameData.dat");
    {
        RefuseWrites refuse("GameRecord.dat");
        game.App().Exit();
    }
    EXPECT_EQ(GetGameApp(), nullptr);
    EXPECT_EQ(GetObjectRegistry(), nullptr);
    EXPECT_EQ(GetSoundPlayerList(), nullptr);
    EXPECT_EQ(GetSoundDeviceGlobal(), nullptr);
    EXPECT_EQ(GetGraphicDevice(), nullptr);
    EXPECT_EQ(g_scenes.deleted, 1u);
    EXPECT_TRUE(host::kernel::FileExists(game.UserFolder() + "GameData.dat"));
    ASSERT_EQ(game.Boxes().size(), 1u);
    EXPECT_NE(game.Boxes()[0].find("GameRecord.dat"), std::string::npos);
    EXPECT_EQ(game.Boxes()[0].find("GameConfig.dat"), std::string::npos);
    game.App().Exit();
    EXPECT_EQ(game.Boxes().size(), 1u);
    EXPECT_EQ(g_scenes.deleted, 1u);
}

TEST_F(GameRunTest, MessagesFromOtherThreadsWaitForTheNextFrame)
{
    GameDriver game(Root(), WithTestScene());
    ASSERT_TRUE(game.Started());
    auto thread = host::kernel::StartThread([&game] {
        game.App().QueueMessage("one");
        game.App().QueueMessage("two");
        return 0u;
    });
    thread->Join();
    EXPECT_TRUE(game.Boxes().empty());
    game.Frame();
    EXPECT_EQ(game.Boxes(), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(game.Captions(), (std::vector<std::string>{"", ""}));
}

TEST_F(GameRunTest, TheGlobalLoadMakesTheFiltersTheConfigurationAsksAndTheFont)
{
    for (u8 level : {0, 2}) {
        DriverOptions options = WithTestScene();
        options.beforeInit = SavedConfig([level](CSaveConfig& c) { c.GetGraphicsSettings()->hdrLevel = level; });
        GameDriver game(Root(), options);
        ASSERT_TRUE(game.Started());
        CGameApp& app = game.App();
        ASSERT_EQ(app.LoadResources(), 1);
        auto* hdr = dynamic_cast<CHDRFilter*>(app.GetHdrFilter());
        EXPECT_EQ(hdr != nullptr, level > 0);
        EXPECT_EQ(hdr ? hdr->GetPassCount() : 0u, level ? level + 1u : 0u);
        EXPECT_NE(app.GetBasicFilter(), nullptr);
        EXPECT_EQ(app.GetResourceController()->GetFontList()->GetCount(), 1u);
        EXPECT_NE(app.GetTensionFile(40), nullptr);
        // A device reset: the filters go and come back, the font stays one.
        app.OnDeviceLost();
        EXPECT_EQ(app.GetBasicFilter(), nullptr);
        app.OnDeviceReset();
        EXPECT_NE(app.GetBasicFilter(), nullptr);
        EXPECT_EQ(app.GetResourceController()->GetFontList()->GetCount(), 1u);
    }
}

TEST_F(GameRunTest, TheBattleFindsTheRosterAndStageFiles)
{
    GameDriver game(Root(), WithTestScene());
    IBattleApp* battle = game.App().BattleApp();
    static const struct {
        u32 row;
        const char *character, *stage;
    } rows[] = {{0, "Setting/Chr_Talve.dat", "Setting/Stage01.dat"}, {17, "Setting/Chr_Vek.dat", "Setting/Stage18.dat"},
        {18, nullptr, "Setting/Stage19.dat"}, {19, nullptr, nullptr}};
    for (const auto& row : rows) {
        EXPECT_STREQ(battle->GetCharacterFile(row.row), row.character) << row.row;
        EXPECT_STREQ(battle->GetStageFile(row.row), row.stage) << row.row;
    }
    EXPECT_EQ(battle->GetUserDataFolder(), game.UserFolder());
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
