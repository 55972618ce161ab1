// One peer of the room (CNetClient), its stream connection with the
// net-recv thread, and the reassembly of the peer stream (CPeerStream),
// which the thread and the fuzz driver both run.
//
// Locks, outermost first: the connection's queue lock (its thread only,
// around reassembly and the message callback) → callers' → the host lock →
// the peer's send lock (each message written whole under it) → the
// connection's state lock. A connection is closed by flagging it and
// shutting its socket down under the state lock, then joining its thread
// with no lock held, then closing the socket.
#pragma once

#include "engine/core/Random.h"
#include "engine/core/Types.h"
#include "game/network/NetHost.h"
#include "game/network/PacketQueue.h"
#include "game/network/PeerWire.h"
#include "host/kernel/Kernel.h"
#include "host/net/Net.h"

#include <atomic>
#include <memory>
#include <string>

namespace peer {
// True on the net-accept and net-recv threads, which must never join.
bool OnNetworkThread();
void MarkNetworkThread();
}  // namespace peer

// What the parse step hands complete messages to.
class IPeerStreamSink {
public:
    virtual ~IPeerStreamSink() = default;
    virtual void OnPing() = 0;
    virtual void OnPong() = 0;
    // Nonzero goes on; 0 stops the stream.
    virtual i32 OnMessage(i32 type, const u8* payload, u32 length) = 0;
};

// Reassembly of a peer stream: bytes in any cuts, messages whole and in
// order. A header cut across receives waits here for the rest; a header the
// type table refuses stops the stream before its payload is kept; one of a
// type of no rule and over the length bound is read past, nothing kept.
class CPeerStream {
public:
    explicit CPeerStream(peer::Sender from = peer::Sender::kEither) : m_from(from) {}
    // Takes a run of bytes; false once a header was refused (Error()).
    bool Receive(const u8* data, size_t size);
    // Hands over the complete messages in order; false when the sink said 0.
    bool ParseMessages(IPeerStreamSink& sink);
    peer::WireError Error() const { return m_error; }
    // The refused header's type and length.
    const peer::PeerMessageHeader& Refused() const { return m_refused; }
    size_t QueuedMessages() const { return m_queue.Count(); }
    // Messages of unknown types over the length bound, read past.
    u32 SkippedMessages() const { return m_skipped; }

private:
    peer::Sender m_from;
    u8 m_header[peer::kHeaderBytes] = {};
    size_t m_headerBytes = 0;
    u32 m_skipping = 0;   // bytes still to read past
    u32 m_skipped = 0;
    CPacketQueue m_queue;
    peer::WireError m_error = peer::WireError::kNone;
    peer::PeerMessageHeader m_refused;
};

struct CNetConnection;
// Frees a connection (closed already: CNetClient::CloseConnection).
struct CNetConnectionDeleter {
    void operator()(CNetConnection* connection) const;
};
using ConnectionPtr = std::unique_ptr<CNetConnection, CNetConnectionDeleter>;

class CNetClient {
public:
    // Copies the name (the peer's dotted address, or the text it was
    // connected by) and draws the peer ID from random.
    CNetClient(const char* name, CRandom& random);
    // Release.
    ~CNetClient();
    CNetClient(const CNetClient&) = delete;
    CNetClient& operator=(const CNetClient&) = delete;

    const char* GetName() const { return m_name.c_str(); }
    const char* GetPeerId() const { return m_peerId; }
    const char* GetClassName() const { return "CNetClient"; }

    // Starts a stream connection on socket (channel 1 only) for messages
    // from `from`. A held connection reads nothing, and has no thread, until
    // StartReceiving. The connection it replaces goes to `replaced`: close it
    // (CloseConnection) once the host lock is released. 1, or 0 when the
    // thread cannot start.
    i32 Attach(host::net::Net& net, host::net::Socket socket, u16 port, u8 channel, const peer::Callbacks& callbacks,
               peer::Sender from, bool held, ConnectionPtr& replaced);
    // A held connection's thread starts (it reads from now on); the bytes
    // given, read from its socket already, are taken first.
    void StartReceiving(const u8* early = nullptr, size_t size = 0);
    // A held connection refused before it read anything ends on the calling
    // thread, without one of its own: the disconnect callback runs here.
    void EndUnstarted();

    // Whole under the send lock, in order; never waits for a full socket
    // (the rest is queued, 1 MiB at most). A failed send, or a peer past
    // that, shuts the connection down (its thread ends and reports the
    // disconnect). 1 or 0.
    i32 SendPacket(const void* data, u32 size, u8 channel);
    i32 SendHeader(i16 type, u16 subType, u8 channel);

    // True when the stream connection is absent or its thread has ended.
    bool IsClosed() const;
    // True while the stream connection is not shut down.
    bool IsLive() const;
    // Shuts the stream connection down, keeping the first reason given.
    void CloseStream(const char* reason);
    std::string GetCloseReason() const;
    u16 GetPort() const { return m_port; }

    // Closes and joins the connections. Never on a network thread, never
    // under a lock a callback takes.
    void Release();
    static void CloseConnection(ConnectionPtr connection);

    // Set when a ping goes out, cleared by the pong.
    std::atomic<bool> missedPong{false};

private:
    friend struct CNetConnection;
    // Writes what the socket takes and queues the rest for the receive
    // thread (up to 1 MiB, then the peer goes); with fullReason, a socket
    // without room shuts the connection at once, for that reason.
    i32 SendOn(CNetConnection* connection, const u8* data, size_t size, const char* fullReason = nullptr);
    // The receive thread: queued bytes out as far as the socket takes them.
    void FlushQueued(CNetConnection* connection);
    static std::unique_ptr<host::kernel::Thread> StartReceiveThread(CNetConnection* connection);
    // Shuts one of this peer's connections down; the reason is logged, and
    // kept when it is the current stream connection.
    void Shut(CNetConnection* connection, const char* reason);

    std::string m_name;
    char m_peerId[peer::kPeerIdBytes] = {};
    u16 m_port = 0;
    mutable host::kernel::CriticalSection m_sendLock;
    ConnectionPtr m_stream;   // host lock and send lock to change
    mutable host::kernel::CriticalSection m_reasonLock;   // a leaf
    std::string m_closeReason;
};

// Writes a peer ID (five groups of eight letters joined by '-') drawn from
// random.
void DrawPeerId(CRandom& random, char out[peer::kPeerIdBytes]);
