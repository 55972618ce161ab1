// A network battle over a bad line: the fake network hands every byte over
// on its own, 200 ms after it was sent, and cuts the member off mid-battle.
// The room host plays on to its result; the member plays out the ticks it
// holds and gives up, as a member whose host left does.
#include "game/network/tests/LockstepNetFixture.h"

#include "game/network/tests/FakeRoomNet.h"
#include "host/net/FakeNet.h"

namespace ORV_TEST_FILE_ID {

namespace {

using namespace net_scene_test;
using host::net::MakeAddress;

using fake_room_net::kHostAddress;
using fake_room_net::kMemberAddress;

class LockstepNetFakeTest : public LockstepNetTest {
protected:
    void SetUp() override
    {
        LockstepNetTest::SetUp();
        host::net::StreamOptions line;
        line.maxSegment = 1;
        line.delayMs = 200;
        network_.SetStreamOptions(line);
    }
    void TearDown() override
    {
        LockstepNetTest::TearDown();
        EXPECT_EQ(network_.Misuses(), std::vector<std::string>{});
    }

    // Before the machines: it outlives them.
    host::net::FakeNetwork network_{35};
};

TEST_F(LockstepNetFakeTest, OnASlowLineCutMidBattleTheHostFinishesAndTheMemberGivesUp)
{
    const u32 addresses[] = {kHostAddress, kMemberAddress};
    Connect(2, kHostAddress, [&](u32 entry) -> host::net::Net& { return network_.AddMachine(addresses[entry]); });
    ASSERT_FALSE(HasFatalFailure());
    // Ticks of 8 frames: a round trip of 400 ms costs fewer frames.
    Load(2, 4);
    ASSERT_FALSE(HasFatalFailure());
    for (u32 e = 0; e < 2; ++e) Machine(e).script = [e](CInput& input, u32 f) { Script(input, f + e * 110); };
    const u32 delay = Host().scene->GetInputDelay();
    ASSERT_EQ(delay, 8u);
    // Into the third frame of tick 12.
    const u32 cut = 12 * delay + 3;
    Run(0, cut, [](u32) { return false; }, false);
    ASSERT_FALSE(HasFatalFailure());
    // Ticks went both ways, every byte on its own.
    NetSceneStandIn& member = Machine(1);
    EXPECT_GE(Host().Taken(kMsgNetInput), 10u);
    EXPECT_GE(member.Taken(kMsgFrameBundle), 10u);
    // Slow, never too late: no tick went out without the member's input.
    EXPECT_EQ(HostLockstep().GetStats().incompleteBundles, 0u);
    network_.Cut(kHostAddress, kMemberAddress, host::net::CutKind::Reset);
    ASSERT_TRUE(WaitFor([&] { return member.Lost() == 1 && Host().Lost() == 1; }));

    // The member: what it holds, then it leaves through its network scene.
    i32 result = 1;
    u32 frames = 0;
    for (; frames < 4 * delay && result == 1; ++frames) result = StepNet(member, cut + frames);
    EXPECT_EQ(result, ScenePeer::kDropped);
    EXPECT_EQ(member.drops, 1u);
    EXPECT_EQ(member.scene->GetSetup()->entries[0].kind, CBattleEntry::kKindNone);
    member.hashes.pop_back();

    // The host: on to the result, the member's fighter on its last input.
    u32 over = 0;
    Run(cut, 3000, [&](u32 f) {
        if (!over && Host().scene->IsOver()) over = f;
        return over && f >= over + 56;
    }, false);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_NE(over, 0u) << "no result";
    EXPECT_EQ(Host().scene->GetLockstep()->GetEntryKind(1), CBattleEntry::kKindNone);
    EXPECT_EQ(Host().reported.size(), 1u);
    EXPECT_EQ(Host().drops, 0u);
    EXPECT_EQ(Host().Refused(), 0u);
    EXPECT_EQ(member.Refused(), 0u);
    EXPECT_EQ(HostLockstep().GetStats().peersDropped, 0u);
    EXPECT_EQ(Host().Relayed(), 1u);
    // Until the member gave up both played the same battle.
    ExpectAgreement(Playing());
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
