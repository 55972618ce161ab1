#include "CharacterTestSupport.h"

#include "game/data/TensionFile.h"
#include "host/kernel/Kernel.h"

namespace ORV_TEST_FILE_ID {

using namespace character_test;

namespace {

// A 40-second piece: normal, high at 10, climax at 20 (finale 22..24), low
// at 30; it loops back to 10.
CTensionFile* TensionScript()
{
    auto* file = new CTensionFile();
    auto* track = new CTensionTrack("Tension", kTensionNormal, 0);
    track->SetLoop(1);
    for (auto [t, level] : {std::pair{0.0f, 1}, {10.0f, 2}, {20.0f, 3}, {30.0f, 0}, {40.0f, 0}})
        track->AddKey(t, level, 0.0f);
    file->SetTrack(track);
    file->SetLoopStart(10);
    file->SetFinaleTime(22);
    file->SetFinaleLength(2);
    return file;
}

class TensionTest : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        stage_ = std::make_unique<battle_test::FakeStage>();
        MakeFighter(TensionScript(), true);
        for (const char* key : {"EFCLOWTENSIONSTART", "EFCHITENSIONSTART", "EFCHITENSIONLOOP", "EFCCLIMAXSTART",
                                "EFCCLIMAXLOOP", "EFCFINALESTART", "EFCFINALELOOP"})
            S().effects[FindEffectKey(key)] = &container_;
    }
    void TearDown() override
    {
        c_.reset();
        stage_.reset();
        ScriptedFighterTest::TearDown();
    }
    // Which of the slots 6, 7, 8 (loops), 14, 15 (stage) hold an effect
    // that has not been ended.
    std::string Slots()
    {
        std::string held;
        for (u32 slot : {6, 7, 8, 14, 15}) held += S().attached[slot] && !S().attached[slot]->GetEndFlag() ? '1' : '0';
        return held;
    }
    u32 LiveEffects() const
    {
        u32 n = 0;
        for (CEffect* e = effects_.GetFirstEffect(); e; e = e->GetNextLive()) ++n;
        return n;
    }

    std::unique_ptr<battle_test::FakeStage> stage_;
};

}  // namespace

TEST_F(TensionTest, FollowsTheScriptAtItsKeysAndAcrossTheLoop)
{
    stage_->hiTension = stage_->climax = &container_;
    struct Step {
        f32 t;
        u32 level, finale;
        const char* slots;
        const char* voice;   // null: none this step
    } steps[] = {
        {0, 1, 0, "00000", nullptr},
        {9.99f, 1, 0, "00000", nullptr},
        {10, 2, 0, "10010", "VOICEHITENSION"},   // exactly at the key
        {15, 2, 0, "10010", nullptr},
        {20, 3, 0, "01001", "VOICECLIMAX"},
        {21.9f, 3, 0, "01001", nullptr},
        {22, 3, 1, "00101", nullptr},            // the finale's window
        {24.5f, 3, 0, "01001", nullptr},
        {30, 0, 0, "00000", nullptr},
        {45, 2, 0, "10010", "VOICEHITENSION"},   // looped: 15
        {50, 3, 0, "01001", "VOICECLIMAX"},      // looped: exactly 20
    };
    for (const Step& k : steps) {
        S().lastVoice = 0xFF;
        S().timers.longestVoice = 0;   // seconds pass between steps: the last voice is over
        EXPECT_EQ(c_->UpdateTension(k.t), 1);
        EXPECT_EQ(S().lastMusicTime, k.t);
        EXPECT_EQ(S().tension, k.level) << k.t;
        EXPECT_EQ(S().finale, k.finale) << k.t;
        EXPECT_EQ(Slots(), k.slots) << k.t;
        EXPECT_EQ(S().lastVoice, k.voice ? FindVoiceKey(k.voice) : 0xFFu) << k.t;
    }
}

TEST_F(TensionTest, OnceStartsAreOnlyPlayedOnAChange)
{
    c_->UpdateTension(10);
    // The start effect runs on its own; the loop belongs to its slot.
    const u32 live = LiveEffects();
    EXPECT_EQ(live, 1u);
    ASSERT_NE(S().attached[6], nullptr);
    const CEffect* loop = S().attached[6];
    for (int i = 0; i < 5; ++i) c_->UpdateTension(11.0f + f32(i));
    EXPECT_EQ(LiveEffects(), live);
    EXPECT_EQ(S().attached[6], loop);
}

TEST_F(TensionTest, FixedOptionsHoldTheirLevel)
{
    struct Case {
        i32 option;
        u32 level, finaleAfterTwo;
    } cases[] = {{1, 0, 0}, {2, 1, 0}, {3, 2, 0}, {4, 3, 0}, {5, 3, 1}};
    for (const Case& k : cases) {
        S().tension = 0;
        S().finale = 0;
        S().fixedTension = k.option;
        c_->UpdateTension(12);
        c_->UpdateTension(13);
        EXPECT_EQ(S().tension, k.level) << k.option;
        EXPECT_EQ(S().finale, k.finaleAfterTwo) << k.option;
        c_->UpdateTension(23);   // the script's finale
        EXPECT_EQ(S().finale, k.finaleAfterTwo) << k.option;
    }
}

TEST_F(TensionTest, HeldWhileItMayNotChangeAndLowWhileRestricted)
{
    c_->UpdateTension(10);
    S().action = kActionFrozen;
    c_->UpdateTension(20);
    EXPECT_EQ(S().tension, 2u);
    EXPECT_EQ(S().lastMusicTime, 20.0f);
    S().action = kActionNeutral;
    c_->UpdateTension(21);
    EXPECT_EQ(S().tension, 3u);   // caught up in one step
    S().timers.statusTimers[4] = 1;
    c_->UpdateTension(22);
    EXPECT_EQ(S().tension, 0u);
    EXPECT_EQ(Slots(), "00000");

    ScriptedFighter plain(nullptr);
    plain.UpdateTension(25);
    EXPECT_EQ(plain.GetStatus()->tension, 0u);
}

TEST_F(TensionTest, CameraFrontEffectFollowsTheCamera)
{
    EXPECT_EQ(c_->StartCameraFrontEffect(), 0);   // the stage has none
    EXPECT_EQ(c_->UpdateCameraFrontEffect(0), 0);
    stage_->cameraFront = &container_;
    stage_->cameraFrontOffset = CVector3(0, 0, 5);
    auto* camera = const_cast<FakeCamera*>(static_cast<const FakeCamera*>(c_->GetCameraController()));
    ASSERT_NE(camera, nullptr);
    camera->eye = CVector3(1, 2, 3);
    camera->angles = CVector3(0, 90, 0);
    EXPECT_EQ(c_->StartCameraFrontEffect(), 1);
    ASSERT_NE(S().attached[18], nullptr);
    c_->UpdateCameraFrontEffect(0);
    // (0, 0, 5) turned 90 degrees about Y is (5, 0, 0).
    EXPECT_NEAR(S().cameraFrontEffectPosition.x, 1.0f + 5.0f, 1e-4f);
    EXPECT_NEAR(S().cameraFrontEffectPosition.z, 3.0f, 1e-4f);
}

TEST_F(TensionTest, FighterFromTheTestDataIdlesMovesTurnsAndFollowsTheMusic)
{
    battle_test::FakeFighter target;
    const CVector3 there(10, 0, 0);
    target.SetPosition(&there);
    for (TensionBonus& bonus : c_->GetParameter()->values.bonuses) bonus.moveSpeedRevise = 1;
    c_->GetParameter()->values.general.rotationVelocity = 80;
    S().lockedTargetId = target.GetId();
    S().acceleration = CVector3(1, 0, 0);
    c_->UpdateTension(10);
    for (int frame = 0; frame < 8; ++frame) {
        S().targetAngles = CVector3(0, 270, 0);   // the input's wanted facing
        c_->DispatchAction(0);
        c_->UpdateMovement(0);
        c_->TurnToView();
        c_->LateUpdate(0);
        S().acceleration = CVector3(1, 0, 0);
    }
    EXPECT_EQ(S().action, 0u);
    EXPECT_EQ(S().tension, 2u);
    EXPECT_GT(c_->GetPosition()->x, 0.0f);
    EXPECT_NEAR(c_->GetRotation()->y, 270.0f, 1e-3f);
}

// The stage's own effect every interval it gives, the tension's every
// OVERTENTIONSTAGEEFFECTINTERVAL (1 s) at high and climax, each on the frame
// its clock reaches the interval; none for a defeated fighter or without a
// stage answer; a bound fighter gets them. They land in the transient list
// around the camera.
TEST_F(TensionTest, StageEffectsPlayOnTheFrameTheirIntervalIsReached)
{
    CEffectContainer hiStage, climaxStage;
    hiStage.AddObject(new CEffectObject());
    climaxStage.AddObject(new CEffectObject());
    struct Case {
        const char* name;
        u32 tension, action;
        f32 cloudInterval;
        const char* counts;   // transient effects after frames 1..9 of 125 ms
        CEffectContainer* last;
    };
    const Case cases[] = {
        {"stage every 0.5 s", 1, kActionNeutral, 0.5f, "000111122", &container_},
        {"no stage answer", 1, kActionNeutral, -1, "000000000", nullptr},
        {"high tension each second", 2, kActionNeutral, -1, "000000011", &hiStage},
        {"climax tension each second", 3, kActionNeutral, -1, "000000011", &climaxStage},
        {"defeated", 2, kActionDefeated, 0.5f, "000000000", nullptr},
        // Bound by a card: the stage's effects go on (the camera-front one
        // does not show).
        {"bound", 1, kActionBound, 0.5f, "000111122", &container_},
        {"bound at high tension", 2, kActionBound, -1, "000000011", &hiStage},
    };
    stage_->cloud = &container_;
    stage_->cloudOffset = CVector3(0, 0, 5);
    for (const Case& k : cases) {
        MakeFighter();
        SetFrameTime(125);
        S().effects[FindEffectKey("EFCHITENSIONSTAGE")] = &hiStage;
        S().effects[FindEffectKey("EFCCLIMAXSTAGE")] = &climaxStage;
        auto* camera = const_cast<FakeCamera*>(static_cast<const FakeCamera*>(c_->GetCameraController()));
        camera->eye = CVector3(1, 2, 3), camera->angles = CVector3(0, 90, 0);
        stage_->cloudInterval = k.cloudInterval;
        S().tension = k.tension, S().action = k.action;
        std::string counts;
        for (int frame = 0; frame < 9; ++frame) {
            c_->UpdateTimers(0);
            u32 n = 0;
            for (CEffect* e : S().transient) n += e != nullptr;
            counts += char('0' + n);
        }
        EXPECT_EQ(counts, k.counts) << k.name;
        EXPECT_EQ(c_->ShowsCameraFrontEffect(), k.action == kActionNeutral ? 1u : 0u) << k.name;
        if (!k.last) continue;
        CEffect* played = S().transient[0];
        ASSERT_NE(played, nullptr) << k.name;
        // (0, 0, 5) turned 90 degrees about Y from the eye at (1, 2, 3).
        EXPECT_NEAR(played->GetPlacePosition()->x, 6.0f, 1e-4f) << k.name;
        EXPECT_NEAR(played->GetPlacePosition()->z, 3.0f, 1e-4f) << k.name;
    }
    c_.reset();   // its effects before the containers they play
}

// The face clock runs on the wall clock; the wanted face replaces the one
// showing only once that one's tracks are shorter than the clock.
TEST_F(TensionTest, FaceFollowsTheActionOnceTheShownFaceHasPlayed)
{
    using face_test::Face;
    setting_test::WriteBytes("Faces.fac", face_test::FaceFileBytes({Face{"def", {{{0, 0}, {0.5f, 1}}, {}}},
        Face{"sorrow", {{{0, 2}}, {}}}, Face{"tedium", {{{0, 3}, {0.25f, 4}}, {}}}, Face{"damage", {{{0, 5}}, {}}}},
        {}));
    ASSERT_EQ(c_->GetParameter()->LoadFaces("Faces.fac"), FaceFileError::kNone);
    host::kernel::FakeClock clock(1000);
    host::kernel::ScopedClock scoped(clock);
    const auto frame = [&] { clock.Advance(125), c_->UpdateTimers(0); };
    c_->UpdateTimers(0);   // the first step only takes the time
    EXPECT_EQ(S().expressionClock, 0.0f);
    S().action = kActionTedium, S().expressionClock = 0.25f;
    const std::pair<f32, i32> steps[] = {{0.375f, 0}, {0.5f, 0}, {0.0f, 2}};   // "def" lasts 0.5 s
    for (auto [clockAfter, expression] : steps) {
        frame();
        EXPECT_EQ(S().expressionClock, clockAfter);
        EXPECT_EQ(S().expression, expression);
    }
    // Frozen: the clock stands.
    S().action = kActionFrozen, S().timers.freezeTime = 1;
    frame();
    EXPECT_EQ(S().expressionClock, 0.0f);
    // A face outside the list is never shown; defeat shows DEADFACE at once.
    S().action = kActionHitReaction, S().timers.freezeTime = 0;
    c_->GetParameter()->values.faces[kDamageFace].index = 9;
    for (int i = 0; i < 4; ++i) frame();
    EXPECT_EQ(S().expression, 2);
    S().action = kActionDefeated;
    frame();
    EXPECT_EQ(S().expression, 1);
}

}  // namespace ORV_TEST_FILE_ID
