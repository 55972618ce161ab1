// The two machines of a room on the fake network: the host's and a
// member's.
#pragma once

#include "engine/core/Types.h"
#include "host/net/Net.h"

namespace fake_room_net {

inline constexpr u32 kHostAddress = host::net::MakeAddress(10, 0, 0, 1);
inline constexpr u32 kMemberAddress = host::net::MakeAddress(10, 0, 0, 2);

}  // namespace fake_room_net
