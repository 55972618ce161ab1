// The peer protocol's wire: every message is an 8-byte PeerMessageHeader
// and its payload, no framing, no scrambling.
//
//   0  i16  type (signed: 0x8000 and above are negative, and unknown)
//   2  u16  sub-type (senders write 1, receivers ignore it)
//   4  u32  payload length, the header not included
//
// The type table gives each type's payload size or bound and who may send
// it. A header that breaks it is refused before any byte of its payload is
// kept: the connection that sent it is closed as if the peer had left.
#pragma once

#include "engine/core/Types.h"

#include <cstddef>
#include <vector>

namespace peer {

inline constexpr size_t kHeaderBytes = 8;
// No peer message is longer than 1,404 bytes; a length past this closes the
// connection before anything is allocated for it, unless its type is none
// this game sends: that message is read past and the connection goes on.
inline constexpr u32 kMaxPayloadBytes = 4096;
// Sends go out in pieces of at most this many bytes.
inline constexpr u32 kSendPieceBytes = 1400;

inline constexpr i16 kPing = 32766;
inline constexpr i16 kPong = 32767;

struct PeerMessageHeader {
    i16 type = 0;
    u16 subType = 1;
    u32 length = 0;
};

// Who sent a message, as the receiver knows it: the other end of a
// connection we accepted is a member; the end we connected to, the room's
// host.
enum class Sender : u8 { kRoomHost = 1, kMember = 2, kEither = 3 };

struct TypeRule {
    i16 type;
    u32 minLength;
    u32 maxLength;   // equal to minLength for fixed sizes
    Sender sender;
};

enum class WireError : u8 {
    kNone,
    kShort,        // fewer than 8 bytes
    kTooLong,      // payload length over kMaxPayloadBytes
    kLength,       // outside the type's size or bound
    kSender,       // this side of the room may not send the type
};
const char* DescribeWireError(WireError error);

// The type's rule; null for a type the protocol does not have.
const TypeRule* FindTypeRule(i32 type);
// Every rule, in type order.
const TypeRule* TypeRules(size_t* count);

void WriteHeader(const PeerMessageHeader& header, u8 out[kHeaderBytes]);
// Header (sub-type as given) and payload in one buffer.
std::vector<u8> WriteMessage(i16 type, u16 subType, const void* payload, u32 length);

// The header's fields; kShort or kTooLong leave out untouched.
WireError ReadHeader(const u8* data, size_t size, PeerMessageHeader* out);
// The header against the type table for a message from `from`.
WireError CheckHeader(const PeerMessageHeader& header, Sender from);

}  // namespace peer
