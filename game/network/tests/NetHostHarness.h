// Peer hosts on this test process's own loopback addresses: a recorder of
// the three callbacks, and a node (a net bound to one address and a
// CNetHost on it). Every wait here is bounded.
#pragma once

#include "game/network/NetClient.h"
#include "game/network/NetHost.h"
#include "game/network/PeerWire.h"
#include "host/net/tests/Loopback.h"
#include "host/net/tests/SendAll.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace peer_test {

inline constexpr int kWaitMs = 10000;

struct Received {
    std::string from;   // the sender's peer name
    i32 type = 0;
    std::vector<u8> payload;
};

class Recorder {
public:
    // What the callbacks answer.
    std::atomic<i32> acceptAnswer{1};
    std::atomic<i32> messageAnswer{1};
    // Runs inside the accept callback (on the accept thread), before it answers.
    std::function<void(CNetClient*)> onAccept;
    // Runs inside the message callback (on the receive thread).
    std::function<void(CNetClient*, const Received&)> onMessage;
    std::function<void(CNetClient*)> onDisconnect;

    static i32 Accept(void* context, CNetClient* peer)
    {
        auto* self = static_cast<Recorder*>(context);
        if (self->onAccept) self->onAccept(peer);
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->accepted.push_back(peer->GetName());
        self->m_changed.notify_all();
        return self->acceptAnswer.load();
    }
    static i32 Message(void* context, CNetClient* sender, const u8* payload, i32 type, u32 length)
    {
        auto* self = static_cast<Recorder*>(context);
        Received r{sender->GetName(), type, std::vector<u8>(payload, payload + length)};
        if (self->onMessage) self->onMessage(sender, r);
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->messages.push_back(std::move(r));
        self->m_changed.notify_all();
        return self->messageAnswer.load();
    }
    static void Disconnect(void* context, CNetClient* peer)
    {
        auto* self = static_cast<Recorder*>(context);
        if (self->onDisconnect) self->onDisconnect(peer);
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->disconnected.push_back(peer->GetName());
        self->reasons.push_back(peer->GetCloseReason());
        self->m_changed.notify_all();
    }

    peer::Callbacks Callbacks() { return {&Message, this, &Disconnect, this}; }

    // Waits (bounded) until done() holds, read under the recorder's lock.
    bool WaitFor(const std::function<bool()>& done, int ms = kWaitMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(ms), done);
    }
    bool WaitMessages(size_t n, int ms = kWaitMs)
    {
        return WaitFor([&] { return messages.size() >= n; }, ms);
    }
    bool WaitDisconnects(size_t n, int ms = kWaitMs)
    {
        return WaitFor([&] { return disconnected.size() >= n; }, ms);
    }
    template <typename F> auto With(F f)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return f();
    }

    std::vector<std::string> accepted;
    std::vector<Received> messages;
    std::vector<std::string> disconnected;
    std::vector<std::string> reasons;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

// One game instance: its own loopback address and a peer host on it.
struct Node {
    explicit Node(u8 k) : address(net_test::Loopback(k)), net(host::net::CreatePosixNet(address)), host(net.get())
    {
        host.Init("ORV", "ORV", "ORV");
    }
    ~Node() { host.CloseAll(); }

    // Listens on port 0; the port it got.
    u16 Listen()
    {
        host.InitListener(0, &Recorder::Accept, &rec, &Recorder::Message, &rec, &Recorder::Disconnect, &rec);
        return host.StartListening() ? host.GetListenPort() : 0;
    }
    std::string Name() const { return host::net::FormatAddress(address); }
    i32 ConnectTo(const Node& other, u16 port)
    {
        return host.Connect(other.Name().c_str(), port, peer::kStreamChannel, rec.Callbacks());
    }

    const u32 address;
    std::unique_ptr<host::net::Net> net;
    Recorder rec;
    CNetHost host;
};

// A room host listening and one member connected to it.
struct Room {
    Room() : host(1), member(2)
    {
        port = host.Listen();
        EXPECT_NE(port, 0);
        EXPECT_EQ(member.ConnectTo(host, port), 1);
        EXPECT_TRUE(host.rec.WaitFor([&] { return host.rec.accepted.size() == 1; }));
    }
    Node host;
    Node member;
    u16 port = 0;
};

// A plain socket connected to a listener: a peer that says only what the
// test writes, and answers no ping.
struct RawPeer {
    RawPeer(host::net::Net& n, u32 to, u16 port) : net(n), socket(n.Open(host::net::Type::Stream))
    {
        connected = net.Connect(socket, {to, port}, kWaitMs) == host::net::Error::None;
    }
    ~RawPeer() { net.Close(socket); }
    bool Send(const std::vector<u8>& bytes) { return net_test::SendAll(net, socket, bytes.data(), bytes.size()); }
    // Reads until the peer closes or ms pass; the bytes read.
    std::vector<u8> ReadToEnd(u32 ms)
    {
        std::vector<u8> all;
        u8 buffer[4096];
        for (u32 waited = 0; waited < ms; waited += 50) {
            const i32 events = net.Wait(socket, host::net::kEventRead, 50);
            if (events <= 0) continue;
            const host::net::IoResult r = net.Receive(socket, buffer, sizeof buffer);
            if (r.bytes <= 0 && r.error != host::net::Error::WouldBlock) break;
            if (r.bytes > 0) all.insert(all.end(), buffer, buffer + r.bytes);
        }
        return all;
    }

    host::net::Net& net;
    const host::net::Socket socket;
    bool connected = false;
};

// Updates (frame time 0) until the host holds `peers` peers: a peer's
// thread ends just after its disconnect callback. False after 10 s.
inline bool UpdateUntilPeers(CNetHost& host, u32 peers)
{
    for (int waited = 0; waited < kWaitMs; waited += 5) {
        host.Update(0);
        if (host.GetPeerCount() == peers) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

inline std::vector<u8> Message(i16 type, u32 length, u8 fill = 0x5A)
{
    const std::vector<u8> payload(length, fill);
    return peer::WriteMessage(type, peer::kSubType, payload.data(), length);
}

}  // namespace peer_test
