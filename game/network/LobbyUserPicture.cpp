#include "game/network/LobbyUserPicture.h"

#include <bit>
#include <cstring>

namespace lobby {
namespace {

u32 Be16(const u8* p) { return u32(p[0]) << 8 | p[1]; }
u32 Be32(const u8* p) { return Be16(p) << 16 | Be16(p + 2); }

bool JpegSize(const u8* p, u32 size, u32* width, u32* height)
{
    u32 at = 2;
    // Every step moves on by at least two bytes, so the walk ends.
    while (at + 1 < size) {
        if (p[at] != 0xFF) return false;
        const u8 marker = p[at + 1];
        at += 2;
        if (marker == 0xFF) {   // fill byte
            --at;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (marker == 0xD9 || at + 2 > size) return false;
        const u32 length = Be16(p + at);
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 7 || at + 7 > size) return false;
            *height = Be16(p + at + 3);
            *width = Be16(p + at + 5);
            return true;
        }
        if (length < 2) return false;
        at += length;
    }
    return false;
}

}  // namespace

bool ReadPictureSize(const u8* p, u32 size, u32* width, u32* height)
{
    static const u8 kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (!p) return false;
    if (size >= 20 && std::memcmp(p, "DDS ", 4) == 0) {
        *height = GetLe32(p + 12);
        *width = GetLe32(p + 16);
        return true;
    }
    if (size >= 2 && p[0] == 'B' && p[1] == 'M') {
        if (size < 26) return false;
        if (GetLe32(p + 14) == 12) {   // the old core header: 16-bit sides
            *width = GetLe16(p + 18);
            *height = GetLe16(p + 20);
            return true;
        }
        const i64 w = i32(GetLe32(p + 18));
        const i64 h = i32(GetLe32(p + 22));   // negative: rows top first
        *width = u32(w < 0 ? -w : w);
        *height = u32(h < 0 ? -h : h);
        return true;
    }
    if (size >= 8 && std::memcmp(p, kPng, 8) == 0) {
        if (size < 24) return false;
        *width = Be32(p + 16);
        *height = Be32(p + 20);
        return true;
    }
    if (size >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF) return JpegSize(p, size, width, height);
    const bool tgaType = size >= 18 && p[1] <= 1 &&
                         (p[2] == 1 || p[2] == 2 || p[2] == 3 || p[2] == 9 || p[2] == 10 || p[2] == 11);
    if (tgaType) {
        *width = GetLe16(p + 12);
        *height = GetLe16(p + 14);
        return true;
    }
    return false;
}

bool PictureAllowed(const u8* bytes, u32 size)
{
    u32 width = 0;
    u32 height = 0;
    if (!bytes || size > kMaxPictureBytes || !ReadPictureSize(bytes, size, &width, &height)) return false;
    if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide) return false;
    // The loader stretches each side up to a power of two: that size too.
    return u64(width) * height <= kMaxPicturePixels &&
           u64(std::bit_ceil(width)) * std::bit_ceil(height) <= kMaxPicturePixels;
}

i32 LobbyUserRecord::SetPicture(const u8* bytes, u32 size)
{
    if (!bytes) return 0;
    if (size == 0) {
        ReleasePicture();
        return 0;
    }
    std::shared_ptr<LobbyPicture> fresh = MakePicture(bytes, size, Name());
    if (!fresh) return 0;
    picture = std::move(fresh);
    return picture->loaded ? 1 : 0;
}

std::shared_ptr<LobbyPicture> MakePicture(const u8* bytes, u32 size, const char* name)
{
    if (!bytes || size == 0 || size > kMaxPictureBytes) return nullptr;
    auto fresh = std::make_shared<LobbyPicture>();
    fresh->bytes.assign(bytes, bytes + size);
    // One the loader would refuse, or that names no size, is not decoded:
    // it replaces the old one all the same, with an empty texture.
    if (PictureAllowed(bytes, size))
        fresh->loaded = fresh->texture.LoadFromMemory(fresh->bytes.data(), name, size) == 1;
    return fresh;
}

u32 LobbyUserRecord::PictureBytes() const { return picture ? u32(picture->bytes.size()) : 0; }

}  // namespace lobby
