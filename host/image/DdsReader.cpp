// DDS files: the top level of DXT1, DXT2/3, DXT4/5 and uncompressed RGB,
// luminance and alpha surfaces with channel masks (grey spread over red,
// green and blue; an alpha surface is black). Compressed blocks are decoded on the CPU, so
// every backend sees the same A8R8G8B8 texels and the colour key and the
// stretch have one path. DXT2 and DXT4 hold premultiplied colour; they are
// decoded as DXT3 and DXT5, as the loader treated them.
#include "host/image/Formats.h"

#include <bit>
#include <cstring>

namespace host::image::detail {
namespace {

constexpr size_t kHeaderBytes = 128;  // "DDS " and the 124-byte description

// Offsets into the file.
constexpr size_t kDescSize = 4;
constexpr size_t kHeight = 12;
constexpr size_t kWidth = 16;
constexpr size_t kPitch = 20;
constexpr size_t kFormatFlags = 80;
constexpr size_t kFourCc = 84;
constexpr size_t kBitCount = 88;
constexpr size_t kMasks = 92;  // red, green, blue, alpha

constexpr uint32_t kAlphaPixels = 0x1;
constexpr uint32_t kAlphaOnly = 0x2;
constexpr uint32_t kHasFourCc = 0x4;
constexpr uint32_t kRgb = 0x40;
constexpr uint32_t kLuminance = 0x20000;

constexpr uint32_t FourCc(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
        uint32_t(uint8_t(s[3])) << 24;
}

enum class Alpha { None, Explicit, Interpolated };

// ------------------------------------------------------------ DXT blocks

void Expand565(uint32_t c, uint32_t& r, uint32_t& g, uint32_t& b)
{
    r = (c >> 11) & 31;
    g = (c >> 5) & 63;
    b = c & 31;
    r = r << 3 | r >> 2;
    g = g << 2 | g >> 4;
    b = b << 3 | b >> 2;
}

// The four colours of a colour block. In DXT1 a first colour not above the
// second selects three colours and transparent black; the blocks of the
// other formats always hold four. Blends truncate, as the common software
// decoders do (hardware differs by a step or two).
void ColourPalette(const uint8_t* block, bool alwaysFour, uint32_t palette[4])
{
    const uint32_t c0 = Le16(block), c1 = Le16(block + 2);
    uint32_t r[4], g[4], b[4];
    Expand565(c0, r[0], g[0], b[0]);
    Expand565(c1, r[1], g[1], b[1]);
    const bool four = alwaysFour || c0 > c1;
    if (four) {
        r[2] = (2 * r[0] + r[1]) / 3, g[2] = (2 * g[0] + g[1]) / 3, b[2] = (2 * b[0] + b[1]) / 3;
        r[3] = (r[0] + 2 * r[1]) / 3, g[3] = (g[0] + 2 * g[1]) / 3, b[3] = (b[0] + 2 * b[1]) / 3;
    } else {
        r[2] = (r[0] + r[1]) / 2, g[2] = (g[0] + g[1]) / 2, b[2] = (b[0] + b[1]) / 2;
    }
    for (int i = 0; i < 4; ++i) palette[i] = Argb(255, r[i], g[i], b[i]);
    if (!four) palette[3] = 0;
}

// The eight alpha values of an interpolated alpha block.
void AlphaPalette(const uint8_t* block, uint32_t alpha[8])
{
    const uint32_t a0 = block[0], a1 = block[1];
    alpha[0] = a0;
    alpha[1] = a1;
    if (a0 > a1) {
        for (uint32_t i = 1; i < 7; ++i) alpha[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (uint32_t i = 1; i < 5; ++i) alpha[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        alpha[6] = 0;
        alpha[7] = 255;
    }
}

// One 4x4 block into texels[16], row by row.
void DecodeBlock(const uint8_t* block, Alpha alpha, uint32_t texels[16])
{
    const uint8_t* colour = alpha == Alpha::None ? block : block + 8;
    uint32_t palette[4];
    ColourPalette(colour, alpha != Alpha::None, palette);
    const uint32_t indices = Le32(colour + 4);
    for (uint32_t i = 0; i < 16; ++i) texels[i] = palette[(indices >> (2 * i)) & 3];

    if (alpha == Alpha::Explicit) {
        for (uint32_t i = 0; i < 16; ++i) {
            const uint32_t a = (block[i / 2] >> (4 * (i & 1))) & 15;
            texels[i] = (texels[i] & 0x00FFFFFFu) | (a * 17) << 24;
        }
    } else if (alpha == Alpha::Interpolated) {
        uint32_t values[8];
        AlphaPalette(block, values);
        uint64_t bits = 0;
        for (int i = 5; i >= 0; --i) bits = bits << 8 | block[2 + i];
        for (uint32_t i = 0; i < 16; ++i)
            texels[i] = (texels[i] & 0x00FFFFFFu) | values[(bits >> (3 * i)) & 7] << 24;
    }
}

bool DecodeBlocks(const uint8_t* data, size_t available, Alpha alpha, const Sized& sized, Texels& out,
    std::string& error)
{
    const size_t blockBytes = alpha == Alpha::None ? 8 : 16;
    const size_t across = (out.width + 3) / 4, down = (out.height + 3) / 4;
    if (across * down * blockBytes > available) {
        error = "DDS: the compressed surface is cut short";
        return false;
    }
    if (!sized(out.width, out.height)) return false;
    out.owned.assign(size_t(out.width) * out.height, 0);
    uint32_t texels[16];
    for (size_t by = 0; by < down; ++by) {
        for (size_t bx = 0; bx < across; ++bx) {
            DecodeBlock(data + (by * across + bx) * blockBytes, alpha, texels);
            for (size_t y = 0; y < 4 && by * 4 + y < out.height; ++y)
                for (size_t x = 0; x < 4 && bx * 4 + x < out.width; ++x)
                    out.owned[(by * 4 + y) * out.width + bx * 4 + x] = texels[y * 4 + x];
        }
    }
    return true;
}

// ------------------------------------------------------------ uncompressed

struct Channel {
    uint32_t shift = 0;
    uint32_t max = 0;  // the largest value of the field; 0 when absent
};

bool MakeChannel(uint32_t mask, uint32_t bitCount, Channel& c)
{
    if (mask == 0) return true;
    if (bitCount < 32 && (mask >> bitCount) != 0) return false;
    c.shift = uint32_t(std::countr_zero(mask));
    const uint32_t field = mask >> c.shift;
    if ((field & (field + 1)) != 0) return false;  // not one run of bits
    c.max = field;
    return true;
}

uint32_t Scale(uint32_t value, const Channel& c, uint32_t absent)
{
    if (c.max == 0) return absent;
    const uint64_t v = (value >> c.shift) & c.max;
    return uint32_t((v * 255 + c.max / 2) / c.max);
}

bool DecodeMasked(const uint8_t* file, size_t available, const Sized& sized, Texels& out, std::string& error)
{
    const uint32_t flags = Le32(file + kFormatFlags);
    const uint32_t bitCount = Le32(file + kBitCount);
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
        error = "DDS: unsupported bits per pixel";
        return false;
    }
    // A luminance surface keeps its grey in the red mask; an alpha surface
    // has no colour at all.
    const bool rgb = flags & kRgb, grey = !rgb && (flags & kLuminance), alphaOnly = !rgb && !grey;
    Channel r, g, b, a;
    bool masksOk = MakeChannel(alphaOnly ? 0 : Le32(file + kMasks), bitCount, r) &&
        MakeChannel(rgb ? Le32(file + kMasks + 4) : 0, bitCount, g) &&
        MakeChannel(rgb ? Le32(file + kMasks + 8) : 0, bitCount, b) &&
        MakeChannel((flags & (kAlphaPixels | kAlphaOnly)) ? Le32(file + kMasks + 12) : 0, bitCount, a);
    if (grey) g = b = r;
    masksOk = masksOk && (alphaOnly ? a.max : (r.max | g.max | b.max)) != 0;
    if (!masksOk) {
        error = "DDS: unusable channel masks";
        return false;
    }

    // Rows are tight, except from writers that pad them to 4 bytes and say
    // so in the pitch field (the engine's own DDS writer among them).
    const size_t bytesPerPixel = bitCount / 8;
    const size_t tight = size_t(out.width) * bytesPerPixel;
    const size_t padded = (tight + 3) & ~size_t(3);
    const size_t pitch = Le32(file + kPitch) == padded ? padded : tight;
    if (pitch * (out.height - 1) + tight > available) {
        error = "DDS: the surface is cut short";
        return false;
    }
    if (!sized(out.width, out.height)) return false;

    out.owned.resize(size_t(out.width) * out.height);
    const uint8_t* data = file + kHeaderBytes;
    for (size_t y = 0; y < out.height; ++y) {
        const uint8_t* p = data + y * pitch;
        for (size_t x = 0; x < out.width; ++x, p += bytesPerPixel) {
            uint32_t v = 0;
            for (size_t i = 0; i < bytesPerPixel; ++i) v |= uint32_t(p[i]) << (8 * i);
            out.owned[y * out.width + x] = Argb(Scale(v, a, 255), Scale(v, r, 0), Scale(v, g, 0), Scale(v, b, 0));
        }
    }
    return true;
}

}  // namespace

bool IsDds(const uint8_t* p, size_t size) { return size >= 4 && std::memcmp(p, "DDS ", 4) == 0; }

bool DecodeDds(const uint8_t* p, size_t size, const Sized& sized, Texels& out, std::string& error)
{
    if (size < kHeaderBytes || Le32(p + kDescSize) != 124) {
        error = "DDS: damaged header";
        return false;
    }
    out.width = Le32(p + kWidth);
    out.height = Le32(p + kHeight);
    if (!CheckSize(out.width, out.height, error)) return false;

    const size_t available = size - kHeaderBytes;
    const uint32_t flags = Le32(p + kFormatFlags);
    if (flags & kHasFourCc) {
        switch (Le32(p + kFourCc)) {
        case FourCc("DXT1"): return DecodeBlocks(p + kHeaderBytes, available, Alpha::None, sized, out, error);
        case FourCc("DXT2"):
        case FourCc("DXT3"): return DecodeBlocks(p + kHeaderBytes, available, Alpha::Explicit, sized, out, error);
        case FourCc("DXT4"):
        case FourCc("DXT5"): return DecodeBlocks(p + kHeaderBytes, available, Alpha::Interpolated, sized, out, error);
        default: error = "DDS: unsupported compression"; return false;
        }
    }
    if (flags & (kRgb | kLuminance | kAlphaOnly)) return DecodeMasked(p, available, sized, out, error);
    error = "DDS: unsupported pixel format";
    return false;
}

}  // namespace host::image::detail
