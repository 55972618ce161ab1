// The real glyph backend with the installed IPA Gothic font file pinned, so
// metrics and bitmaps are stable; and fontconfig's choice for the Windows
// face names the game uses.
#include "host/text/TextBackend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

namespace ORV_TEST_FILE_ID {

// fontconfig loses a block of its own while it reads its configuration,
// once per process; LeakSanitizer (the sanitizer build) is told so.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

}  // namespace ORV_TEST_FILE_ID

namespace host::text {
namespace ORV_TEST_FILE_ID {

namespace {

constexpr const char* kIpaGothic = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
constexpr const char* kIpaPGothic = "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf";

std::unique_ptr<Font> PinnedFont(int32_t height, int32_t weight = kFwNormal) {
    InstallGlyphBackend(CreateFreeTypeBackend(kIpaGothic));
    FontDesc desc;
    desc.height = height;
    desc.weight = weight;
    desc.pitchAndFamily = kFixedPitch | kFfModern;
    desc.face = "ＭＳ　ゴシック";
    return CreateFont(desc);
}

struct Glyph {
    GlyphMetrics metrics;
    std::vector<uint8_t> bytes;
    uint32_t stride() const { return (metrics.blackBoxX + 3) & ~3u; }
    uint8_t at(uint32_t row, uint32_t column) const { return bytes[row * stride() + column]; }
};

Glyph Render(Font& font, uint32_t code) {
    Glyph g;
    uint32_t size = font.GetGlyphOutline(code, g.metrics, nullptr, 0);
    EXPECT_NE(size, kGdiError) << std::hex << code;
    if (size == kGdiError) return g;
    g.bytes.assign(size, 0xEE);
    EXPECT_EQ(font.GetGlyphOutline(code, g.metrics, g.bytes.data(), size), size);
    return g;
}

TEST(FreeTypeFonts, WindowsFaceNamesResolveToTheInstalledIpaFonts) {
    UseRealGlyphs();
    struct Case { const char* face; uint8_t pitch; const char* file; } cases[] = {
        {"ＭＳ　ゴシック", kFixedPitch | kFfModern, kIpaGothic},
        {"ＭＳ Ｐゴシック", 0, kIpaPGothic},
        {"IPAPGothic", kFixedPitch, kIpaPGothic},   // an installed family by its own name
    };
    for (const Case& c : cases) {
        FontDesc desc;
        desc.height = 32;
        desc.weight = kFwHeavy;
        desc.pitchAndFamily = c.pitch;
        desc.face = c.face;
        auto font = CreateFont(desc);
        ASSERT_NE(font, nullptr) << c.face;
        EXPECT_EQ(font->Source(), c.file) << c.face;
    }

    // A face nobody has still draws Japanese, not the missing-glyph box.
    FontDesc desc;
    desc.height = 32;
    desc.face = "Tahoma";
    auto font = CreateFont(desc);
    ASSERT_NE(font, nullptr);
    EXPECT_NE(Render(*font, 0x82A0).bytes, Render(*font, 0xF040).bytes);
}

TEST(FreeTypeFonts, MetricsOfThePinnedFontAtTheSizesInUse) {
    // Height, ascent, descent, internal, external, average, widest.
    struct Case { int32_t height, weight; TextMetrics expected; } cases[] = {
        {32, kFwNormal, {32, 26, 6, 2, 0, 15, 30}},
        {-30, kFwNormal, {32, 26, 6, 2, 0, 15, 30}},   // the em asked for directly
        {32, kFwHeavy, {32, 26, 6, 2, 0, 16, 31}},     // emboldened: one pixel wider
        {24, kFwHeavy, {23, 19, 4, 1, 0, 12, 23}},
        {20, kFwHeavy, {21, 17, 4, 2, 0, 11, 20}},
        {18, kFwNormal, {18, 15, 3, 1, 0, 9, 17}},
        {16, kFwNormal, {16, 13, 3, 1, 0, 8, 15}},
        {0, kFwNormal, {16, 13, 3, 1, 0, 8, 15}},      // the default height
    };
    for (const Case& c : cases) {
        auto font = PinnedFont(c.height, c.weight);
        ASSERT_NE(font, nullptr);
        const TextMetrics& tm = font->Metrics();
        const TextMetrics& e = c.expected;
        SCOPED_TRACE(testing::Message() << "height " << c.height << " weight " << c.weight);
        EXPECT_EQ(std::tie(tm.height, tm.ascent, tm.descent, tm.internalLeading, tm.externalLeading, tm.aveCharWidth,
                           tm.maxCharWidth),
                  std::tie(e.height, e.ascent, e.descent, e.internalLeading, e.externalLeading, e.aveCharWidth,
                           e.maxCharWidth));
        EXPECT_EQ(tm.weight, c.weight);
        EXPECT_EQ(tm.charset, kShiftJisCharset);
        EXPECT_EQ(font->Source(), kIpaGothic);
    }
}

TEST(FreeTypeGlyphs, KnownGlyphsHaveStableMetrics) {
    struct Case { uint32_t code; int32_t weight; uint32_t boxX, boxY; int32_t originX, originY, advance; } cases[] = {
        {0x88EA, kFwNormal, 26, 2, 2, 13, 30},    // 一
        {0x8CFB, kFwNormal, 22, 21, 4, 21, 30},   // 口
        {0x82A0, kFwNormal, 24, 25, 3, 24, 30},   // あ
        {0x41, kFwNormal, 15, 21, 0, 23, 15},     // A
        {0x67, kFwNormal, 12, 19, 1, 16, 15},     // g reaches below the baseline
    };
    for (const Case& c : cases) {
        auto font = PinnedFont(32, c.weight);
        ASSERT_NE(font, nullptr);
        GlyphMetrics gm;
        SCOPED_TRACE(testing::Message() << std::hex << c.code << std::dec << " weight " << c.weight);
        font->GetGlyphOutline(c.code, gm, nullptr, 0);
        EXPECT_EQ(std::tie(gm.blackBoxX, gm.blackBoxY, gm.originX, gm.originY, gm.cellIncX),
                  std::tie(c.boxX, c.boxY, c.originX, c.originY, c.advance));
        EXPECT_EQ(gm.cellIncY, 0);
    }
}

// Places a string's glyphs on one line the way a glyph atlas does: each
// bitmap at the pen plus its origin, rows counted down from the ascent.
struct Canvas {
    int32_t width, height;
    std::vector<uint8_t> levels;
    uint8_t at(int32_t x, int32_t y) const { return levels[y * width + x]; }
};

Canvas Draw(Font& font, const std::vector<uint32_t>& codes) {
    Canvas canvas{0, font.Metrics().height, {}};
    std::vector<Glyph> glyphs;
    for (uint32_t code : codes) {
        glyphs.push_back(Render(font, code));
        canvas.width += glyphs.back().metrics.cellIncX;
    }
    canvas.levels.assign(canvas.width * canvas.height, 0);
    int32_t pen = 0;
    for (const Glyph& g : glyphs) {
        for (uint32_t r = 0; r < g.metrics.blackBoxY; ++r) {
            for (uint32_t c = 0; c < g.metrics.blackBoxX; ++c) {
                int32_t x = pen + g.metrics.originX + static_cast<int32_t>(c);
                int32_t y = font.Metrics().ascent - g.metrics.originY + static_cast<int32_t>(r);
                EXPECT_TRUE(x >= 0 && x < canvas.width && y >= 0 && y < canvas.height) << x << "," << y;
                if (x < 0 || x >= canvas.width || y < 0 || y >= canvas.height) continue;
                canvas.levels[y * canvas.width + x] = g.at(r, c);
            }
        }
        pen += g.metrics.cellIncX;
    }
    return canvas;
}

TEST(FreeTypeGlyphs, AJapaneseStringHasInkWhereItsGlyphsAreAndNowhereElse) {
    auto font = PinnedFont(32, kFwHeavy);
    ASSERT_NE(font, nullptr);
    Size extent;
    ASSERT_TRUE(font->GetTextExtent("一　口", extent));
    Canvas canvas = Draw(*font, {0x88EA, 0x8140, 0x8CFB});   // 一, the full-width space, 口
    ASSERT_EQ(canvas.width, extent.cx);
    ASSERT_EQ(canvas.width, 3 * 31);

    auto count = [&](int32_t x0, int32_t x1, int32_t y0, int32_t y1, auto predicate) {
        int n = 0;
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x) n += predicate(canvas.at(x, y)) ? 1 : 0;
        return n;
    };
    auto ink = [](uint8_t v) { return v > 0; };
    auto solid = [](uint8_t v) { return v == 64; };

    // 一: a horizontal band two rows high across the cell, solid along its length.
    EXPECT_EQ(count(0, 31, 0, 13, ink), 0);
    EXPECT_EQ(count(0, 31, 15, 32, ink), 0);
    EXPECT_EQ(count(4, 27, 13, 15, solid), 2 * 23);
    // The full-width space: nothing.
    EXPECT_EQ(count(31, 62, 0, 32, ink), 0);
    // 口: a frame with an empty inside, nothing above or below it.
    EXPECT_EQ(count(62, 93, 0, 5, ink), 0);
    EXPECT_EQ(count(62, 93, 26, 32, ink), 0);
    EXPECT_EQ(count(62 + 4 + 4, 62 + 4 + 19, 5 + 2, 5 + 17, ink), 0);
    EXPECT_EQ(count(62 + 4 + 1, 62 + 4 + 22, 5, 7, solid), 2 * 21);
    EXPECT_GE(count(62 + 4, 62 + 8, 7, 22, solid), 2 * 15);    // the left stroke
    EXPECT_GE(count(62 + 22, 62 + 27, 7, 22, solid), 2 * 15);  // the right stroke
}

// Levels run from 0 to 64 with edges between; the box is tight: ink reaches
// each of its edges.
TEST(FreeTypeGlyphs, GreyLevelsRunFromZeroTo64InATightBox) {
    auto font = PinnedFont(24, kFwHeavy);
    ASSERT_NE(font, nullptr);
    std::vector<int> seen(256, 0);
    for (uint32_t code : {0x82A0u, 0x82E9u, 0x8E9Au, 0x8ABFu, 0x41u, 0x67u, 0xB1u}) {   // あ る 字 漢 A g ｱ
        Glyph g = Render(*font, code);
        ASSERT_FALSE(g.bytes.empty());
        const uint32_t w = g.metrics.blackBoxX, h = g.metrics.blackBoxY;
        int top = 0, bottom = 0, left = 0, right = 0;
        for (uint32_t r = 0; r < h; ++r)
            for (uint32_t c = 0; c < w; ++c) {
                const bool ink = g.at(r, c) > 0;
                ++seen[g.at(r, c)];
                top += ink && r == 0, bottom += ink && r == h - 1, left += ink && c == 0, right += ink && c == w - 1;
            }
        EXPECT_TRUE(top && bottom && left && right) << std::hex << code;
    }
    EXPECT_EQ(std::count(seen.begin() + 65, seen.end(), 0), 256 - 65);
    EXPECT_GT(seen[64], 0);
    EXPECT_GT(std::accumulate(seen.begin() + 1, seen.begin() + 64, 0), 0);
}

TEST(FreeTypeGlyphs, MissingCharactersDrawTheMissingGlyphBox) {
    auto font = PinnedFont(32);
    ASSERT_NE(font, nullptr);
    // A user-defined character and ∑ are not in the font: its missing-glyph box.
    Glyph missing = Render(*font, 0xF040);
    EXPECT_EQ(missing.metrics.blackBoxX, 24u);
    EXPECT_EQ(missing.metrics.blackBoxY, 29u);
    EXPECT_EQ(Render(*font, 0x8794).bytes, missing.bytes);
    // Which codes draw code page 932's default, and the size and padding
    // of the bitmaps, are the font layer's (FontTest).
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::text
