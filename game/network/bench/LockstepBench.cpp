// The lockstep's latency per tick on loopback: a member's input (10007) out
// to the room host and the tick's bundle (10008) back, at the sizes the
// battle makes them with no side message (6 and 22 bytes behind the 8-byte
// header), as the median and the 99th percentile of the round trips.
//
//   PlainTcpPingPong   the yardstick: the same bytes over a plain blocking
//                      TCP socket pair, answered at once
//   PeerHostEcho       two CNetHosts; the host's receive thread answers
//                      each input with a bundle (the transport alone)
//   Lockstep           two CNetHosts and a CBattleLockstep on each; the
//                      host's lockstep thread gathers the tick and sends it
//                      (it looks every millisecond, so about 1 ms more)
//
// Aims: the median within 2 ms of the yardstick, the 99th percentile under
// a 60-per-second frame (16.7 ms).
#include "game/battle/scene/BattleLockstep.h"
#include "game/network/NetHost.h"
#include "host/net/Net.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>   // the steady clock (not <chrono>: see cmake/Orv.cmake)
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr u32 kHeaderBytes = 8;
constexpr u32 kInputBytes = u32(kInputHeaderBytes);    // 10007 with no side message
constexpr u32 kBundleBytes = u32(kFrameRecordBytes);   // 10008 with no side message
constexpr auto kReplyDeadline = 5s;

// Round trips in microseconds: the median and the 99th percentile as
// counters.
class Samples {
public:
    void Add(Clock::duration d) { m_us.push_back(std::chrono::duration<double, std::micro>(d).count()); }
    void Report(benchmark::State& state)
    {
        if (m_us.empty()) return;
        std::sort(m_us.begin(), m_us.end());
        state.counters["median_us"] = m_us[m_us.size() / 2];
        state.counters["p99_us"] = m_us[std::min(m_us.size() - 1, m_us.size() * 99 / 100)];
        state.counters["max_us"] = m_us.back();
    }

private:
    std::vector<double> m_us;
};

// -- The yardstick. --

bool SendAll(int fd, const u8* data, size_t bytes)
{
    while (bytes > 0) {
        const ssize_t n = send(fd, data, bytes, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n, bytes -= size_t(n);
    }
    return true;
}

bool ReceiveAll(int fd, u8* data, size_t bytes)
{
    while (bytes > 0) {
        const ssize_t n = recv(fd, data, bytes, 0);
        if (n <= 0) return false;
        data += n, bytes -= size_t(n);
    }
    return true;
}

// Every receive gives up after the reply deadline.
void BoundReceives(int fd)
{
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

void PlainTcpPingPong(benchmark::State& state)
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        state.SkipWithError("no loopback listener");
        if (listener >= 0) close(listener);
        return;
    }
    std::thread host([listener] {
        const int fd = accept(listener, nullptr, nullptr);
        if (fd < 0) return;
        BoundReceives(fd);
        u8 input[kHeaderBytes + kInputBytes];
        const u8 bundle[kHeaderBytes + kBundleBytes] = {};
        while (ReceiveAll(fd, input, sizeof input) && SendAll(fd, bundle, sizeof bundle)) {
        }
        close(fd);
    });
    const int member = socket(AF_INET, SOCK_STREAM, 0);
    bool ok = member >= 0 && connect(member, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (member >= 0) BoundReceives(member);
    Samples samples;
    const u8 input[kHeaderBytes + kInputBytes] = {};
    u8 bundle[kHeaderBytes + kBundleBytes];
    for (auto _ : state) {
        if (!ok) break;
        const auto start = Clock::now();
        ok = SendAll(member, input, sizeof input) && ReceiveAll(member, bundle, sizeof bundle);
        samples.Add(Clock::now() - start);
    }
    if (!ok) state.SkipWithError("the ping-pong broke off");
    if (member >= 0) close(member);
    shutdown(listener, SHUT_RDWR);
    host.join();
    close(listener);
    samples.Report(state);
}
BENCHMARK(PlainTcpPingPong)->Iterations(3000)->Unit(benchmark::kMicrosecond);

// -- Two peer hosts. --

// A room host listening on a free loopback port and one member connected to
// it; each connection's messages go to the callbacks given.
struct Room {
    std::unique_ptr<host::net::Net> net = host::net::CreatePosixNet(host::net::kLoopback);
    CNetHost host{net.get()};
    CNetHost member{net.get()};

    bool Open(peer::MessageCallback onHost, peer::MessageCallback onMember, void* context)
    {
        host.Init("ORV", "ORV", "ORV");
        member.Init("ORV", "ORV", "ORV");
        host.InitListener(0, nullptr, nullptr, onHost, context, nullptr, nullptr);
        if (host.StartListening() != 1) return false;
        const u32 address = host::net::kLoopback;
        const peer::Callbacks callbacks{onMember, context, nullptr, nullptr};
        if (member.ConnectByAddress(&address, host.GetListenPort(), peer::kStreamChannel, callbacks) != 1) return false;
        // The host has the member once its receive thread runs.
        const auto deadline = Clock::now() + kReplyDeadline;
        while (host.GetPeerCount() == 0 && Clock::now() < deadline) std::this_thread::sleep_for(100us);
        return host.GetPeerCount() == 1;
    }
    // Outside every lock the callbacks take.
    void Close()
    {
        member.CloseAll();
        host.CloseAll();
    }
};

// Bundles that reached the member, and a wait for the next.
class Arrivals {
public:
    void Add()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_count;
        }
        m_arrived.notify_one();
    }
    bool WaitFor(u64 count)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_arrived.wait_for(lock, kReplyDeadline, [&] { return m_count >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    u64 m_count = 0;
};

struct Echo {
    Room room;
    Arrivals arrivals;

    static i32 OnHost(void* context, CNetClient*, const u8*, i32 type, u32)
    {
        if (type != i32(kMsgNetInput)) return 1;
        const u8 bundle[kBundleBytes] = {};
        static_cast<Echo*>(context)->room.host.Broadcast(i16(kMsgFrameBundle), peer::kSubType, bundle, kBundleBytes,
                                                         peer::kStreamChannel);
        return 1;
    }
    static i32 OnMember(void* context, CNetClient*, const u8*, i32 type, u32)
    {
        if (type == i32(kMsgFrameBundle)) static_cast<Echo*>(context)->arrivals.Add();
        return 1;
    }
};

void PeerHostEcho(benchmark::State& state)
{
    Echo echo;
    bool ok = echo.room.Open(&Echo::OnHost, &Echo::OnMember, &echo);
    Samples samples;
    const u8 input[kInputBytes] = {};
    u64 sent = 0;
    for (auto _ : state) {
        if (!ok) break;
        const auto start = Clock::now();
        echo.room.member.Broadcast(i16(kMsgNetInput), peer::kSubType, input, kInputBytes, peer::kStreamChannel);
        ok = echo.arrivals.WaitFor(++sent);
        samples.Add(Clock::now() - start);
    }
    if (!ok) state.SkipWithError("no bundle came back");
    echo.room.Close();
    samples.Report(state);
}
BENCHMARK(PeerHostEcho)->Iterations(3000)->Unit(benchmark::kMicrosecond);

// -- The lockstep itself. --

class SceneLock : public INetworkSceneLock {
public:
    void Enter() override { m_mutex.lock(); }
    void Leave() override { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

class StillBattle : public ILockstepBattle {
public:
    f32 GetMusicPosition() override { return 0.0f; }
    void AddPausedTime(u32) override {}
    bool IsEndFadeStarted() override { return false; }
};

// The member plays entry 1; computers the rest, so the member's input
// completes each tick.
LockstepConfig Config(u32 localEntry)
{
    LockstepConfig config;
    config.localEntry = localEntry;
    config.kinds[0] = CBattleEntry::kKindComputer;
    config.kinds[1] = 1;
    return config;
}

struct Lockstep {
    Room room;
    Arrivals arrivals;
    StillBattle battle;
    SceneLock hostLock, memberLock;
    CBattleLockstep host{Config(0), &room.host, &hostLock, &battle};
    CBattleLockstep member{Config(1), &room.member, &memberLock, &battle};

    // Under the machine's scene lock, as the network scene delivers.
    static i32 OnHost(void* context, CNetClient*, const u8* payload, i32 type, u32 length)
    {
        auto& self = *static_cast<Lockstep*>(context);
        self.hostLock.Enter();
        const LockstepRecordError error = self.host.OnMessage(u32(type), payload, length);
        self.hostLock.Leave();
        return error == LockstepRecordError::kNone ? 1 : 0;
    }
    static i32 OnMember(void* context, CNetClient*, const u8* payload, i32 type, u32 length)
    {
        auto& self = *static_cast<Lockstep*>(context);
        self.memberLock.Enter();
        const LockstepRecordError error = self.member.OnMessage(u32(type), payload, length);
        self.memberLock.Leave();
        if (type == i32(kMsgFrameBundle)) self.arrivals.Add();
        return error == LockstepRecordError::kNone ? 1 : 0;
    }

    // One tick's frames taken from a queue, so it never fills.
    static void PlayTick(CBattleLockstep& lockstep)
    {
        LockstepFrame frame;
        for (u32 f = 0; f < lockstep.GetInputDelay(); ++f) lockstep.TakeFrame(&frame);
    }
};

void LockstepTick(benchmark::State& state)
{
    auto lockstep = std::make_unique<Lockstep>();
    bool ok = lockstep->room.Open(&Lockstep::OnHost, &Lockstep::OnMember, lockstep.get()) &&
              lockstep->host.StartNetThread();
    Samples samples;
    const InputPacket input{};
    u64 ticks = 0;
    for (auto _ : state) {
        if (!ok) break;
        const auto start = Clock::now();
        lockstep->member.SendLocalInput(18, &input);
        ok = lockstep->arrivals.WaitFor(++ticks);
        samples.Add(Clock::now() - start);
        Lockstep::PlayTick(lockstep->member);
        Lockstep::PlayTick(lockstep->host);
    }
    if (!ok) state.SkipWithError("no bundle came back");
    lockstep->host.StopNetThread();
    lockstep->room.Close();
    samples.Report(state);
}
BENCHMARK(LockstepTick)->Iterations(3000)->Unit(benchmark::kMicrosecond);

}  // namespace
