// The room's member table and admission rules, apart from the room screen
// so the wire checks can be tested without a scene: what peer messages
// 1025-1027 and 1016 carry, how an address passes the allow and deny lists,
// and the table's edits (join, leave, results).
//
// Everything here trusts nothing from the wire: counts are range-checked,
// texts terminated, short payloads refused.
#pragma once

#include "engine/core/Types.h"
#include "game/data/SaveConfig.h"   // IpAddressEntry
#include "game/network/LobbyScreens.h"

#include <vector>

namespace room {

inline constexpr u32 kEntryBytes = 86;
inline constexpr u32 kTableBytes = 2 + lobby::kMaxMembers * kEntryBytes;
static_assert(kTableBytes == 690);
inline constexpr u32 kJoinReplyBytes = 54;
inline constexpr u32 kMemberInfoBytes = 29;
inline constexpr u32 kResultBytes = 4;
inline constexpr u8 kJoinMark = 0x7E;   // '~'

// Peer message types of the room.
enum : i16 {
    kPlayStateMessage = 1008,
    kMemberResultMessage = 1016,
    kChatMessage = 1021,
    kJoinReplyMessage = 1025,
    kMemberInfoMessage = 1026,
    kMemberTableMessage = 1027,
};

// 1027: the table as sent (690 bytes).
void WriteMemberTable(const RoomMemberTable& table, u8 out[kTableBytes]);
// The table read into out; false (out untouched) when n is short or the
// count is outside 1..8. Names and peer IDs come back terminated.
bool ReadMemberTable(const u8* payload, u32 n, RoomMemberTable* out);

// 1025.
struct JoinReply {
    u8 mark = 0;
    u32 lobbyMode = 0;
    u32 accepted = 0;
    char peerId[45] = {};
};
void WriteJoinReply(const JoinReply& reply, u8 out[kJoinReplyBytes]);
// False when short or when accepted is neither 0 nor 1.
bool ReadJoinReply(const u8* payload, u32 n, JoinReply* out);

// 1026: display name (25 bytes) and the member's field.
void WriteMemberInfo(const char* name, u32 field, u8 out[kMemberInfoBytes]);
bool ReadMemberInfo(const u8* payload, u32 n, char name[25], u32* field);

// 1016: the result (0..2); false for anything else or a short payload.
bool ReadMemberResult(const u8* payload, u32 n, u32* result);

// A chat line of 281 bytes as it came: speaker and text terminated in
// place, so the log and the relay keep only terminated texts.
void TerminateChatLine(u8 line[281]);

// One octet text of an entry: "*" is a wildcard (-1); digits read within
// the 4 bytes, anything else ending the number (a letter alone reads 0).
i32 OctetValue(const char octet[4]);
// The address text (dotted) matches the entry.
bool EntryMatches(const IpAddressEntry& entry, const char* address);
// Passes the lists: one allow entry when there are any, no deny entry.
bool AddressAdmitted(const std::vector<IpAddressEntry>& allow, const std::vector<IpAddressEntry>& deny,
                     const char* address);

// The members a room may hold: the server's limit, never above 8 (nor 0
// meaning none: a limit of 0 admits only the host).
u32 MemberLimit(u16 serverLimit);

// The table's index of a peer ID; -1 when absent (null or empty never found).
i32 FindMember(const RoomMemberTable& table, const char* peerId);
// A new entry for a joining peer: false when the table holds limit members.
bool AddMember(RoomMemberTable& table, u32 limit, const char* peerId);
// Removes the entry of peerId (later ones move up, the last cleared);
// false when absent. Entry 0 (the host) is never removed this way.
bool RemoveMember(RoomMemberTable& table, const char* peerId);
// One more of result (0..2) for that member; false when absent or out of range.
bool AddResult(RoomMemberTable& table, i32 index, u32 result);
// The count clamped to 0..8 for a table another thread may have changed.
u32 MemberCount(const RoomMemberTable& table);

}  // namespace room
