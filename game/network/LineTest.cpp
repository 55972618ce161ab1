// The line test. The tester runs on the caller's thread (Run); the responder
// is line-accept and one line-link thread per link; line-udp counts the
// datagrams of every link. The tester lock is a leaf: nothing waits, joins or
// blocks on a socket under it (the UDP socket is non-blocking from Init on).
// Shutdown wakes every socket, then joins every thread, responder links
// included, and closes the sockets only after that.
#include "game/network/LineTest.h"
#include "engine/core/Endian.h"

#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstdio>
#include <thread>   // steady_clock: <chrono> does not build under CP932
#include <vector>

using host::net::Endpoint;
using host::net::IoResult;
using host::net::Net;
using host::net::Socket;
using host::net::kNoSocket;

// ---------------------------------------------------------------- records

namespace line_wire {

namespace {
}  // namespace

const char* DescribeLineError(LineError error)
{
    switch (error) {
    case LineError::kNone: return "accepted";
    case LineError::kLength: return "not the record's length";
    case LineError::kSize: return "packet size outside 2..1400";
    case LineError::kCount: return "packet count over 1000";
    case LineError::kTooMany: return "more datagrams counted than the test sent";
    case LineError::kSequence: return "sequence number outside the test";
    }
    return "unknown";
}

LineError ReadHeader(const u8* bytes, size_t length, Header* out)
{
    if (length != kHeaderBytes) return LineError::kLength;
    const Header header{GetLe16(bytes), GetLe16(bytes + 2)};
    if (header.size < kMinSize || header.size > kMaxSize) return LineError::kSize;
    if (header.count > kMaxCount) return LineError::kCount;
    *out = header;
    return LineError::kNone;
}

std::array<u8, kHeaderBytes> WriteHeader(const Header& header)
{
    return {u8(header.count), u8(header.count >> 8), u8(header.size), u8(header.size >> 8)};
}

LineError ReadMarker(const u8* bytes, size_t length, u32* out)
{
    if (length != kWordBytes) return LineError::kLength;
    *out = GetLe32(bytes);
    return LineError::kNone;
}

LineError ReadDatagramCount(const u8* bytes, size_t length, u16 packetCount, u32* out)
{
    if (length != kWordBytes) return LineError::kLength;
    const u32 value = GetLe32(bytes);
    if (value > (packetCount ? packetCount - 1u : 0u)) return LineError::kTooMany;
    *out = value;
    return LineError::kNone;
}

std::array<u8, kWordBytes> WriteWord(u32 value)
{
    return {u8(value), u8(value >> 8), u8(value >> 16), u8(value >> 24)};
}

LineError ReadDatagram(const u8* bytes, size_t length, const DatagramTally& tally, u16* sequence)
{
    // Empty and one-byte datagrams carry no sequence number.
    if (length < kMinSize) return LineError::kLength;
    if (tally.count == 0) return LineError::kSequence;   // no test running on the link yet
    if (length != tally.size) return LineError::kLength;
    const u16 value = GetLe16(bytes);
    if (value >= tally.count) return LineError::kSequence;
    *sequence = value;
    return LineError::kNone;
}

LineError CountDatagram(DatagramTally& tally, const u8* bytes, size_t length)
{
    u16 sequence = 0;
    const LineError error = ReadDatagram(bytes, length, tally, &sequence);
    if (error != LineError::kNone) return error;
    if (sequence > tally.highest) {
        tally.highest = sequence;
        ++tally.received;
    }
    return LineError::kNone;
}

void StampDatagram(u8* bytes, u16 sequence)
{
    bytes[0] = u8(sequence);
    bytes[1] = u8(sequence >> 8);
}

}  // namespace line_wire

// ---------------------------------------------------------------- the test

namespace {

using line_wire::LineError;

constexpr size_t kPieceBytes = 1400;       // each send and receive of a block
constexpr size_t kDatagramCapacity = 4096;
constexpr u32 kUdpWaitMs = 1000;
constexpr u32 kAcceptRetryMs = 100;
constexpr u32 kErrorPauseMs = 10;
constexpr int32_t kBacklog = 0x7fffffff;

void Log(const char* what, u32 address, const char* reason)
{
    std::fprintf(stderr, "line test: %s %s: %s\n", what, host::net::FormatAddress(address).c_str(), reason);
}

// The pacing is taken off the time; a line faster than its pacing (or a
// clock that stood still) gives 0, not a wrapped count.
u32 LessPacing(u32 elapsed, u32 pacing) { return elapsed > pacing ? elapsed - pacing : 0; }

// Real time, whatever clock the kernel service has installed.
class Deadline {
public:
    explicit Deadline(u32 ms) : m_end(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
    static Deadline Never() { return Deadline(0xFFFFFFFFu); }
    u32 Remaining() const
    {
        const auto left = m_end - std::chrono::steady_clock::now();
        return left.count() <= 0 ? 0 : u32(std::chrono::ceil<std::chrono::milliseconds>(left).count());
    }

private:
    std::chrono::steady_clock::time_point m_end;
};

struct Link {
    Socket socket = kNoSocket;
    u32 address = 0;                               // the peer's
    Endpoint udpPeer;                              // where our datagrams go
    std::unique_ptr<host::kernel::Thread> thread;  // responder links
    line_wire::DatagramTally tally;                // under the lock
    bool responder = false;
    bool answered = false;                         // under the lock: the last word is going out
};

enum class Drained { kNothing, kSome, kEnded };

}  // namespace

struct CLineTest::Impl {
    Impl(Net& n, u32 blockMs) : net(n), blockTimeoutMs(blockMs) {}

    Net& net;
    const u32 blockTimeoutMs;
    host::kernel::CriticalSection lock;          // a leaf
    host::kernel::Event stop{true, false};       // set by Shutdown: pacing and retries end
    host::kernel::Event runsDone{true, true};    // no Run inside
    // Under the lock:
    u16 port = 0;
    Socket listener = kNoSocket;
    Socket udp = kNoSocket;
    bool stopping = false;
    u32 runs = 0;
    std::vector<std::unique_ptr<Link>> links;     // live links
    std::vector<std::unique_ptr<Link>> finished;  // responder links whose thread is ending
    std::array<u8, kDatagramCapacity> datagram{};
    // Only Init and Shutdown touch these.
    std::unique_ptr<host::kernel::Thread> acceptThread, udpThread;

    bool StartListener();
    bool StartUdp();
    void Stop();

    // Each within the block time-out and the whole test's deadline.
    bool SendBlock(Socket socket, const u8* data, size_t bytes, const Deadline& test = Deadline::Never());
    bool ReceiveBlock(Socket socket, u8* data, size_t bytes, const Deadline& test = Deadline::Never());
    bool Pace() { return stop.Wait(kPacingMs) == host::kernel::kWaitTimeout; }
    Drained DrainDatagrams();
    bool SendDatagrams(Socket udpSocket, Endpoint to, std::vector<u8>& block, u16 count);

    Link* AddLink(Socket socket, u32 address, Endpoint udpPeer, bool responder);
    void RemoveLink(Link* link);
    void JoinLinks(std::vector<std::unique_ptr<Link>>& taken);

    bool RunTest(u32 address, line_wire::Header header, LineTestResults& results);
    bool TesterSteps(Link& link, line_wire::Header header, Socket udpSocket, LineTestResults& results);

    u32 AcceptLoop();
    void ReapFinished();
    void StartLink(Socket socket, Endpoint from);
    u32 LinkThread(Link& link);
    void ResponderSteps(Link& link);
    u32 UdpLoop();
};

// ---------------------------------------------------------------- blocks

bool CLineTest::Impl::SendBlock(Socket socket, const u8* data, size_t bytes, const Deadline& test)
{
    const Deadline deadline(blockTimeoutMs);
    size_t done = 0;
    while (done < bytes) {
        const u32 left = std::min(deadline.Remaining(), test.Remaining());
        const int32_t ready = net.Wait(socket, host::net::kEventWrite, left);
        if (ready == host::net::kWaitFailed) return false;
        if (!(ready & host::net::kEventWrite)) {
            if (ready & host::net::kEventClose || left == 0) return false;
            continue;
        }
        const IoResult sent = net.Send(socket, data + done, std::min(bytes - done, kPieceBytes));
        if (sent.bytes > 0)
            done += size_t(sent.bytes);
        else if (sent.error != host::net::Error::WouldBlock)
            return false;
    }
    return true;
}

bool CLineTest::Impl::ReceiveBlock(Socket socket, u8* data, size_t bytes, const Deadline& test)
{
    const Deadline deadline(blockTimeoutMs);
    size_t done = 0;
    while (done < bytes) {
        const u32 left = std::min(deadline.Remaining(), test.Remaining());
        const int32_t ready = net.Wait(socket, host::net::kEventRead, left);
        if (ready == host::net::kWaitFailed) return false;
        if (ready == 0) {
            if (left == 0) return false;
            continue;
        }
        // After a close event the rest is still read; then 0 bytes fail.
        const IoResult got = net.Receive(socket, data + done, std::min(bytes - done, kPieceBytes));
        if (got.bytes > 0)
            done += size_t(got.bytes);
        else if (got.error != host::net::Error::WouldBlock || (ready & host::net::kEventClose))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- datagrams

// Takes every datagram waiting, each under the lock (the receive does not
// block). Run and the link threads call it too, before they read a tally, so
// datagrams sent before the peer's TCP word are counted.
Drained CLineTest::Impl::DrainDatagrams()
{
    Drained result = Drained::kNothing;
    for (;;) {
        host::kernel::Lock hold(lock);
        if (udp == kNoSocket || stopping) return Drained::kEnded;
        Endpoint from;
        const IoResult got = net.ReceiveFrom(udp, datagram.data(), datagram.size(), &from);
        if (got.bytes < 0) return result;   // nothing more now, or an error the next wait shows
        if (got.bytes == 0 && got.error == host::net::Error::Closed) return Drained::kEnded;
        result = Drained::kSome;
        const auto link = std::find_if(links.begin(), links.end(),
                                       [&](const auto& l) { return l->address == from.address; });
        if (link == links.end()) continue;
        const LineError error = line_wire::CountDatagram((*link)->tally, datagram.data(), size_t(got.bytes));
        if (error != LineError::kNone) Log("datagram skipped from", from.address, line_wire::DescribeLineError(error));
    }
}

bool CLineTest::Impl::SendDatagrams(Socket udpSocket, Endpoint to, std::vector<u8>& block, u16 count)
{
    for (u16 i = 0; i < count; ++i) {
        line_wire::StampDatagram(block.data(), i);
        const IoResult sent = net.SendTo(udpSocket, block.data(), block.size(), to);
        if (sent.bytes != i32(block.size())) return false;
        if (!Pace()) return false;
    }
    return true;
}

u32 CLineTest::Impl::UdpLoop()
{
    host::kernel::SetThreadName("line-udp");
    for (;;) {
        Socket socket;
        {
            host::kernel::Lock hold(lock);
            if (stopping || udp == kNoSocket) break;
            socket = udp;
        }
        const int32_t ready = net.Wait(socket, host::net::kEventRead, kUdpWaitMs);
        if (ready == host::net::kWaitFailed) break;
        if (ready == 0) continue;
        const Drained drained = DrainDatagrams();
        if (drained == Drained::kEnded) break;
        // A pending error with nothing to read: do not spin on it.
        if (drained == Drained::kNothing && stop.Wait(kErrorPauseMs) == 0) break;
    }
    return 0;
}

// ---------------------------------------------------------------- links

Link* CLineTest::Impl::AddLink(Socket socket, u32 address, Endpoint udpPeer, bool responder)
{
    host::kernel::Lock hold(lock);
    if (stopping || links.size() >= kMaxLinks) return nullptr;
    auto link = std::make_unique<Link>();
    link->socket = socket;
    link->address = address;
    link->udpPeer = udpPeer;
    link->responder = responder;
    links.push_back(std::move(link));
    return links.back().get();
}

// A tester's link: out of the list, then closed (only Run used it).
void CLineTest::Impl::RemoveLink(Link* link)
{
    Socket socket = kNoSocket;
    {
        host::kernel::Lock hold(lock);
        const auto it = std::find_if(links.begin(), links.end(), [&](const auto& l) { return l.get() == link; });
        if (it == links.end()) return;
        socket = (*it)->socket;
        links.erase(it);
    }
    net.Close(socket);
}

void CLineTest::Impl::JoinLinks(std::vector<std::unique_ptr<Link>>& taken)
{
    for (auto& link : taken) {
        if (link->thread) link->thread->Join();
        net.Close(link->socket);
    }
    taken.clear();
}

void CLineTest::Impl::ReapFinished()
{
    std::vector<std::unique_ptr<Link>> taken;
    {
        host::kernel::Lock hold(lock);
        taken.swap(finished);
    }
    JoinLinks(taken);
}

// ---------------------------------------------------------------- tester

bool CLineTest::Impl::RunTest(u32 address, line_wire::Header header, LineTestResults& results)
{
    Socket udpSocket;
    u16 testPort;
    {
        host::kernel::Lock hold(lock);
        if (stopping || udp == kNoSocket) return false;
        udpSocket = udp;
        testPort = port;
        ++runs;
        runsDone.Reset();
    }
    bool ok = false;
    const Socket socket = net.Open(host::net::Type::Stream);
    // In the list before the connect, so Shutdown can cut a connect short.
    Link* link = socket == kNoSocket ? nullptr : AddLink(socket, address, {address, testPort}, false);
    if (!link) {
        net.Close(socket);
    } else {
        {
            host::kernel::Lock hold(lock);
            link->tally.count = header.count;
            link->tally.size = header.size;
        }
        if (net.Connect(socket, {address, testPort}, blockTimeoutMs) == host::net::Error::None)
            ok = TesterSteps(*link, header, udpSocket, results);
        RemoveLink(link);
    }
    host::kernel::Lock hold(lock);
    if (--runs == 0) runsDone.Set();
    return ok;
}

bool CLineTest::Impl::TesterSteps(Link& link, line_wire::Header header, Socket udpSocket, LineTestResults& results)
{
    const auto head = line_wire::WriteHeader(header);
    if (!SendBlock(link.socket, head.data(), head.size())) return false;
    std::vector<u8> block(header.size);

    u32 start = host::kernel::TimeGetTime();
    for (u16 i = 0; i < header.count; ++i)
        if (!SendBlock(link.socket, block.data(), block.size()) || !Pace()) return false;
    results.tcpSendMs = LessPacing(host::kernel::TimeGetTime() - start, kPacingMs * header.count);

    start = host::kernel::TimeGetTime();
    for (u16 i = 0; i < header.count; ++i)
        if (!ReceiveBlock(link.socket, block.data(), block.size())) return false;
    results.tcpReceiveMs = LessPacing(host::kernel::TimeGetTime() - start, kPacingMs * header.count);

    start = host::kernel::TimeGetTime();
    if (!SendDatagrams(udpSocket, link.udpPeer, block, header.count)) return false;
    const auto marker = line_wire::WriteWord(results.datagramsCounted);   // still 0
    if (!SendBlock(link.socket, marker.data(), marker.size())) return false;
    u8 word[line_wire::kWordBytes];
    if (!ReceiveBlock(link.socket, word, sizeof word)) return false;
    const LineError error = line_wire::ReadDatagramCount(word, sizeof word, header.count, &results.datagramsCounted);
    if (error != LineError::kNone) {
        Log("count refused from", link.address, line_wire::DescribeLineError(error));
        return false;
    }
    results.udpMs = LessPacing(host::kernel::TimeGetTime() - start, 2 * kPacingMs * header.count);

    if (DrainDatagrams() == Drained::kEnded) return false;
    host::kernel::Lock hold(lock);
    results.datagramsReceived = link.tally.received;
    return true;
}

// ---------------------------------------------------------------- responder

u32 CLineTest::Impl::AcceptLoop()
{
    host::kernel::SetThreadName("line-accept");
    for (;;) {
        ReapFinished();
        Socket socket;
        {
            host::kernel::Lock hold(lock);
            if (stopping || listener == kNoSocket) break;
            socket = listener;
        }
        const int32_t ready = net.Wait(socket, host::net::kEventRead, kUdpWaitMs);
        if (ready == host::net::kWaitFailed) break;
        if (!(ready & host::net::kEventRead)) {
            if (ready & host::net::kEventClose) break;
            continue;
        }
        Endpoint from;
        const Socket accepted = net.Accept(socket, &from);
        if (accepted != kNoSocket) {
            StartLink(accepted, from);
            continue;
        }
        // A failed accept (a connection gone before it was taken, no
        // descriptors left) does not end the responder for good.
        if (stop.Wait(kAcceptRetryMs) == 0) break;
    }
    return 0;
}

void CLineTest::Impl::StartLink(Socket socket, Endpoint from)
{
    host::kernel::Lock hold(lock);
    Link* link = nullptr;
    // One stranger must not hold every link and keep real tests out.
    const bool again = std::any_of(links.begin(), links.end(),
                                   [&](const auto& l) { return l->responder && !l->answered && l->address == from.address; });
    if (!stopping && !again && links.size() < kMaxLinks)
        link = AddLink(socket, from.address, {from.address, port}, true);
    if (!link) {
        Log("link refused from", from.address, again ? "a link from there runs" : "too many links at once");
        net.Close(socket);
        return;
    }
    // Still under the lock: the thread finds its handle set when it ends.
    link->thread = host::kernel::StartThread([this, link] { return LinkThread(*link); });
    if (!link->thread) {
        links.pop_back();
        net.Close(socket);
    }
}

u32 CLineTest::Impl::LinkThread(Link& link)
{
    host::kernel::SetThreadName("line-link");
    ResponderSteps(link);
    // Out of the list and over to the reaper, which joins, closes and frees
    // it; when Shutdown has taken it already, Shutdown does.
    host::kernel::Lock hold(lock);
    const auto it = std::find_if(links.begin(), links.end(), [&](const auto& l) { return l.get() == &link; });
    if (it != links.end()) {
        net.Shutdown(link.socket);
        finished.push_back(std::move(*it));
        links.erase(it);
    }
    return 0;
}

void CLineTest::Impl::ResponderSteps(Link& link)
{
    u8 head[line_wire::kHeaderBytes];
    if (!ReceiveBlock(link.socket, head, sizeof head)) return;
    line_wire::Header header;
    const LineError error = line_wire::ReadHeader(head, sizeof head, &header);
    if (error != LineError::kNone) {
        Log("header refused from", link.address, line_wire::DescribeLineError(error));
        return;
    }
    const Deadline test(TestDeadlineMs(header.count, blockTimeoutMs));
    Socket udpSocket;
    {
        host::kernel::Lock hold(lock);
        link.tally.count = header.count;
        link.tally.size = header.size;
        udpSocket = udp;
    }
    std::vector<u8> block(header.size);
    for (u16 i = 0; i < header.count; ++i)
        if (!ReceiveBlock(link.socket, block.data(), block.size(), test)) return;
    for (u16 i = 0; i < header.count; ++i)
        if (!SendBlock(link.socket, block.data(), block.size(), test) || !Pace()) return;
    u8 word[line_wire::kWordBytes];
    u32 marker = 0;
    if (!ReceiveBlock(link.socket, word, sizeof word, test)) return;
    if (line_wire::ReadMarker(word, sizeof word, &marker) != LineError::kNone) return;
    // A failed datagram ends the burst, not the test.
    SendDatagrams(udpSocket, link.udpPeer, block, header.count);
    if (DrainDatagrams() == Drained::kEnded) return;
    u32 received;
    {
        host::kernel::Lock hold(lock);
        received = link.tally.received;
        // The tester may start its next test the moment it reads this word,
        // before this link has left the list: it no longer counts as running.
        link.answered = true;
    }
    const auto count = line_wire::WriteWord(received);
    SendBlock(link.socket, count.data(), count.size(), test);
}

// ---------------------------------------------------------------- start and stop

bool CLineTest::Impl::StartListener()
{
    if (acceptThread) return true;
    const Socket socket = net.Open(host::net::Type::Stream);
    if (socket == kNoSocket) return false;
    if (net.Bind(socket, {host::net::kAnyAddress, port}) != host::net::Error::None ||
        net.Listen(socket, kBacklog) != host::net::Error::None) {
        net.Close(socket);
        return false;
    }
    listener = socket;
    acceptThread = host::kernel::StartThread([this] { return AcceptLoop(); });
    if (!acceptThread) {
        net.Close(socket);
        listener = kNoSocket;
    }
    return acceptThread != nullptr;
}

bool CLineTest::Impl::StartUdp()
{
    if (udpThread) return true;
    const Socket socket = net.Open(host::net::Type::Datagram);
    if (socket == kNoSocket) return false;
    if (net.Bind(socket, {host::net::kAnyAddress, port}) != host::net::Error::None) {
        net.Close(socket);
        return false;
    }
    net.Wait(socket, host::net::kEventRead, 0);   // non-blocking from now on
    udp = socket;
    udpThread = host::kernel::StartThread([this] { return UdpLoop(); });
    if (!udpThread) {
        net.Close(socket);
        udp = kNoSocket;
    }
    return udpThread != nullptr;
}

void CLineTest::Impl::Stop()
{
    std::unique_ptr<host::kernel::Thread> accept, datagrams;
    {
        host::kernel::Lock hold(lock);
        stopping = true;
        stop.Set();
        if (listener != kNoSocket) net.Shutdown(listener);
        if (udp != kNoSocket) net.Shutdown(udp);
        for (const auto& link : links) net.Shutdown(link->socket);
        accept = std::move(acceptThread);
        datagrams = std::move(udpThread);
    }
    if (accept) accept->Join();
    if (datagrams) datagrams->Join();

    // No link starts now; the responder's are joined outside the lock.
    std::vector<std::unique_ptr<Link>> taken;
    {
        host::kernel::Lock hold(lock);
        taken.swap(finished);
        for (auto it = links.begin(); it != links.end();) {
            if ((*it)->responder) {
                taken.push_back(std::move(*it));
                it = links.erase(it);
            } else {
                ++it;
            }
        }
    }
    JoinLinks(taken);
    // A Run inside gives up at its next step: its socket is shut down and
    // its pacing ends; each step is bounded anyway.
    if (runsDone.Wait(2 * blockTimeoutMs) != 0)
        std::fprintf(stderr, "line test: a test still runs at shutdown\n");

    host::kernel::Lock hold(lock);
    if (listener != kNoSocket) net.Close(listener);
    if (udp != kNoSocket) net.Close(udp);
    listener = udp = kNoSocket;
}

// ---------------------------------------------------------------- CLineTest

CLineTest::CLineTest(Net* net, u32 blockTimeoutMs)
    : m_net(net ? *net : host::net::DefaultNet()), m_impl(std::make_unique<Impl>(m_net, blockTimeoutMs))
{
}

CLineTest::~CLineTest() { Shutdown(); }

i32 CLineTest::Init(u16 port)
{
    host::kernel::Lock hold(m_impl->lock);
    if (!m_impl->acceptThread && !m_impl->udpThread) {
        m_impl->port = port;
        m_impl->stopping = false;
        m_impl->stop.Reset();
    }
    const bool listening = m_impl->StartListener();
    const bool datagrams = m_impl->StartUdp();
    return listening && datagrams ? 1 : 0;
}

i32 CLineTest::Run(u32 address, u16 size, u16 count, LineTestResults* results)
{
    if (!results) return 0;
    *results = {};
    const auto head = line_wire::WriteHeader({count, size});
    line_wire::Header header;
    const LineError error = line_wire::ReadHeader(head.data(), head.size(), &header);
    if (error != LineError::kNone) {
        Log("test refused for", address, line_wire::DescribeLineError(error));
        return 0;
    }
    return m_impl->RunTest(address, header, *results) ? 1 : 0;
}

void CLineTest::Shutdown() { m_impl->Stop(); }

u16 CLineTest::GetPort() const
{
    host::kernel::Lock hold(m_impl->lock);
    return m_impl->port;
}
