#include "CharacterTestSupport.h"

#include <algorithm>

namespace ORV_TEST_FILE_ID {

using namespace character_test;

namespace {

class ActionTest : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        bullet_ = std::make_unique<battle_test::FakeFighter>();
        bullet_->SetGroup(kGroupBullet);
        stage_ = std::make_unique<battle_test::FakeFighter>();
        stage_->SetGroup(kGroupStage);
        MakeFighter(nullptr, true);
    }
    void TearDown() override
    {
        c_.reset();
        bullet_.reset();
        stage_.reset();
        ScriptedFighterTest::TearDown();
    }

    // Fills every attached slot, runs step and gives the resets it made, each
    // as the part of its mask that shows: the slots it kept (bits 0-24) and
    // bit 26 when the stage was not told to darken.
    template <class Step>
    std::vector<u32> Resets(Step step)
    {
        for (u32 i = 0; i < kAttachedObjectCount; ++i)
            c_->SetAttachedObject(i, container_.PlayInScene(&effects_, 0, nullptr));
        bullet_->received.clear();
        stage_->received.clear();
        step();
        const u32 n = bullet_->Count(kMsgFighterReset);
        if (n != 1) return std::vector<u32>(n, ~0u);
        u32 mask = stage_->Count(kMsgStageDarkening) ? 0 : 1u << 26;
        for (u32 i = 0; i < kAttachedObjectCount; ++i) mask |= c_->GetAttachedObject(i) ? 1u << i : 0;
        return {mask};
    }
    static std::vector<u32> Shown(u32 mask) { return {mask & (0x1FFFFFFu | 1u << 26)}; }

    std::unique_ptr<battle_test::FakeFighter> bullet_, stage_;
};

}  // namespace

TEST_F(ActionTest, TableStartsEmptyAndCreationInstallsEveryHandlerButIdle)
{
    ScriptedFighter bare(nullptr);
    for (u32 a = 0; a < kActionCount; ++a) EXPECT_EQ(bare.GetActionHandler(a), nullptr) << a;
    EXPECT_EQ(c_->GetActionHandler(kActionNeutral), nullptr);
    for (u32 a = 1; a < kActionCount; ++a) EXPECT_NE(c_->GetActionHandler(a), nullptr) << a;
    // The slides share one step; the slide composites run theirs through it.
    EXPECT_EQ(c_->GetActionHandler(kActionSlide), c_->GetActionHandler(kActionTripleSlide));
    EXPECT_EQ(c_->GetActionHandler(kActionSlideShoot), c_->GetActionHandler(kActionTripleSlideSpellCard));
    EXPECT_EQ(c_->GetActionHandler(27), nullptr);
    ScriptedFighter copy(*c_);
    for (u32 a = 0; a < kActionCount; ++a) EXPECT_EQ(copy.GetActionHandler(a), c_->GetActionHandler(a)) << a;
}

TEST_F(ActionTest, EveryIdIsSetQueuedAndTakenWhenItsActionFinishes)
{
    for (u32 id = 0; id < kActionCount; ++id) {
        EXPECT_EQ(c_->SetAction(id), 1u);
        EXPECT_EQ(c_->SetNextAction(id), 1u);
        EXPECT_EQ(S().action, id);
        EXPECT_EQ(S().queuedAction, id);
    }
    EXPECT_EQ(c_->SetAction(27), 0u);
    EXPECT_EQ(c_->SetNextAction(99), 0u);
    EXPECT_EQ(S().action, 26u);
    EXPECT_EQ(S().queuedAction, 26u);

    // Each id runs its own handler; a finished one hands over to the queue.
    for (u32 id = 1; id < kActionCount; ++id) {
        c_->Script(id, true);
        c_->SetAction(id);
        c_->SetNextAction(kActionDash);
        const u32 before = c_->steps;
        EXPECT_EQ(c_->DispatchAction(0), 1u);
        EXPECT_EQ(c_->steps, before + 1) << id;
        EXPECT_EQ(S().action, u32(kActionDash)) << id;
        EXPECT_EQ(S().queuedAction, 0u) << id;
    }
    // Each id queued behind a finishing slide follows it (a short attack
    // only follows a short attack).
    c_->Script(kActionSlide, true);
    for (u32 id = 0; id < kActionCount; ++id) {
        c_->SetAction(kActionSlide);
        c_->SetNextAction(id);
        c_->DispatchAction(0);
        EXPECT_EQ(S().action, id == kActionShortAttack ? u32(kActionSlide) : id) << id;
        EXPECT_EQ(S().queuedAction, 0u) << id;
    }
}

TEST_F(ActionTest, DispatchFollowsTheQueueRules)
{
    struct Case {
        const char* what;
        u32 action, queued, finishes, combo, climaxLocked;
        u32 wantAction, wantQueued;
    } cases[] = {
        {"runs on", kActionDash, kActionGuard, 0, 0, 0, kActionDash, kActionGuard},
        {"finishes, nothing queued", kActionDash, 0, 1, 0, 0, kActionNeutral, 0},
        {"queued action follows", kActionDash, kActionGuard, 1, 0, 0, kActionGuard, 0},
        // NORMALATTACKCOUNT 2: hit 1 may follow hit 0, nothing follows hit 1;
        // the finished attack's id stands and the queue is cleared.
        {"next combo hit", kActionShortAttack, kActionShortAttack, 1, 0, 0, kActionShortAttack, 0},
        {"combo exhausted", kActionShortAttack, kActionShortAttack, 1, 1, 0, kActionShortAttack, 0},
        {"result while climax locked", kActionSpellCard, kActionResult, 1, 0, 1, kActionSpellCard, kActionResult},
        {"result", kActionSpellCard, kActionResult, 1, 0, 0, kActionResult, 0},
        {"queue kept while the lock holds", kActionSpellCard, kActionSpellCard, 1, 0, 1, kActionSpellCard,
         kActionSpellCard},
    };
    for (const Case& k : cases) {
        c_->Script(k.action, k.finishes);
        c_->SetAction(k.action);
        c_->SetNextAction(k.queued);
        S().comboIndex = k.combo;
        c_->LockClimax(k.climaxLocked);
        c_->DispatchAction(0);
        EXPECT_EQ(S().action, k.wantAction) << k.what;
        EXPECT_EQ(S().queuedAction, k.wantQueued) << k.what;
    }
}

TEST_F(ActionTest, IdleRunsOnlyTheOutTestAndUnblockedLastsOneDispatch)
{
    // Without revival nobody is out, and the scene is not asked.
    scene_.asked.clear();
    c_->DispatchAction(0);
    EXPECT_EQ(std::count(scene_.asked.begin(), scene_.asked.end(), kMsgTeamLives), 0);
    S().revival = 1;
    scene_.teamLives = 0;
    c_->DispatchAction(0);
    EXPECT_EQ(std::count(scene_.asked.begin(), scene_.asked.end(), kMsgTeamLives), 1);
    EXPECT_EQ(S().action, u32(kActionDefeated));   // out of lives: the LOSE motion and Defeated
    S().revival = 0;

    scene_.localSlot = 2;   // the local entry
    S().entryIndex = 2;
    S().participantSlot = 1;
    S().lastVoice = 0xFF;
    c_->EnterUnblocked();
    EXPECT_EQ(S().action, u32(kActionUnblocked));
    EXPECT_EQ(S().lastVoice, FindVoiceKey("VOICESTART"));
    c_->DispatchAction(0);
    EXPECT_EQ(S().action, 0u);
    S().entryIndex = 1;
    S().participantSlot = 2;
    S().lastVoice = 0xFF;
    c_->EnterUnblocked();
    EXPECT_EQ(S().lastVoice, 0xFFu);   // another fighter calls the start
}

TEST_F(ActionTest, CompositeKeepsWhatGoesOnAsThePlainAction)
{
    struct Case {
        u32 action;
        bool slideDone, otherDone;
        u32 finished, wantAction;
    } cases[] = {
        {kActionSlideShoot, false, false, 0, kActionSlideShoot},
        {kActionSlideShoot, true, true, 1, kActionSlideShoot},
        {kActionSlideShoot, false, true, 0, kActionSlide},
        {kActionDoubleSlideShoot, false, true, 0, kActionDoubleSlide},
        {kActionTripleSlideShoot, true, false, 0, kActionShoot},
        {kActionSlideSpellCard, true, false, 0, kActionSpellCard},
        {kActionDoubleSlideSpellCard, false, true, 0, kActionDoubleSlide},
        {kActionTripleSlideSpellCard, false, true, 0, kActionTripleSlide},
    };
    for (const Case& k : cases) {
        const bool spell = k.action >= kActionSpellCard;
        for (u32 slide : {kActionSlide, kActionDoubleSlide, kActionTripleSlide}) c_->Script(slide, k.slideDone);
        c_->Script(spell ? kActionSpellCard : kActionShoot, k.otherDone);
        S().action = k.action;
        EXPECT_EQ(c_->CompositeStep(0), k.finished) << k.action;
        EXPECT_EQ(S().action, k.wantAction) << k.action;
    }
}

// A spell card whose slide ends first goes on as action 9 with its card's
// upper-body motion playing in that same frame, motion slot 0 as well as
// any other; a shot going on alone, or a slide going on without its card,
// plays no card motion.
TEST_F(ActionTest, ACardGoingOnAloneTakesItsUpperMotionAtOnce)
{
    u32 other = 0;
    for (u32 n = 1; n < kMotionCount && !other; ++n)
        if (S().motions[n] >= 0) other = n;
    ASSERT_NE(other, 0u);
    ASSERT_GE(S().motions[0], 0);
    const struct { u32 action; bool slideDone; u32 wantAction; bool played; u32 motion; } rows[] = {
        {kActionSlideSpellCard, true, kActionSpellCard, true, other},
        {kActionSlideSpellCard, true, kActionSpellCard, true, 0},
        {kActionTripleSlideSpellCard, true, kActionSpellCard, true, other},
        {kActionSlideSpellCard, false, kActionSlideSpellCard, false, other},
        {kActionSlideSpellCard, false, kActionSlideSpellCard, false, 0},
        {kActionSlideShoot, true, kActionShoot, false, other},
    };
    for (const auto& r : rows) {
        const u32 motion = r.motion;
        MakeFighter(nullptr, true);
        auto* card = dynamic_cast<FakeSpellCard*>(c_->GetSpellCards().at(0).get());
        ASSERT_NE(card, nullptr);
        card->motion = i32(motion), card->done = 0;
        S().spellSlot = 0;
        for (u32 slide : {kActionSlide, kActionDoubleSlide, kActionTripleSlide}) c_->Script(slide, r.slideDone);
        c_->Script(kActionShoot, false);
        S().action = r.action;
        // Slot 0 is what a new fighter plays: another motion first.
        if (motion == 0) c_->ChangeMotion(other, 1, 0.0f);
        ASSERT_FALSE(c_->IsPlayedAnimation(motion));
        EXPECT_EQ(c_->CompositeStep(0), 0u) << r.action;
        EXPECT_EQ(S().action, r.wantAction) << r.action;
        EXPECT_EQ(c_->IsPlayedAnimation(motion), r.played) << r.action;
    }
}

TEST_F(ActionTest, TediumFinishesOnlyForTheResult)
{
    S().timers.boredom = 3;
    c_->StartTedium();
    EXPECT_EQ(S().action, u32(kActionTedium));
    EXPECT_EQ(S().timers.boredom, 0.0f);
    EXPECT_EQ(S().lastVoice, FindVoiceKey("VOICETEDIUM"));
    c_->SetNextAction(kActionDash);
    c_->DispatchAction(0);
    EXPECT_EQ(S().action, u32(kActionTedium));
    c_->SetNextAction(kActionResult);
    c_->DispatchAction(0);
    EXPECT_EQ(S().action, u32(kActionResult));
}

TEST_F(ActionTest, BattleEndSwitchesOrQueuesTheResult)
{
    struct Case {
        u32 action, climaxLocked, wantAction, wantQueued, resets;
    } cases[] = {
        {kActionNeutral, 0, kActionResult, 0, 1},
        {kActionDash, 0, kActionResult, 0, 1},
        {kActionSlide, 0, kActionSlide, kActionResult, 1},
        {kActionDefeated, 0, kActionDefeated, kActionResult, 0},
        {kActionSpellCard, 1, kActionSpellCard, kActionResult, 0},
    };
    for (const Case& k : cases) {
        c_->SetAction(k.action);
        c_->SetNextAction(0);
        c_->LockClimax(k.climaxLocked);
        S().velocity = S().acceleration = S().displacement = CVector3(1, 2, 3);
        const std::vector<u32> resets = Resets([&] { c_->OnBattleEnd(); });
        EXPECT_EQ(S().action, k.wantAction) << k.action;
        EXPECT_EQ(S().queuedAction, k.wantQueued) << k.action;
        EXPECT_EQ(resets.size(), k.resets) << k.action;
        if (k.resets) {
            EXPECT_EQ(resets, Shown(0x1FCC1C0)) << k.action;
            EXPECT_EQ(S().velocity.x + S().acceleration.y + S().displacement.z, 0.0f);
        }
    }
}

TEST_F(ActionTest, ResultWaitsItsStartTimeThenPosesForTheTeam)
{
    c_->GetParameter()->values.general.resultStartTime = 0.5f;
    S().team = 3;
    S().lastVoice = 0xFF;
    c_->OnBattleEnd();
    for (int frame = 0; frame < 2; ++frame) {
        c_->DispatchAction(0);
        EXPECT_EQ(S().lastVoice, 0xFFu) << frame;   // still waiting
    }
    EXPECT_EQ(S().timers.actionClocks[1], 0.5f);
    c_->DispatchAction(0);
    EXPECT_EQ(S().lastVoice, FindVoiceKey("VOICELOSE"));
    EXPECT_EQ(S().action, u32(kActionResult));   // never finishes

    scene_.wonTeam = 3;
    c_->OnBattleEnd();
    c_->DispatchAction(0);
    c_->DispatchAction(0);
    c_->DispatchAction(0);
    EXPECT_EQ(S().lastVoice, FindVoiceKey("VOICEWIN"));
}

TEST_F(ActionTest, FrozenRunsItsTimeThenFinishes)
{
    S().freezeKind = S().previousFreezeKind = 0;
    S().timers.freezeTime = 0.5f;
    S().damageType = 4;
    S().knockPower = 2;
    S().velocity = CVector3(3, 0, 0);
    S().limitGauge = 7;
    EXPECT_EQ(Resets([&] { c_->StartFrozen(); }), Shown(0x9FFC1C0));
    EXPECT_EQ(S().action, u32(kActionFrozen));
    EXPECT_EQ(S().damageType + S().knockPower + S().velocity.x, 0.0f);
    // The same kind again restarts the clock and starts nothing.
    c_->DispatchAction(0);
    EXPECT_EQ(Resets([&] { c_->StartFrozen(); }).size(), 0u);
    EXPECT_EQ(S().timers.actionClocks[0], 0.0f);

    c_->DispatchAction(0);   // 0 -> 0.25
    c_->DispatchAction(0);   // 0.25 -> 0.5
    EXPECT_EQ(S().action, u32(kActionFrozen));
    EXPECT_EQ(S().limitGauge, 7.0f);
    // The time has passed: the reset ends the freeze.
    EXPECT_EQ(Resets([&] { c_->DispatchAction(0); }), Shown(0x1FCC1C0));
    EXPECT_EQ(S().action, 0u);
    EXPECT_EQ(S().limitGauge, 0.0f);
}

TEST_F(ActionTest, BoundFacesItsTargetAndNeverFinishes)
{
    battle_test::FakeFighter target;
    const CVector3 place(10, 0, 0);
    target.SetPosition(&place);
    S().lockedTargetId = target.GetId();
    S().velocity = CVector3(1, 1, 1);
    EXPECT_EQ(Resets([&] { c_->StartBound(FindMotionKey("CLIMAXBIND")); }), Shown(0x5FCC1C0 & ~(1u << 22)));
    EXPECT_EQ(S().action, u32(kActionBound));
    EXPECT_EQ(S().velocity.Length(), 0.0f);
    for (int frame = 0; frame < 3; ++frame) c_->DispatchAction(0);
    EXPECT_EQ(S().action, u32(kActionBound));
    // Its step wants the target's angles; the turn takes the body there.
    EXPECT_NEAR(S().targetAngles.y, 270.0f, 1e-4f);
    EXPECT_NEAR(S().targetAngles.x, 0.0f, 1e-4f);
    c_->GetParameter()->values.general.rotationVelocity = 1e6f;
    c_->TurnToView();
    EXPECT_NEAR(c_->GetRotation()->y, 270.0f, 1e-4f);
    EXPECT_NEAR(c_->GetRotation()->x, 0.0f, 1e-4f);
}

}  // namespace ORV_TEST_FILE_ID
