// What the loader does after reading a file: the colour key, the stretch to
// powers of two, the sizes it reports, and reading through the kernel.
#include "host/image/tests/ImageTestSupport.h"

#include <algorithm>

namespace ORV_TEST_FILE_ID {

using namespace image_test;
using host::image::DecodeOptions;
using host::kernel::testing::TempFolder;

namespace {

Bytes Bmp(const std::vector<uint32_t>& pixels, uint32_t w, uint32_t h)
{
    Bytes out;
    EXPECT_TRUE(host::image::WriteBmp24(pixels.data(), w, h, size_t(w) * 4, out));
    return out;
}

Bytes Flat(uint32_t w, uint32_t h, uint32_t argb) { return Bmp(std::vector<uint32_t>(size_t(w) * h, argb), w, h); }

Image Decoded(const Bytes& file, const DecodeOptions& options)
{
    Image image;
    std::string error;
    EXPECT_TRUE(host::image::Decode(file.data(), file.size(), options, image, &error)) << error;
    return image;
}

constexpr uint32_t kRed = 0xFFFF0000, kGreen = host::image::kGreenKey;

}  // namespace

TEST(Decode, ColourKeyClearsExactlyTheKeyedTexels)
{
    const Bytes file = Bmp({kRed, kGreen, 0xFF00FE00}, 3, 1);
    struct Case {
        uint32_t key;
        std::vector<uint32_t> want;
    };
    const Case cases[] = {
        {kGreen, {kRed, 0, 0xFF00FE00}},
        {0, {kRed, kGreen, 0xFF00FE00}},  // no key
        {kRed, {0, kGreen, 0xFF00FE00}},
        {0x0000FF00, {kRed, kGreen, 0xFF00FE00}},  // alpha is part of the key
    };
    for (const Case& c : cases) {
        DecodeOptions options;
        options.colorKey = c.key;
        options.powerOfTwo = false;
        EXPECT_EQ(Decoded(file, options).pixels, c.want) << "key " << Hex(c.key);
    }
}

TEST(Decode, ColourKeyComesBeforeTheStretch)
{
    // Keyed after stretching, the blended green would survive the key.
    Image image;
    const Bytes file = Bmp({kRed, kGreen, kRed}, 3, 1);
    ASSERT_TRUE(host::image::Decode(file.data(), file.size(), kGreen, image));
    ASSERT_EQ(image.width, 4u);
    for (uint32_t p : image.pixels) EXPECT_EQ(Channel(p, 8), 0u) << Hex(p);
    EXPECT_TRUE(std::any_of(image.pixels.begin(), image.pixels.end(), [](uint32_t p) { return p >> 24 < 255; }));
}

TEST(Decode, SidesRoundUpToPowersOfTwoAndAFlatColourSurvives)
{
    struct Case {
        uint32_t w, h;
        bool powerOfTwo;
        uint32_t maxSide;
        uint32_t wantW, wantH, levels;
    };
    const Case cases[] = {
        {300, 200, true, 0, 512, 256, 10},
        {1, 1, true, 0, 1, 1, 1},
        {256, 64, true, 0, 256, 64, 9},
        {257, 3, true, 0, 512, 4, 10},
        {5, 16, true, 0, 8, 16, 5},
        {300, 200, true, 256, 256, 256, 9},
        {300, 200, true, 300, 256, 256, 9},  // the limit itself rounds down
        {300, 200, false, 0, 300, 200, 9},
        {300, 200, false, 250, 250, 200, 8},
    };
    const uint32_t colour = 0xFF123456;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " limit " + std::to_string(c.maxSide));
        DecodeOptions options;
        options.powerOfTwo = c.powerOfTwo;
        options.maxSide = c.maxSide;
        const Image image = Decoded(Flat(c.w, c.h, colour), options);
        EXPECT_EQ(image.width, c.wantW);
        EXPECT_EQ(image.height, c.wantH);
        EXPECT_EQ(image.srcWidth, c.w);
        EXPECT_EQ(image.srcHeight, c.h);
        EXPECT_EQ(image.levels, c.levels);
        ASSERT_EQ(image.pixels.size(), size_t(c.wantW) * c.wantH);
        EXPECT_EQ(std::count(image.pixels.begin(), image.pixels.end(), colour), ptrdiff_t(image.pixels.size()));
    }
}

TEST(Decode, PowerOfTwoImagesAreNotResampled)
{
    std::vector<uint32_t> pattern = PatternPixels(4, 2);
    for (uint32_t& p : pattern) p |= 0xFF000000u;
    Image image;
    const Bytes file = Bmp(pattern, 4, 2);
    ASSERT_TRUE(host::image::Decode(file.data(), file.size(), 0, image));
    EXPECT_EQ(image.pixels, pattern);
}

TEST(Decode, StretchBlendsWithMirroredEdges)
{
    // Enlarging blends neighbours; past each edge the edge texel repeats, the
    // same on both sides.
    struct Case {
        std::vector<uint32_t> grey, want;
    };
    const Case cases[] = {
        {{0, 255, 0}, {0, 159, 159, 0}},
        {{0, 0, 255}, {0, 0, 96, 255}},
        {{255, 0, 0}, {255, 96, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> pixels;
        for (uint32_t g : c.grey) pixels.push_back(Argb(255, g, g, g));
        Image image;
        const Bytes file = Bmp(pixels, uint32_t(pixels.size()), 1);
        ASSERT_TRUE(host::image::Decode(file.data(), file.size(), 0, image));
        std::vector<uint32_t> want;
        for (uint32_t g : c.want) want.push_back(Argb(255, g, g, g));
        EXPECT_EQ(image.pixels, want);
    }
}

TEST(Decode, FilesAreReadThroughTheKernel)
{
    TempFolder folder;
    const Bytes file = Flat(3, 2, kRed);
    const std::string path = folder / "Tex.bmp";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(path, file.data(), file.size()));
    Image image;
    std::string error;
    // Windows names: any letter case.
    ASSERT_TRUE(host::image::DecodeFile(folder / "tex.BMP", kGreen, image, &error)) << error;
    EXPECT_EQ(image.width, 4u);
    EXPECT_EQ(image.srcWidth, 3u);
    EXPECT_FALSE(host::image::DecodeFile(folder / "missing.bmp", 0, image, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(image.pixels.empty());
}

// Into a caller's rows with room past each: the same texels as a decode of
// its own, straight or stretched, keyed or not, and the room left alone.
TEST(Decode, IntoRowsWithRoomPastEachGivesTheSameTexels)
{
    std::vector<uint32_t> pattern = PatternPixels(4, 3);
    for (uint32_t& p : pattern) p |= 0xFF000000u;
    pattern[5] = kGreen;
    const Bytes file = Bmp(pattern, 4, 3);
    struct Case {
        bool powerOfTwo;
        uint32_t key;
    };
    for (const Case& c : {Case{false, 0}, Case{false, kGreen}, Case{true, 0}, Case{true, kGreen}}) {
        SCOPED_TRACE(std::string(c.powerOfTwo ? "stretched" : "straight") + " key " + Hex(c.key));
        DecodeOptions options;
        options.powerOfTwo = c.powerOfTwo;
        options.colorKey = c.key;
        const Image own = Decoded(file, options);
        ASSERT_EQ(own.width, 4u);
        ASSERT_EQ(own.height, c.powerOfTwo ? 4u : 3u);

        constexpr size_t kPitch = 7;
        constexpr uint32_t kRoom = 0xDEADBEEF;
        std::vector<uint32_t> rows(kPitch * own.height, kRoom);
        options.destination = [&](uint32_t w, uint32_t h, size_t& pitch) {
            EXPECT_EQ(w, own.width);
            EXPECT_EQ(h, own.height);
            pitch = kPitch;
            return rows.data();
        };
        Image into;
        std::string error;
        ASSERT_TRUE(host::image::Decode(file.data(), file.size(), options, into, &error)) << error;
        EXPECT_TRUE(into.pixels.empty());
        for (size_t y = 0; y < own.height; ++y) {
            for (size_t x = 0; x < kPitch; ++x) {
                const uint32_t want = x < own.width ? own.pixels[y * own.width + x] : kRoom;
                EXPECT_EQ(rows[y * kPitch + x], want) << x << "," << y;
            }
        }
        if (!c.powerOfTwo) {
            std::vector<uint32_t> want = pattern;
            if (c.key) want[5] = 0;
            EXPECT_EQ(own.pixels, want);
        }
    }
}

}  // namespace ORV_TEST_FILE_ID
