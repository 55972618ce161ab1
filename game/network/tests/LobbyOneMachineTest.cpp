// Network play on one machine: the lobby server program on the port it is
// given (15500 unless told) taking any login when it has no accounts; the
// game's lobby server named by ORV_LOBBY_SERVER, through the title as the
// game starts network play; a connect that fails saying what failed, with
// the server's host and port.
#include "game/network/LobbyClient.h"
#include "game/network/LobbyMessage.h"
#include "game/network/LobbyWire.h"
#include "game/network/NetworkScene.h"
#include "game/network/tests/LobbyDoubles.h"
#include "game/network/tests/LobbyPlayer.h"
#include "game/network/tests/NetworkSceneRun.h"
#include "host/net/FakeNet.h"
#include "host/net/tests/Loopback.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace lobby_test;

TEST(LobbyServerOverride, NamesTheHostAndItsPort)
{
    const std::string fixed = netscene::kDefaultServerHost;
    const struct {
        const char* text;
        std::string host;
        u16 port;
    } rows[] = {
        {nullptr, fixed, 15500},
        {"", fixed, 15500},
        {"127.0.0.1", "127.0.0.1", 15500},
        {"127.0.0.1:16000", "127.0.0.1", 16000},
        {"lobby.example:1", "lobby.example", 1},
        {"lobby.example:65535", "lobby.example", 65535},
        {"lobby.example:00080", "lobby.example", 80},
        // Not a port: the whole text is the host, on the fixed port.
        {"lobby.example:65536", "lobby.example:65536", 15500},
        {"lobby.example:0", "lobby.example:0", 15500},
        {"lobby.example:", "lobby.example:", 15500},
        {":16000", ":16000", 15500},
        {"lobby.example:123456", "lobby.example:123456", 15500},
        {"lobby.example:16x", "lobby.example:16x", 15500},
        {"a:b:99", "a:b", 99},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text ? r.text : "(null)");
        const netscene::ServerEndpoint got = netscene::ServerFromOverride(r.text);
        EXPECT_EQ(got.host, r.host);
        EXPECT_EQ(got.port, r.port);
    }
}

// Started as a player starts it, the server listens on 15500 and takes a
// login it never saw, naming the account after it.
TEST(LobbyServerProgram, ListensOn15500AndTakesAnyLoginWithoutAccounts)
{
    const u32 address = net_test::Loopback(93);
    LobbyServerProcess server;
    ASSERT_TRUE(server.StartWithOptions({"--bind", host::net::FormatAddress(address)}, address));
    EXPECT_EQ(server.Port(), 15500);
    ServerPlayer newcomer(server, 94, "newcomer");
    ASSERT_EQ(newcomer.created, 1);
    ASSERT_TRUE(newcomer.LogIn());
    lobby::LobbyUserRecord own;
    ASSERT_TRUE(newcomer.client.GetOwnUser(&own));
    EXPECT_STREQ(own.Name(), "newcomer");
    // A second player is a second account, and each sees the other listed.
    ServerPlayer other(server, 95, "other");
    ASSERT_TRUE(other.LogIn());
    EXPECT_TRUE(WaitFor([&] { return other.client.GetUserCount() == 2 && newcomer.client.GetUserCount() == 2; }));
    lobby::LobbyUserRecord second;
    ASSERT_TRUE(other.client.GetOwnUser(&second));
    EXPECT_NE(second.Id(), own.Id());
}

TEST(LobbyServerProgram, ListensOnThePortItIsGivenAndRefusesBadOptions)
{
    const u32 address = net_test::Loopback(96);
    {
        LobbyServerProcess server;
        ASSERT_TRUE(server.StartWithOptions({"--bind", host::net::FormatAddress(address), "--port", "15501"}, address));
        EXPECT_EQ(server.Port(), 15501);
    }
    const std::vector<std::vector<std::string>> bad = {
        {"--port", "65536"}, {"--port", "-1"}, {"--port", "x"}, {"--seconds", ""}, {"--keepalive-ms", "0"},
        {"--colour", "blue"}, {"--port"},
    };
    for (const auto& options : bad) {
        SCOPED_TRACE(options[0]);
        LobbyServerProcess server;
        std::vector<std::string> all = {"--bind", host::net::FormatAddress(address)};
        all.insert(all.end(), options.begin(), options.end());
        EXPECT_FALSE(server.StartWithOptions(all, address));
        EXPECT_EQ(server.ExitStatus(), 2);
    }
}

// Started by hand: --help (or -h) gives the usage on standard output and
// ends well; a value left out or an option it does not take gives the same
// usage with what was wrong, and fails.
TEST(LobbyServerProgram, HelpGivesTheUsage)
{
    const auto run = [](const std::string& arguments, bool withErrors) -> std::pair<std::string, int> {
        const std::string command =
            std::string("'") + ORV_LOBBY_SERVER + "' " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null");
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return {"", -1};
        std::string out;
        std::array<char, 256> chunk;
        for (size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0;) out.append(chunk.data(), n);
        const int status = pclose(pipe);
        return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
    };
    const struct {
        const char* arguments;
        int status;
        const char* says;
    } cases[] = {
        {"--help", 0, "usage: lobby_server"},
        {"-h", 0, "usage: lobby_server"},
        {"--port", 2, "--port wants a value"},
        {"--colour blue", 2, "is not an option it takes"},
        {"--bogus", 2, "--bogus is not an option it takes"},
        {"--port 80 --seconds", 2, "--seconds wants a value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const auto [out, status] = run(c.arguments, c.status != 0);
        EXPECT_EQ(status, c.status) << out;
        EXPECT_NE(out.find(c.says), std::string::npos) << out;
        for (const char* option : {"--bind", "--port", "--accounts", "--seconds", "--help"})
            EXPECT_NE(out.find(option), std::string::npos) << option << " in " << out;
    }
}

// What the notice of a failed connect says, step by step, on the fake
// network (no name server is asked): the lobby server's host and port.
TEST(LobbyConnectFailure, TheNoticeSaysWhatFailedWithTheServersHostAndPort)
{
    using host::net::Call;
    using host::net::Error;
    const struct {
        const char* host;
        u16 port;
        Call fail;
        Error error;
        u32 event;
        std::string detail;
    } rows[] = {
        {"lobby.example", 15500, Call::HostName, Error::None, kEventNoRoute,
         "Lobby server not found:\nlobby.example port 15500"},
        {"10.0.0.3", 15600, Call::Open, Error::Failed, kEventNoRoute, "No socket for the lobby server:\n10.0.0.3 port 15600"},
        {"10.0.0.3", 15601, Call::HostName, Error::None, kEventServerLost,
         "Lobby server refused the connection:\n10.0.0.3 port 15601"},
        {"10.0.0.3", 15500, Call::Connect, Error::TimedOut, kEventServerLost,
         "Lobby server did not answer in time:\n10.0.0.3 port 15500"},
        {"10.0.0.3", 15500, Call::Connect, Error::Failed, kEventServerLost,
         "Lobby server could not be reached:\n10.0.0.3 port 15500"},
        // Bytes from the player's environment outside printable ASCII.
        {"lob\tby\xE9", 1, Call::HostName, Error::None, kEventNoRoute, "Lobby server not found:\nlob?by? port 1"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.detail);
        host::net::FakeNetwork network(11);
        host::net::FakeMachine& me = network.AddMachine(host::net::MakeAddress(10, 0, 0, 2));
        network.AddMachine(host::net::MakeAddress(10, 0, 0, 3));   // nobody listens there
        // HostName stands for no failure: the connect never asks for it.
        if (r.fail != Call::HostName) me.FailCall(r.fail, r.error, host::net::kFailAlways);
        RecordingScreens::Shared screens;
        RecordingPeerSide::Shared peers;
        CLobbyClient client(&me);
        ASSERT_EQ(client.Create("tag1", "tag2", nullptr, nullptr, r.host, r.port, 18000,
                                std::make_unique<RecordingScreens>(screens), std::make_unique<RecordingPeerSide>(peers)),
                  1);
        client.StartConnect();
        ASSERT_TRUE(WaitFor([&] {
            std::lock_guard lock(screens.mutex);
            return screens.events.size() >= 2;
        }));
        std::lock_guard lock(screens.mutex);
        EXPECT_EQ(screens.events.back(), r.event);
        EXPECT_EQ(screens.details.back(), r.detail);
        EXPECT_EQ(screens.details.front(), "");   // the waiting message says nothing more
    }
}

// A connection that ends says whether the server had greeted it: one that
// never did may be something else listening on the port.
TEST(LobbyConnectFailure, AConnectionThatEndsSaysWhetherTheServerGreetedIt)
{
    {
        HandServedClient rig(12);
        ASSERT_NO_FATAL_FAILURE(rig.Start());
        rig.client.StartConnect();
        rig.other.Close(rig.other.Accept(rig.listener, nullptr));   // not a word
        ASSERT_TRUE(WaitFor([&] {
            std::lock_guard lock(rig.screens.mutex);
            return rig.screens.events.size() >= 2;
        }));
        rig.client.Destroy();
        rig.other.Close(rig.listener);
        std::lock_guard lock(rig.screens.mutex);
        EXPECT_EQ(rig.screens.events.back(), u32(kEventServerLost));
        EXPECT_EQ(rig.screens.details.back(), "Lobby server closed without a greeting:\n10.0.0.3 port 15500");
    }
    // The test server greets, then drops the connection.
    LobbyServerProcess server;
    ASSERT_TRUE(server.Start(kAccounts, "drop"));
    ServerPlayer player(server, 97, "alice");
    player.client.StartConnect();
    ASSERT_TRUE(WaitFor([&] { return player.LastEvent() == kEventServerLost; }));
    std::lock_guard lock(player.screens.mutex);
    EXPECT_EQ(player.screens.details.back(), "Lobby server connection lost:\n" +
                                                 host::net::FormatAddress(server.Address()) + " port " +
                                                 std::to_string(server.Port()));
}

// One client, two servers in turn at one address: after one that greeted
// and then went, a reconnect to one that closes without a word is not taken
// for the first one's loss.
TEST(LobbyConnectFailure, AReconnectForgetsTheLastServersGreeting)
{
    HandServedClient rig(13);
    ASSERT_NO_FATAL_FAILURE(rig.Start());
    const auto lostNotices = [&] {
        std::lock_guard lock(rig.screens.mutex);
        std::vector<std::string> notices;
        for (size_t i = 0; i < rig.screens.events.size(); ++i)
            if (rig.screens.events[i] == u32(kEventServerLost)) notices.push_back(rig.screens.details[i]);
        return notices;
    };
    // The first greets, then drops the connection.
    rig.client.StartConnect();
    const host::net::Socket greeting = rig.other.Accept(rig.listener, nullptr);
    const u8 hello[2] = {'~', 0x5A};
    const std::vector<u8> bytes =
        lobby::WriteServerMessage(lobby::kHandshake, lobby::kStatusSuccess, hello, 2, lobby::kInitialPayloadKey);
    ASSERT_EQ(rig.other.Send(greeting, bytes.data(), bytes.size()).bytes, i32(bytes.size()));
    ASSERT_TRUE(WaitFor([&] { return rig.client.GetScreen() == u32(LobbyLayer::kLogin); }));
    rig.other.Close(greeting);
    ASSERT_TRUE(WaitFor([&] { return lostNotices().size() == 1; }));
    // The player goes back and connects again: this one says nothing.
    rig.client.Disconnect();
    rig.client.StartConnect();
    rig.other.Close(rig.other.Accept(rig.listener, nullptr));
    ASSERT_TRUE(WaitFor([&] { return lostNotices().size() == 2; }));
    rig.client.Destroy();
    rig.other.Close(rig.listener);
    const std::vector<std::string> notices = lostNotices();
    EXPECT_EQ(notices[0], "Lobby server connection lost:\n10.0.0.3 port 15500");
    EXPECT_EQ(notices[1], "Lobby server closed without a greeting:\n10.0.0.3 port 15500");
}

// The title's Network item as the game registers it (the scene's own
// defaults), with ORV_LOBBY_SERVER naming a server on this machine: "Lobby
// server" on the entrance reaches that server's login.
CScene* MakeGameScene() { return new CNetworkScene; }

TEST(LobbyServerOverride, TheGameReachesTheServerTheVariableNames)
{
    LobbyServerProcess server;
    ASSERT_TRUE(server.Start(kAccounts));
    const std::string named = host::net::FormatAddress(server.Address()) + ":" + std::to_string(server.Port());
    ASSERT_EQ(setenv(netscene::kServerVariable, named.c_str(), 1), 0);
    SetNetworkSceneFactory(&MakeGameScene);
    {
        netscene_test::SceneRun run;
        ASSERT_TRUE(run.FromTitle());
        CLobbyClient& lobby = run.Lobby();
        run.game.Frames(40);   // the entrance fades in
        run.game.Press(menu::kDown);
        run.game.Press(menu::kDecide);
        bool login = false;
        for (u32 i = 0; i < 2000 && !login; ++i) {
            run.game.Frame();
            login = lobby.GetScreen() == u32(LobbyLayer::kLogin) && lobby.GetPendingMessage() == ~0u;
            if (!login) usleep(5000);
        }
        EXPECT_TRUE(login) << "message " << lobby.GetPendingMessage();
        EXPECT_TRUE(server.WaitLog("connect "));
        lobby.SetExitRequest(1);
        run.game.Frame();
    }
    SetNetworkSceneFactory(nullptr);
    unsetenv(netscene::kServerVariable);
}

}  // namespace ORV_TEST_FILE_ID
