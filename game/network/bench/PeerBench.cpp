// Peer connections' throughput on loopback, beside a yardstick in the same
// run: batches of 1,400- and 30-byte messages from a member's CNetHost to
// the room host's (every message whole through the receive thread and the
// message callback), against the same bytes written over a plain blocking
// socket pair and counted by a plain reading thread.
//
//   Peer/PeerHosts/<bytes>    two CNetHosts
//   Peer/PlainSockets/<bytes> the yardstick
#include "game/network/NetClient.h"
#include "game/network/NetHost.h"
#include "host/kernel/Kernel.h"
#include "host/net/tests/Loopback.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr u32 kBatch = 1000;
constexpr i16 kType = 10007;   // a member's input: up to 1,400 bytes

// Waits (bounded: 30 s) until counter reaches target.
bool WaitCount(const std::atomic<u64>& counter, u64 target)
{
    for (u32 spins = 0; counter.load() < target; ++spins) {
        if (spins > 3000000) return false;
        std::this_thread::yield();
        if (spins % 1000 == 999) host::kernel::Sleep(1);
    }
    return true;
}

void PeerHosts(benchmark::State& state)
{
    const u32 bytes = u32(state.range(0));
    const auto hostNet = host::net::CreatePosixNet(net_test::Loopback(1));
    const auto memberNet = host::net::CreatePosixNet(net_test::Loopback(2));
    CNetHost host(hostNet.get()), member(memberNet.get());
    std::atomic<u64> received{0};
    host.InitListener(
        0, nullptr, nullptr,
        [](void* context, CNetClient*, const u8*, i32, u32) {
            static_cast<std::atomic<u64>*>(context)->fetch_add(1);
            return i32(1);
        },
        &received, nullptr, nullptr);
    if (!host.StartListening() ||
        !member.Connect(host::net::FormatAddress(net_test::Loopback(1)).c_str(), host.GetListenPort(), 1, {})) {
        state.SkipWithError("no loopback connection");
        return;
    }
    const std::vector<u8> body(bytes, 0x3C);
    u64 sent = 0;
    for (auto _ : state) {
        for (u32 i = 0; i < kBatch; ++i) member.Broadcast(kType, 1, body.data(), bytes, 1);
        sent += kBatch;
        if (!WaitCount(received, sent)) {
            state.SkipWithError("messages lost");
            break;
        }
    }
    state.SetBytesProcessed(i64(sent) * (bytes + peer::kHeaderBytes));
    state.SetItemsProcessed(i64(sent));
    member.CloseAll();
    host.CloseAll();
}

void PlainSockets(benchmark::State& state)
{
    const u32 bytes = u32(state.range(0));
    const auto net = host::net::CreatePosixNet(net_test::Loopback(3));
    const host::net::Socket listener = net->Open(host::net::Type::Stream);
    net->Bind(listener, {host::net::kAnyAddress, 0});
    net->Listen(listener, 1);
    const host::net::Socket out = net->Open(host::net::Type::Stream);
    if (net->Connect(out, {net_test::Loopback(3), net->LocalEndpoint(listener).port}, 5000) != host::net::Error::None) {
        state.SkipWithError("no loopback connection");
        return;
    }
    const host::net::Socket in = net->Accept(listener, nullptr);
    std::atomic<u64> received{0};
    std::thread reader([&] {
        std::vector<u8> buffer(4096);
        for (;;) {
            const host::net::IoResult r = net->Receive(in, buffer.data(), buffer.size());
            if (r.bytes <= 0) break;
            received.fetch_add(u64(r.bytes));
        }
    });
    const std::vector<u8> message = peer::WriteMessage(kType, 1, std::vector<u8>(bytes, 0x3C).data(), bytes);
    u64 sent = 0;
    for (auto _ : state) {
        for (u32 i = 0; i < kBatch; ++i) {
            for (size_t at = 0; at < message.size();) {
                const host::net::IoResult r = net->Send(out, message.data() + at, message.size() - at);
                if (r.bytes <= 0) break;
                at += size_t(r.bytes);
            }
        }
        sent += u64(kBatch) * message.size();
        if (!WaitCount(received, sent)) {
            state.SkipWithError("bytes lost");
            break;
        }
    }
    state.SetBytesProcessed(i64(sent));
    state.SetItemsProcessed(i64(sent / message.size()));
    net->Shutdown(in);
    net->Shutdown(out);
    reader.join();
    net->Close(in);
    net->Close(out);
    net->Close(listener);
}

}  // namespace

BENCHMARK(PeerHosts)->Name("Peer/PeerHosts")->Arg(1400)->Arg(30)->UseRealTime();
BENCHMARK(PlainSockets)->Name("Peer/PlainSockets")->Arg(1400)->Arg(30)->UseRealTime();
