// Text drawn and measured through the glyph atlas, on the fake glyphs of a
// 32-pixel font drawn at size 16 (s = 0.5): a narrow character is an atlas
// rectangle of 17 x 34 texels, so a sprite of 8.5 x 17 pixels.
#include "engine/graphics/tests/FontTestSupport.h"

#include <functional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace font_test;

constexpr u32 kBlue = 0xFF0000FFu;
constexpr u32 kBlack = 0xFF000000u;
constexpr f32 kW = 8.5f, kH = 17.0f;   // one narrow character at size 16

struct At {
    f32 x, y;
    bool operator==(const At&) const = default;
};

std::ostream& operator<<(std::ostream& os, const At& a) { return os << "(" << a.x << ", " << a.y << ")"; }

class FontDraw : public FontTest {
protected:
    void SetUp() override
    {
        FontTest::SetUp();
        MakeFont();
    }

    std::vector<At> Corners() const
    {
        std::vector<At> out;
        for (const Sprite& s : Sprites()) out.push_back({s.x, s.y});
        return out;
    }
};

TEST_F(FontDraw, EachCharacterIsASpriteOfItsAtlasRectangleScaledBySizeAndScale)
{
    f32 endX = 0, endY = 0;
    ASSERT_EQ(font_.DrawTextEx(100, 50, 100, 40, 0, 0, kBlue, 16, 1.0f, "AB", kTextTopLeft, &endX, &endY), 1);
    const std::vector<Sprite> s = Sprites();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(std::tie(s[0].x, s[0].y, s[0].w, s[0].h), std::make_tuple(100.0f, 50.0f, kW, kH));
    EXPECT_EQ(std::tie(s[1].x, s[1].y), std::make_tuple(108.5f, 50.0f));
    EXPECT_EQ(std::tie(s[0].u0, s[0].v0, s[0].u1, s[0].v1), std::make_tuple(0.0f, 0.0f, 17 / 256.0f, 34 / 256.0f));
    EXPECT_EQ(s[0].colour, kBlue);
    EXPECT_EQ(std::tie(endX, endY), std::make_tuple(117.0f, 50.0f));

    // A scale multiplies the size: 16 at 2.0 is the font's own size.
    fake_->ClearLog();
    ASSERT_EQ(font_.DrawTextEx(0, 0, 0, 40, 0, 0, kBlue, 16, 2.0f, "A", kTextTopLeft, nullptr, nullptr), 1);
    EXPECT_EQ(std::tie(Sprites()[0].w, Sprites()[0].h), std::make_tuple(17.0f, 34.0f));
}

TEST_F(FontDraw, AlignmentPlacesTheTextAgainstItsPosition)
{
    struct Row {
        u8 flags;
        At first;
    };
    const Row rows[] = {
        {kTextTop, {100 - 2 * kW, 50}},                         // right: the text ends at x
        {kTextCentre | kTextMiddle, {100 - kW, 50 - kH / 2}},   // centred on (x, y)
        {kTextLeft, {100, 50 - kH}},                           // bottom
        {kTextLeft | kTextCentre | kTextTop, {100, 50}},       // left wins over centre
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.flags));
        fake_->ClearLog();
        f32 endX = 0, endY = 0;
        ASSERT_EQ(font_.DrawTextEx(100, 50, 100, 40, 0, 0, kBlue, 16, 1.0f, "AB", row.flags, &endX, &endY), 1);
        EXPECT_EQ(Corners(), (std::vector<At>{row.first, {row.first.x + kW, row.first.y}}));
        // The pen as it was before the alignment moved the text.
        EXPECT_EQ(At(endX, endY), At(117, 50));

        CRect4 r;
        ASSERT_EQ(font_.MeasureText(100, 50, 16, 1.0f, "AB", row.flags, &r), 1);
        EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom),
                  std::make_tuple(row.first.x, row.first.y, row.first.x + 2 * kW, row.first.y + kH));
    }
}

TEST_F(FontDraw, LinesBreakAtLineFeedsAfterTheByteLimitAndPastTheWidth)
{
    struct Row {
        const char* what;
        const char* text;
        u32 maxBytes;
        f32 maxWidth;
        std::vector<At> corners;
        At end;
        f32 right, bottom;   // measured, the pen's furthest x and the text's foot
    };
    // Lines start at x 10, 60 pixels apart.
    const Row rows[] = {
        {"line feed", "AB\nC", 0, 0, {{100, 50}, {108.5f, 50}, {10, 110}}, {18.5f, 110}, 117, 127},
        {"two bytes a line", "ABC", 2, 0, {{100, 50}, {108.5f, 50}, {10, 110}}, {18.5f, 110}, 117, 127},
        // A double-byte character may end a line one byte over.
        {"a double-byte character", "A漢B", 2, 0, {{100, 50}, {108.5f, 50}, {10, 110}}, {18.5f, 110}, 125, 127},
        // The line breaks after the character that passed x 105.
        {"past the width", "ABC", 0, 105, {{100, 50}, {10, 110}, {18.5f, 110}}, {27, 110}, 108.5f, 127},
        {"no limits", "ABC", 0, 0, {{100, 50}, {108.5f, 50}, {117, 50}}, {125.5f, 50}, 125.5f, 67},
        {"a line feed at the end", "A\n", 0, 0, {{100, 50}}, {10, 110}, 108.5f, 110},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fake_->ClearLog();
        f32 endX = 0, endY = 0;
        ASSERT_EQ(font_.DrawTextEx(100, 50, 10, 60, row.maxBytes, row.maxWidth, kBlue, 16, 1.0f, row.text,
                                   kTextTopLeft, &endX, &endY),
                  1);
        EXPECT_EQ(Corners(), row.corners);
        EXPECT_EQ(At(endX, endY), row.end);
        ASSERT_EQ(font_.GetTextEndPosition(100, 50, 10, 60, row.maxBytes, row.maxWidth, 16, 1.0f, row.text,
                                           kTextTopLeft, &endX, &endY),
                  1);
        EXPECT_EQ(At(endX, endY), row.end);
        CRect4 r;
        ASSERT_EQ(font_.MeasureTextRect(100, 50, 10, 60, row.maxBytes, row.maxWidth, 16, 1.0f, row.text,
                                        kTextTopLeft, &r),
                  1);
        // Once a line is broken the text reaches left to the line start.
        const f32 left = row.end.y > 50 ? 10.0f : 100.0f;
        EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom), std::make_tuple(left, 50.0f, row.right, row.bottom));
    }
    // The advance between lines is scaled by the scale alone, not by size.
    fake_->ClearLog();
    ASSERT_EQ(font_.DrawTextEx(0, 0, 0, 60, 0, 0, kBlue, 8, 2.0f, "A\nB", kTextTopLeft, nullptr, nullptr), 1);
    EXPECT_EQ(Corners(), (std::vector<At>{{0, 0}, {0, 120}}));
}

TEST_F(FontDraw, MeasuredPastTheWidthTheCharacterThatCrossedCountsOnItsNewLine)
{
    // Right-aligned, the widest line is B C with the A that crossed: 25.5.
    CRect4 r;
    ASSERT_EQ(font_.MeasureTextRect(100, 50, 10, 60, 0, 105, 16, 1.0f, "ABC", kTextTop, &r), 1);
    EXPECT_EQ(std::tie(r.left, r.right), std::make_tuple(10.0f - 25.5f, 108.5f - 25.5f));
    ASSERT_EQ(font_.DrawTextEx(100, 50, 10, 60, 0, 105, kBlue, 16, 1.0f, "ABC", kTextTop, nullptr, nullptr), 1);
    EXPECT_EQ(Corners(), (std::vector<At>{{74.5f, 50}, {-15.5f, 110}, {-7, 110}}));
}

TEST_F(FontDraw, FittedTextIsSqueezedOnlyAlongTheAxisThatIsTooLong)
{
    struct Row {
        const char* what;
        f32 maxWidth, maxHeight;
        f32 w, h;   // of each sprite
    };
    const Row rows[] = {
        {"exactly", 2 * kW, kH, kW, kH},
        {"too wide", 10, 100, 5, kH},
        {"too tall", 100, 8.5f, kW, 8.5f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fake_->ClearLog();
        ASSERT_EQ(font_.DrawTextFit2D(100, 50, row.maxWidth, row.maxHeight, kBlue, 16, 1.0f, "AB", kTextTopLeft), 1);
        const std::vector<Sprite> s = Sprites();
        ASSERT_EQ(s.size(), 2u);
        EXPECT_EQ(std::tie(s[0].x, s[0].y, s[0].w, s[0].h), std::make_tuple(100.0f, 50.0f, row.w, row.h));
        EXPECT_EQ(s[1].x, 100.0f + row.w);
    }
    // Aligned by the squeezed size; at a depth; a line feed is a character.
    fake_->ClearLog();
    ASSERT_EQ(font_.DrawTextFit(100, 50, 0.25f, 10, 100, kBlue, 16, 1.0f, "A\rB", kTextCentre | kTextMiddle), 1);
    const std::vector<Sprite> s = Sprites();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(std::tie(s[0].x, s[0].y, s[0].z), std::make_tuple(95.0f, 50.0f - kH / 2, 0.25f));
}

TEST_F(FontDraw, OutlinesAreEightCopiesAroundTheTextThenTheText)
{
    f32 endX = 0, endY = 0;
    ASSERT_EQ(font_.DrawTextAlignedOutlined2(100, 50, kBlue, kBlack, 16, 1.0f, 2.0f, "A", kTextTopLeft, &endX, &endY),
              1);
    // d = 2 x s = 1.
    const std::vector<At> around = {{101, 51}, {101, 49}, {101, 50}, {99, 51}, {99, 49},
                                    {99, 50},  {100, 51}, {100, 49}, {100, 50}};
    EXPECT_EQ(Corners(), around);
    const std::vector<Sprite> s = Sprites();
    for (size_t i = 0; i < s.size(); ++i) EXPECT_EQ(s[i].colour, i < 8 ? kBlack : kBlue) << i;
    EXPECT_EQ(At(endX, endY), At(108.5f, 50));

    // Every outlined form goes round the same way.
    const std::function<i32()> forms[] = {
        [&] { return font_.DrawTextOutlined(100, 50, 100, 100, kBlue, kBlack, 16, 1.0f, 2.0f, "A", kTextTopLeft); },
        [&] { return font_.DrawTextOutlinedBox(100, 50, 100, 40, 0, kBlue, kBlack, 16, 1.0f, 2.0f, "A", kTextTopLeft); },
        [&] { return font_.DrawTextAlignedOutlinedFlags(100, 50, kBlue, kBlack, 16, 1.0f, 2.0f, "A", kTextTopLeft); },
        [&] { return font_.DrawTextAlignedOutlinedFixed(100, 50, kBlue, kBlack, 16, 1.0f, 2.0f, "A"); },
        [&] { return font_.DrawTextAlignedOutlined(100, 50, 0, kBlue, kBlack, 16, 1.0f, 2.0f, "A", kTextTopLeft, nullptr, nullptr); },
    };
    for (const auto& form : forms) {
        fake_->ClearLog();
        ASSERT_EQ(form(), 1);
        EXPECT_EQ(Corners(), around);
    }
    // An outline whose first copy fails draws nothing more.
    fake_->ClearLog();
    glyphs_->FailGlyph(U'B');   // A is in the atlas by now
    EXPECT_EQ(font_.DrawTextAlignedOutlinedFixed(100, 50, kBlue, kBlack, 16, 1.0f, 2.0f, "BA"), 0);
    EXPECT_EQ(Sprites().size(), 0u);
}

TEST_F(FontDraw, OutlinedLinesKeepTheirOffsetOnEveryLine)
{
    f32 endX = 0, endY = 0;
    ASSERT_EQ(font_.DrawTextOutlinedEx(100, 50, 10, 60, 0, kBlue, kBlack, 16, 1.0f, 2.0f, "A\nB", kTextTopLeft, &endX,
                                       &endY),
              1);
    const std::vector<At> c = Corners();
    ASSERT_EQ(c.size(), 18u);
    EXPECT_EQ(c[0], At(101, 51));
    EXPECT_EQ(c[1], At(11, 111));    // the line start moved with it
    EXPECT_EQ(c[16], At(100, 50));
    EXPECT_EQ(c[17], At(10, 110));
    EXPECT_EQ(At(endX, endY), At(18.5f, 110));
}

TEST_F(FontDraw, BoxesGoBehindOrOverEachCharacterAtThePenBeforeAlignment)
{
    // Right-aligned, the characters move left; the boxes stay at the pen.
    const struct {
        u8 mode;
        std::string kinds;   // in drawing order: box or sprite
        std::vector<f32> xs;
    } rows[] = {
        {kTextBoxBehind, "bsbs", {100, 100 - 2 * kW, 108.5f, 100 - kW}},
        {kTextBoxOver, "sbsb", {100 - 2 * kW, 100, 100 - kW, 108.5f}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.mode));
        fake_->ClearLog();
        ASSERT_EQ(font_.DrawTextWrapped(100, 50, 100, 40, 0, 0, kBlue, 16, 1.0f, "AB", kTextTop, 0x800000FFu, row.mode,
                                        nullptr, nullptr),
                  1);
        std::string kinds;
        std::vector<f32> xs;
        for (const Drawn& d : Draws()) kinds += d.kind, xs.push_back(d.s.x);
        EXPECT_EQ(kinds, row.kinds);
        EXPECT_EQ(xs, row.xs);
        EXPECT_EQ(std::tie(Draws()[0].s.w, Draws()[0].s.h), std::make_tuple(kW, kH));
    }
}

TEST_F(FontDraw, AlignedTextAdvancesLinesByTheTallestCharacterSoFar)
{
    f32 endX = 0, endY = 0;
    // Down by the atlas height 34 x scale, not x s; measured, each line
    // counts 34 x s.
    ASSERT_EQ(font_.DrawTextAligned(100, 50, 0.5f, 10, kBlue, 16, 1.0f, "AB\nC", kTextLeft, &endX, &endY), 1);
    EXPECT_EQ(Corners(), (std::vector<At>{{100, 16}, {108.5f, 16}, {10, 50}}));
    EXPECT_EQ(Sprites()[0].z, 0.5f);
    EXPECT_EQ(At(endX, endY), At(18.5f, 84));
    fake_->ClearLog();
    ASSERT_EQ(font_.DrawTextAligned(100, 50, 0, 10, kBlue, 16, 1.0f, "AB\nC", kTextCentre | kTextTop, nullptr, nullptr),
              1);
    EXPECT_EQ(Corners(), (std::vector<At>{{91.5f, 50}, {100, 50}, {1.5f, 84}}));
}

// On a full atlas, text measured before it is drawn (aligned otherwise than
// top-left, and fitted text always) fails with nothing drawn; text drawn
// from its top-left corner keeps the characters before the one that failed.
TEST_F(FontDraw, AFullAtlasFailsMeasuredTextBeforeAnyCharacterIsDrawn)
{
    // Three characters to a row, two rows: "A" to "F" fill it.
    MakeFont(64, 128);
    for (const char* c : {"A", "B", "C", "D", "E", "F"}) ASSERT_EQ(font_.CacheText(c, 0, 0), 1) << c;
    ASSERT_EQ(font_.CacheText("G", 0, 0), 0);
    fake_->ClearLog();
    const char* text = "AG";
    const struct {
        const char* what;
        std::function<i32(u8 flags)> draw;
    } ops[] = {
        {"DrawTextEx", [&](u8 f) { return font_.DrawTextEx(100, 50, 100, 40, 0, 0, kBlue, 16, 1, text, f, nullptr, nullptr); }},
        {"DrawTextWrapped",
         [&](u8 f) {
             return font_.DrawTextWrapped(100, 50, 100, 40, 0, 0, kBlue, 16, 1, text, f, kBlack, kTextBoxBehind, nullptr,
                                          nullptr);
         }},
        {"DrawTextAligned",
         [&](u8 f) { return font_.DrawTextAligned(100, 50, 0, 100, kBlue, 16, 1, text, f, nullptr, nullptr); }},
        {"DrawTextFit", [&](u8 f) { return font_.DrawTextFit(100, 50, 0, 200, 40, kBlue, 16, 1, text, f); }},
        {"DrawTextOutlined",
         [&](u8 f) { return font_.DrawTextOutlined(100, 50, 200, 40, kBlue, kBlack, 16, 1, 1, text, f); }},
    };
    for (const auto& op : ops) {
        for (const u8 flags : {u8(kTextCentre | kTextMiddle), u8(kTextTop), u8(kTextLeft)}) {
            SCOPED_TRACE(std::string(op.what) + " flags " + std::to_string(flags));
            fake_->ClearLog();
            EXPECT_EQ(op.draw(flags), 0);
            EXPECT_EQ(Draws().size(), 0u);
        }
    }
    // From the top-left corner nothing is measured first: "A" stays drawn.
    for (const char* what : {"DrawTextEx", "DrawTextAligned"}) {
        SCOPED_TRACE(what);
        fake_->ClearLog();
        EXPECT_EQ((std::string(what) == "DrawTextEx" ? ops[0] : ops[2]).draw(kTextTopLeft), 0);
        EXPECT_EQ(Corners(), (std::vector<At>{{100, 50}}));
    }
    // Fitted text is measured whatever its alignment.
    fake_->ClearLog();
    EXPECT_EQ(ops[3].draw(kTextTopLeft), 0);
    EXPECT_EQ(Draws().size(), 0u);
}

TEST_F(FontDraw, NullTextIsRefusedAndEmptyTextLeavesThePen)
{
    f32 x = 0, y = 0;
    EXPECT_EQ(font_.DrawTextEx(0, 0, 0, 0, 0, 0, kBlue, 16, 1, nullptr, 17, &x, &y), 0);
    EXPECT_EQ(font_.DrawTextEx(5, 6, 0, 0, 0, 0, kBlue, 16, 1, "", 0, &x, &y), 1);
    EXPECT_EQ(At(x, y), At(5, 6));
    EXPECT_EQ(Draws().size(), 0u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
