// Own gauges: which elements draw for given fighter values, how wide the
// bars are, where the repeated and moved elements land, and in which colour.
#include "engine/platform/FrameTime.h"
#include "game/battle/scene/PlayerConsole.h"
#include "game/battle/scene/tests/ConsoleTestSupport.h"

#include <algorithm>
#include <cmath>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace console_test;

class PlayerConsoleTest : public ConsoleTest {
protected:
    void TearDown() override
    {
        SetFrameTime(0);
        ConsoleTest::TearDown();
    }

    // Loads for own, runs frames updates (placing the layout after each)
    // and draws once.
    std::vector<Sprite> Frame(u32 frames = 1)
    {
        console_.Load(&own_, &list_, &layout_);
        for (u32 i = 0; i < frames; ++i) {
            console_.Update(0);
            Place();
        }
        console_.Draw(0);
        return Sprites();
    }

    static std::vector<Sprite> Named(const std::vector<Sprite>& s, const std::string& name)
    {
        std::vector<Sprite> out;
        std::copy_if(s.begin(), s.end(), std::back_inserter(out), [&](const Sprite& x) { return x.name == name; });
        return out;
    }

    FakeHudFighter own_, other_;
    HudFighterList list_{&own_, &other_};
    CPlayerConsole console_{&scene_};
};

}  // namespace

TEST_F(PlayerConsoleTest, HpBarsScaleByTheirShareOfMaximumAndNeverReverse)
{
    const struct {
        i32 hp;
        f32 shown, maxHp, hpWidth, trailWidth;
    } cases[] = {
        {500, 750, 1000, 4, 6},
        {-20, 0, 1000, 0, 0},    // below 0: empty, not reversed
        {300, 300, 0, 0, 0},     // no maximum: empty, not infinite
    };
    for (const auto& c : cases) {
        own_.hp = c.hp;
        own_.shownHp = c.shown;
        own_.maxHp = c.maxHp;
        const std::vector<Sprite> s = Frame();
        const auto hp = Named(s, "rbGh"), trail = Named(s, "rbGkara");
        ASSERT_EQ(hp.size(), 1u);
        ASSERT_EQ(trail.size(), 1u);
        EXPECT_FLOAT_EQ(hp[0].w, c.hpWidth) << c.hp;
        EXPECT_FLOAT_EQ(trail[0].w, c.trailWidth) << c.hp;
        fake_->ClearLog();
    }
}

TEST_F(PlayerConsoleTest, MpIconsAreWholePointsTwelvePixelsApart)
{
    const struct {
        f32 mp;
        std::vector<f32> xs;
    } cases[] = {{2.9f, {kElementX, kElementX + 12}}, {0.0f, {}}, {-3.0f, {}}, {3.0f, {100, 112, 124}}};
    for (const auto& c : cases) {
        own_.mp = c.mp;
        std::vector<f32> xs;
        for (const Sprite& s : Named(Frame(), "MP")) xs.push_back(s.x);
        EXPECT_EQ(xs, c.xs) << c.mp;
        fake_->ClearLog();
    }
}

TEST_F(PlayerConsoleTest, GaugeOfAKindFillsItsBarAndGreysWhenUnusable)
{
    own_.gauges[4] = 0.25f;
    own_.usable[4] = 1;
    own_.gauges[6] = 1.5f;   // clamped
    own_.usable[6] = 0;
    const std::vector<Sprite> s = Frame();
    const auto spell = Named(s, "rcga4"), exception = Named(s, "rcga5");
    ASSERT_EQ(spell.size(), 1u);
    ASSERT_EQ(exception.size(), 1u);
    EXPECT_FLOAT_EQ(spell[0].w, 2.0f);
    EXPECT_EQ(spell[0].colour, 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(exception[0].w, 8.0f);
    EXPECT_EQ(exception[0].colour, 0xFF808080u);
}

TEST_F(PlayerConsoleTest, CounterDigitsShowTheirGlyphs)
{
    // 105 shows its last two digits; capacity 12. Kind 2's counters are
    // named as the glyphs "rctT1".."rctT4" are, and must not stand in for
    // them.
    own_.counts[4] = 105;
    own_.capacities[4] = 12;
    own_.counts[2] = 34;
    own_.capacities[2] = 56;
    console_.Load(&own_, &list_, &layout_);
    console_.Update(0);
    Place();
    // The cell of the top-level glyph of that name.
    const auto glyphCell = [](const char* glyph) {
        const std::vector<Element>& all = ConsoleElements();
        for (size_t i = 0; i < all.size(); ++i) {
            if (all[i].name == glyph && all[i].parent.empty()) return ElementRect(i);
        }
        return CRect4();
    };
    const struct {
        const char* group;
        const char* counter;
        const char* glyph;
    } cases[] = {{"WState", "rctT23", "rctT1"}, {"WState", "rctT24", "rctT2"}, {"WState", "rctT21", "rctT0"},
        {"WState", "rctT22", "rctT5"}, {"WState", "rctT3", "rctT5"}, {"WState", "rctT4", "rctT6"},
        {"WState", "rctT1", "rctT3"}, {"WState", "rctT2", "rctT4"}};
    for (const auto& c : cases) {
        const CSceneObject* group = layout_.FindLayer(c.group);
        ASSERT_NE(group, nullptr);
        const CSceneObject* counter = group->FindLayer(c.counter);
        ASSERT_NE(counter, nullptr);
        const CRect4& r = counter->GetScreenState().rect;
        const CRect4 want = glyphCell(c.glyph);
        EXPECT_EQ(r.left, want.left) << c.counter;
        EXPECT_EQ(r.top, want.top) << c.counter;
    }
}

TEST_F(PlayerConsoleTest, ChargedKindsSwapTheirLabelAndIconAtAFullGauge)
{
    for (const f32 fill : {0.5f, 1.0f}) {
        own_.gauges[5] = fill;
        const std::vector<Sprite> s = Frame();
        const bool charged = fill >= 1.0f;
        EXPECT_EQ(Named(s, "rcchsp").size(), charged ? 1u : 0u) << fill;
        EXPECT_EQ(Named(s, "Wta14").size(), charged ? 1u : 0u) << fill;
        EXPECT_EQ(Named(s, "rcsp1").size(), charged ? 0u : 1u) << fill;
        EXPECT_EQ(Named(s, "Wta13").size(), charged ? 0u : 1u) << fill;
        fake_->ClearLog();
    }
}

TEST_F(PlayerConsoleTest, ClimaxBurstPlaysOnlyWhenTheLevelTurnsToClimax)
{
    SetFrameTime(100);
    for (const u32 level : {1u, 2u, 3u}) {
        own_.tensionLevel = level;
        const std::vector<Sprite> s = Frame();
        const auto marks = Named(s, level == 1 ? "Tno" : level == 2 ? "Thi" : "Tcl");
        // The shrinking, fading copy comes only at climax, in the first 0.3 s.
        ASSERT_EQ(marks.size(), level == 3 ? 2u : 1u) << level;
        if (level == 3) {
            EXPECT_FLOAT_EQ(marks[1].w, 8.0f * 1.2f);
        }
        EXPECT_EQ(Named(s, "Tlo").size(), 0u);
        fake_->ClearLog();
    }
    // Staying at climax: the burst is over after 0.3 s.
    own_.tensionLevel = 3;
    console_.Load(&own_, &list_, &layout_);
    for (int i = 0; i < 5; ++i) console_.Update(0);
    Place();
    console_.Draw(0);
    EXPECT_EQ(Named(Sprites(), "Tcl").size(), 1u);
}

TEST_F(PlayerConsoleTest, PerCharacterTeamAndSkillElementsFollowTheFighter)
{
    own_.team = 1;
    own_.skillImages[0] = 15 + 1;   // rei_soku1
    own_.skillImages[2] = 99;       // past the images: the empty orb
    std::vector<Sprite> s = Frame();
    EXPECT_EQ(Named(s, "rbGtB").size(), 1u);
    EXPECT_EQ(Named(s, "Chtal").size(), 1u);
    EXPECT_EQ(Named(s, "Cta").size(), 1u);   // no player name
    ASSERT_EQ(Named(s, "rei_soku1").size(), 1u);
    EXPECT_FLOAT_EQ(Named(s, "rei_soku1")[0].x, kElementX);
    ASSERT_EQ(Named(s, "rei_empB").size(), 1u);
    EXPECT_FLOAT_EQ(Named(s, "rei_empB")[0].x, kElementX + 30);
    ASSERT_EQ(Named(s, "rei_empC").size(), 1u);
    EXPECT_FLOAT_EQ(Named(s, "rei_empC")[0].x, kElementX + 60);
    fake_->ClearLog();

    // No team, and a character id past the table: none of their elements.
    own_.team = 4;
    own_.characterId = 200;
    s = Frame();
    for (const char* n : {"rbGtR", "rbGtB", "rbGtY", "rbGtG", "Chtal", "Cta"})
        EXPECT_EQ(Named(s, n).size(), 0u) << n;
}

TEST_F(PlayerConsoleTest, TargetMarkSitsLowerWithFewerFighters)
{
    own_.targetMode = 1;
    const struct {
        size_t fighters;
        f32 y;
    } cases[] = {{4, kElementY}, {2, kElementY + 128}};
    for (const auto& c : cases) {
        list_.assign(c.fighters, &other_);
        list_[0] = &own_;
        const std::vector<Sprite> s = Frame();
        ASSERT_EQ(Named(s, "ME1").size(), 1u);
        EXPECT_FLOAT_EQ(Named(s, "ME1")[0].y, c.y) << c.fighters;
        EXPECT_EQ(Named(s, "ME2").size(), 0u);
        fake_->ClearLog();
    }
}

TEST_F(PlayerConsoleTest, DangerSignPulsesAndArrowMovesAlongItsWave)
{
    own_.danger = 1u << 3;   // from the top: "DengT", wave "dangWak2"
    SetFrameTime(250);
    const std::vector<Sprite> s = Frame();
    // t = 0.25: the sign's alpha 0.4 + 0.6 x 0.5; the arrow 10 x (0.1 / 0.15)
    // down, the wave's orientation being 0.
    const auto arrow = Named(s, "DengT");
    ASSERT_EQ(arrow.size(), 1u);
    EXPECT_NEAR(layout_.FindLayer("dang!2")->GetSettings().offset.colour.w, 0.7f, 1.0f / 255);
    EXPECT_NEAR(arrow[0].y, kElementY + 10.0f * (0.1f / 0.15f), 1e-3);
    EXPECT_EQ(Named(s, "DengL").size(), 0u);
}

}  // namespace ORV_TEST_FILE_ID
