// The menus' loading on the game data set and the fakes, each beside a
// yardstick measured in the same run:
//
//   Startup/*     the start-up work: the global data load (archives with
//                 their media, the 41 tracks measured), the logo's Load, the
//                 title's Load; against a plain read of every file and
//                 archive entry they open (Startup/PlainRead).
//   Load/<scene>  each menu scene's Load (its Release not timed); against
//   Layout/<scene> loading its layout alone (CSceneResource::LoadFromFile).
//   Story/*       the story preview's battle load on its loader thread,
//                 against the same Load called directly.
//   Load_ReplayList against ReplayList_PlainHeaders: the replay list's Load
//                 with all 30 slots filled, against reading the 30 headers.
//   Adventure/*   the map's Load on a map of 30 nodes; against a plain read
//                 of its 31 settings files.
//
// The game runs headless as the tests run it, on the title, while the
// scenes are made and loaded beside it.
#include "engine/core/Crc32.h"
#include "engine/core/Memory.h"
#include "engine/core/PackFile.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/ResourceControllerFile.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/AdventureScene.h"
#include "game/scenes/BeginLoading.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/GameData.h"
#include "game/scenes/GameOption.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/LogoScene.h"
#include "game/scenes/MenuScene.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/scenes/CharaSelect.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/OptionSelect.h"
#include "game/scenes/RecordScene.h"
#include "game/scenes/ReplayScene.h"
#include "game/scenes/StoryScene.h"
#include "game/scenes/TitleScene.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/data/tests/SettingWriter.h"
#include "game/scenes/tests/GameDriver.h"
#include "game/scenes/tests/ReplayFiles.h"
#include "host/kernel/Kernel.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include <unistd.h>

namespace {

using scene_data::Folder;

// The set written into a folder of its own and the game on its title.
struct Game {
    Game()
    {
        // A folder of this run's own: another run's start or end must not
        // empty it under this one (its Loads then fail).
        root = (std::filesystem::temp_directory_path() / ("orv-menu-bench-" + std::to_string(getpid()))).string();
        std::filesystem::remove_all(root);
        std::string error;
        if (!scene_data::WriteSceneData(root, &error)) {
            std::fprintf(stderr, "data set: %s\n", error.c_str());
            return;
        }
        driver = std::make_unique<game_test::GameDriver>(root);
        // A press counts after a frame with the key up; it skips the movie.
        for (u32 i = 0; i < 2000 && driver->Started() && driver->CurrentScene() != "CTitleScene"; ++i) {
            driver->Press(menu::kDecide);
            driver->Frame();
        }
        ok = driver->CurrentScene() == "CTitleScene";
        if (!ok) std::fprintf(stderr, "the title was not reached:%s\n", driver->Describe().c_str());
    }
    ~Game()
    {
        driver.reset();
        std::filesystem::remove_all(root);
    }
    std::string Resource(Folder f) const { return root + (f == Folder::kFirst ? "/one" : "/two") + "/Resource"; }

    std::string root;
    std::unique_ptr<game_test::GameDriver> driver;
    bool ok = false;
};

Game& TheGame()
{
    static Game game;
    return game;
}

bool Ready(benchmark::State& state)
{
    if (TheGame().ok) return true;
    state.SkipWithError("the game did not reach its title");
    return false;
}

double Seconds(std::chrono::steady_clock::time_point from)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// ---------------------------------------------------------------- start-up

void Startup_GlobalLoad(benchmark::State& state)
{
    if (!Ready(state)) return;
    Game& game = TheGame();
    const std::string cwd = host::kernel::GetCurrentDirectory();
    for (auto _ : state) {
        CResourceController resources;
        CGameData data(DataFolders{game.root + "/one", game.root + "/two"});
        if (!data.LoadResources(resources, {})) state.SkipWithError("the global load failed");
        benchmark::DoNotOptimize(resources.GetTextureList()->GetCount());
    }
    host::kernel::SetCurrentDirectory(cwd);
}
BENCHMARK(Startup_GlobalLoad)->Unit(benchmark::kMillisecond);

// Every byte the start-up work opens: both resource lists and the effects
// they name, every archive registered (each entry), the battle music, and
// the title's layout and skill list.
u64 ReadArchive(const std::string& resource, const GameArchive& a)
{
    CqelPackFile pack;
    const std::string path = resource + "/" + scene_data::Native(a.path);
    if (!pack.OpenScrambled(path.c_str(), Crc32String(a.packName), a.key)) return 0;
    u64 bytes = 0;
    for (u32 i = 0; i < pack.GetCount(); ++i) {
        u32 size = 0;
        if (u8* body = pack.ReadEntry(pack.GetEntry(i)->name, &size)) {
            bytes += size;
            AlignedFree(body);
        }
    }
    return bytes;
}

u64 ReadFile(const std::string& path)
{
    std::string bytes;
    host::kernel::ReadWholeFile(path, bytes);
    return bytes.size();
}

void Startup_PlainRead(benchmark::State& state)
{
    if (!Ready(state)) return;
    Game& game = TheGame();
    const std::string one = game.Resource(Folder::kFirst), two = game.Resource(Folder::kSecond);
    u64 total = 0;
    for (auto _ : state) {
        total = 0;
        for (const std::string* resource : {&one, &two}) {
            const std::string grc = *resource + "/" + CGameData::kResourceList;
            total += ReadFile(grc);
            CResourceControllerFile list;
            list.Read(grc.c_str());
            for (const std::string& record : list.records) total += ReadFile(*resource + "/" + scene_data::Native(record));
        }
        for (const GameArchive& a : kFirstFolderArchives) total += ReadArchive(one, a);
        for (const GameArchive& a : kSecondFolderArchives) total += ReadArchive(two, a);
        for (const GameArchive& a : kSharedArchives) total += ReadArchive(two, a);
        total += ReadArchive(one, scene_data::kMusicArchive);
        total += ReadFile(one + "/Scene/TitleSceneM.sce") + ReadFile(one + "/Setting/Skill.dat");
        benchmark::DoNotOptimize(total);
    }
    state.counters["bytes"] = double(total);
}
BENCHMARK(Startup_PlainRead)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- scene Loads

// A scene's Load timed alone; its Release (a loader's join) is not.
void TimeLoad(benchmark::State& state, const std::function<CScene*()>& make, const std::function<intptr_t()>& block)
{
    if (!Ready(state)) return;
    const std::string cwd = host::kernel::GetCurrentDirectory();
    for (auto _ : state) {
        CScene* scene = make();
        const intptr_t argument = block();
        const auto start = std::chrono::steady_clock::now();
        const i32 loaded = scene->Initialize(argument);
        state.SetIterationTime(Seconds(start));
        if (!loaded) state.SkipWithError("the Load failed");
        delete scene;
        host::kernel::SetCurrentDirectory(cwd);
    }
}

void TimeLayout(benchmark::State& state, const char* path)
{
    if (!Ready(state)) return;
    const std::string full = TheGame().Resource(Folder::kFirst) + "/" + scene_data::Native(path);
    for (auto _ : state) {
        CSceneResource layout;
        const auto start = std::chrono::steady_clock::now();
        const u32 loaded = layout.LoadFromFile(full.c_str());
        state.SetIterationTime(Seconds(start));
        if (!loaded) state.SkipWithError("the layout did not load");
    }
}

intptr_t None() { return 0; }

void Startup_LogoLoad(benchmark::State& state) { TimeLoad(state, [] { return new CLogoScene(); }, None); }
BENCHMARK(Startup_LogoLoad)->UseManualTime()->Unit(benchmark::kMicrosecond);

void Startup_TitleLoad(benchmark::State& state) { TimeLoad(state, [] { return new CTitleScene(); }, None); }
BENCHMARK(Startup_TitleLoad)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The start-up screen's Load starts a global load on its thread (joined
// untimed): a few rounds only.
void Load_BeginLoading(benchmark::State& state) { TimeLoad(state, [] { return new CBeginLoading(); }, None); }
BENCHMARK(Load_BeginLoading)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(10);
void Layout_BeginLoading(benchmark::State& state) { TimeLayout(state, "Scene\\BeginLoading.sce"); }
BENCHMARK(Layout_BeginLoading)->UseManualTime()->Unit(benchmark::kMicrosecond);

void Load_Loading(benchmark::State& state)
{
    static LoadingArgs args;
    TimeLoad(state, [] { return new CLoadingScene(); }, [] {
        args = LoadingArgs{};
        return reinterpret_cast<intptr_t>(&args);
    });
}
BENCHMARK(Load_Loading)->UseManualTime()->Unit(benchmark::kMicrosecond);
void Layout_Loading(benchmark::State& state) { TimeLayout(state, "Scene\\Loading.sce"); }
BENCHMARK(Layout_Loading)->UseManualTime()->Unit(benchmark::kMicrosecond);

void Load_Title(benchmark::State& state) { TimeLoad(state, [] { return new CTitleScene(); }, None); }
BENCHMARK(Load_Title)->UseManualTime()->Unit(benchmark::kMicrosecond);
void Layout_Title(benchmark::State& state) { TimeLayout(state, "Scene\\TitleSceneM.sce"); }
BENCHMARK(Layout_Title)->UseManualTime()->Unit(benchmark::kMicrosecond);

void Load_Record(benchmark::State& state) { TimeLoad(state, [] { return new CRecordScene(); }, None); }
BENCHMARK(Load_Record)->UseManualTime()->Unit(benchmark::kMicrosecond);
void Layout_Record(benchmark::State& state) { TimeLayout(state, "Scene\\RecordScene.sce"); }
BENCHMARK(Layout_Record)->UseManualTime()->Unit(benchmark::kMicrosecond);

void Load_Options(benchmark::State& state) { TimeLoad(state, [] { return new CGameOption(); }, None); }
BENCHMARK(Load_Options)->UseManualTime()->Unit(benchmark::kMicrosecond);
void Layout_Options(benchmark::State& state) { TimeLayout(state, "Scene\\GameOption.sce"); }
BENCHMARK(Layout_Options)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Without a block: its own set-up, effect and music, as the slowest case.
void Load_OptionSelect(benchmark::State& state) { TimeLoad(state, [] { return new COptionSelect(); }, None); }
BENCHMARK(Load_OptionSelect)->UseManualTime()->Unit(benchmark::kMicrosecond);
void Layout_OptionSelect(benchmark::State& state) { TimeLayout(state, option_select::kLayout); }
BENCHMARK(Layout_OptionSelect)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Every replay slot of the game's user folder holds a header over 64 KB.
std::string FilledReplayFolder()
{
    static const std::string folder = [] {
        const std::string f = GetUserDataDirectory(kSaveFolderName);
        for (u32 slot = 1; slot <= replay_list::kSlots; ++slot)
            replay_test::WriteSlot(f, slot, replay_test::FileBytes(replay_test::Header("Stage01", "Talve"), "bench",
                                                std::string(64 << 10, '\x5A')));
        return f;
    }();
    return folder;
}

void Load_ReplayList(benchmark::State& state)
{
    FilledReplayFolder();
    static CReplaySceneArgs args;
    TimeLoad(state, [] { return new CReplayScene(); }, [] {
        args = CReplaySceneArgs{};
        return reinterpret_cast<intptr_t>(&args);
    });
}
BENCHMARK(Load_ReplayList)->UseManualTime()->Unit(benchmark::kMicrosecond);

void ReplayList_PlainHeaders(benchmark::State& state)
{
    if (!Ready(state)) return;
    const std::string folder = FilledReplayFolder();
    for (auto _ : state) {
        u32 read = 0;
        for (u32 slot = 1; slot <= replay_list::kSlots; ++slot) {
            ReplayHeader header{};
            read += u32(CReplay::ReadHeaderOnly(ReplaySlotPath(folder, slot).c_str(), &header));
        }
        if (read != replay_list::kSlots) state.SkipWithError("a header did not read");
    }
}
BENCHMARK(ReplayList_PlainHeaders)->Unit(benchmark::kMicrosecond);
void Layout_ReplayList(benchmark::State& state) { TimeLayout(state, replay_list::kLayout); }
BENCHMARK(Layout_ReplayList)->UseManualTime()->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------- a battle

// Talve (player 1) against Derona (computer) on the first stage and track.
CBattleSetup* TwoFighters()
{
    auto* setup = new CBattleSetup(TheGame().driver->App().GetSaveConfig());
    setup->recordReplay = 0;
    setup->option.stage = setup->option.drawnStage = 0;
    setup->option.music = setup->option.drawnMusic = 0;
    setup->entries[0].kind = 0;
    setup->entries[0].character = 0;
    setup->entries[1].kind = CBattleEntry::kKindComputer;
    setup->entries[1].character = 1;
    setup->entries[1].team = 1;
    for (u32 i = 2; i < CBattleSetup::kEntryCount; ++i) setup->entries[i].kind = CBattleEntry::kKindNone;
    return setup;
}

// The battle's own Load of the set-up.
void Battle_DirectLoad(benchmark::State& state)
{
    if (!Ready(state)) return;
    CGameApp& app = TheGame().driver->App();
    for (auto _ : state) {
        CBattleSetup* setup = TwoFighters();
        auto* battle = new CBattleScene(app.BattleApp());
        const auto start = std::chrono::steady_clock::now();
        const i32 loaded = battle->Initialize(reinterpret_cast<intptr_t>(setup));
        state.SetIterationTime(Seconds(start));
        if (!loaded) state.SkipWithError("the battle did not load");
        delete battle;
    }
}
BENCHMARK(Battle_DirectLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The same battle as the option select's start gets it: from the scene
// change to the loading screen until its loader has the battle ready (the
// fade that follows left out); then back to the title.
void Battle_ThroughLoadingScreen(benchmark::State& state)
{
    if (!Ready(state)) return;
    CGameApp& app = TheGame().driver->App();
    for (auto _ : state) {
        LoadingArgs args{new CBattleScene(app.BattleApp()), reinterpret_cast<intptr_t>(TwoFighters()), 0};
        const auto start = std::chrono::steady_clock::now();
        app.ChangeScene(new CLoadingScene, reinterpret_cast<intptr_t>(&args));
        const auto* screen = dynamic_cast<const CLoadingScene*>(app.GetScene());
        while (screen && screen->GetLoadState() == loading::kLoading) std::this_thread::yield();
        state.SetIterationTime(Seconds(start));
        if (!screen || screen->GetLoadState() != loading::kLoaded) state.SkipWithError("the battle did not load");
        app.ChangeScene(new CTitleScene, 0);
    }
}
BENCHMARK(Battle_ThroughLoadingScreen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Talve's first story battle, as the story's prologue leaves the set-up.
CBattleSetup* StoryBattle()
{
    auto* setup = new CBattleSetup(TheGame().driver->App().GetSaveConfig());
    setup->entries[0].character = 0;
    if (!CStoryScene::AdvanceStory(setup) || !CStoryScene::AdvanceStory(setup)) {
        delete setup;
        return nullptr;
    }
    return setup;
}

// The story battle's Load called directly.
void Story_DirectLoad(benchmark::State& state)
{
    if (!Ready(state)) return;
    CGameApp& app = TheGame().driver->App();
    for (auto _ : state) {
        CBattleSetup* setup = StoryBattle();
        auto* battle = new CBattleScene(app.BattleApp());
        const auto start = std::chrono::steady_clock::now();
        const i32 loaded = setup && battle->Initialize(reinterpret_cast<intptr_t>(setup));
        state.SetIterationTime(Seconds(start));
        if (!loaded) state.SkipWithError("the story battle did not load");
        delete battle;
    }
}
BENCHMARK(Story_DirectLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The same Load on the story preview's loader thread: from the scene change
// to the preview until its loader has the battle ready.
void Story_ThroughPreview(benchmark::State& state)
{
    if (!Ready(state)) return;
    CGameApp& app = TheGame().driver->App();
    for (auto _ : state) {
        MenuSetupArgs args;
        args.curtain = 0.0f;
        args.setup = StoryBattle();
        const auto start = std::chrono::steady_clock::now();
        app.ChangeScene(new CStoryScene, reinterpret_cast<intptr_t>(&args));
        const auto* preview = dynamic_cast<const CStoryScene*>(app.GetScene());
        while (preview && preview->GetLoadState() == loading::kLoading) std::this_thread::yield();
        state.SetIterationTime(Seconds(start));
        if (!preview || preview->GetLoadState() != loading::kLoaded) state.SkipWithError("the story battle did not load");
        app.ChangeScene(new CTitleScene, 0);
    }
}
BENCHMARK(Story_ThroughPreview)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The character select without a block makes its own set-up, effect and music.
void Load_CharaSelect(benchmark::State& state) { TimeLoad(state, [] { return new CCharaSelect(); }, None); }
BENCHMARK(Load_CharaSelect)->UseManualTime()->Unit(benchmark::kMicrosecond);
void Layout_CharaSelect(benchmark::State& state) { TimeLayout(state, chara_select::kLayout); }
BENCHMARK(Layout_CharaSelect)->UseManualTime()->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------- the adventure map

// Ten columns of three nodes replace the data set's map in both folders
// (texts and caches); the settings files' paths, list first.
std::vector<std::string> WriteThirtyNodeMap()
{
    static std::vector<std::string> paths;
    if (!paths.empty()) return paths;
    std::vector<std::pair<std::string, std::string>> texts;
    setting_test::SettingWriter list;
    for (u32 c = 0; c < 10; ++c) list.Set("COUNT", 3);
    for (u32 n = 1; n <= 30; ++n) list.Set("ADVENTURE", "Adv_bench" + std::to_string(n) + ".txt");
    texts.emplace_back("Adventure.txt", list.Text());
    for (u32 n = 1; n <= 30; ++n) {
        setting_test::SettingWriter event;
        event.Set("TEXT", "Bench").Set("CHARA00TYPE", 1).Set("CHARA01TYPE", i32(n % 2)).Set("STAGE", 0)
            .Set("BGM", i32(n % 18)).Set("GETSKILL", i32(n % 45 + 1)).Set("NEXTOPEN", i32(n % 30 + 1))
            .Set("TIMECONDITION", "100").Set("NEXTCONDITION", "Win");
        texts.emplace_back("Adv_bench" + std::to_string(n) + ".txt", event.Text());
    }
    const std::string cwd = host::kernel::GetCurrentDirectory();
    std::string error;
    const auto files = scene_data::AdventureFiles(texts, error);
    host::kernel::SetCurrentDirectory(cwd);
    for (const auto& [path, bytes] : files) {
        for (Folder f : {Folder::kFirst, Folder::kSecond}) {
            const std::string full = TheGame().Resource(f) + "/" + path;
            if (!host::kernel::WriteFileAtomic(full, bytes.data(), bytes.size())) error = "cannot write " + full;
        }
        if (path.rfind("Setting/", 0) == 0) paths.push_back(path);
    }
    if (!error.empty()) std::fprintf(stderr, "adventure map: %s\n", error.c_str());
    return paths;
}

// The map's whole Load (layout, textures, skill list, the 31 files, the
// checks), its set-up handed in.
void Adventure_Load(benchmark::State& state)
{
    if (!Ready(state) || WriteThirtyNodeMap().size() != 31) return state.SkipWithError("no 30-node map");
    static CAdventureSceneArgs args;
    TimeLoad(state, [] { return new CAdventureScene(); }, [] {
        args = CAdventureSceneArgs{};
        args.setup = new CBattleSetup();
        return reinterpret_cast<intptr_t>(&args);
    });
}
BENCHMARK(Adventure_Load)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The 31 caches read whole, nothing parsed.
void Adventure_PlainRead(benchmark::State& state)
{
    if (!Ready(state) || WriteThirtyNodeMap().size() != 31) return state.SkipWithError("no 30-node map");
    const std::string resource = TheGame().Resource(Folder::kFirst) + "/";
    u64 total = 0;
    for (auto _ : state) {
        total = 0;
        for (const std::string& path : WriteThirtyNodeMap()) total += ReadFile(resource + path);
        benchmark::DoNotOptimize(total);
    }
    state.counters["bytes"] = double(total);
}
BENCHMARK(Adventure_PlainRead)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
