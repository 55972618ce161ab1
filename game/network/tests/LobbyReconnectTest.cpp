// Connecting to the lobby server again after the last connection ended, on
// the fake network: whichever way the receive thread ended (or the old
// connection still stands), the new connect greets and reaches the login.
#include "game/network/LobbyClient.h"
#include "game/network/LobbyWire.h"
#include "game/network/tests/LobbyDoubles.h"
#include "host/net/FakeNet.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace lobby_test;

enum class FirstEnds { kRefusedStatus, kNoTilde, kClosedUngreeted, kRefusedMessage, kGreetedThenLost, kStillOpen };

// A handshake in the initial payload key: bytes '~' (or not) and the session key.
void SendHandshake(host::net::FakeMachine& server, host::net::Socket s, u16 status, std::vector<u8> payload)
{
    const std::vector<u8> bytes = lobby::WriteServerMessage(lobby::kHandshake, status, payload.data(),
                                                            u32(payload.size()), lobby::kInitialPayloadKey);
    ASSERT_EQ(server.Send(s, bytes.data(), bytes.size()).bytes, i32(bytes.size()));
}

// The player answers the first connection's notice and picks the lobby
// server again without leaving the entrance: no Disconnect between.
TEST(LobbyReconnect, EachEndedConnectionGivesWayToTheNextConnect)
{
    constexpr u8 kSessionKey = 0x5A;   // not the initial key: a second handshake must not be read in it
    const std::string where = "10.0.0.3 port 15500";
    const struct {
        const char* name;
        FirstEnds first;
        std::vector<u32> events;   // the first connection's, its waiting message first
        std::string detail;        // the last one's words
    } rows[] = {
        {"handshake refused", FirstEnds::kRefusedStatus, {0, kEventServerLost}, ""},
        {"handshake without '~'", FirstEnds::kNoTilde, {0, kEventBadHandshake}, ""},
        {"closed before a greeting", FirstEnds::kClosedUngreeted, {0, kEventServerLost},
         "Lobby server closed without a greeting:\n" + where},
        {"a message refused", FirstEnds::kRefusedMessage, {0, kEventServerLost}, ""},
        {"greeted, then lost", FirstEnds::kGreetedThenLost, {0, kEventDone, kEventServerLost},
         "Lobby server connection lost:\n" + where},
        {"greeted and still open", FirstEnds::kStillOpen, {0, kEventDone}, ""},
    };
    u64 seed = 31;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        HandServedClient rig(seed++);
        ASSERT_NO_FATAL_FAILURE(rig.Start());
        const auto eventCount = [&] {
            std::lock_guard lock(rig.screens.mutex);
            return rig.screens.events.size();
        };

        rig.client.StartConnect();
        host::net::Socket first = rig.other.Accept(rig.listener, nullptr);
        ASSERT_NE(first, host::net::kNoSocket);
        switch (r.first) {
        case FirstEnds::kRefusedStatus: SendHandshake(rig.other, first, lobby::kStatusFailure, {}); break;
        case FirstEnds::kNoTilde: SendHandshake(rig.other, first, lobby::kStatusSuccess, {'x', kSessionKey}); break;
        case FirstEnds::kClosedUngreeted:
            rig.other.Close(first);
            first = host::net::kNoSocket;
            break;
        case FirstEnds::kRefusedMessage:   // a handshake one byte short
            SendHandshake(rig.other, first, lobby::kStatusSuccess, {'~'});
            break;
        case FirstEnds::kGreetedThenLost:
        case FirstEnds::kStillOpen:
            SendHandshake(rig.other, first, lobby::kStatusSuccess, {'~', kSessionKey});
            ASSERT_TRUE(WaitFor([&] { return rig.client.GetScreen() == u32(LobbyLayer::kLogin); }));
            ASSERT_EQ(rig.client.GetPayloadKey(), kSessionKey);
            if (r.first == FirstEnds::kGreetedThenLost) {
                rig.other.Close(first);
                first = host::net::kNoSocket;
            }
            break;
        }
        ASSERT_TRUE(WaitFor([&] { return eventCount() == r.events.size(); }));
        {
            std::lock_guard lock(rig.screens.mutex);
            EXPECT_EQ(rig.screens.events, r.events);
            EXPECT_EQ(rig.screens.details.back(), r.detail);
        }
        rig.client.SetScreen(u32(LobbyLayer::kEntrance));   // the player back at the entrance

        rig.client.StartConnect();
        const host::net::Socket second = rig.other.Accept(rig.listener, nullptr);
        ASSERT_NE(second, host::net::kNoSocket);
        SendHandshake(rig.other, second, lobby::kStatusSuccess, {'~', kSessionKey});
        EXPECT_TRUE(WaitFor([&] { return eventCount() == r.events.size() + 2; }));
        EXPECT_TRUE(WaitFor([&] { return rig.client.GetScreen() == u32(LobbyLayer::kLogin); }));
        EXPECT_TRUE(rig.client.IsConnected());
        EXPECT_EQ(rig.client.GetPayloadKey(), kSessionKey);
        // The first connection, still open on the server's side, was closed
        // by the client.
        if (first != host::net::kNoSocket) {
            u8 byte = 0;
            EXPECT_TRUE(WaitFor([&] {
                const host::net::IoResult io = rig.other.Receive(first, &byte, 1);
                return io.bytes == 0 || io.error == host::net::Error::Closed || io.error == host::net::Error::Reset;
            }));
        }
        rig.client.Destroy();
        // Nothing more from the first connection's thread, before or at its end.
        {
            std::lock_guard lock(rig.screens.mutex);
            std::vector<u32> expected = r.events;
            expected.insert(expected.end(), {u32(kEventConnecting), u32(kEventDone)});
            EXPECT_EQ(rig.screens.events, expected);
        }
        if (first != host::net::kNoSocket) rig.other.Close(first);
        rig.other.Close(second);
        rig.other.Close(rig.listener);
    }
}

}  // namespace ORV_TEST_FILE_ID
