// 8-bit RGB and RGBA PNG files (what textures are saved as): the image data
// inflated at once by libdeflate (two to three times zlib's speed) into a
// buffer each thread keeps, then each row unfiltered and written as
// A8R8G8B8 straight where it goes. stb_image takes three passes over fresh
// memory for the same; a 1024 x 2048 texture took 20 ms so, and 12 ms
// through libpng. Other PNG files go to stb, which reads them as before;
// the texels are the same either way (no gamma applied, alpha 0xFF for RGB).
#include "host/image/Formats.h"

#include <libdeflate.h>

#include <cstdlib>
#include <cstring>
#include <memory>
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

struct FreeDecompressor {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Kept by each thread from one image to the next: the pooled loader threads
// decode one texture after another, and fresh pages cost as much as the
// inflating. A buffer grown past this is let go after use.
constexpr size_t kKeptBytes = size_t(32) << 20;

struct Scratch {
    std::unique_ptr<libdeflate_decompressor, FreeDecompressor> inflater;
    std::vector<uint8_t> raw;
};

// The zlib stream the IDAT chunks hold together (CheckPng has walked them):
// in place when one chunk holds it all, else gathered into joined.
bool ImageStream(const uint8_t* p, size_t size, std::vector<uint8_t>& joined, const uint8_t*& stream,
                 size_t& length)
{
    stream = nullptr;
    length = 0;
    size_t chunks = 0;
    for (size_t pos = 8; size - pos >= 12;) {
        const uint32_t n = Be32(p + pos);
        const uint8_t* type = p + pos + 4;
        if (std::memcmp(type, "IEND", 4) == 0) break;
        if (std::memcmp(type, "IDAT", 4) == 0) {
            if (chunks++ == 0) {
                stream = type + 4;
                length = n;
            } else {
                if (chunks == 2) joined.assign(stream, stream + length);
                joined.insert(joined.end(), type + 4, type + 4 + n);
            }
        }
        pos += 12 + size_t(n);
    }
    if (chunks > 1) {
        stream = joined.data();
        length = joined.size();
    }
    return length > 0;
}

}  // namespace

bool TakesPng(const uint8_t* p, size_t size)
{
    // The header is the first chunk (CheckPng): depth, colour type, interlace.
    if (size < 33 || p[24] != 8 || p[28] != 0 || (p[25] != 2 && p[25] != 6)) return false;
    if (p[25] == 6) return true;
    // stb turns an RGB file's transparent colour to alpha 0: left to it.
    for (size_t pos = 33; size - pos >= 12;) {
        const uint32_t length = Be32(p + pos);
        if (std::memcmp(p + pos + 4, "tRNS", 4) == 0) return false;
        if (std::memcmp(p + pos + 4, "IDAT", 4) == 0 || length > size - pos - 12) break;
        pos += 12 + size_t(length);
    }
    return true;
}

bool DecodePng(const uint8_t* p, size_t size, const Sized& sized, const Rows& rows, uint32_t key, Texels& out,
               std::string& error)
{
    if (!CheckPng(p, size, error)) return false;
    const uint32_t width = Be32(p + 16), height = Be32(p + 20);
    if (!sized(width, height)) return false;
    const auto fail = [&error](const char* why) {
        error = std::string("cannot decode the image: ") + why;
        return false;
    };
    std::vector<uint8_t> joined;
    const uint8_t* stream = nullptr;
    size_t length = 0;
    if (!ImageStream(p, size, joined, stream, length)) return fail("no image data");
    // A zlib header: deflate, a window it allows, no preset dictionary. Its
    // checksum at the end is not checked, as libpng and stb did not.
    if (length < 2 || (stream[0] & 0x0F) != 8 || (stream[0] >> 4) > 7 || (stream[1] & 0x20) ||
        (uint32_t(stream[0]) << 8 | stream[1]) % 31 != 0)
        return fail("not a zlib stream");

    const bool rgb = p[25] == 2;
    const size_t bpp = rgb ? 3 : 4, rowBytes = size_t(width) * bpp, stride = rowBytes + 1;
    thread_local Scratch scratch;
    if (!scratch.inflater) scratch.inflater.reset(libdeflate_alloc_decompressor());
    if (!scratch.inflater) return fail("out of memory");
    const size_t need = stride * height;
    if (scratch.raw.size() < need) scratch.raw.resize(need);
    const libdeflate_result inflated = libdeflate_deflate_decompress(scratch.inflater.get(), stream + 2, length - 2,
                                                                     scratch.raw.data(), need, nullptr);
    if (inflated != LIBDEFLATE_SUCCESS) {
        if (scratch.raw.size() > kKeptBytes) std::vector<uint8_t>().swap(scratch.raw);
        return fail(inflated == LIBDEFLATE_SHORT_OUTPUT        ? "too little image data"
                    : inflated == LIBDEFLATE_INSUFFICIENT_SPACE ? "more image data than its size"
                                                                : "damaged image data");
    }

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
    const std::vector<uint8_t> zeros(rowBytes, 0);
    bool ok = true;
    for (uint32_t y = 0; y < height && ok; ++y) {
        uint8_t* row = scratch.raw.data() + y * stride;
        const uint8_t* above = y ? row - stride + 1 : zeros.data();
        ok = Unfilter(row[0], row + 1, above, rowBytes, bpp);
        if (!ok) break;
        uint32_t* texels = to + y * pitch;
        ToTexels(row + 1, texels, width, rgb);
        // Keyed while the row is still in the cache.
        if (rowKey) KeyRow(texels, width, rowKey);
    }
    if (scratch.raw.size() > kKeptBytes) std::vector<uint8_t>().swap(scratch.raw);
    return ok || fail("a row filter PNG does not have");
}

}  // namespace host::image::detail
