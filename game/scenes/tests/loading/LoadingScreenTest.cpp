// The two loading screens in the headless game: drawing while loading and
// after, the hand-over, failures, held messages, release mid-load.
#include "game/scenes/BeginLoading.h"
#include "game/scenes/LoadingScene.h"

#include "engine/graphics/Texture.h"
#include "game/battle/scene/BattleScene.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/NetworkHost.h"
#include "game/scenes/TitleScene.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/GameDriver.h"
#include "host/movie/FakeMovie.h"

#include <gmock/gmock.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

namespace ORV_TEST_FILE_ID {

namespace {

using game_test::GameDriver;
using Messages = std::vector<std::pair<u32, u32>>;   // id, first word (or the word itself)
const std::string kProbeBox = std::string("Probe\\Gone.dat") + "が読み込めません";

// Shared by a probe and the test; declared before the game, which joins a
// loader that may still run the probe.
struct ProbeLog {
    host::kernel::Event release{true, true};   // reset: the Load waits for it
    std::atomic<bool> fail{false}, loaded{false};
    std::atomic<int> loads{0}, alive{0};
    std::mutex lock;
    Messages messages;
    bool toldBeforeLoaded = false;
    Messages Got()
    {
        std::lock_guard guard(lock);
        return messages;
    }
};

class CProbeScene : public CScene {
    ORV_VALUE_CLASS(CProbeScene)
public:
    CProbeScene() = default;
    explicit CProbeScene(ProbeLog* log) : m_log(log) { ++log->alive; }
    CProbeScene(const CProbeScene&) = default;
    ~CProbeScene() override { m_log && --m_log->alive; }
    i32 Initialize(intptr_t) override
    {
        ++m_log->loads;
        m_log->release.Wait();
        if (m_log->fail) return menu::Missing("Probe\\Gone.dat");
        return m_log->loaded = true;
    }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    u32 OnMessage(u32 message, intptr_t parameter) override
    {
        u32 word = u32(parameter);
        if (message > 10000) std::memcpy(&word, reinterpret_cast<void*>(parameter), 4);
        std::lock_guard guard(m_log->lock);
        m_log->messages.emplace_back(message, word);
        m_log->toldBeforeLoaded |= !m_log->loaded;
        return 1;
    }
private:
    ProbeLog* m_log = nullptr;
};

class CIdleScene : public CScene {
    ORV_VALUE_CLASS(CIdleScene)
public:
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    u32 OnMessage(u32, intptr_t) override { return 1; }
};

// The network scene as its child sees it.
class CFakeNetworkScene : public CIdleScene, public INetworkSceneHost {
public:
    ~CFakeNetworkScene() override { delete child; }
    i32 Update(u32 argument) override { return child ? child->Update(argument) : 1; }
    i32 SetChildScene(CScene* scene, u32 mode) override
    {
        delete std::exchange(child, scene);
        modes.push_back(mode);
        return 1;
    }
    i32 ChangeChildScene(CScene* scene, u32 mode, SceneBlock block) override
    {
        SetChildScene(scene, mode);
        return scene->Initialize(block.Get()) ? 0 : 1;
    }
    i32 SetEndRequest(u32 value) override { return endRequest = value, 1; }
    CScene* child = nullptr;
    std::vector<u32> modes;
    u32 endRequest = 0;
};

// Every read of a file whose path ends in suffix fails (any thread).
struct RefuseReads : host::kernel::FileWatch {
    explicit RefuseReads(std::string s) : suffix(std::move(s)) { host::kernel::SetFileWatch(this); }
    ~RefuseReads() override { host::kernel::SetFileWatch(nullptr); }
    bool Allow(host::kernel::FileStep step, const std::string& path, size_t&) override
    {
        return step != host::kernel::FileStep::Read || !path.ends_with(suffix);
    }
    std::string suffix;
};

// The layers of a layout drawn in the last frame, each told by its cell.
std::vector<std::string> Drawn(const GameDriver& game, const char* path)
{
    scene_data::CSceneDataSet set;
    scene_data::AddStartupData(set);
    std::vector<std::string> drawn;
    for (const host::render::Call& call : game.RenderLog()) {
        const size_t n = call.data.size() / sizeof(SpriteVertex);
        if (call.op != "DrawPrimitiveUP" || call.U32("stride") != sizeof(SpriteVertex) || n == 0) continue;
        f32 u = 0.0f, v = 0.0f;
        for (size_t i = 0; i < n; ++i) {
            u += call.FloatAt(i * sizeof(SpriteVertex) + 20) / f32(n);
            v += call.FloatAt(i * sizeof(SpriteVertex) + 24) / f32(n);
        }
        drawn.push_back(scene_data::LayerAt(set.layouts.at(path), u, v));
    }
    return drawn;
}
bool Has(const std::vector<std::string>& names, const char* name) { return std::ranges::count(names, name) > 0; }
i32 Dots(const std::vector<std::string>& drawn)
{
    return i32(std::ranges::count_if(drawn, [](const std::string& n) { return n.starts_with("ten"); }));
}

template <class Screen>
bool Await(const Screen* screen, u32 state)
{
    for (int i = 0; i < 5000 && screen->GetLoadState() != state; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return screen->GetLoadState() == state;
}

class LoadingScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (game_test::GameDataRoot().empty()) GTEST_SKIP() << "no game data (ORV_GAME_DATA)";
        options_.startScene = [] { return new CIdleScene; };
    }
    // A loading screen made current, loading a probe.
    template <class Screen>
    Screen* Start(GameDriver& game, ProbeLog& log, LoadingArgs args = {})
    {
        auto* screen = new Screen;
        args.next = new CProbeScene(&log);
        EXPECT_EQ(game.App().ChangeScene(screen, reinterpret_cast<intptr_t>(&args)), 0) << game.Describe();
        return screen;
    }
    game_test::DriverOptions options_;
};

TEST_F(LoadingScreenTest, StartUpAnimatesUntilLoadedThenPromptsAndHandsOverAfterAButton)
{
    ProbeLog log;
    log.release.Reset();
    GameDriver game(game_test::GameDataRoot(), options_);
    auto* screen = Start<CBeginLoading>(game, log);
    std::vector<std::pair<i32, u32>> runs;   // dots drawn, frames in a row
    for (int i = 0; i < 130; ++i) {
        if (i % 10 == 0) game.Press(menu::kDecide);   // ignored while loading
        else game.Frame();
        const auto drawn = Drawn(game, "Scene\\BeginLoading.sce");
        ASSERT_TRUE(Has(drawn, "lo2") && Has(drawn, "now") && !Has(drawn, "prean")) << i;
        if (runs.empty() || runs.back().first != Dots(drawn)) runs.emplace_back(Dots(drawn), 0);
        ++runs.back().second;
    }
    ASSERT_EQ(runs.size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(runs[i].first, i32(i % 4));
    for (size_t i = 1; i < 4; ++i) EXPECT_NEAR(f64(runs[i].second), 30.0, 1.0);   // 0.5 s
    EXPECT_FALSE(screen->IsFadingOut());

    log.release.Set();
    ASSERT_TRUE(Await(screen, loading::kLoaded));
    game.Frames(3);
    EXPECT_EQ(Drawn(game, "Scene\\BeginLoading.sce"), (std::vector<std::string>{"lo2", "prean"}));
    game.Press(menu::kDecide);
    const u32 pressed = game.FrameCount();
    ASSERT_TRUE(game.RunUntil("CProbeScene", 60));
    EXPECT_NEAR(f64(game.FrameCount() - pressed), 30.0, 2.0);   // fade of 0.5 s
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
}

TEST_F(LoadingScreenTest, StartUpFailureShowsOneBoxNamingItAndEnds)
{
    struct Case {
        const char* refused;   // a file the global load cannot read
        bool nextFails;
        std::string box;
    } cases[] = {{"Data/SE.gpk", false, "SE.gpk"}, {"", true, kProbeBox}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        ProbeLog log;
        log.fail = c.nextFails;
        RefuseReads refuse(c.refused[0] ? c.refused : "/none");
        GameDriver game(game_test::GameDataRoot(), options_);
        Start<CBeginLoading>(game, log);
        for (int i = 0; i < 3000 && !game.QuitPosted(); ++i) game.Frame();
        EXPECT_TRUE(game.QuitPosted());
        EXPECT_EQ(game.App().GetExitStatus(), 1);   // a failure, not a quit
        ASSERT_EQ(game.Boxes().size(), 1u) << game.Describe();
        EXPECT_THAT(game.Boxes()[0], ::testing::HasSubstr(c.box));
        EXPECT_EQ(log.loads, c.nextFails ? 1 : 0);
    }
}

TEST_F(LoadingScreenTest, LoadedSceneReplacesTheScreenOrBecomesTheNetworkChildAfterAQuarterSecond)
{
    for (const u32 network : {0u, 1u}) {
        ProbeLog log;
        GameDriver game(game_test::GameDataRoot(), options_);
        auto* screen = new CLoadingScene;
        LoadingArgs args{new CProbeScene(&log), 0, network};
        CFakeNetworkScene* host = nullptr;
        if (network) {
            game.App().SetScene(host = new CFakeNetworkScene);
            host->child = screen;
            ASSERT_EQ(screen->Initialize(reinterpret_cast<intptr_t>(&args)), 1);
        } else {
            ASSERT_EQ(game.App().ChangeScene(screen, reinterpret_cast<intptr_t>(&args)), 0);
        }
        ASSERT_TRUE(Await(screen, loading::kLoaded));
        u32 frames = 0;
        for (; frames < 40 && (host ? host->modes.empty() : game.CurrentScene() == "CLoadingScene"); ++frames)
            game.Frame();
        EXPECT_NEAR(f64(frames), 15.0, 2.0) << network;
        EXPECT_EQ(host ? host->child->GetClassName() : game.CurrentScene(), std::string("CProbeScene"));
        if (host) {
            EXPECT_EQ(host->modes, (std::vector<u32>{3}));
        }
        EXPECT_EQ(log.alive, 1);
    }
}

TEST_F(LoadingScreenTest, FailedNextSceneShowsItsReasonThenTheTitleOnItsItem)
{
    ProbeLog log;
    log.fail = true;
    GameDriver game(game_test::GameDataRoot(), options_);
    ASSERT_EQ(game.App().LoadResources(), 1);   // what the title needs
    auto* screen = Start<CLoadingScene>(game, log, {.titleItem = 6});
    ASSERT_TRUE(Await(screen, loading::kFailed));
    game.Frame();
    EXPECT_EQ(game.Boxes(), std::vector<std::string>{kProbeBox});
    ASSERT_EQ(game.CurrentScene(), "CTitleScene") << game.Describe();
    EXPECT_EQ(dynamic_cast<CTitleScene*>(game.App().GetScene())->GetCurrentItem(), 6u);
    EXPECT_EQ(log.alive, 0);
}

TEST_F(LoadingScreenTest, TheGamesStartUpHandsTheLoadedLogoOverAfterAButton)
{
    host::movie::FakeBackend movies;
    host::movie::SetBackend(&movies);
    {
        GameDriver game;
        ASSERT_EQ(game.CurrentScene(), "CBeginLoading") << game.Describe();
        const auto* screen = static_cast<const CBeginLoading*>(game.App().GetScene());
        ASSERT_TRUE(Await(screen, loading::kLoaded)) << game.Describe();
        game.Frames(2);
        EXPECT_EQ(Drawn(game, "Scene\\BeginLoading.sce"), (std::vector<std::string>{"lo2", "prean"}));
        game.Press(menu::kDecide);
        EXPECT_TRUE(game.RunUntil("CLogoScene", 40)) << game.Describe();
        EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
    }
    host::movie::SetBackend(nullptr);
}

TEST_F(LoadingScreenTest, FailedLoadIsSafeAndDropsTheBattlesSetUp)
{
    GameDriver game(game_test::GameDataRoot(), options_);
    for (const char* refused : {"Scene/Loading.sce", "Resource/Data/Load.gpk"}) {
        RefuseReads refuse(refused);
        auto* setup = new CBattleSetup;
        setup->trainingMode = 1;
        CLoadingScene screen;
        LoadingArgs args{new CBattleScene(game.App().BattleApp()), reinterpret_cast<intptr_t>(setup)};
        EXPECT_EQ(screen.Initialize(reinterpret_cast<intptr_t>(&args)), 0);
        EXPECT_EQ(screen.GetTitleItem(), 6u);   // the set-up's mode, read before anything could free it
        EXPECT_EQ(game.App().TakeLoadError(), refused[0] == 'S' ? "Scene\\Loading.sce" : "Data\\Load.gpk");
        EXPECT_EQ(screen.GetLoadState(), loading::kNotStarted);
        screen.OnMessage(10004, 0);
        screen.Update(0);
        screen.Draw(0);
    }   // the set-ups go with the screens: a leak shows under the sanitizers
}

// A network battle's start handshake runs inside its load and needs its
// peers' words then: each message goes on to the next scene at once, in
// order, while it loads and after; a failed load takes none.
TEST_F(LoadingScreenTest, MessagesReachTheNextSceneAtOnceWhileItLoads)
{
    ProbeLog log, failed;
    log.release.Reset();
    failed.fail = true;
    GameDriver game(game_test::GameDataRoot(), options_);
    auto* screen = Start<CLoadingScene>(game, log);
    const struct {
        u32 id, word;
    } sent[] = {{10006, 1}, {10004, 7}, {10009, 2}, {55, 1234}};
    // From the peer session's thread; each body lives only during its call.
    std::thread([&] {
        for (const auto& s : sent) {
            u32 body[29] = {s.word};
            EXPECT_EQ(screen->OnMessage(s.id, s.id > 10000 ? intptr_t(body) : intptr_t(s.word)), 1u) << s.id;
            std::memset(body, 0xEE, sizeof body);
        }
        const u32 word = 3;
        EXPECT_EQ(screen->OnPeerMessage(10006, reinterpret_cast<const u8*>(&word), 4), 1u);
    }).join();
    EXPECT_EQ(screen->GetLoadState(), loading::kLoading);
    EXPECT_EQ(log.Got(), (Messages{{10006, 1}, {10004, 7}, {10009, 2}, {55, 1234}, {10006, 3}}));
    EXPECT_TRUE(log.toldBeforeLoaded);
    log.release.Set();
    ASSERT_TRUE(Await(screen, loading::kLoaded));
    u32 late = 9;
    screen->OnMessage(10005, intptr_t(&late));
    EXPECT_EQ(log.Got().size(), 6u);
    EXPECT_EQ(log.Got().back(), (std::pair<u32, u32>{10005, 9}));

    auto* refused = Start<CLoadingScene>(game, failed);
    ASSERT_TRUE(Await(refused, loading::kFailed));
    EXPECT_EQ(refused->OnMessage(10004, intptr_t(&late)), 1u);
    EXPECT_TRUE(failed.Got().empty());
}

TEST_F(LoadingScreenTest, ReleaseInTheMiddleOfALoadWaitsForIt)
{
    for (const bool startUp : {false, true}) {
        ProbeLog log;
        log.release.Reset();
        GameDriver game(game_test::GameDataRoot(), options_);
        startUp ? (void)Start<CBeginLoading>(game, log) : (void)Start<CLoadingScene>(game, log);
        for (int i = 0; i < 5000 && log.loads == 0; ++i) game.Frame();
        ASSERT_EQ(log.loads, 1);
        std::thread late([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            log.release.Set();
        });
        EXPECT_EQ(game.App().ChangeScene(new CIdleScene, 0), 0);
        late.join();
        EXPECT_EQ(log.alive, 0) << startUp;   // loaded, then deleted with the screen
    }
}

TEST_F(LoadingScreenTest, BackgroundsAreEachTriedOnceFromTheRandomStart)
{
    GameDriver game(game_test::GameDataRoot(), options_);
    const struct {
        std::vector<const char*> names;
        u32 start;
        std::string found;
    } cases[] = {
        {{"Bg_07.dds"}, 0, "Bg_07.dds"},
        {{"Gone_a.dds", "Bg_07.dds", "Gone_b.dds"}, 2, "Bg_07.dds"},   // wraps round to it
        {{"Bg_05.dds", "Bg_09.dds"}, 1, "Bg_09.dds"},
        {{"Gone_a.dds", "Gone_b.dds"}, 1, ""},
    };
    for (const auto& c : cases) {
        const auto texture = loading::LoadBackground(c.names.data(), u32(c.names.size()), c.start);
        EXPECT_EQ(texture ? std::string(texture->GetName()) : "", c.found);
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
