// Network scenes joined into one room over loopback TCP, one per machine,
// each machine on a loopback address of this process. The room screen is a
// double that keeps the member table the way the room does: the host adds
// each peer it accepts under that peer's ID; a guest takes its index from
// the host's join reply (1025: the index in its first word) and keeps the
// host's connection as entry 0. A member who leaves the host's table moves
// the later ones up.
#pragma once

#include "game/network/LobbyClient.h"
#include "game/network/NetClient.h"
#include "game/network/NetHost.h"
#include "game/network/NetworkScene.h"
#include "game/network/RoomMembers.h"
#include "game/network/tests/NetworkSceneRun.h"

#include <atomic>
#include <cstring>

namespace netscene_test {

class RoomScreens final : public ILobbyScreens {
public:
    explicit RoomScreens(CLobbyClient& client) : m_client(client) {}

    void ShowMessage(u32, u32) override {}
    bool MessagePending() override { return false; }
    void RoomReset() override {}
    void RoomLost() override {}
    void RoomMarkJoinedThroughServer() override {}
    void RoomAddResult(u32 result) override { Note(-1, result); }
    void RoomBroadcastMemberTable() override {}
    i32 AcceptPeer(CNetClient* peer) override
    {
        RoomMemberTable& table = m_client.MemberTable();
        if (table.count >= 4) return 0;
        if (table.count == 0) table.count = 1;   // the host itself
        std::strcpy(table.members[table.count].peerId, peer->GetPeerId());
        ++table.count;
        return 1;
    }
    i32 OnRoomChat(CNetClient*, const u8*, u32) override { return 1; }
    i32 OnJoinReply(CNetClient* sender, const u8* payload, u32) override
    {
        RoomMemberTable& table = m_client.MemberTable();
        const i32 index = i32(payload[0]);
        std::strcpy(table.members[0].peerId, sender->GetPeerId());
        table.count = i16(std::max(i32(table.count), index + 1));
        m_client.SetRoomHost(false, index);
        return 1;
    }
    i32 OnMemberInfo(CNetClient*, const u8*, u32) override { return 1; }
    i32 OnMemberTable(CNetClient*, const u8*, u32) override { return 1; }
    i32 OnMemberResult(CNetClient* sender, const u8* payload, u32) override
    {
        return Note(m_client.FindMemberByPeerId(sender->GetPeerId()), payload[0]), 1;
    }
    // The host takes the member out and moves the later ones up, as the
    // room does.
    void OnPeerLeft(CNetClient* peer) override
    {
        if (m_client.IsRoomHost()) room::RemoveMember(m_client.MemberTable(), peer->GetPeerId());
        ++left;
    }
    i32 SendRoomChat(const u8*, u32) override { return 1; }
    void DrawRoomChat(f32, f32, f32) override {}
    void LobbyChatLine(const char*) override {}
    void OpenUserInformation(const lobby::LobbyUserRecord&, bool) override {}
    void OpenRoomInformation(const lobby::LobbyRoomRecord&) override {}
    void RoomCreateMessage(u16, const u8*, u32) override {}
    bool IsOpen(LobbyLayer) override { return false; }
    void Update(LobbyLayer) override {}
    i32 Draw(LobbyLayer) override { return 1; }

    // Battle results the room heard: {member index (-1 own), result}.
    std::vector<std::pair<i32, u32>> Results()
    {
        std::lock_guard lock(m_mutex);
        return m_results;
    }

    std::atomic<u32> left = 0;

private:
    void Note(i32 who, u32 result)
    {
        std::lock_guard lock(m_mutex);
        m_results.emplace_back(who, result);
    }

    std::mutex m_mutex;
    std::vector<std::pair<i32, u32>> m_results;
    CLobbyClient& m_client;
};

// One machine's network scene, loaded without the game's media.
struct SceneMachine {
    SceneMachine(u32 entry, INetworkSceneLock* lock = nullptr,
                 std::function<void(i32, bool)> delivered = nullptr)
        : entry(entry), net(host::net::CreatePosixNet(net_test::Loopback(u8(entry + 1))))
    {
        netscene::NetworkSceneOptions options = LoopbackOptions(net.get(), u8(entry + 1), nullptr);
        options.screens = [this](CLobbyClient& client) {
            auto made = std::make_unique<RoomScreens>(client);
            screens = made.get();
            return made;
        };
        options.lock = lock;
        options.onDelivered = std::move(delivered);
        scene = std::make_unique<CNetworkScene>(options);
    }

    bool Load() { return scene->Initialize(0) == 1; }
    CLobbyClient& Lobby() { return *scene->GetLobbyClient(); }
    CNetHost& Host() { return *Lobby().GetNetHost(); }

    const u32 entry;
    std::unique_ptr<host::net::Net> net;   // outlives the scene
    std::unique_ptr<CNetworkScene> scene;
    RoomScreens* screens = nullptr;   // the lobby client's
};

// Waits up to 10 s (real time) for done.
inline bool WaitUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 5000 && !done(); ++i) usleep(2000);
    return done();
}

// The host (machines[0]) opens the room; each other machine joins in turn
// and gets its index by the join reply.
inline ::testing::AssertionResult JoinRoom(const std::vector<SceneMachine*>& machines)
{
    SceneMachine& host = *machines[0];
    host.Lobby().SetRoomHost(true, 0);
    host.Lobby().MemberTable().count = 1;
    if (host.Lobby().StartHostListener() != 1) return ::testing::AssertionFailure() << "no listener";
    const u16 port = host.Host().GetListenPort();
    for (size_t m = 1; m < machines.size(); ++m) {
        CLobbyClient& guest = machines[m]->Lobby();
        guest.SetRoomHost(false, -1);
        guest.SetJoinTarget(net_test::Loopback(1), port);
        guest.StartJoin();
        if (!WaitUntil([&] { return host.Lobby().GetMemberCount() == m + 1; }))
            return ::testing::AssertionFailure() << "machine " << m << " not accepted";
        u8 reply[54] = {u8(m)};
        host.Host().SendToPeer(host.Lobby().MemberTable().members[m].peerId, 1025, peer::kSubType, reply,
                               sizeof reply, peer::kStreamChannel);
        if (!WaitUntil([&] { return guest.GetOwnMemberIndex() == i32(m); }))
            return ::testing::AssertionFailure() << "machine " << m << " got no index";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace netscene_test
