// The lobby screens run for real on the headless game: lobby clients with
// the real screen set, stepped by a scene the way the network scene steps
// them (the focused client's Update, every peer host's Update outside the
// client lock, the focused client's Draw), on the game data set.
#pragma once

#include "engine/graphics/Texture.h"
#include "engine/platform/app/ImeInput.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyScreenSet.h"
#include "game/network/RoomMembers.h"
#include "game/network/tests/LobbyDoubles.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/MenuRun.h"
#include "host/net/tests/Loopback.h"
#include "host/window/Messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>   // steady_clock: <chrono> does not build under CP932
#include <vector>

namespace lobby_run {

// Each player's peer port, the game's.
inline constexpr u16 kPeerPort = 18000;
// The scan codes of the digit keys 0 to 9.
inline constexpr u8 kDigitKeys[10] = {0x0B, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};

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

// The network scene's lock, outside the clients': the peer callbacks run
// under it, and tests read the rooms' state under it.
inline std::mutex& SceneLock()
{
    static std::mutex lock;
    return lock;
}

// The peer messages reach the client as the network scene routes them.
inline void RoutePeers(CLobbyClient& client)
{
    client.SetAcceptCallback(
        [](void* c, CNetClient* peer) {
            std::lock_guard<std::mutex> lock(SceneLock());
            return static_cast<CLobbyClient*>(c)->AcceptPeer(peer);
        },
        &client);
    client.SetMessageCallback(
        [](void* c, CNetClient* sender, const u8* payload, i32 type, u32 n) {
            std::lock_guard<std::mutex> lock(SceneLock());
            CLobbyClient& to = *static_cast<CLobbyClient*>(c);
            switch (type) {
            case room::kChatMessage: return to.OnRoomChat(sender, payload, n);
            case room::kJoinReplyMessage: return to.OnJoinReply(sender, payload, n);
            case room::kMemberInfoMessage: return to.OnMemberInfo(sender, payload, n);
            case room::kMemberTableMessage: return to.OnMemberTable(sender, payload, n);
            case room::kMemberResultMessage: return to.OnMemberResult(sender, payload, n);
            default: return 1;
            }
        },
        &client);
    client.SetDisconnectCallback(
        [](void* c, CNetClient* peer) {
            std::lock_guard<std::mutex> lock(SceneLock());
            static_cast<CLobbyClient*>(c)->OnPeerLeft(peer);
        },
        &client);
}

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
    // The message window's state, read under the client lock: the receive
    // and connect threads show messages under it.
    template <class Read>
    auto Locked(Read read) -> decltype(read())
    {
        decltype(read()) value{};
        client.ReadLocked([&] { value = read(); });
        return value;
    }
    u32 MessageCode() { return Locked([&] { return Message().GetCode(); }); }
    bool MessageShowing() { return Locked([&] { return Message().IsShowing(); }); }
    bool MessageAnswered() { return Locked([&] { return Message().IsAnswered(); }); }
    bool MessagePending() { return Locked([&] { return screens->MessagePending(); }); }
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
                      u16 peerPort = kPeerPort, bool realPeers = false)
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

    // Frames until the condition holds: up to budget frames when one is
    // given; by default as many as the network threads need, which on a
    // loaded machine can be more than 600 frames (up to 10 s).
    static constexpr u32 kThreadsBudget = 0;
    template <class Condition>
    bool FramesUntil(Condition condition, u32 budget = kThreadsBudget)
    {
        const bool threads = budget == kThreadsBudget;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (u32 i = 0; threads ? i < 600 || std::chrono::steady_clock::now() < end : i < budget; ++i) {
            if (condition()) return true;
            game.Frame();
            if (i % 8 == 7 || i >= 600) usleep(1000);   // the network threads' turn
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
        return menu_run::DrawnLayers(game, layers, texture, scene_data::LobbyTextureSheets());
    }
    // The top left corners (layout units) of a layer's sprites this frame,
    // the layer named by its cell in layers.
    std::vector<std::pair<f32, f32>> Corners(const std::vector<std::string>& layers, const std::string& layer)
    {
        const u64 id = game.Render().IdOf(texture->GetTexture());
        const f32 s = game.App().GetLayoutScale();
        std::vector<std::pair<f32, f32>> out;
        for (const host::render::Call& call : game.RenderLog()) {
            SpriteVertex v[4];
            if (call.op != "DrawPrimitiveUP" || call.data.size() != sizeof v || u64(call.Number("texture")) != id)
                continue;
            std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
            const f32 u = (v[0].u + v[1].u + v[2].u + v[3].u) / 4, w = (v[0].v + v[1].v + v[2].v + v[3].v) / 4;
            if (scene_data::LayerAt(layers, u, w, scene_data::LobbyTextureSheets(), texture->GetHeight()) == layer)
                out.push_back({v[0].x / s, v[0].y / s});
        }
        return out;
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
