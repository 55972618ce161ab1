// Fuzz target: any bytes through the image loader, as textures load them
// (colour key, power-of-two stretch) and at the file's own size.
#include "host/image/Image.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    host::image::Image image;
    if (host::image::Decode(data, size, host::image::kGreenKey, image)) {
        if (image.pixels.size() != size_t(image.width) * image.height) std::abort();
    }
    host::image::DecodeOptions plain;
    plain.powerOfTwo = false;
    host::image::Decode(data, size, plain, image);
    return 0;
}
