// The 8-bit RGB and RGBA PNG files DecodePng reads (straight into the
// destination when the size stays) give what stb gives for the same
// pixels: the BMP of those pixels, read by stb, is the reference.
#include "host/image/tests/ImageTestSupport.h"

#include <cstdlib>
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


// A PNG of the pixels (RGB, or RGBA with alpha kept) whose row y is
// filtered with filters[y % filters.size()], its zlib stream cut into
// `chunks` IDAT chunks; dictionary sets the stream's preset-dictionary flag
// and extra appends a stored block past the image's bytes.
Bytes FilteredPng(const std::vector<uint32_t>& pixels, uint32_t w, uint32_t h, bool rgb,
                  const std::vector<uint8_t>& filters, size_t chunks = 1, bool dictionary = false, bool extra = false)
{
    const size_t bpp = rgb ? 3 : 4, rowBytes = w * bpp;
    Bytes plain(rowBytes * h), raw;
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        const uint32_t v = pixels[i];
        const uint8_t rgba[4] = {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 24)};
        std::memcpy(&plain[i * bpp], rgba, bpp);
    }
    const auto paeth = [](int a, int b, int c) {
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    };
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t f = filters[y % filters.size()];
        raw.push_back(f);
        for (size_t i = 0; i < rowBytes; ++i) {
            const int x = plain[y * rowBytes + i];
            const int a = i >= bpp ? plain[y * rowBytes + i - bpp] : 0;
            const int b = y ? plain[(y - 1) * rowBytes + i] : 0;
            const int c = y && i >= bpp ? plain[(y - 1) * rowBytes + i - bpp] : 0;
            const int predicted = f == 1 ? a : f == 2 ? b : f == 3 ? (a + b) / 2 : f == 4 ? paeth(a, b, c) : 0;
            raw.push_back(uint8_t(x - predicted));
        }
    }
    if (extra) raw.insert(raw.end(), 40, 0x5A);
    uLongf size = compressBound(raw.size());
    Bytes stream(size);
    EXPECT_EQ(compress2(stream.data(), &size, raw.data(), raw.size(), 6), Z_OK);
    stream.resize(size);
    if (dictionary) {
        stream[1] = 0x20;   // the flag, with room below it for the check bits
        stream[1] = uint8_t(stream[1] + (31 - (uint32_t(stream[0]) << 8 | stream[1]) % 31) % 31);
    }
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&png](const char* type, const uint8_t* data, size_t n) {
        const size_t at = png.size();
        png.resize(at + 12 + n);
        PutBe32(&png[at], uint32_t(n));
        std::memcpy(&png[at + 4], type, 4);
        if (n) std::memcpy(&png[at + 8], data, n);
        PutBe32(&png[at + 8 + n], Crc(&png[at + 4], n + 4));
    };
    uint8_t header[13] = {};
    PutBe32(header, w);
    PutBe32(header + 4, h);
    header[8] = 8;
    header[9] = rgb ? 2 : 6;
    chunk("IHDR", header, sizeof header);
    for (size_t i = 0, at = 0; i < chunks; ++i) {
        const size_t n = i + 1 == chunks ? stream.size() - at : stream.size() / chunks;
        chunk("IDAT", stream.data() + at, n);
        at += n;
    }
    chunk("IEND", nullptr, 0);
    return png;
}

// Every row filter, in both pixel sizes, one IDAT or several: the pixels
// come back.
TEST(PngReader, UndoesEveryRowFilter)
{
    // Sides a power of two, so nothing is stretched after the decode.
    const uint32_t w = 16, h = 8;
    std::vector<uint32_t> pixels = PatternPixels(w, h);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = pixels[i] * 2654435761u;   // every byte varies
    struct Case {
        std::vector<uint8_t> filters;
        bool rgb;
        size_t chunks;
    };
    const Case cases[] = {
        {{0}, false, 1}, {{1}, false, 1}, {{2}, false, 1}, {{3}, false, 1}, {{4}, false, 1},
        {{0}, true, 1},  {{1}, true, 1},  {{2}, true, 1},  {{3}, true, 1},  {{4}, true, 1},
        {{4, 3, 2, 1, 0}, false, 3}, {{1, 4, 0, 3, 2}, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "filter " << int(c.filters[0]) << (c.rgb ? " rgb" : " rgba") << " chunks "
                                          << c.chunks);
        const Bytes png = FilteredPng(pixels, w, h, c.rgb, c.filters, c.chunks);
        std::vector<uint32_t> want = pixels;
        for (uint32_t& p : want) p |= c.rgb ? 0xFF000000u : 0u;
        for (bool pitched : {false, true}) {
            std::vector<uint32_t> room;
            std::string error;
            const Image image = Read(png, 0, pitched, room, error);
            ASSERT_TRUE(error.empty()) << error;
            if (!pitched) {
                EXPECT_EQ(image.pixels.size(), want.size());
            }
            const uint32_t* got = pitched ? room.data() : image.pixels.data();
            const size_t pitch = pitched ? w + 3 : image.width;
            for (size_t i = 0; i < want.size() && got; ++i)
                ASSERT_EQ(got[i / w * pitch + i % w], want[i]) << "texel " << i;
        }
    }
}

// Streams a reader must not guess at: each refused with its reason.
TEST(PngReader, RefusesStreamsItCannotReadWhole)
{
    const std::vector<uint32_t> pixels = PatternPixels(8, 8);
    struct Case {
        Bytes png;
        const char* why;
    };
    Bytes badFilter = FilteredPng(pixels, 8, 8, false, {5});
    const Case cases[] = {
        {FilteredPng(pixels, 8, 8, false, {0}, 1, true), "not a zlib stream"},
        {FilteredPng(pixels, 8, 8, false, {0}, 1, false, true), "more image data than its size"},
        {badFilter, "a row filter PNG does not have"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<uint32_t> room;
        std::string error;
        const Image image = Read(c.png, 0, false, room, error);
        EXPECT_TRUE(image.pixels.empty());
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
    }
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace png_reader_test
