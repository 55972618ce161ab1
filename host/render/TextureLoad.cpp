#include "host/render/TextureLoad.h"

#include "host/image/Image.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstring>

namespace host::render {
namespace {

void SetError(std::string* errors, std::string text)
{
    if (errors) *errors = std::move(text);
}

// Level 0 of a new managed texture filled with the decoded pixels.
Result MakeTexture(Device* device, const host::image::Image& image, Texture** out, std::string* errors)
{
    Ref<Texture> texture;
    Result r = device->CreateTexture(image.width, image.height, 0, 0, kFormatA8R8G8B8, kPoolManaged, texture.Put());
    if (r != Result::Ok) {
        SetError(errors, std::string("cannot create the texture: ") + ResultName(r));
        return r;
    }
    LockedRect locked;
    r = texture->LockRect(0, locked, nullptr, 0);
    if (r != Result::Ok) {
        SetError(errors, std::string("cannot lock the texture: ") + ResultName(r));
        return r;
    }
    const size_t rowBytes = size_t(image.width) * 4;
    if (locked.pitch < 0 || size_t(locked.pitch) < rowBytes) {
        texture->UnlockRect(0);
        SetError(errors, "the texture's rows are too short");
        return Result::InvalidCall;
    }
    auto* dest = static_cast<uint8_t*>(locked.bits);
    for (uint32_t y = 0; y < image.height; ++y)
        std::memcpy(dest + size_t(y) * size_t(locked.pitch), image.pixels.data() + size_t(y) * image.width, rowBytes);
    texture->UnlockRect(0);
    *out = texture.Detach();
    return Result::Ok;
}

// The device's largest texture side, 0 when it does not say.
uint32_t MaxSide(Device* device)
{
    Caps caps;
    if (device->GetDeviceCaps(caps) != Result::Ok) return 0;
    if (!caps.maxTextureWidth || !caps.maxTextureHeight) return 0;
    return std::min(caps.maxTextureWidth, caps.maxTextureHeight);
}

void FillInfo(const host::image::Image& image, ImageInfo* info)
{
    if (!info) return;
    info->width = image.srcWidth;
    info->height = image.srcHeight;
    info->format = kFormatA8R8G8B8;
    info->fileFormat = image.fileFormat;
}

}  // namespace

Result LoadTextureFromMemory(Device* device, const void* bytes, size_t size, uint32_t colorKey, ImageInfo* info,
                             Texture** out, std::string* errors)
{
    if (out) *out = nullptr;
    if (!device || !bytes || !size || !out) {
        SetError(errors, "no device, image or destination");
        return Result::InvalidCall;
    }
    host::image::DecodeOptions options;
    options.colorKey = colorKey;
    options.maxSide = MaxSide(device);
    host::image::Image image;
    std::string why;
    if (!host::image::Decode(bytes, size, options, image, &why)) {
        SetError(errors, why);
        return Result::InvalidCall;
    }
    const Result r = MakeTexture(device, image, out, errors);
    if (r == Result::Ok) FillInfo(image, info);
    return r;
}

Result LoadTextureFromFile(Device* device, std::string_view path, uint32_t colorKey, ImageInfo* info, Texture** out,
                           std::string* errors)
{
    if (out) *out = nullptr;
    if (!device || path.empty() || !out) {
        SetError(errors, "no device, path or destination");
        return Result::InvalidCall;
    }
    std::string file;
    if (!host::kernel::ReadWholeFile(path, file)) {
        SetError(errors, "cannot read the file");
        return Result::NotAvailable;
    }
    return LoadTextureFromMemory(device, file.data(), file.size(), colorKey, info, out, errors);
}

}  // namespace host::render
