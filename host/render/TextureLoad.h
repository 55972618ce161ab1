// Textures from image files, the way Direct3D's helper library loaded them
// for the engine: the file decoded by host/image with a colour key, each side
// stretched up to a power of two (and down to the device's largest texture),
// one A8R8G8B8 texture in the managed pool with the full mip chain reported
// and level 0 filled. ImageInfo keeps what the file itself said.
#pragma once

#include "host/render/Render.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace host::render {

struct ImageInfo {
    uint32_t width = 0;                  // the file's own size
    uint32_t height = 0;
    uint32_t format = kFormatUnknown;    // what the pixels were decoded to
    uint32_t fileFormat = kImageFileBmp; // host::image::kFileBmp ... kFileDds
};

// colorKey: texels equal to it become 0x00000000 before stretching; 0 keys
// nothing. info (optional) is filled on success. On failure *out is null and
// errors (optional) says why: InvalidCall for a file that cannot be decoded,
// NotAvailable for one that cannot be read, or the device's own result.
Result LoadTextureFromMemory(Device* device, const void* bytes, size_t size, uint32_t colorKey, ImageInfo* info,
                             Texture** out, std::string* errors = nullptr);
// The file is read through host::kernel (a code page 932 path).
Result LoadTextureFromFile(Device* device, std::string_view path, uint32_t colorKey, ImageInfo* info, Texture** out,
                           std::string* errors = nullptr);

}  // namespace host::render
