// A lobby user's picture: the image file another player chose, sent by the
// lobby server with the user's detail, and the texture made from it.
//
// The bytes come from another player, so they are measured before anything
// is decoded: a file over kMaxPictureBytes, or one whose header claims more
// than kMaxPictureSide on either side, is refused. The texture loader rounds
// each side up to a power of two, so without the header check a 2 KiB PNG
// could make every client in the lobby build a 256 MiB texture.
#pragma once

#include "engine/core/Types.h"
#include "engine/graphics/Texture.h"
#include "game/network/LobbyWire.h"

#include <memory>
#include <vector>

namespace lobby {

inline constexpr u32 kMaxPictureBytes = 1u << 20;
inline constexpr u32 kMaxPictureSide = 1024;

struct LobbyPicture {
    std::vector<u8> bytes;   // the image file as it came
    CTexture texture;        // empty when the file did not load
    bool loaded = false;
};

// The width and height an image file (DDS, BMP, PNG, JPG, TGA) states in its
// header, read within size bytes. False for a header it cannot find.
bool ReadPictureSize(const u8* bytes, u32 size, u32* width, u32* height);
// The file is small enough and its header says a size within the limits.
bool PictureAllowed(const u8* bytes, u32 size);

// The picture made from size bytes of an image file, its texture loaded
// (any thread: decoding may take long, so the receive thread does it before
// it takes the client lock). Null when the checks refuse the file.
std::shared_ptr<LobbyPicture> MakePicture(const u8* bytes, u32 size, const char* name);

// The picture's texture when it loaded, else null: only that is drawn.
inline CTexture* LoadedTexture(const LobbyUserRecord& user)
{
    const LobbyPicture* p = user.picture.get();
    return p && p->loaded ? const_cast<CTexture*>(&p->texture) : nullptr;
}

}  // namespace lobby
