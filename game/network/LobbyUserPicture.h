// A lobby user's picture: the image file another player chose, sent by the
// lobby server with the user's detail, and the texture made from it.
//
// The bytes come from another player, so they are measured before anything
// is decoded: only a file whose header states a size the image loader takes
// (a side up to its kMaxSide, its kMaxPixels in all, also once each side is
// rounded up to a power of two) is decoded. Any other is kept as bytes with
// an empty texture, which is never drawn. A file is at most what one user
// detail can carry.
#pragma once

#include "engine/core/Types.h"
#include "engine/graphics/Texture.h"
#include "game/network/LobbyWire.h"
#include "host/image/Image.h"

#include <memory>
#include <vector>

namespace lobby {

inline constexpr u32 kMaxPictureBytes = kMaxPayload - kUserDetailBytes;
inline constexpr u32 kMaxPictureSide = host::image::kMaxSide;
inline constexpr u64 kMaxPicturePixels = host::image::kMaxPixels;

struct LobbyPicture {
    std::vector<u8> bytes;   // the image file as it came
    CTexture texture;        // empty when the file did not load
    bool loaded = false;
};

// The width and height an image file (DDS, BMP, PNG, JPG, TGA) states in its
// header, read within size bytes. False for a header it cannot find.
bool ReadPictureSize(const u8* bytes, u32 size, u32* width, u32* height);
// The file is small enough and its header says a size within the limits:
// it may be decoded.
bool PictureAllowed(const u8* bytes, u32 size);

// The picture made from size bytes of an image file, its texture loaded
// when PictureAllowed (any thread: decoding may take long, so the receive
// thread does it before it takes the client lock). Null for no bytes or
// more than kMaxPictureBytes.
std::shared_ptr<LobbyPicture> MakePicture(const u8* bytes, u32 size, const char* name);

// The picture's texture when it loaded, else null: only that is drawn.
inline CTexture* LoadedTexture(const LobbyUserRecord& user)
{
    const LobbyPicture* p = user.picture.get();
    return p && p->loaded ? const_cast<CTexture*>(&p->texture) : nullptr;
}

}  // namespace lobby
