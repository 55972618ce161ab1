// CNetHost: the peer connections of one room. The room host listens and
// holds one connection per member; a member holds one, to the host. Every
// message is an 8-byte PeerMessageHeader and its payload (PeerWire.h);
// CNetHost knows nothing of what they mean: it hands each whole message to
// the message callback and reports new and lost peers.
//
// Threads: net-accept (the listener), net-recv (one per connection), and
// the callers' (the main thread, the battle's lockstep thread).
// Lock order: a connection's queue lock → (callers' locks) → host lock →
// a peer's send lock → a connection's state lock. No join and no unbounded
// wait under any of them: peers are taken out under the host lock and
// joined outside it.
//
// It is also the battle's lockstep transport (and the selects').
#pragma once

#include "engine/core/Random.h"
#include "engine/core/Types.h"
#include "game/battle/scene/BattleLockstep.h"
#include "host/kernel/Kernel.h"
#include "host/net/Net.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class CNetClient;

namespace peer {
// Plain function pointers with a context word, called on network threads.
// Nonzero keeps the peer; 0 closes its socket (its thread then ends and
// reports the disconnect). Called after the host lock is released.
using AcceptCallback = i32 (*)(void* context, CNetClient* peer);
// Nonzero goes on; 0 ends that connection's receive thread.
using MessageCallback = i32 (*)(void* context, CNetClient* sender, const u8* payload, i32 type, u32 length);
// Once, when a connection's receive thread ends. Must not wait for the host
// lock: relays go through CNetHost::QueueRelay.
using DisconnectCallback = void (*)(void* context, CNetClient* peer);

struct Callbacks {
    MessageCallback message = nullptr;
    void* messageContext = nullptr;
    DisconnectCallback disconnect = nullptr;
    void* disconnectContext = nullptr;
};

inline constexpr u8 kStreamChannel = 1;
inline constexpr u8 kDatagramChannel = 2;
inline constexpr u16 kSubType = 1;
inline constexpr u32 kPingIntervalMs = 5000;
inline constexpr u32 kPeerIdBytes = 45;   // 44 characters and a zero
}  // namespace peer

class CNetHost : public ILockstepTransport {
public:
    // net null: host::net::DefaultNet(). The generator is seeded from
    // TimeGetTime.
    explicit CNetHost(host::net::Net* net = nullptr);
    ~CNetHost() override;
    CNetHost(const CNetHost&) = delete;
    CNetHost& operator=(const CNetHost&) = delete;

    // The three tags (copied, sent nowhere); ping on, every 5000 ms. 1.
    i32 Init(const char* tag1, const char* tag2, const char* tag3);
    // A new listener block for the port and the callbacks. 1.
    i32 InitListener(u16 port, peer::AcceptCallback accept, void* acceptContext, peer::MessageCallback message,
                     void* messageContext, peer::DisconnectCallback disconnect, void* disconnectContext);
    // 1 when the accept thread runs (also when it already ran); 0 when the
    // socket, bind or listen fails.
    i32 StartListening();
    // Stops the accept thread and closes the listener; StartListening opens
    // a new one. From the accept callback the thread is joined later, by the
    // next StartListening, StopListening or CloseAll on the main thread.
    void StopListening();
    // The same without waiting for the accept thread (joined by a later
    // StopListening, CloseAll or the destructor): for callers holding a lock
    // the accept callback takes, such as the lobby client's.
    void StopListeningLater();
    // The port the listener is bound to (the given one, or what port 0 got);
    // 0 when not listening.
    u16 GetListenPort() const;

    // Connects to host (dotted or a name) and attaches the socket to the peer
    // of that name, made when none exists. 1, or 0 leaving no peer behind.
    i32 Connect(const char* host, u16 port, u8 channel, const peer::Callbacks& callbacks);
    // address: u32 IPv4 in network order; null gives 0.
    i32 ConnectByAddress(const u32* address, u16 port, u8 channel, const peer::Callbacks& callbacks);

    // Header and payload to every peer, each written whole under its send
    // lock. Always 1: a peer whose send fails is closed and reported by its
    // disconnect.
    i32 Broadcast(i16 type, u16 subType, const void* payload, u32 length, u8 channel);
    // To every peer whose ID equals peerId. 1.
    i32 SendToPeer(const char* peerId, i16 type, u16 subType, const void* payload, u32 length, u8 channel);
    // A header-only message to every peer (the ping).
    void BroadcastHeader(i16 type, u16 subType, u8 channel);
    // A message sent to every peer by the next Update on the main thread:
    // for network threads that must not wait for the host lock (a
    // disconnect callback's 10009, a member table after a departure).
    void QueueRelay(i16 type, const void* payload, u32 length);

    // Main thread, every frame: close-all when requested, removal of closed
    // peers, the queued relays, the ping every 5000 ms of frameMs.
    void Update(u32 frameMs);
    // The next Update closes everything.
    void RequestCloseAll();
    // Stops the listener and every connection, joining their threads outside
    // the host lock; call it holding no lock a callback takes. From a
    // callback (a network thread) it only requests: the next Update does it.
    void CloseAll();

    // Five groups of eight letters joined by '-', and a zero. 1.
    i32 GeneratePeerId(char out[peer::kPeerIdBytes]);

    // Peers in the list, closed ones included until Update removes them.
    u32 GetPeerCount() const;
    host::net::Net& GetNet() { return m_net; }

    // ILockstepTransport: Broadcast with sub-type 1 on the stream channel.
    i32 Broadcast(u32 type, const u8* data, u32 length) override;

private:
    void StopListening(bool join);
    struct Impl;
    host::net::Net& m_net;
    std::unique_ptr<Impl> m_impl;
};
