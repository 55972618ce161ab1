// Network battles over real peer connections: whole battle scenes in one
// process, each machine with its own loopback address, peer host and
// stand-in network scene; the room host listens on a free port and its
// member connects. The game threads' part runs on the test thread, machine
// after machine, frame by frame; the receive threads and the lockstep
// thread are real. Every machine must hold the same state at every frame.
#include "game/network/tests/LockstepNetFixture.h"

#include "host/net/tests/Loopback.h"

#include <cctype>
#include <cstring>
#include <set>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace scene_test;
using namespace net_scene_test;

// Each machine on a loopback address of its own: the room host on this
// process's first.
class LockstepNetLoopbackTest : public LockstepNetTest {
protected:
    void ConnectOnLoopback(u32 machines = 2)
    {
        Connect(machines, net_test::Loopback(1), [this](u32 entry) -> host::net::Net& {
            nets_.push_back(host::net::CreatePosixNet(net_test::Loopback(u8(entry + 1))));
            return *nets_.back();
        });
    }
};

TEST_F(LockstepNetLoopbackTest, HostAndMemberPlayTheBattleToItsResultOverLoopback)
{
    ConnectOnLoopback();
    ASSERT_FALSE(HasFatalFailure());
    Load(2);
    ASSERT_FALSE(HasFatalFailure());
    Host().script = [](CInput& input, u32 f) { Script(input, f); };
    // The member calls out on its first radio chat key at frame 200: a side
    // message in its input, back to both in a bundle.
    Machine(1).script = [](CInput& input, u32 f) {
        Script(input, f + 170);
        input.GetInputState(0)->triggered[32] = f == 200;
    };
    std::strcpy(Machine(1).app.config.GetRadioChatSection()->entries[0].message, "Cover me");
    // The room host's battle gathers the ticks on a thread of its own; a
    // receive thread on each side of the one connection. The lockstep thread
    // is named when it starts; a pooled receive thread names itself once it
    // runs: give a just-started one a moment.
    for (int i = 0; i < 400 && CountThreads("net-recv") != 2; ++i) usleep(5000);
    EXPECT_EQ(CountThreads("lockstep"), 1u);
    EXPECT_EQ(CountThreads("net-recv"), 2u);
    Run(0, 240, [](u32) { return false; });
    ASSERT_FALSE(HasFatalFailure());
    for (auto& m : machines_)
        for (u32 i = 0; i < 4; ++i)
            EXPECT_TRUE(ShowsLine(*m->scene->GetConsole(i), "Cover me")) << "machine " << m->entry << ", console " << i;

    u32 over = 0;
    Run(240, 6000, [&](u32 f) {
        if (!over && Host().scene->IsOver()) over = f;
        return over && f >= over + 56;
    });
    ASSERT_FALSE(HasFatalFailure());
    ExpectAgreement(Playing());
    ASSERT_NE(over, 0u) << "no result";
    // The same battle as between scenes linked in process.
    EXPECT_EQ(Host().hashes.back().Value(), kTwoPeerBattleFinalHash)
        << std::hex << "final hash 0x" << Host().hashes.back().Value() << std::dec << " after "
        << Host().hashes.size() << " frames";

    // What happened: shots flew, HP was lost, one side won; both saw it so.
    CBattleScene& host = *Host().scene;
    std::vector<const ScenePeer*> all;
    for (auto& m : machines_) {
        all.push_back(m.get());
        EXPECT_EQ(m->Refused(), 0u) << "machine " << m->entry;
        EXPECT_EQ(m->Lost(), 0u) << "machine " << m->entry;
    }
    ExpectOneTeamWon(Host(), all);
    // The ticks crossed the connection: the member's input every tick, the
    // host's bundle every tick, all complete.
    const LockstepStats stats = HostLockstep().GetStats();
    const u32 ticks = u32(Host().hashes.size() + 2) / 3;
    EXPECT_EQ(stats.incompleteBundles, 0u);
    EXPECT_EQ(stats.droppedInputs, 0u);
    EXPECT_EQ(Host().Taken(kMsgNetInput), ticks);
    EXPECT_GE(stats.bundlesSent, ticks);
    EXPECT_EQ(Machine(1).Taken(kMsgFrameBundle), stats.bundlesSent);

    // The host's end request (10004) ends both battles, back to the room.
    u32 code = kExitNetworkRoom;
    {
        PeerContext context(Host());
        EXPECT_EQ(host.OnMessage(kConsoleMsgEndCode, reinterpret_cast<intptr_t>(&code)), 1u);
    }
    ASSERT_TRUE(WaitFor([&] { return Machine(1).Taken(kMsgBattleEnd) == 1; }));
    for (auto& m : machines_) {
        i32 result = 1;
        for (u32 f = 0; f < 100 && result == 1; ++f) {
            PeerContext context(*m);
            SetFrameTime(kFrameMs);
            result = m->scene->Update(0);
        }
        EXPECT_EQ(result, 9) << "machine " << m->entry;
        EXPECT_EQ(m->scene->GetEndCode(), code) << "machine " << m->entry;
        EXPECT_EQ(m->flow.log, std::vector<std::string>{"leave"}) << "machine " << m->entry;
    }
}

// The host's end menu picks the next battle: every peer hands the same
// set-up on to a new battle, and the two load it and play it together over
// the same connection. Same set-up, same seed, same pads: the same battle
// as the first, frame for frame.
TEST_F(LockstepNetLoopbackTest, TheHostsNextBattleTakesEveryPeerIntoTheSameBattleAgain)
{
    ConnectOnLoopback();
    ASSERT_FALSE(HasFatalFailure());
    Load(2);
    ASSERT_FALSE(HasFatalFailure());
    Host().script = [](CInput& input, u32 f) { Script(input, f); };
    Machine(1).script = [](CInput& input, u32 f) { Script(input, f + 170); };
    constexpr u32 kFrames = 120;
    Run(0, kFrames, [](u32) { return false; });
    ASSERT_FALSE(HasFatalFailure());
    ExpectAgreement(Playing());
    const std::vector<BattleStateHash> first = Host().hashes;
    const CBattleSetup& played = *Host().scene->GetSetup();
    const auto option = played.option;
    u32 kinds[CBattleSetup::kEntryCount], characters[CBattleSetup::kEntryCount];
    for (u32 e = 0; e < CBattleSetup::kEntryCount; ++e)
        kinds[e] = played.entries[e].kind, characters[e] = played.entries[e].character;

    u32 code = kExitNextBattle;
    {
        PeerContext context(Host());
        EXPECT_EQ(Host().scene->OnMessage(kConsoleMsgEndCode, reinterpret_cast<intptr_t>(&code)), 1u);
    }
    ASSERT_TRUE(WaitFor([&] { return Machine(1).Taken(kMsgBattleEnd) == 1; }));
    // Both fade out together, frame by frame, until each has handed over.
    std::vector<i32> results(machines_.size(), 1);
    for (u32 f = 0; f < 120; ++f) {
        for (auto& m : machines_) {
            if (results[m->entry] != 1) continue;
            {
                PeerContext context(*m);
                SetFrameTime(kFrameMs);
                results[m->entry] = m->scene->Update(0);
            }
            m->Pump(kFrameMs);
        }
    }
    for (auto& m : machines_) {
        SCOPED_TRACE(testing::Message() << "machine " << m->entry);
        EXPECT_EQ(results[m->entry], 9);
        EXPECT_EQ(m->flow.log, std::vector<std::string>{"net next"});
        ASSERT_NE(m->flow.next, nullptr);
        EXPECT_EQ(m->drops, 0u);
        const CBattleSetup& next = *m->flow.next;
        EXPECT_EQ(next.networkMode, 1u);
        EXPECT_EQ(next.localEntry, m->entry);
        EXPECT_EQ(std::memcmp(&next.option, &option, sizeof option), 0);
        for (u32 e = 0; e < CBattleSetup::kEntryCount; ++e) {
            EXPECT_EQ(next.entries[e].kind, kinds[e]) << e;
            EXPECT_EQ(next.entries[e].character, characters[e]) << e;
        }
    }

    // The old battles go as the scene change deletes them; the new ones
    // load on the machines' threads, the member once the host listens.
    for (auto& m : machines_) {
        Leave(*m);
        PeerContext context(*m);
        m->scene = std::make_unique<CBattleScene>(&m->app, m.get());
        m->hashes.clear();
        m->flow.log.clear();
    }
    std::vector<ScenePeer*> all = Playing();
    std::atomic<bool> hostListened = true;
    LoadAll(
        all, [this](u32 e) { return Machine(e).flow.next.release(); },
        [this](ScenePeer& p) { Attach(p); },
        [&](ScenePeer& p) {
            if (p.entry != 0 && !WaitFor([&] { return Host().IsBattleListening(); })) hostListened = false;
        });
    ASSERT_TRUE(hostListened.load());
    ASSERT_FALSE(HasFatalFailure());
    // The second handshake went as the first.
    for (auto& m : machines_) EXPECT_EQ(m->Taken(kMsgNetReady), 2u) << "machine " << m->entry;
    Run(0, kFrames, [](u32) { return false; });
    ASSERT_FALSE(HasFatalFailure());
    ExpectAgreement(Playing());
    ASSERT_EQ(Host().hashes.size(), first.size());
    EXPECT_EQ(FirstDifference(first, Host().hashes), "");
    // The rematch moves: its state changes from frame to frame.
    std::set<u64> states;
    for (const BattleStateHash& h : Host().hashes) states.insert(h.Value());
    EXPECT_GT(states.size(), size_t(kFrames / 2));
}

// A member leaves a battle of three: the room host tells the other member
// (the 10009 it relays), and the two go on together with the leaver's
// fighter on what the host's rows held for it: nothing, as each of its
// inputs filled row 0 only.
TEST_F(LockstepNetLoopbackTest, AMemberWhoLeavesIsReportedToTheOthersWhoPlayOnTogether)
{
    ConnectOnLoopback(3);
    ASSERT_FALSE(HasFatalFailure());
    Load(3);
    ASSERT_FALSE(HasFatalFailure());
    for (u32 e = 0; e < 3; ++e) Machine(e).script = [e](CInput& input, u32 f) { Script(input, f + e * 110); };
    // After the second frame of a tick.
    constexpr u32 kLeave = 302;
    Run(0, kLeave, [](u32) { return false; });
    ASSERT_FALSE(HasFatalFailure());
    NetSceneStandIn& leaver = Machine(2);
    const InputPacket last = leaver.packets.back(), nothing{};
    // Its last packet holds something, so the rows' nothing shows.
    ASSERT_NE(std::memcmp(&last, &nothing, sizeof last), 0);
    // Every tick so far was whole: the host holds the leaver's inputs up to
    // its leaving point.
    EXPECT_EQ(HostLockstep().GetStats().incompleteBundles, 0u);
    Leave(leaver);
    leaver.GetNetHost().CloseAll();
    // The relay goes out with the host's next frame.
    Run(kLeave, kLeave + 300, [](u32) { return false; });
    ASSERT_FALSE(HasFatalFailure());
    ExpectAgreement(Playing());
    // The same battle as between scenes linked in process.
    EXPECT_EQ(Host().hashes.back().Value(), kPeerLeftFinalHash)
        << std::hex << "final hash 0x" << Host().hashes.back().Value();
    EXPECT_EQ(Host().Lost(), 1u);
    EXPECT_EQ(Host().Relayed(), 1u);
    EXPECT_EQ(Machine(1).Taken(kMsgPeerLeft), 1u);
    EXPECT_EQ(Machine(1).Lost(), 0u);
    for (u32 e = 0; e < 2; ++e) {
        CBattleScene& scene = *Machine(e).scene;
        EXPECT_EQ(scene.GetLockstep()->GetEntryKind(2), CBattleEntry::kKindNone) << "machine " << e;
        EXPECT_EQ(scene.GetSetup()->entries[2].kind, CBattleEntry::kKindNone) << "machine " << e;
        InputPacket now;
        scene.GetCharacter(u32(CharacterOf(scene, 2)))->GetInputPacket(&now);
        EXPECT_EQ(std::memcmp(&now, &nothing, sizeof now), 0) << "machine " << e;
    }
    const LockstepStats stats = HostLockstep().GetStats();
    EXPECT_EQ(stats.incompleteBundles, 0u);
    EXPECT_EQ(stats.peersDropped, 0u) << "it left; it was not dropped for silence";
}

// How a member goes mid-battle, and whether the room host's battle refused
// what it last sent. A refusal, the battle's or the peer host's (a type the
// member may not send), closes the member's connection as if it had left.
struct Departure {
    const char* name;
    std::function<void(NetSceneStandIn& member)> go;
    u32 refusedByBattle;
};
void PrintTo(const Departure& d, std::ostream* os) { *os << d.name; }

const Departure kDepartures[] = {
    {"leaves", [](NetSceneStandIn& m) { m.GetNetHost().CloseAll(); }, 0},
    {"sends a bundle, which only the host sends",
     [](NetSceneStandIn& m) {
         const FrameRecord record{0.0f, {}, 18, 0};
         const std::string body = WriteFrameBundle(record, nullptr);
         m.Broadcast(u16(kMsgFrameBundle), body.data(), u32(body.size()));
     },
     0},
    {"sends an input with a side message that takes a bullet",
     [](NetSceneStandIn& m) {
         StatePacket message{0, 4, {}};
         const std::string body = WriteNetInput(1, InputPacket{}, &message, 1);
         m.Broadcast(u16(kMsgNetInput), body.data(), u32(body.size()));
     },
     1},
    {"sends an input cut short", [](NetSceneStandIn& m) { m.Broadcast(u16(kMsgNetInput), "\x01\x00\x00", 3); }, 1},
    {"says the host left",
     [](NetSceneStandIn& m) {
         const std::string body = WriteU32Body(0);
         m.Broadcast(u16(kMsgPeerLeft), body.data(), 4);
     },
     0},
};

class LockstepNetDepartureTest : public LockstepNetLoopbackTest, public ::testing::WithParamInterface<Departure> {};

// The host plays on to the result with the member's fighter on its last
// input; the member plays out the ticks it holds and leaves the battle.
TEST_P(LockstepNetDepartureTest, TheHostFinishesAndTheMemberGivesUp)
{
    ConnectOnLoopback();
    ASSERT_FALSE(HasFatalFailure());
    Load(2);
    ASSERT_FALSE(HasFatalFailure());
    for (u32 e = 0; e < 2; ++e) Machine(e).script = [e](CInput& input, u32 f) { Script(input, f + e * 110); };
    // After the second frame of a tick.
    constexpr u32 kCut = 152;
    Run(0, kCut, [](u32) { return false; });
    ASSERT_FALSE(HasFatalFailure());
    NetSceneStandIn& member = Machine(1);
    GetParam().go(member);
    ASSERT_TRUE(WaitFor([&] { return member.Lost() == 1 && Host().Lost() == 1; }));

    i32 result = 1;
    u32 frames = 0;
    for (; frames < 4 * Host().scene->GetInputDelay() && result == 1; ++frames) result = StepNet(member, kCut + frames);
    EXPECT_EQ(result, ScenePeer::kDropped);
    EXPECT_EQ(member.drops, 1u);
    EXPECT_GE(frames, 2u) << "the ticks it held were played first";
    // The frame it gave up on is no frame of the battle.
    member.hashes.pop_back();
    EXPECT_EQ(member.scene->GetSetup()->entries[0].kind, CBattleEntry::kKindNone);

    u32 over = 0;
    Run(kCut, 3000, [&](u32 f) {
        if (!over && Host().scene->IsOver()) over = f;
        return over && f >= over + 56;
    }, false);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_NE(over, 0u) << "no result";
    CBattleScene& host = *Host().scene;
    EXPECT_EQ(host.GetLockstep()->GetEntryKind(1), CBattleEntry::kKindNone);
    EXPECT_EQ(host.GetSetup()->entries[1].kind, CBattleEntry::kKindNone);
    EXPECT_EQ(Host().reported.size(), 1u);
    EXPECT_EQ(Host().drops, 0u);
    EXPECT_EQ(Host().Refused(), GetParam().refusedByBattle);
    // It went; it was not dropped for silence. The others were told.
    EXPECT_EQ(HostLockstep().GetStats().peersDropped, 0u);
    EXPECT_EQ(Host().Relayed(), 1u);
    // Until the member gave up both played the same battle.
    ExpectAgreement(Playing());
}

INSTANTIATE_TEST_SUITE_P(Member, LockstepNetDepartureTest, ::testing::ValuesIn(kDepartures),
                         [](const ::testing::TestParamInfo<Departure>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace

}  // namespace ORV_TEST_FILE_ID
