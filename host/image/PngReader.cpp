// PNG files of every kind: each row inflated by zlib out of the IDAT
// chunks, unfiltered and written as A8R8G8B8 straight where it goes (an
// interlaced pass's pixels to their places), so the picture is the only
// memory of its size; stb_image takes three passes over fresh memory for
// the same. The texels are those stb gives (no gamma applied, the high byte
// of 16-bit samples, alpha 0xFF without alpha or a transparent colour, the
// transparent colour matched as stb matches it).
#include "host/image/Formats.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace host::image::detail {
namespace {

// Out of the row loop, so it vectorises alone.
void KeyRow(uint32_t* row, uint32_t width, uint32_t key)
{
    // Four texels a step (GCC's vector types): a texel equal to the key
    // leaves a lane of zeros in the mask.
    using Lanes = uint32_t __attribute__((vector_size(16)));
    const Lanes keys = {key, key, key, key};
    uint32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        Lanes v;
        std::memcpy(&v, row + x, sizeof v);
        v &= reinterpret_cast<Lanes>(v != keys);
        std::memcpy(row + x, &v, sizeof v);
    }
    for (; x < width; ++x) row[x] = row[x] == key ? 0u : row[x];
}

uint8_t Paeth(uint8_t a, uint8_t b, uint8_t c)
{
    const int p = int(a) + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes a row's filter in place; prev is the row above, unfiltered (zeros
// above the first). False for a filter PNG does not have.
bool Unfilter(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t bytes, size_t bpp)
{
    switch (filter) {
    case 0: return true;
    case 1:
        for (size_t i = bpp; i < bytes; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
        return true;
    case 2:
        for (size_t i = 0; i < bytes; ++i) row[i] = uint8_t(row[i] + prev[i]);
        return true;
    case 3:
        for (size_t i = 0; i < bpp; ++i) row[i] = uint8_t(row[i] + (prev[i] >> 1));
        for (size_t i = bpp; i < bytes; ++i) row[i] = uint8_t(row[i] + ((row[i - bpp] + prev[i]) >> 1));
        return true;
    case 4:
        for (size_t i = 0; i < bpp; ++i) row[i] = uint8_t(row[i] + prev[i]);
        for (size_t i = bpp; i < bytes; ++i) row[i] = uint8_t(row[i] + Paeth(row[i - bpp], prev[i], prev[i - bpp]));
        return true;
    default: return false;
    }
}

// R, G, B[, A] bytes to A8R8G8B8 texels.
void ToTexels(const uint8_t* from, uint32_t* to, uint32_t width, bool rgb)
{
    if (rgb) {
        for (uint32_t x = 0; x < width; ++x, from += 3)
            to[x] = 0xFF000000u | uint32_t(from[0]) << 16 | uint32_t(from[1]) << 8 | from[2];
        return;
    }
    for (uint32_t x = 0; x < width; ++x) {
        uint32_t v;
        std::memcpy(&v, from + 4 * size_t(x), 4);   // A B G R from the top byte down
        to[x] = (v & 0xFF00FF00u) | (v & 0xFFu) << 16 | (v >> 16 & 0xFFu);
    }
}

// Deflate, a window it allows, no preset dictionary.
bool ZlibHeader(const uint8_t* h)
{
    return (h[0] & 0x0F) == 8 && (h[0] >> 4) <= 7 && !(h[1] & 0x20) && (uint32_t(h[0]) << 8 | h[1]) % 31 == 0;
}

// What each thread keeps from one image to the next (about 300 KiB): the
// inflater's state and window, set up once (about 40 KiB), and the batch
// of rows (fresh pages for each image cost about as much as inflating
// them).
struct Kept {
    z_stream z{};
    bool ready = false;
    std::vector<uint8_t> rows;
    ~Kept()
    {
        if (ready) inflateEnd(&z);
    }
};

Kept& ThisThreads()
{
    thread_local Kept kept;
    return kept;
}

// Rows come out of the zlib stream a batch at a time, straight from the
// IDAT chunks: nothing the size of the picture is held besides the
// picture, and a stream damaged early costs no more than what it gave.
// zlib is strict where libdeflate is lenient (length codes past 285,
// distances past the window), so it refuses what libpng refuses.
class RowStream {
public:
    RowStream(const uint8_t* p, size_t size) : p_(p), size_(size), z_(ThisThreads().z) { pos_ = 8; }

    // The zlib header checked, the raw deflate stream set up. Its checksum
    // at the end is not checked, as stb does not.
    const char* Open()
    {
        uint8_t header[2];
        size_t got = 0;
        while (got < 2 && NextData()) {
            const size_t n = std::min<size_t>(2 - got, z_.avail_in);
            std::memcpy(header + got, z_.next_in, n);
            got += n;
            z_.next_in += n;
            z_.avail_in -= uInt(n);
        }
        if (got < 2) return "no image data";
        if (!ZlibHeader(header)) return "not a zlib stream";
        Kept& kept = ThisThreads();
        if (kept.ready ? inflateReset(&z_) != Z_OK : inflateInit2(&z_, -15) != Z_OK) return "out of memory";
        kept.ready = true;
        return nullptr;
    }

    // Fills the bytes, or says why not.
    const char* Read(uint8_t* to, size_t bytes)
    {
        z_.next_out = to;
        z_.avail_out = uInt(bytes);
        while (z_.avail_out) {
            if (!z_.avail_in && !NextData()) return ended_ ? "too little image data" : "image data cut short";
            const int r = inflate(&z_, Z_NO_FLUSH);
            if (r == Z_STREAM_END && z_.avail_out) return "too little image data";
            if (r == Z_STREAM_END) ended_ = true;
            else if (r != Z_OK && r != Z_BUF_ERROR) return "damaged image data";
        }
        return nullptr;
    }

    // After the last row: the stream runs on to the end of its last block,
    // past data it may hold beyond the picture (some encoders pad; readers
    // take them). Cut short or damaged anywhere, it is refused as stb and
    // libpng refuse it. Past kInflatedPastRows, the rest is walked rather
    // than inflated (walk() walks the whole stream): a small file padded
    // with a gigabyte of zeros then costs milliseconds, not seconds.
    template <class Walk>
    const char* Finish(const Walk& walk)
    {
        static constexpr size_t kInflatedPastRows = size_t(1) << 20;
        uint8_t rest[16384];
        size_t past = 0;
        PastRows& counts = PngPastRows();
        while (!ended_) {
            if (past > kInflatedPastRows) {
                ++counts.walks;
                return walk();
            }
            z_.next_out = rest;
            z_.avail_out = sizeof rest;
            if (!z_.avail_in && !NextData()) return "image data cut short";
            const int r = inflate(&z_, Z_NO_FLUSH);
            past += sizeof rest - z_.avail_out;
            counts.inflated += sizeof rest - z_.avail_out;
            if (r == Z_STREAM_END) ended_ = true;
            else if (r != Z_OK && r != Z_BUF_ERROR) return "damaged image data";
        }
        return nullptr;
    }

private:
    // Points the stream at the next IDAT chunk's data (CheckPng has walked
    // the chunks); false past the last.
    bool NextData()
    {
        while (size_ - pos_ >= 12) {
            const uint32_t n = Be32(p_ + pos_);
            const uint8_t* type = p_ + pos_ + 4;
            if (std::memcmp(type, "IEND", 4) == 0) return false;
            pos_ += 12 + size_t(n);
            if (std::memcmp(type, "IDAT", 4) == 0 && n) {
                z_.next_in = const_cast<uint8_t*>(type + 4);
                z_.avail_in = uInt(n);
                return true;
            }
        }
        return false;
    }

    const uint8_t* p_;
    size_t size_, pos_;
    z_stream& z_;
    bool ended_ = false;
};

// Past this many bytes of rows, from a stream this many times smaller, the
// stream's codes are walked through once before the picture's room is
// asked for: a small damaged file claiming a large picture then costs
// milliseconds, not the memory of the picture (several side by side would
// take gigabytes). Large textures as they are drawn compress less and go
// straight to inflating.
constexpr size_t kCheckFirstBytes = size_t(16) << 20;
constexpr size_t kCheckFirstRatio = 16;

// Rows inflated at a time, at most (one at least): zlib copies the last
// 32 KiB of what each call gives into its window, so calls are few.
constexpr size_t kBatchBytes = size_t(256) << 10;

// The IDAT chunks' data, joined when there are several.
std::vector<uint8_t> ImageData(const uint8_t* p, size_t size)
{
    std::vector<uint8_t> data;
    for (size_t pos = 8; size - pos >= 12;) {
        const uint32_t n = Be32(p + pos);
        const uint8_t* type = p + pos + 4;
        if (std::memcmp(type, "IEND", 4) == 0) break;
        if (std::memcmp(type, "IDAT", 4) == 0) data.insert(data.end(), type + 4, type + 4 + n);
        pos += 12 + size_t(n);
    }
    return data;
}

}  // namespace

PastRows& PngPastRows()
{
    thread_local PastRows counts;
    return counts;
}

RowLayout PngRows(const uint8_t* p)
{
    const uint64_t width = Be32(p + 16), height = Be32(p + 20);
    const uint64_t bits = uint64_t(p[24]) * (p[25] == 2 ? 3 : p[25] == 4 ? 2 : p[25] == 6 ? 4 : 1);
    RowLayout layout;
    const auto pass = [&](uint64_t x0, uint64_t y0, uint64_t dx, uint64_t dy) {
        const uint64_t w = width > x0 ? (width - x0 + dx - 1) / dx : 0;
        const uint64_t h = height > y0 ? (height - y0 + dy - 1) / dy : 0;
        RowLayout::Pass& to = layout.passes[layout.count++];
        to.rows = w ? h : 0;
        to.stride = 1 + (w * bits + 7) / 8;
    };
    if (p[28] == 0) {
        pass(0, 0, 1, 1);
    } else {
        static constexpr uint8_t kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                                 {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
        for (const auto& a : kAdam7) pass(a[0], a[1], a[2], a[3]);
    }
    return layout;
}

bool WalkPng(const uint8_t* p, size_t size, std::string& error)
{
    const RowLayout layout = PngRows(p);
    const uint64_t rawBytes = layout.Bytes();
    if (rawBytes <= kCheckFirstBytes || rawBytes / kCheckFirstRatio <= size) return true;
    const auto fail = [&error](const char* why) {
        error = std::string("cannot decode the image: ") + why;
        return false;
    };
    const std::vector<uint8_t> data = ImageData(p, size);
    if (data.size() < 2) return fail("no image data");
    if (!ZlibHeader(data.data())) return fail("not a zlib stream");
    if (const char* why = WalkDeflate(data.data() + 2, data.size() - 2, rawBytes, &layout)) return fail(why);
    return true;
}

namespace {

// What a file's pixels are made of, besides its rows: the colour type and
// depth, its palette (A8R8G8B8, opaque black past its entries, as libpng
// gives them) and its transparent colour, as stb reads them.
struct PixelFormat {
    uint32_t type = 0, depth = 0, channels = 0;
    uint32_t palette[256];
    bool keyed = false;       // a transparent colour (grey or RGB)
    uint16_t clear[3] = {};   // it, at 16 bits; at 8 bits and less as stb keeps it
};

bool DecodeFail(std::string& error, const char* why)
{
    error = std::string("cannot decode the image: ") + why;
    return false;
}

// The header's depth and colour type checked, the palette and transparent
// colour read from their chunks (CheckPng has walked them).
bool ReadFormat(const uint8_t* p, size_t size, PixelFormat& f, std::string& error)
{
    f.depth = p[24];
    f.type = p[25];
    const uint32_t d = f.depth;
    static constexpr uint32_t kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    f.channels = f.type < 7 ? kChannels[f.type] : 0;
    if (!f.channels) return DecodeFail(error, "an unknown colour type");
    // Grey takes every depth, a palette all but 16, the others 8 and 16.
    const bool depthOk =
        d == 8 || (d == 16 && f.type != 3) || ((d == 1 || d == 2 || d == 4) && (f.type == 0 || f.type == 3));
    if (!depthOk) return DecodeFail(error, "a depth its colour type does not have");
    std::fill(std::begin(f.palette), std::end(f.palette), 0xFF000000u);
    uint32_t entries = 0;
    bool data = false;
    for (size_t pos = 33; size - pos >= 12;) {
        const uint32_t length = Be32(p + pos);
        const uint8_t* type = p + pos + 4;
        const uint8_t* at = type + 4;
        if (std::memcmp(type, "IEND", 4) == 0) break;
        if (std::memcmp(type, "IDAT", 4) == 0) {
            data = true;
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            // Empty, it names nothing (a palette file then has none).
            if (length % 3 || length > 3 * 256) return DecodeFail(error, "a damaged palette");
            entries = length / 3;
            for (uint32_t i = 0; i < entries; ++i) f.palette[i] = Argb(0xFF, at[3 * i], at[3 * i + 1], at[3 * i + 2]);
        } else if (std::memcmp(type, "tRNS", 4) == 0) {
            if (data) return DecodeFail(error, "a transparent colour after the image data");
            if (f.type == 3) {
                if (!entries) return DecodeFail(error, "transparency before the palette");
                if (length > entries) return DecodeFail(error, "more transparency than palette");
                for (uint32_t i = 0; i < length; ++i) f.palette[i] = (f.palette[i] & 0xFFFFFFu) | uint32_t(at[i]) << 24;
            } else if (f.type == 0 || f.type == 2) {
                if (length != 2 * f.channels) return DecodeFail(error, "a damaged transparent colour");
                f.keyed = true;
                // stb keeps the low byte of each at 8 bits and less, scaled
                // to 8 bits as the samples are (in a byte).
                static constexpr uint8_t kScale[9] = {0, 0xFF, 0x55, 0, 0x11, 0, 0, 0, 0x01};
                for (uint32_t c = 0; c < f.channels; ++c) {
                    const uint32_t v = uint32_t(at[2 * c]) << 8 | at[2 * c + 1];
                    f.clear[c] = uint16_t(d == 16 ? v : uint8_t((v & 0xFF) * kScale[d]));
                }
            } else {
                return DecodeFail(error, "a transparent colour beside alpha");
            }
        }
        pos += 12 + size_t(length);
    }
    if (f.type == 3 && !entries) return DecodeFail(error, "no palette");
    return true;
}

// One unfiltered row of n pixels to A8R8G8B8, each texel `step` apart.
void RowTexels(const PixelFormat& f, const uint8_t* in, uint32_t* to, uint32_t n, size_t step)
{
    const uint32_t d = f.depth;
    if (f.type == 3 || (f.type == 0 && d < 8)) {
        static constexpr uint8_t kScale[9] = {0, 0xFF, 0x55, 0, 0x11, 0, 0, 0, 0x01};
        const uint32_t mask = (1u << d) - 1;
        for (uint32_t x = 0; x < n; ++x, to += step) {
            const size_t bit = size_t(x) * d;
            const uint32_t v = in[bit / 8] >> (8 - d - bit % 8) & mask;
            if (f.type == 3) {
                *to = f.palette[v];
            } else {
                const uint32_t g = uint8_t(v * kScale[d]);
                *to = (f.keyed && g == f.clear[0] ? 0u : 0xFF000000u) | g * 0x010101u;
            }
        }
        return;
    }
    // Samples of 8 or 16 bits: the high byte kept, the transparent colour
    // matched on the whole sample.
    const size_t bytes = d / 8;
    for (uint32_t x = 0; x < n; ++x, to += step, in += bytes * f.channels) {
        const auto sample = [&](uint32_t c) { return in[c * bytes]; };
        const auto whole = [&](uint32_t c) { return bytes == 2 ? uint32_t(in[2 * c]) << 8 | in[2 * c + 1] : in[c]; };
        switch (f.type) {
        case 0: {
            const uint32_t g = sample(0);
            *to = (f.keyed && whole(0) == f.clear[0] ? 0u : 0xFF000000u) | g * 0x010101u;
            break;
        }
        case 4: *to = uint32_t(sample(1)) << 24 | sample(0) * 0x010101u; break;
        case 2: {
            const bool clear = f.keyed && whole(0) == f.clear[0] && whole(1) == f.clear[1] && whole(2) == f.clear[2];
            *to = (clear ? 0u : 0xFF000000u) | Argb(0, sample(0), sample(1), sample(2));
            break;
        }
        default: *to = Argb(sample(3), sample(0), sample(1), sample(2)); break;
        }
    }
}

}  // namespace

bool DecodePng(const uint8_t* p, size_t size, const Sized& sized, const Rows& rows, uint32_t key, Texels& out,
               std::string& error)
{
    if (!CheckPng(p, size, error)) return false;
    const uint32_t width = Be32(p + 16), height = Be32(p + 20);
    const auto fail = [&error](const char* why) { return DecodeFail(error, why); };
    std::unique_ptr<PixelFormat> format = std::make_unique<PixelFormat>();
    PixelFormat& f = *format;
    if (!ReadFormat(p, size, f, error)) return false;
    const bool interlaced = p[28] != 0;
    // 8-bit RGB without a transparent colour and RGBA, straight a row at a
    // time (what textures are kept as); every other kind through RowTexels.
    const bool straight = f.depth == 8 && (f.type == 6 || (f.type == 2 && !f.keyed));
    const bool rgb = f.type == 2;
    const size_t bpp = std::max<size_t>(1, f.channels * f.depth / 8);
    if (!WalkPng(p, size, error)) return false;
    RowStream stream(p, size);
    if (const char* why = stream.Open()) return fail(why);
    if (!sized(width, height)) return false;

    size_t pitch = 0;
    uint32_t* to = rows(pitch);
    if (!to) {
        out.owned.resize(size_t(width) * height);
        to = out.owned.data();
        pitch = width;
    }
    out.width = width;
    out.height = height;
    out.placed = to != out.owned.data();
    // Keyed here only when placed: a picture still to be stretched is keyed
    // before it is (by the caller).
    const uint32_t rowKey = out.placed ? key : 0;
    static constexpr uint8_t kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                             {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    static constexpr uint8_t kWhole[1][4] = {{0, 0, 1, 1}};
    const auto passes = interlaced ? kAdam7 : kWhole;
    const int passCount = interlaced ? 7 : 1;
    std::vector<uint8_t>& rowsIn = ThisThreads().rows;
    for (int pass = 0; pass < passCount; ++pass) {
        const uint32_t x0 = passes[pass][0], y0 = passes[pass][1], dx = passes[pass][2], dy = passes[pass][3];
        const uint32_t pw = width > x0 ? (width - x0 + dx - 1) / dx : 0;
        const uint32_t ph = height > y0 ? (height - y0 + dy - 1) / dy : 0;
        if (!pw || !ph) continue;
        const size_t rowBytes = (size_t(pw) * f.channels * f.depth + 7) / 8, stride = rowBytes + 1;
        // Rows inflate a batch at a time (zlib's fast loop stops short of
        // the end of each output), behind a copy of the last row of the
        // batch before (zeros above the pass's first).
        const size_t batch = std::max<size_t>(1, kBatchBytes / stride);
        if (rowsIn.size() < (1 + batch) * stride) rowsIn.resize((1 + batch) * stride);
        std::memset(rowsIn.data(), 0, stride);
        for (uint32_t j = 0; j < ph;) {
            const uint32_t n = uint32_t(std::min<size_t>(batch, ph - j));
            uint8_t* first = rowsIn.data() + stride;
            if (const char* why = stream.Read(first, n * stride)) return fail(why);
            for (uint32_t i = 0; i < n; ++i, ++j) {
                uint8_t* row = first + i * stride;
                if (!Unfilter(row[0], row + 1, row - stride + 1, rowBytes, bpp))
                    return fail("a row filter PNG does not have");
                uint32_t* texels = to + size_t(y0 + j * dy) * pitch + x0;
                if (straight && !interlaced) ToTexels(row + 1, texels, width, rgb);
                else RowTexels(f, row + 1, texels, pw, dx);
                // Keyed while the row is still in the cache.
                if (rowKey && !interlaced) KeyRow(texels, width, rowKey);
            }
            std::memcpy(rowsIn.data(), first + (n - 1) * stride, stride);
        }
    }
    const auto walk = [p, size]() -> const char* {
        const std::vector<uint8_t> data = ImageData(p, size);
        return WalkDeflate(data.data() + 2, data.size() - 2, PngRows(p).Bytes());
    };
    if (const char* why = stream.Finish(walk)) return fail(why);
    if (rowKey && interlaced)
        for (uint32_t y = 0; y < height; ++y) KeyRow(to + size_t(y) * pitch, width, rowKey);
    return true;
}

}  // namespace host::image::detail
