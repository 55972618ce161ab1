#include "game/network/NetClient.h"

#include <cstdio>
#include <cstring>
#include <vector>

using host::net::Error;
using host::net::IoResult;
using host::net::Net;
using host::net::Socket;

namespace peer {

namespace {
thread_local bool t_networkThread = false;

constexpr u32 kReceiveBytes = 4096;
constexpr u32 kWaitMs = 1000;
// Bytes a full socket leaves queued go out from the receive thread: it
// looks at least this often, and while some are queued, this often.
constexpr u32 kReadWaitMs = 100;
constexpr u32 kFlushWaitMs = 10;
// Queued past what the socket holds: more, and the peer is let go.
constexpr size_t kMaxQueuedBytes = size_t(1) << 20;
constexpr u32 kMaxReceiveFailures = 200;
}  // namespace

bool OnNetworkThread() { return t_networkThread; }
void MarkNetworkThread() { t_networkThread = true; }

}  // namespace peer

// ---------------------------------------------------------------- stream

bool CPeerStream::Receive(const u8* data, size_t size)
{
    if (m_error != peer::WireError::kNone) return false;
    while (size > 0) {
        if (m_skipping > 0) {
            const size_t skip = std::min<size_t>(m_skipping, size);
            m_skipping -= u32(skip);
            data += skip;
            size -= skip;
            continue;
        }
        if (m_queue.TailIncomplete()) {
            const size_t took = m_queue.FillTail(data, size);
            data += took;
            size -= took;
            continue;
        }
        // A new message: its header may come in pieces.
        const size_t take = std::min(size, peer::kHeaderBytes - m_headerBytes);
        std::memcpy(m_header + m_headerBytes, data, take);
        m_headerBytes += take;
        data += take;
        size -= take;
        if (m_headerBytes < peer::kHeaderBytes) break;
        m_headerBytes = 0;
        peer::PeerMessageHeader header;
        peer::WireError error = peer::ReadHeader(m_header, peer::kHeaderBytes, &header);
        const i16 type = i16(m_header[0] | m_header[1] << 8);
        if (error == peer::WireError::kTooLong && !peer::FindTypeRule(type)) {
            // A type this game does not send, longer than it holds for any
            // message: read past it (nothing is kept) and go on, as the
            // receiver would ignore it anyway.
            m_skipping = u32(m_header[4]) | u32(m_header[5]) << 8 | u32(m_header[6]) << 16 | u32(m_header[7]) << 24;
            ++m_skipped;
            continue;
        }
        if (error == peer::WireError::kNone) error = peer::CheckHeader(header, m_from);
        if (error != peer::WireError::kNone) {
            m_error = error;
            m_refused = {i16(m_header[0] | m_header[1] << 8), u16(m_header[2] | m_header[3] << 8),
                         u32(m_header[4]) | u32(m_header[5]) << 8 | u32(m_header[6]) << 16 | u32(m_header[7]) << 24};
            return false;
        }
        m_queue.Push(m_header, peer::kHeaderBytes, i32(peer::kHeaderBytes + header.length));
    }
    return true;
}

bool CPeerStream::ParseMessages(IPeerStreamSink& sink)
{
    std::vector<u8> message;
    while (m_queue.HeadComplete()) {
        m_queue.Pop(message);
        const i32 type = i16(message[0] | message[1] << 8);
        const u32 length = u32(message.size() - peer::kHeaderBytes);
        if (type == peer::kPing)
            sink.OnPing();
        else if (type == peer::kPong)
            sink.OnPong();
        else if (!sink.OnMessage(type, message.data() + peer::kHeaderBytes, length))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- connection

struct CNetConnection final : IPeerStreamSink {
    enum State : u8 { kEnded = 0, kReceiving = 1, kStopRequested = 2, kStarting = 3 };

    CNetConnection(Net& n, Socket s, CNetClient* o, const peer::Callbacks& c, peer::Sender from)
        : net(n), socket(s), owner(o), callbacks(c), stream(from)
    {
    }

    Net& net;
    const Socket socket;   // closed only after the thread was joined
    CNetClient* const owner;
    const peer::Callbacks callbacks;
    host::kernel::CriticalSection queueLock;
    host::kernel::CriticalSection stateLock;
    State state = kStarting;   // state lock
    bool shut = false;         // state lock: Shutdown was called
    CPeerStream stream;        // queue lock
    host::kernel::Event go{true, false};
    std::unique_ptr<host::kernel::Thread> thread;
    // What the socket had no room for, oldest first (the owner's send lock).
    std::vector<u8> queued;
    // Bytes read before the thread started (by the accept thread that let
    // the connection in); its thread takes them first.
    std::vector<u8> early;
    std::atomic<bool> hasQueued{false};

    // As much as the socket takes now, without waiting: false on a failure.
    bool WriteNow(const u8* data, size_t size, size_t* sent)
    {
        *sent = 0;
        while (*sent < size) {
            const IoResult r = net.Send(socket, data + *sent, std::min<size_t>(size - *sent, peer::kSendPieceBytes));
            if (r.bytes > 0) {
                *sent += size_t(r.bytes);
                continue;
            }
            return r.bytes < 0 && r.error == Error::WouldBlock;
        }
        return true;
    }
    // The queued bytes, as far as they go now (the owner's send lock held).
    bool Flush()
    {
        if (queued.empty()) return true;
        size_t sent = 0;
        const bool ok = WriteNow(queued.data(), queued.size(), &sent);
        queued.erase(queued.begin(), queued.begin() + std::ptrdiff_t(sent));
        hasQueued.store(!queued.empty());
        return ok;
    }

    // Flags the stop and wakes the thread; true the first time.
    bool Shut()
    {
        host::kernel::Lock lock(stateLock);
        if (state != kEnded) state = kStopRequested;
        if (shut) return false;
        shut = true;
        net.Shutdown(socket);
        return true;
    }
    bool Live()
    {
        host::kernel::Lock lock(stateLock);
        return !shut && state != kEnded;
    }
    bool Ended()
    {
        host::kernel::Lock lock(stateLock);
        return state == kEnded;
    }
    bool Stopping()
    {
        host::kernel::Lock lock(stateLock);
        return state == kStopRequested;
    }

    void OnPing() override
    {
        if (!Live()) return;
        u8 pong[peer::kHeaderBytes];
        peer::WriteHeader({peer::kPong, peer::kSubType, 0}, pong);
        // Never waited for: this thread would hold the peer's send lock
        // while the socket stays full, and every broadcast (the frame's
        // ping, a relay under the host lock) would wait behind it. A peer
        // that pings and does not read its pongs is let go.
        owner->SendOn(this, pong, sizeof pong, "the peer does not read its pongs");
    }
    void OnPong() override { owner->missedPong.store(false); }
    i32 OnMessage(i32 type, const u8* payload, u32 length) override
    {
        return callbacks.message ? callbacks.message(callbacks.messageContext, owner, payload, type, length) : 1;
    }

    void Run();
    // In place of Run for a held connection that never got a thread (its
    // accept callback refused it, or none could be made).
    void EndUnstarted()
    {
        owner->Shut(this, nullptr);
        if (callbacks.disconnect) callbacks.disconnect(callbacks.disconnectContext, owner);
        host::kernel::Lock lock(stateLock);
        state = kEnded;
    }
    // Reads until the end of the stream; the reason it stopped, or null.
    const char* ReadLoop();
    // Received bytes through reassembly and out to the callbacks: false
    // when the stream stops (*reason set when a header was refused).
    bool Take(const u8* data, size_t size, const char** reason);
};

void CNetConnection::Run()
{
    host::kernel::SetThreadName("net-recv");   // a pooled thread: named by what it runs
    peer::MarkNetworkThread();
    {
        host::kernel::Lock lock(stateLock);
        if (state == kStarting) state = kReceiving;
    }
    // A held connection waits for its accept callback to return.
    while (go.Wait(peer::kWaitMs) == host::kernel::kWaitTimeout && !Stopping()) {
    }
    // Whatever ended the loop, the other side learns of it now, not when
    // Update frees the peer.
    owner->Shut(this, ReadLoop());
    if (callbacks.disconnect) callbacks.disconnect(callbacks.disconnectContext, owner);
    host::kernel::Lock lock(stateLock);
    state = kEnded;
}

bool CNetConnection::Take(const u8* data, size_t size, const char** reason)
{
    host::kernel::Lock lock(queueLock);
    const bool whole = stream.Receive(data, size);
    // What came whole before a refused header still counts.
    if (!stream.ParseMessages(*this)) return false;
    if (whole) return true;
    static thread_local char text[96];
    std::snprintf(text, sizeof text, "%s (type %d, length %u)", peer::DescribeWireError(stream.Error()),
                  i32(stream.Refused().type), unsigned(stream.Refused().length));
    *reason = text;
    return false;
}

const char* CNetConnection::ReadLoop()
{
    static thread_local u8 buffer[peer::kReceiveBytes];
    u32 failures = 0;
    const char* reason = nullptr;
    if (!early.empty()) {
        const std::vector<u8> first = std::move(early);
        if (!Take(first.data(), first.size(), &reason)) return reason;
    }
    for (;;) {
        if (Stopping()) return nullptr;
        const bool flushing = hasQueued.load();
        const i32 events = net.Wait(socket, host::net::kEventRead | (flushing ? u32(host::net::kEventWrite) : 0u),
                                    flushing ? peer::kFlushWaitMs : peer::kReadWaitMs);
        if (events == host::net::kWaitFailed) {
            if (++failures >= peer::kMaxReceiveFailures) return "the socket cannot be waited on";
            continue;
        }
        if (hasQueued.load()) owner->FlushQueued(this);
        // A close notification is not the end: what came before it is read
        // first, until the receive gives 0.
        if ((events & (host::net::kEventRead | host::net::kEventClose)) == 0) continue;
        const IoResult r = net.Receive(socket, buffer, sizeof buffer);
        if (r.bytes > 0) {
            failures = 0;
            if (!Take(buffer, size_t(r.bytes), &reason)) return reason;
            continue;
        }
        if (r.bytes == 0 || r.error == Error::Closed || r.error == Error::Reset) return nullptr;
        if (r.error == Error::WouldBlock) continue;
        if (++failures >= peer::kMaxReceiveFailures) return "receive failed 200 times";
    }
}

void CNetConnectionDeleter::operator()(CNetConnection* connection) const { delete connection; }

// ---------------------------------------------------------------- peer

void DrawPeerId(CRandom& random, char out[peer::kPeerIdBytes])
{
    for (u32 i = 0; i + 1 < peer::kPeerIdBytes; ++i) {
        if (i % 9 < 8) {
            const u32 r = random.Next() % 26;
            const u32 c = random.Next() % 2;
            out[i] = char(r + (c > 0 ? 'a' : 'A'));
        } else {
            out[i] = '-';
        }
    }
    out[peer::kPeerIdBytes - 1] = 0;
}

CNetClient::CNetClient(const char* name, CRandom& random) : m_name(name ? name : "")
{
    DrawPeerId(random, m_peerId);
}

CNetClient::~CNetClient() { Release(); }

i32 CNetClient::Attach(Net& net, Socket socket, u16 port, u8 channel, const peer::Callbacks& callbacks,
                       peer::Sender from, bool held, ConnectionPtr& replaced)
{
    if (channel != peer::kStreamChannel || socket == host::net::kNoSocket) return 0;
    // Non-blocking from the start (a wait makes it so): a send to a peer that
    // reads nothing must never block, also before its thread runs.
    net.Wait(socket, host::net::kEventWrite, 0);
    ConnectionPtr connection(new CNetConnection(net, socket, this, callbacks, from));
    // A held connection gets its thread when it is let in: a refused one
    // never needs one.
    if (!held) {
        connection->go.Set();
        connection->thread = StartReceiveThread(connection.get());
        if (!connection->thread) return 0;
    }
    host::kernel::Lock lock(m_sendLock);
    replaced = std::move(m_stream);
    m_stream = std::move(connection);
    m_port = port;
    missedPong.store(false);
    {
        host::kernel::Lock reason(m_reasonLock);
        m_closeReason.clear();
    }
    return 1;
}

std::unique_ptr<host::kernel::Thread> CNetClient::StartReceiveThread(CNetConnection* connection)
{
    // Pooled: making a thread per connection cost a room host far more than
    // the connection itself (a few hundred a second on a loaded machine).
    return host::kernel::StartPooledThread([connection] {
        connection->Run();
        return 0u;
    });
}

void CNetClient::StartReceiving(const u8* early, size_t size)
{
    CNetConnection* unstarted = nullptr;
    {
        host::kernel::Lock lock(m_sendLock);
        if (!m_stream) return;
        if (size > 0 && !m_stream->thread) m_stream->early.assign(early, early + size);
        m_stream->go.Set();
        if (m_stream->thread) return;
        m_stream->thread = StartReceiveThread(m_stream.get());
        if (m_stream->thread) return;
        Shut(m_stream.get(), "no thread for the connection");
        unstarted = m_stream.get();
    }
    // Its disconnect callback takes the caller's locks: not under the send lock.
    unstarted->EndUnstarted();
}

void CNetClient::EndUnstarted()
{
    CNetConnection* connection = nullptr;
    {
        host::kernel::Lock lock(m_sendLock);
        if (!m_stream || m_stream->thread) return;
        connection = m_stream.get();
    }
    connection->EndUnstarted();
}

i32 CNetClient::SendOn(CNetConnection* connection, const u8* data, size_t size, const char* fullReason)
{
    host::kernel::Lock lock(m_sendLock);
    if (!connection || !connection->Live()) return 1;
    // Never waits: the callers hold the host lock or the scene's, and a
    // peer that reads nothing would hold them all. What the socket has no
    // room for is queued behind what was queued before, in order.
    size_t sent = 0;
    if (!connection->Flush() || (connection->queued.empty() && !connection->WriteNow(data, size, &sent))) {
        Shut(connection, "send failed");
        return 0;
    }
    if (sent == size) return 1;
    if (fullReason || connection->queued.size() + (size - sent) > peer::kMaxQueuedBytes) {
        Shut(connection, fullReason ? fullReason : "the peer does not read");
        return 0;
    }
    connection->queued.insert(connection->queued.end(), data + sent, data + size);
    connection->hasQueued.store(true);
    return 1;
}

void CNetClient::FlushQueued(CNetConnection* connection)
{
    host::kernel::Lock lock(m_sendLock);
    if (connection->Live() && !connection->Flush()) Shut(connection, "send failed");
}

i32 CNetClient::SendPacket(const void* data, u32 size, u8 channel)
{
    if (channel != peer::kStreamChannel) return 1;   // no datagram socket is ever opened
    host::kernel::Lock lock(m_sendLock);
    return SendOn(m_stream.get(), static_cast<const u8*>(data), size);
}

i32 CNetClient::SendHeader(i16 type, u16 subType, u8 channel)
{
    u8 header[peer::kHeaderBytes];
    peer::WriteHeader({type, subType, 0}, header);
    return SendPacket(header, sizeof header, channel);
}

bool CNetClient::IsClosed() const { return !m_stream || m_stream->Ended(); }

bool CNetClient::IsLive() const
{
    host::kernel::Lock lock(m_sendLock);
    return m_stream && m_stream->Live();
}

void CNetClient::CloseStream(const char* reason)
{
    host::kernel::Lock lock(m_sendLock);
    Shut(m_stream.get(), reason);
}

void CNetClient::Shut(CNetConnection* connection, const char* reason)
{
    host::kernel::Lock lock(m_sendLock);
    if (!connection || !connection->Shut() || !reason) return;
    std::fprintf(stderr, "peer %s closed: %s\n", m_name.c_str(), reason);
    if (connection != m_stream.get()) return;
    host::kernel::Lock hold(m_reasonLock);
    if (m_closeReason.empty()) m_closeReason = reason;
}

std::string CNetClient::GetCloseReason() const
{
    host::kernel::Lock lock(m_reasonLock);
    return m_closeReason;
}

void CNetClient::Release()
{
    ConnectionPtr stream;
    {
        host::kernel::Lock lock(m_sendLock);
        stream = std::move(m_stream);
    }
    CloseConnection(std::move(stream));
}

void CNetClient::CloseConnection(ConnectionPtr connection)
{
    if (!connection) return;
    connection->Shut();
    connection->go.Set();
    // Joined before anything is freed: the thread may still be leaving the
    // state lock after it set the ended state.
    if (connection->thread) connection->thread->Join();
    connection->net.Close(connection->socket);
}
