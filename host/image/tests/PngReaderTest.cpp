// The 8-bit RGB and RGBA PNG files DecodePng reads (straight into the
// destination when the size stays) give what stb gives for the same
// pixels: the BMP of those pixels, read by stb, is the reference.
#include "host/image/Formats.h"
#include "host/image/tests/ImageTestSupport.h"

#include <algorithm>
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
        // One side stretched, the other kept.
        {8, 5, kGreenKey, true}, {8, 5, 0, false}, {6, 4, 0, true},
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
        if (c.w == fromPng.width && c.h == fromPng.height) {
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

// Rows inflate a batch at a time (63 rows of a 1024-wide RGBA picture):
// the last row of each batch is the row above the next batch's first, for
// the filters that look up. Several batches tall, texel by texel.
TEST(PngReader, RowsAboveCarryOverFromBatchToBatch)
{
    const uint32_t w = 1024, h = 200;
    std::vector<uint32_t> pixels(size_t(w) * h);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint32_t(i * 2654435761u) ^ uint32_t(i >> 10) * 40503u;
    for (const std::vector<uint8_t>& filters : {std::vector<uint8_t>{2}, {3}, {4}, {2, 3, 4}}) {
        SCOPED_TRACE(::testing::Message() << "filter " << int(filters[0]) << (filters.size() > 1 ? " and others" : ""));
        const Bytes png = FilteredPng(pixels, w, h, false, filters);
        std::string error;
        const Image image = Plain(png, &error);
        ASSERT_EQ(image.pixels.size(), pixels.size()) << error;
        for (size_t i = 0; i < pixels.size(); ++i)
            ASSERT_EQ(image.pixels[i], pixels[i]) << "texel " << i << ", row " << i / w;
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

// ------------------------------------------------------------ laid by hand

Bytes Chunk(const char* type, const Bytes& data)
{
    Bytes out(12 + data.size());
    PutBe32(out.data(), uint32_t(data.size()));
    std::memcpy(&out[4], type, 4);
    std::copy(data.begin(), data.end(), out.begin() + 8);
    PutBe32(&out[8 + data.size()], Crc(&out[4], data.size() + 4));
    return out;
}

Bytes Header(uint32_t w, uint32_t h, uint8_t type = 6, uint8_t compression = 0, uint8_t filter = 0,
             uint8_t interlace = 0)
{
    Bytes data(13);
    PutBe32(data.data(), w);
    PutBe32(&data[4], h);
    data[8] = 8;
    data[9] = type;
    data[10] = compression;
    data[11] = filter;
    data[12] = interlace;
    return Chunk("IHDR", data);
}

Bytes Laid(const std::vector<Bytes>& chunks)
{
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const Bytes& c : chunks) png.insert(png.end(), c.begin(), c.end());
    const Bytes end = Chunk("IEND", {});
    png.insert(png.end(), end.begin(), end.end());
    return png;
}

Bytes Zlib(const Bytes& raw, int strategy = Z_DEFAULT_STRATEGY) { return Deflated(raw, 9, 15, 9, strategy); }

// RGBA rows, each behind filter byte 0.
Bytes RawRows(const std::vector<uint32_t>& pixels, uint32_t w, uint32_t h)
{
    Bytes raw;
    for (uint32_t y = 0; y < h; ++y) {
        raw.push_back(0);
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t v = pixels[y * w + x];
            raw.insert(raw.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 24)});
        }
    }
    return raw;
}

// Bits of a deflate stream, fields from the low bit up, Huffman codes from
// their top bit.
struct DeflateBits {
    Bytes out;
    int used = 8;
    void Put(uint32_t v, int n)
    {
        for (int i = 0; i < n; ++i) Bit(v >> i & 1);
    }
    void Code(uint32_t code, int n)
    {
        for (int i = n - 1; i >= 0; --i) Bit(code >> i & 1);
    }
    void Bit(uint32_t b)
    {
        if (used == 8) {
            out.push_back(0);
            used = 0;
        }
        out.back() = uint8_t(out.back() | b << used++);
    }
};

// One dynamic block holding the bytes under the fixed code's lengths, but
// naming 288 length codes and 32 distance codes: two of each past what
// deflate has (zlib and stb refuse such a block).
Bytes TooManyCodes(const Bytes& raw)
{
    std::vector<int> lengths(288, 8);
    std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
    std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
    std::vector<uint32_t> codes(288);
    for (int n = 1, code = 0; n <= 15; ++n, code <<= 1)
        for (int i = 0; i < 288; ++i)
            if (lengths[i] == n) codes[i] = uint32_t(code++);
    DeflateBits b;
    b.Put(1, 1);
    b.Put(2, 2);
    b.Put(31, 5);   // 257 + 31 length codes
    b.Put(31, 5);   // 1 + 31 distance codes
    b.Put(6, 4);    // ten code-length codes, in their order 16 17 18 0 8 7 9 6 10 5
    for (int n : {0, 0, 0, 0, 2, 2, 2, 0, 0, 2}) b.Put(uint32_t(n), 3);
    // Code-length codes 5, 7, 8, 9: two bits each, in that order.
    const auto length = [&b](int n) { b.Code(n == 5 ? 0 : n == 7 ? 1 : n == 8 ? 2 : 3, 2); };
    for (int n : lengths) length(n);
    for (int i = 0; i < 32; ++i) length(5);
    for (uint8_t c : raw) b.Code(codes[c], lengths[c]);
    b.Code(codes[256], lengths[256]);
    Bytes stream = {0x78, 0x01};
    stream.insert(stream.end(), b.out.begin(), b.out.end());
    return stream;
}

// Each kind of damage stb and libpng refuse, laid by hand: refused with
// its reason. ImageMagick, where installed, refuses the same bytes, and
// reads the sound file and the padded one as this reader does.
TEST(PngReader, RefusesWhatImageMagickRefuses)
{
    const uint32_t w = 8, h = 8;
    const std::vector<uint32_t> pixels = PatternPixels(w, h);
    const Bytes raw = RawRows(pixels, w, h), stream = Zlib(raw);
    const Bytes data = Chunk("IDAT", stream), header = Header(w, h);
    // The rows as fixed-code blocks, without the stream's last bytes: the
    // end-of-block code (zeros) is what a lenient reader makes up.
    const Bytes fixed = Zlib(raw, Z_FIXED);
    Bytes padded = raw;
    padded.insert(padded.end(), 300, 0);
    struct Case {
        const char* what;
        Bytes png;
        const char* why;   // null: read as the pixels
    };
    const Case cases[] = {
        {"sound", Laid({header, data}), nullptr},
        {"bytes past the last row", Laid({header, Chunk("IDAT", Zlib(padded))}), nullptr},
        {"cut short by a byte", Laid({header, Chunk("IDAT", Bytes(fixed.begin(), fixed.end() - 5))}), "cut short"},
        {"cut short by two", Laid({header, Chunk("IDAT", Bytes(fixed.begin(), fixed.end() - 6))}), "cut short"},
        {"too many codes", Laid({header, Chunk("IDAT", TooManyCodes(raw))}), "damaged image data"},
        {"two headers", Laid({header, header, data}), "a second header"},
        {"a header after the data", Laid({header, data, header}), "a second header"},
        {"unknown critical chunk", Laid({header, Chunk("ABCD", {1, 2, 3}), data}), "unknown critical chunk"},
        {"compression method 1", Laid({Header(w, h, 6, 1), data}), "unknown compression method"},
        {"filter method 1", Laid({Header(w, h, 6, 0, 1), data}), "unknown filter method"},
        {"interlace method 2", Laid({Header(w, h, 6, 0, 0, 2), data}), "unknown interlace method"},
        {"RGB, compression method 1", Laid({Header(w, h, 2, 1), data}), "unknown compression method"},
    };
    const bool magick = HaveConvert();
    host::kernel::testing::TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string error;
        const Image image = Plain(c.png, &error);
        if (c.why) {
            EXPECT_TRUE(Refused(c.png));
            EXPECT_NE(error.find(c.why), std::string::npos) << error;
        } else {
            EXPECT_EQ(image.pixels, pixels) << error;
        }
        if (!magick) continue;
        ASSERT_TRUE(host::kernel::WriteFileAtomic(folder / "laid.png", c.png.data(), c.png.size()));
        const std::vector<uint32_t> back = ReadBack(folder, "laid.png");
        if (c.why) EXPECT_TRUE(back.empty());
        else EXPECT_EQ(back, pixels);
    }
}

// The rows deflated whole, then the stream left without its last block
// and checksum (a sync flush: every byte given, then an empty stored block
// that is not the last).
Bytes CutAfterRows(const Bytes& raw, int level)
{
    z_stream z{};
    EXPECT_EQ(deflateInit(&z, level), Z_OK);
    Bytes out(deflateBound(&z, uLong(raw.size())) + 64);
    z.next_in = const_cast<uint8_t*>(raw.data());
    z.avail_in = uInt(raw.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&z, Z_SYNC_FLUSH), Z_OK);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A stream whose rows are all there but which stops before its last
// block ends is refused, whatever lies past the rows before the cut; the
// same rows and bytes in a stream that ends are read. ImageMagick, where
// installed, reads and refuses the same files.
TEST(PngReader, RefusesAStreamCutAfterItsRows)
{
    struct Shape {
        uint32_t w, h;
        bool rgb;
    };
    // 7 x 1 RGB: 22 bytes of rows.
    const Shape shapes[] = {{7, 1, true}, {8, 8, false}};
    const bool magick = HaveConvert();
    host::kernel::testing::TempFolder folder;
    for (const Shape& shape : shapes) {
        const std::vector<uint32_t> pixels = PatternPixels(shape.w, shape.h);
        std::vector<uint32_t> want = pixels;
        for (uint32_t& p : want) p |= shape.rgb ? 0xFF000000u : 0u;
        Bytes raw;
        for (uint32_t y = 0; y < shape.h; ++y) {
            raw.push_back(0);
            for (uint32_t x = 0; x < shape.w; ++x) {
                const uint32_t v = pixels[y * shape.w + x];
                raw.insert(raw.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
                if (!shape.rgb) raw.push_back(uint8_t(v >> 24));
            }
        }
        ASSERT_EQ(raw.size(), shape.rgb ? 22u : 264u);
        const Bytes header = Header(shape.w, shape.h, shape.rgb ? 2 : 6);
        // 4 MiB past the rows: walked rather than inflated to the end.
        for (size_t past : {size_t(0), size_t(1), size_t(100), size_t(5000), size_t(4) << 20}) {
            Bytes padded = raw;
            for (size_t i = 0; i < past; ++i) padded.push_back(uint8_t(i * 7));
            for (int level : {0, 6}) {
                SCOPED_TRACE(::testing::Message() << shape.w << "x" << shape.h << ", " << past
                                                  << " bytes past the rows, level " << level);
                const Bytes cut = Laid({header, Chunk("IDAT", CutAfterRows(padded, level))});
                const Bytes ends = Laid({header, Chunk("IDAT", Deflated(padded, level, 15, 8, Z_DEFAULT_STRATEGY))});
                std::string error;
                EXPECT_TRUE(Refused(cut, &error));
                EXPECT_NE(error.find("image data cut short"), std::string::npos) << error;
                EXPECT_EQ(Plain(ends, &error).pixels, want) << error;
                if (!magick) continue;
                ASSERT_TRUE(host::kernel::WriteFileAtomic(folder / "cut.png", cut.data(), cut.size()));
                ASSERT_TRUE(host::kernel::WriteFileAtomic(folder / "ends.png", ends.data(), ends.size()));
                EXPECT_TRUE(ReadBack(folder, "cut.png").empty());
                EXPECT_EQ(ReadBack(folder, "ends.png"), want);
            }
        }
    }
}

// The rows whole, then a last stored block whose length runs past the
// stream's end: refused at a small size (inflated) and at a size the walk
// reads first alike, as libpng and stb refuse it.
TEST(PngReader, RefusesAStoredBlockPastTheEndAtEverySize)
{
    for (const auto& [w, h] : {std::pair<uint32_t, uint32_t>{64, 64}, {4096, 1100}}) {
        SCOPED_TRACE(::testing::Message() << w << "x" << h);
        const Bytes raw(size_t(h) * (1 + 4 * w), 0);
        Bytes stream = CutAfterRows(raw, 6);
        stream.insert(stream.end(), {0x01, 0x00, 0x10, 0xFF, 0xEF});
        stream.insert(stream.end(), 40, 0);
        std::string error;
        EXPECT_TRUE(Refused(Laid({Header(w, h), Chunk("IDAT", stream)}), &error));
        EXPECT_NE(error.find("image data cut short"), std::string::npos) << error;
    }
}

// An interlaced 8-bit RGBA file goes to stb (its rows are seven passes),
// and gives its pixels.
TEST(PngReader, InterlacedFilesGiveTheirPixels)
{
    const uint32_t w = 10, h = 9;
    const std::vector<uint32_t> pixels = PatternPixels(w, h);
    const uint32_t passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2},
                                   {0, 1, 1, 2}};
    Bytes raw;
    for (const auto& p : passes) {
        if (p[0] >= w || p[1] >= h) continue;
        for (uint32_t y = p[1]; y < h; y += p[3]) {
            raw.push_back(0);
            for (uint32_t x = p[0]; x < w; x += p[2]) {
                const uint32_t v = pixels[y * w + x];
                raw.insert(raw.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 24)});
            }
        }
    }
    const Bytes png = Laid({Header(w, h, 6, 0, 0, 1), Chunk("IDAT", Zlib(raw))});
    std::string error;
    EXPECT_EQ(Plain(png, &error).pixels, pixels) << error;
}

// A decode into a room of the test's own, at the picture's size, counting
// how often the room was asked for.
struct IntoRoom {
    bool Decode(const Bytes& png)
    {
        DecodeOptions options;
        options.powerOfTwo = false;
        options.destination = [this](uint32_t width, uint32_t height, size_t& pitch) {
            ++asked;
            pitch = width;
            room.assign(size_t(width) * height, 1);
            return room.data();
        };
        return host::image::Decode(png.data(), png.size(), options, image, &error);
    }

    int asked = 0;
    std::vector<uint32_t> room;
    Image image;
    std::string error;
};

// A small file claiming a large picture whose stream is damaged is refused
// before the picture's room is asked for; a sound one of the same size is
// read, and one whose stream is sound but a row's filter not refused too.
TEST(PngReader, LargeDamagedFilesAreRefusedBeforeTheirRoom)
{
    const uint32_t w = 4096, h = 1100;   // past the size read through first
    Bytes raw(size_t(h) * (1 + 4 * w), 0);
    const Bytes stream = Zlib(raw);
    struct Case {
        const char* what;
        Bytes png;
        bool sound;
        int asked;
    };
    Bytes damaged = stream;
    damaged[damaged.size() / 2] ^= 0x55;
    Bytes badFilter = raw;
    badFilter[size_t(h - 1) * (1 + 4 * w)] = 7;
    const Case cases[] = {
        {"sound", Laid({Header(w, h), Chunk("IDAT", stream)}), true, 1},
        {"damaged halfway", Laid({Header(w, h), Chunk("IDAT", damaged)}), false, 0},
        {"cut short", Laid({Header(w, h), Chunk("IDAT", Bytes(stream.begin(), stream.end() - 40))}), false, 0},
        {"a row short", Laid({Header(w, h), Chunk("IDAT", Zlib(Bytes(raw.begin(), raw.end() - 1 - 4 * w)))}), false, 0},
        // The walk sees each row's filter byte.
        {"a bad filter on the last row", Laid({Header(w, h), Chunk("IDAT", Zlib(badFilter))}), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IntoRoom into;
        EXPECT_EQ(into.Decode(c.png), c.sound) << into.error;
        EXPECT_EQ(into.asked, c.asked);
        if (c.sound) {
            EXPECT_EQ(into.room.size(), size_t(w) * h);
            EXPECT_EQ(std::count(into.room.begin(), into.room.end(), 0u), std::ptrdiff_t(into.room.size()));
        }
    }
}

// Every other kind of PNG (grey, palette, a transparent colour, 16 bits,
// interlaced), as large for its size: damaged or with a bad filter byte,
// refused before its room is asked for; sound, read straight into the room
// asked once, with the texels stb gives.
TEST(PngReader, EveryKindIsWalkedBeforeItsRoomAndReadIntoIt)
{
    const auto header = [](uint32_t w, uint32_t h, uint8_t type, uint8_t depth, uint8_t interlace) {
        Bytes data(13);
        PutBe32(data.data(), w);
        PutBe32(&data[4], h);
        data[8] = depth;
        data[9] = type;
        data[12] = interlace;
        return Chunk("IHDR", data);
    };
    const struct {
        const char* what;
        uint32_t w, h;
        uint8_t type, depth, interlace;
        std::vector<Bytes> before;   // chunks before the data
        uint32_t texel;              // of a file of zeros
    } kinds[] = {
        {"grey", 16384, 1100, 0, 8, 0, {}, 0xFF000000u},
        {"palette", 16384, 1100, 3, 8, 0, {Chunk("PLTE", {0x12, 0x34, 0x56})}, 0xFF123456u},
        {"RGB with a transparent colour", 8192, 1100, 2, 8, 0, {Chunk("tRNS", {0, 0, 0, 0, 0, 0})}, 0u},
        {"RGB, 16 bits", 4096, 1100, 2, 16, 0, {}, 0xFF000000u},
        {"RGBA, interlaced", 4096, 1100, 6, 8, 1, {}, 0u},
    };
    for (const auto& k : kinds) {
        const std::vector<uint8_t> filters = {0, 1, 2, 3, 4};
        const host::image::detail::RowLayout layout = [&] {
            Bytes h = header(k.w, k.h, k.type, k.depth, k.interlace);
            Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
            file.insert(file.end(), h.begin(), h.end());
            return host::image::detail::PngRows(file.data());
        }();
        Bytes raw(layout.Bytes(), 0);
        ASSERT_GT(raw.size(), size_t(16) << 20) << k.what;
        const Bytes stream = Deflated(raw, 1, 15, 8, Z_DEFAULT_STRATEGY);
        Bytes badFilter = raw;
        badFilter[raw.size() - layout.passes[layout.count - 1].stride] = 5;
        const auto file = [&](const Bytes& data) {
            std::vector<Bytes> chunks = {header(k.w, k.h, k.type, k.depth, k.interlace)};
            chunks.insert(chunks.end(), k.before.begin(), k.before.end());
            chunks.push_back(Chunk("IDAT", data));
            return Laid(chunks);
        };
        const struct {
            const char* what;
            Bytes png;
            bool sound;
        } cases[] = {
            {"sound", file(stream), true},
            {"cut short", file(Bytes(stream.begin(), stream.end() - 40)), false},
            {"a bad filter on the last row", file(Deflated(badFilter, 1, 15, 8, Z_DEFAULT_STRATEGY)), false},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << k.what << ", " << c.what);
            IntoRoom into;
            EXPECT_EQ(into.Decode(c.png), c.sound) << into.error;
            EXPECT_EQ(into.asked, c.sound ? 1 : 0);
            if (c.sound) {
                ASSERT_EQ(into.room.size(), size_t(k.w) * k.h);
                EXPECT_EQ(std::count(into.room.begin(), into.room.end(), k.texel), std::ptrdiff_t(into.room.size()));
            }
        }
    }
}

// A narrow interlaced picture's passes without columns have no rows: the
// layout the walk checks filter bytes by skips them, so a sound stream's
// filter bytes are each found where they are (its pixel bytes, all past 4,
// would be taken for filters a row off).
TEST(PngReader, PassesWithoutColumnsHaveNoRows)
{
    const struct {
        uint32_t w, h;
        uint64_t rows[7];
    } cases[] = {
        {1, 9, {2, 0, 1, 0, 2, 0, 4}},
        {2, 9, {2, 0, 1, 0, 2, 5, 4}},
        {4, 9, {2, 0, 1, 3, 2, 5, 4}},
        {5, 9, {2, 2, 1, 3, 2, 5, 4}},
        {1, 1, {1, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h);
        const Bytes header = Header(c.w, c.h, 0, 0, 0, 1);   // 8-bit grey
        Bytes probe = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        probe.insert(probe.end(), header.begin(), header.end());
        const host::image::detail::RowLayout layout = host::image::detail::PngRows(probe.data());
        ASSERT_EQ(layout.count, 7);
        Bytes raw;
        for (int p = 0; p < 7; ++p) {
            EXPECT_EQ(layout.passes[p].rows, c.rows[p]) << "pass " << p;
            for (uint64_t r = 0; r < layout.passes[p].rows; ++r) {
                raw.push_back(uint8_t(r % 5));
                raw.insert(raw.end(), size_t(layout.passes[p].stride - 1), 0xEE);
            }
        }
        EXPECT_EQ(layout.Bytes(), raw.size());
        const Bytes z = Zlib(raw);
        EXPECT_EQ(host::image::detail::WalkDeflate(z.data() + 2, z.size() - 2, raw.size(), &layout), nullptr);
        Bytes bad = raw;
        bad[raw.size() - layout.passes[6].stride] = 5;   // the last row's filter
        const Bytes zb = Zlib(bad);
        const char* why = host::image::detail::WalkDeflate(zb.data() + 2, zb.size() - 2, bad.size(), &layout);
        EXPECT_STREQ(why ? why : "", "a row filter PNG does not have");
        EXPECT_EQ(Plain(Laid({header, Chunk("IDAT", z)})).pixels.size(), size_t(c.w) * c.h);
    }
}

// Past its rows a stream is inflated up to a bound, then walked to its end:
// a small file padded with 48 MiB of zeros inflates about a mebibyte past
// its rows, not the padding, and is read all the same; a little padding is
// inflated whole, with no walk.
TEST(PngReader, DataPastTheRowsIsWalkedPastABound)
{
    const uint32_t w = 8, h = 8;
    const Bytes raw = RawRows(PatternPixels(w, h), w, h);
    const struct {
        size_t past;
        uint32_t walks;
        uint64_t least, most;   // bytes inflated past the rows
    } cases[] = {
        {0, 0, 0, 0},
        {size_t(1) << 20, 0, size_t(1) << 20, size_t(1) << 20},
        {size_t(48) << 20, 1, (size_t(1) << 20) + 1, (size_t(1) << 20) + 16384},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.past);
        Bytes padded = raw;
        padded.resize(raw.size() + c.past, 0);
        const Bytes png = Laid({Header(w, h), Chunk("IDAT", Deflated(padded, 9, 15, 9, Z_DEFAULT_STRATEGY))});
        host::image::detail::PngPastRows() = {};
        std::string error;
        EXPECT_EQ(Plain(png, &error).pixels, PatternPixels(w, h)) << error;
        const host::image::detail::PastRows counts = host::image::detail::PngPastRows();
        EXPECT_EQ(counts.walks, c.walks);
        EXPECT_GE(counts.inflated, c.least);
        EXPECT_LE(counts.inflated, c.most);
    }
}

// Files of every colour type, depth and interlacing, with and without a
// transparent colour, their rows noise: read as stb reads them, texel by
// texel; a palette index past the palette gives opaque black, as libpng
// gives it.
TEST(PngReader, EveryKindGivesStbsTexels)
{
    const struct {
        uint8_t type, depth, interlace;
        Bytes transparent;   // tRNS data, if any
    } kinds[] = {
        {0, 1, 0, {}}, {0, 2, 1, {}}, {0, 4, 0, {0, 5}}, {0, 8, 0, {0, 0x40}}, {0, 8, 1, {1, 0x40}},
        {0, 16, 0, {0x12, 0x34}}, {0, 1, 0, {0, 1}}, {4, 8, 0, {}}, {4, 16, 1, {}}, {2, 8, 0, {0, 1, 0, 2, 0, 3}},
        {2, 16, 0, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}}, {2, 8, 1, {}}, {6, 16, 0, {}}, {6, 8, 1, {}},
        {3, 1, 0, {0x80}}, {3, 2, 1, {}}, {3, 4, 0, {1, 2, 3}}, {3, 8, 0, {}}, {3, 8, 1, {0, 0x7F}},
    };
    const uint32_t w = 13, h = 11;
    uint32_t r = 99;
    const auto next = [&r] { return uint8_t((r = r * 1103515245u + 12345u) >> 16); };
    for (const auto& k : kinds) {
        SCOPED_TRACE(::testing::Message() << "type " << int(k.type) << ", " << int(k.depth) << " bits"
                                          << (k.interlace ? ", interlaced" : "")
                                          << (k.transparent.empty() ? "" : ", tRNS"));
        Bytes ihdr(13);
        PutBe32(ihdr.data(), w);
        PutBe32(&ihdr[4], h);
        ihdr[8] = k.depth;
        ihdr[9] = k.type;
        ihdr[12] = k.interlace;
        const Bytes header = Chunk("IHDR", ihdr);
        Bytes probe = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        probe.insert(probe.end(), header.begin(), header.end());
        const host::image::detail::RowLayout layout = host::image::detail::PngRows(probe.data());
        Bytes raw(layout.Bytes());
        for (uint8_t& b : raw) b = next();
        // Every third pixel the transparent colour (its low bytes at 8
        // bits), then the filters.
        const bool keyed = !k.transparent.empty() && k.type != 3 && k.depth >= 8 && !k.interlace;
        if (keyed) {
            Bytes colour;
            for (size_t c = 0; c < k.transparent.size(); c += 2) {
                if (k.depth == 16) colour.push_back(k.transparent[c]);
                colour.push_back(k.transparent[c + 1]);
            }
            const size_t stride = layout.passes[0].stride;
            for (size_t at = 0; at < raw.size(); at += stride)
                for (size_t x = 0; x < w; x += 3)
                    std::copy(colour.begin(), colour.end(), raw.begin() + long(at + 1 + x * colour.size()));
        }
        for (int p = 0, at = 0; p < layout.count; ++p)
            for (uint64_t row = 0; row < layout.passes[p].rows; ++row, at += int(layout.passes[p].stride))
                raw[size_t(at)] = keyed ? 0 : uint8_t(row % 5);
        std::vector<Bytes> chunks = {header};
        if (k.type == 3) {
            Bytes palette(3u << k.depth);
            for (uint8_t& b : palette) b = next();
            chunks.push_back(Chunk("PLTE", palette));
        }
        if (!k.transparent.empty()) chunks.push_back(Chunk("tRNS", k.transparent));
        chunks.push_back(Chunk("IDAT", Zlib(raw)));
        const Bytes png = Laid(chunks);
        std::string error;
        const Image ours = Plain(png, &error);
        ASSERT_EQ(ours.pixels.size(), size_t(w) * h) << error;
        host::image::detail::Texels stb;
        ASSERT_TRUE(host::image::detail::DecodeStb(png.data(), png.size(), host::image::kFilePng,
                                                   [](uint32_t, uint32_t) { return true; }, stb, error))
            << error;
        const uint32_t* rgba = stb.Data();
        size_t clear = 0;
        for (size_t i = 0; i < ours.pixels.size(); ++i) {
            const uint32_t t = rgba[i], want = (t & 0xFF00FF00u) | (t & 0xFFu) << 16 | (t >> 16 & 0xFFu);
            ASSERT_EQ(Hex(ours.pixels[i]), Hex(want)) << "texel " << i;
            clear += (want >> 24) == 0;
        }
        if (keyed) {
            EXPECT_GE(clear, size_t((w + 2) / 3 * h));   // noise may match too
        }
    }
    // Two palette entries for a 2-bit file's four indices.
    Bytes ihdr(13);
    PutBe32(ihdr.data(), 4);
    PutBe32(&ihdr[4], 1);
    ihdr[8] = 2;
    ihdr[9] = 3;
    const Bytes png = Laid({Chunk("IHDR", ihdr), Chunk("PLTE", {1, 2, 3, 4, 5, 6}), Chunk("tRNS", {0x80}),
                           Chunk("IDAT", Zlib({0, 0x1B}))});
    std::string error;
    EXPECT_EQ(Plain(png, &error).pixels, (std::vector<uint32_t>{0x80010203u, 0xFF040506u, 0xFF000000u, 0xFF000000u}))
        << error;
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace png_reader_test
