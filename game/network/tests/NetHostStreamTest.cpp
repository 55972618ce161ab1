// What a peer's receive thread makes of the bytes a plain socket writes:
// cuts, pauses inside a header, hostile headers, and a close right after
// the last message.
#include "game/network/tests/NetHostHarness.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

using namespace peer_test;

namespace {

std::vector<u8> Join(const std::vector<std::vector<u8>>& messages)
{
    std::vector<u8> all;
    for (const auto& m : messages) all.insert(all.end(), m.begin(), m.end());
    return all;
}

TEST(NetHostStream, SplitAndCoalescedMessagesArriveWholeAndInOrder)
{
    Node host(1);
    const u16 port = host.Listen();
    RawPeer raw(*host.net, host.address, port);
    ASSERT_TRUE(raw.connected);
    const std::vector<u8> all = Join({Message(10004, 4, 1), Message(10003, 1404, 2), Message(10001, 116, 3),
                                      Message(32767, 0), Message(10005, 4, 4), Message(10003, 300, 5)});
    // Cuts: inside a header, at a header's end, inside a payload, and
    // several messages in one write.
    const size_t cuts[] = {3, 8, 13, 700, 1430, 1560, all.size()};
    size_t from = 0;
    for (size_t cut : cuts) {
        ASSERT_TRUE(raw.Send(std::vector<u8>(all.begin() + from, all.begin() + cut)));
        from = cut;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(host.rec.WaitMessages(5));
    host.rec.With([&] {
        struct Expected {
            i32 type;
            size_t length;
            u8 fill;
        };
        const std::vector<Expected> expected = {
            {10004, 4, 1}, {10003, 1404, 2}, {10001, 116, 3}, {10005, 4, 4}, {10003, 300, 5}};
        EXPECT_EQ(host.rec.messages.size(), expected.size());   // the pong is no message
        for (size_t i = 0; i < expected.size() && i < host.rec.messages.size(); ++i) {
            EXPECT_EQ(host.rec.messages[i].type, expected[i].type);
            EXPECT_EQ(host.rec.messages[i].payload, std::vector<u8>(expected[i].length, expected[i].fill));
        }
        return 0;
    });
}

// The accept thread reads what a peer it let in sends at once; those bytes
// go to the peer's receive thread ahead of the rest, whatever the cut: none,
// inside the first header, a whole header, a message and part of the next.
TEST(NetHostStream, BytesSentAtOnceReachTheReceiveThreadAheadOfTheRest)
{
    const std::vector<u8> all = Join({Message(10004, 4, 1), Message(10003, 1404, 2), Message(10001, 116, 3)});
    for (size_t first : {size_t(0), size_t(3), peer::kHeaderBytes, size_t(12 + 20)}) {
        SCOPED_TRACE(first);
        Node host(1);
        const u16 port = host.Listen();
        RawPeer raw(*host.net, host.address, port);
        ASSERT_TRUE(raw.connected);
        if (first) {
            ASSERT_TRUE(raw.Send({all.begin(), all.begin() + first}));
        }
        ASSERT_TRUE(host.rec.WaitFor([&] { return host.rec.accepted.size() == 1; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));   // past the accept thread's look
        ASSERT_TRUE(raw.Send({all.begin() + first, all.end()}));
        ASSERT_TRUE(host.rec.WaitMessages(3));
        host.rec.With([&] {
            EXPECT_EQ(host.rec.messages.size(), 3u);
            EXPECT_TRUE(host.rec.disconnected.empty());
            const std::vector<std::pair<i32, std::vector<u8>>> expected = {
                {10004, std::vector<u8>(4, 1)}, {10003, std::vector<u8>(1404, 2)}, {10001, std::vector<u8>(116, 3)}};
            for (size_t i = 0; i < expected.size() && i < host.rec.messages.size(); ++i) {
                EXPECT_EQ(host.rec.messages[i].type, expected[i].first);
                EXPECT_EQ(host.rec.messages[i].payload, expected[i].second);
            }
            return 0;
        });
    }
}

TEST(NetHostStream, HeaderCutWithALongPauseIsFinishedLater)
{
    Node host(1);
    const u16 port = host.Listen();
    RawPeer raw(*host.net, host.address, port);
    ASSERT_TRUE(raw.connected);
    const std::vector<u8> m = Message(10002, 56, 9);
    ASSERT_TRUE(raw.Send({m.begin(), m.begin() + 5}));
    // Longer than any sleep loop of 200 tries would wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(host.rec.With([&] { return host.rec.disconnected.size(); }), 0u);
    ASSERT_TRUE(raw.Send({m.begin() + 5, m.end()}));
    ASSERT_TRUE(host.rec.WaitMessages(1));
    EXPECT_EQ(host.rec.With([&] { return host.rec.messages[0].payload; }), std::vector<u8>(56, 9));
    EXPECT_EQ(host.rec.With([&] { return host.rec.disconnected.size(); }), 0u);
}

TEST(NetHostStream, HostileHeadersCloseTheSenderOnce)
{
    struct Case {
        const char* what;
        std::vector<u8> header;
        const char* reason;
    } cases[] = {
        {"length that wraps", {0x11, 0x27, 1, 0, 0xF8, 0xFF, 0xFF, 0xFF}, "4096"},
        {"length 4097", {0x13, 0x27, 1, 0, 0x01, 0x10, 0, 0}, "4096"},
        {"host's type from a member", {0x18, 0x27, 1, 0, 4, 0, 0, 0}, "side"},
        {"card of 117 bytes", {0x11, 0x27, 1, 0, 117, 0, 0, 0}, "length wrong"},
    };
    Node host(1);
    const u16 port = host.Listen();
    size_t n = 0;
    for (const Case& c : cases) {
        ++n;
        RawPeer raw(*host.net, host.address, port);
        ASSERT_TRUE(raw.connected);
        std::vector<u8> bytes = Join({Message(10004, 4, u8(n)), c.header, Message(10005, 4)});
        ASSERT_TRUE(raw.Send(bytes));
        ASSERT_TRUE(host.rec.WaitDisconnects(n)) << c.what;
        // The host closed the socket: the raw peer reads its end.
        EXPECT_TRUE(raw.ReadToEnd(kWaitMs).empty()) << c.what;
        host.rec.With([&] {
            EXPECT_EQ(host.rec.messages.size(), n) << c.what;   // the message before it only
            EXPECT_EQ(host.rec.messages.back().payload, std::vector<u8>(4, u8(n)));
            EXPECT_NE(host.rec.reasons.back().find(c.reason), std::string::npos) << host.rec.reasons.back();
            return 0;
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(host.rec.With([&] { return host.rec.disconnected.size(); }), n);   // once each
    EXPECT_TRUE(UpdateUntilPeers(host.host, 0));
}

// A well-formed message of a type of no rule is passed on (the receiver
// ignores it) and the connection goes on; one longer than any message the
// game holds (5,000 bytes) is read past, and the connection goes on too.
TEST(NetHostStream, MessagesOfUnknownTypesArePassedOn)
{
    Node host(1);
    const u16 port = host.Listen();
    RawPeer raw(*host.net, host.address, port);
    ASSERT_TRUE(raw.connected);
    ASSERT_TRUE(raw.Send(Join({Message(10004, 4, 1), Message(1337, 3, 7), Message(-2, 0), Message(1338, 5000, 8),
                               Message(10005, 4, 2)})));
    ASSERT_TRUE(host.rec.WaitMessages(4));
    host.rec.With([&] {
        EXPECT_EQ(host.rec.messages[1].type, 1337);
        EXPECT_EQ(host.rec.messages[1].payload, std::vector<u8>(3, 7));
        EXPECT_EQ(host.rec.messages[2].type, -2);
        EXPECT_EQ(host.rec.messages[3].type, 10005);
        EXPECT_EQ(host.rec.messages[3].payload, std::vector<u8>(4, 2));
        return 0;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(host.rec.With([&] { return host.rec.disconnected.size(); }), 0u);
}

TEST(NetHostStream, LastMessageBeforeACloseIsRead)
{
    Node host(1);
    const u16 port = host.Listen();
    for (int round = 0; round < 20; ++round) {
        {
            RawPeer raw(*host.net, host.address, port);
            ASSERT_TRUE(raw.connected);
            ASSERT_TRUE(raw.Send(Join({Message(10004, 4, u8(round)), Message(10005, 4, u8(round))})));
        }   // closed at once: the last message and the close come together
        ASSERT_TRUE(host.rec.WaitDisconnects(size_t(round) + 1));
        ASSERT_EQ(host.rec.With([&] { return host.rec.messages.size(); }), 2 * size_t(round) + 2);
        EXPECT_EQ(host.rec.With([&] { return host.rec.messages.back().type; }), 10005);
        EXPECT_EQ(host.rec.With([&] { return host.rec.reasons.back(); }), "");
    }
}

TEST(NetHostStream, MessageCallbackZeroEndsTheConnection)
{
    Node host(1);
    const u16 port = host.Listen();
    host.rec.messageAnswer = 0;
    RawPeer raw(*host.net, host.address, port);
    ASSERT_TRUE(raw.Send(Join({Message(10004, 4), Message(10005, 4)})));
    ASSERT_TRUE(host.rec.WaitDisconnects(1));
    EXPECT_EQ(host.rec.With([&] { return host.rec.messages.size(); }), 1u);
    EXPECT_TRUE(raw.ReadToEnd(kWaitMs).empty());
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
