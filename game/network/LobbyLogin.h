// The login screen: a lobby ID and a password, then the login block goes
// to the lobby server (message 1001).
#pragma once

#include "engine/core/Types.h"
#include "game/network/LobbyWire.h"

#include <string>
#include <string_view>

namespace lobby_screen {

inline constexpr const char* kLoginLayout = "Scene\\Network03.sce";

// The login block, 60 bytes, in the own user record at lobby::kLoginAt.
inline constexpr u32 kLoginIdBytes = 33;         // 32 typed and a terminator
inline constexpr u32 kLoginPasswordBytes = 17;   // 16 typed and a terminator
inline constexpr u32 kLoginPasswordAt = 33;
inline constexpr u32 kLoginWordAt = 50;
inline constexpr u32 kLoginPortAt = 54;
inline constexpr u32 kLoginAddressAt = 56;
static_assert(kLoginAddressAt + 4 == lobby::kLoginBytes);
static_assert(lobby::kLoginAt + kLoginPortAt == lobby::kPeerPortAt);
static_assert(lobby::kLoginAt + kLoginAddressAt == lobby::kLocalAddressAt);

struct LoginBlock {
    std::string id;
    std::string password;
    u32 word = 0;           // ours: 0, sent as it stands
    u16 port = 0;           // the peer port, filled at connect
    u32 address = 0;        // the local address (MakeAddress order)
};

// The block, field by field, little-endian; texts cut at a character
// boundary inside their fields and zero-filled.
void WriteLoginBlock(const LoginBlock& block, u8 (&out)[lobby::kLoginBytes]);
LoginBlock ReadLoginBlock(const u8 (&in)[lobby::kLoginBytes]);

// A text into a zero-filled field of size bytes: at most size - 1 bytes,
// never half a double-byte character.
void PutTextField(u8* field, u32 size, std::string_view text);
// A field's text up to its first zero, never past the field.
std::string FieldText(const u8* field, u32 size);

}  // namespace lobby_screen
