// The peer wire: header bytes, the type table, the packet queue and the
// reassembly of a stream cut anywhere.
#include "game/network/NetClient.h"
#include "game/network/PacketQueue.h"
#include "game/network/PeerWire.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using peer::Sender;
using peer::WireError;

namespace {

TEST(PeerWire, HeaderGoldenBytes)
{
    struct Case {
        peer::PeerMessageHeader header;
        std::vector<u8> bytes;
    } cases[] = {
        {{10001, 1, 116}, {0x11, 0x27, 0x01, 0x00, 0x74, 0x00, 0x00, 0x00}},
        {{32766, 1, 0}, {0xFE, 0x7F, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {{32767, 1, 0}, {0xFF, 0x7F, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {{-2, 0x1234, 4096}, {0xFE, 0xFF, 0x34, 0x12, 0x00, 0x10, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        u8 out[8];
        peer::WriteHeader(c.header, out);
        EXPECT_EQ(std::vector<u8>(out, out + 8), c.bytes) << c.header.type;
        peer::PeerMessageHeader back;
        ASSERT_EQ(peer::ReadHeader(c.bytes.data(), c.bytes.size(), &back), WireError::kNone);
        EXPECT_EQ(back.type, c.header.type);   // read signed
        EXPECT_EQ(back.subType, c.header.subType);
        EXPECT_EQ(back.length, c.header.length);
    }
    const std::vector<u8> message = peer::WriteMessage(10004, 1, "\x01\x02\x03\x04", 4);
    EXPECT_EQ(message, (std::vector<u8>{0x14, 0x27, 1, 0, 4, 0, 0, 0, 1, 2, 3, 4}));
}

TEST(PeerWire, ReadHeaderRefusesShortAndHugeLengths)
{
    const u8 huge[8] = {0x11, 0x27, 1, 0, 0xF8, 0xFF, 0xFF, 0xFF};   // + 8 would wrap
    const u8 over[8] = {0x11, 0x27, 1, 0, 0x01, 0x10, 0, 0};         // 4097
    peer::PeerMessageHeader out{7, 7, 7};
    EXPECT_EQ(peer::ReadHeader(huge, 8, &out), WireError::kTooLong);
    EXPECT_EQ(peer::ReadHeader(over, 8, &out), WireError::kTooLong);
    EXPECT_EQ(peer::ReadHeader(over, 7, &out), WireError::kShort);
    EXPECT_EQ(peer::ReadHeader(nullptr, 8, &out), WireError::kShort);
    EXPECT_EQ(out.type, 7);   // untouched
}

TEST(PeerWire, TypeTableSizesAndSenders)
{
    struct Case {
        i16 type;
        u32 length;
        Sender from;
        WireError expected;
    } cases[] = {
        {10001, 116, Sender::kMember, WireError::kNone},
        {10001, 115, Sender::kMember, WireError::kLength},
        {10002, 56, Sender::kRoomHost, WireError::kNone},
        {10003, 1404, Sender::kMember, WireError::kNone},
        {10003, 1405, Sender::kMember, WireError::kLength},
        {10006, 4, Sender::kMember, WireError::kNone},
        {10007, 1400, Sender::kMember, WireError::kNone},
        {10007, 20, Sender::kRoomHost, WireError::kSender},
        {10008, 1400, Sender::kRoomHost, WireError::kNone},
        {10008, 1401, Sender::kRoomHost, WireError::kLength},
        {10008, 30, Sender::kMember, WireError::kSender},
        {10009, 4, Sender::kRoomHost, WireError::kNone},
        {10009, 4, Sender::kMember, WireError::kSender},
        {1021, 281, Sender::kMember, WireError::kNone},
        {1025, 54, Sender::kMember, WireError::kSender},
        {1026, 29, Sender::kMember, WireError::kNone},
        {1027, 690, Sender::kRoomHost, WireError::kNone},
        {32766, 0, Sender::kMember, WireError::kNone},
        {32767, 1, Sender::kMember, WireError::kLength},
        // Types of no rule are passed on, of any sender, up to the cap.
        {10010, 0, Sender::kRoomHost, WireError::kNone},
        {-32768, 4096, Sender::kMember, WireError::kNone},
        {1337, 4097, Sender::kMember, WireError::kTooLong},
        {10003, 4097, Sender::kMember, WireError::kTooLong},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(peer::CheckHeader({c.type, 1, c.length}, c.from), c.expected) << c.type << " " << c.length;
        EXPECT_NE(peer::DescribeWireError(c.expected), nullptr);
    }
    // No peer message is longer than 1,404 bytes.
    size_t count = 0;
    const peer::TypeRule* rules = peer::TypeRules(&count);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_LE(rules[i].maxLength, 1404u) << rules[i].type;
        EXPECT_LE(rules[i].minLength, rules[i].maxLength);
    }
}

TEST(PacketQueue, FillsInOrderAndPopsWholeElements)
{
    CPacketQueue queue;
    EXPECT_FALSE(queue.Push(nullptr, 0, -1));
    const u8 bytes[] = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(queue.Push(bytes, 2, 5));
    EXPECT_TRUE(queue.TailIncomplete());
    EXPECT_FALSE(queue.HeadComplete());
    EXPECT_EQ(queue.FillTail(bytes + 2, 4), 3u);   // only what is missing
    EXPECT_EQ(queue.FillTail(bytes, 4), 0u);       // complete tail takes nothing
    ASSERT_TRUE(queue.Push(bytes, 0, 0));          // empty: complete at once
    ASSERT_TRUE(queue.Push(bytes, 9, 3));          // filled cut to the total
    EXPECT_EQ(queue.Count(), 3u);
    std::vector<u8> out;
    ASSERT_TRUE(queue.Pop(out));
    EXPECT_EQ(out, (std::vector<u8>{1, 2, 3, 4, 5}));
    ASSERT_TRUE(queue.Pop(out));
    EXPECT_TRUE(out.empty());
    ASSERT_TRUE(queue.Pop(out));
    EXPECT_EQ(out, (std::vector<u8>{1, 2, 3}));
    EXPECT_FALSE(queue.Pop(out));
    ASSERT_TRUE(queue.Push(bytes, 1, 4));
    ASSERT_TRUE(queue.Pop(out));   // an incomplete head gives what it holds
    EXPECT_EQ(out, std::vector<u8>{1});
}

struct Log : IPeerStreamSink {
    void OnPing() override { seen.push_back("ping"); }
    void OnPong() override { seen.push_back("pong"); }
    i32 OnMessage(i32 type, const u8* payload, u32 length) override
    {
        seen.push_back(std::to_string(type) + ":" + std::string(reinterpret_cast<const char*>(payload), length));
        return stopAt != seen.size() ? 1 : 0;
    }
    std::vector<std::string> seen;
    size_t stopAt = 0;
};

std::vector<u8> Traffic()
{
    std::vector<u8> all;
    auto add = [&](i16 type, const std::string& body) {
        const auto m = peer::WriteMessage(type, 1, body.data(), u32(body.size()));
        all.insert(all.end(), m.begin(), m.end());
    };
    add(32766, "");
    add(10004, "abcd");
    add(10003, std::string(1404, 'p'));
    add(32767, "");
    add(10005, "wxyz");
    return all;
}

const std::vector<std::string> kTrafficSeen = {"ping", "10004:abcd", "10003:" + std::string(1404, 'p'), "pong",
                                              "10005:wxyz"};

TEST(PeerStream, AnyCutsGiveTheSameMessagesInOrder)
{
    const std::vector<u8> all = Traffic();
    for (size_t step : {size_t(1), size_t(3), size_t(7), size_t(8), size_t(9), size_t(1000), all.size()}) {
        CPeerStream stream(Sender::kRoomHost);
        Log log;
        for (size_t at = 0; at < all.size(); at += step) {
            ASSERT_TRUE(stream.Receive(all.data() + at, std::min(step, all.size() - at)));
            ASSERT_TRUE(stream.ParseMessages(log));
        }
        EXPECT_EQ(log.seen, kTrafficSeen) << "step " << step;
        EXPECT_EQ(stream.QueuedMessages(), 0u);
    }
}

TEST(PeerStream, RefusedHeaderKeepsWhatCameBeforeAndNothingAfter)
{
    struct Case {
        std::vector<u8> bad;
        Sender from;
        WireError error;
    } cases[] = {
        {{0x11, 0x27, 1, 0, 0xF8, 0xFF, 0xFF, 0xFF}, Sender::kMember, WireError::kTooLong},
        {{0x12, 0x27, 1, 0, 0x39, 0, 0, 0}, Sender::kMember, WireError::kLength},   // 10002 of 57
        {{0x18, 0x27, 1, 0, 0x10, 0, 0, 0}, Sender::kMember, WireError::kSender},   // 10008 from a member
    };
    for (const Case& c : cases) {
        std::vector<u8> all = peer::WriteMessage(10004, 1, "abcd", 4);
        all.insert(all.end(), c.bad.begin(), c.bad.end());
        const auto after = peer::WriteMessage(10005, 1, "wxyz", 4);
        all.insert(all.end(), after.begin(), after.end());
        CPeerStream stream(c.from);
        Log log;
        EXPECT_FALSE(stream.Receive(all.data(), all.size()));
        EXPECT_TRUE(stream.ParseMessages(log));
        EXPECT_EQ(log.seen, std::vector<std::string>{"10004:abcd"});
        EXPECT_EQ(stream.Error(), c.error);
        EXPECT_EQ(stream.QueuedMessages(), 0u);
        EXPECT_FALSE(stream.Receive(after.data(), after.size()));   // stays refused
    }
}

// A type this game does not send, longer than the bound (by one byte and
// by 64 KiB), is read past in any cuts, nothing of it kept; the messages
// around it arrive. A known type over the bound still stops the stream.
TEST(PeerStream, UnknownTypesOverTheBoundAreReadPast)
{
    for (const u32 length : {peer::kMaxPayloadBytes + 1, 65536u}) {
        std::vector<u8> all = peer::WriteMessage(10004, 1, "abcd", 4);
        const std::string big(length, 'x');
        const auto skipped = peer::WriteMessage(1337, 1, big.data(), length);
        all.insert(all.end(), skipped.begin(), skipped.end());
        const auto after = peer::WriteMessage(10005, 1, "wxyz", 4);
        all.insert(all.end(), after.begin(), after.end());
        for (const size_t step : {size_t(1), size_t(7), size_t(4096), all.size()}) {
            CPeerStream stream(Sender::kMember);
            Log log;
            for (size_t at = 0; at < all.size(); at += step) {
                ASSERT_TRUE(stream.Receive(all.data() + at, std::min(step, all.size() - at))) << length << " " << step;
                ASSERT_TRUE(stream.ParseMessages(log));
            }
            EXPECT_EQ(log.seen, (std::vector<std::string>{"10004:abcd", "10005:wxyz"})) << length << " " << step;
            EXPECT_EQ(stream.SkippedMessages(), 1u);
            EXPECT_EQ(stream.QueuedMessages(), 0u);
        }
    }
}

TEST(PeerStream, SinkStopLeavesTheRestQueued)
{
    const std::vector<u8> all = Traffic();
    CPeerStream stream;
    Log log;
    log.stopAt = 2;
    ASSERT_TRUE(stream.Receive(all.data(), all.size()));
    EXPECT_FALSE(stream.ParseMessages(log));
    EXPECT_EQ(log.seen.size(), 2u);
    EXPECT_EQ(stream.QueuedMessages(), 3u);
}

TEST(PeerId, FiveGroupsOfEightLetters)
{
    CRandom random;
    random.Seed(12345);
    bool upper = false, lower = false;
    std::set<std::string> ids;
    for (int n = 0; n < 200; ++n) {
        char id[peer::kPeerIdBytes];
        std::memset(id, 'x', sizeof id);
        DrawPeerId(random, id);
        ASSERT_EQ(id[44], 0);
        for (int i = 0; i < 44; ++i) {
            if (i % 9 == 8) {
                ASSERT_EQ(id[i], '-') << i;
            } else {
                ASSERT_TRUE(std::isalpha(static_cast<unsigned char>(id[i]))) << id;
                upper |= std::isupper(static_cast<unsigned char>(id[i])) != 0;
                lower |= std::islower(static_cast<unsigned char>(id[i])) != 0;
            }
        }
        ids.insert(id);
    }
    EXPECT_TRUE(upper && lower);
    EXPECT_EQ(ids.size(), 200u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
