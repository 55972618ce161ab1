// What the peer stream driver and its seeds share: the input's layout.
//
//   byte 0       the sender's side: value % 3 = 0 the room's host, 1 a
//                member, 2 either
//   byte 1       n, the number of cut lengths
//   n bytes      cut lengths: the stream arrives in receives of value + 1
//                bytes, the lengths taken in turn (none: one receive)
//   the rest     the stream's bytes
#pragma once

#include "engine/core/Types.h"
#include "game/network/PeerWire.h"

#include <string>
#include <vector>

namespace fuzz::peer_stream {

inline peer::Sender SenderOf(u8 value)
{
    static const peer::Sender kSides[] = {peer::Sender::kRoomHost, peer::Sender::kMember, peer::Sender::kEither};
    return kSides[value % 3];
}

inline std::string Input(u8 side, const std::vector<u8>& cuts, const std::string& stream)
{
    std::string input;
    input += char(side);
    input += char(u8(cuts.size()));
    for (u8 c : cuts) input += char(c);
    return input + stream;
}

}  // namespace fuzz::peer_stream
