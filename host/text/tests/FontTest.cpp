// The font service over the fake backend: the code page 932 edge, the
// Windows bitmap layout, the size query and the failures a backend reports.
#include "host/text/FakeText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace host::text {
namespace {

FontDesc Desc(int32_t height, std::string face = "ＭＳ　ゴシック") {
    FontDesc desc;
    desc.height = height;
    desc.weight = kFwHeavy;
    desc.pitchAndFamily = kFixedPitch | kFfModern;
    desc.face = std::move(face);
    return desc;
}

TEST(FontCodes, CodePage932CharacterCodesBecomeCodePoints) {
    struct Case {
        uint32_t code;
        char32_t codePoint;
    } cases[] = {
        {0x41, U'A'},
        {0x5C, U'\\'},       // the backslash, not the yen sign
        {0x7E, U'~'},
        {0xB1, U'ｱ'},        // half-width katakana
        {0x8140, U'　'},
        {0x82A0, U'あ'},
        {0x88EA, U'一'},
        {0x8160, U'～'},      // code page 932's wave dash
        {0x8740, U'①'},      // NEC special characters
        {0xFBFC, U'髙'},      // IBM extensions
        {0xF040, 0xE000},     // user-defined characters
        // Not characters of code page 932.
        {0x81, 0},            // a lead byte alone
        {0x8120, 0},          // a trail byte out of range
        {0x817F, 0},
        {0x81FD, 0},
        {0x4142, 0},          // two single-byte characters
        {0x10000, 0},
        {0x8540, 0},          // an unassigned row
    };
    for (const Case& c : cases) EXPECT_EQ(CodePoint(c.code), c.codePoint) << std::hex << c.code;
}

TEST(FontFaces, WindowsFaceNamesChooseTheFamiliesStandingInForThem) {
    struct Case {
        const char* face;   // UTF-8, as the backend gets it
        uint8_t pitch;
        const char* family;
        bool fixed;
    } cases[] = {
        {u8"ＭＳ　ゴシック", 0, "IPAGothic", true},
        {u8"ＭＳ ゴシック", 0, "IPAGothic", true},
        {"ms gothic", 0, "IPAGothic", true},
        {u8"ＭＳ Ｐゴシック", kFixedPitch, "IPAPGothic", false},   // the name decides, not the pitch
        {"MS UI Gothic", 0, "IPAPGothic", false},
        {"MSUIGothic", 0, "IPAPGothic", false},
        {u8"ＭＳ 明朝", 0, "IPAMincho", true},
        {u8"メイリオ", 0, "IPAPGothic", false},
        {"", kFixedPitch | kFfModern, "monospace", true},
        {"", 0, "sans-serif", false},
        {"IPAexGothic", 0, "IPAexGothic", false},                  // anything else as given
        {"Courier New", kFixedPitch, "Courier New", true},
    };
    for (const Case& c : cases) {
        FamilyChoice choice = FamilyForFace(c.face, c.pitch);
        EXPECT_EQ(choice.family, c.family) << c.face;
        EXPECT_EQ(choice.fixedPitch, c.fixed) << c.face;
    }
}

TEST(FontCreation, FaceNamesLeaveAsUtf8AndFailuresReachTheCaller) {
    FakeGlyphs& fake = InstallFakeGlyphs();
    fake.FailFonts();
    EXPECT_EQ(CreateFont(Desc(32)), nullptr);
    auto font = CreateFont(Desc(32));
    ASSERT_NE(font, nullptr);
    FontDesc weightless = Desc(-20, "MS UI Gothic");
    weightless.weight = 0;
    ASSERT_NE(CreateFont(weightless), nullptr);

    ASSERT_EQ(fake.Requests().size(), 3u);
    EXPECT_EQ(fake.Requests()[0].face, u8"ＭＳ　ゴシック");
    EXPECT_EQ(fake.Requests()[1].height, 32);
    EXPECT_EQ(fake.Requests()[1].weight, kFwHeavy);
    EXPECT_EQ(fake.Requests()[1].charset, kShiftJisCharset);
    EXPECT_EQ(fake.Requests()[1].pitchAndFamily, 0x31);
    EXPECT_EQ(fake.Requests()[2].face, "MS UI Gothic");
    EXPECT_EQ(fake.Requests()[2].weight, kFwNormal);   // 0 asks for the normal weight

}

TEST(GlyphOutline, SizeQueryThenBitmapInRowsPaddedToFourBytes) {
    InstallFakeGlyphs();
    auto font = CreateFont(Desc(16));
    ASSERT_NE(font, nullptr);

    // 'A' is narrow: a 6 x 14 box whose rows are padded to 8 bytes.
    GlyphMetrics gm;
    uint32_t size = font->GetGlyphOutline('A', gm, nullptr, 0);
    EXPECT_EQ(size, 8u * 14);
    EXPECT_EQ(gm.blackBoxX, 6u);
    EXPECT_EQ(gm.blackBoxY, 14u);
    EXPECT_EQ(gm.originX, 1);
    EXPECT_EQ(gm.originY, 11);
    EXPECT_EQ(gm.cellIncX, 8);

    std::vector<uint8_t> bitmap(size + 4, 0xEE);
    GlyphMetrics again;
    EXPECT_EQ(font->GetGlyphOutline('A', again, bitmap.data(), size), size);
    EXPECT_EQ(again.blackBoxX, gm.blackBoxX);
    for (uint32_t r = 0; r < 14; ++r)
        for (uint32_t c = 0; c < 8; ++c) EXPECT_EQ(bitmap[r * 8 + c], c < 6 ? 64 : 0) << r << "," << c;
    EXPECT_EQ(bitmap[size], 0xEE) << "nothing is written past the size";

    // One byte short: nothing is written.
    std::vector<uint8_t> small(size - 1, 0xEE);
    EXPECT_EQ(font->GetGlyphOutline('A', gm, small.data(), size - 1), kGdiError);
    EXPECT_EQ(small[0], 0xEE);

    // A wide character: 14 texels, a stride of 16.
    EXPECT_EQ(font->GetGlyphOutline(0x82A0, gm, nullptr, 0), 16u * 14);
    EXPECT_EQ(gm.cellIncX, 16);
}

TEST(GlyphOutline, GlyphsWithoutInkAreOneBlankTexel) {
    InstallFakeGlyphs();
    auto font = CreateFont(Desc(16));
    ASSERT_NE(font, nullptr);
    for (uint32_t code : {0x20u, 0x8140u}) {
        GlyphMetrics gm;
        uint32_t size = font->GetGlyphOutline(code, gm, nullptr, 0);
        ASSERT_EQ(size, 4u) << std::hex << code;
        EXPECT_EQ(gm.blackBoxX, 1u);
        EXPECT_EQ(gm.blackBoxY, 1u);
        EXPECT_EQ(gm.cellIncX, code == 0x20 ? 8 : 16);
        uint8_t bitmap[4];
        std::memset(bitmap, 0xEE, sizeof bitmap);
        EXPECT_EQ(font->GetGlyphOutline(code, gm, bitmap, sizeof bitmap), 4u);
        EXPECT_EQ(std::vector<uint8_t>(bitmap, bitmap + 4), std::vector<uint8_t>(4, 0));
    }
}

TEST(GlyphOutline, CodesOutsideCodePage932RenderItsDefaultCharacter) {
    FakeGlyphs& fake = InstallFakeGlyphs();
    auto font = CreateFont(Desc(16));
    ASSERT_NE(font, nullptr);
    // The fake fails "・" alone, so the failure shows which glyph was asked for.
    fake.FailGlyph(U'・');
    GlyphMetrics gm;
    for (uint32_t code : {0x8145u, 0x81u, 0x8120u, 0x8540u, 0x10000u, 0xFFFFFFFFu})
        EXPECT_EQ(font->GetGlyphOutline(code, gm, nullptr, 0), kGdiError) << std::hex << code;
    EXPECT_NE(font->GetGlyphOutline(0x82A0, gm, nullptr, 0), kGdiError);
}

TEST(GlyphOutline, AFailedGlyphIsAnErrorForSizeAndBitmap) {
    FakeGlyphs& fake = InstallFakeGlyphs();
    auto font = CreateFont(Desc(16));
    ASSERT_NE(font, nullptr);
    fake.FailGlyph(U'字');
    GlyphMetrics gm;
    gm.blackBoxX = 77;
    uint8_t bitmap[1024];
    EXPECT_EQ(font->GetGlyphOutline(0x8E9A, gm, nullptr, 0), kGdiError);
    EXPECT_EQ(font->GetGlyphOutline(0x8E9A, gm, bitmap, sizeof bitmap), kGdiError);
    EXPECT_EQ(gm.blackBoxX, 77u) << "metrics are left alone";

    Size extent{-1, -1};
    EXPECT_FALSE(font->GetTextExtent("漢字", extent));
    EXPECT_TRUE(font->GetTextExtent("漢", extent));
}

TEST(TextExtent, SumsAdvancesOfSingleAndDoubleByteCharacters) {
    InstallFakeGlyphs();
    auto font = CreateFont(Desc(20));
    ASSERT_NE(font, nullptr);
    struct Case {
        const char* text;
        int32_t width;
    } cases[] = {
        {"", 0},
        {"AB", 20},
        {"漢字", 40},
        {"ｱｲ", 20},          // half-width katakana are narrow
        {"A漢 　", 10 + 20 + 10 + 20},
        {"A\x81", 10 + 20},   // a lead byte at the end measures as "・"
    };
    for (const Case& c : cases) {
        Size size;
        ASSERT_TRUE(font->GetTextExtent(c.text, size)) << c.text;
        EXPECT_EQ(size.cx, c.width) << c.text;
        EXPECT_EQ(size.cy, 20);
    }
}

}  // namespace
}  // namespace host::text
