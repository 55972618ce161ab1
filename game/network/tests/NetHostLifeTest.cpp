// A peer's life: the ping, refusal by the accept callback, reconnecting,
// concurrent senders, relays from a disconnect, and closing everything
// while callbacks are busy.
#include "game/network/tests/NetHostHarness.h"
#include "game/network/tests/RawPeer.h"

#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <cstring>
#include <set>

namespace ORV_TEST_FILE_ID {

using namespace peer_test;

namespace {

TEST(NetHostPing, AnsweringPeersStayAndASilentOneGoesAtTheSecondPing)
{
    Room room;
    RawPeer silent(*room.host.net, room.host.address, room.port);
    ASSERT_TRUE(silent.connected);
    ASSERT_TRUE(room.host.rec.WaitFor([&] { return room.host.rec.accepted.size() == 2; }));

    room.host.host.Update(4999);   // not yet
    room.host.host.Update(1);      // the first ping
    // The silent peer got the ping's 8 bytes and answers nothing.
    const std::vector<u8> ping = silent.ReadToEnd(300);
    EXPECT_EQ(ping, Message(32766, 0));
    // Both sides answer pings on their own; the member's pong arrives.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    room.host.host.Update(5000);   // the second: the silent peer goes
    ASSERT_TRUE(room.host.rec.WaitDisconnects(1));
    EXPECT_TRUE(UpdateUntilPeers(room.host.host, 1));
    room.host.rec.With([&] {
        EXPECT_EQ(room.host.rec.disconnected.size(), 1u);   // once
        EXPECT_NE(room.host.rec.reasons[0].find("ping"), std::string::npos);
        EXPECT_TRUE(room.host.rec.messages.empty());   // pings and pongs are no messages
        return 0;
    });
    // The member stays through more pings, and its own pings are answered.
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));   // the pong's way back
        room.host.host.Update(5000);
        room.member.host.Update(5000);
    }
    EXPECT_EQ(room.host.host.GetPeerCount(), 1u);
    EXPECT_EQ(room.member.host.GetPeerCount(), 1u);
    EXPECT_EQ(room.member.rec.With([&] { return room.member.rec.disconnected.size(); }), 0u);
}

TEST(NetHostAccept, RefusedPeerIsClosedAndReportedBeforeAnyMessage)
{
    Node host(1), member(2);
    const u16 port = host.Listen();
    host.rec.acceptAnswer = 0;
    ASSERT_EQ(member.ConnectTo(host, port), 1);
    const u32 word = 1;
    member.host.Broadcast(10004, 1, &word, 4, 1);   // may reach the socket before the refusal
    ASSERT_TRUE(host.rec.WaitDisconnects(1));
    ASSERT_TRUE(member.rec.WaitDisconnects(1));   // the member sees the close
    host.rec.With([&] {
        EXPECT_EQ(host.rec.accepted.size(), 1u);
        EXPECT_TRUE(host.rec.messages.empty());
        EXPECT_NE(host.rec.reasons[0].find("refused"), std::string::npos);
        return 0;
    });
    EXPECT_TRUE(UpdateUntilPeers(host.host, 0));
    EXPECT_TRUE(UpdateUntilPeers(member.host, 0));
}

// A peer let in that leaves before it says anything (a stranger knocking)
// is seen out by the accept thread: its departure is reported from there,
// and no receive thread is started for it. One that stays is read by a
// thread of its own.
TEST(NetHostAccept, AMemberThatLeavesAtOnceIsSeenOutByTheAcceptThread)
{
    const auto threadName = [] {
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        return std::string(name);
    };
    for (const bool leaves : {true, false}) {
        SCOPED_TRACE(leaves);
        Node host(1);
        std::atomic<bool> closed{false};
        std::string reportedOn, readOn;
        // The peer's end is there before the accept thread looks.
        host.rec.onAccept = [&](CNetClient*) {
            for (int waited = 0; leaves && !closed && waited < kWaitMs; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        host.rec.onDisconnect = [&](CNetClient*) { reportedOn = threadName(); };
        host.rec.onMessage = [&](CNetClient*, const Received&) { readOn = threadName(); };
        const u16 port = host.Listen();
        RawPeer raw(*host.net, host.address, port);
        ASSERT_TRUE(raw.connected);
        if (leaves) {
            raw.net.Shutdown(raw.socket);
            closed = true;
        } else {
            ASSERT_TRUE(host.rec.WaitFor([&] { return host.rec.accepted.size() == 1; }));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ASSERT_TRUE(raw.Send(Message(10004, 4, 7)));
            ASSERT_TRUE(host.rec.WaitMessages(1));
            raw.net.Shutdown(raw.socket);
        }
        ASSERT_TRUE(host.rec.WaitDisconnects(1));
        host.rec.With([&] {
            EXPECT_EQ(host.rec.accepted.size(), 1u);
            EXPECT_EQ(host.rec.disconnected.size(), 1u);
            EXPECT_EQ(host.rec.reasons[0], "");   // an ordinary departure, no refusal
            EXPECT_EQ(host.rec.messages.size(), leaves ? 0u : 1u);
            EXPECT_EQ(reportedOn, leaves ? "net-accept" : "net-recv");
            EXPECT_EQ(readOn, leaves ? "" : "net-recv");
            return 0;
        });
        EXPECT_TRUE(UpdateUntilPeers(host.host, 0));
    }
}

TEST(NetHostConnect, ConnectingAgainReusesThePeer)
{
    Room room;
    // The peer ID the member's host holds for the room's host stays.
    std::atomic<CNetClient*> first{nullptr};
    room.member.rec.onMessage = [&](CNetClient* sender, const Received&) { first = sender; };
    const u32 word = 3;
    room.host.host.Broadcast(10004, 1, &word, 4, 1);
    ASSERT_TRUE(room.member.rec.WaitMessages(1));
    const std::string id = first.load()->GetPeerId();

    ASSERT_EQ(room.member.ConnectTo(room.host, room.port), 1);
    EXPECT_EQ(room.member.host.GetPeerCount(), 1u);
    ASSERT_TRUE(room.member.rec.WaitDisconnects(1));   // the replaced connection
    ASSERT_TRUE(room.host.rec.WaitFor([&] { return room.host.rec.accepted.size() == 2; }));
    ASSERT_TRUE(room.host.rec.WaitDisconnects(1));
    EXPECT_TRUE(UpdateUntilPeers(room.host.host, 1));

    CNetClient* second = nullptr;
    room.member.rec.onMessage = [&](CNetClient* sender, const Received&) { second = sender; };
    room.host.host.Broadcast(10005, 1, &word, 4, 1);
    ASSERT_TRUE(room.member.rec.WaitMessages(2));
    room.member.host.Update(0);
    EXPECT_EQ(room.member.host.GetPeerCount(), 1u);
    EXPECT_EQ(second, first.load());
    EXPECT_EQ(std::string(second->GetPeerId()), id);
}

// Connecting again while the old connection's thread sits in a callback
// that takes the host lock (an echo through Broadcast): the old thread is
// joined after the host lock is released.
TEST(NetHostConnect, ConnectingAgainWhileTheOldThreadWantsTheHostLock)
{
    Room room;
    room.member.rec.onMessage = [&](CNetClient*, const Received& r) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        room.member.host.Broadcast(10004, 1, r.payload.data(), u32(r.payload.size()), 1);
    };
    const u32 word = 5;
    for (int i = 0; i < 300; ++i) room.host.host.Broadcast(10004, 1, &word, 4, 1);
    ASSERT_TRUE(room.member.rec.WaitMessages(5));
    auto again = host::kernel::StartThread([&] { return u32(room.member.ConnectTo(room.host, room.port)); });
    ASSERT_TRUE(again);
    if (!again->Wait(20000)) {
        ADD_FAILURE() << "Connect deadlocked";
        std::abort();
    }
    EXPECT_EQ(again->ExitCode(), 1u);
    EXPECT_EQ(room.member.host.GetPeerCount(), 1u);
}

// A peer that reads nothing: sends to it never wait (the rest is queued, to
// a limit), also from the accept callback before its receive thread reads;
// past the limit it is closed.
TEST(NetHostSend, PeerThatNeverReadsIsClosedAfterALimit)
{
    Node host(1);
    struct Context {
        i32 sent = 0;
        i32 lastResult = 1;
    } context;
    host.host.InitListener(
        0,
        [](void* c, CNetClient* peer) {
            auto* ctx = static_cast<Context*>(c);
            const std::vector<u8> message = Message(10003, 1404);
            for (; ctx->sent < 100000 && ctx->lastResult; ++ctx->sent)
                ctx->lastResult = peer->SendPacket(message.data(), u32(message.size()), 1);
            return i32(1);
        },
        &context, &Recorder::Message, &host.rec, &Recorder::Disconnect, &host.rec);
    ASSERT_EQ(host.host.StartListening(), 1);
    RawPeer raw(*host.net, host.address, host.host.GetListenPort());
    ASSERT_TRUE(raw.connected);
    ASSERT_TRUE(host.rec.WaitDisconnects(1, 30000));
    EXPECT_EQ(context.lastResult, 0);
    EXPECT_LT(context.sent, 100000);
    EXPECT_EQ(host.rec.With([&] { return host.rec.reasons[0]; }), "the peer does not read");
}

// A member that stops reading for a while: the host's sends do not wait for
// it (the rest is queued), and once it reads again every message comes
// whole and in order.
TEST(NetHostSend, StalledReaderGetsEverythingInOrderWithoutTheSenderWaiting)
{
    Node host(1);
    const u16 port = host.Listen();
    raw_peer::RawPeer member;
    ASSERT_TRUE(member.Connect(net_test::Loopback(2), host.address, port, 4096));
    ASSERT_TRUE(host.rec.WaitFor([&] { return host.rec.accepted.size() == 1; }));
    constexpr u32 kMessages = 600, kLength = 1404;   // 840 KB: past the sockets, below the queue's limit
    std::vector<u8> body(kLength);
    const auto start = std::chrono::steady_clock::now();
    for (u32 i = 0; i < kMessages; ++i) {
        std::memcpy(body.data(), &i, 4);
        ASSERT_EQ(host.host.Broadcast(10003, 1, body.data(), kLength, 1), 1);
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 1000);
    host::kernel::Sleep(300);   // still not reading
    std::vector<u8> payload;
    for (u32 i = 0; i < kMessages; ++i) {
        i16 type = 0;
        ASSERT_EQ(member.ReadMessage(&type, &payload, 10000), raw_peer::Read::kMessage) << "message " << i;
        if (type == peer::kPing) continue;
        u32 sequence;
        ASSERT_EQ(payload.size(), kLength);
        std::memcpy(&sequence, payload.data(), 4);
        ASSERT_EQ(sequence, i);
    }
    EXPECT_TRUE(host.rec.With([&] { return host.rec.disconnected.empty(); }));
}

// Several threads each send many messages longer than one 1,400-byte piece:
// the receiver must see every message whole, each thread's in order.
TEST(NetHostSend, ConcurrentBroadcastsNeverInterleave)
{
    Room room;
    constexpr u32 kThreads = 6, kEach = 150, kLength = 1404;
    std::vector<u32> next(kThreads, 0);
    std::atomic<u32> bad{0};
    room.member.rec.onMessage = [&](CNetClient*, const Received& r) {
        // Bytes: thread, sequence (u32), then the same byte all along.
        const u8 thread = r.payload[0];
        u32 seq;
        std::memcpy(&seq, &r.payload[1], 4);
        bool whole = r.payload.size() == kLength && thread < kThreads && seq == next[thread];
        for (size_t i = 5; whole && i < r.payload.size(); ++i) whole = r.payload[i] == u8(thread * 31 + seq);
        if (!whole) ++bad;
        if (thread < kThreads) next[thread] = seq + 1;
    };
    std::vector<std::thread> senders;
    for (u32 t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            std::vector<u8> body(kLength);
            for (u32 seq = 0; seq < kEach; ++seq) {
                body[0] = u8(t);
                std::memcpy(&body[1], &seq, 4);
                std::memset(&body[5], u8(t * 31 + seq), kLength - 5);
                room.host.host.Broadcast(10003, 1, body.data(), kLength, 1);
            }
        });
    }
    for (auto& s : senders) s.join();
    ASSERT_TRUE(room.member.rec.WaitMessages(kThreads * kEach, 30000));
    EXPECT_EQ(bad.load(), 0u);
    EXPECT_EQ(room.member.rec.With([&] { return room.member.rec.disconnected.size(); }), 0u);
}

// The room host's disconnect callback queues 10009 for the others; Update
// sends it after it has removed the peer that left.
TEST(NetHostRelay, DisconnectRelaysGoOutFromUpdate)
{
    Node host(1), a(2), b(3);
    const u16 port = host.Listen();
    host.rec.onDisconnect = [&](CNetClient*) {
        const u32 entry = 2;
        host.host.QueueRelay(10009, &entry, 4);
    };
    ASSERT_EQ(a.ConnectTo(host, port), 1);
    ASSERT_EQ(b.ConnectTo(host, port), 1);
    ASSERT_TRUE(host.rec.WaitFor([&] { return host.rec.accepted.size() == 2; }));
    b.host.CloseAll();
    ASSERT_TRUE(host.rec.WaitDisconnects(1));
    EXPECT_EQ(a.rec.With([&] { return a.rec.messages.size(); }), 0u);   // not before Update
    EXPECT_TRUE(UpdateUntilPeers(host.host, 1));
    ASSERT_TRUE(a.rec.WaitMessages(1));
    a.rec.With([&] {
        EXPECT_EQ(a.rec.messages[0].type, 10009);
        EXPECT_EQ(a.rec.messages[0].payload, (std::vector<u8>{2, 0, 0, 0}));
        return 0;
    });
}

// Members echo every message three times through Broadcast (the host
// lock) from their receive threads, under a lock of their own that their
// disconnect callbacks take too, while the host floods them: CloseAll on
// every side comes back (it joins no thread under the host lock).
TEST(NetHostClose, CloseAllWhileCallbacksAreBusy)
{
    Node host(1), a(2), b(3);
    const u16 port = host.Listen();
    host::kernel::CriticalSection sceneLock;   // a network scene's lock
    for (Node* m : {&a, &b}) {
        m->rec.onMessage = [m, &sceneLock](CNetClient*, const Received& r) {
            host::kernel::Lock lock(sceneLock);
            for (int i = 0; i < 3; ++i) m->host.Broadcast(i16(r.type), 1, r.payload.data(), u32(r.payload.size()), 1);
        };
        m->rec.onDisconnect = [&sceneLock](CNetClient*) { host::kernel::Lock lock(sceneLock); };
        ASSERT_EQ(m->ConnectTo(host, port), 1);
    }
    ASSERT_TRUE(host.rec.WaitFor([&] { return host.rec.accepted.size() == 2; }));
    const std::vector<u8> body(1404, 7);
    for (int i = 0; i < 200; ++i) host.host.Broadcast(10003, 1, body.data(), u32(body.size()), 1);
    ASSERT_TRUE(host.rec.WaitMessages(30));

    auto closer = host::kernel::StartThread([&] {
        a.host.CloseAll();
        host.host.CloseAll();
        b.host.CloseAll();
        return 0u;
    });
    ASSERT_TRUE(closer);
    if (!closer->Wait(20000)) {
        ADD_FAILURE() << "CloseAll deadlocked";
        std::abort();
    }
    EXPECT_EQ(host.host.GetPeerCount(), 0u);
    EXPECT_EQ(a.host.GetPeerCount(), 0u);
    EXPECT_EQ(b.host.GetPeerCount(), 0u);
    EXPECT_EQ(host.host.GetListenPort(), 0);
}

// From a network thread CloseAll cannot join: it becomes a request that the
// next Update carries out.
TEST(NetHostClose, CloseAllFromACallbackWaitsForUpdate)
{
    Room room;
    room.host.rec.onMessage = [&](CNetClient*, const Received&) { room.host.host.CloseAll(); };
    const u32 word = 0;
    room.member.host.Broadcast(10004, 1, &word, 4, 1);
    ASSERT_TRUE(room.host.rec.WaitMessages(1));
    EXPECT_EQ(room.host.host.GetPeerCount(), 1u);
    room.host.host.Update(0);   // carries out the request: joins
    EXPECT_EQ(room.host.host.GetPeerCount(), 0u);
    EXPECT_EQ(room.host.host.GetListenPort(), 0);
    ASSERT_TRUE(room.member.rec.WaitDisconnects(1));
}

// A host that closed all its peers is used again: it listens anew, takes
// the member back and messages go both ways as before.
TEST(NetHostClose, AHostThatClosedAllListensAndTakesAMemberAgain)
{
    Room room;
    room.host.host.CloseAll();
    ASSERT_TRUE(room.member.rec.WaitDisconnects(1));
    ASSERT_TRUE(UpdateUntilPeers(room.member.host, 0));
    EXPECT_EQ(room.host.host.GetListenPort(), 0);

    const u16 port = room.host.Listen();
    ASSERT_NE(port, 0);
    ASSERT_EQ(room.member.ConnectTo(room.host, port), 1);
    ASSERT_TRUE(room.host.rec.WaitFor([&] { return room.host.rec.accepted.size() == 2; }));
    EXPECT_EQ(room.host.host.GetPeerCount(), 1u);
    const u32 up = 0x01020304, down = 0x0A0B0C0D;
    room.member.host.Broadcast(10005, 1, &up, 4, 1);
    room.host.host.Broadcast(10006, 1, &down, 4, 1);
    ASSERT_TRUE(room.host.rec.WaitMessages(1));
    ASSERT_TRUE(room.member.rec.WaitMessages(1));
    room.host.rec.With([&] {
        EXPECT_EQ(room.host.rec.messages.back().type, 10005);
        EXPECT_EQ(room.host.rec.messages.back().from, room.member.Name());
        EXPECT_EQ(room.host.rec.messages.back().payload, std::vector<u8>({4, 3, 2, 1}));
        return 0;
    });
    room.member.rec.With([&] {
        EXPECT_EQ(room.member.rec.messages.back().type, 10006);
        EXPECT_EQ(room.member.rec.messages.back().payload, std::vector<u8>({0x0D, 0x0C, 0x0B, 0x0A}));
        return 0;
    });
}

// The accept callback may stop the listener (a full room) from the accept
// thread itself.
TEST(NetHostAccept, StopListeningFromTheAcceptCallback)
{
    Node host(1), member(2);
    host.rec.onDisconnect = nullptr;
    struct Context {
        CNetHost* host;
        i32 calls = 0;
    } context{&host.host};
    host.host.InitListener(
        0,
        [](void* c, CNetClient*) {
            auto* ctx = static_cast<Context*>(c);
            ++ctx->calls;
            ctx->host->StopListening();
            return i32(1);
        },
        &context, &Recorder::Message, &host.rec, &Recorder::Disconnect, &host.rec);
    ASSERT_EQ(host.host.StartListening(), 1);
    const u16 port = host.host.GetListenPort();
    ASSERT_EQ(member.ConnectTo(host, port), 1);
    const u32 word = 0;
    member.host.Broadcast(10004, 1, &word, 4, 1);
    ASSERT_TRUE(host.rec.WaitMessages(1));
    EXPECT_EQ(context.calls, 1);
    EXPECT_EQ(host.host.GetListenPort(), 0);
    ASSERT_EQ(host.host.StartListening(), 1);   // joins the stopped thread
    EXPECT_NE(host.host.GetListenPort(), 0);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
