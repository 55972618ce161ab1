// Whole network battles between battle scenes in one process: a host and
// its clients, each a CBattleScene with its own application, pads,
// controllers, object registry, generator and frame time, joined by the
// lockstep tests' star network. The game threads' part runs on the test
// thread, peer after peer, frame by frame; the lockstep thread and the
// receive threads are real. Every peer must hold the same state at every
// frame.
#include "game/battle/scene/tests/ScenePeers.h"

#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleStateConsole.h"
#include "game/battle/scene/tests/lockstep/LockstepStar.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace scene_test;
using lockstep_test::FakeStar;
using namespace std::chrono_literals;

// One machine on the star network.
struct Peer : ScenePeer {
    Peer(u32 e, FakeStar& s) : ScenePeer(e), star(s) {}
    i32 Broadcast(u16 type, const void* data, u32 length) override
    {
        star.Send(entry, type, std::string(static_cast<const char*>(data), length));
        return 1;
    }
    FakeStar& star;
};

class BattleScenePeersTest : public ScenePeersTest {
protected:
    void TearDown() override
    {
        for (auto& p : peers_) Leave(*p);
        star_.Stop();
        peers_.clear();
        ScenePeersTest::TearDown();
    }

    // Builds the peers and loads every battle.
    void Start(u32 peers, u32 humans)
    {
        std::vector<ScenePeer*> all;
        for (u32 e = 0; e < peers; ++e) {
            auto p = std::make_unique<Peer>(e, star_);
            Prepare(*p);
            ASSERT_FALSE(HasFatalFailure());
            star_.Add(e);
            all.push_back(p.get());
            peers_.push_back(std::move(p));
        }
        LoadAll(all, [humans](u32 e) { return PeerSetup(e, humans); }, [this](ScenePeer& p) {
            // Messages reach the battle only while its loading waits.
            CBattleScene* scene = p.scene.get();
            star_.Attach(p.entry, &p.lock, [scene](u32 type, const u8* data, size_t size) {
                return scene->OnPeerMessage(type, data, u32(size)) ? LockstepRecordError::kNone
                                                                     : LockstepRecordError::kType;
            });
        });
        ASSERT_FALSE(HasFatalFailure());
        // The host answered the handshake: every peer was there in time.
        EXPECT_EQ(star_.SentCount(0, kMsgNetReady), 1u);
    }

    // Frames of every peer still playing, in turn, until stop says so or
    // limit frames ran; each update must go on.
    void Run(u32 from, u32 limit, const std::function<bool(u32)>& stop)
    {
        for (u32 f = from; f < limit && !stop(f); ++f) {
            for (auto& p : peers_) {
                if (!p->scene) continue;
                ASSERT_EQ(Step(*p, f), 1) << "peer " << p->entry << ", frame " << f;
            }
            const u32 delay = Host().scene->GetInputDelay();
            if (f % delay == 0) {
                ASSERT_TRUE(Settle(f / delay + 1)) << "frame " << f;
            }
        }
    }

    // Waits until the host has sent the bundle of every tick begun and the
    // peers have it. A side message joins the next bundle the host sends:
    // were the lockstep thread late, a line could come a tick early, and
    // two runs of a test would part (never two peers).
    bool Settle(u32 bundles)
    {
        const auto deadline = lockstep_test::Clock::now() + 5s;
        while (HostLockstep().GetStats().bundlesSent < bundles) {
            if (lockstep_test::Clock::now() > deadline) return false;
            std::this_thread::sleep_for(100us);
        }
        for (auto& p : peers_)
            if (p->scene && !star_.WaitDelivered(p->entry, 5s)) return false;
        return true;
    }

    // Every peer still playing holds the host's state at every frame.
    void ExpectAgreement()
    {
        std::vector<ScenePeer*> playing;
        for (auto& p : peers_) playing.push_back(p.get());
        ScenePeersTest::ExpectAgreement(playing);
    }

    // The peer's battle is released on its game thread, with its globals,
    // once nothing is delivered to it any more.
    void Leave(Peer& p)
    {
        if (!p.scene) return;
        EXPECT_TRUE(star_.Detach(p.entry)) << "peer " << p.entry;
        PeerContext context(p);
        p.scene.reset();
    }

    // The host asks for the end (message 42): every peer's battle fades out
    // and leaves by the code; the results of their last updates.
    std::vector<i32> EndFromTheHost(u32 code)
    {
        {
            PeerContext context(Host());
            EXPECT_EQ(Host().scene->OnMessage(kConsoleMsgEndCode, reinterpret_cast<intptr_t>(&code)), 1u);
        }
        std::vector<i32> results;
        for (auto& p : peers_) {
            if (!p->scene) continue;
            // The end has reached the peer before its next frame.
            EXPECT_TRUE(star_.WaitDelivered(p->entry, 5s)) << "peer " << p->entry;
            i32 result = 1;
            for (u32 f = 0; f < 100 && result == 1; ++f) {
                PeerContext context(*p);
                SetFrameTime(kFrameMs);
                result = p->scene->Update(0);
            }
            EXPECT_EQ(p->scene->GetEndCode(), code) << "peer " << p->entry;
            results.push_back(result);
        }
        return results;
    }

    Peer& Host() { return *peers_[0]; }
    CBattleLockstep& HostLockstep() { return *Host().scene->GetLockstep(); }

    FakeStar star_{1, 0};
    std::vector<std::unique_ptr<Peer>> peers_;
};

bool SamePacket(const InputPacket& a, const InputPacket& b) { return std::memcmp(&a, &b, sizeof a) == 0; }


TEST_F(BattleScenePeersTest, HostAndClientPlayOneBattleToItsResult)
{
    Start(2, 2);
    ASSERT_FALSE(HasFatalFailure());
    // Each machine views its own fighter, the joiner too.
    for (auto& p : peers_) {
        const i32 own = CharacterOf(*p->scene, p->entry);
        ASSERT_GE(own, 0);
        EXPECT_EQ(p->scene->GetViewedCharacter(u32(own)), u32(own)) << "peer " << p->entry;
    }
    Host().script = [](CInput& input, u32 f) { Script(input, f); };
    // The client calls out on its first radio chat key at frame 200.
    peers_[1]->script = [](CInput& input, u32 f) {
        Script(input, f + 170);
        input.GetInputState(0)->triggered[32] = f == 200;
    };
    std::strcpy(peers_[1]->app.config.GetRadioChatSection()->entries[0].message, "Cover me");
    Run(0, 240, [](u32) { return false; });
    ASSERT_FALSE(HasFatalFailure());
    // The line went out with the client's input and came back in a bundle
    // to every console of every peer.
    for (auto& p : peers_)
        for (u32 i = 0; i < 4; ++i) EXPECT_TRUE(ShowsLine(*p->scene->GetConsole(i), "Cover me")) << p->entry << " " << i;

    // On to the result and a second more (the fighters play their result
    // actions).
    u32 over = 0;
    Run(240, 6000, [&](u32 f) {
        if (!over && Host().scene->IsOver()) over = f;
        return over && f >= over + 56;
    });
    ASSERT_FALSE(HasFatalFailure());
    ExpectAgreement();
    ASSERT_NE(over, 0u) << "no result";
    // Peers agreeing is not enough: a change that alters every machine alike
    // (fused multiply-add switched on) must fail here too.
    EXPECT_EQ(Host().hashes.back().Value(), kTwoPeerBattleFinalHash)
        << std::hex << "final hash 0x" << Host().hashes.back().Value() << std::dec << " after "
        << Host().hashes.size() << " frames";

    // What happened: shots flew, HP was lost, the first defeat decided; every
    // peer saw it so.
    std::vector<const ScenePeer*> all;
    for (auto& p : peers_) {
        all.push_back(p.get());
        EXPECT_TRUE(star_.Refusals(p->entry).empty()) << "peer " << p->entry;
    }
    ExpectOneTeamWon(Host(), all);
    // One input a tick from the client, one bundle a tick from the host,
    // every tick complete.
    const LockstepStats stats = HostLockstep().GetStats();
    EXPECT_EQ(stats.incompleteBundles, 0u);
    EXPECT_EQ(stats.droppedInputs, 0u);
    EXPECT_EQ(stats.peersDropped, 0u);
    EXPECT_EQ(star_.SentCount(1, kMsgNetInput), (Host().hashes.size() + 2) / 3);

    // The host's end request ends both battles, back to the network room.
    EXPECT_EQ(EndFromTheHost(kExitNetworkRoom), (std::vector<i32>{9, 9}));
    for (auto& p : peers_) EXPECT_EQ(p->flow.log, std::vector<std::string>{"leave"}) << "peer " << p->entry;
}

TEST_F(BattleScenePeersTest, APeerThatLeavesPlaysWhatItsRowsHeldAndTheRestGoOnTogether)
{
    Start(3, 3);
    ASSERT_FALSE(HasFatalFailure());
    for (u32 e = 0; e < 3; ++e) peers_[e]->script = [e](CInput& input, u32 f) { Script(input, f + e * 110); };
    // Client 2 leaves after the second frame of a tick.
    constexpr u32 kLeave = 302;
    Run(0, kLeave, [](u32) { return false; });
    ASSERT_FALSE(HasFatalFailure());
    Peer& leaver = *peers_[2];
    const InputPacket last = leaver.packets.back();
    // Its last packet holds something, so the rows' nothing shows.
    ASSERT_FALSE(SamePacket(last, InputPacket{}));
    star_.Silence(2);
    star_.Disconnect(2);
    Leave(leaver);
    Run(kLeave, kLeave + 300, [](u32) { return false; });
    ASSERT_FALSE(HasFatalFailure());
    ExpectAgreement();
    EXPECT_EQ(Host().hashes.back().Value(), kPeerLeftFinalHash)
        << std::hex << "final hash 0x" << Host().hashes.back().Value() << std::dec << " after "
        << Host().hashes.size() << " frames";
    for (u32 e = 0; e < 2; ++e) {
        CBattleScene& scene = *peers_[e]->scene;
        EXPECT_EQ(scene.GetLockstep()->GetEntryKind(2), CBattleEntry::kKindNone) << "peer " << e;
        EXPECT_EQ(scene.GetSetup()->entries[2].kind, CBattleEntry::kKindNone) << "peer " << e;
        // The leaver's fighter plays on with what the host's rows held for
        // it: each of its inputs filled row 0 only, so the rows after hold
        // nothing.
        InputPacket now;
        scene.GetCharacter(u32(CharacterOf(scene, 2)))->GetInputPacket(&now);
        EXPECT_TRUE(SamePacket(now, InputPacket{})) << "peer " << e;
    }
    const LockstepStats stats = HostLockstep().GetStats();
    EXPECT_EQ(stats.incompleteBundles, 0u);
    EXPECT_EQ(stats.peersDropped, 0u) << "it left; it was not dropped for silence";
    EXPECT_EQ(EndFromTheHost(kExitNetworkRoom), (std::vector<i32>{9, 9}));
}

}  // namespace

namespace {

// The host goes: a client plays out the ticks it holds, then leaves the
// battle through its network scene.
TEST_F(BattleScenePeersTest, AClientWhoseHostLeftLeavesTheBattle)
{
    Start(2, 2);
    ASSERT_FALSE(HasFatalFailure());
    Run(0, 150, [](u32) { return false; });
    ASSERT_FALSE(HasFatalFailure());
    star_.Silence(0);
    star_.Disconnect(0);
    Peer& client = *peers_[1];
    ASSERT_TRUE(star_.WaitDelivered(1, 5s));
    i32 result = 1;
    u32 frames = 0;
    for (; frames < 20 && result == 1; ++frames) result = Step(client, 150 + frames);
    EXPECT_EQ(result, Peer::kDropped);
    EXPECT_EQ(client.drops, 1u);
    EXPECT_EQ(client.scene->GetSetup()->entries[0].kind, CBattleEntry::kKindNone);
    // The ticks already queued were played first: two at most.
    EXPECT_GE(frames, 1u);
    EXPECT_LE(frames, 2 * client.scene->GetInputDelay() + 1);
}

// A faster machine's ready word reaches a battle whose load has not made
// its lockstep yet (it loads on the loading screen's thread): it is kept
// and taken, in order, when the lockstep is made, so the host's handshake
// completes at once and answers. Released, the battle takes none.
TEST_F(BattleScenePeersTest, PeerMessagesBeforeTheLockstepAreKeptForItInOrder)
{
    auto host = std::make_unique<Peer>(0, star_);
    Prepare(*host);
    ASSERT_FALSE(HasFatalFailure());
    star_.Add(0);
    CBattleScene& battle = *host->scene;
    const u8 ready[4] = {1, 0, 0, 0}, left[4] = {2, 0, 0, 0};
    EXPECT_EQ(battle.OnPeerMessage(kMsgNetReady, ready, 4), 1u);
    EXPECT_EQ(battle.OnPeerMessage(kMsgPeerLeft, left, 4), 1u);
    EXPECT_EQ(battle.OnPeerMessage(10005, ready, 4), IPeerMessageSink::kPeerMessageNotMine);
    EXPECT_EQ(battle.EarlyMessageCount(), 2u);
    // Given up, the handshake would not answer: a short limit fails fast.
    LockstepLimits limits;
    limits.handshakeCycles = 2000;
    battle.SetLockstepLimits(limits);
    {
        PeerContext context(*host);
        ASSERT_EQ(battle.Load(PeerSetup(0, 3)), 1u);
    }
    EXPECT_EQ(battle.EarlyMessageCount(), 0u);
    EXPECT_EQ(star_.SentCount(0, kMsgNetReady), 1u);
    EXPECT_EQ(battle.GetSetup()->entries[2].kind, CBattleEntry::kKindNone);
    EXPECT_EQ(battle.GetSetup()->entries[1].kind, 1u);
    {
        PeerContext context(*host);
        battle.Release();
    }
    EXPECT_EQ(battle.OnPeerMessage(kMsgNetReady, ready, 4), IPeerMessageSink::kPeerMessageNotMine);
    EXPECT_EQ(battle.EarlyMessageCount(), 0u);
    {
        PeerContext context(*host);
        host->scene.reset();
    }

    // A flood before the load is kept up to the bound on what it holds, its
    // body and a share of the list each: a message that fits exactly is
    // kept, one byte more is dropped, and its sender goes on (it once was
    // refused from the 257th message on, and the network scene closed its
    // connection).
    CBattleScene fresh;
    const size_t cost = CBattleScene::kEarlyMessageCost + kLockstepBufferBytes;
    const size_t whole = CBattleScene::kMaxEarlyBytes / cost;
    ASSERT_GT(whole, 256u);
    const std::vector<u8> input(kLockstepBufferBytes, 0x5A);
    for (size_t i = 0; i < whole; ++i) ASSERT_EQ(fresh.OnPeerMessage(kMsgNetInput, input.data(), u32(input.size())), 1u);
    const size_t room = CBattleScene::kMaxEarlyBytes - whole * cost;
    ASSERT_GE(room, CBattleScene::kEarlyMessageCost + 1);
    const u32 fits = u32(room - CBattleScene::kEarlyMessageCost);
    EXPECT_EQ(fresh.OnPeerMessage(kMsgNetInput, input.data(), fits + 1), IPeerMessageSink::kPeerMessageNotMine);
    EXPECT_EQ(fresh.EarlyMessageCount(), whole);
    EXPECT_EQ(fresh.OnPeerMessage(kMsgNetInput, input.data(), fits), 1u);
    EXPECT_EQ(fresh.EarlyMessageBytes(), CBattleScene::kMaxEarlyBytes);
    EXPECT_EQ(fresh.OnPeerMessage(kMsgNetReady, ready, 0), IPeerMessageSink::kPeerMessageNotMine);
    EXPECT_EQ(fresh.EarlyMessageCount(), whole + 1);
    // A body longer than any the lockstep takes is malformed, not a flood.
    CBattleScene other;
    EXPECT_EQ(other.OnPeerMessage(kMsgNetInput, input.data(), u32(input.size())), 1u);
    const std::vector<u8> longer(kLockstepBufferBytes + 1, 0);
    EXPECT_EQ(other.OnPeerMessage(kMsgNetInput, longer.data(), u32(longer.size())), 0u);
    EXPECT_EQ(other.EarlyMessageBytes(), cost);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
