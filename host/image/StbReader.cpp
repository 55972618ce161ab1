// BMP, JPG and TGA files through stb_image (Debian's libstb); PNG files too, which
// the program reads with DecodePng (the image fuzz driver holds the two to
// the same texels).
//
// stb_image fills what a short file lacks with zeros, reads palette entries
// a file never gave, and asserts on some channel masks; so each file's
// structure is checked against its size here first, and only files that
// hold everything they claim reach the decoder.
#include "host/image/Formats.h"

#include <libdeflate.h>
#include <stb_image.h>

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>

namespace host::image::detail {
namespace {

bool Fail(std::string& error, const char* reason)
{
    error = reason;
    return false;
}

// ------------------------------------------------------------ BMP

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

struct BmpHeader {
    uint32_t headerSize, offset, width, height, bitCount, compression;
};

bool MasksUsable(const uint8_t* masks, int count)
{
    uint32_t m[4] = {};
    for (int i = 0; i < count; ++i) m[i] = Le32(masks + 4 * i);
    if (!m[0] || !m[1] || !m[2] || (m[0] == m[1] && m[1] == m[2])) return false;
    for (uint32_t v : m)
        if (std::popcount(v) > 8) return false;
    return true;
}

// Palette indices past the palette would read entries the file never gave.
bool IndicesInPalette(const uint8_t* p, const BmpHeader& h, size_t stride, int64_t entries)
{
    if (entries >= (int64_t(1) << h.bitCount)) return true;
    for (size_t y = 0; y < h.height; ++y) {
        const uint8_t* row = p + h.offset + y * stride;
        for (size_t x = 0; x < h.width; ++x) {
            const size_t bit = x * h.bitCount;
            const uint32_t index = (row[bit / 8] >> (8 - h.bitCount - bit % 8)) & ((1u << h.bitCount) - 1);
            if (index >= entries) return false;
        }
    }
    return true;
}

// An OS/2 file's 12-byte header and 3-byte palette entries rewritten as the
// 40-byte header and 4-byte entries the decoder reads correctly: it counts
// a short header's palette from the wrong byte and refuses or misreads it.
bool FromOs2(const uint8_t* p, size_t size, std::vector<uint8_t>& out, std::string& error)
{
    if (size < 26) return Fail(error, "BMP: damaged header");
    const uint32_t offset = Le32(p + 10), bits = Le16(p + 24);
    if (offset < 26 || offset > size) return Fail(error, "BMP: pixels outside the file");
    // The palette fills the gap between the header and the pixels.
    const uint32_t entries = bits <= 8 ? std::min<uint32_t>((offset - 26) / 3, 1u << bits) : 0;
    if (bits <= 8 && entries == 0) return Fail(error, "BMP: damaged palette");
    if (bits > 8 && offset != 26) return Fail(error, "BMP: unsupported gap before the pixels");
    const uint32_t newOffset = 54 + 4 * entries;
    out.assign(newOffset, 0);
    const auto put = [&](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out[at + i] = uint8_t(v >> (8 * i));
    };
    out[0] = 'B', out[1] = 'M';
    put(10, newOffset, 4);
    put(14, 40, 4);
    put(18, Le16(p + 18), 4);   // width and height are unsigned 16-bit here
    put(22, Le16(p + 20), 4);
    put(26, Le16(p + 22), 2);   // planes
    put(28, bits, 2);
    put(46, entries, 4);
    for (uint32_t i = 0; i < entries; ++i) std::memcpy(&out[54 + 4 * i], p + 26 + 3 * i, 3);
    out.insert(out.end(), p + offset, p + size);
    put(2, uint32_t(out.size()), 4);
    return true;
}

bool CheckBmp(const uint8_t* p, size_t size, BmpHeader& h, std::string& error)
{
    if (size < 14 + 16) return Fail(error, "BMP: damaged header");
    h.offset = Le32(p + 10);
    h.headerSize = Le32(p + 14);
    const uint32_t hs = h.headerSize;
    if (hs != 40 && hs != 56 && hs != 108 && hs != 124) return Fail(error, "BMP: unknown header");
    if (size < 14 + hs) return Fail(error, "BMP: damaged header");
    const int64_t width = int32_t(Le32(p + 18)), height = int32_t(Le32(p + 22));
    h.bitCount = Le16(p + 28), h.compression = Le32(p + 30);
    if (width <= 0 || height == 0) return Fail(error, "BMP: no pixels");
    h.width = uint32_t(width);
    h.height = uint32_t(height < 0 ? -height : height);
    if (!CheckSize(h.width, h.height, error)) return false;

    const uint32_t bits = h.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return Fail(error, "BMP: unsupported bits per pixel");
    if (h.compression != kBiRgb && !(h.compression == kBiBitfields && (bits == 16 || bits == 32)))
        return Fail(error, "BMP: unsupported compression");

    // Where the decoder takes the bit fields from, and where pixels start.
    size_t headerEnd = 14 + hs;
    if (h.compression == kBiBitfields) {
        const bool after = hs == 40 || hs == 56;
        if (size < headerEnd + (after ? 12 : 0)) return Fail(error, "BMP: damaged header");
        if (!MasksUsable(after ? p + headerEnd : p + 54, after ? 3 : 4)) return Fail(error, "BMP: unusable bit fields");
        if (after) headerEnd += 12;
    }
    if (h.offset < headerEnd || h.offset > size) return Fail(error, "BMP: pixels outside the file");

    const size_t stride = (size_t(h.width) * bits + 31) / 32 * 4;
    const size_t lastRow = (size_t(h.width) * bits + 7) / 8;
    if (stride * (h.height - 1) + lastRow > size - h.offset) return Fail(error, "BMP: the pixels are cut short");
    if (bits <= 8) {
        // The palette fills the gap between the header and the pixels.
        const int64_t entries = (int64_t(h.offset) - 14 - hs) / 4;
        if (entries <= 0 || entries > 256) return Fail(error, "BMP: damaged palette");
        if (!IndicesInPalette(p, h, stride, entries)) return Fail(error, "BMP: a pixel outside the palette");
    } else if (h.offset != headerEnd) {
        return Fail(error, "BMP: unsupported gap before the pixels");
    }
    return true;
}

// ------------------------------------------------------------ PNG

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// libdeflate's, which folds sixteen bytes a step with carry-less
// multiplies (several times zlib's speed): a texture's compressed stream is
// checked before every load.
uint32_t Crc32(const uint8_t* p, size_t n) { return libdeflate_crc32(0, p, n); }

uint32_t PngChannels(uint32_t colourType)
{
    switch (colourType) {
    case 0: return 1;
    case 2: return 3;
    case 3: return 1;
    case 4: return 2;
    case 6: return 4;
    default: return 0;
    }
}

}  // namespace

// Chunks inside the file with sound checksums, IHDR first and IEND last, and
// enough compressed data for the size claimed: deflate packs at most 1032
// bytes into one, so less would only make the decoder allocate for nothing.
bool CheckPng(const uint8_t* p, size_t size, std::string& error)
{
    size_t pos = 8;
    uint64_t idat = 0, raw = 0;
    bool header = false;
    for (;;) {
        if (size - pos < 12) return Fail(error, "PNG: cut short");
        const uint32_t length = Be32(p + pos);
        if (length > size - pos - 12) return Fail(error, "PNG: a chunk runs past the end");
        const uint8_t* type = p + pos + 4;
        const bool critical = (type[0] & 0x20) == 0;
        if (critical && Crc32(type, length + 4) != Be32(type + 4 + length))
            return Fail(error, "PNG: checksum mismatch");
        if (!header) {
            if (std::memcmp(type, "IHDR", 4) != 0 || length != 13) return Fail(error, "PNG: no header");
            const uint32_t width = Be32(type + 4), height = Be32(type + 8);
            if (!CheckSize(width, height, error)) return false;
            // Methods PNG has one of (two for interlacing): another would be
            // read as something else.
            if (type[14] != 0) return Fail(error, "PNG: unknown compression method");
            if (type[15] != 0) return Fail(error, "PNG: unknown filter method");
            if (type[16] > 1) return Fail(error, "PNG: unknown interlace method");
            const uint32_t bitsPerPixel = type[12] * PngChannels(type[13]);
            raw = uint64_t(height) * (1 + (uint64_t(width) * bitsPerPixel + 7) / 8);
            header = true;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            idat += length;
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        } else if (std::memcmp(type, "IHDR", 4) == 0) {
            return Fail(error, "PNG: a second header");
        } else if (critical && std::memcmp(type, "PLTE", 4) != 0) {
            // One a reader must understand to draw the picture right.
            return Fail(error, "PNG: an unknown critical chunk");
        }
        pos += 12 + size_t(length);
    }
    if (idat == 0 || idat * 1032 + 1024 < raw) return Fail(error, "PNG: too little image data");
    return true;
}

namespace {

// ------------------------------------------------------------ JPG

// The decoder trusts the stream's tables: a Huffman table of more than 256
// codes overruns its arrays, a scan that names a table never defined makes
// it read uninitialised memory and assert, one without its quantisation
// table gives noise. So every segment is walked before the decoder (or its
// header reader) sees any: tables sound and defined before the scans that
// use them, the entropy-coded data between markers, and the end-of-image
// marker at the end (a file cut short lacks it, and the decoder would fill
// the rest with grey).
class JpgWalker {
public:
    static constexpr int kMaxScans = 100;

    JpgWalker(const uint8_t* p, size_t size) : p_(p), size_(size) {}

    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }

    const char* Walk()
    {
        size_t pos = 2;
        for (;;) {
            while (pos < size_ && p_[pos] == 0xFF && pos + 1 < size_ && p_[pos + 1] == 0xFF) ++pos;  // fill bytes
            if (pos + 2 > size_) return "JPG: cut short (no end of image)";
            if (p_[pos] != 0xFF) return "JPG: damaged markers";
            const uint8_t marker = p_[pos + 1];
            pos += 2;
            if (marker == 0xD9) return scans_ ? nullptr : "JPG: no image data";
            if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01 || marker == 0xD8) continue;
            if (size_ - pos < 2) return "JPG: cut short (no end of image)";
            const size_t length = size_t(p_[pos]) << 8 | p_[pos + 1];
            if (length < 2 || length > size_ - pos) return "JPG: a segment runs past the end";
            const uint8_t* body = p_ + pos + 2;
            const size_t bytes = length - 2;
            pos += length;
            const char* error = nullptr;
            if (marker == 0xC4) error = Huffman(body, bytes);
            else if (marker == 0xDB) error = Quantisation(body, bytes);
            else if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) error = Frame(body, bytes, marker == 0xC2);
            else if (marker == 0xDA) error = Scan(body, bytes, pos);
            if (error) return error;
        }
    }

private:
    const char* Huffman(const uint8_t* b, size_t n)
    {
        while (n > 0) {
            if (n < 17 || (b[0] >> 4) > 1 || (b[0] & 15) > 3) return "JPG: damaged Huffman table";
            size_t codes = 0;
            for (int i = 1; i <= 16; ++i) codes += b[i];
            if (codes > 256 || codes > n - 17) return "JPG: damaged Huffman table";
            huffman_[b[0] >> 4][b[0] & 15] = true;
            b += 17 + codes;
            n -= 17 + codes;
        }
        return nullptr;
    }

    const char* Quantisation(const uint8_t* b, size_t n)
    {
        while (n > 0) {
            const size_t table = (b[0] >> 4) ? 129 : 65;
            if ((b[0] >> 4) > 1 || (b[0] & 15) > 3 || n < table) return "JPG: damaged quantisation table";
            quant_[b[0] & 15] = true;
            b += table;
            n -= table;
        }
        return nullptr;
    }

    const char* Frame(const uint8_t* b, size_t n, bool progressive)
    {
        if (frame_) return "JPG: more than one frame";
        if (n < 6 || n != 6 + size_t(b[5]) * 3 || b[5] == 0 || b[5] > 4) return "JPG: damaged frame header";
        frame_ = true;
        progressive_ = progressive;
        height_ = uint32_t(b[1]) << 8 | b[2];
        width_ = uint32_t(b[3]) << 8 | b[4];
        components_ = b[5];
        for (size_t i = 0; i < components_; ++i) {
            ids_[i] = b[6 + 3 * i];
            quantOf_[i] = b[8 + 3 * i];
        }
        return nullptr;
    }

    // The scan header, then its entropy-coded data up to the next marker.
    const char* Scan(const uint8_t* b, size_t n, size_t& pos)
    {
        if (!frame_) return "JPG: a scan before the frame";
        if (n < 4 || n != 4 + size_t(b[0]) * 2 || b[0] == 0 || b[0] > components_) return "JPG: damaged scan header";
        const uint32_t ss = b[1 + 2 * b[0]], ah = b[3 + 2 * b[0]] >> 4;
        for (size_t i = 0; i < b[0]; ++i) {
            const uint8_t id = b[1 + 2 * i], dc = b[2 + 2 * i] >> 4, ac = b[2 + 2 * i] & 15;
            size_t c = 0;
            while (c < components_ && ids_[c] != id) ++c;
            if (c == components_ || dc > 3 || ac > 3 || quantOf_[c] > 3 || !quant_[quantOf_[c]])
                return "JPG: a scan without its tables";
            const bool needsDc = !progressive_ || (ss == 0 && ah == 0);
            const bool needsAc = !progressive_ || ss > 0;
            if ((needsDc && !huffman_[0][dc]) || (needsAc && !huffman_[1][ac])) return "JPG: a scan without its tables";
        }
        // The decoder walks every block once per scan: 87,000 scans of a
        // 1024x1024 picture took seconds. Encoders write one scan per
        // component, or a progressive script of about ten (a few dozen when
        // optimised); past kMaxScans a file is made to cost, not to show.
        if (++scans_ > kMaxScans) return "JPG: more scans than any encoder writes";
        while (pos + 1 < size_ && !(p_[pos] == 0xFF && p_[pos + 1] != 0 && (p_[pos + 1] < 0xD0 || p_[pos + 1] > 0xD7)))
            ++pos;
        return nullptr;
    }

    const uint8_t* p_;
    size_t size_;
    bool huffman_[2][4] = {};
    bool quant_[4] = {};
    bool frame_ = false, progressive_ = false;
    size_t components_ = 0;
    uint8_t ids_[4] = {}, quantOf_[4] = {};
    int scans_ = 0;
    uint32_t width_ = 0, height_ = 0;
};

// Each 8x8 block takes at least a bit, so a file far smaller than its size
// would have the decoder allocate for nothing.
bool CheckJpg(const uint8_t* p, size_t size, std::string& error)
{
    JpgWalker walker(p, size);
    if (const char* reason = walker.Walk()) return Fail(error, reason);
    if (!CheckSize(walker.Width(), walker.Height(), error)) return false;
    const uint64_t blocks = uint64_t((walker.Width() + 7) / 8) * ((walker.Height() + 7) / 8);
    if (uint64_t(size) * 8 < blocks) return Fail(error, "JPG: too little image data");
    return true;
}

// ------------------------------------------------------------ TGA

struct TgaHeader {
    uint32_t idLength, colourMapType, imageType, paletteFirst, paletteLength, paletteBits, width, height, bits;
};

TgaHeader ReadTga(const uint8_t* p)
{
    return {p[0], p[1], p[2], Le16(p + 3), Le16(p + 5), p[7], Le16(p + 12), Le16(p + 14), p[16]};
}

bool LooksLikeTga(const uint8_t* p, size_t size)
{
    if (size < 18) return false;
    const TgaHeader h = ReadTga(p);
    const uint32_t type = h.imageType & ~8u;
    if (h.colourMapType > 1 || h.width == 0 || h.height == 0) return false;
    if (h.colourMapType == 1) {
        const uint32_t e = h.paletteBits;
        return type == 1 && (e == 8 || e == 15 || e == 16 || e == 24 || e == 32) && (h.bits == 8 || h.bits == 16);
    }
    const uint32_t b = h.bits;
    return (type == 2 && (b == 15 || b == 16 || b == 24 || b == 32)) || (type == 3 && (b == 8 || b == 16));
}

bool CheckTga(const uint8_t* p, size_t size, std::string& error)
{
    const TgaHeader h = ReadTga(p);
    if (!CheckSize(h.width, h.height, error)) return false;
    size_t pos = 18 + h.idLength;
    if (h.colourMapType == 1) {
        // The decoder takes the first entry as a count of bytes to skip.
        if (h.paletteFirst != 0) return Fail(error, "TGA: unsupported palette start");
        if (h.paletteLength == 0) return Fail(error, "TGA: empty palette");
        pos += size_t(h.paletteLength) * ((h.paletteBits + 7) / 8);
    }
    if (pos > size) return Fail(error, "TGA: cut short");
    const size_t pixelBytes = (h.bits + 7) / 8;
    const uint64_t pixels = uint64_t(h.width) * h.height;
    if ((h.imageType & 8) == 0) {
        if (pixels * pixelBytes > size - pos) return Fail(error, "TGA: cut short");
        return true;
    }
    // Run-length packets: a count byte, then one pixel repeated or n raw ones.
    for (uint64_t done = 0; done < pixels;) {
        if (pos >= size) return Fail(error, "TGA: cut short");
        const uint32_t packet = p[pos++];
        const size_t count = (packet & 127) + 1;
        const size_t bytes = (packet & 128) ? pixelBytes : count * pixelBytes;
        if (bytes > size - pos) return Fail(error, "TGA: cut short");
        pos += bytes;
        done += count;
    }
    return true;
}

bool IsBiRgb32(const uint8_t* p) { return Le16(p + 28) == 32 && Le32(p + 30) == kBiRgb; }

}  // namespace

bool SniffStbFormat(const uint8_t* p, size_t size, uint32_t& format)
{
    if (size >= 2 && p[0] == 'B' && p[1] == 'M') format = kFileBmp;
    else if (size >= 8 && std::memcmp(p, kPngSignature, 8) == 0) format = kFilePng;
    else if (size >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF) format = kFileJpg;
    else if (LooksLikeTga(p, size)) format = kFileTga;
    else return false;
    return true;
}

bool DecodeStb(const uint8_t* p, size_t size, uint32_t format, const Sized& sized, Texels& out, std::string& error)
{
    std::vector<uint8_t> converted;
    if (format == kFileBmp && size >= 18 && Le32(p + 14) == 12) {
        if (!FromOs2(p, size, converted, error)) return false;
        p = converted.data();
        size = converted.size();
    }
    if (size > size_t(INT_MAX)) return Fail(error, "image file too large");
    const int length = int(size);
    bool ok = false;
    switch (format) {
    case kFileBmp: {
        BmpHeader header;
        ok = CheckBmp(p, size, header, error);
        break;
    }
    case kFilePng: ok = CheckPng(p, size, error) && WalkPng(p, size, error); break;
    case kFileTga: ok = CheckTga(p, size, error); break;
    case kFileJpg: ok = CheckJpg(p, size, error); break;
    default: return Fail(error, "unknown image format");
    }
    if (!ok) return false;

    int w = 0, h = 0, channels = 0;
    // (A top-down BMP's height comes back negative.)
    if (!stbi_info_from_memory(p, length, &w, &h, &channels) || w <= 0 || h == 0)
        return Fail(error, "cannot decode the image: damaged header");
    h = h < 0 ? -h : h;
    if (!sized(uint32_t(w), uint32_t(h))) return false;
    stbi_uc* rgba = stbi_load_from_memory(p, length, &w, &h, &channels, 4);
    if (!rgba) {
        const char* reason = stbi_failure_reason();
        error = std::string("cannot decode the image: ") + (reason ? reason : "unknown reason");
        return false;
    }
    out.decoder = {reinterpret_cast<uint32_t*>(rgba), stbi_image_free};
    out.width = uint32_t(w);
    out.height = uint32_t(h);
    static_assert(std::endian::native == std::endian::little);
    out.fromRgba = true;
    // 32-bit BI_RGB pixels carry no alpha: the fourth byte is padding.
    out.alpha = format == kFileBmp && IsBiRgb32(p) ? 0xFF000000u : 0u;
    return true;
}

}  // namespace host::image::detail
