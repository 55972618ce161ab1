// The text entry drawn through a font texture on the fake render device and
// the fake glyphs (a 32-pixel font drawn at 16: a narrow character is a
// sprite 8.5 pixels wide, "|" included), with compositions and candidate
// lists scripted on the fake input method.
#include "engine/platform/app/ImeInput.h"

#include "engine/graphics/tests/FontTestSupport.h"

#include <string>
#include <tuple>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace font_test;
namespace win = host::window;

constexpr u32 kColour = 0xFF102030u;
constexpr f32 kW = 8.5f;

class ImeDraw : public FontTest {
protected:
    void SetUp() override
    {
        FontTest::SetUp();
        ime_ = &text::InstallFakeIme();
        MakeFont();
        ASSERT_EQ(field_.Create(kImeBufferSize), 1);
        field_.SetMode(2, 20.0f, 40);
        field_.SetFontTexture(&font_);
        field_.HandleMessage(Window(), win::kWmActivate, 0, 0);
        field_.Enable(1);
    }

    win::Handle Window() const { return system_.GetWindowHandle(); }

    // The input method's messages go to the field, as the window procedure
    // hands them over.
    void Pump()
    {
        win::Message m;
        while (win::PeekMessage(m))
            if (m.window) field_.HandleMessage(m.window, m.message, m.wParam, m.lParam);
    }

    std::string Kinds() const
    {
        std::string out;
        for (const Drawn& d : Draws()) out += d.kind;
        return out;
    }

    text::FakeIme* ime_ = nullptr;
    CImeInput field_;
};

TEST_F(ImeDraw, TheTextIsDrawnAroundACursorCentredOnTheCaret)
{
    field_.SetText("abcd");
    field_.HandleMessage(Window(), win::kWmKeyDown, win::kVkLeft, 0);
    field_.HandleMessage(Window(), win::kWmKeyDown, win::kVkLeft, 0);
    ASSERT_EQ(field_.Draw(100, 50, 16, 1.0f, kColour), 1);
    using Seen = std::tuple<std::string, f32, f32, f32, u32>;
    std::vector<Seen> seen;
    for (const Drawn& d : Draws()) seen.emplace_back(d.glyph, d.s.x, d.s.y, d.s.w, d.s.colour);
    const std::vector<Seen> want = {
        {"a", 100, 50, kW, kColour},
        {"b", 108.5f, 50, kW, kColour},
        {"|", 117 - kW / 2, 50, kW, kColour},   // half its width left of the caret
        {"c", 117 + kW / 2, 50, kW, kColour},
        {"d", 125.5f + kW / 2, 50, kW, kColour},
    };
    EXPECT_EQ(seen, want);
}

TEST_F(ImeDraw, LinesBreakAtLineFeedsAndTheLineWidthAndPastTheWrapWidth)
{
    // Lines 20 pixels apart (the field's font size); the first sprite of
    // line 2, and the one before it on line 1. A wrap width of 0: none.
    const struct { u32 width; const char* text; f32 wrap; size_t second; } cases[] = {
        {40, "ab\ncd", 0, 2}, {40, "abcde", 110, 2}, {3, "abcd", 0, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        fake_->ClearLog();
        field_.SetMode(2, 20.0f, c.width);
        field_.SetText(c.text);
        ASSERT_EQ(c.wrap ? field_.DrawWrapped(100, 50, 16, 1.0f, c.wrap, kColour)
                         : field_.Draw(100, 50, 16, 1.0f, kColour), 1);
        const std::vector<Sprite> p = Sprites();
        ASSERT_GT(p.size(), c.second);
        EXPECT_EQ(std::make_tuple(p[c.second - 1].x, p[c.second - 1].y, p[c.second].x, p[c.second].y),
                  std::make_tuple(100.0f + kW * f32(c.second - 1), 50.0f, 100.0f, 70.0f));
    }
}

TEST_F(ImeDraw, TheCompositionFollowsTheCursorWithItsClauseHighlighted)
{
    field_.SetText("ab");
    ime_->Compose(Window(), "かな", 2);
    Pump();
    ASSERT_EQ(field_.Draw(100, 50, 16, 1.0f, kColour), 1);
    EXPECT_EQ(Glyphs(), "ab|かな");
    EXPECT_EQ(Kinds(), "sssss");

    // Converting the first two of four characters: a box behind each of them.
    fake_->ClearLog();
    ime_->Compose(Window(), "漢字です", 0, 2);
    Pump();
    ASSERT_EQ(field_.Draw(100, 50, 16, 1.0f, kColour), 1);
    EXPECT_EQ(Glyphs(), "ab|漢字です");
    EXPECT_EQ(Kinds(), "sssbsbsss");
    const std::vector<Drawn> d = Draws();
    EXPECT_EQ(d[3].s.colour, 0x800000FFu);
    EXPECT_EQ(std::make_pair(d[3].s.x, d[3].s.w), std::make_pair(d[4].s.x, d[4].s.w));   // the box under its glyph
}

TEST_F(ImeDraw, TheCandidatePanelOpensBelowTheClauseOnceSwitchedOn)
{
    const win::Handle window = Window();
    ime_->Compose(window, "かんじ", 0, 3);
    text::CandidateList list;
    for (int i = 0; i < 12; ++i) list.candidates.push_back(i == 10 ? "かんじ" : "候補" + std::to_string(i));
    list.selection = 10;   // the second page: candidates 9, 10, 11
    ime_->ShowCandidates(window, list);
    Pump();
    ASSERT_EQ(field_.Draw(100, 50, 16, 1.0f, kColour), 1);
    EXPECT_EQ(Glyphs(), "|かんじ");   // not shown until switched on

    field_.SetCandidateDisplay(1);
    fake_->ClearLog();
    ASSERT_EQ(field_.Draw(100, 50, 16, 1.0f, kColour), 1);
    const std::vector<Drawn> d = Draws();
    const std::string kinds = Kinds();
    // Cursor; two panels; number and candidate per row (the clause's own
    // candidate over a highlight); two outlines; the clause with its boxes.
    EXPECT_EQ(Glyphs(), "|1候補92かんじ3候補11かんじ");
    EXPECT_EQ(kinds.substr(0, 3), "sbb");
    EXPECT_EQ(kinds.substr(kinds.size() - 8), "oobsbsbs");
    EXPECT_EQ(std::make_pair(d[1].s.colour, d[2].s.colour), std::make_pair(0xFFC0C0C0u, 0xFFFFFFFFu));
    EXPECT_EQ(d[1].s.x + d[1].s.w, d[2].s.x);   // side by side
    EXPECT_GE(d[1].s.y, 50.0f + 17.0f);         // below the line
    size_t highlights = 0;
    for (const Drawn& one : d) highlights += one.kind == 'b' && one.s.colour == 0xFF8080FFu;
    EXPECT_EQ(highlights, 3u);            // behind each character of "かんじ" in the list

    // Closed, it goes.
    ime_->HideCandidates(window);
    Pump();
    fake_->ClearLog();
    field_.Draw(100, 50, 16, 1.0f, kColour);
    EXPECT_EQ(Glyphs(), "|かんじ");
}

TEST_F(ImeDraw, TheSimpleAndClippedFormsDrawOnlyUpToTheCursor)
{
    field_.SetText("abc");
    field_.HandleMessage(Window(), win::kWmKeyDown, win::kVkLeft, 0);
    ime_->Compose(Window(), "かな", 2);
    Pump();
    ASSERT_EQ(field_.DrawSimple(100, 50, 16, 1.0f, kColour), 1);
    EXPECT_EQ(Glyphs(), "ab|");
    for (const Sprite& p : Sprites()) EXPECT_EQ(p.colour, kColour);

    fake_->ClearLog();
    ASSERT_EQ(field_.DrawClipped(100, 50, 16, 1.0f, 105, kColour), 1);
    const std::vector<Sprite> p = Sprites();
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(std::make_pair(p[1].x, p[1].y), std::make_pair(100.0f, 70.0f));

    // Disabled, they still draw the text, without the cursor.
    field_.Enable(0);
    field_.SetText("ab");
    fake_->ClearLog();
    EXPECT_EQ(field_.DrawSimple(100, 50, 16, 1.0f, kColour), 1);
    EXPECT_EQ(Glyphs(), "ab");
}

TEST_F(ImeDraw, NothingIsDrawnWhileDisabledOrWithoutAFont)
{
    field_.SetText("ab");
    CImeInput bare;
    bare.Create(kImeBufferSize);
    bare.Enable(1);
    EXPECT_EQ(bare.Draw(0, 0, 16, 1.0f, kColour), 0);
    EXPECT_EQ(bare.DrawSimple(0, 0, 16, 1.0f, kColour), 0);
    EXPECT_EQ(field_.DrawWithFont(nullptr, 0, 0, 16, 1.0f, kColour), 0);
    // An explicit font stands in for the field's own.
    EXPECT_EQ(bare.DrawWithFont(&font_, 0, 0, 16, 1.0f, kColour), 1);
    field_.Enable(0);
    EXPECT_EQ(field_.Draw(0, 0, 16, 1.0f, kColour), 0);
    EXPECT_EQ(field_.DrawWrapped(0, 0, 16, 1.0f, 100, kColour), 0);
    EXPECT_EQ(Glyphs(), "|");
}

TEST_F(ImeDraw, TheCursorBlinksOncePerDrawnFrame)
{
    std::vector<u32> colours;
    for (int frame = 0; frame < 61; ++frame) {
        fake_->ClearLog();
        field_.Draw(0, 0, 16, 1.0f, kColour);
        colours.push_back(Sprites().back().colour);
    }
    // Shown for frames 0..28, hidden for 29..58, shown again from 59.
    EXPECT_EQ((std::vector<u32>{colours[0], colours[28], colours[29], colours[58], colours[59]}),
              (std::vector<u32>{kColour, kColour, 0, 0, kColour}));
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
