#include "host/image/Image.h"

#include <cstring>

namespace host::image {
namespace {

constexpr uint32_t kHeaderBytes = 14 + 40;
constexpr uint32_t kPixelsPerMetre = 3780;  // 96 dots per inch

void Put16(uint8_t*& p, uint32_t v)
{
    *p++ = uint8_t(v);
    *p++ = uint8_t(v >> 8);
}

void Put32(uint8_t*& p, uint32_t v)
{
    Put16(p, v & 0xFFFF);
    Put16(p, v >> 16);
}

}  // namespace

bool WriteBmp24(const uint32_t* pixels, uint32_t width, uint32_t height, size_t pitch, std::vector<uint8_t>& out)
{
    out.clear();
    const uint64_t rowBytes = uint64_t(width) * 3;
    const uint64_t stride = (rowBytes + 3) & ~uint64_t(3);
    const uint64_t fileSize = kHeaderBytes + stride * height;
    if (!pixels || width == 0 || height == 0 || height > 0x7FFFFFFFu || pitch < uint64_t(width) * 4 ||
        fileSize > 0xFFFFFFFFu)
        return false;

    out.assign(size_t(fileSize), 0);
    uint8_t* p = out.data();
    *p++ = 'B';
    *p++ = 'M';
    Put32(p, uint32_t(fileSize));
    Put32(p, 0);
    Put32(p, kHeaderBytes);
    Put32(p, 40);
    Put32(p, width);
    Put32(p, height);  // positive: bottom-up rows
    Put16(p, 1);
    Put16(p, 24);
    Put32(p, 0);  // BI_RGB
    Put32(p, uint32_t(fileSize) - kHeaderBytes);
    Put32(p, kPixelsPerMetre);
    Put32(p, kPixelsPerMetre);
    Put32(p, 0);
    Put32(p, 0);
    for (uint32_t y = height; y-- > 0;) {
        const uint8_t* row = reinterpret_cast<const uint8_t*>(pixels) + y * pitch;
        uint8_t* o = p;
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t argb;
            std::memcpy(&argb, row + size_t(x) * 4, 4);  // the pitch need not keep rows aligned
            *o++ = uint8_t(argb);
            *o++ = uint8_t(argb >> 8);
            *o++ = uint8_t(argb >> 16);
        }
        p += stride;  // padding stays zero
    }
    return true;
}

}  // namespace host::image
