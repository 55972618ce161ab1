#include "host/image/Image.h"

#include "host/image/Formats.h"
#include "host/kernel/Kernel.h"

#include <stb_image_resize.h>

#include <algorithm>
#include <bit>
#include <new>

namespace host::image {

bool detail::CheckSize(uint64_t width, uint64_t height, std::string& error)
{
    if (width == 0 || height == 0) {
        error = "the image has no pixels";
        return false;
    }
    if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels) {
        error = "the image is too large";
        return false;
    }
    return true;
}

namespace {

uint32_t TargetSide(uint32_t side, const DecodeOptions& options)
{
    uint32_t target = options.powerOfTwo ? std::bit_ceil(side) : side;
    if (options.maxSide) {
        const uint32_t limit = options.powerOfTwo ? std::bit_floor(options.maxSide) : options.maxSide;
        target = std::min(target, limit);
    }
    return target;
}

// Triangle filter, each channel on its own: the colour of a keyed texel
// bleeds into its neighbours as Direct3D's texture loader has it. Its edges
// were mirrored with the edge texel repeated; stb's reflect mode repeats it
// on the right but not on the left, so the picture would shift. Enlarging,
// the filter reaches less than a texel past the edge, where a mirror that
// repeats the edge is the same as clamping; so clamp.
bool Stretch(detail::Texels& from, uint32_t* to, uint32_t width, uint32_t height, size_t pitch, std::string& error)
{
    const uint32_t* source = from.Data();
    const int ok = stbir_resize_uint8_generic(reinterpret_cast<const unsigned char*>(source), int(from.width),
        int(from.height), int(from.width * 4), reinterpret_cast<unsigned char*>(to), int(width), int(height),
        int(pitch * 4), 4, STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP, STBIR_FILTER_TRIANGLE,
        STBIR_COLORSPACE_LINEAR, nullptr);
    if (!ok) error = "cannot stretch the image";
    return ok;
}

bool DecodeInto(const uint8_t* p, size_t size, const DecodeOptions& options, Image& out, std::string& error)
{
    if (!p || size == 0) {
        error = "empty image file";
        return false;
    }
    // The final size is settled from the header and its room made before
    // anything is decoded, so a device's limit is known first.
    uint32_t* dest = nullptr;
    size_t pitch = 0;
    const detail::Sized sized = [&](uint32_t w, uint32_t h) {
        out.srcWidth = w;
        out.srcHeight = h;
        out.width = TargetSide(w, options);
        out.height = TargetSide(h, options);
        if (!detail::CheckSize(out.width, out.height, error)) {
            error += " once stretched";
            return false;
        }
        if (options.destination) {
            dest = options.destination(out.width, out.height, pitch);
            if (!dest) error = "no room for the image";
            return dest != nullptr;
        }
        out.pixels.resize(size_t(out.width) * out.height);
        dest = out.pixels.data();
        pitch = out.width;
        return true;
    };
    detail::Texels texels;
    uint32_t format = 0;
    if (detail::IsDds(p, size)) {
        if (!detail::DecodeDds(p, size, sized, texels, error)) return false;
        out.fileFormat = kFileDds;
    } else if (detail::SniffStbFormat(p, size, format) && format == kFilePng) {
        // Rows go straight to the destination when the size stays.
        const detail::Rows rows = [&](size_t& rowPitch) -> uint32_t* {
            if (out.width != out.srcWidth || out.height != out.srcHeight) return nullptr;
            rowPitch = pitch;
            return dest;
        };
        if (!detail::DecodePng(p, size, sized, rows, options.colorKey, texels, error)) return false;
        out.fileFormat = format;
    } else if (detail::SniffStbFormat(p, size, format)) {
        if (!detail::DecodeStb(p, size, format, sized, texels, error)) return false;
        out.fileFormat = format;
    } else {
        error = "unknown image format";
        return false;
    }
    // Turned to A8R8G8B8 and keyed on the file's own texels (before
    // stretching blends them), on their way into the destination when the
    // size stays; each case a loop of its own, so none branches per texel.
    const uint32_t key = options.colorKey, alpha = texels.alpha;
    if (texels.placed) {
        out.levels = uint32_t(std::bit_width(std::max(out.width, out.height)));
        return true;
    }
    const auto turn = [alpha](uint32_t t) {
        // R, G, B, A bytes read as one little-endian word: A B G R from the top.
        return alpha | (t & 0xFF00FF00u) | (t & 0xFFu) << 16 | (t >> 16 & 0xFFu);
    };
    uint32_t* source = texels.Data();
    const bool straight = out.width == texels.width && out.height == texels.height;
    const auto each = [&](auto texel) {
        if (!straight) {
            std::transform(source, source + size_t(texels.width) * texels.height, source, texel);
            return;
        }
        for (size_t y = 0; y < out.height; ++y) {
            const uint32_t* row = source + y * out.width;
            std::transform(row, row + out.width, dest + y * pitch, texel);
        }
    };
    if (texels.fromRgba && key != 0) {
        each([turn, key](uint32_t t) {
            t = turn(t);
            return t == key ? 0u : t;
        });
    } else if (texels.fromRgba) {
        each(turn);
    } else if (key != 0) {
        each([key](uint32_t t) { return t == key ? 0u : t; });
    } else if (straight) {
        for (size_t y = 0; y < out.height; ++y) std::copy_n(source + y * out.width, out.width, dest + y * pitch);
    }
    if (!straight && !Stretch(texels, dest, out.width, out.height, pitch, error)) return false;
    out.levels = uint32_t(std::bit_width(std::max(out.width, out.height)));
    return true;
}

}  // namespace

bool Decode(const void* bytes, size_t size, const DecodeOptions& options, Image& out, std::string* error)
{
    out = Image{};
    std::string reason;
    bool ok = false;
    try {
        ok = DecodeInto(static_cast<const uint8_t*>(bytes), size, options, out, reason);
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
    }
    if (!ok) {
        out = Image{};
        if (error) *error = reason;
    }
    return ok;
}

bool Decode(const void* bytes, size_t size, uint32_t colorKey, Image& out, std::string* error)
{
    DecodeOptions options;
    options.colorKey = colorKey;
    return Decode(bytes, size, options, out, error);
}

bool DecodeFile(std::string_view path, const DecodeOptions& options, Image& out, std::string* error)
{
    std::string bytes;
    if (!host::kernel::ReadWholeFile(path, bytes)) {
        out = Image{};
        if (error) *error = "cannot read the image file";
        return false;
    }
    return Decode(bytes.data(), bytes.size(), options, out, error);
}

bool DecodeFile(std::string_view path, uint32_t colorKey, Image& out, std::string* error)
{
    DecodeOptions options;
    options.colorKey = colorKey;
    return DecodeFile(path, options, out, error);
}

}  // namespace host::image
