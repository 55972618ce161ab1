// The network scene as the game runs it: the headless game with the data
// set, the scene current on a loopback address of this process, recording
// lobby screens, and a child double that notes what it is handed.
#pragma once

#include "game/network/LobbyClient.h"
#include "game/network/LobbyScreenSet.h"
#include "game/network/NetworkScene.h"
#include "game/network/tests/LobbyDoubles.h"
#include "game/scenes/tests/GameDriver.h"
#include "game/scenes/tests/MenuRun.h"
#include "host/net/tests/Loopback.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace netscene_test {

// A hosted scene: notes its updates, draws and the peer messages it gets
// (type and length as handed, the bytes copied); its Update runs a hook,
// which may hand over to another scene, its Load and its deletion run
// hooks, and its Load fails when told.
class ChildDouble : public CScene, public IPeerMessageSink {
    ORV_VALUE_CLASS(ChildDouble)

public:
    struct Log {
        std::mutex mutex;
        std::vector<std::pair<u32, std::vector<u8>>> messages;
        u32 updates = 0, draws = 0, loads = 0, deleted = 0;
        u32 accept = 1;   // what OnPeerMessage answers
    };

    ChildDouble() = default;
    explicit ChildDouble(Log* log, i32 loads = 1) : m_log(log), m_loads(loads) {}
    ChildDouble(const ChildDouble&) = default;
    ~ChildDouble() override
    {
        if (m_log) ++m_log->deleted;
        if (onDelete) onDelete();
    }

    i32 Initialize(intptr_t block) override
    {
        if (m_log) ++m_log->loads;
        if (onLoad) onLoad(block);
        return m_loads;
    }
    i32 Update(u32) override
    {
        if (m_log) ++m_log->updates;
        // The hook may delete this scene's host's hold on it: nothing after.
        if (onUpdate) return onUpdate();
        return 1;
    }
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32) override
    {
        if (m_log) ++m_log->draws;
        return 1;
    }
    u32 OnPeerMessage(u32 type, const u8* data, u32 length) override
    {
        if (!m_log) return 1;
        std::lock_guard lock(m_log->mutex);
        m_log->messages.emplace_back(type, std::vector<u8>(data, data + length));
        return m_log->accept;
    }

    std::function<i32()> onUpdate;
    std::function<void(intptr_t block)> onLoad;
    std::function<void()> onDelete;

private:
    Log* m_log = nullptr;
    i32 m_loads = 1;
};

// The scene's endpoints and screens for a test on this process's loopback
// address k: nothing leaves 127.0.0.0/8.
inline netscene::NetworkSceneOptions LoopbackOptions(host::net::Net* net, u8 k,
                                                     lobby_test::RecordingScreens::Shared* screens)
{
    netscene::NetworkSceneOptions options;
    options.net = net;
    options.serverHost = host::net::FormatAddress(net_test::Loopback(k));
    options.peerPort = 0;
    options.discovery = host::net::Endpoint{net_test::Loopback(k), 9};
    if (screens)
        options.screens = [screens](CLobbyClient&) { return std::make_unique<lobby_test::RecordingScreens>(*screens); };
    return options;
}

// The game with the network scene current: made by the run (Enter) or by the
// title's item (FromTitle).
struct SceneRun {
    explicit SceneRun(game_test::DriverOptions options = menu_run::Options())
        : game(game_test::GameDataRoot(), std::move(options))
    {
    }

    // Loads the data, edits the configuration, makes the scene current.
    ::testing::AssertionResult Enter(const std::function<void(CSaveConfig&)>& edit = {})
    {
        if (!game.Started() || !game.App().LoadResources())
            return ::testing::AssertionFailure() << "no start" << game.Describe();
        if (edit) edit(*game.App().GetSaveConfig());
        netscene::NetworkSceneOptions options = LoopbackOptions(net.get(), 1, &screens);
        if (realScreens)
            options.screens = [this](CLobbyClient& client) {
                auto set = std::make_unique<CLobbyScreenSet>(client);
                screenSet = set.get();
                return set;
            };
        scene = new CNetworkScene(options);
        return menu_run::Enter(game, scene);
    }
    // Loads the data and decides the title's Network item: the scene the
    // registered factory makes is current, its lobby client made.
    ::testing::AssertionResult FromTitle()
    {
        if (!game.App().LoadResources()) return ::testing::AssertionFailure() << "no resources" << game.Describe();
        if (auto r = menu_run::DecideOnTitle(game, title::kNetwork, "CNetworkScene"); !r) return r;
        scene = dynamic_cast<CNetworkScene*>(game.App().GetScene());
        if (!scene || !scene->GetLobbyClient()) return ::testing::AssertionFailure() << "no lobby client";
        return ::testing::AssertionSuccess();
    }
    CLobbyClient& Lobby() { return *scene->GetLobbyClient(); }
    // The room: count members, this player at own, host or guest.
    void Room(i16 count, i32 own, bool host)
    {
        RoomMemberTable& table = Lobby().MemberTable();
        table.count = count;
        for (i16 i = 0; i < count; ++i) std::snprintf(table.members[i].name, sizeof table.members[i].name, "M%d", i);
        Lobby().SetRoomHost(host, own);
    }
    // The network scene, still current.
    bool Current() const { return game.CurrentScene() == "CNetworkScene"; }

    // The network and the screens' record outlive the game, whose exit
    // releases the scene.
    std::unique_ptr<host::net::Net> net = host::net::CreatePosixNet(net_test::Loopback(1));
    lobby_test::RecordingScreens::Shared screens;
    game_test::GameDriver game;
    CNetworkScene* scene = nullptr;   // the application's
    // The game's own screens instead of the recording ones.
    bool realScreens = false;
    CLobbyScreenSet* screenSet = nullptr;   // the lobby client's
};

}  // namespace netscene_test
