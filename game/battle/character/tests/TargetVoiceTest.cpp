// The fighter locked on calls out (voice 5), once in its target-voice time,
// whether a player's lock-on or a bind locked it.
#include "game/battle/character/tests/CharacterTestSupport.h"

#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletPasses.h"

#include <gtest/gtest.h>

namespace target_voice_test {
namespace ORV_TEST_FILE_ID {

namespace {

using namespace character_test;

constexpr u32 kTargetVoice = 5;
constexpr u32 kTargetVoiceClock = 1;   // voiceCooldowns slot of TARGEVOICETTIME

InputPacket Pressing(u32 code)
{
    InputPacket p = {};
    for (u32 bit = 0; bit < kInputPacketBitCount; ++bit)
        if (u32(kInputPacketCodes[bit]) == code) p.buttons[bit / 8] |= u8(1u << (bit % 8));
    return p;
}

class LockOnVoice : public ScriptedFighterTest {
protected:
    // c_ is the one locked on (with voices); the locker stands 5 in front.
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        MakeFighter(nullptr, true);
        c_->GetParameter()->values.general.targetVoiceTime = 3.0f;
        S().team = 1, S().participantSlot = 1;
        locker_ = NewFighter<ScriptedFighter>();
        locker_->Create(nullptr);
        const CVector3 at(0, 0, 5);
        locker_->SetPosition(&at);
        locker_->GetStatus()->team = 0;
        list_[0] = locker_.get(), list_[1] = c_.get();
        scene_.characters = {list_, 2};
    }
    void TearDown() override
    {
        scene_.characters = {};
        locker_.reset();
        ScriptedFighterTest::TearDown();
    }
    // The locker's lock button pressed and let go.
    void Lock()
    {
        for (const InputPacket& p : {Pressing(26), InputPacket{}}) {
            locker_->ApplyInputPacket(&p);
            locker_->UpdateLockOn(0);
        }
    }
    f32 Clock(CCharacter& f) { return f.GetStatus()->timers.voiceCooldowns[kTargetVoiceClock]; }

    std::unique_ptr<ScriptedFighter> locker_;
    CObjectDivision* list_[2] = {};
};

TEST_F(LockOnVoice, APlayersLockOnMakesTheLockedFighterCallOut)
{
    S().lastVoice = 0xFF;
    Lock();
    ASSERT_EQ(locker_->GetStatus()->lockedTargetId, c_->GetId());
    EXPECT_EQ(S().lastVoice, kTargetVoice);
    EXPECT_EQ(Clock(*c_), 3.0f);
    EXPECT_EQ(Clock(*locker_), 0.0f) << "the locker says nothing";
    // Locked again while the clock runs: silent, the clock kept.
    S().lastVoice = 0xFF, S().timers.voiceCooldowns[kTargetVoiceClock] = 1.0f;
    locker_->GetStatus()->lockedTargetId = 0;
    Lock();
    EXPECT_EQ(S().lastVoice, 0xFFu);
    EXPECT_EQ(Clock(*c_), 1.0f);
}

// A bind locks each on the other: both call out.
TEST_F(LockOnVoice, ABindMakesBothCallOut)
{
    auto record = std::make_unique<CBulletParameter>();
    CBulletValues& v = record->GetValues();
    v.hitType = 2, v.hitCount = 5, v.str = 100, v.hitRadius = 0.4f;
    locker_->GetParameter()->values.general.targetVoiceTime = 2.0f;
    locker_->GetStatus()->action = kActionSpellCard;
    auto* bullet = new CBullet(record.get());
    BulletLaunchRecord launch;
    const CVector3 at = *c_->GetPosition();
    launch.position = {at.x, at.y + 0.2f, at.z + 0.6f};
    launch.direction = {0, 0, -1};
    launch.shooter = launch.firingObject = locker_.get();
    ASSERT_EQ(bullet->Initialize(reinterpret_cast<intptr_t>(&launch)), 1);
    bullet->SetDirection({0, 0, -0.5f});
    CBulletList list;
    list.Add(bullet);
    IBattleCharacter* fighters[] = {locker_.get(), c_.get()};
    RunBulletFirstPass(list, fighters, 2, 0);
    RunBulletSecondPass(list, fighters, 2, 0);
    ASSERT_EQ(S().action, u32(kActionBound));
    EXPECT_EQ(Clock(*c_), 3.0f);
    EXPECT_EQ(Clock(*locker_), 2.0f);
    EXPECT_EQ(S().lastVoice, kTargetVoice);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace target_voice_test
