// The font service over the fake backend: the code page 932 edge, the
// Windows bitmap layout, the size query and the failures a backend reports.
#include "host/text/FakeText.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <utility>
#include <vector>

namespace host::text {
namespace ORV_TEST_FILE_ID {

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
    const std::pair<uint32_t, char32_t> cases[] = {
        {0x5C, U'\\'},       // the backslash, not the yen sign
        {0x7E, U'~'},
        {0xB1, U'ｱ'},        // half-width katakana
        {0x8140, U'　'},
        {0x82A0, U'あ'},
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
    for (const auto& [code, codePoint] : cases) EXPECT_EQ(CodePoint(code), codePoint) << std::hex << code;
}

TEST(FontFaces, WindowsFaceNamesChooseTheFamiliesStandingInForThem) {
    // Faces in UTF-8, as the backend gets them.
    struct Case { const char* face; uint8_t pitch; const char* family; bool fixed; } cases[] = {
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
    const auto& r = fake.Requests();
    EXPECT_EQ(r[0].face, u8"ＭＳ　ゴシック");
    EXPECT_TRUE(std::make_tuple(r[1].height, r[1].weight, r[1].charset, r[1].pitchAndFamily) ==
                std::make_tuple(32, kFwHeavy, kShiftJisCharset, 0x31));
    EXPECT_EQ(r[2].weight, kFwNormal);   // 0 asks for the normal weight
}

// A 16-pixel font on the fake glyphs: narrow characters 8 wide, others 16.
class GlyphOutline : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(font, nullptr); }
    FakeGlyphs& fake = InstallFakeGlyphs();
    std::unique_ptr<Font> font = CreateFont(Desc(16));
};

TEST_F(GlyphOutline, SizeQueryThenBitmapInRowsPaddedToFourBytes) {
    // 'A' is narrow: a 6 x 14 box whose rows are padded to 8 bytes.
    GlyphMetrics gm;
    uint32_t size = font->GetGlyphOutline('A', gm, nullptr, 0);
    EXPECT_EQ(size, 8u * 14);
    EXPECT_EQ(std::make_tuple(gm.blackBoxX, gm.blackBoxY, gm.originX, gm.originY, gm.cellIncX),
              std::make_tuple(6u, 14u, 1, 11, 8));

    std::vector<uint8_t> bitmap(size + 4, 0xEE);
    EXPECT_EQ(font->GetGlyphOutline('A', gm, bitmap.data(), size), size);
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

TEST_F(GlyphOutline, GlyphsWithoutInkAreOneBlankTexel) {
    for (uint32_t code : {0x20u, 0x8140u}) {
        GlyphMetrics gm;
        ASSERT_EQ(font->GetGlyphOutline(code, gm, nullptr, 0), 4u) << std::hex << code;
        EXPECT_EQ(std::make_tuple(gm.blackBoxX, gm.blackBoxY, gm.cellIncX),
                  std::make_tuple(1u, 1u, code == 0x20 ? 8 : 16));
        uint8_t bitmap[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        EXPECT_EQ(font->GetGlyphOutline(code, gm, bitmap, sizeof bitmap), 4u);
        EXPECT_EQ(std::vector<uint8_t>(bitmap, bitmap + 4), std::vector<uint8_t>(4, 0));
    }
}

TEST_F(GlyphOutline, CodesOutsideCodePage932RenderItsDefaultCharacter) {    // The fake fails "・" alone, so the failure shows which glyph was asked for.
    fake.FailGlyph(U'・');
    GlyphMetrics gm;
    for (uint32_t code : {0x8145u, 0x81u, 0x8120u, 0x8540u, 0x10000u, 0xFFFFFFFFu})
        EXPECT_EQ(font->GetGlyphOutline(code, gm, nullptr, 0), kGdiError) << std::hex << code;
    EXPECT_NE(font->GetGlyphOutline(0x82A0, gm, nullptr, 0), kGdiError);
}

TEST_F(GlyphOutline, AFailedGlyphIsAnErrorForSizeAndBitmap) {    fake.FailGlyph(U'字');
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

TEST_F(GlyphOutline, TextExtentSumsAdvancesOfSingleAndDoubleByteCharacters) {    const std::pair<const char*, int32_t> cases[] = {
        {"", 0}, {"ｱｲ", 16},   // half-width katakana are narrow
        {"A漢 　", 8 + 16 + 8 + 16}, {"A\x81", 8 + 16}};   // a lead byte at the end measures as "・"
    for (const auto& [text, width] : cases) {
        Size size;
        ASSERT_TRUE(font->GetTextExtent(text, size)) << text;
        EXPECT_EQ(std::make_pair(size.cx, size.cy), std::make_pair(width, 16)) << text;
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::text
