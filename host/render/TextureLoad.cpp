#include "host/render/TextureLoad.h"

#include "host/image/Image.h"
#include "host/kernel/Kernel.h"

#include <algorithm>

namespace host::render {
namespace {

void SetError(std::string* errors, std::string text)
{
    if (errors) *errors = std::move(text);
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
    // The texture is made at the final size before the file is decoded, and
    // the pixels are written straight into it: never held twice.
    host::image::DecodeOptions options;
    options.colorKey = colorKey;
    options.maxSide = MaxSide(device);
    Ref<Texture> texture;
    Result made = Result::Ok;
    bool locked = false;
    options.destination = [&](uint32_t width, uint32_t height, size_t& pitch) -> uint32_t* {
        made = device->CreateTexture(width, height, 0, 0, kFormatA8R8G8B8, kPoolManaged, texture.Put());
        if (made != Result::Ok) {
            SetError(errors, std::string("cannot create the texture: ") + ResultName(made));
            return nullptr;
        }
        LockedRect rect;
        made = texture->LockRect(0, rect, nullptr, 0);
        if (made != Result::Ok) {
            SetError(errors, std::string("cannot lock the texture: ") + ResultName(made));
            return nullptr;
        }
        locked = true;
        if (rect.pitch < 0 || size_t(rect.pitch) < size_t(width) * 4 || rect.pitch % 4) {
            made = Result::InvalidCall;
            SetError(errors, "the texture's rows do not fit the image");
            return nullptr;
        }
        pitch = size_t(rect.pitch) / 4;
        return static_cast<uint32_t*>(rect.bits);
    };
    host::image::Image image;
    std::string why;
    const bool decoded = host::image::Decode(bytes, size, options, image, &why);
    if (locked) texture->UnlockRect(0);
    if (made != Result::Ok) return made;
    if (!decoded) {
        SetError(errors, why);
        return Result::InvalidCall;
    }
    FillInfo(image, info);
    *out = texture.Detach();
    return Result::Ok;
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
