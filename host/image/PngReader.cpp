// 8-bit RGB and RGBA PNG files (what textures are saved as) through libpng,
// its rows written as A8R8G8B8 straight where they go: stb_image inflates
// a whole file into one buffer, unfilters it into a second and leaves the
// turn to A8R8G8B8 to a third pass; a 1024 x 2048 texture took 20 ms so,
// mostly in fresh pages. Other PNG files go to stb, which reads them as
// before; the texels are the same either way (no gamma applied, alpha 0xFF
// for RGB).
#include "host/image/Formats.h"

#include <png.h>

#include <cstdio>
#include <cstring>

namespace host::image::detail {
namespace {

struct Source {
    const uint8_t* p;
    size_t size, pos;
    char why[128];
};

void ReadBytes(png_structp png, png_bytep to, size_t n)
{
    auto* s = static_cast<Source*>(png_get_io_ptr(png));
    if (n > s->size - s->pos) png_error(png, "cut short");
    std::memcpy(to, s->p + s->pos, n);
    s->pos += n;
}

void OnError(png_structp png, png_const_charp message)
{
    auto* s = static_cast<Source*>(png_get_error_ptr(png));
    std::snprintf(s->why, sizeof s->why, "%s", message ? message : "unknown reason");
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Out of ReadRows, whose locals setjmp keeps in memory.
[[gnu::noinline]] void KeyRow(uint32_t* row, uint32_t width, uint32_t key)
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

// Only libpng runs between setjmp and a longjmp back: nothing here has a
// destructor to skip.
bool ReadRows(png_structp png, png_infop info, uint8_t* to, size_t pitchBytes, uint32_t width, uint32_t height,
              bool rgb, uint32_t key)
{
    if (setjmp(png_jmpbuf(png))) return false;
    // CheckPng has checked every critical chunk's checksum; stb never
    // checked the stream's own (a tenth of the time here).
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
    png_read_info(png, info);
    if (png_get_image_width(png, info) != width || png_get_image_height(png, info) != height)
        png_error(png, "the header changed");
    png_set_bgr(png);
    if (rgb) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 4) png_error(png, "unexpected row size");
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = to + y * pitchBytes;
        png_read_row(png, row, nullptr);
        // Keyed while the row is still in the cache.
        if (key) KeyRow(reinterpret_cast<uint32_t*>(row), width, key);
    }
    return true;
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

    Source source{p, size, 0, {}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info;
    if (ok) {
        png_set_read_fn(png, &source, ReadBytes);
        // Keyed here only when placed: a picture still to be stretched is
        // keyed before it is (by the caller).
        ok = ReadRows(png, info, reinterpret_cast<uint8_t*>(to), pitch * 4, width, height, p[25] == 2,
                      out.placed ? key : 0);
    }
    png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr);
    if (!ok) error = std::string("cannot decode the image: ") + (source.why[0] ? source.why : "out of memory");
    return ok;
}

}  // namespace host::image::detail
