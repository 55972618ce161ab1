// Network play end to end: game processes (orv_net_player) on loopback
// addresses of their own, played by scripts as a player would, to a whole
// battle whose state hashes must agree frame by frame on every machine.
//
// Direct: A hosts a room; C, configured with A's port, types A's address
// digit by digit, joins, and both play; then A hosts again with C on its
// deny list, and C is refused (message 10).
// Lobby: A and B log in to the test lobby server; A makes a room, B enters
// it, they chat, and they play; the server records both results.
#include "game/battle/scene/LockstepRecords.h"
#include "game/network/tests/process/GameProcesses.h"
#include "game/network/tests/lobby_server/LobbyServerFixture.h"
#include "host/kernel/Kernel.h"
#include "host/net/tests/Loopback.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

namespace ORV_TEST_FILE_ID {

namespace {

using e2e::GameProcess;
using e2e::NowMs;

// Each run's bound: a battle of the shortest time limit (100 s) and the
// way there and back fit well inside.
constexpr u32 kRunMs = 5 * 60 * 1000;

// From start-up to the network scene's entrance, the title's Network item
// three below Story.
const char* const kToEntrance =
    "60 scene CLogoScene press* decide\n"
    "60 scene CTitleScene none\n"
    "10 frames 90 press down 3\n"
    "5 frames 1 press decide\n"
    "30 screen 0 none\n"
    "5 frames 60 none\n";   // the entrance fades in
// Its cursor starts on the direct connection.
const std::string kToNetwork = std::string(kToEntrance) +
    "5 frames 1 press decide\n"
    "10 screen 1 none\n"
    "5 frames 30 none\n";

// Hosts a direct room under name.
std::string HostDirect(const std::string& name)
{
    return kToNetwork +
           "5 frames 1 press right\n"   // the mode: host
           "5 frames 1 press down\n"    // the name row (host skips the address rows)
           "5 frames 1 type " + name + "\n"
           "5 frames 1 key 1C\n"
           "5 frames 1 press down\n"
           "5 frames 1 press decide\n"
           "10 screen 4 dump\n";
}

// Types the host's address digit by digit and joins under name.
std::string JoinDirect(u32 host, const std::string& name)
{
    return kToNetwork +
           "5 frames 1 press down\n"   // the address row
           "5 frames 1 digits " + e2e::Digits(host) + "\n"
           "5 frames 1 press stick-down\n"   // the keypad types here: the stick moves
           "5 frames 1 press down\n"
           "5 frames 1 type " + name + "\n"
           "5 frames 1 key 1C\n"
           "5 frames 1 press down\n"
           "5 frames 1 press decide\n";
}

// The host starts the battle (its menu, 27 in a direct room and 26 in a
// lobby one: the first item; then 24: yes), confirms its card, sets the
// shortest time limit (the time row is three down: the points row shows
// only under the lives rule) and starts.
std::string HostBattle(u32 menu)
{
    return "5 frames 30 press start\n"
           "5 message " + std::to_string(menu) + " press decide\n"
           "5 message 24 press right\n"
           "5 frames 1 press decide\n"
           "30 child CCharaSelect none\n"
           "5 frames 90 press decide\n"
           "5 frames 1 press decide\n"
           "5 frames 120 press start\n"
           "30 child COptionSelect none\n"
           "5 frames 90 press down 3\n"
           "5 frames 1 press right\n"   // 1000 s wraps round to 100 s
           "5 frames 30 press start\n"
           "60 child CBattleScene none\n";
}

// A member confirms its card and waits for the host.
const char* const kMemberBattle =
    "60 child CCharaSelect none\n"
    "5 frames 90 press decide\n"
    "5 frames 1 press decide\n"
    "60 child CBattleScene none\n";

// The battle to its end, then back in the room (the host chooses the way:
// its end menu's third item, the room, once the menu shows; the first is
// the next battle), where the member table counts the battle for both
// players.
const char* const kHostEnd =
    "200 over - none\n"
    "120 endpage - none\n"
    "5 frames 30 press down 2\n"
    "120 child - press* decide\n"
    "30 results 2 dump\n"
    "10 frames 120 quit\n";
const char* const kMemberEnd =
    "200 over - none\n"
    "90 child - none\n"
    "30 results 2 dump\n"
    "10 frames 120 quit\n";

// What both machines of a battle must show: the same frames to the same
// hashes, the time limit's end on the same frame, and back in the room the
// battle counted once for each member in both tables. The frames both
// played.
u32 CheckBattle(GameProcess& host, GameProcess& member, const std::string& hostName, const std::string& memberName)
{
    u32 frames = 0;
    EXPECT_TRUE(e2e::SameBattle(host, member, &frames));
    // 100 s of battle frames: the host gives every frame the time its
    // slowest machine took (18 to 255 ms), so a loaded run plays fewer.
    const u32 over = e2e::OverFrame(host.Log());
    EXPECT_GE(over, 100000u / kMaxFrameMs) << host.Describe();
    EXPECT_LE(over, 100000u / kMinFrameMs + 1) << host.Describe();
    EXPECT_EQ(e2e::OverFrame(member.Log()), over) << member.Describe();
    EXPECT_GE(frames, over);
    for (GameProcess* p : {&host, &member}) {
        const auto members = e2e::LastMembers(p->Log());
        EXPECT_EQ(members.size(), 2u) << p->Describe();
        for (const auto& [name, results] : members)
            EXPECT_EQ(results[0] + results[1] + results[2], 1u) << p->Name() << ": " << name << p->Describe();
    }
    EXPECT_EQ(e2e::LastMembers(host.Log()), e2e::LastMembers(member.Log()));
    // Each player's own result, as its battle settled it, is the one its
    // row counts (results 1..3 in table columns 0..2).
    const auto table = e2e::LastMembers(host.Log());
    for (const auto& [p, name] : {std::pair{&host, hostName}, std::pair{&member, memberName}}) {
        const u32 result = e2e::OwnResult(p->Log());
        EXPECT_TRUE(result >= 1 && result <= 3) << p->Describe();
        if (result >= 1 && result <= 3 && table.count(name)) {
            EXPECT_EQ(table.at(name)[result - 1], 1u) << name;
        }
    }
    return frames;
}

TEST(NetProcess, DirectRoomByTypedAddressPlaysABattleToItsEndOnEqualHashesAndADeniedPlayerIsRefused)
{
    const u32 start = NowMs(), deadline = start + kRunMs;
    e2e::RunFolder run;
    GameProcess a(run.Path(), "A", net_test::Loopback(1));
    GameProcess c(run.Path(), "C", net_test::Loopback(3));
    ASSERT_TRUE(a.Configure({}));
    ASSERT_TRUE(c.Configure({}));

    // A hosts; once it listens C comes.
    ASSERT_TRUE(a.Start(HostDirect("Alpha") + "120 members 2 dump\n" + HostBattle(27) + kHostEnd));
    ASSERT_TRUE(a.WaitForLog("host 1", deadline)) << a.Describe();
    ASSERT_TRUE(c.Start(JoinDirect(a.Address(), "Charlie") + "30 members 2 dump\n" + kMemberBattle + kMemberEnd));
    ASSERT_TRUE(e2e::WaitAll({&a, &c}, deadline));
    const u32 battleMs = NowMs() - start;

    const u32 frames = CheckBattle(a, c, "Alpha", "Charlie");

    // A again, with C on its deny list: C's join gets 1025 refused, and
    // message 10. A keeps hosting until C has ended, then shows its table.
    const std::string refused = run.Path() + "/C-refused";
    ASSERT_TRUE(a.Configure({18000, "", {}, {c.Address()}}));
    ASSERT_TRUE(a.Start(HostDirect("Alpha") + "60 file " + refused + " dump\n5 frames 1 quit\n"));
    ASSERT_TRUE(a.WaitForLog("host 1", deadline)) << a.Describe();
    ASSERT_TRUE(c.Start(JoinDirect(a.Address(), "Charlie") + "30 message 10 dump\n5 frames 1 quit\n"));
    ASSERT_TRUE(e2e::WaitAll({&c}, deadline));
    ASSERT_TRUE(host::kernel::WriteFileAtomic(refused, "", 0)) << refused;
    ASSERT_TRUE(e2e::WaitAll({&a}, deadline));
    EXPECT_EQ(e2e::LastMembers(a.Log()).size(), 1u) << a.Describe();
    EXPECT_EQ(e2e::LastMembers(c.Log()).size(), 0u) << c.Describe();
    std::printf("direct run: battle of %u frames, %u ms to the room; %u ms in all\n", frames, battleMs,
                NowMs() - start);
}

// The direct battle as the README plays it, to its first frames: each
// battle's load ends with the start handshake, which needs the other
// machine's ready word while the loading screen still shows. On both
// machines the handshake ends by the peers' messages (given up, it ends by
// its limit), nothing is left held for the lockstep, and both play the same
// states. The times are printed, not bounded: a busy machine is slow, not
// wrong.
TEST(NetProcess, DirectBattleLeavesTheLoadingScreenOnBothMachinesByTheStartHandshakesMessages)
{
    const u32 deadline = NowMs() + kRunMs;
    e2e::RunFolder run;
    GameProcess a(run.Path(), "A", net_test::Loopback(1));
    GameProcess c(run.Path(), "C", net_test::Loopback(3));
    ASSERT_TRUE(a.Configure({}));
    ASSERT_TRUE(c.Configure({}));
    // The host plays on until the member has ended: a host gone first
    // would leave the member waiting for its ticks.
    const std::string memberDone = run.Path() + "/C-done";
    ASSERT_TRUE(a.Start(HostDirect("Alpha") + "120 members 2 dump\n" + HostBattle(27) + "10 frames 60 none\n" +
                        "60 file " + memberDone + " none\n5 frames 1 quit\n"));
    ASSERT_TRUE(a.WaitForLog("host 1", deadline)) << a.Describe();
    ASSERT_TRUE(c.Start(JoinDirect(a.Address(), "Charlie") + "30 members 2 dump\n" + kMemberBattle +
                        "10 frames 60 quit\n"));
    ASSERT_TRUE(e2e::WaitAll({&c}, deadline));
    ASSERT_TRUE(host::kernel::WriteFileAtomic(memberDone, "", 0)) << memberDone;
    ASSERT_TRUE(e2e::WaitAll({&a}, deadline));

    const u32 start = e2e::ClockAt(a.Log(), "scene CNetworkScene/CLoadingScene");
    ASSERT_NE(start, 0u) << a.Describe();
    for (GameProcess* p : {&a, &c}) {
        const std::string log = p->Log();
        const u32 loading = e2e::ClockAt(log, "scene CNetworkScene/CLoadingScene");
        const u32 battle = e2e::ClockAt(log, "scene CNetworkScene/CBattleScene");
        const u32 first = e2e::ClockAt(log, "battle frame 1");
        ASSERT_NE(loading, 0u) << p->Describe();
        ASSERT_NE(battle, 0u) << p->Describe();
        ASSERT_NE(first, 0u) << p->Describe();
        // Once each, by the messages; no early message left unhanded, none
        // refused.
        EXPECT_NE(log.find("battle start handshakes 1 given up 0 early 0 refused 0\n"), std::string::npos)
            << p->Describe();
        std::printf("%s: loading screen at %d ms, battle at %d ms, first frame at %d ms from the host's start\n",
                    p->Name().c_str(), i32(loading - start), i32(battle - start), i32(first - start));
    }
    u32 frames = 0;
    EXPECT_TRUE(e2e::SameBattle(a, c, &frames));
    EXPECT_GE(frames, 60u);
}

// From the entrance to the lobby: the server item, the connection, then the
// login button (up from the ID row, which holds the configured ID).
const std::string kToLobby = std::string(kToEntrance) +
    "5 frames 1 press down\n"
    "5 frames 1 press decide\n"
    "30 screen 2 none\n"
    "5 frames 30 press up\n"
    "5 frames 1 press decide\n"
    "30 screen 3 none\n"
    "5 frames 60 none\n";

TEST(NetProcess, LobbyRoomThroughTheTestServerPlaysABattleToItsEndOnEqualHashesAndRecordsTheResults)
{
    const u32 start = NowMs(), deadline = start + kRunMs;
    e2e::RunFolder run;
    lobby_test::LobbyServerProcess server;
    ASSERT_TRUE(server.Start({{"alice", "Alice", "", 12}, {"bob", "Bob", "", 3}}, "", net_test::Loopback(5), 300,
                             kRunMs / 1000 + 30));
    const std::string address = host::net::FormatAddress(server.Address());
    GameProcess a(run.Path(), "A", net_test::Loopback(1));
    GameProcess b(run.Path(), "B", net_test::Loopback(2));
    ASSERT_TRUE(a.Configure({18000, "alice", {}, {}}));
    ASSERT_TRUE(b.Configure({18000, "bob", {}, {}}));

    // A logs in and makes a room from the lobby menu (25, its first item):
    // 1002, and the server's 1004 makes A its host. Once B is in, A says
    // hello and waits for B's answer, then starts.
    const std::string hostScript = kToLobby +
        "5 frames 1 press start\n"
        "5 message 25 press decide\n"
        "5 frames 30 type Arena\n"
        "5 frames 2 key 1C\n"
        "5 frames 1 press up\n"   // the name wraps round to the confirm button
        "5 frames 1 press decide\n"
        "30 screen 4 dump\n"
        "120 members 2 press right\n"   // the chat entry
        "5 frames 30 type hello\n"
        "5 frames 2 key 1C\n"
        "30 chat 2 press right\n" +
        HostBattle(26) + kHostEnd;
    // B, once the room is listed, opens its detail (1009) and enters (1005);
    // the host's peer session takes it in (1025-1027); it answers the chat.
    const std::string memberScript = kToLobby +
        "60 rooms 1 press decide\n"
        "5 frames 60 press up\n"   // from "no action" to "enter"
        "5 frames 1 press decide\n"
        "30 members 2 none\n"
        "30 screen 4 dump\n"
        "30 chat 1 press right\n"
        "5 frames 30 type hi\n"
        "5 frames 2 key 1C\n"
        "30 chat 2 press right\n" +
        kMemberBattle + kMemberEnd;
    ASSERT_TRUE(a.Start(hostScript, address, server.Port()));
    ASSERT_TRUE(a.WaitForLog("host 1", deadline)) << a.Describe() << server.Log();
    ASSERT_TRUE(b.Start(memberScript, address, server.Port()));
    const bool ended = e2e::WaitAll({&a, &b}, deadline);
    e2e::WriteText(run.Path() + "/server.txt", server.Log());
    ASSERT_TRUE(ended);
    const u32 battleMs = NowMs() - start;

    const u32 frames = CheckBattle(a, b, "Alice", "Bob");
    // The server saw the room made, asked for, entered, its battle started,
    // and each player's result.
    const std::string log = server.Log();
    for (const char* line : {"login alice", "login bob", "message 1002 794", "message 1009 4", "message 1005 45",
                             "message 1008 4", "result alice ", "result bob "})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    // The server recorded each player's own result (0 win, 1 loss, 2 draw).
    for (const auto& [p, login] : {std::pair{&a, "alice"}, std::pair{&b, "bob"}}) {
        const size_t at = log.find(std::string("result ") + login + " ");
        if (at == std::string::npos) continue;
        const u32 recorded = u32(std::strtoul(log.c_str() + at + 8 + std::strlen(login), nullptr, 10));
        EXPECT_EQ(recorded + 1, e2e::OwnResult(p->Log())) << login << "\n" << log;
    }
    std::printf("lobby run: battle of %u frames, %u ms in all\n", frames, battleMs);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
