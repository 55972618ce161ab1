// The fake network. One mutex guards the whole network and one condition
// variable wakes every blocked call on any change: the network is small and
// its calls are short, and a single lock makes "look, then sleep" atomic
// across sockets, links and the cut and stall rules without any lock order.
//
// Delays count on the kernel clock, which a test may move without telling
// anyone, so while any link delays, blocked calls look again every
// millisecond. Time-outs count real time.
#include "host/net/FakeNet.h"

#include "host/kernel/Kernel.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace host::net {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr uint16_t kFirstEphemeralPort = 49152;
constexpr size_t kMaxDatagram = 65507;
constexpr int32_t kMaxBacklog = 4096;

uint64_t Mix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

uint64_t LinkSeed(uint64_t seed, Endpoint from, Endpoint to)
{
    uint64_t h = Mix(seed);
    h = Mix(h ^ (uint64_t(from.address) << 16 | from.port));
    return Mix(h ^ (uint64_t(to.address) << 16 | to.port));
}

// A link's own generator (splitmix64): its fates depend on its sends alone.
class Rng {
public:
    explicit Rng(uint64_t seed = 0) : m_state(seed) {}
    uint64_t Next() { return Mix(m_state += 0x9E3779B97F4A7C15ull); }
    uint32_t Below(uint32_t n) { return n ? uint32_t(Next() % n) : 0; }
    bool Percent(uint32_t p) { return Below(100) < p; }
private:
    uint64_t m_state;
};

// The kernel clock wraps: compare by difference.
bool IsDue(uint32_t due, uint32_t now) { return int32_t(now - due) >= 0; }

bool IsMulticast(uint32_t address) { return (address & 0xF0) == 0xE0; }
bool Matches(uint32_t rule, uint32_t address) { return rule == kAnyAddress || rule == address; }

IoResult Failure(Error error) { return {error == Error::Closed ? 0 : -1, error}; }

enum class End : uint8_t { None, Close, Reset };

struct Piece {
    std::vector<uint8_t> bytes;
    size_t read = 0;
    uint32_t due = 0;
};

// One direction of a stream connection.
struct Pipe {
    Endpoint from, to;
    Rng rng;
    std::deque<Piece> pieces;
    size_t unread = 0;
    End end = End::None;
    uint32_t endDue = 0;
    bool endForced = false;     // a reset on command: no stall holds it back
    bool readerGone = false;    // the receiving side shut down: sends are refused
    std::optional<uint64_t> cutLeft;
    CutKind cutKind = CutKind::Close;
};

struct Connection {
    Endpoint client, server;
    Pipe pipe[2];               // [0] client to server, [1] server to client
    bool broken = false;        // cut: no more sends either way
};

struct Datagram {
    Endpoint from;
    std::vector<uint8_t> bytes;
    uint32_t due = 0;
};

struct SocketState {
    int machine = 0;
    Type type = Type::Stream;
    bool bound = false;         // holds its port (accepted sockets share the listener's)
    Endpoint local;
    bool listening = false;
    int32_t backlogMax = 0;
    std::deque<std::shared_ptr<Connection>> backlog;
    std::shared_ptr<Connection> conn;
    int side = 0;               // writes conn->pipe[side], reads the other
    bool nonBlocking = false;
    bool shut = false;
    int blocked = 0;            // threads inside a blocking call on it
    std::deque<Datagram> inbox;
    uint32_t multicastInterface = kAnyAddress;
};

struct FailRule {
    Error error = Error::Failed;
    uint32_t skip = 0;
    uint32_t times = 0;
};

constexpr size_t kCallCount = size_t(Call::SetMulticastInterface) + 1;

struct MachineState {
    uint32_t address = 0;
    std::string hostName;
    std::vector<uint32_t> interfaces;
    std::vector<std::pair<std::string, uint32_t>> names;
    FailRule fails[kCallCount];
    uint16_t nextPort = kFirstEphemeralPort;
    std::unique_ptr<FakeMachine> net;
};

template <class Options>
struct Rule {
    uint32_t from, to;
    Options options;
};

struct CutRule {
    uint32_t from, to;
    uint64_t bytes;
    CutKind kind;
};

struct DatagramLink {
    Rng rng;
    std::optional<std::pair<Datagram, Endpoint>> held;
};

template <class Options>
Options FindOptions(const std::vector<Rule<Options>>& rules, uint32_t from, uint32_t to)
{
    // The most exact rule wins: both addresses, then the sender, then the receiver.
    const Rule<Options>* best = nullptr;
    int bestScore = -1;
    for (const Rule<Options>& rule : rules) {
        if (!Matches(rule.from, from) || !Matches(rule.to, to))
            continue;
        const int score = (rule.from != kAnyAddress) * 2 + (rule.to != kAnyAddress);
        if (score > bestScore) {
            best = &rule;
            bestScore = score;
        }
    }
    return best ? best->options : Options{};
}

template <class Options>
void SetRule(std::vector<Rule<Options>>& rules, const Options& options, uint32_t from, uint32_t to)
{
    for (Rule<Options>& rule : rules) {
        if (rule.from == from && rule.to == to) {
            rule.options = options;
            return;
        }
    }
    rules.push_back({from, to, options});
}

}  // namespace

struct FakeNetwork::Impl {
    explicit Impl(uint64_t s) : seed(s) {}

    const uint64_t seed;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::unique_ptr<MachineState>> machines;
    std::map<Socket, std::shared_ptr<SocketState>> sockets;
    Socket nextSocket = 3;
    std::vector<std::weak_ptr<Connection>> connections;
    std::vector<Rule<StreamOptions>> streamRules;
    std::vector<Rule<DatagramOptions>> datagramRules;
    std::vector<std::pair<uint32_t, uint32_t>> stalls;
    std::vector<CutRule> cutRules;
    std::map<std::pair<uint64_t, uint64_t>, DatagramLink> datagramLinks;
    std::vector<std::pair<std::string, uint32_t>> names;   // every machine resolves them
    std::vector<MulticastSend> multicast;
    std::vector<std::string> misuses;
    bool delays = false;        // some link delays: blocked calls watch the kernel clock

    using Lock = std::unique_lock<std::mutex>;

    // ------------------------------------------------------------ lookups

    std::optional<Error> Injected(int machine, Call call)
    {
        FailRule& rule = machines[machine]->fails[size_t(call)];
        if (rule.times == 0)
            return std::nullopt;
        if (rule.skip > 0) {
            --rule.skip;
            return std::nullopt;
        }
        if (rule.times != kFailAlways)
            --rule.times;
        return rule.error;
    }

    std::shared_ptr<SocketState> Find(int machine, Socket socket, const char* call)
    {
        auto it = sockets.find(socket);
        if (it != sockets.end() && it->second->machine == machine)
            return it->second;
        misuses.push_back(std::string(call) + " on unknown socket " + std::to_string(socket) + " of " +
                          FormatAddress(machines[machine]->address));
        return nullptr;
    }

    bool Owns(int machine, uint32_t address) const
    {
        const MachineState& m = *machines[machine];
        return address == m.address || address == kLoopback ||
               std::find(m.interfaces.begin(), m.interfaces.end(), address) != m.interfaces.end();
    }

    // The machine an address reaches from a machine; -1 when none has it.
    int Route(int from, uint32_t address) const
    {
        if (address == kLoopback)
            return from;
        for (size_t i = 0; i < machines.size(); ++i)
            if (machines[i]->address == address)
                return int(i);
        for (size_t i = 0; i < machines.size(); ++i)
            if (Owns(int(i), address) && address != kLoopback)
                return int(i);
        return -1;
    }

    bool Stalled(uint32_t from, uint32_t to) const
    {
        for (const auto& [f, t] : stalls)
            if (Matches(f, from) && Matches(t, to))
                return true;
        return false;
    }

    bool PortTaken(int machine, Type type, Endpoint local) const
    {
        for (const auto& [number, s] : sockets)
            if (s->machine == machine && s->bound && s->type == type && s->local == local)
                return true;
        return false;
    }

    Error BindTo(int machine, SocketState& s, Endpoint local)
    {
        if (local.address == kAnyAddress)
            local.address = machines[machine]->address;
        if (!Owns(machine, local.address))
            return Error::Invalid;
        if (local.port == 0) {
            // Ephemeral ports in turn, as the kernel hands them out.
            MachineState& m = *machines[machine];
            for (uint32_t tries = 0; tries <= 65535u - kFirstEphemeralPort; ++tries) {
                const uint16_t port = m.nextPort;
                m.nextPort = port == 65535 ? kFirstEphemeralPort : uint16_t(port + 1);
                if (!PortTaken(machine, s.type, {local.address, port})) {
                    local.port = port;
                    break;
                }
            }
            if (local.port == 0)
                return Error::AddressInUse;
        } else if (PortTaken(machine, s.type, local)) {
            return Error::AddressInUse;
        }
        s.local = local;
        s.bound = true;
        return Error::None;
    }

    // ------------------------------------------------------------ waiting

    // Sleeps until ready() holds or the deadline passes; false on the deadline.
    template <class Ready>
    bool Block(Lock& lock, SocketState& s, Ready ready, std::optional<SteadyClock::time_point> deadline = {})
    {
        ++s.blocked;
        bool ok = true;
        while (!ready()) {
            const auto now = SteadyClock::now();
            if (deadline && now >= *deadline) {
                ok = false;
                break;
            }
            auto until = deadline ? *deadline : now + std::chrono::hours(1);
            if (delays)
                until = std::min(until, now + std::chrono::milliseconds(1));
            changed.wait_until(lock, until);
        }
        --s.blocked;
        return ok;
    }

    static SteadyClock::time_point Deadline(uint32_t timeoutMs)
    {
        return SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    }

    // ------------------------------------------------------------ streams

    bool PieceReadable(const Pipe& pipe, uint32_t now) const
    {
        return !pipe.pieces.empty() && IsDue(pipe.pieces.front().due, now) && !Stalled(pipe.from.address, pipe.to.address);
    }

    bool EndReached(const Pipe& pipe, uint32_t now) const
    {
        if (pipe.end == End::None || !pipe.pieces.empty())
            return false;
        return pipe.endForced || (IsDue(pipe.endDue, now) && !Stalled(pipe.from.address, pipe.to.address));
    }

    void EndPipe(Pipe& pipe, End end, bool forced)
    {
        if (forced) {
            pipe.pieces.clear();
            pipe.unread = 0;
        }
        if (pipe.end == End::Reset || (pipe.end == End::Close && !forced))
            return;
        pipe.end = end;
        pipe.endForced = forced;
        pipe.endDue = kernel::TimeGetTime();   // and after the pieces before it
    }

    // Ends a connection both ways: a forced reset at once, else after what is on the way.
    void CutConnection(Connection& conn, CutKind kind, bool forced)
    {
        const End end = kind == CutKind::Reset ? End::Reset : End::Close;
        conn.broken = true;
        EndPipe(conn.pipe[0], end, forced && kind == CutKind::Reset);
        EndPipe(conn.pipe[1], end, forced && kind == CutKind::Reset);
        changed.notify_all();
    }

    // A connection from a client socket, queued on the listener.
    void Link(SocketState& client, SocketState& listener)
    {
        auto conn = std::make_shared<Connection>();
        const Endpoint local = client.local, remote = listener.local;
        conn->client = local;
        conn->server = remote;
        conn->pipe[0].from = conn->pipe[1].to = local;
        conn->pipe[0].to = conn->pipe[1].from = remote;
        conn->pipe[0].rng = Rng(LinkSeed(seed, local, remote));
        conn->pipe[1].rng = Rng(LinkSeed(seed, remote, local));
        client.conn = conn;
        client.side = 0;
        listener.backlog.push_back(conn);
        connections.erase(std::remove_if(connections.begin(), connections.end(), [](const auto& w) { return w.expired(); }),
                          connections.end());
        connections.push_back(conn);
    }

    // Queues bytes on a pipe as pieces; a cut armed on the pipe may end it here.
    void Append(Connection& conn, Pipe& pipe, const uint8_t* data, size_t bytes)
    {
        const StreamOptions options = FindOptions(streamRules, pipe.from.address, pipe.to.address);
        ArmCut(pipe);
        size_t keep = bytes;
        bool cutNow = false;
        if (pipe.cutLeft) {
            keep = size_t(std::min<uint64_t>(bytes, *pipe.cutLeft));
            *pipe.cutLeft -= keep;
            cutNow = *pipe.cutLeft == 0;
        }
        // The draws depend on the sends alone, never on what the reader took.
        const uint32_t jitter = pipe.rng.Below(options.jitterMs + 1);
        const bool join = pipe.rng.Percent(options.joinPercent);
        // Pieces are read in order, so a shorter jitter never overtakes.
        const uint32_t due = kernel::TimeGetTime() + options.delayMs + jitter;
        const size_t maxSegment = std::max<uint32_t>(options.maxSegment, 1);
        size_t pos = 0;
        if (join && keep > 0 && !pipe.pieces.empty() && pipe.pieces.back().read == 0 &&
            pipe.pieces.back().bytes.size() < maxSegment) {
            Piece& back = pipe.pieces.back();
            const size_t n = std::min(keep, maxSegment - back.bytes.size());
            back.bytes.insert(back.bytes.end(), data, data + n);
            back.due = due;
            pos = n;
        }
        while (pos < bytes) {
            size_t n = std::min(bytes - pos, maxSegment);
            if (n > 1 && pipe.rng.Percent(options.splitPercent))
                n = 1 + pipe.rng.Below(uint32_t(n - 1));
            if (pos < keep)
                pipe.pieces.push_back({std::vector<uint8_t>(data + pos, data + std::min(pos + n, keep)), 0, due});
            pos += n;
        }
        pipe.unread += keep;
        if (options.delayMs || options.jitterMs)
            delays = true;
        if (cutNow)
            CutConnection(conn, pipe.cutKind, false);
    }

    void ArmCut(Pipe& pipe)
    {
        if (pipe.cutLeft)
            return;
        for (auto it = cutRules.begin(); it != cutRules.end(); ++it) {
            if (Matches(it->from, pipe.from.address) && Matches(it->to, pipe.to.address)) {
                pipe.cutLeft = it->bytes;
                pipe.cutKind = it->kind;
                cutRules.erase(it);
                return;
            }
        }
    }

    size_t Take(Pipe& pipe, uint8_t* out, size_t capacity)
    {
        Piece& piece = pipe.pieces.front();
        const size_t n = std::min(capacity, piece.bytes.size() - piece.read);
        std::memcpy(out, piece.bytes.data() + piece.read, n);
        piece.read += n;
        if (piece.read == piece.bytes.size())
            pipe.pieces.pop_front();
        pipe.unread -= n;
        changed.notify_all();
        return n;
    }

    // Our side of a connection goes: the peer reads to the end (or a reset
    // when we left unread bytes behind, as TCP does), and sends to us fail.
    void Leave(SocketState& s, bool closing)
    {
        if (s.listening) {
            for (auto& conn : s.backlog)
                CutConnection(*conn, CutKind::Reset, true);
            s.backlog.clear();
        }
        if (!s.conn)
            return;
        Pipe& in = s.conn->pipe[1 - s.side];
        Pipe& out = s.conn->pipe[s.side];
        if (closing && in.unread > 0) {
            CutConnection(*s.conn, CutKind::Reset, true);
            return;
        }
        in.readerGone = true;
        EndPipe(out, End::Close, false);
        changed.notify_all();
    }

    // What Wait would report now.
    int32_t Events(SocketState& s, uint32_t now)
    {
        int32_t mask = 0;
        if (s.listening) {
            if (!s.backlog.empty())
                mask |= kEventRead;
            if (s.shut)
                mask |= kEventRead | kEventClose;
        } else if (s.type == Type::Datagram) {
            mask |= kEventWrite;
            if (FirstDatagram(s, now) < s.inbox.size())
                mask |= kEventRead;
            if (s.shut)
                mask |= kEventRead | kEventClose;
        } else if (s.conn) {
            const Pipe& in = s.conn->pipe[1 - s.side];
            const Pipe& out = s.conn->pipe[s.side];
            const StreamOptions options = FindOptions(streamRules, out.from.address, out.to.address);
            if (PieceReadable(in, now))
                mask |= kEventRead;
            if (EndReached(in, now) || s.shut)
                mask |= kEventRead | kEventClose;
            if (out.unread < options.bufferBytes || s.conn->broken)
                mask |= kEventWrite;
        } else {
            mask |= kEventClose;   // never connected: a hang-up, as poll says
        }
        return mask;
    }

    // ------------------------------------------------------------ datagrams

    size_t FirstDatagram(const SocketState& s, uint32_t now) const
    {
        for (size_t i = 0; i < s.inbox.size(); ++i)
            if (IsDue(s.inbox[i].due, now) && !Stalled(s.inbox[i].from.address, s.local.address))
                return i;
        return s.inbox.size();
    }

    void Deliver(int target, Datagram datagram, Endpoint to)
    {
        for (auto& [number, s] : sockets) {
            if (s->machine == target && s->type == Type::Datagram && s->bound && !s->shut && s->local == to) {
                s->inbox.push_back(std::move(datagram));
                changed.notify_all();
                return;
            }
        }
    }

    void SendDatagram(int target, const Datagram& datagram, Endpoint to)
    {
        const DatagramOptions options = FindOptions(datagramRules, datagram.from.address, to.address);
        const auto key = std::make_pair(uint64_t(datagram.from.address) << 16 | datagram.from.port,
                                        uint64_t(to.address) << 16 | to.port);
        auto it = datagramLinks.find(key);
        if (it == datagramLinks.end())
            it = datagramLinks.emplace(key, DatagramLink{Rng(LinkSeed(seed, datagram.from, to)), {}}).first;
        DatagramLink& link = it->second;
        // Three draws a datagram, whatever its fate.
        const bool drop = link.rng.Percent(options.dropPercent);
        const bool twice = link.rng.Percent(options.doublePercent);
        const bool reorder = link.rng.Percent(options.reorderPercent);
        if (drop)
            return;
        Datagram copy = datagram;
        copy.due = kernel::TimeGetTime() + options.delayMs;
        if (options.delayMs)
            delays = true;
        if (reorder && !link.held) {
            link.held.emplace(copy, to);
            return;
        }
        Deliver(target, copy, to);
        if (twice)
            Deliver(target, copy, to);
        if (link.held) {
            Deliver(target, link.held->first, link.held->second);
            link.held.reset();
        }
    }
};

// ---------------------------------------------------------------- network

FakeNetwork::FakeNetwork(uint64_t seed) : m_impl(std::make_unique<Impl>(seed)) {}

FakeNetwork::~FakeNetwork() = default;

FakeMachine& FakeNetwork::AddMachine(uint32_t address)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    auto m = std::make_unique<MachineState>();
    m->address = address;
    m->hostName = FormatAddress(address);
    m->interfaces = {address};
    m->net.reset(new FakeMachine(*this, int(m_impl->machines.size())));
    FakeMachine& net = *m->net;
    m_impl->machines.push_back(std::move(m));
    return net;
}

void FakeNetwork::SetStreamOptions(const StreamOptions& options, uint32_t from, uint32_t to)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    SetRule(m_impl->streamRules, options, from, to);
}

void FakeNetwork::SetDatagramOptions(const DatagramOptions& options, uint32_t from, uint32_t to)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    SetRule(m_impl->datagramRules, options, from, to);
}

void FakeNetwork::Stall(uint32_t from, uint32_t to)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->stalls.emplace_back(from, to);
}

void FakeNetwork::Release(uint32_t from, uint32_t to)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    auto& stalls = m_impl->stalls;
    stalls.erase(std::remove(stalls.begin(), stalls.end(), std::make_pair(from, to)), stalls.end());
    m_impl->changed.notify_all();
}

void FakeNetwork::Cut(uint32_t a, uint32_t b, CutKind kind)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    for (const auto& weak : m_impl->connections) {
        const auto conn = weak.lock();
        if (!conn)
            continue;
        const uint32_t c = conn->client.address, s = conn->server.address;
        if ((Matches(a, c) && Matches(b, s)) || (Matches(a, s) && Matches(b, c)))
            m_impl->CutConnection(*conn, kind, kind == CutKind::Reset);
    }
}

void FakeNetwork::CutAfter(uint32_t from, uint32_t to, uint64_t bytes, CutKind kind)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->cutRules.push_back({from, to, bytes, kind});
}

void FakeNetwork::AddName(std::string name, uint32_t address)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->names.emplace_back(std::move(name), address);
}

std::vector<MulticastSend> FakeNetwork::MulticastSends() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->multicast;
}

std::vector<std::string> FakeNetwork::Misuses() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->misuses;
}

// ---------------------------------------------------------------- machine

FakeMachine::FakeMachine(FakeNetwork& network, int index) : m_network(network), m_index(index) {}

FakeMachine::~FakeMachine() = default;

uint32_t FakeMachine::Address() const
{
    std::lock_guard<std::mutex> lock(m_network.m_impl->mutex);
    return m_network.m_impl->machines[m_index]->address;
}

void FakeMachine::SetHostName(std::string name)
{
    std::lock_guard<std::mutex> lock(m_network.m_impl->mutex);
    m_network.m_impl->machines[m_index]->hostName = std::move(name);
}

void FakeMachine::SetInterfaceAddresses(std::vector<uint32_t> addresses)
{
    std::lock_guard<std::mutex> lock(m_network.m_impl->mutex);
    m_network.m_impl->machines[m_index]->interfaces = std::move(addresses);
}

void FakeMachine::AddName(std::string name, uint32_t address)
{
    std::lock_guard<std::mutex> lock(m_network.m_impl->mutex);
    m_network.m_impl->machines[m_index]->names.emplace_back(std::move(name), address);
}

void FakeMachine::FailCall(Call call, Error error, uint32_t times, uint32_t skip)
{
    std::lock_guard<std::mutex> lock(m_network.m_impl->mutex);
    m_network.m_impl->machines[m_index]->fails[size_t(call)] = {error, skip, times};
}

Socket FakeMachine::Open(Type type)
{
    auto& net = *m_network.m_impl;
    std::lock_guard<std::mutex> lock(net.mutex);
    if (net.Injected(m_index, Call::Open) || (type != Type::Stream && type != Type::Datagram))
        return kNoSocket;
    auto s = std::make_shared<SocketState>();
    s->machine = m_index;
    s->type = type;
    const Socket number = net.nextSocket++;
    net.sockets.emplace(number, std::move(s));
    return number;
}

Error FakeMachine::Bind(Socket socket, Endpoint local)
{
    auto& net = *m_network.m_impl;
    std::lock_guard<std::mutex> lock(net.mutex);
    if (const auto e = net.Injected(m_index, Call::Bind))
        return *e;
    const auto s = net.Find(m_index, socket, "Bind");
    if (!s || s->bound || s->conn)
        return Error::Invalid;
    return net.BindTo(m_index, *s, local);
}

Error FakeMachine::Listen(Socket socket, int32_t backlog)
{
    auto& net = *m_network.m_impl;
    std::lock_guard<std::mutex> lock(net.mutex);
    if (const auto e = net.Injected(m_index, Call::Listen))
        return *e;
    const auto s = net.Find(m_index, socket, "Listen");
    if (!s || s->type != Type::Stream || s->conn)
        return Error::Invalid;
    if (!s->bound)
        if (const Error e = net.BindTo(m_index, *s, {}); e != Error::None)
            return e;
    s->listening = true;
    s->backlogMax = std::clamp(backlog, 1, kMaxBacklog);
    return Error::None;
}

Socket FakeMachine::Accept(Socket listener, Endpoint* from)
{
    auto& net = *m_network.m_impl;
    FakeNetwork::Impl::Lock lock(net.mutex);
    if (net.Injected(m_index, Call::Accept))
        return kNoSocket;
    const auto s = net.Find(m_index, listener, "Accept");
    if (!s || !s->listening)
        return kNoSocket;
    // Blocks even after Wait, as the real one does.
    net.Block(lock, *s, [&] { return !s->backlog.empty() || s->shut; });
    if (s->shut)
        return kNoSocket;
    auto accepted = std::make_shared<SocketState>();
    accepted->machine = m_index;
    accepted->local = s->local;
    accepted->conn = std::move(s->backlog.front());
    accepted->side = 1;
    s->backlog.pop_front();
    if (from)
        *from = accepted->conn->client;
    const Socket number = net.nextSocket++;
    net.sockets.emplace(number, std::move(accepted));
    net.changed.notify_all();
    return number;
}

Error FakeMachine::Connect(Socket socket, Endpoint remote, uint32_t timeoutMs)
{
    auto& net = *m_network.m_impl;
    FakeNetwork::Impl::Lock lock(net.mutex);
    if (const auto e = net.Injected(m_index, Call::Connect))
        return *e;
    const auto s = net.Find(m_index, socket, "Connect");
    if (!s || s->type != Type::Stream || s->listening || s->conn || remote.port == 0 || remote.address == kAnyAddress)
        return Error::Invalid;
    if (!s->bound)
        if (const Error e = net.BindTo(m_index, *s, {}); e != Error::None)
            return e;
    const auto deadline = FakeNetwork::Impl::Deadline(timeoutMs);
    const Endpoint local = s->local;
    // An address nobody has swallows the handshake; a stalled line holds it.
    const int target = net.Route(m_index, remote.address);
    const auto through = [&] {
        return s->shut || (target >= 0 && !net.Stalled(local.address, remote.address) &&
                           !net.Stalled(remote.address, local.address));
    };
    if (!net.Block(lock, *s, through, deadline))
        return Error::TimedOut;
    if (s->shut)
        return Error::Closed;
    std::shared_ptr<SocketState> listener;
    for (auto& [number, other] : net.sockets)
        if (other->machine == target && other->listening && !other->shut && other->local == remote)
            listener = other;
    if (!listener)
        return Error::Refused;
    // A full backlog drops the handshake until there is room, as Linux does.
    if (!net.Block(lock, *s, [&] { return s->shut || listener->shut || int32_t(listener->backlog.size()) < listener->backlogMax; },
                   deadline))
        return Error::TimedOut;
    if (s->shut)
        return Error::Closed;
    if (listener->shut)
        return Error::Refused;
    net.Link(*s, *listener);
    net.changed.notify_all();
    return Error::None;
}

IoResult FakeMachine::Send(Socket socket, const void* data, size_t bytes)
{
    auto& net = *m_network.m_impl;
    FakeNetwork::Impl::Lock lock(net.mutex);
    if (const auto e = net.Injected(m_index, Call::Send))
        return Failure(*e);
    const auto s = net.Find(m_index, socket, "Send");
    if (!s || s->type != Type::Stream || s->listening || (bytes && !data))
        return {-1, Error::Invalid};
    if (!s->conn)
        return {-1, Error::Closed};
    if (bytes == 0)
        return {0, Error::None};
    bytes = std::min<size_t>(bytes, INT32_MAX);
    const auto* p = static_cast<const uint8_t*>(data);
    size_t sent = 0;
    while (sent < bytes) {
        Connection& conn = *s->conn;
        Pipe& out = conn.pipe[s->side];
        if (s->shut || conn.broken || out.readerGone || out.end != End::None)
            return sent ? IoResult{int32_t(sent), Error::None} : IoResult{-1, Error::Reset};
        const uint32_t buffer = FindOptions(net.streamRules, out.from.address, out.to.address).bufferBytes;
        const size_t room = out.unread < buffer ? buffer - out.unread : 0;
        if (room == 0) {
            if (s->nonBlocking)
                return sent ? IoResult{int32_t(sent), Error::None} : IoResult{-1, Error::WouldBlock};
            net.Block(lock, *s, [&] {
                return s->shut || conn.broken || out.readerGone || out.end != End::None || out.unread < buffer;
            });
            continue;
        }
        const size_t n = std::min(room, bytes - sent);
        net.Append(conn, out, p + sent, n);
        sent += n;
        net.changed.notify_all();
        if (s->nonBlocking)
            break;
    }
    return {int32_t(sent), Error::None};
}

IoResult FakeMachine::Receive(Socket socket, void* data, size_t capacity)
{
    auto& net = *m_network.m_impl;
    FakeNetwork::Impl::Lock lock(net.mutex);
    if (const auto e = net.Injected(m_index, Call::Receive))
        return Failure(*e);
    const auto s = net.Find(m_index, socket, "Receive");
    if (!s || s->type != Type::Stream || s->listening || (capacity && !data))
        return {-1, Error::Invalid};
    if (!s->conn)
        return {-1, Error::Closed};
    if (capacity == 0)
        return {0, Error::None};
    capacity = std::min<size_t>(capacity, INT32_MAX);
    Pipe& in = s->conn->pipe[1 - s->side];
    for (;;) {
        const uint32_t now = kernel::TimeGetTime();
        if (in.end == End::Reset && in.endForced)
            return {-1, Error::Reset};
        if (net.PieceReadable(in, now))
            return {int32_t(net.Take(in, static_cast<uint8_t*>(data), capacity)), Error::None};
        if (net.EndReached(in, now))
            return in.end == End::Reset ? IoResult{-1, Error::Reset} : IoResult{0, Error::Closed};
        if (s->shut)
            return {0, Error::Closed};
        if (s->nonBlocking)
            return {-1, Error::WouldBlock};
        net.Block(lock, *s, [&] {
            const uint32_t t = kernel::TimeGetTime();
            return s->shut || net.PieceReadable(in, t) || net.EndReached(in, t);
        });
    }
}

IoResult FakeMachine::SendTo(Socket socket, const void* data, size_t bytes, Endpoint remote)
{
    auto& net = *m_network.m_impl;
    std::lock_guard<std::mutex> lock(net.mutex);
    if (const auto e = net.Injected(m_index, Call::SendTo))
        return Failure(*e);
    const auto s = net.Find(m_index, socket, "SendTo");
    if (!s || s->type != Type::Datagram || (bytes && !data) || remote.address == kAnyAddress)
        return {-1, Error::Invalid};
    if (bytes > kMaxDatagram)
        return {-1, Error::Failed};
    if (s->shut)
        return {-1, Error::Reset};
    if (!s->bound)
        if (const Error e = net.BindTo(m_index, *s, {}); e != Error::None)
            return {-1, e};
    const auto* p = static_cast<const uint8_t*>(data);
    Datagram datagram{s->local, std::vector<uint8_t>(p, p + bytes), 0};
    if (IsMulticast(remote.address)) {
        const uint32_t via = s->multicastInterface ? s->multicastInterface : net.machines[m_index]->address;
        net.multicast.push_back({s->local, remote, via, std::move(datagram.bytes)});
        return {int32_t(bytes), Error::None};
    }
    const int target = net.Route(m_index, remote.address);
    if (target >= 0)
        net.SendDatagram(target, datagram, remote);
    return {int32_t(bytes), Error::None};
}

IoResult FakeMachine::ReceiveFrom(Socket socket, void* data, size_t capacity, Endpoint* from)
{
    auto& net = *m_network.m_impl;
    FakeNetwork::Impl::Lock lock(net.mutex);
    if (from)
        *from = {};
    if (const auto e = net.Injected(m_index, Call::ReceiveFrom))
        return Failure(*e);
    const auto s = net.Find(m_index, socket, "ReceiveFrom");
    if (!s || s->type != Type::Datagram || (capacity && !data))
        return {-1, Error::Invalid};
    capacity = std::min<size_t>(capacity, INT32_MAX);
    for (;;) {
        const size_t i = net.FirstDatagram(*s, kernel::TimeGetTime());
        if (i < s->inbox.size()) {
            Datagram& d = s->inbox[i];
            const size_t n = std::min(capacity, d.bytes.size());
            if (n)
                std::memcpy(data, d.bytes.data(), n);
            if (from)
                *from = d.from;
            s->inbox.erase(s->inbox.begin() + ptrdiff_t(i));
            return {int32_t(n), Error::None};
        }
        if (s->shut)
            return {0, Error::Closed};
        if (s->nonBlocking)
            return {-1, Error::WouldBlock};
        net.Block(lock, *s, [&] { return s->shut || net.FirstDatagram(*s, kernel::TimeGetTime()) < s->inbox.size(); });
    }
}

int32_t FakeMachine::Wait(Socket socket, uint32_t events, uint32_t timeoutMs)
{
    auto& net = *m_network.m_impl;
    FakeNetwork::Impl::Lock lock(net.mutex);
    if (net.Injected(m_index, Call::Wait))
        return kWaitFailed;
    const auto s = net.Find(m_index, socket, "Wait");
    if (!s)
        return kWaitFailed;
    s->nonBlocking = true;
    const uint32_t wanted = events | kEventClose;
    int32_t result = 0;
    net.Block(lock, *s, [&] { return (result = net.Events(*s, kernel::TimeGetTime()) & wanted) != 0; },
              FakeNetwork::Impl::Deadline(timeoutMs));
    return result;
}

void FakeMachine::Shutdown(Socket socket)
{
    auto& net = *m_network.m_impl;
    std::lock_guard<std::mutex> lock(net.mutex);
    const auto s = net.Find(m_index, socket, "Shutdown");
    if (!s || s->shut)
        return;
    s->shut = true;
    net.Leave(*s, false);
    net.changed.notify_all();
}

void FakeMachine::Close(Socket socket)
{
    if (socket == kNoSocket)
        return;
    auto& net = *m_network.m_impl;
    std::lock_guard<std::mutex> lock(net.mutex);
    const auto s = net.Find(m_index, socket, "Close");
    if (!s)
        return;
    if (s->blocked > 0)
        net.misuses.push_back("Close of socket " + std::to_string(socket) + " while a thread is blocked on it");
    if (!s->shut || (s->conn && s->conn->pipe[1 - s->side].unread > 0))
        net.Leave(*s, true);
    s->shut = true;
    s->bound = false;
    s->inbox.clear();
    net.sockets.erase(socket);
    net.changed.notify_all();
}

Endpoint FakeMachine::LocalEndpoint(Socket socket)
{
    auto& net = *m_network.m_impl;
    std::lock_guard<std::mutex> lock(net.mutex);
    const auto s = net.Find(m_index, socket, "LocalEndpoint");
    return s ? s->local : Endpoint{};
}

bool FakeMachine::Resolve(std::string_view name, uint32_t& address)
{
    auto& net = *m_network.m_impl;
    std::lock_guard<std::mutex> lock(net.mutex);
    if (net.Injected(m_index, Call::Resolve))
        return false;
    if (ParseAddress(name, address))
        return true;
    // This machine's names, the network's, then every machine's host name.
    for (const auto* names : {&net.machines[m_index]->names, &net.names}) {
        for (const auto& [n, a] : *names) {
            if (n == name) {
                address = a;
                return true;
            }
        }
    }
    for (const auto& m : net.machines) {
        if (m->hostName == name) {
            address = m->address;
            return true;
        }
    }
    return false;
}

std::string FakeMachine::HostName()
{
    auto& net = *m_network.m_impl;
    std::lock_guard<std::mutex> lock(net.mutex);
    if (net.Injected(m_index, Call::HostName))
        return {};
    return net.machines[m_index]->hostName;
}

std::vector<uint32_t> FakeMachine::InterfaceAddresses()
{
    auto& net = *m_network.m_impl;
    std::lock_guard<std::mutex> lock(net.mutex);
    if (net.Injected(m_index, Call::InterfaceAddresses))
        return {};
    return net.machines[m_index]->interfaces;
}

Error FakeMachine::SetMulticastInterface(Socket socket, uint32_t address)
{
    auto& net = *m_network.m_impl;
    std::lock_guard<std::mutex> lock(net.mutex);
    if (const auto e = net.Injected(m_index, Call::SetMulticastInterface))
        return *e;
    const auto s = net.Find(m_index, socket, "SetMulticastInterface");
    if (!s || (address != kAnyAddress && !net.Owns(m_index, address)))
        return Error::Invalid;
    s->multicastInterface = address;
    return Error::None;
}

}  // namespace host::net
