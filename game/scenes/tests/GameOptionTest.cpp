#include "game/scenes/GameOption.h"

#include "engine/platform/Input.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/character/Character.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/tests/MenuRun.h"

#include "game/scenes/testdata/SceneData.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace game_option_test {

namespace ORV_TEST_FILE_ID {

namespace {

using namespace option;

// An item's value (Init: the story difficulty, which it must not touch).
i32 ValueOf(const Values& v, i32 item)
{
    const i32 values[kItemCount] = {i32(v.padVibration), i32(v.screenShake), v.cameraSide, i32(v.voicePlay),
        v.bgmVolume, v.seVolume, v.voiceVolume, v.radarType, v.guardCorrection, v.storyDifficulty, v.storyDifficulty};
    return values[item];
}

// Values without a layout: the steps, their limits, and which items the
// held steps move. Setters clamp what a damaged configuration holds.
TEST(GameOptionTest, PressesStepEachItemWithinItsRange)
{
    enum Step { kUp, kDown, kHeldUp };
    const struct {
        i32 item;
        Step step;
        i32 before, after;
    } cases[] = {
        {kPad, kUp, 1, 0}, {kScreen, kDown, 0, 1}, {kCamera, kUp, 0, 1}, {kVoice, kDown, 1, 0}, {kMap, kUp, 1, 0},
        {kGuard, kDown, 1, 0}, {kStory, kUp, 3, 0}, {kStory, kDown, 0, 3}, {kStory, kUp, 200, 0},
        {kBgmVolume, kUp, -30, 0}, {kBgmVolume, kUp, 0, 0}, {kSeVolume, kDown, -2990, -3000},
        {kVoiceVolume, kDown, -10000, -3000}, {kVoiceVolume, kHeldUp, -60, -30}, {kStory, kHeldUp, 2, 2},
        {kPad, kHeldUp, 0, 0}, {kInit, kUp, 2, 2}, {kInit, kDown, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "item " << c.item << " step " << c.step << " from " << c.before);
        CGameOption scene;
        using Setter = void (CGameOption::*)(u32);
        const Setter setters[] = {&CGameOption::SetPadVibration, &CGameOption::SetScreenShake,
            &CGameOption::SetCameraSide, &CGameOption::SetVoicePlay, nullptr, nullptr, nullptr,
            &CGameOption::SetRadarType, &CGameOption::SetGuardCorrection, &CGameOption::SetStoryDifficulty,
            &CGameOption::SetStoryDifficulty};
        if (c.item == kBgmVolume) scene.SetBgmVolume(c.before);
        if (c.item == kSeVolume) scene.SetSeVolume(c.before);
        if (c.item == kVoiceVolume) scene.SetVoiceVolume(c.before);
        if (setters[c.item]) (scene.*setters[c.item])(u32(c.before));
        const Values before = scene.GetValues();
        if (c.step == kUp) scene.Increase(c.item);
        if (c.step == kDown) scene.Decrease(c.item);
        if (c.step == kHeldUp) scene.StepVolumeUp(c.item);
        EXPECT_EQ(ValueOf(scene.GetValues(), c.item), c.after);
        for (i32 other = 0; other < kInit; ++other) {
            if (other == c.item) continue;
            EXPECT_EQ(ValueOf(scene.GetValues(), other), ValueOf(before, other)) << other;
        }
    }
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

    // The knob runs the bar's laid-out length, in its item's units (the
    // item's cell stretched to the label's width): half of it here.
    const f32 empty = scene->FindLayer("volob2")->GetSettings().offset.position.x;
    scene->SetSeVolume(-1500);
    const f32 length = scene_data::kGameOptionBarWidth * f32(scene_data::kCellWidth) / scene_data::kGameOptionLabelWidth;
    EXPECT_FLOAT_EQ(scene->FindLayer("volob2")->GetSettings().offset.position.x, empty + 0.5f * length);
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
        EXPECT_TRUE(menu_run::BackOnTitleAt(game, kTitleItem));
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
    ASSERT_TRUE(menu_run::BackOnTitleAt(game, kTitleItem));
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

// Leaving writes every item back, each to its own value, from either side of
// the configuration; what the options do not offer stays as it was.
TEST(GameOptionRun, LeavingWritesEveryItemBack)
{
    struct Setting {
        u32 pad, shake, camera, voice, radar, guard, story;
        i32 bgm, se, voiceVolume;
    };
    const struct {
        Setting stored, chosen;
    } cases[] = {
        {{0, 0, 0, 0, 0, 0, 0, -3000, -3000, -3000}, {1, 1, 1, 1, 1, 1, 3, -30, -60, -90}},
        {{1, 1, 1, 1, 1, 1, 3, 0, -30, -60}, {0, 0, 0, 0, 0, 0, 1, -2970, -2940, -2910}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen.story);
        const Setting& s = c.stored;
        GameDriver game(game_test::GameDataRoot(), menu_run::Options([&s](CSaveConfig& config) {
            ConfigGame& g = *config.GetGameSettings();
            g.padVibration = s.pad, g.screenShake = s.shake, g.cameraSide = u8(s.camera), g.voicePlay = s.voice;
            g.radarType = u8(s.radar), g.guardCorrection = u8(s.guard), g.arcadeDifficulty = u8(s.story);
            g.bgmVolume = s.bgm, g.seVolume = s.se, g.voiceVolume = s.voiceVolume;
            g.lockOnType = 2, g.screenshot = 7, g.screenshotSize = 1;
        }));
        ASSERT_TRUE(EnterAt(game, kPad));
        CGameOption* options = Options(game);
        const Setting& v = c.chosen;
        options->SetPadVibration(v.pad), options->SetScreenShake(v.shake), options->SetCameraSide(v.camera);
        options->SetVoicePlay(v.voice), options->SetRadarType(v.radar), options->SetGuardCorrection(v.guard);
        options->SetStoryDifficulty(v.story);
        options->SetBgmVolume(v.bgm), options->SetSeVolume(v.se), options->SetVoiceVolume(v.voiceVolume);
        game.Press(menu::kCancel);
        game.Frames(40);
        ASSERT_TRUE(menu_run::BackOnTitleAt(game, kTitleItem));
        const ConfigGame& g = Saved(game);
        EXPECT_EQ(g.padVibration, v.pad);
        EXPECT_EQ(g.screenShake, v.shake);
        EXPECT_EQ(g.cameraSide, v.camera);
        EXPECT_EQ(g.voicePlay, v.voice);
        EXPECT_EQ(g.radarType, v.radar);
        EXPECT_EQ(g.guardCorrection, v.guard);
        EXPECT_EQ(g.arcadeDifficulty, v.story);
        EXPECT_EQ(g.bgmVolume, v.bgm);
        EXPECT_EQ(g.seVolume, v.se);
        EXPECT_EQ(g.voiceVolume, v.voiceVolume);
        EXPECT_EQ(g.lockOnType, 2u);
        EXPECT_EQ(g.screenshot, 7u);
        EXPECT_EQ(g.screenshotSize, 1u);
    }
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

// ---------------------------------------------------------------- pad vibration

// Player 1 against the computer; the battle's local fighter is asked for a
// strong pad vibration, as a hit asks. Answers the level the fighter gave
// the pad and what the pad's motors were last told.
struct Shaken {
    u16 level = 0;
    host::input::PadVibration motors = {};
};

Shaken ShakeInABattle(GameDriver& game)
{
    auto* setup = new CBattleSetup(game.App().GetSaveConfig());
    setup->entries[0].kind = 0;
    setup->entries[1].kind = CBattleEntry::kKindComputer;
    setup->entries[1].character = 1;
    setup->entries[2].kind = setup->entries[3].kind = CBattleEntry::kKindNone;
    LoadingArgs loading{new CBattleScene(game.App().BattleApp()), reinterpret_cast<intptr_t>(setup), 0};
    game.App().ChangeScene(new CLoadingScene, reinterpret_cast<intptr_t>(&loading));
    Shaken shaken;
    if (!game.RunUntil("CBattleScene", 10)) return shaken;
    const auto* battle = dynamic_cast<const CBattleScene*>(game.App().GetScene());
    game.Frames(2);
    battle->GetLocalCharacter()->OnMessage(kMsgPadVibration, nullptr, 1);
    game.Frames(2);   // the fighter hands its level to the pad, the next poll sends it
    shaken.level = game.App().GetInput()->GetInputState(0)->vibrationLeft;
    shaken.motors = game.Input().VibrationLog().back().vibration;
    return shaken;
}

// Saved on, a battle shakes the pad; turned off in the options, the next
// battle leaves the motors still, though the fighter still asks (the
// battle itself must not depend on the setting: peers and replays run it).
TEST(GameOptionRun, PadVibrationTurnedOffHoldsForTheNextBattle)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::BattleOptions());
    // Player 1 on an XInput pad (start-up found no controller to name it).
    game.Input().ConnectPad(0);
    game.App().GetInput()->GetInputState(0)->xinputPad = 1;
    ASSERT_TRUE(game.Started() && game.App().LoadResources()) << game.Describe();
    for (u32 p = 0; p < 4; ++p) EXPECT_EQ(game.App().GetInput()->GetInputState(p)->vibrationEnabled, 1u) << p;
    const Shaken on = ShakeInABattle(game);
    EXPECT_GT(on.level, 40000u);
    EXPECT_GT(on.motors.left, on.level);   // sent before this frame's decay
    EXPECT_EQ(on.motors.left, on.motors.right);

    WithMusic music;
    game.App().ChangeScene(new CGameOption(), music.Block());
    ASSERT_TRUE(Options(game)) << game.Describe();
    menu_run::FadeIn(game);
    ASSERT_EQ(Options(game)->GetItem(), kPad);
    game.Press(menu::kRight);
    game.Frame();
    game.Press(menu::kCancel);
    game.Frames(40);
    ASSERT_TRUE(menu_run::BackOnTitleAt(game, kTitleItem));
    EXPECT_EQ(Saved(game).padVibration, 0u);
    for (u32 p = 0; p < 4; ++p) EXPECT_EQ(game.App().GetInput()->GetInputState(p)->vibrationEnabled, 0u) << p;

    const Shaken off = ShakeInABattle(game);
    EXPECT_GT(off.level, 40000u);
    EXPECT_EQ(off.motors, (host::input::PadVibration{0, 0}));
}

// Saved off, start-up hands the setting to the four players' slots.
TEST(GameOptionRun, SavedVibrationOffReachesThePlayersSlotsAtStartUp)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options([](CSaveConfig& c) {
        c.GetGameSettings()->padVibration = 0;
    }));
    ASSERT_TRUE(game.Started()) << game.Describe();
    for (u32 p = 0; p < 4; ++p) EXPECT_EQ(game.App().GetInput()->GetInputState(p)->vibrationEnabled, 0u) << p;
    EXPECT_EQ(game.App().GetInput()->GetInputState(4)->vibrationEnabled, 1u);   // no player's
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace game_option_test
