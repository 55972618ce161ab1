// What the lobby dispatch driver and its seeds share: the input's layout.
//
//   byte 0       set-up: bit 0 the handshake and log-in happen first (user
//                id 7); bit 1 this player then hosts room 5; bit 2 it is
//                on the room screen
//   then         server messages to the end: u8 type (kTypes[value %
//                count]), u8 status, u16 length (little-endian), that many
//                plain payload bytes (fewer when the input ends first); the
//                driver scrambles them with the client's key
#pragma once

#include "engine/core/Types.h"

#include <string>

namespace fuzz::lobby_dispatch {

inline constexpr u16 kTypes[] = {100,  1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011,
                                 1012, 1013, 1014, 1015, 1016, 1020, 1023, 1024, 1017, 0};
inline constexpr u32 kTypeCount = sizeof kTypes / sizeof kTypes[0];
inline constexpr u32 kOwnId = 7;
inline constexpr u32 kOwnRoom = 5;

enum Setup : u8 { kLoggedIn = 1, kHostsRoom = 2, kOnRoomScreen = 4 };

inline u8 TypeIndex(u16 type)
{
    for (u32 i = 0; i < kTypeCount; ++i)
        if (kTypes[i] == type) return u8(i);
    return u8(kTypeCount - 1);
}

// One message record of an input.
inline std::string MessageRecord(u16 type, u8 status, const std::string& body)
{
    std::string record;
    record += char(TypeIndex(type));
    record += char(status);
    record += char(u8(body.size()));
    record += char(u8(body.size() >> 8));
    return record + body;
}

}  // namespace fuzz::lobby_dispatch
