// A scene that takes peer messages (10001..10009) with their length. The
// network scene hands each message it received to its child through this,
// under its own lock, on the connection's receive thread; the body's length
// is what arrived, so a variable-sized body is read against it.
#pragma once

#include "engine/core/Types.h"

class IPeerMessageSink {
public:
    virtual ~IPeerMessageSink() = default;
    // 1 when taken; 0 when refused (a body that is malformed, out of range or
    // from a peer that may not send it): a refusal changes nothing.
    // kPeerMessageNotMine: not taken, but its sender did no wrong: a type
    // this scene does not take (another scene's, e.g. a card that reaches a
    // battle still ending), or one it has no room to keep now (a battle
    // still loading holds a bounded amount). Changes nothing.
    static constexpr u32 kPeerMessageNotMine = 2;
    virtual u32 OnPeerMessage(u32 type, const u8* data, u32 length) = 0;
};
