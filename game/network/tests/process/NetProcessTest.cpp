// Network play end to end: game processes (orv_net_player) on loopback
// addresses of their own, played by scripts as a player would, to a whole
// battle whose state hashes must agree frame by frame on every machine.
//
// Direct: A hosts a room; C, configured with A's port, types A's address
// digit by digit, joins, and both play; then A hosts again with C on its
// deny list, and C is refused (message 10).
#include "game/network/tests/process/GameProcesses.h"
#include "host/net/tests/Loopback.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using e2e::GameProcess;
using e2e::NowMs;

// Each run's bound: a battle of the shortest time limit (100 s) and the
// way there and back fit well inside.
constexpr u32 kRunMs = 5 * 60 * 1000;

// From start-up to the network scene's first screen, the title's Network
// item three below Story.
const char* const kToNetwork =
    "60 scene CLogoScene press* decide\n"
    "60 scene CTitleScene none\n"
    "10 frames 90 press down 3\n"
    "5 frames 1 press decide\n"
    "30 screen 0 none\n"
    // The entrance fades in; its cursor starts on the direct connection.
    "5 frames 60 press decide\n"
    "10 screen 1 none\n"
    "5 frames 30 none\n";

// Hosts a direct room under name.
std::string HostDirect(const std::string& name)
{
    return std::string(kToNetwork) +
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
    return std::string(kToNetwork) +
           "5 frames 1 press down\n"   // the address row
           "5 frames 1 digits " + e2e::Digits(host) + "\n"
           "5 frames 1 press stick-down\n"   // the keypad types here: the stick moves
           "5 frames 1 press down\n"
           "5 frames 1 type " + name + "\n"
           "5 frames 1 key 1C\n"
           "5 frames 1 press down\n"
           "5 frames 1 press decide\n";
}

// The host starts the battle (27: the host menu's first item, 24: yes),
// confirms its card, sets the shortest time limit (the time row is three
// down: the points row shows only under the lives rule) and starts.
const char* const kHostBattle =
    "5 frames 30 press start\n"
    "5 message 27 press decide\n"
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

// A member confirms its card and waits for the host.
const char* const kMemberBattle =
    "60 child CCharaSelect none\n"
    "5 frames 90 press decide\n"
    "5 frames 1 press decide\n"
    "60 child CBattleScene none\n";

// The battle to its end, then back in the room (the host chooses the way:
// its result screen's first item), where the member table counts the
// battle for both players.
const char* const kHostEnd =
    "200 over - none\n"
    "60 frames 300 press decide\n"
    "60 child - none\n"
    "30 results 2 dump\n"
    "10 frames 120 quit\n";
const char* const kMemberEnd =
    "200 over - none\n"
    "90 child - none\n"
    "30 results 2 dump\n"
    "10 frames 120 quit\n";

TEST(NetProcess, DirectRoomByTypedAddressPlaysABattleToItsEndOnEqualHashesAndADeniedPlayerIsRefused)
{
    const u32 start = NowMs(), deadline = start + kRunMs;
    e2e::RunFolder run;
    GameProcess a(run.Path(), "A", net_test::Loopback(1));
    GameProcess c(run.Path(), "C", net_test::Loopback(3));
    ASSERT_TRUE(a.Configure({}));
    ASSERT_TRUE(c.Configure({}));

    // A hosts; once it listens C comes.
    ASSERT_TRUE(a.Start(HostDirect("Alpha") + "120 members 2 dump\n" + kHostBattle + kHostEnd));
    ASSERT_TRUE(a.WaitForLog("host 1", deadline)) << a.Describe();
    ASSERT_TRUE(c.Start(JoinDirect(a.Address(), "Charlie") + "30 members 2 dump\n" + kMemberBattle + kMemberEnd));
    ASSERT_TRUE(e2e::WaitAll({&a, &c}, deadline));
    const u32 battleMs = NowMs() - start;

    u32 frames = 0;
    EXPECT_TRUE(e2e::SameBattle(a, c, &frames));
    // The time limit ended it (100 s of frames of 16 to 20 ms), on the same
    // frame for both, and both played it.
    const u32 over = e2e::OverFrame(a.Log());
    EXPECT_GT(over, 4500u) << a.Describe();
    EXPECT_EQ(e2e::OverFrame(c.Log()), over) << c.Describe();
    EXPECT_GE(frames, over);
    for (GameProcess* p : {&a, &c}) {
        const std::string log = p->Log();
        // Both back in the room, the battle counted for both in the table.
        const auto members = e2e::LastMembers(log);
        ASSERT_EQ(members.size(), 2u) << p->Describe();
        for (const auto& [name, results] : members)
            EXPECT_EQ(results[0] + results[1] + results[2], 1u) << p->Name() << ": " << name << p->Describe();
    }
    // The result reported is the one each battle saw: a time-out with two
    // teams alive is no draw unless lives were equal; either way the two
    // tables agree.
    EXPECT_EQ(e2e::LastMembers(a.Log()), e2e::LastMembers(c.Log()));

    // A again, with C on its deny list: C's join gets 1025 refused, and
    // message 10.
    ASSERT_TRUE(a.Configure({18000, "", {}, {c.Address()}}));
    ASSERT_TRUE(a.Start(HostDirect("Alpha") + "60 frames 1800 dump\n5 frames 1 quit\n"));
    ASSERT_TRUE(a.WaitForLog("host 1", deadline)) << a.Describe();
    ASSERT_TRUE(c.Start(JoinDirect(a.Address(), "Charlie") + "30 message 10 dump\n5 frames 1 quit\n"));
    ASSERT_TRUE(e2e::WaitAll({&a, &c}, deadline));
    EXPECT_EQ(e2e::LastMembers(a.Log()).size(), 1u) << a.Describe();
    EXPECT_EQ(e2e::LastMembers(c.Log()).size(), 0u) << c.Describe();
    std::printf("direct run: battle of %u frames, %u ms to the room; %u ms in all\n", frames, battleMs,
                NowMs() - start);
}

}  // namespace
