// DDS files written byte by byte: compressed blocks with known colours and
// alpha, uncompressed surfaces with their masks, and damaged headers.
#include "host/image/tests/ImageTestSupport.h"

namespace ORV_TEST_FILE_ID {

using namespace image_test;

namespace {

constexpr uint32_t kFourCc = 0x4, kRgb = 0x40, kAlphaPixels = 0x1, kAlphaOnly = 0x2, kLuminance = 0x20000;

uint32_t Code(const char* s)
{
    return uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | uint32_t(s[3]) << 24;
}

struct Format {
    uint32_t flags, fourCc, bits, r, g, b, a;
};

// "DDS ", then the 124-byte description: flags 0x1007 (caps, height, width,
// pixel format), the pitch field, the pixel format and the texture caps.
Builder Dds(uint32_t w, uint32_t h, const Format& f, uint32_t pitch = 0)
{
    Builder out;
    out.Text("DDS ").U32(124).U32(0x1007).U32(h).U32(w).U32(pitch).U32(0).U32(1).Zeros(44);
    out.U32(32).U32(f.flags).U32(f.fourCc).U32(f.bits).U32(f.r).U32(f.g).U32(f.b).U32(f.a);
    out.U32(0x1000).Zeros(16);
    return out;
}

Format Compressed(const char* code) { return {kFourCc, Code(code), 0, 0, 0, 0, 0}; }

const Format kRgb24 = {kRgb, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0};
const Format kArgb32 = {kRgb | kAlphaPixels, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};

// Colour 0 = 0xFC00 (255, 130, 0), colour 1 = 0x001F (0, 0, 255).
const Bytes kFourColourBlock = {0x00, 0xFC, 0x1F, 0x00, 0xE4, 0x55, 0xAA, 0x1B};  // rows 0123, 1111, 2222, 3210
// The same colours swapped: three colours and transparent black.
const Bytes kThreeColourBlock = {0x1F, 0x00, 0x00, 0xFC, 0xFF, 0xAA, 0xAA, 0xAA};  // row 0 all 3, then all 2
// Indices 0-7, then 7-0, three bits each.
const Bytes kAlphaIndices = {0x88, 0xC6, 0xFA, 0x77, 0x39, 0x05};
// One colour throughout: (255, 130, 0).
const Bytes kFlatColour = {0x00, 0xFC, 0x00, 0xFC, 0, 0, 0, 0};

std::vector<uint32_t> Alphas(const Image& image)
{
    std::vector<uint32_t> out;
    for (uint32_t p : image.pixels) out.push_back(p >> 24);
    return out;
}

}  // namespace

TEST(Dds, Dxt1BlocksDecodeToTheirPalettes)
{
    const Bytes file = Dds(8, 4, Compressed("DXT1")).Raw(kFourColourBlock).Raw(kThreeColourBlock).b;
    const Image image = Plain(file);
    ASSERT_EQ(image.width, 8u);
    const uint32_t c0 = 0xFFFF8200, c1 = 0xFF0000FF, c2 = 0xFFAA5655, c3 = 0xFF552BAA;  // 2:1 and 1:2 blends
    const uint32_t half = 0xFF7F417F, clear = 0x00000000;
    const std::vector<uint32_t> want = {
        c0, c1, c2, c3, clear, clear, clear, clear,
        c1, c1, c1, c1, half, half, half, half,
        c2, c2, c2, c2, half, half, half, half,
        c3, c2, c1, c0, half, half, half, half,
    };
    EXPECT_EQ(image.pixels, want);
    EXPECT_EQ(image.fileFormat, host::image::kFileDds);
    // Equal end colours are not "above": three colours and transparent black.
    const Image equal = Plain(Dds(4, 1, Compressed("DXT1")).Raw({0x00, 0xFC, 0x00, 0xFC, 0xE4, 0, 0, 0}).b);
    EXPECT_EQ(equal.pixels, (std::vector<uint32_t>{c0, c0, c0, clear}));
}

TEST(Dds, AlphaBlocksDecodeExplicitAndInterpolatedAlpha)
{
    struct Case {
        const char* code;
        Bytes alphaBlock;
        std::vector<uint32_t> alphas;
    };
    const std::vector<uint32_t> eight = {255, 0, 218, 182, 145, 109, 72, 36};
    const std::vector<uint32_t> six = {40, 240, 80, 120, 160, 200, 0, 255};
    auto ramp = [](const std::vector<uint32_t>& v) {
        std::vector<uint32_t> out(v);
        out.insert(out.end(), v.rbegin(), v.rend());
        return out;
    };
    std::vector<uint32_t> nibbles;
    for (uint32_t i = 0; i < 16; ++i) nibbles.push_back(i * 17);
    const Bytes explicitAlpha = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
    Bytes eightBlock = {255, 0}, sixBlock = {40, 240};
    eightBlock.insert(eightBlock.end(), kAlphaIndices.begin(), kAlphaIndices.end());
    sixBlock.insert(sixBlock.end(), kAlphaIndices.begin(), kAlphaIndices.end());
    const Case cases[] = {
        {"DXT3", explicitAlpha, nibbles},
        {"DXT2", explicitAlpha, nibbles},  // premultiplied colour, read as DXT3
        {"DXT5", eightBlock, ramp(eight)},
        {"DXT4", eightBlock, ramp(eight)},
        {"DXT5", sixBlock, ramp(six)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const Image image = Plain(Dds(4, 4, Compressed(c.code)).Raw(c.alphaBlock).Raw(kFlatColour).b);
        ASSERT_EQ(image.pixels.size(), 16u);
        EXPECT_EQ(Alphas(image), c.alphas);
        // The colour block of these formats always holds four colours, even
        // with its two colours equal.
        for (uint32_t p : image.pixels) EXPECT_EQ(p & 0xFFFFFF, 0xFF8200u);
    }
}

TEST(Dds, UncompressedSurfacesFollowTheirMasks)
{
    struct Case {
        const char* what;
        Bytes file;
        std::vector<uint32_t> want;
    };
    const Format rgb565 = {kRgb, 0, 16, 0xF800, 0x07E0, 0x001F, 0};
    const Format argb1555 = {kRgb | kAlphaPixels, 0, 16, 0x7C00, 0x03E0, 0x001F, 0x8000};
    const Format abgr32 = {kRgb | kAlphaPixels, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000};
    const Format noAlphaFlag = {kRgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    const Case cases[] = {
        // Tight rows of 6 bytes.
        {"24-bit", Dds(2, 2, kRgb24, 6).Raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}).b,
            {0xFF030201, 0xFF060504, 0xFF090807, 0xFF0C0B0A}},
        // The engine's writer pads rows to 4 bytes and says so in the pitch.
        {"24-bit, padded rows", Dds(2, 2, kRgb24, 8).Raw({1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}).b,
            {0xFF030201, 0xFF060504, 0xFF090807, 0xFF0C0B0A}},
        {"32-bit", Dds(2, 1, kArgb32, 8).Raw({1, 2, 3, 4, 5, 6, 7, 8}).b, {0x04030201, 0x08070605}},
        {"32-bit, red in the low byte", Dds(1, 1, abgr32).Raw({1, 2, 3, 4}).b, {0x04010203}},
        {"alpha mask without the alpha flag", Dds(1, 1, noAlphaFlag).Raw({1, 2, 3, 4}).b, {0xFF030201}},
        {"R5G6B5", Dds(2, 1, rgb565).Raw({0x00, 0xF8, 0xE0, 0x07}).b, {0xFFFF0000, 0xFF00FF00}},
        {"A1R5G5B5", Dds(2, 1, argb1555).Raw({0x1F, 0x80, 0x00, 0x7C}).b, {0xFF0000FF, 0x00FF0000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string error;
        EXPECT_EQ(Plain(c.file, &error).pixels, c.want) << error;
    }
}

// Luminance and alpha surfaces: grey spread over red, green and blue, alpha
// kept where the surface has it, opaque where it has none; an alpha surface
// is black. Narrow fields are scaled to 0..255.
TEST(Dds, LuminanceAndAlphaSurfacesLoad)
{
    struct Case {
        const char* what;
        Bytes file;
        std::vector<uint32_t> want;
    };
    const Case cases[] = {
        {"L8", Dds(3, 1, {kLuminance, 0, 8, 0xFF, 0, 0, 0}).Raw({0, 100, 255}).b,
            {0xFF000000, 0xFF646464, 0xFFFFFFFF}},
        {"A8L8", Dds(2, 1, {kLuminance | kAlphaPixels, 0, 16, 0xFF, 0, 0, 0xFF00}).Raw({100, 30, 255, 0}).b,
            {0x1E646464, 0x00FFFFFF}},
        {"A4L4", Dds(2, 1, {kLuminance | kAlphaPixels, 0, 8, 0x0F, 0, 0, 0xF0}).Raw({0x3F, 0xF5}).b,
            {0x33FFFFFF, 0xFF555555}},
        {"L16", Dds(1, 1, {kLuminance, 0, 16, 0xFFFF, 0, 0, 0}).Raw({0xFF, 0x7F}).b, {0xFF7F7F7F}},
        {"L8, alpha mask without the alpha flag", Dds(1, 1, {kLuminance, 0, 8, 0x0F, 0, 0, 0xF0}).Raw({0x3A}).b,
            {0xFFAAAAAA}},
        {"A8", Dds(3, 1, {kAlphaOnly, 0, 8, 0, 0, 0, 0xFF}).Raw({0, 128, 255}).b, {0x00000000, 0x80000000, 0xFF000000}},
        // Rows padded to 4 bytes, as the pitch says.
        {"L8, padded rows", Dds(3, 2, {kLuminance, 0, 8, 0xFF, 0, 0, 0}, 4).Raw({1, 2, 3, 0, 4, 5, 6, 0}).b,
            {0xFF010101, 0xFF020202, 0xFF030303, 0xFF040404, 0xFF050505, 0xFF060606}},
        {"R3G3B2", Dds(2, 1, {kRgb, 0, 8, 0xE0, 0x1C, 0x03, 0}).Raw({0xE0, 0x03}).b, {0xFFFF0000, 0xFF0000FF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string error;
        EXPECT_EQ(Plain(c.file, &error).pixels, c.want) << error;
    }
}

// ImageMagick reads a luminance file as this reader does.
TEST(Dds, LuminanceFilesReadAsImageMagickReadsThem)
{
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is missing (scripts/install-deps.sh installs it)";
    host::kernel::testing::TempFolder folder;
    Builder l8 = Dds(5, 3, {kLuminance, 0, 8, 0xFF, 0, 0, 0});
    for (uint32_t i = 0; i < 15; ++i) l8.Raw({uint8_t(i * 17)});
    ASSERT_TRUE(host::kernel::WriteFileAtomic(folder / "grey.dds", l8.b.data(), l8.b.size()));
    const std::vector<uint32_t> back = ReadBack(folder, "grey.dds");
    ASSERT_EQ(back.size(), 15u);
    std::string error;
    EXPECT_EQ(Plain(l8.b, &error).pixels, back) << error;
}

TEST(Dds, DamagedFilesAreRefused)
{
    struct Case {
        const char* what;
        Bytes file;
        const char* reason;  // part of the error
    };
    Bytes badSize = Dds(4, 4, Compressed("DXT1")).Raw(kFourColourBlock).b;
    badSize[4] = 0;
    Bytes shortHeader = Dds(4, 4, Compressed("DXT1")).b;
    shortHeader.pop_back();
    const Case cases[] = {
        {"header cut short", shortHeader, "damaged header"},
        {"description size not 124", badSize, "damaged header"},
        {"no width", Dds(0, 4, Compressed("DXT1")).Raw(kFourColourBlock).b, "no pixels"},
        {"side past the limit", Dds(host::image::kMaxSide + 1, 4, Compressed("DXT1")).Zeros(1 << 16).b, "too large"},
        {"too many pixels", Dds(host::image::kMaxSide, host::image::kMaxSide, kArgb32).b, "too large"},
        {"huge sides", Dds(0xFFFFFFFF, 0xFFFFFFFF, kArgb32).b, "too large"},
        {"DXT1 blocks cut short", Dds(4, 8, Compressed("DXT1")).Raw(kFourColourBlock).Zeros(7).b, "cut short"},
        {"DXT5 blocks cut short", Dds(4, 4, Compressed("DXT5")).Zeros(15).b, "cut short"},
        {"24-bit rows cut short", Dds(2, 2, kRgb24, 6).Zeros(11).b, "cut short"},
        {"padded rows cut short", Dds(2, 2, kRgb24, 8).Zeros(13).b, "cut short"},
        {"unknown compression", Dds(4, 4, Compressed("ATI2")).Zeros(16).b, "compression"},
        {"12 bits per pixel", Dds(1, 1, {kRgb, 0, 12, 0xF00, 0xF0, 0x0F, 0}).Zeros(4).b, "bits per pixel"},
        {"48-bit luminance", Dds(1, 1, {kLuminance, 0, 48, 0xFFFF, 0, 0, 0}).Zeros(6).b, "bits per pixel"},
        {"split mask", Dds(1, 1, {kRgb, 0, 32, 0xFF00FF, 0xFF00, 0xFF, 0}).Zeros(4).b, "masks"},
        {"mask past the pixel", Dds(1, 1, {kRgb, 0, 16, 0xFF0000, 0xFF00, 0xFF, 0}).Zeros(4).b, "masks"},
        {"no colour masks", Dds(1, 1, {kRgb, 0, 32, 0, 0, 0, 0xFF}).Zeros(4).b, "masks"},
        {"no grey mask", Dds(1, 1, {kLuminance | kAlphaPixels, 0, 16, 0, 0, 0, 0xFF00}).Zeros(4).b, "masks"},
        {"alpha surface without its mask", Dds(1, 1, {kAlphaOnly, 0, 8, 0xFF, 0, 0, 0}).Zeros(4).b, "masks"},
        {"L8 cut short", Dds(2, 2, {kLuminance, 0, 8, 0xFF, 0, 0, 0}).Zeros(3).b, "cut short"},
        {"palette", Dds(1, 1, {0x20, 0, 8, 0, 0, 0, 0}).Zeros(1028).b, "pixel format"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string error;
        EXPECT_TRUE(Refused(c.file, &error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

}  // namespace ORV_TEST_FILE_ID
