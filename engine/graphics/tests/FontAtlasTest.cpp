// The glyph atlas: what rendering a string writes where, rows and a full
// atlas, writes kept inside each string's rectangle whatever the glyphs'
// metrics, the font's creation and copies; and a Japanese string under the
// real glyph backend with the pinned IPA Gothic font.
#include "engine/graphics/tests/FontTestSupport.h"

#include "host/text/TextBackend.h"

#include <functional>


namespace ORV_TEST_FILE_ID {

namespace {

using namespace font_test;

constexpr const char* kIpaGothic = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";

// The expected texels of a rectangle holding solid boxes of ink.
std::vector<u32> Boxes(u32 width, u32 height, const std::vector<render::Rect>& ink)
{
    std::vector<u32> out(size_t(width) * height, 0);
    for (const render::Rect& r : ink)
        for (i32 y = r.top; y < r.bottom; ++y)
            for (i32 x = r.left; x < r.right; ++x) out[size_t(y) * width + x] = kWhite;
    return out;
}

bool SameEntry(const FontCacheEntry* e, u32 x, u32 y, u32 w, u32 h)
{
    return e && e->x == x && e->y == y && e->width == w && e->height == h;
}

class FontAtlas : public FontTest {};

TEST_F(FontAtlas, ACharacterIsRenderedOnceAsWhiteInkInsideItsRectangle)
{
    MakeFont();
    const text::FontDesc& asked = glyphs_->Requests().back();
    EXPECT_EQ(asked.face, host::kernel::Cp932ToUtf8(kFace));
    EXPECT_EQ(asked.weight, 900);
    ASSERT_EQ(font_.CacheText("A", 0, 0), 1);
    EXPECT_TRUE(SameEntry(font_.FindCachedText("A"), 0, 0, 17, 34));
    EXPECT_EQ(Texels(0, 0, 17, 34), Boxes(17, 34, {{1, 1, 15, 31}}));
    EXPECT_EQ(font_.CacheText("A", 0, 0), 1);
    EXPECT_EQ(font_.GetCachedCount(), 1u);
    ASSERT_EQ(font_.CacheText("漢", 0, 0), 1);
    EXPECT_TRUE(SameEntry(font_.FindCachedText("漢"), 17, 0, 33, 34));
}

TEST_F(FontAtlas, SpacesAdvanceByHalfOrAllOfTheWidestCharacter)
{
    MakeFont();
    const struct {
        const char* text;
        u32 minCharWidth;
        u32 width;
    } rows[] = {
        {" ", 0, 16 + 2},
        {"　", 0, 32 + 2},   // full-width space
        {"　　", 40, 40 + 40 + 2},
        {"A ", 0, 15 + 16 + 2},
        {"B", 20, 21 + 2},    // a wider minimum moves the next character, not the ink
        {"A\x88", 0, 15 + 31 + 2},  // a lone lead byte at the end: the default character
    };
    for (const auto& row : rows) {
        ASSERT_EQ(font_.CacheText(row.text, row.minCharWidth, 0), 1) << row.text;
        EXPECT_EQ(font_.FindCachedText(row.text)->width, row.width) << row.text;
    }
}

TEST_F(FontAtlas, TheLinesOfAStringStackInsideItsRectangle)
{
    MakeFont();
    for (const char* s : {"A\nB", "C\r\nD", "E\rF"}) {
        SCOPED_TRACE(s);
        const u32 x = font_.GetPenX(), y = font_.GetPenY();
        ASSERT_EQ(font_.CacheText(s, 0, 0), 1);
        EXPECT_TRUE(SameEntry(font_.FindCachedText(s), x, y, 17, 32 + 32 + 2));
        EXPECT_EQ(Texels(x, y, x + 17, y + 66), Boxes(17, 66, {{1, 1, 15, 31}, {1, 33, 15, 63}}));
        // The pen waits on the string's last line.
        EXPECT_EQ(font_.GetPenY(), y + 32);
    }
    // A taller minimum line.
    const u32 x = font_.GetPenX(), y = font_.GetPenY();
    ASSERT_EQ(font_.CacheText("G\nH", 0, 40), 1);
    EXPECT_EQ(Texels(x, y, x + 17, y + 82), Boxes(17, 82, {{1, 1, 15, 31}, {1, 41, 15, 71}}));
}

TEST_F(FontAtlas, RowsWrapAndAFullAtlasCachesNothingMore)
{
    // 64 wide: three 17-texel characters to a row; 128 high with a font
    // height kept free below the last row: rows at 0 and 34 only.
    MakeFont(64, 128);
    for (const char* s : {"A", "B", "C", "D", "E", "F"}) ASSERT_EQ(font_.CacheText(s, 0, 0), 1) << s;
    EXPECT_TRUE(SameEntry(font_.FindCachedText("C"), 34, 0, 17, 34));
    EXPECT_TRUE(SameEntry(font_.FindCachedText("D"), 0, 34, 17, 34));
    const std::vector<u32> before = Texels(0, 0, 64, 128);
    EXPECT_EQ(font_.CacheText("G", 0, 0), 0);
    EXPECT_EQ(font_.FindCachedText("G"), nullptr);
    EXPECT_EQ(Texels(0, 0, 64, 128), before);
    // Drawing a character that cannot be cached fails.
    EXPECT_EQ(font_.DrawTextEx(0, 0, 0, 0, 0, 0, kWhite, 32, 1.0f, "G", kTextTopLeft, nullptr, nullptr), 0);
}

TEST_F(FontAtlas, StringsTooLargeForTheAtlasAreRefusedWhole)
{
    MakeFont(64, 128);
    ASSERT_EQ(font_.CacheText("ABCD", 0, 0), 1);        // 4 x 15 + 2 = 62 of 64
    EXPECT_EQ(font_.CacheText("ABCDE", 0, 0), 0);       // wider than the atlas
    EXPECT_EQ(font_.CacheText("A\nB\nC", 0, 0), 0);     // a new row at 34: lines past the bottom
    ASSERT_EQ(font_.CacheText("A\nB", 0, 0), 1);        // 34 + 66 fits
    EXPECT_TRUE(SameEntry(font_.FindCachedText("A\nB"), 0, 34, 17, 66));
}

// Glyphs whose metrics reach outside their cells.
class OddFace : public text::Face {
public:
    text::TextMetrics Metrics() override
    {
        text::TextMetrics m;
        m.height = 32, m.ascent = 24, m.descent = 8, m.maxCharWidth = 32, m.aveCharWidth = 16;
        return m;
    }
    bool Render(char32_t cp, text::GlyphMetrics& m, std::vector<uint8_t>& levels) override
    {
        m = text::GlyphMetrics{};
        m.blackBoxX = 10, m.blackBoxY = 20, m.originX = 1, m.originY = 22, m.cellIncX = 12;
        switch (cp) {
        case 'L': m.originX = -4; break;                     // left of the pen
        case 'T': m.originY = 30; break;                     // above the cell
        case 'D': m.blackBoxY = 60; break;                   // below the cell
        case 'W': m.blackBoxX = 13, m.originX = -6; break;   // its padding past the advance
        default: break;
        }
        levels.assign(size_t(m.blackBoxX) * m.blackBoxY, text::kGreyLevels);
        return true;
    }
    bool Advance(char32_t, int32_t& advance) override
    {
        advance = 12;
        return true;
    }
    std::string Source() const override { return "odd"; }
};

class OddGlyphs : public text::GlyphBackend {
public:
    std::unique_ptr<text::Face> OpenFace(const text::FontDesc&) override { return std::make_unique<OddFace>(); }
};

TEST_F(FontAtlas, GlyphsReachingOutOfTheirCellsWriteOnlyInsideTheirString)
{
    text::InstallGlyphBackend(std::make_unique<OddGlyphs>());
    MakeFont(64, 256);
    // Rows of four: the odd glyphs have neighbours on every side.
    struct Kept {
        render::Rect rect;
        std::vector<u32> texels;   // as they were right after rendering
    };
    std::vector<Kept> kept;
    for (const char* s : {"a", "b", "c", "d", "e", "L", "T", "f", "g", "D", "W", "h", "i", "j", "k", "l", "LTDW", "m"}) {
        ASSERT_EQ(font_.CacheText(s, 0, 0), 1) << s;
        const FontCacheEntry& e = *font_.FindCachedText(s);
        kept.push_back({{i32(e.x), i32(e.y), i32(e.x + e.width), i32(e.y + e.height)},
                        Texels(e.x, e.y, e.x + e.width, e.y + e.height)});
    }
    // No later glyph wrote into an earlier string, nor anywhere else.
    std::vector<render::Rect> rects;
    for (const Kept& k : kept) {
        const render::Rect& r = k.rect;
        EXPECT_EQ(Texels(r.left, r.top, r.right, r.bottom), k.texels) << r.left << "," << r.top;
        rects.push_back(r);
    }
    std::string stray;
    EXPECT_TRUE(InkOnlyIn(rects, stray)) << stray;
}

TEST_F(FontAtlas, AGlyphThatCannotBeRenderedCachesNothing)
{
    MakeFont();
    glyphs_->FailGlyph(U'B');
    EXPECT_EQ(font_.CacheText("ABC", 0, 0), 0);
    EXPECT_EQ(font_.GetCachedCount(), 0u);
    // Drawing stops at it; what came before stays drawn.
    EXPECT_EQ(font_.DrawTextEx(0, 0, 0, 0, 0, 0, kWhite, 32, 1.0f, "AB", kTextTopLeft, nullptr, nullptr), 0);
    EXPECT_EQ(Sprites().size(), 1u);
}

TEST_F(FontAtlas, CreateTriesADynamicAtlasThenAManagedOneAndNeedsTheFont)
{
    ASSERT_EQ(font_.Create(128, 64, render::kFormatA8R8G8B8, kFace, 24), 1);

    fake_->FailCall("CreateTexture", 1, render::Result::OutOfMemory);
    ASSERT_EQ(font_.Create(128, 64, render::kFormatA8R8G8B8, kFace, 24), 1);
    EXPECT_EQ(font_.GetPool(), render::kPoolManaged);

    fake_->FailCall("CreateTexture", 1, render::Result::OutOfMemory, 2);
    EXPECT_EQ(font_.Create(128, 64, render::kFormatA8R8G8B8, kFace, 24), 0);
    glyphs_->FailFonts();
    EXPECT_EQ(font_.Create(128, 64, render::kFormatA8R8G8B8, kFace, 24), 0);
    EXPECT_EQ(font_.CacheText("A", 0, 0), 0);
}

TEST_F(FontAtlas, ANewFontOrClearingEmptiesTheAtlasAndTheCache)
{
    MakeFont();
    ASSERT_EQ(font_.CacheText("AB", 0, 0), 1);
    // Glyphs of the old font would otherwise be found and drawn blank.
    ASSERT_EQ(font_.SetFont(kFace, -20), 1);
    EXPECT_EQ(font_.GetCachedCount(), 0u);
    std::string stray;
    ASSERT_EQ(font_.CacheText("A", 0, 0), 1);
    ASSERT_EQ(font_.ClearCache(), 1);
    EXPECT_EQ(font_.GetPenX(), 0u);
    EXPECT_TRUE(InkOnlyIn({}, stray)) << stray;
    // An atlas that cannot be cleared keeps the entries that match it.
    ASSERT_EQ(font_.CacheText("A", 0, 0), 1);
    fake_->FailCall("Texture.LockRect", 1, render::Result::InvalidCall, 2);
    EXPECT_EQ(font_.ClearCache(), 0);
    EXPECT_NE(font_.FindCachedText("A"), nullptr);
}

// An emptied cache starts its rows afresh: the first wrap after it steps
// by the tallest line cached since, not by one of before.
TEST_F(FontAtlas, AnEmptiedCacheForgetsItsTallestLine)
{
    const struct {
        const char* how;
        std::function<i32(CFontTexture&)> empty;
    } ways[] = {
        {"ClearCache", [](CFontTexture& f) { return f.ClearCache(); }},
        {"SetFont", [](CFontTexture& f) { return f.SetFont(kFace, 32); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        MakeFont();
        ASSERT_EQ(font_.CacheText("A", 0, 100), 1);
        EXPECT_EQ(font_.GetRowHeight(), 100u);
        ASSERT_EQ(way.empty(font_), 1);
        EXPECT_EQ(font_.GetRowHeight(), 0u);
        ASSERT_EQ(font_.CacheText(std::string(15, 'A').c_str(), 0, 0), 1);   // 227 of 256 wide
        ASSERT_EQ(font_.CacheText("AAA", 0, 0), 1);
        EXPECT_TRUE(SameEntry(font_.FindCachedText("AAA"), 0, 32 + 2, 47, 34));
    }
}

TEST_F(FontAtlas, CopiesShareTheAtlasAndWhatItHoldsWithAFontOfTheSameHeight)
{
    ASSERT_EQ(font_.Create(256, 256, render::kFormatA8R8G8B8, kFace, -24), 1);
    ASSERT_EQ(font_.CacheText("A", 0, 0), 1);
    CFontTexture* copy = static_cast<CFontTexture*>(font_.Clone());
    ASSERT_NE(copy, nullptr);
    // What one adds the other finds, instead of drawing over it.
    ASSERT_EQ(copy->CacheText("B", 0, 0), 1);
    ASSERT_NE(font_.FindCachedText("B"), nullptr);
    ASSERT_EQ(font_.CacheText("C", 0, 0), 1);
    EXPECT_EQ(font_.FindCachedText("C")->x, copy->FindCachedText("B")->x + copy->FindCachedText("B")->width);
    // Released, a copy leaves the other's atlas and entries alone.
    copy->Release();
    EXPECT_NE(font_.FindCachedText("B"), nullptr);
    delete copy;
    EXPECT_EQ(Texel(2, 2), kWhite);
}

// ---------------------------------------------------------------- the real font

TEST_F(FontAtlas, AJapaneseStringUnderIpaGothicHasInkExactlyWhereItsGlyphsGo)
{
    text::InstallGlyphBackend(text::CreateFreeTypeBackend(kIpaGothic));
    MakeFont(512, 256);
    ASSERT_NE(font_.GetFont(), nullptr);
    const char* s = "日本語";
    ASSERT_EQ(font_.CacheText(s, 0, 0), 1);
    const FontCacheEntry& e = *font_.FindCachedText(s);

    // Each glyph where its metrics put it, level for level.
    text::Font& font = *font_.GetFont();
    const text::TextMetrics tm = font.Metrics();
    std::vector<u32> want(size_t(e.width) * e.height, 0);
    i32 penX = 0;
    for (const char* p = s; *p; p += 2) {
        const u32 code = u32(u8(p[0])) << 8 | u8(p[1]);
        text::GlyphMetrics m;
        const u32 size = font.GetGlyphOutline(code, m, nullptr, 0);
        ASSERT_NE(size, text::kGdiError);
        std::vector<u8> levels(size);
        ASSERT_EQ(font.GetGlyphOutline(code, m, levels.data(), size), size);
        const u32 stride = (m.blackBoxX + 3) & ~3u;
        for (u32 r = 0; r < m.blackBoxY; ++r)
            for (u32 c = 0; c < m.blackBoxX; ++c) {
                const u32 level = levels[r * stride + c];
                const i32 x = penX + m.originX + i32(c), y = tm.ascent - m.originY + i32(r);
                ASSERT_TRUE(x >= 0 && y >= 0 && u32(x) < e.width && u32(y) < e.height);
                u32& texel = want[size_t(y) * e.width + x];
                if (level && level * 255 / 64 > texel >> 24) texel = (level * 255 / 64) << 24 | 0xFFFFFF;
            }
        penX += i32(m.blackBoxX) + m.originX;
    }
    EXPECT_EQ(e.width, u32(penX) + 2);
    EXPECT_EQ(Texels(e.x, e.y, e.x + e.width, e.y + e.height), want);
    std::string stray;
    EXPECT_TRUE(InkOnlyIn({{i32(e.x), i32(e.y), i32(e.x + e.width), i32(e.y + e.height)}}, stray)) << stray;
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
