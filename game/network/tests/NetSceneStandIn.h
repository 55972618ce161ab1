// A stand-in for the network scene of a network battle, one per machine,
// until the network scene itself is there: a machine's peer host, its scene
// lock, and the battle scene it hosts.
//
//   message callback   10004..10009 go to the hosted battle's OnPeerMessage
//                      under the scene lock, on the receive thread; a refusal
//                      ends the connection (its sender is closed, as if it
//                      had left); other types are not the battle's
//   disconnect         the lost peer's entry as 10009 to the local battle,
//                      under the scene lock; the room host also relays it to
//                      the other members through the relay queue (sent by
//                      the next Pump), never sending from the callback
//   Pump               CNetHost::Update, once a frame, on the game thread
//                      and outside the scene lock: its removal pass joins
//                      receive threads, whose disconnect callbacks take it
//
// The room host (entry 0) listens; members connect to it and play the
// entries 1, 2, 3 in the order it accepted them. A member's only peer is the
// room host: whatever it loses is entry 0.
#pragma once

#include "game/battle/scene/tests/ScenePeers.h"
#include "game/network/NetHost.h"
#include "host/net/Net.h"

#include <array>
#include <map>

namespace net_scene_test {

class NetSceneStandIn : public scene_test::ScenePeer {
public:
    static constexpr u32 kFirstBattleType = kMsgBattleEnd;
    static constexpr u32 kLastBattleType = kMsgPeerLeft;

    // net: the machine's network, which outlives it.
    NetSceneStandIn(u32 entry, host::net::Net& net) : ScenePeer(entry), m_host(&net)
    {
        m_host.Init("ORV", "ORV", "ORV");
    }
    // Everything closed, outside any lock; the battle is to be gone first
    // (Unhost).
    ~NetSceneStandIn() override { m_host.CloseAll(); }

    // Room host: listens on port (0: any free one). False when it cannot.
    bool Listen(u16 port = 0)
    {
        m_host.InitListener(port, &OnAccept, this, &OnMessage, this, &OnDisconnect, this);
        return m_host.StartListening() == 1;
    }
    u16 GetListenPort() const { return m_host.GetListenPort(); }
    // Member: connects to the room host.
    bool Join(u32 address, u16 port)
    {
        const peer::Callbacks callbacks{&OnMessage, this, &OnDisconnect, this};
        return m_host.ConnectByAddress(&address, port, peer::kStreamChannel, callbacks) == 1;
    }
    // Members the room host took, so far.
    u32 GetAccepted() const { return m_accepted.load(); }

    // The battle that messages go to from now on (null: none). Under the
    // scene lock, so a delivery under way ends first.
    void Host(CBattleScene* battle)
    {
        lock.Enter();
        m_battle = battle;
        lock.Leave();
    }
    // Whether the hosted battle has begun loading (it has its lockstep):
    // what comes before is dropped.
    bool IsBattleListening()
    {
        lock.Enter();
        const bool listening = m_battle && m_battle->GetLockstep();
        lock.Leave();
        return listening;
    }

    // Once a frame, on the game thread, holding no scene lock.
    void Pump(u32 frameMs) { m_host.Update(frameMs); }
    CNetHost& GetNetHost() { return m_host; }

    // IBattleNetwork.
    i32 Broadcast(u16 type, const void* data, u32 length) override
    {
        return m_host.Broadcast(i16(type), peer::kSubType, data, length, peer::kStreamChannel);
    }

    // What arrived: battle messages taken, by type; refused ones; those that
    // came before the battle listened; peers lost; 10009 relays queued.
    u32 Taken(u32 type) const
    {
        return type >= kFirstBattleType && type <= kLastBattleType ? m_taken[type - kFirstBattleType].load() : 0;
    }
    u32 Refused() const { return m_refused.load(); }
    u32 Early() const { return m_early.load(); }
    u32 Lost() const { return m_lost.load(); }
    u32 Relayed() const { return m_relayed.load(); }

private:
    static i32 OnAccept(void* context, CNetClient* peer)
    {
        auto& self = *static_cast<NetSceneStandIn*>(context);
        std::lock_guard<std::mutex> guard(self.m_entriesMutex);
        if (self.m_nextEntry >= kLockstepEntries) return 0;   // the room is full
        self.m_entries[peer] = self.m_nextEntry++;
        ++self.m_accepted;
        return 1;
    }

    static i32 OnMessage(void* context, CNetClient*, const u8* payload, i32 type, u32 length)
    {
        auto& self = *static_cast<NetSceneStandIn*>(context);
        if (type < i32(kFirstBattleType) || type > i32(kLastBattleType)) return 1;
        // Only the room host says who left; a member never sends it.
        if (type == i32(kMsgPeerLeft) && self.entry == 0) return ++self.m_refused, 0;
        self.lock.Enter();
        CBattleScene* battle = self.m_battle;
        if (!battle || !battle->GetLockstep()) {
            self.lock.Leave();
            ++self.m_early;
            return 1;
        }
        const u32 taken = battle->OnPeerMessage(u32(type), payload, length);
        self.lock.Leave();
        if (!taken) return ++self.m_refused, 0;
        ++self.m_taken[u32(type) - kFirstBattleType];
        return 1;
    }

    static void OnDisconnect(void* context, CNetClient* peer)
    {
        auto& self = *static_cast<NetSceneStandIn*>(context);
        u32 entry = 0;
        if (self.entry == 0) {
            std::lock_guard<std::mutex> guard(self.m_entriesMutex);
            const auto it = self.m_entries.find(peer);
            if (it == self.m_entries.end()) return;   // refused at the door: it played nothing
            entry = it->second;
            self.m_entries.erase(it);
        }
        ++self.m_lost;
        const std::string body = WriteU32Body(entry);
        const auto* bytes = reinterpret_cast<const u8*>(body.data());
        self.lock.Enter();
        if (self.m_battle && self.m_battle->GetLockstep()) self.m_battle->OnPeerMessage(kMsgPeerLeft, bytes, 4);
        self.lock.Leave();
        if (self.entry == 0) {
            self.m_host.QueueRelay(i16(kMsgPeerLeft), bytes, 4);
            ++self.m_relayed;
        }
    }

    CNetHost m_host;
    CBattleScene* m_battle = nullptr;   // guarded by the scene lock
    std::mutex m_entriesMutex;          // a leaf
    std::map<CNetClient*, u32> m_entries;
    u32 m_nextEntry = 1;
    std::atomic<u32> m_accepted = 0;
    std::array<std::atomic<u32>, kLastBattleType - kFirstBattleType + 1> m_taken{};
    std::atomic<u32> m_refused = 0, m_early = 0, m_lost = 0, m_relayed = 0;
};

}  // namespace net_scene_test
