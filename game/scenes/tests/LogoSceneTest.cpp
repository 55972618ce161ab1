#include "game/scenes/LogoScene.h"

#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/graphics/Texture.h"
#include "game/data/SaveConfig.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/tests/GameDriver.h"
#include "host/movie/FakeMovie.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ORV_TEST_FILE_ID {

namespace {

using game_test::GameDriver;

// The logo made current once the global load has run, voices on and the
// movie as asked.
game_test::DriverOptions LogoFirst(bool movie)
{
    game_test::DriverOptions options;
    options.startScene = [movie]() -> CScene* {
        CGameApp* app = GetGameApp();
        app->LoadResources();
        app->GetSaveConfig()->GetGraphicsSettings()->movieDisplay = movie ? 1 : 0;
        app->GetSaveConfig()->GetGameSettings()->voicePlay = 1;
        return new CLogoScene;
    };
    return options;
}

CLogoScene* Logo(GameDriver& game) { return dynamic_cast<CLogoScene*>(game.App().GetScene()); }

// Quarter-second frames until the movie plays or the logo is gone (the
// logo takes four seconds).
void RunToMovie(GameDriver& game)
{
    for (int i = 0; i < 40 && Logo(game) && !Logo(game)->IsMoviePlaying(); ++i) {
        game.Clock().Advance(250);
        game.Frame();
    }
}

class LogoSceneTest : public ::testing::Test {
protected:
    void SetUp() override { host::movie::SetBackend(&movies_); }
    void TearDown() override { host::movie::SetBackend(nullptr); }

    host::movie::FakeBackend movies_;
};

TEST_F(LogoSceneTest, VoicePlaysOnceWhenTheLogoIsFullyShown)
{
    GameDriver game(game_test::GameDataRoot(), LogoFirst(false));
    ASSERT_TRUE(game.Started()) << game.Describe();
    ASSERT_NE(Logo(game), nullptr) << game.Describe();
    CSoundBuffer* voice = menu::FindSound(CLogoScene::kLogoVoice);
    ASSERT_NE(voice, nullptr);
    while (Logo(game) && Logo(game)->GetSceneState().colour.w < 1.0f) {
        EXPECT_FALSE(voice->IsPlaying(0));
        game.Frame();
    }
    ASSERT_NE(Logo(game), nullptr);
    EXPECT_TRUE(voice->IsPlaying(0));
    // Silenced at once: a second play would show as playing again.
    voice->StopAll(1);
    while (Logo(game) && Logo(game)->GetPhase() == 0) game.Frame();
    EXPECT_FALSE(voice->IsPlaying(0));
    EXPECT_TRUE(game.RunUntil("CTitleScene", 90)) << game.Describe();
}

// Voices off: the logo is shown whole and left without a word.
TEST_F(LogoSceneTest, VoicesOffTheLogoStaysSilent)
{
    game_test::DriverOptions options = LogoFirst(false);
    options.startScene = [start = options.startScene]() -> CScene* {
        CScene* logo = start();
        GetGameApp()->GetSaveConfig()->GetGameSettings()->voicePlay = 0;
        return logo;
    };
    GameDriver game(game_test::GameDataRoot(), options);
    ASSERT_NE(Logo(game), nullptr) << game.Describe();
    CSoundBuffer* voice = menu::FindSound(CLogoScene::kLogoVoice);
    ASSERT_NE(voice, nullptr);
    bool shown = false, spoke = false;
    for (int i = 0; i < 400 && Logo(game); ++i) {
        shown = shown || Logo(game)->GetSceneState().colour.w >= 1.0f;
        spoke = spoke || voice->IsPlaying(0);
        game.Frame();
    }
    EXPECT_TRUE(shown);
    EXPECT_FALSE(spoke);
    EXPECT_EQ(game.CurrentScene(), "CTitleScene") << game.Describe();
}

TEST_F(LogoSceneTest, LongFirstFrameEndsTheFadeInOneStep)
{
    GameDriver game(game_test::GameDataRoot(), LogoFirst(false));
    ASSERT_NE(Logo(game), nullptr) << game.Describe();
    CSoundBuffer* voice = menu::FindSound(CLogoScene::kLogoVoice);
    SetFrameTime(1500);
    Logo(game)->Update(0);
    EXPECT_EQ(Logo(game)->GetSceneState().colour.w, 1.0f);
    EXPECT_TRUE(voice->IsPlaying(0));
    EXPECT_EQ(Logo(game)->GetPhase(), 0u);
    // The hold starts from there: two seconds more end it.
    SetFrameTime(1900);
    Logo(game)->Update(0);
    EXPECT_EQ(Logo(game)->GetPhase(), 0u);
    SetFrameTime(100);
    Logo(game)->Update(0);
    EXPECT_EQ(Logo(game)->GetPhase(), 1u);
}

TEST_F(LogoSceneTest, ButtonsDoNothingDuringTheLogo)
{
    GameDriver game(game_test::GameDataRoot(), LogoFirst(false));
    ASSERT_NE(Logo(game), nullptr) << game.Describe();
    // Fade-in, hold and most of the fade-out: about 3.7 s.
    for (int i = 0; i < 220; ++i) {
        game.Press(i % 2 ? menu::kDecide : menu::kStart);
        ASSERT_EQ(game.CurrentScene(), "CLogoScene") << "frame " << i << game.Describe();
    }
    EXPECT_TRUE(game.RunUntil("CTitleScene", 30)) << game.Describe();
}

// The opening movie, played to its end or skipped, a movie that no folder
// can play, and none asked for: each ends at the title with no movie left
// open.
TEST_F(LogoSceneTest, MovieEndsAtTheTitle)
{
    struct Case {
        const char* what;
        bool shown;
        bool present;
        bool skip;
        u32 opens;
    };
    const Case cases[] = {
        {"to its end", true, true, false, 1},
        {"skipped", true, true, true, 1},
        {"none: the other folder tried once", true, false, false, 2},
        {"movies off", false, true, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host::movie::FakeBackend movies;
        host::movie::SetBackend(&movies);
        if (c.present) movies.AddMovie(CLogoScene::kMovie, {.width = 64, .height = 48, .frames = 12, .frameMs = 100});
        GameDriver game(game_test::GameDataRoot(), LogoFirst(c.shown));
        ASSERT_NE(Logo(game), nullptr) << game.Describe();
        RunToMovie(game);
        if (c.shown && c.present) {
            ASSERT_NE(Logo(game), nullptr) << game.Describe();
            game.Frames(30);   // most of the movie
            ASSERT_EQ(game.CurrentScene(), "CLogoScene");
            if (c.skip) {
                game.Press(menu::kDecide);
                EXPECT_EQ(game.CurrentScene(), "CTitleScene");
            }
        }
        EXPECT_TRUE(game.RunUntil("CTitleScene", 60)) << game.Describe();
        EXPECT_EQ(movies.Calls(host::movie::Call::Open), c.opens);
        EXPECT_EQ(movies.LiveMovies(), 0u);
        EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
        host::movie::SetBackend(&movies_);
    }
}

// The texture corners a movie draw uses: no texel past the texture.
TEST_F(LogoSceneTest, FrameLargerThanTheTextureIsCut)
{
    movies_.AddMovie(CLogoScene::kMovie, {.width = 1920, .height = 1200, .frames = 20, .frameMs = 100});
    GameDriver game(game_test::GameDataRoot(), LogoFirst(true));
    ASSERT_NE(Logo(game), nullptr) << game.Describe();
    RunToMovie(game);
    ASSERT_NE(Logo(game), nullptr) << game.Describe();
    // The quick frames before have drawing skipped for a while.
    bool drawn = false;
    for (int frame = 0; frame < 15 && !drawn; ++frame) {
        game.Frame();
        for (const host::render::Call& call : game.RenderLog()) {
            if (call.op != "DrawPrimitiveUP" || call.data.size() != 4 * sizeof(SpriteVertex)) continue;
            SpriteVertex v[4];
            std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
            for (const SpriteVertex& corner : v) {
                EXPECT_LE(corner.u, 1.0f);
                EXPECT_LE(corner.v, 1.0f);
            }
            drawn = true;
        }
    }
    EXPECT_TRUE(drawn);
}

// Given up before a reset and made again after it, empty: the device's
// messages reach the scene through the application.
TEST_F(LogoSceneTest, MovieTextureFollowsADeviceReset)
{
    GameDriver game(game_test::GameDataRoot(), LogoFirst(true));
    ASSERT_NE(Logo(game), nullptr) << game.Describe();
    ASSERT_NE(Logo(game)->GetMovieTexture(), nullptr);
    const host::window::Handle window = game.App().GetSystem()->GetWindowHandle();
    game.App().WindowProc(window, kMessageDeviceLost, 0, 0);
    EXPECT_EQ(Logo(game)->GetMovieTexture(), nullptr);
    game.Frame();   // drawn without it
    game.App().WindowProc(window, kMessageDeviceReset, 0, 0);
    ASSERT_NE(Logo(game)->GetMovieTexture(), nullptr);
    EXPECT_EQ(Logo(game)->GetMovieTexture()->GetWidth(), CLogoScene::kMovieTextureSide);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
