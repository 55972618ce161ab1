// Network scenes in one room over loopback TCP: what a member's departure
// gives the others, and the core's lockstep battle hosted by the real
// network scene on each machine (its lock, its callbacks, its peer host's
// Update outside the lock), to the same state and result as in process.
#include "game/network/tests/NetworkSceneRoom.h"

#include "game/battle/scene/tests/ScenePeers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace netscene_test;
using namespace scene_test;

u32 CountOf(ChildDouble::Log& log, u32 type, std::vector<u8>* body = nullptr)
{
    std::lock_guard lock(log.mutex);
    u32 n = 0;
    for (const auto& [t, bytes] : log.messages) {
        if (t != type) continue;
        ++n;
        if (body) *body = bytes;
    }
    return n;
}

// The entries the 10009 notices handed to a machine's child name, in order.
std::vector<u8> LeaveNotices(ChildDouble::Log& log)
{
    std::lock_guard lock(log.mutex);
    std::vector<u8> entries;
    for (const auto& [type, body] : log.messages)
        if (type == 10009 && body.size() == 4) entries.push_back(body[0]);
    return entries;
}

// Every machine in one room, its child a double in the given mode.
bool SeatRoom(const std::vector<SceneMachine*>& all, std::array<ChildDouble::Log, 4>& logs, u32 mode)
{
    for (SceneMachine* m : all)
        if (!m->Load()) return false;
    if (!JoinRoom(all)) return false;
    for (SceneMachine* m : all) {
        m->Lobby().SetPlayStateRaw(1);
        m->scene->SetChildScene(new ChildDouble(&logs[m->entry]), mode);
    }
    return true;
}

TEST(NetworkSceneRoom, AMemberLostDuringTheSelectIsOneDepartureAtEachRemainingPlayer)
{
    std::array<ChildDouble::Log, 3> logs;   // outlive the scenes
    SceneMachine host(0), stays(1), leaves(2);
    for (SceneMachine* m : {&host, &stays, &leaves}) ASSERT_TRUE(m->Load());
    ASSERT_TRUE(JoinRoom({&host, &stays, &leaves}));
    for (SceneMachine* m : {&host, &stays, &leaves}) {
        m->Lobby().SetPlayStateRaw(1);
        m->scene->SetChildScene(new ChildDouble(&logs[m->entry]), kHostedSelectMode);
    }
    // The member's machine goes: its scene, lobby client and connection.
    leaves.scene.reset();
    std::vector<u8> atHost, atMember;
    ASSERT_TRUE(WaitUntil([&] {
        host.scene->Update(0);   // sends the relay after taking the lost peer out
        stays.scene->Update(0);
        return CountOf(logs[0], 10009) == 1 && CountOf(logs[1], 10009) == 1;
    }));
    for (int f = 0; f < 50; ++f, usleep(1000)) {
        host.scene->Update(0);
        stays.scene->Update(0);
    }
    EXPECT_EQ(CountOf(logs[0], 10009, &atHost), 1u);
    EXPECT_EQ(CountOf(logs[1], 10009, &atMember), 1u);
    EXPECT_EQ(atHost, (std::vector<u8>{2, 0, 0, 0}));
    EXPECT_EQ(atMember, (std::vector<u8>{2, 0, 0, 0}));
    EXPECT_EQ(host.scene->GetDropped(), 0u);
    EXPECT_EQ(stays.scene->GetDropped(), 0u);
    EXPECT_EQ(logs[1].deleted, 0u);
}

// A room of four, members 1 and 2 leaving the select in turn: the room's
// table moves member 3 up to index 1 and the second leaver to 1 before it
// goes, but each notice names the entry the leaver plays, at the host and
// relayed at the member who stays.
TEST(NetworkSceneRoom, TwoMembersLeavingInTurnAreEachNamedByTheirOwnEntry)
{
    std::array<ChildDouble::Log, 4> logs;   // outlive the scenes
    SceneMachine host(0), first(1), second(2), stays(3);
    ASSERT_TRUE(SeatRoom({&host, &first, &second, &stays}, logs, kHostedSelectMode));
    auto notices = [&](u32 machine) { return LeaveNotices(logs[machine]); };
    auto leave = [&](SceneMachine& m, const std::vector<u8>& named) {
        m.scene.reset();
        return WaitUntil([&] {
            host.scene->Update(0);   // sends the relay after taking the lost peer out
            stays.scene->Update(0);
            return notices(0) == named && notices(3) == named;
        });
    };
    EXPECT_TRUE(leave(first, {1}));
    EXPECT_EQ(host.Lobby().GetMemberCount(), 3u);   // the room moved the others up
    EXPECT_EQ(host.Lobby().FindMemberByPeerId(host.Lobby().MemberTable().members[1].peerId), 1);
    EXPECT_TRUE(leave(second, {1, 2})) << "host " << ::testing::PrintToString(notices(0)) << ", member "
                                        << ::testing::PrintToString(notices(3));
    EXPECT_EQ(host.Lobby().GetMemberCount(), 2u);
    EXPECT_EQ(host.scene->GetDropped(), 0u);
    EXPECT_EQ(stays.scene->GetDropped(), 0u);
}

// A room of four, the member of the last entry leaving a select or a
// battle: the host's child and a member's who stays are told entry 3.
TEST(NetworkSceneRoom, TheLastEntryLeavingARoomOfFourIsNamed)
{
    for (const u32 mode : {u32(kHostedSelectMode), u32(kHostedBattleMode)}) {
        SCOPED_TRACE(mode);
        std::array<ChildDouble::Log, 4> logs;   // outlive the scenes
        SceneMachine host(0), stays(1), other(2), last(3);
        ASSERT_TRUE(SeatRoom({&host, &stays, &other, &last}, logs, mode));
        auto notices = [&](u32 machine) { return LeaveNotices(logs[machine]); };
        last.scene.reset();
        EXPECT_TRUE(WaitUntil([&] {
            host.scene->Update(0);
            stays.scene->Update(0);
            return notices(0) == std::vector<u8>{3} && notices(1) == std::vector<u8>{3};
        })) << "host " << ::testing::PrintToString(notices(0)) << ", member " << ::testing::PrintToString(notices(1));
        EXPECT_EQ(host.Lobby().GetMemberCount(), 3u);
    }
}

TEST(NetworkSceneRoom, AGuestsHostOnlyMessagesAreDroppedAtTheHostAndAWrongSizeClosesIt)
{
    ChildDouble::Log log;   // outlives the scenes
    SceneMachine host(0), guest(1);
    for (SceneMachine* m : {&host, &guest}) ASSERT_TRUE(m->Load());
    ASSERT_TRUE(JoinRoom({&host, &guest}));
    host.Lobby().SetPlayStateRaw(1);
    host.scene->SetChildScene(new ChildDouble(&log), kHostedBattleMode);
    // A guest that says the battle ended, or that a player left: dropped.
    const u8 word[4] = {1, 0, 0, 0};
    guest.Host().Broadcast(10004, peer::kSubType, word, 4, peer::kStreamChannel);
    guest.Host().Broadcast(10005, peer::kSubType, word, 4, peer::kStreamChannel);
    guest.Host().Broadcast(10006, peer::kSubType, word, 4, peer::kStreamChannel);
    ASSERT_TRUE(WaitUntil([&] { return CountOf(log, 10006) == 1; }));
    EXPECT_EQ(CountOf(log, 10004) + CountOf(log, 10005), 0u);
    EXPECT_EQ(host.scene->GetDropped(), 2u);
    // A battle-ready word of 4 bytes then one of 2: the connection goes.
    guest.Host().Broadcast(10006, peer::kSubType, word, 2, peer::kStreamChannel);
    ASSERT_TRUE(WaitUntil([&] {
        host.scene->Update(0);
        return host.Host().GetPeerCount() == 0;
    }));
    EXPECT_EQ(CountOf(log, 10006), 1u);
    // It went as a member who left: entry 1 to the host's child.
    std::vector<u8> left;
    EXPECT_EQ(CountOf(log, 10009, &left), 1u);
    EXPECT_EQ(left, (std::vector<u8>{1, 0, 0, 0}));
}

// ---------------------------------------------------------------- the lockstep

// The battle's application and globals; its network is the network scene.
struct BattlePeer : ScenePeer {
    using ScenePeer::ScenePeer;
    i32 Broadcast(u16, const void*, u32) override { return 0; }
};

// Each machine: its battle's application and globals (the peer), and its
// network scene hosting the battle under the peer's lock.
struct Machine {
    explicit Machine(u32 entry)
        : peer(std::make_unique<BattlePeer>(entry)),
          net(std::make_unique<SceneMachine>(entry, &peer->lock, [this](i32 type, bool taken) {
              if (taken && type >= 10001 && type <= 10009) ++taken_[type - 10001];
          }))
    {
    }
    u32 Taken(u32 type) const { return taken_[type - 10001].load(); }
    CNetworkScene& Scene() { return *net->scene; }

    // Counted on receive threads until the scene is gone.
    std::array<std::atomic<u32>, 9> taken_{};
    std::unique_ptr<ScenePeer> peer;   // its lock outlives the scene
    std::unique_ptr<SceneMachine> net;
};

class NetworkSceneLockstepTest : public ScenePeersTest {
protected:
    void TearDown() override
    {
        for (auto& m : machines_) Unhost(*m);
        machines_.clear();
        ScenePeersTest::TearDown();
    }

    void Connect(u32 count)
    {
        std::vector<SceneMachine*> nets;
        for (u32 e = 0; e < count; ++e) {
            auto m = std::make_unique<Machine>(e);
            Prepare(*m->peer);
            ASSERT_FALSE(HasFatalFailure());
            ASSERT_TRUE(m->net->Load());
            {
                // The battle reaches its peers through the network scene.
                PeerContext context(*m->peer);
                m->peer->scene = std::make_unique<CBattleScene>(&m->peer->app, &m->Scene());
            }
            nets.push_back(m->net.get());
            machines_.push_back(std::move(m));
        }
        ASSERT_TRUE(JoinRoom(nets));
        for (auto& m : machines_) m->net->Lobby().SetPlayStateRaw(1);
    }

    void Load(u32 humans)
    {
        std::vector<ScenePeer*> all;
        for (auto& m : machines_) all.push_back(m->peer.get());
        std::atomic<bool> hostListened = true;
        LoadAll(
            all, [humans](u32 e) { return PeerSetup(e, humans); },
            [this](ScenePeer& p) {
                // Only whole ticks, as in the lockstep fixture: one test
                // thread makes every machine's inputs, and a loaded machine
                // can stall it past the second after which a host sends a
                // tick without the late ones.
                LockstepLimits limits = limits_;
                limits.bundleCycles = 0xFFFFFFFFu;
                p.scene->SetLockstepLimits(limits);
                machines_[p.entry]->Scene().SetChildScene(p.scene.get(), kHostedBattleMode);
            },
            [&](ScenePeer& p) {
                if (p.entry != 0 && !WaitUntil([&] { return HostListens(); })) hostListened = false;
            });
        ASSERT_TRUE(hostListened.load());
    }

    bool HostListens()
    {
        Machine& host = *machines_[0];
        host.Scene().EnterLock();
        const bool listens = host.peer->scene && host.peer->scene->GetLockstep();
        host.Scene().LeaveLock();
        return listens;
    }

    // One frame as the application runs it: the network scene's Update
    // (the peer host outside the lock, the battle under it, held once).
    static i32 Step(Machine& m, u32 frame)
    {
        ScenePeer& p = *m.peer;
        p.lock.gameThread = std::this_thread::get_id();
        p.globals.frameMs = kFrameMs;
        if (p.script) p.script(p.input, frame);
        if (frame % p.scene->GetInputDelay() == 0) {
            InputPacket packet;
            CCharacter::BuildInputPacket(&packet, *p.input.GetInputState(0));
            p.packets.push_back(packet);
        }
        const i32 result = m.Scene().Update(0);
        PeerContext context(p);
        if (m.Scene().GetChild() != p.scene.get()) return -1;   // dropped
        p.hashes.push_back(p.scene->HashState());
        p.mostBullets = std::max(p.mostBullets, p.scene->GetBullets().GetCount());
        return result;
    }

    void Run(u32 from, u32 limit, const std::function<bool(u32)>& stop)
    {
        for (u32 f = from; f < limit && !stop(f); ++f) {
            for (auto& m : machines_) ASSERT_EQ(Step(*m, f), 1) << "machine " << m->peer->entry << ", frame " << f;
            const u32 delay = Host().scene->GetInputDelay();
            if (f % delay == 0) {
                ASSERT_TRUE(Settle(f / delay + 1)) << "frame " << f;
            }
        }
    }

    // Every member holds the tick's bundle before the next frame.
    bool Settle(u32 bundles)
    {
        if (!WaitUntil([&] { return HostLockstep().GetStats().bundlesSent >= bundles; })) return false;
        const u32 sent = HostLockstep().GetStats().bundlesSent;
        for (auto& m : machines_)
            if (m->peer->entry != 0 && !WaitUntil([&] { return m->Taken(kMsgFrameBundle) >= sent; })) return false;
        return true;
    }

    // The battle goes with its network scene's child, under its lock.
    void Unhost(Machine& m)
    {
        CBattleScene* battle = m.peer->scene.release();
        PeerContext context(*m.peer);
        if (m.Scene().GetChild() == battle) m.Scene().SetChildScene(nullptr, kHostedLobbyMode);
    }

    ScenePeer& Host() { return *machines_[0]->peer; }
    CBattleLockstep& HostLockstep() { return *Host().scene->GetLockstep(); }

    std::vector<std::unique_ptr<Machine>> machines_;
    LockstepLimits limits_;
};

TEST_F(NetworkSceneLockstepTest, HostAndMemberPlayTheBattleThroughTheirNetworkScenes)
{
    Connect(2);
    ASSERT_FALSE(HasFatalFailure());
    Load(2);
    ASSERT_FALSE(HasFatalFailure());
    ScenePeer& member = *machines_[1]->peer;
    Host().script = [](CInput& input, u32 f) { Script(input, f); };
    member.script = [](CInput& input, u32 f) {
        Script(input, f + 170);
        input.GetInputState(0)->triggered[32] = f == 200;
    };
    std::strcpy(member.app.config.GetRadioChatSection()->entries[0].message, "Cover me");
    Run(0, 240, [](u32) { return false; });
    ASSERT_FALSE(HasFatalFailure());
    for (auto& m : machines_)
        for (u32 i = 0; i < 4; ++i) EXPECT_TRUE(ShowsLine(*m->peer->scene->GetConsole(i), "Cover me")) << i;

    u32 over = 0;
    Run(240, 6000, [&](u32 f) {
        if (!over && Host().scene->IsOver()) over = f;
        return over && f >= over + 56;
    });
    ASSERT_FALSE(HasFatalFailure());
    std::vector<ScenePeer*> playing;
    for (auto& m : machines_) playing.push_back(m->peer.get());
    ExpectAgreement(playing);
    ASSERT_NE(over, 0u) << "no result";
    // The same battle as between the stand-ins and between scenes in process.
    EXPECT_EQ(Host().hashes.back().Value(), kTwoPeerBattleFinalHash)
        << std::hex << "final hash 0x" << Host().hashes.back().Value();
    // Shots flew, one side won, both saw it so; each reported its team's
    // result: the host to its room, the member to the host (1016).
    const CBattleScene& battle = *Host().scene;
    EXPECT_GT(Host().mostBullets, 0u);
    const u32 r0 = battle.GetResult(0), r1 = battle.GetResult(1);
    EXPECT_TRUE((r0 == kResultWin && r1 == kResultLoss) || (r0 == kResultLoss && r1 == kResultWin)) << r0 << r1;
    EXPECT_EQ(member.scene->IsOver(), 1u);
    EXPECT_EQ(Results(*member.scene), Results(battle));
    ASSERT_TRUE(WaitUntil([&] { return machines_[0]->net->screens->Results().size() == 2; }));
    auto heard = machines_[0]->net->screens->Results();
    std::sort(heard.begin(), heard.end());
    EXPECT_EQ(heard, (std::vector<std::pair<i32, u32>>{{-1, r0 - 1}, {1, r1 - 1}}));
    const LockstepStats stats = HostLockstep().GetStats();
    const u32 ticks = u32(Host().hashes.size() + 2) / 3;
    EXPECT_EQ(stats.incompleteBundles, 0u);
    EXPECT_EQ(machines_[0]->Taken(kMsgNetInput), ticks);
    EXPECT_EQ(machines_[1]->Taken(kMsgFrameBundle), stats.bundlesSent);
    for (auto& m : machines_) {
        EXPECT_EQ(m->Scene().GetDropped(), 0u) << m->peer->entry;
        EXPECT_EQ(m->Scene().GetChildMode(), kHostedBattleMode);
    }

    // The host's next select sends its card while the member's battle still
    // ends: the battle does not take it, and the member stays connected.
    const std::vector<u8> card(116, 0);
    machines_[0]->net->Host().Broadcast(10001, peer::kSubType, card.data(), u32(card.size()), peer::kStreamChannel);
    ASSERT_TRUE(WaitUntil([&] { return machines_[1]->Scene().GetDropped() == 1; }));
    for (int f = 0; f < 50; ++f, usleep(1000)) {
        for (auto& m : machines_) m->Scene().Update(0);
    }
    EXPECT_EQ(machines_[0]->net->Host().GetPeerCount(), 1u);
    EXPECT_EQ(machines_[1]->net->Host().GetPeerCount(), 1u);
    EXPECT_EQ(machines_[1]->Taken(10001), 0u);
    EXPECT_EQ(member.scene->IsOver(), 1u);
}

// A battle of four, members 1 and 2 leaving in turn: each notice names the
// leaver's own entry (the room has moved the second up to 1 by then), so
// the host's ticks go on complete without waiting for anyone, and the
// member who stays hears both.
TEST_F(NetworkSceneLockstepTest, TwoMembersLeavingABattleOfFourInTurnLeaveTheHostsTicksComplete)
{
    // A tick the host gave up on shows as a dropped peer, after 3 s.
    limits_.waitCycles = 3000;
    Connect(4);
    ASSERT_FALSE(HasFatalFailure());
    Load(4);
    ASSERT_FALSE(HasFatalFailure());
    const auto never = [](u32) { return false; };
    const auto leave = [&](u32 entry) {
        const auto it = std::ranges::find_if(machines_, [&](const auto& m) { return m->peer->entry == entry; });
        ASSERT_NE(it, machines_.end());
        Unhost(**it);
        machines_.erase(it);   // its network scene and connection go
    };
    Run(0, 30, never);
    ASSERT_FALSE(HasFatalFailure());
    leave(1);
    Run(30, 90, never);
    ASSERT_FALSE(HasFatalFailure());
    leave(2);
    Run(90, 150, never);
    ASSERT_FALSE(HasFatalFailure());
    const LockstepStats stats = HostLockstep().GetStats();
    EXPECT_EQ(stats.peersDropped, 0u);
    EXPECT_EQ(stats.incompleteBundles, 0u);
    const CBattleScene& member = *machines_.back()->peer->scene;
    ASSERT_EQ(machines_.back()->peer->entry, 3u);
    EXPECT_EQ(machines_.back()->Taken(kMsgPeerLeft), 2u);
    for (u32 e : {1u, 2u}) {
        EXPECT_EQ(HostLockstep().GetEntryKind(e), CBattleEntry::kKindNone) << e;
        EXPECT_EQ(member.GetLockstep()->GetEntryKind(e), CBattleEntry::kKindNone) << e;
    }
    EXPECT_EQ(HostLockstep().GetEntryKind(3), 3u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
