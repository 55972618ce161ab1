#include "game/network/RoomMembers.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ORV_TEST_FILE_ID {

namespace {

IpAddressEntry Entry(const char* a, const char* b, const char* c, const char* d)
{
    IpAddressEntry e{};
    const char* parts[4] = {a, b, c, d};
    for (u32 k = 0; k < 4; ++k) std::memcpy(e.octet[k], parts[k], std::strlen(parts[k]) < 4 ? std::strlen(parts[k]) : 4);
    return e;
}

RoomMemberTable TableOf(u32 count)
{
    RoomMemberTable t;
    t.count = i16(count);
    for (u32 i = 0; i < count; ++i) {
        std::snprintf(t.members[i].name, sizeof t.members[i].name, "member%u", i);
        std::snprintf(t.members[i].peerId, sizeof t.members[i].peerId, "peer-%u", i);
        t.members[i].results[0] = i;
        t.members[i].field = 100 + i;
    }
    return t;
}

TEST(RoomMembers, TableTextsComeBackTerminatedAndShortTablesRefused)
{
    u8 bytes[room::kTableBytes];
    std::memset(bytes, 'A', sizeof bytes);
    bytes[0] = 8;
    bytes[1] = 0;
    RoomMemberTable got;
    ASSERT_TRUE(room::ReadMemberTable(bytes, sizeof bytes, &got));
    for (const RoomMember& m : got.members) {
        EXPECT_EQ(std::strlen(m.name), 24u);
        EXPECT_EQ(std::strlen(m.peerId), 44u);
    }
    EXPECT_FALSE(room::ReadMemberTable(bytes, sizeof bytes - 1, &got));
}

TEST(RoomMembers, TableRoundTripsAtItsOffsets)
{
    RoomMemberTable sent = TableOf(4);
    sent.members[3].results[2] = 0x01020304;
    u8 bytes[room::kTableBytes];
    room::WriteMemberTable(sent, bytes);
    EXPECT_EQ(bytes[2 + 3 * 86 + 33], 0x04);          // third count of entry 3
    EXPECT_EQ(bytes[2 + 1 * 86 + 37], 101);           // field of entry 1
    EXPECT_EQ(std::memcmp(bytes + 2 + 2 * 86 + 41, "peer-2", 7), 0);
    RoomMemberTable got;
    ASSERT_TRUE(room::ReadMemberTable(bytes, sizeof bytes, &got));
    EXPECT_EQ(got.members[3].results[2], 0x01020304u);
    EXPECT_STREQ(got.members[2].name, "member2");
}

// Every field of every entry comes back, each of its own value (no two
// alike, so a field read from its neighbour's offset shows).
TEST(RoomMembers, EveryFieldOfAFullTableComesBack)
{
    RoomMemberTable sent = TableOf(lobby::kMaxMembers);
    for (u32 i = 0; i < lobby::kMaxMembers; ++i) {
        for (u32 k = 0; k < 3; ++k) sent.members[i].results[k] = 0x10000000u * (k + 1) + 0x0101u * i;
        sent.members[i].field = 0xA0B0C000u + i;
    }
    u8 bytes[room::kTableBytes];
    room::WriteMemberTable(sent, bytes);
    RoomMemberTable got;
    ASSERT_TRUE(room::ReadMemberTable(bytes, sizeof bytes, &got));
    EXPECT_EQ(got.count, sent.count);
    for (u32 i = 0; i < lobby::kMaxMembers; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(got.members[i].name, sent.members[i].name);
        EXPECT_STREQ(got.members[i].peerId, sent.members[i].peerId);
        for (u32 k = 0; k < 3; ++k) EXPECT_EQ(got.members[i].results[k], sent.members[i].results[k]) << k;
        EXPECT_EQ(got.members[i].field, sent.members[i].field);
    }
    // The member's own notice (1026) carries the same two.
    u8 info[room::kMemberInfoBytes];
    room::WriteMemberInfo("member7", 0xA0B0C007u, info);
    char name[25] = {};
    u32 field = 0;
    ASSERT_TRUE(room::ReadMemberInfo(info, sizeof info, name, &field));
    EXPECT_STREQ(name, "member7");
    EXPECT_EQ(field, 0xA0B0C007u);
}

TEST(RoomMembers, MemberResultOutsideZeroToTwoIsIgnored)
{
    struct Case { u32 value; u32 n; bool taken; };
    const Case cases[] = {{0, 4, true}, {2, 4, true}, {3, 4, false}, {7, 4, false}, {1, 3, false}};
    for (const Case& c : cases) {
        u8 bytes[4];
        PutLe32(bytes, c.value);
        u32 result = 99;
        EXPECT_EQ(room::ReadMemberResult(bytes, c.n, &result), c.taken) << c.value;
    }
    RoomMemberTable t = TableOf(2);
    EXPECT_FALSE(room::AddResult(t, 1, 3));
    EXPECT_FALSE(room::AddResult(t, 2, 0));
    EXPECT_TRUE(room::AddResult(t, 1, 2));
    EXPECT_EQ(t.members[1].results[2], 1u);
    EXPECT_EQ(t.members[2].results[0], 0u);
}

TEST(RoomMembers, OctetsReadWithinTheirFourBytes)
{
    struct Case { const char bytes[4]; i32 value; };
    const Case cases[] = {{{'1', '9', '2', 0}, 192}, {{'*', 0, 0, 0}, -1}, {{'a', 'b', 0, 0}, 0},
                          {{'1', '2', '3', '4'}, 1234}, {{'1', 'x', '5', 0}, 1}, {{0, 0, 0, 0}, 0}};
    for (const Case& c : cases) EXPECT_EQ(room::OctetValue(c.bytes), c.value);
}

TEST(RoomMembers, AllowAndDenyLists)
{
    const IpAddressEntry local = Entry("192", "168", "*", "*");
    const IpAddressEntry all = Entry("*", "*", "*", "*");
    const IpAddressEntry one = Entry("127", "0", "0", "2");
    struct Case { std::vector<IpAddressEntry> allow, deny; const char* address; bool admitted; };
    const Case cases[] = {
        {{}, {}, "10.0.0.1", true},
        {{local}, {}, "192.168.0.5", true},
        {{local}, {}, "10.0.0.1", false},
        {{}, {all}, "127.0.0.1", false},
        {{}, {one}, "127.0.0.2", false},
        {{}, {one}, "127.0.0.1", true},
        {{local}, {one}, "192.168.1.1", true},
        {{one}, {}, "127.0.0.2x", false},
        {{one}, {}, "", false},
        {{one}, {}, nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(room::AddressAdmitted(c.allow, c.deny, c.address), c.admitted) << (c.address ? c.address : "null");
}

TEST(RoomMembers, RemovalMovesLaterEntriesUpAndKeepsTheHost)
{
    RoomMemberTable t = TableOf(4);
    EXPECT_FALSE(room::RemoveMember(t, "peer-0"));
    EXPECT_FALSE(room::RemoveMember(t, "nobody"));
    EXPECT_FALSE(room::RemoveMember(t, ""));
    ASSERT_TRUE(room::RemoveMember(t, "peer-1"));
    EXPECT_EQ(t.count, 3);
    EXPECT_STREQ(t.members[1].peerId, "peer-2");
    EXPECT_STREQ(t.members[2].peerId, "peer-3");
    EXPECT_EQ(t.members[3].peerId[0], 0);
    t.count = 100;   // damaged: never read past the eight entries
    EXPECT_EQ(room::FindMember(t, "zzz"), -1);
}

TEST(RoomMembers, ChatLinesAreTerminatedInPlace)
{
    u8 line[281];
    std::memset(line, 'x', sizeof line);
    room::TerminateChatLine(line);
    EXPECT_EQ(std::strlen(reinterpret_cast<char*>(line)), 24u);
    EXPECT_EQ(std::strlen(reinterpret_cast<char*>(line) + 25), 255u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
