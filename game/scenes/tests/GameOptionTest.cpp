#include "game/scenes/GameOption.h"

#include "engine/scene/ResourceController.h"
#include "engine/scene/SceneObject.h"
#include "game/scenes/tests/MenuRun.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace option;

// Values without a layout: the steps and their limits.
TEST(GameOptionTest, PressesStepEachItemWithinItsRange)
{
    const struct {
        i32 item;
        bool increase;
        Values before, after;
    } cases[] = {
        {kPad, true, {.padVibration = 1}, {.padVibration = 0}},
        {kScreen, false, {.screenShake = 0}, {.screenShake = 1}},
        {kCamera, true, {.cameraSide = 0}, {.cameraSide = 1}},
        {kVoice, false, {.voicePlay = 1}, {.voicePlay = 0}},
        {kMap, true, {.radarType = 1}, {.radarType = 0}},
        {kGuard, false, {.guardCorrection = 1}, {.guardCorrection = 0}},
        {kStory, true, {.storyDifficulty = 3}, {.storyDifficulty = 0}},
        {kStory, false, {.storyDifficulty = 0}, {.storyDifficulty = 3}},
        {kBgmVolume, true, {.bgmVolume = -30}, {.bgmVolume = 0}},
        {kBgmVolume, true, {.bgmVolume = 0}, {.bgmVolume = 0}},
        {kSeVolume, false, {.seVolume = -2990}, {.seVolume = -3000}},
        {kVoiceVolume, false, {.voiceVolume = -300}, {.voiceVolume = -330}},
        {kInit, true, {.storyDifficulty = 2}, {.storyDifficulty = 2}},
        {kInit, false, {.bgmVolume = -600}, {.bgmVolume = -600}},
    };
    for (const auto& c : cases) {
        CGameOption scene;
        const Values& b = c.before;
        scene.SetPadVibration(b.padVibration);
        scene.SetScreenShake(b.screenShake);
        scene.SetCameraSide(b.cameraSide);
        scene.SetVoicePlay(b.voicePlay);
        scene.SetRadarType(b.radarType);
        scene.SetGuardCorrection(b.guardCorrection);
        scene.SetStoryDifficulty(b.storyDifficulty);
        scene.SetBgmVolume(b.bgmVolume);
        scene.SetSeVolume(b.seVolume);
        scene.SetVoiceVolume(b.voiceVolume);
        if (c.increase)
            scene.Increase(c.item);
        else
            scene.Decrease(c.item);
        const Values& v = scene.GetValues();
        const Values& a = c.after;
        SCOPED_TRACE(testing::Message() << "item " << c.item << (c.increase ? " up" : " down"));
        EXPECT_EQ(v.padVibration, a.padVibration);
        EXPECT_EQ(v.screenShake, a.screenShake);
        EXPECT_EQ(v.cameraSide, a.cameraSide);
        EXPECT_EQ(v.voicePlay, a.voicePlay);
        EXPECT_EQ(v.radarType, a.radarType);
        EXPECT_EQ(v.guardCorrection, a.guardCorrection);
        EXPECT_EQ(v.storyDifficulty, a.storyDifficulty);
        EXPECT_EQ(v.bgmVolume, a.bgmVolume);
        EXPECT_EQ(v.seVolume, a.seVolume);
        EXPECT_EQ(v.voiceVolume, a.voiceVolume);
    }
}

// What a damaged configuration holds is clamped to what the marks show.
TEST(GameOptionTest, SettersClampToTheMarks)
{
    CGameOption scene;
    scene.SetStoryDifficulty(200);
    scene.SetPadVibration(7);
    scene.SetCameraSide(0xFFFFFFFFu);
    scene.SetBgmVolume(-10000);
    scene.SetSeVolume(500);
    EXPECT_EQ(scene.GetValues().storyDifficulty, 3);
    EXPECT_EQ(scene.GetValues().padVibration, 1u);
    EXPECT_EQ(scene.GetValues().cameraSide, 1);
    EXPECT_EQ(scene.GetValues().bgmVolume, -3000);
    EXPECT_EQ(scene.GetValues().seVolume, 0);
}

TEST(GameOptionTest, HeldStepsMoveOnlyVolumes)
{
    CGameOption scene;
    scene.SetVoiceVolume(-60);
    scene.SetStoryDifficulty(2);
    for (i32 item = 0; item < kItemCount; ++item) scene.StepVolumeUp(item);
    EXPECT_EQ(scene.GetValues().voiceVolume, -30);
    EXPECT_EQ(scene.GetValues().storyDifficulty, 2);
    scene.StepVolumeDown(kStory);
    scene.ResetDefaults();
    const Values defaults;
    EXPECT_EQ(scene.GetValues().voiceVolume, defaults.voiceVolume);
    EXPECT_EQ(scene.GetValues().storyDifficulty, defaults.storyDifficulty);
    EXPECT_EQ(scene.GetValues().padVibration, defaults.padVibration);
}

// Without an application nothing is written and nothing breaks.
TEST(GameOptionTest, WriteBackWithoutApplicationAnswersZero)
{
    CGameOption scene;
    EXPECT_EQ(scene.WriteBack(), 0);
    EXPECT_EQ(scene.Release(), 1);
}

}  // namespace

// ---------------------------------------------------------------- in the game

namespace {

using game_test::GameDriver;
using namespace option;

CGameOption* Options(GameDriver& game) { return dynamic_cast<CGameOption*>(game.App().GetScene()); }
ConfigGame& Saved(GameDriver& game) { return *game.App().GetSaveConfig()->GetGameSettings(); }

// The title's music handed over, so the scene starts none of its own.
struct WithMusic {
    MenuArgs args;
    WithMusic()
    {
        args.music = menu::FindSound("Bgm_chara.ogg");
        menu::PlayMusic(args.music);
    }
    intptr_t Block() { return reinterpret_cast<intptr_t>(&args); }
};

// Options entered and faded in, the cursor moved down to item.
::testing::AssertionResult EnterAt(GameDriver& game, i32 item)
{
    if (!game.Started() || !game.App().LoadResources()) return ::testing::AssertionFailure() << game.Describe();
    WithMusic music;
    game.App().ChangeScene(new CGameOption(), music.Block());
    if (!Options(game)) return ::testing::AssertionFailure() << "no options" << game.Describe();
    menu_run::FadeIn(game);
    for (i32 i = 0; i < item; ++i) {
        game.Press(menu::kDown);
        game.Frames(12);   // the cursor slides 0.15 s
    }
    if (Options(game)->GetItem() != item) return ::testing::AssertionFailure() << "cursor " << Options(game)->GetItem();
    return ::testing::AssertionSuccess();
}

TEST(GameOptionRun, HeldVolumeStepsEveryFrameAndStopsAtTheEnds)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options([](CSaveConfig& c) {
        c.GetGameSettings()->bgmVolume = -600;
    }));
    ASSERT_TRUE(EnterAt(game, kBgmVolume));
    game.Hold(menu::kRight, true);
    game.Frame();   // the press: one step
    EXPECT_EQ(Options(game)->GetValues().bgmVolume, -570);
    game.Frame();   // held: one more each frame
    game.Frame();
    EXPECT_EQ(Options(game)->GetValues().bgmVolume, -510);
    game.Frames(30);
    EXPECT_EQ(Options(game)->GetValues().bgmVolume, 0);
    game.Hold(menu::kRight, false);
    game.Hold(menu::kLeft, true);
    game.Frames(120);
    EXPECT_EQ(Options(game)->GetValues().bgmVolume, -3000);
    game.Hold(menu::kLeft, false);
    game.Frame();
    game.Press(menu::kStart);
    game.Frames(40);
    EXPECT_EQ(Saved(game).bgmVolume, -3000);
}

// The silent value shows as the bar's empty end and goes back as -3000; a
// difficulty past the marks shows as the last.
TEST(GameOptionRun, ConfigurationValuesAreClampedToTheMarks)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options([](CSaveConfig& c) {
        c.GetGameSettings()->seVolume = -10000;
        c.GetGameSettings()->arcadeDifficulty = 200;
        c.GetGameSettings()->padVibration = 5;
    }));
    ASSERT_TRUE(EnterAt(game, 0));
    CGameOption* scene = Options(game);
    EXPECT_EQ(scene->GetValues().seVolume, -3000);
    EXPECT_EQ(scene->GetValues().storyDifficulty, 3);
    for (u32 i = 0; i < 4; ++i)
        EXPECT_EQ(scene->FindLayer(kStoryMarks[i])->GetSettings().offset.colour.ToARGB(), i == 3 ? kMarkOn : kMarkOff);
    EXPECT_EQ(scene->FindLayer("on2")->GetSettings().offset.colour.ToARGB(), kMarkOn);
    EXPECT_EQ(scene->FindLayer("volB2")->GetSettings().offset.scaleX, 0.0f);

    // The knob runs the bar's laid-out length (a cell, three times over).
    const f32 empty = scene->FindLayer("volob2")->GetSettings().offset.position.x;
    scene->SetSeVolume(-1500);
    EXPECT_FLOAT_EQ(scene->FindLayer("volob2")->GetSettings().offset.position.x, empty + 12.0f);
    scene->SetSeVolume(-10000);

    game.Press(menu::kCancel);
    game.Frames(40);
    EXPECT_EQ(Saved(game).seVolume, -3000);
    EXPECT_EQ(Saved(game).arcadeDifficulty, 3);
    EXPECT_EQ(Saved(game).padVibration, 1u);
}

TEST(GameOptionRun, DecideActsOnlyOnInit)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options([](CSaveConfig& c) {
        c.GetGameSettings()->voiceVolume = -900;
        c.GetGameSettings()->cameraSide = 1;
    }));
    ASSERT_TRUE(EnterAt(game, kStory));
    const Values before = Options(game)->GetValues();
    for (const char* sound : kSounds) menu::FindSound(sound)->StopAll(1);   // the cursor's
    game.Press(menu::kDecide);
    for (const char* sound : kSounds) EXPECT_FALSE(menu_run::Playing(sound)) << sound;
    EXPECT_EQ(Options(game)->GetValues().storyDifficulty, before.storyDifficulty);

    game.Press(menu::kDown);
    game.Frames(12);
    ASSERT_EQ(Options(game)->GetItem(), kInit);
    for (u32 code : {menu::kLeft, menu::kRight}) {
        game.Press(code);
        EXPECT_TRUE(menu_run::Playing(kSounds[kSide]));
        EXPECT_EQ(Options(game)->GetValues().voiceVolume, -900);
        EXPECT_EQ(Options(game)->GetValues().cameraSide, 1);
        game.Frame();
    }
    EXPECT_FALSE(menu_run::Playing(kSounds[kSet]));
    game.Press(menu::kDecide);
    EXPECT_TRUE(menu_run::Playing(kSounds[kSet]));
    EXPECT_EQ(Options(game)->GetValues().voiceVolume, 0);
    EXPECT_EQ(Options(game)->GetValues().cameraSide, 0);
}

// Start and cancel both leave, each with its sound, and keep the changes.
TEST(GameOptionRun, StartAndCancelBothLeaveAndKeepTheChanges)
{
    const struct {
        u32 code;
        Sound sound;
    } cases[] = {{menu::kStart, kSet}, {menu::kCancel, kCancel}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code);
        GameDriver game(game_test::GameDataRoot(), menu_run::Options());
        ASSERT_TRUE(EnterAt(game, kPad));
        ASSERT_EQ(Saved(game).padVibration, 1u);
        game.Press(menu::kRight);
        game.Frame();
        game.Press(c.code);
        EXPECT_TRUE(menu_run::Playing(kSounds[c.sound]));
        ASSERT_TRUE(Options(game)->IsLeaving());
        EXPECT_EQ(Saved(game).padVibration, 1u);   // written when it leaves
        game.Frames(40);
        EXPECT_TRUE(menu_run::LeftForTitle(game, "CGameOption")) << game.Describe();
        EXPECT_EQ(Saved(game).padVibration, 0u);
    }
}

// The music goes to the title with the new volume and keeps playing when
// the options scene is released.
TEST(GameOptionRun, MusicHandedToTheTitlePlaysOnAtTheNewVolume)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(EnterAt(game, kBgmVolume));
    CSoundBuffer* music = Options(game)->GetMusic();
    ASSERT_NE(music, nullptr);
    game.Press(menu::kLeft);
    game.Frame();
    game.Press(menu::kCancel);
    game.Frames(40);
    ASSERT_TRUE(menu_run::LeftForTitle(game, "CGameOption")) << game.Describe();
    EXPECT_TRUE(music->IsPlaying(0));
    EXPECT_EQ(music->GetVoice(0)->appliedVolume, -30);
}

// Exit deletes the scene after the application forgot itself as the
// process's; the values still reach the saved file.
TEST(GameOptionRun, ExitOnTheOptionsSavesTheNewVolume)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(EnterAt(game, kBgmVolume));
    game.Press(menu::kLeft);
    game.Frame();
    game.Press(menu::kLeft);
    EXPECT_EQ(Saved(game).bgmVolume, 0);
    game.App().Exit();
    CSaveConfig written;
    ASSERT_EQ(written.Load(), 1);
    EXPECT_EQ(written.GetGameSettings()->bgmVolume, -60);
}

// A Load that fails before it read the configuration writes nothing back.
TEST(GameOptionRun, AFailedLoadLeavesTheConfigurationAlone)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options([](CSaveConfig& c) {
        c.GetGameSettings()->bgmVolume = -600;
        c.GetGameSettings()->arcadeDifficulty = 2;
    }));
    ASSERT_TRUE(game.Started() && game.App().LoadResources());
    CResourceList* sounds = game.App().GetResourceController()->GetSoundList();
    for (u32 i = 0; i < sounds->GetCount(); ++i)
        if (sounds->GetAt(i) == static_cast<CValueBase*>(menu::FindSound("Se_cancel.ogg"))) sounds->RemoveAt(i);
    WithMusic music;
    EXPECT_EQ(game.App().ChangeScene(new CGameOption(), music.Block()), 1);
    EXPECT_EQ(game.Boxes().at(0), "Se_cancel.oggが読み込めません");
    EXPECT_EQ(Saved(game).bgmVolume, -600);
    EXPECT_EQ(Saved(game).arcadeDifficulty, 2);
}

// Only the current item's cursor shows; while it slides to the next item
// it is drawn on its way there and keeps its own place.
TEST(GameOptionRun, TheCursorShowsOnTheCurrentItemAndSlidesToTheNext)
{
    scene_data::CSceneDataSet set;
    scene_data::AddOptionData(set);
    const std::vector<std::string>& layers = set.layouts[kLayout];
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(EnterAt(game, kCamera));
    CSceneObject* cursor = Options(game)->FindLayer("sele_car182");
    const CTexture* texture = cursor->GetTexture();
    auto drawn = [&] { return menu_run::DrawnLayers(game, layers, texture); };
    auto has = [](const std::vector<std::string>& names, const char* name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    std::vector<std::string> names = drawn();
    EXPECT_TRUE(has(names, "Title"));
    EXPECT_TRUE(has(names, "Camera/sele_car182") && has(names, "Camera/sele_car181"));
    EXPECT_FALSE(has(names, "Pad/sele_car162") || has(names, "Voice/sele_car192"));
    EXPECT_TRUE(has(names, "Story/luna") && has(names, "BVol/volob1") && has(names, "Init"));

    const f32 x = cursor->GetScreenState().position.x, y = cursor->GetScreenState().position.y;
    game.Press(menu::kDown);
    game.Frame();
    EXPECT_EQ(Options(game)->GetItem(), kCamera);
    EXPECT_EQ(Options(game)->GetTargetItem(), kVoice);
    EXPECT_EQ(cursor->GetScreenState().position.x, x);
    EXPECT_EQ(cursor->GetScreenState().position.y, y);
    game.Frames(12);
    names = drawn();
    EXPECT_TRUE(has(names, "Voice/sele_car192"));
    EXPECT_FALSE(has(names, "Camera/sele_car182"));
}

}  // namespace
