// Machines joined by the in-process network, each with its real threads:
// they play the same frames, and nobody waits for a peer that has gone.
#include "game/battle/scene/tests/lockstep/LockstepPeers.h"

#include <gtest/gtest.h>

namespace lockstep_test {
namespace ORV_TEST_FILE_ID {

namespace {

constexpr u32 kForever = 0xFFFFFFFFu;

// Every machine that played on to the end saw the same frames.
void ExpectAgreement(FakeNetwork& net, std::initializer_list<u32> machines, size_t frames)
{
    const MachineRun& host = net.Result(0);
    EXPECT_EQ(host.hashes.size(), frames);
    for (u32 e : machines) {
        const MachineRun& run = net.Result(e);
        EXPECT_FALSE(run.gaveUp) << "machine " << e;
        EXPECT_EQ(run.hashes, host.hashes) << "machine " << e;
        EXPECT_EQ(run.chat, host.chat) << "machine " << e;
    }
}

TEST(LockstepPeers, MachinesAgreeAtEveryFrame)
{
    const struct {
        const char* name;
        u32 kinds[4];
        u32 delayWord;
        u32 maxDelayMs;
        u32 seed;
    } cases[] = {
        {"two, no delay", {0, 0, 4, 4}, 0, 0, 1},
        {"three and a computer, late messages", {0, 0, 4, 0}, 0, 6, 2},
        {"four, 8-frame ticks, late messages", {0, 0, 0, 0}, 4, 12, 3},
    };
    for (const auto& c : cases) {
        NetworkOptions options;
        options.seed = c.seed;
        options.maxDelayMs = c.maxDelayMs;
        options.inputDelayWord = c.delayWord;
        options.frames = 48;
        options.chatEvery = 10;
        FakeNetwork net(c.kinds, options);
        ASSERT_TRUE(net.RunAll()) << c.name;

        std::vector<u32> clients;
        for (u32 e = 1; e < 4; ++e)
            if (c.kinds[e] < 4) clients.push_back(e);
        const MachineRun& host = net.Result(0);
        EXPECT_EQ(host.syncResult, 1) << c.name;
        for (u32 e : clients) {
            EXPECT_EQ(net.Result(e).syncResult, 1) << c.name;
            EXPECT_FALSE(net.Result(e).gaveUp) << c.name;
            EXPECT_EQ(net.Result(e).hashes, host.hashes) << c.name << ", machine " << e;
            EXPECT_EQ(net.Result(e).chat, host.chat) << c.name << ", machine " << e;
            // One input a tick: 48 frames of 3 are 16 ticks, of 8 are 6.
            EXPECT_EQ(net.SentCount(e, kMsgNetInput), 48 / CBattleLockstep::InputDelayFrames(c.delayWord)) << c.name;
            EXPECT_TRUE(net.Refusals(e).empty()) << c.name;
        }
        EXPECT_EQ(host.hashes.size(), 48u) << c.name;
        // Every machine's lines came back to everybody, the sender too.
        EXPECT_GE(host.chat.size(), clients.size() + 1) << c.name;
        EXPECT_EQ(net.Lockstep(0).GetStats().droppedInputs, 0u) << c.name;
    }
}

TEST(LockstepPeers, AHostWithOnlyComputersCompletesEachTickOnItsOwnInput)
{
    NetworkOptions options;
    // An incomplete tick would wait for ever.
    options.limits.bundleCycles = kForever;
    const u32 kinds[4] = {0, 4, 5, 4};
    FakeNetwork net(kinds, options);
    ASSERT_TRUE(net.RunAll());
    EXPECT_EQ(net.Result(0).hashes.size(), options.frames);
    EXPECT_EQ(net.Lockstep(0).GetStats().incompleteBundles, 0u);
}

TEST(LockstepPeers, APeerThatLeavesStopsBlockingAtOnce)
{
    NetworkOptions options;
    options.maxDelayMs = 3;
    options.stopAfter[2] = 20;
    // Neither an incomplete tick nor the silent peer's drop can help here.
    options.limits.bundleCycles = kForever;
    options.limits.waitCycles = kForever;
    const u32 kinds[4] = {0, 0, 0, 4};
    FakeNetwork net(kinds, options);
    ASSERT_TRUE(net.RunAll());
    ExpectAgreement(net, {1}, options.frames);
    EXPECT_EQ(net.Lockstep(0).GetEntryKind(2), CBattleEntry::kKindNone);
    EXPECT_EQ(net.Lockstep(1).GetEntryKind(2), CBattleEntry::kKindNone) << "the host relays 10009";
    EXPECT_EQ(net.Lockstep(0).GetStats().incompleteBundles, 0u);
    EXPECT_EQ(net.Lockstep(0).GetStats().peersDropped, 0u);
}

TEST(LockstepPeers, TheHostDropsASilentPeerAfterTheCycleLimit)
{
    NetworkOptions options;
    options.stopAfter[2] = 10;
    options.silentLeaves = false;
    options.limits.bundleCycles = kForever;
    options.limitsOf[0] = options.limits;
    // Long enough for a peer that is only slow.
    options.limitsOf[0].waitCycles = 3000;
    const u32 kinds[4] = {0, 0, 0, 4};
    FakeNetwork net(kinds, options);
    ASSERT_TRUE(net.RunAll());
    ExpectAgreement(net, {1}, options.frames);
    EXPECT_EQ(net.Lockstep(0).GetEntryKind(2), CBattleEntry::kKindNone);
    EXPECT_EQ(net.Lockstep(0).GetEntryKind(1), 0u) << "the peer that kept sending stays";
    EXPECT_EQ(net.Lockstep(0).GetStats().peersDropped, 1u);
}

TEST(LockstepPeers, AnIncompleteTickIsSentAfterTheThreadsCycleLimit)
{
    NetworkOptions options;
    options.frames = 30;
    options.stopAfter[1] = 5;
    options.silentLeaves = false;
    options.limits.bundleCycles = 20;
    options.limits.waitCycles = kForever;
    const u32 kinds[4] = {0, 0, 4, 4};
    FakeNetwork net(kinds, options);
    ASSERT_TRUE(net.RunAll());
    EXPECT_EQ(net.Result(0).hashes.size(), 30u);
    EXPECT_GT(net.Lockstep(0).GetStats().incompleteBundles, 0u);
    EXPECT_EQ(net.Lockstep(0).GetEntryKind(1), 0u) << "late, not gone";
}

TEST(LockstepPeers, AMessageCutShortIsRefusedAndClosesItsLink)
{
    const struct {
        const char* name;
        u32 from, to, type;
        u32 cutOff;   // the machine whose link closes
    } cases[] = {
        {"a bundle to a client", 0, 2, kMsgFrameBundle, 2},
        {"an input to the host", 1, 0, kMsgNetInput, 1},
    };
    for (const auto& c : cases) {
        NetworkOptions options;
        options.maxDelayMs = 2;
        options.limits.bundleCycles = kForever;
        options.limits.waitCycles = kForever;
        const u32 kinds[4] = {0, 0, 0, 4};
        FakeNetwork net(kinds, options);
        net.CutNext(c.from, c.to, c.type, 5);
        ASSERT_TRUE(net.RunAll()) << c.name;
        EXPECT_EQ(net.Refusals(c.to), std::vector{LockstepRecordError::kTooShort}) << c.name;
        EXPECT_TRUE(net.Result(c.cutOff).gaveUp) << c.name;
        EXPECT_EQ(net.Lockstep(0).GetEntryKind(c.cutOff), CBattleEntry::kKindNone) << c.name;
        const u32 other = 3 - c.cutOff;
        ExpectAgreement(net, {other}, options.frames);
        // What the cut-off machine played before it gave up agrees too.
        const std::vector<u64>& cut = net.Result(c.cutOff).hashes;
        EXPECT_TRUE(std::equal(cut.begin(), cut.end(), net.Result(0).hashes.begin())) << c.name;
    }
}

TEST(LockstepPeers, TheHandshakeGivesUpWhenAPeerNeverComes)
{
    NetworkOptions options;
    options.frames = 6;
    options.limits.handshakeCycles = 50;
    options.absent = {2};
    const u32 kinds[4] = {0, 0, 0, 4};
    FakeNetwork net(kinds, options);
    ASSERT_TRUE(net.RunAll());
    EXPECT_EQ(net.Result(0).syncResult, 0);
    EXPECT_EQ(net.Result(1).syncResult, 0) << "the host never said all were ready";
}

// Watches every sleep of the process: the sleeping thread may hold no
// machine's network scene lock and no scene's lock.
class LockProbeClock : public host::kernel::Clock {
public:
    uint32_t Milliseconds() override { return uint32_t(Clock::now().time_since_epoch() / 1ms); }
    void Sleep(uint32_t ms) override
    {
        for (FakeNetworkLock* lock : networkLocks) violations += lock->HeldByMe();
        for (host::kernel::CriticalSection* lock : sceneLocks) violations += !OtherThreadCanEnter(*lock);
        ++sleeps;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    host::kernel::LocalTime Now() override { return {}; }

    std::vector<FakeNetworkLock*> networkLocks;
    std::vector<host::kernel::CriticalSection*> sceneLocks;
    std::atomic<u32> violations{0}, sleeps{0};

private:
    using Clock = std::chrono::steady_clock;
    // Other threads hold a scene's lock only for moments; the sleeper, held
    // here, would hold it for good.
    static bool OtherThreadCanEnter(host::kernel::CriticalSection& lock)
    {
        bool entered = false;
        std::thread([&] {
            for (int i = 0; i < 2000 && !entered; ++i) {
                if ((entered = lock.TryEnter())) lock.Leave();
                else std::this_thread::sleep_for(20us);
            }
        }).join();
        return entered;
    }
};

TEST(LockstepPeers, NothingSleepsHoldingALockThatTheReceiveThreadNeeds)
{
    NetworkOptions options;
    options.maxDelayMs = 4;
    options.frames = 30;
    const u32 kinds[4] = {0, 0, 0, 4};
    FakeNetwork net(kinds, options);
    LockProbeClock clock;
    for (u32 e : {0u, 1u, 2u}) {
        clock.networkLocks.push_back(&net.NetworkLock(e));
        clock.sceneLocks.push_back(&net.Lockstep(e).GetSyncBlock());
    }
    host::kernel::ScopedClock installed(clock);
    ASSERT_TRUE(net.RunAll());
    ExpectAgreement(net, {1, 2}, options.frames);
    EXPECT_GT(clock.sleeps.load(), 0u);
    EXPECT_EQ(clock.violations.load(), 0u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace lockstep_test
