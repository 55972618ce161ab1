// Steps of the battle frame that the whole-battle runs do not look at: the
// sound listener, the host's wait for a silent peer and the effects a stage
// holds for each fighter's own view.
#include "game/battle/scene/tests/BattleSceneTestSupport.h"

#include "engine/graphics/Camera.h"
#include "engine/platform/Input.h"
#include "engine/platform/Listener.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "game/battle/object/CameraController.h"

#include <vector>

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

// On the stage that names them, the camera-front effect (slot 18) and the
// high and climax field effects (slots 14, 15) belong to each fighter's
// slots alone, never to the effect controller: each runs once a frame (its
// clock grows by one frame a frame), is drawn through its fighter only, is
// the stage's own effect for as long as its slot names it, and is gone with
// the battle. The music's script brings high tension at 4 s, climax at 8 s.
TEST_F(BattleSceneFrameStepsTest, TheStagesViewEffectsAreHeldByTheFightersSlotsAlone)
{
    // That stage's archive, besides the first stage's.
    const std::string pack = "STAGE0" + std::to_string(battle_data::kFieldEffectStage + 1) + "PACK";
    u32 registered = 0;
    for (const battle_data::Archive& a : battle_data::AllArchives()) {
        if (pack != a.packName) continue;
        ASSERT_EQ(resources_->LoadScrambledPack(a.path, Crc32String(a.packName), a.key, 1), 1u) << a.path;
        ++registered;
    }
    ASSERT_EQ(registered, 1u);
    CBattleSetup* setup = OneViewSetup();
    setup->option.stage = battle_data::kFieldEffectStage;
    const u32 slots[] = {18, 14, 15};
    const char* const names[] = {"Efc_TraceCloud", "Efc_HiTensionField", "Efc_ClimaxField"};
    const CEffectObject* defined[3];
    for (u32 k = 0; k < 3; ++k) {
        const auto* c = static_cast<const CEffectContainer*>(resources_->GetEffectList()->FindByFileName(names[k]));
        ASSERT_NE(c, nullptr) << names[k];
        defined[k] = c->GetObject(0);
    }
    const auto live = [&](const CEffect* e) {
        for (const CEffect* l = effects_->GetFirstEffect(); l; l = l->GetNextLive())
            if (l == e) return true;
        return false;
    };
    struct Held {
        const CEffect* effect = nullptr;
        f32 clock = 0.0f;   // one frame's time per frame since it started
    };
    std::vector<Held> held;
    u32 seen[3] = {};
    const f32 dt = GetFrameTime();
    {
        CBattleScene scene(&app_);
        ASSERT_EQ(scene.Load(setup), 1u);
        held.resize(scene.GetCharacterCount() * 3);
        constexpr u64 kRate = 44100;
        std::vector<i16> mixed(2 * 1000);
        for (u32 f = 0; f < 720 && !HasFailure(); ++f) {
            ASSERT_EQ(scene.Update(0), 1);
            const u64 frames = u64(f + 1) * kRate * kFrameMs / 1000 - u64(f) * kRate * kFrameMs / 1000;
            null_.MixFrames(u32(frames), mixed.data());
            scene.SoundStep(0, nullptr);
            for (u32 i = 0; i < scene.GetCharacterCount(); ++i) {
                for (u32 k = 0; k < 3; ++k) {
                    const CEffect* e = scene.GetCharacter(i)->GetAttachedObject(slots[k]);
                    Held& h = held[i * 3 + k];
                    if (e != h.effect) h = {e, 0.0f};
                    if (!e) continue;
                    ++seen[k];
                    h.clock += dt;
                    SCOPED_TRACE("frame " + std::to_string(f) + ", fighter " + std::to_string(i) + ", slot " +
                                 std::to_string(slots[k]));
                    EXPECT_FALSE(live(e));
                    EXPECT_EQ(e->GetDefinition(), defined[k]);
                    EXPECT_EQ(e->GetTime(), h.clock);
                }
            }
        }
        // Every fighter had its camera-front effect; some reached high and
        // climax tension with theirs.
        EXPECT_GE(seen[0], scene.GetCharacterCount());
        EXPECT_GT(seen[1], 0u);
        EXPECT_GT(seen[2], 0u);
    }
    EXPECT_EQ(effects_->GetNodePool().GetLiveCount(), 0u);
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
