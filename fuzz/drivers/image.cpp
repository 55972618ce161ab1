// Image files (BMP, PNG, TGA, JPG, DDS) through host::image::Decode: as
// textures load them (colour key, stretched to powers of two) and at the
// file's own size. What decodes at its own size is written as a 24-bit BMP
// and read back, which must give the same texels, opaque.
#include "fuzz/FuzzSupport.h"
#include "host/image/Image.h"

#include <bit>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
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
