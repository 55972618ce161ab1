// Steps of the battle frame that the whole-battle runs do not look at: the
// sound listener and the host's wait for a silent peer.
#include "game/battle/scene/tests/BattleSceneTestSupport.h"

#include "engine/graphics/Camera.h"
#include "engine/platform/Input.h"
#include "engine/platform/Listener.h"
#include "game/battle/object/CameraController.h"

namespace ORV_TEST_FILE_ID {

namespace {

using namespace scene_test;

class BattleSceneFrameStepsTest : public BattleSceneTest {
protected:
    void SetUp() override
    {
        BattleSceneTest::SetUp();
        app_.input = &input_;
    }
    CInput input_;
};

bool Same(const CVector3& a, const CVector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// The listener sits at the eye anchor of the camera the local player looks
// through, facing its way, with the camera's up; with no local player, the
// first fighter's.
TEST_F(BattleSceneFrameStepsTest, ListenerFollowsTheLocalPlayersCamera)
{
    const struct {
        u32 humanEntry;   // 4: none
        u32 firstEmpty;   // entry 0 makes no fighter
        u32 local;        // the character playing the local entry
    } rows[] = {{0, 0, 0}, {2, 0, 2}, {4, 0, 0}, {2, 1, 1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.humanEntry * 10 + r.firstEmpty);
        FreshRegistry();
        CBattleSetup* setup = CpuSetup();
        if (r.humanEntry < 4) setup->entries[r.humanEntry].kind = 0;
        if (r.firstEmpty) setup->entries[0].kind = CBattleEntry::kKindNone;
        CBattleScene scene(&app_);
        ASSERT_EQ(scene.Load(setup), 1u);
        // Past the countdown, long enough for the camera to trail its anchor.
        for (u32 f = 0; f < 90; ++f) {
            input_.GetInputState(0)->stick1Y = -0.99f;
            ASSERT_EQ(scene.Update(0), 1);
        }
        // Each fighter looks through its own camera, whatever its colour.
        const u32 viewed = scene.GetViewedCharacter(r.local);
        EXPECT_EQ(viewed, r.local);
        const auto* camera = dynamic_cast<const CCameraController*>(scene.GetCharacter(viewed)->GetCameraController());
        ASSERT_NE(camera, nullptr);
        const CListener& listener = *scene.GetListener();
        EXPECT_TRUE(Same(listener.GetPosition(), camera->GetState().eyeAnchor));
        EXPECT_FALSE(Same(listener.GetPosition(), camera->GetCamera()->GetEye()));
        EXPECT_TRUE(Same(listener.GetTop(), camera->GetCamera()->GetUp()));
        CVector3 front;
        camera->GetForward(&front);
        EXPECT_TRUE(Same(listener.GetFront(), front));
    }
}

// The network scene of a host whose one client never says a word.
class SilentPeers : public IBattleNetwork {
public:
    void EnterLock() override {}
    void LeaveLock() override {}
    i32 Broadcast(u16, const void*, u32) override { return 1; }
    i32 DropBattle() override { return 7; }
    i32 ReportBattleResult(u32) override { return 1; }
};

// The host stops waiting for a silent client: its entry is gone for the
// lockstep and for the set-up that a rematch is built from, and the battle
// goes on.
TEST_F(BattleSceneFrameStepsTest, HostDropsASilentPeerFromTheSetUpToo)
{
    CBattleSetup* setup = CpuSetup();
    setup->networkMode = 1;
    setup->localEntry = 0;
    setup->entries[0].kind = 0;
    setup->entries[1].kind = 1;
    SilentPeers network;
    CBattleScene scene(&app_, &network);
    LockstepLimits limits;
    limits.handshakeCycles = 5;
    limits.waitCycles = 50;
    limits.bundleCycles = 1000000;   // only a complete tick is sent
    scene.SetLockstepLimits(limits);
    ASSERT_EQ(scene.Load(setup), 1u);
    for (u32 f = 0; f < 30; ++f) ASSERT_EQ(scene.Update(0), 1) << f;
    EXPECT_EQ(scene.GetFrameCount(), 30u);
    EXPECT_EQ(scene.GetLockstep()->GetStats().peersDropped, 1u);
    for (u32 e = 0; e < 4; ++e) {
        const u32 kind = e == 1 ? CBattleEntry::kKindNone : e == 0 ? 0u : CBattleEntry::kKindComputer;
        EXPECT_EQ(scene.GetLockstep()->GetEntryKind(e), kind) << e;
        EXPECT_EQ(scene.GetSetup()->entries[e].kind, kind) << e;
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
