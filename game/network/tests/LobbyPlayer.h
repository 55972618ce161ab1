// A player for the tests against the test lobby server: a client on its
// own loopback address with recording screens.
#pragma once

#include "game/network/LobbyClient.h"
#include "game/network/tests/LobbyDoubles.h"
#include "game/network/tests/lobby_server/LobbyServerFixture.h"
#include "host/net/tests/Loopback.h"

#include <algorithm>
#include <functional>

namespace lobby_test {

struct ServerPlayer {
    using MakePeers = std::function<std::unique_ptr<ILobbyPeerSide>(host::net::Net*)>;

    // makePeers: the peer side on the player's net; none gives the recording one.
    ServerPlayer(const LobbyServerProcess& server, u8 k, const char* login, const MakePeers& makePeers = {})
        : net(host::net::CreatePosixNet(net_test::Loopback(k))), client(net.get())
    {
        std::unique_ptr<ILobbyPeerSide> side =
            makePeers ? makePeers(net.get()) : std::make_unique<RecordingPeerSide>(peers);
        created = client.Create("tag1", "tag2", nullptr, nullptr, host::net::FormatAddress(server.Address()).c_str(),
                                server.Port(), 18000, std::make_unique<RecordingScreens>(screens), std::move(side));
        client.SetLobbyId(login);
    }
    u32 LastEvent()
    {
        std::lock_guard lock(screens.mutex);
        return screens.events.empty() ? 999 : screens.events.back();
    }
    bool Saw(u32 event)
    {
        std::lock_guard lock(screens.mutex);
        return std::find(screens.events.begin(), screens.events.end(), event) != screens.events.end();
    }
    bool Connect()
    {
        client.StartConnect();
        return WaitFor([&] { return client.GetScreen() == 2; });
    }
    bool LogIn()
    {
        return Connect() && client.SendLogin() == 1 && WaitFor([&] { return client.GetScreen() == 3; });
    }
    size_t ChatCount()
    {
        std::lock_guard lock(screens.mutex);
        return screens.chat.size();
    }

    RecordingScreens::Shared screens;
    RecordingPeerSide::Shared peers;
    std::unique_ptr<host::net::Net> net;
    CLobbyClient client;
    i32 created = 0;
};

inline const std::vector<ServerAccount> kAccounts = {
    {"alice", "Alice", "\xE3\x81\x82 profile", 12},
    {"bob", "Bob", "", 3},
};

}  // namespace lobby_test
