#include "game/network/PeerWire.h"
#include "engine/core/Endian.h"

#include <cstring>

namespace peer {

namespace {

constexpr u32 kBodyLimit = 1404;     // the largest variable body (player data)
constexpr u32 kLockstepLimit = 1400; // an input or a frame bundle

// Fixed sizes are the writers' own; the room records are the room screen's.
constexpr TypeRule kRules[] = {
    {1008, 4, 4, Sender::kRoomHost},        // play state
    {1016, 4, 4, Sender::kMember},          // battle result
    {1021, 281, 281, Sender::kEither},      // room chat line (the host relays)
    {1025, 54, 54, Sender::kRoomHost},      // join reply
    {1026, 29, 29, Sender::kMember},        // member information
    {1027, 690, 690, Sender::kRoomHost},    // member table
    {10001, 116, 116, Sender::kEither},     // selection card
    {10002, 56, 56, Sender::kEither},       // battle option
    {10003, 0, kBodyLimit, Sender::kEither},// player data
    {10004, 4, 4, Sender::kEither},         // proceed; the host's state word in battle
    {10005, 4, 4, Sender::kEither},         // leave the selection
    {10006, 4, 4, Sender::kEither},         // battle ready
    {10007, 0, kLockstepLimit, Sender::kMember},   // one frame's input
    {10008, 0, kLockstepLimit, Sender::kRoomHost}, // frame bundle
    {10009, 4, 4, Sender::kRoomHost},       // a player left (the host relays)
    {kPing, 0, 0, Sender::kEither},
    {kPong, 0, 0, Sender::kEither},
};


}  // namespace

const char* DescribeWireError(WireError error)
{
    switch (error) {
    case WireError::kNone: return "no error";
    case WireError::kShort: return "header cut short";
    case WireError::kTooLong: return "payload length over 4096";
    case WireError::kLength: return "payload length wrong for its type";
    case WireError::kSender: return "message type not sent from that side of the room";
    }
    return "unknown error";
}

const TypeRule* FindTypeRule(i32 type)
{
    for (const TypeRule& rule : kRules)
        if (rule.type == type) return &rule;
    return nullptr;
}

const TypeRule* TypeRules(size_t* count)
{
    *count = sizeof kRules / sizeof kRules[0];
    return kRules;
}

void WriteHeader(const PeerMessageHeader& header, u8 out[kHeaderBytes])
{
    const u16 type = u16(header.type);
    out[0] = u8(type);
    out[1] = u8(type >> 8);
    out[2] = u8(header.subType);
    out[3] = u8(header.subType >> 8);
    for (int i = 0; i < 4; ++i) out[4 + i] = u8(header.length >> (8 * i));
}

std::vector<u8> WriteMessage(i16 type, u16 subType, const void* payload, u32 length)
{
    std::vector<u8> bytes(kHeaderBytes + (payload ? length : 0));
    WriteHeader({type, subType, payload ? length : 0}, bytes.data());
    if (payload && length) std::memcpy(bytes.data() + kHeaderBytes, payload, length);
    return bytes;
}

WireError ReadHeader(const u8* data, size_t size, PeerMessageHeader* out)
{
    if (!data || size < kHeaderBytes) return WireError::kShort;
    const u32 length = GetLe32(data + 4);
    if (length > kMaxPayloadBytes) return WireError::kTooLong;
    out->type = i16(GetLe16(data));
    out->subType = GetLe16(data + 2);
    out->length = length;
    return WireError::kNone;
}

WireError CheckHeader(const PeerMessageHeader& header, Sender from)
{
    if (header.length > kMaxPayloadBytes) return WireError::kTooLong;
    // A type of no rule is passed on for the receiver to ignore: the cap
    // above bounds it.
    const TypeRule* rule = FindTypeRule(header.type);
    if (!rule) return WireError::kNone;
    if (header.length < rule->minLength || header.length > rule->maxLength) return WireError::kLength;
    if ((u8(rule->sender) & u8(from)) == 0) return WireError::kSender;
    return WireError::kNone;
}

}  // namespace peer
