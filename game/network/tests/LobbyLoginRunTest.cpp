#include "game/network/LobbyEntrance.h"
#include "game/network/LobbyLogin.h"
#include "game/network/tests/LobbyPlayer.h"
#include "game/network/tests/LobbyScreensRun.h"

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace lobby_run;
using namespace lobby_screen;

class LoginRun : public LobbyRun {
protected:
    Player& Start(u32 startMode)
    {
        EXPECT_TRUE(server.Start(lobby_test::kAccounts));
        Player& p = AddPlayer(1, startMode, "127.0.0.1", server.Port());
        p.client.SetLobbyId("nobody");
        return p;
    }
    // Read under the client lock: the receive thread posts meanwhile.
    bool OnLoginScreen(Player& p)
    {
        return FramesUntil([&] {
            return p.client.GetScreen() == u32(LobbyLayer::kLogin) && p.client.GetPendingMessage() == ~0u;
        });
    }
    bool OnScreen(Player& p, LobbyLayer screen)
    {
        return FramesUntil([&] { return p.client.GetScreen() == u32(screen) && !p.MessagePending(); });
    }
    // The leftmost text sprite in the band of a row (layout y), or -1: of
    // the outlined (stored) text, or of the entry's (no outline).
    f32 TextX(f32 y, bool outlined)
    {
        const f32 s = game.App().GetLayoutScale();
        const u64 lobby = game.Render().IdOf(texture->GetTexture());
        f32 left = -1.0f;
        for (const host::render::Call& call : game.RenderLog()) {
            SpriteVertex v[4];
            if (call.op != "DrawPrimitiveUP" || call.data.size() != sizeof v || u64(call.Number("texture")) == lobby)
                continue;
            std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
            if ((v[0].colour == 0xFF000000u) != outlined) continue;
            if (v[0].y >= y * s - 8.0f && v[0].y < (y + 30.0f) * s && (left < 0.0f || v[0].x < left)) left = v[0].x;
        }
        return left < 0.0f ? -1.0f : left / s;
    }
    void Retype(Player& p, const std::string& text)
    {
        p.client.GetImeInput()->SetText(nullptr);
        Type(p, text);
        Enter();
    }

    lobby_test::LobbyServerProcess server;
};

TEST_F(LoginRun, RefusedThenAcceptedReachesTheLobby)
{
    Player& p = Start(2);
    ASSERT_TRUE(OnScreen(p, LobbyLayer::kLogin));
    game.Frame();
    const std::vector<std::string> layers = scene_data::LoginLayers();
    EXPECT_EQ(Drawn(layers), (std::vector<std::string>{"bg02", "Base", "kira"}));
    const f32 s = game.App().GetLayoutScale();
    EXPECT_NEAR(TextX(CLobbyLoginScene::kIdY, true), CLobbyLoginScene::kTextX, 1.0f / s);   // the configured ID
    EXPECT_LT(TextX(CLobbyLoginScene::kPasswordY, true), 0.0f);
    // The entry takes 32 bytes of ID; while it holds text it is drawn instead.
    Type(p, std::string(40, 'a'));
    game.Frame();
    EXPECT_EQ(p.client.GetImeInput()->GetTotalLength(), 32u);
    EXPECT_LT(TextX(CLobbyLoginScene::kIdY, true), 0.0f);
    EXPECT_NEAR(TextX(CLobbyLoginScene::kIdY, false), CLobbyLoginScene::kEntryX, 1.0f / s);
    p.client.GetImeInput()->SetText(nullptr);
    Enter();   // an empty entry takes the stored ID
    EXPECT_EQ(p.client.GetImeInput()->GetTextString(), "nobody");
    Enter();
    Press(menu::kDown);
    Type(p, std::string(20, 'p'));
    EXPECT_EQ(p.client.GetImeInput()->GetTotalLength(), 16u);
    Retype(p, "pw");
    Press(menu::kDown);
    EXPECT_EQ(Drawn(layers), (std::vector<std::string>{"bg02", "Base", "kira", "login2"}));
    Press(menu::kDecide);
    ASSERT_TRUE(FramesUntil([&] { return p.MessageCode() == kEventLoginRefused; }));
    lobby::LobbyUserRecord own;
    p.client.GetOwnUser(&own);
    u8 golden[56] = {'n', 'o', 'b', 'o', 'd', 'y'};
    golden[33] = 'p', golden[34] = 'w', golden[54] = 0x50, golden[55] = 0x46;   // port 18000
    EXPECT_EQ(0, std::memcmp(own.data + lobby::kLoginAt, golden, sizeof golden));
    game.Frames(20);
    Press(menu::kDecide);   // the notice goes; the screen stays
    Press(menu::kDown);
    Retype(p, "alice");
    Press(menu::kUp);
    Press(menu::kDecide);
    ASSERT_TRUE(OnScreen(p, LobbyLayer::kLobby));
    EXPECT_STREQ(p.client.GetLobbyId(), "alice");   // back to the configuration
    EXPECT_TRUE(server.WaitLog("login alice"));
}

// Cancel disconnects under the client lock while server messages go
// through the client's dispatch; the receive thread is joined after, and
// entering again is a new handshake.
TEST_F(LoginRun, CancelClosesTheConnectionAndANewHandshakeFollows)
{
    Player& p = Start(0);
    ASSERT_TRUE(FramesUntil([&] { return p.Screen<CLobbyEntranceScene>(LobbyLayer::kEntrance)->GetFade() <= 0; }));
    Press(menu::kDown);
    Press(menu::kDecide);
    ASSERT_TRUE(OnScreen(p, LobbyLayer::kLogin));
    std::atomic<bool> stop{false};
    std::thread arriving([&] {
        for (int i = 0; i < 20000 && !stop; ++i) {
            u8 gone[4] = {99, 0, 0, 0};   // a user leaves
            p.client.Dispatch(lobby::kUserRemoved, lobby::kStatusSuccess, gone, sizeof gone);
        }
    });
    Press(menu::kCancel);
    stop = true;
    arriving.join();
    EXPECT_EQ(p.client.GetScreen(), u32(LobbyLayer::kEntrance));
    ASSERT_TRUE(FramesUntil([&] { return !p.client.IsConnected(); }));
    EXPECT_NE(p.client.GetPayloadKey(), 0);
    EXPECT_EQ(p.client.GetPayloadKey(), lobby::kInitialPayloadKey);
    Press(menu::kDecide);
    ASSERT_TRUE(OnScreen(p, LobbyLayer::kLogin));
    const std::string log = server.Log();
    size_t connects = 0;
    for (size_t at = log.find("connect "); at != std::string::npos; at = log.find("connect ", at + 1)) ++connects;
    EXPECT_EQ(connects, 2u);
}

// With the server first, cancel at the login leaves network play.
TEST_F(LoginRun, CancelWithServerFirstLeaves)
{
    Player& p = Start(2);
    ASSERT_TRUE(OnScreen(p, LobbyLayer::kLogin));
    Press(menu::kCancel);
    EXPECT_EQ(p.client.GetExitRequest(), 1u);
    EXPECT_TRUE(FramesUntil([&] { return !p.client.IsConnected(); }));
}

// The server goes while the player is at the login: its notice is answered,
// and Login then cannot be sent. The waiting message must not stay up.
TEST_F(LoginRun, LoginAfterTheServerWentShowsTheLostServerNotice)
{
    Player& p = Start(2);
    ASSERT_TRUE(OnLoginScreen(p));
    server.Stop();
    ASSERT_TRUE(FramesUntil([&] { return p.client.GetPendingMessage() == kEventServerLost; }));
    game.Frames(20);
    Press(menu::kDecide);   // the notice goes
    ASSERT_TRUE(FramesUntil([&] { return p.client.GetPendingMessage() == ~0u; }));
    Press(menu::kDown);
    Press(menu::kDown);
    Press(menu::kDecide);
    ASSERT_TRUE(FramesUntil([&] { return p.client.GetPendingMessage() != ~0u; }));
    EXPECT_EQ(p.client.GetPendingMessage(), kEventServerLost);
    EXPECT_EQ(p.client.GetScreen(), u32(LobbyLayer::kLogin));
}

// A field holding text takes every key as typing, and a key that types a
// letter into an empty field types it too (Z is the default decide; any
// letter may be given to cancel, up or down): the row stays, the screen
// stays. Decide acts on the button row only; up and down without a letter
// move the row.
TEST_F(LoginRun, ButtonKeysTypeTheirLettersAndDecideActsOnTheButtonOnly)
{
    Player& p = Start(2);
    ASSERT_TRUE(OnLoginScreen(p));
    auto* login = p.Screen<CLobbyLoginScene>(LobbyLayer::kLogin);
    ASSERT_NE(login, nullptr);
    game.Frame();
    Retype(p, "zed");
    EXPECT_STREQ(login->IdField(), "zed");
    CImeInput* ime = p.client.GetImeInput();
    const struct {
        const char* letter;
        u32 key;
    } keys[] = {{"z", menu::kDecide}, {"x", menu::kCancel}, {"w", menu::kUp}, {"s", menu::kDown}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.letter);
        ime->SetText(nullptr);
        game.Frame();
        Type(p, k.letter);   // the key's character arrives with it
        Press(k.key);
        game.Frame();
        EXPECT_EQ(ime->GetTextString(), k.letter);
        EXPECT_EQ(login->GetRow(), u32(CLobbyLoginScene::kRowId));
        EXPECT_EQ(p.client.GetScreen(), u32(LobbyLayer::kLogin));
        EXPECT_EQ(p.client.GetExitRequest(), 0u);
        EXPECT_STREQ(login->IdField(), "zed");
    }
    // Typed on: the same key is text.
    Type(p, "z");
    Press(menu::kDecide);
    EXPECT_EQ(ime->GetTextString(), "sz");
    ime->SetText(nullptr);
    game.Frame();
    // Decide without a letter on a field: nothing.
    Press(menu::kDecide);
    game.Frame();
    EXPECT_EQ(login->GetRow(), u32(CLobbyLoginScene::kRowId));
    EXPECT_EQ(p.client.GetPendingMessage(), ~0u);
    // Down without a letter moves on: the password, then the button.
    Press(menu::kDown);
    game.Frame();
    EXPECT_EQ(login->GetRow(), u32(CLobbyLoginScene::kRowPassword));
    Type(p, "pw");
    Enter();
    EXPECT_STREQ(login->PasswordField(), "pw");
    Press(menu::kDown);
    game.Frame();
    ASSERT_EQ(login->GetRow(), u32(CLobbyLoginScene::kRowLogin));
    Press(menu::kDecide);
    ASSERT_TRUE(FramesUntil([&] { return p.client.GetPendingMessage() == kEventLoginRefused; }));
}

// Keys pressed in one frame each take their step: a move and decide log in
// from the moved-to row; a move and cancel move and leave.
TEST_F(LoginRun, AMoveAndDecideOrCancelInOneFrameTakeBothSteps)
{
    Player& p = Start(2);
    ASSERT_TRUE(OnScreen(p, LobbyLayer::kLogin));
    auto* login = p.Screen<CLobbyLoginScene>(LobbyLayer::kLogin);
    const auto together = [&](std::vector<u32> codes) {
        for (u32 code : codes) game.Hold(code, true);
        game.Frame();
        for (u32 code : codes) game.Hold(code, false);
        game.Frame();
    };
    ASSERT_EQ(login->GetRow(), u32(CLobbyLoginScene::kRowId));
    together({menu::kUp, menu::kDecide});
    EXPECT_EQ(login->GetRow(), u32(CLobbyLoginScene::kRowLogin));
    EXPECT_TRUE(server.WaitLog("refused nobody"));
    ASSERT_TRUE(FramesUntil([&] { return p.MessageCode() == kEventLoginRefused; }));
    game.Frames(20);
    Press(menu::kDecide);   // the notice goes
    game.Frame();
    together({menu::kDown, menu::kCancel});
    EXPECT_EQ(login->GetRow(), u32(CLobbyLoginScene::kRowId));
    EXPECT_EQ(p.client.GetExitRequest(), 1u);
}

}  // namespace ORV_TEST_FILE_ID
