// The lobby wire: golden bytes of the scrambled frames, and the checked
// readers against too few bytes and hostile fields.
#include "game/network/LobbyWire.h"
#include "engine/core/Endian.h"
#include "game/network/tests/LobbyDoubles.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ORV_TEST_FILE_ID {

using namespace lobby;

namespace {

std::string Hex(const std::vector<u8>& bytes)
{
    std::string out;
    char b[4];
    for (u8 v : bytes) std::snprintf(b, sizeof b, "%02x", v), out += b;
    return out;
}

TEST(LobbyClientWire, ProtocolConstantsAreFixed)
{
    // The test server and any other build must agree byte for byte.
    EXPECT_EQ(Hex({kScrambleTable, kScrambleTable + 8}), "ce31ad424c63bd67");
    EXPECT_EQ(Hex({kScrambleTable + 248, kScrambleTable + 256}), "c492e40d600cf09c");
}

TEST(LobbyClientWire, ClientMessageGoldenBytes)
{
    const u8 payload[4] = {1, 2, 3, 4};
    const std::vector<u8> message = WriteClientMessage(1008, payload, 4, kInitialPayloadKey);
    EXPECT_EQ(Hex(message), "025559c6292308d60cf20e937b03");
    EXPECT_EQ(Hex(WriteClientMessage(1024, nullptr, 0, 0x51)), "02a55ec6292708d60c03");
    // Start and end go plain; the header unscrambles to {type, 0, n}.
    ASSERT_EQ(message.size(), 14u);
    EXPECT_EQ(message.front(), kStartByte);
    EXPECT_EQ(message.back(), kEndByte);
    u8 header[kHeaderBytes];
    std::memcpy(header, message.data() + 1, kHeaderBytes);
    ScrambleLobby(header, kHeaderBytes, kHeaderKey);
    const LobbyMessageHeader h = ReadHeader(header);
    EXPECT_EQ(h.type, 1008);
    EXPECT_EQ(h.status, 0);
    EXPECT_EQ(h.length, 4u);
}

TEST(LobbyClientWire, ServerMessageGoldenBytesAndRoundTrip)
{
    const u8 payload[2] = {'~', 0x51};
    const std::vector<u8> message = WriteServerMessage(kHandshake, kStatusSuccess, payload, 2, kInitialPayloadKey);
    EXPECT_EQ(Hex(message), "c15ac7292508d60c8d5d");
    // A long payload: the table index wraps at 256 from the payload's start.
    std::vector<u8> big(600);
    for (size_t i = 0; i < big.size(); ++i) big[i] = u8(i * 7);
    std::vector<u8> copy = big;
    ScrambleLobby(copy.data(), copy.size(), 0x51);
    EXPECT_EQ(copy[0] ^ big[0], copy[256] ^ big[256]);
    ScrambleLobby(copy.data(), copy.size(), 0x51);
    EXPECT_EQ(copy, big);
}

TEST(LobbyClientWire, ClientFramesAsTheServerReadsThem)
{
    const u8 chat[3] = {'h', 'i', 0};
    std::vector<u8> stream = WriteClientMessage(1020, chat, 3, 0x51);
    const std::vector<u8> second = WriteClientMessage(1024, nullptr, 0, 0x51);
    stream.insert(stream.end(), second.begin(), second.end());

    ClientFrame frame;
    for (size_t cut = 0; cut < 13; ++cut)
        EXPECT_EQ(ReadClientFrame(stream.data(), cut, 0x51, &frame), FrameResult::kMore) << cut;
    ASSERT_EQ(ReadClientFrame(stream.data(), stream.size(), 0x51, &frame), FrameResult::kMessage);
    EXPECT_EQ(frame.type, 1020);
    EXPECT_EQ(frame.payload, std::vector<u8>(chat, chat + 3));
    ASSERT_EQ(ReadClientFrame(stream.data() + frame.consumed, stream.size() - frame.consumed, 0x51, &frame),
              FrameResult::kMessage);
    EXPECT_EQ(frame.type, 1024);

    std::vector<u8> bad = second;
    bad.back() = 0;   // no end byte
    EXPECT_EQ(ReadClientFrame(bad.data(), bad.size(), 0x51, &frame), FrameResult::kBad);
    std::vector<u8> huge(1 + kHeaderBytes);
    huge[0] = kStartByte;
    WriteHeader({1020, 0, kMaxPayload + 1}, huge.data() + 1);
    ScrambleLobby(huge.data() + 1, kHeaderBytes, kHeaderKey);
    EXPECT_EQ(ReadClientFrame(huge.data(), huge.size(), 0x51, &frame), FrameResult::kBad);
}

// A frame of exactly the largest payload is read whole.
TEST(LobbyClientWire, FrameOfTheLargestPayloadIsRead)
{
    std::vector<u8> payload(kMaxPayload);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = u8(i * 13 + (i >> 8));
    const std::vector<u8> stream = WriteClientMessage(1020, payload.data(), u32(payload.size()), 0x51);
    ClientFrame frame;
    ASSERT_EQ(ReadClientFrame(stream.data(), stream.size(), 0x51, &frame), FrameResult::kMessage);
    EXPECT_EQ(frame.type, 1020);
    EXPECT_EQ(frame.consumed, stream.size());
    EXPECT_TRUE(frame.payload == payload);
}

TEST(LobbyClientWire, EveryFixedOffsetMessageNeedsItsBytes)
{
    const struct {
        u16 type;
        u32 need;
    } cases[] = {{kHandshake, 2},      {kRoomRemoved, 4},        {kUserRemoved, 4},      {kLineTestRequest, 8},
                 {kLobbyChat, 281},    {kLoginResult, 318},      {kUserDetail, 318},     {kMemberBlock, 370},
                 {kMemberBlockKick, 370}, {kRoomDetail, 814},    {kRoomDetailPassword, 814},
                 {kRoomDetailAsked, 814}, {kJoinAccepted, 822},  {kUsersAdded, 0},       {kRoomsAdded, 0},
                 {kKeepAlive, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(RequiredBytes(c.type, kStatusSuccess), c.need) << c.type;
        // A refusal carries nothing to read.
        EXPECT_EQ(RequiredBytes(c.type, kStatusFailure), 0u) << c.type;
    }
}

TEST(LobbyClientWire, PictureLengthMustLieInsideTheMessage)
{
    const struct {
        i32 length;
        u32 present;
        WireError want;
    } cases[] = {{0, 0, WireError::kNone},         {16, 16, WireError::kNone},     {17, 16, WireError::kBadPicture},
                 {-1, 100, WireError::kNone},      {0x7FFFFFFF, 8, WireError::kBadPicture}};
    for (const auto& c : cases) {
        const std::vector<u8> d = lobby_test::UserDetailBytes(9, "n", "p", c.length, c.present);
        UserDetail detail;
        EXPECT_EQ(ReadUserDetail(d.data(), u32(d.size()), true, &detail), c.want) << c.length;
        if (c.want == WireError::kNone) {
            // Zero or negative: no picture (the user keeps the one he had).
            EXPECT_EQ(detail.pictureBytes, u32(c.length > 0 ? c.length : 0));
            EXPECT_EQ(detail.picture == nullptr, c.length <= 0);
        }
    }
    const std::vector<u8> d = lobby_test::UserDetailBytes(9, "n", "p");
    UserDetail detail;
    EXPECT_EQ(ReadUserDetail(d.data(), 317, false, &detail), WireError::kShort);
}

// The count is the server's to say; the readers keep it and look no
// further than the host and the eight member entries the record holds.
TEST(LobbyClientWire, AnyMemberCountIsKeptAndReadInsideTheRecord)
{
    const struct {
        i16 count;
        bool host, seventh, eighth;   // user 1, user 8 (member entry 7), user 9 (member entry 8)
    } cases[] = {
        {-1, false, false, false}, {0, false, false, false}, {1, true, false, false},    {8, true, true, false},
        {9, true, true, true},     {10, true, true, true},   {0x7FFF, true, true, true},
    };
    for (const auto& c : cases) {
        std::vector<u8> d = lobby_test::RoomDataBytes(3, {1});
        for (u32 i = 0; i < kRecordMembers; ++i) PutLe32(d.data() + kMemberEntriesAt + i * kEntryBytes, 2 + i);
        PutLe16(d.data() + kMemberBlockAt, u16(c.count));
        RoomDetail detail;
        ASSERT_EQ(ReadRoomDetail(d.data(), u32(d.size()), false, &detail), WireError::kNone) << c.count;
        LobbyRoomRecord room;
        std::memcpy(room.data, detail.data, kRoomDataBytes);
        EXPECT_EQ(room.MemberCount(), c.count);
        EXPECT_EQ(room.HasMember(1), c.host) << c.count;
        EXPECT_EQ(room.HasMember(8), c.seventh) << c.count;
        EXPECT_EQ(room.HasMember(9), c.eighth) << c.count;
        EXPECT_FALSE(room.HasMember(10)) << c.count;
        MemberBlock block;
        ASSERT_EQ(ReadMemberBlock(d.data() + kMemberBlockAt, kMemberBlockBytes, &block), WireError::kNone) << c.count;
        EXPECT_EQ(std::memcmp(block.bytes, d.data() + kMemberBlockAt, kMemberBlockBytes), 0);
    }
    // Only too few bytes are refused.
    const std::vector<u8> d = lobby_test::RoomDataBytes(3, {1});
    RoomDetail detail;
    EXPECT_EQ(ReadRoomDetail(d.data(), kRoomDataBytes - 1, false, &detail), WireError::kShort);
    MemberBlock block;
    EXPECT_EQ(ReadMemberBlock(d.data() + kMemberBlockAt, kMemberBlockBytes - 1, &block), WireError::kShort);
}

TEST(LobbyClientWire, NamesAndProfilesStayInsideTheirFields)
{
    // "あ" is 3 bytes of UTF-8 and 2 of code page 932. The list number
    // ("AAAA") follows the name's 25 bytes: a name without a zero must not
    // run into it.
    const struct {
        std::string utf8;
        std::string cp932;
    } cases[] = {
        {"Alice", "Alice"},
        {"\xE3\x81\x82\xE3\x81\x84", "\x82\xA0\x82\xA2"},
        {std::string(22, 'x') + "\xE3\x81\x82", std::string(22, 'x') + "\x82\xA0"},
        {std::string(30, 'x'), std::string(24, 'x')},
    };
    for (const auto& c : cases) {
        const std::vector<u8> e = lobby_test::UserEntryBytes(1, c.utf8, 0x41414141);
        std::vector<UserEntry> entries;
        ReadUserEntries(e.data(), u32(e.size()), &entries);
        ASSERT_EQ(entries.size(), 1u);
        const char* name = reinterpret_cast<const char*>(entries[0].data + kUserNameAt);
        EXPECT_LT(strnlen(name, kNameBytes), size_t(kNameBytes));
        EXPECT_EQ(std::string(name), c.cp932);
        EXPECT_EQ(entries[0].listNumber, 0x41414141u);
    }
    // A profile filling all 257 bytes with no zero: converted, cut, terminated;
    // a double-byte character across the cut is dropped whole.
    std::vector<u8> d = lobby_test::UserDetailBytes(2, "n", std::string(300, 'p'));
    std::memset(d.data() + 41, 'p', 257);
    std::memcpy(d.data() + 41 + 254, "\xE3\x81\x82", 3);   // "あ" in bytes 254..256
    UserDetail detail;
    ASSERT_EQ(ReadUserDetail(d.data(), u32(d.size()), false, &detail), WireError::kNone);
    // 254 'p' and "あ" make 256 bytes of code page 932: they fit.
    EXPECT_EQ(strnlen(reinterpret_cast<const char*>(detail.data + kProfileAt), kProfileBytes), 256u);
    // 255 'p' and a character the field cuts after two bytes.
    std::memset(d.data() + 41, 'p', 257);
    std::memcpy(d.data() + 41 + 255, "\xE3\x81", 2);
    ASSERT_EQ(ReadUserDetail(d.data(), u32(d.size()), false, &detail), WireError::kNone);
    EXPECT_LE(strnlen(reinterpret_cast<const char*>(detail.data + kProfileAt), kProfileBytes), 256u);
    EXPECT_EQ(GetLe32(detail.data + kUserIdAt), 2u);
}

TEST(LobbyClientWire, ChatLineIsTerminatedInItsField)
{
    std::vector<u8> line(kChatLineBytes, 'c');
    line[kChatLineBytes - 2] = 0x82;   // a lead byte whose trail byte would be the terminator
    line[kChatSpeakerBytes - 2] = 0x82;
    char out[kChatLineBytes];
    EXPECT_EQ(ReadChatLine(line.data(), 280, out), WireError::kShort);
    ASSERT_EQ(ReadChatLine(line.data(), kChatLineBytes, out), WireError::kNone);
    EXPECT_EQ(strnlen(out, kChatSpeakerBytes), size_t(kChatSpeakerBytes - 2));
    EXPECT_EQ(strnlen(out + kChatSpeakerBytes, kChatLineBytes - kChatSpeakerBytes),
              size_t(kChatLineBytes - kChatSpeakerBytes - 2));
}

// A short speaker's terminator keeps the text after it.
TEST(LobbyClientWire, ChatLineKeepsTheTextAfterTheSpeaker)
{
    std::vector<u8> line(kChatLineBytes, 0);
    std::memcpy(line.data(), "Alice", 5);
    std::memcpy(line.data() + kChatSpeakerBytes, "hello", 5);
    char out[kChatLineBytes];
    ASSERT_EQ(ReadChatLine(line.data(), kChatLineBytes, out), WireError::kNone);
    EXPECT_STREQ(out, "Alice");
    EXPECT_STREQ(out + kChatSpeakerBytes, "hello");
}

TEST(LobbyClientWire, LoginPayloadLayout)
{
    const std::vector<u8> login = WriteLogin("player", 0x01020304, 18000, host::net::MakeAddress(127, 0, 0, 5));
    ASSERT_EQ(login.size(), kLoginBytes);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(login.data())), "player");
    EXPECT_EQ(GetLe32(login.data() + 50), 0x01020304u);
    EXPECT_EQ(GetLe16(login.data() + 54), 18000);
    EXPECT_EQ(login[56], 127);
    EXPECT_EQ(login[59], 5);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
