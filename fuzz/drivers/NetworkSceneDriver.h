// What the network scene driver and its seeds share: the input's layout.
//
//   byte 0       set-up: bit 0 this player hosts the room (index 0), else a
//                guest at index 1 of 3; bit 1 a child scene is hosted
//   then         peer events to the end: u8 kind (kTypes[value % count];
//                kDisconnect for a peer that leaves), u16 length
//                (little-endian), that many payload bytes (fewer when the
//                input ends first); a disconnect's first payload byte
//                chooses the peer (0: one that is no member)
#pragma once

#include "engine/core/Types.h"

#include <string>

namespace fuzz::network_scene {

inline constexpr i32 kDisconnect = 0;
// Every type of the peer table, types it lacks, and a departure.
inline constexpr i32 kTypes[] = {1008,  1016,  1021,  1025,  1026,  1027,  10001, 10002, 10003, 10004,
                                 10005, 10006, 10007, 10008, 10009, 32766, 32767, 1000,  10010, -2,
                                 kDisconnect};
inline constexpr u32 kTypeCount = sizeof kTypes / sizeof kTypes[0];

enum Setup : u8 { kRoomHost = 1, kHosting = 2 };

inline u8 TypeIndex(i32 type)
{
    for (u32 i = 0; i < kTypeCount; ++i)
        if (kTypes[i] == type) return u8(i);
    return u8(kTypeCount - 1);
}

// One event record of an input.
inline std::string EventRecord(i32 type, const std::string& body)
{
    std::string record;
    record += char(TypeIndex(type));
    record += char(u8(body.size()));
    record += char(u8(body.size() >> 8));
    return record + body;
}

}  // namespace fuzz::network_scene
