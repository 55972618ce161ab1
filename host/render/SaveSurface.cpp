// SaveSurfaceToFile: a surface's colours as a 24-bit BMP (54-byte header,
// bottom-up rows padded to four bytes), written atomically.
#include "host/render/Render.h"

#include "host/kernel/Kernel.h"

#include <vector>

namespace host::render {
namespace {

void PutU16(std::string& out, uint32_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}

void PutU32(std::string& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

std::string EncodeBmp24(uint32_t width, uint32_t height, const uint32_t* argb) {
    const uint32_t rowBytes = (width * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * height;
    std::string out;
    out.reserve(54 + imageBytes);
    out += "BM";
    PutU32(out, 54 + imageBytes);
    PutU32(out, 0);              // two reserved words
    PutU32(out, 54);             // offset of the pixels
    PutU32(out, 40);             // info header size
    PutU32(out, width);
    PutU32(out, height);         // positive: bottom-up
    PutU16(out, 1);              // planes
    PutU16(out, 24);
    PutU32(out, 0);              // uncompressed
    PutU32(out, imageBytes);
    PutU32(out, 0);              // pixels per metre, x and y
    PutU32(out, 0);
    PutU32(out, 0);              // palette colours used, important
    PutU32(out, 0);
    for (uint32_t y = height; y-- > 0;) {
        const uint32_t* row = argb + size_t(y) * width;
        for (uint32_t x = 0; x < width; ++x) {
            out.push_back(char(row[x] & 0xFF));
            out.push_back(char((row[x] >> 8) & 0xFF));
            out.push_back(char((row[x] >> 16) & 0xFF));
        }
        out.append(rowBytes - width * 3, '\0');
    }
    return out;
}

}  // namespace

Result SaveSurfaceToFile(std::string_view path, uint32_t fileFormat, Surface* surface, const Rect* rect) {
    if (!surface || fileFormat != kImageFileBmp || path.empty()) return Result::InvalidCall;
    SurfaceDesc desc;
    if (Result r = surface->GetDesc(desc); r != Result::Ok) return r;
    Rect area = rect ? *rect : Rect{0, 0, int32_t(desc.width), int32_t(desc.height)};
    if (area.left < 0 || area.top < 0 || area.right <= area.left || area.bottom <= area.top ||
        uint32_t(area.right) > desc.width || uint32_t(area.bottom) > desc.height)
        return Result::InvalidCall;
    std::vector<uint32_t> pixels(size_t(area.Width()) * size_t(area.Height()));
    if (Result r = surface->ReadPixels(&area, pixels.data()); r != Result::Ok) return r;
    std::string file = EncodeBmp24(uint32_t(area.Width()), uint32_t(area.Height()), pixels.data());
    return host::kernel::WriteFileAtomic(path, file.data(), file.size()) ? Result::Ok : Result::NotAvailable;
}

}  // namespace host::render
