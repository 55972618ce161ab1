#include "game/scenes/TitleScene.h"

#include "engine/core/Random.h"
#include "game/battle/scene/BattleSetup.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(TitleMenu, CursorWrapsAtBothEnds)
{
    struct Case {
        u32 item;
        i32 step;
        u32 expected;
    };
    const Case cases[] = {
        {title::kStory, -1, title::kEnd},
        {title::kEnd, 1, title::kStory},
        {title::kStory, 1, title::kAdventure},
        {title::kEnd, -1, title::kOption},
        {title::kTutorial, -1, title::kSurvival},
    };
    for (const Case& c : cases) EXPECT_EQ(title::StepItem(c.item, c.step), c.expected) << c.item << " " << c.step;
}

TEST(TitleMenu, OrbNoticeJoinsTheNames)
{
    struct Case {
        std::vector<std::string> names;
        const char* expected;
    };
    const Case cases[] = {
        {{"Orb00"}, "霊玉【Orb00】を取得しました。"},
        {{"Orb00", "Orb07", "Orb44"}, "霊玉【Orb00・Orb07・Orb44】を取得しました。"},
    };
    for (const Case& c : cases) EXPECT_EQ(title::OrbNoticeText(c.names), c.expected);
}

TEST(TitleMenu, IconNamesCoverTheThreeKindsAndNothingPast)
{
    EXPECT_EQ(title::IconLayerName(0), "rei_geki0");
    EXPECT_EQ(title::IconLayerName(14), "rei_geki14");
    EXPECT_EQ(title::IconLayerName(15), "rei_soku0");
    EXPECT_EQ(title::IconLayerName(44), "rei_syu14");
    EXPECT_EQ(title::IconLayerName(45), "");
}

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
    EXPECT_EQ(setup.tutorialMode, 1u);
    EXPECT_EQ(setup.trainingMode, 1u);
    EXPECT_LT(setup.entries[0].character, 18u);
    EXPECT_LT(setup.entries[1].character, 18u);
    EXPECT_EQ(setup.entries[2].kind, CBattleEntry::kKindNone);
    EXPECT_EQ(setup.entries[3].kind, CBattleEntry::kKindNone);
    EXPECT_EQ(setup.option.stage, 18u);
    EXPECT_EQ(setup.option.music, CBattleOption::kRandomMusic);
    EXPECT_EQ(setup.option.drawnMusic, 9u);
    EXPECT_EQ(setup.option.characterSetting, 4u);
    EXPECT_EQ(setup.entries[1].ownMusic, 9u);

    CBattleSetup none;
    EXPECT_FALSE(title::MakeTutorialSetup(none, [](u32) { return false; }));
}

}  // namespace
