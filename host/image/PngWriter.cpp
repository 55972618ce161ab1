#include "host/image/Image.h"

#include <climits>
#include <cstdlib>
#include <cstring>

// Debian's libstb holds the encoder; its header declares the in-memory
// variant only inside the implementation.
extern "C" unsigned char* stbi_write_png_to_mem(const unsigned char* pixels, int stride, int x, int y, int n,
                                                int* outLength);
// -1 lets the encoder pick each row's filter; 0 keeps rows unfiltered.
extern "C" int stbi_write_force_png_filter;

namespace host::image {

bool WritePng(const uint32_t* pixels, uint32_t width, uint32_t height, size_t pitch, std::vector<uint8_t>& out)
{
    out.clear();
    if (!pixels || width == 0 || height == 0 || pitch < size_t(width) * 4) return false;
    if (uint64_t(width) * 4 * height > uint64_t(INT_MAX) / 2) return false;
    std::vector<uint8_t> rgba(size_t(width) * height * 4);
    for (uint32_t y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint8_t*>(pixels) + pitch * y;
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t p;
            std::memcpy(&p, row + size_t(x) * 4, 4);
            uint8_t* to = rgba.data() + (size_t(y) * width + x) * 4;
            to[0] = uint8_t(p >> 16);
            to[1] = uint8_t(p >> 8);
            to[2] = uint8_t(p);
            to[3] = uint8_t(p >> 24);
        }
    }
    // Unfiltered rows: the generated pictures (flat fills, few colours) come
    // out no larger (rows repeat whole), and a reader need not undo the
    // filters, the slowest part of loading a 1024 x 2048 menu texture after
    // the inflating. Set once, before any write reads it.
    static const bool unfiltered = [] {
        stbi_write_force_png_filter = 0;
        return true;
    }();
    (void)unfiltered;
    int length = 0;
    unsigned char* png = stbi_write_png_to_mem(rgba.data(), int(width * 4), int(width), int(height), 4, &length);
    if (!png) return false;
    out.assign(png, png + length);
    std::free(png);
    return true;
}

}  // namespace host::image
