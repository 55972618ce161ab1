// SaveSurfaceToFile: a surface's colours as a 24-bit BMP, written atomically.
#include "host/render/Render.h"

#include "host/image/Image.h"
#include "host/kernel/Kernel.h"

#include <vector>

namespace host::render {
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
    std::vector<uint8_t> file;
    if (!host::image::WriteBmp24(pixels.data(), uint32_t(area.Width()), uint32_t(area.Height()),
                                 size_t(area.Width()) * 4, file))
        return Result::InvalidCall;
    return host::kernel::WriteFileAtomic(path, file.data(), file.size()) ? Result::Ok : Result::NotAvailable;
}

}  // namespace host::render
