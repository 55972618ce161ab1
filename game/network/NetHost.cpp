#include "game/network/NetHost.h"

#include "game/network/NetClient.h"
#include "game/network/PeerWire.h"

#include <algorithm>
#include <cstring>

using host::kernel::CriticalSection;
using host::kernel::Lock;
using host::net::Net;
using host::net::Socket;

namespace {

constexpr u32 kConnectTimeoutMs = 10000;
// A failed accept (no descriptors or memory left) is tried again after this.
constexpr u32 kAcceptRetryMs = 100;
constexpr i32 kLargestBacklog = 0x7fffffff;
// How long the accept thread watches a connection it let in before a
// thread of its own reads it: a stranger that knocks and leaves at once is
// seen out here, without waking a thread on another core for it (far the
// larger part of such a connection's cost on a busy machine). A member's
// first bytes come back a round trip after the join reply, so a member
// costs the next knock at most this wait; at most the member limit of them
// are let in at once.
constexpr u32 kLeaveAtOnceMs = 1;
constexpr size_t kFirstBytes = 4096;

using PeerPtr = std::shared_ptr<CNetClient>;

struct Listener {
    CriticalSection lock;   // state and socket
    i32 state = 0;          // 0 stopped, 1 accepting, 2 stop requested
    u16 port = 0;
    u16 boundPort = 0;
    u8 channel = peer::kStreamChannel;
    Socket socket = host::net::kNoSocket;
    std::unique_ptr<host::kernel::Thread> thread;
    host::kernel::Event stopped{true, false};   // set with state 2: a retry pause ends
    peer::AcceptCallback accept = nullptr;
    void* acceptContext = nullptr;
    peer::Callbacks callbacks;
};

// An accept thread stopped from a network thread, joined later by the main
// thread; its socket is closed after the join.
struct Parked {
    std::unique_ptr<host::kernel::Thread> thread;
    Socket socket = host::net::kNoSocket;
};

}  // namespace

struct CNetHost::Impl {
    explicit Impl(Net& n) : net(n) { random.Seed(host::kernel::TimeGetTime()); }

    Net& net;
    // Settings.
    std::string tags[3];
    std::atomic<bool> closeAllRequested{false};
    bool pingEnabled = false;
    u32 pingIntervalMs = peer::kPingIntervalMs;
    u32 sincePingMs = 0;

    CriticalSection listenerLock;         // a leaf: the pointer only
    std::shared_ptr<Listener> listener;

    std::shared_ptr<Listener> GetListener()
    {
        Lock lock(listenerLock);
        return listener;
    }
    void SetListener(std::shared_ptr<Listener> to)
    {
        Lock lock(listenerLock);
        listener.swap(to);
    }
    CriticalSection parkedLock;           // a leaf
    std::vector<Parked> parked;

    CriticalSection hostLock;   // the peer list and the generator
    std::vector<PeerPtr> peers;
    CRandom random;

    CriticalSection relayLock;   // a leaf
    std::vector<std::vector<u8>> relays;

    void AcceptLoop(const std::shared_ptr<Listener>& self);
    void Accepted(Listener& self, Socket socket, const host::net::Endpoint& from);
    void JoinParked();
};

CNetHost::CNetHost(host::net::Net* net)
    : m_net(net ? *net : host::net::DefaultNet()), m_impl(std::make_unique<Impl>(m_net))
{
}

CNetHost::~CNetHost()
{
    CloseAll();
    m_impl->JoinParked();
}

i32 CNetHost::Init(const char* tag1, const char* tag2, const char* tag3)
{
    const char* tags[3] = {tag1, tag2, tag3};
    for (int i = 0; i < 3; ++i) m_impl->tags[i] = tags[i] ? tags[i] : "";
    m_impl->pingEnabled = true;
    m_impl->pingIntervalMs = peer::kPingIntervalMs;
    m_impl->sincePingMs = 0;
    return 1;
}

i32 CNetHost::InitListener(u16 port, peer::AcceptCallback accept, void* acceptContext, peer::MessageCallback message,
                           void* messageContext, peer::DisconnectCallback disconnect, void* disconnectContext)
{
    // A running listener would be left without its block: stop it first.
    StopListening();
    auto listener = std::make_shared<Listener>();
    listener->port = port;
    listener->accept = accept;
    listener->acceptContext = acceptContext;
    listener->callbacks = {message, messageContext, disconnect, disconnectContext};
    m_impl->SetListener(std::move(listener));
    return 1;
}

i32 CNetHost::StartListening()
{
    const std::shared_ptr<Listener> listener = m_impl->GetListener();
    if (!listener) return 0;
    {
        Lock lock(listener->lock);
        if (listener->thread && listener->state == 1) return 1;
    }
    // A thread stopped earlier is gone or going: join it before its block
    // takes a new one.
    StopListening();
    Net& net = m_impl->net;
    const Socket socket = net.Open(host::net::Type::Stream);
    if (socket == host::net::kNoSocket) return 0;
    if (net.Bind(socket, {host::net::kAnyAddress, listener->port}) != host::net::Error::None ||
        net.Listen(socket, kLargestBacklog) != host::net::Error::None) {
        net.Close(socket);
        return 0;
    }
    Lock lock(listener->lock);
    listener->socket = socket;
    listener->boundPort = net.LocalEndpoint(socket).port;
    listener->state = 1;
    listener->stopped.Reset();
    Impl* impl = m_impl.get();
    listener->thread = host::kernel::StartThread([impl, listener] {
        impl->AcceptLoop(listener);
        return 0u;
    });
    if (!listener->thread) {
        listener->socket = host::net::kNoSocket;
        listener->state = 0;
        net.Close(socket);
        return 0;
    }
    return 1;
}

void CNetHost::StopListening() { StopListening(!peer::OnNetworkThread()); }

void CNetHost::StopListeningLater() { StopListening(false); }

void CNetHost::StopListening(bool join)
{
    const std::shared_ptr<Listener> listener = m_impl->GetListener();
    if (!listener) return;
    Parked stopped;
    {
        Lock lock(listener->lock);
        if (listener->thread) listener->state = 2;
        listener->stopped.Set();
        if (listener->socket != host::net::kNoSocket) m_net.Shutdown(listener->socket);
        stopped.thread = std::move(listener->thread);
        stopped.socket = listener->socket;
        listener->socket = host::net::kNoSocket;
    }
    if (!join) {
        // The accept thread (or one waiting on it, or a caller holding a lock
        // the accept callback takes) must not join: a later stop does.
        Lock lock(m_impl->parkedLock);
        m_impl->parked.push_back(std::move(stopped));
        return;
    }
    if (stopped.thread) stopped.thread->Join();
    m_net.Close(stopped.socket);
    m_impl->JoinParked();
}

u16 CNetHost::GetListenPort() const
{
    const std::shared_ptr<Listener> listener = m_impl->GetListener();
    if (!listener) return 0;
    Lock lock(listener->lock);
    return listener->socket != host::net::kNoSocket ? listener->boundPort : 0;
}

void CNetHost::Impl::JoinParked()
{
    if (peer::OnNetworkThread()) return;
    std::vector<Parked> joined;
    {
        Lock lock(parkedLock);
        joined.swap(parked);
    }
    for (Parked& p : joined) {
        if (p.thread) p.thread->Join();
        net.Close(p.socket);
    }
}

void CNetHost::Impl::AcceptLoop(const std::shared_ptr<Listener>& self)
{
    host::kernel::SetThreadName("net-accept");
    peer::MarkNetworkThread();
    Socket listening;
    {
        Lock lock(self->lock);
        if (self->state == 2) return;
        self->state = 1;
        listening = self->socket;
    }
    for (;;) {
        host::net::Endpoint from;
        const Socket socket = net.Accept(listening, &from);
        if (socket != host::net::kNoSocket) {
            Accepted(*self, socket, from);
            continue;
        }
        // A stop, or a failure that passes (the process out of descriptors
        // while peers knock): ending here would leave a room that looks
        // open and takes nobody.
        {
            Lock lock(self->lock);
            if (self->state == 2) break;
        }
        if (self->stopped.Wait(kAcceptRetryMs) == 0) break;
    }
    Lock lock(self->lock);
    self->state = 0;
}

void CNetHost::Impl::Accepted(Listener& self, Socket socket, const host::net::Endpoint& from)
{
    const std::string name = host::net::FormatAddress(from.address);
    PeerPtr peer;
    {
        Lock lock(hostLock);
        peer = std::make_shared<CNetClient>(name.c_str(), random);
        ConnectionPtr none;
        // Held: no message and no disconnect before the accept callback.
        if (!peer->Attach(net, socket, self.port, self.channel, self.callbacks, peer::Sender::kMember, true, none)) {
            net.Close(socket);
            return;
        }
        peers.push_back(peer);
    }
    // After the host lock: the callback takes the caller's locks.
    const i32 keep = self.accept ? self.accept(self.acceptContext, peer.get()) : 1;
    if (keep) {
        // What comes at once is read here: an end is the peer's departure
        // (reported from this thread, as a refused one's is); bytes go to its
        // thread, which takes them before it reads on.
        u8 first[kFirstBytes];
        host::net::IoResult read{-1, host::net::Error::WouldBlock};
        const i32 events = net.Wait(socket, host::net::kEventRead, kLeaveAtOnceMs);
        if (events != host::net::kWaitFailed && (events & (host::net::kEventRead | host::net::kEventClose)))
            read = net.Receive(socket, first, sizeof first);
        if (read.bytes == 0 || (read.bytes < 0 && (read.error == host::net::Error::Closed ||
                                                  read.error == host::net::Error::Reset))) {
            peer->CloseStream(nullptr);
            peer->EndUnstarted();
            return;
        }
        peer->StartReceiving(first, read.bytes > 0 ? size_t(read.bytes) : 0);
        return;
    }
    // Refused: it ends here, no thread made for it.
    peer->CloseStream("refused by the accept callback");
    peer->EndUnstarted();
}

i32 CNetHost::Connect(const char* host, u16 port, u8 channel, const peer::Callbacks& callbacks)
{
    if (!host || channel != peer::kStreamChannel) return 0;
    u32 address = 0;
    if (!m_net.Resolve(host, address)) return 0;
    const Socket socket = m_net.Open(host::net::Type::Stream);
    if (socket == host::net::kNoSocket) return 0;
    // Bounded, and outside the host lock.
    if (m_net.Connect(socket, {address, port}, kConnectTimeoutMs) != host::net::Error::None) {
        m_net.Close(socket);
        return 0;
    }
    ConnectionPtr replaced;
    i32 attached = 0;
    {
        Lock lock(m_impl->hostLock);
        auto& peers = m_impl->peers;
        auto it = std::find_if(peers.begin(), peers.end(), [&](const PeerPtr& p) { return std::strcmp(p->GetName(), host) == 0; });
        const bool made = it == peers.end();
        PeerPtr peer = made ? std::make_shared<CNetClient>(host, m_impl->random) : *it;
        attached = peer->Attach(m_net, socket, port, channel, callbacks, peer::Sender::kRoomHost, false, replaced);
        if (attached && made) peers.push_back(peer);
    }
    if (!attached) m_net.Close(socket);
    // The connection this one replaced is joined with no lock held.
    CNetClient::CloseConnection(std::move(replaced));
    return attached;
}

i32 CNetHost::ConnectByAddress(const u32* address, u16 port, u8 channel, const peer::Callbacks& callbacks)
{
    if (!address) return 0;
    return Connect(host::net::FormatAddress(*address).c_str(), port, channel, callbacks);
}

i32 CNetHost::Broadcast(i16 type, u16 subType, const void* payload, u32 length, u8 channel)
{
    const std::vector<u8> message = peer::WriteMessage(type, subType, payload, length);
    Lock lock(m_impl->hostLock);
    for (const PeerPtr& peer : m_impl->peers) peer->SendPacket(message.data(), u32(message.size()), channel);
    return 1;
}

i32 CNetHost::SendToPeer(const char* peerId, i16 type, u16 subType, const void* payload, u32 length, u8 channel)
{
    if (!peerId) return 1;
    const std::vector<u8> message = peer::WriteMessage(type, subType, payload, length);
    Lock lock(m_impl->hostLock);
    for (const PeerPtr& peer : m_impl->peers)
        if (std::strcmp(peer->GetPeerId(), peerId) == 0) peer->SendPacket(message.data(), u32(message.size()), channel);
    return 1;
}

void CNetHost::BroadcastHeader(i16 type, u16 subType, u8 channel) { Broadcast(type, subType, nullptr, 0, channel); }

void CNetHost::QueueRelay(i16 type, const void* payload, u32 length)
{
    std::vector<u8> message = peer::WriteMessage(type, peer::kSubType, payload, length);
    Lock lock(m_impl->relayLock);
    m_impl->relays.push_back(std::move(message));
}

void CNetHost::Update(u32 frameMs)
{
    Impl& impl = *m_impl;
    if (impl.closeAllRequested.load()) CloseAll();

    std::vector<PeerPtr> closed;
    {
        Lock lock(impl.hostLock);
        auto keep = std::stable_partition(impl.peers.begin(), impl.peers.end(), [](const PeerPtr& p) { return !p->IsClosed(); });
        closed.assign(keep, impl.peers.end());
        impl.peers.erase(keep, impl.peers.end());
    }
    for (const PeerPtr& peer : closed) peer->Release();

    std::vector<std::vector<u8>> relays;
    {
        Lock lock(impl.relayLock);
        relays.swap(impl.relays);
    }
    for (const std::vector<u8>& message : relays) {
        Lock lock(impl.hostLock);
        for (const PeerPtr& peer : impl.peers) peer->SendPacket(message.data(), u32(message.size()), peer::kStreamChannel);
    }

    if (!impl.pingEnabled) return;
    impl.sincePingMs += frameMs;
    if (impl.sincePingMs < impl.pingIntervalMs) return;
    {
        Lock lock(impl.hostLock);
        for (const PeerPtr& peer : impl.peers) {
            if (peer->missedPong.load() && peer->IsLive())
                peer->CloseStream("no answer to the ping");
            else
                peer->missedPong.store(true);
        }
    }
    BroadcastHeader(peer::kPing, peer::kSubType, peer::kStreamChannel);
    impl.sincePingMs = 0;
}

void CNetHost::RequestCloseAll() { m_impl->closeAllRequested.store(true); }

void CNetHost::CloseAll()
{
    // Joining from a network thread could wait for itself or for a thread
    // that waits for the caller's locks: the next Update does it.
    if (peer::OnNetworkThread()) {
        RequestCloseAll();
        return;
    }
    StopListening();
    m_impl->SetListener(nullptr);
    std::vector<PeerPtr> peers;
    {
        Lock lock(m_impl->hostLock);
        peers.swap(m_impl->peers);
    }
    for (const PeerPtr& peer : peers) peer->Release();
    {
        Lock lock(m_impl->relayLock);
        m_impl->relays.clear();
    }
    m_impl->closeAllRequested.store(false);
}

i32 CNetHost::GeneratePeerId(char out[peer::kPeerIdBytes])
{
    Lock lock(m_impl->hostLock);
    DrawPeerId(m_impl->random, out);
    return 1;
}

u32 CNetHost::GetPeerCount() const
{
    Lock lock(m_impl->hostLock);
    return u32(m_impl->peers.size());
}

i32 CNetHost::Broadcast(u32 type, const u8* data, u32 length)
{
    return Broadcast(i16(type), peer::kSubType, data, length, peer::kStreamChannel);
}
