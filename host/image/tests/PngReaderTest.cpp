// The 8-bit RGB and RGBA PNG files libpng reads (straight into the
// destination when the size stays) give what stb gives for the same
// pixels: the BMP of those pixels, read by stb, is the reference.
#include "host/image/tests/ImageTestSupport.h"

#include <cstring>

#include <zlib.h>

namespace png_reader_test {

namespace ORV_TEST_FILE_ID {

// Debian's libstb holds the encoder (as in PngWriter.cpp).
extern "C" unsigned char* stbi_write_png_to_mem(const unsigned char* pixels, int stride, int x, int y, int n,
                                                int* outLength);

using namespace image_test;
using host::image::DecodeOptions;
using host::image::kGreenKey;

uint32_t Crc(const uint8_t* p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xFFFFFFFFu;
}

void PutBe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i));
}

// Offset of the first chunk of the type (its length field), or 0.
size_t FindChunk(const Bytes& png, const char* type)
{
    for (size_t pos = 8; pos + 12 <= png.size();) {
        if (std::memcmp(&png[pos + 4], type, 4) == 0) return pos;
        pos += 12 + (size_t(png[pos]) << 24 | size_t(png[pos + 1]) << 16 | size_t(png[pos + 2]) << 8 | png[pos + 3]);
    }
    return 0;
}

// Opaque texels, some of them the key's green.
std::vector<uint32_t> Opaque(uint32_t w, uint32_t h)
{
    std::vector<uint32_t> out = PatternPixels(w, h);
    for (size_t i = 0; i < out.size(); ++i) out[i] = i % 3 == 1 ? kGreenKey : out[i] | 0xFF000000u;
    return out;
}

// Decodes with the options, into a destination whose rows are wider than
// the picture when pitched (the padding must stay as it was).
Image Read(const Bytes& file, uint32_t key, bool pitched, std::vector<uint32_t>& room, std::string& error)
{
    DecodeOptions options;
    options.colorKey = key;
    if (pitched) {
        options.destination = [&room](uint32_t w, uint32_t h, size_t& pitch) {
            pitch = w + 3;
            room.assign(pitch * h, 0xDEADBEEFu);
            return room.data();
        };
    }
    Image image;
    host::image::Decode(file.data(), file.size(), options, image, &error);
    return image;
}

TEST(PngReader, GivesWhatStbGivesForTheSamePixels)
{
    const struct {
        uint32_t w, h;   // 6 x 5 is stretched, 8 x 4 and 2 x 4 kept
        uint32_t key;
        bool pitched;
    } cases[] = {
        {8, 4, 0, false}, {8, 4, kGreenKey, false}, {8, 4, kGreenKey, true}, {8, 4, 0, true}, {2, 4, kGreenKey, true},
        {6, 5, 0, false}, {6, 5, kGreenKey, false}, {6, 5, kGreenKey, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " key " << Hex(c.key) << (c.pitched ? " pitched" : ""));
        const std::vector<uint32_t> pixels = Opaque(c.w, c.h);
        Bytes png, bmp;
        ASSERT_TRUE(host::image::WritePng(pixels.data(), c.w, c.h, c.w * 4, png));
        ASSERT_TRUE(host::image::WriteBmp24(pixels.data(), c.w, c.h, c.w * 4, bmp));
        ASSERT_EQ(png[24], 8u);   // 8-bit RGBA: libpng's
        ASSERT_EQ(png[25], 6u);
        std::vector<uint32_t> pngRoom, bmpRoom;
        std::string error;
        const Image fromPng = Read(png, c.key, c.pitched, pngRoom, error);
        ASSERT_TRUE(error.empty()) << error;
        const Image fromBmp = Read(bmp, c.key, c.pitched, bmpRoom, error);
        ASSERT_TRUE(error.empty()) << error;
        EXPECT_EQ(fromPng.width, fromBmp.width);
        EXPECT_EQ(fromPng.height, fromBmp.height);
        EXPECT_EQ(fromPng.srcWidth, c.w);
        EXPECT_EQ(fromPng.levels, fromBmp.levels);
        EXPECT_EQ(fromPng.pixels, fromBmp.pixels);
        EXPECT_EQ(pngRoom, bmpRoom);
        const std::vector<uint32_t>& got = c.pitched ? pngRoom : fromPng.pixels;
        ASSERT_FALSE(got.empty());
        // The key made clear, and nothing else.
        const size_t pitch = c.pitched ? fromPng.width + 3 : fromPng.width;
        if (c.w == fromPng.width) {
            for (size_t i = 0; i < pixels.size(); ++i) {
                const uint32_t want = c.key && pixels[i] == c.key ? 0u : pixels[i];
                EXPECT_EQ(got[i / c.w * pitch + i % c.w], want) << "texel " << i;
            }
        }
        if (c.pitched) {
            EXPECT_EQ(pngRoom[pitch - 1], 0xDEADBEEFu);
        }
    }
}

TEST(PngReader, KeepsAlphaAndFillsRgbOpaque)
{
    const std::vector<uint32_t> pixels = PatternPixels(8, 4);   // alpha differs per texel
    Bytes rgba;
    ASSERT_TRUE(host::image::WritePng(pixels.data(), 8, 4, 32, rgba));
    std::vector<uint32_t> room;
    std::string error;
    EXPECT_EQ(Read(rgba, 0, false, room, error).pixels, pixels) << error;

    // The same colours as an RGB file (stb's writer, three bytes a texel).
    std::vector<uint8_t> rgb;
    for (uint32_t p : pixels) rgb.insert(rgb.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
    int length = 0;
    unsigned char* made = stbi_write_png_to_mem(rgb.data(), 8 * 3, 8, 4, 3, &length);
    ASSERT_NE(made, nullptr);
    const Bytes file(made, made + length);
    std::free(made);
    ASSERT_EQ(file[25], 2u);
    std::vector<uint32_t> opaque;
    for (uint32_t p : pixels) opaque.push_back(p | 0xFF000000u);
    EXPECT_EQ(Read(file, 0, false, room, error).pixels, opaque) << error;

    // With a transparent colour (tRNS, left to stb) that colour's alpha is 0.
    Bytes keyed(file.begin(), file.begin() + 33);
    const uint32_t clear = pixels[5];
    const uint8_t chunk[] = {0, 0, 0, 6, 't', 'R', 'N', 'S', 0, uint8_t(clear >> 16), 0, uint8_t(clear >> 8), 0,
                             uint8_t(clear), 0, 0, 0, 0};
    keyed.insert(keyed.end(), chunk, chunk + sizeof chunk);
    PutBe32(&keyed[33 + 18 - 4], Crc(&keyed[33 + 4], 10));
    keyed.insert(keyed.end(), file.begin() + 33, file.end());
    std::vector<uint32_t> cut = opaque;
    for (uint32_t& p : cut)
        if (p == (clear | 0xFF000000u)) p &= 0xFFFFFFu;
    EXPECT_EQ(Read(keyed, 0, false, room, error).pixels, cut) << error;
}

// Damaged compressed data under sound checksums: refused with a reason,
// whether the rows went to the destination or not.
TEST(PngReader, RefusesADamagedStream)
{
    const std::vector<uint32_t> pixels = PatternPixels(64, 64);
    Bytes png;
    ASSERT_TRUE(host::image::WritePng(pixels.data(), 64, 64, 256, png));
    const size_t idat = FindChunk(png, "IDAT");
    ASSERT_NE(idat, 0u);
    const uint32_t length = uint32_t(png[idat]) << 24 | uint32_t(png[idat + 1]) << 16 | png[idat + 2] << 8 | png[idat + 3];
    ASSERT_GT(length, 16u);
    // A block type no deflate stream has (11), in the first block's header.
    png[idat + 8 + 2] |= 0x06;
    PutBe32(&png[idat + 8 + length], Crc(&png[idat + 4], length + 4));
    for (bool pitched : {false, true}) {
        SCOPED_TRACE(pitched);
        std::vector<uint32_t> room;
        std::string error;
        const Image image = Read(png, kGreenKey, pitched, room, error);
        EXPECT_TRUE(image.pixels.empty());
        EXPECT_EQ(image.width, 0u);
        EXPECT_NE(error.find("cannot decode the image"), std::string::npos) << error;
    }
}

// The writer leaves every row unfiltered (what reads fastest), and the
// file gives its pixels back.
TEST(PngReader, WrittenRowsAreUnfiltered)
{
    std::vector<uint32_t> pixels = PatternPixels(16, 8);
    for (size_t i = 0; i < pixels.size(); i += 5) pixels[i] = 0xFF203040u;
    Bytes png;
    ASSERT_TRUE(host::image::WritePng(pixels.data(), 16, 8, 64, png));
    Bytes stream;
    for (size_t pos = FindChunk(png, "IDAT"); pos && std::memcmp(&png[pos + 4], "IDAT", 4) == 0;) {
        const size_t length = size_t(png[pos]) << 24 | size_t(png[pos + 1]) << 16 | size_t(png[pos + 2]) << 8 | png[pos + 3];
        stream.insert(stream.end(), png.begin() + long(pos + 8), png.begin() + long(pos + 8 + length));
        pos += 12 + length;
    }
    Bytes raw(8 * (1 + 16 * 4));
    uLongf size = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &size, stream.data(), stream.size()), Z_OK);
    ASSERT_EQ(size, raw.size());
    for (size_t row = 0; row < 8; ++row) EXPECT_EQ(raw[row * (1 + 16 * 4)], 0u) << "row " << row;
    std::vector<uint32_t> room;
    std::string error;
    DecodeOptions options;
    options.powerOfTwo = false;
    Image image;
    ASSERT_TRUE(host::image::Decode(png.data(), png.size(), options, image, &error)) << error;
    EXPECT_EQ(image.pixels, pixels);
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace png_reader_test
