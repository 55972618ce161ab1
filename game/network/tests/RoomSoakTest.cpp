// The soak: one direct room host (the real lobby client, screens and peer
// host on the real sockets) against thousands of short connections from bare
// sockets, each hostile in its own way; then a real member joins and chats,
// and the process's threads and descriptors are back to what they were.
// A watchdog aborts the run, naming the step, when a step outlives its
// bound: a deadlock shows as that line in the test's output.
#include "engine/core/Endian.h"
#include "game/network/LineTest.h"
#include "game/network/LobbyRoom.h"
#include "game/network/NetClient.h"
#include "game/network/NetHost.h"
#include "game/network/NetworkScene.h"
#include "game/network/RoomMembers.h"
#include "game/network/tests/LobbyScreensRun.h"
#include "game/network/tests/RawPeer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace lobby_run;

namespace {

constexpr u16 kLinePort = 18009;   // the line tester's, the "server port"
constexpr u8 kRawAddress = 3;      // the bare sockets leave from Loopback(3)
constexpr u8 kAbruptAddress = 4;   // those gone before reading anything, from Loopback(4)

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr u32 kSlow = 6;
#else
constexpr u32 kSlow = 1;
#endif
constexpr u32 kConnections = 2000;
constexpr u32 kWorkers = 3;          // the room holds the host and three
constexpr u32 kReplyMs = 5000 * kSlow;
constexpr u32 kConnectionBoundMs = 20000 * kSlow;

// ---------------------------------------------------------------- watchdog

// Named steps with deadlines; one past its deadline ends the process with
// the step's name on stderr (a deadlock otherwise hangs until CTest's
// timeout, saying nothing of where).
class Watchdog {
public:
    Watchdog()
        : m_thread([this] { Run(); })
    {
    }
    ~Watchdog()
    {
        m_stop.store(true);
        m_thread.join();
    }

    class Step {
    public:
        Step(Watchdog& dog, std::string name, u32 boundMs) : m_dog(dog), m_id(dog.Begin(std::move(name), boundMs)) {}
        ~Step() { m_dog.End(m_id); }
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        Watchdog& m_dog;
        u64 m_id;
    };

private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        std::string name;
        Clock::time_point end;
        u32 boundMs;
    };

    u64 Begin(std::string name, u32 boundMs)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_steps[++m_next] = {std::move(name), Clock::now() + std::chrono::milliseconds(boundMs), boundMs};
        return m_next;
    }
    void End(u64 id)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_steps.erase(id);
    }
    void Run()
    {
        while (!m_stop.load()) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                for (const auto& [id, step] : m_steps) {
                    if (Clock::now() < step.end) continue;
                    std::fprintf(stderr, "\nsoak watchdog: step \"%s\" outlived its bound of %u ms (deadlock?)\n",
                                 step.name.c_str(), unsigned(step.boundMs));
                    std::fflush(stderr);
                    std::abort();
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    std::mutex m_mutex;
    std::map<u64, Entry> m_steps;
    u64 m_next = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// ---------------------------------------------------------------- the host's callbacks

// The network scene's lock and routing: the peer callbacks run under the
// lock and hand room messages over as the network scene does.
std::mutex g_sceneLock;
// Connections from the abrupt peers' address the host has taken in.
std::atomic<u32> g_abruptAccepted{0};

i32 Accept(void* context, CNetClient* peer)
{
    std::lock_guard<std::mutex> lock(g_sceneLock);
    const i32 kept = static_cast<CLobbyClient*>(context)->AcceptPeer(peer);
    if (host::net::FormatAddress(net_test::Loopback(kAbruptAddress)) == peer->GetName()) ++g_abruptAccepted;
    return kept;
}

i32 Route(void* context, CNetClient* sender, const u8* payload, i32 type, u32 n)
{
    std::lock_guard<std::mutex> lock(g_sceneLock);
    CLobbyClient& client = *static_cast<CLobbyClient*>(context);
    switch (netscene::CheckPeerMessage(type, n, client.IsRoomHost() != 0)) {
    case netscene::Verdict::kIgnore:
    case netscene::Verdict::kDrop: return 1;
    case netscene::Verdict::kClose: return 0;
    case netscene::Verdict::kTake: break;
    }
    switch (type) {
    case room::kChatMessage: return client.OnRoomChat(sender, payload, n);
    case room::kPlayStateMessage: return client.SetPlayStateRaw(GetLe32(payload)), 1;
    case room::kJoinReplyMessage: return client.OnJoinReply(sender, payload, n);
    case room::kMemberInfoMessage: return client.OnMemberInfo(sender, payload, n);
    case room::kMemberTableMessage: return client.OnMemberTable(sender, payload, n);
    case room::kMemberResultMessage: return client.OnMemberResult(sender, payload, n);
    default: return 1;
    }
}

void Left(void* context, CNetClient* peer)
{
    std::lock_guard<std::mutex> lock(g_sceneLock);
    static_cast<CLobbyClient*>(context)->OnPeerLeft(peer);
}

// ---------------------------------------------------------------- process counts

u32 CountEntries(const char* folder)
{
    DIR* dir = opendir(folder);
    if (!dir) return 0;
    u32 count = 0;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') ++count;
    closedir(dir);
    return count;
}
// Idle pooled threads wait for the next connection: kept, not leaked.
u32 Threads()
{
    u32 busy = 0;
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return 0;
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name) && name == "pool-idle") continue;
        ++busy;
    }
    closedir(dir);
    return busy;
}
// The highest descriptor number open.
int HighestDescriptor()
{
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    int highest = -1;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') highest = std::max(highest, std::atoi(entry->d_name));
    closedir(dir);
    return highest;
}
u32 Descriptors() { return CountEntries("/proc/self/fd"); }

// A fixed run of bytes that is no peer message (xorshift from the seed).
std::vector<u8> Garbage(u32 seed, size_t size)
{
    std::vector<u8> bytes(size);
    u32 x = seed * 2654435761u + 1;
    for (u8& b : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = u8(x);
    }
    // A first header that must be refused: a length past any message.
    if (size >= peer::kHeaderBytes) bytes[7] = 0x80;
    return bytes;
}

// The hostile connections, taken in turn.
enum class Kind : u8 {
    kPlain,          // admitted, leaves
    kAbrupt,         // connects and resets before reading anything
    kResetAfterReply,
    kHalfHeader,     // 1..7 bytes of a header, then gone
    kOversized,      // lengths past the bound, or wrong for the type
    kGarbage,
    kPingFlood,
    kHostOnly,       // 1027, 1008 and 10009 from a guest
    kBadResult,      // 1016 with result 7
    kChat,           // an unterminated chat line comes back terminated
    kMemberInfo,     // an unterminated name comes back terminated
    kCount
};
constexpr const char* kKindNames[] = {"plain",     "abrupt",   "reset after the reply", "half header",
                                      "oversized", "garbage",  "ping flood",            "host-only types",
                                      "result 7",  "chat",     "member info"};
static_assert(sizeof kKindNames / sizeof kKindNames[0] == size_t(Kind::kCount));

}  // namespace

class RoomSoak : public LobbyRun {
protected:
    void SetUp() override
    {
        LobbyRun::SetUp();
        g_abruptAccepted.store(0);
        for (u8 k : {1, 2}) {
            Player& p = AddPlayer(k, 1, "127.0.0.1", kLinePort, kPeerPort, true);
            p.client.SetAcceptCallback(Accept, &p.client);
            p.client.SetMessageCallback(Route, &p.client);
            p.client.SetDisconnectCallback(Left, &p.client);
        }
        // As the connect option screen hosts.
        ASSERT_EQ(Host().client.StartHostListener(), 1);
        Host().client.SetScreen(u32(LobbyLayer::kRoom));
        Host().Screen<CLobbyRoomScene>(LobbyLayer::kRoom)->BecomeHost("host", nullptr);
        Focus(Host());
        ASSERT_TRUE(FramesUntil([&] { return Count() == 1; }));
        hostAddress = net_test::Loopback(1);
        rawAddress = net_test::Loopback(kRawAddress);
    }
    Player& Host() { return *players[0]; }
    Player& Guest() { return *players[1]; }
    RoomMemberTable& Table() { return *Host().Context().state.members; }
    u32 Count()
    {
        std::lock_guard<std::mutex> lock(g_sceneLock);
        return room::MemberCount(Table());
    }

    // Frames on the main thread (the host's Update reaps and pings) until
    // done is set.
    void PumpUntil(const std::atomic<bool>& done)
    {
        while (!done.load()) {
            game.Frame();
            usleep(200);
        }
    }

    // A connection that reads its join reply: the peer ID, or "" (and a
    // failure noted) when it was not admitted.
    std::string Admitted(raw_peer::RawPeer& raw, u32 index, Kind kind, int receiveBuffer = 0)
    {
        std::vector<u8> reply;
        if (!raw.Connect(rawAddress, hostAddress, kPeerPort, receiveBuffer))
            return Fail(index, kind, "no connection"), "";
        if (!raw.WaitFor(room::kJoinReplyMessage, &reply, kReplyMs)) return Fail(index, kind, "no join reply"), "";
        room::JoinReply join;
        if (!room::ReadJoinReply(reply.data(), u32(reply.size()), &join) || join.accepted != 1)
            return Fail(index, kind, "refused"), "";
        std::lock_guard<std::mutex> lock(m_registryLock);
        m_registry.insert(join.peerId);
        return join.peerId;
    }
    // After the connection ended: its entry leaves the host's table (and
    // no entry nobody holds stays behind), so the next one finds room.
    void Gone(const std::string& id, u32 index, Kind kind)
    {
        const raw_peer::Deadline deadline(kReplyMs);
        for (;;) {
            bool clear = true;
            {
                std::lock_guard<std::mutex> scene(g_sceneLock);
                std::lock_guard<std::mutex> registry(m_registryLock);
                const RoomMemberTable& table = Table();
                const u32 count = room::MemberCount(table);
                for (u32 i = 1; i < count && clear; ++i) {
                    const std::string entry = table.members[i].peerId;
                    clear = entry != id && (id.empty() ? m_registry.count(entry) != 0 : true);
                }
                if (clear && !id.empty()) m_registry.erase(id);
            }
            if (clear) return;
            if (deadline.Passed()) return Fail(index, kind, "its table entry stayed");
            usleep(500);
        }
    }
    void Fail(u32 index, Kind kind, const char* what)
    {
        std::lock_guard<std::mutex> lock(m_registryLock);
        failures.push_back(std::to_string(index) + " (" + kKindNames[u32(kind)] + "): " + what);
    }

    void Hostile(u32 index);
    void HostileAfterReply(raw_peer::RawPeer& raw, const std::string& id, u32 index, Kind kind);
    void SilentPeersDropped();
    void DescriptorsRunOut();
    void FloodersNotReading();
    void FlooderNotReading(bool chat);
    void LineTesterFlooded();
    void MemberJoinsAndChats();

    u32 hostAddress = 0;
    u32 rawAddress = 0;
    Watchdog watchdog;
    std::vector<std::string> failures;

private:
    std::mutex m_registryLock;
    std::set<std::string> m_registry;
    std::atomic<u32> m_abruptConnected{0};
};

void RoomSoak::Hostile(u32 index)
{
    const Kind kind = Kind(index % u32(Kind::kCount));
    Watchdog::Step step(watchdog, "connection " + std::to_string(index) + " (" + kKindNames[u32(kind)] + ")",
                        kConnectionBoundMs);
    raw_peer::RawPeer raw;
    if (kind == Kind::kAbrupt) {
        if (!raw.Connect(net_test::Loopback(kAbruptAddress), hostAddress, kPeerPort))
            return Fail(index, kind, "no connection");
        const u32 number = ++m_abruptConnected;
        raw.Reset();
        // Taken in (and so in the table) before its entry is looked for.
        const raw_peer::Deadline deadline(kReplyMs);
        while (g_abruptAccepted.load() < number)
            if (deadline.Passed()) return Fail(index, kind, "never accepted");
            else usleep(200);
        return Gone("", index, kind);
    }
    const std::string id = Admitted(raw, index, kind);
    if (id.empty()) return;
    HostileAfterReply(raw, id, index, kind);
    raw.Close();
    Gone(id, index, kind);
}

void RoomSoak::HostileAfterReply(raw_peer::RawPeer& raw, const std::string& id, u32 index, Kind kind)
{
    const u32 variant = index / u32(Kind::kCount);
    std::vector<u8> payload;
    switch (kind) {
    case Kind::kPlain:
    case Kind::kAbrupt:
    case Kind::kCount: return;
    case Kind::kResetAfterReply: return raw.Reset();
    case Kind::kHalfHeader: {
        u8 header[peer::kHeaderBytes];
        peer::WriteHeader({room::kChatMessage, peer::kSubType, lobby_scene::kChatLineBytes}, header);
        raw.SendBytes(header, 1 + variant % (peer::kHeaderBytes - 1));
        return;
    }
    case Kind::kOversized: {
        // Past the bound, past 2 GiB, and one byte off the type's size.
        const u32 lengths[] = {peer::kMaxPayloadBytes + 1, 0x7FFFFFFFu, 0xFFFFFFFFu, lobby_scene::kChatLineBytes + 1};
        raw.SendHeader(room::kChatMessage, lengths[variant % 4]);
        if (!raw.WaitClosed(kReplyMs)) Fail(index, kind, "not closed");
        return;
    }
    case Kind::kGarbage: {
        const std::vector<u8> bytes = Garbage(index, 16 + variant % 1000);
        raw.SendBytes(bytes.data(), bytes.size());
        // Garbage whose header names a type the game does not send, longer
        // than any message, is read past while this peer stays: it leaves
        // itself. Every other is closed by the host.
        CPeerStream stream;
        if (stream.Receive(bytes.data(), bytes.size()) && stream.SkippedMessages() > 0) return;
        if (!raw.WaitClosed(kReplyMs)) Fail(index, kind, "not closed");
        return;
    }
    case Kind::kPingFlood: {
        const u32 pings = 500;
        std::vector<u8> flood(pings * peer::kHeaderBytes);
        for (u32 i = 0; i < pings; ++i) peer::WriteHeader({peer::kPing, peer::kSubType, 0}, flood.data() + i * peer::kHeaderBytes);
        if (!raw.SendBytes(flood.data(), flood.size())) return Fail(index, kind, "flood not sent");
        for (u32 i = 0; i < pings; ++i)
            if (!raw.WaitFor(peer::kPong, nullptr, kReplyMs)) return Fail(index, kind, "pongs missing");
        return;
    }
    case Kind::kHostOnly: {
        if (variant % 3 == 0) {
            std::vector<u8> table(room::kTableBytes, 0x41);
            table[0] = 8, table[1] = 0;
            raw.SendMessage(room::kMemberTableMessage, table.data(), u32(table.size()));
        } else {
            u8 word[4];
            PutLe32(word, variant % 3 == 1 ? 1u : 9u);   // a battle starting; player 9 left
            raw.SendMessage(variant % 3 == 1 ? i16(room::kPlayStateMessage) : i16(10009), word, 4);
        }
        if (!raw.WaitClosed(kReplyMs)) Fail(index, kind, "not closed");
        return;
    }
    case Kind::kBadResult: {
        u8 word[4];
        PutLe32(word, 7);
        raw.SendMessage(room::kMemberResultMessage, word, 4);
        // A ping's pong comes after the result was handled (one thread, in order).
        raw.SendHeader(peer::kPing, 0);
        if (!raw.WaitFor(peer::kPong, nullptr, kReplyMs)) return Fail(index, kind, "closed for a result");
        std::lock_guard<std::mutex> lock(g_sceneLock);
        const RoomMemberTable& table = Table();
        const i32 at = room::FindMember(table, id.c_str());
        for (u32 i = 0; at >= 0 && i < 3; ++i)
            if (table.members[at].results[i] != 0) return Fail(index, kind, "a result was counted");
        return;
    }
    case Kind::kChat: {
        std::vector<u8> line(lobby_scene::kChatLineBytes, 'A');
        raw.SendMessage(room::kChatMessage, line.data(), u32(line.size()));
        // The relay to every member, this one too.
        if (!raw.WaitFor(room::kChatMessage, &payload, kReplyMs)) return Fail(index, kind, "no relay");
        if (payload.size() != lobby_scene::kChatLineBytes || payload[lobby_scene::kSpeakerBytes - 1] != 0 ||
            payload.back() != 0)
            Fail(index, kind, "relayed unterminated");
        return;
    }
    case Kind::kMemberInfo: {
        std::vector<u8> info(room::kMemberInfoBytes, 'B');
        raw.SendMessage(room::kMemberInfoMessage, info.data(), u32(info.size()));
        for (;;) {
            if (!raw.WaitFor(room::kMemberTableMessage, &payload, kReplyMs)) return Fail(index, kind, "no table");
            RoomMemberTable table;
            if (!room::ReadMemberTable(payload.data(), u32(payload.size()), &table)) return Fail(index, kind, "bad table");
            const i32 at = room::FindMember(table, id.c_str());
            if (at < 0 || table.members[at].name[0] != 'B') continue;   // an older table
            if (strnlen(table.members[at].name, sizeof table.members[at].name) == sizeof table.members[at].name)
                Fail(index, kind, "name unterminated");
            return;
        }
    }
    }
}

// Peers that never answer the ping are dropped by the host's next one; a
// peer that answers stays; peers past the room's limit are refused at once.
// The ping runs on the frames' clock: two intervals are two Updates.
void RoomSoak::SilentPeersDropped()
{
    CNetHost& host = *Host().client.GetNetHost();
    for (u32 round = 0; round < 5; ++round) {
        Watchdog::Step step(watchdog, "silent peers, round " + std::to_string(round), 30000 * kSlow);
        raw_peer::RawPeer silent, halfHeader, answering, refused[2];
        silent.AnswerPings(false);
        halfHeader.AnswerPings(false);
        const std::string ids[3] = {Admitted(silent, round, Kind::kPlain), Admitted(halfHeader, round, Kind::kHalfHeader),
                                    Admitted(answering, round, Kind::kPlain)};
        ASSERT_TRUE(failures.empty()) << failures.front();
        halfHeader.SendBytes("\xFD\x03\x01", 3);
        for (raw_peer::RawPeer& late : refused) {
            std::vector<u8> reply;
            room::JoinReply join;
            ASSERT_TRUE(late.Connect(rawAddress, hostAddress, kPeerPort));
            ASSERT_TRUE(late.WaitFor(room::kJoinReplyMessage, &reply, kReplyMs));
            ASSERT_TRUE(room::ReadJoinReply(reply.data(), u32(reply.size()), &join));
            EXPECT_EQ(join.accepted, 0u);
            EXPECT_TRUE(late.WaitClosed(kReplyMs));
        }

        host.Update(peer::kPingIntervalMs);   // every peer now owes a pong
        ASSERT_TRUE(answering.WaitFor(peer::kPing, nullptr, kReplyMs));   // answered as read
        // A ping behind the pong: its answer means the pong was taken.
        answering.SendHeader(peer::kPing, 0);
        ASSERT_TRUE(answering.WaitFor(peer::kPong, nullptr, kReplyMs));
        host.Update(peer::kPingIntervalMs);
        EXPECT_TRUE(silent.WaitClosed(kReplyMs));
        EXPECT_TRUE(halfHeader.WaitClosed(kReplyMs));
        answering.SendHeader(peer::kPing, 0);
        EXPECT_TRUE(answering.WaitFor(peer::kPong, nullptr, kReplyMs));   // still there
        answering.Close();
        for (const std::string& id : ids) Gone(id, round, Kind::kPlain);
        ASSERT_TRUE(failures.empty()) << failures.front();
        EXPECT_EQ(Count(), 1u);
    }
}

// The line tester's responder (every client runs one) against connections
// that stay silent, send refused or abandoned headers, come more than it
// takes at once, and a flood of datagrams; a real test then still runs.
void RoomSoak::LineTesterFlooded()
{
    Watchdog::Step step(watchdog, "line tester flood", 60000 * kSlow);
    for (u32 round = 0; round < 30; ++round) {
        raw_peer::RawPeer links[2 * CLineTest::kMaxLinks];
        for (u32 i = 0; i < std::size(links); ++i) {
            ASSERT_TRUE(links[i].Connect(rawAddress, hostAddress, kLinePort));
            switch ((round + i) % 4) {
            case 0: break;   // silent
            case 1: links[i].SendBytes("\xFF\xFF\x00\x00", 4); break;   // a size of 0
            case 2: links[i].SendBytes("\xE8\x03\x78\x05", 4); break;   // 1000 of 1400 bytes, then nothing
            case 3: links[i].SendBytes(Garbage(i, 700).data(), 700); break;
            }
        }
        for (u32 i = 0; i < std::size(links); ++i) i % 2 ? links[i].Reset() : links[i].Close();
    }
    const int udp = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(udp, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = hostAddress;
    to.sin_port = htons(kLinePort);
    for (u32 i = 0; i < 3000; ++i) {
        const std::vector<u8> datagram = Garbage(i, i % 1500);
        ::sendto(udp, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    ::close(udp);

    const auto net = host::net::CreatePosixNet(rawAddress);
    CLineTest tester(net.get());
    ASSERT_EQ(tester.Init(kLinePort), 1);
    // The flood's links may still be ending (four at once): a few tries.
    LineTestResults results;
    i32 ran = 0;
    for (u32 attempt = 0; attempt < 5 && !ran; ++attempt)
        if (!(ran = tester.Run(hostAddress, 100, 10, &results))) usleep(300000);
    EXPECT_EQ(ran, 1);
    tester.Shutdown();
}

// The process runs out of descriptors while peers knock: the host cannot
// take them in, but once descriptors are free again it takes the next.
void RoomSoak::DescriptorsRunOut()
{
    Watchdog::Step step(watchdog, "descriptors run out", 30000 * kSlow);
    raw_peer::RawPeer knocking[4];
    for (raw_peer::RawPeer& raw : knocking) ASSERT_TRUE(raw.Open());
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit none = saved;
    none.rlim_cur = rlim_t(HighestDescriptor() + 1);   // no new descriptor
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    // The numbers below the limit that are free are taken too.
    std::vector<int> holes;
    for (int fd; holes.size() < 20000 && (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) holes.push_back(fd);
    const u32 accepted = g_abruptAccepted.load();
    u32 connected = 0;
    for (raw_peer::RawPeer& raw : knocking)
        connected += raw.ConnectOpened(net_test::Loopback(kAbruptAddress), hostAddress, kPeerPort) ? 1 : 0;
    usleep(300000);   // the host's accepts fail meanwhile
    for (int fd : holes) ::close(fd);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(connected, std::size(knocking));
    for (raw_peer::RawPeer& raw : knocking) raw.Close();

    // The knocking ones are taken in late (and leave): the listener lives.
    const raw_peer::Deadline deadline(kReplyMs);
    while (g_abruptAccepted.load() < accepted + connected && !deadline.Passed()) usleep(1000);
    ASSERT_EQ(g_abruptAccepted.load(), accepted + connected) << "the listener ended";
    ASSERT_TRUE(FramesUntil([&] { return Count() == 1; }, 5000 * kSlow));
    raw_peer::RawPeer next;
    const std::string id = Admitted(next, 0, Kind::kPlain);
    ASSERT_FALSE(id.empty()) << failures.front();
    next.Close();
    Gone(id, 0, Kind::kPlain);
}

// A peer that floods pings, or chat lines, and reads nothing (a small
// receive buffer): its pongs, or the relays of its lines, fill the socket.
// The host's frames (their pings included) go on without waiting on it,
// and it is let go.
void RoomSoak::FloodersNotReading()
{
    for (const bool chat : {false, true}) {
        FlooderNotReading(chat);
        if (HasFatalFailure()) return;
    }
}

void RoomSoak::FlooderNotReading(bool chat)
{
    Watchdog::Step step(watchdog, chat ? "a chat flooder that does not read" : "a ping flooder that does not read",
                        30000 * kSlow);
    raw_peer::RawPeer flooder;
    const std::string id = Admitted(flooder, 0, Kind::kPingFlood, 2048);
    ASSERT_FALSE(id.empty()) << failures.front();
    ASSERT_EQ(fcntl(flooder.Fd(), F_SETFL, O_NONBLOCK), 0);
    std::atomic<bool> ended{false};
    std::thread flood([&] {
        const std::vector<u8> line(lobby_scene::kChatLineBytes, 'C');
        const std::vector<u8> message = chat ? peer::WriteMessage(room::kChatMessage, peer::kSubType, line.data(),
                                                                  u32(line.size()))
                                             : peer::WriteMessage(peer::kPing, peer::kSubType, nullptr, 0);
        std::vector<u8> bytes;
        for (u32 i = 0; i < 24; ++i) bytes.insert(bytes.end(), message.begin(), message.end());
        const raw_peer::Deadline deadline(10000 * kSlow);
        while (!deadline.Passed()) {
            if (::send(flooder.Fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0 && errno != EAGAIN) break;
            usleep(200);
        }
        ended.store(true);
    });
    u32 worstMs = 0;
    const raw_peer::Deadline deadline(10000 * kSlow);
    while (!ended.load() && !deadline.Passed()) {
        const auto start = std::chrono::steady_clock::now();
        game.Frame();   // the host's Update, its ping every 5,000 ms of frames
        const auto took = std::chrono::steady_clock::now() - start;
        worstMs = std::max(worstMs, u32(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
        usleep(2000);
    }
    flood.join();
    EXPECT_TRUE(ended.load()) << "the flooder was never let go";
    EXPECT_LT(worstMs, kSlow > 1 ? 2500u : 1000u) << "a frame waited on the flooder";
    flooder.Close();
    Gone(id, 0, Kind::kPingFlood);
}

// A real member joins through the join worker, chats, and leaves.
void RoomSoak::MemberJoinsAndChats()
{
    Watchdog::Step step(watchdog, "a member joins and chats", 30000 * kSlow);
    Focus(Guest());
    Guest().client.SetJoinTarget(hostAddress, kPeerPort);
    Guest().client.StartJoin();
    auto members = [&](Player& p) {
        std::lock_guard<std::mutex> lock(g_sceneLock);
        return room::MemberCount(*p.Context().state.members);
    };
    ASSERT_TRUE(FramesUntil([&] { return members(Host()) == 2 && members(Guest()) == 2; }, 5000 * kSlow));

    char line[lobby_scene::kChatLineBytes] = {};
    std::strcpy(line, "guest");
    std::strcpy(line + lobby_scene::kSpeakerBytes, "still here");
    ASSERT_EQ(Guest().client.SendRoomChat(reinterpret_cast<const u8*>(line), sizeof line), 1);
    auto lastLine = [&](Player& p) {
        std::lock_guard<std::mutex> lock(g_sceneLock);
        const lobby_scene::ChatLog& log = p.Context().roomChat;
        return log.count ? std::string(log.Text(log.count - 1)) : std::string();
    };
    EXPECT_TRUE(FramesUntil([&] { return lastLine(Host()) == "still here" && lastLine(Guest()) == "still here"; },
                            5000 * kSlow));

    Guest().client.GetNetHost()->RequestCloseAll();
    Guest().client.SetScreen(u32(LobbyLayer::kConnectOptions));
    Focus(Host());
    EXPECT_TRUE(FramesUntil([&] { return members(Host()) == 1; }, 5000 * kSlow));
}

TEST_F(RoomSoak, HostOutlastsHostilePeersThenTakesAMember)
{
    // Everything up: the host listens, the guest's client (and both line
    // testers) run; the watchdog and the main thread are all the test adds.
    const u32 threads = Threads(), descriptors = Descriptors();

    {
        Watchdog::Step step(watchdog, "churn", 240000 * kSlow);
        std::atomic<u32> next{0};
        std::atomic<u32> running{kWorkers};
        std::atomic<bool> done{false};
        std::vector<std::thread> workers;
        for (u32 w = 0; w < kWorkers; ++w)
            workers.emplace_back([&] {
                for (u32 i = next++; i < kConnections; i = next++) Hostile(i);
                if (--running == 0) done.store(true);
            });
        PumpUntil(done);
        for (std::thread& worker : workers) worker.join();
    }
    for (const std::string& failure : failures) ADD_FAILURE() << "connection " << failure;
    ASSERT_TRUE(failures.empty());
    EXPECT_EQ(Count(), 1u);
    EXPECT_EQ(Host().client.GetPlayState(), 0u);   // no guest's 1008 reached it

    SilentPeersDropped();
    DescriptorsRunOut();
    FloodersNotReading();
    LineTesterFlooded();
    MemberJoinsAndChats();

    Watchdog::Step step(watchdog, "threads and descriptors back", 20000 * kSlow);
    const raw_peer::Deadline deadline(15000 * kSlow);
    while ((Threads() != threads || Descriptors() != descriptors) && !deadline.Passed()) {
        Guest().client.Update();   // joins the guest's finished join worker
        game.Frame();
        usleep(1000);
    }
    EXPECT_EQ(Threads(), threads);
    EXPECT_EQ(Descriptors(), descriptors);
}

}  // namespace ORV_TEST_FILE_ID
