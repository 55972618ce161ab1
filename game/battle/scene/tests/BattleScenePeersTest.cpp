// Whole network battles between battle scenes in one process: a host and
// its clients, each a CBattleScene with its own application, pads,
// controllers, object registry, generator and frame time, joined by the
// lockstep tests' star network. The game threads' part runs on the test
// thread, peer after peer, frame by frame; the lockstep thread and the
// receive threads are real. Every peer must hold the same state at every
// frame.
#include "game/battle/scene/tests/BattleSceneTestSupport.h"

#include "engine/core/Random.h"
#include "engine/core/SoundPlayerBase.h"
#include "engine/platform/Input.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleStateConsole.h"
#include "game/battle/scene/tests/lockstep/LockstepStar.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

namespace {

using namespace scene_test;
using lockstep_test::FakeStar;
using namespace std::chrono_literals;

// The process's globals that a battle runs on. One peer at a time holds
// them: its game thread, while it is inside its network scene's lock.
std::recursive_mutex& EngineMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

struct PeerGlobals {
    CObjectRegistry* registry = nullptr;
    RandomState random = kRandomInitialState;
    u32 frameMs = kFrameMs;
    CResourceList* sounds = nullptr;

    static PeerGlobals Take()
    {
        return {GetObjectRegistry(), g_randomState, GetFrameTimeMs(), GetSoundPlayerList()};
    }
    void Put() const
    {
        SetObjectRegistry(registry);
        g_randomState = random;
        SetFrameTime(frameMs);
        SetSoundPlayerList(sounds);
    }
};

// A peer's network scene lock. On the peer's game thread it also takes the
// engine and puts the peer's globals in (and back out on leaving), so the
// battle's waits, which leave the lock while they sleep, hand the engine to
// the other peers. The receive thread takes only the lock itself: what it
// delivers must not reach the globals.
class PeerLock : public INetworkSceneLock {
public:
    explicit PeerLock(PeerGlobals& own) : m_own(own) {}
    void Enter() override
    {
        if (IsGameThread() && m_gameDepth++ == 0) {
            EngineMutex().lock();
            m_outside = PeerGlobals::Take();
            m_own.Put();
        }
        m_mutex.lock();
    }
    void Leave() override
    {
        m_mutex.unlock();
        if (IsGameThread() && --m_gameDepth == 0) {
            m_own = PeerGlobals::Take();
            m_outside.Put();
            EngineMutex().unlock();
        }
    }
    std::atomic<std::thread::id> gameThread{};

private:
    bool IsGameThread() const { return gameThread.load() == std::this_thread::get_id(); }

    PeerGlobals& m_own;
    PeerGlobals m_outside;
    u32 m_gameDepth = 0;   // the game thread's only
    std::recursive_mutex m_mutex;
};

// One machine: the application's side of it and its battle.
struct Peer : IBattleNetwork {
    Peer(u32 e, FakeStar& s) : entry(e), star(s) { app.input = &input; }

    void EnterLock() override { lock.Enter(); }
    void LeaveLock() override { lock.Leave(); }
    i32 Broadcast(u16 type, const void* data, u32 length) override
    {
        star.Send(entry, type, std::string(static_cast<const char*>(data), length));
        return 1;
    }
    i32 DropBattle() override { return ++drops, kDropped; }
    i32 ReportBattleResult(u32 result) override { return reported.push_back(result), 1; }

    static constexpr i32 kDropped = 77;
    const u32 entry;
    FakeStar& star;
    FakeBattleApp app;
    FakeFlow flow;
    CInput input;
    std::unique_ptr<CResourceController> resources;
    std::unique_ptr<CEffectController> effects;
    CObjectRegistry registry;
    PeerGlobals globals;
    PeerLock lock{globals};
    std::unique_ptr<CBattleScene> scene;
    std::vector<BattleStateHash> hashes;   // after each frame
    std::vector<InputPacket> packets;      // sent at each tick's first frame
    std::vector<u32> reported;
    u32 drops = 0;
    u32 mostBullets = 0;
    std::function<void(CInput&, u32)> script;
};

// The peer's game thread at work: holding its network scene lock with its
// globals in.
class PeerContext {
public:
    explicit PeerContext(Peer& peer) : m_peer(peer)
    {
        m_peer.lock.gameThread = std::this_thread::get_id();
        m_peer.lock.Enter();
    }
    ~PeerContext()
    {
        m_peer.lock.Leave();
        m_peer.lock.gameThread = std::thread::id();
    }
    PeerContext(const PeerContext&) = delete;
    PeerContext& operator=(const PeerContext&) = delete;

private:
    Peer& m_peer;
};

// The host's human in entry 0, a client's in entry 1 (and 2), computers in
// the rest; teams by entry parity; the lives rule with no extra life, so the
// first defeat decides.
CBattleSetup* PeerSetup(u32 local, u32 humans)
{
    CBattleSetup* setup = CpuSetup();
    for (u32 e = 0; e < humans; ++e) setup->entries[e].kind = e;
    setup->networkMode = 1;
    setup->localEntry = local;
    setup->option.livesRule = 1;
    setup->option.extraLives = 0;
    return setup;
}

class BattleScenePeersTest : public BattleSceneTest {
protected:
    void SetUp() override
    {
        BattleSceneTest::SetUp();
        // The lockstep's waits count real milliseconds: on the fake clock a
        // late message would look lost.
        host::kernel::SetClock(nullptr);
    }
    void TearDown() override
    {
        for (auto& p : peers_) Leave(*p);
        star_.Stop();
        peers_.clear();
        host::kernel::SetClock(&clock_);
        BattleSceneTest::TearDown();
    }

    // Builds the peers and loads every battle, each machine on its own
    // thread as it would be: the start handshake needs them all at once.
    void Start(u32 peers, u32 humans)
    {
        const PeerGlobals outside = PeerGlobals::Take();
        for (u32 e = 0; e < peers; ++e) {
            auto p = std::make_unique<Peer>(e, star_);
            Peer& peer = *p;
            LoadControllers(&peer.resources, &peer.effects);
            ASSERT_FALSE(HasFatalFailure());
            peer.app.resources = peer.resources.get();
            peer.app.effects = peer.effects.get();
            peer.app.sound = sound_.get();
            peer.app.musicTension = &tension_;
            peer.app.userFolder = folder_.Path();
            peer.app.config.GetReplaySection()->saveReplays = 0;
            peer.app.flow = &peer.flow;
            peer.globals.registry = &peer.registry;
            peer.globals.sounds = peer.resources->GetSoundList();
            peer.scene = std::make_unique<CBattleScene>(&peer.app, &peer);
            star_.Add(e);
            peers_.push_back(std::move(p));
        }
        outside.Put();
        std::vector<std::thread> loads;
        std::vector<u32> loaded(peers, 0);
        for (u32 e = 0; e < peers; ++e) {
            loads.emplace_back([this, e, humans, &loaded] {
                Peer& p = *peers_[e];
                PeerContext context(p);
                // Messages reach the battle only while its loading waits.
                CBattleScene* scene = p.scene.get();
                star_.Attach(e, &p.lock, [scene](u32 type, const u8* data, size_t size) {
                    return scene->OnPeerMessage(type, data, u32(size)) ? LockstepRecordError::kNone
                                                                         : LockstepRecordError::kType;
                });
                loaded[e] = p.scene->Load(PeerSetup(e, humans));
            });
        }
        for (std::thread& t : loads) t.join();
        for (u32 e = 0; e < peers; ++e) ASSERT_EQ(loaded[e], 1u) << "peer " << e;
        // The host answered the handshake: every peer was there in time.
        EXPECT_EQ(star_.SentCount(0, kMsgNetReady), 1u);
        // The battle lasts seconds, not the shortest setting's 100: every
        // console's clock starts lower, the same on every machine.
        for (auto& p : peers_)
            for (u32 i = 0; i < p->scene->GetConsoles().GetCount(); ++i)
                p->scene->GetConsole(i)->GetState()->GetSetup().timeLimit = kTimeLimit;
    }

    // One frame of one peer, as its application runs it: the frame's time,
    // the pad, the update; then the state it left.
    i32 Step(Peer& p, u32 frame)
    {
        PeerContext context(p);
        SetFrameTime(kFrameMs);
        if (p.script) p.script(p.input, frame);
        if (frame % p.scene->GetInputDelay() == 0) {
            InputPacket packet;
            CCharacter::BuildInputPacket(&packet, *p.input.GetInputState(0));
            p.packets.push_back(packet);
        }
        const i32 result = p.scene->Update(0);
        p.hashes.push_back(p.scene->HashState());
        p.mostBullets = std::max(p.mostBullets, p.scene->GetBullets().GetCount());
        return result;
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
        for (auto& p : peers_) {
            if (p->entry == 0) continue;
            const size_t frames = std::min(p->hashes.size(), peers_[0]->hashes.size());
            const std::vector<BattleStateHash> host(peers_[0]->hashes.begin(), peers_[0]->hashes.begin() + frames);
            const std::vector<BattleStateHash> peer(p->hashes.begin(), p->hashes.begin() + frames);
            EXPECT_EQ(FirstDifference(host, peer), "") << "peer " << p->entry;
        }
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

    static constexpr f32 kTimeLimit = 12.0f;
    FakeStar star_{1, 0};
    std::vector<std::unique_ptr<Peer>> peers_;
};

// The character that plays entry.
i32 CharacterOf(const CBattleScene& scene, u32 entry)
{
    for (u32 i = 0; i < scene.GetCharacterCount(); ++i)
        if (scene.GetEntryOf(i) == entry) return i32(i);
    return -1;
}

bool ShowsLine(const CBattleConsole& console, const char* text)
{
    for (u32 i = 0; i < CBattleStateConsole::kSlots; ++i)
        if (std::strcmp(console.GetState()->GetSlot(i).text, text) == 0) return true;
    return false;
}

bool SamePacket(const InputPacket& a, const InputPacket& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string Results(const CBattleScene& scene)
{
    return std::to_string(scene.GetResult(0)) + " " + std::to_string(scene.GetResult(1));
}

// The host's final state in the two tests below. The peers' agreement does
// not see a change that alters every machine alike (fused multiply-add
// switched on, another library's sine), so the host's run is also held
// against a stored hash. When behaviour is meant to change: check that the
// battle still plays out as asserted, put the hex value the failing
// comparison prints here, and name the change in the commit message. Every
// build and machine must give the same value.
constexpr u64 kTwoPeerBattleFinalHash = 0xc29d4c6106efcaf5;
constexpr u64 kPeerLeftFinalHash = 0xc09baf18b56d210c;

TEST_F(BattleScenePeersTest, HostAndClientPlayOneBattleToItsResult)
{
    Start(2, 2);
    ASSERT_FALSE(HasFatalFailure());
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
    CBattleScene& host = *Host().scene;
    EXPECT_GT(Host().mostBullets, 0u);
    EXPECT_GT(HpLost(host), 0);
    const u32 r0 = host.GetResult(0), r1 = host.GetResult(1);
    EXPECT_TRUE((r0 == kResultWin && r1 == kResultLoss) || (r0 == kResultLoss && r1 == kResultWin)) << r0 << " " << r1;
    for (auto& p : peers_) {
        EXPECT_EQ(p->scene->IsOver(), 1u) << "peer " << p->entry;
        EXPECT_EQ(Results(*p->scene), Results(host)) << "peer " << p->entry;
        EXPECT_EQ(HpLost(*p->scene), HpLost(host)) << "peer " << p->entry;
        // Each reported its own team's result to the lobby.
        EXPECT_EQ(p->reported, std::vector<u32>{host.GetResult(p->entry % 2) - 1}) << "peer " << p->entry;
        EXPECT_EQ(p->drops, 0u);
        EXPECT_TRUE(star_.Refusals(p->entry).empty()) << "peer " << p->entry;
    }
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

TEST_F(BattleScenePeersTest, APeerThatLeavesKeepsItsLastPacketAndTheRestGoOnTogether)
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
        // The leaver's fighter plays on with its last packet.
        InputPacket now;
        scene.GetCharacter(u32(CharacterOf(scene, 2)))->GetInputPacket(&now);
        EXPECT_TRUE(SamePacket(now, last)) << "peer " << e;
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

}  // namespace
