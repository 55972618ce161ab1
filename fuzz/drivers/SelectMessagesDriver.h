// What the select message driver and its seeds share: the input's layout.
//
//   byte 0       the scene (bit 0: 0 character select, 1 option select) and
//                the machine it runs on (bit 1: 0 the room's host, 1 a
//                member)
//   then         messages to the end: u8 type (10001 + value % 9), u16
//                length (little-endian), that many bytes (fewer when the
//                input ends first)
#pragma once

#include "engine/core/Types.h"

#include <string>

namespace fuzz::select_messages {

inline constexpr u32 kFirstType = 10001;
inline constexpr u32 kTypes = 9;

enum SceneKind : u8 { kCharaSelect, kOptionSelect };

inline u8 Choice(SceneKind scene, bool client) { return u8(u32(scene) | (client ? 2u : 0u)); }

// One message record of an input.
inline std::string MessageRecord(u32 type, const std::string& body)
{
    std::string record;
    record += char(u8((type - kFirstType) % kTypes));
    record += char(u8(body.size()));
    record += char(u8(body.size() >> 8));
    return record + body;
}

}  // namespace fuzz::select_messages
