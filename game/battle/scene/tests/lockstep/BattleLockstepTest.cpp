// One lockstep machine driven by hand: the tick, the host's ring, its frame
// time and music time, side messages, the message roles and the waits.
#include "game/battle/scene/tests/lockstep/LockstepPeers.h"

#include <gtest/gtest.h>

#include <bit>

namespace lockstep_test {
namespace ORV_TEST_FILE_ID {

namespace {

using E = LockstepRecordError;

// A machine with a recording transport.
struct Machine {
    explicit Machine(u32 local, std::initializer_list<u32> kinds = {0, 0, 4, 4}, u32 delayWord = 0,
                     LockstepLimits limits = {})
    {
        config.localEntry = local;
        std::copy(kinds.begin(), kinds.end(), config.kinds);
        config.inputDelayWord = delayWord;
        config.limits = limits;
        lockstep = std::make_unique<CBattleLockstep>(config, &transport, &lock, &battle);
    }
    E Message(u32 id, const std::string& body) { return lockstep->OnMessage(id, Data(body), body.size()); }
    // A peer's input, as the receive thread hands it over.
    E Input(u32 entry, u32 packet, std::vector<StatePacket> messages = {})
    {
        return Message(kMsgNetInput, WriteNetInput(entry, Packet(packet), messages.data(), u32(messages.size())));
    }
    FrameBundle NextBundle()
    {
        EXPECT_EQ(lockstep->SendFrameBundle(), 1);
        const std::vector<Sent> sent = transport.Of(kMsgFrameBundle);
        EXPECT_EQ(sent.size(), 1u);
        return sent.empty() ? FrameBundle{} : ReadBundle(sent[0].body);
    }
    // The frames a battle plays until the queue runs dry.
    std::vector<LockstepFrame> Drain()
    {
        std::vector<LockstepFrame> frames;
        LockstepFrame f;
        while (lockstep->TakeFrame(&f)) frames.push_back(f);
        return frames;
    }

    LockstepConfig config;
    RecordingTransport transport;
    FakeNetworkLock lock;
    FakeBattle battle;
    std::unique_ptr<CBattleLockstep> lockstep;
};

TEST(BattleLockstep, InputDelayComesFromTheTableByOptionWord12)
{
    const u32 cases[][2] = {{0, 3}, {1, 4}, {2, 5}, {3, 6}, {4, 8}, {5, 3}, {0xFF, 3}, {0x104, 8}};
    for (const auto& c : cases) EXPECT_EQ(CBattleLockstep::InputDelayFrames(c[0]), c[1]) << c[0];
}

TEST(BattleLockstep, EachRecordServesOneTickAndItsSideMessagesComeOnItsLastFrame)
{
    Machine client(1, {0, 0, 4, 4}, 0);
    // The two idle records, then one with two lines.
    FrameRecord record{2.5f, {Packet(7), Packet(8)}, 20, 2};
    const StatePacket lines[] = {MakeRadioChat("a", 0, 0), MakeRadioChat("b", 1, 1)};
    ASSERT_EQ(client.Message(kMsgFrameBundle, WriteFrameBundle(record, lines)), E::kNone);

    const std::vector<LockstepFrame> frames = client.Drain();
    ASSERT_EQ(frames.size(), 9u);
    for (u32 f = 0; f < 9; ++f) {
        EXPECT_EQ(frames[f].tickEnd, f % 3 == 2) << f;
        EXPECT_EQ(frames[f].record.frameMs, f < 6 ? 18 : 20) << f;
        EXPECT_EQ(frames[f].messageCount, f == 8 ? 2u : 0u) << f;
    }
    EXPECT_EQ(frames[8].record.musicTime, 2.5f);
    EXPECT_EQ(frames[8].record.inputs[1].buttons[0], 8);
    EXPECT_STREQ(reinterpret_cast<const char*>(frames[8].messages[1].data), "b");
    // A machine without a fighter of its own sends no input.
    EXPECT_EQ(client.lockstep->SendLocalInput(16, nullptr), 1);
    EXPECT_TRUE(client.transport.Take().empty());
}

TEST(BattleLockstep, LaterInputsOfAnEntryFillTheNextRowsAndAFourthIsDropped)
{
    Machine host(0, {0, 0, 4, 4});
    for (u32 packet : {0xA1u, 0xB2u, 0xC3u, 0xD4u}) EXPECT_EQ(host.Input(1, packet), E::kNone);
    EXPECT_EQ(host.lockstep->GetStats().droppedInputs, 1u);
    for (u32 packet : {0xA1u, 0xB2u, 0xC3u}) EXPECT_EQ(host.NextBundle().record.inputs[1].buttons[0], packet);
    // An emptied row keeps the last packet it held for an entry that sent none.
    EXPECT_EQ(host.NextBundle().record.inputs[1].buttons[0], 0xC3);
    EXPECT_EQ(host.lockstep->GetStats().bundlesSent, 4u);
}

TEST(BattleLockstep, TicksWithoutAnEntrysInputPlayWhatTheirRowHeld)
{
    // An input fills one row only. Its input came, then it left (or went
    // quiet): the ticks after play what their rows held, not its last packet.
    const struct {
        std::vector<u32> before;   // inputs taken and played before the last one
        u32 last;
        std::vector<u32> after;    // the next bundles' packets of entry 1
    } cases[] = {
        // The rows held nothing yet.
        {{}, 0xA1, {0xA1, 0x00, 0x00, 0x00}},
        // Three inputs filled the three rows; the last one lands in row 0,
        // and rows 1 and 2 keep what they held.
        {{0xA1, 0xB2, 0xC3}, 0xE5, {0xE5, 0xC3, 0xC3, 0xC3}},
        // Two filled rows 0 and 1; after the shifts row 0 had row 1's and
        // row 1 had row 2's (nothing).
        {{0xA1, 0xB2}, 0xE5, {0xE5, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        Machine host(0, {0, 0, 4, 4});
        for (u32 packet : c.before) EXPECT_EQ(host.Input(1, packet), E::kNone);
        for (u32 packet : c.before) EXPECT_EQ(host.NextBundle().record.inputs[1].buttons[0], packet);
        EXPECT_EQ(host.Input(1, c.last), E::kNone);
        for (size_t tick = 0; tick < c.after.size(); ++tick)
            EXPECT_EQ(host.NextBundle().record.inputs[1].buttons[0], c.after[tick]) << c.before.size() << " " << tick;
    }
}

TEST(BattleLockstep, HostFrameTimeIsTheAccumulatedTimeOverDelayPlusOneWithin18To255)
{
    const struct {
        u32 delayWord;
        std::vector<u32> frames;   // frame milliseconds before the host's input
        u32 expected;
    } cases[] = {
        {0, {10}, 18},
        {0, {100}, 25},
        {0, {1019}, 254},
        {0, {1020}, 255},
        {0, {60000}, 255},
        {4, {900}, 100},
        // Sums that would wrap a u32 stay large.
        {0, {5, 0xFFFFFFFFu}, 255},
    };
    for (const auto& c : cases) {
        Machine host(0, {0, 4, 4, 5}, c.delayWord);
        const InputPacket input = Packet(1);
        // Frames in a tick's middle only add their time.
        LockstepFrame frame;
        frame.tickEnd = true;
        for (size_t i = 0; i + 1 < c.frames.size(); ++i) {
            host.lockstep->TakeFrame(&frame);
            host.lockstep->SendLocalInput(c.frames[i], &input);
        }
        // Back on a tick's first frame.
        while (!frame.tickEnd) host.lockstep->TakeFrame(&frame);
        host.lockstep->SendLocalInput(c.frames.back(), &input);
        EXPECT_EQ(host.NextBundle().record.frameMs, c.expected) << c.frames.back();
    }
}

TEST(BattleLockstep, HostMusicTimeIsItsPositionPlusTheDelayInFrames)
{
    for (const auto& [music, expected] : {std::pair{10.0f, 10.0f + 0.054f}, {std::numeric_limits<f32>::quiet_NaN(), 0.054f}}) {
        Machine host(0, {0, 4, 4, 4});
        host.battle.music = music;
        const InputPacket input = Packet(1);
        host.lockstep->SendLocalInput(20, &input);
        const FrameBundle bundle = host.NextBundle();
        EXPECT_FLOAT_EQ(bundle.record.musicTime, expected);
        EXPECT_EQ(bundle.record.inputs[0].buttons[0], 1);
    }
}

TEST(BattleLockstep, SideMessagesTravelWithTheNextBundleAndFitItsBuffer)
{
    Machine host(0, {0, 0, 0, 4});
    // Two peers fill more than a tick holds: the bundle keeps what fits.
    std::vector<StatePacket> lines;
    for (u32 i = 0; i < kMaxTickMessages; ++i) lines.push_back(MakeRadioChat(std::to_string(i).c_str(), 1, 0));
    EXPECT_EQ(host.Input(1, 1, lines), E::kNone);
    EXPECT_EQ(host.Input(2, 2, {MakeRadioChat("late", 2, 0)}), E::kNone);
    const FrameBundle full = host.NextBundle();
    EXPECT_EQ(full.record.messageCount, kMaxTickMessages);
    EXPECT_EQ(host.lockstep->GetStats().droppedSideMessages, 1u);
    EXPECT_EQ(host.NextBundle().record.messageCount, 0) << "counts start again each bundle";

    // The host plays its own bundles: the lines come back on the tick's
    // last frame, after the two idle records.
    const std::vector<LockstepFrame> frames = host.Drain();
    ASSERT_EQ(frames.size(), 12u);
    EXPECT_EQ(frames[8].messageCount, kMaxTickMessages);
    EXPECT_STREQ(reinterpret_cast<const char*>(frames[8].messages[23].data), "23");

    // What a machine queues for its own input is bounded the same way.
    Machine client(1);
    u32 queued = 0;
    for (u32 i = 0; i < kMaxTickMessages + 5; ++i) queued += client.lockstep->QueueSideMessage(MakeRadioChat("x", 1, 0));
    EXPECT_EQ(queued, kMaxTickMessages);
    StatePacket bullet{0, 48, {}};
    EXPECT_FALSE(client.lockstep->QueueSideMessage(bullet));
}

TEST(BattleLockstep, MessagesAreCheckedAgainstTheMachinesRole)
{
    const struct {
        const char* name;
        u32 local;
        u32 id;
        std::string body;
        E error;
    } cases[] = {
        {"host takes no end code", 0, kMsgBattleEnd, U32Bytes(1), E::kRole},
        {"only the host says all are ready", 0, kMsgNetReady, U32Bytes(0), E::kRole},
        {"ready entry 4", 0, kMsgNetReady, U32Bytes(4), E::kEntry},
        {"ready cut", 0, kMsgNetReady, U32Bytes(1).substr(0, 3), E::kTooShort},
        {"the host's own input never travels", 0, kMsgNetInput, WriteNetInput(0, Packet(1), nullptr, 0), E::kRole},
        {"input cut", 0, kMsgNetInput, WriteNetInput(1, Packet(1), nullptr, 0).substr(0, 5), E::kTooShort},
        {"host takes no bundle", 0, kMsgFrameBundle, WriteFrameBundle({0, {}, 18, 0}, nullptr), E::kRole},
        {"host does not leave itself", 0, kMsgPeerLeft, U32Bytes(0), E::kRole},
        {"left entry 4", 0, kMsgPeerLeft, U32Bytes(4), E::kEntry},
        {"not a lockstep message", 0, 10005, U32Bytes(1), E::kType},
        {"a client takes no input", 1, kMsgNetInput, WriteNetInput(2, Packet(1), nullptr, 0), E::kRole},
        {"bundle cut", 1, kMsgFrameBundle, WriteFrameBundle({0, {}, 18, 0}, nullptr).substr(0, 21), E::kTooShort},
        {"end code cut", 1, kMsgBattleEnd, U32Bytes(1).substr(0, 2), E::kTooShort},
        {"a client does not leave itself", 1, kMsgPeerLeft, U32Bytes(1), E::kRole},
    };
    for (const auto& c : cases) {
        Machine m(c.local, {0, 0, 0, 0});
        EXPECT_EQ(m.Message(c.id, c.body), c.error) << c.name;
        // Nothing changed: the same kinds, readiness, queue and ring.
        for (u32 e = 0; e < 4; ++e) EXPECT_EQ(m.lockstep->GetEntryKind(e), 0u) << c.name;
        EXPECT_EQ(m.Drain().size(), 6u) << c.name;
        EXPECT_FALSE(m.lockstep->TakePeerEnd(nullptr)) << c.name;
        EXPECT_EQ(m.lockstep->GetStats().refusedMessages, 1u) << c.name;
        if (c.local == 0) {
            EXPECT_EQ(m.NextBundle().record.inputs[1].buttons[0], 0) << c.name;
        }
    }
}

TEST(BattleLockstep, PeerLeftAndEndCodeAreTaken)
{
    Machine client(2, {0, 0, 0, 0});
    EXPECT_EQ(client.Message(kMsgPeerLeft, U32Bytes(3)), E::kNone);
    EXPECT_EQ(client.lockstep->GetEntryKind(3), CBattleEntry::kKindNone);
    EXPECT_EQ(client.Message(kMsgBattleEnd, U32Bytes(0x10004)), E::kNone);
    u32 code = 0;
    EXPECT_TRUE(client.lockstep->TakePeerEnd(&code));
    EXPECT_EQ(code, 0x10004u);
    EXPECT_FALSE(client.lockstep->TakePeerEnd(&code)) << "once";
    EXPECT_EQ(client.lockstep->SendBattleEnd(1), 0) << "only the host ends everybody's battle";

    Machine host(0);
    EXPECT_EQ(host.lockstep->SendBattleEnd(6), 1);
    const std::vector<Sent> sent = host.transport.Of(kMsgBattleEnd);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body, U32Bytes(6));
}

// Once the host has sent its end, a member's ready word is for the rematch:
// kept for it, once, and never taken by this battle's handshake.
TEST(BattleLockstep, ReadyWordsAfterTheHostsEndAreKeptForTheNextBattle)
{
    LockstepLimits limits;
    limits.handshakeCycles = 5;
    Machine host(0, {0, 0, 0, 4}, 0, limits);
    EXPECT_EQ(host.Message(kMsgNetReady, U32Bytes(1)), E::kNone);
    EXPECT_EQ(host.lockstep->TakeNextReady(), 0u) << "before the end: this battle's";
    EXPECT_EQ(host.lockstep->SendBattleEnd(5), 1);
    EXPECT_EQ(host.Message(kMsgNetReady, U32Bytes(2)), E::kNone);
    EXPECT_EQ(host.Message(kMsgNetReady, U32Bytes(0)), E::kRole);
    EXPECT_EQ(host.Message(kMsgNetReady, U32Bytes(4)), E::kEntry);
    EXPECT_EQ(host.lockstep->SyncStart(), 0) << "entry 2's word is the next battle's";
    EXPECT_EQ(host.lockstep->TakeNextReady(), 1u << 2);
    EXPECT_EQ(host.lockstep->TakeNextReady(), 0u) << "once";
}

// Waits need a limit that ends them: a machine's two idle records played.
void PlayIdleRecords(Machine& m) { m.Drain(); }

TEST(BattleLockstep, AClientGivesUpAfterTheCycleLimitAndLeavesOutTheTimeWaited)
{
    Machine client(1, {0, 0, 4, 4}, 0, LockstepLimits{10, 50, 10});
    PlayIdleRecords(client);
    client.lock.Enter();
    EXPECT_EQ(client.lockstep->WaitNetInputs(), 0);
    EXPECT_TRUE(client.lock.HeldByMe()) << "the network scene's lock is held again after the wait";
    client.lock.Leave();
    // Cycles 9, 19, 29, 39 and 49 slept.
    EXPECT_EQ(client.battle.paused.load(), 5u);
}

TEST(BattleLockstep, WaitsEndAtOnceWhenTheHostLeftOrTheBattleEnds)
{
    const LockstepLimits endless{10, 0xFFFFFFFFu, 10};
    const struct {
        const char* name;
        std::function<void(Machine&)> event;
    } cases[] = {
        {"host left", [](Machine& m) { m.Message(kMsgPeerLeft, U32Bytes(0)); }},
        {"end fade", [](Machine& m) { m.battle.fade = true; }},
        {"host's end code", [](Machine& m) { m.Message(kMsgBattleEnd, U32Bytes(2)); }},
    };
    for (const auto& c : cases) {
        Machine client(1, {0, 0, 4, 4}, 0, endless);
        PlayIdleRecords(client);
        c.event(client);
        client.lock.Enter();
        EXPECT_EQ(client.lockstep->WaitNetInputs(), 0) << c.name;
        client.lock.Leave();
    }
    // With a record queued the wait returns 1 at once.
    Machine client(1, {0, 0, 4, 4}, 0, endless);
    client.lock.Enter();
    EXPECT_EQ(client.lockstep->WaitNetInputs(), 1);
    client.lock.Leave();
}

// The host's end and a record arrive together while a client waits: the end
// wins, and the ending battle plays no more frames.
TEST(BattleLockstep, AWaitThatMeetsTheEndAndARecordTogetherEnds)
{
    Machine client(1, {0, 0, 4, 4}, 0, LockstepLimits{10, 0xFFFFFFFFu, 10});
    PlayIdleRecords(client);
    client.lock.Enter();
    // Both delivered under the network scene's lock, as the receive thread
    // delivers: the wait sees them at once.
    std::thread receive([&] {
        client.lock.Enter();
        const FrameRecord record{1.0f, {Packet(7), Packet(8)}, 20, 0};
        EXPECT_EQ(client.Message(kMsgFrameBundle, WriteFrameBundle(record, {})), E::kNone);
        EXPECT_EQ(client.Message(kMsgBattleEnd, U32Bytes(2)), E::kNone);
        client.lock.Leave();
    });
    EXPECT_EQ(client.lockstep->WaitNetInputs(), 0);
    client.lock.Leave();
    receive.join();
}

// The loading screen's thread loads the battle, and starts the handshake,
// holding no lock: it must end as it began, else the game thread and the
// receive threads wait on a lock nobody will leave.
TEST(BattleLockstep, AHandshakeOnAThreadWithoutTheLockLeavesItAsItFoundIt)
{
    for (const bool ready : {true, false}) {
        Machine client(1, {0, 0, 4, 4}, 0, LockstepLimits{10, 50, 10});
        if (ready) {
            EXPECT_EQ(client.Message(kMsgNetReady, U32Bytes(0)), E::kNone);
        }
        i32 result = -1;
        bool heldAfter = true;
        std::thread loader([&] {
            result = client.lockstep->SyncStart();
            heldAfter = client.lock.HeldByMe();
        });
        loader.join();
        EXPECT_EQ(result, ready ? 1 : 0) << ready;
        // Counted by how it ended: the game's own process test reads these.
        const LockstepStats stats = client.lockstep->GetStats();
        EXPECT_EQ(stats.handshakesDone, ready ? 1u : 0u) << ready;
        EXPECT_EQ(stats.handshakesGivenUp, ready ? 0u : 1u) << ready;
        ASSERT_FALSE(heldAfter) << ready;
        // Another thread takes it at once.
        client.lock.Enter();
        EXPECT_TRUE(client.lock.HeldByMe());
        client.lock.Leave();
    }
}

TEST(BattleLockstep, AHostWhoseThreadIsNotRunningGivesUpAtTheLimit)
{
    Machine host(0, {0, 0, 4, 4}, 0, LockstepLimits{10, 30, 10});
    PlayIdleRecords(host);
    host.lock.Enter();
    EXPECT_EQ(host.lockstep->WaitNetInputs(), 0);
    host.lock.Leave();
}

TEST(BattleLockstep, NoNetworkMeansNoHandshakeAndNoSends)
{
    LockstepConfig config;
    CBattleLockstep local(config, nullptr, nullptr, nullptr);
    const InputPacket input{};
    EXPECT_EQ(local.SyncStart(), 1);
    EXPECT_EQ(local.SendLocalInput(16, &input), 1);
    EXPECT_FALSE(local.StartNetThread());
    EXPECT_EQ(local.SendFrameBundle(), 0);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace lockstep_test
