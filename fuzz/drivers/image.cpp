// Image files (BMP, PNG, TGA, JPG, DDS) through host::image::Decode: as
// textures load them (colour key, stretched to powers of two) and at the
// file's own size. What decodes at its own size is written as a 24-bit BMP
// and read back, which must give the same texels, opaque. A PNG's image
// data also goes through the walk of its deflate codes (what a large
// picture is checked with before its room is made), whose verdict must be
// zlib's; a PNG read must give the texels stb gives for it.
#include "fuzz/FuzzSupport.h"
#include "host/image/Formats.h"
#include "host/image/Image.h"
#include "host/image/tests/ZlibVerdict.h"

#include <bit>
#include <cstring>
#include <string>

namespace {

using host::image::Image;

// The sizes agree with each other and with the pixels.
void CheckShape(const Image& image)
{
    FUZZ_CHECK(image.srcWidth >= 1 && image.srcWidth <= host::image::kMaxSide);
    FUZZ_CHECK(image.srcHeight >= 1 && image.srcHeight <= host::image::kMaxSide);
    FUZZ_CHECK(image.pixels.size() == size_t(image.width) * image.height);
    FUZZ_CHECK(image.fileFormat <= host::image::kFileDds);
}

void CheckRefused(bool decoded, const Image& image, const std::string& error)
{
    if (decoded) return;
    FUZZ_CHECK(image.pixels.empty() && image.width == 0 && image.height == 0);
    FUZZ_CHECK(!error.empty());
}

// Whether a palette file's palette has every entry its depth can name.
bool PaletteCovers(const uint8_t* p, size_t size)
{
    for (size_t pos = 8; size - pos >= 12;) {
        const uint32_t n = host::image::detail::Be32(p + pos);
        if (std::memcmp(p + pos + 4, "PLTE", 4) == 0) return n / 3 >= (1u << p[24]);
        pos += 12 + size_t(n);
    }
    return false;
}

// The IDAT chunks' data after the two-byte zlib header, as far as the
// chunks are whole; need is the header's row bytes (at most 1 MiB).
bool PngStream(const uint8_t* p, size_t size, std::vector<uint8_t>& stream, uint64_t& need)
{
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 33 || std::memcmp(p, kSignature, 8) != 0) return false;
    const uint64_t width = host::image::detail::Be32(p + 16), height = host::image::detail::Be32(p + 20);
    const uint64_t channels = p[25] == 6 ? 4 : p[25] == 2 ? 3 : 1;
    need = std::min<uint64_t>(height * (1 + width * channels), uint64_t(1) << 20);
    for (size_t pos = 8; size - pos >= 12;) {
        const uint32_t n = host::image::detail::Be32(p + pos);
        if (n > size - pos - 12) break;
        if (std::memcmp(p + pos + 4, "IDAT", 4) == 0) stream.insert(stream.end(), p + pos + 8, p + pos + 8 + n);
        pos += 12 + size_t(n);
    }
    if (stream.size() < 2) return false;
    stream.erase(stream.begin(), stream.begin() + 2);
    return true;
}

// A PNG file read gives stb's texels for it, unless it names a palette
// entry it lacks (stb reads memory it never set there; this reader gives
// opaque black, as libpng does).
void SameAsStb(const uint8_t* data, size_t size, const Image& plain)
{
    host::image::detail::Texels texels;
    std::string error;
    const host::image::detail::Sized any = [](uint32_t, uint32_t) { return true; };
    const bool stb = host::image::detail::DecodeStb(data, size, host::image::kFilePng, any, texels, error);
    FUZZ_CHECK(stb);
    FUZZ_CHECK(texels.width == plain.width && texels.height == plain.height);
    const uint32_t* rgba = texels.Data();
    if (data[25] == 3 && !PaletteCovers(data, size)) return;
    for (size_t i = 0; i < plain.pixels.size(); ++i) {
        const uint32_t t = rgba[i];
        FUZZ_CHECK(plain.pixels[i] == (texels.alpha | (t & 0xFF00FF00u) | (t & 0xFFu) << 16 | (t >> 16 & 0xFFu)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> stream;
    uint64_t need = 0;
    if (PngStream(data, size, stream, need)) {
        const bool walked = host::image::detail::WalkDeflate(stream.data(), stream.size(), need) == nullptr;
        FUZZ_CHECK(walked == image_test::ZlibTakes(stream, need));
    }

    Image keyed;
    std::string error;
    const bool texture = host::image::Decode(data, size, host::image::kGreenKey, keyed, &error);
    CheckRefused(texture, keyed, error);
    if (texture) {
        CheckShape(keyed);
        FUZZ_CHECK(std::has_single_bit(keyed.width) && std::has_single_bit(keyed.height));
        FUZZ_CHECK(keyed.width >= keyed.srcWidth && keyed.height >= keyed.srcHeight);
        // Stretched texels are blends, which may land on the key by chance.
        if (keyed.width == keyed.srcWidth && keyed.height == keyed.srcHeight)
            for (uint32_t texel : keyed.pixels) FUZZ_CHECK(texel != host::image::kGreenKey);
    }

    host::image::DecodeOptions own;
    own.powerOfTwo = false;
    Image plain;
    error.clear();
    const bool decoded = host::image::Decode(data, size, own, plain, &error);
    CheckRefused(decoded, plain, error);
    if (!decoded) return 0;
    CheckShape(plain);
    FUZZ_CHECK(plain.width == plain.srcWidth && plain.height == plain.srcHeight);
    if (plain.fileFormat == host::image::kFilePng) SameAsStb(data, size, plain);

    std::vector<uint8_t> bmp;
    FUZZ_CHECK(host::image::WriteBmp24(plain.pixels.data(), plain.width, plain.height, size_t(plain.width) * 4, bmp));
    Image again;
    error.clear();
    FUZZ_CHECK(host::image::Decode(bmp.data(), bmp.size(), own, again, &error));
    FUZZ_CHECK(again.fileFormat == host::image::kFileBmp);
    FUZZ_CHECK(again.width == plain.width && again.height == plain.height);
    for (size_t i = 0; i < plain.pixels.size(); ++i) FUZZ_CHECK(again.pixels[i] == (plain.pixels[i] | 0xFF000000u));
    return 0;
}
