// The two loading screens run in the headless game: what they draw while
// loading and after, the hand-over, failures, held messages and a release
// in the middle of a load.
#include "game/scenes/BeginLoading.h"
#include "game/scenes/LoadingScene.h"

#include "engine/graphics/Texture.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/NetworkHost.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/GameDriver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

using game_test::DriverOptions;
using game_test::GameDriver;
using ::testing::HasSubstr;

// What a probe scene was told, shared with the test (the probe is deleted
// by whoever owns it). Declared before the game, which joins a loader that
// may still be running the probe.
struct ProbeLog {
    host::kernel::Event release{true, true};   // set: loads at once
    std::atomic<bool> fail{false};
    std::atomic<int> loads{0};
    std::atomic<int> alive{0};
    std::atomic<bool> loadedFlag{false};
    std::mutex lock;
    std::vector<std::pair<u32, u32>> messages;   // id, first word (or the parameter itself)
    std::vector<bool> loadedWhenTold;

    std::vector<std::pair<u32, u32>> Messages()
    {
        std::lock_guard guard(lock);
        return messages;
    }
};

// A scene whose Load waits for the test and which notes its messages.
class CProbeScene : public CScene {
    ORV_VALUE_CLASS(CProbeScene)

public:
    CProbeScene() = default;
    explicit CProbeScene(ProbeLog* log) : m_log(log) { ++m_log->alive; }
    CProbeScene(const CProbeScene&) = default;
    ~CProbeScene() override
    {
        if (m_log) --m_log->alive;
    }
    i32 Initialize(intptr_t) override
    {
        if (!m_log) return 1;
        ++m_log->loads;
        m_log->release.Wait();
        if (m_log->fail) {
            GetGameApp()->SetLoadError("Probe\\Gone.dat");
            return 0;
        }
        m_log->loadedFlag = true;
        return 1;
    }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    u32 OnMessage(u32 message, intptr_t parameter) override
    {
        if (!m_log) return 1;
        u32 word = u32(parameter);
        if (message >= 10001 && message <= 10009 && parameter) std::memcpy(&word, reinterpret_cast<void*>(parameter), 4);
        std::lock_guard guard(m_log->lock);
        m_log->messages.emplace_back(message, word);
        m_log->loadedWhenTold.push_back(m_log->loadedFlag);
        return 1;
    }

private:
    ProbeLog* m_log = nullptr;
};

// The scene the tests start from instead of the start-up screen.
class CIdleScene : public CScene {
    ORV_VALUE_CLASS(CIdleScene)

public:
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    u32 OnMessage(u32, intptr_t) override { return 1; }
};

// The network scene as a loading screen sees it: its child gets Update,
// Draw and messages; SetChildScene replaces the child.
class CFakeNetworkScene : public CScene, public INetworkSceneHost {
    ORV_VALUE_CLASS(CFakeNetworkScene)

public:
    CFakeNetworkScene() = default;
    CFakeNetworkScene(const CFakeNetworkScene&) : CScene() {}
    ~CFakeNetworkScene() override { delete child; }
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32 argument) override { return child ? child->Update(argument) : 1; }
    i32 Draw(u32 argument) override { return child ? child->Draw(argument) : 1; }
    u32 OnMessage(u32 message, intptr_t parameter) override { return child ? child->OnMessage(message, parameter) : 1; }
    i32 SetChildScene(CScene* scene, u32 mode) override
    {
        delete std::exchange(child, scene);
        modes.push_back(mode);
        return 1;
    }

    CScene* child = nullptr;
    std::vector<u32> modes;
};

// Refuses every read of a file whose path ends in suffix (a damaged or
// missing archive), from any thread.
class RefuseReads : public host::kernel::FileWatch {
public:
    explicit RefuseReads(std::string suffix) : m_suffix(std::move(suffix)) { host::kernel::SetFileWatch(this); }
    ~RefuseReads() override { host::kernel::SetFileWatch(nullptr); }
    bool Allow(host::kernel::FileStep step, const std::string& native, size_t&) override
    {
        return step != host::kernel::FileStep::Read || native.size() < m_suffix.size() ||
               native.compare(native.size() - m_suffix.size(), m_suffix.size(), m_suffix) != 0;
    }

private:
    std::string m_suffix;
};

DriverOptions IdleStart()
{
    DriverOptions options;
    options.startScene = [] { return new CIdleScene; };
    return options;
}

// The layers of layout path drawn in the last frame, in draw order.
std::vector<std::string> DrawnLayers(const GameDriver& game, const char* path)
{
    const scene_data::CSceneDataSet set = [] {
        scene_data::CSceneDataSet s;
        scene_data::AddStartupData(s);
        return s;
    }();
    const std::vector<std::string>& layers = set.layouts.at(path);
    std::vector<std::string> drawn;
    for (const host::render::Call& call : game.RenderLog()) {
        if (call.op != "DrawPrimitiveUP" || call.U32("stride") != sizeof(SpriteVertex)) continue;
        const size_t vertices = call.data.size() / sizeof(SpriteVertex);
        if (vertices == 0) continue;
        f32 u = 0.0f, v = 0.0f;
        for (size_t i = 0; i < vertices; ++i) {
            u += call.FloatAt(i * sizeof(SpriteVertex) + 20);
            v += call.FloatAt(i * sizeof(SpriteVertex) + 24);
        }
        const std::string name = scene_data::LayerAt(layers, u / f32(vertices), v / f32(vertices));
        if (!name.empty()) drawn.push_back(name);
    }
    return drawn;
}

bool Has(const std::vector<std::string>& names, const char* name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

i32 DotsDrawn(const std::vector<std::string>& drawn)
{
    return i32(std::count_if(drawn.begin(), drawn.end(), [](const std::string& n) { return n.rfind("ten", 0) == 0; }));
}

// Real time for a loader to reach a state.
template <class Screen>
bool AwaitState(const Screen* screen, u32 state)
{
    for (int i = 0; i < 5000 && screen->GetLoadState() != state; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return screen->GetLoadState() == state;
}

class LoadingScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (game_test::GameDataRoot().empty()) GTEST_SKIP() << "no game data (ORV_GAME_DATA)";
    }

    // A loading screen made current over the idle scene, loading a probe.
    template <class Screen>
    Screen* Start(GameDriver& game, ProbeLog& log, u32 network = 0)
    {
        auto* screen = new Screen;
        LoadingArgs args;
        args.next = new CProbeScene(&log);
        args.network = network;
        EXPECT_EQ(game.App().ChangeScene(screen, reinterpret_cast<intptr_t>(&args)), 0) << game.Describe();
        return screen;
    }
};

// ---------------------------------------------------------------- start-up

TEST_F(LoadingScreenTest, StartUpPromptsOnlyOnceLoadedAndIgnoresButtonsBefore)
{
    ProbeLog log;
    GameDriver game(game_test::GameDataRoot(), IdleStart());
    ASSERT_TRUE(game.Started());
    log.release.Reset();
    auto* screen = Start<CBeginLoading>(game, log);
    for (int i = 0; i < 5; ++i) {
        game.Press(menu::kDecide);
        const auto drawn = DrawnLayers(game, "Scene\\BeginLoading.sce");
        EXPECT_TRUE(Has(drawn, "lo2"));
        EXPECT_TRUE(Has(drawn, "now"));
        EXPECT_FALSE(Has(drawn, "prean"));
    }
    EXPECT_FALSE(screen->IsFadingOut());
    EXPECT_EQ(screen->GetLoadState(), loading::kLoading);

    log.release.Set();
    ASSERT_TRUE(AwaitState(screen, loading::kLoaded));
    game.Frames(3);
    auto drawn = DrawnLayers(game, "Scene\\BeginLoading.sce");
    EXPECT_TRUE(Has(drawn, "prean"));
    EXPECT_FALSE(Has(drawn, "now"));
    EXPECT_EQ(DotsDrawn(drawn), 0);
    EXPECT_EQ(game.CurrentScene(), "CBeginLoading");   // waits for a button

    game.Press(menu::kDecide);
    EXPECT_TRUE(screen->IsFadingOut());
    const u32 pressed = game.FrameCount();
    ASSERT_TRUE(game.RunUntil("CProbeScene", 60));
    // Half a second of 16-17 ms frames.
    EXPECT_NEAR(f64(game.FrameCount() - pressed), 30.0, 2.0);
    EXPECT_EQ(log.alive, 1);
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
}

TEST_F(LoadingScreenTest, DotsCountZeroToThreeEveryHalfSecondWhileLoading)
{
    ProbeLog log;
    GameDriver game(game_test::GameDataRoot(), IdleStart());
    ASSERT_TRUE(game.Started());
    log.release.Reset();
    Start<CLoadingScene>(game, log);
    std::vector<std::pair<i32, u32>> runs;   // dots drawn, frames in a row
    for (int i = 0; i < 160; ++i) {
        game.Frame();
        const i32 dots = DotsDrawn(DrawnLayers(game, "Scene\\Loading.sce"));
        if (runs.empty() || runs.back().first != dots) runs.emplace_back(dots, 0);
        ++runs.back().second;
    }
    log.release.Set();
    ASSERT_GE(runs.size(), 5u);
    const std::vector<i32> order = {runs[0].first, runs[1].first, runs[2].first, runs[3].first, runs[4].first};
    EXPECT_EQ(order, (std::vector<i32>{0, 1, 2, 3, 0}));
    for (size_t i = 1; i + 1 < runs.size(); ++i) EXPECT_NEAR(f64(runs[i].second), 30.0, 1.0) << i;
}

TEST_F(LoadingScreenTest, StartUpWhoseGlobalLoadFailsShowsOneBoxNamingItAndEnds)
{
    // The sound archive (registered by relative path) cannot be read.
    RefuseReads refuse("Data/SE.gpk");
    GameDriver game;
    ASSERT_TRUE(game.Started());
    for (int i = 0; i < 2000 && !game.QuitPosted(); ++i) game.Frame();
    EXPECT_TRUE(game.QuitPosted()) << game.Describe();
    ASSERT_EQ(game.Boxes().size(), 1u) << game.Describe();
    EXPECT_THAT(game.Boxes()[0], HasSubstr("SE.gpk"));
    EXPECT_EQ(game.Trail().size(), 1u) << game.Describe();   // nothing after the start-up screen
}

TEST_F(LoadingScreenTest, StartUpWhoseNextSceneFailsShowsItsReasonAndEnds)
{
    ProbeLog log;
    GameDriver game(game_test::GameDataRoot(), IdleStart());
    ASSERT_TRUE(game.Started());
    log.fail = true;
    Start<CBeginLoading>(game, log);
    for (int i = 0; i < 2000 && !game.QuitPosted(); ++i) game.Frame();
    EXPECT_TRUE(game.QuitPosted());
    EXPECT_EQ(game.Boxes(), (std::vector<std::string>{"Probe\\Gone.dat" + std::string("が読み込めません")}))
        << game.Describe();
    EXPECT_EQ(game.CurrentScene(), "CBeginLoading");
}

// ---------------------------------------------------------------- loading screen

TEST_F(LoadingScreenTest, LoadedSceneReplacesTheScreenOrBecomesTheNetworkChild)
{
    for (const u32 network : {0u, 1u}) {
        SCOPED_TRACE(network);
        ProbeLog log;
        GameDriver game(game_test::GameDataRoot(), IdleStart());
        ASSERT_TRUE(game.Started());
        CFakeNetworkScene* host = nullptr;
        CLoadingScene* screen = new CLoadingScene;
        LoadingArgs args;
        args.next = new CProbeScene(&log);
        args.network = network;
        if (network) {
            host = new CFakeNetworkScene;
            game.App().SetScene(host);
            host->child = screen;
            ASSERT_EQ(screen->Initialize(reinterpret_cast<intptr_t>(&args)), 1);
        } else {
            ASSERT_EQ(game.App().ChangeScene(screen, reinterpret_cast<intptr_t>(&args)), 0);
        }
        ASSERT_TRUE(AwaitState(screen, loading::kLoaded));
        // A quarter of a second of fade, no button.
        u32 frames = 0;
        while (frames < 40 && (network ? host->modes.empty() : game.CurrentScene() == "CLoadingScene")) {
            game.Frame();
            ++frames;
        }
        EXPECT_NEAR(f64(frames), 15.0, 2.0);
        if (network) {
            EXPECT_EQ(host->modes, (std::vector<u32>{3}));
            EXPECT_EQ(std::string(host->child->GetClassName()), "CProbeScene");
            EXPECT_EQ(game.CurrentScene(), "CFakeNetworkScene");
        } else {
            EXPECT_EQ(game.CurrentScene(), "CProbeScene");
        }
        EXPECT_EQ(log.alive, 1);
    }
}

TEST_F(LoadingScreenTest, NextSceneThatFailsShowsOneBoxThenTheTitleOnItsModesItem)
{
    ProbeLog log;
    GameDriver game(game_test::GameDataRoot(), IdleStart());
    ASSERT_TRUE(game.Started());
    log.fail = true;
    auto* screen = new CLoadingScene;
    LoadingArgs args;
    args.next = new CProbeScene(&log);
    args.titleItem = 6;
    ASSERT_EQ(game.App().ChangeScene(screen, reinterpret_cast<intptr_t>(&args)), 0);
    EXPECT_EQ(screen->GetTitleItem(), 6u);
    game.Frame();
    ASSERT_GE(game.Boxes().size(), 1u);
    EXPECT_EQ(game.Boxes()[0], "Probe\\Gone.dat" + std::string("が読み込めません"));
    // The title, or its own failure when it cannot load either.
    const std::vector<std::string> boxes = game.Boxes();
    const bool titleTried = std::any_of(boxes.begin() + 1, boxes.end(),
        [](const std::string& box) { return box.find("TitleScene") != std::string::npos; });
    EXPECT_TRUE(game.CurrentScene() == "CTitleScene" || titleTried) << game.Describe();
    EXPECT_EQ(log.alive, 0);
}

TEST_F(LoadingScreenTest, TitleItemComesFromTheBattlesSetUp)
{
    GameDriver game(game_test::GameDataRoot(), IdleStart());
    ASSERT_TRUE(game.Started());
    struct Case {
        void (*mode)(CBattleSetup&);
        u32 item;
    };
    const Case cases[] = {
        {[](CBattleSetup&) {}, 2},
        {[](CBattleSetup& s) { s.storyMode = 1; }, 0},
        {[](CBattleSetup& s) { s.survivalMode = 1; }, 4},
        {[](CBattleSetup& s) { s.trainingMode = 1; }, 6},
    };
    for (const Case& c : cases) {
        // The layout is refused, so the battle never loads: the set-up is
        // still the screen's and goes with it (no leak under ASan).
        RefuseReads refuse("Scene/Loading.sce");
        auto* setup = new CBattleSetup;
        c.mode(*setup);
        CLoadingScene screen;
        LoadingArgs args;
        args.next = new CBattleScene(game.App().BattleApp());
        args.parameter = reinterpret_cast<intptr_t>(setup);
        EXPECT_EQ(screen.Initialize(reinterpret_cast<intptr_t>(&args)), 0);
        EXPECT_EQ(screen.GetTitleItem(), c.item);
        EXPECT_EQ(screen.GetLoadState(), loading::kNotStarted);
        EXPECT_EQ(game.App().TakeLoadError(), "Scene\\Loading.sce");
        // A screen whose Load failed is still safe to step and draw.
        EXPECT_EQ(screen.OnMessage(10004, 0), 1u);
        screen.Update(0);
        screen.Draw(0);
    }
}

TEST_F(LoadingScreenTest, MessagesDuringTheLoadReachTheNextSceneInOrderAfterIt)
{
    ProbeLog log;
    GameDriver game(game_test::GameDataRoot(), IdleStart());
    ASSERT_TRUE(game.Started());
    log.release.Reset();
    auto* screen = Start<CLoadingScene>(game, log);
    game.Frames(2);

    struct Sent {
        u32 id, word;
        u32 answer;
    };
    const Sent sent[] = {
        {10006, 1, 1}, {10004, 7, 1}, {10008, 0, 0},   // no length: refused
        {10009, 2, 1}, {10007, 0, 0}, {55, 1234, 1},   // not a peer message: the word itself
    };
    // From another thread, as the peer session's receive thread sends them;
    // the bytes live only as long as each call.
    std::thread network([&] {
        for (const Sent& s : sent) {
            u32 body[29] = {s.word};
            const intptr_t parameter = s.id > 10000 ? reinterpret_cast<intptr_t>(body) : intptr_t(s.word);
            EXPECT_EQ(screen->OnMessage(s.id, parameter), s.answer) << s.id;
            std::memset(body, 0xEE, sizeof body);
        }
    });
    network.join();
    game.Frames(2);
    EXPECT_TRUE(log.Messages().empty());
    EXPECT_EQ(screen->HeldMessageCount(), 4u);

    log.release.Set();
    ASSERT_TRUE(AwaitState(screen, loading::kLoaded));
    EXPECT_TRUE(log.Messages().empty());   // not before the screen's next update
    game.Frame();
    const std::vector<std::pair<u32, u32>> expected = {{10006, 1}, {10004, 7}, {10009, 2}, {55, 1234}};
    EXPECT_EQ(log.Messages(), expected);
    // Once delivered, the next ones go straight through, after them.
    u32 late = 9;
    EXPECT_EQ(screen->OnMessage(10005, reinterpret_cast<intptr_t>(&late)), 1u);
    ASSERT_EQ(log.Messages().size(), 5u);
    EXPECT_EQ(log.Messages().back(), (std::pair<u32, u32>{10005, 9}));
    for (bool loaded : log.loadedWhenTold) EXPECT_TRUE(loaded);
    EXPECT_TRUE(game.RunUntil("CProbeScene", 30));
}

TEST_F(LoadingScreenTest, ReleaseInTheMiddleOfALoadWaitsForIt)
{
    for (const bool beginLoading : {false, true}) {
        SCOPED_TRACE(beginLoading);
        ProbeLog log;
        GameDriver game(game_test::GameDataRoot(), IdleStart());
        ASSERT_TRUE(game.Started());
        log.release.Reset();
        if (beginLoading) Start<CBeginLoading>(game, log);
        else Start<CLoadingScene>(game, log);
        game.Frames(3);
        for (int i = 0; i < 5000 && log.loads == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_EQ(log.loads, 1);
        std::thread late([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            log.release.Set();
        });
        // The screen goes while its loader still runs the probe's Load.
        EXPECT_EQ(game.App().ChangeScene(new CIdleScene, 0), 0);
        late.join();
        EXPECT_EQ(log.alive, 0);   // loaded, then deleted with the screen
        game.Frames(2);
        EXPECT_EQ(game.CurrentScene(), "CIdleScene");
    }
}

// ---------------------------------------------------------------- backgrounds

TEST_F(LoadingScreenTest, BackgroundsAreEachTriedOnceFromTheRandomStart)
{
    GameDriver game(game_test::GameDataRoot(), IdleStart());
    ASSERT_TRUE(game.Started());
    struct Case {
        std::vector<const char*> names;
        u32 start;
        const char* found;   // null: none
    };
    const Case cases[] = {
        {{"Bg_07.dds"}, 0, "Bg_07.dds"},
        {{"Gone_a.dds", "Bg_07.dds", "Gone_b.dds"}, 2, "Bg_07.dds"},   // wraps round to it
        {{"Bg_05.dds", "Bg_09.dds"}, 1, "Bg_09.dds"},
        {{"Gone_a.dds", "Gone_b.dds"}, 1, nullptr},
    };
    for (const Case& c : cases) {
        const auto texture = loading::LoadBackground(c.names.data(), u32(c.names.size()), c.start);
        if (!c.found) {
            EXPECT_EQ(texture, nullptr);
            continue;
        }
        ASSERT_NE(texture, nullptr) << c.found;
        EXPECT_STREQ(texture->GetName(), c.found);
    }
}

TEST_F(LoadingScreenTest, NoLoadableBackgroundFailsTheLoadNamingTheArchive)
{
    ProbeLog log;
    GameDriver game(game_test::GameDataRoot(), IdleStart());
    ASSERT_TRUE(game.Started());
    RefuseReads refuse("Resource/Data/Load.gpk");
    LoadingArgs args;
    args.next = new CProbeScene(&log);
    EXPECT_EQ(game.App().ChangeScene(new CLoadingScene, reinterpret_cast<intptr_t>(&args)), 1);
    ASSERT_GE(game.Boxes().size(), 1u);
    EXPECT_THAT(game.Boxes()[0], HasSubstr("Data\\Load.gpk"));
    EXPECT_EQ(log.loads, 0);
    EXPECT_EQ(log.alive, 0);
}

}  // namespace
