// The lobby screens run for real on the headless game: lobby clients with
// the real screen set, stepped by a scene the way the network scene steps
// them (the focused client's Update, every peer host's Update outside the
// client lock, the focused client's Draw), on the game data set.
#pragma once

#include "engine/platform/app/ImeInput.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyScreenSet.h"
#include "game/network/tests/LobbyDoubles.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/tests/MenuRun.h"
#include "host/net/tests/Loopback.h"
#include "host/window/Messages.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace lobby_run {

class CLobbyRunScene : public CScene {
    ORV_VALUE_CLASS(CLobbyRunScene)

public:
    CLobbyRunScene() = default;
    CLobbyRunScene(const CLobbyRunScene&) = default;
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override
    {
        if (focused) focused->Update();
        for (CLobbyClient* client : clients)
            if (CNetHost* host = client->GetNetHost()) host->Update(16);
        return 1;
    }
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32) override { return focused ? focused->Draw() : 1; }

    std::vector<CLobbyClient*> clients;
    CLobbyClient* focused = nullptr;
};

// One player: a client on loopback address k, its screens and peer side.
struct Player {
    std::unique_ptr<host::net::Net> net;
    CLobbyClient client;
    CLobbyScreenSet* screens = nullptr;
    i32 created = 0;

    Player(u8 k, const std::string& server, u16 serverPort, u16 peerPort, bool realPeers, CTexture* texture,
           lobby_test::RecordingPeerSide::Shared& recorded)
        : net(host::net::CreatePosixNet(net_test::Loopback(k))), client(net.get())
    {
        auto set = std::make_unique<CLobbyScreenSet>(client);
        screens = set.get();
        std::unique_ptr<ILobbyPeerSide> peers = realPeers
            ? MakeLobbyPeerSide(net.get(), {net_test::Loopback(k), 9})   // no gateway there
            : std::make_unique<lobby_test::RecordingPeerSide>(recorded);
        created = client.Create("tag1", "tag2", texture, menu::MenuFont(), server.c_str(), serverPort, peerPort,
                                std::move(set), std::move(peers));
    }
    LobbySceneContext& Context() { return screens->Context(); }
    CLobbySceneMessage& Message() { return screens->Message(); }
    template <class Scene>
    Scene* Screen(LobbyLayer layer) { return dynamic_cast<Scene*>(screens->Scene(layer)); }
};

class LobbyRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(menu_run::Enter(game, scene = new CLobbyRunScene()));
        texture = menu::FindTexture(scene_data::kLobbyTexture);
        ASSERT_NE(texture, nullptr);
    }
    void TearDown() override
    {
        if (scene) scene->clients.clear(), scene->focused = nullptr;
        players.clear();   // before the game: the screens hold its textures
    }

    Player& AddPlayer(u8 k, u32 startMode = 0, const std::string& server = "127.0.0.1", u16 serverPort = 9,
                      u16 peerPort = 18000, bool realPeers = false)
    {
        players.push_back(std::make_unique<Player>(k, server, serverPort, peerPort, realPeers, texture, recorded));
        Player& p = *players.back();
        EXPECT_EQ(p.created, 1);
        p.Context().startMode = startMode;
        scene->clients.push_back(&p.client);
        if (!scene->focused) scene->focused = &p.client;
        return p;
    }
    void Focus(Player& p) { scene->focused = &p.client; }

    // Frames (up to budget) until the condition holds.
    template <class Condition>
    bool FramesUntil(Condition condition, u32 budget = 600)
    {
        for (u32 i = 0; i < budget; ++i) {
            if (condition()) return true;
            game.Frame();
            if (i % 8 == 7) usleep(1000);   // the network threads' turn
        }
        return condition();
    }
    // A keyboard key (scan code) down for one frame.
    void Key(u8 code)
    {
        game.Input().SetKey(code, true);
        game.Frame();
        game.Input().SetKey(code, false);
        game.Frame();
    }
    void Press(u32 code)
    {
        game.Press(code);
        game.Frame();
    }
    // Text typed into the focused client's entry, as the window hands it over.
    void Type(Player& p, const std::string& text)
    {
        CImeInput* ime = p.client.GetImeInput();
        for (char c : text) ime->HandleMessage(window(), host::window::kWmChar, u8(c), 0);
    }
    void Enter() { Key(28); }
    std::vector<std::string> Drawn(const std::vector<std::string>& layers)
    {
        return menu_run::DrawnLayers(game, layers, texture);
    }

    game_test::GameDriver game{game_test::GameDataRoot(), menu_run::Options()};
    CLobbyRunScene* scene = nullptr;
    CTexture* texture = nullptr;
    lobby_test::RecordingPeerSide::Shared recorded;
    std::vector<std::unique_ptr<Player>> players;

private:
    host::window::Handle window() { return game.App().GetSystem()->GetWindowHandle(); }
};

}  // namespace lobby_run
