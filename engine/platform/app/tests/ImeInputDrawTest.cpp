// The text entry drawn through a font texture on the fake render device and
// the fake glyphs (a 32-pixel font drawn at 16: a narrow character is a
// sprite 8.5 pixels wide, "|" included), with compositions and candidate
// lists scripted on the fake input method.
#include "engine/platform/app/ImeInput.h"

#include "engine/graphics/FontTexture.h"
#include "engine/graphics/Shapes2D.h"
#include "engine/graphics/tests/DrawTestSupport.h"
#include "host/text/FakeText.h"

#include <string>
#include <vector>

namespace {

namespace render = host::render;
namespace text = host::text;
namespace win = host::window;

constexpr u32 kColour = 0xFF102030u;
constexpr f32 kW = 8.5f;

// One draw as the fake recorded it: a glyph sprite (with the text it shows),
// a filled box, or an outline.
struct Piece {
    char kind;   // 's' sprite, 'b' box, 'o' outline
    f32 x, y, w, h;
    u32 colour;
    std::string glyph;   // sprites: the cached string of its atlas rectangle

    bool operator==(const Piece&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Piece& p)
{
    return os << p.kind << "'" << host::kernel::Cp932ToUtf8(p.glyph) << "'(" << p.x << "," << p.y << " " << p.w << "x"
              << p.h << " " << std::hex << p.colour << std::dec << ")";
}

class ImeDraw : public draw_test::DrawTest {
protected:
    void SetUp() override
    {
        DrawTest::SetUp();
        text::InstallFakeGlyphs();
        ime_ = &text::InstallFakeIme();
        ASSERT_EQ(font_.Create(512, 512, render::kFormatA8R8G8B8, "ＭＳ　ゴシック", 32), 1);
        ASSERT_EQ(field_.Create(kImeBufferSize), 1);
        field_.SetMode(2, 20.0f, 40);
        field_.SetFontTexture(&font_);
        field_.HandleMessage(system_.GetWindowHandle(), win::kWmActivate, 0, 0);
        field_.Enable(1);
        fake_->ClearLog();
    }
    void TearDown() override
    {
        font_.Release();
        text::InstallGlyphBackend(nullptr);
        DrawTest::TearDown();
    }

    // The input method's messages go to the field, as the window procedure
    // hands them over.
    void Pump()
    {
        win::Message m;
        while (win::PeekMessage(m))
            if (m.window) field_.HandleMessage(m.window, m.message, m.wParam, m.lParam);
    }

    std::string GlyphAt(f32 u, f32 v) const
    {
        for (u32 i = 0; i < font_.GetCachedCount(); ++i) {
            const FontCacheEntry* e = font_.GetCachedEntry(i);
            if (u == f32(e->x) / 512.0f && v == f32(e->y) / 512.0f) return e->text;
        }
        return "?";
    }

    std::vector<Piece> Pieces() const
    {
        std::vector<Piece> out;
        for (const render::Call& c : fake_->Find(render::CallMatch("DrawPrimitiveUP"))) {
            if (c.U32("fvf") == kFvfSprite) {
                std::vector<SpriteVertex> v(c.data.size() / sizeof(SpriteVertex));
                std::memcpy(static_cast<void*>(v.data()), c.data.data(), v.size() * sizeof(SpriteVertex));
                out.push_back({'s', v[0].x, v[0].y, v[1].x - v[0].x, v[3].y - v[0].y, v[0].colour,
                               GlyphAt(v[0].u, v[0].v)});
            } else {
                std::vector<ColorVertex> v(c.data.size() / sizeof(ColorVertex));
                std::memcpy(static_cast<void*>(v.data()), c.data.data(), v.size() * sizeof(ColorVertex));
                out.push_back({v.size() == 5 ? 'o' : 'b', v[0].x, v[0].y, v[1].x - v[0].x, v[2].y - v[0].y,
                               v[0].colour, ""});
            }
        }
        return out;
    }

    // The glyphs drawn, in order.
    std::string Glyphs() const
    {
        std::string out;
        for (const Piece& p : Pieces())
            if (p.kind == 's') out += p.glyph;
        return out;
    }

    text::FakeIme* ime_ = nullptr;
    CFontTexture font_;
    CImeInput field_;
};

TEST_F(ImeDraw, TheTextIsDrawnAroundACursorCentredOnTheCaret)
{
    field_.SetText("abcd");
    field_.HandleMessage(system_.GetWindowHandle(), win::kWmKeyDown, win::kVkLeft, 0);
    field_.HandleMessage(system_.GetWindowHandle(), win::kWmKeyDown, win::kVkLeft, 0);
    ASSERT_EQ(field_.Draw(100, 50, 16, 1.0f, kColour), 1);
    const std::vector<Piece> want = {
        {'s', 100, 50, kW, 17, kColour, "a"},
        {'s', 108.5f, 50, kW, 17, kColour, "b"},
        {'s', 117 - kW / 2, 50, kW, 17, kColour, "|"},   // half its width left of the caret
        {'s', 117 + kW / 2, 50, kW, 17, kColour, "c"},
        {'s', 125.5f + kW / 2, 50, kW, 17, kColour, "d"},
    };
    EXPECT_EQ(Pieces(), want);
}

TEST_F(ImeDraw, LinesBreakAtLineFeedsAndTheLineWidthAndPastTheWrapWidth)
{
    // Lines 20 pixels apart (the field's font size) and 40 bytes long.
    field_.SetText("ab\ncd");
    ASSERT_EQ(field_.Draw(100, 50, 16, 1.0f, kColour), 1);
    std::vector<Piece> p = Pieces();
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(std::make_pair(p[2].x, p[2].y), std::make_pair(100.0f, 70.0f));   // "c" starts line 2
    EXPECT_EQ(p[4].glyph, "|");

    fake_->ClearLog();
    field_.SetText("abcde");
    ASSERT_EQ(field_.DrawWrapped(100, 50, 16, 1.0f, 110, kColour), 1);
    p = Pieces();
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(std::make_pair(p[1].x, p[1].y), std::make_pair(108.5f, 50.0f));
    EXPECT_EQ(std::make_pair(p[2].x, p[2].y), std::make_pair(100.0f, 70.0f));   // past x 110

    fake_->ClearLog();
    field_.SetMode(2, 20.0f, 3);
    field_.SetText("abcd");
    ASSERT_EQ(field_.Draw(100, 50, 16, 1.0f, kColour), 1);
    p = Pieces();
    EXPECT_EQ(std::make_pair(p[3].x, p[3].y), std::make_pair(100.0f, 70.0f));   // after three bytes
}

TEST_F(ImeDraw, TheCompositionFollowsTheCursorWithItsClauseHighlighted)
{
    field_.SetText("ab");
    ime_->Compose(system_.GetWindowHandle(), "かな", 2);
    Pump();
    ASSERT_EQ(field_.Draw(100, 50, 16, 1.0f, kColour), 1);
    EXPECT_EQ(Glyphs(), "ab|かな");
    for (const Piece& p : Pieces()) EXPECT_EQ(p.kind, 's');

    // Converting the first two of four characters: a box behind each of them.
    fake_->ClearLog();
    ime_->Compose(system_.GetWindowHandle(), "漢字です", 0, 2);
    Pump();
    ASSERT_EQ(field_.Draw(100, 50, 16, 1.0f, kColour), 1);
    EXPECT_EQ(Glyphs(), "ab|漢字です");
    std::string kinds;
    for (const Piece& p : Pieces()) kinds += p.kind;
    EXPECT_EQ(kinds, "sssbsbsss");
    const std::vector<Piece> p = Pieces();
    EXPECT_EQ(p[3].colour, 0x800000FFu);
    EXPECT_EQ(std::make_pair(p[3].x, p[3].w), std::make_pair(p[4].x, p[4].w));   // the box under its glyph
}

TEST_F(ImeDraw, TheCandidatePanelOpensBelowTheClauseOnceSwitchedOn)
{
    const win::Handle window = system_.GetWindowHandle();
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
    const std::vector<Piece> p = Pieces();
    std::string kinds, glyphs;
    for (const Piece& one : p) {
        kinds += one.kind;
        if (one.kind == 's') glyphs += one.glyph;
    }
    // Cursor; two panels; number and candidate per row (the clause's own
    // candidate over a highlight); two outlines; the clause with its boxes.
    EXPECT_EQ(glyphs, "|1候補92かんじ3候補11かんじ");
    EXPECT_EQ(kinds.substr(0, 3), "sbb");
    EXPECT_EQ(kinds.substr(kinds.size() - 8), "oobsbsbs");
    EXPECT_EQ(p[1].colour, 0xFFC0C0C0u);
    EXPECT_EQ(p[2].colour, 0xFFFFFFFFu);
    EXPECT_EQ(p[1].x + p[1].w, p[2].x);   // side by side
    EXPECT_GE(p[1].y, 50.0f + 17.0f);     // below the line
    size_t highlights = 0;
    for (const Piece& one : p) highlights += one.kind == 'b' && one.colour == 0xFF8080FFu;
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
    field_.HandleMessage(system_.GetWindowHandle(), win::kWmKeyDown, win::kVkLeft, 0);
    ime_->Compose(system_.GetWindowHandle(), "かな", 2);
    Pump();
    ASSERT_EQ(field_.DrawSimple(100, 50, 16, 1.0f, kColour), 1);
    EXPECT_EQ(Glyphs(), "ab|");
    for (const Piece& p : Pieces()) EXPECT_EQ(p.colour, kColour);

    fake_->ClearLog();
    ASSERT_EQ(field_.DrawClipped(100, 50, 16, 1.0f, 105, kColour), 1);
    const std::vector<Piece> p = Pieces();
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
        colours.push_back(Pieces().back().colour);
    }
    EXPECT_EQ(colours[0], kColour);
    EXPECT_EQ(colours[28], kColour);
    EXPECT_EQ(colours[29], 0u);
    EXPECT_EQ(colours[58], 0u);
    EXPECT_EQ(colours[59], kColour);
}

}  // namespace
