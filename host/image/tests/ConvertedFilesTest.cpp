// Files another program made: ImageMagick writes each format from known
// pixels, and the reader must give those pixels back.
#include "host/image/tests/ImageTestSupport.h"

namespace ORV_TEST_FILE_ID {

using namespace image_test;
using host::image::kFileBmp;
using host::image::kFileDds;
using host::image::kFileJpg;
using host::image::kFilePng;
using host::image::kFileTga;
using host::kernel::testing::TempFolder;

namespace {

// Four flat 4x4 blocks, alpha 255, 136, 68 and 0: what block compression
// keeps closely.
uint32_t Blocks(uint32_t x, uint32_t y)
{
    static const uint32_t colours[4] = {
        Argb(255, 200, 100, 50), Argb(136, 30, 220, 140), Argb(68, 90, 40, 240), Argb(0, 250, 250, 10)};
    return colours[(y / 4) * 2 + x / 4];
}

struct Case {
    const char* what;
    const char* options;
    const char* coder;
    const char* name;
    uint32_t format;
    bool blocks;       // the blocks (8x8), else the pattern (6x5)
    bool keepsAlpha;   // else every texel comes out opaque
    uint32_t tolerance;
    // Lossy files are held to what ImageMagick itself reads from them, and
    // to the source within a few steps.
    bool lossy = false;
    uint32_t w = 0, h = 0;  // other than the usual size
};

const Case kCases[] = {
    {"24-bit BMP", "-alpha off", "", "a.bmp", kFileBmp, false, false, 0},
    {"24-bit BMP, short header", "-alpha off", "BMP3:", "b.bmp", kFileBmp, false, false, 0},
    {"32-bit BI_RGB BMP: no alpha", "-define bmp3:alpha=true", "BMP3:", "c.bmp", kFileBmp, false, false, 0},
    {"32-bit BMP with an alpha field", "-define bmp:subtype=ARGB8888", "", "d.bmp", kFileBmp, false, true, 0},
    {"PNG with alpha", "", "PNG32:", "a.png", kFilePng, false, true, 0},
    {"16-bit PNG", "", "PNG64:", "b.png", kFilePng, false, true, 0},
    // Rows filtered as the writer finds best, row by row (quality's last
    // digit 5), RGBA and RGB.
    {"PNG, rows filtered", "-quality 95", "PNG32:", "f.png", kFilePng, false, true, 0, false, 32, 16},
    {"RGB PNG, rows filtered", "-quality 95", "PNG24:", "g.png", kFilePng, false, false, 0, false, 32, 16},
    // Without -orient, convert flags its rows as bottom-up but stores them top first.
    {"32-bit TGA", "-orient TopLeft", "", "a.tga", kFileTga, false, true, 0},
    {"24-bit TGA", "-alpha off -orient TopLeft", "", "b.tga", kFileTga, false, false, 0},
    {"run-length TGA", "-compress RLE -orient TopLeft", "", "c.tga", kFileTga, false, true, 0},
    {"palette TGA", "-alpha off -type Palette -orient TopLeft", "", "d.tga", kFileTga, false, false, 0},
    {"JPG", "-quality 100", "", "a.jpg", kFileJpg, false, false, 2, true},
    {"32-bit DDS", "-define dds:compression=none", "", "a.dds", kFileDds, false, true, 0},
    {"24-bit DDS", "-alpha off -define dds:compression=none", "", "b.dds", kFileDds, false, false, 0},
    {"DXT1 DDS", "-alpha off -define dds:compression=dxt1", "", "c.dds", kFileDds, true, false, 0, true},
    {"DXT3 DDS", "-define dds:compression=dxt3", "", "d.dds", kFileDds, true, true, 0, true},
    {"DXT5 DDS", "-define dds:compression=dxt5", "", "e.dds", kFileDds, true, true, 0, true},
    {"DXT1 DDS, partial blocks", "-alpha off -define dds:compression=dxt1", "", "f.dds", kFileDds, true,
        false, 0, true, 6, 5},
};

}  // namespace

TEST(ConvertedFiles, GiveBackThePixelsTheyWereMadeFrom)
{
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is missing (scripts/install-deps.sh installs it)";
    TempFolder folder;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        const uint32_t w = c.w ? c.w : c.blocks ? 8 : 6, h = c.h ? c.h : c.blocks ? 8 : 5;
        std::vector<uint32_t> source;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) source.push_back(c.blocks ? Blocks(x, y) : Pattern(x, y));
        const Bytes file = Convert(folder, source, w, h, c.options, c.name, c.coder);
        ASSERT_FALSE(file.empty());

        std::string error;
        const Image image = Plain(file, &error);
        ASSERT_EQ(image.width, w) << error;
        ASSERT_EQ(image.height, h);
        EXPECT_EQ(image.fileFormat, c.format);
        const std::vector<uint32_t> reference = c.lossy ? ReadBack(folder, c.name) : source;
        ASSERT_EQ(reference.size(), source.size());
        for (uint32_t i = 0; i < w * h; ++i) {
            const uint32_t want = c.keepsAlpha ? reference[i] : reference[i] | 0xFF000000u;
            EXPECT_TRUE(Near(image.pixels[i], want, c.tolerance)) << "texel " << i % w << ", " << i / w;
            if (c.lossy) {
                EXPECT_TRUE(Near(image.pixels[i], c.keepsAlpha ? source[i] : source[i] | 0xFF000000u, 6));
            }
        }
    }
}

// Every PNG colour type at each bit depth it allows, as ImageMagick writes
// them (the header's depth and type checked first): the pixels come back,
// grey spread over red, green and blue, alpha where the type has it. A
// palette carries its alpha (on or off) in a tRNS chunk, and ImageMagick
// whitens the fully transparent: those are held to what it reads back.
TEST(ConvertedFiles, PngsOfEveryColourTypeAndDepth)
{
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is missing (scripts/install-deps.sh installs it)";
    TempFolder folder;
    enum Source { kGrey, kColour, kColourCutOut };
    const struct {
        const char* what;
        uint32_t type, depth;
        Source source;
        bool alpha;
        const char* coder = "PNG:";
        bool interlaced = false;
    } cases[] = {
        {"grey, 1 bit", 0, 1, kGrey, false}, {"grey, 2 bits", 0, 2, kGrey, false},
        {"grey, 4 bits", 0, 4, kGrey, false}, {"grey, 8 bits", 0, 8, kGrey, false},
        {"grey, 16 bits", 0, 16, kGrey, false}, {"grey and alpha, 8 bits", 4, 8, kGrey, true},
        {"grey and alpha, 16 bits", 4, 16, kGrey, true}, {"RGB, 8 bits", 2, 8, kColour, false},
        {"RGB, 16 bits", 2, 16, kColour, false}, {"palette, 8 bits", 3, 8, kColour, false},
        {"palette with tRNS, 8 bits", 3, 8, kColourCutOut, true, "PNG8:"}, {"RGBA, 8 bits", 6, 8, kColour, true},
        {"RGBA, 16 bits", 6, 16, kColour, true},
        // Adam7: seven passes of a picture 6 x 5 wide, some of them empty.
        {"grey, 2 bits, interlaced", 0, 2, kGrey, false, "PNG:", true},
        {"RGBA, 16 bits, interlaced", 6, 16, kColour, true, "PNG:", true},
        {"palette with tRNS, interlaced", 3, 8, kColourCutOut, true, "PNG8:", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Grey levels the depth can hold exactly: 0..2^d - 1 spread over 0..255.
        const uint32_t levels = c.depth < 8 ? 1u << c.depth : 256, step = 255 / (levels - 1);
        std::vector<uint32_t> source;
        for (uint32_t y = 0; y < 5; ++y) {
            for (uint32_t x = 0; x < 6; ++x) {
                const uint32_t p = Pattern(x, y), g = ((x * 7 + y * 3) % levels) * step;
                const uint32_t a = !c.alpha ? 255 : c.source == kColourCutOut ? ((x + y) % 3 ? 255 : 0) : p >> 24;
                source.push_back(c.source == kGrey ? Argb(a, g, g, g) : (p & 0xFFFFFFu) | a << 24);
            }
        }
        std::string options = c.alpha ? "" : "-alpha off ";
        if (c.source == kGrey) options += "-colorspace Gray ";
        if (c.interlaced) options += "-interlace PNG ";
        if (c.source != kColourCutOut) {
            options += "-define png:color-type=" + std::to_string(c.type) + " -define png:bit-depth=" +
                       std::to_string(c.depth);
        }
        const Bytes file = Convert(folder, source, 6, 5, options, "t.png", c.coder);
        ASSERT_GT(file.size(), 26u);
        ASSERT_EQ(file[24], c.depth);
        ASSERT_EQ(file[25], c.type);
        ASSERT_EQ(file[28], c.interlaced ? 1u : 0u);
        std::string error;
        const Image image = Plain(file, &error);
        ASSERT_EQ(image.width, 6u) << error;
        EXPECT_EQ(image.fileFormat, kFilePng);
        EXPECT_EQ(image.pixels, c.source == kColourCutOut ? ReadBack(folder, "t.png") : source);
        if (c.source == kColourCutOut) {
            for (size_t i = 0; i < source.size(); ++i) {
                if (source[i] >> 24) EXPECT_EQ(image.pixels[i], source[i]) << "texel " << i;
                else EXPECT_EQ(image.pixels[i] >> 24, 0u) << "texel " << i;
            }
        }
    }
}

// OS/2 files (12-byte header, 3-byte palette entries) of every depth
// ImageMagick writes for them, picked by the number of colours.
TEST(ConvertedFiles, Os2BmpsOfEveryDepth)
{
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is missing (scripts/install-deps.sh installs it)";
    TempFolder folder;
    const struct {
        uint32_t colours, bits;
        const char* options;
    } cases[] = {{2, 1, "-type Bilevel"}, {16, 4, "-type Palette"}, {30, 8, "-type Palette"}, {30, 24, "-type TrueColor"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        std::vector<uint32_t> source;
        for (uint32_t i = 0; i < 30; ++i)
            source.push_back(c.colours == 2 ? (i % 3 ? 0xFFFFFFFFu : 0xFF000000u) : Pattern(i % c.colours % 6, i % c.colours / 6) | 0xFF000000u);
        const Bytes file = Convert(folder, source, 6, 5, "-alpha off " + std::string(c.options), "os2.bmp", "BMP2:");
        ASSERT_GT(file.size(), 26u);
        ASSERT_EQ(file[14], 12u);
        EXPECT_EQ(file[24], c.bits);
        std::string error;
        EXPECT_EQ(Plain(file, &error).pixels, source) << error;
    }
}

TEST(ConvertedFiles, ScreenshotBmpReadsBackInImageMagick)
{
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is missing (scripts/install-deps.sh installs it)";
    TempFolder folder;
    const std::vector<uint32_t> pixels = PatternPixels(7, 3);
    Bytes bmp;
    ASSERT_TRUE(host::image::WriteBmp24(pixels.data(), 7, 3, 7 * 4, bmp));
    const std::string path = folder / "shot.bmp", raw = folder / "shot.rgb";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(path, bmp.data(), bmp.size()));
    ASSERT_EQ(std::system(("convert " + path + " -depth 8 rgb:" + raw).c_str()), 0);
    std::string rgb;
    ASSERT_TRUE(host::kernel::ReadWholeFile(raw, rgb));
    ASSERT_EQ(rgb.size(), pixels.size() * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint32_t got = Argb(255, uint8_t(rgb[3 * i]), uint8_t(rgb[3 * i + 1]), uint8_t(rgb[3 * i + 2]));
        EXPECT_EQ(got, pixels[i] | 0xFF000000u) << "texel " << i;
    }
}

}  // namespace ORV_TEST_FILE_ID
