#include "game/scenes/GameOption.h"

#include <gtest/gtest.h>

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
