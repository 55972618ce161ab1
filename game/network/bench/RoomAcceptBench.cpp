// Connections per second a room host takes in and lets go, beside a
// yardstick in the same run. Each iteration is one connection from the same
// bare-socket client (RawPeer): connect, read what comes, end.
//
//   Room/Denied      the host's accept thread; the address is on the deny
//                    list: join reply 1025 "refused", then the host closes
//                    (no receive thread is made for it)
//   Room/AdmittedLeaves  admitted (1025 "accepted", an entry in the member
//                    table; a pooled receive thread), then the client
//                    leaves: the disconnect takes the entry out
//   Room/AdmittedLeavesOverlapped  the same, but the next connect does not
//                    wait for the last departure's bookkeeping (the plain
//                    loop's client does not wait for its server's either)
//   Plain/AcceptClose    a plain thread accepts and closes at once
//
// The room host is CNetHost with the room's admission (RoomMembers: the
// lists, the member limit, the reply) as the room screen runs it; its
// Update (the frame's) reaps the ended connections after each one.
#include "game/network/NetClient.h"
#include "game/network/NetHost.h"
#include "game/network/RoomMembers.h"
#include "game/network/tests/RawPeer.h"
#include "host/net/tests/Loopback.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

constexpr u8 kHost = 1;
// Connections leave from eight addresses in turn (the first admitted, the
// second on the deny list): one address's ports would run out among
// connections waiting out their close.
constexpr u8 kAdmitted = 2, kDenied = 10, kSources = 8;
constexpr u32 kWaitMs = 5000;

u32 Source(u8 first, u64 i) { return net_test::Loopback(u8(first + i % kSources)); }

IpAddressEntry EntryOf(u32 address)
{
    IpAddressEntry entry{};
    for (u32 i = 0; i < 4; ++i) std::snprintf(entry.octet[i], 4, "%u", unsigned(address >> (8 * i) & 0xFF));
    return entry;
}

// The room's side of a connection, as the room screen does it.
struct Room {
    std::mutex lock;
    RoomMemberTable table;
    std::vector<IpAddressEntry> allow, deny;
    CNetHost* host = nullptr;
    std::atomic<u64> left{0};

    static i32 Accept(void* context, CNetClient* peer)
    {
        Room& room = *static_cast<Room*>(context);
        std::lock_guard<std::mutex> hold(room.lock);
        const bool admitted = room::AddressAdmitted(room.allow, room.deny, peer->GetName()) &&
                              room::AddMember(room.table, room::MemberLimit(4), peer->GetPeerId());
        room::JoinReply reply;
        reply.mark = room::kJoinMark;
        reply.accepted = admitted ? 1 : 0;
        std::memcpy(reply.peerId, peer->GetPeerId(), sizeof reply.peerId);
        u8 bytes[room::kJoinReplyBytes];
        room::WriteJoinReply(reply, bytes);
        room.host->SendToPeer(peer->GetPeerId(), room::kJoinReplyMessage, peer::kSubType, bytes, sizeof bytes,
                              peer::kStreamChannel);
        return admitted ? 1 : 0;
    }
    static void Left(void* context, CNetClient* peer)
    {
        Room& room = *static_cast<Room*>(context);
        std::lock_guard<std::mutex> hold(room.lock);
        room::RemoveMember(room.table, peer->GetPeerId());
        ++room.left;
    }
};

// Until the room has seen n departures (bounded).
bool WaitLeft(const Room& room, u64 n)
{
    const raw_peer::Deadline deadline(kWaitMs);
    while (room.left.load() < n)
        if (deadline.Passed()) return false;
        else std::this_thread::yield();
    return true;
}

// waited: each departure is waited for before the next connect. Otherwise
// the one just closed may still be leaving while the next connects (at most
// two guests and the host in the table, within its limit), as the plain
// loop's client never waits for what its server does after its close.
void RoomHost(benchmark::State& state, bool denied, bool waited)
{
    const auto net = host::net::CreatePosixNet(net_test::Loopback(kHost));
    CNetHost host(net.get());
    Room room;
    room.host = &host;
    room.table.count = 1;   // the host's own entry
    for (u8 i = 0; i < kSources; ++i) room.deny.push_back(EntryOf(Source(kDenied, i)));
    host.Init("ORV", "ORV", "ORV");
    host.InitListener(0, &Room::Accept, &room, nullptr, nullptr, &Room::Left, &room);
    if (!host.StartListening()) {
        state.SkipWithError("no listener");
        return;
    }
    const u16 port = host.GetListenPort();
    u64 connections = 0;
    std::vector<u8> reply;
    for (auto _ : state) {
        // Every connection before the last one has left.
        if (!WaitLeft(room, connections == 0 ? 0 : connections - 1)) {
            state.SkipWithError("no departure");
            break;
        }
        raw_peer::RawPeer client;
        room::JoinReply join;
        if (!client.Connect(Source(denied ? kDenied : kAdmitted, connections), net_test::Loopback(kHost), port) ||
            !client.WaitFor(room::kJoinReplyMessage, &reply, kWaitMs) ||
            !room::ReadJoinReply(reply.data(), u32(reply.size()), &join) || join.accepted != (denied ? 0u : 1u)) {
            state.SkipWithError("no join reply");
            break;
        }
        if (denied) client.WaitClosed(kWaitMs);
        else client.Close();
        ++connections;
        if (waited && !WaitLeft(room, connections)) {
            state.SkipWithError("no departure");
            break;
        }
        host.Update(0);   // the frame's: ended connections joined and freed
    }
    // After the timed loop: the last one leaves too.
    if (!WaitLeft(room, connections)) state.SkipWithError("no departure");
    state.SetItemsProcessed(i64(connections));
    host.CloseAll();
}

void Denied(benchmark::State& state) { RoomHost(state, true, true); }
void AdmittedLeaves(benchmark::State& state) { RoomHost(state, false, true); }
void AdmittedLeavesOverlapped(benchmark::State& state) { RoomHost(state, false, false); }

void AcceptClose(benchmark::State& state)
{
    const auto net = host::net::CreatePosixNet(net_test::Loopback(kHost));
    const host::net::Socket listener = net->Open(host::net::Type::Stream);
    net->Bind(listener, {host::net::kAnyAddress, 0});
    net->Listen(listener, 0x7fffffff);
    const u16 port = net->LocalEndpoint(listener).port;
    std::thread acceptor([&] {
        for (;;) {
            const host::net::Socket s = net->Accept(listener, nullptr);
            if (s == host::net::kNoSocket) break;
            net->Close(s);
        }
    });
    u64 connections = 0;
    for (auto _ : state) {
        raw_peer::RawPeer client;
        if (!client.Connect(Source(kAdmitted, connections), net_test::Loopback(kHost), port) ||
            !client.WaitClosed(kWaitMs)) {
            state.SkipWithError("not closed");
            break;
        }
        ++connections;
    }
    state.SetItemsProcessed(i64(connections));
    net->Shutdown(listener);
    acceptor.join();
    net->Close(listener);
}

}  // namespace

BENCHMARK(Denied)->Name("Room/Denied")->UseRealTime();
BENCHMARK(AdmittedLeaves)->Name("Room/AdmittedLeaves")->UseRealTime();
BENCHMARK(AdmittedLeavesOverlapped)->Name("Room/AdmittedLeavesOverlapped")->UseRealTime();
BENCHMARK(AcceptClose)->Name("Plain/AcceptClose")->UseRealTime();
