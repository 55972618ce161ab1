#include "game/network/RoomMembers.h"

#include <cstring>

namespace room {


namespace {

// A fixed text field copied and terminated at its last byte.
template <size_t N>
void TakeText(char (&field)[N], const u8* p)
{
    std::memcpy(field, p, N);
    field[N - 1] = 0;
}

template <size_t N>
void PutText(u8* p, const char (&field)[N])
{
    std::memcpy(p, field, N);
    p[N - 1] = 0;
}

}  // namespace

void WriteMemberTable(const RoomMemberTable& table, u8 out[kTableBytes])
{
    std::memset(out, 0, kTableBytes);
    const u16 count = u16(table.count);
    out[0] = u8(count);
    out[1] = u8(count >> 8);
    for (u32 i = 0; i < lobby::kMaxMembers; ++i) {
        const RoomMember& m = table.members[i];
        u8* p = out + 2 + i * kEntryBytes;
        PutText(p, m.name);
        for (u32 k = 0; k < 3; ++k) PutLe32(p + 25 + 4 * k, m.results[k]);
        PutLe32(p + 37, m.field);
        PutText(p + 41, m.peerId);
    }
}

bool ReadMemberTable(const u8* payload, u32 n, RoomMemberTable* out)
{
    if (!payload || n < kTableBytes) return false;
    const i16 count = i16(u16(payload[0] | payload[1] << 8));
    if (count < 1 || count > i16(lobby::kMaxMembers)) return false;
    RoomMemberTable table;
    table.count = count;
    for (u32 i = 0; i < lobby::kMaxMembers; ++i) {
        RoomMember& m = table.members[i];
        const u8* p = payload + 2 + i * kEntryBytes;
        TakeText(m.name, p);
        for (u32 k = 0; k < 3; ++k) m.results[k] = GetLe32(p + 25 + 4 * k);
        m.field = GetLe32(p + 37);
        TakeText(m.peerId, p + 41);
    }
    *out = table;
    return true;
}

void WriteJoinReply(const JoinReply& reply, u8 out[kJoinReplyBytes])
{
    out[0] = reply.mark;
    PutLe32(out + 1, reply.lobbyMode);
    PutLe32(out + 5, reply.accepted);
    PutText(out + 9, reply.peerId);
}

bool ReadJoinReply(const u8* payload, u32 n, JoinReply* out)
{
    if (!payload || n < kJoinReplyBytes) return false;
    JoinReply reply;
    reply.mark = payload[0];
    reply.lobbyMode = GetLe32(payload + 1);
    reply.accepted = GetLe32(payload + 5);
    if (reply.accepted > 1) return false;
    TakeText(reply.peerId, payload + 9);
    *out = reply;
    return true;
}

void WriteMemberInfo(const char* name, u32 field, u8 out[kMemberInfoBytes])
{
    std::memset(out, 0, kMemberInfoBytes);
    if (name) std::memcpy(out, name, strnlen(name, 24));
    PutLe32(out + 25, field);
}

bool ReadMemberInfo(const u8* payload, u32 n, char name[25], u32* field)
{
    if (!payload || n < kMemberInfoBytes) return false;
    std::memcpy(name, payload, 25);
    name[24] = 0;
    *field = GetLe32(payload + 25);
    return true;
}

bool ReadMemberResult(const u8* payload, u32 n, u32* result)
{
    if (!payload || n < kResultBytes) return false;
    const u32 value = GetLe32(payload);
    if (value > 2) return false;
    *result = value;
    return true;
}

void TerminateChatLine(u8 line[281])
{
    line[24] = 0;
    line[280] = 0;
}

i32 OctetValue(const char octet[4])
{
    if (octet[0] == '*') return -1;
    i32 value = 0;
    for (u32 i = 0; i < 4 && octet[i] >= '0' && octet[i] <= '9'; ++i) value = value * 10 + (octet[i] - '0');
    return value;
}

bool EntryMatches(const IpAddressEntry& entry, const char* address)
{
    if (!address) return false;
    const char* p = address;
    for (u32 k = 0; k < 4; ++k) {
        i32 part = 0;
        u32 digits = 0;
        while (*p >= '0' && *p <= '9' && digits < 4) part = part * 10 + (*p++ - '0'), ++digits;
        if (digits == 0) return false;
        if (k < 3) {
            if (*p != '.') return false;
            ++p;
        }
        const i32 want = OctetValue(entry.octet[k]);
        if (want >= 0 && want != part) return false;
    }
    return *p == 0;
}

bool AddressAdmitted(const std::vector<IpAddressEntry>& allow, const std::vector<IpAddressEntry>& deny,
                     const char* address)
{
    if (!allow.empty()) {
        bool found = false;
        for (const IpAddressEntry& e : allow) found = found || EntryMatches(e, address);
        if (!found) return false;
    }
    for (const IpAddressEntry& e : deny)
        if (EntryMatches(e, address)) return false;
    return true;
}

u32 MemberLimit(u16 serverLimit) { return serverLimit < lobby::kMaxMembers ? serverLimit : lobby::kMaxMembers; }

u32 MemberCount(const RoomMemberTable& table)
{
    if (table.count < 0) return 0;
    return u32(table.count) < lobby::kMaxMembers ? u32(table.count) : lobby::kMaxMembers;
}

i32 FindMember(const RoomMemberTable& table, const char* peerId)
{
    if (!peerId || !peerId[0]) return -1;
    const u32 count = MemberCount(table);
    for (u32 i = 0; i < count; ++i)
        if (std::strncmp(table.members[i].peerId, peerId, sizeof table.members[i].peerId) == 0) return i32(i);
    return -1;
}

bool AddMember(RoomMemberTable& table, u32 limit, const char* peerId)
{
    const u32 count = MemberCount(table);
    if (count >= MemberLimit(u16(limit > 0xFFFF ? 0xFFFF : limit))) return false;
    RoomMember& m = table.members[count];
    m = RoomMember{};
    if (peerId) std::memcpy(m.peerId, peerId, strnlen(peerId, sizeof m.peerId - 1));
    table.count = i16(count + 1);
    return true;
}

bool RemoveMember(RoomMemberTable& table, const char* peerId)
{
    const i32 index = FindMember(table, peerId);
    if (index <= 0) return false;
    const u32 count = MemberCount(table);
    for (u32 i = u32(index); i + 1 < count; ++i) table.members[i] = table.members[i + 1];
    table.members[count - 1] = RoomMember{};
    table.count = i16(count - 1);
    return true;
}

bool AddResult(RoomMemberTable& table, i32 index, u32 result)
{
    if (index < 0 || u32(index) >= MemberCount(table) || result > 2) return false;
    ++table.members[index].results[result];
    return true;
}

}  // namespace room
