// What the room peer driver and its seeds share: the input's layout.
//
//   byte 0   set-up: bit 0 this player hosts the room (else it is a guest
//            the host accepted as "own"); bit 1 a lobby-server room
//   then     peer messages to the end: u8 type (kTypes[value % count]),
//            u16 length (little-endian), that many payload bytes (fewer
//            when the input ends first). Type 0 is the sender leaving.
#pragma once

#include "engine/core/Types.h"

#include <string>

namespace fuzz::room_peer {

inline constexpr i16 kTypes[] = {1021, 1025, 1026, 1027, 1016, 0};
inline constexpr u32 kTypeCount = sizeof kTypes / sizeof kTypes[0];
enum Setup : u8 { kHost = 1, kLobbyMode = 2 };

inline std::string MessageRecord(i16 type, const std::string& body)
{
    u8 index = kTypeCount - 1;
    for (u32 i = 0; i < kTypeCount; ++i)
        if (kTypes[i] == type) index = u8(i);
    std::string record;
    record += char(index);
    record += char(u8(body.size()));
    record += char(u8(body.size() >> 8));
    return record + body;
}

}  // namespace fuzz::room_peer
