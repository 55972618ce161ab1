#include "game/scenes/TitleScene.h"

#include "engine/core/Random.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/data/SaveConfig.h"
#include "game/data/SaveData.h"
#include "game/scenes/LogoScene.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/NetworkHost.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/GameDriver.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

namespace ORV_TEST_FILE_ID {

namespace {

// The tutorial's music: the set-up's slot while held, else a held one,
// and a definite end when no slot is held.
TEST(TitleMenu, TutorialSlotIsAHeldOneOrNone)
{
    const auto only = [](std::set<u32> slots) { return [slots](u32 s) { return slots.count(s) != 0; }; };
    SeedRandom(7);
    EXPECT_EQ(title::ChooseTutorialSlot(0, only({0, 5})), 0u);
    for (int i = 0; i < 20; ++i) {
        const u32 slot = title::ChooseTutorialSlot(0, only({12, 50}));
        EXPECT_TRUE(slot == 12 || slot == 50) << slot;
    }
    u32 asked = 0;
    EXPECT_EQ(title::ChooseTutorialSlot(0, [&](u32) { return ++asked, false; }), title::kNoSlot);
    EXPECT_LE(asked, 52u);
}

TEST(TitleMenu, TutorialSetupIsTwoFightersOnTheTrainingStage)
{
    SeedRandom(11);
    CBattleSetup setup;
    ASSERT_TRUE(title::MakeTutorialSetup(setup, [](u32 s) { return s == 9; }));
    EXPECT_EQ(setup.tutorialMode + setup.trainingMode, 2u);
    EXPECT_LT(std::max(setup.entries[0].character, setup.entries[1].character), 18u);
    EXPECT_EQ(setup.entries[2].kind + setup.entries[3].kind, 2 * CBattleEntry::kKindNone);
    EXPECT_EQ(setup.option.stage, 18u);
    EXPECT_EQ(setup.option.music, CBattleOption::kRandomMusic);
    EXPECT_EQ(setup.option.characterSetting, 4u);
    EXPECT_EQ(setup.option.drawnMusic, 9u);
    EXPECT_EQ(setup.entries[1].ownMusic, 9u);
    CBattleSetup none;
    EXPECT_FALSE(title::MakeTutorialSetup(none, [](u32) { return false; }));
}

// ------------------------------------------------------------ the scene

using game_test::GameDriver;

// The global load done, the orbs given won, voices on; then start made
// current.
game_test::DriverOptions Start(std::function<CScene*()> start, std::vector<u32> orbs = {})
{
    game_test::DriverOptions options;
    options.startScene = [start, orbs]() -> CScene* {
        CGameApp* app = GetGameApp();
        app->LoadResources();
        app->GetSaveConfig()->GetGameSettings()->voicePlay = 1;
        for (u32 orb : orbs) app->GetSaveData()->SetUnlockFlag(i32(orb), 1);
        return start();
    };
    return options;
}

CScene* NewTitle() { return new CTitleScene; }
// A scene that leaves sounds and effects alone, to build titles from.
CScene* NewLogo() { return new CLogoScene; }

CTitleScene* Title(GameDriver& game) { return dynamic_cast<CTitleScene*>(game.App().GetScene()); }

// Frames until the title is fully shown (bounded).
void RunToMenu(GameDriver& game)
{
    for (int i = 0; i < 120 && Title(game) && (Title(game)->GetCurtain() > 0.0f || Title(game)->GetAlpha() < 1.0f); ++i)
        game.Frame();
}

// A title built with a block, fully shown on item.
CTitleScene* TitleOn(GameDriver& game, u32 item)
{
    TitleArgs args;
    args.curtain = 0.0f;
    args.alpha = 1.0f;
    args.item = item;
    game.App().ChangeScene(new CTitleScene, reinterpret_cast<intptr_t>(&args));
    return Title(game);
}

u32 CallsPlaying()
{
    u32 playing = 0;
    for (const char* call : title::kCalls) {
        if (CSoundBuffer* sound = menu::FindSound(call); sound && sound->IsPlaying(0)) ++playing;
    }
    return playing;
}

bool Playing(const char* name)
{
    CSoundBuffer* sound = menu::FindSound(name);
    return sound && sound->IsPlaying(0);
}

// The title layout's layers drawn in the last frame, by their cells.
std::multiset<std::string> LayersDrawn(const GameDriver& game)
{
    const std::vector<std::string> layers = scene_data::TitleLayers();
    std::multiset<std::string> drawn;
    for (const host::render::Call& call : game.RenderLog()) {
        if (call.op != "DrawPrimitiveUP" || call.data.size() != 4 * sizeof(SpriteVertex)) continue;
        SpriteVertex v[4];
        std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
        const f32 u = (v[0].u + v[3].u) * 0.5f, w = (v[0].v + v[3].v) * 0.5f;
        // A layer's quad spans one cell; text glyphs and particles do not.
        const f32 span = f32(scene_data::kCellWidth) / f32(scene_data::kTextureWidth);
        const auto [lo, hi] = std::minmax({v[0].u, v[1].u, v[2].u, v[3].u});
        if (std::fabs(hi - lo - span) > 1e-4f) continue;
        if (std::string layer = scene_data::LayerAt(layers, u, w); !layer.empty()) drawn.insert(layer);
    }
    return drawn;
}

size_t IconsDrawn(const GameDriver& game)
{
    size_t icons = 0;
    for (const std::string& layer : LayersDrawn(game)) icons += layer.rfind("rei_", 0) == 0;
    return icons;
}

TEST(TitleSceneTest, CursorWrapsAndIgnoresKeysWhileMoving)
{
    struct Case {
        u32 from;
        u32 key;
        u32 to;
    };
    const Case cases[] = {
        {title::kStory, menu::kUp, title::kEnd},
        {title::kEnd, menu::kDown, title::kStory},
        {title::kEnd, menu::kStickDown, title::kStory},
        {title::kRecord, menu::kStickUp, title::kTraining},
    };
    GameDriver game(game_test::GameDataRoot(), Start(NewLogo));
    ASSERT_TRUE(game.Started()) << game.Describe();
    for (const Case& c : cases) {
        CTitleScene* title = TitleOn(game, c.from);
        ASSERT_NE(title, nullptr) << game.Describe();
        game.Press(c.key);
        EXPECT_EQ(title->GetTargetItem(), c.to);
        EXPECT_TRUE(Playing(title::kSelectSound));
        // Taken during the move: ignored.
        game.Press(c.key);
        EXPECT_EQ(title->GetTargetItem(), c.to);
        EXPECT_EQ(title->GetCurrentItem(), c.from);
        game.Frames(10);
        EXPECT_EQ(title->GetCurrentItem(), c.to);
        EXPECT_EQ(title->GetTargetItem(), c.to);
    }
}

// What decide on each item does: the scene it builds (current, or when
// that scene cannot load yet the box naming its layout), or nothing at all
// for the modes still to come.
TEST(TitleSceneTest, EachItemLeavesForItsSceneOrStays)
{
    struct Case {
        u32 item;
        const char* next;     // null: stays
        const char* layout;   // what next loads first
    };
    const Case cases[] = {
        {title::kStory, "CSingleCharaSelect", "Scene\\SingleCharaSelect.sce"},
        {title::kAdventure, "CSingleCharaSelect", "Scene\\SingleCharaSelect.sce"},
        {title::kBattle, "CCharaSelect", "Scene\\CharaSelect.sce"},
        {title::kNetwork, nullptr, nullptr},   // no network scene registered
        {title::kSurvival, "CSingleCharaSelect", "Scene\\SingleCharaSelect.sce"},
        {title::kTutorial, "CLoadingScene", "Scene\\Loading.sce"},
        {title::kTraining, "CCharaSelect", "Scene\\CharaSelect.sce"},
        {title::kRecord, "CRecordScene", "Scene\\RecordScene.sce"},
        {title::kReplay, "CReplayScene", "Scene\\Replay.sce"},
        {title::kOption, "CGameOption", "Scene\\GameOption.sce"},
    };
    ASSERT_EQ(GetNetworkSceneFactory(), nullptr);
    GameDriver game(game_test::GameDataRoot(), Start(NewLogo));
    for (const Case& c : cases) {
        SCOPED_TRACE(title::kItemLayers[c.item].label);
        menu::FindSound(title::kSetSound)->StopAll(1);
        const size_t boxes = game.Boxes().size();
        CTitleScene* title = TitleOn(game, c.item);
        ASSERT_NE(title, nullptr) << game.Describe();
        game.Press(menu::kDecide);
        if (!c.next) {
            EXPECT_FALSE(title->IsLeaving());
            EXPECT_FALSE(Playing(title::kSetSound));
            game.Frames(40);   // past when a hand-over would have gone
            EXPECT_EQ(Title(game), title);
            continue;
        }
        EXPECT_TRUE(title->IsLeaving());
        EXPECT_TRUE(Playing(title::kSetSound));
        // Alpha out in 0.5 s, then the curtain for those that keep no
        // crowd effect.
        const u32 frames = title::HandsOverEffect(c.item) ? 31 : 62;
        game.Frames(frames - 2);
        EXPECT_EQ(Title(game), title) << "left early";
        bool reached = game.RunUntil(c.next, 4);
        for (size_t i = boxes; i < game.Boxes().size(); ++i) reached = reached || game.Boxes()[i].find(c.layout) == 0;
        EXPECT_TRUE(reached) << game.Describe();
        EXPECT_FALSE(game.QuitPosted());
    }
}

// With a network scene registered, Network leaves for the one it makes.
TEST(TitleSceneTest, NetworkTakesTheRegisteredScene)
{
    GameDriver game(game_test::GameDataRoot(), Start(NewLogo));
    SetNetworkSceneFactory([]() -> CScene* { return new CLogoScene; });
    const std::unique_ptr<void, void (*)(void*)> unregister(&game, [](void*) { SetNetworkSceneFactory(nullptr); });
    CTitleScene* title = TitleOn(game, title::kNetwork);
    ASSERT_NE(title, nullptr) << game.Describe();
    game.Press(menu::kDecide);
    EXPECT_TRUE(title->IsLeaving());
    EXPECT_TRUE(game.RunUntil("CLogoScene", 70)) << game.Describe();
}

TEST(TitleSceneTest, EndQuitsAtOnce)
{
    GameDriver game(game_test::GameDataRoot(), Start(NewLogo));
    CTitleScene* title = TitleOn(game, title::kEnd);
    ASSERT_NE(title, nullptr) << game.Describe();
    game.Press(menu::kDecide);
    EXPECT_TRUE(game.QuitPosted());
    EXPECT_FALSE(title->IsLeaving());
    EXPECT_FALSE(Playing(title::kSetSound));
}

// The block's curtain and alpha, and the crowd effect and music it hands
// over: adopted as they run, neither restarted nor doubled.
TEST(TitleSceneTest, BlockSetsTheFadesAndHandsOverEffectAndMusic)
{
    GameDriver game(game_test::GameDataRoot(), Start(NewLogo));
    ASSERT_TRUE(game.Started()) << game.Describe();
    TitleArgs args;
    args.effect = menu::StartMenuEffect();
    args.music = menu::StartTitleMusic();
    ASSERT_NE(args.effect, nullptr);
    ASSERT_NE(args.music, nullptr);
    args.curtain = 0.0f;
    args.alpha = 0.0f;
    args.item = title::kOption;
    game.App().ChangeScene(new CTitleScene, reinterpret_cast<intptr_t>(&args));
    CTitleScene* title = Title(game);
    ASSERT_NE(title, nullptr) << game.Describe();
    EXPECT_EQ(title->GetEffect(), args.effect);
    EXPECT_EQ(title->GetMusic(), args.music);
    EXPECT_EQ(title->GetCurrentItem(), title::kOption);
    EXPECT_EQ(title->GetCurtain(), 0.0f);
    EXPECT_EQ(title->GetAlpha(), 0.0f);
    u32 musicPlaying = 0;
    for (const char* music : menu::kTitleMusic) musicPlaying += Playing(music);
    EXPECT_EQ(musicPlaying, 1u);
    EXPECT_TRUE(args.music->IsPlaying(0));

    game.Frames(25);   // 0.4 s: still fading in, no call yet
    EXPECT_LT(title->GetAlpha(), 1.0f);
    EXPECT_EQ(CallsPlaying(), 0u);
    game.Frames(10);
    EXPECT_EQ(title->GetAlpha(), 1.0f);
    EXPECT_EQ(CallsPlaying(), 1u);
}

// Voices off: the title shows and moves on without its call.
TEST(TitleSceneTest, VoicesOffNoCallPlays)
{
    game_test::DriverOptions options = Start(NewTitle);
    options.startScene = [start = options.startScene]() -> CScene* {
        CScene* title = start();
        GetGameApp()->GetSaveConfig()->GetGameSettings()->voicePlay = 0;
        return title;
    };
    GameDriver game(game_test::GameDataRoot(), options);
    CTitleScene* title = Title(game);
    ASSERT_NE(title, nullptr) << game.Describe();
    RunToMenu(game);
    EXPECT_EQ(title->GetCurtain(), 0.0f);
    game.Frames(60);
    EXPECT_EQ(CallsPlaying(), 0u);
}

// The notice of orbs won: four to a page, decide turns it and closes it
// after the last, and only then are the orbs marked shown. Nothing else is
// taken while it shows.
TEST(TitleSceneTest, OrbNoticeNamesTheNewOrbsFourAPage)
{
    struct Case {
        std::vector<u32> orbs;
        std::vector<std::string> pages;
    };
    // None of them won by default (a new save holds some, shown).
    const Case cases[] = {
        {{3}, {"霊玉【Orb03】を取得しました。"}},
        {{2, 7, 43}, {"霊玉【Orb02・Orb07・Orb43】を取得しました。"}},
        {{2, 3, 5, 6, 7, 8, 9, 10, 11},
            {"霊玉【Orb02・Orb03・Orb05・Orb06】を取得しました。", "霊玉【Orb07・Orb08・Orb09・Orb10】を取得しました。",
                "霊玉【Orb11】を取得しました。"}},
        // Full last pages: exactly one page, exactly two.
        {{2, 3, 5, 6}, {"霊玉【Orb02・Orb03・Orb05・Orb06】を取得しました。"}},
        {{2, 3, 5, 6, 7, 8, 9, 10},
            {"霊玉【Orb02・Orb03・Orb05・Orb06】を取得しました。", "霊玉【Orb07・Orb08・Orb09・Orb10】を取得しました。"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pages.front());
        GameDriver game(game_test::GameDataRoot(), Start(NewTitle, c.orbs));
        CTitleScene* title = Title(game);
        ASSERT_NE(title, nullptr) << game.Describe();
        // Built without a block: from black, one call once the curtain is up.
        EXPECT_EQ(title->GetCurtain(), 1.0f);
        RunToMenu(game);
        EXPECT_EQ(CallsPlaying(), 1u);
        // Icon numbers index the 45 icons only.
        for (i32 icon : {-1, 45, 1000}) EXPECT_EQ(title->GetIconLayer(icon), nullptr);
        EXPECT_NE(title->GetIconLayer(44), nullptr);
        for (size_t page = 0; page < c.pages.size(); ++page) {
            ASSERT_TRUE(title->IsOrbNoticeShown());
            EXPECT_EQ(title->GetOrbNoticeText(), c.pages[page]);
            const size_t onPage = std::min<size_t>(4, c.orbs.size() - page * 4);
            EXPECT_EQ(IconsDrawn(game), onPage);
            EXPECT_TRUE(game.App().GetSaveData()->HasUnshownUnlockFlags());
            game.Press(menu::kDown);
            EXPECT_EQ(title->GetTargetItem(), title::kStory);
            game.Press(menu::kDecide);
        }
        EXPECT_FALSE(title->IsOrbNoticeShown());
        EXPECT_FALSE(game.App().GetSaveData()->HasUnshownUnlockFlags());
        game.Frame();
        EXPECT_EQ(IconsDrawn(game), 0u);
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
