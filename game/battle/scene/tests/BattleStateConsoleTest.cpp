// The battle-state console: the clock as drawn digits, the countdown, quick
// messages at and past their limits, and the result.
#include "engine/platform/FrameTime.h"
#include "game/battle/scene/BattleStateConsole.h"
#include "game/battle/scene/tests/ConsoleTestSupport.h"

#include <cstring>
#include <string>

namespace ORV_TEST_FILE_ID {

namespace {

using console_test::FakeHudFighter;
using console_test::kElementX;
using console_test::kElementY;

class BattleStateConsoleTest : public console_test::ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        fighters_[1].team = 1;
        fighters_[2].playerName = "Mio";
        for (u32 i = 0; i < 3; ++i) fighters_[i].entry = i;
        list_ = {&fighters_[0], &fighters_[1], &fighters_[2]};
        setup_.characters = &list_;
        setup_.timeLimit = 100.0f;
        SetFrameTime(0);
    }
    void TearDown() override
    {
        SetFrameTime(0);
        ConsoleTest::TearDown();
    }

    QuickMessageRecord Line(const char* text, u32 sender, u32 teamOnly = 0)
    {
        QuickMessageRecord r{};
        std::memcpy(r.text, text, std::min(std::strlen(text), sizeof r.text));
        r.sender = sender;
        r.teamOnly = teamOnly;
        return r;
    }

    FakeHudFighter fighters_[3];
    HudFighterList list_;
    ConsoleSetup setup_;
    CBattleStateConsole state_{&scene_};
};

}  // namespace

TEST_F(BattleStateConsoleTest, ClockDrawsWholeSecondsDigitByDigit)
{
    const struct {
        f32 time;
        std::vector<std::string> digits;   // after "Tiwk"
    } cases[] = {
        {999.5f, {"Ti9", "Ti9", "Ti9"}},
        {100.0f, {"Ti1", "Ti0", "Ti0"}},
        {47.9f, {"Ti4", "Ti7"}},
        {0.5f, {"Ti0"}},
        {-3.0f, {"Ti0"}},
        {1000.0f, {"Timug"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.time);
        setup_.timeLimit = c.time;
        ASSERT_EQ(state_.Load(&setup_, &layout_), 1u);
        fake_->ClearLog();
        state_.Draw(0);
        const std::vector<console_test::Sprite> sprites = Sprites();
        ASSERT_EQ(sprites.size(), c.digits.size() + 2) << "Tiwk, digits, BgmName";
        EXPECT_EQ(sprites[0].name, "Tiwk");
        for (size_t i = 0; i < c.digits.size(); ++i) {
            EXPECT_EQ(sprites[i + 1].name, c.digits[i]);
            if (c.digits[i] != "Timug") {
                EXPECT_FLOAT_EQ(sprites[i + 1].x, kElementX + 28.0f * f32(i));
            }
            EXPECT_FLOAT_EQ(sprites[i + 1].y, kElementY);
        }
    }
}

TEST_F(BattleStateConsoleTest, CountsDownUntilAResultUnlessUnlimited)
{
    ASSERT_EQ(state_.Load(&setup_, &layout_), 1u);
    SetFrameTime(250);
    state_.Update(0);
    EXPECT_FLOAT_EQ(state_.GetRemainingTime(), 99.75f);
    state_.SetResult();
    state_.Update(0);
    EXPECT_FLOAT_EQ(state_.GetRemainingTime(), 99.75f);

    setup_.timeLimit = 1000.0f;
    CBattleStateConsole unlimited(&scene_);
    ASSERT_EQ(unlimited.Load(&setup_, &layout_), 1u);
    unlimited.Update(0);
    EXPECT_FLOAT_EQ(unlimited.GetRemainingTime(), 1000.0f);
}

TEST_F(BattleStateConsoleTest, ResultShowsAfterSixSettledSeconds)
{
    setup_.ownIndex = 1;
    ASSERT_EQ(state_.Load(&setup_, &layout_), 1u);
    state_.SetResult();
    EXPECT_EQ(state_.GetResult(), 2u);   // team 1's result
    SetFrameTime(1000);
    for (int i = 0; i < 8; ++i) state_.Update(0);
    EXPECT_FALSE(state_.IsResultShown()) << "the end clock runs only once the battle is settled";
    scene_.settled = 1;
    for (int i = 0; i < 5; ++i) state_.Update(0);
    EXPECT_FALSE(state_.IsResultShown());
    fake_->ClearLog();
    state_.Draw(0);
    const std::vector<std::string> names = Names();
    EXPECT_EQ(std::count(names.begin(), names.end(), "Flo"), 1) << "standing banner";
    state_.Update(0);
    EXPECT_TRUE(state_.IsResultShown());
}

TEST_F(BattleStateConsoleTest, QuickMessagesAtAndPastTheirLimits)
{
    ASSERT_EQ(state_.Load(&setup_, &layout_), 1u);
    // Team-only from the other team, and senders that are no fighter.
    EXPECT_EQ(state_.AddQuickMessage(Line("secret", 1, 1)), 0u);
    EXPECT_EQ(state_.AddQuickMessage(Line("ghost", 3)), 0u);
    EXPECT_EQ(state_.AddQuickMessage(Line("ghost", 0xFFFFFFFFu)), 0u);
    list_.push_back(nullptr);
    EXPECT_EQ(state_.AddQuickMessage(Line("empty entry", 3)), 0u);

    // A full 40-byte text keeps every byte and ends; a 32-byte name too.
    fighters_[0].playerName = std::string(32, 'N');
    const std::string full(40, 'x');
    ASSERT_EQ(state_.AddQuickMessage(Line(full.c_str(), 0)), 1u);
    EXPECT_EQ(std::string(state_.GetSlot(0).text), full);
    EXPECT_EQ(std::string(state_.GetSlot(0).name), std::string(32, 'N'));

    // A double-byte character cut by the limit is dropped whole.
    std::string cut(39, 'y');
    cut += '\x82';
    ASSERT_EQ(state_.AddQuickMessage(Line(cut.c_str(), 2, 1)), 1u);
    EXPECT_EQ(std::string(state_.GetSlot(1).text), std::string(39, 'y'));
    EXPECT_EQ(std::string(state_.GetSlot(1).name), "Mio");

    EXPECT_EQ(state_.AddQuickMessage(Line("three", 1)), 1u);
    EXPECT_EQ(std::string(state_.GetSlot(2).name), "Talve") << "no player name: the character's";
    EXPECT_EQ(state_.AddQuickMessage(Line("four", 0)), 1u);
    EXPECT_EQ(state_.AddQuickMessage(Line("five", 0)), 0u) << "all four slots busy";

    // After 3 s the slots free up.
    SetFrameTime(3000);
    state_.Update(0);
    EXPECT_EQ(state_.AddQuickMessage(Line("five", 0)), 1u);
    EXPECT_EQ(std::string(state_.GetSlot(0).text), "five");
}

TEST_F(BattleStateConsoleTest, SenderNamesKeepUpTo35BytesAndWholeCharacters)
{
    const std::string c33(33, 'C'), c34(34, 'C'), c35(35, 'C');
    const struct {
        std::string name;   // the sender's character NAME (no player name)
        std::string shown;
    } cases[] = {
        {c34, c34},
        {c35, c35},
        {c35 + "D", c35},
        // A double-byte character ending at byte 35 stays; one that would
        // end at byte 36 goes whole.
        {c33 + "\x82\xa0", c33 + "\x82\xa0"},
        {c34 + "\x82\xa0", c34},
        {c33 + "\x82\xa0" + "E", c33 + "\x82\xa0"},
    };
    for (const auto& c : cases) {
        CBattleStateConsole state{&scene_};
        ASSERT_EQ(state.Load(&setup_, &layout_), 1u);
        fighters_[1].characterName = c.name;
        ASSERT_EQ(state.AddQuickMessage(Line("hi", 1)), 1u);
        EXPECT_EQ(std::string(state.GetSlot(0).name), c.shown) << c.name.size();
    }
}

TEST_F(BattleStateConsoleTest, PanelsStackUpwardInTheirTeamColour)
{
    ASSERT_EQ(state_.Load(&setup_, &layout_), 1u);
    state_.AddQuickMessage(Line("a", 0));
    state_.AddQuickMessage(Line("b", 1));
    fake_->ClearLog();
    state_.Draw(0);
    std::vector<console_test::Sprite> panels;
    for (const console_test::Sprite& s : Sprites()) {
        if (s.name.rfind("Rad", 0) == 0) panels.push_back(s);
    }
    ASSERT_EQ(panels.size(), 4u) << "left and right of each (no font: the middle has no width)";
    EXPECT_EQ(panels[0].name, "Rad111");
    EXPECT_FLOAT_EQ(panels[0].y, kElementY + 270.0f);
    EXPECT_EQ(panels[2].name, "Rad211");
    EXPECT_FLOAT_EQ(panels[2].y, kElementY + 270.0f - 52.0f);
    EXPECT_FLOAT_EQ(panels[3].x, kElementX + 48.0f - 288.0f);
}

TEST_F(BattleStateConsoleTest, LivesCountDefeatsPerTeam)
{
    // Team 0 (PTre) holds fighters 0 and 2, team 1 (PTbl) fighter 1. Past
    // the option row's five lives a mark is drawn per life too, up to the
    // hundred that reach past the layout.
    const struct {
        u32 extra, defeats0, defeats2;
        size_t red, blue;
    } rows[] = {
        {2, 1, 1, 1, 3}, {0, 0, 0, 1, 1}, {4, 0, 0, 5, 5}, {0, 3, 0, 0, 1}, {2, 0xFFFFFFFF, 0xFFFFFFFF, 0, 3},
        {5, 1, 0, 5, 6}, {99, 0, 0, 100, 100}, {100, 1, 0, 100, 100}, {1000, 990, 0, 11, 100},
        {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0, 100}, {0xFFFFFFFF, 0, 0, 100, 100},
    };
    setup_.livesRule = 1;
    for (const auto& r : rows) {
        setup_.extraLives = r.extra;
        fighters_[0].defeats = r.defeats0;
        fighters_[2].defeats = r.defeats2;
        ASSERT_EQ(state_.Load(&setup_, &layout_), 1u);
        fake_->ClearLog();
        state_.Draw(0);
        std::map<std::string, std::vector<console_test::Sprite>> by;
        for (const console_test::Sprite& s : Sprites()) by[s.name].push_back(s);
        EXPECT_EQ(by["PTre"].size(), r.red) << r.extra << " " << r.defeats0;
        EXPECT_EQ(by["PTbl"].size(), r.blue) << r.extra << " " << r.defeats0;
        if (r.blue >= 3) {
            EXPECT_FLOAT_EQ(by["PTbl"][2].x, kElementX - 30.0f);
        }
        EXPECT_EQ(by["PTye"].size(), 0u);
        EXPECT_EQ(by["PYellow"][0].colour, 0xFF404040u) << "a team without fighters";
        EXPECT_EQ(by["PRed"][0].colour, 0xFFFFFFFFu);
    }
}

}  // namespace ORV_TEST_FILE_ID
