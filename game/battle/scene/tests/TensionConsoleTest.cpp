// Tension strips: where each stretch lands and how wide it is drawn, the
// frame chosen per fighter, and the cursor at the looped music time.
#include "game/battle/scene/TensionConsole.h"
#include "game/battle/scene/tests/ConsoleTestSupport.h"
#include "game/data/TensionFile.h"

namespace ORV_TEST_FILE_ID {

namespace {

using console_test::FakeHudFighter;
using console_test::kCell;
using console_test::kElementX;
using console_test::Sprite;

class TensionConsoleTest : public console_test::ConsoleTest {
protected:
    // A script whose keys are (time, level) pairs.
    static void Script(CTensionFile& file, std::initializer_list<std::pair<f32, i32>> keys)
    {
        auto* track = new CTensionTrack("Tension", 1, 0);
        for (const auto& [t, level] : keys) track->AddKey(t, level);
        file.SetTrack(track);
    }

    std::vector<Sprite> Draw(const FakeHudFighter* own)
    {
        CTensionConsole console(&scene_);
        EXPECT_EQ(console.Load(own, &list_, &layout_), 1u);
        fake_->ClearLog();
        console.Draw(0);
        return Sprites();
    }

    HudFighterList list_;
};

}  // namespace

TEST_F(TensionConsoleTest, OwnStripPutsHeadsAndStretchedBodiesAlongTheMusic)
{
    CTensionFile file;
    // 510 px over 100 s: 0..20 s low (102 px), 20..21 s high (5.1 px, narrower
    // than a head), 21..100 s climax; the stretch after the last key is not drawn.
    Script(file, {{0, 0}, {20, 2}, {21, 3}, {100, 1}});
    FakeHudFighter own;
    own.tension = &file;
    own.musicTime = 50.0f;
    list_ = {&own};
    const std::vector<Sprite> s = Draw(&own);
    const f32 w = f32(kCell);
    const struct {
        const char* name;
        f32 x, width;
    } expected[] = {
        {"TEN1", 0, w},
        {"TENlo", 0, w},
        {"TENlonu", w, 102 - w},
        {"TENhiu", 102, 5.1f},
        {"TENcl", 107.1f, w},
        {"TENclu", 107.1f + w, 510 - 107.1f - w},
        {"TENbar", 255, w},
    };
    ASSERT_EQ(s.size(), std::size(expected));
    for (size_t i = 0; i < s.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(s[i].name, expected[i].name);
        EXPECT_NEAR(s[i].x, kElementX + expected[i].x, 1e-3);
        EXPECT_NEAR(s[i].w, expected[i].width, 1e-3);
    }
}

TEST_F(TensionConsoleTest, AHeadExactlyAsWideAsItsStretchIsDrawn)
{
    // 510 px over 510 s: 0..8 s low is exactly one head wide, so the head
    // is drawn and its body has nothing left; 8..510 s high.
    CTensionFile file;
    Script(file, {{0, 0}, {8, 2}, {510, 1}});
    FakeHudFighter own;
    own.tension = &file;
    list_ = {&own};
    const std::vector<Sprite> s = Draw(&own);
    const struct {
        const char* name;
        f32 x, width;
    } expected[] = {
        {"TEN1", 0, 8}, {"TENlo", 0, 8}, {"TENlonu", 8, 0}, {"TENhi", 8, 8}, {"TENhiu", 16, 494}, {"TENbar", 0, 8},
    };
    ASSERT_EQ(s.size(), std::size(expected));
    for (size_t i = 0; i < s.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(s[i].name, expected[i].name);
        EXPECT_EQ(s[i].x, kElementX + expected[i].x);
        EXPECT_EQ(s[i].w, expected[i].width);
    }
}

TEST_F(TensionConsoleTest, OtherStripsUseTheirOwnSetOneRowDownEach)
{
    CTensionFile file, fixed;
    Script(file, {{0, 1}, {60, 1}});
    Script(fixed, {{0, 0}, {60, 0}});
    FakeHudFighter own, cpu, second;
    own.tension = cpu.tension = &file;
    second.tension = &fixed;
    cpu.computer = 1;
    second.fixedTension = 5;   // climax for the whole strip
    list_ = {&cpu, &own, nullptr, &second};
    std::vector<std::string> names;
    std::vector<f32> rows;
    for (const Sprite& s : Draw(&own)) {
        names.push_back(s.name);
        rows.push_back(s.y - console_test::kElementY);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"TENcpu", "TEN_eno", "TEN_ebar", "TEN12", "TENno", "TENnou",
        "TENbar", "TEN4", "TEN_ecl", "TEN_ebar"}));
    EXPECT_EQ(rows, (std::vector<f32>{0, 0, 0, 0, 0, 0, 0, 16, 16, 16}));
}

TEST_F(TensionConsoleTest, OneKeyDrawsFrameAndCursorOnlyAndNoScriptNothing)
{
    CTensionFile file;
    Script(file, {{0, 2}});
    FakeHudFighter own, silent;
    own.tension = &file;
    own.computer = 1;   // an own computer strip has no frame
    list_ = {&own, &silent};
    EXPECT_EQ(Draw(&own).size(), 1u);
    EXPECT_EQ(Draw(&own)[0].name, "TENbar");
}

TEST(TensionLevels, FixedSettingsMapToFourLevels)
{
    const i32 expected[] = {-1, 0, 1, 2, 3, 3, -1, -1};
    for (u32 setting = 0; setting < 8; ++setting) EXPECT_EQ(CTensionConsole::FixedLevel(setting), expected[setting]);
}

}  // namespace ORV_TEST_FILE_ID
