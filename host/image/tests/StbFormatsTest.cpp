// BMP, TGA, PNG and JPG: golden files laid out by hand, and damaged ones
// that must be refused before the decoder sees them.
#include "host/image/tests/ImageTestSupport.h"

namespace ORV_TEST_FILE_ID {

using namespace image_test;
using host::kernel::testing::TempFolder;

namespace {

// File header and the 40-byte info header.
Builder BmpHeader(int32_t w, int32_t h, uint32_t bits, uint32_t compression, uint32_t offset, uint32_t fileSize)
{
    Builder out;
    out.Text("BM").U32(fileSize).U32(0).U32(offset);
    out.U32(40).U32(uint32_t(w)).U32(uint32_t(h)).U16(1).U16(bits).U32(compression).U32(fileSize - offset);
    return out.U32(0).U32(0).U32(0).U32(0);
}

// 2 x 2, bottom row first; the fourth byte of each pixel is padding.
Bytes Bmp32()
{
    return BmpHeader(2, 2, 32, 0, 54, 70)
        .Raw({0x31, 0x32, 0x33, 0x00, 0x41, 0x42, 0x43, 0x7F})
        .Raw({0x11, 0x12, 0x13, 0x80, 0x21, 0x22, 0x23, 0xFF})
        .b;
}

// 3 x 2 top-down (negative height), three palette entries, rows padded to 4.
Bytes Bmp8(uint8_t lastIndex = 2)
{
    return BmpHeader(3, -2, 8, 0, 66, 74)
        .Raw({0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0, 0x70, 0x80, 0x90, 0})
        .Raw({2, 1, 0, 0, 0, 0, lastIndex, 0})
        .b;
}

// 2 x 2, 24 bits, origin bottom-left: the bottom row comes first.
Bytes Tga24()
{
    return Builder()
        .U8(0).U8(0).U8(2).Zeros(5).U16(0).U16(0).U16(2).U16(2).U8(24).U8(0)
        .Raw({0x31, 0x32, 0x33, 0x41, 0x42, 0x43, 0x11, 0x12, 0x13, 0x21, 0x22, 0x23})
        .b;
}

Builder TgaHeader(uint32_t type, uint32_t w, uint32_t h, uint32_t mapType = 0, uint32_t first = 0, uint32_t length = 0)
{
    return Builder().U8(0).U8(mapType).U8(type).U16(first).U16(length).U8(mapType ? 24 : 0).U16(0).U16(0)
        .U16(w).U16(h).U8(mapType ? 8 : 24).U8(0x20);
}

uint32_t Crc(const uint8_t* p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

void PutBe32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
}

Bytes Patched(Bytes b, size_t at, std::initializer_list<uint8_t> bytes)
{
    std::copy(bytes.begin(), bytes.end(), b.begin() + ptrdiff_t(at));
    return b;
}

Bytes Cut(Bytes b, size_t bytes)
{
    b.resize(b.size() - bytes);
    return b;
}

// The first marker of a kind in a JPG file.
size_t Find(const Bytes& jpg, uint8_t marker)
{
    size_t at = 2;
    while (at + 1 < jpg.size() && !(jpg[at] == 0xFF && jpg[at + 1] == marker)) ++at;
    return at;
}

struct Hostile {
    const char* what;
    Bytes file;
    const char* reason;  // part of the error
};

void ExpectAllRefused(const std::vector<Hostile>& cases)
{
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.what);
        std::string error;
        EXPECT_TRUE(Refused(c.file, &error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

}  // namespace

TEST(StbFormats, GoldenFilesDecode)
{
    struct Case {
        const char* what;
        Bytes file;
        uint32_t format, w, h;
        std::vector<uint32_t> want;
    };
    const Case cases[] = {
        {"32-bit BI_RGB BMP: the fourth byte is not alpha", Bmp32(), host::image::kFileBmp, 2, 2,
            {0xFF131211, 0xFF232221, 0xFF333231, 0xFF434241}},
        {"top-down 8-bit BMP", Bmp8(), host::image::kFileBmp, 3, 2,
            {0xFF908070, 0xFF605040, 0xFF302010, 0xFF302010, 0xFF302010, 0xFF908070}},
        // OS/2: 12-byte header, two 3-byte entries, 1 bit a pixel, bottom row first.
        {"1-bit OS/2 BMP", Builder().Text("BM").U32(40).U32(0).U32(32).U32(12).U16(3).U16(2).U16(1).U16(1)
                .Raw({0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0, 0x40, 0, 0, 0, 0xA0, 0, 0, 0}).b,
            host::image::kFileBmp, 3, 2, {0xFFC0B0A0, 0xFF302010, 0xFFC0B0A0, 0xFF302010, 0xFFC0B0A0, 0xFF302010}},
        {"bottom-up TGA", Tga24(), host::image::kFileTga, 2, 2, {0xFF131211, 0xFF232221, 0xFF333231, 0xFF434241}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string error;
        const Image image = Plain(c.file, &error);
        EXPECT_EQ(image.fileFormat, c.format) << error;
        EXPECT_EQ(image.width, c.w);
        EXPECT_EQ(image.height, c.h);
        EXPECT_EQ(image.pixels, c.want);
    }
}

TEST(StbFormats, DamagedBmpAndTgaAreRefused)
{
    // A 32-bit file with bit fields after the header; a 16-bit-wide field
    // would trip an assertion inside the decoder.
    Bytes wideMask = BmpHeader(1, 1, 32, 3, 66, 70).U32(0xFFFF0000).U32(0xFF00).U32(0xFF).Zeros(4).b;
    ExpectAllRefused({
        {"no width", Patched(Bmp32(), 18, {0, 0, 0, 0}), "no pixels"},
        {"height of -2^31", Patched(Bmp32(), 22, {0, 0, 0, 0x80}), "too large"},
        {"width of 2^31 - 1", Patched(Bmp32(), 18, {0xFF, 0xFF, 0xFF, 0x7F}), "too large"},
        {"pixels past the end", Patched(Bmp32(), 10, {0xE8, 0x03, 0, 0}), "outside the file"},
        {"pixels cut short", Cut(Bmp32(), 1), "cut short"},
        {"run-length compression", Patched(Bmp8(), 30, {1}), "compression"},
        {"unknown header size", Patched(Bmp32(), 14, {64}), "unknown header"},
        {"2 bits per pixel", Patched(Bmp8(), 28, {2}), "bits per pixel"},
        {"bit field wider than 8 bits", wideMask, "bit fields"},
        {"index past the palette", Bmp8(3), "outside the palette"},
        {"no palette", Patched(Bmp8(), 10, {54}), "palette"},
        {"TGA pixels cut short", Cut(Tga24(), 1), "cut short"},
        {"TGA run missing its pixel", TgaHeader(10, 2, 2).Raw({0x83, 1, 2}).b, "cut short"},
        {"TGA raw packet cut short", TgaHeader(10, 2, 2).Raw({0x03}).Zeros(9).b, "cut short"},
        {"TGA palette not starting at 0", TgaHeader(1, 1, 1, 1, 1, 1).Zeros(4).b, "palette start"},
        {"TGA empty palette", TgaHeader(1, 1, 1, 1, 0, 0).Zeros(1).b, "empty palette"},
        {"TGA side past the limit", TgaHeader(2, 20000, 1).Zeros(60000).b, "too large"},
        {"unknown format", Builder().Text("GIF89a").Zeros(32).b, "unknown image format"},
        {"layered image", Builder().Text("8BPS").U16(1).Zeros(32).b, "unknown image format"},
        {"one byte", Bytes{'B'}, "unknown image format"},
        {"nothing", Bytes{}, "empty"},
    });
}

TEST(StbFormats, DamagedPngAndJpgAreRefused)
{
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is missing (scripts/install-deps.sh installs it)";
    TempFolder folder;
    const Bytes png = Convert(folder, PatternPixels(6, 5), 6, 5, "", "a.png", "PNG32:");
    const Bytes jpg = Convert(folder, PatternPixels(6, 5), 6, 5, "", "a.jpg");
    ASSERT_FALSE(png.empty());
    ASSERT_FALSE(jpg.empty());

    // IHDR at 8: length, type, 13 bytes (width and height first), CRC.
    Bytes huge = Patched(png, 16, {0, 0, 0x40, 0, 0, 0, 0x10, 0});
    PutBe32(huge, 29, Crc(huge.data() + 12, 17));
    Bytes longChunk = png;
    PutBe32(longChunk, 33, 0x7FFFFFF0);
    // The header one byte short of 13 (the interlace byte dropped) and one
    // over, each with a sound checksum: only the length gives them away.
    const auto headerOf = [&](size_t length) {
        Bytes b(png.begin(), png.begin() + 8);
        Bytes chunk = {0, 0, 0, uint8_t(length), 'I', 'H', 'D', 'R'};
        chunk.insert(chunk.end(), png.begin() + 16, png.begin() + 16 + ptrdiff_t(std::min<size_t>(length, 13)));
        chunk.resize(8 + length, 0);
        chunk.resize(chunk.size() + 4);
        PutBe32(chunk, 8 + length, Crc(chunk.data() + 4, 4 + length));
        b.insert(b.end(), chunk.begin(), chunk.end());
        b.insert(b.end(), png.begin() + 33, png.end());
        return b;
    };
    const size_t sof = Find(jpg, 0xC0);
    Bytes bigJpg = Patched(jpg, sof + 5, {0x3E, 0x80, 0x0F, 0xA0});  // 4000 rows of 16000
    // The first Huffman table claims 16 x 126 codes (the decoder would write
    // past its arrays); the first scan names table 3, never defined.
    const size_t dht = Find(jpg, 0xC4), sos = Find(jpg, 0xDA);
    Bytes manyCodes = jpg;
    std::fill(manyCodes.begin() + ptrdiff_t(dht + 5), manyCodes.begin() + ptrdiff_t(dht + 21), 0x7E);
    const Bytes noTable = Patched(jpg, sos + 6, {0x33});
    ExpectAllRefused({
        {"PNG header checksum wrong", Patched(png, 17, {7}), "checksum"},
        {"PNG header of 12 bytes", headerOf(12), "no header"},
        {"PNG header of 14 bytes", headerOf(14), "no header"},
        {"PNG header of 0 bytes", headerOf(0), "no header"},
        {"PNG far larger than its data", huge, "too little"},
        {"PNG chunk past the end", longChunk, "past the end"},
        {"PNG without its end", Cut(png, 12), "cut short"},
        {"PNG signature only", Bytes(png.begin(), png.begin() + 8), "cut short"},
        {"JPG without its end", Cut(jpg, 2), "no end of image"},
        {"JPG cut in half", Cut(jpg, jpg.size() / 2), "JPG"},
        {"JPG far larger than its data", bigJpg, "too little"},
        {"JPG Huffman table past 256 codes", manyCodes, "Huffman table"},
        {"JPG scan naming an undefined table", noTable, "without its tables"},
    });
}

// Each scan costs the decoder a walk over every block: a progressive file
// may have as many as an encoder could write (the limit itself decodes, to
// the same pixels), one more is refused before the decoder runs.
TEST(StbFormats, JpgScansAreBoundedAtTheLimit)
{
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is missing (scripts/install-deps.sh installs it)";
    TempFolder folder;
    const Bytes jpg = Convert(folder, PatternPixels(6, 5), 6, 5, "-interlace JPEG", "a.jpg");
    ASSERT_FALSE(jpg.empty());
    // The scans of the file, and the bytes of the first (its header and
    // data up to the next marker): a first DC scan, which sets what it
    // reads, so repeating it changes no pixel.
    size_t scans = 0, firstScan = 0, firstEnd = 0;
    for (size_t at = 2; at + 3 < jpg.size();) {
        if (jpg[at] != 0xFF || jpg[at + 1] == 0xFF) {
            ++at;
            continue;
        }
        const uint8_t marker = jpg[at + 1];
        if (marker == 0xD9) break;
        const size_t length = size_t(jpg[at + 2]) << 8 | jpg[at + 3];
        size_t end = at + 2 + length;
        if (marker == 0xDA) {
            while (end + 1 < jpg.size() && !(jpg[end] == 0xFF && jpg[end + 1] != 0 &&
                                              (jpg[end + 1] < 0xD0 || jpg[end + 1] > 0xD7)))
                ++end;
            if (scans++ == 0) firstScan = at, firstEnd = end;
        }
        at = end;
    }
    ASSERT_GT(scans, 1u);
    ASSERT_LT(scans, 100u);
    ASSERT_EQ(jpg[firstScan + 6], 0);   // spectral selection starts at DC
    const auto withScans = [&](size_t total) {
        Bytes b(jpg.begin(), jpg.begin() + ptrdiff_t(firstEnd));
        for (size_t i = scans; i < total; ++i)
            b.insert(b.end(), jpg.begin() + ptrdiff_t(firstScan), jpg.begin() + ptrdiff_t(firstEnd));
        b.insert(b.end(), jpg.begin() + ptrdiff_t(firstEnd), jpg.end());
        return b;
    };
    const Image plain = Plain(jpg);
    ASSERT_FALSE(plain.pixels.empty());
    std::string error;
    const Image atLimit = Plain(withScans(100), &error);
    EXPECT_EQ(atLimit.pixels, plain.pixels) << error;
    ExpectAllRefused({{"JPG of 101 scans", withScans(101), "more scans"}});
}

// The image data a PNG must carry for its size: deflate packs at most 1032
// bytes into one, so the data of each colour type and depth (bits a pixel
// from the type's channels) is held to its own bound: at the bound the
// check lets it through to the decoder, a byte short it is refused.
TEST(StbFormats, PngDataIsBoundedByEachColourTypesPixelSize)
{
    const struct {
        uint8_t type, depth;
        uint32_t bits;   // a pixel
    } cases[] = {
        {0, 1, 1}, {0, 2, 2}, {0, 4, 4}, {0, 8, 8}, {0, 16, 16}, {2, 8, 24}, {2, 16, 48}, {3, 1, 1}, {3, 2, 2},
        {3, 4, 4}, {3, 8, 8}, {4, 8, 16}, {4, 16, 32}, {6, 8, 32}, {6, 16, 64},
    };
    const auto chunk = [](Bytes& file, const char* type, const Bytes& data) {
        Bytes c(8 + data.size() + 4);
        PutBe32(c, 0, uint32_t(data.size()));
        std::copy(type, type + 4, c.begin() + 4);
        std::copy(data.begin(), data.end(), c.begin() + 8);
        PutBe32(c, 8 + data.size(), Crc(c.data() + 4, 4 + data.size()));
        file.insert(file.end(), c.begin(), c.end());
    };
    constexpr uint32_t kSide = 256;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " at " + std::to_string(c.depth) + " bits");
        const uint64_t raw = kSide * (1 + (uint64_t(kSide) * c.bits + 7) / 8);
        const size_t least = size_t((raw - 1024 + 1031) / 1032);
        for (size_t length : {least, least - 1}) {
            Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
            Bytes header(13, 0);
            PutBe32(header, 0, kSide);
            PutBe32(header, 4, kSide);
            header[8] = c.depth, header[9] = c.type;
            chunk(file, "IHDR", header);
            chunk(file, "IDAT", Bytes(length, 0));
            chunk(file, "IEND", {});
            std::string error;
            EXPECT_TRUE(Refused(file, &error));   // the data itself is no deflate stream
            EXPECT_EQ(error.find("too little") != std::string::npos, length < least) << length << ": " << error;
        }
    }
}

}  // namespace ORV_TEST_FILE_ID
