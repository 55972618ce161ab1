// A lobby client on the game's lobby texture and menu font, drawn by the
// app's host scene, on real OpenGL at the layout's own size (1024 x 768):
// the room screens' frame tests start from here.
#pragma once

#include "game/network/LobbyClient.h"
#include "game/network/LobbyRoom.h"
#include "game/network/LobbyScreenSet.h"
#include "game/network/tests/LobbyDoubles.h"
#include "game/network/tests/LobbySceneHarness.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/MenuRun.h"
#include "game/scenes/tests/gl/GlGame.h"

#include <gtest/gtest.h>

#include <memory>

namespace lobby_gl_test {

inline constexpr u32 kWidth = gl_test::kLayoutWidth, kHeight = gl_test::kLayoutHeight;

class LobbyGlRoom : public gl_test::GlGame {
protected:
    // The game at 1024 x 768 with its resources, the client made on them.
    void StartClient()
    {
        ASSERT_TRUE(StartIdle());
        ASSERT_EQ(app_->GetClientHeight(), i32(kHeight));
        app_->ChangeScene(host_ = new lobby_scene_test::CLobbyHostScene(), 0);
        ASSERT_EQ(app_->GetScene(), host_);
        CTexture* texture = menu::FindTexture(scene_data::kLobbyTexture);
        ASSERT_NE(texture, nullptr);
        auto set = std::make_unique<CLobbyScreenSet>(client_);
        set_ = set.get();
        ASSERT_EQ(client_.Create("tag1", "tag2", texture, menu::MenuFont(), "127.0.0.1", 15500, 18000, std::move(set),
                                 std::make_unique<lobby_test::RecordingPeerSide>(peers_)),
                  1);
        host_->client = &client_;
    }

    // The room screen reset in mode (0 direct, 1 through the lobby), this
    // player its host "Host"; null when the set has no room screen.
    CLobbyRoomScene* HostRoom(u32 mode)
    {
        auto* room = dynamic_cast<CLobbyRoomScene*>(set_->Scene(LobbyLayer::kRoom));
        if (!room) return nullptr;
        room->Reset();
        room->SetLobbyMode(mode);
        client_.SetRoomHost(true, 0);
        room->BecomeHost("Host", nullptr);
        return room;
    }

    void TearDown() override
    {
        if (host_) host_->client = nullptr;
        client_.Destroy();   // before the game: the screens hold its textures
        GlGame::TearDown();
    }

    lobby_test::RecordingPeerSide::Shared peers_;
    CLobbyClient client_;
    CLobbyScreenSet* set_ = nullptr;
    lobby_scene_test::CLobbyHostScene* host_ = nullptr;   // the app's
};

}  // namespace lobby_gl_test
