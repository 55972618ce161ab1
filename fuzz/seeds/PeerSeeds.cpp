// Seeds of the peer stream driver, recorded from real traffic: a room host
// (CNetHost listening on this process's loopback address) sends its side's
// messages and a ping to a plain socket, and a member (CNetHost connected
// to a plain listener) sends its side's; the plain sockets record what
// arrives, a pong included. Each side's stream becomes seeds whole, in
// one-byte receives and in mixed cuts, and each message stands alone.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/PeerStreamDriver.h"
#include "fuzz/seeds/Seeds.h"
#include "game/battle/scene/LockstepRecords.h"
#include "game/network/NetClient.h"
#include "game/network/NetHost.h"
#include "game/scenes/SelectMessages.h"
#include "host/net/tests/Loopback.h"
#include "host/net/tests/SendAll.h"

#include <utility>
#include <vector>

namespace seeds {

namespace {

using host::net::Net;
using host::net::Socket;
using Sent = std::vector<std::pair<i16, Bytes>>;   // type, body

Bytes Of(const std::vector<u8>& v) { return Bytes(v.begin(), v.end()); }
template <size_t N> Bytes Of(const std::array<u8, N>& a) { return Bytes(a.begin(), a.end()); }

// Player data of exactly 1,400 bytes: the longest message the seeds carry.
Bytes LongPlayerData()
{
    for (u32 name = 1; name <= select_net::kMaxNameBytes; ++name) {
        select_net::PlayerData data;
        data.entry = 1;
        data.name.assign(name, 'n');
        data.keys.assign(10, {1.5f, 0.5f, 2});
        const size_t fixed = select_net::WritePlayerData(data).size() - 10 * select_net::kTensionKeyBytes;
        if ((1400 - fixed) % select_net::kTensionKeyBytes) continue;
        data.keys.assign((1400 - fixed) / select_net::kTensionKeyBytes, {1.5f, 0.5f, 2});
        return Of(select_net::WritePlayerData(data));
    }
    FUZZ_CHECK(false);
    return {};
}

std::vector<StatePacket> Lines(u32 count)
{
    std::vector<StatePacket> lines;
    for (u32 i = 0; i < count; ++i) lines.push_back(MakeRadioChat("Cover me", i % 4, i % 2));
    return lines;
}

Sent HostSends()
{
    select_net::CardMessage card;
    card.slot = 1;
    card.ready = 1;
    const std::vector<StatePacket> full = Lines(kMaxTickMessages);
    FrameRecord record{3.25f, {{{1, 2}, 3, 4}, {}, {}, {}}, 18, u8(kMaxTickMessages)};
    return {{10001, Of(select_net::WriteCardMessage(card))},
            {10002, Of(select_net::WriteOptionMessage(CBattleOption{}, 0))},
            {10003, LongPlayerData()},
            {10004, Of(select_net::WriteWord(1))},
            {10005, Of(select_net::WriteWord(0))},
            {10006, WriteU32Body(0)},
            {10008, WriteFrameBundle(record, full.data())},
            {10009, WriteU32Body(2)}};
}

Sent MemberSends()
{
    select_net::CardMessage card;
    card.sender = 1;
    card.slot = 1;
    const std::vector<StatePacket> two = Lines(2);
    return {{10001, Of(select_net::WriteCardMessage(card))},
            {10004, Of(select_net::WriteWord(1))},
            {10005, Of(select_net::WriteWord(1))},
            {10006, WriteU32Body(1)},
            {10007, WriteNetInput(1, InputPacket{{0x81, 0x40}, -100, 37}, two.data(), 2)}};
}

// Reads from socket until `bytes` arrived or 5 s passed.
Bytes Record(Net& net, Socket socket, size_t bytes)
{
    Bytes got;
    char buffer[4096];
    for (u32 waited = 0; got.size() < bytes && waited < 5000; waited += 20) {
        if (net.Wait(socket, host::net::kEventRead, 20) <= 0) continue;
        const host::net::IoResult r = net.Receive(socket, buffer, sizeof buffer);
        if (r.bytes > 0) got.append(buffer, size_t(r.bytes));
        else if (r.error != host::net::Error::WouldBlock) break;
    }
    return got;
}

size_t Total(const Sent& sent)
{
    size_t total = 0;
    for (const auto& [type, body] : sent) total += peer::kHeaderBytes + body.size();
    return total;
}

void Send(CNetHost& host, const Sent& sent)
{
    for (const auto& [type, body] : sent) host.Broadcast(type, 1, body.data(), u32(body.size()), 1);
}

// A ping from the plain socket, for the host's pong.
void Ping(Net& net, Socket socket)
{
    const auto ping = peer::WriteMessage(peer::kPing, 1, nullptr, 0);
    FUZZ_CHECK(net_test::SendAll(net, socket, ping.data(), ping.size()));
}

// The room host's side: CNetHost listens, a plain socket connects.
Bytes RecordHost(const Sent& sent)
{
    const auto net = host::net::CreatePosixNet(net_test::Loopback(1));
    CNetHost host(net.get());
    host.Init("ORV", "ORV", "ORV");
    host.InitListener(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    FUZZ_CHECK(host.StartListening() == 1);
    const Socket socket = net->Open(host::net::Type::Stream);
    FUZZ_CHECK(net->Connect(socket, {net_test::Loopback(1), host.GetListenPort()}, 5000) == host::net::Error::None);
    for (u32 waited = 0; host.GetPeerCount() == 0 && waited < 5000; waited += 5) host::kernel::Sleep(5);
    Ping(*net, socket);
    Bytes got = Record(*net, socket, peer::kHeaderBytes);   // the pong
    host.Update(peer::kPingIntervalMs);                     // the ping
    Send(host, sent);
    got += Record(*net, socket, peer::kHeaderBytes + Total(sent));
    net->Close(socket);
    return got;
}

// A member's side: a plain listener, CNetHost connects to it.
Bytes RecordMember(const Sent& sent)
{
    const auto net = host::net::CreatePosixNet(net_test::Loopback(2));
    const Socket listener = net->Open(host::net::Type::Stream);
    FUZZ_CHECK(net->Bind(listener, {host::net::kAnyAddress, 0}) == host::net::Error::None);
    FUZZ_CHECK(net->Listen(listener, 4) == host::net::Error::None);
    CNetHost member(net.get());
    member.Init("ORV", "ORV", "ORV");
    FUZZ_CHECK(member.Connect(host::net::FormatAddress(net_test::Loopback(2)).c_str(), net->LocalEndpoint(listener).port,
                              1, {}) == 1);
    const Socket socket = net->Accept(listener, nullptr);
    FUZZ_CHECK(socket != host::net::kNoSocket);
    Send(member, sent);
    Bytes got = Record(*net, socket, Total(sent));
    Ping(*net, socket);
    got += Record(*net, socket, peer::kHeaderBytes);
    member.CloseAll();
    net->Close(socket);
    net->Close(listener);
    return got;
}

void Add(Sink& sink, const std::string& name, u8 side, const Sent& sent, const Bytes& stream)
{
    using fuzz::peer_stream::Input;
    sink.Add(name + "-whole", Input(side, {}, stream));
    sink.Add(name + "-bytes", Input(side, {0}, stream));
    sink.Add(name + "-cuts", Input(side, {2, 5, 0, 99, 255, 7}, stream));
    for (const auto& [type, body] : sent)
        sink.Add(name + "-" + std::to_string(type), Input(side, {}, Of(peer::WriteMessage(type, 1, body.data(), u32(body.size())))));
}

}  // namespace

void MakePeerSeeds(const std::string& root)
{
    Sink sink(root, "peer_stream");
    const Sent hostSent = HostSends(), memberSent = MemberSends();
    const Bytes fromHost = RecordHost(hostSent);
    const Bytes fromMember = RecordMember(memberSent);
    FUZZ_CHECK(fromHost.size() == 2 * peer::kHeaderBytes + Total(hostSent));
    FUZZ_CHECK(fromMember.size() == peer::kHeaderBytes + Total(memberSent));
    Add(sink, "host", 0, hostSent, fromHost);
    Add(sink, "member", 1, memberSent, fromMember);
    // Each side's stream heard as if the other had sent it: refused.
    sink.Add("host-stream-from-a-member", fuzz::peer_stream::Input(1, {3}, fromHost));
    sink.Add("member-stream-from-the-host", fuzz::peer_stream::Input(0, {3}, fromMember));
}

}  // namespace seeds
